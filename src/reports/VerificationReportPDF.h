#pragma once

#include "ReportCover.h"
#include "ReportData.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QRawFont>
#include <QSet>

#include <atomic>
#include <functional>
#include <memory>

class QPdfWriter;

// Paints one acquisition project into a PDF: a first page with the project,
// its devices and the included tables, the selected tables page by page and a
// page with the trend chart. Every page has the same header and a footer with
// the page number and the exact page total.
//
// Runs on the report thread: touches no widget and no database. Pages are
// painted into path + ".part"; `finish` renames it onto the path only when
// every step succeeded, so a failed or cancelled report leaves no partial
// file and an existing file at the path stays as it was until then.
class VerificationReportPDF
{
    Q_DECLARE_TR_FUNCTIONS(VerificationReportPDF)
public:
    explicit VerificationReportPDF(const QString& path);
    ~VerificationReportPDF();
    VerificationReportPDF(const VerificationReportPDF&) = delete;
    VerificationReportPDF& operator=(const VerificationReportPDF&) = delete;

    // False when the file cannot be written: every step then returns false.
    bool isValid() const { return m_valid; }

    void setData(int decimals, const QList<bool>& tableFlags, const Tool::Struct_Parameters& project,
                 const QList<Tool::Struct_ParametersData>& rows, const QList<QDateTime>& segmentStart,
                 const QList<QDateTime>& segmentEnd, const QStringList& segmentRemarks);
    // The same from the report page's compact copies (ms since the epoch, one value column per channel).
    void setData(int decimals, const QList<bool>& tableFlags, const Tool::Struct_Parameters& project,
                 const QVector<qint64>& times, const QVector<QVector<double>>& columns,
                 const QList<QDateTime>& segmentStart, const QList<QDateTime>& segmentEnd,
                 const QStringList& segmentRemarks);
    void setData(ReportData data);

    // Called on the writing thread at most about 20 times a second and once
    // at the end, with pages begun and the page total.
    void setProgress(std::function<void(qint64 done, qint64 total)> progress);
    // When *cancel becomes true the current step stops soon and returns false.
    void setCancel(const std::atomic<bool>* cancel);

    // The acquisition's start, end and intervals for the cover; without it
    // the cover takes them from the project.
    void setCover(const ReportCover& cover);

    bool writeHome();
    bool writeTables();
    bool writeChart(const QImage& chart);
    bool writeChart(const QPixmap& chart);
    // Always last: ends the document. Returns true when the complete report
    // is now at the path (every step succeeded and nothing was cancelled).
    bool finish();

    int pageTotal() const { return m_pageTotal; }
    int pageNumber() const { return m_pageNumber; }
    QString temporaryPath() const { return m_file.fileName(); }

    // The family used for "宋体": itself when installed, otherwise a CJK
    // family found at run time; empty when none is installed (logged once).
    static QString fontFamily();
    // Test seam: `on` makes fontFamily() answer `family` (empty: no CJK font installed).
    static void overrideFontFamily(bool on, const QString& family = QString());
    // Chinese text was drawn while no CJK font is installed: it shows as boxes.
    bool missingFont() const { return m_missingGlyphs; }
    // Why the report could not be written, for the user; empty when nothing failed.
    QString failure() const { return m_failure; }

private:
    bool beginPage();
    void drawHeader();
    void drawFooter();
    int drawDevices();
    void drawAcquisition(int top);
    bool sectionPage(const QString& title, int segment);
    bool dataTable();
    bool horizontalTable(bool left);
    bool verticalTable(bool left);
    void dataHeader(int first, int count);
    void horizontalHeader(bool left);
    void verticalHeader(bool left, int y);
    void openingLine(int segment, int position);
    void closingLine(int segment, int position);
    bool cancelled();
    void reportProgress(bool force);
    // "MM-dd hh:mm:ss.zzz" of row r, and the row as the horizontal table reads it.
    QString timeText(int r);
    ReportRow record(int r);

    enum Face
    {
        Title,
        Header,
        Section,
        Table,
        Small, // two-line texts that fit no other way
        FaceCount
    };
    // Text in the face's font: left, centred or right in the rectangle,
    // vertically centred.
    void drawText(Face face, const QRectF& rect, Qt::Alignment align, const QString& text);
    // Table cell text, left-aligned a little inside the cell.
    void drawCell(const QRect& cell, const QString& text)
    {
        drawText(Table, cell.adjusted(CellInset, 0, 0, 0), Qt::AlignLeft, text);
    }
    // Column header text, fitted into its cell as drawFitted does.
    void drawHeaderCell(const QRect& cell, const QString& text, int level = 0);
    // Text within the cell (see the definition); `level` the least font reduction.
    void drawFitted(const QRect& cell, Qt::Alignment align, const QString& text, int level = 0);
    // 0 the table font fits, 1 the header font, 2 the small font, 3 two lines of it.
    int fitLevel(const QRect& cell, const QString& text);
    // The font reduction a row of cells (with their insets) shares: at most 2.
    int headerLevel(const QList<QRect>& cells, const QStringList& texts);
    qreal textWidth(Face face, const QString& text); // -1 when a character is not in the face
    // Text wrapped at word boundaries (and between CJK characters) within the rectangle, from its top.
    // Returns the bottom of the last line drawn.
    int drawWrapped(Face face, const QRect& rect, const QString& text);
    void flushText();
    void setPen(const QPen& pen);
    void fill(const QRect& rect); // grey-beige band
    void setUpFace(Face face, int pointSize);
    static constexpr int CellInset = 12;
    bool fixTextMapping(qint64 from);

    QString m_path;
    QFile m_file;
    std::unique_ptr<QPdfWriter> m_writer;
    QPainter m_painter;
    bool m_valid = false;
    bool m_failed = false; // a step failed or was cancelled: the file is not kept
    bool m_homeDone = false, m_tablesDone = false, m_chartDone = false;
    int m_width = 0, m_height = 0;
    int m_pageNumber = 0;
    int m_pageTotal = 0;
    QImage m_logo;
    QString m_printTime;
    ReportData m_data; // compact: rows are made as they are drawn
    ScanTimeText m_timeText;
    ReportCover m_cover;
    bool m_hasCover = false;
    QString m_failure;

    QColor m_band{205, 205, 193};
    QColor m_rule{144, 166, 188};

    // Text is drawn as glyph runs of the face's own character map, cached per
    // character: shaping every short number again is most of the cost of a
    // long report, and shaped runs may use glyphs that the PDF's text map
    // cannot name (text that does not copy out).
    struct Glyph
    {
        quint32 index = 0; // 0: not in the face, drawn by the painter with a fallback font
        qreal advance = 0;
    };
    struct TextFace
    {
        QFont font;
        QRawFont raw;
        qreal ascent = 0, height = 0;
        QHash<ushort, Glyph> glyphs;
    };
    TextFace m_faces[FaceCount];
    QSet<ushort> m_drawn; // every character drawn, for the text map fix
    bool m_fastText = true;
    bool m_noCjkFont = false;     // fontFamily() found none
    bool m_missingGlyphs = false; // and text that needs one was drawn
    // Text waiting to be drawn: one line (face and baseline) as one glyph run.
    QVector<quint32> m_runIndexes;
    QVector<QPointF> m_runPositions;
    Face m_runFace = Table;
    qreal m_runBaseline = 0;

    std::function<void(qint64, qint64)> m_progress;
    const std::atomic<bool>* m_cancel = nullptr;
    QElapsedTimer m_progressClock;
};
