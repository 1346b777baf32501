#include "ParametersChannel.h"

#include "AcquisitionRules.h"
#include "MessageBox.h"
#include "SystemContext.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

ParametersChannel::ParametersChannel(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ParametersChannel"));
    setWindowIcon(QIcon(QStringLiteral(":/Tervan/Image/Parameters.png")));

    tableWidget_List = new QTableWidget(this);
    tableWidget_List->setObjectName(QStringLiteral("tableWidget_List"));
    tableWidget_List->setColumnCount(3);
    tableWidget_List->verticalHeader()->setVisible(false);
    tableWidget_List->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableWidget_List->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableWidget_List->horizontalHeader()->setStretchLastSection(true);

    pushButton_OK = new QPushButton(this);
    pushButton_OK->setObjectName(QStringLiteral("pushButton_OK"));
    connect(pushButton_OK, &QPushButton::clicked, this, &ParametersChannel::pt_OK_clicked);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(pushButton_OK);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tableWidget_List, 1);
    layout->addLayout(buttons);

    retranslateUi();
}

void ParametersChannel::retranslateUi()
{
    setWindowTitle(tr("通道配置"));
    tableWidget_List->setHorizontalHeaderLabels({tr("设备"), tr("通道"), tr("项目")});
    pushButton_OK->setText(tr("下一步"));
}

void ParametersChannel::setContext(SystemContext* context)
{
    m_context = context;
    if (!m_context)
        return;
    m_devices = m_context->AcquisitionDevice;
    m_configs = m_context->ChannelConfig;
    m_deviceCount = m_devices.size();
    m_rowDevice.clear();

    tableWidget_List->setRowCount(0);
    // The set-up keeps devices and configurations the same length; should
    // they differ, only the pairs that exist are listed.
    const int devices = qMin(m_deviceCount, m_configs.size());
    for (int i = 0; i < devices; ++i) {
        const auto& d = m_devices.at(i);
        const auto& c = m_configs.at(i);
        for (int j = 0; j < c.Number; ++j) {
            const int row = tableWidget_List->rowCount();
            tableWidget_List->insertRow(row);
            tableWidget_List->setItem(row, 0, new QTableWidgetItem(QString::number(d.Number) +
                                                                  QLatin1Char('_') + d.Mode));
            tableWidget_List->setItem(row, 1, new QTableWidgetItem(c.ChannelNumber.value(j)));
            auto* projects = new QComboBox(tableWidget_List);
            projects->addItems(m_context->ProjectName);
            projects->setCurrentIndex(m_context->ProjectName.isEmpty() ? -1 : 0);
            tableWidget_List->setCellWidget(row, 2, projects);
            m_rowDevice << i;
        }
    }
    tableWidget_List->resizeColumnsToContents();
}

int ParametersChannel::rowCount() const
{
    return tableWidget_List->rowCount();
}

void ParametersChannel::setProject(int row, int project)
{
    if (auto* box = qobject_cast<QComboBox*>(tableWidget_List->cellWidget(row, 2)))
        box->setCurrentIndex(project);
}

void ParametersChannel::pt_OK_clicked()
{
    if (!m_context)
        return;
    QList<int> projects;
    for (int r = 0; r < tableWidget_List->rowCount(); ++r) {
        auto* box = qobject_cast<QComboBox*>(tableWidget_List->cellWidget(r, 2));
        projects << (box ? box->currentIndex() : 0);
    }
    m_context->ChannelList =
        AcquisitionRules::chosenChannels(m_configs.mid(0, m_deviceCount), projects);

    const auto check = AcquisitionRules::checkChoice(m_context->ChannelList, m_context->ProjectName.size());
    const QString title = tr("警告");
    switch (check.problem) {
    case AcquisitionRules::ProjectWithoutChannel:
        MessageBox::information(this, title, tr("项目%1:未选择通道！").arg(check.project + 1));
        return;
    case AcquisitionRules::TooManyUnits:
        MessageBox::information(this, title, tr("项目%1:通道单位最多为两类！").arg(check.project + 1));
        return;
    case AcquisitionRules::ChoiceOk:
        break;
    }
    if (!m_context->ChannelList.isEmpty())
        accept();
}
