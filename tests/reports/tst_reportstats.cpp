// What both report writers compute: segment rows, unit groups, the vertical
// and horizontal statistics and their texts, and the report thread's thinning.
#include "ReportData.h"

#include <QtTest>

#include <cmath>

namespace {
QDateTime at(const QString& hms)
{
    return QDateTime::fromString("2026-12-10 " + hms, "yyyy-MM-dd hh:mm:ss");
}

Tool::Struct_ParametersData row(const QString& hms, const QStringList& data)
{
    return {"P", at(hms), data};
}

Tool::Struct_Parameters project(const QStringList& channels, const QStringList& units, const QString& scan = "10")
{
    Tool::Struct_Parameters p;
    p.Name = "P";
    p.Channel = channels;
    p.Unit = units;
    p.ScanInterval = scan;
    return p;
}
} // namespace

class TestReportStats : public QObject
{
    Q_OBJECT
private slots:
    void segmentRows_data();
    void segmentRows();
    void verticalAndHorizontal();
    void groupsAndTableNames();
    void thinning();
    void compactFormMatchesRows();
    void threeUnits();
    void sameQuantityNamedApart();
    void thinningInWholeMilliseconds_data();
    void thinningInWholeMilliseconds();
    void valuesThatAreNoNumber();
    void segmentCopyPrintsTheSameRows_data();
    void segmentCopyPrintsTheSameRows();
};

void TestReportStats::segmentRows_data()
{
    QTest::addColumn<QStringList>("segments"); // "start-end" pairs
    QTest::addColumn<QList<int>>("expected");  // start, end per segment
    QTest::newRow("between rows") << QStringList{"10:00:05-10:00:15"} << QList<int>{1, 2};
    QTest::newRow("exact times") << QStringList{"10:00:00-10:00:10"} << QList<int>{0, 1};
    QTest::newRow("after the last row") << QStringList{"10:00:25-10:00:40"} << QList<int>{2, 2};
    QTest::newRow("two touching") << QStringList{"10:00:00-10:00:10", "10:00:10-10:00:20"}
                                  << QList<int>{0, 1, 1, 2};
    QTest::newRow("trailing segment misses") << QStringList{"10:00:00-10:00:05", "10:00:21-10:00:30"}
                                             << QList<int>{0, 1, 2, 2};
}

void TestReportStats::segmentRows()
{
    QFETCH(QStringList, segments);
    QFETCH(QList<int>, expected);
    const QList<QDateTime> times{at("10:00:00"), at("10:00:10"), at("10:00:20")};
    QList<QDateTime> starts, ends;
    for (const QString& s : segments) {
        starts << at(s.section('-', 0, 0));
        ends << at(s.section('-', 1, 1));
    }
    QList<int> first, last;
    ReportStats::segmentRows(times, starts, ends, &first, &last);
    QList<int> got;
    for (int i = 0; i < first.size(); ++i)
        got << first.at(i) << last.at(i);
    QCOMPARE(got, expected);
}

void TestReportStats::verticalAndHorizontal()
{
    // Channel A: 1 2 3 4; channel B: 4 4 0 4; both ℃.
    const QList<Tool::Struct_ParametersData> rows{row("10:00:00", {"1", "4"}), row("10:00:10", {"2", "4"}),
                                                  row("10:00:20", {"3", "0"}), row("10:00:30", {"4", "4"})};
    const ReportData d = ReportData::build(4, {true, true, true, false, false}, project({"1-101", "1-102"}, {"℃", "℃"}),
                                           rows, {at("10:00:00")}, {at("10:00:30")}, {"all"});
    QCOMPARE(d.segmentStartRows, QList<int>{0});
    QCOMPARE(d.segmentEndRows, QList<int>{3});
    const ReportStats::Vertical v = ReportStats::vertical(d.rows, 0, 3, true, 2);
    QCOMPARE(v.channels.at(0).average, 2.5);
    QCOMPARE(v.channels.at(0).deviation, std::sqrt(1.25)); // population form
    QCOMPARE(ReportStats::verticalRow(d, "1-101", v.channels.at(0)),
             QStringList({"1-101", "4.0000", "1.0000", "2.5000", "1.5000", "1.5000", "3.0000", "1.1180"}));
    // Equal maxima (4 and 4): the first channel is named; overall mean (2.5 + 3) / 2.
    QCOMPARE(v.maxMaximumAt, 0);
    QCOMPARE(v.minMinimumAt, 1);
    QCOMPARE(v.overall, 2.75);
    const QList<QStringList> summary = ReportStats::verticalSummary(d, v, true);
    QCOMPARE(summary.at(0), QStringList({"最小平均温度及通道", "1-101/2.5000", "最大的最大值与全均值之差", "1.2500"}));
    QCOMPARE(summary.at(3), QStringList({"最小的最小值及通道", "1-102/0.0000", "全均值与最小平均值之差", "0.2500"}));
    QCOMPARE(summary.at(4).mid(0, 2), QStringList({"全均值", "2.7500"}));

    // One row across the group: 3 and 0.
    QCOMPARE(ReportStats::horizontalRow(d, d.rows.at(2), true),
             QStringList({"12-10 10:00:20.000", "3.0000", "1-101", "0.0000", "1-102", "1.5000", "1.5000", "1.5000",
                          "3.0000", "1.5000"}));
    QCOMPARE(ReportStats::horizontalHeaders("温度").at(2), QStringLiteral("最大温度通道"));
    QCOMPARE(ReportStats::verticalHeaders("温度").last(), QStringLiteral("标准偏差"));
}

