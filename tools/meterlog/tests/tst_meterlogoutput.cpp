// SPDX-License-Identifier: MIT
#include "meterlog/MeterLog.h"
#include "meterlog/MeterLogOutput.h"
#include "meterlog/MeterLogPrinter.h"
#include "models/ModelDescription.h"
#include "recording/ReadingTable.h"
#include "recording/TableFiles.h"
#include "session/MeterSession.h"

#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <cmath>

namespace {

const QString km90Power = QStringLiteral("000123412301153603051000DA");
const QString km90PowerFactor = QStringLiteral("300050032298112502004000DA");

QString sample(const QString &model)
{
    return QStringLiteral(MKSAMPLES_DIR "/%1-capture.txt").arg(model);
}

QString readText(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    return QString::fromUtf8(file.readAll());
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A clock that moves one second a call from a local date and time.
std::function<qint64()> steppingClock(QDateTime start)
{
    auto ms = std::make_shared<qint64>(start.toMSecsSinceEpoch());
    return [ms] {
        const qint64 now = *ms;
        *ms += 1000;
        return now;
    };
}

struct Run
{
    int status = -1;
    QString out;
    QString err;
};

Run run(
    const QStringList &arguments, const QString &input, const std::function<qint64()> &clock = {})
{
    Run r;
    QString inText = input;
    QTextStream in(&inText, QIODevice::ReadOnly);
    QTextStream out(&r.out);
    QTextStream err(&r.err);
    auto options = parseMeterLogArguments(arguments, out, err, r.status);
    if (options) {
        options->clock = clock;
        r.status = runMeterLogReplay(*options, in, out, err);
    }
    out.flush();
    err.flush();
    return r;
}

// Replays a capture into a session that keeps its table, with the same
// clock, as the window records it.
void recordLikeTheWindow(
    MeterSession &session, const QString &capture, const std::function<qint64()> &clock)
{
    MeterLogOptions options;
    options.model = session.model().model;
    options.decimal = QStringLiteral(".");
    options.keepRows = true;
    options.clock = clock;
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    MeterLogPrinter printer(options, session, outStream, errStream);
    session.setObserver(&printer);
    clock(); // meterlog reads the clock once when it opens its output file
    QFile file(capture);
    QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QTextStream in(&file);
    QString line;
    while (in.readLineInto(&line)) {
        QStringList bytes = line.trimmed().split(u' ', Qt::SkipEmptyParts);
        if (bytes.isEmpty() || bytes.first().startsWith(u'#'))
            continue;
        if (bytes.first() == u"R")
            bytes.removeFirst();
        QByteArray report;
        for (const QString &b : bytes)
            report.append(char(b.toUInt(nullptr, 16)));
        session.Read50(quint8(report[0]), QByteArrayView(report).sliced(1));
    }
    session.setObserver(nullptr);
}

} // namespace

class TestMeterLogOutput : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // A zone two hours east of UTC, written in POSIX form (no time zone data
    // needed): the JSON time stamps must carry the offset.
    void initTestCase() { qputenv("TZ", "KMT-2"); }
    void outputIsWhatSaveWrites_data();
    void outputIsWhatSaveWrites();
    void existingFilesAndAppend_data();
    void existingFilesAndAppend();
    void dayRolloverOpensTheNextDaysFile();
    void csvQuoting_data();
    void csvQuoting();
    void csvOutput();
    void jsonLinesParseBack();
    void jsonNumbersReadAsQtReadsThem_data();
    void jsonNumbersReadAsQtReadsThem();
    void plainDecimalsAreWrittenAsTheWriterPrintsTheirNumber();
    void writtenRowsAreDroppedButRepeatRuleHolds();
    void killedWhileWritingLeavesWholeLines();
};

void TestMeterLogOutput::outputIsWhatSaveWrites_data()
{
    QTest::addColumn<QString>("model");
    QTest::newRow("km90") << QStringLiteral("km90");
    QTest::newRow("km50_60") << QStringLiteral("km50_60");
}

