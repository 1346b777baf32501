#pragma once

// What a calibration run keeps as evidence besides its run row: the
// statistics of every averaged reading, and every coefficient set a save
// wrote together with the set it replaced. Both tables are created on open
// when missing, so older databases and backups gain them.

#include "Records.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <memory>

class QSqlDatabase;

namespace Tool {
namespace Sql {
class TransactionMark;
}

// Statistics of the samples behind one stored reading (table CalibrationSamples).
// Channel is the channel label ("1_101") or "REF" for the batch's reference.
struct Struct_CalibrationSample
{
    QString StartTime; // the run
    int Point = 0;     // 1-based, measuring order
    int Batch = 0;     // 1-based
    QString Channel;
    int Count = 0;
    double Mean = 0;
    double StdDev = 0;
    double Min = 0;
    double Max = 0;
    QString FirstTime; // "yyyy-MM-dd hh:mm:ss.zzz"
    QString LastTime;
};

// The nine coefficient texts of a channel in configuration order:
// M, B, A/B0, B/B1, C/B2, D/B3, R0/C4, A4/C5, B4/C6.
using CoefficientSet = QStringList;

// One coefficient set written by a save (table CalibrationHistory).
struct Struct_CalibrationHistory
{
    qint64 Id = 0;
    QString SavedAt;   // "yyyy-MM-dd hh:mm:ss"
    QString Operator;  // the account that saved
    QString StartTime; // the run
    QString ChannelMode;
    QString ConfigName;
    QString ChannelNumber;
    QString Label;     // the channel's label in the run
    QString Reference; // the reference used
    int Points = 0;
    CoefficientSet NewSet;
    CoefficientSet OldSet;
    // Largest |residual| and |as-found error| in mK; NaN when there is none.
    double MaxResidual = 0;
    double MaxAsFound = 0;
    // Per point "t:x:residual:asfound:role:U:k" joined with ";" (role "fit" or
    // "check"; U and k empty without the lab's records).
    QString Residuals;
    // The run's evidence for a certificate, as JSON (table CalibrationEvidence):
    // the device and sensor, the reference and source records as they were,
    // and every point's budget. Empty for sets saved without it.
    QString Evidence;
};

// A certificate issued from a run (table Certificates); Data is its JSON.
struct Struct_Certificate
{
    QString Number;
    QString IssuedAt; // "yyyy-MM-dd hh:mm:ss"
    QString StartTime;
    QString ConfigName;
    QString Device; // position, model and serial number of the item
    QString Customer;
    QString Operator;
    QString Path;
    QString Data;
};

QStringList calibrationTables();
// Creates the evidence tables when missing.
bool ensureCalibrationSchema(QSqlDatabase& db);

// The rows of one transaction on the default connection; rolled back unless
// commit() succeeded.
class Transaction
{
public:
    Transaction();
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;
    bool isOpen() const { return m_open; }
    bool commit();

private:
    bool m_open = false;
    std::unique_ptr<Sql::TransactionMark> m_mark;
};

// Keys of table ChannelCalibration written as given (missing keys inserted).
bool putChannelCalibration(const QList<QPair<QString, QString>>& keys);
// Samples of a reading; a re-measured point replaces its rows.
bool addCalibrationSamples(const QList<Struct_CalibrationSample>& samples);
bool getCalibrationSamples(const QString& startTime, QList<Struct_CalibrationSample>& list);
// The calibration page's state of a point, its keys and the samples of its
// readings, in one transaction of the database that keeps the page's keys
// (the bench's file, also on a lab server). `getRunSamples` reads them from
// there; `shareRunSamples` copies a run's samples to the shared records, in
// the caller's transaction of the save (nothing to do on one bench file).
bool putRunState(const QList<QPair<QString, QString>>& keys, const QList<Struct_CalibrationSample>& samples);
bool getRunSamples(const QString& startTime, QList<Struct_CalibrationSample>& list);
bool shareRunSamples(const QString& startTime);
// `id` gets the new row's id; the evidence goes into its own table in the same transaction.
bool addCalibrationHistory(const Struct_CalibrationHistory& entry, qint64* id = nullptr);
// Every set a run's saves wrote, oldest first.
bool getCalibrationRunHistory(const QString& startTime, QList<Struct_CalibrationHistory>& list);
bool addCertificate(const Struct_Certificate& certificate);
bool getCertificates(QList<Struct_Certificate>& list);
// A channel's sets, oldest first.
bool getCalibrationHistory(const QString& config, const QString& channelNumber,
                           QList<Struct_CalibrationHistory>& list);
// Every (configuration, channel number) with a stored set.
bool getCalibrationHistoryChannels(QList<QPair<QString, QString>>& list);
// Writes the nine coefficient texts of one channel of a configuration.
bool modifyChannelCoefficients(const QString& config, const QString& channelNumber, const CoefficientSet& set);

// The range of validity (℃, lowest and highest fit point) of the set a
// channel of a configuration holds now, from the newest history entry that
// wrote it; false when no stored fit gives one.
bool validRange(const QString& config, const QString& channelNumber, double* low, double* high);

// An earlier set going back into a configuration: the history entry it comes
// from and the channel type and function it was fitted for (empty: unknown).
struct CoefficientRestore
{
    Struct_CalibrationHistory From;
    QString Type;
    QString Function;
};
enum class RestoreOutcome {
    Restored,
    ConfigChanged, // the configuration is no longer the one shown
    KindChanged,   // the channel's type or function changed since the set was fitted
    Missing,       // configuration or channel gone
    Failed
};
// One transaction: the coefficients, a history row per channel ("恢复自 …")
// and the audit line. `shown` are the configurations as the caller showed them.
RestoreOutcome restoreCoefficients(const QList<CoefficientRestore>& items, const QList<Struct_ChannelConfig>& shown,
                                   const QString& operatorName, const QString& savedAt);

} // namespace Tool
