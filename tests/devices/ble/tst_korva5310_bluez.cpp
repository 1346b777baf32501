// The 5310A driver through Qt Bluetooth's own BlueZ backend, as the program
// runs it on a Linux lab PC: this process's system bus is a private
// dbus-daemon, and a scripted bluetoothd (bluez_script.py, a process of its
// own) plays the adapter, the thermometer and its neighbours.

#include "CriteriaKorva5310.h"
#include "QtBlePlatform.h"
#include "ScriptedBluez.h"
#include "TestPeer.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QMutex>
#include <QtTest>

#include <atomic>
#include <cmath>
#include <thread>

namespace {

// The driver's own waits (the 5 s before a connection, the 15 s for it,
// the 1 s scan) a quarter as long; Qt's and the script's run at full speed.
constexpr double kScale = 0.25;

QMutex g_LogMutex;
QStringList g_QtLog; // what Qt Bluetooth said, for the backend check
QtMessageHandler g_Previous = nullptr;

void collectQtBluetooth(QtMsgType type, const QMessageLogContext& context, const QString& text)
{
    const QLatin1String category(context.category ? context.category : "");
    if (category.startsWith(QLatin1String("qt.bluetooth"))) {
        QMutexLocker lock(&g_LogMutex);
        g_QtLog << text;
        if (type == QtDebugMsg)
            return; // asked for the version line only
    }
    g_Previous(type, context, text);
}

QStringList qtLog()
{
    QMutexLocker lock(&g_LogMutex);
    return g_QtLog;
}

QVariantMap options(std::initializer_list<std::pair<const char*, QVariant>> list)
{
    QVariantMap map;
    for (const auto& item : list)
        map.insert(QString::fromLatin1(item.first), item.second);
    return map;
}

// Readings 20.5, 21.0, … (exact as floats), one each period.
QVariantList ladder()
{
    QVariantList values;
    for (int i = 1; i <= 60; ++i)
        values << 20.0 + 0.5 * i;
    return values;
}

// Runs `work` on a worker thread while the event loop turns, and tells how long it took.
template <typename F>
bool timed(F work, qint64* ms)
{
    QElapsedTimer t;
    t.start();
    const bool ok = inWorker(work);
    *ms = t.elapsed();
    return ok;
}

} // namespace

class TestKorva5310Bluez : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void backendIsBluezOverDBus();
    void sessionThroughBluez();
    void linkLossFailsAtOnce_data();
    void linkLossFailsAtOnce();
    void faultsEndInFailure_data();
    void faultsEndInFailure();
    void forgottenDeviceIsSearchedAgain();
    void adapterAndDeviceVariants_data();
    void adapterAndDeviceVariants();
    void closeOrDestroyAtEveryStep_data();
    void closeOrDestroyAtEveryStep();
    void platformConnectionEdges_data();
    void platformConnectionEdges();

private:
    bool openThermometer(CriteriaKorva5310& driver);
    ScriptedBluez m_Bluez;
};

void TestKorva5310Bluez::initTestCase()
{
    ARQ_REQUIRE(ScriptedBluez::available(), "dbus-daemon, python3-dbus and python3-gi");
    qunsetenv("ARQ_BLE_SIMULATOR");
    qunsetenv("BLUETOOTH_FORCE_DBUS_LE_VERSION"); // the version must come from the daemon
    g_Previous = qInstallMessageHandler(collectQtBluetooth);
    QLoggingCategory::setFilterRules(QStringLiteral("qt.bluetooth.bluez.debug=true"));
    QVERIFY2(m_Bluez.start(), qPrintable(m_Bluez.errors()));
}

void TestKorva5310Bluez::init()
{
    Device::setTimeScale(kScale);
    QVERIFY(m_Bluez.configure());
}

void TestKorva5310Bluez::cleanup()
{
    Device::setTimeScale(1.0);
}

void TestKorva5310Bluez::cleanupTestCase()
{
    BlePlatform::setInstance(nullptr);
    QLoggingCategory::setFilterRules(QString());
    m_Bluez.stop();
    if (g_Previous)
        qInstallMessageHandler(g_Previous);
}

bool TestKorva5310Bluez::openThermometer(CriteriaKorva5310& driver)
{
    return inWorker([&] { return driver.Open(QStringLiteral("蓝牙"), QStringLiteral("5310A-00123"), QString()); });
}

