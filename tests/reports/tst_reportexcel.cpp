#include "VerificationReportExcel.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include "TestSupport.h"

#include <QtTest>

#include <atomic>
#include <ctime>

// Workbooks written by the Excel report writer, read back with openpyxl
// (tests/reports/read_xlsx.py) and compared cell by cell.
namespace {

const QString kPython = QStringLiteral("/usr/bin/python3");
const QDateTime kT0(QDate(2026, 3, 2), QTime(10, 0, 0));

Tool::Struct_Parameters project(const QStringList& channels, const QStringList& units)
{
    Tool::Struct_Parameters p;
    p.Name = QStringLiteral("炉温均匀性");
    p.Time = QStringLiteral("2026-03-02 10:00:00");
    p.DeviceMode = QStringList{QStringLiteral("3107A-TC"), QStringLiteral("3108A")};
    p.SerialNumber = QStringList{QStringLiteral("SN001"), QStringLiteral("SN002")};
    p.ChannelConfig = QStringList{QStringLiteral("tc.cfg"), QStringLiteral("rh.cfg")};
    p.ScanInterval = QStringLiteral("10");
    p.Channel = channels;
    p.Unit = units;
    return p;
}

// One row every ten seconds from kT0; values[r] holds row r's channel values.
QList<Tool::Struct_ParametersData> rows(const QList<QList<double>>& values)
{
    QList<Tool::Struct_ParametersData> out;
    for (int r = 0; r < values.size(); ++r) {
        Tool::Struct_ParametersData d;
        d.Time = kT0.addSecs(10 * r);
        for (double v : values.at(r))
            d.Data << QString::number(v, 'g', 17);
        out << d;
    }
    return out;
}

QImage chart()
{
    QImage image(1000, 360, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    p.setPen(QPen(Qt::blue, 3));
    p.drawLine(0, 300, 1000, 60);
    return image;
}

const QList<bool> kDataOnly{true, false, false, false, false};
const QList<bool> kAll{true, true, true, true, true};

struct Report
{
    VerificationReportExcel writer;
    bool home = false, picture = false, tables = false, saved = false;

    // The report thread's chain: each step only after the previous succeeded.
    bool run(const QString& path)
    {
        home = writer.writeHome();
        picture = home && writer.writeChart(chart());
        tables = picture && writer.writeTables();
        saved = tables && writer.save(path);
        return saved;
    }
};

QString ms(const QDateTime& t) { return t.toString(QStringLiteral("MM-dd hh:mm:ss.zzz")); }

} // namespace

class ReportExcelTest : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QTemporaryDir m_tmp; // the process's temporary folder: must stay empty

    QJsonObject readBack(const QString& path)
    {
        const QString script = qEnvironmentVariable("ARQ_SOURCE_DIR") + QStringLiteral("/tests/reports/read_xlsx.py");
        QProcess p;
        p.start(kPython, {script, path});
        if (!p.waitForFinished(60000) || p.exitCode() != 0) {
            qWarning().noquote() << p.readAllStandardError();
            return {};
        }
        return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    }
    static QJsonObject sheet(const QJsonObject& book, const QString& name)
    {
        return book.value(QStringLiteral("sheet")).toObject().value(name).toObject();
    }
    // Row r (1-based) of a sheet, trailing empty cells dropped.
    static QStringList row(const QJsonObject& sheet, int r)
    {
        QStringList out;
        for (const QJsonValue& v : sheet.value(QStringLiteral("rows")).toArray().at(r - 1).toArray())
            out << v.toString();
        return out;
    }
    static QStringList strings(const QJsonValue& value)
    {
        QStringList out;
        for (const QJsonValue& v : value.toArray())
            out << (v.isString() ? v.toString() : QString::number(v.toDouble()));
        return out;
    }
    static QList<int> ints(const QJsonValue& value)
    {
        QList<int> out;
        for (const QJsonValue& v : value.toArray())
            out << v.toInt();
        return out;
    }
    static double width(const QJsonObject& sheet, const QString& column)
    {
        return sheet.value(QStringLiteral("widths")).toObject().value(column).toDouble(-1);
    }
    static double height(const QJsonObject& sheet, int r)
    {
        return sheet.value(QStringLiteral("heights")).toObject().value(QString::number(r)).toDouble(-1);
    }
    static QString style(const QJsonObject& sheet, const QString& cell)
    {
        return sheet.value(QStringLiteral("styles")).toObject().value(cell).toString();
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }

