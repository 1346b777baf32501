#pragma once

#include "CalibrationMath.h"
#include "CalibrationStore.h"
#include "LabRecords.h"
#include "Records.h"
#include "UncertaintyBudget.h"

#include <QCoreApplication>
#include <QMap>
#include <QStringList>

#include <cmath>

// What the lab recorded about the run's standards, and the statistics of its
// readings: the inputs of each point's uncertainty budget.
struct BudgetInputs
{
    bool Enabled = false;
    bool HasReference = false;
    Tool::Struct_ReferenceStandard Reference;
    bool HasSource = false;
    Tool::Struct_SourceRecord Source;
    QList<Tool::Struct_ReadoutRecord> Readouts;
    QList<Tool::Struct_CalibrationSample> Samples; // of this run
    QDate At;                                      // the calibration date
};

// The data of one calibration run as the page holds them.
struct CalibrationRun
{
    QString StartTime;
    QString ChannelName; // configuration names, each followed by ","
    QString ChannelMode; // "热电偶", "铂电阻" or "热敏电阻"
    QStringList CollectionName; // the three device selector texts
    QStringList Labels;         // "1_101", … in calibration order
    QStringList CalibrationCriteria; // per point: batch references joined with ","
    QList<QStringList> CalibrationData; // per point (9): per batch readings joined with ","
    CalibrationMath::ChannelLists Channels; // calibrated channels per device position, as found
    QList<Tool::Struct_AcquisitionDevice> Devices; // the three device entries
    // The configurations as the run read them when it started: the save
    // writes only while they are unchanged (another bench may calibrate the
    // same configuration). Empty: as read by the save itself.
    QList<Tool::Struct_ChannelConfig> ConfigsAsRead;
    // Per point (measuring order): a fit point (true) or a check point;
    // missing entries are fit points.
    QList<bool> FitPoints;
    // Per point (0-based): the operator's note on a point accepted while the
    // reference was not stable, and the longest time between the two
    // reference readings around a batch's channels (s).
    QMap<int, QString> Notes;
    QMap<int, double> Brackets;
    QString Reference; // the reference used, for the history
    QString Operator;  // who saves
    BudgetInputs Budget;

    CalibrationRun();
    int storedPoints() const { return CalibrationCriteria.size(); }
};

// One point of a channel as the new and the old coefficients see it.
struct PointCheck
{
    int Point = 0;         // 1-based, measuring order
    double Reference = 0;  // ℃
    double Reading = 0;    // ℃ or Ω
    double Fitted = 0;     // ℃ from the new coefficients
    double ResidualMk = 0; // new − reference, mK
    double AsFoundMk = 0;  // old − reference, mK; NaN without old coefficients
    bool Check = false;    // a check point: not fitted, an independent test of the fit
    // Expanded uncertainty (℃, rounded to two significant digits) and its k;
    // NaN without lab records. Budget: "component=contribution" (℃) joined with ";".
    double U = std::nan("");
    double k = std::nan("");
    int Decimals = 0;
    QString Budget;
    QList<Uncertainty::Component> Components;
    Uncertainty::Result Combined;
};

struct ChannelCheck
{
    QString Label;
    QString Tag; // the channel's label in its configuration
    int Device = 0; // position 0 … 2
    QString Config;
    QString Number;
    Device::Channel Before;
    Device::Channel After;
    QList<PointCheck> Points;
    double MaxResidualMk = 0; // largest |residual|
    double MaxAsFoundMk = 0;  // largest |as-found error|; NaN without old coefficients
    CalibrationMath::FitStats Fit; // standard error, covariance and range of validity
};

// The save step of a run: fits the coefficients of the run's kind, shows
// how they match the points, and writes the run row, the coefficients and
// their history in one transaction.
class CalibrationSave
{
    Q_DECLARE_TR_FUNCTIONS(CalibrationSave)
public:
    enum class Outcome {
        Saved,
        NoData,
        BatchMismatch,
        ChannelMismatch,
        FitFailed,
        UpdateFailed,
        RunNotStored,
        ConfigChanged // changed since the run read it: nothing written
    };

    struct Report
    {
        Outcome outcome = Outcome::NoData;
        QString detail; // which channels and why, for a refused fit
        int fitPoints = 0;
        bool exact = false; // every channel's fit has as many points as coefficients
        CalibrationMath::ChannelLists fitted;
        QList<ChannelCheck> channels;
    };

    // Fits and checks without writing anything.
    static Report evaluate(const CalibrationRun& run);
    // Writes what `report` fitted: all or nothing.
    static Outcome write(const CalibrationRun& run, const Report& report);
    // evaluate, then write when the fit succeeded.
    static Outcome save(const CalibrationRun& run);
    static QString message(Outcome outcome);
    // The message with the refused channels and the reason after it.
    static QString message(const Report& report);

    // The run's readings as point sets (pair i of each set is channel i); a
    // reading that is no number is refused (FitFailed, `detail` says where).
    static Outcome pointSets(const CalibrationRun& run, QList<CalibrationMath::PointSet>& sets,
                             QString* detail = nullptr);
    // The fit of `mode` on `channels`; false for any other mode.
    static bool fit(const QString& mode, const QList<CalibrationMath::PointSet>& sets,
                    CalibrationMath::ChannelLists& channels, CalibrationMath::FitError* error = nullptr,
                    const QList<bool>& fitPoints = {}, QList<CalibrationMath::FitStats>* stats = nullptr);
    static QString reasonText(CalibrationMath::FitError::Reason reason);
    // Writes M, B and the seven coefficients of every calibrated channel into
    // the configuration of its device entry; devices sharing a configuration
    // are written in one update. Every configuration and channel is looked up
    // before the first write, so a missing one changes nothing.
    // Each configuration is written only while it is as `asRead` has it (or
    // as this call read it); `changed` tells a refusal for that reason.
    static bool UpdateChannelParameter(const CalibrationMath::ChannelLists& channels,
                                       const QList<Tool::Struct_AcquisitionDevice>& devices,
                                       const QList<Tool::Struct_ChannelConfig>& asRead = {}, bool* changed = nullptr);
    // The budget of one point of a channel (see BudgetInputs); fills U, k, Budget.
    static void budget(const CalibrationRun& run, const ChannelCheck& channel, int batch, PointCheck& point);
    // What a certificate needs of one channel, as JSON: the device, the sensor,
    // the reference and source records as they were, every point with its budget.
    static QString evidence(const CalibrationRun& run, const ChannelCheck& channel);
    // What a kind's fit needs of its points, for the operator.
    static QString pointRule(const QString& mode);
    // The set points and marks tried on ideal sensors of the run's functions:
    // empty when the fit would take them, otherwise the rule and the reason.
    static QString checkPlan(const QString& mode, const QStringList& functions, const QList<double>& temperatures,
                             const QList<bool>& fitPoints);
    // One line on a channel's fit: R0 under its exact name for a platinum
    // channel, the standard error s with ν = n − p, the range of validity.
    static QString fitSummary(const ChannelCheck& channel, const QString& mode);
    // "R(0.01 ℃)" for the ITS-90 function, "R(0 ℃)" for Callendar–Van Dusen.
    static QString r0Label(const Device::Channel& ch);
    // The nine coefficient texts of a channel as the configuration stores them:
    // M and B with 9 significant digits, which give back the 32-bit floats
    // the loggers are sent.
    static QStringList coefficientTexts(const Device::Channel& ch);
};
