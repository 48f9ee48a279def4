#pragma once

#include "derivation.h"
#include "spectre.h"

#include <QString>
#include <QStringList>

// Every input of a LessPass or Spectre password but the phrase: what the window's panel shows,
// what the command line's options fill, what a profile line stores.
struct PeerRecipe
{
    Scheme scheme = Scheme::LessPass;   // LessPass or Spectre
    QString site;                       // the identifier
    quint32 counter = 1;
    // LessPass's login; for Spectre, the login name a site list stored for the site (kept, not
    // used to derive)
    QString login;
    QString classes = QStringLiteral("aA9!");
    int length = 16;
    // Spectre
    QString userName;
    QString templateName = QStringLiteral("long");
    Spectre::Purpose purpose = Spectre::Purpose::Password;
    QString context;                    // the security answer's keyword
    int algorithm = Spectre::latestAlgorithm;

    bool operator==(const PeerRecipe &other) const;
    bool operator!=(const PeerRecipe &other) const { return !(*this == other); }
};

namespace PeerSchemes {

bool isPeer(Scheme scheme);

// What is wrong with the recipe, in words the window and the command line both show, or the
// empty text when a password can be made from it.
QString problem(const PeerRecipe &recipe);

// The password; the null text when the recipe has a problem or the key could not be computed.
QString derive(const PeerRecipe &recipe, const QString &phrase);

// What the window and --entropy show, and where it comes from (for a tooltip).
QString entropyText(const PeerRecipe &recipe);
QString entropyNote(Scheme scheme);

// The profile line: "site|length|lesspass|CLASSES|COUNTER|LOGIN" or
// "site|0|spectre|TEMPLATE|COUNTER|ALGORITHM|PURPOSE|USER NAME|KEYWORD", followed by "|LOGIN"
// when a Spectre site has a stored login name. Whether its text fields
// read back is the profile file's to say (ProfileFile::storableProblem).
QString line(const PeerRecipe &recipe);
// Reads a line's fields back; false when they are not such a line.
bool fromFields(const QStringList &fields, PeerRecipe *recipe);

}
