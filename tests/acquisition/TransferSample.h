#pragma once

#include "SystemContext.h"

#include <QDateTime>
#include <QFile>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QStringList>
#include <QTextStream>

// Scanner-format data files (the 1586A export) and the acquisition that
// imports them: `devices` devices of `channels` channels each, channel k of
// the run (device-major) in project k % projects.
namespace TransferSample {

inline QString valueText(int device, int channel, qint64 second)
{
    return QString::number(10 * (device + 1) + channel + (second % 100) * 0.001, 'f', 3);
}

// One record per second from `from`, `count` records; `skip` (offset in
// seconds from `from`) is left out when not negative.
inline bool writeScannerFile(const QString& path, int device, int channels, const QDateTime& from, int count,
                             int skip = -1, int msOffset = 300)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text | QIODevice::Truncate))
        return false;
    QTextStream out(&file);
    out << "Record,Time";
    for (int c = 0; c < channels; ++c)
        out << ",Ch " << 101 + c << " (C)";
    out << ",Alarm Flags,Digital I/O\n";
    for (int s = 0; s < count; ++s) {
        if (s == skip)
            continue;
        out << s + 1 << ','
            << from.addSecs(s).addMSecs(msOffset).toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz"));
        for (int c = 0; c < channels; ++c)
            out << ',' << valueText(device, c, s);
        out << ",0,0\n";
    }
    return true;
}

inline void fill(SystemContext& context, int devices, int channels, const QStringList& projects, double interval,
                 const QDateTime& start, const QDateTime& end, const QString& model = QStringLiteral("Fluke 1586A"))
{
    const QString format = QStringLiteral("yyyy-MM-dd hh:mm:ss");
    context.Mode = QStringLiteral("导入");
    context.StartTime = start.toString(format);
    context.EndTime = end.toString(format);
    context.ProjectName = projects;
    context.AcquisitionDevice.clear();
    context.ChannelConfig.clear();
    context.ChannelList.clear();
    for (int d = 0; d < devices; ++d) {
        Tool::Struct_AcquisitionDevice device;
        device.Number = d + 1;
        device.Mode = model;
        device.SerialNumber = QStringLiteral("SN%1").arg(d + 1);
        device.ScanInterval = interval;
        device.ScanRate = QStringLiteral("快速");
        device.ChannelConfig = QStringLiteral("cfg%1").arg(d + 1);
        device.SignalMode = QStringLiteral("网络");
        device.IP_COM = QStringLiteral("127.0.0.1");
        device.Port_BaudRate = QStringLiteral("1");
        context.AcquisitionDevice << device;
        Tool::Struct_ChannelConfig config;
        config.Name = device.ChannelConfig;
        config.Mode = model;
        config.Module = QStringLiteral("1");
        config.Number = channels;
        for (int c = 0; c < channels; ++c) {
            const QString number = QString::number(101 + c);
            config.ChannelNumber << number;
            config.Tag << QStringLiteral("CH%1").arg(number);
            config.Type << QStringLiteral("热电偶");
            config.Function << QStringLiteral("K");
            config.Wire << QStringLiteral("二线制");
            config.Unit << QStringLiteral("℃");
            ChosenChannel chosen;
            chosen.DeviceIndex = d;
            chosen.ProjectIndex = (d * channels + c) % projects.size();
            chosen.ID = QStringLiteral("%1-%2").arg(d + 1).arg(number);
            chosen.Unit = QStringLiteral("℃");
            context.ChannelList << chosen;
        }
        context.ChannelConfig << config;
    }
}

// Every row of the two project tables, in a fixed order: equal dumps mean
// an unchanged database.
inline QStringList dump()
{
    QStringList rows;
    for (const char* sql : {"select * from Parameters order by rowid", "select * from ParametersData order by rowid"}) {
        QSqlQuery q(QString::fromLatin1(sql));
        while (q.next()) {
            QStringList fields;
            for (int i = 0; i < q.record().count(); ++i)
                fields << q.value(i).toString();
            rows << fields.join(QLatin1Char('|'));
        }
    }
    return rows;
}

} // namespace TransferSample
