// SPDX-License-Identifier: MIT
#include "hid/HidControllerClass.h"
#include "hid/demo/DemoCableBackend.h"
#include "link/FrameAssembler.h"
#include "models/ModelDescription.h"
#include "models/common/RecordingOutputs.h"
#include "models/km50_60/Km50Decoder.h"
#include "models/km90/Km90Decoder.h"
#include "sim/CableReports.h"
#include "sim/DemoScenario.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTest>
#include <QTimer>

#include <cmath>
#include <set>
#include <thread>

Q_DECLARE_METATYPE(MeterModel)

namespace {

const QByteArray setup = QByteArray::fromHex("00600900000300000000");
constexpr qint64 kPollUs = DemoCableBackend::kPollUs;

// A clock the test moves by hand; waits return at once without moving it.
class HandClock : public DemoCableClock
{
public:
    qint64 now = 0;
    qint64 nowUs() override { return now; }
    void waitUntil(std::unique_lock<std::mutex> &, std::condition_variable &, qint64) override { }
};

std::unique_ptr<HidHandle> openCable(DemoCableBackend &backend)
{
    return backend.open(backend.enumerate().first().path, HidAccess::ReadWrite, nullptr);
}

int meterBytes(const QByteArray &report)
{
    return report.size() > 1 ? quint8(report[1]) & 0x0F : 0;
}

// The FrameDigits text of frame bytes: each byte's low nibble as a hex digit.
QString digitsOf(const QByteArray &bytes)
{
    QString s;
    for (char b : bytes)
        s += QChar(u"0123456789ABCDEF"[b & 0x0F]);
    return s;
}

QStringList scenarioFrames(MeterModel model)
{
    QStringList frames;
    for (const DemoStep &step : modelDescription(model).demoScenario()) {
        if (!step.frame.isEmpty())
            frames << digitsOf(step.frame);
    }
    return frames;
}

std::unique_ptr<FrameDecoder> makeDecoder(
    MeterModel model, DecoderOutputs &out, CurrentReading &reading)
{
    if (model == MeterModel::Km90)
        return std::make_unique<Km90Decoder>(out, reading, QStringLiteral("."));
    return std::make_unique<Km50Decoder>(out, reading, QStringLiteral("."));
}

// Reads the stream for one loop of the scenario and a little more, noting the
// clock time each report came at.
struct Capture
{
    QList<QByteArray> reports;
    QList<qint64> timesUs;
};

Capture captureLoop(MeterModel model, qint64 extraUs = 0)
{
    auto clock = DemoCableClock::instant();
    DemoCableBackend backend(model, clock);
    auto handle = openCable(backend);
    handle->setFeature(setup);
    const qint64 startUs = clock->nowUs();
    qint64 loopUs = DemoCableBackend::kLeadInPolls * kPollUs + extraUs;
    for (const DemoStep &step : modelDescription(model).demoScenario())
        loopUs += qint64(step.durationMs) * 1000;
    Capture c;
    QByteArray report;
    while (clock->nowUs() - startUs < loopUs) {
        if (handle->read(report, 1000).status != HidReadResult::Report)
            return {};
        c.reports << report;
        c.timesUs << clock->nowUs() - startUs;
    }
    return c;
}

// A reading of a frame: digits at (1-based) position `at`, the point code
// after them (1, 2 or 3 decimals, else none) and the sign from S1.
double readingAt(const QString &frame, int at, bool negative)
{
    const QString digits = frame.mid(at - 1, 4);
    const int decimals = frame.at(at + 3).digitValue();
    const double value
        = digits.toInt() / std::pow(10.0, decimals >= 1 && decimals <= 3 ? decimals : 0);
    return negative ? -value : value;
}

} // namespace

class TestDemoCable : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void everyScreenIsOneTheMeterShows_data();
    void everyScreenIsOneTheMeterShows();
    void oneLoopDecodesCleanly_data();
    void oneLoopDecodesCleanly();
    void pacedLikeTheSerialLine_data();
    void pacedLikeTheSerialLine();
    void readsWaitUntilTheReportIsDue();
    void setupReportsStartAndStop_data();
    void setupReportsStartAndStop();
    void aLateReaderGetsTheBufferedReportsThenThePace();
    void cancelEndsTheWaitOfItsOwnHandle();
    void throughTheHidLayer_data();
    void throughTheHidLayer();
};

