// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"

#include <QStringList>

#include <functional>

class QWidget;

// What the command line asks for.
struct ProgramArguments
{
    enum class Action { Run, Help, Version, Usage };
    Action action = Action::Run;
    bool demo = false;
    QString unknown; // the first argument not understood (Action::Usage)
};

// Reads the arguments after the program name: --demo, --help, --version.
ProgramArguments parseProgramArguments(const QStringList &arguments);

QString programUsage(const QString &programName);

// Whether Qt's platform can reach a display, judged from QT_QPA_PLATFORM and
// the display variables before Qt starts (Qt aborts the program when it finds
// none). The default platform and xcb need DISPLAY, wayland WAYLAND_DISPLAY;
// platforms without a display server (offscreen, vnc, linuxfb, ...) need
// nothing. A list such as "wayland;xcb" needs one of its platforms.
bool displayAvailable(
    const QString &platform, const QString &display, const QString &waylandDisplay);
// What a program says, on standard error, when there is none.
QString noDisplayMessage(const QString &programName, const QString &modelName);

// Runs one of the two programs: start-up, the window and its event loop.
// windowMade, when given, is called with the window once it is made, before it
// is shown (the start-up benchmark's probe, km_first_paint).
int runProgram(MeterModel model, int argc, char **argv,
    const std::function<void(QWidget &window)> &windowMade = {});
