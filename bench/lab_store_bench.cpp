// The store on both engines: single-scan commits and bulk inserts on the
// SQLite file and on a PostgreSQL server this program starts itself (with
// the server's default durability), against psql's own COPY of the same rows.
//
//   lab_store_bench [rows] [scans]     (default 86400 rows, 2000 single scans)
//
// A single scan is what an online acquisition commits every interval: one
// row per project in its own transaction (Tool::addParametersDataBulk).
#include "PgServer.h"
#include "Tool.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QList<Tool::Struct_ParametersData> makeRows(int count, const QString& name)
{
    QList<Tool::Struct_ParametersData> rows;
    rows.reserve(count);
    const QDateTime start(QDate(2024, 1, 1), QTime(0, 0));
    for (int i = 0; i < count; ++i) {
        QStringList values;
        for (int c = 0; c < 16; ++c)
            values << QString::number(20.0 + c * 0.5 + (i % 100) * 0.001, 'f', 3);
        rows.append({name, start.addSecs(i), values});
    }
    return rows;
}

void singleScans(const char* engine, const QList<Tool::Struct_ParametersData>& rows)
{
    std::vector<double> latencies;
    latencies.reserve(rows.size());
    QElapsedTimer all;
    all.start();
    for (const auto& row : rows) {
        QElapsedTimer one;
        one.start();
        if (!Tool::addParametersDataBulk({row}, 200)) {
            std::printf("%s: single scan failed\n", engine);
            return;
        }
        latencies.push_back(one.nsecsElapsed() / 1e6);
    }
    const double seconds = all.nsecsElapsed() / 1e9;
    std::sort(latencies.begin(), latencies.end());
    const double p50 = latencies[latencies.size() / 2];
    const double p99 = latencies[static_cast<size_t>(latencies.size() * 0.99)];
    std::printf("%-40s single scans %6d  %8.0f scans/s  p50 %.3f ms  p99 %.3f ms\n", engine,
                static_cast<int>(rows.size()), rows.size() / seconds, p50, p99);
}

double bulk(const char* engine, const QList<Tool::Struct_ParametersData>& rows)
{
    QElapsedTimer t;
    t.start();
    if (!Tool::addParametersDataBulk(rows)) {
        std::printf("%s: bulk insert failed\n", engine);
        return 0;
    }
    const double rate = rows.size() / (t.nsecsElapsed() / 1e9);
    std::printf("%-40s bulk %8d rows  %10.0f rows/s\n", engine, static_cast<int>(rows.size()), rate);
    return rate;
}

// The rows in COPY's text format, written before the clock starts.
bool writeCopyFile(const QString& path, const QList<Tool::Struct_ParametersData>& rows)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    QTextStream out(&f);
    for (const auto& r : rows)
        out << r.Name << '\t' << r.Time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")) << '\t'
            << r.Data.join(QLatin1Char(',')) << '\n';
    return out.status() == QTextStream::Ok;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1000, atoi(argv[1])) : 86400;
    const int scans = argc > 2 ? std::max(100, atoi(argv[2])) : 2000;
    QTemporaryDir dir;

    // SQLite: the bench's file.
    if (!Tool::openDefaultDatabase(dir.filePath(QStringLiteral("bench.db3")))) {
        std::printf("SQLite database not opened\n");
        return 1;
    }
    singleScans("SQLite (WAL, synchronous=FULL)", makeRows(scans, QStringLiteral("single")));
    const double sqlite = bulk("SQLite, driver handle", makeRows(count, QStringLiteral("bulk")));
    Tool::closeDefaultDatabase();

    // PostgreSQL: a fresh durable cluster on the loopback.
    TestPgServer server;
    QString why;
    if (!server.start(&why, true) || !server.createDatabase(QStringLiteral("bench"), &why)) {
        std::printf("PostgreSQL not measured: %s\n", qPrintable(why));
        return 0;
    }
    Tool::DatabaseSettings settings;
    settings.engine = Tool::Engine::PostgreSQL;
    settings.host = server.host();
    settings.port = server.port();
    settings.database = QStringLiteral("bench");
    settings.user = server.user();
    settings.file = dir.filePath(QStringLiteral("local.db3"));
    if (!Tool::openServerDatabase(settings, &why)) {
        std::printf("PostgreSQL not opened: %s\n", qPrintable(why));
        return 1;
    }
    singleScans("PostgreSQL, COPY", makeRows(scans, QStringLiteral("single-copy")));
    Tool::forceQtStatementInserts(true);
    singleScans("PostgreSQL, prepared inserts", makeRows(scans, QStringLiteral("single-insert")));
    const double multi = bulk("PostgreSQL, 100-row prepared inserts", makeRows(count, QStringLiteral("bulk-insert")));
    Tool::forceQtStatementInserts(false);
    const double copy = bulk("PostgreSQL, COPY on driver connection", makeRows(count, QStringLiteral("bulk-copy")));
    Tool::closeDefaultDatabase();

    // psql's own COPY of the same rows, from a file written beforehand (its
    // start-up and connection are in the time, as a user would run it).
    const QString file = dir.filePath(QStringLiteral("rows.copy"));
    if (!writeCopyFile(file, makeRows(count, QStringLiteral("bulk-psql")))) {
        std::printf("copy file not written\n");
        return 1;
    }
    QElapsedTimer t;
    t.start();
    QByteArray output;
    const int rc = server.runClient(QStringLiteral("psql"),
                                    {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-d"),
                                     QStringLiteral("bench"), QStringLiteral("-c"),
                                     QStringLiteral("\\copy ParametersData(Name, Time, Data) FROM '%1'").arg(file)},
                                    &output);
    const double psql = count / (t.nsecsElapsed() / 1e9);
    if (rc != 0) {
        std::printf("psql COPY failed: %s\n", output.constData());
        return 1;
    }
    std::printf("%-40s bulk %8d rows  %10.0f rows/s\n", "psql \\copy (reference)", count, psql);
    std::printf("COPY / psql: %.2f   100-row inserts / psql: %.2f   SQLite / psql: %.2f\n", copy / psql,
                multi / psql, sqlite / psql);
    return 0;
}
