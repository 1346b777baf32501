#include "ServerLink.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QStringList>
#include <QThread>
#include <QVariant>
#include <QtDebug>

#ifdef ARQ_HAVE_LIBPQ
#include <libpq-fe.h>
#endif

#if defined(Q_OS_WIN)
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#endif

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <thread>

namespace Tool::Sql {

namespace {

// libpq's shortest connect_timeout, applied to each address in turn.
constexpr int kConnectStepMs = 2000;
constexpr int kLookupMs = 1000;

qint64 nowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

bool numericAddress(const QString& host)
{
    const QByteArray h = host.toLatin1();
    in6_addr a6;
    in_addr a4;
    return inet_pton(AF_INET, h.constData(), &a4) == 1 || inet_pton(AF_INET6, h.constData(), &a6) == 1;
}

// getaddrinfo on a thread of its own: a lookup that hangs (a DNS server out
// of reach) is left behind after `ms`, never waited for.
bool resolve(const QString& host, int ms, QStringList* addresses)
{
    struct State
    {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false;
        QStringList found;
    };
    auto state = std::make_shared<State>();
    const QByteArray name = host.toUtf8();
    std::thread([state, name] {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* result = nullptr;
        QStringList found;
        if (getaddrinfo(name.constData(), nullptr, &hints, &result) == 0) {
            for (addrinfo* p = result; p; p = p->ai_next) {
                char text[NI_MAXHOST];
                if (getnameinfo(p->ai_addr, static_cast<socklen_t>(p->ai_addrlen), text, sizeof text, nullptr, 0,
                                NI_NUMERICHOST) == 0
                    && !found.contains(QString::fromLatin1(text)))
                    found << QString::fromLatin1(text);
            }
            freeaddrinfo(result);
        }
        std::lock_guard<std::mutex> lock(state->mutex);
        state->found = found;
        state->finished = true;
        state->done.notify_all();
    }).detach();
    std::unique_lock<std::mutex> lock(state->mutex);
    if (!state->done.wait_for(lock, std::chrono::milliseconds(ms), [&] { return state->finished; }))
        return false;
    *addresses = state->found;
    return true;
}

// --- watchdog -----------------------------------------------------------------

int socketOf(const QSqlDatabase& db)
{
#ifdef ARQ_HAVE_LIBPQ
    const QVariant v = db.driver() ? db.driver()->handle() : QVariant();
    if (!v.isValid() || qstrcmp(v.typeName(), "PGconn*") != 0)
        return -1;
    PGconn* conn = *static_cast<PGconn* const*>(v.constData());
    return conn ? PQsocket(conn) : -1;
#else
    Q_UNUSED(db);
    return -1;
#endif
}

// A call waits for the server when it sent last and has not been sending
// for a while: an answer is due. A connection taking in a large result, or
// sending a large COPY, is not stalled.
bool awaitingAnswer(int fd)
{
#if defined(Q_OS_LINUX)
    tcp_info info{};
    socklen_t length = sizeof info;
    if (getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &length) != 0)
        return false; // not TCP (a local socket): never stalls on a network
    return info.tcpi_last_data_recv > info.tcpi_last_data_sent && info.tcpi_last_data_sent >= 500;
#else
    Q_UNUSED(fd);
    return true;
#endif
}

void cutSocket(int fd)
{
#if defined(Q_OS_WIN)
    ::shutdown(static_cast<SOCKET>(fd), SD_BOTH);
#else
    ::shutdown(fd, SHUT_RDWR);
#endif
}

struct Watched
{
    int fd = -1;
    qint64 deadline = 0;
    bool cut = false;
};

struct Watchdog
{
    std::mutex mutex;
    std::map<int, Watched> calls;
    int nextId = 1;
    bool running = false;
    // The GUI thread's default connection.
    Watched interactive;
    bool armed = false;
    bool connectFailed = false;
    bool hooked = false;
    int budget = 0;

    void ensureThread()
    {
        if (running)
            return;
        running = true;
        std::thread([this] { loop(); }).detach();
    }

    void loop()
    {
        for (;;) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            std::lock_guard<std::mutex> lock(mutex);
            const qint64 now = nowMs();
            auto check = [now](Watched& w, const char* what) {
                if (w.cut || w.fd < 0 || now < w.deadline || !awaitingAnswer(w.fd))
                    return false;
                cutSocket(w.fd);
                w.cut = true;
                qWarning() << "store: the lab server did not answer" << what << "in time; connection given up";
                return true;
            };
            for (auto& entry : calls)
                check(entry.second, "a write");
            if (armed && check(interactive, "an interactive call"))
                connectFailed = true;
        }
    }
};

Watchdog& watchdog()
{
    static Watchdog* dog = new Watchdog; // lives as long as its detached thread
    return *dog;
}

} // namespace

