// SPDX-License-Identifier: MIT
#include "models/ModelDescription.h"
#include "recording/ReadingTable.h"
#include "reports/ReportDocument.h"
#include "reports/ReportLayout.h"
#include "reports/TableSnapshot.h"

#include <QTest>

#include <algorithm>

Q_DECLARE_METATYPE(MeterModel)

namespace {

// Rows whose fields name their place, for layouts without a table.
class NamedRows : public ReportRows
{
public:
    explicit NamedRows(int rows)
        : m_rows(rows)
    { }
    int rowCount() const override { return m_rows; }
    QString fieldText(int row, int column) const override
    {
        return QStringLiteral("r%1c%2").arg(row).arg(column);
    }

private:
    int m_rows;
};

ReportLayout layoutOf(MeterModel model, int rows, const QString &allPage = {})
{
    return ReportLayout(
        modelDescription(model).report, rows, { QStringLiteral("3/4/25"), allPage });
}

const PlacedText *findText(const std::vector<PlacedText> &texts, const QString &text)
{
    const auto it = std::find_if(
        texts.begin(), texts.end(), [&](const PlacedText &t) { return t.text == text; });
    return it == texts.end() ? nullptr : &*it;
}

std::vector<PlacedText> bandTexts(const std::vector<PlacedText> &texts, ReportBandKind band)
{
    std::vector<PlacedText> out;
    std::copy_if(texts.begin(), texts.end(), std::back_inserter(out),
        [band](const PlacedText &t) { return t.band == band; });
    std::stable_sort(out.begin(), out.end(),
        [](const PlacedText &a, const PlacedText &b) { return a.xMm < b.xMm; });
    return out;
}

QString joined(const std::vector<PlacedText> &texts)
{
    QStringList parts;
    for (const PlacedText &t : texts)
        parts.append(t.text);
    return parts.join(QLatin1Char(' '));
}

ReadingTable *filledTable(MeterModel model, int rows)
{
    auto *table = new ReadingTable(model);
    for (int i = 1; i <= rows; ++i) {
        if (model == MeterModel::Km90)
            table->appendRow(i, QStringList { "10:00:00", "OL", "KW", "230.1", "V", "5.3", "A" });
        else
            table->appendRow(i, QStringList { "10:00:00", "25.0", QStringLiteral("\u2103") });
    }
    return table;
}

} // namespace

class TestReportLayout : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void pagesAndRowsPerPage_data();
    void pagesAndRowsPerPage();
    void textsAtTheirPlaces_data();
    void textsAtTheirPlaces();
    void emptyKm50TableFooterReadsPage1Of1();
    void km90HeadingsStandAboveTheirFields();
    void longPageNumberPushesTheFooterAlong();
    void snapshotKeepsTheRowsOfAnOpenReport();
};

void TestReportLayout::pagesAndRowsPerPage_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("rowsOnLastPage");
    for (MeterModel model : { MeterModel::Km90, MeterModel::Km50_60 }) {
        const QString name = modelDescription(model).name;
        QTest::addRow("%s 0 rows", qPrintable(name)) << model << 0 << 1 << 0;
        QTest::addRow("%s 37 rows", qPrintable(name)) << model << 37 << 1 << 37;
        QTest::addRow("%s 38 rows", qPrintable(name)) << model << 38 << 2 << 1;
        QTest::addRow("%s 74 rows", qPrintable(name)) << model << 74 << 2 << 37;
        QTest::addRow("%s 75 rows", qPrintable(name)) << model << 75 << 3 << 1;
    }
    QTest::newRow("100000 rows") << MeterModel::Km90 << 100000 << 2703 << 100000 - 2702 * 37;
}

void TestReportLayout::pagesAndRowsPerPage()
{
    QFETCH(MeterModel, model);
    QFETCH(int, rows);
    QFETCH(int, pages);
    QFETCH(int, rowsOnLastPage);
    const ReportLayout layout = layoutOf(model, rows);
    QCOMPARE(layout.rowsPerPage(), 37);
    QCOMPARE(layout.pageCount(), pages);
    QCOMPARE(allPageCount(rows), pages);
    QCOMPARE(layout.rowsOnPage(pages), rowsOnLastPage);
    QCOMPARE(layout.rowsOnPage(pages + 1), 0);
    QCOMPARE(layout.firstRow(pages), (pages - 1) * 37);

    // The detail rows of the last page are the last rows of the table, in order.
    const NamedRows named(rows);
    const auto detail = bandTexts(layout.pageTexts(pages, named), ReportBandKind::Detail);
    const qsizetype columns = layout.design().detail.elements.size();
    QCOMPARE(qsizetype(detail.size()), rowsOnLastPage * columns);
    if (rowsOnLastPage > 0) {
        QVERIFY(findText(detail, QStringLiteral("r%1c0").arg(rows - 1)));
        QVERIFY(findText(detail, QStringLiteral("r%1c0").arg((pages - 1) * 37)));
    }
    QVERIFY(layout.pageTexts(pages + 1, named).empty());
}

