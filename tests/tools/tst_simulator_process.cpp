// End-to-end: the built arq-simulator, driven through its console and spoken
// to with raw frames over TCP and a pseudo-terminal.

#include "Crc16.h"
#include "Physics.h"
#include "SimulatorProcess.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QProcess>
#include <QSerialPort>
#include <QTcpSocket>
#include <QtTest>

#include <cstring>

namespace {

QByteArray frame(const QByteArray& hex)
{
    return sim::withCrc(QByteArray::fromHex(hex));
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

// Writes a request and collects the reply until `expected` bytes came or the time ran out.
QByteArray exchange(QIODevice& link, const QByteArray& request, int expected, int timeoutMs = 2000)
{
    link.write(request);
    if (auto* socket = qobject_cast<QAbstractSocket*>(&link))
        socket->flush();
    QByteArray reply;
    QElapsedTimer timer;
    timer.start();
    while (reply.size() < expected && timer.elapsed() < timeoutMs) {
        link.waitForReadyRead(50);
        reply += link.readAll();
    }
    return reply;
}

const QByteArray kProbe = QByteArray::fromHex("010300010001CAD5");

// One text line to a source and its reply line (empty when none comes in time).
QByteArray say(QIODevice& link, const QByteArray& line, int timeoutMs = 1000)
{
    link.write(line + "\r\n");
    if (auto* socket = qobject_cast<QAbstractSocket*>(&link))
        socket->flush();
    QByteArray reply;
    QElapsedTimer timer;
    timer.start();
    while (!reply.endsWith('\n') && timer.elapsed() < timeoutMs) {
        link.waitForReadyRead(20);
        reply += link.readAll();
    }
    return reply;
}

} // namespace

class TestSimulatorProcess : public QObject
{
    Q_OBJECT
private slots:
    void helpAndBadOptions();
    void tcpIdentityClockAndReadings();
    void ptyExchange();
    void dropClosesConnections();
    void silentKeepsConnectionButAnswersNothing();
    void downAndUp();
    void consoleCommands();
    void threeInstruments();
    void endOfInput();
    void replyFaults();
    void splitAndSlowReplies();
    void faultCommandErrors();
    void framesAndRecord();
    void recordHoldsTheValuesSent();
    void dryBlockBench();
    void bathOnPty();
};

void TestSimulatorProcess::helpAndBadOptions()
{
    QProcess p;
    p.start(SimulatorProcess::program(), {QStringLiteral("--help")});
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 0);
    const QByteArray help = p.readAllStandardOutput();
    for (const char* word : {"--instrument", "--pty", "drop", "silent", "down", "up", "set", "LISTEN tcp", "KRDB-2",
                             "KRLB-5", "--time-scale", "in=N:101-104", "sensor101=", "garbage N", "settle",
                             "SOUR1:STAB:TEST?", "calibration-bench.json"})
        QVERIFY2(help.contains(word), word);

    p.start(SimulatorProcess::program(), {QStringLiteral("--model"), QStringLiteral("9999")});
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(p.readAllStandardError().contains("--model"));
}

