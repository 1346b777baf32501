// The engine's process killed in the middle of a run: the database stays
// intact and every scan reported committed before the kill is there. Killed
// while the database refuses its writes: the side file holds whole scans in
// its documented format, and the next start stores each of them once.

#include "HeldRecovery.h"
#include "SimulatorProcess.h"
#include "TestSupport.h"

#include <QDir>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

#include <algorithm>
#include <functional>

namespace {

// Lines of the runner as they come: "SCAN t", "STORED i t".
struct RunnerLines
{
    QString buffer;
    QStringList scans;
    QMap<int, QString> stored;
    void take(const QByteArray& bytes)
    {
        buffer += QString::fromUtf8(bytes);
        int nl;
        while ((nl = buffer.indexOf(QLatin1Char('\n'))) >= 0) {
            const QStringList parts = buffer.left(nl).trimmed().split(QLatin1Char(' '));
            buffer.remove(0, nl + 1);
            if (parts.size() == 3 && parts.at(0) == QLatin1String("SCAN"))
                scans << parts.at(1) + QLatin1Char(' ') + parts.at(2);
            else if (parts.size() == 4 && parts.at(0) == QLatin1String("STORED"))
                stored.insert(parts.at(1).toInt(), parts.at(2) + QLatin1Char(' ') + parts.at(3));
        }
    }
};

// The side file read by its documented format: row lines "index, scan time,
// row time, project, values" (tab-separated), each scan closed by
// "#end<TAB>index<TAB>rows". The times of the whole scans; `broken` counts
// scans cut short.
QStringList wholeScans(const QString& path, int* broken)
{
    QFile f(path);
    QStringList times;
    if (!f.open(QIODevice::ReadOnly))
        return times;
    QList<QStringList> rows;
    for (const QByteArray& raw : f.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw);
        if (line.isEmpty())
            continue;
        const QStringList fields = line.split(QLatin1Char('\t'));
        if (fields.value(0) == QLatin1String("#end")) {
            const bool whole = fields.size() == 3 && fields.at(2).toInt() == rows.size() && !rows.isEmpty()
                               && std::all_of(rows.begin(), rows.end(), [&](const QStringList& r) {
                                      return r.size() == 5 && r.at(0) == fields.at(1);
                                  });
            if (whole)
                times << rows.first().at(1);
            else
                ++*broken;
            rows.clear();
        } else {
            rows << fields;
        }
    }
    *broken += rows.isEmpty() ? 0 : 1; // a scan without its end line
    return times;
}

} // namespace

class TestOnlineCrash : public QObject
{
    Q_OBJECT
private slots:
    void killedMidRun();
    void killedWhileScansAreHeld();
};

