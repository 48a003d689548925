// SPDX-License-Identifier: MIT
#include "recording/ReadingTable.h"
#include "reports/ReportFiles.h"

#include <QBuffer>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>

Q_DECLARE_METATYPE(ReportFiles::Format)

// Changes a sound report's design, stamp or paper before it is saved.
using ReportChange = std::function<void(ReportDesign &, ReportStamp &, PageGeometry &)>;
Q_DECLARE_METATYPE(ReportChange)

namespace {

using ReportFiles::Format;

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A KM90 table with an overload, a decimal comma and texts that need quoting.
std::unique_ptr<ReadingTable> km90Table(int extraRows = 0)
{
    auto table = std::make_unique<ReadingTable>(MeterModel::Km90);
    table->appendRow(1, QStringList { "10:00:00", "OL", "KW", "230,1", "V", "5.3", "A" });
    table->appendRow(2, QStringList { "10:00:01", "12.5", "", "say \"hi\"", "<V>" });
    for (int i = 0; i < extraRows; ++i)
        table->appendRow(3 + i, QStringList { "10:00:02", QString::number(i) });
    return table;
}

std::unique_ptr<ReadingTable> km50Table(int rows)
{
    auto table = std::make_unique<ReadingTable>(MeterModel::Km50_60);
    for (int i = 1; i <= rows; ++i)
        table->appendRow(
            i, QStringList { "10:00:00", QString::number(i), QStringLiteral("\u2103") });
    return table;
}

// Rows of a KM90 report: No and a short text in every other column.
class Km90Rows : public ReportRows
{
public:
    explicit Km90Rows(int rows)
        : m_rows(rows)
    { }
    int rowCount() const override { return m_rows; }
    QString fieldText(int row, int column) const override
    {
        return column == 0 ? QString::number(row + 1) : QStringLiteral("t%1").arg(column);
    }

private:
    int m_rows;
};

} // namespace

class TestReportFiles : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init() { QVERIFY(m_dir.isValid()); }
    void formatByExtension_data();
    void formatByExtension();
    void textExportLooksLikeThePrintedPages();
    void csvExportHoldsHeadingsAndRows();
    void htmlExportIsOneEscapedTable();
    void savedReportLoadsBackWithTheSamePages();
    void damagedReportFilesAreRefused_data();
    void damagedReportFilesAreRefused();
    void designsNoProgramMakesAreRefused_data();
    void designsNoProgramMakesAreRefused();
    void failedWritesLeaveTheOldFile();

private:
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir m_dir;
};

void TestReportFiles::formatByExtension_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("known");
    QTest::addColumn<Format>("format");
    QTest::newRow("report any case") << "/tmp/r.KMR" << true << Format::Report;
    QTest::newRow("pdf") << "r.pdf" << true << Format::Pdf;
    QTest::newRow("text") << "r.txt" << true << Format::Text;
    QTest::newRow("csv") << "dir.x/r.Csv" << true << Format::Csv;
    QTest::newRow("htm") << "r.htm" << true << Format::Html;
    QTest::newRow("table file is not a report") << "r.xls" << false << Format::Report;
    QTest::newRow("no extension") << "dir.pdf/report" << false << Format::Report;
}

void TestReportFiles::formatByExtension()
{
    QFETCH(QString, name);
    QFETCH(bool, known);
    QFETCH(Format, format);
    const auto found = ReportFiles::formatForPath(name);
    QCOMPARE(found.has_value(), known);
    if (known)
        QCOMPARE(*found, format);
}

