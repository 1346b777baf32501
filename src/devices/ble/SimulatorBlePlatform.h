#pragma once

#include "BlePlatform.h"

#include <QList>
#include <QPair>

class QThread;

// Bluetooth LE through arq-simulator instead of a radio: each endpoint
// (loopback TCP) stands for the devices in range that one simulator plays.
//
// Line protocol, ASCII, one line per message ending in "\n". The client sends
// commands; the simulator answers each with exactly one line starting "OK" or
// "ERROR", in order. Other lines are events and may come at any time.
//
//   client → simulator                 answer
//   SCAN                               ADV events, then "OK SCAN <count>"
//   CONNECT <id>                       "OK CONNECTED", then event STATUS connected
//   SERVICES                           "OK <uuid> <uuid> …"
//   CHARS <service-uuid>               "OK <uuid>:<properties> …" (GATT bits, decimal)
//   NOTIFY <service-uuid> <char-uuid>  "OK NOTIFY"; VALUE events follow
//   WRITE <service-uuid> <char-uuid> <hex>   "OK WRITE" once written
//   CLOSE                              "OK CLOSE"; the simulator then closes
//
//   simulator → client events
//   ADV <type> <address> <id> <name…>  one advertisement (name to line end)
//   STATUS connected|disconnected      link state of the connected device
//   VALUE <char-uuid> <hex>            one notification
//
// UUIDs are written in full, lower case, without braces. A scan uses a
// short-lived TCP connection of its own; every device connection has its
// own TCP connection, so a dropped connection stands for a lost link. The
// sockets live on a thread of this object; callers block with time-outs.
class SimulatorBlePlatform : public BlePlatform
{
public:
    SimulatorBlePlatform();
    ~SimulatorBlePlatform() override;

    // "HOST:PORT[,HOST:PORT…]"; false when none can be read.
    bool setEndpoints(const QString& text);
    QStringList endpoints() const;

    BleAdapterStatus adapterStatus() override;
    bool discover(int ms, AdvertisementCallback onAdvertisement) override;
    std::unique_ptr<BleConnection> connect(const QString& id, StatusCallback onStatus, QString* error) override;
    QString name() const override { return QStringLiteral("simulator"); }

    // Time-outs of the simulator exchanges (not time-scaled).
    static constexpr int kConnectTimeoutMs = 3000;
    static constexpr int kReplyTimeoutMs = 5000;

    struct Channel;

private:
    std::shared_ptr<Channel> openChannel(const QString& host, quint16 port,
                                         std::function<void(const QString& event)> onEvent);

    mutable std::mutex m_Mutex; // guards m_Endpoints
    QList<QPair<QString, quint16>> m_Endpoints;
    QThread* m_Thread = nullptr;
    BleThreadContext* m_Context = nullptr; // lives on m_Thread; parent of the sockets
};
