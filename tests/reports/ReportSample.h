#pragma once

#include "Records.h"
#include "Tool.h"

#include <QDateTime>

// A stored project of `rows` scans at `interval` seconds from 10:00:00.
inline Tool::Struct_Parameters sampleProject(const QString& name, const QStringList& channels, const QStringList& units,
                                             int rows, int interval = 2)
{
    Tool::Struct_Parameters p;
    p.Name = name;
    p.Time = QStringLiteral("2026-12-09 09:00:00");
    const QDateTime start = QDateTime::fromString("2026-12-09 10:00:00", "yyyy-MM-dd hh:mm:ss");
    p.Start = start.toString("yyyy-MM-dd hh:mm:ss");
    p.End = start.addSecs(qint64(interval) * std::max(0, rows - 1)).toString("yyyy-MM-dd hh:mm:ss");
    p.DeviceNumber = QStringList{"1", "2"};
    p.DeviceMode = QStringList{"3107A-TC", "3107A-RTD"};
    p.SerialNumber = QStringList{"TC0001", "RTD0002"};
    p.ScanInterval = QString::number(interval);
    p.ScanRate = QStringLiteral("快速");
    p.SignalMode = QStringList{"网络", "串口"};
    p.IP_COM = QStringList{"127.0.0.1", "/dev/ttyS0"};
    p.Port_BaudRate = QStringList{"5000", "9600"};
    p.ChannelConfig = QStringList{"TC-A", "RTD-B"};
    p.Channel = channels;
    p.Unit = units;
    return p;
}

// Stores the project and its scans: channel i reads 20.5 + i + row / 100 (× 3 for the second unit).
inline bool storeSample(const Tool::Struct_Parameters& p, int rows, int interval = 2)
{
    if (!Tool::addParameters(p))
        return false;
    QList<Tool::Struct_ParametersData> data;
    const QDateTime start = QDateTime::fromString(p.Start, "yyyy-MM-dd hh:mm:ss");
    for (int r = 0; r < rows; ++r) {
        QStringList values;
        for (int i = 0; i < p.Channel.size(); ++i)
            values << QString::number((20.5 + i + r / 100.0) * (p.Unit.at(i) == p.Unit.first() ? 1 : 3), 'f', 3);
        data << Tool::Struct_ParametersData{p.Name, start.addSecs(qint64(interval) * r), values};
    }
    return data.isEmpty() || Tool::addParametersDataBulk(data);
}
