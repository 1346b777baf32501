// Temperature sources (thermal model and text protocols), sensors with a
// known error, and the lab that puts those sensors into the sources.

#include "Instrument3107A.h"
#include "InstrumentSource.h"
#include "Lab.h"
#include "Physics.h"
#include "SimulatorConfig.h"
#include "TestSupport.h"

#include <QRegularExpression>
#include <QtTest>

#include <cmath>
#include <cstring>
#include <memory>

using namespace sim;

namespace {

// A source on a clock the test steps; noise and wobble as asked.
struct SteppedSource
{
    SteppedSource(const QString& model, SourceSettings settings = {})
    {
        const SourceModel* m = sourceModel(model);
        if (m->family == SourceFamily::DryBlock)
            source = std::make_unique<InstrumentDryBlock>(*m, settings);
        else
            source = std::make_unique<InstrumentBath>(*m, settings);
        source->setSerial(QStringLiteral("S1"));
        source->setMonotonicClock([this] { return ms; });
    }
    void advance(double seconds) { ms += qRound64(seconds * 1000.0); }
    QByteArray ask(const QByteArray& line) { return source->handle(line + "\r\n"); }

    qint64 ms = 1000000;
    std::unique_ptr<InstrumentSource> source;
};

SourceSettings quiet()
{
    SourceSettings s;
    s.noise = 0;
    s.wobble = 0;
    return s;
}

// What the calibration of a platinum channel computes from three points
// whose first is the zero point: (a, b) above zero, (a4, b4) below.
void deviationAbove(const double t[3], const double r[3], double* a, double* b)
{
    double dw[3], d[3];
    for (int p = 1; p < 3; ++p) {
        const double w = r[p] / r[0];
        dw[p] = w - physics::its90ReferenceW(t[p]);
        d[p] = w - 1;
    }
    *a = (dw[1] * d[2] * d[2] - dw[2] * d[1] * d[1]) / (d[1] * d[2] * d[2] - d[1] * d[1] * d[2]);
    *b = (dw[2] - *a * d[2]) / (d[2] * d[2]);
}

void deviationBelow(const double t[3], const double r[3], double* a4, double* b4)
{
    double dw[3], d[3], l[3];
    for (int p = 1; p < 3; ++p) {
        const double w = r[p] / r[0];
        dw[p] = w - physics::its90ReferenceW(t[p]);
        d[p] = w - 1;
        l[p] = std::log(w);
    }
    const double den = d[1] * d[2] * (l[2] - l[1]);
    *b4 = (dw[2] * d[1] - dw[1] * d[2]) / den;
    *a4 = (dw[1] * d[2] * l[2] - dw[2] * d[1] * l[1]) / den;
}

// Writes a coefficient block the way the program does (function 0x10).
void program(Instrument3107A& logger, int channel, const QVector<float>& values)
{
    QByteArray body;
    const quint16 reg = quint16(0x0010 + 2 * channel);
    body.append(char(logger.stationAddress())).append(char(0x10));
    body.append(char(reg >> 8)).append(char(reg & 0xFF));
    body.append(char(0)).append(char(2 * values.size())).append(char(4 * values.size()));
    for (float v : values) {
        quint32 bits;
        std::memcpy(&bits, &v, 4);
        for (int i = 0; i < 4; ++i)
            body.append(char((bits >> (8 * i)) & 0xFF));
    }
    quint16 crc = 0xFFFF;
    for (char c : body) {
        crc ^= quint8(c);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1) ? quint16((crc >> 1) ^ 0xA001) : quint16(crc >> 1);
    }
    body.append(char(crc >> 8)).append(char(crc & 0xFF));
    QCOMPARE(logger.handle(body), body); // echoed: accepted
}

} // namespace

class TestSimulatorSources : public QObject
{
    Q_OBJECT
private slots:
    void approachSettleStable_data();
    void approachSettleStable();
    void coolingIsSlowerAndOutputOffDrifts();
    void timeScaleAndClock();
    void dryBlockProtocol();
    void bathProtocol();
    void textFramingAndGarbage();
    void referenceDriftOnTheSourcesClock_data();
    void referenceDriftOnTheSourcesClock();
    void referenceNoise();
    void thermocoupleSensor();
    void platinumSensor_data();
    void platinumSensor();
    void platinumCalibrationFindsTheSensor();
    void thermistorSensor();
    void labPutsChannelsIntoSources();
    void commandLine_data();
    void commandLine();
    void configJsonAndExample();
};

void TestSimulatorSources::approachSettleStable_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<double>("from");
    QTest::addColumn<double>("to");
    QTest::addColumn<double>("heatPerMinute"); // the family's default
    QTest::newRow("KRDB-1 23→150") << "KRDB-1" << 23.0 << 150.0 << 15.0;
    QTest::newRow("KRDB-2 23→600") << "KRDB-2" << 23.0 << 600.0 << 20.0;
    QTest::newRow("KRLB-1 20→60") << "KRLB-1" << 20.0 << 60.0 << 1.5;
    QTest::newRow("KRLB-2 -40→20") << "KRLB-2" << -40.0 << 20.0 << 1.5;
    QTest::newRow("KRLB-3 -80→-75") << "KRLB-3" << -80.0 << -75.0 << 1.5;
    QTest::newRow("KRLB-4 35→95") << "KRLB-4" << 35.0 << 95.0 << 1.5;
    QTest::newRow("KRLB-5 35→300") << "KRLB-5" << 35.0 << 300.0 << 1.5;
}

