// The mail sender's reading of server replies: the reply-code parser alone,
// and whole SMTP dialogues against a scripted server on the loopback.
//
// Input: one control byte, then bytes. Control bit 0 clear: the bytes are
// one reply for Email::replyCode. Set: the bytes are the server's replies,
// separated by NUL bytes; bit 1 adds a second recipient. The server sends the
// first reply on connection and each next one when a command line (or a
// message ending in ".") has arrived; a reply without its last line is
// followed at once by the next, as a server's pieces would be. When the
// replies run out the server closes the connection.
// Code checks: a code comes only from a reply ending in CRLF whose last line
// starts with three digits and a blank or the line end, and is those digits.
// Dialogue checks: the client never sends anything but "quit" after a reply
// the script meant as a refusal or a reply it judged incomplete, except
// "HELO" after a refused EHLO (RFC 5321 4.1.4) and "RSET" after a refused
// recipient (the next recipient is tried); mail counts as sent only when the
// server answered the final "." of every message with 250, and the client's
// count of delivered messages is the server's.

#include "Email.h"

#include <QCoreApplication>
#include <QList>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace {

int g_listener = -1;
quint16 g_port = 0;

void check(bool condition)
{
    if (!condition)
        std::abort();
}

void quiet(QtMsgType, const QMessageLogContext&, const QString&) {}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// The code a protocol-conforming reader takes from a reply, 0 for none.
int expectedCode(const QByteArray& reply)
{
    if (!reply.endsWith("\r\n"))
        return 0;
    const int previous = reply.lastIndexOf("\r\n", reply.size() - 3);
    const QByteArray last = reply.mid(previous < 0 ? 0 : previous + 2);
    if (last.size() < 5 || !isDigit(last[0]) || !isDigit(last[1]) || !isDigit(last[2]))
        return 0;
    if (last[3] != ' ' && last[3] != '\r')
        return 0;
    return last.left(3).toInt();
}

void codes(const QByteArray& reply)
{
    const int code = Email::replyCode(reply);
    check(code == expectedCode(reply));
}

// What the scripted server saw.
struct Transcript
{
    QList<QByteArray> commands;   // each command line, or a whole message ending in "."
    int acceptedMessages = 0;     // messages answered with a 250 reply
    int commandsAfterRefusal = 0; // commands other than quit after a refusal
};

bool sendAll(int fd, const QByteArray& bytes)
{
    qint64 sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.constData() + sent, size_t(bytes.size() - sent), MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += n;
    }
    return true;
}

// Reads one command: a line, or in the message phase everything up to the
// line ".". Empty when the client closed the connection.
QByteArray readCommand(int fd, QByteArray& pending, bool message)
{
    for (;;) {
        const int end = message ? (pending.startsWith(".\r\n") ? 0 : pending.indexOf("\r\n.\r\n"))
                                : pending.indexOf('\n');
        if (end >= 0) {
            const int length = message ? end + (end == 0 ? 3 : 5) : end + 1;
            const QByteArray command = pending.left(length);
            pending.remove(0, length);
            return command;
        }
        char buffer[4096];
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0)
            return {};
        pending.append(buffer, int(n));
    }
}

