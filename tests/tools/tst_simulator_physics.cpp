#include "ChannelSignal.h"
#include "Crc16.h"
#include "Physics.h"

#include <QtTest>

using namespace sim;
using namespace sim::physics;

class TestSimulatorPhysics : public QObject
{
    Q_OBJECT
private slots:
    void crcKnownVectors_data();
    void crcKnownVectors();
    void crcFramesHighByteFirst();
    void thermocoupleTable_data();
    void thermocoupleTable();
    void thermocoupleInverse_data();
    void thermocoupleInverse();
    void unsupportedThermocoupleUsesK();
    void platinumTable_data();
    void platinumTable();
    void its90ReferenceFunction_data();
    void its90ReferenceFunction();
    void its90DeviationRoundTrip();
    void thermistor();
    void signalFollowsSetPointWithLag();
    void signalRamp();
    void signalNoise();
};

void TestSimulatorPhysics::crcKnownVectors_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("crc");
    QTest::newRow("check string") << QByteArray("123456789") << 0x4B37;
    QTest::newRow("station probe") << QByteArray::fromHex("010300010001") << 0xCAD5;
    QTest::newRow("empty") << QByteArray() << 0xFFFF;
}

void TestSimulatorPhysics::crcKnownVectors()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, crc);
    QCOMPARE(int(crc16Modbus(bytes)), crc);
}

void TestSimulatorPhysics::crcFramesHighByteFirst()
{
    QCOMPARE(withCrc(QByteArray::fromHex("010300010001")).toHex(), QByteArray("010300010001cad5"));
    QVERIFY(hasValidCrc(QByteArray::fromHex("010300010001cad5")));
    QVERIFY(!hasValidCrc(QByteArray::fromHex("010300010001d5ca"))); // Modbus RTU order is refused
    QVERIFY(!hasValidCrc(QByteArray::fromHex("cad5")));
}

void TestSimulatorPhysics::thermocoupleTable_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<double>("t");
    QTest::addColumn<double>("mV");
    // NIST ITS-90 table values, reference junction at 0 °C.
    QTest::newRow("K 100") << "K" << 100.0 << 4.096;
    QTest::newRow("K 1000") << "K" << 1000.0 << 41.276;
    QTest::newRow("K -100") << "K" << -100.0 << -3.554;
    QTest::newRow("K 0") << "K" << 0.0 << 0.0;
    QTest::newRow("J 100") << "J" << 100.0 << 5.269;
    QTest::newRow("T 100") << "T" << 100.0 << 4.279;
    QTest::newRow("T -100") << "T" << -100.0 << -3.379;
    QTest::newRow("E 100") << "E" << 100.0 << 6.319;
    QTest::newRow("N 100") << "N" << 100.0 << 2.774;
    QTest::newRow("S 1000") << "S" << 1000.0 << 9.587;
    QTest::newRow("R 1000") << "R" << 1000.0 << 10.506;
    QTest::newRow("B 1000") << "B" << 1000.0 << 4.834;
    QTest::newRow("lower-case type") << "k" << 100.0 << 4.096;
}

void TestSimulatorPhysics::thermocoupleTable()
{
    QFETCH(QString, type);
    QFETCH(double, t);
    QFETCH(double, mV);
    QVERIFY2(qAbs(thermocoupleEmf(type, t) - mV) < 0.0006,
             qPrintable(QString::number(thermocoupleEmf(type, t), 'f', 5)));
}

void TestSimulatorPhysics::thermocoupleInverse_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<double>("t");
    for (const char* type : {"B", "E", "J", "K", "N", "R", "S", "T"})
        for (double t : {-150.0, -20.0, 0.5, 250.0, 900.0, 1300.0}) {
            if ((QByteArray(type) == "B" && t < 100) || ((QByteArray(type) == "R" || QByteArray(type) == "S") && t < -40)
                || (QByteArray(type) == "T" && t > 400) || (QByteArray(type) == "E" && t > 1000)
                || (QByteArray(type) == "J" && t > 1200))
                continue;
            QTest::addRow("%s %g", type, t) << QString::fromLatin1(type) << t;
        }
}

void TestSimulatorPhysics::thermocoupleInverse()
{
    QFETCH(QString, type);
    QFETCH(double, t);
    QVERIFY(qAbs(thermocoupleTemperature(type, thermocoupleEmf(type, t)) - t) < 1e-6);
}

void TestSimulatorPhysics::unsupportedThermocoupleUsesK()
{
    QVERIFY(!thermocoupleSupported("Au_Pt"));
    QVERIFY(thermocoupleSupported("N"));
    QCOMPARE(thermocoupleEmf("Au_Pt", 100.0), thermocoupleEmf("K", 100.0));
}

void TestSimulatorPhysics::platinumTable_data()
{
    QTest::addColumn<double>("t");
    QTest::addColumn<double>("ohm");
    // IEC 60751 Pt100 table.
    QTest::newRow("0") << 0.0 << 100.00;
    QTest::newRow("100") << 100.0 << 138.51;
    QTest::newRow("-100") << -100.0 << 60.26;
    QTest::newRow("-200") << -200.0 << 18.52;
    QTest::newRow("500") << 500.0 << 280.98;
}

void TestSimulatorPhysics::platinumTable()
{
    QFETCH(double, t);
    QFETCH(double, ohm);
    QVERIFY(qAbs(cvdResistance(t, 100.0) - ohm) < 0.006);
    QVERIFY(qAbs(cvdTemperature(ohm, 100.0) - t) < 0.02);
    // R0 scales the curve (Pt1000).
    QVERIFY(qAbs(cvdResistance(t, 1000.0) - 10 * ohm) < 0.06);
}

