// Viewing a long project on the report page: a project of 50 channels and
// 86,400 rows (a day at 1 s; 604800 for a week) read from the database and
// drawn, against a plain SQLite read of the same rows (C API, every text
// touched, nothing kept) and, up to a day, the naive path (every row as texts).
// Prints the time to the first paint and the process's peak memory while the
// page reads and draws (the peak is reset after the project is written).
//
// Run offscreen: QT_QPA_PLATFORM=offscreen ./report_view_bench [rows] [picture.png]

#include "ChartView.h"
#include "MessageBox.h"
#include "SystemContext.h"
#include "Tool.h"
#include "VerificationReport.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstring>
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

// The floor: the same rows stepped through with the C API, each text's bytes
// summed so nothing is skipped; returns the rows read.
long long plainRead(const QString& file, const QString& name, long long* bytes, unsigned* sum)
{
    sqlite3* db = nullptr;
    long long rows = 0;
    *bytes = 0;
    *sum = 0;
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        const QByteArray n = name.toUtf8();
        if (sqlite3_prepare_v2(db, "select Time, Data from ParametersData where Name = ?", -1, &st, nullptr) ==
            SQLITE_OK) {
            sqlite3_bind_text(st, 1, n.constData(), n.size(), SQLITE_STATIC);
            while (sqlite3_step(st) == SQLITE_ROW) {
                for (int c = 0; c < 2; ++c) {
                    const unsigned char* t = sqlite3_column_text(st, c);
                    const int len = sqlite3_column_bytes(st, c);
                    for (int i = 0; i < len; ++i)
                        *sum += t[i];
                    *bytes += len;
                }
                ++rows;
            }
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return rows;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const int rows = argc > 1 ? QString(argv[1]).toInt() : 86400;
    const int channels = 50;
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    if (!Tool::openDefaultDatabase())
        return 1;
    MessageBox::setTestMode(true);

    Tool::Struct_Parameters p;
    p.Name = QStringLiteral("Day");
    const QDateTime start = QDateTime::fromString("2026-12-09 00:00:00", "yyyy-MM-dd hh:mm:ss");
    p.Time = p.Start = start.toString("yyyy-MM-dd hh:mm:ss");
    p.End = start.addSecs(rows - 1).toString("yyyy-MM-dd hh:mm:ss");
    p.ScanInterval = QStringLiteral("1");
    for (int c = 0; c < channels; ++c) {
        p.Channel << QStringLiteral("%1-%2").arg(1 + c / 16).arg(101 + c % 16);
        p.Unit << (c < 40 ? QStringLiteral("℃") : QStringLiteral("mV"));
    }
    Tool::addParameters(p);
    // Written an hour at a time, so the project costs the run no memory.
    QList<Tool::Struct_ParametersData> data;
    for (int r = 0; r < rows; ++r) {
        QStringList values;
        for (int c = 0; c < channels; ++c)
            values << QString::number(25 + c + 2 * std::sin(r / 900.0 + c), 'f', 6);
        data << Tool::Struct_ParametersData{p.Name, start.addSecs(r), values};
        if (data.size() == 3600 || r == rows - 1) {
            Tool::addParametersDataBulk(data);
            data.clear();
        }
    }
    data = QList<Tool::Struct_ParametersData>();
    std::printf("project: %d channels x %d rows\n", channels, rows);

    QElapsedTimer t;
    t.start();
    long long bytes = 0;
    unsigned sum = 0;
    const long long plainRows =
        plainRead(QDir(dir.path()).filePath(QString::fromLatin1(Tool::DatabaseFileName)), p.Name, &bytes, &sum);
    const qint64 plainMs = t.elapsed();
    std::printf("plain SQLite read (C API)         %7lld ms   (%lld rows, %.0f MB of text, sum %u)\n",
                static_cast<long long>(plainMs), plainRows, bytes / 1048576.0, sum);
    if (rows <= 86400) {
        t.restart();
        QList<Tool::Struct_ParametersData> naive;
        Tool::getParametersData(naive, p.Name);
        std::printf("naive read (rows of texts)        %7lld ms\n", static_cast<long long>(t.elapsed()));
    }

    {
        t.restart();
        QVector<qint64> times;
        QVector<QVector<double>> columns;
        Tool::getParametersTable(p.Name, p.Channel.size(), &times, &columns);
        std::printf("compact read (times + columns)    %7lld ms\n", static_cast<long long>(t.elapsed()));
    }

    // What the reads above freed goes back to the system first.
    malloc_trim(0);
    resetPeak();
    const long beforeKb = statusKb("VmRSS:");
    SystemContext context;
    context.DataAccuracy = 2;
    VerificationReport page;
    page.setContext(&context);
    page.resize(1170, 700);
    page.show();
    QCoreApplication::processEvents();
    auto* tree = page.findChild<QTreeWidget*>("treeWidget_Device");
    tree->topLevelItem(0)->setCheckState(0, Qt::Checked);
    page.treeItemChanged(tree->topLevelItem(0), 0);

    t.restart();
    page.viewProject();
    const qint64 viewed = t.elapsed();
    // First paint: everything the window does before it is idle again.
    QPixmap picture = page.grab();
    const qint64 painted = t.elapsed();
    std::printf("view (read + series + statistics) %7lld ms\n", static_cast<long long>(viewed));
    std::printf("view + first paint                %7lld ms   (goal: a day 1000 ms, a week 3000 ms)\n", static_cast<long long>(painted));
    const long peakKb = statusKb("VmHWM:"), afterKb = statusKb("VmRSS:");
    std::printf("memory: before the view %ld MB, after the first paint %ld MB, peak %ld MB   (goal < 800 MB)\n",
                beforeKb / 1024, afterKb / 1024, peakKb / 1024);
    t.restart();
    page.chart()->update();
    picture = page.grab();
    std::printf("repaint                           %7lld ms\n", static_cast<long long>(t.elapsed()));
    if (argc > 2) {
        // The picture shows tag lines as a user would set them.
        page.chart()->addTaggingLine(start.addSecs(rows / 4), QStringLiteral("升温"));
        page.chart()->addTaggingLine(start.addSecs(rows / 2), QStringLiteral("恒温"));
        picture = page.grab();
        picture.save(QString::fromLocal8Bit(argv[2]));
    }
    return 0;
}
