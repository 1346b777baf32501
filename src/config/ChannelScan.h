#pragma once

#include "SourceLinks.h"

#include <QDialog>
#include <QPointer>

#include <atomic>
#include <memory>

class Device;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QThread;

// "通讯": chooses and tests the link of the calibration bench's temperature
// source or reference thermometer, and writes it into the caller's record.
class ChannelScan : public QDialog
{
    Q_OBJECT
public:
    explicit ChannelScan(QWidget* parent = nullptr);
    ~ChannelScan() override;

    // The record stays the caller's; every test and "确定" write into it.
    void setRecord(SourceLinks::Record* record);
    Device* driver() const { return m_Driver.get(); }
    bool isTesting() const;

signals:
    void MessageBox_signals(QString title, QString text);
    void Attempt_signals(int attempt, int attempts);

public slots:
    void cb_Communication_clicked(QString kind);
    void pt_Scan_clicked();
    void pt_OK_clicked();
    // A Bluetooth test runs up to eleven attempts of some 20 s: it shows
    // which attempt runs and can be cancelled; a new search refreshes the
    // thermometers in range.
    void pt_Cancel_clicked();
    void pt_Search_clicked();
    void MessageBox_slots(QString title, QString text);
    void Attempt_slots(int attempt, int attempts);
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Takes the link from the controls into the record.
    void captureLink();
    // Fills comboBox_Com with the thermometers found; keeps the text shown.
    void searchThermometers();

    SourceLinks::Record* m_Record = nullptr;
    std::unique_ptr<Device> m_Driver;
    QPointer<QThread> m_Worker;
    bool m_Testing = false; // from the test's start until its result is shown
    std::shared_ptr<std::atomic<bool>> m_Cancel; // of the running test, shared with its worker

    QComboBox* comboBox_Communication = nullptr;
    QLabel* label_Com = nullptr;
    QLineEdit* lineEdit_Com = nullptr;
    QComboBox* comboBox_Com = nullptr;
    QLabel* label_BaudRate = nullptr;
    QLineEdit* lineEdit_BaudRate = nullptr;
    QComboBox* comboBox_BaudRate = nullptr;
    QPushButton* pushButton_Search = nullptr;
    QLabel* label_Progress = nullptr;
    QPushButton* pushButton_Scan = nullptr;
    QPushButton* pushButton_Cancel = nullptr;
    QPushButton* pushButton_OK = nullptr;
};
