#include "ChannelCalibration.h"

#include "CalibrationHistoryDialog.h"
#include "CalibrationOptionsDialog.h"
#include "CalibrationResultDialog.h"
#include "CalibrationStore.h"
#include "LabRecords.h"
#include "LabRecordsDialog.h"
#include "ChannelBatch.h"
#include "ChannelModel.h"
#include "ChannelScan.h"
#include "ChannelSet.h"
#include "Collection.h"
#include "Criteria.h"
#include "Field.h"
#include "MessageBox.h"
#include "ModalRun.h"
#include "SystemContext.h"
#include "Tool.h"
#include "Vocabulary.h"

#include <QCheckBox>
#include <QComboBox>

#include <future>
#include <memory>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QThread>
#include <QVBoxLayout>
#include <QtDebug>

#include <cmath>
#include <memory>

namespace {
const QString kManual = QStringLiteral("手动");
const QString kThermometer = QStringLiteral("KORVA 5310A");
const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
const QStringList kModels{"3107A-NTC", "3107A-RTD", "3107A-TC", "3107A-PCR", "3108A", "1586A"};

QString nowText()
{
    return QDateTime::currentDateTime().toString(kTimeFormat);
}

QStringList splitOrEmpty(const QString& text, QChar separator)
{
    return text.isEmpty() ? QStringList() : text.split(separator);
}

// The log of the page last shown, kept for the process: leaving the page (to
// change the language, say) and coming back shows the lines as they were.
struct KeptLog
{
    QString startTime;
    QString text;
};
KeptLog& keptLog()
{
    static KeptLog log;
    return log;
}
} // namespace

ChannelCalibration::ChannelCalibration(QWidget* parent) : ToolPage(parent)
{
    setObjectName(QStringLiteral("ChannelCalibration"));
    buildUi();

    Vocabulary::fill(comboBox_Field, Tool::fieldList());
    Vocabulary::fill(comboBox_Criteria, Tool::criteriaList());
    if (!Tool::existChannelCalibration())
        Tool::createChannelCalibration();
    if (!Tool::existChannelCalibrationData())
        Tool::createChannelCalibrationData();

    connect(this, &ChannelCalibration::Save_signals, this, &ChannelCalibration::Save_slots, Qt::QueuedConnection);
    connect(this, &ChannelCalibration::WriteConfig_signals, this, &ChannelCalibration::WriteConfig_slots,
            Qt::QueuedConnection);
    connect(this, &ChannelCalibration::PlainTextEdit_signals, this, &ChannelCalibration::PlainTextEdit_slots,
            Qt::QueuedConnection);
    connect(this, &ChannelCalibration::MessageBox_signals, this, &ChannelCalibration::MessageBox_slots,
            Qt::QueuedConnection);

    m_Session.hooks.log = [this](const QString& text) { emit PlainTextEdit_signals(text); };
    m_Session.hooks.message = [this](const QString& title, const QString& text) {
        emit MessageBox_signals(title, text);
    };
    m_Session.hooks.pointStored = [this] { emit WriteConfig_signals(); };
    m_Session.hooks.save = [this] { emit Save_signals(); };
    m_Session.hooks.confirm = [this](const QString& title, const QString& text) {
        auto answer = std::make_shared<std::promise<bool>>();
        std::future<bool> future = answer->get_future();
        onGui([this, answer, title, text] { answer->set_value(MessageBox::question(this, title, text)); });
        return future.get();
    };
    m_Session.hooks.choose = [this](const QString& title, const QString& text, const QStringList& choices) {
        auto answer = std::make_shared<std::promise<int>>();
        std::future<int> future = answer->get_future();
        onGui([this, answer, title, text, choices] { answer->set_value(MessageBox::choose(this, title, text, choices)); });
        return future.get();
    };
    m_Session.hooks.status = [this](const QString& text) {
        onGui([this, text] { label_Status->setText(text); });
    };
    m_Session.hooks.pointSkipped = [this](int point) {
        // The fields follow the plan: the points after it move up.
        onGui([this, point] {
            for (int i = point; i < 9; ++i) {
                m_TempEdits.at(i)->setText(i + 1 < 9 ? m_TempEdits.at(i + 1)->text() : QString());
                m_TempBoxes.at(i)->setChecked(i + 1 < 8 && m_TempBoxes.at(i + 1)->isChecked());
                m_CheckBoxes.at(i)->setChecked(i + 1 < 9 && m_CheckBoxes.at(i + 1)->isChecked());
            }
            WriteConfig_slots();
        });
    };
    m_Session.hooks.audit = [this](const QString& line) {
        onGui([line] { Tool::addAuditLog(QStringLiteral("校准"), line); });
    };

    readSettings();
    readOptions();
}

ChannelCalibration::~ChannelCalibration()
{
    // The window keeps a busy page; should it go anyway, its workers end first.
    m_Session.Running = false;
    m_Session.OperatorWait = false;
    m_Session.ManualBatchWait = false;
    waitForWorkers();
    m_Session.hooks = {};
    m_Session.closeAll();
    deleteDrivers();
    WriteConfig_slots();
    keptLog() = KeptLog{m_StartTime, plainTextEdit_Data->toPlainText()};
}

