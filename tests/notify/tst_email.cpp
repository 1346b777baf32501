// The SMTP client against a real SMTP server on loopback.

#include "Email.h"
#include "SmtpServer.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QMutex>
#include <QProcess>
#include <QTemporaryDir>
#include <QTcpServer>
#include <QtTest>

namespace {

QMutex logMutex;
QStringList logLines;

void captureLog(QtMsgType, const QMessageLogContext&, const QString& text)
{
    QMutexLocker lock(&logMutex);
    logLines.append(text);
}

QList<QByteArray> loginLines(const QByteArray& host)
{
    return {"EHLO " + host, "AUTH LOGIN", SmtpServer::user().toBase64(),
            SmtpServer::password().toBase64()};
}

} // namespace

class EmailTest : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        if (!SmtpServer::available())
            ARQ_REQUIRE(false, "python3-aiosmtpd");
    }

    void init()
    {
        m_dir.reset(new QTemporaryDir);
        m_server.reset(new SmtpServer(m_dir->path()));
        Email::setOnlineCheck([] { return true; });
        QMutexLocker lock(&logMutex);
        logLines.clear();
    }
    void cleanup()
    {
        m_server.reset();
        Email::setOnlineCheck({});
    }

    void dialogueInExactOrder()
    {
        QVERIFY(m_server->start());
        qInstallMessageHandler(captureLog);
        {
            Email mail(m_server->settings());
            QVERIFY(mail.sendAll({QStringLiteral("a@b.cn")}, QStringLiteral("采集器报警"),
                                 QStringLiteral("2024-05-01 10:00:00;上限报警;1-101 超上限")));
        }
        qInstallMessageHandler(nullptr);

        QList<QByteArray> expected = loginLines("127.0.0.1");
        expected += {"mail from:<sender@example.com>",
                     "rcpt to:<a@b.cn>",
                     "data",
                     QStringLiteral("from:报警器<sender@example.com>").toUtf8(),
                     "to:a@b.cn",
                     QStringLiteral("subject:采集器报警").toUtf8(),
                     "",
                     QStringLiteral("2024-05-01 10:00:00;上限报警;1-101 超上限").toUtf8(),
                     ".",
                     "quit"};
        QCOMPARE(m_server->lines(), expected);

        const QList<QJsonObject> messages = m_server->messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].value(QStringLiteral("authenticated")).toBool());
        QCOMPARE(messages[0].value(QStringLiteral("rcpt")).toArray().first().toString(),
                 QStringLiteral("a@b.cn"));
        // Raw UTF-8, no encoded words.
        QVERIFY(SmtpServer::content(messages[0]).contains(QStringLiteral("subject:采集器报警\r\n").toUtf8()));

        // Replies are logged; what we send for AUTH is not.
        QMutexLocker lock(&logMutex);
        const QString all = logLines.join(QLatin1Char('\n'));
        QVERIFY(all.contains(QStringLiteral("235")));
        QVERIFY(!all.contains(QString::fromLatin1(SmtpServer::password())));
        QVERIFY(!all.contains(QString::fromLatin1(SmtpServer::password().toBase64())));
    }

    void bodyIsDotStuffedWithCrlf()
    {
        QVERIFY(m_server->start());
        {
            Email mail(m_server->settings());
            QVERIFY(mail.sendAll({QStringLiteral("a@b.cn")}, QStringLiteral("s"),
                                 QStringLiteral("first\n.\n..\nmid\r\n.\r\nlast")));
        }
        const QByteArray stream = m_server->stream();
        QVERIFY(stream.contains("\r\n\r\nfirst\r\n..\r\n...\r\nmid\r\n..\r\nlast\r\n.\r\nquit\r\n"));
        for (int i = 0; i < stream.size(); ++i) {
            if (stream[i] == '\n')
                QVERIFY2(i > 0 && stream[i - 1] == '\r', "bare LF on the wire");
        }
        const QList<QJsonObject> messages = m_server->messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY(SmtpServer::content(messages[0]).endsWith("\r\n\r\nfirst\r\n.\r\n..\r\nmid\r\n.\r\nlast\r\n"));
    }

    void headerInjectionRefused()
    {
        QVERIFY(m_server->start());
        bool result = true;
        {
            Email mail(m_server->settings());
            result = mail.sendAll({QStringLiteral("a@b.cn>\r\nrcpt to:<evil@example.com"),
                                   QStringLiteral("ok@b.cn")},
                                  QStringLiteral("alarm\r\nbcc: evil@example.com\nx"),
                                  QStringLiteral("body"));
        }
        QVERIFY(!result);
        QVERIFY(!m_server->stream().contains("evil@example.com>"));
        const QList<QJsonObject> messages = m_server->messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].value(QStringLiteral("rcpt")).toArray().size(), 1);
        QCOMPARE(messages[0].value(QStringLiteral("rcpt")).toArray().first().toString(),
                 QStringLiteral("ok@b.cn"));
        const QByteArray content = SmtpServer::content(messages[0]);
        const QList<QByteArray> header = content.left(content.indexOf("\r\n\r\n")).split('\n');
        QCOMPARE(header.size(), 3);
        QCOMPARE(header[2], QByteArray("subject:alarm bcc: evil@example.com x"));
    }

    void refusalsAreFailures_data()
    {
        QTest::addColumn<QByteArray>("authCode");
        QTest::addColumn<QStringList>("recipients");
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("reply"); // the server's refusal the failure quotes
        // aiosmtpd's own authenticator path refuses a wrong code.
        QTest::newRow("login refused") << QByteArray("wrongwrongwrongw") << QStringList{"a@b.cn"} << "b" << "535";
        QTest::newRow("message rejected") << SmtpServer::password() << QStringList{"a@b.cn"} << "REJECT-ME" << "554";
    }
    void refusalsAreFailures()
    {
        QFETCH(QByteArray, authCode);
        QFETCH(QStringList, recipients);
        QFETCH(QString, body);
        QFETCH(QString, reply);
        QVERIFY(m_server->start());
        MailSettings settings = m_server->settings();
        settings.authCode = authCode;
        {
            Email mail(settings);
            QVERIFY(!mail.sendAll(recipients, QStringLiteral("s"), body));
            QVERIFY2(mail.failure().startsWith(reply), qPrintable(mail.failure()));
            // The server's words are reported, never what we sent to log in.
            QVERIFY(!mail.failure().contains(QString::fromLatin1(settings.authCode.toBase64())));
            QCOMPARE(mail.delivered(), 0);
        }
        // The dialogue stopped at the refusal: nothing went out after it.
        QCOMPARE(m_server->messages().size(), 0);
        QCOMPARE(m_server->lines().last(), QByteArray("quit"));
        QVERIFY(!m_server->stream().contains("RSET"));
    }

    // One refused mailbox (550) does not keep the alarm from the others: the
    // transaction is reset and the next recipient gets the mail; the result
    // names the refused one.
    void refusedRecipientDoesNotStopOthers()
    {
        QVERIFY(m_server->start());
        {
            Email mail(m_server->settings());
            QVERIFY(!mail.sendAll({QStringLiteral("a@b.cn"), QStringLiteral("refused@b.cn"), QStringLiteral("c@d.cn")},
                                  QStringLiteral("s"), QStringLiteral("b")));
            QCOMPARE(mail.delivered(), 2);
            QCOMPARE(mail.refusedRecipients(), QStringList{QStringLiteral("refused@b.cn")});
            QCOMPARE(mail.failure(), QStringLiteral("550 5.1.1 <refused@b.cn>: mailbox unavailable"));
        }
        QStringList got;
        for (const QJsonObject& m : m_server->messages())
            got.append(m.value(QStringLiteral("rcpt")).toArray().first().toString());
        QCOMPARE(got, (QStringList{QStringLiteral("a@b.cn"), QStringLiteral("c@d.cn")}));
        const QList<QByteArray> lines = m_server->lines();
        const int refused = lines.indexOf("rcpt to:<refused@b.cn>");
        QVERIFY(refused > 0);
        QCOMPARE(lines.mid(refused + 1, 3),
                 (QList<QByteArray>{"RSET", "mail from:<sender@example.com>", "rcpt to:<c@d.cn>"}));
    }

    // The mailbox login the server offers: AUTH PLAIN where aiosmtpd is
    // told (auth_exclude_mechanism) to offer nothing else.
    void plainLoginWhereOnlyPlainIsOffered()
    {
        QVERIFY(m_server->start({QStringLiteral("--plain-only")}));
        {
            Email mail(m_server->settings());
            QVERIFY(!Email::authMechanisms(mail.extensions()).contains(QStringLiteral("LOGIN")));
            QVERIFY2(mail.sendAll({QStringLiteral("a@b.cn")}, QStringLiteral("s"), QStringLiteral("b")),
                     qPrintable(mail.failure()));
        }
        const QList<QByteArray> lines = m_server->lines();
        QCOMPARE(lines.mid(0, 2),
                 (QList<QByteArray>{"EHLO 127.0.0.1",
                                    "AUTH PLAIN " + (QByteArray(1, '\0') + SmtpServer::user() + '\0' + SmtpServer::password()).toBase64()}));
        const QList<QJsonObject> messages = m_server->messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].value(QStringLiteral("authenticated")).toBool());
    }

    void authMechanismsFromExtensions()
    {
        QCOMPARE(Email::authMechanisms({"SIZE 33554432", "8BITMIME", "AUTH LOGIN PLAIN", "HELP"}),
                 (QStringList{"LOGIN", "PLAIN"}));
        // The older "AUTH=" form, lower case, repeated.
        QCOMPARE(Email::authMechanisms({"auth=login", "AUTH CRAM-MD5 LOGIN"}), (QStringList{"LOGIN", "CRAM-MD5"}));
        QCOMPARE(Email::authMechanisms({"AUTHX LOGIN", "STARTTLS"}), QStringList{});
    }

    // "python3 -m aiosmtpd" unchanged offers no AUTH over plain TCP: the
    // sender says so and sends nothing, rather than mail the server would
    // take as unauthenticated or refuse.
    void noLoginOfferedIsRefusedClearly()
    {
        QVERIFY(m_server->startStockCommandLine());
        {
            Email mail(m_server->settings());
            QVERIFY(!mail.extensions().isEmpty()); // it did answer EHLO
            QVERIFY(Email::authMechanisms(mail.extensions()).isEmpty());
            QVERIFY(!mail.sendAll({QStringLiteral("a@b.cn")}, QStringLiteral("s"), QStringLiteral("b")));
            QVERIFY2(mail.failure().contains(QStringLiteral("不提供登录")), qPrintable(mail.failure()));
            QCOMPARE(mail.delivered(), 0);
            // The last thing it heard was EHLO, answered with its extensions.
            QVERIFY(mail.lastReply().contains("250 HELP"));
        }
    }

    // A server from before ESMTP: EHLO refused (500), HELO taken. With an
    // authorisation code there is no way to log in, and the sender says so;
    // without one (a relay of the lab) the mail goes through HELO.
    void heloOnlyServer()
    {
        QVERIFY(m_server->startHeloOnly());
        {
            Email mail(m_server->settings());
            QVERIFY(!mail.sendAll({QStringLiteral("a@b.cn")}, QStringLiteral("s"), QStringLiteral("b")));
            QVERIFY2(mail.failure().contains(QStringLiteral("不提供登录")), qPrintable(mail.failure()));
        }
        QCOMPARE(m_server->lines(), (QList<QByteArray>{"EHLO 127.0.0.1", "HELO 127.0.0.1", "quit"}));
        QVERIFY(m_server->messages().isEmpty());

        QFile::remove(QDir(m_dir->path()).filePath(QStringLiteral("stream.bin")));
        MailSettings relay = m_server->settings();
        relay.authCode.clear();
        {
            Email mail(relay);
            QVERIFY(mail.extensions().isEmpty());
            QVERIFY(!mail.sendAll({QStringLiteral("refused@b.cn"), QStringLiteral("a@b.cn")}, QStringLiteral("s"),
                                  QStringLiteral("b")));
            QCOMPARE(mail.delivered(), 1);
            QCOMPARE(mail.failure(), QStringLiteral("refused@b.cn: 550 no such user"));
        }
        const QList<QByteArray> lines = m_server->lines();
        QCOMPARE(lines.mid(0, 6), (QList<QByteArray>{"EHLO 127.0.0.1", "HELO 127.0.0.1", "mail from:<sender@example.com>",
                                                     "rcpt to:<refused@b.cn>", "RSET", "mail from:<sender@example.com>"}));
        QVERIFY(!m_server->stream().contains("AUTH"));
        const QList<QJsonObject> messages = m_server->messages();
        QCOMPARE(messages.size(), 1);
        QCOMPARE(messages[0].value(QStringLiteral("rcpt")).toArray().first().toString(), QStringLiteral("a@b.cn"));
        QVERIFY(SmtpServer::content(messages[0]).endsWith("\r\n\r\nb\r\n"));
    }

    void replyCodes()
    {
        QCOMPARE(Email::replyCode("250 OK\r\n"), 250);
        QCOMPARE(Email::replyCode("250-first\r\n250-second\r\n250 last\r\n"), 250);
        QCOMPARE(Email::replyCode("250-first\r\n"), 0); // not complete yet
        QCOMPARE(Email::replyCode("550 5.1.1 no\r\n"), 550);
        QCOMPARE(Email::replyCode(""), 0);
        QCOMPARE(Email::replyCode("250\r\n"), 250);
        // Only three digits make a code: toInt() would read these as 25 or -25.
        QCOMPARE(Email::replyCode("+25 OK\r\n"), 0);
        QCOMPARE(Email::replyCode(" 25 OK\r\n"), 0);
        QCOMPARE(Email::replyCode("-25 OK\r\n"), 0);
        // A blank line after a continuation line is no answer.
        QCOMPARE(Email::replyCode("250-first\r\n  \t \r\n"), 0);
    }

    void settingsWithControlCharacters()
    {
        // Escapes in the file unfold to control characters that would end
        // the SMTP command line the host and sender are written into.
        const QString path = m_dir->filePath(QStringLiteral("mail.ini"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[SMTP]\nHost=\"smtp.example.com\\r\\nRCPT TO:<x@example.com>\"\n"
                "Sender=\" alarm\\r\\n@example.com\\t \"\nPort=70000\n");
        f.close();
        const MailSettings s = MailSettings::load(path);
        QVERIFY(s.host.isEmpty()); // not configured: nothing is sent
        QCOMPARE(s.sender, QByteArray("alarm@example.com"));
        QCOMPARE(s.port, quint16(25));
    }

    void recipientLists_data()
    {
        QTest::addColumn<QStringList>("recipients");
        QTest::addColumn<bool>("result");
        QTest::addColumn<QStringList>("delivered");
        // An empty box holds nobody; the addresses after it still get the mail.
        QTest::newRow("empty entry skipped") << QStringList{"a@b.cn", "", "c@d.cn"} << true
                                             << QStringList{"a@b.cn", "c@d.cn"};
        // A mail to nobody is not a mail sent.
        QTest::newRow("empty list") << QStringList{} << false << QStringList{};
        QTest::newRow("two") << QStringList{"a@b.cn", "c@d.cn"} << true
                             << QStringList{"a@b.cn", "c@d.cn"};
        QTest::newRow("nothing stored") << QStringList{""} << false << QStringList{};
    }
    void recipientLists()
    {
        QFETCH(QStringList, recipients);
        QFETCH(bool, result);
        QFETCH(QStringList, delivered);
        QVERIFY(m_server->start());
        {
            Email mail(m_server->settings());
            QCOMPARE(mail.sendAll(recipients, QStringLiteral("s"), QStringLiteral("b")), result);
        }
        QStringList got;
        for (const QJsonObject& m : m_server->messages())
            got.append(m.value(QStringLiteral("rcpt")).toArray().first().toString());
        QCOMPARE(got, delivered);
        // Login and quit happen whatever the list holds.
        const QList<QByteArray> lines = m_server->lines();
        QCOMPARE(lines.mid(0, 4), loginLines("127.0.0.1"));
        QCOMPARE(lines.last(), QByteArray("quit"));
    }

    void offlineSendsNothing()
    {
        QVERIFY(m_server->start());
        Email::setOnlineCheck([] { return false; });
        {
            Email mail(m_server->settings());
            QVERIFY(!mail.sendAll({QStringLiteral("a@b.cn")}, QStringLiteral("s"), QStringLiteral("b")));
        }
        QVERIFY(!m_server->stream().contains("mail from"));
        QVERIFY(m_server->stream().endsWith("quit\r\n"));
    }

    void silentServerNeverHangs()
    {
        QVERIFY(m_server->start({QStringLiteral("--silent")}));
        QElapsedTimer clock;
        clock.start();
        qint64 longest = 0;
        {
            Email mail(m_server->settings());
            longest = clock.elapsed();
            QVERIFY(mail.lastReply().isEmpty());
            for (const char* to : {"a@b.cn", "c@d.cn"}) {
                QElapsedTimer one;
                one.start();
                mail.send(to, QStringLiteral("s"), QStringLiteral("b"));
                longest = qMax(longest, one.elapsed());
                QVERIFY(mail.lastReply().isEmpty());
            }
        }
        // Five read steps to log in, four per message, one for quit.
        QVERIFY2(clock.elapsed() < (5 + 8 + 1) * Email::WaitMs + 3000,
                 qPrintable(QString::number(clock.elapsed())));
        QVERIFY2(longest < 5 * Email::WaitMs + 1500, qPrintable(QString::number(longest)));
    }

    void unreachableServerNeverHangs()
    {
        MailSettings s = m_server->settings();
        {
            // A port that was free a moment ago: nothing listens there now.
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            s.port = probe.serverPort();
        }
        QElapsedTimer clock;
        clock.start();
        {
            Email mail(s);
            // Nothing was sent, and the caller hears so.
            QVERIFY(!mail.sendAll({QStringLiteral("a@b.cn"), QStringLiteral("c@d.cn")},
                                  QStringLiteral("s"), QStringLiteral("b")));
            QVERIFY(!mail.sendAll({}, QStringLiteral("s"), QStringLiteral("b")));
        }
        QVERIFY(clock.elapsed() < 15 * Email::WaitMs);
    }

    void startTlsBeforeLogin()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty())
            ARQ_REQUIRE(false, "openssl");
        const QString cert = m_dir->filePath(QStringLiteral("cert.pem"));
        const QString key = m_dir->filePath(QStringLiteral("key.pem"));
        QProcess openssl;
        openssl.setStandardErrorFile(QProcess::nullDevice());
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                       "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", key,
                       "-out", cert});
        QVERIFY(openssl.waitForFinished(30000));
        QCOMPARE(openssl.exitCode(), 0);
        QVERIFY(m_server->start({QStringLiteral("--tls"), cert, key}));
        MailSettings s = m_server->settings();
        s.startTls = true;
        s.caFile = cert;
        {
            Email mail(s);
            QVERIFY(mail.sendAll({QStringLiteral("a@b.cn")}, QStringLiteral("s"), QStringLiteral("b")));
        }
        // The recorder sees the decrypted stream after the upgrade.
        const QList<QByteArray> lines = m_server->lines();
        QVERIFY(lines.size() > 6);
        QCOMPARE(lines.mid(0, 6),
                 (QList<QByteArray>{"EHLO 127.0.0.1", "STARTTLS", "EHLO 127.0.0.1", "AUTH LOGIN",
                                    SmtpServer::user().toBase64(), SmtpServer::password().toBase64()}));
        const QList<QJsonObject> messages = m_server->messages();
        QCOMPARE(messages.size(), 1);
        QVERIFY(messages[0].value(QStringLiteral("authenticated")).toBool());
    }

    void noLoginWhenUpgradeFails()
    {
        QVERIFY(m_server->start()); // offers no STARTTLS
        MailSettings s = m_server->settings();
        s.startTls = true;
        {
            Email mail(s);
            mail.sendAll({QStringLiteral("a@b.cn")}, QStringLiteral("s"), QStringLiteral("b"));
        }
        const QByteArray stream = m_server->stream();
        QVERIFY(stream.startsWith("EHLO 127.0.0.1\r\nSTARTTLS\r\n"));
        QVERIFY(!stream.contains("AUTH"));
        QVERIFY(!stream.contains(SmtpServer::password().toBase64()));
        QVERIFY(m_server->messages().isEmpty());
    }

    void settingsFile()
    {
        QVERIFY(m_server->start());
        const QString path = m_dir->filePath(QStringLiteral("mail.ini"));
        m_server->writeMailIni(path);
        const MailSettings s = MailSettings::load(path);
        QCOMPARE(s.host, QStringLiteral("127.0.0.1"));
        QCOMPARE(s.port, m_server->port());
        QCOMPARE(s.sender, SmtpServer::user());
        QCOMPARE(s.authCode, SmtpServer::password());
        QCOMPARE(s.displayName, QStringLiteral("报警器"));
        QVERIFY(!s.startTls);
        // The shipped example parses and carries placeholders only.
        const MailSettings example = MailSettings::load(TestSupport::sourcePath(QStringLiteral("resources/mail.example.ini")));
        QCOMPARE(example.port, quint16(25));
        QVERIFY(example.host.endsWith(QStringLiteral("example.com")));
    }

private:
    QScopedPointer<QTemporaryDir> m_dir;
    QScopedPointer<SmtpServer> m_server;
};

QTEST_GUILESS_MAIN(EmailTest)
#include "tst_email.moc"
