#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>

// A small picture of the secret phrase that the user learns to recognise, so that a typo shows
// before it gives a wrong password. It costs one Argon2id run, as much as a password, so seeing
// it lets nobody test guessed phrases faster than by their passwords.
//
// f = Argon2id over the phrase's UTF-8 (3 passes, 64 MiB, 1 lane, 16 bytes), salted with the
// first 16 bytes of SHA-512 of "Quorvane fingerprint 1" and a zero byte. Symbol k of three has
// colour f[k] >> 5 and shape f[k] & 15. Only the phrase enters it.
namespace Fingerprint {

struct Symbol
{
    int colour = 0;   // 0 to 7: red, orange, yellow, green, teal, blue, purple, pink
    int shape = 0;    // 0 to 15: circle, square, triangle, diamond, star, heart, moon, sun, cross,
                      // ring, hexagon, arrow, drop, leaf, bolt, key
};

constexpr int symbolCount = 3;

QString colourName(int colour);
QString shapeName(int shape);
// How a colour is painted: "#d62728" and the pattern laid over it ("plain", "rows", "columns",
// "grid", "rising stripes", "falling stripes", "diagonal grid", "dots"), so that no one needs
// to tell the colours apart.
QString colourValue(int colour);
QString patternName(int colour);

// The three symbols of the phrase; empty when they could not be computed (not enough memory).
QVector<Symbol> of(const QString &phrase);

// "teal star, red leaf, teal leaf": colour, a blank and shape, joined by ", ".
QString text(const QVector<Symbol> &symbols);

}
