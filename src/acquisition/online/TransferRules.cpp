#include "TransferRules.h"

#include "ChannelModel.h"
#include "Collection.h"
#include "DataFiles.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <memory>
#include <vector>

namespace TransferRules {

namespace {

constexpr int kProgressStep = 1024;
// Rows handed to a sink at a time: a few hundred kilobytes.
constexpr int kBatchRows = 3072;

// Messages are marked QT_TRANSLATE_NOOP at their use so lupdate finds them
// under the dialog that shows them.
QString importText(const char* text) { return QCoreApplication::translate("ParametersImport", text); }
QString offlineText(const char* text) { return QCoreApplication::translate("ParametersDisconnection", text); }

bool cancelled(const std::atomic<bool>* cancel) { return cancel && cancel->load(); }

// Which device, file and grid time an import message is about.
QString importPlace(int device, const ImportJob& job, const QDateTime& time = QDateTime())
{
    const QString path = device < job.paths.size() ? job.paths.at(device) : QString();
    QString text = QLatin1Char('\n')
                   + importText(QT_TRANSLATE_NOOP("ParametersImport", "设备%1（%2），文件：%3"))
                         .arg(device + 1)
                         .arg(job.devices.at(device).Mode, path.isEmpty() ? QStringLiteral("-") : QFileInfo(path).fileName());
    if (time.isValid())
        text += importText(QT_TRANSLATE_NOOP("ParametersImport", "，时间：%1"))
                    .arg(time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    return text;
}

// One line of a working file without its line end; false at the end of the file.
bool nextLine(QFile& file, QString& line)
{
    if (file.atEnd())
        return false;
    line = QString::fromLocal8Bit(file.readLine());
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return true;
}

// Fields 2 … n − 3 of a record: its channel values.
void appendChannelFields(QStringList& values, const QStringList& fields)
{
    for (int i = 2; i < fields.size() - 2; ++i)
        values << fields.at(i);
}

// Hands the rows to the sink once there are enough of them (or any, when
// `all`); false when it refused them.
bool flush(Outcome& out, const RowSink& sink, bool all = false)
{
    if (!sink || out.rows.isEmpty() || (!all && out.rows.size() < kBatchRows))
        return true;
    const bool taken = sink(out.rows);
    out.rows.clear();
    if (!taken) {
        out.refused = true;
        out.failure = importText(QT_TRANSLATE_NOOP("ParametersImport", "采集数据保存失败！"));
    }
    return taken;
}

// The end of a read: what is left goes to the sink.
Outcome finish(Outcome out, const RowSink& sink)
{
    if (out.ok())
        flush(out, sink, true);
    else
        out.rows.clear();
    return out;
}

// Grid times start + k × step as fixed-offset times of the local zone's
// offset at each: the same instants and clock readings as start.addSecs(),
// without the zone lookups every local QDateTime costs (two stats of the
// zone file per grid time, more than the rest of the read). The offset is
// looked up once an hour of grid time; where it changed within the hour,
// the second of the change is searched.
class GridClock
{
public:
    explicit GridClock(const QDateTime& start) : m_start(start.toMSecsSinceEpoch()) {}

    // The time `offsetMs` after the start.
    QDateTime at(qint64 offsetMs)
    {
        const qint64 ms = m_start + offsetMs;
        if (ms < m_from || ms >= m_until)
            locate(ms);
        return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, m_offset);
    }
    // The local clock's reading then, on the count of DataFiles::clockMs.
    qint64 clockAt(qint64 offsetMs)
    {
        constexpr qint64 kEpochJulianDay = 2440588; // 1970-01-01
        const qint64 ms = m_start + offsetMs;
        if (ms < m_from || ms >= m_until)
            locate(ms);
        return ms + qint64(m_offset) * 1000 + kEpochJulianDay * 86400000;
    }

private:
    static int offsetAt(qint64 ms) { return QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc(); }

    void locate(qint64 ms)
    {
        constexpr qint64 kHour = 3600 * 1000;
        m_from = ms;
        m_offset = offsetAt(ms);
        m_until = ms + kHour;
        if (offsetAt(m_until) == m_offset)
            return;
        // Zone offsets change on whole seconds: the first second of the new one.
        qint64 low = ms, high = m_until;
        while (high - low > 1000) {
            const qint64 mid = low + (high - low) / 2000 * 1000;
            (offsetAt(mid) == m_offset ? low : high) = mid;
        }
        m_until = high;
    }

    qint64 m_start;
    qint64 m_from = 0, m_until = 0;
    int m_offset = 0;
};

QDateTime recordTime(const QStringList& fields)
{
    return fields.size() > 1 ? QDateTime::fromString(fields.at(1), QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"))
                             : QDateTime();
}

} // namespace

qint64 wholeSeconds(const QDateTime& a, const QDateTime& b)
{
    return a.msecsTo(b) / 1000;
}

void appendRows(QList<Tool::Struct_ParametersData>& rows, const QStringList& projectNames,
                const QList<ChosenChannel>& chosen, const QList<int>& columnMap, const QStringList& values,
                const QDateTime& time)
{
    for (int p = 0; p < projectNames.size(); ++p) {
        Tool::Struct_ParametersData row{projectNames.at(p), time, {}};
        // Sized once: growing the list value by value was a tenth of a long import's read.
        int count = 0;
        for (int k = 0; k < chosen.size() && k < columnMap.size(); ++k)
            count += chosen.at(k).ProjectIndex == p ? 1 : 0;
        row.Data.reserve(count);
        for (int k = 0; k < chosen.size() && k < columnMap.size(); ++k) {
            const int column = columnMap.at(k);
            if (chosen.at(k).ProjectIndex == p && column >= 0 && column < values.size())
                row.Data << values.at(column);
        }
        rows.append(row);
    }
}

// --- import -----------------------------------------------------------------

int deviceWithoutReader(const QList<Tool::Struct_AcquisitionDevice>& devices)
{
    for (int i = 0; i < devices.size(); ++i) {
        std::unique_ptr<Collection> reader(ChannelModel::createDataFileReader(devices.at(i).Mode));
        if (!reader)
            return i;
    }
    return -1;
}

namespace {

Outcome importOnto(const ImportJob& job, const Progress& progress, const std::atomic<bool>* cancel, const RowSink& sink)
{
    Outcome out;
    const QString noChannels = importText(QT_TRANSLATE_NOOP("ParametersImport", "未检测到通道！"));
    const QString mismatch = importText(QT_TRANSLATE_NOOP("ParametersImport", "采集数据不匹配，未能保存数据！"));
    const qint64 step = static_cast<qint64>(job.scanInterval);
    if (job.devices.isEmpty() || job.configs.size() < job.devices.size()) {
        out.failure = noChannels;
        return out;
    }
    const int missing = deviceWithoutReader(job.devices);
    if (missing >= 0) {
        out.failure = importText(QT_TRANSLATE_NOOP("ParametersImport", "该设备不支持数据导入：")) + job.devices.at(missing).Mode;
        return out;
    }
    if (step < 1) {
        // A step of zero would put every grid time on the start.
        out.failure = importText(QT_TRANSLATE_NOOP("ParametersImport", "扫描间隔小于1秒，无法导入数据！"));
        return out;
    }

    std::vector<std::unique_ptr<Collection>> readers;
    QList<int> channelCounts;
    int channelTotal = 0;
    for (int i = 0; i < job.devices.size(); ++i) {
        readers.emplace_back(ChannelModel::createDataFileReader(job.devices.at(i).Mode));
        QStringList numbers;
        for (const Device::Channel& c : ChannelModel::toChannels(job.configs.at(i)))
            numbers << c.ChannelNumber;
        const QString path = i < job.paths.size() ? job.paths.at(i) : QString();
        if (path.isEmpty() || numbers.isEmpty() || !readers.back()->OpenDataFile(path, numbers)) {
            for (auto& r : readers)
                r->CloseDataFile();
            out.failure = noChannels + importPlace(i, job);
            return out;
        }
        channelCounts << numbers.size();
        channelTotal += numbers.size();
    }
    auto closeAll = [&readers] {
        for (auto& r : readers)
            r->CloseDataFile();
    };
    // Values go to the chosen channels by position: both lists must agree.
    if (job.chosen.size() != channelTotal) {
        closeAll();
        out.failure = importText(QT_TRANSLATE_NOOP("ParametersImport", "通道不匹配！"));
        return out;
    }
    QList<int> columnMap;
    for (int k = 0; k < channelTotal; ++k)
        columnMap << k;

    const qint64 seconds = wholeSeconds(job.start, job.end);
    const qint64 n = seconds > 0 ? seconds / step : 0;
    if (!sink)
        out.rows.reserve(static_cast<int>(qMin<qint64>(n * job.projectNames.size(), 50'000'000)));
    QStringList values, deviceValues;
    GridClock grid(job.start);
    for (qint64 k = 0; k < n; ++k) {
        if (k % kProgressStep == 0) {
            if (cancelled(cancel)) {
                closeAll();
                out.rows.clear();
                out.failure = mismatch;
                return out;
            }
            if (progress)
                progress(k, n);
        }
        const QDateTime t = grid.at(k * step * 1000);
        values.erase(values.begin(), values.end()); // keeps the storage, unlike clear()
        for (size_t i = 0; i < readers.size(); ++i) {
            if (!readers[i]->ReadDataFile(t, deviceValues) || deviceValues.size() != channelCounts.at(int(i))) {
                closeAll();
                out.rows.clear();
                out.failure = mismatch + importPlace(int(i), job, t);
                return out;
            }
            values += deviceValues;
        }
        appendRows(out.rows, job.projectNames, job.chosen, columnMap, values, t);
        if (!flush(out, sink)) {
            closeAll();
            return out;
        }
    }
    closeAll();
    if (progress)
        progress(n, n);
    return out;
}

} // namespace

Outcome importFiles(const ImportJob& job, const Progress& progress, const std::atomic<bool>* cancel,
                    const RowSink& sink)
{
    return finish(importOnto(job, progress, cancel, sink), sink);
}

// --- working files ----------------------------------------------------------

bool endFlag(const QDateTime& start, const QDateTime& end, double scanInterval)
{
    return static_cast<double>(wholeSeconds(start, end)) > scanInterval;
}

bool wholeSecondInterval(double scanInterval)
{
    return scanInterval >= 1 && std::fabs(scanInterval - std::round(scanInterval)) < 1e-9;
}

int triggerCount(const QDateTime& start, const QDateTime& end, double scanInterval)
{
    const qint64 seconds = wholeSeconds(start, end);
    if (seconds <= 0 || !(scanInterval > 0))
        return 0;
    return static_cast<int>(qMin<double>(seconds / scanInterval, 2147483647.0));
}

namespace {

Outcome readRecords(const WorkingFilesJob& job, const Progress& progress, const std::atomic<bool>* cancel,
                    const RowSink& sink)
{
    Outcome out;
    std::vector<std::unique_ptr<QFile>> files;
    for (const QString& path : job.paths) {
        files.emplace_back(new QFile(path));
        if (!files.back()->open(QIODevice::ReadOnly | QIODevice::Text)) {
            out.failure = offlineText(QT_TRANSLATE_NOOP("ParametersDisconnection", "文件打开失败！"));
            return out;
        }
    }
    auto fail = [&out](const char* text) {
        out.rows.clear();
        out.failure = offlineText(text);
        return out;
    };

    // Header pass: the channel keys, device by device.
    QStringList keys;
    QString line;
    for (size_t i = 0; i < files.size(); ++i) {
        if (!nextLine(*files[i], line))
            return fail(QT_TRANSLATE_NOOP("ParametersDisconnection", "未检测到通道！"));
        const QStringList fields = line.split(QLatin1Char(','), Qt::KeepEmptyParts);
        if (fields.size() < 5)
            return fail(QT_TRANSLATE_NOOP("ParametersDisconnection", "未检测到通道！"));
        for (int c = 2; c < fields.size() - 2; ++c) {
            if (fields.at(c).size() < 10)
                return fail(QT_TRANSLATE_NOOP("ParametersDisconnection", "未检测到通道！"));
            keys << QString::number(i + 1) + QLatin1Char('-') + fields.at(c).mid(3, 3);
        }
    }
    if (job.chosen.size() > keys.size())
        return fail(QT_TRANSLATE_NOOP("ParametersDisconnection", "通道不匹配！"));
    QList<int> columnMap;
    for (const ChosenChannel& c : job.chosen) {
        const int at = keys.indexOf(c.ID);
        if (at < 0)
            return fail(QT_TRANSLATE_NOOP("ParametersDisconnection", "通道不匹配！"));
        columnMap << at;
    }

    // Start row: each file's record within one second of the start.
    const QDateTime start = QDateTime::fromString(job.start.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                                                  QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    std::vector<QDateTime> previous(files.size());
    // Per file, the record nearest the start: the user learns how far off
    // the scan was started when none is within a second.
    std::vector<QDateTime> nearest(files.size());
    QStringList values;
    for (size_t i = 0; i < files.size(); ++i) {
        while (nextLine(*files[i], line)) {
            const QStringList fields = line.split(QLatin1Char(','), Qt::KeepEmptyParts);
            if (fields.size() < 5)
                break;
            const QDateTime t = recordTime(fields);
            if (t.isValid() && (!nearest[i].isValid() || qAbs(start.msecsTo(t)) < qAbs(start.msecsTo(nearest[i]))))
                nearest[i] = t;
            // An unreadable time is no match (msecsTo would call it 0 s away).
            const qint64 s = t.isValid() ? wholeSeconds(start, t) : 99;
            if (s >= -1 && s <= 1) {
                appendChannelFields(values, fields);
                previous[i] = t;
                break;
            }
        }
    }
    if (values.size() != keys.size()) {
        fail(QT_TRANSLATE_NOOP("ParametersDisconnection", "未搜索到采集开始时间！"));
        for (size_t i = 0; i < files.size(); ++i) {
            if (previous[i].isValid() || !nearest[i].isValid())
                continue;
            out.failure += QLatin1Char('\n')
                           + offlineText(QT_TRANSLATE_NOOP("ParametersDisconnection", "设备%1离开始时间最近的记录：%2"))
                                 .arg(i + 1)
                                 .arg(nearest[i].toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")));
        }
        return out;
    }
    appendRows(out.rows, job.projectNames, job.chosen, columnMap, values, start);

    const double interval = job.scanInterval;
    const qint64 step = static_cast<qint64>(interval);
    const bool ending = endFlag(job.start, job.end, interval);
    // Times as ms after the start: a record's clock reading is compared with
    // the local clock's reading at the expected time, through the grid's
    // cached zone offset (local QDateTime arithmetic costs zone lookups,
    // most of a long save), so a change of the offset is no gap.
    GridClock grid(start);
    std::vector<qint64> previousMs;
    for (const QDateTime& t : previous)
        previousMs.push_back(start.msecsTo(t));
    const qint64 endMs = start.msecsTo(job.end);
    const QString timeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz");
    for (qint64 w = 1;; ++w) {
        if (w % kProgressStep == 0) {
            if (cancelled(cancel))
                return fail(QT_TRANSLATE_NOOP("ParametersDisconnection", "采集数据不匹配，未能保存数据！"));
            if (progress)
                progress(files.front()->pos(), files.front()->size()); // the records are not counted up front
        }
        values.erase(values.begin(), values.end()); // keeps the storage, unlike clear()
        for (size_t i = 0; i < files.size(); ++i) {
            // An empty line (a trailing line end) ends the data like the end of the file.
            if (!nextLine(*files[i], line) || line.trimmed().isEmpty())
                return out;
            const QStringList fields = line.split(QLatin1Char(','), Qt::KeepEmptyParts);
            qint64 clock = 0;
            const qint64 expected = previousMs[i] + step * 1000;
            const bool readable = fields.size() > 1 && DataFiles::clockMs(fields.at(1), timeFormat, clock);
            const qint64 late = readable ? clock - grid.clockAt(expected) : 0;
            // Whole seconds off, truncated toward zero as wholeSeconds().
            const qint64 off = readable ? late / 1000 : 99;
            if (off < -2 || off > 2)
                return fail(QT_TRANSLATE_NOOP("ParametersDisconnection", "采集间隔不匹配，未能保存数据！"));
            previousMs[i] = expected + late;
            if (ending && (endMs - previousMs[i]) / 1000 < 0)
                return out;
            appendChannelFields(values, fields);
        }
        if (values.size() != keys.size())
            return fail(QT_TRANSLATE_NOOP("ParametersDisconnection", "采集数据不匹配，未能保存数据！"));
        // Grid times have whole seconds: S + trunc(w × T).
        appendRows(out.rows, job.projectNames, job.chosen, columnMap, values,
                   grid.at(static_cast<qint64>(w * interval) * 1000));
        if (!flush(out, sink))
            return out;
    }
}

} // namespace

Outcome readWorkingFiles(const WorkingFilesJob& job, const Progress& progress, const std::atomic<bool>* cancel,
                         const RowSink& sink)
{
    return finish(readRecords(job, progress, cancel, sink), sink);
}

DownloadSummary summarize(const WorkingFilesJob& job)
{
    DownloadSummary summary;
    for (const QString& path : job.paths) {
        QFile file(path);
        int records = 0;
        QString line;
        if (file.open(QIODevice::ReadOnly | QIODevice::Text) && nextLine(file, line)) {
            while (nextLine(file, line))
                records += line.trimmed().isEmpty() ? 0 : 1;
        }
        summary.records << records;
    }
    // Only the first and last grid times are kept: a week's rows would not fit.
    QDateTime first, last;
    const Outcome outcome = readWorkingFiles(job, {}, nullptr, [&first, &last](const QList<Tool::Struct_ParametersData>& rows) {
        if (!first.isValid())
            first = rows.first().Time;
        last = rows.last().Time;
        return true;
    });
    summary.failure = outcome.failure;
    if (outcome.ok()) {
        summary.first = first;
        summary.last = last;
    }
    return summary;
}

QDateTime plannedLastScan(const QDateTime& start, const QDateTime& end, double scanInterval)
{
    const int count = triggerCount(start, end, scanInterval);
    if (count < 1)
        return QDateTime();
    return start.addSecs(static_cast<qint64>((count - 1) * scanInterval));
}

} // namespace TransferRules
