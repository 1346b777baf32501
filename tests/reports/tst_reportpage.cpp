// The report page and its export dialog without writing files: the checks
// of the options, the tree's check logic, viewing a stored project, ranges,
// tag lines and deleting.
#include "ChartView.h"
#include "MessageBox.h"
#include "ModalRun.h"
#include "ReportSample.h"
#include "SystemContext.h"
#include "TestSupport.h"
#include "VerificationReport.h"
#include "VerificationReportExport.h"
#include "VerificationReportPDF.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QProgressDialog>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QDateTimeEdit>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {
QDateTime at(const QString& hms)
{
    return QDateTime::fromString("2026-12-09 " + hms, "yyyy-MM-dd hh:mm:ss");
}
template <class T>
T* child(QWidget* w, const QString& name)
{
    T* c = w->findChild<T*>(name);
    if (!c)
        qFatal("no widget %s", qPrintable(name));
    return c;
}
void click(QTreeWidget* tree, QTreeWidgetItem* item, Qt::CheckState state, VerificationReport& page)
{
    item->setCheckState(0, state);
    page.treeItemChanged(item, 0);
    Q_UNUSED(tree)
}
} // namespace

class TestReportPage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { Q_INIT_RESOURCE(resources); }
    void init();
    void cleanup();
    void optionChecks_data();
    void optionChecks();
    void exportDialog();
    void queryAndChecks();
    void viewProject();
    void tagLinesAndRanges();
    void deleteAsksFirst();
    void reportsFromThePage_data();
    void reportsFromThePage();
    void failedReportSaysWhy();
    void cancelledReportLeavesNoFile();
    void saveDialogAndSuffix();
    void deletedProjectCannotBeReported();
    void pdfWithoutChineseFontSaysSo();
    void valuesThatAreNoNumber();

private:
    std::unique_ptr<TestWorkDir> m_Dir;
    SystemContext m_Context;
};

void TestReportPage::init()
{
    m_Dir.reset(new TestWorkDir);
    QVERIFY(TestSupport::openDatabase());
    MessageBox::setTestMode(true);
    FileDialog::setTestMode(true);
    m_Context.DataAccuracy = 2;
}

void TestReportPage::cleanup()
{
    ModalRun::setRunner({});
    TestSupport::closeDatabase();
    m_Dir.reset();
}

void TestReportPage::optionChecks_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("print");
    QTest::addColumn<QString>("scan");
    QTest::addColumn<QStringList>("segments"); // start-end pairs
    QTest::addColumn<QStringList>("remarks");
    QTest::addColumn<QString>("message");
    const QStringList whole{"10:00:00-11:00:00"};
    const QStringList r1{"r"};
    QTest::newRow("pdf ok") << "PDF" << "/tmp/a.pdf" << "1.5" << "0.5" << whole << r1 << "";
    QTest::newRow("empty path") << "PDF" << "" << "1" << "1" << whole << r1 << "路径设置错误!";
    QTest::newRow("upper-case suffix") << "PDF" << "/tmp/a.PDF" << "1" << "1" << whole << r1 << "路径设置错误!";
    QTest::newRow("workbook xlsx") << "Excel" << "/tmp/a.xlsx" << "1" << "1" << whole << r1 << "";
    QTest::newRow("workbook typed xls") << "Excel" << "/tmp/a.xls" << "1" << "1" << whole << r1 << "";
    QTest::newRow("workbook as pdf") << "Excel" << "/tmp/a.pdf" << "1" << "1" << whole << r1 << "路径设置错误!";
    QTest::newRow("csv") << "CSV" << "/tmp/a.csv" << "1" << "1" << whole << r1 << "";
    QTest::newRow("csv as workbook") << "CSV" << "/tmp/a.xlsx" << "1" << "1" << whole << r1 << "路径设置错误!";
    QTest::newRow("no remark") << "PDF" << "/tmp/a.pdf" << "1" << "1" << whole << QStringList{""} << "备注信息不能为空!";
    QTest::newRow("before the range") << "PDF" << "/tmp/a.pdf" << "1" << "1" << QStringList{"09:59:59-10:30:00"} << r1
                                      << "开始时间小于开始采集时间!";
    QTest::newRow("after the range") << "PDF" << "/tmp/a.pdf" << "1" << "1" << QStringList{"10:00:00-11:00:01"} << r1
                                     << "结束时间大于结束采集时间!";
    QTest::newRow("touching segments") << "PDF" << "/tmp/a.pdf" << "1" << "1"
                                       << QStringList{"10:00:00-10:30:00", "10:30:00-11:00:00"} << QStringList{"a", "b"}
                                       << "";
    QTest::newRow("overlapping segments") << "PDF" << "/tmp/a.pdf" << "1" << "1"
                                          << QStringList{"10:00:00-10:30:00", "10:29:00-11:00:00"}
                                          << QStringList{"a", "b"} << "分段时间错误!";
    QTest::newRow("1.2 over 0.5") << "PDF" << "/tmp/a.pdf" << "1.2" << "0.5" << whole << r1 << "采集间隔设置错误!";
    QTest::newRow("0.25 under 0.5") << "PDF" << "/tmp/a.pdf" << "0.25" << "0.5" << whole << r1 << "采集间隔设置错误!";
    QTest::newRow("scan 0") << "PDF" << "/tmp/a.pdf" << "1" << "0" << whole << r1 << "采集间隔设置错误!";
}

