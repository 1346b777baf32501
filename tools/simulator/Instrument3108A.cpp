#include "Instrument3108A.h"

#include "Crc16.h"
#include "Physics.h"

#include <QElapsedTimer>
#include <QFile>

#include <cmath>
#include <cstring>

namespace sim {

namespace {

quint16 be16(const QByteArray& b, int at)
{
    return static_cast<quint16>(static_cast<quint8>(b.at(at)) << 8 | static_cast<quint8>(b.at(at + 1)));
}

float leFloat(const QByteArray& b, int at)
{
    quint32 bits = 0;
    for (int i = 3; i >= 0; --i)
        bits = bits << 8 | static_cast<quint8>(b.at(at + i));
    float v = 0;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

void appendLeFloat(QByteArray* out, float v)
{
    quint32 bits = 0;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 4; ++i)
        out->append(static_cast<char>((bits >> (8 * i)) & 0xFF));
}

const char* const kThermocouples[16] = {"A", "B", "C", "D", "E", "G", "J", "K",
                                        "M", "N", "P", "R", "S", "T", "Au-Pt", "Pt-Pd"};
const char* const kFunctions[16] = {"DC voltage", "DC current", "resistance", "frequency", "?", "?", "?", "?",
                                    "platinum/nickel/copper", "thermistor", "thermocouple", "?", "?", "?", "?", "?"};

// Resistance thermometers by sensor code: R0 and a two-term curve
// R = R0(1 + a·t + b·t²) (nickel and copper linear).
struct Rtd
{
    const char* name;
    double r0, a, b;
};
const Rtd kRtds[12] = {
    {"Ni100-618", 100, 6.18e-3, 0},      {"Ni120-672", 120, 6.72e-3, 0},
    {"PT100-385", 100, 3.9083e-3, -5.775e-7}, {"PT100-3926", 100, 3.9848e-3, -5.87e-7},
    {"PT100-3916", 100, 3.9739e-3, -5.870e-7}, {"Pt200-385", 200, 3.9083e-3, -5.775e-7},
    {"Pt500-385", 500, 3.9083e-3, -5.775e-7}, {"Pt1000-385", 1000, 3.9083e-3, -5.775e-7},
    {"Cu10-427", 10, 4.27e-3, 0},        {"Cu50-428", 50, 4.28e-3, 0},
    {"Cu100-428", 100, 4.28e-3, 0},      {"ITS90", 25.5, 0, 0},
};

// Thermistors by sensor code: 25 °C resistance and beta.
const double kThermistorR25[3] = {2252, 5000, 10000};
const double kThermistorBeta[3] = {3891, 3891, 3977};
constexpr double kAmbient = 23.0; // reference junction of internal compensation

} // namespace

Instrument3108A::Instrument3108A()
{
    QElapsedTimer* timer = new QElapsedTimer; // lives as long as the clock function
    timer->start();
    std::shared_ptr<QElapsedTimer> shared(timer);
    m_monotonic = [shared] { return shared->elapsed(); };
    setIdentity(QStringLiteral("3108A00001"));
}

void Instrument3108A::setMonotonicClock(std::function<qint64()> clock)
{
    m_monotonic = std::move(clock);
}

void Instrument3108A::setIdentity(const QString& identity)
{
    m_identity = identity.left(kIdentityLength).leftJustified(kIdentityLength, QLatin1Char(' '));
}

QDateTime Instrument3108A::clock() const
{
    return QDateTime::currentDateTime().addMSecs(m_clockOffsetMs);
}

void Instrument3108A::setClock(const QDateTime& time)
{
    m_clockOffsetMs = QDateTime::currentDateTime().msecsTo(time);
}

double Instrument3108A::now() const
{
    return static_cast<double>(m_monotonic()) / 1000.0;
}

double Instrument3108A::measuringTime() const
{
    const double perChannel = m_rate == 3 ? 0.01 : m_rate == 2 ? 0.1 : m_rate == 1 ? 1.0 : 0.01;
    return perChannel * qMax(1, m_scanList.size()) / m_timeScale;
}

double Instrument3108A::reported(int channel, double t) const
{
    const Setting& s = m_settings[static_cast<size_t>(channel)];
    const int function = s.word >> 12;
    const int sensor = (s.word >> 8) & 0xF;
    const bool celsius = !(s.word & 0x80);
    const bool fixedJunction = s.word & 0x40;
    double x = 0;
    switch (function) {
    case 0: // a transmitter: 0 … 10 V over 0 … 100 °C
        x = t / 10.0;
        break;
    case 1: // a 4 … 20 mA transmitter over 0 … 100 °C
        x = 0.004 + 0.016 * t / 100.0;
        break;
    case 2: // a Pt100 read as a plain resistance
        x = physics::cvdResistance(t, 100.0);
        break;
    case 3: // a frequency-output sensor
        x = 1000.0 + 10.0 * t;
        break;
    case 8: {
        if (celsius) {
            x = t; // the sensor follows the curve the instrument was given
            break;
        }
        const Rtd& rtd = kRtds[qMin(sensor, 11)];
        const double r0 = s.coefficients.isEmpty() || !(s.coefficients.at(0) > 0) ? rtd.r0 : s.coefficients.at(0);
        if (sensor == 11) {
            physics::Its90Deviation dev;
            if (s.coefficients.size() == 6) {
                dev.a = s.coefficients.at(1);
                dev.b = s.coefficients.at(2);
                dev.c = s.coefficients.at(3);
                dev.a4 = s.coefficients.at(4);
                dev.b4 = s.coefficients.at(5);
            }
            x = physics::its90Resistance(t, r0, dev);
        } else if (rtd.b == 0) {
            x = r0 * (1 + rtd.a * t);
        } else {
            x = physics::cvdResistance(t, r0, rtd.a, rtd.b);
        }
        break;
    }
    case 9: {
        if (celsius) {
            x = t;
            break;
        }
        physics::ThermistorCoefficients k;
        if (sensor == 3 && s.coefficients.size() == 4)
            k = {s.coefficients.at(0), s.coefficients.at(1), s.coefficients.at(2), s.coefficients.at(3)};
        if (k.isZero()) {
            const int i = sensor < 3 ? sensor : 2;
            k = physics::thermistorFromBeta(kThermistorR25[i], kThermistorBeta[i]);
        }
        x = physics::thermistorResistance(t, k);
        break;
    }
    case 10: {
        if (celsius) {
            x = t;
            break;
        }
        const QString type = QLatin1String(kThermocouples[sensor]);
        const double junction = fixedJunction ? static_cast<double>(m_coldJunction) : kAmbient;
        x = (physics::thermocoupleEmf(type, t) - physics::thermocoupleEmf(type, junction)) / 1000.0;
        break;
    }
    default:
        x = 0;
    }
    return static_cast<double>(s.m) * x + static_cast<double>(s.b);
}

int Instrument3108A::frameLength(const QByteArray& buffer) const
{
    if (buffer.size() < 2)
        return 0;
    switch (static_cast<quint8>(buffer.at(1))) {
    case 0x03:
    case 0x06:
        return 8;
    case 0x10:
        return buffer.size() < 7 ? 0 : 9 + static_cast<quint8>(buffer.at(6));
    default:
        return -1;
    }
}

bool Instrument3108A::frameIntact(const QByteArray& frame) const
{
    return hasValidCrcLowFirst(frame);
}

void Instrument3108A::inject(Fault fault, QByteArray* reply) const
{
    if (reply->size() < 3)
        return;
    if (fault == Fault::BadChecksum) {
        (*reply)[reply->size() - 1] = static_cast<char>(reply->at(reply->size() - 1) ^ 0x01);
    } else if (fault == Fault::ForeignAddress) {
        QByteArray body = reply->left(reply->size() - 2);
        body[0] = static_cast<char>(m_address % 247 + 1);
        *reply = withCrcLowFirst(body);
    }
}

QByteArray Instrument3108A::reply(QByteArray body) const
{
    body.prepend(static_cast<char>(m_address));
    return withCrcLowFirst(body);
}

QByteArray Instrument3108A::exception(quint8 function, quint8 code) const
{
    QByteArray body;
    body.append(static_cast<char>(function | 0x80));
    body.append(static_cast<char>(code));
    return reply(body);
}

Instrument3108A::Scan Instrument3108A::measure(double at, const QDateTime& time)
{
    Scan scan;
    scan.time = time;
    scan.values.fill(std::nan(""), kChannels);
    for (int c : qAsConst(m_scanList))
        scan.values[c] = reported(c, m_signals[static_cast<size_t>(c)].sample(at));
    return scan;
}

QByteArray Instrument3108A::valueFrame(const Scan& scan)
{
    QByteArray body;
    body.append('\x03');
    body.append(static_cast<char>(4 * m_scanList.size()));
    QStringList sent;
    for (int c : qAsConst(m_scanList)) {
        const float v = static_cast<float>(std::isnan(scan.values.value(c)) ? 0.0 : scan.values.value(c));
        appendLeFloat(&body, v);
        sent << QStringLiteral("%1=%2").arg(101 + c).arg(QString::number(double(v), 'g', 9));
    }
    noteSent(QStringLiteral("VALUES"), m_identity.trimmed(), sent.join(QLatin1Char(',')));
    return reply(body);
}

void Instrument3108A::catchUp()
{
    if (!m_scanning)
        return;
    const double t = now();
    const double interval = m_interval > 0 ? m_interval : 1.0;
    const qint64 due = static_cast<qint64>(std::floor((t - m_scanStart) / interval)) + 1;
    if (due - m_scansTaken > kMemory)
        m_scansTaken = due - kMemory;
    const QDateTime wall = clock();
    while (m_scansTaken < due) {
        const double at = m_scanStart + static_cast<double>(m_scansTaken) * interval;
        m_memory.append(measure(at, wall.addMSecs(-static_cast<qint64>((t - at) * 1000.0))));
        ++m_scansTaken;
    }
    while (m_memory.size() > kMemory)
        m_memory.removeFirst();
}

int Instrument3108A::memoryCount()
{
    catchUp();
    return m_memory.size();
}

QByteArray Instrument3108A::handle(const QByteArray& frame)
{
    m_replyDelayMs = 0;
    if (frame.size() < 8 || frameLength(frame) != frame.size() || !hasValidCrcLowFirst(frame))
        return {};
    catchUp();
    const quint8 address = static_cast<quint8>(frame.at(0));
    const quint8 function = static_cast<quint8>(frame.at(1));
    const quint16 reg = be16(frame, 2);
    const quint16 value = be16(frame, 4);
    // The station read at address 1 finds a logger whose address is unknown.
    const bool discovery = function == 0x03 && reg == RegAddress && value == 1 && address == 1;
    if (address != m_address && !discovery)
        return {};

    if (function == 0x03) {
        QByteArray data;
        if (reg == RegAddress && value == 1) {
            data.append(static_cast<char>(m_address));
        } else if (reg == RegValues && value == 0) {
            if (!m_latest.time.isValid())
                m_latest = measure(now(), clock());
            return valueFrame(m_latest);
        } else if (reg == RegIdentity && value == 5) {
            data = m_identity.toLatin1();
        } else if (reg == RegClock && value == 3) {
            const QDateTime t = clock();
            for (int f : {t.date().year() - 2000, t.date().month(), t.date().day(), t.time().hour(),
                          t.time().minute(), t.time().second()})
                data.append(static_cast<char>(f));
        } else if (reg == RegCount && value == 2) {
            const quint32 n = static_cast<quint32>(m_memory.size());
            for (int i = 0; i < 4; ++i)
                data.append(static_cast<char>((n >> (8 * i)) & 0xFF));
        } else {
            return exception(function, 2);
        }
        QByteArray body;
        body.append('\x03');
        body.append(static_cast<char>(data.size()));
        return reply(body + data);
    }

    if (function == 0x06) {
        if (reg == RegRate && value <= 3) {
            m_rate = value;
            return frame; // the usual echo
        }
        if (reg == RegScanning && value <= 1) {
            if (value == 1 && !m_scanning) {
                m_scanStart = now();
                m_scansTaken = 0;
            }
            m_scanning = value == 1;
            return reply(frame.mid(1, 3)); // function and register only
        }
        if (reg == RegTrigger && value == 1) {
            // No echo: the values are the answer, once measured.
            m_latest = measure(now(), clock());
            m_replyDelayMs = static_cast<int>(std::lround(measuringTime() * 1000.0));
            return valueFrame(m_latest);
        }
        if (reg >= RegConfig && reg < RegConfig + kChannels) {
            const int c = reg - RegConfig;
            m_settings[static_cast<size_t>(c)].word = value;
            m_written.removeAll(c);
            m_written.append(c);
            return reply(frame.mid(1, 3) + QByteArray(1, '\0')); // register and a status byte
        }
        return exception(function, reg == RegTrigger || reg == RegRate || reg == RegScanning ? 3 : 2);
    }

    // 0x10: write multiple registers.
    const int bytes = static_cast<quint8>(frame.at(6));
    const QByteArray data = frame.mid(7, bytes);
    if (bytes != 2 * value)
        return exception(function, 3);
    if (reg >= RegCoefficients && reg < RegCoefficients + 2 * kChannels && (reg - RegCoefficients) % 2 == 0) {
        Setting& s = m_settings[static_cast<size_t>((reg - RegCoefficients) / 2)];
        QVector<float> floats;
        for (int at = 0; at + 4 <= data.size(); at += 4)
            floats << leFloat(data, at);
        if (floats.size() == 2) {
            s.m = floats.at(0);
            s.b = floats.at(1);
        } else if (floats.size() == 1 || floats.size() == 4 || floats.size() == 6) {
            s.coefficients = floats;
        } else {
            return exception(function, 3);
        }
        return frame; // the whole request echoed
    }
    if (reg == RegColdJunction && value == 2) {
        m_coldJunction = leFloat(data, 0);
        return frame;
    }
    if (reg == RegClock && value == 3) {
        const QDate date(2000 + static_cast<quint8>(data.at(0)), static_cast<quint8>(data.at(1)),
                         static_cast<quint8>(data.at(2)));
        const QTime time(static_cast<quint8>(data.at(3)), static_cast<quint8>(data.at(4)),
                         static_cast<quint8>(data.at(5)));
        if (!date.isValid() || !time.isValid())
            return exception(function, 3);
        setClock(QDateTime(date, time));
        return frame;
    }
    if (reg == RegEnable && value == 4) {
        quint64 mask = 0;
        for (int i = 0; i < 8; ++i)
            mask = mask << 8 | static_cast<quint8>(data.at(i));
        m_mask = mask;
        // Channels report in the order they were configured, then any other
        // enabled channel in ascending order.
        m_scanList.clear();
        for (int c : qAsConst(m_written))
            if (m_mask >> c & 1)
                m_scanList.append(c);
        for (int c = 0; c < kChannels; ++c)
            if ((m_mask >> c & 1) && !m_scanList.contains(c))
                m_scanList.append(c);
        m_written.clear();
        m_latest = Scan();
        // The acknowledgement carries the 32 mask bits the channels use.
        return reply(frame.mid(1, 6) + data.right(4));
    }
    if (reg == RegInterval && value == 2) {
        const int h = static_cast<quint8>(data.at(0)), m = static_cast<quint8>(data.at(1));
        const int s = static_cast<quint8>(data.at(2)), hundredths = static_cast<quint8>(data.at(3));
        if (m > 59 || s > 59 || hundredths > 99)
            return exception(function, 3);
        m_interval = 3600.0 * h + 60.0 * m + s + hundredths / 100.0;
        return reply(frame.mid(1, 6)); // the request's header
    }
    return exception(function, 2);
}

bool Instrument3108A::exportData(const QString& path, QString* error)
{
    catchUp();
    if (m_memory.isEmpty()) {
        *error = QStringLiteral("the 3108A holds no scans (start scanning first)");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    QByteArray text = "Time";
    for (int c = 0; c < kChannels; ++c)
        text += QStringLiteral(",CH%1").arg(c + 1, 2, 10, QLatin1Char('0')).toLatin1();
    text += "\r\n";
    for (const Scan& scan : qAsConst(m_memory)) {
        text += scan.time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toLatin1();
        for (int c = 0; c < kChannels; ++c) {
            text += ',';
            if (!std::isnan(scan.values.value(c)))
                text += QByteArray::number(scan.values.value(c), 'f', 6);
        }
        text += "\r\n";
    }
    if (file.write(text) != text.size()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

QString Instrument3108A::summary() const
{
    return QStringLiteral("3108A id \"%1\" address %2").arg(m_identity.trimmed()).arg(m_address);
}

QStringList Instrument3108A::details()
{
    catchUp();
    const double t = now();
    QStringList lines;
    lines << QStringLiteral("  clock %1, rate %2, %3, %4 scan(s) in memory")
                 .arg(clock().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")))
                 .arg(m_rate)
                 .arg(m_scanning ? QStringLiteral("scanning every %1 s").arg(m_interval) : QStringLiteral("not scanning"))
                 .arg(m_memory.size());
    for (int c : qAsConst(m_scanList)) {
        const Setting& s = m_settings[static_cast<size_t>(c)];
        lines << QStringLiteral("  %1 word %2 (%3) M %4 B %5: %6")
                     .arg(101 + c)
                     .arg(s.word, 4, 16, QLatin1Char('0'))
                     .arg(QLatin1String(kFunctions[s.word >> 12]))
                     .arg(static_cast<double>(s.m))
                     .arg(static_cast<double>(s.b))
                     .arg(m_signals[static_cast<size_t>(c)].describe(t));
    }
    return lines;
}

} // namespace sim
