#pragma once

#include <QByteArray>
#include <QString>

// Hex-text frames of the register protocols: CRC-16/MODBUS and the
// little-endian float encoding used inside payloads.
namespace HexFrame {

// CRC-16/MODBUS: reflected polynomial 0xA001, initial 0xFFFF, no final XOR.
quint16 crc16(const QByteArray& bytes);
// CRC of the bytes a hex text stands for, as four upper-case hex digits,
// high byte first or low byte first.
QString crcText(const QString& hex, bool highFirst);
// The hex text followed by its CRC.
QString withCrc(const QString& hex, bool highFirst);
// True when the last four digits are the CRC of the rest (case-insensitive).
bool crcMatches(const QString& hex, bool highFirst);

// A float as 8 hex digits of its IEEE-754 bits, byte-reversed.
QString floatToHex(float value);
// Inverse of floatToHex; spaces are ignored, fewer than 8 digits give 0.
float hexToFloat(QString hex);
// An unsigned number as a fixed count of hex digits (upper case).
QString number(uint value, int digits);

} // namespace HexFrame