void ChannelCalibration::buildUi()
{
    auto* outer = new QHBoxLayout(this);

    auto* parameters = new QGroupBox(tr("校准参数"), this);
    parameters->setObjectName(QStringLiteral("groupBox_Parameters"));
    auto* pgrid = new QGridLayout(parameters);
    auto* numberRule = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[-0-9.]+$")), this);
    for (int i = 1; i <= 9; ++i) {
        // A bare "1:" did not say that the field takes a temperature.
        pgrid->addWidget(new QLabel(tr("温度点%1(℃)：").arg(i), parameters), i - 1, 0);
        auto* edit = new QLineEdit(parameters);
        edit->setObjectName(QStringLiteral("lineEdit_Temp%1").arg(i));
        edit->setValidator(numberRule);
        auto* box = new QCheckBox(tr("换液"), parameters);
        box->setObjectName(QStringLiteral("checkBox_Temp%1").arg(i));
        // A check point is measured like any other but kept out of the fit.
        auto* check = new QCheckBox(tr("核查点"), parameters);
        check->setObjectName(QStringLiteral("checkBox_Check%1").arg(i));
        check->setToolTip(tr("核查点不参与拟合，其残差是对拟合结果的独立检验"));
        pgrid->addWidget(edit, i - 1, 1);
        pgrid->addWidget(box, i - 1, 2);
        pgrid->addWidget(check, i - 1, 3);
        m_TempEdits << edit;
        m_TempBoxes << box;
        m_CheckBoxes << check;
    }
    // After the last point there is nothing left to measure in new liquid.
    m_TempBoxes.last()->setEnabled(false);
    // One-digit delays and batch sizes are ordinary: 1 … 999.
    auto* countRule = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^[1-9][0-9]{0,2}$")), this);
    pgrid->addWidget(new QLabel(tr("稳定延迟："), parameters), 9, 0);
    lineEdit_Delay = new QLineEdit(parameters);
    lineEdit_Delay->setObjectName(QStringLiteral("lineEdit_Delay"));
    lineEdit_Delay->setValidator(countRule);
    pgrid->addWidget(lineEdit_Delay, 9, 1);
    pgrid->addWidget(new QLabel(QStringLiteral("min"), parameters), 9, 2);
    pgrid->addWidget(new QLabel(tr("单批最大通道数："), parameters), 10, 0);
    lineEdit_Max = new QLineEdit(parameters);
    lineEdit_Max->setObjectName(QStringLiteral("lineEdit_Max"));
    lineEdit_Max->setValidator(countRule);
    pgrid->addWidget(lineEdit_Max, 10, 1);
    pushButton_Options = new QPushButton(tr("测量设置..."), parameters);
    pushButton_Options->setObjectName(QStringLiteral("pushButton_Options"));
    pushButton_Options->setToolTip(tr("每点采样次数、标准稳定判据、温场稳定超时、待机温度和残差限"));
    pgrid->addWidget(pushButton_Options, 11, 0, 1, 4);
    pushButton_Records = new QPushButton(tr("标准器与实验室记录..."), parameters);
    pushButton_Records->setObjectName(QStringLiteral("pushButton_Records"));
    pgrid->addWidget(pushButton_Records, 12, 0, 1, 4);
    outer->addWidget(parameters);

    auto* right = new QVBoxLayout;
    auto* devices = new QGroupBox(tr("校准设备"), this);
    devices->setObjectName(QStringLiteral("groupBox_Devices"));
    auto* dgrid = new QGridLayout(devices);
    dgrid->addWidget(new QLabel(tr("标准型号："), devices), 0, 0);
    comboBox_Criteria = new QComboBox(devices);
    comboBox_Criteria->setObjectName(QStringLiteral("comboBox_Criteria"));
    dgrid->addWidget(comboBox_Criteria, 0, 1);
    pushButton_Criteria = new QPushButton(tr("通信设置"), devices);
    pushButton_Criteria->setObjectName(QStringLiteral("pushButton_Criteria"));
    dgrid->addWidget(pushButton_Criteria, 0, 2);
    for (int i = 1; i <= 3; ++i) {
        dgrid->addWidget(new QLabel(tr("采集设备%1：").arg(i), devices), i, 0);
        auto* combo = new QComboBox(devices);
        combo->setObjectName(QStringLiteral("comboBox_Collection%1").arg(i));
        combo->setMinimumWidth(180);
        auto* box = new QCheckBox(devices);
        box->setObjectName(QStringLiteral("checkBox_Collection%1").arg(i));
        dgrid->addWidget(combo, i, 1);
        dgrid->addWidget(box, i, 2);
        m_Collections << combo;
        m_CollectionBoxes << box;
    }
    m_CollectionBoxes.first()->setChecked(true);
    m_CollectionBoxes.first()->setEnabled(false);
    dgrid->addWidget(new QLabel(tr("温场型号："), devices), 4, 0);
    comboBox_Field = new QComboBox(devices);
    comboBox_Field->setObjectName(QStringLiteral("comboBox_Field"));
    dgrid->addWidget(comboBox_Field, 4, 1);
    pushButton_Field = new QPushButton(tr("通信设置"), devices);
    pushButton_Field->setObjectName(QStringLiteral("pushButton_Field"));
    dgrid->addWidget(pushButton_Field, 4, 2);
    right->addWidget(devices);

    auto* data = new QGroupBox(tr("校准数据"), this);
    data->setObjectName(QStringLiteral("groupBox_Data"));
    auto* dlayout = new QVBoxLayout(data);
    auto* buttons = new QGridLayout;
    pushButton_Open = new QPushButton(tr("开始"), data);
    pushButton_Open->setObjectName(QStringLiteral("pushButton_Open"));
    buttons->addWidget(pushButton_Open, 0, 0);
    for (int i = 1; i <= 9; ++i) {
        auto* button = new QPushButton(tr("温度点") + QString::number(i), data);
        button->setObjectName(QStringLiteral("pushButton_Temp%1").arg(i));
        button->setEnabled(false);
        buttons->addWidget(button, i / 6, i % 6);
        m_TempButtons << button;
    }
    pushButton_Close = new QPushButton(tr("结束"), data);
    pushButton_Close->setObjectName(QStringLiteral("pushButton_Close"));
    buttons->addWidget(pushButton_Close, 1, 5);
    pushButton_History = new QPushButton(tr("校准历史"), data);
    pushButton_History->setObjectName(QStringLiteral("pushButton_History"));
    buttons->addWidget(pushButton_History, 1, 4);
    dlayout->addLayout(buttons);
    plainTextEdit_Data = new QPlainTextEdit(data);
    plainTextEdit_Data->setObjectName(QStringLiteral("plainTextEdit_Data"));
    plainTextEdit_Data->setReadOnly(true);
    // Readings line up in columns.
    plainTextEdit_Data->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    dlayout->addWidget(plainTextEdit_Data);
    label_Status = new QLabel(data);
    label_Status->setObjectName(QStringLiteral("label_Status"));
    dlayout->addWidget(label_Status);
    right->addWidget(data, 1);
    outer->addLayout(right, 1);

    connect(pushButton_Open, &QPushButton::clicked, this, &ChannelCalibration::Open_Clicked);
    connect(pushButton_Close, &QPushButton::clicked, this, &ChannelCalibration::Close_Clicked);
    const QList<void (ChannelCalibration::*)()> points{
        &ChannelCalibration::Temp1_Clicked, &ChannelCalibration::Temp2_Clicked, &ChannelCalibration::Temp3_Clicked,
        &ChannelCalibration::Temp4_Clicked, &ChannelCalibration::Temp5_Clicked, &ChannelCalibration::Temp6_Clicked,
        &ChannelCalibration::Temp7_Clicked, &ChannelCalibration::Temp8_Clicked, &ChannelCalibration::Temp9_Clicked};
    for (int i = 0; i < 9; ++i)
        connect(m_TempButtons.at(i), &QPushButton::clicked, this, points.at(i));
    connect(pushButton_Options, &QPushButton::clicked, this, &ChannelCalibration::Options_Clicked);
    connect(pushButton_History, &QPushButton::clicked, this, &ChannelCalibration::History_Clicked);
    connect(pushButton_Records, &QPushButton::clicked, this, &ChannelCalibration::Records_Clicked);
    connect(pushButton_Field, &QPushButton::clicked, this, &ChannelCalibration::FieldScan_Clicked);
    connect(pushButton_Criteria, &QPushButton::clicked, this, &ChannelCalibration::CriteriaScan_Clicked);
    connect(m_CollectionBoxes.at(1), &QCheckBox::stateChanged, this, &ChannelCalibration::Collection2_Changed);
    connect(m_CollectionBoxes.at(2), &QCheckBox::stateChanged, this, &ChannelCalibration::Collection3_Changed);
    // Both slots take the stored source or reference kind, not the text shown.
    connect(comboBox_Field, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int) { Field_Changed(Vocabulary::current(comboBox_Field)); });
    connect(comboBox_Criteria, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int) { Criteria_Changed(Vocabulary::current(comboBox_Criteria)); });
    Collection2_Changed(Qt::Unchecked);
    Collection3_Changed(Qt::Unchecked);
}

