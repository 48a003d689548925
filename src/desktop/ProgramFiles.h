// SPDX-License-Identifier: MIT
#pragma once

#include "core/MeterModel.h"

#include <QString>
#include <QStringList>

// Where the installed programs find their files, and what they say about the
// package they come from. Window-free, so that tests can check it on any
// folder layout.
namespace ProgramFiles {

// The help file's name.
inline constexpr char16_t helpFileName[] = u"km50.hlp";

// Where the programs look for the help file, in order: beside the program
// (the build folder, or an install that keeps everything in one folder), then
// the package's data folder below the prefix the program was installed into
// (<prefix>/share/km-meters seen from <prefix>/bin).
QStringList helpFileCandidates(const QString &programFolder);

// The first candidate that is a file. When none is, the first candidate: the
// help window then names the place beside the program.
QString helpFilePath(const QString &programFolder);

// One line for --help and the start-up note: "Help file: PATH", or that the
// file was not found and where it was looked for.
QString helpFileReport(const QString &programFolder);

// The package's name and version, e.g. "km-meters 0.1.0".
QString packageVersionText();

// The reverse-DNS application ID: the desktop file's and the icon's name, the
// AppStream component ID and the Wayland app ID.
QString applicationId(MeterModel model);

} // namespace ProgramFiles
