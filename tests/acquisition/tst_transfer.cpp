// Import and offline save: the rows a project gets from files, and a store
// that is all or nothing.
#include "MessageBox.h"
#include "ParametersDisconnection.h"
#include "ParametersImport.h"
#include "TestSupport.h"
#include "Tool.h"
#include "TransferRules.h"
#include "TransferSample.h"
#include "TransferTask.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QtTest>

using TransferRules::Outcome;

class TestTransfer : public QObject
{
    Q_OBJECT
private slots:
    // Under ARQ_TEST_ENGINE=postgresql (tst_transfer_pg) the imports go to a server of the test's own.
    void initTestCase() { ARQ_REQUIRE_ENGINE(); }
    void init() { MessageBox::setTestMode(true); MessageBox::clear(); }
    void workingFiles_data();
    void workingFiles();
    void importGrid();
    void importRefusals();
    void importDialogAtomic();
    void offlineDialogSave();
    void importAcrossZoneChange_data();
    void importAcrossZoneChange();
    void streamedStore_data();
    void streamedStore();
};

namespace {

const QString kFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
const QDateTime kS = QDateTime::fromString(QStringLiteral("2024-05-06 10:00:00"), kFormat);

QString header(const QStringList& channels)
{
    QString h = QStringLiteral("Record,Time");
    for (const QString& c : channels)
        h += QStringLiteral(",Ch %1 (C)").arg(c);
    return h + QStringLiteral(",Alarm Flags,Digital I/O");
}

// Records "hh:mm:ss.zzz=v1;v2" of 10:00 on the sample day.
QString records(const QStringList& list)
{
    QString text;
    int n = 1;
    for (const QString& r : list) {
        const QStringList parts = r.split(QLatin1Char('='));
        text += QStringLiteral("%1,2024-05-06 %2,%3,0,0\n")
                    .arg(n++)
                    .arg(parts.at(0), parts.value(1).replace(QLatin1Char(';'), QLatin1Char(',')));
    }
    return text;
}

QString fileWith(const QString& name, const QString& text)
{
    QFile f(name);
    f.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate);
    f.write(text.toUtf8());
    return name;
}

} // namespace

