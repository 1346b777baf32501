#include "Tervan.h"

#include "AboutUs.h"
#include "Backup.h"
#include "AcquisitionDevice.h"
#include "ChannelConfig.h"
#include "HeldRecovery.h"
#include "ServerLink.h"
#include "StoreWriter.h"
#include "ParametersChannel.h"
#include "ParametersMode.h"
#include "ParametersOnLine.h"
#include "ParametersImport.h"
#include "ParametersDisconnection.h"
#include "MessageBox.h"
#include "MessageLog.h"
#include "SystemContext.h"
#include "SystemSet.h"
#include "ToolPage.h"
#include "SqlEngine.h"
#include "Tool.h"
#include "ViewLog.h"
#include "CalibrationHistoryDialog.h"
#include "ChannelCalibration.h"
#include "LabRecordsDialog.h"
#include "ModalRun.h"
#include "VerificationReport.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QProcess>
#include <QSplashScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QtDebug>

#include <memory>

namespace {

int& splashDuration()
{
    static int ms = 2000;
    return ms;
}

// Opens the help document and says, through `done`, whether that worked.
void openHelp(const QString& path, const std::function<void(bool)>& done)
{
#if defined(Q_OS_WIN) || defined(Q_OS_MACOS)
    // The shell's browser for .html; its answer says whether one was started.
    done(QDesktopServices::openUrl(QUrl::fromLocalFile(path)));
#else
    // xdg-open, as QDesktopServices would start it, but watched: it starts
    // whatever it finds, and without a browser it ends with an error, where
    // QDesktopServices reports success because xdg-open itself started.
    auto* process = new QProcess(qApp);
    auto reported = std::make_shared<bool>(false);
    const auto report = [process, reported, done](bool ok) {
        if (*reported)
            return;
        *reported = true;
        done(ok);
        process->deleteLater();
    };
    QObject::connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), process,
                     [report](int code, QProcess::ExitStatus status) {
                         report(status == QProcess::NormalExit && code == 0);
                     });
    QObject::connect(process, &QProcess::errorOccurred, process, [report](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            report(false);
    });
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(QStringLiteral("xdg-open"), {path});
#endif
}

std::function<void(const QString&, std::function<void(bool)>)>& helpOpener()
{
    static std::function<void(const QString&, std::function<void(bool)>)> opener = openHelp;
    return opener;
}

// Page indices of the page area.
enum Page { PageSystemSet = 0, PageChannelConfig = 1, PageAcquisitionDevice = 2, PageViewLog = 3,
            PageVerification = 4, PageReport = 5, PageCalibration = 6, PageNone = 100 };

std::function<ToolPage*(int, QWidget*)>& pageFactory()
{
    static std::function<ToolPage*(int, QWidget*)> factory;
    return factory;
}

} // namespace

void Tervan::setPageFactory(std::function<ToolPage*(int, QWidget*)> factory)
{
    pageFactory() = std::move(factory);
}

void Tervan::setSplashDuration(int ms) { splashDuration() = ms; }
void Tervan::setHelpOpener(std::function<void(const QString&, std::function<void(bool)>)> opener)
{
    helpOpener() = opener ? std::move(opener) : openHelp;
}

Tervan::Tervan(QWidget* parent) : QMainWindow(parent)
{
    buildUi();

    QSplashScreen* splash = nullptr;
    if (splashDuration() > 0) {
        splash = new QSplashScreen(QPixmap(QStringLiteral(":/Tervan/Image/Open.png")));
        splash->show();
        // Keep painting the splash while it is up; only its minimum time matters.
        QElapsedTimer shown;
        shown.start();
        while (shown.elapsed() < splashDuration()) {
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 50);
            Tool::delay(20);
        }
    }

    m_pageIndex = PageNone;
    m_context = new SystemContext;

    QString why;
    Tool::DatabaseSettings settings;
    if (!Tool::openConfiguredDatabase(&why, &settings)) {
        qWarning().noquote() << "database not opened:" << why;
        const bool server = settings.engine == Tool::Engine::PostgreSQL;
#if defined(Q_OS_WIN)
        // The Windows build ships no PostgreSQL client: say where the server works.
        if (server && !QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
            why = tr("本 Windows 版本不支持实验室数据库服务器（database.ini 中 engine=postgresql），请使用 Linux 版本");
#endif
        // Without the server the bench can still work on its own file.
        if (!server
            || !MessageBox::question(this, m_warningTitle,
                                     tr("无法连接实验室数据库服务器：\n%1\n是否改用本机数据库文件？").arg(why))
            || !Tool::openDefaultDatabase(settings.file)) {
            MessageBox::information(this, m_warningTitle, tr("打开数据库失败！"));
            delete splash;
            return;
        }
        m_localOnly = true;
    }

    // What one action asks of a lab server waits 5 s in all, then fails.
    Tool::Sql::setInteractiveBudget(Tool::Sql::InteractiveBudgetMs);
    loadSettings();
    loadTranslation(m_context->SystemLanguage);
    delete splash;
    MessageLog::removeOldLogs(QDir::current(), QDate::currentDate());
    buildStatusBar();

    m_clockTimer = new QTimer(this);
    connect(m_clockTimer, &QTimer::timeout, this, &Tervan::TimeUpdate_slots);
    m_clockTimer->start(1000);
    m_backupTimer = new QTimer(this);
    connect(m_backupTimer, &QTimer::timeout, this, &Tervan::BackupTimer_slots);
    m_backupTimer->start(300000);
    // Once the window is up: scans an earlier run could not store.
    QTimer::singleShot(0, this, &Tervan::recoverHeldScans);
}

