#include "recipe.h"

#include "lengths.h"
#include "phrase.h"
#include "phrasestrength.h"
#include "schemeunit.h"
#include "sha512.h"
#include "utf8.h"

#include <new>

namespace {

// Every scheme's unit, in the order of Schemes::all().
const SchemeUnit *const units[] = {&SchemeUnits::strong, &SchemeUnits::compatible, &SchemeUnits::lessPass,
                                   &SchemeUnits::spectre};

const SchemeUnit *unitNamed(const QString &name)
{
    for (const SchemeUnit *unit : units) {
        if (name == QLatin1String(unit->name))
            return unit;
    }
    return nullptr;
}

}

namespace SchemeUnits {

const SchemeUnit &of(Scheme scheme)
{
    for (const SchemeUnit *unit : units) {
        if (unit->scheme == scheme)
            return *unit;
    }
    return strong;
}

bool nextCounter(quint32 maximum, const Recipe &recipe, Recipe *next)
{
    if (recipe.counter >= maximum)
        return false;
    *next = recipe;
    ++next->counter;
    return true;
}

}

namespace Schemes {

QList<Scheme> all()
{
    QList<Scheme> schemes;
    for (const SchemeUnit *unit : units)
        schemes.append(unit->scheme);
    return schemes;
}

QString name(Scheme scheme)
{
    return QString::fromLatin1(SchemeUnits::of(scheme).name);
}

bool fromName(const QString &name, Scheme *scheme)
{
    const SchemeUnit *unit = unitNamed(name);
    if (unit)
        *scheme = unit->scheme;
    return unit != nullptr;
}

bool isStorableText(const QString &text)
{
    if (text.startsWith(QChar(0xFEFF)) || Utf8::hasLoneSurrogate(text))
        return false;
    for (const QChar c : text) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    }
    return true;
}

}

Recipe Recipe::defaults(Scheme scheme)
{
    Recipe recipe;
    recipe.scheme = scheme;
    SchemeUnits::of(scheme).setDefaults(&recipe);
    return recipe;
}

QString Recipe::problem() const
{
    return SchemeUnits::of(scheme).problem(*this);
}

QString Recipe::derive(const QString &phrase) const
{
    if (!problem().isEmpty())
        return QString();
    try {
        return SchemeUnits::of(scheme).derive(*this, Phrase::forScheme(scheme, phrase));
    } catch (const std::bad_alloc &) {
        return QString();   // no memory for the texts or the key
    } catch (const Sha512::Failure &) {
        return QString();   // libcrypto failed a digest: no password rather than a wrong one
    }
}

QString Recipe::entropyText() const
{
    return SchemeUnits::of(scheme).entropyText(*this);
}

QString Recipe::entropyNote() const
{
    return SchemeUnits::of(scheme).entropyNote(*this);
}

QString Recipe::label() const
{
    const SchemeUnit &unit = SchemeUnits::of(scheme);
    return QString::fromLatin1(unit.name) + QStringLiteral(", ") + unit.describe(*this);
}

QString Recipe::guessCost() const
{
    return QString::fromLatin1(SchemeUnits::of(scheme).guessCost);
}

QString Recipe::rating() const
{
    return PhraseStrength::rating(entropyText().toDouble());
}

bool Recipe::identifierRefused() const
{
    return SchemeUnits::of(scheme).refusesBarInIdentifier && identifier.contains(QLatin1Char('|'));
}

QString Recipe::line() const
{
    return SchemeUnits::of(scheme).lineFields(*this).join(QLatin1Char('|'));
}

namespace {

// A line's phrase mark: a last field "#N" (N from 2) where the line without it reads as a
// profile that makes a password and the line with it does not, so that no line written before marks existed (a
// LessPass login or a Spectre login name of "#2") changes its meaning. The line without the
// mark in *rest; 0 for a line without one.
int phraseMark(const QString &line, QString *rest)
{
    const int bar = line.lastIndexOf(QLatin1Char('|'));
    if (bar < 0 || line.size() - bar < 3 || line.at(bar + 1) != QLatin1Char('#'))
        return 0;
    bool number = false;
    const QString digits = line.mid(bar + 2);
    const int phrase = digits.toInt(&number, 10);
    if (!number || phrase < 2 || digits != QString::number(phrase))
        return 0;
    *rest = line.left(bar);
    return phrase;
}

}

bool Recipe::fromLine(const QString &line, Recipe *recipe)
{
    if (readLine(line, recipe))
        return true;
    QString rest;
    Recipe unmarked;
    if (phraseMark(line, &rest) == 0 || !readLine(rest, &unmarked) || !unmarked.problem().isEmpty())
        return false;
    *recipe = unmarked;
    return true;
}

