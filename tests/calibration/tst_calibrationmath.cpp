// Calibration fits and the save step: the ITS-90 reference values, fits that
// must give back the error a sensor was built with, refusals of degenerate
// data, and the stored results with the messages in their order.
#include "CalibrationMath.h"
#include "CalibrationSave.h"
#include "TestSupport.h"
#include "CalibrationStore.h"
#include "Tool.h"

#include <QtTest>

#include <cmath>

using namespace CalibrationMath;

namespace {

// Resistance of a platinum sensor with deviation coefficients, W solved by
// Newton. As on the scale, W is relative to R0 = R(0.01 ℃).
double platinumResistance(double t, double r0, double a, double b, double a4, double b4)
{
    const double wr = referenceFunction(t);
    const bool below = t < 0.01;
    double w = wr;
    for (int i = 0; i < 50; ++i) {
        const double f = below ? w - wr - a4 * (w - 1) - b4 * (w - 1) * std::log(w)
                               : w - wr - a * (w - 1) - b * (w - 1) * (w - 1);
        const double df = below ? 1 - a4 - b4 * (std::log(w) + (w - 1) / w) : 1 - a - 2 * b * (w - 1);
        w -= f / df;
    }
    return r0 * w;
}

Device::Channel channel(const QString& number)
{
    Device::Channel ch;
    ch.ChannelNumber = number;
    return ch;
}

// One channel per entry of `readings`, all on device 1; one point per reference.
QList<PointSet> points(const QList<double>& references, const QList<QList<double>>& readings)
{
    QList<PointSet> sets;
    for (int k = 0; k < references.size(); ++k) {
        PointSet set;
        for (const QList<double>& ch : readings)
            set << Pair{references.at(k), ch.at(k)};
        sets << set;
    }
    return sets;
}

ChannelLists channels(int n)
{
    ChannelLists lists{{}, {}, {}};
    for (int i = 0; i < n; ++i)
        lists[0] << channel(QString::number(101 + i));
    return lists;
}

} // namespace

class TestCalibrationMath : public QObject
{
    Q_OBJECT
private slots:
    void referenceFunctions_data();
    void referenceFunctions();
    void thermocouple();
    void platinumGivesBackItsDeviation();
    void platinumOnTheReferenceCurve();
    void thermistor();
    void refusals_data();
    void refusals();
    void solver();
    void temperatureFromCoefficients_data();
    void temperatureFromCoefficients();
    void residualsBeforeWriting();
    void saveStep();
};

void TestCalibrationMath::referenceFunctions_data()
{
    // Fixed points of ITS-90 with their published Wr values.
    QTest::addColumn<double>("t");
    QTest::addColumn<double>("wr");
    QTest::newRow("argon") << -189.3442 << 0.21585975;
    QTest::newRow("mercury") << -38.8344 << 0.84414211;
    QTest::newRow("water") << 0.01 << 1.0;
    QTest::newRow("gallium") << 29.7646 << 1.11813889;
    QTest::newRow("tin") << 231.928 << 1.89279768;
    QTest::newRow("zinc") << 419.527 << 2.56891730;
}

void TestCalibrationMath::referenceFunctions()
{
    QFETCH(double, t);
    QFETCH(double, wr);
    const double got = t < 0.01 ? referenceBelowZero(t) : referenceAboveZero(t);
    QVERIFY2(std::fabs(got - wr) < 2e-8, qPrintable(QString::number(got, 'f', 10)));
    if (t == 0.01)
        QVERIFY(std::fabs(referenceBelowZero(t) - 1) < 2e-8);
}

