// Notifications of the 5310A thermometer through the frame reassembly.
//
// Input: one control byte, then the notification bytes. Bits 0-4 of the
// control byte give the first notification's size, bits 5-7 how the size
// changes from one notification to the next. Checked against a plain model
// of the rule: bytes are collected until 24 or more; then they are a reading
// exactly when they start 17 05 and bytes 18-21 are a finite big-endian
// float, and the collection starts afresh. The buffer never holds a whole
// frame's worth between calls.

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

        model += piece;
        if (model.size() < Korva5310Frame::kFrameBytes) {
            check(result == Korva5310Frame::Result::Incomplete);
            check(buffer == QString::fromLatin1(model.toHex()));
        } else {
            quint32 bits = 0;
            for (int i = 0; i < 4; ++i)
                bits = (bits << 8) | static_cast<quint8>(model[18 + i]);
            float expected;
            std::memcpy(&expected, &bits, 4);
            const bool reading = static_cast<quint8>(model[0]) == 0x17 && static_cast<quint8>(model[1]) == 0x05
                                 && std::isfinite(expected);
            check(result == (reading ? Korva5310Frame::Result::Reading : Korva5310Frame::Result::Discarded));
            check(!reading || value == static_cast<double>(expected));
            check(reading || value == 12345.0);
            check(buffer.isEmpty());
            model.clear();
        }
        check(buffer.size() < 2 * Korva5310Frame::kFrameBytes);
    }
    return 0;
}
