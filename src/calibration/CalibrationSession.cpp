#include "CalibrationSession.h"

#include "Collection.h"
#include "Criteria.h"
#include "Field.h"
#include "Tool.h"

#include <QDateTime>
#include <QThread>
#include <QTime>
#include <QtDebug>

#include <algorithm>
#include <cmath>

namespace {
const QString kPlatinum = QStringLiteral("铂电阻");
const QString kThermistor = QStringLiteral("热敏电阻");
const QString kThermocouple = QStringLiteral("热电偶");
constexpr double kZeroPointBand = 0.01;   // set-points this close to 0 use the zero-point procedure
constexpr double kZeroTolerance = 0.015;  // the reference must read within this of 0 ℃

QString now()
{
    return QTime::currentTime().toString(QStringLiteral("hh:mm:ss"));
}

// A log line: the time, then the text after a separator.
QString stamped(const QString& text)
{
    return now() + QStringLiteral("  ") + text;
}
} // namespace

// --- run data ----------------------------------------------------------------

int CalibrationSession::storedPoints() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Criteria.size();
}

QStringList CalibrationSession::criteria() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Criteria;
}

QList<QStringList> CalibrationSession::data() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Data;
}

void CalibrationSession::setRunData(const QStringList& criteria, const QList<QStringList>& data)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Criteria = criteria;
    m_Data = data;
    while (m_Data.size() < 9)
        m_Data << QStringList();
    // A new run starts without the notes of the last one.
    if (criteria.isEmpty()) {
        m_Notes.clear();
        m_Brackets.clear();
    }
}

void CalibrationSession::storePoint(int a, const QString& references, const QStringList& batches,
                                    const QList<Tool::Struct_CalibrationSample>& samples)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (a < m_Criteria.size())
        m_Criteria[a] = references;
    else
        m_Criteria << references;
    if (a >= 0 && a < m_Data.size())
        m_Data[a] = batches;
    for (int i = m_Samples.size() - 1; i >= 0; --i)
        if (m_Samples.at(i).Point == a + 1)
            m_Samples.removeAt(i);
    m_Samples << samples;
}

QList<Tool::Struct_CalibrationSample> CalibrationSession::samples() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Samples;
}

QMap<int, QString> CalibrationSession::notes() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Notes;
}

QMap<int, double> CalibrationSession::brackets() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_Brackets;
}

void CalibrationSession::setNotes(const QMap<int, QString>& notes, const QMap<int, double>& brackets)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Notes = notes;
    m_Brackets = brackets;
}

void CalibrationSession::clearSamples()
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Samples.clear();
}

double CalibrationSession::runMinutes() const
{
    const double scale = TimeScale.load();
    return static_cast<double>(m_Clock.nsecsElapsed()) / 1e9 / (scale > 0 ? scale : 1.0) / 60.0;
}

void CalibrationSession::statistics(const QList<double>& values, const QList<double>& minutes, double* mean,
                                    double* sd, double* drift)
{
    const int n = values.size();
    double m = 0;
    for (double v : values)
        m += v;
    m = n > 0 ? m / n : 0;
    double ss = 0;
    for (double v : values)
        ss += (v - m) * (v - m);
    *mean = m;
    *sd = n > 1 ? std::sqrt(ss / (n - 1)) : 0;
    double slope = 0;
    if (n > 1 && minutes.size() == n) {
        double tm = 0;
        for (double t : minutes)
            tm += t;
        tm /= n;
        double stt = 0, sty = 0;
        for (int i = 0; i < n; ++i) {
            stt += (minutes.at(i) - tm) * (minutes.at(i) - tm);
            sty += (minutes.at(i) - tm) * (values.at(i) - m);
        }
        slope = stt > 0 ? sty / stt : 0;
    }
    if (drift)
        *drift = slope;
}

// --- helpers -------------------------------------------------------------------

QString CalibrationSession::referenceSerial() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_ReferenceSerial;
}

QString CalibrationSession::sourceSerial() const
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    return m_SourceSerial;
}

