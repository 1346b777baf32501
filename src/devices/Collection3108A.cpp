#include "Collection3108A.h"

#include "ChannelRules.h"
#include "DataFiles.h"
#include "DeviceLink.h"
#include "HexFrame.h"

#include <QDebug>

#include <cmath>
#include <limits>

namespace {
const QString kTwoWire = QStringLiteral("二线制");
const QString kThreeWire = QStringLiteral("三线制");
const QString kFourWire = QStringLiteral("四线制");

const QString kCelsius = QStringLiteral("℃");

// Code of a text in a table row; -1 when the row does not list it.
int codeOf(const QString& text, const QStringList& texts, const QList<int>& codes)
{
    const int i = texts.indexOf(text);
    return i < 0 ? -1 : codes.at(i);
}

int wiringCode(const QString& wire, bool threeWire)
{
    if (wire == kTwoWire)
        return 0;
    if (wire == kThreeWire)
        return threeWire ? 1 : -1;
    if (wire == kFourWire)
        return 2;
    return -1;
}

QStringList allUnits()
{
    return {"℃", "mV", "V", "Ω", "kΩ", "MΩ", "μA", "mA", "A", "%RH", "bar", "Pa", "KPa", "MPa"};
}
} // namespace

Collection3108A::Collection3108A(QObject* parent)
    : RegisterLogger("3108A", DeviceLink::Framing::HexCrcLowFirst, ProbeFrame(), Timing{50, 10, 100}, parent)
{
}

// ---- frames ----

QString Collection3108A::ProbeFrame()
{
    return HexFrame::withCrc(QStringLiteral("010300010001"), false);
}

QString Collection3108A::Framed(const QString& body) const
{
    return HexFrame::withCrc(Prefix() + body, false);
}

QString Collection3108A::SerialNumberFrame() const
{
    return Framed(QStringLiteral("0310000005"));
}

QString Collection3108A::SyncTimeFrame(const QDateTime& time) const
{
    const QDate d = time.date();
    const QTime t = time.time();
    QString body = QStringLiteral("101010000306");
    for (int v : {d.year() - 2000, d.month(), d.day(), t.hour(), t.minute(), t.second()})
        body += HexFrame::number(static_cast<uint>(v) & 0xFF, 2);
    return Framed(body);
}

QString Collection3108A::SingleWriteFrame(quint16 reg, quint16 value) const
{
    return Framed(QStringLiteral("06") + HexFrame::number(reg, 4) + HexFrame::number(value, 4));
}

QString Collection3108A::CoefficientFrame(int channel, const QList<float>& values) const
{
    QString quantity;
    switch (values.size()) {
    case 1: quantity = QStringLiteral("000204"); break;
    case 2: quantity = QStringLiteral("000408"); break;
    case 4: quantity = QStringLiteral("000810"); break;
    case 6: quantity = QStringLiteral("000C18"); break;
    default: return {};
    }
    if (channel < 0 || channel >= 26)
        return {};
    QString body = QStringLiteral("10") + HexFrame::number(static_cast<uint>(0x0010 + 2 * channel), 4) + quantity;
    for (float v : values)
        body += HexFrame::floatToHex(v);
    return Framed(body);
}

QString Collection3108A::ColdJunctionFrame(float temperature) const
{
    return Framed(QStringLiteral("1001F0000204") + HexFrame::floatToHex(temperature));
}

QString Collection3108A::EnableMaskFrame(quint64 mask) const
{
    QString bits;
    for (int shift = 56; shift >= 0; shift -= 8)
        bits += HexFrame::number(static_cast<uint>((mask >> shift) & 0xFF), 2);
    return Framed(QStringLiteral("101017000408") + bits);
}

QString Collection3108A::TriggerIntervalFrame(double seconds) const
{
    // Rounded to whole hundredths first: 1.15 is 1.149999… in binary and
    // its cut fraction gave 14; a round-up to the next second carries.
    const qint64 total = std::isfinite(seconds) && seconds > 0 ? std::llround(seconds * 100.0) : 0;
    const qint64 s = total / 100;
    const qint64 hundredths = total % 100;
    QString body = QStringLiteral("101019000204");
    for (qint64 v : {s / 3600, (s / 60) % 60, s % 60, hundredths})
        body += HexFrame::number(static_cast<uint>(v) & 0xFF, 2);
    return Framed(body);
}

QString Collection3108A::TriggerFrame() const
{
    return Framed(QStringLiteral("06101A0001"));
}

QString Collection3108A::ValueFrame() const
{
    return Framed(QStringLiteral("0301000000"));
}

QString Collection3108A::PointCountFrame() const
{
    return Framed(QStringLiteral("03101B0002"));
}

