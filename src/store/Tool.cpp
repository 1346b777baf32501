#include "Tool.h"

#include "CalibrationStore.h"
#include "LabAdmin.h"
#include "LabRecords.h"
#include "ServerLink.h"
#include "SqlEngine.h"
#include "StoreWriter.h"

#include <QElapsedTimer>
#include <QSerialPortInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>
#include <QtDebug>

#ifdef ARQ_HAVE_LIBPQ
#include <libpq-fe.h>
#endif
#include <sqlite3.h>

#if defined(Q_OS_WIN)
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#elif defined(Q_OS_UNIX)
#include <dlfcn.h>
#endif

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <limits>
#include <memory>
#include <mutex>

namespace Tool {

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
const QString kScanTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz");
// How long a statement waits for a lock another connection holds.
const int kBusyTimeoutMs = 5000;

QString joinComma(const QStringList& list) { return list.join(QLatin1Char(',')); }
QStringList splitComma(const QString& text) { return text.split(QLatin1Char(','), Qt::KeepEmptyParts); }
QStringList splitSemicolon(const QString& text)
{
    return text.split(QLatin1Char(';'), Qt::KeepEmptyParts);
}

QString intervalText(double value) { return QString::number(value, 'g', 6); }

int toIntOrZero(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    return ok ? value : 0;
}

// Runs `sql` with `values` bound in order on the default connection.
bool run(QSqlQuery& query, const QString& sql, const QVariantList& values)
{
    if (!query.prepare(sql))
        return false;
    for (const QVariant& value : values)
        query.addBindValue(value);
    return query.exec();
}

// Where a statement runs: the shared records on the default connection, the
// bench's own tables (SystemSet, ChannelCalibration, AcquisitionDevice) on
// the local file's.
enum class Records { Shared, Local };

QSqlQuery queryOn(Records records)
{
    return records == Records::Local ? QSqlQuery(Sql::localDatabase()) : Sql::sharedQuery();
}

// A modifying statement: on success the trace word and the statement as it ran
// go to the log; failures log nothing (the caller reports them).
bool modify(const QString& sql, const QVariantList& values, const char* traceWord,
            Records records = Records::Shared)
{
    QSqlQuery query = queryOn(records);
    if (!run(query, sql, values))
        return false;
    if (traceWord)
        qDebug().noquote() << QString::fromUtf8(traceWord) + traceStatement(sql, values);
    return true;
}

// A reading statement; the failure text is logged when it does not run.
bool read(QSqlQuery& query, const QString& sql, const QVariantList& values, const char* failure)
{
    if (!run(query, sql, values)) {
        qDebug().noquote() << QString::fromUtf8(failure);
        return false;
    }
    return true;
}

QString placeholders(int count)
{
    QStringList marks;
    for (int i = 0; i < count; ++i)
        marks << QStringLiteral("?");
    return marks.join(QLatin1Char(','));
}

QString text(const QSqlQuery& q, int column) { return q.value(column).toString(); }

QString notNullText(const QString& text) { return text.isNull() ? QString(QLatin1String("")) : text; }

Struct_AcquisitionDevice deviceFromRow(const QSqlQuery& q)
{
    Struct_AcquisitionDevice d;
    d.Number = toIntOrZero(text(q, 0));
    d.Mode = text(q, 1);
    d.SerialNumber = text(q, 2);
    d.ScanInterval = text(q, 3).toDouble();
    d.ScanRate = text(q, 4);
    d.ChannelConfig = text(q, 5);
    d.SignalMode = text(q, 6);
    d.IP_COM = text(q, 7);
    d.Port_BaudRate = text(q, 8);
    return d;
}

Struct_ChannelConfig configFromRow(const QSqlQuery& q)
{
    Struct_ChannelConfig c;
    c.Name = text(q, 0);
    c.Time = text(q, 1);
    c.Mode = text(q, 2);
    c.Module = text(q, 3);
    c.Number = toIntOrZero(text(q, 4));
    c.ChannelNumber = splitComma(text(q, 5));
    c.Tag = splitComma(text(q, 6));
    c.Type = splitComma(text(q, 7));
    c.Function = splitComma(text(q, 8));
    c.Wire = splitComma(text(q, 9));
    c.MX_B_M = splitComma(text(q, 10));
    c.MX_B_B = splitComma(text(q, 11));
    c.A_C0 = splitComma(text(q, 12));
    c.B_C1 = splitComma(text(q, 13));
    c.C_C2 = splitComma(text(q, 14));
    c.D_C3 = splitComma(text(q, 15));
    c.R0_C4 = splitComma(text(q, 16));
    c.A4_C5 = splitComma(text(q, 17));
    c.B4_C6 = splitComma(text(q, 18));
    c.Unit = splitComma(text(q, 19));
    c.CompensationWay = text(q, 20);
    c.ColdJunctionTemp = text(q, 21);
    c.LowState = stringToBoolList(text(q, 22));
    c.Low = splitComma(text(q, 23));
    c.HightState = stringToBoolList(text(q, 24));
    c.Hight = splitComma(text(q, 25));
    return c;
}

Struct_Parameters parametersFromRow(const QSqlQuery& q)
{
    Struct_Parameters p;
    p.Name = text(q, 0);
    p.Time = text(q, 1);
    p.Start = text(q, 2);
    p.End = text(q, 3);
    p.DeviceNumber = splitComma(text(q, 4));
    p.DeviceMode = splitComma(text(q, 5));
    p.SerialNumber = splitSemicolon(text(q, 6));
    p.ScanInterval = text(q, 7);
    p.ScanRate = text(q, 8);
    p.SignalMode = splitComma(text(q, 9));
    p.IP_COM = splitComma(text(q, 10));
    p.Port_BaudRate = splitComma(text(q, 11));
    p.ChannelConfig = splitComma(text(q, 12));
    p.Channel = splitComma(text(q, 13));
    p.Unit = splitComma(text(q, 14));
    return p;
}

QVariantList projectValues(const Struct_Parameters& p)
{
    return {p.Name, p.Time, p.Start, p.End, joinComma(p.DeviceNumber), joinComma(p.DeviceMode),
            p.SerialNumber.join(QLatin1Char(';')), p.ScanInterval, p.ScanRate,
            joinComma(p.SignalMode), joinComma(p.IP_COM), joinComma(p.Port_BaudRate),
            joinComma(p.ChannelConfig), joinComma(p.Channel), joinComma(p.Unit)};
}

QVariantList parametersDataValues(const Struct_ParametersData& d)
{
    return {d.Name, d.Time.toString(kScanTimeFormat), joinComma(d.Data)};
}

bool readConfigs(QList<Struct_ChannelConfig>& list, const QString& sql, const QVariantList& values)
{
    QSqlQuery q = queryOn(Records::Shared);
    if (!read(q, sql, values, "查询ChannelConfig失败！"))
        return false;
    list.clear();
    while (q.next())
        list.append(configFromRow(q));
    return true;
}

bool readParameters(QList<Struct_Parameters>& list, const QString& sql, const QVariantList& values)
{
    QSqlQuery q = queryOn(Records::Shared);
    if (!read(q, sql, values, "查询Parameters失败！"))
        return false;
    list.clear();
    while (q.next())
        list.append(parametersFromRow(q));
    return true;
}

// Key/value read shared by SystemSet and ChannelCalibration: a missing key is
// inserted with its default and the default is returned.
bool readKey(const QString& table, const QString& name, const QString& fallback, QString& data)
{
    QSqlQuery q = queryOn(Records::Local);
    if (!run(q, QStringLiteral("select *from %1 where Name = ?").arg(table), {name}))
        return false;
    if (q.next()) {
        data = text(q, 1);
        return true;
    }
    QSqlQuery insert = queryOn(Records::Local);
    if (!run(insert, QStringLiteral("insert into %1 values (?,?)").arg(table), {name, fallback}))
        return false;
    data = fallback;
    return true;
}

// The server the default connection is on, for connections of other threads.
std::mutex g_ServerMutex;
std::unique_ptr<DatabaseSettings> g_Server;

void setServerInUse(const DatabaseSettings* settings)
{
    std::lock_guard<std::mutex> lock(g_ServerMutex);
    g_Server.reset(settings ? new DatabaseSettings(*settings) : nullptr);
}

bool serverInUse(DatabaseSettings* settings)
{
    std::lock_guard<std::mutex> lock(g_ServerMutex);
    if (g_Server)
        *settings = *g_Server;
    return g_Server != nullptr;
}

bool tableExists(const QString& name, Records records)
{
    const QSqlDatabase db = records == Records::Local ? Sql::localDatabase() : Sql::sharedDatabase();
    return Sql::tableExists(db, name);
}

} // namespace

