// SPDX-License-Identifier: MIT
#include "reports/ReportPainter.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QGuiApplication>
#include <QPaintDevice>
#include <QPainter>
#include <QPalette>
#include <QPdfWriter>
#include <QPrinter>
#include <QRawFont>
#include <QTemporaryFile>

#include <algorithm>
#include <array>
#include <optional>

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

// A text style with its font, and the metrics of that font on the device last
// painted on.
struct ReportPagePainter::Style
{
    double pointSize = 0;
    bool bold = false;
    bool underline = false;
    QFont font;
    const QPaintDevice *device = nullptr;
    std::optional<QFontMetricsF> metrics;
    // The font's glyph and advance of each printable ASCII character on the
    // device (glyph 0: the font has none), for texts drawn as glyph runs.
    QRawFont raw;
    std::array<quint32, 128> glyphs {};
    std::array<qreal, 128> advances {};
};

ReportPagePainter::ReportPagePainter(bool glyphRuns)
    : m_glyphRuns(glyphRuns)
    , m_colours { reportColour(ReportColour::Black), reportColour(ReportColour::Blue),
        reportColour(ReportColour::ToolTipText) }
{ }

ReportPagePainter::~ReportPagePainter() = default;

ReportPagePainter::Style &ReportPagePainter::styleFor(
    const PlacedText &t, const QPaintDevice *device)
{
    Style *style = nullptr;
    for (const auto &s : m_styles) {
        if (s->pointSize == t.pointSize && s->bold == t.bold && s->underline == t.underline) {
            style = s.get();
            break;
        }
    }
    if (!style) {
        auto made = std::make_unique<Style>();
        made->pointSize = t.pointSize;
        made->bold = t.bold;
        made->underline = t.underline;
        made->font = reportFont(t.pointSize, t.bold, t.underline);
        style = m_styles.emplace_back(std::move(made)).get();
    }
    if (style->device != device) {
        style->device = device;
        style->metrics.emplace(style->font, device);
        style->glyphs.fill(0);
        if (m_glyphRuns) {
            style->raw = QRawFont::fromFont(QFont(style->font, device));
            QString ascii;
            for (char16_t c = 32; c < 127; ++c)
                ascii.append(QChar(c));
            const QList<quint32> indexes = style->raw.glyphIndexesForString(ascii);
            const QList<QPointF> advances = style->raw.advancesForGlyphIndexes(indexes);
            if (style->raw.isValid() && indexes.size() == ascii.size()) {
                for (qsizetype i = 0; i < indexes.size(); ++i) {
                    style->glyphs[size_t(32 + i)] = indexes[i];
                    style->advances[size_t(32 + i)] = advances[i].x();
                }
            }
        }
    }
    return *style;
}

bool ReportPagePainter::drawAsGlyphRun(QPainter &painter, const Style &style, const PlacedText &t,
    double x, double dpmmX, double baseline)
{
    // Report texts are numbers, times, units and headings: printable ASCII
    // that needs no shaping (kerning is off), so each character is its glyph
    // and the glyphs follow one another by their advances. Anything else is
    // left to drawText.
    const qsizetype n = t.text.size();
    m_glyphIndexes.resize(n);
    m_positions.resize(n);
    double advance = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = t.text[i].unicode();
        if (c < 32 || c > 126 || style.glyphs[c] == 0)
            return false;
        m_glyphIndexes[i] = style.glyphs[c];
        m_positions[i] = QPointF(advance, 0);
        advance += style.advances[c];
    }
    if (t.centreWidthMm > 0)
        x += (t.centreWidthMm * dpmmX - advance) / 2;
    QGlyphRun run;
    run.setRawFont(style.raw);
    run.setGlyphIndexes(m_glyphIndexes);
    run.setPositions(m_positions);
    run.setUnderline(style.underline);
    painter.drawGlyphRun(QPointF(x, baseline), run);
    return true;
}

