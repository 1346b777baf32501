#pragma once

#include "ChannelSignal.h"
#include "Instrument3107A.h"
#include "InstrumentSource.h"
#include "LabSensor.h"
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
    // Unchanged: the setup only puts the channel into a source or gives it a sensor.
    enum class Kind { Fixed, Follow, Ramp, Unchanged } kind = Kind::Follow;
    double value = std::numeric_limits<double>::quiet_NaN(); // fixed value or set-point
    double start = std::numeric_limits<double>::quiet_NaN(); // Follow: temperature at start
    double tau = std::numeric_limits<double>::quiet_NaN();
    double noise = std::numeric_limits<double>::quiet_NaN();
    QVector<ChannelSignal::RampPoint> ramp;
    bool repeat = false;
    int in = 0;       // instrument number (from 1) of the source the sensor sits in; 0: none
    LabSensor sensor; // nominal unless a known error is given
};

// The logger families the simulator knows.
enum class LoggerModel { M3107A, M3108A, M1586A };

struct InstrumentConfig
{
    LoggerModel logger = LoggerModel::M3107A;
    Variant variant = Variant::TC;   // 3107A loggers
    const SourceModel* source = nullptr; // set: a temperature source of that model instead of a logger
    SourceSettings sourceSettings;
    bool tcp = true;
    QString host = QStringLiteral("127.0.0.1");
    quint16 port = 5000;
    bool pty = false;
    int address = 1;
    QString identity;                 // empty: "3107A" + five digits of the instrument's index
                                      // (sources: the serial number, "KD"/"KL" + five digits)
    double temperature = 25.0;        // channel 101; each further channel 0.1 °C warmer
    double tau = 30.0;
    double noise = 0.01;
    QList<ChannelSetup> channels;
    bool thermometer = false;         // model 5310A: a Bluetooth LE thermometer (see Thermometer5310A)
    Thermometer5310AConfig ble;
    int follow = 0;                   // 5310A: number (from 1) of the source it sits in; 0: its own reading
    double timeScale = SourceSettings::kUnset; // 3108A, 1586A: measuring runs this many times faster
};

struct SimulatorConfig
{
    QList<InstrumentConfig> instruments;
    bool trace = false;     // every frame received and sent, in hex, on stderr
    bool exitOnEof = false; // quit when stdin closes (for scripts that own the process)
    double timeScale = SourceSettings::kUnset; // sources without their own; unset: real time
    QString recordPath;     // every request frame received, one line each
    bool help = false;
    bool version = false;
};

// Parses the arguments after the program name. On failure returns false and
// a message that names the offending option.
bool parseArguments(const QStringList& args, SimulatorConfig* config, QString* error);
// Checks what needs the whole list: channels put into instrument #N need
// that instrument to exist and be a source.
bool validateInstruments(const QList<InstrumentConfig>& instruments, QString* error);
// Reads a JSON configuration file (see usage text) into instruments.
bool parseConfigFile(const QString& path, QList<InstrumentConfig>* instruments, QString* error);
bool parseConfigJson(const QByteArray& json, QList<InstrumentConfig>* instruments, QString* error);
// "HOST:PORT", ":PORT" or "PORT" (host 127.0.0.1).
bool parseEndpoint(const QString& text, QString* host, quint16* port);
// "101" … "116" → 0 … 15; -1 otherwise.
int channelIndex(const QString& text);
// A channel number of the instrument's model (3108A: 101 … 126; 1586A:
// 101 … 122, 201 … 222, 001) to its index; -1 otherwise.
int channelIndex(const InstrumentConfig& instrument, const QString& text);
QString modelText(const InstrumentConfig& instrument);
// "2:101-104+109" → instrument 2 and the channel setups that put 101 … 104
// and 109 into it.
bool parsePlacement(const QString& text, QList<ChannelSetup>* setups, const InstrumentConfig* instrument = nullptr);

// Longest serial a source takes (shown in its identity reply).
constexpr int kSourceSerialLength = 20;

QString usageText();

} // namespace sim
