// SPDX-License-Identifier: MIT
// Renders the KM50/KM60 LCD for a few typical frames into PNG files, for the
// documentation and for looking at the panel without a display:
//   km50_panel_snapshot <folder>
// writes lcd-km50_60-<state>.png into the folder.
#include "core/CurrentReading.h"
#include "models/common/RecordingOutputs.h"
#include "models/km50_60/Km50Decoder.h"
#include "models/km50_60/panel/Km50Panel.h"
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
        std::fprintf(stderr, "usage: km50_panel_snapshot <folder>\n");
        return 2;
    }
    QApplication::setFont(QFont(QStringLiteral("Liberation Sans"), 9));
    const QDir folder(app.arguments()[1]);

    Km50Frame voltage;
    voltage.function = 0;
    voltage.mainDigits = QStringLiteral("2301");
    voltage.mainPoint = 1;
    voltage.secondaryDigits = QStringLiteral("0500");
    voltage.secondaryPoint = 1;
    voltage.memory = 7;
    voltage.status.hold = true;

    Km50Frame temperature;
    temperature.function = 6;
    temperature.mainDigits = QStringLiteral("0236");
    temperature.mainPoint = 1;
    temperature.secondaryDigits = QStringLiteral("0745");
    temperature.secondaryPoint = 1;
    temperature.memory = 3;

    Km50Frame energy;
    energy.function = 5;
    energy.mainDigits = QStringLiteral("1258");
    energy.mainPoint = 2;
    energy.memory = 12;
    energy.status.mem = true;

    Km50Frame overload;
    overload.function = 4;
    overload.mainPoint = 3;
    overload.secondaryDigits = QStringLiteral("0500");
    overload.secondaryPoint = 1;
    overload.status.minus = true;
    overload.status.mainOverload = true;
    overload.status.max = true;
    overload.memory = 99;

    Km50Frame sum;
    sum.function = 7;
    sum.mainDigits = QStringLiteral("1846");
    sum.mainPoint = 2;
    sum.secondaryDigits = QStringLiteral("0231");
    sum.secondaryPoint = 2;
    sum.status.sum = true;
    sum.status.mark1 = true;
    sum.status.mark2 = true;
    sum.status.mark3 = true;
    sum.status.battery = true;
    sum.status.highVoltage = true;

    const std::vector<std::pair<const char *, QString>> states {
        { "startup", QString() },
        { "voltage", voltage.frameDigits() },
        { "temperature", temperature.frameDigits() },
        { "energy", energy.frameDigits() },
        { "overload", overload.frameDigits() },
        { "sum", sum.frameDigits() },
    };
    for (const auto &[name, frame] : states) {
        RecordingOutputs outputs;
        CurrentReading reading;
        Km50Decoder decoder(outputs, reading, QStringLiteral("."));
        Km50Panel panel(decoder.lcd());
        if (!frame.isEmpty())
            decoder.ShowData50(frame);
        panel.refresh();
        const QString file
            = folder.filePath(QStringLiteral("lcd-km50_60-%1.png").arg(QLatin1String(name)));
        if (!panel.grab().save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