QString CalibrationSession::overdueRefusal(const QString& serial) const
{
    for (const Tool::Struct_ReferenceStandard& r : ReferenceRecords)
        if (Tool::serialMatches(r.Serial, serial) && r.overdue(Today))
            return tr("标准器 %1（证书 %2）已于 %3 到期，不能用于校准！")
                .arg(r.Serial, r.Certificate, r.DueDate.toString(QStringLiteral("yyyy-MM-dd")));
    return QString();
}

QString CalibrationSession::overdueQuestion(const QString& serial) const
{
    for (const Tool::Struct_ReferenceStandard& r : ReferenceRecords)
        if (Tool::serialMatches(r.Serial, serial) && r.overdue(Today))
            return tr("标准器 %1（证书 %2）已于 %3 到期，是否仍用于本次校准？确认将记入操作日志。")
                .arg(r.Serial, r.Certificate, r.DueDate.toString(QStringLiteral("yyyy-MM-dd")));
    return QString();
}

QString CalibrationSession::checkOverdue(const QString& serial, const std::function<bool(const QString&)>& ask,
                                         const std::function<void(const QString&)>& audit) const
{
    const QString refusal = overdueRefusal(serial);
    if (refusal.isEmpty() || !OverdueWarnOnly)
        return refusal;
    const QString question = overdueQuestion(serial);
    if (!ask || !ask(question))
        return refusal;
    for (const Tool::Struct_ReferenceStandard& r : ReferenceRecords)
        if (Tool::serialMatches(r.Serial, serial) && r.overdue(Today)) {
            const QString line = QStringLiteral("操作者确认使用已过期的标准器 %1（证书 %2，%3 到期）")
                                     .arg(r.Serial, r.Certificate, r.DueDate.toString(QStringLiteral("yyyy-MM-dd")));
            if (audit)
                audit(line);
            log(tr("标准器 %1 已过期，操作者确认继续使用。").arg(r.Serial));
            break;
        }
    return QString();
}

void CalibrationSession::log(const QString& text) const
{
    if (hooks.log)
        hooks.log(text);
}

void CalibrationSession::wait(int ms) const
{
    const double scaled = ms * TimeScale.load();
    if (scaled >= 1)
        Tool::delay(static_cast<int>(scaled));
    else
        QThread::yieldCurrentThread();
}

QStringList CalibrationSession::labels() const
{
    QStringList out;
    for (int d = 0; d < Calibrated.size(); ++d)
        for (const Device::Channel& ch : Calibrated.at(d))
            out << QString::number(d + 1) + QLatin1Char('_') + ch.ChannelNumber;
    return out;
}

QStringList CalibrationSession::batchOf(const QStringList& values, int b) const
{
    const int size = std::max(1, ChannelMax);
    return values.mid(b * size, size);
}

void CalibrationSession::logBatch(int b, const QString& reference, const QStringList& readings)
{
    // Laid out for the technician: when, which batch, the reference, then
    // one channel per line with its reading and unit.
    const QStringList names = labels();
    const int size = std::max(1, ChannelMax);
    const QString unit = ChannelMode == kThermocouple ? QStringLiteral(" ℃") : QStringLiteral(" Ω");
    QString text = now() + QStringLiteral("  ") + tr("批次") + QString::number(b + 1) + QStringLiteral("  ")
                   + tr("标准:") + QLatin1Char(' ') + reference + QStringLiteral(" ℃");
    for (int i = 0; i < readings.size(); ++i)
        text += QStringLiteral("\n    ") + names.value(b * size + i).leftJustified(8) + readings.at(i) + unit;
    text += QLatin1Char('\n');
    log(text);
}

void CalibrationSession::logPoint(int a)
{
    log(now() + QStringLiteral("  ") + tr("温度点") + QString::number(a + 1) + QStringLiteral("  ") + tr("设定：")
        + QString::number(SetTemperatures.value(a), 'f', 2) + QStringLiteral(" ℃"));
}

// --- steps ---------------------------------------------------------------------

