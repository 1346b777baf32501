// The 3108A and 1586A drivers against scripted peers: the frames and lines
// they send, what they accept as replies, and their data-file readers.

#include "Collection1586A.h"
#include "Collection3108A.h"
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

QString hexOf(const QByteArray& b)
{
    return QString::fromLatin1(b.toHex()).toUpper();
}

Device::Channel channel(const QString& number, const QString& type, const QString& function,
                        const QString& unit = QStringLiteral("℃"), const QString& wire = QStringLiteral("二线制"))
{
    Device::Channel ch;
    ch.ChannelNumber = number;
    ch.Type = type;
    ch.Function = function;
    ch.Unit = unit;
    ch.Wire = wire;
    ch.CompensationWay = QStringLiteral("内部补偿");
    ch.ColdJunctionTemp = QStringLiteral("0");
    return ch;
}

// A 3108A at a station: the probe is answered with the station, writes with
// the acknowledgement lengths of the instrument, the trigger with values.
class Logger3108A
{
public:
    Logger3108A(TestPeer& peer, int station) : m_Station(HexFrame::number(static_cast<uint>(station), 2))
    {
        peer.respond = [this](const QByteArray& request) { return answer(request); };
        values << 0.004f << 25.0f;
    }

    QList<float> values;
    bool wrongValueLength = false;

    QByteArray reply(const QString& body) const { return bytes(HexFrame::withCrc(m_Station + body, false)); }

    QByteArray answer(const QByteArray& request)
    {
        const QString hex = hexOf(request);
        if (!HexFrame::crcMatches(hex, false))
            return {};
        if (hex.startsWith(QStringLiteral("0103000100")))
            return reply(QStringLiteral("0301") + m_Station);
        if (!hex.startsWith(m_Station))
            return {};
        const QString function = hex.mid(2, 2), reg = hex.mid(4, 4);
        if (function == QStringLiteral("03") && reg == QStringLiteral("1000"))
            return reply(QStringLiteral("030A") + QString::fromLatin1(QByteArray("LOG3108A02").toHex()));
        if (function == QStringLiteral("03") && reg == QStringLiteral("101B"))
            return reply(QStringLiteral("0304E8030000")); // 1000
        if (function == QStringLiteral("06") && reg == QStringLiteral("101A")) {
            QString body = QStringLiteral("03") + HexFrame::number(static_cast<uint>(4 * values.size()), 2);
            for (float v : values)
                body += HexFrame::floatToHex(v);
            if (wrongValueLength)
                body += QStringLiteral("00");
            return reply(body);
        }
        if (function == QStringLiteral("06") && reg == QStringLiteral("000E"))
            return request;
        if (function == QStringLiteral("06") && reg == QStringLiteral("1018"))
            return reply(hex.mid(2, 6));
        if (function == QStringLiteral("06"))
            return reply(hex.mid(2, 6) + QStringLiteral("00"));
        if (reg == QStringLiteral("1017"))
            return reply(hex.mid(2, 12) + hex.mid(hex.size() - 12, 8));
        if (reg == QStringLiteral("1019"))
            return reply(hex.mid(2, 12));
        return request;
    }

private:
    QString m_Station;
};

QStringList lines(const TestPeer& peer)
{
    QStringList out;
    for (const QByteArray& r : peer.requests)
        out << QString::fromUtf8(r);
    return out;
}

} // namespace

class TestLoggers : public QObject
{
    Q_OBJECT
private slots:
    void init() { Device::setTimeScale(0.05); }
    void cleanup() { Device::setTimeScale(1.0); }

    void configurationWords_data();
    void configurationWords();
    void frames3108A();
    void session3108A();
    void stationsOneAfterAnother();
    void preconditionsWithoutStation();
    void scaling_data();
    void scaling();
    void channelLines1586A_data();
    void channelLines1586A();
    void session1586A();
    void logFiles1586A();
    void clockReply1586A_data();
    void clockReply1586A();
    void nulOnTheLine();
    void loggerDataFile();
    void scannerDataFile_data();
    void scannerDataFile();
};

