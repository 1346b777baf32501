#pragma once

#include "Device.h"
#include "Records.h"

#include <QDialog>
#include <QList>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QPushButton;
class QTableWidget;

// "通道设置": the sensor kind of a calibration run and the channels of each
// acquisition device to calibrate. Only channels of the chosen kind (and for
// platinum and thermistor sensors only the supported curve) can be picked.
class ChannelSet : public QDialog
{
    Q_OBJECT
public:
    explicit ChannelSet(QWidget* parent = nullptr);

    // Lists indexed by device position (up to three); `present` says which take part.
    void setData(QList<bool> present, QList<Tool::Struct_AcquisitionDevice> devices,
                 QList<QList<Device::Channel>> channels);

    QString channelMode() const { return m_ChannelMode; }
    QList<QStringList> channelNumbers() const { return m_Selected; }
    QList<int> rowCounts() const { return m_RowCounts; }
    QList<QCheckBox*> checkBoxes() const { return m_CheckBoxes; }

public slots:
    void OK_Clicked();
    void pt_All_clicked();
    void pt_Quit_clicked();
    void Mode_Changed(QString kind);

private:
    QComboBox* comboBox_Mode = nullptr;
    QTableWidget* tableWidget_List = nullptr;
    QPushButton* pushButton_All = nullptr;
    QPushButton* pushButton_Quit = nullptr;
    QPushButton* pushButton_OK = nullptr;

    QList<QCheckBox*> m_CheckBoxes;
    QList<int> m_RowCounts;
    QString m_ChannelMode;
    QList<QStringList> m_Selected;
};
