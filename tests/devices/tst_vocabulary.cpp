#include "Collection1586A.h"
#include "Collection3108A.h"

#include <QtTest>

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
    void lists3108A();
    void lists1586A();
    void channelNumbers1586A_data();
    void channelNumbers1586A();
    void check_data();
    void check();
    void minInterval();
    void unsupportedWithoutIo();
};

void TestVocabulary::lists3108A()
{
    Collection3108A d;
    QCOMPARE(d.TypeList(125), QStringList{"直流电流"});
    QCOMPARE(d.TypeList(124).size(), 6);
    QCOMPARE(d.FunctionList("频率"), QStringList{"自动"});
    QCOMPARE(d.FunctionList("热电偶").size(), 16);
    QCOMPARE(d.FunctionList("铂电阻").size(), 12);
    QCOMPARE(d.WiringList("热敏电阻"), (QStringList{"二线制", "四线制"}));
    QCOMPARE(d.WiringList("电阻").size(), 3);
    QCOMPARE(d.WiringList("直流电压"), QStringList{"二线制"});
    QCOMPARE(d.UnitList("All").size(), 14);
    QCOMPARE(d.UnitList(QString()).size(), 14);
    QCOMPARE(d.UnitList("热电偶"), (QStringList{"℃", "mV", "V"}));
    QCOMPARE(d.UnitList("直流电流").size(), 9);
    QCOMPARE(d.CompensationList(), (QStringList{"内部补偿", "固定冷端"}));
    QCOMPARE(d.MaxChannelCount(QString()), 26);
    QCOMPARE(d.ChannelNumberList(25, QString()).last(), QStringLiteral("125"));
    QCOMPARE(d.ChannelNumberList(24, QString()).size(), 24);
    QCOMPARE(d.ChannelNumberList(-1, QString()).size(), 26);
    QCOMPARE(d.CoefficientMask("Cu50-428"), (QList<bool>{false, false, false, false, true, false, false}));
    QCOMPARE(d.CoefficientMask("R(T)"), (QList<bool>{true, true, true, true, false, false, false}));
    QCOMPARE(d.CoefficientMask("自动"), (QList<bool>{false, false, false, false, false, false, false}));
}

void TestVocabulary::lists1586A()
{
    Collection1586A d;
    QCOMPARE(d.TypeList(221), (QStringList{"直流电压", "交流电压"}));
    QCOMPARE(d.TypeList(122), (QStringList{"直流电压", "交流电压"}));
    QCOMPARE(d.TypeList(120).size(), 9);
    QCOMPARE(d.TypeList(1).size(), 9); // front-panel input
    QCOMPARE(d.FunctionList("交流电压"), QStringList());
    QCOMPARE(d.FunctionList("热电偶").last(), QStringLiteral("POLY"));
    QCOMPARE(d.WiringList("频率"), QStringList());
    QCOMPARE(d.UnitList("电阻").size(), 14);
    QCOMPARE(d.MaxChannelCount("1,0,0,0,0,0"), 22);
    QCOMPARE(d.MaxChannelCount("1,0,1,0,1,0"), 66);
    QCOMPARE(d.MaxChannelCount(QString()), 44);
    QCOMPARE(d.CoefficientMask("POLY"), (QList<bool>{true, true, true, true, true, true, true}));
    QCOMPARE(d.CoefficientMask("CVD"), (QList<bool>{true, true, true, false, true, false, false}));
    QCOMPARE(d.CoefficientMask("S"), (QList<bool>{true, true, true, true, false, false, false}));
    QCOMPARE(d.CoefficientMask("PT392"), (QList<bool>{false, false, false, false, true, false, false}));
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
