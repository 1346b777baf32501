#include "Crc16.h"
#include "Instrument3107A.h"
#include "Physics.h"
#include "SimulatorConfig.h"
#include "TestSupport.h"

#include <QtTest>

#include <cstring>

using namespace sim;

namespace {

QByteArray frame(const char* hex)
{
    return withCrc(QByteArray::fromHex(hex));
}

QByteArray floatsHex(std::initializer_list<float> values)
{
    QByteArray out;
    for (float v : values) {
        quint32 bits;
        std::memcpy(&bits, &v, 4);
        for (int i = 0; i < 4; ++i)
            out.append(char((bits >> (8 * i)) & 0xFF));
    }
    return out.toHex();
}

float floatAt(const QByteArray& reply, int index)
{
    quint32 bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= quint32(quint8(reply.at(3 + 4 * index + i))) << (8 * i);
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}

// An instrument whose channels sit at fixed temperatures without noise.
struct QuietInstrument
{
    explicit QuietInstrument(Variant v) : inst(v)
    {
        for (int c = 0; c < Instrument3107A::kChannels; ++c) {
            inst.signal(c).setNoise(0);
            inst.signal(c).setFixed(20.0 + 5.0 * c);
        }
    }
    QByteArray ask(const QByteArray& hexWithoutCrc) { return inst.handle(withCrc(QByteArray::fromHex(hexWithoutCrc))); }
    Instrument3107A inst;
};

} // namespace

class TestSimulatorInstrument : public QObject
{
    Q_OBJECT
private slots:
    void probeAndAddress();
    void ignoresFramesNotForIt_data();
    void ignoresFramesNotForIt();
    void identityAndClock();
    void valueBlocksAgree_data();
    void valueBlocksAgree();
    void thermocoupleCorrectionAndType();
    void quadraticThermocoupleRoot_data();
    void quadraticThermocoupleRoot();
    void fourWireHasEightChannels();
    void exceptions_data();
    void exceptions();
    void scanHoldsValuesForOnePeriod();
    void assemblerSplitsStream();
    void injectedFaults();
    void commandLine_data();
    void commandLine();
    void configJson();
};

void TestSimulatorInstrument::probeAndAddress()
{
    QuietInstrument q(Variant::TC);
    // The reply carries one data byte: 12 hex digits in all.
    QCOMPARE(q.inst.handle(QByteArray::fromHex("010300010001CAD5")), frame("01030101"));
    // A logger at address 7 still answers the probe at address 1, with its own address.
    q.inst.setStationAddress(7);
    QCOMPARE(q.inst.handle(QByteArray::fromHex("010300010001CAD5")), frame("07030107"));
    QCOMPARE(q.ask("0703100000050000").size(), 0); // wrong length for function 03: not a frame
    QCOMPARE(q.ask("070310000005").size(), 15);
    QVERIFY(q.ask("010310000005").isEmpty()); // other requests only at its address
    // The address can be changed; the echo still leaves under the old one.
    QCOMPARE(q.ask("070600010009"), frame("070600010009"));
    QCOMPARE(q.inst.stationAddress(), quint8(9));
}

void TestSimulatorInstrument::ignoresFramesNotForIt_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("bad crc") << QByteArray::fromHex("010310000005C1CB");
    QByteArray swapped = frame("010310000005");
    const char high = swapped.at(6);
    swapped[6] = swapped.at(7);
    swapped[7] = high;
    QTest::newRow("crc low byte first") << swapped;
    QTest::newRow("other station") << frame("020310000005");
    QTest::newRow("truncated") << frame("010310000005").left(7);
    QTest::newRow("empty") << QByteArray();
}

void TestSimulatorInstrument::ignoresFramesNotForIt()
{
    QFETCH(QByteArray, bytes);
    QuietInstrument q(Variant::TC);
    QVERIFY(q.inst.handle(bytes).isEmpty());
}

void TestSimulatorInstrument::identityAndClock()
{
    QuietInstrument q(Variant::RTD);
    q.inst.setIdentity("SIM-42");
    const QByteArray id = q.ask("010310000005");
    QCOMPARE(id.size(), 15);
    QCOMPARE(id.mid(3, 10), QByteArray("SIM-42    "));
    QVERIFY(hasValidCrc(id));

    // Clock write 2024-03-05 14:07:09 is echoed whole and reads back.
    const QByteArray write = frame("011010100003061803050E0709");
    QCOMPARE(q.inst.handle(write), write);
    const QByteArray read = q.ask("010310100003");
    QCOMPARE(read.size(), 11);
    const QByteArray fields = read.mid(3, 6);
    QCOMPARE(fields.left(5).toHex(), QByteArray("1803050e07"));
    QVERIFY(quint8(fields.at(5)) >= 9 && quint8(fields.at(5)) <= 11);
    QVERIFY(qAbs(q.inst.clock().secsTo(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)))) <= 2);
    // 31 February is refused with an exception, the clock stays.
    QCOMPARE(q.ask("0110101000030618021F0E0709"), frame("019003"));
}

