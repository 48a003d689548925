// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

// The few file calls the journal needs beyond Qt's: appending with plain
// writes, cutting a file, flushing it to the disk from another thread on a
// second handle, and noticing that its folder was removed. One source per
// platform (JournalFile_posix.cpp, JournalFile_windows.cpp).
namespace JournalFile {

// A handle for appending, or -1 (lastError() says why).
int openForWriting(const QString &path, bool truncate);
bool cutTo(int fd, qint64 size);
// Bytes written, or -1.
qint64 writeSome(int fd, const char *data, qint64 size);
void closeHandle(int fd);
// Reads what is there, up to size bytes, waiting only while nothing is (one
// read of a pipe returns what the writer has written). Bytes read, 0 at the
// end, -1 on an error.
qint64 readSome(int fd, char *data, qint64 size);
// A second handle on the same file, for the flush thread; -1 when none.
int duplicate(int fd);
// Flushes the file's data to the disk (fdatasync where there is one).
bool syncToDisk(int fd);
// The file no longer has a name (its folder was removed).
bool isRemoved(int fd);
// The handle (0 standard input, 1 standard output, ...) is a terminal; meterlog
// flushes its output per frame when it is not.
bool isTerminal(int fd);
// Takes an exclusive advisory lock on the file or device node at path, so
// that two meterlog processes never read one cable. Returns a handle that
// keeps the lock until it is closed, or -1: busy is set when another process
// holds the lock, and left unset when there is nothing that can be locked
// (the path is not a file this process can open, or the platform has no such
// lock). The lock goes when the process ends, however it ends.
int lockExclusive(const QString &path, bool &busy);
// The system's text for the last failure of one of these calls.
QString lastError();

} // namespace JournalFile
