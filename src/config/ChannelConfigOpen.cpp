#include "ChannelConfigOpen.h"

#include "ModalRun.h"
#include "Tool.h"

#include <QDebug>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

ChannelConfigOpen::ChannelConfigOpen(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ChannelConfigOpen"));
    setWindowTitle(tr("打开配置文件"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* layout = new QVBoxLayout(this);
    label_Hint = new QLabel(tr("双击一行打开该配置文件。"), this);
    layout->addWidget(label_Hint);
    tableWidget_List = new QTableWidget(this);
    tableWidget_List->setObjectName(QStringLiteral("tableWidget_List"));
    tableWidget_List->setColumnCount(2);
    tableWidget_List->setHorizontalHeaderLabels({tr("名称"), tr("时间")});
    tableWidget_List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableWidget_List->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableWidget_List->setSelectionMode(QAbstractItemView::SingleSelection);
    tableWidget_List->verticalHeader()->setVisible(false);
    tableWidget_List->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(tableWidget_List);

    QList<Tool::Struct_ChannelConfig> list;
    if (!Tool::getChannelConfig(list, QString()))
        qWarning() << "reading the channel configurations failed";
    tableWidget_List->setRowCount(list.size());
    for (int row = 0; row < list.size(); ++row) {
        tableWidget_List->setItem(row, 0, new QTableWidgetItem(list.at(row).Name));
        tableWidget_List->setItem(row, 1, new QTableWidgetItem(list.at(row).Time));
    }
    tableWidget_List->resizeColumnsToContents();
    connect(tableWidget_List, &QTableWidget::cellDoubleClicked, this, &ChannelConfigOpen::pt_TableWidget_clicked);
    resize(420, 360);
}

bool ChannelConfigOpen::run(QWidget* parent, QString& name)
{
    ChannelConfigOpen dialog(parent);
    if (ModalRun::exec(&dialog) != QDialog::Accepted)
        return false;
    name = dialog.name();
    return true;
}

void ChannelConfigOpen::pt_TableWidget_clicked(int row, int column)
{
    Q_UNUSED(column)
    const QTableWidgetItem* item = tableWidget_List->item(row, 0);
    if (!item)
        return;
    m_Name = item->text();
    accept();
}
