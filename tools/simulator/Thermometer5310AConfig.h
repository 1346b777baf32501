#pragma once

#include <QString>
#include <QStringList>

class QJsonObject;

namespace sim {

// What a simulated 5310A Bluetooth LE thermometer advertises and how fast it
// measures. Temperature and noise come from the instrument's common keys.
struct Thermometer5310AConfig
{
    QString name;               // empty: "5310A-" + five digits (00123 + the instrument's index)
    double timeScale = 1.0;     // one reading every 1000 ms × timeScale
    QStringList foreign;        // further devices in range, e.g. "Thermo-X" (connectable, not ours)
    QStringList nonConnectable; // names advertised with type 3 (non-connectable)
    bool twice = false;         // its own advertisement comes twice in every scan
};

// "5310A" (case-insensitive).
bool isModel5310A(const QString& model);
// One KEY=VALUE of --instrument: true when the key is a 5310A key; *ok tells
// whether its value was good. Lists in values are separated by ';'.
bool parse5310AKey(const QString& key, const QString& value, Thermometer5310AConfig* config, bool* ok);
// The same keys in a JSON instrument object ("foreign" and "nonconnectable"
// as arrays or ';'-separated text).
bool parse5310AJson(const QJsonObject& object, Thermometer5310AConfig* config, QString* error);
// The default name of instrument `index` (from 0).
QString default5310AName(int index);

} // namespace sim
