#include "QtBlePlatform.h"

#include "Device.h"

#include <QBluetoothDeviceDiscoveryAgent>
#include <QBluetoothLocalDevice>
#include <QBluetoothUuid>
#include <QDebug>
#include <QEventLoop>
#include <QLowEnergyController>
#include <QLowEnergyService>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>

#ifdef ARQ_BLE_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusServiceWatcher>
#endif

// State of one connection (declared in the header). The Qt objects are touched on the platform
// thread only; the callbacks are shared and locked.
struct QtConnectionState
{
    // Platform thread only. Guarded pointers: close() deletes the objects
    // and may run inside a nested wait of a call that holds them.
    QPointer<QLowEnergyController> controller;
    QHash<QString, QPointer<QLowEnergyService>> services; // by UUID text
    bool closed = false;
    bool lost = false; // the link's end has been reported

    std::mutex mutex; // guards the callbacks and the pending writes
    BlePlatform::StatusCallback status;
    QHash<QString, BleConnection::ValueCallback> values;
    QtPendingWrites writes;

    void reportStatus(bool connected)
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (status)
            status(connected);
    }
    static void run(const QtPendingWrites::Done& done, bool ok, const QString& error)
    {
        if (done)
            done(ok, error);
    }
    void written(const QString& characteristic, const QByteArray& value)
    {
        QtPendingWrites::Done done;
        {
            std::lock_guard<std::mutex> lock(mutex);
            done = writes.takeWritten(characteristic, value);
        }
        run(done, true, QString());
    }
    void writeFailed(const QString& error)
    {
        QtPendingWrites::Done done;
        {
            std::lock_guard<std::mutex> lock(mutex);
            done = writes.takeOldest();
        }
        run(done, false, error);
    }
    // Platform thread: the link is gone. Reported once; writes still
    // waiting fail now (Qt drops their answers after a disconnection).
    void linkDown(const QString& why)
    {
        if (lost)
            return;
        lost = true;
        failAllWrites(why);
        reportStatus(false);
    }
    // Platform thread: lets go of the Qt objects, disconnecting first.
    void release()
    {
        closed = true;
        failAllWrites(QStringLiteral("closed"));
        for (const QPointer<QLowEnergyService>& s : qAsConst(services))
            if (s)
                s->deleteLater();
        services.clear();
        if (controller) {
            controller->disconnect();
            controller->disconnectFromDevice();
            controller->deleteLater();
            controller = nullptr;
        }
    }
    void failAllWrites(const QString& error)
    {
        std::deque<QtPendingWrites::Done> all;
        {
            std::lock_guard<std::mutex> lock(mutex);
            all = writes.takeAll();
        }
        for (const QtPendingWrites::Done& done : all)
            run(done, false, error);
    }
};

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

using Waiter = QtBleWait;

// The platform's waits follow the driver's time scale, as its own waits do.
int scaled(int ms)
{
    return std::max(1, static_cast<int>(std::ceil(ms * Device::timeScale())));
}

// Qt reports a plain disconnection as a state change, with no error: every
// wait on the link ends with it.
QMetaObject::Connection quitOnLinkLoss(QLowEnergyController* controller, Waiter& waiter)
{
    return QObject::connect(controller, &QLowEnergyController::stateChanged,
                            [&waiter](QLowEnergyController::ControllerState st) {
                                if (st == QLowEnergyController::UnconnectedState)
                                    waiter.quit();
                            });
}