void TestKorva5310Bluez::backendIsBluezOverDBus()
{
    // The program's platform: Qt Bluetooth, on the adapter the script offers.
    const std::shared_ptr<BlePlatform> platform = BlePlatform::instance();
    QCOMPARE(platform->name(), QStringLiteral("Qt Bluetooth"));
    QVERIFY(BlePlatform::referenceUsable());
    QVERIFY(platform->adapterStatus().usable());

    CriteriaKorva5310 driver;
    QVERIFY(openThermometer(driver));
    // Qt asked the daemon its version (its executable, run with --version)
    // and took the D-Bus GATT path that bluetoothd ≥ 5.42 offers, not the
    // kernel's ATT sockets.
    const QStringList log = qtLog();
    QVERIFY2(log.contains(QStringLiteral("Bluetoothd: \"5.66\"")) || log.contains(QStringLiteral("Bluetoothd: 5.66")),
             qPrintable(log.join('\n')));
    QVERIFY2(log.contains(QStringLiteral("Using BlueZ LE DBus API")), qPrintable(log.join('\n')));
    QVERIFY(!log.contains(QStringLiteral("Using BlueZ kernel ATT interface")));
    QVERIFY(inWorker([&] { return driver.Close(); }));
    // The discovery asked for LE devices only.
    QCOMPARE(m_Bluez.state("filter").toString(), QStringLiteral("le"));
}

void TestKorva5310Bluez::sessionThroughBluez()
{
    // Two frames a notification (the other tests get them split 20 + 4);
    // the read|notify near miss refuses reads, and Qt's discovery goes on past it.
    QVERIFY(m_Bluez.configure(options(
        {{"readings", ladder()}, {"garbage", 2}, {"frames", "double"}, {"read_fail", "ffe3:NotPermitted"}})));
    CriteriaKorva5310 driver;

    // First scan: both thermometers advertise; the foreign device never counts.
    QStringList names;
    QVERIFY(inWorker([&] { return driver.PortList(names); }));
    names.sort();
    QCOMPARE(names, (QStringList{"5310A-00123", "5310A-00456"}));
    QCOMPARE(CriteriaKorva5310::FoundIds().size(), 2);
    QVERIFY(CriteriaKorva5310::FoundIds().contains(QStringLiteral("C0:53:10:00:01:23")));
    // Second scan: 5310A-00456 is silent. BlueZ still lists it from its
    // cache, without signal strength, and it is not offered.
    QVERIFY(inWorker([&] { return driver.PortList(names); }));
    QCOMPARE(names, QStringList{"5310A-00123"});
    QVERIFY(m_Bluez.state("known").toStringList().contains(QStringLiteral("5310A-00456")));

    // Open: connected, both characteristics taken, notifications on.
    QVERIFY(openThermometer(driver));
    QCOMPARE(driver.Progress(), 1);
    QVERIFY(driver.IsOpen());
    QVERIFY(CriteriaKorva5310::LinkUp());
    QVariantMap s = m_Bluez.state();
    QVERIFY(s.value("connected").toBool());
    QVERIFY(s.value("notifying").toBool());
    QString serial;
    QVERIFY(driver.GetSerialNumber(serial));
    QCOMPARE(serial, QStringLiteral("5310A-00123"));

    // Start, then readings as the script sends them (two frames of another
    // kind first). Writes go as requests, as the write property allows.
    QVERIFY(inWorker([&] { return driver.SetChannel(Device::Channel()); }));
    QCOMPARE(m_Bluez.state("writes").toStringList(), QStringList{"0405020003"});
    QCOMPARE(m_Bluez.state("write_types").toStringList(), QStringList{"request"});
    QCOMPARE(m_Bluez.state("mtu").toInt(), 247);
    QVERIFY(m_Bluez.state("measuring").toBool());
    const QVariantList sent = ladder();
    QList<double> read;
    for (int i = 0; i < 3; ++i) {
        double value = 0;
        QVERIFY(inWorker([&] { return driver.ReadTemperature(value); }));
        read << value;
    }
    for (int i = 0; i < read.size(); ++i) {
        QVERIFY2(sent.contains(read[i]), qPrintable(QString::number(read[i], 'g', 10)));
        if (i > 0) // each a later reading than the one before
            QVERIFY2(read[i] > read[i - 1], qPrintable(QString::number(read[i])));
    }
    QVERIFY(read.first() >= 21.0); // the first frame seen only ends the first pass
    QVERIFY(m_Bluez.state("frames").toInt() >= 2 + 3 * 2);
    // The later frame of each notification is the reading: the ladder's odd steps.
    for (double r : read)
        QVERIFY2(std::fmod(r * 2.0, 2.0) == 0.0, qPrintable(QString::number(r, 'g', 10)));

    // The thermometer ignores a command with a bad checksum; the write itself succeeds.
    QVERIFY(inWorker([&] { return driver.Write(QStringLiteral("0405020004")); }));

    QVERIFY(inWorker([&] { return driver.Close(); }));
    s = m_Bluez.state();
    QCOMPARE(s.value("writes").toStringList(),
             (QStringList{"0405020003", "0405020004 (bad checksum)", "0405010101"}));
    QVERIFY(!s.value("measuring").toBool());
    QVERIFY(m_Bluez.waitFor([](const QVariantMap& st) { return !st.value("connected").toBool(); }, 3000));
    QVERIFY(m_Bluez.state("disconnects").toInt() >= 1); // Qt asks once more as it deletes its controller
    QCOMPARE(driver.Progress(), 0);
    QVERIFY(!CriteriaKorva5310::LinkUp());
}

