#pragma once

#include "Records.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct SystemContext;

// First dialog of the acquisition chain: mode, number of projects and
// devices, project names, devices and planned times. On acceptance it writes
// the project fields of the context; a refused input leaves the context as it was.
class ParametersMode : public QDialog
{
    Q_OBJECT
public:
    explicit ParametersMode(QWidget* parent = nullptr);

    void setContext(SystemContext* context);

    QList<Tool::Struct_AcquisitionDevice> candidates() const { return m_candidates; }
    // The devices currently picked in combos 1..m, m = device count.
    QList<Tool::Struct_AcquisitionDevice> chosenDevices() const;

public slots:
    void cb_Mode_clicked(const QString& mode);
    void cb_Project_clicked(const QString& count);
    void cb_Device_clicked(const QString& count);
    void pt_OK_clicked();

private slots:
    // Any change of the chosen devices may add or withdraw the offline mode.
    void updateModeList();

private:
    void retranslateUi();
    bool checkNames(const QStringList& names);

    SystemContext* m_context = nullptr;
    QList<Tool::Struct_AcquisitionDevice> m_candidates;
    QString m_infoTitle;
    QString m_warningTitle;

    QLabel* label_Mode = nullptr;
    QComboBox* comboBox_Mode = nullptr;
    QLabel* label_Project = nullptr;
    QComboBox* comboBox_Project = nullptr;
    QLabel* label_Device = nullptr;
    QComboBox* comboBox_Device = nullptr;
    QGroupBox* groupBox_Project1 = nullptr;
    QGroupBox* groupBox_Project2 = nullptr;
    QGroupBox* groupBox_Project3 = nullptr;
    QLabel* label_Name1 = nullptr;
    QLabel* label_Name2 = nullptr;
    QLabel* label_Name3 = nullptr;
    QLineEdit* lineEdit_Name1 = nullptr;
    QLineEdit* lineEdit_Name2 = nullptr;
    QLineEdit* lineEdit_Name3 = nullptr;
    QLabel* label_Device1 = nullptr;
    QLabel* label_Device2 = nullptr;
    QLabel* label_Device3 = nullptr;
    QComboBox* comboBox_Device1 = nullptr;
    QComboBox* comboBox_Device2 = nullptr;
    QComboBox* comboBox_Device3 = nullptr;
    QLabel* label_Start = nullptr;
    QDateTimeEdit* dateTimeEdit_Start = nullptr;
    QLabel* label_End = nullptr;
    QLabel* label_OfflineHint = nullptr; // shown for an offline run

    QDateTimeEdit* dateTimeEdit_End = nullptr;
    QCheckBox* checkBox_SaveStart = nullptr;
    QPushButton* pushButton_OK = nullptr;
};
