#pragma once

#include "ChannelSignal.h"
#include "SimulatorConfig.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <random>

class QFile;
class QTcpServer;
class QTcpSocket;
class QTimer;

namespace sim {

class CommandProcessor;
class SimulatedLogger;

// The wire format of the thermometer, independent of any link.
namespace thermo5310a {
// XOR of all bytes.
quint8 xorOf(const QByteArray& bytes);
// A command is its body followed by the XOR of the body.
bool checksumOk(const QByteArray& command);
// One 24-byte reading frame: 17 05, sequence, channel, seconds (u32 BE),
// battery %, unit, a raw resistance (float BE), status, the temperature as a
// big-endian float in bytes 18–21, the XOR of bytes 0–21, 0x0D.
QByteArray readingFrame(double temperature, quint8 sequence, quint32 seconds);
} // namespace thermo5310a

// A 5310A Bluetooth LE thermometer as arq-simulator plays it: the devices in
// range of one TCP endpoint, with the line protocol of the program's
// simulator backend (see src/devices/ble/SimulatorBlePlatform.h). It
// advertises its name (and the foreign and non-connectable devices of its
// configuration), offers the services FFE0 (notify characteristic FFE4,
// properties 16) and FFE5 (write characteristic FFE9, properties 12) besides
// unrelated ones, starts a reading per second after the start command
// 0405020003 and stops after 0405010101. Commands with a bad XOR checksum
// are recorded and otherwise ignored.
class Thermometer5310A : public QObject
{
    Q_OBJECT
public:
    Thermometer5310A(const InstrumentConfig& config, int index, QObject* parent = nullptr);
    ~Thermometer5310A() override;

    bool start(QString* error);
    QStringList listenLines() const;
    QString name() const { return m_name; }
    QString deviceId() const { return m_address; }
    quint16 tcpPort() const { return m_port; }
    bool measuring() const { return m_measuring; }

    void setTrace(bool on) { m_trace = on; }
    void setRecordFile(QFile* file) { m_record = file; }
    // Makes the reading follow something else (a simulated temperature
    // source, say): called with the seconds since start; noise is added.
    // "set" on the console replaces it by a fixed value again.
    void setTemperatureSource(std::function<double(double now)> source) { m_source = std::move(source); }
    double now() const { return static_cast<double>(m_clock.elapsed()) / 1000.0; }

    // Console commands addressed to this thermometer (see usage text):
    // the answer lines, the last one starting "OK" or "ERROR".
    QStringList execute(const QString& command, const QStringList& args);
    static bool knows(const QString& command);

private:
    struct Client
    {
        QByteArray buffer;
        bool notifying = false;
    };

    void onNewConnection();
    void onData(QTcpSocket* socket);
    void onGone(QTcpSocket* socket);
    QString handle(QTcpSocket* socket, const QString& line);
    QString writeCommand(QTcpSocket* socket, const QByteArray& bytes);
    void send(QTcpSocket* socket, const QString& line);
    void tick();
    void sendFrame(QByteArray frame);
    void record(const QByteArray& command, bool badChecksum);
    int dropClients(bool linkLoss);
    bool listen(QString* error);
    void release();

    InstrumentConfig m_config;
    int m_index = 0;
    QString m_name;
    QString m_address;
    quint16 m_port = 0;
    QTcpServer* m_server = nullptr;
    QHash<QTcpSocket*, Client> m_clients;
    QPointer<QTcpSocket> m_owner; // the client connected to the device
    QTimer* m_timer = nullptr;
    QElapsedTimer m_clock;
    ChannelSignal m_signal;
    std::function<double(double)> m_source;
    std::mt19937 m_rng;
    bool m_measuring = false;
    quint8 m_sequence = 0;
    bool m_trace = false;
    QFile* m_record = nullptr;
    QStringList m_frames;
    int m_badChecksums = 0;

    // faults
    bool m_down = false;
    qint64 m_silentUntilMs = 0;
    int m_slowMs = 0;
    int m_pieces = 0; // 0: two at a random point
    int m_garbage = 0;
};

// The console for a mix of loggers and thermometers: "@N" counts every
// instrument in configuration order; commands go to the instruments that
// know them. Without thermometers it is the loggers' console unchanged.
class MixedConsole
{
public:
    MixedConsole(CommandProcessor* loggers, const QList<int>& loggerIndexes,
                 const QList<Thermometer5310A*>& thermometers, const QList<int>& thermometerIndexes);
    QString execute(const QString& line, bool* quit);

private:
    CommandProcessor* m_processor;
    QList<int> m_loggerIndexes;
    QList<Thermometer5310A*> m_thermometers;
    QList<int> m_thermometerIndexes;
};

} // namespace sim
