#include "PdfTextMap.h"

#include <QByteArray>
#include <QFile>
#include <QHash>
#include <QRawFont>
#include <QVector>

#include <cstring>
#include <limits>

namespace PdfTextMap {

bool fix(QFile& pdf, qint64 from, const QRawFont& raw, const QSet<ushort>& drawn)
{
    if (!raw.isValid() || !pdf.flush())
        return false;
    QHash<quint32, ushort> drawnByGlyph;
    for (const ushort c : qAsConst(drawn)) {
        if (QChar::isSurrogate(c))
            continue;
        const QVector<quint32> g = raw.glyphIndexesForString(QString(QChar(c)));
        if (g.size() == 1 && g.first() != 0 && !drawnByGlyph.contains(g.first()))
            drawnByGlyph.insert(g.first(), c);
    }
    from = qBound<qint64>(0, from - 4096, pdf.size());
    const qint64 size = pdf.size() - from;
    if (size <= 0 || size > std::numeric_limits<int>::max())
        return false;
    uchar* const map = pdf.map(from, size);
    if (!map) {
        pdf.unsetError(); // the report stays valid, only less searchable
        return false;
    }
    char* const bytes = reinterpret_cast<char*>(map);
    const QByteArray file = QByteArray::fromRawData(bytes, int(size));
    int fixed = 0;
    const auto patch = [&](int at) { // a 4-digit code at bytes[at]
        bool hex = false;
        const ushort c = QByteArray::fromRawData(bytes + at, 4).toUShort(&hex, 16);
        if (!hex || drawn.contains(c) || QChar::isSurrogate(c))
            return;
        const QVector<quint32> g = raw.glyphIndexesForString(QString(QChar(c)));
        if (g.size() != 1)
            return;
        const auto d = drawnByGlyph.constFind(g.first());
        if (d == drawnByGlyph.constEnd())
            return;
        const QByteArray text = QByteArray::number(*d, 16).toUpper().rightJustified(4, '0');
        memcpy(bytes + at, text.constData(), 4);
        ++fixed;
    };
    for (int at = file.size() - 1; at > 0;) {
        const int begin = file.lastIndexOf("begincmap", at);
        if (begin < 0)
            break;
        const int end = file.indexOf("endcmap", begin);
        at = begin - 1;
        if (end < 0)
            continue;
        // Lines "<src> <dst>" (bfchar), "<lo> <hi> <dst>" and "<lo> <hi> [<dst> ...]" (bfrange).
        for (int line = begin; line < end;) {
            int next = file.indexOf('\n', line);
            if (next < 0 || next > end)
                next = end;
            QVector<int> codes; // start of each 4-digit <....> token
            bool array = false;
            for (int i = line; i < next; ++i) {
                if (bytes[i] == '[')
                    array = true;
                if (bytes[i] == '<' && i + 5 < next && bytes[i + 5] == '>')
                    codes << i + 1;
            }
            if (array) {
                for (int k = 2; k < codes.size(); ++k)
                    patch(codes.at(k));
            } else if (codes.size() == 2) {
                patch(codes.at(1));
            } else if (codes.size() == 3 && memcmp(bytes + codes.at(0), bytes + codes.at(1), 4) == 0) {
                patch(codes.at(2));
            }
            line = next + 1;
        }
    }
    pdf.unmap(map);
    return fixed > 0;
}

} // namespace PdfTextMap
