#include "AcquisitionDevice.h"

#include "ChannelModel.h"
#include "Collection.h"
#include "DeviceRegistry.h"
#include "MessageBox.h"
#include "ModalRun.h"
#include "ParametersTemp.h"
#include "QWaiting.h"
#include "SystemContext.h"
#include "Tool.h"
#include "Vocabulary.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDebug>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>

namespace {
const char* const kRed = "background-color:rgb(255, 0, 0)";
const char* const kGreen = "background-color:rgb(0, 255, 0)";

enum DeviceColumn { ColNumber, ColState, ColMode, ColSerial, ColInterval, ColRate, ColConfig, ColLink, ColAddress,
                    ColPort, DeviceColumns };
} // namespace

AcquisitionDevice::AcquisitionDevice(QWidget* parent) : ToolPage(parent)
{
    setObjectName(QStringLiteral("AcquisitionDevice"));
    setWindowTitle(QStringLiteral("AcquisitionDevice"));
    buildUi();
    retranslateUi();

    connect(this, &AcquisitionDevice::TestDone_signals, this, &AcquisitionDevice::TestDone_slots,
            Qt::QueuedConnection);
    connect(this, &AcquisitionDevice::SetDialog_signals, this, &AcquisitionDevice::SetDialog_slots,
            Qt::QueuedConnection);
    connect(comboBox_Mode, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int) { cb_Mode_clicked(comboBox_Mode->currentText()); });
    connect(comboBox_Communication, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int) { cb_Communication_clicked(Vocabulary::current(comboBox_Communication)); });
    connect(pushButton_Test, &QPushButton::clicked, this, &AcquisitionDevice::pt_Test_clicked);
    connect(pushButton_Save, &QPushButton::clicked, this, &AcquisitionDevice::pt_Save_clicked);
    connect(pushButton_Delete, &QPushButton::clicked, this, &AcquisitionDevice::pt_Delete_clicked);
    connect(tableWidget_AcquisitionList, &QTableWidget::cellDoubleClicked, this,
            &AcquisitionDevice::tw_Acquisition_doubleClicked);

    // Filling the model list selects the first model and creates its driver.
    comboBox_Mode->addItems(Tool::collectionModelList());
}

AcquisitionDevice::~AcquisitionDevice()
{
    // The window refuses to drop a busy page; should it happen anyway, the
    // driver must outlive the worker that uses it. The link lives on this
    // thread, so keep delivering its events while waiting.
    disconnect(this, &AcquisitionDevice::SetDialog_signals, nullptr, nullptr);
    disconnect(this, &AcquisitionDevice::TestDone_signals, nullptr, nullptr);
    while (m_Worker && m_Worker->isRunning()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
        QThread::msleep(5);
    }
    qDeleteAll(m_Retired);
}

