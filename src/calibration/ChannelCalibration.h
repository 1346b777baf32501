#pragma once

#include "CalibrationSession.h"
#include "SourceLinks.h"
#include "ToolPage.h"

#include <QList>
#include <QMap>
#include <QStringList>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>

class Collection;
class Criteria;
class Field;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

// The calibration page: up to three acquisition devices, a temperature
// source and a reference, up to nine temperature points. Automatic mode
// drives the source through the points on a worker; manual mode measures a
// point each time the operator presses its button. The run and its settings
// survive a restart in table ChannelCalibration.
class ChannelCalibration : public ToolPage
{
    Q_OBJECT
public:
    explicit ChannelCalibration(QWidget* parent = nullptr);
    ~ChannelCalibration() override;

    void setContext(SystemContext* context) override;
    // False while a run is active or a worker of the page still runs.
    bool IsIdle() const override;

    CalibrationSession& session() { return m_Session; }
    int activeWorkers() const { return m_Workers.load(); }
    QStringList channelLabels() const { return m_Labels; }
    // The measurement settings as stored (keys of CalibrationOptionsDialog).
    QMap<QString, QString> options() const { return m_Options; }
    // The standby set-point used when its field is empty (℃).
    double standbyDefault() const;

signals:
    void Save_signals();
    void WriteConfig_signals();
    void PlainTextEdit_signals(QString text);
    void MessageBox_signals(QString title, QString text);

public slots:
    void Open_Clicked();
    void Close_Clicked();
    void Temp1_Clicked();
    void Temp2_Clicked();
    void Temp3_Clicked();
    void Temp4_Clicked();
    void Temp5_Clicked();
    void Temp6_Clicked();
    void Temp7_Clicked();
    void Temp8_Clicked();
    void Temp9_Clicked();
    void FieldScan_Clicked();
    void CriteriaScan_Clicked();
    void Collection2_Changed(int state);
    void Collection3_Changed(int state);
    void Field_Changed(QString text);
    void Criteria_Changed(QString text);
    void Save_slots();
    void WriteConfig_slots();
    void PlainTextEdit_slots(QString text);
    void MessageBox_slots(QString title, QString text);

    // The measurement settings dialog and the channels' calibration history.
    void Options_Clicked();
    void History_Clicked();
    void Records_Clicked();

private slots:
    // Runs the oldest piece of work handed over by onGui().
    void runGuiWork();

private:
    enum class RunState { Start, Pause, Continue };

    void buildUi();
    void readSettings();
    void readOptions();
    // The session's reading options from the stored texts.
    void applyOptions();
    // Nothing that changes or deletes a driver runs while a worker lives.
    bool driversInUse();
    // Sends each of `devices` (by position; an entry without configuration is
    // skipped) its channel configuration as now stored.
    void reprogramLoggers(const QList<Tool::Struct_AcquisitionDevice>& devices);
    void setRunState(RunState state);
    void setBusy(bool running);
    // Enables or disables what may not change while the drivers are in use.
    void lockControls(bool running);
    void deleteDrivers();
    void rebuildLabels();
    void replayLog();
    void tempClicked(int point);
    // Runs `body` on a counted worker thread.
    void startWorker(std::function<void()> body);
    // Runs `f` on the GUI thread, after what is queued already. The work goes
    // through a std::mutex-guarded queue and a parameterless queued call, so
    // ThreadSanitizer sees the hand-off (Qt's event queue is not instrumented).
    void onGui(std::function<void()> f);
    void waitForWorkers();

    void therad_Calibration();
    void therad_Collection(int point);
    void manualStart();
    void manualStop();
    CalibrationRun runData() const;

    SystemContext* m_Context = nullptr;
    QList<Tool::Struct_AcquisitionDevice> m_Registered;
    QStringList m_CollectionName{QString(), QString(), QString()};
    SourceLinks::Record m_Field;
    SourceLinks::Record m_Criteria;
    QList<QStringList> m_SelectedNumbers{{}, {}, {}};
    QStringList m_Labels;
    QString m_StartTime;
    QString m_ChannelName;
    QString m_ChannelMode;
    bool m_Automatic = false;
    RunState m_State = RunState::Start;

    QList<Collection*> m_Devices{nullptr, nullptr, nullptr};
    Field* m_Source = nullptr;
    Criteria* m_Reference = nullptr;
    CalibrationSession m_Session;
    // The configurations as this run read them; the save refuses changed ones.
    QList<Tool::Struct_ChannelConfig> m_ConfigsAsRead;
    std::atomic<int> m_Workers{0};
    std::mutex m_GuiMutex;
    std::deque<std::function<void()>> m_GuiWork;

    QList<QLineEdit*> m_TempEdits;
    QList<QCheckBox*> m_TempBoxes;
    QList<QCheckBox*> m_CheckBoxes; // "核查点": measured, not fitted
    QList<QPushButton*> m_TempButtons;
    QLineEdit* lineEdit_Delay = nullptr;
    QLineEdit* lineEdit_Max = nullptr;
    QComboBox* comboBox_Criteria = nullptr;
    QPushButton* pushButton_Criteria = nullptr;
    QList<QComboBox*> m_Collections;
    QList<QCheckBox*> m_CollectionBoxes;
    QComboBox* comboBox_Field = nullptr;
    QPushButton* pushButton_Field = nullptr;
    QPushButton* pushButton_Open = nullptr;
    QPushButton* pushButton_Close = nullptr;
    QPushButton* pushButton_Options = nullptr;
    QPushButton* pushButton_History = nullptr;
    QPushButton* pushButton_Records = nullptr;
    QMap<QString, QString> m_Options;
    QPlainTextEdit* plainTextEdit_Data = nullptr;
    QLabel* label_Status = nullptr; // the delay's countdown, the window's progress
};
