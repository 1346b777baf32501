#include "ParametersDisconnection.h"

#include "ChannelModel.h"
#include "Collection.h"
#include "MessageBox.h"
#include "OnlineRules.h"
#include "QWaiting.h"
#include "TransferTask.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlDatabase>
#include <QTableWidget>
#include <QTextStream>
#include <QThread>
#include <QVBoxLayout>

#include <thread>

namespace {
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
}

ParametersDisconnection::ParametersDisconnection(QWidget* parent)
    : QDialog(parent)
    , m_task(new TransferTask(this))
{
    setWindowTitle(tr("离线下载"));
    resize(666, 488);
    m_infoTitle = tr("提示");
    m_warningTitle = tr("警告");

    auto* layout = new QVBoxLayout(this);
    // The records are matched to the planned start within a second: the
    // user must know it before the instruments are started.
    label_Hint = new QLabel(this);
    label_Hint->setObjectName(QStringLiteral("label_Hint"));
    label_Hint->setWordWrap(true);
    layout->addWidget(label_Hint);
    pushButton_Query = new QPushButton(tr("查询"), this);
    pushButton_Query->setObjectName(QStringLiteral("pushButton_Query"));
    layout->addWidget(pushButton_Query);
    auto* tables = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        QTableWidget* t = new QTableWidget(0, 1, this);
        t->setObjectName(QStringLiteral("tableWidget_List%1").arg(i + 1));
        t->setHorizontalHeaderLabels({tr("文件名称")});
        t->horizontalHeader()->setStretchLastSection(true);
        t->verticalHeader()->setVisible(false);
        t->setEditTriggers(QAbstractItemView::NoEditTriggers);
        t->setSelectionBehavior(QAbstractItemView::SelectRows);
        tables->addWidget(t);
        m_tables[i] = t;
    }
    layout->addLayout(tables);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progressBar_Save"));
    m_progress->setVisible(false);
    layout->addWidget(m_progress);
    auto* buttons = new QHBoxLayout;
    pushButton_Download = new QPushButton(tr("下载数据"), this);
    pushButton_Download->setObjectName(QStringLiteral("pushButton_Download"));
    pushButton_Set = new QPushButton(tr("设置参数"), this);
    pushButton_Set->setObjectName(QStringLiteral("pushButton_Set"));
    pushButton_OK = new QPushButton(tr("保存数据"), this);
    pushButton_OK->setObjectName(QStringLiteral("pushButton_OK"));
    pushButton_Cancel = new QPushButton(tr("取消"), this);
    pushButton_Cancel->setObjectName(QStringLiteral("pushButton_Cancel"));
    pushButton_Cancel->setEnabled(false);
    buttons->addWidget(pushButton_Download);
    buttons->addWidget(pushButton_Set);
    buttons->addWidget(pushButton_OK);
    buttons->addWidget(pushButton_Cancel);
    layout->addLayout(buttons);

    removeWorkingFiles();

    connect(pushButton_Query, &QPushButton::clicked, this, &ParametersDisconnection::pt_Query_clicked);
    connect(pushButton_Download, &QPushButton::clicked, this, &ParametersDisconnection::pt_Download_clicked);
    connect(pushButton_Set, &QPushButton::clicked, this, &ParametersDisconnection::pt_Set_clicked);
    connect(pushButton_OK, &QPushButton::clicked, this, &ParametersDisconnection::pt_OK_clicked);
    connect(pushButton_Cancel, &QPushButton::clicked, this, &ParametersDisconnection::pt_Cancel_clicked);
    connect(this, &ParametersDisconnection::SetDialog_signals, this, &ParametersDisconnection::SetDialog_slots,
            Qt::QueuedConnection);
    connect(this, &ParametersDisconnection::MessageBox_signals, this, &ParametersDisconnection::MessageBox_slots,
            Qt::QueuedConnection);
    connect(this, &ParametersDisconnection::TableWidgetRefresh_signals, this,
            &ParametersDisconnection::TableWidgetRefresh_slots, Qt::QueuedConnection);
    connect(m_task, &TransferTask::progress, this,
            [this](int percent) {
                m_progress->setRange(0, percent < 0 ? 0 : 100);
                if (percent >= 0)
                    m_progress->setValue(percent);
            },
            Qt::QueuedConnection);
    connect(m_task, &TransferTask::finished, this, &ParametersDisconnection::onSaveFinished, Qt::QueuedConnection);
}

