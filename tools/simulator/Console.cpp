#include "Console.h"

#include "Instrument1586A.h"
#include "Instrument3107A.h"
#include "InstrumentSource.h"
#include "SimulatedLogger.h"
#include "SimulatorConfig.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>

namespace sim {

namespace {

bool parseNumber(const QString& text, double* out)
{
    bool ok = false;
    *out = text.toDouble(&ok);
    return ok && std::isfinite(*out);
}

// A whole number in [low, high].
bool parseCount(const QString& text, int low, int high, int* out)
{
    bool ok = false;
    *out = text.toInt(&ok);
    return ok && *out >= low && *out <= high;
}

InstrumentSource* sourceOf(SimulatedLogger* logger)
{
    return dynamic_cast<InstrumentSource*>(&logger->instrument());
}

} // namespace

QString CommandProcessor::execute(const QString& input, bool* quit)
{
    *quit = false;
    QStringList words = input.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.isEmpty())
        return QString();

    QList<SimulatedLogger*> targets = m_loggers;
    if (words.first().startsWith(QLatin1Char('@'))) {
        bool ok = false;
        const int n = words.first().mid(1).toInt(&ok);
        if (!ok || n < 1 || n > m_loggers.size())
            return QStringLiteral("ERROR no instrument %1 (there are %2)").arg(words.first()).arg(m_loggers.size());
        targets = {m_loggers[n - 1]};
        words.removeFirst();
        if (words.isEmpty())
            return QStringLiteral("ERROR command missing after @%1").arg(n);
    }
    const QString command = words.first().toLower();
    const QStringList a = words.mid(1);
    auto usage = [&](const char* form) { return QStringLiteral("ERROR usage: %1").arg(QLatin1String(form)); };