void TestReportPage::optionChecks()
{
    QFETCH(QString, format);
    QFETCH(QString, path);
    QFETCH(QString, print);
    QFETCH(QString, scan);
    QFETCH(QStringList, segments);
    QFETCH(QStringList, remarks);
    QFETCH(QString, message);
    VerificationReportExport::Input in{format, path, print, scan, {}, {}, remarks, at("10:00:00"), at("11:00:00")};
    for (const QString& s : segments) {
        in.starts << at(s.section('-', 0, 0));
        in.ends << at(s.section('-', 1, 1));
    }
    QCOMPARE(VerificationReportExport::check(in), message);
}

void TestReportPage::exportDialog()
{
    Struct_ReportOptions options;
    options.ScanInterval = "2";
    options.LeftUnit = "℃";
    options.RightUnit = "mV";
    options.LeftCount = 3;
    options.RightCount = 1;
    options.Start = at("10:00:00");
    options.End = at("11:00:00");
    VerificationReportExport dialog;
    dialog.setData(&options);
    dialog.show();
    QCOMPARE(child<QLineEdit>(&dialog, "lineEdit_Interval")->text(), QStringLiteral("2"));
    QCOMPARE(child<QCheckBox>(&dialog, "checkBox_Vertically1")->text(), QStringLiteral("温度横向分析表"));
    QCOMPARE(child<QCheckBox>(&dialog, "checkBox_Horizontally1")->text(), QStringLiteral("温度竖向分析表"));
    QCOMPARE(child<QCheckBox>(&dialog, "checkBox_Vertically2")->text(), QStringLiteral("电压横向分析表"));
    QVERIFY(child<QCheckBox>(&dialog, "checkBox_Vertically2")->isVisible());
    // One mV channel: no horizontal analysis for it; its vertical one stays.
    QVERIFY(!child<QCheckBox>(&dialog, "checkBox_Vertically2")->isEnabled());
    QVERIFY(child<QCheckBox>(&dialog, "checkBox_Horizontally2")->isEnabled());
    QVERIFY(!child<QCheckBox>(&dialog, "checkBox_Data")->isEnabled());
    QVERIFY(!child<QDateTimeEdit>(&dialog, "dateTimeEdit_StartTime2")->isEnabled());

    // Two segments chained by the end of the first.
    dialog.pt_Segment_clicked(1);
    QVERIFY(child<QDateTimeEdit>(&dialog, "dateTimeEdit_StartTime2")->isEnabled());
    child<QDateTimeEdit>(&dialog, "dateTimeEdit_EndTime1")->setDateTime(at("10:20:00"));
    QCOMPARE(child<QDateTimeEdit>(&dialog, "dateTimeEdit_StartTime2")->dateTime(), at("10:20:00"));
    child<QDateTimeEdit>(&dialog, "dateTimeEdit_EndTime6")->setDateTime(at("10:40:00"));
    QCOMPARE(child<QDateTimeEdit>(&dialog, "dateTimeEdit_StartTime6")->dateTime(), at("10:00:00"));
    child<QLineEdit>(&dialog, "lineEdit_TimeRemarks1")->setText("warm-up");
    child<QLineEdit>(&dialog, "lineEdit_TimeRemarks2")->setText("steady");
    child<QComboBox>(&dialog, "comboBox_Segment")->setCurrentIndex(1);
    child<QCheckBox>(&dialog, "checkBox_Horizontally1")->setChecked(true);

    // A workbook is offered as .xlsx; a name typed without a suffix gets it.
    child<QComboBox>(&dialog, "comboBox_Format")->setCurrentText("Excel");
    FileDialog::queueAnswer(m_Dir->file("run"));
    dialog.pt_Route_clicked();
    QCOMPARE(FileDialog::asked().last().filter, QStringLiteral("Excel (*.xlsx);;Excel (*.xls)"));
    QCOMPARE(child<QLineEdit>(&dialog, "lineEdit_Route")->text(), m_Dir->file("run.xlsx"));
    // Cancelling the file dialog keeps the path.
    FileDialog::queueAnswer(QString());
    dialog.pt_Route_clicked();
    QCOMPARE(child<QLineEdit>(&dialog, "lineEdit_Route")->text(), m_Dir->file("run.xlsx"));

    child<QPushButton>(&dialog, "pushButton_OK")->click();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(options.SegmentCount, QStringLiteral("2"));
    QCOMPARE(options.SegmentRemarks, QStringList({"warm-up", "steady"}));
    QCOMPARE(options.SegmentEnd.first(), at("10:20:00"));
    QVERIFY(options.LeftVertical && !options.LeftHorizontal);
    QCOMPARE(options.Format, QStringLiteral("Excel"));
    QCOMPARE(options.PrintInterval, QStringLiteral("2"));

    // CSV holds the data table only: no analysis offered, ".csv" suggested.
    child<QComboBox>(&dialog, "comboBox_Format")->setCurrentText("CSV");
    QVERIFY(!child<QCheckBox>(&dialog, "checkBox_Horizontally1")->isEnabled());
    QVERIFY(!child<QCheckBox>(&dialog, "checkBox_Horizontally2")->isEnabled());
    FileDialog::queueAnswer(m_Dir->file("table"));
    dialog.pt_Route_clicked();
    QCOMPARE(FileDialog::asked().last().filter, QStringLiteral("CSV (*.csv)"));
    QCOMPARE(child<QLineEdit>(&dialog, "lineEdit_Route")->text(), m_Dir->file("table.csv"));
    child<QPushButton>(&dialog, "pushButton_OK")->click();
    QCOMPARE(options.Format, QStringLiteral("CSV"));
    QVERIFY(!options.LeftVertical && !options.LeftHorizontal);
    // Back to a workbook: the analysis tables are offered again.
    child<QComboBox>(&dialog, "comboBox_Format")->setCurrentText("Excel");
    QVERIFY(child<QCheckBox>(&dialog, "checkBox_Horizontally1")->isEnabled());
    QVERIFY(!child<QCheckBox>(&dialog, "checkBox_Vertically2")->isEnabled());

    // A second request shows the previous segments.
    VerificationReportExport again;
    again.setData(&options);
    QCOMPARE(child<QLineEdit>(&again, "lineEdit_TimeRemarks2")->text(), QStringLiteral("steady"));
}

