#include "StoreWriter.h"

#include "ServerLink.h"
#include "SqlEngine.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QtDebug>

#include <atomic>

namespace Tool {

namespace {

// Scans written in one transaction after an outage: one round trip each
// would take minutes to catch up.
constexpr int kScansPerWrite = 200;

std::mutex g_WriterMutex;
std::unique_ptr<StoreWriter> g_Writer;

} // namespace

StoreWriter* StoreWriter::instance()
{
    std::lock_guard<std::mutex> lock(g_WriterMutex);
    return g_Writer.get();
}

void StoreWriter::startFor(const DatabaseSettings& settings)
{
    stopShared();
    // Its thread's connection must close while Qt SQL still runs: with the
    // application at the latest, never in static destruction.
    static bool registered = false;
    if (!registered && QCoreApplication::instance()) {
        registered = true;
        qAddPostRoutine(&StoreWriter::stopShared);
    }
    std::lock_guard<std::mutex> lock(g_WriterMutex);
    g_Writer.reset(new StoreWriter(settings));
}

void StoreWriter::stopShared()
{
    std::unique_ptr<StoreWriter> old;
    {
        std::lock_guard<std::mutex> lock(g_WriterMutex);
        old.swap(g_Writer);
    }
}

StoreWriter::StoreWriter(const DatabaseSettings& settings) : m_settings(settings)
{
    static std::atomic<int> serial{0};
    m_connection = QStringLiteral("arq-writer-%1").arg(++serial);
    m_thread = std::thread([this] { run(); });
}

StoreWriter::~StoreWriter()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    if (!m_queue.empty())
        qWarning() << "store writer:" << m_queue.size() << "writes not stored at close (server out of reach)";
}

void StoreWriter::setTimings(int writeBudgetMs, int firstRetryMs, int maxRetryMs)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_writeBudgetMs = writeBudgetMs;
    m_firstRetryMs = firstRetryMs;
    m_maxRetryMs = maxRetryMs;
}

void StoreWriter::enqueue(Job job)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        job.id = m_nextId++;
        m_queue.push_back(std::move(job));
    }
    m_wake.notify_all();
}

void StoreWriter::addScan(const QList<Struct_ParametersData>& rows, QObject* context, std::function<void()> stored)
{
    if (rows.isEmpty())
        return;
    Job job;
    job.owner = context;
    job.context = context;
    job.rows = rows;
    job.stored = std::move(stored);
    job.time = rows.first().Time;
    enqueue(std::move(job));
}

void StoreWriter::addStatement(const QString& sql, const QVariantList& values, QObject* context)
{
    Job job;
    job.owner = context;
    job.sql = sql;
    job.values = values;
    enqueue(std::move(job));
}

StoreWriter::State StoreWriter::state() const
{
    std::lock_guard<std::mutex> lock(m_mutex);
    State s;
    s.depth = int(m_queue.size());
    for (const Job& job : m_queue) {
        if (job.rows.isEmpty())
            continue;
        if (!s.scans++)
            s.oldestScan = job.time;
    }
    s.failing = m_failing;
    s.setAside = m_setAside;
    s.connects = m_connects;
    return s;
}

bool StoreWriter::waitIdle(int ms, const QObject* context)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_idle.wait_for(lock, std::chrono::milliseconds(ms), [&] {
        for (const Job& job : m_queue)
            if (!context || job.owner == context)
                return false;
        return true;
    });
}

QList<QList<Struct_ParametersData>> StoreWriter::takeBack(const QObject* context)
{
    QList<QList<Struct_ParametersData>> scans;
    std::lock_guard<std::mutex> lock(m_mutex);
    for (auto it = m_queue.begin(); it != m_queue.end();) {
        if (it->owner != context) {
            ++it;
            continue;
        }
        if (!it->rows.isEmpty())
            scans << it->rows;
        it = m_queue.erase(it);
    }
    m_idle.notify_all();
    return scans;
}

void StoreWriter::logOutage(const QString& details)
{
    // Warning-log vocabulary, stored as is; written in turn once the server answers.
    Job job;
    job.id = m_nextId++;
    job.sql = QStringLiteral("insert into AuditLog values ( ?,?,?)");
    job.values = {QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                  QStringLiteral("数据库异常"), details};
    m_queue.push_back(std::move(job));
}