namespace Sql {

void applyServerSettings(QSqlDatabase& db, const DatabaseSettings& settings)
{
    db.setHostName(settings.host);
    db.setPort(settings.port);
    db.setDatabaseName(settings.database);
    db.setUserName(settings.user);
    db.setPassword(settings.password);
}

void quietNotices(QSqlDatabase& db)
{
    QSqlQuery(db).exec(QStringLiteral("SET client_min_messages TO warning"));
}

} // namespace Sql

// --- connection ----------------------------------------------------------

QStringList installedTables()
{
    return {QStringLiteral("AcquisitionDevice"), QStringLiteral("ChannelConfig"),
            QStringLiteral("AuditLog"),          QStringLiteral("Parameters"),
            QStringLiteral("ParametersData"),    QStringLiteral("SystemSet")};
}

bool configureConnection(QSqlDatabase& db)
{
    // WAL keeps readers (reports, backups) from blocking the scan writer;
    // synchronous=FULL makes every committed scan survive a power cut.
    QSqlQuery q(db);
    bool ok = q.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    ok = q.exec(QStringLiteral("PRAGMA synchronous=FULL")) && ok;
    ok = q.exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(kBusyTimeoutMs)) && ok;
    return ok;
}

namespace {

// A scan is one row per project and scan time. A file written before the
// key may hold a scan stored twice (a retried write): the exact copies go,
// then the key is made. A file whose rows differ under one key keeps them
// all and stays without it (nothing of a user's data is thrown away).
void ensureScanKey(QSqlDatabase& db)
{
    QSqlQuery q(db);
    if (q.exec(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='index' AND name='ParametersData_Scan'"))
        && q.next())
        return;
    q.finish();
    if (!db.transaction())
        return;
    const bool made = q.exec(QStringLiteral("DELETE FROM ParametersData WHERE rowid NOT IN (SELECT min(rowid) FROM "
                                            "ParametersData GROUP BY Name, Time, Data)"))
                      && q.numRowsAffected() >= 0
                      && QSqlQuery(db).exec(QStringLiteral(
                          "CREATE UNIQUE INDEX ParametersData_Scan ON ParametersData(Name, Time)"));
    const int removed = made ? q.numRowsAffected() : 0;
    if (!made || !db.commit()) {
        db.rollback();
        qWarning() << "store: scans stored twice with different values; ParametersData stays without its scan key";
        return;
    }
    if (removed > 0)
        qWarning() << "store:" << removed << "scan rows stored twice removed (exact copies)";
}

} // namespace

bool ensureSchema(QSqlDatabase& db)
{
    if (Sql::isServer(db))
        return Sql::ensureServerSchema(db);
    static const char* const statements[] = {
        "CREATE TABLE IF NOT EXISTS AcquisitionDevice(Number TEXT, Mode TEXT, SerialNumber TEXT, "
        "ScanInterval TEXT, ScanRate TEXT, ChannelConfig TEXT, SignalMode TEXT, IP_COM TEXT, "
        "Port_BaudRate TEXT)",
        "CREATE TABLE IF NOT EXISTS ChannelConfig(Name TEXT, Time TEXT, Mode TEXT, Module TEXT, "
        "Number TEXT, ChannelNumber TEXT, Tag TEXT, Type TEXT, Function TEXT, Wire TEXT, "
        "[MX+B_M] TEXT, [MX+B_B] TEXT, A_C0 TEXT, B_C1 TEXT, C_C2 TEXT, D_C3 TEXT, R0_C4 TEXT, "
        "A4_C5 TEXT, B4_C6 TEXT, Unit TEXT, CompensationWay TEXT, ColdJunctionTemp TEXT, "
        "LowState TEXT, Low TEXT, HightState TEXT, Hight TEXT)",
        "CREATE TABLE IF NOT EXISTS AuditLog(Time TEXT, Type TEXT, Details TEXT)",
        "CREATE TABLE IF NOT EXISTS Parameters(Name TEXT, Time TEXT, Start TEXT, End TEXT, "
        "DeviceNumber TEXT, DeviceMode TEXT, SerialNumber TEXT, ScanInterval TEXT, ScanRate TEXT, "
        "SignalMode TEXT, IP_COM TEXT, Port_BaudRate TEXT, ChannelConfig TEXT, Channel TEXT, "
        "Unit TEXT)",
        "CREATE TABLE IF NOT EXISTS ParametersData(Name TEXT, Time TEXT, Data TEXT)",
        "CREATE TABLE IF NOT EXISTS SystemSet(Name TEXT PRIMARY KEY NOT NULL, Data TEXT)",
        // A day of scans is tens of thousands of rows per project: look them up by name.
        "CREATE INDEX IF NOT EXISTS ParametersData_Name ON ParametersData(Name)",
        "CREATE INDEX IF NOT EXISTS AuditLog_Time ON AuditLog(Time)",
    };
    QSqlQuery q(db);
    for (const char* sql : statements) {
        if (!q.exec(QString::fromUtf8(sql))) {
            qWarning().noquote() << "Schema statement failed:" << q.lastError().text();
            return false;
        }
    }
    ensureScanKey(db);
    return ensureCalibrationSchema(db) && ensureLabSchema(db);
}

void closeDefaultDatabase()
{
    StoreWriter::stopShared();
    Sql::unwatchInteractive();
    setServerInUse(nullptr);
    Sql::closeLocalDatabase();
    const QString name = QLatin1String(QSqlDatabase::defaultConnection);
    if (!QSqlDatabase::contains(name))
        return;
    {
        QSqlDatabase old = QSqlDatabase::database(name, false);
        old.close();
    }
    QSqlDatabase::removeDatabase(name);
}

bool openDefaultDatabase(const QString& path)
{
    closeDefaultDatabase();
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
    db.setDatabaseName(path);
    if (!db.open())
        return false;
    configureConnection(db);
    if (!ensureSchema(db)) {
        // A file that is not a database opens lazily and fails here.
        db.close();
        return false;
    }
    return true;
}

bool openServerDatabase(const DatabaseSettings& settings, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        closeDefaultDatabase();
        return false;
    };
    closeDefaultDatabase();
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        return fail(QStringLiteral("the PostgreSQL driver of Qt SQL (QPSQL, Debian: libqt5sql5-psql) is missing"));
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"));
    Sql::applyServerSettings(db, settings);
    QString why;
    if (!Sql::openWithin(db, settings, Sql::InteractiveBudgetMs, &why))
        return fail(settings.describe() + QStringLiteral(": ") + why);
    Sql::quietNotices(db);
    // A bench never changes the server's tables: their owner sets them up.
    const LabAdmin::Check check = LabAdmin::checkSchema(db);
    if (check.result != LabAdmin::Check::Usable)
        return fail(settings.describe() + QStringLiteral(": ") + LabAdmin::refusal(check));
    // The bench's own settings stay in its file.
    QSqlDatabase local = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QLatin1String(Sql::LocalConnectionName));
    local.setDatabaseName(settings.file);
    if (!local.open() || !configureConnection(local) || !ensureSchema(local))
        return fail(QStringLiteral("the local database %1 cannot be opened").arg(settings.file));
    qInfo().noquote() << "store: shared records on" << settings.describe() << "; this bench's own in" << settings.file;
    setServerInUse(&settings);
    StoreWriter::startFor(settings);
    return true;
}

bool openConfiguredDatabase(QString* error, DatabaseSettings* used)
{
    DatabaseSettings settings;
    if (!readDatabaseSettings(QString::fromLatin1(DatabaseSettingsFileName), &settings, error))
        return false;
    if (used)
        *used = settings;
    if (settings.engine == Engine::PostgreSQL)
        return openServerDatabase(settings, error);
    if (openDefaultDatabase(settings.file))
        return true;
    if (error)
        *error = QStringLiteral("%1 cannot be opened").arg(settings.file);
    return false;
}

bool serverSettings(DatabaseSettings* settings) { return serverInUse(settings); }

Engine currentEngine()
{
    return Sql::engineOf(QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false));
}

// --- reads ---------------------------------------------------------------

