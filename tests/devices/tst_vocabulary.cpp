#include "Collection1586A.h"
#include "Collection3108A.h"

#include <QtTest>

#include <algorithm>

namespace {
struct Row
{
    QString number, type, function, wire, unit;
};

QList<Device::Channel> channels(const QList<Row>& rows)
{
    QList<Device::Channel> list;
    for (const Row& r : rows) {
        Device::Channel ch;
        ch.ChannelNumber = r.number;
        ch.Type = r.type;
        ch.Function = r.function;
        ch.Wire = r.wire;
        ch.Unit = r.unit;
        list << ch;
    }
    return list;
}
} // namespace

Q_DECLARE_METATYPE(QList<Row>)

class TestVocabulary : public QObject
{
    Q_OBJECT
private slots:
    void listsMatchTheGoldenFile();
    void channelNumbers1586A_data();
    void channelNumbers1586A();
    void check_data();
    void check();
    void minInterval();
    void unsupportedWithoutIo();
};

// Every list the channel editors offer, for both drivers, in one golden file
// (tests/devices/data/vocabulary.txt): a changed list shows as a changed
// line. ARQ_UPDATE_GOLDEN=1 rewrites the file after a deliberate change.
QStringList vocabularyLines()
{
    QStringList out;
    const auto join = [](const QStringList& l) { return l.join(QLatin1Char('|')); };
    const auto mask = [](const QList<bool>& m) {
        QString t;
        for (bool b : m)
            t += b ? QLatin1Char('1') : QLatin1Char('0');
        return t;
    };
    Collection3108A logger;
    Collection1586A scanner;
    const QList<QPair<QString, Collection*>> drivers{{QStringLiteral("3108A"), &logger},
                                                      {QStringLiteral("1586A"), &scanner}};
    const QStringList types{"热电偶", "铂电阻", "热敏电阻", "电阻", "直流电压", "交流电压", "直流电流", "频率", "All", ""};
    for (const auto& d : drivers) {
        for (int channel : {1, 101, 120, 122, 124, 125, 221})
            out << QStringLiteral("%1 TypeList(%2) = %3").arg(d.first).arg(channel).arg(join(d.second->TypeList(channel)));
        for (const QString& type : types) {
            out << QStringLiteral("%1 FunctionList(%2) = %3").arg(d.first, type, join(d.second->FunctionList(type)));
            out << QStringLiteral("%1 WiringList(%2) = %3").arg(d.first, type, join(d.second->WiringList(type)));
            out << QStringLiteral("%1 UnitList(%2) = %3").arg(d.first, type, join(d.second->UnitList(type)));
        }
        out << QStringLiteral("%1 CompensationList = %2").arg(d.first, join(d.second->CompensationList()));
        for (const QString& module : {QString(), QStringLiteral("1,0,0,0,0,0"), QStringLiteral("1,0,1,0,1,0")}) {
            out << QStringLiteral("%1 MaxChannelCount(%2) = %3").arg(d.first, module).arg(d.second->MaxChannelCount(module));
            for (int count : {-1, 24, 25})
                out << QStringLiteral("%1 ChannelNumberList(%2, %3) = %4")
                           .arg(d.first)
                           .arg(count)
                           .arg(module, join(d.second->ChannelNumberList(count, module)));
        }
        for (const QString& type : {QStringLiteral("热电偶"), QStringLiteral("铂电阻"), QStringLiteral("热敏电阻")})
            for (const QString& function : d.second->FunctionList(type))
                out << QStringLiteral("%1 CoefficientMask(%2) = %3").arg(d.first, function, mask(d.second->CoefficientMask(function)));
        for (const QString& function : {QStringLiteral("R(T)"), QStringLiteral("自动"), QStringLiteral("POLY")})
            out << QStringLiteral("%1 CoefficientMask(%2) = %3").arg(d.first, function, mask(d.second->CoefficientMask(function)));
    }
    return out;
}

