// Instrument data files through OpenDataFile / ReadDataFile.
//
// Input: the file's bytes. The records are asked for in ascending seconds
// from the time of the second line (or a fixed time), as the import does.
// Checked: a file that matches has one column per channel asked for, and
// every value list has one entry per matched column.

#include "Collection3107A.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

QString g_path;

// Reaches the matched-column list the reader keeps.
class Probe : public Collection3107A_TC
{
public:
    int usedColumns() const { return static_cast<int>(ColumnUsed.count(true)); }
};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    static QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/arq-fuzz-XXXXXX"));
    g_path = dir.filePath(QStringLiteral("data.csv"));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    {
        QFile file(g_path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return 0;
        file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size));
    }
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    const int lineEnd = bytes.indexOf('\n');
    QDateTime start = QDateTime::fromString(QString::fromUtf8(bytes.mid(lineEnd + 1, 19)),
                                            QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (!start.isValid())
        start = QDateTime(QDate(2024, 3, 5), QTime(10, 0, 0));

    for (const QStringList& channels : {QStringList{"101", "102", "103", "108"}, QStringList{"116"}}) {
        Probe driver;
        const bool matched = driver.OpenDataFile(g_path, channels);
        // A file that matches gives one column per channel asked for.
        check(!matched || driver.usedColumns() == channels.size());
        QStringList values;
        for (int k = 0; k < 64; ++k) {
            if (driver.ReadDataFile(start.addSecs(k), values))
                check(values.size() == driver.usedColumns());
            else
                check(values.isEmpty());
        }
        check(driver.CloseDataFile());
    }
    return 0;
}
