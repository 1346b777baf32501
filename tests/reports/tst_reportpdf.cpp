// The PDF report read back by poppler (pdfinfo, pdftotext, pdftoppm,
// pdfimages): page totals against the real page count, header and footer on
// every page, table contents, statistics, shading, segments, Chinese text,
// and the file left at the path after success, failure and cancel.
#include "PdfLayout.h"
#include "ReportData.h"
#include "Tool.h"
#include "VerificationReportPDF.h"

#include "TestSupport.h"

#include <QtTest>

#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QTranslator>

#include <cmath>
#include <unistd.h>
#ifdef Q_OS_WIN
// No root on Windows: permissions hold for the test's user.
static int geteuid() { return 1; }
#endif

namespace {

const QDateTime T0 =
    QDateTime::fromString(QStringLiteral("2026-12-10 10:00:00"), QStringLiteral("yyyy-MM-dd hh:mm:ss"));

// Channels "d-CHnnn" spread over two devices; units as given (default ℃).
Tool::Struct_Parameters project(int channels, const QStringList& units = {})
{
    Tool::Struct_Parameters p;
    p.Name = QStringLiteral("测试项目");
    p.Time = QStringLiteral("2026-12-10 10:00:00");
    p.DeviceMode = QStringList{"ARQ-310MX", "ARQ-310MX"};
    p.SerialNumber = QStringList{"SN-0001", "SN-0002"};
    p.ChannelConfig = QStringList{"配置一", "配置二"};
    for (int c = 0; c < channels; ++c) {
        const int device = c < (channels + 1) / 2 ? 1 : 2;
        p.Channel << QStringLiteral("%1-CH%2").arg(device).arg(101 + c);
        p.Unit << units.value(c, QStringLiteral("℃"));
    }
    return p;
}

double value(int row, int channel)
{
    return channel * 10 + row * 0.01;
}

QList<Tool::Struct_ParametersData> rows(int count, int channels)
{
    QList<Tool::Struct_ParametersData> out;
    for (int r = 0; r < count; ++r) {
        Tool::Struct_ParametersData d;
        d.Time = T0.addSecs(r);
        for (int c = 0; c < channels; ++c)
            d.Data << QString::number(value(r, c), 'f', 3);
        out << d;
    }
    return out;
}

struct Report
{
    Tool::Struct_Parameters project;
    QList<Tool::Struct_ParametersData> rows;
    QList<bool> flags{true, false, false, false, false};
    QList<QDateTime> starts, ends;
    QStringList remarks;
};

Report simple(int channels, int rowCount, const QList<bool>& flags = {true, false, false, false, false},
              const QStringList& units = {})
{
    Report r;
    r.project = project(channels, units);
    r.rows = rows(rowCount, channels);
    r.flags = flags;
    r.starts = {T0};
    r.ends = {T0.addSecs(qMax(0, rowCount - 1))};
    r.remarks = QStringList{QStringLiteral("全程")};
    return r;
}

QImage chartPicture()
{
    QImage chart(600, 250, QImage::Format_RGB32);
    chart.fill(Qt::white);
    QPainter p(&chart);
    p.setPen(QPen(Qt::blue, 3));
    p.drawLine(0, 200, 600, 50);
    return chart;
}

// Runs the steps as the report thread does; the result of finish.
bool write(const QString& path, const Report& r, int* pageTotal = nullptr,
           std::function<void(qint64, qint64)> progress = {}, const std::atomic<bool>* cancel = nullptr,
           bool* stepsOk = nullptr)
{
    VerificationReportPDF pdf(path);
    pdf.setData(2, r.flags, r.project, r.rows, r.starts, r.ends, r.remarks);
    if (progress)
        pdf.setProgress(progress);
    pdf.setCancel(cancel);
    if (pageTotal)
        *pageTotal = pdf.pageTotal();
    const bool ok = pdf.writeHome() && pdf.writeTables() && pdf.writeChart(chartPicture());
    if (stepsOk)
        *stepsOk = ok;
    return pdf.finish();
}

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitCode() != 0)
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pdfPages(const QString& path)
{
    const QString info = run("pdfinfo", {path});
    const QRegularExpressionMatch m =
        QRegularExpression("^Pages:\\s+(\\d+)", QRegularExpression::MultilineOption).match(info);
    return m.hasMatch() ? m.captured(1).toInt() : -1;
}

// Text of every page, in layout mode (one table row a line).
QStringList pdfPageTexts(const QString& path)
{
    QStringList pages = run("pdftotext", {"-layout", path, "-"}).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

// The words of the line that starts with `first` on a page, or empty.
QStringList lineStarting(const QString& page, const QString& first)
{
    for (const QString& line : page.split(QLatin1Char('\n'))) {
        const QStringList words = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (words.value(0) + QLatin1Char(' ') + words.value(1) == first || words.value(0) == first)
            return words;
    }
    return {};
}

QString rowTime(int r)
{
    return T0.addSecs(r).toString(QStringLiteral("MM-dd hh:mm:ss.zzz"));
}

} // namespace

class TestReportPdf : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void layout_data();
    void layout();
    void pageTotals_data();
    void pageTotals();
    void homePageAndDataTable();
    void coverStatesTheAcquisition_data();
    void coverStatesTheAcquisition();
    void analysisTables();
    void segmentsAndTableOrder();
    void shadingAndRules();
    void fontIsFoundAndEmbedded();
    void cancelLeavesNoFile();
    void progressReachesTotal();
    void unwritablePath_data();
    void unwritablePath();
    void englishLayout();
    void otherUnitsAndNoNumbers();
    void missingFontIsNoticed();
    void hourOfLongProject();
    void cleanupTestCase();

