#include "Instrument1586A.h"

#include "Physics.h"

#include <QElapsedTimer>
#include <QFile>

#include <cmath>
#include <memory>

namespace sim {

namespace {

constexpr int kMaxLine = 4096;

QString number(double v)
{
    return QString::number(v, 'E', 6);
}

// "101", "101:105", "101,103" to channel indexes.
QList<int> parseChannels(const QString& text, const Instrument1586A& instrument, bool* ok)
{
    QList<int> out;
    *ok = true;
    for (const QString& part : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const int colon = part.indexOf(QLatin1Char(':'));
        const int first = instrument.channelIndex(colon < 0 ? part : part.left(colon));
        const int last = colon < 0 ? first : instrument.channelIndex(part.mid(colon + 1));
        if (first < 0 || last < first) {
            *ok = false;
            return {};
        }
        for (int c = first; c <= last; ++c)
            out << c;
    }
    return out;
}

bool onOff(const QString& text, bool* on)
{
    const QString t = text.trimmed().toUpper();
    if (t == QLatin1String("ON") || t == QLatin1String("1"))
        *on = true;
    else if (t == QLatin1String("OFF") || t == QLatin1String("0"))
        *on = false;
    else
        return false;
    return true;
}

} // namespace

Instrument1586A::Instrument1586A()
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    m_monotonic = [timer] { return timer->elapsed(); };
    setClock(QDateTime::currentDateTime());
    reset();
}

void Instrument1586A::setMonotonicClock(std::function<qint64()> clock)
{
    const QDateTime current = this->clock();
    m_monotonic = std::move(clock);
    setClock(current);
}

QDateTime Instrument1586A::clock() const
{
    const double elapsed = static_cast<double>(m_monotonic() - m_clockBaseMs) * m_clockScale;
    return m_clockBase.addMSecs(static_cast<qint64>(std::llround(elapsed)));
}

void Instrument1586A::setClock(const QDateTime& time)
{
    m_clockBase = time;
    m_clockBaseMs = m_monotonic();
}

bool Instrument1586A::setClockTime(const QDateTime& time)
{
    catchUp(); // scans due so far keep the old clock
    if (m_scanning) {
        // The running scan goes on from the new time.
        m_scanStartClock = m_scanStartClock.addMSecs(clock().msecsTo(time));
    }
    setClock(time);
    return true;
}

bool Instrument1586A::setClockScale(double scale)
{
    catchUp();
    if (m_scanning || !(scale > 0))
        return false;
    const QDateTime current = clock();
    m_clockScale = scale;
    setClock(current);
    return true;
}

double Instrument1586A::now() const
{
    return static_cast<double>(m_monotonic()) / 1000.0;
}

int Instrument1586A::indexOf(const QString& number)
{
    const QString t = number.trimmed();
    if (t == QLatin1String("001") || t == QLatin1String("1"))
        return kChannels - 1;
    bool ok = false;
    const int n = t.toInt(&ok);
    const int module = n / 100, position = n % 100;
    if (!ok || module < 1 || module > 2 || position < 1 || position > kModuleChannels)
        return -1;
    return (module - 1) * kModuleChannels + position - 1;
}

QString Instrument1586A::channelName(int index) const
{
    if (index == kChannels - 1)
        return QStringLiteral("001");
    return QString::number((index / kModuleChannels + 1) * 100 + index % kModuleChannels + 1);
}

void Instrument1586A::reset()
{
    m_channels = {};
    m_rate = QStringLiteral("MED");
    m_unit = QStringLiteral("C");
    m_timedTrigger = false;
    m_triggerSeconds = 1;
    m_triggerCount = 1;
    m_autoLog = false;
    stopScan();
}

QList<int> Instrument1586A::scanList() const
{
    QList<int> list;
    if (m_channels[kChannels - 1].on)
        list << kChannels - 1; // the front input first
    for (int c = 0; c < kChannels - 1; ++c)
        if (m_channels[static_cast<size_t>(c)].on)
            list << c;
    return list;
}

