// SPDX-License-Identifier: MIT
#include "hid/tests/HidTestRig.h"

#include <QTest>

using namespace Qt::StringLiterals;
using Interface = FakeHidBackend::Interface;
using OptText = std::optional<QString>;
Q_DECLARE_METATYPE(OptText)

namespace {

const QByteArray cableFeature = QByteArray::fromHex("00600900000300000000");

} // namespace

class TestHidDevice : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void creation_data();
    void creation();
    void productText_data();
    void productText();
    void productTextCachedOnceRead();
    void serialText_data();
    void serialText();
    void unplugKeepsOnlyTextsReadBefore();
    void sleepTimeBounds_data();
    void sleepTimeBounds();
    void sendFeature();
    void readingStartsOnlyWhenClaimedPresentAndReadWrite_data();
    void readingStartsOnlyWhenClaimedPresentAndReadWrite();
    void destroyingClaimedDeviceHandsItBack();
};

void TestHidDevice::creation_data()
{
    QTest::addColumn<bool>("readWrite");
    QTest::addColumn<bool>("queryOnly");
    QTest::addColumn<bool>("identifiable");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<bool>("canReadWrite");

    QTest::newRow("read-write") << true << true << true << true << true;
    QTest::newRow("query-only where read-write is refused")
        << false << true << true << true << false;
    QTest::newRow("cannot be opened: left out") << false << false << true << false << false;
    QTest::newRow("cannot be identified: left out") << true << true << false << false << false;
}

void TestHidDevice::creation()
{
    QFETCH(bool, readWrite);
    QFETCH(bool, queryOnly);
    QFETCH(bool, identifiable);
    QFETCH(bool, listed);
    QFETCH(bool, canReadWrite);

    HidTestRig rig;
    rig.plug(QStringLiteral("before"));
    Interface i
        = FakeHidBackend::makeInterface(QStringLiteral("x"), QStringLiteral("X"), 0x04fa, 0x2490);
    i.readWrite = readWrite;
    i.queryOnly = queryOnly;
    i.identifiable = identifiable;
    rig.fake->plug(i);
    rig.plug(QStringLiteral("after"));
    rig.start();

    const QStringList expected
        = listed ? QStringList { "before", "x", "after" } : QStringList { "before", "after" };
    QCOMPARE(rig.ids(), expected);
    QCOMPARE(rig.fake->openHandles(i.path), 0); // creation closes what it opened
    if (listed) {
        THidDevice *d = rig.find(QStringLiteral("x"));
        QCOMPARE(d->CanReadWrite(), canReadWrite);
        QCOMPARE(d->Attributes().VendorID, 0x04fa);
        QCOMPARE(d->Attributes().ProductID, 0x2490);
        QCOMPARE(d->Attributes().Size, 12u);
        QVERIFY(d->Present());
        QVERIFY(!d->Claimed());
        QCOMPARE(d->SleepTime(), 100);
        QCOMPARE(d->DeviceInfo().DevicePath, i.path);
    }
}

void TestHidDevice::productText_data()
{
    QTest::addColumn<OptText>("product");
    QTest::addColumn<QString>("expected");

    QTest::newRow("plain") << OptText(u"USB to Serial"_s) << u"USB to Serial"_s;
    QTest::newRow("300 units cut to 254") << OptText(QString(300, u'p')) << QString(254, u'p');
    QTest::newRow("254 units kept") << OptText(QString(254, u'q')) << QString(254, u'q');
    QTest::newRow("ends at an embedded zero")
        << OptText(QString::fromUtf16(u"abc\0def", 7)) << u"abc"_s;
    QTest::newRow("query fails") << OptText() << QString();
}

void TestHidDevice::productText()
{
    QFETCH(OptText, product);
    QFETCH(QString, expected);

    HidTestRig rig;
    Interface i = FakeHidBackend::makeInterface(QStringLiteral("d"), QString());
    i.product = product;
    rig.fake->plug(i);
    rig.start();
    auto device = rig.claim(QStringLiteral("d"));
    QCOMPARE(device->ProductText(), expected);
    QVERIFY(!device->MainOpen());
}

void TestHidDevice::productTextCachedOnceRead()
{
    HidTestRig rig;
    Interface i = FakeHidBackend::makeInterface(QStringLiteral("d"), QString());
    rig.fake->plug(i);
    rig.start();
    auto device = rig.claim(QStringLiteral("d"));

    QCOMPARE(device->ProductText(), QString()); // empty: asked again next time
    rig.fake->update(i.instanceId, [](Interface &x) { x.product = u"Later"_s; });
    QCOMPARE(device->ProductText(), u"Later"_s);
    rig.fake->update(i.instanceId, [](Interface &x) { x.product = u"Changed"_s; });
    QCOMPARE(device->ProductText(), u"Later"_s);
}