private:
    QTemporaryDir m_dir;
};

namespace {
struct Word
{
    int page;
    double xMin, yMin, xMax, yMax;
    QString text;
};

// Every word of the PDF with its box (pdftotext -bbox), page by page.
QList<Word> pdfWords(const QString& path)
{
    const QString html = run("pdftotext", {"-bbox", path, "-"});
    QList<Word> words;
    int page = 0;
    const QRegularExpression pageStart(QStringLiteral("<page "));
    const QRegularExpression word(QStringLiteral(
        "<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" yMax=\"([\\d.]+)\">([^<]*)</word>"));
    for (const QString& line : html.split(QLatin1Char('\n'))) {
        if (line.contains(pageStart))
            ++page;
        const QRegularExpressionMatch m = word.match(line);
        if (m.hasMatch())
            words << Word{page, m.captured(1).toDouble(), m.captured(2).toDouble(), m.captured(3).toDouble(),
                          m.captured(4).toDouble(), m.captured(5)};
    }
    return words;
}

// Pairs of words on one page whose boxes overlap (text printed over text).
QStringList overlaps(const QList<Word>& words)
{
    QStringList out;
    for (int i = 0; i < words.size(); ++i) {
        for (int j = i + 1; j < words.size(); ++j) {
            const Word& a = words.at(i);
            const Word& b = words.at(j);
            if (a.page != b.page)
                continue;
            // Words of one line (centres within a third of a line height)
            // whose boxes meet: one printed over the other. A little slack:
            // neighbouring boxes of one font touch. Lines stacked closer than
            // the face's line height (two-line headers) are no overlap.
            const double dx = std::min(a.xMax, b.xMax) - std::max(a.xMin, b.xMin);
            const double height = std::min(a.yMax - a.yMin, b.yMax - b.yMin);
            const double dy = std::fabs((a.yMin + a.yMax) - (b.yMin + b.yMax)) / 2;
            if (dx > 0.5 && dy < height / 3)
                out << QStringLiteral("page %1: \"%2\" over \"%3\"").arg(a.page).arg(a.text, b.text);
        }
    }
    return out;
}
} // namespace

void TestReportPdf::initTestCase()
{
    Q_INIT_RESOURCE(resources);
    QVERIFY(m_dir.isValid());
    if (QStandardPaths::findExecutable("pdfinfo").isEmpty() ||
        QStandardPaths::findExecutable("pdftotext").isEmpty())
        ARQ_REQUIRE(false, "poppler-utils (pdfinfo, pdftotext)");
}

// The layout arithmetic alone: sections, slots and totals.
void TestReportPdf::layout_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<QList<int>>("segmentRows");
    QTest::addColumn<QList<bool>>("flags");
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("right");
    QTest::addColumn<int>("total");
    const QList<bool> data{true, false, false, false, false};
    QTest::newRow("25 channels x 30 rows: 3 blocks of 2 pages")
        << 25 << QList<int>{30} << data << 25 << 0 << 8;
    QTest::newRow("23 rows on one page") << 1 << QList<int>{23} << data << 1 << 0 << 3;
    QTest::newRow("24 rows: closing line alone") << 1 << QList<int>{24} << data << 1 << 0 << 4;
    QTest::newRow("10 channels one block, 11 two") << 11 << QList<int>{1} << data << 11 << 0 << 4;
    QTest::newRow("17 channels vertical on one page")
        << 17 << QList<int>{5} << QList<bool>{false, false, true, false, false} << 17 << 0 << 3;
    QTest::newRow("18 channels vertical on two pages")
        << 18 << QList<int>{5} << QList<bool>{false, false, true, false, false} << 18 << 0 << 4;
    QTest::newRow("all tables, two segments")
        << 12 << QList<int>{48, 3} << QList<bool>{true, true, true, true, true} << 8 << 4
        << 2 + (2 * 2 + 2 + 1 + 2 + 1) + (2 * 1 + 1 + 1 + 1 + 1);
    QTest::newRow("day at 1 s, one block") << 10 << QList<int>{86400} << data << 10 << 0 << 2 + 3457;
    QTest::newRow("no rows") << 3 << QList<int>{0} << data << 3 << 0 << 3;
}

void TestReportPdf::layout()
{
    QFETCH(int, channels);
    QFETCH(QList<int>, segmentRows);
    QFETCH(QList<bool>, flags);
    QFETCH(int, left);
    QFETCH(int, right);
    QFETCH(int, total);
    QCOMPARE(PdfLayout::pageTotal(segmentRows, channels, left, right, flags), total);

    // Lines fill positions 0 … 24; the 26th line opens the next page.
    QCOMPARE(PdfLayout::slot(24).page, 0);
    QCOMPARE(PdfLayout::slot(25).page, 1);
    QCOMPARE(PdfLayout::slot(25).position, 0);
    // Vertical table: opening line at 6, 17 channels end with the closing line at 24.
    QCOMPARE(PdfLayout::slot(0, PdfLayout::VerticalFirst).position, 6);
    QCOMPARE(PdfLayout::slot(18, PdfLayout::VerticalFirst).position, 24);
    QCOMPARE(PdfLayout::slot(19, PdfLayout::VerticalFirst).page, 1);
    QList<int> shaded;
    for (int p = 0; p < PdfLayout::Positions; ++p)
        if (PdfLayout::shaded(p))
            shaded << p;
    QCOMPARE(shaded, (QList<int>{4, 9, 14, 19, 24}));
    QCOMPARE(PdfLayout::rowY(0), PdfLayout::TableTop + 70);
}

