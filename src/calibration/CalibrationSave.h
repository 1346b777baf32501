#pragma once

#include "CalibrationMath.h"
#include "Records.h"

#include <QCoreApplication>
#include <QStringList>

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
    CalibrationMath::ChannelLists Channels; // calibrated channels per device position
    QList<Tool::Struct_AcquisitionDevice> Devices; // the three device entries

    CalibrationRun();
    int storedPoints() const { return CalibrationCriteria.size(); }
};

// The save step of a run: stores the run row, fits the coefficients of the
// run's kind and writes them into the stored channel configurations.
class CalibrationSave
{
    Q_DECLARE_TR_FUNCTIONS(CalibrationSave)
public:
    enum class Outcome { Saved, NoData, BatchMismatch, ChannelMismatch, FitFailed, UpdateFailed };

    static Outcome save(const CalibrationRun& run);
    static QString message(Outcome outcome);

    // The run's readings as point sets (pair i of each set is channel i).
    static Outcome pointSets(const CalibrationRun& run, QList<CalibrationMath::PointSet>& sets);
    // The fit of `mode` on `channels`; false for any other mode.
    static bool fit(const QString& mode, const QList<CalibrationMath::PointSet>& sets,
                    CalibrationMath::ChannelLists& channels);
    // Writes M, B and the seven coefficients of every calibrated channel into
    // the configuration of its device entry. Every configuration and channel
    // is looked up before the first write, so a missing one changes nothing.
    static bool UpdateChannelParameter(const CalibrationMath::ChannelLists& channels,
                                       const QList<Tool::Struct_AcquisitionDevice>& devices);
};
