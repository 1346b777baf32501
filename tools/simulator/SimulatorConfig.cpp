#include "SimulatorConfig.h"

#include "Instrument1586A.h"
#include "Instrument3108A.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace sim {

namespace {

bool parseDouble(const QString& text, double* out)
{
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (ok && std::isfinite(v))
        *out = v;
    return ok && std::isfinite(v);
}

bool parseFlag(const QString& text, bool* out)
{
    const QString t = text.trimmed().toLower();
    if (t.isEmpty() || t == QLatin1String("1") || t == QLatin1String("yes") || t == QLatin1String("true")
        || t == QLatin1String("on")) {
        *out = true;
        return true;
    }
    if (t == QLatin1String("0") || t == QLatin1String("no") || t == QLatin1String("false")
        || t == QLatin1String("off")) {
        *out = false;
        return true;
    }
    return false;
}

bool parseAddress(const QString& text, int* out)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (!ok || v < 1 || v > 247)
        return false;
    *out = v;
    return true;
}

bool parseTcp(const QString& text, InstrumentConfig* inst)
{
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("none") || t == QLatin1String("off") || t == QLatin1String("no")) {
        inst->tcp = false;
        return true;
    }
    if (!parseEndpoint(text, &inst->host, &inst->port))
        return false;
    inst->tcp = true;
    return true;
}

// "fixed:25", "follow:80" (set-point) or a bare number (fixed).
bool parseChannelText(const QString& text, ChannelSetup* setup)
{
    const int colon = text.indexOf(QLatin1Char(':'));
    const QString kind = colon < 0 ? QStringLiteral("fixed") : text.left(colon).trimmed().toLower();
    const QString value = colon < 0 ? text : text.mid(colon + 1);
    if (!parseDouble(value, &setup->value))
        return false;
    if (kind == QLatin1String("fixed"))
        setup->kind = ChannelSetup::Kind::Fixed;
    else if (kind == QLatin1String("follow") || kind == QLatin1String("setpoint"))
        setup->kind = ChannelSetup::Kind::Follow;
    else
        return false;
    return true;
}

// Sensor values on the command line: "M:B[:C]" (thermocouple), "R0:a:b:a4:b4"
// (platinum) or "B0:B1[:B2[:B3]]" (thermistor), by the logger's variant.
bool parseSensorText(const QString& text, Variant variant, LabSensor* sensor)
{
    QVector<double> v;
    for (const QString& part : text.split(QLatin1Char(':'))) {
        double x = 0;
        if (!parseDouble(part, &x))
            return false;
        v << x;
    }
    switch (variant) {
    case Variant::TC:
        if (v.size() < 2 || v.size() > 3 || v[0] == 0)
            return false;
        *sensor = LabSensor::thermocouple(v[0], v[1], v.value(2, 0.0));
        return true;
    case Variant::RTD:
        if (v.size() != 5 || !(v[0] > 0))
            return false;
        *sensor = LabSensor::platinum(v[0], v[1], v[2], v[3], v[4]);
        return true;
    case Variant::NTC:
    case Variant::PCR:
        if (v.size() < 2 || v.size() > 4 || v[1] == 0)
            return false;
        v.resize(4);
        *sensor = LabSensor::thermistorOf(v[0], v[1], v[2], v[3]);
        return true;
    }
    return false;
}

bool isBath(const InstrumentConfig& inst)
{
    return inst.source && inst.source->family == SourceFamily::Bath;
}

// What a single instrument's configuration must satisfy on its own.
bool checkInstrument(const InstrumentConfig& inst, QString* error)
{
    if (!inst.source && inst.logger == LoggerModel::M1586A) {
        for (const QChar c : inst.identity) {
            if (c == QLatin1Char(',') || c.unicode() < 0x21 || c.unicode() > 0x7E) {
                *error = QStringLiteral("the serial of a 1586A must be printable ASCII without spaces or commas");
                return false;
            }
        }
        return true;
    }
    if (!inst.source) {
        if (inst.identity.size() > Instrument3107A::kIdentityLength) {
            *error = QStringLiteral("a logger's id has at most %1 characters").arg(Instrument3107A::kIdentityLength);
            return false;
        }
        return true;
    }
    const QString name = QLatin1String(inst.source->name);
    if (isBath(inst) && inst.tcp) {
        *error = QStringLiteral("%1 is a liquid bath: it has a serial port only, so it takes pty and no tcp")
                     .arg(name);
        return false;
    }
    for (const QChar c : inst.identity) {
        if (c == QLatin1Char(',') || c.unicode() < 0x21 || c.unicode() > 0x7E) {
            *error = QStringLiteral("the serial of %1 must be printable ASCII without spaces or commas").arg(name);
            return false;
        }
    }
    if (inst.identity.size() > kSourceSerialLength) {
        *error = QStringLiteral("the serial of %1 has at most %2 characters").arg(name).arg(kSourceSerialLength);
        return false;
    }
    const QString problem = inst.sourceSettings.check(*inst.source);
    if (!problem.isEmpty()) {
        *error = name + QStringLiteral(": ") + problem;
        return false;
    }
    return true;
}

// Keys that only one kind of instrument takes.
bool loggerOnlyKey(const QString& key)
{
    return key == QLatin1String("address") || key == QLatin1String("in") || key.startsWith(QLatin1String("ch"))
           || key.startsWith(QLatin1String("sensor"));
}

bool sourceOnlyKey(const QString& key)
{
    static const QStringList keys{"setpoint", "output",    "ambient",  "heat",     "cool",    "hold",
                                  "wobble",   "refoffset", "refdrift", "refnoise", "timescale"};
    return keys.contains(key);
}

