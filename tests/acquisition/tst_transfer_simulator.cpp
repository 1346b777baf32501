// The offline download and the import end to end against arq-simulator:
// a 1586A logs a run into its memory while the program is away and the
// offline dialog brings it into the database; the data files the 3107A,
// 3108A and 1586A write themselves go in through the import dialog. The
// expected rows come from the simulator's own export, read here, never from
// the program's readers.
#include "Collection1586A.h"
#include "Collection3108A.h"
#include "MessageBox.h"
#include "ParametersDisconnection.h"
#include "ParametersImport.h"
#include "SimulatorProcess.h"
#include "TestSupport.h"
#include "TransferSample.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTableWidget>
#include <QtTest>

#include <atomic>
#include <thread>

class TestTransferSimulator : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        MessageBox::setTestMode(true);
        MessageBox::clear();
        FileDialog::setTestMode(true);
        FileDialog::clear();
        Device::setTimeScale(1.0);
    }
    void offlineRunFromMemory();
    void offlineFaultsOverSerial();
    void importExportedFiles();
    void simulatorClockAndRecording_data();
    void simulatorClockAndRecording();
};

namespace {

const QString kFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

struct Record
{
    QDateTime time;
    QStringList values; // the file's channel columns, as written
};

// A data file as its instrument wrote it: the time column and the channel
// columns (3107A/3108A: "Time,CH01,…"; 1586A: "Record,Time,Ch 101 (C),…,
// Alarm Flags,Digital I/O").
QList<Record> readExport(const QString& path, bool scanner)
{
    QList<Record> records;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return records;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (int i = 1; i < lines.size(); ++i) {
        const QString line = QString::fromLatin1(lines.at(i)).trimmed();
        if (line.isEmpty())
            continue;
        QStringList fields = line.split(QLatin1Char(','));
        Record r;
        r.time = QDateTime::fromString(fields.at(scanner ? 1 : 0),
                                       scanner ? QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz") : kFormat);
        r.values = scanner ? fields.mid(2, fields.size() - 4) : fields.mid(1);
        records << r;
    }
    return records;
}

// Rows of one project: "hh:mm:ss.zzz|v1,v2" in time order.
QStringList storedRows(const QString& project)
{
    QStringList rows;
    QSqlQuery q;
    q.prepare(QStringLiteral("select Time, Data from ParametersData where Name = ? order by Time"));
    q.addBindValue(project);
    q.exec();
    while (q.next())
        rows << q.value(0).toString() + QLatin1Char('|') + q.value(1).toString();
    return rows;
}

template <class F>
bool inWorker(F f)
{
    std::atomic<int> result{-1};
    std::thread worker([&] { result = f() ? 1 : 0; });
    while (result < 0) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
    }
    worker.join();
    return result == 1;
}

Device::Channel thermocouple(const QString& number)
{
    Device::Channel ch;
    ch.ChannelNumber = number;
    ch.Type = QStringLiteral("热电偶");
    ch.Function = QStringLiteral("K");
    ch.Wire = QStringLiteral("二线制");
    ch.Unit = QStringLiteral("℃");
    ch.CompensationWay = QStringLiteral("内部补偿");
    return ch;
}

bool click(QWidget& dialog, const QString& name)
{
    QPushButton* button = dialog.findChild<QPushButton*>(name);
    if (!button || !button->isEnabled()) {
        qWarning() << name << "is missing or disabled";
        return false;
    }
    button->click();
    return true;
}

} // namespace

