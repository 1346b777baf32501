#include "InstrumentSource.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cmath>
#include <memory>

namespace sim {

namespace {

const SourceModel kModels[] = {
    {"KRDB-1", SourceFamily::DryBlock, 33, 350, 0.2},
    {"KRDB-2", SourceFamily::DryBlock, 50, 660, 0.35},
    {"KRLB-1", SourceFamily::Bath, -20, 150, 0.01},
    {"KRLB-2", SourceFamily::Bath, -45, 150, 0.01},
    {"KRLB-3", SourceFamily::Bath, -80, 100, 0.01},
    {"KRLB-4", SourceFamily::Bath, 35, 95, 0.01},
    {"KRLB-5", SourceFamily::Bath, 35, 300, 0.01},
};

double orDefault(double value, double fallback)
{
    return std::isnan(value) ? fallback : value;
}

// The reference's noise unless configured: a dry block's built-in probe is the
// better instrument; a bath has one reading, display and reference at once.
double defaultReferenceNoise(const SourceModel& model, double displayNoise)
{
    return model.family == SourceFamily::DryBlock ? displayNoise / 2 : displayNoise;
}

bool parseNumber(const QByteArray& text, double* out)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    *out = v;
    return true;
}

} // namespace

const SourceModel* sourceModel(const QString& name)
{
    const QString n = name.trimmed();
    for (const SourceModel& m : kModels)
        if (n.compare(QLatin1String(m.name), Qt::CaseInsensitive) == 0)
            return &m;
    return nullptr;
}

QStringList sourceModelNames()
{
    QStringList names;
    for (const SourceModel& m : kModels)
        names << QLatin1String(m.name);
    return names;
}

SourceSettings SourceSettings::withDefaults(const SourceModel& model) const
{
    const bool dry = model.family == SourceFamily::DryBlock;
    SourceSettings s = *this;
    s.ambient = orDefault(ambient, 23.0);
    s.setPoint = orDefault(setPoint, std::clamp(s.ambient, model.low, model.high));
    if (s.output < 0)
        s.output = dry ? 0 : 1;
    s.temperature = orDefault(temperature, s.output ? s.setPoint : s.ambient);
    // A dry block heats a small metal mass with a few hundred watts; a bath
    // moves litres of fluid and is an order of magnitude slower.
    s.heatRate = orDefault(heatRate, dry ? (model.high > 400 ? 20.0 : 15.0) : 1.5);
    s.coolRate = orDefault(coolRate, dry ? 6.0 : 1.0);
    s.tau = orDefault(tau, dry ? 40.0 : 90.0);
    s.hold = orDefault(hold, 60.0);
    s.noise = orDefault(noise, dry ? 0.005 : 0.001);
    s.wobble = orDefault(wobble, dry ? model.tolerance / 6 : model.tolerance / 5);
    s.refOffset = orDefault(refOffset, dry ? 0.02 : 0.0);
    s.refDrift = orDefault(refDrift, 0.0);
    s.refNoise = orDefault(refNoise, defaultReferenceNoise(model, s.noise));
    s.timeScale = orDefault(timeScale, 1.0);
    return s;
}

QString SourceSettings::check(const SourceModel& model) const
{
    const SourceSettings s = withDefaults(model);
    if (!(s.heatRate > 0) || !(s.coolRate > 0))
        return QStringLiteral("heat and cool rates must be positive (°C/min)");
    if (!(s.tau > 0))
        return QStringLiteral("tau must be positive (seconds)");
    if (!(s.hold >= 0) || !(s.noise >= 0) || !(s.refNoise >= 0))
        return QStringLiteral("hold, noise and refnoise must not be negative");
    if (!std::isfinite(s.refDrift))
        return QStringLiteral("refdrift must be a number (°C/min)");
    if (!(s.wobble >= 0) || !(s.wobble < model.tolerance))
        return QStringLiteral("wobble must be at least 0 and below the stability tolerance %1 °C")
            .arg(model.tolerance);
    if (!(s.timeScale > 0) || s.timeScale > 1e6)
        return QStringLiteral("the time scale must be above 0 and at most 1000000");
    if (s.setPoint < model.low || s.setPoint > model.high)
        return QStringLiteral("set-point %1 °C is outside %2 … %3 °C of the %4")
            .arg(s.setPoint).arg(model.low).arg(model.high).arg(QLatin1String(model.name));
    for (double t : {s.ambient, s.temperature, s.refOffset})
        if (!std::isfinite(t) || t < -273.15 || t > 2000)
            return QStringLiteral("temperatures must be between -273.15 and 2000 °C");
    return QString();
}

