// The certificate's numbering, its content taken from the history, and its
// three files read back: the PDF by poppler in both interface languages, the
// data and the results table parsed here.
#include "Certificate.h"
#include "CertificateFiles.h"
#include "MessageBox.h"
#include "TestSupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTranslator>
#include <QtTest>

#include <memory>

namespace {

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000))
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput());
}

// A run of two thermocouple channels on device 2, one saved with its
// evidence, one as older releases saved it (residuals text only).
QList<Tool::Struct_CalibrationHistory> history()
{
    Tool::Struct_CalibrationHistory a;
    a.SavedAt = "2026-11-03 10:00:00";
    a.Operator = "wang";
    a.StartTime = "2026-11-02 08:30:00";
    a.ChannelMode = "热电偶";
    a.ConfigName = "TC\"A%_";
    a.ChannelNumber = "102";
    a.Label = "2_102";
    a.Reference = "干式炉-R 网络 127.0.0.1 4001";
    a.NewSet = QStringList{"1.002", "-0.31", "0", "0", "0", "0", "0", "0", "0"};
    a.OldSet = QStringList{"1", "0", "0", "0", "0", "0", "0", "0", "0"};
    a.Residuals = "100.0000:99.9:0.00:-120.00:fit:0.12:2.00";
    const QJsonObject part{{"name", "标准器证书"}, {"kind", "expanded"}, {"value", 0.1}, {"k", 2}, {"count", 1},
                           {"sensitivity", 1}, {"standard", 0.05}, {"contribution", 0.05}};
    const QJsonObject budget{{"components", QJsonArray{part}}, {"combined", 0.0583}, {"dof", 50}, {"k", 2.05},
                             {"expanded", 0.1195}, {"U", 0.12}, {"decimals", 2}};
    QJsonObject evidence{
        {"device", QJsonObject{{"position", 2}, {"model", "3107A-TC"}, {"serial", "TC0042"}, {"config", a.ConfigName}}},
        {"channel", QJsonObject{{"number", "102"}, {"tag", "炉口"}, {"type", "热电偶"}, {"function", "K"}}},
        {"standard", QJsonObject{{"serial", "KD24031"}, {"kind", "干式炉-R"}, {"certificate", "DB-2026-07"},
                                 {"laboratory", "省计量院"}, {"calibrationDate", "2026-03-01"},
                                 {"dueDate", "2027-03-01"}, {"uncertainty", "0.1"}, {"k", 2}}},
        {"source", QJsonObject{{"serial", "KD24031"}, {"model", "KRDB-1"}}},
        {"points",
         QJsonArray{QJsonObject{{"point", 1}, {"reference", 100.0123456789}, {"reading", 99.9}, {"fitted", 100.0123456789},
                                {"errorAsLeft", 0.0}, {"errorAsFound", -0.1123456}, {"role", "fit"}, {"budget", budget}},
                    QJsonObject{{"point", 2}, {"reference", 300.004}, {"reading", 299.5}, {"fitted", 300.01},
                                {"errorAsLeft", 0.006}, {"errorAsFound", -0.504}, {"role", "check"},
                                {"budget", budget}}}}};
    a.Evidence = QString::fromUtf8(QJsonDocument(evidence).toJson());
    Tool::Struct_CalibrationHistory b = a;
    b.ChannelNumber = "101";
    b.Label = "2_101";
    b.Evidence.clear();
    b.Residuals = "100.0000:99.8:1.50:-200.00:fit:0.12:2.00;300.0000:299.7:-2.25::fit::";
    Tool::Struct_CalibrationHistory other = a;
    other.Label = "1_105";
    other.ChannelNumber = "105";
    // An earlier save of channel 102 in the same run: replaced by the later one.
    Tool::Struct_CalibrationHistory earlier = a;
    earlier.SavedAt = "2026-11-02 12:00:00";
    earlier.NewSet[0] = "9.9";
    return {earlier, b, other, a};
}

Certificate::Content content()
{
    Certificate::Content c;
    Certificate::fromHistory(history(), 2, c);
    c.number = "ARQ-2026-0007";
    c.issued = QDate(2026, 12, 1);
    c.labName = "温度计量实验室";
    c.labAddress = "测试路 1 号";
    c.accreditation = "CNAS L0000";
    c.signatory = {"李四", "技术负责人"};
    c.customer = "某某仪表厂";
    c.ambient = "23.1";
    c.humidity = "45";
    return c;
}

} // namespace

class TestCertificate : public QObject
{
    Q_OBJECT
private slots:
    void init()
    {
        m_dir.reset(new TestWorkDir);
        MessageBox::setTestMode(true);
    }
    void cleanup() { m_dir.reset(); }

    void numbers_data();
    void numbers();
    void contentFromHistory();
    void files_data();
    void files();
    void failureLeavesNothing();

private:
    std::unique_ptr<TestWorkDir> m_dir;
};