void TestSimulatorProcess::tcpIdentityClockAndReadings()
{
    SimulatorProcess sim;
    QVERIFY(sim.start({"--tcp", "127.0.0.1:0", "--model", "3107A-TC", "--id", "TC-E2E"}, 1));
    QVERIFY(sim.port() > 0);
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), sim.port());
    QVERIFY(socket.waitForConnected(3000));

    QCOMPARE(exchange(socket, kProbe, 6).toHex(), QByteArray("0103010188") + QByteArray("31"));
    const QByteArray id = exchange(socket, frame("010310000005"), 15);
    QCOMPARE(id.size(), 15); // 30 hex digits
    QCOMPARE(id.mid(3, 10), QByteArray("TC-E2E    "));

    const QByteArray clock = frame("011010100003061803050E0709");
    QCOMPARE(exchange(socket, clock, clock.size()), clock);
    const QByteArray now = exchange(socket, frame("010310100003"), 11);
    QCOMPARE(now.mid(3, 5).toHex(), QByteArray("1803050e07"));

    QCOMPARE(exchange(socket, frame("0106000D000F"), 8), frame("0106000D000F")); // type T
    QCOMPARE(exchange(socket, frame("0106000E0003"), 8), frame("0106000E0003")); // fast
    QVERIFY(sim.answer("fix 105 150").value(0).startsWith("OK"));
    const QByteArray temp = exchange(socket, frame("010301000020"), 69);
    const QByteArray elec = exchange(socket, frame("010302000020"), 69);
    QCOMPARE(temp.size(), 69); // 8·16 + 10 hex digits
    QCOMPARE(elec.size(), 69);
    QVERIFY(sim::hasValidCrc(temp) && sim::hasValidCrc(elec));
    for (int c = 0; c < 16; ++c) {
        const double t = floatAt(temp, c);
        const double back = sim::physics::thermocoupleTemperature("T", floatAt(elec, c));
        QVERIFY2(qAbs(back - t) < 0.002, qPrintable(QStringLiteral("ch %1: %2 vs %3").arg(101 + c).arg(t).arg(back)));
    }
    QVERIFY(qAbs(floatAt(temp, 4) - 150.0) < 0.1); // default noise 0.01 °C
    QVERIFY(qAbs(floatAt(elec, 4) - 6.704) < 0.01); // type T at 150 °C
    QVERIFY(qAbs(floatAt(temp, 0) - 25.0) < 0.1);
}

void TestSimulatorProcess::ptyExchange()
{
#ifndef Q_OS_UNIX
    QSKIP("pseudo-terminals are a Unix facility");
#endif
    SimulatorProcess sim;
    QVERIFY(sim.start({"--no-tcp", "--pty", "--model", "3107A-RTD", "--address", "5"}, 1));
    QVERIFY(sim.pty().startsWith("/dev/"));
    QSerialPort port;
    port.setPortName(sim.pty());
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    port.setBaudRate(115200);
    // The probe at address 1 finds the logger at address 5.
    QCOMPARE(exchange(port, kProbe, 6), frame("05030105"));
    QCOMPARE(exchange(port, frame("050310000005"), 15).mid(3, 10), QByteArray("3107A00001"));
    // Four-wire: eight channels of resistance, Pt100 near 25 °C.
    QCOMPARE(exchange(port, frame("0506000C0002"), 8), frame("0506000C0002"));
    const QByteArray ohms = exchange(port, frame("050302000010"), 37);
    QCOMPARE(ohms.size(), 37);
    QVERIFY(qAbs(floatAt(ohms, 0) - 109.73) < 0.1);
    port.close();
    // The port can be opened again.
    QVERIFY(port.open(QIODevice::ReadWrite));
    QCOMPARE(exchange(port, kProbe, 6), frame("05030105"));
}

void TestSimulatorProcess::dropClosesConnections()
{
    SimulatorProcess sim;
    QVERIFY(sim.start({"--tcp", "0"}, 1));
    QTcpSocket a, b;
    for (QTcpSocket* s : {&a, &b}) {
        s->connectToHost(QStringLiteral("127.0.0.1"), sim.port());
        QVERIFY(s->waitForConnected(3000));
        QCOMPARE(exchange(*s, kProbe, 6).size(), 6);
    }
    QCOMPARE(sim.answer("drop").value(0), QStringLiteral("OK drop 2 connection(s)"));
    for (QTcpSocket* s : {&a, &b})
        QVERIFY(s->state() == QAbstractSocket::UnconnectedState || s->waitForDisconnected(3000));
    // Still listening: a new connection is served.
    QTcpSocket c;
    c.connectToHost(QStringLiteral("127.0.0.1"), sim.port());
    QVERIFY(c.waitForConnected(3000));
    QCOMPARE(exchange(c, kProbe, 6).size(), 6);
}

