#include "ThermalModel.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kTwoPi = 6.283185307179586;

// Smooth, bounded by 1 in magnitude, no period a poll could lock onto.
double fluctuation(double t)
{
    return 0.6 * std::sin(kTwoPi * t / 53.0) + 0.4 * std::sin(kTwoPi * t / 17.0 + 1.3);
}

} // namespace

ThermalModel::ThermalModel(const ThermalParameters& parameters, double temperature, double setPoint, bool output,
                           double now)
    : m_p(parameters), m_setPoint(setPoint), m_output(output)
{
    restart(temperature, now);
    if (m_output && std::fabs(temperature - m_setPoint) <= band())
        m_bandAt = now - m_p.hold;
}

double ThermalModel::band() const
{
    return std::max(m_p.tolerance - m_p.wobble, 0.0);
}

void ThermalModel::restart(double temperature, double now)
{
    m_start = now;
    m_from = temperature;
    // When the smooth curve enters the band: it approaches monotonically, so
    // this is where the distance first drops to the band's half-width.
    const double b = band();
    const double e0 = std::fabs(target() - m_from);
    const double rate = target() >= m_from ? m_p.heatRate : m_p.coolRate;
    const double knee = rate * m_p.tau; // error at which the ramp turns into the settle
    if (e0 <= b)
        m_bandAt = now;
    else if (b <= 0)
        m_bandAt = HUGE_VAL; // never within a band of width 0
    else if (e0 > knee && b >= knee)
        m_bandAt = now + (e0 - b) / rate;
    else if (e0 > knee)
        m_bandAt = now + (e0 - knee) / rate + m_p.tau * std::log(knee / b);
    else
        m_bandAt = now + m_p.tau * std::log(e0 / b);
}

void ThermalModel::setSetPoint(double setPoint, double now)
{
    if (setPoint == m_setPoint)
        return;
    const double t = modelTemperature(now);
    m_setPoint = setPoint;
    restart(t, now);
}

void ThermalModel::setOutput(bool on, double now)
{
    if (on == m_output)
        return;
    const double t = modelTemperature(now);
    m_output = on;
    restart(t, now);
}

void ThermalModel::force(double temperature, double now)
{
    restart(temperature, now);
}

void ThermalModel::settle(double now)
{
    restart(target(), now);
    m_bandAt = now - m_p.hold;
}

double ThermalModel::modelTemperature(double now) const
{
    const double dt = std::max(now - m_start, 0.0);
    const double goal = target();
    const double e0 = goal - m_from;
    const double sign = e0 >= 0 ? 1.0 : -1.0;
    const double rate = e0 >= 0 ? m_p.heatRate : m_p.coolRate;
    const double knee = rate * m_p.tau;
    if (std::fabs(e0) > knee) {
        const double ramp = (std::fabs(e0) - knee) / rate;
        if (dt <= ramp)
            return m_from + sign * rate * dt;
        return goal - sign * knee * std::exp(-(dt - ramp) / m_p.tau);
    }
    return goal - e0 * std::exp(-dt / m_p.tau);
}

double ThermalModel::temperature(double now) const
{
    const double t = modelTemperature(now);
    return m_output ? t + m_p.wobble * fluctuation(now) : t;
}

bool ThermalModel::stable(double now) const
{
    return m_output && now - m_bandAt >= m_p.hold;
}

double ThermalModel::timeToStable(double now) const
{
    if (!m_output || !std::isfinite(m_bandAt))
        return -1;
    return std::max(m_bandAt + m_p.hold - now, 0.0);
}

} // namespace sim
