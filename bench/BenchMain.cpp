// SPDX-License-Identifier: MIT
// Shared main() for the benchmark programs: the usual console report goes to
// standard error, and every figure published with reportFigure() is printed on
// standard output as "name value unit".
#include "BenchFigures.h"

#ifdef KM_BENCH_GUI
#include <QApplication>
#else
#include <QCoreApplication>
#endif

#include <malloc.h>

#include <cstdio>
#include <iostream>
#include <map>

std::size_t heapBytesInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

namespace {

class FigureReporter : public benchmark::ConsoleReporter
{
public:
    FigureReporter()
    {
        SetOutputStream(&std::cerr);
        SetErrorStream(&std::cerr);
    }

    void ReportRuns(const std::vector<Run> &runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run &run : runs) {
            for (const auto &[key, counter] : run.counters) {
                const auto open = key.find('[');
                if (open == std::string::npos || key.back() != ']')
                    continue;
                m_figures[key.substr(0, open)]
                    = { counter.value, key.substr(open + 1, key.size() - open - 2) };
            }
        }
    }

    void printFigures() const
    {
        for (const auto &[name, figure] : m_figures)
            std::printf("%s %.6g %s\n", name.c_str(), figure.first, figure.second.c_str());
        std::fflush(stdout);
    }

private:
    std::map<std::string, std::pair<double, std::string>> m_figures;
};

} // namespace

int main(int argc, char **argv)
{
#ifdef KM_BENCH_GUI
    // Widget benchmarks draw off screen unless the caller chose a platform.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
#else
    QCoreApplication app(argc, argv); // some benchmarks use Qt facilities that want an application
#endif
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    reporter.printFigures();
    return 0;
}
