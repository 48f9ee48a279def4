#include "profilefile.h"

#include "deletions.h"
#include "phrasestate.h"
#include "platform.h"
#include "safewrite.h"
#include "utf8.h"

#include <QDir>
#include <QElapsedTimer>
#include <QHash>
#include <QFile>
#include <QSet>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QSaveFile>
#include <QThread>
#include <QVector>

#include <algorithm>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace ProfileFile {

const QString fileName = QStringLiteral("zavdata.txt");

QString defaultPath()
{
    return Platform::dataFolderPath(Platform::userName()) + fileName;
}

bool makePrivateFolder(const QString &folder)
{
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    if (QFileInfo(path).isDir())
        return true;
    const QString parent = QFileInfo(path).path();
    if (parent != path && !makePrivateFolder(parent))
        return false;
    if (!QDir().mkdir(path))
        return QFileInfo(path).isDir();   // made by someone else meanwhile
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    return true;
}

bool createPrivateFile(const QString &path)
{
#ifdef Q_OS_UNIX
    // Made 0600 from the start (and again after the umask took its part), never truncated.
    const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    const bool owned = ::fchmod(fd, 0600) == 0;
    ::close(fd);
    return owned;
#else
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Text))
        return false;
    file.close();
    return file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
#endif
}

namespace {

// Windows-1252 for the bytes 0x80 to 0x9F; the rest of the upper half is Latin-1. The five
// undefined bytes keep their own value, as Windows itself maps them.
const ushort cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QString decodeWindows1252(const QByteArray &bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes.at(i));
        text[i] = QChar(b >= 0x80 && b < 0xA0 ? cp1252High[b - 0x80] : ushort(b));
    }
    return text;
}

QString decodeLine(const QByteArray &bytes)
{
    QString text;
    if (Utf8::decodeStrict(bytes, &text))
        return text;
    return decodeWindows1252(bytes);
}

// Where a line stands in the file's bytes, and how long its own line end is (0 on a last line
// that has none).
struct Span
{
    int start;
    int length;
    int endLength;
};

struct StoredFile
{
    QByteArray content;
    int bodyStart = 0;          // 3 when the file starts with a byte-order mark, kept by a rewrite
    QVector<Span> lines;

    QByteArray bytes(const Span &span) const
    {
        return QByteArray::fromRawData(content.constData() + span.start, span.length);
    }
};

const char byteOrderMark[] = "\xEF\xBB\xBF";

// LF, CR LF, CR CR LF (a text-mode write on Windows) and a lone CR each end a line. Works on
// bytes and on UTF-16 alike, since both ends are ASCII.
template<class Unit>
QVector<Span> splitLines(const Unit *data, int from, int size)
{
    QVector<Span> lines;
    int start = from;
    int i = from;
    while (i < size) {
        int endLength = 0;
        if (data[i] == '\n')
            endLength = 1;
        else if (data[i] == '\r')
            endLength = (i + 1 < size && data[i + 1] == '\n') ? 2
                      : (i + 2 < size && data[i + 1] == '\r' && data[i + 2] == '\n') ? 3 : 1;
        if (endLength == 0) {
            ++i;
            continue;
        }
        lines.append({start, i - start, endLength});
        i += endLength;
        start = i;
    }
    if (start < size)
        lines.append({start, size - start, 0});
    return lines;
}

ReadStatus readStored(const QString &path, StoredFile *stored, BoundedFile::Stamp *stamp = nullptr)
{
    const ReadStatus status = BoundedFile::read(path, maximumSize, &stored->content, BoundedFile::Links::Refuse, stamp);
    if (status != ReadStatus::Read)
        return status;
    stored->bodyStart = stored->content.startsWith(byteOrderMark) ? 3 : 0;
    stored->lines = splitLines(stored->content.constData(), stored->bodyStart, stored->content.size());
    return ReadStatus::Read;
}

