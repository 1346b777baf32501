#pragma once

#include "CalibrationSave.h"
#include "CalibrationStore.h"
#include "LabRecords.h"

#include <QElapsedTimer>

#include <QCoreApplication>
#include <QMap>
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
        // Asks the operator on the GUI thread and waits for the answer.
        std::function<bool(const QString& title, const QString& text)> confirm;
        std::function<void(const QString&)> audit; // a line for the audit log
        // Asks the operator to pick one of `choices` and waits; -1 without an answer.
        std::function<int(const QString& title, const QString& text, const QStringList& choices)> choose;
        std::function<void(const QString&)> status; // a passing state (the delay's countdown); empty clears
        std::function<void(int point)> pointSkipped; // set point `point` (0-based) left out of the run
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

    // Waits of the run (stability, delay, sampling) are real time times this
    // factor; tests shrink it. Driver waits are not affected. The run clock
    // (drift of the reference, the stability timeout) runs by the same factor.
    std::atomic<double> TimeScale{1.0};

    // How readings are taken; the defaults take one reading, as always.
    struct Options
    {
        int Samples = 1;               // readings per batch, 1 … 100
        double SampleInterval = 0;     // s between readings
        double MaxStdDev = 0;          // ℃, reference over the window; 0: not checked
        double MaxDrift = 0;           // ℃/min, reference over the window; 0: not checked
        int Retries = 0;               // windows sampled again before the run stops
        // Minutes the reference (and the channels) must be stable before a
        // batch is read; 0 judges the readings themselves, as before.
        double WindowMinutes = 10;
        // What a point that does not become stable gets when nobody is asked.
        enum class Unstable { Ask, Accept, Skip, Stop };
        Unstable OnUnstable = Unstable::Ask;
        double StableTimeout = 0;      // min the source may take to be stable; 0: no limit
        bool HasStandby = false;       // set the source to Standby when the run ends
        double Standby = 25;           // ℃
    };
    Options options;

    // The lab's reference records, read on the GUI thread before the run:
    // a reference whose serial number has an overdue record is refused once
    // connected (the built-in reference of a source is known only then).
    QList<Tool::Struct_ReferenceStandard> ReferenceRecords;
    QDate Today = QDate::currentDate();
    // With this set, an overdue reference is a warning the operator confirms
    // (the confirmation goes to the audit log) instead of a refusal.
    bool OverdueWarnOnly = false;
    // The refusal for a reference serial; empty when it may be used.
    QString overdueRefusal(const QString& serial) const;
    // The question that replaces the refusal in warning mode; empty when none is due.
    QString overdueQuestion(const QString& serial) const;
    // Refusal or, in warning mode, the operator's confirmation (asked through
    // `ask`, logged when given): empty when the reference may be used.
    // `audit` gets the log line (the store is written on the GUI thread only).
    QString checkOverdue(const QString& serial, const std::function<bool(const QString&)>& ask,
                         const std::function<void(const QString&)>& audit) const;
    // Serial numbers of the reference and the source as they answered at
    // connection (read only when the lab keeps records); empty otherwise.
    QString referenceSerial() const;
    QString sourceSerial() const;

    Hooks hooks;

    CalibrationSession() { m_Clock.start(); }

    // --- run data (guarded: the worker appends while the GUI thread saves) ---
    // Points measured so far.
    int storedPoints() const;
    QStringList criteria() const;
    QList<QStringList> data() const;
    void setRunData(const QStringList& criteria, const QList<QStringList>& data);
    // Records point a (0-based): replaces an existing entry or appends; its
    // sample statistics replace those the point had.
    void storePoint(int a, const QString& references, const QStringList& batches,
                    const QList<Tool::Struct_CalibrationSample>& samples = {});
    // Statistics of the readings measured in this session (StartTime empty).
    QList<Tool::Struct_CalibrationSample> samples() const;
    // Per point (0-based) the note of an unstable point the operator
    // accepted, and the longest time between a batch's two reference
    // readings around its channels (s).
    QMap<int, QString> notes() const;
    QMap<int, double> brackets() const;
    void setNotes(const QMap<int, QString>& notes, const QMap<int, double>& brackets);
    void clearSamples();
    // Minutes of run time since the session was made.
    double runMinutes() const;

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

    // Statistics of a series of values taken at run times `minutes`: the
    // standard deviation (n − 1) and the drift (least-squares slope per minute).
    static void statistics(const QList<double>& values, const QList<double>& minutes, double* mean, double* sd,
                           double* drift);

    // The stability window: standard deviation and drift (℃/min) of the
    // reference over it, and the largest drift of a channel (℃/min through
    // the channel's nominal sensitivity). Plain arithmetic for tests.
    struct Window
    {
        double sd = 0, drift = 0, channelDrift = 0;
        QString channel; // the channel with the largest drift
    };
    // ℃ per unit of a channel reading near `x` (1 for ℃, platinum and
    // thermistor nominal slopes for Ω).
    static double nominalSlope(const QString& type, double x);

private:
    enum class Step { Done, Aborted, Failed, Skipped };
    // One batch of point a: Samples readings of every channel and of the
    // reference, checked for stability; the means as the texts to store.
    Step measureBatch(int a, int b, bool manual, QString* reference, QString* readings,
                      QList<Tool::Struct_CalibrationSample>* stats, QString* failure);
    Step stabilise(double t, int a, QString* failure);
    void standby();
    Step delayWait();
    Step confirmSwap();
    Step measurePoint(int a, QString* failure);
    // Reads the window before batch b of point a; Done once stable (or
    // accepted, with `note`), Skipped, or Failed with the text.
    Step stableWindow(int a, int b, QString* note, QString* failure);
    bool judge(const Window& w) const;
    QString figures(const Window& w) const;
    void status(const QString& text) const;
    Step measureZeroPoint(int a, QString* failure);
    void logBatch(int b, const QString& reference, const QStringList& readings);
    void logPoint(int a);
    QStringList labels() const;
    void log(const QString& text) const;

    mutable std::mutex m_Mutex;
    QStringList m_Criteria;
    QList<QStringList> m_Data{{}, {}, {}, {}, {}, {}, {}, {}, {}};
    QList<Tool::Struct_CalibrationSample> m_Samples;
    QMap<int, QString> m_Notes;
    QMap<int, double> m_Brackets;
    QString m_ReferenceSerial, m_SourceSerial;
    QElapsedTimer m_Clock;
};
