// The English interface over a database written in Chinese: the stored
// vocabulary is shown translated on the pages, and what the pages store is
// still the Chinese word the instruments and stored files rely on.
#include "AcquisitionDevice.h"
#include "ChannelCalibration.h"
#include "ChannelConfigAdd.h"
#include "ChannelConfigBatch.h"
#include "ChannelModel.h"
#include "Collection.h"
#include "AlarmMailer.h"
#include "MessageBox.h"
#include "ParametersMode.h"
#include "SystemContext.h"
#include "TestSupport.h"
#include "Tool.h"
#include "ViewLog.h"
#include "ViewLogSet.h"
#include "Vocabulary.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QProcess>
#include <QTranslator>
#include <QtTest>

#include <memory>

namespace {
template <typename T>
T* child(QWidget* w, const char* name)
{
    return w->findChild<T*>(QLatin1String(name));
}

QStringList items(const QComboBox* box)
{
    QStringList out;
    for (int i = 0; i < box->count(); ++i)
        out << box->itemText(i);
    return out;
}

bool hasChinese(const QString& text)
{
    for (const QChar c : text)
        if (c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF)
            return true;
    return false;
}

Tool::Struct_AcquisitionDevice device(int number, const QString& serial, const QString& rate, const QString& link)
{
    Tool::Struct_AcquisitionDevice d;
    d.Number = number;
    d.Mode = QStringLiteral("3107A-TC");
    d.SerialNumber = serial;
    d.ScanInterval = 5;
    d.ScanRate = rate;
    d.ChannelConfig = QStringLiteral("TC2");
    d.SignalMode = link;
    d.IP_COM = QStringLiteral("192.168.1.20");
    d.Port_BaudRate = QStringLiteral("5000");
    return d;
}
} // namespace

class TestEnglish : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        MessageBox::setTestMode(true);
        const QString qm = QString::fromLocal8Bit(qgetenv("ARQ_BINARY_DIR")) + "/tervan_en.qm";
        if (!QFile::exists(qm))
            ARQ_REQUIRE(false, "the English translation (tervan_en.qm)");
        QVERIFY(m_translator.load(qm));
        QCoreApplication::installTranslator(&m_translator);
    }
    void init()
    {
        m_dir.reset(new TestWorkDir);
        QVERIFY(TestSupport::openDatabase());
        MessageBox::clear();
    }
    void cleanup()
    {
        TestSupport::closeDatabase();
        m_dir.reset();
    }

    void words_data();
    void words();
    void logDetails();
    void deviceRegistry();
    void channelEditors();
    void acquisitionSetUp();
    void calibrationSources();
    void warningLog();
    void alarmMail();
    void warningLogPdf();

private:
    QTranslator m_translator;
    std::unique_ptr<TestWorkDir> m_dir;
};

void TestEnglish::words_data()
{
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    const QList<QPair<const char*, const char*>> rows = {
        {"快速", "Fast"},          {"慢速", "Slow"},           {"网络", "Network"},
        {"串口", "Serial"},        {"手动", "Manual"},         {"热电偶", "Thermocouple"},
        {"热电阻", "RTD"},         {"热敏电阻", "Thermistor"}, {"二线制", "2-wire"},
        {"四线制", "4-wire"},      {"内部补偿", "Internal CJC"}, {"干式炉", "Dry block"},
        {"干式炉-R", "Dry block (with reference)"}, {"油槽-R", "Bath (with reference)"}, {"在线", "Online"},
        {"脱机", "Offline"},       {"导入", "Import"},         {"通讯异常", "Communication fault"},
        {"上限报警", "High alarm"}, {"温度", "Temperature"},
    };
    for (const auto& r : rows)
        QTest::newRow(r.first) << QString::fromUtf8(r.first) << QString::fromUtf8(r.second);
    // Anything else is shown as stored.
    QTest::newRow("model") << QStringLiteral("KORVA 5310A") << QStringLiteral("KORVA 5310A");
    QTest::newRow("user text") << QStringLiteral("炉温1") << QStringLiteral("炉温1");
}

