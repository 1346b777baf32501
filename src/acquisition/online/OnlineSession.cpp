#include "OnlineSession.h"

#include "ChannelModel.h"
#include "Collection.h"
#include "SqlEngine.h"
#include "StoreWriter.h"
#include "Tool.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QThread>

#include <limits>
#include <thread>

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
// Warning-log vocabulary: stored as is, whatever the interface language.
const QString kAuditType = QStringLiteral("通讯异常");
const QString kReconnected = QStringLiteral("设备重新连接。");
const QString kManualMode = QStringLiteral("进入手动重连模式！");
const QString kManualDone = QStringLiteral("手动重连成功！");
const QString kStoreAuditType = QStringLiteral("数据库异常");

// A scan write waits this long for a lock another connection holds: the
// rows are held and retried anyway, and the window must not freeze.
const int kScanWriteBusyMs = 200;
// Held-scan writes per handled scan, so catching up never stalls the window.
const int kWritesPerScan = 4;

} // namespace

OnlineSession::OnlineSession(QObject* parent) : QObject(parent)
{
    // Every worker signal is queued: the slots run on the GUI thread even
    // when a worker emits.
    connect(this, &OnlineSession::SetDialog_signals, this, &OnlineSession::SetDialog_slots, Qt::QueuedConnection);
    connect(this, &OnlineSession::SaveAuditLog_signals, this, &OnlineSession::SaveAuditLog_slots,
            Qt::QueuedConnection);
    connect(this, &OnlineSession::MessageBox_signals, this, &OnlineSession::MessageBox_slots,
            Qt::QueuedConnection);
    connect(this, &OnlineSession::DataHandle_signals, this, &OnlineSession::DataHandle_slots,
            Qt::QueuedConnection);
    connect(this, &OnlineSession::Command_signals, this, &OnlineSession::Command_slots, Qt::QueuedConnection);
    connect(this, &OnlineSession::Status_signals, this, &OnlineSession::Status_slots, Qt::QueuedConnection);
    m_Clock.start();
}

OnlineSession::~OnlineSession()
{
    m_Closing = true;
    m_Stop = true;
    m_ReconnectWait = false;
    // The workers poll the stop flag, but a driver call in progress ends only
    // by its own time-out, and its link lives on this thread: keep events
    // flowing until both workers are gone.
    while (m_Workers.load() > 0) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 5);
        QThread::msleep(1);
    }
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); // last audit rows

    if (Tool::StoreWriter* writer = Tool::StoreWriter::instance()) {
        // A server that answers has the last scans in a moment; one out of
        // reach is not waited for: what is left goes to the side file.
        if (!m_Discarded && !writer->state().failing) {
            writer->waitIdle(2000, this);
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents); // their "stored"
        }
        for (const QList<Tool::Struct_ParametersData>& rows : writer->takeBack(this))
            if (!m_Discarded)
                m_Held.add(HeldRows::Scan{-1, rows.first().Time, rows});
        if (!m_Held.isEmpty())
            keepHeldAtClose("while the lab server was out of reach");
    }
    if (!m_Discarded && !m_Held.isEmpty() && !flushHeld(true))
        keepHeldAtClose("at close");

    // A run stopped before its first scan keeps its planned times.
    if (m_ProjectsStored && !m_Discarded && m_LastScan.isValid()) {
        const QString start = actualStart().toString(kTimeFormat);
        const QString end = m_LastScan.toString(kTimeFormat);
        for (const Tool::Struct_Parameters& p : qAsConst(m_Projects))
            Tool::UpdataParametersEndTime(p.Name, start, end);
    }
    for (Collection* driver : qAsConst(m_Drivers)) {
        if (driver->IsOpen()) {
            driver->StopScan();
            driver->Close();
        }
    }
    qDeleteAll(m_Drivers);
}

