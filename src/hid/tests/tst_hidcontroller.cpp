// SPDX-License-Identifier: MIT
#include "hid/tests/HidTestRig.h"

#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// Records the controller's reports as lines, e.g. "arrival a", "change 2"
// (the list size when the change is reported).
struct EventLog
{
    QStringList lines;

    void attach(THidDeviceController &c, bool attachChange = true)
    {
        c.setOnArrival([this](THidDevice *d) {
            lines << "arrival " + d->DeviceInfo().DevInst
                    + (d->InHandler() ? "" : " (not in handler)");
        });
        c.setOnRemoval([this](THidDevice *d) {
            lines << "removal " + d->DeviceInfo().DevInst
                    + (d->InHandler() ? "" : " (not in handler)");
        });
        if (attachChange)
            c.setOnDeviceChange([this](THidDeviceController *s) {
                lines << "change " + QString::number(s->DeviceList().size());
            });
    }
    QStringList take() { return std::exchange(lines, {}); }
};

struct Sink
{
    void onData(THidDevice *, quint8, const quint8 *, quint16) { }
};

} // namespace

class TestHidController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void firstAttachmentReportsEvenWithoutDevices();
    void arrivalThenChange();
    void changeNoticeWithoutChangeReportsNothing();
    void unplugOfUnclaimedDevice();
    void unplugOfClaimedDeviceRepeatsUntilOwnerLetsGo();
    void ownerMayDestroyDeviceInRemovalHandler();
    void passWhileAPassRunsIsDeferred();
    void claimDevice_data();
    void claimDevice();
    void enumerateDevices_data();
    void enumerateDevices();
    void enumerateClosesHandlesOfUnclaimedDevices();
    void onlyOneController();
    void withoutHidSupport();
    void handlersPassOnToDevicesThatCarryTheCurrentOne();
    void sleepTimePassesOn();
    void handBackOfAnInterfaceThatNoLongerOpens();
    void destructionUnplugsClaimedAndDestroysTheRest();
    void pollingNotifierFindsArrivals();
};

void TestHidController::firstAttachmentReportsEvenWithoutDevices()
{
    HidTestRig rig;
    THidDeviceController &c = rig.start();
    EventLog log;
    log.attach(c);
    QCOMPARE(log.take(), QStringList { "change 0" });

    // The same handler again is no change of handler: no pass.
    c.setOnDeviceChange(c.OnDeviceChange());
    rig.fake->notifyChange();
    QCOMPARE(log.take(), QStringList {});
}

void TestHidController::arrivalThenChange()
{
    HidTestRig rig;
    rig.plug(u"a"_s);
    THidDeviceController &c = rig.start();
    EventLog log;
    log.attach(c);
    QCOMPARE(log.take(), QStringList { "change 1" });

    QString productSeenInHandler;
    c.setOnArrival([&](THidDevice *d) {
        log.lines << "arrival " + d->DeviceInfo().DevInst;
        productSeenInHandler = d->ProductText(); // unclaimed, but opened in the handler
    });
    rig.plug(u"b"_s, u"Second"_s);
    rig.plug(u"c"_s, u"Third"_s);
    rig.fake->notifyChange();
    QCOMPARE(log.take(), (QStringList { "arrival b", "arrival c", "change 3" }));
    QCOMPARE(productSeenInHandler, u"Third"_s);
    QCOMPARE(rig.ids(), (QStringList { "a", "b", "c" }));
    QVERIFY(!rig.find(u"c"_s)->InHandler());
    QVERIFY(!rig.find(u"c"_s)->Accessible());
    QCOMPARE(rig.fake->openHandles(HidTestRig::path(u"c"_s)), 0);
}

