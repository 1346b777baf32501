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
    // After a failed reading: brings a lost link back and starts the
    // measurement again. True when it did; readings taken before it are
    // then not to be combined with readings after it. Wired references
    // have nothing to bring back.
    virtual bool Reconnect();

protected:
    Field* Source = nullptr; // not owned
};
