#include "Collection3107A.h"
#include "DeviceLink.h"
#include "HexFrame.h"
#include "TestPeer.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

QByteArray bytes(const QString& hex)
{
    return QByteArray::fromHex(hex.toLatin1());
}

Device::Channel channel(const QString& number, const QString& wire, const QString& unit,
                        const QString& function = QString())
{
    Device::Channel ch;
    ch.ChannelNumber = number;
    ch.Wire = wire;
    ch.Unit = unit;
    ch.Function = function;
    return ch;
}

// Station 05 answering like the instrument: probe, identity, values (channel
// c reads 20 + c in temperature units, 0.5 + c electrically), writes echoed.
class Instrument
{
public:
    explicit Instrument(TestPeer& peer)
    {
        peer.respond = [this](const QByteArray& request) { return answer(request); };
    }

    int silentWrites = 0; // single writes left unanswered before answering

    QByteArray answer(const QByteArray& request)
    {
        const QString hex = QString::fromLatin1(request.toHex()).toUpper();
        if (hex == QStringLiteral("010300010001CAD5"))
            return bytes(HexFrame::withCrc(QStringLiteral("05030105"), true));
        if (!HexFrame::crcMatches(hex, true) || !hex.startsWith(QStringLiteral("05")))
            return {};
        const QString function = hex.mid(2, 2);
        if (function == QStringLiteral("06")) {
            if (silentWrites > 0) {
                --silentWrites;
                return {};
            }
            return request;
        }
        if (function == QStringLiteral("10"))
            return request;
        const QString reg = hex.mid(4, 4);
        const int count = hex.mid(8, 4).toInt(nullptr, 16);
        if (reg == QStringLiteral("1000"))
            return bytes(HexFrame::withCrc(QStringLiteral("05030A") + QString::fromLatin1(QByteArray("ARQ3107A01").toHex()),
                                           true));
        if (reg == QStringLiteral("0100") || reg == QStringLiteral("0200")) {
            QString reply = QStringLiteral("0503") + HexFrame::number(static_cast<uint>(2 * count), 2);
            for (int c = 0; c < count / 2; ++c)
                reply += HexFrame::floatToHex(reg == QStringLiteral("0100") ? 20.0f + c : 0.5f + c);
            return bytes(HexFrame::withCrc(reply, true));
        }
        return {};
    }
};

// Requests as upper-case hex text without the CRC.
QStringList bodies(const QList<QByteArray>& requests, int from = 0)
{
    QStringList list;
    for (int i = from; i < requests.size(); ++i) {
        const QString hex = QString::fromLatin1(requests.at(i).toHex()).toUpper();
        list << hex.left(hex.size() - 4);
    }
    return list;
}

QString floats(std::initializer_list<float> values)
{
    QString out;
    for (float v : values)
        out += HexFrame::floatToHex(v);
    return out;
}

} // namespace

class TestCollection3107A : public QObject
{
    Q_OBJECT
private slots:
    // The drivers' fixed waits (after each command, between retries) at a
    // tenth: the test's instrument answers at once.
    void init() { Device::setTimeScale(0.1); }
    void cleanup() { Device::setTimeScale(1.0); }
    void crc_data();
    void crc();
    void floatBytes();
    void frames();
    void codes();
    void decodeValues();
    void minInterval_data();
    void minInterval();
    void vocabulary();
    void checkChannels_data();
    void checkChannels();
    void unsupported();
    void identityClockAndValues();
    void setChannels_data();
    void setChannels();
    void setChannelsRefusesFarChannel();
    void electricalBlock();
    void retriesAndGivesUp();
    void dataFile();
    void dataFileHeaders_data();
    void dataFileHeaders();
    void dataFileDuplicateColumn();
    void dataFileTimeWindow_data();
    void dataFileTimeWindow();
};

void TestCollection3107A::crc_data()
{
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QString>("high");
    QTest::addColumn<QString>("low");
    QTest::newRow("probe") << "010300010001" << "CAD5" << "D5CA";
    QTest::newRow("check string") << QString::fromLatin1(QByteArray("123456789").toHex()) << "4B37" << "374B";
    QTest::newRow("empty") << QString() << "FFFF" << "FFFF";
}

