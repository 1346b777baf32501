#pragma once

#include <QDialog>

class QLabel;
class QTableWidget;

// Lists the stored channel configurations; a double-click chooses one.
class ChannelConfigOpen : public QDialog
{
    Q_OBJECT
public:
    explicit ChannelConfigOpen(QWidget* parent = nullptr);

    // The chosen configuration after acceptance.
    QString name() const { return m_Name; }
    QTableWidget* table() const { return tableWidget_List; }

    // Runs the dialog modally for the channel-configuration page.
    static bool run(QWidget* parent, QString& name);

public slots:
    void pt_TableWidget_clicked(int row, int column);

private:
    QString m_Name;
    QLabel* label_Hint = nullptr;
    QTableWidget* tableWidget_List = nullptr;
};