bool Collection3108A::ConfigWord(const Device::Channel& ch, quint16& word)
{
    int function = 0, sensor = 0, unitFlag = 0, flag = 0, wiring = 0, range = 0;
    const int notCelsius = ch.Unit == kCelsius ? 0 : 1;
    const QString& f = ch.Function;
    if (ch.Type == QStringLiteral("直流电压")) {
        range = codeOf(f, {"自动", "100mV", "1V", "10V", "100V"}, {15, 3, 2, 1, 0});
    } else if (ch.Type == QStringLiteral("直流电流")) {
        function = 1;
        flag = f == QStringLiteral("100mA-24V") ? 1 : 0;
        range = codeOf(f, {"自动", "1μA", "10μA", "100μA", "1mA", "10mA", "100mA-24V", "100mA", "1A"},
                       {15, 6, 5, 4, 3, 2, 1, 1, 0});
    } else if (ch.Type == QStringLiteral("电阻")) {
        function = 2;
        wiring = wiringCode(ch.Wire, true);
        range = codeOf(f, {"自动", "100Ω", "1kΩ", "10kΩ", "100kΩ", "1MΩ"}, {15, 4, 3, 2, 1, 0});
    } else if (ch.Type == QStringLiteral("频率")) {
        function = 3;
        range = 15;
    } else if (ch.Type == QStringLiteral("铂电阻")) {
        function = 8;
        sensor = codeOf(f, {"Ni100-618", "Ni120-672", "PT100-385", "PT100-3926", "PT100-3916", "Pt200-385",
                            "Pt500-385", "Pt1000-385", "Cu10-427", "Cu50-428", "Cu100-428", "ITS90"},
                        {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});
        unitFlag = notCelsius;
        wiring = wiringCode(ch.Wire, true);
    } else if (ch.Type == QStringLiteral("热敏电阻")) {
        function = 9;
        sensor = codeOf(f, {"2.252kΩ", "5kΩ", "10kΩ", "R(T)"}, {0, 1, 2, 3});
        unitFlag = notCelsius;
        wiring = wiringCode(ch.Wire, false);
        range = 15;
    } else if (ch.Type == QStringLiteral("热电偶")) {
        function = 10;
        sensor = codeOf(f, {"A", "B", "C", "D", "E", "G", "J", "K", "M", "N", "P", "R", "S", "T", "Au-Pt", "Pt-Pd"},
                        {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15});
        unitFlag = notCelsius;
        flag = codeOf(ch.CompensationWay, {"内部补偿", "固定冷端"}, {0, 1});
    } else {
        return false;
    }
    if (sensor < 0 || range < 0 || wiring < 0 || flag < 0)
        return false;
    word = static_cast<quint16>(range | wiring << 4 | flag << 6 | unitFlag << 7 | sensor << 8 | function << 12);
    return true;
}

double Collection3108A::Scale(const Device::Channel& ch, double raw)
{
    double v = raw;
    if (ch.Unit == QStringLiteral("mV") || ch.Unit == QStringLiteral("mA"))
        v *= 1000.0;
    else if (ch.Unit == QStringLiteral("kΩ"))
        v /= 1000.0;
    else if (ch.Unit == QStringLiteral("MΩ"))
        v /= 1000000.0;
    else if (ch.Unit == QStringLiteral("μA"))
        v *= 1000000.0;
    static const QStringList transmitterUnits = {"℃", "%RH", "bar", "Pa", "KPa", "MPa"};
    if (ch.Type == QStringLiteral("直流电流") && transmitterUnits.contains(ch.Unit))
        v *= 1000.0;
    return v;
}

QStringList Collection3108A::DecodeValues(const QString& reply) const
{
    QStringList values;
    for (int j = 0; j < m_Channels.size(); ++j) {
        const double raw = static_cast<double>(HexFrame::hexToFloat(reply.mid(8 * j + 6, 8)));
        values << QString::number(Scale(m_Channels.at(j), raw), 'f', 6);
    }
    return values;
}

// ---- protocol ----

bool Collection3108A::GetSerialNumber(QString& text)
{
    QString reply;
    if (!Exchange(SerialNumberFrame(), 30, 1, &reply))
        return false;
    text = QString::fromLatin1(QByteArray::fromHex(reply.mid(6, 20).toLatin1()));
    return true;
}

bool Collection3108A::SyncTime(QDateTime time)
{
    if (Prefix().isEmpty())
        return false;
    return Exchange(SyncTimeFrame(time), -1, 3);
}

bool Collection3108A::SetTrigger(double interval, int)
{
    if (Prefix().isEmpty())
        return false;
    return Exchange(TriggerIntervalFrame(interval), 18, 3);
}

