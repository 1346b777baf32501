#pragma once

#include "Field.h"

class DeviceLink;

// Stirred liquid baths: text lines over a serial port only.
class FieldTank : public Field
{
    Q_OBJECT
public:
    explicit FieldTank(QObject* parent = nullptr);
    ~FieldTank() override;

    DeviceLink* Link() const { return m_Link; }

public slots:
    bool PortList(QStringList& names) override;
    bool Open(QString mode, QString address, QString port) override;
    bool Close() override;
    bool IsOpen() override;
    bool Read(QString& reply) override;
    bool Write(QString command) override;
    bool GetSerialNumber(QString& text) override;

    QStringList ModelList() override;
    QStringList CommunicationList() override;
    bool StabilityLimit(QString model, QString& limit) override;
    bool TemperatureRange(QString model, QString& low, QString& high) override;
    bool Initialize() override;
    bool ReadTemperature(double& value) override;
    bool SetTemperature(double value) override;
    bool IsStable(bool& stable) override;

private:
    DeviceLink* m_Link = nullptr;
};

// The bath's own reference reading serves as the standard; the bath reads
// it with the same command.
class FieldTankR : public FieldTank
{
    Q_OBJECT
public:
    using FieldTank::FieldTank;

public slots:
    bool ReadTemperature(double& value) override;
};
