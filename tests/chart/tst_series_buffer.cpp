#include "SeriesBuffer.h"

#include <QRandomGenerator>
#include <QtTest>

#include <cmath>
#include <limits>

namespace {

QVector<qint64> timesFor(int n, qint64 step = 1000)
{
    QVector<qint64> t(n);
    for (int i = 0; i < n; ++i)
        t[i] = 1000000 + qint64(i) * step;
    return t;
}

QVector<double> noisy(int n, quint32 seed)
{
    QRandomGenerator random(seed);
    QVector<double> v(n);
    for (int i = 0; i < n; ++i)
        v[i] = 20.0 + 5.0 * std::sin(i / 50.0) + random.generateDouble();
    return v;
}

// The thinning rule written out naively: window by linear search, the
// coarsest run length 2^k (k >= 2) that spreads it over at most `buckets`
// runs, each run's earliest minimum and maximum in index order.
QVector<QPointF> reference(const QVector<double>& v, const QVector<qint64>& t, double x0,
                           double x1, int buckets)
{
    QVector<QPointF> out;
    const int n = std::min(v.size(), t.size());
    int first = 0;
    while (first < n && double(t[first]) < x0)
        ++first;
    int last = n - 1;
    while (last >= 0 && double(t[last]) > x1)
        --last;
    first = std::max(first - 1, 0);
    last = std::min(last + 1, n - 1);
    if (n == 0 || first > last)
        return out;
    if (last - first + 1 <= 2 * buckets) {
        for (int i = first; i <= last; ++i)
            if (std::isfinite(v[i]))
                out.append(QPointF(t[i], v[i]));
        return out;
    }
    int k = SeriesBuffer::FirstLevel;
    while ((last >> k) - (first >> k) + 1 > buckets && (1 << (k + 1)) < n)
        ++k;
    for (int b = first >> k; b <= (last >> k); ++b) {
        int lo = -1, hi = -1;
        for (int i = b << k; i < std::min((b + 1) << k, n); ++i) {
            if (!std::isfinite(v[i]))
                continue;
            if (lo < 0 || v[i] < v[lo])
                lo = i;
            if (hi < 0 || v[i] > v[hi])
                hi = i;
        }
        if (lo < 0)
            continue;
        out.append(QPointF(t[std::min(lo, hi)], v[std::min(lo, hi)]));
        if (lo != hi)
            out.append(QPointF(t[std::max(lo, hi)], v[std::max(lo, hi)]));
    }
    return out;
}

} // namespace

class TestSeriesBuffer : public QObject
{
    Q_OBJECT
private slots:
    void thinning_data();
    void thinning();
    void incrementalEqualsBulk();
    void fullResolutionWhenZoomedIn();
    void zoomWindowStaysNearWindow();
    void nonFiniteValuesAreGaps();
    void emptyAndShortInputs();
};

void TestSeriesBuffer::thinning_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("buckets");
    QTest::addColumn<bool>("plateaus");
    QTest::newRow("few points, raw") << 50 << 100 << false;
    QTest::newRow("exactly two per bucket") << 200 << 100 << false;
    QTest::newRow("just over raw") << 201 << 100 << false;
    QTest::newRow("one hour") << 3600 << 530 << false;
    QTest::newRow("one day") << 86400 << 530 << false;
    QTest::newRow("odd sizes") << 99999 << 37 << false;
    // Whole-degree readings tie all the time: the earliest extreme must win
    // however the runs were merged.
    QTest::newRow("ties") << 20000 << 100 << true;
}

// Whole-run window: bounded size, global extremes kept, same as the naive rule.
void TestSeriesBuffer::thinning()
{
    QFETCH(int, n);
    QFETCH(int, buckets);
    QFETCH(bool, plateaus);
    QVector<double> values = noisy(n, quint32(n));
    if (plateaus)
        for (double& v : values)
            v = std::floor(v);
    // Plant single-sample spikes: thinning must never lose them.
    values[n / 3] = 1000;
    values[(2 * n) / 3] = -1000;
    const QVector<qint64> times = timesFor(n);
    SeriesBuffer buffer;
    for (double v : values)
        buffer.append(v);

    const double lo = -std::numeric_limits<double>::max();
    const double hi = std::numeric_limits<double>::max();
    const QVector<QPointF> out = buffer.window(times, lo, hi, buckets);
    QVERIFY(out.size() <= 2 * buckets);
    QVERIFY(out.size() >= std::min(n, buckets / 2));
    QVERIFY(out.contains(QPointF(times[n / 3], 1000)));
    QVERIFY(out.contains(QPointF(times[(2 * n) / 3], -1000)));
    for (int i = 1; i < out.size(); ++i)
        QVERIFY(out[i].x() > out[i - 1].x());
    QCOMPARE(out, reference(values, times, lo, hi, buckets));
    SeriesBuffer bulk;
    bulk.assign(values);
    QCOMPARE(bulk.window(times, lo, hi, buckets), out);
}

