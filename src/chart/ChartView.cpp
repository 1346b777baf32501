#include "ChartView.h"

#include "ChartTaggingLine.h"
#include "nLineSeries.h"

#include <QCursor>
#include <QDebug>
#include <QLabel>
#include <QMouseEvent>
#include <QRandomGenerator>
#include <QWheelEvent>
#include <QtCharts/QChart>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLegend>
#include <QtCharts/QValueAxis>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace QtCharts;

namespace {

const char* const TimeFormat = "MM-dd HH:mm:ss";
const int HoverWidth = 165;
const int HoverHeight = 75;

bool onChart(const QChart* chart, const QAbstractAxis* axis)
{
    return axis && chart->axes().contains(const_cast<QAbstractAxis*>(axis));
}

bool onChart(const QChart* chart, const QAbstractSeries* series)
{
    return series && chart->series().contains(const_cast<QAbstractSeries*>(series));
}

} // namespace

ChartView::ChartView(QWidget* parent)
    : QChartView(new QChart(), parent)
{
    chart()->setTitle(tr("数据采集"));
    m_timeStart = QDateTime::currentDateTime();
    m_timeEnd = m_timeStart.addSecs(20);
    m_timeEndMs = m_timeEnd.toMSecsSinceEpoch();

    m_axisX = new QDateTimeAxis(this);
    m_axisY1 = new QValueAxis(this);
    m_axisY2 = new QValueAxis(this);
    m_axisX->setRange(m_timeStart, m_timeEnd);
    m_axisY1->setRange(m_low1, m_high1);
    m_axisY2->setRange(m_low2, m_high2);

    m_refreshTimer.setSingleShot(true);
    m_refreshTimer.setInterval(0);
    connect(&m_refreshTimer, &QTimer::timeout, this, &ChartView::refreshLines);
    connect(m_axisX, &QDateTimeAxis::rangeChanged, this, &ChartView::scheduleRefresh);
    connect(chart(), &QChart::plotAreaChanged, this, [this](const QRectF& area) {
        if (bucketsFor(area.width()) != m_drawnBuckets)
            scheduleRefresh();
    });
    createHoverLabel();
}

ChartView::~ChartView()
{
    // Tag lines own graphics items of the chart; they go while it still exists.
    clearTaggingLines();
    removeLines();
    // An axis taken off the chart has no parent any more; take them all off
    // and delete them here.
    for (QAbstractAxis* axis : {static_cast<QAbstractAxis*>(m_axisX),
                                static_cast<QAbstractAxis*>(m_axisY1),
                                static_cast<QAbstractAxis*>(m_axisY2)}) {
        if (onChart(chart(), axis))
            chart()->removeAxis(axis);
        delete axis;
    }
}

void ChartView::createHoverLabel()
{
    delete m_hoverLabel;
    m_hoverLabel = new QLabel(this);
    m_hoverLabel->setFixedSize(HoverWidth, HoverHeight);
    m_hoverLabel->setMargin(5);
    m_hoverLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_hoverLabel->setStyleSheet(QStringLiteral(
        "QLabel{background-color:rgba(255,255,255,235); color:#202020;"
        " border:1px solid #9a9a9a; border-radius:3px; font-size:11px;}"));
    m_hoverLabel->hide();
}

void ChartView::setUpAxes(const QString& unit1, const QString& unit2)
{
    m_axisX->setFormat(QString::fromLatin1(TimeFormat));
    m_axisX->setRange(m_timeStart, m_timeEnd);
    m_axisX->setTickCount(5);
    m_axisX->setTitleText(tr("采集时间"));
    if (!onChart(chart(), m_axisX))
        chart()->addAxis(m_axisX, Qt::AlignBottom);

    m_low1 = m_low2 = 20;
    m_high1 = m_high2 = 100;
    const QString units[2] = {unit1, unit2};
    QValueAxis* axes[2] = {m_axisY1, m_axisY2};
    for (int i = 0; i < 2; ++i) {
        axes[i]->setRange(20, 100);
        axes[i]->setTitleText(tr("单位 (%1)").arg(units[i]));
        axes[i]->setLabelFormat(QStringLiteral("%.2f"));
        axes[i]->setTickCount(5);
    }
    if (!onChart(chart(), m_axisY1))
        chart()->addAxis(m_axisY1, Qt::AlignLeft);
    if (onChart(chart(), m_axisY2))
        chart()->removeAxis(m_axisY2);
    if (!unit2.isEmpty())
        chart()->addAxis(m_axisY2, Qt::AlignRight);
}

