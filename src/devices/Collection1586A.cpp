#include "Collection1586A.h"

#include "ChannelRules.h"
#include "DataFiles.h"
#include "DeviceLink.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QDebug>

namespace {
const QString kTwoWire = QStringLiteral("二线制");
const QString kThreeWire = QStringLiteral("三线制");
const QString kFourWire = QStringLiteral("四线制");
const QString kEnd = QStringLiteral("\r\n");

QString line(const QString& command)
{
    return command + kEnd;
}

// Coefficient texts as written in the channel record, each followed by ",".
QString coefficients(std::initializer_list<const QString*> fields)
{
    QString out;
    for (const QString* f : fields)
        out += *f + QLatin1Char(',');
    return out;
}

QString gain(float value)
{
    return QString::number(static_cast<double>(value), 'g', 6);
}

// "2024,3,5", "+14,+7,+9.000", "2024,03,05", "\"14:07:09\"", "2024-03-05",
// "2024/3/5" or NR3 numbers ("+2.024000E+03,…") to three numbers; false
// unless there are three. A field beyond any date or time ("1e30", "nan")
// is refused before the conversion, which would be undefined for it.
bool threeNumbers(const QString& reply, int out[3])
{
    QString text = reply.trimmed();
    text.remove(QLatin1Char('"'));
    // A "-" separates the fields of a date unless it is an exponent's sign.
    static const QRegularExpression separators(QStringLiteral("[,:/;\\s]+|(?<![eE])-"));
    const QStringList parts = text.split(separators, Qt::SkipEmptyParts);
    if (parts.size() != 3)
        return false;
    for (int i = 0; i < 3; ++i) {
        bool ok = false;
        const double v = parts.at(i).trimmed().toDouble(&ok);
        if (!ok || !(v >= 0.0 && v < 100000.0))
            return false;
        out[i] = static_cast<int>(v);
    }
    return true;
}
} // namespace

Collection1586A::Collection1586A(QObject* parent)
    : Collection(parent), m_Link(new DeviceLink(OpenFlag, DeviceLink::Framing::Lines, 30000, this))
{
}

Collection1586A::~Collection1586A()
{
    // The link refers to this driver's open flag: it goes before the flag does.
    delete m_Link;
    m_Link = nullptr;
}

QList<int> Collection1586A::Modules(const QString& module)
{
    if (module.isEmpty())
        return {1, 2};
    QList<int> modules;
    const QStringList flags = module.split(QLatin1Char(','));
    for (int i = 0; i < flags.size() && i < 6; ++i) {
        if (flags.at(i) == QStringLiteral("1"))
            modules << i + 1;
    }
    return modules;
}

bool Collection1586A::PortList(QStringList& names)
{
    names = SerialPortNames();
    return true;
}

bool Collection1586A::Open(QString mode, QString address, QString port)
{
    emit m_Link->Open_signals(mode, address, port.toInt());
    Delay(1000);
    if (OpenFlag)
        return true;
    // A connection completing after this answer would leave the link open
    // behind the caller's back.
    m_Link->abandonOpen();
    return false;
}

bool Collection1586A::Close()
{
    return m_Link->closeLink();
}

bool Collection1586A::IsOpen()
{
    return OpenFlag;
}

bool Collection1586A::Read(QString& reply)
{
    return m_Link->waitReply(reply, 100, 10);
}

bool Collection1586A::Write(QString command)
{
    if (!OpenFlag)
        return false;
    emit m_Link->Write_signals(command);
    Delay(200);
    return true;
}

bool Collection1586A::Query(const QString& command, QString& reply)
{
    return Write(line(command)) && Read(reply);
}

bool Collection1586A::GetSerialNumber(QString& text)
{
    QString reply;
    if (!Query(QStringLiteral("*IDN?"), reply))
        return false;
    if (!reply.contains(QLatin1String("FLUKE")) || !reply.contains(QLatin1String("FLUKE,1586A")))
        return false;
    text = reply;
    return true;
}

