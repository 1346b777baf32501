// The online acquisition dialog end to end against arq-simulator: devices
// over TCP and a pty, faults injected by the simulator, the user's answers
// queued through the message-box seam.

#include "HeldRecovery.h"
#include "HeldRows.h"
#include "MessageBox.h"
#include "OnlineRules.h"
#include "OnlineSession.h"
#include "OnlineSetup.h"
#include "ParametersChart.h"
#include "ParametersOnLine.h"
#include "ParametersStatistics.h"
#include "SimulatorProcess.h"
#include "TestSupport.h"
#include "Tool.h"

#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTabWidget>
#include <QTcpServer>
#include <QtTest>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <memory>

namespace {

bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}

int auditCount(const QString& details)
{
    QSqlQuery q;
    q.prepare(QStringLiteral("select count(*) from AuditLog where Type = '通讯异常' and Details = ?"));
    q.addBindValue(details);
    return q.exec() && q.next() ? q.value(0).toInt() : -1;
}

struct Row
{
    QString time;
    QStringList data;
};

QList<Row> projectRows(const QString& name)
{
    QList<Row> rows;
    QSqlQuery q;
    q.prepare(QStringLiteral("select Time, Data from ParametersData where Name = ? order by rowid"));
    q.addBindValue(name);
    if (q.exec())
        while (q.next())
            rows << Row{q.value(0).toString(), q.value(1).toString().split(QLatin1Char(','))};
    return rows;
}

const QString kScanTime = QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz");

// The stored scans of a project against the planned grid, worked out here:
// a scan at start + k × interval for every k from 0 while k × interval stays
// within the whole seconds from the start to the planned end, each exactly
// once. A scan is stamped when its reading arrives: within half an interval
// of its grid time.
QString gridMismatch(const QString& project, const QDateTime& start, qint64 intervalMs, const QDateTime& end)
{
    QList<qint64> stored;
    for (const Row& row : projectRows(project))
        stored << QDateTime::fromString(row.time, kScanTime).toMSecsSinceEpoch();
    std::sort(stored.begin(), stored.end());
    const qint64 span = (end.toMSecsSinceEpoch() - start.toMSecsSinceEpoch()) / 1000 * 1000;
    QList<qint64> planned;
    for (qint64 offset = 0; offset <= span; offset += intervalMs)
        planned << start.toMSecsSinceEpoch() + offset;
    bool match = stored.size() == planned.size();
    for (int k = 0; match && k < stored.size(); ++k)
        match = std::abs(stored.at(k) - planned.at(k)) < intervalMs / 2;
    if (match)
        return QString();
    const auto text = [](const QList<qint64>& list) {
        QStringList out;
        for (qint64 t : list)
            out << QDateTime::fromMSecsSinceEpoch(t).toString(QStringLiteral("hh:mm:ss.zzz"));
        return out.join(QLatin1Char(' '));
    };
    return QStringLiteral("%1: stored %2\nplanned %3").arg(project, text(stored), text(planned));
}

} // namespace

class TestOnlineEngine : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void twoProjectsOverTwoDevices();
    void threeLoggerFamilies();
    void watchOnlyRunStoresNothing();
    void stopWhileWaiting_data();
    void stopWhileWaiting();
    void linkDropReconnectsByItself();
    void silentDeviceNeedsManualReconnection();
    void failedDatabaseWritesAreHeldAndRetried();
    void lockedDatabaseHoldsBoundedRows_data();
    void lockedDatabaseHoldsBoundedRows();
    void removedDatabaseFileIsReported();
    void heldScansAtStopAreToldAndStoredAtNextStart_data();
    void heldScansAtStopAreToldAndStoredAtNextStart();
    void destroyedWhileScanning();
    void deviceOverPty();
    void deviceThatDoesNotOpen();
    void projectRecordRefused();

private:
    // Starts the simulator with `devices` loggers of `channels` channels.
    bool startSimulator(int devices, int channels, const QString& link = QStringLiteral("tcp=127.0.0.1:0"));
    QList<OnlineSetup::Link> tcpLinks() const;
    void startDialog();
    bool waitCommand(const QString& caption, int timeoutMs);
    void press();
    // Every stored row of the project holds its expected values, times increase.
    void checkRows(const QString& project, const QStringList& expected, int count);
    void stopAndSave();

    std::unique_ptr<TestWorkDir> m_Dir;
    std::unique_ptr<SimulatorProcess> m_Sim;
    std::unique_ptr<SystemContext> m_Context;
    std::unique_ptr<ParametersOnLine> m_Dialog;
};

void TestOnlineEngine::init()
{
    m_Dir = std::make_unique<TestWorkDir>();
    QVERIFY(TestSupport::openDatabase());
    MessageBox::setTestMode(true);
    MessageBox::clear();
    m_Sim = std::make_unique<SimulatorProcess>();
    m_Context = std::make_unique<SystemContext>();
}