bool CalibrationSession::connectAll(QString* failure)
{
    for (int d = 0; d < Devices.size(); ++d) {
        Collection* device = Devices.at(d);
        if (!device)
            continue;
        const Tool::Struct_AcquisitionDevice entry = Entries.value(d);
        if (!device->Open(entry.SignalMode, entry.IP_COM, entry.Port_BaudRate)) {
            *failure = tr("设备连接失败!");
            return false;
        }
    }
    log(tr("采集器连接成功！"));
    if (Source) {
        if (!Source->Open(SourceMode, SourceAddress, SourcePort)) {
            *failure = tr("设备连接失败!");
            return false;
        }
        if (!Source->Initialize()) {
            *failure = tr("温场设备设置失败!");
            return false;
        }
        log(tr("温场设备连接成功！"));
        QString serial;
        if (!ReferenceRecords.isEmpty() && Source->GetSerialNumber(serial)) {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_SourceSerial = serial.trimmed();
        }
    }
    if (Reference) {
        Device::Channel none;
        none.MX_B_M = 0;
        none.MX_B_B = 0;
        if (!Reference->Open(ReferenceMode, ReferenceAddress, ReferencePort) || !Reference->SetChannel(none)) {
            *failure = tr("设备连接失败!");
            return false;
        }
        log(tr("标准器连接成功！"));
        QString serial;
        if (!ReferenceRecords.isEmpty() && Reference->GetSerialNumber(serial)) {
            {
                std::lock_guard<std::mutex> lock(m_Mutex);
                m_ReferenceSerial = serial.trimmed();
            }
            const QString refusal = checkOverdue(serial.trimmed(), [this](const QString& text) {
                return hooks.confirm && hooks.confirm(tr("提示"), text);
            }, hooks.audit);
            if (!refusal.isEmpty()) {
                *failure = refusal;
                return false;
            }
        }
    }
    for (int d = 0; d < Devices.size(); ++d) {
        Collection* device = Devices.at(d);
        // A device taking part without a channel to calibrate has nothing to set.
        if (!device || Calibrated.value(d).isEmpty())
            continue;
        QList<Device::Channel> copy = Calibrated.at(d);
        for (Device::Channel& ch : copy) {
            if (ch.Type == kThermistor || ch.Type == kPlatinum)
                ch.Unit = QStringLiteral("Ohm");
            else if (ch.Type == kThermocouple)
                ch.Unit = QStringLiteral("℃");
            ch.MX_B_M = 1;
            ch.MX_B_B = 0;
        }
        if (!device->SetChannels(Entries.value(d).ScanRate, copy)) {
            *failure = tr("采集设备设置失败!");
            return false;
        }
    }
    log(tr("通道参数设置成功！"));
    return true;
}

bool CalibrationSession::readAll(QStringList& values)
{
    values.clear();
    QList<Collection*> reading;
    for (int d = 0; d < Devices.size(); ++d)
        if (Devices.at(d) && !Calibrated.value(d).isEmpty())
            reading << Devices.at(d);
    for (Collection* device : qAsConst(reading)) {
        if (!device->StartRead() || !Running)
            return false;
    }
    for (Collection* device : qAsConst(reading)) {
        QStringList part;
        if (!device->WaitData(part) || !Running)
            return false;
        values << part;
    }
    return !values.isEmpty();
}

CalibrationSession::Step CalibrationSession::stabilise(double t, int a, QString* failure)
{
    *failure = tr("温场设备设置失败!");
    if (!Source || !Source->SetTemperature(t))
        return Step::Failed;
    log(stamped(tr("温场稳定等待中...")));
    const double started = runMinutes();
    const double limit = options.StableTimeout;
    for (;;) {
        for (int i = 0; i < 20; ++i) {
            wait(1000);
            if (!Running)
                return Step::Failed;
        }
        // A source that never settles must not hold the run (and the lab) forever.
        if (limit > 0 && runMinutes() - started > limit) {
            *failure = tr("温度点%1：温场在%2分钟内未稳定，校准停止！").arg(a + 1).arg(limit);
            return Step::Failed;
        }
        bool stable = false;
        if (!Source->IsStable(stable))
            return Step::Failed;
        if (stable)
            break;
    }
    log(stamped(tr("温场已稳定。")) + QLatin1Char('\n'));
    return Step::Done;
}

