// Platform choice, and the Qt Bluetooth backend on the machine at hand:
// without an adapter (CI) discovery fails quickly with one log line; with
// one it still comes back within its time-outs.

#include "CriteriaKorva5310.h"
#include "QtBlePlatform.h"
#include "SimulatorBlePlatform.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QtTest>

class TestBlePlatformQt : public QObject
{
    Q_OBJECT
private slots:
    void cleanup()
    {
        qunsetenv("ARQ_BLE_SIMULATOR");
        BlePlatform::setInstance(nullptr);
    }

    void choice_data();
    void choice();
    void discoveryComesBack();
    void driverSearchWithoutAdapter();
};

void TestBlePlatformQt::choice_data()
{
    QTest::addColumn<QString>("environment");
    QTest::addColumn<QString>("option"); // useSimulator argument; empty: not called
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("backend");
    QTest::addColumn<QStringList>("endpoints");
    QTest::newRow("default") << "" << "" << true << "Qt Bluetooth" << QStringList();
    QTest::newRow("environment") << "127.0.0.1:5310" << "" << true << "simulator" << QStringList{"127.0.0.1:5310"};
    QTest::newRow("environment, several") << "127.0.0.1:5310, localhost:5311" << "" << true << "simulator"
                                          << QStringList{"127.0.0.1:5310", "localhost:5311"};
    QTest::newRow("environment unreadable") << "nonsense" << "" << true << "Qt Bluetooth" << QStringList();
    QTest::newRow("option") << "" << ":5400" << true << "simulator" << QStringList{"127.0.0.1:5400"};
    QTest::newRow("option wins") << "127.0.0.1:5310" << "127.0.0.1:5401" << true << "simulator"
                                 << QStringList{"127.0.0.1:5401"};
    QTest::newRow("option unreadable") << "" << "host:port" << false << "Qt Bluetooth" << QStringList();
}

void TestBlePlatformQt::choice()
{
    QFETCH(QString, environment);
    QFETCH(QString, option);
    QFETCH(bool, accepted);
    QFETCH(QString, backend);
    QFETCH(QStringList, endpoints);
    if (!environment.isEmpty())
        qputenv("ARQ_BLE_SIMULATOR", environment.toUtf8());
    if (environment == QLatin1String("nonsense"))
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("ARQ_BLE_SIMULATOR names no")));
    if (!option.isEmpty())
        QCOMPARE(BlePlatform::useSimulator(option), accepted);
    const std::shared_ptr<BlePlatform> platform = BlePlatform::instance();
    QCOMPARE(platform->name(), backend);
    QCOMPARE(BlePlatform::simulatorChosen(), backend == QLatin1String("simulator"));
    if (auto* simulator = dynamic_cast<SimulatorBlePlatform*>(platform.get())) {
        QCOMPARE(simulator->endpoints(), endpoints);
        // The simulator stands in for the radio, reachable or not.
        QVERIFY(BlePlatform::referenceUsable());
    } else {
        QCOMPARE(BlePlatform::referenceUsable(), platform->adapterStatus().usable());
    }
}

void TestBlePlatformQt::discoveryComesBack()
{
    QtBlePlatform platform;
    QElapsedTimer t;
    t.start();
    const BleAdapterStatus adapter = platform.adapterStatus();
    QVERIFY2(t.elapsed() < QtBlePlatform::kAdapterTimeoutMs + 1000, qPrintable(QString::number(t.elapsed())));

    int seen = 0;
    const int scanMs = 500;
    if (!adapter.usable())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^BLE discovery not possible: ")));
    t.restart();
    const bool ok = platform.discover(scanMs, [&seen](const BleAdvertisement&) { ++seen; });
    const qint64 took = t.elapsed();
    if (!adapter.usable()) {
        QVERIFY(!ok);
        QCOMPARE(seen, 0);
        QVERIFY2(took < 2000, qPrintable(QString::number(took))); // no waiting for a scan that cannot run
    } else {
        QVERIFY2(took < scanMs + QtBlePlatform::kAdapterTimeoutMs + 4000, qPrintable(QString::number(took)));
    }
}

void TestBlePlatformQt::driverSearchWithoutAdapter()
{
    auto platform = std::make_shared<QtBlePlatform>();
    if (platform->adapterStatus().usable())
        QSKIP("this machine has a usable Bluetooth adapter");
    CriteriaKorva5310 driver(platform);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^windows电脑不支持ble")));
    QElapsedTimer t;
    t.start();
    QStringList names;
    QVERIFY(!driver.PortList(names));
    QVERIFY(names.isEmpty());
    QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
}

QTEST_MAIN(TestBlePlatformQt)
#include "tst_bleplatform_qt.moc"
