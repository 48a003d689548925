// SPDX-License-Identifier: MIT
// Renders the chart panel with a few hundred demo readings into a PNG file, for
// the documentation and for looking at the chart without a display:
//   chart_panel_snapshot <file.png> [km90|km50_60] [values]
#include "chart/ChartPanel.h"
#include "chart/Chtshow.h"
#include "dialogs/RecordingUserDialogs.h"
#include "models/ModelDescription.h"

#include <QApplication>
#include <QFont>

#include <cmath>
#include <cstdio>

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: chart_panel_snapshot <file.png> [km90|km50_60] [values]\n");
        return 2;
    }
    QApplication::setFont(QFont(QStringLiteral("Liberation Sans"), 8));
    // The model named by the second argument; the KM90 without one.
    const ModelDescription *named = findMeterModel(args.value(2));
    const MeterModel model = named ? named->model : meterModels().first()->model;
    const int values = args.size() > 3 ? args[3].toInt() : 290;

    RecordingUserDialogs dialogs;
    ChartPanel panel(modelDescription(model).chart, dialogs);
    TChartControl &chart = panel.chartControl();
    // A power reading drifting around 400 kW with a slow swing and a short dip.
    chart.SetValueMinimum(-1000);
    chart.SetValueMaximum(1000);
    qint32 page = 1;
    for (int i = 1; i <= values; ++i) {
        double y = 420 + 260 * std::sin(i / 23.0) + 60 * std::sin(i / 3.7);
        if (i % 97 > 85)
            y -= 700;
        page = chart.AddValue(y);
    }
    panel.showPageNumber(page);
    panel.chart()->refreshNow();
    if (!panel.grab().save(args[1], "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(args[1]));
        return 1;
    }
    return 0;
}
