#pragma once

namespace Derivation {

// Every scheme of Quorvane's own makes passwords of 4 to 32 characters.
constexpr int minimumLength = 4;
constexpr int maximumLength = 32;
// A new strong password, in every door (the window, quorvane-cli, the browser): one length, so
// that one site gets one password.
constexpr int strongDefaultLength = 16;
// The original program's length box starts at its lowest length; its scheme keeps that start.
constexpr int compatibleDefaultLength = minimumLength;
// A passphrase's length is its number of words: 4 to 12, six at first (the EFF's advice).
constexpr int fewestWords = 4;
constexpr int mostWords = 12;
constexpr int wordsDefaultLength = 6;

}
