// SPDX-License-Identifier: MIT
#include "hid/FakeHidBackend.h"
#include "hid/demo/DemoCableBackend.h"
#include "journal/JournalFile.h"
#include "meterlog/MeterLogLive.h"
#include "session/CableProtocol.h"
#include "sim/CableReports.h"
#include "sim/MeterFrames.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

Q_DECLARE_METATYPE(MeterModel)

namespace {

const QString power = QStringLiteral("000123412301153603051000DA");

struct LiveRun
{
    int status = -1;
    QString out;
    QString err;
};

MeterLogOptions liveOptions(std::optional<qint64> count, MeterModel model = MeterModel::Km90)
{
    MeterLogOptions options;
    options.model = model;
    options.decimal = QStringLiteral(".");
    options.source = MeterLogOptions::Source::Device;
    options.count = count;
    return options;
}

LiveRun runLive(const std::shared_ptr<HidBackend> &backend, const MeterLogOptions &options,
    std::unique_ptr<HidChangeNotifier> notifier = {})
{
    LiveRun r;
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    // A run that goes wrong ends after a while instead of hanging the test.
    QElapsedTimer clock;
    clock.start();
    r.status = runMeterLogLive(
        options, backend, std::move(notifier), out, err, [&] { return clock.elapsed() > 30000; });
    out.flush();
    err.flush();
    return r;
}

LiveRun runLive(const std::shared_ptr<HidBackend> &backend, std::optional<qint64> count,
    MeterModel model = MeterModel::Km90)
{
    return runLive(backend, liveOptions(count, model));
}

FakeHidBackend::Interface usbToSerial(const QString &id, const QString &path = {})
{
    auto cable = FakeHidBackend::makeInterface(id, QStringLiteral("USB to Serial"));
    if (!path.isEmpty())
        cable.path = path;
    return cable;
}

void queueFrames(FakeHidBackend &backend, const QString &path, const QStringList &frames)
{
    for (const QString &frame : frames) {
        for (const QByteArray &r : CableReports::frameReports(frameBytesFromDigits(frame), 1))
            backend.queueReport(path, r);
    }
}

// The data rows of tab-separated output (the header line left out).
QStringList dataRows(const QString &out)
{
    return out.split(u'\n', Qt::SkipEmptyParts).mid(1);
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
    void listsTheInterfaces();
    void devicePathChoosesTheCable();
    void cableThatCannotBeRead_data();
    void cableThatCannotBeRead();
    void unplugWhileLogging_data();
    void unplugWhileLogging();
    void demoMeterGivesRows_data();
    void demoMeterGivesRows();
    void programReadsTheDemoMeter();
    void programEndsCleanlyOnSigterm();
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

void TestMeterLogLive::listsTheInterfaces()
{
    // A plain file stands in for a device node, so that it can be locked.
    QTemporaryDir dir;
    const QString lockedPath = dir.filePath(QStringLiteral("hidraw2"));
    QFile node(lockedPath);
    QVERIFY(node.open(QIODevice::WriteOnly));
    node.close();

    auto backend = std::make_shared<FakeHidBackend>();
    auto mouse = FakeHidBackend::makeInterface(
        QStringLiteral("mouse"), QStringLiteral("USB Optical Mouse"), 0x046d, 0xc077);
    mouse.readWrite = false;
    backend->plug(mouse);
    auto withSerial = usbToSerial(QStringLiteral("a"));
    withSerial.serial = QStringLiteral("A1\tB2");
    backend->plug(withSerial);
    backend->plug(usbToSerial(QStringLiteral("b"), lockedPath));

    bool busy = true;
    const int lock = JournalFile::lockExclusive(lockedPath, busy); // another meterlog reads b
    QVERIFY(lock >= 0);
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    QCOMPARE(listMeterLogCables(backend, outStream, errStream), int(ExitOk));
    JournalFile::closeHandle(lock);
    outStream.flush();
    QCOMPARE(out.split(u'\n'),
        QStringList({ "PATH\tVENDOR:PRODUCT\tSERIAL\tPRODUCT\tACCESS",
            "/fake/mouse\t046d:c077\t\tUSB Optical Mouse\tno access",
            "/fake/a\t1a86:e008\tA1 B2\tUSB to Serial\tread-write",
            lockedPath + "\t1a86:e008\t\tUSB to Serial\tread-write, busy", "" }));
    QCOMPARE(err, QString());
}

void TestMeterLogLive::devicePathChoosesTheCable()
{
    // Two meters on two cables: --device PATH reads the one at PATH only.
    auto backend = std::make_shared<FakeHidBackend>();
    backend->plug(usbToSerial(QStringLiteral("a")));
    backend->plug(usbToSerial(QStringLiteral("b")));
    queueFrames(*backend, QStringLiteral("/fake/a"), { power });
    queueFrames(
        *backend, QStringLiteral("/fake/b"), { QStringLiteral("000999902301153603124210DA") });

    for (const QString &path : { QStringLiteral("/fake/a"), QStringLiteral("/fake/b") }) {
        MeterLogOptions options = liveOptions(1);
        options.devicePath = path;
        const LiveRun r = runLive(backend, options);
        QCOMPARE(r.status, 0);
        const QStringList rows = dataRows(r.out);
        QCOMPARE(rows.size(), 1);
        QVERIFY2(rows[0].contains(path.endsWith(u'a') ? u"\t123.4\tKW\t" : u"\tOL\tKW\t"),
            qPrintable(rows[0]));
        QCOMPARE(backend->featureReports(path).size(), 2);
    }
}

void TestMeterLogLive::cableThatCannotBeRead_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("message");
    QTest::newRow("vanished") << "vanished"
                              << "no HID interface /fake/gone is plugged in";
    QTest::newRow("busy") << "busy"
                          << "is busy: another meterlog reads it";
    QTest::newRow("open refused") << "refused"
                                  << "cannot be opened for reading and writing: "
            + qt_error_string(16);
}

void TestMeterLogLive::cableThatCannotBeRead()
{
    QFETCH(QString, kind);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString nodePath = dir.filePath(QStringLiteral("hidraw0"));
    QFile node(nodePath);
    QVERIFY(node.open(QIODevice::WriteOnly));
    node.close();

    auto backend = std::make_shared<FakeHidBackend>();
    auto cable = usbToSerial(QStringLiteral("cable"), nodePath);
    if (kind == u"refused") {
        cable.readWrite = false;
        cable.openError = 16; // EBUSY
    }
    backend->plug(cable);
    queueFrames(*backend, nodePath, { power });
    MeterLogOptions options = liveOptions(1);
    options.devicePath = kind == u"vanished" ? QStringLiteral("/fake/gone") : nodePath;
    bool busy = false;
    const int lock = kind == u"busy" ? JournalFile::lockExclusive(nodePath, busy) : -1;
    const LiveRun r = runLive(backend, options);
    if (lock >= 0)
        JournalFile::closeHandle(lock);
    QCOMPARE(r.status, int(ExitNoCable));
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(r.out, QString()); // not even a header: nothing was logged
    QCOMPARE(backend->featureReports(nodePath), QList<QByteArray>());
}

void TestMeterLogLive::unplugWhileLogging_data()
{
    QTest::addColumn<bool>("reconnect");
    QTest::newRow("without --reconnect") << false;
    QTest::newRow("with --reconnect") << true;
}

void TestMeterLogLive::unplugWhileLogging()
{
    QFETCH(bool, reconnect);
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("log.xls"));
    auto backend = std::make_shared<FakeHidBackend>();
    backend->plug(usbToSerial(QStringLiteral("cable")));
    queueFrames(*backend, QStringLiteral("/fake/cable"), { power, power });

