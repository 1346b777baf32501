#include "ParametersStatistics.h"

#include "ScanTableModels.h"

#include <QHeaderView>
#include <QLabel>
#include <QTableView>
#include <QVBoxLayout>
#include <QtDebug>

ParametersStatistics::ParametersStatistics(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("ParametersStatistics"));
    resize(799, 600);

    label_Statistics = new QLabel(this);
    label_Statistics->setObjectName(QStringLiteral("label_Statistics"));
    label_Statistics->setText(tr("统计"));

    tableWidget_Statistics = new QTableView(this);
    tableWidget_Statistics->setObjectName(QStringLiteral("tableWidget_Statistics"));
    m_model = new StatisticsTableModel(this);
    tableWidget_Statistics->setModel(m_model);
    tableWidget_Statistics->verticalHeader()->setVisible(false);
    tableWidget_Statistics->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    // Scrolling by pixels: scrolling by rows looks up the last row's
    // position on every scan, which walks every row of a week-long run.
    tableWidget_Statistics->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    tableWidget_Statistics->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableWidget_Statistics->setSelectionBehavior(QAbstractItemView::SelectRows);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label_Statistics);
    layout->addWidget(tableWidget_Statistics, 1);
}

QStringList ParametersStatistics::groupUnits() const
{
    QStringList out{m_groups.first};
    if (!m_groups.second.isEmpty())
        out << m_groups.second;
    return out;
}

void ParametersStatistics::setData(int decimals, const QStringList& labels, const QStringList& units)
{
    m_decimals = decimals;
    m_labels = labels;
    m_rows = 0;
    m_groups = ScanAnalysis::UnitGroups::fromUnits(units);
    m_model->setLayout(m_labels, groupUnits(), m_decimals);
    if (m_values)
        m_model->shareValues(m_values, m_groups.inFirst);
}

void ParametersStatistics::shareValues(const LiveTableModel* values)
{
    if (m_values)
        disconnect(m_values, nullptr, this, nullptr);
    m_values = values;
    m_rows = 0;
    m_model->shareValues(values, m_groups.inFirst);
    // A result table that goes first takes the rows with it; none are read from it after.
    if (values)
        connect(values, &QObject::destroyed, this, [this] {
            m_values = nullptr;
            m_rows = 0;
            m_model->shareValues(nullptr, {});
        });
}

void ParametersStatistics::addData(const QDateTime& time, const QList<double>& values)
{
    addData(time, values.toVector());
}

void ParametersStatistics::addData(const QDateTime& time, const QVector<double>& values)
{
    if (!takeScan(time, values))
        return;
    tableWidget_Statistics->scrollToBottom();
    if (m_rows == 0)
        tableWidget_Statistics->resizeColumnsToContents();
    ++m_rows;
}

void ParametersStatistics::addScans(const QVector<QDateTime>& times,
                                    const QVector<QVector<double>>& scans)
{
    const int n = qMin(times.size(), scans.size());
    int i = 0;
    for (; i < n && m_rows == 0; ++i)
        addData(times.at(i), scans.at(i));
    bool added = false;
    for (; i < n; ++i) {
        if (takeScan(times.at(i), scans.at(i))) {
            ++m_rows;
            added = true;
        }
    }
    if (added)
        tableWidget_Statistics->scrollToBottom();
}

bool ParametersStatistics::takeScan(const QDateTime& time, const QVector<double>& values)
{
    if (values.size() != m_labels.size()) {
        qWarning() << "ParametersStatistics: scan dropped," << values.size() << "values for"
                   << m_labels.size() << "channels";
        return false;
    }
    ScanAnalysis::GroupStatistics groups[2];
    if (!m_values)
        ScanAnalysis::statistics(values, m_groups.inFirst, m_groups.groupCount(), groups);
    m_model->appendScan(time.toMSecsSinceEpoch(), groups);
    return true;
}