CalibrationSession::Step CalibrationSession::delayWait()
{
    log(stamped(tr("温场稳定延迟等待中...")));
    const int total = DelayMinutes * 60;
    for (int i = 0; i < total; ++i) {
        const int left = total - i;
        status(tr("稳定延迟：剩余 %1:%2").arg(left / 60, 2, 10, QLatin1Char('0')).arg(left % 60, 2, 10, QLatin1Char('0')));
        wait(1000);
        if (!Running) {
            status(QString());
            return Step::Aborted;
        }
    }
    status(QString());
    return Step::Done;
}

CalibrationSession::Step CalibrationSession::confirmSwap()
{
    OperatorWait = true;
    if (hooks.message)
        hooks.message(tr("提示"), tr("请更换通道后点击确定按钮！"));
    // The box is modal: the operator confirms before anything else happens.
    while (OperatorWait)
        QThread::msleep(100);
    return Step::Done;
}

CalibrationSession::Step CalibrationSession::measureBatch(int a, int b, bool manual, QString* reference,
                                                          QString* readings,
                                                          QList<Tool::Struct_CalibrationSample>* stats,
                                                          QString* failure)
{
    const int samples = std::max(1, std::min(100, options.Samples));
    const QStringList names = labels();
    const int size = std::max(1, ChannelMax);
    const QString readFailure = manual ? tr("采集器数据获取失败!") : tr("采集器阻值获取失败!");
    int relinks = 0; // reference links brought back during this batch
    for (int attempt = 0;; ++attempt) {
        QList<QStringList> texts; // per sample, the batch's readings
        QList<double> refs, minutes;
        QList<QDateTime> times;
        bool relinked = false;
        for (int s = 0; s < samples && !relinked; ++s) {
            if (s > 0) {
                const int steps = static_cast<int>(std::ceil(options.SampleInterval));
                for (int i = 0; i < steps; ++i) {
                    wait(static_cast<int>(1000 * std::min(1.0, options.SampleInterval - i)));
                    if (!Running)
                        return Step::Aborted;
                }
            }
            // Reference, channels, reference: the reference value is the mean
            // of the two readings around the channels, so a bath drifting
            // steadily puts no offset between them.
            double t = ManualReference.load();
            double before = t, after = t;
            QElapsedTimer bracket;
            const bool measured = !manual || Reference;
            // A reference whose link came back reads the batch again from its
            // first sample: nothing from before the loss is used after it.
            enum class Read { Ok, Relinked, Failed };
            const auto readReference = [&](double& value) {
                if (Reference && Reference->ReadTemperature(value))
                    return Read::Ok;
                if (Reference && Running && relinks < 2 && Reference->Reconnect()) {
                    ++relinks;
                    log(stamped(tr("标准器连接中断后已重新连接，本批次重新采样。")));
                    return Read::Relinked;
                }
                return Read::Failed;
            };
            // One bracket: reference, then the channels, then the reference.
            QStringList values;
            Read read = Read::Ok;
            for (double* value : {&before, &after}) {
                if (value == &after) {
                    bracket.start();
                    if (!readAll(values)) {
                        *failure = readFailure;
                        return Step::Failed;
                    }
                }
                read = measured ? readReference(*value) : Read::Ok;
                if (read != Read::Ok)
                    break;
            }
            if (read == Read::Relinked) {
                relinked = true;
                continue;
            }
            if (read == Read::Failed) {
                *failure = tr("获取标准温度失败!");
                return Step::Failed;
            }
            if (measured) {
                t = (before + after) / 2;
                const double seconds = static_cast<double>(bracket.elapsed()) / 1000.0;
                std::lock_guard<std::mutex> lock(m_Mutex);
                m_Brackets[a] = std::max(m_Brackets.value(a, 0.0), seconds);
            }
            texts << batchOf(values, b);
            refs << t;
            minutes << runMinutes();
            times << QDateTime::currentDateTime();
        }
        if (relinked) {
            --attempt; // not a stability retry
            continue;
        }
        double mean = 0, sd = 0, drift = 0;
        statistics(refs, minutes, &mean, &sd, &drift);
        // With a stability window before the batch the readings are not judged
        // again: ten readings 1 s apart cannot tell a 5 mK/min drift from noise.
        const bool unstable = options.WindowMinutes <= 0 && samples > 1
                              && ((options.MaxStdDev > 0 && sd > options.MaxStdDev)
                                  || (options.MaxDrift > 0 && std::fabs(drift) > options.MaxDrift));
        if (unstable) {
            const QString figures = tr("标准差 %1 ℃，漂移 %2 ℃/min")
                                        .arg(QString::number(sd, 'f', 4), QString::number(drift, 'f', 4));
            if (attempt >= options.Retries) {
                *failure = tr("温度点%1批次%2：标准温度不稳定（%3），校准停止！").arg(a + 1).arg(b + 1).arg(figures);
                return Step::Failed;
            }
            log(stamped(tr("标准温度不稳定（%1），第 %2/%3 次，重新采样。").arg(figures).arg(attempt + 1).arg(options.Retries + 1)));
            continue;
        }

        const QString timeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz");
        const auto record = [&](const QString& channel, const QList<double>& values, double m, double s) {
            Tool::Struct_CalibrationSample st;
            st.Point = a + 1;
            st.Batch = b + 1;
            st.Channel = channel;
            st.Count = values.size();
            st.Mean = m;
            st.StdDev = s;
            st.Min = *std::min_element(values.begin(), values.end());
            st.Max = *std::max_element(values.begin(), values.end());
            st.FirstTime = times.first().toString(timeFormat);
            st.LastTime = times.last().toString(timeFormat);
            *stats << st;
        };
        record(QStringLiteral("REF"), refs, mean, sd);
        *reference = QString::number(mean, 'f', 4);
        QStringList means;
        const int width = texts.first().size();
        for (int c = 0; c < width; ++c) {
            QList<double> values;
            bool numbers = true;
            for (const QStringList& sample : qAsConst(texts)) {
                bool ok = false;
                values << sample.value(c).toDouble(&ok);
                numbers = numbers && ok;
            }
            // One reading keeps the driver's text; a broken one stays as it
            // came so the save step refuses it instead of averaging it away.
            double m = 0, s = 0;
            statistics(values, {}, &m, &s, nullptr);
            if (samples == 1 || !numbers)
                means << texts.first().value(c);
            else
                means << QString::number(m, 'g', 10);
            if (numbers)
                record(names.value(b * size + c), values, m, s);
        }
        *readings = means.join(QLatin1Char(','));
        return Step::Done;
    }
}

