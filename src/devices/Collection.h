#pragma once

#include "Device.h"

#include <QDateTime>
#include <QFile>
#include <QList>

#include <atomic>

// Base of the acquisition instruments. Every operation a model does not
// support answers false (or an empty list) here, without any I/O.
class Collection : public Device
{
    Q_OBJECT
public:
    explicit Collection(QObject* parent = nullptr);
    ~Collection() override;

    // A caller's stop request (null for none): long operations made of many
    // exchanges (the list of log files) end early, with false, once it is set.
    void setStopFlag(const std::atomic<bool>* stop) { m_Stop = stop; }
    bool stopRequested() const { return m_Stop && m_Stop->load(); }

public slots:
    virtual QStringList RateList();
    virtual QStringList CommunicationList();
    virtual QStringList CompensationList();
    virtual QStringList UnitList(QString type);
    virtual QList<bool> CoefficientMask(QString function);
    virtual QStringList WiringList(QString type);
    virtual QStringList TypeList(int channel);
    virtual QStringList FunctionList(QString type);
    virtual QStringList ChannelNumberList(int count, QString module);
    virtual int MaxChannelCount(QString module);
    virtual bool CheckChannels(QList<Device::Channel> channels, QString& message);
    virtual double MinInterval(QString rate, QList<Device::Channel> channels);
    virtual bool SyncTime(QDateTime time);
    virtual bool SetTrigger(double interval, int count);
    virtual bool GetPointCount(int& count);
    virtual bool ReadData(QStringList& values);
    virtual bool StartRead();
    virtual bool WaitData(QStringList& values);
    virtual bool GetData(QStringList& values);
    virtual bool GetReadData(QStringList& values);
    virtual bool StartScan();
    virtual bool StopScan();
    virtual bool SetChannels(QString rate, QList<Device::Channel> channels);
    virtual bool OpenDataFile(QString name, QStringList channels);
    virtual bool ReadDataFile(QDateTime time, QStringList& values);
    virtual bool CloseDataFile();
    virtual bool GetLogFileList(QStringList& names);
    virtual bool ReadLogFile(QString name);
    virtual bool SetAutoLog(bool on);

protected:
    // The coefficient mask with the given fields (0 = A_C0 … 6 = B4_C6) set.
    static QList<bool> mask(std::initializer_list<int> fields);

    QFile DataFile;
    QList<bool> ColumnUsed;

private:
    const std::atomic<bool>* m_Stop = nullptr;
};
