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

// Whether a symbolic link at the path itself is followed. The data folder's files are read with
// Refuse: a sync tool carries links from other machines, and a link named like one of our files
// could point anywhere (a key, a shell's start file). A link is then NotAFile.
enum class Links { Follow, Refuse };

// Which file was read: compared before a rewrite replaces it, so that a file a sync tool put in
// its place meanwhile is never overwritten unseen.
struct Stamp
{
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 modifiedNs = 0;
    bool operator==(const Stamp &o) const
    {
        return exists == o.exists && (!exists || (device == o.device && inode == o.inode && size == o.size && modifiedNs == o.modifiedNs));
    }
    bool operator!=(const Stamp &o) const { return !(*this == o); }
};

// The stamp of what stands at the path now, the link itself for a link.
Stamp stampOf(const QString &path);

// Whether the path names such a file, without opening it: Read or Missing when it could be read.
Status check(const QString &path, qint64 limit, Links links = Links::Follow);

// The file's bytes, read in pieces and never past the limit. It is opened so that a pipe or a
// device put in its place after check() cannot hold the read up. *stamp, when given, is the
// file that was read (not exists when Missing).
Status read(const QString &path, qint64 limit, QByteArray *bytes, Links links = Links::Follow, Stamp *stamp = nullptr);

// The rest of an open device (an archive's entry, say), in pieces and never past the limit:
// Read, Unreadable or TooLarge, with nothing kept but on Read.
Status readDevice(QIODevice &device, qint64 limit, QByteArray *bytes);

}