void ChannelCalibration::readSettings()
{
    QString text;
    bool flag = false;
    const auto readText = [&](const QString& key, QString& into) {
        if (!Tool::getChannelCalibration(key, text))
            return false;
        into = text;
        return true;
    };
    for (int i = 0; i < 3; ++i)
        if (!readText(QStringLiteral("CollectionName%1").arg(i + 1), m_CollectionName[i]))
            return;
    for (int i = 2; i <= 3; ++i) {
        if (!Tool::getChannelCalibration(QStringLiteral("CollectionState%1").arg(i), flag))
            return;
        m_CollectionBoxes.at(i - 1)->setChecked(flag);
    }
    if (!readText("FieldName", m_Field.Kind) || !readText("FieldMode", m_Field.Mode)
        || !readText("FieldIP", m_Field.Address) || !readText("FieldPort", m_Field.Port))
        return;
    Vocabulary::select(comboBox_Field, m_Field.Kind);
    Field_Changed(Vocabulary::current(comboBox_Field));
    if (!readText("CriteriaName", m_Criteria.Kind) || !readText("CriteriaMode", m_Criteria.Mode)
        || !readText("CriteriaIP", m_Criteria.Address) || !readText("CriteriaPort", m_Criteria.Port))
        return;
    Vocabulary::select(comboBox_Criteria, m_Criteria.Kind);
    Criteria_Changed(Vocabulary::current(comboBox_Criteria));
    for (int i = 0; i < 3; ++i) {
        if (!Tool::getChannelCalibration(QStringLiteral("ChannelNumber%1").arg(i + 1), text))
            return;
        m_SelectedNumbers[i] = splitOrEmpty(text, QLatin1Char(','));
    }
    if (!Tool::getChannelCalibration("FieldDelay", text))
        return;
    lineEdit_Delay->setText(text);
    if (!Tool::getChannelCalibration("ChannelMax", text))
        return;
    lineEdit_Max->setText(text);
    for (int i = 0; i < 9; ++i) {
        if (!Tool::getChannelCalibration(QStringLiteral("EditTemp%1").arg(i + 1), text))
            return;
        m_TempEdits.at(i)->setText(text);
    }
    for (int i = 0; i < 9; ++i) {
        if (!Tool::getChannelCalibration(QStringLiteral("CheckTemp%1").arg(i + 1), flag))
            return;
        m_TempBoxes.at(i)->setChecked(flag);
    }
    for (int i = 0; i < 9; ++i) {
        if (!Tool::getChannelCalibration(QStringLiteral("CheckPoint%1").arg(i + 1), flag))
            return;
        m_CheckBoxes.at(i)->setChecked(flag);
    }
    if (!readText("StartTime", m_StartTime) || !readText("ChannelName", m_ChannelName)
        || !readText("ChannelMode", m_ChannelMode))
        return;
    if (!Tool::getChannelCalibration("CalibrationCriteria", text))
        return;
    const QStringList criteria = splitOrEmpty(text, QLatin1Char(';'));
    QList<QStringList> data;
    for (int i = 0; i < 9; ++i) {
        if (!Tool::getChannelCalibration(QStringLiteral("CalibrationData%1").arg(i + 1), text))
            break;
        data << splitOrEmpty(text, QLatin1Char(';'));
    }
    m_Session.setRunData(criteria, data);
    m_Session.ChannelMode = m_ChannelMode;
    QMap<int, QString> notes;
    QMap<int, double> brackets;
    for (int i = 0; i < 9; ++i) {
        if (Tool::getChannelCalibration(QStringLiteral("PointNote%1").arg(i + 1), text) && !text.isEmpty())
            notes.insert(i, text);
        if (Tool::getChannelCalibration(QStringLiteral("Bracket%1").arg(i + 1), text) && !text.isEmpty())
            brackets.insert(i, text.toDouble());
    }
    m_Session.setNotes(notes, brackets);
}

void ChannelCalibration::readOptions()
{
    for (const QString& key : CalibrationOptionsDialog::keys()) {
        QString text;
        // A key never written reads empty: its default then holds.
        if (Tool::getChannelCalibration(key, text))
            m_Options.insert(key, text.isEmpty() ? CalibrationOptionsDialog::defaultText(key) : text);
        else
            m_Options.insert(key, CalibrationOptionsDialog::defaultText(key));
    }
}

double ChannelCalibration::standbyDefault() const
{
    // The lower end of the range of the source family, or 25 ℃ where every
    // model of the family reaches it.
    const QString kind = Vocabulary::current(comboBox_Field);
    std::unique_ptr<Field> source(SourceLinks::createSource(kind));
    if (!source)
        return 25;
    double low = -1e9;
    bool inside = true;
    for (const QString& model : source->ModelList()) {
        QString lo, hi;
        if (!source->TemperatureRange(model, lo, hi))
            continue;
        low = std::max(low, lo.toDouble());
        inside = inside && lo.toDouble() <= 25 && 25 <= hi.toDouble();
    }
    return inside || low < -1e8 ? 25 : low;
}

void ChannelCalibration::applyOptions()
{
    const auto number = [this](const char* key) { return m_Options.value(QString::fromLatin1(key)).toDouble(); };
    CalibrationSession::Options o;
    o.Samples = std::max(1, std::min(100, m_Options.value(QStringLiteral("SamplesPerPoint")).toInt()));
    o.SampleInterval = std::max(0.0, number("SampleInterval"));
    o.MaxStdDev = std::max(0.0, number("StabilityStdDev"));
    o.MaxDrift = std::max(0.0, number("StabilityDrift"));
    o.Retries = std::max(0, m_Options.value(QStringLiteral("StabilityRetries")).toInt());
    o.StableTimeout = std::max(0.0, number("StableTimeout"));
    o.WindowMinutes = std::max(0.0, number("StabilityWindow"));
    const QString action = m_Options.value(QStringLiteral("UnstableAction"));
    o.OnUnstable = action == QLatin1String("accept") ? CalibrationSession::Options::Unstable::Accept
                   : action == QLatin1String("skip") ? CalibrationSession::Options::Unstable::Skip
                   : action == QLatin1String("stop") ? CalibrationSession::Options::Unstable::Stop
                                                     : CalibrationSession::Options::Unstable::Ask;
    bool given = false;
    const double standby = m_Options.value(QStringLiteral("StandbyTemp")).toDouble(&given);
    o.HasStandby = m_Source != nullptr;
    o.Standby = given ? standby : standbyDefault();
    m_Session.options = o;
}

void ChannelCalibration::Options_Clicked()
{
    CalibrationOptionsDialog dialog(this);
    dialog.setValues(m_Options, QString::number(standbyDefault(), 'f', 1));
    if (ModalRun::exec(&dialog) != QDialog::Accepted)
        return;
    m_Options = dialog.values();
    // Kept at once, like the run's other keys.
    WriteConfig_slots();
}