void Tervan::recoverHeldScans()
{
    // Beside the bench's own file, also while the records are on a lab server.
    const QString database = Tool::Sql::localDatabase().databaseName();
    if (!databaseOpen() || HeldRecovery::sideFiles(database).isEmpty())
        return;
    const QString text = HeldRecovery::message(HeldRecovery::recover(database));
    if (!text.isEmpty())
        MessageBox::information(this, m_infoTitle, text);
}

Tervan::~Tervan()
{
    // Pages may still refer to the context while they are destroyed.
    delete m_page.data();
    delete m_context;
}

bool Tervan::databaseOpen() const
{
    return QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false).isOpen();
}

bool Tervan::openDatabase()
{
    if (m_localOnly) {
        Tool::DatabaseSettings settings;
        Tool::readDatabaseSettings(QString::fromLatin1(Tool::DatabaseSettingsFileName), &settings);
        return Tool::openDefaultDatabase(settings.file);
    }
    QString why;
    if (Tool::openConfiguredDatabase(&why))
        return true;
    qWarning().noquote() << "database not opened:" << why;
    return false;
}

void Tervan::buildUi()
{
    setObjectName(QStringLiteral("Tervan"));
    setWindowIcon(QIcon(QStringLiteral(":/Tervan/Image/Tervan.ico")));
    resize(1170, 777);

    auto* central = new QWidget(this);
    central->setObjectName(QStringLiteral("centralWidget"));
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(4, 4, 4, 0);
    layout->setSpacing(4);

    m_tabs = new QTabWidget(central);
    m_tabs->setObjectName(QStringLiteral("tabWidget"));
    m_tabs->setMinimumHeight(120);
    m_tabs->setMaximumHeight(140);
    m_tabs->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    layout->addWidget(m_tabs);

    struct ButtonDef
    {
        const char* name;
        const char* icon;
        void (Tervan::*slot)();
    };
    struct TabDef
    {
        const char* name;
        QList<ButtonDef> buttons;
    };
    const QList<TabDef> tabs = {
        {"tab_SystemSet", {{"toolButton_SystemSet", "SystemSet.png", &Tervan::pt_SystemSet_clicked}}},
        {"tab_DeviceManage",
         {{"toolButton_ChannelConfig", "ChannelConfig.png", &Tervan::pt_ChannelConfig_clicked},
          {"toolButton_AcquisitionDevice", "AcquisitionDevice.png", &Tervan::pt_AcquisitionDevice_clicked},
          {"toolButton_ChannelCalibration", "ChannelCalibration.png", &Tervan::pt_ChannelCalibration_clicked},
          {"toolButton_LabRecords", "ChannelConfig.png", &Tervan::pt_LabRecords_clicked}}},
        {"tab_DataVerification", {{"toolButton_Parameters", "Parameters.png", &Tervan::pt_Parameters_clicked}}},
        {"tab_ReportManage",
         {{"toolButton_VerificationReport", "VerificationReport.png", &Tervan::pt_VerificationReport_clicked},
          {"toolButton_Certificates", "ChannelCalibration.png", &Tervan::pt_Certificates_clicked}}},
        {"tab_AuditManage",
         {{"toolButton_ViewLog", "ViewLog.png", &Tervan::pt_ViewLog_clicked},
          {"toolButton_DownloadLog", "DownloadLog.png", &Tervan::pt_DownloadLog_clicked},
          {"toolButton_DeleteLog", "DeleteLog.png", &Tervan::pt_DeleteLog_clicked},
          {"toolButton_SetLog", "SetLog.png", &Tervan::pt_SetLog_clicked}}},
        {"tab_Help",
         {{"toolButton_Help", "Help.png", &Tervan::pt_Help_clicked},
          {"toolButton_Message", "Message.png", &Tervan::pt_Message_clicked},
          {"toolButton_AboutUs", "AboutUs.png", &Tervan::pt_AboutUs_clicked}}},
    };
    for (const TabDef& def : tabs) {
        auto* tab = new QWidget(m_tabs);
        tab->setObjectName(QString::fromLatin1(def.name));
        auto* row = new QHBoxLayout(tab);
        row->setContentsMargins(6, 2, 6, 2);
        row->setSpacing(6);
        for (const ButtonDef& b : def.buttons)
            row->addWidget(addToolButton(tab, QString::fromLatin1(b.name), QString::fromLatin1(b.icon), b.slot));
        row->addStretch(1);
        m_tabs->addTab(tab, QString());
    }

    m_pageArea = new QVBoxLayout;
    m_pageArea->setObjectName(QStringLiteral("verticalLayout_Page"));
    m_pageArea->setContentsMargins(0, 0, 0, 0);
    m_spacer = new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding);
    m_pageArea->addItem(m_spacer);
    layout->addLayout(m_pageArea, 1);
    setCentralWidget(central);

    retranslateUi();
    m_tabs->setCurrentIndex(1);
}

