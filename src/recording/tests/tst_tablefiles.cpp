// SPDX-License-Identifier: MIT
#include "recording/TableFiles.h"

#include "jobs/JobProgress.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

using namespace TableFiles;

namespace {

constexpr auto AllFiles = QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

const QString Celsius = QStringLiteral("\u2103");
const QString Sum = QStringLiteral("\u2211");

// A table as text: one line per row, fields joined by '|', a null field as '~'.
QString dump(const ReadingTable &table)
{
    QStringList lines;
    for (int r = 0; r < table.rowCount(); ++r) {
        QStringList fields;
        for (int c = 0; c < table.columnCount(); ++c)
            fields << (table.isNull(r, c) ? QStringLiteral("~") : table.fieldText(r, c));
        lines << fields.join(u'|');
    }
    return lines.join(u'\n');
}

// Fills a table from dump() text ('~' or a missing field is null).
void fill(ReadingTable &table, const QString &rows)
{
    if (rows.isEmpty())
        return;
    for (const QString &line : rows.split(u'\n')) {
        const QStringList fields = line.split(u'|');
        QStringList texts;
        for (qsizetype i = 1; i < fields.size(); ++i)
            texts << (fields[i] == u"~" ? QString() : fields[i]);
        const std::optional<qint32> no
            = fields[0] == u"~" ? std::nullopt : std::optional<qint32>(fields[0].toInt());
        QVERIFY(table.appendRow(no, texts));
    }
}

MeterModel modelOf(bool km90)
{
    return km90 ? MeterModel::Km90 : MeterModel::Km50_60;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

// Stands for the full device in test data.
const QString FullDevice = QStringLiteral("<full device>");

// A device that reports a full disk on every write. As root (where a save that
// wrongly replaced the node would replace the system's /dev/full) a private
// node in folder; otherwise /dev/full itself. Empty when no node can be made.
QString fullDevice(const QString &folder)
{
    if (geteuid() != 0)
        return QStringLiteral("/dev/full");
    const QString path = folder + QStringLiteral("/full");
    if (::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        return QString();
    return path;
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Two KM90 rows as a meter records them, with the GBK signs and empty fields.
const QString Km90Rows = QStringLiteral("1|10:15:02|123.4|KW|230.1|v|5.360|A\n"
                                        "2|10:15:03|-0.5|%1|~|~|OL|~\n"
                                        "-3|10:15:04|%2 12|W|~|~|~|~")
                             .arg(Celsius, Sum);
const QString Km50Rows = QStringLiteral("1|08:00:00|0.123|V\n"
                                        "2|08:00:01|OL|~\n"
                                        "3|08:00:02|25.0|%1")
                             .arg(Celsius);

} // namespace

class TestTableFiles : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void extensionDecidesFormat_data();
    void extensionDecidesFormat();
    void textBytes_data();
    void textBytes();
    void tokens_data();
    void tokens();
    void readText_data();
    void readText();
    void noReadAsTheTableParsesIt_data();
    void noReadAsTheTableParsesIt();
    void textRoundTrip_data();
    void textRoundTrip();
    void halvesReadAsInOrder_data();
    void halvesReadAsInOrder();
    void halvesReportProgressAndStop();
    void tableClearedBetweenPieces();
    void fileOpenedTwiceAppendsTwice();
    void unreadableFileLeavesTableAlone();
    void xmlBytes_data();
    void xmlBytes();
    void xmlRoundTripReplacesRows_data();
    void xmlRoundTripReplacesRows();
    void badXmlLeavesTableAlone_data();
    void badXmlLeavesTableAlone();
    void xmlNamesTheFirstBadRow_data();
    void xmlNamesTheFirstBadRow();
    void xmlReadsDeclaredEncodings_data();
    void xmlReadsDeclaredEncodings();
    void xmlRefusesTextItCannotCarry();
    void failedSaveKeepsOldFile_data();
    void failedSaveKeepsOldFile();
    void writeFailureMidwayKeepsOldFile();
    void readOnlyFolderKeepsOldFile();
    void longLineIsRefusedWithoutBeingKept();
    void specialFilesAreRefusedAtOnce();
};

void TestTableFiles::extensionDecidesFormat_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("extension");
    QTest::addColumn<bool>("km90SavesXml");
    QTest::addColumn<bool>("km50SavesXml");
    QTest::addColumn<bool>("opensXml");
    QTest::newRow("xml") << "/d/t.xml"
                         << ".xml" << true << true << true;
    QTest::newRow("XML") << "/d/t.XML"
                         << ".XML" << false << true << false;
    QTest::newRow("Xml") << "/d/t.Xml"
                         << ".Xml" << false << true << false;
    QTest::newRow("xls") << "/d/t.xls"
                         << ".xls" << false << false << false;
    QTest::newRow("last dot counts") << "/d/t.xml.txt"
                                     << ".txt" << false << false << false;
    QTest::newRow("no dot") << "/d/t"
                            << "" << false << false << false;
    QTest::newRow("dot in folder only") << "/d.xml/t"
                                        << "" << false << false << false;
    QTest::newRow("trailing dot") << "/d/t."
                                  << "." << false << false << false;
}

void TestTableFiles::extensionDecidesFormat()
{
    QFETCH(QString, name);
    QFETCH(QString, extension);
    QFETCH(bool, km90SavesXml);
    QFETCH(bool, km50SavesXml);
    QFETCH(bool, opensXml);
    QCOMPARE(fileExtension(name), extension);
    QCOMPARE(saveFormat(MeterModel::Km90, name) == Format::Xml, km90SavesXml);
    QCOMPARE(saveFormat(MeterModel::Km50_60, name) == Format::Xml, km50SavesXml);
    QCOMPARE(openFormat(name) == Format::Xml, opensXml);
}

void TestTableFiles::textBytes_data()
{
    QTest::addColumn<bool>("km90");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray km90Header = "No\tTime\tValue\tUnit\tV_Value\tV_Unit\tI_Value\tI_Unit\r\n";
    const QByteArray km50Header = "No\ttime\tValue\tUnit\r\n";
    QTest::newRow("km90 empty table") << true << "" << km90Header;
    QTest::newRow("km50 empty table") << false << "" << km50Header;
    QTest::newRow("km50 empty unit is NULL")
        << false << "3|10:15:02|12.34|~" << km50Header + "3\t10:15:02\t12.34\tNULL\r\n";
    QTest::newRow("km90 empty voltage fields are NULL")
        << true << "12|09:00:00|1.5|KW|~|~|6.5|A"
        << km90Header + "12\t09:00:00\t1.5\tKW\tNULL\tNULL\t6.5\tA\r\n";
    QTest::newRow("codes 0 to 32 trimmed, inner blank kept")
        << false << QStringLiteral("-5| \t08:00:00\u0001|12 3 |\u0000\u001f ")
        << km50Header + "-5\t08:00:00\t12 3\tNULL\r\n";
    QTest::newRow("text NULL written as it is")
        << false << "2147483647|~|NULL|x" << km50Header + "2147483647\tNULL\tNULL\tx\r\n";
    QTest::newRow("GBK signs") << false << QStringLiteral("1|t|%1|%2").arg(Sum, Celsius)
                               << km50Header + "1\tt\t\xA1\xC6\t\xA1\xE6\r\n";
    QTest::newRow("row without No") << false << "~|t|v|u" << km50Header + "\"\"\tt\tv\tu\r\n";
    QTest::newRow("several rows in table order")
        << false << "1|a|b|c\n3|d|e|f" << km50Header + "1\ta\tb\tc\r\n3\td\te\tf\r\n";
}

void TestTableFiles::textBytes()
{
    QFETCH(bool, km90);
    QFETCH(QString, rows);
    QFETCH(QByteArray, bytes);
    ReadingTable table(modelOf(km90));
    fill(table, rows);
    QCOMPARE(tableTextBytes(table), bytes);
}

void TestTableFiles::tokens_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("tokens");
    QTest::newRow("tabs") << "1\t10:00:00\t1.5\tV" << QStringList { "1", "10:00:00", "1.5", "V" };
    QTest::newRow("runs of blanks are one separator") << " \t1 \t\t 2\x01\x1f"
                                                         "3 "
                                                      << QStringList { "1", "2", "3" };
    QTest::newRow("blank inside a value makes two") << "12 3" << QStringList { "12", "3" };
    QTest::newRow("only separators") << " \t \x0b" << QStringList {};
    QTest::newRow("empty") << "" << QStringList {};
    QTest::newRow("NUL separates") << QStringLiteral("a\u0000b") << QStringList { "a", "b" };
    QTest::newRow("quoted with blank and doubled quote")
        << "1\t\"a b \"\"c\"\"\"\tx" << QStringList { "1", "a b \"c\"", "x" };
    QTest::newRow("empty quoted") << "\"\"\tNULL" << QStringList { "", "NULL" };
    QTest::newRow("text right after closing quote") << "\"ab\"cd" << QStringList { "ab", "cd" };
    QTest::newRow("unclosed quote runs to the end")
        << "1 \"a\tb\"\"" << QStringList { "1", "a\tb\"" };
    QTest::newRow("quote inside a plain token") << "a\"b" << QStringList { "a\"b" };
    QTest::newRow("commas do not separate") << "1,2" << QStringList { "1,2" };
}

