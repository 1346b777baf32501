// The 3107A drivers against the independent instrument simulator over TCP.

#include "ChannelModel.h"
#include "Collection3107A.h"
#include "TestPeer.h"

#include <QProcess>
#include <QtTest>

class TestSimulator3107A : public QObject
{
    Q_OBJECT
private slots:
    void session_data();
    void session();
};

void TestSimulator3107A::session_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("wire");
    QTest::addColumn<QString>("function");
    QTest::addColumn<double>("expected101");
    // Channel 101 sits at 25 °C; the TC variant applies M·t + B itself.
    QTest::newRow("TC") << "3107A-TC" << "二线制" << "K" << 2.0 * 25.0 + 0.5;
    QTest::newRow("RTD") << "3107A-RTD" << "四线制" << "PT385" << 25.0;
    QTest::newRow("NTC") << "3107A-NTC" << "四线制" << "R(T)" << 25.0;
    QTest::newRow("PCR") << "3107A-PCR" << "二线制" << "R(T)" << 25.0;
}

void TestSimulator3107A::session()
{
    QFETCH(QString, model);
    QFETCH(QString, wire);
    QFETCH(QString, function);
    QFETCH(double, expected101);

    QProcess simulator;
    simulator.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    simulator.start(QStringLiteral(ARQ_SIMULATOR_PATH),
                    {"--model", model, "--tcp", "127.0.0.1:0", "--address", "7", "--id", "SIM0000007",
                     "--noise", "0"});
    QVERIFY(simulator.waitForStarted(5000));
    QString port;
    while (port.isEmpty() && simulator.waitForReadyRead(5000)) {
        while (simulator.canReadLine()) {
            const QString line = QString::fromLocal8Bit(simulator.readLine()).trimmed();
            if (line.startsWith(QLatin1String("LISTEN tcp ")))
                port = line.section(QLatin1Char(':'), -1);
        }
    }
    QVERIFY2(!port.isEmpty(), "simulator did not report its TCP endpoint");

    std::unique_ptr<Collection> driver(ChannelModel::createCollection(model));
    auto* logger = qobject_cast<Collection3107A*>(driver.get());
    QVERIFY(logger);
    QVERIFY(inWorker([&] { return driver->Open("网络", "127.0.0.1", port); }));
    QCOMPARE(logger->AddressPrefixText().toUpper(), QStringLiteral("07"));

    QString identity;
    QVERIFY(inWorker([&] { return driver->GetSerialNumber(identity); }));
    QCOMPARE(identity, QStringLiteral("SIM0000007"));
    QVERIFY(inWorker([&] { return driver->SyncTime(QDateTime::currentDateTime()); }));

    QList<Device::Channel> set;
    for (const QString& number : {QStringLiteral("101"), QStringLiteral("103")}) {
        Device::Channel ch;
        ch.ChannelNumber = number;
        ch.Type = driver->TypeList(number.toInt()).value(0);
        ch.Function = function;
        ch.Wire = wire;
        ch.Unit = QStringLiteral("℃");
        ch.R0_C4 = QStringLiteral("100");
        ch.MX_B_M = 2.0f;
        ch.MX_B_B = 0.5f;
        set << ch;
    }
    QString message;
    QVERIFY2(driver->CheckChannels(set, message), qPrintable(message));
    QVERIFY(inWorker([&] { return driver->SetChannels("快速", set); }));

    QStringList values;
    QVERIFY(inWorker([&] { return driver->ReadData(values); }));
    QCOMPARE(values.size(), 2);
    QVERIFY2(qAbs(values.at(0).toDouble() - expected101) < 0.5, qPrintable(values.join(' ')));
    QVERIFY(values.at(1).toDouble() > values.at(0).toDouble()); // each channel 0.1 °C warmer

    QVERIFY(inWorker([&] { return driver->Close(); }));
    simulator.write("quit\n");
    if (!simulator.waitForFinished(3000)) {
        simulator.kill();
        simulator.waitForFinished(3000);
    }
}

QTEST_GUILESS_MAIN(TestSimulator3107A)
#include "tst_simulator_3107a.moc"