void TestLoggers::configurationWords_data()
{
    QTest::addColumn<Device::Channel>("ch");
    QTest::addColumn<int>("word"); // -1: refused
    QTest::newRow("K internal") << channel("101", "热电偶", "K") << 0xA700;
    Device::Channel fixed = channel("101", "热电偶", "T", "mV");
    fixed.CompensationWay = QStringLiteral("固定冷端");
    QTest::newRow("T fixed junction in mV") << fixed << (0xAD00 | 0x80 | 0x40);
    Device::Channel unknownWay = channel("101", "热电偶", "K");
    unknownWay.CompensationWay = QStringLiteral("外部");
    QTest::newRow("unknown compensation") << unknownWay << -1;
    QTest::newRow("Pt100 four-wire in ohm") << channel("103", "铂电阻", "PT100-385", "Ω", "四线制") << 0x82A0;
    QTest::newRow("ITS90 three-wire") << channel("103", "铂电阻", "ITS90", "℃", "三线制") << 0x8B10;
    QTest::newRow("thermistor three-wire refused") << channel("104", "热敏电阻", "10kΩ", "℃", "三线制") << -1;
    QTest::newRow("thermistor R(T) four-wire") << channel("104", "热敏电阻", "R(T)", "℃", "四线制") << 0x932F;
    QTest::newRow("voltage 10V") << channel("105", "直流电压", "10V", "V") << 0x0001;
    QTest::newRow("current 100mA-24V") << channel("125", "直流电流", "100mA-24V", "mA") << 0x1041;
    QTest::newRow("current 1μA") << channel("125", "直流电流", "1μA", "μA") << 0x1006;
    QTest::newRow("resistance auto two-wire") << channel("106", "电阻", "自动", "Ω") << 0x200F;
    QTest::newRow("frequency") << channel("107", "频率", "自动", "V") << 0x300F;
    QTest::newRow("unknown range") << channel("105", "直流电压", "50V", "V") << -1;
    QTest::newRow("unknown type") << channel("105", "交流电压", "自动", "V") << -1;
}

void TestLoggers::configurationWords()
{
    QFETCH(Device::Channel, ch);
    QFETCH(int, word);
    quint16 got = 0;
    QCOMPARE(Collection3108A::ConfigWord(ch, got), word >= 0);
    if (word >= 0)
        QCOMPARE(int(got), word);
}

void TestLoggers::frames3108A()
{
    // The probe goes out with the CRC low byte first, unlike the 3107A.
    QCOMPARE(Collection3108A::ProbeFrame().toUpper(), QStringLiteral("010300010001D5CA"));
    TestPeer peer;
    Logger3108A logger(peer, 1);
    Collection3108A driver;
    QVERIFY(inWorker([&] { return driver.Open("网络", "127.0.0.1", peer.port()); }));
    QCOMPARE(hexOf(peer.requests.value(0)), QStringLiteral("010300010001D5CA"));
    // One hour, two minutes, five and a half seconds.
    QCOMPARE(driver.TriggerIntervalFrame(3725.5).left(22).toUpper(), QStringLiteral("01101019000204") + "01020532");
    QCOMPARE(driver.SyncTimeFrame(QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9))).mid(2, 24).toUpper(),
             QStringLiteral("101010000306180305") + "0E0709");
    QCOMPARE(driver.EnableMaskFrame((quint64(1) << 25) | 1).mid(14, 16), QStringLiteral("0000000002000001"));
    QVERIFY(inWorker([&] { return driver.SetTrigger(3725.5, 7); }));
    // Hundredths are rounded, not cut from a binary fraction (1.15 s is
    // 1.149999… and went out as 14); a round-up carries into the seconds.
    const QList<QPair<double, QString>> intervals{{1.15, "0000010F"}, {0.29, "0000001D"}, {2.3, "0000021E"},
                                                  {59.999, "00010000"}, {3599.996, "01000000"}, {10, "00000A00"}};
    for (const auto& interval : intervals) {
        peer.requests.clear();
        QVERIFY(inWorker([&] { return driver.SetTrigger(interval.first, 0); }));
        QCOMPARE(hexOf(peer.requests.value(0)).mid(14, 8), interval.second);
    }
    QVERIFY(inWorker([&] { return driver.Close(); }));
}