void TestTableFiles::tokens()
{
    QFETCH(QString, line);
    QFETCH(QStringList, tokens);
    QCOMPARE(splitTableLine(line), tokens);

    // The reader splits the encoded bytes by the same rule.
    ReadingTable table(MeterModel::Km90);
    const QByteArray bytes = "header\r\n9 " + line.toUtf8() + "\r\n";
    const Result result = appendTableText(bytes, table);
    QVERIFY2(result.ok == (tokens.size() < table.columnCount()), qPrintable(result.error));
    if (result.ok) {
        QCOMPARE(table.rowCount(), 1);
        for (qsizetype i = 0; i < tokens.size(); ++i)
            QCOMPARE(table.fieldText(0, int(i) + 1), tokens[i]);
    }
}

void TestTableFiles::readText_data()
{
    QTest::addColumn<bool>("km90");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>(
        "rows"); // rows of the table afterwards, which held "7|a|b|c" for km50
    // 0: the read succeeds; -1: it fails before any line
    QTest::addColumn<int>("failedLine");

    const QByteArray header = "No\ttime\tValue\tUnit\r\n";
    QTest::newRow("header only") << false << header << "7|a|b|c" << 0;
    QTest::newRow("header without line end") << false << QByteArray("No") << "7|a|b|c" << 0;
    QTest::newRow("one empty line") << false << QByteArray("\r\n") << "7|a|b|c" << 0;
    QTest::newRow("empty file fails") << false << QByteArray() << "7|a|b|c" << -1;
    QTest::newRow("any first line is dropped")
        << false << QByteArray("1\tx\ty\tz\r\n2\tp\tq\tr\r\n") << "7|a|b|c\n2|p|q|r" << 0;
    QTest::newRow("rows appended, NULL kept as text, lines without tokens skipped")
        << false << header + "1\t08:00:00\t1.5\tNULL\r\n\r\n \t \r\n-4\t08:00:01\t2.5\tV\r\n"
        << "7|a|b|c\n1|08:00:00|1.5|NULL\n-4|08:00:01|2.5|V" << 0;
    QTest::newRow("CR, LF and CR LF all end lines")
        << false << QByteArray("h\r1\ta\n2\tb\r\n3\tc\n\r4\td")
        << "7|a|b|c\n1|a|~|~\n2|b|~|~\n3|c|~|~\n4|d|~|~" << 0;
    // Every line end counts one line, blank lines too, for the line a failure names.
    QTest::newRow("lines counted across every kind of line end")
        << false << header + "1\ta\r\r\n2\tb\n\r3\tc\r \t\x01\r\nx\td\r\n"
        << "7|a|b|c\n1|a|~|~\n2|b|~|~\n3|c|~|~" << 8;
    QTest::newRow("missing tokens leave columns empty") << false << header + "5\r\n6\tt\r\n"
                                                        << "7|a|b|c\n5|~|~|~\n6|t|~|~" << 0;
    QTest::newRow("quoted tokens") << false << header + "\"8\"\t\"a \"\"b\"\"\"\t\"\"\tu\r\n"
                                   << "7|a|b|c\n8|a \"b\"|~|u" << 0;
    QTest::newRow("empty quoted No is no number") << false << header + "\"\"\tt\r\n"
                                                  << "7|a|b|c\n~|t|~|~" << 0;
    QTest::newRow("GBK bytes") << false << header + "1\t\xA1\xC6\t5\t\xA1\xE6\r\n"
                               << QStringLiteral("7|a|b|c\n1|%1|5|%2").arg(Sum, Celsius) << 0;
    // A GBK character at the end of a token of eight bytes, of a longer one
    // and of the last one: each line goes through the code page.
    QTest::newRow("GBK bytes ending tokens of every length")
        << false << header + "1\tABCDEF\xA1\xC6\t123456789AB\xA1\xC6\r\n2\tA\tB\t\xA1\xC6"
        << QStringLiteral("7|a|b|c\n1|ABCDEF%1|123456789AB%1|~\n2|A|B|%1").arg(Sum) << 0;
    QTest::newRow("too many tokens fail after earlier rows")
        << false << header + "1\t08:00:00\t12\tV\r\n2\t08:00:01\t12 3\tV\r\n3\t08:00:02\t1\tV\r\n"
        << "7|a|b|c\n1|08:00:00|12|V" << 3;
    QTest::newRow("km90 blank in value shifts later fields")
        << true << QByteArray("h\r\n1\t08:00:00\t12 3\tKW\tNULL\tNULL\r\n")
        << "1|08:00:00|12|3|KW|NULL|NULL|~" << 0;
    QTest::newRow("No that is not a number fails") << false << header + "1\ta\r\nx1\tb\r\n"
                                                   << "7|a|b|c\n1|a|~|~" << 3;
    // A refused row is the one reported even when a later line fails too.
    QTest::newRow("bad No before a line with too many tokens")
        << false << header + "1\ta\r\nx\tb\r\n1 2 3 4 5\r\n"
        << "7|a|b|c\n1|a|~|~" << 3;
    QTest::newRow("bad No before a line too long")
        << false << header + "x\ta\r\n" + QByteArray(MaxLineBytes + 1, 'y') << "7|a|b|c" << 2;
    QTest::newRow("bad No on a last line without line end") << false << header + "1\ta\r\nx"
                                                            << "7|a|b|c\n1|a|~|~" << 3;
    QTest::newRow("No beyond 32 bits fails") << false << header + "2147483648\ta\r\n"
                                             << "7|a|b|c" << 2;
    QTest::newRow("NULL as No fails") << false << header + "NULL\ta\r\n"
                                      << "7|a|b|c" << 2;
    QTest::newRow("long text cut to 20 characters")
        << false << header + "1\t123456789012345678901234\r\n"
        << "7|a|b|c\n1|12345678901234567890|~|~" << 0;
    // Bytes that are no GBK character become U+FFFD wherever they stand; a
    // first byte cut off by the field's end does not drop the field.
    QTest::newRow("GBK lead byte cut at a field's end")
        << false << header + "1\tAB\xB0\t5\t\xA1\r\n"
        << QStringLiteral("7|a|b|c\n1|AB%1|5|%1").arg(QChar(QChar::ReplacementCharacter)) << 0;
    // A line longer than any table line is refused, whether it comes whole or
    // in pieces, and the rows before it stay.
    QTest::newRow("line longer than any table line")
        << false << header + "1\ta\r\n2\t" + QByteArray(MaxLineBytes, 'x') + "\r\n3\tb\r\n"
        << "7|a|b|c\n1|a|~|~" << 3;
    QTest::newRow("line of short tokens made too long by blanks")
        << false << header + "1\ta\r\n2\t" + QByteArray(MaxLineBytes, ' ') + "b\r\n3\tc\r\n"
        << "7|a|b|c\n1|a|~|~" << 3;
    QTest::newRow("endless first line")
        << false << QByteArray(MaxLineBytes + 1, ' ') << "7|a|b|c" << 1;
    // Texts that come again, in the line before or further back, short
    // (eight bytes or fewer) and long, and fields that go missing between.
    QTest::newRow("texts that come again")
        << false
        << header
            + "1\tAAAAAAAA\tAAAAAAAAA\tx\r\n2\tAAAAAAAA\tAAAAAAAAA\tx\r\n"
              "3\tAAAAAAAB\tAAAAAAAAB\r\n4\tAAAAAAAA\tAAAAAAAAA\tx\r\n5\r\n"
              "6\tAAAAAAAA\tAAAAAAAAA\tx\r\n"
              "7\t12345678901234567890\t1234567890123456789\ty\r\n"
              "8\t12345678901234567890\t1234567890123456789\ty\r\n"
        << "7|a|b|c\n1|AAAAAAAA|AAAAAAAAA|x\n2|AAAAAAAA|AAAAAAAAA|x\n"
           "3|AAAAAAAB|AAAAAAAAB|~\n4|AAAAAAAA|AAAAAAAAA|x\n5|~|~|~\n"
           "6|AAAAAAAA|AAAAAAAAA|x\n7|12345678901234567890|1234567890123456789|y\n"
           "8|12345678901234567890|1234567890123456789|y"
        << 0;
    QTest::newRow("signed No up to the 32-bit limits")
        << false << header + "+5\ta\r\n-2147483648\tb\r\n2147483647\tc\r\n-0\td\r\n"
        << "7|a|b|c\n5|a|~|~\n-2147483648|b|~|~\n2147483647|c|~|~\n0|d|~|~" << 0;
    QTest::newRow("No below 32 bits fails") << false << header + "1\ta\r\n-2147483649\tb\r\n"
                                            << "7|a|b|c\n1|a|~|~" << 3;
    QTest::newRow("a sign alone is no number") << false << header + "-\ta\r\n"
                                               << "7|a|b|c" << 2;
    QTest::newRow("texts of the first rows come again after other lines")
        << false << header + "1\tOL\tV\r\n2\t\"OL\"\tV\r\n3\tOL\t\xA1\xE6\r\n4\tOL\tV\r\n"
        << QStringLiteral("7|a|b|c\n1|OL|V|~\n2|OL|V|~\n3|OL|%1|~\n4|OL|V|~").arg(Celsius) << 0;
}

