#include "ReportCsv.h"
#include "ReportData.h"
#include "ReportJob.h"
#include "ReportNumber.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <unistd.h>
#ifdef Q_OS_WIN
// No root on Windows: permissions hold for the test's user.
static int geteuid() { return 1; }
#endif

#include <cmath>
#include <ctime>

// The data table as CSV, and what every writer does when its file cannot be
// written: the reason for the user, no file left behind.
namespace {

const QDateTime kT0(QDate(2026, 3, 2), QTime(10, 0, 0));

// A project of `rows` scans every `scanMs` from kT0; channel c of row r reads
// 20 + c + r / 8 (eighths: exact ties at two places).
struct Input
{
    Tool::Struct_Parameters project;
    QVector<qint64> times;
    QVector<QVector<double>> columns;
};

Input input(int rows, int scanMs, const QStringList& channels, const QStringList& units)
{
    Input in;
    in.project.Name = QStringLiteral("csv");
    in.project.Start = kT0.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    in.project.ScanInterval = QString::number(scanMs / 1000.0);
    in.project.Channel = channels;
    in.project.Unit = units;
    in.columns.resize(channels.size());
    for (int r = 0; r < rows; ++r) {
        in.times << kT0.toMSecsSinceEpoch() + qint64(r) * scanMs;
        for (int c = 0; c < channels.size(); ++c)
            in.columns[c] << 20 + c + r / 8.0;
    }
    return in;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestReportCsv : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void endToEnd_data();
    void endToEnd();
    void cancelKeepsTheOlderFile();
    void localTimes();
    void textsAsTheOtherWritersShowThem_data();
    void textsAsTheOtherWritersShowThem();
    void failureShowsItsReason_data();
    void failureShowsItsReason();
};

void TestReportCsv::endToEnd_data()
{
    QTest::addColumn<QString>("print");
    QTest::addColumn<QString>("timeFormat");
    QTest::addColumn<QList<int>>("rows"); // scan rows written
    // Scans every 0.5 s; two segments, 10:00:00–10:00:02 and 10:00:02–10:00:04.
    QTest::newRow("whole seconds") << "1" << "yyyy-MM-dd HH:mm:ss" << QList<int>{0, 2, 4, 6, 8};
    QTest::newRow("between seconds") << "1.5" << "yyyy-MM-dd HH:mm:ss.zzz" << QList<int>{0, 3, 6, 9};
}

// Through the report job as the page runs it: the kept channels only, rows
// thinned by the print interval, each row of the segments once (the row where
// one ends and the next begins too), BOM, quoted header fields, decimals,
// empty fields for no number, CR LF, progress up to the total, no ".part".
void TestReportCsv::endToEnd()
{
    QFETCH(QString, print);
    QFETCH(QString, timeFormat);
    QFETCH(QList<int>, rows);
    Input in = input(12, 500, {"1-1", "1-2", "温,度", "say \"x\""}, {"℃", "%RH", "℃", "mV"});
    in.columns[3][6] = qQNaN();
    ReportJob job;
    ReportData::prepare(in.project, in.times, in.columns, {true, false, true, true}, print, &job.project, &job.times,
                        &job.columns);
    job.decimals = 2;
    job.options.Format = QStringLiteral("CSV");
    job.options.Path = m_dir.filePath(QStringLiteral("table.csv"));
    job.options.ScanInterval = in.project.ScanInterval;
    job.options.PrintInterval = print;
    job.options.SegmentStart = {kT0, kT0.addSecs(2)};
    job.options.SegmentEnd = {kT0.addSecs(2), kT0.addSecs(4)};
    job.options.SegmentRemarks = QStringList{QStringLiteral("a"), QStringLiteral("b")};
    QList<QPair<qint64, qint64>> progress;
    QString failure = QStringLiteral("unset");
    QVERIFY(job.run([&](qint64 done, qint64 total) { progress << qMakePair(done, total); }, nullptr, nullptr,
                    &failure));
    QCOMPARE(failure, QString());
    QCOMPARE(progress.last(), qMakePair(qint64(rows.size()), qint64(rows.size())));

    QByteArray expected("\xEF\xBB\xBF");
    expected += QStringLiteral("时间,1-1(℃),\"温,度(℃)\",\"say \"\"x\"\"(mV)\"\r\n").toUtf8();
    for (int r : rows) {
        QStringList fields{QDateTime::fromMSecsSinceEpoch(in.times.at(r)).toString(timeFormat)};
        for (int c : {0, 2, 3})
            fields << (std::isnan(in.columns[c][r]) ? QString() : QString::number(in.columns[c][r], 'f', 2));
        expected += fields.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    const QByteArray written = readAll(job.options.Path);
    QCOMPARE(QString::fromUtf8(written), QString::fromUtf8(expected));
    QCOMPARE(written, expected);
    QVERIFY(!QFile::exists(job.options.Path + QStringLiteral(".part")));
}

void TestReportCsv::cancelKeepsTheOlderFile()
{
    const QString path = m_dir.filePath(QStringLiteral("cancel.csv"));
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly) && old.write("older") == 5);
    }
    const Input in = input(5000, 1000, {"1-1"}, {"℃"});
    std::atomic<bool> cancel{false};
    ReportCsv writer(path);
    writer.setData(2, in.project, in.times, in.columns, {kT0}, {kT0.addSecs(5000)}, QStringLiteral("1"));
    writer.setCancel(&cancel);
    qint64 seen = -1;
    writer.setProgress([&](qint64 done, qint64) {
        seen = done;
        cancel = true;
    });
    QVERIFY(!writer.write());
    QCOMPARE(writer.failure(), QString());
    QVERIFY(seen < 5000);
    QCOMPARE(readAll(path), QByteArray("older"));
    QVERIFY(!QFile::exists(path + QStringLiteral(".part")));
}

