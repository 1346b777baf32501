// Headless import (or, with --offline, the offline download's save) for the
// kill test: writes three devices' data files and reads them into the open
// transaction, printing "STORING" once rows are going in, then waits there
// to be killed.
#include "TestSupport.h"
#include "Tool.h"
#include "TransferRules.h"
#include "TransferSample.h"

#include <QCoreApplication>
#include <QDir>
#include <QThread>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int at = args.indexOf(QStringLiteral("--workdir"));
    if (at < 0 || at + 1 >= args.size())
        return 2;
    QDir::setCurrent(args.at(at + 1));
    if (!Tool::openDefaultDatabase())
        return 3;
    const QDateTime start = QDateTime::fromString(QStringLiteral("2024-05-06 00:00:00"), "yyyy-MM-dd hh:mm:ss");
    const int seconds = 20000;
    SystemContext context;
    TransferSample::fill(context, 3, 16, {"P1", "P2", "P3"}, 1.0, start, start.addSecs(seconds));
    QStringList paths;
    for (int d = 0; d < 3; ++d) {
        paths << QStringLiteral("d%1.csv").arg(d);
        if (!TransferSample::writeScannerFile(paths.last(), d, 16, start, seconds))
            return 4;
    }
    // --offline: the files as the offline download leaves them, read as its save reads them.
    TransferRules::WorkingFilesJob offline;
    offline.paths = paths;
    offline.chosen = context.ChannelList;
    offline.projectNames = context.ProjectName;
    offline.start = start;
    offline.end = start.addSecs(seconds);
    offline.scanInterval = 1.0;
    QList<Tool::Struct_Parameters> records;
    for (const QString& name : context.ProjectName) {
        Tool::Struct_Parameters p;
        p.Name = name;
        records << p;
    }
    // The rows go into the transaction as they are read, as the dialogs' worker stores them.
    const bool offlineSave = args.contains(QStringLiteral("--offline"));
    Tool::addProjects(
        records,
        [&](const Tool::RowBatchInserter& insert) {
            const TransferRules::Outcome out =
                offlineSave ? TransferRules::readWorkingFiles(offline, {}, nullptr, insert)
                            : TransferRules::importFiles({context.AcquisitionDevice, context.ChannelConfig,
                                                          context.ChannelList, context.ProjectName, paths, start,
                                                          start.addSecs(seconds), 1.0},
                                                         {}, nullptr, insert);
            return out.ok();
        },
        QString(), [](int) {
            std::printf("STORING\n");
            std::fflush(stdout);
            for (;;)
                QThread::sleep(1);
            return true;
        });
    return 6;
}