bool getAcquisitionDevice(QList<Struct_AcquisitionDevice>& list, QString number)
{
    QSqlQuery q = queryOn(Records::Local);
    bool ok = true;
    if (number.isEmpty()) {
        ok = read(q, QStringLiteral("select * from AcquisitionDevice"), {}, "查询AcquisitionDevice失败！");
    } else {
        // The number is compared as a number; anything else cannot name a device.
        bool isNumber = false;
        const qlonglong value = number.trimmed().toLongLong(&isNumber);
        if (!isNumber) {
            qDebug().noquote() << QStringLiteral("查询AcquisitionDevice失败！");
            return false;
        }
        ok = read(q, QStringLiteral("select * from AcquisitionDevice where CAST(Number AS INTEGER) = ?"),
                  {value}, "查询AcquisitionDevice失败！");
    }
    if (!ok)
        return false;
    list.clear();
    while (q.next())
        list.append(deviceFromRow(q));
    return true;
}

bool getChannelConfig(QList<Struct_ChannelConfig>& list, QString name)
{
    if (name.isEmpty())
        return readConfigs(list, QStringLiteral("select * from ChannelConfig"), {});
    return readConfigs(list, QStringLiteral("select * from ChannelConfig where Name = ?"), {name});
}

bool getChannelConfigMode(QList<Struct_ChannelConfig>& list, QString mode)
{
    return readConfigs(list, QStringLiteral("select * from ChannelConfig where Mode = ?"), {mode});
}

bool getAuditLog(QList<Struct_AuditLog>& list, QString start, QString end, QString type)
{
    QSqlQuery q = queryOn(Records::Shared);
    bool ok;
    if (start.isEmpty()) {
        ok = read(q, QStringLiteral("select *from AuditLog"), {}, "查询AuditLog失败！");
    } else {
        ok = read(q,
                  QStringLiteral("select * from AuditLog where (Time Between ? and ?) "
                                 "and Type like ? ESCAPE '\\'"),
                  {start, end, QStringLiteral("%") + escapeLike(type) + QStringLiteral("%")},
                  "查询AuditLog失败！");
    }
    if (!ok)
        return false;
    list.clear();
    while (q.next())
        list.append({text(q, 0), text(q, 1), text(q, 2)});
    return true;
}

bool getParameters(QList<Struct_Parameters>& list, QString name)
{
    if (name.isEmpty())
        return readParameters(list, QStringLiteral("select * from Parameters"), {});
    return readParameters(list, QStringLiteral("select * from Parameters where Name = ?"), {name});
}

bool queryParameters(QList<Struct_Parameters>& list, QString text)
{
    return readParameters(list, QStringLiteral("select * from Parameters where Name like ? ESCAPE '\\'"),
                          {QStringLiteral("%") + escapeLike(text) + QStringLiteral("%")});
}

bool getParametersData(QList<Struct_ParametersData>& list, QString name)
{
    QSqlQuery q = queryOn(Records::Shared);
    q.setForwardOnly(true);
    bool ok;
    if (name.isEmpty())
        ok = read(q, QStringLiteral("select * from ParametersData") + Sql::scanOrder(Sql::sharedDatabase()), {},
                  "查询ParametersData失败！");
    else
        ok = read(q, QStringLiteral("select * from ParametersData where Name = ?") + Sql::scanOrder(Sql::sharedDatabase()),
                  {name},
                  "查询ParametersData失败！");
    if (!ok)
        return false;
    list.clear();
    while (q.next()) {
        Struct_ParametersData d;
        d.Name = text(q, 0);
        d.Time = QDateTime::fromString(text(q, 1), kScanTimeFormat);
        d.Data = splitComma(text(q, 2));
        list.append(d);
    }
    return true;
}

// getParametersTable: ParametersTable.cpp

// --- modifications ---------------------------------------------------------

bool addAcquisitionDevice(Struct_AcquisitionDevice d)
{
    return modify(QStringLiteral("insert into AcquisitionDevice values ( %1)").arg(placeholders(9)),
                  {QString::number(d.Number), d.Mode, d.SerialNumber, intervalText(d.ScanInterval),
                   d.ScanRate, d.ChannelConfig, d.SignalMode, d.IP_COM, d.Port_BaudRate},
                  "添加采集设备：", Records::Local);
}

bool modifyAcquisitionDevice(Struct_AcquisitionDevice d)
{
    return modify(QStringLiteral("UPDATE AcquisitionDevice SET ScanInterval = ?, ScanRate = ?, "
                                 "ChannelConfig = ?, SignalMode = ?, IP_COM = ?, Port_BaudRate = ? "
                                 "WHERE SerialNumber = ?"),
                  {intervalText(d.ScanInterval), d.ScanRate, d.ChannelConfig, d.SignalMode, d.IP_COM,
                   d.Port_BaudRate, d.SerialNumber},
                  "修改采集设备：", Records::Local);
}

bool deleteAcquisitionDevice(QString serialNumber)
{
    return modify(QStringLiteral("delete from AcquisitionDevice where SerialNumber = ?"), {serialNumber},
                  "删除采集设备：", Records::Local);
}

bool addChannelConfig(Struct_ChannelConfig c)
{
    return modify(QStringLiteral("insert into ChannelConfig values ( %1)").arg(placeholders(26)),
                  {c.Name,
                   c.Time,
                   c.Mode,
                   c.Module,
                   QString::number(c.Number),
                   joinComma(c.ChannelNumber),
                   joinComma(c.Tag),
                   joinComma(c.Type),
                   joinComma(c.Function),
                   joinComma(c.Wire),
                   joinComma(c.MX_B_M),
                   joinComma(c.MX_B_B),
                   joinComma(c.A_C0),
                   joinComma(c.B_C1),
                   joinComma(c.C_C2),
                   joinComma(c.D_C3),
                   joinComma(c.R0_C4),
                   joinComma(c.A4_C5),
                   joinComma(c.B4_C6),
                   joinComma(c.Unit),
                   c.CompensationWay,
                   c.ColdJunctionTemp,
                   boolListToString(c.LowState),
                   joinComma(c.Low),
                   boolListToString(c.HightState),
                   joinComma(c.Hight)},
                  "添加通道配置：");
}

bool modifyChannelConfig(Struct_ChannelConfig c)
{
    return modify(QStringLiteral("UPDATE ChannelConfig SET \"MX+B_M\" = ?, \"MX+B_B\" = ?, A_C0 = ?, "
                                 "B_C1 = ?, C_C2 = ?, D_C3 = ?, R0_C4 = ?, A4_C5 = ?, B4_C6 = ? "
                                 "WHERE Name = ?"),
                  {joinComma(c.MX_B_M), joinComma(c.MX_B_B), joinComma(c.A_C0), joinComma(c.B_C1),
                   joinComma(c.C_C2), joinComma(c.D_C3), joinComma(c.R0_C4), joinComma(c.A4_C5),
                   joinComma(c.B4_C6), c.Name},
                  "修改通道配置：");
}

CoefficientWrite modifyChannelConfigIf(const Struct_ChannelConfig& asRead, const Struct_ChannelConfig& c)
{
    static const char* const columns[] = {"\"MX+B_M\"", "\"MX+B_B\"", "A_C0", "B_C1", "C_C2",
                                          "D_C3", "R0_C4", "A4_C5", "B4_C6"};
    QStringList set, unchanged;
    for (const char* column : columns) {
        set << QString::fromLatin1(column) + QStringLiteral(" = ?");
        // A stored NULL reads as an empty list, so it compares as one.
        unchanged << QStringLiteral("COALESCE(%1, '') = ?").arg(QString::fromLatin1(column));
    }
    const auto lists = [](const Struct_ChannelConfig& x) {
        return QVariantList{joinComma(x.MX_B_M), joinComma(x.MX_B_B), joinComma(x.A_C0),
                            joinComma(x.B_C1),   joinComma(x.C_C2),   joinComma(x.D_C3),
                            joinComma(x.R0_C4),  joinComma(x.A4_C5),  joinComma(x.B4_C6)};
    };
    // One statement compares and writes: no other writer can come between
    // the check and the update on either engine.
    const QString sql = QStringLiteral("UPDATE ChannelConfig SET %1 WHERE Name = ? AND %2")
                            .arg(set.join(QStringLiteral(", ")), unchanged.join(QStringLiteral(" AND ")));
    QVariantList values = lists(c);
    values << c.Name;
    for (const QVariant& v : lists(asRead))
        values << notNullText(v.toString());
    QSqlQuery q = queryOn(Records::Shared);
    if (!run(q, sql, values))
        return CoefficientWrite::Failed;
    if (q.numRowsAffected() > 0) {
        qDebug().noquote() << QStringLiteral("修改通道配置：") + traceStatement(sql, values);
        return CoefficientWrite::Written;
    }
    QList<Struct_ChannelConfig> still;
    if (!getChannelConfig(still, c.Name))
        return CoefficientWrite::Failed;
    return still.isEmpty() ? CoefficientWrite::Failed : CoefficientWrite::Changed;
}