QColor ChartView::randomColour(int index, int start)
{
    // Hues a golden angle apart from a random start keep neighbouring lines
    // apart however many there are; saturation and lightness stay in a band
    // that reads well on white (no greys, no near-white or near-black lines).
    QRandomGenerator* random = QRandomGenerator::global();
    const int hue = int(std::fmod(start + index * 137.508, 360.0));
    const int saturation = 150 + random->bounded(106);
    const int lightness = 70 + random->bounded(80);
    return QColor::fromHsl(hue, saturation, lightness, 255);
}

void ChartView::removeLines()
{
    for (Line& line : m_lines) {
        if (onChart(chart(), line.series))
            chart()->removeSeries(line.series);
        delete line.series;
    }
    m_lines.clear();
}

void ChartView::createLines(const QStringList& labels, const QList<bool>& axisFlags, bool report)
{
    removeLines();
    m_scanTimes.clear();
    m_scanTimesAscending = true;
    const int count = std::min<int>(labels.size(), MaxSeries);
    const int hueStart = QRandomGenerator::global()->bounded(360);
    if (labels.size() > MaxSeries)
        qWarning().nospace() << "chart: " << labels.size() << " lines asked, " << int(MaxSeries) << " shown";
    for (int i = 0; i < count; ++i) {
        Line line;
        line.left = i < axisFlags.size() ? axisFlags.at(i) : true;
        line.colour = randomColour(i, hueStart);
        line.series = new nLineSeries(i);
        QPen pen(line.colour, 2, Qt::SolidLine);
        line.series->setPen(pen);
        line.series->setName(labels.at(i));
        if (!report)
            connect(line.series, &nLineSeries::hovered, this, &ChartView::tooltip);
        else if (line.left)
            connect(line.series, &nLineSeries::hovered, this, &ChartView::tooltip1);
        m_lines.append(line);
        if (!report && m_sharedValues)
            m_lines.last().buffer.share(m_sharedValues, i);
        attach(m_lines.last());
    }
}

void ChartView::shareValues(const SeriesValues* values)
{
    m_sharedValues = values;
    for (int i = 0; i < m_lines.size(); ++i) {
        if (values)
            m_lines[i].buffer.share(values, i);
        else
            m_lines[i].buffer.assign({});
        m_lines[i].stale = true;
    }
    m_scanTimes.clear();
    m_scanTimesAscending = true;
}

void ChartView::attach(Line& line)
{
    if (!onChart(chart(), line.series))
        chart()->addSeries(line.series);
    // A right-axis line of a one-unit chart has no right axis to go to.
    const bool left = line.left || !onChart(chart(), m_axisY2);
    const QList<QAbstractAxis*> attached = line.series->attachedAxes();
    for (QAbstractAxis* axis : {static_cast<QAbstractAxis*>(m_axisX),
                                static_cast<QAbstractAxis*>(left ? m_axisY1 : m_axisY2)})
        if (!attached.contains(axis))
            line.series->attachAxis(axis);
    line.stale = true;
}

void ChartView::setSeries(const QStringList& labels, const QString& unit1, const QString& unit2,
                          const QList<bool>& axisFlags)
{
    createHoverLabel();
    chart()->setMargins(QMargins(2, 2, 2, 2));
    chart()->legend()->hide();
    setUpAxes(unit1, unit2);
    createLines(labels, axisFlags, false);
}

void ChartView::initReportView()
{
    removeLines();
    m_scanTimes.clear();
    m_scanTimesAscending = true;
    setRubberBand(QChartView::RectangleRubberBand);
    chart()->legend()->setVisible(true);
    chart()->legend()->setAlignment(Qt::AlignRight);
    // The right axis joins when a project with a second unit is shown: one
    // added here and removed before the chart is first drawn stays painted.
    setUpAxes(QStringLiteral("1"), QString());
    m_axisX->setLabelsAngle(90);
    m_axisX->setTickCount(24);
    m_axisY1->setTickCount(10);
    m_axisY2->setTickCount(10);
}

