#include "CalibrationOptionsDialog.h"

#include "MessageBox.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include <algorithm>

QStringList CalibrationOptionsDialog::keys()
{
    return {QStringLiteral("SamplesPerPoint"), QStringLiteral("SampleInterval"), QStringLiteral("StabilityStdDev"),
            QStringLiteral("StabilityDrift"),  QStringLiteral("StabilityRetries"), QStringLiteral("StableTimeout"),
            QStringLiteral("StandbyTemp"),     QStringLiteral("ResidualLimit"),   QStringLiteral("StabilityWindow"),
            QStringLiteral("OverdueWarning"),  QStringLiteral("UnstableAction")};
}

QString CalibrationOptionsDialog::defaultText(const QString& key)
{
    if (key == QStringLiteral("SamplesPerPoint"))
        return QStringLiteral("1");
    if (key == QStringLiteral("SampleInterval"))
        return QStringLiteral("1");
    if (key == QStringLiteral("StabilityRetries"))
        return QStringLiteral("3");
    if (key == QStringLiteral("StabilityWindow"))
        return QStringLiteral("10");
    if (key == QStringLiteral("UnstableAction"))
        return QStringLiteral("ask");
    return QString();
}

CalibrationOptionsDialog::CalibrationOptionsDialog(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("CalibrationOptionsDialog"));
    setWindowTitle(tr("测量设置"));
    auto* layout = new QVBoxLayout(this);
    auto* form = new QFormLayout;
    const auto positive = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^[0-9]*\\.?[0-9]*$")), this);
    const auto signedNumber =
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^-?[0-9]*\\.?[0-9]*$")), this);
    const auto integer = new QRegularExpressionValidator(QRegularExpression(QStringLiteral("^[0-9]{0,3}$")), this);
    const QStringList labels{tr("每点采样次数："),       tr("采样间隔(s)："),       tr("标准最大标准差(℃)："),
                             tr("标准最大漂移(℃/min)："), tr("不稳定时重采次数："), tr("温场稳定超时(min)："),
                             tr("结束后待机温度(℃)："),   tr("残差限(mK)："),       tr("稳定窗口(min)：")};
    QStringList keyList = keys();
    keyList.removeAll(QStringLiteral("OverdueWarning"));
    keyList.removeAll(QStringLiteral("UnstableAction"));
    for (int i = 0; i < keyList.size(); ++i) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("lineEdit_") + keyList.at(i));
        const QString key = keyList.at(i);
        edit->setValidator(key == QStringLiteral("SamplesPerPoint") || key == QStringLiteral("StabilityRetries")
                               ? static_cast<QValidator*>(integer)
                           : key == QStringLiteral("StandbyTemp") ? signedNumber
                                                                  : positive);
        if (key != QStringLiteral("SamplesPerPoint") && key != QStringLiteral("SampleInterval")
            && key != QStringLiteral("StabilityRetries") && key != QStringLiteral("StandbyTemp")
            && key != QStringLiteral("StabilityWindow"))
            edit->setPlaceholderText(tr("不限"));
        form->addRow(labels.at(i), edit);
        m_Edits.insert(key, edit);
    }
    m_Unstable = new QComboBox(this);
    m_Unstable->setObjectName(QStringLiteral("comboBox_UnstableAction"));
    m_Unstable->addItem(tr("询问操作者"), QStringLiteral("ask"));
    m_Unstable->addItem(tr("接受并记录说明"), QStringLiteral("accept"));
    m_Unstable->addItem(tr("跳过该点"), QStringLiteral("skip"));
    m_Unstable->addItem(tr("停止校准"), QStringLiteral("stop"));
    m_Unstable->setToolTip(tr("重采次数用完后温场仍不稳定时的处理；无人值守时选“询问”以外的一项"));
    form->addRow(tr("仍不稳定时："), m_Unstable);
    m_OverdueWarning = new QCheckBox(tr("标准器过期时仅警告，由操作者确认后继续（记入操作日志）"), this);
    m_OverdueWarning->setObjectName(QStringLiteral("checkBox_OverdueWarning"));
    form->addRow(QString(), m_OverdueWarning);
    layout->addLayout(form);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    auto* ok = new QPushButton(tr("确定"), this);
    ok->setObjectName(QStringLiteral("pushButton_OK"));
    auto* cancel = new QPushButton(tr("取消"), this);
    cancel->setObjectName(QStringLiteral("pushButton_Quit"));
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &CalibrationOptionsDialog::OK_Clicked);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

void CalibrationOptionsDialog::setValues(const QMap<QString, QString>& values, const QString& standbyHint)
{
    for (auto it = m_Edits.begin(); it != m_Edits.end(); ++it)
        it.value()->setText(values.value(it.key(), defaultText(it.key())));
    m_OverdueWarning->setChecked(values.value(QStringLiteral("OverdueWarning")) == QStringLiteral("1"));
    const int action = m_Unstable->findData(values.value(QStringLiteral("UnstableAction"), defaultText(QStringLiteral("UnstableAction"))));
    m_Unstable->setCurrentIndex(std::max(0, action));
    m_Edits.value(QStringLiteral("StandbyTemp"))->setPlaceholderText(standbyHint);
}

QMap<QString, QString> CalibrationOptionsDialog::values() const
{
    QMap<QString, QString> out;
    for (auto it = m_Edits.begin(); it != m_Edits.end(); ++it)
        out.insert(it.key(), it.value()->text().trimmed());
    out.insert(QStringLiteral("OverdueWarning"), m_OverdueWarning->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    out.insert(QStringLiteral("UnstableAction"), m_Unstable->currentData().toString());
    return out;
}

void CalibrationOptionsDialog::OK_Clicked()
{
    const int samples = m_Edits.value(QStringLiteral("SamplesPerPoint"))->text().toInt();
    if (samples < 1 || samples > 100) {
        MessageBox::information(this, tr("提示"), tr("每点采样次数应为1～100！"));
        return;
    }
    accept();
}
