#pragma once

#include "ScanAnalysis.h"

#include <QAbstractTableModel>
#include <QStringList>
#include <QVector>

#include <cstdint>
#include <deque>

// Table models over our own scan buffers. A run at 1 s lasts days; the views
// only format the rows they paint, so a scan costs the same at row 1,000 and
// at row 86,400 and a cell takes 9 bytes instead of a QTableWidgetItem.

// Live data: column 0 the scan time, then one value column per channel,
// text coloured by alarm and extremes.
class LiveTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit LiveTableModel(QObject* parent = nullptr);

    // Headers after "采集时间"; the channel count follows from them.
    void setColumns(const QStringList& seriesLabels, int decimals);
    // Per channel the range of validity of its calibration (℃); a value
    // outside is shown in italics with a tooltip. NaN bounds: none known.
    void setValidRanges(const QVector<QPair<double, double>>& ranges) { m_ranges = ranges; }
    bool outsideRange(int channel, double value) const;
    // Appends one scan; colours hold one ScanAnalysis::CellColour per value.
    void appendScan(qint64 msecs, const QVector<double>& values,
                    const QVector<std::uint8_t>& colours);

    int channelCount() const { return m_labels.size(); }
    int scanCount() const { return static_cast<int>(m_times.size()); }
    qint64 time(int row) const { return m_times.at(static_cast<size_t>(row)); }
    double value(int row, int channel) const;
    std::uint8_t colour(int row, int channel) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    static QString timeText(qint64 msecs);

private:
    QStringList m_labels;
    int m_decimals = 0;
    std::deque<qint64> m_times;
    std::deque<double> m_values;         // row-major, channelCount per row
    std::deque<std::uint8_t> m_colours;  // same layout
    QVector<QPair<double, double>> m_ranges;
};

// Live statistics: column 0 the scan time, then nine columns per unit group.
class StatisticsTableModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    explicit StatisticsTableModel(QObject* parent = nullptr);

    void setLayout(const QStringList& channelLabels, const QStringList& groupUnits, int decimals);
    void appendScan(qint64 msecs, const ScanAnalysis::GroupStatistics* groups);
    // Rows computed from the scans of `values` (row i is its scan i) when
    // painted instead of kept: the result table beside this one holds every
    // scan anyway. inFirst: the channels of the first unit. Clears the rows;
    // nullptr keeps them again.
    void shareValues(const LiveTableModel* values, const QVector<bool>& inFirst);

    int groupCount() const { return m_units.size(); }
    int scanCount() const { return m_count; }
    ScanAnalysis::GroupStatistics statistics(int row, int group) const;

    static QStringList headers(const QStringList& groupUnits);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    QStringList m_labels;
    QStringList m_units;
    QStringList m_headers;
    int m_decimals = 0;
    int m_count = 0;
    std::deque<qint64> m_times;
    std::deque<ScanAnalysis::GroupStatistics> m_rows; // groupCount per row, when not shared
    const LiveTableModel* m_values = nullptr;
    QVector<bool> m_inFirst;
    // The last row worked out; a row is painted cell by cell.
    mutable int m_cachedRow = -1;
    mutable ScanAnalysis::GroupStatistics m_cached[2];
    mutable QVector<double> m_scan;
};