void TestSimulatorSources::approachSettleStable()
{
    QFETCH(QString, model);
    QFETCH(double, from);
    QFETCH(double, to);
    QFETCH(double, heatPerMinute);
    SourceSettings settings; // default noise and wobble: stability must hold with them
    settings.temperature = from;
    settings.setPoint = from;
    settings.output = 1;
    SteppedSource s(model, settings);
    InstrumentSource& src = *s.source;
    const double tolerance = src.model().tolerance;
    QVERIFY(src.stable()); // started settled at its set-point

    const QByteArray stableQuery = src.model().family == SourceFamily::DryBlock ? "SOUR1:STAB:TEST?" : "st";
    const QByteArray stableYes = src.model().family == SourceFamily::DryBlock ? "1\r\n" : "st:1\r\n";
    QVERIFY(src.setSetPoint(to));
    QVERIFY(!src.stable());
    QVERIFY(s.ask(stableQuery) != stableYes);

    // Ramp at the heating rate while far from the set-point.
    const double t0 = src.thermal().modelTemperature(src.now());
    s.advance(30);
    QVERIFY2(qAbs(src.thermal().modelTemperature(src.now()) - (t0 + heatPerMinute / 2)) < 1e-9,
             qPrintable(QString::number(src.thermal().modelTemperature(src.now()))));

    // Monotonic approach without overshoot, then stable exactly when the model says.
    const double wait = src.thermal().timeToStable(src.now());
    QVERIFY(wait > src.settings().hold);
    double last = src.thermal().modelTemperature(src.now());
    const double step = (wait - 1) / 200;
    for (int i = 0; i < 200; ++i) {
        s.advance(step);
        const double t = src.thermal().modelTemperature(src.now());
        QVERIFY(t >= last - 1e-12 && t <= to + 1e-12);
        QVERIFY(!src.stable());
        last = t;
    }
    s.advance(src.thermal().timeToStable(src.now()) - 0.05);
    QVERIFY(!src.stable());
    s.advance(0.1);
    QVERIFY(src.stable());
    QCOMPARE(s.ask(stableQuery), stableYes);
    // Stable as soon as the temperature has been in the band for the hold
    // time, fluctuation included, and not later.
    for (double back = 0; back <= src.settings().hold; back += 0.5)
        QVERIFY(qAbs(src.thermal().temperature(src.now() - back) - to) <= tolerance);
    const double before = src.thermal().modelTemperature(src.now() - src.settings().hold - 0.2);
    QVERIFY(qAbs(before - to) > src.thermal().band());

    // Holds for an hour within the tolerance, fluctuation included, and stays stable.
    for (int i = 0; i < 3600; i += 7) {
        s.advance(7);
        QVERIFY2(qAbs(src.temperature() - to) <= tolerance, qPrintable(QString::number(src.temperature(), 'f', 4)));
        QVERIFY(src.stable());
    }
    // The same set-point again does not restart the hold; another one does.
    QVERIFY(src.setSetPoint(to));
    QVERIFY(src.stable());
    QVERIFY(src.setSetPoint(to - 1));
    QVERIFY(!src.stable());
}

void TestSimulatorSources::coolingIsSlowerAndOutputOffDrifts()
{
    SourceSettings settings = quiet();
    settings.temperature = 100;
    settings.setPoint = 100;
    settings.output = 1;
    SteppedSource up("KRDB-1", settings);
    SteppedSource down("KRDB-1", settings);
    up.source->setSetPoint(200);
    down.source->force(200);
    down.source->setSetPoint(100);
    const double upTime = up.source->thermal().timeToStable(up.source->now());
    const double downTime = down.source->thermal().timeToStable(down.source->now());
    QVERIFY2(downTime > 1.5 * upTime, qPrintable(QStringLiteral("%1 vs %2").arg(downTime).arg(upTime)));

    // Output off: no regulation, drift towards ambient, never stable.
    SourceSettings off = quiet();
    off.ambient = 22;
    SteppedSource s("KRDB-1", off);
    QCOMPARE(s.source->temperature(), 22.0);
    QCOMPARE(s.ask("OUTP:STAT?"), QByteArray("0\r\n"));
    s.ask("s 150.00");
    s.advance(600);
    QCOMPARE(s.source->temperature(), 22.0);
    QCOMPARE(s.ask("SOUR1:STAB:TEST?"), QByteArray("0\r\n"));
    QVERIFY(s.ask("OUTP:STAT 1").isEmpty());
    QCOMPARE(s.ask("OUTP:STAT?"), QByteArray("1\r\n"));
    s.advance(900);
    QVERIFY(s.source->stable());
    QCOMPARE(s.ask("t"), QByteArray("150.000\r\n"));
    QVERIFY(s.ask("OUTP:STAT 0").isEmpty());
    s.advance(60);
    const double t = s.source->temperature();
    QVERIFY(t < 150 && t > 140); // cooling at 6 °C/min at most
    QCOMPARE(s.ask("SOUR1:STAB:TEST?"), QByteArray("0\r\n"));
    s.advance(36000);
    QVERIFY(qAbs(s.source->temperature() - 22.0) < 1e-6);
}

