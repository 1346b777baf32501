#include "ChannelBatch.h"

#include "ChannelChoice.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

ChannelBatch::ChannelBatch(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ChannelBatch"));
    setWindowTitle(tr("批次确认"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    resize(420, 480);

    auto* layout = new QVBoxLayout(this);
    tableWidget_List = new QTableWidget(0, 3, this);
    tableWidget_List->setObjectName(QStringLiteral("tableWidget_List"));
    tableWidget_List->setHorizontalHeaderLabels({tr("配置文件"), tr("批次"), tr("通道")});
    tableWidget_List->verticalHeader()->setVisible(false);
    tableWidget_List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableWidget_List->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableWidget_List->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(tableWidget_List);

    auto* buttons = new QHBoxLayout;
    pushButton_Quit = new QPushButton(tr("取消"), this);
    pushButton_Quit->setObjectName(QStringLiteral("pushButton_Quit"));
    pushButton_OK = new QPushButton(tr("下一步"), this);
    pushButton_OK->setObjectName(QStringLiteral("pushButton_OK"));
    buttons->addStretch();
    buttons->addWidget(pushButton_Quit);
    buttons->addWidget(pushButton_OK);
    layout->addLayout(buttons);

    connect(pushButton_OK, &QPushButton::clicked, this, &ChannelBatch::OK_Clicked);
    connect(pushButton_Quit, &QPushButton::clicked, this, &ChannelBatch::pt_Quit_clicked);
}

void ChannelBatch::setData(int maximum, QStringList configNames, QList<QStringList> channelNumbers)
{
    tableWidget_List->setRowCount(0);
    int row = 0;
    for (int p = 0; p < channelNumbers.size(); ++p) {
        for (const QString& number : channelNumbers.at(p)) {
            tableWidget_List->insertRow(row);
            tableWidget_List->setItem(row, 0, new QTableWidgetItem(configNames.value(p)));
            tableWidget_List->setItem(row, 1,
                                      new QTableWidgetItem(QString::number(ChannelChoice::batchOf(row, maximum))));
            tableWidget_List->setItem(row, 2, new QTableWidgetItem(number));
            ++row;
        }
    }
    tableWidget_List->resizeColumnsToContents();
    m_BatchCount = ChannelChoice::batchCount(row, maximum);
}

void ChannelBatch::OK_Clicked()
{
    accept();
}

void ChannelBatch::pt_Quit_clicked()
{
    close();
}