// Whether a stored line reads as `line`, without decoding every line: a UTF-8 line matches only
// by its bytes, and a Windows-1252 one has one byte for each character.
bool storedLineIs(const QByteArray &bytes, const QString &line, const QByteArray &lineUtf8)
{
    if (bytes == lineUtf8)
        return true;
    if (bytes.size() != line.size())
        return false;
    QString ignored;
    return !Utf8::decodeStrict(bytes, &ignored) && decodeWindows1252(bytes) == line;
}

QByteArray storedForm(const QString &line)
{
    // On a text-mode file Windows turns the LF into CR LF, as the original program's lines are.
    return Utf8::encode(line) + "\r\n";
}

}

ReadStatus check(const QString &path)
{
    return BoundedFile::check(path, maximumSize, BoundedFile::Links::Refuse);
}

namespace {
thread_local QString lastFailure;
}

QString failureDetail()
{
    return lastFailure;
}

QString failureText(const QString &path)
{
    return lastFailure.isEmpty() ? QStringLiteral("cannot write %1").arg(path) : lastFailure;
}

QString problem(ReadStatus status)
{
    switch (status) {
    case ReadStatus::Read:
    case ReadStatus::Missing:
        break;
    case ReadStatus::Unreadable:
        return QStringLiteral("cannot be read");
    case ReadStatus::NotAFile:
        return QStringLiteral("is not a plain file");
    case ReadStatus::TooLarge:
        return QStringLiteral("is larger than 64 MiB, too large for a profile file");
    }
    return QString();
}

QString problemOf(const QString &path, ReadStatus status)
{
    if (status == ReadStatus::NotAFile && QFileInfo(path).isSymLink())
        return SafeWrite::problem(SafeWrite::Result::Link);
    if (status == ReadStatus::NotAFile && QFileInfo(path).isDir())
        return QStringLiteral("is a folder, not a file");
    return problem(status);
}

ReadStatus readLines(const QString &path, QStringList *lines, BoundedFile::Stamp *stamp)
{
    lines->clear();
    StoredFile stored;
    const ReadStatus status = readStored(path, &stored, stamp);
    if (status != ReadStatus::Read)
        return status;
    lines->reserve(stored.lines.size());
    QString whole;
    const QByteArray body = QByteArray::fromRawData(stored.content.constData() + stored.bodyStart,
                                                    stored.content.size() - stored.bodyStart);
    if (Utf8::decodeStrict(body, &whole)) {
        for (const Span &span : splitLines(whole.utf16(), 0, whole.size()))
            lines->append(whole.mid(span.start, span.length));
        return ReadStatus::Read;
    }
    // Not UTF-8 as a whole: each line is decoded on its own, so that lines appended in UTF-8 to a
    // file of the original program read as well as its own Windows-1252 lines.
    for (const Span &span : qAsConst(stored.lines))
        lines->append(decodeLine(stored.bytes(span)));
    return ReadStatus::Read;
}

QStringList rows(const QStringList &lines)
{
    QStringList result;
    result.reserve(lines.size());
    for (const QString &l : lines) {
        if (!l.isEmpty())
            result.append(l);
    }
    std::sort(result.begin(), result.end());
    return result;
}

QString rowLabel(const QString &row)
{
    Recipe recipe;
    if (row.count(QLatin1Char('|')) < 2 || !Recipe::fromLine(row, &recipe))
        return row;
    return recipe.identifier + QStringLiteral(": ") + recipe.label();
}

QString listText(const QStringList &lines)
{
    QStringList reversed(lines);
    std::reverse(reversed.begin(), reversed.end());
    return reversed.join(QLatin1Char(' '));
}

bool containsBar(const QString &identifier)
{
    return identifier.contains(QLatin1Char('|'));
}

bool isValidIdentifier(const QString &identifier)
{
    return !identifier.isEmpty() && !containsBar(identifier);
}

bool isStorableIdentifier(const QString &identifier)
{
    return Schemes::isStorableText(identifier);
}