void TestReportLayout::textsAtTheirPlaces_data()
{
    // Places on the paper: margins of 10 mm; header bands 10.6 mm, detail rows
    // 6.6 mm, footer at the bottom of the 277 mm printable height.
    QTest::addColumn<MeterModel>("model");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("x");
    QTest::addColumn<double>("y");
    QTest::addColumn<double>("points");
    QTest::addColumn<int>("colour");

    const int black = int(ReportColour::Black);
    const int blue = int(ReportColour::Blue);
    const int tip = int(ReportColour::ToolTipText);
    const MeterModel km90 = MeterModel::Km90;
    const MeterModel km50 = MeterModel::Km50_60;
    QTest::newRow("km90 print date caption")
        << km90 << 1 << "Print Date:" << 168.8 << 15.3 << 7.0 << black;
    QTest::newRow("km90 print date") << km90 << 1 << "3/4/25" << 181.5 << 15.3 << 7.0 << black;
    QTest::newRow("km90 Time heading") << km90 << 1 << "Time" << 37.5 << 24.8 << 10.0 << black;
    QTest::newRow("km90 first Time field") << km90 << 1 << "r0c1" << 35.4 << 33.3 << 10.0 << black;
    QTest::newRow("km90 last row of page 1")
        << km90 << 1 << "r36c2" << 65.0 << 270.9 << 10.0 << black;
    QTest::newRow("km90 row 38 tops page 2")
        << km90 << 2 << "r37c0" << 18.5 << 33.3 << 10.0 << black;
    QTest::newRow("km90 page number") << km90 << 2 << "2" << 188.9 << 280.6 << 8.0 << black;
    QTest::newRow("km50 Unit heading") << km50 << 1 << "Unit" << 109.5 << 24.8 << 10.0 << black;
    QTest::newRow("km50 Value field") << km50 << 3 << "r74c2" << 76.4 << 33.3 << 10.0 << black;
    QTest::newRow("km50 The Page") << km50 << 3 << "The Page" << 18.5 << 280.6 << 10.0 << tip;
    QTest::newRow("km50 page number") << km50 << 3 << "3" << 34.3 << 280.6 << 8.0 << blue;
    QTest::newRow("km50 Of") << km50 << 3 << "Of" << 41.8 << 280.6 << 10.0 << black;
    QTest::newRow("km50 Allpage") << km50 << 3 << "9" << 47.0 << 280.6 << 9.0 << blue;
}

void TestReportLayout::textsAtTheirPlaces()
{
    QFETCH(MeterModel, model);
    QFETCH(int, page);
    QFETCH(QString, text);
    QFETCH(double, x);
    QFETCH(double, y);
    QFETCH(double, points);
    QFETCH(int, colour);
    const ReportLayout layout = layoutOf(model, 75, QStringLiteral("9"));
    const auto texts = layout.pageTexts(page, NamedRows(75));
    const PlacedText *t = findText(texts, text);
    QVERIFY2(t, qPrintable(text));
    QVERIFY2(qAbs(t->xMm - x) < 1e-6, qPrintable(QString::number(t->xMm)));
    QVERIFY2(qAbs(t->yMm - y) < 1e-6, qPrintable(QString::number(t->yMm)));
    QCOMPARE(t->pointSize, points);
    QCOMPARE(int(t->colour), colour);
    QCOMPARE(t->centreWidthMm, 0.0);
}

void TestReportLayout::emptyKm50TableFooterReadsPage1Of1()
{
    const std::unique_ptr<ReadingTable> table(filledTable(MeterModel::Km50_60, 0));
    const auto report = layOutTableReport(*table, QStringLiteral("3/4/25"), allPageCount(0));
    QCOMPARE(report->pageCount(), 1);
    const auto texts = report->pageTexts(1);
    QCOMPARE(
        joined(bandTexts(texts, ReportBandKind::PageFooter)), QStringLiteral("The Page 1 Of 1"));
    QCOMPARE(joined(bandTexts(texts, ReportBandKind::ColumnHeader)),
        QStringLiteral("No Time Value Unit"));
    QVERIFY(bandTexts(texts, ReportBandKind::Detail).empty());

    const PlacedText *title = findText(texts, QStringLiteral("Test Data"));
    QVERIFY(title);
    QVERIFY(title->bold && title->underline);
    QCOMPARE(title->pointSize, 14.0);
    QCOMPARE(title->xMm, 10.0);
    QCOMPARE(title->centreWidthMm, 190.0);
    QCOMPARE(title->yMm, 12.1);
}

