// SPDX-License-Identifier: MIT
// The programs' main window:
//   startup_first_paint_ms  from starting a process to its window's first paint
//                           (km_first_paint, offscreen), process exit included
//   frame_to_screen_us      main-thread cost of one meter frame, from the cable
//                           reports' hand-over to the end of the repaint of the
//                           window, with grid and chart attached and 100,000
//                           rows already recorded
#include "BenchFigures.h"
#include "CableReports.h"
#include "ChartPanel.h"
#include "Chtshow.h"
#include "DeliverableTraits.h"
#include "FakeHidBackend.h"
#include "HidControllerClass.h"
#include "MeterFrames.h"
#include "ReadingTable.h"
#include "Recorder.h"
#include "RecordingUserDialogs.h"
#include "Unit1.h"

#include <QApplication>
#include <QDir>
#include <QProcess>

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
    auto backend = std::make_shared<FakeHidBackend>();
    RecordingUserDialogs dialogs;
    TFrmTest w(deliverableTraits(MeterModel::Km90), backend, {}, dialogs);
    w.findChild<QAction *>(QStringLiteral("setlimit"))->trigger();
    w.show();
    QApplication::processEvents();
    for (int i = 0; i < 100'000; ++i)
        feed(w, frameReports(i));
    QApplication::processEvents();
    if (w.cds1().rowCount() != 100'000) {
        state.SkipWithError("the window did not record 100,000 rows");
        return;
    }
    QList<QList<QByteArray>> frames;
    for (int i = 0; i < 64; ++i)
        frames.append(frameReports(i * 37));
    double totalUs = 0;
    qint64 n = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        feed(w, frames.at(int(n % frames.size())));
        w.chartPanel().chart()->refreshNow();
        w.repaint();
        totalUs += std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        ++n;
    }
    reportFigure(state, "frame_to_screen_us", n ? totalUs / double(n) : 0, "us");
}
BENCHMARK(BM_FrameToScreen)->Unit(benchmark::kMicrosecond)->Iterations(500);

} // namespace
