// SPDX-License-Identifier: MIT
// The recording journal's cost: a million KM90 readings through INDataToTable
// with the journal on, against the same with it off, in one run; and putting a
// million-row journal back into a table, as Restore does.
#include "BenchFigures.h"

#include "core/CurrentReading.h"
#include "journal/JournalReader.h"
#include "journal/RecordingJournal.h"
#include "recording/ReadingTable.h"
#include "recording/Recorder.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTime>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace {

constexpr int kReadings = 1000000;
using Clock = std::chrono::steady_clock;

std::vector<CurrentReading> readings()
{
    std::vector<CurrentReading> out(static_cast<size_t>(kReadings));
    for (int i = 0; i < kReadings; ++i) {
        const double power = 300.0 + 250.0 * std::sin(i / 5000.0) + 20.0 * std::sin(i / 7.0);
        CurrentReading &r = out[size_t(i)];
        r.Value = QString::number(power, 'f', 1);
        r.Unit = QStringLiteral("KW");
        r.V_Value = QString::number(229.0 + 2.0 * std::sin(i / 300.0), 'f', 1);
        r.V_Unit = QStringLiteral("v");
        r.I_Value = QString::number(power / 230.0 * 10.0, 'f', 3);
        r.I_Unit = QStringLiteral("A");
    }
    return out;
}

// Records every reading. With a journal and handOverEvery 0, the rows are
// handed over once at the end, as a run of rows without frames between them
// (encoded and written in pieces of 256 KiB); with handOverEvery 1, after
// every reading, as the window does after every frame (one write each: the
// worst case, at the meter's eight frames a second it is no cost at all).
double recordSeconds(const std::vector<CurrentReading> &source, const QString &journalPath,
    int handOverEvery, qsizetype *journalBytes = nullptr)
{
    CurrentReading reading;
    ReadingTable table(MeterModel::Km90);
    Recorder recorder(MeterModel::Km90, table, reading);
    recorder.setRecordLimit(10000000);
    int i = 0;
    recorder.setClock([&i] { return QTime(0, 0).addSecs(i / 9); });
    std::unique_ptr<RecordingJournal> journal;
    if (!journalPath.isEmpty()) {
        RecordingJournal::Options o;
        o.program = QStringLiteral("KM90");
        journal = std::make_unique<RecordingJournal>(table, journalPath, o);
        journal->start();
    }
    const auto start = Clock::now();
    for (i = 0; i < kReadings; ++i) {
        reading = source[size_t(i)];
        recorder.INDataToTable(1);
        if (journal && handOverEvery > 0 && (i + 1) % handOverEvery == 0)
            journal->handOver();
    }
    if (journal)
        journal->handOver();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (journal && journalBytes)
        *journalBytes = QFileInfo(journalPath).size();
    return seconds;
}

void BM_JournalRecordKm90(benchmark::State &state)
{
    const auto source = readings();
    QTemporaryDir dir;
    double off = 0, on = 0, perReading = 0;
    qsizetype bytes = 0;
    // Off and on alternate, three times each, and the quickest of each counts:
    // on a busy machine a single run says more about the neighbours than the
    // journal.
    for (auto _ : state) {
        off = on = perReading = 1e9;
        for (int round = 0; round < 3; ++round) {
            off = std::min(off, recordSeconds(source, {}, 1));
            on = std::min(on, recordSeconds(source, dir.filePath("on.kmj"), 0, &bytes));
            perReading = std::min(perReading, recordSeconds(source, dir.filePath("each.kmj"), 1));
        }
    }
    reportFigure(state, "journal_record_km90_1M_ratio", off > 0 ? on / off : 0, "x");
    reportFigure(
        state, "journal_record_km90_1M_each_reading_ratio", off > 0 ? perReading / off : 0, "x");
    reportFigure(state, "journal_km90_bytes_per_row", double(bytes) / kReadings, "B");
}
BENCHMARK(BM_JournalRecordKm90)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_JournalRestoreKm90(benchmark::State &state)
{
    const auto source = readings();
    QTemporaryDir dir;
    const QString path = dir.filePath("restore.kmj");
    recordSeconds(source, path, 0);
    double seconds = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        // What Restore does: read the journal back, hand its rows to the
        // window's table and go on appending to the file.
        JournalContents contents = readJournal(path, MeterModel::Km90);
        ReadingTable cds1(MeterModel::Km90);
        RecordingJournal::Options o;
        o.program = QStringLiteral("KM90");
        RecordingJournal journal(cds1, dir.filePath("own.kmj"), o);
        journal.setMuted(true);
        cds1.takeRowsFrom(*contents.table);
        journal.setMuted(false);
        journal.adopt(path, contents.validBytes);
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (cds1.rowCount() != kReadings)
            state.SkipWithError("the journal did not give back every row");
    }
    reportFigure(state, "journal_restore_km90_1M_seconds", seconds, "s");
}
BENCHMARK(BM_JournalRestoreKm90)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
