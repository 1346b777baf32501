#include "SystemSet.h"

#include "Backup.h"
#include "MessageBox.h"
#include "SystemContext.h"
#include "Tool.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <QtDebug>

namespace {
template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}
} // namespace

QString SystemSet::databasePath()
{
    return QDir::current().absoluteFilePath(QString::fromLatin1(Tool::DatabaseFileName));
}

SystemSet::SystemSet(QWidget* parent) : ToolPage(parent)
{
    setObjectName(QStringLiteral("SystemSet"));

    m_backups = named(new QGroupBox(this), "groupBox_Backups");
    m_autoBackup = named(new QCheckBox(m_backups), "checkBox_AutoBackup");
    m_cycleLabel = named(new QLabel(m_backups), "label_BackupsCycle");
    m_cycle = named(new QLineEdit(m_backups), "lineEdit_BackupsCycle");
    m_cycle->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]+$")), m_cycle));
    m_cycle->setMaximumWidth(120);
    m_cycleUnit = named(new QLabel(m_backups), "labelBackupsCycle1");
    m_pathLabel = named(new QLabel(m_backups), "label_BackupPath");
    m_path = named(new QLineEdit(m_backups), "lineEdit_BackupPath");
    m_path->setMinimumWidth(360);
    m_select = named(new QPushButton(m_backups), "pushButton_Select1");
    m_backup = named(new QPushButton(m_backups), "pushButton_Backups");
    m_recovery = named(new QPushButton(m_backups), "pushButton_Recovery");

    auto* grid = new QGridLayout(m_backups);
    grid->addWidget(m_autoBackup, 0, 0, 1, 4);
    grid->addWidget(m_cycleLabel, 1, 0);
    auto* cycleRow = new QHBoxLayout;
    cycleRow->addWidget(m_cycle);
    cycleRow->addWidget(m_cycleUnit);
    cycleRow->addStretch(1);
    grid->addLayout(cycleRow, 1, 1, 1, 3);
    grid->addWidget(m_pathLabel, 2, 0);
    grid->addWidget(m_path, 2, 1, 1, 2);
    grid->addWidget(m_select, 2, 3);
    auto* actions = new QHBoxLayout;
    actions->addStretch(1);
    actions->addWidget(m_backup);
    actions->addWidget(m_recovery);
    grid->addLayout(actions, 3, 0, 1, 4);
    grid->setColumnStretch(2, 1);

    m_system = named(new QGroupBox(this), "groupBox_System");
    m_languageLabel = named(new QLabel(m_system), "label_Language");
    m_language = named(new QComboBox(m_system), "comboBox_Language");
    m_language->addItems({QStringLiteral("中文"), QStringLiteral("English")});
    m_accuracyLabel = named(new QLabel(m_system), "label_DataNumber");
    m_accuracy = named(new QComboBox(m_system), "comboBox_DataNumber");
    for (int i = 0; i <= 6; ++i)
        m_accuracy->addItem(QString::number(i));
    m_set = named(new QPushButton(m_system), "pushButton_Set");
    auto* sys = new QGridLayout(m_system);
    sys->addWidget(m_languageLabel, 0, 0);
    sys->addWidget(m_language, 0, 1);
    sys->addWidget(m_accuracyLabel, 1, 0);
    sys->addWidget(m_accuracy, 1, 1);
    auto* setRow = new QHBoxLayout;
    setRow->addStretch(1);
    setRow->addWidget(m_set);
    sys->addLayout(setRow, 2, 0, 1, 3);
    sys->setColumnStretch(2, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_backups);
    layout->addWidget(m_system);
    layout->addStretch(1);

    connect(m_autoBackup, &QCheckBox::clicked, this, &SystemSet::pt_AutoBackup_clicked);
    connect(m_select, &QPushButton::clicked, this, &SystemSet::pt_Select1_clicked);
    connect(m_backup, &QPushButton::clicked, this, &SystemSet::pt_Backups_clicked);
    connect(m_recovery, &QPushButton::clicked, this, &SystemSet::pt_Recovery_clicked);
    connect(m_set, &QPushButton::clicked, this, &SystemSet::pt_Set_clicked);

    retranslateUi();
}

