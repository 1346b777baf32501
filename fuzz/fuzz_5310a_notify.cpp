// Notifications of the 5310A thermometer through the frame reassembly.
//
// Input: one control byte, then the notification bytes. Bits 0-4 of the
// control byte give the first notification's size, bits 5-7 how the size
// changes from one notification to the next. Checked against a plain model
// of the rule: bytes are collected until 24 or more; a notification that
// opens with 17 05 starts the collection afresh unless it continues a frame
// begun there within its 24 bytes. Each 24 bytes collected are a reading
// exactly when they start 17 05 and bytes 18-21 are a finite big-endian
// float; what follows is kept only when it opens another frame. The buffer
// never holds a whole frame's worth between calls.

#include "Korva5310Frame.h"

#include <QByteArray>
#include <QString>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    int chunk = (data[0] & 0x1F) + 1;
    const int step = data[0] >> 5;

    QString buffer;
    QByteArray model;
    for (size_t at = 1; at < size;) {
        const size_t n = std::min(static_cast<size_t>(chunk), size - at);
        const QByteArray piece(reinterpret_cast<const char*>(data + at), static_cast<int>(n));
        at += n;
        chunk = (chunk + step) % 40 + 1;

        double value = 12345.0;
        const Korva5310Frame::Result result = Korva5310Frame::feed(buffer, piece, &value);

        const auto opensFrame = [](const QByteArray& b) {
            return b.size() >= 2 && static_cast<quint8>(b[0]) == 0x17 && static_cast<quint8>(b[1]) == 0x05;
        };
        // A piece opening a frame restarts unless it continues the frame begun, within its length.
        if (opensFrame(piece) && !model.isEmpty()
            && (!opensFrame(model) || model.size() + piece.size() > Korva5310Frame::kFrameBytes))
            model.clear();
        model += piece;
        if (model.size() < Korva5310Frame::kFrameBytes) {
            check(result == Korva5310Frame::Result::Incomplete);
            check(buffer == QString::fromLatin1(model.toHex()));
        } else {
            bool reading = false;
            float last = 0;
            while (model.size() >= Korva5310Frame::kFrameBytes) {
                quint32 bits = 0;
                for (int i = 0; i < 4; ++i)
                    bits = (bits << 8) | static_cast<quint8>(model[18 + i]);
                float expected;
                std::memcpy(&expected, &bits, 4);
                if (opensFrame(model) && std::isfinite(expected)) {
                    reading = true;
                    last = expected;
                }
                const QByteArray rest = model.mid(Korva5310Frame::kFrameBytes);
                model = opensFrame(rest) ? rest : QByteArray();
            }
            check(result == (reading ? Korva5310Frame::Result::Reading : Korva5310Frame::Result::Discarded));
            check(!reading || value == static_cast<double>(last));
            check(reading || value == 12345.0);
            check(buffer == QString::fromLatin1(model.toHex()));
        }
        check(buffer.size() < 2 * Korva5310Frame::kFrameBytes);
    }
    return 0;
}