void TestEnglish::words()
{
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    QCOMPARE(Vocabulary::text(stored), shown);
    QCOMPARE(Vocabulary::value(shown), stored);
    QCOMPARE(Vocabulary::value(stored), stored);
    QCOMPARE(Vocabulary::value(shown.toUpper()), stored); // typed in another case
}

void TestEnglish::logDetails()
{
    QCOMPARE(Vocabulary::logDetails(QStringLiteral("设备重新连接。")), QStringLiteral("Device reconnected."));
    QCOMPARE(Vocabulary::logDetails(QStringLiteral("设备2-TC240311 通道TC 3高于上限:151.20")),
             QStringLiteral("Device 2-TC240311 channel TC 3 above high limit: 151.20"));
    QCOMPARE(Vocabulary::logDetails(QStringLiteral("设备1-SN 通道CH101低于下限:-3.50")),
             QStringLiteral("Device 1-SN channel CH101 below low limit: -3.50"));
    QCOMPARE(Vocabulary::logDetails(QStringLiteral("数据库写入中断期间丢失3次扫描的数据（6行）。")),
             QStringLiteral("3 scans (6 rows) lost while database writes were interrupted."));
    QCOMPARE(Vocabulary::logDetails(QStringLiteral("free text")), QStringLiteral("free text"));
}

void TestEnglish::deviceRegistry()
{
    Tool::Struct_ChannelConfig config;
    config.Name = QStringLiteral("TC2");
    config.Mode = QStringLiteral("3107A-TC");
    config.Module = QStringLiteral("1,0,0,0,0,0");
    config.Number = 2;
    config.CompensationWay = QStringLiteral("内部补偿");
    {
        std::unique_ptr<Collection> driver(ChannelModel::createCollection(config.Mode));
        ChannelConfigAdd add;
        add.setData(driver.get(), config);
        config = add.record();
    }
    // The editor's defaults are stored in Chinese.
    QCOMPARE(config.Type.value(0), QStringLiteral("热电偶"));
    QCOMPARE(config.Wire.value(0), QStringLiteral("二线制"));
    QVERIFY(Tool::addChannelConfig(config));
    QVERIFY(Tool::addAcquisitionDevice(device(1, "SN1", QStringLiteral("快速"), QStringLiteral("网络"))));

    SystemContext context;
    AcquisitionDevice page;
    page.setContext(&context);
    auto* list = child<QTableWidget>(&page, "tableWidget_AcquisitionList");
    QCOMPARE(list->item(0, 5)->text(), QStringLiteral("Fast"));
    QCOMPARE(list->item(0, 7)->text(), QStringLiteral("Network"));

    page.tw_Acquisition_doubleClicked(0, 0);
    auto* rate = child<QComboBox>(&page, "comboBox_Rate");
    auto* link = child<QComboBox>(&page, "comboBox_Communication");
    QCOMPARE(items(rate), (QStringList{"Fast", "Medium", "Slow"}));
    QCOMPARE(rate->currentText(), QStringLiteral("Fast"));
    QCOMPARE(link->currentText(), QStringLiteral("Network"));
    QCOMPARE(child<QLineEdit>(&page, "lineEdit_Com")->text(), QStringLiteral("192.168.1.20"));

    rate->setCurrentText(QStringLiteral("Medium"));
    page.pt_Save_clicked();
    QCOMPARE(MessageBox::last().text, QStringLiteral("Data saved!"));
    QList<Tool::Struct_AcquisitionDevice> stored;
    QVERIFY(Tool::getAcquisitionDevice(stored, QStringLiteral("1")));
    QCOMPARE(stored.value(0).ScanRate, QStringLiteral("中速"));
    QCOMPARE(stored.value(0).SignalMode, QStringLiteral("网络"));
    QCOMPARE(list->item(0, 5)->text(), QStringLiteral("Medium"));
}

