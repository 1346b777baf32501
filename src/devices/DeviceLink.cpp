#include "DeviceLink.h"

#include "Device.h"
#include "HexFrame.h"

#include <QSerialPort>
#include <QTcpSocket>
#include <QTimer>
#include <QDebug>

namespace {
const QString kSerial = QStringLiteral("串口");
const QString kNetwork = QStringLiteral("网络");
// A register-protocol frame holds at most 256 bytes; received data beyond
// that without a matching CRC can no longer become a reply.
constexpr int kMaxHexFrame = 2 * 256;
}

DeviceLink::DeviceLink(std::atomic<bool>& flag, Framing framing, int connectTimeoutMs, QObject* parent)
    : QObject(parent), m_Open(flag), m_Framing(framing), m_ConnectTimeoutMs(connectTimeoutMs)
{
    // Emitted from the worker, these cross to this object's thread queued.
    connect(this, &DeviceLink::Open_signals, this, &DeviceLink::Open_slots);
    connect(this, &DeviceLink::Write_signals, this, &DeviceLink::Write_slots);
    connect(this, &DeviceLink::Close_signals, this, &DeviceLink::Close_slots);
}

DeviceLink::~DeviceLink()
{
    if (m_Serial) {
        if (m_Serial->isOpen()) {
            m_Serial->clear(QSerialPort::AllDirections);
            m_Serial->close();
        }
        delete m_Serial;
    }
    if (m_Socket) {
        m_Socket->disconnect(this);
        m_Socket->abort();
        delete m_Socket;
    }
    m_Open = false;
}

bool DeviceLink::hasReply()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return !ReplyQueue.isEmpty();
}

bool DeviceLink::takeLast(QString& reply)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (ReplyQueue.isEmpty())
        return false;
    reply = ReplyQueue.takeLast();
    return true;
}

bool DeviceLink::waitReply(QString& reply, int count, int intervalMs)
{
    for (int i = 0; i < count; ++i) {
        if (takeLast(reply)) {
            reply.remove(QLatin1Char('\r'));
            reply.remove(QLatin1Char('\n'));
            return true;
        }
        if (!m_Open)
            return false;
        Device::Delay(intervalMs);
    }
    return false;
}

bool DeviceLink::closeLink()
{
    if (!m_Open)
        return false;
    m_Open = false;
    emit Close_signals();
    return true;
}

void DeviceLink::dropReplies()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (!ReplyQueue.isEmpty())
        qWarning() << "dropping" << ReplyQueue.size() << "reply(ies) nobody waited for:" << ReplyQueue;
    ReplyQueue.clear();
    RxBuffer.clear();
}

void DeviceLink::abandonOpen()
{
    // Queued behind the Open_signals it answers: Close_slots finds the
    // attempt (or a connection that came in meanwhile) and releases it.
    m_Open = false;
    emit Close_signals();
}

QString DeviceLink::takeAll()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    QString text;
    while (!ReplyQueue.isEmpty())
        text += ReplyQueue.takeLast();
    return text;
}

int DeviceLink::queuedCount()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return ReplyQueue.size();
}

void DeviceLink::clearRxBuffer()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    RxBuffer.clear();
}

QString DeviceLink::rxBuffer()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return RxBuffer;
}

void DeviceLink::setAddressPrefix(const QString& prefix)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    AddressPrefix = prefix;
}

QString DeviceLink::addressPrefix()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return AddressPrefix;
}

void DeviceLink::Open_slots(QString mode, QString address, int port)
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        RxBuffer.clear();
        ReplyQueue.clear();
    }
    // Objects left by an earlier failed attempt go first.
    releaseSocket();
    if (m_Serial && !m_Serial->isOpen()) {
        delete m_Serial;
        m_Serial = nullptr;
    }

    const bool serial = mode == kSerial || m_Framing == Framing::LineEndNoBlank;
    if (serial) {
        if (!m_Serial)
            m_Serial = new QSerialPort;
        m_Serial->setPortName(address);
        if (m_Serial->open(QIODevice::ReadWrite)) {
            m_Serial->setBaudRate(port, QSerialPort::AllDirections);
            m_Serial->setDataBits(QSerialPort::Data8);
            m_Serial->setParity(QSerialPort::NoParity);
            m_Serial->setStopBits(QSerialPort::OneStop);
            m_Serial->setFlowControl(QSerialPort::NoFlowControl);
            connect(m_Serial, &QSerialPort::readyRead, this, &DeviceLink::SerialReadData_slots,
                    Qt::UniqueConnection);
            m_LinkType = 1;
            m_Open = true;
        } else {
            qWarning() << "serial port" << address << "cannot be opened:" << m_Serial->errorString();
            if (m_Framing == Framing::LineEndNoBlank)
                m_Open = false;
        }
        return;
    }
    if (mode != kNetwork)
        return;
    if (port < 1 || port > 65535) {
        // Taken as a 16-bit number it would wrap to another port (70000 → 4464).
        qWarning() << "TCP port" << port << "out of range 1…65535; not connecting";
        return;
    }

    // The connection is awaited through signals, not waitForConnected, so
    // the GUI thread keeps running while the worker polls the open flag.
    m_Socket = new QTcpSocket;
    connect(m_Socket, &QTcpSocket::connected, this, &DeviceLink::connected_slots);
    connect(m_Socket, &QTcpSocket::disconnected, this, &DeviceLink::disconnected_slots);
    connect(m_Socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (m_LinkType != 2) {
            qWarning() << "TCP connection failed:" << error;
            releaseSocket();
        }
    });
    if (!m_ConnectTimer) {
        m_ConnectTimer = new QTimer(this);
        m_ConnectTimer->setSingleShot(true);
        connect(m_ConnectTimer, &QTimer::timeout, this, &DeviceLink::connectTimeout_slots);
    }
    m_ConnectTimer->start(m_ConnectTimeoutMs);
    m_Socket->connectToHost(address, static_cast<quint16>(port), QIODevice::ReadWrite,
                            QAbstractSocket::AnyIPProtocol);
}

