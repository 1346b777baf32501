#include "ChannelConfig.h"
#include "ConfigFile.h"
#include "ConfigSample.h"
#include "MessageBox.h"
#include "TestSupport.h"
#include "Tool.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>

class TestChannelConfigPage : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void showsConfiguration();
    void unknownNameKeepsHeader();
    void deleteFlow();
    void deleteFailure();
    void exportFlow();
    void exportFailure();
    void dialogsShowChosenName();

private:
    ChannelConfig* page = nullptr;
    TestWorkDir* dir = nullptr;
    QLineEdit* edit(const char* name) { return page->findChild<QLineEdit*>(name); }
    QTableWidget* table() { return page->findChild<QTableWidget*>("tableWidget_List"); }
};

void TestChannelConfigPage::init()
{
    dir = new TestWorkDir;
    QVERIFY(TestSupport::openDatabase());
    QVERIFY(Tool::addChannelConfig(sampleConfig("炉温A", 3)));
    MessageBox::setTestMode(true);
    MessageBox::clear();
    FileDialog::setTestMode(true);
    FileDialog::clear();
    page = new ChannelConfig;
}

void TestChannelConfigPage::cleanup()
{
    delete page;
    page = nullptr;
    delete dir;
    dir = nullptr;
}

void TestChannelConfigPage::showsConfiguration()
{
    page->ShowConfig("炉温A");
    QCOMPARE(edit("lineEdit_Name")->text(), QStringLiteral("炉温A"));
    QCOMPARE(edit("lineEdit_Number")->text(), QStringLiteral("3"));
    QCOMPARE(edit("lineEdit_Mode")->text(), QStringLiteral("3107A-TC"));
    QVERIFY(!edit("lineEdit_Name")->isEnabled());
    QList<bool> checked;
    for (int k = 1; k <= 6; ++k)
        checked << page->findChild<QCheckBox*>(QStringLiteral("checkBox_Module%1").arg(k))->isChecked();
    QCOMPARE(checked, (QList<bool>{true, false, true, false, false, false}));

    QTableWidget* t = table();
    QCOMPARE(t->columnCount(), 19);
    QCOMPARE(t->horizontalHeaderItem(6)->text(), QStringLiteral("Mx+B"));
    QCOMPARE(t->rowCount(), 3);
    QStringList row;
    for (int c = 0; c < 19; ++c)
        row << t->item(1, c)->text();
    QCOMPARE(row, (QStringList{"2", "102", "CH102", "热电偶", "K", "二线制", "2_-0.2", "℃", "1.1", "2.1", "3.1",
                               "4.1", "100.1", "5.1", "6.1", "false", "-10", "false", "100"}));
    QCOMPARE(t->item(0, 15)->text(), QStringLiteral("true"));
    QCOMPARE(t->editTriggers(), QAbstractItemView::NoEditTriggers);
}

void TestChannelConfigPage::unknownNameKeepsHeader()
{
    page->ShowConfig("炉温A");
    page->ShowConfig("gone");
    QCOMPARE(table()->rowCount(), 0);
    QCOMPARE(edit("lineEdit_Name")->text(), QStringLiteral("炉温A"));
}

void TestChannelConfigPage::deleteFlow()
{
    page->pt_Delete_clicked();
    QCOMPARE(MessageBox::last().kind, QStringLiteral("warning"));
    QCOMPARE(MessageBox::last().text, QStringLiteral("请先选择需要删除的文件!"));

    page->ShowConfig("炉温A");
    MessageBox::clear();
    MessageBox::queueAnswer(MessageBox::No);
    page->pt_Delete_clicked();
    QCOMPARE(MessageBox::last().text, QStringLiteral("是否删除炉温A?"));
    QCOMPARE(MessageBox::last().title, QStringLiteral("提示"));
    QCOMPARE(table()->rowCount(), 3);
    QCOMPARE(TestSupport::scalar("select count(*) from ChannelConfig").toInt(), 1);

    MessageBox::clear();
    MessageBox::queueAnswer(MessageBox::Yes);
    page->pt_Delete_clicked();
    QCOMPARE(MessageBox::shown().size(), 1); // the question only
    QCOMPARE(table()->rowCount(), 0);
    QCOMPARE(edit("lineEdit_Name")->text(), QStringLiteral("炉温A"));
    QCOMPARE(TestSupport::scalar("select count(*) from ChannelConfig").toInt(), 0);
}

void TestChannelConfigPage::deleteFailure()
{
    page->ShowConfig("炉温A");
    TestSupport::closeDatabase();
    MessageBox::clear();
    MessageBox::queueAnswer(MessageBox::Yes);
    page->pt_Delete_clicked();
    QCOMPARE(MessageBox::last().text, QStringLiteral("删除文件失败!"));
    QCOMPARE(MessageBox::last().title, QStringLiteral("警告"));
    QCOMPARE(table()->rowCount(), 3);
}

void TestChannelConfigPage::exportFlow()
{
    page->pt_Export_clicked();
    QCOMPARE(MessageBox::last().text, QStringLiteral("请先选择需要导出的文件!"));

    page->ShowConfig("炉温A");
    MessageBox::clear();
    FileDialog::queueAnswer(QString()); // cancelled
    page->pt_Export_clicked();
    QCOMPARE(MessageBox::shown().size(), 0);
    QCOMPARE(FileDialog::asked().size(), 1);
    QCOMPARE(FileDialog::asked().first().kind, QStringLiteral("save"));
    QCOMPARE(FileDialog::asked().first().caption, QStringLiteral("保存文件"));
    QCOMPARE(FileDialog::asked().first().dir, QString());
    QCOMPARE(FileDialog::asked().first().filter, QStringLiteral("Config Files (*.ini)"));

    const QString path = dir->file("out.ini");
    FileDialog::queueAnswer(path);
    page->pt_Export_clicked();
    QCOMPARE(MessageBox::shown().size(), 0);
    ConfigFile::Corrections c;
    QVERIFY(ConfigFile::read(path, c));
    QCOMPARE(c.R0_C4, (QStringList{"100.0", "100.1", "100.2"}));
}

void TestChannelConfigPage::exportFailure()
{
    page->ShowConfig("炉温A");
    MessageBox::clear();
    QFile blocker(dir->file("file"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    FileDialog::queueAnswer(dir->file("file/out.ini"));
    page->pt_Export_clicked();
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::last().text, QStringLiteral("导出文件失败!"));
}

void TestChannelConfigPage::dialogsShowChosenName()
{
    QVERIFY(Tool::addChannelConfig(sampleConfig("B", 2, "3107A-RTD")));
    page->setNewDialog([](QWidget*, QString& name) {
        name = QStringLiteral("B");
        return true;
    });
    page->setOpenDialog([](QWidget*, QString& name) {
        name = QStringLiteral("炉温A");
        return false; // cancelled
    });
    page->findChild<QPushButton*>("pushButton_New")->click();
    QCOMPARE(edit("lineEdit_Mode")->text(), QStringLiteral("3107A-RTD"));
    page->findChild<QPushButton*>("pushButton_Open")->click();
    QCOMPARE(edit("lineEdit_Name")->text(), QStringLiteral("B"));
    QCOMPARE(table()->rowCount(), 2);
}

QTEST_MAIN(TestChannelConfigPage)
#include "tst_channelconfigpage.moc"