void TestLoggers::session3108A()
{
    TestPeer peer;
    Logger3108A logger(peer, 1);
    Collection3108A driver;
    QVERIFY(inWorker([&] { return driver.Open("网络", "127.0.0.1", peer.port()); }));
    QString serial;
    QVERIFY(inWorker([&] { return driver.GetSerialNumber(serial); }));
    QCOMPARE(serial, QStringLiteral("LOG3108A02"));

    // A fixed cold junction is written once, from the first channel; a
    // platinum channel sends R0 before its correction; the word goes last.
    QList<Device::Channel> set{channel("125", "直流电流", "自动", "mA"), channel("101", "热电偶", "K"),
                               channel("102", "铂电阻", "PT100-385")};
    for (Device::Channel& ch : set) {
        ch.CompensationWay = QStringLiteral("固定冷端");
        ch.ColdJunctionTemp = QStringLiteral("20");
    }
    set[2].R0_C4 = QStringLiteral("100.02");
    peer.requests.clear();
    QVERIFY(inWorker([&] { return driver.SetChannels("快速", set); }));
    QStringList sent;
    for (const QByteArray& r : peer.requests)
        sent << hexOf(r).left(hexOf(r).size() - 4);
    const QStringList expected{
        "0106101800" "00", "01060" "00E0003",
        "011000400004" "08" + HexFrame::floatToHex(1) + HexFrame::floatToHex(0), "01061038" "100F",
        "011000100004" "08" + HexFrame::floatToHex(1) + HexFrame::floatToHex(0), "01061020" "A740",
        "011000120002" "04" + HexFrame::floatToHex(100.02f),
        "011000120004" "08" + HexFrame::floatToHex(1) + HexFrame::floatToHex(0), "01061021" "8200",
        "011001F00002" "04" + HexFrame::floatToHex(20),
        "011010170004" "08" "0000000001000003"};
    QCOMPARE(sent, expected);
    QCOMPARE(driver.ChannelTotal(), 3);

    // Values come back in channel-set order; a current read in mA scales.
    logger.values.clear();
    logger.values << 0.004f << 25.0f << 0.5f;
    QStringList values;
    QVERIFY(inWorker([&] { return driver.ReadData(values); }));
    QCOMPARE(values, (QStringList{"4.000000", "25.000000", "0.500000"}));
    // The trigger is written, then the values are waited for.
    QVERIFY(inWorker([&] { return driver.StartRead() && driver.WaitData(values); }));
    QCOMPARE(values.size(), 3);
    // A first reply of the wrong length fails at once.
    logger.wrongValueLength = true;
    QElapsedTimer t;
    t.start();
    QVERIFY(inWorker([&] { return driver.StartRead() && !driver.WaitData(values); }));
    QVERIFY(values.isEmpty());
    int count = 0;
    QVERIFY(inWorker([&] { return driver.GetPointCount(count); }));
    QCOMPARE(count, 1000);
    QStringList names;
    QVERIFY(!driver.GetLogFileList(names));
    QVERIFY(!driver.SetAutoLog(true));
    QVERIFY(inWorker([&] { return driver.Close(); }));
}

void TestLoggers::stationsOneAfterAnother()
{
    // The page keeps its driver between tests: a logger at station 3 tested
    // after one at station 2 must still answer the probe.
    TestPeer second, third;
    Logger3108A at2(second, 2), at3(third, 3);
    Collection3108A driver;
    QString serial;
    QVERIFY(inWorker([&] { return driver.Open("网络", "127.0.0.1", second.port()); }));
    QCOMPARE(driver.AddressPrefixText(), QStringLiteral("02"));
    QVERIFY(inWorker([&] { return driver.GetSerialNumber(serial) && driver.Close(); }));
    QVERIFY(inWorker([&] { return driver.Open("网络", "127.0.0.1", third.port()); }));
    QCOMPARE(driver.AddressPrefixText(), QStringLiteral("03"));
    QVERIFY(inWorker([&] { return driver.GetSerialNumber(serial) && driver.Close(); }));
}

void TestLoggers::preconditionsWithoutStation()
{
    // Every command that needs the station fails without I/O before a probe.
    Collection3108A driver;
    QStringList values;
    int count = 0;
    QVERIFY(!driver.SyncTime(QDateTime::currentDateTime()));
    QVERIFY(!driver.SetTrigger(1, 0));
    QVERIFY(!driver.StartScan());
    QVERIFY(!driver.StopScan());
    QVERIFY(!driver.StartRead());
    QVERIFY(!driver.ReadData(values));
    QVERIFY(!driver.GetData(values));
    QVERIFY(!driver.GetPointCount(count));
    QVERIFY(!driver.SetChannels("快速", {channel("101", "热电偶", "K")}));
    QCOMPARE(driver.Link()->queuedCount(), 0);
}

