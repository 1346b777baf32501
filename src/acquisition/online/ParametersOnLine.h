#pragma once

#include <QDialog>
#include <QList>

class OnlineSession;
class QCloseEvent;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QWaiting;
struct SystemContext;

// The online acquisition dialog: per-project result and statistics tabs, the
// status line and the one command button over an OnlineSession.
class ParametersOnLine : public QDialog
{
    Q_OBJECT
public:
    explicit ParametersOnLine(QWidget* parent = nullptr);
    // Waits for the session's workers, updates the projects' end times and
    // closes the devices (see OnlineSession).
    ~ParametersOnLine() override;

    // Starts everything: tabs, drivers, the device set-up.
    void setContext(SystemContext* context);

    OnlineSession* session() const { return m_Session; }
    QString statusText() const;
    QString commandText() const;

public slots:
    void pt_OK_clicked();
    // Esc and the window's close button obey the same rule.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void SetDialog_slots(bool ok);
    void MessageBox_slots(QString title, QString text);
    void DataHandle_slots(QDateTime time, QList<QList<double>> values);
    void Command_slots(int command);

private:
    bool mayClose();
    // 0 save, 1 do not save, -1 cancelled.
    int askSave();

    SystemContext* m_Context = nullptr;
    OnlineSession* m_Session = nullptr;
    QTabWidget* tabWidget = nullptr;
    QLabel* label_Information = nullptr;
    QLineEdit* lineEdit_Information = nullptr;
    QPushButton* pushButton_OK = nullptr;
    QWaiting* m_Waiting = nullptr;

    struct ProjectTabs;
    QList<ProjectTabs*> m_Tabs;
};
