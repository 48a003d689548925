// SPDX-License-Identifier: MIT
#include "hid/FakeHidBackend.h"
#include "hid/demo/DemoCableBackend.h"
#include "meterlog/MeterLogLive.h"
#include "session/CableProtocol.h"
#include "sim/CableReports.h"
#include "sim/MeterFrames.h"

#include <QProcess>
#include <QTest>

Q_DECLARE_METATYPE(MeterModel)

namespace {

const QString power = QStringLiteral("000123412301153603051000DA");

struct LiveRun
{
    int status = -1;
    QString out;
    QString err;
};

LiveRun runLive(const std::shared_ptr<HidBackend> &backend, std::optional<qint64> count,
    MeterModel model = MeterModel::Km90)
{
    MeterLogOptions options;
    options.model = model;
    options.decimal = QStringLiteral(".");
    options.source = MeterLogOptions::Source::Device;
    options.count = count;
    LiveRun r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    r.status = runMeterLogLive(options, backend, {}, out, err);
    out.flush();
    err.flush();
    return r;
}

} // namespace

class TestMeterLogLive : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void readsTheCableUntilCount();
    void picksTheCableByExactDescription_data();
    void picksTheCableByExactDescription();
    void silentMeterIsReportedAndWaitedFor();
    void cableThatCannotBeOpenedReadWrite();
    void demoMeterGivesRows_data();
    void demoMeterGivesRows();
    void programReadsTheDemoMeter();
};

void TestMeterLogLive::readsTheCableUntilCount()
{
    auto backend = std::make_shared<FakeHidBackend>();
    backend->plug(FakeHidBackend::makeInterface(
        QStringLiteral("mouse"), QStringLiteral("USB Optical Mouse"), 0x046d, 0xc077));
    const auto cable
        = FakeHidBackend::makeInterface(QStringLiteral("cable"), QStringLiteral("USB to Serial"));
    backend->plug(cable);
    for (int i = 0; i < 3; ++i) {
        for (const QByteArray &r : CableReports::frameReports(frameBytesFromDigits(power), 2))
            backend->queueReport(cable.path, r);
    }

    const LiveRun r = runLive(backend, 2);
    QCOMPARE(r.status, 0);
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 3); // header and two frames
    QVERIFY(lines[1].startsWith(u"1\t"));
    QVERIFY(lines[2].endsWith(u"\t123.4\tKW\t230.1\tv\t5.360\tA"));
    // The set-up report went out on connect and again on the way out, as Disconnect does.
    const QByteArray setup = QByteArray::fromHex("00600900000300000000");
    QCOMPARE(backend->featureReports(cable.path), (QList<QByteArray> { setup, setup }));
}

void TestMeterLogLive::picksTheCableByExactDescription_data()
{
    QTest::addColumn<QString>("product");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<bool>("found");
    QTest::newRow("exact") << "USB to Serial"
                           << "" << true;
    QTest::newRow("serial suffix") << "USB to Serial"
                                   << "0001" << false;
    QTest::newRow("other case") << "USB to serial"
                                << "" << false;
    QTest::newRow("no product") << ""
                                << "" << false;
}

void TestMeterLogLive::picksTheCableByExactDescription()
{
    QFETCH(QString, product);
    QFETCH(QString, serial);
    QFETCH(bool, found);

    auto backend = std::make_shared<FakeHidBackend>();
    auto cable = FakeHidBackend::makeInterface(QStringLiteral("cable"), product);
    if (product.isEmpty())
        cable.product.reset();
    if (!serial.isEmpty())
        cable.serial = serial;
    cable.indexedStrings = false;
    backend->plug(cable);
    const LiveRun r = runLive(backend, 0);
    QCOMPARE(r.status, found ? 0 : int(ExitNoCable));
    QCOMPARE(r.err.contains(u"no interface cable \"USB to Serial\""), !found);
}

void TestMeterLogLive::silentMeterIsReportedAndWaitedFor()
{
    auto backend = std::make_shared<FakeHidBackend>();
    const auto cable
        = FakeHidBackend::makeInterface(QStringLiteral("cable"), QStringLiteral("USB to Serial"));
    backend->plug(cable);
    for (int i = 0; i < 1899; ++i)
        backend->queueReport(cable.path, CableReports::idleReport());
    // 1899 idle reports say nothing; the 1900th brings the message once; then the meter speaks.
    backend->queueReport(cable.path, CableReports::idleReport());
    for (const QByteArray &r : CableReports::frameReports(frameBytesFromDigits(power), 1))
        backend->queueReport(cable.path, r);

    const LiveRun r = runLive(backend, 1);
    QCOMPARE(r.status, 0);
    QCOMPARE(r.err.count(CableProtocol::meterSilentMessage()), 1);
    QCOMPARE(r.out.split(u'\n', Qt::SkipEmptyParts).size(), 2);
}

void TestMeterLogLive::cableThatCannotBeOpenedReadWrite()
{
    auto backend = std::make_shared<FakeHidBackend>();
    auto cable
        = FakeHidBackend::makeInterface(QStringLiteral("cable"), QStringLiteral("USB to Serial"));
    cable.readWrite = false; // no access to the node: only the query-only open works
    backend->plug(cable);
    const LiveRun r = runLive(backend, 1);
    QCOMPARE(r.status, int(ExitNoCable));
    QVERIFY(r.err.contains(u"cannot be opened for reading and writing"));
}

void TestMeterLogLive::demoMeterGivesRows_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::newRow("km90") << MeterModel::Km90;
    QTest::newRow("km50_60") << MeterModel::Km50_60;
}

void TestMeterLogLive::demoMeterGivesRows()
{
    QFETCH(MeterModel, model);
    // The demo cable without its real-time pace: the stream is read as fast as it comes.
    const LiveRun r = runLive(std::make_shared<DemoCableBackend>(model, false), 20, model);
    QCOMPARE(r.status, 0);
    QCOMPARE(r.err, QString());
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 21); // the header and a row for each of the first 20 frames
    QVERIFY(lines[20].startsWith(u"20\t"));
}

void TestMeterLogLive::programReadsTheDemoMeter()
{
    // The program itself, at the meter's real pace: three frames take about a second.
    QProcess meterlog;
    meterlog.start(QStringLiteral(MKMETERLOG_EXE),
        { QStringLiteral("--model"), QStringLiteral("km50_60"), QStringLiteral("--demo"),
            QStringLiteral("--count"), QStringLiteral("3") });
    QVERIFY(meterlog.waitForFinished(60000));
    QCOMPARE(meterlog.exitCode(), 0);
    const QList<QByteArray> lines = meterlog.readAllStandardOutput().split('\n');
    QCOMPARE(lines.first(), QByteArray("No\ttime\tValue\tUnit"));
    QCOMPARE(lines.size(), 5); // header, three rows, the empty piece after the last newline
}

QTEST_GUILESS_MAIN(TestMeterLogLive)
#include "tst_meterloglive.moc"
