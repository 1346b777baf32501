// arq-calibration-runner: the calibration page in a process of its own, for
// the test that kills it in the middle of a run and for the soak.
//
//   arq-calibration-runner --workdir DIR --bath PTY --logger PORT [--fresh]
//   arq-calibration-runner --workdir DIR --simulator PATH --soak SECONDS
//
// --fresh stores the configuration and fills the page (a thermistor run in
// the bath, points 0 … 80 ℃); without it the page comes back from its own
// settings and "继续" carries on. Prints "POINT n" when a point is stored and
// "END text" at the end; exits 0 when the run ended normally.
//
// --soak starts its own simulated bath and thermistor logger and runs whole
// calibrations one after another for SECONDS of wall time, each on a new page
// with a new configuration; every round's B0 and B1 are checked against the
// simulated sensors. Lines: "ROUND n ok|FAILED … rss_kb=… threads=…" and
// "DONE rounds=… failed=… …"; exits 0 when every round passed.
#include "CalibrationBench.h"
#include "ChannelCalibration.h"
#include "ChannelScan.h"
#include "ChannelSet.h"
#include "MessageBox.h"
#include "ModalRun.h"
#include "SimulatorProcess.h"
#include "Tool.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

#include <QFile>

#include <cmath>
#include <cstdio>

namespace {

qint64 statusValue(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key)) {
            const QList<QByteArray> parts = line.simplified().split(' ');
            return parts.size() >= 2 ? parts.at(1).toLongLong() : -1;
        }
    return -1;
}

// Answers the dialogs a run opens: every enabled channel, the bath on `bath`.
void answerDialogs(const QString& bath)
{
    ModalRun::setRunner([bath](QDialog* dialog) {
        if (auto* set = qobject_cast<ChannelSet*>(dialog)) {
            for (QCheckBox* box : set->checkBoxes())
                box->setChecked(box->isEnabled());
            set->OK_Clicked();
            return set->result();
        }
        if (auto* scan = qobject_cast<ChannelScan*>(dialog)) {
            scan->findChild<QComboBox*>("comboBox_Com")->setCurrentText(bath);
            scan->findChild<QComboBox*>("comboBox_BaudRate")->setCurrentText("9600");
            scan->findChild<QPushButton*>("pushButton_OK")->click();
            return scan->result();
        }
        return int(QDialog::Accepted);
    });
}

// A thermistor run in the bath, points 0 … 80 ℃.
void fillPage(ChannelCalibration& page)
{
    page.findChild<QComboBox*>("comboBox_Field")->setCurrentText("油槽-R");
    page.findChild<QPushButton*>("pushButton_Field")->click();
    page.findChild<QComboBox*>("comboBox_Criteria")->setCurrentText("油槽-R");
    const QStringList points{"0", "20", "40", "60", "80"};
    for (int i = 0; i < points.size(); ++i)
        page.findChild<QLineEdit*>(QStringLiteral("lineEdit_Temp%1").arg(i + 1))->setText(points.at(i));
    page.findChild<QLineEdit*>("lineEdit_Delay")->setText("5");
    page.findChild<QLineEdit*>("lineEdit_Max")->setText("8");
}

