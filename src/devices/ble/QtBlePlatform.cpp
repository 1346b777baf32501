#include "QtBlePlatform.h"

#include <QBluetoothDeviceDiscoveryAgent>
#include <QBluetoothLocalDevice>
#include <QBluetoothUuid>
#include <QDebug>
#include <QEventLoop>
#include <QLowEnergyController>
#include <QLowEnergyService>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <mutex>

#ifdef ARQ_BLE_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#endif

namespace {

QString uuidText(const QBluetoothUuid& uuid)
{
    QString text = uuid.toString().toLower();
    text.remove(QLatin1Char('{'));
    text.remove(QLatin1Char('}'));
    return text;
}

QBluetoothUuid uuidFrom(const QString& text)
{
    const QString t = text.trimmed();
    return QBluetoothUuid(QUuid(t.startsWith(QLatin1Char('{')) ? t : QLatin1Char('{') + t + QLatin1Char('}')));
}

// Runs a local event loop until `quit` is called or the time is up; true
// when quit came first.
class Waiter
{
public:
    bool wait(int timeoutMs)
    {
        if (m_Done)
            return true;
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &m_Loop, &QEventLoop::quit);
        timer.start(timeoutMs);
        m_Loop.exec();
        return m_Done;
    }
    void quit()
    {
        m_Done = true;
        m_Loop.quit();
    }

private:
    QEventLoop m_Loop;
    bool m_Done = false;
};

// State of one connection. The Qt objects are touched on the platform
// thread only; the callbacks are shared and locked.
struct QtConnectionState
{
    QLowEnergyController* controller = nullptr;
    QHash<QString, QLowEnergyService*> services; // by UUID text

    std::mutex mutex; // guards the callbacks
    BlePlatform::StatusCallback status;
    QHash<QString, BleConnection::ValueCallback> values;
    BleConnection::WriteCallback pendingWrite;

    void reportStatus(bool connected)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (status)
            status(connected);
    }
    void finishWrite(bool ok, const QString& error)
    {
        BleConnection::WriteCallback done;
        {
            std::lock_guard<std::mutex> lock(mutex);
            done = std::move(pendingWrite);
            pendingWrite = nullptr;
        }
        if (done)
            done(ok, error);
    }
};

class QtBleConnection : public BleConnection
{
public:
    QtBleConnection(QtBlePlatform* platform, std::shared_ptr<QtConnectionState> state)
        : m_Platform(platform), m_State(std::move(state))
    {
    }
    ~QtBleConnection() override { close(); }

    bool services(QStringList* uuids) override
    {
        auto state = m_State;
        auto result = std::make_shared<QStringList>();
        auto ok = std::make_shared<std::atomic<bool>>(false);
        const bool ran = m_Platform->runOnThread(
            [state, result, ok] {
                if (!state->controller)
                    return;
                Waiter waiter;
                auto c1 = QObject::connect(state->controller, &QLowEnergyController::discoveryFinished,
                                           [&waiter] { waiter.quit(); });
                auto c2 = QObject::connect(state->controller,
                                           qOverload<QLowEnergyController::Error>(&QLowEnergyController::error),
                                           [&waiter] { waiter.quit(); });
                state->controller->discoverServices();
                const bool finished = waiter.wait(QtBlePlatform::kGattTimeoutMs);
                QObject::disconnect(c1);
                QObject::disconnect(c2);
                if (!state->controller)
                    return;
                if (!finished || state->controller->error() != QLowEnergyController::NoError)
                    return;
                for (const QBluetoothUuid& uuid : state->controller->services())
                    result->append(uuidText(uuid));
                *ok = true;
            },
            QtBlePlatform::kGattTimeoutMs + 1000);
        if (!ran || !*ok)
            return false;
        *uuids = *result;
        return true;
    }

    bool characteristics(const QString& service, QList<BleCharacteristic>* out) override
    {
        auto state = m_State;
        auto result = std::make_shared<QList<BleCharacteristic>>();
        auto ok = std::make_shared<std::atomic<bool>>(false);
        const bool ran = m_Platform->runOnThread(
            [state, service, result, ok] {
                QLowEnergyService* s = serviceObject(state, service);
                if (!s)
                    return;
                if (s->state() != QLowEnergyService::ServiceDiscovered) {
                    Waiter waiter;
                    auto c1 = QObject::connect(s, &QLowEnergyService::stateChanged,
                                               [&waiter](QLowEnergyService::ServiceState st) {
                                                   if (st == QLowEnergyService::ServiceDiscovered)
                                                       waiter.quit();
                                               });
                    auto c2 = QObject::connect(s, qOverload<QLowEnergyService::ServiceError>(&QLowEnergyService::error),
                                               [&waiter] { waiter.quit(); });
                    s->discoverDetails();
                    waiter.wait(QtBlePlatform::kGattTimeoutMs);
                    QObject::disconnect(c1);
                    QObject::disconnect(c2);
                }
                if (s->state() != QLowEnergyService::ServiceDiscovered)
                    return;
                for (const QLowEnergyCharacteristic& c : s->characteristics())
                    result->append({uuidText(c.uuid()), static_cast<int>(c.properties())});
                *ok = true;
            },
            QtBlePlatform::kGattTimeoutMs + 1000);
        if (!ran || !*ok)
            return false;
        *out = *result;
        return true;
    }

