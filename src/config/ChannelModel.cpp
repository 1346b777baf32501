#include "ChannelModel.h"

#include "Collection1586A.h"
#include "Collection3107A.h"
#include "Collection3108A.h"

namespace ChannelModel {

Collection* createCollection(const QString& model, QObject* parent)
{
    if (model == QStringLiteral("3107A-NTC"))
        return new Collection3107A_NTC(parent);
    if (model == QStringLiteral("3107A-RTD"))
        return new Collection3107A_RTD(parent);
    if (model == QStringLiteral("3107A-TC"))
        return new Collection3107A_TC(parent);
    if (model == QStringLiteral("3107A-PCR"))
        return new Collection3107A_PCR(parent);
    if (model == QStringLiteral("3108A"))
        return new Collection3108A(parent);
    if (model == QStringLiteral("1586A") || model == QStringLiteral("Fluke 1586A"))
        return new Collection1586A(parent);
    // A 3107A protocol spoken to an instrument of another model would only
    // fail later, in less obvious ways.
    return nullptr;
}

Collection* createDataFileReader(const QString& model, QObject* parent)
{
    const QString m = model.trimmed();
    if (m == QStringLiteral("1586A") || m == QStringLiteral("Fluke 1586A"))
        return new Collection1586A(parent);
    if (m == QStringLiteral("3107A-TC"))
        return new Collection3107A_TC(parent);
    if (m == QStringLiteral("3108A"))
        return new Collection3108A(parent);
    return nullptr;
}

QList<Device::Channel> toChannels(const Tool::Struct_ChannelConfig& config)
{
    QList<Device::Channel> channels;
    for (int i = 0; i < config.Number; ++i) {
        Device::Channel ch;
        ch.ChannelNumber = config.ChannelNumber.value(i);
        ch.Type = config.Type.value(i);
        ch.Function = config.Function.value(i);
        ch.Wire = config.Wire.value(i);
        ch.Unit = config.Unit.value(i);
        ch.CompensationWay = config.CompensationWay;
        ch.ColdJunctionTemp = config.ColdJunctionTemp;
        ch.A_C0 = config.A_C0.value(i);
        ch.B_C1 = config.B_C1.value(i);
        ch.C_C2 = config.C_C2.value(i);
        ch.D_C3 = config.D_C3.value(i);
        ch.R0_C4 = config.R0_C4.value(i);
        ch.A4_C5 = config.A4_C5.value(i);
        ch.B4_C6 = config.B4_C6.value(i);
        ch.MX_B_M = config.MX_B_M.value(i, QStringLiteral("1")).toFloat();
        ch.MX_B_B = config.MX_B_B.value(i, QStringLiteral("0")).toFloat();
        channels << ch;
    }
    return channels;
}

} // namespace ChannelModel
