// SPDX-License-Identifier: MIT
#pragma once

#include <benchmark/benchmark.h>

#include <string>

// Publishes one figure of a benchmark run. BenchMain prints it as
// "name value unit" on standard output when the run ends.
inline void reportFigure(benchmark::State &state, const std::string &name, double value,
                         const std::string &unit)
{
    state.counters[name + "[" + unit + "]"] = benchmark::Counter(value);
}

// Bytes the C heap has handed out and not yet taken back (glibc), for memory figures.
std::size_t heapBytesInUse();
