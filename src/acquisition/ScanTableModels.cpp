#include "ScanTableModels.h"

#include <QBrush>
#include <QColor>
#include <QCoreApplication>
#include <QDateTime>
#include <QFont>

#include <algorithm>
#include <cmath>

namespace {
QColor cellColour(std::uint8_t code)
{
    switch (code) {
    case ScanAnalysis::LowAlarm: return QColor(255, 255, 0);
    case ScanAnalysis::HighAlarm: return QColor(0, 255, 255);
    case ScanAnalysis::Maximum: return QColor(255, 0, 0);
    case ScanAnalysis::Minimum: return QColor(0, 255, 0);
    default: return QColor();
    }
}

QString timeHeader()
{
    return QCoreApplication::translate("ParametersChart", "采集时间");
}
} // namespace

// --- LiveTableModel ---------------------------------------------------------

LiveTableModel::LiveTableModel(QObject* parent) : QAbstractTableModel(parent) {}

void LiveTableModel::setColumns(const QStringList& seriesLabels, int decimals)
{
    beginResetModel();
    m_labels = seriesLabels;
    m_decimals = decimals;
    m_times.clear();
    m_values.clear();
    m_colours.clear();
    endResetModel();
}

void LiveTableModel::appendScan(qint64 msecs, const QVector<double>& values,
                                const QVector<std::uint8_t>& colours)
{
    const int n = channelCount();
    const int row = scanCount();
    beginInsertRows(QModelIndex(), row, row);
    m_times.push_back(msecs);
    for (int i = 0; i < n; ++i) {
        m_values.push_back(values.value(i));
        m_colours.push_back(colours.value(i, ScanAnalysis::NoColour));
    }
    endInsertRows();
}

double LiveTableModel::value(int row, int channel) const
{
    return m_values.at(static_cast<size_t>(row) * channelCount() + channel);
}

std::uint8_t LiveTableModel::colour(int row, int channel) const
{
    return m_colours.at(static_cast<size_t>(row) * channelCount() + channel);
}

int LiveTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : scanCount();
}

int LiveTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : channelCount() + 1;
}

QString LiveTableModel::timeText(qint64 msecs)
{
    return QDateTime::fromMSecsSinceEpoch(msecs).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QVariant LiveTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= scanCount() || index.column() > channelCount())
        return {};
    const int row = index.row();
    const int col = index.column();
    switch (role) {
    case Qt::DisplayRole:
        if (col == 0)
            return timeText(time(row));
        return QString::number(value(row, col - 1), 'f', m_decimals);
    case Qt::TextAlignmentRole:
        if (col == 0)
            return {};
        return int(Qt::AlignCenter);
    case Qt::ForegroundRole: {
        if (col == 0)
            return {};
        const QColor c = cellColour(colour(row, col - 1));
        return c.isValid() ? QVariant(QBrush(c)) : QVariant();
    }
    case Qt::FontRole:
        if (col > 0 && outsideRange(col - 1, value(row, col - 1))) {
            QFont font;
            font.setItalic(true);
            return font;
        }
        return {};
    case Qt::ToolTipRole:
        if (col > 0 && outsideRange(col - 1, value(row, col - 1)))
            return tr("超出校准系数的有效范围（%1 ℃ ～ %2 ℃）")
                .arg(QString::number(m_ranges.at(col - 1).first, 'f', 2),
                     QString::number(m_ranges.at(col - 1).second, 'f', 2));
        return {};
    default:
        return {};
    }
}

bool LiveTableModel::outsideRange(int channel, double value) const
{
    if (channel < 0 || channel >= m_ranges.size())
        return false;
    const QPair<double, double>& r = m_ranges.at(channel);
    return std::isfinite(r.first) && std::isfinite(value) && (value < r.first || value > r.second);
}

QVariant LiveTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section == 0)
        return timeHeader();
    return m_labels.value(section - 1);
}

// --- StatisticsTableModel ---------------------------------------------------

StatisticsTableModel::StatisticsTableModel(QObject* parent) : QAbstractTableModel(parent) {}

