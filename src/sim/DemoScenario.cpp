// SPDX-License-Identifier: MIT
#include "DemoScenario.h"

#include "MeterFrames.h"

#include <cmath>

namespace {

// Four digit characters of |value| shown with the given number of decimals.
QString digitsOf(double value, int decimals)
{
    const long scaled = std::lround(std::fabs(value) * std::pow(10.0, decimals));
    return QStringLiteral("%1").arg(scaled % 10000, 4, 10, QChar(u'0'));
}

// The point code that puts `decimals` digits after the point.
int pointFor(int decimals)
{
    return decimals; // 1: one decimal, 2: two, 3: three; 0: none
}

QList<DemoStep> km90Scenario()
{
    QList<DemoStep> steps;
    auto add = [&](const Km90Frame &f) { steps.append({ f.bytes(), 0 }); };
    int memory = 1;
    double t = 0;

    // Each function in turn with a reading that drifts smoothly.
    struct Function
    {
        int code;
        double centre, swing;
        int decimals;
    };
    const Function functions[] = { { 0, 118.0, 35.0, 1 }, { 1, 131.0, 30.0, 1 },
        { 2, 42.0, 25.0, 1 }, { 3, 0.1, 0.8, 3 }, { 4, 20.0, 60.0, 1 }, { 5, 50.0, 0.08, 2 } };
    for (const Function &fn : functions) {
        for (int i = 0; i < 14; ++i, t += 0.45) {
            Km90Frame f;
            f.function = fn.code;
            const double v = fn.centre + fn.swing * std::sin(t);
            f.mainDigits = digitsOf(v, fn.decimals);
            f.mainPoint = pointFor(fn.decimals);
            f.status.minus = v < 0;
            f.voltageDigits = digitsOf(229.0 + 2.5 * std::sin(t / 3), 1);
            f.voltagePoint = 1;
            f.currentDigits = digitsOf(5.2 + 1.1 * std::sin(t / 2), 3);
            f.currentPoint = 3;
            f.memory = memory;
            f.status.battery = i >= 12 && fn.code == 5; // the battery runs low near the end
            f.status.max = i >= 4 && i < 7;
            f.status.min = i >= 8 && i < 10;
            f.status.hold = i == 11;
            f.status.highVoltage = fn.code == 0 && i > 8;
            add(f);
        }
        memory += 7;
    }
    // A negative overload, held, with the memory filling up.
    for (int i = 0; i < 5; ++i) {
        Km90Frame f;
        f.mainDigits = QStringLiteral("9999");
        f.voltageDigits = QStringLiteral("2301");
        f.voltagePoint = 1;
        f.currentDigits = QStringLiteral("9870");
        f.currentPoint = 3;
        f.memory = 97 + i % 3;
        f.status.minus = i >= 2;
        f.status.mainOverload = true;
        f.status.hold = i >= 3;
        f.status.mem = true;
        f.status.mark1 = true;
        add(f);
    }
    // The sum display.
    for (int i = 0; i < 6; ++i) {
        Km90Frame f;
        f.function = 7;
        f.mainDigits = digitsOf(247.5 + i * 0.3, 1);
        f.mainPoint = 1;
        f.voltageDigits = QStringLiteral("2301");
        f.voltagePoint = 1;
        f.currentDigits = QStringLiteral("5360");
        f.currentPoint = 3;
        f.memory = 12;
        f.status.sum = true;
        f.status.mark2 = i % 2 == 0;
        f.status.mark3 = i % 2 == 1;
        add(f);
    }
    steps.append({ QByteArray(), kDemoSilenceMs });
    return steps;
}

QList<DemoStep> km50Scenario()
{
    QList<DemoStep> steps;
    auto add = [&](const Km50Frame &f) { steps.append({ f.bytes(), 0 }); };
    double t = 0;

    struct Function
    {
        int code;
        double centre, swing;
        int decimals;
        const char *secondary;
        int secondaryPoint;
    };
    const Function functions[] = {
        { 0, 229.0, 4.0, 1, "5000", 2 },
        { 1, 12.0, 6.0, 2, "2301", 1 },
        { 2, 2.8, 1.2, 3, "1231", 2 },
        { 3, 3.1, 1.0, 3, "1234", 3 },
        { 4, 0.2, 0.75, 3, "0000", 0 },
        { 5, 12.7, 0.4, 1, "0000", 0 },
        { 6, 60.0, 90.0, 1, "0000", 4 },
    };
    int memory = 2;
    for (const Function &fn : functions) {
        for (int i = 0; i < 12; ++i, t += 0.5) {
            Km50Frame f;
            f.function = fn.code;
            const double v = fn.centre + fn.swing * std::sin(t);
            f.mainDigits = digitsOf(v, fn.decimals);
            f.mainPoint = pointFor(fn.decimals);
            f.status.minus = v < 0;
            f.secondaryDigits = QString::fromLatin1(fn.secondary);
            f.secondaryPoint = fn.secondaryPoint;
            f.memory = memory;
            f.status.max = i >= 3 && i < 5;
            f.status.min = i >= 6 && i < 8;
            f.status.hold = i == 10;
            f.status.battery = fn.code == 6 && i > 9;
            f.status.highVoltage = fn.code == 0;
            add(f);
        }
        memory += 9;
    }
    for (int i = 0; i < 4; ++i) {
        Km50Frame f; // current overload
        f.function = 1;
        f.mainDigits = QStringLiteral("9999");
        f.secondaryDigits = QStringLiteral("2301");
        f.secondaryPoint = 1;
        f.memory = 98 + i % 2;
        f.status.mainOverload = true;
        f.status.minus = i >= 2;
        f.status.mem = true;
        f.status.mark1 = true;
        add(f);
    }
    for (int i = 0; i < 5; ++i) {
        Km50Frame f; // sum power
        f.function = 7;
        f.mainDigits = digitsOf(0.6 + 0.01 * i, 3);
        f.mainPoint = 3;
        f.secondaryDigits = QStringLiteral("1121");
        f.status.minus = true;
        f.status.mem = true;
        f.status.sum = true;
        add(f);
    }
    steps.append({ QByteArray(), kDemoSilenceMs });
    return steps;
}

} // namespace

QList<DemoStep> demoScenario(MeterModel model)
{
    return model == MeterModel::Km90 ? km90Scenario() : km50Scenario();
}