void TestCollection3107A::crc()
{
    QFETCH(QString, hex);
    QFETCH(QString, high);
    QFETCH(QString, low);
    QCOMPARE(HexFrame::crcText(hex, true), high);
    QCOMPARE(HexFrame::crcText(hex, false), low);
    if (!hex.isEmpty())
        QVERIFY(HexFrame::crcMatches(hex + high.toLower(), true));
    QCOMPARE(HexFrame::withCrc(QStringLiteral("010300010001"), true), Collection3107A::ProbeFrame());
}

void TestCollection3107A::floatBytes()
{
    QCOMPARE(HexFrame::hexToFloat(QStringLiteral("0000c841")), 25.0f);
    QCOMPARE(HexFrame::hexToFloat(QStringLiteral("00 00 C8 41")), 25.0f);
    QCOMPARE(HexFrame::hexToFloat(QStringLiteral("0000c8")), 0.0f);
    QCOMPARE(HexFrame::floatToHex(25.0f), QStringLiteral("0000C841"));
    QCOMPARE(HexFrame::floatToHex(-1.5f), QStringLiteral("0000C0BF"));
}

void TestCollection3107A::frames()
{
    Collection3107A_TC driver;
    driver.Link()->setAddressPrefix(QStringLiteral("01"));
    QCOMPARE(driver.SerialNumberFrame(), HexFrame::withCrc(QStringLiteral("010310000005"), true));
    const QString clock = driver.SyncTimeFrame(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)));
    QCOMPARE(clock, HexFrame::withCrc(QStringLiteral("01101010000306180305") + "0E0709", true));
    QCOMPARE(driver.SingleWriteFrame(QStringLiteral("000E"), 2), HexFrame::withCrc("0106000E0002", true));
    QCOMPARE(driver.CoefficientFrame(3, {1.0f, 0.0f}),
             HexFrame::withCrc(QStringLiteral("01100016000408") + floats({1.0f, 0.0f}), true));
    QCOMPARE(driver.CoefficientFrame(15, {1, 2, 3, 4}),
             HexFrame::withCrc(QStringLiteral("0110002E000810") + floats({1, 2, 3, 4}), true));
    QCOMPARE(driver.CoefficientFrame(0, {1, 2, 3, 4, 5, 6}).mid(8, 6), QStringLiteral("000C18"));
    QVERIFY(driver.CoefficientFrame(0, {1, 2, 3}).isEmpty());
    QVERIFY(driver.CoefficientFrame(16, {1, 2}).isEmpty());
}

void TestCollection3107A::codes()
{
    QCOMPARE(Collection3107A::RateCode(QStringLiteral("快速")), 3);
    QCOMPARE(Collection3107A::RateCode(QStringLiteral("中速")), 2);
    QCOMPARE(Collection3107A::RateCode(QStringLiteral("慢速")), 1);
    QCOMPARE(Collection3107A::RateCode(QStringLiteral("x")), 0);
    QCOMPARE(Collection3107A::WiringCode(QStringLiteral("二线制")), 0);
    QCOMPARE(Collection3107A::WiringCode(QStringLiteral("三线制")), 1);
    QCOMPARE(Collection3107A::WiringCode(QStringLiteral("四线制")), 2);
    QCOMPARE(Collection3107A::ThermocoupleCode(QStringLiteral("A")), 1);
    QCOMPARE(Collection3107A::ThermocoupleCode(QStringLiteral("K")), 8);
    QCOMPARE(Collection3107A::ThermocoupleCode(QStringLiteral("Pt_Pd")), 20);
    QCOMPARE(Collection3107A::ThermocoupleCode(QStringLiteral("W")), 0);
}

void TestCollection3107A::decodeValues()
{
    // No link needed: the set is marked before the failing rate command.
    Collection3107A_PCR driver;
    QVERIFY(!driver.SetChannels(QStringLiteral("快速"),
                                {channel("101", "二线制", "℃"), channel("116", "二线制", "℃")}));
    QCOMPARE(driver.ChannelCountSet(), 16);
    QString reply = QStringLiteral("010340");
    for (int c = 0; c < 16; ++c)
        reply += c == 15 ? QStringLiteral("0000c841") : QStringLiteral("00000000");
    reply += QStringLiteral("abcd");
    QCOMPARE(driver.DecodeValues(reply), (QStringList{"0.000000", "25.000000"}));
}

