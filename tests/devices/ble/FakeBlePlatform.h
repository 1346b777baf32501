#pragma once

#include "BlePlatform.h"

#include <QCoreApplication>
#include <QHash>
#include <QThread>
#include <QStringList>

#include <QSet>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// An in-process Bluetooth LE stack for the driver tests: adverts, one GATT
// table per device id, a record of what was written, and notifications and
// link events the test injects. Callbacks come from threads of their own, as
// on a real stack.
class FakeBlePlatform : public BlePlatform
{
public:
    struct Device
    {
        QList<QPair<QString, QList<BleCharacteristic>>> services; // in discovery order
        bool connectable = true;
        bool notifyFails = false;
    };

    static QString uuid(const char* head) // "ffe0" → full 128-bit text
    {
        return QStringLiteral("0000%1-0000-1000-8000-00805f9b34fb").arg(QLatin1String(head));
    }
    // The thermometer's usual GATT table, with near misses in front.
    static Device thermometer()
    {
        Device d;
        d.services = {
            {uuid("1800"), {{uuid("2a00"), 2}}},
            {uuid("ffe0"), {{uuid("ffe3"), 18}, {uuid("ffe4"), 16}}},
            {uuid("ffe5"), {{uuid("ffea"), 10}, {uuid("ffe9"), 12}}},
        };
        return d;
    }

    BleAdapterStatus adapter{BleAdapterStatus::Usable, QString()};
    QList<BleAdvertisement> adverts;
    QHash<QString, Device> devices;
    std::atomic<int> discoveries{0};
    std::atomic<int> connects{0};
    std::atomic<int> opened{0}; // connects that succeeded
    // A stack that still calls back after close (late events in flight).
    std::atomic<bool> leaky{false};
    // Like BlueZ with unpaired devices: connects only to what the last
    // discovery saw, until forget() (the stack dropping its cache entries).
    std::atomic<bool> forgets{false};
    // Write completions kept back until completeHeldWrite (a slow radio).
    std::atomic<bool> holdWrites{false};
    std::atomic<int> discoveryFailures{0}; // the next discoveries that fail
    std::atomic<int> guiDiscoveries{0};    // discoveries run on the GUI thread

    BleAdapterStatus adapterStatus() override { return adapter; }

    void forget()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Known.clear();
    }
    // While held, connect() blocks (as a connect to an absent device does)
    // until released; at most 20 s.
    void holdConnects(bool hold)
    {
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_HoldConnects = hold;
        }
        m_Released.notify_all();
    }
    int heldWrites()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_HeldWrites.size();
    }
    // Completes the i-th held write from a platform thread.
    void completeHeldWrite(int i, bool ok)
    {
        BleConnection::WriteCallback done;
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            done = m_HeldWrites.value(i);
        }
        std::thread completion([done, ok] {
            if (done)
                done(ok, QString());
        });
        completion.join();
    }

    bool discover(int, AdvertisementCallback onAdvertisement) override
    {
        ++discoveries;
        if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread())
            ++guiDiscoveries;
        if (discoveryFailures > 0) {
            --discoveryFailures;
            return false;
        }
        const QList<BleAdvertisement> list = adverts;
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            for (const BleAdvertisement& a : list)
                m_Known.insert(a.id);
        }
        std::thread radio([&] {
            for (const BleAdvertisement& a : list)
                onAdvertisement(a);
        });
        radio.join();
        return true;
    }

    class Connection : public BleConnection
    {
    public:
        Connection(FakeBlePlatform* platform, const Device& device) : m_Platform(platform), m_Device(device) {}
        ~Connection() override { close(); }
        bool services(QStringList* uuids) override
        {
            for (const auto& s : m_Device.services)
                uuids->append(s.first);
            return true;
        }
        bool characteristics(const QString& service, QList<BleCharacteristic>* out) override
        {
            for (const auto& s : m_Device.services)
                if (s.first == service) {
                    *out = s.second;
                    return true;
                }
            return false;
        }
        bool enableNotifications(const QString&, const QString& characteristic, ValueCallback onValue) override
        {
            if (m_Device.notifyFails)
                return false;
            std::lock_guard<std::mutex> lock(m_Platform->m_Mutex);
            m_Platform->m_NotifyCharacteristic = characteristic;
            m_Platform->m_OnValue = std::move(onValue);
            return true;
        }
        void write(const QString&, const QString& characteristic, const QByteArray& bytes, WriteCallback done) override
        {
            {
                std::lock_guard<std::mutex> lock(m_Platform->m_Mutex);
                m_Platform->m_Writes << characteristic + QLatin1Char(' ') + QString::fromLatin1(bytes.toHex());
                if (m_Platform->holdWrites) {
                    m_Platform->m_HeldWrites << done;
                    return;
                }
            }
            std::thread completion([done] { done(true, QString()); });
            completion.join();
        }
        void close() override
        {
            if (m_Closed.exchange(true))
                return;
            std::lock_guard<std::mutex> lock(m_Platform->m_Mutex);
            if (!m_Platform->leaky) {
                m_Platform->m_OnValue = nullptr;
                m_Platform->m_OnStatus = nullptr;
            }
            ++m_Platform->m_Closes;
        }

    private:
        FakeBlePlatform* m_Platform;
        Device m_Device;
        std::atomic<bool> m_Closed{false};
    };

    std::unique_ptr<BleConnection> connect(const QString& id, StatusCallback onStatus, QString* error) override
    {
        ++connects;
        {
            std::unique_lock<std::mutex> lock(m_Mutex);
            m_Released.wait_for(lock, std::chrono::seconds(20), [this] { return !m_HoldConnects; });
            if (forgets && !m_Known.contains(id)) {
                *error = QStringLiteral("unknown device");
                return nullptr;
            }
        }
        if (!devices.contains(id) || !devices.value(id).connectable) {
            *error = QStringLiteral("unreachable");
            return nullptr;
        }
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_OnStatus = onStatus;
        }
        onStatus(true);
        ++opened;
        return std::make_unique<Connection>(this, devices.value(id));
    }
    QString name() const override { return QStringLiteral("fake"); }

    // Test side: a notification, or a link event, from a platform thread.
    void notify(const QByteArray& value)
    {
        std::thread platform([this, value] {
            ValueCallback cb;
            {
                std::lock_guard<std::mutex> lock(m_Mutex);
                cb = m_OnValue;
            }
            if (cb)
                cb(value);
        });
        platform.join();
    }
    void linkStatus(bool connected)
    {
        std::thread platform([this, connected] {
            StatusCallback cb;
            {
                std::lock_guard<std::mutex> lock(m_Mutex);
                cb = m_OnStatus;
            }
            if (cb)
                cb(connected);
        });
        platform.join();
    }
    QStringList writes()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Writes;
    }
    QString notifyCharacteristic()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_NotifyCharacteristic;
    }
    int closes()
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        return m_Closes;
    }

private:
    using ValueCallback = BleConnection::ValueCallback;
    std::mutex m_Mutex;
    ValueCallback m_OnValue;
    StatusCallback m_OnStatus;
    QString m_NotifyCharacteristic;
    QStringList m_Writes;
    int m_Closes = 0;
    QSet<QString> m_Known;
    bool m_HoldConnects = false;
    std::condition_variable m_Released;
    QList<BleConnection::WriteCallback> m_HeldWrites;
};
