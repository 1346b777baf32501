#include "Collection1586A.h"

#include "ChannelRules.h"
#include "DeviceLink.h"

namespace {
const QString kTwoWire = QStringLiteral("二线制");
const QString kThreeWire = QStringLiteral("三线制");
const QString kFourWire = QStringLiteral("四线制");
} // namespace

Collection1586A::Collection1586A(QObject* parent)
    : Collection(parent), m_Link(new DeviceLink(OpenFlag, DeviceLink::Framing::Lines, 30000, this))
{
}

Collection1586A::~Collection1586A()
{
    // The link refers to this driver's open flag: it goes before the flag does.
    delete m_Link;
    m_Link = nullptr;
}

QList<int> Collection1586A::Modules(const QString& module)
{
    if (module.isEmpty())
        return {1, 2};
    QList<int> modules;
    const QStringList flags = module.split(QLatin1Char(','));
    for (int i = 0; i < flags.size() && i < 6; ++i) {
        if (flags.at(i) == QStringLiteral("1"))
            modules << i + 1;
    }
    return modules;
}

bool Collection1586A::PortList(QStringList& names)
{
    names = SerialPortNames();
    return true;
}

bool Collection1586A::Open(QString mode, QString address, QString port)
{
    emit m_Link->Open_signals(mode, address, port.toInt());
    Delay(1000);
    return OpenFlag;
}

bool Collection1586A::Close()
{
    return m_Link->closeLink();
}

bool Collection1586A::IsOpen()
{
    return OpenFlag;
}

bool Collection1586A::Read(QString& reply)
{
    return m_Link->waitReply(reply, 100, 10);
}

bool Collection1586A::Write(QString command)
{
    if (!OpenFlag)
        return false;
    emit m_Link->Write_signals(command);
    Delay(200);
    return true;
}

bool Collection1586A::GetSerialNumber(QString&)
{
    return false;
}

QStringList Collection1586A::CompensationList()
{
    return {QStringLiteral("内部补偿"), QStringLiteral("固定冷端")};
}

QStringList Collection1586A::UnitList(QString)
{
    return {"℃", "℉", "%RH", "psi", "mbar", "bar", "Pa", "KPa", "MPa", "mV", "V", "Ω", "kΩ", "MΩ"};
}

QList<bool> Collection1586A::CoefficientMask(QString function)
{
    if (function == QStringLiteral("S") || function == QStringLiteral("R") || function == QStringLiteral("R(T)"))
        return mask({0, 1, 2, 3});
    if (function == QStringLiteral("POLY") || function == QStringLiteral("ITS90"))
        return mask({0, 1, 2, 3, 4, 5, 6});
    if (function == QStringLiteral("PT385") || function == QStringLiteral("PT392"))
        return mask({4});
    if (function == QStringLiteral("CVD"))
        return mask({0, 1, 2, 4});
    return mask({});
}

QStringList Collection1586A::WiringList(QString type)
{
    if (type == QStringLiteral("热电偶") || type == QStringLiteral("直流电压") || type == QStringLiteral("交流电压"))
        return {kTwoWire};
    if (type == QStringLiteral("热敏电阻") || type == QStringLiteral("电阻"))
        return {kTwoWire, kFourWire};
    if (type == QStringLiteral("铂电阻"))
        return {kTwoWire, kThreeWire, kFourWire};
    return {};
}

QStringList Collection1586A::TypeList(int channel)
{
    // Positions 21 and 22 of every module take voltages only.
    const int position = channel % 100;
    if (channel >= 100 && (position == 21 || position == 22))
        return {QStringLiteral("直流电压"), QStringLiteral("交流电压")};
    return {"热电偶", "热敏电阻", "铂电阻", "直流电压", "交流电压", "电阻", "频率", "直流电流", "交流电流"};
}

QStringList Collection1586A::FunctionList(QString type)
{
    if (type == QStringLiteral("热电偶"))
        return {"K", "T", "R", "S", "J", "N", "E", "B", "C", "D", "G", "L", "M", "U", "W", "POLY"};
    if (type == QStringLiteral("铂电阻"))
        return {"ITS90", "PT385", "PT392", "CVD"};
    if (type == QStringLiteral("热敏电阻"))
        return {"R(T)", "2.252kΩ", "5kΩ", "10kΩ"};
    if (type == QStringLiteral("直流电压"))
        return {"自动", "100mV", "1V", "10V", "50V"};
    if (type == QStringLiteral("电阻"))
        return {"自动", "100Ω", "1kΩ", "10kΩ", "100kΩ", "1MΩ", "10MΩ"};
    if (type == QStringLiteral("直流电流") || type == QStringLiteral("交流电流"))
        return {"自动", "100μA", "1mA", "10mA", "100mA"};
    return {};
}

QStringList Collection1586A::ChannelNumberList(int count, QString module)
{
    const QList<int> modules = Modules(module);
    const int moduleCount = modules.size();
    QStringList numbers;
    if (count <= 0 || count > 22 * moduleCount) {
        for (int m : modules)
            for (int c = 1; c <= 22; ++c)
                numbers << QString::number(m * 100 + c);
        return numbers;
    }
    const int width = count <= 10 * moduleCount ? 10 : (count <= 20 * moduleCount ? 20 : 22);
    for (int m : modules) {
        for (int c = 1; c <= width && numbers.size() < count; ++c)
            numbers << QString::number(m * 100 + c);
    }
    return numbers;
}

int Collection1586A::MaxChannelCount(QString module)
{
    if (module.isEmpty())
        return 44;
    return 22 * Modules(module).size();
}

bool Collection1586A::CheckChannels(QList<Device::Channel> channels, QString& message)
{
    ChannelRules::Options options{tr("量程错误！"), 10, true, 10, 20, true};
    return ChannelRules::check(*this, channels, options, message);
}

double Collection1586A::MinInterval(QString rate, QList<Device::Channel> channels)
{
    if (channels.isEmpty())
        return 2.0;
    double perChannel = 0.1;
    if (rate == QStringLiteral("中速"))
        perChannel = 1.0;
    else if (rate == QStringLiteral("慢速"))
        perChannel = 4.0;
    return perChannel * channels.size();
}
