#include "AcquisitionRules.h"

namespace AcquisitionRules {

QString onlineMode() { return QStringLiteral("在线"); }
QString importMode() { return QStringLiteral("导入"); }
QString offlineMode() { return QStringLiteral("脱机"); }

DeviceCheck checkDevices(int count, const QString& t1, const QString& t2, const QString& t3)
{
    DeviceCheck result = DevicesOk;
    if (count >= 1 && t1.isEmpty())
        result = DeviceMissing;
    if (count >= 2) {
        if (t2.isEmpty())
            result = DeviceMissing;
        if (t1 == t2)
            result = DevicesEqual;
    }
    if (count >= 3) {
        if (t3.isEmpty())
            result = DeviceMissing;
        if (t1 == t3 || t2 == t3)
            result = DevicesEqual;
    }
    return result;
}

QString deviceText(const Tool::Struct_AcquisitionDevice& device)
{
    return QString::number(device.Number) + QLatin1Char('_') + device.Mode;
}

bool supportsMemoryLogging(const QString& model)
{
    // Only the 1586A driver implements the memory operations.
    return model.trimmed() == QLatin1String("1586A");
}

bool offlineAvailable(const QList<Tool::Struct_AcquisitionDevice>& devices)
{
    if (devices.isEmpty())
        return false;
    for (const auto& d : devices)
        if (!supportsMemoryLogging(d.Mode))
            return false;
    return true;
}

QStringList modeList(const QList<Tool::Struct_AcquisitionDevice>& chosen)
{
    QStringList modes{onlineMode(), importMode()};
    if (offlineAvailable(chosen))
        modes << offlineMode();
    return modes;
}

QList<ChosenChannel> chosenChannels(const QList<Tool::Struct_ChannelConfig>& configs,
                                    const QList<int>& projectIndex)
{
    QList<ChosenChannel> out;
    for (int i = 0; i < configs.size(); ++i) {
        const auto& c = configs.at(i);
        const QString prefix = QString::number(i + 1) + QLatin1Char('-');
        for (int j = 0; j < c.Number; ++j) {
            ChosenChannel e;
            e.DeviceIndex = i;
            e.ProjectIndex = projectIndex.value(out.size(), 0);
            e.ID = prefix + c.ChannelNumber.value(j);
            e.Label = prefix + c.Tag.value(j);
            e.Unit = c.Unit.value(j);
            e.LowState = c.LowState.value(j, false);
            e.Low = c.Low.value(j);
            e.HightState = c.HightState.value(j, false);
            e.Hight = c.Hight.value(j);
            out << e;
        }
    }
    return out;
}

ChoiceCheck checkChoice(const QList<ChosenChannel>& channels, int projectCount)
{
    for (int p = 0; p < projectCount; ++p) {
        QStringList units;
        bool any = false;
        for (const auto& e : channels) {
            if (e.ProjectIndex != p)
                continue;
            any = true;
            if (!units.contains(e.Unit))
                units << e.Unit;
        }
        if (!any)
            return {ProjectWithoutChannel, p};
        if (units.size() > 2)
            return {TooManyUnits, p};
    }
    return {};
}

} // namespace AcquisitionRules