// Written files: the printed total equals the real page count on every page.
void TestReportPdf::pageTotals_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("rowCount");
    QTest::addColumn<QList<bool>>("flags");
    QTest::addColumn<QStringList>("units");
    QTest::addColumn<int>("expected");
    const QList<bool> data{true, false, false, false, false};
    QTest::newRow("25 channels x 30 rows") << 25 << 30 << data << QStringList() << 8;
    QTest::newRow("23 rows") << 1 << 23 << data << QStringList() << 3;
    QTest::newRow("24 rows") << 1 << 24 << data << QStringList() << 4;
    QTest::newRow("17 channels vertical")
        << 17 << 3 << QList<bool>{true, false, true, false, false} << QStringList() << 2 + 2 + 1;
    QTest::newRow("18 channels vertical")
        << 18 << 3 << QList<bool>{true, false, true, false, false} << QStringList() << 2 + 2 + 2;
    QStringList units;
    for (int c = 0; c < 12; ++c)
        units << (c < 8 ? QStringLiteral("℃") : QStringLiteral("mV"));
    QTest::newRow("all tables, two units, 48 rows")
        << 12 << 48 << QList<bool>{true, true, true, true, true} << units << 2 + 4 + 2 + 1 + 2 + 1;
    QTest::newRow("no rows") << 3 << 0 << data << QStringList() << 3;
}

void TestReportPdf::pageTotals()
{
    QFETCH(int, channels);
    QFETCH(int, rowCount);
    QFETCH(QList<bool>, flags);
    QFETCH(QStringList, units);
    QFETCH(int, expected);
    const QString path =
        m_dir.filePath(QStringLiteral("total-%1.pdf").arg(QTest::currentDataTag()).replace(' ', '_'));
    int printed = 0;
    QVERIFY(write(path, simple(channels, rowCount, flags, units), &printed));
    QCOMPARE(printed, expected);
    QCOMPARE(pdfPages(path), expected);
    const QStringList pages = pdfPageTexts(path);
    QCOMPARE(pages.size(), expected);
    for (int i = 0; i < pages.size(); ++i) {
        const QString& page = pages.at(i);
        QVERIFY2(page.contains(QStringLiteral("第%1页,共%2页").arg(i + 1).arg(expected)), qPrintable(page));
        QVERIFY(page.contains(QStringLiteral("采集报告")));
        QVERIFY(page.contains(QStringLiteral("ARQ-310MX V1.1.0")));
        QVERIFY(page.contains(QStringLiteral("打印时间：")));
    }
    // The last row of the data table is on the last page of the last block.
    if (rowCount > 0) {
        // Worked out here: ten channels to a block, 25 lines to a page, a
        // block's lines the opening line, the rows and the closing line; the
        // last row is line rowCount of the last block, after the first page.
        const int blocks = (channels + 9) / 10;
        const int blockPages = (rowCount + 2 + 24) / 25;
        const int lastBlockPage = 1 + (blocks - 1) * blockPages + rowCount / 25;
        const QStringList last = lineStarting(pages.at(lastBlockPage), rowTime(rowCount - 1));
        QVERIFY2(!last.isEmpty(), qPrintable(pages.at(lastBlockPage)));
        const int firstOfBlock = (blocks - 1) * 10;
        QCOMPARE(last.value(2), QString::number(value(rowCount - 1, firstOfBlock), 'f', 2));
        QCOMPARE(last.last(), QString::number(value(rowCount - 1, channels - 1), 'f', 2));
    }
}

void TestReportPdf::homePageAndDataTable()
{
    Report r = simple(25, 30);
    const QString path = m_dir.filePath("home.pdf");
    QVERIFY(write(path, r));
    const QStringList pages = pdfPageTexts(path);
    QCOMPARE(pages.size(), 8);

    const QString home = pages.at(0);
    for (const QString& text :
         {QStringLiteral("项目名称:测试项目"), QStringLiteral("项目时间:2026-12-10 10:00:00"),
          QStringLiteral("设备列表:"), QStringLiteral("设备序列号"), QStringLiteral("报告概述:"),
          QStringLiteral("1.数据表")})
        QVERIFY2(home.contains(text), qPrintable(text + " in\n" + home));
    // Device rows: number, model, serial, channel file, channels of that device (13 and 12).
    QCOMPARE(lineStarting(home, "1"), (QStringList{"1", "ARQ-310MX", "SN-0001", "配置一", "13"}));
    QCOMPARE(lineStarting(home, "2"), (QStringList{"2", "ARQ-310MX", "SN-0002", "配置二", "12"}));

    // Block 1 (pages 2–3): channels 1 … 10; block 3 (pages 6–7): channels 21 … 25.
    const QString first = pages.at(1);
    QVERIFY(first.contains(QStringLiteral("工作数据表")));
    QVERIFY(first.contains(QStringLiteral("开始时间：2026-12-10 10:00:00")));
    QVERIFY(first.contains(QStringLiteral("结束时间：2026-12-10 10:00:29")));
    QVERIFY(first.simplified().contains(QStringLiteral("全程 开始")));
    QVERIFY(first.contains(QStringLiteral("1-CH101(℃)")) && first.contains(QStringLiteral("1-CH110(℃)")));
    QVERIFY(!first.contains(QStringLiteral("2-CH114(℃)")));
    QStringList row0{"12-10", "10:00:00.000"};
    for (int c = 0; c < 10; ++c)
        row0 << QString::number(value(0, c), 'f', 2);
    QCOMPARE(lineStarting(first, rowTime(0)), row0);
    // The opening line and 24 rows on the first page of a block, 6 rows and the closing line on the second.
    QVERIFY(!lineStarting(first, rowTime(23)).isEmpty());
    QVERIFY(lineStarting(first, rowTime(24)).isEmpty());
    QVERIFY(!lineStarting(pages.at(2), rowTime(24)).isEmpty());
    QVERIFY(pages.at(2).simplified().contains(QStringLiteral("全程 结束")));
    QVERIFY(pages.at(5).contains(QStringLiteral("2-CH121(℃)")) &&
            pages.at(5).contains(QStringLiteral("2-CH125(℃)")));
    QStringList last{"12-10", "10:00:29.000"};
    for (int c = 20; c < 25; ++c)
        last << QString::number(value(29, c), 'f', 2);
    QCOMPARE(lineStarting(pages.at(6), rowTime(29)), last);
    // The chart page holds the picture and no table.
    QVERIFY(!pages.at(7).contains(QStringLiteral("工作数据表")));
    const QString images = run("pdfimages", {"-list", "-f", "8", "-l", "8", path});
    QVERIFY2(images.contains(QRegularExpression("\\b600\\s+250\\b")), qPrintable(images));
    QVERIFY(run("pdfimages", {"-list", "-f", "1", "-l", "1", path}).count(QLatin1Char('\n')) > 2); // logo
}