void TestTransfer::workingFiles_data()
{
    QTest::addColumn<QString>("file1");
    QTest::addColumn<QString>("file2"); // empty: one device
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<double>("interval");
    QTest::addColumn<int>("endSeconds"); // end = S + this
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QStringList>("times"); // hh:mm:ss of project 1's rows
    QTest::addColumn<QString>("lastValues");

    const QString h1 = header({"101", "102"});
    const QStringList two{"1-101", "1-102"};
    QTest::newRow("first record skipped, grid times")
        << h1 + "\n" + records({"09:59:50.300=1;2", "10:00:00.600=3;4", "10:00:10.500=5;6", "10:00:20.400=7;8"})
        << QString() << two << 10.0 << 3600 << QString() << QStringList{"10:00:00", "10:00:10", "10:00:20"}
        << "7,8";
    QTest::newRow("start 1.9 s late accepted")
        << h1 + "\n" + records({"10:00:01.900=1;2", "10:00:11.000=3;4"}) << QString() << two << 10.0 << 3600
        << QString() << QStringList{"10:00:00", "10:00:10"} << "3,4";
    QTest::newRow("start 2 s late refused")
        << h1 + "\n" + records({"10:00:02.000=1;2", "10:00:12.000=3;4"}) << QString() << two << 10.0 << 3600
        << "未搜索到采集开始时间！\n设备1离开始时间最近的记录：2024-05-06 10:00:02.000" << QStringList() << QString();
    QTest::newRow("two files, the second started late: its nearest record named")
        << h1 + "\n" + records({"10:00:00.000=1;2"}) << header({"105"}) + "\n" + records({"09:59:40.000=9", "10:00:05.500=8"})
        << QStringList{"1-101", "2-105"} << 10.0 << 3600
        << "未搜索到采集开始时间！\n设备2离开始时间最近的记录：2024-05-06 10:00:05.500" << QStringList() << QString();
    QTest::newRow("record 13 s after its predecessor")
        << h1 + "\n" + records({"10:00:00.000=1;2", "10:00:10.000=3;4", "10:00:23.000=5;6"}) << QString() << two
        << 10.0 << 3600 << "采集间隔不匹配，未能保存数据！" << QStringList() << QString();
    QTest::newRow("2.5 s interval: whole-second grid")
        << h1 + "\n"
               + records({"10:00:00.000=1;1", "10:00:02.500=2;2", "10:00:05.000=3;3", "10:00:07.500=4;4",
                          "10:00:10.000=5;5"})
        << QString() << two << 2.5 << 3600 << QString()
        << QStringList{"10:00:00", "10:00:02", "10:00:05", "10:00:07", "10:00:10"} << "5,5";
    QTest::newRow("end flag: a record 1 s after the end ends the data")
        << h1 + "\n"
               + records({"10:00:00.000=1;1", "10:00:10.000=2;2", "10:00:20.900=3;3", "10:00:31.000=4;4"})
        << QString() << two << 10.0 << 20 << QString() << QStringList{"10:00:00", "10:00:10", "10:00:20"} << "3,3";
    QTest::newRow("no end flag: the file's end ends the data")
        << h1 + "\n" + records({"10:00:00.000=1;1", "10:00:10.000=2;2", "10:00:20.000=3;3"}) << QString() << two
        << 10.0 << 10 << QString() << QStringList{"10:00:00", "10:00:10", "10:00:20"} << "3,3";
    QTest::newRow("two files: the shorter ends the data")
        << h1 + "\n" + records({"10:00:00.000=1;1", "10:00:01.000=2;2", "10:00:02.000=3;3"})
        << header({"105"}) + "\n" + records({"10:00:00.100=9", "10:00:01.100=8"})
        << QStringList{"1-101", "2-105"} << 1.0 << 3600 << QString() << QStringList{"10:00:00", "10:00:01"}
        << "2,8";
    QTest::newRow("chosen channel without a column")
        << h1 + "\n" + records({"10:00:00.000=1;1"}) << header({"101"}) + "\n" + records({"10:00:00.000=1"})
        << QStringList{"1-101", "2-105"} << 1.0 << 3600 << "通道不匹配！" << QStringList() << QString();
    QTest::newRow("header of 4 fields") << "Record,Time,Ch 101 (C),Alarm\n" << QString() << QStringList{"1-101"}
                                        << 1.0 << 3600 << "未检测到通道！" << QStringList() << QString();
    QTest::newRow("channel header of 9 characters")
        << "Record,Time,Ch 101 (C,Alarm Flags,Digital I/O\n" << QString() << QStringList{"1-101"} << 1.0 << 3600
        << "未检测到通道！" << QStringList() << QString();
    QTest::newRow("empty file") << QString() << QString() << QStringList{"1-101"} << 1.0 << 3600
                                << "未检测到通道！" << QStringList() << QString();
    QTest::newRow("row with a value missing")
        << h1 + "\n" + "1,2024-05-06 10:00:00.000,1,2,0,0\n2,2024-05-06 10:00:01.000,1,0,0\n" << QString() << two
        << 1.0 << 3600 << "采集数据不匹配，未能保存数据！" << QStringList() << QString();
    QTest::newRow("unreadable time is no start")
        << h1 + "\n" + "1,garbage,1,2,0,0\n" << QString() << two << 1.0 << 3600 << "未搜索到采集开始时间！"
        << QStringList() << QString();
}

