#include "SaveFile.h"

#include "SystemError.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace orvid {

namespace {

SaveFileResult failure(int error)
{
    return {error, SystemErrorText(error)};
}

// Every byte through the descriptor, each call checked: a write cut short by a full disk
// is followed by one that says why.
int writeAll(int fd, const QByteArray& bytes)
{
    const char* data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, data, static_cast<size_t>(left));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return n < 0 ? errno : EIO;
        data += n;
        left -= n;
    }
    return 0;
}

// A sync that the file system cannot do at all (EINVAL) is no failure.
int syncToDisk(int fd)
{
    return ::fsync(fd) != 0 && errno != EINVAL ? errno : 0;
}

// The file a save replaces: a symbolic link is followed to the file it names, so the link
// stays a link.
QFileInfo targetOf(const QString& path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 40 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? QFileInfo(path) : info;
}

// Makes a file of a name no file has yet, next to the target: its name, a dot and six
// random letters (the form the settings store clears when a save was cut off). make(name)
// returns false with errno set; only EEXIST tries another name. 0 or the error number.
template <class Make>
int makeFresh(const QByteArray& target, QByteArray& made, Make make)
{
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (int attempt = 0; attempt < 100; ++attempt) {
        QByteArray name = target + '.';
        for (int i = 0; i < 6; ++i)
            name += kLetters[QRandomGenerator::global()->bounded(52)];
        if (make(name.constData())) {
            made = name;
            return 0;
        }
        if (errno != EEXIST)
            return errno;
    }
    return EEXIST;
}

} // namespace

SaveFileResult SaveFileAtomically(const QString& path, const QByteArray& bytes)
{
    const QFileInfo target = targetOf(path);
    const QByteArray finalName = QFile::encodeName(target.absoluteFilePath());
    const QByteArray folder = QFile::encodeName(target.absolutePath());

    struct stat old {};
    const bool exists = ::stat(finalName.constData(), &old) == 0;
    if (exists && S_ISDIR(old.st_mode))
        return failure(EISDIR);
    // A file made read-only stays as it is.
    if (exists && ::access(finalName.constData(), W_OK) != 0)
        return failure(errno);
    // Until it has the old file's permissions, the new file is its owner's alone.
    const mode_t mode = exists ? 0600 : 0666;

    // A file without a name leaves nothing behind when the program dies while writing; it
    // is named through /proc once its bytes are on the disk. File systems without such
    // files get a named one from the start.
    static const bool procFs = ::access("/proc/self/fd", F_OK) == 0;
    int fd = procFs ? ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode) : -1;
    const bool unnamed = fd >= 0;
    QByteArray tempName; // the named temporary file while it exists
    if (!unnamed) {
        if (procFs && errno != EOPNOTSUPP && errno != EISDIR)
            return failure(errno);
        const int error = makeFresh(finalName, tempName, [&fd, mode](const char* name) {
            fd = ::open(name, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
            return fd >= 0;
        });
        if (error != 0)
            return failure(error);
    }
    const auto cleanUp = qScopeGuard([&] {
        ::close(fd);
        if (!tempName.isEmpty())
            ::unlink(tempName.constData());
    });
    if (exists)
        ::fchmod(fd, old.st_mode & 07777); // on failure the file stays its owner's alone

    // One sync, its result checked: file systems that allot space only when the data goes
    // to the disk (network and copy-on-write ones) report a full disk here.
    int error = writeAll(fd, bytes);
    if (error == 0)
        error = syncToDisk(fd);
    if (error == 0 && unnamed) {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
        error = makeFresh(finalName, tempName, [&self](const char* name) {
            return ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name, AT_SYMLINK_FOLLOW) == 0;
        });
    }
    if (error == 0 && ::rename(tempName.constData(), finalName.constData()) != 0)
        error = errno;
    if (error != 0)
        return failure(error); // the temporary file goes, the old file stays
    tempName.clear();

    // The new name is an entry of the folder: only with the folder synced does it survive
    // a power cut.
    const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0)
        return failure(errno);
    error = syncToDisk(dir);
    ::close(dir);
    return error == 0 ? SaveFileResult{} : failure(error);
}

} // namespace orvid
