// The calibration page without instruments: what Start refuses and why,
// the settings that carry a run across a restart, and the page's guards.
#include "CalibrationBench.h"
#include "CalibrationResultDialog.h"
#include "LabRecords.h"
#include "LabRecordsDialog.h"
#include "ChannelBatch.h"
#include "ChannelCalibration.h"
#include "ChannelSet.h"
#include "MessageBox.h"
#include "ModalRun.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <functional>
#include <memory>

namespace {
template <class T>
T* child(QWidget* page, const QString& name)
{
    T* w = page->findChild<T*>(name);
    if (!w)
        qFatal("no widget %s", qPrintable(name));
    return w;
}

// Accepts the channel dialog with every enabled box checked, and the batch dialog.
int acceptAll(QDialog* dialog)
{
    if (auto* set = qobject_cast<ChannelSet*>(dialog)) {
        for (QCheckBox* box : set->checkBoxes())
            box->setChecked(box->isEnabled());
        set->OK_Clicked();
        return set->result();
    }
    return QDialog::Accepted;
}
} // namespace

class TestCalibrationPage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void startRefusals_data();
    void startRefusals();
    void settingsCarryTheRunAcrossARestart();
    void guards();
    void driversStayWhileAWorkerRuns();
    void overdueReferenceIsRefused();
    void recordsAreCheckedBeforeSaving();

private:
    std::unique_ptr<TestWorkDir> m_Dir;
    SystemContext m_Context;
};

void TestCalibrationPage::init()
{
    m_Dir.reset(new TestWorkDir);
    QVERIFY(TestSupport::openDatabase());
    using namespace CalibrationBench;
    QVERIFY(Tool::addChannelConfig(config("TC-A", "3107A-TC", {"热电偶", "热电偶"}, {"K", "T"})));
    QVERIFY(Tool::addChannelConfig(config("TC-B", "3107A-TC", {"热电偶", "热电偶"}, {"K", "K"})));
    QVERIFY(Tool::addChannelConfig(config("V-C", "3107A-TC", {"电压", "电压"}, {"100mV", "1V"}, "mV")));
    m_Context.ConnectedDevices = {device(1, "3107A-TC", "TC-A"), device(2, "3107A-TC", "TC-B"),
                                  device(3, "3107A-TC", "V-C"), device(4, "3107A-TC", "TC-A")};
    MessageBox::setTestMode(true);
    ModalRun::setRunner(acceptAll);
}

void TestCalibrationPage::cleanup()
{
    ModalRun::setRunner({});
    TestSupport::closeDatabase();
    m_Dir.reset();
}

void TestCalibrationPage::startRefusals_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("criteria");
    QTest::addColumn<QList<int>>("selection"); // device selector indices; -1 unchecked
    QTest::addColumn<QStringList>("temps");
    QTest::addColumn<QString>("max");
    QTest::addColumn<QString>("message");

    QTest::newRow("same device twice") << "干式炉-R" << "干式炉-R" << QList<int>{0, 1, 1} << QStringList{"50", "100"}
                                       << "8" << "采集设备不能相同!";
    QTest::newRow("same device, third unchecked")
        << "干式炉-R" << "干式炉-R" << QList<int>{0, 1, -1} << QStringList{"50"} << "8"
        << "热电偶校准至少需要2个不同温度的拟合点，多于2个时按最小二乘拟合；核查点不参与拟合。\n温度点数不符合该类型的拟合要求";
    // Both devices would write channels 101 and 102 of one configuration.
    QTest::newRow("one configuration, same channels on two devices")
        << "干式炉-R" << "干式炉-R" << QList<int>{0, 3, -1} << QStringList{"50", "100"} << "8"
        << "采集设备1和采集设备2使用同一通道配置“TC-A”，且都选择了通道101,102，同一通道不能同时校准两次!";
    QTest::newRow("automatic with a manual reference") << "干式炉" << "手动" << QList<int>{0, -1, -1}
                                                       << QStringList{"50", "100"} << "8"
                                                       << "自动模式下标准探头不允许手动!";
    // Nothing can be picked on a voltage-only device: the channel dialog says so.
    QTest::newRow("no calibratable channel") << "干式炉-R" << "干式炉-R" << QList<int>{2, -1, -1}
                                             << QStringList{"50", "100"} << "8" << "请先选择需要校准的通道！";
    QTest::newRow("batch size missing") << "干式炉-R" << "干式炉-R" << QList<int>{0, -1, -1}
                                        << QStringList{"50", "100"} << "" << "最大分批数不能小于0!";
    QTest::newRow("points end at the first empty field")
        << "干式炉-R" << "干式炉-R" << QList<int>{0, -1, -1} << QStringList{"50", "", "100"} << "8"
        << "热电偶校准至少需要2个不同温度的拟合点，多于2个时按最小二乘拟合；核查点不参与拟合。\n温度点数不符合该类型的拟合要求";
}