void TestLoggers::scaling_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("unit");
    QTest::addColumn<double>("raw");
    QTest::addColumn<double>("shown");
    QTest::newRow("current mA") << "直流电流" << "mA" << 0.004 << 4.0;
    QTest::newRow("current as ℃") << "直流电流" << "℃" << 0.004 << 4.0;
    QTest::newRow("current μA") << "直流电流" << "μA" << 0.000002 << 2.0;
    QTest::newRow("current as KPa") << "直流电流" << "KPa" << 0.02 << 20.0;
    QTest::newRow("voltage mV") << "直流电压" << "mV" << 0.0125 << 12.5;
    QTest::newRow("voltage as ℃") << "直流电压" << "℃" << 2.5 << 2.5;
    QTest::newRow("resistance kΩ") << "电阻" << "kΩ" << 1500.0 << 1.5;
    QTest::newRow("resistance MΩ") << "电阻" << "MΩ" << 2000000.0 << 2.0;
    QTest::newRow("temperature") << "热电偶" << "℃" << 25.0 << 25.0;
}

void TestLoggers::scaling()
{
    QFETCH(QString, type);
    QFETCH(QString, unit);
    QFETCH(double, raw);
    QFETCH(double, shown);
    QCOMPARE(Collection3108A::Scale(channel("101", type, "自动", unit), raw), shown);
}

void TestLoggers::channelLines1586A_data()
{
    QTest::addColumn<Device::Channel>("ch");
    QTest::addColumn<QStringList>("lines");
    const QString scale = "CALC:SCAL:STAT ON,(@%1)\r\n|CALC:SCAL:GAIN 1,(@%1)\r\n|CALC:SCAL:OFFS 0,(@%1)\r\n";
    const auto with = [&](const QString& number, QStringList first) {
        return first + scale.arg(number).split(QLatin1Char('|'));
    };
    QTest::newRow("K internal")
        << channel("101", "热电偶", "K")
        << with("101", {"ROUT:CHAN:STAT ON,(@101)\r\n", "TEMP:TC:TYPE K,(@101)\r\n", "TEMP:TC:RJUN:TYPE INT,(@101)\r\n"});
    Device::Channel front = channel("001", "热电偶", "S");
    front.A_C0 = "1";
    front.B_C1 = "2";
    front.C_C2 = "3";
    front.D_C3 = "4";
    front.CompensationWay = QStringLiteral("固定冷端");
    // The front input gets no reference-junction commands.
    QTest::newRow("front S") << front
                             << with("001", {"ROUT:CHAN:STAT ON,(@001)\r\n", "TEMP:TC:TYPE S,(@001)\r\n",
                                             "TEMP:TC:S:COEF 1,2,3,4,(@001)\r\n"});
    Device::Channel fixed = channel("102", "热电偶", "J");
    fixed.CompensationWay = QStringLiteral("固定冷端");
    fixed.ColdJunctionTemp = QStringLiteral("21.5");
    QTest::newRow("J fixed") << fixed
                             << with("102", {"ROUT:CHAN:STAT ON,(@102)\r\n", "TEMP:TC:TYPE J,(@102)\r\n",
                                             "TEMP:TC:RJUN:TYPE FIX,(@102)\r\n", "TEMP:TC:RJUN 21.5,(@102)\r\n"});
    Device::Channel its = channel("103", "铂电阻", "ITS90", "℃", "四线制");
    its.R0_C4 = "25.5";
    its.A_C0 = "a";
    its.B_C1 = "b";
    its.C_C2 = "c";
    its.D_C3 = "d";
    its.A4_C5 = "a4";
    its.B4_C6 = "b4";
    QTest::newRow("ITS90") << its
                           << with("103", {"ROUT:CHAN:STAT ON,(@103)\r\n", "TEMP:FRTD:TYPE SPRT,(@103)\r\n",
                                           "TEMP:FRTD:SPRT:RTPW 25.5,(@103)\r\n",
                                           "TEMP:FRTD:SPRT:COEF:HIGH a,b,c,d,(@103)\r\n",
                                           "TEMP:FRTD:SPRT:COEF:LOW a4,b4,(@103)\r\n"});
    QTest::newRow("thermistor 5k four-wire")
        << channel("104", "热敏电阻", "5kΩ", "℃", "四线制")
        << with("104", {"ROUT:CHAN:STAT ON,(@104)\r\n", "TEMP:FTH:TYPE R5K,(@104)\r\n"});
    // A voltage function that is no listed range adds nothing of its own.
    QTest::newRow("voltage unlisted") << channel("121", "直流电压", "5V", "V")
                                      << with("121", {"ROUT:CHAN:STAT ON,(@121)\r\n"});
    QTest::newRow("AC voltage auto") << channel("122", "交流电压", "自动", "V")
                                     << with("122", {"ROUT:CHAN:STAT ON,(@122)\r\n", "VOLT:AC:RANG:AUTO ON,(@122)\r\n"});
    QTest::newRow("current 10mA") << channel("105", "直流电流", "10mA", "mV")
                                  << with("105", {"ROUT:CHAN:STAT ON,(@105)\r\n", "CURR:RANG 1e-02,(@105)\r\n"});
    QTest::newRow("four-wire 10MΩ") << channel("106", "电阻", "10MΩ", "Ω", "四线制")
                                    << with("106", {"ROUT:CHAN:STAT ON,(@106)\r\n", "FRES:RANG 1e+07,(@106)\r\n"});
    QTest::newRow("frequency") << channel("107", "频率", "", "V")
                               << with("107", {"ROUT:CHAN:STAT ON,(@107)\r\n", "CONF:FREQ(@107)\r\n"});
}

