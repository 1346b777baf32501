// Live result and statistics tabs over a long run.
//
//   acquisition_bench [scans] [projects] [nochart]
//   (defaults 86400 = one day at 1 s, 1 project; "nochart" leaves the chart
//   out to separate the tables' share)
//
// 48 channels (three 16-channel loggers; 32 in ℃ and 16 in mV) are fed
// synthetic scans offscreen through ParametersChart and ParametersStatistics,
// split into 1 or 3 projects. Both tabs are shown side by side so every scan
// repaints both. Prints the median cost of one scan (tables, chart,
// statistics, event processing and a synchronous repaint) around scan 1,000
// and at the last scan, as CPU time of the GUI thread (the machine is shared,
// so wall time mostly measures the neighbours) and as wall time, and the
// resident memory at the end. The hours in between are fed an hour at a time
// through the tabs' catch-up path, which keeps every scan as well.
#include "LiveChart.h"
#include "ParametersChart.h"
#include "ParametersStatistics.h"
#include "SystemContext.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHBoxLayout>
#include <QRegularExpression>
#include <QTabWidget>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <vector>

namespace {

constexpr int Channels = 48;

long residentKiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QString text = QString::fromLatin1(f.readAll());
    const auto m = QRegularExpression(QStringLiteral("VmRSS:\\s*(\\d+)")).match(text);
    return m.hasMatch() ? m.captured(1).toLong() : -1;
}

struct Project
{
    std::unique_ptr<QWidget> window;
    ParametersChart* chart = nullptr;
    ParametersStatistics* statistics = nullptr;
    QList<int> channels; // positions in the 48-channel scan
};

// A chart that draws nothing.
struct NoChart : LiveChart
{
    explicit NoChart(QWidget* parent) : view(new QWidget(parent)) {}
    QWidget* widget() override { return view; }
    void setSeries(const QStringList&, const QString&, const QString&, const QList<bool>&) override {}
    void addPoints(const QDateTime&, const QVector<double>&) override {}
    void addScans(const QVector<qint64>&, const QVector<QVector<double>>&) override {}
    void initRanges(const QDateTime&, const QVector<double>&) override {}
    QColor seriesColor(int) const override { return Qt::black; }
    void showSeries(int) override {}
    void hideSeries(int) override {}
    QWidget* view;
};