void TestSimulatorProcess::silentKeepsConnectionButAnswersNothing()
{
    SimulatorProcess sim;
    QVERIFY(sim.start({"--tcp", "0"}, 1));
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), sim.port());
    QVERIFY(s.waitForConnected(3000));
    QVERIFY(sim.answer("silent 1.5").value(0).startsWith("OK silent"));
    QElapsedTimer timer;
    timer.start();
    QVERIFY(exchange(s, kProbe, 6, 700).isEmpty());
    QCOMPARE(s.state(), QAbstractSocket::ConnectedState);
    QTest::qWait(int(qMax<qint64>(0, 1700 - timer.elapsed())));
    // The frame sent while silent is not answered late; a new one is answered once.
    QCOMPARE(exchange(s, kProbe, 12, 700).size(), 6);
}

void TestSimulatorProcess::downAndUp()
{
    SimulatorProcess sim;
    QVERIFY(sim.start({"--tcp", "0"}, 1));
    const quint16 port = sim.port();
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), port);
    QVERIFY(s.waitForConnected(3000));
    QCOMPARE(sim.answer("down").value(0), QStringLiteral("OK down"));
    QVERIFY(s.state() == QAbstractSocket::UnconnectedState || s.waitForDisconnected(3000));
    QTcpSocket refused;
    refused.connectToHost(QStringLiteral("127.0.0.1"), port);
    QVERIFY(!refused.waitForConnected(1000));
    QCOMPARE(refused.error(), QAbstractSocket::ConnectionRefusedError);

    const QStringList up = sim.answer("up");
    QCOMPARE(up, (QStringList{QStringLiteral("LISTEN tcp 127.0.0.1:%1").arg(port), QStringLiteral("OK up")}));
    QTcpSocket again;
    again.connectToHost(QStringLiteral("127.0.0.1"), port);
    QVERIFY(again.waitForConnected(3000));
    QCOMPARE(exchange(again, kProbe, 6).size(), 6);
}

void TestSimulatorProcess::consoleCommands()
{
    SimulatorProcess sim;
    QVERIFY(sim.start({"--tcp", "0"}, 1));
    QVERIFY(sim.answer("bogus").value(0).startsWith("ERROR unknown command"));
    QVERIFY(sim.answer("set 117 20").value(0).startsWith("ERROR"));
    QVERIFY(sim.answer("set 101").value(0).startsWith("ERROR usage"));
    QVERIFY(sim.answer("silent -1").value(0).startsWith("ERROR"));
    QVERIFY(sim.answer("@2 drop").value(0).startsWith("ERROR no instrument"));
    QVERIFY(sim.answer("ramp all 80 0").value(0).startsWith("ERROR"));
    QCOMPARE(sim.answer("set all 60").value(0), QStringLiteral("OK set all 60"));
    QVERIFY(sim.answer("@1 ramp 102 90 30").value(0).startsWith("OK"));
    const QStringList status = sim.answer("status");
    QVERIFY(status.last() == QStringLiteral("OK status"));
    QVERIFY(status.filter("set-point 60.000").size() == 15);
    QVERIFY(status.filter(QRegularExpression("^102 ramp")).size() == 1);
    QCOMPARE(sim.answer("quit").value(0), QStringLiteral("OK quit"));
    QVERIFY(sim.process().state() == QProcess::NotRunning || sim.process().waitForFinished(3000));
    QCOMPARE(sim.process().exitCode(), 0);
}

void TestSimulatorProcess::threeInstruments()
{
    SimulatorProcess sim;
    QVERIFY(sim.start({"--instrument", "model=3107A-TC,tcp=0", "--instrument", "model=3107A-RTD,tcp=0",
                       "--instrument", "model=3107A-PCR,tcp=0,ch101=fixed:0,noise=0"},
                      3));
    QSet<quint16> ports;
    for (int i = 0; i < 3; ++i)
        ports.insert(sim.port(i));
    QCOMPARE(ports.size(), 3);
    QTcpSocket pcr;
    pcr.connectToHost(QStringLiteral("127.0.0.1"), sim.port(2));
    QVERIFY(pcr.waitForConnected(3000));
    QCOMPARE(exchange(pcr, frame("010310000005"), 15).mid(3, 10), QByteArray("3107A00003"));
    // Default thermistor curve: 10 kΩ at 25 °C, β 3977 K, so about 33.9 kΩ at 0 °C.
    const QByteArray ohms = exchange(pcr, frame("010302000002"), 9);
    QVERIFY(qAbs(floatAt(ohms, 0) - 33900.4f) < 0.5f);
    // Commands can address one instrument.
    QVERIFY(sim.answer("@3 fix 101 25").value(0).startsWith("OK"));
    QVERIFY(qAbs(floatAt(exchange(pcr, frame("010302000002"), 9), 0) - 10000.0f) < 0.5f);
}