void TestMeterLogOutput::outputIsWhatSaveWrites()
{
    QFETCH(QString, model);
    QTemporaryDir dir;
    const QString logged = dir.filePath(QStringLiteral("logged.xls"));
    const QString saved = dir.filePath(QStringLiteral("saved.xls"));
    const QDateTime start(QDate(2024, 5, 1), QTime(10, 15, 0));

    const Run r = run({ "--model", model, "--decimal", ".", "--output", logged },
        readText(sample(model)), steppingClock(start));
    QCOMPARE(r.status, 0);

    MeterSession session(findMeterModel(model)->model, QStringLiteral("."));
    recordLikeTheWindow(session, sample(model), steppingClock(start));
    QVERIFY(session.cds1().rowCount() > 10);
    QVERIFY(TableFiles::WriteTableText(session.cds1(), saved).ok);

    const QByteArray bytes = readBytes(logged);
    QCOMPARE(bytes, readBytes(saved));
    // The standard output rows are the file's rows.
    QCOMPARE(r.out.count(u'\n'), session.cds1().rowCount() + 1);
}

void TestMeterLogOutput::existingFilesAndAppend_data()
{
    QTest::addColumn<QByteArray>("existing");
    QTest::addColumn<bool>("append");
    QTest::addColumn<int>("status");
    QTest::addColumn<QStringList>("numbers"); // the No of the rows added

    const QByteArray km90File = "No\tTime\tValue\tUnit\tV_Value\tV_Unit\tI_Value\tI_Unit\r\n"
                                "1\t09:00:00\t1.0\tKW\t230.1\tv\t5.360\tA\r\n"
                                "41\t09:00:01\t123.4\tKW\t230.1\tv\t5.360\tA\r\n";
    QTest::newRow("existing file without --append is refused")
        << km90File << false << int(ExitOutput) << QStringList();
    QTest::newRow("matching file: numbering goes on, repeat rule sees its last value")
        << km90File << true << 0 << QStringList { "43", "44" };
    QTest::newRow("matching file without a last line end")
        << km90File.chopped(2) << true << 0 << QStringList { "43", "44" };
    QTest::newRow("matching file with only a header")
        << QByteArray("No\tTime\tValue\tUnit\tV_Value\tV_Unit\tI_Value\tI_Unit\r\n") << true << 0
        << QStringList { "1", "2", "3" };
    QTest::newRow("foreign file (the other model's header) is refused")
        << QByteArray("No\ttime\tValue\tUnit\r\n1\t09:00:00\t1.0\tV\r\n") << true << int(ExitOutput)
        << QStringList();
    QTest::newRow("file with a broken row is refused")
        << QByteArray("No\tTime\tValue\tUnit\tV_Value\tV_Unit\tI_Value\tI_Unit\r\nx\ty\r\n") << true
        << int(ExitOutput) << QStringList();
}

void TestMeterLogOutput::existingFilesAndAppend()
{
    QFETCH(QByteArray, existing);
    QFETCH(bool, append);
    QFETCH(int, status);
    QFETCH(QStringList, numbers);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.xls"));
    QVERIFY(writeBytes(path, existing));

    // The first frame repeats the file's last value (123.4): with --no-repeat
    // it is not recorded when the file's last row is taken into account.
    const QString frames = km90Power + u'\n' + km90PowerFactor + u'\n' + km90Power + u'\n';
    QStringList arguments { "--model", "km90", "--frames", "--decimal", ".", "--no-repeat",
        "--output", path };
    if (append)
        arguments << "--append";
    const Run r = run(arguments, frames);
    QCOMPARE(r.status, status);
    const QByteArray after = readBytes(path);
    if (status != 0) {
        QCOMPARE(after, existing);
        QVERIFY(!r.err.isEmpty());
        return;
    }
    QVERIFY(after.startsWith(existing));
    QVERIFY(after.endsWith("\r\n"));
    // The whole file reads back as one table: the old rows, then the new ones.
    ReadingTable before(MeterModel::Km90);
    QVERIFY(TableFiles::appendTableText(existing, before).ok);
    ReadingTable table(MeterModel::Km90);
    QVERIFY(TableFiles::appendTableText(after, table).ok);
    QStringList added;
    for (int row = before.rowCount(); row < table.rowCount(); ++row)
        added << table.fieldText(row, 0);
    QCOMPARE(added, numbers);
}