void TestReportFiles::textExportLooksLikeThePrintedPages()
{
    const auto table = km90Table(36); // 38 rows: two pages
    const auto report = layOutTableReport(*table, QStringLiteral("3/4/25"), std::nullopt);
    const QString file = path("report.txt");
    const auto result = ReportFiles::exportText(*report, file);
    QVERIFY2(result.ok, qPrintable(result.error));

    const QStringList pages = QString::fromUtf8(fileBytes(file)).split(QLatin1Char('\f'));
    QCOMPARE(pages.size(), 2);
    const QStringList lines = pages[0].split(QStringLiteral("\r\n"));
    QCOMPARE(lines[0].trimmed(), QStringLiteral("KM90 Data Report"));
    // The title is centred on a line of 95 characters.
    QCOMPARE(lines[0].indexOf(QLatin1Char('K')), (95 - 16) / 2);
    QCOMPARE(lines[1].simplified(), QStringLiteral("Print Date: 3/4/25"));
    const QString headings = lines[2];
    QCOMPARE(
        headings.simplified(), QStringLiteral("No Time Value Unit v_value v_unit i_value i_unit"));
    QCOMPARE(lines[3].simplified(), QStringLiteral("1 10:00:00 OL KW 230,1 V 5.3 A"));
    QCOMPARE(lines[3].indexOf(QStringLiteral("OL")), headings.indexOf(QStringLiteral("Value")));
    QCOMPARE(
        lines[3].indexOf(QStringLiteral("230,1")), headings.indexOf(QStringLiteral("v_value")));
    QCOMPARE(lines.size(), 3 + 37 + 1 + 1 + 1); // rows, blank line, footer, final line end
    QCOMPARE(lines[41].trimmed(), QStringLiteral("1"));

    const QStringList last = pages[1].split(QStringLiteral("\r\n"));
    QCOMPARE(last[3].simplified(), QStringLiteral("38 10:00:02 35"));
    QCOMPARE(last[5].trimmed(), QStringLiteral("2"));

    const auto empty = km50Table(0);
    const auto km50 = layOutTableReport(*empty, QStringLiteral("3/4/25"), 1);
    QCOMPARE(QString::fromUtf8(ReportFiles::textPage(*km50, 1))
                 .split(QStringLiteral("\r\n"))
                 .at(4)
                 .simplified(),
        QStringLiteral("The Page 1 Of 1"));
}

void TestReportFiles::csvExportHoldsHeadingsAndRows()
{
    const auto table = km90Table();
    const auto report = layOutTableReport(*table, QStringLiteral("3/4/25"), std::nullopt);
    const QString file = path("report.csv");
    QVERIFY(ReportFiles::exportCsv(*report, file).ok);
    QCOMPARE(fileBytes(file),
        QByteArray("No,Time,Value,Unit,v_value,v_unit,i_value,i_unit\r\n"
                   "1,10:00:00,OL,KW,\"230,1\",V,5.3,A\r\n"
                   "2,10:00:01,12.5,,\"say \"\"hi\"\"\",<V>,,\r\n"));

    const auto km50 = km50Table(1);
    const auto unitReport = layOutTableReport(*km50, QStringLiteral("3/4/25"), 1);
    QVERIFY(ReportFiles::exportCsv(*unitReport, file).ok);
    QCOMPARE(fileBytes(file), QByteArray("No,Time,Value,Unit\r\n1,10:00:00,1,\xe2\x84\x83\r\n"));
}

void TestReportFiles::htmlExportIsOneEscapedTable()
{
    const auto table = km90Table();
    const auto report = layOutTableReport(*table, QStringLiteral("3/4/25"), std::nullopt);
    const QString file = path("report.html");
    QVERIFY(ReportFiles::exportHtml(*report, file).ok);
    const QString html = QString::fromUtf8(fileBytes(file));
    QVERIFY(html.startsWith(QStringLiteral("<!DOCTYPE html>")));
    QVERIFY(html.contains(QStringLiteral("<meta charset=\"utf-8\">")));
    QVERIFY(html.contains(QStringLiteral("<h1>KM90 Data Report</h1>")));
    QVERIFY(html.contains(QStringLiteral("Print Date: 3/4/25")));
    QVERIFY(html.contains(QStringLiteral("<th>No</th><th>Time</th><th>Value</th><th>Unit</th>"
                                         "<th>v_value</th><th>v_unit</th><th>i_value</th>"
                                         "<th>i_unit</th>")));
    QVERIFY(html.contains(QStringLiteral("<tr><td>1</td><td>10:00:00</td><td>OL</td>")));
    QVERIFY(html.contains(QStringLiteral("<td>say &quot;hi&quot;</td><td>&lt;V&gt;</td>")));
    QCOMPARE(html.count(QStringLiteral("<tr>")), 3);
    QVERIFY(html.trimmed().endsWith(QStringLiteral("</html>")));
}

