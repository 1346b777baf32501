// The 3107A drivers against the independent instrument simulator over TCP.

#include "ChannelModel.h"
#include "Collection3107A.h"
#include "DeviceLink.h"
#include "HexFrame.h"
#include "SimulatorProcess.h"
#include "TestPeer.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QList<Device::Channel> channelSet(Collection* driver, const QStringList& numbers, const QString& wire,
                                  const QString& function)
{
    QList<Device::Channel> set;
    for (const QString& number : numbers) {
        Device::Channel ch;
        ch.ChannelNumber = number;
        ch.Type = driver->TypeList(number.toInt()).value(0);
        ch.Function = function;
        ch.Wire = wire;
        ch.Unit = QStringLiteral("℃");
        set << ch;
    }
    return set;
}

// Frames as the simulator reports them: lower-case hex with the CRC.
QString framed(const QString& body)
{
    return HexFrame::withCrc(body, true).toLower();
}

QString floats(std::initializer_list<float> values)
{
    QString out;
    for (float v : values)
        out += HexFrame::floatToHex(v);
    return out;
}

// The hex of the frames a "frames" answer lists.
QStringList frameHex(const QStringList& answer)
{
    QStringList hex;
    for (const QString& line : answer)
        if (line.startsWith(QLatin1String("FRAME ")))
            hex << line.section(QLatin1Char(' '), -1);
    return hex;
}

} // namespace

class TestSimulator3107A : public QObject
{
    Q_OBJECT
private slots:
    void session_data();
    void session();
    void setChannelsRecorded_data();
    void setChannelsRecorded();
    void serialSessionOverPty();
    void framingFaults();
    void peerGoneMidRead();
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
    simulator.start(SimulatorProcess::program(),
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

void TestSimulator3107A::setChannelsRecorded_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("wire");
    QTest::addColumn<QStringList>("expected");

    const QString m = floats({1.5f, -0.25f});
    QTest::newRow("TC") << "3107A-TC" << "二线制"
                        << QStringList{"07100010000408" + m, "07100014000408" + m, "0706000E0002",
                                       "0706000D000E"};
    QTest::newRow("RTD") << "3107A-RTD" << "三线制"
                         << QStringList{"0706000E0002", "0706000C0001",
                                        "07100010000C18" + floats({100, 1, 2, 3, 5, 6}),
                                        "07100014000C18" + floats({100, 0, 0, 0, 0, 0})};
    QTest::newRow("NTC") << "3107A-NTC" << "四线制"
                         << QStringList{"0706000E0002", "0706000C0002",
                                        "07100010000810" + floats({1, 2, 3, 4}),
                                        "07100014000810" + floats({1, 2, 3, 4})};
    QTest::newRow("PCR") << "3107A-PCR" << "二线制"
                         << QStringList{"0706000E0002", "07100010000810" + floats({1, 2, 3, 4}),
                                        "07100014000810" + floats({1, 2, 3, 4})};
}

// The frames each variant sends, as the instrument received them.
void TestSimulator3107A::setChannelsRecorded()
{
    QFETCH(QString, model);
    QFETCH(QString, wire);
    QFETCH(QStringList, expected);

    QTemporaryDir dir;
    const QString record = dir.filePath("frames.log");
    SimulatorProcess sim;
    QVERIFY(sim.start({"--model", model, "--tcp", "0", "--address", "7", "--noise", "0", "--record", record}, 1));

    std::unique_ptr<Collection> driver(ChannelModel::createCollection(model));
    QVERIFY(driver);
    QVERIFY(inWorker([&] { return driver->Open("网络", "127.0.0.1", QString::number(sim.port())); }));
    QList<Device::Channel> set = channelSet(driver.get(), {"101", "103"}, wire,
                                            model.endsWith("TC") ? "S" : "R(T)");
    for (Device::Channel& ch : set) {
        ch.MX_B_M = 1.5f;
        ch.MX_B_B = -0.25f;
        ch.A_C0 = "1";
        ch.B_C1 = "2";
        ch.C_C2 = "3";
        ch.D_C3 = "4";
        ch.R0_C4 = "100";
        ch.A4_C5 = "5";
        ch.B4_C6 = "6";
    }
    if (model.endsWith("RTD")) {
        set[0].Function = "ITS90";
        set[1].Function = "PT385";
    }
    QString message;
    QVERIFY2(driver->CheckChannels(set, message), qPrintable(message));
    QVERIFY(inWorker([&] { return driver->SetChannels("中速", set); }));

    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QStringList got;
    for (const QString& line : QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts)) {
        QVERIFY2(line.contains(QStringLiteral(" @1 tcp 127.0.0.1:%1 ").arg(sim.port())), qPrintable(line));
        got << line.section(QLatin1Char(' '), -1);
    }
    QCOMPARE(got.value(0), QStringLiteral("010300010001cad5")); // the probe of Open
    QStringList want;
    for (const QString& body : expected)
        want << framed(body);
    QCOMPARE(got.mid(1), want);

