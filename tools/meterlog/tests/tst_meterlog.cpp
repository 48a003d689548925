// SPDX-License-Identifier: MIT
#include "link/FrameAssembler.h"
#include "meterlog/MeterLog.h"
#include "sim/CableReports.h"
#include "sim/MeterFrames.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

Run run(const QStringList &arguments, const QString &input)
{
    Run r;
    QString inText = input;
    QTextStream in(&inText, QIODevice::ReadOnly);
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    const auto options = parseMeterLogArguments(arguments, out, err, r.status);
    if (options)
        r.status = runMeterLogReplay(*options, in, out, err);
    out.flush();
    err.flush();
    return r;
}

// The trace lines of the n-th frame, from its FRAME line up to and including READING.
QStringList frameTrace(const QString &trace, int n)
{
    const QStringList lines = trace.split(u'\n');
    int seen = -1;
    QStringList block;
    for (const QString &line : lines) {
        if (line.startsWith(u"FRAME\t"))
            ++seen;
        if (seen == n) {
            block << line;
            if (line.startsWith(u"READING"))
                break;
        }
    }
    return block;
}

QString lcdLine(const QString &trace, int n)
{
    int seen = -1;
    for (const QString &line : trace.split(u'\n')) {
        if (line.startsWith(u"LCD\t") && ++seen == n)
            return line + u'\t'; // every element, the last one included, ends in a tab here
    }
    return {};
}

const QString km90Power = QStringLiteral("000123412301153603051000DA");
const QString km90PowerFactor = QStringLiteral("300050032298112502004000DA");
const QString km90Overload = QStringLiteral("000999902301153603124210DA");

} // namespace

class TestMeterLog : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void km90WorkedExamples();
    void km50WorkedFrames();
    void conversionErrorIsTracedAndReadingGoesOn();
    void reportsInBothLineForms();
    void repeatAndLimitOptions();
    void badLinesAndUsage_data();
    void badLinesAndUsage();
    void programReplaysTheBundledSamples_data();
    void programReplaysTheBundledSamples();
    void lastLineWithoutLineEndIsReadOnce();
    void programPrintsRowsAsLinesArrive();
    void linesAcrossInputPieces();
    void cableOptions_data();
    void cableOptions();
};

void TestMeterLog::km90WorkedExamples()
{
    const QString frames
        = km90Power + u'\n' + km90PowerFactor + u'\n' + km90Power + u'\n' + km90Overload + u'\n';
    const Run r = run({ "--model", "km90", "--frames", "--trace", "--decimal", "." }, frames);
    QCOMPARE(r.status, 0);
    QCOMPARE(r.err, QString());

    QCOMPARE(frameTrace(r.out, 0),
        (QStringList { "FRAME\t000123412301153603051000DA", "LinkOn", "DispInit\t0",
            "SelectGaugeScale\t0", "KDsetup", "SetValueMinimum\t-1000", "SetValueMaximum\t1000",
            "KDrun\t723", "BarMax\t600", "BarPos\t123", "INDataToTable\t1",
            "Row\t1\t123.4\tKW\t230.1\tv\t5.360\tA", "AddValue\t123.4",
            "READING\t123.4\tKW\t230.1\tv\t5.360\tA" }));
    const QString lcd1 = lcdLine(r.out, 0);
    for (const char *element : { "\tLabelA=1:1\t", "\tLabelD=1:4\t", "\tPoint3=1:.\t",
             "\tpoint33=1:.\t", "\tT_Point1=1:.\t", "\tkwh=1:KW\t", "\tKVA=1:V\t", "\tkvar1=1:A\t",
             "\tLcdAuto=1:AUTO\t", "\tAC=1\t", "\tpower=1\t", "\tLabelF=0:-\t", "\tstor1=1:0\t",
             "\tstor2=1:5\t" })
        QVERIFY2(lcd1.contains(QLatin1String(element)), element);

    QCOMPARE(frameTrace(r.out, 1),
        (QStringList { "FRAME\t300050032298112502004000DA", "LinkOn", "DispInit\t0",
            "SelectGaugeScale\t3", "KDsetup", "SetValueMinimum\t-1", "SetValueMaximum\t1",
            "KDrun\t500", "BarMax\t1000", "BarPos\t1", "INDataToTable\t1",
            "Row\t2\t-0.500\tPF\t229.8\tv\t12.50\tA", "AddValue\t-0.5",
            "READING\t-0.500\tPF\t229.8\tv\t12.50\tA" }));
    const QString lcd2 = lcdLine(r.out, 1);
    for (const char *element :
        { "\tLabelF=1:-\t", "\tPoint1=1:.\t", "\tcos_dis=1:Cos\t", "\tImage1=1\t", "\tAC=0\t" })
        QVERIFY2(lcd2.contains(QLatin1String(element)), element);

    // The overload example follows a code-0 frame, so scale 0 is in force.
    QCOMPARE(frameTrace(r.out, 3),
        (QStringList { "FRAME\t000999902301153603124210DA", "LinkOn", "DispInit\t0", "KDrun\t0",
            "BarMax\t600", "BarPos\t600", "INDataToTable\t1", "Row\t4\tOL\tKW\t230.1\tv\t5.360\tA",
            "AddValue\t-600", "READING\tOL\tKW\t230.1\tv\t5.360\tA" }));
    const QString lcd4 = lcdLine(r.out, 3);
    for (const char *element :
        { "\tLabelF=1:-\t", "\tLabelA=1:\t", "\tLabelB=1:0\t", "\tLabelC=1:@\t", "\tLabelD=1:\t",
            "\tLCDHold=1:\"\t", "\tstor1=1:1\t", "\tstor2=1:2\t" })
        QVERIFY2(lcd4.contains(QLatin1String(element)), element);
}