void TestOnlineEngine::cleanup()
{
    if (m_Dialog && m_Dialog->commandText() != OnlineSession::commandText(OnlineSession::Finish)) {
        MessageBox::queueChoice(0);
        press();
        waitCommand(OnlineSession::commandText(OnlineSession::Finish), 15000);
    }
    m_Dialog.reset();
    m_Sim.reset();
    m_Context.reset();
    TestSupport::closeDatabase();
    m_Dir.reset();
}

bool TestOnlineEngine::startSimulator(int devices, int channels, const QString& link)
{
    QStringList args;
    for (int d = 0; d < devices; ++d)
        args << QStringLiteral("--instrument") << OnlineSetup::instrumentOption(d, channels, link);
    return m_Sim->start(args, devices);
}

QList<OnlineSetup::Link> TestOnlineEngine::tcpLinks() const
{
    QList<OnlineSetup::Link> links;
    for (const QString& endpoint : m_Sim->endpoints(QStringLiteral("tcp")))
        links << OnlineSetup::tcpLink(endpoint);
    return links;
}

void TestOnlineEngine::startDialog()
{
    m_Dialog = std::make_unique<ParametersOnLine>();
    m_Dialog->setContext(m_Context.get());
    m_Dialog->show();
}

bool TestOnlineEngine::waitCommand(const QString& caption, int timeoutMs)
{
    return waitFor([&] { return m_Dialog->commandText() == caption; }, timeoutMs);
}

void TestOnlineEngine::press()
{
    m_Dialog->findChild<QPushButton*>(QStringLiteral("pushButton_OK"))->click();
}

void TestOnlineEngine::checkRows(const QString& project, const QStringList& expected, int count)
{
    const QList<Row> rows = projectRows(project);
    QCOMPARE(rows.size(), count);
    QString previous;
    for (const Row& row : rows) {
        QCOMPARE(row.data, expected);
        QVERIFY2(row.time > previous, qPrintable(row.time + QLatin1String(" after ") + previous));
        previous = row.time;
    }
}

void TestOnlineEngine::stopAndSave()
{
    MessageBox::queueChoice(0); // "保存"
    press();
    QVERIFY(waitCommand(OnlineSession::commandText(OnlineSession::Finish), 15000));
    QCOMPARE(m_Dialog->statusText(), QStringLiteral("提前终止采集。"));
}

