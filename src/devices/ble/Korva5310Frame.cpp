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
    const QString head = QStringLiteral("1705");
    const bool opens = notification.size() >= 2 && quint8(notification[0]) == 0x17 && quint8(notification[1]) == 0x05;
    // A notification that opens a frame starts the buffer afresh unless it
    // completes the frame the buffer holds (a 4-byte tail may begin 17 05
    // too): a stray fragment in front would misalign every frame after it.
    if (opens && !buffer.isEmpty()
        && (!buffer.startsWith(head) || buffer.size() / 2 + notification.size() > kFrameBytes))
        buffer.clear();
    buffer += QString::fromLatin1(notification.toHex());
    Result result = buffer.size() < 2 * kFrameBytes ? Result::Incomplete : Result::Discarded;
    // Frames back to back in one notification are each decoded; anything
    // else after a frame is the frame's own tail and goes with it.
    while (buffer.size() >= 2 * kFrameBytes) {
        if (buffer.startsWith(head)) {
            bool ok = false;
            const quint32 bits = buffer.mid(36, 8).toUInt(&ok, 16); // bytes 18–21, most significant first
            float value = 0;
            std::memcpy(&value, &bits, sizeof value);
            if (ok && std::isfinite(value)) {
                *reading = static_cast<double>(value);
                result = Result::Reading;
            }
        }
        const QString rest = buffer.mid(2 * kFrameBytes);
        buffer = rest.startsWith(head) ? rest : QString();
    }
    return result;
}

} // namespace Korva5310Frame