void TestReportPage::queryAndChecks()
{
    QVERIFY(storeSample(sampleProject("A1", {"1-101", "1-102", "1-103"}, {"℃", "℃", "℃"}, 3), 3));
    QVERIFY(storeSample(sampleProject("A2", {"1-101"}, {"℃"}, 3), 3));
    QVERIFY(storeSample(sampleProject("50%_x'", {"1-101"}, {"℃"}, 3), 3));
    VerificationReport page;
    page.setContext(&m_Context);
    auto* tree = child<QTreeWidget>(&page, "treeWidget_Device");
    QCOMPARE(tree->topLevelItemCount(), 3);
    QVERIFY(tree->topLevelItem(0)->text(0).endsWith("50%_x'")); // the row returned last comes first
    QCOMPARE(tree->topLevelItem(0)->text(0), QStringLiteral("2026-12-09 10:00:00  50%_x'"));

    child<QLineEdit>(&page, "lineEdit_Query")->setText("1");
    child<QPushButton>(&page, "pushButton_Query")->click();
    QCOMPARE(tree->topLevelItemCount(), 1);
    child<QLineEdit>(&page, "lineEdit_Query")->setText("%");
    child<QPushButton>(&page, "pushButton_Query")->click();
    QCOMPARE(tree->topLevelItemCount(), 1); // literal, no wildcard
    child<QLineEdit>(&page, "lineEdit_Query")->setText("");
    child<QPushButton>(&page, "pushButton_Query")->click();

    QTreeWidgetItem* a2 = tree->topLevelItem(1);
    QTreeWidgetItem* a1 = tree->topLevelItem(2);
    click(tree, a1, Qt::Checked, page);
    QCOMPARE(a1->child(2)->checkState(0), Qt::Checked);
    // Checking another project unchecks the first with its channels.
    click(tree, a2->child(0), Qt::Checked, page);
    QCOMPARE(a2->checkState(0), Qt::Checked);
    QCOMPARE(a1->checkState(0), Qt::Unchecked);
    QCOMPARE(a1->child(0)->checkState(0), Qt::Unchecked);
    // Two of three channels: partly checked.
    click(tree, a1->child(0), Qt::Checked, page);
    click(tree, a1->child(2), Qt::Checked, page);
    QCOMPARE(a1->checkState(0), Qt::PartiallyChecked);
    QCOMPARE(a2->checkState(0), Qt::Unchecked);
}

