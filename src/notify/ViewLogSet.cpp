#include "ViewLogSet.h"

#include "Email.h"
#include "MessageBox.h"
#include "QWaiting.h"
#include "SystemContext.h"
#include "Tool.h"
#include "Vocabulary.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QThread>

ViewLogSet::ViewLogSet(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("ViewLogSet"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto label = [this](const char* name) {
        auto* l = new QLabel(this);
        l->setObjectName(QLatin1String(name));
        return l;
    };
    auto edit = [this](const char* name) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        return e;
    };
    label_Email1 = label("label_Email1");
    label_Email2 = label("label_Email2");
    label_Email3 = label("label_Email3");
    lineEdit_Email1 = edit("lineEdit_Email1");
    lineEdit_Email2 = edit("lineEdit_Email2");
    lineEdit_Email3 = edit("lineEdit_Email3");
    m_emails = {lineEdit_Email1, lineEdit_Email2, lineEdit_Email3};
    label_Trigger = label("label_Trigger");
    lineEdit_Trigger = edit("lineEdit_Trigger");
    lineEdit_Trigger->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^[1-9][0-9]+$")), lineEdit_Trigger));
    label_Unit = label("label_Unit");
    checkBox_Trigger = new QCheckBox(this);
    checkBox_Trigger->setObjectName(QStringLiteral("checkBox_Trigger"));
    pushButton_Send = new QPushButton(this);
    pushButton_Send->setObjectName(QStringLiteral("pushButton_Send"));
    pushButton_Send->setAutoDefault(false);

    auto* grid = new QGridLayout(this);
    grid->addWidget(label_Email1, 0, 0);
    grid->addWidget(lineEdit_Email1, 0, 1, 1, 2);
    grid->addWidget(label_Email2, 1, 0);
    grid->addWidget(lineEdit_Email2, 1, 1, 1, 2);
    grid->addWidget(label_Email3, 2, 0);
    grid->addWidget(lineEdit_Email3, 2, 1, 1, 2);
    grid->addWidget(label_Trigger, 3, 0);
    grid->addWidget(lineEdit_Trigger, 3, 1);
    grid->addWidget(label_Unit, 3, 2);
    grid->addWidget(checkBox_Trigger, 4, 0, 1, 2);
    grid->addWidget(pushButton_Send, 4, 2);
    grid->setColumnStretch(1, 1);

    connect(pushButton_Send, &QPushButton::clicked, this, &ViewLogSet::pt_Send_clicked);
    connect(this, &ViewLogSet::Send_signals, this, &ViewLogSet::Send_slots, Qt::QueuedConnection);

    retranslateUi();
    resize(380, 200);
}

ViewLogSet::~ViewLogSet()
{
    // The worker emits through this object: it must be gone first.
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
        m_worker = nullptr;
    }
    save();
}

void ViewLogSet::retranslateUi()
{
    setWindowTitle(tr("通知设置"));
    label_Email1->setText(tr("邮箱1："));
    label_Email2->setText(tr("邮箱2："));
    label_Email3->setText(tr("邮箱3："));
    label_Trigger->setText(tr("触发间隔："));
    label_Unit->setText(QStringLiteral("s"));
    checkBox_Trigger->setText(tr("触发发送"));
    pushButton_Send->setText(tr("发送"));
}

bool ViewLogSet::validAddress(const QString& address)
{
    static const QRegularExpression pattern(QStringLiteral(
        "^[A-Za-z0-9]+([_\\.][A-Za-z0-9]+)*@([A-Za-z0-9\\-]+\\.)+[A-Za-z]{2,6}$"));
    return pattern.match(address).hasMatch();
}

QString ViewLogSet::mailBody(const QList<Tool::Struct_AuditLog>& rows)
{
    QString body;
    for (const Tool::Struct_AuditLog& row : rows)
        body += row.Time + QLatin1Char(';') + Vocabulary::text(row.Type) + QLatin1Char(';')
                + Vocabulary::logDetails(row.Details) + QLatin1Char('\n');
    return body;
}

void ViewLogSet::setData(SystemContext* context, const QList<Tool::Struct_AuditLog>& rows)
{
    m_context = context;
    m_rows = rows;
    if (!m_context)
        return;
    lineEdit_Trigger->setText(QString::number(m_context->EmailInterval));
    checkBox_Trigger->setChecked(m_context->EmailAutoTrigger);
    for (int i = 0; i < m_emails.size(); ++i)
        m_emails[i]->setText(i < m_context->EmailAddress.size() ? m_context->EmailAddress[i] : QString());
}

