// The set-up and channel-choice dialogs, the live result tab and the live
// statistics tab, offscreen, with messages read through the MessageBox seam.

#include "MessageBox.h"
#include "ParametersChannel.h"
#include "ParametersChart.h"
#include "ParametersMode.h"
#include "ParametersStatistics.h"
#include "RecordingChart.h"
#include "ScanTableModels.h"
#include "SystemContext.h"
#include "TestSupport.h"
#include "Tool.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QHeaderView>
#include <QScreen>
#include <QScrollBar>
#include <QtTest>

#include <limits>

#include <memory>

#if __has_include("ChartView.h")
#include "ChartView.h"
#define HAVE_TREND_CHART 1
#endif

namespace {

Tool::Struct_AcquisitionDevice device(int number, const QString& model, const QString& config)
{
    Tool::Struct_AcquisitionDevice d;
    d.Number = number;
    d.Mode = model;
    d.SerialNumber = QStringLiteral("SN%1").arg(number);
    d.ScanInterval = 1;
    d.ScanRate = QStringLiteral("1");
    d.ChannelConfig = config;
    d.SignalMode = QStringLiteral("TCP");
    d.IP_COM = QStringLiteral("127.0.0.1");
    d.Port_BaudRate = QStringLiteral("5025");
    return d;
}

Tool::Struct_ChannelConfig config(const QString& name, const QStringList& units)
{
    Tool::Struct_ChannelConfig c;
    c.Name = name;
    c.Time = QStringLiteral("2026-01-01 00:00:00");
    c.Mode = QStringLiteral("3107A-TC");
    c.Number = units.size();
    for (int i = 0; i < units.size(); ++i) {
        const QString n = QString::number(101 + i);
        c.ChannelNumber << n;
        c.Tag << QStringLiteral("CH") + n;
        c.Unit << units[i];
        for (QStringList* l : {&c.Type, &c.Function, &c.Wire, &c.MX_B_M, &c.MX_B_B, &c.A_C0,
                               &c.B_C1, &c.C_C2, &c.D_C3, &c.R0_C4, &c.A4_C5, &c.B4_C6})
            *l << QStringLiteral("0");
        c.LowState << false;
        c.Low << QStringLiteral("0");
        c.HightState << false;
        c.Hight << QStringLiteral("0");
    }
    c.CompensationWay = QStringLiteral("0");
    c.ColdJunctionTemp = QStringLiteral("0");
    return c;
}

ChosenChannel entry(int device, const QString& label, const QString& unit)
{
    ChosenChannel e;
    e.DeviceIndex = device;
    e.ID = QString::number(device + 1) + QStringLiteral("-101");
    e.Label = label;
    e.Unit = unit;
    return e;
}

template <typename T>
T* child(QWidget* parent, const char* name)
{
    T* w = parent->findChild<T*>(QString::fromLatin1(name));
    if (!w)
        qWarning() << "no child" << name;
    return w;
}

QString lastText()
{
    return MessageBox::last().text;
}

} // namespace

class TestAcquisitionViews : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestWorkDir> m_dir;
    std::unique_ptr<SystemContext> m_context;

