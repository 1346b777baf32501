#pragma once

#include "ToolPage.h"
#include "Records.h"

#include <QPointer>
#include <QStringList>

#include <memory>

class Collection;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QThread;
class QWaiting;

// The acquisition-device registry page: registers data loggers, tests their
// link on a worker thread and enters tested and saved devices into the
// context's connected-device list.
class AcquisitionDevice : public ToolPage
{
    Q_OBJECT
public:
    explicit AcquisitionDevice(QWidget* parent = nullptr);
    ~AcquisitionDevice() override;

    void setContext(SystemContext* context) override;
    // False while a connection test runs.
    bool IsIdle() const override;
    void retranslateUi() override;

signals:
    void SetDialog_signals(QString message, QStringList values);
    // Outcome and serial number of a test; delivered just before SetDialog_signals.
    void TestDone_signals(bool ok, QString serialNumber);

public slots:
    void cb_Mode_clicked(QString model);
    void cb_Communication_clicked(QString kind);
    void pt_Test_clicked();
    void pt_Save_clicked();
    void pt_Delete_clicked();
    void tw_Acquisition_doubleClicked(int row, int column);
    void SetDialog_slots(QString message, QStringList values);

private slots:
    void TestDone_slots(bool ok, QString serialNumber);

private:
    void buildUi();
    void refreshDevices();
    void refillPorts();
    void setIndicator(bool connected);
    bool indicatorConnected() const;
    QString selectedConfigName() const;
    // Link inputs as the test and the save take them.
    QString linkAddress() const;
    QString linkPort() const;
    // The TCP port field holds 10 … 65535 (a serial link always passes).
    bool portAcceptable() const;
    void showLinkEditors(bool serial);

    SystemContext* m_Context = nullptr;
    std::unique_ptr<Collection> m_Driver;
    // Drivers replaced while a test still used them; freed when it ends.
    QList<Collection*> m_Retired;
    Tool::Struct_ChannelConfig m_Config;
    QList<Tool::Struct_AcquisitionDevice> m_Devices;
    QWaiting* m_Waiting = nullptr;
    QPointer<QThread> m_Worker;
    bool m_Testing = false;
    bool m_Connected = false; // the indicator: device passed its test

    QGroupBox* groupBox = nullptr;
    QLabel* label_Mode = nullptr;
    QLabel* label_Communication = nullptr;
    QLabel* label_Com = nullptr;
    QLabel* label_BaudRate = nullptr;
    QLabel* label_Rate = nullptr;
    QLabel* label_SerialNumber = nullptr;
    QLabel* label_Interval = nullptr;
    QLabel* label_Second = nullptr;
    QLabel* label_ChannelList = nullptr;
    QComboBox* comboBox_Mode = nullptr;
    QComboBox* comboBox_Communication = nullptr;
    QComboBox* comboBox_Com = nullptr;
    QComboBox* comboBox_BaudRate = nullptr;
    QComboBox* comboBox_Rate = nullptr;
    QLineEdit* lineEdit_Com = nullptr;
    QLineEdit* lineEdit_BaudRate = nullptr;
    QLineEdit* lineEdit_SerialNumber = nullptr;
    QLineEdit* lineEdit_Interval = nullptr;
    QPushButton* pushButton_Connect = nullptr;
    QPushButton* pushButton_Test = nullptr;
    QPushButton* pushButton_Delete = nullptr;
    QPushButton* pushButton_Save = nullptr;
    QTableWidget* tableWidget_ChannelList = nullptr;
    QTableWidget* tableWidget_AcquisitionList = nullptr;
};