ParametersDisconnection::~ParametersDisconnection()
{
    // A driver call in progress ends only by its own time-out and its link
    // lives on this thread: keep events flowing until the worker is gone.
    while (m_workers.load() > 0) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
        QThread::msleep(1);
    }
    delete m_task; // waits for a save in progress, which is then not stored
    m_task = nullptr;
    qDeleteAll(m_drivers);
    delete m_waiting;
    removeWorkingFiles();
}

QString ParametersDisconnection::workingFileName(int index)
{
    return QStringLiteral("WiredData_%1.csv").arg(index);
}

void ParametersDisconnection::removeWorkingFiles()
{
    for (int i = 0; i < 3; ++i)
        QFile::remove(workingFileName(i));
}

QTableWidget* ParametersDisconnection::table(int index) const
{
    return index >= 0 && index < 3 ? m_tables[index] : nullptr;
}

bool ParametersDisconnection::busy() const
{
    return m_workers.load() > 0 || (m_task && m_task->running());
}

void ParametersDisconnection::setContext(SystemContext* context)
{
    m_context = context;
    m_devices = context->AcquisitionDevice;
    m_configs = context->ChannelConfig;
    m_chosen = context->ChannelList;
    m_projectNames = context->ProjectName;
    m_interval = m_devices.isEmpty() ? 0 : m_devices.first().ScanInterval;
    m_start = QDateTime::fromString(context->StartTime, kTimeFormat);
    m_end = QDateTime::fromString(context->EndTime, kTimeFormat);
    m_projects = OnlineRules::composeProjects(*context, QDateTime::currentDateTime());
    for (int i = m_devices.size(); i < 3; ++i)
        m_tables[i]->setVisible(false);
    label_Hint->setText(
        tr("请在计划开始时间 %1 前后1秒内在仪器上启动扫描，否则无法保存数据。").arg(context->StartTime));
    for (int i = 0; i < m_devices.size(); ++i) {
        m_drivers << ChannelModel::createCollection(m_devices.at(i).Mode);
        if (m_drivers.last())
            m_drivers.last()->setStopFlag(&m_cancel);
        m_channelSets << (i < m_configs.size() ? ChannelModel::toChannels(m_configs.at(i))
                                               : QList<Device::Channel>());
    }
}

// --- buttons ------------------------------------------------------------------

void ParametersDisconnection::showBusy(const QString& text)
{
    delete m_waiting;
    m_waiting = new QWaiting(this);
    if (!text.isEmpty())
        m_waiting->setText(text);
    // Modal, it covers the dialog's own 取消.
    m_waiting->offerCancel(tr("取消"));
    connect(m_waiting, &QWaiting::cancelRequested, this, &ParametersDisconnection::pt_Cancel_clicked);
    m_waiting->show();
}

// One worker at a time: the drivers must never be driven by two at once.
void ParametersDisconnection::setButtonsEnabled(bool enabled)
{
    pushButton_Query->setEnabled(enabled);
    pushButton_Download->setEnabled(enabled);
    pushButton_Set->setEnabled(enabled);
    pushButton_OK->setEnabled(enabled);
}

void ParametersDisconnection::startWorker(void (ParametersDisconnection::*work)())
{
    setButtonsEnabled(false);
    m_cancel = false;
    pushButton_Cancel->setEnabled(true);
    ++m_workers;
    std::thread([this, work] {
        (this->*work)();
        --m_workers; // the last touch of this object
    }).detach();
}

void ParametersDisconnection::pt_Set_clicked()
{
    if (busy())
        return;
    if (!TransferRules::wholeSecondInterval(m_interval)) {
        MessageBox::warning(this, m_warningTitle,
                            tr("脱机采集的扫描间隔须为整数秒，请修改设备的扫描间隔：") + QString::number(m_interval));
        return;
    }
    showBusy(QString());
    startWorker(&ParametersDisconnection::setWorker);
}

void ParametersDisconnection::pt_Query_clicked()
{
    if (busy())
        return;
    startWorker(&ParametersDisconnection::queryWorker);
}

void ParametersDisconnection::pt_Cancel_clicked()
{
    if (m_workers.load() > 0)
        m_cancel = true;
}

void ParametersDisconnection::pt_Download_clicked()
{
    if (busy())
        return;
    m_haveSummary = false;
    // The worker never reads the tables: the choices are taken here.
    m_selected.clear();
    for (int i = 0; i < m_devices.size(); ++i) {
        const QList<QTableWidgetItem*> items = m_tables[i]->selectedItems();
        m_selected << (items.isEmpty() ? QString() : items.first()->text());
    }
    showBusy(tr("文件下载中，请稍等..."));
    removeWorkingFiles();
    startWorker(&ParametersDisconnection::downloadWorker);
}

