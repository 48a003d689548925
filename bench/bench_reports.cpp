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
#include "BenchFigures.h"
#include "dialogs/RecordingUserDialogs.h"
#include "recording/ReadingTable.h"
#include "reports/MajPrint.h"
#include "reports/ReportPainter.h"
#include "reports/ReportPreview.h"
#include "reports/ReportPrinters.h"

#include <QApplication>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
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

} // namespace