void TestTableFiles::readText()
{
    QFETCH(bool, km90);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, rows);
    QFETCH(int, failedLine);
    ReadingTable table(modelOf(km90));
    if (!km90)
        fill(table, QStringLiteral("7|a|b|c"));
    const int before = table.rowCount();
    const Result result = appendTableText(bytes, table);
    QCOMPARE(result.ok, failedLine == 0);
    QCOMPARE(result.failedLine, qMax(failedLine, 0));
    QCOMPARE(result.rows, table.rowCount() - before);
    QCOMPARE(result.format, Format::Text);
    QCOMPARE(dump(table), rows);

    // The same content arriving one byte at a time, as from a file read in
    // pieces: every line end, CR LF pair and two-byte character is split once.
    ReadingTable piecewise(modelOf(km90));
    if (!km90)
        fill(piecewise, QStringLiteral("7|a|b|c"));
    TextTableReader reader(piecewise);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        reader.feed(bytes.sliced(i, 1));
    const Result pieces = reader.finish();
    QCOMPARE(pieces.ok, result.ok);
    QCOMPARE(pieces.failedLine, result.failedLine);
    QCOMPARE(pieces.rows, result.rows);
    QCOMPARE(dump(piecewise), rows);

    // The same content in two pieces, split after every byte in turn: a piece
    // may end inside a line, between a CR and its LF or right after a line.
    if (bytes.size() <= 1024) {
        for (qsizetype at = 1; at < bytes.size(); ++at) {
            ReadingTable two(modelOf(km90));
            if (!km90)
                fill(two, QStringLiteral("7|a|b|c"));
            TextTableReader twoPieces(two);
            twoPieces.feed(bytes.first(at));
            twoPieces.feed(bytes.sliced(at));
            const Result split = twoPieces.finish();
            QVERIFY2(split.ok == result.ok && split.failedLine == result.failedLine
                    && split.rows == result.rows && dump(two) == rows,
                qPrintable(QStringLiteral("split after byte %1").arg(at)));
        }
    }

    // The same content as a file read in two halves on two threads.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.xls"));
    QVERIFY(writeBytes(path, bytes));
    ReadingTable halves(modelOf(km90));
    if (!km90)
        fill(halves, QStringLiteral("7|a|b|c"));
    const Result split = readTableTextFileInParts(path, halves, nullptr, 1);
    QCOMPARE(split.ok, result.ok);
    QCOMPARE(split.failedLine, result.failedLine);
    QCOMPARE(split.rows, result.rows);
    QCOMPARE(dump(halves), rows);
}