// 10:00:00 to 10:01:00 at 10 s with two scanners (named "Fluke 1586A" and
// "1586A"): the dialog programs six timed scans with automatic logging; the
// run happens with the program away (the instruments' clocks set to the
// planned start, ten times faster than real time); query, download and save
// store exactly the logged values on the planned grid.
void TestTransferSimulator::offlineRunFromMemory()
{
    TestWorkDir dir;
    QVERIFY(TestSupport::openDatabase());
    SimulatorProcess sim;
    QVERIFY(sim.start({"--instrument", "model=1586A,tcp=127.0.0.1:0,temperature=30,noise=0.05", "--instrument",
                       "model=1586A,tcp=127.0.0.1:0,temperature=70,noise=0.05"},
                      2));
    const QDateTime start = QDateTime::fromString(QStringLiteral("2024-05-06 10:00:00"), kFormat);

    SystemContext context;
    TransferSample::fill(context, 2, 3, {"OA", "OB"}, 10.0, start, start.addSecs(60));
    context.Mode = QStringLiteral("脱机");
    context.AcquisitionDevice[1].Mode = QStringLiteral("1586A");
    const QStringList endpoints = sim.endpoints(QStringLiteral("tcp"));
    for (int d = 0; d < 2; ++d)
        context.AcquisitionDevice[d].Port_BaudRate = endpoints.at(d).section(QLatin1Char(':'), -1);

    auto dialog = std::make_unique<ParametersDisconnection>();
    dialog->setContext(&context);
    QSignalSpy done(dialog.get(), &ParametersDisconnection::workFinished);
    // A worker's button: true when it ended with that message.
    const auto press = [&](const QString& button, const QString& message) {
        if (!click(*dialog, button) || !done.wait(30000))
            return false;
        if (MessageBox::last().text != message)
            qWarning() << button << "ended with" << MessageBox::last().text;
        return MessageBox::last().text == message;
    };

    QVERIFY(press("pushButton_Set", QStringLiteral("设备设置成功！")));
    QStringList frames;
    QVERIFY(sim.command("frames", 5000, &frames));
    for (const QString instrument : {"@1 ", "@2 "}) {
        QStringList sent;
        for (const QString& f : frames)
            if (f.startsWith(QLatin1String("FRAME ") + instrument))
                sent << f.section(QLatin1Char('"'), 1, 1).remove(QStringLiteral("\\r\\n"));
        // The last commands: logging on, six scans 10 s apart, memory cleared; no scan started.
        QCOMPARE(sent.mid(sent.size() - 5), (QStringList{"DATA:LOG:AUTO ON", "TRIG:SOUR TIM", "TRIG:TIM 10",
                                                          "TRIG:COUN 6", "DATA:CLE"}));
        // Who answers is asked first; the settings are writes only.
        QCOMPARE(sent.mid(0, 2), (QStringList{"*IDN?", "*RST"}));
        QVERIFY(sent.contains(QStringLiteral("TEMP:TC:TYPE K,(@103)")));
        QVERIFY(!sent.contains(QStringLiteral("INIT")));
    }

    // The runs, started on the instruments at the planned start.
    QVERIFY(sim.command("timescale 10"));
    QVERIFY(sim.command("clock 2024-05-06 10:00:00"));
    QVERIFY(sim.command("scan on"));
    QElapsedTimer waited;
    waited.start();
    QString status;
    while (status.count(QLatin1String("log SCAN0001: 6 record(s)")) < 2 && waited.elapsed() < 20000) {
        QTest::qWait(250);
        QStringList lines;
        QVERIFY(sim.command("status", 5000, &lines));
        status = lines.join('\n');
    }
    QVERIFY2(status.count(QLatin1String(", idle,")) == 2, qPrintable(status));

    QVERIFY(press("pushButton_Query", QStringLiteral("获取成功！")));
    for (int d = 0; d < 2; ++d) {
        QTableWidget* files = dialog->table(d);
        QCOMPARE(files->rowCount(), 1);
        QCOMPARE(files->item(0, 0)->text(), QStringLiteral("SCAN0001"));
        files->selectRow(0);
    }
    // What each instrument gave and the span a save stores: the whole run.
    QVERIFY(press("pushButton_Download", QStringLiteral("设备下载完成！\n设备1：6条记录\n设备2：6条记录\n"
                                                        "保存数据的时间范围：2024-05-06 10:00:00 至 2024-05-06 10:00:50")));
    QVERIFY(QFile::exists(ParametersDisconnection::workingFileName(1)));

    // What the instruments hold, written by themselves.
    QList<QList<Record>> logged;
    for (int d = 0; d < 2; ++d) {
        const QString exported = dir.file(QStringLiteral("memory%1.csv").arg(d + 1));
        QVERIFY(sim.command(QStringLiteral("@%1 export %2").arg(d + 1).arg(exported)));
        logged << readExport(exported, true);
        QCOMPARE(logged.last().size(), 6);
    }

    QVERIFY(click(*dialog, "pushButton_OK"));
    QVERIFY(done.wait(30000));
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    dialog.reset();
    QVERIFY(!QFile::exists(ParametersDisconnection::workingFileName(0)));

    // Channel k of the run (device-major) in project k % 2; one row per scan on the grid.
    QStringList expected[2];
    for (int k = 0; k < 6; ++k) {
        QStringList values[2];
        for (int d = 0; d < 2; ++d) {
            const Record& r = logged.at(d).at(k);
            QVERIFY2(qAbs(r.time.msecsTo(start.addSecs(10 * k))) < 1000, qPrintable(r.time.toString(kFormat)));
            QCOMPARE(r.values.size(), 3);
            for (int c = 0; c < 3; ++c)
                values[(3 * d + c) % 2] << r.values.at(c);
        }
        const QString time = start.addSecs(10 * k).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
        for (int p = 0; p < 2; ++p)
            expected[p] << time + "|" + values[p].join(',');
    }
    QCOMPARE(storedRows("OA"), expected[0]);
    QCOMPARE(storedRows("OB"), expected[1]);
    QCOMPARE(TestSupport::scalar("select Channel from Parameters where Name = 'OA'").toString(),
             QStringLiteral("1-101,1-103,2-102"));
    QCOMPARE(TestSupport::scalar("select Channel from Parameters where Name = 'OB'").toString(),
             QStringLiteral("1-102,2-101,2-103"));
    TestSupport::closeDatabase();
}