void TestOnlineEngine::twoProjectsOverTwoDevices()
{
    QVERIFY(startSimulator(2, 3));
    // Device 1: 101→P1, 102→P2, 103→P1; device 2: 101→P2, 102→P1, 103→P2.
    const QDateTime now = QDateTime::currentDateTime();
    OnlineSetup::fill(*m_Context, tcpLinks(), 3, {QStringLiteral("P1"), QStringLiteral("P2")}, {0, 1, 0, 1, 0, 1},
                      0.2, now.addSecs(-1), now.addSecs(8));
    startDialog();
    QCOMPARE(m_Dialog->windowTitle(), QStringLiteral("数据采集"));
    QCOMPARE(m_Dialog->commandText(), QStringLiteral("停止"));
    auto* tabs = m_Dialog->findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    QCOMPARE(tabs->count(), 4);
    QCOMPARE(tabs->tabText(0), QStringLiteral("项目1结果"));
    QCOMPARE(tabs->tabText(1), QStringLiteral("项目1统计"));
    QCOMPARE(tabs->tabText(3), QStringLiteral("项目2统计"));

    OnlineSession* session = m_Dialog->session();
    QVERIFY(waitFor([&] { return session->scansStored() >= 3; }, 15000));
    QCOMPARE(m_Dialog->statusText(), QStringLiteral("采集中..."));

    // Closing while scanning is refused, by the close button and by Esc.
    MessageBox::clear();
    QVERIFY(!m_Dialog->close());
    QCOMPARE(MessageBox::last().text, QStringLiteral("正在采集中，请先结束！"));
    m_Dialog->reject();
    QVERIFY(m_Dialog->isVisible());
    QCOMPARE(MessageBox::shown().size(), 2);

    QVERIFY(waitCommand(QStringLiteral("结束"), 20000));
    QCOMPARE(m_Dialog->statusText(), QStringLiteral("采集结束。"));
    const QDateTime end = QDateTime::fromString(m_Context->EndTime, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    const int scans = session->scansStored();
    QCOMPARE(session->scansHandled(), scans);
    for (const QString& project : {QStringLiteral("P1"), QStringLiteral("P2")}) {
        const QString mismatch = gridMismatch(project, session->actualStart(), 200, end);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }

    using OnlineSetup::valueText;
    checkRows(QStringLiteral("P1"), {valueText(0, 0), valueText(0, 2), valueText(1, 1)}, scans);
    checkRows(QStringLiteral("P2"), {valueText(0, 1), valueText(1, 0), valueText(1, 2)}, scans);
    QCOMPARE(projectRows("P1").last().time, projectRows("P2").last().time);
    QCOMPARE(TestSupport::scalar("select Channel from Parameters where Name = 'P2'").toString(),
             QStringLiteral("1-102,2-101,2-103"));
    // Every scan reached both tabs of both projects.
    auto* chart = qobject_cast<ParametersChart*>(tabs->widget(2));
    auto* statistics = qobject_cast<ParametersStatistics*>(tabs->widget(1));
    QVERIFY(chart && statistics);
    QCOMPARE(chart->seriesLabels().first(), QStringLiteral("1-CH102(℃)"));
    QCOMPARE(chart->rowCount(), scans);
    QCOMPARE(statistics->rowCount(), scans);

    const QString lastTime = projectRows("P1").last().time;
    const QString start = session->actualStart().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    QVERIFY(m_Dialog->close());
    m_Dialog.reset();
    // The projects now span the actual start to the last scan.
    QCOMPARE(TestSupport::scalar("select Start from Parameters where Name = 'P2'").toString(), start);
    QCOMPARE(TestSupport::scalar("select End from Parameters where Name = 'P1'").toString(), lastTime.left(19));
}

// "记录数据" cleared in the set-up: the run shows and checks the scans but
// stores nothing, and a stored project of the same name stays as it was.
void TestOnlineEngine::watchOnlyRunStoresNothing()
{
    QVERIFY(startSimulator(1, 2));
    Tool::Struct_Parameters earlier;
    earlier.Name = QStringLiteral("P1");
    earlier.Time = earlier.Start = QStringLiteral("2026-01-01 08:00:00");
    earlier.End = QStringLiteral("2026-01-01 09:00:00");
    QVERIFY(Tool::addParameters(earlier));
    const QDateTime now = QDateTime::currentDateTime();
    OnlineSetup::fill(*m_Context, tcpLinks(), 2, {QStringLiteral("P1")}, {0, 0}, 0.2, now.addSecs(-1),
                      now.addSecs(60));
    m_Context->SaveStart = false;
    startDialog();
    QCOMPARE(m_Dialog->windowTitle(), QStringLiteral("数据采集（不记录）"));
    OnlineSession* session = m_Dialog->session();
    QVERIFY(!session->recording());
    QVERIFY(waitFor([&] { return session->scansHandled() >= 3; }, 15000));
    auto* tabs = m_Dialog->findChild<QTabWidget*>(QStringLiteral("tabWidget"));
    auto* chart = qobject_cast<ParametersChart*>(tabs->widget(0));
    QVERIFY(chart && chart->rowCount() >= 3);

    // Stopping only asks for a confirmation; "No" keeps the run going.
    MessageBox::clear();
    MessageBox::queueAnswer(MessageBox::No);
    press();
    QCOMPARE(MessageBox::last().text, QStringLiteral("是否停止采集？"));
    QCOMPARE(m_Dialog->commandText(), QStringLiteral("停止"));
    MessageBox::queueAnswer(MessageBox::Yes);
    press();
    QVERIFY(waitCommand(OnlineSession::commandText(OnlineSession::Finish), 15000));
    QCOMPARE(session->scansStored(), 0);
    QVERIFY(m_Dialog->close());
    m_Dialog.reset();

    QCOMPARE(projectRows("P1").size(), 0);
    QCOMPARE(TestSupport::scalar("select count(*) from Parameters where Name = 'P1'").toInt(), 1);
    QCOMPARE(TestSupport::scalar("select End from Parameters where Name = 'P1'").toString(), earlier.End);
}

void TestOnlineEngine::threeLoggerFamilies()
{
    // A 3107A-TC, a 3108A and a 1586A at once, two thermocouple channels
    // each, spread over three projects.
    const auto channels = [](int d) {
        return QStringLiteral(",noise=0,ch101=fixed:%1,ch102=fixed:%2")
            .arg(OnlineSetup::temperature(d, 0))
            .arg(OnlineSetup::temperature(d, 1));
    };
    QVERIFY(m_Sim->start({"--instrument", OnlineSetup::instrumentOption(0, 2),
                          "--instrument", "model=3108A,tcp=127.0.0.1:0,address=5,id=SIM0000002,timescale=20" + channels(1),
                          "--instrument", "model=1586A,tcp=127.0.0.1:0,id=SIM0000003,timescale=20" + channels(2)},
                         3));
    const QDateTime now = QDateTime::currentDateTime();
    const QStringList projects{QStringLiteral("P1"), QStringLiteral("P2"), QStringLiteral("P3")};
    // The 1586A takes a few seconds to program (each SCPI line is followed
    // by a wait), so the run ends well after the set-up.
    OnlineSetup::fill(*m_Context, tcpLinks(), 2, projects, {0, 1, 2, 0, 1, 2}, 1.0, now.addSecs(-1),
                      now.addSecs(15));
    const QStringList models{QStringLiteral("3107A-TC"), QStringLiteral("3108A"), QStringLiteral("1586A")};
    for (int d = 0; d < 3; ++d) {
        m_Context->AcquisitionDevice[d].Mode = models.at(d);
        m_Context->ChannelConfig[d].Mode = models.at(d);
    }
    startDialog();
    OnlineSession* session = m_Dialog->session();
    QVERIFY2(waitCommand(QStringLiteral("结束"), 40000),
             qPrintable(m_Dialog->statusText() + QStringLiteral(" scans ") + QString::number(session->scansStored())));
    QCOMPARE(m_Dialog->statusText(), QStringLiteral("采集结束。"));
    const int scans = session->scansStored();
    QVERIFY2(scans >= 3, qPrintable(QString::number(scans)));
    QCOMPARE(session->scansHandled(), scans);
    const QDateTime end = QDateTime::fromString(m_Context->EndTime, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    for (const QString& project : projects) {
        const QString mismatch = gridMismatch(project, session->actualStart(), 1000, end);
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));
    }

    // Every stored value equals the simulated instrument's (the 1586A
    // writes its readings in exponent form).
    const QList<QList<QPair<int, int>>> expected{{{0, 0}, {1, 1}}, {{0, 1}, {2, 0}}, {{1, 0}, {2, 1}}};
    for (int p = 0; p < 3; ++p) {
        const QList<Row> rows = projectRows(projects.at(p));
        QCOMPARE(rows.size(), scans);
        for (const Row& row : rows) {
            QCOMPARE(row.data.size(), 2);
            for (int k = 0; k < 2; ++k)
                QVERIFY2(row.data.at(k).toDouble() == OnlineSetup::temperature(expected[p][k].first, expected[p][k].second),
                         qPrintable(projects.at(p) + QLatin1Char(' ') + row.data.join(QLatin1Char(','))));
        }
    }
    QCOMPARE(TestSupport::scalar("select Channel from Parameters where Name = 'P3'").toString(),
             QStringLiteral("2-101,3-102"));
    QVERIFY(m_Dialog->close());
}

