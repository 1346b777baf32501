#pragma once

#include <QString>
#include <QVector>

#include <functional>
#include <random>

namespace sim {

// The true temperature of one simulated channel over time: a fixed value, a
// value following a set-point with a first-order lag, a scripted ramp
// through (time, temperature) points, or the temperature of a simulated
// source the sensor sits in. Gaussian noise is added on sampling.
class ChannelSignal
{
public:
    enum class Mode { Fixed, Follow, Ramp, External };
    struct RampPoint
    {
        double seconds;     // from the start of the ramp
        double temperature; // °C
    };

    ChannelSignal();

    void setFixed(double temperature);
    // Starts following a new set-point from the temperature reached at `now`.
    void setSetPoint(double setPoint, double now);
    void setTimeConstant(double seconds) { m_tau = seconds > 0 ? seconds : 0; }
    void setNoise(double sigma) { m_noise = sigma > 0 ? sigma : 0; }
    void setSeed(quint32 seed) { m_rng.seed(seed); }
    // Points need ascending times; the ramp starts at `now`. With repeat the
    // script starts over after its last point, otherwise it holds the last value.
    bool setRamp(const QVector<RampPoint>& points, bool repeat, double now);
    // A ramp from the current temperature to target at rate °C/min.
    void rampTo(double target, double ratePerMinute, double now);
    // The temperature comes from elsewhere (a source's temperature now); the
    // label names it in status lines ("in @2").
    void setExternal(std::function<double()> temperature, const QString& label);

    Mode mode() const { return m_mode; }
    double timeConstant() const { return m_tau; }
    double noise() const { return m_noise; }
    double setPoint() const { return m_setPoint; }

    // Noise-free temperature at `now` (seconds on the instrument's clock).
    double temperatureAt(double now);
    // temperatureAt plus noise.
    double sample(double now);
    QString describe(double now);

private:
    Mode m_mode = Mode::Follow;
    double m_value = 25.0;    // Fixed value, or Follow state at m_last
    double m_setPoint = 25.0;
    double m_last = 0;
    double m_tau = 30.0;
    double m_noise = 0.01;
    QVector<RampPoint> m_ramp;
    bool m_repeat = false;
    double m_rampStart = 0;
    std::function<double()> m_external;
    QString m_externalLabel;
    std::mt19937 m_rng;
};

} // namespace sim