void TestCalibrationPage::startRefusals()
{
    QFETCH(QString, field);
    QFETCH(QString, criteria);
    QFETCH(QList<int>, selection);
    QFETCH(QStringList, temps);
    QFETCH(QString, max);
    QFETCH(QString, message);

    ChannelCalibration page;
    page.setContext(&m_Context);
    child<QComboBox>(&page, "comboBox_Field")->setCurrentText(field);
    child<QComboBox>(&page, "comboBox_Criteria")->setCurrentText(criteria);
    for (int i = 0; i < 3; ++i) {
        if (i > 0)
            child<QCheckBox>(&page, QStringLiteral("checkBox_Collection%1").arg(i + 1))->setChecked(selection.at(i) >= 0);
        if (selection.at(i) >= 0)
            child<QComboBox>(&page, QStringLiteral("comboBox_Collection%1").arg(i + 1))->setCurrentIndex(selection.at(i));
    }
    for (int i = 0; i < 9; ++i)
        child<QLineEdit>(&page, QStringLiteral("lineEdit_Temp%1").arg(i + 1))->setText(temps.value(i));
    child<QLineEdit>(&page, "lineEdit_Max")->setText(max);
    child<QLineEdit>(&page, "lineEdit_Delay")->setText("1");

    MessageBox::clear();
    child<QPushButton>(&page, "pushButton_Open")->click();
    QCOMPARE(MessageBox::last().text, message);
    QCOMPARE(MessageBox::last().title, QStringLiteral("提示"));
    QVERIFY(page.IsIdle());
    QCOMPARE(page.activeWorkers(), 0);
    QCOMPARE(child<QPushButton>(&page, "pushButton_Open")->text(), QStringLiteral("开始"));
}

