// The source/reference link dialog: link kinds per device kind, the record
// it writes, and link tests against scripted instruments.
#include "BlePlatform.h"
#include "ChannelScan.h"
#include "Device.h"
#include "FakeBlePlatform.h"
#include "MessageBox.h"

#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {
// Waits (with the event loop turning) until the dialog shows a message.
bool waitForMessage(int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (MessageBox::shown().isEmpty() && t.elapsed() < timeoutMs)
        QTest::qWait(20);
    return !MessageBox::shown().isEmpty();
}

QStringList items(QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}
} // namespace

class TestChannelScan : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        MessageBox::setTestMode(true);
        MessageBox::clear();
    }
    void linkKinds_data();
    void linkKinds();
    void okStoresTypedLinkWithoutTest();
    void dryBlockTestOverTcp();
    void thermometerWithoutAdapter();
    void thermometerTestShowsAttemptsAndCancels();
};

void TestChannelScan::linkKinds_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("links");
    QTest::newRow("bath") << "油槽" << QStringList{"串口"};
    QTest::newRow("bath R") << "油槽-R" << QStringList{"串口"};
    QTest::newRow("dry block") << "干式炉" << QStringList{"串口", "网络"};
    QTest::newRow("dry block R") << "干式炉-R" << QStringList{"串口", "网络"};
    QTest::newRow("manual") << "手动" << QStringList{"手动"};
    QTest::newRow("unknown") << "anything" << QStringList{"手动"};
}

void TestChannelScan::linkKinds()
{
    QFETCH(QString, kind);
    QFETCH(QStringList, links);
    SourceLinks::Record record{kind, QString(), QString(), QString()};
    ChannelScan dialog;
    dialog.setRecord(&record);
    auto* mode = dialog.findChild<QComboBox*>("comboBox_Communication");
    QCOMPARE(items(mode), links);
    if (links == QStringList{"手动"}) {
        QVERIFY(!dialog.driver());
        dialog.findChild<QPushButton*>("pushButton_Scan")->click();
        QCOMPARE(MessageBox::last().text, QStringLiteral("当前模式无需测试！"));
        QCOMPARE(MessageBox::last().title, QStringLiteral("提示"));
        QCOMPARE(record.Mode, QStringLiteral("手动"));
    } else {
        QVERIFY(dialog.driver());
    }
}

void TestChannelScan::okStoresTypedLinkWithoutTest()
{
    SourceLinks::Record record{"干式炉", "网络", "10.0.0.7", "4001"};
    ChannelScan dialog;
    dialog.setRecord(&record);
    dialog.show();
    auto* address = dialog.findChild<QLineEdit*>("lineEdit_Com");
    auto* port = dialog.findChild<QLineEdit*>("lineEdit_BaudRate");
    QCOMPARE(address->text(), QStringLiteral("10.0.0.7"));
    QCOMPARE(port->text(), QStringLiteral("4001"));
    QVERIFY(address->isVisible() && port->isVisible());
    QVERIFY(!dialog.findChild<QComboBox*>("comboBox_Com")->isVisible());
    QCOMPARE(dialog.findChild<QLabel*>("label_Com")->text(), QStringLiteral("IP地址："));

    address->setText("192.168.5.20");
    port->setText("5025");
    dialog.findChild<QPushButton*>("pushButton_OK")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(record.Address, QStringLiteral("192.168.5.20"));
    QCOMPARE(record.Port, QStringLiteral("5025"));

    // Serial: the port list and the baud rates, the record's choice selected.
    record = {"干式炉", "串口", "/dev/ttyUSB7", "19200"};
    ChannelScan serial;
    serial.setRecord(&record);
    auto* baud = serial.findChild<QComboBox*>("comboBox_BaudRate");
    QCOMPARE(items(baud), QStringList({"4800", "9600", "14400", "19200", "38400", "56000", "57600", "115200"}));
    QCOMPARE(baud->currentText(), QStringLiteral("19200"));
    QCOMPARE(serial.findChild<QComboBox*>("comboBox_Com")->currentText(), QStringLiteral("/dev/ttyUSB7"));
    QCOMPARE(serial.findChild<QLabel*>("label_Com")->text(), QStringLiteral("串口号："));
}

void TestChannelScan::dryBlockTestOverTcp()
{
    // A dry block that knows its identity only.
    QTcpServer block;
    QVERIFY(block.listen(QHostAddress::LocalHost, 0));
    bool answer = true;
    connect(&block, &QTcpServer::newConnection, this, [&] {
        QTcpSocket* s = block.nextPendingConnection();
        connect(s, &QTcpSocket::readyRead, s, [s, &answer] {
            if (s->readAll().contains("*IDN?") && answer)
                s->write("KORVA-INST,KRDB-2,7781,2.1\r\n");
        });
    });

    SourceLinks::Record record{"干式炉-R", "网络", "127.0.0.1", QString::number(block.serverPort())};
    ChannelScan dialog;
    dialog.setRecord(&record);
    dialog.show();
    auto* scan = dialog.findChild<QPushButton*>("pushButton_Scan");
    scan->click();
    QVERIFY(!scan->isEnabled());
    QVERIFY(dialog.isTesting());
    // Neither Escape nor the window's close button ends a running test.
    dialog.reject();
    dialog.close();
    QVERIFY(dialog.isVisible());
    QVERIFY(waitForMessage(10000));
    // Which instrument answered, not only that one did.
    QCOMPARE(MessageBox::last().text, QStringLiteral("测试成功！\n序列号：KORVA-INST,KRDB-2,7781,2.1"));
    QVERIFY(scan->isEnabled());
    QVERIFY(!dialog.driver()->IsOpen()); // closed after the test

    // Connected, but the block does not tell who it is: the driver's waits
    // for an answer that never comes, at a tenth.
    answer = false;
    MessageBox::clear();
    Device::setTimeScale(0.1);
    scan->click();
    QVERIFY(waitForMessage(20000));
    Device::setTimeScale(1.0);
    QCOMPARE(MessageBox::last().text, QStringLiteral("获取序列号失败！"));

    // Ports end at 65535: a larger one cannot be typed, and one stored
    // beyond it is refused before any attempt (it would wrap to another port).
    auto* port = dialog.findChild<QLineEdit*>("lineEdit_BaudRate");
    port->clear();
    QTest::keyClicks(port, "70000");
    QCOMPARE(port->text(), QStringLiteral("7000"));
    port->clear();
    QTest::keyClicks(port, "65535");
    QCOMPARE(port->text(), QStringLiteral("65535"));
    port->setText(QString::number(block.serverPort() + 65536));
    MessageBox::clear();
    scan->click();
    QVERIFY(!dialog.isTesting());
    QCOMPARE(MessageBox::last().text, QStringLiteral("连接信息错误！"));
}

