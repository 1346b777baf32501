#include "Collection3108A.h"

#include "ChannelRules.h"
#include "DeviceLink.h"
#include "HexFrame.h"

namespace {
const QString kTwoWire = QStringLiteral("二线制");
const QString kThreeWire = QStringLiteral("三线制");
const QString kFourWire = QStringLiteral("四线制");

QStringList allUnits()
{
    return {"℃", "mV", "V", "Ω", "kΩ", "MΩ", "μA", "mA", "A", "%RH", "bar", "Pa", "KPa", "MPa"};
}
} // namespace

Collection3108A::Collection3108A(QObject* parent)
    : Collection(parent), m_Link(new DeviceLink(OpenFlag, DeviceLink::Framing::HexCrcLowFirst, 3000, this))
{
}

Collection3108A::~Collection3108A()
{
    // The link refers to this driver's open flag: it goes before the flag does.
    delete m_Link;
    m_Link = nullptr;
}

bool Collection3108A::PortList(QStringList& names)
{
    names = SerialPortNames();
    return true;
}

bool Collection3108A::Open(QString mode, QString address, QString port)
{
    if (OpenFlag)
        return false;
    emit m_Link->Open_signals(mode, address, port.toInt());
    for (int i = 0; i < 40 && !OpenFlag; ++i)
        Delay(100);

    QString reply;
    if (!Write(HexFrame::withCrc(QStringLiteral("010300010001"), false)) || !Read(reply)) {
        emit m_Link->Close_signals();
        OpenFlag = false;
        return false;
    }
    if (reply.size() == 12)
        m_Link->setAddressPrefix(reply.mid(6, 2));
    return OpenFlag;
}

bool Collection3108A::Close()
{
    return m_Link->closeLink();
}

bool Collection3108A::IsOpen()
{
    return OpenFlag;
}

bool Collection3108A::Read(QString& reply)
{
    if (m_Link->waitReply(reply, 50, 10))
        return true;
    m_Link->clearRxBuffer();
    return false;
}

bool Collection3108A::Write(QString command)
{
    if (!OpenFlag)
        return false;
    emit m_Link->Write_signals(command);
    Delay(100);
    return true;
}

bool Collection3108A::GetSerialNumber(QString&)
{
    return false;
}

QStringList Collection3108A::CompensationList()
{
    return {QStringLiteral("内部补偿"), QStringLiteral("固定冷端")};
}

QStringList Collection3108A::UnitList(QString type)
{
    if (type == QStringLiteral("热电偶"))
        return {"℃", "mV", "V"};
    if (type == QStringLiteral("热敏电阻") || type == QStringLiteral("铂电阻"))
        return {"℃", "Ω", "kΩ", "MΩ"};
    if (type == QStringLiteral("直流电压"))
        return {"mV", "V", "℃", "%RH", "bar", "Pa", "KPa", "MPa"};
    if (type == QStringLiteral("直流电流"))
        return {"μA", "mA", "A", "℃", "%RH", "bar", "Pa", "KPa", "MPa"};
    if (type == QStringLiteral("电阻"))
        return {"Ω", "kΩ", "MΩ"};
    return allUnits();
}

QList<bool> Collection3108A::CoefficientMask(QString function)
{
    static const QStringList r0Only = {"Ni100-618", "Ni120-672", "PT100-385", "PT100-3926",
                                       "PT100-3916", "Pt200-385", "Pt500-385", "Pt1000-385",
                                       "Cu10-427", "Cu50-428", "Cu100-428"};
    if (r0Only.contains(function))
        return mask({4});
    if (function == QStringLiteral("ITS90"))
        return mask({0, 1, 2, 4, 5, 6});
    if (function == QStringLiteral("R(T)"))
        return mask({0, 1, 2, 3});
    return mask({});
}

QStringList Collection3108A::WiringList(QString type)
{
    if (type == QStringLiteral("热敏电阻"))
        return {kTwoWire, kFourWire};
    if (type == QStringLiteral("铂电阻") || type == QStringLiteral("电阻"))
        return {kTwoWire, kThreeWire, kFourWire};
    return {kTwoWire};
}

QStringList Collection3108A::TypeList(int channel)
{
    if (channel == 125 || channel == 126)
        return {QStringLiteral("直流电流")};
    return {"铂电阻", "热敏电阻", "热电偶", "直流电压", "电阻", "频率"};
}

QStringList Collection3108A::FunctionList(QString type)
{
    if (type == QStringLiteral("热电偶"))
        return {"A", "B", "C", "D", "E", "G", "J", "K", "M", "N", "P", "R", "S", "T", "Au-Pt", "Pt-Pd"};
    if (type == QStringLiteral("铂电阻"))
        return {"ITS90", "Ni100-618", "Ni120-672", "PT100-385", "PT100-3926", "PT100-3916",
                "Pt200-385", "Pt500-385", "Pt1000-385", "Cu10-427", "Cu50-428", "Cu100-428"};
    if (type == QStringLiteral("热敏电阻"))
        return {"2.252kΩ", "5kΩ", "10kΩ", "R(T)"};
    if (type == QStringLiteral("直流电压"))
        return {"自动", "100mV", "1V", "10V", "100V"};
    if (type == QStringLiteral("直流电流"))
        return {"自动", "1μA", "10μA", "100μA", "1mA", "10mA", "100mA-24V", "100mA", "1A"};
    if (type == QStringLiteral("电阻"))
        return {"自动", "100Ω", "1kΩ", "10kΩ", "100kΩ", "1MΩ"};
    return {QStringLiteral("自动")};
}

QStringList Collection3108A::ChannelNumberList(int count, QString)
{
    QStringList all;
    for (int n = 101; n <= 126; ++n)
        all << QString::number(n);
    if (count <= 0 || count > all.size())
        return all;
    return all.mid(0, count);
}

int Collection3108A::MaxChannelCount(QString)
{
    return 26;
}

bool Collection3108A::CheckChannels(QList<Device::Channel> channels, QString& message)
{
    ChannelRules::Options options{tr("功能错误！"), 12, false, 112, 124, false};
    return ChannelRules::check(*this, channels, options, message);
}

double Collection3108A::MinInterval(QString rate, QList<Device::Channel> channels)
{
    double perChannel = 0.01;
    if (rate == QStringLiteral("中速"))
        perChannel = 0.1;
    else if (rate == QStringLiteral("慢速"))
        perChannel = 1.0;
    return perChannel * channels.size();
}