void AcquisitionDevice::buildUi()
{
    auto* outer = new QVBoxLayout(this);
    groupBox = new QGroupBox(this);
    groupBox->setObjectName(QStringLiteral("groupBox"));
    outer->addWidget(groupBox);
    auto* layout = new QVBoxLayout(groupBox);

    auto* top = new QHBoxLayout;
    auto* form = new QGridLayout;
    form->setColumnStretch(1, 1);
    const auto label = [this](const char* name) {
        auto* l = new QLabel(groupBox);
        l->setObjectName(QLatin1String(name));
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        return l;
    };
    label_Mode = label("label_Mode");
    label_Communication = label("label_Communication");
    label_Com = label("label_Com");
    label_BaudRate = label("label_BaudRate");
    label_Rate = label("label_Rate");
    label_SerialNumber = label("label_SerialNumber");
    label_Interval = label("label_Interval");
    label_Second = new QLabel(groupBox);

    comboBox_Mode = new QComboBox(groupBox);
    comboBox_Mode->setObjectName(QStringLiteral("comboBox_Mode"));
    comboBox_Communication = new QComboBox(groupBox);
    comboBox_Communication->setObjectName(QStringLiteral("comboBox_Communication"));
    comboBox_Com = new QComboBox(groupBox);
    comboBox_Com->setObjectName(QStringLiteral("comboBox_Com"));
    // Ports the system does not list (USB adapters named by path, pseudo-
    // terminals) can still be typed in.
    comboBox_Com->setEditable(true);
    comboBox_Com->setInsertPolicy(QComboBox::NoInsert);
    comboBox_BaudRate = new QComboBox(groupBox);
    comboBox_BaudRate->setObjectName(QStringLiteral("comboBox_BaudRate"));
    comboBox_BaudRate->addItems({QStringLiteral("1200"), QStringLiteral("2400"), QStringLiteral("4800"),
                                 QStringLiteral("9600"), QStringLiteral("19200")});
    comboBox_BaudRate->setCurrentText(QStringLiteral("9600"));
    comboBox_Rate = new QComboBox(groupBox);
    comboBox_Rate->setObjectName(QStringLiteral("comboBox_Rate"));

    lineEdit_Com = new QLineEdit(QStringLiteral("192.168.1.150"), groupBox);
    lineEdit_Com->setObjectName(QStringLiteral("lineEdit_Com"));
    lineEdit_Com->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral(
            "^((2[0-4]\\d|25[0-5]|[01]?\\d\\d?)\\.){3}(2[0-4]\\d|25[0-5]|[01]?\\d\\d?)$")),
        lineEdit_Com));
    lineEdit_BaudRate = new QLineEdit(QStringLiteral("5000"), groupBox);
    lineEdit_BaudRate->setObjectName(QStringLiteral("lineEdit_BaudRate"));
    lineEdit_BaudRate->setMaxLength(6);
    // TCP ports end at 65535; a larger number would wrap to another port.
    lineEdit_BaudRate->setValidator(new QRegularExpressionValidator(Vocabulary::tcpPortPattern(), lineEdit_BaudRate));
    lineEdit_SerialNumber = new QLineEdit(groupBox);
    lineEdit_SerialNumber->setObjectName(QStringLiteral("lineEdit_SerialNumber"));
    lineEdit_Interval = new QLineEdit(QStringLiteral("1"), groupBox);
    lineEdit_Interval->setObjectName(QStringLiteral("lineEdit_Interval"));
    lineEdit_Interval->setMaxLength(32);
    lineEdit_Interval->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9.]+$")), lineEdit_Interval));

    pushButton_Connect = new QPushButton(groupBox);
    pushButton_Connect->setObjectName(QStringLiteral("pushButton_Connect"));
    pushButton_Connect->setFocusPolicy(Qt::NoFocus); // an indicator, not a button to press
    pushButton_Test = new QPushButton(groupBox);
    pushButton_Test->setObjectName(QStringLiteral("pushButton_Test"));
    pushButton_Delete = new QPushButton(groupBox);
    pushButton_Delete->setObjectName(QStringLiteral("pushButton_Delete"));
    pushButton_Save = new QPushButton(groupBox);
    pushButton_Save->setObjectName(QStringLiteral("pushButton_Save"));

    int row = 0;
    form->addWidget(label_Mode, row, 0);
    form->addWidget(comboBox_Mode, row++, 1, 1, 2);
    form->addWidget(label_Communication, row, 0);
    form->addWidget(comboBox_Communication, row, 1);
    form->addWidget(pushButton_Connect, row++, 2);
    form->addWidget(label_Com, row, 0);
    form->addWidget(lineEdit_Com, row, 1, 1, 2);
    form->addWidget(comboBox_Com, row++, 1, 1, 2);
    form->addWidget(label_BaudRate, row, 0);
    form->addWidget(lineEdit_BaudRate, row, 1, 1, 2);
    form->addWidget(comboBox_BaudRate, row++, 1, 1, 2);
    form->addWidget(label_Rate, row, 0);
    form->addWidget(comboBox_Rate, row++, 1, 1, 2);
    form->addWidget(label_SerialNumber, row, 0);
    form->addWidget(lineEdit_SerialNumber, row++, 1, 1, 2);
    form->addWidget(label_Interval, row, 0);
    form->addWidget(lineEdit_Interval, row, 1);
    form->addWidget(label_Second, row++, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(pushButton_Test);
    buttons->addWidget(pushButton_Delete);
    buttons->addWidget(pushButton_Save);
    form->addLayout(buttons, row++, 0, 1, 3);
    form->setRowStretch(row, 1);

    auto* formBox = new QWidget(groupBox);
    formBox->setLayout(form);
    formBox->setMinimumWidth(320);
    formBox->setMaximumWidth(420);
    top->addWidget(formBox);

    auto* configs = new QVBoxLayout;
    label_ChannelList = new QLabel(groupBox);
    configs->addWidget(label_ChannelList);
    tableWidget_ChannelList = new QTableWidget(groupBox);
    tableWidget_ChannelList->setObjectName(QStringLiteral("tableWidget_ChannelList"));
    tableWidget_ChannelList->setColumnCount(2);
    tableWidget_ChannelList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableWidget_ChannelList->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableWidget_ChannelList->setSelectionMode(QAbstractItemView::SingleSelection);
    tableWidget_ChannelList->setStyleSheet(
        QStringLiteral("QTableWidget::item:selected { background-color: rgb(0, 255, 0); color: rgb(0, 0, 0) }"));
    tableWidget_ChannelList->horizontalHeader()->setStretchLastSection(true);
    tableWidget_ChannelList->verticalHeader()->setVisible(false);
    configs->addWidget(tableWidget_ChannelList);
    top->addLayout(configs, 1);
    layout->addLayout(top);

    tableWidget_AcquisitionList = new QTableWidget(groupBox);
    tableWidget_AcquisitionList->setObjectName(QStringLiteral("tableWidget_AcquisitionList"));
    tableWidget_AcquisitionList->setColumnCount(DeviceColumns);
    tableWidget_AcquisitionList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    tableWidget_AcquisitionList->setSelectionBehavior(QAbstractItemView::SelectRows);
    tableWidget_AcquisitionList->setSelectionMode(QAbstractItemView::SingleSelection);
    tableWidget_AcquisitionList->verticalHeader()->setVisible(false);
    tableWidget_AcquisitionList->horizontalHeader()->setStretchLastSection(true);
    layout->addWidget(tableWidget_AcquisitionList, 1);

    setIndicator(false);
    pushButton_Connect->setStyleSheet(QStringLiteral("background-color:Red"));
    showLinkEditors(false);

    // Keyboard order follows the form from top to bottom, then the tables.
    setTabOrder(comboBox_Mode, comboBox_Communication);
    setTabOrder(comboBox_Communication, lineEdit_Com);
    setTabOrder(lineEdit_Com, comboBox_Com);
    setTabOrder(comboBox_Com, lineEdit_BaudRate);
    setTabOrder(lineEdit_BaudRate, comboBox_BaudRate);
    setTabOrder(comboBox_BaudRate, comboBox_Rate);
    setTabOrder(comboBox_Rate, lineEdit_SerialNumber);
    setTabOrder(lineEdit_SerialNumber, lineEdit_Interval);
    setTabOrder(lineEdit_Interval, pushButton_Test);
    setTabOrder(pushButton_Test, pushButton_Delete);
    setTabOrder(pushButton_Delete, pushButton_Save);
    setTabOrder(pushButton_Save, tableWidget_ChannelList);
    setTabOrder(tableWidget_ChannelList, tableWidget_AcquisitionList);
}

