#pragma once

#include "Field.h"

class DeviceLink;

// Dry-block calibrators: text lines over a serial port or TCP, or no link
// at all when the operator sets the block by hand ("手动").
class FieldDry : public Field
{
    Q_OBJECT
public:
    explicit FieldDry(QObject* parent = nullptr);
    ~FieldDry() override;

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

protected:
    // One command, one reply holding a number.
    bool QueryNumber(const QString& command, double& value);

private:
    DeviceLink* m_Link = nullptr;
};

// The block's own reference sensor serves as the standard.
class FieldDryR : public FieldDry
{
    Q_OBJECT
public:
    using FieldDry::FieldDry;

public slots:
    bool ReadTemperature(double& value) override;
};