double Instrument1586A::measuringTime() const
{
    const double perChannel = m_rate == QLatin1String("FAST") ? 0.1 : m_rate == QLatin1String("SLOW") ? 4.0 : 1.0;
    return perChannel * qMax(1, scanList().size()) / m_timeScale;
}

double Instrument1586A::reported(int index, double t) const
{
    const Channel& ch = m_channels[static_cast<size_t>(index)];
    double x = 0;
    switch (ch.function) {
    case Function::Thermocouple:
    case Function::Thermistor:
    case Function::Rtd:
        x = m_unit == QLatin1String("F") ? t * 9.0 / 5.0 + 32.0 : m_unit == QLatin1String("K") ? t + 273.15 : t;
        break;
    case Function::Volt:
    case Function::VoltAc:
        x = t / 10.0; // a 0 … 10 V transmitter over 0 … 100 °C
        break;
    case Function::Current:
    case Function::CurrentAc:
        x = 0.004 + 0.016 * t / 100.0; // 4 … 20 mA over 0 … 100 °C
        break;
    case Function::Resistance:
        x = physics::cvdResistance(t, 100.0);
        break;
    case Function::Frequency:
        x = 1000.0 + 10.0 * t;
        break;
    }
    return ch.scaled ? ch.gain * x + ch.offset : x;
}

Instrument1586A::Scan Instrument1586A::measure(double at, const QDateTime& time)
{
    Scan scan;
    scan.time = time;
    scan.channels = m_scanning ? m_scanChannels : scanList();
    for (int c : qAsConst(scan.channels))
        scan.values << number(reported(c, m_signals[static_cast<size_t>(c)].sample(at)));
    return scan;
}

QString Instrument1586A::sendScan(const Scan& scan)
{
    QStringList sent;
    for (int i = 0; i < scan.values.size() && i < scan.channels.size(); ++i)
        sent << channelName(scan.channels.at(i)) + QLatin1Char('=') + scan.values.at(i);
    noteSent(QStringLiteral("VALUES"), m_serial, sent.join(QLatin1Char(',')));
    return scan.values.join(QLatin1Char(','));
}

QString Instrument1586A::header() const
{
    QStringList fields{QStringLiteral("Record"), QStringLiteral("Time")};
    for (int c : (m_scanning ? m_scanChannels : scanList())) {
        QString unit;
        switch (m_channels[static_cast<size_t>(c)].function) {
        case Function::Thermocouple:
        case Function::Thermistor:
        case Function::Rtd: unit = m_unit; break;
        case Function::Volt:
        case Function::VoltAc: unit = QStringLiteral("V"); break;
        case Function::Current:
        case Function::CurrentAc: unit = QStringLiteral("A"); break;
        case Function::Resistance: unit = QStringLiteral("Ohm"); break;
        case Function::Frequency: unit = QStringLiteral("Hz"); break;
        }
        fields << QStringLiteral("Ch %1 (%2)").arg(channelName(c), unit);
    }
    fields << QStringLiteral("Alarm Flags") << QStringLiteral("Digital I/O");
    return fields.join(QLatin1Char(','));
}