QToolButton* Tervan::addToolButton(QWidget* tab, const QString& objectName, const QString& icon,
                                   void (Tervan::*slot)())
{
    auto* button = new QToolButton(tab);
    button->setObjectName(objectName);
    button->setIcon(QIcon(QStringLiteral(":/Tervan/Image/") + icon));
    button->setIconSize(QSize(52, 52));
    button->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    button->setAutoRaise(true);
    button->setMinimumWidth(84);
    connect(button, &QToolButton::clicked, this, slot);
    m_buttons << button;
    return button;
}

void Tervan::buildStatusBar()
{
    m_pageTitle = new QLabel(this);
    m_pageTitle->setObjectName(QStringLiteral("label_PageTitle"));
    m_pageTitle->setMinimumSize(100, 20);
    m_clock = new QLabel(this);
    m_clock->setObjectName(QStringLiteral("label_Clock"));
    m_clock->setMinimumSize(200, 20);
    m_version = new QLabel(this);
    m_version->setObjectName(QStringLiteral("label_Version"));
    m_version->setFrameStyle(QFrame::Box | QFrame::Sunken);
    m_version->setTextFormat(Qt::RichText);
    m_version->setOpenExternalLinks(true);
    statusBar()->addWidget(m_pageTitle);
    statusBar()->addWidget(m_clock);
    m_storeState = new QLabel(this);
    m_storeState->setObjectName(QStringLiteral("label_StoreState"));
    m_storeState->hide();
    statusBar()->addWidget(m_storeState);
    statusBar()->addPermanentWidget(m_version);
    retranslateUi();
}

void Tervan::retranslateUi()
{
    setWindowTitle(QStringLiteral("ARQ-310MX"));
    m_pageTitles = QStringList{tr("系统设置"), tr("通道参数"), tr("采集设备"), tr("查看警告信息"),
                               tr("数据验证"), tr("验证报告"), tr("通道校准")};
    m_infoTitle = tr("提示");
    m_warningTitle = tr("警告");

    const QStringList tabTexts{tr("系统设置"), tr("设备管理"), tr("数据采集"),
                               tr("报告管理"), tr("通知管理"), tr("帮助")};
    for (int i = 0; i < m_tabs->count() && i < tabTexts.size(); ++i)
        m_tabs->setTabText(i, tabTexts.at(i));

    const QList<QPair<const char*, QString>> buttonTexts = {
        {"toolButton_SystemSet", tr("系统设置")},
        {"toolButton_ChannelConfig", tr("通道参数")},
        {"toolButton_AcquisitionDevice", tr("采集设备")},
        {"toolButton_ChannelCalibration", tr("通道校准")},
        {"toolButton_LabRecords", tr("标准器记录")},
        {"toolButton_Certificates", tr("校准证书")},
        {"toolButton_Parameters", tr("数据采集")},
        {"toolButton_VerificationReport", tr("采集报告")},
        {"toolButton_ViewLog", tr("查看通知")},
        {"toolButton_DownloadLog", tr("下载通知")},
        {"toolButton_DeleteLog", tr("删除通知")},
        {"toolButton_SetLog", tr("高级设置")},
        {"toolButton_Help", tr("帮助文档")},
        {"toolButton_Message", tr("联系我们")},
        {"toolButton_AboutUs", tr("关于软件")},
    };
    for (const auto& entry : buttonTexts)
        if (auto* button = findChild<QToolButton*>(QString::fromLatin1(entry.first)))
            button->setText(entry.second);

    if (m_version)
        m_version->setText(tr("ARQ-310MX %1 · 开源软件 · GPL-3.0").arg(QStringLiteral(ARQ_VERSION)));
    if (m_pageTitle && m_pageIndex >= 0 && m_pageIndex < m_pageTitles.size())
        m_pageTitle->setText(m_pageTitles.at(m_pageIndex));
}