// Waits until the page's run and workers are done; false when they are not
// within `ms` (a stuck worker).
bool waitIdle(ChannelCalibration& page, int ms)
{
    QElapsedTimer t;
    t.start();
    while (!page.IsIdle() && t.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    QCoreApplication::processEvents();
    return page.IsIdle();
}

int soak(const QString& simulator, double seconds)
{
    // The simulated sensors' known coefficients (ln R = B0 + B1/T + B2/T² + B3/T³).
    const double known[2][4] = {{-4.2, 3990, -12000, 1000000}, {-4.05, 3950, -9000, 800000}};
    SimulatorProcess sim;
    if (!sim.start({"--time-scale", "1000", "--instrument",
                    "model=KRLB-1,pty,noise=0,wobble=0,temperature=20,setpoint=20", "--instrument",
                    "model=3107A-NTC,tcp=127.0.0.1:0,noise=0,in=1:101-102,sensor101=-4.2:3990:-12000:1000000,"
                    "sensor102=-4.05:3950:-9000:800000"},
                   2, 10000, simulator)) {
        std::printf("SETUP failed %s\n", sim.errors().toUtf8().constData());
        return 2;
    }
    answerDialogs(sim.pty());
    MessageBox::setTestMode(true);
    QElapsedTimer wall;
    wall.start();
    int rounds = 0, failed = 0;
    qint64 rssFirst = -1, rssEnd = -1, threadsFirst = -1, threadsEnd = -1;
    while (wall.elapsed() < seconds * 1000) {
        ++rounds;
        const QString name = QStringLiteral("SOAK-%1").arg(rounds);
        QElapsedTimer t;
        t.start();
        QString outcome;
        if (!Tool::addChannelConfig(
                CalibrationBench::config(name, "3107A-NTC", {"热敏电阻", "热敏电阻"}, {"R(T)", "R(T)"}, "Ω"))) {
            outcome = QStringLiteral("configuration not stored");
        } else {
            SystemContext context;
            context.ConnectedDevices = {
                CalibrationBench::device(1, "3107A-NTC", name, "127.0.0.1", QString::number(sim.port()))};
            auto page = std::make_unique<ChannelCalibration>();
            page->setContext(&context);
            page->session().TimeScale = 0.002;
            fillPage(*page);
            page->findChild<QPushButton*>("pushButton_Open")->click();
            if (!waitIdle(*page, 300000))
                outcome = QStringLiteral("stuck: page not idle after 300 s");
            else if (MessageBox::last().text != QStringLiteral("校准结束退出!"))
                outcome = QStringLiteral("ended with \"%1\"").arg(MessageBox::last().text);
            page.reset();
            QList<Tool::Struct_ChannelConfig> stored;
            if (outcome.isEmpty() && (!Tool::getChannelConfig(stored, name) || stored.isEmpty()))
                outcome = QStringLiteral("configuration not found");
            for (int i = 0; outcome.isEmpty() && i < 2; ++i) {
                const double b0 = stored.first().A_C0.value(i).toDouble();
                const double b1 = stored.first().B_C1.value(i).toDouble();
                if (std::fabs(b0 - known[i][0]) > 1e-4 * std::fabs(known[i][0])
                    || std::fabs(b1 - known[i][1]) > 1e-4 * std::fabs(known[i][1]))
                    outcome = QStringLiteral("channel %1: B0 %2, B1 %3").arg(101 + i).arg(b0).arg(b1);
            }
        }
        // The message-box seam keeps what it showed; it is not the page's memory.
        MessageBox::clear();
        QCoreApplication::processEvents();
        rssEnd = statusValue("VmRSS:");
        threadsEnd = statusValue("Threads:");
        if (rounds == 3) {
            rssFirst = rssEnd;
            threadsFirst = threadsEnd;
        }
        if (!outcome.isEmpty())
            ++failed;
        std::printf("ROUND %d %s seconds=%.1f rss_kb=%lld threads=%lld\n", rounds,
                    outcome.isEmpty() ? "ok" : qPrintable(QStringLiteral("FAILED ") + outcome),
                    t.elapsed() / 1000.0, rssEnd, threadsEnd);
        std::fflush(stdout);
    }
    std::printf("DONE rounds=%d failed=%d wall_s=%.0f rss_round3_kb=%lld rss_end_kb=%lld peak_rss_kb=%lld "
                "threads_round3=%lld threads_end=%lld\n",
                rounds, failed, wall.elapsed() / 1000.0, rssFirst, rssEnd, statusValue("VmHWM:"), threadsFirst,
                threadsEnd);
    std::fflush(stdout);
    return failed == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString workdir, bath, logger, simulator;
    double soakSeconds = 0;
    bool fresh = false;
    const QStringList args = app.arguments();
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--fresh"))
            fresh = true;
        else if (i + 1 < args.size() && args.at(i) == QLatin1String("--workdir"))
            workdir = args.at(++i);
        else if (i + 1 < args.size() && args.at(i) == QLatin1String("--bath"))
            bath = args.at(++i);
        else if (i + 1 < args.size() && args.at(i) == QLatin1String("--logger"))
            logger = args.at(++i);
        else if (i + 1 < args.size() && args.at(i) == QLatin1String("--simulator"))
            simulator = args.at(++i);
        else if (i + 1 < args.size() && args.at(i) == QLatin1String("--soak"))
            soakSeconds = args.at(++i).toDouble();
    }
    if (!QDir::setCurrent(workdir) || !Tool::openDefaultDatabase())
        return 2;
    if (soakSeconds > 0)
        return soak(simulator.isEmpty() ? SimulatorProcess::program() : simulator, soakSeconds);
    if (fresh
        && !Tool::addChannelConfig(
            CalibrationBench::config("NTC-RUN", "3107A-NTC", {"热敏电阻", "热敏电阻"}, {"R(T)", "R(T)"}, "Ω")))
        return 2;

    MessageBox::setTestMode(true);
    answerDialogs(bath);

    SystemContext context;
    context.ConnectedDevices = {CalibrationBench::device(1, "3107A-NTC", "NTC-RUN", "127.0.0.1", logger)};
    ChannelCalibration page;
    page.setContext(&context);
    page.session().TimeScale = 0.002;
    if (fresh)
        fillPage(page);
    std::printf("START %d\n", page.session().storedPoints());
    std::fflush(stdout);
    QObject::connect(&page, &ChannelCalibration::WriteConfig_signals, &page, [&page] {
        std::printf("POINT %d\n", page.session().storedPoints());
        std::fflush(stdout);
    });
    page.findChild<QPushButton*>("pushButton_Open")->click();
    waitIdle(page, 300000);
    const QString last = MessageBox::last().text;
    std::printf("END %s\n", last.toUtf8().constData());
    std::fflush(stdout);
    return last == QStringLiteral("校准结束退出!") ? 0 : 1;
}
