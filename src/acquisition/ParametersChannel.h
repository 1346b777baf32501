#pragma once

#include "Records.h"

#include <QDialog>
#include <QList>
#include <QStringList>

class QPushButton;
class QTableWidget;
struct SystemContext;

// Channel choice of the acquisition chain: every channel of every device of
// the acquisition, each assigned to one of the projects. Accepting writes
// ChannelList into the context.
class ParametersChannel : public QDialog
{
    Q_OBJECT
public:
    explicit ParametersChannel(QWidget* parent = nullptr);

    void setContext(SystemContext* context);

    // Assigns row `row` to project `project` (what the user does with the row's combo).
    void setProject(int row, int project);
    int rowCount() const;

public slots:
    void pt_OK_clicked();

private:
    void retranslateUi();
    void fitToRows();

    SystemContext* m_context = nullptr;
    int m_deviceCount = 0;
    QList<Tool::Struct_AcquisitionDevice> m_devices;
    QList<Tool::Struct_ChannelConfig> m_configs;
    QList<int> m_rowDevice;

    QTableWidget* tableWidget_List = nullptr;
    QPushButton* pushButton_OK = nullptr;
};