void TestCalibrationMath::thermocouple()
{
    ChannelLists lists = channels(2);
    // Channel 1 as in the worked example, channel 2 built as x = (t − B)/M.
    const double m = 1.0125, b = -0.35;
    const QList<PointSet> sets = points({100.0, 0.0}, {{99.5, 0.2}, {(100 - b) / m, (0 - b) / m}});
    QVERIFY(CalculateTC(sets, lists));
    QCOMPARE(lists[0][0].MX_B_M, static_cast<float>(100 / 99.3));
    QCOMPARE(lists[0][0].MX_B_B, static_cast<float>(100 - 100 / 99.3 * 99.5));
    QCOMPARE(QString::number(static_cast<double>(lists[0][0].MX_B_M), 'g', 6), QStringLiteral("1.00705"));
    QCOMPARE(QString::number(static_cast<double>(lists[0][0].MX_B_B), 'g', 6), QStringLiteral("-0.20141"));
    QVERIFY(std::fabs(lists[0][1].MX_B_M - m) < 1e-6);
    QVERIFY(std::fabs(lists[0][1].MX_B_B - b) < 1e-5);
}

void TestCalibrationMath::platinumGivesBackItsDeviation()
{
    // Two sensors with known errors, measured in a shuffled order; the zero
    // point is taken where the bath settled, 8 mK below 0 ℃, and R0 is the
    // resistance at 0.01 ℃ all the same.
    struct Sensor
    {
        double r0, a, b, a4, b4;
    };
    const QList<Sensor> sensors{{100.0123, -2.5e-4, 1.5e-5, -1.9e-4, 2.1e-5}, {25.4987, 1.1e-4, -3e-6, 8e-5, -1e-5}};
    const QList<double> order{100, -40, -0.008, 60, -80};
    QList<QList<double>> readings;
    for (const Sensor& s : sensors) {
        QList<double> r;
        for (double t : order)
            r << platinumResistance(t, s.r0, s.a, s.b, s.a4, s.b4);
        readings << r;
    }
    ChannelLists lists = channels(2);
    QVERIFY(CalculateRTD(points(order, readings), lists));
    for (int i = 0; i < sensors.size(); ++i) {
        const Device::Channel& ch = lists[0][i];
        // The texts carry 8 decimals: one unit of the last one is the bound.
        const QList<QPair<double, double>> found{{ch.A_C0.toDouble(), sensors[i].a},
                                                 {ch.B_C1.toDouble(), sensors[i].b},
                                                 {ch.A4_C5.toDouble(), sensors[i].a4},
                                                 {ch.B4_C6.toDouble(), sensors[i].b4},
                                                 {ch.R0_C4.toDouble(), sensors[i].r0}};
        for (const auto& f : found)
            QVERIFY2(std::fabs(f.first - f.second) <= 1.01e-8,
                     qPrintable(QStringLiteral("%1 vs %2").arg(f.first, 0, 'g', 12).arg(f.second, 0, 'g', 12)));
        QCOMPARE(ch.C_C2, QStringLiteral("0"));
        QCOMPARE(ch.D_C3, QStringLiteral("0"));
    }

    // The measuring order does not matter.
    const QList<double> ascending{-80, -40, -0.008, 60, 100};
    QList<QList<double>> sorted;
    for (const Sensor& s : sensors) {
        QList<double> r;
        for (double t : ascending)
            r << platinumResistance(t, s.r0, s.a, s.b, s.a4, s.b4);
        sorted << r;
    }
    ChannelLists again = channels(2);
    QVERIFY(CalculateRTD(points(ascending, sorted), again));
    QCOMPARE(again[0][0].A_C0, lists[0][0].A_C0);
    QCOMPARE(again[0][1].B4_C6, lists[0][1].B4_C6);
}

void TestCalibrationMath::platinumOnTheReferenceCurve()
{
    const QList<double> t{-80, -40, 0, 60, 100};
    QList<double> r;
    for (double v : t)
        r << 100 * referenceFunction(v);
    ChannelLists lists = channels(1);
    QVERIFY(CalculateRTD(points(t, {r}), lists));
    const Device::Channel& ch = lists[0][0];
    for (const QString& text : {ch.A_C0, ch.B_C1, ch.A4_C5, ch.B4_C6}) {
        QVERIFY2(text == "0.00000000" || text == "-0.00000000", qPrintable(text));
    }
    QCOMPARE(ch.R0_C4, QStringLiteral("100.00000000"));
}

