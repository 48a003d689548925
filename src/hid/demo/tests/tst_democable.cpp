// SPDX-License-Identifier: MIT
#include "DemoCableBackend.h"
#include "DemoScenario.h"
#include "FrameAssembler.h"
#include "HidControllerClass.h"
#include "Km50Decoder.h"
#include "Km90Decoder.h"
#include "RecordingOutputs.h"

#include <QTest>

#include <set>

Q_DECLARE_METATYPE(MeterModel)

namespace {

const QByteArray setup = QByteArray::fromHex("00600900000300000000");

std::unique_ptr<FrameDecoder> makeDecoder(
    MeterModel model, DecoderOutputs &out, CurrentReading &reading)
{
    if (model == MeterModel::Km90)
        return std::make_unique<Km90Decoder>(out, reading, QStringLiteral("."));
    return std::make_unique<Km50Decoder>(out, reading, QStringLiteral("."));
}

} // namespace

class TestDemoCable : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void oneLoopDecodesCleanly_data();
    void oneLoopDecodesCleanly();
    void streamsOnlyBetweenSetupReports();
    void pacedLikeTheSerialLine();
    void throughTheHidLayer();
};

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

    DemoCableBackend backend(model, false);
    auto handle = backend.open(backend.enumerate().first().path, HidAccess::ReadWrite, nullptr);
    QVERIFY(handle);
    QVERIFY(handle->setFeature(setup));

    int framesInLoop = 0;
    for (const DemoStep &step : demoScenario(model))
        framesInLoop += step.frame.isEmpty() ? 0 : 1;

    RecordingOutputs outputs;
    CurrentReading reading;
    auto decoder = makeDecoder(model, outputs, reading);
    FrameAssembler link(frameLength(model));
    std::set<int> seen;
    bool minus = false;
    bool overload = false;
    link.setShowData50([&](const QString &frame) {
        seen.insert(frame[0].digitValue());
        decoder->ShowData50(frame);
        minus = minus || reading.Value.startsWith(u'-');
        overload = overload || reading.Value == u"OL";
    });
    QByteArray report;
    while (link.framesDecoded() + link.framesDropped() < quint64(framesInLoop)) {
        QCOMPARE(handle->read(report, 100).status, HidReadResult::Report);
        link.Read50(quint8(report[0]), QByteArrayView(report).sliced(1));
    }
    QCOMPARE(link.framesDropped(), quint64(0));
    QCOMPARE(link.framesFailed(), quint64(0));
    QCOMPARE(QList<int>(seen.begin(), seen.end()), functions);
    QVERIFY(minus);
    QVERIFY(overload);
}

void TestDemoCable::streamsOnlyBetweenSetupReports()
{
    DemoCableBackend backend(MeterModel::Km90, false);
    auto handle = backend.open(backend.enumerate().first().path, HidAccess::ReadWrite, nullptr);
    QByteArray report;
    QCOMPARE(handle->read(report, 10).status, HidReadResult::Timeout);
    handle->setFeature(QByteArray::fromHex("0001")); // not the set-up report: ignored
    QCOMPARE(handle->read(report, 10).status, HidReadResult::Timeout);
    handle->setFeature(setup);
    QCOMPARE(handle->read(report, 10).status, HidReadResult::Report);
    QCOMPARE(report.size(), 9);
    QCOMPARE(report[0], '\0');
    handle->setFeature(setup); // Disconnect
    QCOMPARE(handle->read(report, 10).status, HidReadResult::Timeout);
    handle->cancel();
    QCOMPARE(handle->read(report, 5000).status,
        HidReadResult::Timeout); // a cancel ends the wait at once
}

void TestDemoCable::pacedLikeTheSerialLine()
{
    DemoCableBackend backend(MeterModel::Km90, false);
    auto handle = backend.open(backend.enumerate().first().path, HidAccess::ReadWrite, nullptr);
    handle->setFeature(setup);

    int framesInLoop = 0;
    for (const DemoStep &step : demoScenario(MeterModel::Km90))
        framesInLoop += step.frame.isEmpty() ? 0 : 1;

    // One loop and a little more: count data reports per frame and the longest idle run.
    int frames = 0;
    int dataReports = 0;
    int idleRun = 0;
    int longestIdleRun = 0;
    QList<int> reportsPerFrame;
    QByteArray report;
    while (frames < framesInLoop + 2) {
        QCOMPARE(handle->read(report, 100).status, HidReadResult::Report);
        const int n = quint8(report[1]) & 0x0F;
        if (n == 0) {
            if (dataReports > 0) {
                reportsPerFrame << dataReports;
                ++frames;
            }
            dataReports = 0;
            longestIdleRun = qMax(longestIdleRun, ++idleRun);
        } else {
            QVERIFY2(n <= 2, "a 5 ms poll carries at most two bytes of a 2400-baud line");
            ++dataReports;
            idleRun = 0;
        }
    }
    // 26 bytes of 10 bits at 2400 baud take 108 ms: about 22 polls of 5 ms.
    for (int r : reportsPerFrame)
        QVERIFY2(r >= 20 && r <= 23, qPrintable(QString::number(r)));
    QVERIFY(longestIdleRun >= 1900); // the silence is long enough for the watchdog
}

void TestDemoCable::throughTheHidLayer()
{
    auto backend = std::make_shared<DemoCableBackend>(MeterModel::Km50_60, false);
    THidDeviceController controller(backend);
    QCOMPARE(controller.DeviceList().size(), 1);
    auto cable = controller.ClaimDevice(0);
    QVERIFY(cable);
    QCOMPARE(cable->ProductText(), QStringLiteral("USB to Serial"));
    QVERIFY(cable->CanReadWrite());

    FrameAssembler link(21);
    QStringList frames;
    link.setShowData50([&](const QString &f) { frames << f; });
    QVERIFY(cable->SendFeature(setup));
    cable->setDataHandler([&](THidDevice *, quint8 id, const quint8 *data, quint16 size) {
        link.Read50(id, QByteArrayView(data, size));
    });
    QTRY_VERIFY_WITH_TIMEOUT(frames.size() >= 10, 20000);
    cable->setDataHandler({});
    for (const QString &f : std::as_const(frames))
        QVERIFY(f.endsWith(u"DA"));
}

QTEST_GUILESS_MAIN(TestDemoCable)
#include "tst_democable.moc"
