#include "Field.h"

Field::Field(QObject* parent) : Device(parent) {}

QStringList Field::ModelList() { return {}; }
QStringList Field::CommunicationList() { return {}; }
bool Field::StabilityLimit(QString, QString&) { return false; }
bool Field::TemperatureRange(QString, QString&, QString&) { return false; }
bool Field::Initialize() { return false; }
bool Field::ReadTemperature(double&) { return false; }
bool Field::SetTemperature(double) { return false; }
bool Field::IsStable(bool&) { return false; }
