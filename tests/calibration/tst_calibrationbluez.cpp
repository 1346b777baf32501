// The reference thermometer "KORVA 5310A" as a lab PC reaches it: Qt
// Bluetooth's BlueZ backend on the system bus, here a private dbus-daemon
// with a scripted bluetoothd (tests/devices/ble/bluez_script.py). The link
// dialog's test and a whole calibration run through it; the thermometer sits
// in arq-simulator's dry block (its readings follow the block's READ?).
#include "BlePlatform.h"
#include "CalibrationBench.h"
#include "ChannelCalibration.h"
#include "ChannelScan.h"
#include "ChannelSet.h"
#include "Device.h"
#include "MessageBox.h"
#include "ModalRun.h"
#include "ScriptedBluez.h"
#include "SimulatorProcess.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <cmath>

namespace {

using CalibrationBench::child;
using CalibrationBench::waitFor;

QStringList items(QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

} // namespace

class TestCalibrationBluez : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void linkDialogTestsThroughBluez();
    void thermocoupleRunAgainstTheThermometer();

private:
    void openPage(const QList<Tool::Struct_AcquisitionDevice>& devices);

    ScriptedBluez m_Bluez;
    std::unique_ptr<TestWorkDir> m_Dir;
    SystemContext m_Context;
    std::unique_ptr<ChannelCalibration> m_Page;
    std::unique_ptr<SimulatorProcess> m_Sim;
};

void TestCalibrationBluez::initTestCase()
{
    ARQ_REQUIRE(ScriptedBluez::available(), "dbus-daemon, python3-dbus and python3-gi");
    qunsetenv("ARQ_BLE_SIMULATOR");
    qunsetenv("BLUETOOTH_FORCE_DBUS_LE_VERSION");
    QVERIFY2(m_Bluez.start(), qPrintable(m_Bluez.errors()));
    // As the program decides at start-up: the thermometer is offered where it can be reached.
    QCOMPARE(BlePlatform::instance()->name(), QStringLiteral("Qt Bluetooth"));
    const bool usable = BlePlatform::referenceUsable();
    QVERIFY(usable);
    Tool::setReferenceProbe([usable] { return usable; });
}

void TestCalibrationBluez::init()
{
    m_Dir.reset(new TestWorkDir);
    QVERIFY(TestSupport::openDatabase());
    MessageBox::setTestMode(true);
    MessageBox::clear();
    m_Sim.reset(new SimulatorProcess);
}

void TestCalibrationBluez::cleanup()
{
    m_Page.reset();
    Device::setTimeScale(1.0);
    ModalRun::setRunner({});
    m_Sim.reset();
    TestSupport::closeDatabase();
    m_Dir.reset();
}

void TestCalibrationBluez::cleanupTestCase()
{
    Tool::setReferenceProbe({});
    BlePlatform::setInstance(nullptr);
    m_Bluez.stop();
}

void TestCalibrationBluez::openPage(const QList<Tool::Struct_AcquisitionDevice>& devices)
{
    m_Context.ConnectedDevices = devices;
    m_Page.reset(new ChannelCalibration);
    m_Page->setContext(&m_Context);
    m_Page->session().TimeScale = 0.002;
}

