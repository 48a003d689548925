// SPDX-License-Identifier: MIT
// The trend chart under load, drawn off screen:
//   chart_add_1M_seconds     1,000,000 readings plotted while the view follows the
//                            newest page; the event loop turns every 100 readings,
//                            so coalesced refreshes and repaints happen as in the program
//   chart_page_move_10M_ms   one page move (first, next, last, previous in turn) at
//                            10,000,000 points, with the refresh and a full repaint
//   chart_bytes_per_point    heap growth per plotted reading
#include "BenchFigures.h"
#include "chart/ChartPanel.h"
#include "chart/Chtshow.h"
#include "dialogs/RecordingUserDialogs.h"
#include "models/ModelDescription.h"

#include <QApplication>

#include <chrono>
#include <cmath>
#include <memory>

namespace {

using Clock = std::chrono::steady_clock;

struct ShownPanel
{
    ShownPanel()
        : panel(modelDescription(MeterModel::Km90).chart, dialogs)
    {
        panel.show();
        QApplication::processEvents();
        panel.chartControl().SetValueMinimum(-1000);
        panel.chartControl().SetValueMaximum(1000);
    }

    RecordingUserDialogs dialogs;
    ChartPanel panel;
};

double reading(qint64 i)
{
    return 500 * std::sin(double(i) / 40.0) + double(i % 7) * 10;
}

void BM_ChartAddMillion(benchmark::State &state)
{
    constexpr qint64 readings = 1'000'000;
    double seconds = 0;
    for (auto _ : state) {
        state.PauseTiming();
        auto shown = std::make_unique<ShownPanel>();
        TChartControl &chart = shown->panel.chartControl();
        state.ResumeTiming();
        const auto start = Clock::now();
        for (qint64 i = 1; i <= readings; ++i) {
            chart.AddValue(reading(i));
            if (i % 100 == 0)
                QApplication::processEvents();
        }
        QApplication::processEvents();
        seconds += std::chrono::duration<double>(Clock::now() - start).count();
        state.PauseTiming();
        shown.reset();
        state.ResumeTiming();
    }
    reportFigure(state, "chart_add_1M_seconds", seconds / double(state.iterations()), "s");
}
BENCHMARK(BM_ChartAddMillion)->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_ChartPageMoveTenMillion(benchmark::State &state)
{
    ShownPanel shown;
    TChartControl &chart = shown.panel.chartControl();
    for (qint64 i = 1; i <= 10'000'000; ++i)
        chart.AddValue(reading(i));
    shown.panel.chart()->refreshNow();
    shown.panel.repaint();

    double milliseconds = 0;
    double slowest = 0;
    int move = 0;
    for (auto _ : state) {
        const auto start = Clock::now();
        switch (move++ % 4) {
        case 0:
            shown.panel.BtFirstClick();
            break;
        case 1:
            shown.panel.BtNextClick();
            break;
        case 2:
            shown.panel.BTlastClick();
            break;
        default:
            shown.panel.BTPreviousClick();
            break;
        }
        shown.panel.chart()->refreshNow();
        shown.panel.repaint();
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        milliseconds += ms;
        slowest = std::max(slowest, ms);
    }
    reportFigure(state, "chart_page_move_10M_ms", milliseconds / double(state.iterations()), "ms");
    state.counters["slowest_ms"] = slowest;
}
BENCHMARK(BM_ChartPageMoveTenMillion)->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_ChartBytesPerPoint(benchmark::State &state)
{
    constexpr qint64 readings = 2'000'000;
    double perPoint = 0;
    for (auto _ : state) {
        ShownPanel shown;
        TChartControl &chart = shown.panel.chartControl();
        for (qint64 i = 1; i <= 1000; ++i)
            chart.AddValue(reading(i));
        shown.panel.chart()->refreshNow();
        QApplication::processEvents();
        const std::size_t before = heapBytesInUse();
        for (qint64 i = 1; i <= readings; ++i)
            chart.AddValue(reading(i));
        shown.panel.chart()->refreshNow();
        QApplication::processEvents();
        perPoint = double(heapBytesInUse() - before) / double(readings);
    }
    reportFigure(state, "chart_bytes_per_point", perPoint, "bytes");
}
BENCHMARK(BM_ChartBytesPerPoint)->Iterations(1)->Unit(benchmark::kMillisecond);

} // namespace