void serve(const QList<QByteArray>& replies, Transcript& t)
{
    const int fd = ::accept(g_listener, nullptr, nullptr);
    if (fd < 0)
        return;
    timeval limit{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    QByteArray pending;
    bool message = false;
    bool refused = false;
    int next = 0;
    // Sends replies until one is complete; returns the code of that one.
    auto answer = [&]() {
        QByteArray sent;
        int code = 0;
        while (next < replies.size()) {
            sent += replies.at(next++);
            code = expectedCode(sent);
            if (code)
                break;
        }
        if (!sent.isEmpty() && !sendAll(fd, sent))
            return -1;
        return code;
    };
    int code = answer();
    if (code < 200 || code >= 400)
        refused = true;
    QByteArray allowed; // the one command a refusal may be followed by
    while (next < replies.size()) {
        const QByteArray command = readCommand(fd, pending, message);
        if (command.isEmpty())
            break;
        t.commands.append(command);
        const QByteArray verb = message ? QByteArray() : command.trimmed().toLower().split(' ').first();
        const bool quit = verb == "quit";
        if (refused && !quit) {
            if (!allowed.isEmpty() && verb == allowed)
                refused = false; // judged by its own reply below
            else
                ++t.commandsAfterRefusal;
        }
        allowed.clear();
        const bool wasMessage = message;
        message = false;
        code = answer();
        if (code < 0)
            break;
        if (code < 200 || code >= 400) {
            refused = true;
            if (verb == "ehlo" && code >= 500 && code <= 599)
                allowed = "helo";
            else if (verb == "rcpt" && code >= 400 && code <= 599)
                allowed = "rset";
        }
        if (wasMessage && code == 250)
            ++t.acceptedMessages;
        if (!wasMessage && verb == "data" && code == 354)
            message = true;
    }
    // Whatever the client still says after the script ends.
    ::shutdown(fd, SHUT_WR);
    for (;;) {
        const QByteArray command = readCommand(fd, pending, message);
        if (command.isEmpty())
            break;
        t.commands.append(command);
        const QByteArray verb = message ? QByteArray() : command.trimmed().toLower().split(' ').first();
        // The one command a refusal allows gets no answer any more: the
        // client times out on it and may only quit.
        if (refused && verb != "quit" && !(!allowed.isEmpty() && verb == allowed))
            ++t.commandsAfterRefusal;
        allowed.clear();
        message = false;
    }
    ::close(fd);
}

void dialogue(const QByteArray& script, bool twoRecipients)
{
    QList<QByteArray> replies = script.split('\0');
    if (replies.size() > 16)
        return; // a dialogue has at most a dozen steps
    Transcript t;
    std::thread server(serve, replies, std::ref(t));
    bool sent = false;
    int delivered = 0;
    {
        MailSettings settings;
        settings.host = QStringLiteral("127.0.0.1");
        settings.port = g_port;
        settings.sender = "alarm@lab.example";
        settings.authCode = "secret";
        Email email(settings);
        QStringList to{QStringLiteral("a@lab.example")};
        if (twoRecipients)
            to << QStringLiteral("b@lab.example");
        sent = email.sendAll(to, QStringLiteral("alarm"), QStringLiteral("channel 1 high"));
        if (sent)
            check(email.failure().isEmpty());
        delivered = email.delivered();
    }
    server.join();
    if (std::getenv("ARQ_FUZZ_VERBOSE")) {
        std::fprintf(stderr, "sent=%d accepted=%d commands=%d after-refusal=%d\n", int(sent), t.acceptedMessages,
                     int(t.commands.size()), t.commandsAfterRefusal);
        for (const QByteArray& command : qAsConst(t.commands))
            std::fprintf(stderr, "  > %s\n", command.trimmed().constData());
    }
    check(t.commandsAfterRefusal == 0);
    check(delivered == t.acceptedMessages);
    if (sent)
        check(t.acceptedMessages == (twoRecipients ? 2 : 1));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    static QCoreApplication app(*argc, *argv);
    qInstallMessageHandler(quiet);
    Email::setOnlineCheck([] { return true; });
    g_listener = ::socket(AF_INET, SOCK_STREAM, 0);
    check(g_listener >= 0);
    const int yes = 1;
    ::setsockopt(g_listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    check(::bind(g_listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    check(::listen(g_listener, 4) == 0);
    // The server thread never waits forever for a client that did not come.
    timeval limit{5, 0};
    ::setsockopt(g_listener, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    socklen_t length = sizeof address;
    check(::getsockname(g_listener, reinterpret_cast<sockaddr*>(&address), &length) == 0);
    g_port = ntohs(address.sin_port);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), static_cast<int>(size - 1));
    if (data[0] & 1)
        dialogue(bytes, data[0] & 2);
    else
        codes(bytes);
    return 0;
}
