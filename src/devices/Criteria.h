#pragma once

#include "Device.h"

class Field;

// Reference thermometer. With a source it stands for the source's built-in
// reference and delegates to it.
class Criteria : public Device
{
    Q_OBJECT
public:
    explicit Criteria(QObject* parent = nullptr);
    explicit Criteria(Field* source, QObject* parent = nullptr);

public slots:
    bool PortList(QStringList& names) override;
    bool Open(QString mode, QString address, QString port) override;
    bool Close() override;
    bool IsOpen() override;
    bool Read(QString& reply) override;
    bool Write(QString command) override;
    bool GetSerialNumber(QString& text) override;
    virtual bool SetChannel(Device::Channel channel);
    virtual bool ReadTemperature(double& value);

protected:
    Field* Source = nullptr; // not owned
};
