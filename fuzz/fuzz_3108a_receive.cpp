// Bytes as they come off the line, through the 3108A framing (CRC low byte
// first) and the value decoding.
//
// Input: one control byte, then the received bytes. Control bit 0 sets the
// station filter "01", bits 1-5 the chunk size the bytes arrive in.
// Checked: every reply queued has a matching CRC and, with the filter set,
// starts with the station; the receive buffer stays bounded; scaling a
// decoded value never fails.

#include "Collection3108A.h"
#include "DeviceLink.h"
#include "HexFrame.h"

#include <QCoreApplication>

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const bool filtered = data[0] & 1;
    const size_t chunk = static_cast<size_t>((data[0] >> 1) & 0x1F) + 1;
    Collection3108A driver;
    DeviceLink* link = driver.Link();
    if (filtered)
        link->setAddressPrefix(QStringLiteral("01"));
    for (size_t at = 1; at < size; at += chunk) {
        const size_t n = std::min(chunk, size - at);
        link->receive(QByteArray(reinterpret_cast<const char*>(data + at), static_cast<int>(n)));
        // Bounded: at most one frame's worth plus the chunk that overflowed it.
        check(link->rxBuffer().size() <= 2 * 256 + 2 * static_cast<int>(n));
    }
    QString reply;
    while (link->takeLast(reply)) {
        check(HexFrame::crcMatches(reply, false));
        check(!filtered || reply.startsWith(QLatin1String("01")));
        for (int j = 0; 8 * j + 6 < reply.size(); ++j) {
            Device::Channel ch;
            ch.Type = QStringLiteral("直流电流");
            ch.Unit = j % 2 ? QStringLiteral("℃") : QStringLiteral("μA");
            Collection3108A::Scale(ch, static_cast<double>(HexFrame::hexToFloat(reply.mid(8 * j + 6, 8))));
        }
    }
    return 0;
}