void TestMeterLog::km50WorkedFrames()
{
    const Run r = run({ "--model", "km50_60", "--frames", "--trace", "--decimal", "." },
        QStringLiteral("6001300000004000000DA\n7000600311210004081DA\n"));
    QCOMPARE(r.status, 0);
    QCOMPARE(frameTrace(r.out, 0),
        (QStringList { "FRAME\t6001300000004000000DA", "LinkOn", "DispInit\t0",
            "SelectGaugeScale\t2", "KDsetup", "SetValueMaximum\t1300", "SetValueMinimum\t-1300",
            "KDrun\t790", "BarMax\t1300", "BarPos\t1300", "RecordingTest\t1", "AddValue\t1300",
            "INDataToTable\t1", QStringLiteral("Row\t1\t1300\t\u2103"),
            QStringLiteral("READING\t1300\t\u2103") }));
    const QString lcd1 = lcdLine(r.out, 0);
    for (const char *element : { "\tLabtemp=1:TEMP\t", "\tf1=1:?\t", "\tc=1:#\t", "\tLabelA=1:1\t",
             "\tLabelB=1:3\t", "\tH_Time1=1:0\t", "\tT_Point3=0:.\t", "\tLabFUL=0:FUL\t" })
        QVERIFY2(lcd1.contains(QLatin1String(element)), element);

    // Sum power: display only; the unit stays, nothing is recorded or plotted.
    QCOMPARE(frameTrace(r.out, 1),
        (QStringList { "FRAME\t7000600311210004081DA", "LinkOn", "DispInit\t0",
            QStringLiteral("READING\t-0.600\t\u2103") }));
    const QString lcd2 = lcdLine(r.out, 1);
    QVERIFY(lcd2.contains(QStringLiteral("\twsg=1:\u2211W\t")));
    for (const char *element : { "\tLabelF=1:-\t", "\tPoint1=1:.\t", "\tlabMEM=1:MEM\t",
             "\tol1=0:}  1\t", "\tH_Time1=1:1\t", "\tM_Time2=1:1\t" })
        QVERIFY2(lcd2.contains(QLatin1String(element)), element);
}

void TestMeterLog::conversionErrorIsTracedAndReadingGoesOn()
{
    // Point code "A" stops the frame after the main digits; the next frame decodes normally.
    const Run r = run({ "--model", "km90", "--frames", "--trace", "--decimal", "." },
        QStringLiteral("0001234A2301153603051000DA\n") + km90Power + u'\n');
    QCOMPARE(r.status, 0);
    const QStringList bad = frameTrace(r.out, 0);
    QCOMPARE(bad.mid(0, 3),
        (QStringList { "FRAME\t0001234A2301153603051000DA", "LinkOn", "DispInit\t0" }));
    QVERIFY(bad.at(3).startsWith(u"ERROR\t"));
    QCOMPARE(bad.size(),
        5); // FRAME, LinkOn, DispInit, ERROR, READING: no gauge, bar, table or chart call
    QVERIFY(lcdLine(r.out, 0).contains(u"\tLabelA=1:1\t"));
    QVERIFY(frameTrace(r.out, 1).contains(QStringLiteral("Row\t1\t123.4\tKW\t230.1\tv\t5.360\tA")));
}