bool deleteChannelConfig(QString name)
{
    return modify(QStringLiteral("delete from ChannelConfig where Name = ?"), {name}, "删除通道配置：");
}

bool addParameters(Struct_Parameters p)
{
    return modify(QStringLiteral("insert into Parameters values ( %1)").arg(placeholders(15)), projectValues(p),
                  "添加验证信息：");
}

StoreOutcome addProject(const Struct_Parameters& p)
{
    Sql::reviveShared();
    QSqlDatabase db = Sql::sharedDatabase();
    const Sql::TransactionMark mark(db);
    if (!db.isOpen() || !db.transaction())
        return StoreOutcome::Failed;
    const QString sql = QStringLiteral("insert into Parameters values ( %1)").arg(placeholders(15));
    const QVariantList values = projectValues(p);
    QSqlQuery q(db);
    // The count sees names stored by this bench's SQLite file; on a server
    // the unique key also refuses a name another bench stored meanwhile.
    if (!run(q, QStringLiteral("select count(*) from Parameters where Name = ?"), {p.Name}) || !q.next()) {
        db.rollback();
        return StoreOutcome::Failed;
    }
    const bool taken = q.value(0).toInt() > 0;
    q.finish();
    if (taken) {
        db.rollback();
        return StoreOutcome::NameTaken;
    }
    if (!run(q, sql, values)) {
        const bool duplicate = Sql::uniqueViolation(db, q.lastError());
        db.rollback();
        return duplicate ? StoreOutcome::NameTaken : StoreOutcome::Failed;
    }
    if (!Sql::commit(db)) {
        db.rollback();
        return StoreOutcome::Failed;
    }
    qDebug().noquote() << QStringLiteral("添加验证信息：") + traceStatement(sql, values);
    return StoreOutcome::Stored;
}

bool UpdataParametersEndTime(QString name, QString start, QString end)
{
    if (StoreWriter* writer = StoreWriter::instance()) {
        // In order after the run's scans, never waiting on the network.
        writer->addStatement(QStringLiteral("UPDATE Parameters SET Start = ?, \"End\" = ? WHERE Name = ?"),
                             {start, end, name});
        qDebug().noquote() << QStringLiteral("修改采集信息：")
                                  + traceStatement(QStringLiteral("UPDATE Parameters SET Start = ?, \"End\" = ? WHERE Name = ?"),
                                                   {start, end, name});
        return true;
    }
    return modify(QStringLiteral("UPDATE Parameters SET Start = ?, \"End\" = ? WHERE Name = ?"),
                  {start, end, name}, "修改采集信息：");
}

bool deleteParameters(QString name)
{
    return modify(QStringLiteral("delete from Parameters where Name = ?"), {name}, "删除验证信息：");
}

bool addParametersData(Struct_ParametersData data)
{
    if (Sql::isServer(Sql::sharedDatabase()))
        return modify(QStringLiteral("insert into ParametersData values ( ?,?,?) ON CONFLICT (Name, Time) DO NOTHING"),
                      parametersDataValues(data), nullptr);
    return modify(QStringLiteral("insert or ignore into ParametersData values ( ?,?,?)"), parametersDataValues(data),
                  nullptr);
}

namespace {

// "yyyy-MM-dd hh:mm:ss.zzz" written by hand: QDateTime::toString goes
// through the locale machinery and was the largest single cost of a bulk insert.
void appendDigits(char*& p, int value, int width)
{
    for (int i = width - 1; i >= 0; --i) {
        p[i] = static_cast<char>('0' + value % 10);
        value /= 10;
    }
    p += width;
}

void appendScanTime(QByteArray& out, const QDateTime& time)
{
    if (!time.isValid())
        return;
    const QDate d = time.date();
    const QTime t = time.time();
    if (d.year() < 0 || d.year() > 9999) {
        out.append(time.toString(kScanTimeFormat).toUtf8());
        return;
    }
    char buffer[24];
    char* p = buffer;
    appendDigits(p, d.year(), 4);
    *p++ = '-';
    appendDigits(p, d.month(), 2);
    *p++ = '-';
    appendDigits(p, d.day(), 2);
    *p++ = ' ';
    appendDigits(p, t.hour(), 2);
    *p++ = ':';
    appendDigits(p, t.minute(), 2);
    *p++ = ':';
    appendDigits(p, t.second(), 2);
    *p++ = '.';
    appendDigits(p, t.msec(), 3);
    out.append(buffer, static_cast<int>(p - buffer));
}

// The values joined with "," as UTF-8; plain ASCII (numbers) is copied
// without the general converter.
void appendJoined(QByteArray& out, const QStringList& list)
{
    for (int i = 0; i < list.size(); ++i) {
        if (i)
            out.append(',');
        const QString& text = list.at(i);
        const QChar* c = text.constData();
        const int n = text.size();
        bool ascii = true;
        for (int k = 0; k < n && ascii; ++k)
            ascii = c[k].unicode() < 0x80;
        if (!ascii) {
            out.append(text.toUtf8());
            continue;
        }
        const int at = out.size();
        out.resize(at + n);
        char* dst = out.data() + at;
        for (int k = 0; k < n; ++k)
            dst[k] = static_cast<char>(c[k].unicode());
    }
}

sqlite3* nativeHandle(const QSqlDatabase& db)
{
    const QVariant v = db.driver() ? db.driver()->handle() : QVariant();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(v.constData());
}

QString notNull(const QString& text)
{
    return text.isNull() ? QString(QLatin1String("")) : text;
}

using LibVersion = const char* (*)();

// The function `symbol` the driver plugin itself calls, or null where that
// cannot be told. The driver object's virtual table lies in the module that
// built it (the plugin, or the program for a static Qt).
void (*pluginFunction(const QSqlDriver* driver, const char* symbol))()
{
    const void* vtable = *reinterpret_cast<void* const*>(driver);
#if defined(Q_OS_WIN)
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(vtable), &module))
        return nullptr;
    // That module's own exports only: a copy compiled into the plugin (Qt's
    // default) is not exported, and a plugin importing sqlite3.dll is not
    // proven to share ours either; both take the Qt statements.
    // Through void(*)(), the one cast between function types GCC does not warn about.
    return reinterpret_cast<void (*)()>(GetProcAddress(module, symbol));
#elif defined(Q_OS_UNIX)
    Dl_info info;
    if (!dladdr(vtable, &info) || !info.dli_fname)
        return nullptr;
    void* module = dlopen(info.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
    if (!module)
        return nullptr;
    // Looked up in the plugin and the libraries it was linked with: the
    // copy its own calls reach.
    // Through void(*)(), the one cast between function types GCC does not warn about.
    auto function = reinterpret_cast<void (*)()>(dlsym(module, symbol));
    dlclose(module);
    return function;
#else
    Q_UNUSED(vtable)
    Q_UNUSED(symbol)
    return nullptr;
#endif
}

LibVersion pluginLibVersion(const QSqlDriver* driver)
{
    return reinterpret_cast<LibVersion>(pluginFunction(driver, "sqlite3_libversion"));
}

std::atomic<bool> g_ForceQtStatements{false};

// Decides on the first connection that asks: the same plugin serves them all.
bool nativeHandleShared(const QSqlDatabase& db)
{
    static std::once_flag once;
    static bool shared = false;
    std::call_once(once, [&db] {
        const LibVersion theirs = db.driver() ? pluginLibVersion(db.driver()) : nullptr;
        // The same library returns the same static version text: one copy.
        shared = theirs && theirs() == sqlite3_libversion();
        QString sqlVersion;
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("select sqlite_version()")) && q.next())
            sqlVersion = q.value(0).toString();
        if (shared)
            qInfo().noquote() << "store: bulk inserts on the SQL driver's handle; it uses this program's SQLite"
                              << sqlite3_libversion();
        else
            qInfo().noquote() << "store: bulk inserts through Qt statements; the SQL driver's SQLite"
                              << (sqlVersion.isEmpty() ? QStringLiteral("?") : sqlVersion)
                              << "is not provably this program's" << sqlite3_libversion();
    });
    return shared;
}