void AcquisitionDevice::retranslateUi()
{
    groupBox->setTitle(tr("采集设备设置"));
    label_Mode->setText(tr("设备型号："));
    label_Communication->setText(tr("通讯方式："));
    label_Rate->setText(tr("采集速率："));
    label_SerialNumber->setText(tr("序列号："));
    label_Interval->setText(tr("扫描间隔："));
    label_Second->setText(tr("秒"));
    label_ChannelList->setText(tr("配置文件："));
    pushButton_Test->setText(tr("测试"));
    pushButton_Delete->setText(tr("删除"));
    pushButton_Save->setText(tr("保存"));
    pushButton_Connect->setText(m_Connected ? tr("已连接") : tr("未连接"));
    Vocabulary::retranslate(comboBox_Rate);
    Vocabulary::retranslate(comboBox_Communication);
    const bool serial =
        m_Driver && Vocabulary::current(comboBox_Communication) == m_Driver->CommunicationList().value(0);
    label_Com->setText(serial ? tr("串口号：") : tr("IP地址："));
    label_BaudRate->setText(serial ? tr("波特率：") : tr("端口号："));
    tableWidget_ChannelList->setHorizontalHeaderLabels({tr("名称"), tr("时间")});
    tableWidget_AcquisitionList->setHorizontalHeaderLabels(
        {tr("序号"), tr("连接状态"), tr("设备型号"), tr("序列号"), tr("扫描间隔"), tr("采集速率"), tr("配置文件"),
         tr("通讯类型"), QStringLiteral("IP/Com"), QStringLiteral("Baud/Port")});
    // The status column holds translated words; rebuild it in the new language.
    if (m_Context)
        refreshDevices();
}

