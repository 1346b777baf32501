// End-to-end: the built arq-simulator, driven through its console and spoken
// to with raw frames over TCP and a pseudo-terminal.

#include "Crc16.h"
#include "Physics.h"

#include <QElapsedTimer>
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

class Simulator
{
public:
    ~Simulator()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.write("quit\n");
            if (!m_process.waitForFinished(3000)) {
                m_process.kill();
                m_process.waitForFinished(3000);
            }
        }
    }

    // Starts the simulator and collects its LISTEN lines.
    bool start(const QStringList& args, int endpoints)
    {
        m_process.setProgram(QStringLiteral(ARQ_SIMULATOR_PATH));
        // The simulator ends with the test even if the test dies first.
        m_process.setArguments(QStringList{QStringLiteral("--exit-on-eof")} + args);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return false;
        while (listen.size() < endpoints) {
            const QString line = nextLine(5000);
            if (line.isNull())
                return false;
            if (line.startsWith(QLatin1String("LISTEN ")))
                listen << line;
        }
        return true;
    }

    quint16 tcpPort(int i = 0) const
    {
        const QStringList tcp = listen.filter(QStringLiteral("LISTEN tcp "));
        return quint16(tcp.value(i).section(QLatin1Char(':'), -1).toUInt());
    }
    QString ptyPath() const { return listen.filter(QStringLiteral("LISTEN pty ")).value(0).mid(11); }

    // Sends one console command and returns the lines up to its "OK"/"ERROR" line.
    QStringList command(const QString& line)
    {
        m_process.write(line.toLocal8Bit() + '\n');
        QStringList lines;
        for (;;) {
            const QString l = nextLine(5000);
            if (l.isNull())
                return lines;
            lines << l;
            if (l.startsWith(QLatin1String("OK")) || l.startsWith(QLatin1String("ERROR")))
                return lines;
        }
    }

    QProcess& process() { return m_process; }
    QStringList listen;

private:
    QString nextLine(int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        while (!m_process.canReadLine()) {
            if (timer.elapsed() > timeoutMs || m_process.state() == QProcess::NotRunning)
                return QString();
            m_process.waitForReadyRead(100);
        }
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }

    QProcess m_process;
};

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
};

void TestSimulatorProcess::helpAndBadOptions()
{
    QProcess p;
    p.start(QStringLiteral(ARQ_SIMULATOR_PATH), {QStringLiteral("--help")});
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 0);
    const QByteArray help = p.readAllStandardOutput();
    for (const char* word : {"--instrument", "--pty", "drop", "silent", "down", "up", "set", "LISTEN tcp"})
        QVERIFY2(help.contains(word), word);

    p.start(QStringLiteral(ARQ_SIMULATOR_PATH), {QStringLiteral("--model"), QStringLiteral("9999")});
    QVERIFY(p.waitForFinished(5000));
    QCOMPARE(p.exitCode(), 2);
    QVERIFY(p.readAllStandardError().contains("--model"));
}

void TestSimulatorProcess::tcpIdentityClockAndReadings()
{
    Simulator sim;
    QVERIFY(sim.start({"--tcp", "127.0.0.1:0", "--model", "3107A-TC", "--id", "TC-E2E"}, 1));
    QVERIFY(sim.tcpPort() > 0);
    QTcpSocket socket;
    socket.connectToHost(QStringLiteral("127.0.0.1"), sim.tcpPort());
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
    QVERIFY(sim.command("fix 105 150").value(0).startsWith("OK"));
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
    Simulator sim;
    QVERIFY(sim.start({"--no-tcp", "--pty", "--model", "3107A-RTD", "--address", "5"}, 1));
    QVERIFY(sim.ptyPath().startsWith("/dev/"));
    QSerialPort port;
    port.setPortName(sim.ptyPath());
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
    Simulator sim;
    QVERIFY(sim.start({"--tcp", "0"}, 1));
    QTcpSocket a, b;
    for (QTcpSocket* s : {&a, &b}) {
        s->connectToHost(QStringLiteral("127.0.0.1"), sim.tcpPort());
        QVERIFY(s->waitForConnected(3000));
        QCOMPARE(exchange(*s, kProbe, 6).size(), 6);
    }
    QCOMPARE(sim.command("drop").value(0), QStringLiteral("OK drop 2 connection(s)"));
    for (QTcpSocket* s : {&a, &b})
        QVERIFY(s->state() == QAbstractSocket::UnconnectedState || s->waitForDisconnected(3000));
    // Still listening: a new connection is served.
    QTcpSocket c;
    c.connectToHost(QStringLiteral("127.0.0.1"), sim.tcpPort());
    QVERIFY(c.waitForConnected(3000));
    QCOMPARE(exchange(c, kProbe, 6).size(), 6);
}