void TestKorva5310Bluez::linkLossFailsAtOnce_data()
{
    // What takes the link, and what the driver waits for meanwhile.
    QTest::addColumn<QString>("loss");
    QTest::addColumn<QString>("waiting");
    QTest::newRow("out of range while reading") << "range" << "reading";
    QTest::newRow("out of range while writing") << "range" << "writing";
    QTest::newRow("bluetoothd restarts while reading") << "restart" << "reading";
    QTest::newRow("adapter removed while reading") << "adapter" << "reading";
}

void TestKorva5310Bluez::linkLossFailsAtOnce()
{
    QFETCH(QString, loss);
    QFETCH(QString, waiting);
    const bool writing = waiting == QLatin1String("writing");
    QVERIFY(m_Bluez.configure(options({{"readings", ladder()}})));
    CriteriaKorva5310 driver;
    QVERIFY(openThermometer(driver));
    QVERIFY(inWorker([&] { return driver.SetChannel(Device::Channel()); }));
    double value = 0;
    QVERIFY(inWorker([&] { return driver.ReadTemperature(value); }));
    // No frame from now on, so the awaited reading cannot come before the
    // loss; and the thermometer's answer to the next write is held.
    QVERIFY(m_Bluez.tune(options({{"silent", true}, {"stall", "write"}, {"stall_ms", 3000}})));

    // The link goes while a reading (or a write's answer) is awaited.
    std::atomic<bool> done{false}, result{true};
    std::atomic<qint64> endedAt{0};
    QElapsedTimer t;
    t.start();
    std::thread waiter([&] {
        result = writing ? driver.Write(CriteriaKorva5310::StartCommand()) : driver.ReadTemperature(value);
        endedAt = t.elapsed();
        done = true;
    });
    if (writing)
        QVERIFY(m_Bluez.waitFor([](const QVariantMap& st) { return st.value("stalled").toString() == "write"; }, 3000));
    else
        spin(300);
    const qint64 droppedAt = t.elapsed();
    if (loss == QLatin1String("range"))
        QVERIFY(m_Bluez.dropLink());
    else if (loss == QLatin1String("restart"))
        QVERIFY(m_Bluez.vanish(800));
    else
        QVERIFY(m_Bluez.removeAdapter());
    while (!done)
        spin(10);
    waiter.join();
    QVERIFY(!result);
    QVERIFY2(endedAt - droppedAt < 800, qPrintable(QString::number(endedAt - droppedAt)));
    QTRY_VERIFY_WITH_TIMEOUT(!CriteriaKorva5310::LinkUp(), 500); // a failed write may be told first
    QVERIFY(!driver.IsOpen());
    qint64 ms = 0;
    QVERIFY(!timed([&] { return driver.ReadTemperature(value); }, &ms));
    QVERIFY2(ms < 800, qPrintable(QString::number(ms)));
    QVERIFY(!timed([&] { return driver.Write(CriteriaKorva5310::StartCommand()); }, &ms));
    QVERIFY2(ms < 800, qPrintable(QString::number(ms)));
    if (writing) {
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^写入数据失败:")));
        inWorker([&] { return driver.Close(); });
        return;
    }
    // Reconnect brings the link back: in range again, or bluetoothd back
    // (it knows no device then: the first Open fails, the second searches).
    // Without an adapter it gives up. The driver's waits a tenth as long
    // from here (a twentieth for the one that fails).
    Device::setTimeScale(0.1);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^蓝牙连接中断，重新连接")));
    if (loss == QLatin1String("adapter")) {
        Device::setTimeScale(0.05);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^蓝牙重新连接失败")));
        QVERIFY(!inWorker([&] { return driver.Reconnect(); }));
        return;
    }
    if (loss == QLatin1String("restart")) {
        QVERIFY(m_Bluez.waitFor([](const QVariantMap& st) { return st.value("owned").toBool(); }, 3000));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^蓝牙异常")));
    }
    QVERIFY(m_Bluez.tune(options({{"silent", false}, {"stall", QString()}})));
    QVERIFY(inWorker([&] { return driver.Reconnect(); }));
    QVERIFY(m_Bluez.state("measuring").toBool());
    QVERIFY(inWorker([&] { return driver.ReadTemperature(value); }));
    QVERIFY(!inWorker([&] { return driver.Reconnect(); })); // nothing to bring back
    QVERIFY(inWorker([&] { return driver.Close(); }));
}

