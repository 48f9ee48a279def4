#pragma once

#include "boundedfile.h"

#include <QByteArray>
#include <QString>

// Writes into the data folder, which a sync tool shares with other machines and may change
// under our feet: nothing is written, chmod'ed or renamed through a symbolic link, a rewrite
// never replaces a file other than the one it read, and a failed write leaves no file behind.
namespace SafeWrite {

enum class Result {
    Written,
    Link,       // a symbolic link stands at the path: refused, left as it is
    NotAFile,   // a folder, a pipe ...
    Changed,    // the file is no longer the one read (a sync tool put another in its place)
    Failed,     // the write itself failed (full disk, file size limit, no permission)
};

// Replaces the file at `path` by `content`, whole or not at all: a new file beside it, written
// and flushed to the disk, then renamed over the old one. Keeps the old file's permissions; a new
// file is 0600. With `expected`, the file must still be that one (checked before the write and
// again just before the rename). *problem, when given, says why it failed.
Result replace(const QString &path, const QByteArray &content, const BoundedFile::Stamp *expected = nullptr,
               QString *problem = nullptr);

// Appends to a plain file in one write, made 0600 when missing; *before gets its size before,
// for undo(). With endLastLine, a last line left without an end is ended first (CR LF), so that
// it is not joined to the new one. A failed write is cut back.
Result append(const QString &path, const QByteArray &content, qint64 *before, bool endLastLine = false);
// Cuts a file back to the size an append found: the append is undone.
bool undo(const QString &path, qint64 before);

// Removes a file; a link at the path is removed itself, never its target. True when nothing
// stands there afterwards.
bool remove(const QString &path);

// For a message: "is a symbolic link, which Quorvane does not follow" ...
QString problem(Result result);

}