void TestSimulatorProcess::endOfInput()
{
    SimulatorProcess sim;
    QVERIFY(sim.start({"--tcp", "0"}, 1));
    sim.process().closeWriteChannel();
    QVERIFY(sim.process().waitForFinished(3000));
    QCOMPARE(sim.process().exitCode(), 0);

    // Without --exit-on-eof the simulator runs on after stdin closes.
    QProcess p;
    p.start(SimulatorProcess::program(), {"--tcp", "0"});
    QVERIFY(p.waitForStarted(3000));
    QVERIFY(p.waitForReadyRead(3000));
    p.closeWriteChannel();
    QVERIFY(!p.waitForFinished(500));
    p.kill();
    p.waitForFinished(3000);
}

void TestSimulatorProcess::replyFaults()
{
    SimulatorProcess sim;
    QVERIFY(sim.start({"--tcp", "0", "--address", "9"}, 1));
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), sim.port());
    QVERIFY(s.waitForConnected(3000));
    const QByteArray identity = frame("090310000005");

    QCOMPARE(sim.answer("badcrc 2").value(0), QStringLiteral("OK badcrc 2 reply(ies)"));
    QVERIFY(sim.answer("status").value(0).contains(", badcrc 2"));
    for (int i = 0; i < 2; ++i) {
        const QByteArray bad = exchange(s, kProbe, 6);
        QCOMPARE(bad.size(), 6);
        QCOMPARE(bad.left(4), QByteArray::fromHex("09030109"));
        QVERIFY(!sim::hasValidCrc(bad));
    }
    QCOMPARE(exchange(s, kProbe, 6), frame("09030109")); // count used up

    // From the next station address, with a CRC that matches that frame.
    QVERIFY(sim.answer("foreign 1").value(0).startsWith("OK foreign 1"));
    const QByteArray foreign = exchange(s, identity, 15);
    QCOMPARE(foreign.size(), 15);
    QCOMPARE(quint8(foreign.at(0)), quint8(10));
    QVERIFY(sim::hasValidCrc(foreign));
    QCOMPARE(foreign.mid(3, 10), QByteArray("3107A00001"));
    QCOMPARE(quint8(exchange(s, identity, 15).at(0)), quint8(9));

    // Both at once: another address and a wrong CRC.
    QVERIFY(sim.answer("foreign 1").value(0).startsWith("OK"));
    QVERIFY(sim.answer("badcrc 1").value(0).startsWith("OK"));
    const QByteArray both = exchange(s, identity, 15);
    QCOMPARE(quint8(both.at(0)), quint8(10));
    QVERIFY(!sim::hasValidCrc(both));

    // "normal" ends counted faults not yet used up.
    QVERIFY(sim.answer("@1 badcrc 3").value(0).startsWith("OK"));
    QCOMPARE(sim.answer("normal").value(0), QStringLiteral("OK normal"));
    QCOMPARE(exchange(s, kProbe, 6), frame("09030109"));
}

