#include "ReportJob.h"

#include "VerificationReportExcel.h"
#include "VerificationReportPDF.h"

#include <QtDebug>

bool ReportJob::run(const std::function<void(qint64, qint64)>& progress, const std::atomic<bool>* cancel,
                    bool* fontMissing) const
{
    if (fontMissing)
        *fontMissing = false;
    if (options.Format == QLatin1String("PDF")) {
        VerificationReportPDF writer(options.Path);
        writer.setProgress(progress);
        writer.setCancel(cancel);
        writer.setData(decimals, options.tableFlags(), project, times, columns, options.SegmentStart,
                       options.SegmentEnd, options.SegmentRemarks);
        const bool ok = writer.writeHome() && writer.writeTables() && writer.writeChart(chart);
        // finish always runs; the file is in place only when it succeeded.
        const bool written = writer.finish() && ok;
        if (fontMissing)
            *fontMissing = writer.missingFont();
        return written;
    }
    if (options.Format == QLatin1String("Excel")) {
        VerificationReportExcel writer;
        writer.setProgress(progress);
        writer.setCancel(cancel);
        writer.setData(decimals, options.tableFlags(), project, times, columns, options.SegmentStart,
                       options.SegmentEnd, options.SegmentRemarks);
        // Each step only after the one before succeeded.
        return writer.writeHome() && writer.writeChart(chart) && writer.writeTables() && writer.save(options.Path);
    }
    qWarning() << "no report writer for" << options.Format;
    return false;
}
