#pragma once

#include <QColor>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

class QWidget;
class LiveTableModel;

// What the live result tab needs of a trend chart. The tab talks to the
// chart only through this, so the chart widget can change (or be replaced by
// a recorder in tests) without touching the tab.
class LiveChart
{
public:
    virtual ~LiveChart() = default;

    // The widget placed in the tab's chart layout; owned by that layout.
    virtual QWidget* widget() = 0;
    virtual void setSeries(const QStringList& labels, const QString& leftUnit,
                           const QString& rightUnit, const QList<bool>& axisFlags) = 0;
    // One scan, one value per series.
    virtual void addPoints(const QDateTime& time, const QVector<double>& values) = 0;
    // Many scans at once (catching up); drawn once. The default adds them one by one.
    virtual void addScans(const QVector<qint64>& times, const QVector<QVector<double>>& scans);
    // Ranges from the first scan; replaces those addPoints just set.
    virtual void initRanges(const QDateTime& time, const QVector<double>& values) = 0;
    // The chart may read its values from the tab's table, which holds every
    // scan before the chart is given it; the model outlives the chart.
    virtual void shareValues(const LiveTableModel* /*model*/) {}
    virtual QColor seriesColor(int index) const = 0;
    virtual void showSeries(int index) = 0;
    virtual void hideSeries(int index) = 0;

    using Factory = std::function<LiveChart*(QWidget* parent)>;
    // The chart every new result tab gets; an empty factory restores the default.
    static void setFactory(Factory factory);
    static LiveChart* create(QWidget* parent);
    // Which chart the default factory builds, for benchmark output.
    static const char* implementationName();
};