void TestOnlineEngine::stopWhileWaiting_data()
{
    QTest::addColumn<bool>("save");
    QTest::newRow("保存") << true;
    QTest::newRow("不保存") << false;
}

void TestOnlineEngine::stopWhileWaiting()
{
    QFETCH(bool, save);
    QVERIFY(startSimulator(1, 2));
    const QDateTime now = QDateTime::currentDateTime();
    OnlineSetup::fill(*m_Context, tcpLinks(), 2, {QStringLiteral("W")}, {}, 0.2, now.addSecs(30), now.addSecs(60));
    const QString plannedStart = m_Context->StartTime;
    startDialog();
    QVERIFY(waitFor([&] { return m_Dialog->statusText() == QStringLiteral("开始等待中..."); }, 15000));
    QCOMPARE(TestSupport::scalar("select count(*) from Parameters").toInt(), 1);

    MessageBox::queueChoice(2); // "取消" changes nothing
    press();
    QCOMPARE(MessageBox::last().text, QStringLiteral("是否保存采集数据？"));
    QTest::qWait(100);
    QCOMPARE(m_Dialog->commandText(), QStringLiteral("停止"));

    MessageBox::queueChoice(save ? 0 : 1);
    press();
    QVERIFY(waitCommand(QStringLiteral("结束"), 2000));
    QCOMPARE(m_Dialog->statusText(), QStringLiteral("提前终止采集。"));
    QCOMPARE(m_Dialog->session()->scansHandled(), 0);
    QVERIFY(m_Dialog->close());
    m_Dialog.reset();
    QCOMPARE(TestSupport::scalar("select count(*) from ParametersData").toInt(), 0);
    QCOMPARE(TestSupport::scalar("select count(*) from Parameters").toInt(), save ? 1 : 0);
    if (save) // no scan: the planned times stay
        QCOMPARE(TestSupport::scalar("select Start from Parameters").toString(), plannedStart);
}

void TestOnlineEngine::linkDropReconnectsByItself()
{
    QVERIFY(startSimulator(2, 2));
    const QDateTime now = QDateTime::currentDateTime();
    // An end before the start: scans until stopped.
    OnlineSetup::fill(*m_Context, tcpLinks(), 2, {QStringLiteral("A"), QStringLiteral("B")}, {0, 1, 1, 0}, 0.2,
                      now.addSecs(-1), now.addSecs(-10));
    startDialog();
    OnlineSession* session = m_Dialog->session();
    QVERIFY(waitFor([&] { return session->scansStored() >= 5; }, 15000));
    QSignalSpy commands(session, &OnlineSession::commandChanged);

    QVERIFY(m_Sim->command(QStringLiteral("@1 drop")));
    QVERIFY(waitFor([&] { return session->reconnections() == 1; }, 5000));
    const int before = session->scansStored();
    QVERIFY(waitFor([&] { return session->scansStored() >= before + 5; }, 10000));
    QCOMPARE(commands.count(), 0); // never left "停止"
    QCOMPARE(auditCount(QStringLiteral("设备重新连接。")), 1);
    QCOMPARE(auditCount(QStringLiteral("进入手动重连模式！")), 0);

    stopAndSave();
    const int scans = session->scansStored();
    using OnlineSetup::valueText;
    checkRows(QStringLiteral("A"), {valueText(0, 0), valueText(1, 1)}, scans);
    checkRows(QStringLiteral("B"), {valueText(0, 1), valueText(1, 0)}, scans);
}

