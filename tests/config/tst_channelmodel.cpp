#include "ChannelModel.h"
#include "Collection.h"
#include "ConfigFile.h"
#include "ConfigSample.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

class TestChannelModel : public QObject
{
    Q_OBJECT
private slots:
    void factory_data();
    void factory();
    void toChannels();
    void dataFileReaders();
    void toChannelsShortLists();
    void exportAndRead();
    void readFallsBackToB();
    void readMissingFile();
    void exportUnwritable();
    void applyKeepsRowsBeyondList();
    void importRefusesWhatIsNoNumber_data();
    void importRefusesWhatIsNoNumber();
};

void TestChannelModel::factory_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("className"); // empty: no driver
    QTest::addColumn<int>("types");
    QTest::newRow("NTC") << "3107A-NTC" << "Collection3107A_NTC" << 1;
    QTest::newRow("RTD") << "3107A-RTD" << "Collection3107A_RTD" << 1;
    QTest::newRow("TC") << "3107A-TC" << "Collection3107A_TC" << 1;
    QTest::newRow("PCR") << "3107A-PCR" << "Collection3107A_PCR" << 1;
    QTest::newRow("3108A") << "3108A" << "Collection3108A" << 6;
    QTest::newRow("1586A") << "1586A" << "Collection1586A" << 9;
    QTest::newRow("Fluke 1586A") << "Fluke 1586A" << "Collection1586A" << 9;
    QTest::newRow("unknown") << "XYZ" << "" << 0;
    QTest::newRow("lower case") << "3107a-tc" << "" << 0;
    QTest::newRow("empty") << "" << "" << 0;
}

void TestChannelModel::factory()
{
    QFETCH(QString, model);
    QFETCH(QString, className);
    QFETCH(int, types);
    std::unique_ptr<Collection> driver(ChannelModel::createCollection(model));
    if (className.isEmpty()) {
        QVERIFY(!driver);
        return;
    }
    QVERIFY(driver);
    QCOMPARE(QString::fromLatin1(driver->metaObject()->className()), className);
    QCOMPARE(driver->TypeList(101).size(), types);
    QVERIFY(!driver->IsOpen());
}

void TestChannelModel::toChannels()
{
    Tool::Struct_ChannelConfig config = sampleConfig("a", 2);
    config.CompensationWay = QStringLiteral("固定冷端");
    config.ColdJunctionTemp = QStringLiteral("20.5");
    config.MX_B_M[1] = QStringLiteral("1.0001");
    const QList<Device::Channel> channels = ChannelModel::toChannels(config);
    QCOMPARE(channels.size(), 2);
    const Device::Channel& ch = channels.at(1);
    QCOMPARE(ch.ChannelNumber, QStringLiteral("102"));
    QCOMPARE(ch.Type, QStringLiteral("热电偶"));
    QCOMPARE(ch.Function, QStringLiteral("K"));
    QCOMPARE(ch.Wire, QStringLiteral("二线制"));
    QCOMPARE(ch.Unit, QStringLiteral("℃"));
    QCOMPARE(ch.CompensationWay, QStringLiteral("固定冷端"));
    QCOMPARE(ch.ColdJunctionTemp, QStringLiteral("20.5"));
    QCOMPARE((QStringList{ch.A_C0, ch.B_C1, ch.C_C2, ch.D_C3, ch.R0_C4, ch.A4_C5, ch.B4_C6}),
             (QStringList{"1.1", "2.1", "3.1", "4.1", "100.1", "5.1", "6.1"}));
    QCOMPARE(ch.MX_B_M, 1.0001f);
    QCOMPARE(ch.MX_B_B, -0.2f);
}

void TestChannelModel::toChannelsShortLists()
{
    // A damaged row must not crash the mapping.
    Tool::Struct_ChannelConfig config = sampleConfig("a", 3);
    config.MX_B_M = QStringList{"2"};
    config.MX_B_B.clear();
    config.Unit.removeLast();
    const QList<Device::Channel> channels = ChannelModel::toChannels(config);
    QCOMPARE(channels.size(), 3);
    QCOMPARE(channels.at(0).MX_B_M, 2.0f);
    QCOMPARE(channels.at(2).MX_B_M, 1.0f);
    QCOMPARE(channels.at(2).MX_B_B, 0.0f);
    QCOMPARE(channels.at(2).Unit, QString());
}

void TestChannelModel::exportAndRead()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("config.ini");
    QVERIFY(ConfigFile::write(path, sampleConfig("a", 2)));

    QSettings raw(path, QSettings::IniFormat);
    raw.setIniCodec("UTF-8");
    QCOMPARE(raw.childGroups(), QStringList{"Standardizer"});
    raw.beginGroup("Standardizer");
    QCOMPARE(raw.childKeys().size(), 9);
    for (const QString& key : raw.childKeys())
        QCOMPARE(raw.value(key).toStringList().size(), 2);
    raw.endGroup();

    ConfigFile::Corrections c;
    QVERIFY(ConfigFile::read(path, c));
    QCOMPARE(c.A_C0, (QStringList{"1.0", "1.1"}));
    QCOMPARE(c.D_C3, (QStringList{"4.0", "4.1"}));
    QCOMPARE(c.B4_C6, (QStringList{"6.0", "6.1"}));
    QCOMPARE(c.MX_B_M, (QStringList{"1", "2"}));
    QCOMPARE(c.MX_B_B, (QStringList{"-0.1", "-0.2"}));

    // Writing again replaces the previous content, a one-channel list included.
    QVERIFY(ConfigFile::write(path, sampleConfig("b", 1)));
    QVERIFY(ConfigFile::read(path, c));
    QCOMPARE(c.A_C0, QStringList{"1.0"});
    QCOMPARE(c.MX_B_B, QStringList{"-0.1"});
}

