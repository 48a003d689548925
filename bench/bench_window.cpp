// SPDX-License-Identifier: MIT
// The programs' main window:
//   startup_first_paint_ms  from starting a process (km_first_paint km90: KM90's
//                           own start-up with a probe) to its
//                           window's first complete frame on the screen, as the
//                           process reports it (FirstPaintProbe.h), on a private
//                           X server (Xvfb, started by the benchmark on a display
//                           of its own, reached through its local socket only)
//   startup_bare_qt_ms      the same for a bare Qt Widgets program (an application
//                           object and a window with a label), run alternately
//   startup_vs_bare_qt_ratio  the first over the second (each figure of the
//                           start-up is the median of its 30 starts)
//   startup_first_paint_cpu_ms, startup_bare_qt_cpu_ms, startup_cpu_vs_bare_qt_ratio
//                           the processor time each process had used at that
//                           frame (steadier than the wall time on a busy machine)
//   startup_to_exit_ms, startup_bare_qt_to_exit_ms, startup_to_exit_vs_bare_qt_ratio
//                           the same runs timed to the end of each process, that
//                           is with each program's tear-down after its first frame
//   startup_offscreen_first_paint_ms, startup_offscreen_bare_qt_ms,
//   startup_offscreen_vs_bare_qt_ratio
//                           the same two programs on Qt's offscreen platform (no
//                           window system at all), the figures of earlier runs
//   frame_to_screen_us      main-thread cost of one meter frame, from the cable
//                           reports' hand-over to the end of the repaint of the
//                           parts of the window the frame changed, with grid
//                           and chart attached and 100,000 rows already recorded
//   frame_to_screen_1M_rows_us, frame_to_screen_10M_rows_us  the same with a
//                           million and ten million rows recorded
//   frame_cost_10M_vs_100k_ratio  ten million rows' figure over 100,000 rows'
//   window_rss_idle_mb      resident memory of a KM90 window (km_window_memory)
//                           after its first paint, not connected
//   window_rss_1M_rows_mb   the same after a million frames recorded
//   window_bytes_per_row    the difference of the two per recorded row
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
#include "journal/JournalKeeper.h"
#include "journal/RecordingJournal.h"
#include "models/ModelDescription.h"
#include "models/common/lcd/LcdPanel.h"
#include "recording/ReadingTable.h"
#include "recording/Recorder.h"
#include "sim/CableReports.h"
#include "sim/MeterFrames.h"

#include <QApplication>
#include <QDir>
#include <QHash>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

QString programBeside(const QString &relativePath)
{
    return QDir(QCoreApplication::applicationDirPath()).filePath(relativePath);
}

struct StartupRun
{
    double firstPaintMs = -1; // negative when the process failed
    double firstPaintCpuMs = -1;
    double exitMs = -1;
};

// An X server of the benchmark's own: Xvfb on the first free display, with no
// TCP listener (clients reach it through its local socket), ended with the
// benchmark. The start-up is timed against a real X server, where a window is
// only visible once the server has mapped it and taken its first frame.
class PrivateXServer
{
public:
    PrivateXServer()
    {
        // -displayfd: Xvfb picks a free display and writes its number once it
        // accepts clients.
        m_server.start(QStringLiteral("Xvfb"),
            { QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-nolisten"),
                QStringLiteral("tcp"), QStringLiteral("-screen"), QStringLiteral("0"),
                QStringLiteral("1280x1024x24") });
        if (!m_server.waitForStarted(10000))
            return;
        QByteArray out;
        while (!out.contains('\n') && m_server.waitForReadyRead(10000))
            out += m_server.readAllStandardOutput();
        bool ok = false;
        const int number = out.trimmed().toInt(&ok);
        if (ok && number >= 0)
            m_display = QStringLiteral(":%1").arg(number);
    }
    ~PrivateXServer()
    {
        if (m_server.state() != QProcess::NotRunning) {
            m_server.terminate();
            if (!m_server.waitForFinished(5000))
                m_server.kill();
            m_server.waitForFinished(5000);
        }
    }
    PrivateXServer(const PrivateXServer &) = delete;
    PrivateXServer &operator=(const PrivateXServer &) = delete;

    // ":N", or empty when Xvfb could not be started.
    QString display() const { return m_display; }

private:
    QProcess m_server;
    QString m_display;
};