void TestTransfer::workingFiles()
{
    QFETCH(QString, file1);
    QFETCH(QString, file2);
    QFETCH(QStringList, chosen);
    QFETCH(double, interval);
    QFETCH(int, endSeconds);
    QFETCH(QString, failure);
    QFETCH(QStringList, times);
    QFETCH(QString, lastValues);
    TestWorkDir dir;
    TransferRules::WorkingFilesJob job;
    job.paths << fileWith(dir.file("w0.csv"), file1);
    if (!file2.isEmpty())
        job.paths << fileWith(dir.file("w1.csv"), file2);
    for (const QString& id : chosen) {
        ChosenChannel c;
        c.ID = id;
        job.chosen << c;
    }
    job.projectNames = QStringList{"P"};
    job.start = kS;
    job.end = kS.addSecs(endSeconds);
    job.scanInterval = interval;
    const Outcome out = TransferRules::readWorkingFiles(job);
    QCOMPARE(out.failure, failure);
    QStringList got;
    for (const auto& r : out.rows) {
        QCOMPARE(r.Time.time().msec(), 0);
        got << r.Time.toString(QStringLiteral("hh:mm:ss"));
    }
    QCOMPARE(got, times);
    if (!lastValues.isEmpty())
        QCOMPARE(out.rows.last().Data.join(','), lastValues);
}

void TestTransfer::importGrid()
{
    TestWorkDir dir;
    SystemContext context;
    // 10:00:00 to 10:00:10 at 2 s: five grid times, the end itself never imported.
    TransferSample::fill(context, 2, 3, {"A", "B"}, 2.0, kS, kS.addSecs(10));
    QVERIFY(TransferSample::writeScannerFile(dir.file("d1.csv"), 0, 3, kS.addSecs(-3), 20));
    QVERIFY(TransferSample::writeScannerFile(dir.file("d2.csv"), 1, 3, kS, 20, -1, 900));
    TransferRules::ImportJob job{context.AcquisitionDevice, context.ChannelConfig, context.ChannelList,
                                 context.ProjectName, {dir.file("d1.csv"), dir.file("d2.csv")}, kS,
                                 kS.addSecs(10), 2.0};
    Outcome out = TransferRules::importFiles(job);
    QVERIFY2(out.ok(), qPrintable(out.failure));
    QCOMPARE(out.rows.size(), 10);
    // Channels alternate between the projects: A gets 1-101, 1-103, 2-102.
    const auto& row = out.rows.at(2); // grid time 2, project A
    QCOMPARE(row.Name, QStringLiteral("A"));
    QCOMPARE(row.Time, kS.addSecs(2));
    // The first record within one second of 10:00:02: 10:00:01.300 of device 1, 10:00:01.900 of device 2.
    QCOMPARE(row.Data, (QStringList{TransferSample::valueText(0, 0, 4), TransferSample::valueText(0, 2, 4),
                                    TransferSample::valueText(1, 1, 1)}));
    QCOMPARE(out.rows.at(9).Data.size(), 3);
    QCOMPARE(out.rows.at(9).Time, kS.addSecs(8));

    // Saved by an editor with a UTF-8 byte-order mark: read all the same.
    QFile d1(dir.file("d1.csv"));
    QVERIFY(d1.open(QIODevice::ReadOnly));
    const QByteArray text = d1.readAll();
    d1.close();
    QVERIFY(d1.open(QIODevice::WriteOnly | QIODevice::Truncate));
    d1.write("\xEF\xBB\xBF" + text);
    d1.close();
    const Outcome marked = TransferRules::importFiles(job);
    QVERIFY2(marked.ok(), qPrintable(marked.failure));
    QCOMPARE(marked.rows.at(2).Data, row.Data);

    // A file that ends before the last grid time fails the whole import with
    // no row; the message says which device, file and grid time.
    QVERIFY(TransferSample::writeScannerFile(dir.file("d2.csv"), 1, 3, kS, 5));
    out = TransferRules::importFiles(job);
    QCOMPARE(out.failure, QStringLiteral("采集数据不匹配，未能保存数据！\n设备2（%1），文件：d2.csv，时间：2024-05-06 10:00:06")
                              .arg(context.AcquisitionDevice.at(1).Mode));
    QVERIFY(out.rows.isEmpty());

    // Records longer than the reader's line buffer, between short ones: every
    // text whole, each record on its own grid time.
    const QString longText = QString(9000, QLatin1Char('7')) + QStringLiteral(".5");
    QVERIFY(TransferSample::writeScannerFile(dir.file("d2.csv"), 1, 3, kS, 20, -1, 900));
    QFile d2(dir.file("d2.csv"));
    QVERIFY(d2.open(QIODevice::ReadOnly));
    QStringList lines = QString::fromUtf8(d2.readAll()).split(QLatin1Char('\n'));
    d2.close();
    for (int record : {2, 3, 7}) { // 10:00:02, 10:00:03 and 10:00:07
        QStringList fields = lines[record + 1].split(QLatin1Char(','));
        fields[2] = longText;
        lines[record + 1] = fields.join(QLatin1Char(','));
    }
    QVERIFY(d2.open(QIODevice::WriteOnly | QIODevice::Truncate));
    d2.write(lines.join(QLatin1Char('\n')).toUtf8());
    d2.close();
    out = TransferRules::importFiles(job);
    QVERIFY2(out.ok(), qPrintable(out.failure));
    QCOMPARE(out.rows.size(), 10);
    // Grid time 2k reads device 2's record of 2k − 1 s (at .900; 0 s for the
    // first); B's second value is that record's channel 101.
    for (int k = 0; k < 5; ++k) {
        const int record = qMax(0, 2 * k - 1);
        const bool isLong = record == 3 || record == 7;
        QCOMPARE(out.rows.at(2 * k + 1).Data.at(1), isLong ? longText : TransferSample::valueText(1, 0, record));
        QCOMPARE(out.rows.at(2 * k + 1).Data.at(2), TransferSample::valueText(1, 2, record));
    }
}