    // Two frames (five reports each) are read, then the cable is pulled; with
    // --reconnect a cable comes back at another path with two more frames.
    int step = 0;
    QTimer script;
    QObject::connect(&script, &QTimer::timeout, [&] {
        if (step == 0 && backend->itemsTaken(QStringLiteral("/fake/cable")) >= 10) {
            backend->unplug(QStringLiteral("cable"));
            backend->notifyChange();
            step = 1;
        } else if (step == 1 && reconnect) {
            backend->plug(usbToSerial(QStringLiteral("cable-2")));
            queueFrames(*backend, QStringLiteral("/fake/cable-2"), { power, power });
            backend->notifyChange();
            step = 2;
        }
    });
    script.start(10);

    MeterLogOptions options = liveOptions(reconnect ? std::optional<qint64>(4) : std::nullopt);
    options.output = output;
    options.reconnect = reconnect;
    const LiveRun r = runLive(backend, options, backend->createNotifier());
    QCOMPARE(r.status, reconnect ? 0 : int(ExitUnplugged));
    QVERIFY2(r.err.contains(u"the interface cable /fake/cable was unplugged"), qPrintable(r.err));
    QCOMPARE(r.err.contains(u"reading the interface cable /fake/cable-2 again"), reconnect);

    // Every row reached standard output and the file, numbered on across the gap.
    const int rows = reconnect ? 4 : 2;
    const QStringList printed = dataRows(r.out);
    QCOMPARE(printed.size(), rows);
    QFile file(output);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), rows + 2); // header, rows, the piece after the last line end
    for (int i = 0; i < rows; ++i) {
        QVERIFY(printed[i].startsWith(QString::number(i + 1) + u'\t'));
        QVERIFY(lines[i + 1].startsWith(QByteArray::number(i + 1) + '\t'));
        QVERIFY(lines[i + 1].endsWith("\r"));
    }
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

void TestMeterLogLive::programEndsCleanlyOnSigterm()
{
    // SIGTERM while logging the demo meter: every row printed so far is in the
    // file and on standard output, whole, and the program ends normally.
    QTemporaryDir dir;
    const QString output = dir.filePath(QStringLiteral("log.xls"));
    QProcess meterlog;
    meterlog.start(QStringLiteral(MKMETERLOG_EXE),
        { QStringLiteral("--model"), QStringLiteral("km90"), QStringLiteral("--demo"),
            QStringLiteral("--output"), output });
    QVERIFY(meterlog.waitForStarted());
    const auto fileRows = [&] {
        QFile file(output);
        return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) - 1 : 0;
    };
    QTRY_VERIFY_WITH_TIMEOUT(fileRows() >= 2, 30000);
    meterlog.terminate(); // SIGTERM
    QVERIFY(meterlog.waitForFinished(10000));
    QCOMPARE(meterlog.exitStatus(), QProcess::NormalExit);
    QCOMPARE(meterlog.exitCode(), 0);

    const QByteArray printed = meterlog.readAllStandardOutput();
    QVERIFY(printed.endsWith('\n'));
    QFile file(output);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray saved = file.readAll();
    QVERIFY(saved.endsWith("\r\n"));
    // The same rows in both, the last one included.
    QCOMPARE(saved.count('\n'), printed.count('\n'));
    const QList<QByteArray> printedLines = printed.trimmed().split('\n');
    const QList<QByteArray> savedLines = saved.trimmed().split('\n');
    QCOMPARE(savedLines.last().split('\t').first(), printedLines.last().split('\t').first());
}

QTEST_GUILESS_MAIN(TestMeterLogLive)
#include "tst_meterloglive.moc"
