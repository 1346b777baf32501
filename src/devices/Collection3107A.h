#pragma once

#include "RegisterLogger.h"

// The maker's 16-channel logger: a register protocol of hex frames with a
// CRC-16/MODBUS appended high byte first. The four variants differ only in
// their vocabulary and in how SetChannels programs the instrument.
class Collection3107A : public RegisterLogger
{
    Q_OBJECT
public:
    explicit Collection3107A(QObject* parent = nullptr);

    // Frame building and decoding, public for the tests and the import.
    static QString ProbeFrame();
    QString SerialNumberFrame() const;
    QString SyncTimeFrame(const QDateTime& time) const;
    QString SingleWriteFrame(const QString& reg, int code) const;
    QString CoefficientFrame(int channel, const QList<float>& values) const;
    QString ValueFrame() const;
    QStringList DecodeValues(const QString& reply) const;
    static int WiringCode(const QString& wire);
    static int ThermocoupleCode(const QString& function);

    bool TempUnitSet() const { return TempUnit; }
    int ChannelCountSet() const { return ChannelCount; }
    QList<bool> ChannelEnabledSet() const { return ChannelEnabled; }

public slots:
    bool GetSerialNumber(QString& text) override;

    QStringList CompensationList() override;
    QList<bool> CoefficientMask(QString function) override;
    QStringList ChannelNumberList(int count, QString module) override;
    int MaxChannelCount(QString module) override;
    bool CheckChannels(QList<Device::Channel> channels, QString& message) override;
    double MinInterval(QString rate, QList<Device::Channel> channels) override;
    bool SyncTime(QDateTime time) override;
    bool SetTrigger(double interval, int count) override;
    bool ReadData(QStringList& values) override;
    bool StartRead() override;
    bool WaitData(QStringList& values) override;
    bool SetChannels(QString rate, QList<Device::Channel> channels) override;
    bool OpenDataFile(QString name, QStringList channels) override;
    bool ReadDataFile(QDateTime time, QStringList& values) override;

protected:
    // Sends the variant's channel programme (after the channel set was
    // marked); stops at the first failure.
    virtual bool SendChannelSet(const QString& rate, const QList<Device::Channel>& channels) = 0;

    // Marks every channel of the set enabled; false when one lies beyond
    // ChannelCount.
    bool MarkChannels(const QList<Device::Channel>& channels);
    bool WriteRate(const QString& rate);
    bool WriteWiring(const QString& wire);
    bool WriteThermocoupleType(const QString& function);
    bool WriteCoefficients(int channel, const QList<float>& values);
    static float ToFloat(const QString& text);
    static int ChannelIndex(const Device::Channel& channel);

    bool TempUnit = false;
    int ChannelCount = 0;
    QList<bool> ChannelEnabled;

private:
    const QStringList ChannelNumbers;
    const QStringList ValueRegisters;
    const QStringList CoefficientRegisters;
    const QStringList RawRegisters;
};

class Collection3107A_TC : public Collection3107A
{
    Q_OBJECT
public:
    using Collection3107A::Collection3107A;
public slots:
    QStringList UnitList(QString type) override;
    QStringList WiringList(QString type) override;
    QStringList TypeList(int channel) override;
    QStringList FunctionList(QString type) override;
protected:
    bool SendChannelSet(const QString& rate, const QList<Device::Channel>& channels) override;
};

class Collection3107A_RTD : public Collection3107A
{
    Q_OBJECT
public:
    using Collection3107A::Collection3107A;
public slots:
    QStringList UnitList(QString type) override;
    QStringList WiringList(QString type) override;
    QStringList TypeList(int channel) override;
    QStringList FunctionList(QString type) override;
protected:
    bool SendChannelSet(const QString& rate, const QList<Device::Channel>& channels) override;
};

class Collection3107A_NTC : public Collection3107A
{
    Q_OBJECT
public:
    using Collection3107A::Collection3107A;
public slots:
    QStringList UnitList(QString type) override;
    QStringList WiringList(QString type) override;
    QStringList TypeList(int channel) override;
    QStringList FunctionList(QString type) override;
protected:
    bool SendChannelSet(const QString& rate, const QList<Device::Channel>& channels) override;
};

class Collection3107A_PCR : public Collection3107A
{
    Q_OBJECT
public:
    using Collection3107A::Collection3107A;
public slots:
    QStringList UnitList(QString type) override;
    QStringList WiringList(QString type) override;
    QStringList TypeList(int channel) override;
    QStringList FunctionList(QString type) override;
protected:
    bool SendChannelSet(const QString& rate, const QList<Device::Channel>& channels) override;
};