void Tervan::loadSettings()
{
    SystemContext& c = *m_context;
    QString text;
    bool flag = false;
    // A new database shows two decimals (temperatures as 23.41, not 23); an
    // existing one keeps what it holds.
    if (!Tool::getSystemSet(QStringLiteral("DataAccuracy"), text, QString::number(DefaultDataAccuracy)))
        return;
    c.DataAccuracy = text.toInt();
    if (!Tool::getSystemSet(QStringLiteral("SystemLanguage"), text))
        return;
    c.SystemLanguage = text;
    if (!Tool::getSystemSet(QStringLiteral("AutoBackup"), flag))
        return;
    c.AutoBackup = flag;
    if (!Tool::getSystemSet(QStringLiteral("BackupCycle"), text))
        return;
    c.BackupCycle = text.toInt();
    if (!Tool::getSystemSet(QStringLiteral("BackupPath"), text))
        return;
    c.BackupPath = text;
    if (!Tool::getSystemSet(QStringLiteral("BackupTime"), text))
        return;
    c.BackupTime = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    if (!Tool::getSystemSet(QStringLiteral("EmailInterval"), text))
        return;
    c.EmailInterval = text.toInt();
    if (!Tool::getSystemSet(QStringLiteral("EmailAutoTrigger"), flag))
        return;
    c.EmailAutoTrigger = flag;
    if (!Tool::getSystemSet(QStringLiteral("EmailAddress"), text))
        return;
    c.EmailAddress = text.split(QLatin1Char(','), Qt::KeepEmptyParts);
}

QString Tervan::dataFile(const QString& name)
{
    // The working directory first (a lab may keep its own copies there), then
    // where an installation puts them: <prefix>/share/arq310mx beside <prefix>/bin.
    const QString local = QDir::current().absoluteFilePath(name);
    if (QFileInfo::exists(local))
        return local;
    const QString installed = QDir(QCoreApplication::applicationDirPath())
                                  .absoluteFilePath(QStringLiteral("../share/arq310mx/") + name);
    if (QFileInfo::exists(installed))
        return QDir::cleanPath(installed);
    return local;
}

void Tervan::loadTranslation(const QString& language)
{
    // A language never chosen (fresh database) is the source language, as the
    // settings page shows it; anything else but Chinese means English.
    const bool chinese = language.isEmpty() || language == QStringLiteral("中文");
    const QString file = chinese ? QStringLiteral("tervan_zh.qm") : QStringLiteral("tervan_en.qm");
    QCoreApplication::removeTranslator(&m_translator);
    if (!m_translator.load(dataFile(file)))
        qDebug().noquote() << "Translation not loaded:" << file;
    QCoreApplication::installTranslator(&m_translator);
    loadQtTranslation(chinese);
    retranslateUi();
}

void Tervan::loadQtTranslation(bool chinese)
{
    // Qt's own texts (file dialogs, standard buttons, context menus) are
    // English in Qt itself: the Chinese interface loads Qt's translation
    // (Debian: qttranslations5-l10n; Windows: the translations folder that
    // windeployqt puts beside the program).
    QCoreApplication::removeTranslator(&m_qtTranslator);
    if (!chinese)
        return;
    const QLocale locale(QLocale::Chinese, QLocale::China);
    const QStringList folders{QLibraryInfo::location(QLibraryInfo::TranslationsPath),
                              QCoreApplication::applicationDirPath() + QStringLiteral("/translations"),
                              QDir::currentPath()};
    for (const QString& folder : folders) {
        if (m_qtTranslator.load(locale, QStringLiteral("qt"), QStringLiteral("_"), folder)) {
            QCoreApplication::installTranslator(&m_qtTranslator);
            return;
        }
    }
    qWarning().noquote() << "Qt's Chinese translation (qt_zh_CN.qm) not found in" << folders.join(QStringLiteral(", "))
                         << "- Qt's dialogs and buttons stay in English";
}

