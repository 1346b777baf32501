#include "ChannelSignal.h"

#include <cmath>

namespace sim {

ChannelSignal::ChannelSignal() : m_rng(12345u) {}

void ChannelSignal::setFixed(double temperature)
{
    m_mode = Mode::Fixed;
    m_value = temperature;
    m_setPoint = temperature;
}

void ChannelSignal::setSetPoint(double setPoint, double now)
{
    const double current = temperatureAt(now);
    m_mode = Mode::Follow;
    m_value = current;
    m_last = now;
    m_setPoint = setPoint;
}

bool ChannelSignal::setRamp(const QVector<RampPoint>& points, bool repeat, double now)
{
    if (points.isEmpty())
        return false;
    for (int i = 1; i < points.size(); ++i)
        if (points[i].seconds < points[i - 1].seconds)
            return false;
    m_mode = Mode::Ramp;
    m_ramp = points;
    m_repeat = repeat && points.last().seconds > 0;
    m_rampStart = now;
    m_setPoint = points.last().temperature;
    return true;
}

void ChannelSignal::rampTo(double target, double ratePerMinute, double now)
{
    const double from = temperatureAt(now);
    const double rate = std::fabs(ratePerMinute);
    const double duration = rate > 0 ? std::fabs(target - from) / rate * 60.0 : 0.0;
    setRamp({{0.0, from}, {duration, target}}, false, now);
}

void ChannelSignal::setExternal(std::function<double()> temperature, const QString& label)
{
    m_mode = Mode::External;
    m_external = std::move(temperature);
    m_externalLabel = label;
}

double ChannelSignal::temperatureAt(double now)
{
    switch (m_mode) {
    case Mode::External: {
        // Leaving the mode later (fix, set, ramp) starts from the last value.
        m_value = m_external ? m_external() : m_value;
        m_setPoint = m_value;
        m_last = now;
        return m_value;
    }
    case Mode::Fixed:
        return m_value;
    case Mode::Follow: {
        const double dt = now - m_last;
        if (dt > 0) {
            // Exact step response of a first-order lag, so any polling rate gives the same curve.
            m_value = m_tau > 0 ? m_setPoint + (m_value - m_setPoint) * std::exp(-dt / m_tau)
                                : m_setPoint;
            m_last = now;
        }
        return m_value;
    }
    case Mode::Ramp: {
        double t = now - m_rampStart;
        const double end = m_ramp.last().seconds;
        if (m_repeat && t > end)
            t = std::fmod(t, end);
        if (t <= m_ramp.first().seconds)
            return m_ramp.first().temperature;
        for (int i = 1; i < m_ramp.size(); ++i) {
            if (t <= m_ramp[i].seconds) {
                const RampPoint& a = m_ramp[i - 1];
                const RampPoint& b = m_ramp[i];
                const double span = b.seconds - a.seconds;
                return span > 0 ? a.temperature + (b.temperature - a.temperature) * (t - a.seconds) / span
                                : b.temperature;
            }
        }
        return m_ramp.last().temperature;
    }
    }
    return m_value;
}

double ChannelSignal::sample(double now)
{
    const double t = temperatureAt(now);
    if (m_noise <= 0)
        return t;
    std::normal_distribution<double> gauss(0.0, m_noise);
    return t + gauss(m_rng);
}

QString ChannelSignal::describe(double now)
{
    const double t = temperatureAt(now);
    switch (m_mode) {
    case Mode::Fixed:
        return QStringLiteral("fixed %1").arg(t, 0, 'f', 3);
    case Mode::Follow:
        return QStringLiteral("%1 -> set-point %2 (tau %3 s)")
            .arg(t, 0, 'f', 3).arg(m_setPoint, 0, 'f', 3).arg(m_tau);
    case Mode::External:
        return QStringLiteral("%1 %2").arg(m_externalLabel).arg(t, 0, 'f', 3);
    case Mode::Ramp:
        return QStringLiteral("ramp %1 (%2 points, last %3 at %4 s%5)")
            .arg(t, 0, 'f', 3).arg(m_ramp.size()).arg(m_ramp.last().temperature, 0, 'f', 3)
            .arg(m_ramp.last().seconds).arg(m_repeat ? QStringLiteral(", repeating") : QString());
    }
    return QString();
}

} // namespace sim
