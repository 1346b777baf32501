#include "Collection.h"

Collection::Collection(QObject* parent) : Device(parent) {}

Collection::~Collection() = default;

QStringList Collection::RateList()
{
    return {QStringLiteral("快速"), QStringLiteral("中速"), QStringLiteral("慢速")};
}

QStringList Collection::CommunicationList()
{
    return {QStringLiteral("串口"), QStringLiteral("网络")};
}

QStringList Collection::CompensationList() { return {}; }
QStringList Collection::UnitList(QString) { return {}; }
QList<bool> Collection::CoefficientMask(QString) { return mask({}); }
QStringList Collection::WiringList(QString) { return {}; }
QStringList Collection::TypeList(int) { return {}; }
QStringList Collection::FunctionList(QString) { return {}; }
QStringList Collection::ChannelNumberList(int, QString) { return {}; }
int Collection::MaxChannelCount(QString) { return 0; }

bool Collection::CheckChannels(QList<Device::Channel>, QString& message)
{
    message.clear();
    return false;
}

double Collection::MinInterval(QString, QList<Device::Channel>) { return 0.0; }
bool Collection::SyncTime(QDateTime) { return false; }
bool Collection::SetTrigger(double, int) { return false; }
bool Collection::GetPointCount(int&) { return false; }
bool Collection::ReadData(QStringList&) { return false; }
bool Collection::StartRead() { return false; }
bool Collection::WaitData(QStringList&) { return false; }
bool Collection::GetData(QStringList&) { return false; }
bool Collection::GetReadData(QStringList&) { return false; }
bool Collection::StartScan() { return false; }
bool Collection::StopScan() { return false; }
bool Collection::SetChannels(QString, QList<Device::Channel>) { return false; }
bool Collection::OpenDataFile(QString, QStringList) { return false; }
bool Collection::ReadDataFile(QDateTime, QStringList&) { return false; }

bool Collection::CloseDataFile()
{
    DataFile.close();
    return true;
}

bool Collection::GetLogFileList(QStringList&) { return false; }
bool Collection::ReadLogFile(QString) { return false; }
bool Collection::SetAutoLog(bool) { return false; }

QList<bool> Collection::mask(std::initializer_list<int> fields)
{
    QList<bool> result;
    for (int i = 0; i < 7; ++i)
        result << false;
    for (int f : fields)
        result[f] = true;
    return result;
}