#ifdef ARQ_HAVE_LIBPQ
PGconn* serverHandle(const QSqlDatabase& db)
{
    const QVariant v = db.driver() ? db.driver()->handle() : QVariant();
    if (!v.isValid() || qstrcmp(v.typeName(), "PGconn*") != 0)
        return nullptr;
    return *static_cast<PGconn* const*>(v.constData());
}

// COPY on the QPSQL driver's connection is sound only when the plugin calls
// this program's libpq: the very same function, not just the same version.
bool serverHandleShared(const QSqlDatabase& db)
{
    static std::once_flag once;
    static bool shared = false;
    std::call_once(once, [&db] {
        const auto theirs = db.driver() ? pluginFunction(db.driver(), "PQlibVersion") : nullptr;
        shared = theirs && theirs == reinterpret_cast<void (*)()>(&PQlibVersion);
        qInfo().noquote() << (shared ? "store: bulk inserts by COPY on the SQL driver's connection"
                                     : "store: bulk inserts through Qt statements; the SQL driver's libpq is not "
                                       "provably this program's");
    });
    return shared;
}

// A field of COPY's text format: backslash, tab and line ends escaped.
void appendCopyField(QByteArray& out, const QByteArray& field)
{
    const char* p = field.constData();
    const int n = field.size();
    int plain = 0;
    for (int i = 0; i < n; ++i) {
        const char c = p[i];
        if (c != '\\' && c != '\t' && c != '\n' && c != '\r')
            continue;
        out.append(p + plain, i - plain);
        out.append('\\');
        out.append(c == '\t' ? 't' : c == '\n' ? 'n' : c == '\r' ? 'r' : '\\');
        plain = i + 1;
    }
    out.append(p + plain, n - plain);
}
#endif

// Inserts rows inside the caller's open transaction, batch after batch
// through one prepared statement. Where the driver shares our SQLite the
// statement runs on its own sqlite3 handle: QSqlQuery's per-row QVariant
// binding and parameter bookkeeping cost more than SQLite's insert itself.
class RowWriter
{
public:
    RowWriter(QSqlDatabase& db, const std::function<bool(int)>& progress)
        : m_progress(progress)
    {
#ifdef ARQ_HAVE_LIBPQ
        if (PGconn* server = serverHandle(db)) {
            if (!g_ForceQtStatements.load() && serverHandleShared(db)) {
                m_server = server;
                m_ready = true;
                return;
            }
        }
#endif
        if (Sql::isServer(db)) {
            // Many rows per statement: one round trip to the server each.
            m_query.reset(new QSqlQuery(db));
            QStringList rows;
            for (int i = 0; i < kRowsPerStatement; ++i)
                rows << QStringLiteral("(?,?,?)");
            m_ready = m_query->prepare(QStringLiteral("insert into ParametersData values ") + rows.join(QLatin1Char(',')));
            m_single.reset(new QSqlQuery(db));
            m_ready = m_ready && m_single->prepare(QStringLiteral("insert into ParametersData values ( ?,?,?)"));
            return;
        }
        sqlite3* handle = nativeHandle(db);
        if (handle && !g_ForceQtStatements.load() && nativeHandleShared(db)) {
            m_handle = handle;
            // A scan stored before (same project and time) is not stored twice.
            m_ready = sqlite3_prepare_v2(handle, "insert or ignore into ParametersData values (?,?,?)", -1, &m_stmt,
                                         nullptr)
                      == SQLITE_OK;
            m_time.reserve(32);
            m_data.reserve(1024);
        } else {
            m_query.reset(new QSqlQuery(db));
            m_ready = m_query->prepare(QStringLiteral("insert or ignore into ParametersData values ( ?,?,?)"));
        }
    }
    ~RowWriter()
    {
        if (m_stmt)
            sqlite3_finalize(m_stmt);
    }
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;

    bool write(const QList<Struct_ParametersData>& rows)
    {
        if (!m_ready)
            return false;
#ifdef ARQ_HAVE_LIBPQ
        if (m_server) {
            m_ready = writeCopy(rows);
            return m_ready;
        }
#endif
        if (m_single) {
            m_ready = writeMultiRow(rows);
            return m_ready;
        }
        for (const Struct_ParametersData& row : rows) {
            if (!(m_stmt ? writeNative(row) : writeQt(row))) {
                m_ready = false;
                return false;
            }
            if (++m_done % kProgressStep == 0 && m_progress && !m_progress(m_done)) {
                m_ready = false;
                return false;
            }
        }
        return true;
    }

private:
    static constexpr int kProgressStep = 4096;
    static constexpr int kRowsPerStatement = 100;

    bool advance()
    {
        return !(++m_done % kProgressStep == 0 && m_progress && !m_progress(m_done));
    }

#ifdef ARQ_HAVE_LIBPQ
    // The rows as one COPY on the driver's connection, inside its transaction.
    bool writeCopy(const QList<Struct_ParametersData>& rows)
    {
        if (rows.isEmpty())
            return true;
        PGresult* result = PQexec(m_server, "COPY ParametersData(Name, Time, Data) FROM STDIN");
        const bool started = PQresultStatus(result) == PGRES_COPY_IN;
        PQclear(result);
        if (!started) {
            qWarning() << "store: COPY refused:" << PQerrorMessage(m_server);
            return false;
        }
        bool sent = true, cancelled = false;
        m_buffer.resize(0);
        for (const Struct_ParametersData& row : rows) {
            nameOf(row);
            appendCopyField(m_buffer, m_name);
            m_buffer.append('\t');
            appendScanTime(m_buffer, row.Time);
            m_buffer.append('\t');
            m_data.resize(0);
            appendJoined(m_data, row.Data);
            appendCopyField(m_buffer, m_data);
            m_buffer.append('\n');
            if (m_buffer.size() >= (1 << 18)) {
                sent = PQputCopyData(m_server, m_buffer.constData(), m_buffer.size()) == 1;
                m_buffer.resize(0);
            }
            if (!sent || !advance()) {
                cancelled = sent;
                break;
            }
        }
        if (sent && !cancelled && !m_buffer.isEmpty())
            sent = PQputCopyData(m_server, m_buffer.constData(), m_buffer.size()) == 1;
        // Ending with an error text makes the server throw the rows away.
        const bool ended = PQputCopyEnd(m_server, sent && !cancelled ? nullptr : "cancelled") == 1;
        bool stored = sent && !cancelled && ended;
        while ((result = PQgetResult(m_server))) {
            if (PQresultStatus(result) != PGRES_COMMAND_OK) {
                if (!cancelled)
                    qWarning() << "store: COPY failed:" << PQresultErrorMessage(result);
                stored = false;
            }
            PQclear(result);
        }
        return stored;
    }
#endif

    bool writeMultiRow(const QList<Struct_ParametersData>& rows)
    {
        int at = 0;
        for (; at + kRowsPerStatement <= rows.size(); at += kRowsPerStatement) {
            for (int i = 0; i < kRowsPerStatement; ++i)
                bindRow(*m_query, 3 * i, rows.at(at + i));
            if (!m_query->exec()) {
                qWarning().noquote() << "store: row insert failed:" << m_query->lastError().text();
                return false;
            }
            for (int i = 0; i < kRowsPerStatement; ++i)
                if (!advance())
                    return false;
        }
        for (; at < rows.size(); ++at) {
            bindRow(*m_single, 0, rows.at(at));
            if (!m_single->exec()) {
                qWarning().noquote() << "store: row insert failed:" << m_single->lastError().text();
                return false;
            }
            if (!advance())
                return false;
        }
        return true;
    }
    void bindRow(QSqlQuery& query, int first, const Struct_ParametersData& row)
    {
        nameOf(row);
        m_time.resize(0);
        appendScanTime(m_time, row.Time);
        query.bindValue(first, m_nameValue);
        query.bindValue(first + 1, QString::fromLatin1(m_time.constData(), m_time.size()));
        query.bindValue(first + 2, notNull(joinComma(row.Data)));
    }

