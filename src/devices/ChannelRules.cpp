#include "ChannelRules.h"

#include "Collection.h"

#include <QCoreApplication>
#include <QSet>

namespace ChannelRules {

bool check(Collection& driver, const QList<Device::Channel>& channels, const Options& options,
           QString& message)
{
    message.clear();
    if (channels.isEmpty()) {
        message = QCoreApplication::translate("ChannelRules", "通道未设置！");
        return false;
    }
    const QString prefix = QCoreApplication::translate("ChannelRules", "通道");
    for (const Device::Channel& ch : channels) {
        if (!driver.TypeList(ch.ChannelNumber.toInt()).contains(ch.Type)) {
            message = prefix + ch.ChannelNumber + QCoreApplication::translate("ChannelRules", "类型错误！");
            return false;
        }
        // A type without functions or wirings (e.g. frequency) puts no
        // restriction on them; otherwise such a type could never pass.
        const QStringList functions = driver.FunctionList(ch.Type);
        if (!functions.isEmpty() && !functions.contains(ch.Function)) {
            message = prefix + ch.ChannelNumber + options.functionEnding;
            return false;
        }
        const QStringList wirings = driver.WiringList(ch.Type);
        if (!wirings.isEmpty() && !wirings.contains(ch.Wire)) {
            message = prefix + ch.ChannelNumber + QCoreApplication::translate("ChannelRules", "接线线制错误！");
            return false;
        }
        if (!driver.UnitList(ch.Type).contains(ch.Unit)) {
            message = prefix + ch.ChannelNumber + QCoreApplication::translate("ChannelRules", "单位错误！");
            return false;
        }
    }
    QSet<QString> numbers;
    for (const Device::Channel& ch : channels)
        numbers.insert(QString::number(ch.ChannelNumber.toInt()));
    for (const Device::Channel& ch : channels) {
        if (ch.Wire.isEmpty() || ch.Wire == QStringLiteral("二线制"))
            continue;
        const int number = ch.ChannelNumber.toInt();
        const int key = options.byPosition ? number % 100 : number;
        if (key <= options.lastPartnered) {
            const QString partner = QString::number(number + options.partnerOffset);
            if (numbers.contains(partner)) {
                message = prefix + partner + QCoreApplication::translate("ChannelRules", "已被占用！");
                return false;
            }
        } else if (key <= options.lastRefused) {
            message = prefix + ch.ChannelNumber + QCoreApplication::translate("ChannelRules", "不能被设置为") + ch.Wire + QStringLiteral("!");
            return false;
        }
    }
    QSet<QString> units;
    for (const Device::Channel& ch : channels)
        units.insert(ch.Unit);
    if (units.size() > 2) {
        message = QCoreApplication::translate("ChannelRules", "单位不许超过2个！");
        return false;
    }
    if (options.oneTemperatureUnit && units.contains(QStringLiteral("℃")) && units.contains(QStringLiteral("℉"))) {
        message = QCoreApplication::translate("ChannelRules", "不能同时设置两个温度单位！");
        return false;
    }
    return true;
}

} // namespace ChannelRules
