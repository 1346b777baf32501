#include "UncertaintyBudget.h"

#include <algorithm>
#include <cmath>

namespace Uncertainty {

double Component::standard() const
{
    const double v = std::fabs(value);
    switch (kind) {
    case Kind::Expanded:
        return k > 0 ? v / k : std::nan("");
    case Kind::Rectangular:
        return rectangular(v);
    case Kind::Resolution:
        return v / std::sqrt(12.0);
    case Kind::TypeA:
        return count > 0 ? v / std::sqrt(static_cast<double>(count)) : std::nan("");
    case Kind::Standard:
        return v;
    }
    return std::nan("");
}

double Component::contribution() const
{
    return std::fabs(sensitivity) * standard();
}

double Component::degrees() const
{
    if (kind == Kind::TypeA)
        return count > 1 ? count - 1 : kInfinite;
    return dof > 0 ? dof : kInfinite;
}

double rectangular(double halfWidth)
{
    return std::fabs(halfWidth) / std::sqrt(3.0);
}

double interpolate(QList<QPair<double, double>> table, double t)
{
    if (table.isEmpty())
        return 0;
    std::sort(table.begin(), table.end());
    if (t <= table.first().first)
        return table.first().second;
    if (t >= table.last().first)
        return table.last().second;
    for (int i = 1; i < table.size(); ++i) {
        const auto& a = table.at(i - 1);
        const auto& b = table.at(i);
        if (t <= b.first) {
            const double span = b.first - a.first;
            return span > 0 ? a.second + (b.second - a.second) * (t - a.first) / span : b.second;
        }
    }
    return table.last().second;
}

double driftHalfWidth(double perYear, const QDate& calibrated, const QDate& at)
{
    if (!calibrated.isValid() || !at.isValid())
        return 0;
    const double years = std::max<qint64>(0, calibrated.daysTo(at)) / 365.25;
    return std::fabs(perYear) * years;
}

double coverageFactor(double dof)
{
    // GUM table G.2, p = 95.45 %.
    static const QList<QPair<int, double>> table{
        {1, 13.97}, {2, 4.53},  {3, 3.31},  {4, 2.87},  {5, 2.65},  {6, 2.52},  {7, 2.43},  {8, 2.37},
        {9, 2.32},  {10, 2.28}, {11, 2.25}, {12, 2.23}, {13, 2.21}, {14, 2.20}, {15, 2.18}, {16, 2.17},
        {17, 2.16}, {18, 2.15}, {19, 2.14}, {20, 2.13}, {25, 2.11}, {30, 2.09}, {35, 2.07}, {40, 2.06},
        {45, 2.06}, {50, 2.05}, {100, 2.025}};
    if (!(dof < 101) || std::isnan(dof))
        return 2.0;
    const int nu = std::max(1, static_cast<int>(std::floor(dof)));
    double k = table.first().second;
    for (const auto& row : table)
        if (row.first <= nu)
            k = row.second;
    return k;
}

double effectiveDof(const QList<Component>& components)
{
    double uc2 = 0, sum = 0;
    for (const Component& c : components) {
        const double u = c.contribution();
        uc2 += u * u;
        const double nu = c.degrees();
        if (std::isfinite(nu))
            sum += std::pow(u, 4) / nu;
    }
    return sum > 0 ? uc2 * uc2 / sum : kInfinite;
}

int roundingDecimals(double expanded)
{
    const double u = std::fabs(expanded);
    if (!(u > 0) || !std::isfinite(u))
        return 0;
    // Two significant digits: the first digit's place, one further.
    int decimals = 1 - static_cast<int>(std::floor(std::log10(u)));
    // 0.0995 rounds to 0.10, which keeps two digits at one place fewer.
    if (std::fabs(roundTo(u, decimals)) >= std::pow(10.0, 2 - decimals))
        --decimals;
    return decimals;
}

double roundTo(double value, int decimals)
{
    const double scale = std::pow(10.0, decimals);
    // A tiny nudge keeps 0.125 (stored as 0.12499…) rounding the way it reads.
    const double scaled = value * scale;
    const double nudged = scaled + (scaled >= 0 ? 1 : -1) * 1e-9 * std::max(1.0, std::fabs(scaled));
    return std::round(nudged) / scale;
}

Result combine(const QList<Component>& components)
{
    Result r;
    double uc2 = 0;
    for (const Component& c : components)
        uc2 += c.contribution() * c.contribution();
    r.combined = std::sqrt(uc2);
    r.dof = effectiveDof(components);
    r.k = coverageFactor(r.dof);
    r.expanded = r.k * r.combined;
    r.decimals = roundingDecimals(r.expanded);
    r.expandedRounded = roundTo(r.expanded, r.decimals);
    return r;
}

} // namespace Uncertainty
