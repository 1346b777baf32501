// The import's process, and the offline download's save, killed while their
// rows go into the database: the database holds exactly what it held before.
#include "TestSupport.h"
#include "Tool.h"
#include "TransferSample.h"

#include <QProcess>
#include <QtTest>

class TestTransferCrash : public QObject
{
    Q_OBJECT
private slots:
    void killedWhileStoring_data();
    void killedWhileStoring();
};

void TestTransferCrash::killedWhileStoring_data()
{
    QTest::addColumn<QStringList>("mode");
    QTest::newRow("import") << QStringList();
    QTest::newRow("offline download's save") << QStringList{"--offline"};
}

void TestTransferCrash::killedWhileStoring()
{
    TestWorkDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(TestSupport::openDatabase());
    Tool::Struct_Parameters old;
    old.Name = QStringLiteral("earlier");
    QVERIFY(Tool::addParameters(old));
    QVERIFY(Tool::addParametersData({old.Name, QDateTime::currentDateTime(), {"1.5", "2.5"}}));
    const QStringList before = TransferSample::dump();
    TestSupport::closeDatabase();

    const QString runner = qEnvironmentVariable("ARQ_BINARY_DIR", QStringLiteral(ARQ_DEFAULT_BINARY_DIR))
                           + QStringLiteral("/tests/acquisition/arq-transfer-runner");
    QProcess process;
    QFETCH(QStringList, mode);
    process.start(runner, QStringList{"--workdir", dir.path()} + mode);
    QVERIFY2(process.waitForStarted(5000), qPrintable(runner));
    QByteArray output;
    QElapsedTimer t;
    t.start();
    while (!output.contains("STORING") && t.elapsed() < 60000 && process.state() == QProcess::Running) {
        process.waitForReadyRead(100);
        output += process.readAllStandardOutput();
    }
    QVERIFY2(output.contains("STORING"), qPrintable(QString::fromUtf8(process.readAllStandardError())));
    process.kill(); // SIGKILL, inside the open transaction
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);

    QVERIFY(TestSupport::openDatabase());
    QCOMPARE(TestSupport::scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    QCOMPARE(TransferSample::dump(), before);
    TestSupport::closeDatabase();
}

QTEST_GUILESS_MAIN(TestTransferCrash)
#include "tst_transfercrash.moc"
