#include "LabImport.h"

#include "CalibrationStore.h"
#include "SqlEngine.h"
#include "Tool.h"

#include <QFileInfo>
#include <QSqlDriver>
#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>
#include <QVariant>
#include <QtDebug>

#ifdef ARQ_HAVE_LIBPQ
#include <libpq-fe.h>
#endif

namespace Tool {

namespace {

// The source file on a private read-only connection, removed however the import ends.
class SourceFile
{
public:
    explicit SourceFile(const QString& path)
        : m_name(QStringLiteral("arq-import-") + QUuid::createUuid().toString(QUuid::Id128))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        m_open = db.open();
    }
    ~SourceFile()
    {
        {
            QSqlDatabase db = QSqlDatabase::database(m_name, false);
            db.close();
        }
        QSqlDatabase::removeDatabase(m_name);
    }
    bool isOpen() const { return m_open; }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
    bool m_open = false;
};

// An identifier quoted for `db`: by libpq's own rules on a server (the
// names come from a file someone else made), doubled quotes on SQLite.
QString quotedIdentifier(const QSqlDatabase& db, const QString& name)
{
#ifdef ARQ_HAVE_LIBPQ
    const QVariant v = db.driver() ? db.driver()->handle() : QVariant();
    if (Sql::isServer(db) && v.isValid() && qstrcmp(v.typeName(), "PGconn*") == 0) {
        PGconn* conn = *static_cast<PGconn* const*>(v.constData());
        const QByteArray utf8 = name.toUtf8();
        if (char* quoted = PQescapeIdentifier(conn, utf8.constData(), size_t(utf8.size()))) {
            const QString out = QString::fromUtf8(quoted);
            PQfreemem(quoted);
            return out;
        }
        return QString();
    }
#endif
    return QLatin1Char('"') + QString(name).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// The columns the target's `table` has, by lower-case name, as it spells them.
QHash<QString, QString> knownColumns(const QSqlDatabase& target, const QString& table)
{
    QHash<QString, QString> known;
    QSqlQuery q(target);
    if (Sql::isServer(target))
        q.prepare(QStringLiteral("SELECT column_name FROM information_schema.columns WHERE table_schema = "
                                 "current_schema() AND table_name = lower(?)"));
    else
        q.prepare(QStringLiteral("SELECT name FROM pragma_table_info(?)"));
    q.addBindValue(table);
    if (q.exec())
        while (q.next())
            known.insert(q.value(0).toString().toLower(), q.value(0).toString());
    return known;
}

QStringList sourceColumns(const QSqlDatabase& source, const QString& table)
{
    QStringList columns;
    QSqlQuery q(source);
    q.prepare(QStringLiteral("SELECT name FROM pragma_table_info(?) ORDER BY cid"));
    q.addBindValue(table);
    if (q.exec())
        while (q.next())
            columns << q.value(0).toString();
    return columns;
}

QStringList namesIn(const QSqlDatabase& db, const QString& sql)
{
    QStringList names;
    QSqlQuery q(db);
    if (q.exec(sql))
        while (q.next())
            names << q.value(0).toString();
    return names;
}

class Importer
{
public:
    Importer(QSqlDatabase source, QSqlDatabase target) : m_source(source), m_target(target) {}

    // Every row of `table` (in the source's order) into the target. `upsertKeys`
    // > 0: rows whose key the target holds are skipped and counted in `kept`.
    bool copy(const QString& table, int upsertKeys = 0, int* copied = nullptr, const QString& skip = QString())
    {
        if (!Sql::tableExists(m_source, table))
            return true;
        QStringList columns = sourceColumns(m_source, table);
        columns.removeAll(skip);
        if (columns.isEmpty())
            return fail(table, QStringLiteral("no columns"));
        QStringList target, marks, quoted;
        if (!mapColumns(table, columns, &target, &quoted))
            return false;
        for (int i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        QString sql = QStringLiteral("INSERT INTO %1(%2) VALUES (%3)")
                          .arg(table, target.join(QStringLiteral(", ")), marks.join(QLatin1Char(',')));
        if (upsertKeys > 0)
            sql += Sql::isServer(m_target)
                       ? QStringLiteral(" ON CONFLICT (%1) DO NOTHING").arg(target.mid(0, upsertKeys).join(QStringLiteral(", ")))
                       : QString();
        if (upsertKeys > 0 && !Sql::isServer(m_target))
            sql.replace(0, 6, QStringLiteral("INSERT OR IGNORE"));
        QSqlQuery read(m_source);
        read.setForwardOnly(true);
        if (!read.exec(QStringLiteral("SELECT %1 FROM \"%2\" ORDER BY rowid").arg(quoted.join(QStringLiteral(", ")), table)))
            return fail(table, read.lastError().text());
        int n = 0;
        if (upsertKeys == 0) {
            // Texts exactly as stored, in batches by the bulk path (COPY on a server).
            QList<QVariantList> batch;
            while (read.next()) {
                QVariantList values;
                for (int i = 0; i < columns.size(); ++i)
                    values << read.value(i);
                batch << values;
                ++n;
                if (batch.size() >= 5000) {
                    if (!copyRows(m_target, table, target, batch))
                        return fail(table, QStringLiteral("rows not stored"));
                    batch.clear();
                }
            }
            if (!batch.isEmpty() && !copyRows(m_target, table, target, batch))
                return fail(table, QStringLiteral("rows not stored"));
        } else {
            QSqlQuery write(m_target);
            if (!write.prepare(sql))
                return fail(table, write.lastError().text());
            while (read.next()) {
                for (int i = 0; i < columns.size(); ++i)
                    write.bindValue(i, read.value(i));
                if (!write.exec())
                    return fail(table, write.lastError().text());
                if (write.numRowsAffected() == 0)
                    ++kept;
                ++n;
            }
        }
        if (copied)
            *copied = n;
        return true;
    }

    // The history with new ids on the target; each set's evidence follows its row.
    bool copyHistory()
    {
        if (!Sql::tableExists(m_source, QStringLiteral("CalibrationHistory")))
            return true;
        QList<Struct_CalibrationHistory> all;
        QSqlQuery read(m_source);
        const bool evidence = Sql::tableExists(m_source, QStringLiteral("CalibrationEvidence"));
        if (!read.exec(evidence ? QStringLiteral("SELECT h.Id, e.Data FROM CalibrationHistory h LEFT JOIN "
                                                 "CalibrationEvidence e ON e.HistoryId = h.Id ORDER BY h.Id")
                                : QStringLiteral("SELECT Id, NULL FROM CalibrationHistory ORDER BY Id")))
            return fail(QStringLiteral("CalibrationHistory"), read.lastError().text());
        QStringList columns = sourceColumns(m_source, QStringLiteral("CalibrationHistory"));
        columns.removeAll(QStringLiteral("Id"));
        QStringList target, quoted, marks;
        if (!mapColumns(QStringLiteral("CalibrationHistory"), columns, &target, &quoted))
            return false;
        for (int i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        const bool server = Sql::isServer(m_target);
        QSqlQuery write(m_target);
        if (!write.prepare(QStringLiteral("INSERT INTO CalibrationHistory(%1) VALUES (%2)%3")
                               .arg(target.join(QStringLiteral(", ")), marks.join(QLatin1Char(',')),
                                    server ? QStringLiteral(" RETURNING Id") : QString())))
            return fail(QStringLiteral("CalibrationHistory"), write.lastError().text());
        QSqlQuery row(m_source);
        row.prepare(QStringLiteral("SELECT %1 FROM CalibrationHistory WHERE Id = ?").arg(quoted.join(QStringLiteral(", "))));
        QSqlQuery link(m_target);
        link.prepare(QStringLiteral("INSERT INTO CalibrationEvidence(HistoryId, Data) VALUES (?, ?)"));
        while (read.next()) {
            row.addBindValue(read.value(0));
            if (!row.exec() || !row.next())
                return fail(QStringLiteral("CalibrationHistory"), row.lastError().text());
            for (int i = 0; i < columns.size(); ++i)
                write.bindValue(i, row.value(i));
            if (!write.exec() || (server && !write.next()))
                return fail(QStringLiteral("CalibrationHistory"), write.lastError().text());
            const QVariant id = server ? write.value(0) : write.lastInsertId();
            write.finish();
            if (!read.value(1).isNull()) {
                link.addBindValue(id);
                link.addBindValue(read.value(1));
                if (!link.exec())
                    return fail(QStringLiteral("CalibrationEvidence"), link.lastError().text());
            }
        }
        return true;
    }

    // The file's columns of `table` as the target and the file spell them;
    // a column the target does not have refuses the import (a file of this
    // program has none, and its names would reach the server's SQL).
    bool mapColumns(const QString& table, const QStringList& columns, QStringList* target, QStringList* source)
    {
        const QHash<QString, QString> known = knownColumns(m_target, table);
        for (const QString& c : columns) {
            const QString name = known.value(c.toLower());
            if (name.isEmpty())
                return fail(table, QStringLiteral("unknown column \"%1\"").arg(c));
            const QString quoted = quotedIdentifier(m_target, name);
            if (quoted.isEmpty())
                return fail(table, QStringLiteral("column name refused"));
            *target << quoted;
            *source << quotedIdentifier(m_source, name);
        }
        return true;
    }

    QString error;
    int kept = 0;

private:
    bool fail(const QString& table, const QString& why)
    {
        error = QStringLiteral("%1: %2").arg(table, why);
        return false;
    }
    QSqlDatabase m_source, m_target;
};

} // namespace

ImportOutcome importBenchFile(const QString& path)
{
    ImportOutcome out;
    if (!QFileInfo(path).isFile()) {
        out.error = QStringLiteral("%1 is no file").arg(path);
        return out;
    }
    SourceFile file(path);
    QSqlDatabase source = file.db();
    if (!file.isOpen() || !Sql::tableExists(source, QStringLiteral("Parameters"))) {
        out.error = QStringLiteral("%1 is no database of this program").arg(path);
        return out;
    }
    Sql::reviveShared();
    QSqlDatabase target = Sql::sharedDatabase();
    const Sql::TransactionMark mark(target);
    if (!target.isOpen() || !target.transaction()) {
        out.error = QStringLiteral("the lab database is not open");
        return out;
    }
    auto failed = [&](const QString& why) {
        target.rollback();
        out.ok = false;
        out.projects = out.rows = out.kept = 0;
        out.error = why;
        return out;
    };
    // Names are checked inside the transaction; on a server the unique key
    // on project names refuses one another bench stores meanwhile.
    const QStringList projects =
        namesIn(source, QStringLiteral("SELECT Name FROM Parameters UNION SELECT DISTINCT Name FROM ParametersData"));
    const QStringList existing = namesIn(target, QStringLiteral("SELECT Name FROM Parameters UNION SELECT DISTINCT "
                                                                "Name FROM ParametersData"));
    for (const QString& name : projects)
        if (existing.contains(name))
            out.taken << name;
    const QStringList configs = namesIn(target, QStringLiteral("SELECT DISTINCT Name FROM ChannelConfig"));
    for (const QString& name : namesIn(source, QStringLiteral("SELECT DISTINCT Name FROM ChannelConfig")))
        if (configs.contains(name))
            out.taken << name;
    if (Sql::tableExists(source, QStringLiteral("Certificates"))) {
        const QStringList numbers = namesIn(target, QStringLiteral("SELECT Number FROM Certificates"));
        for (const QString& number : namesIn(source, QStringLiteral("SELECT Number FROM Certificates")))
            if (numbers.contains(number))
                out.taken << number;
    }
    if (!out.taken.isEmpty()) {
        target.rollback();
        out.error = QStringLiteral("names taken");
        return out;
    }
    if (Sql::isServer(target) && Sql::tableExists(source, QStringLiteral("ChannelCalibrationData"))
        && !Sql::tableExists(target, QStringLiteral("ChannelCalibrationData"))
        && !QSqlQuery(target).exec(Sql::serverCalibrationDataTable()))
        return failed(QStringLiteral("ChannelCalibrationData cannot be created"));

    Importer importer(source, target);
    int copied = 0;
    bool ok = importer.copy(QStringLiteral("Parameters"), 0, &copied);
    out.projects = copied;
    ok = ok && importer.copy(QStringLiteral("ChannelConfig")) && importer.copy(QStringLiteral("AuditLog"))
         && importer.copy(QStringLiteral("ChannelCalibrationData"))
         && importer.copy(QStringLiteral("CalibrationSamples")) && importer.copyHistory()
         && importer.copy(QStringLiteral("Certificates"))
         && importer.copy(QStringLiteral("ReferenceStandards"), 1) && importer.copy(QStringLiteral("SourceRecords"), 1)
         && importer.copy(QStringLiteral("ReadoutRecords"), 2) && importer.copy(QStringLiteral("LabRecord"), 1)
         && importer.copy(QStringLiteral("ParametersData"), 0, &out.rows);
    if (!ok)
        return failed(importer.error);
    if (!Sql::commit(target))
        return failed(target.lastError().text());
    out.ok = true;
    out.kept = importer.kept;
    qInfo().noquote() << "store: imported" << path << ":" << out.projects << "projects," << out.rows << "scan rows";
    return out;
}

} // namespace Tool