void TestReportPdf::coverStatesTheAcquisition_data()
{
    QTest::addColumn<int>("channels");
    QTest::addColumn<int>("segments");
    QTest::addColumn<bool>("allChannels"); // every label fits on the cover
    QTest::newRow("2 segments, 25 channels") << 25 << 2 << true;
    QTest::newRow("6 segments, 400 channels") << 400 << 6 << false;
}

// The cover states the acquisition's start and end, both intervals, every
// segment with its remark and times, and the channels in the report (as
// many as fit, and how many there are), and still takes one page.
void TestReportPdf::coverStatesTheAcquisition()
{
    QFETCH(int, channels);
    QFETCH(int, segments);
    QFETCH(bool, allChannels);
    Report r = simple(channels, 60);
    r.starts.clear();
    r.ends.clear();
    r.remarks.clear();
    for (int s = 0; s < segments; ++s) {
        r.starts << T0.addSecs(10 * s);
        r.ends << T0.addSecs(10 * s + 10);
        r.remarks << QStringLiteral("段%1").arg(s + 1);
    }
    const QString path = m_dir.filePath("cover.pdf");
    VerificationReportPDF pdf(path);
    pdf.setData(2, r.flags, r.project, r.rows, r.starts, r.ends, r.remarks);
    ReportCover cover;
    cover.start = QStringLiteral("2026-12-10 09:59:58");
    cover.end = QStringLiteral("2026-12-10 10:01:00");
    cover.scanInterval = QStringLiteral("0.5");
    cover.printInterval = QStringLiteral("1");
    pdf.setCover(cover);
    const int total = pdf.pageTotal();
    QVERIFY(pdf.writeHome() && pdf.writeTables() && pdf.writeChart(chartPicture()));
    QVERIFY(pdf.finish());
    QCOMPARE(pdf.failure(), QString());
    const QStringList pages = pdfPageTexts(path);
    QCOMPARE(pages.size(), total);
    const QString home = pages.at(0).simplified();
    for (const QString& text :
         {QStringLiteral("采集时间：2026-12-10 09:59:58 至 2026-12-10 10:01:00"), QStringLiteral("扫描间隔：0.5s"),
          QStringLiteral("打印间隔：1s"), QStringLiteral("统计时间段:"),
          QStringLiteral("通道列表: 共 %1 个通道").arg(channels), QStringLiteral("1-CH101(℃), 1-CH102(℃)")})
        QVERIFY2(home.contains(text), qPrintable(text + " in\n" + home));
    for (int s = 0; s < segments; ++s) {
        const QString line = QStringLiteral("%1. 段%1 %2 — %3")
                                 .arg(s + 1)
                                 .arg(T0.addSecs(10 * s).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                                      T0.addSecs(10 * s + 10).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
        QVERIFY2(home.contains(line), qPrintable(line + " in\n" + home));
    }
    const QString lastLabel = r.project.Channel.last() + QStringLiteral("(℃)");
    QCOMPARE(home.contains(lastLabel), allChannels);
    QCOMPARE(home.contains(QStringLiteral("（另有")), !allChannels);
}

// Statistics worked out by hand: ℃ channels 1,2,3,4 / 2,2,2,2 / 0,5,0,5 and one mV channel.
void TestReportPdf::analysisTables()
{
    Report r;
    r.project = project(4, {"℃", "℃", "℃", "mV"});
    const double values[4][4] = {{1, 2, 0, 7}, {2, 2, 5, 7}, {3, 2, 0, 7}, {4, 2, 5, 7}};
    for (int row = 0; row < 4; ++row) {
        Tool::Struct_ParametersData d;
        d.Time = T0.addSecs(row);
        for (int c = 0; c < 4; ++c)
            d.Data << QString::number(values[row][c]);
        r.rows << d;
    }
    r.flags = {false, true, true, false, true};
    r.starts = {T0};
    r.ends = {T0.addSecs(3)};
    r.remarks = QStringList{QStringLiteral("恒温")};
    const QString path = m_dir.filePath("analysis.pdf");
    QVERIFY(write(path, r));
    const QStringList pages = pdfPageTexts(path);
    QCOMPARE(pages.size(), 2 + 3);
    const QString q = Tool::unitQuantity("℃");
    const QString qr = Tool::unitQuantity("mV");

    const QString horizontal = pages.at(1);
    QVERIFY(horizontal.contains(q + QStringLiteral("横向分析表")));
    QVERIFY(horizontal.contains(QStringLiteral("最大") + q + QStringLiteral("通道")));
    // Row 0: 1, 2, 0 → max 2 at CH102, min 0 at CH103, mean 1, σ = √(2/3).
    QCOMPARE(lineStarting(horizontal, rowTime(0)),
             (QStringList{"12-10", "10:00:00.000", "2.00", "1-CH102", "0.00", "2-CH103", "1.00", "1.00",
                          "1.00", "2.00", "0.82"}));

    const QString vertical = pages.at(2);
    const QString flatVertical = vertical.simplified(); // the reader keeps no run of spaces
    QVERIFY(vertical.contains(q + QStringLiteral("竖向分析表")));
    QVERIFY(flatVertical.contains(QStringLiteral("恒温 开始")) &&
            flatVertical.contains(QStringLiteral("恒温 结束")));
    // Channel rows: max, min, average, max−avg, avg−min, max−min, σ (population form).
    QCOMPARE(lineStarting(vertical, "1-CH101"),
             (QStringList{"1-CH101", "4.00", "1.00", "2.50", "1.50", "1.50", "3.00", "1.12"}));
    QCOMPARE(lineStarting(vertical, "2-CH103"),
             (QStringList{"2-CH103", "5.00", "0.00", "2.50", "2.50", "2.50", "5.00", "2.50"}));
    // Summary: min average CH102 2.00; max average CH101 (first of two 2.50); max max CH103 5;
    // min min CH103 0; overall (2.5 + 2 + 2.5) / 3.
    for (const QString& text :
         {QStringLiteral("最小平均") + q +
              QStringLiteral("及通道 1-CH102/2.00 最大的最大值与全均值之差 2.67"),
          QStringLiteral("最大平均") + q + QStringLiteral("及通道 1-CH101/2.50 最大平均值与全均值之差 0.17"),
          QStringLiteral("最大的最大值及通道 2-CH103/5.00 全均值与最小的最小值之差 2.33"),
          QStringLiteral("最小的最小值及通道 2-CH103/0.00 全均值与最小平均值之差 0.33"),
          QStringLiteral("全均值 2.33")})
        QVERIFY2(flatVertical.contains(text), qPrintable(text + "\n" + vertical));

    const QString right = pages.at(3);
    QVERIFY(right.contains(qr + QStringLiteral("竖向分析表")));
    QCOMPARE(lineStarting(right, "2-CH104"),
             (QStringList{"2-CH104", "7.00", "7.00", "7.00", "0.00", "0.00", "0.00", "0.00"}));
}

// Each segment starts its own section; tables in report order; chart last.
void TestReportPdf::segmentsAndTableOrder()
{
    Report r = simple(3, 10, {true, true, true, true, true}, {"℃", "℃", "%RH"});
    r.starts = {T0, T0.addSecs(5)};
    r.ends = {T0.addSecs(4), T0.addSecs(9)};
    r.remarks = QStringList{QStringLiteral("第一段"), QStringLiteral("第二段")};
    const QString path = m_dir.filePath("segments.pdf");
    int printed = 0;
    QVERIFY(write(path, r, &printed));
    const QStringList pages = pdfPageTexts(path);
    QCOMPARE(printed, 2 + 2 * 5);
    QCOMPARE(pages.size(), printed);
    const QString q = Tool::unitQuantity("℃"), qr = Tool::unitQuantity("%RH");
    const QStringList titles{QStringLiteral("工作数据表"), q + "横向分析表", q + "竖向分析表",
                             qr + "横向分析表", qr + "竖向分析表"};
    int page = 1;
    for (const QString& title : titles) {
        for (int s = 0; s < 2; ++s, ++page) {
            const QString& text = pages.at(page);
            QVERIFY2(text.contains(title), qPrintable(title + "\n" + text));
            const QString remark = s == 0 ? QStringLiteral("第一段") : QStringLiteral("第二段");
            QVERIFY(text.simplified().contains(remark + QStringLiteral(" 开始")));
            QVERIFY(text.simplified().contains(remark + QStringLiteral(" 结束")));
            QVERIFY(text.contains(QStringLiteral("开始时间：2026-12-10 10:00:0%1").arg(s ? 5 : 0)));
            QVERIFY(text.contains(QStringLiteral("结束时间：2026-12-10 10:00:0%1").arg(s ? 9 : 4)));
        }
    }
    // Segment rows include the row at the end: rows 0 … 4 and 5 … 9.
    QVERIFY(!lineStarting(pages.at(1), rowTime(4)).isEmpty());
    QVERIFY(lineStarting(pages.at(1), rowTime(5)).isEmpty());
    QVERIFY(!lineStarting(pages.at(2), rowTime(5)).isEmpty());
    QVERIFY(pages.at(0).contains("5." + qr + "竖向表"));
    QVERIFY(!pages.last().contains(QStringLiteral("分析表")));

    // The report page's compact copies give the same report.
    QVector<qint64> times;
    QVector<QVector<double>> columns(3);
    for (const Tool::Struct_ParametersData& row : r.rows) {
        times << row.Time.toMSecsSinceEpoch();
        for (int c = 0; c < 3; ++c)
            columns[c] << row.Data.at(c).toDouble();
    }
    const QString compact = m_dir.filePath("segments-compact.pdf");
    {
        VerificationReportPDF pdf(compact);
        pdf.setData(2, r.flags, r.project, times, columns, r.starts, r.ends, r.remarks);
        QVERIFY(pdf.writeHome() && pdf.writeTables() && pdf.writeChart(chartPicture()));
        QVERIFY(pdf.finish());
    }
    const QStringList again = pdfPageTexts(compact);
    QCOMPARE(again.size(), pages.size());
    // The print time is right-aligned: its digits' widths move where the
    // layout text starts it, so the padding before it goes too.
    const QRegularExpression printTime(QStringLiteral(" *打印时间：[-0-9 :]+"));
    for (int i = 0; i < pages.size(); ++i)
        QCOMPARE(QString(again.at(i)).remove(printTime), QString(pages.at(i)).remove(printTime));
}

// Rendered by a reader: shaded bands on positions 4, 9, … only, header band, rules.
void TestReportPdf::shadingAndRules()
{
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty())
        ARQ_REQUIRE(false, "poppler-utils (pdftoppm)");
    const QString path = m_dir.filePath("shading.pdf");
    QVERIFY(write(path, simple(1, 40)));
    const int dpi = 100;
    run("pdftoppm", {"-f", "2", "-l", "2", "-r", QString::number(dpi), "-png", "-singlefile", path,
                     m_dir.filePath("shading")});
    const QImage page(m_dir.filePath("shading.png"));
    QVERIFY(!page.isNull());
    // Device units are dots at 300 dpi inside 20 pt margins.
    const double margin = 20.0 / 72 * dpi;
    const auto pixel = [&](int xDots, int yDots) {
        return page.pixelColor(int(margin + xDots / 300.0 * dpi), int(margin + yDots / 300.0 * dpi));
    };
    const auto near = [](const QColor& c, const QColor& e) {
        return qAbs(c.red() - e.red()) < 12 && qAbs(c.green() - e.green()) < 12 &&
               qAbs(c.blue() - e.blue()) < 12;
    };
    const QColor band(205, 205, 193), white(Qt::white);
    const int x = 3000;                                      // right of the single value column
    QVERIFY(near(pixel(x, PdfLayout::TableTop + 35), band)); // column header
    for (int p = 0; p < PdfLayout::Positions; ++p) {
        const QColor c = pixel(x, PdfLayout::rowY(p) + 35);
        QVERIFY2(near(c, PdfLayout::shaded(p) ? band : white),
                 qPrintable(QStringLiteral("position %1: %2").arg(p).arg(c.name())));
    }
    // Blue-grey rules under the header and above the footer.
    QVERIFY(near(pixel(1500, 100), QColor(144, 166, 188)));
    // Text is black, also next to the rules (footer) and on shaded rows.
    const auto darkest = [&](int x0, int y0, int w, int h) {
        QColor best(Qt::white);
        for (int y = y0; y < y0 + h; y += 2)
            for (int x = x0; x < x0 + w; x += 2)
                if (pixel(x, y).lightness() < best.lightness())
                    best = pixel(x, y);
        return best;
    };
    const int width = int((page.width() - 2 * margin) / dpi * 300);
    const int height = int((page.height() - 2 * margin) / dpi * 300);
    for (const QColor& c : {darkest(width / 7 * 6, height - 70, width / 7, 70),
                            darkest(0, PdfLayout::rowY(4), 800, 70), darkest(0, 106, 600, 50)})
        QVERIFY2(c.red() < 70 && c.green() < 70 && c.blue() < 70, qPrintable(c.name()));
}