// The environment of a timed start: the xcb platform on display, or the
// offscreen platform when display is empty. The program keeps its journal,
// settings and caches below home, as a user's would be kept below theirs.
QProcessEnvironment startupEnvironment(const QString &display, const QTemporaryDir &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_CACHE_HOME"), home.filePath(QStringLiteral("cache")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    if (display.isEmpty()) {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    } else {
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        env.insert(QStringLiteral("DISPLAY"), display);
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    }
    return env;
}

// Runs a program to its end: the time from just before its start to the first
// frame it reports, and to its end.
StartupRun runStartup(
    const QString &program, const QStringList &arguments, const QProcessEnvironment &env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    const auto start = Clock::now();
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0)
        return {};
    StartupRun run;
    run.exitMs = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    // The child read the same monotonic clock at its first frame.
    for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
        if (line.startsWith("first_paint_cpu_ms ")) {
            bool ok = false;
            const double ms = line.mid(19).trimmed().toDouble(&ok);
            if (ok && ms >= 0)
                run.firstPaintCpuMs = ms;
            continue;
        }
        if (!line.startsWith("first_paint_ns "))
            continue;
        bool ok = false;
        const qint64 ns = line.mid(15).trimmed().toLongLong(&ok);
        const qint64 startNs
            = std::chrono::duration_cast<std::chrono::nanoseconds>(start.time_since_epoch())
                  .count();
        if (ok && ns >= startNs)
            run.firstPaintMs = double(ns - startNs) / 1e6;
    }
    if (run.firstPaintMs < 0 || run.firstPaintCpuMs < 0)
        run.firstPaintMs = run.exitMs = -1;
    return run;
}

// The starts timed so far, one list per figure.
struct StartupTotals
{
    std::vector<double> programMs, bareMs;
    std::vector<double> programExitMs, bareExitMs;
    std::vector<double> programCpuMs, bareCpuMs;
    qint64 runs = 0;
};

// The middle value: a start that met a busy moment of the machine moves it
// less than it moves the mean.
double median(std::vector<double> values)
{
    if (values.empty())
        return 0;
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    if (values.size() % 2)
        return *middle;
    return (*middle + *std::max_element(values.begin(), middle)) / 2;
}

// One start of the program and one of the bare window, taken in turns so that
// both see the same machine. Returns an error text, or nullptr.
const char *startBoth(StartupTotals &totals, const QProcessEnvironment &env)
{
    const QString program = programBeside(QStringLiteral("../src/app/km_first_paint"));
    const QString bare = programBeside(QStringLiteral("bare_first_paint"));
    const StartupRun p = runStartup(program, { QStringLiteral("km90") }, env);
    const StartupRun b = runStartup(bare, {}, env);
    if (p.firstPaintMs < 0)
        return "km_first_paint did not run or did not report its first frame";
    if (b.firstPaintMs < 0)
        return "bare_first_paint did not run or did not report its first frame";
    totals.programMs.push_back(p.firstPaintMs);
    totals.bareMs.push_back(b.firstPaintMs);
    totals.programExitMs.push_back(p.exitMs);
    totals.bareExitMs.push_back(b.exitMs);
    totals.programCpuMs.push_back(p.firstPaintCpuMs);
    totals.bareCpuMs.push_back(b.firstPaintCpuMs);
    ++totals.runs;
    return nullptr;
}

// A first start of each, not counted, so that both find the window system and
// the file caches in the same state; then one of each per iteration. false
// when a start failed (the benchmark says which) or none was timed.
bool timeStarts(benchmark::State &state, StartupTotals &totals, const QProcessEnvironment &env)
{
    StartupTotals warm;
    if (const char *error = startBoth(warm, env)) {
        state.SkipWithError(error);
        return false;
    }
    for (auto _ : state) {
        if (const char *error = startBoth(totals, env)) {
            state.SkipWithError(error);
            return false;
        }
    }
    return totals.runs > 0;
}

void BM_StartupFirstPaint(benchmark::State &state)
{
    PrivateXServer server;
    if (server.display().isEmpty()) {
        state.SkipWithError("Xvfb could not be started (Debian package xvfb)");
        return;
    }
    const QTemporaryDir home;
    StartupTotals t;
    if (!timeStarts(state, t, startupEnvironment(server.display(), home)))
        return;
    const double program = median(t.programMs), bare = median(t.bareMs);
    reportFigure(state, "startup_first_paint_ms", program, "ms");
    reportFigure(state, "startup_bare_qt_ms", bare, "ms");
    reportFigure(state, "startup_vs_bare_qt_ratio", program / bare, "x");
    const double programCpu = median(t.programCpuMs), bareCpu = median(t.bareCpuMs);
    reportFigure(state, "startup_first_paint_cpu_ms", programCpu, "ms");
    reportFigure(state, "startup_bare_qt_cpu_ms", bareCpu, "ms");
    reportFigure(state, "startup_cpu_vs_bare_qt_ratio", programCpu / bareCpu, "x");
    const double programExit = median(t.programExitMs), bareExit = median(t.bareExitMs);
    reportFigure(state, "startup_to_exit_ms", programExit, "ms");
    reportFigure(state, "startup_bare_qt_to_exit_ms", bareExit, "ms");
    reportFigure(state, "startup_to_exit_vs_bare_qt_ratio", programExit / bareExit, "x");
}
BENCHMARK(BM_StartupFirstPaint)->Unit(benchmark::kMillisecond)->Iterations(30);

