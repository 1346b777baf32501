// The 5310A driver end to end: simulator backend → loopback TCP →
// arq-simulator playing the thermometer, with its console faults.

#include "CriteriaKorva5310.h"
#include "SimulatorBlePlatform.h"
#include "SimulatorProcess.h"
#include "TestPeer.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Readings once per 50 ms; the driver's waits scaled alike.
constexpr double kScale = 0.05;

QStringList thermometer(const QString& extra = QString())
{
    return {QStringLiteral("--instrument"),
            QStringLiteral("model=5310A,tcp=0,temperature=25,noise=0,timescale=0.05") + extra};
}

// The commands the simulator recorded: hex plus a "(bad checksum)" mark.
QStringList recorded(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList commands;
    for (const QByteArray& line : file.readAll().split('\n')) {
        const QString l = QString::fromUtf8(line).trimmed();
        if (!l.isEmpty())
            commands << l.section(QLatin1Char(' '), 4); // after time, @N, "tcp", endpoint
    }
    return commands;
}

bool read(CriteriaKorva5310& driver, double* value)
{
    return inWorker([&] { return driver.ReadTemperature(*value); });
}

} // namespace

class TestKorva5310Simulator : public QObject
{
    Q_OBJECT
private slots:
    void init() { Device::setTimeScale(kScale); }
    void cleanup()
    {
        Device::setTimeScale(1.0);
        BlePlatform::setInstance(nullptr);
    }

    void sessionWithFaults();
    void linkLossFailsReadingAtOnce();
    void outOfRangeAndBack();
    void severalEndpoints();
};

void TestKorva5310Simulator::sessionWithFaults()
{
    QTemporaryDir dir;
    const QString record = dir.filePath(QStringLiteral("record.txt"));
    SimulatorProcess sim;
    QVERIFY2(sim.start(thermometer(QStringLiteral(",twice,foreign=Thermo-X,nonconnectable=5310A-99999"))
                           << QStringLiteral("--record") << record,
                       1),
             qPrintable(sim.errors()));
    QVERIFY(BlePlatform::useSimulator(QStringLiteral("127.0.0.1:%1").arg(sim.port())));
    CriteriaKorva5310 driver;

    // Advertised twice, next to a foreign and a non-connectable device.
    QStringList names;
    QVERIFY(inWorker([&] { return driver.PortList(names); }));
    QCOMPARE(names, QStringList{QStringLiteral("5310A-00123")});

    QVERIFY(inWorker([&] { return driver.Open(QString(), names.first(), QString()); }));
    QVERIFY(driver.IsOpen());

    // A command with a bad checksum is written but changes nothing.
    QVERIFY(inWorker([&] { return driver.Write(QStringLiteral("0405020004")); }));
    double value = 0;
    QVERIFY(!read(driver, &value));

    QVERIFY(inWorker([&] { return driver.SetChannel(Device::Channel()); }));
    QVERIFY(read(driver, &value));
    QCOMPARE(value, 25.0);

    QVERIFY(sim.command(QStringLiteral("set 60.5")));
    QVERIFY(read(driver, &value));
    QCOMPARE(value, 60.5);

    // Frames in many notifications, and frames of another kind in between.
    QVERIFY(sim.command(QStringLiteral("split 7")));
    QVERIFY(sim.command(QStringLiteral("set -12.25")));
    QVERIFY(read(driver, &value));
    QCOMPARE(value, -12.25);
    QVERIFY(sim.command(QStringLiteral("normal")));
    QVERIFY(sim.command(QStringLiteral("garbage 2")));
    QVERIFY(read(driver, &value));
    QCOMPARE(value, -12.25);

    QVERIFY(inWorker([&] { return driver.Close(); }));
    QVERIFY(!driver.IsOpen());
    QVERIFY(!CriteriaKorva5310::LinkUp());
    QCOMPARE(recorded(record),
             (QStringList{"0405020004 (bad checksum)", "0405020003", "0405010101"}));
}

