// The store: statements, results, list encodings, key/value readers and the
// literal handling of user text.
#include "BulkRows.h"
#include "TestSupport.h"
#include "CalibrationStore.h"
#include "LabRecords.h"
#include "SqlEngine.h"
#include "Tool.h"

#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

#include <atomic>
#include <cstring>
#include <cmath>
#include <limits>
#include <thread>

using namespace Tool;

namespace {
// Collects debug messages so tests can read the store's trace.
QStringList g_messages;
void captureHandler(QtMsgType, const QMessageLogContext&, const QString& msg) { g_messages << msg; }

Struct_ChannelConfig sampleConfig(const QString& name)
{
    Struct_ChannelConfig c;
    c.Name = name;
    c.Time = QStringLiteral("2024-01-01 10:00:00");
    c.Mode = QStringLiteral("3107A-TC");
    c.Module = QStringLiteral("1,0,0,0,0,0");
    c.Number = 2;
    c.ChannelNumber = QStringList{"101", "102"};
    c.Tag = QStringList{"CH101", "温区2"};
    c.Type = QStringList{"热电偶", "热电偶"};
    c.Function = QStringList{"K", "T"};
    c.Wire = QStringList{"二线制", "二线制"};
    c.MX_B_M = QStringList{"1", "1.001"};
    c.MX_B_B = QStringList{"0", "-0.02"};
    for (QStringList* l : {&c.A_C0, &c.B_C1, &c.C_C2, &c.D_C3, &c.R0_C4, &c.A4_C5, &c.B4_C6})
        *l = QStringList{"0", "0"};
    c.Unit = QStringList{"℃", "mV"};
    c.CompensationWay = QStringLiteral("内部补偿");
    c.ColdJunctionTemp = QStringLiteral("0");
    c.LowState = {true, false};
    c.Low = QStringList{"-10", "0"};
    c.HightState = {false, true};
    c.Hight = QStringList{"100", "50.5"};
    return c;
}

Struct_Parameters sampleProject(const QString& name)
{
    Struct_Parameters p;
    p.Name = name;
    p.Time = QStringLiteral("2024-01-01 10:00:00");
    p.Start = QStringLiteral("2024-01-01 10:00:00");
    p.End = QStringLiteral("2024-01-01 11:00:00");
    p.DeviceNumber = QStringList{"1", "2"};
    p.DeviceMode = QStringList{"3107A-TC", "3107A-RTD"};
    p.SerialNumber = QStringList{"SN,1", "SN2"}; // joined with ';' so a comma survives
    p.ScanInterval = QStringLiteral("1");
    p.ScanRate = QStringLiteral("快速");
    p.SignalMode = QStringList{"网络", "串口"};
    p.IP_COM = QStringList{"127.0.0.1", "/dev/pts/3"};
    p.Port_BaudRate = QStringList{"5000", "9600"};
    p.ChannelConfig = QStringList{"a", "b"};
    p.Channel = QStringList{"1-101", "2-101"};
    p.Unit = QStringList{"℃", "Ω"};
    return p;
}
} // namespace

class TestStore : public QObject
{
    Q_OBJECT
private slots:
    // Under ARQ_TEST_ENGINE=postgresql every case runs on a server of its own.
    void initTestCase() { ARQ_REQUIRE_ENGINE(); }
    void init()
    {
        m_dir.reset(new TestWorkDir);
        QVERIFY(TestSupport::openDatabase());
    }
    void cleanup() { m_dir.reset(); }

    void freshDatabaseHasSixTables()
    {
        // The bench's own tables stay in its file when the shared ones are on a server.
        const QSqlDatabase local = Sql::localDatabase();
        const QSqlDatabase shared = QSqlDatabase::database();
        QCOMPARE(Sql::isServer(shared), TestSupport::serverEngine());
        for (const QString& table : installedTables())
            QVERIFY2(Sql::tableExists(Sql::localTables().contains(table) ? local : shared, table), qPrintable(table));
        QCOMPARE(TestSupport::localScalar("PRAGMA journal_mode").toString(), QStringLiteral("wal"));
        QCOMPARE(TestSupport::localScalar("PRAGMA synchronous").toInt(), 2); // FULL
        if (TestSupport::serverEngine())
            for (const QString& table : Sql::localTables())
                QVERIFY2(!Sql::tableExists(shared, table), qPrintable(table));
    }

