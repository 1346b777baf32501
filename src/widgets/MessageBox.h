#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

// The one seam through which pages show message boxes. In normal use it shows
// QMessageBox; a test switches it to recording mode, reads what the user would
// have seen and queues the answers to questions.
class MessageBox
{
public:
    enum Answer { Yes, No, Cancel };

    struct Shown
    {
        QString kind; // "information", "warning", "question"
        QString title;
        QString text;
    };

    static void information(QWidget* parent, const QString& title, const QString& text);
    static void warning(QWidget* parent, const QString& title, const QString& text);
    // Yes/No question; true for Yes.
    static bool question(QWidget* parent, const QString& title, const QString& text);
    // A question with buttons of our own; returns the index of the chosen
    // button, or -1 when the box was closed without a choice.
    static int choose(QWidget* parent, const QString& title, const QString& text,
                      const QStringList& buttons);

    // A number typed by the user (QInputDialog::getDouble); false when cancelled.
    static bool getDouble(QWidget* parent, const QString& title, const QString& label, double value,
                          double min, double max, int decimals, double* result);

    // --- test seam ---
    static void setTestMode(bool on);
    static bool testMode();
    static QList<Shown> shown();
    static Shown last();
    static void clear();
    // Answers for the next questions, in order; Yes (index 0) when none is queued.
    static void queueAnswer(Answer answer);
    static void queueChoice(int index);
    // Answers for the next number inputs; NaN cancels. Without one the
    // default value is taken, as if OK were pressed.
    static void queueNumber(double value);

private:
    static void record(const QString& kind, const QString& title, const QString& text);
    static int nextAnswer(int fallback);
};

// File and directory choosers behind the same kind of seam.
class FileDialog
{
public:
    static QString getExistingDirectory(QWidget* parent, const QString& caption, const QString& dir);
    static QString getOpenFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter);
    static QString getSaveFileName(QWidget* parent, const QString& caption, const QString& dir,
                                   const QString& filter);

    struct Asked
    {
        QString kind; // "directory", "open", "save"
        QString caption;
        QString dir;
        QString filter;
    };

    // --- test seam: queued answers; an empty string means "cancelled" ---
    static void setTestMode(bool on);
    static void queueAnswer(const QString& path);
    static QList<Asked> asked();
    static void clear();

private:
    static QString answer(const Asked& asked);
};
