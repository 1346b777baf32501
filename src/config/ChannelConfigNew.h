#pragma once

#include "Records.h"

#include <QDialog>

#include <memory>

class Collection;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// First step of a new channel configuration: name, model, channel count,
// modules and cold-junction compensation. "下一步" checks them and runs the
// channel table; the dialog is accepted once the table has stored the
// configuration.
class ChannelConfigNew : public QDialog
{
    Q_OBJECT
public:
    explicit ChannelConfigNew(QWidget* parent = nullptr);
    ~ChannelConfigNew() override;

    // Name of the stored configuration after acceptance.
    QString name() const { return m_Name; }
    // The record composed from the fields (channel lists empty).
    Tool::Struct_ChannelConfig record() const;
    Collection* driver() const { return m_Driver.get(); }

    // Runs the dialog modally for the channel-configuration page.
    static bool run(QWidget* parent, QString& name);

public slots:
    void pt_Next_clicked();
    void pt_Cancel_clicked();
    void cb_Way_clicked(QString text);
    void cb_Mode_clicked(QString model);

private:
    void warn(const QString& text);

    std::unique_ptr<Collection> m_Driver;
    QString m_Name;

    QGroupBox* groupBox_Set = nullptr;
    QGroupBox* groupBox_Compensation = nullptr;
    QLabel* label_Name = nullptr;
    QLabel* label_Mode = nullptr;
    QLabel* label_Number = nullptr;
    QLabel* label_Module = nullptr;
    QLabel* label_Way = nullptr;
    QLabel* label_Temp = nullptr;
    QLabel* label_Temp1 = nullptr;
    QLineEdit* lineEdit_Name = nullptr;
    QComboBox* comboBox_Mode = nullptr;
    QLineEdit* lineEdit_Number = nullptr;
    QList<QCheckBox*> checkBox_Module;
    QComboBox* comboBox_Way = nullptr;
    QLineEdit* lineEdit_Temp = nullptr;
    QPushButton* pushButton_Cancel = nullptr;
    QPushButton* pushButton_Next = nullptr;
};