void TestCalibrationMath::thermistor()
{
    // ln R = B0 + B1/T + B2/T² + B3/T³ of a 10 kΩ thermistor; the fit must
    // give back resistances across the range, whatever the conditioning.
    const double B[4] = {-4.5, 4000.0, -1.5e4, 1.0e6};
    const auto resistance = [&B](double t) {
        const double T = t + 273.15;
        return std::exp(B[0] + B[1] / T + B[2] / (T * T) + B[3] / (T * T * T));
    };
    const QList<double> temps{0, 20, 40, 60, 80};
    QList<double> r;
    for (double t : temps)
        r << resistance(t);
    ChannelLists lists = channels(1);
    QVERIFY(CalculateNTC(points(temps, {r}), lists));
    const Device::Channel& ch = lists[0][0];
    const double c[4] = {ch.A_C0.toDouble(), ch.B_C1.toDouble(), ch.C_C2.toDouble(), ch.D_C3.toDouble()};
    for (double t : {0.0, 10.0, 35.0, 70.0, 80.0}) {
        const double x = 1 / (t + 273.15);
        const double lnR = c[0] + c[1] * x + c[2] * x * x + c[3] * x * x * x;
        QVERIFY2(std::fabs(std::exp(lnR) / resistance(t) - 1) < 1e-5, qPrintable(QString::number(t)));
    }
    QCOMPARE(ch.R0_C4, QStringLiteral("0"));
}

void TestCalibrationMath::refusals_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QList<double>>("references");
    QTest::addColumn<QList<double>>("readings");
    QTest::newRow("tc with 1 point") << "热电偶" << QList<double>{100} << QList<double>{100};
    QTest::newRow("tc equal references") << "热电偶" << QList<double>{100, 100.5} << QList<double>{99, 101};
    QTest::newRow("rtd three below zero") << "铂电阻" << QList<double>{-80, -40, -20, 0, 100}
                                         << QList<double>{68, 84, 92, 100, 138};
    QTest::newRow("tc equal readings") << "热电偶" << QList<double>{0, 100} << QList<double>{20, 20};
    QTest::newRow("rtd with 4 points") << "铂电阻" << QList<double>{-40, 0, 50, 100}
                                      << QList<double>{84, 100, 119, 138};
    QTest::newRow("rtd zero point at 0.02") << "铂电阻" << QList<double>{-80, -40, 0.02, 60, 100}
                                           << QList<double>{68, 84, 100, 123, 138};
    QTest::newRow("rtd W of 1") << "铂电阻" << QList<double>{-80, -40, 0, 60, 100}
                               << QList<double>{68, 100, 100, 123, 138};
    QTest::newRow("rtd zero resistance") << "铂电阻" << QList<double>{-80, -40, 0, 60, 100}
                                        << QList<double>{68, 84, 0, 123, 138};
    QTest::newRow("ntc with 3 points") << "热敏电阻" << QList<double>{0, 25, 50} << QList<double>{3e4, 1e4, 3.6e3};
    QTest::newRow("ntc negative resistance") << "热敏电阻" << QList<double>{0, 25, 50, 75}
                                            << QList<double>{3e4, -1e4, 3.6e3, 1.5e3};
    QTest::newRow("ntc one temperature four times")
        << "热敏电阻" << QList<double>{25, 25, 25, 25} << QList<double>{1e4, 1e4, 1e4, 1e4};
    QTest::newRow("unknown kind") << "电压" << QList<double>{0, 100} << QList<double>{0, 1};
}

void TestCalibrationMath::refusals()
{
    QFETCH(QString, mode);
    QFETCH(QList<double>, references);
    QFETCH(QList<double>, readings);
    ChannelLists lists = channels(1);
    lists[0][0].A_C0 = "untouched";
    QVERIFY(!CalibrationSave::fit(mode, points(references, {readings}), lists));
    QCOMPARE(lists[0][0].A_C0, QStringLiteral("untouched"));
    QCOMPARE(lists[0][0].MX_B_M, 1.0f);
}

