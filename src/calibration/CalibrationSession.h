#pragma once

#include "CalibrationSave.h"

#include <QCoreApplication>
#include <QStringList>

#include <atomic>
#include <functional>
#include <mutex>

class Collection;
class Criteria;
class Field;

// What a calibration run does with its instruments, apart from any widget:
// connecting, programming the channels, driving the source through the
// points, waiting for stability, reading the batches against the reference
// and recording every measured point. The page sets it up on the GUI thread
// and runs its steps on worker threads; the steps report only through the
// hooks, which the page turns into queued signals.
class CalibrationSession
{
    Q_DECLARE_TR_FUNCTIONS(CalibrationSession)
public:
    struct Hooks
    {
        std::function<void(const QString&)> log;                   // a line for the log view
        std::function<void(const QString&, const QString&)> message; // a message box (title, text)
        std::function<void()> pointStored;                          // write the settings
        std::function<void()> save;                                 // run the save step
    };

    // Instruments of the run; owned by the page, null where not used.
    QList<Collection*> Devices{nullptr, nullptr, nullptr};
    QList<Tool::Struct_AcquisitionDevice> Entries; // the three device entries
    Field* Source = nullptr;
    Criteria* Reference = nullptr;
    QString SourceMode, SourceAddress, SourcePort;
    QString ReferenceMode, ReferenceAddress, ReferencePort;

    // Plan of the run.
    QString ChannelMode;
    CalibrationMath::ChannelLists Calibrated{{}, {}, {}};
    QList<double> SetTemperatures;
    QList<bool> ChangeLiquid;
    int DelayMinutes = 0;
    int ChannelMax = 1;
    int BatchCount = 1;

    // Flags shared between the page and its worker.
    std::atomic<bool> Running{false};
    std::atomic<bool> OperatorWait{false};
    std::atomic<bool> ManualBatchWait{false};
    std::atomic<double> ManualReference{0.0};

    // Waits of the run (stability, delay) are real time times this factor;
    // tests shrink it. Driver waits are not affected.
    std::atomic<double> TimeScale{1.0};

    Hooks hooks;

    // --- run data (guarded: the worker appends while the GUI thread saves) ---
    // Points measured so far.
    int storedPoints() const;
    QStringList criteria() const;
    QList<QStringList> data() const;
    void setRunData(const QStringList& criteria, const QList<QStringList>& data);
    // Records point a (0-based): replaces an existing entry or appends.
    void storePoint(int a, const QString& references, const QStringList& batches);

    // --- steps, run on a worker ---
    // Opens every instrument and programs the calibrated channels; on failure
    // the text to show.
    bool connectAll(QString* failure);
    // The automatic run over the points after the stored ones; the final text.
    QString automaticRun();
    // One point of manual mode, batch by batch; false with a message shown.
    bool manualPoint(int a, const std::function<void(int nextBatch)>& batchDone);
    // Closes every open instrument, logging each.
    void closeAll();

    // One scan of every device, device after device.
    bool readAll(QStringList& values);
    // Readings of batch b out of a whole scan.
    QStringList batchOf(const QStringList& values, int b) const;
    // Waits of `ms` milliseconds of run time (scaled).
    void wait(int ms) const;

private:
    enum class Step { Done, Aborted, Failed };
    Step stabilise(double t);
    Step delayWait();
    Step confirmSwap();
    Step measurePoint(int a, QString* failure);
    Step measureZeroPoint(int a, QString* failure);
    void logBatch(int b, const QString& reference, const QStringList& readings);
    void logPoint(int a);
    QStringList labels() const;
    void log(const QString& text) const;

    mutable std::mutex m_Mutex;
    QStringList m_Criteria;
    QList<QStringList> m_Data{{}, {}, {}, {}, {}, {}, {}, {}, {}};
};
