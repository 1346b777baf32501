#include "ParametersMode.h"

#include "AcquisitionRules.h"
#include "MessageBox.h"
#include "SystemContext.h"
#include "Tool.h"
#include "Vocabulary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

using namespace AcquisitionRules;

namespace {
template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

const QString TimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");
} // namespace

ParametersMode::ParametersMode(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ParametersMode"));

    label_Mode = named(new QLabel(this), "label_Mode");
    comboBox_Mode = named(new QComboBox(this), "comboBox_Mode");
    label_Project = named(new QLabel(this), "label_Project");
    comboBox_Project = named(new QComboBox(this), "comboBox_Project");
    comboBox_Project->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
    label_Device = named(new QLabel(this), "label_Device");
    comboBox_Device = named(new QComboBox(this), "comboBox_Device");
    comboBox_Device->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});

    QGroupBox* groups[3];
    QLabel* nameLabels[3];
    QLineEdit* names[3];
    QLabel* deviceLabels[3];
    QComboBox* devices[3];
    for (int k = 0; k < 3; ++k) {
        const QByteArray n = QByteArray::number(k + 1);
        groups[k] = named(new QGroupBox(this), QByteArray("groupBox_Project" + n).constData());
        nameLabels[k] = named(new QLabel(groups[k]), QByteArray("label_Name" + n).constData());
        names[k] = named(new QLineEdit(groups[k]), QByteArray("lineEdit_Name" + n).constData());
        deviceLabels[k] = named(new QLabel(groups[k]), QByteArray("label_Device" + n).constData());
        devices[k] = named(new QComboBox(groups[k]), QByteArray("comboBox_Device" + n).constData());
        auto* form = new QFormLayout(groups[k]);
        form->addRow(nameLabels[k], names[k]);
        form->addRow(deviceLabels[k], devices[k]);
    }
    groupBox_Project1 = groups[0];
    groupBox_Project2 = groups[1];
    groupBox_Project3 = groups[2];
    label_Name1 = nameLabels[0];
    label_Name2 = nameLabels[1];
    label_Name3 = nameLabels[2];
    lineEdit_Name1 = names[0];
    lineEdit_Name2 = names[1];
    lineEdit_Name3 = names[2];
    label_Device1 = deviceLabels[0];
    label_Device2 = deviceLabels[1];
    label_Device3 = deviceLabels[2];
    comboBox_Device1 = devices[0];
    comboBox_Device2 = devices[1];
    comboBox_Device3 = devices[2];

    label_Start = named(new QLabel(this), "label_Start");
    dateTimeEdit_Start = named(new QDateTimeEdit(QDateTime::currentDateTime(), this), "dateTimeEdit_Start");
    dateTimeEdit_Start->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    label_End = named(new QLabel(this), "label_End");
    dateTimeEdit_End = named(new QDateTimeEdit(QDateTime::currentDateTime(), this), "dateTimeEdit_End");
    dateTimeEdit_End->setDisplayFormat(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    // An offline run is matched to the planned start within a second: the
    // user must start the scan on the instrument then.
    label_OfflineHint = named(new QLabel(this), "label_OfflineHint");
    label_OfflineHint->setWordWrap(true);
    label_OfflineHint->setVisible(false);
    checkBox_SaveStart = named(new QCheckBox(this), "checkBox_SaveStart");
    checkBox_SaveStart->setChecked(true);
    pushButton_OK = named(new QPushButton(this), "pushButton_OK");

    lineEdit_Name2->setEnabled(false);
    lineEdit_Name3->setEnabled(false);
    comboBox_Device2->setEnabled(false);
    comboBox_Device3->setEnabled(false);

    auto* top = new QFormLayout;
    top->addRow(label_Mode, comboBox_Mode);
    top->addRow(label_Project, comboBox_Project);
    top->addRow(label_Device, comboBox_Device);
    auto* times = new QFormLayout;
    times->addRow(label_Start, dateTimeEdit_Start);
    times->addRow(label_End, dateTimeEdit_End);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(checkBox_SaveStart);
    buttons->addStretch(1);
    buttons->addWidget(pushButton_OK);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    for (auto* g : groups)
        layout->addWidget(g);
    layout->addLayout(times);
    layout->addWidget(label_OfflineHint);
    layout->addLayout(buttons);

    auto onText = [](QComboBox* box, auto slot) {
        return [box, slot](int) { slot(Vocabulary::current(box)); };
    };
    connect(comboBox_Mode, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            onText(comboBox_Mode, [this](const QString& t) { cb_Mode_clicked(t); }));
    connect(comboBox_Project, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            onText(comboBox_Project, [this](const QString& t) { cb_Project_clicked(t); }));
    connect(comboBox_Device, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            onText(comboBox_Device, [this](const QString& t) { cb_Device_clicked(t); }));
    for (auto* box : devices)
        connect(box, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                &ParametersMode::updateModeList);
    connect(pushButton_OK, &QPushButton::clicked, this, &ParametersMode::pt_OK_clicked);

    retranslateUi();
}

