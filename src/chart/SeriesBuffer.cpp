#include "SeriesBuffer.h"

#include <algorithm>
#include <cmath>

void SeriesBuffer::clear()
{
    m_values.clear();
    m_levels.clear();
    m_size = 0;
}

void SeriesBuffer::reserve(int size)
{
    if (!m_source)
        m_values.reserve(size);
}

void SeriesBuffer::share(const SeriesValues* source, int line)
{
    clear();
    m_values.squeeze();
    m_source = source;
    m_line = line;
}

void SeriesBuffer::addToRun(Run& run, int index, double v) const
{
    if (!std::isfinite(v))
        return;
    if (run.low < 0 || v < run.lowValue) {
        run.low = index;
        run.lowValue = v;
    }
    if (run.high < 0 || v > run.highValue) {
        run.high = index;
        run.highValue = v;
    }
}

SeriesBuffer::Run SeriesBuffer::merged(const Run& left, const Run& right) const
{
    Run r = left;
    if (right.low >= 0 && (r.low < 0 || right.lowValue < r.lowValue)) {
        r.low = right.low;
        r.lowValue = right.lowValue;
    }
    if (right.high >= 0 && (r.high < 0 || right.highValue > r.highValue)) {
        r.high = right.high;
        r.highValue = right.highValue;
    }
    return r;
}

SeriesBuffer::Run SeriesBuffer::computedRun(int k, int b) const
{
    Run run;
    const int end = std::min((b + 1) << k, m_size);
    for (int i = b << k; i < end; ++i)
        addToRun(run, i, at(i));
    return run;
}

// A level exists once the values fill more than one of its runs; a new level
// is built from the one below it, which at that moment holds two runs.
void SeriesBuffer::growLevels()
{
    const int n = m_size;
    while (n > (1 << (StoredLevel + m_levels.size()))) {
        const int k = StoredLevel + m_levels.size();
        QVector<Run> level;
        if (m_levels.isEmpty()) {
            level.resize(((n - 1) >> k) + 1);
            for (int i = 0; i < n; ++i)
                addToRun(level[i >> k], i, at(i));
        } else {
            const QVector<Run>& below = m_levels.constLast();
            level.resize((below.size() + 1) / 2);
            for (int b = 0; b < below.size(); ++b)
                level[b / 2] = (b % 2 == 0) ? below.at(b) : merged(level.at(b / 2), below.at(b));
        }
        m_levels.append(level);
    }
}

void SeriesBuffer::append(double value)
{
    const int index = m_size;
    if (!m_source)
        m_values.append(value);
    ++m_size;
    for (int l = 0; l < m_levels.size(); ++l) {
        QVector<Run>& level = m_levels[l];
        const int b = index >> (StoredLevel + l);
        if (b == level.size())
            level.append(Run());
        addToRun(level[b], index, value);
    }
    growLevels();
}

void SeriesBuffer::assign(const QVector<double>& values)
{
    m_levels.clear();
    m_source = nullptr;
    m_values = values;
    m_size = values.size();
    growLevels();
}

qint64 SeriesBuffer::bytes() const
{
    qint64 total = qint64(m_values.capacity()) * qint64(sizeof(double));
    for (const QVector<Run>& level : m_levels)
        total += qint64(level.capacity()) * qint64(sizeof(Run));
    return total;
}

QVector<QPointF> SeriesBuffer::window(const QVector<qint64>& times, double x0, double x1,
                                      int buckets, bool* thinned) const
{
    QVector<QPointF> out;
    if (thinned)
        *thinned = false;
    const int n = std::min(m_size, times.size());
    if (n == 0 || !(x0 <= x1))
        return out;
    buckets = std::max(buckets, 2);

    // One neighbour outside the window on each side keeps the line running
    // to the plot edges.
    const auto begin = times.constBegin();
    const auto end = begin + n;
    int first = int(std::lower_bound(begin, end, x0,
                                     [](qint64 t, double x) { return double(t) < x; }) - begin) - 1;
    int last = int(std::upper_bound(begin, end, x1,
                                    [](double x, qint64 t) { return x < double(t); }) - begin);
    first = std::max(first, 0);
    last = std::min(last, n - 1);
    if (first > last)
        return out;

    const int count = last - first + 1;
    if (count <= 2 * buckets) {
        out.reserve(count);
        for (int i = first; i <= last; ++i) {
            const double v = at(i);
            if (std::isfinite(v))
                out.append(QPointF(double(times.at(i)), v));
        }
        return out;
    }

    if (thinned)
        *thinned = true;
    // The coarsest run length 2^k (k >= FirstLevel, and a level the values
    // fill more than one run of) that spreads the window over at most
    // `buckets` runs.
    int k = FirstLevel;
    while ((1 << (k + 1)) < n && (last >> k) - (first >> k) + 1 > buckets)
        ++k;
    const QVector<Run>* level = k >= StoredLevel ? &m_levels.at(k - StoredLevel) : nullptr;
    const int bLast = std::min(last >> k, ((n - 1) >> k));
    out.reserve(2 * (bLast - (first >> k) + 1));
    for (int b = first >> k; b <= bLast; ++b) {
        const Run r = level ? level->at(b) : computedRun(k, b);
        if (r.low < 0)
            continue;
        const bool lowFirst = r.low <= r.high;
        const int a = lowFirst ? r.low : r.high;
        const int c = lowFirst ? r.high : r.low;
        if (a < n)
            out.append(QPointF(double(times.at(a)), lowFirst ? r.lowValue : r.highValue));
        if (c != a && c < n)
            out.append(QPointF(double(times.at(c)), lowFirst ? r.highValue : r.lowValue));
    }
    return out;
}