void TestReportPage::viewProject()
{
    QVERIFY(storeSample(sampleProject("Mixed", {"1-101", "1-102", "2-101"}, {"℃", "℃", "mV"}, 80), 80));
    QVERIFY(Tool::addParameters(sampleProject("Empty", {"1-101"}, {"℃"}, 1)));
    VerificationReport page;
    page.setContext(&m_Context);
    auto* tree = child<QTreeWidget>(&page, "treeWidget_Device");
    QTreeWidgetItem* empty = tree->topLevelItem(0);
    QTreeWidgetItem* mixed = tree->topLevelItem(1);

    click(tree, empty, Qt::Checked, page);
    page.viewProject();
    QCOMPARE(MessageBox::last().text, QStringLiteral("当前项目没有采集的数据!"));
    QVERIFY(!child<QToolButton>(&page, "toolButton_CalibrationReport")->isEnabled());

    click(tree, mixed->child(0), Qt::Checked, page);
    click(tree, mixed->child(2), Qt::Checked, page);
    page.viewProject();
    QCOMPARE(page.rowCount(), 80);
    QCOMPARE(page.channelFlags(), QList<bool>({true, false, true}));
    QVERIFY(!page.chart()->isSeriesVisible(1));
    QCOMPARE(page.chart()->axisFlags(), QList<bool>({true, true, false}));
    QVERIFY(child<QLineEdit>(&page, "lineEdit_RightRange1")->isVisibleTo(&page));
    // Left values 20.5 … 22.29: axis 19.50 … 23.29; right 3 × (22.5 … 23.29).
    QCOMPARE(child<QLineEdit>(&page, "lineEdit_LeftRange1")->text(), QStringLiteral("19.50"));
    QCOMPARE(child<QLineEdit>(&page, "lineEdit_LeftRange2")->text(), QStringLiteral("23.29"));
    QCOMPARE(child<QLineEdit>(&page, "lineEdit_RightRange1")->text(), QStringLiteral("66.50"));
    const QString info = child<QPlainTextEdit>(&page, "plainTextEdit_Data")->toPlainText();
    QVERIFY2(info.contains("项目名称:Mixed") && info.contains("序列号：TC0001;RTD0002") && info.contains("扫描间隔：2s")
                 && info.contains("通道数量：3"),
             qPrintable(info));
    QCOMPARE(page.options().LeftCount, 2);
    QCOMPARE(page.options().RightCount, 1);
    QCOMPARE(page.options().Start, at("10:00:00"));
    QVERIFY(child<QToolButton>(&page, "toolButton_CalibrationReport")->isEnabled());

    // One unit only: no right-axis fields.
    QVERIFY(storeSample(sampleProject("OneUnit", {"1-101"}, {"℃"}, 5), 5));
    page.pt_Query_clicked();
    click(tree, tree->topLevelItem(0), Qt::Checked, page);
    page.viewProject();
    QVERIFY(!child<QLineEdit>(&page, "lineEdit_RightRange1")->isVisibleTo(&page));
}

