// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"

#include <QStringList>

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

// Runs one of the two programs: start-up, the window and its event loop.
int runProgram(MeterModel model, int argc, char **argv);
