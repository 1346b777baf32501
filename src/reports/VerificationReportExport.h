#pragma once

#include "ReportOptions.h"

#include <QDialog>
#include <QList>

class QCheckBox;
class QComboBox;
class QDateTimeEdit;
class QLineEdit;
class QPushButton;

// "报表生成": which tables a report holds, its format (PDF, Excel, or CSV
// for the data table alone), up to six time
// segments with a remark each, the print interval and the file. Edits the
// report page's options record only when every check passes.
class VerificationReportExport : public QDialog
{
    Q_OBJECT
public:
    explicit VerificationReportExport(QWidget* parent = nullptr);

    void setData(Struct_ReportOptions* options);

    // The checks of OK on plain values; an empty text when they pass.
    struct Input
    {
        QString format, path, printInterval, scanInterval;
        QList<QDateTime> starts, ends;
        QStringList remarks;
        QDateTime rangeStart, rangeEnd;
    };
    static QString check(const Input& input);

public slots:
    void pt_OK_clicked();
    void pt_Route_clicked();
    void pt_Segment_clicked(int index);
    void dateTimeChanged1_clicked(QDateTime time);
    void dateTimeChanged2_clicked(QDateTime time);
    void dateTimeChanged3_clicked(QDateTime time);
    void dateTimeChanged4_clicked(QDateTime time);
    void dateTimeChanged5_clicked(QDateTime time);
    void dateTimeChanged6_clicked(QDateTime time);

private:
    void chain(int row, const QDateTime& time);
    void enableRows(int count);
    void formatChanged();

    Struct_ReportOptions* m_Options = nullptr;
    bool m_Filled = false;
    QList<bool> m_AnalysisEnabled; // the four analysis boxes as the project allows them

    QCheckBox* checkBox_Data = nullptr;
    QCheckBox* checkBox_Vertically1 = nullptr;
    QCheckBox* checkBox_Horizontally1 = nullptr;
    QCheckBox* checkBox_Vertically2 = nullptr;
    QCheckBox* checkBox_Horizontally2 = nullptr;
    QComboBox* comboBox_Format = nullptr;
    QComboBox* comboBox_Segment = nullptr;
    QLineEdit* lineEdit_Interval = nullptr;
    QList<QDateTimeEdit*> m_Starts;
    QList<QDateTimeEdit*> m_Ends;
    QList<QLineEdit*> m_Remarks;
    QLineEdit* lineEdit_Route = nullptr;
    QPushButton* pushButton_Route = nullptr;
    QPushButton* pushButton_OK = nullptr;
};