void TestHidController::changeNoticeWithoutChangeReportsNothing()
{
    HidTestRig rig;
    rig.plug(u"a"_s);
    rig.plug(u"b"_s);
    THidDeviceController &c = rig.start();
    EventLog log;
    log.attach(c);
    log.take();
    const QList<THidDevice *> before = c.DeviceList();

    rig.fake->notifyChange();
    c.DeviceChange();
    QCOMPARE(log.take(), QStringList {});
    QCOMPARE(c.DeviceList(), before); // survivors are kept, not replaced
    for (THidDevice *d : before)
        QCOMPARE(rig.fake->openHandles(d->DeviceInfo().DevicePath), 0);
}

void TestHidController::unplugOfUnclaimedDevice()
{
    HidTestRig rig;
    rig.plug(u"a"_s);
    rig.plug(u"b"_s);
    rig.plug(u"c"_s);
    THidDeviceController &c = rig.start();
    EventLog log;
    log.attach(c);
    log.take();

    rig.fake->unplug(u"a"_s);
    rig.fake->unplug(u"c"_s);
    rig.fake->notifyChange();
    // From the last device to the first; gone from the list before the change.
    QCOMPARE(log.take(), (QStringList { "removal c", "removal a", "change 1" }));
    QCOMPARE(rig.ids(), QStringList { "b" });
}

void TestHidController::unplugOfClaimedDeviceRepeatsUntilOwnerLetsGo()
{
    HidTestRig rig;
    rig.plug(u"cable"_s);
    rig.plug(u"other"_s);
    THidDeviceController &c = rig.start();
    EventLog log;
    log.attach(c);
    log.take();
    auto cable = rig.claim(u"cable"_s);
    int unplugs = 0;
    cable->setUnplugHandler([&](THidDevice *d) {
        QVERIFY(!d->Present());
        ++unplugs;
    });

    rig.fake->unplug(u"cable"_s);
    rig.fake->notifyChange();
    QCOMPARE(log.take(), (QStringList { "removal cable", "change 2" }));
    QCOMPARE(unplugs, 1);
    QVERIFY(!cable->Present());
    QCOMPARE(rig.ids(), (QStringList { "cable", "other" }));

    // Held by its owner, it departs again at every pass; its unplug handler
    // fired only once.
    rig.fake->notifyChange();
    QCOMPARE(log.take(), (QStringList { "removal cable", "change 2" }));
    QCOMPARE(unplugs, 1);

    // Plugged in again while still held: a new device beside the old one.
    rig.plug(u"cable"_s);
    rig.fake->notifyChange();
    QCOMPARE(log.take(), (QStringList { "removal cable", "arrival cable", "change 3" }));

    cable.reset();
    QCOMPARE(rig.ids(), (QStringList { "other", "cable" }));
    QVERIFY(rig.find(u"cable"_s)->Present());
    rig.fake->notifyChange();
    QCOMPARE(log.take(), QStringList {});
}

void TestHidController::ownerMayDestroyDeviceInRemovalHandler()
{
    HidTestRig rig;
    rig.plug(u"a"_s);
    rig.plug(u"cable"_s);
    THidDeviceController &c = rig.start();
    EventLog log;
    log.attach(c);
    log.take();
    auto cable = rig.claim(u"cable"_s);
    cable->setDataHandler([](THidDevice *, quint8, const quint8 *, quint16) {});
    c.setOnRemoval([&](THidDevice *d) {
        log.lines << "removal " + d->DeviceInfo().DevInst;
        if (d == cable.get())
            cable.reset();
    });

    rig.fake->unplug(u"cable"_s);
    rig.fake->unplug(u"a"_s);
    rig.fake->notifyChange();
    QCOMPARE(log.take(), (QStringList { "removal cable", "removal a", "change 0" }));
    QVERIFY(!cable);
    QCOMPARE(c.DeviceList().size(), 0);
}

