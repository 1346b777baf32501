#include "ReportCsv.h"

#include "Backup.h"
#include "ReportData.h"
#include "ReportFailure.h"
#include "ReportNumber.h"

#include <cerrno>
#include <cstring>

namespace {
constexpr int kBuffer = 1 << 20;
constexpr qint64 kProgressMs = 50;

void two(char* out, int v)
{
    out[0] = char('0' + v / 10);
    out[1] = char('0' + v % 10);
}

// Days since 1970-01-01 to a civil date (proleptic Gregorian).
void civil(qint64 days, int* year, int* month, int* day)
{
    days += 719468;
    const qint64 era = (days >= 0 ? days : days - 146096) / 146097;
    const qint64 doe = days - era * 146097;
    const qint64 yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const qint64 doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const qint64 mp = (5 * doy + 2) / 153;
    *day = int(doy - (153 * mp + 2) / 5 + 1);
    *month = int(mp < 10 ? mp + 3 : mp - 9);
    *year = int(yoe + era * 400 + (*month <= 2 ? 1 : 0));
}
} // namespace

ReportCsv::ReportCsv(const QString& path) : m_path(path) {}

ReportCsv::~ReportCsv()
{
    if (m_file.isOpen()) {
        m_file.close();
        m_file.remove();
    }
}

void ReportCsv::setData(int decimals, const Tool::Struct_Parameters& project, const QVector<qint64>& times,
                        const QVector<QVector<double>>& columns, const QList<QDateTime>& segmentStart,
                        const QList<QDateTime>& segmentEnd, const QString& printInterval)
{
    m_decimals = qBound(0, decimals, 15);
    m_project = project;
    m_times = times;
    m_columns = columns;
    m_millis = withMilliseconds(printInterval);
    ReportStats::segmentRows(times, segmentStart, segmentEnd, &m_startRows, &m_endRows);
}

void ReportCsv::setProgress(std::function<void(qint64, qint64)> progress)
{
    m_progress = std::move(progress);
}

void ReportCsv::setCancel(const std::atomic<bool>* cancel)
{
    m_cancel = cancel;
}

bool ReportCsv::withMilliseconds(const QString& printInterval)
{
    const qint64 ms = ReportData::milliseconds(printInterval);
    return ms <= 0 || ms % 1000 != 0;
}

QByteArray ReportCsv::field(const QString& text)
{
    QByteArray utf8 = text.toUtf8();
    if (!utf8.contains(',') && !utf8.contains('"') && !utf8.contains('\n') && !utf8.contains('\r'))
        return utf8;
    utf8.replace('"', "\"\"");
    return '"' + utf8 + '"';
}

bool ReportCsv::fail(const QString& reason)
{
    if (m_failure.isEmpty())
        m_failure = reason;
    return false;
}

bool ReportCsv::flush()
{
    if (m_buffer.isEmpty())
        return true;
    ReportFailure::clearSystemError();
    const qint64 written = m_file.write(m_buffer);
    if (written != m_buffer.size())
        return fail(ReportFailure::fromFile(m_file, ReportFailure::lastSystemError()));
    m_buffer.resize(0); // keeps its capacity
    return true;
}

bool ReportCsv::put(const char* data, int size)
{
    m_buffer.append(data, size);
    return m_buffer.size() < kBuffer || flush();
}

