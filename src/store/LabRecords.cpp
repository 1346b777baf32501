#include "LabRecords.h"

#include "CalibrationStore.h"
#include "SqlEngine.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QtDebug>

namespace Tool {

namespace {

const QString kDate = QStringLiteral("yyyy-MM-dd");

const char* const kStatements[] = {
    "CREATE TABLE IF NOT EXISTS ReferenceStandards(Serial TEXT PRIMARY KEY NOT NULL, Kind TEXT, "
    "Certificate TEXT, Laboratory TEXT, CalibrationDate TEXT, DueDate TEXT, Uncertainty TEXT, CoverageK REAL, "
    "DriftPerYear REAL)",
    "CREATE TABLE IF NOT EXISTS SourceRecords(Serial TEXT PRIMARY KEY NOT NULL, Model TEXT, Stability TEXT, "
    "Uniformity TEXT)",
    "CREATE TABLE IF NOT EXISTS ReadoutRecords(Model TEXT NOT NULL, ChannelType TEXT NOT NULL, Resolution REAL, "
    "Accuracy REAL, Unit TEXT, PRIMARY KEY(Model, ChannelType))",
    "CREATE TABLE IF NOT EXISTS LabRecord(Name TEXT PRIMARY KEY NOT NULL, Data TEXT)",
};

bool exec(QSqlQuery& q, const QString& sql, const QVariantList& values)
{
    if (!q.prepare(sql))
        return false;
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        qWarning().noquote() << "lab records:" << q.lastError().text();
        return false;
    }
    return true;
}

// INSERT OR REPLACE in the engine's words; the first `keys` columns are the key.
QString upsert(const char* table, const char* columns, int keys)
{
    return Sql::upsert(Sql::sharedDatabase(), QString::fromLatin1(table),
                       QString::fromLatin1(columns).split(QLatin1Char(',')), keys);
}

bool modify(const QString& sql, const QVariantList& values)
{
    QSqlQuery q = Sql::sharedQuery();
    return exec(q, sql, values);
}

Struct_ReferenceStandard referenceFrom(const QSqlQuery& q)
{
    Struct_ReferenceStandard r;
    r.Serial = q.value(0).toString();
    r.Kind = q.value(1).toString();
    r.Certificate = q.value(2).toString();
    r.Laboratory = q.value(3).toString();
    r.CalibrationDate = QDate::fromString(q.value(4).toString(), kDate);
    r.DueDate = QDate::fromString(q.value(5).toString(), kDate);
    r.Uncertainty = q.value(6).toString();
    r.CoverageK = q.value(7).toDouble();
    r.DriftPerYear = q.value(8).toDouble();
    return r;
}

} // namespace

TemperatureTable parseTemperatureTable(const QString& text, bool* ok)
{
    TemperatureTable table;
    bool good = !text.trimmed().isEmpty();
    const QStringList entries = text.split(QLatin1Char(';'), Qt::SkipEmptyParts);
    if (entries.size() == 1 && !entries.first().contains(QLatin1Char(':'))) {
        // One value for every temperature.
        const double v = entries.first().trimmed().toDouble(&good);
        if (good)
            table << qMakePair(0.0, v);
    } else {
        for (const QString& entry : entries) {
            bool tOk = false, vOk = false;
            const double t = entry.section(QLatin1Char(':'), 0, 0).trimmed().toDouble(&tOk);
            const double v = entry.section(QLatin1Char(':'), 1).trimmed().toDouble(&vOk);
            good = good && tOk && vOk && entry.count(QLatin1Char(':')) == 1;
            if (tOk && vOk)
                table << qMakePair(t, v);
        }
    }
    if (ok)
        *ok = good;
    return good ? table : TemperatureTable();
}

QString temperatureTableText(const TemperatureTable& table)
{
    if (table.size() == 1)
        return QString::number(table.first().second, 'g', 10);
    QStringList parts;
    for (const auto& p : table)
        parts << QString::number(p.first, 'g', 10) + QLatin1Char(':') + QString::number(p.second, 'g', 10);
    return parts.join(QLatin1Char(';'));
}

bool serialMatches(const QString& recorded, const QString& answered)
{
    if (recorded.isEmpty())
        return false;
    if (recorded == answered.trimmed())
        return true;
    for (const QString& part : answered.split(QLatin1Char(',')))
        if (part.trimmed() == recorded)
            return true;
    return false;
}

QStringList labTables()
{
    return {QStringLiteral("ReferenceStandards"), QStringLiteral("SourceRecords"), QStringLiteral("ReadoutRecords"),
            QStringLiteral("LabRecord")};
}

