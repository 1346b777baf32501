#include "LabAdmin.h"

#include "SqlEngine.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QVersionNumber>
#include <QtDebug>

#ifdef ARQ_HAVE_LIBPQ
#include <libpq-fe.h>
#endif

namespace Tool::LabAdmin {

namespace {

const char* const kProgramVersion = ARQ_VERSION;
// The oldest program that writes these tables correctly: the scan key
// needs a writer that skips a scan stored already.
const char* const kMinProgram = "0.1.0";

bool exec(QSqlQuery& q, const QString& sql, QString* error)
{
    if (q.exec(sql))
        return true;
    if (error)
        *error = q.lastError().text();
    return false;
}

} // namespace

Check checkSchema(QSqlDatabase& db)
{
    Check c;
    QSqlQuery q(db);
    // to_regclass: a table this login may not read exists all the same.
    if (!q.exec(QStringLiteral("SELECT to_regclass('schemaversion') IS NOT NULL, to_regclass('parametersdata') IS NOT NULL"))
        || !q.next()) {
        c.detail = q.lastError().text();
        return c;
    }
    if (!q.value(0).toBool()) {
        c.result = q.value(1).toBool() ? Check::Older : Check::Missing;
        c.version = c.result == Check::Older ? 1 : 0;
        return c;
    }
    if (!q.exec(QStringLiteral("SELECT Version, MinProgram FROM SchemaVersion")) || !q.next()) {
        c.detail = q.lastError().text();
        return c;
    }
    c.version = q.value(0).toInt();
    c.minProgram = q.value(1).toString();
    if (QVersionNumber::fromString(c.minProgram) > QVersionNumber::fromString(QLatin1String(kProgramVersion)))
        c.result = Check::NeedsNewerProgram;
    else
        c.result = c.version < SchemaVersion ? Check::Older : Check::Usable;
    return c;
}

QString refusal(const Check& check)
{
    switch (check.result) {
    case Check::Usable: return QString();
    case Check::Missing:
        return QStringLiteral("the lab database has no tables yet; its owner creates them with: arq-lab-admin --setup");
    case Check::Older:
        return QStringLiteral("the lab database's tables are version %1, this program needs %2; its owner upgrades "
                              "them with: arq-lab-admin --setup")
            .arg(check.version)
            .arg(SchemaVersion);
    case Check::NeedsNewerProgram:
        return QStringLiteral("the lab database needs ARQ-310MX %1 or newer (this is %2)")
            .arg(check.minProgram, QLatin1String(kProgramVersion));
    case Check::Failed: break;
    }
    return QStringLiteral("the lab database's schema version cannot be read: %1").arg(check.detail);
}

bool setupSchema(QSqlDatabase& db, QString* error)
{
    if (!Sql::isServer(db))
        return false;
    if (!db.transaction()) {
        if (error)
            *error = db.lastError().text();
        return false;
    }
    QSqlQuery q(db);
    const QString role = QString::fromLatin1(BenchRole);
    bool ok = exec(q, QStringLiteral("SET LOCAL client_min_messages TO warning"), error)
              && exec(q, QStringLiteral("SELECT pg_advisory_xact_lock(310310)"), error)
              && Sql::ensureServerSchema(db, error)
              && exec(q, QStringLiteral("CREATE TABLE IF NOT EXISTS SchemaVersion(Version INTEGER NOT NULL, "
                                        "MinProgram TEXT NOT NULL)"),
                      error)
              && exec(q, QStringLiteral("DELETE FROM SchemaVersion"), error);
    if (ok) {
        q.prepare(QStringLiteral("INSERT INTO SchemaVersion VALUES (?, ?)"));
        q.addBindValue(SchemaVersion);
        q.addBindValue(QString::fromLatin1(kMinProgram));
        ok = q.exec();
        if (!ok && error)
            *error = q.lastError().text();
    }
    // Rows only: no bench may create, alter or drop a table.
    ok = ok
         && exec(q, QStringLiteral("DO $$ BEGIN IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = '%1') THEN "
                                   "CREATE ROLE %1 NOLOGIN; END IF; END $$").arg(role),
                 error)
         && exec(q, QStringLiteral("REVOKE CREATE ON SCHEMA public FROM PUBLIC"), error)
         && exec(q, QStringLiteral("GRANT USAGE ON SCHEMA public TO %1").arg(role), error)
         && exec(q, QStringLiteral("GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA public TO %1").arg(role),
                 error)
         && exec(q, QStringLiteral("REVOKE INSERT, UPDATE, DELETE ON SchemaVersion FROM %1").arg(role), error)
         && exec(q, QStringLiteral("GRANT USAGE, SELECT ON ALL SEQUENCES IN SCHEMA public TO %1").arg(role), error)
         // The scan writer's temporary table (private to its session).
         && exec(q, QStringLiteral("DO $$ BEGIN EXECUTE format('GRANT CONNECT, TEMPORARY ON DATABASE %I TO %1', "
                                   "current_database()); END $$").arg(role),
                 error);
    if (!ok || !db.commit()) {
        if (ok && error)
            *error = db.lastError().text();
        db.rollback();
        return false;
    }
    return true;
}

bool addBench(QSqlDatabase& db, const QString& login, const QString& password, QString* error)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
#ifdef ARQ_HAVE_LIBPQ
    const QVariant v = db.driver() ? db.driver()->handle() : QVariant();
    PGconn* conn = v.isValid() && qstrcmp(v.typeName(), "PGconn*") == 0 ? *static_cast<PGconn* const*>(v.constData())
                                                                        : nullptr;
    if (!conn)
        return fail(QStringLiteral("no server connection"));
    if (login.trimmed().isEmpty() || password.isEmpty())
        return fail(QStringLiteral("a bench login needs a name and a password"));
    const QByteArray name = login.toUtf8();
    char* verifier = PQencryptPasswordConn(conn, password.toUtf8().constData(), name.constData(), "scram-sha-256");
    if (!verifier)
        return fail(QString::fromUtf8(PQerrorMessage(conn)));
    char* ident = PQescapeIdentifier(conn, name.constData(), size_t(name.size()));
    char* literal = PQescapeLiteral(conn, verifier, strlen(verifier));
    PQfreemem(verifier);
    if (!ident || !literal) {
        PQfreemem(ident);
        PQfreemem(literal);
        return fail(QString::fromUtf8(PQerrorMessage(conn)));
    }
    const QString who = QString::fromUtf8(ident), secret = QString::fromUtf8(literal);
    PQfreemem(ident);
    PQfreemem(literal);
    QSqlQuery q(db);
    q.prepare(QStringLiteral("SELECT 1 FROM pg_roles WHERE rolname = ?"));
    q.addBindValue(login);
    if (!q.exec())
        return fail(q.lastError().text());
    const bool exists = q.next();
    const QString role = QString::fromLatin1(BenchRole);
    QString why;
    if (!exec(q, QStringLiteral("%1 ROLE %2 LOGIN PASSWORD %3")
                     .arg(exists ? QStringLiteral("ALTER") : QStringLiteral("CREATE"), who, secret),
              &why)
        || !exec(q, QStringLiteral("GRANT %1 TO %2").arg(role, who), &why))
        return fail(why);
    return true;
#else
    Q_UNUSED(db);
    Q_UNUSED(login);
    Q_UNUSED(password);
    return fail(QStringLiteral("built without libpq"));
#endif
}

} // namespace Tool::LabAdmin
