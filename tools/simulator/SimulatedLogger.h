#pragma once

#include "Instrument3107A.h"
#include "SimulatorConfig.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>

class QSocketNotifier;
class QTcpServer;
class QTcpSocket;

namespace sim {

// One simulated logger on its endpoints (TCP server, pseudo-terminal), with
// the faults the console can inject.
class SimulatedLogger : public QObject
{
    Q_OBJECT
public:
    SimulatedLogger(const InstrumentConfig& config, int index, QObject* parent = nullptr);
    ~SimulatedLogger() override;

    // Opens the endpoints; on failure returns false with a message.
    bool start(QString* error);
    // "LISTEN tcp HOST:PORT" / "LISTEN pty PATH" of the open endpoints.
    QStringList listenLines() const;

    Instrument3107A& instrument() { return m_instrument; }
    const InstrumentConfig& config() const { return m_config; }
    QString ptyPath() const { return m_ptyPath; }
    quint16 tcpPort() const { return m_port; }
    int clientCount() const { return m_clients.size(); }
    bool isDown() const { return m_down; }
    double silentRemaining() const;

    void setTrace(bool on) { m_trace = on; }

    // Fault injection.
    int dropClients();
    void silence(double seconds);
    void goDown();
    bool goUp(QString* error);

private:
    void onNewConnection();
    void onClientData(QTcpSocket* socket);
    void onPtyData();
    // Replies to every complete request in the bytes, unless silent or down.
    QByteArray process(FrameAssembler& assembler, const QByteArray& bytes, const QString& peer);
    bool listen(QString* error);
    bool openPty(QString* error);
    void closePty();

    InstrumentConfig m_config;
    Instrument3107A m_instrument;
    QTcpServer* m_server = nullptr;
    quint16 m_port = 0;
    QHash<QTcpSocket*, FrameAssembler> m_clients;
    QElapsedTimer m_clock;
    qint64 m_silentUntilMs = 0;
    bool m_down = false;
    bool m_trace = false;
    int m_index = 0;
    int m_ptyMaster = -1;
    int m_ptySlave = -1;
    QString m_ptyPath;
    QSocketNotifier* m_ptyNotifier = nullptr;
    FrameAssembler m_ptyAssembler;
};

} // namespace sim