bool Collection3108A::WriteScanning(bool on)
{
    if (Prefix().isEmpty())
        return false;
    return Exchange(SingleWriteFrame(0x1018, on ? 1 : 0), 12, 3);
}

bool Collection3108A::StartScan()
{
    return WriteScanning(true);
}

bool Collection3108A::StopScan()
{
    return WriteScanning(false);
}

bool Collection3108A::StartRead()
{
    if (Prefix().isEmpty())
        return false;
    return Write(TriggerFrame());
}

bool Collection3108A::WaitData(QStringList& values)
{
    values.clear();
    QString reply;
    for (int attempt = 0; attempt < 52; ++attempt) {
        if (!Read(reply))
            continue;
        if (reply.size() != ValueLength())
            return false;
        values = DecodeValues(reply);
        return true;
    }
    return false;
}

bool Collection3108A::ReadData(QStringList& values)
{
    values.clear();
    if (Prefix().isEmpty())
        return false;
    for (int pass = 0; pass < 2; ++pass) {
        if (!Write(TriggerFrame()))
            return false;
        QString reply;
        for (int attempt = 0; attempt < 52; ++attempt) {
            if (!Read(reply))
                continue;
            if (reply.size() == ValueLength()) {
                values = DecodeValues(reply);
                return true;
            }
            break;
        }
    }
    return false;
}

bool Collection3108A::GetData(QStringList& values)
{
    values.clear();
    if (Prefix().isEmpty())
        return false;
    QString reply;
    if (!Exchange(ValueFrame(), ValueLength(), 4, &reply))
        return false;
    values = DecodeValues(reply);
    return true;
}

bool Collection3108A::GetReadData(QStringList& values)
{
    return GetData(values);
}

bool Collection3108A::GetPointCount(int& count)
{
    if (Prefix().isEmpty())
        return false;
    QString reply;
    if (!Exchange(PointCountFrame(), 18, 1, &reply))
        return false;
    const QString digits = reply.mid(6, 8);
    QString reversed;
    for (int i = 6; i >= 0; i -= 2)
        reversed += digits.mid(i, 2);
    bool ok = false;
    const uint n = reversed.toUInt(&ok, 16);
    if (!ok)
        return false;
    count = static_cast<int>(qMin<uint>(n, static_cast<uint>(std::numeric_limits<int>::max())));
    return true;
}

bool Collection3108A::WriteCoefficients(int channel, const QList<float>& values)
{
    const QString frame = CoefficientFrame(channel, values);
    return !frame.isEmpty() && Exchange(frame, -1, 3);
}

bool Collection3108A::SetChannels(QString rate, QList<Device::Channel> channels)
{
    if (channels.isEmpty() || Prefix().isEmpty())
        return false;
    if (!StopScan())
        return false;
    if (!Exchange(SingleWriteFrame(0x000E, static_cast<quint16>(RateCode(rate))), 16, 4))
        return false;
    m_Channels = channels;
    quint64 mask = 0;
    for (const Device::Channel& ch : channels) {
        const int c = ch.ChannelNumber.toInt() - 101;
        quint16 word = 0;
        // Checked before any write for this channel: an unknown text fails it
        // without I/O.
        if (c < 0 || c >= 26 || !ConfigWord(ch, word))
            return false;
        mask |= quint64(1) << c;
        QList<float> coefficients;
        if (ch.Type == QStringLiteral("铂电阻") && ch.Function == QStringLiteral("ITS90"))
            coefficients = {ch.R0_C4.toFloat(), ch.A_C0.toFloat(), ch.B_C1.toFloat(),
                            ch.C_C2.toFloat(), ch.A4_C5.toFloat(), ch.B4_C6.toFloat()};
        else if (ch.Type == QStringLiteral("铂电阻"))
            coefficients = {ch.R0_C4.toFloat()};
        else if (ch.Type == QStringLiteral("热敏电阻") && ch.Function == QStringLiteral("R(T)"))
            coefficients = {ch.A_C0.toFloat(), ch.B_C1.toFloat(), ch.C_C2.toFloat(), ch.D_C3.toFloat()};
        if (!coefficients.isEmpty() && !WriteCoefficients(c, coefficients))
            return false;
        if (!WriteCoefficients(c, {ch.MX_B_M, ch.MX_B_B}))
            return false;
        if (!Exchange(SingleWriteFrame(static_cast<quint16>(0x1020 + c), word), 14, 3))
            return false;
    }
    const Device::Channel& first = channels.first();
    if (first.CompensationWay == QStringLiteral("固定冷端")
        && !Exchange(ColdJunctionFrame(first.ColdJunctionTemp.toFloat()), 26, 4))
        return false;
    return Exchange(EnableMaskFrame(mask), 26, 3);
}