// One 1586A on a serial link (a pseudo-terminal), 10:00:00 to 10:01:00 at
// 10 s: nobody answering is no successful setting; a run stopped after a few
// scans downloads as such and is saved over its shorter span only when the
// user agrees; a download and a long query can be cancelled.
void TestTransferSimulator::offlineFaultsOverSerial()
{
    TestWorkDir dir;
    QVERIFY(TestSupport::openDatabase());
    SimulatorProcess sim;
    QVERIFY(sim.start({"--instrument", "model=1586A,tcp=none,pty,temperature=30,noise=0.05"}, 1));
    const QDateTime start = QDateTime::fromString(QStringLiteral("2024-05-06 10:00:00"), kFormat);
    SystemContext context;
    TransferSample::fill(context, 1, 3, {"FA"}, 10.0, start, start.addSecs(60));
    context.Mode = QStringLiteral("脱机");
    context.AcquisitionDevice[0].SignalMode = QStringLiteral("串口");
    context.AcquisitionDevice[0].IP_COM = sim.pty();
    context.AcquisitionDevice[0].Port_BaudRate = QStringLiteral("9600");

    auto dialog = std::make_unique<ParametersDisconnection>();
    dialog->setContext(&context);
    // The one-second window is said before anything is set.
    QVERIFY(dialog->findChild<QLabel*>("label_Hint")->text().contains(QStringLiteral("2024-05-06 10:00:00 前后1秒内")));
    QSignalSpy done(dialog.get(), &ParametersDisconnection::workFinished);
    const auto press = [&](const QString& button, const QString& message) {
        if (!click(*dialog, button) || !done.wait(40000))
            return false;
        if (MessageBox::last().text != message)
            qWarning() << button << "ended with" << MessageBox::last().text;
        return MessageBox::last().text == message;
    };

    // The port opens and takes every write with nobody behind it.
    QVERIFY(sim.command("silent 600"));
    QVERIFY(press("pushButton_Set", QStringLiteral("设备设置失败！")));
    QVERIFY(sim.command("normal"));
    QVERIFY(press("pushButton_Set", QStringLiteral("设备设置成功！")));

    // Started at the planned start, stopped after three or four of the six scans.
    QVERIFY(sim.command("timescale 10"));
    QVERIFY(sim.command("clock 2024-05-06 10:00:00"));
    QVERIFY(sim.command("scan on"));
    QRegularExpression logged(QStringLiteral("log SCAN0001: (\\d+) record"));
    int records = 0;
    QElapsedTimer waited;
    waited.start();
    while (records < 3 && waited.elapsed() < 20000) {
        QTest::qWait(100);
        QStringList lines;
        QVERIFY(sim.command("status", 5000, &lines));
        records = logged.match(lines.join('\n')).captured(1).toInt();
    }
    QVERIFY(sim.command("scan off"));
    QStringList lines;
    QVERIFY(sim.command("status", 5000, &lines));
    records = logged.match(lines.join('\n')).captured(1).toInt();
    QVERIFY2(records >= 3 && records < 6, qPrintable(lines.join('\n')));

    QVERIFY(press("pushButton_Query", QStringLiteral("获取成功！")));
    dialog->table(0)->selectRow(0);
    const QString last = start.addSecs(10 * (records - 1)).toString(kFormat);
    const QString report = QStringLiteral("设备下载完成！\n设备1：%1条记录\n保存数据的时间范围：2024-05-06 10:00:00 至 %2\n"
                                          "早于计划的最后一次扫描 2024-05-06 10:00:50！")
                               .arg(records)
                               .arg(last);
    QVERIFY(press("pushButton_Download", report));

    // The shorter span is stored only when the user agrees.
    MessageBox::queueAnswer(MessageBox::No);
    QVERIFY(click(*dialog, "pushButton_OK"));
    QCOMPARE(MessageBox::last().kind, QStringLiteral("question"));
    QCOMPARE(MessageBox::last().text, QStringLiteral("保存的数据截止于 %1，早于计划的最后一次扫描 2024-05-06 10:00:50。是否仍然保存？")
                                          .arg(last));
    QVERIFY(!dialog->busy());
    QCOMPARE(TestSupport::scalar("select count(*) from ParametersData").toInt(), 0);

    // 取消 on the busy indicator: nothing of the file is left to be saved.
    QVERIFY(click(*dialog, "pushButton_Download"));
    QTest::qWait(300);
    QPushButton* stop = dialog->findChild<QPushButton*>("pushButton_WaitingCancel");
    QVERIFY(stop && stop->isVisible());
    stop->click();
    QVERIFY(done.wait(10000));
    QCOMPARE(MessageBox::last().text, QStringLiteral("操作已取消！"));
    QVERIFY(!QFile::exists(ParametersDisconnection::workingFileName(0)));
    QVERIFY(press("pushButton_Download", report));

    // A memory of a hundred files takes about half a minute to list: 取消
    // ends it within a second or two, and the table keeps its list.
    QVERIFY(sim.command("logfiles 100"));
    QVERIFY(click(*dialog, "pushButton_Query"));
    QTest::qWait(1000);
    QElapsedTimer cancelled;
    cancelled.start();
    QVERIFY(click(*dialog, "pushButton_Cancel"));
    QVERIFY(done.wait(5000));
    QVERIFY(cancelled.elapsed() < 3000);
    QCOMPARE(MessageBox::last().text, QStringLiteral("操作已取消！"));
    QCOMPARE(dialog->table(0)->rowCount(), 1);
    QVERIFY(!dialog->findChild<QPushButton*>("pushButton_Cancel")->isEnabled());

    MessageBox::queueAnswer(MessageBox::Yes);
    QVERIFY(click(*dialog, "pushButton_OK"));
    QVERIFY(done.wait(30000));
    QCOMPARE(dialog->result(), int(QDialog::Accepted));
    QCOMPARE(TestSupport::scalar("select count(*) from ParametersData where Name = 'FA'").toInt(), records);
    QCOMPARE(TestSupport::scalar("select max(Time) from ParametersData where Name = 'FA'").toString(),
             last + QStringLiteral(".000"));
    dialog.reset();
    TestSupport::closeDatabase();
}

