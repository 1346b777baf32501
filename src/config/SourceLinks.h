#pragma once

#include <QString>
#include <QStringList>

#include <functional>

class Criteria;
class Device;
class Field;
class QObject;

// The links of the calibration bench's temperature source and reference
// thermometer: which driver serves a device kind, which link kinds it takes,
// and the link test the connection dialog runs on its worker.
namespace SourceLinks {

// The four texts the calibration page keeps per instrument.
struct Record
{
    QString Kind;    // "油槽", "干式炉-R", "KORVA 5310A", … or anything else (manual)
    QString Mode;    // "串口", "网络", "蓝牙", "手动"
    QString Address; // serial port, IP address or thermometer name
    QString Port;    // baud rate, TCP port, or empty
};

QStringList linkKinds(const QString& kind);
// The driver of a device kind; null for a kind worked by hand.
Device* createDriver(const QString& kind, QObject* parent = nullptr);
// The temperature source of a calibration run by its selector text; null for "手动".
Field* createSource(const QString& kind, QObject* parent = nullptr);
// The reference by its selector text: an "-R" source's own reference
// (through `source`), the Bluetooth thermometer, or null for "手动".
Criteria* createReference(const QString& kind, Field* source, QObject* parent = nullptr);

enum class TestResult { Passed, NoSerialNumber, NotConnected, Cancelled };
// Told before each attempt to open (1-based, of how many), and asked at every
// wait whether the user has cancelled; both on the worker. Either may be empty.
struct TestControl
{
    std::function<void(int attempt, int attempts)> attempt;
    std::function<bool()> cancelled;
};
// Opens the link (a Bluetooth link is retried up to ten more times, a second
// apart), reads the serial number (into `serial` when given) and closes
// again. Runs on a worker; a cancel ends it at its next wait.
TestResult runTest(Device* driver, const Record& link, const TestControl& control = {}, QString* serial = nullptr);
constexpr int kBluetoothAttempts = 11;

} // namespace SourceLinks
