#include "TransferTask.h"

#include "Tool.h"

#include <QCoreApplication>
#include <QThread>

#include <new>
#include <thread>

TransferTask::TransferTask(QObject* parent)
    : QObject(parent)
{
    // Connected first, so every later receiver of finished() sees the task idle.
    connect(this, &TransferTask::finished, this, [this] { m_active = false; }, Qt::QueuedConnection);
}

TransferTask::~TransferTask()
{
    m_cancel = true;
    while (m_running.load())
        QThread::msleep(2);
}

QString TransferTask::run(const Reader& read, const QList<Tool::Struct_Parameters>& projects,
                          const QString& databasePath)
{
    const QString saveFailed = QCoreApplication::translate("ParametersImport", "采集数据保存失败！");
    Tool::WorkerConnection connection(databasePath);
    if (!connection.isOpen())
        return saveFailed;
    // The rows go into the open transaction as they are read; the reading
    // sets the progress (the store keeps pace with it).
    const TransferRules::Progress readProgress = [this](qint64 done, qint64 total) {
        emit progress(total > 0 ? static_cast<int>(done * 99 / total) : -1);
    };
    TransferRules::Outcome outcome;
    QString taken;
    const Tool::StoreOutcome stored = Tool::addProjects(
        projects,
        [&](const Tool::RowBatchInserter& insert) {
            outcome = read(readProgress, &m_cancel, insert);
            return outcome.ok();
        },
        connection.name(), [this](int) { return !m_cancel.load(); }, &taken);
    if (stored == Tool::StoreOutcome::NameTaken)
        return QCoreApplication::translate("ParametersImport", "已存在同名项目，未保存任何数据：") + taken;
    if (stored == Tool::StoreOutcome::Failed)
        return outcome.failure.isEmpty() || outcome.refused ? saveFailed : outcome.failure;
    return QString();
}

void TransferTask::start(Reader read, const QList<Tool::Struct_Parameters>& projects, const QString& databasePath)
{
    if (m_active)
        return;
    // The previous worker may still be between its last signal and its end.
    while (m_running.load())
        QThread::msleep(1);
    m_active = true;
    m_running = true;
    m_cancel = false;
    std::thread([this, read, projects, databasePath] {
        QString failure;
        try {
            failure = run(read, projects, databasePath);
        } catch (const std::bad_alloc&) {
            // The transaction was rolled back on the way out.
            failure = QCoreApplication::translate("ParametersImport", "内存不足，未保存任何数据！");
        }
        if (failure.isEmpty())
            emit progress(100);
        emit finished(failure);
        m_running = false; // the last touch of this object
    }).detach();
}