// "yyyy-MM-dd HH:mm:ss[.zzz]" in local time; returns the length.
int ReportCsv::timeText(qint64 ms, char* out)
{
    constexpr qint64 dayMs = 24 * 3600 * 1000;
    const qint64 local = m_clock.localMs(ms);
    qint64 days = local / dayMs, inDay = local % dayMs;
    if (inDay < 0) {
        inDay += dayMs;
        --days;
    }
    int year, month, day;
    civil(days, &year, &month, &day);
    const int milli = int(inDay % 1000);
    const int second = int(inDay / 1000 % 60), minute = int(inDay / 60000 % 60), hour = int(inDay / 3600000);
    int n = std::snprintf(out, 8, "%04d", year < 0 ? 0 : year % 10000);
    out[n++] = '-';
    two(out + n, month);
    n += 2;
    out[n++] = '-';
    two(out + n, day);
    n += 2;
    out[n++] = ' ';
    two(out + n, hour);
    n += 2;
    out[n++] = ':';
    two(out + n, minute);
    n += 2;
    out[n++] = ':';
    two(out + n, second);
    n += 2;
    if (m_millis) {
        out[n++] = '.';
        out[n++] = char('0' + milli / 100);
        two(out + n, milli % 100);
        n += 2;
    }
    return n;
}

bool ReportCsv::write()
{
    const QString part = m_path + QStringLiteral(".part");
    m_file.setFileName(part);
    ReportFailure::clearSystemError();
    if (m_path.isEmpty() || !m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return fail(m_path.isEmpty() ? ReportFailure::checkTarget(m_path)
                                     : ReportFailure::fromFile(m_file, ReportFailure::lastSystemError()));
    m_buffer.reserve(kBuffer + 64 * 1024);
    m_buffer.append("\xEF\xBB\xBF", 3);
    m_buffer.append(field(tr("时间")));
    for (int i = 0; i < m_project.Channel.size(); ++i)
        m_buffer.append(',').append(
            field(m_project.Channel.at(i) + QLatin1Char('(') + m_project.Unit.value(i) + QLatin1Char(')')));
    m_buffer.append("\r\n");

    // Rows of the segments, each once, in time order: a segment starts
    // after the last row already written.
    QVector<QPair<int, int>> ranges;
    qint64 total = 0;
    int last = -1;
    for (int s = 0; s < m_startRows.size() && !m_times.isEmpty(); ++s) {
        const int from = std::max(m_startRows.at(s), last + 1);
        const int to = std::min(m_endRows.at(s), m_times.size() - 1);
        if (to >= from) {
            ranges << qMakePair(from, to);
            total += to - from + 1;
            last = to;
        }
    }
    qint64 done = 0;
    m_progressClock.start();
    if (m_progress)
        m_progress(0, total);
    bool ok = true;
    char text[ReportNumber::kTextSize + 2];
    const int channels = m_columns.size();
    for (const QPair<int, int>& range : qAsConst(ranges)) {
        for (int r = range.first; ok && r <= range.second; ++r) {
            if (m_cancel && m_cancel->load(std::memory_order_relaxed)) {
                ok = false;
                m_failure.clear();
                break;
            }
            ok = put(text, timeText(m_times.at(r), text));
            for (int c = 0; ok && c < channels; ++c) {
                text[0] = ',';
                const int n = ReportNumber::fixedText(m_columns.at(c).value(r, qQNaN()), m_decimals, text + 1);
                ok = put(text, n + 1);
            }
            ok = ok && put("\r\n", 2);
            ++done;
            if (m_progress && m_progressClock.hasExpired(kProgressMs)) {
                m_progress(done, total);
                m_progressClock.restart();
            }
        }
    }
    const bool cancelled = m_cancel && m_cancel->load();
    ok = ok && !cancelled && flush();
    if (ok) {
        ReportFailure::clearSystemError();
        if (!m_file.flush() || m_file.error() != QFileDevice::NoError)
            ok = fail(ReportFailure::fromFile(m_file, ReportFailure::lastSystemError()));
    }
    m_file.close();
    if (ok && m_file.error() != QFileDevice::NoError)
        ok = fail(ReportFailure::fromFile(m_file, ReportFailure::lastSystemError()));
    if (ok) {
        ReportFailure::clearSystemError();
        if (!Backup::replaceFile(part, m_path))
            ok = fail(ReportFailure::fromSystemError(ReportFailure::lastSystemError()));
    }
    if (!ok)
        QFile::remove(part);
    if (cancelled)
        m_failure.clear();
    if (m_progress)
        m_progress(done, total);
    return ok;
}
