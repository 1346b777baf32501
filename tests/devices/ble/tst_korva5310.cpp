// The 5310A driver logic against an in-process fake stack: discovery filter,
// connection sequence, commands, notification frames and the reading rules.

#include "CriteriaKorva5310.h"
#include "FakeBlePlatform.h"
#include "Korva5310Frame.h"
#include "TestPeer.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QtTest>

#include <cstring>

using GattTable = QList<QPair<QString, QList<BleCharacteristic>>>;
Q_DECLARE_METATYPE(BleAdvertisement)
Q_DECLARE_METATYPE(BleCharacteristic)
Q_DECLARE_METATYPE(GattTable)

namespace {

const QString kId = QStringLiteral("C0:53:10:00:00:01");
const QString kName = QStringLiteral("5310A-00001");

BleAdvertisement advert(int type, const QString& id, const QString& name)
{
    BleAdvertisement a;
    a.type = type;
    a.address = id;
    a.id = id;
    a.name = name;
    return a;
}

QByteArray frame(float temperature, quint8 first = 0x17, quint8 second = 0x05, int size = 24)
{
    QByteArray f(size, '\x11');
    f[0] = static_cast<char>(first);
    f[1] = static_cast<char>(second);
    quint32 bits;
    std::memcpy(&bits, &temperature, 4);
    for (int i = 0; i < 4; ++i)
        f[18 + i] = static_cast<char>(bits >> (24 - 8 * i));
    return f;
}

std::shared_ptr<FakeBlePlatform> thermometerInRange()
{
    auto fake = std::make_shared<FakeBlePlatform>();
    fake->adverts << advert(0, kId, kName);
    fake->devices.insert(kId, FakeBlePlatform::thermometer());
    return fake;
}

bool openIn(CriteriaKorva5310& driver, const QString& name = kName)
{
    return inWorker([&] { return driver.Open(QString(), name, QString()); });
}

} // namespace

class TestKorva5310 : public QObject
{
    Q_OBJECT
private slots:
    void init() { Device::setTimeScale(0.02); }
    void cleanupTestCase() { Device::setTimeScale(1.0); }

    void commandsCarryTheirChecksum_data();
    void commandsCarryTheirChecksum();
    void reassembly_data();
    void reassembly();

    void portListFilter_data();
    void portListFilter();
    void portListAdapterUnusable_data();
    void portListAdapterUnusable();

    void openSelectsCharacteristics_data();
    void openSelectsCharacteristics();
    void openEmptyNameFailsAtOnce();
    void openUnknownNameFailsAfterItsWait();

    void sessionCommandsAndReading();
    void readingThatPredatesTheRequestIsNotReturned();
    void linkLossFailsReadingAtOnce();
    void lateStatusOfClosedLinkIsIgnored();

    void failedConnectSearchesAgain();
    void guiThreadNeverWaitsForTheConnectionThread();
    void lateWriteCompletionIsNotTheNextWrite();
    void stopRequestEndsOpenAtItsNextWait();
};

void TestKorva5310::commandsCarryTheirChecksum_data()
{
    QTest::addColumn<QString>("body");
    QTest::addColumn<QString>("command");
    QTest::newRow("start") << Korva5310Frame::kStartBody << "0405020003";
    QTest::newRow("stop") << Korva5310Frame::kStopBody << "0405010101";
    QTest::newRow("lower-case body") << "0a0b" << "0A0B01";
    QTest::newRow("single byte") << "FF" << "FFFF";
}

void TestKorva5310::commandsCarryTheirChecksum()
{
    QFETCH(QString, body);
    QFETCH(QString, command);
    QCOMPARE(Korva5310Frame::withChecksum(body), command);
}