    // The instrument took the set: the values of both channels come back.
    QStringList values;
    QVERIFY(inWorker([&] { return driver->ReadData(values); }));
    QCOMPARE(values.size(), 2);
    QVERIFY(inWorker([&] { return driver->Close(); }));
}

// Identity, clock, a full channel set and its values through the serial
// link, the simulator's pty standing in for the port.
void TestSimulator3107A::serialSessionOverPty()
{
#ifndef Q_OS_UNIX
    QSKIP("pseudo-terminals are a Unix facility");
#endif
    SimulatorProcess sim;
    QVERIFY(sim.start({"--model", "3107A-TC", "--no-tcp", "--pty", "--temperature", "20.5", "--noise", "0"}, 1));
    std::unique_ptr<Collection> driver(ChannelModel::createCollection("3107A-TC"));
    auto* logger = qobject_cast<Collection3107A*>(driver.get());
    QVERIFY(logger);
    QVERIFY(inWorker([&] { return driver->Open("串口", sim.pty(), "115200"); }));
    QCOMPARE(logger->Link()->LinkType(), 1);
    QCOMPARE(logger->AddressPrefixText(), QStringLiteral("01"));

    QString identity;
    QVERIFY(inWorker([&] { return driver->GetSerialNumber(identity); }));
    QCOMPARE(identity, QStringLiteral("3107A00001"));
    const QDateTime clock(QDate(2024, 3, 5), QTime(14, 7, 9));
    QVERIFY(inWorker([&] { return driver->SyncTime(clock); }));
    QVERIFY2(sim.answer("status").filter("clock 2024-03-05 14:07:").size() == 1, "clock not set");

    QStringList numbers;
    for (int c = 0; c < 16; ++c)
        numbers << QString::number(101 + c);
    const QList<Device::Channel> set = channelSet(driver.get(), numbers, "二线制", "K");
    sim.answer("frames"); // forget the frames so far
    QVERIFY(inWorker([&] { return driver->SetChannels("快速", set); }));
    const QStringList sent = frameHex(sim.answer("frames"));
    QCOMPARE(sent.size(), 18); // 16 coefficient blocks, rate, thermocouple type
    QCOMPARE(sent.at(0), framed("01100010000408" + floats({1, 0})));
    QCOMPARE(sent.at(15), framed("0110002E000408" + floats({1, 0})));
    QCOMPARE(sent.at(16), framed("0106000E0003"));
    QCOMPARE(sent.at(17), framed("0106000D0008"));

    // The model: channel 101 at 20.5 °C, each further channel 0.1 °C warmer.
    QStringList values;
    QVERIFY(inWorker([&] { return driver->ReadData(values); }));
    QCOMPARE(values.size(), 16);
    for (int c = 0; c < 16; ++c)
        QVERIFY2(qAbs(values.at(c).toDouble() - (20.5 + 0.1 * c)) < 1e-4, qPrintable(values.join(' ')));
    QCOMPARE(frameHex(sim.answer("frames")), QStringList{framed("010301000020")});
    QVERIFY(inWorker([&] { return driver->Close(); }));
}

