#include "XlsxBook.h"

#include "Backup.h"
#include "ReportFailure.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QTemporaryFile>

#include <xlsxwriter.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>

XlsxBook::XlsxBook()
{
    // The library opens its output only when the workbook is closed, and the
    // destination is not known before then: reserve a unique name in the
    // temporary folder and move the finished file in `saveAs`.
    QTemporaryFile reserve(QDir::temp().filePath(QStringLiteral("arq-report-XXXXXX.xlsx")));
    reserve.setAutoRemove(false);
    if (!reserve.open()) {
        fail(reserve.errorString(), ReportFailure::tr("临时文件夹无法写入或已满。") + QLatin1Char(' ') +
                                        ReportFailure::fromFile(reserve, ReportFailure::lastSystemError()));
        return;
    }
    m_temp = reserve.fileName();
    reserve.close();
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = nullptr;
    options.use_zip64 = LXW_FALSE;
    m_book = workbook_new_opt(QFile::encodeName(m_temp).constData(), &options);
    if (!m_book) {
        fail(QStringLiteral("cannot create the workbook"), ReportFailure::fromSystemError(ENOMEM));
        QFile::remove(m_temp);
    }
}

XlsxBook::~XlsxBook()
{
    discard();
}

void XlsxBook::discard()
{
    if (m_book) {
        lxw_workbook_free(m_book);
        m_book = nullptr;
    }
    m_sheet = nullptr;
    m_sheets.clear();
    m_formats.clear();
    m_styles.clear();
    m_numberFormats.clear();
    if (!m_temp.isEmpty()) {
        QFile::remove(m_temp);
        m_temp.clear();
    }
}

bool XlsxBook::check(int error, const char* what)
{
    if (error == LXW_NO_ERROR)
        return true;
    const int system = errno;
    fail(QStringLiteral("%1: %2").arg(QLatin1String(what),
                                      QString::fromUtf8(lxw_strerror(static_cast<lxw_error>(error)))),
         ReportFailure::fromLibrary(error, system));
    return false;
}

// The first failure is the one the user is told about.
void XlsxBook::fail(const QString& error, const QString& reason)
{
    if (m_error.isEmpty())
        m_error = error;
    if (m_reason.isEmpty())
        m_reason = reason;
}

int XlsxBook::addFormat(const Style& style)
{
    if (!m_book)
        return -1;
    lxw_format* f = workbook_add_format(m_book);
    if (!f)
        return -1;
    if (!style.font.isEmpty())
        format_set_font_name(f, style.font.toUtf8().constData());
    format_set_font_size(f, style.size);
    format_set_align(f, style.align == Center ? LXW_ALIGN_CENTER : LXW_ALIGN_LEFT);
    format_set_align(f, LXW_ALIGN_VERTICAL_CENTER);
    if (style.border)
        format_set_border(f, LXW_BORDER_THIN);
    if (style.fill) {
        format_set_pattern(f, LXW_PATTERN_SOLID);
        format_set_bg_color(f, style.fill);
    }
    if (style.decimals >= 0) {
        const QByteArray pattern = style.decimals == 0 ? QByteArray("0") : "0." + QByteArray(style.decimals, '0');
        format_set_num_format(f, pattern.constData());
    }
    m_formats << f;
    m_styles << style;
    return m_formats.size() - 1;
}

int XlsxBook::numberFormat(int format, int decimals)
{
    if (format < 0 || format >= m_styles.size())
        return -1;
    decimals = qBound(0, decimals, 15);
    const quint64 key = (quint64(quint32(format)) << 32) | quint32(decimals);
    const auto found = m_numberFormats.constFind(key);
    if (found != m_numberFormats.constEnd())
        return found.value();
    Style style = m_styles.at(format);
    style.decimals = decimals;
    const int made = addFormat(style);
    if (made >= 0)
        m_numberFormats.insert(key, made);
    return made;
}

bool XlsxBook::addSheet(const QString& name)
{
    if (!m_book)
        return false;
    const QByteArray utf8 = name.toUtf8();
    // Checked first so that a taken name is a plain false, not a library warning.
    if (workbook_validate_sheet_name(m_book, utf8.constData()) != LXW_NO_ERROR)
        return false;
    errno = 0;
    lxw_worksheet* sheet = workbook_add_worksheet(m_book, utf8.constData());
    if (!sheet) {
        // In constant-memory mode each sheet streams into a temporary file.
        const int system = errno;
        fail(QStringLiteral("cannot add the sheet %1").arg(name),
             ReportFailure::fromLibrary(LXW_ERROR_CREATING_TMPFILE, system));
        return false;
    }
    m_sheet = sheet;
    m_sheets << sheet;
    m_names << name;
    return true;
}

bool XlsxBook::write(int row, int column, const char* utf8, int format)
{
    if (!m_sheet)
        return false;
    return check(worksheet_write_string(m_sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column), utf8,
                                        m_formats.value(format)),
                 "write");
}

bool XlsxBook::write(int row, int column, double value, int format)
{
    if (!m_sheet)
        return false;
    const auto r = static_cast<lxw_row_t>(row);
    const auto c = static_cast<lxw_col_t>(column);
    if (!std::isfinite(value))
        return check(worksheet_write_blank(m_sheet, r, c, m_formats.value(format)), "write");
    return check(worksheet_write_number(m_sheet, r, c, value, m_formats.value(format)), "write");
}