void TestKorva5310::reassembly_data()
{
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<int>("readings");
    QTest::addColumn<double>("last");
    QTest::addColumn<int>("leftDigits");
    const QByteArray f = frame(25.125f);
    QTest::newRow("whole frame") << QList<QByteArray>{f} << 1 << 25.125 << 0;
    QTest::newRow("20 + 4 bytes") << QList<QByteArray>{f.left(20), f.mid(20)} << 1 << 25.125 << 0;
    QTest::newRow("1 + 23 bytes") << QList<QByteArray>{f.left(1), f.mid(1)} << 1 << 25.125 << 0;
    QTest::newRow("first part only") << QList<QByteArray>{f.left(20)} << 0 << 0.0 << 40;
    QTest::newRow("two frames, each split")
        << QList<QByteArray>{f.left(7), f.mid(7), frame(-40.5f).left(23), frame(-40.5f).mid(23)} << 2 << -40.5 << 0;
    QTest::newRow("not 17 05: discarded whole") << QList<QByteArray>{frame(30.0f, 0x16, 0x02)} << 0 << 0.0 << 0;
    QTest::newRow("not 17 05, split 20 + 4")
        << QList<QByteArray>{frame(30.0f, 0x05, 0x17).left(20), frame(30.0f, 0x05, 0x17).mid(20)} << 0 << 0.0 << 0;
    QTest::newRow("longer notification") << QList<QByteArray>{frame(1.5f, 0x17, 0x05, 40)} << 1 << 1.5 << 0;
    // A stray notification must not misalign the frames after it.
    const QByteArray stray = QByteArray::fromHex("0102030405");
    QTest::newRow("stray, then whole frame") << QList<QByteArray>{stray, f} << 1 << 25.125 << 0;
    QTest::newRow("stray, then frames split 20 + 4")
        << QList<QByteArray>{stray, f.left(20), f.mid(20), f.left(20), f.mid(20), frame(-3.5f).left(20),
                             frame(-3.5f).mid(20)}
        << 3 << -3.5 << 0;
    QTest::newRow("frame cut short, then the next frame")
        << QList<QByteArray>{f.left(20), frame(7.25f)} << 1 << 7.25 << 0;
    // Temperature bytes 20–21 are 17 05 here: the 4-byte tail continues its frame.
    QByteArray tail = f;
    tail[20] = char(0x17);
    tail[21] = 0x05;
    float tailValue = 0;
    const quint32 tailBits = quint32(quint8(tail[18])) << 24 | quint32(quint8(tail[19])) << 16 | 0x1705u;
    std::memcpy(&tailValue, &tailBits, sizeof tailValue);
    QTest::newRow("tail of a split frame starts 17 05")
        << QList<QByteArray>{tail.left(20), tail.mid(20)} << 1 << double(tailValue) << 0;
    QTest::newRow("two frames in one notification: the later one")
        << QList<QByteArray>{f + frame(-12.5f)} << 1 << -12.5 << 0;
    QTest::newRow("two frames in one, then a split one")
        << QList<QByteArray>{f + frame(-12.5f), frame(3.0f).left(20), frame(3.0f).mid(20)} << 2 << 3.0 << 0;
    QTest::newRow("NaN is no reading")
        << QList<QByteArray>{frame(std::numeric_limits<float>::quiet_NaN())} << 0 << 0.0 << 0;
}

void TestKorva5310::reassembly()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(int, readings);
    QFETCH(double, last);
    QFETCH(int, leftDigits);
    QString buffer;
    int seen = 0;
    double value = 0;
    for (const QByteArray& p : pieces)
        if (Korva5310Frame::feed(buffer, p, &value) == Korva5310Frame::Result::Reading)
            ++seen;
    QCOMPARE(seen, readings);
    if (readings > 0)
        QCOMPARE(value, last);
    QCOMPARE(buffer.size(), leftDigits);
}

void TestKorva5310::portListFilter_data()
{
    QTest::addColumn<QList<BleAdvertisement>>("adverts");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("thermometer among others")
        << QList<BleAdvertisement>{advert(0, "A", "Thermo-X"), advert(0, "B", "5310A-00007"), advert(0, "C", "")}
        << QStringList{"5310A-00007"};
    QTest::newRow("seen twice, listed once")
        << QList<BleAdvertisement>{advert(0, "B", "5310A-00007"), advert(0, "B", "5310A-00007"),
                                   advert(0, "D", "5310A-00008")}
        << QStringList{"5310A-00007", "5310A-00008"};
    QTest::newRow("connectable undirected only")
        << QList<BleAdvertisement>{advert(3, "B", "5310A-00007"), advert(1, "E", "5310A-00009"),
                                   advert(4, "F", "5310A-00010")}
        << QStringList{};
    QTest::newRow("prefix is case-sensitive and leading")
        << QList<BleAdvertisement>{advert(0, "B", "5310a-00007"), advert(0, "C", "X5310A"), advert(0, "D", "5310A")}
        << QStringList{"5310A"};
}

void TestKorva5310::portListFilter()
{
    QFETCH(QList<BleAdvertisement>, adverts);
    QFETCH(QStringList, names);
    auto fake = std::make_shared<FakeBlePlatform>();
    fake->adverts = adverts;
    CriteriaKorva5310 driver(fake);
    QStringList found{QStringLiteral("stale")};
    QVERIFY(driver.PortList(found));
    QCOMPARE(found, names);
    QCOMPARE(CriteriaKorva5310::FoundIds().size(), names.size());
}

