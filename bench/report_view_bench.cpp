// Viewing a long project on the report page: a project of 50 channels and
// 86,400 rows (a day at 1 s) read from the database and drawn, and the naive
// path (every row as texts) for comparison.
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

#include <cmath>
#include <cstdio>

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
    QList<Tool::Struct_ParametersData> data;
    data.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        QStringList values;
        for (int c = 0; c < channels; ++c)
            values << QString::number(25 + c + 2 * std::sin(r / 900.0 + c), 'f', 6);
        data << Tool::Struct_ParametersData{p.Name, start.addSecs(r), values};
    }
    Tool::addParametersDataBulk(data);
    data.clear();
    std::printf("project: %d channels x %d rows\n", channels, rows);

    QElapsedTimer t;
    t.start();
    QList<Tool::Struct_ParametersData> naive;
    Tool::getParametersData(naive, p.Name);
    std::printf("naive read (rows of texts)        %7lld ms\n", static_cast<long long>(t.elapsed()));
    naive.clear();

    t.restart();
    QVector<qint64> times;
    QVector<QVector<double>> columns;
    Tool::getParametersTable(p.Name, p.Channel.size(), &times, &columns);
    std::printf("compact read (times + columns)    %7lld ms\n", static_cast<long long>(t.elapsed()));

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
    std::printf("view + first paint                %7lld ms   (goal 1000 ms)\n", static_cast<long long>(painted));
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
