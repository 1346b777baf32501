#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

class QPushButton;
class QTableWidget;

// "批次确认": how the chosen channels fall into batches of at most the
// configured number of channels.
class ChannelBatch : public QDialog
{
    Q_OBJECT
public:
    explicit ChannelBatch(QWidget* parent = nullptr);

    // One configuration name and one list of channel numbers per device position.
    void setData(int maximum, QStringList configNames, QList<QStringList> channelNumbers);
    int batchCount() const { return m_BatchCount; }

public slots:
    void OK_Clicked();
    void pt_Quit_clicked();

private:
    QTableWidget* tableWidget_List = nullptr;
    QPushButton* pushButton_Quit = nullptr;
    QPushButton* pushButton_OK = nullptr;
    int m_BatchCount = 1;
};
