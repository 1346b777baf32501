// arq-calibration-runner: the calibration page in a process of its own, for
// the test that kills it in the middle of a run.
//
//   arq-calibration-runner --workdir DIR --bath PTY --logger PORT [--fresh]
//
// --fresh stores the configuration and fills the page (a thermistor run in
// the bath, points 0 … 80 ℃); without it the page comes back from its own
// settings and "继续" carries on. Prints "POINT n" when a point is stored and
// "END text" at the end; exits 0 when the run ended normally.
#include "CalibrationBench.h"
#include "ChannelCalibration.h"
#include "ChannelScan.h"
#include "ChannelSet.h"
#include "MessageBox.h"
#include "ModalRun.h"
#include "Tool.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QThread>

#include <cstdio>

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QString workdir, bath, logger;
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
    }
    if (!QDir::setCurrent(workdir) || !Tool::openDefaultDatabase())
        return 2;
    if (fresh
        && !Tool::addChannelConfig(
            CalibrationBench::config("NTC-RUN", "3107A-NTC", {"热敏电阻", "热敏电阻"}, {"R(T)", "R(T)"}, "Ω")))
        return 2;

    MessageBox::setTestMode(true);
    ModalRun::setRunner([&bath](QDialog* dialog) {
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

    SystemContext context;
    context.ConnectedDevices = {CalibrationBench::device(1, "3107A-NTC", "NTC-RUN", "127.0.0.1", logger)};
    ChannelCalibration page;
    page.setContext(&context);
    page.session().TimeScale = 0.002;
    if (fresh) {
        page.findChild<QComboBox*>("comboBox_Field")->setCurrentText("油槽-R");
        page.findChild<QPushButton*>("pushButton_Field")->click();
        page.findChild<QComboBox*>("comboBox_Criteria")->setCurrentText("油槽-R");
        const QStringList points{"0", "20", "40", "60", "80"};
        for (int i = 0; i < points.size(); ++i)
            page.findChild<QLineEdit*>(QStringLiteral("lineEdit_Temp%1").arg(i + 1))->setText(points.at(i));
        page.findChild<QLineEdit*>("lineEdit_Delay")->setText("5");
        page.findChild<QLineEdit*>("lineEdit_Max")->setText("8");
    }
    std::printf("START %d\n", page.session().storedPoints());
    std::fflush(stdout);
    QObject::connect(&page, &ChannelCalibration::WriteConfig_signals, &page, [&page] {
        std::printf("POINT %d\n", page.session().storedPoints());
        std::fflush(stdout);
    });
    page.findChild<QPushButton*>("pushButton_Open")->click();
    QElapsedTimer t;
    t.start();
    while (!page.IsIdle() && t.elapsed() < 300000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    QCoreApplication::processEvents();
    const QString last = MessageBox::last().text;
    std::printf("END %s\n", last.toUtf8().constData());
    std::fflush(stdout);
    return last == QStringLiteral("校准结束退出!") ? 0 : 1;
}