void AcquisitionDevice::setContext(SystemContext* context)
{
    m_Context = context;
    refreshDevices();
}

bool AcquisitionDevice::IsIdle() const
{
    return !m_Testing && !(m_Worker && m_Worker->isRunning());
}

void AcquisitionDevice::setIndicator(bool connected)
{
    m_Connected = connected;
    pushButton_Connect->setText(connected ? tr("已连接") : tr("未连接"));
    pushButton_Connect->setStyleSheet(QLatin1String(connected ? kGreen : kRed));
}

bool AcquisitionDevice::indicatorConnected() const
{
    return m_Connected;
}

void AcquisitionDevice::refreshDevices()
{
    tableWidget_AcquisitionList->setRowCount(0);
    m_Devices.clear();
    if (!Tool::getAcquisitionDevice(m_Devices, QString()))
        qWarning() << "reading the registered devices failed";
    tableWidget_AcquisitionList->setRowCount(m_Devices.size());
    for (int row = 0; row < m_Devices.size(); ++row) {
        const Tool::Struct_AcquisitionDevice& d = m_Devices.at(row);
        const bool connected = m_Context && DeviceRegistry::isConnected(m_Context->ConnectedDevices, d.Number);
        const QStringList cells = {QString::number(d.Number),
                                   connected ? tr("已连接") : tr("未连接"),
                                   d.Mode,
                                   d.SerialNumber,
                                   QString::number(d.ScanInterval, 'g', 6),
                                   d.ScanRate,
                                   d.ChannelConfig,
                                   d.SignalMode,
                                   d.IP_COM,
                                   d.Port_BaudRate};
        for (int column = 0; column < cells.size(); ++column) {
            auto* item = Vocabulary::item(cells.at(column));
            item->setTextAlignment(Qt::AlignCenter);
            tableWidget_AcquisitionList->setItem(row, column, item);
        }
    }
    tableWidget_AcquisitionList->resizeColumnsToContents();
    for (int c = 0; c < DeviceColumns - 1; ++c) // the last one stretches
        tableWidget_AcquisitionList->setColumnWidth(c, tableWidget_AcquisitionList->columnWidth(c) + 16);
    tableWidget_AcquisitionList->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Interactive);
}

void AcquisitionDevice::refillPorts()
{
    comboBox_Com->clear();
    comboBox_Com->addItems(Tool::serialPortList());
}

