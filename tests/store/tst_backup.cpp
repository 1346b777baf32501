// Backups of the live database and restores that never lose it.
#include "Backup.h"
#include "CalibrationStore.h"
#include "LabRecords.h"
#include "TestSupport.h"
#include "Tool.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QRandomGenerator>
#include <QThread>
#include <QtTest>

#include <cmath>

#include <atomic>

namespace {

QByteArray fileHash(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Opens a private connection and returns a query result of its first value.
QVariant scalarIn(const QString& path, const QString& sql)
{
    const QString name = QStringLiteral("check-") + QString::number(QRandomGenerator::global()->generate());
    QVariant result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                result = q.value(0);
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return result;
}

void insertRows(const QString& name, int count)
{
    // One scan time each: a project's scan is stored once per time.
    const QDateTime first = QDateTime::currentDateTime();
    for (int i = 0; i < count; ++i)
        QVERIFY(Tool::addParametersData({name, first.addMSecs(i), {QString::number(i)}}));
}

// Writes scan rows on its own connection until told to stop.
class Writer : public QThread
{
public:
    explicit Writer(const QString& path) : m_path(path) {}
    std::atomic<bool> stop{false};
    std::atomic<int> written{0};

protected:
    void run() override
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "writer");
            db.setDatabaseName(m_path);
            if (!db.open())
                return;
            Tool::configureConnection(db);
            QSqlQuery q(db);
            q.prepare("insert into ParametersData values (?,?,?)");
            while (!stop) {
                q.addBindValue("live");
                q.addBindValue(QDateTime::currentDateTime().toString("yyyy-MM-dd hh:mm:ss.zzz"));
                q.addBindValue("1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16");
                if (q.exec())
                    ++written;
            }
            db.close();
        }
        QSqlDatabase::removeDatabase("writer");
    }

private:
    QString m_path;
};

} // namespace

