// SPDX-License-Identifier: MIT
// The KM90 window recording a million frames from a fake cable at full speed
// ("Limitless" record limit, journal on, grid and chart attached, offscreen),
// each frame's reports going through the read thread and its hand-over and
// the window's own event loop:
//   soak_1M_frames_rss_overhead_mb  growth of resident memory over the run,
//                                   less the growth of what the table and the
//                                   chart say they store
//   soak_frame_cost_drift_ratio     main-thread CPU time of a frame, mean over
//                                   the last tenth of the run divided by the
//                                   mean over the first tenth
//   soak_open_fds_growth            open file descriptors after the run less
//                                   those before it
// Main-thread CPU time is used for the cost, not wall time, so that other
// processes on the machine do not show up as drift.
#include "BenchFigures.h"
#include "app/KmApplication.h"
#include "app/Unit1.h"
#include "chart/ChartPanel.h"
#include "chart/Chtshow.h"
#include "dialogs/RecordingUserDialogs.h"
#include "hid/FakeHidBackend.h"
#include "recording/ReadingTable.h"
#include "sim/CableReports.h"
#include "sim/MeterFrames.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <time.h>
#include <unistd.h>

#include <fstream>
#include <numeric>
#include <vector>

namespace {

const QString kCablePath = QStringLiteral("/dev/hidraw-soak");
constexpr int kFrames = 1'000'000;
constexpr int kChunkFrames = 1000; // frames queued on the cable at a time

double threadCpuSeconds()
{
    timespec ts {};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + double(ts.tv_nsec) * 1e-9;
}

double residentBytes()
{
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return double(resident) * double(sysconf(_SC_PAGESIZE));
}

int openFds()
{
    return int(QDir(QStringLiteral("/proc/self/fd"))
                   .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)
                   .size());
}

// A frame a meter could send: power, voltage and current moving a little.
QByteArray frameBytes(int i)
{
    Km90Frame f;
    f.mainDigits = QStringLiteral("%1").arg(1000 + i % 997, 4, 10, QLatin1Char('0'));
    f.mainPoint = 1;
    f.voltageDigits = QStringLiteral("%1").arg(2200 + i % 211, 4, 10, QLatin1Char('0'));
    f.voltagePoint = 1;
    f.currentDigits = QStringLiteral("%1").arg(5000 + i % 503, 4, 10, QLatin1Char('0'));
    f.currentPoint = 3;
    return f.bytes();
}

double mean(const std::vector<double> &v, size_t from, size_t to)
{
    return std::accumulate(v.begin() + qsizetype(from), v.begin() + qsizetype(to), 0.0)
        / double(to - from);
}

void BM_SoakMillionFrames(benchmark::State &state)
{
    KmApplication::useProgramStyle();
    auto backend = std::make_shared<FakeHidBackend>();
    auto cable
        = FakeHidBackend::makeInterface(QStringLiteral("cable"), QStringLiteral("USB to Serial"));
    cable.path = kCablePath;
    backend->plug(cable);
    RecordingUserDialogs dialogs;
    QTemporaryDir journalFolder;
    TFrmTest::Options options;
    options.keepJournal = true;
    options.journalFolder = journalFolder.path();

    for (auto _ : state) {
        TFrmTest w(MeterModel::Km90, backend, backend->createNotifier(), dialogs, options);
        w.findChild<QAction *>(QStringLiteral("setlimit"))->trigger();
        w.show();
        w.Panel2Click();
        QApplication::processEvents();
        if (!w.link().USBCon()) {
            state.SkipWithError("the window did not connect to the fake cable");
            return;
        }

        int framesDone = 0;
        int target = 0;
        QEventLoop loop;
        QObject::connect(&w, &TFrmTest::frameDone, &loop, [&] {
            if (++framesDone >= target)
                loop.quit();
        });
        QTimer stuck;
        stuck.setSingleShot(true);
        QObject::connect(&stuck, &QTimer::timeout, &loop, [&] { loop.exit(1); });

        const double rssBefore = residentBytes();
        const qint64 ownBytesBefore
            = w.cds1().storageBytes() + w.chartPanel().chart()->storedValueBytes();
        const int fdsBefore = openFds();

        std::vector<double> cpuPerFrame;
        std::vector<double> wallPerFrame;
        cpuPerFrame.reserve(kFrames / kChunkFrames);
        wallPerFrame.reserve(kFrames / kChunkFrames);
        for (int chunk = 0; chunk < kFrames / kChunkFrames; ++chunk) {
            for (int i = 0; i < kChunkFrames; ++i) {
                for (const QByteArray &r :
                    CableReports::frameReports(frameBytes(chunk * kChunkFrames + i)))
                    backend->queueReport(kCablePath, r);
            }
            target += kChunkFrames;
            const double cpu = threadCpuSeconds();
            const auto wall = std::chrono::steady_clock::now();
            stuck.start(60'000);
            if (loop.exec() != 0) {
                state.SkipWithError("the window stopped taking frames from the cable");
                return;
            }
            cpuPerFrame.push_back((threadCpuSeconds() - cpu) / kChunkFrames * 1e6);
            wallPerFrame.push_back(
                std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - wall)
                    .count()
                / kChunkFrames);
        }
        stuck.stop();
        // Let the chart's coalesced refresh and the last paints run.
        QTimer::singleShot(100, &loop, &QEventLoop::quit);
        loop.exec();

        if (w.cds1().rowCount() != kFrames) {
            state.SkipWithError("the window did not record every frame");
            return;
        }
        const qint64 ownBytes
            = w.cds1().storageBytes() + w.chartPanel().chart()->storedValueBytes();
        const double rssAfter = residentBytes();
        const size_t tenth = cpuPerFrame.size() / 10;
        const size_t n = cpuPerFrame.size();
        reportFigure(state, "soak_1M_frames_rss_overhead_mb",
            (rssAfter - rssBefore - double(ownBytes - ownBytesBefore)) / (1024.0 * 1024.0), "MB");
        reportFigure(state, "soak_frame_cost_drift_ratio",
            mean(cpuPerFrame, n - tenth, n) / mean(cpuPerFrame, 0, tenth), "ratio");
        reportFigure(state, "soak_open_fds_growth", openFds() - fdsBefore, "fds");
        // For the console report: the figures behind the ratios.
        state.counters["rss_before_mb"] = rssBefore / (1024.0 * 1024.0);
        state.counters["rss_after_mb"] = rssAfter / (1024.0 * 1024.0);
        state.counters["table_chart_mb"] = double(ownBytes) / (1024.0 * 1024.0);
        state.counters["first_tenth_cpu_us"] = mean(cpuPerFrame, 0, tenth);
        state.counters["last_tenth_cpu_us"] = mean(cpuPerFrame, n - tenth, n);
        state.counters["first_tenth_wall_us"] = mean(wallPerFrame, 0, tenth);
        state.counters["last_tenth_wall_us"] = mean(wallPerFrame, n - tenth, n);
        w.Panel2Click();
    }
}
BENCHMARK(BM_SoakMillionFrames)->Unit(benchmark::kSecond)->Iterations(1);

} // namespace
