// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"

#include <QIcon>
#include <QImage>
#include <QList>

// The program's icon: the desktop theme's icon named after the application ID
// (the installed one, or a theme's own), else the copy built into the program.
QIcon programIcon(MeterModel model);

// The copy built into the program: the same pictures that are installed into
// the hicolor theme, at every installed size.
QIcon bundledProgramIcon(MeterModel model);

// The pictures of the built-in copy, smallest first. Images need no
// application object, so they can be read on any thread and before the
// application object exists; bundledProgramIcon(model) is
// iconOfImages(bundledProgramImages(model)).
QList<QImage> bundledProgramImages(MeterModel model);
QIcon iconOfImages(const QList<QImage> &images);

// The desktop theme's icon named after the application ID, or a null icon
// when the theme has none. Looking it up reads the theme's index (some
// milliseconds for hicolor).
QIcon themeProgramIcon(MeterModel model);

// The sizes in pixels of the installed and built-in pictures.
QList<int> programIconSizes();