void TestHidDevice::serialText_data()
{
    QTest::addColumn<OptText>("serial");
    QTest::addColumn<bool>("indexedStrings");
    QTest::addColumn<OptText>("languages");
    QTest::addColumn<QString>("expected");

    const QString english(QChar(0x0409));
    QTest::newRow("own serial") << OptText(u"A1B2"_s) << true << OptText(english) << u"A1B2"_s;
    QTest::newRow("repeats the language list")
        << OptText(english) << true << OptText(english) << QString();
    QTest::newRow("language query writes nothing")
        << OptText(u"A1B2"_s) << true << OptText() << QString();
    QTest::newRow("empty language list")
        << OptText(u"A1B2"_s) << true << OptText(u""_s) << QString();
    QTest::newRow("platform without indexed strings")
        << OptText(u"A1B2"_s) << false << OptText() << u"A1B2"_s;
    QTest::newRow("no serial") << OptText() << true << OptText(english) << QString();
    QTest::newRow("300 units cut to 254")
        << OptText(QString(300, u's')) << true << OptText(english) << QString(254, u's');
}

void TestHidDevice::serialText()
{
    QFETCH(OptText, serial);
    QFETCH(bool, indexedStrings);
    QFETCH(OptText, languages);
    QFETCH(QString, expected);

    HidTestRig rig;
    Interface i = FakeHidBackend::makeInterface(QStringLiteral("d"), u"P"_s);
    i.serial = serial;
    i.indexedStrings = indexedStrings;
    i.languages = languages;
    rig.fake->plug(i);
    rig.start();
    auto device = rig.claim(QStringLiteral("d"));
    QCOMPARE(device->SerialText(), expected);
    QVERIFY(!device->MainOpen());
}

void TestHidDevice::unplugKeepsOnlyTextsReadBefore()
{
    HidTestRig rig;
    Interface asked = FakeHidBackend::makeInterface(QStringLiteral("asked"), u"Asked"_s);
    asked.serial = u"S1"_s;
    Interface never = FakeHidBackend::makeInterface(QStringLiteral("never"), u"Never"_s);
    never.serial = u"S2"_s;
    rig.fake->plug(asked);
    rig.fake->plug(never);
    rig.start();
    auto a = rig.claim(asked.instanceId);
    auto n = rig.claim(never.instanceId);
    QCOMPARE(a->ProductText(), u"Asked"_s);
    QCOMPARE(a->SerialText(), u"S1"_s);

    // Unplugged, but still openable as far as the backend knows: the device
    // itself refuses every open once it has left.
    a->Unplug();
    n->Unplug();
    QVERIFY(!n->Present());
    QVERIFY(!n->Accessible());
    QCOMPARE(a->ProductText(), u"Asked"_s);
    QCOMPARE(a->SerialText(), u"S1"_s);
    QCOMPARE(n->ProductText(), QString());
    QCOMPARE(n->SerialText(), QString());
    QVERIFY(!n->SendFeature(cableFeature));
}

void TestHidDevice::sleepTimeBounds_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("9 ignored") << 9 << 100;
    QTest::newRow("10 taken") << 10 << 10;
    QTest::newRow("10000 taken") << 10000 << 10000;
    QTest::newRow("10001 ignored") << 10001 << 100;
    QTest::newRow("negative ignored") << -50 << 100;
}

void TestHidDevice::sleepTimeBounds()
{
    QFETCH(int, value);
    QFETCH(int, expected);
    HidTestRig rig;
    rig.plug(QStringLiteral("d"));
    rig.start();
    THidDevice *d = rig.find(QStringLiteral("d"));
    d->setSleepTime(value);
    QCOMPARE(d->SleepTime(), expected);
}

