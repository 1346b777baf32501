// The 3108A and 1586A drivers against the independent simulator: every
// channel type with the value behind it, timed scans into memory, the
// exported data files read back by the drivers, and a logged run of the
// 1586A fetched after the program was away.

#include "Collection1586A.h"
#include "Collection3108A.h"
#include "SimulatorProcess.h"
#include "TestPeer.h"

#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

namespace {

Device::Channel channel(const QString& number, const QString& type, const QString& function, const QString& unit,
                        const QString& wire = QStringLiteral("二线制"))
{
    Device::Channel ch;
    ch.ChannelNumber = number;
    ch.Type = type;
    ch.Function = function;
    ch.Unit = unit;
    ch.Wire = wire;
    ch.CompensationWay = QStringLiteral("内部补偿");
    ch.ColdJunctionTemp = QStringLiteral("0");
    ch.R0_C4 = QStringLiteral("100");
    return ch;
}

double pt100(double t)
{
    return 100.0 * (1 + 3.9083e-3 * t - 5.775e-7 * t * t);
}

} // namespace

class TestSimulatorLoggers : public QObject
{
    Q_OBJECT
private slots:
    void init() { Device::setTimeScale(0.2); }
    void cleanup() { Device::setTimeScale(1.0); }
    void logger3108A();
    void scanner1586A();
};

