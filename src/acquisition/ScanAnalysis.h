#pragma once

#include "SystemContext.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <cstdint>

// Per-scan arithmetic of the live views, free of widgets: axis groups,
// row extremes, limit alarms and the per-unit statistics.
namespace ScanAnalysis {

// The units of a project split into at most two groups. A temperature unit
// leads whenever exactly one of two units is one.
struct UnitGroups
{
    QString first;           // left axis / first statistics group
    QString second;          // right axis / second group; "" with one unit
    QVector<bool> inFirst;   // per channel: unit == first

    static UnitGroups fromUnits(const QStringList& units);
    int groupCount() const { return second.isEmpty() ? 1 : 2; }
};

// Text colour of a live-table cell; the code is what the table keeps per cell.
enum CellColour : std::uint8_t { NoColour = 0, LowAlarm, HighAlarm, Maximum, Minimum };

// Largest and smallest value of one group in one scan; positions are channel
// positions, -1 when the group had no value. Only a strictly greater (smaller)
// value replaces the kept one, so ties name the earlier channel.
struct Extremes
{
    double max = -1.7976931348623157e308;
    double min = 1.7976931348623157e308;
    int maxPos = -1;
    int minPos = -1;
    int count = 0;
    double sum = 0.0;

    void add(double v, int pos);
};

// Extremes of both groups of one scan.
void extremes(const QVector<double>& values, const QVector<bool>& inFirst, Extremes& first,
              Extremes& second);

// Paints the extreme colours over the alarm colours already in `colours`:
// first-group maximum red then minimum green; the second group likewise when
// there is one. A group whose values are all equal ends with its first channel green.
void colourExtremes(const Extremes& first, const Extremes& second, bool hasSecondGroup,
                    std::uint8_t* colours);

// Alarm limits of one channel, parsed once. A limit text that is not a
// number counts as 0.
struct AlarmLimits
{
    bool lowState = false;
    double low = 0.0;
    bool highState = false;
    double high = 0.0;

    static AlarmLimits fromChannel(const ChosenChannel& channel);
};

struct AlarmResult
{
    QString type;   // "" (no alarm), "下限报警" or "上限报警"
    QString detail; // "低于下限:" / "高于上限:" + value with 2 decimals
    CellColour colour = NoColour;
    bool raised() const { return colour != NoColour; }
};

// The high check runs after the low one and replaces it.
AlarmResult checkAlarm(const AlarmLimits& limits, double value);

// Warning-log text: "设备" + number + "-" + serial + " 通道" + label + detail.
QString alarmMessage(const Tool::Struct_AcquisitionDevice& device, const QString& label,
                     const QString& detail);

// Summary of one group of one scan.
struct GroupStatistics
{
    double max = 0.0;
    double min = 0.0;
    double average = 0.0;
    double deviation = 0.0; // population standard deviation
    int maxPos = -1;
    int minPos = -1;
};

// One GroupStatistics per group (groupCount of them) for one scan.
void statistics(const QVector<double>& values, const QVector<bool>& inFirst, int groupCount,
                GroupStatistics* out);

} // namespace ScanAnalysis
