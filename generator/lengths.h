#pragma once

namespace Derivation {

// Every scheme of Quorvane's own makes passwords of 4 to 32 characters.
constexpr int minimumLength = 4;
constexpr int maximumLength = 32;

}
