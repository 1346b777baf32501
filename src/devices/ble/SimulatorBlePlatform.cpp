#include "SimulatorBlePlatform.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QHash>
#include <QPointer>
#include <QTcpSocket>
#include <QThread>

#include <atomic>
#include <mutex>
#include <deque>

namespace {

// One command waiting for its answer line.
struct Pending
{
    std::atomic<bool> done{false};
    std::mutex mutex;
    QString reply;                            // "OK …" / "ERROR …"
    std::function<void(const QString&)> then; // asynchronous callers; io thread
};

} // namespace

// One TCP connection to a simulator endpoint. The socket and the receive
// buffer belong to the io thread; the rest is shared and locked.
struct SimulatorBlePlatform::Channel : std::enable_shared_from_this<SimulatorBlePlatform::Channel>
{
    enum State { Connecting, Open, Closed };
    std::atomic<int> state{Connecting};
    BleThreadContext* context = nullptr;

    // io thread only
    QTcpSocket* socket = nullptr;
    QByteArray buffer;

    std::mutex mutex; // guards pending
    std::deque<std::shared_ptr<Pending>> pending;

    // Held while an event is delivered, so that after detach() returns no
    // callback runs any more.
    std::mutex eventMutex;
    std::function<void(const QString&)> onEvent;

    void post(std::function<void()> work)
    {
        context->post(std::move(work));
    }

    void deliver(const QString& event)
    {
        std::lock_guard<std::mutex> lock(eventMutex);
        if (onEvent)
            onEvent(event);
    }

    void detach()
    {
        std::lock_guard<std::mutex> lock(eventMutex);
        onEvent = nullptr;
    }

    static void finish(const std::shared_ptr<Pending>& p, const QString& reply)
    {
        std::function<void(const QString&)> then;
        {
            std::lock_guard<std::mutex> lock(p->mutex);
            p->reply = reply;
            then = std::move(p->then);
        }
        p->done = true;
        if (then)
            then(reply);
    }

    // io thread: the link is gone; nothing more will be answered.
    void closed(const QString& why)
    {
        if (state.exchange(Closed) == Closed)
            return;
        std::deque<std::shared_ptr<Pending>> left;
        {
            std::lock_guard<std::mutex> lock(mutex);
            left.swap(pending);
        }
        for (const auto& p : left)
            finish(p, QStringLiteral("ERROR ") + why);
        deliver(QStringLiteral("STATUS disconnected"));
    }

    // io thread
    void received()
    {
        buffer += socket->readAll();
        int nl;
        while ((nl = buffer.indexOf('\n')) >= 0) {
            const QString line = QString::fromUtf8(buffer.left(nl)).trimmed();
            buffer.remove(0, nl + 1);
            if (line.isEmpty())
                continue;
            if (line.startsWith(QLatin1String("OK")) || line.startsWith(QLatin1String("ERROR"))) {
                std::shared_ptr<Pending> p;
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    if (!pending.empty()) {
                        p = pending.front();
                        pending.pop_front();
                    }
                }
                if (p)
                    finish(p, line);
            } else {
                deliver(line);
            }
        }
    }

    // Sends a command; the answer completes the returned entry.
    std::shared_ptr<Pending> send(const QString& command, std::function<void(const QString&)> then = nullptr)
    {
        auto p = std::make_shared<Pending>();
        p->then = std::move(then);
        if (state.load() != Open) {
            finish(p, QStringLiteral("ERROR not connected"));
            return p;
        }
        // Queued and written on the io thread, so answers pair up with
        // commands whichever thread sent them.
        auto self = shared_from_this();
        post([self, p, command] {
            if (self->state.load() != Open || !self->socket) {
                finish(p, QStringLiteral("ERROR not connected"));
                return;
            }
            {
                std::lock_guard<std::mutex> lock(self->mutex);
                self->pending.push_back(p);
            }
            self->socket->write(command.toUtf8() + '\n');
            self->socket->flush();
        });
        return p;
    }

    // Blocking form of send: the answer, or an empty string on time-out.
    QString request(const QString& command, int timeoutMs = SimulatorBlePlatform::kReplyTimeoutMs)
    {
        const std::shared_ptr<Pending> p = send(command);
        if (!BlePlatform::waitUntil([&] { return p->done.load(); }, timeoutMs))
            return QString();
        std::lock_guard<std::mutex> lock(p->mutex);
        return p->reply;
    }

    // Ends the link from our side: no events from now on.
    void close(bool sayGoodbye)
    {
        detach();
        if (sayGoodbye && state.load() == Open)
            send(QStringLiteral("CLOSE"));
        auto self = shared_from_this();
        post([self] {
            if (self->socket) {
                QTcpSocket* s = self->socket;
                self->socket = nullptr;
                s->disconnect();
                s->disconnectFromHost();
                s->deleteLater();
            }
            // Whoever still waits for an answer learns at once (no events:
            // the callback is detached already).
            self->closed(QStringLiteral("closed"));
        });
    }
};

