// The settings page: automatic backup switch, manual backup, restore and
// system parameters, as a user sees them through the message boxes.
#include "MessageBox.h"
#include "SystemContext.h"
#include "SystemSet.h"
#include "Tervan.h"
#include "TestSupport.h"
#include "Tool.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCryptographicHash>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {
QString setting(const QString& key)
{
    return TestSupport::scalar(QStringLiteral("select Data from SystemSet where Name='%1'").arg(key)).toString();
}

QByteArray fileHash(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}
} // namespace

class TestSystemSet : public QObject
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
        FileDialog::clear();
        m_window.reset(new Tervan);
        m_window->showPage(0);
        m_page = qobject_cast<SystemSet*>(m_window->currentPage());
        QVERIFY(m_page);
        m_context = m_window->context();
    }
    void cleanup()
    {
        m_window.reset();
        m_dir.reset();
    }

    void autoBackupNeedsAPeriod_data()
    {
        QTest::addColumn<bool>("startOn");
        QTest::newRow("switching on") << false;
        QTest::newRow("switching off") << true;
    }
    void autoBackupNeedsAPeriod()
    {
        QFETCH(bool, startOn);
        auto* box = m_page->findChild<QCheckBox*>("checkBox_AutoBackup");
        box->setChecked(startOn);
        m_page->findChild<QLineEdit*>("lineEdit_BackupsCycle")->clear();
        box->click();
        QCOMPARE(MessageBox::last().text, QStringLiteral("备份周期不能为0！"));
        QCOMPARE(MessageBox::last().title, QStringLiteral("警告"));
        QCOMPARE(box->isChecked(), startOn);
    }

    void autoBackupNeedsAnExistingDirectory()
    {
        m_page->findChild<QLineEdit*>("lineEdit_BackupsCycle")->setText("1");
        auto* box = m_page->findChild<QCheckBox*>("checkBox_AutoBackup");
        box->click();
        QCOMPARE(MessageBox::last().text, QStringLiteral("备份路径不存在！"));
        QCOMPARE(MessageBox::last().title, QStringLiteral("提示"));
        QVERIFY(!box->isChecked());
        QVERIFY(!m_context->AutoBackup);
    }

    void autoBackupOnStoresBothKeys()
    {
        QDir().mkdir("b");
        FileDialog::queueAnswer(QDir::current().absoluteFilePath("b"));
        m_page->findChild<QPushButton*>("pushButton_Select1")->click();
        QCOMPARE(FileDialog::asked().last().caption, QStringLiteral("选择目录"));
        QCOMPARE(m_context->BackupPath, QDir::current().absoluteFilePath("b"));
        QCOMPARE(setting("BackupPath"), m_context->BackupPath);

        m_page->findChild<QLineEdit*>("lineEdit_BackupsCycle")->setText("1");
        m_page->findChild<QCheckBox*>("checkBox_AutoBackup")->click();
        QVERIFY(MessageBox::shown().isEmpty());
        QCOMPARE(setting("AutoBackup"), QStringLiteral("true"));
        QCOMPARE(setting("BackupCycle"), QStringLiteral("1"));
        QVERIFY(m_context->AutoBackup);
        QCOMPARE(m_context->BackupCycle, 1);
        QVERIFY(m_page->findChild<QLineEdit*>("lineEdit_BackupPath")->isEnabled());

        // No backup yet: the next tick makes one.
        m_window->BackupTimer_slots();
        QCOMPARE(QDir("b").entryList(QDir::Files).size(), 1);

        // Cancelling the directory dialog changes nothing.
        m_page->findChild<QPushButton*>("pushButton_Select1")->click();
        QCOMPARE(m_context->BackupPath, QDir::current().absoluteFilePath("b"));
    }

    void manualBackupMessages()
    {
        auto* path = m_page->findChild<QLineEdit*>("lineEdit_BackupPath");
        auto* backup = m_page->findChild<QPushButton*>("pushButton_Backups");
        path->clear();
        backup->click();
        QCOMPARE(MessageBox::last().text, QStringLiteral("请选择备份路径！"));
        QCOMPARE(MessageBox::last().title, QStringLiteral("警告"));
        path->setText("does/not/exist");
        backup->click();
        QCOMPARE(MessageBox::last().text, QStringLiteral("备份失败：路径不存在！"));

        // Two backups in one minute: the second finds its name taken. Retry
        // when the clock crossed a minute between the two.
        for (int attempt = 0; attempt < 3; ++attempt) {
            const QString dir = QStringLiteral("m%1").arg(attempt);
            QDir().mkdir(dir);
            path->setText(dir);
            const QString minute = QDateTime::currentDateTime().toString("hh:mm");
            backup->click();
            QCOMPARE(MessageBox::last().text, QStringLiteral("备份成功！"));
            QVERIFY(m_context->BackupTime.isValid());
            QCOMPARE(setting("BackupTime"), m_context->BackupTime.toString("yyyy-MM-dd hh:mm:ss"));
            backup->click();
            if (QDateTime::currentDateTime().toString("hh:mm") != minute)
                continue;
            QCOMPARE(MessageBox::last().text, QStringLiteral("备份失败！"));
            return;
        }
        QFAIL("clock kept crossing minutes");
    }

    void restoreOfABadFileKeepsTheDatabaseOpen()
    {
        QVERIFY(Tool::addParameters({"keep", "", "", "", {}, {}, {}, "", "", {}, {}, {}, {}, {}, {}}));
        QFile bad("bad.db3");
        QVERIFY(bad.open(QIODevice::WriteOnly));
        bad.write(QByteArray(4096, 'x'));
        bad.close();
        const QByteArray before = fileHash(SystemSet::databasePath());
        QSignalSpy closed(m_page, &SystemSet::SQListClose_signals);
        FileDialog::queueAnswer(QDir::current().absoluteFilePath("bad.db3"));
        m_page->findChild<QPushButton*>("pushButton_Recovery")->click();
        QCOMPARE(FileDialog::asked().last().caption, QStringLiteral("选择文件"));
        QCOMPARE(FileDialog::asked().last().filter, QStringLiteral("Config Files (*.db3)"));
        QCOMPARE(MessageBox::last().text, QStringLiteral("恢复失败！"));
        QCOMPARE(closed.count(), 0);
        QCOMPARE(fileHash(SystemSet::databasePath()), before);
        QVERIFY(m_window->databaseOpen());
        QList<Tool::Struct_Parameters> list;
        QVERIFY(Tool::getParameters(list, ""));
        QCOMPARE(list.size(), 1);
    }

    void restoreReplacesAndReopens()
    {
        QVERIFY(Tool::addParameters({"old", "", "", "", {}, {}, {}, "", "", {}, {}, {}, {}, {}, {}}));
        QDir().mkdir("b");
        m_page->findChild<QLineEdit*>("lineEdit_BackupPath")->setText("b");
        m_page->findChild<QPushButton*>("pushButton_Backups")->click();
        const QString backup = QDir("b").absoluteFilePath(QDir("b").entryList(QDir::Files).first());
        QVERIFY(Tool::addParameters({"new", "", "", "", {}, {}, {}, "", "", {}, {}, {}, {}, {}, {}}));

        QSignalSpy closed(m_page, &SystemSet::SQListClose_signals);
        QSignalSpy opened(m_page, &SystemSet::SQListOpen_signals);
        FileDialog::queueAnswer(backup);
        m_page->findChild<QPushButton*>("pushButton_Recovery")->click();
        QCOMPARE(MessageBox::last().text, QStringLiteral("恢复成功！"));
        QCOMPARE(closed.count(), 1);
        QCOMPARE(opened.count(), 1);
        QVERIFY(m_window->databaseOpen());
        QList<Tool::Struct_Parameters> list;
        QVERIFY(Tool::getParameters(list, ""));
        QCOMPARE(list.size(), 1);
        QCOMPARE(list[0].Name, QStringLiteral("old"));
    }

    void restoreOntoItself()
    {
        for (int i = 0; i < 20; ++i)
            QVERIFY(Tool::addParameters({QString::number(i), "", "", "", {}, {}, {}, "", "", {}, {}, {}, {}, {}, {}}));
        FileDialog::queueAnswer(SystemSet::databasePath());
        m_page->findChild<QPushButton*>("pushButton_Recovery")->click();
        QCOMPARE(MessageBox::last().text, QStringLiteral("恢复成功！"));
        QList<Tool::Struct_Parameters> list;
        QVERIFY(Tool::getParameters(list, ""));
        QCOMPARE(list.size(), 20);
    }

    void systemParameters()
    {
        QSignalSpy language(m_page, &SystemSet::Language_signals);
        m_page->findChild<QComboBox*>("comboBox_Language")->setCurrentText("English");
        m_page->findChild<QComboBox*>("comboBox_DataNumber")->setCurrentIndex(4);
        m_page->findChild<QPushButton*>("pushButton_Set")->click();
        QCOMPARE(language.count(), 1);
        QCOMPARE(language.first().first().toString(), QStringLiteral("English"));
        QCOMPARE(MessageBox::last().text, QStringLiteral("设置成功！"));
        QCOMPARE(MessageBox::last().title, QStringLiteral("警告"));
        QCOMPARE(setting("SystemLanguage"), QStringLiteral("English"));
        QCOMPARE(setting("DataAccuracy"), QStringLiteral("4"));
        QCOMPARE(m_context->DataAccuracy, 4);

        m_page->findChild<QPushButton*>("pushButton_Set")->click();
        QCOMPARE(language.count(), 1); // unchanged language: no second switch

        m_window->SQListClose_slots();
        m_page->findChild<QPushButton*>("pushButton_Set")->click();
        QCOMPARE(MessageBox::last().text, QStringLiteral("设置失败！"));
    }

    void contextIsShownOnTheWidgets()
    {
        SystemContext c;
        c.AutoBackup = true;
        c.BackupCycle = 3;
        c.BackupPath = "/tmp";
        c.SystemLanguage = "English";
        c.DataAccuracy = 9; // out of range: selection unchanged
        SystemSet page;
        page.setContext(&c);
        QVERIFY(page.findChild<QCheckBox*>("checkBox_AutoBackup")->isChecked());
        QCOMPARE(page.findChild<QLineEdit*>("lineEdit_BackupsCycle")->text(), QStringLiteral("3"));
        QCOMPARE(page.findChild<QComboBox*>("comboBox_Language")->currentText(), QStringLiteral("English"));
        QCOMPARE(page.findChild<QComboBox*>("comboBox_DataNumber")->currentIndex(), 0);
        QVERIFY(page.findChild<QLineEdit*>("lineEdit_BackupPath")->isEnabled());
    }

private:
    QScopedPointer<TestWorkDir> m_dir;
    QScopedPointer<Tervan> m_window;
    SystemSet* m_page = nullptr;
    SystemContext* m_context = nullptr;
};

QTEST_MAIN(TestSystemSet)
#include "tst_systemset.moc"
