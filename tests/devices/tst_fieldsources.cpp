// Temperature-source drivers: reply parsing, model tables, and the command
// dialogue of a dry block over TCP and a liquid bath over a serial pty.
#include "Criteria.h"
#include "DeviceLink.h"
#include "FieldDry.h"
#include "FieldTank.h"
#include "PtyPair.h"
#include "SourceReply.h"
#include "TestPeer.h"

#include <QSerialPort>
#include "TestSupport.h"

#include <QtTest>

#include <functional>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// Answers request lines of an instrument on any byte stream; keeps what it received.
class LineResponder
{
public:
    std::function<QByteArray(const QByteArray&)> respond;
    QList<QByteArray> requests;

    void feed(QIODevice* device)
    {
        m_buffer += device->readAll();
        for (int at = m_buffer.indexOf('\n'); at >= 0; at = m_buffer.indexOf('\n')) {
            const QByteArray line = m_buffer.left(at + 1);
            m_buffer.remove(0, at + 1);
            requests << line;
            const QByteArray reply = respond ? respond(line) : QByteArray();
            if (!reply.isEmpty()) {
                device->write(reply);
                if (auto* serial = qobject_cast<QSerialPort*>(device))
                    serial->flush();
            }
        }
    }

private:
    QByteArray m_buffer;
};

// A dry block whose answers the test can spoil.
struct DryBlock
{
    QByteArray setPoint = "20.00";
    QByteArray reading = "24.987";
    QByteArray reference = "25.012";
    QByteArray stable = "1";
    QByteArray setPointAnswer; // empty: the real set-point

    QByteArray operator()(const QByteArray& line)
    {
        const QByteArray cmd = line.trimmed();
        if (cmd == "*IDN?")
            return "KORVA-INST,KRDB-1,SN1234,1.0\r\n";
        if (cmd.startsWith("s "))
            setPoint = cmd.mid(2);
        else if (cmd == "s")
            return (setPointAnswer.isEmpty() ? setPoint : setPointAnswer) + "\r\n";
        else if (cmd == "t")
            return reading + "\r\n";
        else if (cmd == "READ?")
            return reference + "\r\n";
        else if (cmd == "SOUR1:STAB:TEST?")
            return stable + "\r\n";
        return {};
    }
};

QStringList lines(const QList<QByteArray>& requests)
{
    QStringList out;
    for (const QByteArray& r : requests)
        out << QString::fromLatin1(r);
    return out;
}

} // namespace

class TestFieldSources : public QObject
{
    Q_OBJECT
private slots:
    void replyParsing_data();
    void replyParsing();
    void modelTables_data();
    void modelTables();
    void dryBlockOverTcp();
    void manualDryBlockHasNoLink();
    void dryBlockLinkFaults();
    void bathOverPty();
};

void TestFieldSources::replyParsing_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<double>("value");

    QTest::newRow("dry plain") << "dry" << "25.00\r\n" << true << 25.0;
    QTest::newRow("dry spaces") << "dry" << " -12.5 \r\n" << true << -12.5;
    QTest::newRow("dry noise") << "dry" << "#@!x\r\n" << false << 0.0;
    QTest::newRow("dry empty") << "dry" << "\r\n" << false << 0.0;
    QTest::newRow("dry two replies run together") << "dry" << "25.0025.00\r\n" << false << 0.0;
    QTest::newRow("dry not finite") << "dry" << "inf\r\n" << false << 0.0;
    QTest::newRow("bath reading") << "r:" << "r: 24.98 C" << true << 24.98;
    QTest::newRow("bath negative") << "r:" << "r:-79.50C" << true << -79.5;
    QTest::newRow("bath other prefix") << "r:" << "st:1" << false << 0.0;
    QTest::newRow("bath noise after prefix") << "r:" << "r: --" << false << 0.0;
    QTest::newRow("bath set-point") << "set:" << "set: 25.01C" << true << 25.01;
    QTest::newRow("bath set-point missing") << "set:" << "set:" << false << 0.0;
    QTest::newRow("stable 1") << "stable" << "1\r\n" << true << 1.0;
    QTest::newRow("stable 0") << "stable" << "0\r\n" << true << 0.0;
    QTest::newRow("stable other number") << "stable" << "2" << true << 1.0;
    QTest::newRow("stable noise is no answer") << "stable" << "ERR" << false << 0.0;
}

