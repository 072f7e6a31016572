#pragma once
// Writing a whole file so that it is either replaced completely or not at all: the bytes go
// to a temporary file next to it, and only when every byte has reached the disk does that
// file take the old one's place; then the folder is synced too, so that the new name
// survives a power cut. On any failure (a full disk, a size limit, a folder that cannot be
// written) the old file stays as it was, byte for byte, no temporary file is left, and the
// caller learns why. Every file the program writes goes through here.

#include <QByteArray>
#include <QString>

namespace orvid {

struct SaveFileResult {
    int error = 0;       // the system's error number (errno); 0 on success
    QString errorString; // its text, for the user (SystemErrorText); empty on success

    bool ok() const { return error == 0; }
};

SaveFileResult SaveFileAtomically(const QString& path, const QByteArray& bytes);

} // namespace orvid
