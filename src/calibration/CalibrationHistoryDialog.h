#pragma once

#include "CalibrationStore.h"

#include <QDialog>

#include <functional>

class QComboBox;
class QTableWidget;
class QPushButton;
namespace QtCharts {
class QChartView;
}

// A channel's calibration history: every coefficient set a save wrote, with
// its largest residual and the error the channel had before (as found), a
// small chart of one coefficient or of the as-found error over time, and the
// restoring of an earlier set.
class CalibrationHistoryDialog : public QDialog
{
    Q_OBJECT
public:
    explicit CalibrationHistoryDialog(QWidget* parent = nullptr);
    // Shows the history of this channel when it has one.
    void selectChannel(const QString& config, const QString& channelNumber);

    QList<Tool::Struct_CalibrationHistory> entries() const { return m_Entries; }
    // Points of the chart: (ms since the epoch, value).
    QList<QPointF> chartPoints() const;
    // Who sends restored configurations to the loggers; unset, the user is
    // told to do it from the device page.
    void setSender(std::function<void(const QStringList& configs)> sender) { m_Sender = std::move(sender); }
    // Whether entry i's set is the one the configuration holds now.
    bool inForce(int i) const;

public slots:
    void Channel_Changed(int index);
    void Quantity_Changed(int index);
    // Restores the set of the selected row, after a question.
    void pt_Restore_clicked();
    // Restores every channel's set of the selected row's save at once.
    void pt_RestoreRun_clicked();
    // A certificate for the device of the selected row's run.
    void pt_Certificate_clicked();

private:
    void fillChart();
    void restore(const QList<Tool::Struct_CalibrationHistory>& sets, const QString& what);

    std::function<void(const QStringList&)> m_Sender;
    // The configuration of the channel shown, as read when it was shown.
    Tool::Struct_ChannelConfig m_Shown;
    QList<QPair<QString, QString>> m_Channels;
    QList<Tool::Struct_CalibrationHistory> m_Entries;
    QComboBox* comboBox_Channel = nullptr;
    QComboBox* comboBox_Quantity = nullptr;
    QTableWidget* tableWidget_History = nullptr;
    QtCharts::QChartView* m_Chart = nullptr;
    QPushButton* pushButton_Restore = nullptr;
    QPushButton* pushButton_RestoreRun = nullptr;
    QPushButton* pushButton_Certificate = nullptr;
};
