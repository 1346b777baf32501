// The whole road through the main window: create a 16-channel 3107A-TC
// configuration, register the simulated logger, test it, see its readings and
// save it as a connected device.

#include "AcquisitionDevice.h"
#include "ChannelConfig.h"
#include "ChannelConfigAdd.h"
#include "ChannelConfigNew.h"
#include "MessageBox.h"
#include "ModalRun.h"
#include "ParametersTemp.h"
#include "SimulatorProcess.h"
#include "SystemContext.h"
#include "Tervan.h"
#include "TestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QToolButton>
#include <QtTest>

#include <memory>

class TestRegistryWindow : public QObject
{
    Q_OBJECT
private slots:
    void wholeRoad();
};

void TestRegistryWindow::wholeRoad()
{
#ifndef ARQ_SIMULATOR
    QSKIP("arq-simulator is not part of this build");
#else
    SimulatorProcess simulator;
    QVERIFY(simulator.start({"--tcp", "127.0.0.1:0", "--model", "3107A-TC", "--id", "TC00000007"}, 1, 10000,
                            QStringLiteral(ARQ_SIMULATOR)));
    TestWorkDir dir;
    MessageBox::setTestMode(true);
    Tervan::setSplashDuration(0);
    Tervan::setPageFactory([](int index, QWidget* parent) -> ToolPage* {
        if (index == 1)
            return new ChannelConfig(parent);
        if (index == 2)
            return new AcquisitionDevice(parent);
        return nullptr;
    });
    int confirmedRows = 0;
    ModalRun::setRunner([&](QDialog* dialog) {
        if (auto* fresh = qobject_cast<ChannelConfigNew*>(dialog)) {
            fresh->findChild<QLineEdit*>("lineEdit_Name")->setText(QStringLiteral("Logger TC"));
            fresh->findChild<QComboBox*>("comboBox_Mode")->setCurrentText(QStringLiteral("3107A-TC"));
            fresh->findChild<QLineEdit*>("lineEdit_Number")->setText(QStringLiteral("16"));
            QTest::mouseClick(fresh->findChild<QPushButton*>("pushButton_Next"), Qt::LeftButton);
            return fresh->result();
        }
        if (auto* add = qobject_cast<ChannelConfigAdd*>(dialog)) {
            QTest::mouseClick(add->findChild<QPushButton*>("pushButton_Save"), Qt::LeftButton);
            return add->result();
        }
        if (auto* confirm = qobject_cast<ParametersTemp*>(dialog))
            confirmedRows = confirm->table()->rowCount();
        return int(QDialog::Accepted);
    });

    Tervan window;
    window.findChild<QToolButton*>("toolButton_ChannelConfig")->click();
    auto* configPage = qobject_cast<ChannelConfig*>(window.currentPage());
    QVERIFY(configPage);
    QTest::mouseClick(configPage->findChild<QPushButton*>("pushButton_New"), Qt::LeftButton);
    QCOMPARE(MessageBox::last().text, QStringLiteral("添加成功！"));
    QCOMPARE(configPage->findChild<QTableWidget*>("tableWidget_List")->rowCount(), 16);

    window.findChild<QToolButton*>("toolButton_AcquisitionDevice")->click();
    auto* page = qobject_cast<AcquisitionDevice*>(window.currentPage());
    QVERIFY(page);
    page->findChild<QComboBox*>("comboBox_Mode")->setCurrentText(QStringLiteral("3107A-TC"));
    page->findChild<QComboBox*>("comboBox_Communication")->setCurrentText(QStringLiteral("网络"));
    page->findChild<QLineEdit*>("lineEdit_Com")->setText(QStringLiteral("127.0.0.1"));
    page->findChild<QLineEdit*>("lineEdit_BaudRate")->setText(QString::number(simulator.port()));
    page->findChild<QLineEdit*>("lineEdit_Interval")->setText(QStringLiteral("5"));
    page->findChild<QTableWidget*>("tableWidget_ChannelList")->selectRow(0);
    QTest::mouseClick(page->findChild<QPushButton*>("pushButton_Test"), Qt::LeftButton);

    // While the test runs the page cannot be left.
    QVERIFY(!page->IsIdle());
    window.findChild<QToolButton*>("toolButton_ChannelConfig")->click();
    QCOMPARE(window.currentPage(), page);
    QCOMPARE(MessageBox::last().text, QStringLiteral("设备操作进行中，请稍候！"));

    QTRY_VERIFY_WITH_TIMEOUT(page->IsIdle(), 30000);
    QCOMPARE(confirmedRows, 16);
    QCOMPARE(page->findChild<QLineEdit*>("lineEdit_SerialNumber")->text(), QStringLiteral("TC00000007"));
    QTest::mouseClick(page->findChild<QPushButton*>("pushButton_Save"), Qt::LeftButton);
    QCOMPARE(MessageBox::last().text, QStringLiteral("数据保存成功！"));
    QCOMPARE(window.context()->ConnectedDevices.size(), 1);
    QCOMPARE(window.context()->ConnectedDevices.first().ChannelConfig, QStringLiteral("Logger TC"));

    window.findChild<QToolButton*>("toolButton_ChannelConfig")->click();
    QCOMPARE(window.currentPageIndex(), 1);
    Tervan::setPageFactory(nullptr);
    ModalRun::setRunner({});
#endif
}

QTEST_MAIN(TestRegistryWindow)
#include "tst_registrywindow.moc"