bool parseSourceKey(const QString& key, const QString& value, SourceSettings* s)
{
    double* target = nullptr;
    if (key == QLatin1String("output")) {
        bool on = false;
        if (!parseFlag(value, &on))
            return false;
        s->output = on ? 1 : 0;
        return true;
    }
    if (key == QLatin1String("setpoint"))
        target = &s->setPoint;
    else if (key == QLatin1String("temperature"))
        target = &s->temperature;
    else if (key == QLatin1String("ambient"))
        target = &s->ambient;
    else if (key == QLatin1String("heat"))
        target = &s->heatRate;
    else if (key == QLatin1String("cool"))
        target = &s->coolRate;
    else if (key == QLatin1String("tau"))
        target = &s->tau;
    else if (key == QLatin1String("hold"))
        target = &s->hold;
    else if (key == QLatin1String("noise"))
        target = &s->noise;
    else if (key == QLatin1String("wobble"))
        target = &s->wobble;
    else if (key == QLatin1String("refoffset"))
        target = &s->refOffset;
    else if (key == QLatin1String("refdrift"))
        target = &s->refDrift;
    else if (key == QLatin1String("refnoise"))
        target = &s->refNoise;
    else if (key == QLatin1String("timescale"))
        target = &s->timeScale;
    return target && parseDouble(value, target);
}

bool parseModel(const QString& value, InstrumentConfig* inst)
{
    inst->logger = LoggerModel::M3107A;
    if (value.compare(QLatin1String("3108A"), Qt::CaseInsensitive) == 0
        || value.compare(QLatin1String("1586A"), Qt::CaseInsensitive) == 0) {
        inst->logger = value.startsWith(QLatin1Char('3')) ? LoggerModel::M3108A : LoggerModel::M1586A;
        inst->thermometer = false;
        inst->source = nullptr;
        return true;
    }
    inst->thermometer = isModel5310A(value);
    if (inst->thermometer) {
        inst->source = nullptr;
        return true;
    }
    if (const SourceModel* m = sourceModel(value)) {
        inst->source = m;
        return true;
    }
    inst->source = nullptr;
    return variantFromModel(value, &inst->variant);
}

bool parseInstrumentOption(const QString& text, int index, InstrumentConfig* inst, QString* error)
{
    bool tcpGiven = false;
    const QStringList parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    // The model first: it decides what the other keys mean.
    for (const QString& part : parts) {
        const int eq = part.indexOf(QLatin1Char('='));
        if (eq > 0 && part.left(eq).trimmed().compare(QLatin1String("model"), Qt::CaseInsensitive) == 0
            && !parseModel(part.mid(eq + 1).trimmed(), inst)) {
            *error = QStringLiteral("unknown model '%1' in --instrument %2 (3107A-TC, -RTD, -NTC, -PCR, 3108A, 1586A, %3)")
                         .arg(part.mid(eq + 1).trimmed(), text, sourceModelNames().join(QStringLiteral(", ")));
            return false;
        }
    }
    for (const QString& part : parts) {
        const int eq = part.indexOf(QLatin1Char('='));
        const QString key = (eq < 0 ? part : part.left(eq)).trimmed().toLower();
        const QString value = eq < 0 ? QString() : part.mid(eq + 1).trimmed();
        bool ok = true;
        if (inst->source && loggerOnlyKey(key)) {
            *error = QStringLiteral("'%1' is for loggers, not for the temperature source in --instrument %2")
                         .arg(key, text);
            return false;
        }
        const bool newLogger = !inst->source && inst->logger != LoggerModel::M3107A;
        if (newLogger && (key.startsWith(QLatin1String("sensor")) || (inst->logger == LoggerModel::M1586A
                                                                       && key == QLatin1String("address")))) {
            *error = QStringLiteral("'%1' is not for a %2 in --instrument %3").arg(key, modelText(*inst), text);
            return false;
        }
        if (newLogger && key == QLatin1String("timescale")) {
            ok = parseDouble(value, &inst->timeScale) && inst->timeScale > 0 && inst->timeScale <= 1e6;
            if (!ok) {
                *error = QStringLiteral("bad value for '%1' in --instrument %2").arg(key, text);
                return false;
            }
            continue;
        }
        if (!inst->source && !inst->thermometer && sourceOnlyKey(key)) {
            *error = QStringLiteral("'%1' is for temperature sources, not for loggers, in --instrument %2")
                         .arg(key, text);
            return false;
        }
        if (key == QLatin1String("model")) {
            // taken above
        } else if (key == QLatin1String("tcp")) {
            ok = parseTcp(value, inst);
            tcpGiven = true;
        } else if (key == QLatin1String("pty")) {
            ok = parseFlag(value, &inst->pty);
        } else if (key == QLatin1String("serial")) {
            // serial=pty asks for a pseudo-terminal, the only serial endpoint offered.
            ok = value.compare(QLatin1String("pty"), Qt::CaseInsensitive) == 0;
            inst->pty = ok;
        } else if (key == QLatin1String("address")) {
            ok = parseAddress(value, &inst->address);
        } else if (key == QLatin1String("id")) {
            inst->identity = value;
            ok = !value.isEmpty();
        } else if (inst->thermometer && key == QLatin1String("in")) {
            // The thermometer sits in that source and reads its temperature.
            inst->follow = value.toInt(&ok);
            ok = ok && inst->follow >= 1;
        } else if (inst->thermometer && parse5310AKey(key, value, &inst->ble, &ok)) {
        } else if (inst->source) {
            if (!parseSourceKey(key, value, &inst->sourceSettings)) {
                if (key == QLatin1String("temperature") || key == QLatin1String("tau")
                    || key == QLatin1String("noise") || sourceOnlyKey(key)) {
                    ok = false;
                } else {
                    *error = QStringLiteral("unknown key '%1' in --instrument %2").arg(key, text);
                    return false;
                }
            }
        } else if (key == QLatin1String("temperature")) {
            ok = parseDouble(value, &inst->temperature);
        } else if (key == QLatin1String("tau")) {
            ok = parseDouble(value, &inst->tau) && inst->tau >= 0;
        } else if (key == QLatin1String("noise")) {
            ok = parseDouble(value, &inst->noise) && inst->noise >= 0;
        } else if (key.startsWith(QLatin1String("ch")) && channelIndex(*inst, key.mid(2)) >= 0) {
            ChannelSetup setup;
            setup.channel = channelIndex(*inst, key.mid(2));
            ok = parseChannelText(value, &setup);
            inst->channels.append(setup);
        } else if (key == QLatin1String("in")) {
            ok = parsePlacement(value, &inst->channels, inst);
        } else if (key.startsWith(QLatin1String("sensor")) && channelIndex(key.mid(6)) >= 0) {
            ChannelSetup setup;
            setup.channel = channelIndex(key.mid(6));
            setup.kind = ChannelSetup::Kind::Unchanged;
            ok = parseSensorText(value, inst->variant, &setup.sensor);
            inst->channels.append(setup);
        } else {
            *error = QStringLiteral("unknown key '%1' in --instrument %2").arg(key, text);
            return false;
        }
        if (!ok) {
            *error = QStringLiteral("bad value for '%1' in --instrument %2").arg(key, text);
            return false;
        }
    }
    if (!tcpGiven) {
        // A bath has a serial port only: without an endpoint it gets a pty.
        if (isBath(*inst))
            inst->pty = true;
        inst->tcp = !inst->pty;
        inst->port = static_cast<quint16>(5000 + index);
    }
    if (!checkInstrument(*inst, error)) {
        *error += QStringLiteral(" (--instrument %1)").arg(text);
        return false;
    }
    return true;
}

