#include "PgServer.h"

#include "LabAdmin.h"
#include "SqlEngine.h"

#include <QDir>
#include <QRandomGenerator>
#include <QThread>
#include <QSqlError>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QTextStream>
#include <QVersionNumber>

#ifdef Q_OS_UNIX
#include <arpa/inet.h>
#include <csignal>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

constexpr int kNobody = 65534;

bool runningAsRoot()
{
#ifdef Q_OS_UNIX
    return ::geteuid() == 0;
#else
    return false;
#endif
}

// A loopback port nobody listens on right now.
int freePort()
{
#ifdef Q_OS_UNIX
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    socklen_t length = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
#else
    return 0;
#endif
}

QString quoted(const QString& identifier)
{
    return QLatin1Char('"') + QString(identifier).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

} // namespace

TestPgServer::~TestPgServer() { stop(); }

QString TestPgServer::binDir()
{
    // Debian keeps each major version's programs in its own folder.
    const QDir root(QStringLiteral("/usr/lib/postgresql"));
    QString best;
    QVersionNumber bestVersion;
    for (const QString& entry : root.entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString bin = root.filePath(entry + QStringLiteral("/bin"));
        if (!QFile::exists(bin + QStringLiteral("/initdb")) || !QFile::exists(bin + QStringLiteral("/pg_ctl")))
            continue;
        const QVersionNumber version = QVersionNumber::fromString(entry);
        if (best.isEmpty() || version > bestVersion) {
            best = bin;
            bestVersion = version;
        }
    }
    return best;
}

bool TestPgServer::available(QString* why)
{
    QString missing;
    if (binDir().isEmpty())
        missing = QStringLiteral("postgresql (initdb, pg_ctl)");
    else if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        missing = QStringLiteral("libqt5sql5-psql (the QPSQL driver)");
    if (why)
        *why = missing;
    return missing.isEmpty();
}

