#pragma once

#include "RegisterLogger.h"

// The maker's second logger (up to 26 channels): the register protocol of the
// 3107A with the CRC appended low byte first (plain Modbus RTU), a
// configuration word per channel, and values returned for the configured
// channels in channel-set order.
class Collection3108A : public RegisterLogger
{
    Q_OBJECT
public:
    explicit Collection3108A(QObject* parent = nullptr);


    // Frame building and decoding, public for the tests.
    static QString ProbeFrame();
    QString SerialNumberFrame() const;
    QString SyncTimeFrame(const QDateTime& time) const;
    QString SingleWriteFrame(quint16 reg, quint16 value) const;
    QString CoefficientFrame(int channel, const QList<float>& values) const;
    QString ColdJunctionFrame(float temperature) const;
    QString EnableMaskFrame(quint64 mask) const;
    QString TriggerIntervalFrame(double seconds) const;
    QString TriggerFrame() const;
    QString ValueFrame() const;
    QString PointCountFrame() const;
    // The values of a value reply, scaled by the stored channel set.
    QStringList DecodeValues(const QString& reply) const;
    // The configuration word of a channel; false for a type, function,
    // wiring or compensation the instrument has no code for.
    static bool ConfigWord(const Device::Channel& channel, quint16& word);
    // A base-unit reading (V, A, Ω) in the channel's unit.
    static double Scale(const Device::Channel& channel, double raw);

    int ChannelTotal() const { return m_Channels.size(); }

public slots:
    bool GetSerialNumber(QString& text) override;

    QStringList CompensationList() override;
    QStringList UnitList(QString type) override;
    QList<bool> CoefficientMask(QString function) override;
    QStringList WiringList(QString type) override;
    QStringList TypeList(int channel) override;
    QStringList FunctionList(QString type) override;
    QStringList ChannelNumberList(int count, QString module) override;
    int MaxChannelCount(QString module) override;
    bool CheckChannels(QList<Device::Channel> channels, QString& message) override;
    double MinInterval(QString rate, QList<Device::Channel> channels) override;
    bool SyncTime(QDateTime time) override;
    bool SetTrigger(double interval, int count) override;
    bool GetPointCount(int& count) override;
    bool ReadData(QStringList& values) override;
    bool StartRead() override;
    bool WaitData(QStringList& values) override;
    bool GetData(QStringList& values) override;
    bool GetReadData(QStringList& values) override;
    bool StartScan() override;
    bool StopScan() override;
    bool SetChannels(QString rate, QList<Device::Channel> channels) override;
    bool OpenDataFile(QString name, QStringList channels) override;
    bool ReadDataFile(QDateTime time, QStringList& values) override;

private:
    bool WriteScanning(bool on);
    bool WriteCoefficients(int channel, const QList<float>& values);
    QString Framed(const QString& body) const;
    int ValueLength() const { return 8 * m_Channels.size() + 10; }

    // The channel set last given to SetChannels: its size is the value count
    // of a reply, its types and units scale the values.
    QList<Device::Channel> m_Channels;
};