    void nameOf(const Struct_ParametersData& row)
    {
        if (m_done == 0 || row.Name != m_lastName) {
            m_lastName = row.Name;
            m_name = row.Name.toUtf8();
            m_nameValue = notNull(row.Name);
        }
    }
    bool writeNative(const Struct_ParametersData& row)
    {
        nameOf(row);
        m_time.resize(0);
        appendScanTime(m_time, row.Time);
        m_data.resize(0); // keeps the capacity, unlike clear()
        appendJoined(m_data, row.Data);
        sqlite3_bind_text(m_stmt, 1, m_name.constData(), m_name.size(), SQLITE_STATIC);
        sqlite3_bind_text(m_stmt, 2, m_time.constData(), m_time.size(), SQLITE_STATIC);
        sqlite3_bind_text(m_stmt, 3, m_data.constData(), m_data.size(), SQLITE_STATIC);
        const int rc = sqlite3_step(m_stmt);
        sqlite3_reset(m_stmt);
        if (rc != SQLITE_DONE) {
            qWarning() << "store: row insert failed:" << sqlite3_errmsg(m_handle);
            return false;
        }
        return true;
    }
    bool writeQt(const Struct_ParametersData& row)
    {
        nameOf(row);
        m_time.resize(0);
        appendScanTime(m_time, row.Time);
        // Empty text, never NULL, as on the native path.
        m_query->bindValue(0, m_nameValue);
        m_query->bindValue(1, QString::fromLatin1(m_time.constData(), m_time.size()));
        m_query->bindValue(2, notNull(joinComma(row.Data)));
        return m_query->exec();
    }

    std::function<bool(int)> m_progress;
    sqlite3* m_handle = nullptr;
    sqlite3_stmt* m_stmt = nullptr;
    std::unique_ptr<QSqlQuery> m_query;
    std::unique_ptr<QSqlQuery> m_single;
#ifdef ARQ_HAVE_LIBPQ
    PGconn* m_server = nullptr;
#endif
    QByteArray m_buffer;
    bool m_ready = false;
    int m_done = 0;
    QByteArray m_name, m_time, m_data;
    QString m_lastName;
    QVariant m_nameValue;
};

bool insertRows(QSqlDatabase& db, const QList<Struct_ParametersData>& rows,
                const std::function<bool(int)>& progress)
{
    RowWriter writer(db, progress);
    return writer.write(rows);
}

QSqlDatabase connectionNamed(const QString& connection)
{
    return QSqlDatabase::database(connection.isEmpty() ? QLatin1String(QSqlDatabase::defaultConnection) : connection,
                                  false);
}

} // namespace

BulkInsertPath bulkInsertPath(const QString& connection)
{
    const QSqlDatabase db = connectionNamed(connection);
    if (Sql::isServer(db)) {
#ifdef ARQ_HAVE_LIBPQ
        if (db.isOpen() && serverHandle(db) && !g_ForceQtStatements.load() && serverHandleShared(db))
            return BulkInsertPath::NativeHandle;
#endif
        return BulkInsertPath::QtStatements;
    }
    if (!db.isOpen() || !nativeHandle(db) || g_ForceQtStatements.load() || !nativeHandleShared(db))
        return BulkInsertPath::QtStatements;
    return BulkInsertPath::NativeHandle;
}

void forceQtStatementInserts(bool force)
{
    g_ForceQtStatements = force;
}

bool copyRows(QSqlDatabase& db, const QString& table, const QStringList& columns, const QList<QVariantList>& rows,
              QString* sqlState)
{
    if (rows.isEmpty())
        return true;
#ifdef ARQ_HAVE_LIBPQ
    PGconn* server = serverHandle(db);
    if (server && !g_ForceQtStatements.load() && serverHandleShared(db)) {
        const QByteArray sql = QStringLiteral("COPY %1(%2) FROM STDIN").arg(table, columns.join(QStringLiteral(", "))).toUtf8();
        PGresult* result = PQexec(server, sql.constData());
        const bool started = PQresultStatus(result) == PGRES_COPY_IN;
        PQclear(result);
        if (!started) {
            qWarning() << "store: COPY refused:" << PQerrorMessage(server);
            return false;
        }
        QByteArray buffer;
        bool sent = true;
        for (const QVariantList& row : rows) {
            for (int i = 0; i < row.size(); ++i) {
                if (i)
                    buffer.append('\t');
                if (row.at(i).isNull())
                    buffer.append("\\N");
                else
                    appendCopyField(buffer, row.at(i).toString().toUtf8());
            }
            buffer.append('\n');
            if (buffer.size() >= (1 << 18)) {
                sent = sent && PQputCopyData(server, buffer.constData(), buffer.size()) == 1;
                buffer.resize(0);
            }
        }
        if (!buffer.isEmpty())
            sent = sent && PQputCopyData(server, buffer.constData(), buffer.size()) == 1;
        bool stored = PQputCopyEnd(server, sent ? nullptr : "failed") == 1 && sent;
        while ((result = PQgetResult(server))) {
            if (PQresultStatus(result) != PGRES_COMMAND_OK) {
                qWarning() << "store: COPY failed:" << PQresultErrorMessage(result);
                if (sqlState && PQresultErrorField(result, PG_DIAG_SQLSTATE))
                    *sqlState = QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE));
                stored = false;
            }
            PQclear(result);
        }
        return stored;
    }
#endif
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("INSERT INTO %1(%2) VALUES (%3)")
                       .arg(table, columns.join(QStringLiteral(", ")), placeholders(columns.size()))))
        return false;
    for (const QVariantList& row : rows) {
        for (int i = 0; i < row.size(); ++i)
            q.bindValue(i, row.at(i));
        if (!q.exec()) {
            qWarning().noquote() << "store:" << table << "row not stored:" << q.lastError().text();
            if (sqlState)
                *sqlState = q.lastError().nativeErrorCode();
            return false;
        }
    }
    return true;
}

namespace {
std::atomic<bool> g_ServerWriteFailed{false};
std::atomic<int> g_SharedTransactions{0};

// A connection to the lab server that broke (the server restarted, the
// network went away) is opened again before the next statement, so the
// held scans go in, in order, once the server is back.
void reviveServerConnection(QSqlDatabase& db)
{
    DatabaseSettings settings;
    if (!Sql::isServer(db) || !serverInUse(&settings))
        return;
    const bool interactive = Sql::interactiveBudget() > 0;
    if (interactive)
        Sql::watchInteractiveCall(db);
    if (g_SharedTransactions.load() > 0)
        return;
    bool lost = !db.isOpen() || g_ServerWriteFailed.load() || Sql::serverConnectionBroken(db);
    if (!lost)
        return;
    // One try per call (per turn of the window's event loop): a server out
    // of reach costs one bounded wait, not one for every statement.
    // Less left of the action's wait than one connect may take: not tried.
    if (interactive && (Sql::interactiveConnectFailed() || Sql::interactiveTimeLeft() < 2000)) {
        db.close();
        Sql::markInteractiveConnectFailed();
        return;
    }
    Sql::unwatchInteractive();
    db.close();
    QString why;
    if (!Sql::openWithin(db, settings, interactive ? Sql::interactiveTimeLeft() : Sql::InteractiveBudgetMs, &why)) {
        Sql::markInteractiveConnectFailed();
        qWarning().noquote() << "store: the lab server" << settings.describe() << "is out of reach:" << why;
        return;
    }
    Sql::quietNotices(db);
    if (interactive)
        Sql::watchInteractiveCall(db);
    g_ServerWriteFailed = false;
    qInfo().noquote() << "store: connection to" << settings.describe() << "opened again";
}
} // namespace

namespace Sql {

bool serverConnectionBroken(const QSqlDatabase& db)
{
#ifdef ARQ_HAVE_LIBPQ
    if (!isServer(db) || !db.isOpen())
        return false;
    PGconn* handle = serverHandle(db);
    return !handle || PQstatus(handle) == CONNECTION_BAD;
#else
    Q_UNUSED(db);
    return false;
#endif
}

void reviveShared()
{
    QSqlDatabase db = QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
    reviveServerConnection(db);
}

bool commit(QSqlDatabase& db)
{
    if (isServer(db)) {
#ifdef ARQ_HAVE_LIBPQ
        PGconn* handle = serverHandle(db);
        const bool holding = handle && PQstatus(handle) == CONNECTION_OK
                             && PQtransactionStatus(handle) == PQTRANS_INTRANS;
#else
        // Inside a transaction the server still answers on this connection.
        const bool holding = QSqlQuery(db).exec(QStringLiteral("SELECT 1"));
#endif
        if (!holding) {
            qWarning() << "store: the transaction on the server was lost; nothing of it is stored";
            db.rollback();
            return false;
        }
    }
    return db.commit();
}

QSqlQuery sharedQuery()
{
    reviveShared();
    // A read sees what this program queued before it (an end time, an
    // audit line), unless the server is away: then it waits for nothing.
    if (StoreWriter* writer = StoreWriter::instance()) {
        const StoreWriter::State state = writer->state();
        if (state.depth > 0 && !state.failing)
            writer->waitIdle(qMin(2000, interactiveBudget() > 0 ? interactiveTimeLeft() : 2000));
    }
    return QSqlQuery();
}

TransactionMark::TransactionMark(const QSqlDatabase& db)
    : m_counted(db.connectionName() == QLatin1String(QSqlDatabase::defaultConnection))
{
    if (m_counted)
        ++g_SharedTransactions;
}

TransactionMark::~TransactionMark()
{
    if (m_counted)
        --g_SharedTransactions;
}

} // namespace Sql

