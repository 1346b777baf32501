// Bytes as they come off the line, through the 3107A framing and decoding.
//
// Input: one control byte, then the received bytes. Control bit 0 sets the
// station filter "01", bit 1 picks a four-wire (8-channel) set over the
// two-wire (16-channel) one, bits 2-6 the chunk size the bytes arrive in.
// Checked: every reply queued has a matching CRC and, with the filter set,
// starts with the station; the receive buffer stays bounded; decoding never
// reads outside a reply.

#include "Collection3107A.h"
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
    const uint8_t control = data[0];
    const bool filtered = control & 1;
    const bool fourWire = control & 2;
    const size_t chunk = static_cast<size_t>((control >> 2) & 0x1F) + 1;

    Collection3107A_PCR driver;
    DeviceLink* link = driver.Link();
    if (filtered)
        link->setAddressPrefix(QStringLiteral("01"));

    // Marks the channel set; the rate command then fails without a link, so
    // no I/O happens.
    QList<Device::Channel> set;
    for (int c = 0; c < 8; ++c) {
        Device::Channel ch;
        ch.ChannelNumber = QString::number(101 + 2 * c % (fourWire ? 8 : 16));
        ch.Wire = fourWire ? QStringLiteral("四线制") : QStringLiteral("二线制");
        ch.Unit = QStringLiteral("℃");
        set << ch;
    }
    driver.SetChannels(QStringLiteral("快速"), set);

    for (size_t at = 1; at < size; at += chunk) {
        const size_t n = std::min(chunk, size - at);
        link->receive(QByteArray(reinterpret_cast<const char*>(data + at), static_cast<int>(n)));
        // Whatever the line sends, the buffer stays within one frame's length.
        check(link->rxBuffer().size() <= 2 * 256);
    }

    QString reply;
    while (link->takeLast(reply)) {
        check(HexFrame::crcMatches(reply, true));
        check(!filtered || reply.startsWith(QLatin1String("01")));
        const QStringList values = driver.DecodeValues(reply);
        check(values.size() <= driver.ChannelCountSet());
        const QByteArray identity = QByteArray::fromHex(reply.mid(6, 20).toLatin1());
        check(identity.size() <= 10);
    }
    // A time-out with nothing queued clears the receive buffer.
    check(!driver.Read(reply));
    check(link->rxBuffer().isEmpty());
    return 0;
}
