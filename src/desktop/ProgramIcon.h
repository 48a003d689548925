// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"

#include <QIcon>

// The program's icon: the desktop theme's icon named after the application ID
// (the installed one, or a theme's own), else the copy built into the program.
QIcon programIcon(MeterModel model);

// The copy built into the program: the same pictures that are installed into
// the hicolor theme, at every installed size.
QIcon bundledProgramIcon(MeterModel model);

// The sizes in pixels of the installed and built-in pictures.
QList<int> programIconSizes();