void TestDemoCable::everyScreenIsOneTheMeterShows_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::addColumn<int>("status"); // position of S1
    QTest::newRow("km90") << MeterModel::Km90 << 21;
    QTest::newRow("km50_60") << MeterModel::Km50_60 << 16;
}

void TestDemoCable::everyScreenIsOneTheMeterShows()
{
    QFETCH(MeterModel, model);
    QFETCH(int, status);
    const QStringList frames = scenarioFrames(model);
    const auto nibble = [&](const QString &f, int s) { return f.at(status - 1 + s).digitValue(); };
    const auto hold = [&](const QString &f) { return (nibble(f, 2) & 0x1) != 0; };
    const auto max = [&](const QString &f) { return (nibble(f, 1) & 0x4) != 0; };
    const auto min = [&](const QString &f) { return (nibble(f, 1) & 0x8) != 0; };
    const auto main = [&](const QString &f) { return readingAt(f, 4, nibble(f, 0) & 0x4); };
    int holds = 0;
    int extremes = 0;
    int temperatures = 0;
    for (qsizetype i = 0; i < frames.size(); ++i) {
        const QString &f = frames[i];
        const QString before = i > 0 ? frames[i - 1] : QString();
        const bool continues = i > 0 && before.at(0) == f.at(0);
        if (hold(f)) {
            // A held meter shows a frozen screen, for a second or more.
            ++holds;
            if (continues && hold(before))
                QCOMPARE(f, before);
            else
                QVERIFY(i + 3 < frames.size() && frames[i + 3] == f);
        }
        if ((max(f) || min(f)) && continues && max(before) == max(f) && min(before) == min(f)) {
            // MAX only climbs and MIN only falls; a screen that keeps its
            // extreme keeps every reading of the moment it was measured.
            ++extremes;
            const double was = main(before);
            const double is = main(f);
            QVERIFY2(max(f) ? is >= was : is <= was, qPrintable(f));
            if (is == was)
                QCOMPARE(f, before);
        }
        if (model == MeterModel::Km50_60 && f.at(0) == u'5')
            QVERIFY2(!max(f) && !min(f), qPrintable(f)); // no extremes of energy
        if (model == MeterModel::Km50_60 && f.at(0) == u'6') {
            // The second display shows the same temperature in Fahrenheit.
            ++temperatures;
            const double celsius = main(f);
            const double fahrenheit = readingAt(f, 9, false);
            QVERIFY2(qAbs(fahrenheit - (celsius * 9 / 5 + 32)) <= 0.15, qPrintable(f));
        }
    }
    QVERIFY(holds > 0);
    QVERIFY(extremes > 0);
    QCOMPARE(temperatures > 0, model == MeterModel::Km50_60);
}

void TestDemoCable::oneLoopDecodesCleanly_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::addColumn<QList<int>>("functions");
    QTest::newRow("km90") << MeterModel::Km90 << QList<int> { 0, 1, 2, 3, 4, 5, 7 };
    QTest::newRow("km50_60") << MeterModel::Km50_60 << QList<int> { 0, 1, 2, 3, 4, 5, 6, 7 };
}

