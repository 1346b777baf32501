#include "Collection3107A.h"

#include "DataFiles.h"
#include "DeviceLink.h"
#include "HexFrame.h"

#include <QDebug>
#include <QSet>

namespace {

const QString kTwoWire = QStringLiteral("二线制");

QStringList registerTable(uint base)
{
    QStringList list;
    for (uint c = 0; c < 16; ++c)
        list << HexFrame::number(base + 2 * c, 4);
    return list;
}

QStringList channelTable()
{
    QStringList list;
    for (int c = 0; c < 16; ++c)
        list << QString::number(101 + c);
    return list;
}

} // namespace

Collection3107A::Collection3107A(QObject* parent)
    : RegisterLogger("3107A", DeviceLink::Framing::HexCrcHighFirst, ProbeFrame(), Timing{100, 5, 0}, parent),
      ChannelNumbers(channelTable()),
      ValueRegisters(registerTable(0x0100)),
      CoefficientRegisters(registerTable(0x0010)),
      RawRegisters(registerTable(0x0200))
{
}

// ---- frames ----

QString Collection3107A::ProbeFrame()
{
    return QStringLiteral("010300010001CAD5");
}

QString Collection3107A::SerialNumberFrame() const
{
    return HexFrame::withCrc(Prefix() + QStringLiteral("0310000005"), true);
}

QString Collection3107A::SyncTimeFrame(const QDateTime& time) const
{
    const QDate d = time.date();
    const QTime t = time.time();
    QString frame = Prefix() + QStringLiteral("101010000306");
    for (int v : {d.year() - 2000, d.month(), d.day(), t.hour(), t.minute(), t.second()})
        frame += HexFrame::number(static_cast<uint>(v) & 0xFF, 2);
    return HexFrame::withCrc(frame, true);
}

QString Collection3107A::SingleWriteFrame(const QString& reg, int code) const
{
    return HexFrame::withCrc(Prefix() + QStringLiteral("06") + reg + HexFrame::number(static_cast<uint>(code), 4),
                             true);
}

QString Collection3107A::CoefficientFrame(int channel, const QList<float>& values) const
{
    QString quantity;
    switch (values.size()) {
    case 2: quantity = QStringLiteral("000408"); break;
    case 4: quantity = QStringLiteral("000810"); break;
    case 6: quantity = QStringLiteral("000C18"); break;
    default: return {};
    }
    if (channel < 0 || channel >= CoefficientRegisters.size())
        return {};
    QString frame = Prefix() + QStringLiteral("10") + CoefficientRegisters.at(channel) + quantity;
    for (float v : values)
        frame += HexFrame::floatToHex(v);
    return HexFrame::withCrc(frame, true);
}

QString Collection3107A::ValueFrame() const
{
    const QString base = TempUnit ? ValueRegisters.first() : RawRegisters.first();
    return HexFrame::withCrc(Prefix() + QStringLiteral("03") + base
                                 + HexFrame::number(static_cast<uint>(2 * ChannelCount), 4),
                             true);
}

QStringList Collection3107A::DecodeValues(const QString& reply) const
{
    QStringList values;
    for (int c = 0; c < ChannelCount && c < ChannelEnabled.size(); ++c) {
        if (!ChannelEnabled.at(c))
            continue;
        const float v = HexFrame::hexToFloat(reply.mid(8 * c + 6, 8));
        values << QString::number(static_cast<double>(v), 'f', 6);
    }
    return values;
}

int Collection3107A::WiringCode(const QString& wire)
{
    if (wire == QStringLiteral("三线制"))
        return 1;
    if (wire == QStringLiteral("四线制"))
        return 2;
    return 0;
}

int Collection3107A::ThermocoupleCode(const QString& function)
{
    static const QStringList codes = {"A", "B", "C", "D", "E", "G", "J", "K", "L", "M",
                                      "N", "P", "R", "S", "T", "U", "BP", "XK", "Au_Pt", "Pt_Pd"};
    return codes.indexOf(function) + 1; // 0 when unknown
}

// ---- protocol ----

bool Collection3107A::GetSerialNumber(QString& text)
{
    QString reply;
    if (!Exchange(SerialNumberFrame(), 30, 1, &reply))
        return false;
    text = QString::fromLatin1(QByteArray::fromHex(reply.mid(6, 20).toLatin1()));
    return true;
}

bool Collection3107A::SyncTime(QDateTime time)
{
    if (Prefix().isEmpty())
        return false;
    return Exchange(SyncTimeFrame(time), -1, 3);
}

bool Collection3107A::SetTrigger(double, int)
{
    return true;
}

bool Collection3107A::StartRead()
{
    return true;
}

