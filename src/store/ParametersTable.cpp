// The compact read of a project's rows (Tool::getParametersTable): scan
// times and one column of doubles per channel, for the report page and its
// writers. A week of 50 channels is 30 million values: the read parses the
// stored bytes in place, with no QString, QStringList or QVariant per row.

#include "SqlEngine.h"
#include "Tool.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <QtDebug>

#include <sqlite3.h>

#include <cmath>
#include <limits>

namespace Tool {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// "yyyy-MM-dd hh:mm:ss[.zzz]" to ms since the epoch, local time; the local
// start of each hour is converted once, not every row.
class ScanTimeParser
{
public:
    template <typename Char>
    bool parse(const Char* t, int size, qint64* ms)
    {
        if (size < 19)
            return false;
        bool ok = true;
        const auto num = [t, &ok](int at, int len) {
            int v = 0;
            for (int i = at; i < at + len; ++i) {
                const unsigned c = unsigned(t[i]);
                if (c < '0' || c > '9') {
                    ok = false;
                    return 0;
                }
                v = v * 10 + int(c - '0');
            }
            return v;
        };
        const int y = num(0, 4), mo = num(5, 2), d = num(8, 2), h = num(11, 2);
        const int mi = num(14, 2), sec = num(17, 2);
        const int z = size >= 23 ? num(20, 3) : 0;
        if (!ok || mi > 59 || sec > 59)
            return false;
        const qint64 hourKey = ((qint64(y) * 100 + mo) * 100 + d) * 100 + h;
        if (hourKey != m_hourKey) {
            const QDateTime start(QDate(y, mo, d), QTime(h, 0));
            if (!start.isValid())
                return false;
            m_hourKey = hourKey;
            m_hourMs = start.toMSecsSinceEpoch();
        }
        *ms = m_hourMs + (mi * 60 + sec) * 1000 + z;
        return true;
    }

private:
    qint64 m_hourKey = -1;
    qint64 m_hourMs = 0;
};

// One stored value text as QString::toDouble reads it (the C locale,
// surrounding blanks ignored), NaN when it is no finite number. The usual
// text, up to 15 digits with an optional sign and point, is read exactly
// by hand: digits / 10^k with both exact doubles is correctly rounded, as
// strtod rounds. Anything else goes through Qt's own conversion.
template <typename Char>
double parseValue(const Char* b, const Char* e)
{
    static constexpr double kPowers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                         1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const Char* p = b;
    const bool negative = p != e && *p == Char('-');
    if (p != e && (*p == Char('-') || *p == Char('+')))
        ++p;
    quint64 mantissa = 0; // wraps harmlessly past 15 digits, where it is not used
    int digits = 0, fraction = 0;
    const Char* intStart = p;
    while (p != e && unsigned(*p) - '0' < 10u) {
        mantissa = mantissa * 10 + (unsigned(*p) - '0');
        ++p;
        ++digits;
    }
    bool fast = p != intStart;
    if (fast && p != e && *p == Char('.')) {
        ++p;
        const Char* fracStart = p;
        while (p != e && unsigned(*p) - '0' < 10u) {
            mantissa = mantissa * 10 + (unsigned(*p) - '0');
            ++p;
            ++digits;
        }
        fraction = int(p - fracStart);
        fast = fraction > 0;
    }
    if (fast && p == e && digits <= 15) {
        const double v = double(mantissa) / kPowers[fraction];
        return negative ? -v : v;
    }
    if (b == e)
        return kNaN;
    QByteArray text;
    text.reserve(int(e - b));
    for (const Char* c = b; c != e; ++c) {
        if (unsigned(*c) >= 0x80)
            return kNaN; // no number has such a character
        text.append(char(*c));
    }
    bool ok = false;
    const double v = text.toDouble(&ok);
    return ok && std::isfinite(v) ? v : kNaN;
}

// Rows are appended into storage reserved once for the row count.
class TableFiller
{
public:
    TableFiller(int channels, int expected, QVector<qint64>* times, QVector<QVector<double>>* columns)
        : m_channels(channels), m_times(times), m_columns(columns)
    {
        times->clear();
        columns->clear();
        columns->resize(channels);
        times->reserve(expected);
        for (QVector<double>& c : *columns)
            c.reserve(expected);
    }