void TestSimulatorSources::timeScaleAndClock()
{
    SourceSettings settings = quiet();
    settings.timeScale = 60;
    settings.output = 1;
    settings.temperature = 40;
    settings.setPoint = 40;
    SteppedSource s("KRLB-1", settings);
    const double start = s.source->now();
    s.advance(1); // one real second is a simulated minute
    QVERIFY(qAbs(s.source->now() - start - 60.0) < 1e-9);
    s.source->setSetPoint(50);
    s.advance(0.5); // half a simulated minute at 1.5 °C/min
    QVERIFY(qAbs(s.source->temperature() - 40.75) < 1e-9);
    const double before = s.source->now();
    s.source->setTimeScale(1); // from now on real time, without a jump in simulated time
    QVERIFY(qAbs(s.source->now() - before) < 1e-9);
    s.advance(2);
    QVERIFY(qAbs(s.source->now() - before - 2.0) < 1e-9);
    s.source->settle();
    QVERIFY(s.source->stable());
    QCOMPARE(s.ask("r"), QByteArray("r: 50.000 C\r\n"));
}

void TestSimulatorSources::dryBlockProtocol()
{
    SourceSettings settings = quiet();
    settings.refOffset = 0.0125;
    SteppedSource s("KRDB-1", settings);
    s.source->setSerial(QStringLiteral("KD00007"));
    QCOMPARE(s.ask("*IDN?"), QByteArray("KORVA-INST,KRDB-1,KD00007,2.07\r\n"));
    QCOMPARE(s.ask("*idn?"), QByteArray("KORVA-INST,KRDB-1,KD00007,2.07\r\n"));
    // Settings and set-points are not answered.
    QVERIFY(s.ask("OUTP:STAT 1").isEmpty());
    QVERIFY(s.ask("u C").isEmpty());
    QCOMPARE(s.ask("s"), QByteArray("33.00\r\n")); // ambient 23 is below the range
    QVERIFY(s.ask("s 60.00").isEmpty());
    QCOMPARE(s.ask("s"), QByteArray("60.00\r\n"));
    // Out of range or no number: ignored, the old set-point stays.
    for (const char* bad : {"s 25.00", "s 350.01", "s abc", "s nan", "s -1e999"}) {
        QVERIFY(s.ask(bad).isEmpty());
        QCOMPARE(s.ask("s"), QByteArray("60.00\r\n"));
    }
    QVERIFY(s.ask("s 350").isEmpty());
    QCOMPARE(s.ask("s"), QByteArray("350.00\r\n"));
    s.ask("s 33.5");
    s.source->settle();
    QCOMPARE(s.ask("t"), QByteArray("33.500\r\n"));
    QCOMPARE(s.ask("READ?"), QByteArray("33.5125\r\n")); // the built-in reference's own offset
    QCOMPARE(s.ask("SOUR1:STAB:TEST?"), QByteArray("1\r\n"));
    QVERIFY(s.ask("SYST:ERR?").isEmpty()); // unknown: silent
    QVERIFY(s.ask("").isEmpty());

    // With noise, readings keep their format and differ from each other.
    SteppedSource noisy("KRDB-2");
    const QRegularExpression three("^-?\\d+\\.\\d{3}\r\n$");
    const QRegularExpression four("^-?\\d+\\.\\d{4}\r\n$");
    QSet<QByteArray> seen;
    for (int i = 0; i < 20; ++i) {
        const QByteArray t = noisy.ask("t");
        QVERIFY2(three.match(QString::fromLatin1(t)).hasMatch(), t.constData());
        QVERIFY(four.match(QString::fromLatin1(noisy.ask("READ?"))).hasMatch());
        seen.insert(t);
    }
    QVERIFY(seen.size() > 3);
}