void TestTransfer::importRefusals()
{
    TestWorkDir dir;
    SystemContext context;
    TransferSample::fill(context, 1, 2, {"A"}, 1.0, kS, kS.addSecs(10));
    QVERIFY(TransferSample::writeScannerFile(dir.file("d1.csv"), 0, 2, kS, 20));
    TransferRules::ImportJob job{context.AcquisitionDevice, context.ChannelConfig, context.ChannelList,
                                 context.ProjectName, {dir.file("d1.csv")}, kS, kS.addSecs(10), 1.0};
    struct Case
    {
        std::function<void(TransferRules::ImportJob&)> change;
        QString failure;
    } cases[] = {
        {[](auto& j) { j.devices[0].Mode = QStringLiteral("3107A-NTC"); }, "该设备不支持数据导入：3107A-NTC"},
        {[](auto& j) { j.scanInterval = 0.5; }, "扫描间隔小于1秒，无法导入数据！"},
        {[](auto& j) { j.paths = QStringList{QString()}; }, "未检测到通道！\n设备1（%1），文件：-"},
        {[](auto& j) { j.configs[0].ChannelNumber[1] = QStringLiteral("109"); }, "未检测到通道！\n设备1（%1），文件：d1.csv"},
        {[](auto& j) { j.chosen.removeLast(); }, "通道不匹配！"},
    };
    for (const Case& c : cases) {
        TransferRules::ImportJob changed = job;
        c.change(changed);
        const Outcome out = TransferRules::importFiles(changed);
        QCOMPARE(out.failure, c.failure.contains(QLatin1String("%1")) ? c.failure.arg(job.devices.at(0).Mode) : c.failure);
        QVERIFY(out.rows.isEmpty());
    }
}