QString OnlineSession::commandText(int command)
{
    switch (command) {
    case Continue: return tr("继续");
    case Finish: return tr("结束");
    default: return tr("停止");
    }
}

QDateTime OnlineSession::actualStart() const
{
    const qint64 ms = m_ActualStartMs.load();
    return ms ? QDateTime::fromMSecsSinceEpoch(ms) : m_Start;
}

void OnlineSession::setHoldLimits(int memoryScans, int batchScans, int firstRetryMs, int maxRetryMs,
                                  const QString& sideFile)
{
    m_SideFile = sideFile;
    m_HoldLimits[0] = memoryScans;
    m_HoldLimits[1] = batchScans;
    m_HoldLimits[2] = firstRetryMs;
    m_HoldLimits[3] = maxRetryMs;
}

void OnlineSession::setContext(SystemContext* context)
{
    m_Context = context;
    m_Devices = context->AcquisitionDevice;
    m_Configs = context->ChannelConfig;
    m_Chosen = context->ChannelList;
    m_Recording = context->SaveStart;
    if (!m_Devices.isEmpty()) {
        m_Interval = OnlineRules::intervalMs(m_Devices.first().ScanInterval);
        m_Rate = m_Devices.first().ScanRate;
    }
    m_Start = QDateTime::fromString(context->StartTime, kTimeFormat);
    m_End = QDateTime::fromString(context->EndTime, kTimeFormat);
    m_Projects = OnlineRules::composeProjects(*context, QDateTime::currentDateTime());
    // Held scans wait beside the bench's own file, also while the shared
    // records are on a lab server.
    m_DatabasePath = Tool::Sql::localDatabase().databaseName();
    // Beside the database, one file per run: a file left by a run that
    // ended abnormally is never mixed into this one.
    if (!m_SideFile.isEmpty()) {
        m_Held = HeldRows(m_SideFile);
    } else if (!m_DatabasePath.isEmpty()) {
        m_Held = HeldRows(QStringLiteral("%1.held-%2.tsv")
                              .arg(m_DatabasePath, QDateTime::currentDateTime().toString(
                                                       QStringLiteral("yyyyMMdd-hhmmss-zzz"))));
    }
    m_Held.setLimits(m_HoldLimits[0], m_HoldLimits[1]);
    m_Held.setBackoff(m_HoldLimits[2], m_HoldLimits[3]);

    for (int i = 0; i < m_Devices.size(); ++i) {
        m_Drivers << ChannelModel::createCollection(m_Devices.at(i).Mode);
        // A device without its configuration gets an empty channel set,
        // which SetChannels refuses: the set-up then fails with its message.
        m_ChannelSets << (i < m_Configs.size() ? ChannelModel::toChannels(m_Configs.at(i))
                                               : QList<Device::Channel>());
    }
    if (m_Drivers.contains(nullptr)) {
        // A model without a driver: no device is driven, and the set-up
        // fails as it does for a device that cannot be reached.
        qWarning() << "online acquisition: a device's model has no driver";
        qDeleteAll(m_Drivers);
        m_Drivers.clear();
    }
    startWorker(&OnlineSession::setupWorker);
}

void OnlineSession::startWorker(void (OnlineSession::*work)())
{
    ++m_Workers;
    std::thread([this, work] {
        (this->*work)();
        --m_Workers; // the last touch of this object
    }).detach();
}

// --- workers ----------------------------------------------------------------

void OnlineSession::setCommand(int command)
{
    m_Command = command;
    emit Command_signals(command);
}