void TestMeterLogOutput::dayRolloverOpensTheNextDaysFile()
{
    QTemporaryDir dir;
    const QString pattern = dir.filePath(QStringLiteral("km90-%Y-%m-%d.xls"));
    // Four rows a second apart from 23:59:58: two on each day.
    const QString frames = QStringList(4, km90Power).join(u'\n') + u'\n';
    const Run r = run({ "--model", "km90", "--frames", "--decimal", ".", "--output", pattern },
        frames, steppingClock(QDateTime(QDate(2024, 2, 28), QTime(23, 59, 57))));
    QCOMPARE(r.status, 0);
    const QByteArray header = "No\tTime\tValue\tUnit\tV_Value\tV_Unit\tI_Value\tI_Unit\r\n";
    // The first clock reading opens the file (23:59:57); rows are stamped 58, 59, 00, 01.
    QCOMPARE(readBytes(dir.filePath(QStringLiteral("km90-2024-02-28.xls"))),
        header
            + "1\t23:59:58\t123.4\tKW\t230.1\tv\t5.360\tA\r\n"
              "2\t23:59:59\t123.4\tKW\t230.1\tv\t5.360\tA\r\n");
    QCOMPARE(readBytes(dir.filePath(QStringLiteral("km90-2024-02-29.xls"))),
        header
            + "3\t00:00:00\t123.4\tKW\t230.1\tv\t5.360\tA\r\n"
              "4\t00:00:01\t123.4\tKW\t230.1\tv\t5.360\tA\r\n");
    QCOMPARE(TableFileOutput::fileNameFor(QStringLiteral("a-%Y%m%d-100%%-%q"), QDate(2024, 1, 2)),
        QStringLiteral("a-20240102-100%-%q"));
}

void TestMeterLogOutput::csvQuoting_data()
{
    QTest::addColumn<QStringList>("fields");
    QTest::addColumn<QString>("line");
    QTest::newRow("plain") << QStringList { "1", "12.3", "V" } << QStringLiteral("1,12.3,V\r\n");
    QTest::newRow("comma") << QStringList { "1", "12,3", "V" }
                           << QStringLiteral("1,\"12,3\",V\r\n");
    QTest::newRow("quote") << QStringList { "a\"b", "" } << QStringLiteral("\"a\"\"b\",\r\n");
    QTest::newRow("line breaks") << QStringList { "a\r\nb", "c\nd" }
                                 << QStringLiteral("\"a\r\nb\",\"c\nd\"\r\n");
}

void TestMeterLogOutput::csvQuoting()
{
    QFETCH(QStringList, fields);
    QFETCH(QString, line);
    QCOMPARE(MeterLogFormat::csvLine(fields), line);
}

void TestMeterLogOutput::csvOutput()
{
    // A comma as decimal separator is quoted in the program's output too.
    const Run r = run({ "--model", "km90", "--frames", "--decimal", ",", "--format", "csv" },
        km90Power + u'\n', steppingClock(QDateTime(QDate(2024, 1, 1), QTime(8, 0, 0))));
    QCOMPARE(r.status, 0);
    QCOMPARE(r.out,
        QStringLiteral("No,Time,Value,Unit,V_Value,V_Unit,I_Value,I_Unit\r\n"
                       "1,08:00:00,\"123,4\",KW,\"230,1\",v,\"5,360\",A\r\n"));
}

