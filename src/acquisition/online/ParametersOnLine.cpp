#include "ParametersOnLine.h"

#include "MessageBox.h"
#include "OnlineSession.h"
#include "QWaiting.h"
#include "SystemContext.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

#if defined(ARQ_ONLINE_LIVE_TABS)
#include "ParametersChart.h"
#include "ParametersStatistics.h"
#endif

// The two tabs of one project.
struct ParametersOnLine::ProjectTabs
{
#if defined(ARQ_ONLINE_LIVE_TABS)
    ParametersChart* chart = nullptr;
    ParametersStatistics* statistics = nullptr;
#endif
};

ParametersOnLine::ParametersOnLine(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("数据采集"));
    setWindowFlags(Qt::Dialog | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    resize(1100, 700);

    tabWidget = new QTabWidget(this);
    tabWidget->setObjectName(QStringLiteral("tabWidget"));
    label_Information = new QLabel(tr("消息："), this);
    label_Information->setObjectName(QStringLiteral("label_Information"));
    lineEdit_Information = new QLineEdit(this);
    lineEdit_Information->setObjectName(QStringLiteral("lineEdit_Information"));
    lineEdit_Information->setReadOnly(true);
    pushButton_OK = new QPushButton(OnlineSession::commandText(OnlineSession::Stop), this);
    pushButton_OK->setObjectName(QStringLiteral("pushButton_OK"));
    pushButton_OK->setAutoDefault(false);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(label_Information);
    bottom->addWidget(lineEdit_Information, 1);
    bottom->addWidget(pushButton_OK);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(tabWidget, 1);
    layout->addLayout(bottom);

    m_Session = new OnlineSession(this);
    connect(pushButton_OK, &QPushButton::clicked, this, &ParametersOnLine::pt_OK_clicked);
    connect(m_Session, &OnlineSession::setupFinished, this, &ParametersOnLine::SetDialog_slots);
    connect(m_Session, &OnlineSession::message, this, &ParametersOnLine::MessageBox_slots);
    connect(m_Session, &OnlineSession::scanSplit, this, &ParametersOnLine::DataHandle_slots);
    connect(m_Session, &OnlineSession::commandChanged, this, &ParametersOnLine::Command_slots);
    connect(m_Session, &OnlineSession::statusChanged, lineEdit_Information, &QLineEdit::setText);
}

ParametersOnLine::~ParametersOnLine()
{
    // The session first: it waits for its workers while the tabs still exist.
    delete m_Session;
    m_Session = nullptr;
    qDeleteAll(m_Tabs);
}

QString ParametersOnLine::statusText() const
{
    return lineEdit_Information->text();
}

QString ParametersOnLine::commandText() const
{
    return pushButton_OK->text();
}

void ParametersOnLine::setContext(SystemContext* context)
{
    m_Context = context;
    if (!context->SaveStart)
        setWindowTitle(tr("数据采集（不记录）"));
    m_Waiting = new QWaiting(this);
    m_Waiting->setText(tr("正在连接设备..."));
    m_Waiting->show();

    for (int k = 0; k < context->ProjectName.size(); ++k) {
        auto* tabs = new ProjectTabs;
        m_Tabs << tabs;
        QWidget* chartPage = nullptr;
        QWidget* statisticsPage = nullptr;
#if defined(ARQ_ONLINE_LIVE_TABS)
        QList<ChosenChannel> channels;
        QStringList labels;
        QStringList units;
        for (const ChosenChannel& c : qAsConst(context->ChannelList)) {
            if (c.ProjectIndex == k) {
                channels << c;
                labels << c.Label;
                units << c.Unit;
            }
        }
        tabs->chart = new ParametersChart(tabWidget);
        tabs->chart->setData(context, channels);
        tabs->statistics = new ParametersStatistics(tabWidget);
        tabs->statistics->setData(context->DataAccuracy, labels, units);
        tabs->statistics->shareValues(tabs->chart->model());
        chartPage = tabs->chart;
        statisticsPage = tabs->statistics;
#else
        chartPage = new QWidget(tabWidget);
        statisticsPage = new QWidget(tabWidget);
#endif
        tabWidget->insertTab(2 * k, chartPage, tr("项目%1结果").arg(k + 1));
        tabWidget->insertTab(2 * k + 1, statisticsPage, tr("项目%1统计").arg(k + 1));
    }
    m_Session->setContext(context);
}

void ParametersOnLine::SetDialog_slots(bool)
{
    if (m_Waiting) {
        m_Waiting->close();
        delete m_Waiting;
        m_Waiting = nullptr;
    }
}

void ParametersOnLine::MessageBox_slots(QString title, QString text)
{
    MessageBox::information(this, title, text);
}

void ParametersOnLine::DataHandle_slots(QDateTime time, QList<QList<double>> values)
{
#if defined(ARQ_ONLINE_LIVE_TABS)
    for (int p = 0; p < values.size() && p < m_Tabs.size(); ++p) {
        m_Tabs.at(p)->chart->addData(time, values.at(p));
        m_Tabs.at(p)->statistics->addData(time, values.at(p));
    }
#else
    Q_UNUSED(time)
    Q_UNUSED(values)
#endif
}

void ParametersOnLine::Command_slots(int command)
{
    pushButton_OK->setText(OnlineSession::commandText(command));
}

int ParametersOnLine::askSave()
{
    // A run that stores nothing has nothing to keep: only confirm the stop.
    if (!m_Session->recording())
        return MessageBox::question(this, tr("提示"), tr("是否停止采集？")) ? 0 : -1;
    const int choice = MessageBox::choose(this, tr("提示"), tr("是否保存采集数据？"),
                                          {tr("保存"), tr("不保存"), tr("取消")});
    return choice == 0 || choice == 1 ? choice : -1;
}

void ParametersOnLine::pt_OK_clicked()
{
    const QString caption = pushButton_OK->text();
    if (caption == OnlineSession::commandText(OnlineSession::Stop)) {
        const int save = askSave();
        if (save < 0)
            return;
        m_Session->requestStop(save == 0);
    } else if (caption == OnlineSession::commandText(OnlineSession::Continue)) {
        const int choice = MessageBox::choose(this, tr("提示"), tr("是否终止项目？"),
                                              {tr("终止"), tr("继续"), tr("取消")});
        if (choice == 0) {
            const int save = askSave();
            if (save < 0)
                return;
            m_Session->requestStop(save == 0);
        } else if (choice == 1) {
            m_Session->resumeReconnect();
        }
    } else {
        accept();
    }
}

bool ParametersOnLine::mayClose()
{
    if (m_Session->command() == OnlineSession::Finish)
        return true;
    MessageBox::information(this, tr("提示"), tr("正在采集中，请先结束！"));
    return false;
}

void ParametersOnLine::reject()
{
    if (mayClose())
        QDialog::reject();
}

void ParametersOnLine::closeEvent(QCloseEvent* event)
{
    if (mayClose())
        event->accept();
    else
        event->ignore();
}
