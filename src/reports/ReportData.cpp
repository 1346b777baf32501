#include "ReportData.h"

#include "Tool.h"
#include "Vocabulary.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdio>

double ReportData::parse(const QString& text)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok && std::isfinite(v) ? v : std::numeric_limits<double>::quiet_NaN();
}

double ReportData::parse(const QStringRef& text)
{
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok && std::isfinite(v) ? v : std::numeric_limits<double>::quiet_NaN();
}

qint64 ReportData::milliseconds(const QString& seconds)
{
    const double s = seconds.toDouble();
    // Far beyond any interval; keeps the conversion defined.
    if (!(std::fabs(s) < 1e12))
        return 0;
    return qRound64(s * 1000);
}

int ReportData::rowStep(const QString& scanInterval, const QString& printInterval)
{
    // Whole milliseconds: 0.3 s over 0.1 s is 3, where 0.3 / 0.1 as doubles
    // is 2.999… and truncates to 2.
    const qint64 scan = milliseconds(scanInterval);
    const qint64 print = milliseconds(printInterval);
    if (scan <= 0 || print <= scan)
        return 1;
    return static_cast<int>(std::min<qint64>(print / scan, std::numeric_limits<int>::max()));
}

void ReportData::groupNames(const QString& leftUnit, const QString& rightUnit, const QString& leftQuantity,
                            const QString& rightQuantity, QString* leftName, QString* rightName)
{
    *leftName = leftQuantity;
    *rightName = rightQuantity;
    // "mV" and "V" are both 电压: their tables would have one name.
    if (!rightUnit.isEmpty() && leftQuantity == rightQuantity) {
        *leftName = leftQuantity + QLatin1Char('(') + leftUnit + QLatin1Char(')');
        *rightName = rightQuantity + QLatin1Char('(') + rightUnit + QLatin1Char(')');
    }
}

QString ReportData::number(double v) const
{
    return std::isfinite(v) ? QString::number(v, 'f', decimals) : QString();
}

void ReportData::prepare(const Tool::Struct_Parameters& project, const QList<Tool::Struct_ParametersData>& rows,
                         const QList<bool>& channelFlags, const QString& printInterval,
                         Tool::Struct_Parameters* projectCopy, QList<Tool::Struct_ParametersData>* rowsCopy)
{
    *projectCopy = project;
    projectCopy->ScanInterval = printInterval;
    projectCopy->Channel.clear();
    projectCopy->Unit.clear();
    for (int i = 0; i < project.Channel.size(); ++i) {
        if (channelFlags.value(i, true)) {
            projectCopy->Channel << project.Channel.at(i);
            projectCopy->Unit << project.Unit.value(i);
        }
    }
    const int step = rowStep(project.ScanInterval, printInterval);
    rowsCopy->clear();
    rowsCopy->reserve(rows.size() / step + 1);
    for (int r = 0; r < rows.size(); r += step) {
        Tool::Struct_ParametersData row = rows.at(r);
        QStringList kept;
        for (int i = 0; i < row.Data.size(); ++i)
            if (channelFlags.value(i, true))
                kept << row.Data.at(i);
        row.Data = kept;
        rowsCopy->append(row);
    }
}

