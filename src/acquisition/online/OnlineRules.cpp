#include "OnlineRules.h"

#include <QtGlobal>

namespace OnlineRules {

namespace {
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
}

int intervalMs(double scanIntervalSeconds)
{
    const double ms = scanIntervalSeconds * 1000.0;
    if (!(ms >= 1.0))
        return 1; // also catches NaN
    if (ms >= double(Unlimited))
        return Unlimited;
    return static_cast<int>(ms);
}

int scanCount(const QDateTime& actualStart, const QDateTime& plannedEnd, int interval)
{
    if (interval < 1)
        interval = 1;
    const qint64 s = actualStart.secsTo(plannedEnd);
    if (s <= 0 || !actualStart.isValid() || !plannedEnd.isValid())
        return Unlimited;
    const qint64 total = s * 1000;
    qint64 count = total / interval + 1;
    if (total % interval != 0)
        ++count;
    return count >= Unlimited ? Unlimited : static_cast<int>(count);
}

QList<Tool::Struct_Parameters> composeProjects(const SystemContext& context, const QDateTime& now)
{
    Tool::Struct_Parameters common;
    common.Time = now.toString(kTimeFormat);
    common.Start = context.StartTime;
    common.End = context.EndTime;
    for (const Tool::Struct_AcquisitionDevice& d : context.AcquisitionDevice) {
        common.DeviceNumber << QString::number(d.Number);
        common.DeviceMode << d.Mode;
        common.SerialNumber << d.SerialNumber;
        common.SignalMode << d.SignalMode;
        common.IP_COM << d.IP_COM;
        common.Port_BaudRate << d.Port_BaudRate;
        common.ChannelConfig << d.ChannelConfig;
    }
    if (!context.AcquisitionDevice.isEmpty()) {
        const Tool::Struct_AcquisitionDevice& first = context.AcquisitionDevice.first();
        common.ScanInterval = QString::number(first.ScanInterval, 'g', 6);
        common.ScanRate = first.ScanRate;
    }

    QList<Tool::Struct_Parameters> projects;
    for (int p = 0; p < context.ProjectName.size(); ++p) {
        Tool::Struct_Parameters record = common;
        record.Name = context.ProjectName.at(p);
        for (const ChosenChannel& c : context.ChannelList) {
            if (c.ProjectIndex == p) {
                record.Channel << c.ID;
                record.Unit << c.Unit;
            }
        }
        projects << record;
    }
    return projects;
}

QList<ChosenChannel> projectChannels(const QList<ChosenChannel>& chosen, int project)
{
    QList<ChosenChannel> out;
    for (const ChosenChannel& c : chosen)
        if (c.ProjectIndex == project)
            out << c;
    return out;
}

QList<ProjectScan> splitScan(const QStringList& values, const QList<ChosenChannel>& chosen,
                             int projectCount)
{
    QList<ProjectScan> out;
    if (values.size() != chosen.size() || projectCount <= 0)
        return out;
    for (int p = 0; p < projectCount; ++p)
        out << ProjectScan();
    for (int k = 0; k < values.size(); ++k) {
        const int p = chosen.at(k).ProjectIndex;
        if (p < 0 || p >= projectCount)
            continue; // a channel of no running project
        out[p].texts << values.at(k);
        out[p].values << values.at(k).toDouble();
    }
    return out;
}

} // namespace OnlineRules