void TestDemoCable::oneLoopDecodesCleanly()
{
    QFETCH(MeterModel, model);
    QFETCH(QList<int>, functions);

    const Capture c = captureLoop(model);
    QVERIFY(!c.reports.isEmpty());

    RecordingOutputs outputs;
    CurrentReading reading;
    auto decoder = makeDecoder(model, outputs, reading);
    const LcdDisplayState &lcd = decoder->lcd();
    FrameAssembler link(modelDescription(model).frameLength);
    QStringList frames;
    std::set<int> seenFunctions, seenPoints, seenMemory;
    std::set<QString> seenMarks, seenValues;
    link.setShowData50([&](const QString &frame) {
        frames << frame;
        decoder->ShowData50(frame);
        seenFunctions.insert(frame[0].digitValue());
        seenPoints.insert(frame[7].digitValue());
        seenMemory.insert(
            lcd.text(lcd.indexOf(u"stor1")).toInt() * 10 + lcd.text(lcd.indexOf(u"stor2")).toInt());
        seenValues.insert(reading.Value);
        for (const char16_t *mark : { u"LabelF", u"LCDHold", u"Labmax", u"Labmin", u"labMEM",
                 u"wsg", u"power", u"danger" }) {
            if (lcd.isVisible(lcd.indexOf(mark)))
                seenMarks.insert(QString::fromUtf16(mark));
        }
        if (reading.Value == u"OL")
            seenMarks.insert(QStringLiteral("OL"));
    });
    for (const QByteArray &report : c.reports)
        link.Read50(quint8(report[0]), QByteArrayView(report).sliced(1));

    // Every frame of the loop arrived whole and in order, and decoded.
    QCOMPARE(frames, scenarioFrames(model));
    QCOMPARE(link.framesDropped(), quint64(0));
    QCOMPARE(link.framesFailed(), quint64(0));

    QCOMPARE(QList<int>(seenFunctions.begin(), seenFunctions.end()), functions);
    QCOMPARE(QStringList(seenMarks.begin(), seenMarks.end()),
        QStringList(
            { "LCDHold", "LabelF", "Labmax", "Labmin", "OL", "danger", "labMEM", "power", "wsg" }));
    for (int point : { 1, 2, 3 })
        QVERIFY2(seenPoints.count(point), qPrintable(QString::number(point)));
    QVERIFY(seenMemory.size() >= 5); // a reading stored in each function
    QVERIFY(qsizetype(seenValues.size()) >= frames.size() / 2); // readings keep changing
}

void TestDemoCable::pacedLikeTheSerialLine_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::newRow("km90") << MeterModel::Km90;
    QTest::newRow("km50_60") << MeterModel::Km50_60;
}

void TestDemoCable::pacedLikeTheSerialLine()
{
    QFETCH(MeterModel, model);
    // One loop and the start of the next, so that the silence ends.
    const Capture c = captureLoop(model, kDemoFramePeriodMs * 1000);
    QVERIFY(!c.reports.isEmpty());

    const qint64 frameUs = qint64(modelDescription(model).frameLength)
        * DemoCableBackend::kBitsPerByte * 1000000
        / DemoCableBackend::kBaud; // 108 ms for KM90, 87.5 ms for KM50_60
    QList<qint64> frameStarts;
    qint64 firstByteUs = -1;
    qint64 lastByteUs = -1;
    int bytes = 0;
    int idleRun = 0;
    int longestIdleRun = 0;
    std::set<int> chunkSizes;
    for (qsizetype i = 0; i < c.reports.size(); ++i) {
        // One report per poll, each at the moment it is due.
        QCOMPARE(c.timesUs[i], (i + 1) * kPollUs);
        const int n = meterBytes(c.reports[i]);
        if (n > 0) {
            chunkSizes.insert(n);
            if (firstByteUs < 0)
                firstByteUs = c.timesUs[i];
            lastByteUs = c.timesUs[i];
            bytes += n;
            idleRun = 0;
            continue;
        }
        if (bytes > 0) {
            QCOMPARE(bytes, modelDescription(model).frameLength);
            // The frame's bytes reach the cable over bytes x 10 / 2400 s.
            QVERIFY2(qAbs(lastByteUs - firstByteUs + kPollUs - frameUs) <= kPollUs,
                qPrintable(QString::number(lastByteUs - firstByteUs)));
            frameStarts << firstByteUs;
            bytes = 0;
            firstByteUs = -1;
        }
        longestIdleRun = qMax(longestIdleRun, ++idleRun);
    }
    // A 5 ms poll sees one or two bytes of a 2400-baud line.
    QCOMPARE(QList<int>(chunkSizes.begin(), chunkSizes.end()), QList<int>({ 1, 2 }));
    QCOMPARE(frameStarts.size(), scenarioFrames(model).size() + 1);
    for (qsizetype i = 1; i + 1 < frameStarts.size(); ++i)
        QVERIFY(qAbs(frameStarts[i] - frameStarts[i - 1] - kDemoFramePeriodMs * 1000) <= kPollUs);
    // The silence outlasts the programs' watchdog.
    QVERIFY(longestIdleRun >= DemoCableBackend::kWatchdogIdleReports);
    QVERIFY(frameStarts.last() - frameStarts[frameStarts.size() - 2] >= kDemoSilenceMs * 1000);
}