void ReportData::prepare(const Tool::Struct_Parameters& project, const QVector<qint64>& times,
                         const QVector<QVector<double>>& columns, const QList<bool>& channelFlags,
                         const QString& printInterval, Tool::Struct_Parameters* projectCopy,
                         QVector<qint64>* timesCopy, QVector<QVector<double>>* columnsCopy,
                         const QList<QDateTime>& segmentStart, const QList<QDateTime>& segmentEnd)
{
    *projectCopy = project;
    projectCopy->ScanInterval = printInterval;
    projectCopy->Channel.clear();
    projectCopy->Unit.clear();
    QList<int> kept;
    for (int i = 0; i < project.Channel.size(); ++i) {
        if (channelFlags.value(i, true)) {
            projectCopy->Channel << project.Channel.at(i);
            projectCopy->Unit << project.Unit.value(i);
            kept << i;
        }
    }
    const int step = rowStep(project.ScanInterval, printInterval);
    // Thinned row i is row i * step.
    const int thinned = int((qint64(times.size()) + step - 1) / step);
    // Runs of thinned rows kept, first and last, ascending and apart.
    QVector<QPair<int, int>> runs;
    if (thinned > 0)
        runs << qMakePair(0, thinned - 1);
    if (!segmentStart.isEmpty() && thinned > 0) {
        // Only the rows the segments print: found on the thinned times as
        // the writers find them. Found again on the copy they are the same
        // rows, since a row left out lies before a segment's start or after
        // its end as the search goes.
        QVector<qint64> thinnedTimes;
        if (step > 1) {
            thinnedTimes.reserve(thinned);
            for (int r = 0; r < times.size(); r += step)
                thinnedTimes << times.at(r);
        }
        QList<int> starts, ends;
        ReportStats::segmentRows(step > 1 ? thinnedTimes : times, segmentStart, segmentEnd, &starts, &ends);
        if (!starts.isEmpty()) {
            QVector<QPair<int, int>> found;
            for (int i = 0; i < starts.size(); ++i) {
                found << qMakePair(starts.at(i), std::max(starts.at(i), ends.value(i)));
                if (ends.value(i) < starts.at(i)) // an end before its start: that row too
                    found << qMakePair(ends.value(i), ends.value(i));
            }
            std::sort(found.begin(), found.end());
            runs.clear();
            for (const auto& run : qAsConst(found)) {
                if (!runs.isEmpty() && run.first <= runs.last().second + 1)
                    runs.last().second = std::max(runs.last().second, run.second);
                else
                    runs << run;
            }
        }
    }
    timesCopy->clear();
    columnsCopy->clear();
    columnsCopy->reserve(kept.size());
    if (step == 1 && runs.size() == 1 && runs.first() == qMakePair(0, thinned - 1)) {
        // Every row as it is: shared with the caller, not copied.
        *timesCopy = times;
        for (const int k : qAsConst(kept))
            *columnsCopy << columns.value(k);
        return;
    }
    int count = 0;
    for (const auto& run : qAsConst(runs))
        count += run.second - run.first + 1;
    timesCopy->reserve(count);
    for (const auto& run : qAsConst(runs))
        for (int i = run.first; i <= run.second; ++i)
            *timesCopy << times.at(i * step);
    const QVector<double> none;
    for (const int k : qAsConst(kept)) {
        const QVector<double>& source = k < columns.size() ? columns.at(k) : none;
        QVector<double> column;
        column.reserve(count);
        for (const auto& run : qAsConst(runs)) {
            for (int i = run.first; i <= run.second; ++i) {
                const int r = i * step;
                column << (r < source.size() ? source.at(r) : std::numeric_limits<double>::quiet_NaN());
            }
        }
        *columnsCopy << column;
    }
}

ReportData ReportData::build(int decimals, const QList<bool>& flags, const Tool::Struct_Parameters& project,
                             const QList<Tool::Struct_ParametersData>& rows, const QList<QDateTime>& segmentStart,
                             const QList<QDateTime>& segmentEnd, const QStringList& segmentRemarks)
{
    QVector<qint64> times;
    QVector<QVector<double>> columns;
    toColumns(rows, project.Channel.size(), &times, &columns);
    return build(decimals, flags, project, times, columns, segmentStart, segmentEnd, segmentRemarks);
}