void ParametersMode::retranslateUi()
{
    setWindowTitle(tr("采集参数"));
    label_Mode->setText(tr("采集方式："));
    label_Project->setText(tr("项目个数："));
    label_Device->setText(tr("采集器个数："));
    groupBox_Project1->setTitle(tr("项目信息1："));
    groupBox_Project2->setTitle(tr("项目信息2："));
    groupBox_Project3->setTitle(tr("项目信息3："));
    for (auto* l : {label_Name1, label_Name2, label_Name3})
        l->setText(tr("项目名称："));
    label_Device1->setText(tr("采集器1："));
    label_Device2->setText(tr("采集器2："));
    label_Device3->setText(tr("采集器3："));
    label_Start->setText(tr("采集开始时间："));
    label_End->setText(tr("采集结束时间："));
    label_OfflineHint->setText(tr("脱机采集：请在采集开始时间前后1秒内在仪器上启动扫描，否则下载的数据无法保存。"));
    checkBox_SaveStart->setText(tr("记录数据"));
    checkBox_SaveStart->setToolTip(tr("不勾选时在线采集只显示数据和报警，不保存项目和数据"));
    Vocabulary::retranslate(comboBox_Mode);
    pushButton_OK->setText(tr("下一步"));
    m_infoTitle = tr("提示");
    m_warningTitle = tr("警告");
}

void ParametersMode::setContext(SystemContext* context)
{
    m_context = context;
    if (!m_context)
        return;
    m_candidates = m_context->ConnectedDevices;
    for (auto* box : {comboBox_Device1, comboBox_Device2, comboBox_Device3}) {
        box->clear();
        for (const auto& d : m_candidates)
            box->addItem(deviceText(d));
    }
    // Filling the empty combo selects "在线", which runs the mode change.
    Vocabulary::fill(comboBox_Mode, modeList(chosenDevices()));
    updateModeList();
}

void ParametersMode::cb_Mode_clicked(const QString& mode)
{
    QList<Tool::Struct_AcquisitionDevice> candidates;
    if (mode == importMode()) {
        QList<Tool::Struct_AcquisitionDevice> all;
        if (Tool::getAcquisitionDevice(all, QString()))
            candidates = all;
    } else if (m_context) {
        candidates = m_context->ConnectedDevices;
    }
    m_candidates = candidates;
    // Import and offline download exist to store data; only an online run may just be watched.
    checkBox_SaveStart->setEnabled(mode == onlineMode());
    label_OfflineHint->setVisible(mode == offlineMode());
    for (auto* box : {comboBox_Device1, comboBox_Device2, comboBox_Device3}) {
        const QSignalBlocker block(box);
        box->clear();
        for (const auto& d : m_candidates)
            box->addItem(deviceText(d));
    }
    updateModeList();
}

void ParametersMode::cb_Project_clicked(const QString& count)
{
    const int n = count.toInt();
    lineEdit_Name2->setEnabled(n >= 2);
    lineEdit_Name3->setEnabled(n >= 3);
}

void ParametersMode::cb_Device_clicked(const QString& count)
{
    const int m = count.toInt();
    comboBox_Device2->setEnabled(m >= 2);
    comboBox_Device3->setEnabled(m >= 3);
    updateModeList();
}

QList<Tool::Struct_AcquisitionDevice> ParametersMode::chosenDevices() const
{
    QList<Tool::Struct_AcquisitionDevice> out;
    const int m = comboBox_Device->currentText().toInt();
    const QComboBox* boxes[3] = {comboBox_Device1, comboBox_Device2, comboBox_Device3};
    for (int k = 0; k < m && k < 3; ++k) {
        const int index = boxes[k]->currentIndex();
        if (index >= 0 && index < m_candidates.size())
            out << m_candidates.at(index);
    }
    return out;
}

