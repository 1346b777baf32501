#pragma once

#include "Physics.h"

#include <QString>

namespace sim {

// A sensor with a known error, as a calibration would find it. A logger
// channel with such a sensor produces what this sensor produces, not what
// the coefficients the program wrote into the logger describe; so a
// calibration against the simulator has a known correct answer.
struct LabSensor
{
    enum class Kind {
        Nominal,      // the channel follows the curve programmed into the logger
        Thermocouple, // reads the x of t = M·x + B + C·x²: calibrating gives M and B (C = 0)
        Platinum,     // R0 and ITS-90 deviation coefficients a, b (above 0 °C), a4, b4 (below)
        Thermistor,   // ln R = B0 + B1/T + B2/T² + B3/T³, T in kelvin
    };
    Kind kind = Kind::Nominal;
    double m = 1.0, b = 0.0;
    double c = 0.0; // thermocouple: a quadratic term no linear calibration removes
    double r0 = 100.0;
    physics::Its90Deviation deviation; // c stays 0
    physics::ThermistorCoefficients thermistor;

    static LabSensor thermocouple(double m, double b, double c = 0.0);
    static LabSensor platinum(double r0, double a, double b, double a4, double b4);
    static LabSensor thermistorOf(double b0, double b1, double b2, double b3);

    bool isNominal() const { return kind == Kind::Nominal; }
    // Thermocouple: the temperature whose reference emf the sensor gives at t,
    // the root of t = M·x + B + C·x² nearest (t − B)/M; without a real root
    // (t beyond the parabola's vertex) the vertex.
    double apparentTemperature(double t) const;
    // Platinum and thermistor: resistance in Ω at t °C.
    double resistance(double t) const;
    // "M 1.002 B -0.3" and the like, for status lines.
    QString describe() const;
};

} // namespace sim
