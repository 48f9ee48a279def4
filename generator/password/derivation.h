#pragma once

#include "lengths.h"
#include "scheme.h"

#include <QString>

class Rule;

namespace Derivation {

bool isValidLength(int length);

// The strength shown beside a password: 6 bits for each base64 character, "24" to "192".
QString entropyText(int length);

// The compatible chain's passwords fall into a small set whatever the inputs: of 200,000
// derivations (100,000 phrases, 100,000 identifiers; bench/compatible-distinct.cpp) only this
// many length-32 passwords were different.
constexpr int compatibleDistinctPasswords = 107;

// What the window and --entropy show for a password: for the compatible scheme log2 of the
// measured count above ("6.7"; fewer at lengths too short to tell them apart), for the strong
// scheme the rule's figure.
QString entropyText(Scheme scheme, const Rule &rule, int length);
// Where that figure comes from, for a tooltip.
QString entropyNote(Scheme scheme);

// The original chain: 1002 SHA-512 digests, every one but the last fed back as text through
// the legacy UTF-8 codec. Bit-exact with the original program.
QString compatible(const QString &phrase, const QString &identifier, int length);

// Argon2id over the phrase, salted with a fixed domain text, the counter (from 2 on) and the
// identifier; the password is drawn from its tag by the rule. Returns the null text if the key
// could not be computed (not enough memory), or for a counter outside 1 to 2147483647.
QString strong(const QString &phrase, const QString &identifier, int length);
QString strong(const QString &phrase, const QString &identifier, int length, const Rule &rule, int counter);

// The first `length` characters that the rule's stream draws from a 48-byte strong key.
QString drawWithRule(const unsigned char key[48], const Rule &rule, int length);

}
