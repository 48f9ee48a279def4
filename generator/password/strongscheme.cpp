// The strong scheme: Argon2id over the phrase, the characters drawn by a rule (derivation.h).
// Its lines: "identifier|length|strong" for base64 and version 1 (as before versions existed),
// "identifier|length|strong|RULE|VERSION" otherwise.

#include "schemeunit.h"

#include "derivation.h"
#include "recipe.h"
#include "siterule.h"

namespace {

void setDefaults(Recipe *r)
{
    r->length = Derivation::strongDefaultLength;
}

QString problem(const Recipe &r)
{
    if (!Derivation::isValidLength(r.length))
        return QStringLiteral("the length must be a whole number from 4 to 32");
    const QString lengthProblem = r.rule.lengthProblem(r.length);
    if (!lengthProblem.isEmpty())
        return lengthProblem;
    if (r.counter < quint32(Counter::first) || r.counter > quint32(Counter::maximum))
        return QStringLiteral("the counter must be a whole number from 1 to 2147483647");
    return QString();
}

QString derive(const Recipe &r, const QString &phrase)
{
    return Derivation::strong(phrase, r.identifier, r.length, r.rule, int(r.counter));
}

QString entropyText(const Recipe &r)
{
    return Derivation::entropyText(Scheme::Strong, r.rule, r.length);
}

QString entropyNote(const Recipe &)
{
    return Derivation::entropyNote(Scheme::Strong);
}

QString describe(const Recipe &r)
{
    QString text = QStringLiteral("%1, %2").arg(r.length).arg(r.rule.description());
    if (r.counter != quint32(Counter::first))
        text += QStringLiteral(", version %1").arg(r.counter);
    return text;
}

// A site rule's text may hold "|", which would split the line, and "%", which would then be
// ambiguous: written %7C and %25. Short rules never hold "|" and are kept as they were written.
QString ruleField(const Rule &rule)
{
    if (!rule.isSiteRule())
        return rule.text();
    QString text = rule.text();
    return text.replace(QLatin1Char('%'), QLatin1String("%25")).replace(QLatin1Char('|'), QLatin1String("%7C"));
}

bool ruleFromField(const QString &field, Rule *rule)
{
    if (!SiteRule::isRuleText(field))
        return Rule::parse(field, rule);
    QString text;
    for (int i = 0; i < field.size(); ++i) {
        const QStringRef escape = field.midRef(i, 3);
        if (escape.compare(QLatin1String("%25"), Qt::CaseInsensitive) == 0) {
            text += QLatin1Char('%');
            i += 2;
        } else if (escape.compare(QLatin1String("%7C"), Qt::CaseInsensitive) == 0) {
            text += QLatin1Char('|');
            i += 2;
        } else {
            text += field.at(i);
        }
    }
    return Rule::parse(text, rule);
}

QStringList lineFields(const Recipe &r)
{
    QStringList fields{r.identifier, QString::number(r.length, 10), QStringLiteral("strong")};
    if (!r.rule.isBase64() || r.counter != quint32(Counter::first))
        fields << ruleField(r.rule) << QString::number(r.counter, 10);
    return fields;
}

bool readFields(const QStringList &f, Recipe *r)
{
    r->scheme = Scheme::Strong;
    const int length = f.at(1).toInt(nullptr, 10);
    if (f.size() == 3) {
        // Written before rules and versions; a length outside 4 to 32 reads as 0.
        r->length = Derivation::isValidLength(length) ? length : 0;
        return true;
    }
    // Read as far as it goes, so that what is wrong shows in the recipe's problem().
    if (f.size() != 5)
        return false;
    r->length = length;
    int counter = Counter::first;
    const bool counted = Counter::parse(f.at(4), &counter);
    r->counter = counted ? quint32(counter) : 0;
    return Derivation::isValidLength(length) && ruleFromField(f.at(3), &r->rule) && counted
           && r->rule.lengthProblem(length).isEmpty();
}

QList<QPair<QString, QString>> textFields(const Recipe &r)
{
    return {{QStringLiteral("identifier"), r.identifier}};
}

bool next(const Recipe &r, Recipe *next)
{
    return SchemeUnits::nextCounter(quint32(Counter::maximum), r, next);
}

bool same(const Recipe &a, const Recipe &b)
{
    return a.length == b.length && a.rule == b.rule && a.counter == b.counter;
}

void dropKept(Recipe *)
{
}

}

namespace SchemeUnits {

const SchemeUnit strong = {Scheme::Strong, "strong", true,
    setDefaults, problem, derive, entropyText, entropyNote, describe,
    "Argon2id (64 MiB, three passes) makes every guess of the phrase slow",
    "IDENTIFIER|LENGTH|strong or IDENTIFIER|LENGTH|strong|CHARACTERS|VERSION",
    lineFields, readFields, textFields,
    next, same, dropKept};

}