void TestReportPage::tagLinesAndRanges()
{
    QVERIFY(storeSample(sampleProject("Tags", {"1-101"}, {"℃"}, 10), 10));
    VerificationReport page;
    page.setContext(&m_Context);
    auto* tree = child<QTreeWidget>(&page, "treeWidget_Device");
    click(tree, tree->topLevelItem(0), Qt::Checked, page);
    page.viewProject();
    auto* remark = child<QLineEdit>(&page, "lineEdit_TimeRemarks");
    auto* add = child<QPushButton>(&page, "pushButton_TimeAdd");
    remark->setText("");
    add->click();
    QCOMPARE(MessageBox::last().text, QStringLiteral("备注信息不能为空!"));
    QCOMPARE(MessageBox::last().title, QStringLiteral("警告"));
    remark->setText("七个字的备注啊");
    add->click();
    QCOMPARE(MessageBox::last().text, QStringLiteral("备注信息数超限!"));
    remark->setText("六个字备注好");
    MessageBox::clear();
    for (int i = 0; i < 6; ++i)
        add->click();
    QVERIFY(MessageBox::shown().isEmpty());
    QCOMPARE(page.chart()->taggingLines().size(), 6);
    add->click();
    QCOMPARE(MessageBox::last().text, QStringLiteral("添加标注线超量!"));
    child<QPushButton>(&page, "pushButton_TimeDelete")->click();
    QCOMPARE(page.chart()->taggingLines().size(), 0);

    child<QDateTimeEdit>(&page, "dateTimeEdit_DisplayRange1")->setDateTime(at("10:00:04"));
    child<QPushButton>(&page, "pushButton_DisplayRange")->click();
    QCOMPARE(page.options().Start, at("10:00:04"));
    QCOMPARE(page.chart()->timeStart(), at("10:00:04"));
    child<QLineEdit>(&page, "lineEdit_LeftRange1")->setText("0");
    child<QPushButton>(&page, "pushButton_Range")->click();
    QCOMPARE(page.chart()->leftLow(), 0.0);
}

void TestReportPage::deleteAsksFirst()
{
    QVERIFY(storeSample(sampleProject("Keep", {"1-101"}, {"℃"}, 3), 3));
    VerificationReport page;
    page.setContext(&m_Context);
    page.deleteProject();
    QCOMPARE(MessageBox::last().text, QStringLiteral("请先选择需要删除的项目!"));
    auto* tree = child<QTreeWidget>(&page, "treeWidget_Device");
    click(tree, tree->topLevelItem(0), Qt::Checked, page);
    MessageBox::queueAnswer(MessageBox::No);
    page.deleteProject();
    QCOMPARE(MessageBox::last().text, QStringLiteral("确定删除项目 Keep？"));
    QCOMPARE(TestSupport::scalar("SELECT COUNT(*) FROM ParametersData").toInt(), 3);
    MessageBox::queueAnswer(MessageBox::Yes);
    page.deleteProject();
    QCOMPARE(TestSupport::scalar("SELECT COUNT(*) FROM ParametersData").toInt(), 0);
    QCOMPARE(TestSupport::scalar("SELECT COUNT(*) FROM Parameters").toInt(), 0);
    QCOMPARE(tree->topLevelItemCount(), 0);
}

