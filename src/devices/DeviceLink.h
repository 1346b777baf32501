#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <mutex>

class QSerialPort;
class QTcpSocket;
class QTimer;

// The serial/TCP link of one driver. It lives on the thread that created it
// (the GUI thread); the driver's worker reaches it only through the queued
// *_signals, so QSerialPort and QTcpSocket are created, used and destroyed
// on that one thread. Received data is framed here and queued for the
// worker, which polls the open flag and the reply queue.
class DeviceLink : public QObject
{
    Q_OBJECT
public:
    enum class Framing {
        HexCrcHighFirst, // 3107A: hex text, CRC-16/MODBUS high byte first
        HexCrcLowFirst,  // 3108A: hex text, CRC-16/MODBUS low byte first
        Lines,           // 1586A: one reply per line, oldest first
        LineEnd,         // dry block: whole buffer once it ends with "\n"
        LineEndNoBlank,  // liquid bath: as LineEnd, a lone "\n" is dropped
    };

    // flag is the driver's open flag; communication gives the accepted link
    // kinds, first serial, then network.
    DeviceLink(std::atomic<bool>& flag, Framing framing, int connectTimeoutMs,
               QObject* parent = nullptr);
    ~DeviceLink() override;

    Framing framing() const { return m_Framing; }
    int LinkType() const { return m_LinkType.load(); }

    // Reply queue access for the worker (locked).
    bool hasReply();
    // Takes the newest reply (back of the queue); false when empty.
    bool takeLast(QString& reply);
    // Polls for a reply up to `count` times, `intervalMs` apart (each driver
    // has its own pace); the reply loses its line ends. Gives up early once
    // the link is closed, since nothing more can arrive.
    bool waitReply(QString& reply, int count, int intervalMs);
    // Reports the link closed at once (so an Open right after is accepted)
    // and asks the GUI thread to close it; false when it was not open.
    bool closeLink();
    // Drops every queued reply and any partial one (called before a new
    // question, so what arrives next belongs to it).
    void dropReplies();
    // The caller gave up waiting for Open: an attempt still under way on the
    // link's thread is cancelled, and the link reported closed.
    void abandonOpen();
    // Empties the queue into one text, last element first.
    QString takeAll();
    int queuedCount();
    void clearRxBuffer();
    QString rxBuffer();

    // Station filter of the hex protocols: while non-empty, received data
    // that does not begin with it is discarded.
    void setAddressPrefix(const QString& prefix);
    QString addressPrefix();

    // Frames received text; public so the framing can be exercised directly.
    void receive(const QByteArray& bytes);

signals:
    void Open_signals(QString mode, QString address, int port);
    void Write_signals(QString text);
    void Close_signals();

public slots:
    void Open_slots(QString mode, QString address, int port);
    void Write_slots(QString text);
    void Close_slots();
    void SerialReadData_slots();
    void NetReadData_slots();

private slots:
    void connected_slots();
    void connectTimeout_slots();
    void disconnected_slots();

private:
    void frameLocked();
    void releaseSocket();

    std::atomic<bool>& m_Open;
    const Framing m_Framing;
    const int m_ConnectTimeoutMs;
    std::atomic<int> m_LinkType{0};

    QSerialPort* m_Serial = nullptr;
    QTcpSocket* m_Socket = nullptr;
    QTimer* m_ConnectTimer = nullptr;

    // Guards everything below. A std::mutex, not a QMutex: QMutex locks inside
    // Qt's own (uninstrumented) library, where ThreadSanitizer cannot see it.
    std::mutex m_Mutex;
    QString RxBuffer;
    QStringList ReplyQueue;
    QString AddressPrefix;
};
