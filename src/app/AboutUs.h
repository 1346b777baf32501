#pragma once

#include <QDialog>

// "About" box: product, version, licence.
class AboutUs : public QDialog
{
    Q_OBJECT
public:
    explicit AboutUs(QWidget* parent = nullptr);
};

// "Contact us" box: where to report problems and ask questions.
class Message : public QDialog
{
    Q_OBJECT
public:
    explicit Message(QWidget* parent = nullptr);
};