// Three loggers scan on their own and export their memories; the import puts
// the three files on one grid and splits the channels over three projects.
void TestTransferSimulator::importExportedFiles()
{
    TestWorkDir dir;
    QVERIFY(TestSupport::openDatabase());
    SimulatorProcess sim;
    QVERIFY(sim.start({"--instrument", "model=3107A-TC,tcp=127.0.0.1:0,temperature=20,noise=0.05",
                       "--instrument", "model=3108A,tcp=127.0.0.1:0,temperature=40,noise=0.05",
                       "--instrument", "model=1586A,tcp=127.0.0.1:0,temperature=60,noise=0.05"},
                      3));
    const QStringList ports = sim.endpoints(QStringLiteral("tcp"));
    const auto portOf = [&](int i) { return ports.at(i).section(QLatin1Char(':'), -1); };

    // The 3108A and the 1586A are programmed by the program's drivers; the
    // 3107A records on its own.
    Collection3108A logger;
    Collection1586A scanner;
    const QList<Device::Channel> set{thermocouple("101"), thermocouple("102"), thermocouple("103"),
                                     thermocouple("104")};
    Device::setTimeScale(0.25);
    QVERIFY(inWorker([&] {
        return logger.Open("网络", "127.0.0.1", portOf(1)) && logger.SetChannels("快速", set)
               && logger.SetTrigger(1, 0) && logger.StartScan() && logger.Close();
    }));
    QVERIFY(inWorker([&] {
        return scanner.Open("网络", "127.0.0.1", portOf(2)) && scanner.SetChannels("快速", set)
               && scanner.SetTrigger(1, 0) && scanner.StartScan() && scanner.Close();
    }));
    Device::setTimeScale(1.0);
    QVERIFY(sim.command("@1 scan on 1"));
    // Until every instrument holds enough records: a wait on their state, not on the clock.
    QVERIFY(sim.waitForStatus("@1", QStringLiteral("(\\d+) record\\(s\\)"), 7));
    QVERIFY(sim.waitForStatus("@2", QStringLiteral("(\\d+) scan\\(s\\) in memory"), 7));
    QVERIFY(sim.waitForStatus("@3", QStringLiteral("(\\d+) reading\\(s\\)"), 7));
    const QStringList names{"a3107.csv", "b3108.csv", "c1586.csv"};
    QList<QList<Record>> exported;
    for (int i = 0; i < 3; ++i) {
        QVERIFY(sim.command(QStringLiteral("@%1 export %2").arg(i + 1).arg(dir.file(names.at(i)))));
        exported << readExport(dir.file(names.at(i)), i == 2);
        QVERIFY2(exported.last().size() >= 6, qPrintable(names.at(i)));
    }

    // The grid: whole seconds from the latest first record, 5 steps of 1 s.
    QDateTime start = exported.at(0).first().time;
    for (const QList<Record>& records : exported)
        start = qMax(start, records.first().time);
    start = QDateTime::fromString(start.addSecs(1).toString(kFormat), kFormat);
    const QDateTime end = start.addSecs(5);
    SystemContext context;
    TransferSample::fill(context, 3, 4, {"IA", "IB", "IC"}, 1.0, start, end);
    const QStringList models{"3107A-TC", "3108A", "Fluke 1586A"};
    for (int i = 0; i < 3; ++i) {
        context.AcquisitionDevice[i].Mode = models.at(i);
        context.ChannelConfig[i].Mode = models.at(i);
    }

    ParametersImport dialog;
    dialog.setContext(&context);
    QSignalSpy finished(&dialog, &ParametersImport::importFinished);
    for (int i = 0; i < 3; ++i) {
        FileDialog::queueAnswer(dir.file(names.at(i)));
        QVERIFY(click(dialog, QStringLiteral("pushButton_Choice%1").arg(i + 1)));
    }
    QVERIFY(click(dialog, "pushButton_OK"));
    QVERIFY(finished.wait(30000));
    QCOMPARE(MessageBox::last().text, QStringLiteral("数据保存成功！"));

    // Each file's record for a grid time: the next one, searching forward,
    // within a second of it. The loggers' values are read as floats with six
    // significant digits, the scanner's are taken as written.
    QStringList expected[3];
    int next[3] = {0, 0, 0};
    for (QDateTime t = start; t < end; t = t.addSecs(1)) {
        QStringList values;
        for (int i = 0; i < 3; ++i) {
            const QList<Record>& records = exported.at(i);
            while (next[i] < records.size() && qAbs(records.at(next[i]).time.msecsTo(t)) > 1000)
                ++next[i];
            QVERIFY2(next[i] < records.size(), qPrintable(names.at(i) + " " + t.toString(kFormat)));
            const QStringList row = records.at(next[i]++).values.mid(0, 4);
            for (const QString& v : row)
                values << (i == 2 ? v : QString::number(static_cast<double>(v.toFloat()), 'g', 6));
        }
        QStringList perProject[3];
        for (int k = 0; k < values.size(); ++k)
            perProject[k % 3] << values.at(k);
        for (int p = 0; p < 3; ++p)
            expected[p] << t.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")) + "|" + perProject[p].join(',');
    }
    const QStringList projects{"IA", "IB", "IC"};
    for (int p = 0; p < 3; ++p)
        QCOMPARE(storedRows(projects.at(p)), expected[p]);
    // Channel k of the run (device-major) went to project k % 3.
    QCOMPARE(TestSupport::scalar("select Channel from Parameters where Name = 'IA'").toString(),
             QStringLiteral("1-101,1-104,2-103,3-102"));
    QCOMPARE(TestSupport::scalar("select Channel from Parameters where Name = 'IC'").toString(),
             QStringLiteral("1-103,2-102,3-101,3-104"));
    TestSupport::closeDatabase();
}