QStringList StatisticsTableModel::headers(const QStringList& groupUnits)
{
    static const char* const names[] = {
        QT_TRANSLATE_NOOP("ParametersStatistics", "最大值"),
        QT_TRANSLATE_NOOP("ParametersStatistics", "最大值通道"),
        QT_TRANSLATE_NOOP("ParametersStatistics", "最小值"),
        QT_TRANSLATE_NOOP("ParametersStatistics", "最小值通道"),
        QT_TRANSLATE_NOOP("ParametersStatistics", "平均值"),
        QT_TRANSLATE_NOOP("ParametersStatistics", "最大-最小"),
        QT_TRANSLATE_NOOP("ParametersStatistics", "最大-平均"),
        QT_TRANSLATE_NOOP("ParametersStatistics", "平均-最小"),
        QT_TRANSLATE_NOOP("ParametersStatistics", "标准差"),
    };
    QStringList out{QCoreApplication::translate("ParametersStatistics", "采集时间")};
    for (const QString& u : groupUnits)
        for (const char* n : names)
            out << QCoreApplication::translate("ParametersStatistics", n) + QLatin1Char('(') + u +
                       QLatin1Char(')');
    return out;
}

void StatisticsTableModel::setLayout(const QStringList& channelLabels, const QStringList& groupUnits,
                                     int decimals)
{
    beginResetModel();
    m_labels = channelLabels;
    m_units = groupUnits;
    m_headers = headers(groupUnits);
    m_decimals = decimals;
    m_count = 0;
    m_cachedRow = -1;
    m_times.clear();
    m_rows.clear();
    endResetModel();
}

void StatisticsTableModel::shareValues(const LiveTableModel* values, const QVector<bool>& inFirst)
{
    beginResetModel();
    m_values = values;
    m_inFirst = inFirst;
    m_count = 0;
    m_cachedRow = -1;
    m_times.clear();
    m_rows.clear();
    m_rows.shrink_to_fit();
    endResetModel();
}

void StatisticsTableModel::appendScan(qint64 msecs, const ScanAnalysis::GroupStatistics* groups)
{
    const int row = scanCount();
    beginInsertRows(QModelIndex(), row, row);
    m_times.push_back(msecs);
    if (!m_values)
        for (int g = 0; g < groupCount(); ++g)
            m_rows.push_back(groups[g]);
    ++m_count;
    endInsertRows();
}

ScanAnalysis::GroupStatistics StatisticsTableModel::statistics(int row, int group) const
{
    if (!m_values)
        return m_rows.at(static_cast<size_t>(row) * groupCount() + group);
    if (group < 0 || group >= 2 || row < 0 || row >= m_values->scanCount())
        return {};
    if (row != m_cachedRow) {
        const int n = m_values->channelCount();
        m_scan.resize(n);
        for (int c = 0; c < n; ++c)
            m_scan[c] = m_values->value(row, c);
        for (auto& g : m_cached)
            g = {};
        ScanAnalysis::statistics(m_scan, m_inFirst, std::min(groupCount(), 2), m_cached);
        m_cachedRow = row;
    }
    return m_cached[group];
}

int StatisticsTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : scanCount();
}

int StatisticsTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_headers.size();
}

QVariant StatisticsTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= scanCount() || index.column() >= m_headers.size())
        return {};
    const int col = index.column();
    if (role == Qt::TextAlignmentRole)
        return col == 0 ? QVariant() : QVariant(int(Qt::AlignCenter));
    if (role != Qt::DisplayRole)
        return {};
    if (col == 0)
        return LiveTableModel::timeText(m_times.at(static_cast<size_t>(index.row())));
    const ScanAnalysis::GroupStatistics s = statistics(index.row(), (col - 1) / 9);
    auto number = [this](double v) { return QString::number(v, 'f', m_decimals); };
    switch ((col - 1) % 9) {
    case 0: return number(s.max);
    case 1: return m_labels.value(s.maxPos);
    case 2: return number(s.min);
    case 3: return m_labels.value(s.minPos);
    case 4: return number(s.average);
    case 5: return number(s.max - s.min);
    case 6: return number(s.max - s.average);
    case 7: return number(s.average - s.min);
    default: return number(s.deviation);
    }
}

QVariant StatisticsTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    return m_headers.value(section);
}