void ChartView::setReportSeries(int decimals, const QString& title, const QStringList& labels,
                                const QString& unit1, const QString& unit2,
                                const QList<bool>& axisFlags)
{
    m_decimals = decimals;
    chart()->setTitle(title);
    chart()->setAcceptHoverEvents(true);
    setRenderHint(QPainter::Antialiasing);
    createHoverLabel();
    m_axisY1->setTitleText(tr("单位 (%1)").arg(unit1));
    m_axisY2->setTitleText(tr("单位 (%1)").arg(unit2));
    if (!onChart(chart(), m_axisX))
        chart()->addAxis(m_axisX, Qt::AlignBottom);
    if (!onChart(chart(), m_axisY1))
        chart()->addAxis(m_axisY1, Qt::AlignLeft);
    if (onChart(chart(), m_axisY2))
        chart()->removeAxis(m_axisY2);
    if (!unit2.isEmpty())
        chart()->addAxis(m_axisY2, Qt::AlignRight);
    createLines(labels, axisFlags, true);
}

void ChartView::clearSeries()
{
    m_hoverLabel->hide();
    removeLines();
    m_scanTimes.clear();
    m_scanTimesAscending = true;
}

void ChartView::seriesColor(int index, QColor& colour) const
{
    if (index >= 0 && index < m_lines.size())
        colour = m_lines.at(index).colour;
}

nLineSeries* ChartView::series(int index) const
{
    return index >= 0 && index < m_lines.size() ? m_lines.at(index).series : nullptr;
}

bool ChartView::isSeriesVisible(int index) const
{
    return index >= 0 && index < m_lines.size() && m_lines.at(index).visible;
}

QList<bool> ChartView::axisFlags() const
{
    QList<bool> flags;
    for (const Line& line : m_lines)
        flags.append(line.left);
    return flags;
}

void ChartView::showSeries(int index)
{
    if (index < 0 || index >= m_lines.size())
        return;
    Line& line = m_lines[index];
    line.visible = true;
    attach(line);
    redrawLine(line);
}

void ChartView::hideSeries(int index)
{
    if (index < 0 || index >= m_lines.size())
        return;
    Line& line = m_lines[index];
    line.visible = false;
    if (onChart(chart(), line.series))
        chart()->removeSeries(line.series);
    if (m_hoverLabel->isVisible())
        m_hoverLabel->hide();
}

void ChartView::initRanges(const QDateTime& time, const QList<double>& values)
{
    m_timeStart = time;
    m_timeEnd = time.addSecs(10);
    m_timeEndMs = m_timeEnd.toMSecsSinceEpoch();
    m_axisX->setRange(m_timeStart, m_timeEnd);

    const double inf = std::numeric_limits<double>::infinity();
    double low[2] = {inf, inf}, high[2] = {-inf, -inf};
    for (int i = 0; i < values.size() && i < m_lines.size(); ++i) {
        const double v = values.at(i);
        if (!std::isfinite(v))
            continue;
        const int g = m_lines.at(i).left ? 0 : 1;
        low[g] = std::min(low[g], v);
        high[g] = std::max(high[g], v);
    }
    for (int g = 0; g < 2; ++g) {
        if (low[g] > high[g]) {
            low[g] = 0;
            high[g] = 0;
        }
    }
    setValueRanges(low[0] - 1, high[0] + 1, low[1] - 1, high[1] + 1);
}

void ChartView::addPoints(const QDateTime& time, const QList<double>& values)
{
    appendScan(time, values.toVector());
}

void ChartView::appendScan(const QDateTime& time, const QVector<double>& values)
{
    storeScan(time.toMSecsSinceEpoch(), values);
    applyPendingRanges();
    refreshLines();
}

void ChartView::appendScans(const QVector<qint64>& times, const QVector<QVector<double>>& scans)
{
    const int n = std::min(times.size(), scans.size());
    m_scanTimes.reserve(m_scanTimes.size() + n);
    for (int i = 0; i < n; ++i)
        storeScan(times.at(i), scans.at(i));
    applyPendingRanges();
    refreshLines();
}

