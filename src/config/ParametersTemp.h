#pragma once

#include "Records.h"

#include <QColor>
#include <QDialog>

class QPushButton;
class QTableWidget;

// Shows the readings of a device test, one row per channel, for the user to
// confirm; values beyond an enabled alarm limit are coloured.
class ParametersTemp : public QDialog
{
    Q_OBJECT
public:
    // One row of the table.
    struct Cell
    {
        QString tag;
        QString text;  // value with `precision` decimals, then the unit
        QColor colour; // invalid: default text colour
    };

    explicit ParametersTemp(QWidget* parent = nullptr);

    // Fills the table: one row per channel of the configuration.
    void setData(int precision, const Tool::Struct_ChannelConfig& config, const QStringList& values);

    // Row i of the table for these readings (the arithmetic behind setData).
    static Cell cell(int precision, const Tool::Struct_ChannelConfig& config, const QStringList& values, int i);

    QTableWidget* table() const { return tableWidget_List; }

private:
    QTableWidget* tableWidget_List = nullptr;
    QPushButton* pushButton_OK = nullptr;
};
