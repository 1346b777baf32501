#pragma once

// The built arq-simulator as a child process of a test, driven through its
// console. Tests define ARQ_SIMULATOR_PATH.

#include <QElapsedTimer>
#include <QProcess>
#include <QStringList>

class Simulator
{
public:
    ~Simulator()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.write("quit\n");
            if (!m_process.waitForFinished(3000)) {
                m_process.kill();
                m_process.waitForFinished(3000);
            }
        }
    }

    // Starts the simulator and collects its LISTEN lines.
    bool start(const QStringList& args, int endpoints)
    {
        m_process.setProgram(QStringLiteral(ARQ_SIMULATOR_PATH));
        // The simulator ends with the test even if the test dies first.
        m_process.setArguments(QStringList{QStringLiteral("--exit-on-eof")} + args);
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start();
        if (!m_process.waitForStarted(5000))
            return false;
        while (listen.size() < endpoints) {
            const QString line = nextLine(5000);
            if (line.isNull())
                return false;
            if (line.startsWith(QLatin1String("LISTEN ")))
                listen << line;
        }
        return true;
    }

    quint16 tcpPort(int i = 0) const
    {
        const QStringList tcp = listen.filter(QStringLiteral("LISTEN tcp "));
        return quint16(tcp.value(i).section(QLatin1Char(':'), -1).toUInt());
    }
    QString ptyPath() const { return listen.filter(QStringLiteral("LISTEN pty ")).value(0).mid(11); }

    // Sends one console command and returns the lines up to its "OK"/"ERROR" line.
    QStringList command(const QString& line)
    {
        m_process.write(line.toLocal8Bit() + '\n');
        QStringList lines;
        for (;;) {
            const QString l = nextLine(5000);
            if (l.isNull())
                return lines;
            lines << l;
            if (l.startsWith(QLatin1String("OK")) || l.startsWith(QLatin1String("ERROR")))
                return lines;
        }
    }

    QProcess& process() { return m_process; }
    QStringList listen;

private:
    QString nextLine(int timeoutMs)
    {
        QElapsedTimer timer;
        timer.start();
        while (!m_process.canReadLine()) {
            if (timer.elapsed() > timeoutMs || m_process.state() == QProcess::NotRunning)
                return QString();
            m_process.waitForReadyRead(100);
        }
        return QString::fromLocal8Bit(m_process.readLine()).trimmed();
    }

    QProcess m_process;
};