// Local wall-clock dates and times across a change of the zone's offset and
// a new year, as QDateTime gives them.
void TestReportCsv::localTimes()
{
    const QByteArray saved = qgetenv("TZ");
    qputenv("TZ", "Europe/Berlin");
    tzset();
    Input in = input(0, 1000, {"1-1"}, {"℃"});
    QStringList expected;
    const qint64 starts[] = {QDateTime(QDate(1969, 12, 31), QTime(22, 50), Qt::UTC).toMSecsSinceEpoch(),
                             QDateTime(QDate(2026, 10, 25), QTime(0, 50), Qt::UTC).toMSecsSinceEpoch(),
                             QDateTime(QDate(2026, 12, 31), QTime(22, 50), Qt::UTC).toMSecsSinceEpoch()};
    for (const qint64 start : starts)
        for (int i = 0; i < 25; ++i) {
            const qint64 ms = start + i * 59999LL;
            in.times << ms;
            in.columns[0] << i;
            expected << QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
        }
    const QString path = m_dir.filePath(QStringLiteral("zone.csv"));
    ReportCsv writer(path);
    writer.setData(0, in.project, in.times, in.columns, {QDateTime::fromMSecsSinceEpoch(in.times.first())},
                   {QDateTime::fromMSecsSinceEpoch(in.times.last())}, QStringLiteral("0.5"));
    const bool ok = writer.write();
    if (saved.isNull())
        qunsetenv("TZ");
    else
        qputenv("TZ", saved);
    tzset();
    QVERIFY(ok);
    QStringList times;
    const QList<QByteArray> lines = readAll(path).split('\n');
    for (int i = 1; i < lines.size(); ++i)
        if (!lines.at(i).isEmpty())
            times << QString::fromLatin1(lines.at(i).split(',').first());
    QCOMPARE(times, expected);
}

void TestReportCsv::textsAsTheOtherWritersShowThem_data()
{
    QTest::addColumn<int>("decimals");
    for (int d : {0, 1, 2, 3, 6})
        QTest::addRow("%d places", d) << d;
}

