#pragma once

#include <QByteArray>
#include <QString>

// Wire format of the 5310A reference thermometer, free of any link so the
// driver, the tests and the fuzzer share it.
namespace Korva5310Frame {

// Command bodies; on the wire each is followed by its checksum.
inline const QString kStartBody = QStringLiteral("04050200");
inline const QString kStopBody = QStringLiteral("04050101");

// Body followed by the XOR of its bytes as two upper-case hex digits.
QString withChecksum(const QString& bodyHex);

// A reading frame is at least this many bytes; notifications are collected
// until the buffer holds as many.
constexpr int kFrameBytes = 24;

enum class Result {
    Incomplete, // fewer than kFrameBytes collected; the buffer keeps them
    Reading,    // a frame "17 05 …" with a finite temperature; buffer emptied
    Discarded,  // enough bytes that form no reading; buffer emptied
};

// Appends one notification (as hex text) to `buffer` and decodes the frame
// once the buffer holds kFrameBytes or more: it must start with 17 05, and
// bytes 18–21 hold the temperature as a big-endian IEEE-754 single. Non-
// finite values are not readings. A notification beginning 17 05 drops
// what the buffer held before it, unless it continues a frame the buffer
// began without running past its end. Bytes after a frame that begin 17 05 are the next frame
// (two in one notification; the later reading is returned); other bytes
// after a frame are dropped with it. The buffer never stays at or above
// 2 * kFrameBytes hex digits.
Result feed(QString& buffer, const QByteArray& notification, double* reading);

} // namespace Korva5310Frame