void TestMeterLog::reportsInBothLineForms()
{
    QString capture = QStringLiteral("# a comment\n\n");
    bool historyForm = false;
    for (const QByteArray &report :
        CableReports::frameReports(frameBytesFromDigits(km90Power), 2)) {
        const QByteArrayView data = QByteArrayView(report).sliced(1);
        capture += historyForm ? FrameAssembler::reportText(0, data)
                               : QString::fromLatin1(report.toHex(' ').toUpper());
        capture += u'\n';
        historyForm = !historyForm;
    }
    const Run r = run({ "--model", "km90", "--decimal", "," }, capture);
    QCOMPARE(r.status, 0);
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QCOMPARE(lines[0], QStringLiteral("No\tTime\tValue\tUnit\tV_Value\tV_Unit\tI_Value\tI_Unit"));
    QVERIFY2(QRegularExpression(
                 QStringLiteral("^1\t\\d\\d.\\d\\d.\\d\\d\t123,4\tKW\t230,1\tv\t5,360\tA$"))
                 .match(lines[1])
                 .hasMatch(),
        qPrintable(lines[1]));

    const Run km50 = run({ "--model", "km50_60" }, QString());
    QCOMPARE(km50.out, QStringLiteral("No\ttime\tValue\tUnit\n"));
}

void TestMeterLog::repeatAndLimitOptions()
{
    const QString frames = QStringList(4, km90Power).join(u'\n') + u'\n' + km90PowerFactor + u'\n';
    auto rowNumbers = [](const Run &r) {
        QStringList numbers;
        for (const QString &line : r.out.split(u'\n', Qt::SkipEmptyParts).mid(1))
            numbers << line.section(u'\t', 0, 0);
        return numbers;
    };
    QCOMPARE(rowNumbers(run({ "--model", "km90", "--frames" }, frames)),
        (QStringList { "1", "2", "3", "4", "5" }));
    QCOMPARE(rowNumbers(run({ "--model", "km90", "--frames", "--no-repeat" }, frames)),
        (QStringList { "1", "5" }));
    QCOMPARE(rowNumbers(run({ "--model", "km90", "--frames", "--limit", "2" }, frames)),
        (QStringList { "1", "2" }));
}

void TestMeterLog::badLinesAndUsage_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("input");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("errorPart");

    QTest::newRow("odd hex token") << QStringList { "--model", "km90" } << "00 F1 3\n00 F0\n"
                                   << 1 << "line 1: not a cable report";
    QTest::newRow("not hex") << QStringList { "--model", "km90" } << "00 F0\nhello\n"
                             << 1 << "line 2: not a cable report";
    QTest::newRow("frame with blank") << QStringList { "--model", "km90", "--frames" } << "0001 2\n"
                                      << 1 << "line 1: not a frame";
    QTest::newRow("sign in a hex token") << QStringList { "--model", "km90" } << "00 +3\n"
                                         << 1 << "line 1: not a cable report: 00 +3";
    // Lines shaped like the usual "00 F7 30 ..." but not quite: each byte
    // and each separator counts.
    QTest::newRow("other separators") << QStringList { "--model", "km90" } << "00 F0\n00-F7-30\n"
                                      << 1 << "line 2: not a cable report: 00-F7-30";
    QTest::newRow("last digit not hex") << QStringList { "--model", "km90" } << "00 F7 3G\n"
                                        << 1 << "line 1: not a cable report: 00 F7 3G";
    QTest::newRow("first digit not hex") << QStringList { "--model", "km90" } << "X0 F7 30\n"
                                         << 1 << "line 1: not a cable report: X0 F7 30";
    QTest::newRow("tab between bytes") << QStringList { "--model", "km90" } << "00 F7\t30\n"
                                       << 1 << "line 1: not a cable report: 00 F7\\x0930";
    QTest::newRow("lower case, doubled spaces and a history line read") << QStringList { "--model",
        "km90" } << "00 f0 3a\n00  F0\nR 00  F0 30\nr00 F0\n" << 0 << "";
    QTest::newRow("control characters echoed escaped")
        << QStringList { "--model", "km90" } << "00 F0\n\x1b[31mred\x07\n"
        << 1 << "line 2: not a cable report: \\x1b[31mred\\x07";
    QTest::newRow("overlong line refused and cut")
        << QStringList { "--model", "km90" } << QString(5000, u'Z') + u'\n' << 1
        << "line 1: longer than any line meterlog reads: " + QString(80, u'Z')
            + "... (5000 characters)";
    QTest::newRow("blank beyond ASCII trimmed")
        << QStringList { "--model", "km90" } << QString::fromUtf8("\u00a000 F0\u3000\n") << 0 << "";
    QTest::newRow("text beyond ASCII echoed")
        << QStringList { "--model", "km90" } << QString::fromUtf8("00 F0 \u00e9\n") << 1
        << QString::fromUtf8("line 1: not a cable report: 00 F0 \u00e9");
    QTest::newRow("lone CR ends a line")
        << QStringList { "--model", "km90" } << "00 F0\rhello\r00 F0\r" << 1
        << "line 2: not a cable report: hello";
    // KM50/KM60 frames are too short for the KM90: every one is dropped.
    QString km50Reports;
    for (const QByteArray &report :
        CableReports::frameReports(frameBytesFromDigits("6001300000004000000DA")))
        km50Reports += QString::fromLatin1(report.toHex(' ')) + u'\n';
    QTest::newRow("no frame decoded hints at the model")
        << QStringList { "--model", "km90" } << km50Reports << 1
        << "1 frames found: 0 decoded, 0 refused by the decoder, 1 dropped for their length or "
           "terminator\nmeterlog: not one frame could be decoded; is --model km90 the right meter?";
    QTest::newRow("no model") << QStringList {} << "" << 2 << "--model is required";
    QTest::newRow("unknown model")
        << QStringList { "--model", "km70" } << "" << 2 << "unknown model 'km70'";
    QTest::newRow("unknown option")
        << QStringList { "--model", "km90", "--fast" } << "" << 2 << "Usage: meterlog";
    QTest::newRow("bad limit") << QStringList { "--model", "km90", "--limit", "ten" } << "" << 2
                               << "--limit takes a whole number";
    QTest::newRow("help") << QStringList { "--help" } << "" << 0 << "";
    QTest::newRow("version") << QStringList { "--version" } << "" << 0 << "";
}