void TestKorva5310Bluez::faultsEndInFailure_data()
{
    QTest::addColumn<QVariantMap>("script");
    QTest::addColumn<int>("progress"); // where the driver's failure leaves it, once its close has run
    QTest::addColumn<bool>("forgotten"); // the found lists emptied for a new search
    QTest::addColumn<int>("withinMs");
    QTest::addColumn<QString>("dropWhenHeld"); // the held step during which the link goes
    // The driver's 5 s pre-wait is 1.25 s here; its 15 s connection wait 3.75 s.
    QTest::newRow("connection refused") << options({{"connect", "refuse"}}) << -1 << true << 3000 << QString();
    QTest::newRow("link lost while the services are read")
        << options({{"connect", "drop"}}) << -1 << true << 3000 << QString();
    QTest::newRow("link lost while the characteristics are read")
        << options({{"stall", "read"}, {"stall_ms", 4000}}) << 0 << false << 3000 << "read";
    QTest::newRow("link lost while notifications are enabled")
        << options({{"stall", "notify"}, {"stall_ms", 4000}}) << 0 << false << 3000 << "notify";
    QTest::newRow("no thermometer services") << options({{"services", "none"}}) << 0 << false << 3000 << QString();
    // Qt never finishes a service whose last initial read fails: the GATT wait (2.5 s here) ends it.
    QTest::newRow("read of the write service's near miss fails")
        << options({{"read_fail", "ffea:Failed"}}) << 0 << false << 6000 << QString();
    QTest::newRow("thermometer out of reach")
        << options({{"reachable", false}, {"le_timeout_ms", 1500}}) << -1 << true << 4000 << QString();
}

