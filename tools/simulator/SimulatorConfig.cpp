#include "SimulatorConfig.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

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

bool parseInstrumentOption(const QString& text, int index, InstrumentConfig* inst, QString* error)
{
    bool tcpGiven = false;
    const QStringList parts = text.split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (const QString& part : parts) {
        const int eq = part.indexOf(QLatin1Char('='));
        const QString key = (eq < 0 ? part : part.left(eq)).trimmed().toLower();
        const QString value = eq < 0 ? QString() : part.mid(eq + 1).trimmed();
        bool ok = true;
        if (key == QLatin1String("model")) {
            inst->thermometer = isModel5310A(value);
            ok = inst->thermometer || variantFromModel(value, &inst->variant);
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
            ok = !value.isEmpty() && value.size() <= Instrument3107A::kIdentityLength;
        } else if (key == QLatin1String("temperature")) {
            ok = parseDouble(value, &inst->temperature);
        } else if (key == QLatin1String("tau")) {
            ok = parseDouble(value, &inst->tau) && inst->tau >= 0;
        } else if (key == QLatin1String("noise")) {
            ok = parseDouble(value, &inst->noise) && inst->noise >= 0;
        } else if (key.startsWith(QLatin1String("ch")) && channelIndex(key.mid(2)) >= 0) {
            ChannelSetup setup;
            setup.channel = channelIndex(key.mid(2));
            ok = parseChannelText(value, &setup);
            inst->channels.append(setup);
        } else if (parse5310AKey(key, value, &inst->ble, &ok)) {
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
        inst->tcp = !inst->pty;
        inst->port = static_cast<quint16>(5000 + index);
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

bool parseChannelJson(const QString& key, const QJsonValue& value, ChannelSetup* setup, QString* error)
{
    setup->channel = channelIndex(key);
    if (setup->channel < 0) {
        *error = QStringLiteral("channel '%1' is not 101 … 116").arg(key);
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
    } else {
        ok = false;
    }
    if (o.contains(QLatin1String("tau")))
        setup->tau = o.value(QLatin1String("tau")).toDouble(-1);
    if (o.contains(QLatin1String("noise")))
        setup->noise = o.value(QLatin1String("noise")).toDouble(-1);
    if (!(std::isnan(setup->tau) || setup->tau >= 0) || !(std::isnan(setup->noise) || setup->noise >= 0))
        ok = false;
    if (!ok)
        *error = QStringLiteral("channel %1: expected {\"fixed\": T}, {\"setpoint\": T}, or "
                                "{\"ramp\": [[seconds, T], …]} with ascending times")
                     .arg(key);
    return ok;
}

} // namespace

int channelIndex(const QString& text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    return ok && n >= 101 && n <= 116 ? n - 101 : -1;
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
        const QString model = o.value(QLatin1String("model")).toString(QStringLiteral("3107A-TC"));
        inst.thermometer = isModel5310A(model);
        if (!inst.thermometer && !variantFromModel(model, &inst.variant)) {
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
            inst.tcp = !inst.pty;
            inst.port = static_cast<quint16>(5000 + index);
        }
        if (o.contains(QLatin1String("address"))
            && !parseAddress(QString::number(o.value(QLatin1String("address")).toInt(-1)), &inst.address)) {
            *error = where + QStringLiteral("\"address\" must be 1 … 247");
            return false;
        }
        inst.identity = o.value(QLatin1String("id")).toString();
        if (inst.identity.size() > Instrument3107A::kIdentityLength) {
            *error = where + QStringLiteral("\"id\" has more than 10 characters");
            return false;
        }
        inst.temperature = o.value(QLatin1String("temperature")).toDouble(inst.temperature);
        inst.tau = o.value(QLatin1String("tau")).toDouble(inst.tau);
        inst.noise = o.value(QLatin1String("noise")).toDouble(inst.noise);
        const QJsonObject channels = o.value(QLatin1String("channels")).toObject();
        for (auto it = channels.begin(); it != channels.end(); ++it) {
            ChannelSetup setup;
            QString message;
            if (!parseChannelJson(it.key(), it.value(), &setup, &message)) {
                *error = where + message;
                return false;
            }
            inst.channels.append(setup);
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
            if (!variantFromModel(value, &single.variant))
                return bad();
            singleUsed = true;
        } else if (name == QLatin1String("--tcp")) {
            if (!takeValue())
                return false;
            if (!parseTcp(value, &single))
                return bad();
            singleUsed = true;
        } else if (name == QLatin1String("--no-tcp")) {
            single.tcp = false;
            singleUsed = true;
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
            if (value.isEmpty() || value.size() > Instrument3107A::kIdentityLength)
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
        config->instruments.append(single);
    }
    for (const InstrumentConfig& inst : config->instruments) {
        if (!inst.tcp && !inst.pty) {
            *error = QStringLiteral("an instrument has neither a TCP port nor a pty");
            return false;
        }
        if (inst.thermometer && (inst.pty || !inst.tcp)) {
            *error = QStringLiteral("a 5310A thermometer is reached over TCP only");
            return false;
        }
    }
    return true;
}

QString usageText()
{
    return QStringLiteral(R"(Usage: arq-simulator [options]

Simulates 3107A data loggers (variants 3107A-TC, -RTD, -NTC, -PCR) so the
program can be tried without instruments. Each logger answers the 3107A
register protocol (CRC-16/MODBUS, high byte first) on a TCP port and/or on a
pseudo-terminal that the program opens as a serial port (any baud rate).

One instrument:
  --model MODEL         3107A-TC (default), 3107A-RTD, 3107A-NTC or 3107A-PCR
  --tcp [HOST:]PORT     TCP endpoint (default 127.0.0.1:5000; port 0 picks a free one)
  --no-tcp              no TCP endpoint (use with --pty)
  --pty                 also open a pseudo-terminal
  --address N           station address 1 … 247 (default 1)
  --id TEXT             identity text, up to 10 characters (default 3107A00001)

Several instruments (repeat the option; not combined with the options above):
  --instrument KEY=VALUE,...
      keys: model=MODEL  tcp=[HOST:]PORT|none  pty  (or serial=pty)
            address=N  id=TEXT  temperature=T  tau=S  noise=S
            ch101=T | ch101=fixed:T | ch101=follow:T   (… ch116)
      Without tcp and pty, instrument n (from 0) listens on 127.0.0.1:5000+n.
  --config FILE         JSON file with the instruments, e.g.
      {"instruments": [
         {"model": "3107A-RTD", "tcp": "127.0.0.1:5001", "pty": true,
          "address": 1, "id": "RTD0000001", "temperature": 20,
          "channels": {
            "101": {"fixed": 0.0},
            "102": {"setpoint": 100, "start": 20, "tau": 60, "noise": 0.02},
            "103": {"ramp": [[0, 20], [600, 120], [1200, 20]], "repeat": true}}}]}

Channel temperatures (for all instruments, unless set per instrument):
  --temperature T       channel 101 at T °C (default 25), each further channel 0.1 °C warmer
  --tau S               first-order time constant in seconds for set-point changes (default 30)
  --noise S             standard deviation of the reading noise in °C (default 0.01)

Every channel converts its temperature with the sensor the program configured:
thermocouple emf (ITS-90 reference functions of types B E J K N R S T, reference
junction at 0 °C; other letter types use the K curve) in mV, platinum resistance
(R0 and five zero coefficients: Callendar–Van Dusen, alpha 0.00385; otherwise
ITS-90 reference function with deviation coefficients a b c a4 b4) in Ω,
thermistor resistance ln R = A + B/T + C/T² + D/T³ (all zero: 10 kΩ, beta 3977 K)
in Ω. The temperature block (0x0100) and the electrical block (0x0200) of one
scan describe the same temperature; a thermocouple's M and B correct the
temperature block.

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
  slow MS               delay every reply by MS milliseconds (0: answer at once)
  split N               write every reply in N pieces, 20 ms apart (1: whole)
  normal                end every fault above (silent, badcrc, foreign, slow, split)
  frames                print the request frames received since the last
                        "frames" (lines "FRAME @N ENDPOINT HEX", the newest
                        10000 at most) and forget them
  set CHANNEL T         channel (101 … 116 or "all") follows set-point T °C
  fix CHANNEL T         channel jumps to T °C and stays there
  ramp CHANNEL T RATE   channel ramps to T °C at RATE °C/min
  status                show endpoints, settings, faults and channel temperatures
  help                  list the commands
  quit                  stop the simulator

Bluetooth LE thermometer 5310A (model=5310A; the program reaches it instead
of a radio when ARQ_BLE_SIMULATOR=HOST:PORT[,HOST:PORT…] is set):
  --instrument model=5310A,tcp=PORT[,name=N][,temperature=T][,noise=S]
               [,timescale=F][,foreign=NAME;NAME][,nonconnectable=NAME][,twice]
      name        advertised name (default 5310A-00123, +1 per instrument index)
      temperature reading in °C (default 25), noise its standard deviation
      timescale   one reading every 1000 ms × F once measuring
      foreign     further devices in range that are not thermometers
      nonconnectable  names advertised as non-connectable (type 3)
      twice       its own advertisement comes twice per scan
  Console commands for it: drop (link loss), down / up (out of range / back),
  silent SECONDS (no readings), slow MS (readings late), split N (each frame
  in N notifications; default two at a random point), garbage N (next N frames
  do not start with 17 05), normal, set T (fixed temperature), frames
  (commands written to it, bad checksums marked), status.

Other options:
  --trace               print every frame received and sent (hex) on stderr
  --record FILE         write every request frame received to FILE (emptied at
                        start), one line each: "hh:mm:ss.zzz @N ENDPOINT HEX", e.g.
                        "14:02:03.120 @1 tcp 127.0.0.1:5000 010300010001cad5"
                        (ENDPOINT is "tcp HOST:PORT" or "pty PATH"; frames that
                        arrive while silent or down are recorded too)
  --exit-on-eof         quit when stdin is closed; without it the simulator runs
                        on (e.g. started with "&" or "< /dev/null") until "quit" or a signal
  -h, --help            this text
  -v, --version         print the version
)");
}

} // namespace sim