void TestReportStats::groupsAndTableNames()
{
    // ℃ comes first whatever the order; mV channels form the right group.
    const ReportData d = ReportData::build(2, {true, true, true, true, true},
                                           project({"1-101", "2-101", "1-102"}, {"mV", "℃", "mV"}),
                                           {row("10:00:00", {"1.5", "20.1", "x"})}, {at("10:00:00")}, {at("10:00:00")},
                                           {"r"});
    QCOMPARE(d.leftUnit, QStringLiteral("℃"));
    QCOMPARE(d.leftLabels, QStringList{"2-101"});
    QCOMPARE(d.rightLabels, QStringList({"1-101", "1-102"}));
    QCOMPARE(d.rows.at(0).right.size(), 2);
    QCOMPARE(d.rows.at(0).right.at(0), 1.5);
    QVERIFY(std::isnan(d.rows.at(0).right.at(1))); // no number: NaN, left out of the statistics
    QCOMPARE(d.number(d.rows.at(0).right.at(1)), QString());
    QCOMPARE(d.number(20.1), QStringLiteral("20.10"));
    QCOMPARE(d.tableNames, QStringList({"数据表", "温度横向表", "温度竖向表", "电压横向表", "电压竖向表"}));
    QCOMPARE(d.deviceChannelCount(1), 2);
    QCOMPARE(d.deviceChannelCount(3), 0);
    QCOMPARE(ReportStats::tableNames({true, false, false, false, false}, "温度", ""), QStringList{"数据表"});
    // An empty group has no statistics to print.
    const ReportStats::Vertical none = ReportStats::vertical(d.rows, 0, 0, false, 0);
    QVERIFY(ReportStats::verticalSummary(d, none, false).at(0).at(1).isEmpty());
}

void TestReportStats::thinning()
{
    QList<Tool::Struct_ParametersData> rows;
    for (int i = 0; i < 12; ++i)
        rows << Tool::Struct_ParametersData{"P", at("10:00:00").addSecs(2 * i), {QString::number(i), "x", "y"}};
    Tool::Struct_Parameters copy;
    QList<Tool::Struct_ParametersData> kept;
    ReportData::prepare(project({"1-101", "1-102", "1-103"}, {"℃", "℃", "mV"}, "2"), rows, {true, false, true}, "10",
                        &copy, &kept);
    QCOMPARE(copy.ScanInterval, QStringLiteral("10"));
    QCOMPARE(copy.Channel, QStringList({"1-101", "1-103"}));
    QCOMPARE(copy.Unit, QStringList({"℃", "mV"}));
    QCOMPARE(kept.size(), 3); // rows 0, 5, 10
    QCOMPARE(kept.at(1).Data, QStringList({"5", "y"}));
    // Scan interval 0: every row.
    ReportData::prepare(project({"1-101"}, {"℃"}, "0"), rows, {true}, "10", &copy, &kept);
    QCOMPARE(kept.size(), 12);
}

