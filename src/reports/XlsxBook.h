#pragma once

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QVector>

#include <atomic>

class QImage;
struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// A write-only Office Open XML workbook, the one place that talks to
// libxlsxwriter. Sheets are streamed (constant-memory mode): rows of a sheet
// must be written in increasing order and a row is final once a later row is
// touched, so a caller sets a row's height before its cells and never comes
// back. Column widths and images may be set at any time. Merges span one row.
//
// All positions are 0-based. The workbook is built in a temporary file and
// only `saveAs` puts a complete file at the path (path + ".part", renamed).
class XlsxBook
{
public:
    enum Align { Left, Center };
    struct Style
    {
        QString font;
        double size = 11;
        Align align = Left;
        bool border = false;
        quint32 fill = 0; // RGB; 0 = no fill
        int decimals = -1; // a number format of this many places; -1 = none
    };

    XlsxBook();
    ~XlsxBook();
    XlsxBook(const XlsxBook&) = delete;
    XlsxBook& operator=(const XlsxBook&) = delete;

    bool isValid() const { return m_book != nullptr; }

    // A format handle for `style` (vertical alignment is always centred).
    int addFormat(const Style& style);
    // The style of `format` with the number format of `decimals` places
    // ("0", "0.00", …); made once per pair, so any number of cells share it.
    int numberFormat(int format, int decimals);

    // A new sheet that becomes the current one; false when the name is
    // taken or not allowed (the current sheet then stays what it was).
    bool addSheet(const QString& name);
    QStringList sheetNames() const { return m_names; }
    int sheetCount() const { return m_names.size(); }

    // On the current sheet. Each returns false on a library error, including
    // an attempt to go back to a row already left.
    bool write(int row, int column, const QString& text, int format);
    bool write(int row, int column, const char* utf8, int format); // hot path, no conversion
    // A number cell; a value that is no finite number is an empty cell with the format.
    bool write(int row, int column, double value, int format);
    // A merge holding a number in its first cell.
    bool merge(int row, int firstColumn, int lastColumn, double value, int format);
    bool merge(int row, int firstColumn, int lastColumn, const QString& text, int format);
    bool setColumnWidth(int firstColumn, int lastColumn, double width);
    bool setRowHeight(int row, double height);
    // `scale` sets the displayed size; the picture keeps all its pixels.
    bool insertImage(int row, int column, const QImage& image, double scale = 1.0);

    // How the current sheet prints: A4, centred across the page, fitted to
    // `pagesWide` × `pagesTall` pages (0 = as many as needed), rows
    // first … last (0-based; -1 = none) repeated on every page, a footer in
    // the reader's header/footer codes (&P page, &N pages).
    struct Print
    {
        bool landscape = true;
        int pagesWide = 1, pagesTall = 0;
        int repeatFirst = -1, repeatLast = -1;
        QString footer;
    };
    bool setPrint(const Print& print);

    // The sheet the workbook opens at.
    bool selectSheet(int index);

    // Finishes the workbook and puts it at `path`: written beside it as
    // path + ".part" and renamed into place, so a failure leaves neither a
    // partial file nor a damaged old one. A `cancel` flag set while the
    // library writes makes it false too. The book is spent afterwards.
    bool saveAs(const QString& path, const std::atomic<bool>* cancel = nullptr);

    QString errorString() const { return m_error; }
    // Why the last failure happened, for the user (translated; empty when
    // nothing failed).
    QString reason() const { return m_reason; }

private:
    bool check(int error, const char* what);
    void fail(const QString& error, const QString& reason);
    void discard();

    lxw_workbook* m_book = nullptr;
    lxw_worksheet* m_sheet = nullptr;
    QVector<lxw_worksheet*> m_sheets;
    QVector<lxw_format*> m_formats;
    QVector<Style> m_styles;            // the style of each format
    QHash<quint64, int> m_numberFormats; // (format, decimals) → format
    QStringList m_names;
    QList<QByteArray> m_images; // kept until the book is written
    QString m_temp;             // where the library writes the workbook
    QString m_error;
    QString m_reason;
};
