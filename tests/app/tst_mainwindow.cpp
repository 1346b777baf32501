// The main window: start-up, page switching and its guards, notification
// buttons, language switch, automatic backup and the exit guard.
#include "HeldRows.h"
#include "MessageBox.h"
#include "SystemContext.h"
#include "SystemSet.h"
#include "Tervan.h"
#include "TestSupport.h"
#include "Tool.h"

#include <QCloseEvent>
#include <QDir>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QtTest>

namespace {
// Stands in for pages of other subsystems.
class FakePage : public ToolPage
{
    Q_OBJECT
public:
    FakePage(int index, QWidget* parent) : ToolPage(parent), index(index) { ++alive; }
    ~FakePage() override { --alive; }
    void setContext(SystemContext* c) override { context = c; }
    bool IsIdle() const override { return !busy; }
    int index;
    SystemContext* context = nullptr;
    bool busy = false;
    int operations = 0;
    static int alive;
public slots:
    void deleteLog() { ++operations; }
};
int FakePage::alive = 0;

QString button(Tervan& w, const char* name) { return w.findChild<QToolButton*>(name)->text(); }
void click(Tervan& w, const char* name) { w.findChild<QToolButton*>(name)->click(); }
} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        Q_INIT_RESOURCE(resources);
        Tervan::setSplashDuration(0);
        MessageBox::setTestMode(true);
        FileDialog::setTestMode(true);
    }
    void init()
    {
        m_dir.reset(new TestWorkDir);
        MessageBox::clear();
        Tervan::setPageFactory(nullptr);
    }
    void cleanup() { m_dir.reset(); }

    void startUpCreatesDatabaseAndLoadsSettings()
    {
        Tervan w;
        QVERIFY(w.databaseOpen());
        QVERIFY(QFile::exists("ARQ-310MX.db3"));
        QCOMPARE(w.windowTitle(), QStringLiteral("ARQ-310MX"));
        QCOMPARE(w.size(), QSize(1170, 777));
        QCOMPARE(w.findChild<QTabWidget*>()->currentIndex(), 1);
        QCOMPARE(w.currentPageIndex(), 100);
        QVERIFY(MessageBox::shown().isEmpty());
        // Every setting key exists after the first start.
        QCOMPARE(TestSupport::scalar("select count(*) from SystemSet").toInt(), 9);
        QCOMPARE(w.context()->EmailAddress, QStringList{QString()});
        QCOMPARE(w.backupTimer()->interval(), 300000);
        QVERIFY(w.clockLabel());
        w.TimeUpdate_slots();
        QVERIFY(w.clockLabel()->text().contains(QStringLiteral("年")));
    }

    // The lab's server cannot be reached at start-up: the program says why and
    // offers the bench's own file; declined, nothing is opened.
    void unreachableServerOffersTheLocalFile_data()
    {
        QTest::addColumn<bool>("accept");
        QTest::newRow("local file") << true;
        QTest::newRow("declined") << false;
    }
    void unreachableServerOffersTheLocalFile()
    {
        QFETCH(bool, accept);
        QFile ini(Tool::DatabaseSettingsFileName);
        QVERIFY(ini.open(QIODevice::WriteOnly));
        // Nothing listens on port 1 of the loopback.
        ini.write("[database]\nengine=postgresql\nhost=127.0.0.1\nport=1\ndatabase=lab\nuser=b1\npassword=SECRET\n");
        ini.close();
        MessageBox::queueAnswer(accept ? MessageBox::Yes : MessageBox::No);
        Tervan w;
        QVERIFY(!MessageBox::shown().isEmpty());
        const QString question = MessageBox::shown().first().text;
        QVERIFY2(question.contains(QStringLiteral("无法连接实验室数据库服务器")), qPrintable(question));
        QVERIFY(question.contains(QStringLiteral("127.0.0.1")));
        QVERIFY(!question.contains(QStringLiteral("SECRET")));
        QCOMPARE(w.databaseOpen(), accept);
        QCOMPARE(QFile::exists("ARQ-310MX.db3"), accept);
        if (!accept)
            QCOMPARE(MessageBox::last().text, QStringLiteral("打开数据库失败！"));
    }

    void settingsAreReadBack()
    {
        {
            QVERIFY(TestSupport::openDatabase());
            QString v;
            for (const char* key : {"DataAccuracy", "SystemLanguage", "BackupCycle", "EmailAddress"})
                Tool::getSystemSet(key, v);
            Tool::modifySystemSet("DataAccuracy", QString("3"));
            Tool::modifySystemSet("SystemLanguage", QString("English"));
            Tool::modifySystemSet("BackupCycle", QString("7"));
            Tool::modifySystemSet("EmailAddress", QString("a@x.org,,b@y.org"));
            TestSupport::closeDatabase();
        }
        Tervan w;
        QCOMPARE(w.context()->DataAccuracy, 3);
        QCOMPARE(w.context()->SystemLanguage, QStringLiteral("English"));
        QCOMPARE(w.context()->BackupCycle, 7);
        QCOMPARE(w.context()->EmailAddress, (QStringList{"a@x.org", "", "b@y.org"}));
        QVERIFY(!w.context()->BackupTime.isValid());
    }

    // Scans an earlier run left in a side file beside the database (the
    // database refused them to the end, or the program died) are stored
    // once the window is up, and the user hears of it. Scans of a project
    // deleted since, and a scan cut short, are not stored.
    void heldScansOfAnEarlierRunAreStoredAtStart()
    {
        QVERIFY(TestSupport::openDatabase());
        Tool::Struct_Parameters project;
        project.Name = QStringLiteral("P");
        project.Time = project.Start = QStringLiteral("2026-01-01 08:00:00");
        project.End = QStringLiteral("2026-01-01 09:00:00");
        QVERIFY(Tool::addParameters(project));
        TestSupport::closeDatabase();
        const QString side = QStringLiteral("ARQ-310MX.db3.held-20260101-080000-000.tsv");
        QByteArray text;
        for (int i = 0; i < 4; ++i) {
            const QDateTime t = QDateTime(QDate(2026, 1, 1), QTime(8, 0)).addSecs(i);
            Tool::Struct_ParametersData row{QStringLiteral("P"), t, {QString::number(i), QStringLiteral("1.5")}};
            Tool::Struct_ParametersData gone{QStringLiteral("Gone"), t, {QStringLiteral("9")}};
            const QByteArray frame = HeldRows::frame({i, t, {row}}) + HeldRows::frame({100 + i, t, {gone}});
            text += i < 3 ? frame : frame.left(20); // the last one cut short
        }
        QFile f(side);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(text);
        f.close();

        Tervan w;
        QVERIFY(MessageBox::shown().isEmpty()); // not before the window is up
        QTRY_COMPARE(MessageBox::shown().size(), 1);
        QCOMPARE(MessageBox::last().title, QStringLiteral("提示"));
        QCOMPARE(MessageBox::last().text, QStringLiteral("上次采集未存入数据库的3次扫描已从文件%1存入数据库。")
                                              .arg(QDir::toNativeSeparators(QDir::current().filePath(side))));
        QCOMPARE(TestSupport::scalar("select count(*) from ParametersData where Name = 'P'").toInt(), 3);
        QCOMPARE(TestSupport::scalar("select group_concat(Data, ';') from ParametersData").toString(),
                 QStringLiteral("0,1.5;1,1.5;2,1.5"));
        QVERIFY(!QFile::exists(side));
    }

    void databaseThatCannotOpen()
    {
        QDir().mkdir("ARQ-310MX.db3"); // a directory where the file should be
        Tervan w;
        QCOMPARE(MessageBox::last().text, QStringLiteral("打开数据库失败！"));
        QCOMPARE(MessageBox::last().title, QStringLiteral("警告"));
        QVERIFY(!w.backupTimer());
        QVERIFY(!w.clockLabel());
        // Pages still open and close without a database.
        w.showPage(0);
        QCOMPARE(w.currentPageIndex(), 0);
    }

    void pageSwitching()
    {
        Tervan::setPageFactory([](int index, QWidget* parent) -> ToolPage* {
            return index == 4 || index == 100 ? nullptr : new FakePage(index, parent);
        });
        Tervan w;
        click(w, "toolButton_ChannelConfig");
        QCOMPARE(w.currentPageIndex(), 1);
        auto* first = qobject_cast<FakePage*>(w.currentPage());
        QVERIFY(first);
        QCOMPARE(first->context, w.context());
        QCOMPARE(w.pageTitleLabel()->text(), QStringLiteral("通道参数"));

        click(w, "toolButton_ChannelConfig"); // same button: same page object
        QCOMPARE(w.currentPage(), first);
        QCOMPARE(FakePage::alive, 1);

        click(w, "toolButton_VerificationReport");
        QCOMPARE(w.currentPageIndex(), 5);
        QCOMPARE(FakePage::alive, 1); // the previous page is gone
        QCOMPARE(w.pageTitleLabel()->text(), QStringLiteral("验证报告"));

        w.showPage(4);
        QCOMPARE(FakePage::alive, 0);
        QCOMPARE(w.pageTitleLabel()->text(), QStringLiteral("数据验证"));
        w.showPage(100);
        QCOMPARE(w.pageTitleLabel()->text(), QStringLiteral("数据验证"));
        QCOMPARE(w.currentPageIndex(), 100);
    }

    void calibrationPageOpensFromDeviceManagement()
    {
        Tervan w;
        click(w, "toolButton_ChannelCalibration");
        QCOMPARE(w.currentPageIndex(), 6);
        QVERIFY(w.currentPage() && w.currentPage()->objectName() == QStringLiteral("ChannelCalibration"));
        QCOMPARE(w.pageTitleLabel()->text(), QStringLiteral("通道校准"));
        QVERIFY(w.currentPage()->IsIdle());
        click(w, "toolButton_SystemSet"); // an idle calibration page makes way
        QCOMPARE(w.currentPageIndex(), 0);
    }

    void busyCalibrationPageCannotBeLeft()
    {
        Tervan::setPageFactory([](int index, QWidget* parent) -> ToolPage* { return new FakePage(index, parent); });
        Tervan w;
        click(w, "toolButton_ChannelCalibration");
        auto* page = qobject_cast<FakePage*>(w.currentPage());
        page->busy = true;

        click(w, "toolButton_SystemSet");
        QCOMPARE(MessageBox::last().text, QStringLiteral("正在校准中！"));
        QCOMPARE(w.currentPageIndex(), 6);
        MessageBox::clear();
        // The chain goes on to the set-up dialog; the user cancels it.
        QTimer::singleShot(0, [] {
            if (QWidget* dialog = QApplication::activeModalWidget())
                dialog->close();
        });
        click(w, "toolButton_Parameters"); // the acquisition chain clears the area first
        QCOMPARE(MessageBox::last().text, QStringLiteral("正在校准中！"));
        QCOMPARE(w.currentPage(), page);

        QCloseEvent close;
        QApplication::sendEvent(&w, &close);
        QVERIFY(!close.isAccepted());

        page->busy = false;
        click(w, "toolButton_SystemSet");
        QCOMPARE(w.currentPageIndex(), 0);
    }

    void otherBusyPagesAreKeptToo()
    {
        Tervan::setPageFactory([](int index, QWidget* parent) -> ToolPage* { return new FakePage(index, parent); });
        Tervan w;
        click(w, "toolButton_AcquisitionDevice");
        qobject_cast<FakePage*>(w.currentPage())->busy = true;
        click(w, "toolButton_ViewLog");
        QCOMPARE(w.currentPageIndex(), 2);
        QCOMPARE(MessageBox::last().title, QStringLiteral("警告"));
    }

    void notificationButtons()
    {
        Tervan::setPageFactory([](int index, QWidget* parent) -> ToolPage* { return new FakePage(index, parent); });
        Tervan w;
        click(w, "toolButton_AcquisitionDevice");
        click(w, "toolButton_DeleteLog");
        QCOMPARE(MessageBox::last().text, QStringLiteral("请先选择需要删除的通知!"));
        QCOMPARE(w.currentPageIndex(), 3);
        click(w, "toolButton_DeleteLog");
        QCOMPARE(qobject_cast<FakePage*>(w.currentPage())->operations, 1);
        MessageBox::clear();
        w.showPage(100);
        click(w, "toolButton_DownloadLog");
        QCOMPARE(MessageBox::last().text, QStringLiteral("请先选择需要下载的通知!"));
        w.showPage(100);
        click(w, "toolButton_SetLog");
        QCOMPARE(MessageBox::last().text, QStringLiteral("请先选择需要设置的通知!"));
    }

    void exitAsksFirst()
    {
        Tervan w;
        MessageBox::queueAnswer(MessageBox::No);
        QCloseEvent refused;
        QApplication::sendEvent(&w, &refused);
        QVERIFY(!refused.isAccepted());
        QCOMPARE(MessageBox::last().title, QStringLiteral("退出程序"));
        QCOMPARE(MessageBox::last().text, QStringLiteral("确认退出程序"));
        MessageBox::queueAnswer(MessageBox::Yes);
        QCloseEvent accepted;
        QApplication::sendEvent(&w, &accepted);
        QVERIFY(accepted.isAccepted());
    }

    void languageSwitchRelabelsTheToolBar()
    {
        const QString qm = QString::fromLocal8Bit(qgetenv("ARQ_BINARY_DIR")) + "/tervan_en.qm";
        if (!QFile::exists(qm))
            ARQ_REQUIRE(false, "the English translation (tervan_en.qm)");
        QFile::copy(qm, "tervan_en.qm");
        Tervan w;
        // A fresh database has no language yet: the interface starts in Chinese.
        QCOMPARE(w.context()->SystemLanguage, QString());
        w.showPage(0);
        auto* settings = qobject_cast<SystemSet*>(w.currentPage());
        QVERIFY(settings);
        QCOMPARE(button(w, "toolButton_SystemSet"), QStringLiteral("系统设置"));
        emit settings->Language_signals("English");
        QCOMPARE(button(w, "toolButton_SystemSet"), QStringLiteral("System settings"));
        QCOMPARE(settings->findChild<QPushButton*>("pushButton_Backups")->text(), QStringLiteral("Back up"));
        // The status-bar clock follows the language too.
        w.TimeUpdate_slots();
        QVERIFY2(!w.clockLabel()->text().contains(QStringLiteral("年")), qPrintable(w.clockLabel()->text()));
        QCOMPARE(w.clockLabel()->text().mid(4, 1), QStringLiteral("-"));
        emit settings->Language_signals(QStringLiteral("中文"));
        QCOMPARE(button(w, "toolButton_SystemSet"), QStringLiteral("系统设置"));
    }

    void helpOpensTheDocumentOfTheWorkingDirectory()
    {
        QString opened;
        Tervan::setHelpOpener([&opened](const QString& p, std::function<void(bool)> done) {
            opened = p;
            done(true);
        });
        Tervan w;
        click(w, "toolButton_Help");
        Tervan::setHelpOpener(nullptr);
        QCOMPARE(opened, QDir::current().absoluteFilePath("help.html"));
        QVERIFY(MessageBox::shown().isEmpty());
    }

    // No browser: xdg-open starts but finds nothing to show the page with
    // (exit status 3, as xdg-open gives then). The help used to stay silent.
    void helpWithoutBrowserSaysSo()
    {
        QDir().mkdir("bin");
        {
            QFile fake("bin/xdg-open");
            QVERIFY(fake.open(QIODevice::WriteOnly));
            fake.write("#!/bin/sh\necho \"xdg-open: no method available for opening '$1'\" >&2\nexit 3\n");
        }
        QFile::setPermissions("bin/xdg-open", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile help("help.html");
        QVERIFY(help.open(QIODevice::WriteOnly) && help.write("<html></html>") > 0);
        help.close();
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(QDir::current().absoluteFilePath("bin")) + ":/usr/bin:/bin");
        Tervan w;
        click(w, "toolButton_Help");
        QTRY_VERIFY_WITH_TIMEOUT(!MessageBox::shown().isEmpty(), 10000);
        qputenv("PATH", path);
        QCOMPARE(MessageBox::last().title, QStringLiteral("警告"));
        QVERIFY2(MessageBox::last().text.startsWith(QStringLiteral("无法打开帮助文档")), qPrintable(MessageBox::last().text));
        QVERIFY(MessageBox::last().text.contains(QDir::current().absoluteFilePath("help.html")));

        // No xdg-open at all: the same.
        MessageBox::clear();
        qputenv("PATH", QFile::encodeName(QDir::current().absoluteFilePath("nothing")));
        click(w, "toolButton_Help");
        QTRY_VERIFY_WITH_TIMEOUT(!MessageBox::shown().isEmpty(), 10000);
        qputenv("PATH", path);
        QVERIFY(MessageBox::last().text.startsWith(QStringLiteral("无法打开帮助文档")));
    }

    // A new database shows two decimals; one that holds a value keeps it (0 too).
    void newDatabaseShowsTwoDecimals()
    {
        {
            Tervan w;
            QCOMPARE(w.context()->DataAccuracy, 2);
            QCOMPARE(TestSupport::scalar("select Data from SystemSet where Name='DataAccuracy'").toString(),
                     QStringLiteral("2"));
        }
        {
            QVERIFY(TestSupport::openDatabase());
            QVERIFY(Tool::modifySystemSet("DataAccuracy", QString("0")));
            TestSupport::closeDatabase();
        }
        Tervan w;
        QCOMPARE(w.context()->DataAccuracy, 0);
    }

    // Qt's own texts (standard buttons, file dialogs) follow the interface
    // language: Chinese with Qt's translation loaded, English without.
    void qtTextsFollowTheLanguage()
    {
        const QString qm = QString::fromLocal8Bit(qgetenv("ARQ_BINARY_DIR")) + "/tervan_en.qm";
        if (QFile::exists(qm))
            QFile::copy(qm, "tervan_en.qm");
        Tervan w;
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Save As"), QStringLiteral("另存为"));
        w.showPage(0);
        auto* settings = qobject_cast<SystemSet*>(w.currentPage());
        QVERIFY(settings);
        emit settings->Language_signals("English");
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("Cancel"));
        emit settings->Language_signals(QStringLiteral("中文"));
        QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), QStringLiteral("取消"));
    }

    void automaticBackup()
    {
        Tervan w;
        QDir().mkdir("backups");
        SystemContext* c = w.context();

        w.BackupTimer_slots(); // off: nothing
        QCOMPARE(QDir("backups").entryList(QDir::Files).size(), 0);

        c->AutoBackup = true;
        c->BackupCycle = 0;
        c->BackupPath = "missing";
        w.BackupTimer_slots(); // path missing: nothing, silently
        QVERIFY(!c->BackupTime.isValid());

        c->BackupPath = QDir::current().absoluteFilePath("backups");
        w.BackupTimer_slots();
        QVERIFY(c->BackupTime.isValid());
        QCOMPARE(QDir("backups").entryList(QDir::Files).size(), 1);
        QString stored;
        Tool::getSystemSet("BackupTime", stored);
        QCOMPARE(stored, c->BackupTime.toString("yyyy-MM-dd hh:mm:ss"));

        // Within the period nothing is due.
        c->BackupCycle = 1;
        w.BackupTimer_slots();
        QCOMPARE(QDir("backups").entryList(QDir::Files).size(), 1);
    }

private:
    QScopedPointer<TestWorkDir> m_dir;
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
