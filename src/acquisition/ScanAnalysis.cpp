#include "ScanAnalysis.h"

#include <cmath>

namespace ScanAnalysis {

namespace {
bool isTemperature(const QString& unit)
{
    return unit == QStringLiteral("℃") || unit == QStringLiteral("℉");
}
} // namespace

UnitGroups UnitGroups::fromUnits(const QStringList& units)
{
    UnitGroups g;
    QStringList distinct;
    for (const QString& u : units)
        if (!distinct.contains(u))
            distinct << u;
    if (!distinct.isEmpty())
        g.first = distinct.at(0);
    if (distinct.size() >= 2) {
        g.second = distinct.at(1);
        if (!isTemperature(g.first) && isTemperature(g.second))
            std::swap(g.first, g.second);
    }
    g.inFirst.reserve(units.size());
    for (const QString& u : units)
        g.inFirst << (u == g.first);
    return g;
}

void Extremes::add(double v, int pos)
{
    ++count;
    sum += v;
    if (v > max) {
        max = v;
        maxPos = pos;
    }
    if (v < min) {
        min = v;
        minPos = pos;
    }
}

void extremes(const QVector<double>& values, const QVector<bool>& inFirst, Extremes& first,
              Extremes& second)
{
    first = Extremes();
    second = Extremes();
    const int n = values.size();
    for (int i = 0; i < n; ++i)
        (inFirst.value(i, false) ? first : second).add(values.at(i), i);
}

void colourExtremes(const Extremes& first, const Extremes& second, bool hasSecondGroup,
                    std::uint8_t* colours)
{
    auto paint = [colours](const Extremes& e) {
        if (e.maxPos >= 0)
            colours[e.maxPos] = Maximum;
        if (e.minPos >= 0)
            colours[e.minPos] = Minimum;
    };
    paint(first);
    if (hasSecondGroup)
        paint(second);
}

AlarmLimits AlarmLimits::fromChannel(const ChosenChannel& channel)
{
    AlarmLimits l;
    // A limit that is no number is no limit: taking it as 0 would raise
    // alarms at a threshold nobody set.
    bool lowOk = false, highOk = false;
    l.low = channel.Low.trimmed().toDouble(&lowOk);
    l.high = channel.Hight.trimmed().toDouble(&highOk);
    l.lowState = channel.LowState && lowOk && std::isfinite(l.low);
    l.highState = channel.HightState && highOk && std::isfinite(l.high);
    return l;
}

AlarmResult checkAlarm(const AlarmLimits& limits, double value)
{
    AlarmResult r;
    if (limits.lowState && limits.low > value) {
        r.type = QStringLiteral("下限报警");
        r.detail = QStringLiteral("低于下限:") + QString::number(value, 'f', 2);
        r.colour = LowAlarm;
    }
    if (limits.highState && value > limits.high) {
        r.type = QStringLiteral("上限报警");
        r.detail = QStringLiteral("高于上限:") + QString::number(value, 'f', 2);
        r.colour = HighAlarm;
    }
    return r;
}

QString alarmMessage(const Tool::Struct_AcquisitionDevice& device, const QString& label,
                     const QString& detail)
{
    return QStringLiteral("设备") + QString::number(device.Number) + QLatin1Char('-') +
           device.SerialNumber + QStringLiteral(" 通道") + label + detail;
}

void statistics(const QVector<double>& values, const QVector<bool>& inFirst, int groupCount,
                GroupStatistics* out)
{
    Extremes e[2];
    extremes(values, inFirst, e[0], e[1]);
    for (int g = 0; g < groupCount; ++g) {
        GroupStatistics& s = out[g];
        s = GroupStatistics();
        if (e[g].count == 0)
            continue;
        s.max = e[g].max;
        s.min = e[g].min;
        s.maxPos = e[g].maxPos;
        s.minPos = e[g].minPos;
        s.average = e[g].sum / e[g].count;
        double squares = 0.0;
        const bool wantFirst = (g == 0);
        for (int i = 0; i < values.size(); ++i) {
            if (inFirst.value(i, false) != wantFirst)
                continue;
            const double d = values.at(i) - s.average;
            squares += d * d;
        }
        s.deviation = std::sqrt(squares / e[g].count);
    }
}

} // namespace ScanAnalysis
