#pragma once

#include <QCoreApplication>
#include <QString>

class QFileDevice;

// Why a report could not be written, in words for the user: the page shows
// the fixed first line and one of these on the next. Reasons come from the
// system's error number (captured right after the failing call), a file's
// error, or libxlsxwriter's error code.
class ReportFailure
{
    Q_DECLARE_TR_FUNCTIONS(ReportFailure)
public:
    // Before a call whose failure is to be explained: no error left over.
    static void clearSystemError();
    // The current errno (or the last Windows error), taken at once.
    static int lastSystemError();
    static QString fromSystemError(int error);
    // A QFile's failure: its system error when there is one, else its text.
    static QString fromFile(const QFileDevice& file, int systemError);
    // A libxlsxwriter error code; `systemError` is errno right after it.
    static QString fromLibrary(int code, int systemError);

    // Checked before any row is written, so that a week's report does not
    // fail only at its end: the folder exists and a file can be created
    // beside the target, and an existing target may be replaced. Empty when fine.
    static QString checkTarget(const QString& path);
};