CalibrationSession::Step CalibrationSession::measurePoint(int a, QString* failure)
{
    if (stabilise(SetTemperatures.at(a), a, failure) != Step::Done)
        return Step::Failed;
    logPoint(a);
    QStringList references, batches;
    QList<Tool::Struct_CalibrationSample> stats;
    QStringList notes;
    for (int b = 0; b < BatchCount; ++b) {
        if (delayWait() != Step::Done)
            return Step::Aborted;
        QString note;
        const Step window = stableWindow(a, b, &note, failure);
        if (window != Step::Done)
            return window;
        if (!note.isEmpty())
            notes << note;
        QString reference, readings;
        const Step step = measureBatch(a, b, false, &reference, &readings, &stats, failure);
        if (step != Step::Done)
            return step;
        references << reference;
        batches << readings;
        logBatch(b, reference, readings.split(QLatin1Char(',')));
        if (BatchCount > 1)
            confirmSwap();
    }
    if (!notes.isEmpty()) {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Notes[a] = notes.join(QLatin1Char(' '));
    }
    storePoint(a, references.join(QLatin1Char(',')), batches, stats);
    return Step::Done;
}

double CalibrationSession::nominalSlope(const QString& type, double x)
{
    // Platinum: R ≈ R0(1 + 0.0039 t), so dt/dR = (t + 256)/R; a thermistor of
    // β ≈ 3900 K: dR/dT = −βR/T², T taken as 298 K.
    if (type == kPlatinum)
        return x > 0 ? 256.4 / x : 0;
    if (type == kThermistor)
        return x > 0 ? 298.15 * 298.15 / (3900 * x) : 0;
    return 1;
}

