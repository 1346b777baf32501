#pragma once

#include "ToolPage.h"

#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

// The channel-configuration page: shows one stored configuration, deletes it
// and exports its corrections to an INI file. Creating and choosing a
// configuration is done by the editor dialogs, which the page runs through
// the two dialog hooks.
class ChannelConfig : public ToolPage
{
    Q_OBJECT
public:
    // Runs a dialog modally; true when it was accepted, name then holds the
    // configuration to show.
    using Dialog = std::function<bool(QWidget* parent, QString& name)>;

    explicit ChannelConfig(QWidget* parent = nullptr);

    void setContext(SystemContext* context) override;
    void retranslateUi() override;

    void setNewDialog(Dialog dialog) { m_NewDialog = std::move(dialog); }
    void setOpenDialog(Dialog dialog) { m_OpenDialog = std::move(dialog); }

    // Fills the header and the table from the stored configuration; a name
    // that does not exist leaves everything but the emptied table as it was.
    void ShowConfig(const QString& name);

public slots:
    void pt_New_clicked();
    void pt_Open_clicked();
    void pt_Delete_clicked();
    void pt_Export_clicked();

private:
    SystemContext* m_Context = nullptr;
    Dialog m_NewDialog;
    Dialog m_OpenDialog;

    QGroupBox* groupBox = nullptr;
    QLabel* label_Name = nullptr;
    QLabel* label_Number = nullptr;
    QLabel* label_Mode = nullptr;
    QLabel* label_Module = nullptr;
    QLineEdit* lineEdit_Name = nullptr;
    QLineEdit* lineEdit_Number = nullptr;
    QLineEdit* lineEdit_Mode = nullptr;
    QList<QCheckBox*> checkBox_Module;
    QPushButton* pushButton_Export = nullptr;
    QPushButton* pushButton_Open = nullptr;
    QPushButton* pushButton_New = nullptr;
    QPushButton* pushButton_Delete = nullptr;
    QTableWidget* tableWidget_List = nullptr;
};
