// SPDX-License-Identifier: MIT
// The programs' main window:
//   startup_first_paint_ms  from starting a process to its window's first paint
//                           (km_first_paint, offscreen), process exit included
//   frame_to_screen_us      main-thread cost of one meter frame, from the cable
//                           reports' hand-over to the end of the repaint of the
//                           parts of the window the frame changed, with grid
//                           and chart attached and 100,000 rows already recorded
//   frame_to_screen_statistics_open_us  the same with the statistics window
//                           (Tools -> Statistics) open and following the table
#include "BenchFigures.h"
#include "app/GaugeWidget.h"
#include "app/KmApplication.h"
#include "app/ToolsMenu.h"
#include "app/Unit1.h"
#include "chart/ChartPanel.h"
#include "chart/Chtshow.h"
#include "dialogs/RecordingUserDialogs.h"
#include "hid/FakeHidBackend.h"
#include "hid/HidControllerClass.h"
#include "models/ModelDescription.h"
#include "models/common/lcd/LcdPanel.h"
#include "recording/ReadingTable.h"
#include "recording/Recorder.h"
#include "sim/CableReports.h"
#include "sim/MeterFrames.h"

#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;

QString firstPaintProgram()
{
    return QDir(QCoreApplication::applicationDirPath())
        .filePath(QStringLiteral("../src/app/km_first_paint"));
}

void BM_StartupFirstPaint(benchmark::State &state)
{
    const QString program = firstPaintProgram();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    double totalMs = 0;
    qint64 runs = 0;
    for (auto _ : state) {
        QProcess process;
        process.setProcessEnvironment(env);
        const auto start = Clock::now();
        process.start(program, { QStringLiteral("km90") });
        if (!process.waitForFinished(30000) || process.exitCode() != 0) {
            state.SkipWithError("km_first_paint did not run");
            return;
        }
        totalMs += std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        ++runs;
    }
    reportFigure(state, "startup_first_paint_ms", runs ? totalMs / double(runs) : 0, "ms");
}
BENCHMARK(BM_StartupFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(10);

// Counts the paint events a widget receives.
struct PaintCounter : QObject
{
    explicit PaintCounter(QWidget *widget)
    {
        if (widget)
            widget->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++count;
        return false;
    }
    int count = 0;
};

QList<QByteArray> frameReports(int i)
{
    Km90Frame f;
    f.mainDigits = QStringLiteral("%1").arg(100 + i % 800, 4, 10, QLatin1Char('0'));
    return CableReports::frameReports(f.bytes());
}

void feed(TFrmTest &w, const QList<QByteArray> &reports)
{
    for (const QByteArray &r : reports)
        w.assembler().Read50(quint8(r.at(0)), QByteArrayView(r).sliced(1));
}

void BM_FrameToScreen(benchmark::State &state)
{
    KmApplication::useProgramStyle();
    auto backend = std::make_shared<FakeHidBackend>();
    RecordingUserDialogs dialogs;
    // The window as the programs run it: with its journal, flushed to a real disk.
    QTemporaryDir journalFolder;
    TFrmTest::Options options;
    options.keepJournal = true;
    options.journalFolder = journalFolder.path();
    TFrmTest w(MeterModel::Km90, backend, {}, dialogs, options);
    w.findChild<QAction *>(QStringLiteral("setlimit"))->trigger();
    w.show();
    QApplication::processEvents();
    const int rows = int(state.range(0));
    // Rows beyond the first 100,000 go straight into the table with the grid
    // held still (as while a file opens), so the set-up stays quick.
    if (rows > 100'000) {
        w.DBGrid1().setUpdatesEnabled(false);
        const QStringList texts = { QStringLiteral("12:00:00"), QStringLiteral("123.4"),
            QStringLiteral("KW"), QStringLiteral("230.1"), QStringLiteral("v"),
            QStringLiteral("5.365"), QStringLiteral("A") };
        for (int i = 0; i < rows - 100'000; ++i)
            w.cds1().appendRow(i + 1, texts);
        w.DBGrid1().setUpdatesEnabled(true);
    }
    for (int i = 0; i < 100'000; ++i)
        feed(w, frameReports(i));
    const bool statisticsOpen = state.range(1) != 0;
    if (statisticsOpen)
        w.tools().showStatistics();
    QApplication::processEvents();
    if (w.cds1().rowCount() != rows) {
        state.SkipWithError("the window did not record every row");
        return;
    }
    QList<QList<QByteArray>> frames;
    for (int i = 0; i < 64; ++i)
        frames.append(frameReports(i * 37));
    // Counts the paints of the widgets every frame changes, so the figure is
    // known to include them.
    PaintCounter gridPaints(w.findChild<QTableView *>(QStringLiteral("DBGrid1"))->viewport());
    PaintCounter gaugePaints(&w.gauge());
    PaintCounter chartPaints(w.chartPanel().chart()->viewport());
    PaintCounter lcdPaints(w.lcdPanel());
    double totalUs = 0;
    qint64 n = 0;
    for (auto _ : state) {
        const int grid = gridPaints.count, gauge = gaugePaints.count, chart = chartPaints.count,
                  lcd = lcdPaints.count;
        const auto start = Clock::now();
        feed(w, frames.at(int(n % frames.size())));
        // The chart coalesces its redraws on a short timer; take it now, then
        // let the window paint what the frame made dirty, as the event loop
        // would right after the hand-over.
        w.chartPanel().chart()->refreshNow();
        QApplication::processEvents();
        totalUs += std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        ++n;
        if (gridPaints.count == grid || gaugePaints.count == gauge || chartPaints.count == chart
            || lcdPaints.count == lcd) {
            qWarning("paints in frame %lld: grid %d, gauge %d, chart %d, LCD %d", n,
                gridPaints.count - grid, gaugePaints.count - gauge, chartPaints.count - chart,
                lcdPaints.count - lcd);
            state.SkipWithError(
                "a frame did not repaint the grid, the gauge, the chart and the LCD");
            return;
        }
    }
    const char *figure = statisticsOpen ? "frame_to_screen_statistics_open_us"
        : rows == 100'000               ? "frame_to_screen_us"
                                        : "frame_to_screen_1M_rows_us";
    reportFigure(state, figure, n ? totalUs / double(n) : 0, "us");
}
BENCHMARK(BM_FrameToScreen)
    ->Args({ 100'000, 0 })
    ->Args({ 1'000'000, 0 })
    ->Args({ 100'000, 1 })
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(500);

} // namespace
