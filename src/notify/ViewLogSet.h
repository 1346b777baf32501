#pragma once

#include "Records.h"

#include <QDialog>
#include <QList>
#include <QString>
#include <QStringList>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QThread;
class QWaiting;
struct SystemContext;

// The notification settings: up to three addresses, the least interval
// between alarm mails and whether alarms are mailed at all, plus an
// immediate send of the rows the log page listed. The settings are saved to
// the store and the context when the dialog is destroyed.
class ViewLogSet : public QDialog
{
    Q_OBJECT
public:
    explicit ViewLogSet(QWidget* parent = nullptr);
    ~ViewLogSet() override;

    void setData(SystemContext* context, const QList<Tool::Struct_AuditLog>& rows);
    bool isSending() const { return m_worker != nullptr; }

    static bool validAddress(const QString& address);
    // One line per row: time;type;details
    static QString mailBody(const QList<Tool::Struct_AuditLog>& rows);

signals:
    void Send_signals(bool sent, int delivered, QString failure);

public slots:
    void pt_Send_clicked();
    void reject() override;

private slots:
    void Send_slots(bool sent, int delivered, QString failure);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void retranslateUi();
    // Shows the notice for the first invalid non-empty address; false then.
    bool checkAddresses();
    void save();

    SystemContext* m_context = nullptr;
    QList<Tool::Struct_AuditLog> m_rows;
    QList<QLineEdit*> m_emails;
    QThread* m_worker = nullptr;
    QWaiting* m_waiting = nullptr;
    bool m_sent = false;
    int m_delivered = 0; // messages the server took in the last test mail
    QString m_failure; // why the last test mail was not sent

    QLabel* label_Email1 = nullptr;
    QLabel* label_Email2 = nullptr;
    QLabel* label_Email3 = nullptr;
    QLineEdit* lineEdit_Email1 = nullptr;
    QLineEdit* lineEdit_Email2 = nullptr;
    QLineEdit* lineEdit_Email3 = nullptr;
    QLabel* label_Trigger = nullptr;
    QLineEdit* lineEdit_Trigger = nullptr;
    QLabel* label_Unit = nullptr;
    QCheckBox* checkBox_Trigger = nullptr;
    QPushButton* pushButton_Send = nullptr;
};