    void acquisitionDeviceRoundTripAndLookup()
    {
        Struct_AcquisitionDevice d;
        d.Number = 7;
        d.Mode = "3107A-TC";
        d.SerialNumber = "SN-7";
        d.ScanInterval = 1.23456789;
        d.ScanRate = "快速";
        d.ChannelConfig = "cfg";
        d.SignalMode = "网络";
        d.IP_COM = "127.0.0.1";
        d.Port_BaudRate = "5000";
        QVERIFY(addAcquisitionDevice(d));
        d.Number = 12;
        d.SerialNumber = "SN-12";
        d.ScanInterval = 0.5;
        QVERIFY(addAcquisitionDevice(d));

        QList<Struct_AcquisitionDevice> all;
        QVERIFY(getAcquisitionDevice(all, ""));
        QCOMPARE(all.size(), 2);
        QCOMPARE(all[0].ScanInterval, 1.23457); // six significant digits
        QCOMPARE(TestSupport::localScalar("select ScanInterval from AcquisitionDevice where Number='7'").toString(),
                 QStringLiteral("1.23457"));

        QList<Struct_AcquisitionDevice> one;
        QVERIFY(getAcquisitionDevice(one, "7"));
        QCOMPARE(one.size(), 1);
        QCOMPARE(one[0].SerialNumber, QStringLiteral("SN-7"));

        // Not a number: cannot name a device, and cannot widen the select.
        QList<Struct_AcquisitionDevice> keep = one;
        QVERIFY(!getAcquisitionDevice(keep, "7 or 1=1"));
        QCOMPARE(keep.size(), 1);

        d.SerialNumber = "SN-7";
        d.IP_COM = "192.168.1.9";
        QVERIFY(modifyAcquisitionDevice(d));
        QVERIFY(getAcquisitionDevice(one, "7"));
        QCOMPARE(one[0].IP_COM, QStringLiteral("192.168.1.9"));
        QCOMPARE(one[0].Number, 7); // number and model are not rewritten

        QVERIFY(deleteAcquisitionDevice("SN-7"));
        QVERIFY(deleteAcquisitionDevice("no such device"));
        QVERIFY(getAcquisitionDevice(all, ""));
        QCOMPARE(all.size(), 1);
    }

    void channelConfigListsAndFlags()
    {
        QVERIFY(addChannelConfig(sampleConfig("cfg")));
        QList<Struct_ChannelConfig> list;
        QVERIFY(getChannelConfig(list, "cfg"));
        QCOMPARE(list.size(), 1);
        const Struct_ChannelConfig& c = list[0];
        QCOMPARE(c.Number, 2);
        QCOMPARE(c.Tag, (QStringList{"CH101", "温区2"}));
        QCOMPARE(c.LowState, (QList<bool>{true, false}));
        QCOMPARE(c.HightState, (QList<bool>{false, true}));
        QCOMPARE(c.Hight, (QStringList{"100", "50.5"}));
        QCOMPARE(c.MX_B_B, (QStringList{"0", "-0.02"}));

        QVERIFY(getChannelConfigMode(list, "3107A-TC"));
        QCOMPARE(list.size(), 1);
        QVERIFY(getChannelConfigMode(list, ""));
        QCOMPARE(list.size(), 0);

        // Calibration rewrites only the correction lists.
        Struct_ChannelConfig changed = sampleConfig("cfg");
        changed.MX_B_M = QStringList{"0.99", "1.01"};
        changed.A_C0 = QStringList{"1.5", "2.5"};
        changed.Tag = QStringList{"x", "y"};
        QVERIFY(modifyChannelConfig(changed));
        QVERIFY(getChannelConfig(list, "cfg"));
        QCOMPARE(list[0].MX_B_M, (QStringList{"0.99", "1.01"}));
        QCOMPARE(list[0].A_C0, (QStringList{"1.5", "2.5"}));
        QCOMPARE(list[0].Tag, (QStringList{"CH101", "温区2"}));
    }

    void emptyListColumnReadsAsOneEmptyEntry()
    {
        Struct_ChannelConfig c = sampleConfig("empty");
        c.Low.clear();
        QVERIFY(addChannelConfig(c));
        QList<Struct_ChannelConfig> list;
        QVERIFY(getChannelConfig(list, "empty"));
        QCOMPARE(list[0].Low, QStringList{QString()});
    }

