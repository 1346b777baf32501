// The warning-log page, the notification settings dialog and the alarm mail rule.

#include "AlarmMailer.h"
#include "MailQueue.h"
#include "AuditLogPdf.h"
#include "Email.h"
#include "MessageBox.h"
#include "SmtpServer.h"
#include "SystemContext.h"
#include "TestSupport.h"
#include "Tool.h"
#include "ViewLog.h"
#include "ViewLogSet.h"

#include <QBuffer>
#include <QCheckBox>
#include <QPdfWriter>
#include <QDateTimeEdit>
#include <QJsonArray>
#include <QLineEdit>
#include <QProcess>
#include <QSqlQuery>
#include <QTimer>
#include <QtTest>

#include <mutex>

#include <memory>

using Rows = QList<Tool::Struct_AuditLog>;

namespace {

void addEntry(const QString& time, const QString& type, const QString& details)
{
    QSqlQuery q;
    q.prepare(QStringLiteral("insert into AuditLog values (?,?,?)"));
    q.addBindValue(time);
    q.addBindValue(type);
    q.addBindValue(details);
    QVERIFY(q.exec());
}

QStringList details(const Rows& rows)
{
    QStringList out;
    for (const auto& r : rows)
        out << r.Details;
    return out;
}

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    p.waitForFinished(30000);
    return QString::fromUtf8(p.readAllStandardOutput());
}

QDateTime at(const char* text)
{
    return QDateTime::fromString(QLatin1String(text), QStringLiteral("yyyy-MM-dd hh:mm:ss"));
}

} // namespace

class ViewLogTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        m_dir.reset(new TestWorkDir);
        QVERIFY(TestSupport::openDatabase());
        MessageBox::setTestMode(true);
        MessageBox::clear();
        FileDialog::setTestMode(true);
        FileDialog::clear();
        Email::setOnlineCheck([] { return true; });
    }
    void cleanup()
    {
        m_server.reset();
        Email::setOnlineCheck({});
        m_dir.reset();
    }

    // --- ViewLog ---

    void filters_data()
    {
        QTest::addColumn<QDateTime>("start");
        QTest::addColumn<QDateTime>("end");
        QTest::addColumn<QString>("type");
        QTest::addColumn<QStringList>("listed");
        const QDateTime from = at("2020-01-01 01:01:00"), to = at("2040-01-01 01:01:59");
        QTest::newRow("everything, newest on top") << from << to << QString()
                                                   << QStringList{"d4", "d3", "d2", "d1"};
        QTest::newRow("high-limit only") << from << to << QStringLiteral("上限")
                                         << QStringList{"d4", "d1"};
        QTest::newRow("one minute with its seconds")
            << at("2024-05-01 10:00:00") << at("2024-05-01 10:00:59") << QString()
            << QStringList{"d2", "d1"};
        QTest::newRow("bounds inclusive") << at("2024-05-01 10:00:59") << at("2024-05-01 10:01:00")
                                          << QString() << QStringList{"d3", "d2"};
        QTest::newRow("nothing") << at("2024-05-02 00:00:00") << to << QString() << QStringList{};
    }
    void filters()
    {
        QFETCH(QDateTime, start);
        QFETCH(QDateTime, end);
        QFETCH(QString, type);
        QFETCH(QStringList, listed);
        addEntry("2024-05-01 10:00:00", "上限报警", "d1");
        addEntry("2024-05-01 10:00:59", "下限报警", "d2");
        addEntry("2024-05-01 10:01:00", "通讯异常", "d3");
        addEntry("2024-05-01 10:02:30", "上限报警", "d4");
        ViewLog page;
        QCOMPARE(details(page.listedRows()), (QStringList{"d4", "d3", "d2", "d1"}));
        page.findChild<QDateTimeEdit*>("dateTimeEdit_Start")->setDateTime(start);
        page.findChild<QDateTimeEdit*>("dateTimeEdit_End")->setDateTime(end);
        page.findChild<QLineEdit*>("lineEdit_Type")->setText(type);
        page.pt_Search_clicked();
        QCOMPARE(details(page.listedRows()), listed);
    }

    void editorsKeepHiddenSeconds()
    {
        ViewLog page;
        auto* start = page.findChild<QDateTimeEdit*>("dateTimeEdit_Start");
        auto* end = page.findChild<QDateTimeEdit*>("dateTimeEdit_End");
        QCOMPARE(start->dateTime(), at("2020-01-01 01:01:00"));
        QCOMPARE(end->dateTime(), at("2040-01-01 01:01:59"));
        QCOMPARE(end->displayFormat(), QStringLiteral("yyyy-MM-dd HH:mm"));
        // The user steps the visible minutes: the end bound still covers its whole minute.
        end->setCurrentSection(QDateTimeEdit::MinuteSection);
        end->stepBy(-1);
        end->setCurrentSection(QDateTimeEdit::YearSection);
        end->stepBy(-16);
        QCOMPARE(end->dateTime(), at("2024-01-01 01:00:59"));
        addEntry("2024-01-01 01:00:59", "上限报警", "last second");
        addEntry("2024-01-01 01:01:00", "上限报警", "next minute");
        page.pt_Search_clicked();
        QCOMPARE(details(page.listedRows()), QStringList{"last second"});
    }

    void deleteRemovesExactlyTheListedEntries()
    {
        addEntry("2024-05-01 10:00:00", "上限报警", "listed");
        addEntry("2024-05-01 10:00:00", "下限报警", "same second, not listed");
        addEntry("2024-05-01 10:05:00", "通讯异常", "other");
        addEntry("2024-05-01 10:06:00", "上限报警", "listed too");
        ViewLog page;
        page.findChild<QLineEdit*>("lineEdit_Type")->setText(QStringLiteral("上限"));
        page.pt_Search_clicked();
        QCOMPARE(page.listedRows().size(), 2);

        MessageBox::queueAnswer(MessageBox::No);
        page.deleteLog();
        QCOMPARE(MessageBox::last().title, QStringLiteral("删除"));
        QCOMPARE(MessageBox::last().text, QStringLiteral("确认删除通知？"));
        QCOMPARE(TestSupport::scalar("select count(*) from AuditLog").toInt(), 4);

        MessageBox::queueAnswer(MessageBox::Yes);
        page.deleteLog();
        // The whole remaining log is listed again; the filter editors keep their text.
        QCOMPARE(details(page.listedRows()), (QStringList{"other", "same second, not listed"}));
        QCOMPARE(page.findChild<QLineEdit*>("lineEdit_Type")->text(), QStringLiteral("上限"));
    }

    void exportManyPages()
    {
        for (int i = 0; i < 40; ++i)
            addEntry(QStringLiteral("2024-05-01 10:%1:00").arg(i, 2, 10, QLatin1Char('0')),
                     i % 2 ? QStringLiteral("上限报警") : QStringLiteral("下限报警"),
                     QStringLiteral("设备%1-SN2024000%1 通道%1-CH1%2超限:%3")
                         .arg(i % 3 + 1).arg(i, 2, 10, QLatin1Char('0')).arg(1234.5 + i, 0, 'f', 2));
        ViewLog page;
        const QString path = m_dir->file(QStringLiteral("log.pdf"));
        FileDialog::queueAnswer(path);
        page.exportLog();
        // A save dialog, titled as one, with the filter named by its format.
        QCOMPARE(FileDialog::asked().last().kind, QStringLiteral("save"));
        QCOMPARE(FileDialog::asked().last().caption, QStringLiteral("保存文件"));
        QCOMPARE(FileDialog::asked().last().filter, QStringLiteral("PDF (*.pdf)"));
        QCOMPARE(MessageBox::last().title, QStringLiteral("提示"));
        QCOMPARE(MessageBox::last().text, QStringLiteral("保存成功！"));

        if (qEnvironmentVariableIsSet("ARQ_KEEP_PDF")) // to look at it
            QFile::copy(path, qEnvironmentVariable("ARQ_KEEP_PDF"));
        const QString info = run(QStringLiteral("pdfinfo"), {path});
        QRegularExpressionMatch pages = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
        QVERIFY2(pages.hasMatch(), qPrintable(info));
        const int count = pages.captured(1).toInt();
        QVERIFY(count > 1);
        QVERIFY2(info.contains(QStringLiteral("(A4)")), qPrintable(info));
        int seen = 0;
        for (int p = 1; p <= count; ++p) {
            const QString text = run(QStringLiteral("pdftotext"),
                                     {"-f", QString::number(p), "-l", QString::number(p), path, "-"});
            const QStringList lines = text.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
            QVERIFY(lines.size() > 3);
            QCOMPARE(lines[0].trimmed(), QStringLiteral("警告信息"));
            QVERIFY(text.contains(QStringLiteral("操作时间")) && text.contains(QStringLiteral("操作说明")));
            QCOMPARE(text.count(QStringLiteral("超限")), p == 1 ? 24 : 16);
            seen += text.count(QStringLiteral("超限"));
            if (p == 1) // table order: newest first
                QVERIFY(text.indexOf(QStringLiteral("10:39:00")) < text.indexOf(QStringLiteral("10:38:00")));
        }
        QCOMPARE(seen, 40);
        // Worked out here: rows 120 apart from y = 300 on a page 3258 high
        // leave room for 24 rows a page, so 40 rows take two pages.
        QCOMPARE(count, 2);
    }

    void longDetailsShrinkToTheColumn()
    {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        writer.setResolution(300);
        QFont base(QStringLiteral("宋体"));
        base.setPointSize(12);
        const int width = AuditLogPdf::columns(2229).text_w;
        const QString longText = QStringLiteral("设备12-SN2024000123 通道12-Channel-Tag-103低于下限:-123456.78");
        const QFont f = AuditLogPdf::fitted(base, longText, width, &writer);
        QVERIFY(f.pointSizeF() < 12);
        QVERIFY(QFontMetrics(f, &writer).horizontalAdvance(longText) <= width);
        QCOMPARE(AuditLogPdf::fitted(base, QStringLiteral("上限报警"), width, &writer).pointSizeF(), 12.0);
    }

    void exportFailureReported()
    {
        addEntry("2024-05-01 10:00:00", "上限报警", "d1");
        ViewLog page;
        FileDialog::queueAnswer(m_dir->file(QStringLiteral("missing/dir/log.pdf")));
        page.exportLog();
        QCOMPARE(MessageBox::last().kind, QStringLiteral("warning"));
        QCOMPARE(MessageBox::last().title, QStringLiteral("警告"));
        QCOMPARE(MessageBox::last().text, QStringLiteral("保存失败！"));

        MessageBox::clear();
        FileDialog::queueAnswer(QString()); // cancelled
        page.exportLog();
        QVERIFY(MessageBox::shown().isEmpty());
    }

    // --- ViewLogSet ---

    void addressExpression_data()
    {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("valid");
        QTest::newRow("plain") << "lab@example.com" << true;
        QTest::newRow("dots and underscores") << "a.b_c@mail-1.example.cn" << true;
        QTest::newRow("double dot") << "a..b@example.com" << false;
        QTest::newRow("no domain dot") << "a@example" << false;
        QTest::newRow("long suffix") << "a@example.abcdefg" << false;
        QTest::newRow("blank") << " a@example.com" << false;
        QTest::newRow("line break") << "a@example.com\nb" << false;
    }
    void addressExpression()
    {
        QFETCH(QString, address);
        QFETCH(bool, valid);
        QCOMPARE(ViewLogSet::validAddress(address), valid);
    }

    void closeRefusedOnInvalidAddress()
    {
        SystemContext context;
        ViewLogSet dialog;
        dialog.setData(&context, {});
        dialog.show();
        auto* box3 = dialog.findChild<QLineEdit*>("lineEdit_Email3");
        box3->setText(QStringLiteral("not an address"));
        QVERIFY(!dialog.close());
        QVERIFY(dialog.isVisible());
        QCOMPARE(MessageBox::last().title, QStringLiteral("提示"));
        QCOMPARE(MessageBox::last().text, QStringLiteral("输入的邮件地址不合法！"));
        dialog.reject(); // Esc takes the same check
        QVERIFY(dialog.isVisible());
        box3->clear();
        QVERIFY(dialog.close());
    }

    void intervalValidator()
    {
        ViewLogSet dialog;
        const QValidator* v = dialog.findChild<QLineEdit*>("lineEdit_Trigger")->validator();
        int pos = 0;
        QString text = QStringLiteral("05");
        QCOMPARE(v->validate(text, pos), QValidator::Invalid);
        text = QStringLiteral("5");
        QCOMPARE(v->validate(text, pos), QValidator::Intermediate);
        text = QStringLiteral("600");
        QCOMPARE(v->validate(text, pos), QValidator::Acceptable);
    }

    void savedOnDestruction_data()
    {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<QString>("storedAddress");
        QTest::addColumn<int>("contextInterval");
        QTest::newRow("three") << "600" << QStringList{"a@b.cn", "c@d.cn", "e@f.cn"}
                               << "a@b.cn,c@d.cn,e@f.cn" << 600;
        // Every filled, valid box is kept, wherever it stands.
        QTest::newRow("first box empty") << "30" << QStringList{"", "c@d.cn", ""} << "c@d.cn" << 30;
        QTest::newRow("invalid box left out") << "" << QStringList{"a@b.cn", "bad", "e@f.cn"}
                                              << "a@b.cn,e@f.cn" << 0;
    }
    void savedOnDestruction()
    {
        QFETCH(QString, interval);
        QFETCH(QStringList, boxes);
        QFETCH(QString, storedAddress);
        QFETCH(int, contextInterval);
        SystemContext context;
        context.EmailInterval = 120;
        context.EmailAddress = QStringList{"old@b.cn"};
        // Start-up creates the key rows when it loads the settings.
        QString value;
        bool flag = false;
        QVERIFY(Tool::getSystemSet(QStringLiteral("EmailInterval"), value));
        QVERIFY(Tool::getSystemSet(QStringLiteral("EmailAutoTrigger"), flag));
        QVERIFY(Tool::getSystemSet(QStringLiteral("EmailAddress"), value));
        {
            ViewLogSet dialog;
            dialog.setData(&context, {});
            QCOMPARE(dialog.findChild<QLineEdit*>("lineEdit_Trigger")->text(), QStringLiteral("120"));
            QCOMPARE(dialog.findChild<QLineEdit*>("lineEdit_Email1")->text(), QStringLiteral("old@b.cn"));
            QCOMPARE(dialog.findChild<QLineEdit*>("lineEdit_Email2")->text(), QString());
            dialog.findChild<QLineEdit*>("lineEdit_Trigger")->setText(interval);
            dialog.findChild<QCheckBox*>("checkBox_Trigger")->setChecked(true);
            for (int i = 0; i < 3; ++i)
                dialog.findChild<QLineEdit*>(QStringLiteral("lineEdit_Email%1").arg(i + 1))->setText(boxes[i]);
        }
        auto stored = [](const char* key) {
            return TestSupport::scalar(QStringLiteral("select Data from SystemSet where Name='%1'")
                                           .arg(QLatin1String(key))).toString();
        };
        QCOMPARE(stored("EmailInterval"), interval);
        QCOMPARE(stored("EmailAutoTrigger"), QStringLiteral("true"));
        QCOMPARE(stored("EmailAddress"), storedAddress);
        QCOMPARE(context.EmailInterval, contextInterval);
        QVERIFY(context.EmailAutoTrigger);
        QCOMPARE(context.EmailAddress.join(QLatin1Char(',')), storedAddress);
    }

    void immediateSend_data()
    {
        QTest::addColumn<QStringList>("boxes");
        QTest::addColumn<bool>("online");
        QTest::addColumn<bool>("withRows");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("mails");
        QTest::newRow("sent") << QStringList{"a@b.cn", "c@d.cn", ""} << true << true
                              << "邮件发送成功！" << 2;
        QTest::newRow("offline") << QStringList{"a@b.cn", "", ""} << false << true
                                 << "当前无网络，邮件发送失败！" << 0;
        QTest::newRow("no rows") << QStringList{"a@b.cn", "", ""} << true << false
                                 << "当前无报警信息！" << 0;
        QTest::newRow("first box empty") << QStringList{"", "c@d.cn", ""} << true << true
                                         << "邮件发送成功！" << 1;
        QTest::newRow("no box filled") << QStringList{"", "", ""} << true << true << "请先输入邮件地址！" << 0;
        // A refusal is shown as a failure, in the server's words.
        QTest::newRow("recipient refused") << QStringList{"refused@b.cn", "", ""} << true << true
                                           << "邮件发送失败：550 5.1.1 <refused@b.cn>: mailbox unavailable" << 0;
        // One refused address does not keep the mail from the others; the
        // message names the one refused.
        QTest::newRow("one of two refused") << QStringList{"refused@b.cn", "a@b.cn", ""} << true << true
                                            << "部分收件人未收到邮件：550 5.1.1 <refused@b.cn>: mailbox unavailable" << 1;
        QTest::newRow("invalid") << QStringList{"a@b.cn", "x@", ""} << true << true
                                 << "输入的邮件地址不合法！" << 0;
    }
    void immediateSend()
    {
        QFETCH(QStringList, boxes);
        QFETCH(bool, online);
        QFETCH(bool, withRows);
        QFETCH(QString, message);
        QFETCH(int, mails);
        if (!startServer())
            return;
        Email::setOnlineCheck([online] { return online; });
        SystemContext context;
        context.EmailAddress = boxes;
        const Rows rows = withRows ? Rows{{"2024-05-01 10:02:30", "上限报警", "1-103 超上限"},
                                          {"2024-05-01 10:00:00", "下限报警", "1-101 超下限"}}
                                   : Rows{};
        ViewLogSet dialog;
        dialog.setData(&context, rows);
        dialog.pt_Send_clicked();
        QVERIFY(!dialog.isSending());
        QCOMPARE(MessageBox::last().title, QStringLiteral("提示"));
        QCOMPARE(MessageBox::last().text, message);
        const QList<QJsonObject> got = m_server->messages();
        QCOMPARE(got.size(), mails);
        if (mails) {
            const QByteArray content = SmtpServer::content(got[0]);
            QVERIFY(content.contains(QStringLiteral("subject:采集器报警\r\n").toUtf8()));
            QVERIFY(content.endsWith(QStringLiteral("\r\n\r\n2024-05-01 10:02:30;上限报警;1-103 超上限\r\n"
                                                    "2024-05-01 10:00:00;下限报警;1-101 超下限\r\n\r\n")
                                         .toUtf8()));
        }
    }

    void dialogStaysWhileSending()
    {
        if (!startServer())
            return;
        // A slow online check keeps the worker busy long enough to try closing.
        Email::setOnlineCheck([] { QThread::msleep(400); return true; });
        SystemContext context;
        context.EmailAddress = QStringList{"a@b.cn"};
        auto* dialog = new ViewLogSet;
        dialog->setData(&context, {{"2024-05-01 10:00:00", "上限报警", "d"}});
        dialog->show();
        bool sendingSeen = false, closed = true;
        QTimer::singleShot(50, [&] {
            sendingSeen = dialog->isSending();
            closed = dialog->close();
            dialog->reject();
        });
        dialog->pt_Send_clicked();
        QVERIFY(sendingSeen);
        QVERIFY(!closed);
        QVERIFY(dialog->isVisible());
        QCOMPARE(MessageBox::last().text, QStringLiteral("邮件发送成功！"));
        delete dialog;
        QCOMPARE(m_server->messages().size(), 1);
    }

    void setLogHandsOverListedRows()
    {
        addEntry("2024-05-01 10:00:00", "上限报警", "d1");
        addEntry("2024-05-01 10:01:00", "下限报警", "d2");
        SystemContext context;
        context.EmailInterval = 300;
        QString value;
        QVERIFY(Tool::getSystemSet(QStringLiteral("EmailInterval"), value));
        ViewLog page;
        page.setContext(&context);
        Rows handed;
        QString intervalShown;
        // The dialog runs modally; inspect and close it from inside its loop.
        QTimer::singleShot(0, [&] {
            auto* dialog = page.findChild<ViewLogSet*>();
            QVERIFY(dialog);
            intervalShown = dialog->findChild<QLineEdit*>("lineEdit_Trigger")->text();
            dialog->findChild<QLineEdit*>("lineEdit_Trigger")->setText(QStringLiteral("900"));
            dialog->close();
        });
        page.setLog();
        QCOMPARE(intervalShown, QStringLiteral("300"));
        QVERIFY(!page.findChild<ViewLogSet*>());
        QCOMPARE(context.EmailInterval, 900);
    }

    // --- alarm mail rule ---

    void mailAtMostOncePerInterval()
    {
        SystemContext context;
        context.EmailAutoTrigger = true;
        context.EmailInterval = 600;
        context.EmailAddress = QStringList{"a@b.cn"};
        QDateTime now = at("2024-05-01 10:00:00");
        struct Mail { QStringList to; QString subject, body; };
        QList<Mail> mails;
        AlarmMailer mailer(context, [&] { return now; },
                           [&](const QStringList& to, const QString& s, const QString& b) {
                               mails.append({to, s, b});
                           });
        QCOMPARE(mailer.lastMail(), now.addDays(-10));
        context.EmailInterval = 0; // later changes apply to the next acquisition only

        Tool::addAuditLog(QStringLiteral("上限报警"), QStringLiteral("1-101 超上限"));
        QVERIFY(mailer.alarm(QStringLiteral("上限报警"), QStringLiteral("1-101 超上限")));
        now = now.addSecs(300);
        Tool::addAuditLog(QStringLiteral("下限报警"), QStringLiteral("1-102 超下限"));
        QVERIFY(!mailer.alarm(QStringLiteral("下限报警"), QStringLiteral("1-102 超下限")));
        QCOMPARE(TestSupport::scalar("select count(*) from AuditLog").toInt(), 2);
        QCOMPARE(mails.size(), 1);
        QCOMPARE(mails[0].to, QStringList{"a@b.cn"});
        QCOMPARE(mails[0].subject, QStringLiteral("采集器报警"));
        QCOMPARE(mails[0].body, QStringLiteral("2024-05-01 10:00:00  1-101 超上限"));

        QVERIFY(!mailer.alarm(QStringLiteral("通讯异常"), QStringLiteral("link lost")));
        now = now.addSecs(300); // exactly the interval since the last mail
        QVERIFY(mailer.alarm(QStringLiteral("下限报警"), QStringLiteral("x")));
        QCOMPARE(mails.size(), 2);
    }

    void noMailWithoutAutoTrigger()
    {
        SystemContext context;
        context.EmailAutoTrigger = false;
        int mails = 0;
        AlarmMailer mailer(context, {}, [&](const QStringList&, const QString&, const QString&) { ++mails; });
        QVERIFY(!mailer.alarm(QStringLiteral("上限报警"), QStringLiteral("d")));
        QCOMPARE(mails, 0);
    }

    void queuedMailWithNoAddressStartsNoDialogue()
    {
        if (!startServer())
            return;
        SystemContext context;
        context.EmailAutoTrigger = true;
        context.EmailAddress = QString().split(QLatin1Char(',')); // stored "" reads back as {""}
        AlarmMailer mailer(context);
        QVERIFY(mailer.alarm(QStringLiteral("上限报警"), QStringLiteral("d")));
        QVERIFY(MailQueue::instance().waitIdle(15000));
        QTest::qWait(200);
        QVERIFY(m_server->stream().isEmpty());
    }

    void alarmBurstMakesFewMails()
    {
        if (!startServer())
            return;
        // Alarms arriving while a mail goes out are merged into the next one.
        for (int i = 1; i <= 5; ++i)
            MailQueue::instance().post({QStringLiteral("a@b.cn")}, QStringLiteral("burst"),
                                       QStringLiteral("alarm %1").arg(i));
        QVERIFY(MailQueue::instance().waitIdle(30000));
        const QList<QJsonObject> got = m_server->messages();
        QVERIFY2(!got.isEmpty() && got.size() <= 2, qPrintable(QString::number(got.size())));
        QByteArray all;
        for (const QJsonObject& m : got)
            all += SmtpServer::content(m);
        for (int i = 1; i <= 5; ++i)
            QVERIFY(all.contains(QStringLiteral("alarm %1").arg(i).toUtf8()));

        // A refused mail reaches the failure handler with the server's words.
        QString reason;
        MailQueue::instance().setFailureHandler([&reason](const QString& r) { reason = r; });
        MailQueue::instance().post({QStringLiteral("refused@b.cn")}, QStringLiteral("x"), QStringLiteral("y"));
        QVERIFY(MailQueue::instance().waitIdle(30000));
        QVERIFY2(reason.startsWith("550"), qPrintable(reason));

        // An alarm to a refused and a valid address reaches the valid one;
        // the failure names the refused one.
        reason.clear();
        const int before = m_server->messages().size();
        MailQueue::instance().post({QStringLiteral("refused@b.cn"), QStringLiteral("c@d.cn")}, QStringLiteral("z"),
                                   QStringLiteral("alarm to two"));
        QVERIFY(MailQueue::instance().waitIdle(30000));
        MailQueue::instance().setFailureHandler({});
        QCOMPARE(reason, QStringLiteral("550 5.1.1 <refused@b.cn>: mailbox unavailable"));
        const QList<QJsonObject> after = m_server->messages();
        QCOMPARE(after.size(), before + 1);
        QCOMPARE(after.last().value(QStringLiteral("rcpt")).toArray().first().toString(), QStringLiteral("c@d.cn"));
    }

    // Last: the queue cannot be used once shut down.
    void shutdownLetsTheMailInFlightFinish()
    {
        if (!startServer(true))
            return;
        QStringList reasons;
        std::mutex lock;
        MailQueue::instance().setFailureHandler([&](const QString& r) {
            std::lock_guard<std::mutex> hold(lock);
            reasons << r;
        });
        // A mail in flight to a server that never answers, a second one waiting.
        MailQueue::instance().post({QStringLiteral("a@b.cn")}, QStringLiteral("first"), QStringLiteral("x"));
        QTest::qWait(300);
        MailQueue::instance().post({QStringLiteral("c@d.cn")}, QStringLiteral("second"), QStringLiteral("y"));
        QCOMPARE(MailQueue::instance().pending(), 2);
        QElapsedTimer clock;
        clock.start();
        MailQueue::instance().shutdown();
        // The dialogue in flight ran to its end (it failed, and said so); the
        // waiting mail was dropped, a later one is ignored.
        QVERIFY2(clock.elapsed() < 20 * Email::WaitMs, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(MailQueue::instance().pending(), 0);
        {
            std::lock_guard<std::mutex> hold(lock);
            QCOMPARE(reasons.size(), 1);
        }
        MailQueue::instance().post({QStringLiteral("e@f.cn")}, QStringLiteral("late"), QStringLiteral("z"));
        QCOMPARE(MailQueue::instance().pending(), 0);
        QVERIFY(MailQueue::instance().waitIdle(1000));
        MailQueue::instance().setFailureHandler({});
    }

private:
    // False (the case skipped or failed) when no server could be started.
    bool startServer(bool silent = false)
    {
        if (!SmtpServer::available()) {
            if (TestSupport::inCI())
                QTest::qFail("missing test package: python3-aiosmtpd", __FILE__, __LINE__);
            else
                QTest::qSkip("python3-aiosmtpd is not installed", __FILE__, __LINE__);
            return false;
        }
        m_server.reset(new SmtpServer(m_dir->path()));
        if (!m_server->start(silent ? QStringList{QStringLiteral("--silent")} : QStringList())) {
            QTest::qFail("SMTP server did not start", __FILE__, __LINE__);
            return false;
        }
        m_server->writeMailIni(m_dir->file(MailSettings::fileName()));
        return true;
    }

    std::unique_ptr<TestWorkDir> m_dir;
    std::unique_ptr<SmtpServer> m_server;
};

QTEST_MAIN(ViewLogTest)
#include "tst_viewlog.moc"
