#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace Tool {

// One registered acquisition device (table AcquisitionDevice).
struct Struct_AcquisitionDevice
{
    int Number = 0;
    QString Mode;
    QString SerialNumber;
    double ScanInterval = 0.0;
    QString ScanRate;
    QString ChannelConfig;
    QString SignalMode;
    QString IP_COM;
    QString Port_BaudRate;
};

// One channel configuration (table ChannelConfig); lists hold one entry per channel.
struct Struct_ChannelConfig
{
    QString Name;
    QString Time;
    QString Mode;
    QString Module;
    int Number = 0;
    QStringList ChannelNumber;
    QStringList Tag;
    QStringList Type;
    QStringList Function;
    QStringList Wire;
    QStringList MX_B_M;
    QStringList MX_B_B;
    QStringList A_C0;
    QStringList B_C1;
    QStringList C_C2;
    QStringList D_C3;
    QStringList R0_C4;
    QStringList A4_C5;
    QStringList B4_C6;
    QStringList Unit;
    QString CompensationWay;
    QString ColdJunctionTemp;
    QList<bool> LowState;
    QStringList Low;
    QList<bool> HightState;
    QStringList Hight;
};

// One warning-log entry (table AuditLog).
struct Struct_AuditLog
{
    QString Time;
    QString Type;
    QString Details;
};

// One acquisition project (table Parameters).
struct Struct_Parameters
{
    QString Name;
    QString Time;
    QString Start;
    QString End;
    QStringList DeviceNumber;
    QStringList DeviceMode;
    QStringList SerialNumber; // stored joined with ";"
    QString ScanInterval;
    QString ScanRate;
    QStringList SignalMode;
    QStringList IP_COM;
    QStringList Port_BaudRate;
    QStringList ChannelConfig;
    QStringList Channel;
    QStringList Unit;
};

// One scan of a project (table ParametersData).
struct Struct_ParametersData
{
    QString Name;
    QDateTime Time;
    QStringList Data;
};

// One finished calibration run (table ChannelCalibrationData); lists joined with ";".
struct Struct_ChannelCalibrationData
{
    QString StartTime;
    QString ChannelName;
    QString ChannelMode;
    QString CollectionName;
    QString ChannelNumber;
    QStringList CalibrationCriteria;
    QStringList CalibrationData1;
    QStringList CalibrationData2;
    QStringList CalibrationData3;
    QStringList CalibrationData4;
    QStringList CalibrationData5;
    QStringList CalibrationData6;
    QStringList CalibrationData7;
    QStringList CalibrationData8;
    QStringList CalibrationData9;
};

} // namespace Tool
