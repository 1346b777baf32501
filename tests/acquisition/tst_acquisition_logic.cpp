// Widget-free rules of the acquisition set-up, the channel choice and the
// per-scan arithmetic of the live views.

#include "AcquisitionRules.h"
#include "ScanAnalysis.h"
#include "ScanTableModels.h"

#include <QFont>
#include <QtTest>

#include <cmath>

using namespace AcquisitionRules;
using namespace ScanAnalysis;

namespace {
Tool::Struct_ChannelConfig config(const QStringList& numbers, const QStringList& units)
{
    Tool::Struct_ChannelConfig c;
    c.Number = numbers.size();
    c.ChannelNumber = numbers;
    for (const QString& n : numbers)
        c.Tag << QStringLiteral("CH") + n;
    c.Unit = units;
    for (int i = 0; i < numbers.size(); ++i) {
        c.LowState << (i == 0);
        c.Low << QStringLiteral("1.5");
        c.HightState << false;
        c.Hight << QStringLiteral("9");
    }
    return c;
}
} // namespace

class TestAcquisitionLogic : public QObject
{
    Q_OBJECT

private slots:
    void deviceCheck_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QString>("t1");
        QTest::addColumn<QString>("t2");
        QTest::addColumn<QString>("t3");
        QTest::addColumn<int>("result");
        QTest::newRow("one chosen") << 1 << "1_3108A" << "" << "" << int(DevicesOk);
        QTest::newRow("one empty") << 1 << "" << "" << "" << int(DeviceMissing);
        QTest::newRow("count 1 ignores 2 and 3") << 1 << "1_3108A" << "1_3108A" << "" << int(DevicesOk);
        // The equality test runs last, so two empty combos are "equal".
        QTest::newRow("two empty") << 2 << "" << "" << "" << int(DevicesEqual);
        QTest::newRow("second empty") << 2 << "1_3108A" << "" << "" << int(DeviceMissing);
        QTest::newRow("two equal") << 2 << "1_3108A" << "1_3108A" << "" << int(DevicesEqual);
        QTest::newRow("two differ") << 2 << "1_3108A" << "2_1586A" << "" << int(DevicesOk);
        QTest::newRow("third empty") << 3 << "1_3108A" << "2_1586A" << "" << int(DeviceMissing);
        QTest::newRow("third equals first") << 3 << "1_a" << "2_b" << "1_a" << int(DevicesEqual);
        QTest::newRow("third equals second") << 3 << "1_a" << "2_b" << "2_b" << int(DevicesEqual);
        QTest::newRow("first empty, others set") << 3 << "" << "2_b" << "3_c" << int(DeviceMissing);
        QTest::newRow("three differ") << 3 << "1_a" << "2_b" << "3_c" << int(DevicesOk);
    }
    void deviceCheck()
    {
        QFETCH(int, count);
        QFETCH(QString, t1);
        QFETCH(QString, t2);
        QFETCH(QString, t3);
        QFETCH(int, result);
        QCOMPARE(int(checkDevices(count, t1, t2, t3)), result);
    }

    void modesAndMemoryLogging()
    {
        Tool::Struct_AcquisitionDevice fluke;
        fluke.Number = 2;
        fluke.Mode = QStringLiteral("1586A");
        Tool::Struct_AcquisitionDevice logger;
        logger.Number = 1;
        logger.Mode = QStringLiteral("3107A-TC");
        QCOMPARE(deviceText(logger), QStringLiteral("1_3107A-TC"));
        QCOMPARE(modeList({}), (QStringList{"在线", "导入"}));
        QCOMPARE(modeList({logger}), (QStringList{"在线", "导入"}));
        QCOMPARE(modeList({fluke}), (QStringList{"在线", "导入", "脱机"}));
        QCOMPARE(modeList({fluke, fluke}), (QStringList{"在线", "导入", "脱机"}));
        QCOMPARE(modeList({fluke, logger}), (QStringList{"在线", "导入"}));
    }

    void chosenChannelsFromConfigurations()
    {
        auto first = config({"101", "102"}, {"℃", "mV"});
        auto second = config({"103"}, {"V"});
        const auto list = chosenChannels({first, second}, {0, 1, 1});
        QCOMPARE(list.size(), 3);
        QCOMPARE(list[0].ID, QStringLiteral("1-101"));
        QCOMPARE(list[0].Label, QStringLiteral("1-CH101"));
        QCOMPARE(list[0].LowState, true);
        QCOMPARE(list[0].Low, QStringLiteral("1.5"));
        QCOMPARE(list[1].ProjectIndex, 1);
        QCOMPARE(list[2].ID, QStringLiteral("2-103"));
        QCOMPARE(list[2].Label, QStringLiteral("2-CH103"));
        QCOMPARE(list[2].DeviceIndex, 1);
        QCOMPARE(list[2].Unit, QStringLiteral("V"));

        // A configuration whose lists are shorter than its count must not read past them.
        auto broken = config({"101"}, {"℃"});
        broken.Number = 3;
        const auto padded = chosenChannels({broken});
        QCOMPARE(padded.size(), 3);
        QCOMPARE(padded[2].ID, QStringLiteral("1-"));
        QCOMPARE(padded[2].LowState, false);
    }

    void choiceCheck()
    {
        auto c = config({"101", "102", "103"}, {"℃", "mV", "V"});
        auto check = checkChoice(chosenChannels({c}, {0, 0, 0}), 2);
        QCOMPARE(int(check.problem), int(TooManyUnits));
        QCOMPARE(check.project, 0);
        // Project 1 passes (two units), project 2 has nothing.
        check = checkChoice(chosenChannels({c}, {0, 0, 2}), 2);
        QCOMPARE(int(check.problem), int(ProjectWithoutChannel));
        QCOMPARE(check.project, 1);
        check = checkChoice(chosenChannels({c}, {0, 0, 1}), 2);
        QCOMPARE(int(check.problem), int(ChoiceOk));
    }

    void unitGroups_data()
    {
        QTest::addColumn<QStringList>("units");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<QVector<bool>>("flags");
        QTest::newRow("one unit") << QStringList{"mV", "mV"} << "mV" << "" << QVector<bool>{true, true};
        QTest::newRow("mV then ℃") << QStringList{"mV", "℃", "mV"} << "℃" << "mV"
                                   << QVector<bool>{false, true, false};
        QTest::newRow("℉ then mV") << QStringList{"℉", "mV"} << "℉" << "mV" << QVector<bool>{true, false};
        QTest::newRow("two non-temperature") << QStringList{"Ω", "mV"} << "Ω" << "mV"
                                             << QVector<bool>{true, false};
    }
    void unitGroups()
    {
        QFETCH(QStringList, units);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(QVector<bool>, flags);
        const auto g = UnitGroups::fromUnits(units);
        QCOMPARE(g.first, first);
        QCOMPARE(g.second, second);
        QCOMPARE(g.inFirst, flags);
        QCOMPARE(g.groupCount(), second.isEmpty() ? 1 : 2);
    }

    void extremeColours()
    {
        auto colours = [](const QVector<double>& values, const QVector<bool>& flags, bool two,
                          QVector<std::uint8_t> start = {}) {
            Extremes a, b;
            extremes(values, flags, a, b);
            if (start.isEmpty())
                start.fill(NoColour, values.size());
            colourExtremes(a, b, two, start.data());
            return start;
        };
        // All equal: the first channel is both maximum and minimum and ends green.
        QCOMPARE(colours({5, 5, 5}, {true, true, true}, false),
                 (QVector<std::uint8_t>{Minimum, NoColour, NoColour}));
        // Ties name the earlier channel.
        QCOMPARE(colours({1, 7, 7, 1}, {true, true, true, true}, false),
                 (QVector<std::uint8_t>{Minimum, Maximum, NoColour, NoColour}));
        // Two groups coloured separately; extremes replace alarm colours.
        QCOMPARE(colours({1, 100, 3, 50, 2}, {true, false, true, false, true}, true,
                         {LowAlarm, HighAlarm, NoColour, NoColour, LowAlarm}),
                 (QVector<std::uint8_t>{Minimum, Maximum, Maximum, Minimum, LowAlarm}));
        // One unit: the second group is not coloured.
        QCOMPARE(colours({1, 2}, {true, false}, false), (QVector<std::uint8_t>{Minimum, NoColour}));
    }

    void alarms_data()
    {
        QTest::addColumn<bool>("lowOn");
        QTest::addColumn<QString>("low");
        QTest::addColumn<bool>("highOn");
        QTest::addColumn<QString>("high");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QString>("detail");
        QTest::newRow("below low") << true << "20" << false << "" << 12.5 << "下限报警" << "低于下限:12.50";
        QTest::newRow("low disabled") << false << "20" << false << "" << 12.5 << "" << "";
        QTest::newRow("equal to low") << true << "20" << false << "" << 20.0 << "" << "";
        QTest::newRow("above high") << false << "" << true << "40" << 40.004 << "上限报警" << "高于上限:40.00";
        QTest::newRow("high replaces low") << true << "50" << true << "40" << 45.0 << "上限报警"
                                           << "高于上限:45.00";
        QTest::newRow("text limit is no limit") << true << "abc" << false << "" << -0.5 << "" << "";
        QTest::newRow("empty high limit is no limit") << false << "" << true << " " << 1e6 << "" << "";
        QTest::newRow("text low, number high") << true << "low" << true << "40" << 41.0 << "上限报警"
                                               << "高于上限:41.00";
    }
    void alarms()
    {
        QFETCH(bool, lowOn);
        QFETCH(QString, low);
        QFETCH(bool, highOn);
        QFETCH(QString, high);
        QFETCH(double, value);
        QFETCH(QString, type);
        QFETCH(QString, detail);
        ChosenChannel e;
        e.LowState = lowOn;
        e.Low = low;
        e.HightState = highOn;
        e.Hight = high;
        const auto r = checkAlarm(AlarmLimits::fromChannel(e), value);
        QCOMPARE(r.type, type);
        QCOMPARE(r.detail, detail);
        QCOMPARE(r.raised(), !type.isEmpty());
    }

    void alarmMessageText()
    {
        Tool::Struct_AcquisitionDevice d;
        d.Number = 1;
        d.SerialNumber = QStringLiteral("SN42");
        QCOMPARE(alarmMessage(d, QStringLiteral("1-CH101"), QStringLiteral("低于下限:12.50")),
                 QStringLiteral("设备1-SN42 通道1-CH101低于下限:12.50"));
    }

    void statisticsOfOneScan()
    {
        GroupStatistics g[2];
        statistics({10, 20, 30}, {true, true, true}, 1, g);
        QCOMPARE(g[0].max, 30.0);
        QCOMPARE(g[0].maxPos, 2);
        QCOMPARE(g[0].min, 10.0);
        QCOMPARE(g[0].minPos, 0);
        QCOMPARE(g[0].average, 20.0);
        QCOMPARE(QString::number(g[0].deviation, 'f', 2), QStringLiteral("8.16"));
        QVERIFY(qFuzzyCompare(g[0].deviation, std::sqrt(200.0 / 3.0)));

        // Two groups; one channel alone in its group has no spread.
        statistics({1, 7, 3, 3}, {false, true, true, true}, 2, g);
        QCOMPARE(g[0].maxPos, 1);
        QCOMPARE(g[0].minPos, 2); // equal minima: the earlier channel
        QCOMPARE(g[1].max, 1.0);
        QCOMPARE(g[1].min, 1.0);
        QCOMPARE(g[1].average, 1.0);
        QCOMPARE(g[1].deviation, 0.0);
        QCOMPARE(g[1].maxPos, 0);
        QCOMPARE(g[1].minPos, 0);
    }

    void liveModel()
    {
        LiveTableModel model;
        model.setColumns({"1-CH101(℃)", "1-CH102(℃)"}, 3);
        QCOMPARE(model.columnCount(), 3);
        QCOMPARE(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("采集时间"));
        QCOMPARE(model.headerData(2, Qt::Horizontal).toString(), QStringLiteral("1-CH102(℃)"));
        const QDateTime t(QDate(2026, 3, 4), QTime(5, 6, 7, 89));
        model.appendScan(t.toMSecsSinceEpoch(), {1.23456, -2}, {Maximum, LowAlarm});
        QCOMPARE(model.rowCount(), 1);
        QCOMPARE(model.data(model.index(0, 0)).toString(), QStringLiteral("2026-03-04 05:06:07.089"));
        QCOMPARE(model.data(model.index(0, 1)).toString(), QStringLiteral("1.235"));
        QCOMPARE(model.data(model.index(0, 2)).toString(), QStringLiteral("-2.000"));
        QCOMPARE(model.data(model.index(0, 1), Qt::ForegroundRole).value<QBrush>().color(),
                 QColor(255, 0, 0));
        QCOMPARE(model.data(model.index(0, 2), Qt::ForegroundRole).value<QBrush>().color(),
                 QColor(255, 255, 0));
        QCOMPARE(model.data(model.index(0, 1), Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
        QVERIFY(!model.data(model.index(1, 1)).isValid());
        // Channel 1 was calibrated over 0 … 1 ℃: 1.23456 is outside, channel 2 has no range.
        model.setValidRanges({{0.0, 1.0}, {std::nan(""), std::nan("")}});
        QVERIFY(model.data(model.index(0, 1), Qt::FontRole).value<QFont>().italic());
        QVERIFY(model.data(model.index(0, 1), Qt::ToolTipRole).toString().contains("0.00 ℃ ～ 1.00 ℃"));
        QVERIFY(!model.data(model.index(0, 2), Qt::FontRole).isValid());
    }

    void statisticsModel()
    {
        QCOMPARE(StatisticsTableModel::headers({"℃"}).size(), 10);
        const QStringList two = StatisticsTableModel::headers({"℃", "mV"});
        QCOMPARE(two.size(), 19);
        QCOMPARE(two[1], QStringLiteral("最大值(℃)"));
        QCOMPARE(two[9], QStringLiteral("标准差(℃)"));
        QCOMPARE(two[10], QStringLiteral("最大值(mV)"));

        StatisticsTableModel model;
        model.setLayout({"1-CH101", "1-CH102", "1-CH103"}, {"℃"}, 2);
        GroupStatistics g[2];
        statistics({10, 20, 30}, {true, true, true}, 1, g);
        model.appendScan(0, g);
        QStringList row;
        for (int c = 1; c < model.columnCount(); ++c)
            row << model.data(model.index(0, c)).toString();
        QCOMPARE(row, (QStringList{"30.00", "1-CH103", "10.00", "1-CH101", "20.00", "20.00", "10.00",
                                   "10.00", "8.16"}));
    }
};

QTEST_MAIN(TestAcquisitionLogic)
#include "tst_acquisition_logic.moc"
