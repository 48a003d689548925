// SPDX-License-Identifier: MIT
#include "hid/tests/HidTestRig.h"

#include <QSignalSpy>
#include <QTest>
#include <QThread>

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

const QString cableId = u"cable"_s;
const QString cablePath = HidTestRig::path(cableId);

// What a data handler saw: "ID:hex" per report, plus the checks that need to
// be made inside the call.
struct Received
{
    QStringList reports;
    QStringList faults;
};

// A claimed cable with a short wait slice, so that the tests' stops are quick.
struct Reading : HidTestRig
{
    std::unique_ptr<THidDevice> cable;
    Received received;

    Reading()
    {
        plug(cableId);
        start();
        cable = claim(cableId);
        cable->setSleepTime(10);
    }

    // A handler that records each report and checks that it runs on the main
    // thread while the read thread holds back: one report taken per call.
    THidDataEvent recorder(std::function<void(int)> after = {})
    {
        return [this, after](THidDevice *d, quint8 id, const quint8 *data, quint16 size) {
            const int n = int(received.reports.size()) + 1;
            received.reports << QString::number(id) + ":"
                    + QByteArray(reinterpret_cast<const char *>(data), size).toHex();
            if (QThread::currentThread() != qApp->thread())
                received.faults << u"not on the main thread"_s;
            if (d != cable.get())
                received.faults << u"wrong device"_s;
            if (fake->itemsTaken(cablePath) != n)
                received.faults << u"read ahead of the handler"_s;
            if (after)
                after(n);
        };
    }
};

} // namespace

class TestHidReadThread : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void reportsArriveInReadOrderOnTheMainThread();
    void stopDeliversAPendingHandOverFirst();
    void throwingHandlerDoesNotStopReading();
    void readErrorsReachTheErrorHandlerAndReadingGoesOn();
    void handlerMayStopItsOwnReading();
    void handlerMayDestroyItsDevice();
    void unpluggedDeviceReportsFailuresUntilStopped();
};

void TestHidReadThread::reportsArriveInReadOrderOnTheMainThread()
{
    Reading r;
    const QList<QByteArray> reports { QByteArray::fromHex("00f3414243000000"),
        QByteArray::fromHex("00f0"), QByteArray::fromHex("00"), QByteArray::fromHex("03aabb"),
        QByteArray::fromHex("00f13f") };
    for (const QByteArray &report : reports)
        r.fake->queueReport(cablePath, report);
    r.cable->setDataHandler(r.recorder());

    QTRY_COMPARE(r.received.reports.size(), reports.size());
    QCOMPARE(
        r.received.reports, (QStringList { "0:f3414243000000", "0:f0", "0:", "3:aabb", "0:f13f" }));
    QCOMPARE(r.received.faults, QStringList {});
}

void TestHidReadThread::stopDeliversAPendingHandOverFirst()
{
    Reading r;
    r.cable->setDataHandler(r.recorder());
    r.fake->queueReport(cablePath, QByteArray::fromHex("00f155"));
    // The read thread has the report; without events processed here its
    // hand-over cannot have run.
    QVERIFY(r.fake->waitForItemsTaken(cablePath, 1));
    QCOMPARE(r.received.reports, QStringList {});

    r.cable->setDataHandler({});
    QCOMPARE(r.received.reports, QStringList { "0:f155" });
    QCOMPARE(r.received.faults, QStringList {});
    QVERIFY(!r.cable->ReadThread());
    QCOMPARE(r.fake->openHandles(cablePath, HidAccess::Read), 0);

    // Nothing reads any more.
    r.fake->queueReport(cablePath, QByteArray::fromHex("00f166"));
    QCoreApplication::processEvents();
    QCOMPARE(r.fake->itemsTaken(cablePath), 1);
}

void TestHidReadThread::throwingHandlerDoesNotStopReading()
{
    Reading r;
    for (const char *hex : { "00f101", "00f102", "00f103" })
        r.fake->queueReport(cablePath, QByteArray::fromHex(hex));
    QTest::ignoreMessage(QtWarningMsg, "HID handler failed: bad frame");
    QTest::ignoreMessage(QtWarningMsg, "HID handler failed");
    r.cable->setDataHandler(r.recorder([](int n) {
        if (n == 1)
            throw std::runtime_error("bad frame");
        if (n == 2)
            throw 42;
    }));

    QTRY_COMPARE(r.received.reports.size(), 3);
    QCOMPARE(r.received.reports, (QStringList { "0:f101", "0:f102", "0:f103" }));
    QCOMPARE(r.received.faults, QStringList {});
    QVERIFY(r.cable->ReadThread());
}

