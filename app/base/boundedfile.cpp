#include "boundedfile.h"

#include <QFile>
#include <QFileInfo>
#include <QDateTime>

#include <cerrno>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace BoundedFile {

namespace {

#ifdef Q_OS_UNIX
Stamp stampFrom(const struct stat &st)
{
    Stamp stamp;
    stamp.exists = true;
    stamp.device = quint64(st.st_dev);
    stamp.inode = quint64(st.st_ino);
    stamp.size = qint64(st.st_size);
    stamp.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    return stamp;
}
#endif

}

Stamp stampOf(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st;
    if (::lstat(QFile::encodeName(path).constData(), &st) == 0)
        return stampFrom(st);
#else
    const QFileInfo info(path);
    if (info.exists()) {
        Stamp stamp;
        stamp.exists = true;
        stamp.size = info.size();
        stamp.modifiedNs = info.lastModified().toMSecsSinceEpoch() * 1000000;
        return stamp;
    }
#endif
    return Stamp();
}

Status check(const QString &path, qint64 limit, Links links)
{
    const QFileInfo info(path);
    if (links == Links::Refuse && info.isSymLink())
        return Status::NotAFile;
    if (!info.exists())
        return info.isSymLink() ? Status::NotAFile : Status::Missing;   // a dangling link
    if (!info.isFile())
        return Status::NotAFile;
    if (info.size() > limit)
        return Status::TooLarge;
    if (!info.isReadable())
        return Status::Unreadable;
    return Status::Read;
}

Status read(const QString &path, qint64 limit, QByteArray *bytes, Links links, Stamp *stamp)
{
    bytes->clear();
    if (stamp)
        *stamp = Stamp();
    const Status status = check(path, limit, links);
    if (status != Status::Read)
        return status;
    QFile file;
#ifdef Q_OS_UNIX
    // Opened without waiting (a FIFO's open waits for a writer), then asked what it is; a link
    // put in the file's place after check() is refused by the open itself.
    const int noFollow = links == Links::Refuse ? O_NOFOLLOW : 0;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | noFollow);
    if (fd < 0)
        return errno == ELOOP ? Status::NotAFile : errno == ENOENT ? Status::Missing : Status::Unreadable;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Status::NotAFile;
    }
    if (stamp)
        *stamp = stampFrom(st);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return Status::Unreadable;
    }
#else
    file.setFileName(path);
    if (!file.open(QIODevice::ReadOnly))
        return Status::Unreadable;
#endif
    bytes->reserve(int(qMin(file.size(), limit)));
    return readDevice(file, limit, bytes);
}

Status readDevice(QIODevice &device, qint64 limit, QByteArray *bytes)
{
    // In pieces: reading "up to the limit" at once would first take the limit's worth of memory.
    char piece[65536];
    for (;;) {
        const qint64 n = device.read(piece, sizeof piece);
        if (n < 0) {
            bytes->clear();
            return Status::Unreadable;
        }
        if (n == 0)
            break;
        bytes->append(piece, int(n));
        if (bytes->size() > limit) {
            bytes->clear();
            return Status::TooLarge;
        }
    }
    return Status::Read;
}

}
