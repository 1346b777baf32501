#include "Backup.h"

#include "CalibrationStore.h"
#include "LabRecords.h"
#include "SqlEngine.h"
#include "StoreWriter.h"

#include <QtGlobal>
#if defined(Q_OS_WIN)
#include <windows.h>
#endif

#include "Tool.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QStandardPaths>
#include <QVersionNumber>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QtDebug>

#include <cstdio>

namespace Backup {

namespace {

// A private connection that is removed however the function leaves.
class ScopedConnection
{
public:
    explicit ScopedConnection(const QString& path)
        : m_name(QStringLiteral("arq-backup-") + QUuid::createUuid().toString(QUuid::Id128))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
    }
    ~ScopedConnection()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
};

bool vacuumInto(QSqlDatabase db, const QString& target, QString* error)
{
    QSqlQuery q(db);
    if (!q.prepare(QStringLiteral("VACUUM INTO ?"))) {
        if (error)
            *error = q.lastError().text();
        return false;
    }
    q.addBindValue(target);
    if (!q.exec()) {
        if (error)
            *error = q.lastError().text();
        return false;
    }
    return true;
}

// SQLite's type affinity of a declared column type: only TEXT and none keep
// a stored text exactly as written ("007" stays "007").
QString affinity(const QString& declared)
{
    const QString type = declared.toUpper();
    if (type.contains(QLatin1String("INT")))
        return QStringLiteral("INTEGER");
    if (type.contains(QLatin1String("CHAR")) || type.contains(QLatin1String("CLOB"))
        || type.contains(QLatin1String("TEXT")))
        return QStringLiteral("TEXT");
    if (type.isEmpty() || type.contains(QLatin1String("BLOB")))
        return QStringLiteral("NONE");
    if (type.contains(QLatin1String("REAL")) || type.contains(QLatin1String("FLOA"))
        || type.contains(QLatin1String("DOUB")))
        return QStringLiteral("REAL");
    return QStringLiteral("NUMERIC");
}

// "name affinity" of every column of `table`, in order.
QStringList columnsOf(QSqlDatabase db, const QString& table)
{
    QSqlQuery q(db);
    QStringList columns;
    // The table-valued form of table_info takes the name as a bound value.
    q.prepare(QStringLiteral("SELECT name, type FROM pragma_table_info(?) ORDER BY cid"));
    q.addBindValue(table);
    if (!q.exec())
        return columns;
    while (q.next())
        columns << q.value(0).toString() + QLatin1Char(' ') + affinity(q.value(1).toString());
    return columns;
}

// The columns of the installed tables as this program creates them.
const QHash<QString, QStringList>& programColumns()
{
    static const QHash<QString, QStringList> columns = [] {
        QHash<QString, QStringList> out;
        ScopedConnection memory(QStringLiteral(":memory:"));
        QSqlDatabase db = memory.db();
        if (db.open() && Tool::ensureSchema(db)) {
            for (const QString& table : Tool::installedTables() + Tool::calibrationTables() + Tool::labTables())
                out.insert(table, columnsOf(db, table));
        }
        return out;
    }();
    return columns;
}

// Why a database that passed integrity_check still is none of this program's,
// empty when it is one. The program stores by column position and reads
// texts back, so every installed table must be a table with the program's
// columns in their order, none of them converting texts to numbers; and the
// program makes no triggers, which would run on its own writes.
QString schemaRefusal(QSqlDatabase db)
{
    for (const QString& table : Tool::installedTables()) {
        QSqlQuery t(db);
        t.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?"));
        t.addBindValue(table);
        if (!t.exec() || !t.next())
            return QStringLiteral("table %1 is missing").arg(table);
        const QStringList expected = programColumns().value(table);
        const QStringList found = columnsOf(db, table);
        if (expected.isEmpty() || found != expected)
            return QStringLiteral("table %1 has columns (%2), expected (%3)")
                .arg(table, found.join(QLatin1String(", ")), expected.join(QLatin1String(", ")));
    }
    // Older databases have no calibration evidence yet and gain the tables on
    // open; where present they must be the program's.
    for (const QString& table : Tool::calibrationTables() + Tool::labTables()) {
        QSqlQuery t(db);
        t.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?"));
        t.addBindValue(table);
        if (!t.exec())
            return QStringLiteral("schema unreadable");
        if (!t.next())
            continue;
        const QStringList expected = programColumns().value(table);
        const QStringList found = columnsOf(db, table);
        if (expected.isEmpty() || found != expected)
            return QStringLiteral("table %1 has columns (%2), expected (%3)")
                .arg(table, found.join(QLatin1String(", ")), expected.join(QLatin1String(", ")));
    }
    QSqlQuery triggers(db);
    if (!triggers.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type='trigger'"))
        || !triggers.next())
        return QStringLiteral("schema unreadable");
    if (triggers.value(0).toInt() != 0)
        return QStringLiteral("database holds triggers");
    return QString();
}

} // namespace