bool Collection3107A::ReadData(QStringList& values)
{
    values.clear();
    if (Prefix().isEmpty() || ChannelCount == 0)
        return false;
    QString reply;
    if (!Exchange(ValueFrame(), 8 * ChannelCount + 10, 4, &reply))
        return false;
    values = DecodeValues(reply);
    return true;
}

bool Collection3107A::WaitData(QStringList& values)
{
    return ReadData(values);
}

bool Collection3107A::WriteRate(const QString& rate)
{
    if (Prefix().isEmpty() || ChannelCount == 0)
        return false;
    return Exchange(SingleWriteFrame(QStringLiteral("000E"), RateCode(rate)), 16, 4);
}

bool Collection3107A::WriteWiring(const QString& wire)
{
    if (Prefix().isEmpty() || ChannelCount == 0)
        return false;
    return Exchange(SingleWriteFrame(QStringLiteral("000C"), WiringCode(wire)), 16, 4);
}

bool Collection3107A::WriteThermocoupleType(const QString& function)
{
    if (Prefix().isEmpty() || ChannelCount == 0)
        return false;
    return Exchange(SingleWriteFrame(QStringLiteral("000D"), ThermocoupleCode(function)), 16,
                    4);
}

bool Collection3107A::WriteCoefficients(int channel, const QList<float>& values)
{
    if (Prefix().isEmpty() || (values.size() != 6 && ChannelCount == 0))
        return false;
    const QString frame = CoefficientFrame(channel, values);
    if (frame.isEmpty())
        return false;
    return Exchange(frame, -1, 3);
}

float Collection3107A::ToFloat(const QString& text)
{
    return text.toFloat(); // 0 when unparsable
}

int Collection3107A::ChannelIndex(const Device::Channel& channel)
{
    return channel.ChannelNumber.toInt() - 101;
}

bool Collection3107A::MarkChannels(const QList<Device::Channel>& channels)
{
    for (const Device::Channel& ch : channels) {
        const int c = ChannelIndex(ch);
        if (c < 0 || c >= ChannelCount)
            return false;
        ChannelEnabled[c] = true;
    }
    return true;
}

bool Collection3107A::SetChannels(QString rate, QList<Device::Channel> channels)
{
    if (channels.isEmpty())
        return false;
    TempUnit = channels.first().Unit == QStringLiteral("℃");
    ChannelCount = channels.first().Wire == kTwoWire ? 16 : 8;
    ChannelEnabled.clear();
    for (int i = 0; i < ChannelCount; ++i)
        ChannelEnabled << false;
    if (!SendChannelSet(rate, channels))
        return false;
    Delay(2000);
    return true;
}

// ---- vocabulary shared by the variants ----

QStringList Collection3107A::CompensationList()
{
    return {QStringLiteral("内部补偿")};
}

QList<bool> Collection3107A::CoefficientMask(QString function)
{
    if (function == QStringLiteral("R(T)"))
        return mask({0, 1, 2, 3});
    if (function == QStringLiteral("PT385"))
        return mask({4});
    if (function == QStringLiteral("ITS90"))
        return mask({0, 1, 2, 4, 5, 6});
    return mask({});
}

QStringList Collection3107A::ChannelNumberList(int count, QString)
{
    if (count <= 0 || count > ChannelNumbers.size())
        return ChannelNumbers;
    return ChannelNumbers.mid(0, count);
}

int Collection3107A::MaxChannelCount(QString)
{
    return 16;
}

bool Collection3107A::CheckChannels(QList<Device::Channel> channels, QString& message)
{
    message.clear();
    if (channels.isEmpty()) {
        message = tr("通道未设置！");
        return false;
    }
    if (channels.first().Wire != kTwoWire) {
        for (const Device::Channel& ch : channels) {
            if (ch.ChannelNumber.toInt() >= 109) {
                message = tr("四线制下通道编号超限！");
                return false;
            }
        }
    }
    QSet<QString> units;
    for (const Device::Channel& ch : channels)
        units.insert(ch.Unit);
    if (units.size() > 1) {
        message = tr("单位不许超过1个！");
        return false;
    }
    return true;
}

double Collection3107A::MinInterval(QString rate, QList<Device::Channel> channels)
{
    double perChannel = 0.15;
    if (rate == QStringLiteral("快速"))
        perChannel = 0.01;
    else if (rate == QStringLiteral("中速"))
        perChannel = 0.075;
    const bool sixteen = channels.isEmpty() || channels.first().Wire == kTwoWire;
    return perChannel * (sixteen ? 16 : 8);
}

// ---- data files ----

bool Collection3107A::OpenDataFile(QString name, QStringList channels)
{
    return DataFiles::openLoggerFile(DataFile, ColumnUsed, name, channels);
}