void TestSimulatorProcess::splitAndSlowReplies()
{
    SimulatorProcess sim;
    QVERIFY(sim.start({"--tcp", "0"}, 1));
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), sim.port());
    QVERIFY(s.waitForConnected(3000));
    const QByteArray values = frame("010301000020");

    // Three pieces, written 20 ms apart: the reader sees several chunks that
    // together form the one reply.
    QCOMPARE(sim.answer("split 3").value(0), QStringLiteral("OK split 3"));
    s.write(values);
    s.flush();
    QByteArray reply;
    int chunks = 0;
    QElapsedTimer timer;
    timer.start();
    while (reply.size() < 69 && timer.elapsed() < 2000) {
        if (s.waitForReadyRead(100)) {
            reply += s.readAll();
            ++chunks;
        }
    }
    QCOMPARE(reply.size(), 69);
    QVERIFY(sim::hasValidCrc(reply));
    QVERIFY2(chunks >= 2, qPrintable(QString::number(chunks)));
    QVERIFY(timer.elapsed() >= 30);

    QCOMPARE(sim.answer("split 1").value(0), QStringLiteral("OK split 1"));
    QCOMPARE(sim.answer("slow 400").value(0), QStringLiteral("OK slow 400 ms"));
    QVERIFY(sim.answer("status").value(0).contains(", slow 400 ms"));
    timer.restart();
    QCOMPARE(exchange(s, kProbe, 6, 3000), frame("01030101"));
    QVERIFY2(timer.elapsed() >= 380, qPrintable(QString::number(timer.elapsed())));
    // Nothing before the delay has passed.
    timer.restart();
    QVERIFY(exchange(s, kProbe, 6, 200).isEmpty());
    QCOMPARE(exchange(s, QByteArray(), 6, 1000), frame("01030101"));

    // A client gone while its reply waits is no harm.
    QVERIFY(sim.answer("slow 300").value(0).startsWith("OK"));
    s.write(kProbe);
    s.flush();
    s.abort();
    QTest::qWait(400);
    QVERIFY(sim.answer("normal").value(0).startsWith("OK"));
    QTcpSocket again;
    again.connectToHost(QStringLiteral("127.0.0.1"), sim.port());
    QVERIFY(again.waitForConnected(3000));
    QCOMPARE(exchange(again, kProbe, 6), frame("01030101"));
}

void TestSimulatorProcess::faultCommandErrors()
{
    SimulatorProcess sim;
    QVERIFY(sim.start({"--tcp", "0"}, 1));
    for (const char* bad : {"badcrc", "badcrc -1", "badcrc x", "foreign 1 2", "slow", "slow -5", "split 0",
                            "split 1.5", "normal now", "frames all"})
        QVERIFY2(sim.answer(bad).value(0).startsWith("ERROR usage"), bad);
    const QStringList help = sim.answer("help");
    for (const char* word : {"badcrc", "foreign", "slow", "split", "normal", "frames"})
        QVERIFY2(help.value(0).contains(word), word);

    QProcess usage;
    usage.start(SimulatorProcess::program(), {"--help"});
    QVERIFY(usage.waitForFinished(5000));
    const QString text = QString::fromLocal8Bit(usage.readAllStandardOutput());
    for (const char* word : {"badcrc N", "foreign N", "slow MS", "split N", "normal", "frames", "--record FILE"})
        QVERIFY2(text.contains(word), word);
}

