#include "CriteriaKorva5310.h"

#include "Korva5310Frame.h"

#include <QDebug>
#include <QUuid>

#include <exception>
#include <thread>

namespace {

// State shared by every driver object of the process: one reference
// thermometer is in use at a time, and discovery results outlive the object
// that searched.
struct SharedState
{
    std::mutex mutex; // guards everything but linkUp
    QStringList foundNames;
    QStringList foundIds;
    bool newReading = false;
    double lastReading = 0.0;
    QString notificationBuffer;
    int instances = 0;
    std::atomic<bool> linkUp{false};
};

SharedState& shared()
{
    static SharedState state;
    return state;
}

// "FFE0" for 0000ffe0-…: the first 32 bits, upper-case hex, at least four digits.
QString serviceHead(const QString& uuid)
{
    const QString t = uuid.trimmed();
    const QUuid parsed(t.startsWith(QLatin1Char('{')) ? t : QLatin1Char('{') + t + QLatin1Char('}'));
    return QStringLiteral("%1").arg(parsed.data1, 4, 16, QLatin1Char('0')).toUpper();
}

} // namespace

// Lets platform callbacks, which may outlive the driver, find out whether it
// still exists; held locked while a callback works on it.
struct CriteriaKorva5310Guard
{
    std::mutex mutex;
    CriteriaKorva5310* self = nullptr;
};


const QString CriteriaKorva5310::kNamePrefix = QStringLiteral("5310A");
const QString CriteriaKorva5310::kNotifyService = QStringLiteral("FFE0");
const QString CriteriaKorva5310::kWriteService = QStringLiteral("FFE5");

CriteriaKorva5310::CriteriaKorva5310(QObject* parent) : CriteriaKorva5310(BlePlatform::instance(), parent) {}

CriteriaKorva5310::CriteriaKorva5310(std::shared_ptr<BlePlatform> platform, QObject* parent)
    : Criteria(parent), m_Platform(std::move(platform))
{
    {
        SharedState& s = shared();
        std::lock_guard<std::mutex> lock(s.mutex);
        // Initialised by the first driver; later ones join what is there.
        if (s.instances++ == 0) {
            s.foundNames.clear();
            s.foundIds.clear();
            s.newReading = false;
            s.lastReading = 0.0;
            s.notificationBuffer.clear();
            s.linkUp = false;
        }
    }
    m_Guard = std::make_shared<CriteriaKorva5310Guard>();
    m_Guard->self = this;
    connect(this, &CriteriaKorva5310::Open_signals, this, &CriteriaKorva5310::Open_slots);
    connect(this, &CriteriaKorva5310::Write_signals, this, &CriteriaKorva5310::Write_slots);
    connect(this, &CriteriaKorva5310::Close_signals, this, &CriteriaKorva5310::Close_slots);
}

CriteriaKorva5310::~CriteriaKorva5310()
{
    {
        std::lock_guard<std::mutex> lock(m_Guard->mutex); // waits for a callback at work
        m_Guard->self = nullptr;
    }
    ++m_Generation;
    std::shared_ptr<BleConnection> device;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        device = std::move(m_Device);
    }
    if (device) {
        device->close();
        shared().linkUp = false;
    }
    // A connection thread still inside a platform call is not waited for:
    // it finds the guard empty and closes what it opened.
    SharedState& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    --s.instances;
}

QString CriteriaKorva5310::StartCommand()
{
    return Korva5310Frame::withChecksum(Korva5310Frame::kStartBody);
}

QString CriteriaKorva5310::StopCommand()
{
    return Korva5310Frame::withChecksum(Korva5310Frame::kStopBody);
}

QStringList CriteriaKorva5310::FoundNames()
{
    SharedState& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.foundNames;
}

QStringList CriteriaKorva5310::FoundIds()
{
    SharedState& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.foundIds;
}

bool CriteriaKorva5310::LinkUp()
{
    return shared().linkUp.load();
}

void CriteriaKorva5310::SetStopRequest(std::function<bool()> stopRequested)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_StopRequested = std::move(stopRequested);
}

bool CriteriaKorva5310::StopRequested()
{
    std::function<bool()> asked;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        asked = m_StopRequested;
    }
    return asked && asked();
}

bool CriteriaKorva5310::NameFound(const QString& name, QString* id)
{
    SharedState& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    const int at = s.foundNames.indexOf(name);
    if (at < 0 || s.foundNames.size() != s.foundIds.size())
        return false;
    if (id)
        *id = s.foundIds.at(at);
    return true;
}

// ---- discovery ----

bool CriteriaKorva5310::OpenSearch()
{
    return Search(*m_Platform);
}