void TestCollection3107A::minInterval_data()
{
    QTest::addColumn<QString>("rate");
    QTest::addColumn<QString>("wire");
    QTest::addColumn<int>("count");
    QTest::addColumn<double>("seconds");
    QTest::newRow("medium two-wire") << "中速" << "二线制" << 3 << 1.2;
    QTest::newRow("fast four-wire") << "快速" << "四线制" << 2 << 0.08;
    QTest::newRow("slow three-wire") << "慢速" << "三线制" << 8 << 1.2;
    QTest::newRow("unknown rate") << "x" << "二线制" << 1 << 2.4;
    QTest::newRow("empty set") << "快速" << "" << 0 << 0.16;
}

void TestCollection3107A::minInterval()
{
    QFETCH(QString, rate);
    QFETCH(QString, wire);
    QFETCH(int, count);
    QFETCH(double, seconds);
    QList<Device::Channel> set;
    for (int i = 0; i < count; ++i)
        set << channel(QString::number(101 + i), wire, "℃");
    Collection3107A_RTD driver;
    QVERIFY(qAbs(driver.MinInterval(rate, set) - seconds) < 1e-9);
}

void TestCollection3107A::vocabulary()
{
    Collection3107A_TC tc;
    Collection3107A_RTD rtd;
    Collection3107A_NTC ntc;
    Collection3107A_PCR pcr;
    QCOMPARE(tc.FunctionList(QString()).size(), 20);
    QCOMPARE(tc.UnitList("All"), (QStringList{"℃", "mV"}));
    QCOMPARE(tc.TypeList(101), QStringList{"热电偶"});
    QCOMPARE(rtd.WiringList("铂电阻"), (QStringList{"二线制", "三线制", "四线制"}));
    QCOMPARE(rtd.FunctionList("铂电阻"), (QStringList{"PT385", "ITS90"}));
    QCOMPARE(ntc.WiringList(QString()), (QStringList{"二线制", "四线制"}));
    QCOMPARE(pcr.WiringList(QString()), QStringList{"二线制"});
    QCOMPARE(pcr.UnitList(QString()), (QStringList{"℃", "Ω"}));
    QCOMPARE(ntc.TypeList(105), QStringList{"热敏电阻"});
    QCOMPARE(tc.CompensationList(), QStringList{"内部补偿"});
    QCOMPARE(tc.RateList(), (QStringList{"快速", "中速", "慢速"}));
    QCOMPARE(tc.CommunicationList(), (QStringList{"串口", "网络"}));
    QCOMPARE(tc.MaxChannelCount("1,1,1,0,0,0"), 16);
    QCOMPARE(tc.ChannelNumberList(3, QString()), (QStringList{"101", "102", "103"}));
    QCOMPARE(tc.ChannelNumberList(0, QString()).size(), 16);
    QCOMPARE(tc.ChannelNumberList(17, QString()).last(), QStringLiteral("116"));
    QCOMPARE(rtd.CoefficientMask("PT385"), (QList<bool>{false, false, false, false, true, false, false}));
    QCOMPARE(rtd.CoefficientMask("ITS90"), (QList<bool>{true, true, true, false, true, true, true}));
    QCOMPARE(ntc.CoefficientMask("R(T)"), (QList<bool>{true, true, true, true, false, false, false}));
    QCOMPARE(tc.CoefficientMask("K"), (QList<bool>{false, false, false, false, false, false, false}));
}

void TestCollection3107A::checkChannels_data()
{
    QTest::addColumn<QStringList>("numbers");
    QTest::addColumn<QStringList>("wires");
    QTest::addColumn<QStringList>("units");
    QTest::addColumn<QString>("message");

    QStringList all, twoWire, celsius;
    for (int i = 0; i < 16; ++i) {
        all << QString::number(101 + i);
        twoWire << "二线制";
        celsius << "℃";
    }
    QStringList mixed = celsius;
    mixed[5] = "mV";
    QTest::newRow("empty") << QStringList() << QStringList() << QStringList() << "通道未设置！";
    QTest::newRow("sixteen two-wire") << all << twoWire << celsius << QString();
    QTest::newRow("two units") << all << twoWire << mixed << "单位不许超过1个！";
    QTest::newRow("four-wire 109") << QStringList{"101", "109"} << QStringList{"四线制", "四线制"}
                                   << QStringList{"℃", "℃"} << "四线制下通道编号超限！";
    QTest::newRow("first two-wire decides") << QStringList{"101", "109"} << QStringList{"二线制", "四线制"}
                                            << QStringList{"℃", "℃"} << QString();
    QTest::newRow("range before units") << QStringList{"101", "110"} << QStringList{"三线制", "三线制"}
                                        << QStringList{"℃", "Ω"} << "四线制下通道编号超限！";
}