ReportData ReportData::build(int decimals, const QList<bool>& flags, const Tool::Struct_Parameters& project,
                             const QVector<qint64>& times, const QVector<QVector<double>>& columns,
                             const QList<QDateTime>& segmentStart, const QList<QDateTime>& segmentEnd,
                             const QStringList& segmentRemarks)
{
    ReportData d;
    d.decimals = decimals;
    d.flags = flags;
    while (d.flags.size() < 5)
        d.flags << false;
    d.project = project;
    const QStringList pair = Tool::unitPair(project.Unit);
    d.leftUnit = pair.value(0);
    d.rightUnit = pair.value(1);
    // Quantities name tables and headings: shown in the interface language.
    d.leftQuantity = Vocabulary::text(Tool::unitQuantity(d.leftUnit));
    d.rightQuantity = d.rightUnit.isEmpty() ? QString() : Vocabulary::text(Tool::unitQuantity(d.rightUnit));
    groupNames(d.leftUnit, d.rightUnit, d.leftQuantity, d.rightQuantity, &d.leftName, &d.rightName);
    // Left group: the left unit; right group: the right unit only. A channel
    // of any further unit is in neither (Tool::unitPair lists such units after
    // the two).
    QList<int> group; // 0 left, 1 right, 2 neither
    for (int i = 0; i < project.Channel.size(); ++i) {
        const QString unit = project.Unit.value(i);
        const int g = unit == d.leftUnit ? 0 : !d.rightUnit.isEmpty() && unit == d.rightUnit ? 1 : 2;
        group << g;
        if (g == 0)
            d.leftLabels << project.Channel.at(i);
        else if (g == 1)
            d.rightLabels << project.Channel.at(i);
        else
            d.otherChannels << project.Channel.at(i) + QLatin1Char('(') + unit + QLatin1Char(')');
    }

    d.rows.reserve(times.size());
    ScanTimeText timeText;
    for (int r = 0; r < times.size(); ++r) {
        ReportRow row;
        row.time = timeText(times.at(r));
        row.values.reserve(group.size());
        for (int i = 0; i < group.size(); ++i) {
            const double v = i < columns.size() && r < columns.at(i).size() ? columns.at(i).at(r)
                                                                            : std::numeric_limits<double>::quiet_NaN();
            row.values << v;
            if (group.at(i) == 0)
                row.left << v;
            else if (group.at(i) == 1)
                row.right << v;
        }
        d.rows << row;
    }
    d.segmentRemarks = segmentRemarks;
    const QString format = QStringLiteral("yyyy-MM-dd hh:mm:ss");
    for (const QDateTime& t : segmentStart)
        d.segmentStartTexts << t.toString(format);
    for (const QDateTime& t : segmentEnd)
        d.segmentEndTexts << t.toString(format);
    ReportStats::segmentRows(times, segmentStart, segmentEnd, &d.segmentStartRows, &d.segmentEndRows);
    d.tableNames = ReportStats::tableNames(d.flags, d.leftName, d.rightName);
    return d;
}

ReportData ReportData::buildCompact(int decimals, const QList<bool>& flags, const Tool::Struct_Parameters& project,
                                   const QVector<qint64>& times, const QVector<QVector<double>>& columns,
                                   const QList<QDateTime>& segmentStart, const QList<QDateTime>& segmentEnd,
                                   const QStringList& segmentRemarks)
{
    // Groups, texts and table names as `build` makes them, without rows.
    ReportData d = build(decimals, flags, project, QVector<qint64>(), QVector<QVector<double>>(), segmentStart,
                         segmentEnd, segmentRemarks);
    d.compact = true;
    d.times = times;
    d.columns = columns;
    // A missing column or value is no number, as a text that is no number is.
    if (d.columns.size() != project.Channel.size())
        d.columns.resize(project.Channel.size());
    for (QVector<double>& column : d.columns)
        if (column.size() < times.size())
            column.insert(column.size(), times.size() - column.size(), std::numeric_limits<double>::quiet_NaN());
    for (int i = 0; i < project.Channel.size(); ++i) {
        const QString unit = project.Unit.value(i);
        if (unit == d.leftUnit)
            d.leftColumns << i;
        else if (!d.rightUnit.isEmpty() && unit == d.rightUnit)
            d.rightColumns << i;
    }
    ReportStats::segmentRows(times, segmentStart, segmentEnd, &d.segmentStartRows, &d.segmentEndRows);
    return d;
}

ReportRow ReportData::row(int r) const
{
    if (!compact)
        return rows.at(r);
    ReportRow out;
    out.time = timeText(times.at(r));
    out.values.reserve(columns.size());
    for (const QVector<double>& column : columns)
        out.values << column.at(r);
    for (int c : leftColumns)
        out.left << columns.at(c).at(r);
    for (int c : rightColumns)
        out.right << columns.at(c).at(r);
    return out;
}

double ReportData::groupValue(int r, bool left, int c) const
{
    if (!compact)
        return (left ? rows.at(r).left : rows.at(r).right).value(c, std::numeric_limits<double>::quiet_NaN());
    const QVector<int>& group = left ? leftColumns : rightColumns;
    return columns.at(group.at(c)).at(r);
}

