#pragma once

#include <QSet>

class QFile;
class QRawFont;

namespace PdfTextMap {

// The PDF's text map names each glyph by the lowest character that uses it.
// CJK faces share a glyph between an ideograph and its Kangxi or supplement
// radical (工 and ⼯ U+2F2F, 页 and ⻚ U+2EDA), so copied or searched text
// would hold the radicals. Each mapped character the document never drew is
// replaced, in place and at the same length, by the drawn character with the
// same glyph in `raw`. `pdf` is the open PDF after its painter has ended;
// only the part after `from` (less a margin) is searched.
bool fix(QFile& pdf, qint64 from, const QRawFont& raw, const QSet<ushort>& drawn);

} // namespace PdfTextMap
