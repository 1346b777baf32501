#include "ChannelSet.h"

#include "ChannelChoice.h"
#include "MessageBox.h"
#include "Vocabulary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

namespace {
enum Column { ColSelected, ColConfig, ColType, ColFunction, ColChannel };
}

ChannelSet::ChannelSet(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ChannelSet"));
    setWindowTitle(tr("通道设置"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    resize(640, 480);

    auto* layout = new QVBoxLayout(this);
    auto* top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("通道类型："), this));
    comboBox_Mode = new QComboBox(this);
    comboBox_Mode->setObjectName(QStringLiteral("comboBox_Mode"));
    comboBox_Mode->setMinimumWidth(140);
    top->addWidget(comboBox_Mode);
    top->addStretch();
    layout->addLayout(top);

    tableWidget_List = new QTableWidget(0, 5, this);
    tableWidget_List->setObjectName(QStringLiteral("tableWidget_List"));
    tableWidget_List->setHorizontalHeaderLabels({tr("选中"), tr("配置文件"), tr("类型"), tr("功能"), tr("通道")});
    tableWidget_List->verticalHeader()->setVisible(false);
    tableWidget_List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableWidget_List->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableWidget_List->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(tableWidget_List);

    auto* buttons = new QHBoxLayout;
    pushButton_All = new QPushButton(tr("全选"), this);
    pushButton_All->setObjectName(QStringLiteral("pushButton_All"));
    pushButton_Quit = new QPushButton(tr("取消"), this);
    pushButton_Quit->setObjectName(QStringLiteral("pushButton_Quit"));
    pushButton_OK = new QPushButton(tr("下一步"), this);
    pushButton_OK->setObjectName(QStringLiteral("pushButton_OK"));
    buttons->addWidget(pushButton_All);
    buttons->addStretch();
    buttons->addWidget(pushButton_Quit);
    buttons->addWidget(pushButton_OK);
    layout->addLayout(buttons);

    connect(pushButton_OK, &QPushButton::clicked, this, &ChannelSet::OK_Clicked);
    connect(pushButton_All, &QPushButton::clicked, this, &ChannelSet::pt_All_clicked);
    connect(pushButton_Quit, &QPushButton::clicked, this, &ChannelSet::pt_Quit_clicked);
    connect(comboBox_Mode, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int) { Mode_Changed(Vocabulary::current(comboBox_Mode)); });
}

void ChannelSet::setData(QList<bool> present, QList<Tool::Struct_AcquisitionDevice> devices,
                         QList<QList<Device::Channel>> channels)
{
    tableWidget_List->setRowCount(0);
    m_CheckBoxes.clear();
    m_RowCounts.clear();
    QStringList types;
    const int positions = std::max({present.size(), devices.size(), channels.size()});
    for (int p = 0; p < positions; ++p) {
        if (!present.value(p)) {
            m_RowCounts << 0;
            continue;
        }
        const QList<Device::Channel> list = channels.value(p);
        const QString config = devices.value(p).ChannelConfig;
        for (const Device::Channel& ch : list) {
            const int row = tableWidget_List->rowCount();
            tableWidget_List->insertRow(row);
            // The box sits centred in a plain holder widget.
            auto* holder = new QWidget(tableWidget_List);
            auto* box = new QCheckBox(holder);
            auto* centre = new QHBoxLayout(holder);
            centre->setContentsMargins(0, 0, 0, 0);
            centre->setAlignment(Qt::AlignCenter);
            centre->addWidget(box);
            tableWidget_List->setCellWidget(row, ColSelected, holder);
            m_CheckBoxes << box;
            tableWidget_List->setItem(row, ColConfig, new QTableWidgetItem(config));
            tableWidget_List->setItem(row, ColType, Vocabulary::item(ch.Type));
            tableWidget_List->setItem(row, ColFunction, Vocabulary::item(ch.Function));
            tableWidget_List->setItem(row, ColChannel, new QTableWidgetItem(ch.ChannelNumber));
            types << ch.Type;
        }
        m_RowCounts << list.size();
    }
    comboBox_Mode->blockSignals(true);
    Vocabulary::fill(comboBox_Mode, ChannelChoice::kindsOffered(types));
    comboBox_Mode->blockSignals(false);
    Mode_Changed(Vocabulary::current(comboBox_Mode));
}

void ChannelSet::Mode_Changed(QString kind)
{
    for (int row = 0; row < m_CheckBoxes.size(); ++row) {
        QCheckBox* box = m_CheckBoxes.at(row);
        box->setChecked(false);
        box->setEnabled(ChannelChoice::selectable(kind, Vocabulary::value(tableWidget_List->item(row, ColType)),
                                                  Vocabulary::value(tableWidget_List->item(row, ColFunction))));
    }
}

void ChannelSet::pt_All_clicked()
{
    const bool selectAll = pushButton_All->text() == tr("全选");
    pushButton_All->setText(selectAll ? tr("取消全选") : tr("全选"));
    for (QCheckBox* box : qAsConst(m_CheckBoxes))
        box->setChecked(selectAll && box->isEnabled());
}

void ChannelSet::pt_Quit_clicked()
{
    close();
}

void ChannelSet::OK_Clicked()
{
    m_ChannelMode = Vocabulary::current(comboBox_Mode);
    QList<bool> checked;
    QStringList numbers;
    for (int row = 0; row < m_CheckBoxes.size(); ++row) {
        checked << m_CheckBoxes.at(row)->isChecked();
        numbers << tableWidget_List->item(row, ColChannel)->text();
    }
    if (!checked.contains(true)) {
        MessageBox::information(this, tr("提示"), tr("请先选择需要校准的通道！"));
        return;
    }
    m_Selected = ChannelChoice::selectedByDevice(m_RowCounts, checked, numbers);
    accept();
}
