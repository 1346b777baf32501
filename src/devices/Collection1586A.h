#pragma once

#include "Collection.h"

class DeviceLink;

// The precision temperature scanner: SCPI text lines, one command or reply
// per line, the instrument's memory of log files, and its exported data files.
class Collection1586A : public Collection
{
    Q_OBJECT
public:
    explicit Collection1586A(QObject* parent = nullptr);
    ~Collection1586A() override;

    DeviceLink* Link() const { return m_Link; }
    // Modules flagged "1" in a module string (1-based); 1 and 2 when empty.
    static QList<int> Modules(const QString& module);

    // The SCPI lines (each ended by CR LF) of one channel's programme, without
    // the unit command; public for the tests.
    static QStringList ChannelCommands(const Device::Channel& channel);
    // "TEMP:TC:TYPE K," + "(@101)\r\n".
    static QString Scoped(const QString& command, const QString& channel);
    static QString RateCommand(const QString& rate);
    // The instrument's clock from its replies to "SYST:DATE?" and
    // "SYST:TIME?"; false (and `read` untouched) unless both read as a valid
    // date and time.
    static bool ClockReply(const QString& dateReply, const QString& timeReply, QDateTime& read);

public slots:
    bool PortList(QStringList& names) override;
    bool Open(QString mode, QString address, QString port) override;
    bool Close() override;
    bool IsOpen() override;
    bool Read(QString& reply) override;
    bool Write(QString command) override;
    bool GetSerialNumber(QString& text) override;

    QStringList CompensationList() override;
    QStringList UnitList(QString type) override;
    QList<bool> CoefficientMask(QString function) override;
    QStringList WiringList(QString type) override;
    QStringList TypeList(int channel) override;
    QStringList FunctionList(QString type) override;
    QStringList ChannelNumberList(int count, QString module) override;
    int MaxChannelCount(QString module) override;
    bool CheckChannels(QList<Device::Channel> channels, QString& message) override;
    double MinInterval(QString rate, QList<Device::Channel> channels) override;
    bool SyncTime(QDateTime time) override;
    bool SetTrigger(double interval, int count) override;
    bool GetPointCount(int& count) override;
    bool ReadData(QStringList& values) override;
    bool StartRead() override;
    bool WaitData(QStringList& values) override;
    bool GetData(QStringList& values) override;
    bool GetReadData(QStringList& values) override;
    bool StartScan() override;
    bool StopScan() override;
    bool SetChannels(QString rate, QList<Device::Channel> channels) override;
    bool OpenDataFile(QString name, QStringList channels) override;
    bool ReadDataFile(QDateTime time, QStringList& values) override;
    bool GetLogFileList(QStringList& names) override;
    bool ReadLogFile(QString name) override;
    bool SetAutoLog(bool on) override;

private:
    // Reads a clock query is given (one second each).
    static constexpr int kClockReads = 5;
    // A clock query: what is queued is dropped, the answer may take seconds.
    bool ClockQuery(const QString& command, QString& reply);
    // Writes the query and takes one reply line.
    bool Query(const QString& command, QString& reply);
    // Up to 40 reads for the values of one scan.
    bool WaitValues(QStringList& values);

    DeviceLink* m_Link = nullptr;
};
