// Cost of one live scan on a trend chart of 48 channels as a run grows, and
// the memory the chart holds after a day at a 1 s interval.
//
// Run offscreen: QT_QPA_PLATFORM=offscreen ./chart_bench

#include "ChartView.h"
#include "nLineSeries.h"

#include <QApplication>
#include <QtCharts/QChart>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QPixmap>
#include <QRandomGenerator>
#include <QTextStream>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>

namespace {

const int Channels = 48;

QVector<double> scanValues(int scan)
{
    QVector<double> values(Channels);
    for (int c = 0; c < Channels; ++c) {
        const double base = c < Channels / 2 ? 25.0 + c * 0.2 : 100.0 + c;
        values[c] = base + 3.0 * std::sin(scan / 600.0 + c)
                  + QRandomGenerator::global()->generateDouble() * 0.2;
    }
    return values;
}

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QStringList lines = QString::fromLatin1(status.readAll()).split(QLatin1Char('\n'));
    for (const QString& line : lines)
        if (line.startsWith(QLatin1String("VmRSS:")))
            return line.mid(6).trimmed().split(QLatin1Char(' ')).first().toLong();
    return -1;
}

// CPU time of this thread: the machine is shared, so wall time mostly
// measures the neighbours.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                      : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const long startKb = residentKb();

    ChartView view;
    QStringList labels;
    QList<bool> flags;
    for (int c = 0; c < Channels; ++c) {
        labels << QStringLiteral("1-CH%1").arg(101 + c);
        flags << (c < Channels / 2);
    }
    view.setSeries(labels, QStringLiteral("℃"), QStringLiteral("Ω"), flags);
    view.resize(1280, 600);
    view.show();
    QApplication::processEvents();

    const qint64 t0 = QDateTime::fromString(QStringLiteral("2026-01-05 10:00:00"),
                                            QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                          .toMSecsSinceEpoch();
    int scan = 0;
    const auto fillTo = [&](int target) {
        const int chunk = 4096;
        while (scan < target) {
            const int n = std::min(chunk, target - scan);
            QVector<qint64> times(n);
            QVector<QVector<double>> rows(n);
            for (int i = 0; i < n; ++i) {
                times[i] = t0 + qint64(scan + i) * 1000;
                rows[i] = scanValues(scan + i);
            }
            if (scan == 0)
                view.initRanges(QDateTime::fromMSecsSinceEpoch(t0), rows.first().toList());
            view.appendScans(times, rows);
            scan += n;
        }
        view.grab();
    };

    std::printf("chart_bench: %d channels, view %dx%d, plot width %d px, %d buckets\n", Channels,
                view.width(), view.height(), int(view.chart()->plotArea().width()),
                view.drawBuckets());
    std::printf("per scan, median of %d scans (CPU ms of the GUI thread, and wall ms)\n",
                31);
    std::printf("%8s %10s %10s %10s %12s %12s\n", "scan", "append", "repaint", "total",
                "total wall", "points/line");
    const int samples = 31;
    QMap<int, double> totals;
    for (int at : {1000, 2000, 10000, 86400}) {
        fillTo(at - samples);
        QVector<double> append, paint, total, wall;
        for (int s = 0; s < samples; ++s) {
            QElapsedTimer timer;
            timer.start();
            const double c0 = cpuMs();
            view.appendScan(QDateTime::fromMSecsSinceEpoch(t0 + qint64(scan) * 1000),
                            scanValues(scan));
            const double c1 = cpuMs();
            QPixmap picture = view.grab();
            const double c2 = cpuMs();
            wall << timer.nsecsElapsed() / 1e6;
            ++scan;
            append << c1 - c0;
            paint << c2 - c1;
            total << c2 - c0;
        }
        for (QVector<double>* v : {&append, &paint, &total, &wall})
            std::sort(v->begin(), v->end());
        totals[at] = total.at(samples / 2);
        std::printf("%8d %10.2f %10.2f %10.2f %12.2f %12d\n", scan, append.at(samples / 2),
                    paint.at(samples / 2), total.at(samples / 2), wall.at(samples / 2),
                    view.series(0) ? view.series(0)->count() : 0);
    }

    std::printf("cost at 86400 / cost at 1000: %.2f\n", totals[86400] / totals[1000]);

    qint64 bufferBytes = view.scanTimes().size() * qint64(sizeof(qint64));
    for (int c = 0; c < view.seriesCount(); ++c)
        bufferBytes += view.buffer(c).bytes();
    const long endKb = residentKb();
    std::printf("VmRSS after %d scans: %ld kB (%.1f MB); at start %ld kB; chart buffers %.1f MB\n",
                scan, endKb, endKb / 1024.0, startKb, bufferBytes / 1048576.0);
    return 0;
}