void TestEnglish::channelEditors()
{
    std::unique_ptr<Collection> driver(ChannelModel::createCollection(QStringLiteral("3108A")));
    ChannelConfigBatch batch;
    batch.setData(driver.get());
    auto* type = child<QComboBox>(&batch, "comboBox_Type");
    QVERIFY2(!items(type).join(QString()).contains(QStringLiteral("热")), qPrintable(items(type).join(",")));
    type->setCurrentText(QStringLiteral("Thermistor"));
    QCOMPARE(items(child<QComboBox>(&batch, "comboBox_Wire")), (QStringList{"2-wire", "4-wire"}));
    child<QComboBox>(&batch, "comboBox_Wire")->setCurrentText(QStringLiteral("4-wire"));
    batch.pt_OK_clicked();
    QCOMPARE(batch.values().mid(0, 3), (QStringList{"热敏电阻", "2.252kΩ", "四线制"}));

    // The channel table: cells translated, the record in Chinese.
    Tool::Struct_ChannelConfig r;
    r.Name = QStringLiteral("PT");
    r.Mode = QStringLiteral("3108A");
    r.Module = QStringLiteral("1,0,0,0,0,0");
    r.Number = 1;
    ChannelConfigAdd add;
    add.setData(driver.get(), r);
    auto* table = child<QTableWidget>(&add, "tableWidget_List");
    QStringList row;
    for (int c = 0; c < table->columnCount(); ++c)
        if (QTableWidgetItem* item = table->item(0, c))
            row << item->text();
    QVERIFY2(!hasChinese(row.join(",")), qPrintable(row.join(",")));
    QCOMPARE(add.record().Type.value(0), QStringLiteral("铂电阻"));
    QCOMPARE(add.record().Wire.value(0), QStringLiteral("二线制"));
}

void TestEnglish::acquisitionSetUp()
{
    SystemContext context;
    context.ConnectedDevices = {device(1, "SN1", QStringLiteral("快速"), QStringLiteral("网络"))};
    Tool::Struct_ChannelConfig config;
    config.Name = QStringLiteral("TC2");
    config.Mode = QStringLiteral("3107A-TC");
    config.Number = 0;
    QVERIFY(Tool::addChannelConfig(config));
    ParametersMode dialog;
    dialog.setContext(&context);
    auto* mode = child<QComboBox>(&dialog, "comboBox_Mode");
    QCOMPARE(items(mode), (QStringList{"Online", "Import"}));
    auto* record = child<QCheckBox>(&dialog, "checkBox_SaveStart");
    QCOMPARE(record->text(), QStringLiteral("Record data"));
    QVERIFY(record->isEnabled());
    record->setChecked(false);
    child<QLineEdit>(&dialog, "lineEdit_Name1")->setText(QStringLiteral("P1"));
    dialog.pt_OK_clicked();
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(context.Mode, QStringLiteral("在线"));
    QCOMPARE(context.SaveStart, false);

    // Import exists to store data: the box does not apply there.
    ParametersMode second;
    second.setContext(&context);
    child<QComboBox>(&second, "comboBox_Mode")->setCurrentText(QStringLiteral("Import"));
    QVERIFY(!child<QCheckBox>(&second, "checkBox_SaveStart")->isEnabled());
}

void TestEnglish::calibrationSources()
{
    SystemContext context;
    ChannelCalibration page;
    page.setContext(&context);
    auto* field = child<QComboBox>(&page, "comboBox_Field");
    auto* criteria = child<QComboBox>(&page, "comboBox_Criteria");
    QCOMPARE(items(field), (QStringList{"Bath", "Bath (with reference)", "Dry block", "Dry block (with reference)", "Manual"}));
    field->setCurrentText(QStringLiteral("Dry block (with reference)"));
    QCOMPARE(criteria->itemText(0), QStringLiteral("Dry block (with reference)"));
    QCOMPARE(Vocabulary::current(criteria), QStringLiteral("干式炉-R"));
    QCOMPARE(items(criteria).last(), QStringLiteral("Manual"));
    // A manual source needs no set-points.
    field->setCurrentText(QStringLiteral("Manual"));
    QVERIFY(!child<QLineEdit>(&page, "lineEdit_Temp1")->isEnabled());
}