bool Tervan::pageIsBusy() const { return m_page && !m_page->IsIdle(); }

QString Tervan::busyMessage() const
{
    return m_pageIndex == PageCalibration ? tr("正在校准中！") : tr("设备操作进行中，请稍候！");
}

void Tervan::showPage(int index)
{
    if (index == m_pageIndex)
        return;
    if (m_page) {
        if (pageIsBusy()) {
            // A page never dies while its worker runs.
            MessageBox::information(this, m_warningTitle, busyMessage());
            return;
        }
        m_pageArea->removeWidget(m_page);
        delete m_page.data();
    }
    if (m_pageIndex != PageNone)
        m_spacer->changeSize(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding);

    if (ToolPage* page = createPage(index)) {
        m_page = page;
        m_pageArea->insertWidget(0, page, 1);
        page->setContext(m_context);
        if (auto* settings = qobject_cast<SystemSet*>(page)) {
            connect(settings, &SystemSet::SQListOpen_signals, this, &Tervan::SQListOpen_slots);
            connect(settings, &SystemSet::SQListClose_signals, this, &Tervan::SQListClose_slots);
            connect(settings, &SystemSet::Language_signals, this, &Tervan::Language_slots);
        }
        page->show();
    }
    if (index < 7 && index >= 0 && m_pageTitle)
        m_pageTitle->setText(m_pageTitles.at(index));
    if (index != PageNone)
        m_spacer->changeSize(0, 0, QSizePolicy::Fixed, QSizePolicy::Fixed);
    m_pageArea->invalidate();
    m_pageIndex = index;
}

ToolPage* Tervan::createPage(int index)
{
    if (pageFactory())
        return pageFactory()(index, this);
    switch (index) {
    case PageSystemSet:
        return new SystemSet(this);
    case PageChannelConfig:
        return new ChannelConfig(this);
    case PageAcquisitionDevice:
        return new AcquisitionDevice(this);
    case PageViewLog:
        return new ViewLog(this);
    case PageCalibration:
        return new ChannelCalibration(this);
    case PageReport:
        return new VerificationReport(this);
    default:
        // Pages that are not part of this build leave the area empty.
        return nullptr;
    }
}

void Tervan::pt_SystemSet_clicked() { showPage(PageSystemSet); }
void Tervan::pt_ChannelConfig_clicked() { showPage(PageChannelConfig); }
void Tervan::pt_AcquisitionDevice_clicked() { showPage(PageAcquisitionDevice); }
void Tervan::pt_ViewLog_clicked() { showPage(PageViewLog); }
void Tervan::pt_VerificationReport_clicked() { showPage(PageReport); }
void Tervan::pt_ChannelCalibration_clicked() { showPage(PageCalibration); }

void Tervan::pt_LabRecords_clicked()
{
    LabRecordsDialog dialog(this);
    ModalRun::exec(&dialog);
}

void Tervan::pt_Certificates_clicked()
{
    CalibrationHistoryDialog dialog(this);
    ModalRun::exec(&dialog);
}

void Tervan::pt_Parameters_clicked()
{
    showPage(PageNone);
    ParametersMode mode(this);
    mode.setContext(m_context);
    if (mode.exec() != QDialog::Accepted)
        return;
    ParametersChannel channels(this);
    channels.setContext(m_context);
    if (channels.exec() != QDialog::Accepted)
        return;
    if (m_context->Mode == QStringLiteral("在线")) {
        // Its destructor writes the projects' end times and closes the devices.
        ParametersOnLine online(this);
        online.setContext(m_context);
        online.exec();
    } else if (m_context->Mode == QStringLiteral("导入")) {
        ParametersImport import(this);
        import.setContext(m_context);
        import.exec();
    } else if (m_context->Mode == QStringLiteral("脱机")) {
        // Its destructor waits for a running worker and removes the working files.
        ParametersDisconnection offline(this);
        offline.setContext(m_context);
        offline.exec();
    }
}

