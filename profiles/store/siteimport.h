#pragma once

#include "profilefile.h"
#include "recipe.h"

#include <QByteArray>
#include <QList>
#include <QString>

// The site lists of LessPass and Spectre (formerly Master Password), read into profiles. None of
// these files holds a secret; stored passwords in them are never read. The format is told by the
// content, not by the file's name:
// - LessPass's profiles JSON (its command line's --save): the server's paginated answer
//   {"results": [...]} or a bare list of profiles;
// - Spectre's and Master Password's flat export (.mpsites), formats 0, 1 and 2;
// - their JSON export (.mpjson), formats 1 to 3.
namespace SiteImport {

struct Skipped
{
    QString site;
    QString reason;
};

struct Result
{
    enum Status {
        Read,          // a site list: recipes and skipped entries below
        NotASiteList,  // no format we read
        Malformed,     // one of ours, broken somewhere: problem says where
    } status = NotASiteList;
    QString format;              // "LessPass profiles", "Spectre flat file, format 1", ...
    QString problem;
    QList<Recipe> recipes;       // one for each site that can be derived, in the file's order
    QList<Skipped> skipped;      // the others, each with the reason
};

// Files larger than this are refused unread.
constexpr qint64 maximumSize = 16 * 1024 * 1024;

Result read(const QByteArray &content);
// Reads the file; an unreadable or oversized one is NotASiteList with the reason.
Result readFile(const QString &path);

// What saving a read list did.
struct Stored
{
    ProfileFile::SaveResult save = ProfileFile::SaveResult::Failed;   // AlreadySaved: nothing new
    int added = 0;
    int present = 0;
    QList<Skipped> skipped;   // the list's own, and sites whose fields a profile line cannot keep
};

// Saves every recipe of the list as a profile, in one locked append: all of them or none.
Stored store(const QString &path, const Result &list);

// "imported N, already saved M, skipped K"
QString summary(const Stored &stored);

}
