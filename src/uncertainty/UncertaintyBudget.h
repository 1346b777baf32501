#pragma once

#include <QDate>
#include <QList>
#include <QPair>
#include <QString>

#include <limits>

// The uncertainty budget of one calibration point and channel, as the GUM
// and EA-4/02 lay it out: standard uncertainties of the inputs, their
// sensitivity coefficients, the combined standard uncertainty, the effective
// degrees of freedom (Welch–Satterthwaite), the coverage factor for about
// 95 % and the expanded uncertainty rounded to two significant digits, the
// result to the same decimal place (ILAC-P14).
namespace Uncertainty {

constexpr double kInfinite = std::numeric_limits<double>::infinity();

// How an entered value becomes a standard uncertainty.
enum class Kind {
    Expanded,    // U with its coverage factor k (a certificate): u = U/k
    Rectangular, // half-width a of a rectangular distribution: u = a/√3
    Resolution,  // resolution r of a readout: u = r/√12
    TypeA,       // standard deviation s of n readings: u = s/√n, ν = n − 1
    Standard,    // a standard uncertainty as it is
};

struct Component
{
    QString name;
    Kind kind = Kind::Standard;
    double value = 0;       // U, a, r, s or u as `kind` says, in the input's unit
    double k = 2;           // coverage factor of an Expanded value
    int count = 1;          // readings behind a TypeA value
    double sensitivity = 1; // ∂t/∂x: 1 in the temperature domain, dT/dx for a reading in Ω or mV
    double dof = kInfinite; // degrees of freedom; TypeA gives n − 1 itself

    double standard() const;     // u in the input's unit
    double contribution() const; // |c|·u, in ℃
    double degrees() const;
};

struct Result
{
    double combined = 0; // u_c, ℃
    double dof = kInfinite;
    double k = 2;
    double expanded = 0;        // k·u_c, unrounded
    double expandedRounded = 0; // two significant digits
    int decimals = 0;           // decimal places of the rounded U (and of the result)
};

// Half-width a → u for a rectangular distribution.
double rectangular(double halfWidth);
// Linear interpolation over (temperature, value) pairs in any order; the
// nearest end outside the table; 0 for an empty table.
double interpolate(QList<QPair<double, double>> table, double t);
// A reference's drift since its calibration: the half-width of a
// rectangular distribution, `perYear` times the years elapsed.
double driftHalfWidth(double perYear, const QDate& calibrated, const QDate& at);
// Coverage factor for a coverage probability of 95.45 % (Student's t of the
// GUM's table G.2) at ν degrees of freedom, truncated to the tabulated ν
// at or below; 2 when ν exceeds 100 or is infinite.
double coverageFactor(double dof);
// ν_eff = u_c⁴ / Σ (c_i u_i)⁴/ν_i.
double effectiveDof(const QList<Component>& components);
Result combine(const QList<Component>& components);
// Decimal places that leave two significant digits of U (negative for U ≥ 100).
int roundingDecimals(double expanded);
// Rounds half away from zero to `decimals` places.
double roundTo(double value, int decimals);
// dT/dx of a sensor at x by a central difference of `temperature` (℃ for x).
template <class F>
double slope(F temperature, double x, double step)
{
    return (temperature(x + step) - temperature(x - step)) / (2 * step);
}

} // namespace Uncertainty
