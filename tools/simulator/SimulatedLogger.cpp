#include "SimulatedLogger.h"

#include "Listen.h"

#include "InstrumentSource.h"
#include "Lab.h"

#include <QFile>
#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QDateTime>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace sim {

namespace {
// Frames kept for "frames" when nobody asks for them (a long demo).
constexpr int kMaxFrames = 10000;
// Gap between the pieces of a split reply: long enough to arrive as separate
// reads, short against the driver's wait.
constexpr int kPieceGapMs = 20;
} // namespace

SimulatedLogger::SimulatedLogger(const InstrumentConfig& config, int index, QObject* parent, Lab* lab)
    : QObject(parent), m_config(config), m_instrument(createInstrument(config, index)), m_index(index),
      m_ptyAssembler(*m_instrument), m_lab(lab)
{
    m_clock.start();
    if (auto* source = dynamic_cast<InstrumentSource*>(m_instrument.get())) {
        if (m_lab)
            m_lab->addSource(index, source);
        return; // no channels
    }
    const double now = m_instrument->now();
    for (int c = 0; c < m_instrument->channelCount(); ++c) {
        ChannelSignal& s = m_instrument->signal(c);
        s.setSeed(static_cast<quint32>(1000 * (index + 1) + c));
        s.setTimeConstant(config.tau);
        s.setNoise(config.noise);
        s.setFixed(config.temperature + 0.1 * c); // start settled
        s.setSetPoint(config.temperature + 0.1 * c, now);
    }
    for (const ChannelSetup& setup : config.channels) {
        if (setup.channel >= m_instrument->channelCount())
            continue;
        ChannelSignal& s = m_instrument->signal(setup.channel);
        if (!std::isnan(setup.tau))
            s.setTimeConstant(setup.tau);
        if (!std::isnan(setup.noise))
            s.setNoise(setup.noise);
        switch (setup.kind) {
        case ChannelSetup::Kind::Fixed:
            s.setFixed(setup.value);
            break;
        case ChannelSetup::Kind::Follow:
            if (!std::isnan(setup.start))
                s.setFixed(setup.start);
            s.setSetPoint(setup.value, now);
            break;
        case ChannelSetup::Kind::Ramp:
            s.setRamp(setup.ramp, setup.repeat, now);
            break;
        case ChannelSetup::Kind::Unchanged:
            break;
        }
        if (setup.in > 0 && m_lab)
            s.setExternal(m_lab->probe(setup.in - 1), QStringLiteral("in @%1").arg(setup.in));
        if (!setup.sensor.isNominal())
            if (auto* logger = dynamic_cast<Instrument3107A*>(m_instrument.get()))
                logger->setSensor(setup.channel, setup.sensor);
    }
}

SimulatedLogger::~SimulatedLogger()
{
    if (m_lab && m_lab->source(m_index) == dynamic_cast<InstrumentSource*>(m_instrument.get()))
        m_lab->removeSource(m_index);
    closePty();
}

bool SimulatedLogger::start(QString* error)
{
    if (m_config.tcp) {
        m_port = m_config.port;
        if (!listen(error))
            return false;
    }
    if (m_config.pty && !openPty(error))
        return false;
    return true;
}

QStringList SimulatedLogger::listenLines() const
{
    QStringList lines;
    if (m_server && m_server->isListening())
        lines << QStringLiteral("LISTEN tcp %1:%2").arg(m_config.host).arg(m_port);
    if (!m_ptyPath.isEmpty())
        lines << QStringLiteral("LISTEN pty %1").arg(m_ptyPath);
    return lines;
}

bool SimulatedLogger::listen(QString* error)
{
    if (!m_server) {
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, &SimulatedLogger::onNewConnection);
    }
    // Port 0 becomes a real one; "up" reuses it.
    return listenOn(m_server, m_config.host, &m_port, error);
}

void SimulatedLogger::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (m_down) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_clients.insert(socket, FrameAssembler(*m_instrument));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onClientData(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_clients.remove(socket);
            socket->deleteLater();
        });
    }
}

void SimulatedLogger::onClientData(QTcpSocket* socket)
{
    auto it = m_clients.find(socket);
    if (it == m_clients.end())
        return;
    const QList<Outgoing> replies = process(it.value(), socket->readAll(),
                                              QStringLiteral("tcp %1").arg(socket->peerPort()));
    deliver(socket, replies);
}