bool linked(const QLowEnergyController* controller)
{
    return controller && (controller->state() == QLowEnergyController::ConnectedState
                          || controller->state() == QLowEnergyController::DiscoveringState
                          || controller->state() == QLowEnergyController::DiscoveredState);
}

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
                Waiter waiter(state->controller);
                auto c1 = QObject::connect(state->controller, &QLowEnergyController::discoveryFinished,
                                           [&waiter] { waiter.quit(); });
                auto c2 = QObject::connect(state->controller,
                                           qOverload<QLowEnergyController::Error>(&QLowEnergyController::error),
                                           [&waiter] { waiter.quit(); });
                auto c3 = quitOnLinkLoss(state->controller, waiter);
                state->controller->discoverServices();
                const bool finished = waiter.wait(scaled(QtBlePlatform::kGattTimeoutMs));
                QObject::disconnect(c1);
                QObject::disconnect(c2);
                QObject::disconnect(c3);
                if (!state->controller || state->closed)
                    return;
                if (!finished || state->controller->error() != QLowEnergyController::NoError
                    || state->controller->state() != QLowEnergyController::DiscoveredState)
                    return;
                for (const QBluetoothUuid& uuid : state->controller->services())
                    result->append(uuidText(uuid));
                *ok = true;
            },
            scaled(QtBlePlatform::kGattTimeoutMs + 1000));
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
                const QPointer<QLowEnergyService> s = serviceObject(state, service);
                if (!s)
                    return;
                if (s->state() != QLowEnergyService::ServiceDiscovered) {
                    Waiter waiter(s);
                    // A link loss invalidates the service.
                    auto c1 = QObject::connect(s, &QLowEnergyService::stateChanged,
                                               [&waiter](QLowEnergyService::ServiceState st) {
                                                   if (st == QLowEnergyService::ServiceDiscovered
                                                       || st == QLowEnergyService::InvalidService)
                                                       waiter.quit();
                                               });
                    auto c2 = QObject::connect(s, qOverload<QLowEnergyService::ServiceError>(&QLowEnergyService::error),
                                               [&waiter] { waiter.quit(); });
                    auto c3 = quitOnLinkLoss(state->controller, waiter);
                    s->discoverDetails();
                    waiter.wait(scaled(QtBlePlatform::kGattTimeoutMs));
                    QObject::disconnect(c1);
                    QObject::disconnect(c2);
                    QObject::disconnect(c3);
                }
                if (!s || state->closed || !linked(state->controller)
                    || s->state() != QLowEnergyService::ServiceDiscovered)
                    return;
                for (const QLowEnergyCharacteristic& c : s->characteristics())
                    result->append({uuidText(c.uuid()), static_cast<int>(c.properties())});
                *ok = true;
            },
            scaled(QtBlePlatform::kGattTimeoutMs + 1000));
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
                const QPointer<QLowEnergyService> s = serviceObject(state, service);
                if (!s)
                    return;
                const QLowEnergyCharacteristic c = s->characteristic(uuidFrom(key));
                const QLowEnergyDescriptor cccd =
                    c.descriptor(QBluetoothUuid::ClientCharacteristicConfiguration);
                if (!c.isValid() || !cccd.isValid())
                    return;
                Waiter waiter(s);
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
                auto c3 = QObject::connect(s, &QLowEnergyService::stateChanged,
                                           [&waiter](QLowEnergyService::ServiceState st) {
                                               if (st == QLowEnergyService::InvalidService)
                                                   waiter.quit();
                                           });
                s->writeDescriptor(cccd, QByteArray::fromHex("0100"));
                waiter.wait(scaled(QtBlePlatform::kGattTimeoutMs));
                QObject::disconnect(c1);
                QObject::disconnect(c2);
                QObject::disconnect(c3);
                *ok = written && waiter.alive() && !state->closed && linked(state->controller);
            },
            scaled(QtBlePlatform::kGattTimeoutMs + 1000));
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
        const QString key = uuidText(uuidFrom(characteristic));
        m_Platform->context()->post(
            [state, service, key, bytes, done = std::move(done)]() mutable {
                QLowEnergyService* s = state->closed ? nullptr : serviceObject(state, service);
                const QLowEnergyCharacteristic c = s ? s->characteristic(uuidFrom(key)) : QLowEnergyCharacteristic();
                if (!c.isValid()) {
                    QtConnectionState::run(done, false, QStringLiteral("no such characteristic"));
                    return;
                }
                if (state->lost) {
                    QtConnectionState::run(done, false, QStringLiteral("not connected"));
                    return;
                }
                if (c.properties() & QLowEnergyCharacteristic::Write) {
                    // Completion comes as characteristicWritten or error.
                    {
                        std::lock_guard<std::mutex> lock(state->mutex);
                        state->writes.add(key, bytes, std::move(done));
                    }
                    s->writeCharacteristic(c, bytes, QLowEnergyService::WriteWithResponse);
                } else {
                    // Without response Qt reports only a failure, as a write
                    // error naming no write: queued in its turn so that the
                    // error is not taken for a request's. Handed over is done.
                    {
                        std::lock_guard<std::mutex> lock(state->mutex);
                        state->writes.addCommand(key, bytes);
                    }
                    s->writeCharacteristic(c, bytes, QLowEnergyService::WriteWithoutResponse);
                    QtConnectionState::run(done, true, QString());
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
        m_Platform->context()->post([state] { state->release(); });
    }

    // Platform thread: the service object for a UUID, created on first use
    // and wired to the callbacks.
    static QLowEnergyService* serviceObject(const std::shared_ptr<QtConnectionState>& state, const QString& uuid)
    {
        const QString key = uuidText(uuidFrom(uuid));
        if (QLowEnergyService* s = state->services.value(key))
            return s;
        if (!state->controller || state->closed)
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
                         [st](const QLowEnergyCharacteristic& c, const QByteArray& value) {
                             st->written(uuidText(c.uuid()), value);
                         });
        QObject::connect(s, qOverload<QLowEnergyService::ServiceError>(&QLowEnergyService::error),
                         [st](QLowEnergyService::ServiceError e) {
                             if (e == QLowEnergyService::CharacteristicWriteError)
                                 st->writeFailed(QStringLiteral("characteristic write error"));
                         });
        // A link loss invalidates the service: what still waits on it fails.
        QObject::connect(s, &QLowEnergyService::stateChanged, [st](QLowEnergyService::ServiceState ss) {
            if (ss == QLowEnergyService::InvalidService)
                st->linkDown(QStringLiteral("link lost"));
        });
        return s;
    }

private:
    QtBlePlatform* m_Platform;
    std::shared_ptr<QtConnectionState> m_State;
    std::atomic<bool> m_Closed{false};
};

} // namespace