void TestChannelScan::thermometerWithoutAdapter()
{
    if (BlePlatform::referenceUsable())
        QSKIP("this machine has a usable Bluetooth LE adapter");
    SourceLinks::Record record{"KORVA 5310A", "蓝牙", "5310A-00123", QString()};
    ChannelScan dialog;
    dialog.setRecord(&record);
    QCOMPARE(items(dialog.findChild<QComboBox*>("comboBox_Communication")), QStringList{"蓝牙"});
    QCOMPARE(MessageBox::last().text, QStringLiteral("蓝牙不可用，请检查蓝牙适配器！"));
    QCOMPARE(dialog.findChild<QLabel*>("label_Com")->text(), QStringLiteral("设备名："));
    // The stored name stays selectable for when the adapter is back.
    QCOMPARE(dialog.findChild<QComboBox*>("comboBox_Com")->currentText(), QStringLiteral("5310A-00123"));
}

void TestChannelScan::thermometerTestShowsAttemptsAndCancels()
{
    // A thermometer in the list that never accepts a connection: every
    // attempt waits its full time (scaled down here).
    auto fake = std::make_shared<FakeBlePlatform>();
    BleAdvertisement seen{0, "C0:53:10:00:00:01", "C0:53:10:00:00:01", "5310A-00001"};
    fake->adverts << seen;
    FakeBlePlatform::Device unreachable = FakeBlePlatform::thermometer();
    unreachable.connectable = false;
    fake->devices.insert(seen.id, unreachable);
    BlePlatform::setInstance(fake);
    Device::setTimeScale(0.02);
    struct Restore
    {
        ~Restore()
        {
            Device::setTimeScale(1.0);
            BlePlatform::setInstance(nullptr);
        }
    } restore;

    SourceLinks::Record record{"KORVA 5310A", "蓝牙", "5310A-00001", QString()};
    ChannelScan dialog;
    dialog.setRecord(&record);
    dialog.show();
    auto* names = dialog.findChild<QComboBox*>("comboBox_Com");
    auto* search = dialog.findChild<QPushButton*>("pushButton_Search");
    auto* scan = dialog.findChild<QPushButton*>("pushButton_Scan");
    auto* cancel = dialog.findChild<QPushButton*>("pushButton_Cancel");
    auto* progress = dialog.findChild<QLabel*>("label_Progress");
    QCOMPARE(items(names), QStringList{"5310A-00001"});
    QVERIFY(search->isVisible() && !cancel->isVisible() && !progress->isVisible());

    // A new search lists what is in range now and keeps the chosen name.
    fake->adverts << BleAdvertisement{0, "C0:53:10:00:00:02", "C0:53:10:00:00:02", "5310A-00002"};
    const int before = fake->discoveries.load();
    search->click();
    QCOMPARE(fake->discoveries.load(), before + 1);
    QCOMPARE(items(names), (QStringList{"5310A-00001", "5310A-00002"}));
    QCOMPARE(names->currentText(), QStringLiteral("5310A-00001"));

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^蓝牙异常")));
    scan->click();
    QVERIFY(cancel->isVisible() && cancel->isEnabled() && !search->isEnabled() && !scan->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(progress->text(), QStringLiteral("正在连接：第 1 次，共 11 次"), 3000);
    QTRY_COMPARE_WITH_TIMEOUT(progress->text(), QStringLiteral("正在连接：第 2 次，共 11 次"), 5000);
    QVERIFY(MessageBox::shown().isEmpty());
    dialog.reject(); // still no way out but 取消
    QVERIFY(dialog.isVisible());

    QElapsedTimer t;
    t.start();
    cancel->click();
    QVERIFY(!cancel->isEnabled());
    QVERIFY(waitForMessage(3000));
    QVERIFY2(t.elapsed() < 1500, qPrintable(QString::number(t.elapsed()))); // not the remaining attempts
    QCOMPARE(MessageBox::last().text, QStringLiteral("测试已取消！"));
    QVERIFY(!dialog.isTesting());
    QVERIFY(scan->isEnabled() && search->isEnabled() && !cancel->isVisible() && !progress->isVisible());
    QCOMPARE(record.Address, QStringLiteral("5310A-00001"));
}

QTEST_MAIN(TestChannelScan)
#include "tst_channelscan.moc"
