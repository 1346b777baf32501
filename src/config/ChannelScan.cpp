#include "ChannelScan.h"

#include "Device.h"
#include "MessageBox.h"
#include "Vocabulary.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QThread>
#include <QVBoxLayout>

namespace {
const QString kSerial = QStringLiteral("串口");
const QString kNetwork = QStringLiteral("网络");
const QString kBluetooth = QStringLiteral("蓝牙");
const QStringList kBaudRates{"4800", "9600", "14400", "19200", "38400", "56000", "57600", "115200"};
} // namespace

ChannelScan::ChannelScan(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ChannelScan"));
    setWindowTitle(tr("通讯"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto* outer = new QVBoxLayout(this);
    auto* group = new QGroupBox(tr("操作区"), this);
    group->setObjectName(QStringLiteral("groupBox"));
    outer->addWidget(group);
    auto* grid = new QGridLayout(group);

    grid->addWidget(new QLabel(tr("通讯方式："), group), 0, 0);
    comboBox_Communication = new QComboBox(group);
    comboBox_Communication->setObjectName(QStringLiteral("comboBox_Communication"));
    grid->addWidget(comboBox_Communication, 0, 1);

    label_Com = new QLabel(tr("串口号："), group);
    label_Com->setObjectName(QStringLiteral("label_Com"));
    lineEdit_Com = new QLineEdit(QStringLiteral("192.168.1.1"), group);
    lineEdit_Com->setObjectName(QStringLiteral("lineEdit_Com"));
    comboBox_Com = new QComboBox(group);
    comboBox_Com->setObjectName(QStringLiteral("comboBox_Com"));
    // Editable, so a port the system does not list (a pseudo-terminal, a
    // thermometer not yet in range) can be typed.
    comboBox_Com->setEditable(true);
    comboBox_Com->setInsertPolicy(QComboBox::NoInsert);
    comboBox_Com->setMinimumWidth(180);
    grid->addWidget(label_Com, 1, 0);
    grid->addWidget(lineEdit_Com, 1, 1);
    grid->addWidget(comboBox_Com, 1, 1);
    pushButton_Search = new QPushButton(tr("重新搜索"), group);
    pushButton_Search->setObjectName(QStringLiteral("pushButton_Search"));
    pushButton_Search->hide();
    grid->addWidget(pushButton_Search, 1, 2);

    label_BaudRate = new QLabel(tr("波特率："), group);
    label_BaudRate->setObjectName(QStringLiteral("label_BaudRate"));
    lineEdit_BaudRate = new QLineEdit(QStringLiteral("5980"), group);
    lineEdit_BaudRate->setObjectName(QStringLiteral("lineEdit_BaudRate"));
    lineEdit_BaudRate->setMaxLength(6);
    // TCP ports end at 65535; a larger number would wrap to another port.
    lineEdit_BaudRate->setValidator(new QRegularExpressionValidator(Vocabulary::tcpPortPattern(), lineEdit_BaudRate));
    comboBox_BaudRate = new QComboBox(group);
    comboBox_BaudRate->setObjectName(QStringLiteral("comboBox_BaudRate"));
    grid->addWidget(label_BaudRate, 2, 0);
    grid->addWidget(lineEdit_BaudRate, 2, 1);
    grid->addWidget(comboBox_BaudRate, 2, 1);

    label_Progress = new QLabel(group);
    label_Progress->setObjectName(QStringLiteral("label_Progress"));
    label_Progress->hide();
    grid->addWidget(label_Progress, 3, 0, 1, 3);

    auto* buttons = new QHBoxLayout;
    pushButton_Scan = new QPushButton(tr("测试"), group);
    pushButton_Scan->setObjectName(QStringLiteral("pushButton_Scan"));
    pushButton_Cancel = new QPushButton(tr("取消"), group);
    pushButton_Cancel->setObjectName(QStringLiteral("pushButton_Cancel"));
    pushButton_Cancel->hide();
    pushButton_OK = new QPushButton(tr("确定"), group);
    pushButton_OK->setObjectName(QStringLiteral("pushButton_OK"));
    buttons->addStretch();
    buttons->addWidget(pushButton_Scan);
    buttons->addWidget(pushButton_Cancel);
    buttons->addWidget(pushButton_OK);
    grid->addLayout(buttons, 4, 0, 1, 3);

    // The slot takes the stored link kind, not the text shown.
    connect(comboBox_Communication, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int) { cb_Communication_clicked(Vocabulary::current(comboBox_Communication)); });
    connect(pushButton_Scan, &QPushButton::clicked, this, &ChannelScan::pt_Scan_clicked);
    connect(pushButton_OK, &QPushButton::clicked, this, &ChannelScan::pt_OK_clicked);
    connect(pushButton_Cancel, &QPushButton::clicked, this, &ChannelScan::pt_Cancel_clicked);
    connect(pushButton_Search, &QPushButton::clicked, this, &ChannelScan::pt_Search_clicked);
    // Emitted by the test worker; queued to this thread.
    connect(this, &ChannelScan::MessageBox_signals, this, &ChannelScan::MessageBox_slots, Qt::QueuedConnection);
    connect(this, &ChannelScan::Attempt_signals, this, &ChannelScan::Attempt_slots, Qt::QueuedConnection);
}

ChannelScan::~ChannelScan()
{
    // The dialog refuses to close during a test; should its owner go anyway,
    // the driver must outlive the worker, whose link events run on this thread.
    disconnect(this, &ChannelScan::MessageBox_signals, nullptr, nullptr);
    disconnect(this, &ChannelScan::Attempt_signals, nullptr, nullptr);
    if (m_Cancel)
        *m_Cancel = true; // ends it at its next wait
    while (m_Worker && m_Worker->isRunning()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
        QThread::msleep(5);
    }
}

bool ChannelScan::isTesting() const
{
    return m_Testing;
}

void ChannelScan::setRecord(SourceLinks::Record* record)
{
    m_Record = record;
    m_Driver.reset(SourceLinks::createDriver(record->Kind));
    comboBox_Communication->blockSignals(true);
    Vocabulary::fill(comboBox_Communication, SourceLinks::linkKinds(record->Kind));
    const int at = Vocabulary::find(comboBox_Communication, record->Mode);
    comboBox_Communication->setCurrentIndex(at < 0 ? 0 : at);
    comboBox_Communication->blockSignals(false);
    cb_Communication_clicked(Vocabulary::current(comboBox_Communication));

    const QString mode = Vocabulary::current(comboBox_Communication);
    if (mode != record->Mode)
        return;
    if (mode == kNetwork) {
        lineEdit_Com->setText(record->Address);
        lineEdit_BaudRate->setText(record->Port);
    } else if (mode == kSerial) {
        comboBox_Com->setCurrentText(record->Address);
        comboBox_BaudRate->setCurrentText(record->Port);
    } else if (mode == kBluetooth) {
        comboBox_Com->setCurrentText(record->Address);
    }
}

void ChannelScan::cb_Communication_clicked(QString kind)
{
    pushButton_Search->setVisible(kind == kBluetooth);
    if (kind == kNetwork) {
        label_Com->setText(tr("IP地址："));
        label_BaudRate->setText(tr("端口号："));
        label_BaudRate->show();
        lineEdit_Com->show();
        lineEdit_BaudRate->show();
        comboBox_Com->hide();
        comboBox_BaudRate->hide();
        return;
    }
    comboBox_Com->clear();
    comboBox_BaudRate->clear();
    if (kind == kBluetooth) {
        label_Com->setText(tr("设备名："));
        label_BaudRate->setText(tr("空："));
        label_BaudRate->hide();
        lineEdit_Com->hide();
        lineEdit_BaudRate->hide();
        comboBox_BaudRate->hide();
        comboBox_Com->show();
        searchThermometers();
        return;
    }
    label_Com->setText(tr("串口号："));
    label_BaudRate->setText(tr("波特率："));
    label_BaudRate->show();
    comboBox_Com->show();
    comboBox_BaudRate->show();
    lineEdit_Com->hide();
    lineEdit_BaudRate->hide();
    comboBox_Com->addItems(Device::SerialPortNames());
    comboBox_BaudRate->addItems(kBaudRates);
}

void ChannelScan::searchThermometers()
{
    if (!m_Driver)
        return;
#if defined(Q_OS_WIN) && defined(Q_CC_MINGW)
    // Qt Bluetooth's LE backend on Windows is built with MSVC only; under
    // MinGW it never finds a device, so say why instead of "not available".
    MessageBox::information(this, tr("提示"), tr("本版本不支持蓝牙参考温度计"));
    return;
#endif
    const QString shown = comboBox_Com->currentText();
    QStringList names;
    if (!m_Driver->PortList(names)) {
        // No adapter, or its radio off: say so rather than list nothing.
        MessageBox::information(this, tr("提示"), tr("蓝牙不可用，请检查蓝牙适配器！"));
        return;
    }
    comboBox_Com->clear();
    comboBox_Com->addItems(names);
    if (!shown.isEmpty())
        comboBox_Com->setCurrentText(shown);
}

void ChannelScan::pt_Search_clicked()
{
    if (isTesting())
        return;
    pushButton_Search->setEnabled(false);
    searchThermometers();
    pushButton_Search->setEnabled(true);
}

void ChannelScan::captureLink()
{
    if (!m_Record)
        return;
    const QString mode = Vocabulary::current(comboBox_Communication);
    m_Record->Mode = mode;

    if (mode == kNetwork) {
        m_Record->Address = lineEdit_Com->text();
        m_Record->Port = lineEdit_BaudRate->text();
    } else if (mode == kSerial) {
        m_Record->Address = comboBox_Com->currentText();
        m_Record->Port = comboBox_BaudRate->currentText();
    } else if (mode == kBluetooth) {
        m_Record->Address = comboBox_Com->currentText();
        m_Record->Port.clear();
    }
}

void ChannelScan::pt_Scan_clicked()
{
    if (!m_Record || isTesting())
        return;
    captureLink();
    const QString mode = m_Record->Mode;
    if ((mode != kNetwork && mode != kSerial && mode != kBluetooth) || !m_Driver) {
        MessageBox::information(this, tr("提示"), tr("当前模式无需测试！"));
        return;
    }
    if (mode == kNetwork && !lineEdit_BaudRate->hasAcceptableInput()) {
        // A port beyond 65535 (a stored one passes no validator) would wrap.
        MessageBox::information(this, tr("提示"), tr("连接信息错误！"));
        return;
    }
    pushButton_Scan->setEnabled(false);
    pushButton_Search->setEnabled(false);
    m_Testing = true;
    m_Cancel = std::make_shared<std::atomic<bool>>(false);
    if (mode == kBluetooth) {
        label_Progress->clear();
        label_Progress->show();
        pushButton_Cancel->setEnabled(true);
        pushButton_Cancel->show();
    }
    Device* driver = m_Driver.get();
    const SourceLinks::Record link = *m_Record;
    SourceLinks::TestControl control;
    control.attempt = [this](int attempt, int attempts) { emit Attempt_signals(attempt, attempts); };
    control.cancelled = [cancel = m_Cancel] { return cancel->load(); };
    // The worker sees the driver, a copy of the link and the cancel flag
    // only, and reports through the queued signals.
    QThread* worker = QThread::create([this, driver, link, control]() {
        QString text;
        QString serial;
        switch (SourceLinks::runTest(driver, link, control, &serial)) {
        case SourceLinks::TestResult::Passed:
            // Which instrument answered: the right address may reach the wrong one.
            text = tr("测试成功！") + QLatin1Char('\n') + tr("序列号：") + serial;
            break;
        case SourceLinks::TestResult::NoSerialNumber:
            text = tr("获取序列号失败！");
            break;
        case SourceLinks::TestResult::NotConnected:
            text = tr("设备连接失败！");
            break;
        case SourceLinks::TestResult::Cancelled:
            text = tr("测试已取消！");
            break;
        }
        emit MessageBox_signals(tr("提示"), text);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    m_Worker = worker;
    worker->start();
}

void ChannelScan::MessageBox_slots(QString title, QString text)
{
    m_Testing = false;
    m_Cancel.reset();
    pushButton_Scan->setEnabled(true);
    pushButton_Search->setEnabled(true);
    pushButton_Cancel->hide();
    label_Progress->hide();
    MessageBox::information(this, title, text);
}

void ChannelScan::Attempt_slots(int attempt, int attempts)
{
    if (!m_Testing || (m_Cancel && m_Cancel->load()))
        return;
    label_Progress->setText(tr("正在连接：第 %1 次，共 %2 次").arg(attempt).arg(attempts));
}

void ChannelScan::pt_Cancel_clicked()
{
    if (!m_Cancel)
        return;
    *m_Cancel = true;
    pushButton_Cancel->setEnabled(false);
    label_Progress->setText(tr("正在取消…"));
}

void ChannelScan::pt_OK_clicked()
{
    if (isTesting())
        return;
    captureLink();
    accept();
}

void ChannelScan::reject()
{
    if (isTesting())
        return;
    QDialog::reject();
}

void ChannelScan::closeEvent(QCloseEvent* event)
{
    if (isTesting()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}
