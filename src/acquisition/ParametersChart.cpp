#include "ParametersChart.h"

#include "LiveChart.h"
#include "CalibrationStore.h"
#include "ScanTableModels.h"
#include "Tool.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QtDebug>

#include <cmath>

namespace {
template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

const char* const CheckedIcon = ":/Tervan/Image/Checkbox_checked.png";
const char* const UncheckedIcon = ":/Tervan/Image/Checkbox_unchecked.png";
} // namespace

ParametersChart::ParametersChart(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ParametersChart"));

    label = named(new QLabel(this), "label");
    tableWidget_Data = named(new QTableView(this), "tableWidget_Data");
    m_model = new LiveTableModel(this);
    tableWidget_Data->setModel(m_model);
    tableWidget_Data->verticalHeader()->setVisible(false);
    // Fixed row heights keep the view from measuring rows as the run grows.
    tableWidget_Data->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // Scrolling by pixels: scrolling by rows looks up the last row's
    // position on every scan, which walks every row of a week-long run.
    tableWidget_Data->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    tableWidget_Data->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableWidget_Data->setSelectionBehavior(QAbstractItemView::SelectRows);

    label_ChartName = named(new QLabel(this), "label_ChartName");
    tableWidget_Chart = named(new QTableWidget(this), "tableWidget_Chart");
    tableWidget_Chart->setMaximumWidth(200);
    tableWidget_Chart->setColumnCount(3);
    tableWidget_Chart->setShowGrid(false);
    tableWidget_Chart->horizontalHeader()->setVisible(false);
    tableWidget_Chart->verticalHeader()->setVisible(false);
    tableWidget_Chart->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableWidget_Chart->setSelectionBehavior(QAbstractItemView::SelectItems);
    tableWidget_Chart->setColumnWidth(0, 13);
    tableWidget_Chart->setColumnWidth(1, 13);
    tableWidget_Chart->setColumnWidth(2, 60);
    tableWidget_Chart->horizontalHeader()->setStretchLastSection(true);
    connect(tableWidget_Chart, &QTableWidget::cellClicked, this, &ParametersChart::pt_Chart_clicked);

    verticalLayout_Chart = new QVBoxLayout;
    verticalLayout_Chart->setObjectName(QStringLiteral("verticalLayout_Chart"));

    auto* lower = new QHBoxLayout;
    lower->addWidget(tableWidget_Chart);
    lower->addLayout(verticalLayout_Chart, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(tableWidget_Data, 1);
    layout->addWidget(label_ChartName);
    layout->addLayout(lower, 2);

    retranslateUi();
}

ParametersChart::~ParametersChart()
{
    delete m_chart; // a separate chart widget goes with this widget's children
}

void ParametersChart::retranslateUi()
{
    label->setText(tr("实时数据"));
    label_ChartName->setText(tr("趋势图"));
}

void ParametersChart::setMailHooks(AlarmMailer::Clock clock, AlarmMailer::Sender sender)
{
    m_mailClock = std::move(clock);
    m_mailSender = std::move(sender);
}

QList<bool> ParametersChart::axisFlags() const
{
    QList<bool> out;
    for (bool b : m_groups.inFirst)
        out << b;
    return out;
}

void ParametersChart::setData(SystemContext* context, const QList<ChosenChannel>& channels)
{
    m_entries = channels;
    m_rows = 0;
    m_decimals = context ? context->DataAccuracy : 0;
    m_devices = context ? context->AcquisitionDevice : QList<Tool::Struct_AcquisitionDevice>();
    if (context)
        m_mailer = std::make_unique<AlarmMailer>(*context, m_mailClock, m_mailSender);
    else
        m_mailer.reset();

    QStringList units;
    m_seriesLabels.clear();
    m_limits.clear();
    for (const auto& e : m_entries) {
        units << e.Unit;
        m_seriesLabels << e.Label + QLatin1Char('(') + e.Unit + QLatin1Char(')');
        m_limits << ScanAnalysis::AlarmLimits::fromChannel(e);
    }
    m_groups = ScanAnalysis::UnitGroups::fromUnits(units);
    m_colours.fill(ScanAnalysis::NoColour, m_entries.size());

    if (m_chart) {
        // The widget may be the chart object itself or a separate child.
        QPointer<QWidget> old = m_chart->widget();
        delete m_chart;
        delete old.data();
    }
    m_chart = LiveChart::create(this);
    verticalLayout_Chart->addWidget(m_chart->widget());
    m_chart->setSeries(m_seriesLabels, m_groups.first, m_groups.second, axisFlags());

    fillLegend();

    m_model->setColumns(m_seriesLabels, m_decimals);
    // Values in ℃ outside the range their coefficients were fitted over are marked.
    QVector<QPair<double, double>> ranges;
    for (const auto& e : m_entries) {
        double low = std::nan(""), high = std::nan("");
        const Tool::Struct_AcquisitionDevice device = m_devices.value(e.DeviceIndex);
        if (e.Unit != QStringLiteral("℃")
            || !Tool::validRange(device.ChannelConfig, e.ID.section(QLatin1Char('-'), 1), &low, &high))
            low = high = std::nan("");
        ranges << qMakePair(low, high);
    }
    m_model->setValidRanges(ranges);
    m_chart->shareValues(m_model);
    tableWidget_Data->resizeColumnsToContents();
}

void ParametersChart::fillLegend()
{
    const int n = m_entries.size();
    m_visible.clear();
    tableWidget_Chart->clearContents();
    tableWidget_Chart->setRowCount(n);
    for (int i = 0; i < n; ++i) {
        m_visible << true;
        setLegendIcon(i);

        const QColor c = m_chart->seriesColor(i);
        auto* holder = new QWidget(tableWidget_Chart);
        auto* box = new QHBoxLayout(holder);
        box->setContentsMargins(0, 0, 0, 0);
        box->setAlignment(Qt::AlignCenter);
        auto* swatch = new QLabel(holder);
        swatch->setMaximumSize(13, 3);
        swatch->setMinimumSize(13, 3);
        swatch->setStyleSheet(QStringLiteral("QLabel{background-color:rgb(%1,%2,%3);}")
                                  .arg(c.red())
                                  .arg(c.green())
                                  .arg(c.blue()));
        box->addWidget(swatch);
        tableWidget_Chart->setCellWidget(i, 1, holder);

        auto* name = new QTableWidgetItem(m_entries.at(i).Label);
        name->setFlags(name->flags() & ~(Qt::ItemIsSelectable | Qt::ItemIsEnabled));
        tableWidget_Chart->setItem(i, 2, name);
    }
}

void ParametersChart::setLegendIcon(int row)
{
    auto* item = new QTableWidgetItem(
        QIcon(QString::fromLatin1(m_visible.at(row) ? CheckedIcon : UncheckedIcon)), QString());
    tableWidget_Chart->setItem(row, 0, item); // replaces (and deletes) the previous item
}

void ParametersChart::pt_Chart_clicked(int row, int column)
{
    if (column != 0 || row < 0 || row >= m_visible.size() || !m_chart)
        return;
    if (m_visible.at(row)) {
        m_visible[row] = false;
        m_chart->hideSeries(row);
    } else {
        m_visible[row] = true;
        m_chart->showSeries(row);
    }
    setLegendIcon(row);
}

void ParametersChart::addData(const QDateTime& time, const QList<double>& values)
{
    addData(time, values.toVector());
}

void ParametersChart::addData(const QDateTime& time, const QVector<double>& values)
{
    if (!takeScan(time, values))
        return;
    tableWidget_Data->scrollToBottom();
    m_chart->addPoints(time, values);
    if (m_rows == 0) {
        tableWidget_Data->resizeColumnsToContents();
        m_chart->initRanges(time, values);
    }
    ++m_rows;
}

void ParametersChart::addScans(const QVector<QDateTime>& times, const QVector<QVector<double>>& scans)
{
    const int n = qMin(times.size(), scans.size());
    int i = 0;
    // The first scan of the run sets the chart's ranges on its own.
    for (; i < n && m_rows == 0; ++i)
        addData(times.at(i), scans.at(i));
    QVector<qint64> chartTimes;
    QVector<QVector<double>> chartScans;
    chartTimes.reserve(n - i);
    chartScans.reserve(n - i);
    for (; i < n; ++i) {
        if (!takeScan(times.at(i), scans.at(i)))
            continue;
        chartTimes << times.at(i).toMSecsSinceEpoch();
        chartScans << scans.at(i);
        ++m_rows;
    }
    if (chartTimes.isEmpty())
        return;
    tableWidget_Data->scrollToBottom();
    m_chart->addScans(chartTimes, chartScans);
}

bool ParametersChart::takeScan(const QDateTime& time, const QVector<double>& values)
{
    const int n = m_entries.size();
    if (values.size() != n || !m_chart) {
        qWarning() << "ParametersChart: scan dropped," << values.size() << "values for" << n
                   << "channels";
        return false;
    }

    std::uint8_t* colours = m_colours.data();
    for (int i = 0; i < n; ++i) {
        const double v = values.at(i);
        colours[i] = ScanAnalysis::NoColour;
        const ScanAnalysis::AlarmResult alarm = ScanAnalysis::checkAlarm(m_limits.at(i), v);
        if (!alarm.raised())
            continue;
        colours[i] = alarm.colour;
        const QString message = ScanAnalysis::alarmMessage(
            m_devices.value(m_entries.at(i).DeviceIndex), m_entries.at(i).Label, alarm.detail);
        Tool::addAuditLog(alarm.type, message);
        if (m_mailer)
            m_mailer->alarm(alarm.type, message);
    }

    ScanAnalysis::Extremes first;
    ScanAnalysis::Extremes second;
    ScanAnalysis::extremes(values, m_groups.inFirst, first, second);
    ScanAnalysis::colourExtremes(first, second, !m_groups.second.isEmpty(), colours);

    m_model->appendScan(time.toMSecsSinceEpoch(), values, m_colours);
    return true;
}
