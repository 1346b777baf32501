#include "Korva5310Frame.h"

#include <cmath>
#include <cstring>

namespace Korva5310Frame {

QString withChecksum(const QString& bodyHex)
{
    const QByteArray body = QByteArray::fromHex(bodyHex.toLatin1());
    quint8 sum = 0;
    for (char c : body)
        sum ^= static_cast<quint8>(c);
    return bodyHex.toUpper() + QStringLiteral("%1").arg(sum, 2, 16, QLatin1Char('0')).toUpper();
}

Result feed(QString& buffer, const QByteArray& notification, double* reading)
{
    // A notification that opens a frame starts the buffer afresh: a stray
    // fragment in front of it would otherwise misalign every frame after it.
    if (notification.size() >= 2 && quint8(notification[0]) == 0x17 && quint8(notification[1]) == 0x05)
        buffer.clear();
    buffer += QString::fromLatin1(notification.toHex());
    if (buffer.size() < 2 * kFrameBytes)
        return Result::Incomplete;
    Result result = Result::Discarded;
    if (buffer.startsWith(QLatin1String("1705"))) {
        bool ok = false;
        const quint32 bits = buffer.mid(36, 8).toUInt(&ok, 16); // bytes 18–21, most significant first
        float value = 0;
        std::memcpy(&value, &bits, sizeof value);
        if (ok && std::isfinite(value)) {
            *reading = static_cast<double>(value);
            result = Result::Reading;
        }
    }
    buffer.clear();
    return result;
}

} // namespace Korva5310Frame