// Appending one value at a time builds the same thinning as loading the run
// at once, at every length along the way.
void TestSeriesBuffer::incrementalEqualsBulk()
{
    const int n = 5000;
    const QVector<double> values = noisy(n, 7);
    const QVector<qint64> times = timesFor(n);
    // A buffer reading its values from outside (a live table) thins alike.
    struct Source : SeriesValues
    {
        QVector<double> values;
        double seriesValue(int line, int index) const override
        {
            return line == 3 && index < values.size() ? values.at(index)
                                                      : std::numeric_limits<double>::quiet_NaN();
        }
    } source;
    SeriesBuffer incremental;
    SeriesBuffer shared;
    shared.share(&source, 3);
    for (int i = 0; i < n; ++i) {
        incremental.append(values[i]);
        source.values.append(values[i]);
        shared.append(values[i]);
        if (i % 611 != 0 && i != n - 1)
            continue;
        SeriesBuffer bulk;
        bulk.assign(values.mid(0, i + 1));
        const double lo = times.first(), hi = times[i];
        const double mid = times[i / 2];
        for (int buckets : {16, 100}) {
            QCOMPARE(incremental.window(times, lo, hi, buckets), bulk.window(times, lo, hi, buckets));
            QCOMPARE(shared.window(times, lo, hi, buckets), bulk.window(times, lo, hi, buckets));
            QCOMPARE(incremental.window(times, mid, hi, buckets),
                     reference(values.mid(0, i + 1), times, mid, hi, buckets));
        }
    }
}

void TestSeriesBuffer::fullResolutionWhenZoomedIn()
{
    const int n = 86400;
    const QVector<double> values = noisy(n, 3);
    const QVector<qint64> times = timesFor(n);
    SeriesBuffer buffer;
    buffer.assign(values);
    // 100 s of a day on a 500 px wide chart: every scan, plus one neighbour on each side.
    const int a = 40000, b = 40099;
    const QVector<QPointF> out = buffer.window(times, times[a], times[b], 250);
    QCOMPARE(out.size(), b - a + 3);
    QCOMPARE(out.first(), QPointF(times[a - 1], values[a - 1]));
    QCOMPARE(out.last(), QPointF(times[b + 1], values[b + 1]));
    // A window between two scans still gets the segment crossing it.
    const QVector<QPointF> between = buffer.window(times, times[a] + 100, times[a] + 900, 250);
    QCOMPARE(between.size(), 2);
}

void TestSeriesBuffer::zoomWindowStaysNearWindow()
{
    const int n = 86400;
    QVector<double> values = noisy(n, 5);
    values[30000] = 99;  // inside the window
    values[10] = 500;    // outside it
    const QVector<qint64> times = timesFor(n);
    SeriesBuffer buffer;
    buffer.assign(values);
    const int buckets = 100;
    const double x0 = times[20000], x1 = times[50000];
    const QVector<QPointF> out = buffer.window(times, x0, x1, buckets);
    QVERIFY(out.size() <= 2 * buckets);
    QVERIFY(out.contains(QPointF(times[30000], 99)));
    QVERIFY(!out.contains(QPointF(times[10], 500)));
    // Runs at the edges may reach past the window by less than one run.
    const double run = (x1 - x0) / (buckets / 2.0);
    QVERIFY(out.first().x() >= x0 - run);
    QVERIFY(out.last().x() <= x1 + run);
    QCOMPARE(out, reference(values, times, x0, x1, buckets));
}

void TestSeriesBuffer::nonFiniteValuesAreGaps()
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QVector<double> values = noisy(1000, 11);
    for (int i = 100; i < 200; ++i)
        values[i] = nan;
    values[500] = inf;
    values[501] = -inf;
    const QVector<qint64> times = timesFor(values.size());
    SeriesBuffer incremental;
    for (double v : values)
        incremental.append(v);
    SeriesBuffer bulk;
    bulk.assign(values);
    for (int buckets : {20, 1000}) {
        const QVector<QPointF> out = incremental.window(times, times.first(), times.last(), buckets);
        for (const QPointF& p : out)
            QVERIFY(std::isfinite(p.y()));
        QCOMPARE(out, bulk.window(times, times.first(), times.last(), buckets));
        QCOMPARE(out, reference(values, times, times.first(), times.last(), buckets));
    }
    // A window holding only gaps draws nothing.
    QVERIFY(bulk.window(times, times[120], times[180], 100).isEmpty());
}

void TestSeriesBuffer::emptyAndShortInputs()
{
    SeriesBuffer buffer;
    QVERIFY(buffer.window(timesFor(10), 0, 1e15, 10).isEmpty());
    buffer.append(1.0);
    QCOMPARE(buffer.window(timesFor(1), 0, 1e15, 10).size(), 1);
    QVERIFY(buffer.window(QVector<qint64>(), 0, 1e15, 10).isEmpty());
    // Fewer times than values: only values with a time are drawn.
    for (int i = 0; i < 99; ++i)
        buffer.append(i);
    QCOMPARE(buffer.window(timesFor(40), 0, 1e15, 100).size(), 40);
    QVERIFY(buffer.window(timesFor(40), 0, 1e15, 5).size() <= 10);
    // A reversed window is empty rather than wrong.
    QVERIFY(buffer.window(timesFor(100), 1e15, 0, 10).isEmpty());
    buffer.clear();
    QCOMPARE(buffer.size(), 0);
}

QTEST_GUILESS_MAIN(TestSeriesBuffer)
#include "tst_series_buffer.moc"