InstrumentSource::InstrumentSource(const SourceModel& model, const SourceSettings& settings)
    : m_model(model), m_settings(settings.withDefaults(model))
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    m_monotonic = [timer] { return timer->elapsed(); };
    m_scale = m_settings.timeScale > 0 ? m_settings.timeScale : 1.0;
    ThermalParameters p;
    p.heatRate = m_settings.heatRate / 60.0;
    p.coolRate = m_settings.coolRate / 60.0;
    p.tau = m_settings.tau;
    p.hold = m_settings.hold;
    p.tolerance = model.tolerance;
    p.wobble = m_settings.wobble;
    p.ambient = m_settings.ambient;
    m_thermal = ThermalModel(p, m_settings.temperature, m_settings.setPoint, m_settings.output != 0, now());
    m_refDrift = m_settings.refDrift;
    m_refDriftSince = now();
    m_refNoise = m_settings.refNoise;
}

void InstrumentSource::setMonotonicClock(std::function<qint64()> clock)
{
    // Simulated time continues from where it is; only its source changes.
    const double seconds = now();
    m_monotonic = std::move(clock);
    m_baseMs = m_monotonic();
    m_baseSeconds = seconds;
}

void InstrumentSource::setTimeScale(double scale)
{
    if (!(scale > 0))
        return;
    const double seconds = now();
    m_baseMs = m_monotonic();
    m_baseSeconds = seconds;
    m_scale = scale;
}

double InstrumentSource::now() const
{
    return m_baseSeconds + static_cast<double>(m_monotonic() - m_baseMs) / 1000.0 * m_scale;
}

bool InstrumentSource::setSetPoint(double setPoint)
{
    if (!std::isfinite(setPoint) || !inRange(setPoint))
        return false;
    m_thermal.setSetPoint(setPoint, now());
    return true;
}

double InstrumentSource::displayReading()
{
    const double t = temperature();
    if (m_settings.noise <= 0)
        return t;
    std::normal_distribution<double> gauss(0.0, m_settings.noise);
    return t + gauss(m_rng);
}

double InstrumentSource::referenceReading()
{
    // The built-in reference probe sits beside the block's control sensor:
    // its own offset, its own noise, and a drift when one was asked for.
    const double t = temperature() + m_settings.refOffset + referenceDriftNow();
    if (m_refNoise <= 0)
        return t;
    std::normal_distribution<double> gauss(0.0, m_refNoise);
    return t + gauss(m_rng);
}

void InstrumentSource::setReferenceDrift(double perMinute)
{
    if (!std::isfinite(perMinute))
        return;
    m_refDrift = perMinute;
    m_refDriftSince = now();
}

double InstrumentSource::referenceDriftNow() const
{
    return m_refDrift == 0 ? 0.0 : m_refDrift * (now() - m_refDriftSince) / 60.0;
}

QByteArray InstrumentSource::fixed(double value, int decimals)
{
    QByteArray text = QByteArray::number(value, 'f', decimals);
    if (text.startsWith('-') && text.count('0') == text.size() - 2) // "-0.000"
        text.remove(0, 1);
    return text;
}

int InstrumentSource::frameLength(const QByteArray& buffer) const
{
    const int nl = buffer.indexOf('\n');
    if (nl >= 0)
        return nl + 1;
    // A line this long is noise, not a command: skip ahead.
    return buffer.size() > 256 ? -1 : 0;
}

QByteArray InstrumentSource::handle(const QByteArray& request)
{
    QByteArray line = request;
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    line = line.trimmed();
    if (line.isEmpty())
        return QByteArray();
    const QByteArray reply = answer(line);
    return reply.isEmpty() ? reply : reply + "\r\n";
}

void InstrumentSource::inject(Fault fault, QByteArray* reply) const
{
    if (fault == Fault::Garbage && !reply->isEmpty())
        *reply = garbageLine();
}

QString InstrumentSource::summary() const
{
    return QStringLiteral("%1 serial \"%2\"").arg(QLatin1String(m_model.name), m_serial);
}

