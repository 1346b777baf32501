#pragma once

#include "ChannelSignal.h"
#include "Instrument3107A.h"
#include "Thermometer5310AConfig.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <cmath>
#include <limits>

namespace sim {

// How one channel's temperature is driven; NaN fields keep the instrument's defaults.
struct ChannelSetup
{
    int channel = 0; // 0 … 15
    enum class Kind { Fixed, Follow, Ramp } kind = Kind::Follow;
    double value = std::numeric_limits<double>::quiet_NaN(); // fixed value or set-point
    double start = std::numeric_limits<double>::quiet_NaN(); // Follow: temperature at start
    double tau = std::numeric_limits<double>::quiet_NaN();
    double noise = std::numeric_limits<double>::quiet_NaN();
    QVector<ChannelSignal::RampPoint> ramp;
    bool repeat = false;
};

struct InstrumentConfig
{
    Variant variant = Variant::TC;
    bool tcp = true;
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 5000;
    bool pty = false;
    int address = 1;
    QString identity;                 // empty: "3107A" + five digits of the instrument's index
    double temperature = 25.0;        // channel 101; each further channel 0.1 °C warmer
    double tau = 30.0;
    double noise = 0.01;
    QList<ChannelSetup> channels;
    bool thermometer = false;         // model 5310A: a Bluetooth LE thermometer (see Thermometer5310A)
    Thermometer5310AConfig ble;
};

struct SimulatorConfig
{
    QList<InstrumentConfig> instruments;
    bool trace = false;     // every frame received and sent, in hex, on stderr
    bool exitOnEof = false; // quit when stdin closes (for scripts that own the process)
    QString recordPath;     // every request frame received, one line each
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name. On failure returns false and
// a message that names the offending option.
bool parseArguments(const QStringList& args, SimulatorConfig* config, QString* error);
// Reads a JSON configuration file (see usage text) into instruments.
bool parseConfigFile(const QString& path, QList<InstrumentConfig>* instruments, QString* error);
bool parseConfigJson(const QByteArray& json, QList<InstrumentConfig>* instruments, QString* error);
// "HOST:PORT", ":PORT" or "PORT" (host 127.0.0.1).
bool parseEndpoint(const QString& text, QString* host, quint16* port);
// "101" … "116" → 0 … 15; -1 otherwise.
int channelIndex(const QString& text);

QString usageText();

} // namespace sim
