#include "QWaiting.h"

#include <QLabel>
#include <QMovie>
#include <QPushButton>
#include <QVBoxLayout>

QWaiting::QWaiting(QWidget* parent) : QDialog(parent)
{
    setModal(true);
    setFixedSize(300, 80);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    m_image = new QLabel(this);
    m_image->setAlignment(Qt::AlignCenter);
    m_movie = new QMovie(QStringLiteral(":/Tervan/Image/wait.gif"), QByteArray(), this);
    m_movie->setScaledSize(QSize(40, 40));
    m_image->setMovie(m_movie);
    m_movie->start();

    m_text = new QLabel(tr("参数设置中，请稍等..."), this);
    m_text->setAlignment(Qt::AlignCenter);

    layout->addWidget(m_image, 1);
    layout->addWidget(m_text);
}

void QWaiting::setText(const QString& text) { m_text->setText(text); }
QString QWaiting::text() const { return m_text->text(); }

void QWaiting::offerCancel(const QString& text)
{
    auto* button = new QPushButton(text, this);
    button->setObjectName(QStringLiteral("pushButton_WaitingCancel"));
    layout()->addWidget(button);
    setFixedSize(300, 110);
    connect(button, &QPushButton::clicked, this, [this, button] {
        button->setEnabled(false);
        emit cancelRequested();
    });
}