TransferRules::WorkingFilesJob ParametersDisconnection::workingFilesJob() const
{
    TransferRules::WorkingFilesJob job;
    for (int i = 0; i < m_devices.size(); ++i)
        job.paths << workingFileName(i);
    job.chosen = m_chosen;
    job.projectNames = m_projectNames;
    job.start = m_start;
    job.end = m_end;
    job.scanInterval = m_interval;
    return job;
}

void ParametersDisconnection::pt_OK_clicked()
{
    if (busy() || !m_context)
        return;
    const TransferRules::WorkingFilesJob job = workingFilesJob();
    // A download that ended early still saves, over a shorter span: only
    // when the user says so.
    const QDateTime planned = TransferRules::plannedLastScan(m_start, m_end, m_interval);
    if (m_haveSummary && m_summary.failure.isEmpty() && m_summary.last.isValid() && planned.isValid()
        && m_summary.last < planned
        && !MessageBox::question(this, m_infoTitle,
                                 tr("保存的数据截止于 %1，早于计划的最后一次扫描 %2。是否仍然保存？")
                                     .arg(m_summary.last.toString(kTimeFormat), planned.toString(kTimeFormat))))
        return;
    const QString databasePath =
        QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false).databaseName();
    setButtonsEnabled(false);
    m_progress->setVisible(true);
    m_progress->setValue(0);
    m_task->start([job](const TransferRules::Progress& progress, const std::atomic<bool>* cancel,
                        const TransferRules::RowSink& sink) {
        return TransferRules::readWorkingFiles(job, progress, cancel, sink);
    },
                  m_projects, databasePath);
}

void ParametersDisconnection::onSaveFinished(const QString& failure)
{
    m_progress->setVisible(false);
    setButtonsEnabled(true);
    emit workFinished();
    if (!failure.isEmpty()) {
        // Nothing was stored; earlier projects of any name are untouched.
        MessageBox::warning(this, m_warningTitle, failure);
        return;
    }
    accept();
}

void ParametersDisconnection::reject()
{
    if (!busy())
        QDialog::reject();
}

void ParametersDisconnection::closeEvent(QCloseEvent* event)
{
    if (busy())
        event->ignore();
    else
        QDialog::closeEvent(event);
}

// --- slots of the workers' signals ----------------------------------------------

void ParametersDisconnection::SetDialog_slots()
{
    if (m_waiting) {
        m_waiting->close();
        m_waiting->deleteLater();
        m_waiting = nullptr;
    }
}

void ParametersDisconnection::MessageBox_slots(QString title, QString text)
{
    pushButton_Cancel->setEnabled(false);
    MessageBox::information(this, title, text);
    setButtonsEnabled(true);
    emit workFinished();
}

void ParametersDisconnection::TableWidgetRefresh_slots(int index, QStringList names)
{
    QTableWidget* t = table(index);
    if (!t)
        return;
    t->setRowCount(0);
    for (const QString& name : names) {
        const int row = t->rowCount();
        t->insertRow(row);
        t->setItem(row, 0, new QTableWidgetItem(name));
    }
    t->horizontalHeader()->setStretchLastSection(false);
    t->resizeColumnToContents(0);
    t->horizontalHeader()->setStretchLastSection(true);
}

// --- workers -----------------------------------------------------------------------

void ParametersDisconnection::closeDevices()
{
    for (Collection* d : qAsConst(m_drivers)) {
        if (d && d->IsOpen())
            d->Close();
    }
}

void ParametersDisconnection::setWorker()
{
    const int count = TransferRules::triggerCount(m_start, m_end, m_interval);
    const QString rate = m_devices.isEmpty() ? QString() : m_devices.first().ScanRate;
    QString message = tr("设备设置成功！");
    if (m_drivers.isEmpty())
        message = tr("设备连接失败,请重试！");
    for (int i = 0; i < m_drivers.size(); ++i) {
        const Tool::Struct_AcquisitionDevice& d = m_devices.at(i);
        Collection* driver = m_drivers.at(i);
        // A model without a driver is a device that cannot be reached.
        if (!driver || !driver->Open(d.SignalMode, d.IP_COM, d.Port_BaudRate)) {
            message = tr("设备连接失败,请重试！");
            break;
        }
        // The settings are writes only, which a serial port takes with no
        // instrument behind it: the instrument must say who it is first.
        QString identity;
        if (!driver->GetSerialNumber(identity)) {
            message = tr("设备设置失败！");
            break;
        }
        if (m_cancel) {
            message = tr("操作已取消！");
            break;
        }
        if (!driver->SetChannels(rate, m_channelSets.at(i))) {
            message = tr("通道设置失败,请退出重试!");
            break;
        }
        if (!driver->SetAutoLog(true)) {
            message = tr("设置自动保存失败!");
            break;
        }
        if (!driver->SetTrigger(m_interval, count)) {
            message = tr("触发设置失败!");
            break;
        }
    }
    closeDevices();
    emit SetDialog_signals();
    emit MessageBox_signals(m_infoTitle, message);
}

