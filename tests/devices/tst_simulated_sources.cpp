// The source drivers against the simulated dry block (TCP and pty) and bath
// (pty): set-point, stability under a time scale, readings, faults.
#include "FieldDry.h"
#include "FieldTank.h"
#include "SimulatorProcess.h"
#include "TestPeer.h"

#include <QElapsedTimer>
#include <QtTest>

#include <cmath>

namespace {
// Polls the source until it reports stable; false after `timeoutMs`.
bool waitStable(Field& source, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        bool stable = false;
        if (inWorker([&] { return source.IsStable(stable); }) && stable)
            return true;
        spin(100);
    }
    return false;
}
} // namespace

class TestSimulatedSources : public QObject
{
    Q_OBJECT
private slots:
    void dryBlock_data();
    void dryBlock();
    void bathOverPty();
};

void TestSimulatedSources::dryBlock_data()
{
    QTest::addColumn<QString>("link");
    QTest::newRow("tcp") << "tcp=127.0.0.1:0";
    QTest::newRow("pty") << "tcp=none,pty";
}

void TestSimulatedSources::dryBlock()
{
    QFETCH(QString, link);
    SimulatorProcess sim;
    QVERIFY2(sim.start({"--time-scale", "200", "--instrument",
                        "model=KRDB-1,id=KD777," + link + ",temperature=25,noise=0.001,refoffset=0.02"},
                       1),
             qPrintable(sim.errors()));
    const bool tcp = link.startsWith("tcp=127");
    FieldDryR block;
    QVERIFY(inWorker([&] {
        return tcp ? block.Open("网络", "127.0.0.1", QString::number(sim.port())) : block.Open("串口", sim.pty(), "9600");
    }));
    QString serial;
    QVERIFY(inWorker([&] { return block.GetSerialNumber(serial); }));
    QVERIFY2(serial.startsWith("KORVA-INST,KRDB-1,KD777"), qPrintable(serial));
    QVERIFY(inWorker([&] { return block.Initialize(); }));

    // Driven to 60 ℃ (a few minutes of block time), it settles and says so.
    QVERIFY(inWorker([&] { return block.SetTemperature(60); }));
    bool stable = true;
    QVERIFY(inWorker([&] { return block.IsStable(stable); }));
    QVERIFY(!stable);
    QVERIFY(waitStable(block, 20000));
    double t = 0, reference = 0;
    QVERIFY(inWorker([&] { return block.FieldDry::ReadTemperature(t); }));
    QVERIFY2(std::fabs(t - 60) < 0.2, qPrintable(QString::number(t)));
    QVERIFY(inWorker([&] { return block.ReadTemperature(reference); }));
    QVERIFY2(std::fabs(reference - 60.02) < 0.05, qPrintable(QString::number(reference)));

    // An unreadable answer fails the read instead of reading 0; the next one is fine.
    QVERIFY(sim.command("garbage 1"));
    reference = -1;
    QVERIFY(!inWorker([&] { return block.ReadTemperature(reference); }));
    QCOMPARE(reference, -1.0);
    QVERIFY(inWorker([&] { return block.ReadTemperature(reference); }));
    QVERIFY(std::fabs(reference - 60.02) < 0.05);

    // A set-point outside the model's range is not confirmed.
    QVERIFY(!inWorker([&] { return block.SetTemperature(20); }));
    QVERIFY(inWorker([&] { return block.Close(); }));
}

void TestSimulatedSources::bathOverPty()
{
    SimulatorProcess sim;
    QVERIFY2(sim.start({"--time-scale", "300", "--instrument", "model=KRLB-3,pty,id=KL42,temperature=20,setpoint=20"},
                       1),
             qPrintable(sim.errors()));
    FieldTankR bath;
    // The bath opens its serial port whatever link kind it is given.
    QVERIFY(inWorker([&] { return bath.Open("串口", sim.pty(), "9600"); }));
    QString serial;
    QVERIFY(inWorker([&] { return bath.GetSerialNumber(serial); }));
    QCOMPARE(serial, QStringLiteral("KL42"));
    QVERIFY(inWorker([&] { return bath.Initialize(); }));
    QVERIFY(inWorker([&] { return bath.SetTemperature(-20); }));
    QVERIFY(waitStable(bath, 30000));
    double t = 0;
    QVERIFY(inWorker([&] { return bath.ReadTemperature(t); }));
    QVERIFY2(std::fabs(t + 20) < 0.02, qPrintable(QString::number(t)));

    // Two unreadable answers are retried past; three fail the read.
    QVERIFY(sim.command("garbage 2"));
    QVERIFY(inWorker([&] { return bath.ReadTemperature(t); }));
    QVERIFY(std::fabs(t + 20) < 0.02);
    QVERIFY(sim.command("garbage 3"));
    QVERIFY(!inWorker([&] { return bath.ReadTemperature(t); }));
    QVERIFY(inWorker([&] { return bath.Close(); }));
}

QTEST_GUILESS_MAIN(TestSimulatedSources)
#include "tst_simulated_sources.moc"