void StoreWriter::run()
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_connection);
        Sql::applyServerSettings(db, m_settings);
        int failures = 0;
        for (;;) {
            std::vector<Job> batch;
            {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_wake.wait(lock, [&] { return m_stop || !m_queue.empty(); });
                // At close a server out of reach is not waited for.
                if (m_queue.empty() || (m_stop && m_failing))
                    break;
                const bool scans = !m_queue.front().rows.isEmpty();
                for (const Job& job : m_queue) {
                    if (!batch.empty() && (!scans || job.rows.isEmpty() || m_single
                                           || int(batch.size()) >= kScansPerWrite))
                        break;
                    batch.push_back(job);
                }
            }
            bool dataError = false;
            const bool ok = write(batch, &dataError);
            std::unique_lock<std::mutex> lock(m_mutex);
            if (ok || (dataError && batch.size() == 1)) {
                if (!ok) {
                    // Refused for what it holds: retrying would block every later write.
                    ++m_setAside;
                    qWarning().noquote() << "store writer: a write the server refuses for its data is set aside:"
                                         << (batch.front().rows.isEmpty() ? batch.front().sql
                                                                          : batch.front().rows.first().Name
                                                                                + QLatin1Char(' ')
                                                                                + batch.front().time.toString(
                                                                                    QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")));
                }
                for (const Job& done : batch) {
                    for (auto it = m_queue.begin(); it != m_queue.end(); ++it) {
                        if (it->id != done.id)
                            continue;
                        if (ok && it->context && it->stored)
                            QMetaObject::invokeMethod(it->context, it->stored, Qt::QueuedConnection);
                        m_queue.erase(it);
                        break;
                    }
                }
                if (m_failing && ok) {
                    qWarning() << "store writer: the lab server answers again," << m_queue.size() << "writes waiting";
                    logOutage(QStringLiteral("实验室数据库服务器已恢复，暂存的%1项写入依次存入。").arg(m_queue.size()));
                }
                m_failing = false;
                m_single = false;
                failures = 0;
                m_idle.notify_all();
                continue;
            }
            if (dataError) {
                m_single = true; // find the one write refused
                continue;
            }
            if (!m_failing) {
                qWarning() << "store writer: the lab server does not answer;" << m_queue.size()
                           << "writes wait in memory";
                logOutage(QStringLiteral("实验室数据库服务器无响应，写入暂存内存（%1项）。").arg(m_queue.size()));
            }
            m_failing = true;
            const int pause = qMin(m_maxRetryMs, m_firstRetryMs << qMin(failures++, 10));
            m_wake.wait_for(lock, std::chrono::milliseconds(pause), [&] { return m_stop; });
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

bool StoreWriter::write(const std::vector<Job>& batch, bool* dataError)
{
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.isOpen() || Sql::serverConnectionBroken(db)) {
        db.close();
        QString why;
        if (!Sql::openWithin(db, m_settings, Sql::InteractiveBudgetMs, &why))
            return false;
        Sql::quietNotices(db);
        QSqlQuery pid(db);
        if (pid.exec(QStringLiteral("SELECT pg_backend_pid()")) && pid.next())
            m_pid = pid.value(0).toLongLong();
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_connects;
    }
    int budget;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        budget = m_writeBudgetMs;
    }
    const Sql::CallWatch watch(db, budget);
    auto failed = [&](const QString& state, const QString& text) {
        *dataError = state.startsWith(QLatin1String("22"));
        if (!*dataError)
            qWarning().noquote() << "store writer: write failed:" << text;
        db.rollback();
        if (!*dataError)
            db.close();
        return false;
    };
    if (!db.transaction())
        return failed(QString(), db.lastError().text());
    QList<Struct_ParametersData> rows;
    for (const Job& job : batch)
        rows << job.rows;
    if (!rows.isEmpty()) {
        QString state, text;
        if (!Sql::storeScanRows(db, rows, &state, &text))
            return failed(state, text);
    } else {
        QSqlQuery q(db);
        bool ran = q.prepare(batch.front().sql);
        for (const QVariant& v : batch.front().values)
            q.addBindValue(v);
        ran = ran && q.exec();
        if (!ran)
            return failed(q.lastError().nativeErrorCode(), q.lastError().text());
    }
    if (!Sql::commit(db)) {
        db.close();
        return false;
    }
    return true;
}

} // namespace Tool