void TestSimulatorInstrument::valueBlocksAgree_data()
{
    QTest::addColumn<int>("variant");
    QTest::addColumn<QByteArrayList>("setup"); // write frames, hex without CRC
    QTest::newRow("TC type K") << int(Variant::TC) << QByteArrayList{"0106000D0008"};
    QTest::newRow("TC type S") << int(Variant::TC) << QByteArrayList{"0106000D000E"};
    QTest::newRow("RTD PT385 R0 100") << int(Variant::RTD)
                                      << QByteArrayList{"01100010000C18" + floatsHex({100, 0, 0, 0, 0, 0})};
    QTest::newRow("RTD ITS90 two channels")
        << int(Variant::RTD)
        << QByteArrayList{"01100010000C18" + floatsHex({25.5f, -1.2e-4f, 2e-5f, 0, -1.1e-4f, 1e-5f}),
                          "01100012000C18" + floatsHex({100.02f, 3e-5f, 0, 0, 2e-5f, 0})};
    QTest::newRow("NTC default curve") << int(Variant::NTC) << QByteArrayList();
    QTest::newRow("PCR R(T)") << int(Variant::PCR) << QByteArrayList{"011000100008" "10" + floatsHex({-4.2f, 3900, 0, 0})};
}

void TestSimulatorInstrument::valueBlocksAgree()
{
    QFETCH(int, variant);
    QFETCH(QByteArrayList, setup);
    QuietInstrument q(static_cast<Variant>(variant));
    for (const QByteArray& f : setup) {
        const QByteArray request = frame(f.constData());
        const QByteArray reply = q.inst.handle(request);
        QVERIFY2(reply == request, reply.toHex().constData()); // writes are echoed
    }
    const QByteArray temp = q.ask("010301000020");
    const QByteArray elec = q.ask("010302000020");
    QCOMPARE(temp.size(), 4 * 16 + 5); // 8·16 + 10 hex digits
    QCOMPARE(elec.size(), 4 * 16 + 5);
    QCOMPARE(quint8(temp.at(2)), quint8(64));
    for (int c = 0; c < 16; ++c) {
        const double t = floatAt(temp, c);
        const double e = floatAt(elec, c);
        QVERIFY(qAbs(t - (20.0 + 5.0 * c)) < 1e-4);
        // The electrical value converts back to the same temperature.
        double back = 0;
        switch (static_cast<Variant>(variant)) {
        case Variant::TC:
            back = physics::thermocoupleTemperature(q.inst.effectiveThermocouple(), e);
            break;
        case Variant::RTD: {
            const auto co = q.inst.coefficients(c);
            physics::Its90Deviation dev{co[1], co[2], co[3], co[4], co[5]};
            back = co[1] == 0 ? physics::cvdTemperature(e, co[0]) : physics::its90Temperature(e, co[0], dev);
            break;
        }
        default: {
            const auto co = q.inst.coefficients(c);
            physics::ThermistorCoefficients tk{co[0], co[1], co[2], co[3]};
            if (tk.isZero())
                tk = physics::thermistorFromBeta(10000, 3977);
            back = physics::thermistorTemperature(e, tk);
        }
        }
        QVERIFY2(qAbs(back - t) < 0.002, qPrintable(QStringLiteral("ch %1: %2 vs %3").arg(c).arg(back).arg(t)));
    }
}