    bool enableNotifications(const QString& service, const QString& characteristic, ValueCallback onValue) override
    {
        auto state = m_State;
        const QString key = uuidText(uuidFrom(characteristic));
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->values.insert(key, std::move(onValue));
        }
        auto ok = std::make_shared<std::atomic<bool>>(false);
        const bool ran = m_Platform->runOnThread(
            [state, service, key, ok] {
                QLowEnergyService* s = serviceObject(state, service);
                if (!s)
                    return;
                const QLowEnergyCharacteristic c = s->characteristic(uuidFrom(key));
                const QLowEnergyDescriptor cccd =
                    c.descriptor(QBluetoothUuid::ClientCharacteristicConfiguration);
                if (!c.isValid() || !cccd.isValid())
                    return;
                Waiter waiter;
                bool written = false;
                auto c1 = QObject::connect(s, &QLowEnergyService::descriptorWritten,
                                           [&](const QLowEnergyDescriptor& d, const QByteArray&) {
                                               if (d == cccd) {
                                                   written = true;
                                                   waiter.quit();
                                               }
                                           });
                auto c2 = QObject::connect(s, qOverload<QLowEnergyService::ServiceError>(&QLowEnergyService::error),
                                           [&waiter] { waiter.quit(); });
                s->writeDescriptor(cccd, QByteArray::fromHex("0100"));
                waiter.wait(QtBlePlatform::kGattTimeoutMs);
                QObject::disconnect(c1);
                QObject::disconnect(c2);
                *ok = written;
            },
            QtBlePlatform::kGattTimeoutMs + 1000);
        if (ran && *ok)
            return true;
        std::lock_guard<std::mutex> lock(state->mutex);
        state->values.remove(key);
        return false;
    }

    void write(const QString& service, const QString& characteristic, const QByteArray& bytes,
               WriteCallback done) override
    {
        auto state = m_State;
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->pendingWrite = std::move(done);
        }
        const QString key = uuidText(uuidFrom(characteristic));
        m_Platform->context()->post(
            [state, service, key, bytes] {
                QLowEnergyService* s = serviceObject(state, service);
                const QLowEnergyCharacteristic c = s ? s->characteristic(uuidFrom(key)) : QLowEnergyCharacteristic();
                if (!c.isValid()) {
                    state->finishWrite(false, QStringLiteral("no such characteristic"));
                    return;
                }
                if (c.properties() & QLowEnergyCharacteristic::Write) {
                    // Completion comes as characteristicWritten or error.
                    s->writeCharacteristic(c, bytes, QLowEnergyService::WriteWithResponse);
                } else {
                    // Without response Qt reports nothing: handed over is done.
                    s->writeCharacteristic(c, bytes, QLowEnergyService::WriteWithoutResponse);
                    state->finishWrite(true, QString());
                }
            });
    }

    void close() override
    {
        if (m_Closed.exchange(true))
            return;
        auto state = m_State;
        {
            std::lock_guard<std::mutex> lock(state->mutex);
            state->status = nullptr;
            state->values.clear();
        }
        state->finishWrite(false, QStringLiteral("closed"));
        m_Platform->context()->post(
            [state] {
                for (QLowEnergyService* s : qAsConst(state->services))
                    s->deleteLater();
                state->services.clear();
                if (state->controller) {
                    state->controller->disconnect();
                    state->controller->disconnectFromDevice();
                    state->controller->deleteLater();
                    state->controller = nullptr;
                }
            });
    }

    // Platform thread: the service object for a UUID, created on first use
    // and wired to the callbacks.
    static QLowEnergyService* serviceObject(const std::shared_ptr<QtConnectionState>& state, const QString& uuid)
    {
        const QString key = uuidText(uuidFrom(uuid));
        if (QLowEnergyService* s = state->services.value(key))
            return s;
        if (!state->controller)
            return nullptr;
        QLowEnergyService* s = state->controller->createServiceObject(uuidFrom(key), state->controller);
        if (!s)
            return nullptr;
        state->services.insert(key, s);
        // Kept alive by the service object's handlers until close() deletes it.
        std::shared_ptr<QtConnectionState> st = state;
        QObject::connect(s, &QLowEnergyService::characteristicChanged,
                         [st](const QLowEnergyCharacteristic& c, const QByteArray& value) {
                             BleConnection::ValueCallback cb;
                             {
                                 std::lock_guard<std::mutex> lock(st->mutex);
                                 cb = st->values.value(uuidText(c.uuid()));
                             }
                             if (cb)
                                 cb(value);
                         });
        QObject::connect(s, &QLowEnergyService::characteristicWritten,
                         [st](const QLowEnergyCharacteristic&, const QByteArray&) { st->finishWrite(true, QString()); });
        QObject::connect(s, qOverload<QLowEnergyService::ServiceError>(&QLowEnergyService::error),
                         [st](QLowEnergyService::ServiceError e) {
                             if (e == QLowEnergyService::CharacteristicWriteError)
                                 st->finishWrite(false, QStringLiteral("characteristic write error"));
                         });
        return s;
    }

