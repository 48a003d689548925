// SPDX-License-Identifier: MIT
#include "models/ModelDescription.h"
#include "recording/ReadingTable.h"
#include "reports/ReportPainter.h"
#include "reports/tests/PdfTools.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

Q_DECLARE_METATYPE(MeterModel)

namespace {

std::unique_ptr<ReadingTable> tableOf(MeterModel model, int rows)
{
    auto table = std::make_unique<ReadingTable>(model);
    for (int i = 1; i <= rows; ++i) {
        const QString value = i == 2 ? QStringLiteral("OL") : QString::number(i * 1.5, 'f', 1);
        if (model == MeterModel::Km90)
            table->appendRow(i, QStringList { "10:00:00", value, "KW", "230.1", "V", "5.3", "A" });
        else
            table->appendRow(i, QStringList { "10:00:00", value, QStringLiteral("\u2103") });
    }
    return table;
}

std::shared_ptr<ReportDocument> reportOf(const ReadingTable &table)
{
    return layOutTableReport(table, QStringLiteral("3/4/25"), allPageCount(table.rowCount()));
}

// Ink (pixels that are not white) inside an area given in millimetres.
struct Ink
{
    int pixels = 0;
    int blue = 0;
    double leftMm = 1e9;
    double rightMm = -1e9;
};

constexpr double PixelsPerMm = 4;

Ink inkIn(const QImage &image, double x0, double y0, double x1, double y1)
{
    Ink ink;
    for (int y = int(y0 * PixelsPerMm); y < int(y1 * PixelsPerMm); ++y) {
        for (int x = int(x0 * PixelsPerMm); x < int(x1 * PixelsPerMm); ++x) {
            const QRgb p = image.pixel(x, y);
            if (qGray(p) > 200)
                continue;
            ++ink.pixels;
            ink.blue += qBlue(p) - qRed(p) > 60 ? 1 : 0;
            ink.leftMm = std::min(ink.leftMm, x / PixelsPerMm);
            ink.rightMm = std::max(ink.rightMm, (x + 1) / PixelsPerMm);
        }
    }
    return ink;
}

QImage pageImage(const ReportDocument &report, int page)
{
    QImage image(int(210 * PixelsPerMm), int(297 * PixelsPerMm), QImage::Format_RGB32);
    image.setDotsPerMeterX(int(PixelsPerMm * 1000));
    image.setDotsPerMeterY(int(PixelsPerMm * 1000));
    image.fill(Qt::white);
    QPainter painter(&image);
    paintReportPage(painter, report, page);
    return image;
}

} // namespace

class TestReportPdf : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void pdfHoldsEveryPageWithItsText_data();
    void pdfHoldsEveryPageWithItsText();
    void printerGetsTheChosenPagesInOrder_data();
    void printerGetsTheChosenPagesInOrder();
    void pagesAreInkedWhereLaidOut();
    void tooltipColourPrintsOnlyWhereItShows_data();
    void tooltipColourPrintsOnlyWhereItShows();

private:
    QTemporaryDir m_dir;
};

void TestReportPdf::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QGuiApplication::setFont(QFont(reportFontFamily(), 9));
}

void TestReportPdf::pdfHoldsEveryPageWithItsText_data()
{
    QTest::addColumn<MeterModel>("model");
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("pages");
    QTest::addColumn<QStringList>("firstPageText");
    QTest::addColumn<QString>("lastPageFooter");
    const QStringList km90 { "KM90 Data Report", "Print Date:", "3/4/25",
        "No Time Value Unit v_value v_unit i_value i_unit" };
    const QStringList km50 { "Test Data", "Print Date:", "No Time Value Unit" };
    QTest::newRow("km90 empty") << MeterModel::Km90 << 0 << 1 << km90 << "1";
    QTest::newRow("km90 75 rows") << MeterModel::Km90 << 75 << 3
                                  << (km90 + QStringList { "2 10:00:00 OL KW 230.1 V 5.3 A" })
                                  << "3";
    QTest::newRow("km50 empty") << MeterModel::Km50_60 << 0 << 1 << km50 << "The Page 1 Of 1";
    QTest::newRow("km50 38 rows") << MeterModel::Km50_60 << 38 << 2
                                  << (km50 + QStringList { "2 10:00:00 OL \u2103" })
                                  << "The Page 2 Of 2";
}

void TestReportPdf::pdfHoldsEveryPageWithItsText()
{
    REQUIRE_POPPLER();
    QFETCH(MeterModel, model);
    QFETCH(int, rows);
    QFETCH(int, pages);
    QFETCH(QStringList, firstPageText);
    QFETCH(QString, lastPageFooter);
    const auto table = tableOf(model, rows);
    const auto report = reportOf(*table);
    const QString file
        = m_dir.filePath(QStringLiteral("%1-%2.pdf").arg(modelDescription(model).name).arg(rows));
    const auto result = writeReportPdf(*report, file);
    QVERIFY2(result.ok, qPrintable(result.error));

    QCOMPARE(PdfTools::pageCount(file), pages);
    const QStringList lines = PdfTools::pageText(file, 1).split(QLatin1Char('\n'));
    for (const QString &expected : firstPageText) {
        const bool found = std::any_of(lines.begin(), lines.end(),
            [&](const QString &line) { return line.simplified().contains(expected); });
        QVERIFY2(found, qPrintable(expected));
    }
    const QString last = PdfTools::pageText(file, pages).trimmed();
    QVERIFY2(last.section(QLatin1Char('\n'), -1).simplified() == lastPageFooter, qPrintable(last));
}