void TestDemoCable::readsWaitUntilTheReportIsDue()
{
    auto clock = DemoCableClock::instant();
    DemoCableBackend backend(MeterModel::Km90, clock);
    auto handle = openCable(backend);
    QByteArray report;

    const qint64 t0 = clock->nowUs();
    QCOMPARE(handle->read(report, 30).status, HidReadResult::Timeout); // not set up: nothing comes
    QCOMPARE(clock->nowUs() - t0, 30000);

    QVERIFY(handle->setFeature(setup));
    const qint64 t1 = clock->nowUs();
    QCOMPARE(handle->read(report, 2).status, HidReadResult::Timeout); // due 5 ms after the set-up
    QCOMPARE(clock->nowUs() - t1, 2000);
    QCOMPARE(handle->read(report, 0).status, HidReadResult::Timeout);
    QCOMPARE(handle->read(report, 100).status, HidReadResult::Report);
    QCOMPARE(clock->nowUs() - t1, kPollUs);
    QCOMPARE(report, CableReports::idleReport());
    QCOMPARE(handle->read(report, 100).status, HidReadResult::Report);
    QCOMPARE(clock->nowUs() - t1, 2 * kPollUs);
}

void TestDemoCable::setupReportsStartAndStop_data()
{
    QTest::addColumn<int>("readsBeforeSecondSetup");
    QTest::addColumn<bool>("streamsAfter");
    // Disconnect: the second report stops the stream.
    QTest::newRow("disconnect at once") << 0 << false;
    QTest::newRow("disconnect mid-frame") << DemoCableBackend::kLeadInPolls + 10 << false;
    // The meter has been silent for so long that the program's watchdog has
    // dropped the link itself: the next report is the operator's Connect.
    QTest::newRow("connect after the watchdog") << DemoCableBackend::kLeadInPolls
            + (modelDescription(MeterModel::Km90).demoScenario().size() - 1) * kDemoFramePeriodMs
                * 1000 / int(kPollUs)
            + DemoCableBackend::kWatchdogIdleReports
                                                << true;
}

void TestDemoCable::setupReportsStartAndStop()
{
    QFETCH(int, readsBeforeSecondSetup);
    QFETCH(bool, streamsAfter);

    const QStringList frames = scenarioFrames(MeterModel::Km90);
    auto clock = DemoCableClock::instant();
    DemoCableBackend backend(MeterModel::Km90, clock);
    auto handle = openCable(backend);
    QByteArray report;
    QVERIFY(handle->setFeature(QByteArray::fromHex("0001"))); // another feature report: ignored
    QCOMPARE(handle->read(report, 10).status, HidReadResult::Timeout);

    QVERIFY(handle->setFeature(setup));
    for (int i = 0; i < readsBeforeSecondSetup; ++i)
        QCOMPARE(handle->read(report, 10).status, HidReadResult::Report);
    QVERIFY(handle->setFeature(setup));
    if (!streamsAfter) {
        QCOMPARE(handle->read(report, 1000).status, HidReadResult::Timeout);
        QVERIFY(handle->setFeature(setup)); // Connect again
    }

    // The stream starts from the beginning: idle polls, then the first frame.
    for (int i = 0; i < DemoCableBackend::kLeadInPolls; ++i) {
        QCOMPARE(handle->read(report, 10).status, HidReadResult::Report);
        QCOMPARE(meterBytes(report), 0);
    }
    QByteArray bytes;
    while (bytes.size() < modelDescription(MeterModel::Km90).frameLength) {
        QCOMPARE(handle->read(report, 10).status, HidReadResult::Report);
        QVERIFY(meterBytes(report) > 0);
        bytes += report.mid(2, meterBytes(report));
    }
    QCOMPARE(digitsOf(bytes), frames.first());
}