bool ensureLabSchema(QSqlDatabase& db)
{
    if (Sql::isServer(db))
        return Sql::ensureServerSchema(db);
    QSqlQuery q(db);
    for (const char* sql : kStatements)
        if (!q.exec(QString::fromUtf8(sql))) {
            qWarning().noquote() << "Schema statement failed:" << q.lastError().text();
            return false;
        }
    return true;
}

bool putReferenceStandard(const Struct_ReferenceStandard& r)
{
    return modify(upsert("ReferenceStandards",
                         "Serial,Kind,Certificate,Laboratory,CalibrationDate,DueDate,Uncertainty,CoverageK,DriftPerYear", 1),
                  {r.Serial, r.Kind, r.Certificate, r.Laboratory, r.CalibrationDate.toString(kDate),
                   r.DueDate.toString(kDate), r.Uncertainty, r.CoverageK, r.DriftPerYear});
}

bool getReferenceStandards(QList<Struct_ReferenceStandard>& list)
{
    list.clear();
    QSqlQuery q = Sql::sharedQuery();
    if (!exec(q, QStringLiteral("SELECT * FROM ReferenceStandards ORDER BY Kind, Serial"), {}))
        return false;
    while (q.next())
        list << referenceFrom(q);
    return true;
}

bool getReferenceStandard(const QString& serial, Struct_ReferenceStandard& record, bool& found)
{
    QSqlQuery q = Sql::sharedQuery();
    if (!exec(q, QStringLiteral("SELECT * FROM ReferenceStandards WHERE Serial = ?"), {serial}))
        return false;
    found = q.next();
    if (found)
        record = referenceFrom(q);
    return true;
}

bool deleteReferenceStandard(const QString& serial)
{
    return modify(QStringLiteral("DELETE FROM ReferenceStandards WHERE Serial = ?"), {serial});
}

bool putSourceRecord(const Struct_SourceRecord& r)
{
    return modify(upsert("SourceRecords", "Serial,Model,Stability,Uniformity", 1),
                  {r.Serial, r.Model, r.Stability, r.Uniformity});
}

bool getSourceRecords(QList<Struct_SourceRecord>& list)
{
    list.clear();
    QSqlQuery q = Sql::sharedQuery();
    if (!exec(q, QStringLiteral("SELECT * FROM SourceRecords ORDER BY Serial"), {}))
        return false;
    while (q.next())
        list << Struct_SourceRecord{q.value(0).toString(), q.value(1).toString(), q.value(2).toString(),
                                    q.value(3).toString()};
    return true;
}

bool deleteSourceRecord(const QString& serial)
{
    return modify(QStringLiteral("DELETE FROM SourceRecords WHERE Serial = ?"), {serial});
}

bool putReadoutRecord(const Struct_ReadoutRecord& r)
{
    return modify(upsert("ReadoutRecords", "Model,ChannelType,Resolution,Accuracy,Unit", 2),
                  {r.Model, r.ChannelType, r.Resolution, r.Accuracy, r.Unit});
}

bool getReadoutRecords(QList<Struct_ReadoutRecord>& list)
{
    list.clear();
    QSqlQuery q = Sql::sharedQuery();
    if (!exec(q, QStringLiteral("SELECT * FROM ReadoutRecords ORDER BY Model, ChannelType"), {}))
        return false;
    while (q.next())
        list << Struct_ReadoutRecord{q.value(0).toString(), q.value(1).toString(), q.value(2).toDouble(),
                                     q.value(3).toDouble(), q.value(4).toString()};
    return true;
}

bool deleteReadoutRecord(const QString& model, const QString& channelType)
{
    return modify(QStringLiteral("DELETE FROM ReadoutRecords WHERE Model = ? AND ChannelType = ?"),
                  {model, channelType});
}

bool replaceLabRecords(const QList<Struct_ReferenceStandard>& standards, const QList<Struct_SourceRecord>& sources,
                       const QList<Struct_ReadoutRecord>& readouts)
{
    Transaction transaction;
    if (!transaction.isOpen())
        return false;
    for (const char* table : {"ReferenceStandards", "SourceRecords", "ReadoutRecords"})
        if (!modify(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)), {}))
            return false;
    for (const auto& r : standards)
        if (!putReferenceStandard(r))
            return false;
    for (const auto& r : sources)
        if (!putSourceRecord(r))
            return false;
    for (const auto& r : readouts)
        if (!putReadoutRecord(r))
            return false;
    return transaction.commit();
}

bool putLabRecord(const QString& key, const QString& value)
{
    return modify(upsert("LabRecord", "Name,Data", 1), {key, value});
}

bool getLabRecord(const QString& key, QString& value)
{
    QSqlQuery q = Sql::sharedQuery();
    if (!exec(q, QStringLiteral("SELECT Data FROM LabRecord WHERE Name = ?"), {key}))
        return false;
    value = q.next() ? q.value(0).toString() : QString();
    return true;
}

} // namespace Tool
