// The engine's process killed in the middle of a run: the database stays
// intact and every scan reported committed before the kill is there.

#include "SimulatorProcess.h"
#include "TestSupport.h"

#include <QSqlQuery>
#include <QtTest>

class TestOnlineCrash : public QObject
{
    Q_OBJECT
private slots:
    void killedMidRun();
};

void TestOnlineCrash::killedMidRun()
{
    TestWorkDir dir;
    QVERIFY(dir.isValid());
    const QString runner = qEnvironmentVariable("ARQ_BINARY_DIR", QStringLiteral(ARQ_DEFAULT_BINARY_DIR))
                           + QStringLiteral("/tests/acquisition/arq-online-runner");
    QProcess process;
    process.setProgram(runner);
    process.setArguments({"--workdir", dir.path(), "--simulator", SimulatorProcess::program(), "--instruments",
                          "2", "--projects", "2", "--channels", "4", "--interval", "0.05"});
    process.start();
    QVERIFY2(process.waitForStarted(5000), qPrintable(runner));

    // Committed scans as reported by the runner: index → scan time.
    QMap<int, QString> committed;
    QString buffer;
    QElapsedTimer t;
    t.start();
    while (committed.size() < 40 && t.elapsed() < 30000 && process.state() == QProcess::Running) {
        process.waitForReadyRead(50);
        buffer += QString::fromUtf8(process.readAllStandardOutput());
        int nl;
        while ((nl = buffer.indexOf(QLatin1Char('\n'))) >= 0) {
            const QStringList parts = buffer.left(nl).trimmed().split(QLatin1Char(' '));
            buffer.remove(0, nl + 1);
            if (parts.size() == 4 && parts.at(0) == QLatin1String("STORED"))
                committed.insert(parts.at(1).toInt(), parts.at(2) + QLatin1Char(' ') + parts.at(3));
        }
    }
    QVERIFY2(committed.size() >= 40, qPrintable(QString::fromUtf8(process.readAllStandardError())));
    // kill() is SIGKILL: no handler, no destructor, no flush runs.
    process.kill();
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    // Lines still in the pipe were reported before the kill as well.
    buffer += QString::fromUtf8(process.readAllStandardOutput());
    for (const QString& line : buffer.split(QLatin1Char('\n'))) {
        const QStringList parts = line.trimmed().split(QLatin1Char(' '));
        if (parts.size() == 4 && parts.at(0) == QLatin1String("STORED"))
            committed.insert(parts.at(1).toInt(), parts.at(2) + QLatin1Char(' ') + parts.at(3));
    }

    QVERIFY(TestSupport::openDatabase());
    QCOMPARE(TestSupport::scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    QCOMPARE(TestSupport::scalar(QStringLiteral("select count(*) from Parameters")).toInt(), 2);
    for (auto it = committed.cbegin(); it != committed.cend(); ++it) {
        QSqlQuery q;
        q.prepare(QStringLiteral("select count(*) from ParametersData where Time = ?"));
        q.addBindValue(it.value());
        QVERIFY(q.exec() && q.next());
        QVERIFY2(q.value(0).toInt() == 2, qPrintable(QStringLiteral("scan %1 at %2").arg(it.key()).arg(it.value())));
    }
    // At most the scan in flight goes beyond what was reported.
    const int rows = TestSupport::scalar(QStringLiteral("select count(*) from ParametersData")).toInt();
    QVERIFY(rows == 2 * committed.size() || rows == 2 * committed.size() + 2);
    TestSupport::closeDatabase();
}

QTEST_GUILESS_MAIN(TestOnlineCrash)
#include "tst_onlinecrash.moc"
