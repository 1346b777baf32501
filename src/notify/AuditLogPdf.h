#pragma once

#include "Records.h"

#include <QList>
#include <QRect>
#include <QString>

class QFont;
class QPaintDevice;
class QPainter;

// The warning-log export: A4 at 300 dpi, a header on every page and one band
// per entry. The arithmetic is public so tests can check it without a PDF.
class AuditLogPdf
{
public:
    struct Columns
    {
        int time_x, time_w, type_x, type_w, text_x, text_w;
    };
    static Columns columns(int width); // g = width / 24: 7g, 5g, 12g

    static constexpr int FirstRowTop = 300;
    static constexpr int RowPitch = 120; // a new page when top + pitch reaches the height

    // Number of pages `rows` entries take on a page of `height` units.
    static int pageCount(int rows, int height);

    // `base`, made smaller in half points until `text` fits `width` on
    // `device` (not below 6 pt): a long detail keeps its value at the end
    // instead of being cut off by the column.
    static QFont fitted(const QFont& base, const QString& text, int width, QPaintDevice* device);

    // Writes the file; false (and nothing reported here) when it cannot be
    // opened or the writer fails.
    static bool write(const QString& path, const QList<Tool::Struct_AuditLog>& rows);

private:
    static void drawHeader(QPainter& painter, int width);
};
