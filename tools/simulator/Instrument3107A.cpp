#include "Instrument3107A.h"

#include "Crc16.h"
#include "Physics.h"

#include <QElapsedTimer>
#include <QFile>
#include <QtEndian>

#include <cmath>
#include <cstring>
#include <memory>

namespace sim {

namespace {

const char* const kThermocoupleNames[] = {"",  "A", "B", "C", "D", "E", "G", "J", "K",  "L",    "M",
                                          "N", "P", "R", "S", "T", "U", "BP", "XK", "Au_Pt", "Pt_Pd"};

quint16 be16(const QByteArray& b, int at)
{
    return static_cast<quint16>((static_cast<quint8>(b.at(at)) << 8) | static_cast<quint8>(b.at(at + 1)));
}

void appendBe16(QByteArray* out, quint16 v)
{
    out->append(static_cast<char>(v >> 8));
    out->append(static_cast<char>(v & 0xFF));
}

// 32-bit values travel little-endian.
void appendFloat(QByteArray* out, float v)
{
    quint32 bits;
    std::memcpy(&bits, &v, sizeof bits);
    for (int i = 0; i < 4; ++i)
        out->append(static_cast<char>((bits >> (8 * i)) & 0xFF));
}

float floatAt(const QByteArray& b, int at)
{
    quint32 bits = 0;
    for (int i = 0; i < 4; ++i)
        bits |= static_cast<quint32>(static_cast<quint8>(b.at(at + i))) << (8 * i);
    float v;
    std::memcpy(&v, &bits, sizeof v);
    return v;
}

// What the instrument shows for a value it cannot represent (open sensor, overflow).
constexpr float kOverload = 9.9e37f;

float reported(double v)
{
    return std::isfinite(v) && std::fabs(v) < 1e37 ? static_cast<float>(v) : kOverload;
}

} // namespace

bool variantFromModel(const QString& model, Variant* variant)
{
    const QString m = model.trimmed().toUpper();
    if (m == QLatin1String("3107A-TC"))
        *variant = Variant::TC;
    else if (m == QLatin1String("3107A-RTD"))
        *variant = Variant::RTD;
    else if (m == QLatin1String("3107A-NTC"))
        *variant = Variant::NTC;
    else if (m == QLatin1String("3107A-PCR"))
        *variant = Variant::PCR;
    else
        return false;
    return true;
}

QString modelName(Variant variant)
{
    switch (variant) {
    case Variant::TC: return QStringLiteral("3107A-TC");
    case Variant::RTD: return QStringLiteral("3107A-RTD");
    case Variant::NTC: return QStringLiteral("3107A-NTC");
    case Variant::PCR: return QStringLiteral("3107A-PCR");
    }
    return QString();
}

QString thermocoupleName(int code)
{
    if (code < 1 || code > 20)
        return QString();
    return QLatin1String(kThermocoupleNames[code]);
}

Instrument3107A::Instrument3107A(Variant variant) : m_variant(variant)
{
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    m_monotonic = [timer] { return timer->elapsed(); };
    setIdentity(QStringLiteral("3107A00001"));
    for (auto& block : m_coefficients)
        block.fill(0.0f);
    for (int c = 0; c < kChannels; ++c) {
        if (variant == Variant::TC)
            m_coefficients[static_cast<size_t>(c)][0] = 1.0f; // M of y = Mx + B
        else if (variant == Variant::RTD)
            m_coefficients[static_cast<size_t>(c)][0] = 100.0f; // R0 of a Pt100
        m_signals[static_cast<size_t>(c)].setSeed(static_cast<quint32>(1000 + c));
    }
}

void Instrument3107A::setMonotonicClock(std::function<qint64()> clock)
{
    m_monotonic = std::move(clock);
    m_scanMs = -1;
}

double Instrument3107A::now() const
{
    return static_cast<double>(m_monotonic()) / 1000.0;
}

void Instrument3107A::setIdentity(const QString& identity)
{
    m_identity = identity.left(kIdentityLength).leftJustified(kIdentityLength, QLatin1Char(' '));
}

QDateTime Instrument3107A::clock() const
{
    return QDateTime::currentDateTime().addMSecs(m_clockOffsetMs);
}

void Instrument3107A::setClock(const QDateTime& time)
{
    m_clockOffsetMs = QDateTime::currentDateTime().msecsTo(time);
}

QString Instrument3107A::effectiveThermocouple() const
{
    const QString name = thermocoupleName(m_thermocouple);
    return physics::thermocoupleSupported(name) ? name : QStringLiteral("K");
}

double Instrument3107A::scanPeriod() const
{
    double perChannel = 0.15;
    if (m_rate == 3)
        perChannel = 0.01;
    else if (m_rate == 2)
        perChannel = 0.075;
    return perChannel * activeChannels();
}

int Instrument3107A::coefficientCount() const
{
    switch (m_variant) {
    case Variant::TC: return 2;
    case Variant::RTD: return 6;
    case Variant::NTC:
    case Variant::PCR: return 4;
    }
    return 0;
}

QVector<float> Instrument3107A::coefficients(int channel) const
{
    const auto& block = m_coefficients[static_cast<size_t>(channel)];
    return QVector<float>(block.begin(), block.begin() + coefficientCount());
}

bool Instrument3107A::sensorFits(Variant variant, LabSensor::Kind kind)
{
    switch (kind) {
    case LabSensor::Kind::Nominal: return true;
    case LabSensor::Kind::Thermocouple: return variant == Variant::TC;
    case LabSensor::Kind::Platinum: return variant == Variant::RTD;
    case LabSensor::Kind::Thermistor: return variant == Variant::NTC || variant == Variant::PCR;
    }
    return false;
}

bool Instrument3107A::setSensor(int channel, const LabSensor& sensor)
{
    if (channel < 0 || channel >= kChannels || !sensorFits(m_variant, sensor.kind))
        return false;
    m_sensors[static_cast<size_t>(channel)] = sensor;
    m_scanMs = -1;
    return true;
}

double Instrument3107A::electricalAt(int channel, double t) const
{
    const LabSensor& sensor = m_sensors[static_cast<size_t>(channel)];
    if (sensor.kind == LabSensor::Kind::Thermocouple)
        return physics::thermocoupleEmf(effectiveThermocouple(), sensor.apparentTemperature(t));
    if (!sensor.isNominal())
        return sensor.resistance(t);
    const auto& k = m_coefficients[static_cast<size_t>(channel)];
    switch (m_variant) {
    case Variant::TC:
        return physics::thermocoupleEmf(effectiveThermocouple(), t);
    case Variant::RTD: {
        // Block: R0, a, b, c, a4, b4. "PT385" channels send R0 and five zeros.
        const double r0 = k[0] > 0 ? k[0] : 100.0;
        if (k[1] == 0 && k[2] == 0 && k[3] == 0 && k[4] == 0 && k[5] == 0)
            return physics::cvdResistance(t, r0);
        physics::Its90Deviation dev;
        dev.a = k[1];
        dev.b = k[2];
        dev.c = k[3];
        dev.a4 = k[4];
        dev.b4 = k[5];
        return physics::its90Resistance(t, r0, dev);
    }
    case Variant::NTC:
    case Variant::PCR: {
        physics::ThermistorCoefficients coef{k[0], k[1], k[2], k[3]};
        // Unset coefficients: a 10 kΩ thermistor with β = 3977 K.
        if (coef.isZero())
            coef = physics::thermistorFromBeta(10000.0, 3977.0);
        return physics::thermistorResistance(t, coef);
    }
    }
    return 0;
}

double Instrument3107A::reportedTemperature(int channel, double t) const
{
    const LabSensor& sensor = m_sensors[static_cast<size_t>(channel)];
    if (m_variant == Variant::TC) {
        const auto& k = m_coefficients[static_cast<size_t>(channel)];
        return static_cast<double>(k[0]) * sensor.apparentTemperature(t) + static_cast<double>(k[1]);
    }
    if (sensor.isNominal())
        return t; // the sensor is exactly what the logger was told
    return programmedTemperature(channel, sensor.resistance(t));
}

double Instrument3107A::programmedTemperature(int channel, double resistance) const
{
    const auto& k = m_coefficients[static_cast<size_t>(channel)];
    if (m_variant == Variant::RTD) {
        const double r0 = k[0] > 0 ? k[0] : 100.0;
        if (k[1] == 0 && k[2] == 0 && k[3] == 0 && k[4] == 0 && k[5] == 0)
            return physics::cvdTemperature(resistance, r0);
        physics::Its90Deviation dev;
        dev.a = k[1];
        dev.b = k[2];
        dev.c = k[3];
        dev.a4 = k[4];
        dev.b4 = k[5];
        return physics::its90Temperature(resistance, r0, dev);
    }
    physics::ThermistorCoefficients coef{k[0], k[1], k[2], k[3]};
    if (coef.isZero())
        coef = physics::thermistorFromBeta(10000.0, 3977.0);
    return physics::thermistorTemperature(resistance, coef);
}

void Instrument3107A::refreshScan()
{
    const qint64 ms = m_monotonic();
    if (m_scanMs >= 0 && ms - m_scanMs < static_cast<qint64>(scanPeriod() * 1000.0))
        return;
    m_scanMs = ms;
    const double t = static_cast<double>(ms) / 1000.0;
    for (int c = 0; c < kChannels; ++c)
        m_scan[static_cast<size_t>(c)] = m_signals[static_cast<size_t>(c)].sample(t);
}

Instrument3107A::Reading Instrument3107A::reading(int channel)
{
    refreshScan();
    const double t = m_scan[static_cast<size_t>(channel)];
    return {t, reported(reportedTemperature(channel, t)), reported(electricalAt(channel, t))};
}

int Instrument3107A::requestLength(const QByteArray& buffer)
{
    if (buffer.size() < 2)
        return 0;
    switch (static_cast<quint8>(buffer.at(1))) {
    case 0x03:
    case 0x06:
        return 8;
    case 0x10:
        if (buffer.size() < 7)
            return 0;
        return 9 + static_cast<quint8>(buffer.at(6));
    default:
        return -1;
    }
}

QByteArray Instrument3107A::exception(quint8 function, quint8 code) const
{
    QByteArray out;
    out.append(static_cast<char>(m_address));
    out.append(static_cast<char>(function | 0x80));
    out.append(static_cast<char>(code));
    return withCrc(out);
}

QByteArray Instrument3107A::handle(const QByteArray& frame)
{
    if (frame.size() < 4 || requestLength(frame) != frame.size() || !hasValidCrc(frame))
        return QByteArray();
    catchUp(); // records due so far are taken with the settings they had
    const quint8 address = static_cast<quint8>(frame.at(0));
    const quint8 function = static_cast<quint8>(frame.at(1));
    const quint16 reg = be16(frame, 2);
    const quint16 value = be16(frame, 4);
    // The station-address read at address 1 is how a master finds a logger
    // whose address it does not know yet, so it is answered at any address.
    const bool discovery = function == 0x03 && reg == RegAddress && value == 1 && address == 1;
    if (address != m_address && !discovery)
        return QByteArray();

    switch (function) {
    case 0x03: {
        QByteArray data;
        const quint8 code = readRegisters(reg, value, &data);
        if (code)
            return exception(function, code);
        QByteArray out;
        out.append(static_cast<char>(m_address));
        out.append(static_cast<char>(function));
        out.append(static_cast<char>(data.size()));
        out.append(data);
        return withCrc(out);
    }
    case 0x06: {
        const quint8 code = writeRegister(reg, value);
        if (code)
            return exception(function, code);
        return frame; // echo
    }
    case 0x10: {
        const quint8 byteCount = static_cast<quint8>(frame.at(6));
        if (value == 0 || byteCount != value * 2)
            return exception(function, IllegalValue);
        const quint8 code = writeRegisters(reg, value, frame.mid(7, byteCount));
        if (code)
            return exception(function, code);
        // This logger echoes the whole write request, not the Modbus header only.
        return frame;
    }
    default:
        return exception(function, IllegalFunction);
    }
}

quint8 Instrument3107A::readRegisters(quint16 reg, quint16 count, QByteArray* data)
{
    if (count == 0 || count > 125)
        return IllegalValue;
    if (reg == RegAddress) {
        if (count != 1)
            return IllegalValue;
        data->append(static_cast<char>(m_address)); // one byte, as the logger sends it
        return 0;
    }
    if (reg >= RegWiring && reg <= RegRate) {
        if (reg + count > RegRate + 1)
            return IllegalAddress;
        const int values[] = {m_wiring, m_thermocouple, m_rate};
        for (int r = reg; r < reg + count; ++r)
            appendBe16(data, static_cast<quint16>(values[r - RegWiring]));
        return 0;
    }
    if (reg >= RegCoefficients && reg < RegCoefficients + 2 * kChannels) {
        if ((reg - RegCoefficients) % 2)
            return IllegalAddress;
        if (count != 2 * coefficientCount())
            return IllegalValue;
        const auto& block = m_coefficients[static_cast<size_t>((reg - RegCoefficients) / 2)];
        for (int i = 0; i < coefficientCount(); ++i)
            appendFloat(data, block[static_cast<size_t>(i)]);
        return 0;
    }
    for (const quint16 base : {quint16(RegTemperature), quint16(RegElectrical)}) {
        if (reg < base || reg >= base + 2 * kChannels)
            continue;
        if ((reg - base) % 2 || count % 2)
            return IllegalAddress;
        const int first = (reg - base) / 2;
        if (first + count / 2 > activeChannels())
            return IllegalAddress;
        QStringList sent;
        for (int c = first; c < first + count / 2; ++c) {
            const Reading r = reading(c);
            const float v = base == RegTemperature ? r.temperature : r.electrical;
            appendFloat(data, v);
            sent << QStringLiteral("%1=%2").arg(101 + c).arg(QString::number(double(v), 'g', 9));
        }
        noteSent(QStringLiteral("VALUES"), m_identity.trimmed(), sent.join(QLatin1Char(',')));
        return 0;
    }
    if (reg >= RegIdentity && reg < RegIdentity + kIdentityLength / 2) {
        if (reg + count > RegIdentity + kIdentityLength / 2)
            return IllegalAddress;
        data->append(m_identity.toLatin1().mid(2 * (reg - RegIdentity), 2 * count));
        return 0;
    }
    if (reg == RegClock) {
        if (count != 3)
            return IllegalValue;
        const QDateTime t = clock();
        const int fields[] = {t.date().year() - 2000, t.date().month(), t.date().day(),
                              t.time().hour(), t.time().minute(), t.time().second()};
        for (int f : fields)
            data->append(static_cast<char>(f));
        return 0;
    }
    return IllegalAddress;
}

quint8 Instrument3107A::writeRegister(quint16 reg, quint16 value)
{
    switch (reg) {
    case RegAddress:
        if (value < 1 || value > 247)
            return IllegalValue;
        m_address = static_cast<quint8>(value);
        return 0;
    case RegWiring: {
        // Wirings the variant's terminals allow: 0 two-, 1 three-, 2 four-wire.
        bool ok = value == 0;
        if (m_variant == Variant::RTD)
            ok = value <= 2;
        else if (m_variant == Variant::NTC)
            ok = value == 0 || value == 2;
        if (!ok)
            return IllegalValue;
        m_wiring = value;
        m_scanMs = -1;
        return 0;
    }
    case RegThermocouple:
        if (value > 20)
            return IllegalValue;
        m_thermocouple = value;
        m_scanMs = -1;
        return 0;
    case RegRate:
        if (value > 3)
            return IllegalValue;
        m_rate = value;
        return 0;
    default:
        return IllegalAddress;
    }
}

quint8 Instrument3107A::writeRegisters(quint16 reg, quint16 count, const QByteArray& data)
{
    if (reg >= RegCoefficients && reg < RegCoefficients + 2 * kChannels) {
        if ((reg - RegCoefficients) % 2)
            return IllegalAddress;
        if (count != 2 * coefficientCount())
            return IllegalValue; // a block of another variant
        auto& block = m_coefficients[static_cast<size_t>((reg - RegCoefficients) / 2)];
        for (int i = 0; i < coefficientCount(); ++i)
            block[static_cast<size_t>(i)] = floatAt(data, 4 * i);
        m_scanMs = -1;
        return 0;
    }
    if (reg == RegClock) {
        if (count != 3)
            return IllegalValue;
        auto byte = [&](int i) { return static_cast<int>(static_cast<quint8>(data.at(i))); };
        const QDate date(2000 + byte(0), byte(1), byte(2));
        const QTime time(byte(3), byte(4), byte(5));
        if (!date.isValid() || !time.isValid())
            return IllegalValue;
        setClockTime(QDateTime(date, time));
        return 0;
    }
    return IllegalAddress;
}

bool Instrument3107A::startRecording(double seconds)
{
    if (!(seconds >= 1.0) || seconds > 86400.0)
        return false;
    catchUp();
    m_recording = true;
    m_recordInterval = seconds;
    m_recordStart = now();
    m_recordStartClock = clock();
    m_recordsTaken = 0;
    catchUp(); // the first record at once
    return true;
}

void Instrument3107A::catchUp()
{
    if (!m_recording)
        return;
    const double t = now();
    const qint64 due = static_cast<qint64>(std::floor((t - m_recordStart) / m_recordInterval)) + 1;
    if (due - m_recordsTaken > kRecords)
        m_recordsTaken = due - kRecords;
    while (m_recordsTaken < due) {
        const double at = m_recordStart + static_cast<double>(m_recordsTaken) * m_recordInterval;
        Record record;
        record.time = m_recordStartClock.addMSecs(
            std::llround(static_cast<double>(m_recordsTaken) * m_recordInterval * 1000.0));
        for (int c = 0; c < activeChannels(); ++c)
            record.values << reported(reportedTemperature(c, m_signals[static_cast<size_t>(c)].sample(at)));
        m_records.append(record);
        ++m_recordsTaken;
    }
    while (m_records.size() > kRecords)
        m_records.removeFirst();
}

int Instrument3107A::recordCount()
{
    catchUp();
    return m_records.size();
}

bool Instrument3107A::setClockTime(const QDateTime& time)
{
    catchUp();
    if (m_recording)
        m_recordStartClock = m_recordStartClock.addMSecs(clock().msecsTo(time));
    setClock(time);
    return true;
}

bool Instrument3107A::exportData(const QString& path, QString* error)
{
    catchUp();
    if (m_records.isEmpty()) {
        *error = QStringLiteral("the %1 has recorded nothing (scan on first)").arg(modelName(m_variant));
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    QByteArray text = "Time";
    const int columns = m_records.first().values.size();
    for (int c = 0; c < columns; ++c)
        text += QStringLiteral(",CH%1").arg(c + 1, 2, 10, QLatin1Char('0')).toLatin1();
    text += "\r\n";
    for (const Record& record : qAsConst(m_records)) {
        text += record.time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")).toLatin1();
        for (int c = 0; c < columns; ++c)
            text += ',' + QByteArray::number(static_cast<double>(record.values.value(c)), 'f', 6);
        text += "\r\n";
    }
    if (file.write(text) != text.size()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

bool Instrument3107A::frameIntact(const QByteArray& frame) const
{
    return hasValidCrc(frame);
}

void Instrument3107A::inject(Fault fault, QByteArray* reply) const
{
    if (reply->size() < 3)
        return;
    switch (fault) {
    case Fault::BadChecksum:
        (*reply)[reply->size() - 1] = static_cast<char>(reply->at(reply->size() - 1) ^ 0x01);
        break;
    case Fault::ForeignAddress: {
        const quint8 other = static_cast<quint8>(m_address % 247 + 1);
        QByteArray body = reply->left(reply->size() - 2);
        body[0] = static_cast<char>(other);
        *reply = withCrc(body);
        break;
    }
    case Fault::Garbage:
        break; // a binary protocol has no text to garble
    }
}

QString Instrument3107A::summary() const
{
    return QStringLiteral("%1 id \"%2\" address %3").arg(modelName(m_variant), m_identity.trimmed()).arg(m_address);
}

QStringList Instrument3107A::details()
{
    QStringList lines;
    lines << QStringLiteral("   clock %1, rate %2, wiring %3%4")
                 .arg(clock().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")))
                 .arg(m_rate).arg(m_wiring)
                 .arg(m_variant == Variant::TC ? QStringLiteral(", thermocouple ") + effectiveThermocouple()
                                               : QString());
    catchUp();
    if (m_recording || !m_records.isEmpty())
        lines << QStringLiteral("   %1, %2 record(s)")
                     .arg(m_recording ? QStringLiteral("recording every %1 s").arg(m_recordInterval)
                                      : QStringLiteral("not recording"))
                     .arg(m_records.size());
    const double t0 = now();
    const QString unit = m_variant == Variant::TC ? QStringLiteral("mV") : QStringLiteral("ohm");
    for (int c = 0; c < activeChannels(); ++c) {
        ChannelSignal& s = signal(c);
        const double t = s.temperatureAt(t0);
        const LabSensor& sensor = m_sensors[static_cast<size_t>(c)];
        lines << QStringLiteral("   %1 %2 | %3 %4%5").arg(101 + c).arg(s.describe(t0))
                     .arg(electricalAt(c, t), 0, 'f', 4).arg(unit)
                     .arg(sensor.isNominal() ? QString() : QStringLiteral(" | ") + sensor.describe());
    }
    return lines;
}

} // namespace sim
