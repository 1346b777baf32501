#pragma once

#include "Device.h"

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
};
