// Calibration fits and the save step. Sensors come from a generator whose
// physics is the simulator's (ITS-90, IEC 60751, thermistor and thermocouple
// models of its own), never the reference functions under test: fits must
// give back the sensor between their points, check points must not move
// them, and point sets that cannot determine a fit are refused.
#include "CalibrationMath.h"
#include "CalibrationSave.h"
#include "CalibrationStore.h"
#include "Physics.h"
#include "TestSupport.h"
#include "Tool.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>

using namespace CalibrationMath;
namespace physics = sim::physics;

namespace {

Device::Channel channel(const QString& number, const QString& function = QString())
{
    Device::Channel ch;
    ch.ChannelNumber = number;
    ch.Function = function;
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

ChannelLists channels(int n, const QString& function = QString())
{
    ChannelLists lists{{}, {}, {}};
    for (int i = 0; i < n; ++i)
        lists[0] << channel(QString::number(101 + i), function);
    return lists;
}

// A sensor drawn from industrial ranges, as the simulator's physics has it.
struct Sensor
{
    QString kind; // "tc", "its90", "cvd", "ntc"
    double m = 1, b = 0, bow = 0;         // thermocouple: reads (t − B)/M + bow·(t/1000)²
    double r0 = 100;                      // platinum R(0.01 ℃) or R(0 ℃)
    physics::Its90Deviation dev;          // ITS-90 deviation
    double a = physics::kCvdA, bb = physics::kCvdB, c = physics::kCvdC; // Callendar–Van Dusen
    physics::ThermistorCoefficients ntc;
    double reading(double t) const
    {
        if (kind == "tc")
            return (t - b) / m + bow * (t / 1000) * (t / 1000);
        if (kind == "its90")
            return physics::its90Resistance(t, r0, dev);
        if (kind == "cvd")
            return physics::cvdResistance(t, r0, a, bb, c);
        return physics::thermistorResistance(t, ntc);
    }
    QString mode() const { return kind == "tc" ? "热电偶" : kind == "ntc" ? "热敏电阻" : "铂电阻"; }
    QString function() const { return kind == "cvd" ? "CVD" : kind == "its90" ? "ITS90" : QString(); }
};

Sensor randomSensor(const QString& kind, std::mt19937& rng)
{
    const auto uniform = [&rng](double lo, double hi) { return std::uniform_real_distribution<double>(lo, hi)(rng); };
    Sensor s;
    s.kind = kind;
    if (kind == "tc") {
        s.m = uniform(0.995, 1.005);
        s.b = uniform(-0.5, 0.5);
    } else if (kind == "its90") {
        s.r0 = uniform(24.9, 25.6) * (uniform(0, 1) < 0.5 ? 1 : 4);
        s.dev = {uniform(-3e-4, 3e-4), uniform(-3e-5, 3e-5), 0, uniform(-3e-4, 3e-4), uniform(-3e-5, 3e-5)};
    } else if (kind == "cvd") {
        s.r0 = uniform(99.9, 100.1) * (uniform(0, 1) < 0.3 ? 10 : 1);
        s.a = physics::kCvdA * uniform(0.998, 1.002);
        s.bb = physics::kCvdB * uniform(0.98, 1.02);
        s.c = physics::kCvdC * uniform(0.9, 1.1);
    } else {
        s.ntc = physics::thermistorFromBeta(uniform(2e3, 5e4), uniform(3200, 4200));
        s.ntc.c = uniform(-2e4, 2e4);
        s.ntc.d = uniform(-1e6, 1e6);
    }
    return s;
}

// Set points a lab would choose for the kind, shuffled; the second list
// marks the fit points (the rest are check points).
void randomPoints(const QString& kind, std::mt19937& rng, QList<double>& temps, QList<bool>& fit)
{
    const auto pick = [&rng](QList<double> pool, int n) {
        std::shuffle(pool.begin(), pool.end(), rng);
        pool = pool.mid(0, n);
        return pool;
    };
    std::uniform_int_distribution<int> coin(0, 1);
    if (kind == "tc") {
        temps = pick({100, 200, 300, 400, 500, 600, 700, 800, 900, 1000}, 3 + coin(rng) * 3);
    } else if (kind == "its90") {
        temps = QList<double>{0} + pick({-80, -40}, 2) + pick({30, 60, 100, 160, 231.9, 300, 419.5}, 2 + coin(rng) * 2);
        if (coin(rng))
            temps << -189 << 500; // argon to aluminium: the cubic term joins
    } else if (kind == "cvd") {
        temps = QList<double>{0} + pick({50, 100, 150, 200, 300, 400}, 2 + coin(rng) * 2);
        if (coin(rng))
            temps << -40 << -80;
    } else {
        temps = pick({0, 10, 20, 30, 40, 50, 60, 70, 80, 90}, 5 + coin(rng) * 3);
    }
    std::shuffle(temps.begin(), temps.end(), rng);
    fit.clear();
    for (int i = 0; i < temps.size(); ++i)
        fit << true;
    // One check point where the kind has points to spare: never the zero point.
    const int spare = kind == "tc" ? 1 : kind == "ntc" ? 1 : 0;
    for (int i = 0, marked = 0; i < temps.size() && marked < spare; ++i)
        if (temps.at(i) != 0 && (kind != "tc" || temps.size() > 3 || i > 0)) {
            fit[i] = false;
            ++marked;
        }
}

// Coefficients the test expects to be determined by the fit points.
int unknowns(const QString& kind, const QList<double>& temps, const QList<bool>& fit)
{
    bool below = false, high = false;
    for (int i = 0; i < temps.size(); ++i)
        if (fit.at(i)) {
            below = below || temps.at(i) < 0;
            high = high || temps.at(i) > 419.527;
        }
    if (kind == "tc")
        return 2;
    if (kind == "ntc")
        return 4;
    if (kind == "cvd")
        return below ? 4 : 3;
    return 1 + 2 + (below ? 2 : 0) + (high ? 1 : 0);
}

} // namespace

class TestCalibrationMath : public QObject
{
    Q_OBJECT
private slots:
    void referenceFunctions_data();
    void referenceFunctions();
    void generatedSensors_data();
    void generatedSensors();
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

void TestCalibrationMath::generatedSensors_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("seed");
    QTest::addColumn<double>("noise"); // ℃ of reference noise on every point
    for (const char* kind : {"tc", "its90", "cvd", "ntc"})
        for (int seed = 1; seed <= 6; ++seed)
            QTest::newRow(qPrintable(QStringLiteral("%1 %2").arg(QLatin1String(kind)).arg(seed)))
                << QString::fromLatin1(kind) << seed << (seed > 4 ? 0.001 : 0.0);
}

void TestCalibrationMath::generatedSensors()
{
    QFETCH(QString, kind);
    QFETCH(int, seed);
    QFETCH(double, noise);
    std::mt19937 rng(static_cast<unsigned>(seed * 7919 + kind.size()));
    std::normal_distribution<double> gauss(0, 1);
    // Two sensors per run, each with its own noise.
    const Sensor sensors[2] = {randomSensor(kind, rng), randomSensor(kind, rng)};
    QList<double> temps;
    QList<bool> fit;
    randomPoints(kind, rng, temps, fit);
    QList<PointSet> sets;
    for (double t : qAsConst(temps)) {
        PointSet set;
        for (const Sensor& s : sensors) {
            // The zero point stays within its tolerance whatever the noise.
            const double reference = t + (t == 0 ? 0.004 : noise * gauss(rng));
            set << Pair{reference, s.reading(t + (t == 0 ? 0.004 : 0))};
        }
        sets << set;
    }
    const QString info = QStringLiteral("points %1 fit %2").arg([&] {
        QStringList l;
        for (double t : qAsConst(temps))
            l << QString::number(t);
        return l.join(',');
    }()).arg([&] {
        QStringList l;
        for (bool f : qAsConst(fit))
            l << (f ? "f" : "c");
        return l.join(',');
    }());
    ChannelLists lists = channels(2, sensors[0].function());
    for (Device::Channel& ch : lists[0])
        ch.Type = sensors[0].mode();
    QList<FitStats> stats;
    FitError error;
    QVERIFY2(CalibrationSave::fit(sensors[0].mode(), sets, lists, &error, fit, &stats),
             qPrintable(info + QStringLiteral(" reason %1").arg(error.reason)));
    QCOMPARE(stats.size(), 2);

    // The fit without the check points at all: check points never enter it.
    QList<PointSet> fitSets;
    QList<double> fitTemps;
    for (int i = 0; i < sets.size(); ++i)
        if (fit.at(i)) {
            fitSets << sets.at(i);
            fitTemps << temps.at(i);
        }
    ChannelLists alone = channels(2, sensors[0].function());
    QVERIFY(CalibrationSave::fit(sensors[0].mode(), fitSets, alone));
    const auto lo = *std::min_element(fitTemps.begin(), fitTemps.end());
    const auto hi = *std::max_element(fitTemps.begin(), fitTemps.end());
    for (int k = 0; k < 2; ++k) {
        const Device::Channel& ch = lists[0][k];
        QCOMPARE(CalibrationSave::coefficientTexts(ch), CalibrationSave::coefficientTexts(alone[0][k]));
        const FitStats& st = stats.at(k);
        QCOMPARE(st.n, fitTemps.size());
        QCOMPARE(st.p, unknowns(kind, temps, fit));
        QVERIFY2(std::fabs(st.low - (lo == 0 ? 0.004 : lo)) < 0.01 || noise > 0, qPrintable(info));
        QVERIFY(std::fabs(st.high - hi) < 0.01 || noise > 0);
        if (st.dof() > 0)
            QCOMPARE(st.covariance.size(), st.p * st.p);
        // Resistance channels carry no trim on top of their new coefficients.
        if (kind != "tc")
            QVERIFY(ch.MX_B_M == 1.0f && ch.MX_B_B == 0.0f);

        // Between the points, over the range of validity: the sensor's own
        // temperature comes back. Without noise the model is the sensor's
        // form, so only the stored digits remain (the thermocouple's M and B
        // as 32-bit floats: 0.12 mK at 1000 ℃); with 1 mK of noise a least-
        // squares curve stays within a few noise widths.
        const double tolerance = noise > 0 ? 6 * noise : (kind == "tc" ? 2e-4 : 5e-5);
        double worst = 0;
        for (int step = 0; step <= 40; ++step) {
            const double t = lo + (hi - lo) * step / 40.0;
            const double got = temperatureOf(sensors[0].mode(), ch, sensors[k].reading(t), t);
            worst = std::max(worst, std::fabs(got - t));
        }
        QVERIFY2(worst < tolerance, qPrintable(info + QStringLiteral(" worst %1 mK").arg(worst * 1000)));
        // The standard error is that of the fit points' residuals, computed here.
        double ss = 0;
        for (int i = 0; i < sets.size(); ++i)
            if (fit.at(i)) {
                const Pair p = sets.at(i).at(k);
                const double r = temperatureOf(sensors[0].mode(), ch, p.x, p.t) - p.t;
                ss += r * r;
            }
        if (st.dof() > 0)
            QVERIFY2(std::fabs(st.s - std::sqrt(ss / st.dof())) < 1e-9, qPrintable(info));
        else
            QVERIFY(std::isnan(st.s));
    }

    // A thermocouple line is the least-squares line, worked out here in closed form.
    if (kind == "tc") {
        for (int k = 0; k < 2; ++k) {
            double sx = 0, sy = 0, sxx = 0, sxy = 0;
            const int n = fitSets.size();
            for (const PointSet& set : qAsConst(fitSets)) {
                sx += set.at(k).x;
                sy += set.at(k).t;
                sxx += set.at(k).x * set.at(k).x;
                sxy += set.at(k).x * set.at(k).t;
            }
            const double m = (n * sxy - sx * sy) / (n * sxx - sx * sx);
            const double b = (sy - m * sx) / n;
            QCOMPARE(lists[0][k].MX_B_M, static_cast<float>(m));
            QVERIFY(std::fabs(lists[0][k].MX_B_B - b) < 1e-5);
        }
    }
}

void TestCalibrationMath::refusals_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("function");
    QTest::addColumn<QList<double>>("references");
    QTest::addColumn<QList<double>>("readings");
    QTest::addColumn<int>("reason");
    const auto pt100 = [](const QList<double>& temps, double noiseAt = 1e9, double noise = 0) {
        QList<double> r;
        for (double t : temps)
            r << physics::its90Resistance(t, 100) * (1 + (t == noiseAt ? noise * 0.004 : 0));
        return r;
    };
    const auto ntc = [](const QList<double>& temps) {
        QList<double> r;
        const physics::ThermistorCoefficients k = physics::thermistorFromBeta(1e4, 3950);
        for (double t : temps)
            r << physics::thermistorResistance(t, k);
        return r;
    };
    QTest::newRow("tc with 1 point") << "热电偶" << "" << QList<double>{100} << QList<double>{100}
                                     << int(FitError::PointCount);
    QTest::newRow("tc equal references") << "热电偶" << "" << QList<double>{100, 100.5} << QList<double>{99, 101}
                                         << int(FitError::EqualReferences);
    QTest::newRow("tc equal readings") << "热电偶" << "" << QList<double>{0, 100} << QList<double>{20, 20}
                                       << int(FitError::EqualReadings);
    // W − 1 of −40 and −39.9 ℃ differ by 0.3 %: 1 mK of noise gave 0.88 K at −80 ℃.
    const QList<double> close{-40, -39.9, 0, 50, 100};
    QTest::newRow("rtd -40/-39.9") << "铂电阻" << "ITS90" << close << pt100(close, -39.9, 0.001)
                                   << int(FitError::IllConditioned);
    const QList<double> top{-80, -40, 0, 99.9, 100};
    QTest::newRow("rtd 99.9/100") << "铂电阻" << "ITS90" << top << pt100(top) << int(FitError::IllConditioned);
    const QList<double> warmZero{-80, -40, 0.02, 60, 100};
    QTest::newRow("rtd zero point at 0.02") << "铂电阻" << "ITS90" << warmZero << pt100(warmZero)
                                            << int(FitError::ZeroPoint);
    const QList<double> oneAbove{-80, -40, -20, 0, 100};
    QTest::newRow("rtd one point above zero") << "铂电阻" << "ITS90" << oneAbove << pt100(oneAbove)
                                              << int(FitError::FewFitPoints);
    const QList<double> nitrogen{-196, -40, 0, 60, 100};
    QTest::newRow("rtd below argon") << "铂电阻" << "ITS90" << nitrogen << pt100(nitrogen) << int(FitError::OutOfRange);
    const QList<double> hot{-40, -80, 0, 100, 700};
    QTest::newRow("rtd above aluminium") << "铂电阻" << "ITS90" << hot << pt100(hot) << int(FitError::OutOfRange);
    // A copper sensor (α 0.00428) is 7 % away from Wr − 1: no platinum probe.
    QList<double> copper;
    const QList<double> plain{-80, -40, 0, 60, 100};
    for (double t : plain)
        copper << 100 * (1 + 4.28e-3 * t);
    QTest::newRow("rtd copper sensor") << "铂电阻" << "ITS90" << plain << copper << int(FitError::Implausible);
    QTest::newRow("rtd zero resistance") << "铂电阻" << "ITS90" << plain << QList<double>{68, 84, 0, 123, 138}
                                         << int(FitError::NotPositive);
    const QList<double> cvdFew{0, 100, 100.3};
    QTest::newRow("cvd two temperatures") << "铂电阻" << "CVD" << cvdFew << pt100(cvdFew) << int(FitError::FewFitPoints);
    QList<double> alpha5;
    const QList<double> cvdRange{0, 50, 100, 150};
    for (double t : cvdRange)
        alpha5 << physics::cvdResistance(t, 100, 5e-3);
    QTest::newRow("cvd alpha out of bound") << "铂电阻" << "CVD" << cvdRange << alpha5 << int(FitError::CoefficientBound);
    QTest::newRow("ntc with 3 points") << "热敏电阻" << "" << QList<double>{0, 25, 50} << QList<double>{3e4, 1e4, 3.6e3}
                                       << int(FitError::PointCount);
    QTest::newRow("ntc negative resistance") << "热敏电阻" << "" << QList<double>{0, 25, 50, 75}
                                             << QList<double>{3e4, -1e4, 3.6e3, 1.5e3} << int(FitError::NotPositive);
    // Two temperatures twice: exact-looking, 0.52 K wrong at 30 ℃ before.
    const QList<double> twice{25, 25, 50, 50};
    QTest::newRow("ntc two temperatures twice") << "热敏电阻" << "" << twice << ntc(twice) << int(FitError::FewFitPoints);
    const QList<double> narrow{20, 22, 24, 26, 28};
    QTest::newRow("ntc within 8 K") << "热敏电阻" << "" << narrow << ntc(narrow) << int(FitError::NarrowRange);
    QTest::newRow("unknown kind") << "电压" << "" << QList<double>{0, 100} << QList<double>{0, 1} << -1;
}

