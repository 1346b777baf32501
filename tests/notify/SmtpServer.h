#pragma once

// A real SMTP server (aiosmtpd) on loopback for the mail tests. It records
// the raw client stream and every accepted message in its directory.

#include "Email.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSettings>
#include <QTcpServer>

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

    // extra: "--silent" or "--tls", cert, key
    bool start(const QStringList& extra = {})
    {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0))
            return false;
        m_port = probe.serverPort();
        probe.close();
        const QString script = QString::fromLocal8Bit(qgetenv("ARQ_SOURCE_DIR"))
                               + QStringLiteral("/tests/notify/smtp_recorder.py");
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        QStringList{script, QString::number(m_port), m_dir} + extra);
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
    QString m_dir;
    quint16 m_port = 0;
    QProcess m_process;
};