void AcquisitionDevice::showLinkEditors(bool serial)
{
    lineEdit_Com->setVisible(!serial);
    lineEdit_BaudRate->setVisible(!serial);
    comboBox_Com->setVisible(serial);
    comboBox_BaudRate->setVisible(serial);
}

void AcquisitionDevice::cb_Mode_clicked(QString model)
{
    if (m_Driver) {
        if (m_Testing)
            m_Retired << m_Driver.release(); // the running test still uses it
        else
            m_Driver.reset();
    }

    tableWidget_ChannelList->setRowCount(0);
    QList<Tool::Struct_ChannelConfig> configs;
    if (!Tool::getChannelConfigMode(configs, model))
        qWarning() << "reading the configurations of" << model << "failed";
    tableWidget_ChannelList->setRowCount(configs.size());
    for (int row = 0; row < configs.size(); ++row) {
        tableWidget_ChannelList->setItem(row, 0, new QTableWidgetItem(configs.at(row).Name));
        tableWidget_ChannelList->setItem(row, 1, new QTableWidgetItem(configs.at(row).Time));
    }
    tableWidget_ChannelList->resizeColumnToContents(0);
    tableWidget_ChannelList->setColumnWidth(0, qMax(160, tableWidget_ChannelList->columnWidth(0) + 16));

    m_Driver.reset(ChannelModel::createCollection(model));

    // No driver (no model chosen): empty choices, and the test stays off.
    Vocabulary::fill(comboBox_Rate, m_Driver ? m_Driver->RateList() : QStringList());
    if (m_Driver)
        Vocabulary::select(comboBox_Rate, QStringLiteral("慢速"));

    {
        // Refill quietly, then run the link-kind change once for the new first item.
        const QSignalBlocker block(comboBox_Communication);
        Vocabulary::fill(comboBox_Communication, m_Driver ? m_Driver->CommunicationList() : QStringList());
        comboBox_Communication->setCurrentIndex(0);
    }
    cb_Communication_clicked(Vocabulary::current(comboBox_Communication));
}

void AcquisitionDevice::cb_Communication_clicked(QString kind)
{
    if (!m_Driver)
        return;
    const QStringList kinds = m_Driver->CommunicationList();
    if (kind == kinds.value(0)) {
        label_Com->setText(tr("串口号："));
        label_BaudRate->setText(tr("波特率："));
        showLinkEditors(true);
        refillPorts();
    } else if (kind == kinds.value(1)) {
        label_Com->setText(tr("IP地址："));
        label_BaudRate->setText(tr("端口号："));
        showLinkEditors(false);
    }
}

QString AcquisitionDevice::selectedConfigName() const
{
    const QList<QTableWidgetItem*> selected = tableWidget_ChannelList->selectedItems();
    if (selected.isEmpty())
        return {};
    const QTableWidgetItem* name = tableWidget_ChannelList->item(selected.first()->row(), 0);
    return name ? name->text() : QString();
}

QString AcquisitionDevice::linkAddress() const
{
    return Vocabulary::current(comboBox_Communication) == QStringLiteral("串口") ? comboBox_Com->currentText()
                                                                                : lineEdit_Com->text();
}

QString AcquisitionDevice::linkPort() const
{
    return Vocabulary::current(comboBox_Communication) == QStringLiteral("串口") ? comboBox_BaudRate->currentText()
                                                                                : lineEdit_BaudRate->text();
}

bool AcquisitionDevice::portAcceptable() const
{
    // A stored or pasted port beyond 65535 passes no validator on its way in.
    return Vocabulary::current(comboBox_Communication) == QStringLiteral("串口") || lineEdit_BaudRate->hasAcceptableInput();
}