int Recipe::phraseOfLine(const QString &line)
{
    QString rest;
    Recipe recipe;
    const int phrase = phraseMark(line, &rest);
    return phrase > 0 && !readLine(line, &recipe) && readLine(rest, &recipe) && recipe.problem().isEmpty() ? phrase : 1;
}

QString Recipe::lineOnPhrase(int phrase) const
{
    if (phrase <= 1)
        return line();
    QString marked = line();
    // A Spectre line without a login name would read its mark as one: the empty field comes first.
    if (scheme == Scheme::Spectre && login.isEmpty())
        marked += QLatin1Char('|');
    return marked + QStringLiteral("|#") + QString::number(phrase);
}

bool Recipe::nextVersion(Recipe *next, QString *problem) const
{
    if (SchemeUnits::of(scheme).next(*this, next))
        return true;
    *problem = QStringLiteral("%1 is at its last version").arg(identifier);
    return false;
}

QString Recipe::versionText() const
{
    if (scheme == Scheme::Compatible)
        return QStringLiteral("the original password");
    return QStringLiteral("version %1").arg(counter);
}

bool Recipe::readLine(const QString &line, Recipe *recipe)
{
    // The original program wrote "identifier|length" and read only up to the first "|": the
    // identifier is what stands before it, the length the two characters after it. A line whose
    // third field names a scheme is that scheme's line or no profile at all: read as the
    // original's, "big|16|lesspass|aA9!" would make another password than the one it names. The
    // original never wrote a line of three fields or more that it could read as a length, so a
    // third field that names no scheme exactly ("LessPass") makes no profile either.
    Recipe read;
    const int bar = line.indexOf(QLatin1Char('|'));
    read.identifier = line.left(bar);
    const QStringList fields = line.split(QLatin1Char('|'));
    const SchemeUnit *named = fields.size() >= 3 ? unitNamed(fields.at(2)) : nullptr;
    bool readable = false;
    if (named) {
        readable = named->readFields(fields, &read);
    } else if (fields.size() < 3) {
        read.scheme = Scheme::Compatible;
        read.length = line.mid(bar + 1, 2).toInt(nullptr, 10);
        readable = true;
    }
    if (!readable) {
        // Nothing but the identifier, and a three-field line's length, is known of a line that
        // cannot be read.
        const QString identifier = read.identifier;
        const int length = fields.size() == 3 ? fields.at(1).toInt(nullptr, 10) : 0;
        read = Recipe::defaults(Scheme::Compatible);
        read.identifier = identifier;
        read.length = length >= Derivation::minimumLength && length <= Derivation::maximumLength ? length : 0;
    }
    *recipe = read;
    return readable;
}

QString Recipe::lineProblem(const QString &line)
{
    Recipe read;
    if (fromLine(line, &read))
        return read.problem();
    const QStringList fields = line.split(QLatin1Char('|'));
    const SchemeUnit *named = unitNamed(fields.value(2));
    if (!named)
        return QStringLiteral("its third field, \"%1\", names no scheme (strong, compatible, lesspass or spectre, "
                              "in lower case)")
            .arg(fields.value(2));
    // What the scheme's own reading makes of it says the most; else the form its lines take.
    Recipe partial = defaults(named->scheme);
    named->readFields(fields, &partial);
    const QString problem = partial.problem();
    if (!problem.isEmpty())
        return problem;
    return QStringLiteral("it names the %1 scheme but is none of its lines, which read %2")
        .arg(QLatin1String(named->name), QLatin1String(named->lineForm));
}

QString Recipe::storableProblem() const
{
    for (const auto &field : SchemeUnits::of(scheme).textFields(*this)) {
        if (field.second.contains(QLatin1Char('|')) || !Schemes::isStorableText(field.second))
            return QStringLiteral("the %1 holds \"|\" or a control character, which a profile line cannot keep")
                .arg(field.first);
    }
    return QString();
}

bool Recipe::operator==(const Recipe &other) const
{
    return scheme == other.scheme && identifier == other.identifier && SchemeUnits::of(scheme).same(*this, other);
}

bool Recipe::derivesSameAs(const Recipe &other) const
{
    Recipe mine = *this;
    Recipe theirs = other;
    SchemeUnits::of(scheme).dropKept(&mine);
    SchemeUnits::of(other.scheme).dropKept(&theirs);
    return mine == theirs;
}