void TestKorva5310::portListAdapterUnusable_data()
{
    QTest::addColumn<int>("state");
    QTest::addColumn<QString>("log");
    QTest::newRow("no adapter") << int(BleAdapterStatus::NoAdapter) << "windows电脑不支持ble no adapter";
    QTest::newRow("no LE") << int(BleAdapterStatus::NoLowEnergy) << "windows电脑不支持ble no adapter";
    QTest::newRow("radio off") << int(BleAdapterStatus::RadioOff) << "电脑蓝牙状态 no adapter";
}

void TestKorva5310::portListAdapterUnusable()
{
    QFETCH(int, state);
    QFETCH(QString, log);
    auto fake = std::make_shared<FakeBlePlatform>();
    fake->adapter = {BleAdapterStatus::State(state), QStringLiteral("no adapter")};
    fake->adverts << advert(0, kId, kName);
    CriteriaKorva5310 driver(fake);
    QTest::ignoreMessage(QtWarningMsg, log.toUtf8().constData());
    QStringList names;
    QVERIFY(!driver.PortList(names));
    QCOMPARE(fake->discoveries.load(), 0);
}

void TestKorva5310::openSelectsCharacteristics_data()
{
    using U = FakeBlePlatform;
    QTest::addColumn<GattTable>("services");
    QTest::addColumn<bool>("notifyFails");
    QTest::addColumn<bool>("opened");
    QTest::addColumn<QString>("notifyOn");
    QTest::addColumn<QString>("writeOn");

    QTest::newRow("exact properties win over near misses")
        << U::thermometer().services << false << true << U::uuid("ffe4") << U::uuid("ffe9");
    QTest::newRow("write service first")
        << GattTable{{U::uuid("ffe5"), {{U::uuid("ffe9"), 12}}},
                                                           {U::uuid("ffe0"), {{U::uuid("ffe4"), 16}}}}
        << false << true << U::uuid("ffe4") << U::uuid("ffe9");
    QTest::newRow("one service holds both")
        << GattTable{
               {U::uuid("ffe0"), {{U::uuid("ffe1"), 12}, {U::uuid("ffe4"), 16}, {U::uuid("ffe2"), 16}}}}
        << false << true << U::uuid("ffe4") << U::uuid("ffe1");
    QTest::newRow("other services are not searched")
        << GattTable{
               {U::uuid("180f"), {{U::uuid("2a19"), 16}}},
               {QStringLiteral("0001ffe0-0000-1000-8000-00805f9b34fb"), {{U::uuid("ffe4"), 16}}},
               {U::uuid("ffe5"), {{U::uuid("ffe9"), 12}}}}
        << false << false << QString() << QString();
    QTest::newRow("no write characteristic")
        << GattTable{{U::uuid("ffe0"), {{U::uuid("ffe4"), 16}}},
                                                           {U::uuid("ffe5"), {{U::uuid("ffe9"), 8}}}}
        << false << false << U::uuid("ffe4") << QString();
    QTest::newRow("notification refused") << U::thermometer().services << true << false << QString() << QString();
}

void TestKorva5310::openSelectsCharacteristics()
{
    QFETCH(GattTable, services);
    QFETCH(bool, notifyFails);
    QFETCH(bool, opened);
    QFETCH(QString, notifyOn);
    QFETCH(QString, writeOn);
    auto fake = thermometerInRange();
    fake->devices[kId].services = services;
    fake->devices[kId].notifyFails = notifyFails;
    CriteriaKorva5310 driver(fake);
    QCOMPARE(openIn(driver), opened);
    QCOMPARE(driver.IsOpen(), opened);
    QCOMPARE(fake->notifyCharacteristic(), notifyOn);
    if (opened) {
        QCOMPARE(driver.Progress(), 1);
        QVERIFY(inWorker([&] { return driver.Write(QStringLiteral("0102")); }));
        QCOMPARE(fake->writes(), QStringList{writeOn + QStringLiteral(" 0102")});
    } else {
        QVERIFY(driver.Progress() != 3 && driver.Progress() != 1);
        QVERIFY(!inWorker([&] { return driver.Write(QStringLiteral("0102")); }));
        QVERIFY(fake->writes().isEmpty());
    }
    // Open gave up through Close_signals: nothing stays connected.
    if (!opened)
        QTRY_COMPARE_WITH_TIMEOUT(fake->closes(), 1, 2000);
}