// The dialog stores whole projects or nothing: a taken name and a failing
// file leave every earlier row in place and add none.
void TestTransfer::importDialogAtomic()
{
    TestWorkDir dir;
    QVERIFY(TestSupport::openDatabase());
    Tool::Struct_Parameters old;
    old.Name = QStringLiteral("B");
    QVERIFY(Tool::addParameters(old));
    QVERIFY(Tool::addParametersData({QStringLiteral("B"), kS, {"1", "2"}}));
    const QStringList before = TransferSample::dump();

    SystemContext context;
    TransferSample::fill(context, 2, 3, {"A", "B"}, 1.0, kS, kS.addSecs(30));
    QVERIFY(TransferSample::writeScannerFile(dir.file("d1.csv"), 0, 3, kS, 40));
    QVERIFY(TransferSample::writeScannerFile(dir.file("d2.csv"), 1, 3, kS, 40));
    auto run = [&](const QStringList& names) {
        context.ProjectName = names;
        ParametersImport dialog;
        dialog.setContext(&context);
        QVERIFY(dialog.findChild<QPushButton*>("pushButton_Choice2")->isEnabled());
        QVERIFY(!dialog.findChild<QPushButton*>("pushButton_Choice3")->isEnabled());
        FileDialog::setTestMode(true);
        FileDialog::queueAnswer(dir.file("d1.csv"));
        FileDialog::queueAnswer(dir.file("d2.csv"));
        dialog.pt_Set1_clicked();
        dialog.pt_Set2_clicked();
        QCOMPARE(dialog.findChild<QLineEdit*>("lineEdit_Name2")->text(), QStringLiteral("d2.csv"));
        QSignalSpy done(&dialog, &ParametersImport::importFinished);
        dialog.pt_OK_clicked();
        QVERIFY(dialog.busy());
        dialog.reject(); // not closable while it runs
        QVERIFY(done.wait(20000));
        QVERIFY(!dialog.busy());
    };
    run({"A", "B"});
    QCOMPARE(MessageBox::last().text, QStringLiteral("已存在同名项目，未保存任何数据：B"));
    QCOMPARE(TransferSample::dump(), before);

    QVERIFY(TransferSample::writeScannerFile(dir.file("d2.csv"), 1, 3, kS, 40, 29));
    run({"A", "C"});
    QVERIFY2(MessageBox::last().text.startsWith(QStringLiteral("采集数据不匹配，未能保存数据！\n设备2（"))
                 && MessageBox::last().text.endsWith(QStringLiteral("），文件：d2.csv，时间：2024-05-06 10:00:29")),
             qPrintable(MessageBox::last().text));
    QCOMPARE(TransferSample::dump(), before);

    QVERIFY(TransferSample::writeScannerFile(dir.file("d2.csv"), 1, 3, kS, 40));
    run({"A", "C"});
    QCOMPARE(MessageBox::last().text, QStringLiteral("数据保存成功！"));
    QCOMPARE(TestSupport::scalar("select count(*) from ParametersData where Name = 'A'").toInt(), 30);
    QCOMPARE(TestSupport::scalar("select count(*) from ParametersData where Name = 'C'").toInt(), 30);
    QCOMPARE(TestSupport::scalar("select Channel from Parameters where Name = 'C'").toString(),
             QStringLiteral("1-102,2-101,2-103"));
    QCOMPARE(TestSupport::scalar("select count(*) from ParametersData where Name = 'B'").toInt(), 1);
    QCOMPARE(TestSupport::scalar("select min(Time) from ParametersData where Name = 'C'").toString(),
             QStringLiteral("2024-05-06 10:00:00.000"));
    TestSupport::closeDatabase();
}

