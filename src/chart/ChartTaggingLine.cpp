#include "ChartTaggingLine.h"

#include "ChartView.h"

#include <QGraphicsLineItem>
#include <QLabel>
#include <QPen>
#include <QRandomGenerator>
#include <QtCharts/QChart>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QValueAxis>

#include <algorithm>

using namespace QtCharts;

QList<QColor> ChartTaggingLine::palette()
{
    return {QColor(255, 0, 0),    QColor(0, 0, 0),     QColor(0, 0, 128),   QColor(0, 191, 255),
            QColor(0, 100, 0),    QColor(0, 255, 0),   QColor(255, 255, 0), QColor(148, 0, 211),
            QColor(255, 130, 71), QColor(46, 139, 87)};
}

int ChartTaggingLine::labelHeight(const QString& remark)
{
    return 14 * remark.toUcs4().size();
}

ChartTaggingLine::ChartTaggingLine(ChartView* view)
    : QObject(view), m_view(view), m_chart(view->chart()),
      m_time(QDateTime::currentDateTime())
{
    m_label = new QLabel(view);
    m_label->setStyleSheet(QStringLiteral(
        "QLabel{color:#1564FF; font-size:11px;background:transparent;  "
        "background-color:rgba(0, 0, 0, 0);}"));
    m_label->setMargin(0);
    m_label->setAlignment(Qt::AlignCenter);
    m_label->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_label->hide();

    const QList<QColor> colours = palette();
    m_line = new QGraphicsLineItem(m_chart);
    m_line->setPen(QPen(colours.at(QRandomGenerator::global()->bounded(colours.size())), 2));
    m_line->setZValue(100);  // over the lines of the chart
    m_line->setVisible(false);
}

ChartTaggingLine::~ChartTaggingLine()
{
    delete m_label;
    delete m_line;
}

QColor ChartTaggingLine::colour() const
{
    return m_line->pen().color();
}

bool ChartTaggingLine::setTagging(const QString& remark, const QDateTime& time)
{
    m_remark = remark;
    m_time = time;
    if (remark.isEmpty())
        return false;

    QStringList characters;
    for (uint c : remark.toUcs4())
        characters.append(QString::fromUcs4(&c, 1));
    m_label->setText(characters.join(QLatin1Char('\n')));

    if (!m_connected) {
        m_connected = true;
        connect(m_view->leftAxis(), &QValueAxis::rangeChanged, this,
                &ChartTaggingLine::RangeChangedY);
        connect(m_chart, &QChart::plotAreaChanged, this, &ChartTaggingLine::plotAreaChanged);
        // Zoom and pan may move only the time axis; the line has to follow it too.
        connect(m_view->timeAxis(), &QDateTimeAxis::rangeChanged, this,
                [this](const QDateTime&, const QDateTime&) { updatePosition(); });
    }
    updatePosition();
    return true;
}

void ChartTaggingLine::updatePosition()
{
    QDateTimeAxis* axis = m_view->timeAxis();
    const qint64 t = m_time.toMSecsSinceEpoch();
    const qint64 min = axis->min().toMSecsSinceEpoch();
    const qint64 max = axis->max().toMSecsSinceEpoch();
    const QRectF plot = m_chart->plotArea();
    if (m_remark.isEmpty() || min - t >= 1000 || t - max >= 1000 || max <= min
        || plot.width() <= 0) {
        m_label->hide();
        m_line->setVisible(false);
        return;
    }
    // The vertical axis's minimum and maximum are the bottom and top of the
    // plot area, so the line spans the plot area at the time's column.
    double x = plot.left() + double(t - min) / double(max - min) * plot.width();
    x = std::max(plot.left(), std::min(x, plot.right()));
    const QPointF top(x, plot.top());
    const QPointF bottom(x, plot.bottom());
    const QPoint viewTop = m_view->mapFromScene(m_chart->mapToScene(top));
    m_label->setGeometry(viewTop.x() - 20, viewTop.y(), 15, labelHeight(m_remark));
    m_label->show();
    m_line->setLine(QLineF(bottom, top));
    m_line->setVisible(true);
}

void ChartTaggingLine::RangeChangedY(double min, double max)
{
    Q_UNUSED(min)
    Q_UNUSED(max)
    updatePosition();
}

void ChartTaggingLine::plotAreaChanged(const QRectF& plotArea)
{
    Q_UNUSED(plotArea)
    updatePosition();
}
