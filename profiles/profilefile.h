#pragma once

#include "derivation.h"

#include <QString>
#include <QStringList>

// The profile file: a plain text file of lines "identifier|length" (compatible scheme) or
// "identifier|length|strong". Lines are written in UTF-8, each followed by CR LF on a file
// opened in text mode, so on Windows they end in CR CR LF, as the original program's lines do.
// Files of the original program (Windows-1252 text) read the same. Every call opens and closes
// the file.
namespace ProfileFile {

extern const QString fileName;   // "zavdata.txt"

// The profile file of the user who runs the program: the data folder followed by fileName.
QString defaultPath();

struct Profile
{
    QString identifier;
    int length = 0;
    Scheme scheme = Scheme::Compatible;
};

// Reads every line of the file, empty and malformed lines included, without line ends.
// Returns false, with no lines, when the file cannot be opened.
bool readLines(const QString &path, QStringList *lines);

// The lines that are profiles (every non-empty line), in ascending text order: the order of
// QListWidget::sortItems, which compares item texts with QString's operator<.
QStringList rows(const QStringList &lines);

// The lines in reverse file order, joined by single blanks: the form trace lines show.
QString listText(const QStringList &lines);

// A "|" would split the identifier's profile line: such an identifier is refused both for
// deriving and for saving.
bool containsBar(const QString &identifier);

// An identifier can be saved when it is not empty and holds no "|".
bool isValidIdentifier(const QString &identifier);

// The line that stores a profile.
QString line(const QString &identifier, int length, Scheme scheme);

// Reads a row back. A line of three fields is read by its fields, and a length there outside
// 4 to 32 counts as unreadable (0). Otherwise the length is the number in the two characters
// after the first "|" (0 when they are not one), the identifier what stands before that "|"
// (the whole row when it has none, with length 0), and the scheme is compatible.
Profile parseRow(const QString &row);

// Appends one line with its CR LF end, creating the folder and the file when missing. A last
// line left without an end is ended first, so that it is not joined to the new one.
bool append(const QString &path, const QString &line);

enum class RemoveResult { Removed, NotFound, Failed };

// Removes every line equal to the given one and keeps the rest in file order. The file is
// replaced as a whole only once the new content is written, and left untouched otherwise.
RemoveResult remove(const QString &path, const QString &line);

enum class SaveResult { Saved, InvalidIdentifier, InvalidLength, AlreadySaved, Failed };

// The whole save action without windows: checks, duplicate test on whole lines, append.
SaveResult save(const QString &path, const QString &identifier, int length, Scheme scheme);

}
