// SPDX-License-Identifier: MIT
// The printed report of a long recording, off screen:
//   report_preview_100k_ms      "Print Data" on a table of 100,000 KM90 rows (2,703
//                               pages) until the preview has painted its first page
//   report_preview_100k_heap_kb heap the open preview of those rows holds
//   report_pdf_1000_pages_ms    writing a 1,000-page report as PDF
//   report_pdf_100k_seconds     "Save" as PDF in the preview of 100,000 KM90 rows
//                               (2,703 pages), from the click until the file is written
//   report_pdf_longest_stall_ms the longest gap between two turns of the event loop
//                               of the window's thread while that PDF is written
//   report_hostile_file_seconds the worst report file of 10 MB made to hurt that
//                               loads: loading it, laying out, painting and
//                               exporting as text its first and last pages, and its
//                               CSV and HTML exports
//   report_hostile_file_cpu_seconds the same run's processor time (the wall time
//                               above waits for the processor on a busy machine)
//   report_hostile_file_mb      the resident memory that run adds at its peak
//   report_hostile_file_size_mb the size of that file
//   report_hostile_page_text_kb the text export of one of its pages (the whole
//                               text export writes one such page per page)
//   report_hostile_pages        its page count
#include "BenchFigures.h"
#include "dialogs/RecordingUserDialogs.h"
#include "recording/ReadingTable.h"
#include "reports/MajPrint.h"
#include "reports/ReportPainter.h"
#include "reports/ReportPreview.h"
#include "reports/ReportPrinters.h"

#include "reports/ReportFiles.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <ctime>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

std::unique_ptr<ReadingTable> km90Table(int rows)
{
    auto table = std::make_unique<ReadingTable>(MeterModel::Km90);
    for (int i = 1; i <= rows; ++i) {
        table->appendRow(i,
            QStringList { QStringLiteral("10:%1:%2")
                              .arg(i / 60 % 60, 2, 10, QLatin1Char('0'))
                              .arg(i % 60, 2, 10, QLatin1Char('0')),
                QString::number(1 + (i % 997) / 1000.0, 'f', 3), QStringLiteral("KW"),
                QString::number(220 + (i % 211) / 10.0, 'f', 1), QStringLiteral("V"),
                QString::number(5 + (i % 499) / 1000.0, 'f', 3), QStringLiteral("A") });
    }
    return table;
}

class NoPrinters : public ReportPrinters
{
public:
    QStringList printerNames() override { return {}; }
    QString defaultPrinterName() override { return {}; }
    bool setUpPrinter(QPrinter &, QWidget *) override { return false; }
    bool choosePrintOptions(QPrinter &, int, QWidget *) override { return false; }
};

void BM_ReportPreview100k(benchmark::State &state)
{
    const auto table = km90Table(100'000);
    RecordingUserDialogs dialogs;
    NoPrinters printers;
    double milliseconds = 0;
    double heapKb = 0;
    for (auto _ : state) {
        const std::size_t before = heapBytesInUse();
        const auto start = Clock::now();
        ReportPreview *preview = MajPrintClick(*table, dialogs, printers, nullptr, {});
        while (preview->pageView()->paintedPages() == 0)
            QApplication::processEvents();
        milliseconds += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        heapKb = double(heapBytesInUse() - before) / 1024.0;
        if (preview->pageCount() != 2703)
            state.SkipWithError("wrong page count");
        delete preview;
        QApplication::processEvents();
    }
    reportFigure(state, "report_preview_100k_ms", milliseconds / double(state.iterations()), "ms");
    reportFigure(state, "report_preview_100k_heap_kb", heapKb, "kB");
}
BENCHMARK(BM_ReportPreview100k)->Iterations(10)->Unit(benchmark::kMillisecond);

void BM_ReportPdf1000Pages(benchmark::State &state)
{
    const auto table = km90Table(37'000);
    const auto report = layOutTableReport(*table, QStringLiteral("3/4/25"), std::nullopt);
    QTemporaryDir dir;
    double milliseconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!writeReportPdf(*report, dir.filePath(QStringLiteral("report.pdf"))).ok)
            state.SkipWithError("PDF not written");
        milliseconds += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    }
    reportFigure(
        state, "report_pdf_1000_pages_ms", milliseconds / double(state.iterations()), "ms");
}
BENCHMARK(BM_ReportPdf1000Pages)->Iterations(2)->Unit(benchmark::kMillisecond);

// Notes the longest time between two turns of the event loop it runs in: a
// zero-interval timer fires once per turn.
class StallMeter
{
public:
    StallMeter()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const auto now = Clock::now();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_timer.start(0);
    }
    double longestMs() const
    {
        const auto tail = Clock::now() - m_last; // a stall that ends the job counts too
        return std::chrono::duration<double, std::milli>(std::max(m_longest, tail)).count();
    }

private:
    QTimer m_timer;
    Clock::time_point m_last = Clock::now();
    Clock::duration m_longest {};
};