namespace {

bool parseEndpoint(const QString& text, QString* host, quint16* port)
{
    const QString t = text.trimmed();
    const int colon = t.lastIndexOf(QLatin1Char(':'));
    bool ok = false;
    const uint p = t.mid(colon + 1).toUInt(&ok);
    if (!ok || p == 0 || p > 65535)
        return false;
    *host = colon > 0 ? t.left(colon) : QStringLiteral("127.0.0.1");
    *port = static_cast<quint16>(p);
    return true;
}

QString endpointText(const QString& host, quint16 port)
{
    return host + QLatin1Char(':') + QString::number(port);
}

// The device connection: routes events to the status and value callbacks.
class SimulatorBleConnection : public BleConnection
{
public:
    struct Callbacks
    {
        std::mutex mutex;
        BlePlatform::StatusCallback status;
        QHash<QString, ValueCallback> values; // by characteristic UUID
    };

    SimulatorBleConnection(std::shared_ptr<SimulatorBlePlatform::Channel> channel, std::shared_ptr<Callbacks> callbacks)
        : m_Channel(std::move(channel)), m_Callbacks(std::move(callbacks))
    {
    }
    ~SimulatorBleConnection() override { close(); }

    static void dispatch(Callbacks& callbacks, const QString& event)
    {
        const QStringList words = event.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.size() == 2 && words[0] == QLatin1String("STATUS")) {
            BlePlatform::StatusCallback status;
            {
                std::lock_guard<std::mutex> lock(callbacks.mutex);
                status = callbacks.status;
            }
            if (status)
                status(words[1] == QLatin1String("connected"));
        } else if (words.size() == 3 && words[0] == QLatin1String("VALUE")) {
            ValueCallback value;
            {
                std::lock_guard<std::mutex> lock(callbacks.mutex);
                value = callbacks.values.value(words[1].toLower());
            }
            if (value)
                value(QByteArray::fromHex(words[2].toLatin1()));
        }
    }

    bool services(QStringList* uuids) override
    {
        const QString reply = m_Channel->request(QStringLiteral("SERVICES"));
        if (!reply.startsWith(QLatin1String("OK")))
            return false;
        *uuids = reply.split(QLatin1Char(' '), Qt::SkipEmptyParts).mid(1);
        return true;
    }

    bool characteristics(const QString& service, QList<BleCharacteristic>* out) override
    {
        const QString reply = m_Channel->request(QStringLiteral("CHARS ") + service);
        if (!reply.startsWith(QLatin1String("OK")))
            return false;
        out->clear();
        for (const QString& item : reply.split(QLatin1Char(' '), Qt::SkipEmptyParts).mid(1)) {
            const int colon = item.lastIndexOf(QLatin1Char(':'));
            bool ok = false;
            const int properties = item.mid(colon + 1).toInt(&ok);
            if (colon > 0 && ok)
                out->append({item.left(colon), properties});
        }
        return true;
    }

    bool enableNotifications(const QString& service, const QString& characteristic, ValueCallback onValue) override
    {
        {
            std::lock_guard<std::mutex> lock(m_Callbacks->mutex);
            m_Callbacks->values.insert(characteristic.toLower(), std::move(onValue));
        }
        const QString reply = m_Channel->request(QStringLiteral("NOTIFY %1 %2").arg(service, characteristic));
        if (reply.startsWith(QLatin1String("OK")))
            return true;
        std::lock_guard<std::mutex> lock(m_Callbacks->mutex);
        m_Callbacks->values.remove(characteristic.toLower());
        return false;
    }

    void write(const QString& service, const QString& characteristic, const QByteArray& bytes,
               WriteCallback done) override
    {
        m_Channel->send(QStringLiteral("WRITE %1 %2 %3").arg(service, characteristic, QString::fromLatin1(bytes.toHex())),
                        [done](const QString& reply) {
                            if (reply.startsWith(QLatin1String("OK")))
                                done(true, QString());
                            else
                                done(false, reply);
                        });
    }

    void close() override
    {
        if (m_Closed.exchange(true))
            return;
        {
            std::lock_guard<std::mutex> lock(m_Callbacks->mutex);
            m_Callbacks->status = nullptr;
            m_Callbacks->values.clear();
        }
        m_Channel->close(true);
    }

private:
    std::shared_ptr<SimulatorBlePlatform::Channel> m_Channel;
    std::shared_ptr<Callbacks> m_Callbacks;
    std::atomic<bool> m_Closed{false};
};

} // namespace

SimulatorBlePlatform::SimulatorBlePlatform() : m_Thread(new QThread), m_Context(new BleThreadContext)
{
    m_Thread->setObjectName(QStringLiteral("ble-simulator-io"));
    m_Context->moveToThread(m_Thread);
    m_Thread->start();
}

SimulatorBlePlatform::~SimulatorBlePlatform()
{
    // The sockets go on their own thread; the context once that has ended.
    m_Context->post([ctx = m_Context] { qDeleteAll(ctx->children()); });
    m_Thread->quit();
    m_Thread->wait();
    delete m_Context;
    delete m_Thread;
}