// The compact form (shared value columns, one record made at a time) gives
// the same rows, segments and statistics as the list of records.
void TestReportStats::compactFormMatchesRows()
{
    const auto p = project({"1-1", "2-1", "1-2"}, {"℃", "%RH", "℃"});
    QList<Tool::Struct_ParametersData> rows;
    QVector<qint64> times;
    QVector<QVector<double>> columns(3);
    for (int r = 0; r < 7; ++r) {
        const double a = r * 1.5 - 2, b = 40 + (r * 7) % 5, c = (r % 3) * 0.25;
        rows << row(at("10:00:00").addSecs(10 * r).toString("hh:mm:ss"),
                    {QString::number(a), QString::number(b), QString::number(c)});
        times << rows.last().Time.toMSecsSinceEpoch();
        columns[0] << a;
        columns[1] << b;
        columns[2] << c;
    }
    const QList<QDateTime> starts{at("10:00:05"), at("10:00:30"), at("10:02:00")};
    const QList<QDateTime> ends{at("10:00:25"), at("10:00:30"), at("10:03:00")};
    const ReportData list = ReportData::build(2, {true, true, true, true, true}, p, rows, starts, ends, {"a", "b", "c"});
    const ReportData compact =
        ReportData::buildCompact(2, {true, true, true, true, true}, p, times, columns, starts, ends, {"a", "b", "c"});
    QVERIFY(compact.compact);
    QVERIFY(compact.rows.isEmpty());
    QCOMPARE(compact.rowCount(), 7);
    QCOMPARE(compact.segmentStartRows, list.segmentStartRows);
    QCOMPARE(compact.segmentEndRows, list.segmentEndRows);
    QCOMPARE(compact.segmentEndRows.last(), 6); // past the last row
    QCOMPARE(compact.leftLabels, list.leftLabels);
    QCOMPARE(compact.tableNames, list.tableNames);
    for (int r = 0; r < 7; ++r) {
        QCOMPARE(compact.row(r).time, list.rows.at(r).time);
        QCOMPARE(compact.row(r).values, list.rows.at(r).values);
        QCOMPARE(ReportStats::horizontalRow(compact, compact.row(r), true),
                 ReportStats::horizontalRow(list, list.rows.at(r), true));
        QCOMPARE(compact.groupValue(r, false, 0), list.rows.at(r).right.at(0));
    }
    for (int s = 0; s < 3; ++s) {
        for (bool left : {true, false}) {
            const auto a = ReportStats::vertical(compact, compact.segmentStartRows.at(s), compact.segmentEndRows.at(s), left);
            const auto b = ReportStats::vertical(list.rows, list.segmentStartRows.at(s), list.segmentEndRows.at(s), left,
                                                 (left ? list.leftLabels : list.rightLabels).size());
            QCOMPARE(ReportStats::verticalSummary(compact, a, left), ReportStats::verticalSummary(list, b, left));
            QCOMPARE(a.channels.size(), b.channels.size());
            for (int c = 0; c < a.channels.size(); ++c)
                QCOMPARE(ReportStats::verticalRow(compact, "x", a.channels.at(c)),
                         ReportStats::verticalRow(list, "x", b.channels.at(c)));
        }
    }
    // Without rows: empty statistics, no row touched.
    const ReportData none = ReportData::buildCompact(2, {true}, p, {}, QVector<QVector<double>>(3), starts, ends, {});
    QCOMPARE(none.segmentRows(0), 0);
    QVERIFY(ReportStats::vertical(none, -1, -1, true).channels.isEmpty());
}