void TestSimulatorProcess::silentKeepsConnectionButAnswersNothing()
{
    Simulator sim;
    QVERIFY(sim.start({"--tcp", "0"}, 1));
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), sim.tcpPort());
    QVERIFY(s.waitForConnected(3000));
    QVERIFY(sim.command("silent 1.5").value(0).startsWith("OK silent"));
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
    Simulator sim;
    QVERIFY(sim.start({"--tcp", "0"}, 1));
    const quint16 port = sim.tcpPort();
    QTcpSocket s;
    s.connectToHost(QStringLiteral("127.0.0.1"), port);
    QVERIFY(s.waitForConnected(3000));
    QCOMPARE(sim.command("down").value(0), QStringLiteral("OK down"));
    QVERIFY(s.state() == QAbstractSocket::UnconnectedState || s.waitForDisconnected(3000));
    QTcpSocket refused;
    refused.connectToHost(QStringLiteral("127.0.0.1"), port);
    QVERIFY(!refused.waitForConnected(1000));
    QCOMPARE(refused.error(), QAbstractSocket::ConnectionRefusedError);

    const QStringList up = sim.command("up");
    QCOMPARE(up, (QStringList{QStringLiteral("LISTEN tcp 127.0.0.1:%1").arg(port), QStringLiteral("OK up")}));
    QTcpSocket again;
    again.connectToHost(QStringLiteral("127.0.0.1"), port);
    QVERIFY(again.waitForConnected(3000));
    QCOMPARE(exchange(again, kProbe, 6).size(), 6);
}

void TestSimulatorProcess::consoleCommands()
{
    Simulator sim;
    QVERIFY(sim.start({"--tcp", "0"}, 1));
    QVERIFY(sim.command("bogus").value(0).startsWith("ERROR unknown command"));
    QVERIFY(sim.command("set 117 20").value(0).startsWith("ERROR"));
    QVERIFY(sim.command("set 101").value(0).startsWith("ERROR usage"));
    QVERIFY(sim.command("silent -1").value(0).startsWith("ERROR"));
    QVERIFY(sim.command("@2 drop").value(0).startsWith("ERROR no instrument"));
    QVERIFY(sim.command("ramp all 80 0").value(0).startsWith("ERROR"));
    QCOMPARE(sim.command("set all 60").value(0), QStringLiteral("OK set all 60"));
    QVERIFY(sim.command("@1 ramp 102 90 30").value(0).startsWith("OK"));
    const QStringList status = sim.command("status");
    QVERIFY(status.last() == QStringLiteral("OK status"));
    QVERIFY(status.filter("set-point 60.000").size() == 15);
    QVERIFY(status.filter(QRegularExpression("^102 ramp")).size() == 1);
    QCOMPARE(sim.command("quit").value(0), QStringLiteral("OK quit"));
    QVERIFY(sim.process().waitForFinished(3000));
    QCOMPARE(sim.process().exitCode(), 0);
}

void TestSimulatorProcess::threeInstruments()
{
    Simulator sim;
    QVERIFY(sim.start({"--instrument", "model=3107A-TC,tcp=0", "--instrument", "model=3107A-RTD,tcp=0",
                       "--instrument", "model=3107A-PCR,tcp=0,ch101=fixed:0,noise=0"},
                      3));
    QSet<quint16> ports;
    for (int i = 0; i < 3; ++i)
        ports.insert(sim.tcpPort(i));
    QCOMPARE(ports.size(), 3);
    QTcpSocket pcr;
    pcr.connectToHost(QStringLiteral("127.0.0.1"), sim.tcpPort(2));
    QVERIFY(pcr.waitForConnected(3000));
    QCOMPARE(exchange(pcr, frame("010310000005"), 15).mid(3, 10), QByteArray("3107A00003"));
    // Default thermistor curve: 10 kΩ at 25 °C, β 3977 K, so about 33.9 kΩ at 0 °C.
    const QByteArray ohms = exchange(pcr, frame("010302000002"), 9);
    QVERIFY(qAbs(floatAt(ohms, 0) - 33900.4f) < 0.5f);
    // Commands can address one instrument.
    QVERIFY(sim.command("@3 fix 101 25").value(0).startsWith("OK"));
    QVERIFY(qAbs(floatAt(exchange(pcr, frame("010302000002"), 9), 0) - 10000.0f) < 0.5f);
}

void TestSimulatorProcess::endOfInput()
{
    Simulator sim;
    QVERIFY(sim.start({"--tcp", "0"}, 1));
    sim.process().closeWriteChannel();
    QVERIFY(sim.process().waitForFinished(3000));
    QCOMPARE(sim.process().exitCode(), 0);

    // Without --exit-on-eof the simulator runs on after stdin closes.
    QProcess p;
    p.start(QStringLiteral(ARQ_SIMULATOR_PATH), {"--tcp", "0"});
    QVERIFY(p.waitForStarted(3000));
    QVERIFY(p.waitForReadyRead(3000));
    p.closeWriteChannel();
    QVERIFY(!p.waitForFinished(500));
    p.kill();
    p.waitForFinished(3000);
}

QTEST_GUILESS_MAIN(TestSimulatorProcess)
#include "tst_simulator_process.moc"
