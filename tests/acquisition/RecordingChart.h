#pragma once

#include "LiveChart.h"

#include <QWidget>

// A chart that records what the result tab asks of it.
struct RecordingChart : LiveChart
{
    explicit RecordingChart(QWidget* parent) : view(new QWidget(parent)) { last() = this; }
    ~RecordingChart() override
    {
        if (last() == this)
            last() = nullptr;
    }

    QWidget* widget() override { return view; }
    void setSeries(const QStringList& l, const QString& u1, const QString& u2,
                   const QList<bool>& flags) override
    {
        labels = l;
        left = u1;
        right = u2;
        axisFlags = flags;
    }
    void addPoints(const QDateTime& t, const QVector<double>& v) override
    {
        ++points;
        lastTime = t;
        lastValues = v;
    }
    void initRanges(const QDateTime& t, const QVector<double>&) override
    {
        ++rangeInits;
        rangeTime = t;
    }
    QColor seriesColor(int index) const override { return QColor(index, 2 * index, 3 * index); }
    void showSeries(int index) override { calls << QStringLiteral("show %1").arg(index); }
    void hideSeries(int index) override { calls << QStringLiteral("hide %1").arg(index); }

    static RecordingChart*& last()
    {
        static RecordingChart* chart = nullptr;
        return chart;
    }

    QWidget* view;
    QStringList labels;
    QString left;
    QString right;
    QList<bool> axisFlags;
    int points = 0;
    int rangeInits = 0;
    QDateTime lastTime;
    QDateTime rangeTime;
    QVector<double> lastValues;
    QStringList calls;
};