bool CalibrationSession::judge(const Window& w) const
{
    return !(options.MaxStdDev > 0 && w.sd > options.MaxStdDev)
           && !(options.MaxDrift > 0 && (std::fabs(w.drift) > options.MaxDrift || std::fabs(w.channelDrift) > options.MaxDrift));
}

QString CalibrationSession::figures(const Window& w) const
{
    QString text = tr("标准差 %1 ℃，漂移 %2 ℃/min").arg(QString::number(w.sd, 'f', 4), QString::number(w.drift, 'f', 4));
    if (!w.channel.isEmpty())
        text += tr("；通道 %1 漂移 %2 ℃/min").arg(w.channel, QString::number(w.channelDrift, 'f', 4));
    return text;
}

void CalibrationSession::status(const QString& text) const
{
    if (hooks.status)
        hooks.status(text);
}

CalibrationSession::Step CalibrationSession::stableWindow(int a, int b, QString* note, QString* failure)
{
    if (options.WindowMinutes <= 0 || (options.MaxStdDev <= 0 && options.MaxDrift <= 0) || !Reference)
        return Step::Done;
    const QStringList names = labels();
    const int size = std::max(1, ChannelMax);
    // About twenty readings a window, no closer than the sampling interval.
    const double spacing = std::max({options.SampleInterval, 1.0, options.WindowMinutes * 60 / 20});
    const int count = std::max(3, static_cast<int>(options.WindowMinutes * 60 / spacing) + 1);
    int relinks = 0;
    for (int attempt = 0;; ++attempt) {
        bool restart = false;
        log(stamped(tr("温度点%1批次%2：稳定窗口 %3 min（第 %4/%5 次）...")
                        .arg(a + 1)
                        .arg(b + 1)
                        .arg(options.WindowMinutes)
                        .arg(attempt % (options.Retries + 1) + 1)
                        .arg(options.Retries + 1)));
        QList<double> refs, minutes;
        QList<QList<double>> channels;
        for (int k = 0; k < count; ++k) {
            if (k > 0) {
                for (int i = 0; i < static_cast<int>(std::ceil(spacing)); ++i) {
                    wait(static_cast<int>(1000 * std::min(1.0, spacing - i)));
                    if (!Running)
                        return Step::Aborted;
                }
            }
            status(tr("稳定窗口：剩余 %1 s").arg(static_cast<int>(std::round((count - 1 - k) * spacing))));
            double t = 0;
            QStringList values;
            if (!Reference->ReadTemperature(t)) {
                // A link that comes back starts the window again.
                if (Running && relinks < 2 && Reference->Reconnect()) {
                    ++relinks;
                    log(stamped(tr("标准器连接中断后已重新连接，稳定窗口重新开始。")));
                    restart = true;
                    break;
                }
                status(QString());
                *failure = tr("获取标准温度失败!");
                return Step::Failed;
            }
            if (!readAll(values)) {
                status(QString());
                *failure = tr("采集器阻值获取失败!");
                return Step::Failed;
            }
            refs << t;
            minutes << runMinutes();
            const QStringList batch = batchOf(values, b);
            while (channels.size() < batch.size())
                channels << QList<double>();
            for (int c = 0; c < batch.size(); ++c)
                channels[c] << batch.at(c).toDouble();
        }
        status(QString());
        if (restart) {
            --attempt;
            continue;
        }
        Window w;
        double mean = 0;
        statistics(refs, minutes, &mean, &w.sd, &w.drift);
        for (int c = 0; c < channels.size(); ++c) {
            double m = 0, sd = 0, drift = 0;
            if (channels.at(c).size() != minutes.size())
                continue;
            statistics(channels.at(c), minutes, &m, &sd, &drift);
            int d = 0, index = b * size + c;
            for (; d < Calibrated.size() && index >= Calibrated.at(d).size(); ++d)
                index -= Calibrated.at(d).size();
            const QString type = d < Calibrated.size() ? Calibrated.at(d).value(index).Type : ChannelMode;
            const double celsius = std::fabs(drift * nominalSlope(type, m));
            if (celsius > std::fabs(w.channelDrift)) {
                w.channelDrift = celsius;
                w.channel = names.value(b * size + c);
            }
        }
        if (judge(w)) {
            log(stamped(tr("稳定窗口满足要求（%1）。").arg(figures(w))));
            return Step::Done;
        }
        const QString text = figures(w);
        const int round = attempt % (options.Retries + 1);
        if (round < options.Retries) {
            log(stamped(tr("标准温度不稳定（%1），第 %2/%3 次，等待新的稳定窗口。")
                            .arg(text)
                            .arg(round + 1)
                            .arg(options.Retries + 1)));
            continue;
        }
        // The last window of a round: the operator (or the setting) decides.
        Options::Unstable action = options.OnUnstable;
        if (action == Options::Unstable::Ask) {
            const QString question = tr("温度点%1批次%2：标准温度不稳定（%3），已等待 %4 个稳定窗口。")
                                         .arg(a + 1)
                                         .arg(b + 1)
                                         .arg(text)
                                         .arg(attempt + 1);
            // Stopping comes first: a box closed without a choice stops too.
            const int answer = hooks.choose ? hooks.choose(tr("提示"), question,
                                                           {tr("停止校准"), tr("继续等待"), tr("接受该点并记录说明"),
                                                            tr("跳过该点")})
                                            : -1;
            if (answer == 1)
                continue;
            action = answer == 2 ? Options::Unstable::Accept
                     : answer == 3 ? Options::Unstable::Skip
                                   : Options::Unstable::Stop;
        }
        if (action == Options::Unstable::Accept) {
            *note = tr("批次%1在标准温度不稳定时采样（%2），操作者接受").arg(b + 1).arg(text);
            log(stamped(*note));
            return Step::Done;
        }
        if (action == Options::Unstable::Skip) {
            log(stamped(tr("温度点%1未稳定（%2），已跳过。").arg(a + 1).arg(text)));
            return Step::Skipped;
        }
        *failure = tr("温度点%1批次%2：标准温度不稳定（%3），校准停止！").arg(a + 1).arg(b + 1).arg(text);
        return Step::Failed;
    }
}

