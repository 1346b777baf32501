#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QStringList>

// Two connected pseudo-terminals from socat: the driver opens one as its
// serial port, the test plays the instrument on the other.
class PtyPair
{
public:
    ~PtyPair()
    {
        m_socat.terminate();
        m_socat.waitForFinished(2000);
    }

    static bool available() { return !QStandardPaths::findExecutable(QStringLiteral("socat")).isEmpty(); }

    bool start()
    {
        m_socat.setProcessChannelMode(QProcess::SeparateChannels);
        m_socat.start(QStringLiteral("socat"), {"-d", "-d", "pty,raw,echo=0", "pty,raw,echo=0"});
        if (!m_socat.waitForStarted())
            return false;
        QElapsedTimer timer;
        timer.start();
        QString text;
        while (ends.size() < 2 && timer.elapsed() < 5000) {
            m_socat.waitForReadyRead(100);
            text += QString::fromLocal8Bit(m_socat.readAllStandardError());
            ends.clear();
            QRegularExpressionMatchIterator it = QRegularExpression("PTY is (\\S+)").globalMatch(text);
            while (it.hasNext())
                ends << it.next().captured(1);
        }
        return ends.size() == 2;
    }

    QStringList ends; // [0] for the driver, [1] for the instrument

private:
    QProcess m_socat;
};