double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int scans = argc > 1 ? std::max(2000, atoi(argv[1])) : 86400;
    const int projectCount = argc > 2 ? std::clamp(atoi(argv[2]), 1, 3) : 1;

    if (argc > 3 && QByteArray(argv[3]) == "nochart")
        LiveChart::setFactory([](QWidget* parent) { return new NoChart(parent); });

    SystemContext context;
    context.DataAccuracy = 3;
    for (int d = 0; d < 3; ++d) {
        Tool::Struct_AcquisitionDevice device;
        device.Number = d + 1;
        device.Mode = QStringLiteral("3107A-TC");
        device.SerialNumber = QStringLiteral("SN%1").arg(d + 1);
        context.AcquisitionDevice << device;
    }
    QList<ChosenChannel> all;
    for (int c = 0; c < Channels; ++c) {
        ChosenChannel e;
        e.DeviceIndex = c / 16;
        e.ProjectIndex = projectCount == 1 ? 0 : c / 16;
        e.ID = QStringLiteral("%1-%2").arg(c / 16 + 1).arg(101 + c % 16);
        e.Label = QStringLiteral("%1-CH%2").arg(c / 16 + 1).arg(101 + c % 16);
        e.Unit = (c % 3 == 2) ? QStringLiteral("mV") : QStringLiteral("℃");
        all << e;
    }

    std::vector<Project> projects(static_cast<size_t>(projectCount));
    for (int p = 0; p < projectCount; ++p) {
        Project& pr = projects[static_cast<size_t>(p)];
        QList<ChosenChannel> mine;
        QStringList labels, units;
        for (int c = 0; c < Channels; ++c) {
            if (all[c].ProjectIndex != p)
                continue;
            mine << all[c];
            labels << all[c].Label;
            units << all[c].Unit;
            pr.channels << c;
        }
        pr.window = std::make_unique<QWidget>();
        auto* layout = new QHBoxLayout(pr.window.get());
        pr.chart = new ParametersChart(pr.window.get());
        pr.statistics = new ParametersStatistics(pr.window.get());
        layout->addWidget(pr.chart);
        layout->addWidget(pr.statistics);
        pr.chart->setData(&context, mine);
        pr.statistics->setData(context.DataAccuracy, labels, units);
        pr.statistics->shareValues(pr.chart->model());
        pr.window->resize(1600, 900);
        pr.window->show();
    }
    app.processEvents();

    const QDateTime start(QDate(2026, 1, 1), QTime(0, 0));
    QVector<double> scan(Channels);
    std::vector<QVector<double>> parts(projects.size());
    for (size_t p = 0; p < projects.size(); ++p)
        parts[p].resize(projects[p].channels.size());

    auto values = [&](int i) {
        for (int c = 0; c < Channels; ++c)
            scan[c] = (c % 3 == 2 ? 4.0 : 100.0) + std::sin(i * 0.001 + c) * 2.0 +
                      ((i * 7 + c * 13) % 17) * 0.01;
    };
    // One scan through every project's tabs, then the event loop and a repaint.
    auto feed = [&](int i) {
        values(i);
        const QDateTime t = start.addSecs(i);
        for (size_t p = 0; p < projects.size(); ++p) {
            for (int k = 0; k < parts[p].size(); ++k)
                parts[p][k] = scan[projects[p].channels[k]];
            projects[p].chart->addData(t, parts[p]);
            projects[p].statistics->addData(t, parts[p]);
        }
        app.processEvents();
        for (auto& pr : projects)
            pr.window->repaint();
    };
    // Scans [from, to) in one batch per project.
    auto fill = [&](int from, int to) {
        QVector<QDateTime> times;
        std::vector<QVector<QVector<double>>> batches(projects.size());
        for (int i = from; i < to; ++i) {
            values(i);
            times << start.addSecs(i);
            for (size_t p = 0; p < projects.size(); ++p) {
                for (int k = 0; k < parts[p].size(); ++k)
                    parts[p][k] = scan[projects[p].channels[k]];
                batches[p] << parts[p];
            }
        }
        for (size_t p = 0; p < projects.size(); ++p) {
            projects[p].chart->addScans(times, batches[p]);
            projects[p].statistics->addScans(times, batches[p]);
        }
        app.processEvents();
    };

    const int window = 31;
    struct Cost
    {
        double cpu;
        double wall;
    };
    auto measure = [&](int from) {
        std::vector<double> cpu, wall;
        QElapsedTimer timer;
        for (int i = from; i < from + window; ++i) {
            timer.start();
            const double c0 = cpuMs();
            feed(i);
            cpu.push_back(cpuMs() - c0);
            wall.push_back(timer.nsecsElapsed() / 1e6);
        }
        return Cost{median(cpu), median(wall)};
    };

    std::printf("acquisition_bench: %d channels in %d project(s), %d scans, chart: %s\n", Channels,
                projectCount, scans, LiveChart::implementationName());
    QElapsedTimer total;
    total.start();
    const int early = 1000 - window / 2;
    for (int i = 0; i < early; i += 3600)
        fill(i, std::min(i + 3600, early));
    const Cost first = measure(early);
    const int lateStart = scans - window;
    for (int i = early + window; i < lateStart; i += 3600) {
        fill(i, std::min(i + 3600, lateStart));
        std::printf("  ... %d scans, %.0f s\n", std::min(i + 3600, lateStart), total.elapsed() / 1000.0);
        std::fflush(stdout);
    }
    const Cost last = measure(lateStart);
    // ACQ_BENCH_PROFILE=n keeps scanning n more windows at the end, for a profiler.
    for (int k = 0, n = qEnvironmentVariableIntValue("ACQ_BENCH_PROFILE"); k < n; ++k)
        measure(scans + k * window);
    const double mb = residentKiB() / 1024.0;

    std::printf("cost per scan at scan 1,000:  %.2f ms CPU, %.2f ms wall\n", first.cpu, first.wall);
    std::printf("cost per scan at scan %d: %.2f ms CPU, %.2f ms wall (CPU %.2fx)\n", scans,
                last.cpu, last.wall, first.cpu > 0 ? last.cpu / first.cpu : 0.0);
    std::printf("resident memory after %d scans: %.1f MB\n", scans, mb);
    std::printf("goals (CPU): late <= 1.5x early and <= 30 ms; memory < 600 MB -> %s\n",
                (last.cpu <= 1.5 * first.cpu && last.cpu <= 30.0 && mb < 600) ? "met" : "NOT met");
    std::printf("total time %.0f s\n", total.elapsed() / 1000.0);
    return 0;
}
