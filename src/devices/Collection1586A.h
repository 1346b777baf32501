#pragma once

#include "Collection.h"

class DeviceLink;

// The precision temperature scanner (SCPI text lines). Link and vocabulary
// are in place; the protocol operations answer false without I/O until the
// protocol itself is added.
class Collection1586A : public Collection
{
    Q_OBJECT
public:
    explicit Collection1586A(QObject* parent = nullptr);
    ~Collection1586A() override;

    DeviceLink* Link() const { return m_Link; }
    // Modules flagged "1" in a module string (1-based); 1 and 2 when empty.
    static QList<int> Modules(const QString& module);

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
