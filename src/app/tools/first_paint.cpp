// SPDX-License-Identifier: MIT
// Starts a program's window and ends as soon as the window's first complete
// frame is on the screen: km_first_paint [km90|km50_60] [--grab frame.png].
// It prints the moment of that frame (FirstPaintProbe.h); the start-up
// benchmark times the process from its start to that moment and to its end.
// With --grab it also saves the frame, so a change of the start-up can be
// checked to leave the first frame as it was.
#include "app/FontWarmUp.h"
#include "app/KmApplication.h"
#include "app/Unit1.h"
#include "app/tools/FirstPaintProbe.h"
#include "dialogs/RecordingUserDialogs.h"
#include "hid/HidControllerClass.h"
#include "hid/demo/DemoCableBackend.h"
#include "models/ModelDescription.h"

#include <QApplication>

int main(int argc, char **argv)
{
    // The programs' own application object, as KM90 and KM50_60 start.
    const FontSystemWarmUp fontWarmUp;
    KmApplication app(argc, argv);
    QStringList arguments = app.arguments().mid(1);
    QString grabFile;
    if (const qsizetype at = arguments.indexOf(QStringLiteral("--grab")); at >= 0) {
        grabFile = arguments.value(at + 1);
        arguments.remove(at, qMin<qsizetype>(2, arguments.size() - at));
    }
    // The model named by the first argument; the KM90 without one.
    const ModelDescription *named = findMeterModel(arguments.value(0));
    const MeterModel model = named ? named->model : meterModels().first()->model;
    RecordingUserDialogs dialogs;
    TFrmTest window(model, std::make_shared<DemoCableBackend>(model), {}, dialogs);
    FirstPaintProbe probe(window, grabFile);
    window.show();
    return app.exec();
}