void TestKorva5310Bluez::faultsEndInFailure()
{
    QFETCH(QVariantMap, script);
    QFETCH(int, progress);
    QFETCH(bool, forgotten);
    QFETCH(int, withinMs);
    QFETCH(QString, dropWhenHeld);
    // Out of reach: seen by the search, silent by the time of the connection.
    QVariantMap later = script;
    const bool reachableLater = !later.take(QStringLiteral("reachable")).isValid();
    QVERIFY(m_Bluez.configure(later));
    CriteriaKorva5310 driver;
    QStringList names;
    QVERIFY(inWorker([&] { return driver.PortList(names); }));
    QVERIFY(names.contains(QStringLiteral("5310A-00123")));
    if (!reachableLater)
        QVERIFY(m_Bluez.tune(options({{"reachable", false}})));

    if (forgotten)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^蓝牙异常")));
    qint64 ms = 0;
    if (dropWhenHeld.isEmpty()) {
        QVERIFY(!timed([&] { return driver.Open(QStringLiteral("蓝牙"), QStringLiteral("5310A-00123"), QString()); },
                       &ms));
    } else {
        // The link goes while the script holds that step.
        std::atomic<bool> opened{true}, done{false};
        QElapsedTimer t;
        t.start();
        std::thread worker([&] {
            opened = driver.Open(QStringLiteral("蓝牙"), QStringLiteral("5310A-00123"), QString());
            ms = t.elapsed();
            done = true;
        });
        const bool held = m_Bluez.waitFor(
            [&](const QVariantMap& st) { return st.value("stalled").toString() == dropWhenHeld; }, 6000);
        m_Bluez.dropLink();
        while (!done)
            spin(10);
        worker.join();
        QVERIFY(held);
        QVERIFY(!opened);
    }
    QVERIFY2(ms < withinMs, qPrintable(QString::number(ms)));
    QVERIFY(m_Bluez.state("connects").toInt() >= 1);
    spin(200); // the close Open asked for on its way out
    QCOMPARE(driver.Progress(), progress);
    QVERIFY(!driver.IsOpen());
    QCOMPARE(CriteriaKorva5310::FoundNames().isEmpty(), forgotten);
    double value = 0;
    QVERIFY(!inWorker([&] { return driver.ReadTemperature(value); }));
    // Nothing left connected.
    QVERIFY(m_Bluez.waitFor([](const QVariantMap& s) { return !s.value("connected").toBool(); }, 3000));
}

void TestKorva5310Bluez::forgottenDeviceIsSearchedAgain()
{
    // bluetoothd forgets an unpaired device a while after the scan that saw
    // it (30 s by default; 300 ms here).
    QVERIFY(m_Bluez.configure(options({{"temporary_ms", 300}})));
    CriteriaKorva5310 driver;
    QStringList names;
    QVERIFY(inWorker([&] { return driver.PortList(names); }));
    QVERIFY(m_Bluez.waitFor([](const QVariantMap& s) { return s.value("known").toStringList().isEmpty(); }, 3000));

    // The found list still names it: the connection fails, and the list is emptied.
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^蓝牙异常")));
    QVERIFY(!openThermometer(driver));
    QCOMPARE(m_Bluez.state("connects").toInt(), 0); // Qt found no device to connect to
    QVERIFY(CriteriaKorva5310::FoundNames().isEmpty());

    // The next Open searches again and connects.
    const int scans = m_Bluez.state("scans").toInt();
    QVERIFY(openThermometer(driver));
    QCOMPARE(m_Bluez.state("scans").toInt(), scans + 1);
    QCOMPARE(driver.Progress(), 1);
    QVERIFY(inWorker([&] { return driver.Close(); }));
    // Once connected it is no temporary device any more: bluetoothd keeps it.
    spin(600);
    QVERIFY(m_Bluez.state("known").toStringList().contains(QStringLiteral("5310A-00123")));
}

void TestKorva5310Bluez::adapterAndDeviceVariants_data()
{
    // What bluetoothd shows besides the usual: the driver searches and
    // opens alike, or refuses a radio that is off.
    QTest::addColumn<QVariantMap>("script");
    QTest::addColumn<bool>("usable");
    QTest::newRow("static random address") << options({{"address_type", "random"}}) << true;
    QTest::newRow("dual-mode device with a Class") << options({{"class", 0x240404}}) << true;
    QTest::newRow("Discovering left true after a scan") << options({{"stuck_discovering", true}}) << true;
    QTest::newRow("adapter powered off") << options({{"powered", false}}) << false;
}

void TestKorva5310Bluez::adapterAndDeviceVariants()
{
    QFETCH(QVariantMap, script);
    QFETCH(bool, usable);
    QVERIFY(m_Bluez.configure(script));
    CriteriaKorva5310 driver;
    QStringList names;
    if (!usable)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^电脑蓝牙状态")));
    QCOMPARE(inWorker([&] { return driver.PortList(names); }), usable);
    if (!usable) {
        QCOMPARE(m_Bluez.state("scans").toInt(), 0);
        QVERIFY(!BlePlatform::referenceUsable());
        return;
    }
    QVERIFY(names.contains(QStringLiteral("5310A-00123")));
    // A second search finds it too (the first may have left Discovering set).
    QVERIFY(inWorker([&] { return driver.PortList(names); }));
    QVERIFY(names.contains(QStringLiteral("5310A-00123")));
    QCOMPARE(m_Bluez.state("discovery_clients").toInt(), 0);
    QVERIFY(openThermometer(driver));
    QVERIFY(inWorker([&] { return driver.Close(); }));
}