// Long files in two halves: whatever the second half holds (a failing line, a
// line the general reader reads, texts of the first half), the outcome is
// that of reading the file in order, message included.
void TestTableFiles::halvesReadAsInOrder_data()
{
    QTest::addColumn<bool>("tableHoldsRows");
    QTest::addColumn<QByteArray>("bytes");

    QByteArray rows = "No\tTime\tValue\tUnit\tV_Value\tV_Unit\tI_Value\tI_Unit\r\n";
    for (int i = 1; i <= 3000; ++i) {
        rows += QByteArray::number(i) + '\t' + QByteArray::number(10 + i / 9) + ":00:00\t"
            + QByteArray::number(300.0 + (i % 97) / 10.0, 'f', 1) + "\tKW\t"
            + QByteArray::number(229 + i % 3) + ".0\tv\t" + QByteArray::number(i * 7 % 1000)
            + "\tA\r\n";
    }
    const qsizetype late = rows.size() * 3 / 4; // a line start in the second half
    const qsizetype at = rows.indexOf('\n', late) + 1;
    const auto inserted = [&](const QByteArray &line) { return QByteArray(rows).insert(at, line); };
    QTest::newRow("plain rows") << false << rows;
    QTest::newRow("plain rows after rows the table holds") << true << rows;
    QTest::newRow("bad No in the second half") << false << inserted("x1\ta\r\n");
    QTest::newRow("too many fields in the second half")
        << true << inserted("1 2 3 4 5 6 7 8 9\r\n");
    QTest::newRow("line too long in the second half")
        << false << inserted(QByteArray(MaxLineBytes + 1, 'y') + "\r\n");
    QTest::newRow("quotes and GBK in the second half")
        << true << inserted("\"5\"\t\"a b\"\t\xA1\xE6\r\n");
    QTest::newRow("last line without line end") << false << rows + "9999\t1\t2";
    QTest::newRow("bad No on the last line without line end") << false << rows + "x\t1";
    QTest::newRow("only CR line ends") << false << QByteArray(rows).replace("\r\n", "\r");
    QTest::newRow("bad No in the first half")
        << false << QByteArray(rows).insert(rows.indexOf('\n') + 1, "x\ta\r\n");
}

void TestTableFiles::halvesReadAsInOrder()
{
    QFETCH(bool, tableHoldsRows);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.xls"));
    QVERIFY(writeBytes(path, bytes));
    const auto read = [&](qint64 partBytes, ReadingTable &table) {
        if (tableHoldsRows)
            fill(table, QStringLiteral("7|x|2|KW|~|~|9.9|A\n8|OL|~|~|~|~|~|~"));
        return readTableTextFileInParts(path, table, nullptr, partBytes);
    };
    ReadingTable inOrder(MeterModel::Km90);
    const Result expected = read(0, inOrder);
    ReadingTable halves(MeterModel::Km90);
    const Result split = read(1, halves);
    QCOMPARE(split.ok, expected.ok);
    QCOMPARE(split.error, expected.error);
    QCOMPARE(split.failedLine, expected.failedLine);
    QCOMPARE(split.rows, expected.rows);
    // Every row appended is counted, in batches or not.
    QCOMPARE(expected.rows, inOrder.rowCount() - (tableHoldsRows ? 2 : 0));
    QCOMPARE(halves.rowCount(), inOrder.rowCount());
    QCOMPARE(halves.textCount(), inOrder.textCount());
    QCOMPARE(dump(halves), dump(inOrder));
    // The texts are numbered in the order they first came, as in one reading.
    for (quint32 id = 1; id <= quint32(inOrder.textCount()); ++id)
        QCOMPARE(halves.storedText(id), inOrder.storedText(id));
}

void TestTableFiles::halvesReportProgressAndStop()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.xls"));
    QByteArray bytes = "No\ttime\tValue\tUnit\r\n";
    for (int i = 1; i <= 20000; ++i)
        bytes += QByteArray::number(i) + "\t08:00:00\t" + QByteArray::number(i % 500) + "\tV\r\n";
    QVERIFY(writeBytes(path, bytes));

    JobProgress whole;
    ReadingTable table(MeterModel::Km50_60);
    QVERIFY(readTableTextFileInParts(path, table, &whole, 1).ok);
    QCOMPARE(table.rowCount(), 20000);
    QCOMPARE(whole.total(), bytes.size());
    QCOMPARE(whole.done(), whole.total());

    JobProgress stopped;
    stopped.cancelAtFraction(0.1);
    ReadingTable partial(MeterModel::Km50_60);
    const Result result = readTableTextFileInParts(path, partial, &stopped, 1);
    QVERIFY(stopped.isCanceled());
    QVERIFY(!result.ok);
    QVERIFY(partial.rowCount() < 20000);
}

