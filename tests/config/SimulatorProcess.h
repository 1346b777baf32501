#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>

// The simulated 3107A logger (tools/simulator) as a child process on a free
// TCP port of 127.0.0.1.
class SimulatorProcess
{
public:
    // Starts it and waits for its "LISTEN tcp HOST:PORT" line (and with
    // "--pty" among the options its "LISTEN pty PATH" line); false when it
    // does not come.
    bool start(const QString& program, const QStringList& options)
    {
        m_Process.setProgram(program);
        m_Process.setArguments(QStringList{"--tcp", "127.0.0.1:0"} + options);
        m_Process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_Process.start();
        if (!m_Process.waitForStarted(5000))
            return false;
        const QRegularExpression listen(QStringLiteral("^LISTEN tcp ([0-9.]+):(\\d+)"));
        const bool pty = options.contains(QStringLiteral("--pty"));
        QElapsedTimer clock;
        clock.start();
        while ((m_Port == 0 || (pty && m_Pty.isEmpty())) && clock.elapsed() < 10000) {
            if (!m_Process.canReadLine() && !m_Process.waitForReadyRead(200))
                continue;
            const QString line = QString::fromLocal8Bit(m_Process.readLine()).trimmed();
            const QRegularExpressionMatch m = listen.match(line);
            if (m.hasMatch())
                m_Port = static_cast<quint16>(m.captured(2).toUInt());
            if (line.startsWith(QStringLiteral("LISTEN pty ")))
                m_Pty = line.mid(11);
        }
        return m_Port != 0 && (!pty || !m_Pty.isEmpty());
    }

    void stop()
    {
        if (m_Process.state() == QProcess::NotRunning)
            return;
        m_Process.write("quit\n");
        if (!m_Process.waitForFinished(3000)) {
            m_Process.kill();
            m_Process.waitForFinished(3000);
        }
    }

    ~SimulatorProcess() { stop(); }

    quint16 port() const { return m_Port; }
    QString pty() const { return m_Pty; }

private:
    QProcess m_Process;
    quint16 m_Port = 0;
    QString m_Pty;
};