void TestSimulatorInstrument::thermocoupleCorrectionAndType()
{
    QuietInstrument q(Variant::TC);
    q.inst.signal(2).setFixed(100.0);
    // Channel 103: M = 2, B = −1 applies to the temperature block only.
    const QByteArray block = frame(QByteArray("011000140004 08" + floatsHex({2.0f, -1.0f})).replace(" ", "").constData());
    QCOMPARE(q.inst.handle(block), block);
    const QByteArray temp = q.ask("010301040002");
    QCOMPARE(temp.size(), 9);
    QCOMPARE(floatAt(temp, 0), 199.0f);
    QCOMPARE(q.ask("0106000D000F"), frame("0106000D000F")); // type T
    QVERIFY(qAbs(floatAt(q.ask("010302040002"), 0) - 4.279) < 0.001);
    QCOMPARE(q.ask("0106000D0013"), frame("0106000D0013")); // Au_Pt: no curve here, K is used
    QCOMPARE(q.inst.effectiveThermocouple(), QStringLiteral("K"));
    QVERIFY(qAbs(floatAt(q.ask("010302040002"), 0) - 4.096) < 0.001);
    // A coefficient block of another variant's size is refused.
    QCOMPARE(q.ask("01100010000C18" + floatsHex({100, 0, 0, 0, 0, 0})), frame("019003"));
}

void TestSimulatorInstrument::quadraticThermocoupleRoot_data()
{
    QTest::addColumn<double>("c");
    QTest::addColumn<double>("t");
    QTest::newRow("linear") << 0.0 << 300.0;
    QTest::newRow("small C") << 2e-6 << 300.0;
    QTest::newRow("negative C") << -3e-6 << 1100.0;
    QTest::newRow("tiny C") << 1e-15 << 400.0; // the far root near −1e15
}

// The root of t = M·x + B + C·x² nearest the linear reading, precise for a
// tiny C; a two-point linear calibration then leaves the parabola's distance
// from its chord, C·(x − x1)·(x − x2), at a check point.
void TestSimulatorInstrument::quadraticThermocoupleRoot()
{
    QFETCH(double, c);
    QFETCH(double, t);
    const double m = 1.0021, b = -0.35;
    const LabSensor sensor = LabSensor::thermocouple(m, b, c);
    const double x = sensor.apparentTemperature(t);
    if (c == 0)
        QCOMPARE(x, (t - b) / m); // bit for bit the linear sensor
    QVERIFY2(qAbs(m * x + b + c * x * x - t) < 1e-12 * t, qPrintable(QString::number(x, 'g', 17)));

    Instrument3107A logger(Variant::TC);
    logger.setMonotonicClock([] { return qint64(0); });
    QVERIFY(logger.setSensor(0, sensor));
    logger.signal(0).setNoise(0);
    const double points[3] = {t / 3, t, 2 * t / 3}; // calibration, calibration, check
    double read[3];
    for (int i = 0; i < 3; ++i) {
        logger.signal(0).setFixed(points[i]);
        logger.invalidateScan();
        read[i] = logger.reading(0).temperature; // programmed M = 1, B = 0
    }
    const double fm = (points[1] - points[0]) / (read[1] - read[0]);
    const double residual = points[2] - (fm * (read[2] - read[0]) + points[0]);
    QVERIFY2(qAbs(residual - c * (read[2] - read[0]) * (read[2] - read[1])) < 1e-3, qPrintable(QString::number(residual)));
}

void TestSimulatorInstrument::fourWireHasEightChannels()
{
    QuietInstrument q(Variant::RTD);
    QCOMPARE(q.ask("0106000C0002"), frame("0106000C0002"));
    QCOMPARE(q.inst.activeChannels(), 8);
    QCOMPARE(q.ask("010301000010").size(), 8 * 4 + 5); // 8·8+10 hex digits
    QCOMPARE(q.ask("010301000020"), frame("018302"));
    // Three-wire is RTD only; NTC takes two- or four-wire.
    QuietInstrument ntc(Variant::NTC);
    QCOMPARE(ntc.ask("0106000C0001"), frame("018603"));
    QCOMPARE(ntc.ask("0106000C0002"), frame("0106000C0002"));
    QuietInstrument tc(Variant::TC);
    QCOMPARE(tc.ask("0106000C0002"), frame("018603"));
}

void TestSimulatorInstrument::exceptions_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("unknown function") << QByteArray("010400000001") << QByteArray();
    QTest::newRow("unmapped register") << QByteArray("010305000002") << QByteArray("018302");
    QTest::newRow("odd value register") << QByteArray("010301010002") << QByteArray("018302");
    QTest::newRow("identity too long") << QByteArray("010310000006") << QByteArray("018302");
    QTest::newRow("rate out of range") << QByteArray("0106000E0004") << QByteArray("018603");
    QTest::newRow("byte count mismatch") << QByteArray("0110001000040700000000000000") << QByteArray("019003");
    QTest::newRow("rate ok") << QByteArray("0106000E0003") << QByteArray("0106000E0003");
}

