#pragma once

#include <QString>
#include <QStringList>

// Which change of the secret phrase is in progress. The profile lines are the truth: each
// records the number of its phrase (Recipe::lineOnPhrase), so lines on different numbers mean a
// change to the highest is in progress, whoever lost the state file, and a line that arrives from
// a machine that missed a finished change is seen as still on the previous phrase.
// "phrase-change.txt" beside the profile file is a cache that says only what the lines cannot:
// a change started before any line moved. Nothing about either phrase is ever kept: not a hash,
// not a fingerprint, not a length, which would let whoever holds the file test guesses.
namespace PhraseState {

// "phrase-change.txt" beside the profile file.
QString path(const QString &profilePath);

// The number of the new phrase while a change is in progress, given the profile file's lines;
// 0 when none is. (PhraseChange::target reads the lines.)
int target(const QString &profilePath, const QStringList &lines);

// Records a change to phrase `phrase`, or (0) that none is in progress. False when the file
// could not be written or removed (a link in its place is never written through).
bool setTarget(const QString &profilePath, int phrase);

}
