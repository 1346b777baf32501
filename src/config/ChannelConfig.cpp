#include "ChannelConfig.h"

#include "ChannelConfigNew.h"
#include "ChannelConfigOpen.h"
#include "ConfigFile.h"
#include "MessageBox.h"
#include "Tool.h"
#include "Vocabulary.h"

#include <QCheckBox>
#include <QDebug>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

ChannelConfig::ChannelConfig(QWidget* parent) : ToolPage(parent)
{
    groupBox = new QGroupBox(this);
    auto* outer = new QVBoxLayout(this);
    outer->addWidget(groupBox);
    auto* layout = new QVBoxLayout(groupBox);

    auto* header = new QGridLayout;
    label_Name = new QLabel(groupBox);
    label_Number = new QLabel(groupBox);
    label_Mode = new QLabel(groupBox);
    label_Module = new QLabel(groupBox);
    lineEdit_Name = new QLineEdit(groupBox);
    lineEdit_Number = new QLineEdit(groupBox);
    lineEdit_Mode = new QLineEdit(groupBox);
    lineEdit_Name->setObjectName(QStringLiteral("lineEdit_Name"));
    lineEdit_Number->setObjectName(QStringLiteral("lineEdit_Number"));
    lineEdit_Mode->setObjectName(QStringLiteral("lineEdit_Mode"));
    for (QLineEdit* edit : {lineEdit_Name, lineEdit_Number, lineEdit_Mode})
        edit->setEnabled(false);
    header->addWidget(label_Name, 0, 0);
    header->addWidget(lineEdit_Name, 0, 1);
    header->addWidget(label_Number, 0, 2);
    header->addWidget(lineEdit_Number, 0, 3);
    header->addWidget(label_Mode, 0, 4);
    header->addWidget(lineEdit_Mode, 0, 5);
    auto* modules = new QHBoxLayout;
    modules->addWidget(label_Module);
    for (int k = 1; k <= 6; ++k) {
        auto* box = new QCheckBox(QString::number(k), groupBox);
        box->setObjectName(QStringLiteral("checkBox_Module%1").arg(k));
        box->setEnabled(false);
        checkBox_Module << box;
        modules->addWidget(box);
    }
    modules->addStretch();
    header->addLayout(modules, 1, 0, 1, 6);
    layout->addLayout(header);

    auto* buttons = new QHBoxLayout;
    pushButton_Export = new QPushButton(groupBox);
    pushButton_Open = new QPushButton(groupBox);
    pushButton_New = new QPushButton(groupBox);
    pushButton_Delete = new QPushButton(groupBox);
    pushButton_Export->setObjectName(QStringLiteral("pushButton_Export"));
    pushButton_Open->setObjectName(QStringLiteral("pushButton_Open"));
    pushButton_New->setObjectName(QStringLiteral("pushButton_New"));
    pushButton_Delete->setObjectName(QStringLiteral("pushButton_Delete"));
    buttons->addStretch();
    for (QPushButton* b : {pushButton_Export, pushButton_Open, pushButton_New, pushButton_Delete})
        buttons->addWidget(b);
    layout->addLayout(buttons);

    tableWidget_List = new QTableWidget(groupBox);
    tableWidget_List->setObjectName(QStringLiteral("tableWidget_List"));
    tableWidget_List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableWidget_List->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableWidget_List->verticalHeader()->setVisible(false);
    tableWidget_List->setColumnCount(19);
    layout->addWidget(tableWidget_List);

    connect(pushButton_Export, &QPushButton::clicked, this, &ChannelConfig::pt_Export_clicked);
    connect(pushButton_Open, &QPushButton::clicked, this, &ChannelConfig::pt_Open_clicked);
    connect(pushButton_New, &QPushButton::clicked, this, &ChannelConfig::pt_New_clicked);
    connect(pushButton_Delete, &QPushButton::clicked, this, &ChannelConfig::pt_Delete_clicked);

    m_NewDialog = &ChannelConfigNew::run;
    m_OpenDialog = &ChannelConfigOpen::run;
    retranslateUi();
}

void ChannelConfig::setContext(SystemContext* context)
{
    m_Context = context;
}

