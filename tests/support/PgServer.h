#pragma once

#include "DatabaseSettings.h"

#include <QString>
#include <QTemporaryDir>

#include <memory>

// A PostgreSQL server of the test's own: a fresh cluster in a temporary
// folder, listening on a free loopback port with its socket in that folder,
// stopped and removed with the object. Run as "nobody" when the tests run as
// root (the server refuses to start as root).
class TestPgServer
{
public:
    TestPgServer() = default;
    ~TestPgServer();
    TestPgServer(const TestPgServer&) = delete;
    TestPgServer& operator=(const TestPgServer&) = delete;

    // The server's programs (initdb, pg_ctl) and the QPSQL driver are there.
    static bool available(QString* why = nullptr);
    // The folder of the newest installed server version's programs; empty without one.
    static QString binDir();

    // `durable`: the server's default fsync and commit settings (for
    // benchmarks); otherwise a test cluster that skips them.
    bool start(QString* error = nullptr, bool durable = false);
    void stop();
    // Stops the server keeping its cluster, and starts it again on the same
    // port (an outage as a bench sees it).
    bool pause();
    bool resume(QString* error = nullptr);
    bool isRunning() const { return m_running; }

    QString host() const { return QStringLiteral("127.0.0.1"); }
    int port() const { return m_port; }
    // As a lab runs it: the cluster's superuser only sets up the cluster
    // (and runs the test's psql); the database belongs to a login of its
    // own ("arq_owner", arq-lab-admin's), and each bench logs in as a
    // member of the bench role with row privileges only. Every login has a
    // scram-sha-256 password; the server accepts no other.
    QString user() const { return QStringLiteral("bench1"); }
    QString password() const { return m_password; }
    static QString superUser() { return QStringLiteral("arq"); }
    static QString owner() { return QStringLiteral("arq_owner"); }
    // Settings for one of the logins (bench1, bench2 or the owner) on `database`.
    Tool::DatabaseSettings settings(const QString& database, const QString& login = QStringLiteral("bench1")) const;
    QString socketDir() const { return m_dir ? m_dir->path() : QString(); }
    // The server's log, for a failure message.
    QString log() const;

    // Creates an empty database (dropping an existing one of that name).
    bool createDatabase(const QString& name, QString* error = nullptr);
    // Empties a database: every table, view and sequence of the public schema goes.
    bool resetDatabase(const QString& name, QString* error = nullptr);
    // TLS with this certificate and key (PEM files), or plain again with
    // empty names; the server reloads its configuration.
    bool setTls(const QString& certificate, const QString& key, QString* error = nullptr);
    // Writes a database.ini for the store naming this server and `database`.
    bool writeSettings(const QString& path, const QString& database,
                       const QString& login = QStringLiteral("bench1")) const;
    // Runs a server program (psql, pg_dump) against this server; its exit
    // code, or -1 when it did not run.
    int runClient(const QString& program, const QStringList& arguments, QByteArray* output = nullptr,
                  const QByteArray& input = QByteArray()) const;

private:
    // The owner's tables and grants, as arq-lab-admin --setup makes them.
    bool setupLab(const QString& database, QString* error);
    bool runServerTool(const QString& program, const QStringList& arguments, QString* output);
    std::unique_ptr<QTemporaryDir> m_dir;
    int m_port = 0;
    QString m_options;
    QString m_password;
    bool m_running = false;
};