private:
    QtBlePlatform* m_Platform;
    std::shared_ptr<QtConnectionState> m_State;
    std::atomic<bool> m_Closed{false};
};

} // namespace

QtBlePlatform::QtBlePlatform() : m_Thread(new QThread), m_Context(new BleThreadContext)
{
    m_Thread->setObjectName(QStringLiteral("ble-qt"));
    m_Context->moveToThread(m_Thread);
    m_Thread->start();
}

QtBlePlatform::~QtBlePlatform()
{
    // Qt Bluetooth objects go on their own thread; the context once that has ended.
    m_Context->post([ctx = m_Context] { qDeleteAll(ctx->children()); });
    m_Thread->quit();
    m_Thread->wait();
    delete m_Context;
    delete m_Thread;
}

bool QtBlePlatform::runOnThread(std::function<void()> work, int timeoutMs)
{
    auto done = std::make_shared<std::atomic<bool>>(false);
    m_Context->post([work = std::move(work), done] {
        work();
        *done = true;
    });
    return waitUntil([&] { return done->load(); }, timeoutMs);
}

BleAdapterStatus QtBlePlatform::adapterStatusHere()
{
    BleAdapterStatus status;
#ifdef ARQ_BLE_HAVE_DBUS
    // Asked first so that a machine without BlueZ gives our one log line
    // rather than Qt Bluetooth's complaints.
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected() || !bus.interface()
        || !bus.interface()->isServiceRegistered(QStringLiteral("org.bluez")).value()) {
        status.reason = bus.isConnected() ? QStringLiteral("BlueZ is not running")
                                          : QStringLiteral("no system D-Bus, hence no BlueZ");
        return status;
    }
#endif
    const QList<QBluetoothHostInfo> hosts = QBluetoothLocalDevice::allDevices();
    if (hosts.isEmpty()) {
        status.reason = QStringLiteral("no Bluetooth adapter");
        return status;
    }
    QBluetoothLocalDevice local(hosts.first().address());
    if (!local.isValid()) {
        status.reason = QStringLiteral("adapter %1 not usable").arg(hosts.first().address().toString());
        return status;
    }
    // BlueZ 5 adapters speak LE; Qt offers no finer question.
    if (local.hostMode() == QBluetoothLocalDevice::HostPoweredOff) {
        status.state = BleAdapterStatus::RadioOff;
        status.reason = QStringLiteral("Off");
        return status;
    }
    status.state = BleAdapterStatus::Usable;
    return status;
}

BleAdapterStatus QtBlePlatform::adapterStatus()
{
    auto result = std::make_shared<BleAdapterStatus>();
    auto mutex = std::make_shared<std::mutex>();
    const bool ran = runOnThread(
        [this, result, mutex] {
            const BleAdapterStatus s = adapterStatusHere();
            std::lock_guard<std::mutex> lock(*mutex);
            *result = s;
        },
        kAdapterTimeoutMs);
    std::lock_guard<std::mutex> lock(*mutex);
    if (!ran) {
        BleAdapterStatus none;
        none.reason = QStringLiteral("the Bluetooth stack did not answer");
        return none;
    }
    return *result;
}