void TestKorva5310Bluez::closeOrDestroyAtEveryStep_data()
{
    // The step the script holds for a while, and what the program does
    // meanwhile: gives up the Open and closes the driver, destroys it, or
    // drops its platform too. Whatever the step, the link must end closed.
    QTest::addColumn<QString>("step");
    QTest::addColumn<QString>("action");
    QTest::newRow("connecting, closed") << "connect" << "close";
    QTest::newRow("connecting, destroyed") << "connect" << "destroy";
    QTest::newRow("connecting, platform destroyed") << "connect" << "platform";
    QTest::newRow("resolving services, destroyed") << "services" << "destroy";
    QTest::newRow("enabling notifications, closed") << "notify" << "close";
    QTest::newRow("enabling notifications, destroyed") << "notify" << "destroy";
    QTest::newRow("writing, destroyed") << "write" << "destroy";
    QTest::newRow("reading, destroyed") << "reading" << "destroy";
    QTest::newRow("reading, platform destroyed") << "reading" << "platform";
}

void TestKorva5310Bluez::closeOrDestroyAtEveryStep()
{
    QFETCH(QString, step);
    QFETCH(QString, action);
    // The driver's waits a tenth as long here: a write waits 1 s, which
    // the held write outlasts.
    Device::setTimeScale(0.1);
    const int holdMs = 1500;
    QVERIFY(m_Bluez.configure(options({{"stall", step == "reading" ? QString() : step}, {"stall_ms", holdMs}})));
    std::shared_ptr<BlePlatform> platform =
        action == QLatin1String("platform") ? std::make_shared<QtBlePlatform>() : BlePlatform::instance();
    auto driver = std::make_unique<CriteriaKorva5310>(platform);
    std::atomic<bool> stop{false};
    driver->SetStopRequest([&stop] { return stop.load(); });
    QStringList names;
    QVERIFY(inWorker([&] { return driver->PortList(names); }));

    if (step == QLatin1String("write") || step == QLatin1String("reading")) {
        QVERIFY(openThermometer(*driver));
        const bool started = inWorker([&] { return driver->SetChannel(Device::Channel()); });
        QCOMPARE(started, step == QLatin1String("reading")); // the held write timed out
        if (step == QLatin1String("reading"))
            QVERIFY(m_Bluez.waitFor([](const QVariantMap& s) { return s.value("frames").toInt() >= 2; }, 3000));
        else
            QCOMPARE(m_Bluez.state("stalled").toString(), step);
    } else {
        // Open on a worker; once the script holds the step, the program gives up.
        std::atomic<bool> opened{true}, done{false};
        std::thread worker([&] {
            opened = driver->Open(QStringLiteral("蓝牙"), QStringLiteral("5310A-00123"), QString());
            done = true;
        });
        const bool held =
            m_Bluez.waitFor([&](const QVariantMap& s) { return s.value("stalled").toString() == step; }, 6000);
        stop = true;
        while (!done)
            spin(10);
        worker.join();
        QVERIFY(held);
        QVERIFY(!opened);
    }

    if (action == QLatin1String("close")) {
        inWorker([&] { return driver->Close(); });
        driver.reset();
    } else {
        driver.reset();
        if (action == QLatin1String("platform"))
            platform.reset(); // a connection thread at work still holds it
    }
    // The held step completes into nothing: the link is let go, nothing crashes.
    QVERIFY(m_Bluez.waitFor(
        [](const QVariantMap& s) { return s.value("stalled").toString().isEmpty() && !s.value("connected").toBool(); },
        holdMs + 5000));
    spin(500); // late callbacks
    QVERIFY(!m_Bluez.state("connected").toBool());
    QVERIFY(!CriteriaKorva5310::LinkUp());

    // The stack is still usable afterwards.
    QVERIFY(m_Bluez.configure());
    platform.reset();
    CriteriaKorva5310 next;
    QVERIFY(openThermometer(next));
    QVERIFY(inWorker([&] { return next.Close(); }));
}

void TestKorva5310Bluez::platformConnectionEdges_data()
{
    QTest::addColumn<QString>("edge");
    QTest::newRow("link lost as soon as it is up") << "lost";
    QTest::newRow("caller gave up before the work ran") << "abandoned";
    QTest::newRow("failed write command before a request") << "command";
}

