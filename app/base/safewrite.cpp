#include "safewrite.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace SafeWrite {

namespace {

QString errorText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

bool writeAll(int fd, const QByteArray &content)
{
    qint64 written = 0;
    while (written < content.size()) {
        const ssize_t n = ::write(fd, content.constData() + written, size_t(content.size() - written));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        written += n;
    }
    return true;
}

// What stands at the path, without following a link there.
Result standing(const QByteArray &path, struct stat *st, bool *exists)
{
    *exists = ::lstat(path.constData(), st) == 0;
    if (!*exists)
        return Result::Written;
    if (S_ISLNK(st->st_mode))
        return Result::Link;
    if (!S_ISREG(st->st_mode))
        return Result::NotAFile;
    return Result::Written;
}

}

Result replace(const QString &path, const QByteArray &content, const BoundedFile::Stamp *expected, QString *problem)
{
    const QByteArray target = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    struct stat st;
    bool exists = false;
    const Result found = standing(target, &st, &exists);
    if (found != Result::Written)
        return found;
    if (expected && BoundedFile::stampOf(path) != *expected)
        return Result::Changed;
    const QFileInfo info(path);
    QByteArray temporary = QFile::encodeName(info.absolutePath() + QStringLiteral("/.") + info.fileName()) + ".quorvane-XXXXXX";
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        if (problem)
            *problem = errorText(errno);
        return Result::Failed;
    }
    bool whole = ::fchmod(fd, exists ? (st.st_mode & 07777) : 0600) == 0 && writeAll(fd, content) && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && whole) {
        whole = false;
        error = errno;
    }
    Result result = Result::Written;
    if (!whole) {
        result = Result::Failed;
    } else if (expected && BoundedFile::stampOf(path) != *expected) {
        result = Result::Changed;
    } else if (::rename(temporary.constData(), target.constData()) != 0) {
        error = errno;
        result = Result::Failed;
    } else {
        return Result::Written;
    }
    ::unlink(temporary.constData());
    if (problem && result == Result::Failed)
        *problem = errorText(error);
    return result;
}

Result append(const QString &path, const QByteArray &content, qint64 *before, bool endLastLine)
{
    const QByteArray name = QFile::encodeName(path);
    const int flags = O_RDWR | O_APPEND | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK;
    int fd = ::open(name.constData(), flags);
    bool created = false;
    if (fd < 0 && errno == ENOENT) {
        fd = ::open(name.constData(), flags | O_CREAT | O_EXCL, 0600);
        created = fd >= 0;
    }
    if (fd < 0)
        return errno == ELOOP ? Result::Link : Result::Failed;
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return Result::NotAFile;
    }
    *before = qint64(st.st_size);
    if (created)
        ::fchmod(fd, 0600);   // whatever the umask: the lines name the user's accounts
    QByteArray data = content;
    char last = 0;
    if (endLastLine && st.st_size > 0 && ::pread(fd, &last, 1, st.st_size - 1) == 1 && last != '\n' && last != '\r')
        data.prepend("\r\n");
    bool written = writeAll(fd, data);
    if (!written && ::ftruncate(fd, st.st_size) != 0)
        written = false;
    if (::close(fd) != 0)
        written = false;
    return written ? Result::Written : Result::Failed;
}

bool undo(const QString &path, qint64 before)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return false;
    struct stat st;
    const bool cut = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::ftruncate(fd, before) == 0;
    ::close(fd);
    return cut;
}

bool remove(const QString &path)
{
    return ::unlink(QFile::encodeName(path).constData()) == 0 || errno == ENOENT;
}

QString problem(Result result)
{
    switch (result) {
    case Result::Written:
        break;
    case Result::Link:
        return QStringLiteral("is a symbolic link, which Quorvane does not follow in its data folder");
    case Result::NotAFile:
        return QStringLiteral("is not a plain file");
    case Result::Changed:
        return QStringLiteral("was replaced by another program meanwhile");
    case Result::Failed:
        return QStringLiteral("cannot be written");
    }
    return QString();
}

}