bool CriteriaKorva5310::Search(BlePlatform& platform)
{
    try {
        const BleAdapterStatus adapter = platform.adapterStatus();
        if (adapter.state == BleAdapterStatus::NoAdapter || adapter.state == BleAdapterStatus::NoLowEnergy) {
            qWarning().noquote() << "windows电脑不支持ble" << adapter.reason;
            return false;
        }
        if (adapter.state == BleAdapterStatus::RadioOff) {
            qWarning().noquote() << "电脑蓝牙状态" << adapter.reason;
            return false;
        }
        {
            SharedState& s = shared();
            std::lock_guard<std::mutex> lock(s.mutex);
            s.foundNames.clear();
            s.foundIds.clear();
        }
        const int scanMs = qMax(1, qRound(1000 * Device::timeScale()));
        const bool ok = platform.discover(scanMs, [](const BleAdvertisement& adv) {
            // Connectable undirected advertisements only.
            if (adv.type != 0 || !adv.name.startsWith(kNamePrefix))
                return;
            SharedState& s = shared();
            std::lock_guard<std::mutex> lock(s.mutex);
            if (s.foundNames.contains(adv.name))
                return;
            s.foundNames.append(adv.name);
            s.foundIds.append(adv.id);
        });
        if (!ok) {
            qWarning() << "蓝牙异常";
            return false;
        }
        return true;
    } catch (const std::exception& e) {
        qWarning() << "蓝牙异常" << e.what();
    } catch (...) {
        qWarning() << "蓝牙异常";
    }
    return false;
}

bool CriteriaKorva5310::PortList(QStringList& names)
{
    if (!OpenSearch())
        return false;
    names = FoundNames();
    return true;
}

// ---- opening ----

bool CriteriaKorva5310::Open(QString, QString address, QString)
{
    if (address.isEmpty())
        return false;
    for (int i = 0; i < 50; ++i) {
        if (StopRequested())
            return false;
        Delay(100);
    }
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_DeviceName = address;
    }
    m_Progress = 0;
    {
        SharedState& s = shared();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.newReading = false;
        // A fragment left by an earlier session would shift every frame after it.
        s.notificationBuffer.clear();
    }
    emit Open_signals();
    for (int i = 0; i < 150; ++i) {
        if (StopRequested())
            break;
        Delay(100);
        int ready = 3;
        if (m_Progress.compare_exchange_strong(ready, 1)) {
            if (LinkUp())
                return true;
            // Ready, but the link went meanwhile.
            qWarning() << "蓝牙异常" << "link lost while opening";
            break;
        }
        if (m_Progress.load() < 0) {
            emit Close_signals();
            return false;
        }
    }
    emit Close_signals();
    return false;
}

void CriteriaKorva5310::Open_slots()
{
    const quint64 generation = ++m_Generation;
    QString name;
    std::shared_ptr<BleConnection> stale;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        name = m_DeviceName;
        stale = std::move(m_Device); // an Open without Close in between
    }
    if (stale)
        stale->close();
    // The look-ups and any search run on the connection thread: a search
    // waits for the platform, and waiting here would turn the event loop
    // inside this slot. Never joined: a connect may take the platform's
    // whole time-out. An older thread still at work sees that its
    // generation is over and drops what it gets.
    std::thread(&CriteriaKorva5310::ConnectBLEThread, m_Platform, m_Guard, generation, name).detach();
}

