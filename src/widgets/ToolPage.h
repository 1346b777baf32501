#pragma once

#include <QWidget>

struct SystemContext;

// A tool page shown in the main window's page area. The window creates it on
// demand, hands it the shared context and destroys it when another page
// replaces it.
class ToolPage : public QWidget
{
    Q_OBJECT
public:
    using QWidget::QWidget;

    virtual void setContext(SystemContext* context) = 0;
    // False while the page runs work that must not be interrupted; the window
    // then refuses to replace the page or to close.
    virtual bool IsIdle() const { return true; }
    // Re-applies the translated texts after a language change.
    virtual void retranslateUi() {}
};