void ChartView::storeScan(qint64 x, const QVector<double>& values)
{
    if (!m_scanTimes.isEmpty() && x < m_scanTimes.constLast())
        m_scanTimesAscending = false;
    m_scanTimes.append(x);

    // Every line gets a value for every scan, so index i of the scan times is
    // index i of every line; a value the scan lacks is kept as a gap.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    double low[2] = {inf, inf}, high[2] = {-inf, -inf};
    for (int i = 0; i < m_lines.size(); ++i) {
        Line& line = m_lines[i];
        const double v = i < values.size() ? values.at(i) : nan;
        if (!line.sharedTimes)
            line.times.append(x);
        line.buffer.append(v);
        line.stale = true;
        if (std::isfinite(v)) {
            const int g = line.left ? 0 : 1;
            low[g] = std::min(low[g], v);
            high[g] = std::max(high[g], v);
        }
    }

    // Value ranges only widen, and only when a value leaves them.
    double* lows[2] = {&m_low1, &m_low2};
    double* highs[2] = {&m_high1, &m_high2};
    for (int g = 0; g < 2; ++g) {
        const bool lowChanged = low[g] < *lows[g];
        const bool highChanged = high[g] > *highs[g];
        if (lowChanged)
            *lows[g] = low[g] - 1;
        if (highChanged)
            *highs[g] = high[g] + 1;
        if (lowChanged || highChanged)
            m_rangesPending |= g == 0 ? LeftPending : RightPending;
    }
    // Kept in milliseconds here: a local QDateTime costs a time-zone lookup,
    // too much for every scan of a long batch.
    if (x - m_timeEndMs >= 1000) {
        m_timeEndMs = x;
        m_rangesPending |= TimePending;
    }
}

// Axis changes make the chart lay out every line again, so a batch of scans
// sets each changed axis once.
void ChartView::applyPendingRanges()
{
    if (m_rangesPending == 0)
        return;
    // An empty line skips that layout; it is about to be redrawn anyway, so
    // emptying it first halves the cost of a scan that moves an axis.
    for (Line& line : m_lines) {
        if (line.visible && line.series->count() > 0) {
            line.series->clear();
            line.stale = true;
        }
    }
    if (m_rangesPending & LeftPending)
        m_axisY1->setRange(m_low1, m_high1);
    if (m_rangesPending & RightPending)
        m_axisY2->setRange(m_low2, m_high2);
    if (m_rangesPending & TimePending) {
        m_timeEnd = QDateTime::fromMSecsSinceEpoch(m_timeEndMs);
        m_axisX->setMax(m_timeEnd);
    }
    m_rangesPending = 0;
}

void ChartView::setPoints(int index, const QList<QPointF>& points)
{
    QVector<qint64> times;
    QVector<double> values;
    times.reserve(points.size());
    values.reserve(points.size());
    for (const QPointF& p : points) {
        times.append(qint64(std::llround(p.x())));
        values.append(p.y());
    }
    setSeriesData(index, times, values);
}

void ChartView::setSeriesData(int index, const QVector<qint64>& times, const QVector<double>& values)
{
    if (index < 0 || index >= m_lines.size())
        return;
    Line& line = m_lines[index];
    const int n = std::min(times.size(), values.size());
    line.times = times.mid(0, n);
    line.sharedTimes = false;
    line.buffer.assign(values.mid(0, n));
    line.stale = true;
    // Drawn at once: a picture of the chart may be taken before the event loop runs.
    refreshLines();
}

const QVector<qint64>& ChartView::timesOf(const Line& line) const
{
    return line.sharedTimes ? m_scanTimes : line.times;
}

void ChartView::setTimeRange(const QDateTime& start, const QDateTime& end)
{
    m_timeStart = start;
    m_timeEnd = end;
    m_timeEndMs = end.toMSecsSinceEpoch();
    m_axisX->setRange(start, end);
    for (ChartTaggingLine* tag : qAsConst(m_taggingLines))
        tag->updatePosition();
    refreshLines();
}

void ChartView::setValueRanges(double low1, double high1, double low2, double high2)
{
    m_low1 = low1;
    m_high1 = high1;
    m_low2 = low2;
    m_high2 = high2;
    m_axisY1->setRange(low1, high1);
    m_axisY2->setRange(low2, high2);
}

