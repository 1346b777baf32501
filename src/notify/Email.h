#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

class QTcpSocket;

// Where and as whom alarm mail is sent. Kept in "mail.ini" in the working
// directory (section [SMTP]) so that no mailbox credential lives in the
// program or its repository.
struct MailSettings
{
    QString host;
    quint16 port = 25;
    QByteArray sender;      // the sending mailbox, also the login name
    QByteArray authCode;    // the mailbox's SMTP authorisation code
    QString displayName;    // shown before the sender in the "from:" line
    bool startTls = false;  // upgrade the connection before logging in
    QString caFile;         // extra trusted CA certificates (PEM) for STARTTLS

    static QString fileName(); // "mail.ini"
    // Missing keys keep their defaults; a missing file gives an empty host.
    static MailSettings load(const QString& path = fileName());
};

// A minimal synchronous SMTP client: the constructor connects, greets with
// EHLO (HELO when the server refuses EHLO, RFC 5321 4.1.4), upgrades with
// STARTTLS when asked to, and logs in with AUTH LOGIN, or AUTH PLAIN where
// the server offers only that; send() writes one message, the destructor
// says quit. A server that offers neither login is refused before anything
// is sent (with an empty AuthCode no login is tried: a relay of the lab).
// Every reply is read with a 1000 ms bound and judged by its code. A refused
// recipient is reset (RSET) and the next one still gets the mail; any other
// refusal (4xx, 5xx, or no answer) ends the dialogue, and from then on
// nothing counts as sent. Blocks the calling thread; create, use and destroy
// it on one thread.
class Email
{
public:
    Email(); // settings from MailSettings::load()
    explicit Email(const MailSettings& settings);
    ~Email();
    Email(const Email&) = delete;
    Email& operator=(const Email&) = delete;

    // True when the server took the message.
    bool send(QByteArray recipient, QString subject, QString body);
    // False when offline, when there is no recipient, when one had to be
    // refused, or when the server refused any step; empty entries are skipped.
    bool sendAll(QStringList recipients, QString subject, QString body);

    QByteArray lastReply() const { return m_reply; }
    // Why the dialogue stopped (the server's own text where it refused), or,
    // when it went on, the refusal of each refused recipient (its address
    // added where the server's text does not name it), joined by "; ";
    // empty while all went well.
    QString failure() const;
    // Recipients the server refused (RCPT answered 4xx or 5xx), in order.
    QStringList refusedRecipients() const { return m_refused; }
    // Messages the server took.
    int delivered() const { return m_delivered; }
    // The extensions the server announced in its last EHLO reply (upper-case
    // keyword with its parameters, "AUTH LOGIN PLAIN"); empty after HELO.
    QStringList extensions() const { return m_extensions; }
    // The login mechanisms offered in an EHLO reply's extensions.
    static QStringList authMechanisms(const QStringList& extensions);
    // The code of a complete reply (the last line's), 0 when there is none.
    static int replyCode(const QByteArray& reply);

    // --- message text, as it goes on the wire ---
    // Every line ends in CRLF; lines starting with "." are dot-stuffed.
    static QByteArray wireBody(const QString& body);
    // Line breaks folded to one blank so a header value stays one line.
    static QString headerValue(const QString& text);
    // A recipient is refused when empty or when it holds a control character
    // (CR or LF would start another command or header).
    static bool acceptableRecipient(const QByteArray& recipient);

    // The online check; tests replace it, an empty function restores the
    // platform's network configuration service.
    using OnlineCheck = std::function<bool()>;
    static void setOnlineCheck(OnlineCheck check);
    static bool isOnline();

    static constexpr int WaitMs = 1000;

private:
    void start();
    // EHLO, or HELO after a refused EHLO; fills the extensions.
    bool greet();
    bool login();
    bool upgradeToTls();
    void write(const QByteArray& data);
    void readStep();
    // Reads the reply and checks its code against the one expected; a
    // refusal ends the dialogue.
    bool expect(int first, int last = 0);
    void fail(const QString& reason);

    MailSettings m_settings;
    QByteArray m_sender;
    QByteArray m_authCode;
    QByteArray m_reply;
    QString m_failure;
    QStringList m_extensions;
    QStringList m_refused;
    QStringList m_refusals; // the server's words for each refused recipient
    int m_delivered = 0;
    bool m_ok = true; // no refusal so far
    QTcpSocket* m_socket = nullptr;
};