bool parseRamp(const QJsonValue& value, ChannelSetup* setup)
{
    if (!value.isArray())
        return false;
    for (const QJsonValue& point : value.toArray()) {
        const QJsonArray pair = point.toArray();
        if (pair.size() != 2 || !pair[0].isDouble() || !pair[1].isDouble())
            return false;
        if (!setup->ramp.isEmpty() && pair[0].toDouble() < setup->ramp.last().seconds)
            return false;
        setup->ramp.append({pair[0].toDouble(), pair[1].toDouble()});
    }
    return !setup->ramp.isEmpty();
}

// {"M": 1.002, "B": -0.3, "C": 1e-5} / {"R0": …, "a": …, "b": …, "a4": …, "b4": …} /
// {"B0": …, "B1": …, "B2": …, "B3": …}, by the logger's variant.
bool parseSensorJson(const QJsonValue& value, Variant variant, LabSensor* sensor, QString* error)
{
    QStringList keys;
    QStringList required;
    switch (variant) {
    case Variant::TC: keys = QStringList{"M", "B", "C"}; break;
    case Variant::RTD: keys = QStringList{"R0", "a", "b", "a4", "b4"}; required = QStringList{"R0"}; break;
    case Variant::NTC:
    case Variant::PCR: keys = QStringList{"B0", "B1", "B2", "B3"}; required = QStringList{"B0", "B1"}; break;
    }
    const QJsonObject o = value.toObject();
    bool ok = value.isObject();
    for (auto it = o.begin(); ok && it != o.end(); ++it)
        ok = keys.contains(it.key()) && it.value().isDouble();
    for (const QString& k : required)
        ok = ok && o.contains(k);
    auto v = [&](const char* key, double fallback) { return o.value(QLatin1String(key)).toDouble(fallback); };
    if (ok) {
        switch (variant) {
        case Variant::TC:
            *sensor = LabSensor::thermocouple(v("M", 1), v("B", 0), v("C", 0));
            ok = sensor->m != 0;
            break;
        case Variant::RTD:
            *sensor = LabSensor::platinum(v("R0", 0), v("a", 0), v("b", 0), v("a4", 0), v("b4", 0));
            ok = sensor->r0 > 0;
            break;
        case Variant::NTC:
        case Variant::PCR:
            *sensor = LabSensor::thermistorOf(v("B0", 0), v("B1", 0), v("B2", 0), v("B3", 0));
            ok = sensor->thermistor.b != 0;
            break;
        }
    }
    if (!ok)
        *error = QStringLiteral("\"sensor\" of a %1 channel is an object of numbers with the keys %2%3")
                     .arg(modelName(variant), keys.join(QStringLiteral(", ")),
                          required.isEmpty() ? QString()
                                             : QStringLiteral(" (%1 required)").arg(required.join(QStringLiteral(", "))));
    return ok;
}

bool parseChannelJson(const QString& key, const QJsonValue& value, const InstrumentConfig& inst, ChannelSetup* setup,
                      QString* error)
{
    const Variant variant = inst.variant;
    setup->channel = channelIndex(inst, key);
    if (setup->channel < 0) {
        *error = QStringLiteral("channel '%1' is not a channel of the %2").arg(key, modelText(inst));
        return false;
    }
    if (value.isDouble()) {
        setup->kind = ChannelSetup::Kind::Fixed;
        setup->value = value.toDouble();
        return true;
    }
    const QJsonObject o = value.toObject();
    bool ok = value.isObject();
    if (o.contains(QLatin1String("fixed"))) {
        setup->kind = ChannelSetup::Kind::Fixed;
        ok = ok && o.value(QLatin1String("fixed")).isDouble();
        setup->value = o.value(QLatin1String("fixed")).toDouble();
    } else if (o.contains(QLatin1String("setpoint"))) {
        setup->kind = ChannelSetup::Kind::Follow;
        ok = ok && o.value(QLatin1String("setpoint")).isDouble();
        setup->value = o.value(QLatin1String("setpoint")).toDouble();
        if (o.contains(QLatin1String("start")))
            setup->start = o.value(QLatin1String("start")).toDouble();
    } else if (o.contains(QLatin1String("ramp"))) {
        setup->kind = ChannelSetup::Kind::Ramp;
        ok = ok && parseRamp(o.value(QLatin1String("ramp")), setup);
        setup->repeat = o.value(QLatin1String("repeat")).toBool(false);
    } else if (o.contains(QLatin1String("in")) || o.contains(QLatin1String("sensor"))) {
        setup->kind = ChannelSetup::Kind::Unchanged;
    } else {
        ok = false;
    }
    if (o.contains(QLatin1String("tau")))
        setup->tau = o.value(QLatin1String("tau")).toDouble(-1);
    if (o.contains(QLatin1String("noise")))
        setup->noise = o.value(QLatin1String("noise")).toDouble(-1);
    if (!(std::isnan(setup->tau) || setup->tau >= 0) || !(std::isnan(setup->noise) || setup->noise >= 0))
        ok = false;
    if (!ok) {
        *error = QStringLiteral("channel %1: expected {\"fixed\": T}, {\"setpoint\": T}, "
                                "{\"ramp\": [[seconds, T], …]} with ascending times, or {\"in\": N, \"sensor\": {…}}")
                     .arg(key);
        return false;
    }
    if (o.contains(QLatin1String("in"))) {
        // A sensor in a source follows the source, not a scripted signal.
        if (setup->kind != ChannelSetup::Kind::Unchanged) {
            *error = QStringLiteral("channel %1: a channel \"in\" a source takes no fixed, setpoint or ramp").arg(key);
            return false;
        }
        const QJsonValue in = o.value(QLatin1String("in"));
        setup->in = in.isDouble() && in.toDouble() == std::floor(in.toDouble()) ? in.toInt() : -1;
        if (setup->in < 1) {
            *error = QStringLiteral("channel %1: \"in\" is the number (from 1) of a source instrument").arg(key);
            return false;
        }
    }
    if (o.contains(QLatin1String("sensor"))) {
        QString message;
        if (!parseSensorJson(o.value(QLatin1String("sensor")), variant, &setup->sensor, &message)) {
            *error = QStringLiteral("channel %1: ").arg(key) + message;
            return false;
        }
    }
    return true;
}

