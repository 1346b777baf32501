#pragma once

// The lab database's schema and roles on a PostgreSQL server. Its owner
// (arq-lab-admin) creates and upgrades the tables and keeps one role,
// "arq_bench", with row privileges only; each bench logs in as a member of
// that role and never changes the schema. A bench checks the schema version
// at start and refuses a server it cannot use, naming the command to run.

#include <QString>

class QSqlDatabase;

namespace Tool::LabAdmin {

// Version of the tables this program writes: 1 the first lab database
// (no version table), 2 with the scan key (project, scan time).
inline constexpr int SchemaVersion = 2;
// The role every bench login is a member of.
inline constexpr const char* BenchRole = "arq_bench";

struct Check
{
    enum Result { Usable, Missing, Older, NeedsNewerProgram, Failed };
    Result result = Failed;
    int version = 0;    // of the server's tables (0: none)
    QString minProgram; // lowest program version the tables serve
    QString detail;     // the server's message on Failed
};
// The server's tables as a bench sees them (no change made).
Check checkSchema(QSqlDatabase& db);
// What a bench says about a server it cannot use: why, and the command
// that mends it (empty when usable).
QString refusal(const Check& check);

// As the database's owner: creates missing tables, upgrades older ones
// (the exact scan copies an older program stored twice go), records the
// version, and grants the bench role its row privileges. One transaction;
// benches starting meanwhile wait for it.
bool setupSchema(QSqlDatabase& db, QString* error = nullptr);
// As the owner (who needs CREATEROLE): a login for a bench, a member of the
// bench role, with `password` stored as a scram-sha-256 verifier made here
// (the password itself never reaches the server or its log). An existing
// login gets the new password.
bool addBench(QSqlDatabase& db, const QString& login, const QString& password, QString* error = nullptr);

} // namespace Tool::LabAdmin