void ParametersDisconnection::queryWorker()
{
    QString message = tr("获取成功！");
    for (int i = 0; i < m_drivers.size(); ++i) {
        const Tool::Struct_AcquisitionDevice& d = m_devices.at(i);
        Collection* driver = m_drivers.at(i);
        QStringList names;
        // A model without a driver is a device that cannot be reached.
        if (!driver || !driver->Open(d.SignalMode, d.IP_COM, d.Port_BaudRate)) {
            message = tr("设备连接失败,请重试！");
            break;
        }
        if (!driver->GetLogFileList(names)) {
            message = m_cancel ? tr("操作已取消！") : tr("获取文件名失败,请重试！");
            break;
        }
        emit TableWidgetRefresh_signals(i, names);
    }
    closeDevices();
    emit MessageBox_signals(m_infoTitle, message);
}

void ParametersDisconnection::downloadWorker()
{
    QString message = tr("设备下载完成！");
    bool complete = true;
    QList<bool> dropped;
    for (int i = 0; i < m_drivers.size(); ++i) {
        complete = false;
        const Tool::Struct_AcquisitionDevice& d = m_devices.at(i);
        Collection* driver = m_drivers.at(i);
        if (i >= m_selected.size() || m_selected.at(i).isEmpty()) {
            message = tr("请先选中文件！");
            break;
        }
        // A model without a driver is a device that cannot be reached.
        if (!driver || !driver->Open(d.SignalMode, d.IP_COM, d.Port_BaudRate)) {
            message = tr("设备连接失败,请重试！");
            break;
        }
        if (!driver->ReadLogFile(m_selected.at(i))) {
            message = tr("下载失败，请重试！");
            break;
        }
        QFile file(workingFileName(i));
        if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::NewOnly)) {
            message = tr("写文件失败，请重试！");
            break;
        }
        QTextStream out(&file);
        QString reply;
        // The end of a log file is the first read that times out.
        while (!m_cancel && driver->Read(reply))
            out << reply << '\n';
        out.flush();
        file.close();
        if (m_cancel) {
            // Part of a file is no file: nothing is left to be saved.
            removeWorkingFiles();
            message = tr("操作已取消！");
            break;
        }
        // A link that went away ended the file, not the instrument.
        dropped << !driver->IsOpen();
        complete = true;
    }
    closeDevices();
    if (complete && !m_drivers.isEmpty())
        message = downloadReport(dropped);
    emit SetDialog_signals();
    emit MessageBox_signals(m_infoTitle, message);
}

QString ParametersDisconnection::downloadReport(const QList<bool>& dropped)
{
    m_summary = TransferRules::summarize(workingFilesJob());
    m_haveSummary = true;
    QString text = tr("设备下载完成！");
    for (int i = 0; i < m_summary.records.size(); ++i) {
        text += QLatin1Char('\n') + tr("设备%1：%2条记录").arg(i + 1).arg(m_summary.records.at(i));
        if (dropped.value(i))
            text += tr("（下载中连接断开）");
    }
    if (!m_summary.failure.isEmpty()) {
        text += QLatin1Char('\n') + tr("这些数据无法保存：") + m_summary.failure;
        return text;
    }
    if (!m_summary.last.isValid())
        return text;
    text += QLatin1Char('\n')
            + tr("保存数据的时间范围：%1 至 %2")
                  .arg(m_summary.first.toString(kTimeFormat), m_summary.last.toString(kTimeFormat));
    const QDateTime planned = TransferRules::plannedLastScan(m_start, m_end, m_interval);
    if (planned.isValid() && m_summary.last < planned)
        text += QLatin1Char('\n') + tr("早于计划的最后一次扫描 %1！").arg(planned.toString(kTimeFormat));
    return text;
}
