#pragma once

#include "ChannelSignal.h"
#include "SimulatedInstrument.h"
#include "ThermalModel.h"

#include <QByteArray>
#include <QMap>
#include <QString>

#include <functional>
#include <limits>
#include <random>

namespace sim {

// Temperature sources: dry-block calibrators (SCPI-like text lines, serial
// or TCP) and stirred liquid baths (short text commands, serial only).
enum class SourceFamily { DryBlock, Bath };

struct SourceModel
{
    const char* name;     // "KRDB-1"
    SourceFamily family;
    double low, high;     // set-point limits, °C
    double tolerance;     // stability tolerance, °C
};

// The model of that name (case-insensitive); null when there is none.
const SourceModel* sourceModel(const QString& name);
QStringList sourceModelNames();

// Settings of one source from the configuration; NaN (or -1 for output)
// takes the family's default, see applyDefaults.
struct SourceSettings
{
    static constexpr double kUnset = std::numeric_limits<double>::quiet_NaN();
    double ambient = kUnset;     // °C, default 23
    double temperature = kUnset; // at start; default: the set-point when regulating, else ambient
    double setPoint = kUnset;    // default: ambient, within the model's limits
    int output = -1;             // 1 on, 0 off; default: dry block off (until "OUTP:STAT 1"), bath on
    double heatRate = kUnset;    // °C/min
    double coolRate = kUnset;    // °C/min
    double tau = kUnset;         // s, exponential settle
    double hold = kUnset;        // s in the band before "stable"
    double noise = kUnset;       // °C, standard deviation of the displayed reading
    double wobble = kUnset;      // °C, slow fluctuation while regulating
    double refOffset = kUnset;   // °C, built-in reference ("READ?") minus the block
    double refDrift = kUnset;    // °C per simulated minute the reference moves away, default 0
    double refNoise = kUnset;    // °C, the reference's own noise; default: half the display
                                 // noise (dry block), the display noise (a bath's one reading)
    double timeScale = kUnset;   // simulated seconds per real second, default 1

    // The same settings with every unset value replaced by the model's default.
    SourceSettings withDefaults(const SourceModel& model) const;
    // Empty when the (defaulted) settings are usable, else what is wrong.
    QString check(const SourceModel& model) const;
};

// One temperature source with its thermal model, independent of any link:
// `handle` takes one request line (with its line end) and returns the reply
// line, or nothing for commands that are not answered.
class InstrumentSource : public SimulatedInstrument
{
public:
    InstrumentSource(const SourceModel& model, const SourceSettings& settings);

    const SourceModel& model() const { return m_model; }
    const SourceSettings& settings() const { return m_settings; }
    QString serial() const { return m_serial; }
    void setSerial(const QString& serial) { m_serial = serial; }
    void setSeed(quint32 seed) { m_rng.seed(seed); }

    // Milliseconds of a monotonic clock; tests replace it to step time.
    void setMonotonicClock(std::function<qint64()> clock);
    // Simulated seconds per real second; simulated time runs on continuously.
    void setTimeScale(double scale);
    double timeScale() const { return m_scale; }
    double now() const override; // simulated seconds

    ThermalModel& thermal() { return m_thermal; }
    const ThermalModel& thermal() const { return m_thermal; }
    // Actual temperature now: what a sensor sitting in the source sees.
    double temperature() const { return m_thermal.temperature(now()); }
    double setPoint() const { return m_thermal.setPoint(); }
    bool stable() const { return m_thermal.stable(now()); }
    bool output() const { return m_thermal.output(); }
    bool inRange(double setPoint) const { return setPoint >= m_model.low && setPoint <= m_model.high; }
    // False (set-point unchanged) outside the model's limits.
    bool setSetPoint(double setPoint);
    void setOutput(bool on) { m_thermal.setOutput(on, now()); }
    void force(double temperature) { m_thermal.force(temperature, now()); }
    void settle() { m_thermal.settle(now()); }

    // The source's own display reading and the built-in reference (a dry
    // block's READ?, a bath's only reading), each with its noise.
    double displayReading();
    double referenceReading();

    // A reference that drifts: from now on it moves away from the true
    // temperature by perMinute °C per minute of simulated time; 0 ends it.
    // Control, display and stability are not affected.
    void setReferenceDrift(double perMinute);
    double referenceDrift() const { return m_refDrift; }
    // The drift's share of the reference reading now, °C.
    double referenceDriftNow() const;
    // Standard deviation of the reference's own noise, °C.
    void setReferenceNoise(double sd) { m_refNoise = sd >= 0 ? sd : m_refNoise; }
    double referenceNoise() const { return m_refNoise; }

    QByteArray handle(const QByteArray& request) override;
    QString summary() const override;
    QStringList details() override;
    int frameLength(const QByteArray& buffer) const override;
    bool frameIntact(const QByteArray&) const override { return true; }
    bool textProtocol() const override { return true; }
    bool supports(Fault fault) const override { return fault == Fault::Garbage; }
    void inject(Fault fault, QByteArray* reply) const override;
    int channelCount() const override { return 0; }
    ChannelSignal& signal(int) override { return m_noChannel; }
    void invalidateScan() override {}

    // What the garbage fault sends instead of a reply.
    static QByteArray garbageLine() { return QByteArrayLiteral("#@!x\r\n"); }
    // Fixed-point text without a "-0.000".
    static QByteArray fixed(double value, int decimals);

protected:
    // The reply to one request line without its line end; empty for none.
    virtual QByteArray answer(const QByteArray& line) = 0;
    virtual QString protocolState() const = 0;

private:
    qint64 m_baseMs = 0;
    double m_baseSeconds = 0;
    double m_scale = 1.0;
    std::function<qint64()> m_monotonic;
    const SourceModel& m_model;
    SourceSettings m_settings;
    ThermalModel m_thermal;
    double m_refDrift = 0;      // °C per simulated minute
    double m_refDriftSince = 0; // simulated seconds
    double m_refNoise = 0;
    QString m_serial;
    std::mt19937 m_rng{4242u};
    ChannelSignal m_noChannel;
};

class InstrumentDryBlock : public InstrumentSource
{
public:
    InstrumentDryBlock(const SourceModel& model, const SourceSettings& settings);
    static constexpr const char* kVersion = "2.07";

protected:
    QByteArray answer(const QByteArray& line) override;
    QString protocolState() const override;

private:
    QByteArray m_unit = "C";
};

class InstrumentBath : public InstrumentSource
{
public:
    InstrumentBath(const SourceModel& model, const SourceSettings& settings);

protected:
    QByteArray answer(const QByteArray& line) override;
    QString protocolState() const override;

private:
    QMap<QByteArray, QByteArray> m_options; // "lf" → "on", … as last received
};

} // namespace sim