void TestCalibrationPage::settingsCarryTheRunAcrossARestart()
{
    {
        ChannelCalibration page;
        page.setContext(&m_Context);
        child<QCheckBox>(&page, "checkBox_Collection2")->setChecked(true);
        child<QComboBox>(&page, "comboBox_Collection2")->setCurrentIndex(1);
        child<QComboBox>(&page, "comboBox_Field")->setCurrentText("干式炉-R");
        child<QLineEdit>(&page, "lineEdit_Temp1")->setText("50");
        child<QLineEdit>(&page, "lineEdit_Temp2")->setText("-20.5");
        child<QCheckBox>(&page, "checkBox_Temp1")->setChecked(true);
        child<QLineEdit>(&page, "lineEdit_Delay")->setText("5");
        child<QLineEdit>(&page, "lineEdit_Max")->setText("4");
        // A measured point, as the worker leaves it.
        page.session().storePoint(0, "50.0012,50.0030", {"49.91,49.95", "50.02"});
        page.session().ChannelMode = "热电偶";
    }
    // The run's own keys are written by the page as it goes; the point above
    // was stored without them, so write the run keys the way a run does.
    QVERIFY(Tool::modifyChannelCalibration("ChannelNumber1", QString("101,102")));
    QVERIFY(Tool::modifyChannelCalibration("ChannelNumber2", QString("101")));
    QVERIFY(Tool::modifyChannelCalibration("ChannelMode", QString("热电偶")));

    ChannelCalibration page;
    page.setContext(&m_Context);
    QCOMPARE(child<QComboBox>(&page, "comboBox_Collection2")->currentIndex(), 1);
    QVERIFY(child<QComboBox>(&page, "comboBox_Collection2")->isEnabled());
    QVERIFY(!child<QComboBox>(&page, "comboBox_Collection3")->isEnabled());
    QCOMPARE(child<QComboBox>(&page, "comboBox_Field")->currentText(), QStringLiteral("干式炉-R"));
    QCOMPARE(child<QComboBox>(&page, "comboBox_Criteria")->itemText(0), QStringLiteral("干式炉-R"));
    QCOMPARE(child<QLineEdit>(&page, "lineEdit_Temp2")->text(), QStringLiteral("-20.5"));
    QVERIFY(child<QCheckBox>(&page, "checkBox_Temp1")->isChecked());
    QCOMPARE(child<QLineEdit>(&page, "lineEdit_Delay")->text(), QStringLiteral("5"));
    QCOMPARE(child<QLineEdit>(&page, "lineEdit_Max")->text(), QStringLiteral("4"));
    QCOMPARE(page.session().storedPoints(), 1);
    QCOMPARE(child<QPushButton>(&page, "pushButton_Open")->text(), QStringLiteral("继续"));
    QCOMPARE(page.channelLabels(), QStringList({"1_101", "1_102", "2_101"}));
    const QString log = child<QPlainTextEdit>(&page, "plainTextEdit_Data")->toPlainText();
    QVERIFY2(log.contains("温度点1\n批次1标准：50.0012\n1_1_101:49.91\n1_1_102:49.95\n\n批次2标准：50.0030\n2_2_101:50.02"),
             qPrintable(log));
}

void TestCalibrationPage::guards()
{
    ChannelCalibration page;
    page.setContext(&m_Context);
    // For the documentation's screenshots: ARQ_SCREENSHOT_DIR=… ctest -R tst_calibrationpage
    if (qEnvironmentVariableIsSet("ARQ_SCREENSHOT_DIR")) {
        page.resize(1100, 560);
        QVERIFY(page.grab().save(qEnvironmentVariable("ARQ_SCREENSHOT_DIR") + "/calibration.png"));
        // The result of a three-point thermocouple run, its check point beyond a 50 mK limit.
        CalibrationRun run;
        run.ChannelMode = "热电偶";
        run.Labels = QStringList{"1_101", "1_102"};
        Device::Channel a, b;
        a.ChannelNumber = "101";
        b.ChannelNumber = "102";
        run.Channels = {{a, b}, {}, {}};
        run.CalibrationCriteria = QStringList{"100.0012", "300.0031", "200.0020"};
        run.CalibrationData[0] = QStringList{"99.6021,100.2204"};
        run.CalibrationData[1] = QStringList{"299.3130,300.4011"};
        run.CalibrationData[2] = QStringList{"199.3873,200.3302"};
        CalibrationResultDialog dialog(CalibrationSave::evaluate(run), run.ChannelMode, 50);
        dialog.show();
        QVERIFY(dialog.grab().save(qEnvironmentVariable("ARQ_SCREENSHOT_DIR") + "/calibration-result.png"));
    }
    MessageBox::clear();
    child<QPushButton>(&page, "pushButton_Close")->click();
    QCOMPARE(MessageBox::last().text, QStringLiteral("请先开始校准!"));

    // One-digit delays and batch sizes are accepted; zero and letters are not.
    QLineEdit* delay = child<QLineEdit>(&page, "lineEdit_Delay");
    int pos = 0;
    for (const QString& ok : QStringList{"1", "8", "45", "120"}) {
        QString text = ok;
        QCOMPARE(delay->validator()->validate(text, pos), QValidator::Acceptable);
    }
    for (const QString& bad : QStringList{"0", "05", "x", "-3"}) {
        QString text = bad;
        QVERIFY(delay->validator()->validate(text, pos) != QValidator::Acceptable);
    }

    // The Bluetooth button follows the reference; manual sources lock the points.
    auto* field = child<QComboBox>(&page, "comboBox_Field");
    field->setCurrentText("手动");
    QVERIFY(!child<QLineEdit>(&page, "lineEdit_Temp1")->isEnabled());
    QVERIFY(!child<QPushButton>(&page, "pushButton_Field")->isEnabled());
    field->setCurrentText("油槽");
    QVERIFY(child<QLineEdit>(&page, "lineEdit_Temp1")->isEnabled());
    QVERIFY(!child<QCheckBox>(&page, "checkBox_Temp9")->isEnabled());
    auto* criteria = child<QComboBox>(&page, "comboBox_Criteria");
    criteria->setCurrentText("手动");
    QVERIFY(!child<QPushButton>(&page, "pushButton_Criteria")->isEnabled());
}

