#pragma once

#include "TransferRules.h"

#include <QObject>

#include <atomic>
#include <functional>

// Reads an import or a download on a worker thread and stores its rows
// with the project records in one transaction, as they are read: memory
// stays flat however long the files are. The worker stores through a
// connection of its own: a day of three devices is a quarter of a million
// rows, too long for the GUI thread, and a connection may only be used by
// the thread that opened it. The GUI thread's connection stays untouched.
class TransferTask : public QObject
{
    Q_OBJECT
public:
    // Reads with the given progress, cancel flag and sink (the open transaction).
    using Reader = std::function<TransferRules::Outcome(const TransferRules::Progress&, const std::atomic<bool>*,
                                                        const TransferRules::RowSink&)>;

    explicit TransferTask(QObject* parent = nullptr);
    // Waits for a running worker (it is cancelled first, so nothing is stored).
    ~TransferTask() override;

    // `databasePath` is the file of the GUI thread's default connection.
    void start(Reader read, const QList<Tool::Struct_Parameters>& projects, const QString& databasePath);
    // From start() until the GUI thread received finished().
    bool running() const { return m_active; }

signals:
    // Percent done; -1 while the amount is not known yet.
    void progress(int percent);
    // Empty failure: stored. Otherwise the message to show; nothing stored.
    void finished(const QString& failure);

private:
    // On the worker: reads and stores; the failure to show, empty when stored.
    QString run(const Reader& read, const QList<Tool::Struct_Parameters>& projects, const QString& databasePath);

    bool m_active = false; // GUI thread only
    std::atomic<bool> m_running{false}; // the worker thread exists
    std::atomic<bool> m_cancel{false};
};
