#pragma once

#include "Certificate.h"
#include "CertificateFiles.h"

#include <QDialog>

#include <atomic>

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QThread;

// Issues a certificate for one device of a run: the customer, the conditions
// and the signatory are entered here, the rest comes from the run's history
// and the lab's records. The files are written on a worker with progress;
// the dialog stays until it has finished.
class CertificateDialog : public QDialog
{
    Q_OBJECT
public:
    CertificateDialog(const QString& startTime, int position, QWidget* parent = nullptr);
    ~CertificateDialog() override;

    // The content as it would be written now (the form's entries included).
    Certificate::Content content() const;
    bool isWriting() const { return m_Worker != nullptr; }
    bool hasRun() const { return m_HasRun; }

public slots:
    // Checks the form, asks for the path and starts the worker.
    void pt_Write_clicked();
    void reject() override;

private slots:
    void Progress_slots(int done, int total);
    void Finished_slots();

signals:
    void Progress_signals(int done, int total);

private:
    Certificate::Content m_Content;
    bool m_HasRun = false;
    QStringList m_Taken;
    QList<Certificate::Signatory> m_Signatories;
    QLineEdit* lineEdit_Number = nullptr;
    QLineEdit* lineEdit_Issued = nullptr;
    QLineEdit* lineEdit_Customer = nullptr;
    QLineEdit* lineEdit_CustomerAddress = nullptr;
    QLineEdit* lineEdit_Ambient = nullptr;
    QLineEdit* lineEdit_Humidity = nullptr;
    QComboBox* comboBox_Signatory = nullptr;
    QProgressBar* m_Progress = nullptr;
    QPushButton* pushButton_Write = nullptr;
    QPushButton* pushButton_Cancel = nullptr;

    QThread* m_Worker = nullptr;
    std::atomic<bool> m_Cancel{false};
    Certificate::Content m_Writing;
    QString m_Path;
    CertificateFiles::Result m_Result;
};