void TestVocabulary::listsMatchTheGoldenFile()
{
    const QStringList lines = vocabularyLines();
    const QString path = QString::fromLocal8Bit(qgetenv("ARQ_SOURCE_DIR")) + "/tests/devices/data/vocabulary.txt";
    if (qEnvironmentVariableIsSet("ARQ_UPDATE_GOLDEN")) {
        QFile out(path);
        QVERIFY(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write((lines.join('\n') + '\n').toUtf8());
    }
    QFile file(path);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
    const QStringList golden = QString::fromUtf8(file.readAll()).split('\n', Qt::SkipEmptyParts);
    for (int i = 0; i < std::max(lines.size(), golden.size()); ++i)
        QVERIFY2(lines.value(i) == golden.value(i),
                 qPrintable(QStringLiteral("line %1: now \"%2\", golden \"%3\"").arg(i + 1).arg(lines.value(i), golden.value(i))));

    // The lists the editors rely on by name, as the golden file shows them.
    const auto has = [&](const QString& line) { return golden.contains(line); };
    QVERIFY(has("3108A TypeList(125) = 直流电流"));
    QVERIFY(has("3108A WiringList(热敏电阻) = 二线制|四线制"));
    QVERIFY(has("3108A UnitList(热电偶) = ℃|mV|V"));
    QVERIFY(has("3108A CompensationList = 内部补偿|固定冷端"));
    QVERIFY(has("3108A CoefficientMask(R(T)) = 1111000"));
    QVERIFY(has("1586A TypeList(221) = 直流电压|交流电压"));
    QVERIFY(has("1586A MaxChannelCount(1,0,1,0,1,0) = 66"));
    QVERIFY(has("1586A CoefficientMask(POLY) = 1111111"));
}

void TestVocabulary::channelNumbers1586A_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("module");
    QTest::addColumn<QStringList>("expected");

    QStringList all12;
    for (int m : {1, 2})
        for (int c = 1; c <= 22; ++c)
            all12 << QString::number(m * 100 + c);
    QTest::newRow("empty module, all") << 0 << QString() << all12;
    QTest::newRow("too many") << 45 << QString() << all12;
    QTest::newRow("width 10") << 12 << "1,1,0,0,0,0"
                              << QStringList{"101", "102", "103", "104", "105", "106", "107", "108", "109", "110",
                                             "201", "202"};
    QStringList width20;
    for (int c = 1; c <= 20; ++c)
        width20 << QString::number(100 + c);
    width20 << "301";
    QTest::newRow("width 20") << 21 << "1,0,1,0,0,0" << width20;
    QStringList width22;
    for (int c = 1; c <= 22; ++c)
        width22 << QString::number(100 + c);
    for (int c = 1; c <= 19; ++c)
        width22 << QString::number(200 + c);
    QTest::newRow("width 22") << 41 << "1,1,0,0,0,0" << width22;
    QTest::newRow("one module") << 3 << "0,0,0,0,0,1" << QStringList{"601", "602", "603"};
}

void TestVocabulary::channelNumbers1586A()
{
    QFETCH(int, count);
    QFETCH(QString, module);
    QFETCH(QStringList, expected);
    Collection1586A d;
    QCOMPARE(d.ChannelNumberList(count, module), expected);
}

