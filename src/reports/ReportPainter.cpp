// SPDX-License-Identifier: MIT
#include "reports/ReportPainter.h"

#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QPalette>
#include <QPdfWriter>
#include <QPrinter>

#include <algorithm>

namespace {

constexpr double MmPerInch = 25.4;

QPageLayout pageLayoutOf(const PageGeometry &page)
{
    return QPageLayout(QPageSize(QSizeF(page.widthMm, page.heightMm), QPageSize::Millimeter),
        QPageLayout::Portrait, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
}

} // namespace

QString reportFontFamily()
{
    static const QString family = QFontDatabase::families().contains(QStringLiteral("Arial"))
        ? QStringLiteral("Arial")
        : QStringLiteral("Liberation Sans");
    return family;
}

QFont reportFont(double pointSize, bool bold, bool underline)
{
    QFont font(reportFontFamily());
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    font.setUnderline(underline);
    font.setKerning(false);
    return font;
}

QColor reportColour(ReportColour colour)
{
    switch (colour) {
    case ReportColour::Blue:
        return QColor(0, 0, 255);
    case ReportColour::ToolTipText: {
        const QColor tip = QGuiApplication::palette().color(QPalette::ToolTipText);
        return tip.lightnessF() > 0.6 ? QColor(Qt::black) : tip;
    }
    case ReportColour::Black:
        break;
    }
    return QColor(Qt::black);
}

void paintReportPage(QPainter &painter, const ReportDocument &report, int page)
{
    const QPaintDevice *device = painter.device();
    const double dpmmX = device->logicalDpiX() / MmPerInch;
    const double dpmmY = device->logicalDpiY() / MmPerInch;
    painter.save();
    for (const PlacedText &t : report.pageTexts(page)) {
        if (t.text.isEmpty())
            continue;
        const QFont font = reportFont(t.pointSize, t.bold, t.underline);
        painter.setFont(font);
        painter.setPen(reportColour(t.colour));
        const QFontMetricsF metrics(font, device);
        double x = t.xMm * dpmmX;
        if (t.centreWidthMm > 0)
            x += (t.centreWidthMm * dpmmX - metrics.horizontalAdvance(t.text)) / 2;
        painter.drawText(QPointF(x, t.yMm * dpmmY + metrics.ascent()), t.text);
    }
    painter.restore();
}

ReportFiles::Result writeReportPdf(
    const ReportDocument &report, const QString &path, const PageProgress &progress)
{
    return ReportFiles::writeAtomically(path, [&](QIODevice &device, QString &error) {
        QPdfWriter writer(&device);
        writer.setPageLayout(pageLayoutOf(report.layout().page()));
        writer.setTitle(report.title());
        writer.setCreator(QCoreApplication::applicationName());
        QPainter painter;
        if (!painter.begin(&writer)) {
            error = QStringLiteral("the PDF document could not be started");
            return false;
        }
        for (int page = 1; page <= report.pageCount(); ++page) {
            if (page > 1 && !writer.newPage()) {
                error = QStringLiteral("the PDF document could not take page %1").arg(page);
                return false;
            }
            paintReportPage(painter, report, page);
            if (progress)
                progress(page);
        }
        if (!painter.end()) {
            error = QStringLiteral("the PDF document could not be finished");
            return false;
        }
        return true;
    });
}

PageSpan pagesToPrint(const QPrinter &printer, const ReportDocument &report, int currentPage)
{
    PageSpan span { 1, report.pageCount() };
    switch (printer.printRange()) {
    case QPrinter::PageRange:
        if (printer.fromPage() > 0) {
            span.first = printer.fromPage();
            span.last = printer.toPage() > 0 ? std::min(printer.toPage(), span.last) : span.last;
        }
        break;
    case QPrinter::CurrentPage:
        span = { currentPage, std::min(currentPage, report.pageCount()) };
        break;
    case QPrinter::AllPages:
    case QPrinter::Selection:
        break;
    }
    return span;
}

bool printReportPages(QPrinter &printer, const ReportDocument &report, PageSpan pages,
    QString *error, const PageProgress &progress)
{
    auto fail = [error](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    const int first = std::max(1, pages.first);
    const int last = std::min(pages.last, report.pageCount());
    if (first > last) {
        return fail(QStringLiteral("The report has pages 1 to %1 only; nothing was printed.")
                        .arg(report.pageCount()));
    }

    printer.setFullPage(true);
    QPainter painter;
    if (!painter.begin(&printer))
        return fail(
            QStringLiteral("The printer \"%1\" could not be started.").arg(printer.printerName()));

    // Fit the report's paper into the printer's when the printer's is smaller.
    const PageGeometry &paper = report.layout().page();
    const QRectF target = printer.paperRect(QPrinter::DevicePixel);
    const double pageW = paper.widthMm * printer.logicalDpiX() / MmPerInch;
    const double pageH = paper.heightMm * printer.logicalDpiY() / MmPerInch;
    const double scale = std::min({ 1.0, target.width() / pageW, target.height() / pageH });
    painter.scale(scale, scale);

    const int copies = printer.supportsMultipleCopies() ? 1 : std::max(1, printer.copyCount());
    const bool reverse = printer.pageOrder() == QPrinter::LastPageFirst;
    bool firstSheet = true;
    int done = 0;
    for (int copy = 0; copy < copies; ++copy) {
        for (int i = first; i <= last; ++i) {
            if (!firstSheet && !printer.newPage()) {
                painter.end();
                return fail(QStringLiteral("The printer stopped before page %1.").arg(i));
            }
            firstSheet = false;
            paintReportPage(painter, report, reverse ? last - (i - first) : i);
            if (progress)
                progress(++done);
        }
    }
    if (!painter.end())
        return fail(QStringLiteral("The printer could not finish the report."));
    return true;
}