// The save of the offline dialog: working files in, whole projects out; the
// working files never outlive the dialog.
void TestTransfer::offlineDialogSave()
{
    TestWorkDir dir;
    QVERIFY(TestSupport::openDatabase());
    SystemContext context;
    TransferSample::fill(context, 1, 2, {"A"}, 1.0, kS, kS.addSecs(5));
    context.Mode = QStringLiteral("脱机");
    {
        ParametersDisconnection dialog;
        dialog.setContext(&context);
        QVERIFY(!dialog.table(1)->isVisibleTo(&dialog) && !dialog.table(2)->isVisibleTo(&dialog));
        QSignalSpy done(&dialog, &ParametersDisconnection::workFinished);
        dialog.pt_OK_clicked(); // nothing downloaded yet
        QVERIFY(done.wait(5000));
        QCOMPARE(MessageBox::last().text, QStringLiteral("文件打开失败！"));
        QVERIFY(TransferSample::writeScannerFile(ParametersDisconnection::workingFileName(0), 0, 2, kS, 10));
        dialog.pt_OK_clicked();
        QVERIFY(done.wait(5000));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    QVERIFY(!QFile::exists(ParametersDisconnection::workingFileName(0)));
    // The end flag is set (5 s > 1 s): rows at 0 … 5 s, the record 1 s after the end not stored.
    QCOMPARE(TestSupport::scalar("select count(*) from ParametersData where Name = 'A'").toInt(), 6);
    QCOMPARE(TestSupport::scalar("select count(*) from Parameters where Name = 'A'").toInt(), 1);

    // What a download is reported with: the records of each file and the
    // span a save stores, against the last scan the instruments were set for.
    TransferRules::WorkingFilesJob job;
    job.paths << dir.file("w0.csv") << dir.file("w1.csv");
    job.chosen = context.ChannelList;
    job.projectNames = QStringList{"A"};
    job.start = kS;
    job.end = kS.addSecs(60);
    job.scanInterval = 1;
    QVERIFY(TransferSample::writeScannerFile(job.paths.at(0), 0, 2, kS, 70));
    QVERIFY(TransferSample::writeScannerFile(job.paths.at(1), 0, 2, kS, 30));
    TransferRules::DownloadSummary summary = TransferRules::summarize(job);
    QCOMPARE(summary.records, (QList<int>{70, 30}));
    QVERIFY2(summary.failure.isEmpty(), qPrintable(summary.failure));
    QCOMPARE(summary.first, kS);
    QCOMPARE(summary.last, kS.addSecs(29)); // the shorter file ends the data
    QCOMPARE(TransferRules::plannedLastScan(job.start, job.end, 1), kS.addSecs(59));
    QCOMPARE(TransferRules::plannedLastScan(job.start, job.end, 10), kS.addSecs(50));
    QCOMPARE(TransferRules::plannedLastScan(kS, kS, 10), QDateTime());
    job.paths.removeLast();
    summary = TransferRules::summarize(job);
    QCOMPARE(summary.last, kS.addSecs(60)); // a record within 1 s after the end still counts
    QFile::remove(job.paths.at(0));
    summary = TransferRules::summarize(job);
    QCOMPARE(summary.failure, QStringLiteral("文件打开失败！"));

    // A model without a driver is a device that cannot be reached.
    context.AcquisitionDevice[0].Mode = QStringLiteral("XYZ");
    {
        ParametersDisconnection dialog;
        dialog.setContext(&context);
        QSignalSpy done(&dialog, &ParametersDisconnection::workFinished);
        for (auto press : {&ParametersDisconnection::pt_Set_clicked, &ParametersDisconnection::pt_Query_clicked}) {
            (dialog.*press)();
            QVERIFY(done.wait(5000));
            QCOMPARE(MessageBox::last().text, QStringLiteral("设备连接失败,请重试！"));
        }
    }

    // The trigger timer counts whole seconds: a 2.5 s interval would be run at
    // 2 s and stored on the 2.5 s grid, so setting it is refused at once.
    context.AcquisitionDevice[0].ScanInterval = 2.5;
    {
        ParametersDisconnection dialog;
        dialog.setContext(&context);
        MessageBox::clear();
        dialog.pt_Set_clicked();
        QCOMPARE(MessageBox::last().text, QStringLiteral("脱机采集的扫描间隔须为整数秒，请修改设备的扫描间隔：2.5"));
    }
    TestSupport::closeDatabase();
}

QTEST_MAIN(TestTransfer)
#include "tst_transfer.moc"

// Long runs go into the transaction batch by batch as they are read: many
// batches, none large, the same rows as read whole; a failure after
// batches were stored (a missing record, a bad interval, an allocation that
// fails) still leaves the database exactly as it was.
void TestTransfer::streamedStore_data()
{
    QTest::addColumn<bool>("offline");
    QTest::addColumn<int>("broken");      // record of the second file left out (import) or cut short, -1: none
    QTest::addColumn<bool>("throwAlloc"); // the reader's third batch fails to allocate
    QTest::addColumn<QString>("failure");
    QTest::newRow("import") << false << -1 << false << QString();
    QTest::newRow("import, record missing late") << false << 4500 << false
                                                 << QStringLiteral("采集数据不匹配，未能保存数据！\n设备2（Fluke 1586A），文件：d2.csv，时间：2024-05-06 11:15:00");
    QTest::newRow("import, out of memory") << false << -1 << true << QStringLiteral("内存不足，未保存任何数据！");
    QTest::newRow("offline") << true << -1 << false << QString();
    QTest::newRow("offline, record short late") << true << 4500 << false
                                                << QStringLiteral("采集数据不匹配，未能保存数据！");
    QTest::newRow("offline, out of memory") << true << -1 << true << QStringLiteral("内存不足，未保存任何数据！");
}

void TestTransfer::streamedStore()
{
    QFETCH(bool, offline);
    QFETCH(int, broken);
    QFETCH(bool, throwAlloc);
    QFETCH(QString, failure);
    TestWorkDir dir;
    QVERIFY(TestSupport::openDatabase());
    QVERIFY(Tool::addParametersData({QStringLiteral("Z"), kS, {"1", "2"}}));
    const QStringList before = TransferSample::dump();
    const int seconds = 6000;
    SystemContext context;
    TransferSample::fill(context, 2, 3, {"A", "C"}, 1.0, kS, kS.addSecs(seconds - 1));
    const QStringList paths{dir.file("d1.csv"), dir.file("d2.csv")};
    QVERIFY(TransferSample::writeScannerFile(paths.at(0), 0, 3, kS, seconds));
    QVERIFY(TransferSample::writeScannerFile(paths.at(1), 1, 3, kS, seconds, offline ? -1 : broken));
    if (offline && broken >= 0) {
        QFile file(paths.at(1));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QList<QByteArray> lines = file.readAll().split('\n');
        file.close();
        lines[broken + 1] = lines[broken + 1].left(lines[broken + 1].indexOf(',', 30)) + ",0,0";
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(lines.join('\n'));
    }
    const TransferRules::ImportJob job{context.AcquisitionDevice, context.ChannelConfig, context.ChannelList,
                                       context.ProjectName, paths, kS, kS.addSecs(seconds - 1), 1.0};
    TransferRules::WorkingFilesJob working{paths, context.ChannelList, context.ProjectName, kS,
                                           kS.addSecs(seconds - 1), 1.0};
    QList<Tool::Struct_Parameters> projects;
    for (const QString& name : context.ProjectName) {
        Tool::Struct_Parameters p;
        p.Name = name;
        projects << p;
    }
    int batches = 0, largest = 0;
    QList<int> percents;
    TransferTask task;
    connect(&task, &TransferTask::progress, this, [&percents](int p) { percents << p; });
    QSignalSpy finished(&task, &TransferTask::finished);
    task.start(
        [&](const TransferRules::Progress& progress, const std::atomic<bool>* cancel, const TransferRules::RowSink& sink) {
            const TransferRules::RowSink counted = [&](const QList<Tool::Struct_ParametersData>& rows) {
                ++batches;
                largest = qMax(largest, int(rows.size()));
                if (throwAlloc && batches == 3)
                    throw std::bad_alloc();
                return sink(rows);
            };
            return offline ? TransferRules::readWorkingFiles(working, progress, cancel, counted)
                           : TransferRules::importFiles(job, progress, cancel, counted);
        },
        projects, QSqlDatabase::database().databaseName());
    QVERIFY(finished.wait(20000));
    QCOMPARE(finished.first().at(0).toString(), failure);
    QVERIFY2(batches >= (failure.isEmpty() ? 3 : 2), qPrintable(QString::number(batches)));
    QVERIFY(largest <= 3072 + 2);
    if (!failure.isEmpty()) {
        QCOMPARE(TransferSample::dump(), before);
        TestSupport::closeDatabase();
        return;
    }
    // The import's grid ends before the end time; the offline save keeps the record at it.
    const int rows = offline ? seconds : seconds - 1;
    QCOMPARE(TestSupport::scalar("select count(*) from ParametersData where Name = 'A'").toInt(), rows);
    QCOMPARE(TestSupport::scalar("select count(*) from ParametersData where Name = 'C'").toInt(), rows);
    QCOMPARE(TestSupport::scalar("select count(*) from Parameters").toInt(), 2);
    // Device-major channels alternate between the projects: C holds channel 102 of
    // device 1 and 101, 103 of device 2.
    const qint64 last = rows - 1;
    QCOMPARE(TestSupport::scalar("select Data from ParametersData where Name = 'C' order by Time desc limit 1").toString(),
             QStringList({TransferSample::valueText(0, 1, last), TransferSample::valueText(1, 0, last),
                          TransferSample::valueText(1, 2, last)})
                 .join(QLatin1Char(',')));
    QCOMPARE(percents.last(), 100);
    QVERIFY(std::is_sorted(percents.begin(), percents.end()));
    QVERIFY(percents.size() > 4);
    QVERIFY(percents.first() >= 0);
    TestSupport::closeDatabase();
}

// The grid runs through a change of the zone's offset as the local clock
// does: every grid time is start + k s, reads on the wall clock as the
// file's records do, and is found in the file.
void TestTransfer::importAcrossZoneChange_data()
{
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("twentieth"); // the clock reading of grid time 20
    QTest::newRow("spring, 02:00 skipped") << "2024-03-31 01:59:50" << "2024-03-31 03:00:10";
    QTest::newRow("autumn, 02:00 again") << "2024-10-27 02:59:50" << "2024-10-27 02:00:10";
    QTest::newRow("no change") << "2024-05-06 10:59:50" << "2024-05-06 11:00:10";
}

void TestTransfer::importAcrossZoneChange()
{
    QFETCH(QString, start);
    QFETCH(QString, twentieth);
    const QByteArray zone = qgetenv("TZ");
    const bool hadZone = qEnvironmentVariableIsSet("TZ");
    qputenv("TZ", "Europe/Berlin");
    auto restore = qScopeGuard([&] {
        if (hadZone)
            qputenv("TZ", zone);
        else
            qunsetenv("TZ");
    });
    TestWorkDir dir;
    QDateTime from = QDateTime::fromString(start, kFormat);
    // In autumn the first pass through 02:xx is summer time: start there.
    if (!from.isDaylightTime() && start.startsWith(QLatin1String("2024-10")))
        from = from.addSecs(-3600);
    QVERIFY(from.isValid());
    const int seconds = 60;
    SystemContext context;
    TransferSample::fill(context, 1, 2, {"A"}, 1.0, from, from.addSecs(seconds));
    QVERIFY(TransferSample::writeScannerFile(dir.file("d1.csv"), 0, 2, from, seconds + 5));
    const TransferRules::ImportJob job{context.AcquisitionDevice, context.ChannelConfig, context.ChannelList,
                                       context.ProjectName, {dir.file("d1.csv")}, from, from.addSecs(seconds), 1.0};
    const Outcome out = TransferRules::importFiles(job);
    QVERIFY2(out.ok(), qPrintable(out.failure));
    QCOMPARE(out.rows.size(), seconds);
    for (int k = 0; k < seconds; ++k) {
        QCOMPARE(out.rows.at(k).Time, from.addSecs(k));
        QCOMPARE(out.rows.at(k).Time.toString(kFormat), from.addSecs(k).toString(kFormat));
        QCOMPARE(out.rows.at(k).Data, (QStringList{TransferSample::valueText(0, 0, k), TransferSample::valueText(0, 1, k)}));
    }
    QCOMPARE(out.rows.at(20).Time.toString(kFormat), twentieth);

    // The offline save of the same file: the records follow each other by
    // the interval across the change, and the record at the end is kept.
    const TransferRules::WorkingFilesJob working{{dir.file("d1.csv")}, context.ChannelList, context.ProjectName,
                                                 from, from.addSecs(seconds), 1.0};
    const Outcome saved = TransferRules::readWorkingFiles(working);
    QVERIFY2(saved.ok(), qPrintable(saved.failure));
    QCOMPARE(saved.rows.size(), seconds + 1);
    for (int k = 0; k <= seconds; ++k) {
        QCOMPARE(saved.rows.at(k).Time.toString(kFormat), from.addSecs(k).toString(kFormat));
        QCOMPARE(saved.rows.at(k).Data.at(1), TransferSample::valueText(0, 1, k));
    }
}