void TestReportPdf::printerGetsTheChosenPagesInOrder_data()
{
    QTest::addColumn<int>("range");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    QTest::addColumn<bool>("lastFirst");
    QTest::addColumn<QList<int>>("printed");
    QTest::newRow("all pages") << int(QPrinter::AllPages) << 0 << 0 << false
                               << QList<int> { 1, 2, 3 };
    QTest::newRow("pages 2 to 3") << int(QPrinter::PageRange) << 2 << 3 << false
                                  << QList<int> { 2, 3 };
    QTest::newRow("range past the end")
        << int(QPrinter::PageRange) << 3 << 9 << false << QList<int> { 3 };
    QTest::newRow("current page") << int(QPrinter::CurrentPage) << 0 << 0 << false
                                  << QList<int> { 2 };
    QTest::newRow("last page first")
        << int(QPrinter::AllPages) << 0 << 0 << true << QList<int> { 3, 2, 1 };
    QTest::newRow("no such page") << int(QPrinter::PageRange) << 4 << 5 << false << QList<int> {};
}

void TestReportPdf::printerGetsTheChosenPagesInOrder()
{
    REQUIRE_POPPLER();
    QFETCH(int, range);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(bool, lastFirst);
    QFETCH(QList<int>, printed);
    const auto table = tableOf(MeterModel::Km50_60, 75);
    const auto report = reportOf(*table);

    QPrinter printer(QPrinter::HighResolution);
    const QString file = m_dir.filePath(QStringLiteral("printed.pdf"));
    QFile::remove(file);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setPrintRange(QPrinter::PrintRange(range));
    printer.setFromTo(from, to);
    printer.setPageOrder(lastFirst ? QPrinter::LastPageFirst : QPrinter::FirstPageFirst);

    QString error;
    const bool ok = printReportPages(printer, *report, pagesToPrint(printer, *report, 2), &error);
    QCOMPARE(ok, !printed.isEmpty());
    if (printed.isEmpty()) {
        QVERIFY(error.contains(QStringLiteral("pages 1 to 3")));
        QVERIFY(!QFile::exists(file));
        return;
    }
    QCOMPARE(PdfTools::pageCount(file), printed.size());
    for (int i = 0; i < printed.size(); ++i) {
        const QString footer = QStringLiteral("The Page %1 Of 3").arg(printed[i]);
        QVERIFY2(PdfTools::pageText(file, i + 1).simplified().endsWith(footer), qPrintable(footer));
    }
}

void TestReportPdf::pagesAreInkedWhereLaidOut()
{
    const auto table = tableOf(MeterModel::Km50_60, 3);
    const auto report = reportOf(*table);
    const QImage image = pageImage(*report, 1);

    // The title is centred across the 190 mm between the margins.
    const Ink title = inkIn(image, 10, 12, 158, 19); // left of the print date
    QVERIFY(title.pixels > 0);
    QVERIFY2(qAbs((title.leftMm + title.rightMm) / 2 - 105) < 1.0,
        qPrintable(QString::number((title.leftMm + title.rightMm) / 2)));
    // Headings and fields start at their places and stay on their lines.
    const Ink heading = inkIn(image, 18, 24.8, 30, 29);
    QVERIFY(heading.pixels > 0);
    QVERIFY(qAbs(heading.leftMm - 18.5) < 0.8);
    const Ink unitField = inkIn(image, 100, 33.3 + 6.6, 140, 33.3 + 2 * 6.6);
    QVERIFY(qAbs(unitField.leftMm - 109.5) < 0.8);
    QVERIFY(inkIn(image, 10, 33.3 + 3 * 6.6, 200, 270).pixels == 0); // three rows only
    // Footer: the page number and the page count in blue, the words not.
    const Ink number = inkIn(image, 34, 280.6, 40, 285);
    QVERIFY(number.pixels > 0 && number.blue * 2 > number.pixels);
    QVERIFY(qAbs(number.leftMm - 34.3) < 0.8);
    const Ink words = inkIn(image, 18, 280.6, 34, 285);
    QVERIFY(words.pixels > 0 && words.blue == 0);
    const Ink count = inkIn(image, 46, 280.6, 60, 285);
    QVERIFY(count.pixels > 0 && count.blue * 2 > count.pixels);
    QVERIFY(inkIn(image, 0, 0, 210, 10).pixels == 0); // nothing in the top margin
}

void TestReportPdf::tooltipColourPrintsOnlyWhereItShows_data()
{
    QTest::addColumn<QColor>("tooltip");
    QTest::addColumn<QColor>("printed");
    QTest::newRow("black") << QColor(Qt::black) << QColor(Qt::black);
    QTest::newRow("dark red") << QColor(128, 0, 0) << QColor(128, 0, 0);
    QTest::newRow("white of a dark theme") << QColor(Qt::white) << QColor(Qt::black);
    QTest::newRow("light grey") << QColor(220, 220, 220) << QColor(Qt::black);
}

void TestReportPdf::tooltipColourPrintsOnlyWhereItShows()
{
    QFETCH(QColor, tooltip);
    QFETCH(QColor, printed);
    const QPalette saved = QGuiApplication::palette();
    QPalette palette = saved;
    palette.setColor(QPalette::ToolTipText, tooltip);
    QGuiApplication::setPalette(palette);
    const QColor colour = reportColour(ReportColour::ToolTipText);
    QGuiApplication::setPalette(saved);
    QCOMPARE(colour, printed);
}

QTEST_MAIN(TestReportPdf)
#include "tst_reportpdf.moc"
