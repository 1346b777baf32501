#include "MessageBox.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>

#include <cmath>

namespace {
struct SeamState
{
    bool testMode = false;
    QList<MessageBox::Shown> shown;
    QList<int> answers;
    QList<double> numbers;
    bool fileTestMode = false;
    QStringList fileAnswers;
    QList<FileDialog::Asked> asked;
};

SeamState& state()
{
    static SeamState s;
    return s;
}
} // namespace

void MessageBox::record(const QString& kind, const QString& title, const QString& text)
{
    state().shown.append({kind, title, text});
}

int MessageBox::nextAnswer(int fallback)
{
    if (state().answers.isEmpty())
        return fallback;
    return state().answers.takeFirst();
}

void MessageBox::information(QWidget* parent, const QString& title, const QString& text)
{
    if (state().testMode) {
        record(QStringLiteral("information"), title, text);
        return;
    }
    QMessageBox::information(parent, title, text);
}

void MessageBox::warning(QWidget* parent, const QString& title, const QString& text)
{
    if (state().testMode) {
        record(QStringLiteral("warning"), title, text);
        return;
    }
    QMessageBox::warning(parent, title, text);
}

bool MessageBox::question(QWidget* parent, const QString& title, const QString& text)
{
    if (state().testMode) {
        record(QStringLiteral("question"), title, text);
        return nextAnswer(Yes) == Yes;
    }
    return QMessageBox::question(parent, title, text, QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

int MessageBox::choose(QWidget* parent, const QString& title, const QString& text,
                       const QStringList& buttons)
{
    if (state().testMode) {
        record(QStringLiteral("question"), title, text);
        return nextAnswer(0);
    }
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    QList<QAbstractButton*> added;
    for (const QString& label : buttons)
        added.append(box.addButton(label, QMessageBox::ActionRole));
    box.exec();
    return added.indexOf(box.clickedButton());
}

bool MessageBox::getDouble(QWidget* parent, const QString& title, const QString& label, double value,
                           double min, double max, int decimals, double* result)
{
    if (state().testMode) {
        record(QStringLiteral("input"), title, label);
        const double answer = state().numbers.isEmpty() ? value : state().numbers.takeFirst();
        if (std::isnan(answer))
            return false;
        *result = answer;
        return true;
    }
    bool ok = false;
    const double typed = QInputDialog::getDouble(parent, title, label, value, min, max, decimals, &ok);
    if (ok)
        *result = typed;
    return ok;
}

void MessageBox::setTestMode(bool on)
{
    state().testMode = on;
    clear();
}

bool MessageBox::testMode() { return state().testMode; }
QList<MessageBox::Shown> MessageBox::shown() { return state().shown; }

MessageBox::Shown MessageBox::last()
{
    return state().shown.isEmpty() ? Shown{} : state().shown.last();
}

void MessageBox::clear()
{
    state().shown.clear();
    state().answers.clear();
    state().numbers.clear();
}

void MessageBox::queueAnswer(Answer answer) { state().answers.append(answer); }
void MessageBox::queueChoice(int index) { state().answers.append(index); }
void MessageBox::queueNumber(double value) { state().numbers.append(value); }

// --- FileDialog ---

QString FileDialog::answer(const Asked& asked)
{
    state().asked.append(asked);
    return state().fileAnswers.isEmpty() ? QString() : state().fileAnswers.takeFirst();
}

QString FileDialog::getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir)
{
    if (state().fileTestMode)
        return answer({QStringLiteral("directory"), caption, dir, QString()});
    return QFileDialog::getExistingDirectory(parent, caption, dir, QFileDialog::ShowDirsOnly);
}

QString FileDialog::getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter)
{
    if (state().fileTestMode)
        return answer({QStringLiteral("open"), caption, dir, filter});
    return QFileDialog::getOpenFileName(parent, caption, dir, filter);
}

QString FileDialog::getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                    const QString& filter)
{
    if (state().fileTestMode)
        return answer({QStringLiteral("save"), caption, dir, filter});
    return QFileDialog::getSaveFileName(parent, caption, dir, filter);
}

void FileDialog::setTestMode(bool on)
{
    state().fileTestMode = on;
    clear();
}

void FileDialog::queueAnswer(const QString& path) { state().fileAnswers.append(path); }
QList<FileDialog::Asked> FileDialog::asked() { return state().asked; }

void FileDialog::clear()
{
    state().fileAnswers.clear();
    state().asked.clear();
}