QString ReportData::timeText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("MM-dd hh:mm:ss.zzz"));
}

QString ScanTimeText::operator()(qint64 ms)
{
    char text[32];
    write(ms, text, sizeof text);
    return QString::fromLatin1(text);
}

void ReportData::toColumns(const QList<Tool::Struct_ParametersData>& rows, int channels,
                           QVector<qint64>* times, QVector<QVector<double>>* columns)
{
    times->clear();
    times->reserve(rows.size());
    columns->fill({}, channels);
    for (QVector<double>& column : *columns)
        column.reserve(rows.size());
    for (const Tool::Struct_ParametersData& row : rows) {
        *times << row.Time.toMSecsSinceEpoch();
        for (int i = 0; i < channels; ++i)
            (*columns)[i] << parse(row.Data.value(i));
    }
}

qint64 LocalClock::localMs(qint64 ms)
{
    constexpr qint64 quarter = 15 * 60 * 1000;
    const qint64 bucket = ms >= 0 ? ms / quarter : (ms - quarter + 1) / quarter;
    if (bucket != m_bucket) {
        const qint64 first = bucket * quarter;
        const int offset = QDateTime::fromMSecsSinceEpoch(first).offsetFromUtc();
        m_changes = QDateTime::fromMSecsSinceEpoch(first + quarter - 1).offsetFromUtc() != offset;
        m_offsetMs = qint64(offset) * 1000;
        m_bucket = bucket;
    }
    // Inside a quarter hour where the zone changes, this time's own offset.
    return ms + (m_changes ? qint64(QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc()) * 1000 : m_offsetMs);
}

void ScanTimeText::write(qint64 ms, char* out, int size)
{
    constexpr qint64 day = 24 * 3600 * 1000;
    const qint64 local = m_clock.localMs(ms);
    qint64 days = local / day, inDay = local % day;
    if (inDay < 0) {
        inDay += day;
        --days;
    }
    const QDate date = QDate::fromJulianDay(days + 2440588); // 1970-01-01
    const int month = date.month();
    const int dayOfMonth = date.day();
    const int hour = int(inDay / 3600000);
    const int minute = int(inDay / 60000 % 60);
    const int second = int(inDay / 1000 % 60);
    const int milli = int(inDay % 1000);
    std::snprintf(out, size_t(size), "%02d-%02d %02d:%02d:%02d.%03d", month, dayOfMonth, hour, minute, second, milli);
}

int ReportData::segmentRows(int s) const
{
    if (rowCount() == 0)
        return 0;
    return segmentEndRows.value(s) - segmentStartRows.value(s) + 1;
}

int ReportData::deviceChannelCount(int d) const
{
    const QString prefix = QString::number(d) + QLatin1Char('-');
    int n = 0;
    for (const QString& label : project.Channel)
        n += label.startsWith(prefix);
    return n;
}

void ReportStats::segmentRows(const QList<QDateTime>& rowTimes, const QList<QDateTime>& starts,
                              const QList<QDateTime>& ends, QList<int>* startRows, QList<int>* endRows)
{
    QVector<qint64> ms;
    ms.reserve(rowTimes.size());
    for (const QDateTime& t : rowTimes)
        ms << t.toMSecsSinceEpoch();
    segmentRows(ms, starts, ends, startRows, endRows);
}

void ReportStats::segmentRows(const QVector<qint64>& rowTimes, const QList<QDateTime>& starts,
                              const QList<QDateTime>& ends, QList<int>* startRows, QList<int>* endRows)
{
    startRows->clear();
    endRows->clear();
    const int last = rowTimes.size() - 1;
    int search = 0;
    const auto firstAtOrAfter = [&](const QDateTime& t) {
        const qint64 ms = t.toMSecsSinceEpoch();
        for (int i = search; i <= last; ++i)
            if (rowTimes.at(i) >= ms)
                return i;
        return -1;
    };
    const int segments = std::min(starts.size(), ends.size());
    for (int s = 0; s < segments; ++s) {
        int start = firstAtOrAfter(starts.at(s));
        if (start < 0)
            start = last;
        else
            search = start;
        int end = firstAtOrAfter(ends.at(s));
        if (end < 0)
            end = last;
        else
            search = end;
        *startRows << start;
        *endRows << end;
    }
}