void TestVocabulary::check_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QList<Row>>("rows");
    QTest::addColumn<QString>("message");

    const Row pt101{"101", "铂电阻", "ITS90", "四线制", "℃"};
    QTest::newRow("3108A empty") << "3108A" << QList<Row>{} << "通道未设置！";
    QTest::newRow("3108A valid") << "3108A" << QList<Row>{pt101, {"102", "热电偶", "K", "二线制", "℃"}} << "";
    QTest::newRow("3108A type") << "3108A" << QList<Row>{{"125", "热电偶", "K", "二线制", "℃"}} << "通道125类型错误！";
    QTest::newRow("3108A function") << "3108A" << QList<Row>{{"101", "热电偶", "W", "二线制", "℃"}}
                                    << "通道101功能错误！";
    QTest::newRow("3108A wiring") << "3108A" << QList<Row>{{"101", "热电偶", "K", "四线制", "℃"}}
                                  << "通道101接线线制错误！";
    QTest::newRow("3108A unit") << "3108A" << QList<Row>{{"101", "电阻", "自动", "二线制", "℃"}} << "通道101单位错误！";
    QTest::newRow("3108A occupied") << "3108A" << QList<Row>{pt101, {"113", "热电偶", "K", "二线制", "℃"}}
                                    << "通道113已被占用！";
    QTest::newRow("3108A refused") << "3108A" << QList<Row>{{"115", "铂电阻", "ITS90", "三线制", "℃"}}
                                   << "通道115不能被设置为三线制!";
    QTest::newRow("3108A three units")
        << "3108A"
        << QList<Row>{{"101", "热电偶", "K", "二线制", "℃"}, {"102", "热电偶", "K", "二线制", "mV"},
                      {"103", "热电偶", "K", "二线制", "V"}}
        << "单位不许超过2个！";
    QTest::newRow("3108A first failure wins")
        << "3108A" << QList<Row>{{"101", "热电偶", "W", "二线制", "℃"}, {"125", "热电偶", "K", "二线制", "℃"}}
        << "通道101功能错误！";

    QTest::newRow("1586A range") << "1586A" << QList<Row>{{"101", "热电偶", "Au_Pt", "二线制", "℃"}}
                                 << "通道101量程错误！";
    QTest::newRow("1586A occupied by position")
        << "1586A" << QList<Row>{{"205", "铂电阻", "PT385", "四线制", "℃"}, {"215", "热电偶", "K", "二线制", "℃"}}
        << "通道215已被占用！";
    QTest::newRow("1586A refused") << "1586A" << QList<Row>{{"112", "电阻", "自动", "四线制", "Ω"}}
                                   << "通道112不能被设置为四线制!";
    QTest::newRow("1586A two temperature units")
        << "1586A" << QList<Row>{{"101", "热电偶", "K", "二线制", "℃"}, {"102", "热电偶", "K", "二线制", "℉"}}
        << "不能同时设置两个温度单位！";
    QTest::newRow("1586A three units first")
        << "1586A"
        << QList<Row>{{"101", "热电偶", "K", "二线制", "℃"}, {"102", "热电偶", "K", "二线制", "℉"},
                      {"103", "直流电压", "自动", "二线制", "mV"}}
        << "单位不许超过2个！";
    QTest::newRow("1586A voltage-only channel") << "1586A" << QList<Row>{{"221", "热电偶", "K", "二线制", "℃"}}
                                                << "通道221类型错误！";
    // Types without functions or wirings in the vocabulary can still be used.
    QTest::newRow("1586A ac voltage and frequency")
        << "1586A" << QList<Row>{{"121", "交流电压", "", "二线制", "V"}, {"102", "频率", "", "", "V"}} << "";
}

void TestVocabulary::check()
{
    QFETCH(QString, model);
    QFETCH(QList<Row>, rows);
    QFETCH(QString, message);
    std::unique_ptr<Collection> d;
    if (model == "3108A")
        d.reset(new Collection3108A);
    else
        d.reset(new Collection1586A);
    QString text = "stale";
    QCOMPARE(d->CheckChannels(channels(rows), text), message.isEmpty());
    QCOMPARE(text, message);
}

void TestVocabulary::minInterval()
{
    Collection3108A a;
    Collection1586A f;
    const QList<Device::Channel> three = channels({{"101", "", "", "", ""}, {"102", "", "", "", ""}, {"103", "", "", "", ""}});
    QCOMPARE(a.MinInterval("中速", three), 0.30000000000000004);
    QCOMPARE(a.MinInterval("慢速", three), 3.0);
    QCOMPARE(a.MinInterval("x", three), 0.03);
    QCOMPARE(f.MinInterval("慢速", three), 12.0);
    QCOMPARE(f.MinInterval("快速", {}), 2.0);
    QVERIFY(qAbs(f.MinInterval("x", three) - 0.3) < 1e-9);
}

void TestVocabulary::unsupportedWithoutIo()
{
    Collection3108A a;
    Collection1586A f;
    QString text;
    QStringList values;
    for (Collection* d : {static_cast<Collection*>(&a), static_cast<Collection*>(&f)}) {
        QVERIFY(!d->GetSerialNumber(text));
        QVERIFY(!d->SetChannels("快速", channels({{"101", "", "", "", ""}})));
        QVERIFY(!d->ReadData(values));
        QVERIFY(!d->SyncTime(QDateTime::currentDateTime()));
        QVERIFY(!d->Write("x"));
        QVERIFY(!d->Close());
        QVERIFY(!d->IsOpen());
    }
}

QTEST_GUILESS_MAIN(TestVocabulary)
#include "tst_vocabulary.moc"
