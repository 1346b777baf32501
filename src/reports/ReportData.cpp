#include "ReportData.h"

#include "Tool.h"
#include "Vocabulary.h"

#include <cfloat>
#include <cmath>
#include <cstdio>

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
    const double scan = project.ScanInterval.toDouble();
    int step = scan > 0 ? static_cast<int>(printInterval.toDouble() / scan) : 1;
    if (step < 1)
        step = 1;
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
                         QVector<qint64>* timesCopy, QVector<QVector<double>>* columnsCopy)
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
    const double scan = project.ScanInterval.toDouble();
    int step = scan > 0 ? static_cast<int>(printInterval.toDouble() / scan) : 1;
    if (step < 1)
        step = 1;
    timesCopy->clear();
    columnsCopy->clear();
    columnsCopy->resize(kept.size());
    for (int r = 0; r < times.size(); r += step) {
        *timesCopy << times.at(r);
        for (int k = 0; k < kept.size(); ++k)
            (*columnsCopy)[k] << columns.value(kept.at(k)).value(r);
    }
}

ReportData ReportData::build(int decimals, const QList<bool>& flags, const Tool::Struct_Parameters& project,
                             const QList<Tool::Struct_ParametersData>& rows, const QList<QDateTime>& segmentStart,
                             const QList<QDateTime>& segmentEnd, const QStringList& segmentRemarks)
{
    QVector<qint64> times;
    QVector<QVector<double>> columns(project.Channel.size());
    times.reserve(rows.size());
    for (const Tool::Struct_ParametersData& row : rows) {
        times << row.Time.toMSecsSinceEpoch();
        for (int i = 0; i < columns.size(); ++i)
            // A text that is no number counts as 0.
            columns[i] << row.Data.value(i).toDouble();
    }
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
    QList<bool> inLeft;
    for (int i = 0; i < project.Channel.size(); ++i) {
        const bool left = project.Unit.value(i) == d.leftUnit;
        inLeft << left;
        (left ? d.leftLabels : d.rightLabels) << project.Channel.at(i);
    }

    d.rows.reserve(times.size());
    ScanTimeText timeText;
    for (int r = 0; r < times.size(); ++r) {
        ReportRow row;
        row.time = timeText(times.at(r));
        row.values.reserve(inLeft.size());
        for (int i = 0; i < inLeft.size(); ++i) {
            const double v = i < columns.size() && r < columns.at(i).size() ? columns.at(i).at(r) : 0.0;
            row.values << v;
            (inLeft.at(i) ? row.left : row.right) << v;
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
    d.tableNames = ReportStats::tableNames(d.flags, d.leftQuantity, d.rightQuantity);
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
    // A missing column or value reads 0, as a text that is no number does.
    if (d.columns.size() != project.Channel.size())
        d.columns.resize(project.Channel.size());
    for (QVector<double>& column : d.columns)
        if (column.size() < times.size())
            column.resize(times.size());
    for (int i = 0; i < project.Channel.size(); ++i)
        (project.Unit.value(i) == d.leftUnit ? d.leftColumns : d.rightColumns) << i;
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
        return (left ? rows.at(r).left : rows.at(r).right).value(c);
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

void ScanTimeText::write(qint64 ms, char* out, int size)
{
    constexpr qint64 quarter = 15 * 60 * 1000, day = 24 * 3600 * 1000;
    const qint64 bucket = ms >= 0 ? ms / quarter : (ms - quarter + 1) / quarter;
    if (bucket != m_bucket) {
        const qint64 first = bucket * quarter;
        const int offset = QDateTime::fromMSecsSinceEpoch(first).offsetFromUtc();
        m_changes = QDateTime::fromMSecsSinceEpoch(first + quarter - 1).offsetFromUtc() != offset;
        m_offsetMs = qint64(offset) * 1000;
        m_bucket = bucket;
    }
    int month, dayOfMonth, hour, minute, second, milli;
    if (m_changes) {
        // The zone changes inside this quarter hour: ask for this time itself.
        const QDateTime t = QDateTime::fromMSecsSinceEpoch(ms);
        month = t.date().month();
        dayOfMonth = t.date().day();
        hour = t.time().hour();
        minute = t.time().minute();
        second = t.time().second();
        milli = t.time().msec();
    } else {
        const qint64 local = ms + m_offsetMs;
        qint64 days = local / day, inDay = local % day;
        if (inDay < 0) {
            inDay += day;
            --days;
        }
        const QDate date = QDate::fromJulianDay(days + 2440588); // 1970-01-01
        month = date.month();
        dayOfMonth = date.day();
        hour = int(inDay / 3600000);
        minute = int(inDay / 60000 % 60);
        second = int(inDay / 1000 % 60);
        milli = int(inDay % 1000);
    }
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
// value(r, c): channel c of the group in row r.
template <typename Value>
ReportStats::Vertical verticalOf(int first, int last, int channels, Value value)
{
    using Channel = ReportStats::Channel;
    ReportStats::Vertical v;
    const int n = last - first + 1;
    for (int c = 0; c < channels; ++c) {
        Channel ch;
        double maximum = -DBL_MAX, minimum = DBL_MAX, sum = 0;
        for (int r = first; r <= last; ++r) {
            const double x = value(r, c);
            if (x > maximum)
                maximum = x;
            if (x < minimum)
                minimum = x;
            sum += x;
        }
        ch.maximum = maximum;
        ch.minimum = minimum;
        ch.average = n > 0 ? sum / n : 0;
        double squares = 0;
        for (int r = first; r <= last; ++r) {
            const double d = value(r, c) - ch.average;
            squares += d * d;
        }
        ch.deviation = n > 0 ? std::sqrt(squares / n) : 0;
        v.channels << ch;
    }
    if (v.channels.isEmpty())
        return v;
    v.minAverage = DBL_MAX;
    v.maxAverage = -DBL_MAX;
    v.maxMaximum = -DBL_MAX;
    v.minMinimum = DBL_MAX;
    double sum = 0;
    for (int c = 0; c < v.channels.size(); ++c) {
        const Channel& ch = v.channels.at(c);
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
    }
    v.overall = sum / v.channels.size();
    return v;
}
} // namespace

ReportStats::Vertical ReportStats::vertical(const QList<ReportRow>& rows, int first, int last, bool left, int channels)
{
    return verticalOf(first, last, channels,
                      [&](int r, int c) { return (left ? rows.at(r).left : rows.at(r).right).value(c); });
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
    double maximum = -DBL_MAX, minimum = DBL_MAX, sum = 0;
    for (int i = 0; i < values.size(); ++i) {
        const double x = values.at(i);
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
    h.maximum = maximum;
    h.minimum = minimum;
    h.mean = sum / values.size();
    double squares = 0;
    for (double x : values)
        squares += (x - h.mean) * (x - h.mean);
    h.deviation = std::sqrt(squares / values.size());
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
    const auto at = [&](int c, double value) {
        return any ? labels.value(c) + QLatin1Char('/') + data.number(value) : QString();
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