// The simulator's front panel that the tests above rely on: console commands
// in order against a 3107A-TC (@1), a 1586A (@2) and a dry block (@3), each
// answered OK or refused; "export" lines are then checked as data files.
void TestTransferSimulator::simulatorClockAndRecording_data()
{
    QTest::addColumn<QStringList>("commands");
    QTest::addColumn<QStringList>("answers"); // expected answer prefixes
    QTest::newRow("3107A records on the clock it was given")
        << QStringList{"@1 clock 2024-05-06 10:00:00.250", "@1 scan on 2", "wait 2100", "@1 scan off",
                       "@1 export 3107a.csv"}
        << QStringList{"OK clock 2024-05-06 10:00:00.250", "OK scan on", "", "OK scan off", "OK export"};
    QTest::newRow("3107A: nothing recorded, nothing to export")
        << QStringList{"@1 export none.csv"} << QStringList{"ERROR the 3107A-TC has recorded nothing"};
    QTest::newRow("refusals")
        << QStringList{"@1 clock 2024-13-01 10:00:00", "@1 clock 10:00:00", "@1 scan on 0.5", "@1 scan off 2",
                       "@2 scan on 2", "@3 clock 2024-05-06 10:00:00", "clock 2024-05-06 10:00:00"}
        << QStringList{"ERROR usage: clock", "ERROR usage: clock", "ERROR usage: scan", "ERROR usage: scan",
                       "ERROR a 1586A scans at its trigger interval", "ERROR instrument @3 keeps no clock",
                       "ERROR instrument @3 keeps no clock"};
    QTest::newRow("1586A: no time scale while it scans")
        << QStringList{"@2 scan on", "@2 timescale 10", "@2 scan off", "@2 timescale 10", "@2 timescale 0"}
        << QStringList{"ERROR the 1586A has no channel switched on", "OK timescale 10", "OK scan off",
                       "OK timescale 10", "ERROR usage: timescale"};
}