void TestCollection3107A::checkChannels()
{
    QFETCH(QStringList, numbers);
    QFETCH(QStringList, wires);
    QFETCH(QStringList, units);
    QFETCH(QString, message);
    QList<Device::Channel> set;
    for (int i = 0; i < numbers.size(); ++i)
        set << channel(numbers.at(i), wires.at(i), units.at(i));
    Collection3107A_RTD driver;
    QString text = QStringLiteral("stale");
    QCOMPARE(driver.CheckChannels(set, text), message.isEmpty());
    QCOMPARE(text, message);
}

void TestCollection3107A::unsupported()
{
    Collection3107A_TC driver;
    QStringList values;
    int count = 0;
    QVERIFY(!driver.GetPointCount(count));
    QVERIFY(!driver.GetData(values));
    QVERIFY(!driver.GetReadData(values));
    QVERIFY(!driver.StartScan());
    QVERIFY(!driver.StopScan());
    QVERIFY(!driver.GetLogFileList(values));
    QVERIFY(!driver.ReadLogFile("x"));
    QVERIFY(!driver.SetAutoLog(true));
    QVERIFY(driver.SetTrigger(1.0, 1));
    QVERIFY(driver.StartRead());
    QVERIFY(!driver.ReadData(values)); // no station, no channel set
    QVERIFY(!driver.SyncTime(QDateTime::currentDateTime()));
    QVERIFY(driver.CloseDataFile());
}

void TestCollection3107A::identityClockAndValues()
{
    TestPeer peer;
    Instrument instrument(peer);
    Collection3107A_TC driver;
    QVERIFY(inWorker([&] { return driver.Open("网络", "127.0.0.1", peer.port()); }));
    QCOMPARE(driver.AddressPrefixText(), QStringLiteral("05"));

    QString identity;
    QVERIFY(inWorker([&] { return driver.GetSerialNumber(identity); }));
    QCOMPARE(identity, QStringLiteral("ARQ3107A01"));

    const QDateTime t(QDate(2024, 3, 5), QTime(14, 7, 9));
    QVERIFY(inWorker([&] { return driver.SyncTime(t); }));
    QCOMPARE(bodies(peer.requests).last(), QStringLiteral("05101010000306") + "1803050E0709");

    // Values need a channel set first, and are read without any I/O before.
    const int sent = peer.requests.size();
    QStringList values;
    QVERIFY(!inWorker([&] { return driver.ReadData(values); }));
    QCOMPARE(peer.requests.size(), sent);

    QVERIFY(inWorker([&] {
        return driver.SetChannels("快速", {channel("101", "二线制", "℃", "K"), channel("103", "二线制", "℃", "K")});
    }));
    QVERIFY(inWorker([&] { return driver.ReadData(values); }));
    QCOMPARE(bodies(peer.requests).last(), QStringLiteral("050301000020"));
    QCOMPARE(values, (QStringList{"20.000000", "22.000000"}));
    QVERIFY(inWorker([&] { return driver.StartRead() && driver.WaitData(values); }));
    QCOMPARE(values.size(), 2);
    QVERIFY(inWorker([&] { return driver.Close(); }));
}

void TestCollection3107A::setChannels_data()
{
    QTest::addColumn<QString>("variant");
    QTest::addColumn<QStringList>("expected");

    const QString m = floats({1.5f, -0.25f});
    QTest::newRow("TC") << "TC"
                        << QStringList{"05100010000408" + m, "05100014000408" + m, "0506000E0003",
                                       "0506000D0008"};
    QTest::newRow("RTD") << "RTD"
                         << QStringList{"0506000E0003", "0506000C0002",
                                        "051000100" "00C18" + floats({100, 1, 2, 3, 5, 6}),
                                        "051000140" "00C18" + floats({100, 0, 0, 0, 0, 0})};
    QTest::newRow("NTC") << "NTC"
                         << QStringList{"0506000E0003", "0506000C0002",
                                        "05100010000810" + floats({1, 2, 3, 4}),
                                        "05100014000810" + floats({1, 2, 3, 4})};
    QTest::newRow("PCR") << "PCR"
                         << QStringList{"0506000E0003", "05100010000810" + floats({1, 2, 3, 4}),
                                        "05100014000810" + floats({1, 2, 3, 4})};
}