bool XlsxBook::merge(int row, int firstColumn, int lastColumn, double value, int format)
{
    if (!m_sheet)
        return false;
    // The library merges with a text; the number then takes the first cell.
    return merge(row, firstColumn, lastColumn, QString(), format) && write(row, firstColumn, value, format);
}

bool XlsxBook::write(int row, int column, const QString& text, int format)
{
    return write(row, column, text.toUtf8().constData(), format);
}

bool XlsxBook::merge(int row, int firstColumn, int lastColumn, const QString& text, int format)
{
    if (!m_sheet)
        return false;
    if (lastColumn <= firstColumn)
        return write(row, firstColumn, text, format);
    // One row only: that is what streaming allows, and all the report needs.
    return check(worksheet_merge_range(m_sheet, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(firstColumn),
                                       static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(lastColumn),
                                       text.toUtf8().constData(), m_formats.value(format)),
                 "merge");
}

bool XlsxBook::setColumnWidth(int firstColumn, int lastColumn, double width)
{
    if (!m_sheet)
        return false;
    return check(worksheet_set_column(m_sheet, static_cast<lxw_col_t>(firstColumn), static_cast<lxw_col_t>(lastColumn),
                                      width, nullptr),
                 "column width");
}

bool XlsxBook::setRowHeight(int row, double height)
{
    if (!m_sheet)
        return false;
    return check(worksheet_set_row(m_sheet, static_cast<lxw_row_t>(row), height, nullptr), "row height");
}

bool XlsxBook::insertImage(int row, int column, const QImage& image, double scale)
{
    if (!m_sheet || image.isNull())
        return false;
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        return false;
    buffer.close();
    m_images << png; // the library may read it again when the book is written
    const QByteArray& kept = m_images.last();
    lxw_image_options options = {};
    options.x_scale = scale;
    options.y_scale = scale;
    return check(worksheet_insert_image_buffer_opt(m_sheet, static_cast<lxw_row_t>(row),
                                                   static_cast<lxw_col_t>(column),
                                                   reinterpret_cast<const unsigned char*>(kept.constData()),
                                                   static_cast<size_t>(kept.size()), &options),
                 "image");
}

bool XlsxBook::setPrint(const Print& print)
{
    if (!m_sheet)
        return false;
    constexpr uint8_t a4 = 9;
    worksheet_set_paper(m_sheet, a4);
    if (print.landscape)
        worksheet_set_landscape(m_sheet);
    else
        worksheet_set_portrait(m_sheet);
    worksheet_center_horizontally(m_sheet);
    worksheet_set_margins(m_sheet, 0.4, 0.4, 0.5, 0.6);
    worksheet_fit_to_pages(m_sheet, static_cast<uint16_t>(print.pagesWide), static_cast<uint16_t>(print.pagesTall));
    bool ok = true;
    if (print.repeatFirst >= 0)
        ok = check(worksheet_repeat_rows(m_sheet, static_cast<lxw_row_t>(print.repeatFirst),
                                         static_cast<lxw_row_t>(std::max(print.repeatFirst, print.repeatLast))),
                   "repeated rows");
    if (!print.footer.isEmpty())
        ok = check(worksheet_set_footer(m_sheet, print.footer.toUtf8().constData()), "footer") && ok;
    return ok;
}

bool XlsxBook::selectSheet(int index)
{
    if (index < 0 || index >= m_sheets.size())
        return false;
    worksheet_activate(m_sheets.at(index));
    m_sheet = m_sheets.at(index);
    return true;
}

bool XlsxBook::saveAs(const QString& path, const std::atomic<bool>* cancel)
{
    if (!m_book || path.isEmpty()) {
        fail(path.isEmpty() ? QStringLiteral("no path") : QStringLiteral("the workbook is spent"),
             path.isEmpty() ? ReportFailure::tr("未选择保存路径。") : m_reason);
        discard();
        return false;
    }
    lxw_workbook* book = m_book;
    m_book = nullptr; // closing frees it, whatever the result
    m_sheet = nullptr;
    m_sheets.clear();
    m_formats.clear();
    errno = 0;
    const int closed = workbook_close(book);
    m_images.clear();
    if (!check(closed, "close")) {
        discard();
        return false;
    }
    if (cancel && cancel->load()) {
        fail(QStringLiteral("cancelled"), QString());
        discard();
        return false;
    }
    const QString part = path + QStringLiteral(".part");
    QFile::remove(part);
    // QFile::rename copies when the folders are on different file systems.
    QFile temp(m_temp);
    ReportFailure::clearSystemError();
    if (!temp.rename(part)) {
        const int system = ReportFailure::lastSystemError();
        fail(QStringLiteral("cannot write %1: %2").arg(part, temp.errorString()),
             ReportFailure::fromFile(temp, system));
        QFile::remove(part);
        discard();
        return false;
    }
    m_temp.clear();
    // Replaced in one step, on every platform as the restore replaces the
    // database (rename(2) refuses an existing target on Windows), so the old
    // report stays whole until the new one is complete.
    ReportFailure::clearSystemError();
    if (!Backup::replaceFile(part, path)) {
        const int system = ReportFailure::lastSystemError();
        fail(QStringLiteral("cannot replace %1").arg(path), ReportFailure::fromSystemError(system));
        QFile::remove(part);
        return false;
    }
    return true;
}