void TestCalibrationMath::solver()
{
    // 2x + y = 5, x + 3y = 10 → x = 1, y = 3.
    Matrix s = {{2, 1, 5}, {1, 3, 10}};
    double c[4] = {};
    QVERIFY(GaussSolve(s, 2, c));
    QCOMPARE(c[0], 1.0);
    QCOMPARE(c[1], 3.0);
    // A zero pivot is skipped in elimination, then refused.
    Matrix singular = {{0, 1, 1}, {0, 2, 2}};
    QVERIFY(!GaussSolve(singular, 2, c));
    // A straight line through three points.
    QVERIFY(LeastSquares({1, 2, 3}, {3, 5, 7}, 3, 2, c));
    QVERIFY(std::fabs(c[0] - 1) < 1e-12 && std::fabs(c[1] - 2) < 1e-12);
}

void TestCalibrationMath::temperatureFromCoefficients_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QStringList>("coefficients"); // A…B4 texts
    QTest::addColumn<double>("t");
    const QStringList pt{"-0.0205", "0.00073", "0", "0", "100.0123", "-0.0206", "-0.00041"};
    const QStringList ntc{"-4.2", "3990", "-12000", "1000000", "0", "0", "0"};
    for (double t : {-80.0, -0.5, 0.0, 0.01, 0.02, 60.0, 230.0})
        QTest::newRow(qPrintable(QStringLiteral("platinum %1").arg(t))) << "铂电阻" << pt << t;
    for (double t : {-10.0, 25.0, 80.0})
        QTest::newRow(qPrintable(QStringLiteral("thermistor %1").arg(t))) << "热敏电阻" << ntc << t;
}

void TestCalibrationMath::temperatureFromCoefficients()
{
    // The inverse used for residuals gives back the temperature a reading was made at.
    QFETCH(QString, mode);
    QFETCH(QStringList, coefficients);
    QFETCH(double, t);
    Device::Channel ch;
    ch.A_C0 = coefficients.at(0);
    ch.B_C1 = coefficients.at(1);
    ch.C_C2 = coefficients.at(2);
    ch.D_C3 = coefficients.at(3);
    ch.R0_C4 = coefficients.at(4);
    ch.A4_C5 = coefficients.at(5);
    ch.B4_C6 = coefficients.at(6);
    double x = 0;
    if (mode == "铂电阻") {
        x = platinumResistance(t, 100.0123, -0.0205, 0.00073, -0.0206, -0.00041);
    } else {
        const double T = t + 273.15;
        x = std::exp(-4.2 + 3990 / T - 12000 / (T * T) + 1e6 / (T * T * T));
    }
    QVERIFY(hasCoefficients(mode, ch));
    // 10 µK: the two reference functions meet at 0.01 ℃ to about 1 µK.
    QVERIFY2(std::fabs(temperatureOf(mode, ch, x, t + 3) - t) < 1e-5,
             qPrintable(QString::number(temperatureOf(mode, ch, x, t + 3), 'g', 12)));
    QVERIFY(!hasCoefficients(mode, Device::Channel()) || mode == "热电偶");
}