void TestFieldSources::replyParsing()
{
    QFETCH(QString, kind);
    QFETCH(QString, reply);
    QFETCH(bool, ok);
    QFETCH(double, value);
    double v = -1;
    bool stable = false;
    bool parsed = false;
    if (kind == "dry")
        parsed = SourceReply::dryNumber(reply, &v);
    else if (kind == "stable") {
        parsed = SourceReply::dryStable(reply, &stable);
        v = stable ? 1 : 0;
    } else
        parsed = SourceReply::tankNumber(reply, kind, &v);
    QCOMPARE(parsed, ok);
    if (ok)
        QCOMPARE(v, value);
}

void TestFieldSources::modelTables_data()
{
    QTest::addColumn<bool>("dry");
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("low");
    QTest::addColumn<QString>("high");
    QTest::addColumn<QString>("limit");
    QTest::newRow("KRDB-1") << true << "KRDB-1" << "33" << "350" << "0.2";
    QTest::newRow("KRDB-2") << true << "KRDB-2" << "50" << "660" << "0.35";
    QTest::newRow("dry unknown") << true << "KRLB-1" << "0" << "0" << "0.35";
    QTest::newRow("KRLB-1") << false << "KRLB-1" << "-20" << "150" << "0.01";
    QTest::newRow("KRLB-2") << false << "KRLB-2" << "-45" << "150" << "0.01";
    QTest::newRow("KRLB-3") << false << "KRLB-3" << "-80" << "100" << "0.01";
    QTest::newRow("KRLB-4") << false << "KRLB-4" << "35" << "95" << "0.01";
    QTest::newRow("KRLB-5") << false << "KRLB-5" << "35" << "300" << "0.01";
    QTest::newRow("bath unknown") << false << "KRDB-1" << "0" << "0" << "0.01";
}

void TestFieldSources::modelTables()
{
    QFETCH(bool, dry);
    QFETCH(QString, model);
    QFETCH(QString, low);
    QFETCH(QString, high);
    QFETCH(QString, limit);
    FieldDry block;
    FieldTank bath;
    Field& source = dry ? static_cast<Field&>(block) : static_cast<Field&>(bath);
    QString l, h, s;
    QVERIFY(source.TemperatureRange(model, l, h));
    QVERIFY(source.StabilityLimit(model, s));
    QCOMPARE(QStringList({l, h, s}), QStringList({low, high, limit}));

    QCOMPARE(block.ModelList(), QStringList({"KRDB-1", "KRDB-2"}));
    QCOMPARE(bath.ModelList(), QStringList({"KRLB-1", "KRLB-2", "KRLB-3", "KRLB-4", "KRLB-5"}));
    QCOMPARE(block.CommunicationList(), QStringList({"串口", "网络", "手动"}));
    QCOMPARE(bath.CommunicationList(), QStringList({"串口"}));
}

void TestFieldSources::dryBlockOverTcp()
{
    // The driver's fixed waits (settling after a command, retries) at a tenth:
    // the peer answers at once.
    Device::setTimeScale(0.1);
    struct Restore { ~Restore() { Device::setTimeScale(1.0); } } restore;
    TestPeer peer(TestPeer::Mode::Lines);
    DryBlock block;
    peer.respond = [&block](const QByteArray& line) { return block(line); };

    FieldDryR driver;
    QVERIFY(!inWorker([&] { return driver.Initialize(); })); // nothing open yet
    QVERIFY(inWorker([&] { return driver.Open(QStringLiteral("网络"), QStringLiteral("127.0.0.1"), peer.port()); }));
    QCOMPARE(driver.Link()->LinkType(), 2);
    QVERIFY(!inWorker([&] { return driver.Open(QStringLiteral("网络"), QStringLiteral("127.0.0.1"), peer.port()); }));

    QString serial;
    QVERIFY(inWorker([&] { return driver.GetSerialNumber(serial); }));
    QCOMPARE(serial, QStringLiteral("KORVA-INST,KRDB-1,SN1234,1.0"));

    peer.requests.clear();
    QVERIFY(inWorker([&] { return driver.Initialize(); }));
    QVERIFY(inWorker([&] { return driver.SetTemperature(25); }));
    QCOMPARE(lines(peer.requests), QStringList({"OUTP:STAT 1\r\n", "u C\r\n", "s 25.00\r\n", "s\r\n"}));

    // The R variant reads the block's reference, the plain one the block.
    double value = 0;
    QVERIFY(inWorker([&] { return driver.ReadTemperature(value); }));
    QCOMPARE(value, 25.012);
    QVERIFY(inWorker([&] { return driver.FieldDry::ReadTemperature(value); }));
    QCOMPARE(value, 24.987);
    QCOMPARE(peer.requests.mid(4), QList<QByteArray>({"READ?\r\n", "t\r\n"}));

    // A reference thermometer built on the source forwards to its reference.
    Criteria reference(&driver);
    QVERIFY(reference.Open(QString(), QString(), QString()));
    QVERIFY(reference.SetChannel(Device::Channel()));
    value = 0;
    QVERIFY(inWorker([&] { return reference.ReadTemperature(value); }));
    QCOMPARE(value, 25.012);
    QVERIFY(inWorker([&] { return reference.GetSerialNumber(serial); }));

    bool stable = false;
    QVERIFY(inWorker([&] { return driver.IsStable(stable); }));
    QVERIFY(stable);
    block.stable = "0";
    QVERIFY(inWorker([&] { return driver.IsStable(stable); }));
    QVERIFY(!stable);

    // Noise instead of a number is a failed read, never a reading of 0.
    block.reference = "#@!x";
    block.stable = "ERR";
    value = 123;
    QVERIFY(!inWorker([&] { return driver.ReadTemperature(value); }));
    QCOMPARE(value, 123.0);
    QVERIFY(!inWorker([&] { return driver.IsStable(stable); }));

    // A set-point the block does not confirm fails after three attempts.
    block.setPointAnswer = "24.99";
    peer.requests.clear();
    QVERIFY(!inWorker([&] { return driver.SetTemperature(25); }));
    QCOMPARE(peer.requests.count("s 25.00\r\n"), 3);
    // 0.00 set but noise read back: the old code took noise for 0 and agreed.
    block.setPointAnswer = "--";
    QVERIFY(!inWorker([&] { return driver.SetTemperature(0); }));

    QVERIFY(inWorker([&] { return driver.Close(); }));
    QVERIFY(!driver.IsOpen());
    QVERIFY(!inWorker([&] { return driver.Write(QStringLiteral("t\r\n")); }));
    QVERIFY(!inWorker([&] { return driver.Close(); }));
}

