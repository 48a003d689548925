// SPDX-License-Identifier: MIT
#include "hid/FakeHidBackend.h"
#include "session/LinkControl.h"
#include "session/MeterSession.h"
#include "sim/CableReports.h"
#include "sim/MeterFrames.h"

#include <QTest>

Q_DECLARE_METATYPE(MeterModel)

namespace {

const QString kCablePath = QStringLiteral("/dev/hidraw-cable");

// A controller on the fake backend with the link control attached to a
// session, recording what the window would show.
struct Rig : LinkObserver, SessionObserver
{
    explicit Rig(MeterModel model, const QList<FakeHidBackend::Interface> &interfaces)
        : session(model, QStringLiteral("."), this)
        , assembler(session.assembler())
    {
        for (const auto &i : interfaces)
            backend->plug(i);
        controller = std::make_unique<THidDeviceController>(backend, backend->createNotifier());
        link = std::make_unique<LinkControl>(*controller, session, this);
        link->attach();
    }
    void FrameBegins(const QString &f) override { frames.append(f); }
    void Information(const QString &t) override { messages.append(t); }
    void Indicator(bool on) override { indicator.append(on); }

    static FakeHidBackend::Interface cable(const QString &id = QStringLiteral("cable"))
    {
        auto i = FakeHidBackend::makeInterface(id, QStringLiteral("USB to Serial"));
        i.path = kCablePath;
        return i;
    }
    QList<QByteArray> features() const { return backend->featureReports(kCablePath); }
    bool reading() const
    {
        THidDevice *d = link->CableDevice();
        return d && bool(d->DataHandler());
    }

    std::shared_ptr<FakeHidBackend> backend = std::make_shared<FakeHidBackend>();
    MeterSession session;
    FrameAssembler &assembler;
    std::unique_ptr<THidDeviceController> controller;
    std::unique_ptr<LinkControl> link;
    QStringList frames;
    QStringList messages;
    QList<bool> indicator;
};

} // namespace

class TestLinkControl : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void connectAndDisconnect_data();
    void connectAndDisconnect();
    void connectWithoutCable_data();
    void connectWithoutCable();
    void watchdogFiresAfterSilence();
    void unplugAndReplugWhileConnected();
    void framesFromTheCableReachTheDecoder();
    void historyIsBounded();
};

void TestLinkControl::connectAndDisconnect_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::addColumn<QString>("off");
    QTest::addColumn<QString>("on");
    QTest::newRow("km90") << MeterModel::Km90 << "Connect"
                          << "Disconnect";
    QTest::newRow("km50_60") << MeterModel::Km50_60 << "CONNECT"
                             << "DISCONNECT";
}

void TestLinkControl::connectAndDisconnect()
{
    QFETCH(MeterModel, model);
    QFETCH(QString, off);
    QFETCH(QString, on);
    Rig rig(
        model, { FakeHidBackend::makeInterface("mouse", "Mouse", 0x046d, 0xc077), Rig::cable() });
    QCOMPARE(rig.link->deviceLines(), QStringList({ "Mouse", "USB to Serial" }));
    QCOMPARE(rig.link->selectedLine(), 1);
    QCOMPARE(rig.link->panelCaption(), off);

    const QByteArray report("\x00\x60\x09\x00\x00\x03\x00\x00\x00\x00", 10);
    rig.link->Panel2Click();
    QCOMPARE(rig.features(), QList<QByteArray>({ report }));
    QCOMPARE(rig.link->panelCaption(), on);
    QCOMPARE(rig.link->panelColour(), LinkControl::PanelColour::Black);
    QVERIFY(rig.link->USBCon());
    QVERIFY(rig.reading());
    QCOMPARE(rig.link->history().last(), QStringLiteral("00 60 09 00 00 03 00 00 00 00 "));

    rig.link->Panel2Click();
    QCOMPARE(rig.features(), QList<QByteArray>({ report, report }));
    QCOMPARE(rig.link->panelCaption(), off);
    QVERIFY(!rig.link->USBCon());
    QVERIFY(!rig.reading());
    QVERIFY(rig.messages.isEmpty());
}

void TestLinkControl::connectWithoutCable_data()
{
    QTest::addColumn<bool>("withSerial");
    QTest::newRow("no device") << false;
    QTest::newRow("cable with serial suffix") << true;
}

