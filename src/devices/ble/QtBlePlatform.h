#pragma once

#include "BlePlatform.h"

#include <QBluetoothDeviceInfo>
#include <QHash>

class QThread;

// Bluetooth LE through Qt Bluetooth (BlueZ on Linux). Qt's objects need an
// event loop, so they all live on one thread of this object; every call
// posts its work there and waits for the result with a time-out, and the
// status and value callbacks come from that thread.
//
// Qt does not report the advertisement type; devices found by an LE
// discovery are reported as type 0 (connectable undirected).
class QtBlePlatform : public BlePlatform
{
public:
    QtBlePlatform();
    ~QtBlePlatform() override;

    BleAdapterStatus adapterStatus() override;
    bool discover(int ms, AdvertisementCallback onAdvertisement) override;
    std::unique_ptr<BleConnection> connect(const QString& id, StatusCallback onStatus, QString* error) override;
    QString name() const override { return QStringLiteral("Qt Bluetooth"); }

    // Waits on the platform thread; a stack that stops answering costs at
    // most these (plus the discovery time itself).
    static constexpr int kAdapterTimeoutMs = 3000;
    static constexpr int kConnectTimeoutMs = 15000;
    static constexpr int kGattTimeoutMs = 10000;

    // Runs `work` on the platform thread and waits up to timeoutMs; false
    // on time-out (the work still runs later, against shared state only).
    bool runOnThread(std::function<void()> work, int timeoutMs);
    BleThreadContext* context() const { return m_Context; }

private:
    // Platform thread only.
    BleAdapterStatus adapterStatusHere();

    QThread* m_Thread = nullptr;
    BleThreadContext* m_Context = nullptr;
    QHash<QString, QBluetoothDeviceInfo> m_Seen; // platform thread only: devices by id
};
