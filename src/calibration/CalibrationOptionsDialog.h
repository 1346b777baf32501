#pragma once

#include <QDialog>
#include <QMap>
#include <QStringList>

class QCheckBox;
class QComboBox;
class QLineEdit;

// How a run takes its readings and what it checks, kept with the page's other
// keys: samples per reading and their interval, the reference's stability
// over a window before each batch (and what happens when it never is), the
// source's stability timeout, the standby
// set-point, the residual limit of the result, and whether an overdue
// reference is refused or only a warning the operator confirms. An empty field is "none"
// (or the default, for the standby set-point).
class CalibrationOptionsDialog : public QDialog
{
    Q_OBJECT
public:
    // The stored keys, in the order of the fields.
    static QStringList keys();
    static QString defaultText(const QString& key);

    explicit CalibrationOptionsDialog(QWidget* parent = nullptr);
    // `standbyHint` is shown in the empty standby field (the default there).
    void setValues(const QMap<QString, QString>& values, const QString& standbyHint);
    QMap<QString, QString> values() const;

public slots:
    void OK_Clicked();

private:
    QMap<QString, QLineEdit*> m_Edits;
    QCheckBox* m_OverdueWarning = nullptr;
    QComboBox* m_Unstable = nullptr;
};