void TestReportLayout::km90HeadingsStandAboveTheirFields()
{
    const std::unique_ptr<ReadingTable> table(filledTable(MeterModel::Km90, 1));
    const auto report = layOutTableReport(*table, QStringLiteral("3/4/25"), 99);
    const auto texts = report->pageTexts(1);
    QCOMPARE(joined(bandTexts(texts, ReportBandKind::ColumnHeader)),
        QStringLiteral("No Time Value Unit v_value v_unit i_value i_unit"));
    QCOMPARE(joined(bandTexts(texts, ReportBandKind::Detail)),
        QStringLiteral("1 10:00:00 OL KW 230.1 V 5.3 A"));
    // KM90 has no page count in its footer: the number alone.
    QCOMPARE(joined(bandTexts(texts, ReportBandKind::PageFooter)), QStringLiteral("1"));
    const PlacedText *title = findText(texts, QStringLiteral("KM90 Data Report"));
    QVERIFY(title && title->bold && !title->underline);

    const auto headings = bandTexts(texts, ReportBandKind::ColumnHeader);
    const auto fields = bandTexts(texts, ReportBandKind::Detail);
    for (int c : { 4, 5, 6, 7 }) {
        QCOMPARE(fields[c].column, c);
        QCOMPARE(fields[c].xMm, headings[c].xMm);
    }
}

void TestReportLayout::longPageNumberPushesTheFooterAlong()
{
    // 370,001 rows give 10,001 pages: a five-digit number at 8 pt would reach
    // into "Of" at its designed place.
    const int rows = 370001;
    const ReportLayout layout = layoutOf(MeterModel::Km50_60, rows, QString::number(10001));
    const NamedRows named(rows);

    const auto fourDigits = bandTexts(layout.pageTexts(9999, named), ReportBandKind::PageFooter);
    QCOMPARE(joined(fourDigits), QStringLiteral("The Page 9999 Of 10001"));
    QCOMPARE(fourDigits[2].xMm, 41.8);
    QCOMPARE(fourDigits[3].xMm, 47.0);

    const auto fiveDigits = bandTexts(layout.pageTexts(10001, named), ReportBandKind::PageFooter);
    QCOMPARE(joined(fiveDigits), QStringLiteral("The Page 10001 Of 10001"));
    QCOMPARE(fiveDigits[1].xMm, 34.3);
    const double numberEnd = fiveDigits[1].xMm + digitsWidthMm(5, 8);
    QVERIFY(fiveDigits[2].xMm >= numberEnd + 0.99);
    QVERIFY(fiveDigits[2].xMm < numberEnd + 1.5);
    // "Of" and the page count move together.
    QCOMPARE(fiveDigits[3].xMm - fiveDigits[2].xMm, 37.0 - 31.8);
}

void TestReportLayout::snapshotKeepsTheRowsOfAnOpenReport()
{
    const std::unique_ptr<ReadingTable> table(filledTable(MeterModel::Km50_60, 38));
    const auto report = layOutTableReport(*table, QStringLiteral("3/4/25"), 2);
    table->appendRow(39, QStringList { "10:00:01", "OL" });
    QCOMPARE(report->rows().rowCount(), 38);
    QCOMPARE(report->pageCount(), 2);

    const auto before = report->pageTexts(2);
    table->clear();
    QCOMPARE(report->pageTexts(2), before);
    QCOMPARE(report->rows().fieldText(37, 0), QStringLiteral("38"));
    QCOMPARE(report->rows().fieldText(37, 3), QStringLiteral("\u2103"));

    // Replacing the rows of a table (a file opened) is a reset as well.
    const std::unique_ptr<ReadingTable> other(filledTable(MeterModel::Km50_60, 5));
    const auto second = layOutTableReport(*other, QStringLiteral("3/4/25"), 1);
    ReadingTable loaded(MeterModel::Km50_60);
    loaded.appendRow(1, QStringList { "11:00:00", "1.0" });
    QVERIFY(other->takeRowsFrom(loaded));
    QCOMPARE(second->rows().rowCount(), 5);
    QCOMPARE(second->rows().fieldText(4, 2), QStringLiteral("25.0"));
}

QTEST_GUILESS_MAIN(TestReportLayout)
#include "tst_reportlayout.moc"