void TestOnlineCrash::killedMidRun()
{
    TestWorkDir dir;
    QVERIFY(dir.isValid());
    const QString runner = qEnvironmentVariable("ARQ_BINARY_DIR", QStringLiteral(ARQ_DEFAULT_BINARY_DIR))
                           + QStringLiteral("/tests/acquisition/arq-online-runner");
    QProcess process;
    process.setProgram(runner);
    process.setArguments({"--workdir", dir.path(), "--simulator", SimulatorProcess::program(), "--instruments",
                          "2", "--projects", "2", "--channels", "4", "--interval", "0.05"});
    process.start();
    QVERIFY2(process.waitForStarted(5000), qPrintable(runner));

    // Committed scans as reported by the runner: index → scan time.
    RunnerLines lines;
    QElapsedTimer t;
    t.start();
    while (lines.stored.size() < 40 && t.elapsed() < 30000 && process.state() == QProcess::Running) {
        process.waitForReadyRead(50);
        lines.take(process.readAllStandardOutput());
    }
    QVERIFY2(lines.stored.size() >= 40, qPrintable(QString::fromUtf8(process.readAllStandardError())));
    // kill() is SIGKILL: no handler, no destructor, no flush runs.
    process.kill();
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    // Lines still in the pipe were reported before the kill as well.
    lines.take(process.readAllStandardOutput() + "\n");
    const QMap<int, QString>& committed = lines.stored;

    QVERIFY(TestSupport::openDatabase());
    QCOMPARE(TestSupport::scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    QCOMPARE(TestSupport::scalar(QStringLiteral("select count(*) from Parameters")).toInt(), 2);
    for (auto it = committed.cbegin(); it != committed.cend(); ++it) {
        QSqlQuery q;
        q.prepare(QStringLiteral("select count(*) from ParametersData where Time = ?"));
        q.addBindValue(it.value());
        QVERIFY(q.exec() && q.next());
        QVERIFY2(q.value(0).toInt() == 2, qPrintable(QStringLiteral("scan %1 at %2").arg(it.key()).arg(it.value())));
    }
    // At most the scan in flight goes beyond what was reported.
    const int rows = TestSupport::scalar(QStringLiteral("select count(*) from ParametersData")).toInt();
    QVERIFY(rows == 2 * committed.size() || rows == 2 * committed.size() + 2);
    TestSupport::closeDatabase();
}

void TestOnlineCrash::killedWhileScansAreHeld()
{
    TestWorkDir dir;
    QVERIFY(dir.isValid());
    const QString runner = qEnvironmentVariable("ARQ_BINARY_DIR", QStringLiteral(ARQ_DEFAULT_BINARY_DIR))
                           + QStringLiteral("/tests/acquisition/arq-online-runner");
    QProcess process;
    process.setProgram(runner);
    // Five scans in memory, then the side file.
    process.setArguments({"--workdir", dir.path(), "--simulator", SimulatorProcess::program(), "--instruments",
                          "1", "--projects", "1", "--channels", "2", "--interval", "0.05", "--hold-limits",
                          "5,3,100,400"});
    process.start();
    QVERIFY2(process.waitForStarted(5000), qPrintable(runner));
    RunnerLines lines;
    const auto readUntil = [&](const std::function<bool()>& done, int ms) {
        QElapsedTimer t;
        t.start();
        while (!done() && t.elapsed() < ms && process.state() == QProcess::Running) {
            process.waitForReadyRead(50);
            lines.take(process.readAllStandardOutput());
        }
        return done();
    };
    QVERIFY2(readUntil([&] { return lines.stored.size() >= 10; }, 30000),
             qPrintable(QString::fromUtf8(process.readAllStandardError())));

    // The database refuses every further scan (from another process, as a full disk would).
    const QString database = dir.file(QStringLiteral("ARQ-310MX.db3"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("refuser"));
        db.setDatabaseName(database);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY2(q.exec(QStringLiteral("CREATE TRIGGER diskfull BEFORE INSERT ON ParametersData "
                                       "BEGIN SELECT RAISE(ABORT, 'disk full'); END")),
                 qPrintable(q.lastError().text()));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("refuser"));
    const int before = lines.scans.size();
    QVERIFY(readUntil([&] { return lines.scans.size() >= before + 40; }, 30000));
    process.kill();
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::CrashExit);
    lines.take(process.readAllStandardOutput());

    // The side file, read here: whole scans only (one may be cut by the kill).
    const QStringList files = HeldRecovery::sideFiles(database);
    QCOMPARE(files.size(), 1);
    int broken = 0;
    const QStringList inFile = wholeScans(files.first(), &broken);
    QVERIFY(broken <= 1);
    QVERIFY2(inFile.size() >= 30, qPrintable(QString::number(inFile.size())));
    for (const QString& t : inFile)
        QVERIFY2(lines.scans.contains(t) && !lines.stored.values().contains(t), qPrintable(t));

    // The next start: writes work again and the held scans are stored.
    QVERIFY(TestSupport::openDatabase());
    TestSupport::scalar(QStringLiteral("DROP TRIGGER diskfull"));
    QCOMPARE(TestSupport::scalar(QStringLiteral("select count(*) from sqlite_master where type='trigger'")).toInt(), 0);
    const HeldRecovery::Outcome outcome = HeldRecovery::recover(database);
    QCOMPARE(outcome.stored, inFile.size());
    QCOMPARE(outcome.broken, broken);
    QVERIFY(outcome.kept.isEmpty());
    QCOMPARE(TestSupport::scalar(QStringLiteral("PRAGMA integrity_check")).toString(), QStringLiteral("ok"));
    // Every scan at most once; every committed and every whole held scan once;
    // lost only what memory held at the kill (five scans) and the one in flight.
    QMap<QString, int> count;
    QSqlQuery q;
    QVERIFY(q.exec(QStringLiteral("select Time from ParametersData")));
    while (q.next())
        ++count[q.value(0).toString()];
    for (auto it = count.cbegin(); it != count.cend(); ++it)
        QVERIFY2(it.value() == 1, qPrintable(it.key()));
    for (const QString& t : lines.stored.values() + inFile)
        QVERIFY2(count.value(t) == 1, qPrintable(t));
    int lost = 0;
    for (const QString& t : qAsConst(lines.scans))
        lost += count.contains(t) ? 0 : 1;
    QVERIFY2(lost <= 5 + 1 + broken, qPrintable(QString::number(lost)));
    TestSupport::closeDatabase();
}

QTEST_GUILESS_MAIN(TestOnlineCrash)
#include "tst_onlinecrash.moc"
