#pragma once

#include <QPointF>
#include <QVector>

// All values of one chart line, plus a min/max pyramid over them so the chart
// can draw any time window with a bounded number of points.
//
// Level k of the pyramid splits the values into runs of 2^k consecutive
// indices and keeps, per run, the index of its smallest and of its largest
// finite value (earliest on ties). Appending updates one run per level, so
// the cost of a scan does not grow with the length of the run, and a window
// is thinned in time proportional to the number of buckets asked for.
//
// The x values (milliseconds since the epoch) live outside: a live chart
// shares one list of scan times between all its lines.
class SeriesBuffer
{
public:
    // Smallest run length used; shorter windows are drawn point by point.
    static constexpr int FirstLevel = 2;

    void clear();
    void reserve(int size);
    void append(double value);
    void assign(const QVector<double>& values);

    int size() const { return m_values.size(); }
    double at(int index) const { return m_values.at(index); }
    const QVector<double>& values() const { return m_values; }

    // Points of the window x0 … x1 (plus the neighbour on each side, so the
    // line reaches the edges), at most 2 × buckets of them. Full resolution
    // when the window holds no more than 2 × buckets values; otherwise the
    // minimum and maximum of each run of the coarsest level that still
    // spreads the window over no more than `buckets` runs. Non-finite values
    // are never drawn. times must be ascending and hold at least size()
    // entries for the window to be exact; only the first
    // min(size(), times.size()) values are used.
    QVector<QPointF> window(const QVector<qint64>& times, double x0, double x1,
                            int buckets) const;

    // Heap memory held, for the benchmark.
    qint64 bytes() const;

private:
    struct Run
    {
        qint32 low = -1;   // index of the minimum, -1 when the run has no finite value
        qint32 high = -1;  // index of the maximum
        // The extremes themselves, kept beside their indexes: a day of
        // values no longer fits in the cache, and thinning reads them for
        // every line on every scan.
        double lowValue = 0.0;
        double highValue = 0.0;
    };

    void addToRun(Run& run, int index) const;
    Run merged(const Run& left, const Run& right) const;
    void growLevels();

    QVector<double> m_values;
    QVector<QVector<Run>> m_levels;  // m_levels[i] is level FirstLevel + i
};
