#include "Email.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QNetworkConfigurationManager>
#include <QRegularExpression>
#include <QSettings>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTcpSocket>

#include <algorithm>
#include <mutex>

namespace {

std::mutex& onlineMutex()
{
    static std::mutex mutex;
    return mutex;
}

Email::OnlineCheck& onlineCheck()
{
    static Email::OnlineCheck check;
    return check;
}

bool platformOnline()
{
    // The bearer API is deprecated in Qt 5.15 but is still the platform's
    // own answer to "is this machine online".
    QT_WARNING_PUSH
    QT_WARNING_DISABLE_DEPRECATED
    QNetworkConfigurationManager manager;
    return manager.isOnline();
    QT_WARNING_POP
}

bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The sender goes on the wire inside "mail from:<...>" and the from: header;
// a control character (an escaped "\r\n" in the file) would end that line.
QByteArray withoutControls(const QByteArray& text)
{
    QByteArray out;
    for (const char c : text) {
        if (!isControl(c))
            out += c;
    }
    return out;
}

// The reply's last CRLF-terminated line (with its CRLF).
QByteArray lastLine(const QByteArray& reply)
{
    const int previous = reply.lastIndexOf("\r\n", reply.size() - 3);
    return reply.mid(previous < 0 ? 0 : previous + 2);
}

// True once the text ends with the last line of a reply ("250 ...\r\n",
// not "250-...").
bool isCompleteReply(const QByteArray& reply)
{
    if (!reply.endsWith("\r\n"))
        return false;
    const QByteArray last = lastLine(reply);
    return last.size() >= 5 && (last[3] == ' ' || last[3] == '\r');
}

// The three digits a reply line starts with, 0 when it starts otherwise
// (toInt() would also take "+25", " 25" or "-25").
int lineCode(const QByteArray& line)
{
    if (line.size() < 3 || !isDigit(line[0]) || !isDigit(line[1]) || !isDigit(line[2]))
        return 0;
    return (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
}

} // namespace

// --- settings -----------------------------------------------------------------

QString MailSettings::fileName() { return QStringLiteral("mail.ini"); }

MailSettings MailSettings::load(const QString& path)
{
    MailSettings s;
    QSettings ini(path, QSettings::IniFormat);
    ini.setIniCodec("UTF-8");
    ini.beginGroup(QStringLiteral("SMTP"));
    s.host = ini.value(QStringLiteral("Host")).toString().trimmed();
    // The host also goes on the wire in "HELO <host>": one with a control
    // character (an escaped line break) is no host name and is not used.
    const QByteArray host = s.host.toUtf8();
    if (std::any_of(host.begin(), host.end(), isControl)) {
        qWarning().noquote() << "Mail server name with control characters ignored in" << path;
        s.host.clear();
    }
    const int port = ini.value(QStringLiteral("Port"), 25).toInt();
    s.port = (port > 0 && port < 65536) ? quint16(port) : quint16(25);
    s.sender = withoutControls(ini.value(QStringLiteral("Sender")).toString().toUtf8()).trimmed();
    s.authCode = ini.value(QStringLiteral("AuthCode")).toString().trimmed().toUtf8();
    s.displayName = ini.value(QStringLiteral("DisplayName")).toString();
    s.startTls = ini.value(QStringLiteral("StartTls"), false).toBool();
    s.caFile = ini.value(QStringLiteral("CaFile")).toString();
    ini.endGroup();
    if (s.host.isEmpty())
        qWarning().noquote() << "Mail server not configured in" << path;
    return s;
}

// --- dialogue -------------------------------------------------------------------

Email::Email() : Email(MailSettings::load()) {}

Email::Email(const MailSettings& settings) : m_settings(settings)
{
    m_sender = settings.sender;
    m_authCode = settings.authCode;
    if (settings.startTls)
        m_socket = new QSslSocket;
    else
        m_socket = new QTcpSocket;
    start();
}

Email::~Email()
{
    // Said after a refusal too: the server may close its side at once.
    write("quit\r\n");
    readStep();
    delete m_socket;
}

int Email::replyCode(const QByteArray& reply)
{
    // The code is the final line's: a blank line after "250-..." does not
    // make an earlier continuation line the answer.
    return isCompleteReply(reply) ? lineCode(lastLine(reply)) : 0;
}

QString Email::failure() const
{
    if (!m_failure.isEmpty() || m_refusals.isEmpty())
        return m_failure;
    return m_refusals.join(QStringLiteral("; "));
}

void Email::fail(const QString& reason)
{
    if (!m_ok)
        return;
    m_ok = false;
    m_failure = reason;
    // The server's text only: what we wrote may hold the login.
    qWarning().noquote() << "SMTP dialogue stopped:" << reason;
}

bool Email::expect(int first, int last)
{
    readStep();
    if (!m_ok)
        return false;
    const int code = replyCode(m_reply);
    if (code >= first && code <= (last ? last : first))
        return true;
    fail(code ? QString::fromUtf8(m_reply).trimmed() : QStringLiteral("no answer from %1").arg(m_settings.host));
    return false;
}

void Email::start()
{
    m_socket->connectToHost(m_settings.host, m_settings.port, QIODevice::ReadWrite,
                            QAbstractSocket::AnyIPProtocol);
    if (!m_socket->waitForConnected(WaitMs)) {
        fail(QStringLiteral("server %1 not reachable").arg(m_settings.host));
        return;
    }
    if (!expect(220)) // greeting
        return;
    if (!greet())
        return;
    if (m_settings.startTls && !upgradeToTls()) {
        // Never let the login go out in clear text when encryption was asked for.
        fail(m_failure.isEmpty() ? QStringLiteral("STARTTLS failed") : m_failure);
        qWarning().noquote() << "SMTP STARTTLS failed; mail dialogue abandoned";
        m_socket->abort();
        return;
    }
    login();
}

bool Email::greet()
{
    // RFC 5321 4.1.4: greet with EHLO; a server that does not know it
    // (500, 502, or another 5xx refusal) is greeted with HELO and offers
    // no extensions.
    const QByteArray host = m_settings.host.toUtf8();
    m_extensions.clear();
    write("EHLO " + host + "\r\n");
    readStep();
    if (!m_ok)
        return false;
    const int code = replyCode(m_reply);
    if (code == 250) {
        const QList<QByteArray> lines = m_reply.split('\n');
        // The first line names the server; every further one is an extension.
        for (int i = 1; i < lines.size(); ++i) {
            const QByteArray line = lines.at(i).trimmed();
            if (line.size() > 4)
                m_extensions << QString::fromUtf8(line.mid(4)).trimmed().toUpper();
        }
        return true;
    }
    if (code < 500 || code > 599) {
        fail(code ? QString::fromUtf8(m_reply).trimmed() : QStringLiteral("no answer from %1").arg(m_settings.host));
        return false;
    }
    qInfo().noquote() << "SMTP server refused EHLO; greeting with HELO";
    write("HELO " + host + "\r\n");
    return expect(250);
}

QStringList Email::authMechanisms(const QStringList& extensions)
{
    static const QRegularExpression separator(QStringLiteral("[\\s=]+"));
    QStringList out;
    for (const QString& extension : extensions) {
        // "AUTH LOGIN PLAIN", and the older "AUTH=LOGIN" some servers still send.
        QStringList words = extension.toUpper().split(separator, Qt::SkipEmptyParts);
        if (words.isEmpty() || words.takeFirst() != QLatin1String("AUTH"))
            continue;
        for (const QString& w : qAsConst(words))
            if (!out.contains(w))
                out << w;
    }
    return out;
}

bool Email::login()
{
    // No authorisation code configured: a relay of the lab that takes mail
    // without a login.
    if (m_authCode.isEmpty()) {
        qInfo().noquote() << "SMTP: no authorisation code configured, sending without login";
        return true;
    }
    const QStringList offered = authMechanisms(m_extensions);
    if (offered.contains(QLatin1String("LOGIN"))) {
        write("AUTH LOGIN\r\n");
        if (!expect(334))
            return false;
        write(m_sender.toBase64() + "\r\n");
        if (!expect(334))
            return false;
        write(m_authCode.toBase64() + "\r\n");
        return expect(235);
    }
    if (offered.contains(QLatin1String("PLAIN"))) {
        // RFC 4616: no authorisation identity, then the login and the code.
        write("AUTH PLAIN " + (QByteArray(1, '\0') + m_sender + QByteArray(1, '\0') + m_authCode).toBase64()
              + "\r\n");
        return expect(235);
    }
    // Nothing to log in with: say so rather than send mail the server would
    // refuse as unauthenticated, or send the code some other way.
    if (offered.isEmpty())
        fail(QCoreApplication::translate("Email", "邮件服务器%1不提供登录（AUTH），无法以发件邮箱登录")
                 .arg(m_settings.host));
    else
        fail(QCoreApplication::translate("Email", "邮件服务器%1只提供%2登录，本程序只支持LOGIN和PLAIN")
                 .arg(m_settings.host, offered.join(QLatin1Char(' '))));
    return false;
}

bool Email::upgradeToTls()
{
    auto* ssl = static_cast<QSslSocket*>(m_socket);
    write("STARTTLS\r\n");
    if (!expect(220))
        return false;
    if (!m_settings.caFile.isEmpty()) {
        QSslConfiguration config = ssl->sslConfiguration();
        QList<QSslCertificate> cas = config.caCertificates();
        cas += QSslCertificate::fromPath(m_settings.caFile);
        config.setCaCertificates(cas);
        ssl->setSslConfiguration(config);
    }
    ssl->startClientEncryption();
    if (!ssl->waitForEncrypted(WaitMs)) {
        const auto errors = ssl->sslHandshakeErrors();
        for (const QSslError& e : errors)
            qWarning().noquote() << "SMTP TLS:" << e.errorString();
        return false;
    }
    // The server forgets what it announced before the upgrade.
    return greet();
}

void Email::write(const QByteArray& data)
{
    // Nothing to write to when the server was never reached or the dialogue was abandoned.
    if (m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_socket->write(data);
    m_socket->flush();
}

void Email::readStep()
{
    // Up to WaitMs for the reply; a multi-line reply that arrives in pieces
    // is collected up to its last line within the same bound, so the next
    // step does not read the tail of this one.
    m_reply.clear();
    QElapsedTimer clock;
    clock.start();
    while (m_socket->isOpen()) {
        m_reply += m_socket->readAll();
        if (isCompleteReply(m_reply))
            break;
        const qint64 left = WaitMs - clock.elapsed();
        if (left <= 0 || m_socket->state() == QAbstractSocket::UnconnectedState
            || !m_socket->waitForReadyRead(int(left)))
            break;
    }
    m_reply += m_socket->isOpen() ? m_socket->readAll() : QByteArray();
    qDebug().noquote() << "SMTP reply:" << QString::fromUtf8(m_reply).trimmed();
}

bool Email::send(QByteArray recipient, QString subject, QString body)
{
    if (!acceptableRecipient(recipient)) {
        // Quoted output escapes the control characters that made it unsafe.
        qWarning() << "Mail recipient refused:" << QString::fromUtf8(recipient);
        return false;
    }
    if (!m_ok)
        return false;
    write("mail from:<" + m_sender + ">\r\n");
    if (!expect(250))
        return false;
    write("rcpt to:<" + recipient + ">\r\n");
    readStep();
    const int code = replyCode(m_reply);
    if (code == 250 || code == 251) {
        // taken: on to the message
    } else if (code >= 400 && code <= 599) {
        // This mailbox is refused, the server is not: reset the transaction
        // and let the next recipient still hear of the alarm.
        const QString address = QString::fromUtf8(recipient);
        const QString reply = QString::fromUtf8(m_reply).trimmed();
        m_refused << address;
        m_refusals << (reply.contains(address, Qt::CaseInsensitive) ? reply : address + QStringLiteral(": ") + reply);
        qWarning().noquote() << "SMTP recipient refused:" << reply;
        write("RSET\r\n");
        expect(250);
        return false;
    } else {
        fail(code ? QString::fromUtf8(m_reply).trimmed() : QStringLiteral("no answer from %1").arg(m_settings.host));
        return false;
    }
    write("data\r\n");
    if (!expect(354))
        return false;
    write("from:" + headerValue(m_settings.displayName).toUtf8() + "<" + m_sender + ">\r\n");
    write("to:" + recipient + "\r\n");
    write("subject:" + headerValue(subject).toUtf8() + "\r\n");
    write("\r\n");
    write(wireBody(body));
    write(".\r\n");
    if (!expect(250))
        return false;
    ++m_delivered;
    return true;
}

bool Email::sendAll(QStringList recipients, QString subject, QString body)
{
    if (!isOnline()) {
        qWarning().noquote() << "Machine offline; no mail sent";
        return false;
    }
    // A server that never answered the connection cannot have taken a mail;
    // saying "sent" then would hide the failure from the user.
    if (!recipients.isEmpty() && m_socket->state() != QAbstractSocket::ConnectedState) {
        qWarning().noquote() << "SMTP server" << m_settings.host << "not reachable; no mail sent";
        return false;
    }
    bool ok = true;
    int tried = 0;
    for (const QString& recipient : recipients) {
        // An empty address box holds nobody; the boxes after it still count.
        if (recipient.isEmpty())
            continue;
        ++tried;
        const QByteArray address = recipient.toUtf8();
        if (!acceptableRecipient(address)) {
            // Skip it but let the others still hear of the alarm.
            qWarning() << "Mail recipient refused:" << recipient;
            ok = false;
            continue;
        }
        ok = send(address, subject, body) && ok;
    }
    if (tried == 0) {
        // A mail to nobody was not sent.
        qWarning().noquote() << "No mail recipient; nothing sent";
        m_failure = QStringLiteral("no recipient");
        return false;
    }
    return ok;
}

// --- message text ---------------------------------------------------------------

QByteArray Email::wireBody(const QString& body)
{
    QString text = body;
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines) {
        if (line.startsWith(QLatin1Char('.')))
            line.prepend(QLatin1Char('.'));
    }
    return lines.join(QLatin1String("\r\n")).toUtf8() + "\r\n";
}

QString Email::headerValue(const QString& text)
{
    static const QRegularExpression breaks(QStringLiteral("[\\r\\n]+"));
    QString out = text;
    out.replace(breaks, QStringLiteral(" "));
    return out;
}

bool Email::acceptableRecipient(const QByteArray& recipient)
{
    if (recipient.isEmpty())
        return false;
    for (const char c : recipient) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return false;
    }
    return true;
}

void Email::setOnlineCheck(OnlineCheck check)
{
    std::lock_guard<std::mutex> lock(onlineMutex());
    onlineCheck() = std::move(check);
}

bool Email::isOnline()
{
    OnlineCheck check;
    {
        std::lock_guard<std::mutex> lock(onlineMutex());
        check = onlineCheck();
    }
    return check ? check() : platformOnline();
}
