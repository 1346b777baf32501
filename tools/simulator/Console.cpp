#include "Console.h"

#include "SimulatedLogger.h"
#include "SimulatorConfig.h"

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
        return QStringLiteral("OK commands: drop | silent SECONDS | down | up | set CH T | fix CH T | "
                              "ramp CH T RATE | status | quit   (prefix @N for one instrument; CH 101…116 or all)");
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
        int first = 0, last = 15;
        if (a[0].compare(QLatin1String("all"), Qt::CaseInsensitive) != 0) {
            first = last = channelIndex(a[0]);
            if (first < 0)
                return QStringLiteral("ERROR channel '%1' is not 101 … 116 or all").arg(a[0]);
        }
        if (isRamp && rate <= 0)
            return QStringLiteral("ERROR the ramp rate must be positive (°C/min)");
        for (SimulatedLogger* l : targets) {
            const double now = l->instrument().now();
            for (int c = first; c <= last; ++c) {
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
    if (command == QLatin1String("status")) {
        QStringList lines;
        for (SimulatedLogger* l : targets) {
            Instrument3107A& in = l->instrument();
            const int index = m_loggers.indexOf(l) + 1;
            QStringList endpoints = l->listenLines();
            for (QString& e : endpoints)
                e.remove(0, 7); // "LISTEN "
            QString state = l->isDown() ? QStringLiteral("down") : QStringLiteral("up");
            if (l->silentRemaining() > 0)
                state += QStringLiteral(", silent %1 s").arg(l->silentRemaining(), 0, 'f', 1);
            lines << QStringLiteral("@%1 %2 id \"%3\" address %4 [%5] %6, %7 client(s)")
                         .arg(index).arg(modelName(in.variant()), in.identity().trimmed())
                         .arg(in.stationAddress()).arg(endpoints.join(QStringLiteral(", ")), state)
                         .arg(l->clientCount());
            lines << QStringLiteral("   clock %1, rate %2, wiring %3%4")
                         .arg(in.clock().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")))
                         .arg(in.rateCode()).arg(in.wiringCode())
                         .arg(in.variant() == Variant::TC ? QStringLiteral(", thermocouple ") + in.effectiveThermocouple()
                                                          : QString());
            const double now = in.now();
            const QString unit = in.variant() == Variant::TC ? QStringLiteral("mV") : QStringLiteral("ohm");
            for (int c = 0; c < in.activeChannels(); ++c) {
                const double t = in.signal(c).temperatureAt(now);
                lines << QStringLiteral("   %1 %2 | %3 %4").arg(101 + c).arg(in.signal(c).describe(now))
                             .arg(in.electricalAt(c, t), 0, 'f', 4).arg(unit);
            }
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
