// A bench records into the lab server through a proxy that loses the link
// the way networks do: packets swallowed (no answer, no refusal), and the
// answer to a COMMIT lost after the server committed. The window's thread is
// never held, no instrument read fails, and every scan is stored exactly once.
#include "OnlineSetup.h"
#include "ServerLink.h"
#include "SimulatorProcess.h"
#include "StoreWriter.h"
#include "TestSupport.h"
#include "Tool.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QSqlQuery>
#include <QtTest>

#include <memory>

namespace {

QString binary(const QString& relative)
{
    return qEnvironmentVariable("ARQ_BINARY_DIR", QStringLiteral(ARQ_DEFAULT_BINARY_DIR)) + relative;
}

// arq-link-proxy in front of the test's server.
class Proxy
{
public:
    bool start(const TestPgServer& server)
    {
        m_process.start(binary(QStringLiteral("/tests/support/arq-link-proxy")),
                        {server.host(), QString::number(server.port())});
        const QString line = waitLine(QStringLiteral("PORT "));
        m_port = line.mid(5).toInt();
        return m_port > 0;
    }
    bool command(const QString& c)
    {
        m_process.write((c + QLatin1Char('\n')).toUtf8());
        return !waitLine(QStringLiteral("OK ") + c).isEmpty();
    }
    bool saw(const QString& text)
    {
        for (int i = 0; i < 20 && !m_seen.contains(text); ++i) {
            m_process.waitForReadyRead(100);
            m_seen += QString::fromUtf8(m_process.readAllStandardOutput());
        }
        return m_seen.contains(text);
    }
    int port() const { return m_port; }
    ~Proxy()
    {
        m_process.kill();
        m_process.waitForFinished(3000);
    }

private:
    QString waitLine(const QString& prefix)
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 10000) {
            m_seen += QString::fromUtf8(m_process.readAllStandardOutput());
            for (const QString& line : m_seen.split(QLatin1Char('\n')))
                if (line.startsWith(prefix))
                    return line.trimmed();
            m_process.waitForReadyRead(50);
        }
        return QString();
    }
    QProcess m_process;
    QString m_seen;
    int m_port = 0;
};

bool writeSettings(const QString& dir, int port)
{
    QFile f(QDir(dir).filePath(QString::fromLatin1(Tool::DatabaseSettingsFileName)));
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const TestPgServer* server = TestSupport::labServer();
    f.write(QStringLiteral("[database]\nengine=postgresql\nhost=127.0.0.1\nport=%1\ndatabase=%2\nuser=%3\npassword=%4\n")
                .arg(port)
                .arg(TestSupport::labDatabase(), server->user(), server->password())
                .toUtf8());
    return true;
}

// The window's event loop waits for the user: the action before is over.
void nextUserAction()
{
    QEventLoop loop;
    QTimer::singleShot(20, &loop, &QEventLoop::quit);
    loop.exec();
}

Tool::DatabaseSettings direct()
{
    const TestPgServer* server = TestSupport::labServer();
    Tool::DatabaseSettings s = server->settings(TestSupport::labDatabase());
    s.file = QDir::temp().filePath(QStringLiteral("arq-laboutage-local.db3"));
    return s;
}

} // namespace

