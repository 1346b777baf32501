// The rows held while the database refuses writes: bounded memory, the side
// file and its replay in order, loss only when the side file fails too, and
// the retry back-off.

#include "HeldRows.h"

#include <QFile>
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

} // namespace

class TestHeldRows : public QObject
{
    Q_OBJECT
private slots:
    void storedWholeInOrder_data();
    void storedWholeInOrder();
    void backoffDoublesUpToBound();
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

QTEST_GUILESS_MAIN(TestHeldRows)
#include "tst_heldrows.moc"
