// The rows held while the database refuses writes: bounded memory, the side
// file and its replay in order, loss only when the side file fails too, and
// the retry back-off.

#include "HeldRows.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Scan i of two projects; names and values carry the side file's separators.
HeldRows::Scan scan(int i)
{
    const QDateTime t = QDateTime(QDate(2024, 3, 5), QTime(10, 0)).addMSecs(i * 250);
    HeldRows::Scan s{i, t, {}};
    for (const QString& name : {QStringLiteral("A\tB\\n"), QStringLiteral("项目\n2")}) {
        Tool::Struct_ParametersData row;
        row.Name = name;
        row.Time = t;
        row.Data = QStringList{QString::number(i), QStringLiteral("-1.5"), QString()};
        s.rows << row;
    }
    return s;
}

// A database that refuses the writes whose number (0-based) is in `refuse`.
struct Database
{
    QSet<int> refuse;
    int calls = 0;
    int largest = 0; // rows in the largest write
    QList<Tool::Struct_ParametersData> rows;
    bool write(const QList<Tool::Struct_ParametersData>& r)
    {
        if (refuse.contains(calls++))
            return false;
        largest = std::max(largest, r.size());
        rows << r;
        return true;
    }
};

// chattr +a: the file takes appends but can be neither cut nor removed, as
// a file on a failing disk or held open elsewhere. Undone on destruction.
struct AppendOnly
{
    QStringList paths;
    bool set(const QString& path)
    {
        if (QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+a"), path}) != 0)
            return false;
        paths << path;
        return true;
    }
    ~AppendOnly()
    {
        for (const QString& path : qAsConst(paths))
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-a"), path});
    }
};

} // namespace

class TestHeldRows : public QObject
{
    Q_OBJECT
private slots:
    void storedWholeInOrder_data();
    void storedWholeInOrder();
    void backoffDoublesUpToBound();
    void sideFileFaults_data();
    void sideFileFaults();
    void readFileTakesWholeScansOnly();
};

void TestHeldRows::storedWholeInOrder_data()
{
    QTest::addColumn<int>("memory");
    QTest::addColumn<int>("batch");
    QTest::addColumn<bool>("sideWritable");
    QTest::addColumn<QList<int>>("refuse"); // write numbers refused
    QTest::addColumn<QList<int>>("dropped"); // scans lost

    QTest::newRow("all in memory") << 50 << 4 << true << QList<int>{0, 1} << QList<int>{};
    QTest::newRow("spilled, refused mid-replay") << 3 << 2 << true << QList<int>{0, 1, 3, 5} << QList<int>{};
    QTest::newRow("spilled, one scan a write") << 1 << 1 << true << QList<int>{2} << QList<int>{};
    // Memory holds 3: scans 0-11 go before the first stored write (12, 13),
    // then 14-16 while the next waits.
    QTest::newRow("side file fails: oldest dropped")
        << 3 << 2 << false << QList<int>{0, 1} << QList<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 14, 15, 16};
}

