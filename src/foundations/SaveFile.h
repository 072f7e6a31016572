#pragma once
// Writing a whole file so that it is either replaced completely or not at all: the bytes go
// to a temporary file next to it, and only when every byte has reached the disk does that
// file take the old one's place. On any failure (a full disk, a size limit, a folder that
// cannot be written) the old file stays as it was, byte for byte, and the caller learns
// why. Every file the program writes goes through here.

#include <QByteArray>
#include <QFileDevice>
#include <QString>

namespace orvid {

struct SaveFileResult {
    QFileDevice::FileError error = QFileDevice::NoError;
    QString errorString; // for the user; empty on success

    bool ok() const { return error == QFileDevice::NoError; }
};

SaveFileResult SaveFileAtomically(const QString& path, const QByteArray& bytes);

} // namespace orvid