void TestOnlineEngine::silentDeviceNeedsManualReconnection()
{
    QVERIFY(startSimulator(2, 2));
    const QDateTime now = QDateTime::currentDateTime();
    OnlineSetup::fill(*m_Context, tcpLinks(), 2, {QStringLiteral("S")}, {}, 0.2, now.addSecs(-1), now.addSecs(-10));
    startDialog();
    OnlineSession* session = m_Dialog->session();
    QVERIFY(waitFor([&] { return session->scansStored() >= 5; }, 15000));

    QElapsedTimer silence;
    silence.start();
    QVERIFY(m_Sim->command(QStringLiteral("@2 silent 7")));
    QVERIFY(waitCommand(QStringLiteral("继续"), 15000));
    QCOMPARE(MessageBox::last().title, QStringLiteral("提示"));
    QCOMPARE(MessageBox::last().text, QStringLiteral("通讯异常，请设备关机重试！"));
    QCOMPARE(auditCount(QStringLiteral("设备重新连接。")), 1);
    QCOMPARE(auditCount(QStringLiteral("进入手动重连模式！")), 1);
    const int frozen = session->scansStored();

    // "取消" leaves the reconnection waiting.
    MessageBox::queueChoice(2);
    press();
    QCOMPARE(MessageBox::last().text, QStringLiteral("是否终止项目？"));
    QVERIFY(waitFor([&] { return silence.elapsed() > 7500; }, 10000));
    QCOMPARE(session->scansStored(), frozen);
    QCOMPARE(m_Dialog->commandText(), QStringLiteral("继续"));

    MessageBox::queueChoice(1); // "继续"
    press();
    QVERIFY(waitCommand(QStringLiteral("停止"), 10000));
    QVERIFY(waitFor([&] { return session->scansStored() >= frozen + 5; }, 10000));
    QCOMPARE(auditCount(QStringLiteral("手动重连成功！")), 1);
    QCOMPARE(auditCount(QStringLiteral("进入手动重连模式！")), 1);

    stopAndSave();
    using OnlineSetup::valueText;
    checkRows(QStringLiteral("S"), {valueText(0, 0), valueText(0, 1), valueText(1, 0), valueText(1, 1)},
              session->scansStored());
}

