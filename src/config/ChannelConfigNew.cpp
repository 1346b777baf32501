#include "ChannelConfigNew.h"

#include "ChannelConfigAdd.h"
#include "ChannelModel.h"
#include "Collection.h"
#include "MessageBox.h"
#include "ModalRun.h"
#include "Tool.h"
#include "Vocabulary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

ChannelConfigNew::ChannelConfigNew(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ChannelConfigNew"));
    setWindowTitle(tr("新建配置文件"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* layout = new QVBoxLayout(this);

    groupBox_Set = new QGroupBox(tr("基础信息"), this);
    groupBox_Set->setObjectName(QStringLiteral("groupBox_Set"));
    auto* set = new QGridLayout(groupBox_Set);
    label_Name = new QLabel(tr("文件名称："), groupBox_Set);
    lineEdit_Name = new QLineEdit(groupBox_Set);
    lineEdit_Name->setObjectName(QStringLiteral("lineEdit_Name"));
    label_Mode = new QLabel(tr("采集设备型号："), groupBox_Set);
    comboBox_Mode = new QComboBox(groupBox_Set);
    comboBox_Mode->setObjectName(QStringLiteral("comboBox_Mode"));
    label_Number = new QLabel(tr("通道个数："), groupBox_Set);
    lineEdit_Number = new QLineEdit(QStringLiteral("0"), groupBox_Set);
    lineEdit_Number->setObjectName(QStringLiteral("lineEdit_Number"));
    lineEdit_Number->setMaxLength(2);
    lineEdit_Number->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]+$")), lineEdit_Number));
    label_Module = new QLabel(tr("模块配置："), groupBox_Set);
    auto* modules = new QHBoxLayout;
    for (int k = 1; k <= 6; ++k) {
        auto* box = new QCheckBox(QString::number(k), groupBox_Set);
        box->setObjectName(QStringLiteral("checkBox_Module%1").arg(k));
        box->setChecked(k == 1);
        box->setEnabled(k == 1);
        checkBox_Module << box;
        modules->addWidget(box);
    }
    modules->addStretch();
    set->addWidget(label_Name, 0, 0);
    set->addWidget(lineEdit_Name, 0, 1);
    set->addWidget(label_Mode, 1, 0);
    set->addWidget(comboBox_Mode, 1, 1);
    set->addWidget(label_Number, 2, 0);
    set->addWidget(lineEdit_Number, 2, 1);
    set->addWidget(label_Module, 3, 0);
    set->addLayout(modules, 3, 1);
    layout->addWidget(groupBox_Set);

    groupBox_Compensation = new QGroupBox(tr("补偿设置"), this);
    groupBox_Compensation->setObjectName(QStringLiteral("groupBox_Compensation"));
    auto* comp = new QGridLayout(groupBox_Compensation);
    label_Way = new QLabel(tr("补偿方式："), groupBox_Compensation);
    comboBox_Way = new QComboBox(groupBox_Compensation);
    comboBox_Way->setObjectName(QStringLiteral("comboBox_Way"));
    label_Temp = new QLabel(tr("冷端温度："), groupBox_Compensation);
    lineEdit_Temp = new QLineEdit(QStringLiteral("0"), groupBox_Compensation);
    lineEdit_Temp->setObjectName(QStringLiteral("lineEdit_Temp"));
    lineEdit_Temp->setMaxLength(6);
    lineEdit_Temp->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[-0-9.]+$")), lineEdit_Temp));
    lineEdit_Temp->setEnabled(false);
    label_Temp1 = new QLabel(QStringLiteral("℃"), groupBox_Compensation);
    comp->addWidget(label_Way, 0, 0);
    comp->addWidget(comboBox_Way, 0, 1, 1, 2);
    comp->addWidget(label_Temp, 1, 0);
    comp->addWidget(lineEdit_Temp, 1, 1);
    comp->addWidget(label_Temp1, 1, 2);
    comp->setColumnStretch(1, 1);
    layout->addWidget(groupBox_Compensation);

    auto* buttons = new QHBoxLayout;
    pushButton_Cancel = new QPushButton(tr("取消"), this);
    pushButton_Cancel->setObjectName(QStringLiteral("pushButton_Cancel"));
    pushButton_Next = new QPushButton(tr("下一步"), this);
    pushButton_Next->setObjectName(QStringLiteral("pushButton_Next"));
    pushButton_Next->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(pushButton_Cancel);
    buttons->addWidget(pushButton_Next);
    layout->addLayout(buttons);

    // Both labels columns line up: the wider of the two groups sets the width.
    const int labelWidth = qMax(label_Mode->sizeHint().width(), label_Way->sizeHint().width());
    for (QLabel* l : {label_Name, label_Mode, label_Number, label_Module, label_Way, label_Temp})
        l->setMinimumWidth(labelWidth);

    connect(pushButton_Next, &QPushButton::clicked, this, &ChannelConfigNew::pt_Next_clicked);
    connect(pushButton_Cancel, &QPushButton::clicked, this, &ChannelConfigNew::pt_Cancel_clicked);
    connect(comboBox_Way, QOverload<int>::of(&QComboBox::activated), this,
            [this](int) { cb_Way_clicked(Vocabulary::current(comboBox_Way)); });
    connect(comboBox_Mode, &QComboBox::currentTextChanged, this, &ChannelConfigNew::cb_Mode_clicked);

    comboBox_Mode->addItems(Tool::collectionModelList());
    setMinimumWidth(380);
}

ChannelConfigNew::~ChannelConfigNew() = default;

bool ChannelConfigNew::run(QWidget* parent, QString& name)
{
    ChannelConfigNew dialog(parent);
    if (ModalRun::exec(&dialog) != QDialog::Accepted)
        return false;
    name = dialog.name();
    return true;
}

void ChannelConfigNew::cb_Mode_clicked(QString model)
{
    m_Driver.reset();
    for (int k = 1; k < checkBox_Module.size(); ++k) {
        checkBox_Module.at(k)->setChecked(false);
        checkBox_Module.at(k)->setEnabled(false);
    }
    m_Driver.reset(ChannelModel::createCollection(model));
    Vocabulary::fill(comboBox_Way, m_Driver ? m_Driver->CompensationList() : QStringList());
    // The list starts with internal compensation, which needs no temperature.
    cb_Way_clicked(Vocabulary::current(comboBox_Way));
}

void ChannelConfigNew::cb_Way_clicked(QString text)
{
    if (text == QStringLiteral("内部补偿"))
        lineEdit_Temp->setEnabled(false);
    else if (text == QStringLiteral("固定冷端"))
        lineEdit_Temp->setEnabled(true);
}

void ChannelConfigNew::pt_Cancel_clicked()
{
    reject();
}

Tool::Struct_ChannelConfig ChannelConfigNew::record() const
{
    Tool::Struct_ChannelConfig r;
    r.Name = lineEdit_Name->text();
    r.Mode = comboBox_Mode->currentText();
    QStringList flags;
    for (const QCheckBox* box : checkBox_Module)
        flags << (box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    r.Module = flags.join(QLatin1Char(','));
    r.Number = lineEdit_Number->text().toInt();
    r.CompensationWay = Vocabulary::current(comboBox_Way);

    r.ColdJunctionTemp = lineEdit_Temp->text();
    return r;
}

void ChannelConfigNew::warn(const QString& text)
{
    MessageBox::warning(this, tr("警告"), text);
}

void ChannelConfigNew::pt_Next_clicked()
{
    const Tool::Struct_ChannelConfig r = record();
    if (r.Name.isEmpty())
        return warn(tr("请先输入文件名称!"));
    if (r.Name.contains(QLatin1Char(',')))
        return warn(tr("文件名称不许使用逗号!"));
    QList<Tool::Struct_ChannelConfig> existing;
    if (!Tool::getChannelConfig(existing, r.Name))
        return warn(tr("数据库连接失败!"));
    if (!existing.isEmpty())
        return warn(tr("通道名称已存在!"));
    if (r.Number <= 0)
        return warn(tr("通道数不能为0!"));
    if (!r.Module.split(QLatin1Char(',')).contains(QStringLiteral("1")))
        return warn(tr("模块配置不能为空!"));
    if (!m_Driver || m_Driver->MaxChannelCount(r.Module) < r.Number)
        return warn(tr("超过最大通道数!"));

    ChannelConfigAdd add(this);
    add.setData(m_Driver.get(), r);
    if (ModalRun::exec(&add) == QDialog::Accepted) {
        m_Name = r.Name;
        accept();
    }
}