// The quick value text is Qt's text, ties included (0.125 → "0.13", 20.5 → "21").
void TestReportCsv::textsAsTheOtherWritersShowThem()
{
    QFETCH(int, decimals);
    QList<double> values{0.125, 2.675, 20.5, -20.5, 0.0625, -0.001, 1e-9, 123456.785, 1e17, -0.0, 99.995, 0.5};
    QRandomGenerator random(7);
    for (int i = 0; i < 20000; ++i) {
        values << (random.generateDouble() - 0.5) * std::pow(10.0, random.bounded(-3, 7));
        values << std::round(random.generateDouble() * 4096) / std::ldexp(1.0, random.bounded(1, 10)); // ties
    }
    char text[ReportNumber::kTextSize];
    for (const double v : values) {
        const QByteArray qt = QByteArray::number(v, 'f', decimals);
        const int n = ReportNumber::fixedText(v, decimals, text);
        QCOMPARE(QByteArray(text, n), qt);
    }
    QCOMPARE(ReportNumber::fixedText(qQNaN(), decimals, text), 0);
    QCOMPARE(ReportNumber::fixedText(qInf(), decimals, text), 0);
}

void TestReportCsv::failureShowsItsReason_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("target"); // in the test folder
    QTest::addColumn<QString>("reason");
    for (const char* f : {"PDF", "Excel", "CSV"}) {
        const QString format = QLatin1String(f);
        const QString suffix = format == QLatin1String("Excel") ? QStringLiteral(".xlsx") : "." + format.toLower();
        QTest::addRow("%s, missing folder", f) << format << "no/such/report" + suffix << "保存路径不存在。";
        QTest::addRow("%s, read-only folder", f) << format << "read-only/report" + suffix
                                                 << "没有写入权限，或文件正被其他程序打开。";
        QTest::addRow("%s, a folder", f) << format << "folder" + suffix << "保存路径是一个文件夹。";
    }
    // The file beside the target leads to a full device.
    QTest::newRow("PDF, disk full") << "PDF" << "full.pdf" << "磁盘空间不足。";
    QTest::newRow("CSV, disk full") << "CSV" << "full.csv" << "磁盘空间不足。";
}

void TestReportCsv::failureShowsItsReason()
{
    QFETCH(QString, format);
    QFETCH(QString, target);
    QFETCH(QString, reason);
    QDir dir(m_dir.path());
    QString path = dir.filePath(target);
    if (target.startsWith(QLatin1String("read-only/")) && ::geteuid() == 0) {
        // Folder permissions do not hold for root; sysfs refuses new files to everyone.
        if (!QFileInfo(QStringLiteral("/sys")).isDir())
            QSKIP("permissions do not hold for root, and there is no /sys");
        path = QStringLiteral("/sys/") + QFileInfo(target).fileName();
    } else if (target.startsWith(QLatin1String("read-only/"))) {
        QVERIFY(dir.mkpath(QStringLiteral("read-only")));
        QVERIFY(QFile::setPermissions(dir.filePath(QStringLiteral("read-only")),
                                      QFile::ReadOwner | QFile::ExeOwner));
    }
    const QString part = path + QStringLiteral(".part");
    if (target.startsWith(QLatin1String("folder")))
        QVERIFY(dir.mkpath(target));
    if (target.startsWith(QLatin1String("full"))) {
        if (!QFileInfo::exists(QStringLiteral("/dev/full")))
            QSKIP("no /dev/full");
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), part));
    }
    Input in = input(2000, 1000, {"1-1", "1-2"}, {"℃", "℃"});
    ReportJob job;
    ReportData::prepare(in.project, in.times, in.columns, {true, true}, QStringLiteral("1"), &job.project, &job.times,
                        &job.columns);
    job.options.Format = format;
    job.options.Path = path;
    job.options.ScanInterval = job.options.PrintInterval = QStringLiteral("1");
    job.options.SegmentStart = {kT0};
    job.options.SegmentEnd = {kT0.addSecs(2000)};
    job.options.SegmentRemarks = QStringList{QStringLiteral("x")};
    job.chart = QImage(400, 200, QImage::Format_RGB32);
    job.chart.fill(Qt::white);
    QString failure;
    const bool ok = job.run(nullptr, nullptr, nullptr, &failure);
    QFile::setPermissions(dir.filePath(QStringLiteral("read-only")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QVERIFY(!ok);
    QCOMPARE(failure, reason);
    QVERIFY(!QFileInfo(path).isFile());
    QVERIFY(!QFileInfo(part).exists() && !QFileInfo(part).isSymLink());
}

QTEST_MAIN(TestReportCsv)
#include "tst_reportcsv.moc"
