#include "Device.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSerialPortInfo>
#include <QThread>

#include <algorithm>
#include <cmath>

namespace {
std::atomic<double> g_TimeScale{1.0};
}

Device::Device(QObject* parent) : QObject(parent) {}

Device::~Device() = default;

void Device::setTimeScale(double scale)
{
    g_TimeScale = scale > 0 && std::isfinite(scale) ? scale : 1.0;
}

double Device::timeScale()
{
    return g_TimeScale.load();
}

void Device::Delay(int ms)
{
    // Rounded up: a short poll interval never collapses into a busy loop.
    ms = ms > 0 ? static_cast<int>(std::ceil(ms * timeScale())) : 0;
    QElapsedTimer timer;
    timer.start();
    const bool guiThread =
        QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
    while (timer.elapsed() < ms) {
        if (guiThread)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::msleep(1);
    }
}

QStringList Device::SerialPortNames()
{
    QStringList names;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        names << info.portName();
    std::sort(names.begin(), names.end());
    return names;
}
