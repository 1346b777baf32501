// A restore killed at any moment of its copy, check and commit: the database
// is whole and is exactly the one before or the one restored, never a mix.
#include "Backup.h"
#include "TestSupport.h"
#include "Tool.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSqlQuery>
#include <QtTest>

namespace {

// A database whose projects name `tag`, written through the store and backed up.
QString makeBackup(const QString& path, const QString& tag, int projects)
{
    for (int i = 0; i < projects; ++i) {
        Tool::Struct_Parameters p;
        p.Name = QStringLiteral("%1-%2").arg(tag).arg(i);
        if (!Tool::addParameters(p))
            return QString();
    }
    return Backup::backupDatabase(path) ? path : QString();
}

QString content()
{
    QStringList names;
    QSqlQuery q;
    if (!q.exec(QStringLiteral("select Name from Parameters order by Name")))
        return QStringLiteral("unreadable");
    while (q.next())
        names << q.value(0).toString();
    return names.join(QLatin1Char(','));
}

} // namespace

class TestRestoreCrash : public QObject
{
    Q_OBJECT
private slots:
    void killedDuringRestore();
};

void TestRestoreCrash::killedDuringRestore()
{
    TestWorkDir dir;
    QVERIFY(TestSupport::openDatabase());
    const QString a = makeBackup(dir.file("a.db3"), "A", 40);
    TestSupport::scalar("delete from Parameters");
    const QString b = makeBackup(dir.file("b.db3"), "B", 7);
    QVERIFY(!a.isEmpty() && !b.isEmpty());
    TestSupport::closeDatabase();
    QStringList expected;
    for (const QString& file : {a, b}) {
        QVERIFY(QFile::copy(file, dir.file("probe.db3")));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "probe");
            db.setDatabaseName(dir.file("probe.db3"));
            QVERIFY(db.open());
            QStringList names;
            QSqlQuery q(db);
            QVERIFY(q.exec("select Name from Parameters order by Name"));
            while (q.next())
                names << q.value(0).toString();
            expected << names.join(',');
            db.close();
        }
        QSqlDatabase::removeDatabase("probe");
        QFile::remove(dir.file("probe.db3"));
    }

    const QString runner = qEnvironmentVariable("ARQ_BINARY_DIR", QStringLiteral(ARQ_DEFAULT_BINARY_DIR))
                           + QStringLiteral("/tests/store/arq-restore-runner");
    int restores = 0;
    for (int round = 0; round < 12; ++round) {
        QProcess p;
        p.start(runner, {dir.path(), a, b});
        QVERIFY2(p.waitForStarted(5000), qPrintable(runner));
        // Let it restore a few times, then kill it somewhere in the next one.
        QTest::qWait(150 + QRandomGenerator::global()->bounded(250));
        p.kill();
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
        restores += QString::fromUtf8(p.readAllStandardOutput()).count("RESTORED");
        QVERIFY(TestSupport::openDatabase());
        QCOMPARE(TestSupport::scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
        const QString now = content();
        QVERIFY2(expected.contains(now), qPrintable(now));
        TestSupport::closeDatabase();
        QFile::remove(dir.file("ARQ-310MX.db3.restore"));
    }
    QVERIFY(restores > 12); // the kills fell in the middle of a sequence of restores
}

QTEST_GUILESS_MAIN(TestRestoreCrash)
#include "tst_restorecrash.moc"
