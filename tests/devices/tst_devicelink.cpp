#include "Collection1586A.h"
#include "Collection3107A.h"
#include "Criteria.h"
#include "DeviceLink.h"
#include "HexFrame.h"
#include "TestPeer.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QSerialPort>
#include "TestSupport.h"

#include <QtTest>

namespace {
QByteArray bytes(const QString& hex)
{
    return QByteArray::fromHex(hex.toLatin1());
}

// A register peer answering the probe with station 01 and echoing writes.
QByteArray registerEcho(const QByteArray& request)
{
    if (request.toHex() == "010300010001cad5")
        return bytes(HexFrame::withCrc(QStringLiteral("01030101"), true));
    return request;
}
} // namespace

class TestDeviceLink : public QObject
{
    Q_OBJECT
private slots:
    void hexFraming_data();
    void hexFraming();
    void laterFrameReadFirst();
    void lineFraming_data();
    void lineFraming();
    void lineEndFraming();
    void tcpExchange();
    void tcpPeerDisconnect();
    void closeThenOpenAtOnce();
    void refusedConnection();
    void textDriverOverTcp();
    void serialPortMissing();
    void serialPty();
    void criteriaWithoutSource();
};

void TestDeviceLink::hexFraming_data()
{
    QTest::addColumn<bool>("highFirst");
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<QStringList>("queued");
    QTest::addColumn<QString>("left");

    const QString probe = QStringLiteral("010300010001cad5");
    QTest::newRow("whole frame") << true << QString() << QStringList{probe} << QStringList{probe} << QString();
    QTest::newRow("split frame") << true << QString() << QStringList{"0103000100", "01cad5"} << QStringList{probe}
                                 << QString();
    QTest::newRow("bad crc accumulates") << true << QString() << QStringList{"010300010001cad6", "00"}
                                         << QStringList{} << QStringLiteral("010300010001cad600");
    // Longer than any frame: dropped, so the reply after it is framed
    // without waiting for a read to time out.
    QTest::newRow("endless data dropped") << true << QStringLiteral("01")
                                          << QStringList{"01" + QString(600, '0'), probe} << QStringList{probe}
                                          << QString();
    QTest::newRow("other station dropped")
        << true << QStringLiteral("01") << QStringList{HexFrame::withCrc("02030101", true)} << QStringList{}
        << QString();
    QTest::newRow("own station kept") << true << QStringLiteral("01") << QStringList{probe} << QStringList{probe}
                                      << QString();
    QTest::newRow("low byte first") << false << QString() << QStringList{"010300010001d5ca"}
                                    << QStringList{"010300010001d5ca"} << QString();
    QTest::newRow("high-first frame refused by low-first link")
        << false << QString() << QStringList{probe} << QStringList{} << probe;
}

void TestDeviceLink::hexFraming()
{
    QFETCH(bool, highFirst);
    QFETCH(QString, prefix);
    QFETCH(QStringList, chunks);
    QFETCH(QStringList, queued);
    QFETCH(QString, left);

    std::atomic<bool> flag{false};
    DeviceLink link(flag,
                    highFirst ? DeviceLink::Framing::HexCrcHighFirst : DeviceLink::Framing::HexCrcLowFirst, 100);
    link.setAddressPrefix(prefix);
    for (const QString& chunk : chunks)
        link.receive(bytes(chunk));
    QStringList got;
    QString reply;
    while (link.takeLast(reply))
        got.prepend(reply);
    QCOMPARE(got, queued);
    QCOMPARE(link.rxBuffer(), left);
}

void TestDeviceLink::laterFrameReadFirst()
{
    Collection3107A_TC driver;
    const QString first = HexFrame::withCrc(QStringLiteral("01030102"), true).toLower();
    const QString second = HexFrame::withCrc(QStringLiteral("01030103"), true).toLower();
    driver.Link()->receive(bytes(first));
    driver.Link()->receive(bytes(second));
    QString reply;
    QVERIFY(driver.Read(reply));
    QCOMPARE(reply, second);
    QCOMPARE(driver.Link()->queuedCount(), 1);
    QVERIFY(driver.Read(reply));
    QCOMPARE(reply, first);
}

void TestDeviceLink::lineFraming_data()
{
    QTest::addColumn<QStringList>("chunks");
    QTest::addColumn<QStringList>("replies");
    QTest::addColumn<QString>("left");

    QTest::newRow("two lines in one chunk") << QStringList{"A\r\nB\r\n"} << QStringList{"A", "B"} << QString();
    QTest::newRow("line split over chunks") << QStringList{"12.", "5\r", "\n"} << QStringList{"12.5"} << QString();
    QTest::newRow("empty line first") << QStringList{"\nA\n"} << QStringList{"A"} << QString();
    QTest::newRow("empty lines between") << QStringList{"A\n\r\n\nB\n"} << QStringList{"A", "B"} << QString();
    QTest::newRow("partial line stays") << QStringList{"A\nB"} << QStringList{"A"} << QStringLiteral("B");
    // Line noise: a NUL or another control byte never reaches a value.
    QTest::newRow("control bytes dropped") << QStringList{QString::fromLatin1("1\0002.5\x01\r\n", 8)}
                                           << QStringList{"12.5"} << QString();
}