    void namesAreStoredAndMatchedLiterally_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("quote") << QStringLiteral("O'Brien's bath");
        QTest::newRow("percent") << QStringLiteral("100%");
        QTest::newRow("underscore") << QStringLiteral("a_b");
        QTest::newRow("chinese") << QStringLiteral("校准项目①");
        QTest::newRow("injection") << QStringLiteral("x' or '1'='1");
        QTest::newRow("backslash") << QStringLiteral("C:\\data\\%_");
    }
    void namesAreStoredAndMatchedLiterally()
    {
        QFETCH(QString, name);
        QVERIFY(addParameters(sampleProject("other")));
        QVERIFY(addParameters(sampleProject("aXb")));
        QVERIFY(addParameters(sampleProject("1000")));
        QVERIFY(addParameters(sampleProject(name)));

        QList<Struct_Parameters> list;
        QVERIFY(getParameters(list, name));
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].Name, name);

        // Search: % and _ in the text are ordinary characters.
        QVERIFY(queryParameters(list, name));
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].Name, name);

        QVERIFY(deleteParameters(name));
        QVERIFY(getParameters(list, ""));
        QCOMPARE(list.size(), 3);
    }

    void queryParametersMatchesSubstring()
    {
        QVERIFY(addParameters(sampleProject("炉温-一号")));
        QVERIFY(addParameters(sampleProject("炉温-二号")));
        QVERIFY(addParameters(sampleProject("油槽")));
        QList<Struct_Parameters> list;
        QVERIFY(queryParameters(list, "炉温"));
        QCOMPARE(list.size(), 2);
        QVERIFY(queryParameters(list, ""));
        QCOMPARE(list.size(), 3);
    }

    void parametersListEncodings()
    {
        QVERIFY(addParameters(sampleProject("p")));
        QCOMPARE(TestSupport::scalar("select SerialNumber from Parameters").toString(), QStringLiteral("SN,1;SN2"));
        QList<Struct_Parameters> list;
        QVERIFY(getParameters(list, "p"));
        QCOMPARE(list[0].SerialNumber, (QStringList{"SN,1", "SN2"}));
        QCOMPARE(list[0].Channel, (QStringList{"1-101", "2-101"}));
        QVERIFY(UpdataParametersEndTime("p", "2024-01-01 10:00:05", "2024-01-01 10:30:00"));
        QVERIFY(getParameters(list, "p"));
        QCOMPARE(list[0].End, QStringLiteral("2024-01-01 10:30:00"));
        QVERIFY(deleteParameters("does not exist"));
    }

    void parametersDataTimesAndBulk()
    {
        Struct_ParametersData row;
        row.Name = "p";
        row.Time = QDateTime::fromString("2024-01-01 10:00:00.250", "yyyy-MM-dd hh:mm:ss.zzz");
        row.Data = QStringList{"1.5", "-2", ""};
        QVERIFY(addParametersData(row));

        QList<Struct_ParametersData> bulk;
        for (int i = 0; i < 500; ++i) {
            Struct_ParametersData r = row;
            r.Name = "q";
            r.Time = row.Time.addSecs(i);
            r.Data = QStringList{QString::number(i)};
            bulk << r;
        }
        QVERIFY(addParametersDataBulk(bulk));

        QList<Struct_ParametersData> list;
        QVERIFY(getParametersData(list, "p"));
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].Time, row.Time);
        QCOMPARE(list[0].Data, row.Data);
        QVERIFY(getParametersData(list, "q"));
        QCOMPARE(list.size(), 500);
        QCOMPARE(list.last().Data, QStringList{"499"});

        // A malformed stored time reads back invalid rather than failing the read.
        QSqlQuery q;
        QVERIFY(q.exec("insert into ParametersData values ('bad','yesterday','1')"));
        QVERIFY(getParametersData(list, "bad"));
        QVERIFY(!list[0].Time.isValid());

        QVERIFY(deleteParametersData("q"));
        QVERIFY(getParametersData(list, "q"));
        QVERIFY(list.isEmpty());
    }

    // The compact read for views and reports: as many columns as the project
    // has channels (not as the first row holds), a text that is no number
    // and a value missing from a short row read NaN, never 0.
    void parametersTableColumnsAndNumbers()
    {
        QSqlQuery q;
        const QList<QStringList> rows{{"2024-01-01 10:00:00.000", "1.5,x"},
                                      {"2024-01-01 10:00:01.000", "2.5,3,4,99"},
                                      {"2024-01-01 10:00:02.000", "nan,,inf"}};
        for (const QStringList& r : rows) {
            q.prepare("insert into ParametersData values ('t',?,?)");
            q.addBindValue(r.at(0));
            q.addBindValue(r.at(1));
            QVERIFY(q.exec());
        }
        QVector<qint64> times;
        QVector<QVector<double>> columns;
        QVERIFY(getParametersTable("t", 3, &times, &columns));
        QCOMPARE(times.size(), 3);
        QCOMPARE(columns.size(), 3);
        for (const QVector<double>& c : columns)
            QCOMPARE(c.size(), 3);
        QCOMPARE(columns[0][0], 1.5);
        QVERIFY(std::isnan(columns[1][0])); // "x"
        QVERIFY(std::isnan(columns[2][0])); // missing from the short first row
        QCOMPARE(columns[0][1], 2.5);
        QCOMPARE(columns[2][1], 4.0);       // the fourth value is beyond the channels
        QVERIFY(std::isnan(columns[0][2])); // "nan"
        QVERIFY(std::isnan(columns[1][2])); // empty
        QVERIFY(std::isnan(columns[2][2])); // "inf" is no measured value either
        QVERIFY(getParametersTable("none", 2, &times, &columns));
        QVERIFY(times.isEmpty());
        QCOMPARE(columns.size(), 2);
    }

    // The compact read parses the common texts by hand: every value text
    // reads what QString::toDouble reads (to the bit), NaN where that is no
    // finite number, on the driver's handle and through Qt statements alike.
    void parametersTableReadsAsToDouble()
    {
        QStringList texts{"25.123456", "-0.000001", "-0", "0.1", "123456789012345", "1234567890.123456",
                                "0.30000000000000004", "99999999999999999", "+3.5", " 2.5", "2.5 ", "1e3",
                                "-1.5E-7", "1.", ".5", "00012.50", "abc", "", "nan", "-inf", "1e400", "2.5x",
                                "１", "-", "--1", "4.9e-324", "123456789012345678901234.5"};
        // And as measured values are written: any magnitude with 0 … 12 decimals.
        QRandomGenerator random(23);
        for (int i = 0; i < 3000; ++i)
            texts << QString::number((random.generateDouble() - 0.5) * std::pow(10.0, random.bounded(-3, 12)), 'f',
                                     random.bounded(13));
        QSqlQuery q;
        q.prepare("insert into ParametersData values ('v',?,?)");
        q.addBindValue(QStringLiteral("2024-01-01 10:00:00.000"));
        q.addBindValue(texts.join(QLatin1Char(',')));
        QVERIFY(q.exec());
        for (const bool qtStatements : {false, true}) {
            forceQtStatementInserts(qtStatements);
            QVector<qint64> times;
            QVector<QVector<double>> columns;
            QVERIFY(getParametersTable("v", texts.size(), &times, &columns));
            QCOMPARE(times.size(), 1);
            for (int i = 0; i < texts.size(); ++i) {
                bool ok = false;
                const double expected = texts.at(i).toDouble(&ok);
                const double read = columns.at(i).value(0);
                if (!ok || !std::isfinite(expected))
                    QVERIFY2(std::isnan(read), qPrintable(texts.at(i)));
                else
                    QVERIFY2(std::memcmp(&read, &expected, sizeof read) == 0,
                             qPrintable(texts.at(i) + QStringLiteral(" read %1").arg(read, 0, 'g', 17)));
            }
        }
        forceQtStatementInserts(false);
    }

    // Here the QSQLITE plugin and this program share the system SQLite (and
    // QPSQL this program's libpq): the fast path is taken (COPY on a
    // server), and the Qt statements store the same text.
    void bulkPathsStoreTheSame()
    {
        QCOMPARE(bulkInsertPath(), BulkInsertPath::NativeHandle);
        BulkRows::storeAndCheck("native");
        forceQtStatementInserts(true);
        QCOMPARE(bulkInsertPath(), BulkInsertPath::QtStatements);
        BulkRows::storeAndCheck("statements");
        forceQtStatementInserts(false);
    }

    void bulkInsertIsAllOrNothing()
    {
        // A failing row (table gone mid-way is hard to stage; a closed
        // connection is the realistic case) leaves nothing behind.
        TestSupport::closeDatabase();
        Struct_ParametersData r;
        r.Name = "x";
        r.Time = QDateTime::currentDateTime();
        QVERIFY(!addParametersDataBulk({r, r}));
        QVERIFY(TestSupport::openDatabase());
        QCOMPARE(TestSupport::scalar("select count(*) from ParametersData").toInt(), 0);
    }

    void auditLogFilters()
    {
        QSqlQuery q;
        const QList<QStringList> rows = {
            {"2024-01-01 08:00:00", "下限报警", "设备1-SN 通道1-CH101低于下限:-1.00"},
            {"2024-01-01 09:00:00", "上限报警", "设备1-SN 通道1-CH101高于上限:101.00"},
            {"2024-01-01 10:00:00", "通讯异常", "设备重新连接。"},
            {"2024-01-02 00:00:00", "上限报警", "next day"},
        };
        for (const QStringList& r : rows) {
            q.prepare("insert into AuditLog values (?,?,?)");
            for (const QString& v : r)
                q.addBindValue(v);
            QVERIFY(q.exec());
        }
        QList<Struct_AuditLog> list;
        QVERIFY(getAuditLog(list, "", "ignored", "ignored"));
        QCOMPARE(list.size(), 4);
        QVERIFY(getAuditLog(list, "2024-01-01 00:00:00", "2024-01-01 23:59:59", "报警"));
        QCOMPARE(list.size(), 2);
        QVERIFY(getAuditLog(list, "2024-01-01 00:00:00", "2024-01-02 00:00:00", ""));
        QCOMPARE(list.size(), 4); // Between includes both bounds
        QVERIFY(getAuditLog(list, "2024-01-01 00:00:00", "2024-01-02 00:00:00", "%"));
        QCOMPARE(list.size(), 0); // a literal percent sign matches nothing here

        addAuditLog("通讯异常", "设备重新连接。");
        QVERIFY(getAuditLog(list, "", "", ""));
        QCOMPARE(list.size(), 5);

        QVERIFY(deleteAuditLogEntry("2024-01-01 09:00:00", "上限报警", "other details"));
        QVERIFY(getAuditLog(list, "", "", ""));
        QCOMPARE(list.size(), 5);
        QVERIFY(deleteAuditLog("2024-01-01 09:00:00"));
        QVERIFY(getAuditLog(list, "", "", ""));
        QCOMPARE(list.size(), 4);
    }

    void keyValueReaders()
    {
        QString text = "untouched";
        QVERIFY(getSystemSet("EmailInterval", text));
        QCOMPARE(text, QString(""));
        QCOMPARE(TestSupport::localScalar("select count(*) from SystemSet where Name='EmailInterval'").toInt(), 1);
        QVERIFY(getSystemSet("EmailInterval", text)); // second call finds the row
        QCOMPARE(TestSupport::localScalar("select count(*) from SystemSet").toInt(), 1);

        bool flag = true;
        QVERIFY(getSystemSet("AutoBackup", flag));
        QVERIFY(!flag);
        QCOMPARE(TestSupport::localScalar("select Data from SystemSet where Name='AutoBackup'").toString(),
                 QStringLiteral("false"));
        QVERIFY(modifySystemSet("AutoBackup", true));
        QVERIFY(getSystemSet("AutoBackup", flag));
        QVERIFY(flag);

        // An update of a key that was never read changes nothing and succeeds.
        QVERIFY(modifySystemSet("BackupTime", QString("2024-01-01 00:00:00")));
        QCOMPARE(TestSupport::localScalar("select count(*) from SystemSet where Name='BackupTime'").toInt(), 0);

        QVERIFY(modifySystemSet("EmailInterval", QString("it's 60")));
        QVERIFY(getSystemSet("EmailInterval", text));
        QCOMPARE(text, QStringLiteral("it's 60"));
    }

    void calibrationTables()
    {
        QVERIFY(!existChannelCalibration());
        QVERIFY(createChannelCalibration());
        QVERIFY(existChannelCalibration());
        QVERIFY(!createChannelCalibration());
        // On a lab server the table comes with the others (its owner's set-up).
        if (!TestSupport::serverEngine()) {
            QVERIFY(!existChannelCalibrationData());
            QVERIFY(createChannelCalibrationData());
        }
        QVERIFY(existChannelCalibrationData());

        QString value;
        QVERIFY(getChannelCalibration("Points", value));
        QCOMPARE(value, QString(""));
        QVERIFY(modifyChannelCalibration("Points", QString("0;50;100")));
        QVERIFY(getChannelCalibration("Points", value));
        QCOMPARE(value, QStringLiteral("0;50;100"));
        bool running = true;
        QVERIFY(getChannelCalibration("Running", running));
        QVERIFY(!running);

        Struct_ChannelCalibrationData d;
        d.StartTime = "2024-01-01 10:00:00";
        d.CalibrationCriteria = QStringList{"0.01", "50.02"};
        QVERIFY(addChannelCalibrationData(d));
        QVERIFY(!addChannelCalibrationData(d)); // key taken: nothing overwritten
        QCOMPARE(TestSupport::scalar("select CalibrationCriteria from ChannelCalibrationData").toString(),
                 QStringLiteral("0.01;50.02"));
    }

    void labRecordsOfStandards()
    {
        // Names with quotes, % and _ are kept as they are and matched literally.
        Tool::Struct_ReferenceStandard r;
        r.Serial = "5310A-'00_1%";
        r.Kind = "KORVA 5310A";
        r.Certificate = "CAL-2026/0815";
        r.CalibrationDate = QDate(2026, 3, 1);
        r.DueDate = QDate(2027, 3, 1);
        r.Uncertainty = "-80:0.02;0:0.01;200:0.03";
        r.CoverageK = 2;
        r.DriftPerYear = 0.005;
        QVERIFY(Tool::putReferenceStandard(r));
        Tool::Struct_ReferenceStandard back;
        bool found = false;
        QVERIFY(Tool::getReferenceStandard("5310A-'00_1%", back, found) && found);
        QCOMPARE(back.DueDate, QDate(2027, 3, 1));
        QCOMPARE(back.Uncertainty, r.Uncertainty);
        QVERIFY(Tool::getReferenceStandard("5310A-x00x1x", back, found) && !found);
        QVERIFY(!r.overdue(QDate(2027, 3, 1)) && r.overdue(QDate(2027, 3, 2)));
        r.Certificate = "CAL-2027/0001"; // a new certificate replaces the record
        QVERIFY(Tool::putReferenceStandard(r));
        QList<Tool::Struct_ReferenceStandard> all;
        QVERIFY(Tool::getReferenceStandards(all));
        QCOMPARE(all.size(), 1);
        QCOMPARE(all[0].Certificate, QStringLiteral("CAL-2027/0001"));

        QVERIFY(Tool::putReadoutRecord({"3107A-RTD", "铂电阻", 0.0001, 0.004, "Ω"}));
        QVERIFY(Tool::putSourceRecord({"KL24117", "KRLB-3", "0.005", "-40:0.01;100:0.02"}));
        QList<Tool::Struct_ReadoutRecord> readouts;
        QVERIFY(Tool::getReadoutRecords(readouts) && readouts.size() == 1 && readouts[0].Accuracy == 0.004);
        QString lab;
        QVERIFY(Tool::getLabRecord("LabName", lab) && lab.isEmpty());
        QVERIFY(Tool::putLabRecord("LabName", "计量'实验室"));
        QVERIFY(Tool::getLabRecord("LabName", lab));
        QCOMPARE(lab, QStringLiteral("计量'实验室"));

        // A value or a table over temperature; anything else is refused whole.
        bool ok = false;
        QCOMPARE(Tool::parseTemperatureTable("0.02", &ok), (Tool::TemperatureTable{{0.0, 0.02}}));
        QVERIFY(ok);
        QCOMPARE(Tool::parseTemperatureTable(r.Uncertainty, &ok).size(), 3);
        QVERIFY(ok);
        QCOMPARE(Tool::temperatureTableText(Tool::parseTemperatureTable(r.Uncertainty)), r.Uncertainty);
        for (const char* bad : {"", "x", "0:0.01;40", "0:0.01:3", "0:;1:2"}) {
            QVERIFY2(Tool::parseTemperatureTable(bad, &ok).isEmpty() && !ok, bad);
        }
    }

    void closedConnectionFailsEverywhere()
    {
        QList<Struct_AcquisitionDevice> devices;
        Struct_AcquisitionDevice d;
        d.Number = 1;
        QVERIFY(addAcquisitionDevice(d));
        QVERIFY(getAcquisitionDevice(devices, ""));
        TestSupport::closeDatabase();

        g_messages.clear();
        QtMessageHandler previous = qInstallMessageHandler(captureHandler);
        const bool read = getAcquisitionDevice(devices, "");
        qInstallMessageHandler(previous);
        QVERIFY(!read);
        QCOMPARE(devices.size(), 1); // the caller's list is untouched
        QVERIFY(g_messages.contains(QStringLiteral("查询AcquisitionDevice失败！")));

        QString text = "keep";
        QVERIFY(!getSystemSet("DataAccuracy", text));
        QCOMPARE(text, QStringLiteral("keep"));
        QVERIFY(!addParameters(sampleProject("p")));
        QVERIFY(!modifySystemSet("DataAccuracy", QString("2")));
        QVERIFY(!deleteParameters("p"));
        addAuditLog("通讯异常", "silent"); // no crash, no result
    }

    void traceShowsTheStatementWithValues()
    {
        g_messages.clear();
        QtMessageHandler previous = qInstallMessageHandler(captureHandler);
        Struct_AcquisitionDevice d;
        d.Number = 3;
        d.Mode = "3107A-TC";
        d.SerialNumber = "S'3";
        d.ScanInterval = 2;
        QVERIFY(addAcquisitionDevice(d));
        QVERIFY(deleteParameters("p"));
        addParametersData({"p", QDateTime::currentDateTime(), {"1"}});
        qInstallMessageHandler(previous);
        QCOMPARE(g_messages.size(), 2); // data rows are not traced
        QCOMPARE(g_messages[0],
                 QStringLiteral("添加采集设备：insert into AcquisitionDevice values ( '3','3107A-TC','S'3','2','','','','','')"));
        QCOMPARE(g_messages[1], QStringLiteral("删除验证信息：delete from Parameters where Name = 'p'"));
    }

    void utilities()
    {
        QCOMPARE(boolListToString({true, false, true}), QStringLiteral("true,false,true"));
        QCOMPARE(stringToBoolList("true,false,TRUE,"), (QList<bool>{true, false, false, false}));
        QCOMPARE(numberList({1, 2.346, -0.005}, 2), (QStringList{"1.00", "2.35", "-0.01"}));
        QCOMPARE(unitPair({"mV", "℃", "mV"}), (QStringList{"℃", "mV"}));
        QCOMPARE(unitPair({"℃"}), (QStringList{"℃", ""}));
        QCOMPARE(unitPair({}), (QStringList{"", ""}));
        QCOMPARE(unitPair({"Ω", "mV"}), (QStringList{"Ω", "mV"}));
        QCOMPARE(unitPair({"Ω", "mV", "℃"}), (QStringList{"Ω", "mV", "℃"}));
        QCOMPARE(unitQuantity("℉"), QStringLiteral("温度"));
        QCOMPARE(unitQuantity("KPa"), QStringLiteral("压力"));
        QCOMPARE(unitQuantity("kΩ"), QStringLiteral("电阻"));
        QCOMPARE(unitQuantity("μA"), QStringLiteral("电流"));
        QCOMPARE(unitQuantity("lux"), QStringLiteral("其他"));
        // The 1586A is offered like the other models, so its devices can be
        // registered (and later downloaded) without editing the database.
        QCOMPARE(collectionModelList(), (QStringList{"3107A-NTC", "3107A-RTD", "3107A-TC", "3107A-PCR", "3108A", "1586A"}));
        QCOMPARE(fieldList().last(), QStringLiteral("手动"));
        // The thermometer is offered exactly when its link can be reached.
        QCOMPARE(criteriaList(), QStringList{"手动"});
        setReferenceProbe([] { return true; });
        QCOMPARE(criteriaList(), (QStringList{"KORVA 5310A", "手动"}));
        setReferenceProbe([] { return false; });
        QCOMPARE(criteriaList(), QStringList{"手动"});
        setReferenceProbe({});
        QCOMPARE(sum({}), 0.0);
        QCOMPARE(powerSum({1, 2, 3}, 3, 2), 14.0);
        QCOMPARE(powerSum({1, 2, 3}, 0, 2), 0.0);
        QCOMPARE(powerProductSum({1, 2, 3}, {1, 1, 2}, 3, 1), 9.0);
        const QStringList ports = serialPortList();
        QStringList sorted = ports;
        std::sort(sorted.begin(), sorted.end());
        QCOMPARE(ports, sorted);

        QElapsedTimer t;
        t.start();
        delay(30);
        QVERIFY(t.elapsed() >= 30);
    }

    // database.ini: no file is the SQLite file; a server needs its names;
    // the password comes from the file or the environment.
    void databaseSettings_data()
    {
        QTest::addColumn<QString>("ini");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<QString>("described");
        QTest::addColumn<QString>("password");
        QTest::newRow("no file") << QString() << QString() << true << "SQLite ARQ-310MX.db3" << QString();
        QTest::newRow("sqlite") << "[database]\nengine=sqlite\nfile=other.db3\n" << QString() << true
                                << "SQLite other.db3" << QString();
        QTest::newRow("server") << "[database]\nengine=postgresql\nhost=lab\nport=5433\ndatabase=arq\nuser=b1\n"
                                   "password=\"pa;ss\"\n"
                                << "env" << true << "PostgreSQL b1@lab:5433/arq" << "pa;ss";
        QTest::newRow("password from environment")
            << "[database]\nengine=PostgreSQL\ndatabase=arq\nuser=b1\n" << "from-env" << true
            << "PostgreSQL b1@localhost:5432/arq" << "from-env";
        QTest::newRow("no user") << "[database]\nengine=postgresql\ndatabase=arq\n" << QString() << false << QString()
                                 << QString();
        QTest::newRow("bad port") << "[database]\nengine=postgresql\ndatabase=arq\nuser=b\nport=x\n" << QString()
                                  << false << QString() << QString();
        QTest::newRow("unknown engine") << "[database]\nengine=mysql\n" << QString() << false << QString() << QString();
        // Values as written: ";" and "," are no comment and no list.
        QTest::newRow("password with a comma") << "[database]\nengine=postgresql\ndatabase=arq\nuser=b1\npassword=a,b;c\n"
                                               << "env" << true << "PostgreSQL b1@localhost:5432/arq" << "a,b;c";
        QTest::newRow("quoted with escapes")
            << "; comment\n[database]\n# comment\nengine=postgresql\ndatabase=arq\nuser=b1\npassword=\"say \\\"hi\\\" \\\\\"\n"
            << "env" << true << "PostgreSQL b1@localhost:5432/arq" << "say \"hi\" \\";
    }
    void databaseSettings()
    {
        QFETCH(QString, ini);
        QFETCH(QString, environment);
        QFETCH(bool, accepted);
        QFETCH(QString, described);
        QFETCH(QString, password);
        QTemporaryDir dir;
        const QString path = dir.filePath("settings.ini");
        if (!ini.isNull()) {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(ini.toUtf8());
        }
        qputenv(DatabasePasswordVariable, environment.toUtf8());
        DatabaseSettings settings;
        QString error;
        QCOMPARE(readDatabaseSettings(path, &settings, &error), accepted);
        qunsetenv(DatabasePasswordVariable);
        QCOMPARE(error.isEmpty(), accepted);
        if (!accepted)
            return;
        QCOMPARE(settings.describe(), described);
        QCOMPARE(settings.password, password);
        QVERIFY(!settings.describe().contains(QStringLiteral("pa;ss")));
    }

    // The options libpq gets, TLS keys included, each as written.
    void databaseSettingsOptions()
    {
        QTemporaryDir dir;
        QFile f(dir.filePath("settings.ini"));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[database]\nengine=postgresql\ndatabase=arq\nuser=b1\noptions=connect_timeout=10;target_session_attrs=any\n"
                "sslmode=verify-full\nsslrootcert=/etc/lab ca/it's.pem\n");
        f.close();
        DatabaseSettings settings;
        QVERIFY(readDatabaseSettings(f.fileName(), &settings));
        QCOMPARE(settings.options, QStringLiteral("connect_timeout=10;target_session_attrs=any;sslmode=verify-full;"
                                                  "sslrootcert='/etc/lab ca/it\\'s.pem'"));
    }

    // Two benches choose one project name at the same moment: exactly one
    // record, and the second bench is told (on a server: the name is taken).
    void oneProjectNameAcrossBenches()
    {
        QCOMPARE(addProject(sampleProject("p1")), StoreOutcome::Stored);
        QCOMPARE(addProject(sampleProject("p1")), StoreOutcome::NameTaken);
        QString taken;
        QCOMPARE(addProjects({sampleProject("p2"), sampleProject("p1")}, QList<Struct_ParametersData>(), QString(), {}, &taken),
                 StoreOutcome::NameTaken);
        QCOMPARE(taken, QStringLiteral("p1"));
        QCOMPARE(TestSupport::scalar("select count(*) from Parameters where Name = 'p2'").toInt(), 0);

        // The other bench has stored "race" but not committed yet when this one checks.
        const QString database = QSqlDatabase::database().databaseName();
        std::atomic<int> step{0};
        std::thread other([&] {
            WorkerConnection connection(database);
            QSqlDatabase db = QSqlDatabase::database(connection.name(), false);
            if (!connection.isOpen() || !db.transaction()) {
                step = -1;
                return;
            }
            QSqlQuery q(db);
            q.prepare("insert into Parameters(Name) values (?)");
            q.addBindValue(QStringLiteral("race"));
            step = q.exec() ? 1 : -1;
            QThread::msleep(300);
            db.commit();
        });
        while (step.load() == 0)
            QThread::msleep(5);
        QCOMPARE(step.load(), 1);
        const StoreOutcome second = addProject(sampleProject("race"));
        other.join();
        // The server waits for the other insert and refuses the duplicate; a
        // SQLite file refuses the write whose snapshot is stale.
        QCOMPARE(second, TestSupport::serverEngine() ? StoreOutcome::NameTaken : StoreOutcome::Failed);
        QCOMPARE(TestSupport::scalar("select count(*) from Parameters where Name = 'race'").toInt(), 1);
        if (TestSupport::serverEngine()) {
            // The key holds even against a statement that skips the check.
            QSqlQuery q;
            QVERIFY(!q.exec("insert into Parameters(Name) values ('race')"));
        }
    }

    // A coefficient write goes through only while the configuration is as
    // the run read it; another bench's calibration is never overwritten.
    void coefficientWriteChecksTheConfiguration()
    {
        QVERIFY(addChannelConfig(sampleConfig("cfg")));
        QList<Struct_ChannelConfig> read;
        QVERIFY(getChannelConfig(read, "cfg") && read.size() == 1);
        const Struct_ChannelConfig asRead = read.first();
        Struct_ChannelConfig mine = asRead;
        mine.MX_B_M = QStringList{"1.5", "1.001"};
        Struct_ChannelConfig theirs = asRead;
        theirs.A_C0 = QStringList{"0.25", "0"};

        QCOMPARE(modifyChannelConfigIf(asRead, theirs), CoefficientWrite::Written);
        QCOMPARE(modifyChannelConfigIf(asRead, mine), CoefficientWrite::Changed);
        QVERIFY(getChannelConfig(read, "cfg"));
        QCOMPARE(read.first().A_C0, theirs.A_C0);
        QCOMPARE(read.first().MX_B_M, asRead.MX_B_M);
        // Read again, the write goes through; a configuration that is gone fails.
        mine.A_C0 = theirs.A_C0;
        QCOMPARE(modifyChannelConfigIf(read.first(), mine), CoefficientWrite::Written);
        QVERIFY(getChannelConfig(read, "cfg"));
        QCOMPARE(read.first().MX_B_M, mine.MX_B_M);
        Struct_ChannelConfig none = mine;
        none.Name = "none";
        QCOMPARE(modifyChannelConfigIf(none, none), CoefficientWrite::Failed);
        // The history's restore checks the same way.
        QVERIFY(modifyChannelCoefficients("cfg", "102", {"2", "0", "0", "0", "0", "0", "0", "0", "0"}));
        QVERIFY(getChannelConfig(read, "cfg"));
        QCOMPARE(read.first().MX_B_M, (QStringList{"1.5", "2"}));
    }

    // The calibration evidence on either engine: replaced samples keep the
    // write order, a history row's id links its evidence, channel numbers
    // order as numbers and a text among them is no error.
    void calibrationEvidenceRoundTrip()
    {
        QList<Struct_CalibrationSample> samples;
        for (const char* channel : {"1_102", "REF", "1_101"})
            samples << Struct_CalibrationSample{"run", 1, 1, channel, 10, 1.5, 0.01, 1.4, 1.6, "t0", "t1"};
        QVERIFY(addCalibrationSamples(samples));
        samples[0].Mean = 2.5; // the point measured again
        QVERIFY(addCalibrationSamples({samples[0]}));
        QList<Struct_CalibrationSample> back;
        QVERIFY(getCalibrationSamples("run", back));
        QStringList order;
        for (const auto& b : back)
            order << b.Channel;
        QCOMPARE(order, (QStringList{"REF", "1_101", "1_102"}));
        QCOMPARE(back.last().Mean, 2.5);

        qint64 first = 0, second = 0;
        Struct_CalibrationHistory e;
        e.StartTime = "run";
        e.ConfigName = "cfg";
        e.ChannelNumber = "10";
        e.NewSet = QStringList{"1", "0"};
        e.MaxResidual = 0.5;
        e.MaxAsFound = std::numeric_limits<double>::quiet_NaN();
        e.Evidence = "{\"points\":[]}";
        QVERIFY(addCalibrationHistory(e, &first));
        e.ChannelNumber = "2";
        e.Evidence.clear();
        QVERIFY(addCalibrationHistory(e, &second));
        e.ChannelNumber = "x";
        QVERIFY(addCalibrationHistory(e));
        QVERIFY(first > 0 && second > first);
        QList<Struct_CalibrationHistory> history;
        QVERIFY(getCalibrationRunHistory("run", history));
        QCOMPARE(history.size(), 3);
        QCOMPARE(history[0].Evidence, QStringLiteral("{\"points\":[]}"));
        QVERIFY(std::isnan(history[0].MaxAsFound));
        QCOMPARE(history[0].MaxResidual, 0.5);
        QList<QPair<QString, QString>> channels;
        QVERIFY(getCalibrationHistoryChannels(channels));
        QCOMPARE(channels.size(), 3);
        QCOMPARE(channels[1].second + channels[2].second, QStringLiteral("210"));

        QVERIFY(createChannelCalibration());
        QVERIFY(putChannelCalibration({{"Points", "1"}, {"Points", "2"}}));
        QString points;
        QVERIFY(getChannelCalibration("Points", points));
        QCOMPARE(points, QStringLiteral("2"));
        Struct_Certificate c;
        c.Number = "C-1";
        QVERIFY(addCertificate(c));
        QVERIFY(!addCertificate(c));
    }

private:
    QScopedPointer<TestWorkDir> m_dir;
};

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
