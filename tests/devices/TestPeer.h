#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <atomic>
#include <functional>
#include <thread>

// Runs a driver call on a worker thread while this (GUI) thread keeps its
// event loop turning, as the pages do.
template <class F>
auto inWorker(F f) -> decltype(f())
{
    std::atomic<bool> done{false};
    decltype(f()) result{};
    std::thread worker([&] {
        result = f();
        done = true;
    });
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    worker.join();
    return result;
}

// Spins the event loop for a while (lets queued slots run).
inline void spin(int ms)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
}

// A TCP peer for the tests. In frame mode it cuts incoming register-protocol
// requests (03/06 are 8 bytes, 10 carries its byte count) and answers each
// through respond; in line mode it cuts at "\n".
class TestPeer : public QObject
{
public:
    enum class Mode { Register, Lines };

    explicit TestPeer(Mode mode = Mode::Register) : m_Mode(mode)
    {
        server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* s = server.nextPendingConnection()) {
                client = s;
                ++connections;
                QObject::connect(s, &QTcpSocket::readyRead, this, [this, s] { onData(s); });
            }
        });
    }

    QString port() const { return QString::number(server.serverPort()); }

    void send(const QByteArray& bytes)
    {
        if (client) {
            client->write(bytes);
            client->flush();
        }
    }

    void drop()
    {
        if (client)
            client->disconnectFromHost();
    }

    QTcpServer server;
    QTcpSocket* client = nullptr;
    int connections = 0;
    QList<QByteArray> requests; // one per cut request
    std::function<QByteArray(const QByteArray&)> respond;

private:
    void onData(QTcpSocket* s)
    {
        m_Buffer += s->readAll();
        for (;;) {
            int size = 0;
            if (m_Mode == Mode::Lines) {
                size = m_Buffer.indexOf('\n') + 1;
            } else if (m_Buffer.size() >= 8) {
                size = 8;
                if (static_cast<quint8>(m_Buffer.at(1)) == 0x10)
                    size = m_Buffer.size() >= 7 ? 9 + static_cast<quint8>(m_Buffer.at(6)) : 0;
            }
            if (size <= 0 || m_Buffer.size() < size)
                return;
            const QByteArray request = m_Buffer.left(size);
            m_Buffer.remove(0, size);
            requests << request;
            if (respond) {
                const QByteArray reply = respond(request);
                if (!reply.isEmpty()) {
                    s->write(reply);
                    s->flush();
                }
            }
        }
    }

    Mode m_Mode;
    QByteArray m_Buffer;
};