void TestKorva5310::openEmptyNameFailsAtOnce()
{
    Device::setTimeScale(1.0);
    auto fake = thermometerInRange();
    CriteriaKorva5310 driver(fake);
    QElapsedTimer t;
    t.start();
    QVERIFY(!openIn(driver, QString()));
    QVERIFY2(t.elapsed() < 500, qPrintable(QString::number(t.elapsed())));
    QCOMPARE(fake->discoveries.load(), 0);
}

void TestKorva5310::openUnknownNameFailsAfterItsWait()
{
    Device::setTimeScale(0.05);
    auto fake = thermometerInRange();
    CriteriaKorva5310 driver(fake);
    QElapsedTimer t;
    t.start();
    QVERIFY(!openIn(driver, QStringLiteral("5310A-99999")));
    // 5 s before the search, then 15 s of polling, both scaled.
    QVERIFY2(t.elapsed() >= (5000 + 15000) * 0.05 * 0.9, qPrintable(QString::number(t.elapsed())));
    QCOMPARE(fake->discoveries.load(), 3);
    QCOMPARE(fake->connects.load(), 0);
    QVERIFY(!driver.IsOpen());
}

void TestKorva5310::sessionCommandsAndReading()
{
    auto fake = thermometerInRange();
    CriteriaKorva5310 driver(fake);
    QVERIFY(!inWorker([&] { return driver.Write(CriteriaKorva5310::StartCommand()); })); // not open yet
    QVERIFY(openIn(driver));
    QString serial;
    QVERIFY(driver.GetSerialNumber(serial));
    QCOMPARE(serial, kName);
    QString reply;
    QVERIFY(!driver.Read(reply));
    QVERIFY(inWorker([&] { return driver.SetChannel(Device::Channel()); }));

    // Readings arrive from the platform while the worker waits.
    std::atomic<bool> reading{true};
    std::thread feeder([&] {
        const QByteArray f = frame(60.25f);
        while (reading) {
            fake->notify(f.left(20));
            fake->notify(f.mid(20));
            QThread::msleep(20);
        }
    });
    double value = 0;
    const bool read = inWorker([&] { return driver.ReadTemperature(value); });
    reading = false;
    feeder.join();
    QVERIFY(read);
    QCOMPARE(value, 60.25);

    QVERIFY(inWorker([&] { return driver.Close(); }));
    QCOMPARE(driver.Progress(), 0);
    QVERIFY(!driver.IsOpen());
    const QString w = FakeBlePlatform::uuid("ffe9") + QLatin1Char(' ');
    QCOMPARE(fake->writes(), (QStringList{w + "0405020003", w + "0405010101"}));
    QCOMPARE(fake->closes(), 1);
}

void TestKorva5310::readingThatPredatesTheRequestIsNotReturned()
{
    Device::setTimeScale(0.1); // a pass is 50 × 10 ms
    auto fake = thermometerInRange();
    CriteriaKorva5310 driver(fake);
    QVERIFY(openIn(driver));
    fake->notify(frame(11.0f)); // before the request

    double value = 0;
    bool result = true;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        result = driver.ReadTemperature(value);
        done = true;
    });
    spin(100);
    QVERIFY(!done);
    fake->notify(frame(22.0f));
    while (!done)
        spin(5);
    worker.join();
    QVERIFY(result);
    QCOMPARE(value, 22.0);

    // With nothing new after the call began it fails after both passes.
    fake->notify(frame(33.0f));
    QVERIFY(!inWorker([&] { return driver.ReadTemperature(value); }));
    QCOMPARE(value, 22.0);
}

void TestKorva5310::linkLossFailsReadingAtOnce()
{
    auto fake = thermometerInRange();
    CriteriaKorva5310 driver(fake);
    QVERIFY(openIn(driver));
    QVERIFY(CriteriaKorva5310::LinkUp());
    fake->linkStatus(false);
    QVERIFY(!driver.IsOpen());
    fake->notify(frame(25.0f));
    Device::setTimeScale(1.0); // "at once" against a 10 s wait
    QElapsedTimer t;
    t.start();
    double value = 0;
    QVERIFY(!inWorker([&] { return driver.ReadTemperature(value); }));
    QVERIFY2(t.elapsed() < 500, qPrintable(QString::number(t.elapsed())));
    fake->linkStatus(true);
    QVERIFY(driver.IsOpen());
}

void TestKorva5310::lateStatusOfClosedLinkIsIgnored()
{
    auto fake = thermometerInRange();
    fake->leaky = true;
    CriteriaKorva5310 driver(fake);
    QVERIFY(openIn(driver));
    QVERIFY(inWorker([&] { return driver.Close(); }));
    QVERIFY(!CriteriaKorva5310::LinkUp());
    // Events of the closed connection change nothing.
    fake->linkStatus(true);
    QVERIFY(!CriteriaKorva5310::LinkUp());
    fake->notify(frame(25.0f));
    QVERIFY(!driver.IsOpen());
}

