#pragma once

#include <QDialog>

class QLineEdit;
class QTableWidget;
class QTabWidget;

// The lab's records for the uncertainty of its calibrations: reference
// standards with their certificates, temperature sources as characterised,
// the readout of each logger model and channel type, and the lab itself.
// Everything is checked before anything is saved; a bad cell is named.
class LabRecordsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit LabRecordsDialog(QWidget* parent = nullptr);

    QTableWidget* standards() const { return tableWidget_Standards; }
    QTableWidget* sources() const { return tableWidget_Sources; }
    QTableWidget* readouts() const { return tableWidget_Readouts; }
    QTabWidget* tabs() const { return m_Tabs; }

public slots:
    void pt_Add_clicked();
    void pt_Delete_clicked();
    // Checks every row and writes all records in one transaction; false
    // (with a message) when a cell is not valid or the store refuses.
    bool pt_Save_clicked();

private:
    void load();
    QTableWidget* current() const;

    QTabWidget* m_Tabs = nullptr;
    QTableWidget* tableWidget_Standards = nullptr;
    QTableWidget* tableWidget_Sources = nullptr;
    QTableWidget* tableWidget_Readouts = nullptr;
    QList<QLineEdit*> m_Lab;
};
