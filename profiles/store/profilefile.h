#pragma once

#include "boundedfile.h"
#include "safewrite.h"
#include "recipe.h"

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

#include <memory>

class QLockFile;

// The profile file: a plain text file of profile lines (Recipe::line), "identifier|length" for
// the original program's compatible scheme. Lines are written in UTF-8, each followed by CR LF on a file
// opened in text mode, so on Windows they end in CR CR LF, as the original program's lines do.
// Files of the original program (Windows-1252 text) read the same. Every call opens and closes
// the file.
//
// What the file guarantees, whatever else runs beside it:
// - One writer at a time: save and remove hold a lock file beside the profile file for their
//   whole read, test and write; a writer that cannot get it in lockWaitMs changes nothing.
// - An append is all or nothing: after a failed or short write the file is cut back to its size
//   before; a rewrite goes through a new file that replaces the old one only when complete.
// - A rewrite gives back every line it keeps byte for byte, with its own line end and encoding,
//   and a byte-order mark at the start of the file.
// - Only a plain file of at most maximumSize bytes is read or changed.
namespace ProfileFile {

extern const QString fileName;   // "zavdata.txt"

constexpr qint64 maximumSize = 64 * 1024 * 1024;
constexpr int lockWaitMs = 3000;

// The profile file of the user who runs the program: the data folder followed by fileName.
QString defaultPath();

// The list of accounts is nobody else's business: folders that these create are 0700 and a new
// profile file 0600, whatever the umask. Folders and files that exist are left as they are.
bool makePrivateFolder(const QString &folder);
// Creates an empty profile file unless something exists at the path; false when one could not
// be made.
bool createPrivateFile(const QString &path);

struct Profile
{
    Recipe recipe;          // for an unreadable line, only its identifier
    bool readable = true;   // false for a line that names a scheme but is none of its lines
    const QString &identifier() const { return recipe.identifier; }
};

// Missing is as good as an empty file; TooLarge is over maximumSize.
using ReadStatus = BoundedFile::Status;

// Why the last Failed result of a write in this thread failed, for its message: "the record of
// deleted profiles ... is a symbolic link ...". Empty when nothing more is known.
QString failureDetail();
// That, or "cannot write PATH" when nothing more is known.
QString failureText(const QString &path);

// Whether the file can be read, without reading it: Read or Missing when it can. A symbolic link
// at the path is never followed (NotAFile): a sync tool carries links from other machines.
ReadStatus check(const QString &path);

// What is wrong with the file, for a message: "cannot be read", "is not a plain file" ...
QString problem(ReadStatus status);
// The same, told apart for a folder ("is a folder, not a file").
QString problemOf(const QString &path, ReadStatus status);

// Reads every line of the file, empty and malformed lines included, without line ends. A lone
// CR, CR LF and CR CR LF each end a line. Anything but Read leaves *lines empty.
ReadStatus readLines(const QString &path, QStringList *lines, BoundedFile::Stamp *stamp = nullptr);

// The lines that are profiles (every non-empty line), in ascending text order: the order of
// QListWidget::sortItems, which compares item texts with QString's operator<.
QStringList rows(const QStringList &lines);

// A row as a person reads it: "example.org: lesspass, 16, aA9!, login me" for a line of a scheme
// of ours; the original program's two-field lines, and lines that read as no profile, as they are.
QString rowLabel(const QString &row);

// The lines in reverse file order, joined by single blanks: the form trace lines show.
QString listText(const QStringList &lines);

// A "|" would split the identifier's profile line: such an identifier is refused both for
// deriving and for saving.
bool containsBar(const QString &identifier);

// An identifier can be saved when it is not empty and holds no "|".
bool isValidIdentifier(const QString &identifier);

// Whether the identifier's line reads back as exactly this identifier (Schemes::isStorableText).
// Deriving does not need it.
bool isStorableIdentifier(const QString &identifier);

// Reads a row back (Recipe::fromLine).
Profile parseRow(const QString &row);

// The identifier of a row, what stands before its first "|", without reading the rest.
QString identifierOf(const QString &row);

// The writers' lock beside the profile file ("zavdata.txt.lock"). The constructor creates the
// folder when missing and waits up to lockWaitMs for the lock; a lock left by a process that
// has ended is taken over.
class Lock
{
public:
    enum State { Held, Busy, Failed };

    explicit Lock(const QString &path, int waitMs = lockWaitMs);
    ~Lock();
    Lock(const Lock &) = delete;
    Lock &operator=(const Lock &) = delete;

    State state() const { return lockState; }

private:
    std::unique_ptr<QLockFile> file;
    State lockState = Failed;
};

enum class AppendResult { Appended, Failed, Unusable };

// Appends one line with its CR LF end in one write, creating the folder and the file when
// missing. A last line left without an end is ended first, so that it is not joined to the new
// one. Takes no lock: callers that test the file first hold one. Unusable: the path names
// something that check() refuses.
AppendResult append(const QString &path, const QString &line);
// The same for several lines, in one write: all of them are appended or none.
AppendResult append(const QString &path, const QStringList &lines);

enum class RemoveResult { Removed, NotFound, Busy, Unusable, Failed };

// Under the lock: removes every line equal to the given one and keeps the rest, byte for byte,
// in file order. The file is replaced as a whole only once the new content is written, and left
// untouched otherwise.
RemoveResult remove(const QString &path, const QString &line);
// The same, but the first line equal to `line` gives its place to `replacement` (a new version,
// a phrase mark); Removed when it did. When the file holds the replacement already, the line
// just goes. A caller that holds the lock already (for more work around it) gives it as `held`.
RemoveResult replace(const QString &path, const QString &line, const QString &replacement, const Lock *held = nullptr);

// Replaces the file's content by these lines; the caller holds the lock and read the file as
// `expected`. A line the file held keeps its bytes and line end (a byte-order mark at the start
// too); a new one is written as an append writes it. Anything but Written leaves the file as it
// was: Changed when it is no longer the file read, Failed past maximumSize or on a failed write.
SafeWrite::Result writeLines(const QString &path, const QStringList &lines, const BoundedFile::Stamp &expected);

enum class SaveResult { Saved, InvalidIdentifier, UnstorableIdentifier, InvalidRecipe, AlreadySaved, Busy, Unusable, Failed };

// Under the lock: the duplicate test on whole lines, then the append of the line.
SaveResult saveLine(const QString &path, const QString &candidate);

// Under the lock, in one append: every candidate that is not yet a line of the file (nor an
// earlier candidate, nor a line of the same profile with a phrase mark). Saved when some were
// added, AlreadySaved when none was new; *added and *present count them. During a change of
// the secret phrase, a new profile is written on the new phrase. A failure leaves the file as
// it was.
SaveResult saveLines(const QString &path, const QStringList &candidates, int *added, int *present);

// The profiles a file's lines hold, as unmarked lines: every line, and the line without its
// phrase mark of each marked one. A candidate in it is saved already.
QSet<QString> profilesIn(const QStringList &lines);
// The line to append for a new profile's line: on the new phrase during a change of it.
QString newLine(const QString &path, const QString &line);

// The whole save action without windows, under the lock: checks, duplicate test on whole
// lines, append. InvalidIdentifier: empty or with "|"; UnstorableIdentifier: the identifier or
// another text field a line cannot give back (Recipe::storableProblem); InvalidRecipe: it makes
// no password (Recipe::problem). Unusable: the file cannot be read for the duplicate test (see
// check()).
SaveResult save(const QString &path, const Recipe &recipe);

}