void TestSimulatorProcess::framesAndRecord()
{
#ifndef Q_OS_UNIX
    QSKIP("pseudo-terminals are a Unix facility");
#endif
    QTemporaryDir dir;
    const QString path = dir.filePath("frames.log");
    SimulatorProcess sim;
    QVERIFY(sim.start({"--tcp", "0", "--pty", "--record", path}, 2));
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), sim.port());
    QVERIFY(s.waitForConnected(3000));
    QCOMPARE(exchange(s, kProbe, 6).size(), 6);
    const QByteArray rate = frame("0106000E0003");
    QCOMPARE(exchange(s, rate, 8), rate);
    // Received while silent: recorded, not answered.
    QVERIFY(sim.answer("silent 5").value(0).startsWith("OK"));
    QVERIFY(exchange(s, kProbe, 6, 300).isEmpty());
    QVERIFY(sim.answer("normal").value(0).startsWith("OK"));
    QSerialPort port;
    port.setPortName(sim.pty());
    QVERIFY(port.open(QIODevice::ReadWrite));
    QCOMPARE(exchange(port, kProbe, 6).size(), 6);
    // Garbage forms no frame and is not recorded.
    s.write(QByteArray::fromHex("ffff"));
    s.flush();
    QTest::qWait(100);

    const QString tcp = QStringLiteral("@1 tcp 127.0.0.1:%1 ").arg(sim.port());
    const QString pty = QStringLiteral("@1 pty %1 ").arg(sim.pty());
    const QStringList expected{tcp + "010300010001cad5", tcp + QString::fromLatin1(rate.toHex()),
                               tcp + "010300010001cad5", pty + "010300010001cad5"};
    QStringList frames = sim.answer("frames");
    QCOMPARE(frames.takeLast(), QStringLiteral("OK frames 4"));
    for (QString& f : frames) {
        QVERIFY(f.startsWith("FRAME "));
        f.remove(0, 6);
    }
    QCOMPARE(frames, expected);
    QCOMPARE(sim.answer("frames"), QStringList{"OK frames 0"});

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList lines = QString::fromLocal8Bit(file.readAll()).split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 4);
    for (QString& line : lines) {
        QVERIFY2(QRegularExpression("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3} ").match(line).hasMatch(), qPrintable(line));
        line.remove(0, 13);
    }
    QCOMPARE(lines, expected);

    QProcess bad;
    bad.start(SimulatorProcess::program(), {"--record", dir.filePath("no/such/dir/x.log")});
    QVERIFY(bad.waitForFinished(5000));
    QCOMPARE(bad.exitCode(), 1);
    QVERIFY(bad.readAllStandardError().contains("cannot write"));
}

// The record's VALUES and REFERENCE lines hold exactly what the client
// decoded, read while the simulator runs; a spoiled reply gave it nothing.
void TestSimulatorProcess::recordHoldsTheValuesSent()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("record.log");
    SimulatorProcess sim;
    QVERIFY(sim.start({"--record", path, "--instrument", "model=3107A-TC,tcp=0,noise=0.02", "--instrument",
                       "model=KRDB-1,tcp=0"},
                      2));
    QTcpSocket logger, block;
    logger.connectToHost(QStringLiteral("127.0.0.1"), sim.port(0));
    block.connectToHost(QStringLiteral("127.0.0.1"), sim.port(1));
    QVERIFY(logger.waitForConnected(3000) && block.waitForConnected(3000));
    QStringList decoded; // temperatures of 101 … 104, the emf of 103 and 104
    for (const auto& r : {std::make_pair("010301000008", 101), std::make_pair("010302040004", 103)}) {
        const QByteArray reply = exchange(logger, frame(r.first), 5 + 4 * (r.second == 101 ? 4 : 2));
        QStringList values;
        for (int i = 0; 5 + 4 * i < reply.size(); ++i)
            values << QStringLiteral("%1=%2").arg(r.second + i).arg(double(floatAt(reply, i)), 0, 'g', 17);
        decoded << values.join(',');
    }
    QVERIFY(sim.answer("@1 badcrc 1").value(0).startsWith("OK"));
    QCOMPARE(exchange(logger, frame("010301000002"), 9).size(), 9);
    QVERIFY(sim.answer("@2 refdrift 6").value(0).startsWith("OK refdrift 6"));
    QVERIFY(sim.answer("@1 refdrift 6").value(0).startsWith("ERROR")); // a logger has no reference
    const QByteArray reference = say(block, "READ?").trimmed();

    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList recorded, references;
    int requests = 0;
    for (const QString& line : QString::fromLocal8Bit(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
        const QStringList f = line.split(' ');
        requests += f[0] != "VALUES" && f[0] != "REFERENCE";
        if (f[0] == "REFERENCE")
            references << f[1] + ' ' + f[3];
        if (f[0] != "VALUES")
            continue;
        QVERIFY2(f[1] == "3107A00001" && QRegularExpression("^\\d{4}-\\d\\d-\\d\\dT[\\d:]{8}\\.\\d{3}$").match(f[2]).hasMatch(),
                 qPrintable(line));
        QStringList values; // each text converts back to the float sent
        for (const QString& pair : f[3].split(','))
            values << pair.section('=', 0, 0) + '=' + QString::number(double(pair.section('=', 1).toFloat()), 'g', 17);
        recorded << values.join(',');
    }
    QCOMPARE(recorded, decoded);
    QCOMPARE(references, QStringList{"KD00002 " + reference});
    QCOMPARE(requests, 4); // every request as before
}