void TestCertificate::numbers_data()
{
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("expected");
    QTest::newRow("default") << "" << QStringList() << "2026-0001";
    QTest::newRow("date and sequence") << "LT{yy}{MM}-{nnn}" << QStringList{"LT2612-001"} << "LT2612-002";
    QTest::newRow("day") << "{yyyy}{MM}{dd}/{nn}" << QStringList() << "20261205/01";
    QTest::newRow("no sequence field") << "CAL-{yyyy}" << QStringList{"CAL-2026-001", "CAL-2026-002"}
                                       << "CAL-2026-003";
    QTest::newRow("sequence beyond its width") << "{n}" << QStringList{"1", "2", "3", "4", "5", "6", "7", "8", "9"}
                                               << "10";
}

void TestCertificate::numbers()
{
    QFETCH(QString, pattern);
    QFETCH(QStringList, taken);
    QFETCH(QString, expected);
    QCOMPARE(Certificate::nextNumber(pattern, QDate(2026, 12, 5), taken), expected);

    const QList<Certificate::Signatory> s = Certificate::parseSignatories(" 李四/技术负责人；Jane Roe / Quality manager;;王五 ");
    QCOMPARE(s.size(), 3);
    QCOMPARE(s.at(1).name, QStringLiteral("Jane Roe"));
    QCOMPARE(s.at(1).role, QStringLiteral("Quality manager"));
    QCOMPARE(s.at(2).role, QString());
}

void TestCertificate::contentFromHistory()
{
    const Certificate::Content c = content();
    QCOMPARE(Certificate::devicePositions(history()), (QList<int>{1, 2}));
    Certificate::Content none;
    QVERIFY(!Certificate::fromHistory(history(), 3, none));
    QCOMPARE(c.position, 2);
    QCOMPARE(c.model, QStringLiteral("3107A-TC"));
    QCOMPARE(c.serial, QStringLiteral("TC0042"));
    QVERIFY(c.hasStandard);
    QCOMPARE(c.standard.due, QDate(2027, 3, 1));
    QCOMPARE(c.calibratedFrom, QDate(2026, 11, 2));
    QCOMPARE(c.calibratedTo, QDate(2026, 11, 3));
    // Channels in number order; the later save of a channel replaces the earlier.
    QCOMPARE(c.channels.size(), 2);
    QCOMPARE(c.channels.at(0).number, QStringLiteral("101"));
    QCOMPARE(c.channels.at(1).after.value(0), QStringLiteral("1.002"));
    QCOMPARE(c.channels.at(1).tag, QStringLiteral("炉口"));
    // A set saved without evidence: points from its residuals text, mK to ℃.
    const Certificate::Point old = c.channels.at(0).points.at(1);
    QCOMPARE(old.errorAsLeft, -0.00225);
    QVERIFY(std::isnan(old.U));
    QCOMPARE(c.channels.at(0).points.at(0).errorAsFound, -0.2);
    QCOMPARE(c.channels.at(0).points.at(0).decimals, 2);
    QCOMPARE(c.channels.at(1).points.at(0).budget.size(), 1);
}

void TestCertificate::files_data()
{
    QTest::addColumn<bool>("english");
    QTest::newRow("中文") << false;
    QTest::newRow("English") << true;
}

