#include "ReportJob.h"

#include "ReportCover.h"
#include "ReportCsv.h"
#include "ReportFailure.h"
#include "VerificationReportExcel.h"
#include "VerificationReportPDF.h"

#include <QtDebug>

bool ReportJob::run(const std::function<void(qint64, qint64)>& progress, const std::atomic<bool>* cancel,
                    bool* fontMissing, QString* failure) const
{
    if (fontMissing)
        *fontMissing = false;
    QString reason;
    const auto done = [&](bool ok) {
        if (failure)
            *failure = ok || (cancel && cancel->load()) ? QString() : reason;
        return ok;
    };
    reason = ReportFailure::checkTarget(options.Path);
    if (!reason.isEmpty())
        return done(false);
    ReportCover cover;
    cover.start = project.Start;
    cover.end = project.End;
    cover.scanInterval = options.ScanInterval;
    cover.printInterval = options.PrintInterval;
    if (options.Format == QLatin1String("PDF")) {
        VerificationReportPDF writer(options.Path);
        writer.setProgress(progress);
        writer.setCancel(cancel);
        writer.setData(decimals, options.tableFlags(), project, times, columns, options.SegmentStart,
                       options.SegmentEnd, options.SegmentRemarks);
        writer.setCover(cover);
        const bool ok = writer.writeHome() && writer.writeTables() && writer.writeChart(chart);
        // finish always runs; the file is in place only when it succeeded.
        const bool written = writer.finish() && ok;
        if (fontMissing)
            *fontMissing = writer.missingFont();
        reason = writer.failure();
        return done(written);
    }
    if (options.Format == QLatin1String("Excel")) {
        VerificationReportExcel writer;
        writer.setProgress(progress);
        writer.setCancel(cancel);
        writer.setData(decimals, options.tableFlags(), project, times, columns, options.SegmentStart,
                       options.SegmentEnd, options.SegmentRemarks);
        writer.setCover(cover);
        // Each step only after the one before succeeded.
        const bool ok =
            writer.writeHome() && writer.writeChart(chart) && writer.writeTables() && writer.save(options.Path);
        reason = writer.failure();
        return done(ok);
    }
    if (options.Format == QLatin1String("CSV")) {
        ReportCsv writer(options.Path);
        writer.setProgress(progress);
        writer.setCancel(cancel);
        writer.setData(decimals, project, times, columns, options.SegmentStart, options.SegmentEnd,
                       options.PrintInterval);
        const bool ok = writer.write();
        reason = writer.failure();
        return done(ok);
    }
    qWarning() << "no report writer for" << options.Format;
    return done(false);
}