void TestFieldSources::manualDryBlockHasNoLink()
{
    FieldDry driver;
    QVERIFY(inWorker([&] { return driver.Open(QStringLiteral("手动"), QString(), QString()); }));
    QVERIFY(!driver.IsOpen());
    QCOMPARE(driver.Link()->LinkType(), 0);
    double value = 0;
    bool stable = false;
    QVERIFY(!inWorker([&] { return driver.SetTemperature(50); }));
    QVERIFY(!inWorker([&] { return driver.ReadTemperature(value); }));
    QVERIFY(!inWorker([&] { return driver.IsStable(stable); }));
}

namespace {
// A listener whose accept queue (backlog 0) is held full by one connection
// nobody accepts: the kernel drops further SYNs, so a connect completes only
// at a SYN retransmission (about 1 s) after release() made room.
struct SlowListener
{
    int listener = -1, first = -1;
    quint16 port = 0;
    SlowListener()
    {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t n = sizeof a;
        if (::bind(listener, reinterpret_cast<sockaddr*>(&a), n) != 0 || ::listen(listener, 0) != 0
            || ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &n) != 0)
            return;
        port = ntohs(a.sin_port);
        first = ::socket(AF_INET, SOCK_STREAM, 0);
        if (::connect(first, reinterpret_cast<sockaddr*>(&a), n) != 0)
            port = 0;
    }
    // Accepts the connection holding the queue (and closes it).
    void release()
    {
        const int accepted = ::accept(listener, nullptr, nullptr);
        if (accepted >= 0)
            ::close(accepted);
    }
    ~SlowListener()
    {
        if (first >= 0)
            ::close(first);
        if (listener >= 0)
            ::close(listener);
    }
};
} // namespace

// The link faults of a dry block over TCP: a connection that completes after
// Open gave up, a port beyond 65535, and a late answer to an earlier query.
void TestFieldSources::dryBlockLinkFaults()
{
    {
        // Open gives up (its wait scaled to a quarter second) while the
        // connection is still pending; it then completes at the peer's pace.
        SlowListener slow;
        QVERIFY(slow.port != 0);
        FieldDry driver;
        const QString port = QString::number(slow.port);
        Device::setTimeScale(0.02);
        const bool opened = inWorker([&] { return driver.Open(QStringLiteral("网络"), QStringLiteral("127.0.0.1"), port); });
        Device::setTimeScale(1.0);
        QVERIFY(!opened);
        slow.release();
        spin(2500);
        // Given up means closed: the late connection must not open the link
        // behind the caller's back, which made every later Open fail.
        QVERIFY(!driver.IsOpen());
        QCOMPARE(driver.Link()->LinkType(), 0);
        QVERIFY(inWorker([&] { return driver.Open(QStringLiteral("网络"), QStringLiteral("127.0.0.1"), port); }));
        QVERIFY(inWorker([&] { return driver.Close(); }));
    }

    TestPeer peer(TestPeer::Mode::Lines);
    DryBlock block;
    peer.respond = [&block](const QByteArray& line) { return block(line); };
    FieldDry driver;
    // 65536 above the peer's port: taken as 16 bits it would reach the peer.
    const QString wrapped = QString::number(peer.port().toInt() + 65536);
    Device::setTimeScale(0.05);
    QVERIFY(!inWorker([&] { return driver.Open(QStringLiteral("网络"), QStringLiteral("127.0.0.1"), wrapped); }));
    Device::setTimeScale(1.0);
    QCOMPARE(peer.connections, 0);

    QVERIFY(inWorker([&] { return driver.Open(QStringLiteral("网络"), QStringLiteral("127.0.0.1"), peer.port()); }));
    // The answer to a query the driver stopped waiting for arrives before
    // the next query: it is not part of the next reading.
    block.reading = "30";
    peer.send("25\r\n");
    spin(200);
    double value = 0;
    QVERIFY(inWorker([&] { return driver.ReadTemperature(value); }));
    QCOMPARE(value, 30.0);
    QVERIFY(inWorker([&] { return driver.Close(); }));
}

