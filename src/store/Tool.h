#pragma once

// The store: one free function per table operation on the default SQLite
// connection, plus a few utilities shared by the subsystems.
//
// Every value is bound to a prepared statement; the trace written to the log
// shows the statement with the values in place so a log reader sees what ran.

#include "DatabaseSettings.h"
#include "Records.h"

#include <functional>

#include <QVariantList>
#include <QVector>

#include <vector>

class QSqlDatabase;

namespace Tool {

// --- connection ----------------------------------------------------------

inline constexpr const char* DatabaseFileName = "ARQ-310MX.db3";

// Registers QSQLITE as the default connection on `path`, opens it, applies the
// connection settings and creates missing tables. False when it cannot be opened.
bool openDefaultDatabase(const QString& path = QString::fromLatin1(DatabaseFileName));
// The database "database.ini" in the working directory names: without the
// file, the SQLite file as openDefaultDatabase(). `error` says why not (never
// with the password); `used` gets the settings read.
bool openConfiguredDatabase(QString* error = nullptr, DatabaseSettings* used = nullptr);
// The lab's server as the default connection, its shared tables created when
// missing; this bench's own tables (settings, calibration page, devices) stay
// in the SQLite file `settings.file` on a second connection.
bool openServerDatabase(const DatabaseSettings& settings, QString* error = nullptr);
// The server the default connection is on; false on SQLite.
bool serverSettings(DatabaseSettings* settings);
// Closes and removes the default connection (and the local file's, if any).
void closeDefaultDatabase();
// The engine of the default connection.
Engine currentEngine();
// Connection settings for a long-running logger: WAL journal, full sync.
bool configureConnection(QSqlDatabase& db);
// Creates the six installed tables (and their indexes) when missing.
bool ensureSchema(QSqlDatabase& db);
QStringList installedTables();

// --- reads ---------------------------------------------------------------

bool getAcquisitionDevice(QList<Struct_AcquisitionDevice>& list, QString number);
bool getChannelConfig(QList<Struct_ChannelConfig>& list, QString name);
bool getChannelConfigMode(QList<Struct_ChannelConfig>& list, QString mode);
bool getAuditLog(QList<Struct_AuditLog>& list, QString start, QString end, QString type);
bool getParameters(QList<Struct_Parameters>& list, QString name);
// Projects whose name contains `text` literally (% and _ are not wildcards).
bool queryParameters(QList<Struct_Parameters>& list, QString text);
bool getParametersData(QList<Struct_ParametersData>& list, QString name);
// The same rows in compact form for views and reports: scan times (ms since
// the epoch, local time) and `channels` columns of values, one per channel of
// the project's channel list. A text that is no (finite) number, or a value
// missing from a short row, reads NaN; values beyond `channels` are ignored.
bool getParametersTable(const QString& name, int channels, QVector<qint64>* times,
                        QVector<QVector<double>>* columns);

// --- modifications ---------------------------------------------------------

bool addAcquisitionDevice(Struct_AcquisitionDevice device);
bool modifyAcquisitionDevice(Struct_AcquisitionDevice device);
bool deleteAcquisitionDevice(QString serialNumber);
bool addChannelConfig(Struct_ChannelConfig config);
bool modifyChannelConfig(Struct_ChannelConfig config);
bool deleteChannelConfig(QString name);
// The coefficients of `updated` written only while the stored nine lists
// are still those of `asRead`: a configuration another bench (or window)
// changed since it was read is never overwritten (Changed, nothing written).
enum class CoefficientWrite { Written, Changed, Failed };
CoefficientWrite modifyChannelConfigIf(const Struct_ChannelConfig& asRead, const Struct_ChannelConfig& updated);
bool addParameters(Struct_Parameters parameters);
enum class StoreOutcome { Stored, NameTaken, Failed };
// The project's record, refused (NameTaken) when the name is stored already,
// by this bench or another at the same moment.
StoreOutcome addProject(const Struct_Parameters& parameters);
bool UpdataParametersEndTime(QString name, QString start, QString end);
bool deleteParameters(QString name);
bool addParametersData(Struct_ParametersData data);
// Many rows in one transaction through one prepared statement; all or nothing.
// busyTimeoutMs >= 0 replaces the connection's wait for a lock held by
// another writer for this call only.
bool addParametersDataBulk(const QList<Struct_ParametersData>& rows, int busyTimeoutMs = -1);

// How bulk inserts reach SQLite. The fast path runs the statement on the
// QSQLITE driver's own sqlite3 handle through the SQLite library this
// program links; that is sound only when the driver plugin calls that very
// library (Debian: both use the system libsqlite3). Qt's Windows plugin
// carries its own copy of SQLite, and a handle of one copy must never reach
// the other. The fast path is taken only where the plugin's
// sqlite3_libversion() is provably ours; everywhere else rows go through
// Qt statements.
enum class BulkInsertPath { NativeHandle, QtStatements };
// The path for the connection (default connection when empty); decided
// once per process, as every QSQLITE connection uses the same plugin.
BulkInsertPath bulkInsertPath(const QString& connection = QString());
// For the benchmark: take the Qt statements even where the fast path is sound.
void forceQtStatementInserts(bool force);

// Whole projects (their records and rows) in one transaction on the named
// connection (the default one when empty): all or nothing, so a failure or a
// killed process leaves the database exactly as it was. A project whose name
// already has a record or rows is never touched: NameTaken, nothing stored,
// `takenName` says which. `progress` is told the rows stored so far every few
// thousand rows; returning false cancels (rolled back, Failed).
StoreOutcome addProjects(const QList<Struct_Parameters>& projects, const QList<Struct_ParametersData>& rows,
                         const QString& connection = QString(),
                         const std::function<bool(int stored)>& progress = {}, QString* takenName = nullptr);
// The same with rows made while they are stored: `produce` runs inside the
// transaction, after the name checks and the project records, and hands its
// rows to the inserter batch by batch (false: an insert failed or progress
// cancelled). It returns false to roll everything back (Failed). An
// exception thrown by `produce` rolls back and goes on to the caller.
using RowBatchInserter = std::function<bool(const QList<Struct_ParametersData>& rows)>;
StoreOutcome addProjects(const QList<Struct_Parameters>& projects,
                         const std::function<bool(const RowBatchInserter&)>& produce, const QString& connection,
                         const std::function<bool(int stored)>& progress = {}, QString* takenName = nullptr);

// Rows of `table` (values in the order of `columns`, spelled as the target
// needs them) into the open transaction of `db`: COPY on a server where the
// driver's libpq is this program's, prepared inserts otherwise. A null value
// is stored as NULL, everything else as its text.
// `sqlState` gets the SQLSTATE of a refusal.
bool copyRows(QSqlDatabase& db, const QString& table, const QStringList& columns, const QList<QVariantList>& rows,
              QString* sqlState = nullptr);

// A connection of its own to the database file at `path`, for a worker
// thread that stores a large import; opened and closed on that thread.
class WorkerConnection
{
public:
    explicit WorkerConnection(const QString& path);
    ~WorkerConnection();
    WorkerConnection(const WorkerConnection&) = delete;
    WorkerConnection& operator=(const WorkerConnection&) = delete;
    bool isOpen() const { return m_open; }
    QString name() const { return m_name; }

private:
    QString m_name;
    bool m_open = false;
};
bool deleteParametersData(QString name);
bool addChannelCalibrationData(Struct_ChannelCalibrationData data);
void addAuditLog(QString type, QString details);
bool deleteAuditLog(QString time);
// Removes exactly the entries with this time, type and details.
bool deleteAuditLogEntry(QString time, QString type, QString details);

// --- key/value tables ------------------------------------------------------

bool getSystemSet(QString name, QString& data);
// The same, but a missing key is inserted with `fallback` (a new database's default).
bool getSystemSet(QString name, QString& data, const QString& fallback);
bool getSystemSet(QString name, bool& data);
bool modifySystemSet(QString name, QString data);
bool modifySystemSet(QString name, bool data);
bool getChannelCalibration(QString name, QString& data);
bool getChannelCalibration(QString name, bool& data);
bool modifyChannelCalibration(QString name, QString data);
bool modifyChannelCalibration(QString name, bool data);

bool existChannelCalibration();
bool existChannelCalibrationData();
bool createChannelCalibration();
bool createChannelCalibrationData();

// --- utilities -------------------------------------------------------------

QString boolListToString(QList<bool> list);
QList<bool> stringToBoolList(QString text);
QStringList numberList(QList<double> values, int decimals);
QStringList unitPair(QStringList units);
QString unitQuantity(QString unit);
QStringList collectionModelList();
// Reference thermometers to offer: "KORVA 5310A" when the Bluetooth LE
// probe (set by the application from its platform layer) says the
// thermometer can be reached, then "手动".
QStringList criteriaList();
void setReferenceProbe(std::function<bool()> bleUsable);
QStringList fieldList();
QStringList serialPortList();
double sum(QList<double> values);
double powerSum(std::vector<double> x, int n, int p);
double powerProductSum(std::vector<double> x, std::vector<double> y, int n, int p);
// Blocks the calling thread for at least `ms` milliseconds (monotonic clock).
void delay(int ms);

// Escapes \, % and _ so `text` matches literally in LIKE ... ESCAPE '\'.
QString escapeLike(const QString& text);
// The statement as it ran: each '?' replaced by the quoted value.
QString traceStatement(const QString& sql, const QVariantList& values);

} // namespace Tool
