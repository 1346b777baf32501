#pragma once

#include "ReportOptions.h"
#include "Records.h"
#include "ToolPage.h"

#include <QImage>
#include <QPointer>
#include <QVector>

#include <atomic>
#include <mutex>

class ChartView;
class QAction;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QProgressDialog;
class QPushButton;
class QThread;
class QToolButton;
class QTreeWidget;
class QTreeWidgetItem;
class QVBoxLayout;

// "验证报告": find stored projects, view one as a trend chart with tag lines,
// narrow its ranges, and write it as a workbook or a PDF on a report thread.
class VerificationReport : public ToolPage
{
    Q_OBJECT
public:
    explicit VerificationReport(QWidget* parent = nullptr);
    ~VerificationReport() override;

    void setContext(SystemContext* context) override;
    // False while a report is written: the window keeps the page.
    bool IsIdle() const override;

    ChartView* chart() const { return m_Chart; }
    Struct_ReportOptions& options() { return m_Options; }
    const Tool::Struct_Parameters& currentProject() const { return m_Project; }
    QList<bool> channelFlags() const { return m_ChannelFlags; }
    int rowCount() const { return m_Times.size(); }
    // The project list in display order.
    const QList<Tool::Struct_Parameters>& projects() const { return m_Projects; }
    QProgressDialog* progressDialog() const { return m_Progress; }

signals:
    void MessageBox_signals(bool ok);
    void Progress_signals(qint64 done, qint64 total);

public slots:
    void pt_Query_clicked();
    void pt_Range_clicked();
    void pt_DisplayRange_clicked();
    void pt_TaggingAdd_clicked();
    void pt_TaggingDelete_clicked();
    void pt_CalibrationReport_clicked();
    void onGrpMenuTriggered(QAction* action);
    void treeItemChanged(QTreeWidgetItem* item, int column);
    void treeDoubleChanged(QTreeWidgetItem* item, int column);
    void MessageBox_slots(bool ok);
    // The two context-menu actions, callable directly.
    void viewProject();
    void deleteProject();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private slots:
    void Progress_slots(qint64 done, qint64 total);

private:
    void buildUi();
    void query(const QString& text);
    QTreeWidgetItem* firstChosenProject() const;
    // Back to no project viewed: the report and tag buttons disabled.
    void clearView();

    SystemContext* m_Context = nullptr;
    QList<Tool::Struct_Parameters> m_Projects;
    Tool::Struct_Parameters m_Project;
    QList<bool> m_ChannelFlags;
    QVector<qint64> m_Times;
    QVector<QVector<double>> m_Columns;
    Struct_ReportOptions m_Options;
    QImage m_ChartImage;
    std::atomic<bool> m_Cancel{false};
    std::atomic<bool> m_FontMissing{false}; // the last PDF has Chinese text but no CJK font
    std::mutex m_FailureMutex;
    QString m_Failure; // why the last report failed, set by the report thread
    QPointer<QThread> m_Worker;
    bool m_Writing = false;

    ChartView* m_Chart = nullptr;
    QMenu* m_Menu = nullptr;
    QAction* m_ViewAction = nullptr;
    QAction* m_DeleteAction = nullptr;
    QProgressDialog* m_Progress = nullptr;

    QToolButton* toolButton_CalibrationReport = nullptr;
    QDateTimeEdit* dateTimeEdit_TimeTagging = nullptr;
    QLineEdit* lineEdit_TimeRemarks = nullptr;
    QPushButton* pushButton_TimeAdd = nullptr;
    QPushButton* pushButton_TimeDelete = nullptr;
    QLineEdit* lineEdit_Query = nullptr;
    QPushButton* pushButton_Query = nullptr;
    QTreeWidget* treeWidget_Device = nullptr;
    QPlainTextEdit* plainTextEdit_Data = nullptr;
    QDateTimeEdit* dateTimeEdit_DisplayRange1 = nullptr;
    QDateTimeEdit* dateTimeEdit_DisplayRange2 = nullptr;
    QPushButton* pushButton_DisplayRange = nullptr;
    QLineEdit* lineEdit_LeftRange1 = nullptr;
    QLineEdit* lineEdit_LeftRange2 = nullptr;
    QLabel* label_RightRange = nullptr;
    QLineEdit* lineEdit_RightRange1 = nullptr;
    QLabel* label_RightRange1 = nullptr;
    QLineEdit* lineEdit_RightRange2 = nullptr;
    QPushButton* pushButton_Range = nullptr;
    QVBoxLayout* verticalLayout_Chart = nullptr;
};