void ChartView::resetView()
{
    m_axisX->setRange(m_timeStart, m_timeEnd);
    m_axisY1->setRange(m_low1, m_high1);
    m_axisY2->setRange(m_low2, m_high2);
    refreshLines();
}

void ChartView::setStatistics(const QList<ChartStatistics>& statistics)
{
    m_statistics = statistics;
}

bool ChartView::addTaggingLine(const QDateTime& time, const QString& remark)
{
    if (m_taggingLines.size() >= MaxTaggingLines)
        return false;
    auto* tag = new ChartTaggingLine(this);
    // A line without a remark shows nothing; it must not take one of the six places.
    if (!tag->setTagging(remark, time)) {
        delete tag;
        return false;
    }
    m_taggingLines.append(tag);
    return true;
}

void ChartView::clearTaggingLines()
{
    qDeleteAll(m_taggingLines);
    m_taggingLines.clear();
}

int ChartView::drawBuckets() const
{
    return bucketsFor(chart()->plotArea().width());
}

int ChartView::bucketsFor(qreal plotWidth)
{
    // One min/max pair per six pixel columns: one point per three columns,
    // early (full resolution) and late (thinned) alike, so the cost of a
    // 48-line scan stays flat over a week (Qt's painting cost grows with the
    // points drawn, and a thinned min/max zigzag costs more per point than a
    // smooth line: its segments span the values of a whole run).
    return std::max(int(plotWidth) / 6, 32);
}

void ChartView::scheduleRefresh()
{
    if (!m_refreshTimer.isActive())
        m_refreshTimer.start();
}

void ChartView::refreshLines()
{
    m_refreshTimer.stop();
    const int buckets = drawBuckets();
    const QPair<double, double> window(double(m_axisX->min().toMSecsSinceEpoch()),
                                       double(m_axisX->max().toMSecsSinceEpoch()));
    const bool moved = buckets != m_drawnBuckets || window != m_drawnWindow;
    m_drawnBuckets = buckets;
    m_drawnWindow = window;
    for (Line& line : m_lines)
        if (line.visible && (moved || line.stale))
            redrawLine(line);
}

void ChartView::redrawLine(Line& line)
{
    const QVector<qint64>& times = timesOf(line);
    double x0 = m_drawnWindow.first;
    double x1 = m_drawnWindow.second;
    // Out-of-order times (a clock set back during a run) cannot be searched;
    // thin the whole line then.
    if (line.sharedTimes ? !m_scanTimesAscending
                         : !std::is_sorted(times.constBegin(), times.constEnd())) {
        x0 = -std::numeric_limits<double>::max();
        x1 = std::numeric_limits<double>::max();
    }
    if (m_drawnBuckets == 0)
        m_drawnBuckets = drawBuckets();
    bool thinned = false;
    line.series->replace(line.buffer.window(times, x0, x1, m_drawnBuckets, &thinned));
    // A thinned line is a min/max zigzag in runs of three pixel columns; a
    // one-pixel pen draws it through the painter's fast path for thin lines,
    // where a two-pixel pen costs several times more per segment once the
    // zigzags span the plot (a week of noisy scans).
    if (thinned != line.thinPen) {
        line.thinPen = thinned;
        QPen pen = line.series->pen();
        pen.setWidth(thinned ? 1 : 2);
        line.series->setPen(pen);
    }
    line.stale = false;
}

