#pragma once

#include <QByteArray>

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

// A value's text with the report's decimals, the same text
// QByteArray::setNum(v, 'f', decimals) makes (the texts of the PDF and of
// the screens), at the cost of std::to_chars. The two differ only on exact
// ties (0.125 to two places: Qt rounds away from zero, to_chars to even); a
// tie needs v · 2^(decimals+1) to be a whole number, so only such values
// take Qt's path.
namespace ReportNumber {

constexpr int kTextSize = 400; // any double in fixed notation with up to 15 decimals

// Writes the text into out (kTextSize bytes) and returns its length; 0 for
// a value that is no finite number.
inline int fixedText(double v, int decimals, char* out)
{
    if (!std::isfinite(v))
        return 0;
    const double t = std::ldexp(v, decimals + 1);
    if (t == std::floor(t)) {
        QByteArray q;
        q.setNum(v, 'f', decimals);
        const int n = std::min(q.size(), kTextSize);
        std::memcpy(out, q.constData(), size_t(n));
        return n;
    }
    const auto r = std::to_chars(out, out + kTextSize, v, std::chars_format::fixed, decimals);
    return r.ec == std::errc() ? int(r.ptr - out) : 0;
}

// The number a text of fixedText stands for: what a cell holds so that,
// shown with the decimals, it reads exactly as the text (a spreadsheet
// rounds the binary value its own way: 2.675 would show 2.68 where the text
// says 2.67). NaN for a value that is no finite number; never −0.
inline double shown(double v, int decimals)
{
    char text[kTextSize];
    const int n = fixedText(v, decimals, text);
    if (n == 0)
        return std::numeric_limits<double>::quiet_NaN();
    double value = 0;
    std::from_chars(text, text + n, value);
    return value == 0 ? 0.0 : value;
}

} // namespace ReportNumber