void TestCollection3107A::setChannels()
{
    QFETCH(QString, variant);
    QFETCH(QStringList, expected);

    TestPeer peer;
    Instrument instrument(peer);
    std::unique_ptr<Collection3107A> driver;
    QString wire = "四线制";
    if (variant == "TC") {
        driver.reset(new Collection3107A_TC);
        wire = "二线制";
    } else if (variant == "RTD") {
        driver.reset(new Collection3107A_RTD);
    } else if (variant == "NTC") {
        driver.reset(new Collection3107A_NTC);
    } else {
        driver.reset(new Collection3107A_PCR);
    }
    QVERIFY(inWorker([&] { return driver->Open("网络", "127.0.0.1", peer.port()); }));

    QList<Device::Channel> set;
    for (const QString& number : {QStringLiteral("101"), QStringLiteral("103")}) {
        Device::Channel ch = channel(number, wire, "℃", variant == "TC" ? "K" : "R(T)");
        ch.MX_B_M = 1.5f;
        ch.MX_B_B = -0.25f;
        ch.A_C0 = "1";
        ch.B_C1 = "2";
        ch.C_C2 = "3";
        ch.D_C3 = "4";
        ch.R0_C4 = "100";
        ch.A4_C5 = "5";
        ch.B4_C6 = "6";
        set << ch;
    }
    if (variant == "RTD") {
        set[0].Function = "ITS90";
        set[1].Function = "PT385";
    }
    const int sent = peer.requests.size();
    QVERIFY(inWorker([&] { return driver->SetChannels("快速", set); }));
    QCOMPARE(bodies(peer.requests, sent), expected);
    QCOMPARE(driver->ChannelCountSet(), variant == "TC" ? 16 : 8);
    QVERIFY(driver->TempUnitSet());
    QList<bool> enabled = driver->ChannelEnabledSet();
    QCOMPARE(enabled.count(true), 2);
    QVERIFY(enabled.at(0) && enabled.at(2));
}

void TestCollection3107A::setChannelsRefusesFarChannel()
{
    Collection3107A_RTD driver;
    QVERIFY(!driver.SetChannels("快速", {}));
    QVERIFY(!driver.SetChannels("快速", {channel("101", "四线制", "℃"), channel("109", "四线制", "℃")}));
    QCOMPARE(driver.ChannelCountSet(), 8);
}

void TestCollection3107A::electricalBlock()
{
    TestPeer peer;
    Instrument instrument(peer);
    Collection3107A_TC driver;
    QVERIFY(inWorker([&] { return driver.Open("网络", "127.0.0.1", peer.port()); }));
    QVERIFY(inWorker([&] { return driver.SetChannels("慢速", {channel("102", "二线制", "mV", "K")}); }));
    QVERIFY(!driver.TempUnitSet());
    QStringList values;
    QVERIFY(inWorker([&] { return driver.ReadData(values); }));
    QCOMPARE(bodies(peer.requests).last(), QStringLiteral("050302000020"));
    QCOMPARE(values, QStringList{"1.500000"});
}

void TestCollection3107A::retriesAndGivesUp()
{
    TestPeer peer;
    Instrument instrument(peer);
    Collection3107A_PCR driver;
    QVERIFY(inWorker([&] { return driver.Open("网络", "127.0.0.1", peer.port()); }));

    // One unanswered attempt, then the echo: the rate command still succeeds.
    instrument.silentWrites = 1;
    int sent = peer.requests.size();
    QVERIFY(inWorker([&] { return driver.SetChannels("中速", {channel("101", "二线制", "Ω", "R(T)")}); }));
    QCOMPARE(bodies(peer.requests, sent).mid(0, 2), (QStringList{"0506000E0002", "0506000E0002"}));

    // Never answered: four attempts, then failure.
    instrument.silentWrites = 100;
    sent = peer.requests.size();
    QVERIFY(!inWorker([&] { return driver.SetChannels("中速", {channel("101", "二线制", "Ω", "R(T)")}); }));
    QCOMPARE(peer.requests.size() - sent, 4);
}