void TestSimulatorPhysics::its90ReferenceFunction_data()
{
    QTest::addColumn<double>("t");
    QTest::addColumn<double>("wr");
    // Wr at defining fixed points, as published with ITS-90.
    QTest::newRow("triple point of water") << 0.01 << 1.0;
    QTest::newRow("mercury") << -38.8344 << 0.84414211;
    QTest::newRow("gallium") << 29.7646 << 1.11813889;
    QTest::newRow("indium") << 156.5985 << 1.60980185;
    QTest::newRow("tin") << 231.928 << 1.89279768;
    QTest::newRow("zinc") << 419.527 << 2.56891730;
    QTest::newRow("argon") << -189.3442 << 0.21585975;
}

void TestSimulatorPhysics::its90ReferenceFunction()
{
    QFETCH(double, t);
    QFETCH(double, wr);
    QVERIFY2(qAbs(its90ReferenceW(t) - wr) < 2e-6, qPrintable(QString::number(its90ReferenceW(t), 'f', 8)));
}

void TestSimulatorPhysics::its90DeviationRoundTrip()
{
    Its90Deviation dev;
    dev.a = -1.2e-4;
    dev.b = 2.0e-5;
    dev.a4 = -1.1e-4;
    dev.b4 = 1.5e-5;
    for (double t : {-180.0, -40.0, 0.0, 50.0, 230.0, 420.0}) {
        const double r = its90Resistance(t, 25.5, dev);
        const double w = r / 25.5;
        const double wr = its90ReferenceW(t);
        // The resistance satisfies the deviation equation it was solved from.
        const double expected = t >= 0 ? dev.a * (w - 1) + dev.b * (w - 1) * (w - 1)
                                        : dev.a4 * (w - 1) + dev.b4 * (w - 1) * std::log(w);
        QVERIFY(qAbs((w - wr) - expected) < 1e-12);
        QVERIFY(qAbs(its90Temperature(r, 25.5, dev) - t) < 1e-6);
    }
    // No deviation: W is the reference function.
    QVERIFY(qAbs(its90Resistance(100.0, 100.0) - 100.0 * its90ReferenceW(100.0)) < 1e-9);
}

void TestSimulatorPhysics::thermistor()
{
    const ThermistorCoefficients k = thermistorFromBeta(10000.0, 3977.0);
    QVERIFY(qAbs(thermistorResistance(25.0, k) - 10000.0) < 1e-6);
    // R(0 °C) = 10 kΩ · exp(3977 (1/273.15 − 1/298.15)).
    QVERIFY(qAbs(thermistorResistance(0.0, k) - 33900.42) < 0.01);
    QVERIFY(thermistorResistance(50.0, k) < thermistorResistance(25.0, k));
    // A four-term R(T) curve inverts too.
    ThermistorCoefficients poly{-4.0, 3800.0, -20000.0, 1.0e6};
    for (double t : {-30.0, 0.0, 37.0, 120.0})
        QVERIFY(qAbs(thermistorTemperature(thermistorResistance(t, poly), poly) - t) < 1e-6);
}

void TestSimulatorPhysics::signalFollowsSetPointWithLag()
{
    ChannelSignal s;
    s.setNoise(0);
    s.setTimeConstant(10.0);
    s.setFixed(20.0);
    s.setSetPoint(80.0, 100.0);
    QCOMPARE(s.temperatureAt(100.0), 20.0);
    // One time constant covers 1 − 1/e of the step, whatever the polling.
    QVERIFY(qAbs(s.temperatureAt(105.0) - (80 - 60 * std::exp(-0.5))) < 1e-9);
    QVERIFY(qAbs(s.temperatureAt(110.0) - (80 - 60 * std::exp(-1.0))) < 1e-9);
    QVERIFY(qAbs(s.temperatureAt(300.0) - 80.0) < 1e-6);
    // A new set-point starts from where the channel is.
    s.setSetPoint(0.0, 300.0);
    QVERIFY(qAbs(s.temperatureAt(300.0) - 80.0) < 1e-6);
}

void TestSimulatorPhysics::signalRamp()
{
    ChannelSignal s;
    s.setNoise(0);
    QVERIFY(!s.setRamp({{0, 20}, {10, 30}, {5, 40}}, false, 0)); // times must ascend
    QVERIFY(s.setRamp({{0, 20}, {60, 80}, {120, 20}}, true, 1000.0));
    QCOMPARE(s.temperatureAt(1000.0), 20.0);
    QCOMPARE(s.temperatureAt(1030.0), 50.0);
    QCOMPARE(s.temperatureAt(1090.0), 50.0);
    QCOMPARE(s.temperatureAt(1150.0), 50.0); // repeated
    QVERIFY(s.setRamp({{0, 20}, {60, 80}}, false, 0));
    QCOMPARE(s.temperatureAt(500.0), 80.0); // holds the last point

    s.setFixed(10.0);
    s.rampTo(40.0, 10.0, 0.0); // 10 °C/min
    QCOMPARE(s.temperatureAt(90.0), 25.0);
    QCOMPARE(s.temperatureAt(500.0), 40.0);
}

void TestSimulatorPhysics::signalNoise()
{
    ChannelSignal s;
    s.setFixed(50.0);
    s.setNoise(0.1);
    double sum = 0, sum2 = 0;
    const int n = 4000;
    for (int i = 0; i < n; ++i) {
        const double d = s.sample(0) - 50.0;
        sum += d;
        sum2 += d * d;
    }
    QVERIFY(qAbs(sum / n) < 0.01);
    QVERIFY(qAbs(std::sqrt(sum2 / n) - 0.1) < 0.01);
    s.setNoise(0);
    QCOMPARE(s.sample(0), 50.0);
}

QTEST_GUILESS_MAIN(TestSimulatorPhysics)
#include "tst_simulator_physics.moc"
