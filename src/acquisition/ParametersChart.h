#pragma once

#include "AlarmMailer.h"
#include "ScanAnalysis.h"
#include "SystemContext.h"

#include <QDateTime>
#include <QList>
#include <QVector>
#include <QWidget>

#include <memory>

class LiveChart;
class LiveTableModel;
class QLabel;
class QTableView;
class QTableWidget;
class QVBoxLayout;

// The live result tab of one project: a table with one row per scan (alarm
// and extreme colours), a legend that shows and hides the chart's lines, the
// trend chart, and the limit-alarm check that writes the warning log and
// mails alarms. Every scan stays in the table and the chart for the run.
class ParametersChart : public QWidget
{
    Q_OBJECT
public:
    explicit ParametersChart(QWidget* parent = nullptr);
    ~ParametersChart() override;

    // Set-up with the project's chosen channels, in ChannelList order.
    void setData(SystemContext* context, const QList<ChosenChannel>& channels);
    // One scan, one value per channel in entry order; a scan of another size is dropped.
    void addData(const QDateTime& time, const QList<double>& values);
    void addData(const QDateTime& time, const QVector<double>& values);
    // Many scans at once, as if added one by one (alarms included), with the
    // table scrolled and the chart drawn once at the end.
    void addScans(const QVector<QDateTime>& times, const QVector<QVector<double>>& scans);

    // Tests and the benchmark replace the mail clock/sender before setData.
    void setMailHooks(AlarmMailer::Clock clock, AlarmMailer::Sender sender);

    int channelCount() const { return m_entries.size(); }
    int rowCount() const { return m_rows; }
    QString leftUnit() const { return m_groups.first; }
    QString rightUnit() const { return m_groups.second; }
    QList<bool> axisFlags() const;
    QList<bool> visibility() const { return m_visible; }
    QStringList seriesLabels() const { return m_seriesLabels; }
    LiveChart* chart() const { return m_chart; }
    LiveTableModel* model() const { return m_model; }
    const AlarmMailer* mailer() const { return m_mailer.get(); }

public slots:
    void pt_Chart_clicked(int row, int column);

private:
    void retranslateUi();
    void fillLegend();
    void setLegendIcon(int row);
    // Alarms, colours and the table row of one scan; false when dropped.
    bool takeScan(const QDateTime& time, const QVector<double>& values);

    QList<ChosenChannel> m_entries;
    QVector<ScanAnalysis::AlarmLimits> m_limits;
    QList<Tool::Struct_AcquisitionDevice> m_devices;
    QStringList m_seriesLabels;
    int m_decimals = 0;
    ScanAnalysis::UnitGroups m_groups;
    QList<bool> m_visible;
    int m_rows = 0;

    AlarmMailer::Clock m_mailClock;
    AlarmMailer::Sender m_mailSender;
    std::unique_ptr<AlarmMailer> m_mailer;

    // Scratch per scan, kept to avoid allocations.
    QVector<std::uint8_t> m_colours;

    LiveChart* m_chart = nullptr;
    LiveTableModel* m_model = nullptr;

    QLabel* label = nullptr;
    QTableView* tableWidget_Data = nullptr;
    QLabel* label_ChartName = nullptr;
    QTableWidget* tableWidget_Chart = nullptr;
    QVBoxLayout* verticalLayout_Chart = nullptr;
};