// Settings of a source in a JSON instrument object; keys not given keep their defaults.
bool parseSourceJson(const QJsonObject& o, SourceSettings* s, QString* error)
{
    static const char* const numbers[] = {"setpoint", "temperature", "ambient",  "heat",     "cool",
                                          "tau",      "hold",        "noise",    "wobble",   "refoffset",
                                          "refdrift", "refnoise",    "timescale"};
    for (const char* key : numbers) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isUndefined())
            continue;
        if (!v.isDouble() || !parseSourceKey(QLatin1String(key), QString::number(v.toDouble(), 'g', 17), s)) {
            *error = QStringLiteral("\"%1\" must be a number").arg(QLatin1String(key));
            return false;
        }
    }
    const QJsonValue output = o.value(QLatin1String("output"));
    if (!output.isUndefined()) {
        if (output.isBool())
            s->output = output.toBool() ? 1 : 0;
        else if (!parseSourceKey(QStringLiteral("output"), output.toString(QStringLiteral("?")), s)) {
            *error = QStringLiteral("\"output\" is true/false or \"on\"/\"off\"");
            return false;
        }
    }
    for (const char* key : {"address", "channels", "in"}) {
        if (o.contains(QLatin1String(key))) {
            *error = QStringLiteral("\"%1\" is for loggers, not for temperature sources").arg(QLatin1String(key));
            return false;
        }
    }
    return true;
}

} // namespace

int channelIndex(const QString& text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok && n >= 101 && n <= 116 ? n - 101 : -1;
}

int channelIndex(const InstrumentConfig& instrument, const QString& text)
{
    switch (instrument.logger) {
    case LoggerModel::M3107A:
        return channelIndex(text);
    case LoggerModel::M3108A: {
        bool ok = false;
        const int n = text.trimmed().toInt(&ok);
        return ok && n >= 101 && n < 101 + Instrument3108A::kChannels ? n - 101 : -1;
    }
    case LoggerModel::M1586A:
        return Instrument1586A::indexOf(text);
    }
    return -1;
}

QString modelText(const InstrumentConfig& instrument)
{
    if (instrument.source)
        return QLatin1String(instrument.source->name);
    switch (instrument.logger) {
    case LoggerModel::M3108A: return QStringLiteral("3108A");
    case LoggerModel::M1586A: return QStringLiteral("1586A");
    case LoggerModel::M3107A: break;
    }
    return modelName(instrument.variant);
}

bool parsePlacement(const QString& text, QList<ChannelSetup>* setups, const InstrumentConfig* instrument)
{
    const auto index = [instrument](const QString& t) {
        return instrument ? channelIndex(*instrument, t) : channelIndex(t);
    };
    const int colon = text.indexOf(QLatin1Char(':'));
    bool ok = false;
    const int source = text.left(colon).trimmed().toInt(&ok);
    if (colon < 0 || !ok || source < 1)
        return false;
    QList<ChannelSetup> added;
    for (const QString& range : text.mid(colon + 1).split(QLatin1Char('+'))) {
        const int dash = range.indexOf(QLatin1Char('-'));
        const int first = index(dash < 0 ? range : range.left(dash));
        const int last = dash < 0 ? first : index(range.mid(dash + 1));
        if (first < 0 || last < first)
            return false;
        for (int c = first; c <= last; ++c) {
            ChannelSetup setup;
            setup.channel = c;
            setup.kind = ChannelSetup::Kind::Unchanged;
            setup.in = source;
            added << setup;
        }
    }
    *setups += added;
    return true;
}

bool validateInstruments(const QList<InstrumentConfig>& instruments, QString* error)
{
    for (int i = 0; i < instruments.size(); ++i) {
        const InstrumentConfig& inst = instruments[i];
        if (!checkInstrument(inst, error)) {
            *error = QStringLiteral("instrument %1: ").arg(i + 1) + *error;
            return false;
        }
        if (inst.follow != 0 && (inst.follow > instruments.size() || !instruments[inst.follow - 1].source)) {
            *error = QStringLiteral("instrument %1: the thermometer is put in instrument %2, which is no temperature source")
                         .arg(i + 1).arg(inst.follow);
            return false;
        }
        for (const ChannelSetup& setup : inst.channels) {
            if (setup.in != 0 && (setup.in < 1 || setup.in > instruments.size() || !instruments[setup.in - 1].source)) {
                *error = QStringLiteral("instrument %1: a channel is put in instrument %2, which is no temperature source")
                             .arg(i + 1).arg(setup.in);
                return false;
            }
            if (!Instrument3107A::sensorFits(inst.variant, setup.sensor.kind)) {
                *error = QStringLiteral("instrument %1: the sensor of channel %2 does not fit a %3")
                             .arg(i + 1).arg(101 + setup.channel).arg(modelName(inst.variant));
                return false;
            }
        }
    }
    return true;
}

bool parseEndpoint(const QString& text, QString* host, quint16* port)
{
    const QString t = text.trimmed();
    const int colon = t.lastIndexOf(QLatin1Char(':'));
    const QString h = colon < 0 ? QStringLiteral("127.0.0.1") : t.left(colon);
    bool ok = false;
    const int p = t.mid(colon + 1).toInt(&ok);
    if (!ok || p < 0 || p > 65535)
        return false;
    *host = h.isEmpty() ? QStringLiteral("127.0.0.1") : h;
    *port = static_cast<quint16>(p);
    return true;
}