// A reader that keeps numbers of texts between pieces must not use them once
// the table has numbered its texts anew (a logger empties its table after
// each piece and keeps reading).
void TestTableFiles::tableClearedBetweenPieces()
{
    ReadingTable table(MeterModel::Km50_60);
    TextTableReader reader(table);
    QVERIFY(reader.feed("No\ttime\tValue\tUnit\r\n1\tab\tcdefghijk\tV\r\n"));
    QCOMPARE(dump(table), QStringLiteral("1|ab|cdefghijk|V"));
    table.clear();
    QVERIFY(reader.feed("2\tzz\tyyyyyyyyyy\tW\r\n3\tab\tcdefghijk\tV\r\n"));
    table.clear();
    QVERIFY(reader.feed("4\tab\tcdefghijk\tV\r\n"));
    const Result result = reader.finish();
    QVERIFY(result.ok);
    QCOMPARE(result.rows, 4);
    QCOMPARE(dump(table), QStringLiteral("4|ab|cdefghijk|V"));
}

// A No of up to eight digits is read from the token's bytes at once; every
// other No by the table's parser. Both must read a No alike, in every length
// and with a wrong byte at every place.
void TestTableFiles::noReadAsTheTableParsesIt_data()
{
    QTest::addColumn<QByteArray>("no");
    const QByteArray digits = "9081726354";
    for (int length = 1; length <= 10; ++length) {
        const QByteArray no = digits.first(length);
        QTest::addRow("%d digits", length) << no;
        QTest::addRow("%d digits, leading zeros", length) << QByteArray(length - 1, '0') + "7";
        QTest::addRow("%d nines", length) << QByteArray(length, '9');
        QTest::addRow("%d digits, signed", length) << "-" + no;
        // Bytes next to the digits' range, and one far from it, at each place.
        for (const char wrong : { '/', ':', 'a', '\x7F' }) {
            for (int at = 0; at < length; ++at) {
                QByteArray bad = no;
                bad[at] = wrong;
                QTest::addRow("%d digits, 0x%02x at %d", length, int(wrong), at) << bad;
            }
        }
    }
}

void TestTableFiles::noReadAsTheTableParsesIt()
{
    QFETCH(QByteArray, no);
    const std::optional<qint32> expected = ReadingTable::parseNo(QLatin1String(no));
    ReadingTable table(MeterModel::Km50_60);
    const Result result = appendTableText("No\ttime\r\n" + no + "\tt\r\n", table);
    QCOMPARE(result.ok, expected.has_value());
    if (expected) {
        QCOMPARE(table.rowCount(), 1);
        QCOMPARE(table.no(0), expected);
    } else {
        QCOMPARE(result.failedLine, 2);
        QCOMPARE(table.rowCount(), 0);
    }
}

void TestTableFiles::textRoundTrip_data()
{
    QTest::addColumn<bool>("km90");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QString>("reread"); // empty fields come back as the text NULL
    QTest::newRow("km90") << true << Km90Rows
                          << QStringLiteral("1|10:15:02|123.4|KW|230.1|v|5.360|A\n"
                                            "2|10:15:03|-0.5|%1|NULL|NULL|OL|NULL")
                                 .arg(Celsius);
    QTest::newRow("km50") << false << Km50Rows
                          << QStringLiteral("1|08:00:00|0.123|V\n"
                                            "2|08:00:01|OL|NULL\n"
                                            "3|08:00:02|25.0|%1")
                                 .arg(Celsius);
}

void TestTableFiles::textRoundTrip()
{
    QFETCH(bool, km90);
    QFETCH(QString, rows);
    QFETCH(QString, reread);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("t.txt"));
    ReadingTable table(modelOf(km90));
    fill(table, rows);
    const Result written = WriteTableText(table, path);
    QVERIFY2(written.ok, qPrintable(written.error));
    QCOMPARE(written.format, Format::Text);
    QCOMPARE(readAll(path), tableTextBytes(table));

    ReadingTable back(modelOf(km90));
    const Result read = ReadTableFile(path, back);
    // The KM90 fixture's third row has a blank in its value: the shifted fields
    // make one token too many, so the file stops there with two rows read.
    QCOMPARE(read.ok, !km90);
    QCOMPARE(read.failedLine, km90 ? 4 : 0);
    QCOMPARE(dump(back), reread);
}

void TestTableFiles::fileOpenedTwiceAppendsTwice()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.xls"));
    ReadingTable table(MeterModel::Km50_60);
    fill(table, QStringLiteral("5|a|b|c\n6|d|e|f"));
    QVERIFY(writeTableTextFile(table, path).ok);
    QVERIFY(ReadTableFile(path, table).ok);
    QVERIFY(ReadTableFile(path, table).ok);
    QCOMPARE(dump(table), QStringLiteral("5|a|b|c\n6|d|e|f\n5|a|b|c\n6|d|e|f\n5|a|b|c\n6|d|e|f"));
}

void TestTableFiles::unreadableFileLeavesTableAlone()
{
    QTemporaryDir dir;
    ReadingTable table(MeterModel::Km50_60);
    fill(table, QStringLiteral("1|a|b|c"));
    for (const QString &name : { QStringLiteral("missing.txt"), QStringLiteral("missing.xml") }) {
        const Result result = ReadTableFile(dir.filePath(name), table);
        QVERIFY(!result.ok);
        QVERIFY(!result.error.isEmpty());
    }
    QVERIFY(!ReadTableFile(dir.path(), table).ok); // a folder
    QCOMPARE(dump(table), QStringLiteral("1|a|b|c"));
}

void TestTableFiles::xmlBytes_data()
{
    QTest::addColumn<bool>("km90");
    QTest::addColumn<QString>("rows");
    QTest::addColumn<QByteArray>("bytes");
    const QByteArray start = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                             "<DATAPACKET Version=\"2.0\">\n"
                             "    <METADATA>\n"
                             "        <FIELDS>\n"
                             "            <FIELD attrname=\"No\" fieldtype=\"i4\"/>\n";
    const auto field = [](const char *name) {
        return QByteArray("            <FIELD attrname=\"") + name
            + "\" fieldtype=\"string\" WIDTH=\"20\"/>\n";
    };
    const QByteArray km50Fields = field("time") + field("Value") + field("Unit");
    QByteArray km90Fields;
    for (const char *name : { "Time", "Value", "Unit", "V_Value", "V_Unit", "I_Value", "I_Unit" })
        km90Fields += field(name);
    const QByteArray metadataEnd = "        </FIELDS>\n"
                                   "        <PARAMS/>\n"
                                   "    </METADATA>\n";
    const QByteArray end = "</DATAPACKET>\n";

    QTest::newRow("km50 empty table")
        << false << QString() << start + km50Fields + metadataEnd + "    <ROWDATA/>\n" + end;
    QTest::newRow("km90 rows: null fields left out, markup escaped, UTF-8")
        << true
        << QStringLiteral("1|10:15:02|123.4|KW|230.1|v|5.360|A\n"
                          "~|<&>\"'|a\tb\rc|%1|~|~|\U0001D11E|~\n"
                          "-2147483648|~|~|~|~|~|~|~")
               .arg(Celsius)
        << start + km90Fields + metadataEnd
            + "    <ROWDATA>\n"
              "        <ROW No=\"1\" Time=\"10:15:02\" Value=\"123.4\" Unit=\"KW\" "
              "V_Value=\"230.1\" V_Unit=\"v\" I_Value=\"5.360\" I_Unit=\"A\"/>\n"
              "        <ROW Time=\"&lt;&amp;&gt;&quot;'\" Value=\"a&#9;b&#13;c\" "
              "Unit=\"\xE2\x84\x83\" I_Value=\"\xF0\x9D\x84\x9E\"/>\n"
              "        <ROW No=\"-2147483648\"/>\n"
              "    </ROWDATA>\n"
            + end;
}