QtBleWait::QtBleWait(QObject* watched) : m_Watched(watched), m_Watching(watched != nullptr)
{
    if (watched)
        QObject::connect(watched, &QObject::destroyed, &m_Loop, &QEventLoop::quit);
}

bool QtBleWait::wait(int timeoutMs)
{
    if (!m_Done && alive()) {
        QTimer timer;
        timer.setSingleShot(true);
        QObject::connect(&timer, &QTimer::timeout, &m_Loop, &QEventLoop::quit);
        timer.start(timeoutMs);
        m_Loop.exec();
    }
    return m_Done && alive();
}

void QtBleWait::quit()
{
    m_Done = true;
    m_Loop.quit();
}

void QtPendingWrites::add(const QString& characteristic, const QByteArray& value, Done done)
{
    m_Writes.push_back({characteristic, value, std::move(done), false});
}

void QtPendingWrites::addCommand(const QString& characteristic, const QByteArray& value)
{
    m_Writes.push_back({characteristic, value, nullptr, true});
}

QtPendingWrites::Done QtPendingWrites::takeWritten(const QString& characteristic, const QByteArray& value)
{
    for (auto it = m_Writes.begin(); it != m_Writes.end(); ++it) {
        if (!it->command && it->characteristic == characteristic && it->value == value) {
            Done done = std::move(it->done);
            // The stack works in order: the commands before it are through.
            const auto at = it - m_Writes.begin();
            m_Writes.erase(m_Writes.begin() + at);
            m_Writes.erase(std::remove_if(m_Writes.begin(), m_Writes.begin() + at,
                                          [](const Write& w) { return w.command; }),
                           m_Writes.begin() + at);
            return done;
        }
    }
    return nullptr; // a write nobody waits for any more
}

