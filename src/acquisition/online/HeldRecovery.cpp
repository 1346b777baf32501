#include "HeldRecovery.h"

#include "HeldRows.h"
#include "Tool.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QSqlQuery>

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz");

bool projectStored(const QString& name)
{
    QSqlQuery q;
    q.prepare(QStringLiteral("select count(*) from Parameters where Name = ?"));
    q.addBindValue(name);
    return q.exec() && q.next() && q.value(0).toInt() > 0;
}

// The scan times of a project stored between two times.
bool storedTimes(const QString& name, const QString& from, const QString& to, QSet<QString>& times)
{
    QSqlQuery q;
    q.prepare(QStringLiteral("select Time from ParametersData where Name = ? and Time >= ? and Time <= ?"));
    q.addBindValue(name);
    q.addBindValue(from);
    q.addBindValue(to);
    if (!q.exec())
        return false;
    while (q.next())
        times.insert(q.value(0).toString());
    return true;
}

QString native(const QStringList& files)
{
    QStringList out;
    for (const QString& f : files)
        out << QDir::toNativeSeparators(f);
    return out.join(QStringLiteral("，"));
}

} // namespace

namespace HeldRecovery {

QStringList sideFiles(const QString& databasePath)
{
    if (databasePath.isEmpty())
        return {};
    const QFileInfo db(databasePath);
    QStringList out;
    const QDir dir = db.absoluteDir();
    const QStringList names =
        dir.entryList({db.fileName() + QStringLiteral(".held-*.tsv")}, QDir::Files, QDir::Name);
    for (const QString& name : names)
        out << dir.filePath(name);
    return out;
}

Outcome recover(const QString& databasePath)
{
    Outcome outcome;
    outcome.files = sideFiles(databasePath);
    for (const QString& path : qAsConst(outcome.files)) {
        HeldRows::FileScans content;
        if (!HeldRows::readFile(path, content)) {
            qWarning() << "held rows: side file" << path << "cannot be read; kept";
            outcome.kept << path;
            continue;
        }
        // Per project: whether it is still stored and the scan times it has
        // in the file's span.
        QHash<QString, QPair<QString, QString>> spans;
        for (const HeldRows::Scan& scan : qAsConst(content.scans)) {
            for (const Tool::Struct_ParametersData& row : scan.rows) {
                const QString t = row.Time.toString(kTimeFormat);
                auto it = spans.find(row.Name);
                if (it == spans.end())
                    spans.insert(row.Name, {t, t});
                else
                    *it = {qMin(it->first, t), qMax(it->second, t)};
            }
        }
        QHash<QString, QSet<QString>> stored;
        QSet<QString> gone;
        bool readable = true;
        for (auto it = spans.cbegin(); it != spans.cend(); ++it) {
            if (!projectStored(it.key()))
                gone.insert(it.key());
            else
                readable = storedTimes(it.key(), it->first, it->second, stored[it.key()]) && readable;
        }
        if (!readable) {
            outcome.kept << path;
            continue;
        }
        QList<Tool::Struct_ParametersData> rows;
        int scans = 0, already = 0, orphaned = 0;
        for (const HeldRows::Scan& scan : qAsConst(content.scans)) {
            int taken = 0, present = 0;
            for (const Tool::Struct_ParametersData& row : scan.rows) {
                if (gone.contains(row.Name))
                    continue;
                if (stored.value(row.Name).contains(row.Time.toString(kTimeFormat))) {
                    ++present;
                    continue;
                }
                rows << row;
                ++taken;
            }
            if (taken > 0)
                ++scans;
            else if (present > 0)
                ++already;
            else
                ++orphaned;
        }
        // One transaction a file: stored whole or not at all.
        if (!rows.isEmpty() && !Tool::addParametersDataBulk(rows)) {
            qWarning() << "held rows: scans of" << path << "not stored; kept for the next start";
            outcome.kept << path;
            continue;
        }
        qInfo() << "held rows:" << scans << "scans of" << path << "stored," << already << "stored before,"
                << orphaned << "of projects no longer stored," << content.broken << "cut short";
        outcome.stored += scans;
        outcome.already += already;
        outcome.orphaned += orphaned;
        outcome.broken += content.broken;
        // Stored: a file left now would only be read again (and skipped).
        if (!QFile::remove(path) && !QFile::resize(path, 0))
            qWarning() << "held rows: side file" << path << "stored but not removable";
    }
    return outcome;
}

QString message(const Outcome& outcome)
{
    QStringList text;
    QStringList read = outcome.files;
    for (const QString& k : outcome.kept)
        read.removeAll(k);
    if (outcome.stored > 0)
        text << QCoreApplication::translate("HeldRecovery",
                                            "上次采集未存入数据库的%1次扫描已从文件%2存入数据库。")
                    .arg(outcome.stored)
                    .arg(native(read));
    if (!outcome.kept.isEmpty())
        text << QCoreApplication::translate(
                    "HeldRecovery", "文件%1中暂存的扫描数据未能存入数据库，文件已保留，下次启动程序时再试。")
                    .arg(native(outcome.kept));
    return text.join(QLatin1Char('\n'));
}

} // namespace HeldRecovery