// Under the offscreen platform fonts come from fontconfig; the CJK face is embedded.
void TestReportPdf::fontIsFoundAndEmbedded()
{
    QCOMPARE(QGuiApplication::platformName(), QStringLiteral("offscreen"));
    const QString family = VerificationReportPDF::fontFamily();
    if (family.isEmpty())
        ARQ_REQUIRE(false, "fonts-noto-cjk");
    QVERIFY(QFontDatabase().families().contains(family));
    QVERIFY(QFontDatabase().writingSystems(family).contains(QFontDatabase::SimplifiedChinese));
    const QString path = m_dir.filePath("font.pdf");
    QVERIFY(write(path, simple(2, 3)));
    const QString fonts = run("pdffonts", {path});
    QString face = family;
    face.remove(' ');
    QVERIFY2(fonts.contains(face.left(10), Qt::CaseInsensitive), qPrintable(fonts));
    QVERIFY2(fonts.contains(QRegularExpression("yes\\s+(yes|no)\\s+yes")),
             qPrintable(fonts)); // embedded, with a text map
    // Characters whose glyph a radical shares copy out as the ideograph.
    const QString all = run("pdftotext", {path, "-"});
    QVERIFY(all.contains(QStringLiteral("工作数据表")));
    QVERIFY(all.contains(QStringLiteral("第2页,共3页")));
    QVERIFY(!all.contains(QChar(0x2F2F)) && !all.contains(QChar(0x2EDA)) && !all.contains(QChar('\t')));
}