void OnlineSession::setupWorker()
{
    QString failure;
    for (int i = 0; i < m_Drivers.size() && !m_Stop; ++i) {
        const Tool::Struct_AcquisitionDevice& d = m_Devices.at(i);
        if (!m_Drivers.at(i)->Open(d.SignalMode, d.IP_COM, d.Port_BaudRate)) {
            failure = tr("设备连接失败,请退出重试！");
            qWarning() << "online acquisition: device" << d.Number << "did not open";
            break;
        }
        if (!m_Drivers.at(i)->SetChannels(m_Rate, m_ChannelSets.at(i))) {
            failure = tr("通道设置失败,请退出重试!");
            qWarning() << "online acquisition: channel set of device" << d.Number << "refused";
            break;
        }
    }
    if (m_Drivers.isEmpty())
        failure = tr("设备连接失败,请退出重试！");
    if (!failure.isEmpty() || m_Stop) {
        if (!failure.isEmpty())
            emit MessageBox_signals(tr("提示"), failure);
        setCommand(Finish);
    }
    emit SetDialog_signals();
}

bool OnlineSession::readScan(QStringList& scan, QString& failure)
{
    scan.clear();
    for (Collection* driver : qAsConst(m_Drivers)) {
        if (m_Stop)
            return false;
        if (!driver->StartRead()) {
            failure = tr("写通道数据失败!");
            return false;
        }
    }
    for (Collection* driver : qAsConst(m_Drivers)) {
        QStringList values;
        if (!driver->WaitData(values)) {
            failure = tr("获取通道数据失败!");
            return false;
        }
        scan << values;
        if (m_Stop)
            return false; // a partial scan is never handled
    }
    return true;
}

bool OnlineSession::openAll()
{
    for (int i = 0; i < m_Drivers.size(); ++i) {
        if (m_Stop)
            return false;
        const Tool::Struct_AcquisitionDevice& d = m_Devices.at(i);
        if (!m_Drivers.at(i)->IsOpen() && !m_Drivers.at(i)->Open(d.SignalMode, d.IP_COM, d.Port_BaudRate))
            return false;
    }
    return !m_Stop;
}

void OnlineSession::closeOpen()
{
    for (Collection* driver : qAsConst(m_Drivers))
        if (driver->IsOpen())
            driver->Close();
}

bool OnlineSession::reconnect(QStringList& scan, QString& failure)
{
    if (m_Stop)
        return false;
    emit SaveAuditLog_signals(kReconnected);
    closeOpen();
    QElapsedTimer pause;
    pause.start();
    while (pause.elapsed() < 1000) {
        if (m_Stop)
            return false;
        Tool::delay(10);
    }
    if (openAll() && readScan(scan, failure))
        return true;

    while (!m_Stop) {
        emit SaveAuditLog_signals(kManualMode);
        closeOpen();
        setCommand(Continue);
        m_ReconnectWait = true;
        emit MessageBox_signals(tr("提示"), tr("通讯异常，请设备关机重试！"));
        while (m_ReconnectWait) {
            Tool::delay(100);
            if (m_Stop)
                return false;
        }
        if (openAll()) {
            setCommand(Stop);
            if (readScan(scan, failure)) {
                emit SaveAuditLog_signals(kManualDone);
                return true;
            }
        }
    }
    return false;
}

void OnlineSession::acquisitionWorker()
{
    emit Status_signals(tr("开始等待中..."));
    Tool::delay(10);
    while (!(QDateTime::currentDateTime() > m_Start) && !m_Stop)
        Tool::delay(10);
    if (m_Stop) {
        setCommand(Finish);
        return;
    }
    const QDateTime start = QDateTime::currentDateTime();
    m_ActualStartMs = start.toMSecsSinceEpoch();
    const int count = OnlineRules::scanCount(start, m_End, m_Interval);
    emit Status_signals(tr("采集中..."));

    bool lastFailed = false;
    QString failure;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer clock;
        clock.start();
        QStringList scan;
        bool ok = readScan(scan, failure);
        if (!ok && !m_Stop)
            ok = reconnect(scan, failure);
        lastFailed = !ok;
        if (!ok) {
            if (m_Stop)
                break;
            continue;
        }
        emit DataHandle_signals(i, scan);
        // Hold the period: wait what is left of the interval after this scan.
        while (clock.elapsed() < m_Interval && !m_Stop)
            Tool::delay(1);
        if (m_Stop)
            break;
    }
    setCommand(Finish);
    if (m_Stop)
        return;
    if (lastFailed)
        emit MessageBox_signals(tr("警告"), failure);
    emit Status_signals(tr("采集结束。"));
}

