#pragma once

#include "Collection.h"
#include "DeviceLink.h"

// The maker's register-protocol loggers (3107A, 3108A): hex frames over the
// shared link, opened by a probe whose answer also gives the station address
// every later frame starts with. The models differ in the CRC byte order, the
// probe, how long a reply may take and a pause after each write.
class RegisterLogger : public Collection
{
    Q_OBJECT
public:
    ~RegisterLogger() override;

    // The sample-rate register's code: 快速 3, 中速 2, 慢速 1, anything else 0.
    static int RateCode(const QString& rate);

    DeviceLink* Link() const { return m_Link; }
    QString AddressPrefixText() const { return Prefix(); }

public slots:
    bool PortList(QStringList& names) override;
    bool Open(QString mode, QString address, QString port) override;
    bool Close() override;
    bool IsOpen() override;
    bool Read(QString& reply) override;
    bool Write(QString command) override;

protected:
    struct Timing
    {
        int replyStepMs;  // a reply is awaited replySteps × replyStepMs
        int replySteps;
        int writePauseMs; // after each write
    };
    RegisterLogger(const char* model, DeviceLink::Framing framing, const QString& probe, Timing timing,
                   QObject* parent);

    QString Prefix() const;
    // Sends `frame` up to `attempts` times until a reply of `expectedLength`
    // characters comes back (-1: the frame's own length, an echoed write).
    bool Exchange(const QString& frame, int expectedLength, int attempts, QString* reply = nullptr);

private:
    const char* const m_Model;
    const QString m_Probe;
    const Timing m_Timing;
    DeviceLink* m_Link = nullptr;
};
