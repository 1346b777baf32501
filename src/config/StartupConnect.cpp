#include "StartupConnect.h"

#include "ChannelModel.h"
#include "Collection.h"
#include "DeviceRegistry.h"
#include "SystemContext.h"
#include "Tool.h"

#include <QCoreApplication>
#include <QThread>
#include <QtDebug>

struct StartupConnect::Entry
{
    Tool::Struct_AcquisitionDevice record;
    DeviceRegistry::TestInputs inputs;
    Collection* driver = nullptr;
};

StartupConnect::StartupConnect(SystemContext* context, QObject* parent) : QObject(parent), m_context(context)
{
    connect(this, &StartupConnect::Tested_signals, this, &StartupConnect::Tested_slots, Qt::QueuedConnection);
}

StartupConnect::~StartupConnect()
{
    // The drivers' links run on this thread: keep them served until the worker is done.
    while (m_worker && m_worker->isRunning()) {
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents, 20);
        QThread::msleep(5);
    }
    delete m_worker;
    for (Entry* e : qAsConst(m_entries)) {
        delete e->driver;
        delete e;
    }
}

void StartupConnect::start()
{
    QList<Tool::Struct_AcquisitionDevice> devices;
    if (!m_context || !Tool::getAcquisitionDevice(devices, QString()) || devices.isEmpty()) {
        emit finished();
        return;
    }
    for (const Tool::Struct_AcquisitionDevice& d : qAsConst(devices)) {
        auto* e = new Entry;
        e->record = d;
        e->inputs.rate = d.ScanRate;
        e->inputs.link = d.SignalMode;
        e->inputs.address = d.IP_COM;
        e->inputs.port = d.Port_BaudRate;
        e->inputs.interval = d.ScanInterval;
        QList<Tool::Struct_ChannelConfig> configs;
        if (Tool::getChannelConfig(configs, d.ChannelConfig) && !configs.isEmpty())
            e->inputs.config = configs.first();
        e->driver = ChannelModel::createCollection(d.Mode);
        m_entries << e;
    }
    m_running = true;
    m_pending = m_entries.size();
    const QList<Entry*> entries = m_entries;
    m_worker = QThread::create([this, entries] {
        for (int i = 0; i < entries.size(); ++i) {
            const DeviceRegistry::TestResult r = DeviceRegistry::runTest(entries.at(i)->driver, entries.at(i)->inputs);
            emit Tested_signals(i, r.ok, r.serialNumber);
        }
    });
    m_worker->start();
}

void StartupConnect::Tested_slots(int index, bool ok, QString serialNumber)
{
    const Entry* e = m_entries.value(index);
    if (e && m_context) {
        if (ok) {
            Tool::Struct_AcquisitionDevice record = e->record;
            if (!serialNumber.isEmpty())
                record.SerialNumber = serialNumber;
            DeviceRegistry::markConnected(m_context->ConnectedDevices, record);
            qInfo().noquote() << "Device" << record.Number << record.Mode << "connected at start-up";
        } else {
            qWarning().noquote() << "Device" << e->record.Number << e->record.Mode << "did not pass its start-up test";
        }
    }
    if (--m_pending == 0) {
        m_running = false;
        emit finished();
    }
}
