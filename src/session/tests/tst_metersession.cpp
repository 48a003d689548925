// SPDX-License-Identifier: MIT
#include "core/ConversionError.h"
#include "core/ReadingText.h"
#include "models/common/FrameDecoder.h"
#include "models/common/RecordingOutputs.h"
#include "session/MeterSession.h"
#include "sim/CableReports.h"

#include <QTest>

Q_DECLARE_METATYPE(MeterModel)

namespace {

// Logs what the session tells its observer, one line per call, in the form
// the decoder's own call log uses.
struct CallLog : SessionObserver
{
    QStringList lines;
    QStringList reportLines;
    bool wantsLines = true;
    void ReportLine(const QString &text) override { reportLines << text; }
    bool wantsReportLines() const override { return wantsLines; }
    void add(const QString &line) { lines << line; }
    void FrameBegins(const QString &) override { add(QStringLiteral("FRAME")); }
    void LinkOn() override { add(QStringLiteral("LinkOn")); }
    void DispInit(int mode) override { add(QStringLiteral("DispInit\t%1").arg(mode)); }
    void SelectGaugeScale(int i) override { add(QStringLiteral("SelectGaugeScale\t%1").arg(i)); }
    void KDsetup(const GaugeScale &) override { add(QStringLiteral("KDsetup")); }
    void SetValueMinimum(double y) override
    {
        add(QStringLiteral("SetValueMinimum\t") + ReadingText::formatNumber(y));
    }
    void SetValueMaximum(double y) override
    {
        add(QStringLiteral("SetValueMaximum\t") + ReadingText::formatNumber(y));
    }
    void KDrun(int p) override { add(QStringLiteral("KDrun\t%1").arg(p)); }
    void BarMax(int m) override { add(QStringLiteral("BarMax\t%1").arg(m)); }
    void BarPos(int p) override { add(QStringLiteral("BarPos\t%1").arg(p)); }
    void RecordingTest(bool pass) override { add(QStringLiteral("RecordingTest\t%1").arg(pass)); }
    void INDataToTable(int mode) override { add(QStringLiteral("INDataToTable\t%1").arg(mode)); }
    void RowRecorded(int row) override { add(QStringLiteral("ROW\t%1").arg(row)); }
    void AddValue(double y) override
    {
        add(QStringLiteral("AddValue\t") + ReadingText::formatNumber(y));
    }
    void FrameDone() override { add(QStringLiteral("DONE")); }
    void FrameFailed(const QString &frame, const QString &) override
    {
        add(QStringLiteral("FAILED\t") + frame);
    }
};

// The first frames of the model's demo tour, as FrameDigits.
QStringList tourFrames(MeterModel model, int count)
{
    QStringList frames;
    for (const DemoStep &step : modelDescription(model).demoScenario()) {
        if (step.frame.isEmpty())
            continue;
        QString digits;
        for (char b : step.frame)
            digits += QString::number(quint8(b) & 0x0F, 16).toUpper();
        frames << digits;
        if (frames.size() == count)
            break;
    }
    return frames;
}

void feedAsReports(MeterSession &session, const QString &frameDigits)
{
    QByteArray bytes;
    for (QChar c : frameDigits)
        bytes.append(char(QString(c).toInt(nullptr, 16)));
    for (const QByteArray &report : CableReports::frameReports(bytes))
        session.Read50(quint8(report[0]), QByteArrayView(report).sliced(1));
}

} // namespace

class TestMeterSession : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void reportsReachTheObserverInTheDecodersOrder_data();
    void reportsReachTheObserverInTheDecodersOrder();
    void refusedFramesAreToldAndRecordNothing();
    void worksWithoutAnObserver();
    void reportLinesGoOnlyToAnObserverThatWantsThem_data();
    void reportLinesGoOnlyToAnObserverThatWantsThem();
};

void TestMeterSession::reportsReachTheObserverInTheDecodersOrder_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::newRow("km90") << MeterModel::Km90;
    QTest::newRow("km50_60") << MeterModel::Km50_60;
}

void TestMeterSession::reportsReachTheObserverInTheDecodersOrder()
{
    QFETCH(MeterModel, model);
    const QStringList frames = tourFrames(model, 12);
    QCOMPARE(frames.size(), 12);

    // What the decoder alone calls for these frames, with every recording test passing.
    RecordingOutputs alone;
    CurrentReading aloneReading;
    const auto decoder
        = modelDescription(model).makeDecoder(alone, aloneReading, QStringLiteral("."));
    QStringList expected;
    int row = 0;
    for (const QString &frame : frames) {
        alone.calls.clear();
        decoder->ShowData50(frame);
        expected << QStringLiteral("FRAME");
        for (const QString &call : std::as_const(alone.calls)) {
            expected << call;
            if (call == u"INDataToTable\t1")
                expected << QStringLiteral("ROW\t%1").arg(row++);
        }
        expected << QStringLiteral("DONE");
    }

    // The session, fed the same frames as cable reports, tells its observer
    // the same calls in the same order, a row after each INDataToTable.
    CallLog log;
    MeterSession session(model, QStringLiteral("."), &log);
    for (const QString &frame : frames)
        feedAsReports(session, frame);
    QCOMPARE(log.lines, expected);
    QVERIFY(row > 0);
    QCOMPARE(session.cds1().rowCount(), row);
    QCOMPARE(session.assembler().framesDecoded(), quint64(frames.size()));
    QCOMPARE(session.reading().Value, aloneReading.Value);
    QCOMPARE(session.cds1().fieldText(row - 1, 2), aloneReading.Value);
}

