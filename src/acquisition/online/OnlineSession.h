#pragma once

#include "Device.h"
#include "HeldRows.h"
#include "OnlineRules.h"
#include "Records.h"
#include "SystemContext.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>

class Collection;

// The engine of an online acquisition, free of widgets: it programs the
// devices on a set-up worker, stores the project records, waits for the start
// time, scans every device at the interval on an acquisition worker,
// reconnects, and on the GUI thread splits each scan by project and stores it.
//
// Threads: both workers are detached threads that touch only the drivers,
// the atomic flags and the queued *_signals below. The session never dies
// while a worker runs: its destructor raises the stop flag and waits (the
// event loop turning, so driver links keep working) until both have ended,
// and only then closes and deletes the drivers.
class OnlineSession : public QObject
{
    Q_OBJECT
public:
    enum Command { Stop = 0, Continue = 1, Finish = 2 };

    explicit OnlineSession(QObject* parent = nullptr);
    ~OnlineSession() override;

    // Takes the acquisition from the context and starts the set-up worker.
    void setContext(SystemContext* context);

    // Caption of a command state: "停止", "继续", "结束".
    static QString commandText(int command);
    int command() const { return m_CommandShown; }
    QString status() const { return m_Status; }

    // The user's stop (or terminate) decision. keepData false removes the
    // projects' Parameters and ParametersData rows.
    void requestStop(bool keepData);
    // False for a run set up without "记录数据": scans are shown and checked
    // against the alarm limits but neither projects nor scans are stored.
    bool recording() const { return m_Recording; }
    // The user's "继续" during a manual reconnection: try the devices again.
    void resumeReconnect();

    bool workersRunning() const { return m_Workers.load() > 0; }
    bool stopRequested() const { return m_Stop.load(); }
    const QList<Tool::Struct_Parameters>& projects() const { return m_Projects; }
    const QList<ChosenChannel>& chosenChannels() const { return m_Chosen; }
    int intervalMs() const { return m_Interval; }
    QDateTime actualStart() const;
    QDateTime lastScanTime() const { return m_LastScan; }

    // Figures for runners and tests.
    int scansHandled() const { return m_ScansHandled; }
    int scansStored() const { return m_ScansStored; }
    int reconnections() const { return m_Reconnections; }
    int heldRows() const { return m_Held.rows(); }
    int heldScans() const { return m_Held.scans(); }
    // The side files holding the scans still held.
    QStringList heldFiles() const { return m_Held.sideFiles(); }
    int heldScansOnDisk() const { return m_Held.sideScans(); }
    int scansLost() const { return m_Held.lostScans(); }
    int storeAttempts() const { return m_StoreAttempts; }
    QString heldFilePath() const { return m_Held.sidePath(); }

    // Bounds of the rows held while the database refuses writes: scans kept
    // in memory before they move to the side file, scans per transaction,
    // the wait before the first and the longest retry, and the side file
    // (default: beside the database). Before setContext.
    void setHoldLimits(int memoryScans, int batchScans, int firstRetryMs, int maxRetryMs,
                       const QString& sideFile = QString());

signals:
    // Worker → GUI thread (queued).
    void SetDialog_signals();
    void SaveAuditLog_signals(QString details);
    void MessageBox_signals(QString title, QString text);
    void DataHandle_signals(int index, QStringList values);
    void Command_signals(int command);
    void Status_signals(QString text);

    // GUI-thread notifications for the dialog (or a headless runner).
    void setupFinished(bool ok);
    void commandChanged(int command);
    void statusChanged(QString text);
    void message(QString title, QString text);
    // One scan split by project: values[p] are project p's values.
    void scanSplit(QDateTime time, QList<QList<double>> values);
    // The rows of scan `index` are committed.
    void scanStored(int index, QDateTime time);

private slots:
    void SetDialog_slots();
    void SaveAuditLog_slots(QString details);
    void MessageBox_slots(QString title, QString text);
    void DataHandle_slots(int index, QStringList values);
    void Command_slots(int command);
    void Status_slots(QString text);

private:
    // Workers.
    void setupWorker();
    void acquisitionWorker();
    bool readScan(QStringList& scan, QString& failure);
    bool reconnect(QStringList& scan, QString& failure);
    bool openAll();
    void closeOpen();
    void setCommand(int command);
    void startWorker(void (OnlineSession::*work)());

    // GUI thread.
    void setStatus(const QString& text);
    void storeScan(int index, const QDateTime& time, const QList<Tool::Struct_ParametersData>& rows);
    bool flushHeld(bool all);
    void reportStoreFailure(const QString& why);
    void reportLoss();
    void keepHeldAtClose(const char* when);
    // The run ended with scans the database still refuses: they go to the
    // side file, stored at the next start, and the user is told.
    void keepHeld();

    SystemContext* m_Context = nullptr;
    QList<Tool::Struct_AcquisitionDevice> m_Devices;
    QList<Tool::Struct_ChannelConfig> m_Configs;
    QList<ChosenChannel> m_Chosen;
    QList<QList<Device::Channel>> m_ChannelSets;
    QList<Collection*> m_Drivers; // owned; deleted only after the workers ended
    QList<Tool::Struct_Parameters> m_Projects;
    QString m_Rate;
    int m_Interval = 1000;
    QDateTime m_Start;
    QDateTime m_End;
    QDateTime m_LastScan;

    std::atomic<bool> m_Stop{false};
    std::atomic<bool> m_ReconnectWait{false};
    std::atomic<int> m_Command{Stop};
    std::atomic<int> m_Workers{0};
    std::atomic<qint64> m_ActualStartMs{0};

    // GUI-thread state.
    int m_CommandShown = Stop;
    QString m_Status;
    bool m_Closing = false;
    bool m_ProjectsStored = false;
    bool m_Recording = true;

    bool m_Discarded = false;
    bool m_StoreFailing = false;
    bool m_FileMissingReported = false;
    bool m_StopFlushed = false;
    bool m_HeldReported = false;
    QString m_DatabasePath;
    int m_ScansHandled = 0;
    int m_ScansStored = 0;
    int m_Reconnections = 0;
    int m_StoreAttempts = 0;
    int m_LossShown = 0;

    // Scans whose rows could not be written yet, retried with later scans
    // (backing off on m_Clock) so a passing failure loses nothing.
    HeldRows m_Held;
    int m_HoldLimits[4] = {2000, 250, 1000, 30000};
    QString m_SideFile;
    QElapsedTimer m_Clock;
};