void TestDeviceLink::lineFraming()
{
    QFETCH(QStringList, chunks);
    QFETCH(QStringList, replies);
    QFETCH(QString, left);

    Collection1586A driver;
    for (const QString& chunk : chunks)
        driver.Link()->receive(chunk.toLatin1());
    QStringList got;
    QString reply;
    while (driver.Read(reply))
        got << reply;
    QCOMPARE(got, replies);
    QCOMPARE(driver.Link()->rxBuffer(), left);
}

void TestDeviceLink::lineEndFraming()
{
    std::atomic<bool> flag{false};
    DeviceLink dry(flag, DeviceLink::Framing::LineEnd, 100);
    dry.receive("25.1");
    QCOMPARE(dry.queuedCount(), 0);
    dry.receive("0\r\n");
    QCOMPARE(dry.takeAll(), QStringLiteral("25.10\r\n"));
    dry.receive("\n");
    QCOMPARE(dry.queuedCount(), 1);

    DeviceLink tank(flag, DeviceLink::Framing::LineEndNoBlank, 100);
    tank.receive("\n");
    QCOMPARE(tank.queuedCount(), 0);
    QCOMPARE(tank.rxBuffer(), QString());
    tank.receive("OK\n");
    tank.receive("T=30\n");
    QCOMPARE(tank.takeAll(), QStringLiteral("T=30\nOK\n")); // last element first
}

void TestDeviceLink::tcpExchange()
{
    TestPeer peer;
    peer.respond = registerEcho;
    Collection3107A_TC driver;
    QVERIFY(!driver.IsOpen());
    QVERIFY(inWorker([&] { return driver.Open(QStringLiteral("网络"), QStringLiteral("127.0.0.1"), peer.port()); }));
    QVERIFY(driver.IsOpen());
    QCOMPARE(driver.Link()->LinkType(), 2);
    QCOMPARE(peer.requests.value(0).toHex(), QByteArray("010300010001cad5"));
    QCOMPARE(driver.AddressPrefixText(), QStringLiteral("01"));
    QVERIFY(!inWorker([&] { return driver.Open(QStringLiteral("网络"), QStringLiteral("127.0.0.1"), peer.port()); }));

    // A command goes out as bytes; its echo comes back framed.
    const QString frame = HexFrame::withCrc(QStringLiteral("0106000E0003"), true);
    QString reply;
    QVERIFY(inWorker([&] { return driver.Write(frame) && driver.Read(reply); }));
    QCOMPARE(peer.requests.last(), bytes(frame));
    QCOMPARE(reply.toUpper(), frame);

    // A silent peer: Read gives up after its polls and clears the buffer.
    peer.respond = nullptr;
    peer.send(bytes("0103"));
    spin(50);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!inWorker([&] { return driver.Read(reply); }));
    QVERIFY2(timer.elapsed() >= 450, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(driver.Link()->rxBuffer(), QString());

    QVERIFY(inWorker([&] { return driver.Close(); }));
    spin(50);
    QVERIFY(!driver.IsOpen());
    QCOMPARE(driver.Link()->LinkType(), 0);
    QVERIFY(!driver.Close());
    QVERIFY(!driver.Write(frame));
}

void TestDeviceLink::tcpPeerDisconnect()
{
    TestPeer peer;
    peer.respond = registerEcho;
    Collection3107A_RTD driver;
    QVERIFY(inWorker([&] { return driver.Open(QStringLiteral("网络"), QStringLiteral("127.0.0.1"), peer.port()); }));

    peer.drop();
    for (int i = 0; i < 200 && driver.IsOpen(); ++i)
        spin(10);
    QVERIFY(!driver.IsOpen());
    QCOMPARE(driver.Link()->LinkType(), 0);

    QString reply;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!inWorker([&] { return driver.Read(reply); }));
    QVERIFY(timer.elapsed() < 400); // nothing can arrive on a closed link
    QVERIFY(!driver.Write(Collection3107A::ProbeFrame()));
    QVERIFY(!driver.Close());
    spin(50); // the released socket is deleted; nothing may touch it

    QVERIFY(inWorker([&] { return driver.Open(QStringLiteral("网络"), QStringLiteral("127.0.0.1"), peer.port()); }));
    QCOMPARE(peer.connections, 2);
    QVERIFY(driver.IsOpen());
}

