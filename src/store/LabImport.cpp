#include "LabImport.h"

#include "CalibrationStore.h"
#include "SqlEngine.h"
#include "Tool.h"

#include <QFileInfo>
#include <QHash>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>
#include <QVariant>
#include <QtDebug>

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

// A column as the target spells it: unquoted names are folded by the
// server, the others ("MX+B_M", "End") were created quoted.
QString targetColumn(const QString& name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    if (plain.match(name).hasMatch() && name.compare(QLatin1String("End"), Qt::CaseInsensitive) != 0)
        return name;
    return QLatin1Char('"') + name + QLatin1Char('"');
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
        QStringList target, marks;
        for (const QString& c : columns) {
            target << targetColumn(c);
            marks << QStringLiteral("?");
        }
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
        QStringList quoted;
        for (const QString& c : columns)
            quoted << QLatin1Char('"') + c + QLatin1Char('"');
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
        QStringList marks;
        for (int i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        const bool server = Sql::isServer(m_target);
        QSqlQuery write(m_target);
        if (!write.prepare(QStringLiteral("INSERT INTO CalibrationHistory(%1) VALUES (%2)%3")
                               .arg(columns.join(QStringLiteral(", ")), marks.join(QLatin1Char(',')),
                                    server ? QStringLiteral(" RETURNING Id") : QString())))
            return fail(QStringLiteral("CalibrationHistory"), write.lastError().text());
        QSqlQuery row(m_source);
        row.prepare(QStringLiteral("SELECT %1 FROM CalibrationHistory WHERE Id = ?").arg(columns.join(QStringLiteral(", "))));
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
