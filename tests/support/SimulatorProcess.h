#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QStringList>
#include <QThread>

// arq-simulator run as a child process: its "LISTEN kind address" lines give
// the endpoints, console commands go to its stdin and are answered "OK …".
class SimulatorProcess
{
public:
    ~SimulatorProcess() { stop(); }

    // The simulator next to the build tree (ARQ_SIMULATOR overrides).
    static QString program()
    {
        const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (env.contains(QStringLiteral("ARQ_SIMULATOR")))
            return env.value(QStringLiteral("ARQ_SIMULATOR"));
        return env.value(QStringLiteral("ARQ_BINARY_DIR"), QStringLiteral(ARQ_DEFAULT_BINARY_DIR))
               + QStringLiteral("/tools/simulator/arq-simulator");
    }

    // Starts it and waits for `endpoints` LISTEN lines.
    bool start(const QStringList& args, int endpoints, int timeoutMs = 10000,
               const QString& path = program())
    {
        m_process.setProgram(path);
        // Its stdin is our pipe: when this process dies (even by SIGKILL) the
        // simulator sees end of file and ends too.
        m_process.setArguments(QStringList(args) << QStringLiteral("--exit-on-eof"));
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        m_process.start();
        if (!m_process.waitForStarted(timeoutMs))
            return false;
        QElapsedTimer t;
        t.start();
        while (m_listen.size() < endpoints && t.elapsed() < timeoutMs) {
            pump();
            if (m_process.state() != QProcess::Running)
                return false;
        }
        return m_listen.size() >= endpoints;
    }

    // "tcp"/"pty" endpoint n (in LISTEN order): the address part.
    QStringList endpoints(const QString& kind) const
    {
        QStringList out;
        for (const QString& line : m_listen) {
            const QStringList parts = line.split(QLatin1Char(' '));
            if (parts.size() >= 3 && parts.at(1) == kind)
                out << parts.at(2);
        }
        return out;
    }

    // Port of TCP endpoint n (in LISTEN order); 0 when there is none.
    quint16 port(int n = 0) const
    {
        const QString address = endpoints(QStringLiteral("tcp")).value(n);
        return static_cast<quint16>(address.mid(address.lastIndexOf(QLatin1Char(':')) + 1).toUInt());
    }
    // Path of the first pseudo-terminal endpoint.
    QString pty() const { return endpoints(QStringLiteral("pty")).value(0); }

    // Sends one console command and waits for its answer: the lines it
    // printed, the last one starting "OK" or "ERROR"; empty when none came.
    QStringList answer(const QString& line, int timeoutMs = 5000)
    {
        pump();
        m_pending.clear(); // output that arrived before the command is not its answer
        const int before = m_answers.size();
        m_process.write(line.toUtf8() + '\n');
        m_process.waitForBytesWritten(1000);
        QElapsedTimer t;
        t.start();
        while (m_answers.size() == before && t.elapsed() < timeoutMs && m_process.state() == QProcess::Running)
            pump();
        pump();
        return m_answers.size() > before ? m_answers.at(before) : QStringList();
    }

    // Sends one console command; true when it is answered "OK". `lines`,
    // when given, gets the whole answer.
    bool command(const QString& line, int timeoutMs = 5000, QStringList* lines = nullptr)
    {
        const QStringList all = answer(line, timeoutMs);
        if (lines)
            *lines = all;
        return !all.isEmpty() && all.last().startsWith(QLatin1String("OK"));
    }

    void stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.write("quit\n");
        if (!m_process.waitForFinished(2000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    // Reads what arrived; keeps events flowing for the caller.
    void pump()
    {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        m_process.waitForReadyRead(5);
        m_buffer += QString::fromUtf8(m_process.readAllStandardOutput());
        int nl;
        while ((nl = m_buffer.indexOf(QLatin1Char('\n'))) >= 0) {
            const QString line = m_buffer.left(nl).trimmed();
            m_buffer.remove(0, nl + 1);
            if (line.startsWith(QLatin1String("LISTEN "))) {
                // Also part of an answer ("up" listens again).
                if (!m_listen.contains(line))
                    m_listen << line;
                m_pending << line;
            } else if (line.startsWith(QLatin1String("OK")) || line.startsWith(QLatin1String("ERROR"))) {
                m_answers << (m_pending << line);
                m_pending.clear();
            } else {
                m_pending << line;
            }
        }
    }

    QString errors() { return QString::fromUtf8(m_process.readAllStandardError()); }

    // Polls "status" (of `target`, "@N" or empty for all) until every number
    // captured by `pattern` (one group, e.g. "(\\d+) record\\(s\\)") is at least
    // `minimum` and there are `count` of them; false at the deadline. A wait
    // on the instrument's state, not on the clock.
    bool waitForStatus(const QString& target, const QString& pattern, int minimum, int count = 1,
                       int timeoutMs = 30000)
    {
        QElapsedTimer t;
        t.start();
        const QRegularExpression re(pattern);
        do {
            QStringList lines;
            if (command((target.isEmpty() ? QString() : target + QLatin1Char(' ')) + QStringLiteral("status"), 5000,
                        &lines)) {
                int found = 0;
                bool enough = true;
                QRegularExpressionMatchIterator it = re.globalMatch(lines.join(QLatin1Char('\n')));
                while (it.hasNext()) {
                    ++found;
                    enough = enough && it.next().captured(1).toInt() >= minimum;
                }
                if (found >= count && enough)
                    return true;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
            QThread::msleep(50);
        } while (t.elapsed() < timeoutMs);
        return false;
    }
    QProcess& process() { return m_process; }

private:
    QProcess m_process;
    QString m_buffer;
    QStringList m_listen;
    QStringList m_pending;           // lines of an answer still being printed
    QList<QStringList> m_answers;    // whole answers, oldest first
};