void TestSimulatorSources::bathProtocol()
{
    SteppedSource s("KRLB-3", quiet());
    s.source->setSerial(QStringLiteral("KL00002"));
    QCOMPARE(s.ask("sn"), QByteArray("sn:KL00002\r\n"));
    for (const char* setting : {"lf=on", "u=C", "sa=n", "pc=s", "co=au", "hg=auto"})
        QVERIFY2(s.ask(setting).isEmpty(), setting);
    QVERIFY(s.source->details().join('\n').contains("settings co=au hg=auto lf=on pc=s sa=n u=C"));
    QCOMPARE(s.ask("s"), QByteArray("set: 23.00C\r\n"));
    QCOMPARE(s.ask("st"), QByteArray("st:1\r\n")); // a bath regulates from the start
    QVERIFY(s.ask("s=25.00").isEmpty());
    QCOMPARE(s.ask("s"), QByteArray("set: 25.00C\r\n"));
    QCOMPARE(s.ask("st"), QByteArray("st:0\r\n"));
    for (const char* bad : {"s=100.01", "s=-80.01", "s=x"}) {
        QVERIFY(s.ask(bad).isEmpty());
        QCOMPARE(s.ask("s"), QByteArray("set: 25.00C\r\n"));
    }
    QVERIFY(s.ask("s=-80").isEmpty());
    QCOMPARE(s.ask("s"), QByteArray("set: -80.00C\r\n"));
    s.source->settle();
    QCOMPARE(s.ask("r"), QByteArray("r: -80.000 C\r\n"));
    QCOMPARE(s.ask("st"), QByteArray("st:1\r\n"));
    s.source->force(-79.5);
    QCOMPARE(s.ask("r"), QByteArray("r: -79.500 C\r\n"));
    QCOMPARE(s.ask("st"), QByteArray("st:0\r\n"));
    QVERIFY(s.ask("t").isEmpty()); // a dry block's command
    QVERIFY(!s.source->supports(SimulatedInstrument::Fault::BadChecksum));
}

void TestSimulatorSources::textFramingAndGarbage()
{
    SteppedSource s("KRDB-1", quiet());
    FrameAssembler assembler(*s.source);
    QCOMPARE(assembler.feed("t\r", 0), QList<QByteArray>());
    QCOMPARE(assembler.feed("\ns 40.00\r\nREAD", 10), (QList<QByteArray>{"t\r\n", "s 40.00\r\n"}));
    QCOMPARE(assembler.feed("?\r\n", 20), QList<QByteArray>{"READ?\r\n"});
    // A line without end that runs on is dropped, the next good line still passes.
    assembler.feed(QByteArray(300, 'x'), 30);
    QVERIFY(assembler.pending() <= 256);
    QCOMPARE(frameText(*s.source, "s 25.00\r\n"), QStringLiteral("\"s 25.00\\r\\n\""));
    QCOMPARE(frameText(*s.source, QByteArray("\"\\\x01", 3)), QStringLiteral("\"\\\"\\\\\\x01\""));

    QVERIFY(s.source->supports(SimulatedInstrument::Fault::Garbage));
    QByteArray reply = s.ask("t");
    s.source->inject(SimulatedInstrument::Fault::Garbage, &reply);
    QCOMPARE(reply, QByteArray("#@!x\r\n"));
    bool ok = true;
    reply.trimmed().toDouble(&ok);
    QVERIFY(!ok); // not a number
    QVERIFY(!reply.startsWith("r:") && !reply.startsWith("set:") && !reply.startsWith("st:"));
    Instrument3107A logger(Variant::TC);
    QVERIFY(!logger.supports(SimulatedInstrument::Fault::Garbage));
}

void TestSimulatorSources::referenceDriftOnTheSourcesClock_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<double>("timeScale");
    QTest::newRow("dry block, real time") << "KRDB-1" << 1.0;
    QTest::newRow("bath, 60 times faster") << "KRLB-2" << 60.0;
}

// The reference drifts by minutes of the source's own time, from the start
// or from the command; control, display and stability stay on the truth.
void TestSimulatorSources::referenceDriftOnTheSourcesClock()
{
    QFETCH(QString, model);
    QFETCH(double, timeScale);
    SourceSettings settings = quiet();
    settings.output = 1;
    settings.setPoint = 80;
    settings.refOffset = 0;
    settings.refDrift = 0.3;
    settings.timeScale = timeScale;
    SteppedSource s(model, settings);
    auto reference = [&] { return s.ask(model == "KRDB-1" ? "READ?" : "r").replace("r: ", "").replace(" C", "").toDouble(); };
    s.advance(120.0 / timeScale); // two minutes of the source's time
    QVERIFY(qAbs(reference() - 80.6) < 1e-9);
    QVERIFY(s.source->stable() && s.source->displayReading() == 80.0);
    QVERIFY(s.source->details().join('\n').contains(QStringLiteral("reference drift 0.3 °C/min (0.6000 °C now)")));
    s.source->setReferenceDrift(-0.5); // from the truth again
    s.source->setTimeScale(2 * timeScale);
    s.advance(30.0 / timeScale); // one minute at the new scale
    QVERIFY(qAbs(reference() - 79.5) < 1e-9);
    s.source->setReferenceDrift(0);
    QCOMPARE(reference(), 80.0);
}

