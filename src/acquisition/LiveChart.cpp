#include "LiveChart.h"

#include <QLabel>
#include <QRandomGenerator>
#include <QVBoxLayout>
#include <QWidget>

namespace {

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

void LiveChart::setFactory(Factory f)
{
    factory() = std::move(f);
}

LiveChart* LiveChart::create(QWidget* parent)
{
    if (factory())
        return factory()(parent);
    return new PlaceholderChart(parent);
}

const char* LiveChart::implementationName()
{
    return factory() ? "custom" : "placeholder (no trend chart linked)";
}
