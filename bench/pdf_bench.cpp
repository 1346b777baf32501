// PDF report of a long project at 1 s, data table only, as the report page
// hands it over: the page holds the project's compact rows (times and one
// value column per channel); the report thread copies the rows its segment
// prints (ReportData::prepare) and writes them while the GUI thread runs a
// 5 ms timer. Two reports in one run: the first day in full (the reference)
// and the segment asked for. Prints wall and CPU time, pages/s, resident
// memory above the page's rows at 10 % and 100 % of the pages and its peak,
// and the event loop's worst lateness.
//
// QT_QPA_PLATFORM=offscreen ./pdf_bench [channels=10] [rows=86400] [printed seconds=all] [out.pdf]
// (10 channels make one block: 86,400 rows at 25 a page are 3,459 pages;
// 25 channels take three blocks, 10,373 pages. `pdf_bench 10 604800 3600`
// prints an hour from the middle of a week.)

#include "PdfLayout.h"
#include "ReportData.h"
#include "VerificationReportPDF.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <malloc.h>

namespace {

long statusKb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    const QList<QByteArray> lines = status.readAll().split('\n');
    for (const QByteArray& line : lines)
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').first().toLong();
    return -1;
}

// Linux: the peak resident size starts again from the current one.
void resetPeak()
{
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    if (refs.open(QIODevice::WriteOnly))
        refs.write("5");
}

double processCpuS()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

struct Page
{
    Tool::Struct_Parameters project;
    QVector<qint64> times;
    QVector<QVector<double>> columns;
};

// One report of rows first … last of the page's project.
bool report(QGuiApplication& app, const Page& page, int first, int last, const QString& out, const char* what)
{
    malloc_trim(0);
    resetPeak();
    const long baseKb = statusKb("VmRSS:");
    const QList<QDateTime> starts{QDateTime::fromMSecsSinceEpoch(page.times.at(first))};
    const QList<QDateTime> ends{QDateTime::fromMSecsSinceEpoch(page.times.at(last))};
    std::atomic<long> rssAt10{0}, hwmAt10{0};
    std::atomic<int> pages{0}, total{0};
    std::atomic<bool> ok{false};
    double prepareS = 0, writeS = 0, cpuS = 0;
    long preparedKb = 0;
    QThread* worker = QThread::create([&] {
        QElapsedTimer w;
        w.start();
        const double cpu0 = processCpuS();
        // As the report page's worker does.
        Tool::Struct_Parameters project;
        QVector<qint64> times;
        QVector<QVector<double>> columns;
        ReportData::prepare(page.project, page.times, page.columns, {}, QStringLiteral("1"), &project, &times,
                            &columns, starts, ends);
        VerificationReportPDF pdf(out);
        pdf.setData(2, {true, false, false, false, false}, project, times, columns, starts, ends,
                    {QStringLiteral("全程")});
        times.clear();
        columns.clear();
        prepareS = w.elapsed() / 1000.0;
        preparedKb = statusKb("VmRSS:");
        total = pdf.pageTotal();
        pdf.setProgress([&](qint64 done, qint64 all) {
            if (rssAt10 == 0 && done * 10 >= all) {
                rssAt10 = statusKb("VmRSS:");
                hwmAt10 = statusKb("VmHWM:");
            }
        });
        bool r = pdf.writeHome() && pdf.writeTables();
        if (r) {
            QImage chart(1200, 500, QImage::Format_RGB32);
            chart.fill(Qt::white);
            r = pdf.writeChart(chart);
        }
        pages = pdf.pageNumber();
        ok = pdf.finish() && r;
        writeS = w.elapsed() / 1000.0 - prepareS;
        cpuS = processCpuS() - cpu0;
    });

    // GUI thread: how late does a 5 ms timer fire while the worker writes?
    QElapsedTimer tick;
    qint64 worstMs = 0, ticks = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        if (tick.isValid()) {
            worstMs = std::max<qint64>(worstMs, tick.elapsed() - 5);
            ++ticks;
        }
        tick.start();
    });
    QObject::connect(worker, &QThread::finished, &app, &QCoreApplication::quit);
    timer.start(5);
    worker->start();
    app.exec();
    worker->wait();
    delete worker;

    const long endRss = statusKb("VmRSS:");
    const long endHwm = statusKb("VmHWM:");
    std::printf("%s: rows %d … %d (%d printed)\n", what, first, last, last - first + 1);
    std::printf("  result %s, %d pages (printed total %d), file %.1f MB\n", ok ? "ok" : "FAILED", pages.load(),
                total.load(), QFileInfo(out).size() / 1048576.0);
    std::printf("  copy for the segment and ReportData %.2f s; write %.2f s wall, %.2f s CPU, %.0f pages/s\n",
                prepareS, writeS, cpuS, writeS > 0 ? pages / writeS : 0.0);
    std::printf("  RSS above the page's rows (%ld MB): prepared %+ld MB, at 10%% of pages %+ld MB, at 100%% %+ld MB, "
                "peak %+ld MB (peak at 10%% %+ld MB)\n",
                baseKb / 1024, (preparedKb - baseKb) / 1024, (rssAt10.load() - baseKb) / 1024,
                (endRss - baseKb) / 1024, (endHwm - baseKb) / 1024, (hwmAt10.load() - baseKb) / 1024);
    std::printf("  GUI thread: worst timer lateness %lld ms over %lld ticks of 5 ms\n", worstMs, ticks);
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    const int channels = argc > 1 ? atoi(argv[1]) : 10;
    const int rowCount = std::max(2, argc > 2 ? atoi(argv[2]) : 86400);
    const int printed = std::min(rowCount, argc > 3 && atoi(argv[3]) > 0 ? atoi(argv[3]) + 1 : rowCount);
    const QString out = argc > 4 ? QString::fromLocal8Bit(argv[4]) : QDir::temp().filePath("pdf_bench.pdf");

    const long startKb = statusKb("VmRSS:");
    Page page;
    Tool::Struct_Parameters& project = page.project;
    project.Name = QStringLiteral("基准项目");
    project.Time = QStringLiteral("2026-12-10 00:00:00");
    project.ScanInterval = QStringLiteral("1");
    project.DeviceMode << QStringLiteral("ARQ-310MX");
    project.SerialNumber << QStringLiteral("SN0001");
    project.ChannelConfig << QStringLiteral("默认");
    for (int c = 0; c < channels; ++c) {
        project.Channel << QStringLiteral("1-CH%1").arg(101 + c);
        project.Unit << QStringLiteral("℃");
    }
    const QDateTime t0 = QDateTime::fromString(QStringLiteral("2026-12-10 00:00:00"), Qt::ISODate);
    const qint64 ms0 = t0.toMSecsSinceEpoch();
    page.times.resize(rowCount);
    page.columns = QVector<QVector<double>>(channels, QVector<double>(rowCount));
    for (int r = 0; r < rowCount; ++r) {
        page.times[r] = ms0 + 1000LL * r;
        for (int c = 0; c < channels; ++c)
            page.columns[c][r] = 25.0 + c * 0.1 + 3.0 * std::sin(r / 600.0 + c);
    }
    std::printf("pdf_bench: %d channels x %d rows held by the page (%ld MB above the start)\n", channels, rowCount,
                (statusKb("VmRSS:") - startKb) / 1024);
    bool ok = report(app, page, 0, std::min(rowCount, 86400) - 1, out, "reference, the first day in full");
    const int first = (rowCount - printed) / 2;
    ok = report(app, page, first, first + printed - 1, out,
                printed == rowCount ? "the whole project" : "the segment from the middle") && ok;
    return ok ? 0 : 1;
}