void TestReportPdf::cancelLeavesNoFile()
{
    const QString path = m_dir.filePath("cancel.pdf");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("previous report");
    old.close();

    // Cancelled once the first page is begun: the tables step fails.
    std::atomic<bool> cancel{false};
    bool steps = true;
    QVERIFY(!write(
        path, simple(3, 500), nullptr, [&](qint64, qint64) { cancel = true; }, &cancel, &steps));
    QVERIFY(!steps);
    QVERIFY(!QFile::exists(path + ".part"));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("previous report"));
    old.close();

    // Cancelled before it starts: nothing at a new path.
    const QString fresh = m_dir.filePath("cancel-new.pdf");
    cancel = true;
    QVERIFY(!write(fresh, simple(3, 5), nullptr, {}, &cancel));
    QVERIFY(!QFile::exists(fresh));
    QVERIFY(!QFile::exists(fresh + ".part"));

    // A step left out (the chart) is no complete report either.
    {
        VerificationReportPDF pdf(fresh);
        Report r = simple(1, 2);
        pdf.setData(2, r.flags, r.project, r.rows, r.starts, r.ends, r.remarks);
        QVERIFY(pdf.writeHome());
        QVERIFY(pdf.writeTables());
        QVERIFY(!pdf.finish());
    }
    QVERIFY(!QFile::exists(fresh));
    QVERIFY(!QFile::exists(fresh + ".part"));

    // Destroyed without finish (the thread gave up): nothing left either.
    {
        VerificationReportPDF pdf(fresh);
        QVERIFY(pdf.writeHome());
    }
    QVERIFY(!QFile::exists(fresh));
    QVERIFY(!QFile::exists(fresh + ".part"));

    // Success replaces the old file.
    QVERIFY(write(path, simple(3, 5)));
    QVERIFY(old.open(QIODevice::ReadOnly));
    QVERIFY(old.read(5) == "%PDF-");
    QVERIFY(!QFile::exists(path + ".part"));
}

