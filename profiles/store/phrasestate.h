#pragma once

#include <QString>

// Which change of the secret phrase is in progress, kept in the data folder beside the profile
// file so that it travels with it: the number of the new phrase (profile lines record the number
// of theirs, Recipe::lineOnPhrase). Nothing about either phrase is ever kept: not a hash, not a
// fingerprint, not a length, which would let whoever holds the file test guesses.
namespace PhraseState {

// "phrase-change.txt" beside the profile file.
QString path(const QString &profilePath);

// The number of the new phrase while a change is in progress; 0 when none is.
int target(const QString &profilePath);

// Records a change to phrase `phrase`, or (0) that none is in progress. False when the file
// could not be written or removed.
bool setTarget(const QString &profilePath, int phrase);

}