void TestLinkControl::connectWithoutCable()
{
    QFETCH(bool, withSerial);
    QList<FakeHidBackend::Interface> interfaces;
    if (withSerial) {
        auto i = Rig::cable();
        i.serial = QStringLiteral("42");
        interfaces.append(i);
    }
    Rig rig(MeterModel::Km90, interfaces);
    QCOMPARE(rig.link->selectedLine(), -1);
    rig.link->Panel2Click();
    QCOMPARE(rig.messages,
        QStringList({ "USB interface cable is not securely connected, please check and re-try." }));
    QCOMPARE(rig.link->panelCaption(), QStringLiteral("Connect"));
    QVERIFY(!rig.link->USBCon());
    QVERIFY(rig.features().isEmpty());
}

void TestLinkControl::watchdogFiresAfterSilence()
{
    Rig rig(MeterModel::Km90, { Rig::cable() });
    rig.link->Panel2Click();
    const QByteArray idle = CableReports::idleReport();
    for (int i = 0; i < 1899; ++i)
        rig.assembler.Read50(quint8(idle[0]), QByteArrayView(idle).sliced(1));

    for (int tick = 1; tick <= 5; ++tick) {
        rig.link->ConTimerTimer();
        QCOMPARE(rig.indicator.size(), tick >= 3 ? 1 : 0);
        if (tick == 4) // the 1900th idle report arrives after the action of tick 3
            rig.assembler.Read50(quint8(idle[0]), QByteArrayView(idle).sliced(1));
    }
    QVERIFY(rig.messages.isEmpty());
    QVERIFY(rig.reading());

    rig.link->ConTimerTimer(); // tick 6 acts
    QCOMPARE(rig.messages,
        QStringList({ "USB interface cable is securely connected, please check if the meter is "
                      "ready." }));
    QCOMPARE(rig.indicator, QList<bool>({ false, false }));
    QCOMPARE(rig.link->panelCaption(), QStringLiteral("Connect"));
    QCOMPARE(rig.link->panelColour(), LinkControl::PanelColour::Yellow);
    QVERIFY(!rig.link->USBCon());
    QVERIFY(!rig.reading());
    QCOMPARE(rig.assembler.idleReportCount(), 0);

    // Connecting again turns the caption black.
    rig.link->Panel2Click();
    QCOMPARE(rig.link->panelColour(), LinkControl::PanelColour::Black);
    QCOMPARE(rig.link->panelCaption(), QStringLiteral("Disconnect"));
}

void TestLinkControl::unplugAndReplugWhileConnected()
{
    Rig rig(MeterModel::Km50_60, { Rig::cable() });
    rig.link->Panel2Click();
    QVERIFY(rig.reading());

    rig.backend->unplug("cable");
    rig.backend->notifyChange();
    QTRY_VERIFY(rig.link->deviceLines().isEmpty());
    QCOMPARE(rig.link->panelCaption(), QStringLiteral("DISCONNECT"));
    QVERIFY(rig.link->history().contains("Removal of USB to Serial"));

    rig.backend->plug(Rig::cable("cable-2"));
    rig.backend->notifyChange();
    QTRY_COMPARE(rig.link->selectedLine(), 0);
    QVERIFY(rig.link->history().contains("Arrival of USB to Serial"));
    QCOMPARE(rig.link->panelCaption(), QStringLiteral("DISCONNECT"));
    QVERIFY(!rig.reading());

    rig.link->Panel2Click();
    rig.link->Panel2Click();
    QCOMPARE(rig.link->panelCaption(), QStringLiteral("DISCONNECT"));
    QVERIFY(rig.reading());
}

void TestLinkControl::framesFromTheCableReachTheDecoder()
{
    Rig rig(MeterModel::Km90, { Rig::cable() });
    rig.link->Panel2Click();
    Km90Frame frame;
    frame.mainDigits = QStringLiteral("1234");
    const QList<QByteArray> reports = CableReports::frameReports(frame.bytes());
    for (int k = 0; k < 3; ++k) {
        for (const QByteArray &r : reports)
            rig.backend->queueReport(kCablePath, r);
    }
    QTRY_COMPARE(rig.frames.size(), 3);
    QCOMPARE(rig.frames.first(), frame.frameDigits());
    rig.backend->queueReadError(kCablePath, 5);
    QTRY_VERIFY(rig.link->history().last().startsWith("READ ERROR: "));
    QVERIFY(rig.link->history().last().endsWith(" (5)"));
    rig.link->Panel2Click();
}

void TestLinkControl::historyIsBounded()
{
    Rig rig(MeterModel::Km90, {});
    for (int i = 0; i < LinkControl::kHistoryLimit + 10; ++i)
        rig.link->addHistory(QString::number(i));
    QCOMPARE(rig.link->history().size(), LinkControl::kHistoryLimit);
    QCOMPARE(rig.link->history().first(), QStringLiteral("10"));
}

QTEST_GUILESS_MAIN(TestLinkControl)
#include "tst_linkcontrol.moc"
