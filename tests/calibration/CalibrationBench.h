#pragma once

#include "Records.h"
#include "SystemContext.h"
#include "Tool.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QWidget>
#include <QtTest>

#include <functional>

// Stored configurations and registered devices of a calibration bench.
namespace CalibrationBench {

// A child widget of a page or dialog by object name; a missing one ends the test program.
template <class T>
T* child(QWidget* page, const QString& name)
{
    T* w = page->findChild<T*>(name);
    if (!w)
        qFatal("no widget %s", qPrintable(name));
    return w;
}

// Keeps events flowing until `done` or the deadline.
inline bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QTest::qWait(20);
    return done();
}

// A configuration of `types.size()` channels (101 …) of the given types and functions.
inline Tool::Struct_ChannelConfig config(const QString& name, const QString& model, const QStringList& types,
                                         const QStringList& functions, const QString& unit = QStringLiteral("℃"))
{
    Tool::Struct_ChannelConfig c;
    c.Name = name;
    c.Time = QStringLiteral("2026-12-01 08:00:00");
    c.Mode = model;
    c.Module = QStringLiteral("1,0,0,0,0,0");
    c.Number = types.size();
    for (int i = 0; i < types.size(); ++i) {
        c.ChannelNumber << QString::number(101 + i);
        c.Tag << QStringLiteral("CH%1").arg(101 + i);
        c.Type << types.at(i);
        c.Function << functions.at(i);
        c.Wire << QStringLiteral("二线制");
        c.Unit << unit;
        c.MX_B_M << QStringLiteral("1");
        c.MX_B_B << QStringLiteral("0");
        for (QStringList* l : {&c.A_C0, &c.B_C1, &c.C_C2, &c.D_C3, &c.R0_C4, &c.A4_C5, &c.B4_C6})
            *l << QStringLiteral("0");
        c.LowState << false;
        c.Low << QStringLiteral("0");
        c.HightState << false;
        c.Hight << QStringLiteral("0");
    }
    c.CompensationWay = QStringLiteral("内部补偿");
    c.ColdJunctionTemp = QStringLiteral("0");
    return c;
}

inline Tool::Struct_AcquisitionDevice device(int number, const QString& model, const QString& config,
                                             const QString& address = QStringLiteral("127.0.0.1"),
                                             const QString& port = QStringLiteral("5000"))
{
    Tool::Struct_AcquisitionDevice d;
    d.Number = number;
    d.Mode = model;
    d.SerialNumber = QStringLiteral("SN%1").arg(number);
    d.ScanInterval = 1;
    d.ScanRate = QStringLiteral("快速");
    d.ChannelConfig = config;
    d.SignalMode = QStringLiteral("网络");
    d.IP_COM = address;
    d.Port_BaudRate = port;
    return d;
}

} // namespace CalibrationBench