void TestSimulatorSources::referenceNoise()
{
    auto spread = [](InstrumentSource& source, double (InstrumentSource::*reading)()) {
        double squares = 0;
        for (int i = 0; i < 4000; ++i)
            squares += std::pow((source.*reading)() - source.temperature(), 2);
        return std::sqrt(squares / 4000);
    };
    SourceSettings settings = quiet();
    settings.noise = 0.02;
    settings.refOffset = 0;
    // By default a dry block's reference is the better instrument; a bath has one reading.
    SteppedSource dry("KRDB-1", settings), bath("KRLB-1", settings);
    QVERIFY(qAbs(spread(*dry.source, &InstrumentSource::referenceReading) - 0.01) < 0.001);
    QVERIFY(qAbs(spread(*bath.source, &InstrumentSource::referenceReading) - 0.02) < 0.002);
    dry.source->setReferenceNoise(0.05);
    QVERIFY(qAbs(spread(*dry.source, &InstrumentSource::referenceReading) - 0.05) < 0.005);
    QVERIFY(qAbs(spread(*dry.source, &InstrumentSource::displayReading) - 0.02) < 0.002); // its own
}

void TestSimulatorSources::thermocoupleSensor()
{
    Instrument3107A logger(Variant::TC);
    logger.setMonotonicClock([] { return qint64(0); });
    const double m = 1.0021, b = -0.35;
    QVERIFY(logger.setSensor(0, LabSensor::thermocouple(m, b)));
    QVERIFY(!logger.setSensor(1, LabSensor::platinum(100, 0, 0, 0, 0)));
    logger.signal(0).setNoise(0);
    double readings[2];
    const double points[2] = {100.0, 300.0};
    for (int i = 0; i < 2; ++i) {
        logger.signal(0).setFixed(points[i]);
        logger.invalidateScan();
        const Instrument3107A::Reading r = logger.reading(0);
        const double x = (points[i] - b) / m;
        QCOMPARE(r.temperature, float(x)); // the program's M = 1, B = 0
        QVERIFY(qAbs(r.electrical - physics::thermocoupleEmf("K", x)) < 1e-5);
        readings[i] = r.temperature;
    }
    // The two-point fit finds the sensor's M and B.
    const double fm = (points[0] - points[1]) / (readings[0] - readings[1]);
    const double fb = points[0] - fm * readings[0];
    QVERIFY(qAbs(fm - m) < 1e-6);
    QVERIFY(qAbs(fb - b) < 1e-4);
    // With the found M and B written back, the channel reads the true temperature.
    program(logger, 0, {float(fm), float(fb)});
    logger.invalidateScan();
    QVERIFY(qAbs(logger.reading(0).temperature - 300.0) < 1e-3);
}

void TestSimulatorSources::platinumSensor_data()
{
    QTest::addColumn<double>("t");
    for (double t : {-80.0, -40.0, -0.5, 0.0, 0.01, 50.0, 150.0, 420.0})
        QTest::newRow(qPrintable(QString::number(t))) << t;
}

void TestSimulatorSources::platinumSensor()
{
    QFETCH(double, t);
    const double r0 = 100.0123, a = -0.0205, b = 0.00073, a4 = -0.0206, b4 = -0.00041;
    const LabSensor sensor = LabSensor::platinum(r0, a, b, a4, b4);
    Instrument3107A logger(Variant::RTD);
    logger.setMonotonicClock([] { return qint64(0); });
    QVERIFY(logger.setSensor(3, sensor));
    logger.signal(3).setNoise(0);
    logger.signal(3).setFixed(t);
    const Instrument3107A::Reading r = logger.reading(3);
    QCOMPARE(r.electrical, float(sensor.resistance(t)));
    // W solves its deviation equation (the branch of the temperature's side of 0 °C).
    const double w = sensor.resistance(t) / r0;
    const double wr = physics::its90ReferenceW(t);
    const double deviation = t >= 0 ? a * (w - 1) + b * (w - 1) * (w - 1) : a4 * (w - 1) + b4 * (w - 1) * std::log(w);
    QVERIFY2(qAbs(w - wr - deviation) < 1e-9, qPrintable(QString::number(w - wr - deviation, 'g', 3)));
    QVERIFY(qAbs(w - wr) > 1e-4 || qAbs(t) < 1); // a real error, not the reference curve
    // A channel programmed as a nominal Pt100 (PT385) reads the resistance through
    // the Callendar–Van Dusen curve: the sensor's error shows as a temperature error.
    QVERIFY(qAbs(r.temperature - physics::cvdTemperature(sensor.resistance(t), 100.0)) < 1e-3);
    // Programmed with the sensor's own coefficients, it reads the true temperature.
    program(logger, 3, {float(r0), float(a), float(b), 0.0f, float(a4), float(b4)});
    logger.invalidateScan();
    QVERIFY2(qAbs(logger.reading(3).temperature - t) < 2e-3, qPrintable(QString::number(logger.reading(3).temperature)));
}