void TestSimulatorInstrument::exceptions()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);
    QuietInstrument q(Variant::TC);
    const QByteArray answer = q.ask(request);
    // An unknown function is not a frame the logger can delimit, so no answer at all.
    if (reply.isEmpty()) {
        QVERIFY(answer.isEmpty());
        return;
    }
    QCOMPARE(answer.toHex(), frame(reply.constData()).toHex());
}

void TestSimulatorInstrument::scanHoldsValuesForOnePeriod()
{
    Instrument3107A inst(Variant::TC);
    qint64 ms = 0;
    inst.setMonotonicClock([&ms] { return ms; });
    inst.signal(0).setNoise(0.5);
    QCOMPARE(inst.handle(frame("0106000E0002")), frame("0106000E0002")); // medium: 16 × 75 ms
    QCOMPARE(inst.scanPeriod(), 1.2);
    const QByteArray first = inst.handle(frame("010301000002"));
    ms = 1100;
    const QByteArray electrical = inst.handle(frame("010302000002"));
    QCOMPARE(inst.handle(frame("010301000002")), first); // same scan
    QVERIFY(qAbs(physics::thermocoupleTemperature("K", floatAt(electrical, 0)) - floatAt(first, 0)) < 0.002);
    ms = 1300;
    QVERIFY(inst.handle(frame("010301000002")) != first); // next scan, new noise
}

void TestSimulatorInstrument::assemblerSplitsStream()
{
    const Instrument3107A protocol(Variant::TC);
    FrameAssembler a(protocol, 500);
    const QByteArray probe = QByteArray::fromHex("010300010001CAD5");
    const QByteArray write = frame("011010100003061803050E0709");
    // Byte by byte, two frames back to back, with garbage in front.
    QByteArray stream = QByteArray::fromHex("FF00AA") + probe + write;
    QList<QByteArray> got;
    for (char b : stream)
        got += a.feed(QByteArray(1, b), 10);
    QCOMPARE(got, (QList<QByteArray>{probe, write}));
    // A frame with a bad CRC is skipped; the next good one is found.
    QByteArray broken = probe;
    broken[7] = char(broken[7] ^ 1);
    QCOMPARE(a.feed(broken + probe, 20), QList<QByteArray>{probe});
    // An unfinished frame is dropped after a silent gap.
    QVERIFY(a.feed(probe.left(5), 30).isEmpty());
    QVERIFY(a.feed(probe, 1000) == QList<QByteArray>{probe});
    QCOMPARE(a.pending(), 0);
}

void TestSimulatorInstrument::injectedFaults()
{
    Instrument3107A inst(Variant::TC);
    QVERIFY(inst.supports(SimulatedInstrument::Fault::BadChecksum));
    QByteArray reply = frame("01030101");
    inst.inject(SimulatedInstrument::Fault::BadChecksum, &reply);
    QCOMPARE(reply.left(4), QByteArray::fromHex("01030101"));
    QVERIFY(!hasValidCrc(reply));
    // Another station, and still a frame the master's CRC check accepts.
    inst.setStationAddress(247);
    reply = frame("F70301F7");
    inst.inject(SimulatedInstrument::Fault::ForeignAddress, &reply);
    QCOMPARE(reply, frame("010301F7"));
    inst.setStationAddress(5);
    reply = frame("050301F7");
    inst.inject(SimulatedInstrument::Fault::ForeignAddress, &reply);
    QCOMPARE(quint8(reply.at(0)), quint8(6));
}

void TestSimulatorInstrument::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("count");
    QTest::newRow("defaults") << QStringList() << true << 1;
    QTest::newRow("single pty") << QStringList{"--model", "3107A-RTD", "--no-tcp", "--pty"} << true << 1;
    QTest::newRow("three") << QStringList{"--instrument", "model=3107A-TC,tcp=0",
                                          "--instrument=model=3107A-NTC,tcp=127.0.0.1:0,pty,id=N1",
                                          "--instrument", "model=3107A-PCR,serial=pty,ch101=fixed:37"}
                           << true << 3;
    QTest::newRow("bad model") << QStringList{"--model", "3109A"} << false << 0;
    QTest::newRow("3108A and 1586A") << QStringList{"--instrument", "model=3108A,address=7,ch126=30,timescale=10",
                                                     "--instrument", "model=1586a,pty,tcp=none,ch222=fixed:40,ch001=5"}
                                     << true << 2;
    QTest::newRow("3108A has no channel 127") << QStringList{"--instrument", "model=3108A,ch127=30"} << false << 0;
    QTest::newRow("1586A has no station") << QStringList{"--instrument", "model=1586A,address=2"} << false << 0;
    QTest::newRow("mixed") << QStringList{"--pty", "--instrument", "model=3107A-TC"} << false << 0;
    QTest::newRow("no endpoint") << QStringList{"--no-tcp"} << false << 0;
    QTest::newRow("unknown key") << QStringList{"--instrument", "model=3107A-TC,colour=red"} << false << 0;
    QTest::newRow("bad channel") << QStringList{"--instrument", "ch117=20"} << false << 0;
    QTest::newRow("long id") << QStringList{"--id", "ABCDEFGHIJK"} << false << 0;
    QTest::newRow("missing value") << QStringList{"--tcp"} << false << 0;
    QTest::newRow("unknown option") << QStringList{"--colour"} << false << 0;
}

