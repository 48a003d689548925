// SPDX-License-Identifier: MIT
// The KM90 window streaming from a fake cable through the real read thread and
// hand-over while the cable misbehaves: read errors at random, unplugs while a
// report is being handed over, and a storm of cables arriving and leaving.
// Every frame the cable sent must end up as exactly one row, in order.
#include "app/Unit1.h"
#include "dialogs/RecordingUserDialogs.h"
#include "hid/FakeHidBackend.h"
#include "hid/HidControllerClass.h"
#include "recording/ReadingTable.h"
#include "session/LinkControl.h"
#include "sim/CableReports.h"
#include "sim/MeterFrames.h"

#include <QAction>
#include <QDeadlineTimer>
#include <QPointer>
#include <QRandomGenerator>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

const QString kCablePath = QStringLiteral("/dev/hidraw-cable");

FakeHidBackend::Interface cableInterface(const QString &instanceId)
{
    auto cable = FakeHidBackend::makeInterface(instanceId, QStringLiteral("USB to Serial"));
    cable.path = kCablePath;
    return cable;
}

// A cable that is not the one the window picks: it carries a serial number.
FakeHidBackend::Interface otherCable(int n)
{
    auto cable = FakeHidBackend::makeInterface(
        QStringLiteral("other-%1").arg(n), QStringLiteral("USB to Serial"));
    cable.serial = QStringLiteral("S%1").arg(n);
    return cable;
}

// The main digits of the n-th frame the cable sends.
QString digitsOf(int n)
{
    return QStringLiteral("%1").arg(n % 10000, 4, 10, QLatin1Char('0'));
}

QList<QByteArray> reportsOf(int n)
{
    Km90Frame f;
    f.mainDigits = digitsOf(n);
    return CableReports::frameReports(f.bytes());
}

// Runs `action` on the main thread while the read thread waits in the hand-over
// of the n-th report it reads (counting from 1): the report has left the cable
// and not yet reached the window. The hand-over is a queued call to the read
// thread object; the action may destroy that object.
class HandOverTrap : public QObject
{
public:
    HandOverTrap(int n, std::function<void()> action)
        : m_left(n)
        , m_action(std::move(action))
    {
        qApp->installEventFilter(this);
    }
    ~HandOverTrap() override { qApp->removeEventFilter(this); }
    bool sprung() const { return m_left == 0; }

    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::MetaCall || m_left == 0
            || !qobject_cast<THidDeviceReadThread *>(watched) || --m_left > 0)
            return false;
        QPointer<QObject> receiver = watched;
        m_action();
        // A receiver destroyed by the action has run its hand-over while it
        // stopped; its queued call must not be delivered any more.
        return receiver.isNull();
    }

private:
    int m_left;
    std::function<void()> m_action;
};

// Runs the event loop until done() holds. Unlike QTest::qWaitFor, which
// sleeps between turns, it takes each hand-over as soon as it is posted: the
// read thread posts one report at a time and waits for it.
bool waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    QTimer wake; // the loop looks at done() at least this often
    wake.start(20);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

struct Rig
{
    Rig()
    {
        backend->plug(cableInterface(cableId));
        TFrmTest::Options options;
        options.localeDecimal = QStringLiteral(".");
        window = std::make_unique<TFrmTest>(
            MeterModel::Km90, backend, backend->createNotifier(), dialogs, options);
        window->findChild<QAction *>(QStringLiteral("setlimit"))->trigger();
        // The watchdog would take the link down during long waits in a slow
        // (sanitizer) build; these tests are about the cable, not the meter.
        window->ConTimer().stop();
        connect();
    }

    bool reading() const
    {
        THidDevice *d = window->link().CableDevice();
        return window->link().USBCon() && d && bool(d->DataHandler());
    }
    // What the operator does to have the cable read again: the panel shows
    // "Disconnect" after the cable came back, so one click disconnects first.
    void connect()
    {
        if (window->link().USBCon())
            window->Panel2Click();
        window->Panel2Click();
        if (THidDevice *d = window->link().CableDevice())
            d->setSleepTime(10); // a read error pauses the thread this long
    }

