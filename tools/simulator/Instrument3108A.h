#pragma once

#include "ChannelSignal.h"
#include "SimulatedInstrument.h"

#include <QDateTime>
#include <QList>
#include <QVector>

#include <array>
#include <functional>

namespace sim {

// The maker's second logger: 26 channels, Modbus RTU frames (CRC low byte
// first), a configuration word per channel that selects what the channel
// measures, an enable mask, a measurement triggered on request, timed
// scanning into memory, and a data file of that memory.
class Instrument3108A : public SimulatedInstrument
{
public:
    static constexpr int kChannels = 26;
    static constexpr int kIdentityLength = 10;
    // Scans kept in memory; older ones are dropped.
    static constexpr int kMemory = 100000;

    enum Register : quint16 {
        RegAddress = 0x0001,
        RegRate = 0x000E,
        RegCoefficients = 0x0010,
        RegValues = 0x0100,
        RegColdJunction = 0x01F0,
        RegIdentity = 0x1000,
        RegClock = 0x1010,
        RegEnable = 0x1017,
        RegScanning = 0x1018,
        RegInterval = 0x1019,
        RegTrigger = 0x101A,
        RegCount = 0x101B,
        RegConfig = 0x1020,
    };

    struct Setting
    {
        quint16 word = 0; // function 0: DC voltage, auto range
        QVector<float> coefficients; // R0; R0 a b c a4 b4; or A B C D
        float m = 1.0f, b = 0.0f;
    };

    Instrument3108A();

    void setMonotonicClock(std::function<qint64()> clock);
    void setStationAddress(quint8 address) { m_address = address; }
    quint8 stationAddress() const { return m_address; }
    void setIdentity(const QString& identity);
    QString identity() const { return m_identity; }
    QDateTime clock() const;
    void setClock(const QDateTime& time);
    // Measuring runs this many times faster than real time.
    void setTimeScale(double scale) { m_timeScale = scale > 0 ? scale : 1.0; }

    const Setting& setting(int channel) const { return m_settings[static_cast<size_t>(channel)]; }
    quint64 enableMask() const { return m_mask; }
    // Channels a measurement reports, in reporting order.
    QList<int> scanList() const { return m_scanList; }
    int rateCode() const { return m_rate; }
    float coldJunction() const { return m_coldJunction; }
    bool scanning() const { return m_scanning; }
    double scanInterval() const { return m_interval; }
    int memoryCount();
    // Seconds one measurement of the listed channels takes at the current rate.
    double measuringTime() const;

    // What the instrument reports for a channel whose sensor is at the
    // temperature: the temperature in the configured unit, or the electrical
    // value in V, A, Ω or Hz; corrected by the channel's M and B.
    double reported(int channel, double temperature) const;

    QByteArray handle(const QByteArray& frame) override;
    int replyDelayMs() const override { return m_replyDelayMs; }
    QString summary() const override;
    QStringList details() override;
    int frameLength(const QByteArray& buffer) const override;
    bool frameIntact(const QByteArray& frame) const override;
    bool supports(Fault fault) const override { return fault != Fault::Garbage; }
    void inject(Fault fault, QByteArray* reply) const override;
    int channelCount() const override { return kChannels; }
    ChannelSignal& signal(int channel) override { return m_signals[static_cast<size_t>(channel)]; }
    double now() const override;
    void invalidateScan() override {}
    bool exportData(const QString& path, QString* error) override;
    bool setClockTime(const QDateTime& time) override
    {
        setClock(time);
        return true;
    }

private:
    struct Scan
    {
        QDateTime time;
        QVector<double> values; // per channel; NaN for channels not listed
    };
    QByteArray reply(QByteArray body) const;
    QByteArray exception(quint8 function, quint8 code) const;
    Scan measure(double at, const QDateTime& time);
    QByteArray valueFrame(const Scan& scan); // notes the values for the record
    // Timed scans due by now go into memory.
    void catchUp();

    quint8 m_address = 1;
    QString m_identity;
    qint64 m_clockOffsetMs = 0;
    double m_timeScale = 1.0;
    int m_rate = 1;
    float m_coldJunction = 0.0f;
    std::array<Setting, kChannels> m_settings{};
    std::array<ChannelSignal, kChannels> m_signals;
    quint64 m_mask = 0;
    QList<int> m_written; // configuration words since the last mask
    QList<int> m_scanList;
    bool m_scanning = false;
    double m_interval = 1.0;
    double m_scanStart = 0;
    qint64 m_scansTaken = 0;
    QList<Scan> m_memory;
    Scan m_latest;
    int m_replyDelayMs = 0;
    std::function<qint64()> m_monotonic;
};

} // namespace sim