void TestCalibrationBluez::linkDialogTestsThroughBluez()
{
    QVERIFY(m_Bluez.configure());
    QVERIFY2(m_Sim->start({"--instrument", "model=3107A-TC,tcp=127.0.0.1:0,noise=0"}, 1), qPrintable(m_Sim->errors()));
    QVERIFY(Tool::addChannelConfig(CalibrationBench::config("TC-BLUEZ", "3107A-TC", {"热电偶"}, {"K"})));
    openPage({CalibrationBench::device(1, "3107A-TC", "TC-BLUEZ", "127.0.0.1", QString::number(m_Sim->port()))});
    auto* criteria = child<QComboBox>(m_Page.get(), "comboBox_Criteria");
    QVERIFY(items(criteria).contains(QStringLiteral("KORVA 5310A")));
    criteria->setCurrentText("KORVA 5310A");

    QStringList kinds, names, results;
    QString label;
    int refused = 0;
    ModalRun::setRunner([&](QDialog* dialog) {
        auto* scan = qobject_cast<ChannelScan*>(dialog);
        if (!scan)
            return int(QDialog::Rejected);
        kinds = items(child<QComboBox>(scan, "comboBox_Communication"));
        label = child<QLabel>(scan, "label_Com")->text();
        auto* name = child<QComboBox>(scan, "comboBox_Com");
        names = items(name);
        const auto test = [&] {
            MessageBox::clear();
            child<QPushButton>(scan, "pushButton_Scan")->click();
            waitFor([] { return !MessageBox::shown().isEmpty(); }, 60000);
            results << MessageBox::last().text;
        };
        name->setCurrentText("5310A-00123");
        test();
        // Opened and closed: the stop command on the way out, the link let go.
        const QVariantMap s = m_Bluez.state();
        if (s.value("connects").toInt() != 1 || s.value("connected").toBool()
            || s.value("writes").toStringList() != QStringList{"0405010101"})
            results << QStringLiteral("script: ") + s.value("writes").toStringList().join(' ');
        // A thermometer that refuses every connection: all eleven attempts
        // fail (the driver's waits, its scan too, a tenth as long).
        m_Bluez.configure({{QStringLiteral("connect"), QStringLiteral("refuse")}});
        Device::setTimeScale(0.1);
        test();
        Device::setTimeScale(1.0);
        refused = m_Bluez.state("connects").toInt();
        child<QPushButton>(scan, "pushButton_OK")->click();
        return scan->result();
    });
    child<QPushButton>(m_Page.get(), "pushButton_Criteria")->click();
    QCOMPARE(kinds, QStringList{"蓝牙"});
    QCOMPARE(label, QStringLiteral("设备名："));
    // The dialog's search: both thermometers in range, not the foreign device.
    names.sort();
    QCOMPARE(names, (QStringList{"5310A-00123", "5310A-00456"}));
    // The test names the serial number the thermometer answered.
    QCOMPARE(results.size(), 2);
    QVERIFY2(results.at(0).startsWith(QStringLiteral("测试成功！\n序列号：")), qPrintable(results.at(0)));
    QCOMPARE(results.at(1), QStringLiteral("设备连接失败！"));
    // The script forgot its devices before the refusals: the first attempt
    // finds none, the next ones search again and are refused.
    QVERIFY2(refused >= 9 && refused <= 11, qPrintable(QString::number(refused)));
    QVERIFY(!m_Bluez.state("connected").toBool());

    m_Page->WriteConfig_slots();
    QString stored;
    QVERIFY(Tool::getChannelCalibration("CriteriaIP", stored));
    QCOMPARE(stored, QStringLiteral("5310A-00123"));
    QVERIFY(Tool::getChannelCalibration("CriteriaMode", stored));
    QCOMPARE(stored, QStringLiteral("蓝牙"));
}

