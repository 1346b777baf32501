#pragma once

#include "CalibrationSave.h"

#include <QDialog>

class QTableWidget;

// Shows how the new coefficients fit the run's points before anything is
// written: one row per channel and point with the reference, the reading,
// the temperature the new coefficients give, the residual and, where the
// channel had coefficients, the error they had (as found). The largest
// residual of each channel is marked, in red beyond the limit.
class CalibrationResultDialog : public QDialog
{
    Q_OBJECT
public:
    CalibrationResultDialog(const CalibrationSave::Report& report, const QString& mode, double limitMk,
                            QWidget* parent = nullptr);

    // True when the user chose "写入". Under the message-box seam's test
    // mode the table goes to the seam as text and the queued choice answers.
    static bool ask(QWidget* parent, const CalibrationSave::Report& report, const QString& mode, double limitMk);
    // The note above the table and the table as text lines.
    static QString note(const CalibrationSave::Report& report, double limitMk);
    static QString tableText(const CalibrationSave::Report& report, const QString& mode, double limitMk);
    // Per channel: its zero-point resistance, the fit's standard error and range of validity.
    static QString summaries(const CalibrationSave::Report& report, const QString& mode);

    QTableWidget* table() const { return m_Table; }

private:
    QTableWidget* m_Table = nullptr;
};
