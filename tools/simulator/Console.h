#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <QThread>

namespace sim {

class SimulatedLogger;

// Executes the console commands (see usage text) on the running loggers and
// returns the answer: lines starting "OK" or "ERROR" (status adds lines).
class CommandProcessor
{
public:
    explicit CommandProcessor(const QList<SimulatedLogger*>& loggers) : m_loggers(loggers) {}
    QString execute(const QString& line, bool* quit);

private:
    QList<SimulatedLogger*> m_loggers;
};

// Reads standard input line by line on its own thread (a blocking read works
// on every platform, where a notifier on stdin does not).
class StdinReader : public QThread
{
    Q_OBJECT
public:
    using QThread::QThread;
signals:
    void lineRead(const QString& line);
    void endOfInput();
protected:
    void run() override;
};

} // namespace sim