bool TestPgServer::runServerTool(const QString& program, const QStringList& arguments, QString* output)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(m_dir->path());
    const QString path = binDir() + QLatin1Char('/') + program;
    if (runningAsRoot())
        p.start(QStringLiteral("setpriv"), QStringList{QStringLiteral("--reuid=%1").arg(kNobody),
                                                       QStringLiteral("--regid=%1").arg(kNobody),
                                                       QStringLiteral("--clear-groups"), path}
                                               + arguments);
    else
        p.start(path, arguments);
    const bool finished = p.waitForFinished(120000);
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool TestPgServer::start(QString* error, bool durable)
{
    auto fail = [&](const QString& why) {
        if (error)
            *error = why;
        return false;
    };
    if (m_running)
        return true;
    QString why;
    if (!available(&why))
        return fail(QStringLiteral("missing ") + why);
    // A short folder: the socket's path must fit in sun_path.
    m_dir.reset(new QTemporaryDir(QStringLiteral("/tmp/arq-pg-XXXXXX")));
    if (!m_dir->isValid())
        return fail(QStringLiteral("no temporary folder"));
#ifdef Q_OS_UNIX
    if (runningAsRoot() && ::chown(QFile::encodeName(m_dir->path()).constData(), kNobody, kNobody) != 0)
        return fail(QStringLiteral("cannot hand the temporary folder to nobody"));
#endif
    const QString data = m_dir->filePath(QStringLiteral("data"));
    QString output;
    // One password for the test's logins, new for every cluster.
    m_password = QStringLiteral("pw-%1").arg(QRandomGenerator::global()->generate64(), 0, 36);
    const QString pwfile = m_dir->filePath(QStringLiteral("pwfile"));
    {
        QFile f(pwfile);
        if (!f.open(QIODevice::WriteOnly) || f.write(m_password.toUtf8() + '\n') <= 0)
            return fail(QStringLiteral("cannot write the password file"));
    }
#ifdef Q_OS_UNIX
    if (runningAsRoot() && ::chown(QFile::encodeName(pwfile).constData(), kNobody, kNobody) != 0)
        return fail(QStringLiteral("cannot hand the password file to nobody"));
#endif
    if (!runServerTool(QStringLiteral("initdb"),
                       {QStringLiteral("-D"), data, QStringLiteral("-U"), superUser(),
                        QStringLiteral("--auth=scram-sha-256"), QStringLiteral("--pwfile=") + pwfile,
                        QStringLiteral("--no-sync"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                        QStringLiteral("--locale=C.UTF-8")},
                       &output))
        return fail(QStringLiteral("initdb failed: ") + output);
    // A port can be taken between the probe and the start: try a few.
    for (int attempt = 0; attempt < 5; ++attempt) {
        m_port = freePort();
        if (m_port == 0)
            return fail(QStringLiteral("no free port"));
        // No durability needed for a test cluster; fewer connections keep it small.
        QString options = QStringLiteral("-h 127.0.0.1 -p %1 -k %2 -c max_connections=40").arg(m_port).arg(m_dir->path());
        if (!durable)
            options += QStringLiteral(" -c fsync=off -c synchronous_commit=off -c full_page_writes=off");
        m_options = options;
        if (resume(&output)) {
            QByteArray out;
            const QString roles = QStringLiteral(
                "CREATE ROLE %1 LOGIN CREATEROLE PASSWORD '%4'; CREATE ROLE %2 LOGIN PASSWORD '%4'; "
                "CREATE ROLE %3 LOGIN PASSWORD '%4';")
                                      .arg(owner(), QStringLiteral("bench1"), QStringLiteral("bench2"), m_password);
            if (runClient(QStringLiteral("psql"),
                          {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                           QStringLiteral("-d"), QStringLiteral("postgres")},
                          &out, roles.toUtf8())
                != 0)
                return fail(QStringLiteral("the logins were not made: ") + QString::fromLocal8Bit(out));
            return true;
        }
    }
    return fail(QStringLiteral("the server did not start: ") + output + log());
}

void TestPgServer::stop()
{
    if (!m_running)
        return;
    m_running = false;
#ifdef Q_OS_UNIX
    // The postmaster's pid heads its pid file; SIGINT is the fast shutdown.
    // Signals, not pg_ctl: this also runs from a static destructor, when Qt
    // can no longer start processes.
    QFile pidFile(m_dir->filePath(QStringLiteral("data/postmaster.pid")));
    if (pidFile.open(QIODevice::ReadOnly)) {
        const pid_t pid = static_cast<pid_t>(pidFile.readLine().trimmed().toLong());
        pidFile.close();
        if (pid > 0 && ::kill(pid, SIGINT) == 0) {
            for (int waited = 0; waited < 30000 && ::kill(pid, 0) == 0; waited += 20)
                ::usleep(20000);
        }
    }
#endif
    m_dir.reset();
}

bool TestPgServer::pause()
{
    if (!m_running)
        return false;
    QString output;
    if (!runServerTool(QStringLiteral("pg_ctl"), {QStringLiteral("-D"), m_dir->filePath(QStringLiteral("data")),
                                                  QStringLiteral("-m"), QStringLiteral("fast"), QStringLiteral("-w"),
                                                  QStringLiteral("stop")},
                       &output))
        return false;
    m_running = false;
    return true;
}

bool TestPgServer::resume(QString* error)
{
    if (m_running)
        return true;
    if (!m_dir)
        return false;
    QString output;
    if (!runServerTool(QStringLiteral("pg_ctl"),
                       {QStringLiteral("-D"), m_dir->filePath(QStringLiteral("data")), QStringLiteral("-l"),
                        m_dir->filePath(QStringLiteral("log")), QStringLiteral("-w"), QStringLiteral("-t"),
                        QStringLiteral("60"), QStringLiteral("-o"), m_options, QStringLiteral("start")},
                       &output)) {
        if (error)
            *error = output;
        return false;
    }
    m_running = true;
    return true;
}

QString TestPgServer::log() const
{
    if (!m_dir)
        return QString();
    QFile f(m_dir->filePath(QStringLiteral("log")));
    return f.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(f.readAll()) : QString();
}

int TestPgServer::runClient(const QString& program, const QStringList& arguments, QByteArray* output,
                            const QByteArray& input) const
{
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PGHOST"), host());
    env.insert(QStringLiteral("PGPORT"), QString::number(m_port));
    env.insert(QStringLiteral("PGUSER"), superUser());
    env.insert(QStringLiteral("PGPASSWORD"), m_password);
    p.setProcessEnvironment(env);
    p.start(binDir() + QLatin1Char('/') + program, arguments);
    if (!p.waitForStarted(30000))
        return -1;
    if (!input.isEmpty())
        p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(300000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    if (output)
        *output = p.readAll();
    return p.exitCode();
}

bool TestPgServer::createDatabase(const QString& name, QString* error)
{
    QByteArray output;
    const QString sql = QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE); CREATE DATABASE %1 OWNER %2;")
                            .arg(quoted(name), owner());
    const int rc = runClient(QStringLiteral("psql"),
                             {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                              QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), QStringLiteral("postgres")},
                             &output, sql.toUtf8());
    if (rc != 0 && error)
        *error = QString::fromLocal8Bit(output);
    return rc == 0 && setupLab(name, error);
}

