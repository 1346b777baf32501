#include "ParametersTemp.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

ParametersTemp::ParametersTemp(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ParametersTemp"));
    setWindowTitle(tr("通道确认"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(320, 400);
    setStyleSheet(QStringLiteral("font: 16pt '宋体';"));

    auto* layout = new QVBoxLayout(this);
    tableWidget_List = new QTableWidget(this);
    tableWidget_List->setObjectName(QStringLiteral("tableWidget_List"));
    tableWidget_List->setColumnCount(2);
    tableWidget_List->setHorizontalHeaderLabels({tr("名称"), tr("数据")});
    tableWidget_List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableWidget_List->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableWidget_List->setSelectionMode(QAbstractItemView::SingleSelection);
    tableWidget_List->verticalHeader()->setVisible(false);
    tableWidget_List->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(tableWidget_List);

    pushButton_OK = new QPushButton(tr("确定"), this);
    pushButton_OK->setObjectName(QStringLiteral("pushButton_OK"));
    pushButton_OK->setDefault(true);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(pushButton_OK);
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(pushButton_OK, &QPushButton::clicked, this, &QDialog::accept);
}

ParametersTemp::Cell ParametersTemp::cell(int precision, const Tool::Struct_ChannelConfig& config,
                                          const QStringList& values, int i)
{
    Cell c;
    c.tag = config.Tag.value(i);
    const double value = values.value(i).toDouble();
    c.text = QString::number(value, 'f', precision) + config.Unit.value(i);
    if (config.LowState.value(i) && config.Low.value(i).toDouble() > value)
        c.colour = QColor(0, 0, 255);
    if (config.HightState.value(i) && value > config.Hight.value(i).toDouble())
        c.colour = QColor(255, 0, 0);
    return c;
}

void ParametersTemp::setData(int precision, const Tool::Struct_ChannelConfig& config, const QStringList& values)
{
    tableWidget_List->setRowCount(0);
    const int rows = qMax(0, config.Number);
    tableWidget_List->setRowCount(rows);
    for (int i = 0; i < rows; ++i) {
        const Cell c = cell(precision, config, values, i);
        tableWidget_List->setItem(i, 0, new QTableWidgetItem(c.tag));
        auto* item = new QTableWidgetItem(c.text);
        item->setTextAlignment(Qt::AlignCenter);
        if (c.colour.isValid())
            item->setForeground(c.colour);
        tableWidget_List->setItem(i, 1, item);
    }
    tableWidget_List->resizeColumnsToContents();
}