void TestCalibrationPage::driversStayWhileAWorkerRuns()
{
    // A logger that takes the connection and never answers: the manual start
    // routine sits in its set-up for seconds.
    QTcpServer silent;
    QVERIFY(silent.listen(QHostAddress::LocalHost));
    QList<QTcpSocket*> held;
    connect(&silent, &QTcpServer::newConnection, [&] { held << silent.nextPendingConnection(); });
    m_Context.ConnectedDevices = {CalibrationBench::device(1, "3107A-TC", "TC-A", "127.0.0.1",
                                                           QString::number(silent.serverPort()))};
    ChannelCalibration page;
    page.setContext(&m_Context);
    child<QComboBox>(&page, "comboBox_Field")->setCurrentText("手动");
    child<QComboBox>(&page, "comboBox_Criteria")->setCurrentText("手动");
    child<QLineEdit>(&page, "lineEdit_Max")->setText("8");
    int dialogs = 0;
    ModalRun::setRunner([&dialogs](QDialog* dialog) {
        if (qobject_cast<ChannelSet*>(dialog) || qobject_cast<ChannelBatch*>(dialog))
            return acceptAll(dialog);
        ++dialogs;
        return int(QDialog::Rejected);
    });
    child<QPushButton>(&page, "pushButton_Open")->click();
    QVERIFY(page.activeWorkers() > 0);
    QVERIFY(!child<QComboBox>(&page, "comboBox_Criteria")->isEnabled());
    QVERIFY(!child<QPushButton>(&page, "pushButton_Options")->isEnabled());
    // Neither link dialog may run (and delete the drivers) under the worker.
    MessageBox::clear();
    page.FieldScan_Clicked();
    page.CriteriaScan_Clicked();
    QCOMPARE(dialogs, 0);
    QCOMPARE(MessageBox::shown().size(), 2);
    QCOMPARE(MessageBox::last().text, QStringLiteral("校准进行中，设备正在使用，不能更改通信设置！"));
    QVERIFY(!page.IsIdle());
    // The routine gives up on the silent logger; then the controls come back.
    QElapsedTimer t;
    t.start();
    while (page.activeWorkers() > 0 && t.elapsed() < 60000)
        QTest::qWait(50);
    QCOMPARE(page.activeWorkers(), 0);
    QTest::qWait(50);
    QVERIFY(child<QComboBox>(&page, "comboBox_Criteria")->isEnabled());
    QCOMPARE(MessageBox::last().text, QStringLiteral("设备连接失败!"));
    qDeleteAll(held);
}