namespace Sql {

bool storeScanRows(QSqlDatabase& db, const QList<Struct_ParametersData>& rows, QString* state, QString* text)
{
    if (!isServer(db)) {
        if (insertRows(db, rows, {}))
            return true;
        if (text)
            *text = db.lastError().text();
        return false;
    }
    QSqlQuery q(db);
    // The rows meet the unique key (Name, Time) in one statement: what an
    // in-doubt COMMIT stored already is skipped, never stored twice.
    if (!q.exec(QStringLiteral("CREATE TEMP TABLE IF NOT EXISTS arq_scan_in(n INTEGER, Name TEXT, Time TEXT, "
                               "Data TEXT) ON COMMIT DELETE ROWS"))) {
        if (state)
            *state = q.lastError().nativeErrorCode();
        if (text)
            *text = q.lastError().text();
        return false;
    }
    QList<QVariantList> values;
    values.reserve(rows.size());
    for (int i = 0; i < rows.size(); ++i) {
        const QVariantList v = parametersDataValues(rows.at(i));
        values << QVariantList{i, notNullText(v.at(0).toString()), v.at(1), notNullText(v.at(2).toString())};
    }
    QString copyState;
    if (!copyRows(db, QStringLiteral("arq_scan_in"),
                  {QStringLiteral("n"), QStringLiteral("Name"), QStringLiteral("Time"), QStringLiteral("Data")}, values,
                  &copyState)) {
        if (state)
            *state = copyState;
        if (text)
            *text = QStringLiteral("COPY of scan rows refused");
        return false;
    }
    if (!q.exec(QStringLiteral("INSERT INTO ParametersData(Name, Time, Data) SELECT Name, Time, Data FROM arq_scan_in "
                               "ORDER BY n ON CONFLICT (Name, Time) DO NOTHING"))) {
        if (state)
            *state = q.lastError().nativeErrorCode();
        if (text)
            *text = q.lastError().text();
        return false;
    }
    return true;
}

} // namespace Sql

bool addParametersDataBulk(const QList<Struct_ParametersData>& rows, int busyTimeoutMs)
{
    QSqlDatabase db = connectionNamed(QString());
    reviveServerConnection(db);
    if (!db.isOpen())
        return false;
    const Sql::TransactionMark mark(db);
    // A scan write gives up on a lock held by another writer within
    // busyTimeoutMs (the window would freeze for the whole default wait).
    struct BusyTimeout
    {
        QSqlDatabase& db;
        bool changed;
        BusyTimeout(QSqlDatabase& d, int ms) : db(d), changed(ms >= 0 && !Sql::isServer(d))
        {
            if (changed)
                QSqlQuery(db).exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(ms));
        }
        ~BusyTimeout()
        {
            if (changed)
                QSqlQuery(db).exec(QStringLiteral("PRAGMA busy_timeout=%1").arg(kBusyTimeoutMs));
        }
    } busy(db, busyTimeoutMs);
    if (!db.transaction()) {
        if (Sql::isServer(db))
            g_ServerWriteFailed = true;
        return false;
    }
    // The server's wait for a lock, for this transaction only.
    if (busyTimeoutMs >= 0 && Sql::isServer(db)
        && !QSqlQuery(db).exec(QStringLiteral("SET LOCAL lock_timeout = %1").arg(busyTimeoutMs))) {
        db.rollback();
        return false;
    }
    if (!Sql::storeScanRows(db, rows) || !Sql::commit(db)) {
        db.rollback();
        if (Sql::isServer(db))
            g_ServerWriteFailed = true;
        return false;
    }
    return true;
}

StoreOutcome addProjects(const QList<Struct_Parameters>& projects, const QList<Struct_ParametersData>& rows,
                         const QString& connection, const std::function<bool(int)>& progress, QString* takenName)
{
    return addProjects(
        projects, [&rows](const RowBatchInserter& insert) { return insert(rows); }, connection, progress, takenName);
}

StoreOutcome addProjects(const QList<Struct_Parameters>& projects,
                         const std::function<bool(const RowBatchInserter&)>& produce, const QString& connection,
                         const std::function<bool(int)>& progress, QString* takenName)
{
    if (connection.isEmpty())
        Sql::reviveShared();
    QSqlDatabase db = connectionNamed(connection);
    const Sql::TransactionMark mark(db);
    if (!db.isOpen() || !db.transaction())
        return StoreOutcome::Failed;
    auto fail = [&db](StoreOutcome outcome) {
        db.rollback();
        return outcome;
    };
    {
        // Checked inside the transaction, so no other writer can take the
        // name between the check and the inserts.
        QSqlQuery q(db);
        for (const Struct_Parameters& p : projects) {
            q.prepare(QStringLiteral("select (select count(*) from Parameters where Name = ?)"
                                     " + (select count(*) from ParametersData where Name = ?)"));
            q.addBindValue(p.Name);
            q.addBindValue(p.Name);
            if (!q.exec() || !q.next())
                return fail(StoreOutcome::Failed);
            if (q.value(0).toInt() > 0) {
                if (takenName)
                    *takenName = p.Name;
                q.finish();
                return fail(StoreOutcome::NameTaken);
            }
            q.finish();
        }
        if (!q.prepare(QStringLiteral("insert into Parameters values ( %1)").arg(placeholders(15))))
            return fail(StoreOutcome::Failed);
        for (const Struct_Parameters& p : projects) {
            const QVariantList values = projectValues(p);
            for (int i = 0; i < values.size(); ++i)
                q.bindValue(i, values.at(i));
            if (!q.exec()) {
                // Another bench took the name after the check: the server's unique key refused it.
                if (!Sql::uniqueViolation(db, q.lastError()))
                    return fail(StoreOutcome::Failed);
                if (takenName)
                    *takenName = p.Name;
                return fail(StoreOutcome::NameTaken);
            }
        }
    }
    try {
        RowWriter writer(db, progress);
        if (!produce([&writer](const QList<Struct_ParametersData>& batch) { return writer.write(batch); }))
            return fail(StoreOutcome::Failed);
    } catch (...) {
        // An allocation that failed while the rows were made: nothing stays.
        db.rollback();
        throw;
    }
    if (!Sql::commit(db))
        return fail(StoreOutcome::Failed);
    for (const Struct_Parameters& p : projects)
        qInfo().noquote() << QStringLiteral("添加验证信息：") + p.Name;
    return StoreOutcome::Stored;
}

WorkerConnection::WorkerConnection(const QString& path)
{
    static std::atomic<int> serial{0};
    m_name = QStringLiteral("arq-worker-%1").arg(++serial);
    DatabaseSettings server;
    if (serverInUse(&server) && server.database == path) {
        // The lab's server: a connection of this thread's own to it (the
        // default connection belongs to the thread that opened it).
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
        Sql::applyServerSettings(db, server);
        m_open = Sql::openWithin(db, server, Sql::InteractiveBudgetMs);
        if (m_open)
            Sql::quietNotices(db);
        return;
    }
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
    db.setDatabaseName(path);
    m_open = db.open() && configureConnection(db);
}