namespace {
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// value(r, c): channel c of the group in row r. A value that is no number is
// left out: a channel's statistics are over its numbers only, and a channel
// without any takes no part in the group summary.
template <typename Value>
ReportStats::Vertical verticalOf(int first, int last, int channels, Value value)
{
    using Channel = ReportStats::Channel;
    ReportStats::Vertical v;
    for (int c = 0; c < channels; ++c) {
        Channel ch;
        double maximum = -DBL_MAX, minimum = DBL_MAX, sum = 0;
        int n = 0;
        for (int r = first; r <= last; ++r) {
            const double x = value(r, c);
            if (!std::isfinite(x))
                continue;
            if (x > maximum)
                maximum = x;
            if (x < minimum)
                minimum = x;
            sum += x;
            ++n;
        }
        if (n == 0) {
            ch.maximum = ch.minimum = ch.average = ch.deviation = kNaN;
            v.channels << ch;
            continue;
        }
        ch.maximum = maximum;
        ch.minimum = minimum;
        ch.average = sum / n;
        double squares = 0;
        for (int r = first; r <= last; ++r) {
            const double x = value(r, c);
            if (!std::isfinite(x))
                continue;
            const double d = x - ch.average;
            squares += d * d;
        }
        ch.deviation = std::sqrt(squares / n);
        v.channels << ch;
    }
    if (v.channels.isEmpty())
        return v;
    v.minAverage = DBL_MAX;
    v.maxAverage = -DBL_MAX;
    v.maxMaximum = -DBL_MAX;
    v.minMinimum = DBL_MAX;
    double sum = 0;
    int counted = 0;
    for (int c = 0; c < v.channels.size(); ++c) {
        const Channel& ch = v.channels.at(c);
        if (!std::isfinite(ch.average))
            continue;
        if (ch.average < v.minAverage) {
            v.minAverage = ch.average;
            v.minAverageAt = c;
        }
        if (ch.average > v.maxAverage) {
            v.maxAverage = ch.average;
            v.maxAverageAt = c;
        }
        if (ch.maximum > v.maxMaximum) {
            v.maxMaximum = ch.maximum;
            v.maxMaximumAt = c;
        }
        if (ch.minimum < v.minMinimum) {
            v.minMinimum = ch.minimum;
            v.minMinimumAt = c;
        }
        sum += ch.average;
        ++counted;
    }
    if (counted == 0) {
        v.minAverage = v.maxAverage = v.maxMaximum = v.minMinimum = v.overall = kNaN;
        return v;
    }
    v.overall = sum / counted;
    return v;
}
} // namespace

ReportStats::Vertical ReportStats::vertical(const QList<ReportRow>& rows, int first, int last, bool left, int channels)
{
    return verticalOf(first, last, channels,
                      [&](int r, int c) { return (left ? rows.at(r).left : rows.at(r).right).value(c, kNaN); });
}

ReportStats::Vertical ReportStats::vertical(const ReportData& data, int first, int last, bool left)
{
    if (data.rowCount() == 0 || first < 0 || last < first)
        return {};
    const int channels = (left ? data.leftLabels : data.rightLabels).size();
    if (!data.compact)
        return vertical(data.rows, first, last, left, channels);
    return verticalOf(first, last, channels, [&](int r, int c) { return data.groupValue(r, left, c); });
}

ReportStats::Horizontal ReportStats::horizontal(const QList<double>& values)
{
    Horizontal h;
    if (values.isEmpty())
        return h;
    // Values that are no number are left out; a row without any has no statistics.
    double maximum = -DBL_MAX, minimum = DBL_MAX, sum = 0;
    int n = 0;
    for (int i = 0; i < values.size(); ++i) {
        const double x = values.at(i);
        if (!std::isfinite(x))
            continue;
        ++n;
        if (x > maximum) {
            maximum = x;
            h.maximumAt = i;
        }
        if (x < minimum) {
            minimum = x;
            h.minimumAt = i;
        }
        sum += x;
    }
    if (n == 0) {
        h.maximum = h.minimum = h.mean = h.deviation = kNaN;
        h.maximumAt = h.minimumAt = -1;
        return h;
    }
    h.maximum = maximum;
    h.minimum = minimum;
    h.mean = sum / n;
    double squares = 0;
    for (double x : values)
        if (std::isfinite(x))
            squares += (x - h.mean) * (x - h.mean);
    h.deviation = std::sqrt(squares / n);
    return h;
}