void TestCalibrationPage::overdueReferenceIsRefused()
{
    // The typed reference has a record whose due date has passed.
    Tool::Struct_ReferenceStandard record;
    record.Serial = "手动";
    record.Kind = "手动";
    record.Certificate = "CAL-2025/17";
    record.DueDate = QDate::currentDate().addDays(-1);
    QVERIFY(Tool::putReferenceStandard(record));
    ChannelCalibration page;
    page.setContext(&m_Context);
    child<QComboBox>(&page, "comboBox_Field")->setCurrentText("手动");
    child<QComboBox>(&page, "comboBox_Criteria")->setCurrentText("手动");
    child<QLineEdit>(&page, "lineEdit_Max")->setText("8");
    MessageBox::clear();
    child<QPushButton>(&page, "pushButton_Open")->click();
    QCOMPARE(MessageBox::last().text, QStringLiteral("标准器 手动（证书 CAL-2025/17）已于 %1 到期，不能用于校准！")
                                          .arg(record.DueDate.toString("yyyy-MM-dd")));
    QCOMPARE(page.activeWorkers(), 0);
    QCOMPARE(child<QPushButton>(&page, "pushButton_Open")->text(), QStringLiteral("开始"));

    // In date again (a new certificate): the run starts.
    record.DueDate = QDate::currentDate();
    QVERIFY(Tool::putReferenceStandard(record));
    MessageBox::clear();
    child<QPushButton>(&page, "pushButton_Open")->click();
    QCOMPARE(MessageBox::shown().value(0).text, QStringLiteral("热电偶校准至少需要2个不同温度的拟合点，多于2个时按最小二乘拟合；核查点不参与拟合。"));
    QElapsedTimer t;
    t.start();
    while (page.activeWorkers() > 0 && t.elapsed() < 60000)
        QTest::qWait(50);
}

void TestCalibrationPage::recordsAreCheckedBeforeSaving()
{
    ChannelCalibration page;
    page.setContext(&m_Context);
    QStringList messages;
    bool saved = true;
    ModalRun::setRunner([&](QDialog* dialog) {
        auto* records = qobject_cast<LabRecordsDialog*>(dialog);
        if (!records)
            return int(QDialog::Rejected);
        records->tabs()->setCurrentIndex(0);
        records->pt_Add_clicked();
        QTableWidget* t = records->standards();
        const QStringList row{"5310A-00123", "KORVA 5310A", "CAL-26/1", "某计量院", "2026-03-01", "2027-13-01",
                              "-80:0.02;0:0.01", "2", "0.005"};
        for (int c = 0; c < row.size(); ++c)
            t->item(0, c)->setText(row.at(c));
        MessageBox::clear();
        saved = records->pt_Save_clicked(); // the due date is no date
        messages << MessageBox::last().text;
        t->item(0, 5)->setText("2027-03-01");
        records->tabs()->setCurrentIndex(2);
        records->pt_Add_clicked();
        const QStringList readout{"3107A-RTD", "铂电阻", "0.0001", "0.004", "Ω"};
        for (int c = 0; c < readout.size(); ++c)
            records->readouts()->item(0, c)->setText(readout.at(c));
        child<QLineEdit>(records, "lineEdit_LabName")->setText("温度计量实验室");
        saved = saved || !records->pt_Save_clicked();
        messages << MessageBox::last().text;
        return int(QDialog::Accepted);
    });
    child<QPushButton>(&page, "pushButton_Records")->click();
    QVERIFY(!saved);
    QCOMPARE(messages, QStringList({"标准器第1行“有效期至”无效，未保存！", "记录已保存！"}));
    Tool::Struct_ReferenceStandard r;
    bool found = false;
    QVERIFY(Tool::getReferenceStandard("5310A-00123", r, found) && found);
    QCOMPARE(r.DueDate, QDate(2027, 3, 1));
    QCOMPARE(r.DriftPerYear, 0.005);
    QList<Tool::Struct_ReadoutRecord> readouts;
    QVERIFY(Tool::getReadoutRecords(readouts) && readouts.size() == 1);
    QString lab;
    QVERIFY(Tool::getLabRecord("LabName", lab));
    QCOMPARE(lab, QStringLiteral("温度计量实验室"));
}

QTEST_MAIN(TestCalibrationPage)
#include "tst_calibrationpage.moc"
