#pragma once

#include "Records.h"
#include "SystemContext.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The arithmetic of an online acquisition that needs neither a device nor a
// widget: timing, the project records and the split of a scan by project.
namespace OnlineRules {

// Scan interval of the acquisition in whole milliseconds (the first device's
// interval in seconds, truncated). Never below 1 ms, so the scan count and
// the period arithmetic never divide by zero.
int intervalMs(double scanIntervalSeconds);

// Number of scans from the actual start to the planned end. With s the
// whole seconds between them and s > 0: s * 1000 / interval + 1, plus one
// more when the division leaves a remainder; otherwise "until stopped"
// (Unlimited). Counts beyond Unlimited are clamped to it.
inline constexpr int Unlimited = 2147483647;
int scanCount(const QDateTime& actualStart, const QDateTime& plannedEnd, int intervalMs);

// One project record per project name, composed from the context at the
// moment the acquisition starts (`now` becomes the record's Time).
QList<Tool::Struct_Parameters> composeProjects(const SystemContext& context, const QDateTime& now);

// The chosen channels of project `project`, in chosen order.
QList<ChosenChannel> projectChannels(const QList<ChosenChannel>& chosen, int project);

// One scan split by project: value k belongs to the project of chosen channel
// k. Texts keep the drivers' text; doubles are their conversions.
struct ProjectScan
{
    QStringList texts;
    QList<double> values;
};
// Empty when the value count differs from the chosen-channel count; otherwise
// exactly projectCount entries (a project without channels gets an empty one).
QList<ProjectScan> splitScan(const QStringList& values, const QList<ChosenChannel>& chosen,
                             int projectCount);

} // namespace OnlineRules