void TestKorva5310::failedConnectSearchesAgain()
{
    // The stack drops the device it saw soon after the scan: a connect by
    // the old id fails, and only a new search makes it reachable again.
    auto fake = thermometerInRange();
    fake->forgets = true;
    CriteriaKorva5310 driver(fake);
    QStringList names;
    QVERIFY(driver.PortList(names));
    QCOMPARE(names, QStringList{kName});
    fake->forget();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^蓝牙异常 5310A-00001 unknown device")));
    QVERIFY(!openIn(driver));
    QCOMPARE(fake->discoveries.load(), 1);
    QVERIFY(CriteriaKorva5310::FoundNames().isEmpty());
    const int onGui = fake->guiDiscoveries.load();
    QVERIFY(openIn(driver)); // searches again, then connects
    QCOMPARE(fake->discoveries.load(), 2);
    // The search ran off the GUI thread: no nested event loop there.
    QCOMPARE(fake->guiDiscoveries.load(), onGui);
    QCOMPARE(fake->connects.load(), 2);
    QVERIFY(inWorker([&] { return driver.Close(); }));
}

void TestKorva5310::guiThreadNeverWaitsForTheConnectionThread()
{
    auto fake = thermometerInRange();
    fake->holdConnects(true); // the platform's connect hangs
    auto* driver = new CriteriaKorva5310(fake);
    QVERIFY(!openIn(*driver)); // gives up after its wait; the thread stays in connect
    QCOMPARE(fake->connects.load(), 1);

    // The next attempt's slot and the destructor run on this thread.
    QElapsedTimer t;
    t.start();
    driver->Open_slots();
    QVERIFY2(t.elapsed() < 500, qPrintable(QString::number(t.elapsed())));
    QTRY_COMPARE_WITH_TIMEOUT(fake->connects.load(), 2, 2000);
    t.restart();
    delete driver;
    QVERIFY2(t.elapsed() < 500, qPrintable(QString::number(t.elapsed())));

    // Once the connects return, what they opened is closed again.
    fake->holdConnects(false);
    QTRY_COMPARE_WITH_TIMEOUT(fake->opened.load(), 2, 2000);
    QTRY_COMPARE_WITH_TIMEOUT(fake->closes(), 2, 2000);
    QVERIFY(!CriteriaKorva5310::LinkUp());
}

void TestKorva5310::lateWriteCompletionIsNotTheNextWrite()
{
    auto fake = thermometerInRange();
    CriteriaKorva5310 driver(fake);
    QVERIFY(openIn(driver));
    fake->holdWrites = true;
    QVERIFY(!inWorker([&] { return driver.Write(QStringLiteral("0A")); })); // times out

    // The first write's completion arrives while the second waits for its own.
    std::atomic<bool> done{false};
    bool second = true;
    std::thread worker([&] {
        second = driver.Write(QStringLiteral("0B"));
        done = true;
    });
    QTRY_COMPARE_WITH_TIMEOUT(fake->heldWrites(), 2, 5000);
    fake->completeHeldWrite(0, true);
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 20000);
    worker.join();
    QVERIFY(!second);

    // Its own completion, late as well, marks nothing; a prompt one does.
    fake->completeHeldWrite(1, true);
    fake->holdWrites = false;
    QVERIFY(inWorker([&] { return driver.Write(QStringLiteral("0C")); }));
    driver.Close_slots();
}

void TestKorva5310::stopRequestEndsOpenAtItsNextWait()
{
    Device::setTimeScale(1.0);
    auto fake = thermometerInRange();
    CriteriaKorva5310 driver(fake);
    std::atomic<bool> stop{false};
    driver.SetStopRequest([&stop] { return stop.load(); });
    QElapsedTimer t;
    t.start();
    std::atomic<bool> done{false};
    bool opened = true;
    std::thread worker([&] {
        opened = driver.Open(QString(), kName, QString());
        done = true;
    });
    spin(300);
    stop = true;
    QTRY_VERIFY_WITH_TIMEOUT(done.load(), 2000);
    worker.join();
    QVERIFY(!opened);
    QVERIFY2(t.elapsed() < 1500, qPrintable(QString::number(t.elapsed()))); // not its 5 s wait
    QCOMPARE(fake->connects.load(), 0);
    driver.SetStopRequest({});
}

QTEST_MAIN(TestKorva5310)
#include "tst_korva5310.moc"