QString backupTarget(const QString& directory, const QDateTime& now)
{
    return QDir::toNativeSeparators(directory + QLatin1Char('/') +
                                    now.toString(QStringLiteral("yyyy_MM_dd_hh_mm")) +
                                    QStringLiteral("_ARQ-310MX.db3"));
}

bool backupDatabase(const QString& target)
{
    if (QFileInfo::exists(target))
        return false;
    // The bench's own file: the whole database on SQLite, the bench's
    // settings while the shared records are on a lab server (which the lab
    // backs up with pg_dump).
    QSqlDatabase db = Tool::Sql::localDatabase();
    if (!db.isOpen())
        return false;
    QString error;
    if (!vacuumInto(db, target, &error)) {
        qWarning().noquote() << "Backup to" << target << "failed:" << error;
        return false;
    }
    return true;
}

bool prepareRestore(const QString& source, const QString& tempPath, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        QFile::remove(tempPath);
        return false;
    };
    if (!QFileInfo(source).isFile() || !QFileInfo(source).isReadable())
        return fail(QStringLiteral("cannot read %1").arg(source));
    QFile::remove(tempPath);

    {
        // Reading the source through SQLite also picks up rows still held in
        // its -wal file (restoring the live database onto itself loses nothing).
        ScopedConnection src(source);
        QSqlDatabase db = src.db();
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (!db.open())
            return fail(db.lastError().text());
        QString why;
        if (!vacuumInto(db, tempPath, &why))
            return fail(why);
    }

    // The checks run while a connection holds the copy; a refused copy is
    // removed only after that connection is gone (Windows cannot delete an
    // open file, and SQLite must not lose a file under it anywhere).
    QString refused;
    {
        ScopedConnection copy(tempPath);
        QSqlDatabase db = copy.db();
        if (!db.open()) {
            refused = db.lastError().text();
        } else {
            // integrity_check, not quick_check: the copy carries the source's
            // index pages over as they are, and an index out of step with its
            // table passes quick_check but fails the program's first write.
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA integrity_check")) || !q.next() ||
                q.value(0).toString() != QLatin1String("ok"))
                refused = QStringLiteral("integrity_check failed");
            if (refused.isEmpty())
                refused = schemaRefusal(db);
            if (refused.isEmpty()) {
                // The copy must stand alone: no journal beside it.
                QSqlQuery mode(db);
                mode.exec(QStringLiteral("PRAGMA journal_mode=DELETE"));
            }
        }
    }
    if (!refused.isEmpty())
        return fail(refused);
    return true;
}

bool replaceFile(const QString& from, const QString& to)
{
#if defined(Q_OS_WIN)
    // rename() refuses an existing target on Windows; this replaces it.
    return MoveFileExW(reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<const wchar_t*>(QDir::toNativeSeparators(to).utf16()),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    // rename(2) replaces the target atomically: at every moment either the old
    // or the new file is complete on disk.
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
#endif
}

bool commitRestore(const QString& tempPath, const QString& databasePath)
{
    if (!QFileInfo::exists(tempPath))
        return false;
    QFile::remove(databasePath + QStringLiteral("-wal"));
    QFile::remove(databasePath + QStringLiteral("-shm"));
    return replaceFile(tempPath, databasePath);
}

QString serverDumpTarget(const QString& directory, const QDateTime& now)
{
    return QDir::toNativeSeparators(directory + QLatin1Char('/') + now.toString(QStringLiteral("yyyy_MM_dd_hh_mm")) +
                                    QStringLiteral("_ARQ-310MX.dump"));
}

QString serverProgram(const QString& name)
{
    const QString onPath = QStandardPaths::findExecutable(name);
    if (!onPath.isEmpty())
        return onPath;
    const QDir root(QStringLiteral("/usr/lib/postgresql"));
    QString best;
    QVersionNumber bestVersion;
    for (const QString& entry : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString program = root.filePath(entry + QStringLiteral("/bin/") + name);
        const QVersionNumber version = QVersionNumber::fromString(entry);
        if (QFileInfo(program).isExecutable() && (best.isEmpty() || version > bestVersion)) {
            best = program;
            bestVersion = version;
        }
    }
    return best;
}

namespace {

// Runs a client program against the server; the password goes in the
// child's environment only, never on its command line or in the log.
ServerResult runServerProgram(const QString& program, QStringList arguments, QString* detail)
{
    Tool::DatabaseSettings s;
    if (!Tool::serverSettings(&s)) {
        if (detail)
            *detail = QStringLiteral("no server database open");
        return ServerResult::Failed;
    }
    const QString path = serverProgram(program);
    if (path.isEmpty()) {
        if (detail)
            *detail = program;
        return ServerResult::ProgramMissing;
    }
    auto value = [](QString v) {
        return QLatin1Char('\'') + v.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('\''), QStringLiteral("\\'"))
               + QLatin1Char('\'');
    };
    QStringList conninfo{QStringLiteral("host=") + value(s.host), QStringLiteral("port=%1").arg(s.port),
                         QStringLiteral("dbname=") + value(s.database), QStringLiteral("user=") + value(s.user)};
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Options libpq also takes from the environment go there; a password
    // (given in the options too) never reaches the command line.
    static const QHash<QString, QString> kEnvironment{
        {QStringLiteral("password"), QStringLiteral("PGPASSWORD")},
        {QStringLiteral("sslmode"), QStringLiteral("PGSSLMODE")},
        {QStringLiteral("sslrootcert"), QStringLiteral("PGSSLROOTCERT")},
        {QStringLiteral("sslcert"), QStringLiteral("PGSSLCERT")},
        {QStringLiteral("sslkey"), QStringLiteral("PGSSLKEY")},
        {QStringLiteral("connect_timeout"), QStringLiteral("PGCONNECT_TIMEOUT")}};
    for (const QString& option : s.options.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString key = option.section(QLatin1Char('='), 0, 0).trimmed().toLower();
        QString v = option.section(QLatin1Char('='), 1).trimmed();
        if (v.size() >= 2 && v.startsWith(QLatin1Char('\'')) && v.endsWith(QLatin1Char('\'')))
            v = v.mid(1, v.size() - 2).replace(QStringLiteral("\\'"), QStringLiteral("'")).replace(QStringLiteral("\\\\"), QStringLiteral("\\"));
        if (kEnvironment.contains(key))
            env.insert(kEnvironment.value(key), v);
        else
            conninfo << option.trimmed();
    }
    arguments << QStringLiteral("--dbname=") + conninfo.join(QLatin1Char(' '));
    if (!s.password.isEmpty())
        env.insert(QStringLiteral("PGPASSWORD"), s.password);
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(path, arguments);
    if (!p.waitForStarted(30000)) {
        if (detail)
            *detail = p.errorString();
        return ServerResult::Failed;
    }
    p.waitForFinished(-1);
    const QString output = QString::fromLocal8Bit(p.readAll()).trimmed();
    if (detail)
        *detail = output;
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning().noquote() << program << "failed:" << output;
        return ServerResult::Failed;
    }
    return ServerResult::Done;
}

} // namespace

