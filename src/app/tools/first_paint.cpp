// SPDX-License-Identifier: MIT
// Starts a program as KM90 or KM50_60 start (runProgram: the same application
// object, cable back end, journal, window icon and window) and ends as soon as
// the window's first complete frame is on the screen:
// km_first_paint [km90|km50_60] [--grab frame.png].
// It prints the moment of that frame (FirstPaintProbe.h); the start-up
// benchmark times the process from its start to that moment and to its end.
// With --grab it also saves the frame, so a change of the start-up can be
// checked to leave the first frame as it was.
#include "app/ProgramMain.h"
#include "app/tools/FirstPaintProbe.h"
#include "models/ModelDescription.h"

#include <QString>
#include <QStringList>

#include <memory>

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    QString grabFile;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--grab")); at >= 0) {
        grabFile = arguments.value(at + 1);
        arguments.remove(at, qMin<qsizetype>(2, arguments.size() - at));
    }
    // The model named by the first argument; the KM90 without one. The
    // program itself gets no arguments, as when started from the menu.
    const ModelDescription *named = findMeterModel(arguments.value(0));
    const MeterModel model = named ? named->model : meterModels().first()->model;
    int programArgc = 1;
    std::unique_ptr<FirstPaintProbe> probe;
    return runProgram(model, programArgc, argv,
        [&](QWidget &window) { probe = std::make_unique<FirstPaintProbe>(window, grabFile); });
}