bool serverConnectOptions(const DatabaseSettings& settings, int budgetMs, QString* options, QString* error)
{
    QElapsedTimer clock;
    clock.start();
    QStringList o;
    if (!settings.options.isEmpty())
        o << settings.options;
    const QString host = settings.host;
    QStringList addresses;
    if (host.isEmpty() || host.startsWith(QLatin1Char('/')) || numericAddress(host)) {
        // A socket folder or an address: nothing to look up.
    } else if (!resolve(host, qMin(kLookupMs, budgetMs / 2), &addresses)) {
        if (error)
            *error = QStringLiteral("the name %1 was not resolved within %2 ms").arg(host).arg(qMin(kLookupMs, budgetMs / 2));
        return false;
    } else if (addresses.isEmpty()) {
        if (error)
            *error = QStringLiteral("the name %1 is unknown").arg(host);
        return false;
    }
    if (!addresses.isEmpty()) {
        const int left = budgetMs - int(clock.elapsed());
        const int count = qBound(1, left / kConnectStepMs, addresses.size());
        addresses = addresses.mid(0, count);
        QStringList hosts;
        for (int i = 0; i < count; ++i)
            hosts << host;
        // The name stays the host: TLS checks the certificate against it.
        o << QStringLiteral("host=%1").arg(hosts.join(QLatin1Char(',')))
          << QStringLiteral("hostaddr=%1").arg(addresses.join(QLatin1Char(',')));
    }
    // Ours come last: libpq takes the last value of a key given twice.
    o << QStringLiteral("connect_timeout=%1").arg(kConnectStepMs / 1000)
      << QStringLiteral("application_name=ARQ-310MX")
      << QStringLiteral("keepalives=1") << QStringLiteral("keepalives_idle=5")
      << QStringLiteral("keepalives_interval=2") << QStringLiteral("keepalives_count=3")
      << QStringLiteral("tcp_user_timeout=10000")
      // A statement, a lock held by another bench (an import) and a
      // transaction left open all end on the server by themselves.
      << QStringLiteral("options='-c statement_timeout=120000 -c lock_timeout=5000 "
                        "-c idle_in_transaction_session_timeout=60000'");
    *options = o.join(QLatin1Char(';'));
    return true;
}

bool openWithin(QSqlDatabase& db, const DatabaseSettings& settings, int budgetMs, QString* error)
{
    QString options, why;
    if (!serverConnectOptions(settings, budgetMs, &options, &why)) {
        if (error)
            *error = why;
        return false;
    }
    db.setConnectOptions(options);
    if (db.open())
        return true;
    if (error)
        *error = QStringLiteral("%1").arg(db.lastError().text());
    return false;
}

CallWatch::CallWatch(const QSqlDatabase& db, int budgetMs)
{
    const int fd = socketOf(db);
    if (fd < 0)
        return;
    Watchdog& dog = watchdog();
    std::lock_guard<std::mutex> lock(dog.mutex);
    dog.ensureThread();
    m_id = dog.nextId++;
    dog.calls[m_id] = Watched{fd, nowMs() + budgetMs, false};
}

CallWatch::~CallWatch()
{
    if (!m_id)
        return;
    Watchdog& dog = watchdog();
    std::lock_guard<std::mutex> lock(dog.mutex);
    dog.calls.erase(m_id);
}

bool CallWatch::cut() const
{
    if (!m_id)
        return false;
    Watchdog& dog = watchdog();
    std::lock_guard<std::mutex> lock(dog.mutex);
    const auto it = dog.calls.find(m_id);
    return it != dog.calls.end() && it->second.cut;
}

void setInteractiveBudget(int ms)
{
    Watchdog& dog = watchdog();
    std::lock_guard<std::mutex> lock(dog.mutex);
    dog.budget = ms;
}

int interactiveBudget()
{
    Watchdog& dog = watchdog();
    std::lock_guard<std::mutex> lock(dog.mutex);
    return dog.budget;
}

void watchInteractiveCall(const QSqlDatabase& db)
{
    Watchdog& dog = watchdog();
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() != app->thread())
        return;
    const int fd = socketOf(db);
    std::lock_guard<std::mutex> lock(dog.mutex);
    if (dog.budget <= 0)
        return;
    if (!dog.hooked) {
        if (QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance()) {
            dog.hooked = true;
            // The event loop waits for the next event: the user's action is over.
            QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, [] {
                Watchdog& d = watchdog();
                std::lock_guard<std::mutex> l(d.mutex);
                d.armed = false;
                d.connectFailed = false;
            });
        }
    }
    dog.ensureThread();
    if (!dog.armed) {
        dog.armed = true;
        dog.interactive.deadline = nowMs() + dog.budget;
        dog.interactive.cut = false;
    }
    if (dog.interactive.fd != fd) {
        dog.interactive.fd = fd;
        dog.interactive.cut = false;
    }
}

int interactiveTimeLeft()
{
    Watchdog& dog = watchdog();
    std::lock_guard<std::mutex> lock(dog.mutex);
    if (!dog.armed)
        return dog.budget;
    return int(qMax<qint64>(0, dog.interactive.deadline - nowMs()));
}

void markInteractiveConnectFailed()
{
    Watchdog& dog = watchdog();
    std::lock_guard<std::mutex> lock(dog.mutex);
    if (dog.armed)
        dog.connectFailed = true;
}

bool interactiveConnectFailed()
{
    Watchdog& dog = watchdog();
    std::lock_guard<std::mutex> lock(dog.mutex);
    return dog.armed && dog.connectFailed;
}

void unwatchInteractive()
{
    Watchdog& dog = watchdog();
    std::lock_guard<std::mutex> lock(dog.mutex);
    dog.interactive.fd = -1;
}

} // namespace Tool::Sql
