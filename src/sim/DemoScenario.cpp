// SPDX-License-Identifier: MIT
#include "sim/DemoScenario.h"

#include "sim/MeterFrames.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kFrameSeconds = kDemoFramePeriodMs / 1000.0;

// The load under the clamp and the probes, t seconds into the loop.
struct Line
{
    double volts = 0;
    double amps = 0;
    double phaseDeg = 0; // positive for a lagging load, negative for a leading one
    double hertz = 0;

    double phaseRad() const { return phaseDeg * std::numbers::pi / 180.0; }
    double apparentKva() const { return volts * amps / 1000.0; }
    double activeKw() const { return apparentKva() * std::cos(phaseRad()); }
    double reactiveKvar() const { return apparentKva() * std::sin(phaseRad()); }
    // The meter signs the power factor of a leading load negative.
    double powerFactor() const { return std::copysign(std::cos(phaseRad()), phaseDeg); }
};

Line lineAt(double t)
{
    Line q;
    q.volts = 229.0 + 2.5 * std::sin(0.21 * t) + 0.6 * std::sin(1.3 * t);
    q.amps
        = 62.0 + 57.0 * std::sin(2 * std::numbers::pi * t / 20.0 + 0.4) + 4.0 * std::sin(0.9 * t);
    q.phaseDeg = 20.0 + 30.0 * std::sin(2 * std::numbers::pi * t / 6.0);
    q.hertz = 50.0 + 0.04 * std::sin(0.3 * t);
    return q;
}

// A reading as the meter shows it: four digits of |value| and the point code
// (0 none, 1, 2 or 3 decimals). Like the meter's AUTO range it keeps as many
// decimals as fit, at most maxDecimals.
struct Shown
{
    QString digits;
    int point = 0;
    bool negative = false;
};

Shown shown(double value, int maxDecimals)
{
    int decimals = maxDecimals;
    long scaled = std::lround(std::fabs(value) * std::pow(10.0, decimals));
    while (decimals > 0 && scaled > 9999)
        scaled = std::lround(std::fabs(value) * std::pow(10.0, --decimals));
    scaled = std::min(scaled, 9999L);
    return { QStringLiteral("%1").arg(scaled, 4, 10, QChar(u'0')), decimals,
        value < 0 && scaled != 0 };
}

// What the operator does with each function, by frame: live readings, then
// MAX, MIN, and a HOLD of a second that stores the held reading in the next
// memory location, then live readings again.
constexpr int kFramesPerFunction = 18;
enum class Mode { Live, Max, Min, Hold };

Mode modeAt(int frame)
{
    if (frame >= 6 && frame < 9)
        return Mode::Max;
    if (frame >= 9 && frame < 11)
        return Mode::Min;
    if (frame >= 11 && frame < 15)
        return Mode::Hold;
    return Mode::Live;
}

// The main reading as a frame shows it (both meters' point codes 1 to 3 give
// that many decimals).
template<typename Frame>
double shownMain(const Frame &f)
{
    const double value = f.mainDigits.toInt()
        / std::pow(10.0, f.mainPoint >= 1 && f.mainPoint <= 3 ? f.mainPoint : 0);
    return f.status.minus ? -value : value;
}

// Whether the meter offers MAX and MIN for a function: not for energy, which
// only ever adds up.
enum class Extremes { Offered, NotOffered };

// Builds the steps of one loop. Frame is Km90Frame or Km50Frame.
template<typename Frame>
class ScenarioWriter
{
public:
    QList<DemoStep> steps;
    double t = 0; // seconds since the loop began
    int memory = 1; // the next free memory location

    void add(const Frame &f)
    {
        steps.append({ f.bytes(), kDemoFramePeriodMs });
        t += kFrameSeconds;
    }

    // One function: main(line) is the main reading, make(line, reading) the
    // frame that shows it. Every screen is one the meter shows: a live one; in
    // MAX or MIN the whole screen of the moment the extreme was measured,
    // which stays until a new extreme replaces it; in HOLD the screen of the
    // moment HOLD was pressed, frozen.
    template<typename Main, typename Make>
    void function(Main main, Make make, Extremes extremes = Extremes::Offered)
    {
        double extreme = 0;
        Frame extremeScreen;
        Frame held;
        for (int i = 0; i < kFramesPerFunction; ++i) {
            const Line q = lineAt(t);
            const double live = main(q);
            Mode mode = modeAt(i);
            if (extremes == Extremes::NotOffered && (mode == Mode::Max || mode == Mode::Min))
                mode = Mode::Live;
            const bool entering = i == 0 || modeAt(i - 1) != modeAt(i);
            if (mode == Mode::Hold) {
                if (entering) {
                    held = make(q, live);
                    held.memory = memory++;
                    held.status.hold = true;
                    held.status.mem = true;
                }
                add(held);
                continue;
            }
            Frame f = make(q, live);
            if (mode != Mode::Live) {
                // The meter compares what it shows.
                const double reading = shownMain(f);
                const bool further = mode == Mode::Max ? reading > extreme : reading < extreme;
                if (entering || further) {
                    extreme = reading;
                    extremeScreen = f;
                }
                f = extremeScreen;
            }
            f.memory = memory - 1;
            f.status.max = mode == Mode::Max;
            f.status.min = mode == Mode::Min;
            add(f);
        }
    }

    void silence() { steps.append({ QByteArray(), kDemoSilenceMs }); }
};

// A surge: the current jumps far beyond the load for a few frames.
double surgeAmps(int frame)
{
    return 880.0 + 130.0 * frame;
}

} // namespace

