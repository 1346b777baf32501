#pragma once

#include "SimulatedInstrument.h"
#include "SimulatorConfig.h"

#include <QElapsedTimer>
#include <QHash>
#include <QObject>
#include <QPointer>

#include <memory>

class QFile;
class QSocketNotifier;
class QTcpServer;
class QTcpSocket;

namespace sim {

class Lab;

// One simulated instrument on its endpoints (TCP server, pseudo-terminal),
// with the faults the console can inject and a record of what it received.
class SimulatedLogger : public QObject
{
    Q_OBJECT
public:
    // With a lab, a source registers itself there, and logger channels
    // declared to sit in a source read that source's temperature.
    SimulatedLogger(const InstrumentConfig& config, int index, QObject* parent = nullptr, Lab* lab = nullptr);
    ~SimulatedLogger() override;

    // Opens the endpoints; on failure returns false with a message.
    bool start(QString* error);
    // "LISTEN tcp HOST:PORT" / "LISTEN pty PATH" of the open endpoints.
    QStringList listenLines() const;

    SimulatedInstrument& instrument() { return *m_instrument; }
    const InstrumentConfig& config() const { return m_config; }
    QString ptyPath() const { return m_ptyPath; }
    quint16 tcpPort() const { return m_port; }
    int clientCount() const { return m_clients.size(); }
    bool isDown() const { return m_down; }
    double silentRemaining() const;

    void setTrace(bool on) { m_trace = on; }
    // Shared by all instruments; a line per received request and per reply
    // carrying measured values, flushed at once.
    void setRecordFile(QFile* file) { m_record = file; }
    // "FRAME @N ENDPOINT HEX" lines received since the last call.
    QStringList takeFrames();

    // Fault injection.
    int dropClients();
    void silence(double seconds);
    void goDown();
    bool goUp(QString* error);
    void setBadChecksums(int replies) { m_badChecksums = replies; }
    void setForeignReplies(int replies) { m_foreignReplies = replies; }
    void setGarbageReplies(int replies) { m_garbageReplies = replies; }
    void setReplyDelay(int ms) { m_delayMs = ms; }
    void setReplyPieces(int pieces) { m_pieces = pieces; }
    // Ends every fault above and the silence.
    void normal();
    // ", badcrc 2, slow 300 ms …" for the status line; empty without faults.
    QString faultText() const;

private:
    void onNewConnection();
    void onClientData(QTcpSocket* socket);
    void onPtyData();
    // The replies to every complete request in the bytes (none when silent
    // or down), faults applied.
    struct Outgoing
    {
        QByteArray bytes;
        int delayMs; // the instrument's own time to answer (a measurement)
    };
    QList<Outgoing> process(FrameAssembler& assembler, const QByteArray& bytes, const QString& peer);
    // Writes the replies now, or later and in pieces when the faults or the
    // instrument say so; a null socket means the pty. Replies leave in the
    // order of their requests.
    void deliver(QTcpSocket* socket, const QList<Outgoing>& replies);
    void writeTo(QTcpSocket* socket, const QByteArray& bytes);
    void writePty(const QByteArray& bytes);
    void recordFrame(const QByteArray& frame, bool tcp);
    // "VALUES …" / "REFERENCE …" line of a reply's measured values.
    void recordValues(const SimulatedInstrument::SentValues& sent);
    bool listen(QString* error);
    bool openPty(QString* error);
    void closePty();

    InstrumentConfig m_config;
    std::unique_ptr<SimulatedInstrument> m_instrument;
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

    int m_badChecksums = 0;
    int m_foreignReplies = 0;
    int m_garbageReplies = 0;
    Lab* m_lab = nullptr;
    int m_delayMs = 0;
    int m_pieces = 1;
    qint64 m_busyUntilMs = 0; // the last reply scheduled leaves then
    QFile* m_record = nullptr;
    QStringList m_frames; // for "frames"; only the newest are kept
};

} // namespace sim
