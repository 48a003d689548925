// SPDX-License-Identifier: MIT
// The floor of the start-up benchmark: an application object and one window
// holding a label, ending at the window's first complete frame the same way
// km_first_paint ends with a program's window (FirstPaintProbe.h):
// bare_first_paint [--grab frame.png].
#include "app/tools/FirstPaintProbe.h"

#include <QApplication>
#include <QLabel>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const qsizetype at = arguments.indexOf(QStringLiteral("--grab"));
    QLabel window(QStringLiteral("Hello"));
    FirstPaintProbe probe(window, at >= 0 ? arguments.value(at + 1) : QString());
    window.show();
    return app.exec();
}
