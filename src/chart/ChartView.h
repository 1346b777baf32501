#pragma once

#include "SeriesBuffer.h"

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QPoint>
#include <QTimer>
#include <QVector>
#include <QtCharts/QChartView>

class QLabel;
class nLineSeries;
class ChartTaggingLine;

namespace QtCharts {
class QDateTimeAxis;
class QValueAxis;
}

// Per-line figures of a stored project, shown by the report hover label.
struct ChartStatistics
{
    double minimum = 0;
    double maximum = 0;
    double average = 0;
    double sum = 0;
};

// The trend chart: a time axis, a left and an optional right value axis, one
// line per channel, a hover label, wheel zoom, middle-button pan, reset and up
// to six tag lines.
//
// Every point stays in the view's own buffers for the whole run; the lines
// on screen only get a min/max thinned copy of the visible window (about two
// points per pixel column), so a scan costs the same after a day as after a
// minute.
class ChartView : public QtCharts::QChartView
{
    Q_OBJECT
public:
    static constexpr int MaxSeries = 300;
    static constexpr int MaxTaggingLines = 6;

    explicit ChartView(QWidget* parent = nullptr);
    ~ChartView() override;

    // Set-ups
    void initReportView();
    void setSeries(const QStringList& labels, const QString& unit1, const QString& unit2,
                   const QList<bool>& axisFlags);
    void setReportSeries(int decimals, const QString& title, const QStringList& labels,
                         const QString& unit1, const QString& unit2, const QList<bool>& axisFlags);
    void clearSeries();

    // Lines
    int seriesCount() const { return m_lines.size(); }
    void seriesColor(int index, QColor& colour) const;
    void showSeries(int index);
    void hideSeries(int index);
    bool isSeriesVisible(int index) const;
    nLineSeries* series(int index) const;
    QList<bool> axisFlags() const;

    // Live data: one call per scan with one value per line, in line order.
    void initRanges(const QDateTime& time, const QList<double>& values);
    void addPoints(const QDateTime& time, const QList<double>& values);
    void appendScan(const QDateTime& time, const QVector<double>& values);
    // Many scans at once (catching up, or loading a run), drawn once at the end.
    void appendScans(const QVector<qint64>& times, const QVector<QVector<double>>& scans);

    // Stored data: x = milliseconds since the epoch.
    void setPoints(int index, const QList<QPointF>& points);
    void setSeriesData(int index, const QVector<qint64>& times, const QVector<double>& values);

    // Ranges
    void setTimeRange(const QDateTime& start, const QDateTime& end);
    void setValueRanges(double low1, double high1, double low2, double high2);
    void resetView();
    QDateTime timeStart() const { return m_timeStart; }
    QDateTime timeEnd() const { return m_timeEnd; }
    double leftLow() const { return m_low1; }
    double leftHigh() const { return m_high1; }
    double rightLow() const { return m_low2; }
    double rightHigh() const { return m_high2; }

    void setStatistics(const QList<ChartStatistics>& statistics);
    int decimals() const { return m_decimals; }

    // Tag lines
    bool addTaggingLine(const QDateTime& time, const QString& remark);
    void clearTaggingLines();
    const QList<ChartTaggingLine*>& taggingLines() const { return m_taggingLines; }

    // Hover label texts, also used by the slots below.
    QString liveHoverText(int id, QPointF point) const;
    QString reportHoverText(int id, QPointF point) const;
    QLabel* hoverLabel() const { return m_hoverLabel; }

    QtCharts::QDateTimeAxis* timeAxis() const { return m_axisX; }
    QtCharts::QValueAxis* leftAxis() const { return m_axisY1; }
    QtCharts::QValueAxis* rightAxis() const { return m_axisY2; }
    const QVector<qint64>& scanTimes() const { return m_scanTimes; }
    const SeriesBuffer& buffer(int index) const { return m_lines.at(index).buffer; }
    // Live lines read their values from `values` (line i, scan j) instead of
    // keeping a copy; it must hold every scan before the scan reaches the
    // chart and outlive the lines. nullptr: the lines keep their own.
    void shareValues(const SeriesValues* values);

    // Redraws every visible line for the current time window; runs by itself
    // after a scan, a zoom, a pan or a resize.
    void refreshLines();
    // Min/max buckets the lines are thinned to.
    int drawBuckets() const;
    static int bucketsFor(qreal plotWidth);

public slots:
    void tooltip(int id, QPointF point, bool state);
    void tooltip1(int id, QPointF point, bool state);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    struct Line
    {
        nLineSeries* series = nullptr;
        SeriesBuffer buffer;
        QVector<qint64> times;     // own x values when not sharing the scan times
        bool sharedTimes = true;
        QColor colour;
        bool visible = true;
        bool left = true;
        bool stale = true;         // points changed since last drawn
        bool thinPen = false;      // drawn thinned, with a one-pixel pen
    };

    void storeScan(qint64 x, const QVector<double>& values);
    const SeriesValues* m_sharedValues = nullptr;
    void applyPendingRanges();
    void createHoverLabel();
    void setUpAxes(const QString& unit1, const QString& unit2);
    void createLines(const QStringList& labels, const QList<bool>& axisFlags, bool report);
    void removeLines();
    void attach(Line& line);
    void redrawLine(Line& line);
    void scheduleRefresh();
    void showHoverLabel(const QString& text);
    const QVector<qint64>& timesOf(const Line& line) const;
    static QColor randomColour(int index, int hueStart);

    int m_decimals = 2;
    QList<Line> m_lines;
    QVector<qint64> m_scanTimes;
    bool m_scanTimesAscending = true;
    QList<ChartStatistics> m_statistics;
    QtCharts::QDateTimeAxis* m_axisX = nullptr;
    QtCharts::QValueAxis* m_axisY1 = nullptr;
    QtCharts::QValueAxis* m_axisY2 = nullptr;
    QDateTime m_timeStart;
    QDateTime m_timeEnd;
    qint64 m_timeEndMs = 0;
    double m_low1 = 20, m_high1 = 100, m_low2 = 20, m_high2 = 100;
    bool m_panning = false;
    QPoint m_lastPos;
    QLabel* m_hoverLabel = nullptr;
    QList<ChartTaggingLine*> m_taggingLines;
    enum { LeftPending = 1, RightPending = 2, TimePending = 4 };
    int m_rangesPending = 0;
    QTimer m_refreshTimer;
    int m_drawnBuckets = 0;
    QPair<double, double> m_drawnWindow{0, -1};
};
