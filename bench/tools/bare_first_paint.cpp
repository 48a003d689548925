// SPDX-License-Identifier: MIT
// The floor of the start-up benchmark: an application object and one window
// holding a label, ending at the window's first paint, the same way
// km_first_paint ends with a program's window.
#include <QApplication>
#include <QEvent>
#include <QLabel>

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
    QLabel window(QStringLiteral("Hello"));
    FirstPaint watcher;
    window.installEventFilter(&watcher);
    window.show();
    return app.exec();
}
