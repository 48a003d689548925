// SPDX-License-Identifier: MIT
// Cable reports through the frame reassembly and the KM90 decoder into its
// display state, as fast as one core allows. The meter sends about nine frames
// a second; this is the headroom for replaying long captures.
#include "BenchFigures.h"

#include "core/CurrentReading.h"
#include "link/FrameAssembler.h"
#include "models/common/DecoderOutputs.h"
#include "models/km90/Km90Decoder.h"
#include "sim/CableReports.h"
#include "sim/MeterFrames.h"

#include <chrono>

namespace {

// Outputs that go nowhere: the figure is about the link and the decoder.
class NullOutputs : public DecoderOutputs
{
public:
    void LinkOn() override { }
    void DispInit(int) override { }
    void SelectGaugeScale(int) override { }
    void KDsetup() override { }
    void SetValueMinimum(double) override { }
    void SetValueMaximum(double) override { }
    void KDrun(int position) override { benchmark::DoNotOptimize(position); }
    void BarMax(int) override { }
    void BarPos(int) override { }
    bool RecordingTest() override { return true; }
    void INDataToTable(int) override { }
    void AddValue(double y) override { benchmark::DoNotOptimize(y); }
};

// A realistic stream: power readings sweeping up and down with voltage and
// current changing, now and then a power-factor frame, one idle report after
// each frame.
QList<QByteArray> km90Stream(int frames)
{
    QList<QByteArray> reports;
    for (int i = 0; i < frames; ++i) {
        Km90Frame f;
        const int k = i % 200;
        f.function = (i % 50 == 49) ? 3 : 0;
        f.mainDigits = QStringLiteral("%1").arg(
            f.function == 3 ? 850 + k % 100 : 1000 + 37 * k, 4, 10, QChar(u'0'));
        f.mainPoint = f.function == 3 ? 3 : 1;
        f.voltageDigits = QStringLiteral("%1").arg(2290 + k % 17, 4, 10, QChar(u'0'));
        f.voltagePoint = 1;
        f.currentDigits = QStringLiteral("%1").arg(5100 + 3 * k, 4, 10, QChar(u'0'));
        f.currentPoint = 3;
        f.memory = i % 100;
        f.status.minus = (k % 7) == 0;
        reports.append(CableReports::frameReports(f.bytes(), 1));
    }
    return reports;
}

void BM_DecodeKm90(benchmark::State &state)
{
    const QList<QByteArray> stream = km90Stream(1000);
    NullOutputs outputs;
    CurrentReading reading;
    Km90Decoder decoder(outputs, reading, QStringLiteral("."));
    FrameAssembler link(26);
    QString lastHistoryLine; // the window keeps a bounded history; one line stands for it here
    link.setHistoryHandler([&](const QString &line) { lastHistoryLine = line; });
    link.setShowData50([&](const QString &frame) { decoder.ShowData50(frame); });

    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        for (const QByteArray &r : stream)
            link.Read50(quint8(r[0]), QByteArrayView(r).sliced(1));
    }
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const double frames = double(state.iterations()) * 1000.0;
    if (link.framesDecoded() != quint64(frames) || link.framesFailed() != 0)
        state.SkipWithError("frames were lost or refused");
    state.SetItemsProcessed(int64_t(frames));
    reportFigure(state, "decode_km90_frames_per_second", frames / elapsed.count(), "frames/s");
}
BENCHMARK(BM_DecodeKm90)->Unit(benchmark::kMillisecond)->MinTime(2.0);

} // namespace
