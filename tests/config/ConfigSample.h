#pragma once

#include "Records.h"

// A complete configuration of n channels as the editors would store it.
inline Tool::Struct_ChannelConfig sampleConfig(const QString& name, int n, const QString& model = "3107A-TC")
{
    Tool::Struct_ChannelConfig c;
    c.Name = name;
    c.Time = QStringLiteral("2024-03-05 10:00:00");
    c.Mode = model;
    c.Module = QStringLiteral("1,0,1,0,0,0");
    c.Number = n;
    for (int i = 0; i < n; ++i) {
        const QString number = QString::number(101 + i);
        c.ChannelNumber << number;
        c.Tag << QStringLiteral("CH") + number;
        c.Type << QStringLiteral("热电偶");
        c.Function << QStringLiteral("K");
        c.Wire << QStringLiteral("二线制");
        c.MX_B_M << QString::number(1 + i);
        c.MX_B_B << QStringLiteral("-0.%1").arg(i + 1);
        c.A_C0 << QStringLiteral("1.%1").arg(i);
        c.B_C1 << QStringLiteral("2.%1").arg(i);
        c.C_C2 << QStringLiteral("3.%1").arg(i);
        c.D_C3 << QStringLiteral("4.%1").arg(i);
        c.R0_C4 << QStringLiteral("100.%1").arg(i);
        c.A4_C5 << QStringLiteral("5.%1").arg(i);
        c.B4_C6 << QStringLiteral("6.%1").arg(i);
        c.Unit << QStringLiteral("℃");
        c.LowState << (i % 2 == 0);
        c.Low << QStringLiteral("-10");
        c.HightState << false;
        c.Hight << QStringLiteral("100");
    }
    c.CompensationWay = QStringLiteral("内部补偿");
    c.ColdJunctionTemp = QStringLiteral("0");
    return c;
}
