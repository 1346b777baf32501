// The offline download's working files, through the reader that lines their
// records up with the grid before a project is stored.
//
// Input: one control byte, then the file. Control bits 0-1 pick the chosen
// channels (none, 1-101, 1-101 and 1-102, one that no file has), bits 2-4
// the scan interval (1 … 8 s), bit 5 a run of one interval or of ten.
// Checked: a failure carries no rows; a success has one row per project and
// grid time, each row's time on the grid with zero milliseconds and its
// values exactly the chosen channels of that project.

#include "SystemContext.h"
#include "TransferRules.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

QString g_path;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

ChosenChannel chosen(const QString& id, int project)
{
    ChosenChannel c;
    c.ID = id;
    c.ProjectIndex = project;
    return c;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/arq-fuzz-XXXXXX"));
    g_path = dir.filePath(QStringLiteral("WiredData_1.csv"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t control = data[0];
    {
        QFile f(g_path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        f.write(reinterpret_cast<const char*>(data + 1), static_cast<qint64>(size - 1));
    }
    TransferRules::WorkingFilesJob job;
    job.paths = QStringList{g_path};
    switch (control & 3) {
    case 1: job.chosen = {chosen(QStringLiteral("1-101"), 0)}; break;
    case 2: job.chosen = {chosen(QStringLiteral("1-101"), 0), chosen(QStringLiteral("1-102"), 1)}; break;
    case 3: job.chosen = {chosen(QStringLiteral("1-999"), 0)}; break;
    default: break;
    }
    job.projectNames = QStringList{QStringLiteral("A"), QStringLiteral("B")};
    job.scanInterval = 1 + ((control >> 2) & 7);
    job.start = QDateTime(QDate(2024, 3, 5), QTime(10, 0, 0));
    job.end = job.start.addSecs(qint64(job.scanInterval) * ((control & 0x20) ? 10 : 1));

    const TransferRules::Outcome out = TransferRules::readWorkingFiles(job);
    if (!out.ok()) {
        check(out.rows.isEmpty());
        return 0;
    }
    QList<int> perProject{0, 0};
    for (const ChosenChannel& c : job.chosen)
        ++perProject[c.ProjectIndex];
    for (const Tool::Struct_ParametersData& row : out.rows) {
        check(row.Time.isValid() && row.Time.time().msec() == 0);
        check(row.Time >= job.start);
        const int project = job.projectNames.indexOf(row.Name);
        check(project >= 0);
        check(row.Data.size() == perProject.at(project));
    }
    return 0;
}
