#include "ChannelConfigBatch.h"

#include "Collection.h"
#include "ConfigFile.h"
#include "MessageBox.h"
#include "Vocabulary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

ChannelConfigBatch::ChannelConfigBatch(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ChannelConfigBatch"));
    setWindowTitle(tr("批量设置"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* layout = new QVBoxLayout(this);
    auto* grid = new QGridLayout;
    layout->addLayout(grid);

    int row = 0;
    int col = 0;
    // Two columns of label/field pairs, filled row by row.
    const auto place = [&](const QString& caption, QWidget* field) {
        auto* label = new QLabel(caption, this);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(label, row, col);
        grid->addWidget(field, row, col + 1);
        col += 2;
        if (col == 4) {
            col = 0;
            ++row;
        }
    };
    const auto combo = [this](const char* name) {
        auto* c = new QComboBox(this);
        c->setObjectName(QLatin1String(name));
        c->setMinimumWidth(120);
        return c;
    };
    const auto edit = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        return e;
    };
    comboBox_Type = combo("comboBox_Type");
    comboBox_Range = combo("comboBox_Range");
    comboBox_Wire = combo("comboBox_Wire");
    comboBox_Unit = combo("comboBox_Unit");
    place(tr("通道类型："), comboBox_Type);
    place(tr("通道功能："), comboBox_Range);
    place(tr("接线线制："), comboBox_Wire);
    place(tr("单位："), comboBox_Unit);
    lineEdit_MX_B_M = edit("lineEdit_MX_B_M");
    lineEdit_MX_B_B = edit("lineEdit_MX_B_B");
    place(QStringLiteral("MX+B(M)："), lineEdit_MX_B_M);
    place(QStringLiteral("MX+B(B)："), lineEdit_MX_B_B);
    const char* const names[] = {"lineEdit_A_C0", "lineEdit_B_C1", "lineEdit_C_C2", "lineEdit_D_C3",
                                 "lineEdit_R0_C4", "lineEdit_A4_C5", "lineEdit_B4_C6"};
    const char* const captions[] = {"A/B0：", "B/B1：", "C/B2：", "D/B3：", "R0/C4：", "A4/C5：", "B4/C6："};
    for (int k = 0; k < 7; ++k) {
        coefficients << edit(names[k]);
        place(QString::fromUtf8(captions[k]), coefficients.last());
    }
    if (col != 0) {
        col = 0;
        ++row;
    }
    checkBox_LowState = new QCheckBox(tr("下限警告启用"), this);
    checkBox_LowState->setObjectName(QStringLiteral("checkBox_LowState"));
    lineEdit_Low = edit("lineEdit_Low");
    grid->addWidget(checkBox_LowState, row, 0, 1, 2, Qt::AlignRight);
    col = 2;
    place(tr("下限警告："), lineEdit_Low);
    checkBox_HightState = new QCheckBox(tr("上限警告启用"), this);
    checkBox_HightState->setObjectName(QStringLiteral("checkBox_HightState"));
    lineEdit_Hight = edit("lineEdit_Hight");
    grid->addWidget(checkBox_HightState, row, 0, 1, 2, Qt::AlignRight);
    col = 2;
    place(tr("上限警告："), lineEdit_Hight);

    auto* buttons = new QHBoxLayout;
    pushButton_OK = new QPushButton(tr("确定"), this);
    pushButton_OK->setObjectName(QStringLiteral("pushButton_OK"));
    pushButton_OK->setDefault(true);
    pushButton_Cancel = new QPushButton(tr("取消"), this);
    pushButton_Cancel->setObjectName(QStringLiteral("pushButton_Cancel"));
    buttons->addStretch();
    buttons->addWidget(pushButton_Cancel);
    buttons->addWidget(pushButton_OK);
    layout->addLayout(buttons);

    connect(pushButton_OK, &QPushButton::clicked, this, &ChannelConfigBatch::pt_OK_clicked);
    connect(pushButton_Cancel, &QPushButton::clicked, this, &ChannelConfigBatch::pt_Cancel_clicked);
    connect(comboBox_Type, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int) { cb_Type_clicked(Vocabulary::current(comboBox_Type)); });
    connect(comboBox_Range, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this](int) { cb_Range_clicked(Vocabulary::current(comboBox_Range)); });
}

void ChannelConfigBatch::setData(Collection* driver)
{
    m_Driver = driver;
    comboBox_Unit->clear();
    comboBox_Unit->addItems(driver->UnitList(QStringLiteral("All")));
    for (QLineEdit* e : QList<QLineEdit*>{lineEdit_MX_B_M, lineEdit_MX_B_B, lineEdit_Low, lineEdit_Hight} + coefficients) {
        e->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[-0-9.]+$")), e));
        e->setText(QStringLiteral("0"));
    }
    lineEdit_MX_B_M->setText(QStringLiteral("1"));
    lineEdit_Hight->setText(QStringLiteral("100"));
    checkBox_LowState->setChecked(false);
    checkBox_HightState->setChecked(false);
    Vocabulary::fill(comboBox_Type, driver->TypeList(101));
}

void ChannelConfigBatch::cb_Type_clicked(QString type)
{
    if (!m_Driver)
        return;
    comboBox_Range->clear();
    Vocabulary::fill(comboBox_Wire, m_Driver->WiringList(type));
    Vocabulary::fill(comboBox_Range, m_Driver->FunctionList(type));
}

void ChannelConfigBatch::cb_Range_clicked(QString function)
{
    if (!m_Driver)
        return;
    const QList<bool> mask = m_Driver->CoefficientMask(function);
    if (mask.size() > 6)
        for (int k = 0; k < coefficients.size(); ++k)
            coefficients.at(k)->setEnabled(mask.value(k));
}

void ChannelConfigBatch::pt_Cancel_clicked()
{
    reject();
}

void ChannelConfigBatch::pt_OK_clicked()
{
    // The values end up in ","-joined lists and in arithmetic: only numbers pass.
    for (QLineEdit* e : QList<QLineEdit*>{lineEdit_MX_B_M, lineEdit_MX_B_B} + coefficients
                            + QList<QLineEdit*>{lineEdit_Low, lineEdit_Hight}) {
        if (!ConfigFile::isNumber(e->text())) {
            MessageBox::warning(this, tr("警告"), tr("请输入有效的数值！"));
            e->setFocus();
            return;
        }
    }
    m_Values = QStringList{Vocabulary::current(comboBox_Type), Vocabulary::current(comboBox_Range),
                           Vocabulary::current(comboBox_Wire),  lineEdit_MX_B_M->text(),
                           lineEdit_MX_B_B->text(),             comboBox_Unit->currentText()};

    for (const QLineEdit* e : coefficients)
        m_Values << e->text();
    m_Values << (checkBox_LowState->isChecked() ? QStringLiteral("true") : QStringLiteral("false"))
             << lineEdit_Low->text()
             << (checkBox_HightState->isChecked() ? QStringLiteral("true") : QStringLiteral("false"))
             << lineEdit_Hight->text();
    accept();
}