void TestReportFiles::savedReportLoadsBackWithTheSamePages()
{
    const auto table = km50Table(75);
    const auto report = layOutTableReport(*table, QStringLiteral("3/4/25"), allPageCount(75));
    const QString file = path("report.kmr");
    QVERIFY(ReportFiles::saveReport(*report, file).ok);
    table->clear(); // the saved report does not depend on the table

    QString error;
    const auto loaded = ReportFiles::loadReport(file, &error);
    QVERIFY2(loaded, qPrintable(error));
    QCOMPARE(loaded->pageCount(), 3);
    QCOMPARE(loaded->design(), report->design());
    QCOMPARE(loaded->stamp(), report->stamp());
    for (int page = 1; page <= 3; ++page)
        QCOMPARE(loaded->pageTexts(page), report->pageTexts(page));
    QCOMPARE(loaded->rows().fieldText(74, 3), QStringLiteral("\u2103"));

    // Saving the loaded report again writes the same file.
    const QString again = path("again.kmr");
    QVERIFY(ReportFiles::saveReport(*loaded, again).ok);
    QCOMPARE(fileBytes(again), fileBytes(file));
}

void TestReportFiles::damagedReportFilesAreRefused_data()
{
    const auto table = km90Table();
    const auto report = layOutTableReport(*table, QStringLiteral("3/4/25"), std::nullopt);
    const QString file = path("valid.kmr");
    QVERIFY(ReportFiles::saveReport(*report, file).ok);
    const QByteArray valid = fileBytes(file);
    QVERIFY(ReportFiles::loadReport(file));

    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("table text file") << QByteArray("No\tTime\tValue\r\n1\t10:00:00\tOL\r\n");
    QTest::newRow("cut in the design") << valid.left(60);
    QTest::newRow("last byte missing") << valid.chopped(1);
    QTest::newRow("bytes after the rows") << valid + QByteArray(1, 'x');
    QByteArray newer = valid;
    newer[5] = 2;
    QTest::newRow("newer version") << newer;

    // Patch the row count (the word before the rows) to claim two billion rows.
    const auto emptyTable = km90Table();
    emptyTable->clear();
    const auto emptyReport = layOutTableReport(*emptyTable, QStringLiteral("3/4/25"), std::nullopt);
    QVERIFY(ReportFiles::saveReport(*emptyReport, file).ok);
    QByteArray huge = fileBytes(file);
    huge.replace(huge.size() - 4, 4, QByteArray("\x7f\xff\xff\xf0", 4));
    QTest::newRow("row count beyond the data") << huge;
}

void TestReportFiles::damagedReportFilesAreRefused()
{
    QFETCH(QByteArray, bytes);
    QBuffer buffer(&bytes);
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QString error;
    QVERIFY(!ReportFiles::loadReport(buffer, &error));
    QVERIFY(!error.isEmpty());

    QVERIFY(!ReportFiles::loadReport(path("missing.kmr"), &error));
    QVERIFY(error.contains(QStringLiteral("missing.kmr")));
}

