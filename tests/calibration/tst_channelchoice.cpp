// Channel and batch choice of a calibration run: the rules, then the two
// dialogs driven as a user would.
#include "ChannelBatch.h"
#include "ChannelChoice.h"
#include "ChannelSet.h"
#include "MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

namespace {
Device::Channel channel(const QString& number, const QString& type, const QString& function)
{
    Device::Channel ch;
    ch.ChannelNumber = number;
    ch.Type = type;
    ch.Function = function;
    return ch;
}

QList<bool> enabledRows(const ChannelSet& dialog)
{
    QList<bool> out;
    for (QCheckBox* box : dialog.checkBoxes())
        out << box->isEnabled();
    return out;
}
} // namespace

class TestChannelChoice : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        MessageBox::setTestMode(true);
        MessageBox::clear();
    }
    void kinds_data();
    void kinds();
    void batches_data();
    void batches();
    void channelSetDialog();
    void batchDialog();
};

void TestChannelChoice::kinds_data()
{
    QTest::addColumn<QStringList>("types");
    QTest::addColumn<QStringList>("offered");
    QTest::newRow("tc and pt") << QStringList{"热电偶", "铂电阻", "热电偶"} << QStringList{"铂电阻", "热电偶"};
    QTest::newRow("all three") << QStringList{"热电偶", "热敏电阻", "铂电阻"}
                               << QStringList{"铂电阻", "热敏电阻", "热电偶"};
    QTest::newRow("none supported") << QStringList{"电压", "电流"} << QStringList{"空"};
    QTest::newRow("no channels") << QStringList{} << QStringList{"空"};
}

void TestChannelChoice::kinds()
{
    QFETCH(QStringList, types);
    QFETCH(QStringList, offered);
    QCOMPARE(ChannelChoice::kindsOffered(types), offered);

    // The curve rule, whatever the list.
    QVERIFY(ChannelChoice::selectable("铂电阻", "铂电阻", "ITS90"));
    QVERIFY(!ChannelChoice::selectable("铂电阻", "铂电阻", "PT385"));
    QVERIFY(ChannelChoice::selectable("热敏电阻", "热敏电阻", "R(T)"));
    QVERIFY(!ChannelChoice::selectable("热敏电阻", "热敏电阻", "YSI400"));
    QVERIFY(ChannelChoice::selectable("热电偶", "热电偶", "K"));
    QVERIFY(ChannelChoice::selectable("热电偶", "热电偶", "S"));
    QVERIFY(!ChannelChoice::selectable("热电偶", "铂电阻", "ITS90"));
}

void TestChannelChoice::batches_data()
{
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<QList<int>>("batchOfRow");
    QTest::addColumn<int>("count");
    QTest::newRow("5 by 2") << 5 << 2 << QList<int>{1, 1, 2, 2, 3} << 3;
    QTest::newRow("5 by 10") << 5 << 10 << QList<int>{1, 1, 1, 1, 1} << 1;
    QTest::newRow("exact fill") << 4 << 2 << QList<int>{1, 1, 2, 2} << 2;
    QTest::newRow("no rows") << 0 << 8 << QList<int>{} << 1;
    QTest::newRow("limit 0 is one per batch") << 3 << 0 << QList<int>{1, 2, 3} << 3;
}

void TestChannelChoice::batches()
{
    QFETCH(int, rows);
    QFETCH(int, maximum);
    QFETCH(QList<int>, batchOfRow);
    QFETCH(int, count);
    QList<int> got;
    for (int i = 0; i < rows; ++i)
        got << ChannelChoice::batchOf(i, maximum);
    QCOMPARE(got, batchOfRow);
    QCOMPARE(ChannelChoice::batchCount(rows, maximum), count);
}

