#pragma once

#include "Device.h"

class DeviceLink;

// Base of the temperature sources (dry blocks and liquid baths).
class Field : public Device
{
    Q_OBJECT
public:
    explicit Field(QObject* parent = nullptr);

public slots:
    virtual QStringList ModelList();
    virtual QStringList CommunicationList();
    virtual bool StabilityLimit(QString model, QString& limit);
    virtual bool TemperatureRange(QString model, QString& low, QString& high);
    virtual bool Initialize();
    virtual bool ReadTemperature(double& value);
    virtual bool SetTemperature(double value);
    virtual bool IsStable(bool& stable);

protected:
    // What the text-line sources share on their link: opening with the
    // sources' wait (120 × 100 ms), writing a line with its 200 ms pause, and
    // reading a reply (300 ms, then up to 60 × 100 ms, everything queued
    // taken at once; line ends removed when `stripLineEnds`).
    bool openLink(DeviceLink* link, const QString& mode, const QString& address, const QString& port);
    bool writeLink(DeviceLink* link, const QString& command);
    bool readLink(DeviceLink* link, QString& reply, bool stripLineEnds);
};
