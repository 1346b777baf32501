#include "DataFiles.h"

#include <QSet>
#include <QVarLengthArray>

#include <type_traits>

namespace DataFiles {

namespace {

QString readLine(QFile& file)
{
    QString line = QString::fromUtf8(file.readLine());
    while (line.endsWith(QLatin1Char('\n')) || line.endsWith(QLatin1Char('\r')))
        line.chop(1);
    return line;
}

// Opens the file and returns its header fields; empty when it cannot be
// opened or holds nothing.
QStringList openHeader(QFile& file, QList<bool>& columnUsed, const QString& name)
{
    columnUsed.clear();
    if (file.isOpen())
        file.close();
    file.setFileName(name);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    if (file.atEnd()) {
        file.close();
        return {};
    }
    QString header = readLine(file);
    // Saved by an editor as "UTF-8 with BOM": the mark is no part of the first column.
    if (header.startsWith(QChar(0xFEFF)))
        header.remove(0, 1);
    return header.split(QLatin1Char(','));
}

// A channel's second column is not used: counted twice it would stand in for
// a channel the file lacks, and shift every value after it.
bool useColumn(const QString& number, const QStringList& channels, QSet<QString>& seen)
{
    const bool used = channels.contains(number) && !seen.contains(number);
    seen.insert(number);
    return used;
}

// Wall-clock milliseconds of a date and time: a count without a time zone,
// so comparing two needs no call into the C library's zone code (each local
// QDateTime conversion there costs a stat of the zone file).
qint64 wallMs(const QDate& date, const QTime& time)
{
    return date.toJulianDay() * 86400000 + time.msecsSinceStartOfDay();
}

// The clock reading of `time` as its own time zone shows it.
qint64 wallMs(const QDateTime& time)
{
    return wallMs(time.date(), time.time());
}

inline int unit(char c) { return static_cast<unsigned char>(c); }
inline int unit(QChar c) { return c.unicode(); }

// "yyyy-MM-dd hh:mm:ss" with an optional ".zzz" as wall-clock ms, read by
// hand: the general format parser was most of the time of a day-long
// import. Anything else goes to QDateTime::fromString, so the accepted
// texts stay the same. False when it is no time.
template <typename C>
bool parseWallMs(const C* c, int n, const QString& format, qint64& ms)
{
    const bool withMs = format.size() == 23;
    if (n == (withMs ? 23 : 19)) {
        auto num = [c](int from, int len, bool& ok) {
            int v = 0;
            for (int i = from; i < from + len; ++i) {
                const int u = unit(c[i]);
                if (u < '0' || u > '9') {
                    ok = false;
                    return 0;
                }
                v = v * 10 + (u - '0');
            }
            return v;
        };
        bool ok = unit(c[4]) == '-' && unit(c[7]) == '-' && unit(c[10]) == ' ' && unit(c[13]) == ':'
                  && unit(c[16]) == ':' && (!withMs || unit(c[19]) == '.');
        const int y = num(0, 4, ok), mo = num(5, 2, ok), d = num(8, 2, ok), h = num(11, 2, ok),
                  mi = num(14, 2, ok), se = num(17, 2, ok), z = withMs ? num(20, 3, ok) : 0;
        if (ok) {
            const QDate date(y, mo, d);
            const QTime time(h, mi, se, z);
            if (date.isValid() && time.isValid()) {
                ms = wallMs(date, time);
                return true;
            }
        }
    }
    QString text;
    if constexpr (std::is_same_v<C, QChar>)
        text = QString(c, n);
    else
        text = QString::fromUtf8(c, n);
    const QDateTime parsed = QDateTime::fromString(text, format);
    if (!parsed.isValid())
        return false;
    ms = wallMs(parsed.date(), parsed.time());
    return true;
}

// One record cut at its commas: field i is the bytes from at[i] to the
// comma before at[i + 1].
struct Record
{
    QByteArray line;
    QVarLengthArray<int, 64> at;
    int size() const { return at.size() - 1; }
    const char* data(int i) const { return line.constData() + at[i]; }
    int length(int i) const { return at[i + 1] - 1 - at[i]; }
    QString text(int i) const
    {
        // Measured values are ASCII, which the Latin-1 conversion widens
        // without the UTF-8 decoder's checks.
        const char* d = data(i);
        const int n = length(i);
        for (int k = 0; k < n; ++k)
            if (static_cast<unsigned char>(d[k]) >= 0x80)
                return QString::fromUtf8(d, n);
        return QString::fromLatin1(d, n);
    }
};

// The line buffer kept between records (one reader per thread).
Record& lineRecord()
{
    thread_local Record record;
    return record;
}

void cut(QFile& file, Record& record)
{
    // Read into the kept buffer: a new QByteArray per line was a good part
    // of the allocations of a read.
    if (record.line.capacity() < 4096)
        record.line.reserve(4096);
    int n = 0;
    for (;;) {
        record.line.resize(record.line.capacity());
        const qint64 got = file.readLine(record.line.data() + n, record.line.size() - n);
        if (got <= 0)
            break;
        n += int(got);
        if (record.line.at(n - 1) == '\n' || file.atEnd())
            break;
        record.line.reserve(record.line.capacity() * 2); // a longer line than any before
    }
    record.line.resize(n);
    while (n > 0 && (record.line.at(n - 1) == '\n' || record.line.at(n - 1) == '\r'))
        --n;
    record.line.truncate(n);
    record.at.clear();
    record.at.append(0);
    const char* c = record.line.constData();
    for (int i = 0; i < n; ++i) {
        if (c[i] == ',')
            record.at.append(i + 1);
    }
    record.at.append(n + 1);
}

// Reads forward to the record within 1000 ms of time.
bool findRecord(QFile& file, const QList<bool>& columnUsed, int timeField, const QString& format,
                const QDateTime& time, Record& record)
{
    // An invalid time is 0 ms from any record, as QDateTime::msecsTo has it.
    const bool any = !time.isValid();
    const qint64 wanted = any ? 0 : wallMs(time);
    while (file.isOpen() && !file.atEnd()) {
        cut(file, record);
        if (record.size() < columnUsed.size() || record.size() <= timeField)
            return false;
        qint64 recorded = 0;
        if (!parseWallMs(record.data(timeField), record.length(timeField), format, recorded))
            return false;
        if (any || qAbs(recorded - wanted) <= 1000)
            return true;
    }
    return false;
}

} // namespace

bool clockMs(const QString& text, const QString& format, qint64& ms)
{
    return parseWallMs(text.constData(), text.size(), format, ms);
}

qint64 clockMs(const QDateTime& time)
{
    return wallMs(time);
}

bool openLoggerFile(QFile& file, QList<bool>& columnUsed, const QString& name, const QStringList& channels)
{
    const QStringList fields = openHeader(file, columnUsed, name);
    if (fields.size() < 9 || !fields.first().startsWith(QLatin1String("Time"))) {
        file.close();
        return false;
    }
    columnUsed << false;
    int matched = 0;
    QSet<QString> seen;
    for (int i = 1; i < fields.size(); ++i) {
        const QString& column = fields.at(i);
        if (column.size() < 4)
            break;
        const bool used = useColumn(QStringLiteral("1") + column.mid(2, 2), channels, seen);
        columnUsed << used;
        if (used)
            ++matched;
    }
    return matched == channels.size();
}

bool readLoggerRecord(QFile& file, const QList<bool>& columnUsed, const QDateTime& time, QStringList& values)
{
    // Emptied, not cleared: clear() frees the list's storage, and the next
    // record fills it again.
    values.erase(values.begin(), values.end());
    Record& record = lineRecord();
    if (!findRecord(file, columnUsed, 0, QStringLiteral("yyyy-MM-dd hh:mm:ss"), time, record))
        return false;
    for (int i = 0; i < columnUsed.size(); ++i) {
        if (columnUsed.at(i))
            values << QString::number(static_cast<double>(record.text(i).toFloat()), 'g', 6);
    }
    return true;
}

bool openScannerFile(QFile& file, QList<bool>& columnUsed, const QString& name, const QStringList& channels)
{
    const QStringList fields = openHeader(file, columnUsed, name);
    if (fields.size() < 5 || !fields.at(0).startsWith(QLatin1String("Record"))
        || !fields.at(1).startsWith(QLatin1String("Time"))) {
        file.close();
        return false;
    }
    columnUsed << false << false;
    int matched = 0;
    QSet<QString> seen;
    for (int i = 2; i < fields.size(); ++i) {
        const QString& column = fields.at(i);
        if (column.size() < 10) {
            file.close();
            columnUsed.clear();
            return false;
        }
        const bool used = useColumn(column.mid(3, 3), channels, seen);
        columnUsed << used;
        if (used)
            ++matched;
    }
    return matched == channels.size();
}

bool readScannerRecord(QFile& file, const QList<bool>& columnUsed, const QDateTime& time, QStringList& values)
{
    // Emptied, not cleared: clear() frees the list's storage, and the next
    // record fills it again.
    values.erase(values.begin(), values.end());
    Record& record = lineRecord();
    if (!findRecord(file, columnUsed, 1, QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"), time, record))
        return false;
    for (int i = 0; i < columnUsed.size(); ++i) {
        if (columnUsed.at(i))
            values << record.text(i);
    }
    return true;
}

} // namespace DataFiles
