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
// shares one list of scan times between all its lines. The values may live
// outside too: a live chart reads them from its table, which keeps every
// scan anyway, so a week of 48 lines is held once and not twice.
//
// Only runs of 2^StoredLevel values and longer are kept (24 bytes a run, its
// extremes and their indexes: 3 bytes a value); the finer levels a window may need are worked
// out from the values when it is drawn, which costs at most
// 2^StoredLevel × buckets reads.
class SeriesValues
{
public:
    virtual ~SeriesValues() = default;
    // Value `index` of line `line`; NaN when there is none.
    virtual double seriesValue(int line, int index) const = 0;
};

class SeriesBuffer
{
public:
    // Smallest run length used; shorter windows are drawn point by point.
    static constexpr int FirstLevel = 2;
    // Smallest run length kept between draws.
    static constexpr int StoredLevel = 4;

    void clear();
    void reserve(int size);
    // In a shared buffer the value is already in the source at index size().
    void append(double value);
    // Owns its values again.
    void assign(const QVector<double>& values);
    // Reads line `line` of `source` instead of keeping values; clears the buffer.
    void share(const SeriesValues* source, int line);

    int size() const { return m_size; }
    double at(int index) const
    {
        return m_source ? m_source->seriesValue(m_line, index) : m_values.at(index);
    }

    // Points of the window x0 … x1 (plus the neighbour on each side, so the
    // line reaches the edges), at most 2 × buckets of them. Full resolution
    // when the window holds no more than 2 × buckets values; otherwise the
    // minimum and maximum of each run of the coarsest level that still
    // spreads the window over no more than `buckets` runs. Non-finite values
    // are never drawn. times must be ascending and hold at least size()
    // entries for the window to be exact; only the first
    // min(size(), times.size()) values are used.
    // thinned, when given, says whether the window was thinned.
    QVector<QPointF> window(const QVector<qint64>& times, double x0, double x1,
                            int buckets, bool* thinned = nullptr) const;

    // Heap memory held, for the benchmark.
    qint64 bytes() const;

private:
    struct Run
    {
        qint32 low = -1;   // index of the minimum, -1 when the run has no finite value
        qint32 high = -1;  // index of the maximum
        // The extremes themselves, kept beside their indexes: a week of
        // values is far out of the cache, and thinning reads them for every
        // line on every scan.
        double lowValue = 0.0;
        double highValue = 0.0;
    };

    void addToRun(Run& run, int index, double value) const;
    Run merged(const Run& left, const Run& right) const;
    void growLevels();
    // Run b of level k (below StoredLevel), from the values.
    Run computedRun(int k, int b) const;

    QVector<double> m_values;        // empty when shared
    const SeriesValues* m_source = nullptr;
    int m_line = 0;
    int m_size = 0;
    QVector<QVector<Run>> m_levels;  // m_levels[i] is level StoredLevel + i
};
