#pragma once

#include "ChannelSignal.h"
#include "SimulatedInstrument.h"

#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QVector>

#include <array>
#include <functional>

namespace sim {

// The precision temperature scanner: SCPI command lines, two 22-channel
// modules (101 … 122, 201 … 222) and the front input 001. Channel programming
// decides what each channel reads; READ? measures once; INIT starts timed
// scans that go into the readings memory and, with automatic logging, into a
// log file that MEM:LOG lists and reads back line by line.
class Instrument1586A : public SimulatedInstrument
{
public:
    static constexpr int kModuleChannels = 22;
    static constexpr int kChannels = 2 * kModuleChannels + 1; // the last one is 001
    static constexpr int kMemory = 100000; // readings and lines per log file
    static constexpr int kLogFiles = 100;

    enum class Function { Volt, VoltAc, Current, CurrentAc, Resistance, Frequency, Thermocouple, Thermistor, Rtd };

    struct Channel
    {
        bool on = false;
        Function function = Function::Volt;
        QString settings; // the programming commands' values, for status lines
        bool scaled = false;
        double gain = 1.0, offset = 0.0;
    };

    struct LogFile
    {
        QString name;
        QStringList lines; // header first
    };

    Instrument1586A();

    void setMonotonicClock(std::function<qint64()> clock);
    void setSerial(const QString& serial) { m_serial = serial; }
    QString serial() const { return m_serial; }
    void setTimeScale(double scale) { m_timeScale = scale > 0 ? scale : 1.0; }
    // The clock reads the set time plus the monotonic time since, times the
    // clock scale; timed scans follow that clock, so with a scale of 10 a
    // 10 s trigger scans every real second and stamps records 10 s apart.
    QDateTime clock() const;
    void setClock(const QDateTime& time);
    bool setClockTime(const QDateTime& time) override;
    double clockScale() const { return m_clockScale; }
    // False while scanning: a run keeps the pace it started with.
    bool setClockScale(double scale);
    // A slow clock (link-fault testing): SYST:DATE? and SYST:TIME? are
    // answered `ms` later, or never for a negative value; 0 is normal.
    void setClockAnswerDelay(int ms) { m_clockAnswerMs = ms; }
    // Fills the memory up to `count` log files (at most kLogFiles) with empty
    // ones (a header only), as months of unattended runs would; returns how
    // many it holds.
    int fillLogFiles(int count);
    int clockAnswerDelay() const { return m_clockAnswerMs; }

    const Channel& channel(int index) const { return m_channels[static_cast<size_t>(index)]; }
    QList<int> scanList() const;
    QString temperatureUnit() const { return m_unit; }
    bool autoLog() const { return m_autoLog; }
    bool scanning() const { return m_scanning; }
    int readingCount();
    QList<LogFile> logFiles();
    // Starts the timed scans as INIT does (the front panel's scan key).
    void startScan();
    void stopScan();
    // Seconds one measurement of the listed channels takes at the current rate.
    double measuringTime() const;
    // The value a channel reads for a sensor at the temperature.
    double reported(int index, double temperature) const;

    QByteArray handle(const QByteArray& line) override;
    int replyDelayMs() const override { return m_replyDelayMs; }
    bool textProtocol() const override { return true; }
    QString summary() const override;
    QStringList details() override;
    int frameLength(const QByteArray& buffer) const override;
    bool frameIntact(const QByteArray&) const override { return true; }
    bool supports(Fault fault) const override { return fault == Fault::Garbage; }
    void inject(Fault fault, QByteArray* reply) const override;
    int channelCount() const override { return kChannels; }
    ChannelSignal& signal(int index) override { return m_signals[static_cast<size_t>(index)]; }
    double now() const override;
    void invalidateScan() override {}
    int channelIndex(const QString& number) const override { return indexOf(number); }
    // "101" … "122", "201" … "222", "001" to 0 … 44; -1 otherwise.
    static int indexOf(const QString& number);
    QString channelName(int index) const override;
    bool exportData(const QString& path, QString* error) override;

private:
    struct Scan
    {
        QDateTime time;
        QStringList values;
        QList<int> channels; // of the values, in order
    };
    // A reply that carries the scan's values, noted for the record.
    QString sendScan(const Scan& scan);
    void reset();
    Scan measure(double at, const QDateTime& time);
    QString header() const;
    QString recordLine(qint64 number, const Scan& scan) const;
    void store(const Scan& scan);
    void catchUp();
    void error(int code, const QString& text);
    QString execute(const QString& header, const QString& params, const QList<int>& channels);

    QString m_serial = QStringLiteral("1586A-0001");
    double m_timeScale = 1.0;
    double m_clockScale = 1.0;
    QDateTime m_clockBase; // the clock at m_clockBaseMs of the monotonic clock
    qint64 m_clockBaseMs = 0;
    std::array<Channel, kChannels> m_channels{};
    std::array<ChannelSignal, kChannels> m_signals;
    QString m_rate = QStringLiteral("MED");
    QString m_unit = QStringLiteral("C");
    bool m_timedTrigger = false;
    int m_triggerSeconds = 1;
    int m_triggerCount = 1;
    bool m_autoLog = false;
    bool m_scanning = false;
    double m_scanStart = 0;
    QDateTime m_scanStartClock; // the clock when the scan key was pressed
    qint64 m_scansTaken = 0;
    QList<int> m_scanChannels; // fixed while scanning
    QList<Scan> m_readings;
    Scan m_latest;
    QList<LogFile> m_logs;
    int m_logIndex = -1; // log file of the running scan; -1: none
    int m_logNumber = 0;
    QStringList m_errors;
    int m_replyDelayMs = 0;
    int m_clockAnswerMs = 0;
    std::function<qint64()> m_monotonic;
};

} // namespace sim
