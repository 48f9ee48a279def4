#pragma once

#include "rule.h"
#include "scheme.h"
#include "spectre.h"

#include <QList>
#include <QString>
#include <QStringList>

// Every input of one password but the phrase, for every scheme: what a window's panel shows and
// edits, what the command line's options fill, what a profile line keeps and what an imported
// site list gives. Each scheme reads only its own fields; what a scheme knows of them (ranges,
// defaults, derivation, entropy, line) lives in its own unit (schemeunit.h), and this type hands
// every question to the unit of its scheme.
struct Recipe
{
    Scheme scheme = Scheme::Strong;
    QString identifier;          // LessPass's and Spectre's site
    int length = 16;             // strong, compatible, LessPass; Spectre's template fixes its own
    quint32 counter = 1;         // strong: the version (to 2147483647); LessPass, Spectre: to 4294967295
    Rule rule;                   // strong: the characters
    // LessPass's login; for Spectre, the login name an imported site list kept for the site
    // (shown and kept, not used to derive)
    QString login;
    QString classes = QStringLiteral("aA9!");   // LessPass
    QString userName;                           // Spectre's "full name"
    QString templateName = QStringLiteral("long");
    Spectre::Purpose purpose = Spectre::Purpose::Password;
    QString context;                            // Spectre: a security answer's keyword
    int algorithm = Spectre::latestAlgorithm;

    // A new recipe of the scheme, with the scheme's own defaults.
    static Recipe defaults(Scheme scheme);

    // What keeps it from making a password, in words the window and the command line both show;
    // empty when a password can be made.
    QString problem() const;

    // The password of the phrase as typed (each scheme takes it as Phrase::forScheme says); the
    // null text when the recipe has a problem or the key could not be computed (not enough
    // memory, a failure of the digest library).
    QString derive(const QString &phrase) const;

    // The strength shown beside the password, and where that figure comes from (a tooltip).
    QString entropyText() const;
    QString entropyNote() const;

    // Whether the identifier holds "|" where the scheme refuses one even to derive from (the
    // original program's "inputmsg1" notice).
    bool identifierRefused() const;

    // A short description for a person: "strong, 16, letters digits and symbols".
    QString label() const;
    // What makes each guess of the phrase cost ("Argon2id (64 MiB, three passes) makes every
    // guess of the phrase slow"); empty for the compatible scheme, where nothing does.
    QString guessCost() const;
    // The rating of a password of this recipe by its entropy: "poor", "weak", "good" or
    // "excellent", as the phrase meter rates phrases.
    QString rating() const;

    // The profile line that keeps it. Lines are read back by fromLine exactly: every line the
    // program ever wrote gives the same recipe and the same bytes again.
    QString line() const;
    // The line of a profile that uses the secret phrase numbered `phrase` (the first, 1, is the
    // line as it is; a later one adds "|#N" at the end: a number, never anything of a phrase).
    QString lineOnPhrase(int phrase) const;
    // The number of the phrase a profile line uses: 1 for a line without a mark.
    static int phraseOfLine(const QString &line);

    // The next version of the password, for a site that asks for a new one: the strong scheme,
    // LessPass and Spectre count their version up by one; the compatible scheme has none, so its
    // next password is a strong one (same identifier, the strong scheme's default length). False,
    // with why, when there is none (the version is at its largest).
    bool nextVersion(Recipe *next, QString *problem) const;
    // Its version, or counter, as a person reads it ("version 2"); for the compatible scheme,
    // "the original password".
    QString versionText() const;
    // Reads a profile line, with or without a phrase mark (lineOnPhrase). False for a line that
    // is no readable profile; the identifier (what stands before the first "|") is filled all
    // the same.
    static bool fromLine(const QString &line, Recipe *recipe);
    // Why a line makes no password, in words ("it names the lesspass scheme but is none of its
    // lines, which read ..."); the problem of the recipe it reads as, or empty when it makes one.
    static QString lineProblem(const QString &line);
    // What keeps the recipe out of a profile line: a text field that holds "|", a control
    // character or anything else a line cannot give back exactly. Empty when none.
    QString storableProblem() const;

    // The same inputs for the scheme: what "already saved" means.
    bool operator==(const Recipe &other) const;
    bool operator!=(const Recipe &other) const { return !(*this == other); }
    // The same password: what differs, if anything, is kept beside it but not derived from.
    bool derivesSameAs(const Recipe &other) const;

private:
    static bool readLine(const QString &line, Recipe *recipe);
};

namespace Schemes {

// Every scheme, in the order the window and the help list them.
QList<Scheme> all();

// "strong", "compatible", "lesspass" or "spectre": the names of profile lines and the command line.
QString name(Scheme scheme);
bool fromName(const QString &name, Scheme *scheme);

// Whether a line reads a text field back exactly (a "|" aside, which splits fields): no C0
// control character (CR and LF would split the line), no DEL, no unpaired surrogate (UTF-8 has
// no form for it) and no leading U+FEFF (read as a byte-order mark on a first line).
bool isStorableText(const QString &text);

}