CalibrationSession::Step CalibrationSession::measureZeroPoint(int a, QString* failure)
{
    logPoint(a);
    QStringList references, batches, notes;
    QList<Tool::Struct_CalibrationSample> stats;
    constexpr int attempts = 3;
    // The set-point is corrected until the batch's mean reference reads
    // 0 ℃, as the fit judges it; later batches start from that correction.
    double setPoint = 0;
    for (int b = 0; b < BatchCount; ++b) {
        QString reference, readings;
        QList<Tool::Struct_CalibrationSample> batchStats;
        for (int attempt = 0;; ++attempt) {
            if (stabilise(setPoint, a, failure) != Step::Done)
                return Step::Failed;
            if (delayWait() != Step::Done)
                return Step::Aborted;
            QString note;
            const Step window = stableWindow(a, b, &note, failure);
            if (window != Step::Done)
                return window;
            batchStats.clear();
            const Step step = measureBatch(a, b, false, &reference, &readings, &batchStats, failure);
            if (step != Step::Done)
                return step;
            const double mean = reference.toDouble();
            log(stamped(tr("零点批次%1：标准 %2 ℃（第 %3/%4 次）").arg(b + 1).arg(reference).arg(attempt + 1).arg(attempts)));
            if (std::fabs(mean) <= kZeroTolerance) {
                if (!note.isEmpty())
                    notes << note;
                break;
            }
            if (attempt + 1 >= attempts) {
                *failure = tr("温度点%1批次%2：标准温度 %3 ℃ 在 %4 次设定后仍不在 0 ℃ ±0.015 ℃ 以内，校准停止！")
                               .arg(a + 1)
                               .arg(b + 1)
                               .arg(reference)
                               .arg(attempts);
                return Step::Failed;
            }
            setPoint -= mean;
        }
        stats << batchStats;
        references << reference;
        batches << readings;
        logBatch(b, reference, readings.split(QLatin1Char(',')));
        if (BatchCount > 1)
            confirmSwap();
    }
    if (!notes.isEmpty()) {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Notes[a] = notes.join(QLatin1Char(' '));
    }
    storePoint(a, references.join(QLatin1Char(',')), batches, stats);
    return Step::Done;
}