// Units ℃, mV and %RH: the right group holds the mV channels only (they
// used to take the %RH channels too and average them with the mV); the %RH
// channels are in the data table, in no analysis table, and named in a note.
void TestReportStats::threeUnits()
{
    const auto p = project({"1-101", "1-102", "2-101", "2-102", "3-101"}, {"℃", "mV", "%RH", "mV", "%RH"});
    const QList<Tool::Struct_ParametersData> rows{row("10:00:00", {"20", "1", "50", "3", "60"}),
                                                  row("10:00:10", {"22", "2", "52", "5", "62"})};
    for (const bool compact : {false, true}) {
        QVector<qint64> times;
        QVector<QVector<double>> columns(5);
        for (const auto& r : rows) {
            times << r.Time.toMSecsSinceEpoch();
            for (int c = 0; c < 5; ++c)
                columns[c] << r.Data.at(c).toDouble();
        }
        const QList<bool> all{true, true, true, true, true};
        const ReportData d = compact ? ReportData::buildCompact(2, all, p, times, columns, {at("10:00:00")},
                                                                {at("10:00:10")}, {"r"})
                                     : ReportData::build(2, all, p, rows, {at("10:00:00")}, {at("10:00:10")}, {"r"});
        QCOMPARE(d.leftUnit, QStringLiteral("℃"));
        QCOMPARE(d.rightUnit, QStringLiteral("mV"));
        QCOMPARE(d.leftLabels, QStringList{"1-101"});
        QCOMPARE(d.rightLabels, QStringList({"1-102", "2-102"}));
        QCOMPARE(d.otherChannels, QStringList({"2-101(%RH)", "3-101(%RH)"}));
        QCOMPARE(d.tableNames, QStringList({"数据表", "温度横向表", "温度竖向表", "电压横向表", "电压竖向表"}));
        // Every channel stays in the data rows.
        QCOMPARE(d.row(1).values.size(), 5);
        QCOMPARE(d.row(1).right, QList<double>({2, 5}));
        const auto v = ReportStats::vertical(d, 0, 1, false);
        QCOMPARE(v.channels.size(), 2);
        QCOMPARE(v.overall, 2.75); // (1.5 + 4) / 2: no %RH in it
        QCOMPARE(ReportStats::horizontalRow(d, d.row(0), false).mid(1, 5),
                 QStringList({"3.00", "2-102", "1.00", "1-102", "2.00"}));
        QCOMPARE(ReportStats::otherUnitsNote(d),
                 QStringLiteral("注：以下通道的单位不属于两个分析组，未列入分析表：2-101(%RH), 3-101(%RH)"));
    }
    // Only the data table: no analysis table to leave anything out of.
    const ReportData dataOnly = ReportData::build(2, {true, false, false, false, false}, p, rows, {at("10:00:00")},
                                                  {at("10:00:10")}, {"r"});
    QCOMPARE(ReportStats::otherUnitsNote(dataOnly), QString());
    // Two units: no note.
    const ReportData two = ReportData::build(2, {true, true, true, true, true},
                                             project({"1-101", "1-102"}, {"℃", "mV"}), {}, {}, {}, {});
    QVERIFY(two.otherChannels.isEmpty());
    QCOMPARE(ReportStats::otherUnitsNote(two), QString());
}

// "mV" and "V" are both 电压: the groups' tables are told apart by the unit.
void TestReportStats::sameQuantityNamedApart()
{
    const ReportData d = ReportData::build(2, {true, true, true, true, true},
                                           project({"1-101", "1-102"}, {"mV", "V"}), {}, {}, {}, {});
    QCOMPARE(d.leftQuantity, QStringLiteral("电压"));
    QCOMPARE(d.rightQuantity, QStringLiteral("电压"));
    QCOMPARE(d.leftName, QStringLiteral("电压(mV)"));
    QCOMPARE(d.rightName, QStringLiteral("电压(V)"));
    QCOMPARE(d.tableNames, QStringList({"数据表", "电压(mV)横向表", "电压(mV)竖向表", "电压(V)横向表", "电压(V)竖向表"}));
    // Headers keep the quantity.
    QCOMPARE(ReportStats::horizontalHeaders(d.rightQuantity).at(1), QStringLiteral("最大电压"));
    // Different quantities keep their plain names.
    const ReportData other = ReportData::build(2, {true, true, true, true, true},
                                               project({"1-101", "1-102"}, {"℃", "V"}), {}, {}, {}, {});
    QCOMPARE(other.leftName, QStringLiteral("温度"));
    QCOMPARE(other.rightName, QStringLiteral("电压"));
}

void TestReportStats::thinningInWholeMilliseconds_data()
{
    QTest::addColumn<QString>("scan");
    QTest::addColumn<QString>("print");
    QTest::addColumn<int>("step");
    QTest::newRow("0.3 over 0.1") << "0.1" << "0.3" << 3; // 0.3 / 0.1 = 2.999… as doubles
    QTest::newRow("0.7 over 0.1") << "0.1" << "0.7" << 7;
    QTest::newRow("1.5 over 0.5") << "0.5" << "1.5" << 3;
    QTest::newRow("0.6 over 0.2") << "0.2" << "0.6" << 3;
    QTest::newRow("equal") << "0.16" << "0.16" << 1;
    QTest::newRow("shorter") << "2" << "1" << 1;
    QTest::newRow("scan 0") << "0" << "10" << 1;
}