void TestReportFiles::designsNoProgramMakesAreRefused_data()
{
    QTest::addColumn<ReportChange>("change");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("loads");

    using Kind = ReportElement::Kind;
    const QString longText(257, u'x');
    // The program's own design first, and designs at the limits, which load.
    QTest::newRow("program's design")
        << ReportChange([](auto &, auto &, auto &) {}) << 2000 << true;
    QTest::newRow("A0 paper, 64 elements, 256 characters") << ReportChange(
        [](ReportDesign &d, ReportStamp &s, PageGeometry &p) {
            p = { 841, 1189, 10 };
            s.printDate = QString(256, u'd');
            while (d.pageHeader.elements.size() < 64)
                d.pageHeader.elements.append(reportLabel("", 0, 1, 8));
            d.pageHeader.elements[1].text = QString(256, u'x');
        }) << 100 << true;
    QTest::newRow("detail band of zero height: one row a page")
        << ReportChange([](ReportDesign &d, auto &, auto &) { d.detail.heightMm = 0; }) << 2000
        << true;

    QTest::newRow("a hundred elements in a band") << ReportChange(
        [](ReportDesign &d, auto &, auto &) {
            for (int i = 0; i < 100; ++i)
                d.columnHeader.elements.append(reportLabel("x", 1, 1, 8));
        }) << 2 << false;
    QTest::newRow("thin detail band: every row on one page")
        << ReportChange([](ReportDesign &d, auto &, auto &) { d.detail.heightMm = 0.001; }) << 2000
        << false;
    QTest::newRow("label longer than any title") << ReportChange(
        [longText](ReportDesign &d, auto &, auto &) { d.columnHeader.elements[0].text = longText; })
                                                 << 2 << false;
    QTest::newRow("print date longer than any date")
        << ReportChange([longText](auto &, ReportStamp &s, auto &) { s.printDate = longText; }) << 2
        << false;
    QTest::newRow("print date printed 64 times") << ReportChange(
        [](ReportDesign &d, ReportStamp &s, auto &) {
            s.printDate = QString(200, u'd');
            ReportElement date = reportLabel("", 1, 1, 7);
            date.kind = Kind::PrintDate;
            d.pageFooter.elements = QList<ReportElement>(64, date);
        }) << 2 << false;
    QTest::newRow("text far right of the paper") << ReportChange(
        [](ReportDesign &d, auto &, auto &) { d.pageFooter.elements[0].leftMm = 9000; })
                                                 << 2 << false;
    QTest::newRow("text far below the paper")
        << ReportChange([](ReportDesign &d, auto &, auto &) { d.detail.elements[0].downMm = 5000; })
        << 2 << false;
    QTest::newRow("band taller than the paper")
        << ReportChange([](ReportDesign &d, auto &, auto &) { d.pageFooter.heightMm = 9000; }) << 2
        << false;
    QTest::newRow("paper ten metres wide")
        << ReportChange([](auto &, auto &, PageGeometry &p) { p.widthMm = 10000; }) << 2 << false;
    QTest::newRow("point size of a poster") << ReportChange([](ReportDesign &d, auto &, auto &) {
        d.pageHeader.elements[0].pointSize = 900;
    }) << 2 << false;
    QTest::newRow("one column printed twice in a row") << ReportChange(
        [](ReportDesign &d, auto &, auto &) { d.detail.elements.append(d.detail.elements[3]); })
                                                       << 2 << false;
}

void TestReportFiles::designsNoProgramMakesAreRefused()
{
    QFETCH(ReportChange, change);
    QFETCH(int, rows);
    QFETCH(bool, loads);

    const auto table = km90Table();
    const auto program = layOutTableReport(*table, QStringLiteral("3/4/25"), std::nullopt);
    ReportDesign design = program->design();
    ReportStamp stamp = program->stamp();
    PageGeometry page = program->layout().page();
    change(design, stamp, page);
    const ReportDocument report(design, std::make_shared<Km90Rows>(rows), stamp, page);
    const QString file = path("changed.kmr");
    QVERIFY(ReportFiles::saveReport(report, file).ok);

    QString error;
    const auto loaded = ReportFiles::loadReport(file, &error);
    if (!loads) {
        QVERIFY(!loaded);
        QVERIFY2(error.startsWith(QStringLiteral("This is not a complete report file (")),
            qPrintable(error));
        return;
    }
    QVERIFY2(loaded, qPrintable(error));
    QCOMPARE(loaded->design(), design);
    QCOMPARE(loaded->pageTexts(loaded->pageCount()), report.pageTexts(report.pageCount()));
}

void TestReportFiles::failedWritesLeaveTheOldFile()
{
    const auto table = km90Table();
    const auto report = layOutTableReport(*table, QStringLiteral("3/4/25"), std::nullopt);

    const QString nowhere = path("no-such-folder/report.csv");
    const auto result = ReportFiles::exportCsv(*report, nowhere);
    QVERIFY(!result.ok);
    QVERIFY(result.error.contains(QStringLiteral("report.csv")));
    QVERIFY(!QFile::exists(nowhere));

    // A write abandoned half-way leaves the file that was there.
    QTemporaryDir dir;
    const QString existing = dir.filePath(QStringLiteral("old.txt"));
    QVERIFY(writeBytes(existing, "old content"));
    const auto abandoned
        = ReportFiles::writeAtomically(existing, [](QIODevice &device, QString &error) {
              device.write("half of the new");
              error = QStringLiteral("disk full");
              return false;
          });
    QVERIFY(!abandoned.ok);
    QVERIFY(abandoned.error.contains(QStringLiteral("disk full")));
    QCOMPARE(fileBytes(existing), QByteArray("old content"));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList { "old.txt" });
}

QTEST_GUILESS_MAIN(TestReportFiles)
#include "tst_reportfiles.moc"