    void send(int frames)
    {
        for (int i = 0; i < frames; ++i) {
            for (const QByteArray &r : reportsOf(sent + i))
                backend->queueReport(kCablePath, r);
            reportsQueued += int(reportsOf(sent + i).size());
        }
        sent += frames;
    }
    void sendReadError(quint32 error)
    {
        backend->queueReadError(kCablePath, error);
        ++reportsQueued;
    }

    void unplugCable()
    {
        backend->unplug(cableId);
        backend->notifyChange();
    }
    // The cable comes back as a new arrival, under the same path.
    void replugCable()
    {
        cableId = QStringLiteral("cable-%1").arg(++plugs);
        backend->plug(cableInterface(cableId));
        backend->notifyChange();
    }

    // Waits until the cable has handed over everything queued and the window
    // has shown it.
    bool drained()
    {
        // Every item leaves the cable first; the last frame's rows follow at
        // once unless something was lost on the way.
        return waitUntil([&] { return backend->itemsTaken(kCablePath) == reportsQueued; }, 60000)
            && waitUntil([&] { return window->cds1().rowCount() >= sent; }, 2000);
    }

    // The Value column of every row, against the main digits of every frame sent.
    QStringList recorded() const
    {
        QStringList out;
        for (int row = 0; row < window->cds1().rowCount(); ++row)
            out.append(window->cds1().fieldText(row, 2));
        return out;
    }
    QStringList expected() const
    {
        QStringList out;
        for (int n = 0; n < sent; ++n)
            out.append(digitsOf(n));
        return out;
    }
    int historyCount(const QString &prefix) const
    {
        int n = 0;
        for (const QString &line : window->link().history())
            n += line.startsWith(prefix) ? 1 : 0;
        return n;
    }

    std::shared_ptr<FakeHidBackend> backend = std::make_shared<FakeHidBackend>();
    RecordingUserDialogs dialogs;
    std::unique_ptr<TFrmTest> window;
    int sent = 0;
    int reportsQueued = 0;
    int plugs = 0;
    QString cableId = QStringLiteral("cable");
};

} // namespace

class TestSoakFaults : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readErrorsAtRandom();
    void unplugDuringHandOver_data();
    void unplugDuringHandOver();
    void unplugFromInsideTheHandler();
    void stormOfCablesWhileStreaming();
};

void TestSoakFaults::readErrorsAtRandom()
{
    Rig rig;
    QVERIFY(rig.reading());
    QRandomGenerator random(1717);
    const quint32 errors[]
        = { 5 /* EIO */, 32 /* EPIPE */, 110 /* ETIMEDOUT */, hidDeviceGoneError() };
    int errorsSent = 0;
    // Errors fall between any two reports, inside frames as well as between them.
    for (int frame = 0; frame < 300; ++frame) {
        for (const QByteArray &r : reportsOf(rig.sent)) {
            if (random.bounded(8) == 0) {
                rig.sendReadError(errors[random.bounded(int(std::size(errors)))]);
                ++errorsSent;
            }
            rig.backend->queueReport(kCablePath, r);
            ++rig.reportsQueued;
        }
        ++rig.sent;
    }
    QVERIFY(errorsSent > 50);
    QVERIFY(rig.drained());
    QCOMPARE(rig.recorded(), rig.expected());
    QCOMPARE(rig.historyCount(QStringLiteral("READ ERROR: ")), errorsSent);
    QVERIFY(rig.reading());
    QCOMPARE(rig.window->link().deviceLines(), QStringList { QStringLiteral("USB to Serial") });
}

void TestSoakFaults::unplugDuringHandOver_data()
{
    QTest::addColumn<int>("report");
    // Frames are five reports: four carry the frame, then one idle report.
    QTest::newRow("inside a frame") << 5 * 7 + 2;
    QTest::newRow("last report of a frame") << 5 * 7 + 4;
    QTest::newRow("idle report after a frame") << 5 * 7 + 5;
    QTest::newRow("first report") << 1;
}