QList<DemoStep> km90DemoScenario()
{
    ScenarioWriter<Km90Frame> w;
    auto frame = [](int function, const Line &q, double reading, int maxDecimals) {
        Km90Frame f;
        f.function = function;
        const Shown main = shown(reading, maxDecimals);
        f.mainDigits = main.digits;
        f.mainPoint = main.point;
        f.status.minus = main.negative;
        const Shown volts = shown(q.volts, 1);
        f.voltageDigits = volts.digits;
        f.voltagePoint = volts.point;
        const Shown amps = shown(q.amps, 3);
        f.currentDigits = amps.digits;
        f.currentPoint = amps.point;
        f.status.highVoltage = q.volts >= 30.0;
        return f;
    };
    struct Function
    {
        int code;
        double (*main)(const Line &);
        int maxDecimals;
    };
    const Function functions[] = {
        { 0, [](const Line &q) { return q.activeKw(); }, 3 },
        { 1, [](const Line &q) { return q.apparentKva(); }, 3 },
        { 2, [](const Line &q) { return q.reactiveKvar(); }, 3 },
        { 3, [](const Line &q) { return q.powerFactor(); }, 3 },
        { 4, [](const Line &q) { return q.phaseDeg; }, 1 },
        { 5, [](const Line &q) { return q.hertz; }, 2 },
    };
    for (const Function &fn : functions) {
        w.function(fn.main, [&](const Line &q, double reading) {
            return frame(fn.code, q, reading, fn.maxDecimals);
        });
    }

    // Back to active power: a motor starts and the power goes over range.
    for (int i = 0; i < 8; ++i) {
        Line q = lineAt(w.t);
        const bool surge = i >= 2 && i < 6;
        if (surge) {
            q.amps = surgeAmps(i);
            q.volts -= 7.5;
        }
        Km90Frame f = frame(0, q, q.activeKw(), 3);
        f.status.mainOverload = surge;
        f.memory = w.memory - 1;
        w.add(f);
    }

    // The sum display, three phases of the load together; the battery runs low.
    for (int i = 0; i < 8; ++i) {
        const Line q = lineAt(w.t);
        Km90Frame f = frame(7, q, 3 * q.activeKw(), 3);
        f.status.sum = true;
        f.status.battery = true;
        f.memory = w.memory - 1;
        w.add(f);
    }
    w.silence();
    return w.steps;
}

QList<DemoStep> km50DemoScenario()
{
    ScenarioWriter<Km50Frame> w;
    auto frame = [](int function, double reading, int maxDecimals, Shown secondary) {
        Km50Frame f;
        f.function = function;
        const Shown main = shown(reading, maxDecimals);
        f.mainDigits = main.digits;
        f.mainPoint = main.point;
        f.status.minus = main.negative;
        f.secondaryDigits = secondary.digits;
        f.secondaryPoint = secondary.point;
        return f;
    };
    // Readings that the secondary display shows have no sign.
    auto hertz = [](const Line &q) { return shown(q.hertz, 2); };
    auto volts = [](const Line &q) { return shown(q.volts, 1); };
    auto angle = [](const Line &q) { return shown(std::fabs(q.phaseDeg), 1); };
    auto kvar = [](const Line &q) { return shown(std::fabs(q.reactiveKvar()), 3); };

    w.function([](const Line &q) { return q.volts; },
        [&](const Line &q, double v) {
            Km50Frame f = frame(0, v, 1, hertz(q));
            f.status.highVoltage = true;
            return f;
        });
    w.function([](const Line &q) { return q.amps; },
        [&](const Line &q, double a) {
            Km50Frame f = frame(1, a, 3, volts(q));
            f.status.highVoltage = true;
            return f;
        });
    w.function([](const Line &q) { return q.activeKw(); },
        [&](const Line &q, double p) { return frame(2, p, 3, angle(q)); });
    w.function([](const Line &q) { return q.apparentKva(); },
        [&](const Line &q, double s) { return frame(3, s, 3, kvar(q)); });
    w.function([](const Line &q) { return q.powerFactor(); },
        [&](const Line &q, double pf) { return frame(4, pf, 3, angle(q)); });

    // Energy adds up while the load draws power; the secondary display is off,
    // and the meter offers no MAX or MIN of a sum that only grows.
    double kwh = 1.2;
    w.function(
        [&](const Line &q) {
            kwh += q.activeKw() * kFrameSeconds / 3600.0;
            return kwh;
        },
        [&](const Line &, double e) {
            return frame(5, e, 3, Shown { QStringLiteral("0000"), 0, false });
        },
        Extremes::NotOffered);

    // A thermocouple on a warming motor housing: degrees Celsius on the main
    // display, the same temperature in degrees Fahrenheit on the second.
    int warming = 0;
    w.function([&](const Line &) { return 24.0 + 31.0 * (1.0 - std::exp(-warming++ / 6.0)); },
        [&](const Line &, double c) { return frame(6, c, 1, shown(c * 9.0 / 5.0 + 32.0, 1)); });

    // Current again: a motor starts and the current goes over range.
    for (int i = 0; i < 8; ++i) {
        Line q = lineAt(w.t);
        const bool surge = i >= 2 && i < 6;
        if (surge) {
            q.amps = surgeAmps(i);
            q.volts -= 7.5;
        }
        Km50Frame f = frame(1, q.amps, 3, volts(q));
        f.status.mainOverload = surge;
        f.status.highVoltage = true;
        f.memory = w.memory - 1;
        w.add(f);
    }

    // Sum power of three phases, kept in memory; the battery runs low.
    for (int i = 0; i < 8; ++i) {
        const Line q = lineAt(w.t);
        Km50Frame f = frame(7, 3 * q.activeKw(), 3, shown(3 * q.apparentKva(), 3));
        f.status.sum = true;
        f.status.mem = true;
        f.status.battery = true;
        f.memory = w.memory - 1;
        w.add(f);
    }
    w.silence();
    return w.steps;
}
