#pragma once

// The few statements the two engines spell differently, in one place: schema
// creation, upserts, the existence of a table, text-to-number casts and the
// recognition of a refused duplicate. Everything else in the store is SQL
// both engines run as written.

#include "DatabaseSettings.h"

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
// Closes and removes the local file's connection, if any.
void closeLocalDatabase();

// Tables that belong to one workstation and never go to the server.
QStringList localTables();

bool tableExists(const QSqlDatabase& db, const QString& table);

// "INSERT OR REPLACE" of SQLite: the row with these first `keys` columns is
// replaced by the bound values (one '?' per column).
QString upsert(const QSqlDatabase& db, const QString& table, const QStringList& columns, int keys);

// `expression` (a text column) as an integer; a text that is no integer
// reads 0 on both engines, never an error.
QString integerOf(const QSqlDatabase& db, const QString& expression);

// A statement refused because a unique key already holds the value.
bool uniqueViolation(const QSqlDatabase& db, const QSqlError& error);

// The shared tables on the server, created when missing.
bool ensureServerSchema(QSqlDatabase& db);
// ChannelCalibrationData on the server (created on first use, as on SQLite).
QString serverCalibrationDataTable();

} // namespace Tool::Sql
