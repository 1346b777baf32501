#include "LiveChart.h"

#include <QRandomGenerator>
#include <QWidget>

#if defined(ARQ_HAVE_CHART)
#include "ChartView.h"
#include "ScanTableModels.h"

#include <limits>
#endif

namespace {

#if defined(ARQ_HAVE_CHART)
// The trend chart of the system; it keeps every point and draws a thinned copy.
class TrendChart : public LiveChart
{
public:
    explicit TrendChart(QWidget* parent) : m_view(new ChartView(parent)) {}

    QWidget* widget() override { return m_view; }
    void setSeries(const QStringList& labels, const QString& leftUnit, const QString& rightUnit,
                   const QList<bool>& axisFlags) override
    {
        m_view->setSeries(labels, leftUnit, rightUnit, axisFlags);
    }
    void addPoints(const QDateTime& time, const QVector<double>& values) override
    {
        m_view->appendScan(time, values);
    }
    void addScans(const QVector<qint64>& times, const QVector<QVector<double>>& scans) override
    {
        m_view->appendScans(times, scans);
    }
    void initRanges(const QDateTime& time, const QVector<double>& values) override
    {
        m_view->initRanges(time, values.toList());
    }
    QColor seriesColor(int index) const override
    {
        QColor colour;
        m_view->seriesColor(index, colour);
        return colour;
    }
    void showSeries(int index) override { m_view->showSeries(index); }
    void hideSeries(int index) override { m_view->hideSeries(index); }
    void shareValues(const LiveTableModel* model) override
    {
        m_values.model = model;
        m_view->shareValues(model ? &m_values : nullptr);
    }

private:
    // Line i of the chart is channel i of the table.
    struct TableValues : SeriesValues
    {
        const LiveTableModel* model = nullptr;
        double seriesValue(int line, int index) const override
        {
            if (!model || index < 0 || index >= model->scanCount() || line < 0 ||
                line >= model->channelCount())
                return std::numeric_limits<double>::quiet_NaN();
            return model->value(index, line);
        }
    };

    ChartView* m_view; // owned by its parent widget
    TableValues m_values;
};
#endif

// Stand-in used when no trend chart library is linked: keeps the series
// colours the legend shows and draws nothing.
class PlaceholderChart : public LiveChart
{
public:
    explicit PlaceholderChart(QWidget* parent) : m_widget(new QWidget(parent)) {}

    QWidget* widget() override { return m_widget; }
    void setSeries(const QStringList& labels, const QString&, const QString&,
                   const QList<bool>&) override
    {
        m_colours.clear();
        auto* rng = QRandomGenerator::global();
        for (int i = 0; i < labels.size(); ++i)
            m_colours << QColor::fromHsl(int(rng->generate() % 360), int(rng->generate() % 256),
                                         int(rng->generate() % 200), 255);
    }
    void addPoints(const QDateTime&, const QVector<double>&) override {}
    void initRanges(const QDateTime&, const QVector<double>&) override {}
    QColor seriesColor(int index) const override { return m_colours.value(index); }
    void showSeries(int) override {}
    void hideSeries(int) override {}

private:
    QWidget* m_widget;
    QList<QColor> m_colours;
};

LiveChart::Factory& factory()
{
    static LiveChart::Factory f;
    return f;
}

} // namespace

void LiveChart::addScans(const QVector<qint64>& times, const QVector<QVector<double>>& scans)
{
    const int n = qMin(times.size(), scans.size());
    for (int i = 0; i < n; ++i)
        addPoints(QDateTime::fromMSecsSinceEpoch(times.at(i)), scans.at(i));
}

void LiveChart::setFactory(Factory f)
{
    factory() = std::move(f);
}

LiveChart* LiveChart::create(QWidget* parent)
{
    if (factory())
        return factory()(parent);
#if defined(ARQ_HAVE_CHART)
    return new TrendChart(parent);
#else
    return new PlaceholderChart(parent);
#endif
}

const char* LiveChart::implementationName()
{
    if (factory())
        return "custom";
#if defined(ARQ_HAVE_CHART)
    return "ChartView";
#else
    return "placeholder (no trend chart linked)";
#endif
}