void CalibrationSession::standby()
{
    // A source left at the last set-point (a dry block at 200 ℃) is a hazard
    // once nobody watches the run.
    if (!options.HasStandby || !Source || !Source->IsOpen())
        return;
    const QString value = QString::number(options.Standby, 'f', 2);
    if (Source->SetTemperature(options.Standby)) {
        log(stamped(tr("温场已设为待机温度 %1 ℃。").arg(value)));
        qInfo().noquote() << "calibration: source set to standby" << value;
    } else {
        log(stamped(tr("温场待机温度 %1 ℃ 设置失败！").arg(value)));
        qWarning().noquote() << "calibration: standby set-point refused" << value;
    }
}

QString CalibrationSession::automaticRun()
{
    QString final = tr("校准结束退出!");
    log(tr("设备连接中..."));
    QString failure;
    if (!connectAll(&failure)) {
        final = failure;
    } else {
        for (int a = storedPoints(); a < SetTemperatures.size(); ++a) {
            const bool zero = ChannelMode == kPlatinum && std::fabs(SetTemperatures.at(a)) <= kZeroPointBand;
            const Step step = zero ? measureZeroPoint(a, &failure) : measurePoint(a, &failure);
            if (step == Step::Skipped) {
                // The point leaves the plan; the next one moves up into its place.
                SetTemperatures.removeAt(a);
                if (a < ChangeLiquid.size())
                    ChangeLiquid.removeAt(a);
                if (hooks.pointSkipped)
                    hooks.pointSkipped(a);
                --a;
                continue;
            }
            if (step == Step::Failed)
                final = failure;
            if (step != Step::Done)
                break;
            qDebug() << "校准温度：" << SetTemperatures.at(a) << "标准温度：" << criteria().value(a)
                     << "通道数据：" << data().value(a);
            if (hooks.pointStored)
                hooks.pointStored();
            if (ChangeLiquid.value(a)) {
                final = tr("请更换液体!");
                break;
            }
        }
    }
    if (storedPoints() >= SetTemperatures.size() && hooks.save)
        hooks.save();
    standby();
    closeAll();
    if (Running) {
        if (hooks.message)
            hooks.message(tr("提示"), final);
        log(final);
    }
    return final;
}

bool CalibrationSession::manualPoint(int a, const std::function<void(int)>& batchDone)
{
    ManualBatchWait = false;
    log(stamped(tr("温度点") + QString::number(a + 1)));
    QStringList references, batches;
    QList<Tool::Struct_CalibrationSample> stats;
    for (int b = 0; b < BatchCount; ++b) {
        // The next press of the point's button starts the next batch.
        while (ManualBatchWait && Running)
            QThread::msleep(10);
        QString reference, readings, failure;
        const Step step = measureBatch(a, b, true, &reference, &readings, &stats, &failure);
        if (step != Step::Done) {
            ManualBatchWait = false;
            if (step == Step::Failed && hooks.message)
                hooks.message(tr("提示"), failure);
            return false;
        }
        references << reference;
        batches << readings;
        ManualBatchWait = true;
        logBatch(b, reference, readings.split(QLatin1Char(',')));
        if (batchDone)
            batchDone(b + 2);
    }
    ManualBatchWait = false;
    storePoint(a, references.join(QLatin1Char(',')), batches, stats);
    qDebug() << "标准温度：" << criteria().value(a) << "通道数据：" << data().value(a);
    if (hooks.pointStored)
        hooks.pointStored();
    return true;
}

void CalibrationSession::closeAll()
{
    for (int d = 0; d < Devices.size(); ++d) {
        Collection* device = Devices.at(d);
        if (device && device->IsOpen()) {
            device->Close();
            log(tr("采集设备") + QString::number(d + 1) + tr("断开连接。"));
        }
    }
    if (Reference && Reference->IsOpen()) {
        Reference->Close();
        log(tr("温度标准断开连接。"));
    }
    if (Source && Source->IsOpen()) {
        Source->Close();
        log(tr("温场设备断开连接。"));
    }
}