QtPendingWrites::Done QtPendingWrites::takeOldest()
{
    // A command at the front may have gone through silently, so the error
    // may be a later write's; it is charged to the command all the same
    // (its request then ends by time-out), never a request to a command.
    if (m_Writes.empty())
        return nullptr;
    Done done = std::move(m_Writes.front().done);
    m_Writes.pop_front();
    return done;
}

std::deque<QtPendingWrites::Done> QtPendingWrites::takeAll()
{
    std::deque<Done> all;
    for (Write& w : m_Writes)
        if (w.done)
            all.push_back(std::move(w.done));
    m_Writes.clear();
    return all;
}

QString QtAdvertisementFilter::idOf(const QBluetoothDeviceInfo& info)
{
    return info.address().isNull() ? info.deviceUuid().toString() : info.address().toString();
}

BleAdvertisement QtAdvertisementFilter::report(const QBluetoothDeviceInfo& info)
{
    BleAdvertisement adv;
    adv.type = -1;
    if (!(info.coreConfigurations() & QBluetoothDeviceInfo::LowEnergyCoreConfiguration))
        return adv;
    const QString id = idOf(info);
    if (m_Reported.contains(id))
        return adv;
    m_Reported.insert(id);
    adv.type = 0;
    adv.address = info.address().toString();
    adv.id = id;
    adv.name = info.name();
    return adv;
}

BleAdvertisement QtAdvertisementFilter::discovered(const QBluetoothDeviceInfo& info)
{
    // Listed from the cache: no signal strength (BlueZ keeps RSSI only while
    // it hears the device).
    if (info.rssi() == 0) {
        BleAdvertisement none;
        none.type = -1;
        return none;
    }
    return report(info);
}

BleAdvertisement QtAdvertisementFilter::updated(const QBluetoothDeviceInfo& info,
                                                QBluetoothDeviceInfo::Fields fields)
{
    if (!fields.testFlag(QBluetoothDeviceInfo::Field::RSSI)
        && !fields.testFlag(QBluetoothDeviceInfo::Field::ManufacturerData)) {
        BleAdvertisement none;
        none.type = -1;
        return none;
    }
    return report(info);
}

QtBlePlatform::QtBlePlatform(AdapterCheck check) : m_Check(check), m_Thread(new QThread), m_Context(new BleThreadContext)
{
    m_Thread->setObjectName(QStringLiteral("ble-qt"));
    m_Context->moveToThread(m_Thread);
    m_Thread->start();
#ifdef ARQ_BLE_HAVE_DBUS
    m_Context->post([this] {
        auto* watcher = new QDBusServiceWatcher(QStringLiteral("org.bluez"), QDBusConnection::systemBus(),
                                                QDBusServiceWatcher::WatchForOwnerChange, m_Context);
        QObject::connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged,
                         [this](const QString&, const QString&, const QString& owner) { daemonChanged(owner); });
    });
#endif
}

