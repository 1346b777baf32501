#pragma once

#include "Records.h"

#include <QStringList>

// What the cover of a report says about the acquisition beside the project:
// its start and end, the scan and print intervals. Segments and channels come
// with the report's data.
struct ReportCover
{
    QString start, end;                  // "yyyy-MM-dd hh:mm:ss", as stored with the project
    QString scanInterval, printInterval; // seconds, decimal text

    // From a prepared project alone (its ScanInterval is the print
    // interval): what a writer shows when it was given no cover.
    static ReportCover fromProject(const Tool::Struct_Parameters& project);
    // An interval for the cover: "1s", "0.5s"; empty stays empty.
    static QString seconds(const QString& interval);
    // The kept channels as the data table heads them: "label(unit)".
    static QStringList channels(const Tool::Struct_Parameters& project);
};
