// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The programs' general error report: an error that no handler dealt with is
// shown in an error box captioned with the application title, and the program
// carries on.
namespace ErrorReport {

// The application title: a single blank.
QString applicationTitle();

// The message as the box shows it: a full stop is added when the last
// character sorts after the full stop. "Disk full" becomes "Disk full.";
// "Done." and "Failed!" stay as they are ("!" sorts before ".").
QString boxText(const QString &message);

} // namespace ErrorReport