QtBlePlatform::~QtBlePlatform()
{
    // Qt Bluetooth objects go on their own thread, live links disconnected
    // and reported down first; the context once that thread has ended.
    m_Context->post([this] {
        for (const std::weak_ptr<QtConnectionState>& weak : m_Live)
            if (const std::shared_ptr<QtConnectionState> state = weak.lock()) {
                state->linkDown(QStringLiteral("closed"));
                state->release();
            }
        m_Live.clear();
    });
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
    if (m_Check == AdapterCheck::Discovery) {
        status.state = BleAdapterStatus::Unlisted;
        status.reason = QStringLiteral("the Bluetooth stack lists no adapters");
        return status;
    }
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

QString QtBlePlatform::startOwnScanIfDiscovering()
{
#ifdef ARQ_BLE_HAVE_DBUS
    // Qt starts no scan when the adapter already says Discovering (another
    // client's session, or the flag left set) and then hears nothing if in
    // fact nobody scans. bluetoothd keeps a session per client: one of ours
    // makes sure the radio listens. The adapter is the one Qt takes, the
    // first listed.
    const QList<QBluetoothHostInfo> hosts = QBluetoothLocalDevice::allDevices();
    if (hosts.isEmpty())
        return QString();
    const QString address = hosts.first().address().toString();
    QDBusConnection bus = QDBusConnection::systemBus();
    for (int i = 0; i < 16; ++i) {
        const QString path = QStringLiteral("/org/bluez/hci%1").arg(i);
        QDBusMessage get = QDBusMessage::createMethodCall(QStringLiteral("org.bluez"), path,
                                                          QStringLiteral("org.freedesktop.DBus.Properties"),
                                                          QStringLiteral("GetAll"));
        get.setArguments({QStringLiteral("org.bluez.Adapter1")});
        const QDBusMessage props = bus.call(get, QDBus::Block, kAdapterTimeoutMs);
        if (props.type() != QDBusMessage::ReplyMessage)
            continue;
        const QVariantMap map = qdbus_cast<QVariantMap>(props.arguments().value(0));
        if (map.value(QStringLiteral("Address")).toString().compare(address, Qt::CaseInsensitive) != 0)
            continue;
        if (!map.value(QStringLiteral("Discovering")).toBool())
            return QString();
        const QDBusMessage start = bus.call(
            QDBusMessage::createMethodCall(QStringLiteral("org.bluez"), path, QStringLiteral("org.bluez.Adapter1"),
                                           QStringLiteral("StartDiscovery")),
            QDBus::Block, kAdapterTimeoutMs);
        return start.type() == QDBusMessage::ReplyMessage ? path : QString();
    }
#endif
    return QString();
}

void QtBlePlatform::stopOwnScan(const QString& adapterPath)
{
#ifdef ARQ_BLE_HAVE_DBUS
    if (adapterPath.isEmpty())
        return;
    QDBusConnection::systemBus().call(
        QDBusMessage::createMethodCall(QStringLiteral("org.bluez"), adapterPath, QStringLiteral("org.bluez.Adapter1"),
                                       QStringLiteral("StopDiscovery")),
        QDBus::Block, kAdapterTimeoutMs);
#else
    Q_UNUSED(adapterPath);
#endif
}

bool QtBlePlatform::discover(int ms, AdvertisementCallback onAdvertisement)
{
    auto ok = std::make_shared<std::atomic<bool>>(false);
    const bool ran = runOnThread(
        [this, ms, onAdvertisement, ok] {
            const BleAdapterStatus status = adapterStatusHere();
            if (!status.usable() && status.state != BleAdapterStatus::Unlisted) {
                qWarning().noquote() << "BLE discovery not possible:" << status.reason;
                return;
            }
            QBluetoothDeviceDiscoveryAgent agent;
            agent.setLowEnergyDiscoveryTimeout(ms);
            Waiter waiter;
            bool failed = false;
            QtAdvertisementFilter filter;
            auto report = [this, &onAdvertisement](const BleAdvertisement& adv, const QBluetoothDeviceInfo& info) {
                if (adv.type < 0)
                    return;
                m_Seen.insert(adv.id, info);
                onAdvertisement(adv);
            };
            QObject::connect(&agent, &QBluetoothDeviceDiscoveryAgent::deviceDiscovered,
                             [&](const QBluetoothDeviceInfo& info) { report(filter.discovered(info), info); });
            QObject::connect(&agent, &QBluetoothDeviceDiscoveryAgent::deviceUpdated,
                             [&](const QBluetoothDeviceInfo& info, QBluetoothDeviceInfo::Fields fields) {
                                 report(filter.updated(info, fields), info);
                             });
            QObject::connect(&agent, &QBluetoothDeviceDiscoveryAgent::finished, [&waiter] { waiter.quit(); });
            QObject::connect(&agent, &QBluetoothDeviceDiscoveryAgent::canceled, [&waiter] { waiter.quit(); });
            QObject::connect(&agent, qOverload<QBluetoothDeviceDiscoveryAgent::Error>(&QBluetoothDeviceDiscoveryAgent::error),
                             [&](QBluetoothDeviceDiscoveryAgent::Error e) {
                                 qWarning().noquote() << "BLE discovery failed:" << e << agent.errorString();
                                 failed = true;
                                 waiter.quit();
                             });
            const QString ownScan = startOwnScanIfDiscovering();
            agent.start(QBluetoothDeviceDiscoveryAgent::LowEnergyMethod);
            if (!failed && agent.isActive())
                waiter.wait(ms + 2000);
            agent.stop();
            stopOwnScan(ownScan);
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
            // The platform's destructor may delete it inside the wait below.
            Waiter waiter(controller);
            auto c1 = QObject::connect(controller, &QLowEnergyController::connected, [&waiter] { waiter.quit(); });
            auto c2 = QObject::connect(controller, qOverload<QLowEnergyController::Error>(&QLowEnergyController::error),
                                       [&waiter] { waiter.quit(); });
            controller->connectToDevice();
            waiter.wait(scaled(kConnectTimeoutMs));
            QObject::disconnect(c1);
            QObject::disconnect(c2);
            if (!waiter.alive()) {
                fail(QStringLiteral("the Bluetooth stack went away"));
                return;
            }
            if (state->closed) {
                // Given up while waiting (the clean-up ran inside the wait):
                // nobody takes this connection.
                controller->disconnectFromDevice();
                controller->deleteLater();
                return;
            }
            if (!linked(controller)) {
                fail(controller->errorString().isEmpty() ? QStringLiteral("connection timed out")
                                                         : controller->errorString());
                controller->disconnectFromDevice();
                controller->deleteLater();
                return;
            }
            state->controller = controller;
            std::weak_ptr<QtConnectionState> st = state;
            QObject::connect(controller, &QLowEnergyController::stateChanged,
                             [st](QLowEnergyController::ControllerState cs) {
                                 if (cs != QLowEnergyController::UnconnectedState)
                                     return;
                                 if (auto s = st.lock())
                                     s->linkDown(QStringLiteral("link lost"));
                             });
            pruneLive();
            m_Live.push_back(state);
            // Reported here, on the thread that reports the loss too: a loss
            // right after the connection cannot be overtaken by this report.
            state->reportStatus(true);
            *ok = true;
        },
        scaled(kConnectTimeoutMs + 2000));
    if (!ran || !*ok) {
        if (error) {
            std::lock_guard<std::mutex> lock(*messageMutex);
            *error = ran ? *message : QStringLiteral("the Bluetooth stack did not answer in time");
        }
        // The work may still run once the thread is free: whatever it
        // connects then is let go again, after it in the thread's queue.
        if (!ran)
            m_Context->post([state] {
                state->linkDown(QStringLiteral("abandoned"));
                state->release();
            });
        return nullptr;
    }
    return std::make_unique<QtBleConnection>(this, state);
}

void QtBlePlatform::daemonChanged(const QString& owner)
{
    // bluetoothd gone or restarted: Qt notices nothing (its objects hold
    // the well-known name), so every link is taken down here. The new
    // daemon knows none of them.
    qWarning().noquote() << "BlueZ" << (owner.isEmpty() ? "stopped" : "restarted") << ": links taken down";
    for (const std::weak_ptr<QtConnectionState>& weak : m_Live) {
        if (const std::shared_ptr<QtConnectionState> state = weak.lock()) {
            state->linkDown(QStringLiteral("bluetoothd restarted"));
            if (state->controller)
                state->controller->disconnectFromDevice();
        }
    }
    pruneLive();
}

void QtBlePlatform::pruneLive()
{
    m_Live.erase(std::remove_if(m_Live.begin(), m_Live.end(),
                                [](const std::weak_ptr<QtConnectionState>& w) {
                                    const auto s = w.lock();
                                    return !s || s->closed;
                                }),
                 m_Live.end());
}