QStringList InstrumentSource::details()
{
    const double t = now();
    const double temp = m_thermal.temperature(t);
    QString motion = QStringLiteral("holding");
    if (std::fabs(m_thermal.target() - m_thermal.modelTemperature(t)) > m_thermal.band())
        motion = m_thermal.target() > temp ? QStringLiteral("heating") : QStringLiteral("cooling");
    if (!output())
        motion = QStringLiteral("drifting to ambient %1").arg(m_settings.ambient);
    QString stability = QStringLiteral("stable yes");
    if (!stable()) {
        const double left = m_thermal.timeToStable(t);
        stability = left < 0 ? QStringLiteral("stable no")
                             : QStringLiteral("stable no (in %1 s)").arg(left, 0, 'f', 0);
    }
    QStringList lines;
    lines << QStringLiteral("   set-point %1 °C, temperature %2 °C (%3), output %4, %5")
                 .arg(m_thermal.setPoint(), 0, 'f', 2).arg(temp, 0, 'f', 3).arg(motion)
                 .arg(output() ? QStringLiteral("on") : QStringLiteral("off"), stability);
    lines << QStringLiteral("   range %1 … %2 °C, tolerance %3 °C, hold %4 s, heat %5 / cool %6 °C/min, "
                            "tau %7 s, time x%8")
                 .arg(m_model.low).arg(m_model.high).arg(m_model.tolerance).arg(m_settings.hold)
                 .arg(m_settings.heatRate).arg(m_settings.coolRate).arg(m_settings.tau).arg(m_scale);
    QStringList reference;
    if (m_refDrift != 0)
        reference << QStringLiteral("drift %1 °C/min (%2 °C now)")
                         .arg(m_refDrift).arg(referenceDriftNow(), 0, 'f', 4);
    if (m_refNoise != defaultReferenceNoise(m_model, m_settings.noise))
        reference << QStringLiteral("noise %1 °C").arg(m_refNoise);
    if (!reference.isEmpty())
        lines << QStringLiteral("   reference ") + reference.join(QStringLiteral(", "));
    const QString state = protocolState();
    if (!state.isEmpty())
        lines << QStringLiteral("   ") + state;
    return lines;
}

// ---- Dry block

InstrumentDryBlock::InstrumentDryBlock(const SourceModel& model, const SourceSettings& settings)
    : InstrumentSource(model, settings)
{
}

QByteArray InstrumentDryBlock::answer(const QByteArray& line)
{
    // SCPI words are case-insensitive; the short commands are too.
    const QByteArray upper = line.toUpper();
    if (upper == "*IDN?")
        return QByteArray("KORVA-INST,") + model().name + ',' + serial().toLatin1() + ',' + kVersion;
    if (upper == "T")
        return fixed(displayReading(), 3);
    if (upper == "READ?") {
        const QByteArray text = fixed(referenceReading(), 4);
        noteSent(QStringLiteral("REFERENCE"), serial(), QString::fromLatin1(text));
        return text;
    }
    if (upper == "SOUR1:STAB:TEST?" || upper == "SOUR:STAB:TEST?")
        return stable() ? "1" : "0";
    if (upper == "OUTP:STAT?")
        return output() ? "1" : "0";
    if (upper.startsWith("OUTP:STAT ")) {
        const QByteArray v = upper.mid(10).trimmed();
        if (v == "1" || v == "ON")
            setOutput(true);
        else if (v == "0" || v == "OFF")
            setOutput(false);
        return QByteArray();
    }
    if (upper == "S")
        return fixed(setPoint(), 2);
    if (upper.startsWith("S ")) {
        double value = 0;
        if (parseNumber(line.mid(2), &value))
            setSetPoint(value); // out of range: the old set-point stays
        return QByteArray();
    }
    if (upper.startsWith("U ")) {
        // Only Celsius is simulated; another unit is not taken.
        if (upper.mid(2).trimmed() == "C")
            m_unit = "C";
        return QByteArray();
    }
    return QByteArray(); // unknown: the block says nothing
}

QString InstrumentDryBlock::protocolState() const
{
    return QStringLiteral("unit %1").arg(QString::fromLatin1(m_unit));
}

// ---- Liquid bath

InstrumentBath::InstrumentBath(const SourceModel& model, const SourceSettings& settings)
    : InstrumentSource(model, settings)
{
}

QByteArray InstrumentBath::answer(const QByteArray& line)
{
    const QByteArray lower = line.toLower();
    if (lower == "sn")
        return "sn:" + serial().toLatin1();
    if (lower == "s")
        return "set: " + fixed(setPoint(), 2) + 'C';
    if (lower == "r") {
        // The bath's one reading is its reference too: a drifting or noisy
        // reference shows here.
        const QByteArray text = fixed(referenceReading(), 3);
        noteSent(QStringLiteral("REFERENCE"), serial(), QString::fromLatin1(text));
        return "r: " + text + " C";
    }
    if (lower == "st")
        return stable() ? "st:1" : "st:0";
    const int eq = lower.indexOf('=');
    if (eq > 0) {
        const QByteArray key = lower.left(eq).trimmed();
        const QByteArray value = line.mid(eq + 1).trimmed();
        if (key == "s") {
            double v = 0;
            if (parseNumber(value, &v))
                setSetPoint(v);
        } else {
            // Settings (line feed, unit, stirring, …) are kept for the status
            // and not answered: the program reads nothing after them.
            m_options.insert(key, value);
        }
    }
    return QByteArray();
}

QString InstrumentBath::protocolState() const
{
    QStringList options;
    for (auto it = m_options.begin(); it != m_options.end(); ++it)
        options << QString::fromLatin1(it.key() + '=' + it.value());
    return options.isEmpty() ? QStringLiteral("no settings received")
                             : QStringLiteral("settings ") + options.join(QLatin1Char(' '));
}

} // namespace sim