QList<SimulatedLogger::Outgoing> SimulatedLogger::process(FrameAssembler& assembler, const QByteArray& bytes, const QString& peer)
{
    const qint64 now = m_clock.elapsed();
    const int before = assembler.pending();
    const QList<QByteArray> frames = assembler.feed(bytes, now);
    const bool deaf = m_down || now < m_silentUntilMs; // drops what it receives
    auto trace = [&](const char* what, const QByteArray& text) {
        if (m_trace)
            std::fprintf(stderr, "%s @%d %s %s %s\n",
                         qPrintable(QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"))), m_index + 1,
                         qPrintable(peer), what, text.constData());
    };
    int framed = 0;
    QList<Outgoing> replies;
    for (const QByteArray& frame : frames) {
        framed += frame.size();
        recordFrame(frame, peer.startsWith(QLatin1String("tcp")));
        trace(deaf ? "RX (ignored)" : "RX", frameText(*m_instrument, frame, true).toLatin1());
        if (deaf)
            continue;
        QByteArray reply = m_instrument->handle(frame);
        const int delayMs = m_instrument->replyDelayMs();
        const SimulatedInstrument::SentValues sent = m_instrument->takeSentValues();
        if (reply.isEmpty()) {
            trace("-- no reply", QByteArray());
            continue;
        }
        QByteArray what = "TX";
        if (m_foreignReplies > 0) {
            --m_foreignReplies;
            m_instrument->inject(SimulatedInstrument::Fault::ForeignAddress, &reply);
            what += " (foreign address)";
        }
        if (m_badChecksums > 0) {
            --m_badChecksums;
            m_instrument->inject(SimulatedInstrument::Fault::BadChecksum, &reply);
            what += " (bad CRC)";
        }
        if (m_garbageReplies > 0) {
            --m_garbageReplies;
            m_instrument->inject(SimulatedInstrument::Fault::Garbage, &reply);
            what += " (garbage)";
        }
        trace(what.constData(), frameText(*m_instrument, reply, true).toLatin1());
        // A spoiled reply gives the program no values: only intact ones are recorded.
        if (what == "TX")
            recordValues(sent);
        replies.append({reply, delayMs});
    }
    // Bytes that were neither framed nor left waiting were skipped as garbage.
    const int skipped = before + bytes.size() - framed - assembler.pending();
    if (skipped > 0)
        trace("skipped", QByteArray::number(skipped) + " byte(s) that form no frame");
    return replies;
}

void SimulatedLogger::recordFrame(const QByteArray& frame, bool tcp)
{
    const QString endpoint = tcp ? QStringLiteral("tcp %1:%2").arg(m_config.host).arg(m_port)
                                 : QStringLiteral("pty %1").arg(m_ptyPath);
    const QString line = QStringLiteral("@%1 %2 %3").arg(m_index + 1).arg(endpoint, frameText(*m_instrument, frame));
    m_frames.append(line);
    if (m_frames.size() > kMaxFrames)
        m_frames.removeFirst();
    if (m_record) {
        m_record->write(QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz ")).toLatin1()
                        + line.toLocal8Bit() + '\n');
        m_record->flush();
    }
}

void SimulatedLogger::recordValues(const SimulatedInstrument::SentValues& sent)
{
    if (!m_record || sent.kind.isEmpty())
        return;
    m_record->write(QStringLiteral("%1 %2 %3 %4\n")
                        .arg(sent.kind, sent.name, QDateTime::currentDateTime().toString(Qt::ISODateWithMs),
                             sent.values)
                        .toLocal8Bit());
    m_record->flush();
}

QStringList SimulatedLogger::takeFrames()
{
    QStringList lines;
    lines.reserve(m_frames.size());
    for (const QString& frame : qAsConst(m_frames))
        lines << QStringLiteral("FRAME ") + frame;
    m_frames.clear();
    return lines;
}

void SimulatedLogger::deliver(QTcpSocket* socket, const QList<Outgoing>& replies)
{
    if (replies.isEmpty())
        return;
    const qint64 now = m_clock.elapsed();
    const bool waiting = std::any_of(replies.begin(), replies.end(), [](const Outgoing& o) { return o.delayMs > 0; })
                         || m_busyUntilMs > now;
    if (m_delayMs <= 0 && m_pieces <= 1 && !waiting) {
        QByteArray all;
        for (const Outgoing& r : replies)
            all += r.bytes;
        if (socket)
            writeTo(socket, all);
        else
            writePty(all);
        return;
    }
    // Later writes go through timers; the socket may be gone by then.
    const QPointer<QTcpSocket> guard(socket);
    const bool pty = socket == nullptr;
    for (const Outgoing& reply : replies) {
        qint64 at = qMax(now + m_delayMs + reply.delayMs, m_busyUntilMs);
        const int pieces = qBound(1, m_pieces, reply.bytes.size());
        const int size = (reply.bytes.size() + pieces - 1) / pieces;
        for (int offset = 0; offset < reply.bytes.size(); offset += size) {
            const QByteArray piece = reply.bytes.mid(offset, size);
            QTimer::singleShot(static_cast<int>(at - now), this, [this, guard, pty, piece] {
                if (pty) {
                    if (!m_down)
                        writePty(piece);
                } else if (guard && m_clients.contains(guard.data())) {
                    writeTo(guard.data(), piece);
                }
            });
            at += kPieceGapMs;
        }
        m_busyUntilMs = at - kPieceGapMs;
    }
}

void SimulatedLogger::writeTo(QTcpSocket* socket, const QByteArray& bytes)
{
    socket->write(bytes);
    socket->flush();
}

double SimulatedLogger::silentRemaining() const
{
    const qint64 left = m_silentUntilMs - m_clock.elapsed();
    return left > 0 ? static_cast<double>(left) / 1000.0 : 0.0;
}

int SimulatedLogger::dropClients()
{
    m_busyUntilMs = 0; // replies still waiting have nobody to go to
    const QList<QTcpSocket*> sockets = m_clients.keys();
    m_clients.clear();
    for (QTcpSocket* socket : sockets) {
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
    return sockets.size();
}

void SimulatedLogger::silence(double seconds)
{
    m_silentUntilMs = m_clock.elapsed() + static_cast<qint64>(seconds * 1000.0);
}

void SimulatedLogger::normal()
{
    m_silentUntilMs = 0;
    m_busyUntilMs = 0;
    m_badChecksums = 0;
    m_foreignReplies = 0;
    m_garbageReplies = 0;
    m_delayMs = 0;
    m_pieces = 1;
}

QString SimulatedLogger::faultText() const
{
    QString text;
    if (m_badChecksums > 0)
        text += QStringLiteral(", badcrc %1").arg(m_badChecksums);
    if (m_foreignReplies > 0)
        text += QStringLiteral(", foreign %1").arg(m_foreignReplies);
    if (m_garbageReplies > 0)
        text += QStringLiteral(", garbage %1").arg(m_garbageReplies);
    if (m_delayMs > 0)
        text += QStringLiteral(", slow %1 ms").arg(m_delayMs);
    if (m_pieces > 1)
        text += QStringLiteral(", split %1").arg(m_pieces);
    return text;
}

void SimulatedLogger::goDown()
{
    m_down = true;
    if (m_server)
        m_server->close();
    dropClients();
    m_ptyAssembler.clear();
}

bool SimulatedLogger::goUp(QString* error)
{
    if (m_config.tcp && !(m_server && m_server->isListening()) && !listen(error))
        return false;
    m_down = false;
    return true;
}

#ifdef Q_OS_UNIX

bool SimulatedLogger::openPty(QString* error)
{
    m_ptyMaster = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_ptyMaster < 0 || grantpt(m_ptyMaster) != 0 || unlockpt(m_ptyMaster) != 0) {
        *error = QStringLiteral("cannot open a pseudo-terminal: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        closePty();
        return false;
    }
    const char* name = ptsname(m_ptyMaster);
    if (!name) {
        *error = QStringLiteral("cannot name the pseudo-terminal");
        closePty();
        return false;
    }
    m_ptyPath = QString::fromLocal8Bit(name);
    // Holding the slave open keeps the master readable while no program has the
    // port open (otherwise reads fail with EIO), and lets us make it raw so
    // binary frames pass untouched.
    m_ptySlave = ::open(name, O_RDWR | O_NOCTTY);
    if (m_ptySlave >= 0) {
        termios tio;
        if (tcgetattr(m_ptySlave, &tio) == 0) {
            cfmakeraw(&tio);
            tcsetattr(m_ptySlave, TCSANOW, &tio);
        }
    }
    const int flags = fcntl(m_ptyMaster, F_GETFL);
    fcntl(m_ptyMaster, F_SETFL, flags | O_NONBLOCK);
    m_ptyNotifier = new QSocketNotifier(m_ptyMaster, QSocketNotifier::Read, this);
    connect(m_ptyNotifier, &QSocketNotifier::activated, this, &SimulatedLogger::onPtyData);
    return true;
}

void SimulatedLogger::onPtyData()
{
    QByteArray bytes;
    char chunk[512];
    for (;;) {
        const ssize_t n = ::read(m_ptyMaster, chunk, sizeof chunk);
        if (n > 0) {
            bytes.append(chunk, static_cast<int>(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    if (bytes.isEmpty())
        return;
    deliver(nullptr, process(m_ptyAssembler, bytes, QStringLiteral("pty")));
}

void SimulatedLogger::writePty(const QByteArray& reply)
{
    if (m_ptyMaster < 0)
        return;
    qint64 written = 0;
    while (written < reply.size()) {
        const ssize_t n = ::write(m_ptyMaster, reply.constData() + written, static_cast<size_t>(reply.size() - written));
        if (n > 0)
            written += n;
        else if (n < 0 && errno == EINTR)
            continue;
        else
            break; // the reader stopped reading; a real line would lose the bytes too
    }
}

void SimulatedLogger::closePty()
{
    delete m_ptyNotifier;
    m_ptyNotifier = nullptr;
    if (m_ptySlave >= 0)
        ::close(m_ptySlave);
    if (m_ptyMaster >= 0)
        ::close(m_ptyMaster);
    m_ptySlave = m_ptyMaster = -1;
}

#else

bool SimulatedLogger::openPty(QString* error)
{
    *error = QStringLiteral("pseudo-terminals are not available on this system; use TCP or a "
                            "virtual COM-port pair");
    return false;
}

void SimulatedLogger::onPtyData() {}
void SimulatedLogger::writePty(const QByteArray&) {}
void SimulatedLogger::closePty() {}

#endif

} // namespace sim
