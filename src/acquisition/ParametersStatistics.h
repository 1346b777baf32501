#pragma once

#include "ScanAnalysis.h"

#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QVector>
#include <QWidget>

class LiveTableModel;
class QLabel;
class QTableView;
class StatisticsTableModel;

// The live statistics tab of one project: one row per scan summarising the
// scan per unit (extremes with their channels, average, spreads, population
// standard deviation). Display only; nothing here is stored.
class ParametersStatistics : public QWidget
{
    Q_OBJECT
public:
    explicit ParametersStatistics(QWidget* parent = nullptr);

    // units: the unit of every channel, in channel order.
    void setData(int decimals, const QStringList& labels, const QStringList& units);
    // One scan, one value per channel; a scan of another size is dropped.
    void addData(const QDateTime& time, const QList<double>& values);
    void addData(const QDateTime& time, const QVector<double>& values);
    // Many scans at once, scrolled once at the end.
    void addScans(const QVector<QDateTime>& times, const QVector<QVector<double>>& scans);

    // Rows worked out from the project's result table when shown instead of
    // kept (it holds every scan, and gets each scan before this tab does).
    void shareValues(const LiveTableModel* values);

    int rowCount() const { return m_rows; }
    QStringList groupUnits() const;
    StatisticsTableModel* model() const { return m_model; }

private:
    bool takeScan(const QDateTime& time, const QVector<double>& values);

    int m_decimals = 0;
    QStringList m_labels;
    ScanAnalysis::UnitGroups m_groups;
    int m_rows = 0;
    const LiveTableModel* m_values = nullptr;

    StatisticsTableModel* m_model = nullptr;
    QLabel* label_Statistics = nullptr;
    QTableView* tableWidget_Statistics = nullptr;
};
