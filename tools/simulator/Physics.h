#pragma once

#include <QString>

// Sensor physics of the simulated loggers: temperature (°C, ITS-90) to the
// electrical value a sensor produces, and back. Plain functions so tests can
// check them against published tables.
namespace sim::physics {

// ---- Thermocouples (NIST ITS-90 reference functions, reference junction at 0 °C)

// Letter types with a built-in reference function: B, E, J, K, N, R, S, T.
bool thermocoupleSupported(const QString& type);
// Emf in mV of the given type at t °C. An unsupported type uses type K;
// temperatures outside the type's range use the nearest range's polynomial.
double thermocoupleEmf(const QString& type, double t);
// Inverse of thermocoupleEmf (numeric), within the type's range.
double thermocoupleTemperature(const QString& type, double emf);

// ---- Platinum resistance thermometers

// IEC 60751 coefficients (alpha 0.00385).
constexpr double kCvdA = 3.9083e-3;
constexpr double kCvdB = -5.775e-7;
constexpr double kCvdC = -4.183e-12;

// Callendar–Van Dusen: R = R0(1 + At + Bt² + C(t − 100)t³), the C term below 0 °C only.
double cvdResistance(double t, double r0, double a = kCvdA, double b = kCvdB, double c = kCvdC);
double cvdTemperature(double r, double r0, double a = kCvdA, double b = kCvdB, double c = kCvdC);

// ITS-90 reference function Wr(t) of a standard platinum resistance thermometer:
// the low-range function below 0.01 °C, the high-range function above.
double its90ReferenceW(double t);
// Deviation coefficients of one calibrated thermometer; W = R/R0.
// Above 0 °C: W − Wr = a(W−1) + b(W−1)² + c(W−1)³; below: W − Wr = a4(W−1) + b4(W−1)lnW.
struct Its90Deviation
{
    double a = 0, b = 0, c = 0, a4 = 0, b4 = 0;
};
double its90Resistance(double t, double r0, const Its90Deviation& dev = {});
double its90Temperature(double r, double r0, const Its90Deviation& dev = {});

// ---- Thermistors
// R(T) form: ln R = A + B/T + C/T² + D/T³, T in kelvin (R in Ω).
struct ThermistorCoefficients
{
    double a = 0, b = 0, c = 0, d = 0;
    bool isZero() const { return a == 0 && b == 0 && c == 0 && d == 0; }
};
// Coefficients of a beta-model thermistor: R = R25·exp(β(1/T − 1/298.15)).
ThermistorCoefficients thermistorFromBeta(double r25, double beta);
double thermistorResistance(double t, const ThermistorCoefficients& k);
double thermistorTemperature(double r, const ThermistorCoefficients& k);

} // namespace sim::physics
