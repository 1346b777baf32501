#pragma once

// The few statements the two engines spell differently, in one place: schema
// creation, upserts, the existence of a table, text-to-number casts and the
// recognition of a refused duplicate. Everything else in the store is SQL
// both engines run as written.

#include "DatabaseSettings.h"
#include "Records.h"

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

class QSqlError;

namespace Tool::Sql {

Engine engineOf(const QSqlDatabase& db);
inline bool isServer(const QSqlDatabase& db) { return engineOf(db) == Engine::PostgreSQL; }

// The connection holding the bench's own tables (SystemSet, ChannelCalibration,
// AcquisitionDevice): the default connection on SQLite, the local file's
// connection while the shared records are on a server.
inline constexpr const char* LocalConnectionName = "arq-local";
// `open`: reopen a closed connection (QSqlQuery never does for the default one).
QSqlDatabase localDatabase(bool open = false);
// The default connection, never reopened when closed (as QSqlQuery uses it).
QSqlDatabase sharedDatabase();
// Closes and removes the local file's connection, if any.
void closeLocalDatabase();

// Tables that belong to one workstation and never go to the server.
QStringList localTables();

bool tableExists(const QSqlDatabase& db, const QString& table);

// A query on the default connection. On a server whose connection broke
// (restarted, network lost) the connection is opened again first, but never
// while a transaction of the store is open on it: its statements must not go
// on outside it.
QSqlQuery sharedQuery();
// Commits the open transaction of `db`. On a server only while the
// connection still holds that transaction unbroken: a connection lost (and
// a driver that would take COMMIT outside any transaction as success) never
// reports stored what the server threw away.
bool commit(QSqlDatabase& db);
void reviveShared();
// Marks a transaction of the store open on `db` while it lives (the default
// connection's only count).
class TransactionMark
{
public:
    explicit TransactionMark(const QSqlDatabase& db);
    ~TransactionMark();
    TransactionMark(const TransactionMark&) = delete;
    TransactionMark& operator=(const TransactionMark&) = delete;

private:
    bool m_counted;
};

// "INSERT OR REPLACE" of SQLite: the row with these first `keys` columns is
// replaced by the bound values (one '?' per column).
QString upsert(const QSqlDatabase& db, const QString& table, const QStringList& columns, int keys);

// `expression` (a text column) as an integer; a text that is no integer
// reads 0 on both engines, never an error.
QString integerOf(const QSqlDatabase& db, const QString& expression);

// The order scan rows come back in: as written. SQLite returns them so by
// itself (rowid); the server keeps a sequence for it.
QString scanOrder(const QSqlDatabase& db);

// A statement refused because a unique key already holds the value.
bool uniqueViolation(const QSqlDatabase& db, const QSqlError& error);

// A server connection's user settings (host, port, database, user, password).
void applyServerSettings(QSqlDatabase& db, const DatabaseSettings& settings);
// "relation already exists, skipping" and the like are no news for the log.
void quietNotices(QSqlDatabase& db);
// The server connection of `db` was lost (libpq says so).
bool serverConnectionBroken(const QSqlDatabase& db);
// A write of scan rows inside the open transaction of `db` that stores a
// scan already stored (same project and scan time) never again: on a server
// through a temporary table and INSERT ... ON CONFLICT DO NOTHING, on SQLite
// INSERT OR IGNORE against the same unique key. `state` gets the SQLSTATE of
// a refusal, `text` its message.
bool storeScanRows(QSqlDatabase& db, const QList<Struct_ParametersData>& rows, QString* state = nullptr,
                   QString* text = nullptr);

// The shared tables on the server, created when missing (as their owner:
// arq-lab-admin; a bench only checks them, LabAdmin::checkSchema).
bool ensureServerSchema(QSqlDatabase& db, QString* error = nullptr);
// ChannelCalibrationData on the server (created on first use, as on SQLite).
QString serverCalibrationDataTable();

} // namespace Tool::Sql