bool ViewLogSet::checkAddresses()
{
    for (QLineEdit* edit : qAsConst(m_emails)) {
        if (!edit->text().isEmpty() && !validAddress(edit->text())) {
            MessageBox::information(this, tr("提示"), tr("输入的邮件地址不合法！"));
            return false;
        }
    }
    return true;
}

void ViewLogSet::pt_Send_clicked()
{
    if (m_worker)
        return;
    if (!checkAddresses())
        return;
    // Every filled box, wherever it stands.
    QStringList recipients;
    for (QLineEdit* edit : qAsConst(m_emails))
        if (!edit->text().isEmpty())
            recipients.append(edit->text());
    if (recipients.isEmpty()) {
        MessageBox::information(this, tr("提示"), tr("请先输入邮件地址！"));
        return;
    }
    if (m_rows.isEmpty()) {
        MessageBox::information(this, tr("提示"), tr("当前无报警信息！"));
        return;
    }
    const QString subject = tr("采集器报警");
    const QString body = mailBody(m_rows);

    // The dialogue takes seconds: run it on a worker behind the busy
    // indicator so the window keeps painting.
    m_worker = QThread::create([this, recipients, subject, body] {
        bool sent = false;
        int delivered = 0;
        QString failure;
        {
            Email mail;
            sent = mail.sendAll(recipients, subject, body);
            delivered = mail.delivered();
            if (!sent && Email::isOnline())
                failure = mail.failure();
        } // quit said before the result is reported
        emit Send_signals(sent, delivered, failure);
    });
    m_waiting = new QWaiting(this);
    m_waiting->setText(tr("邮件发送中，请稍等..."));
    m_worker->start();
    // The busy box may be dismissed with Esc; it comes back until the worker ends.
    while (m_worker)
        m_waiting->exec();
    delete m_waiting;
    m_waiting = nullptr;

    if (m_sent)
        MessageBox::information(this, tr("提示"), tr("邮件发送成功！"));
    else if (m_delivered > 0 && !m_failure.isEmpty())
        // Some addresses got the mail: say which did not, in the server's words.
        MessageBox::information(this, tr("提示"), tr("部分收件人未收到邮件：") + m_failure);
    else if (m_failure.isEmpty())
        MessageBox::information(this, tr("提示"), tr("当前无网络，邮件发送失败！"));
    else
        // The server refused: its own words tell the user what to fix.
        MessageBox::information(this, tr("提示"), tr("邮件发送失败：") + m_failure);
}

void ViewLogSet::Send_slots(bool sent, int delivered, QString failure)
{
    m_sent = sent;
    m_delivered = delivered;
    m_failure = failure;
    if (m_worker) {
        m_worker->wait();
        delete m_worker;
        m_worker = nullptr;
    }
    if (m_waiting)
        m_waiting->done(QDialog::Accepted);
}

void ViewLogSet::closeEvent(QCloseEvent* event)
{
    if (m_worker || !checkAddresses()) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void ViewLogSet::reject()
{
    // Esc takes the same road as the close button.
    if (m_worker || !checkAddresses())
        return;
    QDialog::reject();
}

void ViewLogSet::save()
{
    if (!m_context)
        return;
    const QString interval = lineEdit_Trigger->text();
    if (!Tool::modifySystemSet(QStringLiteral("EmailInterval"), interval))
        return;
    m_context->EmailInterval = interval.toInt();

    const bool trigger = checkBox_Trigger->isChecked();
    if (!Tool::modifySystemSet(QStringLiteral("EmailAutoTrigger"), trigger))
        return;
    m_context->EmailAutoTrigger = trigger;

    // Every filled, valid box is kept, whichever box it is in.
    QStringList addresses;
    for (QLineEdit* edit : qAsConst(m_emails)) {
        if (!edit->text().isEmpty() && validAddress(edit->text()))
            addresses.append(edit->text());
    }
    if (!Tool::modifySystemSet(QStringLiteral("EmailAddress"), addresses.join(QLatin1Char(','))))
        return;
    m_context->EmailAddress = addresses;
}