class TestBackup : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir.reset(new TestWorkDir);
        QVERIFY(TestSupport::openDatabase());
        m_db = m_dir->file("ARQ-310MX.db3");
    }
    void cleanup() { m_dir.reset(); }

    void targetName()
    {
        const QDateTime t(QDate(2024, 3, 5), QTime(7, 8, 59));
        QCOMPARE(Backup::backupTarget("/tmp/b", t), QStringLiteral("/tmp/b/2024_03_05_07_08_ARQ-310MX.db3"));
    }

    void backupHoldsRowsStillInTheWal()
    {
        insertRows("p", 200);
        // Nothing checkpointed yet: a byte copy of the main file would miss rows.
        const QString target = m_dir->file("copy.db3");
        QVERIFY(Backup::backupDatabase(target));
        QCOMPARE(scalarIn(target, "select count(*) from ParametersData").toInt(), 200);
        QCOMPARE(scalarIn(target, "PRAGMA integrity_check").toString(), QStringLiteral("ok"));
        // The same name again is refused, like a copy onto an existing file.
        QVERIFY(!Backup::backupDatabase(target));
    }

    void backupWhileAnotherThreadWrites()
    {
        Writer writer(m_db);
        writer.start();
        while (writer.written < 100)
            QThread::msleep(5);
        const QString target = m_dir->file("during.db3");
        QVERIFY(Backup::backupDatabase(target));
        const int atBackup = writer.written;
        writer.stop = true;
        writer.wait();
        QCOMPARE(scalarIn(target, "PRAGMA integrity_check").toString(), QStringLiteral("ok"));
        const int copied = scalarIn(target, "select count(*) from ParametersData").toInt();
        QVERIFY2(copied >= 100 && copied <= atBackup + 1, qPrintable(QString::number(copied)));
    }

    void restoreRefusesBadFiles_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("missing") << "missing";
        QTest::newRow("unreadable") << "unreadable";
        QTest::newRow("not sqlite") << "text";
        QTest::newRow("truncated") << "truncated";
        QTest::newRow("foreign database") << "foreign";
    }
    void restoreRefusesBadFiles()
    {
        QFETCH(QString, kind);
        insertRows("keep", 50);
        const QString source = m_dir->file("bad.db3");
        if (kind == "text") {
            QFile f(source);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("this is not a database\n");
        } else if (kind == "truncated" || kind == "unreadable") {
            QVERIFY(Backup::backupDatabase(source));
            if (kind == "truncated") {
                QFile f(source);
                QVERIFY(f.open(QIODevice::ReadWrite));
                QVERIFY(f.resize(f.size() / 2));
            } else {
                QFile::setPermissions(source, QFileDevice::Permissions());
                // Root reads any file: the case runs again as an unprivileged user.
                if (QFile(source).open(QIODevice::ReadOnly)) {
                    QString output;
                    QVERIFY2(TestSupport::runUnprivileged(QString::fromLatin1(QTest::currentTestFunction()) + ':'
                                                              + QTest::currentDataTag(),
                                                          &output),
                             qPrintable(output));
                    return;
                }
            }
        } else if (kind == "foreign") {
            const QString name = "foreign";
            {
                QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", name);
                db.setDatabaseName(source);
                QVERIFY(db.open());
                QSqlQuery(db).exec("create table Other(x)");
                db.close();
            }
            QSqlDatabase::removeDatabase(name);
        }
        const QByteArray before = fileHash(m_db);
        const int rowsBefore = TestSupport::scalar("select count(*) from ParametersData").toInt();

        const QString temp = m_db + ".restore";
        QVERIFY(!Backup::prepareRestore(source, temp));
        QVERIFY(!QFile::exists(temp));
        QCOMPARE(fileHash(m_db), before);
        QCOMPARE(TestSupport::scalar("select count(*) from ParametersData").toInt(), rowsBefore);
    }

    // Sound SQLite files that are no database of this program: the program
    // stores by column position and reads texts back, so a table with other
    // columns or a numeric column would break or alter every later write.
    void restoreRefusesForeignSchemas_data()
    {
        QTest::addColumn<QStringList>("change");
        QTest::newRow("column missing") << QStringList{"DROP TABLE ParametersData",
                                                       "CREATE TABLE ParametersData(Name TEXT, Time TEXT)"};
        QTest::newRow("column added") << QStringList{"ALTER TABLE AcquisitionDevice ADD COLUMN Extra TEXT"};
        QTest::newRow("column renamed") << QStringList{"ALTER TABLE AuditLog RENAME COLUMN Type TO Kind"};
        QTest::newRow("numeric column")
            << QStringList{"DROP TABLE Parameters",
                           "CREATE TABLE Parameters(Name TEXT, Time TEXT, Start TEXT, End TEXT, DeviceNumber TEXT, "
                           "DeviceMode TEXT, SerialNumber TEXT, ScanInterval INTEGER, ScanRate TEXT, "
                           "SignalMode TEXT, IP_COM TEXT, Port_BaudRate TEXT, ChannelConfig TEXT, Channel TEXT, "
                           "Unit TEXT)"};
        QTest::newRow("view in place of a table")
            << QStringList{"DROP TABLE SystemSet", "CREATE VIEW SystemSet AS SELECT 1 AS Name, 2 AS Data"};
        // Sound pages, but the index no longer matches its table: VACUUM INTO
        // copies it as it is, quick_check passes it, the first write fails.
        QTest::newRow("index out of step")
            << QStringList{"PRAGMA writable_schema=ON",
                           "UPDATE sqlite_master SET sql='CREATE INDEX ParametersData_Name ON ParametersData(Data)' "
                           "WHERE name='ParametersData_Name'",
                           "PRAGMA writable_schema=OFF"};
        QTest::newRow("reference records of another program")
            << QStringList{"DROP TABLE ReferenceStandards", "CREATE TABLE ReferenceStandards(Serial TEXT, Due INTEGER)"};
        QTest::newRow("calibration history of another program")
            << QStringList{"DROP TABLE CalibrationHistory", "CREATE TABLE CalibrationHistory(Id INTEGER, Note TEXT)"};
        QTest::newRow("trigger") << QStringList{"CREATE TRIGGER wipe AFTER INSERT ON ParametersData "
                                                "BEGIN DELETE FROM Parameters; END"};
    }
    void restoreRefusesForeignSchemas()
    {
        QFETCH(QStringList, change);
        insertRows("keep", 20);
        const QString source = m_dir->file("other.db3");
        QVERIFY(Backup::backupDatabase(source));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "other");
            db.setDatabaseName(source);
            QVERIFY(db.open());
            for (const QString& sql : change) {
                QSqlQuery q(db);
                QVERIFY2(q.exec(sql), qPrintable(q.lastError().text()));
            }
            db.close();
        }
        QSqlDatabase::removeDatabase("other");
        const QByteArray before = fileHash(m_db);

        const QString temp = m_db + ".restore";
        QString why;
        QVERIFY(!Backup::prepareRestore(source, temp, &why));
        QVERIFY(!why.isEmpty());
        QVERIFY(!QFile::exists(temp));
        QCOMPARE(fileHash(m_db), before);
        QCOMPARE(TestSupport::scalar("select count(*) from ParametersData").toInt(), 20);
    }

    void replaceFileReplacesAnExistingFile()
    {
        // The move a restore ends with must take the place of the live file
        // (on Windows a plain rename refuses an existing target).
        const QString from = m_dir->file("new.bin"), to = m_dir->file("old.bin");
        for (const auto& f : {qMakePair(from, QByteArray("new")), qMakePair(to, QByteArray("old"))}) {
            QFile file(f.first);
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(f.second) == 3);
        }
        QVERIFY(Backup::replaceFile(from, to));
        QVERIFY(!QFile::exists(from));
        QFile result(to);
        QVERIFY(result.open(QIODevice::ReadOnly));
        QCOMPARE(result.readAll(), QByteArray("new"));
        QVERIFY(!Backup::replaceFile(m_dir->file("missing.bin"), to));
    }

    void restoreReplacesTheDatabase()
    {
        insertRows("old", 10);
        const QString source = m_dir->file("backup.db3");
        QVERIFY(Backup::backupDatabase(source));
        insertRows("after-backup", 5);

        const QString temp = m_db + ".restore";
        QVERIFY(Backup::prepareRestore(source, temp));
        TestSupport::closeDatabase();
        QVERIFY(Backup::commitRestore(temp, m_db));
        QVERIFY(!QFile::exists(temp));
        QVERIFY(TestSupport::openDatabase());
        QCOMPARE(TestSupport::scalar("select count(*) from ParametersData").toInt(), 10);
    }

    void olderBackupGainsTheEvidenceTables()
    {
        // A backup holds the calibration history like every other table.
        Tool::Struct_CalibrationHistory entry;
        entry.ConfigName = "TC-'A'_%";
        entry.ChannelNumber = "101";
        entry.NewSet = QStringList{"1.002", "-0.3", "0", "0", "0", "0", "0", "0", "0"};
        entry.MaxAsFound = std::nan("");
        entry.Evidence = R"({"points":[{"point":1,"reference":100.0}]})";
        QVERIFY(Tool::addCalibrationHistory(entry));
        const QString withHistory = m_dir->file("with-history.db3");
        QVERIFY(Backup::backupDatabase(withHistory));

        // One from before the evidence tables existed restores, and gets them on open.
        const QString older = m_dir->file("older.db3");
        QVERIFY(Backup::backupDatabase(older));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "older");
            db.setDatabaseName(older);
            QVERIFY(db.open());
            QSqlQuery q(db);
            for (const QString& table : Tool::calibrationTables() + Tool::labTables())
                QVERIFY(q.exec("DROP TABLE " + table));
            db.close();
        }
        QSqlDatabase::removeDatabase("older");
        const QString temp = m_db + ".restore";
        QString why;
        QVERIFY2(Backup::prepareRestore(older, temp, &why), qPrintable(why));
        TestSupport::closeDatabase();
        QVERIFY(Backup::commitRestore(temp, m_db));
        QVERIFY(TestSupport::openDatabase());
        QCOMPARE(TestSupport::scalar("select count(*) from CalibrationHistory").toInt(), 0);
        QCOMPARE(TestSupport::scalar("select count(*) from ReferenceStandards").toInt(), 0);

        QVERIFY(Backup::prepareRestore(withHistory, temp, &why));
        TestSupport::closeDatabase();
        QVERIFY(Backup::commitRestore(temp, m_db));
        QVERIFY(TestSupport::openDatabase());
        QList<Tool::Struct_CalibrationHistory> found;
        QVERIFY(Tool::getCalibrationHistory("TC-'A'_%", "101", found));
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].NewSet, entry.NewSet);
        QVERIFY(std::isnan(found[0].MaxAsFound));
        QCOMPARE(found[0].Evidence, entry.Evidence);
        QVERIFY(Tool::getCalibrationHistory("TC-xAx__", "101", found) && found.isEmpty());

        // One from the release before certificates: the history without its
        // evidence table restores, and its sets read back without evidence.
        const QString previous = m_dir->file("previous.db3");
        QVERIFY(Backup::backupDatabase(previous));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "previous");
            db.setDatabaseName(previous);
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec("DROP TABLE CalibrationEvidence") && q.exec("DROP TABLE Certificates"));
            db.close();
        }
        QSqlDatabase::removeDatabase("previous");
        QVERIFY2(Backup::prepareRestore(previous, temp, &why), qPrintable(why));
        TestSupport::closeDatabase();
        QVERIFY(Backup::commitRestore(temp, m_db));
        QVERIFY(TestSupport::openDatabase());
        QVERIFY(Tool::getCalibrationHistory("TC-'A'_%", "101", found));
        QCOMPARE(found.size(), 1);
        QVERIFY(found[0].Evidence.isEmpty());
        QCOMPARE(TestSupport::scalar("select count(*) from Certificates").toInt(), 0);
    }

    void firstReleaseDatabaseRestoresAndUpgrades()
    {
        // A database as the first release wrote it, kept as data: no indexes,
        // none of the later tables. It restores, opens and gains them, and
        // what it held reads back through the store.
        const QString source = TestSupport::sourcePath("tests/store/data/first-release.db3");
        QFile original(source);
        QVERIFY(original.open(QIODevice::ReadOnly));
        const QByteArray before = original.readAll();
        const QString temp = m_db + ".restore";
        QString why;
        QVERIFY2(Backup::prepareRestore(source, temp, &why), qPrintable(why));
        TestSupport::closeDatabase();
        QVERIFY(Backup::commitRestore(temp, m_db));
        QVERIFY(TestSupport::openDatabase());
        for (const QString index : {"ParametersData_Name", "AuditLog_Time", "CalibrationHistory_Channel"})
            QVERIFY2(TestSupport::scalar("select count(*) from sqlite_master where type='index' and name='" + index + "'")
                             .toInt() == 1,
                     qPrintable(index));
        for (const QString& table : Tool::calibrationTables() + Tool::labTables())
            QVERIFY2(TestSupport::scalar("select count(*) from sqlite_master where type='table' and name='" + table + "'")
                             .toInt() == 1,
                     qPrintable(table));
        QList<Tool::Struct_ChannelConfig> configs;
        QVERIFY(Tool::getChannelConfig(configs, "炉'口_%"));
        QCOMPARE(configs.size(), 1);
        QCOMPARE(configs[0].MX_B_M, (QStringList{"1.0021", "0.9987"}));
        QList<Tool::Struct_ParametersData> scans;
        QVERIFY(Tool::getParametersData(scans, "稳定性 2025-05"));
        QCOMPARE(scans.size(), 10);
        QCOMPARE(scans.last().Data, (QStringList{"100.090", "99.990"}));
        QCOMPARE(TestSupport::scalar("select Data from SystemSet where Name='DataAccuracy'").toString(), QStringLiteral("3"));
        QCOMPARE(TestSupport::scalar("select count(*) from ChannelCalibrationData").toInt(), 1);
        // The upgraded database takes the newer records.
        Tool::Struct_CalibrationHistory entry;
        entry.ConfigName = "炉'口_%";
        entry.ChannelNumber = "101";
        entry.Label = "1_101";
        entry.Evidence = "{}";
        QVERIFY(Tool::addCalibrationHistory(entry));
        QList<Tool::Struct_CalibrationHistory> found;
        QVERIFY(Tool::getCalibrationHistory("炉'口_%", "101", found));
        QCOMPARE(found.size(), 1);
        QCOMPARE(found[0].Evidence, QStringLiteral("{}"));
        // The kept file itself is untouched.
        original.close();
        QVERIFY(original.open(QIODevice::ReadOnly));
        QCOMPARE(original.readAll(), before);
    }

    void restoreOntoItselfLosesNothing()
    {
        insertRows("self", 300); // still in the WAL
        const QString temp = m_db + ".restore";
        QVERIFY(Backup::prepareRestore(m_db, temp));
        TestSupport::closeDatabase();
        QVERIFY(Backup::commitRestore(temp, m_db));
        QVERIFY(TestSupport::openDatabase());
        QCOMPARE(TestSupport::scalar("select count(*) from ParametersData").toInt(), 300);
        QCOMPARE(TestSupport::scalar("PRAGMA integrity_check").toString(), QStringLiteral("ok"));
    }

private:
    QScopedPointer<TestWorkDir> m_dir;
    QString m_db;
};

QTEST_GUILESS_MAIN(TestBackup)
#include "tst_backup.moc"
