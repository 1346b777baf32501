// Text from a dry block or a bath, through the line framing and the reply
// parsers the source drivers use.
//
// Input: one control byte, then the received bytes. Control bit 0 picks the
// bath's framing (a lone line feed dropped) over the dry block's, bits 1-5
// the chunk size the bytes arrive in. Checked: every queued reply ends with a
// line feed and the bath never queues a lone one; every number a parser
// accepts is finite and a refused reply leaves the value untouched.

#include "DeviceLink.h"
#include "SourceReply.h"

#include <QCoreApplication>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void parseAll(const QString& reply)
{
    const double untouched = -12345.678;
    double v = untouched;
    if (SourceReply::dryNumber(reply, &v))
        check(std::isfinite(v));
    else
        check(v == untouched);
    for (const char* prefix : {"r:", "set:", "st:"}) {
        v = untouched;
        if (SourceReply::tankNumber(reply, QString::fromLatin1(prefix), &v))
            check(std::isfinite(v) && reply.startsWith(QLatin1String(prefix)));
        else
            check(v == untouched);
    }
    bool stable = false;
    SourceReply::dryStable(reply, &stable);
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
    const bool bath = control & 1;
    const size_t chunk = 1 + ((control >> 1) & 0x1f);
    std::atomic<bool> open{true};
    DeviceLink link(open, bath ? DeviceLink::Framing::LineEndNoBlank : DeviceLink::Framing::LineEnd, 1000);
    const char* bytes = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;
    for (size_t at = 0; at < length; at += chunk)
        link.receive(QByteArray(bytes + at, static_cast<int>(std::min(chunk, length - at))));

    QString reply;
    while (link.takeLast(reply)) {
        check(reply.endsWith(QLatin1Char('\n')));
        check(!(bath && reply == QLatin1String("\n")));
        parseAll(reply);
    }
    // What is still unframed is parsed too: a driver may see any text.
    parseAll(link.rxBuffer());
    return 0;
}
