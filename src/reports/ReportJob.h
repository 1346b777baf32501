#pragma once

#include "ReportOptions.h"
#include "Records.h"

#include <QImage>
#include <QVector>

#include <atomic>
#include <functional>

// One report as the report thread writes it: the prepared copies, the
// options, the chart picture; runs the writer of the chosen format through
// its steps in order. Touches no widget and no database.
struct ReportJob
{
    Tool::Struct_Parameters project;      // only the kept channels; ScanInterval = print interval
    QVector<qint64> times;                // thinned rows
    QVector<QVector<double>> columns;     // one per kept channel
    Struct_ReportOptions options;
    QImage chart;
    int decimals = 2;

    // Result of the last step that ran; false on failure or cancel. No file
    // is left at the path unless it succeeded.
    // `fontMissing` (when given) tells whether a PDF was written with Chinese
    // text but no CJK font to draw it (it shows as boxes).
    // `failure` (when given) gets why it failed, for the user; empty after
    // a cancel. The target is checked before any row is written.
    bool run(const std::function<void(qint64 done, qint64 total)>& progress, const std::atomic<bool>* cancel,
             bool* fontMissing = nullptr, QString* failure = nullptr) const;
};