void SystemSet::retranslateUi()
{
    m_infoTitle = tr("提示");
    m_warningTitle = tr("警告");
    m_backups->setTitle(tr("备份设置"));
    m_autoBackup->setText(tr("自动备份"));
    m_cycleLabel->setText(tr("备份周期："));
    m_cycleUnit->setText(tr("天"));
    m_pathLabel->setText(tr("备份路径："));
    m_select->setText(tr("选择"));
    m_backup->setText(tr("备份"));
    m_recovery->setText(tr("恢复"));
    m_system->setTitle(tr("系统参数"));
    m_languageLabel->setText(tr("语言："));
    m_accuracyLabel->setText(tr("数据精度："));
    m_set->setText(tr("设置"));
}

void SystemSet::setContext(SystemContext* context)
{
    m_context = context;
    m_autoBackup->setChecked(context->AutoBackup);
    m_cycle->setText(QString::number(context->BackupCycle));
    m_path->setText(context->BackupPath);
    const int language = m_language->findText(context->SystemLanguage);
    if (language >= 0)
        m_language->setCurrentIndex(language);
    if (context->DataAccuracy >= 0 && context->DataAccuracy <= 6)
        m_accuracy->setCurrentIndex(context->DataAccuracy);
    m_path->setEnabled(context->AutoBackup);
}

void SystemSet::pt_AutoBackup_clicked()
{
    const bool on = m_autoBackup->isChecked();
    const int cycle = m_cycle->text().toInt();
    if (cycle == 0) {
        m_autoBackup->setChecked(!on);
        MessageBox::information(this, m_warningTitle, tr("备份周期不能为0！"));
        return;
    }
    if (on && !QFileInfo(m_context->BackupPath).isDir()) {
        m_autoBackup->setChecked(false);
        MessageBox::information(this, m_infoTitle, tr("备份路径不存在！"));
        return;
    }
    m_path->setEnabled(on);
    if (Tool::modifySystemSet(QStringLiteral("AutoBackup"), on) &&
        Tool::modifySystemSet(QStringLiteral("BackupCycle"), QString::number(cycle))) {
        m_context->AutoBackup = on;
        m_context->BackupCycle = cycle;
    }
}

void SystemSet::pt_Select1_clicked()
{
    const QString dir = FileDialog::getExistingDirectory(this, tr("选择目录"), QStringLiteral("./"));
    if (dir.isEmpty())
        return;
    m_path->setText(dir);
    if (Tool::modifySystemSet(QStringLiteral("BackupPath"), dir))
        m_context->BackupPath = dir;
}