void TestChannelModel::readFallsBackToB()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("old.ini");
    {
        QSettings s(path, QSettings::IniFormat);
        s.setIniCodec("UTF-8");
        s.setValue("Standardizer/B0", QStringList{"7", "8"});
        s.setValue("Standardizer/B1", QStringList{"9"});
        s.setValue("Standardizer/B2", QStringList{"10"});
        s.setValue("Standardizer/B3", QStringList{"11"});
        s.setValue("Standardizer/C_C2", QStringList{"12"});
        s.setValue("Standardizer/MX_B_M", QStringList{"1.5", "2.5"});
    }
    ConfigFile::Corrections c;
    QVERIFY(ConfigFile::read(path, c));
    QCOMPARE(c.A_C0, (QStringList{"7", "8"}));
    QCOMPARE(c.B_C1, QStringList{"9"});
    QCOMPARE(c.C_C2, QStringList{"12"}); // own key wins
    QCOMPARE(c.D_C3, QStringList{"11"});
    QCOMPARE(c.R0_C4, QStringList());
    QCOMPARE(c.MX_B_M, (QStringList{"1.5", "2.5"}));
}

void TestChannelModel::readMissingFile()
{
    ConfigFile::Corrections c;
    QTemporaryDir dir;
    QVERIFY(!ConfigFile::read(dir.filePath("missing.ini"), c));
    QVERIFY(!QFile::exists(dir.filePath("missing.ini")));
}

void TestChannelModel::exportUnwritable()
{
    // A path below a plain file cannot be written, not even by root.
    QTemporaryDir dir;
    QFile blocker(dir.filePath("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString path = dir.filePath("file/config.ini");
    QVERIFY(!ConfigFile::write(path, sampleConfig("a", 1)));
    QVERIFY(!QFile::exists(path));
}

void TestChannelModel::applyKeepsRowsBeyondList()
{
    Tool::Struct_ChannelConfig config = sampleConfig("a", 3);
    ConfigFile::Corrections c;
    c.A_C0 = QStringList{"9", "8"};
    c.MX_B_M = QStringList{"3", "3", "3", "3"}; // longer than the table
    ConfigFile::apply(c, config);
    QCOMPARE(config.A_C0, (QStringList{"9", "8", "1.2"}));
    QCOMPARE(config.MX_B_M, (QStringList{"3", "3", "3"}));
    QCOMPARE(config.B_C1, (QStringList{"2.0", "2.1", "2.2"}));
}

void TestChannelModel::importRefusesWhatIsNoNumber_data()
{
    // The file's own text, as a hand-edited or damaged file would hold it.
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("badIndex"); // -1: accepted
    QTest::newRow("numbers") << QByteArray("A_C0=1.5, -2e-3, \" 7 \"") << -1;
    QTest::newRow("word") << QByteArray("A_C0=1.5, abc") << 1;
    QTest::newRow("comma inside quotes") << QByteArray("A_C0=\"1,5\"") << 0;
    QTest::newRow("nan") << QByteArray("A_C0=1, nan") << 1;
    QTest::newRow("inf") << QByteArray("A_C0=inf") << 0;
    QTest::newRow("negative inf") << QByteArray("A_C0=2, 3, -INF") << 2;
    QTest::newRow("beyond the channels") << QByteArray("A_C0=1, 2, 3, nan") << -1;
}

void TestChannelModel::importRefusesWhatIsNoNumber()
{
    QFETCH(QByteArray, line);
    QFETCH(int, badIndex);
    QTemporaryDir dir;
    const QString path = dir.filePath("config.ini");
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[Standardizer]\n" + line + "\nMX_B_M=1, 1, 1\n");
    }
    ConfigFile::Corrections c;
    QVERIFY(ConfigFile::read(path, c));
    const ConfigFile::Invalid invalid = ConfigFile::firstInvalid(c, 3);
    QCOMPARE(invalid.index, badIndex);
    if (badIndex >= 0)
        QCOMPARE(invalid.list, QStringLiteral("A_C0"));
}

void TestChannelModel::dataFileReaders()
{
    // The import names the scanner "Fluke 1586A", the registry "1586A": both
    // read its files; models without a reader get none.
    const QString scannerFile = QStringLiteral("Record,Time,Ch 101 (C),Ch 102 (C),Alarm Flags\n");
    const QString loggerFile = QStringLiteral("Time,CH01,CH02,CH03,CH04,CH05,CH06,CH07,CH08\n");
    QTemporaryDir dir;
    const auto write = [&](const QString& name, const QString& text) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(text.toUtf8());
        return f.fileName();
    };
    const QString scanner = write("s.csv", scannerFile), logger = write("l.csv", loggerFile);
    for (const QString& model : {QStringLiteral("1586A"), QStringLiteral("Fluke 1586A")}) {
        std::unique_ptr<Collection> reader(ChannelModel::createDataFileReader(model));
        QVERIFY(reader);
        QVERIFY(reader->OpenDataFile(scanner, {"101", "102"}));
        QVERIFY(!reader->OpenDataFile(logger, {"101"}));
    }
    for (const QString& model : {QStringLiteral("3107A-TC"), QStringLiteral("3108A")}) {
        std::unique_ptr<Collection> reader(ChannelModel::createDataFileReader(model));
        QVERIFY(reader);
        QVERIFY(reader->OpenDataFile(logger, {"101", "108"}));
    }
    for (const QString& model : {QStringLiteral("3107A-NTC"), QStringLiteral("3107A-PCR"), QString()})
        QVERIFY(!ChannelModel::createDataFileReader(model));
}

QTEST_GUILESS_MAIN(TestChannelModel)
#include "tst_channelmodel.moc"
