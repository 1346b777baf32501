#pragma once

#include "SystemContext.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// Builds the acquisition the dialog chain would leave in the context: 3107A-TC
// loggers with `channels` thermocouple channels each (101, 102, …), every
// channel assigned to the project given by `assign` (device-major order).
namespace OnlineSetup {

// Fixed simulator temperature of channel c (0-based) of device d: exact in
// binary, so the logger's float returns it unchanged.
inline double temperature(int device, int channel)
{
    return 10.0 * (device + 1) + 0.25 * channel;
}

inline QString valueText(int device, int channel)
{
    return QString::number(temperature(device, channel), 'f', 6);
}

// Simulator --instrument option for device d.
inline QString instrumentOption(int device, int channels, const QString& link = QStringLiteral("tcp=127.0.0.1:0"))
{
    QString text = QStringLiteral("model=3107A-TC,%1,noise=0,id=SIM%2").arg(link).arg(device + 1, 7, 10, QLatin1Char('0'));
    for (int c = 0; c < channels; ++c)
        text += QStringLiteral(",ch%1=fixed:%2").arg(101 + c).arg(temperature(device, c));
    return text;
}

struct Link
{
    QString signalMode; // "网络" or "串口"
    QString address;    // host or serial port
    QString port;       // TCP port or baud rate
};

inline Link tcpLink(const QString& hostPort)
{
    const int colon = hostPort.lastIndexOf(QLatin1Char(':'));
    return {QStringLiteral("网络"), hostPort.left(colon), hostPort.mid(colon + 1)};
}

inline Link serialLink(const QString& path)
{
    return {QStringLiteral("串口"), path, QStringLiteral("9600")};
}

inline void fill(SystemContext& context, const QList<Link>& links, int channels, const QStringList& projects,
                 const QList<int>& assign, double intervalSeconds, const QDateTime& start, const QDateTime& end)
{
    const QString format = QStringLiteral("yyyy-MM-dd hh:mm:ss");
    context.Mode = QStringLiteral("在线");
    context.StartTime = start.toString(format);
    context.EndTime = end.toString(format);
    context.ProjectName = projects;
    context.AcquisitionDevice.clear();
    context.ChannelConfig.clear();
    context.ChannelList.clear();
    context.DataAccuracy = 2;
    for (int d = 0; d < links.size(); ++d) {
        Tool::Struct_AcquisitionDevice device;
        device.Number = d + 1;
        device.Mode = QStringLiteral("3107A-TC");
        device.SerialNumber = QStringLiteral("SIM%1").arg(d + 1, 7, 10, QLatin1Char('0'));
        device.ScanInterval = intervalSeconds;
        device.ScanRate = QStringLiteral("快速");
        device.ChannelConfig = QStringLiteral("cfg%1").arg(d + 1);
        device.SignalMode = links.at(d).signalMode;
        device.IP_COM = links.at(d).address;
        device.Port_BaudRate = links.at(d).port;
        context.AcquisitionDevice << device;

        Tool::Struct_ChannelConfig config;
        config.Name = device.ChannelConfig;
        config.Mode = device.Mode;
        config.Module = QStringLiteral("1");
        config.Number = channels;
        config.CompensationWay = QStringLiteral("内部补偿");
        config.ColdJunctionTemp = QStringLiteral("0");
        for (int c = 0; c < channels; ++c) {
            const QString number = QString::number(101 + c);
            config.ChannelNumber << number;
            config.Tag << QStringLiteral("CH%1").arg(number);
            config.Type << QStringLiteral("热电偶");
            config.Function << QStringLiteral("K");
            config.Wire << QStringLiteral("二线制");
            config.MX_B_M << QStringLiteral("1");
            config.MX_B_B << QStringLiteral("0");
            for (QStringList* list : {&config.A_C0, &config.B_C1, &config.C_C2, &config.D_C3, &config.R0_C4,
                                      &config.A4_C5, &config.B4_C6})
                *list << QStringLiteral("0");
            config.Unit << QStringLiteral("℃");
            config.LowState << false;
            config.Low << QStringLiteral("0");
            config.HightState << false;
            config.Hight << QStringLiteral("0");

            ChosenChannel chosen;
            chosen.DeviceIndex = d;
            const int k = d * channels + c;
            chosen.ProjectIndex = k < assign.size() ? assign.at(k) : 0;
            chosen.ID = QStringLiteral("%1-%2").arg(d + 1).arg(number);
            chosen.Label = QStringLiteral("%1-CH%2").arg(d + 1).arg(number);
            chosen.Unit = QStringLiteral("℃");
            context.ChannelList << chosen;
        }
        context.ChannelConfig << config;
    }
}

} // namespace OnlineSetup