bool Collection3108A::OpenDataFile(QString name, QStringList channels)
{
    return DataFiles::openLoggerFile(DataFile, ColumnUsed, name, channels);
}

bool Collection3108A::ReadDataFile(QDateTime time, QStringList& values)
{
    return DataFiles::readLoggerRecord(DataFile, ColumnUsed, time, values);
}

QStringList Collection3108A::CompensationList()
{
    return {QStringLiteral("内部补偿"), QStringLiteral("固定冷端")};
}

QStringList Collection3108A::UnitList(QString type)
{
    if (type == QStringLiteral("热电偶"))
        return {"℃", "mV", "V"};
    if (type == QStringLiteral("热敏电阻") || type == QStringLiteral("铂电阻"))
        return {"℃", "Ω", "kΩ", "MΩ"};
    if (type == QStringLiteral("直流电压"))
        return {"mV", "V", "℃", "%RH", "bar", "Pa", "KPa", "MPa"};
    if (type == QStringLiteral("直流电流"))
        return {"μA", "mA", "A", "℃", "%RH", "bar", "Pa", "KPa", "MPa"};
    if (type == QStringLiteral("电阻"))
        return {"Ω", "kΩ", "MΩ"};
    return allUnits();
}

QList<bool> Collection3108A::CoefficientMask(QString function)
{
    static const QStringList r0Only = {"Ni100-618", "Ni120-672", "PT100-385", "PT100-3926",
                                       "PT100-3916", "Pt200-385", "Pt500-385", "Pt1000-385",
                                       "Cu10-427", "Cu50-428", "Cu100-428"};
    if (r0Only.contains(function))
        return mask({4});
    if (function == QStringLiteral("ITS90"))
        return mask({0, 1, 2, 4, 5, 6});
    if (function == QStringLiteral("R(T)"))
        return mask({0, 1, 2, 3});
    return mask({});
}

QStringList Collection3108A::WiringList(QString type)
{
    if (type == QStringLiteral("热敏电阻"))
        return {kTwoWire, kFourWire};
    if (type == QStringLiteral("铂电阻") || type == QStringLiteral("电阻"))
        return {kTwoWire, kThreeWire, kFourWire};
    return {kTwoWire};
}

QStringList Collection3108A::TypeList(int channel)
{
    if (channel == 125 || channel == 126)
        return {QStringLiteral("直流电流")};
    return {"铂电阻", "热敏电阻", "热电偶", "直流电压", "电阻", "频率"};
}

QStringList Collection3108A::FunctionList(QString type)
{
    if (type == QStringLiteral("热电偶"))
        return {"A", "B", "C", "D", "E", "G", "J", "K", "M", "N", "P", "R", "S", "T", "Au-Pt", "Pt-Pd"};
    if (type == QStringLiteral("铂电阻"))
        return {"ITS90", "Ni100-618", "Ni120-672", "PT100-385", "PT100-3926", "PT100-3916",
                "Pt200-385", "Pt500-385", "Pt1000-385", "Cu10-427", "Cu50-428", "Cu100-428"};
    if (type == QStringLiteral("热敏电阻"))
        return {"2.252kΩ", "5kΩ", "10kΩ", "R(T)"};
    if (type == QStringLiteral("直流电压"))
        return {"自动", "100mV", "1V", "10V", "100V"};
    if (type == QStringLiteral("直流电流"))
        return {"自动", "1μA", "10μA", "100μA", "1mA", "10mA", "100mA-24V", "100mA", "1A"};
    if (type == QStringLiteral("电阻"))
        return {"自动", "100Ω", "1kΩ", "10kΩ", "100kΩ", "1MΩ"};
    return {QStringLiteral("自动")};
}

QStringList Collection3108A::ChannelNumberList(int count, QString)
{
    QStringList all;
    for (int n = 101; n <= 126; ++n)
        all << QString::number(n);
    if (count <= 0 || count > all.size())
        return all;
    return all.mid(0, count);
}

int Collection3108A::MaxChannelCount(QString)
{
    return 26;
}

bool Collection3108A::CheckChannels(QList<Device::Channel> channels, QString& message)
{
    ChannelRules::Options options{tr("功能错误！"), 12, false, 112, 124, false};
    return ChannelRules::check(*this, channels, options, message);
}

double Collection3108A::MinInterval(QString rate, QList<Device::Channel> channels)
{
    double perChannel = 0.01;
    if (rate == QStringLiteral("中速"))
        perChannel = 0.1;
    else if (rate == QStringLiteral("慢速"))
        perChannel = 1.0;
    return perChannel * channels.size();
}
