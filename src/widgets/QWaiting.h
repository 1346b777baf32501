#pragma once

#include <QDialog>

class QLabel;
class QMovie;

// Modal busy indicator shown during long instrument operations.
class QWaiting : public QDialog
{
    Q_OBJECT
public:
    explicit QWaiting(QWidget* parent);
    void setText(const QString& text);
    QString text() const;
    // Adds a button with that text (object name "pushButton_WaitingCancel");
    // pressing it emits cancelRequested() and disables it, the work ending at
    // its next check.
    void offerCancel(const QString& text);

signals:
    void cancelRequested();

private:
    QLabel* m_image = nullptr;
    QLabel* m_text = nullptr;
    QMovie* m_movie = nullptr;
};