// --- GUI thread -------------------------------------------------------------

void OnlineSession::setStatus(const QString& text)
{
    m_Status = text;
    emit statusChanged(text);
}

void OnlineSession::Command_slots(int command)
{
    m_CommandShown = command;
    emit commandChanged(command);
    if (command == Finish && !m_Closing)
        keepHeld();
}

void OnlineSession::keepHeld()
{
    if (!m_Recording || m_Discarded || m_Held.isEmpty() || m_HeldReported)
        return;
    // A stop has just tried (and waited for a lock); a run that ended by
    // itself tries once more here.
    if (!m_StopFlushed && flushHeld(true))
        return;
    m_HeldReported = true;
    const int lostBefore = m_Held.lostScans();
    const bool kept = m_Held.spillAll();
    const int inFiles = m_Held.sideScans();
    const int lost = kept ? 0 : m_Held.scans() - inFiles;
    qWarning().noquote() << "online acquisition: run ended with" << m_Held.scans() << "scans not stored," << inFiles
                         << "of them in" << m_Held.sideFiles().join(QStringLiteral(", ")) << ", lost before"
                         << lostBefore;
    QStringList text;
    if (inFiles > 0) {
        QStringList files;
        for (const QString& f : m_Held.sideFiles())
            files << QDir::toNativeSeparators(QFileInfo(f).absoluteFilePath());
        text << tr("数据库写入失败，%1次扫描的数据未存入数据库，暂存在文件%2中，下次启动程序时自动存入。")
                    .arg(inFiles)
                    .arg(files.join(QStringLiteral("，")));
    }
    if (lost > 0) // they cannot be kept anywhere: say so now, not at close
        text << tr("数据库写入失败，已丢失%1次扫描的数据！").arg(lost);
    emit message(tr("警告"), text.join(QLatin1Char('\n')));
}

void OnlineSession::Status_slots(QString text)
{
    if (!m_Closing)
        setStatus(text);
}

void OnlineSession::MessageBox_slots(QString title, QString text)
{
    if (!m_Closing)
        emit message(title, text);
}

void OnlineSession::SaveAuditLog_slots(QString details)
{
    if (details == kReconnected)
        ++m_Reconnections;
    qWarning().noquote() << "online acquisition:" << details;
    Tool::addAuditLog(kAuditType, details);
}

void OnlineSession::SetDialog_slots()
{
    bool ok = m_Command.load() != Finish && !m_Stop;
    if (ok && !m_Recording)
        qInfo() << "online acquisition: watching only, nothing is stored";
    if (ok && m_Recording) {
        // All the run's projects or none: on a lab server another bench may
        // have taken a name since the set-up dialog checked it.
        QString taken;
        const Tool::StoreOutcome stored =
            Tool::addProjects(m_Projects, QList<Tool::Struct_ParametersData>(), QString(), {}, &taken);
        if (stored == Tool::StoreOutcome::NameTaken) {
            qWarning().noquote() << "online acquisition: project name" << taken << "is taken; the run does not start";
            emit message(tr("警告"), tr("项目名称已存在！") + QLatin1Char('\n') + taken);
            setCommand(Finish);
            ok = false;
        } else if (stored != Tool::StoreOutcome::Stored) {
            // Scans without their project would be orphans no report finds.
            qWarning() << "online acquisition: project records not stored; the run does not start";
            emit message(tr("警告"), tr("项目信息保存失败，采集未开始！"));
            setCommand(Finish);
            ok = false;
        } else {
            m_ProjectsStored = true;
        }
    }
    if (ok)
        startWorker(&OnlineSession::acquisitionWorker);
    emit setupFinished(ok);
}

