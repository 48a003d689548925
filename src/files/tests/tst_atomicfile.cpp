// SPDX-License-Identifier: MIT
#include "files/AtomicFile.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <array>
#include <cerrno>
#include <optional>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

using AtomicFile::Failure;
using AtomicFile::Handling;

namespace {

// What stands under the name "t" in a fresh folder before the save.
enum class Setup {
    Nothing,
    RegularFile,
    MissingFolder, // the name is in a folder that does not exist
    Folder,
    UnwritableFolder, // a file "t" in a folder that refuses new files
    UnwritableFile,
    SymlinkToFile,
    DanglingSymlink,
    NullDevice,
    FullDevice, // every write fails: no space left
    SymlinkToDevice,
    PipeWithReader,
    PipeWithoutReader,
    BlockDevice,
    Socket,
};

const QByteArray NewContent("new content");
const QByteArray HalfContent("half of the new");
const QByteArray OldContent("old");
constexpr uid_t Nobody = 65534;

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray encoded(const QString &path)
{
    return QFile::encodeName(path);
}

// The file type bits of what a name itself is (a link is not followed); 0 when
// there is nothing.
mode_t typeOf(const QString &path)
{
    struct stat st
    {
    };
    return ::lstat(encoded(path).constData(), &st) == 0 ? st.st_mode & S_IFMT : 0;
}

ino_t inodeOf(const QString &path)
{
    struct stat st
    {
    };
    return ::stat(encoded(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// A character device node: as root a private node in folder (so that a save
// that wrongly replaced it would not replace the system's), otherwise the
// system's own. Empty when no node can be made.
QString charDevice(const QString &folder, const QString &name, unsigned minor)
{
    if (geteuid() != 0)
        return QStringLiteral("/dev/") + name;
    const QString path = folder + u'/' + name;
    if (::mknod(encoded(path).constData(), S_IFCHR | 0666, makedev(1, minor)) != 0)
        return QString();
    return path;
}

// Runs as an unprivileged user while it lives when the test runs as root, so
// that file permissions are enforced; the folder is given to that user.
class Unprivileged
{
public:
    explicit Unprivileged(const QString &folder)
    {
        if (geteuid() != 0)
            return;
        QDir dir(folder);
        for (const QString &name : dir.entryList(QDir::AllEntries | QDir::NoDotAndDotDot))
            m_ok = ::lchown(encoded(dir.filePath(name)).constData(), Nobody, Nobody) == 0 && m_ok;
        m_ok = ::chown(encoded(folder).constData(), Nobody, Nobody) == 0 && m_ok;
        m_ok = m_ok && ::setresgid(Nobody, Nobody, 0) == 0;
        m_ok = m_ok && ::setresuid(Nobody, Nobody, 0) == 0;
        m_dropped = true;
    }
    ~Unprivileged()
    {
        if (!m_dropped)
            return;
        // Back to root: the saved IDs are still root's.
        if (::setresuid(0, 0, 0) != 0 || ::setresgid(0, 0, 0) != 0)
            qFatal("cannot become root again");
    }
    Q_DISABLE_COPY_MOVE(Unprivileged)

    bool ok() const { return m_ok; }

private:
    bool m_ok = true;
    bool m_dropped = false;
};

} // namespace

Q_DECLARE_METATYPE(Setup)
Q_DECLARE_METATYPE(AtomicFile::Handling)
Q_DECLARE_METATYPE(AtomicFile::Failure)

class TestAtomicFile : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void save_data();
    void save();
};

void TestAtomicFile::save_data()
{
    QTest::addColumn<Setup>("setup");
    QTest::addColumn<bool>("abandon"); // the producer gives up half-way
    QTest::addColumn<Handling>("handling");
    QTest::addColumn<Failure>("failure");
    QTest::addColumn<bool>("wroteInto");
    // The names in the folder afterwards.
    QTest::addColumn<QStringList>("names");
    // What the regular file (or a pipe's reader) holds afterwards; null: not checked.
    QTest::addColumn<QByteArray>("content");

    const QStringList t { QStringLiteral("t") };
    const QStringList linkAndTarget { QStringLiteral("t"), QStringLiteral("target") };
    const QByteArray unchecked;

    QTest::newRow("new file written") << Setup::Nothing << false << Handling::Replace
                                      << Failure::None << false << t << NewContent;
    QTest::newRow("regular file replaced") << Setup::RegularFile << false << Handling::Replace
                                           << Failure::None << false << t << NewContent;
    QTest::newRow("failed write keeps the existing file intact")
        << Setup::RegularFile << true << Handling::Replace << Failure::Write << false << t
        << OldContent;
    QTest::newRow("failed write leaves no file")
        << Setup::Nothing << true << Handling::Replace << Failure::Write << false << QStringList()
        << unchecked;
    QTest::newRow("missing folder") << Setup::MissingFolder << false << Handling::Replace
                                    << Failure::Open << false << QStringList() << unchecked;
    QTest::newRow("name is a folder: refused, folder kept")
        << Setup::Folder << false << Handling::Refuse << Failure::Folder << false << t << unchecked;
    QTest::newRow("unwritable folder keeps the existing file")
        << Setup::UnwritableFolder << false << Handling::Replace << Failure::Open << false << t
        << OldContent;
    QTest::newRow("unwritable existing file kept")
        << Setup::UnwritableFile << false << Handling::Replace << Failure::Open << false << t
        << OldContent;
    QTest::newRow("symlink: target replaced, link kept")
        << Setup::SymlinkToFile << false << Handling::Replace << Failure::None << false
        << linkAndTarget << NewContent;
    QTest::newRow("dangling symlink: target created, link kept")
        << Setup::DanglingSymlink << false << Handling::Replace << Failure::None << false
        << linkAndTarget << NewContent;
    QTest::newRow("null device written into, kept")
        << Setup::NullDevice << false << Handling::WriteInto << Failure::None << true
        << QStringList() << unchecked;
    QTest::newRow("full device written into, fails, kept")
        << Setup::FullDevice << false << Handling::WriteInto << Failure::Write << true
        << QStringList() << unchecked;
    QTest::newRow("symlink to a device: device written into, link kept")
        << Setup::SymlinkToDevice << false << Handling::WriteInto << Failure::None << true << t
        << unchecked;
    QTest::newRow("pipe written into, kept")
        << Setup::PipeWithReader << false << Handling::WriteInto << Failure::None << true << t
        << NewContent;
    QTest::newRow("pipe keeps what reached it before a failure")
        << Setup::PipeWithReader << true << Handling::WriteInto << Failure::Write << true << t
        << HalfContent;
    QTest::newRow("pipe without a reader fails at once, kept")
        << Setup::PipeWithoutReader << false << Handling::WriteInto << Failure::Open << true << t
        << unchecked;
    QTest::newRow("block device refused, kept")
        << Setup::BlockDevice << false << Handling::Refuse << Failure::Refused << false
        << QStringList() << unchecked;
    QTest::newRow("socket refused, kept") << Setup::Socket << false << Handling::Refuse
                                          << Failure::Refused << false << t << unchecked;
}

void TestAtomicFile::save()
{
    QFETCH(Setup, setup);
    QFETCH(bool, abandon);
    QFETCH(Handling, handling);
    QFETCH(Failure, failure);
    QFETCH(bool, wroteInto);
    QFETCH(QStringList, names);
    QFETCH(QByteArray, content);

    QTemporaryDir temporary;
    QVERIFY(temporary.isValid());
    const QDir dir(temporary.path());
    QString path = dir.filePath(QStringLiteral("t"));
    // Where the content lands when it is a regular file.
    QString landing = path;
    QTemporaryDir devices;
    QString device;
    int reader = -1;
    int socketFd = -1;
    auto cleanUp = qScopeGuard([&] {
        if (reader >= 0)
            ::close(reader);
        if (socketFd >= 0)
            ::close(socketFd);
        QFile::setPermissions(
            dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    });

    switch (setup) {
    case Setup::Nothing:
        break;
    case Setup::RegularFile:
        QVERIFY(writeBytes(path, OldContent));
        break;
    case Setup::MissingFolder:
        path = dir.filePath(QStringLiteral("missing/t"));
        break;
    case Setup::Folder:
        QVERIFY(dir.mkdir(QStringLiteral("t")));
        break;
    case Setup::UnwritableFolder:
        QVERIFY(writeBytes(path, OldContent));
        QVERIFY(QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner));
        break;
    case Setup::UnwritableFile:
        QVERIFY(writeBytes(path, OldContent));
        QVERIFY(QFile::setPermissions(path, QFileDevice::ReadOwner));
        break;
    case Setup::SymlinkToFile:
        QVERIFY(writeBytes(dir.filePath(QStringLiteral("target")), OldContent));
        Q_FALLTHROUGH();
    case Setup::DanglingSymlink:
        QCOMPARE(::symlink("target", encoded(path).constData()), 0);
        landing = dir.filePath(QStringLiteral("target"));
        break;
    case Setup::NullDevice:
    case Setup::FullDevice:
    case Setup::SymlinkToDevice:
        // Devices made as root live in a folder of their own, so that the
        // test folder lists only what the save made.
        QVERIFY(devices.isValid());
        device = setup == Setup::FullDevice ? charDevice(devices.path(), QStringLiteral("full"), 7)
                                            : charDevice(devices.path(), QStringLiteral("null"), 3);
        if (device.isEmpty())
            QSKIP("No device node can be made for the test");
        if (setup == Setup::SymlinkToDevice)
            QCOMPARE(::symlink(encoded(device).constData(), encoded(path).constData()), 0);
        else
            path = device;
        break;
    case Setup::PipeWithReader:
    case Setup::PipeWithoutReader:
        QCOMPARE(::mkfifo(encoded(path).constData(), 0600), 0);
        if (setup == Setup::PipeWithReader) {
            reader = ::open(encoded(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
            QVERIFY(reader >= 0);
        }
        break;
    case Setup::BlockDevice:
        if (geteuid() != 0) {
            // Any block device will do: it is refused before it is opened.
            for (const char *candidate : { "/dev/loop0", "/dev/sda", "/dev/vda", "/dev/nvme0n1" }) {
                if (typeOf(QString::fromLatin1(candidate)) == S_IFBLK) {
                    path = QString::fromLatin1(candidate);
                    break;
                }
            }
            if (path.startsWith(dir.path()))
                QSKIP("No block device to name");
        } else if (::mknod(encoded(path).constData(), S_IFBLK | 0600, makedev(7, 250)) != 0) {
            QSKIP("No device node can be made for the test");
        } else {
            names = QStringList { QStringLiteral("t") };
        }
        break;
    case Setup::Socket: {
        socketFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        QVERIFY(socketFd >= 0);
        sockaddr_un address {};
        address.sun_family = AF_UNIX;
        const QByteArray name = encoded(path);
        if (size_t(name.size()) >= sizeof(address.sun_path))
            QSKIP("The temporary folder's name is too long for a socket");
        std::copy(name.begin(), name.end(), address.sun_path);
        QCOMPARE(
            ::bind(socketFd, reinterpret_cast<const sockaddr *>(&address), sizeof(address)), 0);
        break;
    }
    }

    const mode_t before = typeOf(path);
    const ino_t inodeBefore = inodeOf(landing);
    AtomicFile::Result result;
    QElapsedTimer clock;
    {
        const bool permissions = setup == Setup::UnwritableFolder || setup == Setup::UnwritableFile;
        std::optional<Unprivileged> unprivileged;
        if (permissions) {
            unprivileged.emplace(dir.path());
            QVERIFY(unprivileged->ok());
            // The temporary folder must be reachable, and the permissions enforced.
            if (::access(encoded(path).constData(), R_OK) != 0)
                QSKIP("The temporary folder cannot be reached by an unprivileged user");
        }
        QCOMPARE(AtomicFile::handlingOf(path), handling);
        clock.start();
        result = AtomicFile::write(path, [abandon](QIODevice &out, QString &error) {
            if (abandon) {
                out.write(HalfContent);
                error = QStringLiteral("disk full");
                return false;
            }
            if (out.write(NewContent) != NewContent.size()) {
                error = out.errorString();
                return false;
            }
            return true;
        });
    }
    QVERIFY2(clock.elapsed() < 5000, "the save waited");

    QCOMPARE(result.failure, failure);
    QCOMPARE(result.ok(), failure == Failure::None);
    QCOMPARE(result.reason.isEmpty(), result.ok());
    QCOMPARE(result.wroteInto, wroteInto);
    if (abandon)
        QCOMPARE(result.reason, QStringLiteral("disk full"));
    if (setup == Setup::PipeWithoutReader)
        QCOMPARE(result.reason, QStringLiteral("no program reads from the pipe"));

    // What the name is stays what it was: a link a link, a pipe a pipe, a
    // device a device; only nothing becomes a regular file.
    if (before != 0)
        QCOMPARE(typeOf(path), before);
    // Nothing else came or went: no temporary file stays behind.
    QCOMPARE(dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot),
        names);

    if (reader >= 0) {
        std::array<char, 256> buffer {};
        const ssize_t n = ::read(reader, buffer.data(), buffer.size());
        QCOMPARE(QByteArray(buffer.data(), n < 0 ? 0 : qsizetype(n)), content);
    } else if (!content.isNull()) {
        QCOMPARE(fileBytes(landing), content);
    }
    // A replaced file is a new file that took the name, not the old one rewritten.
    if (!device.isEmpty())
        QCOMPARE(typeOf(device), mode_t(S_IFCHR));
    if (setup == Setup::RegularFile && result.ok())
        QVERIFY(inodeOf(landing) != inodeBefore);
    if (setup == Setup::RegularFile && !result.ok())
        QCOMPARE(inodeOf(landing), inodeBefore);
}

QTEST_GUILESS_MAIN(TestAtomicFile)
#include "tst_atomicfile.moc"
