// SPDX-License-Identifier: MIT
// Table file speed: saving a million KM90 rows as a text table file and opening
// it again, each against writing and reading the same bytes with plain file I/O
// in the same run. Every figure is the best of the iterations.
//
// A save is only done once its bytes are on the disk (the atomic save flushes
// the new file before it takes the old one's place, or a power cut could leave
// neither), so the plain write it is compared with flushes to the disk too:
// save_vs_raw_ratio. How it compares with a plain write that leaves the bytes
// in the page cache is printed as well: save_vs_cached_write_ratio. The same
// rows copied as clipboard text: clipboard_copy_1M_rows_seconds.
#include "BenchFigures.h"

#include "analysis/ClipboardText.h"
#include "recording/ReadingTable.h"
#include "recording/TableFiles.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTime>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <memory>

namespace {

constexpr int kRows = 1000000;

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start)
{
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A table as a day of recording leaves it: a power value that drifts and wobbles,
// a voltage moving a little, a current following the power, the clock advancing
// one second every nine readings, units that repeat.
std::unique_ptr<ReadingTable> recordedTable()
{
    auto table = std::make_unique<ReadingTable>(MeterModel::Km90);
    QStringList texts(7);
    texts[2] = QStringLiteral("KW");
    texts[4] = QStringLiteral("v");
    texts[6] = QStringLiteral("A");
    for (int i = 0; i < kRows; ++i) {
        const double power = 300.0 + 250.0 * std::sin(i / 5000.0) + 20.0 * std::sin(i / 7.0);
        texts[0] = QTime(0, 0).addSecs(i / 9).toString(QStringLiteral("hh:mm:ss"));
        texts[1] = QString::number(power, 'f', 1);
        texts[3] = QString::number(229.0 + 2.0 * std::sin(i / 300.0), 'f', 1);
        texts[5] = QString::number(power / 230.0 * 10.0, 'f', 3);
        table->appendRow(i + 1, texts);
    }
    return table;
}

// Flushes a file's data to the disk, as QSaveFile does before it renames.
bool syncToDisk(int handle)
{
#if defined(Q_OS_WIN)
    return ::_commit(handle) == 0;
#elif defined(Q_OS_LINUX)
    return ::fdatasync(handle) == 0;
#else
    return ::fsync(handle) == 0;
#endif
}

bool writePlain(const QString &path, const QByteArray &bytes, bool toDisk)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.flush())
        return false;
    return !toDisk || syncToDisk(file.handle());
}

QByteArray readPlain(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void BM_SaveKm90(benchmark::State &state)
{
    const auto table = recordedTable();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.xls"));
    const QString rawPath = dir.filePath(QStringLiteral("raw.xls"));
    double best = std::numeric_limits<double>::max();
    double bestRaw = std::numeric_limits<double>::max();
    double bestCached = std::numeric_limits<double>::max();
    for (auto _ : state) {
        auto start = Clock::now();
        const TableFiles::Result result = TableFiles::writeTableTextFile(*table, path);
        best = std::min(best, secondsSince(start));
        if (!result.ok) {
            state.SkipWithError(qPrintable(result.error));
            return;
        }
        // The same bytes, already in memory, written with one plain write.
        const QByteArray bytes = readPlain(path);
        start = Clock::now();
        if (!writePlain(rawPath, bytes, true)) {
            state.SkipWithError("plain write failed");
            return;
        }
        bestRaw = std::min(bestRaw, secondsSince(start));
        start = Clock::now();
        if (!writePlain(rawPath, bytes, false)) {
            state.SkipWithError("plain write failed");
            return;
        }
        bestCached = std::min(bestCached, secondsSince(start));
        state.counters["bytes"] = double(bytes.size());
    }
    state.counters["raw_s"] = bestRaw;
    state.counters["cached_s"] = bestCached;
    reportFigure(state, "save_km90_1M_seconds", best, "s");
    reportFigure(state, "save_vs_raw_ratio", best / bestRaw, "x");
    reportFigure(state, "save_vs_cached_write_ratio", best / bestCached, "x");
}
BENCHMARK(BM_SaveKm90)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_OpenKm90(benchmark::State &state)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.xls"));
    {
        const auto table = recordedTable();
        if (!TableFiles::writeTableTextFile(*table, path).ok) {
            state.SkipWithError("could not write the table file");
            return;
        }
    }
    double best = std::numeric_limits<double>::max();
    double bestRaw = std::numeric_limits<double>::max();
    for (auto _ : state) {
        ReadingTable table(MeterModel::Km90);
        auto start = Clock::now();
        const TableFiles::Result result = TableFiles::readTableTextFile(path, table);
        best = std::min(best, secondsSince(start));
        if (!result.ok || table.rowCount() != kRows) {
            state.SkipWithError("the file did not open into a million rows");
            return;
        }
        start = Clock::now();
        const QByteArray bytes = readPlain(path);
        bestRaw = std::min(bestRaw, secondsSince(start));
        benchmark::DoNotOptimize(bytes.constData());
    }
    reportFigure(state, "open_km90_1M_seconds", best, "s");
    reportFigure(state, "open_vs_raw_ratio", best / bestRaw, "x");
}
BENCHMARK(BM_OpenKm90)->Unit(benchmark::kMillisecond)->Iterations(5);

// The XML data packet of the same million rows: saved, then opened again.
void BM_XmlKm90(benchmark::State &state)
{
    const auto table = recordedTable();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("table.xml"));
    double bestSave = std::numeric_limits<double>::max();
    double bestOpen = std::numeric_limits<double>::max();
    for (auto _ : state) {
        auto start = Clock::now();
        if (!TableFiles::writeTableXmlFile(*table, path).ok) {
            state.SkipWithError("the XML file could not be written");
            return;
        }
        bestSave = std::min(bestSave, secondsSince(start));
        ReadingTable opened(MeterModel::Km90);
        start = Clock::now();
        const TableFiles::Result result = TableFiles::readTableXmlFile(path, opened);
        bestOpen = std::min(bestOpen, secondsSince(start));
        if (!result.ok || opened.rowCount() != kRows) {
            state.SkipWithError("the XML file did not open into a million rows");
            return;
        }
    }
    reportFigure(state, "save_xml_km90_1M_seconds", bestSave, "s");
    reportFigure(state, "open_xml_km90_1M_seconds", bestOpen, "s");
}
BENCHMARK(BM_XmlKm90)->Unit(benchmark::kMillisecond)->Iterations(2);

// Ctrl+C in the grid with no row selected: the million rows as the clipboard's
// tab-separated text, up to the QString the clipboard is given.
void BM_ClipboardKm90(benchmark::State &state)
{
    const auto table = recordedTable();
    double best = std::numeric_limits<double>::max();
    for (auto _ : state) {
        const auto start = Clock::now();
        const QString text = QString::fromUtf8(tableClipboardText(*table));
        best = std::min(best, secondsSince(start));
        if (text.count(QLatin1Char('\n')) != kRows + 1) {
            state.SkipWithError("the clipboard text does not hold a line per row");
            return;
        }
    }
    reportFigure(state, "clipboard_copy_1M_rows_seconds", best, "s");
}
BENCHMARK(BM_ClipboardKm90)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace
