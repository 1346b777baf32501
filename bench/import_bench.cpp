// Import of one day at 1 s from three devices: 3 data files × 86,400
// records, 16 channels each, 48 channels in three projects. Times the read
// onto the grid and the store of the whole projects in one transaction, as
// the import dialog's worker runs them.
//
//   import_bench [seconds]      (default 86400)
#include "TransferRules.h"
#include "TransferSample.h"
#include "Tool.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int seconds = argc > 1 ? qMax(10, atoi(argv[1])) : 86400;
    QTemporaryDir dir;
    QDir::setCurrent(dir.path());
    Tool::openDefaultDatabase();
    const QDateTime start = QDateTime::fromString(QStringLiteral("2024-05-06 00:00:00"), "yyyy-MM-dd hh:mm:ss");
    SystemContext context;
    TransferSample::fill(context, 3, 16, {"P1", "P2", "P3"}, 1.0, start, start.addSecs(seconds));
    QStringList paths;
    for (int d = 0; d < 3; ++d) {
        paths << dir.filePath(QStringLiteral("d%1.csv").arg(d));
        TransferSample::writeScannerFile(paths.last(), d, 16, start, seconds);
    }
    QElapsedTimer t;
    t.start();
    const TransferRules::Outcome out = TransferRules::importFiles(
        {context.AcquisitionDevice, context.ChannelConfig, context.ChannelList, context.ProjectName, paths, start,
         start.addSecs(seconds), 1.0});
    const double read = t.nsecsElapsed() / 1e9;
    QList<Tool::Struct_Parameters> records;
    for (const QString& name : context.ProjectName) {
        Tool::Struct_Parameters p;
        p.Name = name;
        records << p;
    }
    t.restart();
    const bool stored = out.ok() && Tool::addProjects(records, out.rows) == Tool::StoreOutcome::Stored;
    const double store = t.nsecsElapsed() / 1e9;
    std::printf("import %d s x 3 devices x 16 channels: read %.2f s, store %.2f s (%d rows), total %.2f s%s\n",
                seconds, read, store, static_cast<int>(out.rows.size()), read + store, stored ? "" : "  FAILED");
    return stored ? 0 : 1;
}