void TestLoggers::channelLines1586A()
{
    QFETCH(Device::Channel, ch);
    QFETCH(QStringList, lines);
    QCOMPARE(Collection1586A::ChannelCommands(ch), lines);
}

void TestLoggers::session1586A()
{
    TestPeer peer(TestPeer::Mode::Lines);
    QDateTime clock;
    peer.respond = [&](const QByteArray& request) -> QByteArray {
        const QString line = QString::fromLatin1(request).trimmed();
        if (line == QLatin1String("*IDN?"))
            return "FLUKE,1586A,1234567,1.00\r\n";
        if (line.startsWith(QLatin1String("SYST:DATE ")) || line.startsWith(QLatin1String("SYST:TIME "))) {
            const QStringList n = line.mid(10).split(QLatin1Char(','));
            if (line.startsWith(QLatin1String("SYST:DATE")))
                clock.setDate(QDate(n[0].toInt(), n[1].toInt(), n[2].toInt()));
            else
                clock.setTime(QTime(n[0].toInt(), n[1].toInt(), n[2].toInt()));
            return {};
        }
        if (line == QLatin1String("SYST:DATE?"))
            return clock.date().toString("yyyy,M,d").toLatin1() + "\r\n";
        if (line == QLatin1String("SYST:TIME?"))
            return clock.time().toString("+h,+m,+s.000").toLatin1() + "\r\n";
        if (line == QLatin1String("READ?"))
            return "+2.500000E+01,+2.510000E+01\r\n";
        if (line == QLatin1String("DATA:POIN?"))
            return "12\r\n";
        return {};
    };
    Collection1586A driver;
    QVERIFY(inWorker([&] { return driver.Open("网络", "127.0.0.1", peer.port()); }));
    QString identity;
    QVERIFY(inWorker([&] { return driver.GetSerialNumber(identity); }));
    QCOMPARE(identity, QStringLiteral("FLUKE,1586A,1234567,1.00"));
    const QDateTime now(QDate(2024, 3, 5), QTime(14, 7, 9));
    QVERIFY(inWorker([&] { return driver.SyncTime(now); }));
    QVERIFY(lines(peer).contains("SYST:DATE 2024,3,5\r\n"));
    QVERIFY(lines(peer).contains("SYST:TIME 14,7,9\r\n"));

    // The example sequence: reset, rate, unit, then the channel's lines.
    peer.requests.clear();
    QVERIFY(inWorker([&] { return driver.SetChannels("中速", {channel("101", "热电偶", "K")}); }));
    QTRY_COMPARE(lines(peer), (QStringList{"*RST\r\n", "RATE MED\r\n", "UNIT:TEMP C\r\n", "ROUT:CHAN:STAT ON,(@101)\r\n",
                                       "TEMP:TC:TYPE K,(@101)\r\n", "TEMP:TC:RJUN:TYPE INT,(@101)\r\n",
                                       "CALC:SCAL:STAT ON,(@101)\r\n", "CALC:SCAL:GAIN 1,(@101)\r\n",
                                       "CALC:SCAL:OFFS 0,(@101)\r\n"}));
    // An empty set resets and sets the rate only; mV sends no unit command.
    peer.requests.clear();
    QVERIFY(inWorker([&] { return driver.SetChannels("其他", {}); }));
    QTRY_COMPARE(lines(peer), (QStringList{"*RST\r\n", "RATE \r\n"}));
    peer.requests.clear();
    QVERIFY(inWorker([&] { return driver.SetChannels("快速", {channel("102", "直流电压", "1V", "mV")}); }));
    QTRY_COMPARE(lines(peer).mid(0, 3), (QStringList{"*RST\r\n", "RATE FAST\r\n", "ROUT:CHAN:STAT ON,(@102)\r\n"}));

    peer.requests.clear();
    QVERIFY(inWorker([&] { return driver.SetTrigger(2.9, 5); }));
    QTRY_COMPARE(lines(peer), (QStringList{"TRIG:SOUR TIM\r\n", "TRIG:TIM 2\r\n", "TRIG:COUN 5\r\n", "DATA:CLE\r\n"}));

    QStringList values;
    QVERIFY(inWorker([&] { return driver.ReadData(values); }));
    QCOMPARE(values, (QStringList{"+2.500000E+01", "+2.510000E+01"}));
    int count = 0;
    QVERIFY(inWorker([&] { return driver.GetPointCount(count); }));
    QCOMPARE(count, 12);
    peer.requests.clear();
    QVERIFY(inWorker([&] { return driver.SetAutoLog(true) && driver.StartScan() && driver.StopScan(); }));
    QTRY_COMPARE(lines(peer), (QStringList{"DATA:LOG:AUTO ON\r\n", "INIT\r\n", "ABOR\r\n"}));

    // A clock that does not take the time is reported.
    peer.respond = [&](const QByteArray& request) -> QByteArray {
        const QString line = QString::fromLatin1(request).trimmed();
        if (line == QLatin1String("SYST:DATE?"))
            return "2000,1,1\r\n";
        if (line == QLatin1String("SYST:TIME?"))
            return "0,0,0\r\n";
        if (line == QLatin1String("*IDN?"))
            return "FLUKE,1594A,1,1\r\n";
        return {};
    };
    QVERIFY(!inWorker([&] { return driver.SyncTime(now); }));
    QVERIFY(!inWorker([&] { return driver.GetSerialNumber(identity); }));

    // Clock answers at the instrument's pace: a slow one is waited for and
    // taken for its own query, not the next; one that never comes is no
    // failure, since the set commands went out. The driver's waits and the
    // instrument's delay both at a tenth.
    Device::setTimeScale(0.1);
    int clockDelayMs = 160;
    bool clockAnswers = true;
    QByteArray wrongDate;
    peer.respond = [&](const QByteArray& request) -> QByteArray {
        const QString line = QString::fromLatin1(request).trimmed();
        if (line.startsWith(QLatin1String("SYST:")) && line.endsWith(QLatin1Char('?')) && clockAnswers) {
            const QDateTime t = QDateTime::currentDateTime();
            const QByteArray answer = line == QLatin1String("SYST:DATE?")
                                          ? (wrongDate.isEmpty() ? t.toString("yyyy,MM,dd").toLatin1() : wrongDate)
                                          : t.toString("hh,mm,ss.zzz").toLatin1();
            QTimer::singleShot(clockDelayMs, &peer, [&peer, answer] { peer.send(answer + "\r\n"); });
        }
        return {};
    };
    QElapsedTimer took;
    took.start();
    QVERIFY(inWorker([&] { return driver.SyncTime(QDateTime::currentDateTime()); }));
    QVERIFY2(took.elapsed() >= 300, "both answers were waited for");
    wrongDate = "2001,1,1";
    QVERIFY(!inWorker([&] { return driver.SyncTime(QDateTime::currentDateTime()); }));
    clockAnswers = false;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("clock was set but its date could not be read back"));
    QVERIFY(inWorker([&] { return driver.SyncTime(QDateTime::currentDateTime()); }));
    Device::setTimeScale(0.05);
    QVERIFY(inWorker([&] { return driver.Close(); }));
    QVERIFY(!driver.SyncTime(now));
}

