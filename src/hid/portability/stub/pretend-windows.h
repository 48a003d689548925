// SPDX-License-Identifier: MIT
// Forced in front of every source of the portability check. Qt's own headers
// are read first with the real platform (they have Windows parts that need the
// real SDK); then the platform macros say Windows, so that the sources'
// Windows branches are compiled.
#pragma once

#include <QtCore/QtCore>

#undef Q_OS_LINUX
#undef Q_OS_UNIX
#define Q_OS_WIN32
#define Q_OS_WIN
