#pragma once

#include "Records.h"
#include "SystemContext.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>

// Import from exported data files and the save of downloaded log files: the
// rows a project gets, computed without widgets or the database, so that the
// dialogs only show progress and outcome and the store is one transaction.
namespace TransferRules {

// Whole seconds from a to b, truncated toward zero (0.9 s apart is 0).
qint64 wholeSeconds(const QDateTime& a, const QDateTime& b);

// Called with (done, total) now and then: grid times for an import, bytes of
// the first working file for a save.
using Progress = std::function<void(qint64 done, qint64 total)>;

struct Outcome
{
    QString failure; // empty on success; the text the user is shown
    // Project by project per grid time; with a sink, only those it has not
    // taken yet.
    QList<Tool::Struct_ParametersData> rows;
    bool refused = false; // the sink refused rows: they could not be stored
    bool ok() const { return failure.isEmpty(); }
};

// Takes the rows read so far, a few thousand at a time and once at the end,
// so that a long run is stored as it is read instead of held whole. They are
// cleared after the call; false stops the read (Outcome::refused).
using RowSink = std::function<bool(const QList<Tool::Struct_ParametersData>& rows)>;

// The values of one grid time split among the projects: project p gets the
// values at columnMap[k] of every chosen channel k whose project is p, in
// chosen order. One row per project, all at `time`.
void appendRows(QList<Tool::Struct_ParametersData>& rows, const QStringList& projectNames,
                const QList<ChosenChannel>& chosen, const QList<int>& columnMap, const QStringList& values,
                const QDateTime& time);

// --- import from exported data files ----------------------------------------

struct ImportJob
{
    QList<Tool::Struct_AcquisitionDevice> devices;
    QList<Tool::Struct_ChannelConfig> configs;
    QList<ChosenChannel> chosen;
    QStringList projectNames;
    QStringList paths; // one data file per device
    QDateTime start, end;
    double scanInterval = 0; // seconds, the first device's
};

// The first device whose model has no data-file reader, or -1.
int deviceWithoutReader(const QList<Tool::Struct_AcquisitionDevice>& devices);
// Reads every file on the grid start, start + step, … < end (step = whole
// seconds of the scan interval). Any file missing a grid time fails the whole
// import. The readers are created and used on the calling thread.
Outcome importFiles(const ImportJob& job, const Progress& progress = {},
                    const std::atomic<bool>* cancel = nullptr, const RowSink& sink = {});

// --- save of downloaded log files --------------------------------------------

struct WorkingFilesJob
{
    QStringList paths; // one working file per device, device order
    QList<ChosenChannel> chosen;
    QStringList projectNames;
    QDateTime start, end;
    double scanInterval = 0; // seconds, the first device's
};

// Set when the run spans more than one scan interval; only then does a record
// after the end time end the data.
bool endFlag(const QDateTime& start, const QDateTime& end, double scanInterval);
// The instrument's trigger timer counts whole seconds: an interval it cannot
// keep would put the stored times off its records, so setting it is refused.
bool wholeSecondInterval(double scanInterval);
// Scans the logging run needs: whole seconds from start to end / interval, 0
// when the end is not after the start.
int triggerCount(const QDateTime& start, const QDateTime& end, double scanInterval);
// Lines the records of the working files up with the grid start + trunc(w × T).
Outcome readWorkingFiles(const WorkingFilesJob& job, const Progress& progress = {},
                         const std::atomic<bool>* cancel = nullptr, const RowSink& sink = {});

// What a download gave and what saving it would store: a download that ended
// early (a pause in the instrument's answer, a dropped link) still ends as
// "complete", and the save then stores a shorter span.
struct DownloadSummary
{
    QList<int> records;    // per working file: the records after its header
    QDateTime first, last; // the grid times the save would store; invalid for none
    QString failure;       // the save's message when it would store nothing
};
DownloadSummary summarize(const WorkingFilesJob& job);
// The last scan the instruments were set for (start + trunc((count − 1) × T)
// with the trigger count); invalid when they were set for none.
QDateTime plannedLastScan(const QDateTime& start, const QDateTime& end, double scanInterval);

} // namespace TransferRules