void TestSimulatorSources::platinumCalibrationFindsTheSensor()
{
    // Five points as a calibration takes them, the zero point at the triple
    // point of water, readings as the logger sends them (32-bit floats).
    const LabSensor sensor = LabSensor::platinum(99.987, -0.0198, 0.00069, -0.0199, -0.00038);
    Instrument3107A logger(Variant::RTD);
    logger.setMonotonicClock([] { return qint64(0); });
    logger.setSensor(0, sensor);
    logger.signal(0).setNoise(0);
    auto reading = [&](double t) {
        logger.signal(0).setFixed(t);
        logger.invalidateScan();
        return double(logger.reading(0).electrical);
    };
    const double above[3] = {0.01, 100.0, 200.0};
    const double below[3] = {0.01, -40.0, -80.0};
    double ra[3], rb[3];
    for (int i = 0; i < 3; ++i) {
        ra[i] = reading(above[i]);
        rb[i] = reading(below[i]);
    }
    QVERIFY(qAbs(ra[0] - 99.987) < 1e-5);
    double a, b, a4, b4;
    deviationAbove(above, ra, &a, &b);
    deviationBelow(below, rb, &a4, &b4);
    // Float readings limit the agreement to about 1e-7 relative in W.
    QVERIFY2(qAbs(a - -0.0198) < 5e-6 && qAbs(b - 0.00069) < 3e-5,
             qPrintable(QStringLiteral("a %1 b %2").arg(a, 0, 'g', 10).arg(b, 0, 'g', 10)));
    QVERIFY2(qAbs(a4 - -0.0199) < 5e-6 && qAbs(b4 - -0.00038) < 3e-5,
             qPrintable(QStringLiteral("a4 %1 b4 %2").arg(a4, 0, 'g', 10).arg(b4, 0, 'g', 10)));
}

void TestSimulatorSources::thermistorSensor()
{
    const double b0 = -4.2, b1 = 3990, b2 = -12000, b3 = 1.0e6;
    const LabSensor sensor = LabSensor::thermistorOf(b0, b1, b2, b3);
    for (Variant v : {Variant::NTC, Variant::PCR}) {
        Instrument3107A logger(v);
        logger.setMonotonicClock([] { return qint64(0); });
        QVERIFY(logger.setSensor(15, sensor));
        QVERIFY(!logger.setSensor(14, LabSensor::thermocouple(1, 0)));
        logger.signal(15).setNoise(0);
        for (double t : {-40.0, 0.0, 25.0, 85.0, 150.0}) {
            logger.signal(15).setFixed(t);
            logger.invalidateScan();
            const double kelvin = t + 273.15;
            const double expected = std::exp(b0 + b1 / kelvin + b2 / (kelvin * kelvin) + b3 / (kelvin * kelvin * kelvin));
            QVERIFY(qAbs(sensor.resistance(t) / expected - 1) < 1e-12);
            const Instrument3107A::Reading r = logger.reading(15);
            QVERIFY(qAbs(r.electrical / expected - 1) < 1e-7); // sent as a 32-bit float
            // Unprogrammed channel: the nominal 10 kΩ / 3977 K curve turns it into a wrong temperature.
            const double nominal = physics::thermistorTemperature(expected, physics::thermistorFromBeta(10000, 3977));
            QVERIFY(qAbs(r.temperature - nominal) < 1e-3);
        }
        program(logger, 15, {float(b0), float(b1), float(b2), float(b3)});
        logger.invalidateScan();
        QVERIFY(qAbs(logger.reading(15).temperature - 150.0) < 0.02); // float coefficients
    }
}

void TestSimulatorSources::labPutsChannelsIntoSources()
{
    qint64 ms = 0;
    Lab lab;
    SourceSettings settings = quiet();
    settings.output = 1;
    settings.temperature = 20;
    settings.setPoint = 20;
    settings.timeScale = 10;
    InstrumentBath bath(*sourceModel("KRLB-2"), settings);
    bath.setMonotonicClock([&ms] { return ms; });
    QVERIFY(std::isnan(lab.sourceTemperature(1)));
    const auto probe = lab.probe(1); // made before the source is there
    lab.addSource(1, &bath);
    QVERIFY(lab.hasSource(1) && !lab.hasSource(0));
    QCOMPARE(lab.sourceTemperature(1), 20.0);

    Instrument3107A logger(Variant::RTD);
    logger.setMonotonicClock([&ms] { return ms; });
    logger.signal(0).setNoise(0);
    logger.signal(0).setExternal(probe, QStringLiteral("in @2"));
    const LabSensor sensor = LabSensor::platinum(100.02, -0.02, 0.0007, -0.02, -0.0004);
    logger.setSensor(0, sensor);
    QCOMPARE(logger.reading(0).electrical, float(sensor.resistance(20.0)));

    bath.setSetPoint(-30);
    ms += 60000; // ten simulated minutes at 1 °C/min
    logger.invalidateScan();
    const double t = bath.temperature();
    QVERIFY(qAbs(t - 10.0) < 1e-9);
    QCOMPARE(logger.reading(0).trueTemperature, t);
    QCOMPARE(logger.reading(0).electrical, float(sensor.resistance(t)));
    QVERIFY(logger.details().join('\n').contains("in @2 10.000"));

    // The console can take the channel out of the source; it starts from where it was.
    logger.signal(0).setSetPoint(50, logger.now());
    QCOMPARE(logger.signal(0).temperatureAt(logger.now()), t);
    lab.removeSource(1);
    QVERIFY(std::isnan(probe()));
}

