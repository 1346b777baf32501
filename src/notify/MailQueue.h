#pragma once

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// The one worker that sends alarm mail. Alarms arriving while a mail goes
// out wait in a queue; one that finds a mail for the same recipients and
// subject still waiting is added to it, so a burst of alarms makes one mail
// and never a crowd of SMTP dialogues. A mail with no recipient starts no
// dialogue. Stopped and joined when the program ends.
class MailQueue
{
public:
    static MailQueue& instance();
    ~MailQueue();

    void post(const QStringList& recipients, const QString& subject, const QString& body);
    // Lets the mail in progress finish, drops what still waits (logged), and
    // joins the worker; later posts are ignored.
    void shutdown();
    // Called on the worker with the reason when a mail could not be sent.
    void setFailureHandler(std::function<void(const QString& reason)> handler);

    // For tests: mails waiting, and waiting until nothing is queued or sent.
    int pending();
    bool waitIdle(int timeoutMs);

private:
    struct Mail
    {
        QStringList recipients;
        QString subject;
        QString body;
    };
    void run();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Mail> m_queue;
    std::function<void(const QString&)> m_failure;
    std::thread m_worker;
    bool m_busy = false;
    bool m_stopped = false;
};