void TestReportPdf::progressReachesTotal()
{
    QList<QPair<qint64, qint64>> calls;
    int total = 0;
    QVERIFY(write(m_dir.filePath("progress.pdf"), simple(12, 600), &total,
                  [&](qint64 done, qint64 all) { calls << qMakePair(done, all); }));
    QVERIFY(!calls.isEmpty());
    QCOMPARE(calls.last(), qMakePair(qint64(total), qint64(total)));
    for (int i = 1; i < calls.size(); ++i)
        QVERIFY(calls.at(i).first >= calls.at(i - 1).first);
    QVERIFY(calls.size() < total); // throttled, not per page
}

void TestReportPdf::unwritablePath_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("missing folder") << "missing";
    QTest::newRow("path is a folder") << "folder";
    QTest::newRow("read-only file") << "readonly";
    QTest::newRow("empty path") << "empty";
}

void TestReportPdf::unwritablePath()
{
    QFETCH(QString, kind);
    QString path;
    if (kind == "missing") {
        path = m_dir.filePath("no/such/folder/report.pdf");
    } else if (kind == "folder") {
        path = m_dir.filePath("folder.pdf");
        QVERIFY(QDir().mkpath(path));
    } else if (kind == "readonly") {
        // Root writes read-only files: the case runs again as an unprivileged user.
        if (geteuid() == 0) {
            QString output;
            QVERIFY2(TestSupport::runUnprivileged(QStringLiteral("unwritablePath:") + QTest::currentDataTag(), &output),
                     qPrintable(output));
            return;
        }
        path = m_dir.filePath("readonly.pdf");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("kept");
        f.close();
        QVERIFY(f.setPermissions(QFileDevice::ReadOwner));
    }
    const QStringList before = QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot);
    VerificationReportPDF pdf(path);
    QVERIFY(!pdf.isValid());
    Report r = simple(2, 3);
    pdf.setData(2, r.flags, r.project, r.rows, r.starts, r.ends, r.remarks);
    QVERIFY(!pdf.writeHome());
    QVERIFY(!pdf.writeTables());
    QVERIFY(!pdf.writeChart(chartPicture()));
    QVERIFY(!pdf.finish());
    QCOMPARE(QDir(m_dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), before);
    if (kind == "folder")
        QVERIFY(QFileInfo(path).isDir());
}

// ARQ_REPORT_SAMPLE_DIR=folder keeps the reports written here (to render and look at).
// The English texts are longer than the Chinese ones: the horizontal
// analysis headers used to be printed over each other and the cover's table
// list ran into one line. No word may overlap another on any page.
void TestReportPdf::englishLayout()
{
    const QString qm = qEnvironmentVariable("ARQ_BINARY_DIR") + QStringLiteral("/tervan_en.qm");
    QTranslator english;
    if (!english.load(qm))
        ARQ_REQUIRE(false, "the English translation (tervan_en.qm)");
    QCoreApplication::installTranslator(&english);
    QStringList units;
    for (int c = 0; c < 6; ++c)
        units << (c < 4 ? QStringLiteral("℃") : QStringLiteral("mV"));
    Report r = simple(6, 8, {true, true, true, true, true}, units);
    r.remarks = QStringList{QStringLiteral("Heating")};
    const QString path = m_dir.filePath(QStringLiteral("english.pdf"));
    const bool ok = write(path, r);
    QCoreApplication::removeTranslator(&english);
    QVERIFY(ok);
    if (qEnvironmentVariableIsSet("ARQ_KEEP_PDF")) // to look at it
        QFile::copy(path, qEnvironmentVariable("ARQ_KEEP_PDF"));
    const QList<Word> words = pdfWords(path);
    QVERIFY(words.size() > 100);
    const QStringList over = overlaps(words);
    QVERIFY2(over.isEmpty(), qPrintable(over.mid(0, 10).join(QLatin1Char('\n'))));
    // Every header word is there, the cover lists all five tables.
    const QStringList pages = pdfPageTexts(path);
    const QString cover = pages.value(0).simplified();
    for (const char* name : {"1.Data table", "2.Temperature horizontal table", "3.Temperature vertical table",
                             "4.Voltage horizontal table", "5.Voltage vertical table"})
        QVERIFY2(cover.contains(QLatin1String(name)), qPrintable(cover));
    bool headers = false;
    for (const QString& page : pages)
        headers = headers || (page.contains(QStringLiteral("Temperature horizontal analysis"))
                              && page.simplified().contains(QStringLiteral("Std. deviation")));
    QVERIFY(headers);
}

