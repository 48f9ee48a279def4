#include "boundedfile.h"

#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace BoundedFile {

Status check(const QString &path, qint64 limit)
{
    const QFileInfo info(path);
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

Status read(const QString &path, qint64 limit, QByteArray *bytes)
{
    bytes->clear();
    const Status status = check(path, limit);
    if (status != Status::Read)
        return status;
    QFile file;
#ifdef Q_OS_UNIX
    // Opened without waiting (a FIFO's open waits for a writer), then asked what it is.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return Status::Unreadable;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Status::NotAFile;
    }
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