    // ℃ group 1-1, 1-2, 1-3 and %RH group 2-1, 2-2 over four rows; the
    // statistics below are worked out by hand from these values.
    static void climate(VerificationReportExcel& w, const QList<bool>& flags, int decimals = 2)
    {
        const auto p = project({"1-1", "1-2", "2-1", "1-3", "2-2"}, {"℃", "℃", "%RH", "℃", "%RH"});
        const auto data = rows({{1, 10, 50, 0, 60}, {2, 10, 52, -2, 60}, {3, 10, 54, 4, 61}, {4, 10, 56, 2, 63}});
        w.setData(decimals, flags, p, data, {kT0}, {kT0.addSecs(30)}, {QStringLiteral("全程")});
    }

private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(resources);
        if (QProcess::execute(kPython, {QStringLiteral("-c"), QStringLiteral("import openpyxl")}) != 0)
            ARQ_REQUIRE(false, "python3-openpyxl");
        QVERIFY(m_dir.isValid() && m_tmp.isValid());
        qputenv("TMPDIR", QFile::encodeName(m_tmp.path()));
        QCOMPARE(QDir::tempPath(), m_tmp.path());
    }

    void cleanup()
    {
        // The writer's own temporary workbook never outlives it.
        QCOMPARE(QDir(m_tmp.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList());
    }

    // Cover and data sheet of a report with only the data table, end to end.
    void onlyDataTable()
    {
        Report r;
        const auto p = project({"1-1", "1-2", "2-1"}, {"℃", "℃", "℃"});
        r.writer.setData(2, kDataOnly, p, rows({{20.1, 21, 22}, {20.2, 21.5, 22.25}}), {kT0}, {kT0.addSecs(10)},
                         {QStringLiteral("升温")});
        ReportCover cover;
        cover.start = QStringLiteral("2026-03-02 09:59:50");
        cover.end = QStringLiteral("2026-03-02 10:05:00");
        cover.scanInterval = QStringLiteral("1");
        cover.printInterval = QStringLiteral("10");
        r.writer.setCover(cover);
        QVERIFY(r.run(path("only.xlsx")));
        const QJsonObject book = readBack(path("only.xlsx"));
        QCOMPARE(strings(book["sheets"]), QStringList({"首页", "工作数据表"}));
        QCOMPARE(book["active"].toInt(), 0);

        const QJsonObject home = sheet(book, "首页");
        QCOMPARE(row(home, 1), QStringList({"采集报告"}));
        QCOMPARE(row(home, 2).mid(0, 7), QStringList({"ARQ-310MX V1.1.0", "", "", "", "", "", ""}));
        QCOMPARE(row(home, 2).value(7), QStringLiteral("打印时间："));
        QVERIFY(QRegularExpression("^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d$").match(row(home, 2).value(8)).hasMatch());
        QCOMPARE(row(home, 3), QStringList());
        QCOMPARE(row(home, 4), QStringList({"项目名称:", "炉温均匀性"}));
        QCOMPARE(row(home, 5), QStringList({"项目时间:", "2026-03-02 10:00:00"}));
        QCOMPARE(row(home, 6), QStringList());
        QCOMPARE(row(home, 7), QStringList({"设备列表:"}));
        QCOMPARE(row(home, 8),
                 QStringList({"序号", "设备型号", "", "设备序列号", "", "", "", "通道文件", "", "通道个数"}));
        QCOMPARE(row(home, 9), QStringList({"1", "3107A-TC", "", "SN001", "", "", "", "tc.cfg", "", "2"}));
        QCOMPARE(row(home, 10), QStringList({"2", "3108A", "", "SN002", "", "", "", "rh.cfg", "", "1"}));
        QCOMPARE(row(home, 11), QStringList());
        QCOMPARE(row(home, 12), QStringList({"报告概述:"}));
        QCOMPARE(row(home, 13), QStringList({"1.数据表"}));
        QCOMPARE(row(home, 14), QStringList());
        // The acquisition: start and end, intervals, segments, channels.
        QCOMPARE(row(home, 15), QStringList({"采集信息:"}));
        QCOMPARE(row(home, 16), QStringList({"采集开始时间：", "", "2026-03-02 09:59:50", "", "", "采集结束时间：", "",
                                             "2026-03-02 10:05:00"}));
        QCOMPARE(row(home, 17), QStringList({"扫描间隔：", "", "1s", "", "", "打印间隔：", "", "10s"}));
        QCOMPARE(row(home, 18), QStringList());
        QCOMPARE(row(home, 19), QStringList({"统计时间段:"}));
        QCOMPARE(row(home, 20), QStringList({"序号", "备注", "", "", "开始时间", "", "", "结束时间"}));
        QCOMPARE(row(home, 21), QStringList({"1", "升温", "", "", "2026-03-02 10:00:00", "", "", "2026-03-02 10:00:10"}));
        QCOMPARE(row(home, 22), QStringList());
        QCOMPARE(row(home, 23), QStringList({"通道列表: 共 3 个通道"}));
        QCOMPARE(row(home, 24), QStringList({"1-1(℃)", "", "1-2(℃)", "", "2-1(℃)"}));
        QCOMPARE(row(home, 25), QStringList());
        QCOMPARE(row(home, 26), QStringList({"趋势图:"}));
        QCOMPARE(home["max_row"].toInt(), 26);
        QCOMPARE(strings(home["merged"]),
                 QStringList({"A12:J12", "A13:B13", "A15:J15", "A16:B16", "A17:B17", "A19:J19", "A1:J1", "A23:J23",
                              "A24:B24", "A26:J26", "A2:B2", "A7:J7", "B10:C10", "B20:D20", "B21:D21", "B4:D4",
                              "B5:D5", "B8:C8", "B9:C9", "C16:E16", "C17:E17", "C24:D24", "D10:G10", "D2:F2", "D8:G8",
                              "D9:G9", "E20:G20", "E21:G21", "E24:F24", "F16:G16", "F17:G17", "H10:I10", "H16:J16",
                              "H17:J17", "H20:J20", "H21:J21", "H8:I8", "H9:I9", "I2:J2"}));
        for (const char* c : {"A", "E", "J"})
            QCOMPARE(width(home, c), 12.0);
        QCOMPARE(height(home, 1), 28.0);
        QCOMPARE(height(home, 7), 20.0);
        QCOMPARE(height(home, 26), 20.0);
        QCOMPARE(style(home, "A1"), QStringLiteral("宋体/16/center/-/-"));
        QCOMPARE(style(home, "A2"), QStringLiteral("宋体/12/left/-/-"));
        QCOMPARE(style(home, "A7"), QStringLiteral("宋体/14/left/-/-"));
        QCOMPARE(style(home, "B9"), QStringLiteral("宋体/12/center/-/-"));
        // Logo in the top-left corner, shown the height of the title row; the
        // chart one row below the row after its title, shown ten columns wide.
        const QJsonArray images = home["images"].toArray();
        QCOMPARE(images.size(), 2);
        QCOMPARE(images.at(0).toObject().toVariantMap(),
                 QVariantMap({{"row", 0}, {"col", 0}, {"width", 72}, {"height", 27}}));
        QCOMPARE(images.at(1).toObject().toVariantMap(),
                 QVariantMap({{"row", 27}, {"col", 0}, {"width", 890}, {"height", 320}}));

        const QJsonObject data = sheet(book, "工作数据表");
        QCOMPARE(row(data, 1), QStringList({"工作数据表"}));
        QCOMPARE(row(data, 2), QStringList({"时间", "1-1(℃)", "1-2(℃)", "2-1(℃)"}));
        QCOMPARE(row(data, 3), QStringList({"升温    开始", "", "开始时间：", "2026-03-02 10:00:00", "", "结束时间：",
                                            "2026-03-02 10:00:10"}));
        QCOMPARE(row(data, 4), QStringList({ms(kT0), "20.10", "21.00", "22.00"}));
        QCOMPARE(row(data, 5), QStringList({ms(kT0.addSecs(10)), "20.20", "21.50", "22.25"}));
        QCOMPARE(row(data, 6), QStringList({"升温    结束"}));
        QCOMPARE(data["max_row"].toInt(), 6);
        QCOMPARE(strings(data["merged"]), QStringList({"A1:H1", "A3:B3", "A6:B6", "D3:E3", "G3:H3"}));
        QCOMPARE(height(data, 1), 28.0);
        QCOMPARE(height(data, 2), 20.0);
        QCOMPARE(style(data, "A1"), QStringLiteral("宋体/16/center/thin/-"));
        QCOMPARE(style(data, "B2"), QStringLiteral("宋体/14/center/thin/-"));
        QCOMPARE(style(data, "A3"), QStringLiteral("宋体/12/left/thin/-"));
        QCOMPARE(style(data, "D4"), QStringLiteral("宋体/12/left/thin/FFCDCDC1"));
        QCOMPARE(style(data, "D5"), QStringLiteral("宋体/12/left/thin/-"));
        QCOMPARE(ints(data["shaded"]), QList<int>({4}));

        // Printing: landscape A4, the cover on one page, a table one page
        // wide with its title and header repeated, page n of N at the foot.
        const QVariantMap coverPrint = home["print"].toObject().toVariantMap();
        QCOMPARE(coverPrint.value("orientation").toString(), QStringLiteral("landscape"));
        QCOMPARE(coverPrint.value("paper").toInt(), 9);
        QCOMPARE(coverPrint.value("fit").toList(), QVariantList({1, 1}));
        QCOMPARE(coverPrint.value("footer").toString(), QStringLiteral("第 &P 页，共 &N 页"));
        const QVariantMap dataPrint = data["print"].toObject().toVariantMap();
        QCOMPARE(dataPrint.value("fit").toList(), QVariantList({1, 0}));
        QCOMPARE(dataPrint.value("titles").toString(), QStringLiteral("$1:$2"));
    }

    // ℃ and %RH with every table: six sheets, the overview in one row, both
    // analyses against values worked out by hand, shading in every table sheet.
    void allTables()
    {
        Report r;
        climate(r.writer, kAll);
        QList<QPair<qint64, qint64>> progress;
        r.writer.setProgress([&](qint64 done, qint64 total) { progress << qMakePair(done, total); });
        QVERIFY(r.run(path("all.xlsx")));
        // Rows of the tables: 4 data + 2 × 4 horizontal + 3 + 2 vertical channel rows.
        QVERIFY(!progress.isEmpty());
        QCOMPARE(progress.last(), qMakePair(qint64(17), qint64(17)));
        for (int i = 1; i < progress.size(); ++i)
            QVERIFY(progress.at(i).first >= progress.at(i - 1).first);

        const QJsonObject book = readBack(path("all.xlsx"));
        QCOMPARE(strings(book["sheets"]), QStringList({"首页", "工作数据表", "温度横向分析表", "温度竖向分析表",
                                                       "湿度横向分析表", "湿度竖向分析表"}));
        const QJsonObject home = sheet(book, "首页");
        QCOMPARE(row(home, 13), QStringList({"1.数据表", "", "2.温度横向表", "", "3.温度竖向表", "", "4.湿度横向表", "",
                                             "5.湿度竖向表"}));
        QCOMPARE(row(home, 14), QStringList());
        QCOMPARE(row(home, 23), QStringList({"通道列表: 共 5 个通道"}));
        QCOMPARE(row(home, 24), QStringList({"1-1(℃)", "", "1-2(℃)", "", "2-1(%RH)", "", "1-3(℃)", "", "2-2(%RH)"}));
        QCOMPARE(row(home, 26), QStringList({"趋势图:"}));

        const QJsonObject data = sheet(book, "工作数据表");
        QCOMPARE(row(data, 2), QStringList({"时间", "1-1(℃)", "1-2(℃)", "2-1(%RH)", "1-3(℃)", "2-2(%RH)"}));
        QCOMPARE(row(data, 7), QStringList({ms(kT0.addSecs(30)), "4.00", "10.00", "56.00", "2.00", "63.00"}));

        const QJsonObject h = sheet(book, "温度横向分析表");
        QCOMPARE(row(h, 1), QStringList({"温度横向分析表"}));
        QCOMPARE(strings(h["merged"]).first(), QStringLiteral("A1:J1"));
        QCOMPARE(row(h, 2), QStringList({"时间", "最大温度", "最大温度通道", "最小温度", "最小温度通道", "平均温度",
                                         "最大-平均", "平均-最小", "最大-最小", "标准偏差"}));
        // Row 1: 1, 10, 0 → mean 3.667, deviation √(60.667/3) = 4.497.
        QCOMPARE(row(h, 4), QStringList({ms(kT0), "10.00", "1-2", "0.00", "1-3", "3.67", "6.33", "3.67", "10.00",
                                         "4.50"}));
        QCOMPARE(width(h, "A"), 24.0);
        QCOMPARE(width(h, "J"), 17.0);
        QCOMPARE(ints(h["shaded"]), QList<int>({4}));
        const QJsonObject hr = sheet(book, "湿度横向分析表");
        // Row 4: 56, 63 → mean 59.5, deviation 3.5.
        QCOMPARE(row(hr, 7), QStringList({ms(kT0.addSecs(30)), "63.00", "2-2", "56.00", "2-1", "59.50", "3.50",
                                          "3.50", "7.00", "3.50"}));

        const QJsonObject v = sheet(book, "温度竖向分析表");
        QCOMPARE(row(v, 1), QStringList({"温度竖向分析表"}));
        QCOMPARE(row(v, 2).mid(0, 3), QStringList({"全程    开始", "", "开始时间："}));
        // Averages 2.5, 10, 1; maxima 4, 10, 4; minima 1, 10, −2; overall mean 4.5.
        QCOMPARE(row(v, 3), QStringList({"最小平均温度及通道", "", "1-3/1.00", "", "最大的最大值与全均值之差", "", "5.50"}));
        QCOMPARE(row(v, 4), QStringList({"最大平均温度及通道", "", "1-2/10.00", "", "最大平均值与全均值之差", "", "5.50"}));
        QCOMPARE(row(v, 5), QStringList({"最大的最大值及通道", "", "1-2/10.00", "", "全均值与最小的最小值之差", "", "6.50"}));
        QCOMPARE(row(v, 6), QStringList({"最小的最小值及通道", "", "1-3/-2.00", "", "全均值与最小平均值之差", "", "3.50"}));
        QCOMPARE(row(v, 7), QStringList({"全均值", "", "4.50"}));
        QCOMPARE(row(v, 8), QStringList());
        QCOMPARE(row(v, 9), QStringList({"通道", "最大温度", "最小温度", "平均温度", "最大-平均", "平均-最小",
                                         "最大-最小", "标准偏差"}));
        QCOMPARE(row(v, 10), QStringList({"1-1", "4.00", "1.00", "2.50", "1.50", "1.50", "3.00", "1.12"}));
        QCOMPARE(row(v, 11), QStringList({"1-2", "10.00", "10.00", "10.00", "0.00", "0.00", "0.00", "0.00"}));
        QCOMPARE(row(v, 12), QStringList({"1-3", "4.00", "-2.00", "1.00", "3.00", "3.00", "6.00", "2.24"}));
        QCOMPARE(row(v, 13), QStringList({"全程    结束"}));
        QCOMPARE(v["max_row"].toInt(), 13);
        for (int r = 3; r <= 7; ++r)
            QCOMPARE(height(v, r), 20.0);
        QVERIFY(strings(v["merged"]).contains("C3:D3"));
        QVERIFY(strings(v["merged"]).contains("G7:H7"));
        QCOMPARE(style(v, "A3"), QStringLiteral("宋体/14/center/thin/-"));
        for (const char* c : {"A", "H"})
            QCOMPARE(width(v, c), 17.0);
        // Summary and header rows are not data rows: only channel rows are shaded.
        QCOMPARE(ints(v["shaded"]), QList<int>());
        const QJsonObject vr = sheet(book, "湿度竖向分析表");
        // 2-1: 50…56, average 53, deviation √5; 2-2: 60, 60, 61, 63, average 61, deviation √1.5.
        QCOMPARE(row(vr, 3).value(2), QStringLiteral("2-1/53.00"));
        QCOMPARE(row(vr, 7).value(2), QStringLiteral("57.00"));
        QCOMPARE(row(vr, 10), QStringList({"2-1", "56.00", "50.00", "53.00", "3.00", "3.00", "6.00", "2.24"}));
        QCOMPARE(row(vr, 11), QStringList({"2-2", "63.00", "60.00", "61.00", "2.00", "1.00", "3.00", "1.22"}));
    }

    // Data rows at sheet rows 4, 9, 14 … are shaded in every table sheet.
    void shadingEveryFifthRow()
    {
        Report r;
        const auto p = project({"1-1", "1-2", "1-3", "1-4", "1-5", "1-6", "1-7", "1-8", "1-9", "1-10", "1-11"},
                               QVector<QString>(11, QStringLiteral("℃")).toList());
        QList<QList<double>> values;
        for (int i = 0; i < 13; ++i)
            values << QList<double>({1.0 * i, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
        r.writer.setData(1, {true, true, true, false, false}, p, rows(values), {kT0}, {kT0.addSecs(120)},
                         {QStringLiteral("a")});
        QVERIFY(r.run(path("shade.xlsx")));
        const QJsonObject book = readBack(path("shade.xlsx"));
        // Title 1, header 2, opening 3, data 4…16.
        QCOMPARE(ints(sheet(book, "工作数据表")["shaded"]), QList<int>({4, 9, 14}));
        QCOMPARE(ints(sheet(book, "温度横向分析表")["shaded"]), QList<int>({4, 9, 14}));
        // Opening 2, summary 3…7, blank 8, header 9, channel rows 10…20.
        QCOMPARE(ints(sheet(book, "温度竖向分析表")["shaded"]), QList<int>({14, 19}));
        QCOMPARE(ints(sheet(book, "首页")["shaded"]), QList<int>());
    }

    void dataSheetColumns_data()
    {
        QTest::addColumn<int>("channels");
        QTest::addColumn<QString>("titleSpan");
        QTest::addColumn<QString>("lastWide");
        QTest::addColumn<QString>("firstNarrow");
        QTest::newRow("3 channels") << 3 << "A1:H1" << "H" << "I";
        QTest::newRow("7 channels") << 7 << "A1:H1" << "H" << "I";
        QTest::newRow("12 channels") << 12 << "A1:M1" << "M" << "N";
    }
    void dataSheetColumns()
    {
        QFETCH(int, channels);
        QFETCH(QString, titleSpan);
        QFETCH(QString, lastWide);
        QFETCH(QString, firstNarrow);
        QStringList labels, units;
        QList<double> values;
        for (int i = 1; i <= channels; ++i) {
            labels << QStringLiteral("1-%1").arg(i);
            units << QStringLiteral("℃");
            values << i;
        }
        Report r;
        r.writer.setData(2, kDataOnly, project(labels, units), rows({values}), {kT0}, {kT0}, {QStringLiteral("x")});
        QVERIFY(r.run(path("columns.xlsx")));
        const QJsonObject data = sheet(readBack(path("columns.xlsx")), "工作数据表");
        QCOMPARE(strings(data["merged"]).first(), titleSpan);
        QCOMPARE(width(data, "A"), 24.0);
        QCOMPARE(width(data, "B"), 16.0);
        QCOMPARE(width(data, lastWide), 16.0);
        QCOMPARE(width(data, firstNarrow), -1.0);
        QCOMPARE(row(data, 2).size(), channels + 1);
        QCOMPARE(row(data, 4).size(), channels + 1);
    }

    void deviceChannelCounts()
    {
        Report r;
        auto p = project({"1-1", "1-2", "3-1"}, {"℃", "℃", "℃"});
        p.DeviceMode = QStringList{"A", "B", "C"};
        p.SerialNumber = QStringList{"s1", "s2", "s3"};
        p.ChannelConfig = QStringList{"c1", "c2", "c3"};
        r.writer.setData(2, kDataOnly, p, rows({{1, 2, 3}}), {kT0}, {kT0}, {QStringLiteral("x")});
        QVERIFY(r.run(path("devices.xlsx")));
        const QJsonObject home = sheet(readBack(path("devices.xlsx")), "首页");
        QCOMPARE(row(home, 9).value(9), QStringLiteral("2"));
        QCOMPARE(row(home, 10).value(9), QStringLiteral("0"));
        QCOMPARE(row(home, 11), QStringList({"3", "C", "", "s3", "", "", "", "c3", "", "1"}));
        QCOMPARE(row(home, 12), QStringList());
        QCOMPARE(row(home, 13), QStringList({"报告概述:"}));
    }

    void decimals_data()
    {
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("text");
        QTest::newRow("0") << 0 << "20";
        QTest::newRow("2") << 2 << "20.10";
        QTest::newRow("3") << 3 << "20.100";
    }
    void decimals()
    {
        QFETCH(int, decimals);
        QFETCH(QString, text);
        Report r;
        r.writer.setData(decimals, kDataOnly, project({"1-1"}, {"℃"}), rows({{20.1}}), {kT0}, {kT0},
                         {QStringLiteral("x")});
        QVERIFY(r.run(path("decimals.xlsx")));
        QCOMPARE(row(sheet(readBack(path("decimals.xlsx")), "工作数据表"), 4).value(1), text);
    }

    // Two segments: one between rows (it takes the rows after its start and
    // after its end), one after the last row (it gets the last row only).
    void segmentsAtTheEdges()
    {
        Report r;
        r.writer.setData(2, {true, false, true, false, false}, project({"1-1", "1-2"}, {"℃", "℃"}),
                         rows({{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}}), {kT0.addSecs(5), kT0.addSecs(45)},
                         {kT0.addSecs(15), kT0.addSecs(50)}, {QStringLiteral("段一"), QStringLiteral("段二")});
        QVERIFY(r.run(path("segments.xlsx")));
        const QJsonObject book = readBack(path("segments.xlsx"));
        const QJsonObject data = sheet(book, "工作数据表");
        QCOMPARE(row(data, 3), QStringList({"段一    开始", "", "开始时间：", "2026-03-02 10:00:05", "", "结束时间：",
                                            "2026-03-02 10:00:15"}));
        QCOMPARE(row(data, 4).value(0), ms(kT0.addSecs(10)));
        QCOMPARE(row(data, 5).value(0), ms(kT0.addSecs(20)));
        QCOMPARE(row(data, 6), QStringList({"段一    结束"}));
        QCOMPARE(row(data, 7), QStringList());
        QCOMPARE(row(data, 8).value(0), QStringLiteral("段二    开始"));
        QCOMPARE(row(data, 8).value(3), QStringLiteral("2026-03-02 10:00:45"));
        QCOMPARE(row(data, 9), QStringList({ms(kT0.addSecs(40)), "4.00", "4.00"}));
        QCOMPARE(row(data, 10), QStringList({"段二    结束"}));
        QCOMPARE(data["max_row"].toInt(), 10);
        QCOMPARE(ints(data["shaded"]), QList<int>({4, 9}));
        // The vertical table of the second segment is over one row.
        const QJsonObject v = sheet(book, "温度竖向分析表");
        QCOMPARE(row(v, 12), QStringList({"段一    结束"}));
        QCOMPARE(row(v, 14).value(0), QStringLiteral("段二    开始"));
        QCOMPARE(row(v, 22), QStringList({"1-1", "4.00", "4.00", "4.00", "0.00", "0.00", "0.00", "0.00"}));
    }

    // No rows in the range: every sheet is written with its frame and no
    // made-up statistics.
    void emptyProject()
    {
        Report r;
        r.writer.setData(2, kAll, project({"1-1", "2-1"}, {"℃", "%RH"}), {}, {kT0}, {kT0}, {QStringLiteral("x")});
        QVERIFY(r.run(path("empty.xlsx")));
        const QJsonObject book = readBack(path("empty.xlsx"));
        QCOMPARE(book["sheets"].toArray().size(), 6);
        QCOMPARE(row(sheet(book, "工作数据表"), 4), QStringList({"x    结束"}));
        QCOMPARE(row(sheet(book, "温度竖向分析表"), 3), QStringList({"最小平均温度及通道", "", "", "", "最大的最大值与全均值之差"}));
    }

    // "mV" and "V" are both 电压: the groups' sheets used to collide, the step
    // failed and nothing was saved. Now each group's sheets carry its unit.
    void sameQuantityNamedApart()
    {
        Report r;
        r.writer.setData(2, kAll, project({"1-1", "1-2", "1-3"}, {"mV", "V", "V"}), rows({{1, 2, 4}, {3, 2, 6}}),
                         {kT0}, {kT0.addSecs(10)}, {QStringLiteral("x")});
        QVERIFY(r.run(path("voltage.xlsx")));
        const QJsonObject book = readBack(path("voltage.xlsx"));
        QCOMPARE(strings(book["sheets"]), QStringList({"首页", "工作数据表", "电压(mV)横向分析表", "电压(mV)竖向分析表",
                                                       "电压(V)横向分析表", "电压(V)竖向分析表"}));
        QCOMPARE(row(sheet(book, "首页"), 13),
                 QStringList({"1.数据表", "", "2.电压(mV)横向表", "", "3.电压(mV)竖向表", "", "4.电压(V)横向表", "",
                              "5.电压(V)竖向表"}));
        const QJsonObject v = sheet(book, "电压(V)竖向分析表");
        QCOMPARE(row(v, 1), QStringList({"电压(V)竖向分析表"}));
        // Headers keep the quantity; only the V channels are in the V tables.
        QCOMPARE(row(v, 9).value(1), QStringLiteral("最大电压"));
        QCOMPARE(row(v, 10), QStringList({"1-2", "2.00", "2.00", "2.00", "0.00", "0.00", "0.00", "0.00"}));
        QCOMPARE(row(v, 11), QStringList({"1-3", "6.00", "4.00", "5.00", "1.00", "1.00", "2.00", "1.00"}));
        QCOMPARE(row(v, 12), QStringList({"x    结束"}));
    }

    // Sheet names longer than a workbook allows (31 characters) or taken are
    // shortened and numbered; the sheet's title row keeps the whole name.
    void longSheetNamesFit()
    {
        Report r;
        // ℃ and ℉ are both 温度; "温度(℃)" is short in Chinese, so an
        // unknown long unit shows the limit.
        const QString unit = QStringLiteral("a-very-long-unit-name-beyond-31");
        r.writer.setData(2, {true, true, false, true, false}, project({"1-1", "1-2"}, {unit, unit + "x"}),
                         rows({{1, 2}}), {kT0}, {kT0}, {QStringLiteral("x")});
        QVERIFY(r.run(path("long.xlsx")));
        const QStringList names = strings(readBack(path("long.xlsx"))["sheets"]);
        QCOMPARE(names.size(), 4);
        for (const QString& n : names)
            QVERIFY2(n.size() <= 31, qPrintable(n));
        QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), 4);
        QCOMPARE(row(sheet(readBack(path("long.xlsx")), names.at(3)), 1),
                 QStringList{QStringLiteral("其他(") + unit + "x)横向分析表"});
    }

    // ℃, mV and %RH: the right group is the mV channels only (the %RH ones
    // used to be averaged with them); %RH is in the data table, in no
    // analysis table, and the cover says so.
    void threeUnits()
    {
        Report r;
        r.writer.setData(2, kAll, project({"1-1", "1-2", "2-1", "2-2"}, {"℃", "mV", "%RH", "mV"}),
                         rows({{20, 1, 50, 3}, {22, 2, 52, 5}}), {kT0}, {kT0.addSecs(10)}, {QStringLiteral("全程")});
        QVERIFY(r.run(path("three.xlsx")));
        const QJsonObject book = readBack(path("three.xlsx"));
        QCOMPARE(strings(book["sheets"]), QStringList({"首页", "工作数据表", "温度横向分析表", "温度竖向分析表",
                                                       "电压横向分析表", "电压竖向分析表"}));
        const QJsonObject home = sheet(book, "首页");
        QCOMPARE(row(home, 13).value(0), QStringLiteral("1.数据表"));
        QCOMPARE(row(home, 15), QStringList({"注：以下通道的单位不属于两个分析组，未列入分析表：2-1(%RH)"}));
        QCOMPARE(row(home, 17), QStringList({"采集信息:"}));
        QCOMPARE(row(home, 28), QStringList({"趋势图:"}));
        QCOMPARE(row(sheet(book, "工作数据表"), 4), QStringList({ms(kT0), "20.00", "1.00", "50.00", "3.00"}));
        const QJsonObject h = sheet(book, "电压横向分析表");
        QCOMPARE(row(h, 4), QStringList({ms(kT0), "3.00", "2-2", "1.00", "1-2", "2.00", "1.00", "1.00", "2.00",
                                         "1.00"}));
        const QJsonObject v = sheet(book, "电压竖向分析表");
        QCOMPARE(row(v, 7), QStringList({"全均值", "", "2.75"}));
        QCOMPARE(row(v, 10).value(0), QStringLiteral("1-2"));
        QCOMPARE(row(v, 11).value(0), QStringLiteral("2-2"));
        QCOMPARE(row(v, 12), QStringList({"全程    结束"}));
    }

    // A stored text that is no number is an empty cell and takes no part in
    // the statistics (it used to print 0.00 and pull minimum and mean down).
    void valuesThatAreNoNumber()
    {
        Report r;
        const auto p = project({"1-1", "1-2"}, {"℃", "℃"});
        QList<Tool::Struct_ParametersData> data = rows({{10, 20}, {0, 22}, {14, 24}});
        data[1].Data[0] = QStringLiteral("OVER");
        r.writer.setData(2, kAll, p, data, {kT0}, {kT0.addSecs(20)}, {QStringLiteral("r")});
        QVERIFY(r.run(path("nan.xlsx")));
        const QJsonObject book = readBack(path("nan.xlsx"));
        QCOMPARE(row(sheet(book, "工作数据表"), 5), QStringList({ms(kT0.addSecs(10)), "", "22.00"}));
        // The empty cell keeps the row's format.
        QCOMPARE(style(sheet(book, "工作数据表"), "B5"), QStringLiteral("宋体/12/left/thin/-"));
        const QJsonObject h = sheet(book, "温度横向分析表");
        QCOMPARE(row(h, 5), QStringList({ms(kT0.addSecs(10)), "22.00", "1-2", "22.00", "1-2", "22.00", "0.00", "0.00",
                                         "0.00", "0.00"}));
        const QJsonObject v = sheet(book, "温度竖向分析表");
        QCOMPARE(row(v, 10), QStringList({"1-1", "14.00", "10.00", "12.00", "2.00", "2.00", "4.00", "2.00"}));
        QCOMPARE(row(v, 7), QStringList({"全均值", "", "17.00"}));
    }

    void cancelled_data()
    {
        QTest::addColumn<bool>("duringTables");
        QTest::newRow("while the tables are written") << true;
        QTest::newRow("before saving") << false;
    }
    // A cancelled write leaves no file, no ".part" and an older report whole.
    void cancelled()
    {
        QFETCH(bool, duringTables);
        const QString target = path("cancel.xlsx");
        {
            QFile old(target);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("the previous report");
        }
        std::atomic<bool> cancel{false};
        Report r;
        climate(r.writer, kAll);
        r.writer.setCancel(&cancel);
        if (duringTables)
            r.writer.setProgress([&](qint64, qint64) { cancel = true; });
        QVERIFY(r.writer.writeHome());
        QVERIFY(r.writer.writeChart(chart()));
        QCOMPARE(r.writer.writeTables(), !duringTables);
        cancel = true;
        QVERIFY(!r.writer.save(target));
        QFile old(target);
        QVERIFY(old.open(QIODevice::ReadOnly));
        QCOMPARE(old.readAll(), QByteArray("the previous report"));
        QVERIFY(!QFile::exists(target + ".part"));
    }

    // A finished write replaces an older file at the path.
    void replacesOlderFile()
    {
        const QString target = path("replace.xlsx");
        QFile::remove(target);
        QVERIFY(QDir().mkpath(m_dir.path()));
        {
            QFile old(target);
            QVERIFY(old.open(QIODevice::WriteOnly));
            old.write("old");
        }
        Report r;
        climate(r.writer, kDataOnly);
        QVERIFY(r.run(target));
        QCOMPARE(strings(readBack(target)["sheets"]), QStringList({"首页", "工作数据表"}));
        QVERIFY(!QFile::exists(target + ".part"));
    }

    void unwritablePath_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing folder") << "no/such/folder/report.xlsx" << "保存路径不存在。";
        QTest::newRow("a folder") << "folder" << "保存路径是一个文件夹。";
        QTest::newRow("empty") << "" << "未选择保存路径。";
    }
    // The workbook cannot be put in place: false, the reason for the user, no file.
    void unwritablePath()
    {
        QFETCH(QString, name);
        QFETCH(QString, reason);
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder")));
        const QString target = name.isEmpty() ? QString() : path(name);
        Report r;
        climate(r.writer, kDataOnly);
        QVERIFY(!r.run(target));
        QVERIFY(r.tables);
        QCOMPARE(r.writer.failure(), reason);
        if (!target.isEmpty())
            QVERIFY(!QFile::exists(target + ".part"));
        QVERIFY(QFileInfo(path("folder")).isDir());
        QVERIFY(!QFile::exists(path("no")));
    }

    void localTimes_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDateTime>("firstUtc");
        QTest::newRow("UTC") << QByteArray("UTC") << QDateTime(QDate(2026, 3, 29), QTime(0, 50), Qt::UTC);
        // 02:00 CET becomes 03:00 CEST at 01:00 UTC.
        QTest::newRow("Berlin, clocks forward") << QByteArray("Europe/Berlin")
                                                << QDateTime(QDate(2026, 3, 29), QTime(0, 50), Qt::UTC);
        QTest::newRow("Berlin, clocks back") << QByteArray("Europe/Berlin")
                                             << QDateTime(QDate(2026, 10, 25), QTime(0, 50), Qt::UTC);
        // Half an hour back at 15:00 UTC.
        QTest::newRow("Lord Howe") << QByteArray("Australia/Lord_Howe")
                                   << QDateTime(QDate(2026, 4, 4), QTime(14, 50), Qt::UTC);
        QTest::newRow("before 1970") << QByteArray("Asia/Shanghai")
                                     << QDateTime(QDate(1969, 12, 31), QTime(15, 50), Qt::UTC);
    }
    // Row times are the local wall-clock times, also across a change of the
    // zone's offset, in the data table and the horizontal table alike.
    void localTimes()
    {
        QFETCH(QByteArray, zone);
        QFETCH(QDateTime, firstUtc);
        const QByteArray saved = qgetenv("TZ");
        qputenv("TZ", zone);
        tzset();
        QList<Tool::Struct_ParametersData> data;
        QStringList expected;
        for (int i = 0; i < 25; ++i) {
            Tool::Struct_ParametersData d;
            d.Time = QDateTime::fromMSecsSinceEpoch(firstUtc.toMSecsSinceEpoch() + i * 59999LL);
            d.Data = QStringList{QString::number(i), QString::number(-i)};
            data << d;
            expected << ms(d.Time);
        }
        Report r;
        r.writer.setData(2, {true, true, false, false, false}, project({"1-1", "1-2"}, {"℃", "℃"}), data,
                         {data.first().Time}, {data.last().Time}, {QStringLiteral("x")});
        const bool ok = r.run(path("zone.xlsx"));
        if (saved.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", saved);
        tzset();
        QVERIFY(ok);
        const QJsonObject book = readBack(path("zone.xlsx"));
        QStringList data0, horizontal0;
        for (int i = 0; i < 25; ++i) {
            data0 << row(sheet(book, "工作数据表"), 4 + i).value(0);
            horizontal0 << row(sheet(book, "温度横向分析表"), 4 + i).value(0);
        }
        QCOMPARE(data0, expected);
        QCOMPARE(horizontal0, expected);
    }

    // The book streams: a row left behind cannot be written again, which is
    // what keeps the report's layout in row order; taken names are refused.
    void bookStreamsRows()
    {
        XlsxBook book;
        const int f = book.addFormat({});
        QVERIFY(book.addSheet("a"));
        QVERIFY(!book.addSheet("a"));
        QVERIFY(!book.addSheet("x[1]"));
        QVERIFY(book.setRowHeight(1, 20));
        QVERIFY(book.merge(1, 0, 2, "merged", f));
        QVERIFY(book.write(3, 0, QStringLiteral("after"), f));
        QVERIFY(!book.write(1, 4, QStringLiteral("too late"), f));
        QVERIFY(book.setColumnWidth(0, 3, 30)); // columns at any time
        QVERIFY(!book.insertImage(0, 0, QImage()));
        QVERIFY(book.saveAs(path("book.xlsx")));
        const QJsonObject a = sheet(readBack(path("book.xlsx")), "a");
        QCOMPARE(row(a, 2), QStringList({"merged"}));
        QCOMPARE(row(a, 4), QStringList({"after"}));
        QCOMPARE(strings(a["merged"]), QStringList({"A2:C2"}));
        QVERIFY(!book.saveAs(path("again.xlsx")));
        QVERIFY(!QFile::exists(path("again.xlsx")));
    }

    void numberCells_data()
    {
        QTest::addColumn<int>("decimals");
        QTest::addColumn<QString>("format");
        QTest::newRow("0") << 0 << "0";
        QTest::newRow("2") << 2 << "0.00";
        QTest::newRow("3") << 3 << "0.000";
    }
    // Values are number cells in the decimals' number format, holding the
    // value their text shows (2.675 to two places is 2.67 as the PDF prints
    // it, not the spreadsheet's own 2.68; 0.125 is 0.13); a value that is no
    // number stays an empty cell; times and channel labels stay texts; the
    // formats are made once, not per cell.
    void numberCells()
    {
        QFETCH(int, decimals);
        QFETCH(QString, format);
        Report r;
        const auto p = project({"1-1", "1-2", "1-3"}, {"℃", "℃", "℃"});
        const QList<QList<double>> values{{2.675, 0.125, -0.0001}, {20.5, 1, 3}, {1, 2, 3}, {4, 5, 6}, {7, 8, 9.5}};
        QList<Tool::Struct_ParametersData> data = rows(values);
        data[1].Data[1] = QStringLiteral("OVER");
        r.writer.setData(decimals, {true, true, true, false, false}, p, data, {kT0}, {kT0.addSecs(40)},
                         {QStringLiteral("x")});
        QVERIFY(r.run(path("numbers.xlsx")));
        const QJsonObject book = readBack(path("numbers.xlsx"));
        const auto number = [](const QJsonObject& sheet, const QString& cell) {
            return sheet.value(QStringLiteral("numbers")).toObject().value(cell).toArray();
        };
        const auto shownAs = [&](double v) {
            const double shown = QString::number(v, 'f', decimals).toDouble();
            return shown == 0 ? 0.0 : shown;
        };
        const QJsonObject table = sheet(book, "工作数据表");
        QCOMPARE(table["numbers"].toObject().size(), 14);
        for (int rIndex = 0; rIndex < values.size(); ++rIndex) {
            QVERIFY(number(table, QStringLiteral("A%1").arg(rIndex + 4)).isEmpty());
            for (int c = 0; c < 3; ++c) {
                const QString cell = QString(QChar('B' + c)) + QString::number(rIndex + 4);
                const QJsonArray n = number(table, cell);
                if (rIndex == 1 && c == 1) {
                    QVERIFY(n.isEmpty());
                    continue;
                }
                QCOMPARE(n.at(0).toDouble(), shownAs(values.at(rIndex).at(c)));
                QCOMPARE(n.at(1).toString(), format);
            }
        }
        QCOMPARE(row(table, 5).value(2), QString());
        // The shaded row keeps its fill with the number format.
        QCOMPARE(style(table, "C4"), QStringLiteral("宋体/12/left/thin/FFCDCDC1"));
        QCOMPARE(style(table, "C5"), QStringLiteral("宋体/12/left/thin/-"));

        // Horizontal: statistics are numbers, the time and the channel columns texts.
        const QJsonObject h = sheet(book, "温度横向分析表");
        for (const char* c : {"B", "D", "F", "G", "H", "I", "J"})
            QCOMPARE(number(h, QStringLiteral("%1%2").arg(QLatin1String(c)).arg(6)).at(1).toString(), format);
        for (const char* c : {"A", "C", "E"})
            QVERIFY(number(h, QStringLiteral("%1%2").arg(QLatin1String(c)).arg(6)).isEmpty());
        QCOMPARE(number(h, "B6").at(0).toDouble(), shownAs(3));
        // Vertical: channel rows and the plain summary values are numbers,
        // "label/value" texts stay texts.
        const QJsonObject v = sheet(book, "温度竖向分析表");
        for (int rIndex = 10; rIndex <= 12; ++rIndex) {
            QVERIFY(number(v, QStringLiteral("A%1").arg(rIndex)).isEmpty());
            for (const char* c : {"B", "C", "D", "E", "F", "G", "H"})
                QCOMPARE(number(v, QStringLiteral("%1%2").arg(QLatin1String(c)).arg(rIndex)).at(1).toString(), format);
        }
        QCOMPARE(number(v, "B10").at(0).toDouble(), shownAs(20.5));
        QVERIFY(number(v, "C3").isEmpty());
        QCOMPARE(number(v, "G3").at(1).toString(), format);
        QCOMPARE(number(v, "C7").at(1).toString(), format);
        // Eight styles, their number variants and the default: nowhere near one per cell.
        QVERIFY2(book["xfs"].toInt() <= 13, qPrintable(QString::number(book["xfs"].toInt())));
    }

    void chartKeepsItsShape_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("shown");
        QTest::newRow("wide, as the trend view") << QSize(1000, 360) << QSize(890, 320);
        QTest::newRow("square") << QSize(800, 800) << QSize(890, 890);
        QTest::newRow("very wide") << QSize(2000, 500) << QSize(890, 223);
    }
    // The chart on the cover has the shape of the picture it was given.
    void chartKeepsItsShape()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, shown);
        VerificationReportExcel writer;
        climate(writer, kDataOnly);
        QImage image(picture, QImage::Format_RGB32);
        image.fill(Qt::white);
        QVERIFY(writer.writeHome() && writer.writeChart(image) && writer.writeTables() &&
                writer.save(path("shape.xlsx")));
        const QJsonArray images = sheet(readBack(path("shape.xlsx")), "首页")["images"].toArray();
        QCOMPARE(images.size(), 2);
        const QJsonObject chartImage = images.at(1).toObject();
        QCOMPARE(chartImage["width"].toInt(), shown.width());
        QVERIFY2(std::abs(chartImage["height"].toInt() - shown.height()) <= 1,
                 qPrintable(QString::number(chartImage["height"].toInt())));
    }

    // The writer keeps the path it is given, a ".xls" name included.
    void xlsNameKept()
    {
        Report r;
        climate(r.writer, kDataOnly);
        QVERIFY(r.run(path("old-style.xls")));
        QVERIFY(QFile::exists(path("old-style.xls")));
        QVERIFY(!QFile::exists(path("old-style.xlsx")));
        QCOMPARE(strings(readBack(path("old-style.xls"))["sheets"]), QStringList({"首页", "工作数据表"}));
    }
};

QTEST_MAIN(ReportExcelTest)
#include "tst_reportexcel.moc"