QString Instrument1586A::recordLine(qint64 number, const Scan& scan) const
{
    return QStringLiteral("%1,%2,%3,0,0")
        .arg(number)
        .arg(scan.time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz")), scan.values.join(QLatin1Char(',')));
}

void Instrument1586A::store(const Scan& scan)
{
    m_latest = scan;
    m_readings.append(scan);
    while (m_readings.size() > kMemory)
        m_readings.removeFirst();
}

void Instrument1586A::catchUp()
{
    if (!m_scanning)
        return;
    const double t = now();
    // Seconds of the instrument's clock between scans, and of real time.
    const double clockInterval = m_timedTrigger ? qMax(1, m_triggerSeconds) : measuringTime() * m_clockScale;
    const double interval = clockInterval / m_clockScale;
    qint64 due = static_cast<qint64>(std::floor((t - m_scanStart) / interval)) + 1;
    if (m_triggerCount > 0)
        due = qMin<qint64>(due, m_triggerCount);
    if (due - m_scansTaken > kMemory)
        m_scansTaken = due - kMemory;
    while (m_scansTaken < due) {
        const double at = m_scanStart + static_cast<double>(m_scansTaken) * interval;
        const qint64 offsetMs = std::llround(static_cast<double>(m_scansTaken) * clockInterval * 1000.0);
        const Scan scan = measure(at, m_scanStartClock.addMSecs(offsetMs));
        store(scan);
        ++m_scansTaken;
        if (m_logIndex >= 0 && m_logs[m_logIndex].lines.size() <= kMemory)
            m_logs[m_logIndex].lines << recordLine(m_scansTaken, scan);
    }
    if (m_triggerCount > 0 && m_scansTaken >= m_triggerCount)
        stopScan();
}

void Instrument1586A::startScan()
{
    catchUp();
    m_scanChannels = scanList();
    m_scanning = true;
    m_scanStart = now();
    m_scanStartClock = clock();
    m_scansTaken = 0;
    m_logIndex = -1;
    if (m_autoLog && !m_scanChannels.isEmpty()) {
        if (m_logs.size() >= kLogFiles)
            m_logs.removeFirst();
        LogFile log;
        log.name = QStringLiteral("SCAN%1").arg(++m_logNumber, 4, 10, QLatin1Char('0'));
        log.lines << header();
        m_logs.append(log);
        m_logIndex = m_logs.size() - 1;
    }
    catchUp(); // the first scan starts at once
}

int Instrument1586A::fillLogFiles(int count)
{
    catchUp();
    while (m_logs.size() < qMin(count, kLogFiles)) {
        LogFile log;
        log.name = QStringLiteral("SCAN%1").arg(++m_logNumber, 4, 10, QLatin1Char('0'));
        log.lines << header();
        // Inserted before a running scan's file, which stays the one logged to.
        m_logs.insert(m_logIndex >= 0 ? m_logIndex++ : m_logs.size(), log);
    }
    return m_logs.size();
}

void Instrument1586A::stopScan()
{
    m_scanning = false;
    m_logIndex = -1;
}

int Instrument1586A::readingCount()
{
    catchUp();
    return m_readings.size();
}

QList<Instrument1586A::LogFile> Instrument1586A::logFiles()
{
    catchUp();
    return m_logs;
}

void Instrument1586A::error(int code, const QString& text)
{
    if (m_errors.size() < 20)
        m_errors << QStringLiteral("%1,\"%2\"").arg(code).arg(text);
}

int Instrument1586A::frameLength(const QByteArray& buffer) const
{
    const int nl = buffer.indexOf('\n');
    if (nl >= 0)
        return nl + 1;
    return buffer.size() > kMaxLine ? -1 : 0;
}

void Instrument1586A::inject(Fault fault, QByteArray* reply) const
{
    if (fault == Fault::Garbage)
        *reply = "#@!x\r\n";
}

QByteArray Instrument1586A::handle(const QByteArray& frame)
{
    m_replyDelayMs = 0;
    catchUp();
    QString text = QString::fromLatin1(frame).trimmed();
    if (text.isEmpty())
        return {};
    QList<int> channels;
    const int at = text.indexOf(QLatin1String("(@"));
    if (at >= 0) {
        const int close = text.indexOf(QLatin1Char(')'), at);
        bool ok = false;
        channels = parseChannels(text.mid(at + 2, close < 0 ? -1 : close - at - 2), *this, &ok);
        if (close < 0 || !ok) {
            error(-221, QStringLiteral("Settings conflict"));
            return {};
        }
        text = text.left(at).trimmed();
        if (text.endsWith(QLatin1Char(',')))
            text.chop(1);
    }
    const int space = text.indexOf(QLatin1Char(' '));
    const QString head = (space < 0 ? text : text.left(space)).toUpper();
    const QString params = space < 0 ? QString() : text.mid(space + 1).trimmed();
    const QString reply = execute(head, params, channels);
    return reply.isNull() ? QByteArray() : (reply + QStringLiteral("\r\n")).toLatin1();
}

QString Instrument1586A::execute(const QString& head, const QString& params, const QList<int>& channels)
{
    const auto forChannels = [&](auto apply) {
        if (channels.isEmpty()) {
            error(-109, QStringLiteral("Missing parameter"));
            return;
        }
        for (int c : channels)
            apply(m_channels[static_cast<size_t>(c)]);
    };
    const auto setFunction = [&](Function f) {
        forChannels([&](Channel& ch) {
            ch.function = f;
            ch.settings = head + QLatin1Char(' ') + params;
        });
    };
    const auto addSetting = [&] {
        forChannels([&](Channel& ch) { ch.settings += QStringLiteral("; ") + head + QLatin1Char(' ') + params; });
    };

    if (head == QLatin1String("*IDN?"))
        return QStringLiteral("FLUKE,1586A,%1,1.00").arg(m_serial);
    if (head == QLatin1String("*RST")) {
        reset();
        return {};
    }
    if (head == QLatin1String("*CLS")) {
        m_errors.clear();
        return {};
    }
    if (head == QLatin1String("SYST:ERR?"))
        return m_errors.isEmpty() ? QStringLiteral("0,\"No error\"") : m_errors.takeFirst();
    if (head == QLatin1String("SYST:DATE") || head == QLatin1String("SYST:TIME")) {
        const QStringList v = params.split(QLatin1Char(','));
        int n[3] = {0, 0, 0};
        bool ok = v.size() == 3;
        for (int i = 0; ok && i < 3; ++i)
            n[i] = v.at(i).trimmed().toInt(&ok);
        const QDateTime current = clock();
        const QDateTime wanted = head == QLatin1String("SYST:DATE")
                                     ? QDateTime(QDate(n[0], n[1], n[2]), current.time())
                                     : QDateTime(current.date(), QTime(n[0], n[1], n[2]));
        if (!ok || !wanted.isValid())
            error(-222, QStringLiteral("Data out of range"));
        else
            setClockTime(wanted);
        return {};
    }
    if ((head == QLatin1String("SYST:DATE?") || head == QLatin1String("SYST:TIME?")) && m_clockAnswerMs != 0) {
        if (m_clockAnswerMs < 0)
            return {};
        m_replyDelayMs = m_clockAnswerMs; // the answer holds the clock of now
    }
    if (head == QLatin1String("SYST:DATE?")) {
        const QDate d = clock().date();
        return QStringLiteral("%1,%2,%3").arg(d.year()).arg(d.month()).arg(d.day());
    }
    if (head == QLatin1String("SYST:TIME?")) {
        const QTime t = clock().time();
        return QStringLiteral("%1,%2,%3.000").arg(t.hour()).arg(t.minute()).arg(t.second());
    }
    if (head == QLatin1String("RATE")) {
        const QString r = params.toUpper();
        if (r == QLatin1String("FAST") || r == QLatin1String("MED") || r == QLatin1String("SLOW"))
            m_rate = r;
        else
            error(-224, QStringLiteral("Illegal parameter value"));
        return {};
    }
    if (head == QLatin1String("UNIT:TEMP")) {
        const QString u = params.toUpper();
        if (u == QLatin1String("C") || u == QLatin1String("F") || u == QLatin1String("K"))
            m_unit = u;
        else
            error(-224, QStringLiteral("Illegal parameter value"));
        return {};
    }
    if (head == QLatin1String("ROUT:CHAN:STAT")) {
        bool on = false;
        if (!onOff(params, &on)) {
            error(-224, QStringLiteral("Illegal parameter value"));
            return {};
        }
        forChannels([&](Channel& ch) {
            if (on && !ch.on)
                ch = Channel();
            ch.on = on;
        });
        return {};
    }
    if (head.startsWith(QLatin1String("TEMP:TC:"))) {
        if (head == QLatin1String("TEMP:TC:TYPE"))
            setFunction(Function::Thermocouple);
        else
            addSetting();
        return {};
    }
    if (head.startsWith(QLatin1String("TEMP:THER:")) || head.startsWith(QLatin1String("TEMP:FTH:"))) {
        if (head.endsWith(QLatin1String(":TYPE")))
            setFunction(Function::Thermistor);
        else
            addSetting();
        return {};
    }
    if (head.startsWith(QLatin1String("TEMP:RTD:")) || head.startsWith(QLatin1String("TEMP:TRTD:"))
        || head.startsWith(QLatin1String("TEMP:FRTD:"))) {
        if (head.endsWith(QLatin1String(":TYPE")))
            setFunction(Function::Rtd);
        else
            addSetting();
        return {};
    }
    if (head.startsWith(QLatin1String("VOLT:AC:RANG"))) {
        setFunction(Function::VoltAc);
        return {};
    }
    if (head.startsWith(QLatin1String("VOLT:RANG"))) {
        setFunction(Function::Volt);
        return {};
    }
    if (head.startsWith(QLatin1String("CURR:AC:RANG"))) {
        setFunction(Function::CurrentAc);
        return {};
    }
    if (head.startsWith(QLatin1String("CURR:RANG"))) {
        setFunction(Function::Current);
        return {};
    }
    if (head.startsWith(QLatin1String("RES:RANG")) || head.startsWith(QLatin1String("FRES:RANG"))) {
        setFunction(Function::Resistance);
        return {};
    }
    if (head == QLatin1String("CONF:FREQ")) {
        setFunction(Function::Frequency);
        return {};
    }
    if (head == QLatin1String("CALC:SCAL:STAT") || head == QLatin1String("CALC:SCAL:GAIN")
        || head == QLatin1String("CALC:SCAL:OFFS")) {
        bool ok = true;
        bool on = false;
        const double v = head == QLatin1String("CALC:SCAL:STAT") ? (ok = onOff(params, &on), 0.0)
                                                                 : params.toDouble(&ok);
        if (!ok || !std::isfinite(v)) {
            error(-224, QStringLiteral("Illegal parameter value"));
            return {};
        }
        forChannels([&](Channel& ch) {
            if (head == QLatin1String("CALC:SCAL:STAT"))
                ch.scaled = on;
            else if (head == QLatin1String("CALC:SCAL:GAIN"))
                ch.gain = v;
            else
                ch.offset = v;
        });
        return {};
    }
    if (head == QLatin1String("TRIG:SOUR")) {
        const QString s = params.toUpper();
        if (s.startsWith(QLatin1String("TIM")))
            m_timedTrigger = true;
        else if (s.startsWith(QLatin1String("IMM")))
            m_timedTrigger = false;
        else
            error(-224, QStringLiteral("Illegal parameter value"));
        return {};
    }
    if (head == QLatin1String("TRIG:TIM") || head == QLatin1String("TRIG:COUN")) {
        bool ok = false;
        const int v = params.toInt(&ok);
        if (!ok || v < 0)
            error(-224, QStringLiteral("Illegal parameter value"));
        else if (head == QLatin1String("TRIG:TIM"))
            m_triggerSeconds = v;
        else
            m_triggerCount = v;
        return {};
    }
    if (head == QLatin1String("DATA:CLE")) {
        m_readings.clear();
        m_latest = Scan();
        return {};
    }
    if (head == QLatin1String("DATA:POIN?"))
        return QString::number(m_readings.size());
    if (head == QLatin1String("DATA?") || head == QLatin1String("DATA:READ?")) {
        if (m_readings.isEmpty()) {
            error(-230, QStringLiteral("Data stale"));
            return {};
        }
        const Scan scan = head == QLatin1String("DATA?") ? m_readings.last() : m_readings.takeFirst();
        return sendScan(scan);
    }
    if (head == QLatin1String("DATA:LOG:AUTO")) {
        if (!onOff(params, &m_autoLog))
            error(-224, QStringLiteral("Illegal parameter value"));
        return {};
    }
    if (head == QLatin1String("INIT")) {
        if (scanList().isEmpty())
            error(-221, QStringLiteral("No channels enabled"));
        else
            startScan();
        return {};
    }
    if (head == QLatin1String("ABOR")) {
        stopScan();
        return {};
    }
    if (head == QLatin1String("READ?")) {
        if (scanList().isEmpty() || m_scanning) {
            error(-213, QStringLiteral("Init ignored"));
            return {};
        }
        const Scan scan = measure(now(), clock());
        store(scan);
        m_replyDelayMs = static_cast<int>(std::lround(measuringTime() * 1000.0));
        return sendScan(scan);
    }
    if (head == QLatin1String("MEM:LOG:NFIL?"))
        return QString::number(m_logs.size());
    if (head == QLatin1String("MEM:LOG:NAME?")) {
        bool ok = false;
        const int i = params.toInt(&ok);
        if (!ok || i < 1 || i > m_logs.size()) {
            error(-222, QStringLiteral("Data out of range"));
            return {};
        }
        return m_logs.at(i - 1).name;
    }
    if (head == QLatin1String("MEM:LOG:READ?")) {
        QString name = params;
        if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
            name = name.mid(1, name.size() - 2);
        for (const LogFile& log : qAsConst(m_logs))
            if (log.name == name)
                return log.lines.join(QStringLiteral("\r\n"));
        error(-256, QStringLiteral("File name not found"));
        return {};
    }
    error(-113, QStringLiteral("Undefined header"));
    return {};
}

bool Instrument1586A::exportData(const QString& path, QString* error)
{
    catchUp();
    if (m_readings.isEmpty()) {
        *error = QStringLiteral("the 1586A holds no readings (READ?, INIT or scan first)");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    QStringList lines{header()};
    qint64 n = 0;
    for (const Scan& scan : qAsConst(m_readings))
        lines << recordLine(++n, scan);
    const QByteArray text = (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1();
    if (file.write(text) != text.size()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QString Instrument1586A::summary() const
{
    return QStringLiteral("1586A serial \"%1\"").arg(m_serial);
}

QStringList Instrument1586A::details()
{
    catchUp();
    const double t = now();
    QStringList lines;
    lines << QStringLiteral("  clock %1%9, rate %2, unit %3, trigger %4, auto log %5, %6, %7 reading(s), %8 log file(s)")
                 .arg(clock().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), m_rate, m_unit,
                      m_timedTrigger ? QStringLiteral("every %1 s × %2").arg(m_triggerSeconds).arg(m_triggerCount)
                                     : QStringLiteral("immediate"),
                      m_autoLog ? QStringLiteral("on") : QStringLiteral("off"),
                      m_scanning ? QStringLiteral("scanning (%1 taken)").arg(m_scansTaken) : QStringLiteral("idle"))
                 .arg(m_readings.size())
                 .arg(m_logs.size())
                 .arg(m_clockScale == 1.0 ? QString() : QStringLiteral(" (running x%1)").arg(m_clockScale));
    if (m_clockAnswerMs != 0)
        lines << (m_clockAnswerMs < 0 ? QStringLiteral("  clock queries unanswered")
                                      : QStringLiteral("  clock queries answered after %1 ms").arg(m_clockAnswerMs));
    for (const LogFile& log : qAsConst(m_logs))
        lines << QStringLiteral("  log %1: %2 record(s)").arg(log.name).arg(log.lines.size() - 1);
    for (int c : scanList()) {
        const Channel& ch = m_channels[static_cast<size_t>(c)];
        lines << QStringLiteral("  %1 %2%3: %4")
                     .arg(channelName(c), ch.settings.isEmpty() ? QStringLiteral("VOLT (default)") : ch.settings,
                          ch.scaled ? QStringLiteral(", scaled %1x%2").arg(ch.gain).arg(ch.offset) : QString(),
                          m_signals[static_cast<size_t>(c)].describe(t));
    }
    return lines;
}

} // namespace sim
