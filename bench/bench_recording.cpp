// SPDX-License-Identifier: MIT
// Recording speed and memory: a million readings through INDataToTable, and the
// heap each recorded row costs (the "Limitless" limit allows ten million rows).
#include "BenchFigures.h"
#include "models/ModelDescription.h"

#include "core/CurrentReading.h"
#include "recording/ReadingTable.h"
#include "recording/Recorder.h"

#include <QTime>

#include <chrono>
#include <cmath>

namespace {

constexpr int kReadings = 1000000;

// Readings as a meter delivers them: a main value that drifts and wobbles over
// the range, a voltage moving a little, a current following the power, and the
// clock advancing one second every nine readings.
struct ReadingSource
{
    int i = 0;

    QString digits(double v, int decimals) { return QString::number(v, 'f', decimals); }

    void next(CurrentReading &r, bool km90)
    {
        const double power = 300.0 + 250.0 * std::sin(i / 5000.0) + 20.0 * std::sin(i / 7.0);
        r.Value = digits(power, 1);
        r.Unit = QStringLiteral("KW");
        if (km90) {
            r.V_Value = digits(229.0 + 2.0 * std::sin(i / 300.0), 1);
            r.V_Unit = QStringLiteral("v");
            r.I_Value = digits(power / 230.0 * 10.0, 3);
            r.I_Unit = QStringLiteral("A");
        }
        ++i;
    }
};

// The texts of a reading are made before they reach the recorder, as the
// decoder makes them; only INDataToTable is timed.
struct Prepared
{
    std::vector<CurrentReading> readings;
    explicit Prepared(bool km90, int n)
    {
        ReadingSource source;
        readings.resize(size_t(n));
        for (auto &r : readings)
            source.next(r, km90);
    }
};

void BM_RecordKm90(benchmark::State &state)
{
    const Prepared prepared(true, kReadings);
    double seconds = 0;
    for (auto _ : state) {
        CurrentReading reading;
        ReadingTable table(MeterModel::Km90);
        Recorder recorder(MeterModel::Km90, table, reading);
        recorder.setRecordLimit(10000000);
        int i = 0;
        recorder.setClock([&i] { return QTime(0, 0).addSecs(i / 9); });
        const auto start = std::chrono::steady_clock::now();
        for (i = 0; i < kReadings; ++i) {
            reading = prepared.readings[size_t(i)];
            recorder.INDataToTable(1);
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (table.rowCount() != kReadings)
            state.SkipWithError("not every reading was recorded");
    }
    reportFigure(state, "record_km90_1M_seconds", seconds, "s");
}
BENCHMARK(BM_RecordKm90)->Unit(benchmark::kMillisecond)->Iterations(3);

// Heap per row of a table filled with a million recorded readings, everything included.
void measureBytesPerRow(benchmark::State &state, MeterModel model, const char *figure)
{
    // Readings with voltage and current for the model whose rows carry them.
    const Prepared prepared(modelDescription(model).rowHasVoltageAndCurrent, kReadings);
    double bytesPerRow = 0;
    for (auto _ : state) {
        const std::size_t before = heapBytesInUse();
        {
            CurrentReading reading;
            auto table = std::make_unique<ReadingTable>(model);
            Recorder recorder(model, *table, reading);
            recorder.setRecordLimit(10000000);
            int i = 0;
            recorder.setClock([&i] { return QTime(0, 0).addSecs(i / 9); });
            for (i = 0; i < kReadings; ++i) {
                reading = prepared.readings[size_t(i)];
                recorder.INDataToTable(1);
            }
            reading
                = CurrentReading(); // the last reading's texts belong to the decoder, not the table
            bytesPerRow = double(heapBytesInUse() - before) / kReadings;
            benchmark::DoNotOptimize(table->rowCount());
        }
    }
    reportFigure(state, figure, bytesPerRow, "bytes");
}

void BM_Km90BytesPerRow(benchmark::State &state)
{
    measureBytesPerRow(state, MeterModel::Km90, "record_km90_bytes_per_row");
}
BENCHMARK(BM_Km90BytesPerRow)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_Km50BytesPerRow(benchmark::State &state)
{
    measureBytesPerRow(state, MeterModel::Km50_60, "record_km50_60_bytes_per_row");
}
BENCHMARK(BM_Km50BytesPerRow)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