bool QtBlePlatform::discover(int ms, AdvertisementCallback onAdvertisement)
{
    auto ok = std::make_shared<std::atomic<bool>>(false);
    const bool ran = runOnThread(
        [this, ms, onAdvertisement, ok] {
            const BleAdapterStatus status = adapterStatusHere();
            if (!status.usable()) {
                qWarning().noquote() << "BLE discovery not possible:" << status.reason;
                return;
            }
            QBluetoothDeviceDiscoveryAgent agent;
            agent.setLowEnergyDiscoveryTimeout(ms);
            Waiter waiter;
            bool failed = false;
            QObject::connect(&agent, &QBluetoothDeviceDiscoveryAgent::deviceDiscovered,
                             [this, &onAdvertisement](const QBluetoothDeviceInfo& info) {
                                 if (!(info.coreConfigurations() & QBluetoothDeviceInfo::LowEnergyCoreConfiguration))
                                     return;
                                 BleAdvertisement adv;
                                 adv.type = 0;
                                 adv.address = info.address().toString();
                                 adv.id = info.address().isNull() ? info.deviceUuid().toString() : adv.address;
                                 adv.name = info.name();
                                 m_Seen.insert(adv.id, info);
                                 onAdvertisement(adv);
                             });
            QObject::connect(&agent, &QBluetoothDeviceDiscoveryAgent::finished, [&waiter] { waiter.quit(); });
            QObject::connect(&agent, &QBluetoothDeviceDiscoveryAgent::canceled, [&waiter] { waiter.quit(); });
            QObject::connect(&agent, qOverload<QBluetoothDeviceDiscoveryAgent::Error>(&QBluetoothDeviceDiscoveryAgent::error),
                             [&](QBluetoothDeviceDiscoveryAgent::Error e) {
                                 qWarning().noquote() << "BLE discovery failed:" << e << agent.errorString();
                                 failed = true;
                                 waiter.quit();
                             });
            agent.start(QBluetoothDeviceDiscoveryAgent::LowEnergyMethod);
            if (!failed && agent.isActive())
                waiter.wait(ms + 2000);
            agent.stop();
            *ok = !failed && agent.error() == QBluetoothDeviceDiscoveryAgent::NoError;
        },
        ms + kAdapterTimeoutMs + 3000);
    if (!ran)
        qWarning() << "BLE discovery: the Bluetooth stack did not answer in time";
    return ran && *ok;
}

std::unique_ptr<BleConnection> QtBlePlatform::connect(const QString& id, StatusCallback onStatus, QString* error)
{
    auto state = std::make_shared<QtConnectionState>();
    state->status = std::move(onStatus);
    auto ok = std::make_shared<std::atomic<bool>>(false);
    auto message = std::make_shared<QString>();
    auto messageMutex = std::make_shared<std::mutex>();
    const bool ran = runOnThread(
        [this, id, state, ok, message, messageMutex] {
            auto fail = [&](const QString& text) {
                std::lock_guard<std::mutex> lock(*messageMutex);
                *message = text;
            };
            QBluetoothDeviceInfo info = m_Seen.value(id);
            if (!info.isValid()) {
                const QBluetoothAddress address(id);
                if (address.isNull()) {
                    fail(QStringLiteral("device %1 not seen by a discovery").arg(id));
                    return;
                }
                info = QBluetoothDeviceInfo(address, QString(), 0);
                info.setCoreConfigurations(QBluetoothDeviceInfo::LowEnergyCoreConfiguration);
            }
            QLowEnergyController* controller = QLowEnergyController::createCentral(info, m_Context);
            Waiter waiter;
            auto c1 = QObject::connect(controller, &QLowEnergyController::connected, [&waiter] { waiter.quit(); });
            auto c2 = QObject::connect(controller, qOverload<QLowEnergyController::Error>(&QLowEnergyController::error),
                                       [&waiter] { waiter.quit(); });
            controller->connectToDevice();
            waiter.wait(kConnectTimeoutMs);
            QObject::disconnect(c1);
            QObject::disconnect(c2);
            if (controller->state() != QLowEnergyController::ConnectedState
                && controller->state() != QLowEnergyController::DiscoveredState) {
                fail(controller->errorString().isEmpty() ? QStringLiteral("connection timed out")
                                                         : controller->errorString());
                controller->disconnectFromDevice();
                controller->deleteLater();
                return;
            }
            state->controller = controller;
            std::weak_ptr<QtConnectionState> st = state;
            QObject::connect(controller, &QLowEnergyController::connected, [st] {
                if (auto s = st.lock())
                    s->reportStatus(true);
            });
            QObject::connect(controller, &QLowEnergyController::disconnected, [st] {
                if (auto s = st.lock())
                    s->reportStatus(false);
            });
            *ok = true;
        },
        kConnectTimeoutMs + 2000);
    if (!ran || !*ok) {
        if (error) {
            std::lock_guard<std::mutex> lock(*messageMutex);
            *error = ran ? *message : QStringLiteral("the Bluetooth stack did not answer in time");
        }
        return nullptr;
    }
    // Connected before the status handlers existed: report it once now.
    state->reportStatus(true);
    return std::make_unique<QtBleConnection>(this, state);
}
