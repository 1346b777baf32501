#include "DataFiles.h"

#include <QSet>

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

// "yyyy-MM-dd hh:mm:ss" with an optional ".zzz", read by hand: the general
// format parser was most of the time of a day-long import. Anything else
// goes to QDateTime::fromString, so the accepted texts stay the same.
QDateTime parseTime(const QString& text, const QString& format)
{
    const int n = text.size();
    const bool withMs = format.size() == 23;
    if (n == (withMs ? 23 : 19)) {
        const QChar* c = text.constData();
        auto num = [c](int from, int len, bool& ok) {
            int v = 0;
            for (int i = from; i < from + len; ++i) {
                const ushort u = c[i].unicode();
                if (u < '0' || u > '9') {
                    ok = false;
                    return 0;
                }
                v = v * 10 + (u - '0');
            }
            return v;
        };
        bool ok = c[4] == QLatin1Char('-') && c[7] == QLatin1Char('-') && c[10] == QLatin1Char(' ')
                  && c[13] == QLatin1Char(':') && c[16] == QLatin1Char(':') && (!withMs || c[19] == QLatin1Char('.'));
        const int y = num(0, 4, ok), mo = num(5, 2, ok), d = num(8, 2, ok), h = num(11, 2, ok),
                  mi = num(14, 2, ok), se = num(17, 2, ok), ms = withMs ? num(20, 3, ok) : 0;
        if (ok) {
            const QDate date(y, mo, d);
            const QTime time(h, mi, se, ms);
            if (date.isValid() && time.isValid())
                return QDateTime(date, time);
        }
    }
    return QDateTime::fromString(text, format);
}

// Reads forward to the record within toleranceMs of time; fields out.
bool findRecord(QFile& file, const QList<bool>& columnUsed, int timeField, const QString& format,
                const QDateTime& time, QStringList& fields)
{
    while (file.isOpen() && !file.atEnd()) {
        fields = readLine(file).split(QLatin1Char(','));
        if (fields.size() < columnUsed.size() || fields.size() <= timeField)
            return false;
        const QDateTime recorded = parseTime(fields.at(timeField), format);
        if (!recorded.isValid())
            return false;
        if (qAbs(recorded.msecsTo(time)) <= 1000)
            return true;
    }
    return false;
}

} // namespace

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
    values.clear();
    QStringList fields;
    if (!findRecord(file, columnUsed, 0, QStringLiteral("yyyy-MM-dd hh:mm:ss"), time, fields))
        return false;
    for (int i = 0; i < columnUsed.size(); ++i) {
        if (columnUsed.at(i))
            values << QString::number(static_cast<double>(fields.at(i).toFloat()), 'g', 6);
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
    values.clear();
    QStringList fields;
    if (!findRecord(file, columnUsed, 1, QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"), time, fields))
        return false;
    for (int i = 0; i < columnUsed.size(); ++i) {
        if (columnUsed.at(i))
            values << fields.at(i);
    }
    return true;
}

} // namespace DataFiles