void TestSimulatorProcess::dryBlockBench()
{
    // A dry block on TCP at 100 times real time, and a thermocouple logger
    // whose channel 101 sits in it with a known error.
    SimulatorProcess sim;
    QVERIFY(sim.start({"--time-scale", "100", "--instrument", "model=KRDB-1,tcp=0", "--instrument",
                       "model=3107A-TC,tcp=0,in=1:101,sensor101=1.002:-0.3,noise=0"},
                      2));
    QTcpSocket block;
    block.connectToHost(QStringLiteral("127.0.0.1"), sim.port(0));
    QVERIFY(block.waitForConnected(3000));
    QCOMPARE(say(block, "*IDN?"), QByteArray("KORVA-INST,KRDB-1,KD00001,2.07\r\n"));
    // Commands without a reply, as the program sends them.
    QVERIFY(say(block, "OUTP:STAT 1", 50).isEmpty());
    QVERIFY(say(block, "u C", 50).isEmpty());
    QVERIFY(say(block, "s 60.00", 50).isEmpty());

    // From ambient to stable at 60 °C in about 330 simulated seconds.
    QElapsedTimer timer;
    timer.start();
    double first = 0, t = 0;
    bool wasUnstable = false, stable = false;
    while (!stable && timer.elapsed() < 10000) {
        const QByteArray reading = say(block, "t");
        QVERIFY2(QRegularExpression("^\\d+\\.\\d{3}\r\n$").match(QString::fromLatin1(reading)).hasMatch(),
                 reading.constData());
        t = reading.trimmed().toDouble();
        if (first == 0)
            first = t;
        const QByteArray answer = say(block, "SOUR1:STAB:TEST?");
        QVERIFY(answer == "0\r\n" || answer == "1\r\n");
        stable = answer == "1\r\n";
        wasUnstable = wasUnstable || !stable;
        QTest::qWait(50);
    }
    QVERIFY2(stable, qPrintable(QStringLiteral("not stable after %1 ms, at %2").arg(timer.elapsed()).arg(t)));
    QVERIFY(wasUnstable && first < 40);
    QVERIFY(qAbs(t - 60.0) <= 0.2);
    QVERIFY(timer.elapsed() > 1500); // it did take its (scaled) time
    QCOMPARE(say(block, "s"), QByteArray("60.00\r\n"));
    QVERIFY(say(block, "s 400.00", 50).isEmpty()); // above 350: ignored
    QCOMPARE(say(block, "s"), QByteArray("60.00\r\n"));

    const QByteArray reference = say(block, "READ?");
    QVERIFY(QRegularExpression("^\\d+\\.\\d{4}\r\n$").match(QString::fromLatin1(reference)).hasMatch());
    QVERIFY(qAbs(reference.trimmed().toDouble() - 60.0) <= 0.25);
    QVERIFY(sim.answer("@1 garbage 1").value(0).startsWith("OK garbage 1"));
    QVERIFY(sim.answer("@2 garbage 1").value(0).startsWith("ERROR")); // a logger has no text replies
    QCOMPARE(say(block, "t"), QByteArray("#@!x\r\n"));
    QVERIFY(qAbs(say(block, "t").trimmed().toDouble() - 60.0) <= 0.2);

    // The logger's channel in the block reads (t − B)/M of the block's temperature.
    QTcpSocket logger;
    logger.connectToHost(QStringLiteral("127.0.0.1"), sim.port(1));
    QVERIFY(logger.waitForConnected(3000));
    const QByteArray values = exchange(logger, frame("010301000004"), 13);
    QCOMPARE(values.size(), 13);
    QVERIFY2(qAbs(floatAt(values, 0) - (60.0 + 0.3) / 1.002) < 0.25, qPrintable(QString::number(floatAt(values, 0))));
    QVERIFY(qAbs(floatAt(values, 1) - 25.1) < 0.1); // channel 102 stays where it was

    const QStringList status = sim.answer("@1 status");
    QVERIFY2(status.join('\n').contains("set-point 60.00 °C") && status.join('\n').contains("stable yes"),
             qPrintable(status.join('\n')));
    const QStringList frames = sim.answer("@1 frames");
    QVERIFY(frames.contains(QStringLiteral("FRAME @1 tcp 127.0.0.1:%1 \"s 60.00\\r\\n\"").arg(sim.port(0))));
    QVERIFY(frames.contains(QStringLiteral("FRAME @1 tcp 127.0.0.1:%1 \"OUTP:STAT 1\\r\\n\"").arg(sim.port(0))));

    // The console moves the source: forced off the set-point it is unstable again.
    QVERIFY(sim.answer("@1 fix 55").value(0).startsWith("OK"));
    QCOMPARE(say(block, "SOUR1:STAB:TEST?"), QByteArray("0\r\n"));
    QVERIFY(sim.answer("@1 set 20").value(0).startsWith("ERROR")); // below the KRDB-1 range
    QVERIFY(sim.answer("@1 settle").value(0).startsWith("OK"));
    QCOMPARE(say(block, "SOUR1:STAB:TEST?"), QByteArray("1\r\n"));
}

