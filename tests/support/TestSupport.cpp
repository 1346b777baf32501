#include "TestSupport.h"

#include "SqlEngine.h"
#include "Tool.h"

#include <QCoreApplication>
#include <QMetaMethod>
#include <QTest>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>
#include <QtDebug>

#include <memory>

TestWorkDir::TestWorkDir() : m_previous(QDir::currentPath())
{
    QDir::setCurrent(m_dir.path());
    if (TestSupport::serverEngine()) {
        // A new working directory is a new lab: the server's database starts empty.
        TestPgServer* server = TestSupport::labServer();
        QString why;
        if (!server || !server->resetDatabase(TestSupport::labDatabase(), &why)
            || !server->writeSettings(m_dir.filePath(QString::fromLatin1(Tool::DatabaseSettingsFileName)),
                                      TestSupport::labDatabase()))
            qWarning().noquote() << "test server database not ready:" << why;
    }
}

TestWorkDir::~TestWorkDir()
{
    TestSupport::closeDatabase();
    QDir::setCurrent(m_previous);
}

namespace TestSupport {

bool openDatabase()
{
    QString why;
    if (Tool::openConfiguredDatabase(&why))
        return true;
    qWarning().noquote() << "database not opened:" << why;
    return false;
}

void closeDatabase() { Tool::closeDefaultDatabase(); }

bool serverEngine() { return qEnvironmentVariable("ARQ_TEST_ENGINE").trimmed().toLower() == QLatin1String("postgresql"); }

QString labDatabase() { return QStringLiteral("arqtest"); }

namespace {
std::unique_ptr<TestPgServer>& serverSlot()
{
    static std::unique_ptr<TestPgServer> server;
    return server;
}
} // namespace

TestPgServer* labServer(QString* why)
{
    std::unique_ptr<TestPgServer>& server = serverSlot();
    if (server && server->isRunning())
        return server.get();
    server.reset(new TestPgServer);
    QString error;
    if (!server->start(&error) || !server->createDatabase(labDatabase(), &error)) {
        if (why)
            *why = error;
        server.reset();
        return nullptr;
    }
    // The static slot's destructor stops it when the program ends.
    return server.get();
}

void stopLabServer()
{
    closeDatabase();
    serverSlot().reset();
}

QVariant scalar(const QString& sql)
{
    QSqlQuery q;
    if (!q.exec(sql) || !q.next())
        return QVariant();
    return q.value(0);
}

QVariant localScalar(const QString& sql)
{
    QSqlQuery q(Tool::Sql::localDatabase());
    if (!q.exec(sql) || !q.next())
        return QVariant();
    return q.value(0);
}

QString sourcePath(const QString& relative)
{
    return QString::fromLocal8Bit(qgetenv("ARQ_SOURCE_DIR")) + QLatin1Char('/') + relative;
}

bool otherShard(const QObject* test)
{
    const QStringList shard = qEnvironmentVariable("ARQ_TEST_SHARD").split(QLatin1Char('/'));
    if (shard.size() != 2 || shard.at(1).toInt() < 2)
        return false;
    const QMetaObject* meta = test->metaObject();
    int position = 0;
    for (int m = meta->methodOffset(); m < meta->methodCount(); ++m) {
        const QMetaMethod method = meta->method(m);
        if (method.methodType() != QMetaMethod::Slot || method.access() != QMetaMethod::Private
            || method.parameterCount() != 0)
            continue;
        const QByteArray name = method.name();
        if (name == "init" || name == "cleanup" || name == "initTestCase" || name == "cleanupTestCase"
            || name.endsWith("_data"))
            continue;
        if (name == QTest::currentTestFunction())
            return position % shard.at(1).toInt() != shard.at(0).toInt();
        ++position;
    }
    return false;
}

bool inCI()
{
    const QByteArray ci = qgetenv("CI").trimmed().toLower();
    return !ci.isEmpty() && ci != "false" && ci != "0";
}

bool hasProgram(const QString& program)
{
    return !QStandardPaths::findExecutable(program).isEmpty();
}

bool hasPythonModule(const QString& module)
{
    QProcess p;
    p.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), QStringLiteral("import ") + module});
    return p.waitForFinished(30000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

bool isRoot()
{
#ifdef Q_OS_UNIX
    return qgetenv("USER") == "root" || QDir::homePath() == QLatin1String("/root");
#else
    return false;
#endif
}

bool runUnprivileged(const QString& function, QString* output)
{
    // setpriv drops to nobody; the program and its libraries are world-readable,
    // the child makes its own working directory under /tmp.
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), QDir::tempPath());
    env.insert(QStringLiteral("ARQ_UNPRIVILEGED_CHILD"), QStringLiteral("1"));
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(QDir::tempPath());
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("setpriv"), {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                        QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(),
                                        function});
    const bool finished = p.waitForFinished(120000);
    if (output)
        *output = QString::fromLocal8Bit(p.readAll());
    return finished && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

} // namespace TestSupport
