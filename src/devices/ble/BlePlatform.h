#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

// The few Bluetooth LE operations the reference thermometer driver needs,
// behind an interface of our own so the driver logic does not depend on one
// stack. Two implementations: Qt Bluetooth (BlueZ on Linux) and a loopback
// TCP link to arq-simulator. Every blocking call has its own time-out;
// callbacks may arrive on any thread, as they do on a real stack.
// GATT characteristic property bits.
enum BleProperty : int {
    BlePropertyRead = 2,
    BlePropertyWriteNoResponse = 4,
    BlePropertyWrite = 8,
    BlePropertyNotify = 16,
};

struct BleAdvertisement
{
    int type = 0;      // 0 connectable undirected … 3 non-connectable, 4 scan response
    QString address;   // "AA:BB:CC:DD:EE:FF"
    QString id;        // what connect() takes
    QString name;
};

struct BleCharacteristic
{
    QString uuid;
    int properties = 0;
};

struct BleAdapterStatus
{
    // Unlisted: the stack cannot list its adapters; only a discovery tells.
    enum State { Usable, NoAdapter, NoLowEnergy, RadioOff, Unlisted };
    State state = NoAdapter;
    QString reason; // e.g. the radio state, for the log
    bool usable() const { return state == Usable; }
};

// One connected device. close() ends every callback; the object may be
// destroyed on any thread afterwards.
class BleConnection
{
public:
    using ValueCallback = std::function<void(const QByteArray& value)>;
    using WriteCallback = std::function<void(bool ok, const QString& error)>;

    virtual ~BleConnection() = default;

    // Service UUIDs ("0000ffe0-0000-1000-8000-00805f9b34fb"); false on failure.
    virtual bool services(QStringList* uuids) = 0;
    virtual bool characteristics(const QString& service, QList<BleCharacteristic>* out) = 0;
    // Writes the client configuration for notifications and waits for the
    // result; values then arrive through onValue.
    virtual bool enableNotifications(const QString& service, const QString& characteristic,
                                     ValueCallback onValue) = 0;
    // Starts a write; `done` reports its completion once (possibly on
    // another thread, possibly before this returns).
    virtual void write(const QString& service, const QString& characteristic, const QByteArray& bytes,
                       WriteCallback done) = 0;
    virtual void close() = 0;

    // The write above, waited for (at most timeoutMs).
    bool writeAndWait(const QString& service, const QString& characteristic, const QByteArray& bytes,
                      int timeoutMs, QString* error = nullptr);
};

class BlePlatform
{
public:
    using AdvertisementCallback = std::function<void(const BleAdvertisement&)>;
    using StatusCallback = std::function<void(bool connected)>;

    virtual ~BlePlatform() = default;

    // Default adapter present, LE supported, radio on.
    virtual BleAdapterStatus adapterStatus() = 0;
    // Passive discovery for `ms`; each advertisement seen goes to the
    // callback. False when discovery cannot run (no adapter, stack error).
    virtual bool discover(int ms, AdvertisementCallback onAdvertisement) = 0;
    // Connects to a device found by discovery; `onStatus` follows the link
    // from then on (it reports the connection itself too). Null on failure.
    virtual std::unique_ptr<BleConnection> connect(const QString& id, StatusCallback onStatus,
                                                QString* error) = 0;
    virtual QString name() const = 0;

    // The process-wide platform: the one set by useSimulator/setInstance,
    // else the simulator when ARQ_BLE_SIMULATOR=HOST:PORT[,HOST:PORT…] is
    // set, else Qt Bluetooth.
    static std::shared_ptr<BlePlatform> instance();
    static void setInstance(std::shared_ptr<BlePlatform> platform);
    // The simulator backend at these endpoints ("HOST:PORT", comma-separated);
    // false when the text names no endpoint.
    static bool useSimulator(const QString& endpoints);
    static bool simulatorChosen();
    // A reference thermometer can be offered: an LE adapter is usable (where
    // the stack lists none, a trial discovery of kProbeDiscoveryMs succeeds)
    // or the simulator stands in for the radio.
    static bool referenceUsable();
    static constexpr int kProbeDiscoveryMs = 500;

    // Waits until `done` holds or the time is up, polling; on the GUI thread
    // events keep flowing meanwhile. Not time-scaled.
    static bool waitUntil(const std::function<bool()>& done, int timeoutMs);
};

// The object a backend's thread runs its work on. Work is handed over through
// a std::mutex-guarded queue and a parameterless queued call, so the hand-off
// is visible to ThreadSanitizer (Qt's own event queue is not instrumented).
class BleThreadContext : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    ~BleThreadContext() override;
    void post(std::function<void()> work);

public slots:
    void drain();

private:
    std::mutex m_Mutex;
    std::deque<std::function<void()>> m_Work;
};
