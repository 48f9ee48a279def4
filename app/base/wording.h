#pragma once

#include <QString>

// Small helpers for the texts the programs say.
namespace Wording {

// "1 profile", "2 profiles".
QString count(int n, const QString &one, const QString &many);

// The text with its control characters written as visible escapes ("esc\x1Bname"), for a
// message that names it.
QString visible(const QString &text);

}
