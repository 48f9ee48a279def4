#pragma once

#include <QString>

// LessPass (version 2) passwords, bit for bit: PBKDF2-HMAC-SHA256 of the phrase over the site,
// the login and the counter in hexadecimal, read as one 256-bit number and spent digit by digit
// on the characters.
namespace LessPass {

constexpr int minimumLength = 5;
constexpr int maximumLength = 35;
constexpr int defaultLength = 16;

// The classes as a non-empty sub-sequence of "aA9!" (lowercase, uppercase, digits, symbols).
bool isValidClasses(const QString &classes);

// The password, or the null text when the key could not be computed. The caller checks the
// classes, the length (5 to 35) and the counter (1 and more).
QString derive(const QString &phrase, const QString &site, const QString &login, const QString &classes,
               int length, quint32 counter);

// log2 of the number of passwords those classes allow at that length, every class at least
// once, with one decimal.
QString entropyText(const QString &classes, int length);

}