// A third unit's channels are in the data table but in no analysis table, and
// the cover says so; a value that is no number prints as nothing.
void TestReportPdf::otherUnitsAndNoNumbers()
{
    Report r = simple(4, 3, {true, true, true, true, true}, {"℃", "mV", "%RH", "mV"});
    r.rows[1].Data[1] = QStringLiteral("OVER");
    const QString path = m_dir.filePath(QStringLiteral("three.pdf"));
    QVERIFY(write(path, r));
    if (qEnvironmentVariableIsSet("ARQ_KEEP_PDF")) // to look at it
        QFile::copy(path, qEnvironmentVariable("ARQ_KEEP_PDF") + QStringLiteral(".three.pdf"));
    const QStringList pages = pdfPageTexts(path);
    QVERIFY2(pages.value(0).simplified().contains(
                 QStringLiteral("注：以下通道的单位不属于两个分析组，未列入分析表：2-CH103(%RH)")),
             qPrintable(pages.value(0)));
    QString all = pages.join(QLatin1Char('\f'));
    QVERIFY(all.contains(QStringLiteral("电压横向分析表")));
    QVERIFY(!all.contains(QStringLiteral("湿度")));
    // Data row 1: channel 2 empty, the others as stored.
    const QString data = pages.value(1);
    QCOMPARE(lineStarting(data, rowTime(1)),
             QStringList({rowTime(1).section(' ', 0, 0), rowTime(1).section(' ', 1, 1), "0.01", "20.01", "30.01"}));
    // Voltage horizontal row 1: only 2-CH104 (30.01) has a number.
    for (const QString& page : pages) {
        if (!page.contains(QStringLiteral("电压横向分析表")))
            continue;
        const QStringList words = lineStarting(page, rowTime(1));
        QCOMPARE(words.mid(2, 5), QStringList({"30.01", "2-CH104", "30.01", "2-CH104", "30.01"}));
    }
}

// Without a CJK font the writer notices that its Chinese text has no glyphs.
void TestReportPdf::missingFontIsNoticed()
{
    const Report r = simple(2, 3);
    {
        VerificationReportPDF pdf(m_dir.filePath(QStringLiteral("font.pdf")));
        pdf.setData(2, r.flags, r.project, r.rows, r.starts, r.ends, r.remarks);
        QVERIFY(pdf.writeHome() && pdf.writeTables() && pdf.writeChart(chartPicture()) && pdf.finish());
        QVERIFY(!pdf.missingFont());
    }
    VerificationReportPDF::overrideFontFamily(true, QString());
    VerificationReportPDF pdf(m_dir.filePath(QStringLiteral("nofont.pdf")));
    pdf.setData(2, r.flags, r.project, r.rows, r.starts, r.ends, r.remarks);
    const bool ok = pdf.writeHome() && pdf.writeTables() && pdf.writeChart(chartPicture()) && pdf.finish();
    VerificationReportPDF::overrideFontFamily(false);
    QVERIFY(ok);
    QVERIFY(pdf.missingFont());
}

// An hour of a day-long project as the report thread gets it (the page's
// compact rows, copied for the segment): exactly that hour's rows print, in
// order, with a value that is no number empty.
void TestReportPdf::hourOfLongProject()
{
    const int n = 86400, first = 7200, last = 10800;
    Tool::Struct_Parameters p = project(2);
    p.ScanInterval = QStringLiteral("1");
    QVector<qint64> times(n);
    QVector<QVector<double>> columns(2, QVector<double>(n));
    for (int r = 0; r < n; ++r) {
        times[r] = T0.addSecs(r).toMSecsSinceEpoch();
        for (int c = 0; c < 2; ++c)
            columns[c][r] = value(r, c);
    }
    columns[1][first + 5] = std::nan("");
    const QList<QDateTime> starts{T0.addSecs(first)}, ends{T0.addSecs(last)};
    Tool::Struct_Parameters copy;
    QVector<qint64> keptTimes;
    QVector<QVector<double>> keptColumns;
    ReportData::prepare(p, times, columns, {true, true}, QStringLiteral("1"), &copy, &keptTimes, &keptColumns,
                        starts, ends);
    QCOMPARE(keptTimes.size(), last - first + 1);

    const QString path = m_dir.filePath(QStringLiteral("hour.pdf"));
    VerificationReportPDF pdf(path);
    pdf.setData(2, {true, false, false, false, false}, copy, keptTimes, keptColumns, starts, ends,
                {QStringLiteral("一小时")});
    QCOMPARE(pdf.pageTotal(), 2 + PdfLayout::rowSectionPages(last - first + 1));
    QVERIFY(pdf.writeHome() && pdf.writeTables() && pdf.writeChart(chartPicture()));
    QVERIFY(pdf.finish());
    const QStringList pages = pdfPageTexts(path);
    QCOMPARE(pages.size(), pdf.pageTotal());
    QStringList printed;
    for (const QString& page : pages)
        for (const QString& line : page.split(QLatin1Char('\n')))
            if (line.simplified().startsWith(QStringLiteral("12-10 ")))
                printed << line.simplified();
    QCOMPARE(printed.size(), last - first + 1);
    for (int i = 0; i < printed.size(); i += 599)
        QCOMPARE(printed.at(i), QStringList({rowTime(first + i), QString::number(value(first + i, 0), 'f', 2),
                                             QString::number(value(first + i, 1), 'f', 2)})
                                    .join(QLatin1Char(' ')));
    QCOMPARE(printed.last().section(' ', 0, 1), rowTime(last));
    QCOMPARE(printed.at(5), rowTime(first + 5) + QLatin1Char(' ') + QString::number(value(first + 5, 0), 'f', 2));
}

void TestReportPdf::cleanupTestCase()
{
    const QString samples = qEnvironmentVariable("ARQ_REPORT_SAMPLE_DIR");
    if (samples.isEmpty())
        return;
    for (const char* name : {"home.pdf", "analysis.pdf", "segments.pdf"}) {
        QFile::remove(QDir(samples).filePath(name));
        QFile::copy(m_dir.filePath(name), QDir(samples).filePath(name));
    }
}

QTEST_MAIN(TestReportPdf)
#include "tst_reportpdf.moc"
