#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <functional>

struct SystemContext;

// The rule by which a live chart mails its limit alarms. It keeps its own
// copies of the mail settings taken when the chart is set up (later changes
// apply to the next acquisition) and the time of the last mail, which starts
// ten days back so the first alarm is always mailed.
class AlarmMailer
{
public:
    using Clock = std::function<QDateTime()>;
    // Sends one mail; the default hands it to the one mail worker.
    using Sender = std::function<void(const QStringList& recipients, const QString& subject,
                                      const QString& body)>;

    explicit AlarmMailer(const SystemContext& context, Clock clock = {}, Sender sender = {});

    // Call right after an alarm row was written. True when a mail was started.
    // Only "下限报警" and "上限报警" rows are mailed, at most once per interval.
    bool alarm(const QString& type, const QString& details);

    QDateTime lastMail() const { return m_lastMail; }

    static QString subject();
    // Queues the mail for the mail worker: acquisition and user interface never wait.
    static void sendQueued(const QStringList& recipients, const QString& subject, const QString& body);

private:
    int m_interval = 0;
    bool m_autoTrigger = false;
    QStringList m_addresses;
    Clock m_clock;
    Sender m_sender;
    QDateTime m_lastMail;
};