void TestSimulatorSources::commandLine_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("error"); // a part of the message; empty: accepted
    QTest::newRow("dry block tcp") << QStringList{"--instrument", "model=KRDB-1,tcp=0"} << "";
    QTest::newRow("dry block pty") << QStringList{"--instrument", "model=krdb-2,pty"} << "";
    QTest::newRow("bath pty") << QStringList{"--instrument", "model=KRLB-3,pty"} << "";
    QTest::newRow("bath default endpoint") << QStringList{"--instrument", "model=KRLB-1"} << "";
    QTest::newRow("bath single") << QStringList{"--model", "KRLB-4"} << "";
    QTest::newRow("bath tcp") << QStringList{"--instrument", "model=KRLB-3,tcp=5001"} << "serial port only";
    QTest::newRow("bath tcp, model last") << QStringList{"--instrument", "tcp=5001,model=KRLB-5"} << "no tcp";
    QTest::newRow("bath single tcp") << QStringList{"--model", "KRLB-1", "--tcp", "0"} << "serial port only";
    QTest::newRow("lab") << QStringList{"--time-scale", "60", "--instrument", "model=KRDB-1,tcp=0,timescale=5",
                                        "--instrument", "model=KRLB-2", "--instrument",
                                        "model=3107A-TC,tcp=0,in=1:101-104+109,sensor101=1.002:-0.3",
                                        "--instrument", "model=3107A-RTD,tcp=0,in=2:101,sensor101=100.01:-0.02:0.0007:-0.02:-0.0004",
                                        "--instrument", "model=3107A-NTC,tcp=0,in=2:116,sensor116=-4.1:3977"}
                          << "";
    QTest::newRow("in a logger") << QStringList{"--instrument", "model=3107A-TC,tcp=0", "--instrument",
                                                "model=3107A-TC,tcp=0,in=1:101"}
                                  << "no temperature source";
    QTest::newRow("in nowhere") << QStringList{"--instrument", "model=3107A-TC,tcp=0,in=3:101"}
                                 << "no temperature source";
    QTest::newRow("bad in") << QStringList{"--instrument", "model=3107A-TC,tcp=0,in=1:104-101"} << "'in'";
    QTest::newRow("sensor values") << QStringList{"--instrument", "model=3107A-RTD,tcp=0,sensor101=100:0"} << "sensor101";
    QTest::newRow("tc quadratic") << QStringList{"--instrument", "model=3107A-TC,tcp=0,sensor101=1.002:-0.3:1e-5"} << "";
    QTest::newRow("reference faults") << QStringList{"--instrument", "model=KRDB-1,tcp=0,refdrift=-0.2,refnoise=0.003"} << "";
    QTest::newRow("negative refnoise") << QStringList{"--instrument", "model=KRLB-1,refnoise=-0.1"} << "refnoise";
    QTest::newRow("sensor M zero") << QStringList{"--instrument", "model=3107A-TC,tcp=0,sensor101=0:1"} << "sensor101";
    QTest::newRow("source key on logger") << QStringList{"--instrument", "model=3107A-TC,setpoint=50"} << "for temperature sources";
    QTest::newRow("logger key on source") << QStringList{"--instrument", "model=KRDB-1,address=3"} << "for loggers";
    QTest::newRow("set-point out of range") << QStringList{"--instrument", "model=KRDB-1,setpoint=20"} << "outside";
    QTest::newRow("wobble too large") << QStringList{"--instrument", "model=KRLB-1,wobble=0.01"} << "wobble";
    QTest::newRow("zero rate") << QStringList{"--instrument", "model=KRDB-1,heat=0"} << "rates";
    QTest::newRow("bad time scale") << QStringList{"--time-scale", "0"} << "--time-scale";
    QTest::newRow("serial with space") << QStringList{"--model", "KRDB-1", "--id", "A B"} << "serial";
    QTest::newRow("long serial") << QStringList{"--model", "KRDB-1", "--id", "ABCDEFGHIJKLMNOPQRSTU"} << "20";
    QTest::newRow("unknown model") << QStringList{"--instrument", "model=KRDB-3"} << "KRLB-5";
}