bool Collection1586A::ClockQuery(const QString& command, QString& reply)
{
    // A clock answer may be slow: it gets a few seconds, not one. Lines still
    // queued from before would be taken for it.
    m_Link->dropReplies();
    if (!Write(line(command)))
        return false;
    for (int attempt = 0; attempt < kClockReads; ++attempt) {
        if (Read(reply))
            return true;
        if (!OpenFlag)
            return false;
    }
    return false;
}

bool Collection1586A::SyncTime(QDateTime time)
{
    // The standard SCPI clock commands, read back: the device test reports a
    // clock that did not take the time instead of carrying on silently.
    const QDate d = time.date();
    const QTime t = time.time();
    QElapsedTimer sent;
    sent.start();
    if (!Write(line(QStringLiteral("SYST:DATE %1,%2,%3").arg(d.year()).arg(d.month()).arg(d.day())))
        || !Write(line(QStringLiteral("SYST:TIME %1,%2,%3").arg(t.hour()).arg(t.minute()).arg(t.second()))))
        return false;
    // The set commands went out. A clock that cannot be read back is no
    // reason to refuse the instrument: that is logged, and only a clock that
    // reads back wrong fails.
    QString dateReply, timeReply;
    if (!ClockQuery(QStringLiteral("SYST:DATE?"), dateReply)) {
        qWarning() << "1586A: the clock was set but its date could not be read back";
        return true;
    }
    const qint64 asked = sent.elapsed();
    if (!ClockQuery(QStringLiteral("SYST:TIME?"), timeReply)) {
        qWarning() << "1586A: the clock was set but its time could not be read back";
        return true;
    }
    const qint64 answered = sent.elapsed();
    QDateTime read;
    if (!ClockReply(dateReply, timeReply, read)) {
        qWarning() << "1586A: the clock was set but reads back in an unknown form:" << dateReply << timeReply;
        return true;
    }
    // The instrument read its clock somewhere between the time query and its
    // answer; the date was read before the time, so across midnight they may
    // belong to neighbouring days.
    const QDateTime earliest = time.addMSecs(asked - 2000);
    const QDateTime latest = time.addMSecs(answered + 2000);
    for (int day : {0, 1, -1}) {
        const QDateTime candidate = read.addDays(day);
        if (candidate >= earliest && candidate <= latest)
            return true;
    }
    qWarning() << "1586A: clock reads" << read << "after setting" << time;
    return false;
}

bool Collection1586A::ClockReply(const QString& dateReply, const QString& timeReply, QDateTime& read)
{
    int date[3], clock[3];
    if (!threeNumbers(dateReply, date) || !threeNumbers(timeReply, clock))
        return false;
    const QDateTime value(QDate(date[0], date[1], date[2]), QTime(clock[0], clock[1], clock[2]));
    if (!value.isValid())
        return false;
    read = value;
    return true;
}

QString Collection1586A::Scoped(const QString& command, const QString& channel)
{
    return command + QStringLiteral("(@") + channel + QLatin1Char(')') + kEnd;
}

QString Collection1586A::RateCommand(const QString& rate)
{
    QString word;
    if (rate == QStringLiteral("快速"))
        word = QStringLiteral("FAST");
    else if (rate == QStringLiteral("中速"))
        word = QStringLiteral("MED");
    else if (rate == QStringLiteral("慢速"))
        word = QStringLiteral("SLOW");
    return line(QStringLiteral("RATE ") + word);
}

