#pragma once

#include "profilefile.h"
#include "recipe.h"

#include <QString>
#include <QStringList>

// The values the windows hand to one another, one instance each for the whole run. They are
// hand-over points only: the widget-free code never reads them. Every window includes this
// file, and this file includes nothing of the windows, so the includes run one way.

extern QString profile_file_path;       // set once at start-up, before any window takes input

extern int pword_length;                // the length being generated, saved or retrieved
extern QString pword_identifier;        // the identifier being generated, saved or retrieved
extern QString retrieved_identifier;    // the identifier the retrieve dialog chose
extern Recipe pword_recipe;             // every input but the phrase, being saved or retrieved

extern QString profile_list_text;       // the file's lines in reverse order, joined by blanks
extern QString profile_line_text;       // the last line read; null after a complete read
extern QStringList profile_lines;       // the file's lines in file order
extern QStringList profile_delete_list; // the lines as the delete dialog last read or left them

// Reads the profile file at profile_file_path into profile_lines, profile_list_text and
// profile_line_text. When the file is missing or cannot be read it says why, empties
// profile_lines and leaves the two texts as the caller set them.
ProfileFile::ReadStatus readProfileValues();