void TestFieldSources::bathOverPty()
{
    if (!PtyPair::available())
        ARQ_REQUIRE(false, "socat");
    Device::setTimeScale(0.1);
    struct Restore { ~Restore() { Device::setTimeScale(1.0); } } restore;
    PtyPair pty;
    QVERIFY(pty.start());
    QSerialPort instrument(pty.ends.at(1));
    QVERIFY(instrument.open(QIODevice::ReadWrite));

    QByteArray setAnswer = "set: 25.01C";
    QByteArray reading = "r: 24.98 C";
    QByteArray stable = "st:1";
    LineResponder bath;
    bath.respond = [&](const QByteArray& line) -> QByteArray {
        const QByteArray cmd = line.trimmed();
        // A lone line feed ahead of every answer must never become a reply.
        if (cmd == "sn")
            return "\nsn:LB-0042\r\n";
        if (cmd == "s")
            return "\n" + setAnswer + "\r\n";
        if (cmd == "r")
            return "\n" + reading + "\r\n";
        if (cmd == "st")
            return "\n" + stable + "\r\n";
        return {};
    };
    connect(&instrument, &QSerialPort::readyRead, this, [&] { bath.feed(&instrument); });

    FieldTankR driver;
    // Any mode opens the serial port: the bath has no other link.
    QVERIFY(inWorker([&] { return driver.Open(QStringLiteral("网络"), pty.ends.at(0), QStringLiteral("9600")); }));
    QCOMPARE(driver.Link()->LinkType(), 1);

    QString serial;
    QVERIFY(inWorker([&] { return driver.GetSerialNumber(serial); }));
    QCOMPARE(serial, QStringLiteral("LB-0042"));

    bath.requests.clear();
    QVERIFY(inWorker([&] { return driver.Initialize(); }));
    QVERIFY(inWorker([&] { return driver.SetTemperature(25); }));
    QCOMPARE(lines(bath.requests), QStringList({"lf=on\r\n", "u=C\r\n", "sa=n\r\n", "pc=s\r\n", "co=au\r\n",
                                                 "hg=auto\r\n", "s=25.00\r\n", "s\r\n"}));

    double value = 0;
    QVERIFY(inWorker([&] { return driver.ReadTemperature(value); }));
    QCOMPARE(value, 24.98);

    bool isStable = false;
    QVERIFY(inWorker([&] { return driver.IsStable(isStable); }));
    QVERIFY(isStable);
    stable = "st: 1"; // only the exact answer counts as stable
    QVERIFY(inWorker([&] { return driver.IsStable(isStable); }));
    QVERIFY(!isStable);

    // Noise after the prefix: three attempts, then failure, value untouched.
    reading = "r: ERR C";
    value = 7;
    bath.requests.clear();
    QVERIFY(!inWorker([&] { return driver.ReadTemperature(value); }));
    QCOMPARE(value, 7.0);
    QCOMPARE(bath.requests.count("r\r\n"), 3);

    // 0.02 away is refused: three set-points, each checked three times.
    setAnswer = "set: 25.02C";
    bath.requests.clear();
    QVERIFY(!inWorker([&] { return driver.SetTemperature(25); }));
    QCOMPARE(bath.requests.count("s=25.00\r\n"), 3);
    QCOMPARE(bath.requests.count("s\r\n"), 9);

    QVERIFY(inWorker([&] { return driver.Close(); }));
    spin(50);
    QCOMPARE(driver.Link()->LinkType(), 0);
}

QTEST_GUILESS_MAIN(TestFieldSources)
#include "tst_fieldsources.moc"