void OnlineSession::DataHandle_slots(int index, QStringList values)
{
    if (m_Closing || m_Stop)
        return;
    const QList<OnlineRules::ProjectScan> split = OnlineRules::splitScan(values, m_Chosen, m_Projects.size());
    if (split.isEmpty()) {
        qWarning() << "online acquisition: scan" << index << "dropped," << values.size() << "values for"
                   << m_Chosen.size() << "channels";
        return;
    }
    QDateTime now = QDateTime::currentDateTime();
    // Scans handled in one burst after a stall keep distinct times: the
    // time is the scan's key in the store.
    if (m_LastScan.isValid() && now <= m_LastScan)
        now = m_LastScan.addMSecs(1);
    m_LastScan = now;
    ++m_ScansHandled;

    QList<QList<double>> perProject;
    QList<Tool::Struct_ParametersData> rows;
    for (int p = 0; p < split.size(); ++p) {
        perProject << split.at(p).values;
        Tool::Struct_ParametersData row;
        row.Name = m_Projects.at(p).Name;
        row.Time = now;
        row.Data = split.at(p).texts;
        rows << row;
    }
    emit scanSplit(now, perProject);
    if (m_Recording)
        storeScan(index, now, rows);
}

void OnlineSession::storeScan(int index, const QDateTime& time, const QList<Tool::Struct_ParametersData>& rows)
{
    if (Tool::StoreWriter* writer = Tool::StoreWriter::instance()) {
        // The lab server: queued for the writer's thread, never waited for.
        writer->addScan(rows, this, [this, index, time] {
            ++m_ScansStored;
            emit scanStored(index, time);
        });
        const Tool::StoreWriter::State state = writer->state();
        if (state.failing && state.scans > 0) {
            if (!m_StoreFailing)
                qWarning() << "online acquisition: the lab server does not answer, scans wait for it";
            m_StoreFailing = true;
            setStatus(tr("实验室数据库服务器无响应，%1次扫描待存（最早 %2）")
                          .arg(state.scans)
                          .arg(state.oldestScan.toString(QStringLiteral("hh:mm:ss"))));
        } else if (m_StoreFailing && !state.failing) {
            m_StoreFailing = false;
            qWarning() << "online acquisition: the lab server answers again";
            setStatus(tr("采集中..."));
        }
        return;
    }
    m_Held.add(HeldRows::Scan{index, time, rows});
    reportLoss();
    if (!m_Held.retryDue(m_Clock.elapsed()))
        return; // backing off: the scan waits with the others
    if (!flushHeld(false)) {
        if (!m_Held.isEmpty() && m_Held.failures() > 0)
            reportStoreFailure(tr("数据库写入失败，数据暂存内存并重试！"));
        return;
    }
    if (Tool::currentEngine() == Tool::Engine::SQLite && !m_DatabasePath.isEmpty()
        && !QFileInfo::exists(m_DatabasePath)) {
        // SQLite keeps writing into a removed file, which vanishes at close.
        if (!m_FileMissingReported) {
            m_FileMissingReported = true;
            qWarning() << "online acquisition: database file" << m_DatabasePath << "was removed";
            setStatus(tr("数据库文件已被删除，数据无法保存！"));
        }
    }
}

