#pragma once

// Which database the program works on: the embedded SQLite file in the
// working directory (the default, and all a single bench needs), or a lab's
// PostgreSQL server named in "database.ini" beside it.
//
// [database]
// engine=postgresql
// host=lab-server
// port=5432
// database=arq_lab
// user=bench1
// password=...
// sslmode=verify-full
// sslrootcert=/etc/arq/lab-ca.pem
// options=connect_timeout=10
//
// A value is everything after "=" (trimmed), ";" and "," included; one in
// double quotes may hold \" and \\. Comments are whole lines starting with
// ";" or "#". Without a password the environment's ARQ_DB_PASSWORD, then
// libpq's own ~/.pgpass. "options" are further libpq options, ";"-separated.
// A file holding a password that other users may read is warned about.
//
// The password is never written to the log or shown in a message.

#include <QString>

namespace Tool {

inline constexpr const char* DatabaseSettingsFileName = "database.ini";
inline constexpr const char* DatabasePasswordVariable = "ARQ_DB_PASSWORD";

enum class Engine { SQLite, PostgreSQL };

struct DatabaseSettings
{
    Engine engine = Engine::SQLite;
    QString file;     // SQLite: the database file
    QString host;
    int port = 5432;
    QString database;
    QString user;
    QString password; // from the file or the environment; never logged
    QString options;  // extra libpq options (sslmode and sslrootcert included), ";"-separated

    // "PostgreSQL bench1@lab-server:5432/arq_lab" or the file; no password.
    QString describe() const;
};

// The settings in `path`. No file: the SQLite default (`settings.file` is
// the program's database file), true. A file that names no known engine or
// lacks what a server needs: false, `error` says what.
bool readDatabaseSettings(const QString& path, DatabaseSettings* settings, QString* error = nullptr);

} // namespace Tool
