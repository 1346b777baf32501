#pragma once

#include <QDialog>
#include <QStringList>

class Collection;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

// Values for several channels at once. After acceptance values() holds, in
// order: type, function, wiring, M, B, unit, the seven coefficients A/B0 …
// B4/C6, low-alarm flag ("true"/"false"), low limit, high-alarm flag, high limit.
class ChannelConfigBatch : public QDialog
{
    Q_OBJECT
public:
    explicit ChannelConfigBatch(QWidget* parent = nullptr);

    void setData(Collection* driver);
    QStringList values() const { return m_Values; }

public slots:
    void pt_OK_clicked();
    void pt_Cancel_clicked();
    void cb_Type_clicked(QString type);
    void cb_Range_clicked(QString function);

private:
    Collection* m_Driver = nullptr;
    QStringList m_Values;

    QComboBox* comboBox_Type = nullptr;
    QComboBox* comboBox_Range = nullptr;
    QComboBox* comboBox_Wire = nullptr;
    QComboBox* comboBox_Unit = nullptr;
    QLineEdit* lineEdit_MX_B_M = nullptr;
    QLineEdit* lineEdit_MX_B_B = nullptr;
    QList<QLineEdit*> coefficients; // A/B0 … B4/C6
    QCheckBox* checkBox_LowState = nullptr;
    QLineEdit* lineEdit_Low = nullptr;
    QCheckBox* checkBox_HightState = nullptr;
    QLineEdit* lineEdit_Hight = nullptr;
    QPushButton* pushButton_OK = nullptr;
    QPushButton* pushButton_Cancel = nullptr;
};
