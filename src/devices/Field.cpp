#include "Field.h"

#include "DeviceLink.h"

Field::Field(QObject* parent) : Device(parent) {}

QStringList Field::ModelList() { return {}; }
QStringList Field::CommunicationList() { return {}; }
bool Field::StabilityLimit(QString, QString&) { return false; }
bool Field::TemperatureRange(QString, QString&, QString&) { return false; }
bool Field::Initialize() { return false; }
bool Field::ReadTemperature(double&) { return false; }
bool Field::SetTemperature(double) { return false; }
bool Field::IsStable(bool&) { return false; }

bool Field::openLink(DeviceLink* link, const QString& mode, const QString& address, const QString& port)
{
    if (OpenFlag)
        return false;
    emit link->Open_signals(mode, address, port.toInt());
    for (int i = 0; i < 120 && !OpenFlag; ++i)
        Delay(100);
    if (OpenFlag)
        return true;
    // Given up: a TCP attempt still under way must not complete later and
    // leave the link open behind the caller's back (every later Open would
    // then be refused as "already open").
    link->abandonOpen();
    return false;
}

bool Field::writeLink(DeviceLink* link, const QString& command)
{
    if (!OpenFlag)
        return false;
    // Every command is a new question: a late answer to an earlier one still
    // queued would be joined to this one's reply ("25" + "30" reads 3025).
    link->dropReplies();
    emit link->Write_signals(command);
    Delay(200);
    return true;
}

bool Field::readLink(DeviceLink* link, QString& reply, bool stripLineEnds)
{
    reply.clear();
    if (!OpenFlag)
        return false;
    Delay(300);
    for (int i = 0; i < 60; ++i) {
        reply += link->takeAll();
        if (stripLineEnds) {
            reply.remove(QLatin1Char('\r'));
            reply.remove(QLatin1Char('\n'));
        }
        if (!reply.isEmpty())
            return true;
        if (!OpenFlag)
            return false;
        Delay(100);
    }
    return false;
}
