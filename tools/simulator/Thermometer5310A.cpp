#include "Thermometer5310A.h"

#include "Listen.h"

#include "Console.h"

#include <QFile>
#include <QHostAddress>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTime>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace sim {

namespace {

constexpr int kMaxFrames = 10000;

QString uuid16(const char* shortUuid)
{
    return QStringLiteral("0000%1-0000-1000-8000-00805f9b34fb").arg(QLatin1String(shortUuid));
}

struct Gatt
{
    const char* service;
    QList<QPair<const char*, int>> characteristics; // short UUID, properties
};

// Unrelated services first, and near misses (properties 18, 10) before the
// characteristics the program wants, so a loose choice shows.
const QList<Gatt>& gattTable()
{
    static const QList<Gatt> table = {
        {"1800", {{"2a00", 2}, {"2a01", 2}}},
        {"180f", {{"2a19", 18}}},
        {"ffe0", {{"ffe3", 18}, {"ffe4", 16}}},
        {"ffe5", {{"ffea", 10}, {"ffe9", 12}}},
    };
    return table;
}

const QString kNotifyCharacteristic = uuid16("ffe4");
const QByteArray kStart = QByteArray::fromHex("04050200");
const QByteArray kStop = QByteArray::fromHex("04050101");

int propertiesOf(const QString& service, const QString& characteristic)
{
    for (const Gatt& g : gattTable()) {
        if (uuid16(g.service) != service)
            continue;
        for (const auto& c : g.characteristics)
            if (uuid16(c.first) == characteristic)
                return c.second;
    }
    return -1;
}

QString addressText(quint8 a, quint8 b, quint8 c)
{
    return QStringLiteral("C0:53:10:%1:%2:%3")
        .arg(a, 2, 16, QLatin1Char('0'))
        .arg(b, 2, 16, QLatin1Char('0'))
        .arg(c, 2, 16, QLatin1Char('0'))
        .toUpper();
}

void putFloat(QByteArray& frame, int at, float value)
{
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (int i = 0; i < 4; ++i)
        frame[at + i] = static_cast<char>((bits >> (24 - 8 * i)) & 0xFF);
}

bool parseCount(const QString& text, int low, int high, int* out)
{
    bool ok = false;
    *out = text.toInt(&ok);
    return ok && *out >= low && *out <= high;
}

} // namespace

namespace thermo5310a {

quint8 xorOf(const QByteArray& bytes)
{
    quint8 sum = 0;
    for (char c : bytes)
        sum ^= static_cast<quint8>(c);
    return sum;
}

bool checksumOk(const QByteArray& command)
{
    return command.size() >= 2 && xorOf(command.left(command.size() - 1)) == static_cast<quint8>(command.back());
}

QByteArray readingFrame(double temperature, quint8 sequence, quint32 seconds)
{
    QByteArray f(24, '\0');
    f[0] = 0x17;
    f[1] = 0x05;
    f[2] = static_cast<char>(sequence);
    f[3] = 0x01; // probe channel
    for (int i = 0; i < 4; ++i)
        f[4 + i] = static_cast<char>((seconds >> (24 - 8 * i)) & 0xFF);
    f[8] = 87; // battery %
    f[9] = 0;  // unit °C
    putFloat(f, 10, static_cast<float>(100.0 * (1.0 + 0.00385 * temperature))); // Pt100 resistance
    f[14] = 0; // status: ok
    putFloat(f, 18, static_cast<float>(temperature));
    f[22] = static_cast<char>(xorOf(f.left(22)));
    f[23] = 0x0D;
    return f;
}

} // namespace thermo5310a