void TestReportStats::thinningInWholeMilliseconds()
{
    QFETCH(QString, scan);
    QFETCH(QString, print);
    QFETCH(int, step);
    QCOMPARE(ReportData::rowStep(scan, print), step);
    // Both forms of the report thread's copies keep rows 0, step, 2·step, …
    QList<Tool::Struct_ParametersData> rows;
    QVector<qint64> times;
    QVector<QVector<double>> columns(1);
    for (int i = 0; i < 30; ++i) {
        rows << Tool::Struct_ParametersData{"P", at("10:00:00").addMSecs(100 * i), {QString::number(i)}};
        times << rows.last().Time.toMSecsSinceEpoch();
        columns[0] << i;
    }
    Tool::Struct_Parameters copy;
    QList<Tool::Struct_ParametersData> kept;
    ReportData::prepare(project({"1-101"}, {"℃"}, scan), rows, {true}, print, &copy, &kept);
    QCOMPARE(kept.size(), (30 + step - 1) / step);
    QCOMPARE(kept.value(1).Data, QStringList{QString::number(step)});
    QVector<qint64> keptTimes;
    QVector<QVector<double>> keptColumns;
    ReportData::prepare(project({"1-101"}, {"℃"}, scan), times, columns, {true}, print, &copy, &keptTimes,
                        &keptColumns);
    QCOMPARE(keptTimes.size(), kept.size());
    QCOMPARE(keptColumns.at(0).value(1), double(step));
}

// A value that is no number prints empty and takes no part in minimum,
// mean or deviation; a channel without any number has empty statistics.
void TestReportStats::valuesThatAreNoNumber()
{
    const auto p = project({"1-101", "1-102", "1-103"}, {"℃", "℃", "℃"});
    // Channel 1: 1, x, 3 → mean 2; channel 2: 4 4 4; channel 3: never a number
    // (and missing from the short last row: the count is the project's three).
    const QList<Tool::Struct_ParametersData> rows{row("10:00:00", {"1", "4", "nan"}), row("10:00:10", {"x", "4", ""}),
                                                  row("10:00:20", {"3", "4"})};
    const ReportData d = ReportData::build(2, {true, true, true, false, false}, p, rows, {at("10:00:00")},
                                           {at("10:00:20")}, {"r"});
    QCOMPARE(d.rows.at(2).values.size(), 3);
    QVERIFY(std::isnan(d.rows.at(1).values.at(0)));
    QVERIFY(std::isnan(d.rows.at(2).values.at(2)));
    QCOMPARE(d.number(d.rows.at(1).values.at(0)), QString());
    const ReportStats::Vertical v = ReportStats::vertical(d, 0, 2, true);
    QCOMPARE(v.channels.at(0).minimum, 1.0);
    QCOMPARE(v.channels.at(0).average, 2.0);
    QCOMPARE(v.channels.at(0).deviation, 1.0);
    QCOMPARE(ReportStats::verticalRow(d, "1-103", v.channels.at(2)),
             QStringList({"1-103", "", "", "", "", "", "", ""}));
    // The summary is over the channels with numbers: (2 + 4) / 2.
    QCOMPARE(v.overall, 3.0);
    QCOMPARE(v.minMinimumAt, 0);
    QCOMPARE(ReportStats::verticalSummary(d, v, true).at(1).at(1), QStringLiteral("1-102/4.00"));
    // Across a row: the numbers only.
    QCOMPARE(ReportStats::horizontalRow(d, d.rows.at(1), true),
             QStringList({d.rows.at(1).time, "4.00", "1-102", "4.00", "1-102", "4.00", "0.00", "0.00", "0.00",
                          "0.00"}));
    // A row without any number: empty statistics, no channel named.
    const ReportData none = ReportData::build(2, {true, true, false, false, false}, project({"1-101", "1-102"},
                                              {"℃", "℃"}), {row("10:00:00", {"x", "y"})}, {at("10:00:00")},
                                              {at("10:00:00")}, {"r"});
    QCOMPARE(ReportStats::horizontalRow(none, none.rows.at(0), true).mid(1),
             QStringList({"", "", "", "", "", "", "", "", ""}));
    const ReportStats::Vertical empty = ReportStats::vertical(none, 0, 0, true);
    QCOMPARE(ReportStats::verticalSummary(none, empty, true).at(0).at(1), QString());
    QCOMPARE(ReportStats::verticalSummary(none, empty, true).at(4).at(1), QString());
}

