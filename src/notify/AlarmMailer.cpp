#include "AlarmMailer.h"

#include "MailQueue.h"
#include "SystemContext.h"
#include "Vocabulary.h"

#include <QCoreApplication>


AlarmMailer::AlarmMailer(const SystemContext& context, Clock clock, Sender sender)
    : m_interval(context.EmailInterval),
      m_autoTrigger(context.EmailAutoTrigger),
      m_addresses(context.EmailAddress),
      m_clock(clock ? std::move(clock) : Clock([] { return QDateTime::currentDateTime(); })),
      m_sender(sender ? std::move(sender) : Sender(&AlarmMailer::sendQueued))
{
    m_lastMail = m_clock().addDays(-10);
}

bool AlarmMailer::alarm(const QString& type, const QString& details)
{
    if (type != QStringLiteral("下限报警") && type != QStringLiteral("上限报警"))
        return false;
    if (!m_autoTrigger)
        return false;
    const QDateTime now = m_clock();
    if (m_lastMail.secsTo(now) < m_interval)
        return false;
    m_lastMail = now;
    // Written in the interface language, like the subject.
    m_sender(m_addresses, subject(),
             now.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")) + QStringLiteral("  ") + Vocabulary::logDetails(details));
    return true;
}

QString AlarmMailer::subject()
{
    return QCoreApplication::translate("AlarmMailer", "采集器报警");
}

void AlarmMailer::sendQueued(const QStringList& recipients, const QString& subject, const QString& body)
{
    MailQueue::instance().post(recipients, subject, body);
}
