#pragma once

#include <QDateTime>

#include "ToolPage.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// System settings page: automatic backup, manual backup and restore,
// language and display accuracy.
class SystemSet : public ToolPage
{
    Q_OBJECT
public:
    explicit SystemSet(QWidget* parent = nullptr);

    void setContext(SystemContext* context) override;
    void retranslateUi() override;

    // Where the live database lives; tests point it elsewhere.
    static QString databasePath();

signals:
    void SQListOpen_signals();
    void SQListClose_signals();
    void Language_signals(QString language);

public slots:
    void pt_AutoBackup_clicked();
    void pt_Select1_clicked();
    void pt_Backups_clicked();
    void pt_Recovery_clicked();
    void pt_Set_clicked();

private:
    // The backup and restore of the lab's server (pg_dump, pg_restore).
    void backupServer(const QString& dir, const QDateTime& now);
    void restoreServer();

    SystemContext* m_context = nullptr;
    QString m_infoTitle;
    QString m_warningTitle;

    QGroupBox* m_backups = nullptr;
    QCheckBox* m_autoBackup = nullptr;
    QLabel* m_cycleLabel = nullptr;
    QLineEdit* m_cycle = nullptr;
    QLabel* m_cycleUnit = nullptr;
    QLabel* m_pathLabel = nullptr;
    QLineEdit* m_path = nullptr;
    QPushButton* m_select = nullptr;
    QPushButton* m_backup = nullptr;
    QPushButton* m_recovery = nullptr;
    QGroupBox* m_system = nullptr;
    QLabel* m_languageLabel = nullptr;
    QComboBox* m_language = nullptr;
    QLabel* m_accuracyLabel = nullptr;
    QComboBox* m_accuracy = nullptr;
    QPushButton* m_set = nullptr;
};
