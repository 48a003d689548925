// SPDX-License-Identifier: MIT
#include "files/AtomicFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#ifdef Q_OS_UNIX
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace AtomicFile {

namespace {

// What a name stands for, symbolic links followed.
enum class Kind { Missing, Regular, Folder, CharDevice, Pipe, BlockDevice, Socket };

#ifdef Q_OS_UNIX
Kind kindOfMode(mode_t mode)
{
    if (S_ISREG(mode))
        return Kind::Regular;
    if (S_ISDIR(mode))
        return Kind::Folder;
    if (S_ISCHR(mode))
        return Kind::CharDevice;
    if (S_ISFIFO(mode))
        return Kind::Pipe;
    if (S_ISBLK(mode))
        return Kind::BlockDevice;
    return Kind::Socket;
}
#endif

Kind kindOf(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st
    {
    };
    // A name that cannot be looked up (not there, a dangling link, a folder on
    // the way that cannot be searched) is left to QSaveFile, which creates it
    // or says why it cannot.
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return Kind::Missing;
    return kindOfMode(st.st_mode);
#else
    const QFileInfo info(path);
    if (!info.exists())
        return Kind::Missing;
    if (info.isDir())
        return Kind::Folder;
    if (info.isFile())
        return Kind::Regular;
    return Kind::CharDevice;
#endif
}

Handling handlingOfKind(Kind kind)
{
    switch (kind) {
    case Kind::Missing:
    case Kind::Regular:
        return Handling::Replace;
    case Kind::CharDevice:
    case Kind::Pipe:
        return Handling::WriteInto;
    case Kind::Folder:
    case Kind::BlockDevice:
    case Kind::Socket:
        break;
    }
    return Handling::Refuse;
}

Result failed(Failure failure, const QString &reason, bool wroteInto = false)
{
    Result result;
    result.failure = failure;
    result.reason = reason;
    result.wroteInto = wroteInto;
    return result;
}

// A regular file, or a name not taken yet: through a temporary file beside it.
// QSaveFile follows symbolic links itself and refuses an existing file it may
// not write and a folder it may not create the temporary file in.
Result replace(const QString &path, const Producer &produce)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(Failure::Open, file.errorString());
    QString why;
    if (!produce(file, why)) {
        const QString reason = why.isEmpty() ? file.errorString() : why;
        file.cancelWriting();
        return failed(Failure::Write, reason);
    }
    if (!file.commit())
        return failed(Failure::Commit, file.errorString());
    return {};
}

// Opens a character device or a pipe for writing, without creating,
// truncating or replacing anything.
bool openStream(QFile &file, const QString &path, Kind kind, QString &reason)
{
#ifdef Q_OS_UNIX
    // Opened without waiting: a pipe that nobody reads from fails at once
    // (ENXIO) instead of blocking until a reader comes, a terminal line does
    // not wait for its carrier. Writes wait as usual afterwards.
    const int fd
        = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        reason = error == ENXIO && kind == Kind::Pipe
            ? QStringLiteral("no program reads from the pipe")
            : qt_error_string(error);
        return false;
    }
    struct stat st
    {
    };
    if (::fstat(fd, &st) != 0 || kindOfMode(st.st_mode) != kind) {
        ::close(fd);
        reason = QStringLiteral("the file changed while it was being opened");
        return false;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags == -1 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == -1) {
        reason = qt_error_string(errno);
        ::close(fd);
        return false;
    }
    if (!file.open(
            fd, QIODevice::WriteOnly | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        reason = file.errorString();
        ::close(fd);
        return false;
    }
    return true;
#else
    Q_UNUSED(kind);
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        reason = file.errorString();
        return false;
    }
    return true;
#endif
}

// A character device or a pipe: written straight into.
Result writeInto(const QString &path, Kind kind, const Producer &produce)
{
    QFile file;
    QString reason;
    if (!openStream(file, path, kind, reason))
        return failed(Failure::Open, reason, true);
    QString why;
    if (!produce(file, why))
        return failed(Failure::Write, why.isEmpty() ? file.errorString() : why, true);
    file.close();
    if (file.error() != QFileDevice::NoError)
        return failed(Failure::Commit, file.errorString(), true);
    Result result;
    result.wroteInto = true;
    return result;
}

} // namespace

Handling handlingOf(const QString &path)
{
    return handlingOfKind(kindOf(path));
}

Result write(const QString &path, const Producer &produce)
{
    const Kind kind = kindOf(path);
    switch (kind) {
    case Kind::Missing:
    case Kind::Regular:
        return replace(path, produce);
    case Kind::CharDevice:
    case Kind::Pipe:
        return writeInto(path, kind, produce);
    case Kind::Folder: {
        // QSaveFile's own words for it ("Filename refers to a directory", or that
        // the folder is not writable); it refuses before creating anything.
        QSaveFile file(path);
        const QString reason = file.open(QIODevice::WriteOnly)
            ? QStringLiteral("the name is a folder")
            : file.errorString();
        return failed(Failure::Folder, reason);
    }
    case Kind::BlockDevice:
        return failed(
            Failure::Refused, QStringLiteral("a save does not write into a block device"));
    case Kind::Socket:
        break;
    }
    return failed(Failure::Refused, QStringLiteral("a save does not write into a socket"));
}

} // namespace AtomicFile