bool parseConfigJson(const QByteArray& json, QList<InstrumentConfig>* instruments, QString* error)
{
    QJsonParseError parseError;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &parseError);
    if (doc.isNull()) {
        *error = QStringLiteral("JSON error at offset %1: %2").arg(parseError.offset).arg(parseError.errorString());
        return false;
    }
    const QJsonArray list = doc.object().value(QLatin1String("instruments")).toArray();
    if (list.isEmpty()) {
        *error = QStringLiteral("the configuration has no \"instruments\" array");
        return false;
    }
    for (const QJsonValue& v : list) {
        const QJsonObject o = v.toObject();
        InstrumentConfig inst;
        const int index = instruments->size();
        const QString where = QStringLiteral("instrument %1: ").arg(index + 1);
        if (!parseModel(o.value(QLatin1String("model")).toString(QStringLiteral("3107A-TC")), &inst)) {
            *error = where + QStringLiteral("unknown model");
            return false;
        }
        if (inst.thermometer && !parse5310AJson(o, &inst.ble, error)) {
            *error = where + *error;
            return false;
        }
        inst.pty = o.value(QLatin1String("pty")).toBool(false);
        if (o.contains(QLatin1String("tcp"))) {
            const QJsonValue tcp = o.value(QLatin1String("tcp"));
            const QString text = tcp.isDouble() ? QString::number(tcp.toInt()) : tcp.toString();
            if (tcp.isBool() && !tcp.toBool())
                inst.tcp = false;
            else if (!parseTcp(text, &inst)) {
                *error = where + QStringLiteral("bad \"tcp\" (HOST:PORT, PORT or \"none\")");
                return false;
            }
        } else {
            if (isBath(inst))
                inst.pty = true;
            inst.tcp = !inst.pty;
            inst.port = static_cast<quint16>(5000 + index);
        }
        inst.identity = o.value(QLatin1String("id")).toString();
        if (inst.source) {
            QString message;
            if (!parseSourceJson(o, &inst.sourceSettings, &message) || !checkInstrument(inst, &message)) {
                *error = where + message;
                return false;
            }
            instruments->append(inst);
            continue;
        }
        if (o.contains(QLatin1String("address"))
            && !parseAddress(QString::number(o.value(QLatin1String("address")).toInt(-1)), &inst.address)) {
            *error = where + QStringLiteral("\"address\" must be 1 … 247");
            return false;
        }
        if (inst.identity.size() > Instrument3107A::kIdentityLength && inst.logger != LoggerModel::M1586A) {
            *error = where + QStringLiteral("\"id\" has more than 10 characters");
            return false;
        }
        if (o.contains(QLatin1String("timescale")) && inst.logger != LoggerModel::M3107A) {
            inst.timeScale = o.value(QLatin1String("timescale")).toDouble(-1);
            if (!(inst.timeScale > 0)) {
                *error = where + QStringLiteral("\"timescale\" must be a positive number");
                return false;
            }
        }
        inst.temperature = o.value(QLatin1String("temperature")).toDouble(inst.temperature);
        inst.tau = o.value(QLatin1String("tau")).toDouble(inst.tau);
        inst.noise = o.value(QLatin1String("noise")).toDouble(inst.noise);
        const QJsonObject channels = o.value(QLatin1String("channels")).toObject();
        for (auto it = channels.begin(); it != channels.end(); ++it) {
            ChannelSetup setup;
            QString message;
            if (!parseChannelJson(it.key(), it.value(), inst, &setup, &message)) {
                *error = where + message;
                return false;
            }
            inst.channels.append(setup);
        }
        const QJsonValue in = o.value(QLatin1String("in"));
        if (inst.thermometer) {
            // "in": N, the source the thermometer sits in.
            inst.follow = in.isUndefined() ? 0 : in.isDouble() ? in.toInt() : in.toString().toInt();
            if (!in.isUndefined() && inst.follow < 1) {
                *error = where + QStringLiteral("\"in\" is the number of the source the thermometer sits in");
                return false;
            }
            instruments->append(inst);
            continue;
        }
        // "in": "2:101-104" or a list of such texts.
        QJsonArray placements = in.isArray() ? in.toArray() : QJsonArray{in};
        if (in.isUndefined())
            placements = QJsonArray();
        for (const QJsonValue& placement : placements) {
            if (!placement.isString() || !parsePlacement(placement.toString(), &inst.channels, &inst)) {
                *error = where + QStringLiteral("\"in\" is \"N:101-104+109\" (channels in source instrument N) or a list of them");
                return false;
            }
        }
        instruments->append(inst);
    }
    return true;
}

bool parseConfigFile(const QString& path, QList<InstrumentConfig>* instruments, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    if (!parseConfigJson(file.readAll(), instruments, error)) {
        *error = path + QStringLiteral(": ") + *error;
        return false;
    }
    return true;
}

