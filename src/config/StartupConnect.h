#pragma once

#include <QObject>

struct SystemContext;

// Tests every registered acquisition device once, as its "测试" button on the
// registry page would, and enters those that pass into the connected-device
// list — for a bench that should be ready when the program opens (the
// demonstration bench starts the program with --connect-registered). The
// tests run one after another on a worker; the drivers live on this thread.
class StartupConnect : public QObject
{
    Q_OBJECT
public:
    explicit StartupConnect(SystemContext* context, QObject* parent = nullptr);
    ~StartupConnect() override;

    void start();
    bool isRunning() const { return m_running; }

signals:
    // Queued from the worker: one device's outcome.
    void Tested_signals(int index, bool ok, QString serialNumber);
    void finished();

private slots:
    void Tested_slots(int index, bool ok, QString serialNumber);

private:
    struct Entry;
    SystemContext* m_context = nullptr;
    QList<Entry*> m_entries;
    class QThread* m_worker = nullptr;
    bool m_running = false;
    int m_pending = 0;
};