void CriteriaKorva5310::ConnectBLEThread(std::shared_ptr<BlePlatform> platform,
                                         std::shared_ptr<CriteriaKorva5310Guard> guard, quint64 generation,
                                         QString name)
{
    // The driver, locked, while it exists and this connection is its current one.
    auto withSelf = [&](const std::function<void(CriteriaKorva5310*)>& work) {
        std::lock_guard<std::mutex> lock(guard->mutex);
        CriteriaKorva5310* self = guard->self;
        if (!self || self->m_Generation.load() != generation)
            return false;
        work(self);
        return true;
    };
    auto fail = [&] { withSelf([](CriteriaKorva5310* self) { self->m_Progress = -1; }); };
    // BlueZ forgets an unpaired device soon after the scan that saw it, and
    // every connect by the old id then fails alike: the next Open searches again.
    auto forgetFound = [] {
        SharedState& s = shared();
        std::lock_guard<std::mutex> lock(s.mutex);
        s.foundNames.clear();
        s.foundIds.clear();
    };
    try {
        // Up to three searches for a name not in the found list; not found,
        // Open runs into its own time-out.
        QString id;
        for (int attempt = 0; attempt < 3 && !NameFound(name, &id); ++attempt)
            if (!withSelf([](CriteriaKorva5310*) {}) || !Search(*platform))
                return;
        if (id.isEmpty() && !NameFound(name, &id))
            return;
        QString error;
        std::unique_ptr<BleConnection> opened = platform->connect(
            id,
            [guard, generation](bool connected) {
                std::lock_guard<std::mutex> lock(guard->mutex);
                if (guard->self)
                    guard->self->ConnectionStatus(generation, connected);
            },
            &error);
        if (!opened) {
            qWarning().noquote() << "蓝牙异常" << name << error;
            forgetFound();
            fail();
            return;
        }
        const std::shared_ptr<BleConnection> device(std::move(opened));
        const bool kept = withSelf([&](CriteriaKorva5310* self) {
            std::lock_guard<std::mutex> lock(self->m_Mutex);
            self->m_Device = device;
        });
        if (!kept) {
            device->close();
            return;
        }

        QStringList services;
        if (!device->services(&services)) {
            qWarning() << "蓝牙异常" << "services";
            forgetFound();
            fail();
            return;
        }
        qDebug() << "Services:" << services.size();
        bool notifyTaken = false, writeTaken = false;
        for (const QString& service : qAsConst(services)) {
            if (!withSelf([](CriteriaKorva5310*) {}))
                return;
            const QString head = serviceHead(service);
            if (head != kWriteService && head != kNotifyService)
                continue;
            qDebug().noquote() << "Service:" << service;
            QList<BleCharacteristic> characteristics;
            if (!device->characteristics(service, &characteristics)) {
                qWarning() << "蓝牙异常" << "characteristics" << service;
                continue;
            }
            for (const BleCharacteristic& c : qAsConst(characteristics)) {
                qDebug().noquote() << "Charact:" << c.uuid << c.properties;
                // One of each: a second would push the progress past "ready".
                if (c.properties == BlePropertyNotify && !notifyTaken) {
                    qDebug() << "具有通知权限；";
                    if (!device->enableNotifications(service, c.uuid, &CriteriaKorva5310::Notification)) {
                        qWarning() << "statuss.Status；";
                        break;
                    }
                    notifyTaken = true;
                    withSelf([&](CriteriaKorva5310* self) {
                        {
                            std::lock_guard<std::mutex> lock(self->m_Mutex);
                            self->m_NotifyService = service;
                            self->m_NotifyCharacteristic = c.uuid;
                        }
                        ++self->m_Progress;
                    });
                } else if (c.properties == (BlePropertyWrite | BlePropertyWriteNoResponse) && !writeTaken) {
                    qDebug() << "具有写入权限；";
                    writeTaken = true;
                    withSelf([&](CriteriaKorva5310* self) {
                        {
                            std::lock_guard<std::mutex> lock(self->m_Mutex);
                            self->m_WriteService = service;
                            self->m_WriteCharacteristic = c.uuid;
                        }
                        ++self->m_Progress;
                    });
                }
            }
        }
        if (!notifyTaken || !writeTaken) {
            // Nothing to wait for: Open fails now rather than at its time-out.
            qWarning() << "蓝牙异常" << "characteristics" << notifyTaken << writeTaken;
            fail();
            return;
        }
        withSelf([](CriteriaKorva5310* self) { ++self->m_Progress; });
    } catch (const std::exception& e) {
        qWarning() << "蓝牙异常" << e.what();
        fail();
    } catch (...) {
        qWarning() << "蓝牙异常";
        fail();
    }
}

void CriteriaKorva5310::ConnectionStatus(quint64 generation, bool connected)
{
    if (m_Generation.load() != generation)
        return; // a closed connection's late report
    shared().linkUp = connected;
    qDebug() << "ConnectionStatus:" << (connected ? 1 : 0);
}

void CriteriaKorva5310::Notification(const QByteArray& value)
{
    SharedState& s = shared();
    std::lock_guard<std::mutex> lock(s.mutex);
    double reading = 0.0;
    if (Korva5310Frame::feed(s.notificationBuffer, value, &reading) == Korva5310Frame::Result::Reading) {
        s.lastReading = reading;
        s.newReading = true;
    }
}

bool CriteriaKorva5310::IsOpen()
{
    return shared().linkUp.load() && m_Progress.load() == 1;
}

bool CriteriaKorva5310::Read(QString&)
{
    return false; // readings arrive as notifications
}

// ---- writing ----

bool CriteriaKorva5310::Write(QString command)
{
    if (!IsOpen())
        return false;
    const quint64 number = ++m_WritesIssued;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_WritesQueued.emplace_back(number, command);
    }
    emit Write_signals(command);
    for (int i = 0; i < 1000; ++i) {
        if (m_WriteDone.load() >= number)
            return true;
        // A write that failed, or a link that went, answers no more.
        if (m_WriteFailed.load() >= number || !LinkUp())
            break;
        Delay(10);
    }
    return m_WriteDone.load() >= number;
}

