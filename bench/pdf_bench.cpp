// PDF report of a day at 1 s: data table only, written on a worker thread
// while the GUI thread runs a 5 ms timer. Prints wall and CPU time, pages/s,
// resident memory at 10 % and 100 % of the pages, and the event loop's worst
// lateness.
//
// QT_QPA_PLATFORM=offscreen ./pdf_bench [channels=10] [rows=86400] [out.pdf]
// (10 channels make one block: 86,400 rows at 25 a page are 3,459 pages;
// 25 channels take three blocks, 10,373 pages.)

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

double processCpuS()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    const int channels = argc > 1 ? atoi(argv[1]) : 10;
    const int rowCount = argc > 2 ? atoi(argv[2]) : 86400;
    const QString out = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QDir::temp().filePath("pdf_bench.pdf");

    const long startKb = statusKb("VmRSS:");
    QElapsedTimer clock;
    clock.start();
    Tool::Struct_Parameters project;
    project.Name = QStringLiteral("基准项目");
    project.Time = QStringLiteral("2026-12-10 00:00:00");
    project.DeviceMode << QStringLiteral("ARQ-310MX");
    project.SerialNumber << QStringLiteral("SN0001");
    project.ChannelConfig << QStringLiteral("默认");
    for (int c = 0; c < channels; ++c) {
        project.Channel << QStringLiteral("1-CH%1").arg(101 + c);
        project.Unit << QStringLiteral("℃");
    }
    const QDateTime t0 = QDateTime::fromString(QStringLiteral("2026-12-10 00:00:00"), Qt::ISODate);
    // The report page's compact copies: times and one value column per channel.
    QVector<qint64> times(rowCount);
    QVector<QVector<double>> columns(channels, QVector<double>(rowCount));
    for (int r = 0; r < rowCount; ++r) {
        times[r] = t0.addSecs(r).toMSecsSinceEpoch();
        for (int c = 0; c < channels; ++c)
            columns[c][r] = 25.0 + c * 0.1 + 3.0 * std::sin(r / 600.0 + c);
    }
    ReportData data = ReportData::build(2, {true, false, false, false, false}, project, times, columns, {t0},
                                        {t0.addSecs(rowCount - 1)}, {QStringLiteral("全天")});
    times.clear();
    columns.clear();
    const double buildS = clock.elapsed() / 1000.0;
    const long dataKb = statusKb("VmRSS:");

    std::atomic<long> rssAt10{0}, hwmAt10{0};
    std::atomic<int> pages{0}, total{0};
    std::atomic<bool> ok{false};
    double writeS = 0, cpuS = 0;
    QThread* worker = QThread::create([&] {
        QElapsedTimer w;
        w.start();
        const double cpu0 = processCpuS();
        VerificationReportPDF pdf(out);
        pdf.setData(std::move(data));
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
        writeS = w.elapsed() / 1000.0;
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
    std::printf("pdf_bench: %d channels x %d rows, data table only\n", channels, rowCount);
    std::printf("  result %s, %d pages (printed total %d), file %.1f MB\n", ok ? "ok" : "FAILED",
                pages.load(), total.load(), QFileInfo(out).size() / 1048576.0);
    std::printf(
        "  data generated and ReportData::build %.2f s; write %.2f s wall, %.2f s CPU, %.0f pages/s\n",
        buildS, writeS, cpuS, writeS > 0 ? pages / writeS : 0.0);
    std::printf("  RSS: start %ld MB, data built %ld MB, at 10%% of pages %ld MB (peak %ld MB), "
                "at 100%% %ld MB (peak %ld MB)\n",
                startKb / 1024, dataKb / 1024, rssAt10.load() / 1024, hwmAt10.load() / 1024, endRss / 1024,
                endHwm / 1024);
    std::printf("  GUI thread: worst timer lateness %lld ms over %lld ticks of 5 ms\n", worstMs, ticks);
    return ok ? 0 : 1;
}