QTEST_GUILESS_MAIN(TestReportStats)
#include "tst_reportstats.moc"

void TestReportStats::segmentCopyPrintsTheSameRows_data()
{
    QTest::addColumn<QString>("print");
    QTest::addColumn<QStringList>("segments"); // "start-end" as seconds from the first row
    QTest::newRow("an hour, every row") << "1" << QStringList{"36000-39600"};
    QTest::newRow("an hour, every minute") << "60" << QStringList{"36030-39600"};
    QTest::newRow("two hours days apart") << "1" << QStringList{"3600-7200", "180000-183600"};
    QTest::newRow("overlapping, out of order") << "10" << QStringList{"7200-9000", "3600-8000", "8500-8600"};
    QTest::newRow("past the last row") << "1" << QStringList{"100-200", "300000-400000"};
    QTest::newRow("end before start") << "1" << QStringList{"5000-4000"};
}

// The report thread copies only the rows the segments print; the writers
// find on that copy the same rows, times and values as on the whole project.
void TestReportStats::segmentCopyPrintsTheSameRows()
{
    QFETCH(QString, print);
    QFETCH(QStringList, segments);
    const int n = 2 * 86400 + 7; // two days and a bit at 1 s
    const qint64 t0 = at("00:00:00").toMSecsSinceEpoch();
    QVector<qint64> times(n);
    QVector<QVector<double>> columns(3, QVector<double>(n));
    for (int r = 0; r < n; ++r) {
        times[r] = t0 + 1000LL * r;
        for (int c = 0; c < 3; ++c)
            columns[c][r] = c == 1 && r % 7 == 0 ? std::nan("") : r + c / 10.0;
    }
    QList<QDateTime> starts, ends;
    for (const QString& s : segments) {
        starts << at("00:00:00").addSecs(s.section('-', 0, 0).toInt());
        ends << at("00:00:00").addSecs(s.section('-', 1, 1).toInt());
    }
    const auto p = project({"1-101", "1-102", "1-103"}, {"℃", "℃", "mV"}, "1");
    Tool::Struct_Parameters copy;
    QVector<qint64> allTimes, segTimes;
    QVector<QVector<double>> allColumns, segColumns;
    ReportData::prepare(p, times, columns, {true, false, true}, print, &copy, &allTimes, &allColumns);
    ReportData::prepare(p, times, columns, {true, false, true}, print, &copy, &segTimes, &segColumns, starts, ends);
    QStringList remarks;
    for (int s = 0; s < segments.size(); ++s)
        remarks << QStringLiteral("r%1").arg(s);
    const ReportData all = ReportData::buildCompact(2, {true, true, false, false, false}, copy, allTimes, allColumns,
                                                    starts, ends, remarks);
    const ReportData seg = ReportData::buildCompact(2, {true, true, false, false, false}, copy, segTimes, segColumns,
                                                    starts, ends, remarks);
    QCOMPARE(seg.segmentCount(), all.segmentCount());
    int printed = 0;
    for (int s = 0; s < all.segmentCount(); ++s) {
        QCOMPARE(seg.segmentRows(s), all.segmentRows(s));
        for (int i = 0; i < all.segmentRows(s); ++i) {
            const int a = all.segmentStartRows.at(s) + i, b = seg.segmentStartRows.at(s) + i;
            QCOMPARE(seg.times.at(b), all.times.at(a));
            QCOMPARE(seg.columns.at(1).at(b), all.columns.at(1).at(a));
        }
        printed += std::max(0, all.segmentRows(s));
    }
    // Nothing beyond the printed rows (overlaps counted once, an end before its start adds one row).
    QVERIFY2(segTimes.size() <= printed + segments.size(), qPrintable(QString::number(segTimes.size())));
    QVERIFY(segTimes.size() < allTimes.size() / 10);
}
