#include "FieldDry.h"

#include "DeviceLink.h"
#include "SourceReply.h"

namespace {
const QString kManual = QStringLiteral("手动");

struct DryModel
{
    const char* name;
    const char* low;
    const char* high;
};
constexpr DryModel kModels[] = {{"KRDB-1", "33", "350"}, {"KRDB-2", "50", "660"}};
} // namespace

FieldDry::FieldDry(QObject* parent)
    : Field(parent), m_Link(new DeviceLink(OpenFlag, DeviceLink::Framing::LineEnd, 30000, this))
{
}

FieldDry::~FieldDry()
{
    // The link refers to this driver's open flag: it goes first, closing
    // and releasing a port that is still open.
    delete m_Link;
    m_Link = nullptr;
}

bool FieldDry::PortList(QStringList& names)
{
    names = SerialPortNames();
    return true;
}

bool FieldDry::Open(QString mode, QString address, QString port)
{
    if (OpenFlag)
        return false;
    if (mode == kManual)
        return true;
    return openLink(m_Link, mode, address, port);
}

bool FieldDry::Close()
{
    return m_Link->closeLink();
}

bool FieldDry::IsOpen()
{
    return OpenFlag;
}

bool FieldDry::Read(QString& reply)
{
    // The reply keeps its line end; the operations strip it.
    return readLink(m_Link, reply, false);
}

bool FieldDry::Write(QString command)
{
    return writeLink(m_Link, command);
}

bool FieldDry::GetSerialNumber(QString& text)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!Write(QStringLiteral("*IDN?\r\n")))
            return false;
        QString reply;
        if (Read(reply) && reply.startsWith(QLatin1String("KORVA-INST"))) {
            text = reply.chopped(2);
            return true;
        }
    }
    return false;
}

QStringList FieldDry::ModelList()
{
    QStringList models;
    for (const DryModel& m : kModels)
        models << QString::fromLatin1(m.name);
    return models;
}

QStringList FieldDry::CommunicationList()
{
    return {QStringLiteral("串口"), QStringLiteral("网络"), kManual};
}

bool FieldDry::StabilityLimit(QString model, QString& limit)
{
    limit = model == QLatin1String("KRDB-1") ? QStringLiteral("0.2") : QStringLiteral("0.35");
    return true;
}

bool FieldDry::TemperatureRange(QString model, QString& low, QString& high)
{
    low = high = QStringLiteral("0");
    for (const DryModel& m : kModels) {
        if (model == QLatin1String(m.name)) {
            low = QString::fromLatin1(m.low);
            high = QString::fromLatin1(m.high);
        }
    }
    return true;
}

bool FieldDry::Initialize()
{
    Delay(500);
    return Write(QStringLiteral("OUTP:STAT 1\r\n")) && Write(QStringLiteral("u C\r\n"));
}

bool FieldDry::QueryNumber(const QString& command, double& value)
{
    QString reply;
    if (!Write(command) || !Read(reply))
        return false;
    return SourceReply::dryNumber(reply, &value);
}

bool FieldDry::ReadTemperature(double& value)
{
    return QueryNumber(QStringLiteral("t\r\n"), value);
}

bool FieldDry::SetTemperature(double value)
{
    const QString text = QString::number(value, 'f', 2);
    const double wanted = text.toDouble();
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!Write(QStringLiteral("s ") + text + QStringLiteral("\r\n")))
            return false;
        Delay(500);
        QString reply;
        double setPoint = 0;
        if (Write(QStringLiteral("s\r\n")) && Read(reply) && SourceReply::dryNumber(reply, &setPoint)
            && setPoint == wanted)
            return true;
    }
    return false;
}

bool FieldDry::IsStable(bool& stable)
{
    QString reply;
    if (!Write(QStringLiteral("SOUR1:STAB:TEST?\r\n")) || !Read(reply))
        return false;
    return SourceReply::dryStable(reply, &stable);
}

bool FieldDryR::ReadTemperature(double& value)
{
    return QueryNumber(QStringLiteral("READ?\r\n"), value);
}