void ParametersMode::updateModeList()
{
    // Only the offline item is added or withdrawn, and never while it is the
    // current mode, so the mode change never runs from here.
    const int m = comboBox_Device->currentText().toInt();
    const auto chosen = chosenDevices();
    const bool wanted = chosen.size() == m && offlineAvailable(chosen);
    const int index = Vocabulary::find(comboBox_Mode, offlineMode());
    if (wanted && index < 0 && comboBox_Mode->count() > 0)
        Vocabulary::addItem(comboBox_Mode, offlineMode());
    else if (!wanted && index >= 0 && comboBox_Mode->currentIndex() != index)
        comboBox_Mode->removeItem(index);
}

bool ParametersMode::checkNames(const QStringList& names)
{
    for (int k = 0; k < names.size(); ++k) {
        const QString& name = names.at(k);
        if (name.isEmpty()) {
            MessageBox::information(this, m_warningTitle, tr("项目信息未设置！"));
            return false;
        }
        for (int j = 0; j < k; ++j) {
            if (names.at(j) == name) {
                MessageBox::information(this, m_warningTitle, tr("项目名称相同！"));
                return false;
            }
        }
        QList<Tool::Struct_Parameters> existing;
        if (!Tool::getParameters(existing, name)) {
            MessageBox::information(this, m_warningTitle, tr("数据库连接失败！"));
            return false;
        }
        if (!existing.isEmpty()) {
            MessageBox::information(this, m_warningTitle, tr("项目名称已存在！"));
            return false;
        }
    }
    return true;
}

void ParametersMode::pt_OK_clicked()
{
    if (!m_context)
        return;
    const QString mode = Vocabulary::current(comboBox_Mode);
    const int n = comboBox_Project->currentText().toInt();

    const int m = comboBox_Device->currentText().toInt();
    const QDateTime start = dateTimeEdit_Start->dateTime();
    const QDateTime end = dateTimeEdit_End->dateTime();

    // Whole seconds: what the user sees is what is compared.
    if (mode == importMode() && start.toSecsSinceEpoch() >= end.toSecsSinceEpoch()) {
        MessageBox::information(this, m_warningTitle, tr("开始采集时间大于结束采集时间！"));
        return;
    }

    switch (checkDevices(m, comboBox_Device1->currentText(), comboBox_Device2->currentText(),
                         comboBox_Device3->currentText())) {
    case DeviceMissing:
        MessageBox::information(this, m_warningTitle, tr("未选择采集设备！"));
        return;
    case DevicesEqual:
        MessageBox::information(this, m_warningTitle, tr("采集设备不能相同！"));
        return;
    case DevicesOk:
        break;
    }

    const QStringList allNames{lineEdit_Name1->text(), lineEdit_Name2->text(), lineEdit_Name3->text()};
    const QStringList names = allNames.mid(0, n);
    if (!checkNames(names))
        return;

    const QList<Tool::Struct_AcquisitionDevice> devices = chosenDevices();
    if (devices.size() != m) { // a combo index outside the candidates; cannot normally happen
        MessageBox::information(this, m_warningTitle, tr("未选择采集设备！"));
        return;
    }
    if (mode == offlineMode() && !offlineAvailable(devices)) {
        MessageBox::information(this, m_warningTitle, tr("所选采集设备不支持脱机采集！"));
        return;
    }

    // Later steps index devices and configurations together: every device
    // needs its configuration, or the set-up is refused.
    QList<Tool::Struct_ChannelConfig> configs;
    for (const auto& d : devices) {
        QList<Tool::Struct_ChannelConfig> found;
        if (!d.ChannelConfig.isEmpty() && !Tool::getChannelConfig(found, d.ChannelConfig)) {
            MessageBox::information(this, m_warningTitle, tr("数据库连接失败！"));
            return;
        }
        if (found.isEmpty()) {
            MessageBox::information(this, m_warningTitle,
                                tr("采集设备%1的通道配置“%2”不存在，请重新设置该设备！")
                                    .arg(deviceText(d), d.ChannelConfig));
            return;
        }
        configs << found.first();
    }

    if (m != 1)
        MessageBox::information(this, m_infoTitle, tr("采集设备参数将以第一台设备为准！"));

    m_context->Mode = mode;
    m_context->SaveStart = mode != onlineMode() || checkBox_SaveStart->isChecked();

    m_context->StartTime = start.toString(TimeFormat);
    m_context->EndTime = end.toString(TimeFormat);
    m_context->ProjectName = names;
    m_context->AcquisitionDevice = devices;
    m_context->ChannelConfig = configs;
    accept();
}