void TestMeterSession::refusedFramesAreToldAndRecordNothing()
{
    // A frame with a hex letter where the decoder reads a decimal digit: found
    // by asking the decoder alone, so the test does not depend on the frame map.
    const QString good = tourFrames(MeterModel::Km90, 1).first();
    RecordingOutputs alone;
    CurrentReading reading;
    const auto decoder = modelDescription(MeterModel::Km90).makeDecoder(alone, reading, ".");
    QString bad;
    for (int i = 0; i < good.size() - 2 && bad.isEmpty(); ++i) {
        QString candidate = good;
        candidate[i] = u'E';
        try {
            decoder->ShowData50(candidate);
        } catch (const ConversionError &) {
            bad = candidate;
        }
    }
    QVERIFY(!bad.isEmpty());

    // Straight to the session, and from the cable, where the link counts it too.
    CallLog log;
    MeterSession session(MeterModel::Km90, QStringLiteral("."), &log);
    session.ShowData50(bad);
    QCOMPARE(log.lines.first(), QStringLiteral("FRAME"));
    QCOMPARE(log.lines.last(), QStringLiteral("FAILED\t") + bad);
    QVERIFY(!log.lines.contains(QStringLiteral("DONE")));

    log.lines.clear();
    feedAsReports(session, bad);
    QCOMPARE(session.assembler().framesFailed(), quint64(1));
    QCOMPARE(log.lines.last(), QStringLiteral("FAILED\t") + bad);
    QVERIFY(!log.lines.contains(QStringLiteral("DONE")));
    QCOMPARE(session.cds1().rowCount(), 0);

    // The next good frame goes through as usual.
    feedAsReports(session, good);
    QCOMPARE(log.lines.last(), QStringLiteral("DONE"));
}

void TestMeterSession::worksWithoutAnObserver()
{
    MeterSession session(MeterModel::Km50_60, QStringLiteral("."));
    for (const QString &frame : tourFrames(MeterModel::Km50_60, 5))
        feedAsReports(session, frame);
    QCOMPARE(session.assembler().framesDecoded(), quint64(5));
    QVERIFY(session.cds1().rowCount() > 0);
}

void TestMeterSession::reportLinesGoOnlyToAnObserverThatWantsThem_data()
{
    QTest::addColumn<bool>("wants");
    QTest::addColumn<bool>("setLater");
    QTest::newRow("wanted, given to the constructor") << true << false;
    QTest::newRow("wanted, set later") << true << true;
    QTest::newRow("not wanted, given to the constructor") << false << false;
    QTest::newRow("not wanted, set later") << false << true;
}

void TestMeterSession::reportLinesGoOnlyToAnObserverThatWantsThem()
{
    QFETCH(bool, wants);
    QFETCH(bool, setLater);
    const QString frame = tourFrames(MeterModel::Km90, 1).first();
    QByteArray bytes;
    for (QChar c : frame)
        bytes.append(char(QString(c).toInt(nullptr, 16)));
    QStringList expected;
    for (const QByteArray &report : CableReports::frameReports(bytes)) {
        if ((quint8(report[1]) & 0x0F) != 0) // data reports only
            expected << FrameAssembler::reportText(
                quint8(report[0]), QByteArrayView(report).sliced(1));
    }
    QVERIFY(expected.size() > 1);

    CallLog log;
    log.wantsLines = wants;
    MeterSession session(MeterModel::Km90, QStringLiteral("."), setLater ? nullptr : &log);
    if (setLater)
        session.setObserver(&log);
    feedAsReports(session, frame);
    QCOMPARE(log.reportLines, wants ? expected : QStringList());
    // Frames are decoded and recorded either way.
    QCOMPARE(log.lines.last(), QStringLiteral("DONE"));
    QCOMPARE(session.cds1().rowCount(), 1);

    // An observer that wants the lines, set after one that did not, gets them.
    CallLog other;
    session.setObserver(&other);
    feedAsReports(session, frame);
    QCOMPARE(other.reportLines, expected);
}

QTEST_GUILESS_MAIN(TestMeterSession)
#include "tst_metersession.moc"