// The same on the offscreen platform, where no window system takes part.
void BM_StartupFirstPaintOffscreen(benchmark::State &state)
{
    const QTemporaryDir home;
    StartupTotals t;
    if (!timeStarts(state, t, startupEnvironment(QString(), home)))
        return;
    const double program = median(t.programMs), bare = median(t.bareMs);
    reportFigure(state, "startup_offscreen_first_paint_ms", program, "ms");
    reportFigure(state, "startup_offscreen_bare_qt_ms", bare, "ms");
    reportFigure(state, "startup_offscreen_vs_bare_qt_ratio", program / bare, "x");
}
BENCHMARK(BM_StartupFirstPaintOffscreen)->Unit(benchmark::kMillisecond)->Iterations(20);

// The KM90 window's resident memory at rest and after a million recorded rows,
// in a process of its own so that nothing else of the benchmark counts.
void BM_WindowMemory(benchmark::State &state)
{
    constexpr int Rows = 1'000'000;
    const QString program = programBeside(QStringLiteral("km_window_memory"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    double idleKb = 0;
    double rowsKb = 0;
    for (auto _ : state) {
        QProcess process;
        process.setProcessEnvironment(env);
        process.start(program, { QStringLiteral("km90"), QString::number(Rows) });
        if (!process.waitForFinished(-1) || process.exitCode() != 0) {
            state.SkipWithError("km_window_memory did not run");
            return;
        }
        QHash<QByteArray, double> values;
        for (const QByteArray &line : process.readAllStandardOutput().split('\n')) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() == 2)
                values.insert(parts.at(0), parts.at(1).toDouble());
        }
        if (values.value("rows") != Rows || values.value("idle_rss_kb") <= 0) {
            state.SkipWithError("km_window_memory did not record every row");
            return;
        }
        idleKb = values.value("idle_rss_kb");
        rowsKb = values.value("rows_rss_kb");
    }
    reportFigure(state, "window_rss_idle_mb", idleKb / 1024, "MB");
    reportFigure(state, "window_rss_1M_rows_mb", rowsKb / 1024, "MB");
    reportFigure(state, "window_bytes_per_row", (rowsKb - idleKb) * 1024 / Rows, "bytes");
}
BENCHMARK(BM_WindowMemory)->Unit(benchmark::kSecond)->Iterations(1);

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
    // The set-up's rows reach the disk before the timing starts, so that the
    // frames are not timed against the write-back of the whole table.
    if (RecordingJournal *journal = w.journal() ? w.journal()->journal() : nullptr) {
        const auto deadline = Clock::now() + std::chrono::minutes(10);
        while (journal->flushPending() && Clock::now() < deadline)
            QThread::msleep(20);
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
    const double us = n ? totalUs / double(n) : 0;
    if (statisticsOpen) {
        reportFigure(state, "frame_to_screen_statistics_open_us", us, "us");
        return;
    }
    // The 100,000-row figure of this run, for the ratio of the larger tables.
    static double us100k = 0;
    switch (rows) {
    case 100'000:
        us100k = us;
        reportFigure(state, "frame_to_screen_us", us, "us");
        break;
    case 1'000'000:
        reportFigure(state, "frame_to_screen_1M_rows_us", us, "us");
        break;
    case 10'000'000:
        reportFigure(state, "frame_to_screen_10M_rows_us", us, "us");
        if (us100k > 0)
            reportFigure(state, "frame_cost_10M_vs_100k_ratio", us / us100k, "x");
        break;
    default:
        break;
    }
}
BENCHMARK(BM_FrameToScreen)
    ->Args({ 100'000, 0 })
    ->Args({ 1'000'000, 0 })
    ->Args({ 10'000'000, 0 })
    ->Args({ 100'000, 1 })
    ->Unit(benchmark::kMicrosecond)
    ->Iterations(500);

} // namespace
