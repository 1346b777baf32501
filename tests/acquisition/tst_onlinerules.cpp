#include "OnlineRules.h"
#include "OnlineSetup.h"

#include <QtTest>

class TestOnlineRules : public QObject
{
    Q_OBJECT
private slots:
    void scanCount_data();
    void scanCount();
    void intervalMs_data();
    void intervalMs();
    void projectRecords();
    void splitByProject();
    void splitRejectsWrongCount();
};

void TestOnlineRules::scanCount_data()
{
    QTest::addColumn<qint64>("seconds");
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("count");
    QTest::newRow("60 s at 1 s") << qint64(60) << 1000 << 61;
    QTest::newRow("60 s at 7 s: remainder adds one") << qint64(60) << 7000 << 10;
    QTest::newRow("1 s at 300 ms") << qint64(1) << 300 << 5;
    QTest::newRow("1 s at 160 ms") << qint64(1) << 160 << 8;
    QTest::newRow("end at start runs until stopped") << qint64(0) << 1000 << OnlineRules::Unlimited;
    QTest::newRow("end before start runs until stopped") << qint64(-5) << 1000 << OnlineRules::Unlimited;
    QTest::newRow("a year at 1 ms is clamped") << qint64(366) * 86400 << 1 << OnlineRules::Unlimited;
    QTest::newRow("zero interval counts as 1 ms") << qint64(2) << 0 << 2001;
}

void TestOnlineRules::scanCount()
{
    QFETCH(qint64, seconds);
    QFETCH(int, interval);
    QFETCH(int, count);
    const QDateTime start(QDate(2026, 3, 1), QTime(10, 0, 0, 437));
    QCOMPARE(OnlineRules::scanCount(start, start.addSecs(seconds), interval), count);
}

void TestOnlineRules::intervalMs_data()
{
    QTest::addColumn<double>("seconds");
    QTest::addColumn<int>("ms");
    QTest::newRow("1 s") << 1.0 << 1000;
    QTest::newRow("fastest 3107A") << 0.16 << 160;
    QTest::newRow("truncated") << 1.9999 << 1999;
    QTest::newRow("zero") << 0.0 << 1;
    QTest::newRow("negative") << -2.0 << 1;
}

void TestOnlineRules::intervalMs()
{
    QFETCH(double, seconds);
    QFETCH(int, ms);
    QCOMPARE(OnlineRules::intervalMs(seconds), ms);
}

void TestOnlineRules::projectRecords()
{
    SystemContext context;
    const QDateTime start(QDate(2026, 3, 1), QTime(10, 0));
    // Device 1: 101→P2, 102→P1, 103→P2; device 2: 101→P1, 102→P1, 103→P2.
    OnlineSetup::fill(context,
                      {OnlineSetup::tcpLink(QStringLiteral("127.0.0.1:5001")),
                       OnlineSetup::serialLink(QStringLiteral("/dev/ttyS3"))},
                      3, {QStringLiteral("A"), QStringLiteral("B")}, {1, 0, 1, 0, 0, 1}, 0.25, start,
                      start.addSecs(3600));
    const QDateTime now(QDate(2026, 3, 1), QTime(9, 59, 30));
    const QList<Tool::Struct_Parameters> records = OnlineRules::composeProjects(context, now);
    QCOMPARE(records.size(), 2);
    const Tool::Struct_Parameters& a = records.at(0);
    QCOMPARE(a.Name, QStringLiteral("A"));
    QCOMPARE(a.Time, QStringLiteral("2026-03-01 09:59:30"));
    QCOMPARE(a.Start, QStringLiteral("2026-03-01 10:00:00"));
    QCOMPARE(a.End, QStringLiteral("2026-03-01 11:00:00"));
    // Every device of the run, whatever the project.
    QCOMPARE(a.DeviceNumber, QStringList({"1", "2"}));
    QCOMPARE(a.SignalMode, QStringList({"网络", "串口"}));
    QCOMPARE(a.IP_COM, QStringList({"127.0.0.1", "/dev/ttyS3"}));
    QCOMPARE(a.Port_BaudRate, QStringList({"5001", "9600"}));
    QCOMPARE(a.ScanInterval, QStringLiteral("0.25"));
    QCOMPARE(a.ScanRate, QStringLiteral("快速"));
    QCOMPARE(a.Channel, QStringList({"1-102", "2-101", "2-102"}));
    QCOMPARE(records.at(1).Channel, QStringList({"1-101", "1-103", "2-103"}));
    QCOMPARE(records.at(1).Unit, QStringList({"℃", "℃", "℃"}));
}

void TestOnlineRules::splitByProject()
{
    SystemContext context;
    const QDateTime t = QDateTime::currentDateTime();
    OnlineSetup::fill(context, {OnlineSetup::tcpLink(QStringLiteral("h:1")), OnlineSetup::tcpLink(QStringLiteral("h:2"))},
                      2, {QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C")}, {2, 0, 0, 2}, 1, t, t);
    const QStringList scan = {"1.500000", "-2.250000", "3.000000", "4.125000"};
    const QList<OnlineRules::ProjectScan> split = OnlineRules::splitScan(scan, context.ChannelList, 3);
    QCOMPARE(split.size(), 3);
    QCOMPARE(split.at(0).texts, QStringList({"-2.250000", "3.000000"}));
    QCOMPARE(split.at(0).values, QList<double>({-2.25, 3.0}));
    QVERIFY(split.at(1).texts.isEmpty());
    QCOMPARE(split.at(2).texts, QStringList({"1.500000", "4.125000"}));
}

void TestOnlineRules::splitRejectsWrongCount()
{
    SystemContext context;
    const QDateTime t = QDateTime::currentDateTime();
    OnlineSetup::fill(context, {OnlineSetup::tcpLink(QStringLiteral("h:1"))}, 3, {QStringLiteral("A")}, {}, 1, t, t);
    QVERIFY(OnlineRules::splitScan({"1", "2"}, context.ChannelList, 1).isEmpty());
    QVERIFY(OnlineRules::splitScan({"1", "2", "3", "4"}, context.ChannelList, 1).isEmpty());
    QCOMPARE(OnlineRules::splitScan({"1", "2", "3"}, context.ChannelList, 1).size(), 1);
}

QTEST_GUILESS_MAIN(TestOnlineRules)
#include "tst_onlinerules.moc"