bool Collection3107A::ReadDataFile(QDateTime time, QStringList& values)
{
    return DataFiles::readLoggerRecord(DataFile, ColumnUsed, time, values);
}

// ---- variants ----

QStringList Collection3107A_TC::UnitList(QString) { return {QStringLiteral("℃"), QStringLiteral("mV")}; }
QStringList Collection3107A_TC::WiringList(QString) { return {kTwoWire}; }
QStringList Collection3107A_TC::TypeList(int) { return {QStringLiteral("热电偶")}; }
QStringList Collection3107A_TC::FunctionList(QString)
{
    return {"A", "B", "C", "D", "E", "G", "J", "K", "L", "M",
            "N", "P", "R", "S", "T", "U", "BP", "XK", "Au_Pt", "Pt_Pd"};
}

bool Collection3107A_TC::SendChannelSet(const QString& rate, const QList<Device::Channel>& channels)
{
    for (const Device::Channel& ch : channels) {
        const int c = ChannelIndex(ch);
        if (c < 0 || c >= ChannelCount)
            return false;
        ChannelEnabled[c] = true;
        if (!WriteCoefficients(c, {ch.MX_B_M, ch.MX_B_B}))
            return false;
    }
    return WriteRate(rate) && WriteThermocoupleType(channels.first().Function);
}

QStringList Collection3107A_RTD::UnitList(QString) { return {QStringLiteral("℃"), QStringLiteral("Ω")}; }
QStringList Collection3107A_RTD::WiringList(QString)
{
    return {kTwoWire, QStringLiteral("三线制"), QStringLiteral("四线制")};
}
QStringList Collection3107A_RTD::TypeList(int) { return {QStringLiteral("铂电阻")}; }
QStringList Collection3107A_RTD::FunctionList(QString) { return {QStringLiteral("PT385"), QStringLiteral("ITS90")}; }

bool Collection3107A_RTD::SendChannelSet(const QString& rate, const QList<Device::Channel>& channels)
{
    if (!MarkChannels(channels) || !WriteRate(rate) || !WriteWiring(channels.first().Wire))
        return false;
    for (const Device::Channel& ch : channels) {
        QList<float> values;
        if (ch.Function == QStringLiteral("ITS90"))
            values = {ToFloat(ch.R0_C4), ToFloat(ch.A_C0), ToFloat(ch.B_C1),
                      ToFloat(ch.C_C2), ToFloat(ch.A4_C5), ToFloat(ch.B4_C6)};
        else
            values = {ToFloat(ch.R0_C4), 0.0f, 0.0f, 0.0f, 0.0f, 0.0f};
        if (!WriteCoefficients(ChannelIndex(ch), values))
            return false;
    }
    return true;
}

QStringList Collection3107A_NTC::UnitList(QString) { return {QStringLiteral("℃"), QStringLiteral("Ω")}; }
QStringList Collection3107A_NTC::WiringList(QString) { return {kTwoWire, QStringLiteral("四线制")}; }
QStringList Collection3107A_NTC::TypeList(int) { return {QStringLiteral("热敏电阻")}; }
QStringList Collection3107A_NTC::FunctionList(QString) { return {QStringLiteral("R(T)")}; }

bool Collection3107A_NTC::SendChannelSet(const QString& rate, const QList<Device::Channel>& channels)
{
    if (!MarkChannels(channels) || !WriteRate(rate) || !WriteWiring(channels.first().Wire))
        return false;
    for (const Device::Channel& ch : channels) {
        if (!WriteCoefficients(ChannelIndex(ch),
                               {ToFloat(ch.A_C0), ToFloat(ch.B_C1), ToFloat(ch.C_C2), ToFloat(ch.D_C3)}))
            return false;
    }
    return true;
}

QStringList Collection3107A_PCR::UnitList(QString) { return {QStringLiteral("℃"), QStringLiteral("Ω")}; }
QStringList Collection3107A_PCR::WiringList(QString) { return {kTwoWire}; }
QStringList Collection3107A_PCR::TypeList(int) { return {QStringLiteral("热敏电阻")}; }
QStringList Collection3107A_PCR::FunctionList(QString) { return {QStringLiteral("R(T)")}; }

bool Collection3107A_PCR::SendChannelSet(const QString& rate, const QList<Device::Channel>& channels)
{
    if (!MarkChannels(channels) || !WriteRate(rate))
        return false;
    for (const Device::Channel& ch : channels) {
        if (!WriteCoefficients(ChannelIndex(ch),
                               {ToFloat(ch.A_C0), ToFloat(ch.B_C1), ToFloat(ch.C_C2), ToFloat(ch.D_C3)}))
            return false;
    }
    return true;
}
