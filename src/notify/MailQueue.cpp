#include "MailQueue.h"

#include "Email.h"

#include <QtDebug>

#include <chrono>

MailQueue& MailQueue::instance()
{
    static MailQueue queue;
    return queue;
}

MailQueue::~MailQueue()
{
    shutdown();
}

void MailQueue::post(const QStringList& recipients, const QString& subject, const QString& body)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_stopped)
        return;
    if (!m_queue.empty() && m_queue.back().recipients == recipients && m_queue.back().subject == subject) {
        m_queue.back().body += QStringLiteral("\n") + body;
    } else {
        m_queue.push_back({recipients, subject, body});
    }
    if (!m_worker.joinable())
        m_worker = std::thread([this] { run(); });
    m_wake.notify_one();
}

void MailQueue::shutdown()
{
    std::thread worker;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_stopped)
            return;
        m_stopped = true;
        if (!m_queue.empty())
            qWarning() << "Program ends:" << m_queue.size() << "alarm mail(s) not sent";
        m_queue.clear();
        worker = std::move(m_worker);
    }
    m_wake.notify_all();
    if (worker.joinable())
        worker.join();
}

void MailQueue::setFailureHandler(std::function<void(const QString&)> handler)
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_failure = std::move(handler);
}

int MailQueue::pending()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return int(m_queue.size()) + (m_busy ? 1 : 0);
}

bool MailQueue::waitIdle(int timeoutMs)
{
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_idle.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return m_queue.empty() && !m_busy; });
}

void MailQueue::run()
{
    for (;;) {
        Mail mail;
        std::function<void(const QString&)> failure;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_busy = false;
            m_idle.notify_all();
            m_wake.wait(lock, [this] { return m_stopped || !m_queue.empty(); });
            if (m_stopped)
                return;
            mail = m_queue.front();
            m_queue.pop_front();
            m_busy = true;
            failure = m_failure;
        }
        bool any = false;
        for (const QString& r : mail.recipients)
            any = any || !r.isEmpty();
        if (!any) {
            qWarning() << "Alarm mail without a recipient: no mail sent";
            continue;
        }
        bool sent = false;
        QString reason;
        {
            Email email;
            sent = email.sendAll(mail.recipients, mail.subject, mail.body);
            reason = Email::isOnline() ? email.failure() : QStringLiteral("offline");
        }
        if (!sent) {
            qWarning().noquote() << "Alarm mail not sent:" << reason;
            if (failure)
                failure(reason);
        }
    }
}
