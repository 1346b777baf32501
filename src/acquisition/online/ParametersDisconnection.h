#pragma once

#include "Device.h"
#include "Records.h"
#include "SystemContext.h"
#include "TransferRules.h"

#include <QDateTime>
#include <QDialog>
#include <QStringList>

#include <atomic>

class Collection;
class QLabel;
class QProgressBar;
class QPushButton;
class QTableWidget;
class QWaiting;
class TransferTask;

// Offline acquisition: the instruments log into their own memory; this dialog
// programs the logging run, lists and downloads the log files into working
// files, and saves them as projects on the planned grid (all or nothing).
class ParametersDisconnection : public QDialog
{
    Q_OBJECT
public:
    explicit ParametersDisconnection(QWidget* parent = nullptr);
    // Waits for a running worker; removes the working files.
    ~ParametersDisconnection() override;

    void setContext(SystemContext* context);
    bool busy() const;
    QTableWidget* table(int index) const;
    // Working file of device position index (0-based), relative to the working directory.
    static QString workingFileName(int index);

public slots:
    void pt_Set_clicked();
    void pt_Query_clicked();
    void pt_Download_clicked();
    void pt_OK_clicked();
    // 取消: the running query, parameter setting or download stops at its
    // next exchange.
    void pt_Cancel_clicked();
    void reject() override;

    void SetDialog_slots();
    void MessageBox_slots(QString title, QString text);
    void TableWidgetRefresh_slots(int index, QStringList names);

signals:
    void SetDialog_signals();
    void MessageBox_signals(QString title, QString text);
    void TableWidgetRefresh_signals(int index, QStringList names);
    // A worker or a save ended (tests wait for it).
    void workFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void startWorker(void (ParametersDisconnection::*work)());
    void showBusy(const QString& text);
    void setButtonsEnabled(bool enabled);
    static void removeWorkingFiles();
    void setWorker();
    void queryWorker();
    void downloadWorker();
    void closeDevices();
    void onSaveFinished(const QString& failure);
    TransferRules::WorkingFilesJob workingFilesJob() const;
    // The download's closing message: records per device, the span a save
    // would store, and whether it ends before the planned last scan.
    QString downloadReport(const QList<bool>& dropped);

    SystemContext* m_context = nullptr;
    QList<Tool::Struct_AcquisitionDevice> m_devices;
    QList<Tool::Struct_ChannelConfig> m_configs;
    QList<ChosenChannel> m_chosen;
    QStringList m_projectNames;
    QList<Tool::Struct_Parameters> m_projects;
    QList<Collection*> m_drivers;
    QList<QList<Device::Channel>> m_channelSets;
    QStringList m_selected; // per device, the file chosen when the download started
    double m_interval = 0;
    QDateTime m_start, m_end;
    QString m_infoTitle;
    QString m_warningTitle;
    std::atomic<int> m_workers{0};
    std::atomic<bool> m_cancel{false};
    // Of the last download, written by its worker before it reports.
    TransferRules::DownloadSummary m_summary;
    bool m_haveSummary = false;
    TransferTask* m_task = nullptr;
    QWaiting* m_waiting = nullptr;

    QTableWidget* m_tables[3] = {};
    QPushButton* pushButton_Query = nullptr;
    QPushButton* pushButton_Download = nullptr;
    QPushButton* pushButton_Set = nullptr;
    QPushButton* pushButton_OK = nullptr;
    QPushButton* pushButton_Cancel = nullptr;
    QLabel* label_Hint = nullptr;
    QProgressBar* m_progress = nullptr;
};