Thermometer5310A::Thermometer5310A(const InstrumentConfig& config, int index, QObject* parent)
    : QObject(parent), m_config(config), m_index(index),
      m_name(config.ble.name.isEmpty() ? default5310AName(index) : config.ble.name),
      m_address(addressText(0, static_cast<quint8>((123 + index) >> 8), static_cast<quint8>(123 + index))),
      m_rng(static_cast<quint32>(5310 + index))
{
    m_clock.start();
    m_signal.setSeed(static_cast<quint32>(53100 + index));
    m_signal.setNoise(config.noise);
    m_signal.setTimeConstant(0);
    m_signal.setFixed(config.temperature);
    m_timer = new QTimer(this);
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setInterval(qMax(1, static_cast<int>(std::lround(1000.0 * config.ble.timeScale))));
    connect(m_timer, &QTimer::timeout, this, &Thermometer5310A::tick);
}

Thermometer5310A::~Thermometer5310A() = default;

bool Thermometer5310A::start(QString* error)
{
    m_port = m_config.port;
    if (!listen(error))
        return false;
    m_timer->start();
    return true;
}

bool Thermometer5310A::listen(QString* error)
{
    if (!m_server) {
        m_server = new QTcpServer(this);
        connect(m_server, &QTcpServer::newConnection, this, &Thermometer5310A::onNewConnection);
    }
    // Port 0 becomes a real one; "up" reuses it.
    return listenOn(m_server, m_config.host, &m_port, error);
}

QStringList Thermometer5310A::listenLines() const
{
    if (m_server && m_server->isListening())
        return {QStringLiteral("LISTEN tcp %1:%2").arg(m_config.host).arg(m_port)};
    return {};
}

void Thermometer5310A::onNewConnection()
{
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (m_down) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        m_clients.insert(socket, Client());
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onData(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { onGone(socket); });
    }
}

void Thermometer5310A::onGone(QTcpSocket* socket)
{
    m_clients.remove(socket);
    if (m_owner == socket)
        release();
    socket->deleteLater();
}

void Thermometer5310A::release()
{
    m_owner = nullptr;
    m_measuring = false;
}