void TestCalibrationBluez::thermocoupleRunAgainstTheThermometer()
{
    // Two thermocouples of known error in a dry block; the thermometer beside them.
    QVERIFY2(m_Sim->start({"--time-scale", "500", "--instrument",
                           "model=KRDB-2,tcp=127.0.0.1:0,noise=0,wobble=0,refoffset=0,temperature=60", "--instrument",
                           "model=3107A-TC,tcp=127.0.0.1:0,noise=0,in=1:101-102,sensor101=0.9975:0.61,"
                           "sensor102=1.0031:-0.27"},
                          2),
             qPrintable(m_Sim->errors()));
    const QStringList tcp = m_Sim->endpoints("tcp");
    // The thermometer drops out once, after its 12th frame: in the middle of
    // a point. The run brings it back and reads that batch again.
    QVERIFY(m_Bluez.configure({{QStringLiteral("follow"), tcp.at(0)},
                               {QStringLiteral("period_ms"), 200},
                               {QStringLiteral("drop_after_frames"), 12}}));
    QVERIFY(Tool::addChannelConfig(CalibrationBench::config("TC-BLUEZ", "3107A-TC", {"热电偶", "热电偶"}, {"K", "K"})));
    openPage({CalibrationBench::device(1, "3107A-TC", "TC-BLUEZ", "127.0.0.1", tcp.at(1).section(':', -1))});

    // The source: the dry block over the network, tested through its dialog.
    child<QComboBox>(m_Page.get(), "comboBox_Field")->setCurrentText("干式炉");
    bool tested = false;
    ModalRun::setRunner([&](QDialog* dialog) {
        auto* scan = qobject_cast<ChannelScan*>(dialog);
        child<QComboBox>(scan, "comboBox_Communication")->setCurrentText("网络");
        child<QLineEdit>(scan, "lineEdit_Com")->setText("127.0.0.1");
        child<QLineEdit>(scan, "lineEdit_BaudRate")->setText(tcp.at(0).section(':', -1));
        MessageBox::clear();
        child<QPushButton>(scan, "pushButton_Scan")->click();
        tested = waitFor([] { return !MessageBox::shown().isEmpty(); }, 30000)
                 && MessageBox::last().text.startsWith(QStringLiteral("测试成功！"));
        child<QPushButton>(scan, "pushButton_OK")->click();
        return scan->result();
    });
    child<QPushButton>(m_Page.get(), "pushButton_Field")->click();
    QVERIFY2(tested, qPrintable(MessageBox::last().text));

    // The reference: the thermometer chosen from the dialog's search.
    child<QComboBox>(m_Page.get(), "comboBox_Criteria")->setCurrentText("KORVA 5310A");
    ModalRun::setRunner([](QDialog* dialog) {
        auto* scan = qobject_cast<ChannelScan*>(dialog);
        child<QComboBox>(scan, "comboBox_Com")->setCurrentText("5310A-00123");
        child<QPushButton>(scan, "pushButton_OK")->click();
        return scan->result();
    });
    child<QPushButton>(m_Page.get(), "pushButton_Criteria")->click();

    for (int i = 0; i < 9; ++i)
        child<QLineEdit>(m_Page.get(), QStringLiteral("lineEdit_Temp%1").arg(i + 1))->setText(i == 0 ? "150" : i == 1 ? "450" : "");
    child<QLineEdit>(m_Page.get(), "lineEdit_Delay")->setText("1");
    child<QLineEdit>(m_Page.get(), "lineEdit_Max")->setText("8");
    ModalRun::setRunner([](QDialog* dialog) {
        if (auto* set = qobject_cast<ChannelSet*>(dialog)) {
            child<QComboBox>(set, "comboBox_Mode")->setCurrentText("热电偶");
            for (QCheckBox* box : set->checkBoxes())
                box->setChecked(box->isEnabled());
            set->OK_Clicked();
            return set->result();
        }
        return int(QDialog::Accepted);
    });
    MessageBox::clear();
    Device::setTimeScale(0.2); // the drivers' own waits (the thermometer's reconnection among them)
    child<QPushButton>(m_Page.get(), "pushButton_Open")->click();
    QVERIFY(waitFor([this] { return m_Page->IsIdle(); }, 240000));
    QTest::qWait(200);
    QVERIFY(waitFor([this] { return m_Page->IsIdle(); }, 60000));

    QCOMPARE(MessageBox::last().text, QStringLiteral("校准结束退出!"));
    const QString log = child<QPlainTextEdit>(m_Page.get(), "plainTextEdit_Data")->toPlainText();
    QVERIFY2(log.contains("标准器连接成功！") && log.contains("温度标准断开连接。"), qPrintable(log));
    QVERIFY2(log.contains("校准数据保存成功！"), qPrintable(log));
    QVERIFY2(log.contains("标准器连接中断后已重新连接，本批次重新采样。"), qPrintable(log));
    // The thermometer was started and stopped over GATT and left disconnected.
    const QVariantMap s = m_Bluez.state();
    const QStringList writes = s.value("writes").toStringList();
    QVERIFY2(writes.contains("0405020003") && writes.last() == "0405010101", qPrintable(writes.join(' ')));
    QVERIFY(s.value("frames").toInt() > 12);
    QCOMPARE(s.value("connects").toInt(), 2);
    QVERIFY(m_Bluez.waitFor([](const QVariantMap& st) { return !st.value("connected").toBool(); }, 3000));

    // The coefficients give the sensors' errors back: the reference is what
    // the thermometer's frames carried (single-precision floats).
    QList<Tool::Struct_ChannelConfig> list;
    Tool::getChannelConfig(list, "TC-BLUEZ");
    const Tool::Struct_ChannelConfig config = list.value(0);
    const double expected[2][2] = {{0.9975, 0.61}, {1.0031, -0.27}};
    for (int i = 0; i < 2; ++i) {
        const double m = config.MX_B_M.value(i).toDouble();
        const double b = config.MX_B_B.value(i).toDouble();
        QVERIFY2(std::fabs(m - expected[i][0]) < 3e-5 && std::fabs(b - expected[i][1]) < 1e-2,
                 qPrintable(QStringLiteral("channel %1: M %2 B %3").arg(101 + i).arg(m).arg(b)));
    }
}

QTEST_MAIN(TestCalibrationBluez)
#include "tst_calibrationbluez.moc"