void TestKorva5310Simulator::linkLossFailsReadingAtOnce()
{
    SimulatorProcess sim;
    QVERIFY(sim.start(thermometer(), 1));
    QVERIFY(BlePlatform::useSimulator(QStringLiteral(":%1").arg(sim.port())));
    CriteriaKorva5310 driver;
    QStringList names;
    QVERIFY(inWorker([&] { return driver.PortList(names); }));
    QVERIFY(inWorker([&] { return driver.Open(QString(), names.value(0), QString()); }));
    QVERIFY(inWorker([&] { return driver.SetChannel(Device::Channel()); }));
    double value = 0;
    QVERIFY(read(driver, &value));

    QVERIFY(sim.command(QStringLiteral("drop")));
    QElapsedTimer t;
    t.start();
    while (CriteriaKorva5310::LinkUp() && t.elapsed() < 3000)
        spin(5);
    QVERIFY(!CriteriaKorva5310::LinkUp());
    QVERIFY(!driver.IsOpen());

    Device::setTimeScale(1.0); // at once, not after 10 s
    t.restart();
    QVERIFY(!read(driver, &value));
    QVERIFY2(t.elapsed() < 500, qPrintable(QString::number(t.elapsed())));
    QVERIFY(!inWorker([&] { return driver.Write(CriteriaKorva5310::StartCommand()); }));
    Device::setTimeScale(kScale);
    // The link is gone; closing releases what is left.
    inWorker([&] { return driver.Close(); });
    QCOMPARE(driver.Progress(), 0);
}

void TestKorva5310Simulator::outOfRangeAndBack()
{
    SimulatorProcess sim;
    QVERIFY(sim.start(thermometer(), 1));
    QVERIFY(BlePlatform::useSimulator(QStringLiteral("127.0.0.1:%1").arg(sim.port())));
    CriteriaKorva5310 driver;
    QStringList names;
    QVERIFY(sim.command(QStringLiteral("down")));
    QVERIFY(inWorker([&] { return driver.PortList(names); }));
    QVERIFY(names.isEmpty());
    QVERIFY(!inWorker([&] { return driver.Open(QString(), QStringLiteral("5310A-00123"), QString()); }));

    QVERIFY(sim.command(QStringLiteral("up")));
    QVERIFY(inWorker([&] { return driver.PortList(names); }));
    QCOMPARE(names, QStringList{QStringLiteral("5310A-00123")});
    QVERIFY(inWorker([&] { return driver.Open(QString(), names.first(), QString()); }));
    QVERIFY(inWorker([&] { return driver.Close(); }));
}

void TestKorva5310Simulator::severalEndpoints()
{
    SimulatorProcess sim;
    QVERIFY(sim.start(thermometer() << QStringLiteral("--instrument")
                                    << QStringLiteral("model=5310A,tcp=0,name=5310A-B,temperature=30,noise=0,"
                                                      "timescale=0.05"),
                      2));
    QVERIFY(BlePlatform::useSimulator(sim.endpoints(QStringLiteral("tcp")).join(QLatin1Char(','))));
    CriteriaKorva5310 driver;
    QStringList names;
    QVERIFY(inWorker([&] { return driver.PortList(names); }));
    names.sort(); // the endpoints answer in any order
    QCOMPARE(names, (QStringList{"5310A-00123", "5310A-B"}));
    QVERIFY(inWorker([&] { return driver.Open(QString(), QStringLiteral("5310A-B"), QString()); }));
    QVERIFY(inWorker([&] { return driver.SetChannel(Device::Channel()); }));
    double value = 0;
    QVERIFY(read(driver, &value));
    QCOMPARE(value, 30.0);
    QVERIFY(inWorker([&] { return driver.Close(); }));
}

QTEST_MAIN(TestKorva5310Simulator)
#include "tst_korva5310_simulator.moc"