void TestLoggers::clockReply1586A_data()
{
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QDateTime>("expected"); // invalid: refused
    const QDateTime refused;
    QTest::newRow("plain") << "2024,3,5" << "14,7,9" << QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9));
    QTest::newRow("signed with decimals") << "+2024,+3,+5\r\n" << "+14,+7,+9.000"
                                          << QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9));
    // The instrument's own forms: zero-padded, quoted, ISO-like, NR3 numbers.
    const QDateTime afternoon(QDate(2024, 3, 5), QTime(14, 7, 9));
    QTest::newRow("zero padded") << "2024,03,05" << "14,07,09.000" << afternoon;
    QTest::newRow("quoted with colons") << "\"2024/03/05\"" << "\"14:07:09.5\"" << afternoon;
    QTest::newRow("dashes and spaces") << " 2024-03-05 \r\n" << "14 : 07 : 09" << afternoon;
    QTest::newRow("NR3") << "+2.024000E+03,+3.000000E+00,+5.000000E+00"
                         << "+1.400000E+01,+7.000000E+00,+9.000000E-00" << afternoon;
    QTest::newRow("two fields") << "2024,3" << "14,7,9" << refused;
    QTest::newRow("four fields") << "2024,3,5,1" << "14,7,9" << refused;
    QTest::newRow("no date") << "2024,13,5" << "14,7,9" << refused;
    // Beyond int: converting these was undefined behaviour.
    QTest::newRow("huge year") << "1e30,3,5" << "14,7,9" << refused;
    QTest::newRow("nan second") << "2024,3,5" << "14,7,nan" << refused;
    QTest::newRow("negative hour") << "2024,3,5" << "-1e12,7,9" << refused;
}