void TestCalibrationMath::refusals()
{
    QFETCH(QString, mode);
    QFETCH(QString, function);
    QFETCH(QList<double>, references);
    QFETCH(QList<double>, readings);
    QFETCH(int, reason);
    ChannelLists lists = channels(1, function);
    lists[0][0].A_C0 = "untouched";
    FitError error;
    QVERIFY(!CalibrationSave::fit(mode, points(references, {readings}), lists, &error));
    QCOMPARE(lists[0][0].A_C0, QStringLiteral("untouched"));
    QCOMPARE(lists[0][0].MX_B_M, 1.0f);
    if (reason >= 0) {
        QCOMPARE(int(error.reason), reason);
        QVERIFY(!CalibrationSave::reasonText(error.reason).isEmpty());
    }
}

void TestCalibrationMath::solver()
{
    // y = 1 + 2x through (1, 3.1), (2, 4.9), (3, 7.1): by hand, with
    // Sx = 6, Sxx = 14, n = 3: slope 2, intercept 1.0333…, rss 0.06 − …
    std::vector<double> beta, inverse;
    double rss = 0;
    QVERIFY(leastSquares({{1, 1, 1}, {1, 2, 3}}, {3.1, 4.9, 7.1}, beta, &inverse, &rss));
    const double det = 3 * 14 - 6 * 6;
    QVERIFY(std::fabs(beta[1] - (3 * (3.1 + 9.8 + 21.3) - 6 * 15.1) / det) < 1e-12);
    QVERIFY(std::fabs(beta[0] - (15.1 - beta[1] * 6) / 3) < 1e-12);
    // (AᵀA)⁻¹ = [[14, −6], [−6, 3]]/det.
    const double expected[4] = {14 / det, -6 / det, -6 / det, 3 / det};
    for (int i = 0; i < 4; ++i)
        QVERIFY(std::fabs(inverse[i] - expected[i]) < 1e-12);
    double ss = 0;
    for (int i = 1; i <= 3; ++i) {
        const double r = std::vector<double>{3.1, 4.9, 7.1}[i - 1] - beta[0] - beta[1] * i;
        ss += r * r;
    }
    QVERIFY(std::fabs(rss - ss) < 1e-12);
    // Dependent columns, and columns dependent to 1e-12, are refused.
    QVERIFY(!leastSquares({{1, 2, 3}, {2, 4, 6}}, {1, 2, 3}, beta));
    QVERIFY(!leastSquares({{1, 2, 3}, {1, 2, 3 + 1e-12}}, {1, 2, 3}, beta));
    QVERIFY(!leastSquares({{1, 2}}, {1}, beta)); // fewer samples than a column holds
    QCOMPARE(distinctValues({25, 25, 50, 50.4}, 1), 2);
    QCOMPARE(distinctValues({0.1, 0.14, 0.149, 0.3}, 0, 1.5), 2);
    QCOMPARE(distinctValues({0.1, 0.14, 0.16, 0.3}, 0, 1.5), 3);
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
        x = physics::its90Resistance(t, 100.0123, {-0.0205, 0.00073, 0, -0.0206, -0.00041});
    } else {
        const double T = t + 273.15;
        x = std::exp(-4.2 + 3990 / T - 12000 / (T * T) + 1e6 / (T * T * T));
    }
    QVERIFY(hasCoefficients(mode, ch));
    // 10 µK: the two reference functions meet at 0.01 ℃ to about 1 µK.
    QVERIFY2(std::fabs(temperatureOf(mode, ch, x, t + 3) - t) < 1e-5,
             qPrintable(QString::number(temperatureOf(mode, ch, x, t + 3), 'g', 12)));
    QVERIFY(!hasCoefficients(mode, Device::Channel()) || mode == "热电偶");
    // The loggers apply a channel's M and B to its temperature: so does the as-found error.
    ch.MX_B_M = 1.001f;
    ch.MX_B_B = 0.01f;
    QVERIFY(std::fabs(temperatureOf(mode, ch, x, t + 3) - (1.001f * t + 0.01f)) < 2e-5);
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
    run.FitPoints = {true, true, false};
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
    // The check point's 58 mK residual is the error it reports, not a component.
    const double u2 = std::pow(0.01, 2) + std::pow(0.01 * 182 / 365.25 / std::sqrt(3.0), 2) + std::pow(0.01 / std::sqrt(3.0), 2)
                      + std::pow(0.02 / std::sqrt(3.0), 2) + std::pow(cm * 0.001 / std::sqrt(12.0), 2)
                      + std::pow(cm * 0.05 / std::sqrt(3.0), 2) + std::pow(0.002 / std::sqrt(10.0), 2)
                      + std::pow(cm * 0.02 / std::sqrt(10.0), 2);
    const double expanded = 2 * std::sqrt(u2); // ν_eff is large here
    // About 0.068 ℃ (the readout's accuracy dominates): two digits, 0.068.
    QVERIFY(expanded > 0.06 && expanded < 0.075);
    const double rounded = std::round(expanded * 1000) / 1000;
    QVERIFY2(std::fabs(check.U - rounded) < 1e-12 && check.k == 2.0,
             qPrintable(QStringLiteral("U %1 (k %2), by hand %3").arg(check.U).arg(check.k).arg(expanded, 0, 'g', 8)));
    QCOMPARE(check.Budget.split(';').size(), 8);
    // Fit points: no samples here, and an exact fit has no standard error: six terms.
    QCOMPARE(withBudget.channels.first().Points.at(0).Budget.split(';').size(), 6);

    // All three points fitted: the line's standard error (worked out here
    // from the closed-form least-squares line) enters every point with ν = 1.
    run.FitPoints = {true, true, true};
    const CalibrationSave::Report all = CalibrationSave::evaluate(run);
    const double xs[3] = {0.3, 99.6, 49.9}, ts[3] = {0, 100, 50};
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (int k = 0; k < 3; ++k) {
        sx += xs[k];
        sy += ts[k];
        sxx += xs[k] * xs[k];
        sxy += xs[k] * ts[k];
    }
    const float lm = static_cast<float>((3 * sxy - sx * sy) / (3 * sxx - sx * sx));
    const float lb = static_cast<float>((sy - lm * sx) / 3);
    double ss = 0;
    for (int k = 0; k < 3; ++k)
        ss += std::pow(static_cast<double>(lm) * xs[k] + static_cast<double>(lb) - ts[k], 2);
    for (const PointCheck& pc : all.channels.first().Points) {
        const auto fitted = std::find_if(pc.Components.begin(), pc.Components.end(),
                                         [](const Uncertainty::Component& c) { return c.name == "拟合标准误差"; });
        QVERIFY(fitted != pc.Components.end());
        QVERIFY2(std::fabs(fitted->standard() - std::sqrt(ss)) < 1e-6, qPrintable(QString::number(fitted->standard())));
        QCOMPARE(fitted->degrees(), 1.0);
    }
    run.FitPoints = {true, true, false};

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
    // 1_102 reads 99.8 at 100 and 0.0 at 0. Nine significant digits give
    // back the float the logger is sent (six lost up to 6 mK at 1200 ℃).
    const auto g9 = [](double v) { return QString::number(static_cast<double>(static_cast<float>(v)), 'g', 9); };
    const QString m1 = g9(100 / 99.3), b1 = g9(100 - 100 / 99.3 * 99.5);
    QCOMPARE(stored[0].MX_B_M, QStringList({m1, g9((100.0 - 0.0) / 99.8)}));
    QCOMPARE(stored[0].MX_B_M.at(0).toFloat(), static_cast<float>(100 / 99.3));
    QCOMPARE(stored[0].MX_B_B.at(0), b1);
    QVERIFY(Tool::getChannelConfig(stored, "TC-B") && !stored.isEmpty());
    QCOMPARE(stored[0].MX_B_M.at(0), QStringLiteral("1"));
    QCOMPARE(stored[0].MX_B_M.at(1), g9((100.01 - 0.01) / (100.3 + 0.1)));
    // Every written set is in the history with the set it replaced.
    QCOMPARE(count("CalibrationHistory"), 3);
    QList<Tool::Struct_CalibrationHistory> history;
    QVERIFY(Tool::getCalibrationHistory("TC-A", "101", history));
    QCOMPARE(history.size(), 1);
    QCOMPARE(history[0].NewSet.mid(0, 2), QStringList({m1, b1}));
    QCOMPARE(history[0].OldSet.mid(0, 2), QStringList({"1", "0"}));
    QCOMPARE(history[0].StartTime, run.StartTime);
    QCOMPARE(history[0].Points, 2);

    // The same run again: its row exists, so nothing at all is written.
    run.CalibrationCriteria = QStringList{"200.0000,200.0000", "0.0000,0.0000"};
    run.CalibrationData[0] = QStringList{"199,198", "201"};
    QCOMPARE(CalibrationSave::save(run), CalibrationSave::Outcome::RunNotStored);
    QVERIFY(Tool::getChannelConfig(stored, "TC-A"));
    QCOMPARE(stored[0].MX_B_M.at(0), m1);
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
    QCOMPARE(stored[0].MX_B_M, QStringList({g9(200 / 198.5), g9(200 / 198.5)}));

    // A configuration gone missing: the transaction writes nothing anywhere.
    QVERIFY(Tool::deleteChannelConfig("TC-B"));
    run.StartTime = "2026-12-10 11:00:00";
    run.Devices = {a, b, a};
    run.Channels = {{channel("101")}, {channel("102")}, {}};
    QCOMPARE(CalibrationSave::save(run), CalibrationSave::Outcome::UpdateFailed);
    QVERIFY(Tool::getChannelConfig(stored, "TC-A"));
    QCOMPARE(stored[0].MX_B_M.at(0), g9(200 / 198.5));
    QCOMPARE(count("ChannelCalibrationData"), 2);
    QCOMPARE(count("CalibrationHistory"), 5);

    QCOMPARE(CalibrationSave::message(CalibrationSave::Outcome::FitFailed), QStringLiteral("参数错误，计算失败！"));
    TestSupport::closeDatabase();
}

QTEST_GUILESS_MAIN(TestCalibrationMath)
#include "tst_calibrationmath.moc"
