#pragma once

#include "Records.h"

#include <QDialog>
#include <QStringList>

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class TransferTask;
struct SystemContext;

// Last step of the acquisition chain in import mode: one exported data file
// per device, read by the device's own reader, put on the project's time grid
// and stored as whole projects, or not at all.
class ParametersImport : public QDialog
{
    Q_OBJECT
public:
    explicit ParametersImport(QWidget* parent = nullptr);
    ~ParametersImport() override;

    void setContext(SystemContext* context);
    // Full path chosen for device slot 0..2 (what the choice buttons keep).
    void setFilePath(int slot, const QString& path);
    bool busy() const;

public slots:
    void pt_Set1_clicked();
    void pt_Set2_clicked();
    void pt_Set3_clicked();
    void pt_OK_clicked();
    void reject() override;

signals:
    // Emitted when an import ended, stored or not.
    void importFinished(bool stored);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void choose(int slot);
    void onProgress(int percent);
    void onFinished(const QString& failure);
    void setBusy(bool busy);

    SystemContext* m_context = nullptr;
    QStringList m_paths{QString(), QString(), QString()};
    QList<Tool::Struct_Parameters> m_projects;
    QString m_infoTitle;
    QString m_warningTitle;
    TransferTask* m_task = nullptr;

    QLineEdit* m_names[3] = {};
    QPushButton* m_choices[3] = {};
    QPushButton* pushButton_OK = nullptr;
    QProgressBar* m_progress = nullptr;
};