QStringList Collection1586A::ChannelCommands(const Device::Channel& ch)
{
    QStringList list{QStringLiteral("ROUT:CHAN:STAT ON,")};
    const QString& f = ch.Function;
    const QString abcd = coefficients({&ch.A_C0, &ch.B_C1, &ch.C_C2, &ch.D_C3});
    if (ch.Type == QStringLiteral("热电偶")) {
        list << QStringLiteral("TEMP:TC:TYPE ") + f + QLatin1Char(',');
        if (f == QStringLiteral("S") || f == QStringLiteral("R"))
            list << QStringLiteral("TEMP:TC:") + f + QStringLiteral(":COEF ") + abcd;
        else if (f == QStringLiteral("POLY"))
            list << QStringLiteral("TEMP:TC:POLY:COEF ") + abcd + coefficients({&ch.R0_C4, &ch.A4_C5, &ch.B4_C6});
        // The front input has no reference-junction setting of its own.
        if (ch.ChannelNumber != QStringLiteral("001")) {
            if (ch.CompensationWay == QStringLiteral("内部补偿")) {
                list << QStringLiteral("TEMP:TC:RJUN:TYPE INT,");
            } else if (ch.CompensationWay == QStringLiteral("固定冷端")) {
                list << QStringLiteral("TEMP:TC:RJUN:TYPE FIX,");
                list << QStringLiteral("TEMP:TC:RJUN ") + ch.ColdJunctionTemp + QLatin1Char(',');
            }
        }
    } else if ((ch.Type == QStringLiteral("热敏电阻") || ch.Type == QStringLiteral("铂电阻"))
               && ch.Unit == QStringLiteral("Ohm")) {
        // A calibration reads the sensor's resistance, not a temperature the
        // channel's present coefficients make of it. Three-wire sensors have
        // no resistance function: SetChannels refuses them.
        if (ch.Wire == kTwoWire)
            list << QStringLiteral("RES:RANG:AUTO ON,");
        else if (ch.Wire == kFourWire)
            list << QStringLiteral("FRES:RANG:AUTO ON,");
    } else if (ch.Type == QStringLiteral("热敏电阻")) {
        const QString p = ch.Wire == kTwoWire ? QStringLiteral("TEMP:THER:")
                          : ch.Wire == kFourWire ? QStringLiteral("TEMP:FTH:") : QString();
        if (!p.isEmpty()) {
            if (f == QStringLiteral("2.252kΩ"))
                list << p + QStringLiteral("TYPE R2K2,");
            else if (f == QStringLiteral("5kΩ"))
                list << p + QStringLiteral("TYPE R5K,");
            else if (f == QStringLiteral("10kΩ"))
                list << p + QStringLiteral("TYPE R10K,");
            else if (f == QStringLiteral("R(T)"))
                list << p + QStringLiteral("TYPE RPOL,") << p + QStringLiteral("RPOL:COEF ") + abcd;
        }
    } else if (ch.Type == QStringLiteral("铂电阻")) {
        const QString p = ch.Wire == kTwoWire ? QStringLiteral("TEMP:RTD:")
                          : ch.Wire == kThreeWire ? QStringLiteral("TEMP:TRTD:")
                          : ch.Wire == kFourWire ? QStringLiteral("TEMP:FRTD:") : QString();
        const QString s = f == QStringLiteral("PT385") ? QStringLiteral("A385")
                          : f == QStringLiteral("PT392") ? QStringLiteral("A392")
                          : f == QStringLiteral("CVD") ? QStringLiteral("ABC")
                          : f == QStringLiteral("ITS90") ? QStringLiteral("SPRT") : QString();
        if (!p.isEmpty()) {
            list << p + QStringLiteral("TYPE ") + s + QLatin1Char(',');
            if (f == QStringLiteral("PT385") || f == QStringLiteral("PT392") || f == QStringLiteral("CVD"))
                list << p + s + QStringLiteral(":RZER ") + ch.R0_C4 + QLatin1Char(',');
            if (f == QStringLiteral("CVD"))
                list << p + s + QStringLiteral(":COEF ") + coefficients({&ch.A_C0, &ch.B_C1, &ch.C_C2});
            if (f == QStringLiteral("ITS90")) {
                list << p + s + QStringLiteral(":RTPW ") + ch.R0_C4 + QLatin1Char(',');
                list << p + s + QStringLiteral(":COEF:HIGH ") + abcd;
                list << p + s + QStringLiteral(":COEF:LOW ") + coefficients({&ch.A4_C5, &ch.B4_C6});
            }
        }
    } else if (ch.Type == QStringLiteral("直流电压") || ch.Type == QStringLiteral("交流电压")) {
        const QString p = ch.Type == QStringLiteral("直流电压") ? QStringLiteral("VOLT:RANG")
                                                               : QStringLiteral("VOLT:AC:RANG");
        static const QStringList ranges{"100mV", "1V", "10V", "50V", "100V", "150V", "自动"};
        static const QStringList args{" 0.1,", " 1,", " 10,", " 50,", " 100,", " 150,", ":AUTO ON,"};
        const int i = ranges.indexOf(f);
        if (i >= 0)
            list << p + args.at(i);
    } else if (ch.Type == QStringLiteral("直流电流") || ch.Type == QStringLiteral("交流电流")) {
        const QString p = ch.Type == QStringLiteral("直流电流") ? QStringLiteral("CURR:RANG")
                                                               : QStringLiteral("CURR:AC:RANG");
        static const QStringList ranges{"100μA", "1mA", "10mA", "100mA", "自动"};
        static const QStringList args{" 1e-04,", " 1e-03,", " 1e-02,", " 1e-01,", ":AUTO ON,"};
        const int i = ranges.indexOf(f);
        if (i >= 0)
            list << p + args.at(i);
    } else if (ch.Type == QStringLiteral("电阻")) {
        const QString p = ch.Wire == kTwoWire ? QStringLiteral("RES:RANG")
                          : ch.Wire == kFourWire ? QStringLiteral("FRES:RANG") : QString();
        static const QStringList ranges{"100Ω", "1kΩ", "10kΩ", "100kΩ", "1MΩ", "10MΩ", "自动"};
        static const QStringList args{" 1e+02,", " 1e+03,", " 1e+04,", " 1e+05,", " 1e+06,", " 1e+07,", ":AUTO ON,"};
        const int i = ranges.indexOf(f);
        if (!p.isEmpty() && i >= 0)
            list << p + args.at(i);
    } else if (ch.Type == QStringLiteral("频率")) {
        list << QStringLiteral("CONF:FREQ");
    }
    list << QStringLiteral("CALC:SCAL:STAT ON,") << QStringLiteral("CALC:SCAL:GAIN ") + gain(ch.MX_B_M) + QLatin1Char(',')
         << QStringLiteral("CALC:SCAL:OFFS ") + gain(ch.MX_B_B) + QLatin1Char(',');
    QStringList lines;
    for (const QString& command : list)
        lines << Scoped(command, ch.ChannelNumber);
    return lines;
}

