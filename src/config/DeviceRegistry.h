#pragma once

#include "Records.h"

#include <QString>
#include <QStringList>

#include <atomic>

class Collection;

// The rules of the acquisition-device registry that need no widgets: the
// connection test sequence, the numbering of new devices and the upkeep of
// the connected-device list.
namespace DeviceRegistry {

// What a connection test works with, captured on the GUI thread when it starts.
struct TestInputs
{
    QString rate;
    QString link;    // "串口" or "网络"
    QString address; // serial port name or IP address
    QString port;    // baud rate or TCP port
    double interval = 0.0;
    Tool::Struct_ChannelConfig config; // Number 0: no configuration chosen
};

struct TestResult
{
    bool ok = false;
    QString message; // the success text or the message of the failed step
    QString serialNumber;
    QStringList values;
};

// The success text of a test.
QString successText();

// Runs the test on the calling thread, which must not be the thread of the
// driver's link (it waits for replies the link's thread delivers): open,
// identity, clock, channel set, one reading, trigger; the first failure ends
// the sequence. The link is closed in every case.
TestResult runTest(Collection* driver, const TestInputs& inputs);

// Number of a new device: the number shown in the last table row plus one,
// 1 for an empty table.
int nextNumber(const QString& lastRowNumber);

// Puts the record into the list: replaces the entry with the same Number or
// appends it.
void markConnected(QList<Tool::Struct_AcquisitionDevice>& list, const Tool::Struct_AcquisitionDevice& record);

// Removes every entry with this serial number.
void removeConnected(QList<Tool::Struct_AcquisitionDevice>& list, const QString& serialNumber);

// Whether a device with this Number is in the list.
bool isConnected(const QList<Tool::Struct_AcquisitionDevice>& list, int number);

} // namespace DeviceRegistry