void TestDeviceLink::closeThenOpenAtOnce()
{
    TestPeer peer;
    peer.respond = registerEcho;
    Collection3107A_NTC driver;
    const bool ok = inWorker([&] {
        return driver.Open(QStringLiteral("网络"), QStringLiteral("127.0.0.1"), peer.port()) && driver.Close()
            && driver.Open(QStringLiteral("网络"), QStringLiteral("127.0.0.1"), peer.port());
    });
    QVERIFY(ok);
    QVERIFY(driver.IsOpen());
}

void TestDeviceLink::refusedConnection()
{
    quint16 port = 0;
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    Collection3107A_PCR driver;
    QVERIFY(!inWorker([&] {
        return driver.Open(QStringLiteral("网络"), QStringLiteral("127.0.0.1"), QString::number(port));
    }));
    QVERIFY(!driver.IsOpen());
    QVERIFY(!driver.Write(Collection3107A::ProbeFrame()));
    QVERIFY(!driver.Close());
}

void TestDeviceLink::textDriverOverTcp()
{
    TestPeer peer(TestPeer::Mode::Lines);
    peer.respond = [](const QByteArray& line) -> QByteArray {
        if (line == "*IDN?\r\n")
            return "\r\nFLUKE,1586A,123,1.0\r\n";
        return {};
    };
    Collection1586A driver;
    QVERIFY(inWorker([&] { return driver.Open(QStringLiteral("网络"), QStringLiteral("127.0.0.1"), peer.port()); }));
    QString reply;
    QVERIFY(inWorker([&] { return driver.Write(QStringLiteral("*IDN?\r\n")) && driver.Read(reply); }));
    QCOMPARE(reply, QStringLiteral("FLUKE,1586A,123,1.0"));
    QVERIFY(inWorker([&] { return driver.Close(); }));
}

void TestDeviceLink::serialPortMissing()
{
    Collection3107A_TC driver;
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!inWorker([&] {
        return driver.Open(QStringLiteral("串口"), QStringLiteral("/dev/arq-no-such-port"), QStringLiteral("9600"));
    }));
    QVERIFY(timer.elapsed() >= 3900); // the full 40 x 100 ms wait
    QVERIFY(!driver.IsOpen());
    QStringList ports;
    QVERIFY(driver.PortList(ports));
    QStringList sorted = ports;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(ports, sorted);
}

void TestDeviceLink::serialPty()
{
    if (QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty())
        ARQ_REQUIRE(false, "socat");
    QProcess socat;
    socat.setProcessChannelMode(QProcess::SeparateChannels);
    socat.start(QStringLiteral("socat"), {"-d", "-d", "pty,raw,echo=0", "pty,raw,echo=0"});
    QVERIFY(socat.waitForStarted());
    QStringList ptys;
    QElapsedTimer timer;
    timer.start();
    QString text;
    while (ptys.size() < 2 && timer.elapsed() < 5000) {
        socat.waitForReadyRead(100);
        text += QString::fromLocal8Bit(socat.readAllStandardError());
        ptys.clear();
        QRegularExpressionMatchIterator it = QRegularExpression("PTY is (\\S+)").globalMatch(text);
        while (it.hasNext())
            ptys << it.next().captured(1);
    }
    QCOMPARE(ptys.size(), 2);

    QSerialPort instrument(ptys.at(1));
    QVERIFY(instrument.open(QIODevice::ReadWrite));
    connect(&instrument, &QSerialPort::readyRead, this, [&instrument] {
        if (instrument.bytesAvailable() >= 8)
            instrument.write(registerEcho(instrument.read(8)));
    });

    Collection3107A_TC driver;
    QVERIFY(inWorker([&] { return driver.Open(QStringLiteral("串口"), ptys.at(0), QStringLiteral("9600")); }));
    QCOMPARE(driver.Link()->LinkType(), 1);
    QCOMPARE(driver.AddressPrefixText(), QStringLiteral("01"));
    QVERIFY(inWorker([&] { return driver.Close(); }));
    spin(50);
    QVERIFY(!driver.IsOpen());
    instrument.close();
    socat.terminate();
    socat.waitForFinished(2000);
}

void TestDeviceLink::criteriaWithoutSource()
{
    Criteria criteria;
    QString text;
    double value = 0;
    QVERIFY(!criteria.Open(QString(), QString(), QString()));
    QVERIFY(!criteria.GetSerialNumber(text));
    QVERIFY(!criteria.ReadTemperature(value));
    QVERIFY(!criteria.SetChannel(Device::Channel()));
    QVERIFY(criteria.Write(QStringLiteral("x")));
    QVERIFY(criteria.Read(text));
    QVERIFY(criteria.Close());
}

QTEST_GUILESS_MAIN(TestDeviceLink)
#include "tst_devicelink.moc"