ServerResult dumpServer(const QString& target, QString* detail)
{
    if (QFileInfo::exists(target))
        return ServerResult::TargetExists;
    const ServerResult r = runServerProgram(QStringLiteral("pg_dump"),
                                            {QStringLiteral("--format=custom"), QStringLiteral("--no-owner"),
                                             QStringLiteral("--file=") + target},
                                            detail);
    if (r != ServerResult::Done)
        QFile::remove(target);
    return r;
}

ServerResult restoreServer(const QString& dump, QString* detail)
{
    if (!QFileInfo(dump).isFile()) {
        if (detail)
            *detail = QStringLiteral("cannot read %1").arg(dump);
        return ServerResult::Failed;
    }
    QSqlDatabase db = QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
    if (!Tool::Sql::isServer(db) || !db.isOpen())
        return ServerResult::Failed;
    // Empty means none of the shared tables holds a row (the program creates
    // them on open; those empty ones are replaced by the dump's).
    for (const QString& table : Tool::installedTables() + Tool::calibrationTables() + Tool::labTables()
                                    + QStringList{QStringLiteral("ChannelCalibrationData")}) {
        if (Tool::Sql::localTables().contains(table) || !Tool::Sql::tableExists(db, table))
            continue;
        QSqlQuery q(db);
        if (!q.exec(QStringLiteral("SELECT 1 FROM %1 LIMIT 1").arg(table)))
            return ServerResult::Failed;
        if (q.next()) {
            if (detail)
                *detail = table;
            return ServerResult::NotEmpty;
        }
    }
    // Other benches working on the database would write into a restore in
    // progress and see tables vanish: they close first. This program's own
    // connections (this one, the store writer's) do not count. Another
    // login's sessions show their database but not their kind.
    {
        QSqlQuery q(db);
        q.prepare(QStringLiteral("SELECT count(*) FROM pg_stat_activity WHERE datname = current_database() "
                                 "AND coalesce(backend_type, 'client backend') = 'client backend' "
                                 "AND pid <> pg_backend_pid() AND pid <> ?"));
        const Tool::StoreWriter* writer = Tool::StoreWriter::instance();
        q.addBindValue(writer ? writer->backendPid() : 0);
        if (!q.exec() || !q.next())
            return ServerResult::Failed;
        if (q.value(0).toInt() > 0) {
            if (detail)
                *detail = QString::number(q.value(0).toInt());
            return ServerResult::InUse;
        }
    }
    return runServerProgram(QStringLiteral("pg_restore"),
                            {QStringLiteral("--clean"), QStringLiteral("--if-exists"), QStringLiteral("--no-owner"),
                             QStringLiteral("--single-transaction"), QStringLiteral("--exit-on-error"), dump},
                            detail);
}

} // namespace Backup