void TestTransferSimulator::simulatorClockAndRecording()
{
    QFETCH(QStringList, commands);
    QFETCH(QStringList, answers);
    TestWorkDir dir;
    SimulatorProcess sim;
    QVERIFY(sim.start({"--instrument", "model=3107A-TC,tcp=127.0.0.1:0", "--instrument", "model=1586A,tcp=127.0.0.1:0",
                       "--instrument", "model=KRDB-1,tcp=127.0.0.1:0"},
                      3));
    for (int i = 0; i < commands.size(); ++i) {
        QString command = commands.at(i);
        if (command.startsWith(QLatin1String("wait "))) {
            QTest::qWait(command.mid(5).toInt());
            continue;
        }
        if (command.contains(QLatin1String(" export ")))
            command.replace(QRegularExpression(QStringLiteral(" export (\\S+)")), " export " + dir.path() + "/\\1");
        QStringList lines;
        sim.command(command, 5000, &lines);
        QVERIFY2(lines.value(lines.size() - 1).startsWith(answers.at(i)),
                 qPrintable(command + " -> " + lines.join(" / ")));
    }
    if (!QFile::exists(dir.file("3107a.csv")))
        return;
    // Whole seconds from the clock that was set, one record every 2 s, all 16 channels.
    QFile file(dir.file("3107a.csv"));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromLatin1(file.readAll()).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    QCOMPARE(lines.value(0).count(','), 16);
    QVERIFY(lines.value(0).startsWith(QLatin1String("Time,CH01,CH02,")));
    QVERIFY(lines.value(0).endsWith(QLatin1String(",CH16")));
    QCOMPARE(lines.size(), 3);
    QVERIFY2(lines.at(1).startsWith(QLatin1String("2024-05-06 10:00:00,")), qPrintable(lines.at(1)));
    QVERIFY2(lines.at(2).startsWith(QLatin1String("2024-05-06 10:00:02,")), qPrintable(lines.at(2)));
    QVERIFY(qAbs(lines.at(2).section(',', 1, 1).toDouble() - 25.0) < 0.1); // channel 101 at its default 25 °C
}

QTEST_MAIN(TestTransferSimulator)
#include "tst_transfer_simulator.moc"