namespace {
// Answers the export dialog: format, file, print interval.
std::function<int(QDialog*)> exportAs(const QString& format, const QString& path, const QString& interval)
{
    return [=](QDialog* d) {
        auto* dialog = qobject_cast<VerificationReportExport*>(d);
        if (!dialog)
            return int(QDialog::Rejected);
        child<QComboBox>(dialog, "comboBox_Format")->setCurrentText(format);
        child<QLineEdit>(dialog, "lineEdit_Interval")->setText(interval);
        child<QLineEdit>(dialog, "lineEdit_TimeRemarks1")->setText("run");
        FileDialog::queueAnswer(path);
        child<QPushButton>(dialog, "pushButton_Route")->click();
        child<QPushButton>(dialog, "pushButton_OK")->click();
        return dialog->result();
    };
}

bool waitForText(const QString& text, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < timeoutMs) {
        for (const MessageBox::Shown& s : MessageBox::shown())
            if (s.text == text)
                return true;
        QTest::qWait(20);
    }
    return false;
}
} // namespace

void TestReportPage::reportsFromThePage_data()
{
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("magic");
    QTest::newRow("pdf") << "PDF" << "run.pdf" << QByteArray("%PDF");
    QTest::newRow("workbook") << "Excel" << "run.xlsx" << QByteArray("PK");
    QTest::newRow("csv") << "CSV" << "run.csv" << QByteArray("\xEF\xBB\xBF") + QStringLiteral("时间").toUtf8();
}

void TestReportPage::reportsFromThePage()
{
    QFETCH(QString, format);
    QFETCH(QString, file);
    QFETCH(QByteArray, magic);
    QVERIFY(storeSample(sampleProject("Written", {"1-101", "1-102", "2-101"}, {"℃", "℃", "mV"}, 60), 60));
    VerificationReport page;
    page.setContext(&m_Context);
    auto* tree = child<QTreeWidget>(&page, "treeWidget_Device");
    click(tree, tree->topLevelItem(0), Qt::Checked, page);
    page.viewProject();
    const QString path = m_Dir->file(file);
    ModalRun::setRunner(exportAs(format, path, "4"));
    MessageBox::clear();
    child<QToolButton>(&page, "toolButton_CalibrationReport")->click();
    // Busy while the report thread writes: the window keeps the page.
    QVERIFY(!page.IsIdle());
    QVERIFY(waitForText("报表生成成功!", 30000));
    QVERIFY(page.IsIdle());
    QFile written(path);
    QVERIFY(written.open(QIODevice::ReadOnly));
    QVERIFY(written.read(magic.size()).startsWith(magic));
    QVERIFY(!QFile::exists(path + ".part"));
    QCOMPARE(page.options().PrintInterval, QStringLiteral("4"));
}

// A report that cannot be written says why after the fixed first line.
void TestReportPage::failedReportSaysWhy()
{
    QVERIFY(storeSample(sampleProject("Nowhere", {"1-101", "1-102"}, {"℃", "℃"}, 20), 20));
    VerificationReport page;
    page.setContext(&m_Context);
    auto* tree = child<QTreeWidget>(&page, "treeWidget_Device");
    click(tree, tree->topLevelItem(0), Qt::Checked, page);
    page.viewProject();
    const QString path = m_Dir->file("no/such/folder/run.csv");
    ModalRun::setRunner(exportAs("CSV", path, "2"));
    MessageBox::clear();
    child<QToolButton>(&page, "toolButton_CalibrationReport")->click();
    QVERIFY(waitForText(QStringLiteral("数据异常，生成报表失败!\n保存路径不存在。"), 30000));
    QVERIFY(page.IsIdle());
    QVERIFY(!QFile::exists(path) && !QFile::exists(path + ".part"));
}

void TestReportPage::cancelledReportLeavesNoFile()
{
    QVERIFY(storeSample(sampleProject("Long", {"1-101", "1-102"}, {"℃", "℃"}, 20000, 1), 20000, 1));
    VerificationReport page;
    page.setContext(&m_Context);
    auto* tree = child<QTreeWidget>(&page, "treeWidget_Device");
    click(tree, tree->topLevelItem(0), Qt::Checked, page);
    page.viewProject();
    const QString path = m_Dir->file("long.pdf");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly) && old.write("an older report") > 0);
    old.close();
    ModalRun::setRunner(exportAs("PDF", path, "1"));
    MessageBox::clear();
    child<QToolButton>(&page, "toolButton_CalibrationReport")->click();
    QVERIFY(page.progressDialog() && page.progressDialog()->isVisible());
    // The user presses the dialog's cancel button.
    QPushButton* cancel = page.progressDialog()->findChild<QPushButton*>();
    QVERIFY(cancel);
    cancel->click();
    QVERIFY2(waitForText("报表生成已取消。", 30000), qPrintable(MessageBox::last().text));
    QVERIFY(page.IsIdle());
    // The older file is untouched and nothing partial is left beside it.
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("an older report"));
    QVERIFY(!QFile::exists(path + ".part"));
}

