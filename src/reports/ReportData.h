#pragma once

#include "Records.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QVector>

#include <atomic>
#include <limits>

// One data row as the writers use it.
struct ReportRow
{
    QString time;          // "MM-dd hh:mm:ss.zzz"
    QList<double> values;  // every kept channel; NaN where the stored text is no number
    QList<double> left;    // the left unit group, group order
    QList<double> right;   // the right unit group
};

// Everything both report writers compute from a prepared project: unit
// groups, row records, segments and their rows, the table names. Built once
// by `build`, read by the writers' layouts.
struct ReportData
{
    int decimals = 2;
    QList<bool> flags{true, false, false, false, false}; // data, left H, left V, right H, right V
    Tool::Struct_Parameters project;
    QString leftUnit, rightUnit;
    QString leftQuantity, rightQuantity;
    // What the tables of a group are called: the quantity, or the quantity
    // with the unit when both groups have the same one ("电压(mV)", "电压(V)").
    QString leftName, rightName;
    QStringList leftLabels, rightLabels;
    // Channels of a third or further unit: in the data table, in no analysis
    // table; label + "(" + unit + ")", channel order.
    QStringList otherChannels;
    QList<ReportRow> rows;
    QStringList segmentRemarks;
    QStringList segmentStartTexts, segmentEndTexts; // "yyyy-MM-dd hh:mm:ss"
    QList<int> segmentStartRows, segmentEndRows;
    QStringList tableNames; // the selected tables, for the overview

    // A stored value text as a number: NaN when it is no (finite) number.
    static double parse(const QString& text);
    static double parse(const QStringRef& text);
    // Rows as texts into the compact form: times and one column per channel
    // (a value that is no number is NaN: an empty cell, no statistics).
    static void toColumns(const QList<Tool::Struct_ParametersData>& rows, int channels,
                          QVector<qint64>* times, QVector<QVector<double>>* columns);
    // An interval text in seconds as whole milliseconds (rounded).
    static qint64 milliseconds(const QString& seconds);
    // Rows kept by the print interval: every step-th, step = print ms / scan ms
    // (1 when the scan interval is not positive or the print interval shorter).
    static int rowStep(const QString& scanInterval, const QString& printInterval);
    // Names of the two groups' tables for units and quantities as `build` finds them.
    static void groupNames(const QString& leftUnit, const QString& rightUnit, const QString& leftQuantity,
                           const QString& rightQuantity, QString* leftName, QString* rightName);

    // The report thread's copies: only the checked channels, and every
    // step-th row (rowStep); the project's ScanInterval becomes the print interval.
    static void prepare(const Tool::Struct_Parameters& project, const QList<Tool::Struct_ParametersData>& rows,
                        const QList<bool>& channelFlags, const QString& printInterval,
                        Tool::Struct_Parameters* projectCopy, QList<Tool::Struct_ParametersData>* rowsCopy);

    // The same from the compact form the report page keeps (times in ms
    // since the epoch, one value column per channel). With segments, only
    // the thinned rows of the segments (first to last row of each): the
    // report's memory follows what it prints, not the length of the
    // project. All rows unthinned are shared with the page, not copied.
    static void prepare(const Tool::Struct_Parameters& project, const QVector<qint64>& times,
                        const QVector<QVector<double>>& columns, const QList<bool>& channelFlags,
                        const QString& printInterval, Tool::Struct_Parameters* projectCopy,
                        QVector<qint64>* timesCopy, QVector<QVector<double>>* columnsCopy,
                        const QList<QDateTime>& segmentStart = {}, const QList<QDateTime>& segmentEnd = {});
    static ReportData build(int decimals, const QList<bool>& flags, const Tool::Struct_Parameters& project,
                            const QVector<qint64>& times, const QVector<QVector<double>>& columns,
                            const QList<QDateTime>& segmentStart, const QList<QDateTime>& segmentEnd,
                            const QStringList& segmentRemarks);

    static ReportData build(int decimals, const QList<bool>& flags, const Tool::Struct_Parameters& project,
                            const QList<Tool::Struct_ParametersData>& rows, const QList<QDateTime>& segmentStart,
                            const QList<QDateTime>& segmentEnd, const QStringList& segmentRemarks);

    // Compact form, filled by `buildCompact` instead of `rows`: the caller's
    // vectors are shared, not copied, so a day of scans costs the report no
    // second copy. `row(r)` makes one record at a time.
    bool compact = false;
    QVector<qint64> times;            // ms since the epoch
    QVector<QVector<double>> columns; // one per kept channel
    QVector<int> leftColumns, rightColumns;