void CriteriaKorva5310::Write_slots(QString text)
{
    std::shared_ptr<BleConnection> device;
    QString service, characteristic;
    quint64 number = 0; // 0: not issued by Write, nobody waits for it
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        device = m_Device;
        service = m_WriteService;
        characteristic = m_WriteCharacteristic;
        // Slots run in the order Write emitted them.
        if (!m_WritesQueued.empty() && m_WritesQueued.front().second == text) {
            number = m_WritesQueued.front().first;
            m_WritesQueued.pop_front();
        }
    }
    if (!device || characteristic.isEmpty())
        return;
    qDebug().noquote() << "写入数据：" << text;
    const quint64 generation = m_Generation.load();
    const std::shared_ptr<CriteriaKorva5310Guard> guard = m_Guard;
    try {
        device->write(service, characteristic, QByteArray::fromHex(text.toLatin1()),
                      [guard, generation, number](bool ok, const QString& error) {
                          std::lock_guard<std::mutex> lock(guard->mutex);
                          CriteriaKorva5310* self = guard->self;
                          if (!self || self->m_Generation.load() != generation)
                              return;
                          std::atomic<quint64>& mark = ok ? self->m_WriteDone : self->m_WriteFailed;
                          quint64 done = mark.load();
                          while (done < number && !mark.compare_exchange_weak(done, number)) {
                          }
                          if (ok)
                              qDebug() << "写入成功";
                          else
                              qWarning().noquote() << "写入异常" << error;
                      });
    } catch (const std::exception& e) {
        qWarning() << "写入异常" << e.what();
    } catch (...) {
        qWarning() << "写入异常";
    }
}

bool CriteriaKorva5310::GetSerialNumber(QString& text)
{
    std::lock_guard<std::mutex> lock(m_Mutex);
    text = m_DeviceName;
    return true;
}

bool CriteriaKorva5310::SetChannel(Device::Channel)
{
    Delay(200);
    return Write(StartCommand());
}

// ---- reading ----

bool CriteriaKorva5310::ReadTemperature(double& value)
{
    SharedState& s = shared();
    // The first reading seen may predate the call and only ends the first
    // pass; the second pass returns the next one.
    for (int pass = 0; pass < 2; ++pass) {
        for (int poll = 0; poll < 50; ++poll) {
            if (!s.linkUp.load())
                return false;
            bool seen = false;
            {
                std::lock_guard<std::mutex> lock(s.mutex);
                if (s.newReading) {
                    s.newReading = false;
                    seen = true;
                    if (pass == 1) {
                        value = s.lastReading;
                        return true;
                    }
                }
            }
            if (seen)
                break;
            Delay(100);
        }
    }
    return false;
}

bool CriteriaKorva5310::Reconnect()
{
    if (IsOpen())
        return false; // a reading missing on a live link is no link loss
    QString name;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        name = m_DeviceName;
    }
    if (name.isEmpty())
        return false;
    qWarning().noquote() << "蓝牙连接中断，重新连接" << name;
    emit Close_signals();
    for (int attempt = 0; attempt < 2; ++attempt) {
        if (StopRequested())
            return false;
        if (Open(QStringLiteral("蓝牙"), name, QString()) && SetChannel(Device::Channel())) {
            qDebug().noquote() << "蓝牙重新连接成功" << name;
            return true;
        }
    }
    qWarning().noquote() << "蓝牙重新连接失败" << name;
    return false;
}

// ---- closing ----

bool CriteriaKorva5310::Close()
{
    if (!Write(StopCommand()))
        qWarning() << "写入数据失败:" << m_Progress.load();
    Delay(200);
    emit Close_signals();
    for (int i = 0; i < 200; ++i) {
        if (m_Progress.load() == 0)
            return true;
        Delay(10);
    }
    return m_Progress.load() == 0;
}

void CriteriaKorva5310::Close_slots()
{
    ++m_Generation;
    std::shared_ptr<BleConnection> device;
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        device = std::move(m_Device);
        m_NotifyService.clear();
        m_NotifyCharacteristic.clear();
        m_WriteService.clear();
        m_WriteCharacteristic.clear();
    }
    if (!device)
        return;
    qDebug() << "关闭设备；";
    try {
        device->close();
    } catch (...) {
        qWarning() << "关闭异常；";
    }
    device.reset();
    m_Progress = 0;
    SharedState& s = shared();
    s.linkUp = false;
    std::lock_guard<std::mutex> lock(s.mutex);
    s.notificationBuffer.clear();
}
