#pragma once

#include <QByteArray>

namespace sim {

// CRC-16/MODBUS: reflected polynomial 0xA001, initial value 0xFFFF, no final XOR.
quint16 crc16Modbus(const char* data, int size);
inline quint16 crc16Modbus(const QByteArray& bytes) { return crc16Modbus(bytes.constData(), bytes.size()); }

// The 3107A appends its CRC high byte first (the reverse of Modbus RTU).
QByteArray withCrc(QByteArray frame);
// True when the last two bytes are the CRC (high byte first) of the rest.
bool hasValidCrc(const QByteArray& frame);
// The 3108A uses the plain Modbus RTU order: low byte first.
QByteArray withCrcLowFirst(QByteArray frame);
bool hasValidCrcLowFirst(const QByteArray& frame);

} // namespace sim
