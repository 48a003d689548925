// SPDX-License-Identifier: MIT
#include "journal/JournalFile.h"

#include <QFile>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace JournalFile {

int openForWriting(const QString &path, bool truncate)
{
    const QByteArray native = QFile::encodeName(path);
    return ::open(native.constData(),
        O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | (truncate ? O_TRUNC : 0), 0600);
}

bool cutTo(int fd, qint64 size)
{
    return ::ftruncate(fd, off_t(size)) == 0;
}

qint64 writeSome(int fd, const char *data, qint64 size)
{
    qint64 n;
    do {
        n = ::write(fd, data, size_t(size));
    } while (n < 0 && errno == EINTR);
    return n;
}

qint64 readSome(int fd, char *data, qint64 size)
{
    qint64 n;
    do {
        n = ::read(fd, data, size_t(size));
    } while (n < 0 && errno == EINTR);
    return n;
}

void closeHandle(int fd)
{
    ::close(fd);
}

int duplicate(int fd)
{
    return ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
}

bool syncToDisk(int fd)
{
#if defined(__APPLE__)
    return ::fsync(fd) == 0;
#else
    return ::fdatasync(fd) == 0;
#endif
}

bool isRemoved(int fd)
{
    struct stat st;
    return ::fstat(fd, &st) == 0 && st.st_nlink == 0;
}

bool isTerminal(int fd)
{
    return ::isatty(fd) != 0;
}

int lockExclusive(const QString &path, bool &busy)
{
    busy = false;
    const QByteArray native = QFile::encodeName(path);
    // Read-only and non-blocking: nothing is read from it, and a device node
    // must not wait in open.
    const int fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return -1;
    int result;
    do {
        result = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        return fd;
    const int error = errno;
    ::close(fd);
    busy = error == EWOULDBLOCK;
    errno = error;
    return -1;
}

QString lastError()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace JournalFile
