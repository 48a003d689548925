// SPDX-License-Identifier: MIT
// meterlog as an unattended logger: the meterlog program replays a capture of
// a million KM90 frames (cable reports, an idle report after each frame) with
// --format jsonl to /dev/null and --output to a table file. Figures: the
// program's wall time, the best of three runs as with the other benchmarks,
// and its peak resident memory (the highest of the runs), which stays flat
// when the logger keeps no row it has written.
#include "BenchFigures.h"

#include "sim/CableReports.h"
#include "sim/MeterFrames.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <limits>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

constexpr int kFrames = 1000000;

// A capture as meterlog reads it: one report a line, hex bytes.
bool writeCapture(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QStringList frames { QStringLiteral("000123412301153603051000DA"),
        QStringLiteral("300050032298112502004000DA"),
        QStringLiteral("000999902301153603124210DA") };
    QList<QByteArray> lines;
    for (const QString &frame : frames) {
        QByteArray text;
        for (const QByteArray &report : CableReports::frameReports(frameBytesFromDigits(frame))) {
            text += report.toHex(' ').toUpper() + '\n';
        }
        lines << text;
    }
    QByteArray chunk;
    for (int i = 0; i < kFrames; ++i) {
        chunk += lines[i % lines.size()];
        if (chunk.size() > (1 << 20)) {
            file.write(chunk);
            chunk.clear();
        }
    }
    file.write(chunk);
    return file.error() == QFileDevice::NoError;
}

struct ChildRun
{
    bool ok = false;
    double seconds = 0;
    double maxRssMb = 0;
};

// Runs meterlog with standard input from the capture and standard output to
// /dev/null; wait4 gives the child's own peak resident memory.
ChildRun runMeterlog(const QString &capture, const QString &output)
{
    ChildRun run;
    const QByteArray exe = MKMETERLOG_EXE;
    const QByteArray in = QFile::encodeName(capture);
    const QByteArray out = QFile::encodeName(output);
    const char *argv[] = { exe.constData(), "--model", "km90", "--decimal", ".", "--limit", "none",
        "--format", "jsonl", "--output", out.constData(), in.constData(), nullptr };
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawned
        = posix_spawn(&pid, exe.constData(), &actions, nullptr, const_cast<char **>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0)
        return run;
    int status = 0;
    rusage usage {};
    if (wait4(pid, &status, 0, &usage) != pid)
        return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.maxRssMb = double(usage.ru_maxrss) / 1024.0; // kilobytes on Linux
    run.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return run;
}

void BM_MeterlogReplay1M(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString capture = dir.filePath(QStringLiteral("capture.txt"));
    const QString output = dir.filePath(QStringLiteral("log.xls"));
    if (!writeCapture(capture)) {
        state.SkipWithError("cannot write the capture");
        return;
    }
    double best = std::numeric_limits<double>::max();
    double highestRss = 0;
    for (auto _ : state) {
        QFile::remove(output);
        const ChildRun run = runMeterlog(capture, output);
        if (!run.ok) {
            state.SkipWithError("meterlog failed");
            return;
        }
        best = std::min(best, run.seconds);
        highestRss = std::max(highestRss, run.maxRssMb);
    }
    reportFigure(state, "meterlog_replay_1M_frames_seconds", best, "s");
    reportFigure(state, "meterlog_rss_1M_frames_mb", highestRss, "MB");
    reportFigure(state, "meterlog_output_1M_frames_mb",
        double(QFileInfo(output).size()) / (1024.0 * 1024.0), "MB");
}

} // namespace

BENCHMARK(BM_MeterlogReplay1M)->Unit(benchmark::kMillisecond)->Iterations(3);
