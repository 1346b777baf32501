#include "BlePlatform.h"

#include "QtBlePlatform.h"
#include "SimulatorBlePlatform.h"

#include <QCoreApplication>
#include <QDebug>
#include <QElapsedTimer>
#include <QThread>

#include <atomic>
#include <mutex>

namespace {

std::mutex g_Mutex; // guards g_Platform
std::shared_ptr<BlePlatform> g_Platform;

} // namespace

std::shared_ptr<BlePlatform> BlePlatform::instance()
{
    std::lock_guard<std::mutex> lock(g_Mutex);
    if (g_Platform)
        return g_Platform;
    const QString endpoints = qEnvironmentVariable("ARQ_BLE_SIMULATOR").trimmed();
    if (!endpoints.isEmpty()) {
        auto simulator = std::make_shared<SimulatorBlePlatform>();
        if (simulator->setEndpoints(endpoints)) {
            g_Platform = simulator;
            return g_Platform;
        }
        qWarning() << "ARQ_BLE_SIMULATOR names no HOST:PORT endpoint:" << endpoints;
    }
    g_Platform = std::make_shared<QtBlePlatform>();
    return g_Platform;
}

void BlePlatform::setInstance(std::shared_ptr<BlePlatform> platform)
{
    std::lock_guard<std::mutex> lock(g_Mutex);
    g_Platform = std::move(platform);
}

bool BlePlatform::useSimulator(const QString& endpoints)
{
    auto simulator = std::make_shared<SimulatorBlePlatform>();
    if (!simulator->setEndpoints(endpoints))
        return false;
    setInstance(simulator);
    return true;
}

bool BlePlatform::simulatorChosen()
{
    return dynamic_cast<SimulatorBlePlatform*>(instance().get()) != nullptr;
}

bool BlePlatform::referenceUsable()
{
    const std::shared_ptr<BlePlatform> platform = instance();
    if (dynamic_cast<SimulatorBlePlatform*>(platform.get()))
        return true;
    const BleAdapterStatus status = platform->adapterStatus();
    if (status.state == BleAdapterStatus::Unlisted)
        return platform->discover(kProbeDiscoveryMs, [](const BleAdvertisement&) {});
    return status.usable();
}

bool BlePlatform::waitUntil(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    const bool guiThread =
        QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread();
    while (!done()) {
        if (timer.elapsed() >= timeoutMs)
            return done();
        if (guiThread)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        QThread::msleep(1);
    }
    return true;
}

bool BleConnection::writeAndWait(const QString& service, const QString& characteristic, const QByteArray& bytes,
                                 int timeoutMs, QString* error)
{
    // Shared with the callback, which may come after a time-out.
    struct Result
    {
        std::atomic<int> state{0}; // 0 pending, 1 ok, 2 failed
        std::mutex mutex;
        QString error;
    };
    auto result = std::make_shared<Result>();
    write(service, characteristic, bytes, [result](bool ok, const QString& message) {
        {
            std::lock_guard<std::mutex> lock(result->mutex);
            result->error = message;
        }
        result->state = ok ? 1 : 2;
    });
    const bool finished = BlePlatform::waitUntil([&] { return result->state.load() != 0; }, timeoutMs);
    if (error) {
        std::lock_guard<std::mutex> lock(result->mutex);
        *error = finished ? result->error : QStringLiteral("write timed out");
    }
    return result->state.load() == 1;
}

BleThreadContext::~BleThreadContext()
{
    // Taken once more so the thread's last drain is ordered before the
    // destruction for ThreadSanitizer too (QThread::wait is invisible to it).
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Work.clear();
}

void BleThreadContext::post(std::function<void()> work)
{
    {
        std::lock_guard<std::mutex> lock(m_Mutex);
        m_Work.push_back(std::move(work));
    }
    QMetaObject::invokeMethod(this, "drain", Qt::QueuedConnection);
}

void BleThreadContext::drain()
{
    for (;;) {
        std::function<void()> work;
        {
            std::lock_guard<std::mutex> lock(m_Mutex);
            if (m_Work.empty())
                return;
            work = std::move(m_Work.front());
            m_Work.pop_front();
        }
        work();
    }
}