bool parseArguments(const QStringList& args, SimulatorConfig* config, QString* error)
{
    InstrumentConfig single;
    bool singleUsed = false;
    bool singleTcpGiven = false;
    bool listUsed = false;
    bool defaultsGiven[3] = {false, false, false};
    double defaults[3] = {0, 0, 0}; // temperature, tau, noise

    for (int i = 0; i < args.size(); ++i) {
        QString name = args[i];
        QString value;
        bool hasValue = false;
        const int eq = name.indexOf(QLatin1Char('='));
        if (name.startsWith(QLatin1String("--")) && eq > 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
            hasValue = true;
        }
        auto takeValue = [&]() -> bool {
            if (hasValue)
                return true;
            if (i + 1 >= args.size()) {
                *error = QStringLiteral("%1 needs a value").arg(name);
                return false;
            }
            value = args[++i];
            return true;
        };
        auto bad = [&]() {
            *error = QStringLiteral("bad value '%1' for %2").arg(value, name);
            return false;
        };

        if (name == QLatin1String("-h") || name == QLatin1String("--help")) {
            config->help = true;
        } else if (name == QLatin1String("--trace")) {
            config->trace = true;
        } else if (name == QLatin1String("--record")) {
            if (!takeValue())
                return false;
            if (value.isEmpty())
                return bad();
            config->recordPath = value;
        } else if (name == QLatin1String("--exit-on-eof")) {
            config->exitOnEof = true;
        } else if (name == QLatin1String("-v") || name == QLatin1String("--version")) {
            config->version = true;
        } else if (name == QLatin1String("--model")) {
            if (!takeValue())
                return false;
            if (!parseModel(value, &single))
                return bad();
            singleUsed = true;
        } else if (name == QLatin1String("--tcp")) {
            if (!takeValue())
                return false;
            if (!parseTcp(value, &single))
                return bad();
            singleUsed = true;
            singleTcpGiven = true;
        } else if (name == QLatin1String("--time-scale")) {
            if (!takeValue())
                return false;
            if (!parseDouble(value, &config->timeScale) || !(config->timeScale > 0) || config->timeScale > 1e6)
                return bad();
        } else if (name == QLatin1String("--no-tcp")) {
            single.tcp = false;
            singleUsed = true;
            singleTcpGiven = true;
        } else if (name == QLatin1String("--pty")) {
            single.pty = true;
            singleUsed = true;
        } else if (name == QLatin1String("--address")) {
            if (!takeValue())
                return false;
            if (!parseAddress(value, &single.address))
                return bad();
            singleUsed = true;
        } else if (name == QLatin1String("--id")) {
            if (!takeValue())
                return false;
            if (value.isEmpty())
                return bad();
            single.identity = value;
            singleUsed = true;
        } else if (name == QLatin1String("--temperature") || name == QLatin1String("--tau")
                   || name == QLatin1String("--noise")) {
            if (!takeValue())
                return false;
            const int k = name == QLatin1String("--temperature") ? 0 : name == QLatin1String("--tau") ? 1 : 2;
            if (!parseDouble(value, &defaults[k]) || (k > 0 && defaults[k] < 0))
                return bad();
            defaultsGiven[k] = true;
        } else if (name == QLatin1String("--instrument")) {
            if (!takeValue())
                return false;
            InstrumentConfig inst;
            for (int k = 0; k < 3; ++k) // defaults given so far; keys of the option win
                if (defaultsGiven[k])
                    (k == 0 ? inst.temperature : k == 1 ? inst.tau : inst.noise) = defaults[k];
            if (!parseInstrumentOption(value, config->instruments.size(), &inst, error))
                return false;
            config->instruments.append(inst);
            listUsed = true;
        } else if (name == QLatin1String("--config")) {
            if (!takeValue())
                return false;
            if (!parseConfigFile(value, &config->instruments, error))
                return false;
            listUsed = true;
        } else {
            *error = QStringLiteral("unknown option '%1' (see --help)").arg(args[i]);
            return false;
        }
    }
    if (singleUsed && listUsed) {
        *error = QStringLiteral("--model, --tcp, --no-tcp, --pty, --address and --id describe the single "
                                "instrument; with --instrument or --config put them into each instrument");
        return false;
    }
    if (!listUsed) {
        for (int k = 0; k < 3; ++k)
            if (defaultsGiven[k])
                (k == 0 ? single.temperature : k == 1 ? single.tau : single.noise) = defaults[k];
        if (isBath(single) && !singleTcpGiven) {
            single.tcp = false;
            single.pty = true;
        }
        config->instruments.append(single);
    }
    for (InstrumentConfig& inst : config->instruments) {
        if (!inst.tcp && !inst.pty) {
            *error = QStringLiteral("an instrument has neither a TCP port nor a pty");
            return false;
        }
        if (inst.source && std::isnan(inst.sourceSettings.timeScale) && !std::isnan(config->timeScale))
            inst.sourceSettings.timeScale = config->timeScale;
        if (!inst.source && std::isnan(inst.timeScale) && !std::isnan(config->timeScale))
            inst.timeScale = config->timeScale;
        if (inst.thermometer && (inst.pty || !inst.tcp)) {
            *error = QStringLiteral("a 5310A thermometer is reached over TCP only");
            return false;
        }
    }
    return validateInstruments(config->instruments, error);
}