void DeviceLink::connected_slots()
{
    if (!m_Socket)
        return;
    if (m_ConnectTimer)
        m_ConnectTimer->stop();
    connect(m_Socket, &QTcpSocket::readyRead, this, &DeviceLink::NetReadData_slots, Qt::UniqueConnection);
    m_LinkType = 2;
    m_Open = true;
}

void DeviceLink::connectTimeout_slots()
{
    if (m_Socket && m_LinkType != 2) {
        qWarning() << "TCP connection timed out after" << m_ConnectTimeoutMs << "ms";
        releaseSocket();
    }
}

void DeviceLink::disconnected_slots()
{
    // The peer went away: the socket is released and never used again; the
    // link reports closed so a later Open starts afresh.
    if (m_Socket) {
        qWarning() << "TCP peer closed the link";
        QTcpSocket* socket = m_Socket;
        m_Socket = nullptr;
        socket->disconnect(this);
        socket->deleteLater();
    }
    if (m_LinkType == 2) {
        m_LinkType = 0;
        m_Open = false;
    }
}

void DeviceLink::releaseSocket()
{
    if (m_ConnectTimer)
        m_ConnectTimer->stop();
    if (!m_Socket)
        return;
    QTcpSocket* socket = m_Socket;
    m_Socket = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    if (m_LinkType == 2) {
        m_LinkType = 0;
        m_Open = false;
    }
}

void DeviceLink::Write_slots(QString text)
{
    const bool hex = m_Framing == Framing::HexCrcHighFirst || m_Framing == Framing::HexCrcLowFirst;
    const QByteArray bytes = hex ? QByteArray::fromHex(text.toLatin1()) : text.toLatin1();
    if (m_LinkType == 1 && m_Serial) {
        m_Serial->write(bytes);
    } else if (m_LinkType == 2 && m_Socket) {
        m_Socket->write(bytes);
        m_Socket->flush();
    }
}

void DeviceLink::Close_slots()
{
    if (m_ConnectTimer)
        m_ConnectTimer->stop();
    if (m_LinkType == 1 && m_Serial) {
        m_Serial->clear(QSerialPort::AllDirections);
        m_Serial->close();
        delete m_Serial;
        m_Serial = nullptr;
    } else if (m_Socket) {
        QTcpSocket* socket = m_Socket;
        m_Socket = nullptr;
        socket->disconnect(this);
        socket->disconnectFromHost();
        socket->close();
        socket->deleteLater();
    }
    m_Open = false;
    m_LinkType = 0;
}

void DeviceLink::SerialReadData_slots()
{
    if (m_Serial)
        receive(m_Serial->readAll());
}

void DeviceLink::NetReadData_slots()
{
    if (m_Socket)
        receive(m_Socket->readAll());
}

void DeviceLink::receive(const QByteArray& bytes)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    const bool hex = m_Framing == Framing::HexCrcHighFirst || m_Framing == Framing::HexCrcLowFirst;
    if (hex) {
        RxBuffer += QString::fromLatin1(bytes.toHex());
    } else {
        // Text replies keep their line ends and tabs; other control bytes
        // (a NUL from line noise) are noise, and would reach stored values.
        QByteArray text;
        text.reserve(bytes.size());
        for (const char c : bytes)
            if (static_cast<unsigned char>(c) >= 0x20 || c == '\n' || c == '\r' || c == '\t')
                text.append(c);
        RxBuffer += QString::fromLatin1(text.constData(), text.size());
    }
    frameLocked();
}

void DeviceLink::frameLocked()
{
    switch (m_Framing) {
    case Framing::HexCrcHighFirst:
    case Framing::HexCrcLowFirst:
        if (!AddressPrefix.isEmpty() && !RxBuffer.startsWith(AddressPrefix, Qt::CaseInsensitive)) {
            RxBuffer.clear();
            return;
        }
        if (RxBuffer.size() >= 7 && HexFrame::crcMatches(RxBuffer, m_Framing == Framing::HexCrcHighFirst)) {
            ReplyQueue.append(RxBuffer);
            RxBuffer.clear();
        } else if (RxBuffer.size() > kMaxHexFrame) {
            // A noisy line between reads (nobody times out to clear the
            // buffer then) would otherwise grow it without end, and the CRC
            // over all of it is taken again on every chunk.
            qWarning() << "logger: dropping" << RxBuffer.size() / 2 << "received bytes that form no reply";
            RxBuffer.clear();
        }
        return;
    case Framing::Lines:
        for (int at = RxBuffer.indexOf(QLatin1Char('\n')); at >= 0; at = RxBuffer.indexOf(QLatin1Char('\n'))) {
            const QString line = RxBuffer.left(at + 1);
            RxBuffer.remove(0, at + 1);
            // A blank line carries no reply; dropping it keeps the lines
            // behind it flowing.
            if (line.trimmed().isEmpty())
                continue;
            ReplyQueue.prepend(line);
        }
        return;
    case Framing::LineEnd:
    case Framing::LineEndNoBlank:
        if (RxBuffer.endsWith(QLatin1Char('\n'))) {
            if (!(m_Framing == Framing::LineEndNoBlank && RxBuffer == QLatin1String("\n")))
                ReplyQueue.append(RxBuffer);
            RxBuffer.clear();
        }
        return;
    }
}
