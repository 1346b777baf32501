#include "SimulatedInstrument.h"

#include "Instrument1586A.h"
#include "Instrument3107A.h"
#include "Instrument3108A.h"
#include "InstrumentSource.h"
#include "SimulatorConfig.h"

#include <cmath>

namespace sim {

std::unique_ptr<SimulatedInstrument> createInstrument(const InstrumentConfig& config, int index)
{
    if (config.source) {
        std::unique_ptr<InstrumentSource> source;
        if (config.source->family == SourceFamily::DryBlock)
            source = std::make_unique<InstrumentDryBlock>(*config.source, config.sourceSettings);
        else
            source = std::make_unique<InstrumentBath>(*config.source, config.sourceSettings);
        const QString prefix = config.source->family == SourceFamily::DryBlock ? QStringLiteral("KD")
                                                                               : QStringLiteral("KL");
        source->setSerial(config.identity.isEmpty() ? prefix + QStringLiteral("%1").arg(index + 1, 5, 10, QLatin1Char('0'))
                                                    : config.identity);
        source->setSeed(static_cast<quint32>(7919 * (index + 1)));
        return source;
    }
    const QString serial = QStringLiteral("%1").arg(index + 1, 5, 10, QLatin1Char('0'));
    const double timeScale = std::isnan(config.timeScale) ? 1.0 : config.timeScale;
    if (config.logger == LoggerModel::M3108A) {
        auto logger = std::make_unique<Instrument3108A>();
        logger->setStationAddress(static_cast<quint8>(config.address));
        logger->setIdentity(config.identity.isEmpty() ? QStringLiteral("3108A") + serial : config.identity);
        logger->setTimeScale(timeScale);
        return logger;
    }
    if (config.logger == LoggerModel::M1586A) {
        auto scanner = std::make_unique<Instrument1586A>();
        scanner->setSerial(config.identity.isEmpty() ? QStringLiteral("1586A") + serial : config.identity);
        scanner->setTimeScale(timeScale);
        return scanner;
    }
    auto instrument = std::make_unique<Instrument3107A>(config.variant);
    instrument->setStationAddress(static_cast<quint8>(config.address));
    instrument->setIdentity(config.identity.isEmpty()
                                ? QStringLiteral("3107A%1").arg(index + 1, 5, 10, QLatin1Char('0'))
                                : config.identity);
    return instrument;
}

int SimulatedInstrument::channelIndex(const QString& number) const
{
    bool ok = false;
    const int n = number.trimmed().toInt(&ok);
    return ok && n >= 101 && n < 101 + channelCount() ? n - 101 : -1;
}

bool SimulatedInstrument::exportData(const QString&, QString* error)
{
    *error = QStringLiteral("this instrument keeps no data in memory");
    return false;
}

QString frameText(const SimulatedInstrument& instrument, const QByteArray& frame, bool spaced)
{
    if (!instrument.textProtocol())
        return QString::fromLatin1(spaced ? frame.toHex(' ') : frame.toHex());
    QString text = QStringLiteral("\"");
    for (const char ch : frame) {
        switch (ch) {
        case '\r': text += QStringLiteral("\\r"); break;
        case '\n': text += QStringLiteral("\\n"); break;
        case '\t': text += QStringLiteral("\\t"); break;
        case '"': text += QStringLiteral("\\\""); break;
        case '\\': text += QStringLiteral("\\\\"); break;
        default:
            if (static_cast<quint8>(ch) < 0x20 || static_cast<quint8>(ch) > 0x7E)
                text += QStringLiteral("\\x%1").arg(static_cast<quint8>(ch), 2, 16, QLatin1Char('0'));
            else
                text += QLatin1Char(ch);
        }
    }
    return text + QLatin1Char('"');
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
