// The 1586A's replies and exported data files.
//
// Input: one control byte, then bytes. Control bit 0 selects the data-file
// reader (the bytes are the file); bit 6 the clock read-back (the bytes up to
// the first line feed answer "SYST:DATE?", the rest "SYST:TIME?");
// otherwise the bytes arrive on the line in chunks of bits 1-5 + 1 bytes.
// Line checks: every queued reply holds exactly one line and is not blank;
// replies come out oldest first (the lines are found in the input in order).
// Clock checks: an accepted clock is a valid date and time, a refused one
// leaves the result untouched.
// File checks: a file that matches has one column per channel asked for, and
// every record returns the texts of its columns unchanged.

#include "Collection1586A.h"
#include "DeviceLink.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

namespace {

QString g_path;

class Probe : public Collection1586A
{
public:
    int usedColumns() const { return static_cast<int>(ColumnUsed.count(true)); }
};

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void lines(const QByteArray& bytes, size_t chunk)
{
    Collection1586A driver;
    DeviceLink* link = driver.Link();
    for (int at = 0; at < bytes.size(); at += static_cast<int>(chunk))
        link->receive(bytes.mid(at, static_cast<int>(chunk)));
    const QString all = QString::fromLatin1(bytes.constData(), bytes.size());
    int from = 0;
    QString reply;
    while (link->takeLast(reply)) {
        check(reply.endsWith(QLatin1Char('\n')) && reply.count(QLatin1Char('\n')) == 1);
        check(!reply.trimmed().isEmpty());
        const int found = all.indexOf(reply, from);
        check(found >= 0);
        from = found + reply.size();
    }
}

void file(const QByteArray& bytes)
{
    {
        QFile f(g_path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return;
        f.write(bytes);
    }
    const int lineEnd = bytes.indexOf('\n');
    const int comma = bytes.indexOf(',', lineEnd + 1);
    QDateTime start = QDateTime::fromString(QString::fromUtf8(bytes.mid(comma + 1, 23)),
                                            QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
    if (!start.isValid())
        start = QDateTime(QDate(2024, 3, 5), QTime(10, 0, 0));
    for (const QStringList& channels : {QStringList{"101", "102", "103"}, QStringList{"001"}}) {
        Probe driver;
        const bool matched = driver.OpenDataFile(g_path, channels);
        check(!matched || driver.usedColumns() == channels.size());
        QStringList values;
        for (int k = 0; k < 32; ++k) {
            if (driver.ReadDataFile(start.addMSecs(500 * k), values))
                check(values.size() == driver.usedColumns());
            else
                check(values.isEmpty());
        }
        check(driver.CloseDataFile());
    }
}

void clock(const QByteArray& bytes)
{
    const int lineEnd = bytes.indexOf('\n');
    const QString date = QString::fromLatin1(bytes.left(lineEnd < 0 ? bytes.size() : lineEnd));
    const QString time = QString::fromLatin1(lineEnd < 0 ? QByteArray() : bytes.mid(lineEnd + 1));
    const QDateTime untouched(QDate(2000, 1, 1), QTime(0, 0));
    QDateTime read = untouched;
    if (Collection1586A::ClockReply(date, time, read))
        check(read.isValid());
    else
        check(read == untouched);
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
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<int>(size - 1));
    if (data[0] & 1)
        file(bytes);
    else if (data[0] & 0x40)
        clock(bytes);
    else
        lines(bytes, static_cast<size_t>((data[0] >> 1) & 0x1F) + 1);
    return 0;
}