void TestHidController::passWhileAPassRunsIsDeferred()
{
    HidTestRig rig;
    rig.plug(u"a"_s);
    THidDeviceController &c = rig.start();
    EventLog log;
    log.attach(c);
    log.take();

    // The arrival handler finds out that another interface has gone and asks
    // for a pass: it runs after the current pass, not inside it.
    c.setOnArrival([&](THidDevice *d) {
        log.lines << "arrival " + d->DeviceInfo().DevInst;
        rig.fake->unplug(u"a"_s);
        c.DeviceChange();
        log.lines << "arrival handler done";
    });
    rig.plug(u"b"_s);
    rig.fake->notifyChange();
    QCOMPARE(log.take(),
        (QStringList { "arrival b", "arrival handler done", "change 2", "removal a", "change 1" }));
    QCOMPARE(rig.ids(), QStringList { "b" });
}

void TestHidController::claimDevice_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<bool>("claimFirst");
    QTest::addColumn<bool>("granted");

    QTest::newRow("-1") << -1 << false << false;
    QTest::newRow("list length") << 2 << false << false;
    QTest::newRow("already claimed") << 1 << true << false;
    QTest::newRow("free device") << 1 << false << true;
}

void TestHidController::claimDevice()
{
    QFETCH(int, index);
    QFETCH(bool, claimFirst);
    QFETCH(bool, granted);

    HidTestRig rig;
    rig.plug(u"a"_s);
    rig.plug(u"b"_s);
    THidDeviceController &c = rig.start();
    std::unique_ptr<THidDevice> first;
    if (claimFirst)
        first = c.ClaimDevice(index);

    auto device = c.ClaimDevice(index);
    QCOMPARE(device != nullptr, granted);
    if (granted) {
        QCOMPARE(device.get(), c.DeviceList()[index]);
        QVERIFY(device->Claimed());
        QVERIFY(device->Accessible());
    }
    QCOMPARE(c.DeviceList().size(), 2);
}

void TestHidController::enumerateDevices_data()
{
    QTest::addColumn<bool>("withHandler");
    QTest::addColumn<int>("stopAt"); // the handler returns false at this visit (1-based), 0 = never
    QTest::addColumn<QStringList>("visited");
    QTest::addColumn<int>("count");

    QTest::newRow("all") << true << 0 << QStringList { "a 0", "b 1", "d 3" } << 3;
    QTest::newRow("false at the second") << true << 2 << QStringList { "a 0", "b 1" } << 2;
    QTest::newRow("false at the first") << true << 1 << QStringList { "a 0" } << 1;
    QTest::newRow("no handler: stops after one") << false << 0 << QStringList {} << 1;
}

void TestHidController::enumerateDevices()
{
    QFETCH(bool, withHandler);
    QFETCH(int, stopAt);
    QFETCH(QStringList, visited);
    QFETCH(int, count);

    HidTestRig rig;
    for (const QString &id : { u"a"_s, u"b"_s, u"gone"_s, u"d"_s })
        rig.plug(id);
    THidDeviceController &c = rig.start();
    // A claimed device that has left stays in the list but is not visited.
    auto gone = rig.claim(u"gone"_s);
    rig.fake->unplug(u"gone"_s);
    c.DeviceChange();
    QCOMPARE(c.DeviceList().size(), 4);

    QStringList seen;
    if (withHandler)
        c.setOnEnumerate([&](THidDevice *d, qint32 idx) -> bool {
            seen << d->DeviceInfo().DevInst + " " + QString::number(idx)
                    + (d->InHandler() ? "" : " (not in handler)");
            return seen.size() != stopAt;
        });
    QCOMPARE(c.EnumerateDevices(), count);
    QCOMPARE(seen, visited);
}

