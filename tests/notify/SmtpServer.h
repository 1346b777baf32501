#pragma once

// Real SMTP servers on loopback for the mail tests: aiosmtpd as it ships
// (through a recording script, or its own command line), and a HELO-only
// server. The scripts record the raw client stream and every accepted
// message in the directory.

#include "Email.h"

#include <QByteArray>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

class SmtpServer
{
public:
    static QByteArray user() { return "sender@example.com"; }
    static QByteArray password() { return "abcdefghijklmnop"; }

    // False when the Debian package python3-aiosmtpd is not installed.
    static bool available()
    {
        static const bool ok = QProcess::execute(QStringLiteral("/usr/bin/python3"),
                                                 {QStringLiteral("-c"), QStringLiteral("import aiosmtpd")}) == 0;
        return ok;
    }

    explicit SmtpServer(const QString& directory) : m_dir(directory) {}
    ~SmtpServer() { stop(); }

    // The recorder (aiosmtpd as it ships, see smtp_recorder.py); extra:
    // "--silent", "--plain-only" or "--tls", cert, key.
    bool start(const QStringList& extra = {})
    {
        return startScript(QStringLiteral("smtp_recorder.py"), extra);
    }
    // A server that knows HELO only and refuses EHLO (helo_server.py).
    bool startHeloOnly() { return startScript(QStringLiteral("helo_server.py"), {}); }
    // "python3 -m aiosmtpd" itself, untouched: plain TCP, no TLS, so it
    // offers no AUTH at all (its default requires TLS for AUTH). It records
    // nothing; the test sees its replies through the client.
    bool startStockCommandLine()
    {
        if (!pickPort())
            return false;
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral("-m"), QStringLiteral("aiosmtpd"), QStringLiteral("-n"),
                         QStringLiteral("-c"), QStringLiteral("aiosmtpd.handlers.Sink"), QStringLiteral("-l"),
                         QStringLiteral("127.0.0.1:%1").arg(m_port)});
        if (!m_process.waitForStarted(5000))
            return false;
        // It prints nothing when ready: wait until it takes a connection.
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 15000) {
            QTcpSocket probe;
            probe.connectToHost(QHostAddress::LocalHost, m_port);
            if (probe.waitForConnected(200) && probe.waitForReadyRead(2000)) {
                probe.write("QUIT\r\n");
                probe.waitForBytesWritten(500);
                return true;
            }
            QThread::msleep(100);
        }
        return false;
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    quint16 port() const { return m_port; }

    MailSettings settings() const
    {
        MailSettings s;
        s.host = QStringLiteral("127.0.0.1");
        s.port = m_port;
        s.sender = user();
        s.authCode = password();
        s.displayName = QStringLiteral("报警器");
        return s;
    }

    // The file the program reads in its working directory.
    void writeMailIni(const QString& path) const
    {
        QSettings ini(path, QSettings::IniFormat);
        ini.setIniCodec("UTF-8");
        ini.beginGroup(QStringLiteral("SMTP"));
        ini.setValue(QStringLiteral("Host"), QStringLiteral("127.0.0.1"));
        ini.setValue(QStringLiteral("Port"), m_port);
        ini.setValue(QStringLiteral("Sender"), QString::fromLatin1(user()));
        ini.setValue(QStringLiteral("AuthCode"), QString::fromLatin1(password()));
        ini.setValue(QStringLiteral("DisplayName"), QStringLiteral("报警器"));
        ini.endGroup();
        ini.sync();
    }

    QByteArray stream() const
    {
        QFile f(QDir(m_dir).filePath(QStringLiteral("stream.bin")));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    // The client's lines as sent (CRLF-separated), without the final empty piece.
    QList<QByteArray> lines() const
    {
        QByteArray s = stream();
        QList<QByteArray> out;
        int from = 0;
        for (int at; (at = s.indexOf("\r\n", from)) >= 0; from = at + 2)
            out.append(s.mid(from, at - from));
        if (from < s.size())
            out.append(s.mid(from));
        return out;
    }

    QList<QJsonObject> messages() const
    {
        QList<QJsonObject> out;
        QFile f(QDir(m_dir).filePath(QStringLiteral("messages.jsonl")));
        if (!f.open(QIODevice::ReadOnly))
            return out;
        const QList<QByteArray> rows = f.readAll().split('\n');
        for (const QByteArray& row : rows) {
            if (!row.trimmed().isEmpty())
                out.append(QJsonDocument::fromJson(row).object());
        }
        return out;
    }

    static QByteArray content(const QJsonObject& message)
    {
        return QByteArray::fromBase64(message.value(QStringLiteral("content")).toString().toLatin1());
    }

private:
    bool pickPort()
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0))
            return false;
        m_port = probe.serverPort();
        return true;
    }

    bool startScript(const QString& name, const QStringList& extra)
    {
        if (!pickPort())
            return false;
        const QString script = QString::fromLocal8Bit(qgetenv("ARQ_SOURCE_DIR")) + QStringLiteral("/tests/notify/")
                               + name;
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("/usr/bin/python3"), QStringList{script, QString::number(m_port), m_dir} + extra);
        if (!m_process.waitForStarted(5000))
            return false;
        QByteArray out;
        while (!out.contains("ready")) {
            if (!m_process.waitForReadyRead(10000))
                return false;
            out += m_process.readAllStandardOutput();
        }
        return true;
    }

    QString m_dir;
    quint16 m_port = 0;
    QProcess m_process;
};
