#include "ParametersImport.h"

#include "MessageBox.h"
#include "OnlineRules.h"
#include "SystemContext.h"
#include "TransferTask.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlDatabase>

namespace {
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
}

ParametersImport::ParametersImport(QWidget* parent)
    : QDialog(parent)
    , m_task(new TransferTask(this))
{
    setWindowTitle(tr("数据导入"));
    m_infoTitle = tr("提示");
    m_warningTitle = tr("警告");
    auto* grid = new QGridLayout(this);
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(new QLabel(tr("文件名："), this), i, 0);
        m_names[i] = new QLineEdit(this);
        m_names[i]->setObjectName(QStringLiteral("lineEdit_Name%1").arg(i + 1));
        m_names[i]->setReadOnly(true);
        grid->addWidget(m_names[i], i, 1);
        m_choices[i] = new QPushButton(tr("选择"), this);
        m_choices[i]->setObjectName(QStringLiteral("pushButton_Choice%1").arg(i + 1));
        m_choices[i]->setEnabled(i == 0);
        grid->addWidget(m_choices[i], i, 2);
    }
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("progressBar_Import"));
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setVisible(false);
    grid->addWidget(m_progress, 3, 0, 1, 3);
    pushButton_OK = new QPushButton(tr("确定"), this);
    pushButton_OK->setObjectName(QStringLiteral("pushButton_OK"));
    grid->addWidget(pushButton_OK, 4, 2);

    connect(m_choices[0], &QPushButton::clicked, this, &ParametersImport::pt_Set1_clicked);
    connect(m_choices[1], &QPushButton::clicked, this, &ParametersImport::pt_Set2_clicked);
    connect(m_choices[2], &QPushButton::clicked, this, &ParametersImport::pt_Set3_clicked);
    connect(pushButton_OK, &QPushButton::clicked, this, &ParametersImport::pt_OK_clicked);
    connect(m_task, &TransferTask::progress, this, &ParametersImport::onProgress, Qt::QueuedConnection);
    connect(m_task, &TransferTask::finished, this, &ParametersImport::onFinished, Qt::QueuedConnection);
}

ParametersImport::~ParametersImport() = default;

void ParametersImport::setContext(SystemContext* context)
{
    m_context = context;
    // The record time is the moment the import was set up, kept across retries.
    m_projects = OnlineRules::composeProjects(*context, QDateTime::currentDateTime());
    const int devices = context->AcquisitionDevice.size();
    m_choices[1]->setEnabled(devices >= 2);
    m_choices[2]->setEnabled(devices >= 3);
}

void ParametersImport::setFilePath(int slot, const QString& path)
{
    if (slot < 0 || slot > 2)
        return;
    m_paths[slot] = path;
    m_names[slot]->setText(QFileInfo(path).fileName());
}

bool ParametersImport::busy() const { return m_task->running(); }

void ParametersImport::pt_Set1_clicked() { choose(0); }
void ParametersImport::pt_Set2_clicked() { choose(1); }
void ParametersImport::pt_Set3_clicked() { choose(2); }

void ParametersImport::choose(int slot)
{
    const QString path =
        FileDialog::getOpenFileName(this, tr("选择文件"), QStringLiteral("./"), QStringLiteral("Text files (*.csv)"));
    if (!path.isEmpty())
        setFilePath(slot, path);
}

void ParametersImport::pt_OK_clicked()
{
    if (!m_context || busy())
        return;
    TransferRules::ImportJob job;
    job.devices = m_context->AcquisitionDevice;
    job.configs = m_context->ChannelConfig;
    job.chosen = m_context->ChannelList;
    job.projectNames = m_context->ProjectName;
    job.paths = m_paths.mid(0, job.devices.size());
    job.start = QDateTime::fromString(m_context->StartTime, kTimeFormat);
    job.end = QDateTime::fromString(m_context->EndTime, kTimeFormat);
    job.scanInterval = job.devices.isEmpty() ? 0 : job.devices.first().ScanInterval;
    // Refused before any file is read: no worker, no progress.
    const int missing = TransferRules::deviceWithoutReader(job.devices);
    if (missing >= 0) {
        MessageBox::warning(this, m_warningTitle, tr("该设备不支持数据导入：") + job.devices.at(missing).Mode);
        return;
    }
    const QString databasePath =
        QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false).databaseName();
    setBusy(true);
    m_task->start([job](const TransferRules::Progress& progress, const std::atomic<bool>* cancel,
                        const TransferRules::RowSink& sink) { return TransferRules::importFiles(job, progress, cancel, sink); },
                  m_projects, databasePath);
}

void ParametersImport::onProgress(int percent)
{
    if (percent < 0) {
        m_progress->setRange(0, 0);
    } else {
        m_progress->setRange(0, 100);
        m_progress->setValue(percent);
    }
}

void ParametersImport::onFinished(const QString& failure)
{
    setBusy(false);
    if (!failure.isEmpty()) {
        // Nothing was stored: the database is as it was before the press.
        MessageBox::warning(this, m_warningTitle, failure);
        emit importFinished(false);
        return;
    }
    MessageBox::information(this, m_infoTitle, tr("数据保存成功！"));
    emit importFinished(true);
    accept();
}

void ParametersImport::setBusy(bool busy)
{
    m_progress->setVisible(busy);
    m_progress->setValue(0);
    pushButton_OK->setEnabled(!busy);
    const int devices = m_context ? m_context->AcquisitionDevice.size() : 1;
    for (int i = 0; i < 3; ++i)
        m_choices[i]->setEnabled(!busy && i < qMax(1, devices));
}

void ParametersImport::reject()
{
    if (!busy())
        QDialog::reject();
}

void ParametersImport::closeEvent(QCloseEvent* event)
{
    if (busy())
        event->ignore();
    else
        QDialog::closeEvent(event);
}