void TestMeterLog::badLinesAndUsage()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, input);
    QFETCH(int, status);
    QFETCH(QString, errorPart);

    const Run r = run(arguments, input);
    QCOMPARE(r.status, status);
    QVERIFY2(r.err.contains(errorPart), qPrintable(r.err));
    QVERIFY2(!r.err.contains(QChar(0x1b)), "an escape sequence reached the terminal");
    if (arguments.contains(u"--help"))
        QVERIFY(r.out.startsWith(u"Usage: meterlog"));
    if (arguments.contains(u"--version"))
        QCOMPARE(r.out, "meterlog (km-meters " KM_EXPECTED_VERSION ")\n");
}

void TestMeterLog::programPrintsRowsAsLinesArrive()
{
    // A capture fed through a pipe a frame at a time: each row comes out
    // before the next frame goes in, and the pipe stays open meanwhile.
    QProcess meterlog;
    meterlog.start(QStringLiteral(MKMETERLOG_EXE),
        { QStringLiteral("--model"), QStringLiteral("km90"), QStringLiteral("--frames"),
            QStringLiteral("--decimal"), QStringLiteral(".") });
    QVERIFY(meterlog.waitForStarted());
    QByteArray printed;
    for (int n = 1; n <= 2; ++n) {
        meterlog.write(km90Power.toLatin1() + '\n');
        QTRY_VERIFY_WITH_TIMEOUT(
            (printed += meterlog.readAllStandardOutput()).count('\n') == n + 1, 10000);
        QVERIFY(printed.endsWith("\t123.4\tKW\t230.1\tv\t5.360\tA\n"));
    }
    meterlog.closeWriteChannel();
    QVERIFY(meterlog.waitForFinished(10000));
    QCOMPARE(meterlog.exitCode(), 0);
}

void TestMeterLog::linesAcrossInputPieces()
{
    // Input is read 64 KiB at a time: lines run across the pieces, and one CR
    // LF is cut between two. A comment of 15 characters puts the CR of report
    // line 2340 (28 bytes a line) at the last byte of the first piece.
    QString input = u'#' + QString(14, u'x') + QStringLiteral("\r\n");
    const int frames = 3000;
    QStringList lines;
    for (int i = 0; i < frames; ++i) {
        for (const QByteArray &r : CableReports::frameReports(frameBytesFromDigits(km90Power), 1))
            lines << QString::fromLatin1(r.toHex(' ').toUpper());
    }
    QCOMPARE(lines[2339].size(), 26);
    for (const QString &line : std::as_const(lines))
        input += line + QStringLiteral("\r\n");
    input += QStringLiteral("zz\r\n");
    QCOMPARE(input.mid(65535, 2), QStringLiteral("\r\n"));

    const Run r = run({ "--model", "km90", "--decimal", "." }, input);
    QCOMPARE(r.status, 1);
    QCOMPARE(r.err, QStringLiteral("line %1: not a cable report: zz\n").arg(lines.size() + 2));
    const QStringList rows = r.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), frames + 1);
    QVERIFY(rows.last().startsWith(QString::number(frames) + u'\t'));
}

