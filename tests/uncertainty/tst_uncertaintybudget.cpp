// The budget of one point against a calculation done by hand, the coverage
// factor at few degrees of freedom, and the rounding of U and the result.
#include "UncertaintyBudget.h"

#include <QtTest>

#include <cmath>

using namespace Uncertainty;

class TestUncertaintyBudget : public QObject
{
    Q_OBJECT
private slots:
    void platinumPointByHand();
    void fewReadingsWidenTheCoverage();
    void coverageFactor_data();
    void coverageFactor();
    void rounding_data();
    void rounding();
    void tablesAndDrift();
};

void TestUncertaintyBudget::platinumPointByHand()
{
    // A platinum channel at 60 ℃ in a bath, read in ohms (dT/dR = 2.6 ℃/Ω).
    // By hand: u² = 0.010² + 0.0028927² + 0.0028868² + 0.0057735² + 0.00075056²
    //             + 0.0060044² + 0.00063246² + 0.0024666² = 1.931345e-4 ℃²,
    // u_c = 0.0138973 ℃, ν_eff ≈ 9030, k = 2, U = 0.0277946 → 0.028 ℃.
    const QList<Component> budget{
        {"reference certificate", Kind::Expanded, 0.020, 2},
        {"reference drift", Kind::Rectangular, driftHalfWidth(0.010, QDate(2026, 6, 10), QDate(2026, 12, 10))},
        {"source stability", Kind::Rectangular, 0.005},
        {"source uniformity", Kind::Rectangular, 0.010},
        {"readout resolution", Kind::Resolution, 0.001, 2, 1, 2.6},
        {"readout accuracy", Kind::Rectangular, 0.004, 2, 1, 2.6},
        {"reference readings", Kind::TypeA, 0.002, 2, 10},
        {"channel readings", Kind::TypeA, 0.003, 2, 10, 2.6},
    };
    const double expected[] = {0.010, 0.0028927, 0.0028868, 0.0057735, 0.00075056, 0.0060044, 0.00063246, 0.0024666};
    for (int i = 0; i < budget.size(); ++i)
        QVERIFY2(std::fabs(budget[i].contribution() - expected[i]) < 5e-8,
                 qPrintable(budget[i].name + QStringLiteral(": %1").arg(budget[i].contribution(), 0, 'g', 8)));
    QCOMPARE(budget[6].degrees(), 9.0);
    const Result r = combine(budget);
    QVERIFY(std::fabs(r.combined - 0.0138973) < 1e-7);
    QVERIFY2(std::fabs(r.dof - 9030) < 10, qPrintable(QString::number(r.dof)));
    QCOMPARE(r.k, 2.0);
    QCOMPARE(r.decimals, 3);
    QCOMPARE(r.expandedRounded, 0.028);
    QCOMPARE(roundTo(60.00127, r.decimals), 60.001);
}

void TestUncertaintyBudget::fewReadingsWidenTheCoverage()
{
    // Four readings dominate: ν_eff = u_c⁴/(u_A⁴/3) with u_A = 0.01/√4 = 0.005
    // and u_B = 0.001: u_c² = 2.6e-5, ν_eff = 6.76e-10/(6.25e-10/3) = 3.2448 → k = 3.31.
    const QList<Component> budget{{"readings", Kind::TypeA, 0.01, 2, 4}, {"reference", Kind::Standard, 0.001}};
    const Result r = combine(budget);
    QVERIFY(std::fabs(r.dof - 3.2448) < 1e-4);
    QCOMPARE(r.k, 3.31);
    QVERIFY(std::fabs(r.expanded - 3.31 * std::sqrt(2.6e-5)) < 1e-12);
    QCOMPARE(r.expandedRounded, 0.017);
}

void TestUncertaintyBudget::coverageFactor_data()
{
    QTest::addColumn<double>("dof");
    QTest::addColumn<double>("k");
    QTest::newRow("infinite") << kInfinite << 2.0;
    QTest::newRow("one") << 1.0 << 13.97;
    QTest::newRow("below one") << 0.4 << 13.97;
    QTest::newRow("9.7 truncated to 9") << 9.7 << 2.32;
    QTest::newRow("22 uses 20") << 22.0 << 2.13;
    QTest::newRow("60 uses 50") << 60.0 << 2.05;
    QTest::newRow("100") << 100.0 << 2.025;
    QTest::newRow("large") << 150.0 << 2.0;
}

void TestUncertaintyBudget::coverageFactor()
{
    QFETCH(double, dof);
    QFETCH(double, k);
    QCOMPARE(Uncertainty::coverageFactor(dof), k);
}

void TestUncertaintyBudget::rounding_data()
{
    QTest::addColumn<double>("expanded");
    QTest::addColumn<int>("decimals");
    QTest::addColumn<double>("rounded");
    QTest::newRow("0.0277946") << 0.0277946 << 3 << 0.028;
    QTest::newRow("0.0995 carries to 0.10") << 0.0995 << 2 << 0.10;
    QTest::newRow("0.00104") << 0.00104 << 4 << 0.0010;
    QTest::newRow("0.125 half away from zero") << 0.125 << 2 << 0.13;
    QTest::newRow("1.234") << 1.234 << 1 << 1.2;
    QTest::newRow("156") << 156.0 << -1 << 160.0;
}

void TestUncertaintyBudget::rounding()
{
    QFETCH(double, expanded);
    QFETCH(int, decimals);
    QFETCH(double, rounded);
    QCOMPARE(roundingDecimals(expanded), decimals);
    QCOMPARE(roundTo(expanded, decimals), rounded);
}

void TestUncertaintyBudget::tablesAndDrift()
{
    // A certificate's U over temperature, entered in any order.
    const QList<QPair<double, double>> table{{100, 0.030}, {-80, 0.020}, {0, 0.010}};
    QCOMPARE(interpolate(table, -100), 0.020);
    QVERIFY(std::fabs(interpolate(table, -40) - 0.015) < 1e-15);
    QVERIFY(std::fabs(interpolate(table, 60) - 0.022) < 1e-15);
    QCOMPARE(interpolate(table, 200), 0.030);
    QCOMPARE(interpolate({}, 20), 0.0);
    // A year and a half of 0.01 ℃/year; none before the calibration date.
    QVERIFY(std::fabs(driftHalfWidth(0.01, QDate(2025, 6, 10), QDate(2026, 12, 10)) - 0.01 * 548 / 365.25) < 1e-12);
    QCOMPARE(driftHalfWidth(0.01, QDate(2026, 12, 10), QDate(2026, 6, 10)), 0.0);
    // dT/dR of a Pt100 near 0 ℃ (R = 100(1 + 0.00385 t)): 1/0.385 ℃/Ω.
    const auto t = [](double r) { return (r / 100 - 1) / 0.00385; };
    QVERIFY(std::fabs(slope(t, 100.0, 0.01) - 1 / 0.385) < 1e-9);
}

QTEST_GUILESS_MAIN(TestUncertaintyBudget)
#include "tst_uncertaintybudget.moc"
