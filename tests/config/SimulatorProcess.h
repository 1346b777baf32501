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
    // Starts it and waits for its "LISTEN tcp HOST:PORT" line; false when it
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
        QElapsedTimer clock;
        clock.start();
        while (m_Port == 0 && clock.elapsed() < 10000) {
            if (!m_Process.canReadLine() && !m_Process.waitForReadyRead(200))
                continue;
            const QRegularExpressionMatch m = listen.match(QString::fromLocal8Bit(m_Process.readLine()).trimmed());
            if (m.hasMatch())
                m_Port = static_cast<quint16>(m.captured(2).toUInt());
        }
        return m_Port != 0;
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

private:
    QProcess m_Process;
    quint16 m_Port = 0;
};