void TestSimulatorInstrument::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(bool, ok);
    QFETCH(int, count);
    SimulatorConfig config;
    QString error;
    QCOMPARE(parseArguments(args, &config, &error), ok);
    QCOMPARE(ok, error.isEmpty());
    if (!ok)
        return;
    QCOMPARE(config.instruments.size(), count);
    if (QByteArray(QTest::currentDataTag()) == "three") {
        QCOMPARE(config.instruments[0].port, quint16(0));
        QVERIFY(config.instruments[1].pty && config.instruments[1].tcp);
        QCOMPARE(config.instruments[1].identity, QStringLiteral("N1"));
        QVERIFY(config.instruments[2].pty && !config.instruments[2].tcp);
        QCOMPARE(config.instruments[2].channels.size(), 1);
        QCOMPARE(config.instruments[2].channels[0].value, 37.0);
    } else if (QByteArray(QTest::currentDataTag()) == "3108A and 1586A") {
        QVERIFY(config.instruments[0].logger == LoggerModel::M3108A);
        QCOMPARE(config.instruments[0].address, 7);
        QCOMPARE(config.instruments[0].channels.value(0).channel, 25);
        QCOMPARE(config.instruments[0].timeScale, 10.0);
        QVERIFY(config.instruments[1].logger == LoggerModel::M1586A);
        QCOMPARE(config.instruments[1].channels.value(0).channel, 43);
        QCOMPARE(config.instruments[1].channels.value(1).channel, 44);
    } else if (QByteArray(QTest::currentDataTag()) == "defaults") {
        QCOMPARE(config.instruments[0].port, quint16(5000));
        QCOMPARE(config.instruments[0].host, QStringLiteral("127.0.0.1"));
        QVERIFY(config.instruments[0].variant == Variant::TC);
    }
}

void TestSimulatorInstrument::configJson()
{
    QList<InstrumentConfig> list;
    QString error;
    QVERIFY2(parseConfigJson(R"({"instruments": [
        {"model": "3107A-RTD", "tcp": 0, "pty": true, "address": 3, "id": "R1",
         "channels": {"101": {"fixed": 0}, "102": {"setpoint": 100, "start": 20, "tau": 5},
                      "103": {"ramp": [[0, 20], [60, 80]], "repeat": true}, "104": 37.5}},
        {"model": "3107A-NTC"}]})",
                             &list, &error),
             qPrintable(error));
    QCOMPARE(list.size(), 2);
    QCOMPARE(list[0].address, 3);
    QCOMPARE(list[0].channels.size(), 4);
    QCOMPARE(list[1].port, quint16(5001));
    QVERIFY(list[1].tcp);

    for (const char* bad : {"{}", "{\"instruments\": [{\"model\": \"X\"}]}",
                            "{\"instruments\": [{\"channels\": {\"120\": 5}}]}",
                            "{\"instruments\": [{\"channels\": {\"101\": {\"ramp\": [[10, 1], [5, 2]]}}}]}",
                            "{\"instruments\": [{\"address\": 300}]}", "not json"}) {
        QList<InstrumentConfig> none;
        QVERIFY2(!parseConfigJson(bad, &none, &error), bad);
        QVERIFY(!error.isEmpty());
    }

    // The example shipped for new users stays valid.
    QList<InstrumentConfig> example;
    QVERIFY2(parseConfigFile(TestSupport::sourcePath("tools/simulator/examples/three-loggers.json"), &example, &error),
             qPrintable(error));
    QCOMPARE(example.size(), 3);
}

QTEST_GUILESS_MAIN(TestSimulatorInstrument)
#include "tst_simulator_instrument.moc"
