#include "Backup.h"

#include <QtGlobal>
#if defined(Q_OS_WIN)
#include <windows.h>
#endif

#include "Tool.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
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
    QSqlDatabase db = QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
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
            QSqlQuery q(db);
            if (!q.exec(QStringLiteral("PRAGMA quick_check")) || !q.next() ||
                q.value(0).toString() != QLatin1String("ok"))
                refused = QStringLiteral("quick_check failed");
            for (const QString& table : Tool::installedTables()) {
                if (!refused.isEmpty())
                    break;
                QSqlQuery t(db);
                t.prepare(QStringLiteral("SELECT 1 FROM sqlite_master WHERE type='table' AND name=?"));
                t.addBindValue(table);
                if (!t.exec() || !t.next())
                    refused = QStringLiteral("table %1 is missing").arg(table);
            }
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

} // namespace Backup
