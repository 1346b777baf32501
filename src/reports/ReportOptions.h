#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// What a report contains and where it goes. Owned by the report page, filled
// when a project is viewed, edited by the export dialog, read by the writers.
struct Struct_ReportOptions
{
    bool DataTable = true;
    bool LeftHorizontal = false;
    bool LeftVertical = false;
    bool RightHorizontal = false;
    bool RightVertical = false;
    QString ScanInterval;  // seconds, decimal text
    QString PrintInterval; // seconds, decimal text
    QString LeftUnit;
    QString RightUnit;
    int LeftCount = 0;
    int RightCount = 0;
    QString Format; // "PDF", "Excel" or "CSV"
    QString Path;
    QString SegmentCount = QStringLiteral("1");
    QDateTime Start;
    QDateTime End;
    QList<QDateTime> SegmentStart;
    QList<QDateTime> SegmentEnd;
    QStringList SegmentRemarks;

    // The five table flags in report order.
    QList<bool> tableFlags() const { return {DataTable, LeftHorizontal, LeftVertical, RightHorizontal, RightVertical}; }
};