class TestLabOutage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("ARQ_TEST_ENGINE", "postgresql");
        ARQ_REQUIRE_ENGINE();
    }

    void linkLost_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::newRow("packets swallowed") << "swallow";
        QTest::newRow("COMMIT answer lost") << "drop-after-commit";
    }

    void linkLost()
    {
        QFETCH(QString, fault);
        TestPgServer* server = TestSupport::labServer();
        QVERIFY(server);
        Proxy proxy;
        QVERIFY(proxy.start(*server));
        QTemporaryDir dir;
        QVERIFY(writeSettings(dir.path(), proxy.port()));
        const int scans = 50;
        const QString name = QStringLiteral("outage-%1").arg(QDateTime::currentMSecsSinceEpoch());
        QProcess bench;
        bench.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        bench.start(binary(QStringLiteral("/tests/acquisition/arq-online-runner")),
                    {"--workdir", dir.path(), "--simulator", SimulatorProcess::program(), "--instruments", "1",
                     "--channels", "4", "--interval", "0.1", "--scans", QString::number(scans), "--name", name,
                     "--write-budget", "2000"});
        QVERIFY(bench.waitForStarted(5000));

        QStringList stored;
        QString buffer, done;
        bool faulted = false, passed = false;
        QElapsedTimer clock, since;
        clock.start();
        while (bench.state() != QProcess::NotRunning && clock.elapsed() < 120000) {
            bench.waitForReadyRead(20);
            buffer += QString::fromUtf8(bench.readAllStandardOutput());
            int nl;
            while ((nl = buffer.indexOf(QLatin1Char('\n'))) >= 0) {
                const QString line = buffer.left(nl).trimmed();
                buffer.remove(0, nl + 1);
                if (line.startsWith(QLatin1String("STORED ")))
                    stored << line.section(QLatin1Char(' '), 2);
                else if (line.startsWith(QLatin1String("DONE ")))
                    done = line;
            }
            if (!faulted && stored.size() >= 15) {
                QVERIFY(proxy.command(fault));
                faulted = true;
                since.start();
            } else if (faulted && !passed && fault == QLatin1String("swallow") && since.elapsed() > 4000) {
                QVERIFY(proxy.command(QStringLiteral("pass")));
                passed = true;
            }
        }
        buffer += QString::fromUtf8(bench.readAllStandardOutput());
        for (const QString& line : buffer.split(QLatin1Char('\n')))
            if (line.startsWith(QLatin1String("DONE ")))
                done = line.trimmed();
        QCOMPARE(bench.exitCode(), 0);
        if (fault == QLatin1String("drop-after-commit"))
            QVERIFY2(proxy.saw(QStringLiteral("DROPPED after commit")), "the COMMIT's answer was never dropped");
        qInfo().noquote() << fault << done;
        // No instrument read failed for the outage, and the window's thread was never held.
        QVERIFY2(done.contains(QLatin1String(" reconnects=0 ")), qPrintable(done));
        const int stall = done.section(QStringLiteral("stall_ms="), 1).toInt();
        QVERIFY2(stall < 300, qPrintable(done));

        QVERIFY(Tool::openServerDatabase(direct()));
        QSqlQuery q;
        q.prepare(QStringLiteral("select Time from ParametersData where Name = ? order by Seq"));
        q.addBindValue(name + QStringLiteral("-1"));
        QVERIFY(q.exec());
        QStringList times;
        while (q.next())
            times << q.value(0).toString();
        Tool::closeDefaultDatabase();
        QVERIFY(stored.size() >= scans);
        // Each scan once, in the order taken.
        QCOMPARE(times, stored);
    }

    // A dialog's calls while the server swallows everything: one bounded
    // wait in all, then each fails at once; a write only queues.
    void interactiveCallsBounded()
    {
        TestPgServer* server = TestSupport::labServer();
        QVERIFY(server);
        Proxy proxy;
        QVERIFY(proxy.start(*server));
        Tool::DatabaseSettings s = direct();
        s.port = proxy.port();
        QVERIFY(Tool::openServerDatabase(s));
        Tool::Sql::setInteractiveBudget(Tool::Sql::InteractiveBudgetMs);
        QList<Tool::Struct_Parameters> list;
        QVERIFY(Tool::getParameters(list, QString()));
        nextUserAction();
        QVERIFY(proxy.command(QStringLiteral("swallow")));

        QElapsedTimer clock;
        clock.start();
        Tool::addAuditLog(QStringLiteral("通讯异常"), QStringLiteral("outage-audit"));
        QVERIFY(clock.elapsed() < 100);
        for (int call = 0; call < 7; ++call)
            QVERIFY(!Tool::getParameters(list, QString()));
        const qint64 waited = clock.elapsed();
        QVERIFY2(waited >= Tool::Sql::InteractiveBudgetMs - 500 && waited < Tool::Sql::InteractiveBudgetMs + 1000,
                 qPrintable(QString::number(waited)));

        QVERIFY(proxy.command(QStringLiteral("pass")));
        nextUserAction();
        QVERIFY(Tool::getParameters(list, QString()));
        // The queued line reaches the server once it answers.
        QVERIFY(Tool::StoreWriter::instance());
        QTRY_VERIFY_WITH_TIMEOUT(Tool::StoreWriter::instance()->state().depth == 0, 20000);
        QList<Tool::Struct_AuditLog> log;
        QVERIFY(Tool::getAuditLog(log, QString(), QString(), QString()));
        int found = 0;
        for (const Tool::Struct_AuditLog& entry : log)
            found += entry.Details == QLatin1String("outage-audit");
        QCOMPARE(found, 1);
        Tool::Sql::setInteractiveBudget(0);
        Tool::closeDefaultDatabase();
    }
};

QTEST_GUILESS_MAIN(TestLabOutage)
#include "tst_laboutage.moc"