// The file dialog is a save dialog titled as one, with named filters; the
// suffix is added when the file name has none, whatever dots the folders hold.
void TestReportPage::saveDialogAndSuffix()
{
    Struct_ReportOptions options;
    options.ScanInterval = "2";
    options.LeftUnit = "℃";
    options.LeftCount = 2;
    options.Start = at("10:00:00");
    options.End = at("11:00:00");
    VerificationReportExport dialog;
    dialog.setData(&options);
    auto* route = child<QLineEdit>(&dialog, "lineEdit_Route");
    QVERIFY(QDir().mkpath(m_Dir->file("reports.2026")));
    const QString folder = m_Dir->file("reports.2026") + "/";

    FileDialog::clear();
    FileDialog::queueAnswer(folder + "run");
    dialog.pt_Route_clicked();
    QCOMPARE(FileDialog::asked().last().kind, QStringLiteral("save"));
    QCOMPARE(FileDialog::asked().last().caption, QStringLiteral("保存文件"));
    QCOMPARE(FileDialog::asked().last().filter, QStringLiteral("PDF (*.pdf)"));
    QCOMPARE(route->text(), folder + "run.pdf");
    FileDialog::queueAnswer(folder + "run.pdf");
    dialog.pt_Route_clicked();
    QCOMPARE(route->text(), folder + "run.pdf");

    child<QComboBox>(&dialog, "comboBox_Format")->setCurrentText("Excel");
    FileDialog::queueAnswer(folder + "run");
    dialog.pt_Route_clicked();
    QCOMPARE(FileDialog::asked().last().caption, QStringLiteral("保存文件"));
    QCOMPARE(route->text(), folder + "run.xlsx");
    // A name the user typed with a suffix is kept as typed.
    FileDialog::queueAnswer(folder + "run.xls");
    dialog.pt_Route_clicked();
    QCOMPARE(route->text(), folder + "run.xls");

    // The whole report goes through: OK accepts the path.
    child<QLineEdit>(&dialog, "lineEdit_TimeRemarks1")->setText("r");
    FileDialog::queueAnswer(folder + "run");
    dialog.pt_Route_clicked();
    dialog.pt_OK_clicked();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(options.Path, folder + "run.xlsx");
}

// Deleting the viewed project takes its view with it: the report button
// (and the tag buttons) are disabled, so the deleted project cannot be reported.
void TestReportPage::deletedProjectCannotBeReported()
{
    QVERIFY(storeSample(sampleProject("Gone", {"1-101"}, {"℃"}, 5), 5));
    QVERIFY(storeSample(sampleProject("Stays", {"1-101"}, {"℃"}, 5), 5));
    VerificationReport page;
    page.setContext(&m_Context);
    auto* tree = child<QTreeWidget>(&page, "treeWidget_Device");
    auto* report = child<QToolButton>(&page, "toolButton_CalibrationReport");
    // Deleting another project keeps the view.
    click(tree, tree->topLevelItem(1), Qt::Checked, page); // "Gone"
    page.viewProject();
    QVERIFY(report->isEnabled());
    click(tree, tree->topLevelItem(0), Qt::Checked, page); // "Stays"
    MessageBox::queueAnswer(MessageBox::Yes);
    page.deleteProject();
    QVERIFY(report->isEnabled());
    QCOMPARE(page.currentProject().Name, QStringLiteral("Gone"));

    click(tree, tree->topLevelItem(0), Qt::Checked, page); // "Gone"
    MessageBox::queueAnswer(MessageBox::Yes);
    page.deleteProject();
    QCOMPARE(tree->topLevelItemCount(), 0);
    QVERIFY(!report->isEnabled());
    QVERIFY(!child<QPushButton>(&page, "pushButton_TimeAdd")->isEnabled());
    QVERIFY(!child<QPushButton>(&page, "pushButton_TimeDelete")->isEnabled());
    QVERIFY(child<QPlainTextEdit>(&page, "plainTextEdit_Data")->toPlainText().isEmpty());
    QCOMPARE(page.rowCount(), 0);
}

