#include "SimulatedLogger.h"

#include <QHostAddress>
#include <QSocketNotifier>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTime>

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

SimulatedLogger::SimulatedLogger(const InstrumentConfig& config, int index, QObject* parent)
    : QObject(parent), m_config(config), m_instrument(config.variant), m_index(index)
{
    m_clock.start();
    m_instrument.setStationAddress(static_cast<quint8>(config.address));
    m_instrument.setIdentity(config.identity.isEmpty()
                                 ? QStringLiteral("3107A%1").arg(index + 1, 5, 10, QLatin1Char('0'))
                                 : config.identity);
    const double now = m_instrument.now();
    for (int c = 0; c < Instrument3107A::kChannels; ++c) {
        ChannelSignal& s = m_instrument.signal(c);
        s.setSeed(static_cast<quint32>(1000 * (index + 1) + c));
        s.setTimeConstant(config.tau);
        s.setNoise(config.noise);
        s.setFixed(config.temperature + 0.1 * c); // start settled
        s.setSetPoint(config.temperature + 0.1 * c, now);
    }
    for (const ChannelSpec& spec : config.channels) {
        ChannelSignal& s = m_instrument.signal(spec.channel);
        if (!std::isnan(spec.tau))
            s.setTimeConstant(spec.tau);
        if (!std::isnan(spec.noise))
            s.setNoise(spec.noise);
        switch (spec.kind) {
        case ChannelSpec::Kind::Fixed:
            s.setFixed(spec.value);
            break;
        case ChannelSpec::Kind::Follow:
            if (!std::isnan(spec.start))
                s.setFixed(spec.start);
            s.setSetPoint(spec.value, now);
            break;
        case ChannelSpec::Kind::Ramp:
            s.setRamp(spec.ramp, spec.repeat, now);
            break;
        }
    }
}

SimulatedLogger::~SimulatedLogger()
{
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
    QHostAddress address;
    if (m_config.host == QLatin1String("localhost"))
        address = QHostAddress(QHostAddress::LocalHost);
    else if (m_config.host == QLatin1String("*") || m_config.host == QLatin1String("0.0.0.0"))
        address = QHostAddress(QHostAddress::AnyIPv4);
    else if (!address.setAddress(m_config.host)) {
        *error = QStringLiteral("'%1' is not an IP address").arg(m_config.host);
        return false;
    }
    if (!m_server) {
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, &SimulatedLogger::onNewConnection);
    }
    if (!m_server->listen(address, m_port)) {
        *error = QStringLiteral("cannot listen on %1:%2: %3").arg(m_config.host).arg(m_port).arg(m_server->errorString());
        return false;
    }
    m_port = m_server->serverPort(); // port 0 became a real one; "up" reuses it
    return true;
}

void SimulatedLogger::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (m_down) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_clients.insert(socket, FrameAssembler());
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
    const QByteArray reply = process(it.value(), socket->readAll(),
                                     QStringLiteral("tcp %1").arg(socket->peerPort()));
    if (!reply.isEmpty()) {
        socket->write(reply);
        socket->flush();
    }
}

QByteArray SimulatedLogger::process(FrameAssembler& assembler, const QByteArray& bytes, const QString& peer)
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
    QByteArray replies;
    for (const QByteArray& frame : frames) {
        framed += frame.size();
        trace(deaf ? "RX (ignored)" : "RX", frame.toHex(' '));
        if (deaf)
            continue;
        const QByteArray reply = m_instrument.handle(frame);
        trace(reply.isEmpty() ? "-- no reply" : "TX", reply.toHex(' '));
        replies.append(reply);
    }
    // Bytes that were neither framed nor left waiting were skipped as garbage.
    const int skipped = before + bytes.size() - framed - assembler.pending();
    if (skipped > 0)
        trace("skipped", QByteArray::number(skipped) + " byte(s) that form no frame");
    return replies;
}

double SimulatedLogger::silentRemaining() const
{
    const qint64 left = m_silentUntilMs - m_clock.elapsed();
    return left > 0 ? static_cast<double>(left) / 1000.0 : 0.0;
}

int SimulatedLogger::dropClients()
{
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
    const QByteArray reply = process(m_ptyAssembler, bytes, QStringLiteral("pty"));
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
void SimulatedLogger::closePty() {}

#endif

} // namespace sim
