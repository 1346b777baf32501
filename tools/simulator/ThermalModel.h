#pragma once

namespace sim {

// How a temperature source moves towards its target: at most `heatRate`
// (°C/s) upwards and `coolRate` downwards, and an exponential settle with
// time constant `tau` once the remaining error is below rate × tau, which is
// the step response of a first-order loop whose actuator saturates. The
// derivative is continuous where the ramp turns into the settle.
struct ThermalParameters
{
    double heatRate = 0.25;  // °C/s
    double coolRate = 0.1;   // °C/s
    double tau = 40.0;       // s
    double hold = 60.0;      // s the temperature must stay in the band to count as stable
    double tolerance = 0.2;  // °C, half-width of the stability band
    double wobble = 0.03;    // °C, amplitude of the slow fluctuation while regulating
    double ambient = 23.0;   // °C, where the source drifts with its output off
};

// The temperature of one source as a pure function of time: every change
// (set-point, output, forced temperature) starts a new segment from the
// temperature reached at that moment, and the temperature inside a segment
// has a closed form, so the result does not depend on how often it is asked.
// Times are seconds on the caller's (simulated) clock.
class ThermalModel
{
public:
    ThermalModel() = default;
    // Starts at `temperature`; a source that starts regulating within the
    // band around its set-point counts as stable at once (it has been running).
    ThermalModel(const ThermalParameters& parameters, double temperature, double setPoint, bool output,
                 double now);

    const ThermalParameters& parameters() const { return m_p; }
    double setPoint() const { return m_setPoint; }
    bool output() const { return m_output; }
    // Set-point with the output on, ambient with it off.
    double target() const { return m_output ? m_setPoint : m_p.ambient; }

    // A new set-point restarts the stability hold; the same value again does not.
    void setSetPoint(double setPoint, double now);
    void setOutput(bool on, double now);
    // The temperature jumps to `temperature` and moves on from there.
    void force(double temperature, double now);
    // At the target now and stable at once (for tests that skip the wait).
    void settle(double now);

    // Smooth approach without the fluctuation.
    double modelTemperature(double now) const;
    // What a sensor in the source sees: the approach plus the fluctuation.
    double temperature(double now) const;
    // In the band for at least the hold time, output on.
    bool stable(double now) const;
    // Seconds until stable (0 when stable; negative when it never will be, i.e. output off).
    double timeToStable(double now) const;
    // Half-width of the band the smooth temperature must reach so that the
    // fluctuation keeps the temperature within the tolerance.
    double band() const;

private:
    void restart(double temperature, double now);

    ThermalParameters m_p;
    double m_start = 0;       // segment start
    double m_from = 25.0;     // temperature at the segment start
    double m_setPoint = 25.0;
    bool m_output = true;
    double m_bandAt = 0;      // when the smooth temperature enters the band
};

} // namespace sim