void TestCertificate::files()
{
    QFETCH(bool, english);
    QTranslator translator;
    if (english) {
        const QString qm = QString::fromLocal8Bit(qgetenv("ARQ_BINARY_DIR")) + "/tervan_en.qm";
        QVERIFY2(translator.load(qm), qPrintable(qm));
        QCoreApplication::installTranslator(&translator);
    }
    ARQ_REQUIRE(TestSupport::hasProgram("pdftotext"), "poppler-utils (pdftotext)");
    Certificate::Content c = content();
    // Enough channels and points to need more than one page.
    for (int i = 0; i < 12; ++i) {
        Certificate::Channel ch = c.channels.at(1);
        ch.number = QString::number(110 + i);
        c.channels << ch;
    }
    const QString path = QDir::current().filePath("证书 ARQ-2026-0007");
    const CertificateFiles::Result r = CertificateFiles::write(c, path);
    QCoreApplication::removeTranslator(&translator);
    QVERIFY2(r.ok, qPrintable(r.error));
    const QString pdf = path + ".pdf";

    const QString info = run("pdfinfo", {pdf});
    const QRegularExpressionMatch pages = QRegularExpression("Pages:\\s+(\\d+)").match(info);
    QVERIFY(pages.hasMatch());
    const int n = pages.captured(1).toInt();
    QCOMPARE(n, r.pages);
    QVERIFY(n >= 2);
    QVERIFY2(info.contains(QRegularExpression("Page size:\\s+595 x 842 pts \\(A4\\)")), qPrintable(info)); // portrait
    // For the documentation: ARQ_SCREENSHOT_DIR=… keeps the certificate.
    const QString shots = qEnvironmentVariable("ARQ_SCREENSHOT_DIR");
    if (!shots.isEmpty())
        QFile::copy(pdf, shots + (english ? "/certificate-en.pdf" : "/certificate.pdf"));
    QStringList text = run("pdftotext", {"-layout", pdf, "-"}).split('\f');
    while (!text.isEmpty() && text.last().trimmed().isEmpty())
        text.removeLast();
    QCOMPARE(text.size(), n);
    // pdftotext drops the narrow spaces between ideographs.
    const QString pageWord = english ? "Page%1of%2" : "第%1页共%2页";
    for (int i = 0; i < n; ++i) {
        QVERIFY2(text.at(i).contains("ARQ-2026-0007"), qPrintable(text.at(i)));
        QVERIFY2(QString(text.at(i)).remove(QRegularExpression("\\s")).contains(pageWord.arg(i + 1).arg(n)),
                 qPrintable(text.at(i)));
    }
    const QString all = text.join('\n');
    const QStringList words = english ? QStringList{"Calibration certificate", "Traceability",
                                                    "relate only to the item calibrated", "End of certificate"}
                                      : QStringList{"校准证书", "溯源性", "仅对所校准的对象有效", "证书结束"};
    for (const QString& w : words)
        QVERIFY2(all.contains(w), qPrintable(w));
    QVERIFY(text.last().contains(words.last()));
    QVERIFY(all.contains("DB-2026-07") && all.contains("2027-03-01") && all.contains("李四"));
    // Every result row: point, reference, reading, errors to the decimals of U.
    QVERIFY2(all.contains(QRegularExpression("1\\s+100\\.01\\s+99\\.900\\s+-0\\.11\\s+0\\.00\\s+0\\.12\\s+2\\.05")),
             qPrintable(all));
    QVERIFY(all.contains(QRegularExpression("300\\.00\\s+299\\.500\\s+-0\\.50\\s+0\\.01\\s+0\\.12")));
    QCOMPARE(all.count(QRegularExpression("100\\.01\\s+99\\.900")), 13);

    // The data at full precision, the results table as printed.
    QFile json(path + ".json");
    QVERIFY(json.open(QIODevice::ReadOnly));
    const QJsonObject root = QJsonDocument::fromJson(json.readAll()).object();
    QCOMPARE(root.value("number").toString(), QStringLiteral("ARQ-2026-0007"));
    const QJsonArray channels = root.value("channels").toArray();
    QCOMPARE(channels.size(), 14);
    const QJsonObject p1 = channels.at(1).toObject().value("points").toArray().at(0).toObject();
    QCOMPARE(p1.value("reference").toDouble(), 100.0123456789);
    QCOMPARE(p1.value("errorAsFound").toDouble(), -0.1123456);
    QCOMPARE(p1.value("budget").toObject().value("components").toArray().size(), 1);
    QCOMPARE(channels.at(1).toObject().value("coefficients").toObject().value("M").toString(), QStringLiteral("1.002"));
    QVERIFY(channels.at(0).toObject().value("points").toArray().at(1).toObject().value("U").isNull());
    QFile csv(path + ".csv");
    QVERIFY(csv.open(QIODevice::ReadOnly));
    const QStringList rows = QString::fromUtf8(csv.readAll()).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 1 + 14 * 2);
    QCOMPARE(rows.at(3), QStringLiteral("ARQ-2026-0007,102,炉口,1,fit,100.01,99.9,-0.11,0.00,0.12,2.05"));
    QCOMPARE(rows.at(2), QStringLiteral("ARQ-2026-0007,101,,2,fit,300.000,299.7,,-0.002,,"));
    QVERIFY(QDir::current().entryList({"*.part"}).isEmpty());
}

void TestCertificate::failureLeavesNothing()
{
    const Certificate::Content c = content();
    // A cancel at the first page: no file at all.
    std::atomic<bool> cancel{true};
    CertificateFiles::Result r = CertificateFiles::write(c, "cancelled.pdf", {}, &cancel);
    QVERIFY(!r.ok && r.cancelled);
    QVERIFY(!QFile::exists("cancelled.pdf") && !QFile::exists("cancelled.json"));
    // A folder where the data file would go: refused before anything is written.
    QVERIFY(QDir::current().mkdir("blocked.json"));
    r = CertificateFiles::write(c, "blocked.pdf");
    QVERIFY(!r.ok);
    QVERIFY2(r.error.contains("blocked.json"), qPrintable(r.error));
    QVERIFY(!QFile::exists("blocked.pdf") && !QFile::exists("blocked.csv"));
    QVERIFY(QDir::current().entryList({"*.part"}).isEmpty());
}

QTEST_MAIN(TestCertificate)
#include "tst_certificate.moc"