void TestHidDevice::sendFeature()
{
    HidTestRig rig;
    const Interface cable = rig.plug(QStringLiteral("cable"));
    Interface locked = FakeHidBackend::makeInterface(QStringLiteral("locked"), u"USB to Serial"_s);
    locked.readWrite = false;
    rig.fake->plug(locked);
    Interface refusing = FakeHidBackend::makeInterface(QStringLiteral("refusing"), u"R"_s);
    refusing.featureAccepted = false;
    rig.fake->plug(refusing);
    rig.start();

    // Unclaimed: not accessible, nothing is opened.
    QVERIFY(!rig.find(cable.instanceId)->SendFeature(cableFeature));
    QCOMPARE(rig.fake->featureReports(cable.path), QList<QByteArray> {});

    auto device = rig.claim(cable.instanceId);
    QVERIFY(device->SendFeature(cableFeature));
    QVERIFY(device->SendFeature(cableFeature));
    QCOMPARE(rig.fake->featureReports(cable.path), QList<QByteArray>(2, cableFeature));
    QVERIFY(device->MainOpen()); // the main handle stays open after a feature report
    QCOMPARE(rig.fake->openHandles(cable.path, HidAccess::ReadWrite), 1);

    auto queryOnly = rig.claim(locked.instanceId);
    QVERIFY(!queryOnly->SendFeature(cableFeature));
    QVERIFY(!rig.claim(refusing.instanceId)->SendFeature(cableFeature));

    device->Unplug();
    QCOMPARE(rig.fake->openHandles(cable.path), 0);
    QVERIFY(!device->SendFeature(cableFeature));
    QCOMPARE(rig.fake->featureReports(cable.path).size(), 2);
}

void TestHidDevice::readingStartsOnlyWhenClaimedPresentAndReadWrite_data()
{
    QTest::addColumn<bool>("readWrite");
    QTest::addColumn<bool>("claim");
    QTest::addColumn<bool>("handlerFromController");
    QTest::addColumn<bool>("reading");

    QTest::newRow("claimed read-write, handler on the device") << true << true << false << true;
    QTest::newRow("claimed read-write, handler from the controller")
        << true << true << true << true;
    QTest::newRow("unclaimed") << true << false << false << false;
    QTest::newRow("claimed query-only") << false << true << false << false;
}

void TestHidDevice::readingStartsOnlyWhenClaimedPresentAndReadWrite()
{
    QFETCH(bool, readWrite);
    QFETCH(bool, claim);
    QFETCH(bool, handlerFromController);
    QFETCH(bool, reading);

    HidTestRig rig;
    Interface i = FakeHidBackend::makeInterface(QStringLiteral("d"), u"USB to Serial"_s);
    i.readWrite = readWrite;
    rig.fake->plug(i);
    THidDeviceController &controller = rig.start();
    const THidDataEvent handler = [](THidDevice *, quint8, const quint8 *, quint16) {};
    if (handlerFromController)
        controller.setOnDeviceData(handler);

    THidDevice *device = rig.find(i.instanceId);
    QVERIFY(!device->ReadThread()); // nothing reads before the claim
    std::unique_ptr<THidDevice> owned;
    if (claim) {
        owned = rig.claim(i.instanceId);
        QCOMPARE(owned.get(), device);
    }
    if (!handlerFromController)
        device->setDataHandler(handler);

    QCOMPARE(device->ReadThread() != nullptr, reading);
    QCOMPARE(rig.fake->openHandles(i.path, HidAccess::Read), reading ? 1 : 0);

    device->setDataHandler({});
    QVERIFY(!device->ReadThread());
    QCOMPARE(rig.fake->openHandles(i.path, HidAccess::Read), 0);
}

void TestHidDevice::destroyingClaimedDeviceHandsItBack()
{
    HidTestRig rig;
    rig.plug(QStringLiteral("a"));
    rig.plug(QStringLiteral("cable"));
    THidDeviceController &controller = rig.start();

    int unplugs = 0;
    const THidDataEvent data = [](THidDevice *, quint8, const quint8 *, quint16) {};
    const THidPlugEvent unplug = [&](THidDevice *) { ++unplugs; };
    auto device = rig.claim(QStringLiteral("cable"));
    device->setDataHandler(data);
    device->setUnplugHandler(unplug);
    device->setSleepTime(50);
    QVERIFY(device->ReadThread());
    device.reset();

    // A fresh, unclaimed device for the same interface, in the same place,
    // with the handlers and wait slice the old one had.
    QCOMPARE(rig.ids(), (QStringList { "a", "cable" }));
    THidDevice *fresh = controller.DeviceList()[1];
    QVERIFY(!fresh->Claimed());
    QVERIFY(fresh->Present());
    QCOMPARE(fresh->Controller(), &controller);
    QVERIFY(fresh->DataHandler() == data);
    QVERIFY(fresh->UnplugHandler() == unplug);
    QCOMPARE(fresh->SleepTime(), 50);
    QVERIFY(!fresh->ReadThread());
    QCOMPARE(rig.fake->openHandles(HidTestRig::path("cable")), 0);

    // It can be claimed again, and its reading starts with the kept handler.
    auto again = controller.ClaimDevice(1);
    QCOMPARE(again.get(), fresh);
    QVERIFY(again->ReadThread());
}

QTEST_GUILESS_MAIN(TestHidDevice)
#include "tst_hiddevice.moc"
