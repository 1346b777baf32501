#pragma once

#include "ReportCover.h"
#include "ReportData.h"
#include "XlsxBook.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QImage>

#include <atomic>
#include <functional>
#include <limits>
#include <memory>

// Writes one acquisition project as a workbook: the cover sheet ("首页") with
// the project, its devices, the list of tables and the trend chart, then one
// sheet per selected table. Runs on the report thread; touches neither
// widgets nor the database. Steps in this order, each only after the
// previous one returned true: setData, writeHome, writeChart, writeTables,
// save. Sheets are streamed row by row, so memory does not grow with the
// number of rows written.
class VerificationReportExcel
{
    Q_DECLARE_TR_FUNCTIONS(VerificationReportExcel)
public:
    VerificationReportExcel();
    ~VerificationReportExcel();

    void setData(int decimals, const QList<bool>& tableFlags, const Tool::Struct_Parameters& project,
                 const QList<Tool::Struct_ParametersData>& rows, const QList<QDateTime>& segmentStart,
                 const QList<QDateTime>& segmentEnd, const QStringList& segmentRemarks);
    // The same from the compact form (times in ms since the epoch, one value
    // column per kept channel).
    void setData(int decimals, const QList<bool>& tableFlags, const Tool::Struct_Parameters& project,
                 const QVector<qint64>& times, const QVector<QVector<double>>& columns,
                 const QList<QDateTime>& segmentStart, const QList<QDateTime>& segmentEnd,
                 const QStringList& segmentRemarks);

    // The acquisition's start, end and intervals for the cover; without it
    // the cover takes them from the project.
    void setCover(const ReportCover& cover);

    bool writeHome();
    // The trend chart, grabbed on the GUI thread and handed over as an image.
    bool writeChart(const QImage& picture);
    bool writeTables();
    bool save(const QString& path);

    // Called from the writing thread, at most about 20 times a second, with
    // the table rows written so far and in all.
    void setProgress(std::function<void(qint64 done, qint64 total)> progress);
    // When the flag becomes true the current step stops soon and returns
    // false; no file is left at the path.
    void setCancel(const std::atomic<bool>* cancel);

    const ReportData& data() const { return m_data; }
    // Why the last step failed, for the user; empty after a cancel or when
    // nothing failed.
    QString failure() const;

private:
    bool cancelled() const { return m_cancel && m_cancel->load(std::memory_order_relaxed); }
    bool cell(int column, const QString& text, int format);
    bool span(int first, int last, const QString& text, int format);
    bool section(const QString& title);
    bool sheetTitle(const QString& title, int columns);
    bool header(const QStringList& texts);
    bool segmentOpening(int s);
    bool segmentClosing(int s);
    // Columns whose bit is set in `numbers` hold a number text and are
    // written as number cells.
    bool dataRow(const QStringList& texts, quint32 numbers = 0);
    bool numberSpan(int first, int last, const QString& text, int format);
    double shown(double v); // v as its text with the report's decimals shows it
    bool valueRow(int r);
    ReportRow record(int r);
    void rowDone();

    bool addSheet(const QString& title);
    bool printSetup(int pagesTall, int repeatLast);
    bool writeAcquisition();
    bool writeDataSheet();
    bool writeHorizontalSheet(bool left);
    bool writeVerticalSheet(bool left);
    qint64 tableRows() const;

    std::unique_ptr<XlsxBook> m_book;
    int m_row = 1; // next sheet row, 1-based
    QString m_printTime;
    QImage m_logo;
    ReportData m_data;

    ReportCover m_cover;
    bool m_hasCover = false;
    QString m_failure;
    int m_baseNumber = -1, m_shadedNumber = -1, m_headNumber = -1;
    int m_base = -1, m_shaded = -1, m_reportTitle = -1, m_plain = -1, m_plainCentred = -1, m_section = -1,
        m_title = -1, m_head = -1;

    std::function<void(qint64, qint64)> m_progress;
    const std::atomic<bool>* m_cancel = nullptr;
    QElapsedTimer m_progressClock;
    qint64 m_done = 0, m_total = 0;
    // Local time of the data rows: the offset from UTC is looked up once per
    // quarter hour (zone changes fall on quarter hours), not once per row.
    ScanTimeText m_timeText; // row times without a zone lookup per row
};