void AcquisitionDevice::pt_Test_clicked()
{
    if (m_Testing || !m_Driver)
        return;
    m_Waiting = new QWaiting(this);
    m_Waiting->show();

    m_Config = Tool::Struct_ChannelConfig();
    const QString name = selectedConfigName();
    if (!name.isEmpty()) {
        QList<Tool::Struct_ChannelConfig> list;
        if (Tool::getChannelConfig(list, name) && !list.isEmpty())
            m_Config = list.first();
    }

    pushButton_Test->setEnabled(false);
    setIndicator(false);

    DeviceRegistry::TestInputs inputs;
    inputs.rate = Vocabulary::current(comboBox_Rate);
    inputs.link = Vocabulary::current(comboBox_Communication);
    inputs.address = linkAddress();
    inputs.port = linkPort();
    inputs.interval = lineEdit_Interval->text().toDouble();
    inputs.config = m_Config;

    if (inputs.address.isEmpty() || inputs.port.isEmpty() || !portAcceptable()) {
        delete m_Waiting;
        m_Waiting = nullptr;
        pushButton_Test->setEnabled(true);
        MessageBox::information(this, tr("提示"), tr("连接信息错误！"));
        return;
    }

    m_Testing = true;
    Collection* driver = m_Driver.get();
    // The worker sees only the driver and its copied inputs; it reports back
    // through the two queued signals and touches nothing else of the page.
    QThread* worker = QThread::create([this, driver, inputs]() {
        const DeviceRegistry::TestResult r = DeviceRegistry::runTest(driver, inputs);
        emit TestDone_signals(r.ok, r.serialNumber);
        emit SetDialog_signals(r.message, r.values);
    });
    connect(worker, &QThread::finished, worker, &QObject::deleteLater);
    m_Worker = worker;
    worker->start();
}

void AcquisitionDevice::TestDone_slots(bool ok, QString serialNumber)
{
    pushButton_Test->setEnabled(true);
    if (ok) {
        lineEdit_SerialNumber->setText(serialNumber);
        lineEdit_SerialNumber->setCursorPosition(0);
        setIndicator(true);
    }
}

void AcquisitionDevice::SetDialog_slots(QString message, QStringList values)
{
    m_Testing = false;
    qDeleteAll(m_Retired);
    m_Retired.clear();
    if (m_Waiting) {
        m_Waiting->close();
        delete m_Waiting;
        m_Waiting = nullptr;
    }

    if (message == DeviceRegistry::successText() && !values.isEmpty()) {
        if (values.size() == m_Config.Number) {
            ParametersTemp dialog(this);
            dialog.setData(m_Context ? m_Context->DataAccuracy : 2, m_Config, values);
            ModalRun::exec(&dialog);
        } else {
            MessageBox::information(this, tr("提示"), tr("通道数不匹配！"));
        }
        return;
    }
    MessageBox::information(this, tr("提示"), message);
}