void TestLoggers::clockReply1586A()
{
    QFETCH(QString, date);
    QFETCH(QString, time);
    QFETCH(QDateTime, expected);
    const QDateTime before(QDate(2000, 1, 1), QTime(0, 0));
    QDateTime read = before;
    QCOMPARE(Collection1586A::ClockReply(date, time, read), expected.isValid());
    QCOMPARE(read, expected.isValid() ? expected : before);
}

void TestLoggers::logFiles1586A()
{
    TestPeer peer(TestPeer::Mode::Lines);
    QByteArray files = "0\r\n";
    peer.respond = [&](const QByteArray& request) -> QByteArray {
        const QString line = QString::fromLatin1(request).trimmed();
        if (line == QLatin1String("MEM:LOG:NFIL?"))
            return files;
        if (line.startsWith(QLatin1String("MEM:LOG:NAME? ")))
            return line.endsWith('1') ? "\"SCAN0001\"\r\n" : "SCAN0002\r\n";
        if (line == QLatin1String("MEM:LOG:READ? \"SCAN0002\""))
            return "Record,Time,Ch 101 (C),Alarm Flags,Digital I/O\r\n1,2024-03-05 10:00:00.600,25,0,0\r\n";
        return {};
    };
    Collection1586A driver;
    QVERIFY(inWorker([&] { return driver.Open("网络", "127.0.0.1", peer.port()); }));
    QStringList names{"stale"};
    QVERIFY(inWorker([&] { return driver.GetLogFileList(names); }));
    QVERIFY(names.isEmpty());
    files = "2\r\n";
    QVERIFY(inWorker([&] { return driver.GetLogFileList(names); }));
    QCOMPARE(names, (QStringList{"SCAN0001", "SCAN0002"}));
    // An unreadable count is a failure, not an empty memory.
    files = "#@!x\r\n";
    QVERIFY(!inWorker([&] { return driver.GetLogFileList(names); }));
    QVERIFY(inWorker([&] { return driver.ReadLogFile("SCAN0002"); }));
    QString first, second;
    QVERIFY(inWorker([&] { return driver.Read(first) && driver.Read(second); }));
    QCOMPARE(first, QStringLiteral("Record,Time,Ch 101 (C),Alarm Flags,Digital I/O"));
    QCOMPARE(second, QStringLiteral("1,2024-03-05 10:00:00.600,25,0,0"));
    QVERIFY(inWorker([&] { return driver.Close(); }));
}

