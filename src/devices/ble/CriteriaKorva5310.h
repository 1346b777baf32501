#pragma once

#include "BlePlatform.h"
#include "Criteria.h"

#include <QStringList>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <memory>

struct CriteriaKorva5310Guard;

// The 5310A reference thermometer over Bluetooth LE. Discovery by name,
// a connection thread that finds the notification and write characteristics,
// hex commands with an XOR checksum, and readings decoded from notification
// frames. Four kinds of threads meet here: the worker calling the operations,
// the GUI thread running the slots, the connection thread and the platform's
// callback threads; the process-wide state below is locked accordingly.
class CriteriaKorva5310 : public Criteria
{
    Q_OBJECT
public:
    // Uses BlePlatform::instance(); tests hand in their own platform.
    explicit CriteriaKorva5310(QObject* parent = nullptr);
    explicit CriteriaKorva5310(std::shared_ptr<BlePlatform> platform, QObject* parent = nullptr);
    ~CriteriaKorva5310() override;

    static const QString kNamePrefix; // "5310A"
    static const QString kNotifyService; // first 32 bits of the service UUIDs, upper-case hex
    static const QString kWriteService;
    static QString StartCommand(); // "0405020003"
    static QString StopCommand();  // "0405010101"

    // Discovery: adapter check, then a 1000 ms passive scan that fills the
    // found lists with the 5310A names seen. False when the radio is unusable.
    bool OpenSearch();
    // Process-wide state, for the tests.
    static QStringList FoundNames();
    static QStringList FoundIds();
    static bool LinkUp();
    int Progress() const { return m_Progress.load(); }

    // Asked at every wait of Open (on the calling thread): true ends the
    // attempt there, as a failure. Empty: never.
    void SetStopRequest(std::function<bool()> stopRequested);

public slots:
    bool PortList(QStringList& names) override;
    bool Open(QString mode, QString address, QString port) override;
    bool Close() override;
    bool IsOpen() override;
    bool Read(QString& reply) override;
    bool Write(QString command) override;
    bool GetSerialNumber(QString& text) override;
    bool SetChannel(Device::Channel channel) override;
    bool ReadTemperature(double& value) override;
    // A link lost (out of range, bluetoothd restarted): the old link let
    // go, then up to two Opens (the second searches again for a device the
    // stack forgot) and the start command. False while the link is up.
    bool Reconnect() override;

    void Open_slots();
    void Write_slots(QString text);
    void Close_slots();

signals:
    void Open_signals();
    void Write_signals(QString text);
    void Close_signals();

protected:
    // The connection thread's body. It holds no pointer to the driver: the
    // driver may be closed or destroyed while a platform call is under way
    // (nobody waits for the thread), so it reaches the driver only through
    // the guard, and only while `generation` is current.
    static void ConnectBLEThread(std::shared_ptr<BlePlatform> platform,
                                 std::shared_ptr<CriteriaKorva5310Guard> guard, quint64 generation,
                                 QString name);
    // OpenSearch on any platform, from any thread.
    static bool Search(BlePlatform& platform);
    // Platform callbacks (foreign threads).
    void ConnectionStatus(quint64 generation, bool connected);
    static void Notification(const QByteArray& value);

private:
    static bool NameFound(const QString& name, QString* id = nullptr);
    bool StopRequested();

    std::shared_ptr<BlePlatform> m_Platform;
    // Shared with platform callbacks that may outlive this object.
    std::shared_ptr<CriteriaKorva5310Guard> m_Guard;

    std::atomic<int> m_Progress{0};
    // Writes are numbered; a completion marks its own write done only, so a
    // late completion of a write that timed out cannot pass for the next.
    std::atomic<quint64> m_WritesIssued{0};
    std::atomic<quint64> m_WriteDone{0};   // highest write number completed
    std::atomic<quint64> m_WriteFailed{0}; // highest write number that failed
    // Bumped by every Open_slots and Close_slots: a connection thread or a
    // platform callback of an older generation no longer touches anything.
    std::atomic<quint64> m_Generation{0};

    mutable std::mutex m_Mutex; // guards everything below
    QString m_DeviceName;
    std::shared_ptr<BleConnection> m_Device;
    QString m_NotifyService, m_NotifyCharacteristic;
    QString m_WriteService, m_WriteCharacteristic;
    std::deque<std::pair<quint64, QString>> m_WritesQueued; // number and text, for Write_slots
    std::function<bool()> m_StopRequested;
};