void TestMeterLog::cableOptions_data()
{
    // Arguments; then the device path and --reconnect parsed, or the usage error.
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("reconnect");
    QTest::addColumn<QString>("error");
    const QStringList km90 { "--model", "km90" };
    QTest::newRow("--device alone") << km90 + QStringList { "--device" } << "" << false << "";
    QTest::newRow("--device before an option")
        << QStringList { "--device", "--model", "km90", "--reconnect" } << "" << true << "";
    QTest::newRow("--device PATH")
        << km90 + QStringList { "--device", "/dev/hidraw3" } << "/dev/hidraw3" << false << "";
    QTest::newRow("--device=PATH") << km90 + QStringList { "--device=/dev/hidraw3", "--reconnect" }
                                   << "/dev/hidraw3" << true << "";
    QTest::newRow("--reconnect without --device")
        << km90 + QStringList { "--reconnect" } << "" << false << "--reconnect goes with --device";
    QTest::newRow("--device and a FILE")
        << km90 + QStringList { "--device", "/dev/hidraw3", "capture.txt" } << "" << false
        << "cannot be read together";
    QTest::newRow("--list with more")
        << QStringList { "--list", "--model", "km90" } << "" << false << "--list goes alone";
}

void TestMeterLog::cableOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, path);
    QFETCH(bool, reconnect);
    QFETCH(QString, error);
    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    int status = -1;
    const auto options = parseMeterLogArguments(arguments, outStream, errStream, status);
    errStream.flush();
    if (!error.isEmpty()) {
        QVERIFY(!options);
        QCOMPARE(status, 2);
        QVERIFY2(err.contains(error), qPrintable(err));
        return;
    }
    QVERIFY2(options, qPrintable(err));
    QCOMPARE(options->source, MeterLogOptions::Source::Device);
    QCOMPARE(options->devicePath, path);
    QCOMPARE(options->reconnect, reconnect);

    // --list alone needs no model.
    const auto list = parseMeterLogArguments({ "--list" }, outStream, errStream, status);
    QVERIFY(list && list->list);
}

void TestMeterLog::programReplaysTheBundledSamples_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("sample");
    QTest::addColumn<int>("rows");
    // Every frame of the captures records a row except the sum-display frame.
    QTest::newRow("km90") << "km90"
                          << "km90-capture.txt" << 17;
    QTest::newRow("km50_60") << "km50_60"
                             << "km50_60-capture.txt" << 15;
}

void TestMeterLog::programReplaysTheBundledSamples()
{
    QFETCH(QString, model);
    QFETCH(QString, sample);
    QFETCH(int, rows);

    QProcess meterlog;
    meterlog.start(QStringLiteral(MKMETERLOG_EXE),
        { QStringLiteral("--model"), model, QStringLiteral(MKSAMPLES_DIR "/") + sample });
    QVERIFY(meterlog.waitForFinished(60000));
    QCOMPARE(meterlog.exitStatus(), QProcess::NormalExit);
    QCOMPARE(meterlog.exitCode(), 0);
    QCOMPARE(meterlog.readAllStandardError(), QByteArray());
    const QList<QByteArray> lines = meterlog.readAllStandardOutput().split('\n');
    QCOMPARE(lines.size() - 2, rows); // header line and the empty piece after the last newline
}

void TestMeterLog::lastLineWithoutLineEndIsReadOnce()
{
    // Run as a program: reading the last line again and again would never end.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("frames.txt"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write((km90Power + u'\n' + km90PowerFactor).toLatin1());
    file.close();

    QProcess meterlog;
    meterlog.start(QStringLiteral(MKMETERLOG_EXE),
        { QStringLiteral("--model"), QStringLiteral("km90"), QStringLiteral("--frames"), path });
    const bool finished = meterlog.waitForFinished(20000);
    if (!finished)
        meterlog.kill(), meterlog.waitForFinished();
    QVERIFY(finished);
    QCOMPARE(meterlog.exitCode(), 0);
    const QList<QByteArray> lines = meterlog.readAllStandardOutput().split('\n');
    QCOMPARE(lines.size() - 2, 2); // header, two rows, the empty piece after the last newline
}

QTEST_GUILESS_MAIN(TestMeterLog)
#include "tst_meterlog.moc"