    static ReportData buildCompact(int decimals, const QList<bool>& flags, const Tool::Struct_Parameters& project,
                                   const QVector<qint64>& times, const QVector<QVector<double>>& columns,
                                   const QList<QDateTime>& segmentStart, const QList<QDateTime>& segmentEnd,
                                   const QStringList& segmentRemarks);
    int rowCount() const { return compact ? times.size() : rows.size(); }
    ReportRow row(int r) const;
    // Value of channel c (group order) of a unit group in row r, either form.
    double groupValue(int r, bool left, int c) const;
    // "MM-dd hh:mm:ss.zzz" of a scan time (ms since the epoch), local time.
    static QString timeText(qint64 ms);

    int segmentCount() const { return segmentStartRows.size(); }
    // Rows of segment s (end − start + 1; 0 when the report has no rows).
    int segmentRows(int s) const;
    // Kept channels of device d (1-based): the channel labels beginning with d + "-".
    int deviceChannelCount(int d) const;
    // A value with the report's decimals; empty for a value that is no number.
    QString number(double v) const;
};

// "MM-dd hh:mm:ss.zzz" of scan times in local time, fast: the zone offset is
// looked up once per quarter hour (per time where it changes inside one),
// not once per row. One object per thread.
// Local wall-clock milliseconds of an instant. The zone's offset is looked
// up once per quarter hour (the finest step zones change by), and per instant
// only inside a quarter hour where it changes: a week of rows makes 672
// lookups instead of 604,800.
class LocalClock
{
public:
    qint64 localMs(qint64 ms);

private:
    qint64 m_bucket = std::numeric_limits<qint64>::min();
    qint64 m_offsetMs = 0;
    bool m_changes = false;
};

class ScanTimeText
{
public:
    QString operator()(qint64 ms);
    // The same text into `out` (at least 19 bytes with its terminating zero).
    void write(qint64 ms, char* out, int size);

private:
    LocalClock m_clock;
};

// The statistics both writers print, and their texts.
class ReportStats
{
    Q_DECLARE_TR_FUNCTIONS(ReportStats)
public:
    // Start and end row of every segment over rows in time order: the first
    // row at or after the start, the first at or after the end; a trailing
    // segment past the last row gets the last row.
    static void segmentRows(const QList<QDateTime>& rowTimes, const QList<QDateTime>& starts,
                            const QList<QDateTime>& ends, QList<int>* startRows, QList<int>* endRows);

    struct Channel
    {
        double maximum = 0, minimum = 0, average = 0, deviation = 0;
    };
    struct Vertical
    {
        QList<Channel> channels;
        int minAverageAt = 0, maxAverageAt = 0, maxMaximumAt = 0, minMinimumAt = 0;
        double minAverage = 0, maxAverage = 0, maxMaximum = 0, minMinimum = 0, overall = 0;
    };
    // Per channel of a group over rows first … last, and the group summary.
    // `left` picks the group's values in the row records.
    static Vertical vertical(const QList<ReportRow>& rows, int first, int last, bool left, int channels);
    // The same over either form of the report's rows, all channels of the group.
    static Vertical vertical(const ReportData& data, int first, int last, bool left);
    // Segment rows over scan times in ms since the epoch.
    static void segmentRows(const QVector<qint64>& rowTimes, const QList<QDateTime>& starts,
                            const QList<QDateTime>& ends, QList<int>* startRows, QList<int>* endRows);

    struct Horizontal
    {
        double maximum = 0, minimum = 0, mean = 0, deviation = 0;
        int maximumAt = 0, minimumAt = 0;
    };
    static Horizontal horizontal(const QList<double>& values);

    // Texts of one table row (numbers with the report's decimals).
    static QStringList horizontalRow(const ReportData& data, const ReportRow& row, bool left);
    static QStringList verticalRow(const ReportData& data, const QString& label, const Channel& c);
    static QStringList horizontalHeaders(const QString& quantity);
    static QStringList verticalHeaders(const QString& quantity);
    // Summary block of the vertical table: five rows of (label, value, label, value).
    static QList<QStringList> verticalSummary(const ReportData& data, const Vertical& v, bool left);
    // Table names of the overview for the flags set.
    static QStringList tableNames(const QList<bool>& flags, const QString& leftQuantity,
                                  const QString& rightQuantity);
    // The cover's note on channels of further units when an analysis table
    // is in the report; empty otherwise.
    static QString otherUnitsNote(const ReportData& data);
};