bool Collection1586A::SetChannels(QString rate, QList<Device::Channel> channels)
{
    if (!Write(line(QStringLiteral("*RST"))) || !Write(RateCommand(rate)))
        return false;
    for (const Device::Channel& ch : channels) {
        if (ch.Unit == QStringLiteral("Ohm") && ch.Wire == kThreeWire
            && (ch.Type == QStringLiteral("热敏电阻") || ch.Type == QStringLiteral("铂电阻"))) {
            qWarning().noquote() << "1586A: channel" << ch.ChannelNumber << "three-wire resistance cannot be read";
            return false;
        }
        if (ch.Unit == QStringLiteral("℉") && !Write(line(QStringLiteral("UNIT:TEMP F"))))
            return false;
        if (ch.Unit == QStringLiteral("℃") && !Write(line(QStringLiteral("UNIT:TEMP C"))))
            return false;
        for (const QString& command : ChannelCommands(ch)) {
            if (!Write(command))
                return false;
        }
    }
    return true;
}

bool Collection1586A::SetTrigger(double interval, int count)
{
    // Whole seconds, truncated.
    const qint64 seconds = static_cast<qint64>(interval);
    return Write(line(QStringLiteral("TRIG:SOUR TIM"))) && Write(line(QStringLiteral("TRIG:TIM %1").arg(seconds)))
           && Write(line(QStringLiteral("TRIG:COUN %1").arg(count))) && Write(line(QStringLiteral("DATA:CLE")));
}