void TestSimulatorProcess::bathOnPty()
{
#ifndef Q_OS_UNIX
    QSKIP("pseudo-terminals are a Unix facility");
#endif
    // A bath has a serial port only.
    QProcess refused;
    refused.start(SimulatorProcess::program(), {"--instrument", "model=KRLB-2,tcp=5001"});
    QVERIFY(refused.waitForFinished(5000));
    QCOMPARE(refused.exitCode(), 2);
    QVERIFY(refused.readAllStandardError().contains("serial port only"));

    SimulatorProcess sim;
    QVERIFY(sim.start({"--instrument", "model=KRLB-3,pty,setpoint=20,noise=0"}, 1));
    QVERIFY(sim.pty().startsWith("/dev/"));
    QSerialPort port;
    port.setPortName(sim.pty());
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    QCOMPARE(say(port, "sn"), QByteArray("sn:KL00001\r\n"));
    for (const char* setting : {"lf=on", "u=C", "sa=n", "pc=s", "co=au", "hg=auto"})
        QVERIFY2(say(port, setting, 150).isEmpty(), setting);
    QCOMPARE(say(port, "st"), QByteArray("st:1\r\n"));
    QVERIFY(say(port, "s=25.00", 150).isEmpty());
    QCOMPARE(say(port, "s"), QByteArray("set: 25.00C\r\n"));
    QCOMPARE(say(port, "st"), QByteArray("st:0\r\n"));
    QVERIFY(QRegularExpression("^r: 2\\d\\.\\d{3} C\r\n$").match(QString::fromLatin1(say(port, "r"))).hasMatch());
    QVERIFY(sim.answer("settle").value(0).startsWith("OK"));
    QCOMPARE(say(port, "st"), QByteArray("st:1\r\n"));
    QVERIFY(sim.answer("garbage 2").value(0).startsWith("OK"));
    QCOMPARE(say(port, "r"), QByteArray("#@!x\r\n"));
    QCOMPARE(say(port, "st"), QByteArray("#@!x\r\n"));
    QCOMPARE(say(port, "st"), QByteArray("st:1\r\n"));
    const QString status = sim.answer("status").join('\n');
    QVERIFY2(status.contains("settings co=au hg=auto lf=on pc=s sa=n u=C"), qPrintable(status));
    QVERIFY(status.contains("KRLB-3 serial \"KL00001\" [pty "));
}

QTEST_GUILESS_MAIN(TestSimulatorProcess)
#include "tst_simulator_process.moc"