QString usageText()
{
    return QStringLiteral(R"(Usage: arq-simulator [options]

Simulates 3107A data loggers (variants 3107A-TC, -RTD, -NTC, -PCR), the
3108A logger, the 1586A scanner, temperature sources (dry blocks KRDB-1, KRDB-2; liquid baths KRLB-1 … KRLB-5)
so the program can be tried without instruments. Each logger answers the
3107A register protocol (CRC-16/MODBUS, high byte first) on a TCP port and/or
on a pseudo-terminal that the program opens as a serial port (any baud rate).
Sources answer their text protocols (lines ending CR LF): a dry block on TCP
and/or a pty, a bath on a pty only.

One instrument:
  --model MODEL         3107A-TC (default), 3107A-RTD, 3107A-NTC, 3107A-PCR,
                        3108A, 1586A, KRDB-1, KRDB-2, KRLB-1 … KRLB-5
  --tcp [HOST:]PORT     TCP endpoint (default 127.0.0.1:5000; port 0 picks a free one)
  --no-tcp              no TCP endpoint (use with --pty)
  --pty                 also open a pseudo-terminal (a bath gets one anyway)
  --address N           station address 1 … 247 (default 1)
  --id TEXT             identity text, up to 10 characters (default 3107A00001);
                        a source's serial number, up to 20 characters

Several instruments (repeat the option; not combined with the options above).
Instruments are numbered from 1 in the order given (the console's @N):
  --instrument KEY=VALUE,...
      keys: model=MODEL  tcp=[HOST:]PORT|none  pty  (or serial=pty)  id=TEXT
      loggers: address=N  temperature=T  tau=S  noise=S
            ch101=T | ch101=fixed:T | ch101=follow:T   (… ch116)
            in=N:101-104+109     those channels sit in source instrument N and
                                 read its temperature (repeat for more sources)
            sensor101=VALUES     the channel's sensor has a known error:
                                 TC  M:B[:C]          reads the x of t = M·x + B + C·x²
                                                      nearest (t - B)/M (C default 0:
                                                      x = (t - B)/M); C leaves a two-point
                                                      calibration a residual between and
                                                      beyond its points
                                 RTD R0:a:b:a4:b4     ITS-90 deviation function
                                 NTC/PCR B0:B1[:B2[:B3]]  ln R = B0 + B1/T + B2/T² + B3/T³
      3108A: address=N  ch101 … ch126  timescale=X (measuring X times faster)
      1586A: ch101 … ch122, ch201 … ch222, ch001  timescale=X; id is its serial
      sources: setpoint=T  temperature=T (at start)  output=on|off  ambient=T
            heat=RATE  cool=RATE (°C/min)  tau=S (settle)  hold=S  noise=S
            wobble=A  refoffset=D  refdrift=D  refnoise=S  timescale=X
      Without tcp and pty, instrument n (from 0) listens on 127.0.0.1:5000+n;
      a bath opens a pty instead, and refuses tcp=.
  --config FILE         JSON file with the instruments, e.g.
      {"instruments": [
         {"model": "3107A-RTD", "tcp": "127.0.0.1:5001", "pty": true,
          "address": 1, "id": "RTD0000001", "temperature": 20,
          "channels": {
            "101": {"fixed": 0.0},
            "102": {"setpoint": 100, "start": 20, "tau": 60, "noise": 0.02},
            "103": {"ramp": [[0, 20], [600, 120], [1200, 20]], "repeat": true},
            "104": {"in": 2, "sensor": {"R0": 100.01, "a": -0.0205, "b": 0.0007,
                                        "a4": -0.0206, "b4": -0.0004}}}},
         {"model": "KRLB-2", "pty": true, "setpoint": 20, "timescale": 60}]}
      Sensor keys: TC "M", "B", "C"; RTD "R0" (required), "a", "b", "a4", "b4";
      NTC/PCR "B0", "B1" (required), "B2", "B3". A logger may also carry
      "in": "2:101-104" (or a list of such texts). Source keys as above, with
      "output": true/false. See tools/simulator/examples/calibration-bench.json.

Channel temperatures (for all loggers, unless set per instrument):
  --temperature T       channel 101 at T °C (default 25), each further channel 0.1 °C warmer
  --tau S               first-order time constant in seconds for set-point changes (default 30)
  --noise S             standard deviation of the reading noise in °C (default 0.01)
  --time-scale X        sources run X times faster than real time (default 1)
                        unless they have their own timescale=

Every channel converts its temperature with the sensor the program configured:
thermocouple emf (ITS-90 reference functions of types B E J K N R S T, reference
junction at 0 °C; other letter types use the K curve) in mV, platinum resistance
(R0 and five zero coefficients: Callendar–Van Dusen, alpha 0.00385; otherwise
ITS-90 reference function with deviation coefficients a b c a4 b4) in Ω,
thermistor resistance ln R = A + B/T + C/T² + D/T³ (all zero: 10 kΩ, beta 3977 K)
in Ω. The temperature block (0x0100) and the electrical block (0x0200) of one
scan describe the same temperature; a thermocouple's M and B correct the
temperature block. A channel with a sensor of known error gives that sensor's
emf or resistance instead, and the temperature block shows what the programmed
curve makes of it; calibrating such a channel finds the sensor's values.

The 3108A (26 channels) answers Modbus RTU frames (CRC low byte first). Each
channel measures what its configuration word selects, from the channel's
temperature: thermocouple emf (reference junction at 23 °C, or the fixed
cold-junction temperature), platinum, nickel and copper resistance, thermistor
resistance, or the temperature itself in °C; DC voltage 0 … 10 V and DC
current 4 … 20 mA over 0 … 100 °C, resistance of a Pt100, frequency
1000 Hz + 10 Hz/°C; corrected by the channel's M and B. A trigger (0x101A)
is answered with the values once measured (0.01, 0.1 or 1 s per channel by
rate, divided by timescale); scanning (0x1018) at the interval of 0x1019
fills the memory (count at 0x101B), which "export FILE" writes as a data file
(Time,CH01,…,CH26).

The 1586A answers SCPI lines (CR LF): *IDN? *RST RATE UNIT:TEMP
ROUT:CHAN:STAT TEMP:TC|THER|FTH|RTD|TRTD|FRTD:… VOLT[:AC]:RANG CURR[:AC]:RANG
[F]RES:RANG CONF:FREQ CALC:SCAL:STAT|GAIN|OFFS READ? INIT ABOR TRIG:SOUR|TIM|COUN
DATA:CLE DATA:POIN? DATA? DATA:READ? DATA:LOG:AUTO MEM:LOG:NFIL? MEM:LOG:NAME? N
MEM:LOG:READ? "NAME" SYST:DATE[?] SYST:TIME[?] SYST:ERR?. A channel reads its
temperature (°C or °F) for thermocouples, thermistors and RTDs, the signals
above otherwise, scaled by gain and offset. READ? takes 0.1, 1 or 4 s per
channel (FAST, MED, SLOW; divided by timescale). INIT (or the console's
"scan on") starts timed scans (TRIG:SOUR TIM, TRIG:TIM s, TRIG:COUN n, 0 for
no end) that run on while no program is connected; with DATA:LOG:AUTO ON each
run is a log file (SCAN0001, …) of lines "Record,Time,Ch 101 (C),…,Alarm
Flags,Digital I/O" and "1,2024-03-05 10:00:00.600,2.500000E+01,…,0,0".
"export FILE" writes the readings memory in the same format. Records are
stamped with the 1586A's clock: the console's "clock" sets it (e.g. to a
planned start before "scan on"), its "timescale" makes it and the timed scans
run faster.

Temperature sources move towards the set-point at the heat or cool rate
(defaults: dry block 15 °C/min up (KRDB-2 20), 6 down; bath 1.5 up, 1 down),
then settle exponentially (tau: dry block 40 s, bath 90 s) and hold with a slow
fluctuation of amplitude wobble (below the model's tolerance: KRDB-1 0.2 °C,
KRDB-2 0.35, baths 0.01). They report stable once within the tolerance of the
set-point for hold seconds (default 60). A dry block's output is off until
"OUTP:STAT 1" (or output=on); with the output off a source drifts towards the
ambient temperature (default 23 °C) and is never stable. A bath regulates from
the start. Defaults: set-point = ambient within the model's range; temperature
at start = the set-point when regulating (settled), else ambient. The displayed
reading has noise (dry block 0.005 °C, bath 0.001); a dry block's built-in
reference (READ?) reads refoffset (default 0.02 °C) above the block, with noise
refnoise (default half the display noise). A bath's reading (r) is its
reference too: refoffset default 0, refnoise default the display noise. With
refdrift=D (°C per minute of the source's own time, with its timescale) the
reference moves away from the true temperature by D °C/min from the start;
the source's control, display (a dry block's t) and stability do not. Set-points
outside the model's range are ignored. Settings commands are not answered.
  Dry block: *IDN?  OUTP:STAT 1|0  u C  s T  s  t  READ?  SOUR1:STAB:TEST?
  Bath:      sn  lf=on u=C sa=n pc=s co=au hg=auto  s=T  s  r  st

When ready, one line per endpoint is printed on stdout:
  LISTEN tcp 127.0.0.1:5000
  LISTEN pty /dev/pts/7

Commands on stdin, one per line (answered with a line starting "OK" or "ERROR").
They act on every instrument; prefix "@N " (N from 1) to address one:
  drop                  close all open TCP client connections now
  silent SECONDS        stop answering for that long; connections stay open
  down                  stop listening, close TCP connections, ignore the pty
  up                    listen again on the same port(s) (prints LISTEN again)
  badcrc N              send the next N replies with a wrong CRC
  foreign N             send the next N replies from another station address
                        (the next one, 247 wraps to 1) with a valid CRC
  garbage N             replace the next N replies of a source by "#@!x"
  slow MS               delay every reply by MS milliseconds (0: answer at once)
  split N               write every reply in N pieces, 20 ms apart (1: whole)
  normal                end every fault above (silent, badcrc, foreign, garbage,
                        slow, split)
  frames                print the request frames received since the last
                        "frames" (lines "FRAME @N ENDPOINT HEX", or a quoted
                        line such as "s 25.00\r\n" for sources; the newest
                        10000 at most) and forget them
  set CHANNEL T         channel (101 … 116, 3108A … 126, 1586A 101 … 122,
                        201 … 222, 001, or "all") follows set-point T °C
  fix CHANNEL T         channel jumps to T °C and stays there
  ramp CHANNEL T RATE   channel ramps to T °C at RATE °C/min
  set T                 a source's set-point (within the model's range)
  fix T                 a source's temperature jumps to T °C and moves on from there
  settle                a source is at its set-point and stable now
  output on|off         a source's output (regulation)
  refdrift D            a source's reference reading (READ?, a bath's r) moves away
                        from the true temperature by D °C per minute of the source's
                        time from now; "refdrift 0" ends it (normal does not)
  refnoise S            the reference reading's own noise: standard deviation S °C
  timescale X           a source's simulated time runs X times real time from now;
                        a 1586A's clock and timed scans too (not while it scans):
                        at 10 a 10 s trigger scans every real second, its
                        records stamped 10 s apart
  export FILE           a logger writes its memory as a data file (3107A
                        "Time,CH01,…,CH16" from its recording, 3108A, 1586A)
  scan on|off           a 1586A starts or stops its timed scans (front-panel key)
  scan on [SECONDS]     a 3107A records its channels' temperatures every SECONDS
                        (default 1, at least 1) of its clock until "scan off"
  clock DATE TIME       a logger's clock reads "YYYY-MM-DD hh:mm:ss[.zzz]" from now
                        (a running scan or recording goes on from that time)
  status                show endpoints, settings, faults, channel temperatures,
                        and each source's set-point, temperature and stability
                        (and its reference's drift and noise when set)
  help                  list the commands
  quit                  stop the simulator

Bluetooth LE thermometer 5310A (model=5310A; the program reaches it instead
of a radio when ARQ_BLE_SIMULATOR=HOST:PORT[,HOST:PORT…] is set):
  --instrument model=5310A,tcp=PORT[,name=N][,temperature=T][,noise=S]
               [,timescale=F][,foreign=NAME;NAME][,nonconnectable=NAME][,twice][,in=N]
      name        advertised name (default 5310A-00123, +1 per instrument index)
      temperature reading in °C (default 25), noise its standard deviation
      timescale   one reading every 1000 ms × F once measuring
      foreign     further devices in range that are not thermometers
      nonconnectable  names advertised as non-connectable (type 3)
      twice       its own advertisement comes twice per scan
      in          the temperature source (instrument N) it sits in: it then
                  reads that source's temperature (plus its noise)
  Console commands for it: drop (link loss), down / up (out of range / back),
  silent SECONDS (no readings), slow MS (readings late), split N (each frame
  in N notifications; default two at a random point), garbage N (next N frames
  do not start with 17 05), normal, set T (fixed temperature), frames
  (commands written to it, bad checksums marked), status.

Other options:
  --trace               print every frame received and sent (hex, or quoted
                        text for sources) on stderr
  --record FILE         write every request frame received to FILE (emptied at
                        start), one line each: "hh:mm:ss.zzz @N ENDPOINT FRAME", e.g.
                        "14:02:03.120 @1 tcp 127.0.0.1:5000 010300010001cad5" or
                        "14:02:04.500 @2 pty /dev/pts/7 "s=25.00\r\n""
                        (ENDPOINT is "tcp HOST:PORT" or "pty PATH"; frames that
                        arrive while silent or down are recorded too), and after
                        it a line for every reply that carries measured values:
                        "VALUES ID TIME CH=VALUE,CH=VALUE,…" for a logger's scan
                        (a 3107A's temperature or electrical block, a 3108A's
                        values, a 1586A's READ?, DATA? and DATA:READ?), e.g.
                        "VALUES 3107A00001 2024-03-05T14:02:03.121 101=25.0123005,102=25.1049995"
                        and "REFERENCE SERIAL TIME VALUE" for a source's reference
                        reading (READ?, a bath's r), e.g.
                        "REFERENCE KD00001 2024-03-05T14:02:04.502 60.0213".
                        ID is the logger's id or serial, TIME the computer's
                        clock when the reply is made (ISO 8601, milliseconds);
                        each value is the one in the reply: 32-bit floats of the
                        3107A and 3108A in at most 9 significant digits (they
                        convert back to the same float), the 1586A's and the
                        source's number as sent (a bath's without "r: " and
                        " C"). Replies spoiled by badcrc, foreign or
                        garbage carry no values for the program and are not
                        recorded. Every line is flushed at once.
  --exit-on-eof         quit when stdin is closed; without it the simulator runs
                        on (e.g. started with "&" or "< /dev/null") until "quit" or a signal
  -h, --help            this text
  -v, --version         print the version
)");
}

} // namespace sim
