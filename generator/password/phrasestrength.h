#pragma once

#include <QString>

// How hard a secret phrase is to guess, as the zxcvbn library estimates it on this machine
// alone: the bits of the easiest way it finds to guess the phrase, and the rating a password
// manager shows for them.
namespace PhraseStrength {

struct Estimate
{
    double bits = 0;
    QString rating;   // "poor", "weak", "good" or "excellent"
};

// Poor under 40 bits, weak under 75, good under 100, excellent from 100.
QString rating(double bits);

Estimate of(const QString &phrase);

// "70.3 bits, weak"
QString text(const Estimate &estimate);

}
