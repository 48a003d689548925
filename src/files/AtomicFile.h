// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <functional>

class QIODevice;

// Saving a file so that a failed save never leaves a half-written file behind:
// the one way every save of the programs (table files, report files and
// exports, PDF, chart picture) writes a file.
//
// The rule: what the name stands for when the save starts decides.
//
// - Nothing, or a regular file: the content goes into a temporary file beside
//   it (QSaveFile), which takes the name only once it is complete. A failed save
//   leaves an existing file as it was and no temporary file behind. An existing
//   file that is not writable is refused, and so is a folder that does not let
//   a file be created in it: the old file is never written in place.
// - A symbolic link is followed, even one whose target does not exist yet: the
//   target is written by the rule above and the link stays a link.
// - A character device (/dev/null, /dev/full, a terminal) or a pipe (FIFO) is
//   written straight into and is never replaced. Such a file cannot be replaced
//   without putting a plain file where the system's device or another program's
//   pipe was (as root, a rename over /dev/null would do just that), and writing
//   into it is what a user who names one asks for. A pipe that no program reads
//   from fails at once instead of blocking the program until one comes. What
//   reached the device or pipe before a failure stays there: it cannot be taken
//   back.
// - Anything else is refused before anything is written: a folder, a block
//   device (a save never writes into a disk), a socket.
namespace AtomicFile {

// How a save treats what the name stands for (see above).
enum class Handling {
    Replace, // nothing there yet, or a regular file (through symlinks)
    WriteInto, // a character device or a pipe
    Refuse, // a folder, a block device, a socket
};

// Why a save failed.
enum class Failure {
    None,
    Folder, // the name is a folder; nothing was written
    Refused, // a block device or socket (see above); nothing was written
    Open, // the file, its temporary file or the device could not be opened
    Write, // the producer failed; a file that was there is unchanged
    Commit, // the temporary file could not take the name, or the device not be closed
};

struct Result
{
    Failure failure = Failure::None;
    // Why it failed: the producer's message, or else the system's; empty on
    // success. Callers put it into their own message with the file name.
    QString reason;
    // The content went (or was to go) straight into a device or pipe.
    bool wroteInto = false;

    bool ok() const { return failure == Failure::None; }
};

// Writes the content to the open device it is given; returns false to abandon
// the save, after setting the message (left empty, the device's error is taken).
using Producer = std::function<bool(QIODevice &device, QString &error)>;

Handling handlingOf(const QString &path);

// Saves what produce writes under path, by the rule above.
Result write(const QString &path, const Producer &produce);

} // namespace AtomicFile