bool Collection1586A::StartScan()
{
    return Write(line(QStringLiteral("INIT")));
}

bool Collection1586A::StopScan()
{
    return Write(line(QStringLiteral("ABOR")));
}

bool Collection1586A::WaitValues(QStringList& values)
{
    QString reply;
    for (int attempt = 0; attempt < 40; ++attempt) {
        if (Read(reply)) {
            values = reply.split(QLatin1Char(','));
            return true;
        }
        if (!OpenFlag)
            return false; // nothing more can arrive
    }
    return false;
}

bool Collection1586A::ReadData(QStringList& values)
{
    values.clear();
    return StartRead() && WaitValues(values);
}

bool Collection1586A::StartRead()
{
    return Write(line(QStringLiteral("READ?")));
}

bool Collection1586A::WaitData(QStringList& values)
{
    values.clear();
    return WaitValues(values);
}

bool Collection1586A::GetData(QStringList& values)
{
    values.clear();
    QString reply;
    if (!Query(QStringLiteral("DATA?"), reply))
        return false;
    values = reply.split(QLatin1Char(','));
    return true;
}

bool Collection1586A::GetReadData(QStringList& values)
{
    values.clear();
    QString reply;
    if (!Query(QStringLiteral("DATA:READ?"), reply))
        return false;
    values = reply.split(QLatin1Char(','));
    return true;
}

bool Collection1586A::GetPointCount(int& count)
{
    QString reply;
    if (!Query(QStringLiteral("DATA:POIN?"), reply))
        return false;
    bool ok = false;
    const int n = reply.trimmed().toInt(&ok);
    if (!ok)
        return false; // an unreadable answer is no count of zero
    count = n;
    return true;
}

bool Collection1586A::GetLogFileList(QStringList& names)
{
    names.clear();
    QString reply;
    if (!Query(QStringLiteral("MEM:LOG:NFIL?"), reply))
        return false;
    bool ok = false;
    const int n = reply.trimmed().toInt(&ok);
    if (!ok)
        return false; // an unreadable count would pass for an empty memory
    QStringList found;
    for (int i = 1; i <= n; ++i) {
        // A huge count takes as many exchanges: the caller may stop it.
        if (stopRequested())
            return false;
        if (!Query(QStringLiteral("MEM:LOG:NAME? %1").arg(i), reply))
            return false;
        QString name = reply.trimmed();
        // SCPI strings may come quoted; the read command adds its own quotes.
        if (name.size() >= 2 && name.startsWith(QLatin1Char('"')) && name.endsWith(QLatin1Char('"')))
            name = name.mid(1, name.size() - 2);
        found << name;
    }
    names = found;
    return true;
}

bool Collection1586A::ReadLogFile(QString name)
{
    return Write(line(QStringLiteral("MEM:LOG:READ? \"") + name + QLatin1Char('"')));
}

bool Collection1586A::SetAutoLog(bool on)
{
    return Write(line(QStringLiteral("DATA:LOG:AUTO ") + (on ? QStringLiteral("ON") : QStringLiteral("OFF"))));
}

bool Collection1586A::OpenDataFile(QString name, QStringList channels)
{
    return DataFiles::openScannerFile(DataFile, ColumnUsed, name, channels);
}

bool Collection1586A::ReadDataFile(QDateTime time, QStringList& values)
{
    return DataFiles::readScannerRecord(DataFile, ColumnUsed, time, values);
}

QStringList Collection1586A::CompensationList()
{
    return {QStringLiteral("内部补偿"), QStringLiteral("固定冷端")};
}

QStringList Collection1586A::UnitList(QString)
{
    return {"℃", "℉", "%RH", "psi", "mbar", "bar", "Pa", "KPa", "MPa", "mV", "V", "Ω", "kΩ", "MΩ"};
}