void TestSimulatorSources::commandLine()
{
    QFETCH(QStringList, args);
    QFETCH(QString, error);
    SimulatorConfig config;
    QString message;
    const bool ok = parseArguments(args, &config, &message);
    QVERIFY2(ok == error.isEmpty(), qPrintable(message));
    QVERIFY2(message.contains(error), qPrintable(message));
    if (!ok)
        return;
    const QByteArray tag = QTest::currentDataTag();
    if (tag.startsWith("bath")) {
        QVERIFY(config.instruments[0].pty && !config.instruments[0].tcp);
    } else if (tag == "lab") {
        QCOMPARE(config.instruments[0].sourceSettings.timeScale, 5.0);
        QCOMPARE(config.instruments[1].sourceSettings.timeScale, 60.0);
        QVERIFY(config.instruments[1].pty && !config.instruments[1].tcp);
        const QList<ChannelSetup>& tc = config.instruments[2].channels;
        QCOMPARE(tc.size(), 6); // 101 … 104, 109, and the sensor of 101
        QCOMPARE(tc[4].channel, 8);
        QCOMPARE(tc[4].in, 1);
        QVERIFY(tc[5].sensor.kind == LabSensor::Kind::Thermocouple);
        QCOMPARE(tc[5].sensor.b, -0.3);
        QCOMPARE(config.instruments[3].channels[1].sensor.deviation.b4, -0.0004);
        QCOMPARE(config.instruments[4].channels[1].sensor.thermistor.b, 3977.0);
        QCOMPARE(config.instruments[4].channels[1].sensor.thermistor.d, 0.0);
    } else if (tag == "tc quadratic") {
        QCOMPARE(config.instruments[0].channels[0].sensor.c, 1e-5);
    }
}

void TestSimulatorSources::configJsonAndExample()
{
    QList<InstrumentConfig> list;
    QString error;
    QVERIFY2(parseConfigJson(R"({"instruments": [
        {"model": "KRDB-2", "tcp": 0, "output": "on", "setpoint": 400, "heat": 25, "hold": 30,
         "refdrift": 0.05},
        {"model": "KRLB-1", "setpoint": -10, "timescale": 30, "output": true},
        {"model": "3107A-TC", "tcp": 0, "in": ["1:101-102", "2:103"],
         "channels": {"101": {"sensor": {"M": 0.999, "B": 0.2, "C": -2e-6}}, "105": {"in": 2, "sensor": {"B": 1}}}}]})",
                             &list, &error),
             qPrintable(error));
    QVERIFY(validateInstruments(list, &error));
    QCOMPARE(list.size(), 3);
    QCOMPARE(list[0].sourceSettings.withDefaults(*list[0].source).temperature, 400.0); // regulating: settled
    QCOMPARE(list[0].sourceSettings.heatRate, 25.0);
    QVERIFY(list[1].pty && !list[1].tcp);
    QCOMPARE(list[1].sourceSettings.timeScale, 30.0);
    QCOMPARE(list[2].channels.size(), 5);
    QCOMPARE(list[2].channels[1].sensor.m, 1.0);
    QCOMPARE(list[2].channels[0].sensor.c, -2e-6);
    QCOMPARE(list[0].sourceSettings.refDrift, 0.05);

    const struct { const char* json; const char* error; } bad[] = {
        {R"({"instruments": [{"model": "KRLB-2", "tcp": 5001}]})", "serial port only"},
        {R"({"instruments": [{"model": "KRLB-2", "setpoint": "20"}]})", "\"setpoint\""},
        {R"({"instruments": [{"model": "KRDB-1", "channels": {}}]})", "for loggers"},
        {R"({"instruments": [{"model": "3107A-RTD", "channels": {"101": {"in": 0}}}]})", "number (from 1)"},
        {R"({"instruments": [{"model": "3107A-RTD", "channels": {"101": {"in": 2, "fixed": 5}}}]})", "takes no fixed"},
        {R"({"instruments": [{"model": "3107A-RTD", "channels": {"101": {"sensor": {"a": 0.1}}}}]})", "R0"},
        {R"({"instruments": [{"model": "3107A-TC", "channels": {"101": {"sensor": {"R0": 100}}}}]})", "keys M, B"},
        {R"({"instruments": [{"model": "3107A-NTC", "in": "x"}]})", "\"in\""},
    };
    for (const auto& b : bad) {
        QList<InstrumentConfig> none;
        QVERIFY2(!parseConfigJson(b.json, &none, &error), b.json);
        QVERIFY2(error.contains(QLatin1String(b.error)), qPrintable(error));
    }

    // The bench shipped as an example: valid, with every kind of sensor in a source.
    SimulatorConfig bench;
    QVERIFY2(parseArguments({"--config", TestSupport::sourcePath("tools/simulator/examples/calibration-bench.json")},
                            &bench, &error),
             qPrintable(error));
    int tc = 0, rtd = 0, ntc = 0, dry = 0, bath = 0;
    for (const InstrumentConfig& inst : bench.instruments) {
        if (inst.source) {
            (inst.source->family == SourceFamily::DryBlock ? dry : bath)++;
            if (inst.source->family == SourceFamily::Bath)
                QVERIFY(inst.pty && !inst.tcp);
            continue;
        }
        for (const ChannelSetup& c : inst.channels) {
            tc += c.sensor.kind == LabSensor::Kind::Thermocouple;
            rtd += c.sensor.kind == LabSensor::Kind::Platinum;
            ntc += c.sensor.kind == LabSensor::Kind::Thermistor;
        }
    }
    QCOMPARE(dry, 1);
    QCOMPARE(bath, 1);
    QVERIFY(tc >= 2 && rtd >= 2 && ntc >= 2);
}

QTEST_GUILESS_MAIN(TestSimulatorSources)
#include "tst_simulator_sources.moc"
