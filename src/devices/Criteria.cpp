#include "Criteria.h"

#include "Field.h"

Criteria::Criteria(QObject* parent) : Device(parent) {}

Criteria::Criteria(Field* source, QObject* parent) : Device(parent), Source(source) {}

bool Criteria::PortList(QStringList& names)
{
    names = SerialPortNames();
    return true;
}

bool Criteria::Open(QString, QString, QString)
{
    OpenFlag = Source && Source->IsOpen();
    return OpenFlag;
}

bool Criteria::Close()
{
    OpenFlag = false;
    return true;
}

bool Criteria::IsOpen() { return OpenFlag; }
bool Criteria::Read(QString&) { return true; }
bool Criteria::Write(QString) { return true; }

bool Criteria::GetSerialNumber(QString& text)
{
    return Source && Source->GetSerialNumber(text);
}

bool Criteria::SetChannel(Device::Channel)
{
    return Source != nullptr;
}

bool Criteria::ReadTemperature(double& value)
{
    return Source && Source->ReadTemperature(value);
}

bool Criteria::Reconnect()
{
    return false;
}
