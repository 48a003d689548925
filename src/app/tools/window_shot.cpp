// SPDX-License-Identifier: MIT
// Takes a picture of a program's window while the demo meter streams:
//   km_window_shot km90|km50_60 OUT.png [seconds]
// Runs on any Qt platform, including offscreen.
#include "app/KmApplication.h"
#include "app/Unit1.h"
#include "dialogs/QtUserDialogs.h"
#include "hid/HidControllerClass.h"
#include "hid/demo/DemoCableBackend.h"
#include "models/ModelDescription.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    KmApplication::useProgramStyle();
    const QStringList args = app.arguments();
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: km_window_shot km90|km50_60 OUT.png [seconds]\n");
        return 2;
    }
    const ModelDescription *found = findMeterModel(args.at(1));
    if (!found) {
        std::fprintf(stderr, "usage: km_window_shot km90|km50_60 OUT.png [seconds]\n");
        return 2;
    }
    const MeterModel model = found->model;
    const int seconds = args.size() > 3 ? args.at(3).toInt() : 4;
    QtUserDialogs dialogs;
    TFrmTest window(model, std::make_shared<DemoCableBackend>(model), {}, dialogs);
    window.show();
    window.Panel2Click();
    QTimer::singleShot(seconds * 1000, &app, [&] {
        const bool saved = window.grab().save(args.at(2));
        app.exit(saved ? 0 : 1);
    });
    return app.exec();
}
