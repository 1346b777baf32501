#pragma once

#include "ChannelSignal.h"
#include "LabSensor.h"
#include "SimulatedInstrument.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <array>
#include <functional>

namespace sim {

enum class Variant { TC, RTD, NTC, PCR };

// "3107A-TC" … "3107A-PCR" (case-insensitive) to a variant.
bool variantFromModel(const QString& model, Variant* variant);
QString modelName(Variant variant);
// Thermocouple letter of a type code written to register 0x000D (1 "A" … 20 "Pt_Pd").
QString thermocoupleName(int code);

// The state and register protocol of one 3107A logger, independent of any link:
// `handle` takes one request frame and returns the reply the instrument sends
// (empty when it stays silent, as it does for frames not meant for it).
class Instrument3107A : public SimulatedInstrument
{
public:
    static constexpr int kChannels = 16;
    static constexpr int kIdentityLength = 10;

    enum Register : quint16 {
        RegAddress = 0x0001,
        RegWiring = 0x000C,
        RegThermocouple = 0x000D,
        RegRate = 0x000E,
        RegCoefficients = 0x0010,
        RegTemperature = 0x0100,
        RegElectrical = 0x0200,
        RegIdentity = 0x1000,
        RegClock = 0x1010,
    };
    enum Exception : quint8 { IllegalFunction = 1, IllegalAddress = 2, IllegalValue = 3 };

    explicit Instrument3107A(Variant variant);

    // Milliseconds of a monotonic clock; tests replace it to step time.
    void setMonotonicClock(std::function<qint64()> clock);

    Variant variant() const { return m_variant; }
    quint8 stationAddress() const { return m_address; }
    void setStationAddress(quint8 address) { m_address = address; }
    QString identity() const { return m_identity; }
    // Padded with spaces or cut to 10 characters (Latin-1).
    void setIdentity(const QString& identity);
    QDateTime clock() const;
    void setClock(const QDateTime& time);

    int rateCode() const { return m_rate; }
    int wiringCode() const { return m_wiring; }
    int thermocoupleCode() const { return m_thermocouple; }
    // Letter type used for the emf; "K" when the configured one has no curve here.
    QString effectiveThermocouple() const;
    // 16 with two-wire connection, 8 with three- or four-wire (two terminal pairs per channel).
    int activeChannels() const { return m_wiring == 0 ? kChannels : kChannels / 2; }
    // Seconds per scan of all active channels at the current rate.
    double scanPeriod() const;
    // Coefficient block as last written (floats in write order).
    QVector<float> coefficients(int channel) const;
    int coefficientCount() const;

    ChannelSignal& signal(int channel) override { return m_signals[static_cast<size_t>(channel)]; }
    double now() const override; // seconds on the monotonic clock

    // The sensor on a channel: nominal (it follows the programmed curve) or
    // one with a known error. False when the sensor kind does not fit the
    // variant (a platinum sensor on a thermocouple logger).
    bool setSensor(int channel, const LabSensor& sensor);
    const LabSensor& sensor(int channel) const { return m_sensors[static_cast<size_t>(channel)]; }
    static bool sensorFits(Variant variant, LabSensor::Kind kind);

    // Values the instrument reports for a channel at a given temperature:
    // the sensor's emf or resistance, and the temperature the logger makes
    // of it with the coefficients programmed into it.
    double electricalAt(int channel, double temperature) const;
    double reportedTemperature(int channel, double temperature) const;

    struct Reading
    {
        double trueTemperature;
        float temperature; // register block 0x0100
        float electrical;  // register block 0x0200
    };
    // The reading of the current scan (a new scan is taken when the last one is a scan period old).
    Reading reading(int channel);
    // The next read takes a new scan (after the temperatures were changed by hand).
    void invalidateScan() override { m_scanMs = -1; }

    QByteArray handle(const QByteArray& frame) override;

    QString summary() const override;
    QStringList details() override;
    int frameLength(const QByteArray& buffer) const override { return requestLength(buffer); }
    bool frameIntact(const QByteArray& frame) const override;
    bool supports(Fault fault) const override { return fault != Fault::Garbage; }
    // A flipped CRC bit, or the reply re-addressed (with a valid CRC) from the
    // next station address.
    void inject(Fault fault, QByteArray* reply) const override;
    int channelCount() const override { return kChannels; }

    // The logger's own recording, started on its front panel: every
    // `seconds` of its clock the temperatures of the active channels go into
    // a memory that exportData writes as the logger's data file
    // ("Time,CH01,…" and lines "2024-05-06 10:00:00,25.000000,…").
    bool startRecording(double seconds);
    void stopRecording() { catchUp(); m_recording = false; }
    bool recording() const { return m_recording; }
    int recordCount();
    bool exportData(const QString& path, QString* error) override;
    bool setClockTime(const QDateTime& time) override;

    // Length of the request frame that starts the buffer: 0 when more bytes are
    // needed, -1 when the first byte cannot start a request.
    static int requestLength(const QByteArray& buffer);

private:
    QByteArray exception(quint8 function, quint8 code) const;
    quint8 readRegisters(quint16 reg, quint16 count, QByteArray* data);
    quint8 writeRegister(quint16 reg, quint16 value);
    quint8 writeRegisters(quint16 reg, quint16 count, const QByteArray& data);
    void refreshScan();
    void catchUp();
    // The temperature the programmed curve gives for a resistance.
    double programmedTemperature(int channel, double resistance) const;

    Variant m_variant;
    quint8 m_address = 1;
    QString m_identity;
    qint64 m_clockOffsetMs = 0;
    int m_rate = 2;
    int m_wiring = 0;
    int m_thermocouple = 8; // K
    std::array<std::array<float, 6>, kChannels> m_coefficients{};
    std::array<ChannelSignal, kChannels> m_signals;
    std::array<LabSensor, kChannels> m_sensors;
    std::array<double, kChannels> m_scan{};
    qint64 m_scanMs = -1;
    std::function<qint64()> m_monotonic;

    struct Record
    {
        QDateTime time;
        QVector<float> values;
    };
    static constexpr int kRecords = 100000;
    QList<Record> m_records;
    bool m_recording = false;
    double m_recordInterval = 1.0;
    double m_recordStart = 0; // monotonic seconds
    QDateTime m_recordStartClock;
    qint64 m_recordsTaken = 0;
};

} // namespace sim
