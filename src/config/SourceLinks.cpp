#include "SourceLinks.h"

#include "Criteria.h"
#include "CriteriaKorva5310.h"
#include "Device.h"
#include "FieldDry.h"
#include "FieldTank.h"

namespace SourceLinks {

namespace {
const QString kSerial = QStringLiteral("串口");
const QString kNetwork = QStringLiteral("网络");
const QString kBluetooth = QStringLiteral("蓝牙");
const QString kThermometer = QStringLiteral("KORVA 5310A");
} // namespace

QStringList linkKinds(const QString& kind)
{
    if (kind == QStringLiteral("油槽") || kind == QStringLiteral("油槽-R"))
        return {kSerial};
    if (kind == QStringLiteral("干式炉") || kind == QStringLiteral("干式炉-R"))
        return {kSerial, kNetwork};
    if (kind == kThermometer)
        return {kBluetooth};
    return {QStringLiteral("手动")};
}

Device* createDriver(const QString& kind, QObject* parent)
{
    if (kind == QStringLiteral("油槽"))
        return new FieldTank(parent);
    if (kind == QStringLiteral("油槽-R"))
        return new FieldTankR(parent);
    if (kind == QStringLiteral("干式炉"))
        return new FieldDry(parent);
    if (kind == QStringLiteral("干式炉-R"))
        return new FieldDryR(parent);
    if (kind == kThermometer)
        return new CriteriaKorva5310(parent);
    return nullptr;
}

Field* createSource(const QString& kind, QObject* parent)
{
    if (kind == QStringLiteral("油槽") || kind == QStringLiteral("油槽-R") || kind == QStringLiteral("干式炉")
        || kind == QStringLiteral("干式炉-R"))
        return static_cast<Field*>(createDriver(kind, parent));
    return nullptr;
}

Criteria* createReference(const QString& kind, Field* source, QObject* parent)
{
    if (kind == QStringLiteral("油槽-R") || kind == QStringLiteral("干式炉-R"))
        return source ? new Criteria(source, parent) : nullptr;
    if (kind == kThermometer)
        return new CriteriaKorva5310(parent);
    return nullptr;
}

TestResult runTest(Device* driver, const Record& link, const TestControl& control, QString* serialOut)
{
    auto cancelled = [&control] { return control.cancelled && control.cancelled(); };
    // The thermometer's Open waits up to 20 s; it asks too, at each of its waits.
    auto* thermometer = qobject_cast<CriteriaKorva5310*>(driver);
    if (thermometer)
        thermometer->SetStopRequest(control.cancelled);
    struct Reset
    {
        CriteriaKorva5310* driver;
        ~Reset()
        {
            if (driver)
                driver->SetStopRequest({});
        }
    } reset{thermometer};

    const int attempts = link.Mode == kBluetooth ? kBluetoothAttempts : 1;
    bool open = false;
    for (int attempt = 1; attempt <= attempts && !open; ++attempt) {
        if (attempt > 1) {
            for (int i = 0; i < 10 && !cancelled(); ++i)
                Device::Delay(100);
        }
        if (cancelled())
            return TestResult::Cancelled;
        if (control.attempt)
            control.attempt(attempt, attempts);
        open = driver->Open(link.Mode, link.Address, link.Port);
    }
    if (!open)
        return cancelled() ? TestResult::Cancelled : TestResult::NotConnected;
    QString serial;
    const bool ok = driver->GetSerialNumber(serial);
    driver->Close();
    if (ok && serialOut)
        *serialOut = serial.trimmed();
    return ok ? TestResult::Passed : TestResult::NoSerialNumber;
}

} // namespace SourceLinks
