#pragma once

#include "Records.h"
#include "ToolPage.h"

#include <QList>
#include <QString>

class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The warning-log page: lists the alarm and communication-fault entries
// between two times and of one type, newest on top, and deletes, exports or
// mails what it lists. The main window's notification buttons call
// deleteLog(), exportLog() and setLog().
class ViewLog : public ToolPage
{
    Q_OBJECT
public:
    explicit ViewLog(QWidget* parent = nullptr);

    void setContext(SystemContext* context) override;
    void retranslateUi() override;

    // toolButton_DeleteLog: deletes every listed entry after a confirmation.
    void deleteLog();
    // toolButton_DownloadLog: writes the listed entries to a PDF file.
    void exportLog();
    // toolButton_SetLog: runs the notification settings dialog.
    void setLog();

    // The listed entries in table order (top first).
    QList<Tool::Struct_AuditLog> listedRows() const;

    static QString initialStart() { return QStringLiteral("2020-01-01 01:01:00"); }
    static QString initialEnd() { return QStringLiteral("2040-01-01 01:01:59"); }

public slots:
    void pt_Search_clicked();

private:
    void refresh(const QString& start, const QString& end, const QString& type);

    SystemContext* m_context = nullptr;
    QString m_start;
    QString m_end;
    QString m_type;

    QLabel* label_Start = nullptr;
    QLabel* label_End = nullptr;
    QLabel* label_Type = nullptr;
    QDateTimeEdit* dateTimeEdit_Start = nullptr;
    QDateTimeEdit* dateTimeEdit_End = nullptr;
    QLineEdit* lineEdit_Type = nullptr;
    QPushButton* pushButton_Search = nullptr;
    QTableWidget* tableWidget_List = nullptr;
};
