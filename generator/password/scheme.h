#pragma once

// The ways of turning a secret phrase and a recipe into a password.
enum class Scheme {
    Strong,       // Argon2id; the default for new passwords
    Compatible,   // the original program's SHA-512 chain, kept to recover its passwords
    LessPass,     // LessPass's passwords, for its users
    Spectre,      // Spectre's (formerly Master Password's), for its users
};
