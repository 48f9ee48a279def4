#pragma once

#include "profilefile.h"

#include <QString>
#include <QStringList>

// A change of the secret phrase: every saved profile's password has to change, one site at a
// time, over days. A change is started once (PhraseState keeps the new phrase's number beside
// the profile file); each profile line that has moved records that number (a phrase mark,
// Recipe::lineOnPhrase); when the last one moves, the change ends by itself. Nothing about
// either phrase is stored: a wrong previous phrase cannot be detected, so the windows and the
// command line show both fingerprints before any password.
namespace PhraseChange {

// What a change stands at: the new phrase's number (0: no change in progress) and the profiles
// (readable lines, in file order) on the new phrase and those still on a previous one.
struct Status
{
    int target = 0;
    QStringList moved;
    QStringList waiting;
};

// The new phrase's number while a change is in progress, 0 when none is (PhraseState::target
// over the file's lines).
int target(const QString &path);

// Reads where the change stands. Anything but Read or Missing: the file cannot be used.
ProfileFile::ReadStatus status(const QString &path, Status *status);

// Whether a profile line still uses a phrase before the change's target.
bool waits(const QString &line, int target);
// Whether the recipe is a saved profile that still uses the previous phrase, during a change.
bool waitsForTheNewPhrase(const QString &path, const Recipe &recipe);

enum class StartResult { Started, InProgress, NoProfiles, Unusable, Failed };

// Starts a change: every saved profile is still on the previous phrase. *target gets the new
// phrase's number (one past the highest a line records).
StartResult start(const QString &path, int *target);

enum class CancelResult { Ended, SitesMoved, NoChange, Busy, Unusable, Failed };

// Ends a change before any site moved: nothing else changes. With sites moved already it ends
// nothing (those sites hold the new phrase's password, which no line would then know of): *moved
// gets their lines, to be changed back on each site and marked back (move with `back`) first.
CancelResult cancel(const QString &path, QStringList *moved);

enum class MoveResult { Moved, AlreadyMoved, NotFound, NoChange, Busy, Unusable, Failed };

// Under the profile file's lock, re-read first: marks the saved line as moved to the new phrase
// (its line gets the mark, in place), or back (`back`: the mark it had before). *finished is
// true when that was the last profile, and the change has ended. *line becomes the line now
// saved.
// With `upgrade` (moving only): the line becomes that recipe's, on the new phrase: a compatible
// profile moves to the strong scheme with the new phrase.
MoveResult move(const QString &path, QString *line, bool back, bool *finished, const Recipe *upgrade = nullptr);

}
