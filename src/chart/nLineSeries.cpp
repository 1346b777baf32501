#include "nLineSeries.h"

nLineSeries::nLineSeries(int id, QObject* parent)
    : QtCharts::QLineSeries(parent), id(id)
{
    connect(this, &QtCharts::QXYSeries::hovered, this, &nLineSeries::tooltip);
}

void nLineSeries::tooltip(QPointF point, bool state)
{
    emit hovered(id, point, state);
}
