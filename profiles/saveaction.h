#pragma once

#include "profilefile.h"
#include "recipe.h"

#include <QString>

// Thin routines between the hand-over values (profilestate.h) and the profile file: Write
// appends the profile line of pword_recipe and says whether it was stored; Read_save reads the
// file for the duplicate test of the save action and says whether it could.
bool Write();
ProfileFile::ReadStatus Read_save();

// File > Save: stores the recipe as a profile unless it is invalid, already there, or the file
// cannot be locked, read or written.
namespace SaveAction {

enum Outcome { Saved, Busy, NotLocked, Invalid, Unstorable, BadRecipe, Unreadable, Duplicate, NotWritten };

// Saves `recipe`; `panelProblem` is what the scheme's panel found wrong with its fields. A
// BadRecipe outcome gives the words in `problem`.
Outcome save(const Recipe &recipe, const QString &panelProblem, QString *problem);

// The notice that tells the user the outcome.
void tell(Outcome outcome, const QString &problem);

}