QStringList ReportStats::horizontalRow(const ReportData& data, const ReportRow& row, bool left)
{
    const QList<double>& values = left ? row.left : row.right;
    const QStringList& labels = left ? data.leftLabels : data.rightLabels;
    const Horizontal h = horizontal(values);
    return {row.time,
            data.number(h.maximum),
            labels.value(h.maximumAt),
            data.number(h.minimum),
            labels.value(h.minimumAt),
            data.number(h.mean),
            data.number(h.maximum - h.mean),
            data.number(h.mean - h.minimum),
            data.number(h.maximum - h.minimum),
            data.number(h.deviation)};
}

QStringList ReportStats::verticalRow(const ReportData& data, const QString& label, const Channel& c)
{
    return {label,
            data.number(c.maximum),
            data.number(c.minimum),
            data.number(c.average),
            data.number(c.maximum - c.average),
            data.number(c.average - c.minimum),
            data.number(c.maximum - c.minimum),
            data.number(c.deviation)};
}

QStringList ReportStats::horizontalHeaders(const QString& q)
{
    return {tr("时间"),          tr("最大") + q, tr("最大") + q + tr("通道"), tr("最小") + q, tr("最小") + q + tr("通道"),
            tr("平均") + q,      tr("最大-平均"), tr("平均-最小"),             tr("最大-最小"), tr("标准偏差")};
}

QStringList ReportStats::verticalHeaders(const QString& q)
{
    return {tr("通道"),      tr("最大") + q,  tr("最小") + q,  tr("平均") + q,
            tr("最大-平均"), tr("平均-最小"), tr("最大-最小"), tr("标准偏差")};
}

QList<QStringList> ReportStats::verticalSummary(const ReportData& data, const Vertical& v, bool left)
{
    const QStringList& labels = left ? data.leftLabels : data.rightLabels;
    const QString q = left ? data.leftQuantity : data.rightQuantity;
    const bool any = !v.channels.isEmpty();
    // Empty where nothing was measured (no channel, or no channel with a number).
    const auto at = [&](int c, double value) {
        return any && std::isfinite(value) ? labels.value(c) + QLatin1Char('/') + data.number(value) : QString();
    };
    const auto num = [&](double value) { return any ? data.number(value) : QString(); };
    return {{tr("最小平均") + q + tr("及通道"), at(v.minAverageAt, v.minAverage), tr("最大的最大值与全均值之差"),
             num(v.maxMaximum - v.overall)},
            {tr("最大平均") + q + tr("及通道"), at(v.maxAverageAt, v.maxAverage), tr("最大平均值与全均值之差"),
             num(v.maxAverage - v.overall)},
            {tr("最大的最大值及通道"), at(v.maxMaximumAt, v.maxMaximum), tr("全均值与最小的最小值之差"),
             num(v.overall - v.minMinimum)},
            {tr("最小的最小值及通道"), at(v.minMinimumAt, v.minMinimum), tr("全均值与最小平均值之差"),
             num(v.overall - v.minAverage)},
            {tr("全均值"), num(v.overall), QString(), QString()}};
}

QString ReportStats::otherUnitsNote(const ReportData& data)
{
    bool analysis = false;
    for (int i = 1; i < 5; ++i)
        analysis = analysis || data.flags.value(i);
    if (!analysis || data.otherChannels.isEmpty())
        return QString();
    return tr("注：以下通道的单位不属于两个分析组，未列入分析表：%1").arg(data.otherChannels.join(QStringLiteral(", ")));
}

QStringList ReportStats::tableNames(const QList<bool>& flags, const QString& leftQuantity, const QString& rightQuantity)
{
    const QStringList all{tr("数据表"), leftQuantity + tr("横向表"), leftQuantity + tr("竖向表"),
                          rightQuantity + tr("横向表"), rightQuantity + tr("竖向表")};
    QStringList names;
    for (int i = 0; i < all.size(); ++i)
        if (flags.value(i))
            names << all.at(i);
    return names;
}