    if (command == QLatin1String("help") || command == QLatin1String("?")) {
        return QStringLiteral("OK commands: drop | silent SECONDS | down | up | badcrc N | foreign N | garbage N | "
                              "slow MS | split N | normal | frames | set CH T | fix CH T | ramp CH T RATE | "
                              "sources: set T | fix T | settle | output on|off | refdrift D | refnoise S | "
                              "timescale X | export FILE | "
                              "scan on [S]|off | clock DATE TIME | clockanswer MS|none | logfiles N | status | quit   (prefix @N for one instrument; CH a channel number or all)");
    }
    if (command == QLatin1String("quit") || command == QLatin1String("exit")) {
        *quit = true;
        return QStringLiteral("OK quit");
    }
    if (command == QLatin1String("drop")) {
        if (!a.isEmpty())
            return usage("drop");
        int n = 0;
        for (SimulatedLogger* l : targets)
            n += l->dropClients();
        return QStringLiteral("OK drop %1 connection(s)").arg(n);
    }
    if (command == QLatin1String("silent")) {
        double seconds = 0;
        if (a.size() != 1 || !parseNumber(a[0], &seconds) || seconds < 0)
            return usage("silent SECONDS");
        for (SimulatedLogger* l : targets)
            l->silence(seconds);
        return QStringLiteral("OK silent %1 s").arg(seconds);
    }
    if (command == QLatin1String("badcrc") || command == QLatin1String("foreign")) {
        const bool crc = command == QLatin1String("badcrc");
        int n = 0;
        if (a.size() != 1 || !parseCount(a[0], 0, 1000000, &n))
            return usage(crc ? "badcrc REPLIES" : "foreign REPLIES");
        const auto fault = crc ? SimulatedInstrument::Fault::BadChecksum : SimulatedInstrument::Fault::ForeignAddress;
        for (SimulatedLogger* l : targets)
            if (!l->instrument().supports(fault))
                return QStringLiteral("ERROR instrument @%1 has no %2").arg(m_loggers.indexOf(l) + 1)
                    .arg(crc ? QStringLiteral("CRC") : QStringLiteral("station address"));
        for (SimulatedLogger* l : targets) {
            if (crc)
                l->setBadChecksums(n);
            else
                l->setForeignReplies(n);
        }
        return QStringLiteral("OK %1 %2 reply(ies)").arg(command).arg(n);
    }
    if (command == QLatin1String("garbage")) {
        int n = 0;
        if (a.size() != 1 || !parseCount(a[0], 0, 1000000, &n))
            return usage("garbage REPLIES");
        for (SimulatedLogger* l : targets)
            if (!l->instrument().supports(SimulatedInstrument::Fault::Garbage))
                return QStringLiteral("ERROR instrument @%1 has no text replies").arg(m_loggers.indexOf(l) + 1);
        for (SimulatedLogger* l : targets)
            l->setGarbageReplies(n);
        return QStringLiteral("OK garbage %1 reply(ies)").arg(n);
    }
    // Source commands: set-point, forced temperature, settle, output, time scale.
    QList<InstrumentSource*> sources;
    for (SimulatedLogger* l : targets)
        if (InstrumentSource* s = sourceOf(l))
            sources << s;
    // "set T" and "fix T" address sources; without one they are a logger's
    // command missing its channel, answered with that usage below.
    const bool sourceForm = (command == QLatin1String("set") || command == QLatin1String("fix")) && a.size() == 1
                            && !sources.isEmpty();
    // A 1586A's clock and timed scans: "timescale X" addressed to scanners only.
    QList<Instrument1586A*> scanners;
    for (SimulatedLogger* l : targets)
        if (auto* scanner = dynamic_cast<Instrument1586A*>(&l->instrument()))
            scanners << scanner;
    if (command == QLatin1String("clockanswer")) {
        int ms = 0;
        const bool none = a.value(0).compare(QLatin1String("none"), Qt::CaseInsensitive) == 0;
        if (a.size() != 1 || (!none && !parseCount(a[0], 0, 600000, &ms)))
            return usage("clockanswer MILLISECONDS (0 … 600000, 0 normal) | clockanswer none");
        if (scanners.isEmpty() || scanners.size() != targets.size())
            return QStringLiteral("ERROR 'clockanswer' is a 1586A's clock (address it with @N)");
        for (Instrument1586A* scanner : scanners)
            scanner->setClockAnswerDelay(none ? -1 : ms);
        return none ? QStringLiteral("OK clockanswer none") : QStringLiteral("OK clockanswer %1 ms").arg(ms);
    }
    if (command == QLatin1String("logfiles")) {
        int n = 0;
        if (a.size() != 1 || !parseCount(a[0], 0, Instrument1586A::kLogFiles, &n))
            return usage("logfiles COUNT (0 … 100: the memory then holds at least that many)");
        if (scanners.isEmpty() || scanners.size() != targets.size())
            return QStringLiteral("ERROR 'logfiles' is a 1586A's memory (address it with @N)");
        int held = 0;
        for (Instrument1586A* scanner : scanners)
            held = scanner->fillLogFiles(n);
        return QStringLiteral("OK logfiles %1").arg(held);
    }
    if (command == QLatin1String("timescale") && sources.isEmpty() && !scanners.isEmpty()) {
        double value = 0;
        if (a.size() != 1 || !parseNumber(a[0], &value) || !(value > 0) || value > 1e6)
            return usage("timescale FACTOR (above 0, at most 1000000)");
        for (Instrument1586A* scanner : scanners)
            if (scanner->scanning())
                return QStringLiteral("ERROR the 1586A is scanning (scan off first)");
        for (Instrument1586A* scanner : scanners)
            scanner->setClockScale(value);
        return QStringLiteral("OK timescale %1").arg(value);
    }
    if (sourceForm || command == QLatin1String("settle") || command == QLatin1String("output")
        || command == QLatin1String("timescale") || command == QLatin1String("refdrift")
        || command == QLatin1String("refnoise")) {
        if (sources.isEmpty())
            return QStringLiteral("ERROR '%1' needs a temperature source (loggers take set CHANNEL T)").arg(command);
        double value = 0;
        if (command == QLatin1String("settle")) {
            if (!a.isEmpty())
                return usage("settle");
            for (InstrumentSource* s : sources)
                s->settle();
            return QStringLiteral("OK settle");
        }
        if (command == QLatin1String("output")) {
            bool on = false;
            const QString v = a.value(0).toLower();
            if (a.size() != 1 || (v != QLatin1String("on") && v != QLatin1String("off")))
                return usage("output on|off");
            on = v == QLatin1String("on");
            for (InstrumentSource* s : sources)
                s->setOutput(on);
            return QStringLiteral("OK output %1").arg(v);
        }
        if (command == QLatin1String("refdrift")) {
            if (a.size() != 1 || !parseNumber(a[0], &value))
                return usage("refdrift DEGREES_PER_MINUTE (0 ends the drift)");
            for (InstrumentSource* s : sources)
                s->setReferenceDrift(value);
            return QStringLiteral("OK refdrift %1").arg(value);
        }
        if (command == QLatin1String("refnoise")) {
            if (a.size() != 1 || !parseNumber(a[0], &value) || value < 0)
                return usage("refnoise DEGREES (standard deviation, at least 0)");
            for (InstrumentSource* s : sources)
                s->setReferenceNoise(value);
            return QStringLiteral("OK refnoise %1").arg(value);
        }
        if (command == QLatin1String("timescale")) {
            if (a.size() != 1 || !parseNumber(a[0], &value) || !(value > 0) || value > 1e6)
                return usage("timescale FACTOR (above 0, at most 1000000)");
            for (InstrumentSource* s : sources)
                s->setTimeScale(value);
            return QStringLiteral("OK timescale %1").arg(value);
        }
        if (!parseNumber(a[0], &value))
            return usage(command == QLatin1String("set") ? "set TEMPERATURE (a source's set-point)"
                                                         : "fix TEMPERATURE (a source's temperature now)");
        if (command == QLatin1String("set")) {
            for (InstrumentSource* s : sources)
                if (!s->inRange(value))
                    return QStringLiteral("ERROR %1 takes set-points %2 … %3 °C")
                        .arg(QLatin1String(s->model().name)).arg(s->model().low).arg(s->model().high);
            for (InstrumentSource* s : sources)
                s->setSetPoint(value);
        } else {
            for (InstrumentSource* s : sources)
                s->force(value);
        }
        return QStringLiteral("OK %1 %2").arg(command).arg(value);
    }
    if (command == QLatin1String("slow")) {
        int ms = 0;
        if (a.size() != 1 || !parseCount(a[0], 0, 600000, &ms))
            return usage("slow MILLISECONDS (0 … 600000)");
        for (SimulatedLogger* l : targets)
            l->setReplyDelay(ms);
        return QStringLiteral("OK slow %1 ms").arg(ms);
    }
    if (command == QLatin1String("split")) {
        int pieces = 0;
        if (a.size() != 1 || !parseCount(a[0], 1, 256, &pieces))
            return usage("split PIECES (1 … 256)");
        for (SimulatedLogger* l : targets)
            l->setReplyPieces(pieces);
        return QStringLiteral("OK split %1").arg(pieces);
    }
    if (command == QLatin1String("normal")) {
        if (!a.isEmpty())
            return usage("normal");
        for (SimulatedLogger* l : targets)
            l->normal();
        return QStringLiteral("OK normal");
    }
    if (command == QLatin1String("frames")) {
        if (!a.isEmpty())
            return usage("frames");
        QStringList lines;
        for (SimulatedLogger* l : targets)
            lines << l->takeFrames();
        const int n = lines.size();
        lines << QStringLiteral("OK frames %1").arg(n);
        return lines.join(QLatin1Char('\n'));
    }
    if (command == QLatin1String("down")) {
        if (!a.isEmpty())
            return usage("down");
        for (SimulatedLogger* l : targets)
            l->goDown();
        return QStringLiteral("OK down");
    }
    if (command == QLatin1String("up")) {
        if (!a.isEmpty())
            return usage("up");
        QStringList lines;
        for (SimulatedLogger* l : targets) {
            QString error;
            if (!l->goUp(&error))
                return QStringLiteral("ERROR %1").arg(error);
            lines << l->listenLines();
        }
        lines << QStringLiteral("OK up");
        return lines.join(QLatin1Char('\n'));
    }
    if (command == QLatin1String("set") || command == QLatin1String("fix") || command == QLatin1String("ramp")) {
        const bool isRamp = command == QLatin1String("ramp");
        double value = 0, rate = 0;
        if (a.size() != (isRamp ? 3 : 2) || !parseNumber(a[1], &value) || (isRamp && !parseNumber(a[2], &rate)))
            return usage(isRamp ? "ramp CHANNEL TEMPERATURE RATE_PER_MINUTE"
                                : command == QLatin1String("set") ? "set CHANNEL TEMPERATURE" : "fix CHANNEL TEMPERATURE");
        const bool all = a[0].compare(QLatin1String("all"), Qt::CaseInsensitive) == 0;
        for (SimulatedLogger* l : targets)
            if (!all && !sourceOf(l) && l->instrument().channelIndex(a[0]) < 0)
                return QStringLiteral("ERROR channel '%1' is not a channel of instrument @%2 (or all)")
                    .arg(a[0]).arg(m_loggers.indexOf(l) + 1);
        if (isRamp && rate <= 0)
            return QStringLiteral("ERROR the ramp rate must be positive (°C/min)");
        if (std::all_of(targets.begin(), targets.end(), [](SimulatedLogger* l) { return sourceOf(l) != nullptr; }))
            return QStringLiteral("ERROR a temperature source takes set T, fix T or settle");
        for (SimulatedLogger* l : targets) {
            const double now = l->instrument().now();
            const int first = all ? 0 : l->instrument().channelIndex(a[0]);
            const int last = all ? l->instrument().channelCount() - 1 : first;
            for (int c = qMax(0, first); c <= last && c < l->instrument().channelCount(); ++c) {
                ChannelSignal& s = l->instrument().signal(c);
                if (isRamp)
                    s.rampTo(value, rate, now);
                else if (command == QLatin1String("fix"))
                    s.setFixed(value);
                else
                    s.setSetPoint(value, now);
            }
            l->instrument().invalidateScan();
        }
        return QStringLiteral("OK %1 %2 %3").arg(command, a[0]).arg(value);
    }
    if (command == QLatin1String("export")) {
        if (a.size() != 1)
            return usage("export FILE");
        if (targets.size() != 1)
            return QStringLiteral("ERROR export writes one instrument's memory: use @N export FILE");
        QString error;
        if (!targets.first()->instrument().exportData(a[0], &error))
            return QStringLiteral("ERROR %1").arg(error);
        return QStringLiteral("OK export %1").arg(a[0]);
    }
    if (command == QLatin1String("scan")) {
        const QString v = a.value(0).toLower();
        double seconds = 1.0;
        const bool on = v == QLatin1String("on");
        if (a.isEmpty() || a.size() > (on ? 2 : 1) || (!on && v != QLatin1String("off"))
            || (a.size() == 2 && (!parseNumber(a[1], &seconds) || seconds < 1 || seconds > 86400)))
            return usage("scan on [SECONDS] | scan off (SECONDS 1 … 86400, a 3107A's recording interval)");
        QList<Instrument3107A*> recorders;
        for (SimulatedLogger* l : targets)
            if (auto* recorder = dynamic_cast<Instrument3107A*>(&l->instrument()))
                recorders << recorder;
        if (scanners.isEmpty() && recorders.isEmpty())
            return QStringLiteral("ERROR 'scan' is the scan key of a 1586A or a 3107A");
        if (a.size() == 2 && !scanners.isEmpty())
            return QStringLiteral("ERROR a 1586A scans at its trigger interval (TRIG:TIM)");
        for (Instrument1586A* scanner : scanners)
            if (on && scanner->scanList().isEmpty())
                return QStringLiteral("ERROR the 1586A has no channel switched on");
        for (Instrument1586A* scanner : scanners) {
            if (on)
                scanner->startScan();
            else
                scanner->stopScan();
        }
        for (Instrument3107A* recorder : recorders) {
            if (on)
                recorder->startRecording(seconds);
            else
                recorder->stopRecording();
        }
        return QStringLiteral("OK scan %1").arg(v);
    }
    if (command == QLatin1String("clock")) {
        const QString text = a.join(QLatin1Char(' '));
        QDateTime time = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
        if (!time.isValid())
            time = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        if (!time.isValid())
            return usage("clock YYYY-MM-DD hh:mm:ss[.zzz]");
        for (SimulatedLogger* l : targets)
            if (sourceOf(l))
                return QStringLiteral("ERROR instrument @%1 keeps no clock").arg(m_loggers.indexOf(l) + 1);
        for (SimulatedLogger* l : targets)
            l->instrument().setClockTime(time);
        return QStringLiteral("OK clock %1").arg(time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")));
    }
    if (command == QLatin1String("status")) {
        QStringList lines;
        for (SimulatedLogger* l : targets) {
            SimulatedInstrument& in = l->instrument();
            const int index = m_loggers.indexOf(l) + 1;
            QStringList endpoints = l->listenLines();
            for (QString& e : endpoints)
                e.remove(0, 7); // "LISTEN "
            QString state = l->isDown() ? QStringLiteral("down") : QStringLiteral("up");
            if (l->silentRemaining() > 0)
                state += QStringLiteral(", silent %1 s").arg(l->silentRemaining(), 0, 'f', 1);
            state += l->faultText();
            lines << QStringLiteral("@%1 %2 [%3] %4, %5 client(s)")
                         .arg(index).arg(in.summary(), endpoints.join(QStringLiteral(", ")), state)
                         .arg(l->clientCount());
            lines << in.details();
        }
        lines << QStringLiteral("OK status");
        return lines.join(QLatin1Char('\n'));
    }
    return QStringLiteral("ERROR unknown command '%1' (try help)").arg(words.first());
}

void StdinReader::run()
{
    std::string line;
    while (std::getline(std::cin, line))
        emit lineRead(QString::fromLocal8Bit(line.c_str()).trimmed());
    emit endOfInput();
}

} // namespace sim