void TestKorva5310Bluez::platformConnectionEdges()
{
    // QtBlePlatform on its own, where its calls meet Qt's callbacks.
    QFETCH(QString, edge);
    const QString id = QStringLiteral("C0:53:10:00:01:23");
    const QString writeService = QStringLiteral("0000ffe5-0000-1000-8000-00805f9b34fb");
    if (edge == QLatin1String("command"))
        QVERIFY(m_Bluez.configure(options({{"command_char", true}, {"write_fail", "ffeb"}})));
    QtBlePlatform platform;
    QVERIFY(inWorker([&] { return platform.discover(300, [](const BleAdvertisement&) {}); }));
    const auto disconnected = [](const QVariantMap& st) { return !st.value("connected").toBool(); };

    if (edge == QLatin1String("lost")) {
        // Whenever the link goes, the last report says so: the first
        // "connected" never lands after it.
        for (int delay : {0, 1, 2, 3, 5, 8, 12}) {
            QVERIFY(m_Bluez.tune(options({{"drop_after_ms", delay}})));
            auto reports = std::make_shared<QList<bool>>();
            auto mutex = std::make_shared<QMutex>();
            std::unique_ptr<BleConnection> c;
            inWorker([&] {
                QString e;
                c = platform.connect(id, [reports, mutex](bool up) { QMutexLocker l(mutex.get()); *reports << up; }, &e);
                return true;
            });
            QVERIFY(m_Bluez.waitFor(disconnected, 3000));
            spin(100);
            {
                QMutexLocker l(mutex.get());
                QVERIFY2(!c || (!reports->isEmpty() && !reports->last()), qPrintable(QString::number(delay)));
            }
            if (c)
                c->close();
        }
    } else if (edge == QLatin1String("abandoned")) {
        // The platform thread is busy for longer than a connect waits (1.7 s
        // at this scale); the connect work runs later, and what it connects
        // is let go.
        Device::setTimeScale(0.1);
        platform.runOnThread([] { QThread::msleep(2500); }, 0);
        std::unique_ptr<BleConnection> c;
        QElapsedTimer t;
        t.start();
        inWorker([&] {
            QString e;
            c = platform.connect(id, [](bool) {}, &e);
            return true;
        });
        QVERIFY(!c);
        QVERIFY2(t.elapsed() < 2500, qPrintable(QString::number(t.elapsed())));
        QVERIFY(m_Bluez.waitFor([](const QVariantMap& st) { return st.value("connects").toInt() >= 1; }, 4000));
        spin(300);
        QVERIFY(m_Bluez.waitFor(disconnected, 3000));
    } else {
        // Qt reports a failed write command as a write error naming no
        // write: it is not the request waiting behind it.
        std::unique_ptr<BleConnection> c;
        inWorker([&] {
            QString e;
            c = platform.connect(id, [](bool) {}, &e);
            return true;
        });
        QVERIFY(c);
        QStringList services;
        QList<BleCharacteristic> characteristics;
        QVERIFY(inWorker([&] { return c->services(&services) && c->characteristics(writeService, &characteristics); }));
        auto command = std::make_shared<std::atomic<int>>(0), request = std::make_shared<std::atomic<int>>(0);
        c->write(writeService, QStringLiteral("0000ffeb-0000-1000-8000-00805f9b34fb"), QByteArray::fromHex("0102"),
                 [command](bool ok, const QString&) { *command = ok ? 1 : 2; });
        c->write(writeService, QStringLiteral("0000ffe9-0000-1000-8000-00805f9b34fb"),
                 QByteArray::fromHex(CriteriaKorva5310::StartCommand().toLatin1()),
                 [request](bool ok, const QString&) { *request = ok ? 1 : 2; });
        QVERIFY(BlePlatform::waitUntil([&] { return request->load() != 0; }, 3000));
        QCOMPARE(request->load(), 1);
        QCOMPARE(m_Bluez.state("write_types").toStringList(), (QStringList{"command", "request"}));
        QCOMPARE(m_Bluez.state("writes").toStringList(), QStringList{"0405020003"});
        c->close();
        QVERIFY(m_Bluez.waitFor(disconnected, 3000));
    }
}

QTEST_MAIN(TestKorva5310Bluez)
#include "tst_korva5310_bluez.moc"