void AcquisitionDevice::pt_Save_clicked()
{
    if (lineEdit_SerialNumber->text().isEmpty()) {
        MessageBox::warning(this, tr("警告"), tr("请先输入序列号！"));
        return;
    }
    if (!portAcceptable()) {
        MessageBox::warning(this, tr("警告"), tr("连接信息错误！"));
        return;
    }
    const QString name = selectedConfigName();
    if (name.isEmpty()) {
        MessageBox::warning(this, tr("警告"), tr("请先选择配置文件！"));
        return;
    }
    QList<Tool::Struct_ChannelConfig> list;
    Tool::getChannelConfig(list, name);
    if (list.isEmpty() || list.first().Number <= 0) {
        MessageBox::warning(this, tr("警告"), tr("请先选择配置文件！"));
        return;
    }
    m_Config = list.first();

    const double interval = lineEdit_Interval->text().toDouble();
    const double minimum =
        m_Driver ? m_Driver->MinInterval(Vocabulary::current(comboBox_Rate), ChannelModel::toChannels(m_Config)) : 0.0;
    if (minimum > interval) {
        MessageBox::warning(this, tr("警告"),
                            tr("当前选择的配置文件最小采集间隔为：") + QString::number(minimum, 'g', 6));
        return;
    }

    const QString serial = lineEdit_SerialNumber->text();
    Tool::Struct_AcquisitionDevice record;
    bool found = false;
    for (const Tool::Struct_AcquisitionDevice& d : m_Devices) {
        if (d.SerialNumber == serial) {
            record = d;
            found = true;
            break;
        }
    }
    if (!found) {
        const int rows = tableWidget_AcquisitionList->rowCount();
        const QTableWidgetItem* last = rows > 0 ? tableWidget_AcquisitionList->item(rows - 1, ColNumber) : nullptr;
        record.Number = DeviceRegistry::nextNumber(last ? last->text() : QString());
        record.Mode = comboBox_Mode->currentText();
        record.SerialNumber = serial;
    }
    record.ScanInterval = interval;
    record.ScanRate = Vocabulary::current(comboBox_Rate);
    record.SignalMode = Vocabulary::current(comboBox_Communication);
    record.IP_COM = linkAddress();
    record.Port_BaudRate = linkPort();
    record.ChannelConfig = m_Config.Name;

    const bool stored = found ? Tool::modifyAcquisitionDevice(record) : Tool::addAcquisitionDevice(record);
    if (stored && m_Context && indicatorConnected())
        DeviceRegistry::markConnected(m_Context->ConnectedDevices, record);
    setIndicator(false);
    if (stored) {
        refreshDevices();
        MessageBox::information(this, tr("提示"), tr("数据保存成功！"));
    } else {
        MessageBox::warning(this, tr("警告"), tr("数据保存失败！"));
    }
}

void AcquisitionDevice::pt_Delete_clicked()
{
    const QString serial = lineEdit_SerialNumber->text();
    if (serial.isEmpty()) {
        MessageBox::warning(this, tr("警告"), tr("请先选择需要删除的文件！"));
        return;
    }
    if (!MessageBox::question(this, tr("提示"), tr("是否删除") + serial + QStringLiteral("?")))
        return;
    if (Tool::deleteAcquisitionDevice(serial)) {
        if (m_Context)
            DeviceRegistry::removeConnected(m_Context->ConnectedDevices, serial);
        refreshDevices();
    } else {
        MessageBox::warning(this, tr("警告"), tr("删除数据失败！"));
    }
}

void AcquisitionDevice::tw_Acquisition_doubleClicked(int row, int column)
{
    Q_UNUSED(column)
    if (m_Testing || row < 0 || row >= tableWidget_AcquisitionList->rowCount())
        return;
    const auto cell = [this, row](int c) {
        const QTableWidgetItem* item = tableWidget_AcquisitionList->item(row, c);
        return item ? Vocabulary::value(item) : QString();
    };
    const QString state = cell(ColState);
    if (state == tr("已连接"))
        setIndicator(true);
    else if (state == tr("未连接"))
        setIndicator(false);

    comboBox_Mode->setCurrentText(cell(ColMode));
    lineEdit_SerialNumber->setText(cell(ColSerial));
    lineEdit_SerialNumber->setCursorPosition(0);
    lineEdit_Interval->setText(cell(ColInterval));
    Vocabulary::select(comboBox_Rate, cell(ColRate));
    Vocabulary::select(comboBox_Communication, cell(ColLink));


    if (cell(ColLink) == QStringLiteral("串口")) {
        showLinkEditors(true);
        refillPorts();
        comboBox_Com->setCurrentText(cell(ColAddress));
        comboBox_BaudRate->setCurrentText(cell(ColPort));
    } else if (cell(ColLink) == QStringLiteral("网络")) {
        showLinkEditors(false);
        lineEdit_Com->setText(cell(ColAddress));
        lineEdit_BaudRate->setText(cell(ColPort));
    }

    tableWidget_ChannelList->clearSelection();
    for (int r = 0; r < tableWidget_ChannelList->rowCount(); ++r) {
        const QTableWidgetItem* item = tableWidget_ChannelList->item(r, 0);
        if (item && item->text() == cell(ColConfig)) {
            tableWidget_ChannelList->selectRow(r);
            break;
        }
    }
}
