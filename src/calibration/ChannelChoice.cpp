#include "ChannelChoice.h"

#include <algorithm>

namespace ChannelChoice {

namespace {
const QString kPlatinum = QStringLiteral("铂电阻");
const QString kThermistor = QStringLiteral("热敏电阻");
const QString kThermocouple = QStringLiteral("热电偶");

// A batch limit below 1 would divide by zero; such a limit means one
// channel per batch.
int atLeastOne(int maximum)
{
    return std::max(1, maximum);
}
} // namespace

QStringList kindsOffered(const QStringList& channelTypes)
{
    QStringList kinds;
    for (const QString& kind : {kPlatinum, kThermistor, kThermocouple}) {
        if (channelTypes.contains(kind))
            kinds << kind;
    }
    if (kinds.isEmpty())
        kinds << QStringLiteral("空");
    return kinds;
}

bool selectable(const QString& kind, const QString& type, const QString& function)
{
    if (type != kind)
        return false;
    if (kind == kThermistor)
        return function == QLatin1String("R(T)");
    if (kind == kPlatinum)
        return function == QLatin1String("ITS90") || function == QLatin1String("CVD");
    return true;
}

QList<QStringList> selectedByDevice(const QList<int>& rowCounts, const QList<bool>& checked,
                                    const QStringList& numbers)
{
    QList<QStringList> result;
    int row = 0;
    for (int count : rowCounts) {
        QStringList picked;
        for (int i = 0; i < count; ++i, ++row) {
            if (checked.value(row))
                picked << numbers.value(row);
        }
        result << picked;
    }
    return result;
}

int batchOf(int index, int maximum)
{
    return index / atLeastOne(maximum) + 1;
}

int batchCount(int rows, int maximum)
{
    return rows <= 0 ? 1 : (rows - 1) / atLeastOne(maximum) + 1;
}

} // namespace ChannelChoice
