// The lab's PostgreSQL database: a bench's SQLite file moved into it (every
// shared record copied exactly, in one transaction, names already in the lab
// refused whole), and its backup by pg_dump, restored only into an empty one.
#include "Backup.h"
#include "CalibrationStore.h"
#include "LabImport.h"
#include "LabRecords.h"
#include "SqlEngine.h"
#include "TestSupport.h"
#include "Tool.h"

#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

using namespace Tool;

namespace {

Struct_Parameters project(const QString& name)
{
    Struct_Parameters p;
    p.Name = name;
    p.Start = "2024-01-01 10:00:00";
    p.End = "2024-01-01 11:00:00";
    p.Channel = QStringList{"1-101", "1-102"};
    return p;
}

Struct_CalibrationHistory history(const QString& run, const QString& evidence)
{
    Struct_CalibrationHistory e;
    e.StartTime = run;
    e.ConfigName = "cfgA";
    e.ChannelNumber = "101";
    e.NewSet = QStringList{"1.001", "-0.02"};
    e.MaxResidual = 0.4;
    e.MaxAsFound = 1.5;
    e.Evidence = evidence;
    return e;
}

int count(const QString& sql) { return TestSupport::scalar(sql).toInt(); }

} // namespace

class TestLabServer : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        qputenv("ARQ_TEST_ENGINE", "postgresql");
        ARQ_REQUIRE_ENGINE();
    }

    void benchFileIntoTheLab()
    {
        TestWorkDir dir;
        const QString bench = dir.file("bench.db3");
        // The bench's own file, with texts the copy must keep as they are.
        QVERIFY(openDefaultDatabase(bench));
        Struct_ParametersData row{"A", QDateTime(QDate(2024, 1, 1), QTime(10, 0, 0, 250)), {"1.5", "x\ty", ""}};
        QCOMPARE(addProjects({project("A")}, {row}, QString(), {}, nullptr), StoreOutcome::Stored);
        {
            QSqlQuery q;
            // An older program's time without milliseconds, and a line break in a value.
            QVERIFY(q.exec("insert into ParametersData values ('A', '2024-01-01 10:00:01', 'a\\b\nc')"));
        }
        QVERIFY(addChannelConfig(Struct_ChannelConfig{"cfgA", "t", "3107A-TC", "1", 1, {"101"}, {"CH"}, {"K"}, {"K"},
                                                      {"二线制"}, {"1"}, {"0"}, {}, {}, {}, {}, {}, {}, {}, {"℃"}, "", "",
                                                      {false}, {""}, {false}, {""}}));
        QVERIFY(addCalibrationHistory(history("run-A", "{\"bench\":1}")));
        QVERIFY(createChannelCalibrationData());
        Struct_ChannelCalibrationData runRow;
        runRow.StartTime = "run-A";
        QVERIFY(addChannelCalibrationData(runRow));
        QVERIFY(addCertificate(Struct_Certificate{"C-1", "t", "run-A", "cfgA", "", "", "", "", "{}"}));
        Struct_ReferenceStandard standard;
        standard.Serial = "S1";
        standard.Certificate = "bench's";
        QVERIFY(putReferenceStandard(standard));
        standard.Serial = "S2";
        QVERIFY(putReferenceStandard(standard));
        closeDefaultDatabase();

        // The lab already holds another bench's work, with a history id the file uses too.
        QVERIFY(TestSupport::openDatabase());
        QVERIFY(QSqlDatabase::database().driverName() == QLatin1String("QPSQL"));
        QCOMPARE(addProject(project("B")), StoreOutcome::Stored);
        qint64 labId = 0;
        QVERIFY(addCalibrationHistory(history("run-B", QString()), &labId));
        standard.Serial = "S1";
        standard.Certificate = "lab's";
        QVERIFY(putReferenceStandard(standard));

        const ImportOutcome outcome = importBenchFile(bench);
        QVERIFY2(outcome.ok, qPrintable(outcome.error));
        QCOMPARE(outcome.projects, 1);
        QCOMPARE(outcome.rows, 2);
        QCOMPARE(outcome.kept, 1);
        QList<Struct_ParametersData> rows;
        QVERIFY(getParametersData(rows, "A"));
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows[0].Data, row.Data);
        QCOMPARE(rows[0].Time, row.Time);
        QCOMPARE(TestSupport::scalar("select Time from ParametersData where Data = E'a\\\\b\\nc'").toString(),
                 QStringLiteral("2024-01-01 10:00:01"));
        QList<Struct_CalibrationHistory> runs;
        QVERIFY(getCalibrationRunHistory("run-A", runs));
        QCOMPARE(runs.size(), 1);
        QVERIFY(runs[0].Id != labId);
        QCOMPARE(runs[0].Evidence, QStringLiteral("{\"bench\":1}"));
        QCOMPARE(runs[0].NewSet, (QStringList{"1.001", "-0.02"}));
        QVERIFY(getCalibrationRunHistory("run-B", runs) && runs.size() == 1 && runs[0].Evidence.isEmpty());
        bool found = false;
        QVERIFY(getReferenceStandard("S1", standard, found) && found);
        QCOMPARE(standard.Certificate, QStringLiteral("lab's")); // the lab's record is kept
        QVERIFY(getReferenceStandard("S2", standard, found) && found);
        QCOMPARE(count("select count(*) from ChannelCalibrationData where StartTime = 'run-A'"), 1);
        QList<Struct_ChannelConfig> configs;
        QVERIFY(getChannelConfig(configs, "cfgA") && configs.size() == 1);
        QCOMPARE(configs[0].MX_B_M, QStringList{"1"});

        // Again: every name is taken now, and nothing at all is copied.
        const int before = count("select count(*) from ParametersData");
        const ImportOutcome again = importBenchFile(bench);
        QVERIFY(!again.ok);
        QCOMPARE(again.taken, (QStringList{"A", "cfgA", "C-1"}));
        QCOMPARE(count("select count(*) from ParametersData"), before);
        QCOMPARE(count("select count(*) from CalibrationHistory"), 2);

        // The command says so too, with its own exit status.
        closeDefaultDatabase();
        QProcess tool;
        tool.setWorkingDirectory(dir.path());
        tool.start(qEnvironmentVariable("ARQ_BINARY_DIR") + "/tools/lab-import/arq-lab-import", {bench});
        QVERIFY(tool.waitForFinished(60000));
        QCOMPARE(tool.exitCode(), 2);
        QVERIFY(QString::fromUtf8(tool.readAllStandardError()).contains("cfgA"));
        QVERIFY(!importBenchFile(dir.file("missing.db3")).ok);
    }

    // A crafted bench file whose column names are SQL: refused whole, and
    // nothing of it runs on the server.
    void hostileBenchFile_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("column");
        QTest::newRow("scan rows, COPY") << "ParametersData" << "x\"); DROP TABLE AuditLog; --";
        QTest::newRow("projects, INSERT") << "Parameters" << "Unit) VALUES ('') ; DROP TABLE AuditLog; --";
        QTest::newRow("history") << "CalibrationHistory" << "Label\" text); DROP TABLE AuditLog; --";
    }
    void hostileBenchFile()
    {
        QFETCH(QString, table);
        QFETCH(QString, column);
        TestWorkDir dir;
        const QString bench = dir.file("hostile.db3");
        QVERIFY(openDefaultDatabase(bench));
        QCOMPARE(addProjects({project("H")}, {{"H", QDateTime::currentDateTime(), {"1"}}}, QString(), {}, nullptr),
                 StoreOutcome::Stored);
        QVERIFY(addCalibrationHistory(history("run-H", QString())));
        QVERIFY(QSqlQuery().exec(QStringLiteral("ALTER TABLE %1 ADD COLUMN \"%2\" TEXT")
                                     .arg(table, QString(column).replace("\"", "\"\""))));
        closeDefaultDatabase();
        QVERIFY(TestSupport::openDatabase());
        const ImportOutcome outcome = importBenchFile(bench);
        QVERIFY(!outcome.ok);
        QVERIFY2(outcome.error.contains("unknown column"), qPrintable(outcome.error));
        QVERIFY(Sql::tableExists(Sql::sharedDatabase(), "AuditLog"));
        QCOMPARE(count("select count(*) from Parameters"), 0);
    }

    void dumpAndRestoreIntoAnEmptyDatabase()
    {
        QTemporaryDir backups;
        const QString dump = Backup::serverDumpTarget(backups.path(), QDateTime(QDate(2026, 1, 2), QTime(3, 4)));
        QVERIFY(dump.endsWith("2026_01_02_03_04_ARQ-310MX.dump"));
        {
            TestWorkDir dir;
            QVERIFY(TestSupport::openDatabase());
            QCOMPARE(addProjects({project("kept")}, {{"kept", QDateTime::currentDateTime(), {"1", "2"}}}, QString(), {},
                                 nullptr),
                     StoreOutcome::Stored);
            QVERIFY(addCalibrationHistory(history("run", "{}")));
            QString detail;
            QCOMPARE(Backup::dumpServer(dump, &detail), Backup::ServerResult::Done);
            QVERIFY2(QFileInfo(dump).size() > 0, qPrintable(detail));
            QCOMPARE(Backup::dumpServer(dump), Backup::ServerResult::TargetExists);
            // Into a database with records: refused, the records stay.
            QCOMPARE(Backup::restoreServer(dump, &detail), Backup::ServerResult::NotEmpty);
            QCOMPARE(count("select count(*) from Parameters"), 1);
            QCOMPARE(Backup::restoreServer(backups.filePath("none.dump")), Backup::ServerResult::Failed);
        }
        // A new lab database (emptied by the work directory): restored whole,
        // by its owner (a bench may change rows only).
        TestWorkDir dir;
        TestPgServer* server = TestSupport::labServer();
        QVERIFY(server->writeSettings(dir.file(QString::fromLatin1(DatabaseSettingsFileName)), TestSupport::labDatabase(),
                                      TestPgServer::owner()));
        QVERIFY(TestSupport::openDatabase());
        QString detail;
        {
            // Another bench still connected: refused until it goes.
            QSqlDatabase other = QSqlDatabase::addDatabase("QPSQL", "other-bench");
            Sql::applyServerSettings(other, server->settings(TestSupport::labDatabase(), "bench2"));
            QVERIFY(other.open());
            QCOMPARE(int(Backup::restoreServer(dump, &detail)), int(Backup::ServerResult::InUse));
            QVERIFY(detail.toInt() >= 1);
            other.close();
        }
        QSqlDatabase::removeDatabase("other-bench");
        // The other bench's server process ends a moment after it closed.
        Backup::ServerResult restored = Backup::ServerResult::InUse;
        for (int i = 0; i < 50 && restored == Backup::ServerResult::InUse; ++i, QTest::qWait(100))
            restored = Backup::restoreServer(dump, &detail);
        QCOMPARE(restored, Backup::ServerResult::Done);
        QList<Struct_ParametersData> rows;
        QVERIFY(getParametersData(rows, "kept"));
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows[0].Data, (QStringList{"1", "2"}));
        // The restored identity goes on after the restored ids.
        qint64 id = 0;
        QVERIFY(addCalibrationHistory(history("run-2", QString()), &id));
        QCOMPARE(count("select count(*) from CalibrationHistory"), 2);
        QVERIFY(id > TestSupport::scalar("select min(Id) from CalibrationHistory").toLongLong());
        QCOMPARE(addProject(project("kept")), StoreOutcome::NameTaken); // the unique key came back too
    }

    // TLS against the lab's own CA with sslmode=verify-full (database.ini's
    // own keys): the server's certificate is checked, and its name.
    void tlsVerifyFull_data()
    {
        QTest::addColumn<QString>("host");
        QTest::addColumn<QString>("ca");
        QTest::addColumn<bool>("opens");
        QTest::newRow("the lab's CA, the certificate's name") << "localhost" << "lab" << true;
        QTest::newRow("another CA") << "localhost" << "other" << false;
        QTest::newRow("a name not in the certificate") << "127.0.0.1" << "lab" << false;
    }
    void tlsVerifyFull()
    {
        QFETCH(QString, host);
        QFETCH(QString, ca);
        QFETCH(bool, opens);
        ARQ_REQUIRE(TestSupport::hasProgram("openssl"), "openssl");
        TestPgServer* server = TestSupport::labServer();
        QVERIFY(server);
        QTemporaryDir pki;
        auto openssl = [&](const QString& command) {
            QProcess p;
            p.setWorkingDirectory(pki.path());
            p.start("sh", {"-c", "openssl " + command + " 2>&1"});
            return p.waitForFinished(60000) && p.exitCode() == 0;
        };
        for (const QString& name : {QStringLiteral("lab"), QStringLiteral("other")})
            QVERIFY(openssl(QStringLiteral("req -x509 -newkey rsa:2048 -nodes -keyout %1.key -out %1.pem -days 2 "
                                           "-subj '/CN=%1 CA'").arg(name)));
        QVERIFY(openssl("req -newkey rsa:2048 -nodes -keyout server.key -out server.csr -subj /CN=localhost"));
        QFile san(pki.filePath("san.cnf"));
        QVERIFY(san.open(QIODevice::WriteOnly) && san.write("subjectAltName=DNS:localhost\n") > 0);
        san.close();
        QVERIFY(openssl("x509 -req -in server.csr -CA lab.pem -CAkey lab.key -CAcreateserial -days 2 -out server.crt "
                        "-extfile san.cnf"));
        QString why;
        QVERIFY2(server->setTls(pki.filePath("server.crt"), pki.filePath("server.key"), &why), qPrintable(why));
        TestWorkDir dir;
        QFile ini(dir.file(QString::fromLatin1(DatabaseSettingsFileName)));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write(QStringLiteral("[database]\nengine=postgresql\nhost=%1\nport=%2\ndatabase=%3\nuser=bench1\n"
                                 "password=%4\nsslmode=verify-full\nsslrootcert=%5\n")
                      .arg(host).arg(server->port()).arg(TestSupport::labDatabase(), server->password(),
                                                          pki.filePath(ca + ".pem"))
                      .toUtf8());
        ini.close();
        const bool opened = openConfiguredDatabase(&why);
        bool encrypted = false;
        if (opened)
            encrypted = TestSupport::scalar("select ssl from pg_stat_ssl where pid = pg_backend_pid()").toBool();
        closeDefaultDatabase();
        QVERIFY(server->setTls(QString(), QString()));
        QVERIFY2(opened == opens, qPrintable(why));
        QCOMPARE(encrypted, opens);
    }

    // The password, also one given among the options, reaches pg_dump in its
    // environment only: a command line is readable by every user.
    void noPasswordOnTheCommandLine()
    {
        TestWorkDir dir;
        TestPgServer* server = TestSupport::labServer();
        QVERIFY(server);
        QFile ini(dir.file(QString::fromLatin1(DatabaseSettingsFileName)));
        QVERIFY(ini.open(QIODevice::Append));
        ini.write("options=password=" + server->password().toUtf8() + ";application_name=dump\nsslmode=disable\n");
        ini.close();
        QVERIFY(TestSupport::openDatabase());
        // A pg_dump that only says what it was given.
        const QString fake = dir.file("pg_dump");
        QFile script(fake);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\n' \"$*\" > \"$0.args\"\nenv > \"$0.env\"\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", dir.path().toUtf8() + ':' + path);
        QCOMPARE(Backup::dumpServer(dir.file("x.dump")), Backup::ServerResult::Done);
        qputenv("PATH", path);
        QFile args(fake + ".args"), env(fake + ".env");
        QVERIFY(args.open(QIODevice::ReadOnly) && env.open(QIODevice::ReadOnly));
        const QByteArray line = args.readAll(), environment = env.readAll();
        QVERIFY2(!line.contains(server->password().toUtf8()), line.constData());
        QVERIFY(line.contains("application_name=dump"));
        QVERIFY(environment.contains("PGPASSWORD=" + server->password().toUtf8()));
        QVERIFY(environment.contains("PGSSLMODE=disable"));
    }

    // A careful lab's set-up: the owner makes the tables with arq-lab-admin,
    // benches log in with row privileges only. A bench refuses tables it
    // cannot use and names the command; the owner's upgrade of a first
    // lab database drops the scans an older program stored twice.
    void benchRolesAndSchemaVersions()
    {
        TestWorkDir dir;
        TestPgServer* server = TestSupport::labServer();
        QVERIFY(server);
        const QString db = TestSupport::labDatabase();
        auto psql = [&](const QString& sql) {
            QByteArray output;
            const int rc = server->runClient("psql", {"-X", "-q", "-v", "ON_ERROR_STOP=1", "-d", db}, &output,
                                             sql.toUtf8());
            return rc == 0 ? QString() : QString::fromLocal8Bit(output) + " ";
        };
        // A bench changes rows, never tables.
        QVERIFY(TestSupport::openDatabase());
        QVERIFY(!QSqlQuery().exec("CREATE TABLE bench_made(a integer)"));
        QVERIFY(!QSqlQuery().exec("DROP TABLE ParametersData"));
        QVERIFY(!QSqlQuery().exec("UPDATE SchemaVersion SET Version = 1"));
        closeDefaultDatabase();

        struct Case
        {
            const char* tables; // as the owner, on an empty schema
            const char* refusal;
        };
        const Case cases[] = {
            {"CREATE TABLE SchemaVersion(Version INTEGER, MinProgram TEXT); INSERT INTO SchemaVersion VALUES (9, '99.0');"
             "GRANT USAGE ON SCHEMA public TO arq_bench; GRANT SELECT ON SchemaVersion TO arq_bench;",
             "99.0 or newer"},
            {"", "arq-lab-admin --setup"},
            // The first lab database: no version table, a scan stored twice by a retried write.
            {"CREATE TABLE ParametersData(Name TEXT, Time TEXT, Data TEXT, Seq BIGSERIAL);"
             "INSERT INTO ParametersData(Name, Time, Data) VALUES ('old','2026-01-01 08:00:00.000','1'),"
             "('old','2026-01-01 08:00:00.000','1'),('old','2026-01-01 08:00:01.000','2');"
             "GRANT USAGE ON SCHEMA public TO arq_bench;",
             "version 1"},
        };
        const QString ownerIni = dir.file("owner.ini");
        QVERIFY(server->writeSettings(ownerIni, db, TestPgServer::owner()));
        for (const Case& c : cases) {
            QCOMPARE(psql(QStringLiteral("DROP SCHEMA public CASCADE; CREATE SCHEMA public AUTHORIZATION %1; SET ROLE %1; %2")
                              .arg(TestPgServer::owner(), QString::fromUtf8(c.tables))),
                     QString());
            QString why;
            QVERIFY(!openConfiguredDatabase(&why));
            QVERIFY2(why.contains(QString::fromUtf8(c.refusal)) && !why.contains(server->password()), qPrintable(why));
            if (QByteArray(c.refusal).startsWith("99"))
                continue;
            QProcess admin;
            admin.start(qEnvironmentVariable("ARQ_BINARY_DIR") + "/tools/lab-admin/arq-lab-admin",
                        {"--ini", ownerIni, "--setup"});
            QVERIFY(admin.waitForFinished(30000));
            QVERIFY2(admin.exitCode() == 0, admin.readAllStandardError().constData());
            QVERIFY2(openConfiguredDatabase(&why), qPrintable(why));
            QList<Struct_ParametersData> rows;
            QVERIFY(getParametersData(rows, "old"));
            QCOMPARE(rows.size(), c.tables[0] ? 2 : 0);
            closeDefaultDatabase();
        }
        // A new bench login, its password on standard input only.
        QProcess admin;
        admin.start(qEnvironmentVariable("ARQ_BINARY_DIR") + "/tools/lab-admin/arq-lab-admin",
                    {"--ini", ownerIni, "--add-bench", "bench 3\"x"});
        QVERIFY(admin.waitForStarted(10000));
        admin.write("new-secret\n");
        admin.closeWriteChannel();
        QVERIFY(admin.waitForFinished(30000));
        QVERIFY2(admin.exitCode() == 0, admin.readAllStandardError().constData());
        DatabaseSettings third = server->settings(db, "bench 3\"x");
        third.password = "new-secret";
        third.file = dir.file("third.db3");
        QString why;
        QVERIFY2(openServerDatabase(third, &why), qPrintable(why));
        QCOMPARE(addProject(project("third")), StoreOutcome::Stored);
        closeDefaultDatabase();
    }

    // The server stops in the middle of a run and comes back: the scans
    // written meanwhile fail (the session holds them), and the next write
    // after the restart goes in on a connection opened again; nothing twice.
    void calibrationRunStateStaysWithTheBench()
    {
        // A point's state (the page's keys and its sample statistics) is one
        // transaction of the bench's file; the samples reach the server with
        // the saved run, in the save's transaction.
        TestWorkDir dir;
        QVERIFY(TestSupport::openDatabase());
        Struct_CalibrationSample s;
        s.StartTime = "2026-12-11 09:00:00";
        s.Point = 1;
        s.Batch = 1;
        s.Channel = "REF";
        s.Count = 10;
        s.Mean = 0.004;
        QVERIFY(existChannelCalibration() || createChannelCalibration());
        QVERIFY(putRunState({{"CalibrationCriteria", "0.0040"}}, {s}));
        QList<Struct_CalibrationSample> list;
        QVERIFY(getRunSamples(s.StartTime, list));
        QCOMPARE(list.size(), 1);
        QVERIFY(getCalibrationSamples(s.StartTime, list));
        QCOMPARE(list.size(), 0);
        QString key;
        QVERIFY(getChannelCalibration("CalibrationCriteria", key));
        QCOMPARE(key, QStringLiteral("0.0040"));
        {
            Transaction save;
            QVERIFY(shareRunSamples(s.StartTime));
            QVERIFY(save.commit());
        }
        QVERIFY(getCalibrationSamples(s.StartTime, list));
        QCOMPARE(list.size(), 1);
        QCOMPARE(list.first().Mean, 0.004);
    }

    void serverOutageAndReturn()
    {
        TestWorkDir dir;
        QVERIFY(TestSupport::openDatabase());
        TestPgServer* server = TestSupport::labServer();
        QVERIFY(server);
        const QDateTime t0(QDate(2026, 1, 1), QTime(8, 0));
        QVERIFY(addParametersDataBulk({{"run", t0, {"1"}}}, 200));
        QVERIFY(server->pause());
        QVERIFY(!addParametersDataBulk({{"run", t0.addSecs(1), {"2"}}}, 200));
        QVERIFY(!addParametersDataBulk({{"run", t0.addSecs(1), {"2"}}}, 200)); // still away
        QList<Struct_Parameters> projects;
        QVERIFY(!getParameters(projects, ""));
        QString why;
        QVERIFY2(server->resume(&why), qPrintable(why));
        // Whatever asks first (here the report page's read) finds the connection open again.
        QVERIFY(getParameters(projects, ""));
        QVERIFY(addParametersDataBulk({{"run", t0.addSecs(1), {"2"}}, {"run", t0.addSecs(2), {"3"}}}, 200));
        // Never inside a transaction: its statements would go on outside it.
        {
            Transaction transaction;
            QVERIFY(transaction.isOpen());
            QVERIFY(addChannelConfig(Struct_ChannelConfig{"in-tx", "t", "m", "1", 1, {"101"}, {}, {}, {}, {}, {"1"},
                                                          {"0"}, {}, {}, {}, {}, {}, {}, {}, {}, "", "", {}, {}, {}, {}}));
            QVERIFY(server->pause());
            QVERIFY2(server->resume(&why), qPrintable(why));
            QVERIFY(!addChannelConfig(Struct_ChannelConfig{"after", "t", "m", "1", 1, {"101"}, {}, {}, {}, {}, {"1"},
                                                           {"0"}, {}, {}, {}, {}, {}, {}, {}, {}, "", "", {}, {}, {}, {}}));
            QVERIFY(!transaction.commit());
        }
        QList<Struct_ChannelConfig> configs;
        QVERIFY(getChannelConfig(configs, ""));
        QVERIFY(configs.isEmpty()); // neither the one before nor the one after the break
        QList<Struct_ParametersData> rows;
        QVERIFY(getParametersData(rows, "run"));
        QStringList values;
        for (const auto& r : rows)
            values << r.Data.join(QLatin1Char(','));
        QCOMPARE(values, (QStringList{"1", "2", "3"}));
    }
};

QTEST_GUILESS_MAIN(TestLabServer)
#include "tst_labserver.moc"
