#pragma once

// The lab server's writer: scan rows, audit lines, end-time updates and the
// other writes an acquisition makes go into one queue that a thread of its
// own writes, in order, on a connection of its own. The GUI thread only
// queues, so a server out of reach never holds the window or the instrument
// links; the queue waits and is written once the server answers.

#include "DatabaseSettings.h"
#include "Records.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantList>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

class QObject;

namespace Tool {

class StoreWriter
{
public:
    // The writer of the server the default connection is on; null on SQLite.
    static StoreWriter* instance();
    // Started by the store when it opens a server, stopped when it closes.
    static void startFor(const DatabaseSettings& settings);
    static void stopShared();

    explicit StoreWriter(const DatabaseSettings& settings);
    ~StoreWriter();
    StoreWriter(const StoreWriter&) = delete;
    StoreWriter& operator=(const StoreWriter&) = delete;

    // One scan's rows (every project's), stored in one transaction; a scan
    // stored before (an answer lost after COMMIT) is not stored again.
    // `stored` runs on `context`'s thread once committed.
    void addScan(const QList<Struct_ParametersData>& rows, QObject* context = nullptr,
                 std::function<void()> stored = {});
    // A statement with its values bound, in order with the scans.
    void addStatement(const QString& sql, const QVariantList& values, QObject* context = nullptr);

    struct State
    {
        int depth = 0;         // writes waiting
        int scans = 0;         // of them scans
        QDateTime oldestScan;  // the oldest scan not stored
        bool failing = false;  // the last try failed (server away)
        int setAside = 0;      // writes the server refused for their data
        int connects = 0;      // connections opened
    };
    State state() const;
    // Waits up to `ms` until nothing queued by `context` is left.
    bool waitIdle(int ms, const QObject* context = nullptr);
    // The scans of `context` not stored yet, taken out of the queue; its
    // statements are dropped and its callbacks never run any more.
    QList<QList<Struct_ParametersData>> takeBack(const QObject* context);
    // The server's process of the writer's connection (0 before it connects).
    qint64 backendPid() const { return m_pid.load(); }
    // Bounds for tests: the longest wait for one write and the retry pause.
    void setTimings(int writeBudgetMs, int firstRetryMs, int maxRetryMs);

private:
    struct Job
    {
        quint64 id = 0;
        const QObject* owner = nullptr;
        QObject* context = nullptr;
        QList<Struct_ParametersData> rows; // a scan when not empty
        QString sql;
        QVariantList values;
        std::function<void()> stored;
        QDateTime time;
    };
    void run();
    bool write(const std::vector<Job>& batch, bool* dataError);
    void enqueue(Job job);
    // An outage or its end for the warning log (m_mutex held).
    void logOutage(const QString& details);

    DatabaseSettings m_settings;
    QString m_connection;
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_queue;
    quint64 m_nextId = 1;
    bool m_stop = false;
    bool m_failing = false;
    bool m_single = false;
    int m_setAside = 0;
    int m_connects = 0;
    int m_writeBudgetMs = 10000;
    int m_firstRetryMs = 500;
    int m_maxRetryMs = 5000;
    std::atomic<qint64> m_pid{0};
    std::thread m_thread;
};

} // namespace Tool
