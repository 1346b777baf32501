// The Excel report for a day at 1 s: 86,400 rows × 17 columns (time and 16
// channels; a week is 604,800 rows) through VerificationReportExcel, against
// xlsx_reference (plain C, libxlsxwriter in constant-memory mode, the same
// cells: values as numbers in a "0.00" format). Prints wall and CPU time, the
// resident memory at 10 %, 50 % and 100 % of the rows, the peak (VmHWM) and
// the ratios; then the CSV of the same rows through ReportCsv against a plain
// std::to_chars / fwrite writer; then (unless --no-thread) writes the report
// again on a worker thread while this thread runs an event loop with a 10 ms
// timer, and prints the worst lateness of that timer.
//
// usage: QT_QPA_PLATFORM=offscreen ./excel_bench [rows] [channels] [--no-thread] [--repeat N]
//        (--repeat: reference and writer take turns N times; the best of each is compared)
//        ./excel_bench --sample report.xlsx   (a small report with every table, to look at)

#include "ReportCsv.h"
#include "VerificationReportExcel.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

namespace {

double processCpu()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return ts.tv_sec + ts.tv_nsec / 1e9;
}

double residentMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

// VmHWM: the peak resident memory so far.
double highWaterMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return -1;
}

double peakMb()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

struct Input
{
    Tool::Struct_Parameters project;
    QVector<qint64> times;
    QVector<QVector<double>> columns;
    QDateTime start, end;
};

Input makeInput(int rows, int channels)
{
    Input in;
    in.project.Name = QStringLiteral("bench");
    in.project.Time = QStringLiteral("2026-03-02 10:00:00");
    in.project.DeviceMode = QStringList{QStringLiteral("3107A-TC")};
    in.project.SerialNumber = QStringList{QStringLiteral("SN1")};
    in.project.ChannelConfig = QStringList{QStringLiteral("a.cfg")};
    in.project.ScanInterval = QStringLiteral("1");
    in.start = QDateTime(QDate(2026, 3, 2), QTime(10, 0));
    in.end = in.start.addSecs(rows - 1);
    for (int c = 0; c < channels; ++c) {
        in.project.Channel << QStringLiteral("1-%1").arg(c + 1);
        in.project.Unit << QStringLiteral("℃");
    }
    in.times.reserve(rows);
    in.columns.resize(channels);
    for (QVector<double>& column : in.columns)
        column.reserve(rows);
    const qint64 t0 = in.start.toMSecsSinceEpoch();
    for (int r = 0; r < rows; ++r) {
        in.times << t0 + qint64(r) * 1000;
        for (int c = 0; c < channels; ++c)
            in.columns[c] << 25.0 + c * 0.5 + 3.0 * std::sin(r / 600.0 + c);
    }
    return in;
}

