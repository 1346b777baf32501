// Restoring a user-chosen database file: the check of the chosen file and
// the replacement of the database, as the System settings page runs them.
//
// Input: the chosen file's bytes (run.sh seeds a small database of the
// program's own schema, written by this target when ARQ_FUZZ_WRITE_SEED
// names a file).
// Checked: a refused file leaves no copy behind and the database byte for
// byte as it was; an accepted one replaces it, and the program can then open
// the database and store and read back a record in each of its tables.

#include "Backup.h"
#include "Tool.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

QString g_dir;
QString g_live;
QString g_chosen;
QByteArray g_liveBytes;

void check(bool condition, const char* what = "")
{
    if (!condition) {
        std::fprintf(stderr, "check failed: %s\n", what);
        std::abort();
    }
}

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

// A database of the program's schema with one row in most tables, in small
// pages so the whole file stays a few kilobytes.
QByteArray seedDatabase(const QString& path)
{
    QFile::remove(path);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("seed"));
        db.setDatabaseName(path);
        check(db.open());
        QSqlQuery q(db);
        q.exec(QStringLiteral("PRAGMA page_size=512"));
        check(Tool::ensureSchema(db));
        q.exec(QStringLiteral("insert into SystemSet values ('DataAccuracy', '3')"));
        q.exec(QStringLiteral("insert into AuditLog values ('2024-03-05 10:00:00', 'x', 'y')"));
        q.exec(QStringLiteral("insert into ParametersData values ('p', '2024-03-05 10:00:00.000', '1.5,2')"));
        q.exec(QStringLiteral("VACUUM"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("seed"));
    return contents(path);
}

void closeDefault()
{
    const QString name = QLatin1String(QSqlDatabase::defaultConnection);
    {
        QSqlDatabase db = QSqlDatabase::database(name, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
}

// Stores one record in every table through the program's own functions and
// reads each back unchanged ("007" and "1.50" would lose their form in a
// column of numeric affinity).
const char* unusable()
{
    if (!Tool::openDefaultDatabase(g_live))
        return "open";
    const QString tag = QStringLiteral("fuzz-check-007");

    Tool::Struct_AcquisitionDevice device;
    device.Number = 424242;
    device.Mode = QStringLiteral("3107A");
    device.SerialNumber = tag;
    device.ScanRate = QStringLiteral("1.50");
    if (!Tool::addAcquisitionDevice(device))
        return "device";
    QList<Tool::Struct_AcquisitionDevice> devices;
    if (!Tool::getAcquisitionDevice(devices, QString::number(device.Number)) || devices.size() != 1 ||
        devices.first().SerialNumber != tag || devices.first().ScanRate != device.ScanRate)
        return "device read";

    Tool::Struct_ChannelConfig config;
    config.Name = tag;
    config.Number = 1;
    config.A_C0 = QStringList{QStringLiteral("1.50")};
    if (!Tool::addChannelConfig(config))
        return "config";
    QList<Tool::Struct_ChannelConfig> configs;
    if (!Tool::getChannelConfig(configs, tag) || configs.size() != 1 || configs.first().A_C0 != config.A_C0)
        return "config read";

    Tool::Struct_Parameters project;
    project.Name = tag;
    project.ScanInterval = QStringLiteral("007");
    if (!Tool::addParameters(project))
        return "project";
    QList<Tool::Struct_Parameters> projects;
    if (!Tool::getParameters(projects, tag) || projects.size() != 1 ||
        projects.first().ScanInterval != project.ScanInterval)
        return "project read";

    const Tool::Struct_ParametersData row{tag, QDateTime(QDate(2024, 3, 5), QTime(10, 0)),
                                          QStringList{QStringLiteral("1.50"), QStringLiteral("007")}};
    if (!Tool::addParametersData(row))
        return "row";
    QList<Tool::Struct_ParametersData> rows;
    if (!Tool::getParametersData(rows, tag) || rows.size() != 1 || rows.first().Data != row.Data)
        return "row read";

    Tool::addAuditLog(tag, QStringLiteral("1.50"));
    QList<Tool::Struct_AuditLog> log;
    if (!Tool::getAuditLog(log, QString(), QString(), QString()))
        return "log read";
    bool logged = false;
    for (const Tool::Struct_AuditLog& entry : log)
        logged = logged || (entry.Type == tag && entry.Details == QLatin1String("1.50"));
    return logged ? nullptr : "log";
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/arq-fuzz-XXXXXX"));
    g_dir = dir.path();
    g_live = dir.filePath(QStringLiteral("ARQ-310MX.db3"));
    g_chosen = dir.filePath(QStringLiteral("chosen.db3"));
    qInstallMessageHandler(quiet);
    g_liveBytes = seedDatabase(g_live);
    check(!g_liveBytes.isEmpty());
    if (const char* seed = std::getenv("ARQ_FUZZ_WRITE_SEED")) {
        check(writeFile(QString::fromLocal8Bit(seed), g_liveBytes));
        std::exit(0);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray chosen(reinterpret_cast<const char*>(data), static_cast<int>(size));
    check(writeFile(g_chosen, chosen));
    const QString temp = g_live + QStringLiteral(".restore");

    if (!Backup::prepareRestore(g_chosen, temp)) {
        check(!QFile::exists(temp), "refused copy left behind");
        check(contents(g_live) == g_liveBytes, "database changed by a refused restore");
        return 0;
    }
    check(Backup::commitRestore(temp, g_live), "commit");
    check(!QFile::exists(temp), "copy left behind");
    const char* step = unusable();
    check(!step, step);

    closeDefault();
    QFile::remove(g_live + QStringLiteral("-wal"));
    QFile::remove(g_live + QStringLiteral("-shm"));
    check(writeFile(g_live, g_liveBytes));
    return 0;
}