private slots:
    void initTestCase()
    {
        MessageBox::setTestMode(true);
        LiveChart::setFactory([](QWidget* parent) { return new RecordingChart(parent); });
    }

    void init()
    {
        m_dir = std::make_unique<TestWorkDir>();
        QVERIFY(TestSupport::openDatabase());
        MessageBox::clear();
        m_context = std::make_unique<SystemContext>();
        QVERIFY(Tool::addChannelConfig(config(QStringLiteral("cfgA"), {"℃", "℃"})));
        QVERIFY(Tool::addChannelConfig(config(QStringLiteral("cfgB"), {"mV"})));
        for (const auto& d : {device(1, "3107A-TC", "cfgA"), device(2, "3108A", "cfgB"),
                              device(3, "1586A", "cfgB"), device(4, "1586A", "cfgA")})
            QVERIFY(Tool::addAcquisitionDevice(d));
    }

    void cleanup()
    {
        m_context.reset();
        m_dir.reset();
    }

    // --- set-up dialog ------------------------------------------------------

    void modeOffersDevicesByMode()
    {
        ParametersMode dialog;
        dialog.setContext(m_context.get()); // nothing connected since start
        auto* mode = child<QComboBox>(&dialog, "comboBox_Mode");
        auto* device1 = child<QComboBox>(&dialog, "comboBox_Device1");
        QCOMPARE(mode->currentText(), QStringLiteral("在线"));
        QCOMPARE(mode->count(), 2);
        QCOMPARE(device1->count(), 0);
        QVERIFY(!child<QLineEdit>(&dialog, "lineEdit_Name2")->isEnabled());
        QVERIFY(!child<QComboBox>(&dialog, "comboBox_Device3")->isEnabled());
        child<QLineEdit>(&dialog, "lineEdit_Name1")->setText(QStringLiteral("P1"));
        dialog.pt_OK_clicked();
        QCOMPARE(lastText(), QStringLiteral("未选择采集设备！"));
        QCOMPARE(MessageBox::last().title, QStringLiteral("警告"));

        mode->setCurrentText(QStringLiteral("导入"));
        QCOMPARE(device1->count(), 4);
        QCOMPARE(device1->itemText(1), QStringLiteral("2_3108A"));
        QCOMPARE(child<QComboBox>(&dialog, "comboBox_Device3")->count(), 4);
    }

    void offlineModeFollowsChosenDevices()
    {
        m_context->ConnectedDevices = {device(3, "1586A", "cfgB"), device(1, "3107A-TC", "cfgA"),
                                       device(4, "1586A", "cfgA")};
        ParametersMode dialog;
        dialog.setContext(m_context.get());
        auto* mode = child<QComboBox>(&dialog, "comboBox_Mode");
        auto items = [mode] {
            QStringList out;
            for (int i = 0; i < mode->count(); ++i)
                out << mode->itemText(i);
            return out;
        };
        QCOMPARE(items(), (QStringList{"在线", "导入", "脱机"})); // device 1 is a 1586A
        child<QComboBox>(&dialog, "comboBox_Device")->setCurrentText(QStringLiteral("2"));
        child<QComboBox>(&dialog, "comboBox_Device2")->setCurrentIndex(1); // the 3107A
        QCOMPARE(items(), (QStringList{"在线", "导入"}));
        child<QComboBox>(&dialog, "comboBox_Device2")->setCurrentIndex(2); // second 1586A
        QCOMPARE(items(), (QStringList{"在线", "导入", "脱机"}));
        auto* hint = child<QLabel>(&dialog, "label_OfflineHint");
        QVERIFY(hint->isHidden());
        mode->setCurrentText(QStringLiteral("脱机"));
        QCOMPARE(mode->currentText(), QStringLiteral("脱机"));
        // Said where the times are set: the scan must start within a second of the start.
        QVERIFY(!hint->isHidden());
        QVERIFY(hint->text().contains(QStringLiteral("前后1秒内")));

        // The current mode stays listed; acceptance refuses the unsuitable device.
        child<QComboBox>(&dialog, "comboBox_Device2")->setCurrentIndex(1);
        QCOMPARE(mode->currentText(), QStringLiteral("脱机"));
        child<QLineEdit>(&dialog, "lineEdit_Name1")->setText(QStringLiteral("P1"));
        dialog.pt_OK_clicked();
        QCOMPARE(lastText(), QStringLiteral("所选采集设备不支持脱机采集！"));
        QVERIFY(m_context->Mode.isEmpty());
    }

    void checksInOrder_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<int>("projects");
        QTest::addColumn<int>("devices");
        QTest::addColumn<QList<int>>("picks"); // combo index per device combo, -1 = leave
        QTest::addColumn<QStringList>("names");
        QTest::addColumn<int>("endOffset"); // seconds from start to end
        QTest::addColumn<QString>("message");

        const QList<int> distinct{0, 1, 2};
        QTest::newRow("import: equal times refused first")
            << "导入" << 1 << 2 << QList<int>{0, 0, -1} << QStringList{"", "", ""} << 0
            << "开始采集时间大于结束采集时间！";
        QTest::newRow("online: end before start passes the time check")
            << "在线" << 1 << 1 << distinct << QStringList{"", "", ""} << -60 << "项目信息未设置！";
        QTest::newRow("same devices") << "在线" << 1 << 2 << QList<int>{1, 1, -1}
                                      << QStringList{"", "", ""} << 0 << "采集设备不能相同！";
        QTest::newRow("third equals first") << "在线" << 1 << 3 << QList<int>{1, 2, 1}
                                            << QStringList{"P", "", ""} << 0 << "采集设备不能相同！";
        QTest::newRow("name 1 empty") << "在线" << 2 << 1 << distinct << QStringList{"", "Q", ""} << 0
                                      << "项目信息未设置！";
        QTest::newRow("name 1 exists") << "在线" << 1 << 1 << distinct << QStringList{"Old", "", ""} << 0
                                       << "项目名称已存在！";
        QTest::newRow("name 2 empty") << "在线" << 2 << 1 << distinct << QStringList{"P", "", ""} << 0
                                      << "项目信息未设置！";
        QTest::newRow("name 2 equals name 1 (before existence)")
            << "在线" << 2 << 1 << distinct << QStringList{"Old", "Old", ""} << 0 << "项目名称已存在！";
        QTest::newRow("name 2 equals name 1") << "在线" << 2 << 1 << distinct
                                              << QStringList{"P", "P", ""} << 0 << "项目名称相同！";
        QTest::newRow("name 2 exists") << "在线" << 2 << 1 << distinct << QStringList{"P", "Old", ""}
                                       << 0 << "项目名称已存在！";
        QTest::newRow("name 3 equals name 1") << "在线" << 3 << 1 << distinct
                                              << QStringList{"P", "Q", "P"} << 0 << "项目名称相同！";
        QTest::newRow("name 3 equals name 2") << "在线" << 3 << 1 << distinct
                                              << QStringList{"P", "Q", "Q"} << 0 << "项目名称相同！";
    }
    void checksInOrder()
    {
        QFETCH(QString, mode);
        QFETCH(int, projects);
        QFETCH(int, devices);
        QFETCH(QList<int>, picks);
        QFETCH(QStringList, names);
        QFETCH(int, endOffset);
        QFETCH(QString, message);

        Tool::Struct_Parameters old;
        old.Name = QStringLiteral("Old");
        QVERIFY(Tool::addParameters(old));
        m_context->ConnectedDevices = {device(1, "3107A-TC", "cfgA"), device(2, "3108A", "cfgB"),
                                       device(3, "1586A", "cfgB")};
        ParametersMode dialog;
        dialog.setContext(m_context.get());
        child<QComboBox>(&dialog, "comboBox_Mode")->setCurrentText(mode);
        child<QComboBox>(&dialog, "comboBox_Project")->setCurrentText(QString::number(projects));
        child<QComboBox>(&dialog, "comboBox_Device")->setCurrentText(QString::number(devices));
        const char* boxes[] = {"comboBox_Device1", "comboBox_Device2", "comboBox_Device3"};
        const char* edits[] = {"lineEdit_Name1", "lineEdit_Name2", "lineEdit_Name3"};
        for (int k = 0; k < 3; ++k) {
            if (picks[k] >= 0)
                child<QComboBox>(&dialog, boxes[k])->setCurrentIndex(picks[k]);
            child<QLineEdit>(&dialog, edits[k])->setText(names[k]);
        }
        const QDateTime start = QDateTime::currentDateTime();
        child<QDateTimeEdit>(&dialog, "dateTimeEdit_Start")->setDateTime(start);
        child<QDateTimeEdit>(&dialog, "dateTimeEdit_End")->setDateTime(start.addSecs(endOffset));

        dialog.pt_OK_clicked();
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(lastText(), message);
        QCOMPARE(MessageBox::last().title, QStringLiteral("警告"));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(m_context->ProjectName.isEmpty());
        QVERIFY(m_context->AcquisitionDevice.isEmpty());
    }

    void twoDevicesEmptyCombos()
    {
        ParametersMode dialog;
        dialog.setContext(m_context.get());
        child<QComboBox>(&dialog, "comboBox_Device")->setCurrentText(QStringLiteral("2"));
        dialog.pt_OK_clicked();
        QCOMPARE(lastText(), QStringLiteral("采集设备不能相同！"));
    }

    void acceptanceWritesContext()
    {
        m_context->ConnectedDevices = {device(1, "3107A-TC", "cfgA"), device(2, "3108A", "cfgB"),
                                       device(3, "1586A", "cfgB")};
        m_context->ProjectName = QStringList{"stale1", "stale2", "stale3"};
        ParametersMode dialog;
        dialog.setContext(m_context.get());
        child<QComboBox>(&dialog, "comboBox_Project")->setCurrentText(QStringLiteral("2"));
        child<QComboBox>(&dialog, "comboBox_Device")->setCurrentText(QStringLiteral("2"));
        child<QComboBox>(&dialog, "comboBox_Device1")->setCurrentIndex(2);
        child<QComboBox>(&dialog, "comboBox_Device2")->setCurrentIndex(0);
        child<QLineEdit>(&dialog, "lineEdit_Name1")->setText(QStringLiteral("Alpha"));
        child<QLineEdit>(&dialog, "lineEdit_Name2")->setText(QStringLiteral("Beta"));
        child<QLineEdit>(&dialog, "lineEdit_Name3")->setText(QStringLiteral("ignored"));
        const QDateTime start(QDate(2026, 5, 6), QTime(7, 8, 9));
        child<QDateTimeEdit>(&dialog, "dateTimeEdit_Start")->setDateTime(start);
        child<QDateTimeEdit>(&dialog, "dateTimeEdit_End")->setDateTime(start.addSecs(-3600));
        child<QCheckBox>(&dialog, "checkBox_SaveStart")->setChecked(false);

        dialog.pt_OK_clicked();
        QCOMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::last().title, QStringLiteral("提示"));
        QCOMPARE(lastText(), QStringLiteral("采集设备参数将以第一台设备为准！"));
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(m_context->Mode, QStringLiteral("在线"));
        QCOMPARE(m_context->SaveStart, false);
        QCOMPARE(m_context->StartTime, QStringLiteral("2026-05-06 07:08:09"));
        QCOMPARE(m_context->EndTime, QStringLiteral("2026-05-06 06:08:09"));
        QCOMPARE(m_context->ProjectName, (QStringList{"Alpha", "Beta"}));
        QCOMPARE(m_context->AcquisitionDevice.size(), 2);
        QCOMPARE(m_context->AcquisitionDevice[0].Number, 3);
        QCOMPARE(m_context->AcquisitionDevice[1].Number, 1);
        QCOMPARE(m_context->ChannelConfig.size(), 2);
        QCOMPARE(m_context->ChannelConfig[0].Name, QStringLiteral("cfgB"));
        QCOMPARE(m_context->ChannelConfig[1].Name, QStringLiteral("cfgA"));
    }

    void oneDeviceNoNote()
    {
        m_context->ConnectedDevices = {device(1, "3107A-TC", "cfgA")};
        ParametersMode dialog;
        dialog.setContext(m_context.get());
        child<QLineEdit>(&dialog, "lineEdit_Name1")->setText(QStringLiteral("Alpha"));
        dialog.pt_OK_clicked();
        QVERIFY(MessageBox::shown().isEmpty());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(m_context->ProjectName, QStringList{"Alpha"});
    }

    void missingConfigurationRefused()
    {
        m_context->ConnectedDevices = {device(1, "3107A-TC", "cfgA"), device(7, "3108A", "gone")};
        ParametersMode dialog;
        dialog.setContext(m_context.get());
        child<QComboBox>(&dialog, "comboBox_Device")->setCurrentText(QStringLiteral("2"));
        child<QComboBox>(&dialog, "comboBox_Device2")->setCurrentIndex(1);
        child<QLineEdit>(&dialog, "lineEdit_Name1")->setText(QStringLiteral("Alpha"));
        dialog.pt_OK_clicked();
        QCOMPARE(MessageBox::shown().size(), 1); // refused before the two-device note
        QVERIFY(lastText().contains(QStringLiteral("7_3108A")));
        QVERIFY(lastText().contains(QStringLiteral("gone")));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(m_context->AcquisitionDevice.isEmpty());
        QVERIFY(m_context->ChannelConfig.isEmpty());
    }

    void deviceWithoutConfigurationName()
    {
        // An empty name would otherwise select every configuration and take the first.
        m_context->ConnectedDevices = {device(5, "3108A", "")};
        ParametersMode dialog;
        dialog.setContext(m_context.get());
        child<QLineEdit>(&dialog, "lineEdit_Name1")->setText(QStringLiteral("Alpha"));
        dialog.pt_OK_clicked();
        QVERIFY(lastText().contains(QStringLiteral("5_3108A")));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
        QVERIFY(m_context->ChannelConfig.isEmpty());
    }

    void countsEnableFields()
    {
        ParametersMode dialog;
        dialog.setContext(m_context.get());
        auto* name2 = child<QLineEdit>(&dialog, "lineEdit_Name2");
        auto* name3 = child<QLineEdit>(&dialog, "lineEdit_Name3");
        auto* device2 = child<QComboBox>(&dialog, "comboBox_Device2");
        auto* device3 = child<QComboBox>(&dialog, "comboBox_Device3");
        child<QComboBox>(&dialog, "comboBox_Project")->setCurrentText(QStringLiteral("3"));
        QVERIFY(name2->isEnabled() && name3->isEnabled());
        child<QComboBox>(&dialog, "comboBox_Project")->setCurrentText(QStringLiteral("2"));
        QVERIFY(name2->isEnabled() && !name3->isEnabled());
        child<QComboBox>(&dialog, "comboBox_Device")->setCurrentText(QStringLiteral("3"));
        QVERIFY(device2->isEnabled() && device3->isEnabled());
        child<QComboBox>(&dialog, "comboBox_Device")->setCurrentText(QStringLiteral("1"));
        QVERIFY(!device2->isEnabled() && !device3->isEnabled());
        QCOMPARE(dialog.windowTitle(), QStringLiteral("采集参数"));
        QCOMPARE(child<QPushButton>(&dialog, "pushButton_OK")->text(), QStringLiteral("下一步"));
    }

    void databaseFailureDuringNameCheck()
    {
        m_context->ConnectedDevices = {device(1, "3107A-TC", "cfgA")};
        ParametersMode dialog;
        dialog.setContext(m_context.get());
        child<QLineEdit>(&dialog, "lineEdit_Name1")->setText(QStringLiteral("Alpha"));
        TestSupport::closeDatabase();
        dialog.pt_OK_clicked();
        QCOMPARE(lastText(), QStringLiteral("数据库连接失败！"));
    }

    // --- channel choice -----------------------------------------------------

    void channelTableAndChoice()
    {
        m_context->AcquisitionDevice = {device(1, "3107A-TC", "cfgA"), device(2, "3108A", "cfgB")};
        m_context->ChannelConfig = {config("cfgA", {"℃", "℃"}), config("cfgB", {"mV"})};
        m_context->ProjectName = QStringList{"P1", "P2"};
        ParametersChannel dialog;
        dialog.setContext(m_context.get());
        auto* table = child<QTableWidget>(&dialog, "tableWidget_List");
        QCOMPARE(table->rowCount(), 3);
        QCOMPARE(table->item(2, 0)->text(), QStringLiteral("2_3108A"));
        QCOMPARE(table->item(1, 1)->text(), QStringLiteral("102"));
        auto* combo = qobject_cast<QComboBox*>(table->cellWidget(0, 2));
        QVERIFY(combo);
        QCOMPARE(combo->count(), 2);
        QCOMPARE(combo->currentIndex(), 0);

        dialog.pt_OK_clicked();
        QCOMPARE(lastText(), QStringLiteral("项目2:未选择通道！"));
        QCOMPARE(MessageBox::last().title, QStringLiteral("警告"));
        QCOMPARE(m_context->ChannelList.size(), 3); // kept until the next press
        QCOMPARE(dialog.result(), int(QDialog::Rejected));

        dialog.setProject(2, 1);
        MessageBox::clear();
        dialog.pt_OK_clicked();
        QVERIFY(MessageBox::shown().isEmpty());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        const auto& list = m_context->ChannelList;
        QCOMPARE(list.size(), 3);
        QCOMPARE(list[2].ID, QStringLiteral("2-101"));
        QCOMPARE(list[2].Label, QStringLiteral("2-CH101"));
        QCOMPARE(list[2].ProjectIndex, 1);
        QCOMPARE(list[2].DeviceIndex, 1);
        QCOMPARE(list[1].Unit, QStringLiteral("℃"));
    }

    // The dialog is as tall as its rows (it used to show five of a 3107A's
    // 16): a short list is shown whole; a long one fills the screen's height.
    void channelDialogShowsItsRows()
    {
        const auto units = [](int n) {
            QStringList u;
            for (int i = 0; i < n; ++i)
                u << QStringLiteral("℃");
            return u;
        };
        const auto visibleRows = [](QTableWidget* table) {
            int n = 0;
            for (int r = 0; r < table->rowCount(); ++r)
                n += table->visualRect(table->model()->index(r, 0)).bottom() < table->viewport()->height();
            return n;
        };
        m_context->ProjectName = QStringList{"P1"};
        m_context->AcquisitionDevice = {device(1, "3107A-TC", "cfgA")};
        m_context->ChannelConfig = {config("cfgA", units(10))};
        {
            ParametersChannel dialog;
            dialog.setContext(m_context.get());
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            auto* table = child<QTableWidget>(&dialog, "tableWidget_List");
            QCOMPARE(visibleRows(table), 10);
        }
        m_context->AcquisitionDevice = {device(1, "3107A-TC", "cfgA"), device(2, "3107A-TC", "cfgA"),
                                        device(3, "3107A-TC", "cfgA")};
        m_context->ChannelConfig = {config("cfgA", units(16)), config("cfgA", units(16)),
                                    config("cfgA", units(16))};
        ParametersChannel dialog;
        dialog.setContext(m_context.get());
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        auto* table = child<QTableWidget>(&dialog, "tableWidget_List");
        const int screen = dialog.screen()->availableGeometry().height();
        QVERIFY2(dialog.height() <= screen, qPrintable(QString::number(dialog.height())));
        QVERIFY2(dialog.height() >= screen - 120, qPrintable(QString::number(dialog.height())));
        QVERIFY(visibleRows(table) >= 12);
        // Every column shows whole.
        QCOMPARE(table->horizontalScrollBar()->maximum(), 0);
    }

    void channelUnitsLimited()
    {
        m_context->AcquisitionDevice = {device(1, "3107A-TC", "cfgA")};
        m_context->ChannelConfig = {config("cfgA", {"℃", "mV", "V"})};
        m_context->ProjectName = QStringList{"P1"};
        ParametersChannel dialog;
        dialog.setContext(m_context.get());
        dialog.pt_OK_clicked();
        QCOMPARE(lastText(), QStringLiteral("项目1:通道单位最多为两类！"));
        QCOMPARE(dialog.result(), int(QDialog::Rejected));
    }

    // --- live result tab ----------------------------------------------------

    void chartAxesAndLegend()
    {
        ParametersChart tab;
        tab.setData(m_context.get(), {entry(0, "1-CH101", "mV"), entry(0, "1-CH102", "℃"),
                                      entry(1, "2-CH101", "mV")});
        auto* chart = RecordingChart::last();
        QVERIFY(chart);
        QCOMPARE(chart->left, QStringLiteral("℃"));
        QCOMPARE(chart->right, QStringLiteral("mV"));
        QCOMPARE(chart->axisFlags, (QList<bool>{false, true, false}));
        QCOMPARE(chart->labels[0], QStringLiteral("1-CH101(mV)"));

        auto* legend = child<QTableWidget>(&tab, "tableWidget_Chart");
        QCOMPARE(legend->rowCount(), 3);
        QCOMPARE(legend->item(1, 2)->text(), QStringLiteral("1-CH102"));
        QVERIFY(!(legend->item(1, 2)->flags() & Qt::ItemIsEnabled));
        auto* swatch = legend->cellWidget(2, 1)->findChild<QLabel*>();
        QVERIFY(swatch);
        QCOMPARE(swatch->styleSheet(), QStringLiteral("QLabel{background-color:rgb(2,4,6);}"));

        tab.pt_Chart_clicked(1, 1);
        tab.pt_Chart_clicked(1, 2);
        QVERIFY(chart->calls.isEmpty());
        tab.pt_Chart_clicked(1, 0);
        tab.pt_Chart_clicked(1, 0);
        tab.pt_Chart_clicked(2, 0);
        QCOMPARE(chart->calls, (QStringList{"hide 1", "show 1", "hide 2"}));
        QCOMPARE(tab.visibility(), (QList<bool>{true, true, false}));

        auto* data = child<QTableView>(&tab, "tableWidget_Data");
        QCOMPARE(data->model()->columnCount(), 4);
        QCOMPARE(data->model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("2-CH101(mV)"));
    }

    void trendChartBehindTheSeam()
    {
#if defined(HAVE_TREND_CHART)
        LiveChart::setFactory({});
        ParametersChart tab;
        tab.setData(m_context.get(), {entry(0, "a", "mV"), entry(0, "b", "℃")});
        auto* view = qobject_cast<ChartView*>(tab.chart()->widget());
        LiveChart::setFactory([](QWidget* parent) { return new RecordingChart(parent); });
        QVERIFY(view);
        QCOMPARE(view->seriesCount(), 2);
        QCOMPARE(view->axisFlags(), (QList<bool>{false, true}));
        const QDateTime t0(QDate(2026, 1, 2), QTime(10, 0, 0));
        tab.addData(t0, QList<double>{1, 20});
        tab.addData(t0.addSecs(20), QList<double>{2, 30});
        QCOMPARE(view->scanTimes().size(), 2);
        QCOMPARE(view->timeStart(), t0);
        QCOMPARE(view->timeEnd(), t0.addSecs(20));
        tab.pt_Chart_clicked(0, 0);
        QVERIFY(!view->isSeriesVisible(0));
        QColor colour;
        view->seriesColor(1, colour);
        auto* legend = child<QTableWidget>(&tab, "tableWidget_Chart");
        QCOMPARE(legend->cellWidget(1, 1)->findChild<QLabel*>()->styleSheet(),
                 QStringLiteral("QLabel{background-color:rgb(%1,%2,%3);}")
                     .arg(colour.red()).arg(colour.green()).arg(colour.blue()));
#else
        QSKIP("built without the trend chart");
#endif
    }

    void chartScansAndColours()
    {
        m_context->DataAccuracy = 1;
        ParametersChart tab;
        tab.setData(m_context.get(), {entry(0, "a", "℃"), entry(0, "b", "℃"), entry(0, "c", "℃")});
        auto* chart = RecordingChart::last();
        const QDateTime t0(QDate(2026, 1, 2), QTime(10, 0, 0));
        tab.addData(t0, QList<double>{5, 5, 5});
        tab.addData(t0.addSecs(1), QList<double>{1, 9, 4});
        tab.addData(t0.addSecs(2), QList<double>{1, 2}); // wrong size: dropped
        QCOMPARE(tab.rowCount(), 2);
        QCOMPARE(chart->points, 2);
        QCOMPARE(chart->rangeInits, 1);
        QCOMPARE(chart->rangeTime, t0);
        QCOMPARE(chart->lastValues, (QVector<double>{1, 9, 4}));

        auto* model = tab.model();
        QCOMPARE(model->rowCount(), 2);
        QCOMPARE(model->data(model->index(1, 2)).toString(), QStringLiteral("9.0"));
        QCOMPARE(int(model->colour(0, 0)), int(ScanAnalysis::Minimum)); // all equal: first green
        QCOMPARE(int(model->colour(0, 1)), int(ScanAnalysis::NoColour));
        QCOMPARE(int(model->colour(1, 0)), int(ScanAnalysis::Minimum));
        QCOMPARE(int(model->colour(1, 1)), int(ScanAnalysis::Maximum));
        QCOMPARE(int(model->colour(1, 2)), int(ScanAnalysis::NoColour));
    }

    void catchUpMatchesOneByOne()
    {
        ChosenChannel low = entry(0, "a", "℃");
        low.LowState = true;
        low.Low = "2";
        const QList<ChosenChannel> channels{low, entry(0, "b", "℃")};
        const QDateTime t0(QDate(2026, 1, 2), QTime(10, 0, 0));
        const QVector<QDateTime> times{t0, t0.addSecs(1), t0.addSecs(2), t0.addSecs(3)};
        const QVector<QVector<double>> scans{{1, 5}, {3, 3}, {9}, {4, 1}};

        ParametersChart batch;
        batch.setData(m_context.get(), channels);
        auto* chart = RecordingChart::last();
        batch.addScans(times, scans);
        QCOMPARE(chart->points, 3); // the short scan is dropped
        QCOMPARE(chart->rangeInits, 1);
        QCOMPARE(chart->rangeTime, t0);
        QCOMPARE(TestSupport::scalar("select count(*) from AuditLog").toInt(), 1);

        ParametersChart single;
        single.setData(m_context.get(), channels);
        for (int i = 0; i < times.size(); ++i)
            single.addData(times[i], scans[i]);
        QCOMPARE(batch.rowCount(), 3);
        QCOMPARE(single.rowCount(), 3);
        for (int r = 0; r < 3; ++r)
            for (int c = 0; c < 2; ++c) {
                QCOMPARE(batch.model()->value(r, c), single.model()->value(r, c));
                QCOMPARE(batch.model()->colour(r, c), single.model()->colour(r, c));
            }

        ParametersStatistics statistics;
        statistics.setData(2, {"a", "b"}, {"℃", "℃"});
        statistics.addScans(times, scans);
        QCOMPARE(statistics.rowCount(), 3);
        QCOMPARE(statistics.model()->statistics(2, 0).max, 4.0);
    }

    void alarmsWriteLogAndMail()
    {
        m_context->AcquisitionDevice = {device(1, "3107A-TC", "cfgA")};
        m_context->EmailAutoTrigger = true;
        m_context->EmailInterval = 600;
        m_context->EmailAddress = QStringList{"a@example.com"};
        QDateTime now(QDate(2026, 1, 2), QTime(10, 0, 0));
        struct Mail
        {
            QStringList to;
            QString subject;
            QString body;
        };
        QList<Mail> mails;

        ChosenChannel low = entry(0, "1-CH101", "℃");
        low.LowState = true;
        low.Low = "20";
        ChosenChannel both = entry(0, "1-CH102", "℃");
        both.LowState = true;
        both.Low = "50";
        both.HightState = true;
        both.Hight = "40";
        ChosenChannel quiet = entry(0, "1-CH103", "℃");

        ParametersChart tab;
        tab.setMailHooks([&now] { return now; },
                         [&mails](const QStringList& to, const QString& s, const QString& b) {
                             mails << Mail{to, s, b};
                         });
        tab.setData(m_context.get(), {low, both, quiet});

        tab.addData(now, QList<double>{12.5, 45, 30});
        QCOMPARE(TestSupport::scalar("select count(*) from AuditLog").toInt(), 2);
        QCOMPARE(TestSupport::scalar("select Details from AuditLog where Type = '下限报警'").toString(),
                 QStringLiteral("设备1-SN1 通道1-CH101低于下限:12.50"));
        QCOMPARE(TestSupport::scalar("select Details from AuditLog where Type = '上限报警'").toString(),
                 QStringLiteral("设备1-SN1 通道1-CH102高于上限:45.00"));
        QCOMPARE(mails.size(), 1); // the second alarm falls within the interval
        QCOMPARE(mails[0].to, QStringList{"a@example.com"});
        QCOMPARE(mails[0].subject, QStringLiteral("采集器报警"));
        QCOMPARE(mails[0].body, QStringLiteral("2026-01-02 10:00:00  设备1-SN1 通道1-CH101低于下限:12.50"));
        // Alarm colours, then extremes on top: 12.5 is the minimum, 45 the maximum.
        QCOMPARE(int(tab.model()->colour(0, 0)), int(ScanAnalysis::Minimum));
        QCOMPARE(int(tab.model()->colour(0, 1)), int(ScanAnalysis::Maximum));

        now = now.addSecs(300);
        tab.addData(now, QList<double>{30, 45, 60});
        QCOMPARE(TestSupport::scalar("select count(*) from AuditLog").toInt(), 3);
        QCOMPARE(mails.size(), 1);
        QCOMPARE(int(tab.model()->colour(1, 1)), int(ScanAnalysis::HighAlarm));
        now = now.addSecs(300); // exactly the interval after the first mail
        tab.addData(now, QList<double>{30, 45, 30});
        QCOMPARE(mails.size(), 2);
        QCOMPARE(mails[1].body, QStringLiteral("2026-01-02 10:10:00  设备1-SN1 通道1-CH102高于上限:45.00"));
    }

    void alarmsWithoutAutoTriggerSendNothing()
    {
        int sent = 0;
        ChosenChannel low = entry(0, "1-CH101", "℃");
        low.LowState = true;
        low.Low = "20";
        ParametersChart tab;
        tab.setMailHooks({}, [&sent](const QStringList&, const QString&, const QString&) { ++sent; });
        tab.setData(m_context.get(), {low});
        tab.addData(QDateTime::currentDateTime(), QList<double>{1});
        QCOMPARE(sent, 0);
        // The device index names no device of the acquisition: the row is still written.
        QCOMPARE(TestSupport::scalar("select Details from AuditLog").toString(),
                 QStringLiteral("设备0- 通道1-CH101低于下限:1.00"));
    }

    // --- live statistics ----------------------------------------------------

    void statisticsRows()
    {
        ParametersStatistics tab;
        tab.setData(2, {"1-CH101", "1-CH102", "1-CH103"}, {"℃", "℃", "℃"});
        auto* view = child<QTableView>(&tab, "tableWidget_Statistics");
        QVERIFY(view);
        QCOMPARE(view->model()->columnCount(), 10);
        const QDateTime t(QDate(2026, 1, 2), QTime(10, 0, 0, 5));
        tab.addData(t, QList<double>{10, 20, 30});
        tab.addData(t, QList<double>{10}); // wrong size: dropped
        QCOMPARE(tab.rowCount(), 1);
        QStringList row;
        for (int c = 0; c < view->model()->columnCount(); ++c)
            row << view->model()->index(0, c).data().toString();
        QCOMPARE(row, (QStringList{"2026-01-02 10:00:00.005", "30.00", "1-CH103", "10.00", "1-CH101",
                                   "20.00", "20.00", "10.00", "10.00", "8.16"}));
    }

    // A statistics tab reading its scans from the result table beside it
    // shows exactly what one keeping its own rows shows, one scan at a time
    // and caught up, and lets go of the table when the table goes.
    void statisticsReadFromTheResultTable()
    {
        m_context->DataAccuracy = 3;
        const QList<ChosenChannel> channels{entry(0, "m1", "mV"), entry(0, "t1", "℃"),
                                            entry(0, "m2", "mV"), entry(0, "t2", "℃")};
        const QStringList labels{"m1", "t1", "m2", "t2"}, units{"mV", "℃", "mV", "℃"};
        auto chart = std::make_unique<ParametersChart>();
        chart->setData(m_context.get(), channels);
        ParametersStatistics shared, own;
        shared.setData(3, labels, units);
        shared.shareValues(chart->model());
        own.setData(3, labels, units);
        const QDateTime t0(QDate(2026, 1, 2), QTime(10, 0, 0));
        const double nan = std::numeric_limits<double>::quiet_NaN();
        QVector<QDateTime> times;
        QVector<QVector<double>> scans;
        for (int i = 0; i < 40; ++i) {
            times << t0.addSecs(i);
            scans << QVector<double>{i * 0.5, 20.0 + (i % 7), i % 5 == 0 ? nan : 3.0 - i, 20.125 + (i % 3)};
        }
        for (int i = 0; i < 10; ++i) {
            chart->addData(times[i], scans[i]);
            shared.addData(times[i], scans[i]);
            own.addData(times[i], scans[i]);
        }
        chart->addScans(times.mid(10), scans.mid(10));
        shared.addScans(times.mid(10), scans.mid(10));
        own.addScans(times.mid(10), scans.mid(10));
        QCOMPARE(shared.rowCount(), 40);
        QAbstractItemModel* a = child<QTableView>(&shared, "tableWidget_Statistics")->model();
        QAbstractItemModel* b = child<QTableView>(&own, "tableWidget_Statistics")->model();
        QCOMPARE(a->rowCount(), 40);
        QCOMPARE(a->columnCount(), b->columnCount());
        for (int r : {39, 0, 17, 5, 39})  // out of order, so the one-row cache is crossed
            for (int c = 0; c < a->columnCount(); ++c)
                QCOMPARE(a->index(r, c).data().toString(), b->index(r, c).data().toString());

        chart.reset();
        QCOMPARE(a->rowCount(), 0);
        shared.addData(t0.addSecs(40), QList<double>{1, 2, 3, 4});
        QCOMPARE(a->index(0, 1).data().toString(), QStringLiteral("4.000"));
    }

    void statisticsTwoUnits()
    {
        ParametersStatistics tab;
        tab.setData(1, {"m1", "t1", "m2", "t2"}, {"mV", "℃", "mV", "℃"});
        QCOMPARE(tab.groupUnits(), (QStringList{"℃", "mV"}));
        auto* model = child<QTableView>(&tab, "tableWidget_Statistics")->model();
        QCOMPARE(model->columnCount(), 19);
        QCOMPARE(model->headerData(1, Qt::Horizontal).toString(), QStringLiteral("最大值(℃)"));
        QCOMPARE(model->headerData(10, Qt::Horizontal).toString(), QStringLiteral("最大值(mV)"));
        tab.addData(QDateTime::currentDateTime(), QList<double>{7, 20, 7, 21});
        QCOMPARE(model->index(0, 1).data().toString(), QStringLiteral("21.0"));
        QCOMPARE(model->index(0, 2).data().toString(), QStringLiteral("t2"));
        QCOMPARE(model->index(0, 11).data().toString(), QStringLiteral("m1")); // equal maxima: earlier
        QCOMPARE(model->index(0, 18).data().toString(), QStringLiteral("0.0"));
    }
};

QTEST_MAIN(TestAcquisitionViews)
#include "tst_acquisition_views.moc"
