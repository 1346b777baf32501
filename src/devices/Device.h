#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>

// Root of every instrument driver. Drivers are plain objects created on the
// GUI thread; their waiting operations are called from a worker thread while
// the link object stays on the GUI thread (see DeviceLink).
class Device : public QObject
{
    Q_OBJECT
public:
    // One channel as the drivers see it, built from a configuration row.
    struct Channel
    {
        QString ChannelNumber;
        QString Type;
        QString Function;
        QString Wire;
        QString Unit;
        QString CompensationWay;
        QString ColdJunctionTemp;
        QString A_C0;
        QString B_C1;
        QString C_C2;
        QString D_C3;
        QString R0_C4;
        QString A4_C5;
        QString B4_C6;
        float MX_B_M = 1.0f;
        float MX_B_B = 0.0f;
    };

    explicit Device(QObject* parent = nullptr);
    ~Device() override;

    // Waits by polling an elapsed-time clock. On the GUI thread events keep
    // flowing so a wait there never freezes the window.
    // Every fixed wait is multiplied by a process-wide time scale (1.0 = real
    // time), so tests can run the long protocol waits faster.
    static void Delay(int ms);
    static void setTimeScale(double scale);
    static double timeScale();
    // Serial ports present, sorted by plain string comparison.
    static QStringList SerialPortNames();

public slots:
    virtual bool PortList(QStringList& names) = 0;
    virtual bool Open(QString mode, QString address, QString port) = 0;
    virtual bool Close() = 0;
    virtual bool IsOpen() = 0;
    virtual bool Read(QString& reply) = 0;
    virtual bool Write(QString command) = 0;
    virtual bool GetSerialNumber(QString& text) = 0;

protected:
    // True while a link is open; written by the link's thread, read by workers.
    std::atomic<bool> OpenFlag{false};
};

// Channel sets travel in queued signals between workers and pages.
Q_DECLARE_METATYPE(Device::Channel)
