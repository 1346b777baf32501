#pragma once

#include "BlePlatform.h"

#include <QBluetoothDeviceInfo>
#include <QEventLoop>
#include <QHash>
#include <QPointer>
#include <QSet>

#include <deque>
#include <memory>
#include <vector>

class QThread;
struct QtConnectionState;

// A local event loop on the platform thread that also ends when `watched`
// is destroyed. Work posted to that thread (a close()) runs inside the loop
// and may delete the object a caller was waiting on; after wait() the
// caller touches it only if alive() says so.
class QtBleWait
{
public:
    explicit QtBleWait(QObject* watched = nullptr);
    // True when quit() came first and the watched object (if any) still exists.
    bool wait(int timeoutMs);
    void quit();
    bool alive() const { return !m_Watching || !m_Watched.isNull(); }

private:
    QEventLoop m_Loop;
    QPointer<QObject> m_Watched;
    bool m_Watching = false;
    bool m_Done = false;
};

// Writes still waiting for the stack. The stack (BlueZ, WinRT) carries them
// out one after another and reports each request by characteristic and
// value, or a write error that names neither: a completion goes to the
// oldest pending write it fits, never to whichever write came last. Writes
// without response are queued in their turn with nobody waiting: a success
// is never reported for them, a failure is the write error.
class QtPendingWrites
{
public:
    using Done = std::function<void(bool ok, const QString& error)>;
    void add(const QString& characteristic, const QByteArray& value, Done done);
    void addCommand(const QString& characteristic, const QByteArray& value);
    // characteristicWritten: the oldest write of this value to this characteristic.
    Done takeWritten(const QString& characteristic, const QByteArray& value);
    // CharacteristicWriteError: the oldest write (none to call for a command).
    Done takeOldest();
    std::deque<Done> takeAll();
    int size() const { return static_cast<int>(m_Writes.size()); }

private:
    struct Write
    {
        QString characteristic;
        QByteArray value;
        Done done;
        bool command;
    };
    std::deque<Write> m_Writes;
};

// Which devices a discovery reports. Qt lists, besides what advertises now,
// every device the stack remembers (BlueZ's cache, Windows' paired devices),
// at the start of the scan and without signal strength; each of those costs
// a connect time-out. A device counts once it shows signs of advertising
// during this scan: a signal strength on discovery, or an update of signal
// strength or manufacturer data. Qt gives no advertisement type; a device
// seen advertising is reported as connectable undirected (type 0), each
// address once per scan.
class QtAdvertisementFilter
{
public:
    // The advertisement to report, or none (type -1).
    BleAdvertisement discovered(const QBluetoothDeviceInfo& info);
    BleAdvertisement updated(const QBluetoothDeviceInfo& info, QBluetoothDeviceInfo::Fields fields);
    static QString idOf(const QBluetoothDeviceInfo& info);

private:
    BleAdvertisement report(const QBluetoothDeviceInfo& info);
    QSet<QString> m_Reported;
};

// Bluetooth LE through Qt Bluetooth (BlueZ on Linux). Qt's objects need an
// event loop, so they all live on one thread of this object; every call
// posts its work there and waits for the result with a time-out, and the
// status and value callbacks come from that thread.
//
// Discovery reports only devices advertising during the scan (see
// QtAdvertisementFilter).
class QtBlePlatform : public BlePlatform
{
public:
    // How the adapter is looked for. Qt 5's Windows backend lists no local
    // adapter at all (QBluetoothLocalDevice::allDevices() is always empty
    // there): the status is then Unlisted, and only trying a discovery tells
    // whether the radio can be used.
    enum class AdapterCheck { AdapterList, Discovery };
#ifdef Q_OS_WIN
    static constexpr AdapterCheck kDefaultAdapterCheck = AdapterCheck::Discovery;
#else
    static constexpr AdapterCheck kDefaultAdapterCheck = AdapterCheck::AdapterList;
#endif
    explicit QtBlePlatform(AdapterCheck check = kDefaultAdapterCheck);
    ~QtBlePlatform() override;

    BleAdapterStatus adapterStatus() override;
    bool discover(int ms, AdvertisementCallback onAdvertisement) override;
    std::unique_ptr<BleConnection> connect(const QString& id, StatusCallback onStatus, QString* error) override;
    QString name() const override { return QStringLiteral("Qt Bluetooth"); }

    // Waits on the platform thread, scaled like the driver's (Device::
    // timeScale); a stack that stops answering costs at most these (plus
    // the discovery time itself).
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
    void daemonChanged(const QString& owner);
    // A discovery session of this process when the adapter already says
    // Discovering; its adapter path, or empty when none was needed.
    QString startOwnScanIfDiscovering();
    void stopOwnScan(const QString& adapterPath);
    void pruneLive();
    AdapterCheck m_Check;
    QThread* m_Thread = nullptr;
    BleThreadContext* m_Context = nullptr;
    QHash<QString, QBluetoothDeviceInfo> m_Seen; // platform thread only: devices by id
    std::vector<std::weak_ptr<QtConnectionState>> m_Live; // platform thread only: connections made
};