void ChannelCalibration::History_Clicked()
{
    CalibrationHistoryDialog dialog(this);
    if (!m_Labels.isEmpty()) {
        const int device = m_Labels.first().section(QLatin1Char('_'), 0, 0).toInt() - 1;
        const int index = m_Collections.value(device) ? m_Collections.at(device)->currentIndex() : -1;
        if (index >= 0 && index < m_Registered.size())
            dialog.selectChannel(m_Registered.at(index).ChannelConfig, m_Labels.first().section(QLatin1Char('_'), 1));
    }
    // A restored set reaches the loggers of this page's devices as a saved one does.
    dialog.setSender([this](const QStringList& configs) {
        // A running calibration has the loggers programmed for itself.
        if (m_State == RunState::Pause) {
            plainTextEdit_Data->appendPlainText(tr("校准进行中，恢复的系数未下发到采集设备。"));
            return;
        }
        QList<Tool::Struct_AcquisitionDevice> devices;
        for (int i = 0; i < 3; ++i) {
            const int index = m_Collections.at(i)->currentIndex();
            const bool used = i == 0 || m_CollectionBoxes.at(i)->isChecked();
            devices << (used && index >= 0 && index < m_Registered.size() && configs.contains(m_Registered.at(index).ChannelConfig)
                            ? m_Registered.at(index)
                            : Tool::Struct_AcquisitionDevice());
        }
        reprogramLoggers(devices);
    });
    ModalRun::exec(&dialog);
}

void ChannelCalibration::Records_Clicked()
{
    LabRecordsDialog dialog(this);
    ModalRun::exec(&dialog);
}

bool ChannelCalibration::driversInUse()
{
    if (m_Workers.load() == 0 && m_State != RunState::Pause)
        return false;
    MessageBox::information(this, tr("提示"), tr("校准进行中，设备正在使用，不能更改通信设置！"));
    return true;
}

void ChannelCalibration::setContext(SystemContext* context)
{
    m_Context = context;
    m_Registered = context ? context->ConnectedDevices : QList<Tool::Struct_AcquisitionDevice>();
    if (m_Registered.isEmpty())
        pushButton_Open->setEnabled(false);
    for (QComboBox* combo : qAsConst(m_Collections)) {
        combo->clear();
        for (const Tool::Struct_AcquisitionDevice& device : qAsConst(m_Registered))
            combo->addItem(QString::number(device.Number) + QLatin1Char('-') + device.ChannelConfig);
    }
    for (int i = 0; i < 3; ++i) {
        const int at = m_Collections.at(i)->findText(m_CollectionName.at(i));
        if (at >= 0)
            m_Collections.at(i)->setCurrentIndex(at);
    }
    if (m_Session.storedPoints() > 9)
        m_Session.setRunData({}, {});
    if (m_Session.storedPoints() >= 1)
        setRunState(RunState::Continue);
    rebuildLabels();
    replayLog();
}

bool ChannelCalibration::IsIdle() const
{
    return m_State != RunState::Pause && m_Workers.load() == 0;
}

// --- helpers -------------------------------------------------------------------

void ChannelCalibration::setRunState(RunState state)
{
    m_State = state;
    pushButton_Open->setText(state == RunState::Start   ? tr("开始")
                             : state == RunState::Pause ? tr("暂停")
                                                        : tr("继续"));
}

void ChannelCalibration::setBusy(bool running)
{
    m_Session.Running = running;
    lockControls(running);
}

void ChannelCalibration::lockControls(bool running)
{
    const bool manualSource = Vocabulary::current(comboBox_Field) == kManual;
    comboBox_Field->setEnabled(!running);
    comboBox_Criteria->setEnabled(!running);
    lineEdit_Delay->setEnabled(!running);
    lineEdit_Max->setEnabled(!running);
    pushButton_Field->setEnabled(!running && !manualSource);
    for (int i = 0; i < 9; ++i) {
        m_TempEdits.at(i)->setEnabled(!running && !manualSource);
        m_TempBoxes.at(i)->setEnabled(!running && !manualSource && i < 8);
        m_CheckBoxes.at(i)->setEnabled(!running);
    }
    pushButton_Criteria->setEnabled(!running && Vocabulary::current(comboBox_Criteria) == kThermometer);
    // The devices of a running calibration stay as they were chosen.
    for (int i = 0; i < 3; ++i) {
        m_Collections.at(i)->setEnabled(!running && m_CollectionBoxes.at(i)->isChecked());
        m_CollectionBoxes.at(i)->setEnabled(!running && i > 0);
    }
    pushButton_Options->setEnabled(!running);
}

void ChannelCalibration::deleteDrivers()
{
    // The reference may lean on the source: it goes first.
    delete m_Reference;
    m_Reference = nullptr;
    delete m_Source;
    m_Source = nullptr;
    for (Collection*& device : m_Devices) {
        delete device;
        device = nullptr;
    }
    m_Session.Devices = m_Devices;
    m_Session.Source = nullptr;
    m_Session.Reference = nullptr;
}

void ChannelCalibration::rebuildLabels()
{
    m_Labels.clear();
    for (int d = 0; d < m_SelectedNumbers.size(); ++d)
        for (const QString& number : m_SelectedNumbers.at(d))
            m_Labels << QString::number(d + 1) + QLatin1Char('_') + number;
}

void ChannelCalibration::replayLog()
{
    const KeptLog& kept = keptLog();
    if (!kept.text.isEmpty() && kept.startTime == m_StartTime && !m_StartTime.isEmpty()) {
        plainTextEdit_Data->setPlainText(kept.text);
        return;
    }
    const QStringList criteria = m_Session.criteria();
    const QList<QStringList> data = m_Session.data();
    for (int j = 0; j < criteria.size(); ++j) {
        plainTextEdit_Data->appendPlainText(tr("温度点") + QString::number(j + 1));
        const QStringList references = criteria.at(j).split(QLatin1Char(','));
        const QStringList batches = data.value(j);
        int label = 0;
        for (int k = 0; k < references.size(); ++k) {
            plainTextEdit_Data->appendPlainText(tr("批次") + QString::number(k + 1) + tr("标准：") + references.at(k));
            for (const QString& reading : splitOrEmpty(batches.value(k), QLatin1Char(',')))
                plainTextEdit_Data->appendPlainText(QString::number(k + 1) + QLatin1Char('_') + m_Labels.value(label++)
                                                    + QLatin1Char(':') + reading);
            plainTextEdit_Data->appendPlainText(QString());
        }
    }
}

