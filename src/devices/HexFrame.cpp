#include "HexFrame.h"

#include <cstring>

namespace HexFrame {

quint16 crc16(const QByteArray& bytes)
{
    quint16 crc = 0xFFFF;
    for (const char c : bytes) {
        crc ^= static_cast<quint8>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? static_cast<quint16>((crc >> 1) ^ 0xA001) : static_cast<quint16>(crc >> 1);
    }
    return crc;
}

QString crcText(const QString& hex, bool highFirst)
{
    const quint16 crc = crc16(QByteArray::fromHex(hex.toLatin1()));
    const uint high = crc >> 8;
    const uint low = crc & 0xFF;
    return highFirst ? number(high, 2) + number(low, 2) : number(low, 2) + number(high, 2);
}

QString withCrc(const QString& hex, bool highFirst)
{
    return hex + crcText(hex, highFirst);
}

bool crcMatches(const QString& hex, bool highFirst)
{
    if (hex.size() < 7)
        return false;
    const QString body = hex.left(hex.size() - 4);
    return crcText(body, highFirst).compare(hex.right(4), Qt::CaseInsensitive) == 0;
}

QString floatToHex(float value)
{
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    QString out;
    for (int i = 0; i < 4; ++i)
        out += number((bits >> (8 * i)) & 0xFF, 2);
    return out;
}

float hexToFloat(QString hex)
{
    hex.remove(QLatin1Char(' '));
    if (hex.size() < 8)
        return 0.0f;
    quint32 bits = 0;
    for (int i = 3; i >= 0; --i) {
        bool ok = false;
        const uint byte = hex.mid(2 * i, 2).toUInt(&ok, 16);
        if (!ok)
            return 0.0f;
        bits = (bits << 8) | byte;
    }
    float value = 0.0f;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

QString number(uint value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper().right(digits);
}

} // namespace HexFrame