void SystemSet::pt_Backups_clicked()
{
    const QString dir = m_path->text();
    if (dir.isEmpty()) {
        MessageBox::information(this, m_warningTitle, tr("请选择备份路径！"));
        return;
    }
    if (!QFileInfo(dir).isDir()) {
        MessageBox::information(this, m_infoTitle, tr("备份失败：路径不存在！"));
        return;
    }
    const QDateTime now = QDateTime::currentDateTime();
    if (Tool::currentEngine() == Tool::Engine::PostgreSQL) {
        backupServer(dir, now);
        return;
    }
    const QString target = Backup::backupTarget(dir, now);
    qDebug().noquote() << target;
    if (Backup::backupDatabase(target)) {
        const QString time = now.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        if (Tool::modifySystemSet(QStringLiteral("BackupTime"), time))
            m_context->BackupTime = QDateTime::fromString(time, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
        MessageBox::information(this, m_infoTitle, tr("备份成功！"));
    } else {
        MessageBox::information(this, m_infoTitle, tr("备份失败！"));
    }
}

void SystemSet::backupServer(const QString& dir, const QDateTime& now)
{
    // The lab's records are on its server: pg_dump of them (the automatic
    // backup keeps copying this bench's own file).
    const QString target = Backup::serverDumpTarget(dir, now);
    QString detail;
    switch (Backup::dumpServer(target, &detail)) {
    case Backup::ServerResult::Done:
        qDebug().noquote() << QStringLiteral("路径为：") + target;
        MessageBox::information(this, m_infoTitle, tr("备份成功！"));
        return;
    case Backup::ServerResult::ProgramMissing:
        MessageBox::information(this, m_infoTitle,
                                tr("未找到 %1，无法备份实验室数据库服务器（Debian：安装 postgresql-client）！").arg(detail));
        return;
    case Backup::ServerResult::TargetExists:
    case Backup::ServerResult::NotEmpty:
    case Backup::ServerResult::InUse:
    case Backup::ServerResult::Failed:
        break;
    }
    MessageBox::information(this, m_infoTitle, tr("备份失败！"));
}

void SystemSet::restoreServer()
{
    const QString chosen = FileDialog::getOpenFileName(this, tr("选择文件"), QStringLiteral("/"),
                                                       QStringLiteral("PostgreSQL dump (*.dump)"));
    if (chosen.isEmpty())
        return;
    QString detail;
    switch (Backup::restoreServer(QDir::toNativeSeparators(chosen), &detail)) {
    case Backup::ServerResult::Done:
        MessageBox::information(this, m_infoTitle, tr("恢复成功！"));
        return;
    case Backup::ServerResult::ProgramMissing:
        MessageBox::information(this, m_infoTitle,
                                tr("未找到 %1，无法恢复实验室数据库服务器（Debian：安装 postgresql-client）！").arg(detail));
        return;
    case Backup::ServerResult::NotEmpty:
        MessageBox::information(this, m_infoTitle, tr("实验室数据库中已有记录，只能恢复到空数据库！"));
        return;
    case Backup::ServerResult::InUse:
        MessageBox::information(this, m_infoTitle,
                                tr("另有%1个连接正在使用实验室数据库，请先关闭其他工作站的程序再恢复！").arg(detail));
        return;
    case Backup::ServerResult::TargetExists:
    case Backup::ServerResult::Failed:
        break;
    }
    qDebug().noquote() << "Restore refused:" << detail;
    MessageBox::information(this, m_infoTitle, tr("恢复失败！"));
}

void SystemSet::pt_Recovery_clicked()
{
    if (Tool::currentEngine() == Tool::Engine::PostgreSQL) {
        restoreServer();
        return;
    }
    const QString chosen = FileDialog::getOpenFileName(this, tr("选择文件"), QStringLiteral("/"),
                                                       QStringLiteral("Config Files (*.db3)"));
    if (chosen.isEmpty())
        return;
    const QString database = databasePath();
    const QString temp = database + QStringLiteral(".restore");
    QString why;
    // The chosen file is copied and checked before the live database is
    // touched; a file that fails leaves the database as it was, and open.
    if (!Backup::prepareRestore(QDir::toNativeSeparators(chosen), temp, &why)) {
        qDebug().noquote() << "Restore refused:" << why;
        MessageBox::information(this, m_infoTitle, tr("恢复失败！"));
        return;
    }
    emit SQListClose_signals();
    if (!Backup::commitRestore(temp, database)) {
        QFile::remove(temp);
        emit SQListOpen_signals();
        MessageBox::information(this, m_infoTitle, tr("恢复失败！"));
        return;
    }
    MessageBox::information(this, m_infoTitle, tr("恢复成功！"));
    emit SQListOpen_signals();
}

void SystemSet::pt_Set_clicked()
{
    const QString language = m_language->currentText();
    const int accuracy = m_accuracy->currentText().toInt();
    if (language != m_context->SystemLanguage)
        emit Language_signals(language);
    if (Tool::modifySystemSet(QStringLiteral("DataAccuracy"), QString::number(accuracy)) &&
        Tool::modifySystemSet(QStringLiteral("SystemLanguage"), language)) {
        m_context->SystemLanguage = language;
        m_context->DataAccuracy = accuracy;
        MessageBox::information(this, m_warningTitle, tr("设置成功！"));
    } else {
        MessageBox::information(this, m_warningTitle, tr("设置失败！"));
    }
}