QList<bool> Collection1586A::CoefficientMask(QString function)
{
    if (function == QStringLiteral("S") || function == QStringLiteral("R") || function == QStringLiteral("R(T)"))
        return mask({0, 1, 2, 3});
    if (function == QStringLiteral("POLY") || function == QStringLiteral("ITS90"))
        return mask({0, 1, 2, 3, 4, 5, 6});
    if (function == QStringLiteral("PT385") || function == QStringLiteral("PT392"))
        return mask({4});
    if (function == QStringLiteral("CVD"))
        return mask({0, 1, 2, 4});
    return mask({});
}

QStringList Collection1586A::WiringList(QString type)
{
    if (type == QStringLiteral("热电偶") || type == QStringLiteral("直流电压") || type == QStringLiteral("交流电压"))
        return {kTwoWire};
    if (type == QStringLiteral("热敏电阻") || type == QStringLiteral("电阻"))
        return {kTwoWire, kFourWire};
    if (type == QStringLiteral("铂电阻"))
        return {kTwoWire, kThreeWire, kFourWire};
    return {};
}

QStringList Collection1586A::TypeList(int channel)
{
    // Positions 21 and 22 of every module take voltages only.
    const int position = channel % 100;
    if (channel >= 100 && (position == 21 || position == 22))
        return {QStringLiteral("直流电压"), QStringLiteral("交流电压")};
    return {"热电偶", "热敏电阻", "铂电阻", "直流电压", "交流电压", "电阻", "频率", "直流电流", "交流电流"};
}

QStringList Collection1586A::FunctionList(QString type)
{
    if (type == QStringLiteral("热电偶"))
        return {"K", "T", "R", "S", "J", "N", "E", "B", "C", "D", "G", "L", "M", "U", "W", "POLY"};
    if (type == QStringLiteral("铂电阻"))
        return {"ITS90", "PT385", "PT392", "CVD"};
    if (type == QStringLiteral("热敏电阻"))
        return {"R(T)", "2.252kΩ", "5kΩ", "10kΩ"};
    if (type == QStringLiteral("直流电压"))
        return {"自动", "100mV", "1V", "10V", "50V"};
    if (type == QStringLiteral("电阻"))
        return {"自动", "100Ω", "1kΩ", "10kΩ", "100kΩ", "1MΩ", "10MΩ"};
    if (type == QStringLiteral("直流电流") || type == QStringLiteral("交流电流"))
        return {"自动", "100μA", "1mA", "10mA", "100mA"};
    return {};
}

QStringList Collection1586A::ChannelNumberList(int count, QString module)
{
    const QList<int> modules = Modules(module);
    const int moduleCount = modules.size();
    QStringList numbers;
    if (count <= 0 || count > 22 * moduleCount) {
        for (int m : modules)
            for (int c = 1; c <= 22; ++c)
                numbers << QString::number(m * 100 + c);
        return numbers;
    }
    const int width = count <= 10 * moduleCount ? 10 : (count <= 20 * moduleCount ? 20 : 22);
    for (int m : modules) {
        for (int c = 1; c <= width && numbers.size() < count; ++c)
            numbers << QString::number(m * 100 + c);
    }
    return numbers;
}

int Collection1586A::MaxChannelCount(QString module)
{
    if (module.isEmpty())
        return 44;
    return 22 * Modules(module).size();
}

bool Collection1586A::CheckChannels(QList<Device::Channel> channels, QString& message)
{
    ChannelRules::Options options{tr("量程错误！"), 10, true, 10, 20, true};
    return ChannelRules::check(*this, channels, options, message);
}

double Collection1586A::MinInterval(QString rate, QList<Device::Channel> channels)
{
    if (channels.isEmpty())
        return 2.0;
    double perChannel = 0.1;
    if (rate == QStringLiteral("中速"))
        perChannel = 1.0;
    else if (rate == QStringLiteral("慢速"))
        perChannel = 4.0;
    return perChannel * channels.size();
}
