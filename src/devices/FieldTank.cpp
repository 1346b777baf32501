#include "FieldTank.h"

#include "DeviceLink.h"
#include "SourceReply.h"

#include <cmath>

namespace {
struct TankModel
{
    const char* name;
    const char* low;
    const char* high;
};
constexpr TankModel kModels[] = {{"KRLB-1", "-20", "150"},
                                 {"KRLB-2", "-45", "150"},
                                 {"KRLB-3", "-80", "100"},
                                 {"KRLB-4", "35", "95"},
                                 {"KRLB-5", "35", "300"}};
// The set-point answer is accepted within 0.01 ℃; the margin absorbs the
// binary representation of two-decimal texts (25.01 − 25 is not 0.01 exactly).
constexpr double kSetPointTolerance = 0.01 + 1e-9;
} // namespace

FieldTank::FieldTank(QObject* parent)
    : Field(parent), m_Link(new DeviceLink(OpenFlag, DeviceLink::Framing::LineEndNoBlank, 30000, this))
{
}

FieldTank::~FieldTank()
{
    delete m_Link;
    m_Link = nullptr;
}

bool FieldTank::PortList(QStringList& names)
{
    names = SerialPortNames();
    return true;
}

bool FieldTank::Open(QString mode, QString address, QString port)
{
    // The bath is serial only: the link opens the serial port whatever the mode.
    return openLink(m_Link, mode, address, port);
}

bool FieldTank::Close()
{
    return m_Link->closeLink();
}

bool FieldTank::IsOpen()
{
    return OpenFlag;
}

bool FieldTank::Read(QString& reply)
{
    return readLink(m_Link, reply, true);
}

bool FieldTank::Write(QString command)
{
    return writeLink(m_Link, command);
}

bool FieldTank::GetSerialNumber(QString& text)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!Write(QStringLiteral("sn\r\n")))
            return false;
        QString reply;
        if (Read(reply) && reply.startsWith(QLatin1String("sn:"))) {
            text = reply.mid(reply.indexOf(QLatin1Char(':')) + 1);
            return true;
        }
    }
    return false;
}

QStringList FieldTank::ModelList()
{
    QStringList models;
    for (const TankModel& m : kModels)
        models << QString::fromLatin1(m.name);
    return models;
}

QStringList FieldTank::CommunicationList()
{
    return {QStringLiteral("串口")};
}

bool FieldTank::StabilityLimit(QString, QString& limit)
{
    limit = QStringLiteral("0.01");
    return true;
}

bool FieldTank::TemperatureRange(QString model, QString& low, QString& high)
{
    low = high = QStringLiteral("0");
    for (const TankModel& m : kModels) {
        if (model == QLatin1String(m.name)) {
            low = QString::fromLatin1(m.low);
            high = QString::fromLatin1(m.high);
        }
    }
    return true;
}

bool FieldTank::Initialize()
{
    for (const char* command : {"lf=on\r\n", "u=C\r\n", "sa=n\r\n", "pc=s\r\n", "co=au\r\n", "hg=auto\r\n"}) {
        if (!Write(QString::fromLatin1(command)))
            return false;
    }
    return true;
}

bool FieldTank::ReadTemperature(double& value)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!Write(QStringLiteral("r\r\n")))
            return false;
        QString reply;
        if (Read(reply) && SourceReply::tankNumber(reply, QStringLiteral("r:"), &value))
            return true;
    }
    return false;
}

bool FieldTank::SetTemperature(double value)
{
    const QString text = QString::number(value, 'f', 2);
    for (int outer = 0; outer < 3; ++outer) {
        if (!Write(QStringLiteral("s=") + text + QStringLiteral("\r\n")))
            return false;
        for (int inner = 0; inner < 3; ++inner) {
            if (!Write(QStringLiteral("s\r\n")))
                return false;
            QString reply;
            double setPoint = 0;
            if (Read(reply) && SourceReply::tankNumber(reply, QStringLiteral("set:"), &setPoint)
                && std::fabs(value - setPoint) <= kSetPointTolerance)
                return true;
        }
    }
    return false;
}

bool FieldTank::IsStable(bool& stable)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (!Write(QStringLiteral("st\r\n")))
            return false;
        QString reply;
        if (Read(reply) && reply.startsWith(QLatin1String("st:"))) {
            stable = reply == QLatin1String("st:1");
            return true;
        }
    }
    return false;
}

bool FieldTankR::ReadTemperature(double& value)
{
    return FieldTank::ReadTemperature(value);
}