void TestSimulatorLoggers::logger3108A()
{
    SimulatorProcess sim;
    QVERIFY(sim.start({"--instrument", "model=3108A,tcp=0,address=4,id=LOGGER0004,timescale=100,noise=0,temperature=25"},
                      1));
    Collection3108A driver;
    const QString port = QString::number(sim.port());
    QVERIFY(inWorker([&] { return driver.Open("网络", "127.0.0.1", port); }));
    QCOMPARE(driver.AddressPrefixText(), QStringLiteral("04"));
    QString serial;
    QVERIFY(inWorker([&] { return driver.GetSerialNumber(serial); }));
    QCOMPARE(serial, QStringLiteral("LOGGER0004"));
    QVERIFY(inWorker([&] { return driver.SyncTime(QDateTime::currentDateTime()); }));

    // Every channel type, out of channel order; channel c sits at 25 + 0.1·(c − 101).
    QList<Device::Channel> set{channel("105", "直流电压", "10V", "V"),
                               channel("101", "热电偶", "K", "℃"),
                               channel("102", "热电偶", "K", "mV"),
                               channel("103", "铂电阻", "PT100-385", "Ω", "四线制"),
                               channel("104", "热敏电阻", "10kΩ", "℃", "四线制"),
                               channel("125", "直流电流", "自动", "mA"),
                               channel("106", "电阻", "自动", "Ω"),
                               channel("107", "频率", "自动", "V")};
    set[1].MX_B_M = 2.0f;
    set[1].MX_B_B = 0.5f;
    // More units than a stored configuration may hold: the instrument takes them.
    QVERIFY(inWorker([&] { return driver.SetChannels("慢速", set); }));
    QStringList values;
    QVERIFY(inWorker([&] { return driver.ReadData(values); }));
    QCOMPARE(values.size(), set.size());
    const auto t = [](int number) { return 25.0 + 0.1 * (number - 101); };
    const QList<double> expected{t(105) / 10, 2 * t(101) + 0.5, -1, pt100(t(103)), t(104),
                                 4 + 16 * t(125) / 100, pt100(t(106)), 1000 + 10 * t(107)};
    for (int i = 0; i < set.size(); ++i) {
        if (expected.at(i) < 0)
            continue;
        QVERIFY2(qAbs(values.at(i).toDouble() - expected.at(i)) < 1e-3 * qMax(1.0, qAbs(expected.at(i))),
                 qPrintable(QStringLiteral("%1: %2").arg(set.at(i).ChannelNumber, values.at(i))));
    }
    // K emf from a 23 °C junction to 25.1 °C: about 0.085 mV.
    QVERIFY2(qAbs(values.at(2).toDouble() - 0.085) < 0.01, qPrintable(values.at(2)));
    QVERIFY(inWorker([&] { return driver.StartRead() && driver.WaitData(values); }));
    QCOMPARE(values.size(), set.size());
    QVERIFY(inWorker([&] { return driver.GetData(values); }));
    QCOMPARE(values.size(), set.size());

    // Timed scans fill the memory while the link is closed; the data file
    // of that memory reads back through the driver.
    QVERIFY(inWorker([&] { return driver.SetTrigger(0.5, 0) && driver.StartScan() && driver.Close(); }));
    QVERIFY(sim.waitForStatus(QString(), QStringLiteral("(\\d+) scan\\(s\\) in memory"), 3));
    QVERIFY(inWorker([&] { return driver.Open("网络", "127.0.0.1", port); }));
    int count = 0;
    QVERIFY(inWorker([&] { return driver.GetPointCount(count) && driver.StopScan(); }));
    QVERIFY2(count >= 3, qPrintable(QString::number(count)));
    QVERIFY(inWorker([&] { return driver.Close(); }));

    QTemporaryDir dir;
    const QString path = dir.filePath("3108a.csv");
    QVERIFY(sim.answer("@1 export " + path).last().startsWith("OK"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    file.readLine();
    const QStringList first = QString::fromLatin1(file.readLine()).trimmed().split(',');
    file.close();
    QCOMPARE(first.size(), 27);
    const QDateTime at = QDateTime::fromString(first.at(0), "yyyy-MM-dd hh:mm:ss");
    QVERIFY(at.isValid());
    QVERIFY(driver.OpenDataFile(path, {"101", "105", "125"}));
    QVERIFY(driver.ReadDataFile(at, values));
    QCOMPARE(values.size(), 3);
    QVERIFY(qAbs(values.at(0).toDouble() - (2 * t(101) + 0.5)) < 1e-3);
    QVERIFY(qAbs(values.at(1).toDouble() - t(105) / 10) < 1e-4);
    QVERIFY(qAbs(values.at(2).toDouble() - (0.004 + 0.016 * t(125) / 100)) < 1e-6); // stored in A
    QVERIFY(driver.CloseDataFile());
}

void TestSimulatorLoggers::scanner1586A()
{
    SimulatorProcess sim;
    QVERIFY(sim.start({"--instrument", "model=1586A,tcp=0,pty,id=SN1586,timescale=50,noise=0,temperature=20"}, 2));
    Collection1586A driver;
    const QString port = QString::number(sim.port());

    // The serial port (a pty) answers like the network.
    QString identity;
    QVERIFY(inWorker([&] { return driver.Open("串口", sim.pty(), "9600"); }));
    QVERIFY(inWorker([&] { return driver.GetSerialNumber(identity) && driver.Close(); }));
    QCOMPARE(identity, QStringLiteral("FLUKE,1586A,SN1586,1.00"));

    QVERIFY(inWorker([&] { return driver.Open("网络", "127.0.0.1", port); }));
    QVERIFY(inWorker([&] { return driver.SyncTime(QDateTime::currentDateTime().addDays(-3)); }));
    QList<Device::Channel> set{channel("101", "热电偶", "K", "℃"), channel("102", "直流电压", "10V", "V"),
                               channel("103", "铂电阻", "PT385", "℃", "四线制")};
    set[2].MX_B_M = 2.0f;
    set[2].MX_B_B = 1.0f;
    QVERIFY(inWorker([&] { return driver.SetChannels("快速", set); }));
    QStringList values;
    QVERIFY(inWorker([&] { return driver.ReadData(values); }));
    QCOMPARE(values.size(), 3);
    QCOMPARE(values.at(0).toDouble(), 20.0);
    QCOMPARE(values.at(1).toDouble(), 2.01);
    QCOMPARE(values.at(2).toDouble(), 2 * 20.2 + 1);
    // Every command was recorded, in the form the driver wrote it.
    const QStringList frames = sim.answer("frames");
    QVERIFY(frames.join('\n').contains("\"TEMP:FRTD:TYPE A385,(@103)\\r\\n\""));
    QVERIFY(frames.join('\n').contains("\"SYST:TIME?\\r\\n\""));

    // A logged run while the program is away, then fetched line by line.
    QVERIFY(inWorker([&] { return driver.SetAutoLog(true) && driver.SetTrigger(1, 3) && driver.StartScan(); }));
    QVERIFY(inWorker([&] { return driver.Close(); }));
    QVERIFY(sim.waitForStatus(QString(), QStringLiteral("log SCAN0001: (\\d+) record"), 3));
    QVERIFY(inWorker([&] { return driver.Open("网络", "127.0.0.1", port); }));
    QStringList names;
    QVERIFY(inWorker([&] { return driver.GetLogFileList(names); }));
    QCOMPARE(names, QStringList{"SCAN0001"});
    int count = 0;
    QVERIFY(inWorker([&] { return driver.GetPointCount(count); }));
    QCOMPARE(count, 3);
    QVERIFY(inWorker([&] { return driver.ReadLogFile(names.first()); }));
    QStringList lines;
    QString line;
    Device::setTimeScale(0.5); // the end of the file is a read that times out
    while (inWorker([&] { return driver.Read(line); }))
        lines << line;
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.first(), QStringLiteral("Record,Time,Ch 101 (C),Ch 102 (V),Ch 103 (C),Alarm Flags,Digital I/O"));
    const QStringList record = lines.at(1).split(',');
    const QDateTime at = QDateTime::fromString(record.at(1), "yyyy-MM-dd hh:mm:ss.zzz");
    QVERIFY(qAbs(at.daysTo(QDateTime::currentDateTime()) - 3) <= 1); // the clock that was set
    QVERIFY(inWorker([&] { return driver.Close(); }));

    // The exported readings read back with their texts unchanged.
    QTemporaryDir dir;
    const QString path = dir.filePath("1586a.csv");
    QVERIFY(sim.answer("@1 export " + path).last().startsWith("OK"));
    QVERIFY(driver.OpenDataFile(path, {"103", "101"}));
    QVERIFY(driver.ReadDataFile(at, values));
    QCOMPARE(values, (QStringList{record.at(2), record.at(4)}));
    QVERIFY(driver.CloseDataFile());
}

QTEST_GUILESS_MAIN(TestSimulatorLoggers)
#include "tst_simulator_loggers.moc"