// Faults of the line, through the real driver: what it must still decode,
// what it must refuse.
void TestSimulator3107A::framingFaults()
{
    SimulatorProcess sim;
    QVERIFY(sim.start({"--model", "3107A-PCR", "--tcp", "0", "--address", "7", "--noise", "0"}, 1));
    std::unique_ptr<Collection> driver(ChannelModel::createCollection("3107A-PCR"));
    QVERIFY(inWorker([&] { return driver->Open("网络", "127.0.0.1", QString::number(sim.port())); }));
    QVERIFY(inWorker([&] { return driver->SetChannels("快速", channelSet(driver.get(), {"101", "102"}, "二线制", "R(T)")); }));
    QString identity;
    QStringList values;
    QElapsedTimer timer;
    auto valueRequests = [&] { return frameHex(sim.answer("frames")).filter(QRegularExpression("^070301")).size(); };

    // A reply written in pieces is put together again.
    QVERIFY(sim.answer("split 6").value(0).startsWith("OK"));
    QVERIFY(inWorker([&] { return driver->GetSerialNumber(identity); }));
    QCOMPARE(identity, QStringLiteral("3107A00001"));
    sim.answer("frames");
    QVERIFY(inWorker([&] { return driver->ReadData(values); }));
    QCOMPARE(values.size(), 2);
    QVERIFY2(qAbs(values.at(0).toDouble() - 25.0) < 1e-3, qPrintable(values.join(' ')));
    QCOMPARE(valueRequests(), 1);
    QVERIFY(sim.answer("split 1").value(0).startsWith("OK"));

    // A wrong CRC is never a reply: the identity (one attempt) runs into
    // its time-out, which clears the buffer, so the next exchange works.
    QVERIFY(sim.answer("badcrc 1").value(0).startsWith("OK"));
    timer.start();
    QVERIFY(!inWorker([&] { return driver->GetSerialNumber(identity); }));
    QVERIFY(timer.elapsed() >= 450);
    QVERIFY(inWorker([&] { return driver->GetSerialNumber(identity); }));
    // Values retry: the second attempt succeeds.
    QVERIFY(sim.answer("badcrc 1").value(0).startsWith("OK"));
    QVERIFY(inWorker([&] { return driver->ReadData(values); }));
    QCOMPARE(values.size(), 2);
    QCOMPARE(valueRequests(), 2);

    // Another station's reply is dropped as it arrives.
    QVERIFY(sim.answer("foreign 1").value(0).startsWith("OK"));
    QVERIFY(!inWorker([&] { return driver->GetSerialNumber(identity); }));
    QVERIFY(inWorker([&] { return driver->GetSerialNumber(identity); }));
    QVERIFY(sim.answer("foreign 1").value(0).startsWith("OK"));
    QVERIFY(inWorker([&] { return driver->ReadData(values); }));
    QCOMPARE(values.size(), 2);
    QCOMPARE(valueRequests(), 2);

    // A slow reply within the driver's wait (100 polls of 5 ms) is taken.
    QVERIFY(sim.answer("slow 200").value(0).startsWith("OK"));
    timer.restart();
    QVERIFY(inWorker([&] { return driver->ReadData(values); }));
    QVERIFY(timer.elapsed() >= 190);
    QCOMPARE(values.size(), 2);
    QCOMPARE(valueRequests(), 1);
    // Beyond it, all four attempts time out before the first reply lands.
    QVERIFY(sim.answer("slow 3000").value(0).startsWith("OK"));
    QVERIFY(!inWorker([&] { return driver->ReadData(values); }));
    QCOMPARE(valueRequests(), 4);
    QVERIFY(inWorker([&] { return driver->Close(); }));
}

// The instrument drops the connection while the driver waits for values:
// the read ends at once instead of running through its attempts, and the
// driver opens again afterwards.
void TestSimulator3107A::peerGoneMidRead()
{
    SimulatorProcess sim;
    QVERIFY(sim.start({"--model", "3107A-TC", "--tcp", "0", "--noise", "0"}, 1));
    std::unique_ptr<Collection> driver(ChannelModel::createCollection("3107A-TC"));
    const QString port = QString::number(sim.port());
    QVERIFY(inWorker([&] { return driver->Open("网络", "127.0.0.1", port); }));
    QVERIFY(inWorker([&] { return driver->SetChannels("快速", channelSet(driver.get(), {"101"}, "二线制", "K")); }));

    QVERIFY(sim.answer("slow 5000").value(0).startsWith("OK"));
    QStringList answer;
    QTimer::singleShot(200, [&] { answer = sim.answer("drop"); });
    QElapsedTimer timer;
    timer.start();
    QStringList values;
    QVERIFY(!inWorker([&] { return driver->ReadData(values); }));
    QVERIFY2(timer.elapsed() < 1500, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(answer.value(0), QStringLiteral("OK drop 1 connection(s)"));
    QVERIFY(!driver->IsOpen());
    QVERIFY(values.isEmpty());

    QVERIFY(sim.answer("normal").value(0).startsWith("OK"));
    QVERIFY(inWorker([&] { return driver->Open("网络", "127.0.0.1", port); }));
    QVERIFY(inWorker([&] { return driver->SetChannels("快速", channelSet(driver.get(), {"101"}, "二线制", "K")); }));
    QVERIFY(inWorker([&] { return driver->ReadData(values); }));
    QCOMPARE(values.size(), 1);
    QVERIFY(inWorker([&] { return driver->Close(); }));
}

QTEST_GUILESS_MAIN(TestSimulator3107A)
#include "tst_simulator_3107a.moc"