void Thermometer5310A::onData(QTcpSocket* socket)
{
    auto it = m_clients.find(socket);
    if (it == m_clients.end())
        return;
    it->buffer += socket->readAll();
    int nl;
    while ((nl = it->buffer.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(it->buffer.left(nl)).trimmed();
        it->buffer.remove(0, nl + 1);
        if (line.isEmpty())
            continue;
        if (m_trace)
            std::fprintf(stderr, "%s @%d RX %s\n", qPrintable(QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"))),
                         m_index + 1, qPrintable(line));
        send(socket, handle(socket, line));
        if (line.compare(QLatin1String("CLOSE"), Qt::CaseInsensitive) == 0) {
            socket->disconnectFromHost();
            return; // `it` may be gone
        }
        it = m_clients.find(socket);
        if (it == m_clients.end())
            return;
    }
}

void Thermometer5310A::send(QTcpSocket* socket, const QString& line)
{
    if (!socket || socket->state() != QAbstractSocket::ConnectedState)
        return;
    if (m_trace)
        std::fprintf(stderr, "%s @%d TX %s\n", qPrintable(QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz"))),
                     m_index + 1, qPrintable(line));
    socket->write(line.toUtf8() + '\n');
    socket->flush();
}

QString Thermometer5310A::handle(QTcpSocket* socket, const QString& line)
{
    const QStringList w = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const QString command = w.first().toUpper();
    if (command == QLatin1String("SCAN")) {
        int n = 0;
        auto advertise = [&](int type, const QString& address, const QString& name) {
            send(socket, QStringLiteral("ADV %1 %2 %2 %3").arg(type).arg(address, name));
            ++n;
        };
        for (int k = 0; k < (m_config.ble.twice ? 2 : 1); ++k)
            advertise(0, m_address, m_name);
        for (int k = 0; k < m_config.ble.foreign.size(); ++k)
            advertise(0, addressText(0xF0, static_cast<quint8>(m_index), static_cast<quint8>(k)), m_config.ble.foreign[k]);
        for (int k = 0; k < m_config.ble.nonConnectable.size(); ++k)
            advertise(3, addressText(0xE0, static_cast<quint8>(m_index), static_cast<quint8>(k)),
                      m_config.ble.nonConnectable[k]);
        return QStringLiteral("OK SCAN %1").arg(n);
    }
    if (command == QLatin1String("CONNECT")) {
        if (w.size() != 2)
            return QStringLiteral("ERROR usage: CONNECT <id>");
        if (w[1] != m_address)
            return w[1].startsWith(QLatin1String("C0:53:10:")) ? QStringLiteral("ERROR %1 does not accept connections").arg(w[1])
                                                               : QStringLiteral("ERROR unknown device %1").arg(w[1]);
        if (m_owner && m_owner != socket)
            return QStringLiteral("ERROR %1 is connected to another central").arg(m_name);
        m_owner = socket;
        send(socket, QStringLiteral("OK CONNECTED"));
        return QStringLiteral("STATUS connected");
    }
    if (command == QLatin1String("CLOSE")) {
        if (m_owner == socket)
            release();
        return QStringLiteral("OK CLOSE");
    }
    if (m_owner != socket)
        return QStringLiteral("ERROR not connected");
    if (command == QLatin1String("SERVICES")) {
        QStringList uuids;
        for (const Gatt& g : gattTable())
            uuids << uuid16(g.service);
        return QStringLiteral("OK ") + uuids.join(QLatin1Char(' '));
    }
    if (command == QLatin1String("CHARS") && w.size() == 2) {
        for (const Gatt& g : gattTable()) {
            if (uuid16(g.service) != w[1].toLower())
                continue;
            QStringList items;
            for (const auto& c : g.characteristics)
                items << QStringLiteral("%1:%2").arg(uuid16(c.first)).arg(c.second);
            return QStringLiteral("OK ") + items.join(QLatin1Char(' '));
        }
        return QStringLiteral("ERROR no service %1").arg(w[1]);
    }
    if (command == QLatin1String("NOTIFY") && w.size() == 3) {
        const int properties = propertiesOf(w[1].toLower(), w[2].toLower());
        if (properties < 0 || !(properties & 16))
            return QStringLiteral("ERROR %1 cannot notify").arg(w[2]);
        if (w[2].toLower() == kNotifyCharacteristic)
            m_clients[socket].notifying = true;
        return QStringLiteral("OK NOTIFY");
    }
    if (command == QLatin1String("WRITE") && w.size() == 4) {
        const int properties = propertiesOf(w[1].toLower(), w[2].toLower());
        if (properties < 0 || !(properties & (4 | 8)))
            return QStringLiteral("ERROR %1 is not writable").arg(w[2]);
        return writeCommand(socket, QByteArray::fromHex(w[3].toLatin1()));
    }
    return QStringLiteral("ERROR unknown command '%1'").arg(line);
}

QString Thermometer5310A::writeCommand(QTcpSocket*, const QByteArray& bytes)
{
    const bool good = thermo5310a::checksumOk(bytes);
    record(bytes, !good);
    if (!good) {
        ++m_badChecksums;
        return QStringLiteral("OK WRITE"); // written, but the instrument ignores it
    }
    const QByteArray body = bytes.left(bytes.size() - 1);
    if (body == kStart) {
        if (!m_measuring)
            m_timer->start(); // the first reading one period from now
        m_measuring = true;
    } else if (body == kStop) {
        m_measuring = false;
    }
    return QStringLiteral("OK WRITE");
}

void Thermometer5310A::record(const QByteArray& command, bool badChecksum)
{
    QString line = QStringLiteral("@%1 tcp %2:%3 %4")
                       .arg(m_index + 1)
                       .arg(m_config.host)
                       .arg(m_port)
                       .arg(QString::fromLatin1(command.toHex()));
    if (badChecksum)
        line += QStringLiteral(" (bad checksum)");
    m_frames.append(line);
    if (m_frames.size() > kMaxFrames)
        m_frames.removeFirst();
    if (m_record) {
        m_record->write(QTime::currentTime().toString(QStringLiteral("hh:mm:ss.zzz ")).toLatin1() + line.toLocal8Bit()
                        + '\n');
        m_record->flush();
    }
}

void Thermometer5310A::tick()
{
    if (!m_measuring || !m_owner || m_down || m_clock.elapsed() < m_silentUntilMs)
        return;
    if (!m_clients.value(m_owner.data()).notifying)
        return;
    const double t = now();
    double temperature = 0;
    if (m_source) {
        std::normal_distribution<double> noise(0.0, 1.0);
        temperature = m_source(t) + m_config.noise * noise(m_rng);
    } else {
        temperature = m_signal.sample(t);
    }
    QByteArray frame = thermo5310a::readingFrame(temperature, m_sequence++, static_cast<quint32>(t));
    if (m_garbage > 0) {
        --m_garbage;
        frame[0] = 0x16; // a frame of another kind
        frame[1] = 0x02;
    }
    sendFrame(frame);
}

void Thermometer5310A::sendFrame(QByteArray frame)
{
    QList<QByteArray> pieces;
    if (m_pieces <= 0) {
        std::uniform_int_distribution<int> cut(1, frame.size() - 1);
        const int at = cut(m_rng);
        pieces << frame.left(at) << frame.mid(at);
    } else {
        const int size = (frame.size() + m_pieces - 1) / m_pieces;
        for (int at = 0; at < frame.size(); at += size)
            pieces << frame.mid(at, size);
    }
    QPointer<QTcpSocket> owner = m_owner;
    for (const QByteArray& piece : qAsConst(pieces)) {
        const QString line = QStringLiteral("VALUE %1 %2").arg(kNotifyCharacteristic, QString::fromLatin1(piece.toHex()));
        if (m_slowMs <= 0) {
            send(owner, line);
        } else {
            QTimer::singleShot(m_slowMs, this, [this, owner, line] {
                if (owner && owner == m_owner)
                    send(owner, line);
            });
        }
    }
}

int Thermometer5310A::dropClients(bool linkLoss)
{
    const QList<QTcpSocket*> sockets = m_clients.keys();
    m_clients.clear();
    for (QTcpSocket* socket : sockets) {
        if (linkLoss && socket == m_owner)
            send(socket, QStringLiteral("STATUS disconnected"));
        socket->disconnect(this);
        socket->disconnectFromHost();
        socket->deleteLater();
    }
    release();
    return sockets.size();
}

bool Thermometer5310A::knows(const QString& command)
{
    static const QStringList commands = {
        QStringLiteral("drop"),   QStringLiteral("down"),    QStringLiteral("up"),     QStringLiteral("silent"),
        QStringLiteral("slow"),   QStringLiteral("split"),   QStringLiteral("garbage"), QStringLiteral("normal"),
        QStringLiteral("set"),    QStringLiteral("frames"),  QStringLiteral("status"), QStringLiteral("help"),
    };
    return commands.contains(command);
}

QStringList Thermometer5310A::execute(const QString& command, const QStringList& a)
{
    auto usage = [](const char* form) { return QStringList{QStringLiteral("ERROR usage: %1").arg(QLatin1String(form))}; };
    if (command == QLatin1String("help"))
        return {QStringLiteral("OK 5310A commands: drop | down | up | silent SECONDS | slow MS | split N | garbage N | "
                               "normal | set T | frames | status")};
    if (command == QLatin1String("drop")) {
        if (!a.isEmpty())
            return usage("drop");
        const bool linked = m_owner;
        const int n = dropClients(true);
        return {QStringLiteral("OK drop %1 connection(s)%2").arg(n).arg(linked ? QStringLiteral(", link lost") : QString())};
    }
    if (command == QLatin1String("down")) {
        if (!a.isEmpty())
            return usage("down");
        m_down = true;
        if (m_server)
            m_server->close();
        dropClients(true);
        return {QStringLiteral("OK down")};
    }
    if (command == QLatin1String("up")) {
        if (!a.isEmpty())
            return usage("up");
        QString error;
        if (!(m_server && m_server->isListening()) && !listen(&error))
            return {QStringLiteral("ERROR %1").arg(error)};
        m_down = false;
        return listenLines() << QStringLiteral("OK up");
    }
    if (command == QLatin1String("silent")) {
        bool ok = false;
        const double seconds = a.value(0).toDouble(&ok);
        if (a.size() != 1 || !ok || !(seconds >= 0))
            return usage("silent SECONDS");
        m_silentUntilMs = m_clock.elapsed() + static_cast<qint64>(seconds * 1000.0);
        return {QStringLiteral("OK silent %1 s").arg(seconds)};
    }
    if (command == QLatin1String("slow")) {
        int ms = 0;
        if (a.size() != 1 || !parseCount(a[0], 0, 600000, &ms))
            return usage("slow MILLISECONDS (0 … 600000)");
        m_slowMs = ms;
        return {QStringLiteral("OK slow %1 ms").arg(ms)};
    }
    if (command == QLatin1String("split")) {
        int pieces = 0;
        if (a.size() != 1 || !parseCount(a[0], 1, 24, &pieces))
            return usage("split PIECES (1 … 24)");
        m_pieces = pieces;
        return {QStringLiteral("OK split %1").arg(pieces)};
    }
    if (command == QLatin1String("garbage")) {
        int n = 0;
        if (a.size() != 1 || !parseCount(a[0], 0, 1000000, &n))
            return usage("garbage FRAMES");
        m_garbage = n;
        return {QStringLiteral("OK garbage %1 frame(s)").arg(n)};
    }
    if (command == QLatin1String("normal")) {
        m_silentUntilMs = 0;
        m_slowMs = 0;
        m_pieces = 0;
        m_garbage = 0;
        return {QStringLiteral("OK normal")};
    }
    if (command == QLatin1String("set")) {
        bool ok = false;
        const double t = a.value(0).toDouble(&ok);
        if (a.size() != 1 || !ok || !std::isfinite(t))
            return usage("set TEMPERATURE");
        m_source = nullptr;
        m_signal.setFixed(t);
        return {QStringLiteral("OK set %1").arg(t)};
    }
    if (command == QLatin1String("frames")) {
        QStringList lines;
        for (const QString& f : qAsConst(m_frames))
            lines << QStringLiteral("FRAME ") + f;
        m_frames.clear();
        lines << QStringLiteral("OK frames %1").arg(lines.size());
        return lines;
    }
    if (command == QLatin1String("status")) {
        QString state = m_down ? QStringLiteral("down") : QStringLiteral("up");
        const qint64 silent = m_silentUntilMs - m_clock.elapsed();
        if (silent > 0)
            state += QStringLiteral(", silent %1 s").arg(static_cast<double>(silent) / 1000.0, 0, 'f', 1);
        if (m_slowMs > 0)
            state += QStringLiteral(", slow %1 ms").arg(m_slowMs);
        if (m_pieces > 0)
            state += QStringLiteral(", split %1").arg(m_pieces);
        if (m_garbage > 0)
            state += QStringLiteral(", garbage %1").arg(m_garbage);
        return {QStringLiteral("@%1 5310A \"%2\" id %3 [tcp %4:%5] %6, %7, %8 client(s)")
                    .arg(m_index + 1)
                    .arg(m_name, m_address, m_config.host)
                    .arg(m_port)
                    .arg(state, m_owner ? (m_measuring ? QStringLiteral("connected, measuring")
                                                       : QStringLiteral("connected"))
                                        : QStringLiteral("not connected"))
                    .arg(m_clients.size()),
                QStringLiteral("    temperature %1 °C%2, %3 bad checksum(s)")
                    .arg(m_source ? m_source(now()) : m_signal.temperatureAt(now()), 0, 'f', 3)
                    .arg(m_source ? QStringLiteral(" (following a source)") : QString())
                    .arg(m_badChecksums),
                QStringLiteral("OK status")};
    }
    return {QStringLiteral("ERROR unknown command '%1' for a 5310A (try help)").arg(command)};
}

// ---- console over loggers and thermometers ----

MixedConsole::MixedConsole(CommandProcessor* loggers, const QList<int>& loggerIndexes,
                           const QList<Thermometer5310A*>& thermometers, const QList<int>& thermometerIndexes)
    : m_processor(loggers), m_loggerIndexes(loggerIndexes), m_thermometers(thermometers),
      m_thermometerIndexes(thermometerIndexes)
{
}

QString MixedConsole::execute(const QString& input, bool* quit)
{
    *quit = false;
    if (m_thermometers.isEmpty())
        return m_processor->execute(input, quit);
    QStringList words = input.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return QString();

    // The loggers' console numbers its loggers from 1; answers come back
    // with the instrument's number in the whole configuration.
    auto toLoggers = [&](const QString& line) {
        const QStringList lines = m_processor->execute(line, quit).split(QLatin1Char('\n'));
        QStringList out;
        static const QRegularExpression at(QStringLiteral("^@(\\d+) "));
        for (QString l : lines) {
            const QRegularExpressionMatch m = at.match(l);
            if (m.hasMatch() && !l.startsWith(QLatin1String("FRAME"))) {
                const int k = m.captured(1).toInt() - 1;
                if (k >= 0 && k < m_loggerIndexes.size())
                    l.replace(0, m.capturedLength(1) + 1, QStringLiteral("@%1").arg(m_loggerIndexes[k] + 1));
            }
            out << l;
        }
        return out;
    };

    if (words.first().startsWith(QLatin1Char('@'))) {
        bool ok = false;
        const int n = words.first().mid(1).toInt(&ok);
        const int total = m_loggerIndexes.size() + m_thermometerIndexes.size();
        if (!ok || n < 1 || n > total)
            return QStringLiteral("ERROR no instrument %1 (there are %2)").arg(words.first()).arg(total);
        words.removeFirst();
        if (words.isEmpty())
            return QStringLiteral("ERROR command missing after @%1").arg(n);
        const int t = m_thermometerIndexes.indexOf(n - 1);
        if (t >= 0)
            return m_thermometers[t]->execute(words.first().toLower(), words.mid(1)).join(QLatin1Char('\n'));
        const int k = m_loggerIndexes.indexOf(n - 1);
        return toLoggers(QStringLiteral("@%1 %2").arg(k + 1).arg(words.join(QLatin1Char(' ')))).join(QLatin1Char('\n'));
    }

    const QString command = words.first().toLower();
    const QStringList args = words.mid(1);
    if (command == QLatin1String("quit") || command == QLatin1String("exit")) {
        *quit = true;
        return QStringLiteral("OK quit");
    }
    // "set T" is the thermometers' form, "set CHANNEL T" the loggers'.
    const bool forThermometers = Thermometer5310A::knows(command) && !(command == QLatin1String("set") && args.size() != 1);
    const bool forLoggers = !m_loggerIndexes.isEmpty()
                            && !(command == QLatin1String("garbage") || (command == QLatin1String("set") && args.size() == 1));
    QStringList lines;
    QString last;
    if (forLoggers) {
        QStringList answer = toLoggers(input);
        last = answer.takeLast();
        lines << answer;
    }
    if (forThermometers) {
        for (Thermometer5310A* t : qAsConst(m_thermometers)) {
            QStringList answer = t->execute(command, args);
            const QString end = answer.takeLast();
            lines << answer;
            if (last.isEmpty() || end.startsWith(QLatin1String("ERROR")))
                last = end;
            else if (command == QLatin1String("help"))
                lines << end;
        }
    }
    if (!forLoggers && !forThermometers)
        last = QStringLiteral("ERROR unknown command '%1' (try help)").arg(words.first());
    if (command == QLatin1String("frames") && !last.startsWith(QLatin1String("ERROR")))
        last = QStringLiteral("OK frames %1").arg(lines.filter(QRegularExpression(QStringLiteral("^FRAME "))).size());
    lines << last;
    return lines.join(QLatin1Char('\n'));
}

} // namespace sim
