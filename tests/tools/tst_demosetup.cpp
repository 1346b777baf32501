// arq-demo-setup, as scripts/demo.sh runs it: the demonstration's database
// holds the loggers, and its first screens show three decimals.
#include "TestSupport.h"
#include "Tool.h"

#include <QProcess>
#include <QtTest>

class TestDemoSetup : public QObject
{
    Q_OBJECT
private slots:
    void databaseOfTheDemonstration()
    {
        TestWorkDir dir;
        QProcess setup;
        setup.start(QStringLiteral(ARQ_DEMO_SETUP_PATH),
                    {"--workdir", dir.path(), "--tc", "5101", "--rtd", "5102", "--ntc", "5103", "--block", "5111"});
        QVERIFY(setup.waitForFinished(60000));
        QCOMPARE(setup.exitCode(), 0);
        QVERIFY(TestSupport::openDatabase());
        QList<Tool::Struct_AcquisitionDevice> devices;
        QVERIFY(Tool::getAcquisitionDevice(devices, QString()));
        QCOMPARE(devices.size(), 3);
        // A new database shows two decimals; the demonstration three (its
        // simulated sensors move in the third).
        QCOMPARE(TestSupport::scalar("select Data from SystemSet where Name='DataAccuracy'").toString(),
                 QStringLiteral("3"));
        TestSupport::closeDatabase();
    }
};

QTEST_GUILESS_MAIN(TestDemoSetup)
#include "tst_demosetup.moc"