void TestLoggers::nulOnTheLine()
{
    // A NUL byte on the line must not swallow the rest of the chunk and with
    // it the line end that separates two replies; it is line noise and never
    // reaches the reply.
    Collection1586A driver;
    driver.Link()->receive(QByteArray("1,2\0x\r\n3\r\n", 11));
    QCOMPARE(driver.Link()->queuedCount(), 2);
    QString reply;
    QVERIFY(driver.Link()->takeLast(reply));
    QCOMPARE(reply, QStringLiteral("1,2x\r\n"));
    QVERIFY(driver.Link()->takeLast(reply));
    QCOMPARE(reply, QStringLiteral("3\r\n"));
}

void TestLoggers::loggerDataFile()
{
    // The 3108A reads the 3107A's file format: 26 columns, six significant digits.
    QTemporaryDir dir;
    const QString path = dir.filePath("3108a.csv");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QByteArray header = "Time";
    for (int c = 1; c <= 26; ++c)
        header += QStringLiteral(",CH%1").arg(c, 2, 10, QLatin1Char('0')).toLatin1();
    file.write(header + "\r\n");
    file.write("2024-03-05 10:00:00,1.25" + QByteArray(",").repeated(23) + ",0.0123456789,4.5\r\n");
    file.write("2024-03-05 10:00:02,2.5" + QByteArray(",").repeated(23) + ",7,8\r\n");
    file.close();
    Collection3108A driver;
    QVERIFY(driver.OpenDataFile(path, {"101", "126", "125"}));
    QStringList values;
    QVERIFY(driver.ReadDataFile(QDateTime(QDate(2024, 3, 5), QTime(10, 0, 1)), values));
    QCOMPARE(values, (QStringList{"1.25", "0.0123457", "4.5"}));
    QVERIFY(!driver.ReadDataFile(QDateTime(QDate(2024, 3, 5), QTime(9, 0, 0)), values));
    QVERIFY(driver.CloseDataFile());
    QVERIFY(!driver.OpenDataFile(path, {"101", "127"}));
}

void TestLoggers::scannerDataFile_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<QStringList>("channels");
    QTest::addColumn<bool>("opens");
    const QByteArray good = "Record,Time,Ch 101 (C),Ch 102 (V),Alarm Flags,Digital I/O\n";
    QTest::newRow("match") << good << QStringList{"102", "101"} << true;
    QTest::newRow("channel missing") << good << QStringList{"101", "103"} << false;
    QTest::newRow("four fields") << QByteArray("Record,Time,Ch 101 (C),Alarm Flags\n") << QStringList{"101"} << false;
    // A short third header fails the file even when the other columns match.
    QTest::newRow("short third header")
        << QByteArray("Record,Time,Ch 101,Ch 102 (V),Alarm Flags,Digital I/O\n") << QStringList{"102"} << false;
    QTest::newRow("no Record") << QByteArray("Rec,Time,Ch 101 (C),Ch 102 (V),Alarm Flags\n") << QStringList{"101"}
                               << false;
    QTest::newRow("time lower case") << QByteArray("Record,time,Ch 101 (C),Ch 102 (V),Alarm Flags\n")
                                     << QStringList{"101"} << false;
    QTest::newRow("empty file") << QByteArray() << QStringList{"101"} << false;
    QTest::newRow("channel twice") << QByteArray("Record,Time,Ch 101 (C),Ch 101 (C),Alarm Flags\n")
                                   << QStringList{"101", "102"} << false;
}

void TestLoggers::scannerDataFile()
{
    QFETCH(QByteArray, content);
    QFETCH(QStringList, channels);
    QFETCH(bool, opens);
    QTemporaryDir dir;
    QFile file(dir.filePath("1586a.csv"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(content);
    if (!content.isEmpty())
        file.write("1,2024-03-05 10:00:00.600, +2.5000E+01 ,1.000000E-03,0,0\r\n"
                   "2,2024-03-05 10:00:02.500,26.125,abc,0,0\r\n");
    file.close();
    Collection1586A driver;
    QCOMPARE(driver.OpenDataFile(file.fileName(), channels), opens);
    if (!opens)
        return;
    // Fields come back exactly as stored, in column order.
    QStringList values;
    QVERIFY(driver.ReadDataFile(QDateTime(QDate(2024, 3, 5), QTime(10, 0, 1, 600)), values));
    QCOMPARE(values, (QStringList{" +2.5000E+01 ", "1.000000E-03"}));
    QVERIFY(!driver.ReadDataFile(QDateTime(QDate(2024, 3, 5), QTime(10, 0, 4)), values));
}

QTEST_GUILESS_MAIN(TestLoggers)
#include "tst_loggers.moc"
