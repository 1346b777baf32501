#pragma once

#include <QDateTime>
#include <QObject>
#include <QRectF>
#include <QString>

class QGraphicsLineItem;
class QLabel;
class ChartView;

namespace QtCharts {
class QAbstractAxis;
class QChart;
}

// One vertical tag line of a chart: a coloured line over the plot area at a
// moment in time, and its remark written top to bottom beside it.
class ChartTaggingLine : public QObject
{
    Q_OBJECT
public:
    explicit ChartTaggingLine(ChartView* view);
    ~ChartTaggingLine() override;

    // False (and nothing shown) for an empty remark.
    bool setTagging(const QString& remark, const QDateTime& time);
    void updatePosition();

    QString remark() const { return m_remark; }
    QDateTime time() const { return m_time; }
    QColor colour() const;
    QLabel* label() const { return m_label; }
    QGraphicsLineItem* line() const { return m_line; }

    // The ten colours a line picks from.
    static QList<QColor> palette();
    // Label height in pixels for a remark.
    static int labelHeight(const QString& remark);

public slots:
    void RangeChangedY(double min, double max);
    void plotAreaChanged(const QRectF& plotArea);

private:
    ChartView* m_view;
    QtCharts::QChart* m_chart;
    QString m_remark;
    QDateTime m_time;
    QLabel* m_label;
    QGraphicsLineItem* m_line;
    bool m_connected = false;
};