Profile parseRow(const QString &row)
{
    Profile profile;
    profile.readable = Recipe::fromLine(row, &profile.recipe);
    return profile;
}

QString identifierOf(const QString &row)
{
    return row.left(row.indexOf(QLatin1Char('|')));
}

Lock::Lock(const QString &path, int waitMs)
{
    makePrivateFolder(QFileInfo(path).absolutePath());
    file.reset(new QLockFile(path + QStringLiteral(".lock")));
    // QLockFile's own wait doubles its pauses (0.1 s, 0.2 s ... 1.6 s), so among several busy
    // writers one can sleep through every free moment; short, even tries are fairer.
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        if (file->tryLock(0)) {
            lockState = Held;
            return;
        }
        if (file->error() != QLockFile::LockFailedError) {
            lockState = Failed;
            return;
        }
        if (waited.elapsed() >= waitMs) {
            lockState = Busy;
            return;
        }
        QThread::msleep(5 + QRandomGenerator::global()->bounded(10));
    }
}

Lock::~Lock() = default;

AppendResult append(const QString &path, const QString &line)
{
    return append(path, QStringList{line});
}

AppendResult append(const QString &path, const QStringList &lines)
{
    lastFailure.clear();
    makePrivateFolder(QFileInfo(path).absolutePath());
    const ReadStatus status = check(path);
    if (status == ReadStatus::NotAFile || status == ReadStatus::TooLarge)
        return AppendResult::Unusable;
    QByteArray data;
    for (const QString &line : lines)
        data += storedForm(line);
    // The record first: a save it cannot record would be deleted again by the next merge of a
    // sync tool's copies, or lost to an older delete.
    qint64 recordBefore = -1;
    if (!Deletions::record(path, lines, Deletions::Kind::Saved, &recordBefore, &lastFailure))
        return AppendResult::Failed;
    // One write, so that a reader sees the line whole or not at all; a short one is undone.
    qint64 before = 0;
    const SafeWrite::Result written = SafeWrite::append(path, data, &before, true);
    if (written == SafeWrite::Result::Written)
        return AppendResult::Appended;
    Deletions::undo(path, recordBefore);
    lastFailure = QStringLiteral("the profile file %1 %2").arg(path, SafeWrite::problem(written));
    return written == SafeWrite::Result::Failed ? AppendResult::Failed : AppendResult::Unusable;
}

