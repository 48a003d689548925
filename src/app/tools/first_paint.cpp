// SPDX-License-Identifier: MIT
// Starts a program's window and ends as soon as the window has been painted
// for the first time: km_first_paint km90|km50_60. The start-up benchmark times
// this process from its start to its end.
#include "app/KmApplication.h"
#include "app/Unit1.h"
#include "dialogs/RecordingUserDialogs.h"
#include "hid/HidControllerClass.h"
#include "hid/demo/DemoCableBackend.h"
#include "models/ModelDescription.h"

#include <QApplication>
#include <QEvent>

namespace {

class FirstPaint : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            QMetaObject::invokeMethod(
                qApp, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    KmApplication::useProgramStyle();
    // The model named by the first argument; the KM90 without one.
    const ModelDescription *named = findMeterModel(app.arguments().value(1));
    const MeterModel model = named ? named->model : meterModels().first()->model;
    RecordingUserDialogs dialogs;
    TFrmTest window(model, std::make_shared<DemoCableBackend>(model), {}, dialogs);
    FirstPaint watcher;
    window.client().installEventFilter(&watcher);
    window.show();
    return app.exec();
}
