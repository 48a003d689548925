// SPDX-License-Identifier: MIT
// Writes the report of a table of demo readings as a PDF, for the documentation
// and for looking at the report without a printer:
//   report_demo <file.pdf> [km90|km50_60] [rows]
// Render a page with pdftoppm (poppler-utils), e.g.
//   pdftoppm -png -r 100 -f 1 -l 1 report.pdf page
#include "models/ModelDescription.h"
#include "recording/ReadingTable.h"
#include "reports/ReportPainter.h"

#include <QDate>
#include <QGuiApplication>
#include <QTime>

#include <cmath>
#include <cstdio>

namespace {

void fill(ReadingTable &table, int rows)
{
    const QTime start(9, 30, 0);
    for (int i = 1; i <= rows; ++i) {
        const QString time = start.addSecs(i * 2).toString(QStringLiteral("hh:mm:ss"));
        const bool overload = i % 17 == 9;
        if (modelDescription(table.meterModel()).rowHasVoltageAndCurrent) {
            const double volts = 229.5 + 1.8 * std::sin(i / 5.0);
            const double amps = 5.2 + 0.9 * std::sin(i / 7.0);
            const QString power = overload ? QStringLiteral("OL")
                                           : QString::number(volts * amps / 1000 * 0.92, 'f', 3);
            table.appendRow(i,
                QStringList { time, power, QStringLiteral("KW"), QString::number(volts, 'f', 1),
                    QStringLiteral("V"), QString::number(amps, 'f', 3), QStringLiteral("A") });
        } else {
            const QString value = overload
                ? QStringLiteral("OL")
                : QString::number(24.0 + 1.5 * std::sin(i / 6.0), 'f', 1);
            table.appendRow(i, QStringList { time, value, QStringLiteral("\u2103") });
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: report_demo <file.pdf> [km90|km50_60] [rows]\n");
        return 2;
    }
    // The model named by the second argument; the KM90 without one.
    const ModelDescription *named = findMeterModel(args.value(2));
    const MeterModel model = named ? named->model : meterModels().first()->model;
    ReadingTable table(model);
    fill(table, args.size() > 3 ? args[3].toInt() : 80);
    const auto report = layOutTableReport(
        table, reportDateText(QDate(2025, 3, 4)), allPageCount(table.rowCount()));
    const auto result = writeReportPdf(*report, args[1]);
    if (!result.ok) {
        std::fprintf(stderr, "%s\n", qPrintable(result.error));
        return 1;
    }
    return 0;
}