namespace {

// The rewrite behind remove and replace: every line equal to `line` goes; with a replacement,
// the first of them gives its place (and its line end) to it, unless the file holds the
// replacement already.
RemoveResult rewrite(const QString &path, const QString &line, const QString *replacement, bool locked)
{
    lastFailure.clear();
    if (check(path) == ReadStatus::Missing)
        return RemoveResult::NotFound;
    std::unique_ptr<Lock> lock(locked ? nullptr : new Lock(path));
    if (lock && lock->state() != Lock::Held)
        return lock->state() == Lock::Busy ? RemoveResult::Busy : RemoveResult::Failed;
    // No line read from a file holds an unpaired surrogate, so such a line matches none.
    if (Utf8::hasLoneSurrogate(line))
        return RemoveResult::NotFound;
    const QByteArray lineUtf8 = Utf8::encode(line);
    const QByteArray replacementUtf8 = replacement ? Utf8::encode(*replacement) : QByteArray();
    // A sync tool may put a newer file in place while a large one is rewritten: then the work is
    // done again on that one, never written over it.
    for (int attempt = 0; attempt < 8; ++attempt) {
        StoredFile stored;
        BoundedFile::Stamp stamp;
        const ReadStatus status = readStored(path, &stored, &stamp);
        if (status == ReadStatus::Missing)
            return RemoveResult::NotFound;
        if (status != ReadStatus::Read)
            return RemoveResult::Unusable;
        bool placed = !replacement;
        if (replacement) {
            for (const Span &span : qAsConst(stored.lines))
                placed = placed || storedLineIs(stored.bytes(span), *replacement, replacementUtf8);
        }
        QByteArray content = stored.content.left(stored.bodyStart);
        content.reserve(stored.content.size() + replacementUtf8.size());
        bool removed = false;
        for (const Span &span : qAsConst(stored.lines)) {
            const QByteArray bytes = stored.bytes(span);
            if (storedLineIs(bytes, line, lineUtf8)) {
                removed = true;
                if (!placed) {
                    content.append(replacementUtf8);
                    content.append(stored.content.constData() + span.start + span.length, span.endLength);
                    placed = true;
                }
                continue;
            }
            content.append(stored.content.constData() + span.start, span.length + span.endLength);
        }
        if (!removed)
            return RemoveResult::NotFound;
        if (replacement && *replacement == line)
            return RemoveResult::Removed;   // it is that line already: nothing to change

        // Recorded first, so that a delete that cannot be recorded does not happen (the next
        // merge would bring the line back); taken back when the file cannot be written.
        qint64 deletedBefore = -1;
        qint64 savedBefore = -1;
        if (!line.isEmpty() && !Deletions::record(path, {line}, Deletions::Kind::Deleted, &deletedBefore, &lastFailure))
            return RemoveResult::Failed;
        if (replacement && !Deletions::record(path, {*replacement}, Deletions::Kind::Saved, &savedBefore, &lastFailure)) {
            Deletions::undo(path, deletedBefore);
            return RemoveResult::Failed;
        }
        // The kept lines go back exactly as they were read: no text-mode translation.
        QString why;
        const SafeWrite::Result written = SafeWrite::replace(path, content, &stamp, &why);
        if (written == SafeWrite::Result::Written)
            return RemoveResult::Removed;
        Deletions::undo(path, savedBefore >= 0 ? savedBefore : deletedBefore);
        if (written != SafeWrite::Result::Changed) {
            lastFailure = QStringLiteral("the profile file %1 %2").arg(path, written == SafeWrite::Result::Failed ? why : SafeWrite::problem(written));
            return RemoveResult::Failed;
        }
    }
    lastFailure = QStringLiteral("the profile file %1 kept changing while it was rewritten").arg(path);
    return RemoveResult::Failed;
}

// The saved line of a profile that carries a phrase mark: the line without it names the same
// profile (profilesIn).
QString markedLineOf(const QString &path, const QString &line)
{
    QStringList lines;
    readLines(path, &lines);
    for (const QString &stored : qAsConst(lines)) {
        Recipe recipe;
        if (stored != line && stored.contains(QLatin1String("|#")) && Recipe::phraseOfLine(stored) > 1
            && Recipe::fromLine(stored, &recipe) && recipe.line() == line)
            return stored;
    }
    return QString();
}

}

RemoveResult remove(const QString &path, const QString &line)
{
    const RemoveResult removed = rewrite(path, line, nullptr, false);
    if (removed != RemoveResult::NotFound)
        return removed;
    const QString marked = markedLineOf(path, line);
    return marked.isEmpty() ? removed : rewrite(path, marked, nullptr, false);
}

