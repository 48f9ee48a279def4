// The compatible scheme: the original program's SHA-512 chain, bit for bit (derivation.h), kept
// to recover its passwords. Its lines are the original "identifier|length".

#include "schemeunit.h"

#include "derivation.h"
#include "recipe.h"

namespace {

void setDefaults(Recipe *r)
{
    r->length = Derivation::compatibleDefaultLength;
}

QString problem(const Recipe &r)
{
    return Derivation::isValidLength(r.length) ? QString()
                                               : QStringLiteral("the length must be a whole number from 4 to 32");
}

QString derive(const Recipe &r, const QString &phrase)
{
    return Derivation::compatible(phrase, r.identifier, r.length);
}

QString entropyText(const Recipe &r)
{
    return Derivation::entropyText(Scheme::Compatible, Rule(), r.length);
}

QString entropyNote(const Recipe &)
{
    return Derivation::entropyNote(Scheme::Compatible);
}

QString describe(const Recipe &r)
{
    return QString::number(r.length);
}

QStringList lineFields(const Recipe &r)
{
    return {r.identifier, QString::number(r.length, 10)};
}

bool readFields(const QStringList &f, Recipe *r)
{
    // "identifier|length|compatible": never written, but plain enough to read.
    if (f.size() != 3)
        return false;
    const int length = f.at(1).toInt(nullptr, 10);
    r->scheme = Scheme::Compatible;
    r->length = Derivation::isValidLength(length) ? length : 0;
    return true;
}

QList<QPair<QString, QString>> textFields(const Recipe &r)
{
    return {{QStringLiteral("identifier"), r.identifier}};
}

// No versions: the next password is the strong scheme's, where an old, weak password is
// upgraded.
bool next(const Recipe &r, Recipe *next)
{
    *next = Recipe::defaults(Scheme::Strong);
    next->identifier = r.identifier;
    return true;
}

bool same(const Recipe &a, const Recipe &b)
{
    return a.length == b.length;
}

void dropKept(Recipe *)
{
}

}

namespace SchemeUnits {

const SchemeUnit compatible = {Scheme::Compatible, "compatible", true,
    setDefaults, problem, derive, entropyText, entropyNote, describe,
    "",
    "IDENTIFIER|LENGTH or IDENTIFIER|LENGTH|compatible",
    lineFields, readFields, textFields,
    next, same, dropKept};

}