void TestHidController::enumerateClosesHandlesOfUnclaimedDevices()
{
    HidTestRig rig;
    rig.plug(u"keep"_s);
    rig.plug(u"pass"_s);
    THidDeviceController &c = rig.start();
    const QByteArray report = QByteArray::fromHex("00600900000300000000");
    std::unique_ptr<THidDevice> kept;
    c.setOnEnumerate([&](THidDevice *d, qint32 idx) -> bool {
        d->SendFeature(report); // opens the main handle, which stays open
        if (d->DeviceInfo().DevInst == u"keep"_s)
            kept = c.ClaimDevice(idx);
        return true;
    });
    QCOMPARE(c.EnumerateDevices(), 2);
    QVERIFY(kept);
    QCOMPARE(rig.fake->openHandles(HidTestRig::path(u"keep"_s)), 1);
    QCOMPARE(rig.fake->openHandles(HidTestRig::path(u"pass"_s)), 0);
    QCOMPARE(rig.fake->featureReports(HidTestRig::path(u"pass"_s)).size(), 1);
}

void TestHidController::onlyOneController()
{
    HidTestRig rig;
    rig.start();
    try {
        THidDeviceController second(rig.fake);
        QFAIL("a second controller was created");
    } catch (const EControllerError &e) {
        QCOMPARE(
            QString::fromLatin1(e.what()), u"Only one THidDeviceController allowed per program"_s);
    }
    rig.controller.reset();
    // The refused one did not stay counted.
    THidDeviceController next(rig.fake);
    QVERIFY(next.HidSupported());
}

void TestHidController::withoutHidSupport()
{
    HidTestRig rig;
    rig.fake = std::make_shared<FakeHidBackend>(false);
    rig.plug(u"a"_s);
    THidDeviceController &c = rig.start();
    QVERIFY(!c.HidSupported());
    EventLog log;
    log.attach(c);
    QCOMPARE(log.take(), QStringList { "change 0" });
    rig.plug(u"b"_s);
    rig.fake->notifyChange(); // not watched
    QCOMPARE(log.take(), QStringList {});
    c.DeviceChange();
    QCOMPARE(log.take(), QStringList {});
    QVERIFY(c.DeviceList().isEmpty());
}

void TestHidController::handlersPassOnToDevicesThatCarryTheCurrentOne()
{
    HidTestRig rig;
    for (const QString &id : { u"plain"_s, u"own"_s, u"claimed"_s, u"otherObject"_s })
        rig.plug(id);
    THidDeviceController &c = rig.start();
    Sink sinkA, sinkB;
    const auto viaA = THidDataEvent::bind<&Sink::onData>(&sinkA);
    const auto viaB = THidDataEvent::bind<&Sink::onData>(&sinkB);
    const THidDataEvent own = [](THidDevice *, quint8, const quint8 *, quint16) {};

    c.setOnDeviceData(viaA);
    rig.find(u"own"_s)->setDataHandler(own);
    // Handlers of the same method are the same handler, whatever their object.
    rig.find(u"otherObject"_s)->setDataHandler(viaB);
    auto claimed = rig.claim(u"claimed"_s);
    QVERIFY(claimed->ReadThread()); // claimed with the controller's handler: reading

    const THidDataEvent next = [](THidDevice *, quint8, const quint8 *, quint16) {};
    c.setOnDeviceData(next);
    QVERIFY(rig.find(u"plain"_s)->DataHandler() == next);
    QVERIFY(rig.find(u"otherObject"_s)->DataHandler() == next);
    QVERIFY(claimed->DataHandler() == next);
    QVERIFY(rig.find(u"own"_s)->DataHandler() == own);

    c.setOnDeviceData({});
    QVERIFY(!claimed->ReadThread()); // passing on the empty handler stopped reading
    QVERIFY(!rig.find(u"plain"_s)->DataHandler());

    // Error and unplug handlers are passed on the same way, and a device
    // arriving later starts with the controller's handlers.
    QStringList calls;
    const THidDataErrorEvent onError = [&](THidDevice *, quint32) { calls << u"error"_s; };
    const THidPlugEvent onUnplug
        = [&](THidDevice *d) { calls << "unplug " + d->DeviceInfo().DevInst; };
    rig.find(u"own"_s)->setUnplugHandler([&](THidDevice *) { calls << u"own unplug"_s; });
    c.setOnDeviceDataError(onError);
    c.setOnDeviceUnplug(onUnplug);
    rig.plug(u"late"_s);
    c.DeviceChange();
    QVERIFY(rig.find(u"late"_s)->UnplugHandler() == onUnplug);
    QVERIFY(rig.find(u"late"_s)->DataErrorHandler() == onError);
    QVERIFY(rig.find(u"plain"_s)->DataErrorHandler() == onError);
    for (const QString &id : { u"plain"_s, u"own"_s, u"late"_s })
        rig.fake->unplug(id);
    c.DeviceChange();
    QCOMPARE(calls, (QStringList { "unplug late", "own unplug", "unplug plain" }));
}