void TestMeterLogOutput::jsonLinesParseBack()
{
    const QDateTime start(QDate(2024, 7, 1), QTime(12, 0, 0));
    const QString frames = km90Power + u'\n' + QStringLiteral("000999902301153603124210DA\n");
    const Run r = run({ "--model", "km90", "--frames", "--decimal", ",", "--format", "jsonl" },
        frames, steppingClock(start));
    QCOMPARE(r.status, 0);
    const QStringList lines = r.out.split(u'\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);

    QJsonParseError error;
    const QJsonObject first = QJsonDocument::fromJson(lines[0].toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(first.value("model").toString(), QStringLiteral("km90"));
    QCOMPARE(first.value("No").toInt(), 1);
    QCOMPARE(first.value("Value").toString(), QStringLiteral("123,4"));
    QCOMPARE(first.value("V_Unit").toString(), QStringLiteral("v"));
    const QJsonObject numbers = first.value("numbers").toObject();
    QCOMPARE(numbers.value("Value").toDouble(), 123.4);
    QCOMPARE(numbers.value("V_Value").toDouble(), 230.1);
    QCOMPARE(numbers.value("I_Value").toDouble(), 5.36);
    QCOMPARE(numbers.size(), 3);
    // The date and time of recording: milliseconds and the UTC offset, the instant of the clock.
    const QString recorded = first.value("recorded").toString();
    QVERIFY2(QRegularExpression(
                 QStringLiteral(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}[+-]\d\d:\d\d$)"))
                 .match(recorded)
                 .hasMatch(),
        qPrintable(recorded));
    QCOMPARE(QDateTime::fromString(recorded, Qt::ISODateWithMs).toMSecsSinceEpoch(),
        start.toMSecsSinceEpoch());
    QVERIFY2(recorded.endsWith(u"+02:00"), qPrintable(recorded));
    QCOMPARE(first.value("Time").toString().left(2), QStringLiteral("12"));

    // An overload is no number: the text is there, the number is not.
    const QJsonObject second = QJsonDocument::fromJson(lines[1].toUtf8(), &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QVERIFY(second.value("Value").isString());
    QVERIFY(!second.value("numbers").toObject().contains("Value"));
}

void TestMeterLogOutput::jsonNumbersReadAsQtReadsThem_data()
{
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("decimal");
    for (const char *text : { "123.4", "-0.5", "+5", "1e3", ".5", "7.", "0012", "OL", "-OL", "+-5",
             "--5", "1.2.3", "inf", "nan", "1e999", "0x10", "5 V", "\u00bd" }) {
        QTest::addRow("'%s' .", text) << QString::fromUtf8(text) << ".";
    }
    QTest::addRow("'229,8' ,") << "229,8"
                               << ",";
    QTest::addRow("'229.8' ,") << "229.8"
                               << ",";
}

void TestMeterLogOutput::jsonNumbersReadAsQtReadsThem()
{
    // A value field is a number exactly when QString::toDouble reads a finite one.
    QFETCH(QString, value);
    QFETCH(QString, decimal);
    ReadingTable table(MeterModel::Km50_60);
    // No, time, Value, Unit; the unit holds a lone surrogate, which must not
    // make the line invalid.
    const QString fields[]
        = { QStringLiteral("1"), QStringLiteral("10:00:00"), value, QString(QChar(0xD800)) + u'V' };
    QVERIFY(table.appendFields(std::span<const QString>(fields)));
    const QByteArray line = MeterLogFormat::jsonRow(
        modelDescription(MeterModel::Km50_60), table, 0, QStringLiteral("now"), decimal);

    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(line, &error).object();
    QCOMPARE(error.error, QJsonParseError::NoError);
    QCOMPARE(object.value("Value").toString(), value);
    QCOMPARE(object.value("Unit").toString(), QString(QChar(0xFFFD)) + u'V');

    QString number = value;
    number.replace(decimal, QStringLiteral("."));
    bool ok = false;
    const double expected = number.toDouble(&ok);
    const QJsonObject numbers = object.value("numbers").toObject();
    QCOMPARE(numbers.contains("Value"), ok && std::isfinite(expected));
    if (numbers.contains("Value"))
        QCOMPARE(numbers.value("Value").toDouble(), expected);
}

// The JSON number made from a reading's digits is, byte for byte, what
// RapidJSON's writer prints for the double the text reads as: checked for every
// text of one to four digits, with the separator at every place, both signs
// and both separators. Texts of any other form are left to the writer.
void TestMeterLogOutput::plainDecimalsAreWrittenAsTheWriterPrintsTheirNumber()
{
    rapidjson::StringBuffer buffer;
    rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
    const auto printed = [&](double value) {
        buffer.Clear();
        writer.Reset(buffer);
        writer.Double(value);
        return QByteArray(buffer.GetString(), qsizetype(buffer.GetSize()));
    };
    char out[16];
    int checked = 0;
    int mismatches = 0;
    for (const QChar separator : { QChar(u'.'), QChar(u',') }) {
        for (int digits = 1; digits <= 4; ++digits) {
            int limit = 1;
            for (int i = 0; i < digits; ++i)
                limit *= 10;
            for (int n = 0; n < limit; ++n) {
                const QString plain = QString::number(n).rightJustified(digits, u'0');
                for (int point = 0; point < digits; ++point) { // 0: none, else digits before it
                    for (const bool negative : { false, true }) {
                        QString text = plain;
                        if (point > 0)
                            text.insert(point, separator);
                        if (negative)
                            text.prepend(u'-');
                        bool ok = false;
                        const double value = QString(text).replace(separator, u'.').toDouble(&ok);
                        const qsizetype size
                            = MeterLogFormat::plainDecimalJson(text, separator, out);
                        ++checked;
                        if (!ok || QByteArray(out, size) != printed(value)) {
                            if (++mismatches < 5)
                                qWarning() << text << QByteArray(out, size) << printed(value);
                        }
                    }
                }
            }
        }
    }
    QCOMPARE(mismatches, 0);
    QCOMPARE(checked, 2 * 2 * (10 * 1 + 100 * 2 + 1000 * 3 + 10000 * 4));

    for (const char *text : { "", "-", ".", "-.5", ".5", "7.", "+5", "12345", "1.2345", "1e3",
             "1.2.3", "--5", "1 ", " 1", "OL", "1,5" }) {
        QCOMPARE(MeterLogFormat::plainDecimalJson(QString::fromLatin1(text), u'.', out), 0);
    }
    QCOMPARE(MeterLogFormat::plainDecimalJson(u"1.5", u',', out), 0);
    QCOMPARE(MeterLogFormat::plainDecimalJson(u"1-5", u'-', out), 0);
}

void TestMeterLogOutput::writtenRowsAreDroppedButRepeatRuleHolds()
{
    MeterLogOptions options;
    options.model = MeterModel::Km90;
    options.decimal = QStringLiteral(".");
    options.repeat = false;
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    MeterSession session(MeterModel::Km90, options.decimal);
    applyRecordOptions(options, session.recorder());
    MeterLogPrinter printer(options, session, outStream, errStream);
    session.setObserver(&printer);
    for (const QString &frame :
        { km90Power, km90Power, km90PowerFactor, km90PowerFactor, km90Power }) {
        session.ShowData50(frame);
        QCOMPARE(session.cds1().rowCount(), 0);
    }
    outStream.flush();
    QStringList numbers;
    for (const QString &line : out.split(u'\n', Qt::SkipEmptyParts))
        numbers << line.section(u'\t', 0, 0);
    QCOMPARE(numbers, (QStringList { "1", "3", "5" }));
}

void TestMeterLogOutput::killedWhileWritingLeavesWholeLines()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.xls"));
    QProcess meterlog;
    meterlog.setProgram(QStringLiteral(MKMETERLOG_EXE));
    meterlog.setArguments({ "--model", "km90", "--frames", "--limit", "none", "--output", path });
    meterlog.setStandardOutputFile(QProcess::nullDevice());
    meterlog.start();
    QVERIFY(meterlog.waitForStarted());
    // Frames keep coming in large pieces while the file grows; the kill lands
    // at whatever point the writer is.
    const QByteArray piece = QStringList(2000, km90Power).join(u'\n').toLatin1() + '\n';
    QTRY_VERIFY_WITH_TIMEOUT((meterlog.write(piece), meterlog.waitForBytesWritten(1000),
                                 QFileInfo(path).size() > 200000),
        60000);
    meterlog.kill();
    QVERIFY(meterlog.waitForFinished());

    const QByteArray bytes = readBytes(path);
    QVERIFY(bytes.endsWith("\r\n"));
    ReadingTable table(MeterModel::Km90);
    const TableFiles::Result result = TableFiles::appendTableText(bytes, table);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(qsizetype(table.rowCount()), bytes.count("\r\n") - 1);
    for (int row = 0; row < table.rowCount(); ++row) {
        QCOMPARE(table.no(row), std::optional<qint32>(row + 1));
        QCOMPARE(table.fieldText(row, 7), QStringLiteral("A"));
    }
}

QTEST_GUILESS_MAIN(TestMeterLogOutput)
#include "tst_meterlogoutput.moc"
