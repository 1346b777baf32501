#include "DeviceRegistry.h"

#include "ChannelModel.h"
#include "Collection.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDebug>

namespace DeviceRegistry {

QString successText()
{
    return QCoreApplication::translate("AcquisitionDevice", "设备测试成功！");
}

TestResult runTest(Collection* driver, const TestInputs& in)
{
    TestResult r;
    r.message = successText();
    // A model without a driver is a device that cannot be reached.
    r.ok = driver && driver->Open(in.link, in.address, in.port);
    if (!r.ok) {
        r.message = QCoreApplication::translate("AcquisitionDevice", "设备连接失败！");
    } else if (!(r.ok = driver->GetSerialNumber(r.serialNumber))) {
        r.message = QCoreApplication::translate("AcquisitionDevice", "获取序列号失败！");
    } else if (!(r.ok = driver->SyncTime(QDateTime::currentDateTime()))) {
        r.message = QCoreApplication::translate("AcquisitionDevice", "同步设备时间失败！");
    } else if (in.config.Number > 0) {
        const QList<Device::Channel> channels = ChannelModel::toChannels(in.config);
        if (!(r.ok = driver->SetChannels(in.rate, channels)))
            r.message = QCoreApplication::translate("AcquisitionDevice", "通道设置失败,请退出重试!");
        else if (!(r.ok = driver->ReadData(r.values)))
            r.message = QCoreApplication::translate("AcquisitionDevice", "获取通道数据失败,请退出重试!");
        else if (!(r.ok = driver->SetTrigger(in.interval, 0)))
            r.message = QCoreApplication::translate("AcquisitionDevice", "采集间隔,请退出重试!");
    }
    if (driver)
        driver->Close();
    if (!r.ok)
        r.values.clear();
    qDebug().noquote() << "device test" << in.link << in.address << in.port << "->" << r.message
                       << r.serialNumber << r.values.size() << "values";
    return r;
}

int nextNumber(const QString& lastRowNumber)
{
    return lastRowNumber.isEmpty() ? 1 : lastRowNumber.toInt() + 1;
}

void markConnected(QList<Tool::Struct_AcquisitionDevice>& list, const Tool::Struct_AcquisitionDevice& record)
{
    for (Tool::Struct_AcquisitionDevice& entry : list) {
        if (entry.Number == record.Number) {
            entry = record;
            return;
        }
    }
    list.append(record);
}

void removeConnected(QList<Tool::Struct_AcquisitionDevice>& list, const QString& serialNumber)
{
    for (int i = list.size() - 1; i >= 0; --i)
        if (list.at(i).SerialNumber == serialNumber)
            list.removeAt(i);
}

bool isConnected(const QList<Tool::Struct_AcquisitionDevice>& list, int number)
{
    for (const Tool::Struct_AcquisitionDevice& entry : list)
        if (entry.Number == number)
            return true;
    return false;
}

} // namespace DeviceRegistry
