#pragma once

#include "ToolPage.h"

#include <QMainWindow>
#include <QPointer>
#include <QSqlDatabase>
#include <QStringList>
#include <QTranslator>

#include <functional>

class QLabel;
class QSpacerItem;
class QTabWidget;
class QTimer;
class QToolButton;
class QVBoxLayout;
struct SystemContext;

// The main window: tool bar in tabs, one page area, status bar with clock.
class Tervan : public QMainWindow
{
    Q_OBJECT
public:
    explicit Tervan(QWidget* parent = nullptr);
    ~Tervan() override;

    void showPage(int index);
    int currentPageIndex() const { return m_pageIndex; }
    ToolPage* currentPage() const { return m_page; }
    SystemContext* context() const { return m_context; }
    // A translation or help file: the working directory's, else the installed one.
    static QString dataFile(const QString& name);
    bool databaseOpen() const;
    QLabel* pageTitleLabel() const { return m_pageTitle; }
    QLabel* clockLabel() const { return m_clock; }
    QLabel* storeStateLabel() const { return m_storeState; }
    QTimer* backupTimer() const { return m_backupTimer; }

    // How long the splash screen stays up at start-up (tests set 0).
    static void setSplashDuration(int ms);
    // Where help is opened: the opener gets the file and calls `done` with
    // whether it could be shown. Tests replace it; null restores the real one.
    static void setHelpOpener(std::function<void(const QString& path, std::function<void(bool opened)> done)> opener);
    // The default of a new database's "DataAccuracy" (decimals shown).
    static constexpr int DefaultDataAccuracy = 2;
    // Replaces page creation (tests stand in pages of their own); null restores it.
    static void setPageFactory(std::function<ToolPage*(int index, QWidget* parent)> factory);

public slots:
    void pt_SystemSet_clicked();
    void pt_ChannelConfig_clicked();
    void pt_AcquisitionDevice_clicked();
    void pt_ViewLog_clicked();
    void pt_VerificationReport_clicked();
    void pt_ChannelCalibration_clicked();
    // The lab's standards and records, and the calibration history with its certificates.
    void pt_LabRecords_clicked();
    void pt_Certificates_clicked();
    void pt_Parameters_clicked();
    void pt_DownloadLog_clicked();
    void pt_DeleteLog_clicked();
    void pt_SetLog_clicked();
    void pt_Help_clicked();
    void pt_Message_clicked();
    void pt_AboutUs_clicked();
    void TimeUpdate_slots();
    void BackupTimer_slots();
    void SQListClose_slots();
    void SQListOpen_slots();
    void Language_slots(QString language);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildUi();
    void buildStatusBar();
    void updateStoreState();
    void retranslateUi();
    QToolButton* addToolButton(QWidget* tab, const QString& objectName, const QString& icon,
                               void (Tervan::*slot)());
    bool openDatabase();
    // Set when the lab's server could not be reached at start-up and the
    // user chose to work on the local file instead.
    bool m_localOnly = false;
    void loadSettings();
    void loadTranslation(const QString& language);
    void loadQtTranslation(bool chinese);
    ToolPage* createPage(int index);
    bool pageIsBusy() const;
    QString busyMessage() const;
    void notificationAction(int which);
    // Stores the scans an earlier run left in side files and says so.
    void recoverHeldScans();

    QStringList m_pageTitles;
    QString m_infoTitle;
    QString m_warningTitle;
    QTranslator m_translator;
    QTranslator m_qtTranslator; // Qt's own texts
    int m_pageIndex = 100;
    SystemContext* m_context = nullptr;
    QTimer* m_clockTimer = nullptr;
    QTimer* m_backupTimer = nullptr;
    QLabel* m_clock = nullptr;
    QLabel* m_storeState = nullptr; // the lab server's writer during an outage
    QLabel* m_pageTitle = nullptr;
    QLabel* m_version = nullptr;
    QPointer<ToolPage> m_page;

    QTabWidget* m_tabs = nullptr;
    QVBoxLayout* m_pageArea = nullptr;
    QSpacerItem* m_spacer = nullptr;
    QList<QToolButton*> m_buttons;
};
