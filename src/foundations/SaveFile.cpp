#include "SaveFile.h"

#include <QSaveFile>

#include <cerrno>
#include <unistd.h>

namespace orvid {

namespace {

SaveFileResult failure(QFileDevice::FileError error, const QString& text)
{
    return {error == QFileDevice::NoError ? QFileDevice::WriteError : error, text};
}

SaveFileResult failure(int error)
{
    return {error == ENOSPC ? QFileDevice::ResourceError : QFileDevice::WriteError, qt_error_string(error)};
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

} // namespace

SaveFileResult SaveFileAtomically(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failure(file.error(), file.errorString());

    // Not through QSaveFile::write: it keeps small writes in a buffer that only commit()
    // flushes, and commit() replaces the old file even when that flush failed, so a full
    // disk would leave an empty or cut file in its place, reported as success.
    int error = writeAll(file.handle(), bytes);
    // File systems that allot space only when the data goes to the disk (network and
    // copy-on-write ones) report a full disk on the sync. A file that cannot be synced
    // at all (EINVAL) is no failure.
    if (error == 0 && ::fsync(file.handle()) != 0 && errno != EINVAL)
        error = errno;
    if (error != 0) {
        file.cancelWriting(); // the temporary file goes, the old file stays
        return failure(error);
    }
    if (!file.commit())
        return failure(file.error(), file.errorString());
    return {};
}

} // namespace orvid