    template <typename Char>
    void add(const Char* time, int timeSize, const Char* data, int dataSize)
    {
        qint64 ms = 0;
        if (!m_parser.parse(time, timeSize, &ms))
            return;
        int column = 0;
        const Char* from = data;
        const Char* end = data + dataSize;
        for (const Char* p = data; column < m_channels; ++p) {
            if (p == end || *p == Char(',')) {
                // No number is a gap, never a 0 counted in the statistics.
                (*m_columns)[column++].append(parseValue(from, p));
                from = p + 1;
                if (p == end)
                    break;
            }
        }
        // A short row: its missing values are no numbers, so the columns stay aligned.
        for (; column < m_channels; ++column)
            (*m_columns)[column].append(kNaN);
        m_times->append(ms);
    }

    // Storage reserved for rows that were not there (or were skipped) is given back.
    void finish()
    {
        if (m_times->capacity() > m_times->size())
            m_times->squeeze();
        for (QVector<double>& c : *m_columns)
            if (c.capacity() > c.size())
                c.squeeze();
    }

private:
    int m_channels;
    QVector<qint64>* m_times;
    QVector<QVector<double>>* m_columns;
    ScanTimeParser m_parser;
};

sqlite3* sharedHandle(const QSqlDatabase& db)
{
    if (bulkInsertPath() != BulkInsertPath::NativeHandle || !db.driver())
        return nullptr;
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(v.constData());
}

} // namespace

bool getParametersTable(const QString& name, int channels, QVector<qint64>* times,
                        QVector<QVector<double>>* columns)
{
    channels = std::max(channels, 0);
    // The scans are shared records: on a lab server they live there.
    const QSqlDatabase db = Sql::sharedDatabase();
    // The row count first (the name's index answers it), so each column is
    // allocated once at its size: growing 50 columns by doubling copies them
    // again and again and may hold twice the memory.
    int expected = 0;
    {
        QSqlQuery count = Sql::sharedQuery();
        count.prepare(QStringLiteral("select count(*) from ParametersData where Name = ?"));
        count.addBindValue(name);
        if (!count.exec() || !count.next()) {
            qWarning() << "查询ParametersData失败！" << count.lastError().text();
            return false;
        }
        expected = count.value(0).toInt();
    }
    TableFiller filler(channels, expected, times, columns);

    if (sqlite3* handle = sharedHandle(db)) {
        // The stored UTF-8 read in place: no conversion to UTF-16 and no
        // QVariant per value, which cost more than SQLite's own read.
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(handle, "select Time, Data from ParametersData where Name = ?", -1, &st, nullptr)
            != SQLITE_OK) {
            qWarning() << "查询ParametersData失败！" << sqlite3_errmsg(handle);
            return false;
        }
        const QByteArray utf8 = name.toUtf8();
        sqlite3_bind_text(st, 1, utf8.constData(), utf8.size(), SQLITE_STATIC);
        int rc;
        while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
            const auto* time = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            const int timeSize = sqlite3_column_bytes(st, 0);
            const auto* data = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
            const int dataSize = sqlite3_column_bytes(st, 1);
            filler.add(time ? time : "", timeSize, data ? data : "", dataSize);
        }
        const bool ok = rc == SQLITE_DONE;
        if (!ok)
            qWarning() << "查询ParametersData失败！" << sqlite3_errmsg(handle);
        sqlite3_finalize(st);
        filler.finish();
        return ok;
    }

    QSqlQuery q = Sql::sharedQuery();
    q.setForwardOnly(true);
    q.prepare(QStringLiteral("select Time, Data from ParametersData where Name = ?") + Sql::scanOrder(db));
    q.addBindValue(name);
    if (!q.exec()) {
        qWarning() << "查询ParametersData失败！" << q.lastError().text();
        return false;
    }
    while (q.next()) {
        const QString time = q.value(0).toString();
        const QString data = q.value(1).toString();
        filler.add(time.utf16(), time.size(), data.utf16(), data.size());
    }
    filler.finish();
    return true;
}

} // namespace Tool