bool OnlineSession::flushHeld(bool all)
{
    if (m_Held.isEmpty())
        return true;
    ++m_StoreAttempts;
    const int rowsBefore = m_Held.rows();
    // Each write is one transaction of a bounded number of scans: a scan is
    // stored whole or not at all, and one sync per write keeps up at speed.
    const bool done = m_Held.flush(
        [all](const QList<Tool::Struct_ParametersData>& rows) {
            return Tool::addParametersDataBulk(rows, all ? -1 : kScanWriteBusyMs);
        },
        [this](const HeldRows::Scan& s) {
            ++m_ScansStored;
            emit scanStored(s.index, s.time);
        },
        m_Clock.elapsed(), all ? std::numeric_limits<int>::max() : kWritesPerScan);
    if (!done || !m_StoreFailing)
        return done;
    m_StoreFailing = false;
    qWarning() << "online acquisition: database writes resumed," << rowsBefore << "held rows stored";
    if (m_Held.lostScans() > 0) {
        const QString lost = QStringLiteral("数据库写入中断期间丢失%1次扫描的数据（%2行）。")
                                 .arg(m_Held.lostScans())
                                 .arg(m_Held.lostRows());
        Tool::addAuditLog(kStoreAuditType, lost);
        setStatus(tr("数据库写入已恢复，中断期间丢失%1次扫描的数据！").arg(m_Held.lostScans()));
    } else if (m_CommandShown != Finish && !m_Stop) {
        setStatus(tr("采集中..."));
    }
    return true;
}

void OnlineSession::reportStoreFailure(const QString& why)
{
    qWarning().noquote() << "online acquisition: writing scan rows failed," << m_Held.rows() << "rows held,"
                         << m_Held.sideScans() << "scans of them in" << m_Held.sidePath();
    if (m_StoreFailing)
        return;
    m_StoreFailing = true;
    if (m_Held.lostScans() == 0)
        setStatus(why);
}

void OnlineSession::reportLoss()
{
    const int lost = m_Held.lostScans();
    if (lost == m_LossShown)
        return;
    // Memory is full and the side file refuses writes too: the oldest held
    // scans are dropped. Logged with the first and then every hundredth.
    if (m_LossShown == 0 || lost / 100 != m_LossShown / 100)
        qWarning() << "online acquisition: held rows full and side file" << m_Held.sidePath()
                   << "not writable," << lost << "scans lost";
    m_LossShown = lost;
    m_StoreFailing = true;
    setStatus(tr("数据库写入失败，已丢失%1次扫描的数据！").arg(lost));
}

void OnlineSession::keepHeldAtClose(const char* when)
{
    const int rows = m_Held.rows();
    if (m_Held.spillAll())
        qWarning().noquote() << "online acquisition:" << rows << "rows not stored" << when << "are kept in"
                             << m_Held.sidePath();
    else
        qWarning().noquote() << "online acquisition:" << rows << "rows not stored" << when << "," << m_Held.rows()
                             << "of them lost: could not be written to" << m_Held.sidePath();
}

void OnlineSession::requestStop(bool keepData)
{
    // Only projects this run stored are removed: a run that stores nothing
    // may carry the name of a project that exists.
    Tool::StoreWriter* writer = Tool::StoreWriter::instance();
    if (!keepData && m_ProjectsStored && writer) {
        // After whatever the writer has in hand, so no scan lands after the delete.
        m_Discarded = true;
        writer->takeBack(this);
        for (const Tool::Struct_Parameters& p : qAsConst(m_Projects)) {
            writer->addStatement(QStringLiteral("delete from ParametersData where Name = ?"), {p.Name});
            writer->addStatement(QStringLiteral("delete from Parameters where Name = ?"), {p.Name});
        }
    } else if (!keepData && m_ProjectsStored) {
        m_Discarded = true;
        m_Held.clear();
        for (const Tool::Struct_Parameters& p : qAsConst(m_Projects)) {

            Tool::deleteParameters(p.Name);
            Tool::deleteParametersData(p.Name);
        }
    }
    m_Stop = true;
    m_ReconnectWait = false;
    if (keepData && !m_Held.isEmpty() && !flushHeld(true)) {
        m_StopFlushed = true;
        qWarning() << "online acquisition:" << heldRows() << "held rows still not stored at stop";
    }
    setStatus(tr("提前终止采集。"));
}

void OnlineSession::resumeReconnect()
{
    m_ReconnectWait = false;
}