void TestTableFiles::xmlBytes()
{
    QFETCH(bool, km90);
    QFETCH(QString, rows);
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.xml"));
    ReadingTable table(modelOf(km90));
    fill(table, rows);
    const Result written = writeTableXmlFile(table, path);
    QVERIFY2(written.ok, qPrintable(written.error));
    QCOMPARE(readAll(path), bytes);
}

void TestTableFiles::xmlRoundTripReplacesRows_data()
{
    QTest::addColumn<bool>("km90");
    QTest::addColumn<QString>("rows");
    QTest::newRow("km90") << true
                          << Km90Rows
            + QStringLiteral("\n~|<&>\"'|a\tb|~|~|~|~|~\n0|~|~|~|~|~|~|~");
    QTest::newRow("km50") << false << Km50Rows;
    QTest::newRow("km50 empty table") << false << QString();
    // Enough rows to make the file far larger than the pieces it is written in.
    QStringList many;
    for (int i = 0; i < 12000; ++i)
        many << QStringLiteral("%1|10:%2|%3|KW|230.%4|v|~|A")
                    .arg(i)
                    .arg(i % 60)
                    .arg(i * 7)
                    .arg(i % 10);
    QTest::newRow("km90 many rows") << true << many.join(u'\n');
}

void TestTableFiles::xmlRoundTripReplacesRows()
{
    QFETCH(bool, km90);
    QFETCH(QString, rows);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.xml"));
    ReadingTable table(modelOf(km90));
    fill(table, rows);
    const Result written = WriteTableText(table, path);
    QVERIFY2(written.ok, qPrintable(written.error));
    QCOMPARE(written.format, Format::Xml);
    QVERIFY(readAll(path).startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<DATAPACKET"));

    ReadingTable back(modelOf(km90));
    fill(back, km90 ? QStringLiteral("99|old") : QStringLiteral("99|old|x|y"));
    const Result read = ReadTableFile(path, back);
    QVERIFY2(read.ok, qPrintable(read.error));
    QCOMPARE(read.format, Format::Xml);
    QCOMPARE(read.rows, table.rowCount());
    QCOMPARE(dump(back), dump(table));
}

void TestTableFiles::badXmlLeavesTableAlone_data()
{
    QTest::addColumn<QByteArray>("xml");
    const QByteArray fields = "<METADATA><FIELDS>"
                              "<FIELD attrname=\"No\" fieldtype=\"i4\"/>"
                              "<FIELD attrname=\"time\" fieldtype=\"string\" WIDTH=\"20\"/>"
                              "<FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"20\"/>"
                              "<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>"
                              "</FIELDS><PARAMS/></METADATA>";
    const auto packet = [](const QByteArray &body) {
        return "<?xml version=\"1.0\"?><DATAPACKET Version=\"2.0\">" + body + "</DATAPACKET>";
    };
    // The sound packet first, so that the rows below fail only for what they change.
    QTest::newRow("sound packet (control)")
        << packet(fields + "<ROWDATA><ROW No=\"1\" time=\"a\"/></ROWDATA>");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("text table") << QByteArray("No\ttime\tValue\tUnit\r\n1\ta\tb\tc\r\n");
    QTest::newRow("other root") << QByteArray("<TABLE/>");
    QTest::newRow("no rows part") << packet(fields);
    QTest::newRow("no fields part") << packet("<ROWDATA/>");
    QTest::newRow("fields of the other program")
        << packet(QByteArray(fields)
                      .replace("\"time\"", "\"Time\"")
                      .replace("</FIELDS>",
                          "<FIELD attrname=\"V_Value\" fieldtype=\"string\" "
                          "WIDTH=\"20\"/></FIELDS>")
               + "<ROWDATA/>");
    QTest::newRow("column missing")
        << packet(QByteArray(fields).replace(
                      "<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>", "")
               + "<ROWDATA/>");
    QTest::newRow("columns in another order") << packet(QByteArray(fields)
                                                            .replace("\"time\"", "\"T\"")
                                                            .replace("\"Value\"", "\"time\"")
                                                            .replace("\"T\"", "\"Value\"")
        + "<ROWDATA/>");
    QTest::newRow("No as text") << packet(
        QByteArray(fields).replace("\"i4\"", "\"string\" WIDTH=\"20\"") + "<ROWDATA/>");
    QTest::newRow("other width") << packet(
        QByteArray(fields).replace(
            "WIDTH=\"20\"/><FIELD attrname=\"Value\"", "WIDTH=\"40\"/><FIELD attrname=\"Value\"")
        + "<ROWDATA/>");
    QTest::newRow("field that is not a column")
        << packet(fields + "<ROWDATA><ROW No=\"1\" V_Value=\"a\"/></ROWDATA>");
    QTest::newRow("No that is not a number")
        << packet(fields + "<ROWDATA><ROW No=\"1\"/><ROW No=\"x\"/></ROWDATA>");
    QTest::newRow("element inside a row")
        << packet(fields + "<ROWDATA><ROW No=\"1\"><ROW/></ROW></ROWDATA>");
    QTest::newRow("other element among rows")
        << packet(fields + "<ROWDATA><ROW No=\"1\"/><COL/></ROWDATA>");
    QTest::newRow("cut off")
        << packet(fields + "<ROWDATA><ROW No=\"1\"/><ROW No=\"2\"/>").chopped(20);
    QTest::newRow("not well-formed after the packet") << packet(fields + "<ROWDATA/>") + "<junk";
    // Bounded cost: an XML parser may check attributes for duplicates in
    // quadratic time and keeps every open element; nothing in a table file comes near
    // 32 attributes on one element or 8 levels of nesting, even in the parts
    // the reader skips.
    QByteArray manyAttributes = "<PARAMS";
    for (int i = 0; i < 33; ++i)
        manyAttributes += " a" + QByteArray::number(i) + "=\"x>\"";
    QTest::newRow("an element with more attributes than any table element")
        << packet(QByteArray(fields).replace("<PARAMS/>", manyAttributes + "/>") + "<ROWDATA/>");
    QTest::newRow("an endless tag") << packet(
        fields + "<ROWDATA><ROW No=\"1\" time=\"" + QByteArray(20000, 'x') + "\"/></ROWDATA>");
    QByteArray deep;
    for (int i = 0; i < 9; ++i)
        deep = "<X>" + deep + "</X>";
    QTest::newRow("elements nested deeper than in any table file") << packet(
        QByteArray(fields).replace("<PARAMS/>", "<PARAMS>" + deep + "</PARAMS>") + "<ROWDATA/>");
    // A table file has no document type; one that declares entities could
    // otherwise make the reader load a file or expand text without bound.
    QTest::newRow("document type with an external entity")
        << "<?xml version=\"1.0\"?><!DOCTYPE DATAPACKET [<!ENTITY x SYSTEM "
           "\"file:///etc/hostname\">]><DATAPACKET Version=\"2.0\">"
            + fields + "<ROWDATA><ROW No=\"1\" time=\"&x;\"/></ROWDATA></DATAPACKET>";
    QTest::newRow("document type with nested entities")
        << "<?xml version=\"1.0\"?><!DOCTYPE DATAPACKET [<!ENTITY a \"aaaaaaaaaa\">"
           "<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
           "<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">]><DATAPACKET Version=\"2.0\">"
            + fields + "<ROWDATA><ROW No=\"1\" time=\"&c;\"/></ROWDATA></DATAPACKET>";
    QTest::newRow("entity that is not declared")
        << packet(fields + "<ROWDATA><ROW No=\"1\" time=\"&x;\"/></ROWDATA>");
}

