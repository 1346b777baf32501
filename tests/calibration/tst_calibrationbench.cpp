// Whole calibrations against the simulated bench, whose sensors carry errors
// we chose: the coefficients the page writes must give those errors back.
// Also the link dialog reached from the page's "通信设置" buttons, a run
// ended in the middle of a point, and a manual run in two batches.
#include "BlePlatform.h"
#include "CalibrationBench.h"
#include "CalibrationMath.h"
#include "CalibrationHistoryDialog.h"
#include "CalibrationOptionsDialog.h"
#include "CalibrationStore.h"
#include "LabRecords.h"
#include "CertificateDialog.h"
#include "ChannelCalibration.h"
#include "LabRecordsDialog.h"
#include "ChannelScan.h"
#include "ChannelSet.h"
#include "Device.h"
#include "MessageBox.h"
#include "ModalRun.h"
#include "SimulatorProcess.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <memory>

using namespace CalibrationMath;

namespace {

using CalibrationBench::child;
using CalibrationBench::waitFor;

bool shown(const QString& text)
{
    for (const MessageBox::Shown& s : MessageBox::shown())
        if (s.text == text)
            return true;
    return false;
}

int countShown(const QString& text)
{
    int n = 0;
    for (const MessageBox::Shown& s : MessageBox::shown())
        n += s.text == text;
    return n;
}

// Every digit of a sensor parameter on the simulator's command line.
QString exact(double v)
{
    return QString::number(v, 'g', 15);
}

// W of a platinum sensor at t: the deviation below or above zero around the
// reference function, solved by Newton.
double solveW(double t, double a, double b, double a4, double b4, double zeroAt)
{
    const double wr = t < zeroAt ? referenceBelowZero(t) : referenceAboveZero(t);
    double w = wr;
    for (int i = 0; i < 60; ++i) {
        const double f = t < zeroAt ? w - wr - a4 * (w - 1) - b4 * (w - 1) * std::log(w)
                                    : w - wr - a * (w - 1) - b * (w - 1) * (w - 1);
        const double df = t < zeroAt ? 1 - a4 - b4 * (std::log(w) + (w - 1) / w) : 1 - a - 2 * b * (w - 1);
        w -= f / df;
    }
    return w;
}

struct Platinum
{
    double r0, a, b, a4, b4;
    // The sensor as built: W relative to the triple point of water.
    double resistance(double t) const { return r0 * solveW(t, a, b, a4, b4, 0.01); }
    QString option() const { return QStringList{exact(r0), exact(a), exact(b), exact(a4), exact(b4)}.join(':'); }
};

struct Thermistor
{
    double b0, b1, b2, b3;
    double resistance(double t) const
    {
        const double T = t + 273.15;
        return std::exp(b0 + b1 / T + b2 / (T * T) + b3 / (T * T * T));
    }
    QString option() const { return QStringList{exact(b0), exact(b1), exact(b2), exact(b3)}.join(':'); }
};

// The budget of a point worked out here from what the lab entered and the
// run measured, as the GUM lays it out: u_i of every input in ℃, u_c their
// root sum of squares, ν_eff by Welch–Satterthwaite over the Type A terms,
// k from the GUM's table G.2 for 95.45 % (the tabulated ν at or below, 2
// beyond 100), U to two significant digits.
struct HandBudget
{
    QList<QPair<double, double>> parts; // (u_i in ℃, ν_i; 0 for infinite)
    void add(double u, double dof = 0) { parts << qMakePair(u, dof); }
    double uc() const
    {
        double sum = 0;
        for (const auto& p : parts)
            sum += p.first * p.first;
        return std::sqrt(sum);
    }
    double dof() const
    {
        double sum = 0;
        for (const auto& p : parts)
            if (p.second > 0)
                sum += std::pow(p.first, 4) / p.second;
        return sum > 0 ? std::pow(uc(), 4) / sum : INFINITY;
    }
    double k() const
    {
        static const QList<QPair<double, double>> table{
            {1, 13.97}, {2, 4.53},  {3, 3.31},  {4, 2.87},  {5, 2.65},  {6, 2.52},  {7, 2.43},   {8, 2.37},
            {9, 2.32},  {10, 2.28}, {11, 2.25}, {12, 2.23}, {13, 2.21}, {14, 2.20}, {15, 2.18},  {16, 2.17},
            {17, 2.16}, {18, 2.15}, {19, 2.14}, {20, 2.13}, {25, 2.11}, {30, 2.09}, {35, 2.07},  {40, 2.06},
            {45, 2.06}, {50, 2.05}, {100, 2.025}};
        const double nu = dof();
        if (!std::isfinite(nu) || nu > 100)
            return 2.0;
        double k = table.first().second;
        for (const auto& row : table)
            if (row.first <= nu)
                k = row.second;
        return k;
    }
    int decimals() const { return 1 - int(std::floor(std::log10(k() * uc()))); }
    double U() const
    {
        const double scale = std::pow(10.0, decimals());
        return std::round(k() * uc() * scale) / scale;
    }
};

double interpolated(const QList<QPair<double, double>>& table, double t)
{
    if (t <= table.first().first)
        return table.first().second;
    for (int i = 1; i < table.size(); ++i)
        if (t <= table.at(i).first) {
            const auto& a = table.at(i - 1);
            const auto& b = table.at(i);
            return a.second + (b.second - a.second) * (t - a.first) / (b.first - a.first);
        }
    return table.last().second;
}

QString runProgram(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TestCalibrationBench : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void thermocoupleRunOnADryBlock();
    void platinumRunInABath();
    void leastSquaresCheckPointAndCallendar();
    void thermistorRunInABath();
    void changeLiquidStopsAndContinues();
    void endDuringAPoint();
    void manualRunInTwoBatches();
    void thermometerLinkFromThePage();
    void thermocoupleRunAgainstTheThermometer();
    void averagedReadingsKeepTheirStatistics();
    void unstableReference_data();
    void unstableReference();
    void historyOfTwoRunsAndRestore();
    void discardedResultThenWrittenWithTheLoggerGone();
    void sourceThatNeverSettles();
    void overdueSourceReference();
    void overdueReferenceConfirmedAsAWarning();
    void certificateOfAThermocoupleRun();
    void certificateOfAPlatinumRun();

private:
    // Sets the measurement settings through the page's dialog.
    void setOptions(const QMap<QString, QString>& values);
    // The page on the simulated loggers (TCP endpoints after the sources).
    void openPage(const QList<Tool::Struct_AcquisitionDevice>& devices);
    // Sets the source through its "通信设置" button and the link dialog, testing the link.
    void linkSource(const QString& kind, const QString& mode, const QString& address, const QString& port);
    void setPoints(const QStringList& temps, int delay, int max);
    // Start; the channel dialog takes every channel of `kind`.
    void start(const QString& kind, const QList<int>& choices = {});
    bool waitForEnd(int timeoutMs);
    Tool::Struct_ChannelConfig stored(const QString& name);
    // The lab's records entered through the dialog of the page's button.
    void enterRecords(const QList<QStringList>& standards, const QList<QStringList>& sources,
                      const QList<QStringList>& readouts);
    // A certificate for the device of `config`/`channel`'s last run, through
    // the history dialog; the data file parsed, the PDF's pages as text.
    QJsonObject issueCertificate(const QString& config, const QString& channel, const QString& path,
                                 QStringList* pages);

    std::unique_ptr<TestWorkDir> m_Dir;
    SystemContext m_Context;
    std::unique_ptr<ChannelCalibration> m_Page;
    std::unique_ptr<SimulatorProcess> m_SimProcess;
    SimulatorProcess& sim() { return *m_SimProcess; }
};

void TestCalibrationBench::init()
{
    ARQ_SHARD(this);
    m_Dir.reset(new TestWorkDir);
    QVERIFY(TestSupport::openDatabase());
    MessageBox::setTestMode(true);
    m_SimProcess.reset(new SimulatorProcess);
}

void TestCalibrationBench::cleanup()
{
    m_Page.reset();
    Device::setTimeScale(1.0);
    ModalRun::setRunner({});
    m_SimProcess.reset();
    TestSupport::closeDatabase();
    m_Dir.reset();
}

void TestCalibrationBench::openPage(const QList<Tool::Struct_AcquisitionDevice>& devices)
{
    m_Context.ConnectedDevices = devices;
    m_Page.reset(new ChannelCalibration);
    m_Page->setContext(&m_Context);
    // An hour of waiting for stability and delays passes in seconds; the
    // simulated sources run faster by the same means.
    m_Page->session().TimeScale = 0.002;
}

void TestCalibrationBench::linkSource(const QString& kind, const QString& mode, const QString& address,
                                      const QString& port)
{
    child<QComboBox>(m_Page.get(), "comboBox_Field")->setCurrentText(kind);
    bool tested = false;
    ModalRun::setRunner([&](QDialog* dialog) {
        auto* scan = qobject_cast<ChannelScan*>(dialog);
        if (!scan)
            return int(QDialog::Rejected);
        child<QComboBox>(scan, "comboBox_Communication")->setCurrentText(mode);
        if (mode == QStringLiteral("网络")) {
            child<QLineEdit>(scan, "lineEdit_Com")->setText(address);
            child<QLineEdit>(scan, "lineEdit_BaudRate")->setText(port);
        } else {
            child<QComboBox>(scan, "comboBox_Com")->setCurrentText(address);
            child<QComboBox>(scan, "comboBox_BaudRate")->setCurrentText(port);
        }
        MessageBox::clear();
        child<QPushButton>(scan, "pushButton_Scan")->click();
        tested = waitFor([] { return !MessageBox::shown().isEmpty(); }, 30000)
                 && MessageBox::last().text.startsWith(QStringLiteral("测试成功！\n序列号："))
                 && MessageBox::last().text.size() > QStringLiteral("测试成功！\n序列号：").size();
        child<QPushButton>(scan, "pushButton_OK")->click();
        return scan->result();
    });
    child<QPushButton>(m_Page.get(), "pushButton_Field")->click();
    QVERIFY2(tested, qPrintable(MessageBox::last().text));
}

void TestCalibrationBench::setOptions(const QMap<QString, QString>& values)
{
    ModalRun::setRunner([&values](QDialog* dialog) {
        auto* options = qobject_cast<CalibrationOptionsDialog*>(dialog);
        if (!options)
            return int(QDialog::Rejected);
        for (auto it = values.begin(); it != values.end(); ++it) {
            if (it.key() == "UnstableAction") {
                auto* box = child<QComboBox>(options, "comboBox_UnstableAction");
                box->setCurrentIndex(box->findData(it.value()));
            } else {
                child<QLineEdit>(options, "lineEdit_" + it.key())->setText(it.value());
            }
        }
        options->OK_Clicked();
        return options->result();
    });
    child<QPushButton>(m_Page.get(), "pushButton_Options")->click();
    for (auto it = values.begin(); it != values.end(); ++it)
        QCOMPARE(m_Page->options().value(it.key()), it.value());
}

void TestCalibrationBench::setPoints(const QStringList& temps, int delay, int max)
{
    // "200?" is a check point at 200 ℃.
    for (int i = 0; i < 9; ++i) {
        QString t = temps.value(i);
        const bool check = t.endsWith('?');
        t.remove('?');
        child<QLineEdit>(m_Page.get(), QStringLiteral("lineEdit_Temp%1").arg(i + 1))->setText(t);
        child<QCheckBox>(m_Page.get(), QStringLiteral("checkBox_Check%1").arg(i + 1))->setChecked(check);
    }
    child<QLineEdit>(m_Page.get(), "lineEdit_Delay")->setText(QString::number(delay));
    child<QLineEdit>(m_Page.get(), "lineEdit_Max")->setText(QString::number(max));
}

void TestCalibrationBench::start(const QString& kind, const QList<int>& choices)
{
    ModalRun::setRunner([kind](QDialog* dialog) {
        if (auto* set = qobject_cast<ChannelSet*>(dialog)) {
            child<QComboBox>(set, "comboBox_Mode")->setCurrentText(kind);
            for (QCheckBox* box : set->checkBoxes())
                box->setChecked(box->isEnabled());
            set->OK_Clicked();
            return set->result();
        }
        return int(QDialog::Accepted);
    });
    MessageBox::clear();
    for (int choice : choices)
        MessageBox::queueChoice(choice);
    child<QPushButton>(m_Page.get(), "pushButton_Open")->click();
}

bool TestCalibrationBench::waitForEnd(int timeoutMs)
{
    // After the run the save step may send the loggers their configuration
    // on a worker of its own: what it reports comes after it is gone.
    if (!waitFor([this] { return m_Page->IsIdle(); }, timeoutMs))
        return false;
    QTest::qWait(200);
    return waitFor([this] { return m_Page->IsIdle(); }, timeoutMs);
}

Tool::Struct_ChannelConfig TestCalibrationBench::stored(const QString& name)
{
    QList<Tool::Struct_ChannelConfig> list;
    Tool::getChannelConfig(list, name);
    return list.value(0);
}

void TestCalibrationBench::thermocoupleRunOnADryBlock()
{
    // Twelve thermocouples, five to a batch: batches of 5, 5 and 2.
    QList<QPair<double, double>> sensors;
    for (int i = 0; i < 12; ++i)
        sensors << qMakePair(0.9950 + 0.0009 * i, -0.45 + 0.083 * i);
    QString logger = "model=3107A-TC,tcp=127.0.0.1:0,noise=0,id=TCBENCH001,in=1:101-112";
    for (int i = 0; i < sensors.size(); ++i)
        logger += QStringLiteral(",sensor%1=%2:%3").arg(101 + i).arg(exact(sensors[i].first), exact(sensors[i].second));
    QVERIFY2(sim().start({"--time-scale", "500", "--instrument",
                          "model=KRDB-1,tcp=127.0.0.1:0,noise=0,wobble=0,refoffset=0,temperature=25,id=KD24031",
                          "--instrument", logger},
                         2),
             qPrintable(sim().errors()));
    const QStringList tcp = sim().endpoints("tcp");
    const QString blockPort = tcp.at(0).section(':', -1);
    QStringList types, functions;
    for (int i = 0; i < 12; ++i) {
        types << "热电偶";
        functions << "K";
    }
    QVERIFY(Tool::addChannelConfig(CalibrationBench::config("TC-BENCH", "3107A-TC", types, functions)));
    openPage({CalibrationBench::device(1, "3107A-TC", "TC-BENCH", "127.0.0.1", tcp.at(1).section(':', -1))});

    linkSource("干式炉-R", "网络", "127.0.0.1", blockPort);
    child<QComboBox>(m_Page.get(), "comboBox_Criteria")->setCurrentText("干式炉-R");
    setPoints({"100", "300"}, 1, 5);
    start("热电偶");
    QVERIFY(!m_Page->IsIdle());
    QCOMPARE(child<QPushButton>(m_Page.get(), "pushButton_Open")->text(), QStringLiteral("暂停"));
    // For the documentation: ARQ_SCREENSHOT_DIR=… shows the page in the run and after the save.
    const QString shots = qEnvironmentVariable("ARQ_SCREENSHOT_DIR");
    if (!shots.isEmpty()) {
        m_Page->resize(1100, 640);
        m_Page->show();
        QVERIFY(waitFor([this] { return m_Page->session().storedPoints() == 1; }, 240000));
        QTest::qWait(200);
        QVERIFY(m_Page->grab().save(shots + "/calibration-running.png"));
    }
    QVERIFY(waitForEnd(240000));
    if (!shots.isEmpty())
        QVERIFY(m_Page->grab().save(shots + "/calibration-saved.png"));

    // Two points, three batches each: six probe swaps, then the end of the run.
    QCOMPARE(countShown("请更换通道后点击确定按钮！"), 6);
    QCOMPARE(MessageBox::last().text, QStringLiteral("校准结束退出!"));
    const QString log = child<QPlainTextEdit>(m_Page.get(), "plainTextEdit_Data")->toPlainText();
    QVERIFY2(log.contains("校准数据保存成功！"), qPrintable(log));
    QVERIFY(log.contains("温场设备断开连接。"));
    // Written: the page is ready for a new run, the block is left at its
    // standby set-point (the dry blocks' lowest, 50 ℃) and the logger has its
    // configuration back.
    QCOMPARE(child<QPushButton>(m_Page.get(), "pushButton_Open")->text(), QStringLiteral("开始"));
    QCOMPARE(m_Page->session().storedPoints(), 0);
    QVERIFY2(log.contains("温场已设为待机温度 50.00 ℃。"), qPrintable(log));
    QVERIFY2(log.contains("采集设备1已下发更新后的通道参数。"), qPrintable(log));
    QVERIFY(log.indexOf("校准数据保存成功！") < log.indexOf("采集设备1已下发更新后的通道参数。"));
    QCOMPARE(MessageBox::shown().at(MessageBox::shown().size() - 2).title, QStringLiteral("校准结果"));
    QStringList storedPoints;
    for (int k = 1; k <= 2; ++k)
        storedPoints << TestSupport::scalar(QStringLiteral("SELECT CalibrationData%1 FROM ChannelCalibrationData").arg(k))
                            .toString();
    for (const QString& text : qAsConst(storedPoints)) {
        const QStringList point = text.split(';');
        QCOMPARE(point.size(), 3);
        QCOMPARE(QList<int>({point.at(0).split(',').size(), point.at(1).split(',').size(), point.at(2).split(',').size()}),
                 QList<int>({5, 5, 2}));
    }

    // Readings carry float precision and the reference four decimals: M to
    // 2e-5 and B to 5 mK.
    const Tool::Struct_ChannelConfig config = stored("TC-BENCH");
    for (int i = 0; i < sensors.size(); ++i) {
        const double m = config.MX_B_M.value(i).toDouble();
        const double b = config.MX_B_B.value(i).toDouble();
        QVERIFY2(std::fabs(m - sensors[i].first) < 2e-5 && std::fabs(b - sensors[i].second) < 5e-3,
                 qPrintable(QStringLiteral("channel %1: M %2 B %3").arg(101 + i).arg(m).arg(b)));
    }
    QCOMPARE(TestSupport::scalar("SELECT ChannelMode FROM ChannelCalibrationData").toString(), QStringLiteral("热电偶"));
}

void TestCalibrationBench::platinumRunInABath()
{
    const QList<Platinum> sensors{{100.0123, -0.0205, 0.00073, -0.0206, -0.00041},
                                  {99.987, -0.0198, 0.00069, -0.0199, -0.00038}};
    QString logger = "model=3107A-RTD,tcp=127.0.0.1:0,noise=0,id=RTDBENCH01,in=1:101-102";
    for (int i = 0; i < sensors.size(); ++i)
        logger += QStringLiteral(",sensor%1=%2").arg(101 + i).arg(sensors[i].option());
    QVERIFY2(sim().start({"--time-scale", "1000", "--instrument",
                          "model=KRLB-3,pty,noise=0,wobble=0,temperature=20,setpoint=20,id=KL24117", "--instrument",
                          logger},
                         2),
             qPrintable(sim().errors()));
    QVERIFY(Tool::addChannelConfig(
        CalibrationBench::config("PT-BENCH", "3107A-RTD", {"铂电阻", "铂电阻"}, {"ITS90", "ITS90"}, "Ω")));
    openPage({CalibrationBench::device(1, "3107A-RTD", "PT-BENCH", "127.0.0.1", QString::number(sim().port()))});

    linkSource("油槽-R", "串口", sim().pty(), "9600");
    child<QComboBox>(m_Page.get(), "comboBox_Criteria")->setCurrentText("油槽-R");
    // One probe per batch: two batches at every point; the zero point goes
    // through its own procedure.
    setPoints({"-80", "-40", "0", "60", "100"}, 5, 1);
    start("铂电阻");
    QVERIFY(waitForEnd(300000));
    QCOMPARE(MessageBox::last().text, QStringLiteral("校准结束退出!"));
    QCOMPARE(countShown("请更换通道后点击确定按钮！"), 10);
    const QString log = child<QPlainTextEdit>(m_Page.get(), "plainTextEdit_Data")->toPlainText();
    QVERIFY2(log.contains("校准数据保存成功！"), qPrintable(log));
    QVERIFY(log.contains("标准:"));

    // The known answer: the sensors' own ITS-90 coefficients, R0 at 0.01 ℃.
    // Tolerances from what the run reads: resistances as single-precision
    // floats (6e-6 Ω near 100 Ω, a W of 6e-8) and references with 4 decimals
    // (±5e-5 ℃, a W of 2e-7 at 0.004/K), over W − 1 of 0.16 … 0.39: a and a4
    // to 1e-5, the curvature terms b and b4 (over (W − 1)²) to 5e-5, R0 to
    // 5e-5 Ω; the 8-decimal texts add 5e-9.
    const Tool::Struct_ChannelConfig config = stored("PT-BENCH");
    QCOMPARE(TestSupport::scalar("SELECT CalibrationCriteria FROM ChannelCalibrationData").toString().split(';').size(), 5);
    for (int i = 0; i < sensors.size(); ++i) {
        const QList<std::tuple<QString, double, double, const char*>> texts{
            {config.A_C0.value(i), sensors[i].a, 1e-5, "a"},    {config.B_C1.value(i), sensors[i].b, 5e-5, "b"},
            {config.A4_C5.value(i), sensors[i].a4, 1e-5, "a4"}, {config.B4_C6.value(i), sensors[i].b4, 5e-5, "b4"},
            {config.R0_C4.value(i), sensors[i].r0, 5e-5, "R0"}};
        for (const auto& t : texts)
            QVERIFY2(std::fabs(std::get<0>(t).toDouble() - std::get<1>(t)) < std::get<2>(t),
                     qPrintable(QStringLiteral("channel %1 %2: %3, sensor %4")
                                    .arg(101 + i)
                                    .arg(std::get<3>(t), std::get<0>(t))
                                    .arg(std::get<1>(t), 0, 'g', 10)));
        QCOMPARE(config.C_C2.value(i), QStringLiteral("0"));

        // The calibrated channel reads the sensor's resistance right across
        // the range; at 0.01 ℃ within 1 mK.
        Device::Channel ch;
        ch.R0_C4 = config.R0_C4.value(i);
        ch.A_C0 = config.A_C0.value(i);
        ch.B_C1 = config.B_C1.value(i);
        ch.A4_C5 = config.A4_C5.value(i);
        ch.B4_C6 = config.B4_C6.value(i);
        for (double t : {-80.0, -40.0, -5.0, 0.0, 0.01, 20.0, 60.0, 100.0}) {
            const double error = temperatureOf("铂电阻", ch, sensors[i].resistance(t), t) - t;
            QVERIFY2(std::fabs(error) < (t == 0.01 ? 0.001 : 0.002),
                     qPrintable(QStringLiteral("channel %1 at %2 ℃: %3 mK").arg(101 + i).arg(t).arg(error * 1000)));
        }
    }
}

void TestCalibrationBench::leastSquaresCheckPointAndCallendar()
{
    // One run in one bath: two ITS-90 sensors on a 3107A (three fit points
    // above zero: least squares) and an IEC 60751 Pt100 on a 1586A channel
    // with the Callendar–Van Dusen function, read as a four-wire resistance;
    // 50 ℃ is a check point.
    const QList<Platinum> sensors{{100.0123, -0.0205, 0.00073, -0.0206, -0.00041},
                                  {99.987, -0.0198, 0.00069, -0.0199, -0.00038}};
    QString logger = "model=3107A-RTD,tcp=127.0.0.1:0,noise=0,id=RTDBENCH01,in=1:101-102";
    for (int i = 0; i < sensors.size(); ++i)
        logger += QStringLiteral(",sensor%1=%2").arg(101 + i).arg(sensors[i].option());
    QVERIFY2(sim().start({"--time-scale", "1000", "--instrument",
                          "model=KRLB-3,pty,noise=0,wobble=0,temperature=20,setpoint=20,id=KL24117", "--instrument",
                          logger, "--instrument", "model=1586A,tcp=127.0.0.1:0,noise=0,id=FL1586,in=1:101"},
                         3),
             qPrintable(sim().errors()));
    const QStringList tcp = sim().endpoints("tcp");
    QVERIFY(Tool::addChannelConfig(
        CalibrationBench::config("PT-LSQ", "3107A-RTD", {"铂电阻", "铂电阻"}, {"ITS90", "ITS90"}, "Ω")));
    Tool::Struct_ChannelConfig cvd = CalibrationBench::config("PT-CVD", "1586A", {"铂电阻"}, {"CVD"}, "Ω");
    cvd.Wire = QStringList{"四线制"};
    QVERIFY(Tool::addChannelConfig(cvd));
    openPage({CalibrationBench::device(1, "3107A-RTD", "PT-LSQ", "127.0.0.1", tcp.value(0).section(':', -1)),
              CalibrationBench::device(2, "1586A", "PT-CVD", "127.0.0.1", tcp.value(1).section(':', -1))});
    child<QCheckBox>(m_Page.get(), "checkBox_Collection2")->setChecked(true);
    child<QComboBox>(m_Page.get(), "comboBox_Collection2")->setCurrentIndex(1);
    linkSource("油槽-R", "串口", sim().pty(), "9600");
    child<QComboBox>(m_Page.get(), "comboBox_Criteria")->setCurrentText("油槽-R");
    setPoints({"-80", "-40", "0", "30", "60", "100", "50?"}, 5, 3);
    start("铂电阻");
    QVERIFY(waitForEnd(300000));
    const QString log = child<QPlainTextEdit>(m_Page.get(), "plainTextEdit_Data")->toPlainText();
    QVERIFY2(log.contains("校准数据保存成功！"), qPrintable(log));

    // The sensors come back (tolerances as in the exact five-point run).
    const Tool::Struct_ChannelConfig its = stored("PT-LSQ");
    for (int i = 0; i < sensors.size(); ++i) {
        QVERIFY(std::fabs(its.A_C0.value(i).toDouble() - sensors[i].a) < 1e-5);
        QVERIFY(std::fabs(its.B_C1.value(i).toDouble() - sensors[i].b) < 5e-5);
        QVERIFY(std::fabs(its.A4_C5.value(i).toDouble() - sensors[i].a4) < 1e-5);
        QVERIFY(std::fabs(its.R0_C4.value(i).toDouble() - sensors[i].r0) < 5e-5);
    }
    // The simulated 1586A's Pt100 is IEC 60751's: R0 = 100 Ω, A, B, C as published.
    const Tool::Struct_ChannelConfig cvdStored = stored("PT-CVD");
    QVERIFY2(std::fabs(cvdStored.R0_C4.value(0).toDouble() - 100) < 1e-4, qPrintable(cvdStored.R0_C4.value(0)));
    QVERIFY2(std::fabs(cvdStored.A_C0.value(0).toDouble() / 3.9083e-3 - 1) < 1e-5, qPrintable(cvdStored.A_C0.value(0)));
    QVERIFY2(std::fabs(cvdStored.B_C1.value(0).toDouble() / -5.775e-7 - 1) < 1e-3, qPrintable(cvdStored.B_C1.value(0)));
    QVERIFY2(std::fabs(cvdStored.C_C2.value(0).toDouble() / -4.183e-12 - 1) < 0.05, qPrintable(cvdStored.C_C2.value(0)));
    QCOMPARE(cvdStored.MX_B_M.value(0), QStringLiteral("1"));

    // The evidence: roles, degrees of freedom, range of validity.
    QList<Tool::Struct_CalibrationHistory> history;
    QVERIFY(Tool::getCalibrationHistory("PT-CVD", "101", history));
    QCOMPARE(history.size(), 1);
    const QJsonObject evidence = QJsonDocument::fromJson(history[0].Evidence.toUtf8()).object();
    const QJsonObject fit = evidence.value("fit").toObject();
    QCOMPARE(fit.value("points").toInt(), 6);
    QCOMPARE(fit.value("dof").toInt(), 2);
    QVERIFY(std::fabs(fit.value("validFrom").toDouble() + 80) < 0.1 && std::fabs(fit.value("validTo").toDouble() - 100) < 0.1);
    const QJsonArray points = evidence.value("points").toArray();
    QCOMPARE(points.size(), 7);
    QCOMPARE(points.at(6).toObject().value("role").toString(), QStringLiteral("check"));
    QVERIFY(points.at(0).toObject().contains("bracketSeconds"));
    QVERIFY(history[0].Residuals.split(';').value(6).contains(":check:"));
    // The live table marks values outside that range.
    double low = 0, high = 0;
    QVERIFY(Tool::validRange("PT-CVD", "101", &low, &high));
    QVERIFY(std::fabs(low + 80) < 0.1 && std::fabs(high - 100) < 0.1);
    QVERIFY(Tool::getCalibrationHistory("PT-LSQ", "101", history));
    const QJsonObject itsFit = QJsonDocument::fromJson(history.last().Evidence.toUtf8()).object().value("fit").toObject();
    QCOMPARE(itsFit.value("coefficients").toInt(), 5);
    QCOMPARE(itsFit.value("dof").toInt(), 1);
}

void TestCalibrationBench::thermistorRunInABath()
{
    const QList<Thermistor> sensors{{-4.2, 3990, -12000, 1000000}, {-4.05, 3950, -9000, 800000}};
    QString logger = "model=3107A-NTC,tcp=127.0.0.1:0,noise=0,id=NTCBENCH01,in=1:101-102";
    for (int i = 0; i < sensors.size(); ++i)
        logger += QStringLiteral(",sensor%1=%2").arg(101 + i).arg(sensors[i].option());
    QVERIFY2(sim().start({"--time-scale", "1000", "--instrument",
                          "model=KRLB-1,pty,noise=0,wobble=0,temperature=20,setpoint=20", "--instrument", logger},
                         2),
             qPrintable(sim().errors()));
    QVERIFY(Tool::addChannelConfig(
        CalibrationBench::config("NTC-BENCH", "3107A-NTC", {"热敏电阻", "热敏电阻"}, {"R(T)", "R(T)"}, "Ω")));
    openPage({CalibrationBench::device(1, "3107A-NTC", "NTC-BENCH", "127.0.0.1", QString::number(sim().port()))});
    linkSource("油槽-R", "串口", sim().pty(), "9600");
    child<QComboBox>(m_Page.get(), "comboBox_Criteria")->setCurrentText("油槽-R");
    setPoints({"0", "20", "40", "60", "80"}, 5, 8);
    start("热敏电阻");
    QVERIFY(waitForEnd(300000));
    QCOMPARE(MessageBox::last().text, QStringLiteral("校准结束退出!"));

    // B0…B3 come back; the normal equations in powers of 1/T are badly
    // conditioned, so single-precision readings (7 digits) bound how close:
    // B0 and B1 to 1e-4 of their size, B2 and B3 to 5e-3. What matters, the
    // resistance at any temperature in the range, is checked to 2e-4 (5 mK).
    const Tool::Struct_ChannelConfig config = stored("NTC-BENCH");
    for (int i = 0; i < sensors.size(); ++i) {
        const double c[4] = {config.A_C0.value(i).toDouble(), config.B_C1.value(i).toDouble(),
                             config.C_C2.value(i).toDouble(), config.D_C3.value(i).toDouble()};
        const double known[4] = {sensors[i].b0, sensors[i].b1, sensors[i].b2, sensors[i].b3};
        const double tolerance[4] = {1e-4, 1e-4, 5e-3, 5e-3};
        for (int k = 0; k < 4; ++k)
            QVERIFY2(std::fabs(c[k] - known[k]) <= tolerance[k] * std::fabs(known[k]),
                     qPrintable(QStringLiteral("channel %1 B%2: %3, known %4").arg(101 + i).arg(k).arg(c[k]).arg(known[k])));
        QCOMPARE(config.R0_C4.value(i), QStringLiteral("0"));
        for (double t : {0.0, 10.0, 30.0, 55.0, 80.0}) {
            const double x = 1 / (t + 273.15);
            const double fitted = std::exp(c[0] + c[1] * x + c[2] * x * x + c[3] * x * x * x);
            QVERIFY2(std::fabs(fitted / sensors[i].resistance(t) - 1) < 2e-4,
                     qPrintable(QStringLiteral("channel %1 at %2 ℃").arg(101 + i).arg(t)));
        }
    }
}

void TestCalibrationBench::changeLiquidStopsAndContinues()
{
    QVERIFY2(sim().start({"--time-scale", "1000", "--instrument",
                          "model=KRLB-1,pty,noise=0,wobble=0,temperature=20,setpoint=20", "--instrument",
                          "model=3107A-NTC,tcp=127.0.0.1:0,noise=0,in=1:101-102,sensor101=-4.2:3990:-12000:1000000"},
                         2),
             qPrintable(sim().errors()));
    const QString port = QString::number(sim().port());
    QVERIFY(Tool::addChannelConfig(
        CalibrationBench::config("NTC-A", "3107A-NTC", {"热敏电阻", "热敏电阻"}, {"R(T)", "R(T)"}, "Ω")));
    QVERIFY(Tool::addChannelConfig(CalibrationBench::config("NTC-B", "3107A-NTC", {"热敏电阻"}, {"R(T)"}, "Ω")));
    openPage({CalibrationBench::device(1, "3107A-NTC", "NTC-A", "127.0.0.1", port),
              CalibrationBench::device(2, "3107A-NTC", "NTC-B", "127.0.0.1", port)});
    linkSource("油槽-R", "串口", sim().pty(), "9600");
    child<QComboBox>(m_Page.get(), "comboBox_Criteria")->setCurrentText("油槽-R");
    setPoints({"10", "30", "50", "70"}, 1, 8);
    child<QCheckBox>(m_Page.get(), "checkBox_Temp2")->setChecked(true);
    auto* open = child<QPushButton>(m_Page.get(), "pushButton_Open");

    // The run stops after point 2 for the liquid to be changed.
    start("热敏电阻");
    QVERIFY(waitForEnd(300000));
    QCOMPARE(MessageBox::last().text, QStringLiteral("请更换液体!"));
    QCOMPARE(m_Page->session().storedPoints(), 2);
    QCOMPARE(open->text(), QStringLiteral("继续"));

    // Another configuration on device 1: Start asks; No leaves everything as it was.
    child<QComboBox>(m_Page.get(), "comboBox_Collection1")->setCurrentIndex(1);
    MessageBox::clear();
    MessageBox::queueAnswer(MessageBox::No);
    open->click();
    QCOMPARE(MessageBox::last().text, QStringLiteral("通道配置信息改变，是否开始新的校准?"));
    QCOMPARE(MessageBox::last().kind, QStringLiteral("question"));
    QCOMPARE(m_Page->session().storedPoints(), 2);
    QCOMPARE(open->text(), QStringLiteral("继续"));
    QVERIFY(m_Page->IsIdle());
    child<QComboBox>(m_Page.get(), "comboBox_Collection1")->setCurrentIndex(0);

    // Start goes on with point 3 without a question: the configurations are the same.
    child<QCheckBox>(m_Page.get(), "checkBox_Temp2")->setChecked(false);
    start("热敏电阻");
    QVERIFY(waitForEnd(300000));
    QVERIFY(!shown("通道配置信息改变，是否开始新的校准?"));
    QVERIFY(!shown("设置的温度点少于保存的数据，是否开始新的校准?"));
    QCOMPARE(MessageBox::last().text, QStringLiteral("校准结束退出!"));
    const QString log = child<QPlainTextEdit>(m_Page.get(), "plainTextEdit_Data")->toPlainText();
    QVERIFY2(log.contains("温度点3") && log.contains("校准数据保存成功！"), qPrintable(log));
    QCOMPARE(TestSupport::scalar("SELECT CalibrationCriteria FROM ChannelCalibrationData").toString().split(';').size(), 4);
    // The saved run is over: the next Start is a new run, asking nothing.
    QCOMPARE(open->text(), QStringLiteral("开始"));
    QCOMPARE(m_Page->session().storedPoints(), 0);
}

void TestCalibrationBench::endDuringAPoint()
{
    QVERIFY2(sim().start({"--time-scale", "50", "--instrument",
                          "model=KRDB-1,tcp=127.0.0.1:0,noise=0,wobble=0,temperature=100,setpoint=100", "--instrument",
                          "model=3107A-TC,tcp=127.0.0.1:0,noise=0,in=1:101-102,sensor101=1.01:0.2"},
                         2),
             qPrintable(sim().errors()));
    const QStringList tcp = sim().endpoints("tcp");
    QVERIFY(Tool::addChannelConfig(CalibrationBench::config("TC-END", "3107A-TC", {"热电偶", "热电偶"}, {"K", "K"})));
    openPage({CalibrationBench::device(1, "3107A-TC", "TC-END", "127.0.0.1", tcp.at(1).section(':', -1))});
    linkSource("干式炉-R", "网络", "127.0.0.1", tcp.at(0).section(':', -1));
    child<QComboBox>(m_Page.get(), "comboBox_Criteria")->setCurrentText("干式炉-R");
    setPoints({"100", "300"}, 1, 8);
    start("热电偶");

    // The first point is measured at once (the block sits at 100 ℃); the
    // block then climbs slowly towards 300 ℃ while End is pressed.
    QVERIFY(waitFor([this] { return m_Page->session().storedPoints() == 1; }, 120000));
    QTest::qWait(300);
    QVERIFY(!m_Page->IsIdle());
    MessageBox::clear();
    child<QPushButton>(m_Page.get(), "pushButton_Close")->click();

    // End waited for the worker: nothing runs any more, the drivers are
    // closed, and the save step saw exactly the one whole point.
    QCOMPARE(m_Page->activeWorkers(), 0);
    QVERIFY(m_Page->IsIdle());
    // Stopped or not, the block is left at its standby set-point, not climbing to 300 ℃.
    QVERIFY2(child<QPlainTextEdit>(m_Page.get(), "plainTextEdit_Data")->toPlainText().contains("温场已设为待机温度 50.00 ℃。"),
             qPrintable(child<QPlainTextEdit>(m_Page.get(), "plainTextEdit_Data")->toPlainText()));
    // One point fits nothing: refused with the reason; the point stays for
    // the run to be continued, and no run row is stored without coefficients.
    QCOMPARE(child<QPushButton>(m_Page.get(), "pushButton_Open")->text(), QStringLiteral("继续"));
    QCOMPARE(m_Page->session().storedPoints(), 1);
    QVERIFY2(MessageBox::last().text.startsWith(QStringLiteral("参数错误，计算失败！\n")),
             qPrintable(MessageBox::last().text));
    QVERIFY(!shown("校准结束退出!")); // the operator stopped it: no end-of-run box
    QCOMPARE(TestSupport::scalar("SELECT COUNT(*) FROM ChannelCalibrationData").toInt(), 0);
    QString stored;
    QVERIFY(Tool::getChannelCalibration("CalibrationCriteria", stored));
    QCOMPARE(stored.split(';').size(), 1);
}

void TestCalibrationBench::manualRunInTwoBatches()
{
    QVERIFY2(sim().start({"--instrument", "model=3107A-TC,tcp=127.0.0.1:0,noise=0,ch101=fixed:20.5,ch102=fixed:21.5,"
                                          "ch103=fixed:22.5"},
                         1),
             qPrintable(sim().errors()));
    QVERIFY(Tool::addChannelConfig(
        CalibrationBench::config("TC-MAN", "3107A-TC", {"热电偶", "热电偶", "热电偶"}, {"K", "K", "K"})));
    openPage({CalibrationBench::device(1, "3107A-TC", "TC-MAN", "127.0.0.1", QString::number(sim().port()))});
    child<QComboBox>(m_Page.get(), "comboBox_Field")->setCurrentText("手动");
    child<QComboBox>(m_Page.get(), "comboBox_Criteria")->setCurrentText("手动");
    setPoints({}, 1, 2);
    start("热电偶");
    // Manual mode only reminds of the point count.
    QCOMPARE(MessageBox::shown().value(0).text,
             QStringLiteral("热电偶校准至少需要2个不同温度的拟合点，多于2个时按最小二乘拟合；核查点不参与拟合。"));
    auto* open = child<QPushButton>(m_Page.get(), "pushButton_Open");
    QVERIFY(waitFor([open] { return open->text() == QStringLiteral("暂停") && open->isEnabled(); }, 30000));
    auto* point1 = child<QPushButton>(m_Page.get(), "pushButton_Temp1");
    auto* point2 = child<QPushButton>(m_Page.get(), "pushButton_Temp2");
    QVERIFY(point1->isEnabled());
    QVERIFY(!point2->isEnabled());

    // Batch 1 against a typed reference; the button then asks for batch 2.
    MessageBox::queueNumber(20.01);
    point1->click();
    QVERIFY(waitFor([point1] { return point1->text() == QStringLiteral("批次2"); }, 30000));
    MessageBox::queueNumber(20.02);
    point1->click();
    QVERIFY(waitFor([this] { return m_Page->activeWorkers() == 0 && m_Page->session().storedPoints() == 1; }, 30000));
    QVERIFY(waitFor([point1] { return point1->text() == QStringLiteral("重采"); }, 5000));
    QVERIFY(point2->isEnabled());
    QCOMPARE(m_Page->session().criteria().value(0), QStringLiteral("20.0100,20.0200"));
    const QStringList batches = m_Page->session().data().value(0);
    QCOMPARE(batches.size(), 2);
    QCOMPARE(batches.at(0).split(',').size(), 2);
    QCOMPARE(batches.at(1).split(',').size(), 1);
    QVERIFY(std::fabs(batches.at(1).toDouble() - 22.5) < 0.05);

    // A cancelled reference input changes nothing.
    MessageBox::queueNumber(std::nan(""));
    point2->click();
    QTest::qWait(100);
    QCOMPARE(m_Page->activeWorkers(), 0);
    QCOMPARE(point2->text(), QStringLiteral("温度点2"));

    // Stop: the drivers close, the point buttons reset, the run data stay.
    open->click();
    QVERIFY(waitFor([this] { return m_Page->activeWorkers() == 0; }, 10000));
    QVERIFY(waitFor([point1] { return point1->text() == QStringLiteral("温度点1") && !point1->isEnabled(); }, 5000));
    QCOMPARE(open->text(), QStringLiteral("继续"));
    QCOMPARE(m_Page->session().storedPoints(), 1);
}

void TestCalibrationBench::thermometerLinkFromThePage()
{
    QVERIFY2(sim().start({"--instrument", "model=5310A,tcp=127.0.0.1:0,temperature=25,noise=0,timescale=0.1",
                          "--instrument", "model=3107A-TC,tcp=127.0.0.1:0,noise=0"},
                         2),
             qPrintable(sim().errors()));
    const QStringList tcp = sim().endpoints("tcp");
    // As with --ble-simulator: the thermometer is reached through the simulator.
    QVERIFY(BlePlatform::useSimulator(tcp.at(0)));
    Tool::setReferenceProbe([] { return BlePlatform::referenceUsable(); });
    QVERIFY(Tool::addChannelConfig(CalibrationBench::config("TC-BLE", "3107A-TC", {"热电偶"}, {"K"})));
    openPage({CalibrationBench::device(1, "3107A-TC", "TC-BLE", "127.0.0.1", tcp.at(1).section(':', -1))});

    auto* criteria = child<QComboBox>(m_Page.get(), "comboBox_Criteria");
    QCOMPARE(criteria->itemText(0), QStringLiteral("KORVA 5310A"));
    criteria->setCurrentText("KORVA 5310A");
    QVERIFY(child<QPushButton>(m_Page.get(), "pushButton_Criteria")->isEnabled());

    QStringList kinds, names, results;
    ModalRun::setRunner([&](QDialog* dialog) {
        auto* scan = qobject_cast<ChannelScan*>(dialog);
        auto* mode = child<QComboBox>(scan, "comboBox_Communication");
        for (int i = 0; i < mode->count(); ++i)
            kinds << mode->itemText(i);
        auto* name = child<QComboBox>(scan, "comboBox_Com");
        for (int i = 0; i < name->count(); ++i)
            names << name->itemText(i);
        const auto test = [&] {
            MessageBox::clear();
            child<QPushButton>(scan, "pushButton_Scan")->click();
            waitFor([] { return !MessageBox::shown().isEmpty(); }, 60000);
            results << MessageBox::last().text;
        };
        name->setCurrentText("5310A-00123");
        test();
        // Out of range: every retry fails (the driver's waits shortened).
        sim().command("@1 down");
        Device::setTimeScale(0.01);
        test();
        Device::setTimeScale(1.0);
        sim().command("@1 up");
        child<QPushButton>(scan, "pushButton_OK")->click();
        return scan->result();
    });
    child<QPushButton>(m_Page.get(), "pushButton_Criteria")->click();
    QCOMPARE(kinds, QStringList{"蓝牙"});
    QCOMPARE(names, QStringList{"5310A-00123"});
    QCOMPARE(results.size(), 2);
    // The thermometer's own name is what the test read.
    QVERIFY2(results.at(0).startsWith(QStringLiteral("测试成功！\n序列号：")), qPrintable(results.at(0)));
    QCOMPARE(results.at(1), QStringLiteral("设备连接失败！"));

    // The chosen thermometer is kept with the page's settings.
    m_Page->WriteConfig_slots();
    QString stored;
    QVERIFY(Tool::getChannelCalibration("CriteriaIP", stored));
    QCOMPARE(stored, QStringLiteral("5310A-00123"));
    QVERIFY(Tool::getChannelCalibration("CriteriaMode", stored));
    QCOMPARE(stored, QStringLiteral("蓝牙"));
    Tool::setReferenceProbe({});
}

void TestCalibrationBench::thermocoupleRunAgainstTheThermometer()
{
    // The thermometer sits in the dry block beside two thermocouples.
    QVERIFY2(sim().start({"--time-scale", "500", "--instrument",
                          "model=KRDB-2,tcp=127.0.0.1:0,noise=0,wobble=0,temperature=60", "--instrument",
                          "model=5310A,tcp=127.0.0.1:0,noise=0,timescale=0.2,in=1", "--instrument",
                          "model=3107A-TC,tcp=127.0.0.1:0,noise=0,in=1:101-102,sensor101=0.9975:0.61,"
                          "sensor102=1.0031:-0.27"},
                         3),
             qPrintable(sim().errors()));
    const QStringList tcp = sim().endpoints("tcp");
    QVERIFY(BlePlatform::useSimulator(tcp.at(1)));
    Tool::setReferenceProbe([] { return BlePlatform::referenceUsable(); });
    QVERIFY(Tool::addChannelConfig(CalibrationBench::config("TC-5310", "3107A-TC", {"热电偶", "热电偶"}, {"K", "K"})));
    openPage({CalibrationBench::device(1, "3107A-TC", "TC-5310", "127.0.0.1", tcp.at(2).section(':', -1))});
    linkSource("干式炉", "网络", "127.0.0.1", tcp.at(0).section(':', -1));
    child<QComboBox>(m_Page.get(), "comboBox_Criteria")->setCurrentText("KORVA 5310A");
    ModalRun::setRunner([](QDialog* dialog) {
        auto* scan = qobject_cast<ChannelScan*>(dialog);
        child<QComboBox>(scan, "comboBox_Com")->setCurrentText("5310A-00124");
        child<QPushButton>(scan, "pushButton_OK")->click();
        return scan->result();
    });
    child<QPushButton>(m_Page.get(), "pushButton_Criteria")->click();

    setPoints({"150", "450"}, 1, 8);
    start("热电偶");
    QVERIFY(waitForEnd(300000));
    QCOMPARE(MessageBox::last().text, QStringLiteral("校准结束退出!"));
    const QString log = child<QPlainTextEdit>(m_Page.get(), "plainTextEdit_Data")->toPlainText();
    QVERIFY2(log.contains("标准器连接成功！") && log.contains("温度标准断开连接。"), qPrintable(log));
    const Tool::Struct_ChannelConfig config = stored("TC-5310");
    const double expected[2][2] = {{0.9975, 0.61}, {1.0031, -0.27}};
    for (int i = 0; i < 2; ++i) {
        const double m = config.MX_B_M.value(i).toDouble();
        const double b = config.MX_B_B.value(i).toDouble();
        QVERIFY2(std::fabs(m - expected[i][0]) < 3e-5 && std::fabs(b - expected[i][1]) < 1e-2,
                 qPrintable(QStringLiteral("channel %1: M %2 B %3").arg(101 + i).arg(m).arg(b)));
    }
    Tool::setReferenceProbe({});
}

void TestCalibrationBench::averagedReadingsKeepTheirStatistics()
{
    // Thermocouples with reading noise 0.02 ℃, ten readings per batch; the
    // simulator records every value it sends.
    const QString record = m_Dir->path() + "/sent.txt";
    QVERIFY2(sim().start({"--time-scale", "500", "--record", record, "--instrument",
                          "model=KRDB-1,tcp=127.0.0.1:0,noise=0,wobble=0,refoffset=0,temperature=100,setpoint=100",
                          "--instrument",
                          "model=3107A-TC,tcp=127.0.0.1:0,noise=0.02,id=TCAVG00001,in=1:101-102,"
                          "sensor101=1.004:-0.3,sensor102=0.997:0.25"},
                         2),
             qPrintable(sim().errors()));
    const QStringList tcp = sim().endpoints("tcp");
    QVERIFY(Tool::addChannelConfig(CalibrationBench::config("TC-AVG", "3107A-TC", {"热电偶", "热电偶"}, {"K", "K"})));
    openPage({CalibrationBench::device(1, "3107A-TC", "TC-AVG", "127.0.0.1", tcp.at(1).section(':', -1))});
    linkSource("干式炉-R", "网络", "127.0.0.1", tcp.at(0).section(':', -1));
    child<QComboBox>(m_Page.get(), "comboBox_Criteria")->setCurrentText("干式炉-R");
    setOptions({{"SamplesPerPoint", "10"}, {"SampleInterval", "2"}});
    setPoints({"100", "200"}, 1, 8);
    start("热电偶");
    QVERIFY(waitForEnd(300000));
    const QString log = child<QPlainTextEdit>(m_Page.get(), "plainTextEdit_Data")->toPlainText();
    QVERIFY2(log.contains("校准数据保存成功！"), qPrintable(log));

    // The channel temperatures the logger sent, in order (ten per point).
    QFile file(record);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QMap<QString, QList<double>> sent;
    for (const QString& line : QString::fromUtf8(file.readAll()).split('\n')) {
        if (!line.startsWith("VALUES TCAVG00001 "))
            continue;
        for (const QString& pair : line.section(' ', 3).split(',')) {
            const double v = pair.section('=', 1).toDouble();
            if (v > 50) // the temperature block, not the emf
                sent[pair.section('=', 0, 0)] << v;
        }
    }
    QCOMPARE(sent.value("101").size(), 20);

    // Stored: the mean where the one reading used to be, and the statistics.
    // The driver hands readings on with 6 decimals: the mean agrees with the
    // floats sent to 5e-7, the standard deviation to 1e-6.
    const QString startTime = TestSupport::scalar("SELECT StartTime FROM ChannelCalibrationData").toString();
    QList<Tool::Struct_CalibrationSample> stats;
    QVERIFY(Tool::getCalibrationSamples(startTime, stats));
    QCOMPARE(stats.size(), 2 * 3); // two points, the reference and two channels
    const QStringList means = {TestSupport::scalar("SELECT CalibrationData1 FROM ChannelCalibrationData").toString(),
                               TestSupport::scalar("SELECT CalibrationData2 FROM ChannelCalibrationData").toString()};
    for (const Tool::Struct_CalibrationSample& st : qAsConst(stats)) {
        QCOMPARE(st.Count, 10);
        if (st.Channel == "REF") {
            QCOMPARE(st.StdDev, 0.0); // noise 0 on the block's reference
            continue;
        }
        const QList<double> values = sent.value(st.Channel.section('_', 1)).mid((st.Point - 1) * 10, 10);
        double mean = 0, sd = 0;
        CalibrationSession::statistics(values, {}, &mean, &sd, nullptr);
        QVERIFY2(std::fabs(st.Mean - mean) < 5e-7 && std::fabs(st.StdDev - sd) < 1e-6,
                 qPrintable(QStringLiteral("%1 point %2: %3 ± %4, sent %5 ± %6")
                                .arg(st.Channel).arg(st.Point).arg(st.Mean).arg(st.StdDev).arg(mean).arg(sd)));
        QVERIFY(std::fabs(st.Min - *std::min_element(values.begin(), values.end())) < 5e-7);
        QVERIFY(std::fabs(st.Max - *std::max_element(values.begin(), values.end())) < 5e-7);
        QVERIFY(st.StdDev > 0.005 && st.StdDev < 0.05);
        QVERIFY(st.FirstTime < st.LastTime);
        const double stored = means.at(st.Point - 1).split(',').value(st.Channel == "1_101" ? 0 : 1).toDouble();
        QVERIFY(std::fabs(stored - st.Mean) < 1e-6);
    }

    // B within three standard errors of the mean's noise (σ/√10 at both points).
    const double se = 0.02 / std::sqrt(10.0) * std::sqrt(100.0 * 100 + 200.0 * 200) / 100;
    const Tool::Struct_ChannelConfig config = stored("TC-AVG");
    const double known[2][2] = {{1.004, -0.3}, {0.997, 0.25}};
    for (int i = 0; i < 2; ++i) {
        const double b = config.MX_B_B.value(i).toDouble();
        QVERIFY2(std::fabs(b - known[i][1]) < 3 * se,
                 qPrintable(QStringLiteral("channel %1: B %2, known %3, SE %4").arg(101 + i).arg(b).arg(known[i][1]).arg(se)));
    }
}

void TestCalibrationBench::unstableReference_data()
{
    // What a point that never settles gets: asked and stopped, stopped by the
    // unattended setting, or accepted with a note kept in the evidence.
    QTest::addColumn<QString>("action");
    QTest::addColumn<QList<int>>("answers"); // choices queued: 0 stop, 2 accept; then 0 writes the result
    QTest::addColumn<int>("stored");
    QTest::newRow("operator stops") << "ask" << QList<int>{0} << 0;
    QTest::newRow("unattended stop") << "stop" << QList<int>{} << 0;
    QTest::newRow("operator accepts") << "ask" << QList<int>{2, 2, 0} << 2;
}

void TestCalibrationBench::unstableReference()
{
    QFETCH(QString, action);
    QFETCH(QList<int>, answers);
    QFETCH(int, stored);
    // The block's own reference drifts 0.5 ℃/min: every window fails the 0.05 ℃/min criterion.
    QVERIFY2(sim().start({"--time-scale", "500", "--instrument",
                          "model=KRDB-1,tcp=127.0.0.1:0,noise=0,wobble=0,refoffset=0,refdrift=0.5,temperature=100,"
                          "setpoint=100",
                          "--instrument", "model=3107A-TC,tcp=127.0.0.1:0,noise=0,in=1:101"},
                         2),
             qPrintable(sim().errors()));
    const QStringList tcp = sim().endpoints("tcp");
    QVERIFY(Tool::addChannelConfig(CalibrationBench::config("TC-DRIFT", "3107A-TC", {"热电偶"}, {"K"})));
    openPage({CalibrationBench::device(1, "3107A-TC", "TC-DRIFT", "127.0.0.1", tcp.at(1).section(':', -1))});
    linkSource("干式炉-R", "网络", "127.0.0.1", tcp.at(0).section(':', -1));
    child<QComboBox>(m_Page.get(), "comboBox_Criteria")->setCurrentText("干式炉-R");
    setOptions({{"SamplesPerPoint", "4"}, {"SampleInterval", "10"}, {"StabilityDrift", "0.05"},
                {"StabilityRetries", "2"}, {"StandbyTemp", "60"}, {"StabilityWindow", "2"},
                {"UnstableAction", action}});
    setPoints({"100", "200"}, 1, 8);
    start("热电偶", answers);
    QVERIFY(waitForEnd(300000));
    const QString log = child<QPlainTextEdit>(m_Page.get(), "plainTextEdit_Data")->toPlainText();
    // Two new windows after the first, per point asked about.
    QCOMPARE(log.count("等待新的稳定窗口"), 2 * std::max(1, stored));
    QVERIFY2(log.contains("第 3/3 次"), qPrintable(log));
    QVERIFY2(log.contains("温场已设为待机温度 60.00 ℃。"), qPrintable(log));
    // A written run leaves the page ready for the next: no points either way.
    QCOMPARE(m_Page->session().storedPoints(), 0);
    const QList<MessageBox::Shown> boxes = MessageBox::shown();
    const int asked = static_cast<int>(std::count_if(boxes.begin(), boxes.end(),
                                                     [](const MessageBox::Shown& b) {
                                                         return b.text.contains("已等待 3 个稳定窗口");
                                                     }));
    QCOMPARE(asked, action == "ask" ? std::max(1, stored) : 0);
    if (stored == 0) {
        QVERIFY2(MessageBox::last().text.startsWith("温度点1批次1：标准温度不稳定（"), qPrintable(MessageBox::last().text));
        QVERIFY(MessageBox::last().text.endsWith("校准停止！"));
        QCOMPARE(child<QPushButton>(m_Page.get(), "pushButton_Open")->text(), QStringLiteral("开始"));
        QCOMPARE(TestSupport::scalar("SELECT COUNT(*) FROM CalibrationSamples").toInt(), 0);
        return;
    }
    QCOMPARE(MessageBox::last().text, QStringLiteral("校准结束退出!"));
    QList<Tool::Struct_CalibrationHistory> history;
    QVERIFY(Tool::getCalibrationHistory("TC-DRIFT", "101", history));
    QCOMPARE(history.size(), 1);
    const QJsonArray points = QJsonDocument::fromJson(history[0].Evidence.toUtf8()).object().value("points").toArray();
    QVERIFY2(points.at(0).toObject().value("note").toString().contains("操作者接受"), qPrintable(history[0].Evidence));
}

void TestCalibrationBench::historyOfTwoRunsAndRestore()
{
    // A thermocouple with a bow (t = M·x + B + C·x²): a line through 100 and
    // 300 ℃ misses it at 200 ℃, the check point, by about 20 mK.
    QVERIFY2(sim().start({"--time-scale", "500", "--instrument",
                          "model=KRDB-1,tcp=127.0.0.1:0,noise=0,wobble=0,refoffset=0,temperature=100,setpoint=100",
                          "--instrument",
                          "model=3107A-TC,tcp=127.0.0.1:0,noise=0,in=1:101-102,sensor101=1.002:-0.4:2e-6,"
                          "sensor102=0.998:0.3:-1e-6"},
                         2),
             qPrintable(sim().errors()));
    const QStringList tcp = sim().endpoints("tcp");
    QVERIFY(Tool::addChannelConfig(CalibrationBench::config("TC-HIST", "3107A-TC", {"热电偶", "热电偶"}, {"K", "K"})));
    openPage({CalibrationBench::device(1, "3107A-TC", "TC-HIST", "127.0.0.1", tcp.at(1).section(':', -1))});
    linkSource("干式炉-R", "网络", "127.0.0.1", tcp.at(0).section(':', -1));
    child<QComboBox>(m_Page.get(), "comboBox_Criteria")->setCurrentText("干式炉-R");
    setOptions({{"ResidualLimit", "10"}});
    setPoints({"100", "300", "200?"}, 1, 8);
    QList<Tool::Struct_ChannelConfig> afterRun;
    for (int run = 0; run < 2; ++run) {
        start("热电偶");
        QVERIFY(waitForEnd(300000));
        QCOMPARE(MessageBox::last().text, QStringLiteral("校准结束退出!"));
        // The result was shown first: the check point beyond the limit.
        const QList<MessageBox::Shown> boxes = MessageBox::shown();
        const auto result = std::find_if(boxes.begin(), boxes.end(),
                                         [](const MessageBox::Shown& b) { return b.title == QStringLiteral("校准结果"); });
        QVERIFY(result != boxes.end());
        QVERIFY2(result->text.contains("1_101\t3\t核查") && result->text.contains("（超限）"), qPrintable(result->text));
        afterRun << stored("TC-HIST");
        QTest::qWait(1100); // saves a second apart
    }

    QList<Tool::Struct_CalibrationHistory> history;
    QVERIFY(Tool::getCalibrationHistory("TC-HIST", "101", history));
    QCOMPARE(history.size(), 2);
    QCOMPARE(history[1].OldSet, history[0].NewSet);
    QVERIFY(std::isfinite(history[1].MaxAsFound));
    // The second run found the channel as the first one left it: its
    // as-found errors are the first run's residuals, point by point.
    const QStringList first = history[0].Residuals.split(';');
    const QStringList second = history[1].Residuals.split(';');
    QCOMPARE(first.size(), 3);
    QCOMPARE(second.size(), 3);
    QVERIFY2(std::fabs(first[2].section(':', 2, 2).toDouble()) > 10, qPrintable(history[0].Residuals));
    for (int p = 0; p < 3; ++p)
        QVERIFY2(std::fabs(second[p].section(':', 3, 3).toDouble() - first[p].section(':', 2, 2).toDouble()) < 0.5,
                 qPrintable(history[0].Residuals + " | " + history[1].Residuals));

    // The history from the page: two sets, a chart point each; restoring the
    // first rewrites exactly its texts and is logged.
    int rows = 0, chartPoints = 0;
    ModalRun::setRunner([&](QDialog* dialog) {
        auto* h = qobject_cast<CalibrationHistoryDialog*>(dialog);
        if (!h)
            return int(QDialog::Rejected);
        h->selectChannel("TC-HIST", "101");
        if (qEnvironmentVariableIsSet("ARQ_SCREENSHOT_DIR")) {
            h->show();
            QTest::qWait(200);
            h->grab().save(qEnvironmentVariable("ARQ_SCREENSHOT_DIR") + "/calibration-history.png");
        }
        rows = h->entries().size();
        chartPoints = h->chartPoints().size();
        child<QTableWidget>(h, "tableWidget_History")->selectRow(0);
        MessageBox::queueAnswer(MessageBox::Yes);
        h->pt_Restore_clicked();
        return int(QDialog::Accepted);
    });
    MessageBox::clear();
    child<QPushButton>(m_Page.get(), "pushButton_History")->click();
    QCOMPARE(rows, 2);
    QCOMPARE(chartPoints, 2);
    // Restored as a saved set is: sent to the page's logger, a history row of its own.
    QCOMPARE(MessageBox::last().text, QStringLiteral("系数已恢复，正在下发到使用该通道配置的采集设备（结果见校准记录）。"));
    QVERIFY(Tool::getCalibrationHistory("TC-HIST", "101", history));
    QCOMPARE(history.size(), 3);
    QCOMPARE(history[2].Reference, "恢复自 " + history[0].SavedAt);
    QCOMPARE(history[2].NewSet, history[0].NewSet);
    QCOMPARE(history[2].OldSet, history[1].NewSet);
    const Tool::Struct_ChannelConfig restored = stored("TC-HIST");
    const QStringList texts{restored.MX_B_M.value(0), restored.MX_B_B.value(0), restored.A_C0.value(0),
                            restored.B_C1.value(0),  restored.C_C2.value(0),  restored.D_C3.value(0),
                            restored.R0_C4.value(0), restored.A4_C5.value(0), restored.B4_C6.value(0)};
    QCOMPARE(texts, history[0].NewSet);
    QCOMPARE(restored.MX_B_M.value(1), afterRun[1].MX_B_M.value(1)); // the other channel untouched
    QCOMPARE(TestSupport::scalar("SELECT COUNT(*) FROM AuditLog WHERE Type = '校准系数'").toInt(), 1);
}

void TestCalibrationBench::discardedResultThenWrittenWithTheLoggerGone()
{
    QVERIFY2(sim().start({"--time-scale", "500", "--instrument",
                          "model=KRDB-1,tcp=127.0.0.1:0,noise=0,wobble=0,refoffset=0,temperature=100,setpoint=100",
                          "--instrument", "model=3107A-TC,tcp=127.0.0.1:0,noise=0,in=1:101,sensor101=1.003:0.4"},
                         2),
             qPrintable(sim().errors()));
    const QStringList tcp = sim().endpoints("tcp");
    QVERIFY(Tool::addChannelConfig(CalibrationBench::config("TC-GONE", "3107A-TC", {"热电偶"}, {"K"})));
    openPage({CalibrationBench::device(1, "3107A-TC", "TC-GONE", "127.0.0.1", tcp.at(1).section(':', -1))});
    linkSource("干式炉-R", "网络", "127.0.0.1", tcp.at(0).section(':', -1));
    child<QComboBox>(m_Page.get(), "comboBox_Criteria")->setCurrentText("干式炉-R");
    setPoints({"100", "200"}, 1, 8);
    start("热电偶");
    MessageBox::queueChoice(1); // "放弃"
    QVERIFY(waitForEnd(300000));

    // Set aside: nothing written, the run kept for another look.
    auto* open = child<QPushButton>(m_Page.get(), "pushButton_Open");
    QCOMPARE(open->text(), QStringLiteral("继续"));
    QCOMPARE(m_Page->session().storedPoints(), 2);
    QCOMPARE(TestSupport::scalar("SELECT COUNT(*) FROM ChannelCalibrationData").toInt(), 0);
    QCOMPARE(TestSupport::scalar("SELECT COUNT(*) FROM CalibrationHistory").toInt(), 0);
    QCOMPARE(stored("TC-GONE").MX_B_M.value(0), QStringLiteral("1"));
    QVERIFY(child<QPlainTextEdit>(m_Page.get(), "plainTextEdit_Data")->toPlainText().contains("校准结果已放弃"));

    // The logger is gone by the time the result is written with "结束":
    // the coefficients are stored all the same and the operator is told.
    QVERIFY(sim().command("@2 down"));
    Device::setTimeScale(0.01);
    MessageBox::clear();
    child<QPushButton>(m_Page.get(), "pushButton_Close")->click();
    QVERIFY(waitForEnd(120000));
    Device::setTimeScale(1.0);
    QCOMPARE(MessageBox::shown().value(0).title, QStringLiteral("校准结果"));
    QCOMPARE(MessageBox::last().text,
             QStringLiteral("采集设备1无法连接，更新后的通道参数未下发；系数已保存，请在采集设备页面测试该设备。"));
    QCOMPARE(open->text(), QStringLiteral("开始"));
    QCOMPARE(TestSupport::scalar("SELECT COUNT(*) FROM ChannelCalibrationData").toInt(), 1);
    QVERIFY(std::fabs(stored("TC-GONE").MX_B_M.value(0).toDouble() - 1.003) < 2e-5);
}

void TestCalibrationBench::sourceThatNeverSettles()
{
    // 100 → 300 ℃ at 15 ℃/min takes the block over 13 minutes: a 3-minute
    // stability timeout ends the run with the point named.
    QVERIFY2(sim().start({"--time-scale", "500", "--instrument",
                          "model=KRDB-1,tcp=127.0.0.1:0,noise=0,wobble=0,refoffset=0,temperature=100,setpoint=100",
                          "--instrument", "model=3107A-TC,tcp=127.0.0.1:0,noise=0,in=1:101"},
                         2),
             qPrintable(sim().errors()));
    const QStringList tcp = sim().endpoints("tcp");
    QVERIFY(Tool::addChannelConfig(CalibrationBench::config("TC-SLOW", "3107A-TC", {"热电偶"}, {"K"})));
    openPage({CalibrationBench::device(1, "3107A-TC", "TC-SLOW", "127.0.0.1", tcp.at(1).section(':', -1))});
    linkSource("干式炉-R", "网络", "127.0.0.1", tcp.at(0).section(':', -1));
    child<QComboBox>(m_Page.get(), "comboBox_Criteria")->setCurrentText("干式炉-R");
    setOptions({{"StableTimeout", "3"}});
    setPoints({"300", "100"}, 1, 8);
    start("热电偶");
    QVERIFY(waitForEnd(300000));
    QCOMPARE(MessageBox::last().text, QStringLiteral("温度点1：温场在3分钟内未稳定，校准停止！"));
    QCOMPARE(m_Page->session().storedPoints(), 0);
    QVERIFY(child<QPlainTextEdit>(m_Page.get(), "plainTextEdit_Data")->toPlainText().contains("温场已设为待机温度"));
}

void TestCalibrationBench::overdueSourceReference()
{
    // The block's own reference is known by its serial number once connected.
    QVERIFY2(sim().start({"--time-scale", "500", "--instrument",
                          "model=KRDB-1,tcp=127.0.0.1:0,noise=0,wobble=0,id=KD24031,temperature=100,setpoint=100",
                          "--instrument", "model=3107A-TC,tcp=127.0.0.1:0,noise=0,in=1:101"},
                         2),
             qPrintable(sim().errors()));
    const QStringList tcp = sim().endpoints("tcp");
    Tool::Struct_ReferenceStandard record;
    record.Serial = "KD24031";
    record.Kind = "干式炉-R";
    record.Certificate = "DB-2025-311";
    record.DueDate = QDate(2026, 1, 31);
    QVERIFY(Tool::putReferenceStandard(record));
    QVERIFY(Tool::addChannelConfig(CalibrationBench::config("TC-DUE", "3107A-TC", {"热电偶"}, {"K"})));
    openPage({CalibrationBench::device(1, "3107A-TC", "TC-DUE", "127.0.0.1", tcp.at(1).section(':', -1))});
    linkSource("干式炉-R", "网络", "127.0.0.1", tcp.at(0).section(':', -1));
    child<QComboBox>(m_Page.get(), "comboBox_Criteria")->setCurrentText("干式炉-R");
    setPoints({"100", "200"}, 1, 8);
    start("热电偶");
    QVERIFY(waitForEnd(120000));
    QCOMPARE(MessageBox::last().text, QStringLiteral("标准器 KD24031（证书 DB-2025-311）已于 2026-01-31 到期，不能用于校准！"));
    QCOMPARE(m_Page->session().storedPoints(), 0);
}

void TestCalibrationBench::enterRecords(const QList<QStringList>& standards, const QList<QStringList>& sources,
                                        const QList<QStringList>& readouts)
{
    bool saved = false;
    ModalRun::setRunner([&](QDialog* dialog) {
        auto* records = qobject_cast<LabRecordsDialog*>(dialog);
        if (!records)
            return int(QDialog::Rejected);
        const QList<QPair<QTableWidget*, QList<QStringList>>> tables{
            {records->standards(), standards}, {records->sources(), sources}, {records->readouts(), readouts}};
        for (const auto& t : tables) {
            t.first->setRowCount(0);
            for (const QStringList& row : t.second) {
                const int r = t.first->rowCount();
                t.first->insertRow(r);
                for (int c = 0; c < row.size(); ++c)
                    t.first->setItem(r, c, new QTableWidgetItem(row.at(c)));
            }
        }
        child<QLineEdit>(records, "lineEdit_LabName")->setText("温度计量实验室");
        child<QLineEdit>(records, "lineEdit_LabAddress")->setText("测试路 1 号");
        child<QLineEdit>(records, "lineEdit_Accreditation")->setText("CNAS L0000");
        child<QLineEdit>(records, "lineEdit_CertificatePattern")->setText("ARQ-{yyyy}-{nnnn}");
        child<QLineEdit>(records, "lineEdit_Signatories")->setText("李四/技术负责人");
        saved = records->pt_Save_clicked();
        return int(QDialog::Accepted);
    });
    child<QPushButton>(m_Page.get(), "pushButton_Records")->click();
    QVERIFY2(saved, qPrintable(MessageBox::last().text));
}

QJsonObject TestCalibrationBench::issueCertificate(const QString& config, const QString& channel, const QString& path,
                                                   QStringList* pages)
{
    QString number;
    ModalRun::setRunner([&](QDialog* dialog) {
        if (auto* history = qobject_cast<CalibrationHistoryDialog*>(dialog)) {
            history->selectChannel(config, channel);
            child<QPushButton>(history, "pushButton_Certificate")->click();
            return int(QDialog::Accepted);
        }
        auto* certificate = qobject_cast<CertificateDialog*>(dialog);
        if (!certificate)
            return int(QDialog::Rejected);
        number = child<QLineEdit>(certificate, "lineEdit_Number")->text();
        child<QLineEdit>(certificate, "lineEdit_Customer")->setText("某某仪表厂");
        child<QLineEdit>(certificate, "lineEdit_Ambient")->setText("23.0");
        child<QLineEdit>(certificate, "lineEdit_Humidity")->setText("48");
        FileDialog::setTestMode(true);
        FileDialog::queueAnswer(path);
        MessageBox::clear();
        child<QPushButton>(certificate, "pushButton_Write")->click();
        waitFor([certificate] { return !certificate->isWriting() && !MessageBox::shown().isEmpty(); }, 60000);
        return certificate->result();
    });
    child<QPushButton>(m_Page.get(), "pushButton_History")->click();
    ModalRun::setRunner({});
    if (MessageBox::last().text != QStringLiteral("证书已生成：%1").arg(path)) {
        qWarning().noquote() << "certificate:" << MessageBox::last().text;
        return {};
    }
    QFile json(QString(path).replace(".pdf", ".json"));
    if (!json.open(QIODevice::ReadOnly))
        return {};
    QStringList text = runProgram("pdftotext", {"-layout", path, "-"}).split('\f');
    while (!text.isEmpty() && text.last().trimmed().isEmpty())
        text.removeLast();
    *pages = text;
    const QJsonObject root = QJsonDocument::fromJson(json.readAll()).object();
    if (root.value("number").toString() != number)
        return {};
    return root;
}

void TestCalibrationBench::overdueReferenceConfirmedAsAWarning()
{
    // With the warning setting, the block's overdue reference is put to the
    // operator: declined, the run is refused; confirmed, it runs and the
    // confirmation is in the audit log.
    QVERIFY2(sim().start({"--time-scale", "500", "--instrument",
                          "model=KRDB-1,tcp=127.0.0.1:0,noise=0,wobble=0,id=KD24031,temperature=100,setpoint=100",
                          "--instrument", "model=3107A-TC,tcp=127.0.0.1:0,noise=0,in=1:101"},
                         2),
             qPrintable(sim().errors()));
    const QStringList tcp = sim().endpoints("tcp");
    QVERIFY(Tool::addChannelConfig(CalibrationBench::config("TC-WARN", "3107A-TC", {"热电偶"}, {"K"})));
    openPage({CalibrationBench::device(1, "3107A-TC", "TC-WARN", "127.0.0.1", tcp.at(1).section(':', -1))});
    enterRecords({{"KD24031", "干式炉-R", "DB-2025-311", "省计量院", "2025-01-31", "2026-01-31", "0.1", "2", ""}}, {}, {});
    linkSource("干式炉-R", "网络", "127.0.0.1", tcp.at(0).section(':', -1));
    child<QComboBox>(m_Page.get(), "comboBox_Criteria")->setCurrentText("干式炉-R");
    ModalRun::setRunner([](QDialog* dialog) {
        auto* options = qobject_cast<CalibrationOptionsDialog*>(dialog);
        if (!options)
            return int(QDialog::Rejected);
        child<QCheckBox>(options, "checkBox_OverdueWarning")->setChecked(true);
        options->OK_Clicked();
        return options->result();
    });
    child<QPushButton>(m_Page.get(), "pushButton_Options")->click();
    QCOMPARE(m_Page->options().value("OverdueWarning"), QStringLiteral("1"));
    setPoints({"100", "200"}, 1, 8);
    const QString question = "标准器 KD24031（证书 DB-2025-311）已于 2026-01-31 到期，是否仍用于本次校准？确认将记入操作日志。";
    // Answers queued after start() (which clears the seam): the question
    // comes from the worker once the block has answered its serial number.
    start("热电偶");
    MessageBox::queueAnswer(MessageBox::No);
    QVERIFY(waitForEnd(120000));
    QVERIFY(shown(question));
    QCOMPARE(MessageBox::last().text, QStringLiteral("标准器 KD24031（证书 DB-2025-311）已于 2026-01-31 到期，不能用于校准！"));
    QCOMPARE(TestSupport::scalar("SELECT COUNT(*) FROM AuditLog WHERE Details LIKE '%KD24031%'").toInt(), 0);

    start("热电偶");
    MessageBox::queueAnswer(MessageBox::Yes);
    auto* log = child<QPlainTextEdit>(m_Page.get(), "plainTextEdit_Data");
    QVERIFY(waitFor([log] { return log->toPlainText().contains("标准器 KD24031 已过期，操作者确认继续使用。"); }, 60000));
    child<QPushButton>(m_Page.get(), "pushButton_Close")->click();
    QVERIFY(waitForEnd(120000));
    QCOMPARE(TestSupport::scalar("SELECT Details FROM AuditLog WHERE Type = '校准'").toString(),
             QStringLiteral("操作者确认使用已过期的标准器 KD24031（证书 DB-2025-311，2026-01-31 到期）"));
}

void TestCalibrationBench::certificateOfAThermocoupleRun()
{
    // Two thermocouples with reading noise, ten readings per point, three
    // points (the third checks the two-point fit); the block's reference
    // with noise of its own. The lab's records through the dialog.
    QVERIFY2(sim().start({"--time-scale", "500", "--instrument",
                          "model=KRDB-1,tcp=127.0.0.1:0,noise=0,wobble=0,refoffset=0,temperature=100,setpoint=100,"
                          "id=KD24031",
                          "--instrument",
                          "model=3107A-TC,tcp=127.0.0.1:0,noise=0.02,id=TCCERT0001,in=1:101-102,"
                          "sensor101=1.004:-0.3,sensor102=0.997:0.25"},
                         2),
             qPrintable(sim().errors()));
    QVERIFY(sim().command("@1 refnoise 0.004"));
    const QStringList tcp = sim().endpoints("tcp");
    QVERIFY(Tool::addChannelConfig(CalibrationBench::config("TC-CERT", "3107A-TC", {"热电偶", "热电偶"}, {"K", "K"})));
    openPage({CalibrationBench::device(1, "3107A-TC", "TC-CERT", "127.0.0.1", tcp.at(1).section(':', -1))});
    const QDate calibrated(2026, 3, 1);
    enterRecords({{"KD24031", "干式炉-R", "DB-2026-07", "省计量院", calibrated.toString(Qt::ISODate), "2099-03-01",
                   "0:0.05;300:0.08", "2", "0.02"}},
                 {{"KD24031", "KRDB-1", "0.01", "100:0.02;300:0.04"}},
                 {{"3107A-TC", "热电偶", "0.01", "0.05", "℃"}});
    linkSource("干式炉-R", "网络", "127.0.0.1", tcp.at(0).section(':', -1));
    child<QComboBox>(m_Page.get(), "comboBox_Criteria")->setCurrentText("干式炉-R");
    setOptions({{"SamplesPerPoint", "10"}, {"SampleInterval", "1"}});
    setPoints({"100", "300", "200?"}, 1, 8);
    start("热电偶");
    QVERIFY(waitForEnd(300000));
    const QString log = child<QPlainTextEdit>(m_Page.get(), "plainTextEdit_Data")->toPlainText();
    QVERIFY2(log.contains("校准数据保存成功！"), qPrintable(log));

    QStringList pages;
    const QString path = m_Dir->path() + "/tc.pdf";
    const QJsonObject cert = issueCertificate("TC-CERT", "101", path, &pages);
    QVERIFY(!cert.isEmpty());
    QVERIFY(cert.value("number").toString().startsWith(QStringLiteral("ARQ-%1-").arg(QDate::currentDate().year())));
    QCOMPARE(cert.value("standard").toObject().value("certificate").toString(), QStringLiteral("DB-2026-07"));
    QCOMPARE(cert.value("item").toObject().value("serial").toString(), QStringLiteral("SN1"));
    QVERIFY(QFile::exists(m_Dir->path() + "/tc.csv"));

    const QString startTime = TestSupport::scalar("SELECT StartTime FROM ChannelCalibrationData").toString();
    QList<Tool::Struct_CalibrationSample> stats;
    QVERIFY(Tool::getCalibrationSamples(startTime, stats));
    const auto sd = [&](const QString& channel, int point) {
        for (const Tool::Struct_CalibrationSample& st : qAsConst(stats))
            if (st.Channel == channel && st.Point == point) {
                [&] { QCOMPARE(st.Count, 10); }();
                return st.StdDev;
            }
        return std::nan("");
    };
    const double years = calibrated.daysTo(QDateTime::fromString(startTime, "yyyy-MM-dd hh:mm:ss").date()) / 365.25;
    const Tool::Struct_ChannelConfig config = stored("TC-CERT");
    const QJsonArray channels = cert.value("channels").toArray();
    QCOMPARE(channels.size(), 2);
    const QString all = pages.join('\n');
    for (int i = 0; i < 2; ++i) {
        const QJsonObject ch = channels.at(i).toObject();
        QCOMPARE(ch.value("number").toString(), QString::number(101 + i));
        // The line through the two fit points, worked out here.
        const QJsonArray fit = ch.value("points").toArray();
        const double x1 = fit.at(0).toObject().value("reading").toDouble(), t1 = fit.at(0).toObject().value("reference").toDouble();
        const double x2 = fit.at(1).toObject().value("reading").toDouble(), t2 = fit.at(1).toObject().value("reference").toDouble();
        const double M = (t2 - t1) / (x2 - x1);
        const double B = t1 - M * x1;
        // Written with five decimals.
        QVERIFY(std::fabs(config.MX_B_M.value(i).toDouble() - M) < 5e-6);
        QVERIFY(std::fabs(config.MX_B_B.value(i).toDouble() - B) < 5e-6);
        QCOMPARE(ch.value("coefficients").toObject().value("M").toString(), config.MX_B_M.value(i));
        const QJsonArray points = ch.value("points").toArray();
        QCOMPARE(points.size(), 3);
        for (int p = 0; p < 3; ++p) {
            const QJsonObject point = points.at(p).toObject();
            const double t = point.value("reference").toDouble();
            const double x = point.value("reading").toDouble();
            HandBudget b;
            b.add(interpolated({{0, 0.05}, {300, 0.08}}, t) / 2);
            b.add(0.02 * years / std::sqrt(3.0));
            b.add(0.01 / std::sqrt(3.0));
            b.add(interpolated({{100, 0.02}, {300, 0.04}}, t) / std::sqrt(3.0));
            b.add(0.01 / std::sqrt(12.0) * M);
            b.add(0.05 / std::sqrt(3.0) * M);
            b.add(sd("REF", p + 1) / std::sqrt(10.0), 9);
            b.add(sd(QStringLiteral("1_%1").arg(101 + i), p + 1) / std::sqrt(10.0) * M, 9);
            // The third point is no fit point: what the line leaves there is
            // the error it reports, not a component; the fit is exact (ν = 0).
            const double residual = M * x + B - t;
            if (p != 2)
                QVERIFY(std::fabs(residual) < 1e-9);
            QCOMPARE(point.value("role").toString(), p == 2 ? QStringLiteral("check") : QStringLiteral("fit"));
            const QJsonObject budget = point.value("budget").toObject();
            const QString where = QStringLiteral("channel %1 point %2").arg(101 + i).arg(p + 1);
            // The run writes M and B as single-precision floats: its residual at
            // the check point differs from this one by some 1e-5 ℃.
            QVERIFY2(std::fabs(budget.value("combined").toDouble() - b.uc()) < 1e-3 * b.uc(), qPrintable(where));
            QVERIFY2(std::fabs(point.value("k").toDouble() - b.k()) < 1e-12, qPrintable(where));
            QVERIFY2(std::fabs(point.value("U").toDouble() - b.U()) < 1e-12,
                     qPrintable(where + QStringLiteral(": U %1, by hand %2").arg(point.value("U").toDouble()).arg(b.U())));
            QCOMPARE(point.value("decimals").toInt(), b.decimals());
            // The row as printed: reference, reading, the errors to the decimals of U, U and k.
            const int d = b.decimals();
            const QString row = QStringLiteral("%1\\s+%2\\s+%3\\s+%4\\s+%5\\s+%6")
                                    .arg(QString::number(t, 'f', std::max(d, 2)), QString::number(x, 'f', 3))
                                    .arg(QString::number(point.value("errorAsFound").toDouble(), 'f', d))
                                    .arg("-?" + QString::number(std::fabs(residual), 'f', d))
                                    .arg(QString::number(b.U(), 'f', d), QString::number(b.k(), 'f', 2))
                                    .replace(".", "\\.");
            QVERIFY2(all.contains(QRegularExpression(row)), qPrintable(where + ": " + row + "\n" + all));
        }
    }
    for (int i = 0; i < pages.size(); ++i)
        QVERIFY2(pages.at(i).contains(cert.value("number").toString()), qPrintable(pages.at(i)));
    QVERIFY(all.contains("DB-2026-07") && all.contains("2099-03-01") && all.contains("仅对所校准的对象有效"));
    QVERIFY(pages.last().contains("证书结束"));
    QCOMPARE(TestSupport::scalar("SELECT COUNT(*) FROM Certificates").toInt(), 1);
    const QString shots = qEnvironmentVariable("ARQ_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        QFile::copy(path, shots + "/certificate-bench.pdf");
}

void TestCalibrationBench::certificateOfAPlatinumRun()
{
    // One platinum sensor in a bath, five fit points and a check point; the
    // readout's resolution and accuracy are in Ω and reach the budget through
    // the sensor's slope dT/dR at each point.
    const Platinum sensor{100.0123, -0.0205, 0.00073, -0.0206, -0.00041};
    QVERIFY2(sim().start({"--time-scale", "1000", "--instrument",
                          "model=KRLB-3,pty,noise=0,wobble=0,temperature=20,setpoint=20,id=KL24117", "--instrument",
                          "model=3107A-RTD,tcp=127.0.0.1:0,noise=0,id=RTDCERT001,in=1:101,sensor101=" + sensor.option()},
                         2),
             qPrintable(sim().errors()));
    QVERIFY(Tool::addChannelConfig(CalibrationBench::config("PT-CERT", "3107A-RTD", {"铂电阻"}, {"ITS90"}, "Ω")));
    openPage({CalibrationBench::device(1, "3107A-RTD", "PT-CERT", "127.0.0.1", QString::number(sim().port()))});
    enterRecords({{"KL24117", "油槽-R", "OB-2026-19", "省计量院", "2026-06-01", "2099-06-01", "0.03", "2", "0"}},
                 {{"KL24117", "KRLB-3", "-80:0.01;100:0.005", "0.01"}},
                 {{"3107A-RTD", "铂电阻", "0.0001", "0.004", "Ω"}});
    linkSource("油槽-R", "串口", sim().pty(), "9600");
    child<QComboBox>(m_Page.get(), "comboBox_Criteria")->setCurrentText("油槽-R");
    setPoints({"-80", "-40", "0", "60", "100", "30?"}, 5, 1);
    start("铂电阻");
    QVERIFY(waitForEnd(300000));
    const QString log = child<QPlainTextEdit>(m_Page.get(), "plainTextEdit_Data")->toPlainText();
    QVERIFY2(log.contains("校准数据保存成功！"), qPrintable(log));

    QStringList pages;
    const QJsonObject cert = issueCertificate("PT-CERT", "101", m_Dir->path() + "/pt.pdf", &pages);
    QVERIFY(!cert.isEmpty());
    const QJsonArray points = cert.value("channels").toArray().at(0).toObject().value("points").toArray();
    QCOMPARE(points.size(), 6);
    const QString all = pages.join('\n');
    for (int p = 0; p < points.size(); ++p) {
        const QJsonObject point = points.at(p).toObject();
        const double t = point.value("reference").toDouble();
        const double r = point.value("reading").toDouble();
        // dT/dR of the sensor as built, at the temperature it reads.
        double ts = t;
        for (int i = 0; i < 20; ++i)
            ts -= (sensor.resistance(ts) - r) / ((sensor.resistance(ts + 1e-3) - sensor.resistance(ts - 1e-3)) / 2e-3);
        const double c = 2e-3 / (sensor.resistance(ts + 1e-3) - sensor.resistance(ts - 1e-3));
        QVERIFY(c > 2.4 && c < 2.7); // about 1 / 0.39 Ω/℃
        HandBudget b;
        b.add(0.03 / 2);
        b.add(0);
        b.add(interpolated({{-80, 0.01}, {100, 0.005}}, t) / std::sqrt(3.0));
        b.add(0.01 / std::sqrt(3.0));
        b.add(0.0001 / std::sqrt(12.0) * c);
        b.add(0.004 / std::sqrt(3.0) * c);
        const QString where = QStringLiteral("point %1 at %2 ℃").arg(p + 1).arg(t);
        QVERIFY2(std::fabs(point.value("budget").toObject().value("combined").toDouble() - b.uc()) < 1e-4 * b.uc(),
                 qPrintable(where));
        QVERIFY2(std::fabs(point.value("U").toDouble() - b.U()) < 1e-12,
                 qPrintable(where + QStringLiteral(": U %1, by hand %2").arg(point.value("U").toDouble()).arg(b.U())));
        QVERIFY2(all.contains(QString::number(b.U(), 'f', b.decimals())), qPrintable(where));
    }
    QVERIFY(all.contains("OB-2026-19"));
    QVERIFY(all.contains("附录"));
}

QTEST_MAIN(TestCalibrationBench)
#include "tst_calibrationbench.moc"
