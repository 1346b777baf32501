#pragma once

#include "BlePlatform.h"

#include <QHash>
#include <QStringList>

#include <atomic>
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
    // A stack that still calls back after close (late events in flight).
    std::atomic<bool> leaky{false};

    BleAdapterStatus adapterStatus() override { return adapter; }

    bool discover(int, AdvertisementCallback onAdvertisement) override
    {
        ++discoveries;
        const QList<BleAdvertisement> list = adverts;
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
        if (!devices.contains(id) || !devices.value(id).connectable) {
            *error = QStringLiteral("unreachable");
            return nullptr;
        }
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            m_OnStatus = onStatus;
        }
        onStatus(true);
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
};