QImage chartPicture()
{
    QImage image(1600, 600, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    for (int c = 0; c < 16; ++c) {
        p.setPen(QColor::fromHsv(c * 22, 200, 200));
        for (int x = 0; x < 1600; x += 4)
            p.drawLine(x, 300 + int(200 * std::sin(x / 100.0 + c)), x + 4, 300 + int(200 * std::sin((x + 4) / 100.0 + c)));
    }
    return image;
}

struct Times
{
    double setData = 0, home = 0, chart = 0, tables = 0, save = 0;
    double rss[3] = {-1, -1, -1}; // at 10 %, 50 % and 100 % of the table rows
    bool ok = false;
    double total() const { return setData + home + chart + tables + save; }
};

Times writeReport(const Input& in, const QImage& chart, const QString& path)
{
    Times t;
    QElapsedTimer clock;
    clock.start();
    VerificationReportExcel writer;
    writer.setData(2, {true, false, false, false, false}, in.project, in.times, in.columns, {in.start}, {in.end},
                   {QStringLiteral("bench")});
    int sampled = 0;
    writer.setProgress([&](qint64 done, qint64 total) {
        static const double marks[3] = {0.1, 0.5, 1.0};
        while (sampled < 3 && total > 0 && done >= marks[sampled] * total)
            t.rss[sampled++] = residentMb();
    });
    t.setData = clock.nsecsElapsed() / 1e9;
    clock.restart();
    bool ok = writer.writeHome();
    t.home = clock.nsecsElapsed() / 1e9;
    clock.restart();
    ok = ok && writer.writeChart(chart);
    t.chart = clock.nsecsElapsed() / 1e9;
    clock.restart();
    ok = ok && writer.writeTables();
    t.tables = clock.nsecsElapsed() / 1e9;
    clock.restart();
    ok = ok && writer.save(path);
    t.save = clock.nsecsElapsed() / 1e9;
    t.ok = ok;
    return t;
}

// An hour at 10 s of four thermocouples and two hygrometer channels with
// every table, and a chart drawn like the trend view.
bool writeSample(const QString& path)
{
    Tool::Struct_Parameters p;
    p.Name = QStringLiteral("恒温恒湿箱 HT-02 均匀性");
    p.Time = QStringLiteral("2026-03-02 09:00:00");
    p.DeviceMode = QStringList{QStringLiteral("3107A-TC"), QStringLiteral("3108A")};
    p.SerialNumber = QStringList{QStringLiteral("TV3107A-00421"), QStringLiteral("TV3108A-00087")};
    p.ChannelConfig = QStringList{QStringLiteral("TC-K.cfg"), QStringLiteral("RH.cfg")};
    p.ScanInterval = QStringLiteral("10");
    p.Channel = QStringList{"1-1", "1-2", "1-3", "1-4", "2-1", "2-2"};
    p.Unit = QStringList{"℃", "℃", "℃", "℃", "%RH", "%RH"};
    const QDateTime start(QDate(2026, 3, 2), QTime(9, 0));
    QVector<qint64> times;
    QVector<QVector<double>> columns(6);
    for (int r = 0; r < 360; ++r) {
        times << start.addSecs(10 * r).toMSecsSinceEpoch();
        for (int c = 0; c < 4; ++c)
            columns[c] << 40.0 - 15.0 * std::exp(-r / 60.0) + 0.3 * c + 0.15 * std::sin(r / 9.0 + c);
        for (int c = 4; c < 6; ++c)
            columns[c] << 55.0 + 5.0 * std::exp(-r / 80.0) + (c - 4) * 1.2 + 0.4 * std::sin(r / 13.0 + c);
    }
    QImage chart(1600, 576, QImage::Format_RGB32);
    chart.fill(Qt::white);
    {
        QPainter g(&chart);
        g.setRenderHint(QPainter::Antialiasing);
        const QRect plot(70, 20, 1500, 500);
        g.setPen(QColor(220, 220, 220));
        for (int i = 0; i <= 10; ++i) {
            g.drawLine(plot.left() + i * plot.width() / 10, plot.top(), plot.left() + i * plot.width() / 10, plot.bottom());
            g.drawLine(plot.left(), plot.top() + i * plot.height() / 10, plot.right(), plot.top() + i * plot.height() / 10);
        }
        g.setPen(Qt::black);
        g.drawRect(plot);
        for (int i = 0; i <= 5; ++i)
            g.drawText(plot.left() + i * plot.width() / 5 - 20, plot.bottom() + 20,
                       start.addSecs(i * 720).toString(QStringLiteral("hh:mm")));
        for (int i = 0; i <= 5; ++i)
            g.drawText(10, plot.bottom() - i * plot.height() / 5 + 5, QString::number(20 + i * 10));
        for (int c = 0; c < 6; ++c) {
            g.setPen(QPen(QColor::fromHsv(c * 55, 220, 210), 2));
            QPointF last;
            for (int r = 0; r < 360; ++r) {
                const QPointF pt(plot.left() + r * plot.width() / 359.0,
                                 plot.bottom() - (columns[c][r] - 20) / 50.0 * plot.height());
                if (r)
                    g.drawLine(last, pt);
                last = pt;
            }
        }
    }
    VerificationReportExcel writer;
    writer.setData(2, {true, true, true, true, true}, p, times, columns, {start, start.addSecs(1800)},
                   {start.addSecs(1800), start.addSecs(3590)}, {QStringLiteral("升温段"), QStringLiteral("恒温段")});
    return writer.writeHome() && writer.writeChart(chart) && writer.writeTables() && writer.save(path);
}

// The CSV floor: the same lines (full local time, values with two decimals)
// with std::to_chars into a 1 MB buffer and fwrite, no Qt.
double referenceCsv(const Input& in, const QString& path, double* cpu)
{
    QElapsedTimer clock;
    clock.start();
    const double cpu0 = processCpu();
    FILE* out = std::fopen(QFile::encodeName(path).constData(), "wb");
    if (!out)
        return -1;
    std::vector<char> buffer(1 << 20);
    size_t used = 0;
    const auto put = [&](const char* p, size_t n) {
        if (used + n > buffer.size()) {
            std::fwrite(buffer.data(), 1, used, out);
            used = 0;
        }
        std::memcpy(buffer.data() + used, p, n);
        used += n;
    };
    put("\xEF\xBB\xBF", 3);
    std::string head = "time";
    for (const QString& c : in.project.Channel)
        head += "," + c.toStdString();
    head += "\r\n";
    put(head.data(), head.size());
    char line[64];
    for (int r = 0; r < in.times.size(); ++r) {
        const time_t t = time_t(in.times.at(r) / 1000);
        tm local{};
        localtime_r(&t, &local);
        const int n = std::snprintf(line, sizeof line, "%04d-%02d-%02d %02d:%02d:%02d", local.tm_year + 1900,
                                    local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
        put(line, size_t(n));
        for (const QVector<double>& column : in.columns) {
            line[0] = ',';
            const auto e = std::to_chars(line + 1, line + sizeof line, column.at(r), std::chars_format::fixed, 2);
            put(line, size_t(e.ptr - line));
        }
        put("\r\n", 2);
    }
    std::fwrite(buffer.data(), 1, used, out);
    std::fclose(out);
    *cpu = processCpu() - cpu0;
    return clock.nsecsElapsed() / 1e9;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    Q_INIT_RESOURCE(resources);
    const double atStart = residentMb();
    const QStringList args = app.arguments();
    if (args.value(1) == QLatin1String("--sample")) {
        const bool ok = writeSample(args.value(2, QStringLiteral("sample.xlsx")));
        std::printf("sample: %s\n", ok ? "written" : "FAILED");
        return ok ? 0 : 1;
    }
    QStringList plain = args;
    const bool onWorker = !plain.removeAll(QStringLiteral("--no-thread"));
    int repeat = 1;
    const int repeatAt = plain.indexOf(QStringLiteral("--repeat"));
    if (repeatAt > 0) {
        repeat = std::max(1, plain.value(repeatAt + 1).toInt());
        plain.removeAt(repeatAt + 1);
        plain.removeAt(repeatAt);
    }
    const int rows = plain.value(1, QStringLiteral("86400")).toInt();
    const int channels = plain.value(2, QStringLiteral("16")).toInt();
    QTemporaryDir dir;

    // The reference first, in its own process so that its memory is its own.
    const QString reference = QCoreApplication::applicationDirPath() + QStringLiteral("/xlsx_reference");
    double refWall = -1, refCpu = -1, refPeak = -1;
    const auto runReference = [&] {
        QProcess ref;
        ref.start(reference,
                  {dir.filePath(QStringLiteral("reference.xlsx")), QString::number(rows), QString::number(channels)});
        if (ref.waitForFinished(600000) && ref.exitCode() == 0) {
            const QString line = QString::fromUtf8(ref.readAllStandardOutput()).trimmed();
            std::printf("%s\n", qPrintable(line));
            const QRegularExpressionMatch m =
                QRegularExpression(QStringLiteral("wall ([0-9.]+) s, cpu ([0-9.]+) s, peak RSS ([0-9.]+) MB"))
                    .match(line);
            refWall = m.captured(1).toDouble();
            refCpu = m.captured(2).toDouble();
            refPeak = m.captured(3).toDouble();
        } else {
            std::printf("reference: not run (%s)\n", qPrintable(reference));
        }
        QFile::remove(dir.filePath(QStringLiteral("reference.xlsx")));
        // Its written pages go to disk now, not while the writer runs.
        ::sync();
    };
    runReference();

    const Input in = makeInput(rows, channels);
    const QImage chart = chartPicture();
    const double before = residentMb();
    const double cpu0 = processCpu();
    const QString path = dir.filePath(QStringLiteral("report.xlsx"));
    const Times t = writeReport(in, chart, path);
    const double cpu = processCpu() - cpu0;
    const double peak = peakMb();
    std::printf("writer: %d rows x %d columns: %s, wall %.3f s (setData %.3f, cover %.3f, chart %.3f, tables %.3f, "
                "save %.3f), cpu %.3f s\n",
                rows, channels + 1, t.ok ? "written" : "FAILED", t.total(), t.setData, t.home, t.chart, t.tables,
                t.save, cpu);
    std::printf("writer: resident %.1f MB at start (Qt libraries), %.1f MB with the input (values, chart picture), "
                "peak %.1f MB: the writer adds %.1f MB; file %.1f MB\n",
                atStart, before, peak, peak - before, QFileInfo(path).size() / 1048576.0);
    std::printf("writer: resident while writing the rows: %.1f MB at 10 %%, %.1f MB at 50 %%, %.1f MB at 100 %%; "
                "VmHWM %.1f MB\n",
                t.rss[0], t.rss[1], t.rss[2], highWaterMb());
    if (refWall > 0)
        std::printf("ratio: wall %.2fx, cpu %.2fx the reference; memory %+.1f MB over the reference's peak, "
                    "%+.1f MB counting only the writer's increase\n",
                    t.total() / refWall, cpu / refCpu, peak - refPeak, (peak - before) - refPeak);
    // On a shared machine the wall time is mostly whose turn it is: the two
    // take turns, and the best of each is compared.
    if (repeat > 1 && refWall > 0) {
        double bestRefWall = refWall, bestRefCpu = refCpu, bestWall = t.total(), bestCpu = cpu;
        QFile::remove(path);
        ::sync();
        for (int k = 1; k < repeat; ++k) {
            runReference();
            bestRefWall = std::min(bestRefWall, refWall);
            bestRefCpu = std::min(bestRefCpu, refCpu);
            const double c0 = processCpu();
            const Times again = writeReport(in, chart, path);
            const double c = processCpu() - c0;
            std::printf("writer: %s, wall %.3f s, cpu %.3f s\n", again.ok ? "written" : "FAILED", again.total(), c);
            bestWall = std::min(bestWall, again.total());
            bestCpu = std::min(bestCpu, c);
            QFile::remove(path);
            ::sync();
        }
        std::printf("best of %d: reference wall %.3f s, cpu %.3f s; writer wall %.3f s, cpu %.3f s; ratio wall %.2fx, "
                    "cpu %.2fx\n",
                    repeat, bestRefWall, bestRefCpu, bestWall, bestCpu, bestWall / bestRefWall, bestCpu / bestRefCpu);
    }

    // CSV of the same rows: the floor first, then the writer.
    {
        double refCsvCpu = 0;
        const double refCsv = referenceCsv(in, dir.filePath(QStringLiteral("reference.csv")), &refCsvCpu);
        const double hwmBefore = highWaterMb(), rssBefore = residentMb();
        QElapsedTimer clock;
        clock.start();
        const double csvCpu0 = processCpu();
        ReportCsv csv(dir.filePath(QStringLiteral("report.csv")));
        csv.setData(2, in.project, in.times, in.columns, {in.start}, {in.end}, QStringLiteral("1"));
        double rssMid = -1;
        csv.setProgress([&](qint64 done, qint64 total) {
            if (rssMid < 0 && total > 0 && done >= total / 2)
                rssMid = residentMb();
        });
        const bool csvOk = csv.write();
        const double csvWall = clock.nsecsElapsed() / 1e9, csvCpu = processCpu() - csvCpu0;
        std::printf("csv reference (to_chars, fwrite): %d rows: wall %.3f s, cpu %.3f s, file %.1f MB\n", rows, refCsv,
                    refCsvCpu, QFileInfo(dir.filePath(QStringLiteral("reference.csv"))).size() / 1048576.0);
        std::printf("csv writer: %s, wall %.3f s, cpu %.3f s (wall %.2fx, cpu %.2fx the reference); resident %.1f MB "
                    "before, %.1f MB at 50 %%, VmHWM %.1f MB (was %.1f); file %.1f MB\n",
                    csvOk ? "written" : "FAILED", csvWall, csvCpu, refCsv > 0 ? csvWall / refCsv : 0.0,
                    refCsvCpu > 0 ? csvCpu / refCsvCpu : 0.0, rssBefore,
                    rssMid, highWaterMb(), hwmBefore, QFileInfo(dir.filePath(QStringLiteral("report.csv"))).size() / 1048576.0);
        if (!csvOk)
            return 1;
    }
    if (!onWorker)
        return t.ok ? 0 : 1;

    // Responsiveness: the write on a worker, a 10 ms timer on this thread.
    QElapsedTimer since;
    qint64 worst = 0, ticks = 0;
    QTimer timer;
    timer.setInterval(10);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const qint64 late = since.nsecsElapsed() / 1000 - 10000;
        worst = std::max(worst, late);
        ++ticks;
        since.restart();
    });
    Times threaded;
    QThread* worker = QThread::create([&] { threaded = writeReport(in, chart, dir.filePath(QStringLiteral("t.xlsx"))); });
    QObject::connect(worker, &QThread::finished, &app, &QCoreApplication::quit);
    since.start();
    timer.start();
    worker->start();
    app.exec();
    worker->wait();
    delete worker;
    std::printf("event loop during a write on a worker thread: %s in %.3f s, %lld ticks of 10 ms, worst lateness "
                "%.1f ms\n",
                threaded.ok ? "written" : "FAILED", threaded.total(), static_cast<long long>(ticks), worst / 1000.0);
    return t.ok && threaded.ok ? 0 : 1;
}