void TestCalibrationMath::residualsBeforeWriting()
{
    // Three thermocouple points: 0 and 100 ℃ are fitted, 50 ℃ checks the
    // line. The channel had M = 1, B = 0.2 before.
    CalibrationRun run;
    run.ChannelMode = "热电偶";
    run.Labels = QStringList{"1_101"};
    run.Channels = {{channel("101")}, {}, {}};
    run.Channels[0][0].MX_B_M = 1;
    run.Channels[0][0].MX_B_B = 0.2f;
    run.CalibrationCriteria = QStringList{"0.0000", "100.0000", "50.0000"};
    run.CalibrationData[0] = QStringList{"0.3"};
    run.CalibrationData[1] = QStringList{"99.6"};
    run.CalibrationData[2] = QStringList{"49.9"};
    const CalibrationSave::Report report = CalibrationSave::evaluate(run);
    QCOMPARE(report.outcome, CalibrationSave::Outcome::Saved);
    QCOMPARE(report.fitPoints, 2);
    QVERIFY(report.exact);
    QCOMPARE(report.channels.size(), 1);
    const ChannelCheck& c = report.channels.first();
    QCOMPARE(c.Points.size(), 3);
    const double m = static_cast<float>(100 / 99.3), b = static_cast<float>(-0.3 * (100 / 99.3));
    QVERIFY(std::fabs(c.Points[0].ResidualMk) < 0.01 && std::fabs(c.Points[1].ResidualMk) < 0.01);
    QVERIFY(!c.Points[1].Check && c.Points[2].Check);
    QVERIFY(std::fabs(c.Points[2].ResidualMk - (m * 49.9 + b - 50) * 1000) < 1e-6);
    QVERIFY(std::fabs(c.MaxResidualMk - std::fabs(c.Points[2].ResidualMk)) < 1e-9);
    // As found: 1·x + 0.2 against the reference.
    const QList<double> asFound{500, -200, 100};
    for (int p = 0; p < 3; ++p)
        QVERIFY2(std::fabs(c.Points[p].AsFoundMk - asFound[p]) < 1e-3, qPrintable(QString::number(c.Points[p].AsFoundMk)));
    QVERIFY(std::fabs(c.MaxAsFoundMk - 500.0) < 1e-3);

    // With the lab's records, each point gets its budget. By hand at the
    // check point (50 ℃, c = M = 100/99.3): reference 0.02/2; drift
    // 0.01 ℃/a over 0.5 a, rectangular; stability 0.01 and uniformity 0.02,
    // rectangular; resolution 0.001/√12·c; accuracy 0.05/√3·c; ten readings
    // of the reference (s 0.002) and of the channel (s 0.02·c); the residual.
    run.Devices = {Tool::Struct_AcquisitionDevice(), Tool::Struct_AcquisitionDevice(), Tool::Struct_AcquisitionDevice()};
    run.Devices[0].Mode = "3107A-TC";
    run.Channels[0][0].Type = "热电偶";
    run.Budget.Enabled = run.Budget.HasReference = run.Budget.HasSource = true;
    run.Budget.Reference.Uncertainty = "0.02";
    run.Budget.Reference.CoverageK = 2;
    run.Budget.Reference.DriftPerYear = 0.01;
    run.Budget.Reference.CalibrationDate = QDate(2026, 6, 10);
    run.Budget.At = QDate(2026, 12, 9); // 182 days, 0.4983 a
    run.Budget.Source.Stability = "0.01";
    run.Budget.Source.Uniformity = "-50:0.01;150:0.03"; // 0.02 at 50 ℃
    run.Budget.Readouts = {{"3107A-TC", "热电偶", 0.001, 0.05, "℃"}};
    Tool::Struct_CalibrationSample ref, ch;
    ref.Point = ch.Point = 3;
    ref.Batch = ch.Batch = 1;
    ref.Channel = "REF";
    ch.Channel = "1_101";
    ref.Count = ch.Count = 10;
    ref.StdDev = 0.002;
    ch.StdDev = 0.02;
    run.Budget.Samples = {ref, ch};
    const CalibrationSave::Report withBudget = CalibrationSave::evaluate(run);
    const PointCheck check = withBudget.channels.first().Points.at(2);
    const double cm = m;
    const double residual = check.ResidualMk / 1000;
    const double u2 = std::pow(0.01, 2) + std::pow(0.01 * 182 / 365.25 / std::sqrt(3.0), 2) + std::pow(0.01 / std::sqrt(3.0), 2)
                      + std::pow(0.02 / std::sqrt(3.0), 2) + std::pow(cm * 0.001 / std::sqrt(12.0), 2)
                      + std::pow(cm * 0.05 / std::sqrt(3.0), 2) + std::pow(0.002 / std::sqrt(10.0), 2)
                      + std::pow(cm * 0.02 / std::sqrt(10.0), 2) + residual * residual;
    const double expanded = 2 * std::sqrt(u2); // ν_eff is large here
    // About 0.122 ℃ (the check point's 58 mK residual dominates): two digits, 0.12.
    QVERIFY(expanded > 0.1 && expanded < 0.13);
    const double rounded = std::round(expanded * 100) / 100;
    QVERIFY2(std::fabs(check.U - rounded) < 1e-12 && check.k == 2.0,
             qPrintable(QStringLiteral("U %1 (k %2), by hand %3").arg(check.U).arg(check.k).arg(expanded, 0, 'g', 8)));
    QCOMPARE(check.Budget.split(';').size(), 9);
    // Fit points have no residual term and no samples here: six terms.
    QCOMPARE(withBudget.channels.first().Points.at(0).Budget.split(';').size(), 6);

    // A reading that is no number is refused with its channel, not taken as 0.
    run.CalibrationData[2] = QStringList{""};
    const CalibrationSave::Report refused = CalibrationSave::evaluate(run);
    QCOMPARE(refused.outcome, CalibrationSave::Outcome::FitFailed);
    QVERIFY2(CalibrationSave::message(refused).startsWith("参数错误，计算失败！\n1_101"),
             qPrintable(CalibrationSave::message(refused)));
}

