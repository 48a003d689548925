// SPDX-License-Identifier: MIT
// Renders the KM90 LCD for a few typical frames into PNG files, for the
// documentation and for looking at the panel without a display:
//   km90_panel_snapshot <folder>
// writes lcd-km90-<state>.png into the folder.
#include "core/CurrentReading.h"
#include "models/common/RecordingOutputs.h"
#include "models/km90/Km90Decoder.h"
#include "models/km90/panel/Km90Panel.h"
#include "models/km90/tests/Km90Fixture.h"
#include "sim/MeterFrames.h"

#include <QApplication>
#include <QDir>
#include <QFont>

#include <cstdio>
#include <utility>
#include <vector>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (app.arguments().size() < 2) {
        std::fprintf(stderr, "usage: km90_panel_snapshot <folder>\n");
        return 2;
    }
    QApplication::setFont(QFont(QStringLiteral("Liberation Sans"), 9));
    const QDir folder(app.arguments()[1]);

    // Power, power factor and an overload after power: the frames the tests use.
    using Km90Fixture::overloadHeld;
    using Km90Fixture::power;
    using Km90Fixture::powerFactor;

    Km90Frame sum;
    sum.function = 7;
    sum.mainDigits = QStringLiteral("1846");
    sum.mainPoint = 2;
    sum.voltageDigits = QStringLiteral("2301");
    sum.voltagePoint = 1;
    sum.currentDigits = QStringLiteral("0802");
    sum.currentPoint = 2;
    sum.memory = 99;
    sum.status.sum = true;
    sum.status.mark1 = true;
    sum.status.mark2 = true;
    sum.status.mark3 = true;
    sum.status.mem = true;
    sum.status.highVoltage = true;

    const std::vector<std::pair<const char *, QStringList>> states {
        { "startup", {} },
        { "power", { power } },
        { "powerfactor", { powerFactor } },
        { "overload", { power, overloadHeld } },
        { "sum", { power, sum.frameDigits() } },
    };
    for (const auto &[name, frames] : states) {
        RecordingOutputs outputs;
        CurrentReading reading;
        Km90Decoder decoder(outputs, reading, QStringLiteral("."));
        Km90Panel panel(decoder.lcd());
        for (const QString &frame : frames)
            decoder.ShowData50(frame);
        panel.refresh();
        const QString file
            = folder.filePath(QStringLiteral("lcd-km90-%1.png").arg(QLatin1String(name)));
        if (!panel.grab().save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