QString ChartView::liveHoverText(int id, QPointF point) const
{
    if (id < 0 || id >= m_lines.size())
        return QString();
    const bool group = m_lines.at(id).left;
    const QVector<qint64>& times = timesOf(m_lines.at(id));
    if (times.isEmpty())
        return QString();
    const qint64 x = qint64(point.x());
    int index = -1;
    if (m_scanTimesAscending || !m_lines.at(id).sharedTimes) {
        const auto it = std::lower_bound(times.constBegin(), times.constEnd(), x);
        if (it != times.constEnd())
            index = int(it - times.constBegin());
    } else {
        for (int i = 0; i < times.size() && index < 0; ++i)
            if (times.at(i) >= x)
                index = i;
    }
    // Past the last scan the last scan is the nearest one.
    if (index < 0)
        index = times.size() - 1;

    int count = 0;
    double sum = 0;
    int lowest = -1, highest = -1;
    double low = 0, high = 0;
    for (int j = 0; j < m_lines.size(); ++j) {
        const Line& line = m_lines.at(j);
        if (line.left != group || !line.visible || index >= line.buffer.size())
            continue;
        const double v = line.buffer.at(index);
        if (!std::isfinite(v))
            continue;
        ++count;
        sum += v;
        if (lowest < 0 || v < low) {
            lowest = j;
            low = v;
        }
        if (highest < 0 || v > high) {
            highest = j;
            high = v;
        }
    }
    if (count == 0)
        return QString();
    const auto number = [this](double v) { return QString::number(v, 'f', m_decimals); };
    return QStringLiteral("Min：") + number(low) + QLatin1Char(' ') + m_lines.at(lowest).series->name()
         + QStringLiteral("\nMax：") + number(high) + QLatin1Char(' ')
         + m_lines.at(highest).series->name() + QStringLiteral("\nAvg：") + number(sum / count)
         + QStringLiteral("\nTime：")
         + QDateTime::fromMSecsSinceEpoch(x).toString(QStringLiteral("MM-dd hh:mm:ss.zzz"));
}

QString ChartView::reportHoverText(int id, QPointF point) const
{
    if (id < 0 || id >= m_statistics.size())
        return QString();
    const ChartStatistics& s = m_statistics.at(id);
    const auto number = [this](double v) { return QString::number(v, 'f', m_decimals); };
    return QStringLiteral("Min：") + number(s.minimum) + QStringLiteral("\nMax：")
         + number(s.maximum) + QStringLiteral("\nAvg：") + number(s.average)
         + QStringLiteral("\nTime：")
         + QDateTime::fromMSecsSinceEpoch(qint64(point.x()))
               .toString(QStringLiteral("MM-dd hh:mm:ss.zzz"));
}

void ChartView::showHoverLabel(const QString& text)
{
    if (text.isEmpty()) {
        m_hoverLabel->hide();
        return;
    }
    m_hoverLabel->setText(text);
    const QPoint cursor = mapFromGlobal(QCursor::pos());
    int x = cursor.x() - m_hoverLabel->width() / 2;
    int y = int(cursor.y() - 1.1 * m_hoverLabel->height());
    // Keep the whole label inside the view near its edges.
    x = std::max(0, std::min(x, width() - m_hoverLabel->width()));
    y = std::max(0, std::min(y, height() - m_hoverLabel->height()));
    m_hoverLabel->move(x, y);
    m_hoverLabel->show();
    m_hoverLabel->raise();
}

void ChartView::tooltip(int id, QPointF point, bool state)
{
    if (!state) {
        m_hoverLabel->hide();
        return;
    }
    showHoverLabel(liveHoverText(id, point));
}

void ChartView::tooltip1(int id, QPointF point, bool state)
{
    if (!state) {
        m_hoverLabel->hide();
        return;
    }
    showHoverLabel(reportHoverText(id, point));
}

void ChartView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton) {
        m_panning = true;
        m_lastPos = event->pos();
        setCursor(Qt::OpenHandCursor);
    }
    QChartView::mousePressEvent(event);
}

void ChartView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_panning) {
        const QPoint pos = event->pos();
        chart()->scroll(m_lastPos.x() - pos.x(), pos.y() - m_lastPos.y());
        m_lastPos = pos;
    }
    QChartView::mouseMoveEvent(event);
}

void ChartView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::MiddleButton) {
        m_panning = false;
        setCursor(Qt::ArrowCursor);
    } else if (event->button() == Qt::RightButton) {
        resetView();
        event->accept();
        return;
    }
    QChartView::mouseReleaseEvent(event);
}

void ChartView::mouseDoubleClickEvent(QMouseEvent* event)
{
    resetView();
    QChartView::mouseDoubleClickEvent(event);
}

void ChartView::wheelEvent(QWheelEvent* event)
{
    const double f = std::pow(0.999, event->angleDelta().y());
    QRectF rect = chart()->plotArea();
    const QPointF c = rect.center();
    const QPointF m = chart()->mapFromScene(mapToScene(event->position().toPoint()));
    rect.setWidth(rect.width() * f);
    rect.setHeight(rect.height() * f);
    rect.moveCenter(2 * c - m - (c - m) / f);
    chart()->zoomIn(rect);
    QChartView::wheelEvent(event);
}