void BM_ReportPdf100k(benchmark::State &state)
{
    const auto table = km90Table(100'000);
    RecordingUserDialogs dialogs;
    NoPrinters printers;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("report.pdf"));
    double seconds = 0;
    double stallMs = 0;
    for (auto _ : state) {
        ReportPreview *preview = MajPrintClick(*table, dialogs, printers, nullptr, {});
        QApplication::processEvents();
        QFile::remove(path);
        double longest = 0;
        const auto start = Clock::now();
        {
            const StallMeter meter;
            if (!preview->saveReportTo(path))
                state.SkipWithError("PDF not saved");
            longest = meter.longestMs();
        }
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        stallMs = std::max(stallMs, longest);
        if (QFileInfo(path).size() == 0)
            state.SkipWithError("no PDF written");
        delete preview;
        QApplication::processEvents();
    }
    reportFigure(state, "report_pdf_100k_seconds", seconds / double(state.iterations()), "s");
    reportFigure(state, "report_pdf_longest_stall_ms", stallMs, "ms");
}
BENCHMARK(BM_ReportPdf100k)->Iterations(2)->Unit(benchmark::kMillisecond);
// Rows of a KM90 report with every text field empty: the most rows a file of
// a given size can hold.
class BareRows : public ReportRows
{
public:
    explicit BareRows(int rows)
        : m_rows(rows)
    { }
    int rowCount() const override { return m_rows; }
    QString fieldText(int row, int column) const override
    {
        return column == 0 ? QString::number(row + 1) : QString();
    }

private:
    int m_rows;
};

// The costliest report a loaded file can be: the largest paper, every band
// full, the design's whole text allowance in long labels, page numbers (which
// move the texts after them) everywhere else, at distinct heights at the
// right edge (the longest text-export lines), as many rows per page as a page
// may place, and as many rows as 10 MB hold.
ReportDocument hostileReport()
{
    const PageGeometry page { 2000, 2000, 0 };
    auto fill = [](ReportBand &band, int labels) {
        for (int i = int(band.elements.size()); i < 64; ++i) {
            ReportElement e = reportLabel("", 1990 - i, i * 0.01, 8);
            if (labels-- > 0)
                e.text = QString(256, QLatin1Char('W'));
            else
                e.kind = ReportElement::Kind::PageNumber;
            band.elements.append(e);
        }
    };
    ReportDesign d;
    d.model = MeterModel::Km90;
    d.pageHeader.heightMm = d.columnHeader.heightMm = d.pageFooter.heightMm = 1;
    fill(d.pageHeader, 6);
    fill(d.columnHeader, 5);
    fill(d.pageFooter, 5);
    for (int c = 0; c < 8; ++c) {
        ReportElement f = reportLabel("", 10 + 20 * c, 0, 10);
        f.kind = ReportElement::Kind::Field;
        f.column = c;
        d.detail.elements.append(f);
    }
    fill(d.detail, 0);
    // 152 rows of 64 texts a page, with the 192 of the other bands: 9,920.
    d.detail.heightMm = (page.printableHeightMm() - 3) / 152.5;
    // A row of No and seven empty texts takes about 43 bytes of the file.
    return ReportDocument(d, std::make_shared<BareRows>(240'000), {}, page);
}

qint64 residentKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    }
    return 0;
}

void BM_ReportHostileFile(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("hostile.kmr"));
    if (!ReportFiles::saveReport(hostileReport(), file).ok) {
        state.SkipWithError("report not written");
        return;
    }
    if (QFileInfo(file).size() > 10 * 1024 * 1024) {
        state.SkipWithError("the hostile file is over 10 MB");
        return;
    }
    const QString sink = QStringLiteral("/dev/null");
    double seconds = 0;
    double cpuSeconds = 0;
    double peakMb = 0;
    qsizetype pageTextBytes = 0;
    int pages = 0;
    for (auto _ : state) {
        // The peak resident size starts again from here (Linux: clear_refs 5).
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
        clear.close();
        const qint64 before = residentKb("VmRSS:");
        const auto start = Clock::now();
        const std::clock_t cpuStart = std::clock();
        QString error;
        const auto report = ReportFiles::loadReport(file, &error);
        if (!report) {
            state.SkipWithError(qPrintable(error));
            return;
        }
        // A view of the whole page, as the preview shows it fitted.
        QImage image(800, 800, QImage::Format_ARGB32_Premultiplied);
        image.setDotsPerMeterX(400);
        image.setDotsPerMeterY(400);
        for (int page : { 1, report->pageCount() }) {
            benchmark::DoNotOptimize(report->pageTexts(page).size());
            pageTextBytes = ReportFiles::textPage(*report, page).size();
            image.fill(Qt::white);
            QPainter painter(&image);
            paintReportPage(painter, *report, page);
        }
        pages = report->pageCount();
        if (!ReportFiles::exportCsv(*report, sink).ok || !ReportFiles::exportHtml(*report, sink).ok)
            state.SkipWithError("export failed");
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        cpuSeconds += double(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        peakMb = std::max(peakMb, (residentKb("VmHWM:") - before) / 1024.0);
    }
    reportFigure(state, "report_hostile_file_seconds", seconds / double(state.iterations()), "s");
    reportFigure(
        state, "report_hostile_file_cpu_seconds", cpuSeconds / double(state.iterations()), "s");
    reportFigure(state, "report_hostile_file_mb", peakMb, "MB");
    reportFigure(state, "report_hostile_file_size_mb", QFileInfo(file).size() / 1048576.0, "MB");
    reportFigure(state, "report_hostile_page_text_kb", pageTextBytes / 1024.0, "kB");
    reportFigure(state, "report_hostile_pages", pages, "pages");
}
BENCHMARK(BM_ReportHostileFile)->Iterations(3)->Unit(benchmark::kMillisecond);

} // namespace
