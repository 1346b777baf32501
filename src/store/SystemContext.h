#pragma once

#include "Records.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// One chosen channel of the current acquisition.
struct ChosenChannel
{
    int DeviceIndex = 0;  // position in SystemContext::AcquisitionDevice
    int ProjectIndex = 0; // position in SystemContext::ProjectName
    QString ID;           // device position + "-" + channel number, e.g. "1-101"
    QString Label;        // device position + "-" + tag, e.g. "2-CH103"
    QString Unit;
    bool LowState = false;
    QString Low;
    bool HightState = false;
    QString Hight;
};

// The one shared record of the running application. Created by the main
// window, handed by pointer to every page and dialog, never copied.
struct SystemContext
{
    int BackupCycle = 0;
    bool AutoBackup = false;
    QString BackupPath;
    QDateTime BackupTime;
    int DataAccuracy = 0;
    QString SystemLanguage;
    int EmailInterval = 0;
    bool EmailAutoTrigger = false;
    QStringList EmailAddress;

    QList<Tool::Struct_AcquisitionDevice> ConnectedDevices;
    bool SaveStart = true;
    QString Mode;
    QString StartTime;
    QString EndTime;
    QStringList ProjectName;
    QList<Tool::Struct_AcquisitionDevice> AcquisitionDevice;
    QList<Tool::Struct_ChannelConfig> ChannelConfig;
    QList<ChosenChannel> ChannelList;

    SystemContext() = default;
    SystemContext(const SystemContext&) = delete;
    SystemContext& operator=(const SystemContext&) = delete;
};
