#include "SeriesBuffer.h"

#include <algorithm>
#include <cmath>

void SeriesBuffer::clear()
{
    m_values.clear();
    m_levels.clear();
}

void SeriesBuffer::reserve(int size)
{
    m_values.reserve(size);
}

void SeriesBuffer::addToRun(Run& run, int index) const
{
    const double v = m_values.at(index);
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

// A level exists once the values fill more than one of its runs; a new level
// is built from the one below it, which at that moment holds two runs.
void SeriesBuffer::growLevels()
{
    const int n = m_values.size();
    while (n > (1 << (FirstLevel + m_levels.size()))) {
        const int k = FirstLevel + m_levels.size();
        QVector<Run> level;
        if (m_levels.isEmpty()) {
            level.resize(((n - 1) >> k) + 1);
            for (int i = 0; i < n; ++i)
                addToRun(level[i >> k], i);
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
    const int index = m_values.size();
    m_values.append(value);
    for (int l = 0; l < m_levels.size(); ++l) {
        QVector<Run>& level = m_levels[l];
        const int b = index >> (FirstLevel + l);
        if (b == level.size())
            level.append(Run());
        addToRun(level[b], index);
    }
    growLevels();
}

void SeriesBuffer::assign(const QVector<double>& values)
{
    m_levels.clear();
    m_values = values;
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
                                      int buckets) const
{
    QVector<QPointF> out;
    const int n = std::min(m_values.size(), times.size());
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
            const double v = m_values.at(i);
            if (std::isfinite(v))
                out.append(QPointF(double(times.at(i)), v));
        }
        return out;
    }

    int l = 0;
    while (l + 1 < m_levels.size()
           && (last >> (FirstLevel + l)) - (first >> (FirstLevel + l)) + 1 > buckets)
        ++l;
    if (m_levels.isEmpty())
        return out;  // cannot happen: count > 4 means level FirstLevel exists
    const QVector<Run>& level = m_levels.at(l);
    const int k = FirstLevel + l;
    const int bLast = std::min(last >> k, level.size() - 1);
    out.reserve(2 * (bLast - (first >> k) + 1));
    for (int b = first >> k; b <= bLast; ++b) {
        const Run& r = level.at(b);
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
