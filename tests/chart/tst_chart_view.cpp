#include "ChartTaggingLine.h"
#include "ChartView.h"
#include "nLineSeries.h"

#include <QGraphicsLineItem>
#include <QLabel>
#include <QtCharts/QChart>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QValueAxis>
#include <QtTest>

#include <cmath>

using namespace QtCharts;

namespace {

QDateTime at(const QString& hms)
{
    return QDateTime::fromString(QStringLiteral("2026-03-02 ") + hms,
                                 QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

// Two left-axis (℃) and two right-axis (Ω) lines, shown.
struct Fixture
{
    ChartView view;
    Fixture()
    {
        view.setSeries({"1-CH101", "1-CH102", "1-CH103", "1-CH104"}, QStringLiteral("℃"),
                       QStringLiteral("Ω"), {true, true, false, false});
        view.resize(900, 500);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
    }
};

} // namespace

class TestChartView : public QObject
{
    Q_OBJECT
private slots:
    void construction();
    void liveSetUp();
    void rangesFollowTheRun();
    void rangesIgnoreNonFiniteValues();
    void shortScanKeepsLinesAligned();
    void hoverSummaryPerAxisGroup();
    void reportSetUpAndHover();
    void showAndHide();
    void resetAfterZoomAndPan();
    void longRunIsThinnedAndZoomRestoresDetail();
    void taggingLines();
    void taggingLineFollowsTimeAxis();
    void screenshot();
};

void TestChartView::construction()
{
    ChartView view;
    QCOMPARE(view.chart()->title(), QStringLiteral("数据采集"));
    QCOMPARE(view.decimals(), 2);
    QCOMPARE(view.seriesCount(), 0);
    QCOMPARE(view.leftLow(), 20.0);
    QCOMPARE(view.rightHigh(), 100.0);
    QCOMPARE(view.timeStart().secsTo(view.timeEnd()), 20);
    QColor colour(1, 2, 3);
    view.seriesColor(0, colour);
    QCOMPARE(colour, QColor(1, 2, 3));
    // Nothing set up yet: a scan and a hover must not fail.
    view.addPoints(at("10:00:00"), {1, 2});
    view.tooltip(0, QPointF(0, 0), true);
    QVERIFY(view.hoverLabel()->isHidden());
}

void TestChartView::liveSetUp()
{
    Fixture f;
    ChartView& v = f.view;
    QCOMPARE(v.seriesCount(), 4);
    QCOMPARE(v.axisFlags(), QList<bool>({true, true, false, false}));
    QCOMPARE(v.timeAxis()->format(), QStringLiteral("MM-dd HH:mm:ss"));
    QCOMPARE(v.timeAxis()->titleText(), QStringLiteral("采集时间"));
    QCOMPARE(v.leftAxis()->titleText(), QStringLiteral("单位 (℃)"));
    QCOMPARE(v.rightAxis()->titleText(), QStringLiteral("单位 (Ω)"));
    QVERIFY(v.chart()->axes(Qt::Vertical).contains(v.rightAxis()));
    QCOMPARE(v.series(2)->attachedAxes(), QList<QAbstractAxis*>({v.timeAxis(), v.rightAxis()}));
    QCOMPARE(v.series(1)->name(), QStringLiteral("1-CH102"));
    QCOMPARE(v.series(0)->pen().width(), 2);
    QSet<QRgb> colours;
    for (int i = 0; i < 4; ++i) {
        QColor c;
        v.seriesColor(i, c);
        QVERIFY(c.isValid());
        QCOMPARE(v.series(i)->pen().color(), c);
        colours.insert(c.rgb());
    }
    QCOMPARE(colours.size(), 4);

    // One unit: no right axis; a set-up caps the lines at 300.
    QStringList many;
    for (int i = 0; i < 301; ++i)
        many << QString::number(i);
    v.setSeries(many, QStringLiteral("V"), QString(), QList<bool>());
    QCOMPARE(v.seriesCount(), ChartView::MaxSeries);
    QVERIFY(!v.chart()->axes(Qt::Vertical).contains(v.rightAxis()));
    QVERIFY(v.scanTimes().isEmpty());
}

void TestChartView::rangesFollowTheRun()
{
    Fixture f;
    ChartView& v = f.view;
    // The live tab appends the first scan, then sets the ranges from it.
    v.addPoints(at("10:00:00"), {20, 30, 5, 6});
    v.initRanges(at("10:00:00"), {20, 30, 5, 6});
    QCOMPARE(v.timeAxis()->min(), at("10:00:00"));
    QCOMPARE(v.timeAxis()->max(), at("10:00:10"));
    QCOMPARE(v.leftAxis()->min(), 19.0);
    QCOMPARE(v.leftAxis()->max(), 31.0);
    QCOMPARE(v.rightAxis()->min(), 4.0);
    QCOMPARE(v.rightAxis()->max(), 7.0);

    v.addPoints(at("10:00:05"), {35, 25, 5.5, 5.5});
    QCOMPARE(v.leftAxis()->min(), 19.0);
    QCOMPARE(v.leftAxis()->max(), 36.0);
    QCOMPARE(v.rightAxis()->min(), 4.0);  // inside the range: unchanged
    QCOMPARE(v.rightAxis()->max(), 7.0);
    QCOMPARE(v.timeAxis()->max(), at("10:00:10"));

    v.addPoints(at("10:00:20"), {21, 22, 2, 6});
    QCOMPARE(v.timeAxis()->min(), at("10:00:00"));
    QCOMPARE(v.timeAxis()->max(), at("10:00:20"));
    QCOMPARE(v.rightAxis()->min(), 1.0);
    QCOMPARE(v.rightAxis()->max(), 7.0);  // only widens
    QCOMPARE(v.leftAxis()->min(), 19.0);
    QCOMPARE(v.scanTimes().size(), 3);
    QCOMPARE(v.buffer(0).size(), 3);
    QCOMPARE(v.buffer(0).at(1), 35.0);

    // No value on an axis: −1 … 1.
    ChartView single;
    single.setSeries({"a"}, QStringLiteral("℃"), QString(), {true});
    single.initRanges(at("10:00:00"), {50});
    QCOMPARE(single.leftLow(), 49.0);
    QCOMPARE(single.rightLow(), -1.0);
    QCOMPARE(single.rightHigh(), 1.0);
}

void TestChartView::rangesIgnoreNonFiniteValues()
{
    Fixture f;
    ChartView& v = f.view;
    const double nan = std::nan("");
    v.initRanges(at("10:00:00"), {20, nan, 5, 6});
    QCOMPARE(v.leftAxis()->min(), 19.0);
    QCOMPARE(v.leftAxis()->max(), 21.0);
    v.addPoints(at("10:00:01"), {INFINITY, -INFINITY, nan, 6});
    QVERIFY(std::isfinite(v.leftAxis()->min()) && std::isfinite(v.leftAxis()->max()));
    QCOMPARE(v.leftAxis()->max(), 21.0);
    QCOMPARE(v.series(0)->count(), 0);  // nothing drawable yet
}

void TestChartView::shortScanKeepsLinesAligned()
{
    Fixture f;
    ChartView& v = f.view;
    v.initRanges(at("10:00:00"), {1, 2, 3, 4});
    v.addPoints(at("10:00:00"), {1, 2, 3, 4});
    v.addPoints(at("10:00:01"), {5, 6});  // a device dropped out
    v.addPoints(at("10:00:02"), {7, 8, 9, 10, 11});
    for (int i = 0; i < 4; ++i)
        QCOMPARE(v.buffer(i).size(), 3);
    QCOMPARE(v.buffer(3).at(2), 10.0);
    QVERIFY(std::isnan(v.buffer(2).at(1)));
    QCOMPARE(v.series(2)->count(), 2);  // the gap is not drawn
}

void TestChartView::hoverSummaryPerAxisGroup()
{
    Fixture f;
    ChartView& v = f.view;
    v.addPoints(at("10:00:00"), {20, 30, 5, 6});
    v.addPoints(at("10:00:01"), {21, 31, 7.125, 4});
    v.addPoints(at("10:00:02"), {22, 32, 8, 9});
    const double t1 = at("10:00:01").toMSecsSinceEpoch();

    // A right-axis line: only the right-axis lines, at the first scan at or after the cursor.
    v.tooltip(3, QPointF(t1 - 400, 5), true);
    QVERIFY(!v.hoverLabel()->isHidden());
    const QString time = at("10:00:00").addMSecs(600).toString(QStringLiteral("MM-dd hh:mm:ss.zzz"));
    QCOMPARE(v.hoverLabel()->text(), QStringLiteral("Min：4.00 1-CH104\nMax：7.13 1-CH103\n"
                                                    "Avg：5.56\nTime：")
                                         + time);
    // A hidden line drops out of the summary.
    v.hideSeries(2);
    QCOMPARE(v.liveHoverText(3, QPointF(t1, 5)).section('\n', 0, 2),
             QStringLiteral("Min：4.00 1-CH104\nMax：4.00 1-CH104\nAvg：4.00"));
    // Left group, ties keep the earlier line.
    v.addPoints(at("10:00:03"), {25, 25, 1, 1});
    QCOMPARE(v.liveHoverText(1, QPointF(at("10:00:03").toMSecsSinceEpoch(), 25)).section('\n', 0, 2),
             QStringLiteral("Min：25.00 1-CH101\nMax：25.00 1-CH101\nAvg：25.00"));
    // Past the last scan the last scan is summarised, not the first.
    QVERIFY(v.liveHoverText(0, QPointF(at("10:00:09").toMSecsSinceEpoch(), 25))
                .startsWith(QStringLiteral("Min：25.00")));
    v.tooltip(3, QPointF(t1, 5), false);
    QVERIFY(v.hoverLabel()->isHidden());
    // The label stays inside the view.
    QVERIFY(v.rect().contains(v.hoverLabel()->geometry()) || v.hoverLabel()->isHidden());
}

void TestChartView::reportSetUpAndHover()
{
    ChartView v;
    v.initReportView();
    QCOMPARE(v.timeAxis()->tickCount(), 24);
    QCOMPARE(v.timeAxis()->labelsAngle(), 90);
    QCOMPARE(v.leftAxis()->tickCount(), 10);
    QCOMPARE(v.rubberBand(), QChartView::RectangleRubberBand);
    v.setReportSeries(3, QStringLiteral("项目A"), {"a", "b", "c"}, QStringLiteral("℃"), QString(),
                      {true, true, true});
    QCOMPARE(v.chart()->title(), QStringLiteral("项目A"));
    QCOMPARE(v.decimals(), 3);
    QVERIFY(!v.chart()->axes(Qt::Vertical).contains(v.rightAxis()));
    v.setStatistics({{1, 2, 1.5, 3}, {-1, 4.25, 0.5, 10}});
    const QDateTime t = at("12:00:00");
    QCOMPARE(v.reportHoverText(1, QPointF(t.toMSecsSinceEpoch(), 0)),
             QStringLiteral("Min：-1.000\nMax：4.250\nAvg：0.500\nTime：") + t.toString("MM-dd hh:mm:ss.zzz"));
    QVERIFY(v.reportHoverText(2, QPointF()).isEmpty());  // no statistics for it

    // Stored points: tens of thousands per line, thinned on screen, all kept,
    // and drawn before the event loop runs (the report takes a picture).
    v.resize(800, 400);
    v.show();
    QVERIFY(QTest::qWaitForWindowExposed(&v));
    QList<QPointF> points;
    for (int i = 0; i < 30000; ++i)
        points.append(QPointF(t.addSecs(i).toMSecsSinceEpoch(), std::sin(i / 100.0)));
    v.setPoints(0, points);
    v.setTimeRange(t, t.addSecs(29999));
    v.setValueRanges(-2, 2, 0, 1);
    QCOMPARE(v.buffer(0).size(), 30000);
    QVERIFY(v.series(0)->count() > 100);
    QVERIFY(v.series(0)->count() <= 2 * v.drawBuckets());

    // Viewing another project replaces every line.
    v.clearSeries();
    QCOMPARE(v.seriesCount(), 0);
    QVERIFY(v.chart()->series().isEmpty());
}

void TestChartView::showAndHide()
{
    Fixture f;
    ChartView& v = f.view;
    v.initRanges(at("10:00:00"), {1, 2, 3, 4});
    v.addPoints(at("10:00:00"), {1, 2, 3, 4});
    v.hideSeries(2);
    QVERIFY(!v.isSeriesVisible(2));
    QVERIFY(!v.chart()->series().contains(v.series(2)));
    v.addPoints(at("10:00:01"), {1, 2, 3, 4});  // hidden lines keep collecting
    QCOMPARE(v.buffer(2).size(), 2);
    v.showSeries(2);
    v.showSeries(2);  // twice is harmless
    QVERIFY(v.isSeriesVisible(2));
    QCOMPARE(v.chart()->series().count(v.series(2)), 1);
    QCOMPARE(v.series(2)->attachedAxes(), QList<QAbstractAxis*>({v.timeAxis(), v.rightAxis()}));
    QCOMPARE(v.series(2)->count(), 2);
    v.hideSeries(99);
    v.showSeries(-1);
    QCOMPARE(v.seriesCount(), 4);
}

void TestChartView::resetAfterZoomAndPan()
{
    Fixture f;
    ChartView& v = f.view;
    for (int i = 0; i <= 60; ++i)
        v.addPoints(at("10:00:00").addSecs(i), {20.0 + i % 7, 25, 5, 6});
    v.setTimeRange(at("10:00:00"), at("10:01:00"));
    v.setValueRanges(10, 40, 0, 10);
    const QPoint centre = v.chart()->plotArea().center().toPoint();

    // Wheel forward zooms in about the cursor.
    QWheelEvent wheel(QPointF(centre), v.mapToGlobal(centre), QPoint(), QPoint(0, 240),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(v.viewport(), &wheel);
    const qint64 span = v.timeAxis()->min().msecsTo(v.timeAxis()->max());
    QVERIFY(span < 60000 && span > 30000);
    QVERIFY(v.leftAxis()->max() - v.leftAxis()->min() < 30);

    // Right-button release resets.
    QTest::mouseRelease(v.viewport(), Qt::RightButton, Qt::NoModifier, centre);
    QCOMPARE(v.timeAxis()->min(), at("10:00:00"));
    QCOMPARE(v.timeAxis()->max(), at("10:01:00"));
    QCOMPARE(v.leftAxis()->min(), 10.0);
    QCOMPARE(v.rightAxis()->max(), 10.0);

    // Middle-button drag pans; a double click resets.
    QTest::mousePress(v.viewport(), Qt::MiddleButton, Qt::NoModifier, centre);
    QCOMPARE(v.viewport()->cursor().shape(), Qt::OpenHandCursor);
    QMouseEvent move(QEvent::MouseMove, QPointF(centre + QPoint(100, 0)), Qt::NoButton,
                     Qt::MiddleButton, Qt::NoModifier);
    QApplication::sendEvent(v.viewport(), &move);
    QTest::mouseRelease(v.viewport(), Qt::MiddleButton, Qt::NoModifier, centre + QPoint(100, 0));
    QVERIFY(v.timeAxis()->min() < at("10:00:00"));
    QCOMPARE(v.timeAxis()->min().msecsTo(v.timeAxis()->max()), 60000);
    QTest::mouseDClick(v.viewport(), Qt::LeftButton, Qt::NoModifier, centre);
    QCOMPARE(v.timeAxis()->min(), at("10:00:00"));
    QCOMPARE(v.timeAxis()->max(), at("10:01:00"));
}

void TestChartView::longRunIsThinnedAndZoomRestoresDetail()
{
    Fixture f;
    ChartView& v = f.view;
    const qint64 t0 = at("00:00:00").toMSecsSinceEpoch();
    QVector<qint64> times;
    QVector<QVector<double>> scans;
    for (int i = 0; i < 20000; ++i) {
        times.append(t0 + qint64(i) * 1000);
        scans.append({20.0 + (i == 12345 ? 50 : std::sin(i / 30.0)), 25, 5, 6});
    }
    v.initRanges(QDateTime::fromMSecsSinceEpoch(t0), scans.first().toList());
    v.appendScans(times, scans);
    QCOMPARE(v.timeAxis()->max(), QDateTime::fromMSecsSinceEpoch(times.last()));
    QVERIFY(v.series(0)->count() <= 2 * v.drawBuckets());
    QVERIFY(v.series(0)->pointsVector().contains(QPointF(times[12345], 70)));
    QCOMPARE(v.leftAxis()->max(), 71.0);

    // Zoomed to two minutes, every scan is drawn.
    v.timeAxis()->setRange(QDateTime::fromMSecsSinceEpoch(times[5000]),
                           QDateTime::fromMSecsSinceEpoch(times[5119]));
    QTRY_COMPARE(v.series(0)->count(), 122);
    // The next scan keeps every line in step and takes the time axis to its time.
    v.appendScan(QDateTime::fromMSecsSinceEpoch(t0 + 20000 * 1000LL), {1, 2, 3, 4});
    QCOMPARE(v.timeAxis()->max(), QDateTime::fromMSecsSinceEpoch(t0 + 20000 * 1000LL));
    QVERIFY(v.series(0)->count() <= 2 * v.drawBuckets());
    QCOMPARE(v.buffer(3).size(), 20001);
}

void TestChartView::taggingLines()
{
    Fixture f;
    ChartView& v = f.view;
    v.setTimeRange(at("10:00:00"), at("11:00:00"));
    QVERIFY(!v.addTaggingLine(at("10:10:00"), QString()));  // nothing to show, no place taken
    for (int i = 0; i < ChartView::MaxTaggingLines; ++i)
        QVERIFY(v.addTaggingLine(at("10:10:00").addSecs(i * 300), QString(i + 1, QChar(0x6E29))));
    QVERIFY(!v.addTaggingLine(at("10:50:00"), QStringLiteral("第七")));
    QCOMPARE(v.taggingLines().size(), 6);

    ChartTaggingLine* four = v.taggingLines().at(3);
    QCOMPARE(four->label()->height(), 56);
    QCOMPARE(four->label()->width(), 15);
    QCOMPARE(four->label()->text(), QStringLiteral("温\n温\n温\n温"));
    QVERIFY(!four->label()->isHidden());
    QVERIFY(four->line()->isVisible());
    QVERIFY(ChartTaggingLine::palette().contains(four->colour()));
    QCOMPARE(ChartTaggingLine::palette().size(), 10);

    // The line spans the plot area at its time; the label sits just left of its top.
    const QRectF plot = v.chart()->plotArea();
    const QLineF line = four->line()->line();
    QCOMPARE(line.p1().y(), plot.bottom());
    QCOMPARE(line.p2().y(), plot.top());
    const double expectedX = plot.left() + plot.width() * (25.0 / 60.0);
    QVERIFY(std::abs(line.p1().x() - expectedX) < 0.5);
    const QPoint top = v.mapFromScene(v.chart()->mapToScene(line.p2()));
    QCOMPARE(four->label()->geometry().topLeft(), QPoint(top.x() - 20, top.y()));

    // Outside the time axis: hidden until the range includes it again.
    v.setTimeRange(at("10:30:00"), at("11:00:00"));
    QVERIFY(four->label()->isHidden());
    QVERIFY(!four->line()->isVisible());
    v.setTimeRange(at("10:00:00"), at("11:00:00"));
    QVERIFY(!four->label()->isHidden());

    v.clearTaggingLines();
    QVERIFY(v.taggingLines().isEmpty());
    QVERIFY(v.addTaggingLine(at("10:10:00"), QStringLiteral("开始")));
}

void TestChartView::taggingLineFollowsTimeAxis()
{
    Fixture f;
    ChartView& v = f.view;
    v.setTimeRange(at("10:00:00"), at("10:10:00"));
    QVERIFY(v.addTaggingLine(at("10:05:00"), QStringLiteral("加热")));
    const double before = v.taggingLines().first()->line()->line().p1().x();
    // A pan moves only the time axis; the line must move with its time.
    v.timeAxis()->setRange(at("10:02:00"), at("10:12:00"));
    const double after = v.taggingLines().first()->line()->line().p1().x();
    QVERIFY(after < before - 10);
}

// Writes the chart as a user sees it (3 lines, 2 tag lines) when
// ARQ_CHART_SCREENSHOT names a PNG file.
void TestChartView::screenshot()
{
    const QString path = qEnvironmentVariable("ARQ_CHART_SCREENSHOT");
    if (path.isEmpty())
        QSKIP("set ARQ_CHART_SCREENSHOT=file.png to write a picture");
    for (bool report : {false, true}) {
        ChartView v;
        if (report) {
            v.initReportView();
            v.setReportSeries(2, QStringLiteral("炉温验证-01"), {"1-CH101", "1-CH102", "2-CH201"},
                              QStringLiteral("℃"), QStringLiteral("Ω"), {true, true, false});
        } else {
            v.setSeries({"1-CH101", "1-CH102", "2-CH201"}, QStringLiteral("℃"),
                        QStringLiteral("Ω"), {true, true, false});
        }
        v.resize(1000, 560);
        v.show();
        QVERIFY(QTest::qWaitForWindowExposed(&v));
        const QDateTime t0 = at("10:00:00");
        for (int i = 0; i <= 3600; i += 5) {
            const QList<double> values{120 + 30 * std::sin(i / 600.0), 118 + 28 * std::sin(i / 650.0),
                                       145 + 10 * std::cos(i / 900.0)};
            v.addPoints(t0.addSecs(i), values);
            if (i == 0)
                v.initRanges(t0, values);
        }
        if (report) {
            v.setTimeRange(t0, t0.addSecs(3600));
            v.setValueRanges(80, 160, 130, 160);
        }
        v.addTaggingLine(t0.addSecs(900), QStringLiteral("升温"));
        v.addTaggingLine(t0.addSecs(2400), QStringLiteral("保温开始"));
        QApplication::processEvents();
        const QPoint p = v.chart()->mapToPosition(v.series(0)->at(300)).toPoint();
        QCursor::setPos(v.mapToGlobal(p));
        if (report)
            v.tooltip1(0, v.series(0)->at(300), true);
        else
            v.tooltip(0, v.series(0)->at(300), true);
        QString file = path;
        if (report)
            file.replace(QStringLiteral(".png"), QStringLiteral("_report.png"));
        QVERIFY(v.grab().save(file));
    }
}

QTEST_MAIN(TestChartView)
#include "tst_chart_view.moc"