WorkerConnection::~WorkerConnection()
{
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

bool deleteParametersData(QString name)
{
    return modify(QStringLiteral("delete from ParametersData where Name = ?"), {name}, "删除验证数据：");
}

bool addChannelCalibrationData(Struct_ChannelCalibrationData d)
{
    auto j = [](const QStringList& l) { return l.join(QLatin1Char(';')); };
    return modify(QStringLiteral("insert into ChannelCalibrationData values ( %1)").arg(placeholders(15)),
                  {d.StartTime, d.ChannelName, d.ChannelMode, d.CollectionName, d.ChannelNumber,
                   j(d.CalibrationCriteria), j(d.CalibrationData1), j(d.CalibrationData2),
                   j(d.CalibrationData3), j(d.CalibrationData4), j(d.CalibrationData5),
                   j(d.CalibrationData6), j(d.CalibrationData7), j(d.CalibrationData8),
                   j(d.CalibrationData9)},
                  "添加通道校准数据：");
}

void addAuditLog(QString type, QString details)
{
    if (StoreWriter* writer = StoreWriter::instance()) {
        writer->addStatement(QStringLiteral("insert into AuditLog values ( ?,?,?)"),
                             {QDateTime::currentDateTime().toString(kTimeFormat), type, details});
        return;
    }
    modify(QStringLiteral("insert into AuditLog values ( ?,?,?)"),
           {QDateTime::currentDateTime().toString(kTimeFormat), type, details}, nullptr);
}

bool deleteAuditLog(QString time)
{
    return modify(QStringLiteral("delete from AuditLog where Time = ?"), {time}, nullptr);
}

bool deleteAuditLogEntry(QString time, QString type, QString details)
{
    return modify(QStringLiteral("delete from AuditLog where Time = ? and Type = ? and Details = ?"),
                  {time, type, details}, nullptr);
}

// --- key/value tables ------------------------------------------------------

bool getSystemSet(QString name, QString& data)
{
    return readKey(QStringLiteral("SystemSet"), name, QString(""), data);
}

bool getSystemSet(QString name, QString& data, const QString& fallback)
{
    return readKey(QStringLiteral("SystemSet"), name, fallback, data);
}

bool getSystemSet(QString name, bool& data)
{
    QString value;
    if (!readKey(QStringLiteral("SystemSet"), name, QStringLiteral("false"), value))
        return false;
    data = value == QLatin1String("true");
    return true;
}

bool modifySystemSet(QString name, QString data)
{
    return modify(QStringLiteral("UPDATE SystemSet SET Data = ? WHERE Name = ?"), {data, name}, nullptr,
                  Records::Local);
}

bool modifySystemSet(QString name, bool data)
{
    return modifySystemSet(name, data ? QStringLiteral("true") : QStringLiteral("false"));
}

bool getChannelCalibration(QString name, QString& data)
{
    return readKey(QStringLiteral("ChannelCalibration"), name, QString(""), data);
}

bool getChannelCalibration(QString name, bool& data)
{
    QString value;
    if (!readKey(QStringLiteral("ChannelCalibration"), name, QStringLiteral("false"), value))
        return false;
    data = value == QLatin1String("true");
    return true;
}

bool modifyChannelCalibration(QString name, QString data)
{
    return modify(QStringLiteral("UPDATE ChannelCalibration SET Data = ? WHERE Name = ?"), {data, name},
                  nullptr, Records::Local);
}

bool modifyChannelCalibration(QString name, bool data)
{
    return modifyChannelCalibration(name, data ? QStringLiteral("true") : QStringLiteral("false"));
}

bool existChannelCalibration() { return tableExists(QStringLiteral("ChannelCalibration"), Records::Local); }
bool existChannelCalibrationData() { return tableExists(QStringLiteral("ChannelCalibrationData"), Records::Shared); }

bool createChannelCalibration()
{
    QSqlQuery q = queryOn(Records::Local);
    return q.exec(
        QStringLiteral("CREATE TABLE ChannelCalibration(Name TEXT PRIMARY KEY UNIQUE NOT NULL, Data TEXT);"));
}

bool createChannelCalibrationData()
{
    QSqlQuery q = queryOn(Records::Shared);
    if (Sql::isServer(Sql::sharedDatabase()))
        return q.exec(Sql::serverCalibrationDataTable());
    return q.exec(QStringLiteral("CREATE TABLE ChannelCalibrationData(StartTime TEXT PRIMARY KEY UNIQUE NOT NULL, ") +
                  QStringLiteral("ChannelName TEXT,ChannelMode TEXT,CollectionName TEXT,ChannelNumber TEXT, ") +
                  QStringLiteral("CalibrationCriteria TEXT,CalibrationData1 TEXT,CalibrationData2 TEXT, ") +
                  QStringLiteral("CalibrationData3 TEXT,CalibrationData4 TEXT,CalibrationData5 TEXT, ") +
                  QStringLiteral("CalibrationData6 TEXT,CalibrationData7 TEXT,CalibrationData8 TEXT,CalibrationData9 TEXT);"));
}

// --- utilities -------------------------------------------------------------

QString boolListToString(QList<bool> list)
{
    QStringList parts;
    for (bool flag : list)
        parts << (flag ? QStringLiteral("true") : QStringLiteral("false"));
    return joinComma(parts);
}

QList<bool> stringToBoolList(QString text)
{
    QList<bool> flags;
    for (const QString& part : splitComma(text))
        flags << (part == QLatin1String("true"));
    return flags;
}

QStringList numberList(QList<double> values, int decimals)
{
    QStringList out;
    for (double v : values)
        out << QString::number(v, 'f', decimals);
    return out;
}

QStringList unitPair(QStringList units)
{
    QStringList distinct;
    for (const QString& u : units)
        if (!distinct.contains(u))
            distinct << u;
    if (distinct.isEmpty())
        return {QString(), QString()};
    if (distinct.size() == 1)
        return {distinct.first(), QString()};
    if (distinct.size() == 2) {
        auto isTemperature = [](const QString& u) {
            return u == QStringLiteral("℃") || u == QStringLiteral("℉");
        };
        if (!isTemperature(distinct[0]) && isTemperature(distinct[1]))
            return {distinct[1], distinct[0]};
    }
    return distinct;
}

QString unitQuantity(QString unit)
{
    static const QList<QPair<QStringList, QString>> table = {
        {{QStringLiteral("℃"), QStringLiteral("℉")}, QStringLiteral("温度")},
        {{QStringLiteral("%RH")}, QStringLiteral("湿度")},
        {{QStringLiteral("psi"), QStringLiteral("mbar"), QStringLiteral("bar"), QStringLiteral("Pa"),
          QStringLiteral("KPa"), QStringLiteral("MPa")},
         QStringLiteral("压力")},
        {{QStringLiteral("mV"), QStringLiteral("V")}, QStringLiteral("电压")},
        {{QStringLiteral("Ω"), QStringLiteral("kΩ"), QStringLiteral("MΩ")}, QStringLiteral("电阻")},
        {{QStringLiteral("μA"), QStringLiteral("mA"), QStringLiteral("A")}, QStringLiteral("电流")},
    };
    for (const auto& entry : table)
        if (entry.first.contains(unit))
            return entry.second;
    return QStringLiteral("其他");
}

QStringList collectionModelList()
{
    return {QStringLiteral("3107A-NTC"), QStringLiteral("3107A-RTD"), QStringLiteral("3107A-TC"),
            QStringLiteral("3107A-PCR"), QStringLiteral("3108A"), QStringLiteral("1586A")};
}

namespace {
std::function<bool()>& referenceProbe()
{
    static std::function<bool()> probe;
    return probe;
}
} // namespace

void setReferenceProbe(std::function<bool()> bleUsable)
{
    referenceProbe() = std::move(bleUsable);
}

QStringList criteriaList()
{
    QStringList list;
    // Offered only where a thermometer can be reached (an LE adapter, or the
    // simulated one): elsewhere choosing it could only fail.
    if (referenceProbe() && referenceProbe()())
        list << QStringLiteral("KORVA 5310A");
    list << QStringLiteral("手动");
    return list;
}

QStringList fieldList()
{
    return {QStringLiteral("油槽"), QStringLiteral("油槽-R"), QStringLiteral("干式炉"),
            QStringLiteral("干式炉-R"), QStringLiteral("手动")};
}

QStringList serialPortList()
{
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names << info.portName();
    std::sort(names.begin(), names.end());
    return names;
}

double sum(QList<double> values)
{
    double total = 0.0;
    for (double v : values)
        total += v;
    return total;
}

double powerSum(std::vector<double> x, int n, int p)
{
    double total = 0.0;
    for (int i = 0; i < n && i < static_cast<int>(x.size()); ++i)
        total += std::pow(x[i], p);
    return total;
}

double powerProductSum(std::vector<double> x, std::vector<double> y, int n, int p)
{
    double total = 0.0;
    for (int i = 0; i < n && i < static_cast<int>(x.size()) && i < static_cast<int>(y.size()); ++i)
        total += std::pow(x[i], p) * y[i];
    return total;
}

void delay(int ms)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QThread::msleep(1);
}

QString escapeLike(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\\') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            out += QLatin1Char('\\');
        out += c;
    }
    return out;
}

QString traceStatement(const QString& sql, const QVariantList& values)
{
    QString out;
    int next = 0;
    for (const QChar c : sql) {
        if (c == QLatin1Char('?') && next < values.size()) {
            out += QLatin1Char('\'') + values.at(next++).toString() + QLatin1Char('\'');
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace Tool