SafeWrite::Result writeLines(const QString &path, const QStringList &lines, const BoundedFile::Stamp &expected)
{
    StoredFile stored;
    BoundedFile::Stamp stamp;
    const ReadStatus status = readStored(path, &stored, &stamp);
    if (status != ReadStatus::Read && status != ReadStatus::Missing)
        return SafeWrite::Result::NotAFile;
    if (stamp != expected)
        return SafeWrite::Result::Changed;
    // The file's own lines, by their text, each with its bytes and line end: a line written
    // again is written as it was.
    QHash<QString, QList<Span>> own;
    QString whole;
    const QByteArray body = QByteArray::fromRawData(stored.content.constData() + stored.bodyStart,
                                                    stored.content.size() - stored.bodyStart);
    const bool utf8 = Utf8::decodeStrict(body, &whole);
    for (const Span &span : qAsConst(stored.lines))
        own[utf8 ? QString::fromUtf8(stored.bytes(span)) : decodeLine(stored.bytes(span))].append(span);
    QByteArray content = stored.content.left(stored.bodyStart);
    for (int i = 0; i < lines.size(); ++i) {
        QList<Span> &spans = own[lines.at(i)];
        if (spans.isEmpty()) {
            content += storedForm(lines.at(i));
            continue;
        }
        const Span span = spans.takeFirst();
        content.append(stored.content.constData() + span.start, span.length);
        if (span.endLength > 0)
            content.append(stored.content.constData() + span.start + span.length, span.endLength);
        else if (i + 1 < lines.size())
            content += "\r\n";   // a last line without an end, no longer last
    }
    if (content.size() > maximumSize)
        return SafeWrite::Result::Failed;
    return SafeWrite::replace(path, content, &stamp);
}

RemoveResult replace(const QString &path, const QString &line, const QString &replacement, const Lock *held)
{
    return rewrite(path, line, &replacement, held && held->state() == Lock::Held);
}

SaveResult save(const QString &path, const Recipe &recipe)
{
    if (!isValidIdentifier(recipe.identifier))
        return SaveResult::InvalidIdentifier;
    if (!recipe.storableProblem().isEmpty())
        return SaveResult::UnstorableIdentifier;
    if (!recipe.problem().isEmpty())
        return SaveResult::InvalidRecipe;
    return saveLine(path, recipe.line());
}

namespace {

// Saved during a change of the secret phrase, a profile belongs to the new phrase.
QString lineOnPhrase(const QString &line, int phrase)
{
    Recipe recipe;
    if (phrase > 1 && Recipe::phraseOfLine(line) == 1 && Recipe::fromLine(line, &recipe))
        return recipe.lineOnPhrase(phrase);
    return line;
}

}

SaveResult saveLines(const QString &path, const QStringList &candidates, int *added, int *present)
{
    *added = *present = 0;
    const Lock lock(path);
    if (lock.state() != Lock::Held)
        return lock.state() == Lock::Busy ? SaveResult::Busy : SaveResult::Failed;
    QStringList lines;
    const ReadStatus status = readLines(path, &lines);
    if (status != ReadStatus::Read && status != ReadStatus::Missing)
        return SaveResult::Unusable;
    QSet<QString> known = profilesIn(lines);
    const int phrase = PhraseState::target(path, lines);
    QStringList fresh;
    for (const QString &candidate : candidates) {
        if (known.contains(candidate)) {
            ++*present;
            continue;
        }
        known.insert(candidate);
        fresh.append(lineOnPhrase(candidate, phrase));
    }
    if (fresh.isEmpty())
        return SaveResult::AlreadySaved;
    switch (append(path, fresh)) {
    case AppendResult::Appended:
        *added = fresh.size();
        return SaveResult::Saved;
    case AppendResult::Unusable:
        return SaveResult::Unusable;
    case AppendResult::Failed:
        break;
    }
    return SaveResult::Failed;
}

QSet<QString> profilesIn(const QStringList &lines)
{
    QSet<QString> known(lines.begin(), lines.end());
    // A line with a phrase mark is its profile too: saved already, on whichever phrase.
    for (const QString &stored : lines) {
        Recipe recipe;
        if (stored.contains(QLatin1String("|#")) && Recipe::phraseOfLine(stored) > 1 && Recipe::fromLine(stored, &recipe))
            known.insert(recipe.line());
    }
    return known;
}

QString newLine(const QString &path, const QString &line)
{
    QStringList lines;
    readLines(path, &lines);
    return lineOnPhrase(line, PhraseState::target(path, lines));
}

SaveResult saveLine(const QString &path, const QString &candidate)
{
    int added = 0;
    int present = 0;
    return saveLines(path, {candidate}, &added, &present);
}

}