void ReportPagePainter::paint(QPainter &painter, const ReportDocument &report, int page)
{
    const QPaintDevice *device = painter.device();
    const double dpmmX = device->logicalDpiX() / MmPerInch;
    const double dpmmY = device->logicalDpiY() / MmPerInch;
    painter.save();
    const Style *current = nullptr;
    int currentColour = -1;
    for (const PlacedText &t : report.pageTexts(page)) {
        if (t.text.isEmpty())
            continue;
        const Style &style = styleFor(t, device);
        if (&style != current) {
            painter.setFont(style.font);
            current = &style;
        }
        const int colour = int(t.colour);
        if (colour != currentColour) {
            painter.setPen(m_colours[colour]);
            currentColour = colour;
        }
        double x = t.xMm * dpmmX;
        const double baseline = t.yMm * dpmmY + style.metrics->ascent();
        if (m_glyphRuns && drawAsGlyphRun(painter, style, t, x, dpmmX, baseline))
            continue;
        if (t.centreWidthMm > 0)
            x += (t.centreWidthMm * dpmmX - style.metrics->horizontalAdvance(t.text)) / 2;
        painter.drawText(QPointF(x, baseline), t.text);
    }
    painter.restore();
}

void paintReportPage(QPainter &painter, const ReportDocument &report, int page)
{
    ReportPagePainter().paint(painter, report, page);
}

ReportFiles::Result writeReportPdf(const ReportDocument &report, const QString &path,
    const PageProgress &progress, ReportPagePainter *pagePainter)
{
    std::optional<ReportPagePainter> own;
    if (!pagePainter)
        pagePainter = &own.emplace(true);
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
            pagePainter->paint(painter, report, page);
            if (progress && !progress(page)) {
                error = QStringLiteral("Cancelled");
                return false;
            }
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

namespace {

bool printOnto(QPrinter &printer, const ReportDocument &report, PageSpan pages, QString *error,
    const PageProgress &progress, ReportPagePainter *pagePainter)
{
    std::optional<ReportPagePainter> own;
    if (!pagePainter)
        pagePainter = &own.emplace(true);
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
            pagePainter->paint(painter, report, reverse ? last - (i - first) : i);
            if (progress && !progress(++done)) {
                // Nothing of the job reaches the printer (or its output file).
                printer.abort();
                painter.end();
                if (error)
                    error->clear();
                return false;
            }
        }
    }
    if (!painter.end())
        return fail(QStringLiteral("The printer could not finish the report."));
    return true;
}

} // namespace

bool printReportPages(QPrinter &printer, const ReportDocument &report, PageSpan pages,
    QString *error, const PageProgress &progress, ReportPagePainter *pagePainter)
{
    const QString target = printer.outputFileName();
    if (target.isEmpty())
        return printOnto(printer, report, pages, error, progress, pagePainter);

    // Printing to a file: the printer writes straight into the file it is
    // given, so a print that fails or is cancelled half-way would leave half a
    // file, or half of one over the old file. It prints into a temporary file,
    // which then takes the name the way every save does.
    QTemporaryFile temporary(QDir::tempPath() + QStringLiteral("/km-print-XXXXXX"));
    if (!temporary.open()) {
        if (error)
            *error = QStringLiteral("The report could not be printed to \"%1\": %2")
                         .arg(QDir::toNativeSeparators(target), temporary.errorString());
        return false;
    }
    printer.setOutputFileName(temporary.fileName());
    const bool printed = printOnto(printer, report, pages, error, progress, pagePainter);
    printer.setOutputFileName(target);
    if (!printed)
        return false;
    const ReportFiles::Result saved
        = ReportFiles::writeAtomically(target, [&temporary](QIODevice &device, QString &why) {
              QFile printedFile(temporary.fileName());
              if (!printedFile.open(QIODevice::ReadOnly)) {
                  why = printedFile.errorString();
                  return false;
              }
              QByteArray piece;
              while (!(piece = printedFile.read(qint64(1) << 20)).isEmpty()) {
                  if (device.write(piece) != piece.size())
                      return false;
              }
              return true;
          });
    if (!saved.ok && error)
        *error = saved.error;
    return saved.ok;
}
