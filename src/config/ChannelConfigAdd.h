#pragma once

#include "Records.h"

#include <QDialog>

class Collection;
class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// Second step of a new channel configuration: one table row per channel.
// Cells change only through a one-at-a-time cell editor (double-click opens,
// a click elsewhere commits), the batch dialog and the parameter import.
// "新建文件" checks the channel set with the model's driver and stores it.
class ChannelConfigAdd : public QDialog
{
    Q_OBJECT
public:
    enum Column {
        ColSelect, ColRow, ColNumber, ColTag, ColType, ColFunction, ColWire, ColM, ColB, ColUnit,
        ColA_C0, ColB_C1, ColC_C2, ColD_C3, ColR0_C4, ColA4_C5, ColB4_C6,
        ColLowState, ColLow, ColHightState, ColHight, ColumnCount
    };

    explicit ChannelConfigAdd(QWidget* parent = nullptr);

    // The driver of the chosen model (not owned) and the record of the first
    // step; builds the rows with their defaults.
    void setData(Collection* driver, const Tool::Struct_ChannelConfig& record);

    // The record as the table describes it now (Time as last set by a save).
    Tool::Struct_ChannelConfig record() const;

    // Channel numbers must differ pairwise and increase row by row; false
    // with the message of the first rule broken.
    static bool checkNumbers(const QStringList& numbers, QString& message);

    // --- for tests and screenshots ---
    QTableWidget* table() const { return tableWidget_List; }
    bool editorOpen() const { return m_Editor != nullptr; }
    QWidget* editor() const { return m_Editor; }
    QString cellText(int row, int column) const;
    bool isChecked(int row, int column) const;
    QCheckBox* checkBox(int row, int column) const;

public slots:
    void pt_All_clicked();
    void pt_Save_clicked();
    void pt_Batch_clicked();
    void pt_Cancel_clicked();
    void pt_Import_clicked();
    void tw_cellClicked(int row, int column);
    void tw_cellDoubleClicked(int row, int column);

private:
    void setCellText(int row, int column, const QString& text);
    void addCheckCell(int row, int column, bool enabled);
    // Writes the open editor into its cell; false (editor left open, message
    // shown) when the text cannot be stored.
    bool commitEditor();
    bool fixedByModel() const;
    void fitColumns();

    Collection* m_Driver = nullptr;
    Tool::Struct_ChannelConfig m_Record;

    // The one open cell editor.
    QWidget* m_Editor = nullptr;
    int m_EditRow = -1;
    int m_EditColumn = -1;
    QString m_EditOriginal;

    QGroupBox* groupBox = nullptr;
    QLabel* label_Name = nullptr;
    QLabel* label_Mode = nullptr;
    QLabel* label_Number = nullptr;
    QLineEdit* lineEdit_Name = nullptr;
    QLineEdit* lineEdit_Mode = nullptr;
    QLineEdit* lineEdit_Number = nullptr;
    QTableWidget* tableWidget_List = nullptr;
    QPushButton* pushButton_All = nullptr;
    QPushButton* pushButton_Batch = nullptr;
    QPushButton* pushButton_Import = nullptr;
    QPushButton* pushButton_Cancel = nullptr;
    QPushButton* pushButton_Save = nullptr;
};
