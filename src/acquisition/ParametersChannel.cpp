#include "ParametersChannel.h"

#include "AcquisitionRules.h"
#include "MessageBox.h"
#include "SystemContext.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QIcon>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

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
    fitToRows();
}

// As large as its rows (a 3107A lists 16, three devices up to 78), within
// the screen: the table's own size hint shows about five.
void ParametersChannel::fitToRows()
{
    QTableWidget* t = tableWidget_List;
    // Rows as tall as their project boxes.
    t->resizeRowsToContents();
    const int frame = 2 * t->frameWidth();
    const int tableHeight = t->horizontalHeader()->sizeHint().height() + t->verticalHeader()->length() + frame;
    // Every column whole; the stretched last one at least its default size
    // (and its project boxes), a few pixels over for rounding.
    QHeaderView* header = t->horizontalHeader();
    const int last = t->columnCount() - 1;
    int columns = 0;
    for (int c = 0; c < last; ++c)
        columns += header->sectionSize(c);
    columns += std::max({header->sectionSize(last), header->defaultSectionSize(), header->sectionSizeHint(last)});
    const int tableWidth = columns + frame + t->verticalScrollBar()->sizeHint().width() + 4;
    const QMargins margins = layout()->contentsMargins();
    const int spacing = std::max(layout()->spacing(), 0);
    const int wanted = margins.top() + tableHeight + spacing + pushButton_OK->sizeHint().height() + margins.bottom();
    const QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    // Room for the title bar and the task bar.
    const int available = screen ? screen->availableGeometry().height() - 80 : wanted;
    const int width = std::max(sizeHint().width(), margins.left() + tableWidth + margins.right());
    resize(width, std::max(std::min(wanted, available), sizeHint().height()));
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
