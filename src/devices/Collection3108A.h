#pragma once

#include "Collection.h"

class DeviceLink;

// The maker's second logger (up to 26 channels). Link and vocabulary are in
// place; the protocol operations answer false without I/O until the protocol
// itself is added.
class Collection3108A : public Collection
{
    Q_OBJECT
public:
    explicit Collection3108A(QObject* parent = nullptr);
    ~Collection3108A() override;

    DeviceLink* Link() const { return m_Link; }

public slots:
    bool PortList(QStringList& names) override;
    bool Open(QString mode, QString address, QString port) override;
    bool Close() override;
    bool IsOpen() override;
    bool Read(QString& reply) override;
    bool Write(QString command) override;
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

private:
    DeviceLink* m_Link = nullptr;
};
