// SPDX-License-Identifier: MIT
#pragma once

#include "reports/ReportFiles.h"

#include <QColor>
#include <QFont>
#include <QList>
#include <QPointF>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

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

// The same for many pages in a row: the fonts, their metrics on the device and
// the colours are looked up once, not once per text. The colours are taken
// from the desktop when it is made, so a painter made on the window's thread
// may then paint on a job's thread (into a PDF writer or a printer).
//
// With glyphRuns, texts of printable ASCII are drawn as runs of the font's
// glyphs placed by their advances instead of being laid out by drawText each
// time (the same glyphs at the same places, since kerning is off); meant for
// PDF and printers, where a long report's pages are painted by the thousand.
class ReportPagePainter
{
public:
    explicit ReportPagePainter(bool glyphRuns = false);
    ~ReportPagePainter();
    ReportPagePainter(const ReportPagePainter &) = delete;
    ReportPagePainter &operator=(const ReportPagePainter &) = delete;

    void paint(QPainter &painter, const ReportDocument &report, int page);

private:
    struct Style;
    Style &styleFor(const PlacedText &text, const QPaintDevice *device);
    bool drawAsGlyphRun(QPainter &painter, const Style &style, const PlacedText &text, double x,
        double dpmmX, double baseline);

    bool m_glyphRuns;
    std::vector<std::unique_ptr<Style>> m_styles;
    QColor m_colours[3];
    QList<quint32> m_glyphIndexes;
    QList<QPointF> m_positions;
};

// Called after each page of a long job with the number of pages done; returns
// false to stop the job there (the user cancelled it).
using PageProgress = std::function<bool(int pagesDone)>;

// Writes every page to a PDF file of the report's paper size, through a
// temporary file that replaces the target only when complete. Stopped by
// progress, it leaves no file behind and an existing one as it was. May run on
// a thread other than the window's when the report's rows may be read there
// (see ReportDocument::copyForJob).
// pagePainter paints the pages; when null, one is made here, which then must
// be on the window's thread (it reads the desktop's colours).
ReportFiles::Result writeReportPdf(const ReportDocument &report, const QString &path,
    const PageProgress &progress = {}, ReportPagePainter *pagePainter = nullptr);

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
// the printer could not take the report or the span holds no page; stopped by
// progress, it aborts the print job and returns false with error empty.
bool printReportPages(QPrinter &printer, const ReportDocument &report, PageSpan pages,
    QString *error = nullptr, const PageProgress &progress = {},
    ReportPagePainter *pagePainter = nullptr);