bool SimulatorBlePlatform::setEndpoints(const QString& text)
{
    QList<QPair<QString, quint16>> list;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        QString host;
        quint16 port = 0;
        if (!parseEndpoint(part, &host, &port))
            return false;
        list.append({host, port});
    }
    if (list.isEmpty())
        return false;
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Endpoints = list;
    return true;
}

QStringList SimulatorBlePlatform::endpoints() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    QStringList out;
    for (const auto& e : m_Endpoints)
        out << endpointText(e.first, e.second);
    return out;
}

BleAdapterStatus SimulatorBlePlatform::adapterStatus()
{
    // The simulator stands for the radio; an endpoint that is down only means
    // no device is in range.
    BleAdapterStatus status;
    status.state = BleAdapterStatus::Usable;
    return status;
}

std::shared_ptr<SimulatorBlePlatform::Channel>
SimulatorBlePlatform::openChannel(const QString& host, quint16 port, std::function<void(const QString&)> onEvent)
{
    auto channel = std::make_shared<Channel>();
    channel->context = m_Context;
    channel->onEvent = std::move(onEvent);
    Channel* ch = channel.get();
    // The socket's handlers hold the channel alive as long as it exists.
    channel->post([channel, host, port] {
        auto* socket = new QTcpSocket(channel->context);
        channel->socket = socket;
        Channel* c = channel.get();
        QObject::connect(socket, &QTcpSocket::connected, socket, [c] { c->state = Channel::Open; });
        QObject::connect(socket, &QTcpSocket::readyRead, socket, [c] { c->received(); });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, [channel] {
            channel->closed(QStringLiteral("link closed"));
            if (channel->socket) {
                channel->socket->deleteLater();
                channel->socket = nullptr;
            }
        });
        QObject::connect(socket, &QAbstractSocket::errorOccurred, socket, [channel](QAbstractSocket::SocketError) {
            if (channel->state.load() == Channel::Connecting) {
                channel->state = Channel::Closed;
                if (channel->socket) {
                    channel->socket->deleteLater();
                    channel->socket = nullptr;
                }
            }
        });
        socket->connectToHost(host, port);
    });
    BlePlatform::waitUntil([ch] { return ch->state.load() != Channel::Connecting; }, kConnectTimeoutMs);
    if (ch->state.load() != Channel::Open) {
        ch->close(false);
        return nullptr;
    }
    return channel;
}

bool SimulatorBlePlatform::discover(int ms, AdvertisementCallback onAdvertisement)
{
    QElapsedTimer timer;
    timer.start();
    const QList<QPair<QString, quint16>> list = [this] {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Endpoints;
    }();
    QList<std::shared_ptr<Channel>> scans;
    QList<std::shared_ptr<Pending>> answers;
    for (const auto& e : list) {
        const QString prefix = endpointText(e.first, e.second) + QLatin1Char('/');
        auto channel = openChannel(e.first, e.second, [prefix, onAdvertisement](const QString& event) {
            // ADV <type> <address> <id> <name…>
            const QStringList w = event.split(QLatin1Char(' '));
            if (w.size() < 4 || w[0] != QLatin1String("ADV"))
                return;
            BleAdvertisement adv;
            adv.type = w[1].toInt();
            adv.address = w[2];
            adv.id = prefix + w[3];
            adv.name = w.mid(4).join(QLatin1Char(' '));
            onAdvertisement(adv);
        });
        if (!channel)
            continue; // nothing in range there
        answers << channel->send(QStringLiteral("SCAN"));
        scans << channel;
    }
    // Advertisements keep coming for the whole scan window, as on a radio.
    BlePlatform::waitUntil([&] { return timer.elapsed() >= ms; }, ms + 10);
    BlePlatform::waitUntil(
        [&] {
            for (const auto& a : answers)
                if (!a->done.load())
                    return false;
            return true;
        },
        kReplyTimeoutMs);
    for (const auto& channel : scans)
        channel->close(false);
    return true;
}

std::unique_ptr<BleConnection> SimulatorBlePlatform::connect(const QString& id, StatusCallback onStatus,
                                                             QString* error)
{
    const int slash = id.indexOf(QLatin1Char('/'));
    QString host;
    quint16 port = 0;
    if (slash < 0 || !parseEndpoint(id.left(slash), &host, &port)) {
        if (error)
            *error = QStringLiteral("not a simulator device id: ") + id;
        return nullptr;
    }
    auto callbacks = std::make_shared<SimulatorBleConnection::Callbacks>();
    callbacks->status = std::move(onStatus);
    auto channel = openChannel(host, port, [callbacks](const QString& event) {
        SimulatorBleConnection::dispatch(*callbacks, event);
    });
    if (!channel) {
        if (error)
            *error = QStringLiteral("simulator %1 unreachable").arg(endpointText(host, port));
        return nullptr;
    }
    auto connection = std::make_unique<SimulatorBleConnection>(channel, callbacks);
    const QString reply = channel->request(QStringLiteral("CONNECT ") + id.mid(slash + 1));
    if (!reply.startsWith(QLatin1String("OK"))) {
        if (error)
            *error = reply.isEmpty() ? QStringLiteral("no answer to CONNECT") : reply;
        return nullptr; // the connection closes the channel
    }
    return connection;
}