void TestChannelChoice::channelSetDialog()
{
    Tool::Struct_AcquisitionDevice d1, d3;
    d1.ChannelConfig = "BenchA";
    d3.ChannelConfig = "BenchC";
    const QList<Device::Channel> first{channel("101", "热电偶", "K"), channel("102", "铂电阻", "PT385"),
                                       channel("103", "铂电阻", "ITS90")};
    const QList<Device::Channel> third{channel("201", "热电偶", "T"), channel("202", "热敏电阻", "R(T)")};

    ChannelSet dialog;
    dialog.setData({true, false, true}, {d1, Tool::Struct_AcquisitionDevice(), d3}, {first, {}, third});
    auto* mode = dialog.findChild<QComboBox*>("comboBox_Mode");
    auto* table = dialog.findChild<QTableWidget*>("tableWidget_List");
    auto* all = dialog.findChild<QPushButton*>("pushButton_All");
    auto* ok = dialog.findChild<QPushButton*>("pushButton_OK");
    QVERIFY(mode && table && all && ok);

    QCOMPARE(dialog.rowCounts(), QList<int>({3, 0, 2}));
    QCOMPARE(table->rowCount(), 5);
    QCOMPARE(table->item(3, 1)->text(), QStringLiteral("BenchC"));
    QCOMPARE(mode->count(), 3);
    QCOMPARE(mode->currentText(), QStringLiteral("铂电阻"));
    QCOMPARE(enabledRows(dialog), QList<bool>({false, false, true, false, false}));

    // Nothing checked: the dialog says so and stays open.
    dialog.show();
    ok->click();
    QCOMPARE(MessageBox::last().text, QStringLiteral("请先选择需要校准的通道！"));
    QCOMPARE(MessageBox::last().title, QStringLiteral("提示"));
    QVERIFY(dialog.isVisible());

    mode->setCurrentText("热敏电阻");
    QCOMPARE(enabledRows(dialog), QList<bool>({false, false, false, false, true}));

    mode->setCurrentText("热电偶");
    QCOMPARE(enabledRows(dialog), QList<bool>({true, false, false, true, false}));
    all->click(); // checks only the enabled rows
    QCOMPARE(all->text(), QStringLiteral("取消全选"));
    QList<bool> checked;
    for (QCheckBox* box : dialog.checkBoxes())
        checked << box->isChecked();
    QCOMPARE(checked, QList<bool>({true, false, false, true, false}));
    all->click();
    QCOMPARE(all->text(), QStringLiteral("全选"));
    for (QCheckBox* box : dialog.checkBoxes())
        QVERIFY(!box->isChecked());

    // A kind change clears what was picked before.
    dialog.checkBoxes().at(0)->setChecked(true);
    mode->setCurrentText("铂电阻");
    mode->setCurrentText("热电偶");
    QVERIFY(!dialog.checkBoxes().at(0)->isChecked());

    dialog.checkBoxes().at(3)->setChecked(true);
    ok->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(dialog.channelMode(), QStringLiteral("热电偶"));
    QCOMPARE(dialog.channelNumbers(), QList<QStringList>({{}, {}, {"201"}}));
}

void TestChannelChoice::batchDialog()
{
    ChannelBatch dialog;
    dialog.setData(2, {"BenchA", "", "BenchC"}, {{"101", "102", "103"}, {}, {"201", "202"}});
    auto* table = dialog.findChild<QTableWidget*>("tableWidget_List");
    QVERIFY(table);
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r)
        rows << table->item(r, 0)->text() + "/" + table->item(r, 1)->text() + "/" + table->item(r, 2)->text();
    QCOMPARE(rows, QStringList({"BenchA/1/101", "BenchA/1/102", "BenchA/2/103", "BenchC/2/201", "BenchC/3/202"}));
    QCOMPARE(dialog.batchCount(), 3);

    dialog.setData(10, {"BenchA"}, {{"101", "102"}});
    QCOMPARE(dialog.batchCount(), 1);
    dialog.show();
    dialog.findChild<QPushButton*>("pushButton_Quit")->click();
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
}

QTEST_MAIN(TestChannelChoice)
#include "tst_channelchoice.moc"