bool TestPgServer::resetDatabase(const QString& name, QString* error)
{
    QByteArray output;
    const int rc = runClient(QStringLiteral("psql"),
                             {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                              QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), name},
                             &output,
                             QStringLiteral("DROP SCHEMA public CASCADE; CREATE SCHEMA public AUTHORIZATION %1;")
                                 .arg(owner())
                                 .toUtf8());
    if (rc != 0 && error)
        *error = QString::fromLocal8Bit(output);
    return rc == 0 && setupLab(name, error);
}

bool TestPgServer::setTls(const QString& certificate, const QString& key, QString* error)
{
    QString sql = QStringLiteral("ALTER SYSTEM RESET ssl; ALTER SYSTEM RESET ssl_cert_file; ALTER SYSTEM RESET ssl_key_file;");
    if (!certificate.isEmpty()) {
        // The server's own copies: its key must be its user's and private.
        const QString cert = m_dir->filePath(QStringLiteral("server.crt"));
        const QString privateKey = m_dir->filePath(QStringLiteral("server.key"));
        QFile::remove(cert);
        QFile::remove(privateKey);
        if (!QFile::copy(certificate, cert) || !QFile::copy(key, privateKey)
            || !QFile::setPermissions(privateKey, QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
            if (error)
                *error = QStringLiteral("cannot copy the certificate");
            return false;
        }
#ifdef Q_OS_UNIX
        if (runningAsRoot()) {
            for (const QString& f : {cert, privateKey})
                if (::chown(QFile::encodeName(f).constData(), kNobody, kNobody) != 0)
                    return false;
        }
#endif
        sql = QStringLiteral("ALTER SYSTEM SET ssl_cert_file = '%1'; ALTER SYSTEM SET ssl_key_file = '%2'; "
                             "ALTER SYSTEM SET ssl = on;")
                  .arg(cert, privateKey);
    }
    sql += QStringLiteral(" SELECT pg_reload_conf();");
    QByteArray output;
    const int rc = runClient(QStringLiteral("psql"),
                             {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                              QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-d"), QStringLiteral("postgres")},
                             &output, sql.toUtf8());
    if (rc != 0 && error)
        *error = QString::fromLocal8Bit(output);
    // The reload is asynchronous: give the postmaster a moment.
    QThread::msleep(500);
    return rc == 0;
}

Tool::DatabaseSettings TestPgServer::settings(const QString& database, const QString& login) const
{
    Tool::DatabaseSettings s;
    s.engine = Tool::Engine::PostgreSQL;
    s.host = host();
    s.port = m_port;
    s.database = database;
    s.user = login;
    s.password = m_password;
    return s;
}

bool TestPgServer::setupLab(const QString& database, QString* error)
{
    const QString name = QStringLiteral("arq-test-owner");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        const Tool::DatabaseSettings s = settings(database, owner());
        Tool::Sql::applyServerSettings(db, s);
        QString why;
        ok = db.open() && Tool::LabAdmin::setupSchema(db, &why)
             && Tool::LabAdmin::addBench(db, QStringLiteral("bench1"), m_password, &why)
             && Tool::LabAdmin::addBench(db, QStringLiteral("bench2"), m_password, &why);
        if (!ok && error)
            *error = QStringLiteral("lab set-up failed: ") + (why.isEmpty() ? db.lastError().text() : why);
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool TestPgServer::writeSettings(const QString& path, const QString& database, const QString& login) const
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QTextStream out(&f);
    out << "[database]\nengine=postgresql\nhost=" << host() << "\nport=" << m_port << "\ndatabase=" << database
        << "\nuser=" << login << "\npassword=" << m_password << "\n";
    return out.status() == QTextStream::Ok;
}