void TestSoakFaults::unplugDuringHandOver()
{
    QFETCH(int, report);
    Rig rig;
    rig.send(20);
    {
        HandOverTrap trap(report, [&] { rig.unplugCable(); });
        QTRY_VERIFY(trap.sprung());
    }
    // The report in flight was handed over while reading stopped; the rest of
    // the cable's queue waits for the cable to come back.
    QTRY_VERIFY(rig.window->link().deviceLines().isEmpty());
    QVERIFY(rig.historyCount(QStringLiteral("Removal of USB to Serial")) == 1);
    QCOMPARE(rig.backend->itemsTaken(kCablePath), report);
    // A frame ends with the idle report after it.
    QCOMPARE(rig.window->cds1().rowCount(), report / 5);
    QCOMPARE(rig.backend->openHandles(kCablePath), 0);

    rig.replugCable();
    QTRY_COMPARE(rig.window->link().selectedLine(), 0);
    rig.connect();
    QVERIFY(rig.reading());
    rig.send(5);
    QVERIFY(rig.drained());
    QCOMPARE(rig.recorded(), rig.expected());
}

void TestSoakFaults::unplugFromInsideTheHandler()
{
    // The cable leaves while the window is still drawing a frame, on the stack
    // of the read thread's hand-over: that thread must end after the handler
    // returns, not deliver anything more, and leave no handle open.
    Rig rig;
    int unplugAt = 3;
    QObject::connect(rig.window.get(), &TFrmTest::frameDone, rig.window.get(), [&] {
        if (--unplugAt == 0)
            rig.unplugCable();
    });
    rig.send(10);
    QTRY_VERIFY(rig.window->link().deviceLines().isEmpty());
    QTRY_COMPARE(rig.backend->openHandles(kCablePath), 0);
    QCOMPARE(rig.window->cds1().rowCount(), 3);

    rig.replugCable();
    QTRY_COMPARE(rig.window->link().selectedLine(), 0);
    rig.connect();
    QVERIFY(rig.drained());
    QCOMPARE(rig.recorded(), rig.expected());
}

void TestSoakFaults::stormOfCablesWhileStreaming()
{
    // A thousand arrivals and departures: other cables (which the window does
    // not pick) come and go, and every 25th change the cable itself leaves and
    // comes back, while frames keep streaming and hand-overs are pending.
    Rig rig;
    QRandomGenerator random(4242);
    QList<int> othersPresent;
    int changes = 0;
    int cableDepartures = 0;
    while (changes < 1000) {
        rig.send(1);
        // A few turns of the event loop: some hand-overs run, others stay
        // pending while the next device change runs.
        for (int i = random.bounded(4); i > 0; --i)
            QCoreApplication::processEvents();
        if (changes % 25 == 24) {
            rig.unplugCable();
            rig.replugCable();
            ++cableDepartures;
            changes += 2;
        } else if (!othersPresent.isEmpty() && random.bounded(2) == 0) {
            const int n = othersPresent.takeAt(random.bounded(int(othersPresent.size())));
            rig.backend->unplug(QStringLiteral("other-%1").arg(n));
            rig.backend->notifyChange();
            ++changes;
        } else {
            othersPresent.append(changes);
            rig.backend->plug(otherCable(changes));
            rig.backend->notifyChange();
            ++changes;
        }
        // The operator connects again whenever the cable stopped being read.
        QCOMPARE(rig.window->link().selectedLine() >= 0, true);
        if (!rig.reading())
            rig.connect();
        QVERIFY(rig.reading());
    }
    QVERIFY(cableDepartures >= 30);
    QVERIFY(rig.drained());
    QCOMPARE(rig.recorded(), rig.expected());
    QCOMPARE(rig.window->link().deviceLines().size(), othersPresent.size() + 1);
    // Nothing the departures left behind stays open: only the connected
    // cable's handle (through which it got its set-up report) and its reader's.
    QCOMPARE(rig.backend->openHandles(kCablePath, HidAccess::ReadWrite), 1);
    QCOMPARE(rig.backend->openHandles(kCablePath, HidAccess::Read), 1);
    QCOMPARE(rig.backend->openHandles(kCablePath), 2);
    QVERIFY(rig.dialogs.calls().isEmpty());
}

QTEST_MAIN(TestSoakFaults)
#include "tst_soakfaults.moc"