void TestHeldRows::storedWholeInOrder()
{
    QFETCH(int, memory);
    QFETCH(int, batch);
    QFETCH(bool, sideWritable);
    QFETCH(QList<int>, refuse);
    QFETCH(QList<int>, dropped);
    const int lost = dropped.size();

    QTemporaryDir dir;
    const QString side = dir.filePath(sideWritable ? QStringLiteral("run.held.tsv") : QStringLiteral("no/run.held.tsv"));
    HeldRows held(side);
    held.setLimits(memory, batch);
    held.setBackoff(0, 0);
    Database db;
    db.refuse = QSet<int>(refuse.begin(), refuse.end());
    QList<int> stored;
    auto write = [&](const QList<Tool::Struct_ParametersData>& r) { return db.write(r); };
    auto done = [&](const HeldRows::Scan& s) { stored << s.index; };

    // Scans arrive one by one, each followed by one try of two writes, while
    // the database refuses; new scans keep arriving during the replay.
    const int scans = 20;
    for (int i = 0; i < scans; ++i) {
        held.add(scan(i));
        QVERIFY(held.scans() <= memory + held.sideScans());
        if (i % 5 == 4)
            held.flush(write, done, i, 1);
    }
    QCOMPARE(held.lostScans(), lost);
    QCOMPARE(held.lostRows(), 2 * lost);
    QCOMPARE(QFile::exists(side), sideWritable && held.sideScans() > 0);
    while (!held.isEmpty())
        held.flush(write, done, 100, 2);

    // Every scan not lost arrived once, whole, oldest first.
    QList<int> expected;
    for (int i = 0; i < scans; ++i)
        if (!dropped.contains(i))
            expected << i;
    QCOMPARE(stored, expected);
    QCOMPARE(db.rows.size(), 2 * stored.size());
    for (int k = 0; k < stored.size(); ++k)
        for (int p = 0; p < 2; ++p) {
            const Tool::Struct_ParametersData want = scan(stored.at(k)).rows.at(p);
            const Tool::Struct_ParametersData& got = db.rows.at(2 * k + p);
            QCOMPARE(got.Name, want.Name);
            QCOMPARE(got.Time, want.Time);
            QCOMPARE(got.Data, want.Data);
        }
    QVERIFY(db.largest <= 2 * batch); // no ever larger transaction
    QVERIFY(!QFile::exists(side));    // removed once stored
    QCOMPARE(held.rows(), 0);
}

void TestHeldRows::backoffDoublesUpToBound()
{
    HeldRows held;
    held.setBackoff(100, 1000);
    held.add(scan(0));
    Database db;
    db.refuse = {0, 1, 2, 3, 4, 5};
    auto write = [&](const QList<Tool::Struct_ParametersData>& r) { return db.write(r); };
    QList<qint64> waits;
    qint64 now = 0;
    for (int k = 0; k < 6; ++k) {
        QVERIFY(held.retryDue(now));
        QVERIFY(!held.flush(write, [](const HeldRows::Scan&) {}, now, 1));
        qint64 next = now;
        while (!held.retryDue(next))
            ++next;
        waits << next - now;
        now = next;
    }
    QCOMPARE(waits, (QList<qint64>{100, 200, 400, 800, 1000, 1000}));
    QVERIFY(held.flush(write, [](const HeldRows::Scan&) {}, now, 1));
    QVERIFY(held.retryDue(now)); // a stored write ends the back-off
    QCOMPARE(held.failures(), 0);
}

enum Fault { Unreadable, NotRemovable, CutShort, CutShortNotCuttable };
Q_DECLARE_METATYPE(Fault)

void TestHeldRows::sideFileFaults_data()
{
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<int>("lost");
    QTest::addColumn<bool>("left"); // the first file stays behind
    // The file cannot be read back for a while (moved away, locked): its
    // unread scans are counted lost and it is never read again, even when
    // it comes back.
    QTest::newRow("unreadable, then back") << Unreadable << 5 << true;
    // Stored but neither removable nor cuttable: the next scans go to a new file.
    QTest::newRow("drained file not removable") << NotRemovable << 0 << true;
    // A failed write left part of a scan at the end: cut back, or, when it
    // cannot be cut, the next scans go to a new file; never stored half.
    QTest::newRow("scan cut short") << CutShort << 0 << false;
    QTest::newRow("scan cut short, not cuttable") << CutShortNotCuttable << 0 << true;
}

