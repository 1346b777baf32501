#include "TransferTask.h"

#include "Tool.h"

#include <QCoreApplication>
#include <QThread>

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
        // Reading is worth 60 %, storing 40 %.
        const TransferRules::Progress readProgress = [this](qint64 done, qint64 total) {
            emit progress(total > 0 ? static_cast<int>(done * 60 / total) : -1);
        };
        TransferRules::Outcome outcome = read(readProgress, &m_cancel);
        QString failure = outcome.failure;
        if (failure.isEmpty()) {
            const int total = qMax(1, outcome.rows.size());
            Tool::WorkerConnection connection(databasePath);
            QString taken;
            const Tool::StoreOutcome stored =
                connection.isOpen()
                    ? Tool::addProjects(projects, outcome.rows, connection.name(),
                                        [this, total](int done) {
                                            emit progress(60 + static_cast<int>(qint64(done) * 40 / total));
                                            return !m_cancel.load();
                                        },
                                        &taken)
                    : Tool::StoreOutcome::Failed;
            if (stored == Tool::StoreOutcome::NameTaken)
                failure = QCoreApplication::translate("ParametersImport", "已存在同名项目，未保存任何数据：") + taken;
            else if (stored == Tool::StoreOutcome::Failed)
                failure = QCoreApplication::translate("ParametersImport", "采集数据保存失败！");
        }
        if (failure.isEmpty())
            emit progress(100);
        emit finished(failure);
        m_running = false; // the last touch of this object
    }).detach();
}