void TestTableFiles::badXmlLeavesTableAlone()
{
    QFETCH(QByteArray, xml);
    ReadingTable table(MeterModel::Km50_60);
    fill(table, QStringLiteral("1|a|b|c\n2|d|e|f"));
    QBuffer buffer(&xml);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const Result result = readTableXml(buffer, table);
    if (QByteArray(QTest::currentDataTag()).startsWith("sound packet")) {
        QVERIFY2(result.ok, qPrintable(result.error));
        QCOMPARE(dump(table), QStringLiteral("1|a|~|~"));
        return;
    }
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(dump(table), QStringLiteral("1|a|b|c\n2|d|e|f"));
}

void TestTableFiles::xmlNamesTheFirstBadRow_data()
{
    QTest::addColumn<QByteArray>("rows");
    QTest::addColumn<QString>("error");
    QTest::newRow("bad No, then a field that is not a column")
        << QByteArray("<ROW No=\"1\"/><ROW No=\"x\"/><ROW Volts=\"1\"/>")
        << "Row 2 has a No that is not a number";
    QTest::newRow("bad No, then an element among the rows")
        << QByteArray("<ROW No=\"x\"/><COL/>") << "Row 1 has a No that is not a number";
    QTest::newRow("bad No on the last row")
        << QByteArray("<ROW No=\"1\"/><ROW No=\"1x\"/>") << "Row 2 has a No that is not a number";
    QTest::newRow("field that is not a column after sound rows")
        << QByteArray("<ROW No=\"1\"/><ROW No=\"2\"/><ROW Volts=\"1\"/>")
        << "Row 3 has a field \"Volts\" that is not a column";
}

void TestTableFiles::xmlNamesTheFirstBadRow()
{
    QFETCH(QByteArray, rows);
    QFETCH(QString, error);
    QByteArray xml = "<DATAPACKET><METADATA><FIELDS>"
                     "<FIELD attrname=\"No\" fieldtype=\"i4\"/>"
                     "<FIELD attrname=\"time\" fieldtype=\"string\" WIDTH=\"20\"/>"
                     "<FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"20\"/>"
                     "<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>"
                     "</FIELDS></METADATA><ROWDATA>"
        + rows + "</ROWDATA></DATAPACKET>";
    ReadingTable table(MeterModel::Km50_60);
    fill(table, QStringLiteral("1|a|b|c"));
    QBuffer buffer(&xml);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const Result result = readTableXml(buffer, table);
    QVERIFY(!result.ok);
    QCOMPARE(result.error, error);
    QCOMPARE(dump(table), QStringLiteral("1|a|b|c"));
}

void TestTableFiles::xmlReadsDeclaredEncodings_data()
{
    QTest::addColumn<QByteArray>("xml");
    QTest::addColumn<QString>("rows");
    const QByteArray body = "<DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
                            "<FIELD attrname=\"No\" fieldtype=\"i4\"/>"
                            "<FIELD attrname=\"time\" fieldtype=\"string\" WIDTH=\"20\"/>"
                            "<FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"20\"/>"
                            "<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>"
                            "</FIELDS><PARAMS/></METADATA><ROWDATA>";
    QTest::newRow("no declaration, UTF-8, references") << body
            + "<ROW No=\"7\" time=\"a&amp;b&#38;c&#x2103;\" Unit=\"\xE2\x84\x83\"/>"
              "</ROWDATA></DATAPACKET>" << QStringLiteral("7|a&b&c%1|~|%1").arg(Celsius);
    QTest::newRow("GBK") << "<?xml version=\"1.0\" encoding=\"GBK\" standalone=\"yes\"?>" + body
            + "<ROW No=\"1\" time=\"08:00:00\" Value=\"\xA1\xC6\" Unit=\"\xA1\xE6\"/>"
              "</ROWDATA></DATAPACKET>"
                         << QStringLiteral("1|08:00:00|%1|%2").arg(Sum, Celsius);
    QTest::newRow("ISO-8859-1") << "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>" + body
            + "<ROW No=\"2\" Unit=\"\xB5V\"/></ROWDATA></DATAPACKET>"
                                << QStringLiteral("2|~|~|\u00B5V");
    QString utf16 = QString::fromUtf8("<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + body
        + "<ROW No=\"3\" Unit=\"\xE2\x84\x83\"/></ROWDATA></DATAPACKET>");
    utf16.prepend(QChar(QChar::ByteOrderMark));
    QTest::newRow("UTF-16 with byte-order mark")
        << QByteArray(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2)
        << QStringLiteral("3|~|~|%1").arg(Celsius);
}

void TestTableFiles::xmlReadsDeclaredEncodings()
{
    QFETCH(QByteArray, xml);
    QFETCH(QString, rows);
    ReadingTable table(MeterModel::Km50_60);
    QBuffer buffer(&xml);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    const Result result = readTableXml(buffer, table);
    QVERIFY2(result.ok, qPrintable(result.error));
    QCOMPARE(dump(table), rows);
}