void TestHeldRows::sideFileFaults()
{
    QFETCH(Fault, fault);
    QFETCH(int, lost);
    QFETCH(bool, left);
    QTemporaryDir dir;
    const QString side = dir.filePath(QStringLiteral("run.held.tsv"));
    AppendOnly appendOnly;
    HeldRows held(side);
    held.setLimits(2, 3);
    held.setBackoff(0, 0);
    Database db;
    QList<int> stored;
    auto write = [&](const QList<Tool::Struct_ParametersData>& r) { return db.write(r); };
    auto done = [&](const HeldRows::Scan& s) { stored << s.index; };

    // Scans 0-7 in the side file, 8 and 9 in memory; 0-2 stored.
    for (int i = 0; i < 10; ++i)
        held.add(scan(i));
    QCOMPARE(held.sideScans(), 8);
    held.flush(write, done, 0, 1);
    QCOMPARE(stored, (QList<int>{0, 1, 2}));

    switch (fault) {
    case Unreadable:
        QVERIFY(QFile::rename(side, side + QStringLiteral(".away")));
        held.flush(write, done, 1, 1);
        QVERIFY(QFile::rename(side + QStringLiteral(".away"), side));
        break;
    case NotRemovable:
        if (!appendOnly.set(side))
            QSKIP("chattr +a not possible here");
        QVERIFY(held.flush(write, done, 1, 100));
        QVERIFY(QFile::exists(side));
        break;
    case CutShort:
    case CutShortNotCuttable: {
        // The first row of a scan without the rest and its end line.
        QFile f(side);
        QVERIFY(f.open(QIODevice::Append));
        f.write(HeldRows::frame(scan(99)).split('\n').first() + '\n');
        f.close();
        if (fault == CutShortNotCuttable && !appendOnly.set(side))
            QSKIP("chattr +a not possible here");
        break;
    }
    }

    for (int i = 10; i < 20; ++i)
        held.add(scan(i));
    while (!held.isEmpty())
        held.flush(write, done, 2, 2);

    // Every scan stored once, whole and in order, or counted lost.
    QCOMPARE(held.lostScans(), lost);
    QCOMPARE(stored.size() + held.lostScans(), 20);
    for (int k = 1; k < stored.size(); ++k)
        QVERIFY2(stored.at(k) > stored.at(k - 1), qPrintable(QString::number(stored.at(k))));
    QCOMPARE(db.rows.size(), 2 * stored.size());
    for (int k = 0; k < stored.size(); ++k)
        QCOMPARE(db.rows.at(2 * k).Data, scan(stored.at(k)).rows.at(0).Data);
    // Only a file given up stays, and the run says which.
    const QStringList files = QDir(dir.path()).entryList({QStringLiteral("*.tsv")}, QDir::Files);
    QCOMPARE(files, left ? QStringList{QStringLiteral("run.held.tsv")} : QStringList{});
    QCOMPARE(held.leftFiles(), left ? QStringList{side} : QStringList{});
}

void TestHeldRows::readFileTakesWholeScansOnly()
{
    // What a crash or a failed write can leave: a scan without its end
    // line, one whose end line does not match, a last line cut short.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("left.tsv"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    const QByteArray partial = HeldRows::frame(scan(2)).split('\n').first() + '\n';
    QByteArray mismatched = HeldRows::frame(scan(4));
    mismatched.replace("#end\t4\t2", "#end\t4\t3");
    f.write(HeldRows::frame(scan(1)) + partial + HeldRows::frame(scan(3)) + mismatched + HeldRows::frame(scan(5))
            + HeldRows::frame(scan(6)).left(30));
    f.close();
    HeldRows::FileScans got;
    QVERIFY(HeldRows::readFile(path, got));
    QList<int> indices;
    for (const HeldRows::Scan& s : qAsConst(got.scans)) {
        indices << s.index;
        QCOMPARE(s.rows.size(), 2);
        QCOMPARE(s.rows.at(1).Name, scan(s.index).rows.at(1).Name);
        QCOMPARE(s.rows.at(1).Data, scan(s.index).rows.at(1).Data);
        QCOMPARE(s.time, scan(s.index).time);
    }
    QCOMPARE(indices, (QList<int>{1, 3, 5}));
    QCOMPARE(got.broken, 3);
    QVERIFY(!HeldRows::readFile(dir.filePath(QStringLiteral("none.tsv")), got));
}

QTEST_GUILESS_MAIN(TestHeldRows)
#include "tst_heldrows.moc"