void TestOnlineEngine::failedDatabaseWritesAreHeldAndRetried()
{
    QVERIFY(startSimulator(1, 2));
    const QDateTime now = QDateTime::currentDateTime();
    OnlineSetup::fill(*m_Context, tcpLinks(), 2, {QStringLiteral("D")}, {}, 0.1, now.addSecs(-1), now.addSecs(-10));
    startDialog();
    OnlineSession* session = m_Dialog->session();
    QVERIFY(waitFor([&] { return session->scansStored() >= 3; }, 15000));
    QSignalSpy status(session, &OnlineSession::statusChanged);

    // A full disk, as SQLite reports it to the writer.
    TestSupport::scalar(QStringLiteral(
        "CREATE TRIGGER diskfull BEFORE INSERT ON ParametersData BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
    QVERIFY(waitFor([&] { return session->heldRows() >= 5; }, 5000));
    const QString failure = QStringLiteral("数据库写入失败，数据暂存内存并重试！");
    QCOMPARE(m_Dialog->statusText(), failure);
    QCOMPARE(m_Dialog->commandText(), QStringLiteral("停止")); // scanning goes on

    TestSupport::scalar(QStringLiteral("DROP TRIGGER diskfull"));
    QVERIFY(waitFor([&] { return session->heldRows() == 0; }, 5000));
    QCOMPARE(m_Dialog->statusText(), QStringLiteral("采集中..."));
    int shown = 0;
    for (const QList<QVariant>& args : qAsConst(status))
        shown += args.at(0).toString() == failure;
    QCOMPARE(shown, 1);

    stopAndSave();
    QCOMPARE(session->scansStored(), session->scansHandled());
    using OnlineSetup::valueText;
    checkRows(QStringLiteral("D"), {valueText(0, 0), valueText(0, 1)}, session->scansHandled());
}

void TestOnlineEngine::lockedDatabaseHoldsBoundedRows_data()
{
    QTest::addColumn<bool>("sideWritable");
    QTest::newRow("side file") << true;
    QTest::newRow("side file unwritable") << false;
}

void TestOnlineEngine::lockedDatabaseHoldsBoundedRows()
{
    // Another program holds the database's write lock for a while: the
    // engine keeps at most `memory` scans in memory, moves the older ones to
    // the side file (or, when that fails too, drops and counts them), backs
    // off between tries, and afterwards stores everything it kept, in order.
    QFETCH(bool, sideWritable);
    QVERIFY(startSimulator(1, 2));
    const QDateTime now = QDateTime::currentDateTime();
    OnlineSetup::fill(*m_Context, tcpLinks(), 2, {QStringLiteral("L")}, {}, 0.05, now.addSecs(-1), now.addSecs(-10));
    m_Dialog = std::make_unique<ParametersOnLine>();
    OnlineSession* session = m_Dialog->session();
    const int memory = 5;
    session->setHoldLimits(memory, 3, 100, 400,
                           sideWritable ? QString() : m_Dir->file(QStringLiteral("missing/held.tsv")));
    m_Dialog->setContext(m_Context.get());
    m_Dialog->show();
    QVERIFY(waitFor([&] { return session->scansStored() >= 3; }, 15000));

    const QString connection = QStringLiteral("locker");
    {
        QSqlDatabase locker = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        locker.setDatabaseName(m_Dir->file(QStringLiteral("ARQ-310MX.db3")));
        QVERIFY(locker.open());
        QSqlQuery lock(locker);
        QVERIFY(lock.exec(QStringLiteral("BEGIN IMMEDIATE")));
        const int attempts = session->storeAttempts();
        const int handled = session->scansHandled();
        int inMemory = 0;
        QVERIFY(waitFor(
            [&] {
                inMemory = std::max(inMemory, session->heldRows() - session->heldScansOnDisk());
                return session->scansHandled() >= handled + 40;
            },
            20000));
        QVERIFY2(inMemory <= memory, qPrintable(QString::number(inMemory)));
        const int tries = session->storeAttempts() - attempts;
        QVERIFY2(tries >= 3 && tries <= 15, qPrintable(QString::number(tries))); // not one per scan
        QCOMPARE(m_Dialog->commandText(), QStringLiteral("停止"));                 // scanning goes on
        if (sideWritable) {
            QVERIFY(session->heldScansOnDisk() >= 30);
            QVERIFY(QFile::exists(session->heldFilePath()));
            QCOMPARE(QFileInfo(session->heldFilePath()).absolutePath(), QFileInfo(m_Dir->file("x")).absolutePath());
            QCOMPARE(session->scansLost(), 0);
            QCOMPARE(m_Dialog->statusText(), QStringLiteral("数据库写入失败，数据暂存内存并重试！"));
        } else {
            QVERIFY(session->scansLost() >= 30);
            QCOMPARE(m_Dialog->statusText(),
                     QStringLiteral("数据库写入失败，已丢失%1次扫描的数据！").arg(session->scansLost()));
        }
        QVERIFY(lock.exec(QStringLiteral("ROLLBACK")));
    }
    QSqlDatabase::removeDatabase(connection);

    QVERIFY(waitFor([&] { return session->heldRows() == 0; }, 10000));
    if (sideWritable) {
        QCOMPARE(m_Dialog->statusText(), QStringLiteral("采集中..."));
        QVERIFY(!QFile::exists(session->heldFilePath()));
    } else {
        const QString text = QStringLiteral("数据库写入中断期间丢失%1次扫描的数据（%2行）。")
                                 .arg(session->scansLost())
                                 .arg(session->scansLost());
        QCOMPARE(m_Dialog->statusText(),
                 QStringLiteral("数据库写入已恢复，中断期间丢失%1次扫描的数据！").arg(session->scansLost()));
        QCOMPARE(TestSupport::scalar(QStringLiteral("select count(*) from AuditLog where Details = '%1'").arg(text))
                     .toInt(),
                 1);
    }
    stopAndSave();
    QCOMPARE(session->scansStored() + session->scansLost(), session->scansHandled());
    using OnlineSetup::valueText;
    checkRows(QStringLiteral("L"), {valueText(0, 0), valueText(0, 1)}, session->scansStored());
}

void TestOnlineEngine::removedDatabaseFileIsReported()
{
    QVERIFY(startSimulator(1, 1));
    const QDateTime now = QDateTime::currentDateTime();
    OnlineSetup::fill(*m_Context, tcpLinks(), 1, {QStringLiteral("R")}, {}, 0.1, now.addSecs(-1), now.addSecs(-10));
    startDialog();
    OnlineSession* session = m_Dialog->session();
    QVERIFY(waitFor([&] { return session->scansStored() >= 2; }, 15000));
    QSignalSpy status(session, &OnlineSession::statusChanged);
    QVERIFY(QFile::remove(m_Dir->file(QStringLiteral("ARQ-310MX.db3"))));
    const int before = session->scansHandled();
    QVERIFY(waitFor([&] { return session->scansHandled() >= before + 5; }, 5000));
    const QString removed = QStringLiteral("数据库文件已被删除，数据无法保存！");
    QCOMPARE(m_Dialog->statusText(), removed);
    QCOMPARE(status.count(), 1); // once, not per scan
    QCOMPARE(m_Dialog->commandText(), QStringLiteral("停止"));
    stopAndSave();
}

void TestOnlineEngine::heldScansAtStopAreToldAndStoredAtNextStart_data()
{
    QTest::addColumn<bool>("stop");
    QTest::newRow("停止, 保存") << true;
    QTest::newRow("run ends by itself") << false;
}

void TestOnlineEngine::heldScansAtStopAreToldAndStoredAtNextStart()
{
    // The database refuses writes until the run ends: the scans still held
    // go to the side file beside the database, the user is told how many
    // and where, and the next start stores each of them once.
    QFETCH(bool, stop);
    QVERIFY(startSimulator(1, 2));
    const QDateTime now = QDateTime::currentDateTime();
    OnlineSetup::fill(*m_Context, tcpLinks(), 2, {QStringLiteral("K")}, {}, 0.05, now.addSecs(-1),
                      stop ? now.addSecs(-10) : now.addSecs(6));
    m_Dialog = std::make_unique<ParametersOnLine>();
    OnlineSession* session = m_Dialog->session();
    session->setHoldLimits(5, 3, 100, 400);
    m_Dialog->setContext(m_Context.get());
    m_Dialog->show();
    QVERIFY(waitFor([&] { return session->scansStored() >= 3; }, 15000));
    TestSupport::scalar(QStringLiteral(
        "CREATE TRIGGER diskfull BEFORE INSERT ON ParametersData BEGIN SELECT RAISE(ABORT, 'disk full'); END"));
    QVERIFY(waitFor([&] { return session->heldScans() >= 20; }, 10000));

    MessageBox::clear();
    if (stop) {
        stopAndSave();
    } else {
        QVERIFY(waitCommand(OnlineSession::commandText(OnlineSession::Finish), 20000));
        QCOMPARE(m_Dialog->statusText(), QStringLiteral("采集结束。"));
    }
    const int held = session->heldScans();
    QVERIFY(held >= 20);
    QCOMPARE(session->heldScansOnDisk(), held); // all of them in the file now
    QStringList files = session->heldFiles();
    QCOMPARE(files.size(), 1);
    files[0] = QFileInfo(files.first()).absoluteFilePath();
    const QString database = m_Dir->file(QStringLiteral("ARQ-310MX.db3"));
    QCOMPARE(HeldRecovery::sideFiles(database), files);
    QCOMPARE(MessageBox::last().title, QStringLiteral("警告"));
    QCOMPARE(MessageBox::last().text,
             QStringLiteral("数据库写入失败，%1次扫描的数据未存入数据库，暂存在文件%2中，下次启动程序时自动存入。")
                 .arg(held)
                 .arg(QDir::toNativeSeparators(files.first())));
    const int handled = session->scansHandled();
    const int stored = session->scansStored();
    QCOMPARE(stored + held, handled);
    QCOMPARE(session->scansLost(), 0);
    MessageBox::clear();
    QVERIFY(m_Dialog->close());
    m_Dialog.reset(); // still refused at close: the file stays, told once
    QVERIFY(MessageBox::shown().isEmpty());
    QVERIFY(QFile::exists(files.first()));
    QCOMPARE(projectRows("K").size(), stored);

    // Next start: writes work again. One held scan got in meanwhile (as
    // when a run stored it and died before the file was emptied): it is
    // not stored twice.
    TestSupport::scalar(QStringLiteral("DROP TRIGGER diskfull"));
    HeldRows::FileScans content;
    QVERIFY(HeldRows::readFile(files.first(), content));
    QCOMPARE(content.scans.size(), held);
    QCOMPARE(content.broken, 0);
    QVERIFY(Tool::addParametersDataBulk(content.scans.first().rows));
    const HeldRecovery::Outcome outcome = HeldRecovery::recover(database);
    QCOMPARE(outcome.stored, held - 1);
    QCOMPARE(outcome.already, 1);
    QVERIFY(outcome.kept.isEmpty());
    QVERIFY(!QFile::exists(files.first()));
    QCOMPARE(HeldRecovery::message(outcome),
             QStringLiteral("上次采集未存入数据库的%1次扫描已从文件%2存入数据库。")
                 .arg(held - 1)
                 .arg(QDir::toNativeSeparators(files.first())));
    checkRows(QStringLiteral("K"), {OnlineSetup::valueText(0, 0), OnlineSetup::valueText(0, 1)}, handled);
    // Read again (a file that could not be removed): nothing more is stored.
    QFile again(files.first());
    QVERIFY(again.open(QIODevice::WriteOnly));
    for (const HeldRows::Scan& scan : qAsConst(content.scans))
        again.write(HeldRows::frame(scan));
    again.close();
    const HeldRecovery::Outcome twice = HeldRecovery::recover(database);
    QCOMPARE(twice.stored, 0);
    QCOMPARE(twice.already, held);
    QVERIFY(HeldRecovery::message(twice).isEmpty());
    QCOMPARE(projectRows("K").size(), handled);
}

void TestOnlineEngine::destroyedWhileScanning()
{
    // The main window going away takes the dialog with it mid-run: the
    // workers end first, the drivers after them, and the project keeps its
    // rows and gets its end time.
    QVERIFY(startSimulator(2, 2));
    const QDateTime now = QDateTime::currentDateTime();
    OnlineSetup::fill(*m_Context, tcpLinks(), 2, {QStringLiteral("X")}, {}, 0.05, now.addSecs(-1), now.addSecs(-10));
    startDialog();
    OnlineSession* session = m_Dialog->session();
    QVERIFY(waitFor([&] { return session->scansStored() >= 5; }, 15000));
    QElapsedTimer t;
    t.start();
    m_Dialog.reset();
    QVERIFY(t.elapsed() < 3000);
    const int rows = TestSupport::scalar("select count(*) from ParametersData where Name = 'X'").toInt();
    QVERIFY(rows >= 5);
    const QString end = TestSupport::scalar("select max(Time) from ParametersData").toString().left(19);
    QCOMPARE(TestSupport::scalar("select End from Parameters where Name = 'X'").toString(), end);
    QTest::qWait(200); // late link events find nothing deleted under them
}

void TestOnlineEngine::deviceOverPty()
{
    QVERIFY(startSimulator(1, 3, QStringLiteral("tcp=none,pty")));
    const QStringList ptys = m_Sim->endpoints(QStringLiteral("pty"));
    QCOMPARE(ptys.size(), 1);
    const QDateTime now = QDateTime::currentDateTime();
    OnlineSetup::fill(*m_Context, {OnlineSetup::serialLink(ptys.first())}, 3, {QStringLiteral("T")}, {}, 0.25,
                      now.addSecs(-1), now.addSecs(-10));
    startDialog();
    OnlineSession* session = m_Dialog->session();
    QVERIFY(waitFor([&] { return session->scansStored() >= 4; }, 15000));
    stopAndSave();
    using OnlineSetup::valueText;
    checkRows(QStringLiteral("T"), {valueText(0, 0), valueText(0, 1), valueText(0, 2)}, session->scansStored());
}

void TestOnlineEngine::deviceThatDoesNotOpen()
{
    quint16 port = 0;
    {
        QTcpServer probe; // a port nobody listens on once it closes
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    const QDateTime now = QDateTime::currentDateTime();
    OnlineSetup::fill(*m_Context, {OnlineSetup::tcpLink(QStringLiteral("127.0.0.1:%1").arg(port))}, 2,
                      {QStringLiteral("F")}, {}, 0.2, now.addSecs(-1), now.addSecs(60));
    startDialog();
    QVERIFY(waitCommand(QStringLiteral("结束"), 15000));
    QCOMPARE(MessageBox::last().title, QStringLiteral("提示"));
    QCOMPARE(MessageBox::last().text, QStringLiteral("设备连接失败,请退出重试！"));
    QVERIFY(m_Dialog->close());
    m_Dialog.reset();
    QCOMPARE(TestSupport::scalar("select count(*) from Parameters").toInt(), 0);
}

// The project record is not stored: the run does not start (its scans would
// belong to no project), and nothing of it is written.
void TestOnlineEngine::projectRecordRefused()
{
    QVERIFY(startSimulator(1, 2));
    // A table that refuses every insert for another reason than a taken name.
    TestSupport::scalar(QStringLiteral("ALTER TABLE Parameters RENAME TO ParametersKept"));
    TestSupport::scalar(QStringLiteral("CREATE VIEW Parameters AS SELECT * FROM ParametersKept"));
    const QDateTime now = QDateTime::currentDateTime();
    OnlineSetup::fill(*m_Context, tcpLinks(), 2, {QStringLiteral("R")}, {}, 0.1, now.addSecs(-1), now.addSecs(60));
    startDialog();
    QVERIFY(waitCommand(QStringLiteral("结束"), 15000));
    QCOMPARE(MessageBox::last().text, QStringLiteral("项目信息保存失败，采集未开始！"));
    QTest::qWait(300);
    QCOMPARE(m_Dialog->session()->scansHandled(), 0);
    QVERIFY(m_Dialog->close());
    m_Dialog.reset();
    QCOMPARE(TestSupport::scalar("select count(*) from ParametersData").toInt(), 0);
}

QTEST_MAIN(TestOnlineEngine)
#include "tst_onlineengine.moc"