void ChannelCalibration::startWorker(std::function<void()> body)
{
    ++m_Workers;
    QThread* worker = QThread::create([this, body]() {
        body();
        --m_Workers;
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    worker->start();
}

void ChannelCalibration::onGui(std::function<void()> f)
{
    {
        std::lock_guard<std::mutex> lock(m_GuiMutex);
        m_GuiWork.push_back(std::move(f));
    }
    // One queued call per piece of work keeps it in order with the signals
    // the worker emits in between.
    QMetaObject::invokeMethod(this, "runGuiWork", Qt::QueuedConnection);
}

void ChannelCalibration::runGuiWork()
{
    std::function<void()> work;
    {
        std::lock_guard<std::mutex> lock(m_GuiMutex);
        if (m_GuiWork.empty())
            return;
        work = std::move(m_GuiWork.front());
        m_GuiWork.pop_front();
    }
    work();
}

void ChannelCalibration::waitForWorkers()
{
    // The links of the drivers run on this thread: keep their events flowing.
    while (m_Workers.load() > 0) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
        QThread::msleep(5);
    }
    // What the last worker queued for the window comes before what follows.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

CalibrationRun ChannelCalibration::runData() const
{
    CalibrationRun run;
    run.StartTime = m_StartTime;
    run.ChannelName = m_ChannelName;
    run.ChannelMode = m_ChannelMode;
    run.CollectionName.clear();
    for (QComboBox* combo : m_Collections)
        run.CollectionName << combo->currentText();
    run.Labels = m_Labels;
    run.CalibrationCriteria = m_Session.criteria();
    run.CalibrationData = m_Session.data();
    run.Channels = m_Session.Calibrated;
    for (QCheckBox* box : m_CheckBoxes)
        run.FitPoints << !box->isChecked();
    run.Notes = m_Session.notes();
    run.Brackets = m_Session.brackets();
    run.Devices = m_Session.Entries;
    run.ConfigsAsRead = m_ConfigsAsRead;
    run.Reference = QStringList{m_Criteria.Kind, m_Criteria.Mode, m_Criteria.Address, m_Criteria.Port}.join(QLatin1Char(' '))
                        .trimmed();
    run.Operator = qEnvironmentVariable("USER", qEnvironmentVariable("USERNAME", QDir::home().dirName()));

    // The budget's inputs: the lab's records for the standards of this run.
    QList<Tool::Struct_ReferenceStandard> references;
    QList<Tool::Struct_SourceRecord> sources;
    Tool::getReferenceStandards(references);
    Tool::getSourceRecords(sources);
    Tool::getReadoutRecords(run.Budget.Readouts);
    run.Budget.Enabled = !references.isEmpty() || !sources.isEmpty() || !run.Budget.Readouts.isEmpty();
    if (run.Budget.Enabled) {
        const QString referenceSerial = m_Criteria.Kind == kThermometer ? m_Criteria.Address
                                        : m_Session.Reference            ? m_Session.referenceSerial()
                                                                         : kManual;
        for (const Tool::Struct_ReferenceStandard& r : qAsConst(references))
            if (Tool::serialMatches(r.Serial, referenceSerial)) {
                run.Budget.Reference = r;
                run.Budget.HasReference = true;
            }
        const QString sourceSerial = m_Session.sourceSerial();
        for (const Tool::Struct_SourceRecord& r : qAsConst(sources))
            if (Tool::serialMatches(r.Serial, sourceSerial)) {
                run.Budget.Source = r;
                run.Budget.HasSource = true;
            }
        Tool::getRunSamples(m_StartTime, run.Budget.Samples);
        run.Budget.At = QDateTime::fromString(m_StartTime, kTimeFormat).date();
    }
    return run;
}

// --- selectors -----------------------------------------------------------------

void ChannelCalibration::Collection2_Changed(int state)
{
    m_Collections.at(1)->setEnabled(state == Qt::Checked);
}

void ChannelCalibration::Collection3_Changed(int state)
{
    m_Collections.at(2)->setEnabled(state == Qt::Checked);
}

void ChannelCalibration::Field_Changed(QString text)
{
    const bool manual = text == kManual;
    pushButton_Field->setEnabled(!manual);
    for (int i = 0; i < 9; ++i) {
        m_TempEdits.at(i)->setEnabled(!manual);
        m_TempBoxes.at(i)->setEnabled(!manual && i < 8);
    }
    QStringList references = Tool::criteriaList();
    if (text == QStringLiteral("油槽-R") || text == QStringLiteral("干式炉-R"))
        references.prepend(text);
    Vocabulary::fill(comboBox_Criteria, references);
}

void ChannelCalibration::Criteria_Changed(QString text)
{
    pushButton_Criteria->setEnabled(text == kThermometer);
}

void ChannelCalibration::FieldScan_Clicked()
{
    if (driversInUse())
        return;
    deleteDrivers();
    m_Field.Kind = Vocabulary::current(comboBox_Field);
    ChannelScan dialog(this);
    dialog.setRecord(&m_Field);
    ModalRun::exec(&dialog);
}

void ChannelCalibration::CriteriaScan_Clicked()
{
    if (driversInUse())
        return;
    deleteDrivers();
    m_Criteria.Kind = Vocabulary::current(comboBox_Criteria);
    ChannelScan dialog(this);
    dialog.setRecord(&m_Criteria);
    ModalRun::exec(&dialog);
}

// --- start ---------------------------------------------------------------------

void ChannelCalibration::Open_Clicked()
{
    if (m_State == RunState::Pause) {
        // Stop.
        m_Session.Running = false;
        if (!m_Automatic)
            manualStop();
        return;
    }
    const QString title = tr("提示");
    if (m_Session.Running || m_Workers.load() > 0) {
        setRunState(RunState::Start);
        MessageBox::information(this, title, tr("软件异常，请退出软件重试!"));
        return;
    }
    if (m_State == RunState::Start) {
        m_StartTime = nowText();
        plainTextEdit_Data->clear();
    }

    // Devices, source and reference.
    deleteDrivers();
    QList<int> index;
    QList<bool> present;
    for (int i = 0; i < 3; ++i) {
        index << m_Collections.at(i)->currentIndex();
        present << (i == 0 || m_CollectionBoxes.at(i)->isChecked());
    }
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j)
            if (present.at(i) && present.at(j) && index.at(i) >= 0 && index.at(i) == index.at(j)) {
                MessageBox::information(this, title, tr("采集设备不能相同!"));
                return;
            }
    m_Field.Kind = Vocabulary::current(comboBox_Field);
    m_Criteria.Kind = Vocabulary::current(comboBox_Criteria);
    m_Source = SourceLinks::createSource(m_Field.Kind);
    m_Reference = SourceLinks::createReference(m_Criteria.Kind, m_Source);
    QList<Tool::Struct_AcquisitionDevice> entries;
    QString channelName;
    for (int i = 0; i < 3; ++i) {
        if (index.at(i) < 0 || index.at(i) >= m_Registered.size()) {
            MessageBox::information(this, title, tr("未选择采集设备!"));
            deleteDrivers();
            return;
        }
        const Tool::Struct_AcquisitionDevice entry = m_Registered.at(index.at(i));
        entries << entry;
        if (present.at(i)) {
            channelName += entry.ChannelConfig + QLatin1Char(',');
            if (kModels.contains(entry.Mode))
                m_Devices[i] = ChannelModel::createCollection(entry.Mode);
        }
    }
    m_Automatic = m_Source != nullptr;
    // A reference past its due date is not used silently: the thermometer is
    // known by the name chosen for it, a typed reference as "手动"; a source's
    // own reference is checked by serial number once connected.
    QList<Tool::Struct_ReferenceStandard> references;
    Tool::getReferenceStandards(references);
    m_Session.ReferenceRecords = references;
    m_Session.Today = QDate::currentDate();
    {
        const QString serial = m_Criteria.Kind == kThermometer ? m_Criteria.Address
                               : m_Reference                    ? QString()
                                                                : kManual;
        m_Session.OverdueWarnOnly = m_Options.value(QStringLiteral("OverdueWarning")) == QStringLiteral("1");
        const QString refusal = serial.isEmpty() ? QString() : m_Session.checkOverdue(serial, [&](const QString& text) {
            return MessageBox::question(this, title, text);
        }, [](const QString& line) { Tool::addAuditLog(QStringLiteral("校准"), line); });
        if (!refusal.isEmpty()) {
            qWarning().noquote() << "calibration refused:" << refusal;
            MessageBox::information(this, title, refusal);
            deleteDrivers();
            return;
        }
    }
    if (m_Source && !m_Reference) {
        MessageBox::information(this, title, tr("自动模式下标准探头不允许手动!"));
        deleteDrivers();
        return;
    }
    const auto newRun = [&] {
        m_StartTime = nowText();
        m_ChannelName = channelName;
        m_Session.setRunData({}, {});
        m_Session.clearSamples();
        plainTextEdit_Data->clear();
    };
    if (m_Session.storedPoints() == 0) {
        newRun();
    } else if (m_ChannelName != channelName) {
        if (!MessageBox::question(this, title, tr("通道配置信息改变，是否开始新的校准?"))) {
            deleteDrivers();
            return;
        }
        newRun();
    }

    // GetParameter: the points up to the first empty field.
    const int delay = lineEdit_Delay->text().toInt();
    QList<double> temperatures;
    QList<bool> changeLiquid;
    for (int i = 0; i < 9 && !m_TempEdits.at(i)->text().isEmpty(); ++i) {
        temperatures << m_TempEdits.at(i)->text().toDouble();
        changeLiquid << m_TempBoxes.at(i)->isChecked();
    }
    qDebug() << "校准温度：" << temperatures;
    // Every point measured but not written (the result was set aside): the
    // run goes on with its save step, there is nothing left to measure.
    if (m_Automatic && m_Session.storedPoints() > 0 && m_Session.storedPoints() == temperatures.size()) {
        deleteDrivers();
        Save_slots();
        return;
    }
    if (m_Automatic && m_Session.storedPoints() > temperatures.size()) {
        if (!MessageBox::question(this, title, tr("设置的温度点少于保存的数据，是否开始新的校准?"))) {
            deleteDrivers();
            return;
        }
        m_Session.setRunData({}, {});
        m_Session.clearSamples();
        plainTextEdit_Data->clear();
        m_StartTime = nowText();
    }

    // Channels of the run.
    QList<QList<Device::Channel>> channels;
    m_ConfigsAsRead.clear();
    for (const Tool::Struct_AcquisitionDevice& entry : qAsConst(entries)) {
        QList<Tool::Struct_ChannelConfig> found;
        if (!Tool::getChannelConfig(found, entry.ChannelConfig) || found.isEmpty()) {
            deleteDrivers();
            return;
        }
        channels << ChannelModel::toChannels(found.first());
        m_ConfigsAsRead << found.first();
    }
    if (m_Session.storedPoints() == 0) {
        ChannelSet dialog(this);
        dialog.setData(present, entries, channels);
        if (ModalRun::exec(&dialog) != QDialog::Accepted) {
            deleteDrivers();
            return;
        }
        m_ChannelMode = dialog.channelMode();
        m_SelectedNumbers = dialog.channelNumbers();
    }
    const QString thermocouple = QStringLiteral("热电偶");
    const QString thermistor = QStringLiteral("热敏电阻");
    const QString platinum = QStringLiteral("铂电阻");
    if (m_ChannelMode != thermocouple && m_ChannelMode != thermistor && m_ChannelMode != platinum) {
        MessageBox::information(this, title, tr("当前类型暂不支持校准!"));
        deleteDrivers();
        return;
    }
    CalibrationMath::ChannelLists calibrated{{}, {}, {}};
    bool consistent = m_SelectedNumbers.size() == 3;
    for (int d = 0; d < 3 && consistent; ++d) {
        if (!present.at(d))
            continue;
        for (const Device::Channel& ch : channels.at(d))
            if (m_SelectedNumbers.at(d).contains(ch.ChannelNumber))
                calibrated[d] << ch;
        consistent = calibrated.at(d).size() == m_SelectedNumbers.at(d).size();
    }
    if (!consistent) {
        MessageBox::information(this, title, tr("通道信息异常，设置失败!"));
        deleteDrivers();
        return;
    }
    for (int d = 0; d < 3; ++d)
        if (!present.at(d))
            m_SelectedNumbers[d].clear();
    // Two devices on one configuration share its stored channels: the same
    // channel calibrated on both would get two sets of coefficients.
    for (int i = 0; i < 3; ++i)
        for (int j = i + 1; j < 3; ++j) {
            if (!present.at(i) || !present.at(j) || entries.at(i).ChannelConfig != entries.at(j).ChannelConfig)
                continue;
            QStringList both;
            for (const QString& number : m_SelectedNumbers.at(i))
                if (m_SelectedNumbers.at(j).contains(number))
                    both << number;
            if (!both.isEmpty()) {
                MessageBox::information(this, title,
                                        tr("采集设备%1和采集设备%2使用同一通道配置“%3”，且都选择了通道%4，"
                                           "同一通道不能同时校准两次!")
                                            .arg(i + 1)
                                            .arg(j + 1)
                                            .arg(entries.at(i).ChannelConfig, both.join(QLatin1Char(','))));
                deleteDrivers();
                return;
            }
        }
    rebuildLabels();
    // The point set is tried on ideal sensors before anything is measured:
    // a set the fit would refuse at the end is refused now.
    QList<bool> fitPoints;
    for (int i = 0; i < 9; ++i)
        fitPoints << !m_CheckBoxes.at(i)->isChecked();
    QStringList functions;
    for (const QList<Device::Channel>& list : qAsConst(calibrated))
        for (const Device::Channel& ch : list)
            if (!functions.contains(ch.Function))
                functions << ch.Function;
    const QString refusal = CalibrationSave::checkPlan(m_ChannelMode, functions, temperatures, fitPoints);
    if (m_Automatic && !refusal.isEmpty()) {
        MessageBox::information(this, title, refusal);
        deleteDrivers();
        return;
    }
    if (!m_Automatic)
        MessageBox::information(this, title, CalibrationSave::pointRule(m_ChannelMode));

    // Batches.
    const int channelMax = lineEdit_Max->text().toInt();
    if (channelMax < 1) {
        MessageBox::information(this, title, tr("最大分批数不能小于0!"));
        deleteDrivers();
        return;
    }
    QStringList configNames;
    for (const Tool::Struct_AcquisitionDevice& entry : qAsConst(entries))
        configNames << entry.ChannelConfig;
    ChannelBatch batch(this);
    batch.setData(channelMax, configNames, m_SelectedNumbers);
    if (ModalRun::exec(&batch) != QDialog::Accepted) {
        deleteDrivers();
        return;
    }

    // Everything the worker needs, handed over before it starts.
    m_Session.Devices = m_Devices;
    m_Session.Entries = entries;
    m_Session.Source = m_Source;
    m_Session.Reference = m_Reference;
    m_Session.SourceMode = m_Field.Mode;
    m_Session.SourceAddress = m_Field.Address;
    m_Session.SourcePort = m_Field.Port;
    m_Session.ReferenceMode = m_Criteria.Mode;
    m_Session.ReferenceAddress = m_Criteria.Address;
    m_Session.ReferencePort = m_Criteria.Port;
    m_Session.ChannelMode = m_ChannelMode;
    m_Session.Calibrated = calibrated;
    m_Session.SetTemperatures = temperatures;
    m_Session.ChangeLiquid = changeLiquid;
    m_Session.DelayMinutes = delay;
    m_Session.ChannelMax = channelMax;
    m_Session.BatchCount = batch.batchCount();

    applyOptions();
    if (m_Automatic) {
        setBusy(true);
        setRunState(RunState::Pause);
        startWorker([this] { therad_Calibration(); });
    } else {
        // The drivers are in the start routine's hands from here.
        lockControls(true);
        startWorker([this] { manualStart(); });
    }
}

// --- workers -------------------------------------------------------------------

void ChannelCalibration::therad_Calibration()
{
    m_Session.automaticRun();
    m_Session.Running = false;
    // Decided on the GUI thread after the save step queued before it: a
    // written run leaves nothing to continue.
    onGui([this] {
        setRunState(m_Session.storedPoints() > 0 ? RunState::Continue : RunState::Start);
        setBusy(false);
    });
}

void ChannelCalibration::manualStart()
{
    onGui([this] { pushButton_Open->setEnabled(false); });
    emit PlainTextEdit_signals(tr("设备连接中..."));
    QString failure;
    const bool ok = m_Session.connectAll(&failure);
    if (!ok) {
        m_Session.closeAll();
        onGui([this] {
            pushButton_Open->setEnabled(true);
            lockControls(false);
        });
        emit MessageBox_signals(tr("提示"), failure);
        return;
    }
    const int stored = m_Session.storedPoints();
    if (stored > 9) {
        onGui([this] {
            pushButton_Open->setEnabled(true);
            lockControls(false);
        });
        emit MessageBox_signals(tr("提示"), tr("数据异常!"));
        return;
    }
    m_Session.Running = true;
    onGui([this, stored] {
        pushButton_Open->setEnabled(true);
        setBusy(true);
        setRunState(RunState::Pause);
        for (int i = 0; i < 9; ++i) {
            if (i < stored)
                m_TempButtons.at(i)->setText(tr("重采"));
            m_TempButtons.at(i)->setEnabled(i <= stored);
        }
    });
}

void ChannelCalibration::manualStop()
{
    setRunState(m_Session.storedPoints() > 0 ? RunState::Continue : RunState::Start);
    startWorker([this] {
        m_Session.closeAll();
        onGui([this] {
            setBusy(false);
            for (int i = 0; i < 9; ++i) {
                m_TempButtons.at(i)->setText(tr("温度点") + QString::number(i + 1));
                m_TempButtons.at(i)->setEnabled(false);
            }
        });
    });
}

void ChannelCalibration::therad_Collection(int point)
{
    const bool hadData = point < m_Session.storedPoints();
    onGui([this, point] {
        pushButton_Open->setEnabled(false);
        pushButton_Close->setEnabled(false);
        for (int i = 0; i < 9; ++i)
            if (i != point)
                m_TempButtons.at(i)->setEnabled(false);
    });
    const bool ok = m_Session.manualPoint(point, [this, point](int next) {
        onGui([this, point, next] { m_TempButtons.at(point)->setText(tr("批次") + QString::number(next)); });
    });
    const int stored = m_Session.storedPoints();
    onGui([this, point, ok, hadData, stored] {
        pushButton_Open->setEnabled(true);
        pushButton_Close->setEnabled(true);
        for (int i = 0; i < 9; ++i)
            m_TempButtons.at(i)->setEnabled(i <= stored);
        if (ok || hadData) {
            m_TempButtons.at(point)->setText(tr("重采"));
            if (point + 1 < 9)
                m_TempButtons.at(point + 1)->setEnabled(true);
        } else {
            m_TempButtons.at(point)->setText(tr("温度点") + QString::number(point + 1));
        }
    });
}

// --- points, end, save -------------------------------------------------------------

void ChannelCalibration::Temp1_Clicked() { tempClicked(1); }
void ChannelCalibration::Temp2_Clicked() { tempClicked(2); }
void ChannelCalibration::Temp3_Clicked() { tempClicked(3); }
void ChannelCalibration::Temp4_Clicked() { tempClicked(4); }
void ChannelCalibration::Temp5_Clicked() { tempClicked(5); }
void ChannelCalibration::Temp6_Clicked() { tempClicked(6); }
void ChannelCalibration::Temp7_Clicked() { tempClicked(7); }
void ChannelCalibration::Temp8_Clicked() { tempClicked(8); }
void ChannelCalibration::Temp9_Clicked() { tempClicked(9); }

void ChannelCalibration::tempClicked(int point)
{
    if (m_Automatic) {
        MessageBox::information(this, tr("提示"), tr("当前为自动模式，此按钮不可用!"));
        return;
    }
    if (!m_Reference) {
        double value = 0;
        if (!MessageBox::getDouble(this, tr("标准"), tr("请输入标准温度："), 0.1, -120, 3000, 4, &value))
            return;
        // Written before the worker may see the batch wait cleared.
        m_Session.ManualReference = value;
    }
    if (m_Session.ManualBatchWait) {
        m_Session.ManualBatchWait = false;
        return;
    }
    if (m_Workers.load() > 0)
        return;
    startWorker([this, point] { therad_Collection(point - 1); });
}

void ChannelCalibration::Close_Clicked()
{
    const QString title = tr("提示");
    // A run whose result was set aside ("继续" with data) can be saved again.
    if (m_State == RunState::Start || (m_State == RunState::Continue && m_Session.storedPoints() == 0)) {
        MessageBox::information(this, title, tr("请先开始校准!"));
        return;
    }
    if (m_Session.storedPoints() == 0) {
        MessageBox::information(this, title, tr("当前没有校准数据!"));
        return;
    }
    if (m_State == RunState::Pause) {
        m_Session.Running = false;
        if (!m_Automatic)
            manualStop();
    }
    // The save step reads the run data only once the worker has let go of them.
    waitForWorkers();
    Save_slots();
}

void ChannelCalibration::Save_slots()
{
    const CalibrationRun run = runData();
    const CalibrationSave::Report report = CalibrationSave::evaluate(run);
    if (report.outcome != CalibrationSave::Outcome::Saved) {
        MessageBox::information(this, tr("提示"), CalibrationSave::message(report));
        return;
    }
    // Nothing is written before the operator has seen how the fit matches.
    const double limit = m_Options.value(QStringLiteral("ResidualLimit")).toDouble();
    if (!CalibrationResultDialog::ask(this, report, m_ChannelMode, limit)) {
        plainTextEdit_Data->appendPlainText(tr("校准结果已放弃，未写入任何数据；按“结束”可再次查看并写入。"));
        if (m_State != RunState::Pause)
            setRunState(RunState::Continue);
        return;
    }
    const CalibrationSave::Outcome outcome = CalibrationSave::write(run, report);
    if (outcome != CalibrationSave::Outcome::Saved) {
        MessageBox::information(this, tr("提示"), CalibrationSave::message(outcome));
        return;
    }
    plainTextEdit_Data->appendPlainText(CalibrationSave::message(outcome));
    for (const ChannelCheck& c : report.channels)
        qInfo().noquote() << "calibration saved:" << c.Config << c.Number << "max residual (mK)" << c.MaxResidualMk
                          << "as found (mK)" << c.MaxAsFoundMk;

    // The run is written: the page is ready for the next one.
    m_Session.setRunData({}, {});
    m_Session.clearSamples();
    if (m_State != RunState::Pause)
        setRunState(RunState::Start);
    WriteConfig_slots();
    QList<Tool::Struct_AcquisitionDevice> calibrated;
    for (int d = 0; d < 3; ++d)
        calibrated << (m_Session.Calibrated.value(d).isEmpty() ? Tool::Struct_AcquisitionDevice()
                                                               : m_Session.Entries.value(d));
    reprogramLoggers(calibrated);
}

void ChannelCalibration::reprogramLoggers(const QList<Tool::Struct_AcquisitionDevice>& devices)
{
    // The loggers were programmed for the run (M = 1, B = 0, raw units):
    // they get their configuration back, with the new coefficients.
    struct Job
    {
        int position;
        Tool::Struct_AcquisitionDevice entry;
        QList<Device::Channel> channels;
        Collection* logger; // made here: its link must live on this thread
    };
    QList<Job> jobs;
    for (int d = 0; d < devices.size(); ++d) {
        const Tool::Struct_AcquisitionDevice entry = devices.at(d);
        if (entry.ChannelConfig.isEmpty())
            continue;
        QList<Tool::Struct_ChannelConfig> found;
        if (!kModels.contains(entry.Mode) || !Tool::getChannelConfig(found, entry.ChannelConfig) || found.isEmpty())
            continue;
        Collection* logger = ChannelModel::createCollection(entry.Mode);
        if (logger)
            jobs << Job{d, entry, ChannelModel::toChannels(found.first()), logger};
    }
    if (jobs.isEmpty())
        return;
    startWorker([this, jobs] {
        // The run's own worker may still be closing its links to the loggers.
        while (m_Workers.load() > 1)
            QThread::msleep(20);
        for (const Job& job : jobs) {
            Collection* logger = job.logger;
            bool ok = logger->Open(job.entry.SignalMode, job.entry.IP_COM, job.entry.Port_BaudRate);
            ok = ok && logger->SetChannels(job.entry.ScanRate, job.channels);
            if (logger->IsOpen())
                logger->Close();
            const QString name = tr("采集设备") + QString::number(job.position + 1);
            if (ok) {
                emit PlainTextEdit_signals(name + tr("已下发更新后的通道参数。"));
                qInfo().noquote() << "calibration: logger" << job.entry.Number << "reprogrammed";
            } else {
                qWarning().noquote() << "calibration: logger" << job.entry.Number << "not reprogrammed";
                emit MessageBox_signals(tr("提示"), name + tr("无法连接，更新后的通道参数未下发；系数已保存，"
                                                             "请在采集设备页面测试该设备。"));
            }
        }
        // Deleted on their own thread once nothing uses them.
        onGui([jobs] {
            for (const Job& job : jobs)
                delete job.logger;
        });
    });
}

void ChannelCalibration::WriteConfig_slots()
{
    // The selectors as the user left them come back after a restart.
    m_Field.Kind = Vocabulary::current(comboBox_Field);
    m_Criteria.Kind = Vocabulary::current(comboBox_Criteria);
    QList<QPair<QString, QString>> keys;
    for (int i = 0; i < 3; ++i)
        keys << qMakePair(QStringLiteral("CollectionName%1").arg(i + 1), m_Collections.at(i)->currentText());
    for (int i = 2; i <= 3; ++i)
        keys << qMakePair(QStringLiteral("CollectionState%1").arg(i),
                          QString::fromLatin1(m_CollectionBoxes.at(i - 1)->isChecked() ? "true" : "false"));
    keys << qMakePair(QStringLiteral("FieldName"), m_Field.Kind) << qMakePair(QStringLiteral("FieldMode"), m_Field.Mode)
         << qMakePair(QStringLiteral("FieldIP"), m_Field.Address) << qMakePair(QStringLiteral("FieldPort"), m_Field.Port)
         << qMakePair(QStringLiteral("CriteriaName"), m_Criteria.Kind)
         << qMakePair(QStringLiteral("CriteriaMode"), m_Criteria.Mode)
         << qMakePair(QStringLiteral("CriteriaIP"), m_Criteria.Address)
         << qMakePair(QStringLiteral("CriteriaPort"), m_Criteria.Port);
    for (int i = 0; i < m_SelectedNumbers.size(); ++i)
        keys << qMakePair(QStringLiteral("ChannelNumber%1").arg(i + 1), m_SelectedNumbers.at(i).join(QLatin1Char(',')));
    keys << qMakePair(QStringLiteral("FieldDelay"), lineEdit_Delay->text())
         << qMakePair(QStringLiteral("ChannelMax"), lineEdit_Max->text());
    for (int i = 0; i < 9; ++i)
        keys << qMakePair(QStringLiteral("EditTemp%1").arg(i + 1), m_TempEdits.at(i)->text());
    for (int i = 0; i < 9; ++i)
        keys << qMakePair(QStringLiteral("CheckTemp%1").arg(i + 1),
                          QString::fromLatin1(m_TempBoxes.at(i)->isChecked() ? "true" : "false"));
    for (int i = 0; i < 9; ++i)
        keys << qMakePair(QStringLiteral("CheckPoint%1").arg(i + 1),
                          QString::fromLatin1(m_CheckBoxes.at(i)->isChecked() ? "true" : "false"));
    const QMap<int, QString> notes = m_Session.notes();
    const QMap<int, double> brackets = m_Session.brackets();
    for (int i = 0; i < 9; ++i) {
        keys << qMakePair(QStringLiteral("PointNote%1").arg(i + 1), notes.value(i));
        keys << qMakePair(QStringLiteral("Bracket%1").arg(i + 1),
                          brackets.contains(i) ? QString::number(brackets.value(i), 'f', 3) : QString());
    }
    const QList<QStringList> data = m_Session.data();
    keys << qMakePair(QStringLiteral("StartTime"), m_StartTime) << qMakePair(QStringLiteral("ChannelName"), m_ChannelName)
         << qMakePair(QStringLiteral("ChannelMode"), m_ChannelMode)
         << qMakePair(QStringLiteral("CalibrationCriteria"), m_Session.criteria().join(QLatin1Char(';')));
    for (int i = 0; i < 9; ++i)
        keys << qMakePair(QStringLiteral("CalibrationData%1").arg(i + 1), data.value(i).join(QLatin1Char(';')));
    for (const QString& key : CalibrationOptionsDialog::keys())
        keys << qMakePair(key, m_Options.value(key));
    // One transaction: a crash leaves the state of the last point or this one,
    // never a reference without its readings.
    QList<Tool::Struct_CalibrationSample> samples = m_Session.samples();
    for (Tool::Struct_CalibrationSample& sample : samples)
        sample.StartTime = m_StartTime;
    if (!Tool::putRunState(keys, samples))
        qWarning().noquote() << "calibration: the run state could not be stored";
}

void ChannelCalibration::PlainTextEdit_slots(QString text)
{
    plainTextEdit_Data->appendPlainText(text);
}

void ChannelCalibration::MessageBox_slots(QString title, QString text)
{
    MessageBox::information(this, title, text);
    m_Session.OperatorWait = false;
}