void TestDemoCable::aLateReaderGetsTheBufferedReportsThenThePace()
{
    auto clock = std::make_shared<HandClock>();
    DemoCableBackend backend(MeterModel::Km50_60, clock);
    auto handle = openCable(backend);
    handle->setFeature(setup);
    clock->now += 1000000; // the reader comes back a second later

    QByteArray report;
    int waiting = 0;
    while (handle->read(report, 0).status == HidReadResult::Report)
        ++waiting;
    QCOMPARE(waiting, DemoCableBackend::kBufferedReports);
    clock->now += kPollUs - 1;
    QCOMPARE(handle->read(report, 0).status, HidReadResult::Timeout);
    clock->now += 1;
    QCOMPARE(handle->read(report, 0).status, HidReadResult::Report);
}

void TestDemoCable::cancelEndsTheWaitOfItsOwnHandle()
{
    {
        auto clock = DemoCableClock::instant();
        DemoCableBackend backend(MeterModel::Km90, clock);
        auto main = openCable(backend);
        auto reader = backend.open(backend.enumerate().first().path, HidAccess::Read, nullptr);
        QByteArray report;
        reader->cancel(); // no read is waiting: the next read ends at once
        const qint64 t0 = clock->nowUs();
        QCOMPARE(main->read(report, 50).status, HidReadResult::Timeout);
        QCOMPARE(clock->nowUs() - t0, 50000); // the other handle waited its time
        QCOMPARE(reader->read(report, 50).status, HidReadResult::Timeout);
        QCOMPARE(clock->nowUs() - t0, 50000); // this one did not wait
        QCOMPARE(reader->read(report, 50).status, HidReadResult::Timeout);
        QCOMPARE(clock->nowUs() - t0, 100000); // and the cancel is used up
    }
    // In real time, from another thread, while the read waits.
    DemoCableBackend backend(MeterModel::Km90);
    auto reader = openCable(backend);
    HidReadResult result = HidReadResult::report();
    QElapsedTimer timer;
    timer.start();
    std::thread thread([&] {
        QByteArray report;
        result = reader->read(report, 60000);
    });
    reader->cancel();
    thread.join();
    QCOMPARE(result.status, HidReadResult::Timeout);
    QVERIFY(timer.elapsed() < 30000);
}

void TestDemoCable::throughTheHidLayer_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::newRow("km90") << MeterModel::Km90;
    QTest::newRow("km50_60") << MeterModel::Km50_60;
}

void TestDemoCable::throughTheHidLayer()
{
    QFETCH(MeterModel, model);
    const QStringList expected = scenarioFrames(model).mid(0, 8);

    auto backend = std::make_shared<DemoCableBackend>(model, DemoCableClock::instant());
    THidDeviceController controller(backend);
    QCOMPARE(controller.DeviceList().size(), 1);
    auto cable = controller.ClaimDevice(0);
    QVERIFY(cable);
    QCOMPARE(cable->ProductText(), QStringLiteral("USB to Serial"));
    QCOMPARE(cable->SerialText(), QString());
    QCOMPARE(cable->Attributes().VendorID, 0x1a86);
    QCOMPARE(cable->Attributes().ProductID, 0xe008);
    QVERIFY(cable->CanReadWrite());

    // The main thread runs its event loop until enough frames have come.
    QEventLoop loop;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, &QEventLoop::quit);
    FrameAssembler link(modelDescription(model).frameLength);
    QStringList frames;
    link.setShowData50([&](const QString &f) {
        frames << f;
        if (frames.size() == expected.size())
            loop.quit();
    });
    const THidDataEvent read50([&](THidDevice *, quint8 id, const quint8 *data, quint16 size) {
        link.Read50(id, QByteArrayView(data, size));
    });

    // Connect, Disconnect and Connect again in the program's order: the
    // feature report first on Connect, the handler removed first on Disconnect.
    for (int connect = 0; connect < 2; ++connect) {
        frames.clear();
        QVERIFY(cable->SendFeature(setup));
        cable->setDataHandler(read50);
        guard.start(30000);
        loop.exec();
        cable->setDataHandler({});
        QVERIFY(cable->SendFeature(setup));
        QVERIFY(guard.isActive());
        QCOMPARE(frames.mid(0, expected.size()), expected);
    }
    QCOMPARE(link.framesFailed(), quint64(0));
}

QTEST_GUILESS_MAIN(TestDemoCable)
#include "tst_democable.moc"
