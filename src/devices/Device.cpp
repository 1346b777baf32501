#include "Device.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSerialPortInfo>
#include <QThread>

#include <algorithm>

Device::Device(QObject* parent) : QObject(parent) {}

Device::~Device() = default;

void Device::Delay(int ms)
{
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
