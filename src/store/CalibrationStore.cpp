#include "CalibrationStore.h"

#include "SqlEngine.h"
#include "Tool.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QtDebug>

#include <algorithm>
#include <cmath>
#include <limits>

namespace Tool {

namespace {

const char* const kSamplesTable =
    "CREATE TABLE IF NOT EXISTS CalibrationSamples(StartTime TEXT NOT NULL, Point INTEGER NOT NULL, "
    "Batch INTEGER NOT NULL, Channel TEXT NOT NULL, Count INTEGER, Mean REAL, StdDev REAL, Min REAL, "
    "Max REAL, FirstTime TEXT, LastTime TEXT, PRIMARY KEY(StartTime, Point, Batch, Channel))";
const char* const kHistoryTable =
    "CREATE TABLE IF NOT EXISTS CalibrationHistory(Id INTEGER PRIMARY KEY AUTOINCREMENT, SavedAt TEXT, "
    "Operator TEXT, StartTime TEXT, ChannelMode TEXT, ConfigName TEXT, ChannelNumber TEXT, Label TEXT, "
    "Reference TEXT, Points INTEGER, NewSet TEXT, OldSet TEXT, MaxResidual REAL, MaxAsFound REAL, "
    "Residuals TEXT)";
const char* const kHistoryIndex =
    "CREATE INDEX IF NOT EXISTS CalibrationHistory_Channel ON CalibrationHistory(ConfigName, ChannelNumber)";
const char* const kEvidenceTable =
    "CREATE TABLE IF NOT EXISTS CalibrationEvidence(HistoryId INTEGER PRIMARY KEY, Data TEXT)";
const char* const kCertificatesTable =
    "CREATE TABLE IF NOT EXISTS Certificates(Number TEXT PRIMARY KEY, IssuedAt TEXT, StartTime TEXT, "
    "ConfigName TEXT, Device TEXT, Customer TEXT, Operator TEXT, Path TEXT, Data TEXT)";

bool exec(QSqlQuery& q, const QString& sql, const QVariantList& values)
{
    if (!q.prepare(sql))
        return false;
    for (const QVariant& v : values)
        q.addBindValue(v);
    if (!q.exec()) {
        qWarning().noquote() << "calibration store:" << q.lastError().text();
        return false;
    }
    return true;
}

// NULL stands for "none" (no as-found error without earlier coefficients).
QVariant optional(double v)
{
    return std::isfinite(v) ? QVariant(v) : QVariant(QVariant::Double);
}

void readHistory(QSqlQuery& q, QList<Struct_CalibrationHistory>& list);

double fromOptional(const QVariant& v)
{
    return v.isNull() ? std::numeric_limits<double>::quiet_NaN() : v.toDouble();
}

} // namespace

QStringList calibrationTables()
{
    return {QStringLiteral("CalibrationSamples"), QStringLiteral("CalibrationHistory"),
            QStringLiteral("CalibrationEvidence"), QStringLiteral("Certificates")};
}

bool ensureCalibrationSchema(QSqlDatabase& db)
{
    if (Sql::isServer(db))
        return Sql::ensureServerSchema(db);
    QSqlQuery q(db);
    for (const char* sql : {kSamplesTable, kHistoryTable, kHistoryIndex, kEvidenceTable, kCertificatesTable})
        if (!q.exec(QString::fromUtf8(sql))) {
            qWarning().noquote() << "Schema statement failed:" << q.lastError().text();
            return false;
        }
    return true;
}

Transaction::Transaction()
{
    Sql::reviveShared();
    QSqlDatabase db = QSqlDatabase::database();
    m_mark.reset(new Sql::TransactionMark(db));
    m_open = db.isOpen() && db.transaction();
}

Transaction::~Transaction()
{
    if (m_open)
        QSqlDatabase::database().rollback();
}

bool Transaction::commit()
{
    if (!m_open)
        return false;
    m_open = false;
    QSqlDatabase db = QSqlDatabase::database();
    const bool committed = Sql::commit(db);
    if (!committed)
        db.rollback();
    m_mark.reset();
    return committed;
}

bool putChannelCalibration(const QList<QPair<QString, QString>>& keys)
{
    // The calibration page's state belongs to this bench.
    const QSqlDatabase db = Sql::localDatabase();
    QSqlQuery q(db);
    if (!q.prepare(Sql::upsert(db, QStringLiteral("ChannelCalibration"), {QStringLiteral("Name"), QStringLiteral("Data")}, 1)))
        return false;
    for (const auto& key : keys) {
        q.addBindValue(key.first);
        q.addBindValue(key.second);
        if (!q.exec())
            return false;
    }
    qDebug().noquote() << "校准状态：" << keys.size() << "keys written";
    return true;
}

namespace {

bool addSamplesTo(QSqlDatabase db, const QList<Struct_CalibrationSample>& samples)
{
    QSqlQuery q(db);
    static const QStringList columns{QStringLiteral("StartTime"), QStringLiteral("Point"),    QStringLiteral("Batch"),
                                     QStringLiteral("Channel"),   QStringLiteral("Count"),    QStringLiteral("Mean"),
                                     QStringLiteral("StdDev"),    QStringLiteral("Min"),      QStringLiteral("Max"),
                                     QStringLiteral("FirstTime"), QStringLiteral("LastTime")};
    if (!q.prepare(Sql::upsert(db, QStringLiteral("CalibrationSamples"), columns, 4)))
        return false;
    for (const Struct_CalibrationSample& s : samples) {
        for (const QVariant& v : QVariantList{s.StartTime, s.Point, s.Batch, s.Channel, s.Count, s.Mean, s.StdDev,
                                              s.Min, s.Max, s.FirstTime, s.LastTime})
            q.addBindValue(v);
        if (!q.exec())
            return false;
    }
    return true;
}

bool getSamplesFrom(QSqlDatabase db, const QString& startTime, QList<Struct_CalibrationSample>& list)
{
    list.clear();
    QSqlQuery q(db);
    // The order the rows were written in: SQLite's rowid, the server's sequence.
    const QString order = Sql::isServer(db) ? QStringLiteral("Seq") : QStringLiteral("rowid");
    if (!exec(q, QStringLiteral("SELECT * FROM CalibrationSamples WHERE StartTime = ? ORDER BY Point, Batch, "
                                "Channel = 'REF' DESC, %1").arg(order),
              {startTime}))
        return false;
    while (q.next()) {
        Struct_CalibrationSample s;
        s.StartTime = q.value(0).toString();
        s.Point = q.value(1).toInt();
        s.Batch = q.value(2).toInt();
        s.Channel = q.value(3).toString();
        s.Count = q.value(4).toInt();
        s.Mean = q.value(5).toDouble();
        s.StdDev = q.value(6).toDouble();
        s.Min = q.value(7).toDouble();
        s.Max = q.value(8).toDouble();
        s.FirstTime = q.value(9).toString();
        s.LastTime = q.value(10).toString();
        list << s;
    }
    return true;
}

// A lab server bench keeps its page state in its own file, apart from the shared records.
bool stateIsApart()
{
    return Sql::localDatabase().connectionName() != Sql::sharedDatabase().connectionName();
}

} // namespace

bool addCalibrationSamples(const QList<Struct_CalibrationSample>& samples)
{
    Sql::reviveShared();
    return addSamplesTo(Sql::sharedDatabase(), samples);
}

bool getCalibrationSamples(const QString& startTime, QList<Struct_CalibrationSample>& list)
{
    Sql::reviveShared();
    return getSamplesFrom(Sql::sharedDatabase(), startTime, list);
}

bool putRunState(const QList<QPair<QString, QString>>& keys, const QList<Struct_CalibrationSample>& samples)
{
    if (!stateIsApart()) {
        Transaction transaction;
        return putChannelCalibration(keys) && addCalibrationSamples(samples) && transaction.commit();
    }
    // The keys and the samples of a point go together into the bench's file;
    // the samples reach the server with the run they belong to.
    QSqlDatabase local = Sql::localDatabase();
    if (!local.transaction())
        return false;
    if (putChannelCalibration(keys) && addSamplesTo(local, samples) && local.commit())
        return true;
    local.rollback();
    return false;
}

bool getRunSamples(const QString& startTime, QList<Struct_CalibrationSample>& list)
{
    return stateIsApart() ? getSamplesFrom(Sql::localDatabase(), startTime, list) : getCalibrationSamples(startTime, list);
}

bool shareRunSamples(const QString& startTime)
{
    if (!stateIsApart())
        return true;
    QList<Struct_CalibrationSample> samples;
    return getSamplesFrom(Sql::localDatabase(), startTime, samples) && addCalibrationSamples(samples);
}

bool addCalibrationHistory(const Struct_CalibrationHistory& e, qint64* id)
{
    QSqlQuery q = Sql::sharedQuery();
    // The server tells the new id in the statement's result (QPSQL has no lastInsertId for it).
    const bool server = Sql::isServer(Sql::sharedDatabase());
    const bool added = exec(q,
                QStringLiteral("INSERT INTO CalibrationHistory(SavedAt, Operator, StartTime, ChannelMode, ConfigName, "
                               "ChannelNumber, Label, Reference, Points, NewSet, OldSet, MaxResidual, MaxAsFound, "
                               "Residuals) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?)")
                    + (server ? QStringLiteral(" RETURNING Id") : QString()),
                {e.SavedAt, e.Operator, e.StartTime, e.ChannelMode, e.ConfigName, e.ChannelNumber, e.Label,
                 e.Reference, e.Points, e.NewSet.join(QLatin1Char(';')), e.OldSet.join(QLatin1Char(';')),
                 optional(e.MaxResidual), optional(e.MaxAsFound), e.Residuals});
    if (!added)
        return false;
    if (server && !q.next())
        return false;
    const qint64 rowId = server ? q.value(0).toLongLong() : q.lastInsertId().toLongLong();
    if (id)
        *id = rowId;
    if (e.Evidence.isEmpty())
        return true;
    QSqlQuery evidence = Sql::sharedQuery();
    return exec(evidence,
                Sql::upsert(Sql::sharedDatabase(), QStringLiteral("CalibrationEvidence"),
                            {QStringLiteral("HistoryId"), QStringLiteral("Data")}, 1),
                {rowId, e.Evidence});
}

bool getCalibrationHistory(const QString& config, const QString& channelNumber, QList<Struct_CalibrationHistory>& list)
{
    list.clear();
    QSqlQuery q = Sql::sharedQuery();
    if (!exec(q,
              QStringLiteral("SELECT h.*, e.Data FROM CalibrationHistory h LEFT JOIN CalibrationEvidence e "
                             "ON e.HistoryId = h.Id WHERE h.ConfigName = ? AND h.ChannelNumber = ? "
                             "ORDER BY h.SavedAt, h.Id"),
              {config, channelNumber}))
        return false;
    readHistory(q, list);
    return true;
}

bool getCalibrationRunHistory(const QString& startTime, QList<Struct_CalibrationHistory>& list)
{
    list.clear();
    QSqlQuery q = Sql::sharedQuery();
    if (!exec(q,
              QStringLiteral("SELECT h.*, e.Data FROM CalibrationHistory h LEFT JOIN CalibrationEvidence e "
                             "ON e.HistoryId = h.Id WHERE h.StartTime = ? ORDER BY h.SavedAt, h.Id"),
              {startTime}))
        return false;
    readHistory(q, list);
    return true;
}

namespace {

void readHistory(QSqlQuery& q, QList<Struct_CalibrationHistory>& list)
{
    const auto split = [](const QString& text) {
        return text.isEmpty() ? QStringList() : text.split(QLatin1Char(';'));
    };
    while (q.next()) {
        Struct_CalibrationHistory e;
        e.Id = q.value(0).toLongLong();
        e.SavedAt = q.value(1).toString();
        e.Operator = q.value(2).toString();
        e.StartTime = q.value(3).toString();
        e.ChannelMode = q.value(4).toString();
        e.ConfigName = q.value(5).toString();
        e.ChannelNumber = q.value(6).toString();
        e.Label = q.value(7).toString();
        e.Reference = q.value(8).toString();
        e.Points = q.value(9).toInt();
        e.NewSet = split(q.value(10).toString());
        e.OldSet = split(q.value(11).toString());
        e.MaxResidual = fromOptional(q.value(12));
        e.MaxAsFound = fromOptional(q.value(13));
        e.Residuals = q.value(14).toString();
        e.Evidence = q.value(15).toString();
        list << e;
    }
}

} // namespace

bool getCalibrationHistoryChannels(QList<QPair<QString, QString>>& list)
{
    list.clear();
    QSqlQuery q = Sql::sharedQuery();
    if (!exec(q,
              QStringLiteral("SELECT ConfigName, ChannelNumber FROM CalibrationHistory GROUP BY ConfigName, "
                             "ChannelNumber ORDER BY ConfigName, %1, ChannelNumber")
                  .arg(Sql::integerOf(Sql::sharedDatabase(), QStringLiteral("ChannelNumber"))),
              {}))
        return false;
    while (q.next())
        list << qMakePair(q.value(0).toString(), q.value(1).toString());
    return true;
}

bool addCertificate(const Struct_Certificate& c)
{
    QSqlQuery q = Sql::sharedQuery();
    return exec(q,
                QStringLiteral("INSERT INTO Certificates(Number, IssuedAt, StartTime, ConfigName, Device, Customer, "
                               "Operator, Path, Data) VALUES (?,?,?,?,?,?,?,?,?)"),
                {c.Number, c.IssuedAt, c.StartTime, c.ConfigName, c.Device, c.Customer, c.Operator, c.Path, c.Data});
}

bool getCertificates(QList<Struct_Certificate>& list)
{
    list.clear();
    QSqlQuery q = Sql::sharedQuery();
    if (!exec(q, QStringLiteral("SELECT Number, IssuedAt, StartTime, ConfigName, Device, Customer, Operator, Path, "
                                "Data FROM Certificates ORDER BY IssuedAt, Number"),
              {}))
        return false;
    while (q.next()) {
        Struct_Certificate c;
        c.Number = q.value(0).toString();
        c.IssuedAt = q.value(1).toString();
        c.StartTime = q.value(2).toString();
        c.ConfigName = q.value(3).toString();
        c.Device = q.value(4).toString();
        c.Customer = q.value(5).toString();
        c.Operator = q.value(6).toString();
        c.Path = q.value(7).toString();
        c.Data = q.value(8).toString();
        list << c;
    }
    return true;
}

bool modifyChannelCoefficients(const QString& config, const QString& channelNumber, const CoefficientSet& set)
{
    if (set.size() != 9)
        return false;
    QList<Struct_ChannelConfig> found;
    if (!getChannelConfig(found, config) || found.isEmpty())
        return false;
    Struct_ChannelConfig c = found.first();
    const int at = c.ChannelNumber.indexOf(channelNumber);
    if (at < 0)
        return false;
    QStringList* lists[9] = {&c.MX_B_M, &c.MX_B_B, &c.A_C0, &c.B_C1, &c.C_C2, &c.D_C3, &c.R0_C4, &c.A4_C5, &c.B4_C6};
    for (int i = 0; i < 9; ++i) {
        while (lists[i]->size() <= at)
            *lists[i] << QString();
        (*lists[i])[at] = set.at(i);
    }
    return modifyChannelConfigIf(found.first(), c) == CoefficientWrite::Written;
}

bool validRange(const QString& config, const QString& channelNumber, double* low, double* high)
{
    QList<Struct_ChannelConfig> found;
    QList<Struct_CalibrationHistory> history;
    if (!getChannelConfig(found, config) || found.isEmpty() || !getCalibrationHistory(config, channelNumber, history))
        return false;
    const Struct_ChannelConfig& c = found.first();
    const int at = c.ChannelNumber.indexOf(channelNumber);
    if (at < 0)
        return false;
    const CoefficientSet current{c.MX_B_M.value(at), c.MX_B_B.value(at), c.A_C0.value(at),
                                 c.B_C1.value(at),   c.C_C2.value(at),   c.D_C3.value(at),
                                 c.R0_C4.value(at),  c.A4_C5.value(at),  c.B4_C6.value(at)};
    for (int i = history.size() - 1; i >= 0; --i) {
        if (history.at(i).NewSet != current)
            continue;
        const QJsonObject fit =
            QJsonDocument::fromJson(history.at(i).Evidence.toUtf8()).object().value(QStringLiteral("fit")).toObject();
        if (!fit.value(QStringLiteral("validFrom")).isDouble())
            return false;
        *low = fit.value(QStringLiteral("validFrom")).toDouble();
        *high = fit.value(QStringLiteral("validTo")).toDouble();
        return true;
    }
    return false;
}

RestoreOutcome restoreCoefficients(const QList<CoefficientRestore>& items, const QList<Struct_ChannelConfig>& shown,
                                   const QString& operatorName, const QString& savedAt)
{
    if (items.isEmpty())
        return RestoreOutcome::Missing;
    Transaction transaction;
    if (!transaction.isOpen())
        return RestoreOutcome::Failed;
    QStringList names;
    QList<Struct_ChannelConfig> before, after;
    QStringList audit;
    for (const CoefficientRestore& item : items) {
        const Struct_CalibrationHistory& e = item.From;
        int slot = names.indexOf(e.ConfigName);
        if (slot < 0) {
            const auto it = std::find_if(shown.begin(), shown.end(),
                                         [&e](const Struct_ChannelConfig& c) { return c.Name == e.ConfigName; });
            if (it == shown.end())
                return RestoreOutcome::ConfigChanged;
            names << e.ConfigName;
            before << *it;
            after << *it;
            slot = names.size() - 1;
        }
        Struct_ChannelConfig& c = after[slot];
        const int at = c.ChannelNumber.indexOf(e.ChannelNumber);
        if (at < 0 || e.NewSet.size() != 9)
            return RestoreOutcome::Missing;
        // A set fitted for a platinum ITS-90 channel means nothing to a CVD or a thermocouple one.
        if ((!item.Type.isEmpty() && c.Type.value(at) != item.Type)
            || (!item.Function.isEmpty() && c.Function.value(at) != item.Function))
            return RestoreOutcome::KindChanged;
        QStringList* lists[9] = {&c.MX_B_M, &c.MX_B_B, &c.A_C0, &c.B_C1, &c.C_C2, &c.D_C3, &c.R0_C4, &c.A4_C5, &c.B4_C6};
        CoefficientSet old;
        for (int i = 0; i < 9; ++i) {
            while (lists[i]->size() <= at)
                *lists[i] << QString();
            old << lists[i]->at(at);
            (*lists[i])[at] = e.NewSet.at(i);
        }
        Struct_CalibrationHistory row = e;
        row.Id = 0;
        row.SavedAt = savedAt;
        row.Operator = operatorName;
        row.Reference = QStringLiteral("恢复自 %1").arg(e.SavedAt);
        row.OldSet = old;
        if (!addCalibrationHistory(row))
            return RestoreOutcome::Failed;
        audit << QStringLiteral("%1 / %2 恢复为 %3 保存的系数（校准开始 %4）：%5")
                     .arg(e.ConfigName, e.ChannelNumber, e.SavedAt, e.StartTime, e.NewSet.join(QLatin1Char(',')));
    }
    for (int i = 0; i < names.size(); ++i) {
        const CoefficientWrite w = modifyChannelConfigIf(before.at(i), after.at(i));
        if (w == CoefficientWrite::Changed)
            return RestoreOutcome::ConfigChanged;
        if (w != CoefficientWrite::Written)
            return RestoreOutcome::Failed;
    }
    for (const QString& line : qAsConst(audit))
        addAuditLog(QStringLiteral("校准系数"), line);
    return transaction.commit() ? RestoreOutcome::Restored : RestoreOutcome::Failed;
}

} // namespace Tool