// A PDF written while no CJK font is installed has boxes for its Chinese
// text: the message says so instead of announcing a plain success.
void TestReportPage::pdfWithoutChineseFontSaysSo()
{
    QVERIFY(storeSample(sampleProject("无字体", {"1-101", "1-102"}, {"℃", "℃"}, 10), 10));
    VerificationReport page;
    page.setContext(&m_Context);
    auto* tree = child<QTreeWidget>(&page, "treeWidget_Device");
    click(tree, tree->topLevelItem(0), Qt::Checked, page);
    page.viewProject();
    const QString path = m_Dir->file("boxes.pdf");
    ModalRun::setRunner(exportAs("PDF", path, "2"));
    MessageBox::clear();
    VerificationReportPDF::overrideFontFamily(true, QString());
    child<QToolButton>(&page, "toolButton_CalibrationReport")->click();
    const QString expected =
        QStringLiteral("报表已生成，但未找到中文字体：PDF中的中文显示为方框。请安装中文字体（如 fonts-noto-cjk）后重新生成。");
    const bool said = waitForText(expected, 30000);
    VerificationReportPDF::overrideFontFamily(false);
    QVERIFY2(said, qPrintable(MessageBox::last().text));
    QCOMPARE(MessageBox::last().title, QStringLiteral("警告"));
    QVERIFY(QFile::exists(path));

    // With the font, the same report is a plain success.
    MessageBox::clear();
    ModalRun::setRunner(exportAs("PDF", path, "2"));
    child<QToolButton>(&page, "toolButton_CalibrationReport")->click();
    QVERIFY(waitForText("报表生成成功!", 30000));
    // A workbook needs no font of ours.
    MessageBox::clear();
    VerificationReportPDF::overrideFontFamily(true, QString());
    ModalRun::setRunner(exportAs("Excel", m_Dir->file("book.xlsx"), "2"));
    child<QToolButton>(&page, "toolButton_CalibrationReport")->click();
    const bool plain = waitForText("报表生成成功!", 30000);
    VerificationReportPDF::overrideFontFamily(false);
    QVERIFY(plain);
}

// Stored texts that are no number are gaps in the view: not counted in the
// axis ranges; the channel count comes from the project, not the first row.
void TestReportPage::valuesThatAreNoNumber()
{
    Tool::Struct_Parameters p = sampleProject("Gaps", {"1-101", "1-102", "1-103"}, {"℃", "℃", "℃"}, 3);
    QVERIFY(Tool::addParameters(p));
    const QDateTime start = at("10:00:00");
    QList<Tool::Struct_ParametersData> data{
        {p.Name, start, {"25.5", "OVER"}},              // short first row
        {p.Name, start.addSecs(2), {"26.5", "27", "-"}},
        {p.Name, start.addSecs(4), {"nan", "28", "30"}}};
    QVERIFY(Tool::addParametersDataBulk(data));
    VerificationReport page;
    page.setContext(&m_Context);
    auto* tree = child<QTreeWidget>(&page, "treeWidget_Device");
    click(tree, tree->topLevelItem(0), Qt::Checked, page);
    page.viewProject();
    QCOMPARE(page.rowCount(), 3);
    // Lowest number 25.5, highest 30: no 0 from "OVER", "-", "nan" or the missing value.
    QCOMPARE(child<QLineEdit>(&page, "lineEdit_LeftRange1")->text(), QStringLiteral("24.50"));
    QCOMPARE(child<QLineEdit>(&page, "lineEdit_LeftRange2")->text(), QStringLiteral("31.00"));
}

QTEST_MAIN(TestReportPage)
#include "tst_reportpage.moc"
