#pragma once

#include "scheme.h"

#include <QString>

// The secret phrase between what the user typed and what a scheme derives from.
namespace Phrase {

// The longest phrase taken, in bytes of UTF-8: far beyond any phrase a person types, and short
// enough that endless input is refused before it fills the memory.
constexpr int maximumBytes = 64 * 1024;

// What the scheme receives of the phrase as typed or pasted. Every scheme takes it exactly as
// it is, but the compatible one: the original program read its phrase box as plain text, which
// turns a no-break space into a space and a line or paragraph separator into a line break, and
// its passwords depend on that.
QString forScheme(Scheme scheme, const QString &typed);

// Forgets a text that held a phrase or a password: overwritten where this is its only holder
// (a shared one is left to its other holder to wipe), then emptied.
void wipe(QString &text);

}
