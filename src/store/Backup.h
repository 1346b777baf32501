#pragma once

#include <QDateTime>
#include <QString>

// Consistent copies of the live database and safe replacement of it.
//
// A byte copy of a WAL database misses every committed row still in the
// -wal file, so backups go through SQLite (VACUUM INTO), and a restore is
// checked completely before it replaces anything.
namespace Backup {

// "yyyy_MM_dd_hh_mm_ARQ-310MX.db3" for `now` in `directory` (native separators).
QString backupTarget(const QString& directory, const QDateTime& now);

// Writes a consistent copy of the default connection's database to `target`.
// Refuses an existing target, as a plain file copy would.
bool backupDatabase(const QString& target);

// Copies `source` to `tempPath` through SQLite and checks the copy: it must
// open, pass integrity_check and hold the six installed tables with this
// program's columns (names in order, text affinity) and no trigger. On
// failure nothing is left behind and `error` says why.
bool prepareRestore(const QString& source, const QString& tempPath, QString* error = nullptr);

// Puts a checked copy in place of `databasePath`. The caller has closed every
// connection to the database. Stale -wal/-shm files of the old database are
// removed first so they are never replayed into the new one.
// Moves `from` onto `to`, replacing an existing file, on every platform.
bool replaceFile(const QString& from, const QString& to);
bool commitRestore(const QString& tempPath, const QString& databasePath);

// --- the lab's server --------------------------------------------------------

// "yyyy_MM_dd_hh_mm_ARQ-310MX.dump" for `now` in `directory`.
QString serverDumpTarget(const QString& directory, const QDateTime& now);
// A PostgreSQL client program ("pg_dump", "pg_restore") on the PATH or in
// Debian's /usr/lib/postgresql/<version>/bin (the newest); empty when missing.
QString serverProgram(const QString& name);

enum class ServerResult { Done, ProgramMissing, TargetExists, NotEmpty, InUse, Failed };
// pg_dump of the server database the default connection is on, to `target`
// (pg_dump's custom format). `detail` gets the program's own message.
ServerResult dumpServer(const QString& target, QString* detail = nullptr);
// pg_restore of `dump` into that database, only while it holds none of the
// program's records (a restore never mixes with or replaces lab records),
// in one transaction.
ServerResult restoreServer(const QString& dump, QString* detail = nullptr);

} // namespace Backup
