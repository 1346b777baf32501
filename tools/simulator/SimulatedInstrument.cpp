#include "SimulatedInstrument.h"

#include "Instrument3107A.h"
#include "SimulatorConfig.h"

namespace sim {

std::unique_ptr<SimulatedInstrument> createInstrument(const InstrumentConfig& config, int index)
{
    // Only the 3107A family exists so far; further models branch here on
    // their own configuration.
    auto instrument = std::make_unique<Instrument3107A>(config.variant);
    instrument->setStationAddress(static_cast<quint8>(config.address));
    instrument->setIdentity(config.identity.isEmpty()
                                ? QStringLiteral("3107A%1").arg(index + 1, 5, 10, QLatin1Char('0'))
                                : config.identity);
    return instrument;
}

QList<QByteArray> FrameAssembler::feed(const QByteArray& bytes, qint64 nowMs)
{
    if (!m_protocol)
        return {};
    if (!m_buffer.isEmpty() && nowMs - m_lastMs > m_gapMs)
        m_buffer.clear();
    m_lastMs = nowMs;
    m_buffer.append(bytes);

    QList<QByteArray> frames;
    while (!m_buffer.isEmpty()) {
        const int length = m_protocol->frameLength(m_buffer);
        if (length == 0)
            break;
        if (length < 0) {
            m_buffer.remove(0, 1);
            continue;
        }
        if (m_buffer.size() < length)
            break;
        const QByteArray candidate = m_buffer.left(length);
        if (m_protocol->frameIntact(candidate)) {
            frames.append(candidate);
            m_buffer.remove(0, length);
        } else {
            m_buffer.remove(0, 1); // resynchronise on the next byte
        }
    }
    return frames;
}

} // namespace sim
