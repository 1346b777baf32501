#include "RegisterLogger.h"

#include <QDebug>

RegisterLogger::RegisterLogger(const char* model, DeviceLink::Framing framing, const QString& probe, Timing timing,
                               QObject* parent)
    : Collection(parent), m_Model(model), m_Probe(probe), m_Timing(timing),
      m_Link(new DeviceLink(OpenFlag, framing, 3000, this))
{
}

RegisterLogger::~RegisterLogger()
{
    // The link refers to this driver's open flag: it goes before the flag does.
    delete m_Link;
    m_Link = nullptr;
}

int RegisterLogger::RateCode(const QString& rate)
{
    if (rate == QStringLiteral("快速"))
        return 3;
    if (rate == QStringLiteral("中速"))
        return 2;
    if (rate == QStringLiteral("慢速"))
        return 1;
    return 0;
}

bool RegisterLogger::PortList(QStringList& names)
{
    names = SerialPortNames();
    return true;
}

bool RegisterLogger::Open(QString mode, QString address, QString port)
{
    if (OpenFlag)
        return false;
    emit m_Link->Open_signals(mode, address, port.toInt());
    for (int i = 0; i < 40 && !OpenFlag; ++i)
        Delay(100);

    // A station learned on an earlier link would filter out the probe
    // answer of a logger at another address.
    m_Link->setAddressPrefix(QString());
    QString reply;
    if (!Write(m_Probe) || !Read(reply)) {
        emit m_Link->Close_signals();
        OpenFlag = false;
        return false;
    }
    if (reply.size() == 12)
        m_Link->setAddressPrefix(reply.mid(6, 2));
    return OpenFlag;
}

bool RegisterLogger::Close()
{
    return m_Link->closeLink();
}

bool RegisterLogger::IsOpen()
{
    return OpenFlag;
}

bool RegisterLogger::Read(QString& reply)
{
    if (m_Link->waitReply(reply, m_Timing.replyStepMs, m_Timing.replySteps))
        return true;
    m_Link->clearRxBuffer();
    return false;
}

bool RegisterLogger::Write(QString command)
{
    if (!OpenFlag)
        return false;
    emit m_Link->Write_signals(command);
    if (m_Timing.writePauseMs > 0)
        Delay(m_Timing.writePauseMs);
    return true;
}

QString RegisterLogger::Prefix() const
{
    return m_Link->addressPrefix();
}

bool RegisterLogger::Exchange(const QString& frame, int expectedLength, int attempts, QString* out)
{
    const int length = expectedLength < 0 ? frame.size() : expectedLength;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (!Write(frame))
            return false;
        QString reply;
        if (!Read(reply))
            continue;
        if (reply.size() == length) {
            if (out)
                *out = reply;
            return true;
        }
        qWarning() << m_Model << ": unexpected reply" << reply << "to" << frame;
    }
    return false;
}
