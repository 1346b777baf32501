#pragma once

#include <QtCharts/QLineSeries>

// A chart line that tells the view which channel the cursor is on.
class nLineSeries : public QtCharts::QLineSeries
{
    Q_OBJECT
public:
    explicit nLineSeries(int id, QObject* parent = nullptr);

    int id = 0;  // position of the line in its view

signals:
    void hovered(int id, QPointF point, bool state);

public slots:
    void tooltip(QPointF point, bool state);
};