void TestHidController::sleepTimePassesOn()
{
    HidTestRig rig;
    rig.plug(u"a"_s);
    rig.plug(u"b"_s);
    THidDeviceController &c = rig.start();
    rig.find(u"b"_s)->setSleepTime(200);

    c.setDevThreadSleepTime(50);
    QCOMPARE(rig.find(u"a"_s)->SleepTime(), 50);
    QCOMPARE(rig.find(u"b"_s)->SleepTime(), 200);

    // Out of bounds for the devices: they keep theirs; the property takes it.
    c.setDevThreadSleepTime(5);
    QCOMPARE(c.DevThreadSleepTime(), 5);
    QCOMPARE(rig.find(u"a"_s)->SleepTime(), 50);

    c.setDevThreadSleepTime(30);
    rig.plug(u"late"_s);
    c.DeviceChange();
    QCOMPARE(rig.find(u"late"_s)->SleepTime(), 30);
}

void TestHidController::handBackOfAnInterfaceThatNoLongerOpens()
{
    HidTestRig rig;
    rig.plug(u"cable"_s);
    THidDeviceController &c = rig.start();
    EventLog log;
    log.attach(c);
    log.take();
    auto cable = rig.claim(u"cable"_s);

    rig.fake->update(
        u"cable"_s, [](FakeHidBackend::Interface &i) { i.readWrite = i.queryOnly = false; });
    cable.reset();
    QVERIFY(c.DeviceList().isEmpty());
    c.DeviceChange();
    QCOMPARE(log.take(), QStringList {});

    rig.fake->update(
        u"cable"_s, [](FakeHidBackend::Interface &i) { i.readWrite = i.queryOnly = true; });
    c.DeviceChange();
    QCOMPARE(log.take(), (QStringList { "arrival cable", "change 1" }));
}

void TestHidController::destructionUnplugsClaimedAndDestroysTheRest()
{
    HidTestRig rig;
    rig.plug(u"free"_s);
    rig.plug(u"held"_s);
    rig.start();
    auto held = rig.claim(u"held"_s);
    QVERIFY(held->SendFeature(QByteArray(2, '\0')));
    rig.find(u"free"_s)->setUnplugHandler(
        [](THidDevice *) { QFAIL("unclaimed devices are destroyed, not unplugged"); });
    bool ownerTold = false;
    held->setUnplugHandler([&](THidDevice *) { ownerTold = true; });

    rig.controller.reset();
    QVERIFY(ownerTold);
    QVERIFY(!held->Present());
    QCOMPARE(held->Controller(), nullptr);
    QCOMPARE(rig.fake->openHandles(HidTestRig::path(u"held"_s)), 0);
    held.reset(); // no controller to hand back to
    QCOMPARE(rig.fake->openHandles(HidTestRig::path(u"free"_s)), 0);
}

void TestHidController::pollingNotifierFindsArrivals()
{
    HidTestRig rig;
    THidDeviceController c(rig.fake, std::make_unique<HidPollingNotifier>(10));
    EventLog log;
    log.attach(c);
    log.take();
    rig.plug(u"a"_s);
    QTRY_COMPARE(log.lines, (QStringList { "arrival a", "change 1" }));
}

QTEST_GUILESS_MAIN(TestHidController)
#include "tst_hidcontroller.moc"
