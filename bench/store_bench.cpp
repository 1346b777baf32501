// Scan-row insert speed of the store.
//
//   store_bench [rows]          (default 86400, one day at a 1 s interval)
//
// Prints rows/s and the p99 latency of single inserts, each its own commit
// (as the online acquisition writes them) under synchronous=FULL and NORMAL,
// the same rows through the bulk helper in one transaction (on the SQL
// driver's handle, and through Qt statements), and a plain sqlite3 C
// reference inserting them in one transaction.
#include "Tool.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QList<Tool::Struct_ParametersData> makeRows(int count)
{
    QList<Tool::Struct_ParametersData> rows;
    rows.reserve(count);
    const QDateTime start(QDate(2024, 1, 1), QTime(0, 0));
    for (int i = 0; i < count; ++i) {
        QStringList values;
        for (int c = 0; c < 16; ++c)
            values << QString::number(20.0 + c * 0.5 + (i % 100) * 0.001, 'f', 3);
        rows.append({QStringLiteral("bench"), start.addSecs(i), values});
    }
    return rows;
}

void singleCommits(const QList<Tool::Struct_ParametersData>& rows, const char* synchronous)
{
    QTemporaryDir dir;
    Tool::openDefaultDatabase(dir.filePath(QStringLiteral("single.db3")));
    QSqlQuery(QStringLiteral("PRAGMA synchronous=%1").arg(QLatin1String(synchronous)));
    std::vector<double> latencies;
    latencies.reserve(rows.size());
    QElapsedTimer all;
    all.start();
    for (const auto& row : rows) {
        QElapsedTimer one;
        one.start();
        Tool::addParametersData(row);
        latencies.push_back(one.nsecsElapsed() / 1e6);
    }
    const double seconds = all.nsecsElapsed() / 1e9;
    std::sort(latencies.begin(), latencies.end());
    const double p99 = latencies[static_cast<size_t>(latencies.size() * 0.99)];
    std::printf("single commits, WAL + synchronous=%-6s %8d rows  %10.0f rows/s  p99 %.3f ms\n", synchronous,
                static_cast<int>(rows.size()), rows.size() / seconds, p99);
}

// The bulk helper on the SQL driver's handle (where the driver shares this
// program's SQLite, as here) or, forced, through Qt statements (the path of
// builds whose driver carries its own SQLite, such as Qt's Windows plugin).
double bulk(const QList<Tool::Struct_ParametersData>& rows, bool qtStatements)
{
    QTemporaryDir dir;
    Tool::openDefaultDatabase(dir.filePath(QStringLiteral("bulk.db3")));
    Tool::forceQtStatementInserts(qtStatements);
    const bool native = Tool::bulkInsertPath() == Tool::BulkInsertPath::NativeHandle;
    QElapsedTimer t;
    t.start();
    if (!Tool::addParametersDataBulk(rows))
        std::printf("bulk insert failed\n");
    const double rate = rows.size() / (t.nsecsElapsed() / 1e9);
    Tool::forceQtStatementInserts(false);
    std::printf("bulk helper, %-13s one transaction %8d rows  %10.0f rows/s\n",
                native ? "driver handle" : "Qt statements", static_cast<int>(rows.size()), rate);
    return rate;
}

double reference(const QList<Tool::Struct_ParametersData>& rows)
{
    QTemporaryDir dir;
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(dir.filePath(QStringLiteral("ref.db3"))).constData(), &db);
    sqlite3_exec(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=FULL;"
                     "CREATE TABLE ParametersData(Name TEXT, Time TEXT, Data TEXT)",
                 nullptr, nullptr, nullptr);
    // Text prepared up front, as the store's rows are already text.
    std::vector<QByteArray> times, data;
    for (const auto& r : rows) {
        times.push_back(r.Time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")).toUtf8());
        data.push_back(r.Data.join(QLatin1Char(',')).toUtf8());
    }
    QElapsedTimer t;
    t.start();
    sqlite3_stmt* stmt = nullptr;
    sqlite3_exec(db, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_prepare_v2(db, "insert into ParametersData values (?,?,?)", -1, &stmt, nullptr);
    for (size_t i = 0; i < times.size(); ++i) {
        sqlite3_bind_text(stmt, 1, "bench", -1, SQLITE_STATIC);
        sqlite3_bind_text(stmt, 2, times[i].constData(), times[i].size(), SQLITE_STATIC);
        sqlite3_bind_text(stmt, 3, data[i].constData(), data[i].size(), SQLITE_STATIC);
        sqlite3_step(stmt);
        sqlite3_reset(stmt);
    }
    sqlite3_finalize(stmt);
    sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    const double rate = rows.size() / (t.nsecsElapsed() / 1e9);
    sqlite3_close(db);
    std::printf("sqlite3 C reference, one transaction       %8d rows  %10.0f rows/s\n", static_cast<int>(rows.size()), rate);
    return rate;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(100, atoi(argv[1])) : 86400;
    const auto rows = makeRows(count);
    singleCommits(rows, "FULL");
    singleCommits(rows, "NORMAL");
    // The machine is shared: best of three alternating runs of each.
    double ours = 0, statements = 0, ref = 0;
    for (int i = 0; i < 3; ++i) {
        ours = std::max(ours, bulk(rows, false));
        statements = std::max(statements, bulk(rows, true));
        ref = std::max(ref, reference(rows));
    }
    std::printf("bulk helper / C reference (best of 3 each): driver handle %.2f, Qt statements %.2f\n", ours / ref,
                statements / ref);
    return 0;
}