void Tervan::notificationAction(int which)
{
    if (m_pageIndex != PageViewLog || !m_page) {
        static const char* const reminders[] = {QT_TR_NOOP("请先选择需要下载的通知!"),
                                                QT_TR_NOOP("请先选择需要删除的通知!"),
                                                QT_TR_NOOP("请先选择需要设置的通知!")};
        MessageBox::information(this, m_warningTitle, tr(reminders[which]));
        showPage(PageViewLog);
        return;
    }
    // The warning-log page answers these through its own operations.
    static const char* const operations[] = {"exportLog", "deleteLog", "setLog"};
    QMetaObject::invokeMethod(m_page, operations[which]);
}

void Tervan::pt_DownloadLog_clicked() { notificationAction(0); }
void Tervan::pt_DeleteLog_clicked() { notificationAction(1); }
void Tervan::pt_SetLog_clicked() { notificationAction(2); }

void Tervan::pt_Help_clicked()
{
    // The same HTML help everywhere: no .chm is built.
    const QString path = dataFile(QStringLiteral("help.html"));
    // A help that cannot be shown says so, with the file to open by hand.
    QPointer<Tervan> window(this);
    helpOpener()(path, [window, path](bool opened) {
        if (opened || !window)
            return;
        qWarning().noquote() << "Help not opened:" << path;
        MessageBox::warning(window, window->m_warningTitle,
                            tr("无法打开帮助文档：没有找到能显示它的浏览器。请安装网页浏览器，或直接打开文件 %1。")
                                .arg(QDir::toNativeSeparators(path)));
    });
}

void Tervan::pt_Message_clicked()
{
    Message dialog(this);
    dialog.exec();
}

void Tervan::pt_AboutUs_clicked()
{
    AboutUs dialog(this);
    dialog.exec();
}

void Tervan::TimeUpdate_slots()
{
    if (m_clock)
        // The format is a text of the interface: it follows the chosen language.
        m_clock->setText(QDateTime::currentDateTime().toString(tr("yyyy年MM月dd日 hh:mm:ss")));
    updateStoreState();
}

void Tervan::updateStoreState()
{
    Tool::StoreWriter* writer = Tool::StoreWriter::instance();
    const Tool::StoreWriter::State state = writer ? writer->state() : Tool::StoreWriter::State();
    if (!m_storeState)
        return;
    if (m_localOnly) {
        // The whole session: what is stored now is not on the lab server.
        m_storeState->setText(tr("实验室数据库服务器不可达，本次使用本机数据库文件"));
        m_storeState->show();
        return;
    }
    if (!state.failing || state.depth == 0) {
        m_storeState->hide();
        return;
    }
    QString text = tr("实验室数据库服务器无响应：%1项待存").arg(state.depth);
    if (state.oldestScan.isValid())
        text += tr("，最早未存扫描 %1").arg(state.oldestScan.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    m_storeState->setText(text);
    m_storeState->show();
}

void Tervan::BackupTimer_slots()
{
    const SystemContext& c = *m_context;
    if (!c.AutoBackup)
        return;
    const QDateTime now = QDateTime::currentDateTime();
    if (c.BackupTime.isValid() && now < c.BackupTime.addDays(c.BackupCycle))
        return;
    if (!QFileInfo(c.BackupPath).isDir())
        return;
    const QString target = Backup::backupTarget(c.BackupPath, now);
    if (!Backup::backupDatabase(target)) {
        qDebug().noquote() << QStringLiteral("备份失败！");
        return;
    }
    qDebug().noquote() << QStringLiteral("路径为：") + target;
    m_context->BackupTime = now;
    if (!Tool::modifySystemSet(QStringLiteral("BackupTime"), now.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))))
        qDebug().noquote() << QStringLiteral("写入失败！");
}

void Tervan::SQListClose_slots()
{
    QSqlDatabase db = QSqlDatabase::database(QLatin1String(QSqlDatabase::defaultConnection), false);
    if (db.isValid())
        db.close();
}

void Tervan::SQListOpen_slots()
{
    if (!openDatabase())
        MessageBox::information(this, m_warningTitle, tr("打开数据库失败！"));
}

void Tervan::Language_slots(QString language)
{
    loadTranslation(language);
    if (m_pageIndex == PageSystemSet && m_page)
        m_page->retranslateUi();
}

void Tervan::closeEvent(QCloseEvent* event)
{
    if (pageIsBusy()) {
        MessageBox::information(this, m_warningTitle, busyMessage());
        event->ignore();
        return;
    }
    if (MessageBox::question(this, tr("退出程序"), tr("确认退出程序"))) {
        event->accept();
    } else {
        event->ignore();
    }
}
