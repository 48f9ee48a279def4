#pragma once

#include <QByteArray>
#include <QIODevice>
#include <QString>

// Files named by the user or found on the machine are read only when they are plain, readable
// files of bounded size: a folder, a pipe (which would wait for a writer forever), a device
// (which may never end) or a file past the limit is refused before anything is read, and a file
// that grows while it is read is refused when it passes the limit, never read whole.
namespace BoundedFile {

enum class Status {
    Read,
    Missing,      // nothing at the path
    Unreadable,   // no permission, or a read error
    NotAFile,     // a folder, a pipe, a device, a dangling link ...
    TooLarge,     // past the limit
};

// Whether the path names such a file, without opening it: Read or Missing when it could be read.
Status check(const QString &path, qint64 limit);

// The file's bytes, read in pieces and never past the limit. It is opened so that a pipe or a
// device put in its place after check() cannot hold the read up.
Status read(const QString &path, qint64 limit, QByteArray *bytes);

// The rest of an open device (an archive's entry, say), in pieces and never past the limit:
// Read, Unreadable or TooLarge, with nothing kept but on Read.
Status readDevice(QIODevice &device, qint64 limit, QByteArray *bytes);

}