void TestHidReadThread::readErrorsReachTheErrorHandlerAndReadingGoesOn()
{
    Reading r;
    QStringList events;
    r.cable->setDataErrorHandler([&](THidDevice *d, quint32 error) {
        events << "error " + QString::number(error) + (d == r.cable.get() ? "" : " wrong device");
    });
    r.fake->queueReport(cablePath, QByteArray::fromHex("00f101"));
    r.fake->queueReadError(cablePath, 5);
    r.fake->queueReport(cablePath, QByteArray::fromHex("00f102"));
    r.cable->setDataHandler([&](THidDevice *, quint8, const quint8 *data, quint16) {
        events << "data " + QString::number(data[1]);
    });

    QTRY_COMPARE(events.size(), 3);
    QCOMPARE(events, (QStringList { "data 1", "error 5", "data 2" }));
}

void TestHidReadThread::handlerMayStopItsOwnReading()
{
    Reading r;
    r.fake->queueReport(cablePath, QByteArray::fromHex("00f101"));
    r.fake->queueReport(cablePath, QByteArray::fromHex("00f102"));
    r.cable->setDataHandler(r.recorder([&](int) { r.cable->setDataHandler({}); }));
    QPointer<THidDeviceReadThread> thread = r.cable->ReadThread();
    QVERIFY(thread);

    // The thread ends after the handler has returned, and cleans up after itself.
    QTRY_VERIFY(!thread);
    QCOMPARE(r.received.reports, QStringList { "0:f101" });
    QCOMPARE(r.received.faults, QStringList {});
    QVERIFY(!r.cable->ReadThread());
    QCOMPARE(r.fake->itemsTaken(cablePath), 1);
    QCOMPARE(r.fake->openHandles(cablePath, HidAccess::Read), 0);

    // Reading can start again.
    r.cable->setDataHandler(r.recorder());
    QTRY_COMPARE(r.received.reports.size(), 2);
    QCOMPARE(r.received.reports.last(), u"0:f102"_s);
}

void TestHidReadThread::handlerMayDestroyItsDevice()
{
    Reading r;
    r.fake->queueReport(cablePath, QByteArray::fromHex("00f101"));
    r.fake->queueReport(cablePath, QByteArray::fromHex("00f102"));
    int calls = 0;
    r.cable->setDataHandler([&](THidDevice *, quint8, const quint8 *, quint16) {
        ++calls;
        r.cable.reset();
    });
    QPointer<THidDeviceReadThread> thread = r.cable->ReadThread();

    QTRY_VERIFY(!thread);
    QCOMPARE(calls, 1);
    QVERIFY(!r.cable);
    // Handed back: a fresh unclaimed device for the cable.
    QCOMPARE(r.ids(), QStringList { cableId });
    QVERIFY(!r.find(cableId)->Claimed());
    QCOMPARE(r.fake->openHandles(cablePath), 0);
}

void TestHidReadThread::unpluggedDeviceReportsFailuresUntilStopped()
{
    Reading r;
    QList<quint32> errors;
    r.controller->setOnDeviceDataError([&](THidDevice *, quint32 error) { errors << error; });
    r.cable->setDataErrorHandler(r.controller->OnDeviceDataError());
    r.cable->setDataHandler(r.recorder());
    QVERIFY(r.cable->ReadThread());

    r.fake->unplug(cableId);
    r.controller->DeviceChange();
    QVERIFY(!r.cable->Present());
    QTRY_VERIFY(errors.size() >= 2);
    QCOMPARE(errors.first(), hidDeviceGoneError());
    QVERIFY(std::all_of(
        errors.cbegin(), errors.cend(), [](quint32 e) { return e == hidDeviceGoneError(); }));

    // The owner stops reading from its change handler, as the window does.
    r.controller->setOnDeviceChange([&](THidDeviceController *) { r.cable->setDataHandler({}); });
    QVERIFY(!r.cable->ReadThread());
    QCOMPARE(r.fake->openHandles(cablePath), 0);
    QCOMPARE(r.received.reports, QStringList {});
}

QTEST_GUILESS_MAIN(TestHidReadThread)
#include "tst_hidreadthread.moc"