void TestEnglish::warningLog()
{
    Tool::addAuditLog(QStringLiteral("通讯异常"), QStringLiteral("设备重新连接。"));
    Tool::addAuditLog(QStringLiteral("上限报警"), QStringLiteral("设备1-SN1 通道CH1高于上限:151.20"));
    SystemContext context;
    ViewLog page;
    page.setContext(&context);
    auto* table = child<QTableWidget>(&page, "tableWidget_List");
    QCOMPARE(table->rowCount(), 2);
    QStringList shown;
    for (int r = 0; r < 2; ++r)
        shown << table->item(r, 1)->text() + QLatin1Char('|') + table->item(r, 2)->text();
    shown.sort();
    QCOMPARE(shown, (QStringList{"Communication fault|Device reconnected.",
                                 "High alarm|Device 1-SN1 channel CH1 above high limit: 151.20"}));
    // Deleting and mailing work on what is stored.
    const auto rows = page.listedRows();
    QStringList types;
    for (const auto& row : rows)
        types << row.Type;
    types.sort();
    QCOMPARE(types, (QStringList{"上限报警", "通讯异常"}));
    // A mail of the listed entries reads like the page.
    QVERIFY(ViewLogSet::mailBody(rows).contains(QStringLiteral(";Communication fault;Device reconnected.\n")));

    // A language switch relabels the listed entries.
    const auto rowText = [table](int r) { return table->item(r, 1)->text() + '|' + table->item(r, 2)->text(); };
    const int comm = table->item(0, 1)->text() == QStringLiteral("Communication fault") ? 0 : 1;
    QCoreApplication::removeTranslator(&m_translator);
    page.retranslateUi();
    QCOMPARE(rowText(comm), QStringLiteral("通讯异常|设备重新连接。"));
    QCoreApplication::installTranslator(&m_translator);
    page.retranslateUi();
    QCOMPARE(rowText(comm), QStringLiteral("Communication fault|Device reconnected."));

    // The type filter takes the English word.
    child<QLineEdit>(&page, "lineEdit_Type")->setText(QStringLiteral("Communication fault"));
    page.pt_Search_clicked();
    QCOMPARE(table->rowCount(), 1);
    QCOMPARE(page.listedRows().value(0).Details, QStringLiteral("设备重新连接。"));
}

void TestEnglish::alarmMail()
{
    // An alarm mail written with the English interface: subject and the
    // stored Chinese detail both in English.
    SystemContext context;
    context.EmailAutoTrigger = true;
    context.EmailInterval = 0;
    context.EmailAddress = QStringList{"lab@example.org"};
    QString subject, body;
    AlarmMailer mailer(context, [] { return QDateTime(QDate(2026, 5, 1), QTime(10, 0)); },
                       [&](const QStringList&, const QString& s, const QString& b) {
                           subject = s;
                           body = b;
                       });
    QVERIFY(mailer.alarm(QStringLiteral("上限报警"), QStringLiteral("设备1-SN2024001 通道1-CH101高于上限:45.00")));
    QCOMPARE(subject, QStringLiteral("Logger alarm"));
    QCOMPARE(body, QStringLiteral("2026-05-01 10:00:00  Device 1-SN2024001 channel 1-CH101 above high limit: 45.00"));
}

void TestEnglish::warningLogPdf()
{
    // The warning log exported as PDF with the English interface, read back by poppler.
    ARQ_REQUIRE(TestSupport::hasProgram("pdftotext"), "poppler-utils (pdftotext)");
    Tool::addAuditLog(QStringLiteral("上限报警"), QStringLiteral("设备1-SN2024001 通道1-CH101高于上限:45.00"));
    Tool::addAuditLog(QStringLiteral("通讯异常"), QStringLiteral("设备重新连接。"));
    FileDialog::setTestMode(true);
    const QString path = m_dir->file(QStringLiteral("log.pdf"));
    FileDialog::queueAnswer(path);
    ViewLog page;
    page.exportLog();
    QCOMPARE(MessageBox::last().text, QStringLiteral("Saved!"));
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    QVERIFY(p.waitForFinished(30000));
    const QString text = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString& word : {QStringLiteral("Warning information"), QStringLiteral("Operation time"),
                                QStringLiteral("Description"), QStringLiteral("above high limit: 45.00"),
                                QStringLiteral("Communication fault")})
        QVERIFY2(text.contains(word), qPrintable(word + QStringLiteral(" in:\n") + text));
    QVERIFY2(!text.contains(QStringLiteral("高于上限")), qPrintable(text));
}

QTEST_MAIN(TestEnglish)
#include "tst_english.moc"