void ChannelConfig::retranslateUi()
{
    groupBox->setTitle(tr("通道配置"));
    label_Name->setText(tr("名称："));
    label_Number->setText(tr("通道个数："));
    label_Mode->setText(tr("采集设备型号："));
    label_Module->setText(tr("模块配置："));
    pushButton_Export->setText(tr("导出"));
    pushButton_Open->setText(tr("打开文件"));
    pushButton_New->setText(tr("新建文件"));
    pushButton_Delete->setText(tr("删除文件"));
    tableWidget_List->setHorizontalHeaderLabels(
        {tr("序号"), tr("通道编号"), tr("通道标签"), tr("通道类型"), tr("通道功能"), tr("接线线制"),
         QStringLiteral("Mx+B"), tr("单位"), QStringLiteral("A/B0"), QStringLiteral("B/B1"),
         QStringLiteral("C/B2"), QStringLiteral("D/B3"), QStringLiteral("R0/C4"), QStringLiteral("A4/C5"),
         QStringLiteral("B4/C6"), tr("下限警告启用"), tr("下限警告"), tr("上限警告启用"), tr("上限警告")});
    // Type, function and wiring cells show stored words.
    for (int row = 0; row < tableWidget_List->rowCount(); ++row)
        for (int column = 3; column <= 5; ++column)
            if (QTableWidgetItem* cell = tableWidget_List->item(row, column))
                Vocabulary::setItem(cell, Vocabulary::value(cell));
}

void ChannelConfig::ShowConfig(const QString& name)
{
    tableWidget_List->setRowCount(0);
    QList<Tool::Struct_ChannelConfig> list;
    Tool::getChannelConfig(list, name);
    if (list.isEmpty())
        return;
    const Tool::Struct_ChannelConfig config = list.last();
    lineEdit_Name->setText(config.Name);
    lineEdit_Number->setText(QString::number(config.Number));
    lineEdit_Mode->setText(config.Mode);
    const QStringList flags = config.Module.split(QLatin1Char(','));
    for (int k = 0; k < checkBox_Module.size(); ++k)
        checkBox_Module.at(k)->setChecked(flags.value(k) == QStringLiteral("1"));

    const auto flag = [](const QList<bool>& list, int i) {
        return i < list.size() && list.at(i) ? QStringLiteral("true") : QStringLiteral("false");
    };
    tableWidget_List->setRowCount(config.Number);
    for (int i = 0; i < config.Number; ++i) {
        const QStringList cells = {QString::number(i + 1),
                                   config.ChannelNumber.value(i),
                                   config.Tag.value(i),
                                   config.Type.value(i),
                                   config.Function.value(i),
                                   config.Wire.value(i),
                                   config.MX_B_M.value(i) + QStringLiteral("_") + config.MX_B_B.value(i),
                                   config.Unit.value(i),
                                   config.A_C0.value(i),
                                   config.B_C1.value(i),
                                   config.C_C2.value(i),
                                   config.D_C3.value(i),
                                   config.R0_C4.value(i),
                                   config.A4_C5.value(i),
                                   config.B4_C6.value(i),
                                   flag(config.LowState, i),
                                   config.Low.value(i),
                                   flag(config.HightState, i),
                                   config.Hight.value(i)};
        // Type, function and wiring are stored words: shown translated, kept as stored.
        for (int column = 0; column < cells.size(); ++column)
            tableWidget_List->setItem(i, column,
                                      column >= 3 && column <= 5 ? Vocabulary::item(cells.at(column))
                                                                 : new QTableWidgetItem(cells.at(column)));

    }
    tableWidget_List->resizeColumnsToContents();
}

void ChannelConfig::pt_New_clicked()
{
    QString name;
    if (m_NewDialog && m_NewDialog(this, name))
        ShowConfig(name);
}

void ChannelConfig::pt_Open_clicked()
{
    QString name;
    if (m_OpenDialog && m_OpenDialog(this, name))
        ShowConfig(name);
}

void ChannelConfig::pt_Delete_clicked()
{
    const QString name = lineEdit_Name->text();
    if (name.isEmpty()) {
        MessageBox::warning(this, tr("警告"), tr("请先选择需要删除的文件!"));
        return;
    }
    if (!MessageBox::question(this, tr("提示"), tr("是否删除") + name + QStringLiteral("?")))
        return;
    if (Tool::deleteChannelConfig(name))
        tableWidget_List->setRowCount(0);
    else
        MessageBox::warning(this, tr("警告"), tr("删除文件失败!"));
}

void ChannelConfig::pt_Export_clicked()
{
    const QString name = lineEdit_Name->text();
    if (name.isEmpty() || tableWidget_List->rowCount() == 0) {
        MessageBox::warning(this, tr("警告"), tr("请先选择需要导出的文件!"));
        return;
    }
    QList<Tool::Struct_ChannelConfig> list;
    Tool::getChannelConfig(list, name);
    if (list.isEmpty())
        return;
    const QString path = FileDialog::getSaveFileName(this, tr("保存文件"), QString(), ConfigFile::filter());
    if (path.isEmpty())
        return;
    // A failed export must not pass for a successful one.
    if (!ConfigFile::write(path, list.last())) {
        qWarning() << "export of channel configuration" << name << "to" << path << "failed";
        MessageBox::warning(this, tr("警告"), tr("导出文件失败!"));
    }
}
