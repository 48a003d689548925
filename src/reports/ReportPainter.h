// SPDX-License-Identifier: MIT
#pragma once

#include "reports/ReportFiles.h"

#include <QColor>
#include <QFont>
#include <QString>

#include <functional>

class QPainter;
class QPrinter;

// Drawing the report's pages with QPainter, for the preview, the printer and PDF.

// The report font: Arial where it is installed, else its metric twin Liberation Sans.
QString reportFontFamily();
QFont reportFont(double pointSize, bool bold = false, bool underline = false);

// The colour an element prints in. The tooltip-text colour of the desktop is
// used as long as it shows on white paper; a light one (dark desktop themes)
// prints black instead.
QColor reportColour(ReportColour colour);

// Paints one page (1-based) with the paper's top-left corner at the painter's
// origin and one millimetre as long as on the painter's device (its logical
// resolution), under whatever transform the caller has set (zoom, fit to
// another paper). Only the texts are drawn; the caller lays the paper down.
void paintReportPage(QPainter &painter, const ReportDocument &report, int page);

// Called after each page of a long job with the number of pages done, so the
// caller can keep its event loop turning (meter frames, timers).
using PageProgress = std::function<void(int pagesDone)>;

// Writes every page to a PDF file of the report's paper size, through a
// temporary file that replaces the target only when complete.
ReportFiles::Result writeReportPdf(
    const ReportDocument &report, const QString &path, const PageProgress &progress = {});

// The pages a printer's settings ask for: its page range, the current page, or
// every page; clipped to the report. first > last when none of them exists.
struct PageSpan
{
    int first = 1;
    int last = 0;
};
PageSpan pagesToPrint(const QPrinter &printer, const ReportDocument &report, int currentPage);

// Prints pages first to last, in the printer's page order, as many copies as
// asked for when the printer cannot make them itself. A report page larger than
// the printer's paper is scaled down to fit. Returns false with error set when
// the printer could not take the report or the span holds no page.
bool printReportPages(QPrinter &printer, const ReportDocument &report, PageSpan pages,
    QString *error = nullptr, const PageProgress &progress = {});