void TestCalibrationMath::saveStep()
{
    TestWorkDir dir;
    QVERIFY(TestSupport::openDatabase());
    QVERIFY(Tool::createChannelCalibrationData());

    // Two devices with one configuration each; a third entry whose channels
    // are not calibrated.
    Tool::Struct_ChannelConfig config;
    config.Name = "TC-A";
    config.Mode = "3107A-TC";
    config.Module = "1,0,0,0,0,0";
    config.Number = 2;
    config.ChannelNumber = QStringList{"101", "102"};
    for (QStringList* l : {&config.Tag, &config.Type, &config.Function, &config.Wire, &config.Unit, &config.Low,
                           &config.Hight, &config.A_C0, &config.B_C1, &config.C_C2, &config.D_C3, &config.R0_C4,
                           &config.A4_C5, &config.B4_C6})
        *l = QStringList{"x", "x"};
    config.MX_B_M = QStringList{"1", "1"};
    config.MX_B_B = QStringList{"0", "0"};
    config.LowState = config.HightState = QList<bool>{false, false};
    QVERIFY(Tool::addChannelConfig(config));
    Tool::Struct_ChannelConfig second = config;
    second.Name = "TC-B";
    QVERIFY(Tool::addChannelConfig(second));

    CalibrationRun run;
    run.StartTime = "2026-12-10 09:00:00";
    run.ChannelName = "TC-A,TC-B,";
    run.ChannelMode = "热电偶";
    run.CollectionName = QStringList{"1-TC-A", "2-TC-B", "1-TC-A"};
    run.Labels = QStringList{"1_101", "1_102", "2_102"};
    Tool::Struct_AcquisitionDevice a, b;
    a.ChannelConfig = "TC-A";
    b.ChannelConfig = "TC-B";
    run.Devices = {a, b, a};
    run.Channels = {{channel("101"), channel("102")}, {channel("102")}, {}};

    QCOMPARE(CalibrationSave::save(run), CalibrationSave::Outcome::NoData);
    const auto count = [](const char* table) {
        return TestSupport::scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toInt();
    };

    // Batches of two: three references for two batches is refused, and
    // nothing is stored: the run row goes only with its coefficients.
    run.CalibrationCriteria = QStringList{"100.0000,100.0100,99.9900"};
    run.CalibrationData[0] = QStringList{"99.5,99.8", "100.3"};
    QCOMPARE(CalibrationSave::save(run), CalibrationSave::Outcome::BatchMismatch);
    QCOMPARE(count("ChannelCalibrationData"), 0);

    run.CalibrationCriteria = QStringList{"100.0000,100.0100", "0.0000,0.0100"};
    run.CalibrationData[1] = QStringList{"0.2", "-0.1"};
    QCOMPARE(CalibrationSave::save(run), CalibrationSave::Outcome::ChannelMismatch);

    // An empty reading between commas is no reading of 0.
    run.CalibrationData[1] = QStringList{"0.2,", "-0.1"};
    QCOMPARE(CalibrationSave::save(run), CalibrationSave::Outcome::FitFailed);
    QCOMPARE(count("ChannelCalibrationData"), 0);

    run.CalibrationData[1] = QStringList{"0.2,0.0", "-0.1"};
    QCOMPARE(CalibrationSave::save(run), CalibrationSave::Outcome::Saved);
    QList<Tool::Struct_ChannelConfig> stored;
    QVERIFY(Tool::getChannelConfig(stored, "TC-A") && !stored.isEmpty());
    // 1_102 reads 99.8 at 100 and 0.0 at 0.
    QCOMPARE(stored[0].MX_B_M, QStringList({"1.00705", "1.002"}));
    QCOMPARE(stored[0].MX_B_B.at(0), QStringLiteral("-0.20141"));
    QVERIFY(Tool::getChannelConfig(stored, "TC-B") && !stored.isEmpty());
    QCOMPARE(stored[0].MX_B_M.at(0), QStringLiteral("1"));
    QCOMPARE(stored[0].MX_B_M.at(1),
             QString::number(static_cast<double>(static_cast<float>((100.01 - 0.01) / (100.3 + 0.1))), 'g', 6));
    // Every written set is in the history with the set it replaced.
    QCOMPARE(count("CalibrationHistory"), 3);
    QList<Tool::Struct_CalibrationHistory> history;
    QVERIFY(Tool::getCalibrationHistory("TC-A", "101", history));
    QCOMPARE(history.size(), 1);
    QCOMPARE(history[0].NewSet.mid(0, 2), QStringList({"1.00705", "-0.20141"}));
    QCOMPARE(history[0].OldSet.mid(0, 2), QStringList({"1", "0"}));
    QCOMPARE(history[0].StartTime, run.StartTime);
    QCOMPARE(history[0].Points, 2);

    // The same run again: its row exists, so nothing at all is written.
    run.CalibrationCriteria = QStringList{"200.0000,200.0000", "0.0000,0.0000"};
    run.CalibrationData[0] = QStringList{"199,198", "201"};
    QCOMPARE(CalibrationSave::save(run), CalibrationSave::Outcome::RunNotStored);
    QVERIFY(Tool::getChannelConfig(stored, "TC-A"));
    QCOMPARE(stored[0].MX_B_M.at(0), QStringLiteral("1.00705"));
    QCOMPARE(count("CalibrationHistory"), 3);

    // Two devices on one configuration: both devices' channels land in it.
    run.StartTime = "2026-12-10 10:00:00";
    run.Devices = {a, a, b};
    run.Channels = {{channel("101")}, {channel("102")}, {}};
    run.Labels = QStringList{"1_101", "2_102"};
    run.CalibrationCriteria = QStringList{"200.0000,200.0000", "0.0000,0.0000"};
    run.CalibrationData[0] = QStringList{"199", "198"};
    run.CalibrationData[1] = QStringList{"0.5", "-0.5"};
    QCOMPARE(CalibrationSave::save(run), CalibrationSave::Outcome::Saved);
    QVERIFY(Tool::getChannelConfig(stored, "TC-A"));
    QCOMPARE(stored[0].MX_B_M, QStringList({QString::number(static_cast<float>(200 / 198.5), 'g', 6),
                                            QString::number(static_cast<float>(200 / 198.5), 'g', 6)}));

    // A configuration gone missing: the transaction writes nothing anywhere.
    QVERIFY(Tool::deleteChannelConfig("TC-B"));
    run.StartTime = "2026-12-10 11:00:00";
    run.Devices = {a, b, a};
    run.Channels = {{channel("101")}, {channel("102")}, {}};
    QCOMPARE(CalibrationSave::save(run), CalibrationSave::Outcome::UpdateFailed);
    QVERIFY(Tool::getChannelConfig(stored, "TC-A"));
    QCOMPARE(stored[0].MX_B_M.at(0), QString::number(static_cast<float>(200 / 198.5), 'g', 6));
    QCOMPARE(count("ChannelCalibrationData"), 2);
    QCOMPARE(count("CalibrationHistory"), 5);

    QCOMPARE(CalibrationSave::message(CalibrationSave::Outcome::FitFailed), QStringLiteral("参数错误，计算失败！"));
    TestSupport::closeDatabase();
}

QTEST_GUILESS_MAIN(TestCalibrationMath)
#include "tst_calibrationmath.moc"
