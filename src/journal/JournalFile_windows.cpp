// SPDX-License-Identifier: MIT
#include "journal/JournalFile.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

namespace JournalFile {

int openForWriting(const QString &path, bool truncate)
{
    return ::_wopen(reinterpret_cast<const wchar_t *>(path.utf16()),
        _O_WRONLY | _O_CREAT | _O_BINARY | _O_APPEND | _O_NOINHERIT | (truncate ? _O_TRUNC : 0),
        _S_IREAD | _S_IWRITE);
}

bool cutTo(int fd, qint64 size)
{
    return ::_chsize_s(fd, size) == 0;
}

qint64 writeSome(int fd, const char *data, qint64 size)
{
    return ::_write(fd, data, unsigned(qMin<qint64>(size, 1 << 30)));
}

qint64 readSome(int fd, char *data, qint64 size)
{
    return ::_read(fd, data, unsigned(qMin<qint64>(size, 1 << 30)));
}

void closeHandle(int fd)
{
    ::_close(fd);
}

int duplicate(int fd)
{
    return ::_dup(fd);
}

bool syncToDisk(int fd)
{
    return ::_commit(fd) == 0;
}

bool isRemoved(int)
{
    return false; // Windows does not let a folder with an open file in it be removed
}

bool isTerminal(int fd)
{
    return ::_isatty(fd) != 0;
}

int lockExclusive(const QString &, bool &busy)
{
    // A HID path on Windows is no file to lock; the cable is not guarded.
    busy = false;
    return -1;
}

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace JournalFile
