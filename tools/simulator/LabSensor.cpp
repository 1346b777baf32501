#include "LabSensor.h"

#include <cmath>

namespace sim {

LabSensor LabSensor::thermocouple(double m, double b, double c)
{
    LabSensor s;
    s.kind = Kind::Thermocouple;
    s.m = m;
    s.b = b;
    s.c = c;
    return s;
}

LabSensor LabSensor::platinum(double r0, double a, double b, double a4, double b4)
{
    LabSensor s;
    s.kind = Kind::Platinum;
    s.r0 = r0;
    s.deviation.a = a;
    s.deviation.b = b;
    s.deviation.a4 = a4;
    s.deviation.b4 = b4;
    return s;
}

LabSensor LabSensor::thermistorOf(double b0, double b1, double b2, double b3)
{
    LabSensor s;
    s.kind = Kind::Thermistor;
    s.thermistor = {b0, b1, b2, b3};
    return s;
}

double LabSensor::apparentTemperature(double t) const
{
    if (kind != Kind::Thermocouple)
        return t;
    const double linear = (t - b) / m;
    if (c == 0)
        return linear;
    // c·x² + m·x − d = 0. The roots as q/c and −d/q keep their precision
    // when c is small (the root wanted is then −d/q, close to d/m).
    const double d = t - b;
    const double disc = m * m + 4 * c * d;
    if (disc < 0)
        return -m / (2 * c);
    const double q = -(m + std::copysign(std::sqrt(disc), m)) / 2;
    const double near = -d / q;
    const double far = q / c;
    return std::fabs(far - linear) < std::fabs(near - linear) ? far : near;
}

double LabSensor::resistance(double t) const
{
    switch (kind) {
    case Kind::Platinum: return physics::its90Resistance(t, r0, deviation);
    case Kind::Thermistor: return physics::thermistorResistance(t, thermistor);
    case Kind::Nominal:
    case Kind::Thermocouple: break;
    }
    return 0;
}

QString LabSensor::describe() const
{
    auto g = [](double v) { return QString::number(v, 'g', 10); };
    switch (kind) {
    case Kind::Nominal: return QStringLiteral("nominal");
    case Kind::Thermocouple:
        return c == 0 ? QStringLiteral("sensor M %1 B %2").arg(g(m), g(b))
                      : QStringLiteral("sensor M %1 B %2 C %3").arg(g(m), g(b), g(c));
    case Kind::Platinum:
        return QStringLiteral("sensor R0 %1 a %2 b %3 a4 %4 b4 %5")
            .arg(g(r0), g(deviation.a), g(deviation.b), g(deviation.a4), g(deviation.b4));
    case Kind::Thermistor:
        return QStringLiteral("sensor B0 %1 B1 %2 B2 %3 B3 %4")
            .arg(g(thermistor.a), g(thermistor.b), g(thermistor.c), g(thermistor.d));
    }
    return QString();
}

} // namespace sim