void TestCollection3107A::dataFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("data.csv");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Text));
    file.write("Time,CH01,CH02,CH03,CH04,CH05,CH06,CH07,CH08\n"
               "2024-03-05 10:00:00,1.5,2.25,3.125,4,5,6,7,8\n"
               "2024-03-05 10:00:10,11.5,12.25,13.1234567,14,15,16,17,18\n"
               "2024-03-05 10:00:20,21.5,22.25,23.125,24,25,26,27,28\n"
               "bad line\n");
    file.close();

    Collection3107A_TC driver;
    QVERIFY(driver.OpenDataFile(path, {"101", "103"}));
    QStringList values;
    QVERIFY(driver.ReadDataFile(QDateTime(QDate(2024, 3, 5), QTime(10, 0, 1)), values));
    QCOMPARE(values, (QStringList{"1.5", "3.125"}));
    // Skips forward to the record within one second of the time asked.
    QVERIFY(driver.ReadDataFile(QDateTime(QDate(2024, 3, 5), QTime(10, 0, 9)), values));
    QCOMPARE(values, (QStringList{"11.5", "13.1235"}));
    // Nothing matches: runs into the short line and fails.
    QVERIFY(!driver.ReadDataFile(QDateTime(QDate(2024, 3, 5), QTime(9, 0, 0)), values));
    QVERIFY(values.isEmpty());
    QVERIFY(driver.CloseDataFile());
    QVERIFY(!driver.ReadDataFile(QDateTime(QDate(2024, 3, 5), QTime(10, 0, 20)), values));

    QVERIFY(!driver.OpenDataFile(path, {"101", "109"})); // channel 109 not in the file
    QVERIFY(!driver.OpenDataFile(dir.filePath("missing.csv"), {"101"}));
}

void TestCollection3107A::dataFileHeaders_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("opens");
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("too few columns") << QByteArray("Time,CH01,CH02\n") << false;
    QTest::newRow("not time") << QByteArray("Date,CH01,CH02,CH03,CH04,CH05,CH06,CH07,CH08\n") << false;
    QTest::newRow("short header stops scan") << QByteArray("Time,CH01,X,CH03,CH04,CH05,CH06,CH07,CH08\n") << false;
    QTest::newRow("crlf header") << QByteArray("Time,CH01,CH02,CH03,CH04,CH05,CH06,CH07,CH08\r\n") << true;
}

void TestCollection3107A::dataFileHeaders()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, opens);
    QTemporaryDir dir;
    QFile file(dir.filePath("d.csv"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    file.close();
    Collection3107A_TC driver;
    QCOMPARE(driver.OpenDataFile(file.fileName(), {"101", "108"}), opens);
}

void TestCollection3107A::dataFileDuplicateColumn()
{
    QTemporaryDir dir;
    QFile file(dir.filePath("d.csv"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Time,CH01,CH01,CH03,CH04,CH05,CH06,CH07,CH08\n"
               "2024-03-05 10:00:00,1,9,3,4,5,6,7,8\n");
    file.close();
    Collection3107A_TC driver;
    // The repeated column does not stand in for channel 102.
    QVERIFY(!driver.OpenDataFile(file.fileName(), {"101", "102"}));
    // Nor does it count twice against a set the file holds; its first column is read.
    QVERIFY(driver.OpenDataFile(file.fileName(), {"101", "108"}));
    QStringList values;
    QVERIFY(driver.ReadDataFile(QDateTime(QDate(2024, 3, 5), QTime(10, 0, 0)), values));
    QCOMPARE(values, (QStringList{"1", "8"}));
}

void TestCollection3107A::dataFileTimeWindow_data()
{
    QTest::addColumn<int>("offsetMs");
    QTest::addColumn<bool>("found");
    QTest::newRow("same second") << 0 << true;
    QTest::newRow("one second later") << 1000 << true;
    QTest::newRow("one second earlier") << -1000 << true;
    QTest::newRow("just beyond, later") << 1001 << false;
    QTest::newRow("just beyond, earlier") << -1001 << false;
}

void TestCollection3107A::dataFileTimeWindow()
{
    QFETCH(int, offsetMs);
    QFETCH(bool, found);
    QTemporaryDir dir;
    QFile file(dir.filePath("d.csv"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("Time,CH01,CH02,CH03,CH04,CH05,CH06,CH07,CH08\n"
               "2024-03-05 10:00:00,1.25,2,3,4,5,6,7,8\n");
    file.close();
    Collection3107A_TC driver;
    QVERIFY(driver.OpenDataFile(file.fileName(), {"101"}));
    QStringList values;
    const QDateTime t = QDateTime(QDate(2024, 3, 5), QTime(10, 0, 0)).addMSecs(offsetMs);
    QCOMPARE(driver.ReadDataFile(t, values), found);
    QCOMPARE(values, found ? QStringList{"1.25"} : QStringList());
}

QTEST_GUILESS_MAIN(TestCollection3107A)
#include "tst_collection3107a.moc"