void TestTableFiles::xmlRefusesTextItCannotCarry()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.xml"));
    QVERIFY(writeBytes(path, "old"));
    ReadingTable table(MeterModel::Km50_60);
    fill(table, QStringLiteral("1|a|b|c"));
    table.appendFields(splitTableLine(u"2 \"x\u0001y\""));
    QCOMPARE(table.rowCount(), 2);
    const Result result = writeTableXmlFile(table, path);
    QVERIFY(!result.ok);
    QVERIFY(!result.error.isEmpty());
    QCOMPARE(readAll(path), QByteArray("old"));
    QCOMPARE(QDir(dir.path()).entryList(AllFiles), QStringList { "t.xml" });
}

void TestTableFiles::failedSaveKeepsOldFile_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("xml");
    QTest::newRow("missing folder, text") << "missing/t.txt" << false;
    QTest::newRow("missing folder, xml") << "missing/t.xml" << true;
    QTest::newRow("a folder, text") << "folder" << false;
    QTest::newRow("disk full, text") << FullDevice << false;
    QTest::newRow("disk full, xml") << FullDevice << true;
}

void TestTableFiles::failedSaveKeepsOldFile()
{
    QFETCH(QString, target);
    QFETCH(bool, xml);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    QVERIFY(writeBytes(dir.filePath(QStringLiteral("keep.txt")), "old"));
    const QString folder = dir.filePath(QStringLiteral("folder"));
    const bool device = target == FullDevice;
    const QString path = device ? fullDevice(folder) : QDir(dir.path()).absoluteFilePath(target);
    if (path.isEmpty())
        QSKIP("No device node can be made for the test");
    ReadingTable table(MeterModel::Km90);
    fill(table, Km90Rows);
    const Result result = xml ? writeTableXmlFile(table, path) : writeTableTextFile(table, path);
    QVERIFY(!result.ok);
    QVERIFY(result.error.contains(path));
    // Nothing else in the folders changed, no temporary file stayed behind.
    QCOMPARE(QDir(dir.path()).entryList(AllFiles), (QStringList { "folder", "keep.txt" }));
    QCOMPARE(QDir(folder).entryList(AllFiles),
        device && path.startsWith(folder) ? QStringList { "full" } : QStringList());
    // A device is written into, never replaced by a plain file.
    if (device) {
        struct stat st
        {
        };
        QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
        QVERIFY(S_ISCHR(st.st_mode));
    }
}

void TestTableFiles::writeFailureMidwayKeepsOldFile()
{
    // A write that fails part-way (here the file size limit, as a full disk would)
    // must leave the file that was there before as it was.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.xls"));
    QVERIFY(writeBytes(path, "old content"));
    ReadingTable table(MeterModel::Km90);
    for (int i = 0; i < 2000; ++i)
        table.appendRow(i, QStringList { "10:00:00", QString::number(i), "KW" });

    rlimit saved {};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
    const Result text = writeTableTextFile(table, path);
    const Result xml = writeTableXmlFile(table, path);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    QVERIFY(!text.ok);
    QVERIFY(!xml.ok);
    QCOMPARE(readAll(path), QByteArray("old content"));
    QCOMPARE(QDir(dir.path()).entryList(AllFiles), QStringList { "t.xls" });
    // Within the limit the same save replaces the file.
    QVERIFY(writeTableTextFile(table, path).ok);
    QCOMPARE(readAll(path), tableTextBytes(table));
}

void TestTableFiles::readOnlyFolderKeepsOldFile()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("t.txt"));
    QVERIFY(writeBytes(path, "old"));
    QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
    // Permissions do not stop a privileged user (root) from writing.
    const bool enforced = !QFile(dir.filePath(QStringLiteral("probe"))).open(QIODevice::WriteOnly);
    if (!enforced) {
        QFile::remove(dir.filePath(QStringLiteral("probe")));
        QFile::setPermissions(
            dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        QSKIP("Folder permissions are not enforced for this user (running as root)");
    }
    ReadingTable table(MeterModel::Km50_60);
    fill(table, Km50Rows);
    const Result text = writeTableTextFile(table, path);
    const Result xml = writeTableXmlFile(table, dir.filePath(QStringLiteral("t.xml")));
    QFile::setPermissions(
        dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QVERIFY(!text.ok);
    QVERIFY(!xml.ok);
    QCOMPARE(readAll(path), QByteArray("old"));
    QCOMPARE(QDir(dir.path()).entryList(AllFiles), QStringList { "t.txt" });
}

void TestTableFiles::longLineIsRefusedWithoutBeingKept()
{
    // Pieces of 4 KiB of a line that never ends: the reader refuses it as soon
    // as it is longer than any table line, not after the last piece.
    ReadingTable table(MeterModel::Km50_60);
    TextTableReader reader(table);
    QVERIFY(reader.feed("No\ttime\tValue\tUnit\r\n1\t"));
    const QByteArray piece(4096, 'x');
    int fed = 0;
    while (fed < 1000 && reader.feed(piece))
        ++fed;
    QCOMPARE(fed, int((MaxLineBytes - 2) / piece.size())); // after the two bytes "1", TAB
    const Result result = reader.finish();
    QVERIFY(!result.ok);
    QCOMPARE(result.failedLine, 2);
    QVERIFY(result.error.contains(u"longer than any line"));
    QCOMPARE(table.rowCount(), 0);
}

void TestTableFiles::specialFilesAreRefusedAtOnce()
{
    // A FIFO nobody writes to would block opening and reading for good; a
    // device like /dev/zero never ends.
    QTemporaryDir dir;
    const QString fifo = dir.filePath("table.txt");
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString xmlFifo = dir.filePath("table.xml");
    QCOMPARE(::mkfifo(QFile::encodeName(xmlFifo).constData(), 0600), 0);
    for (const QString &path : { fifo, xmlFifo, QStringLiteral("/dev/zero"), dir.path() }) {
        ReadingTable table(MeterModel::Km90);
        fill(table, QStringLiteral("1|a|b"));
        const Result result = ReadTableFile(path, table);
        QVERIFY2(!result.ok, qPrintable(path));
        QVERIFY2(result.error.contains(u"not a regular file"), qPrintable(result.error));
        QCOMPARE(dump(table), QStringLiteral("1|a|b|~|~|~|~|~"));
    }
}

QTEST_GUILESS_MAIN(TestTableFiles)
#include "tst_tablefiles.moc"
