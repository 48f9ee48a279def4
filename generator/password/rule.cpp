#include "rule.h"

#include "lengths.h"

#include <QHash>
#include <QVector>

#include <cmath>

namespace {

const char symbolCharacters[] = "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~";
const char classOrder[] = "aA9!";

QString classMembers(char classLetter, const QString &symbols)
{
    switch (classLetter) {
    case 'a':
        return QStringLiteral("abcdefghijklmnopqrstuvwxyz");
    case 'A':
        return QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ");
    case '9':
        return QStringLiteral("0123456789");
    default:
        return symbols;
    }
}

}

Rule::Rule()
    : ruleText(QStringLiteral("base64"))
{
}

bool Rule::parseWords(const QString &text, Rule *rule, QString *problem)
{
    static const QStringList options{QStringLiteral("space"), QStringLiteral("caps"), QStringLiteral("digit")};
    bool chosen[3] = {false, false, false};
    bool valid = text == QLatin1String("words") || (text.startsWith(QLatin1String("words:")) && text.size() > 6);
    if (valid && text.size() > 5) {
        int next = 0;
        for (const QString &option : text.mid(6).split(QLatin1Char(','))) {
            const int at = options.indexOf(option);
            if (at < next) {
                valid = false;
                break;
            }
            chosen[at] = true;
            next = at + 1;
        }
    }
    if (!valid) {
        if (problem)
            *problem = QStringLiteral("\"%1\" is not a passphrase rule: use words, or words: followed by space, caps "
                                      "and digit, comma-separated, in that order, each at most once (words:caps,digit)")
                           .arg(text);
        return false;
    }
    *rule = Rule();
    rule->ruleText = text;
    rule->words = true;
    rule->wordSpace = chosen[0];
    rule->wordCaps = chosen[1];
    rule->wordDigit = chosen[2];
    return true;
}

QString Rule::allSymbols()
{
    return QString::fromLatin1(symbolCharacters);
}

bool Rule::parse(const QString &text, Rule *rule, QString *problem)
{
    QString why;
    auto refuse = [&](const QString &reason) {
        if (problem)
            *problem = reason;
        return false;
    };
    if (text == QLatin1String("base64")) {
        *rule = Rule();
        return true;
    }
    if (text.startsWith(QLatin1String("words")))
        return parseWords(text, rule, problem);
    if (SiteRule::isRuleText(text)) {
        SiteRule site;
        if (!SiteRule::parse(text, &site, problem))
            return false;
        *rule = Rule();
        rule->ruleText = site.canonicalText();
        rule->site = true;
        rule->siteRuleValue = site;
        return true;
    }
    if (SiteRule::looksMeantAsRuleText(text)) {
        SiteRule site;
        return SiteRule::parse(text, &site, problem);   // gives the reason
    }
    const int colon = text.indexOf(QLatin1Char(':'));
    const QString letters = colon < 0 ? text : text.left(colon);
    if (letters.isEmpty())
        return refuse(QStringLiteral("no character class is chosen"));
    // The letters must be a subsequence of "aA9!": each class once, in that order.
    int next = 0;
    for (const QChar c : letters) {
        const int at = QString::fromLatin1(classOrder).indexOf(c, next);
        if (at < 0)
            return refuse(QStringLiteral("\"%1\" is not a rule: use base64, or the classes a, A, 9 and ! in that order")
                              .arg(text));
        next = at + 1;
    }
    QString symbols;
    if (letters.contains(QLatin1Char('!'))) {
        symbols = allSymbols();
        if (colon >= 0) {
            symbols = text.mid(colon + 1);
            if (symbols.isEmpty())
                return refuse(QStringLiteral("no symbol follows \"!:\""));
            for (int i = 0; i < symbols.size(); ++i) {
                const QChar c = symbols.at(i);
                if (c == QLatin1Char('|') || !allSymbols().contains(c))
                    return refuse(QStringLiteral("\"%1\" is not one of the symbols allowed (ASCII punctuation other than |)")
                                      .arg(c));
                if (symbols.indexOf(c, i + 1) >= 0)
                    return refuse(QStringLiteral("the symbol \"%1\" is given twice").arg(c));
            }
        }
    } else if (colon >= 0) {
        return refuse(QStringLiteral("own symbols need the class !"));
    }
    rule->ruleText = text;
    rule->classes = letters;
    rule->ruleSymbols = symbols;
    return true;
}

QString Rule::compose(bool lower, bool upper, bool digits, bool symbols, const QString &ownSymbols)
{
    QString text;
    if (lower)
        text += QLatin1Char('a');
    if (upper)
        text += QLatin1Char('A');
    if (digits)
        text += QLatin1Char('9');
    if (symbols) {
        text += QLatin1Char('!');
        if (!ownSymbols.isEmpty())
            text += QLatin1Char(':') + ownSymbols;
    }
    return text;
}

bool Rule::has(char classLetter) const
{
    return classes.contains(QLatin1Char(classLetter));
}

QString Rule::streamText() const
{
    return site ? siteRuleValue.characterText() : ruleText;
}

int Rule::minimumLength() const
{
    return site ? siteRuleValue.minimumLength() : words ? Derivation::fewestWords : Derivation::minimumLength;
}

int Rule::maximumLength() const
{
    return site ? siteRuleValue.maximumLength() : words ? Derivation::mostWords : Derivation::maximumLength;
}

QString Rule::lengthProblem(int length) const
{
    if (site)
        return siteRuleValue.lengthProblem(length);
    if (words && (length < Derivation::fewestWords || length > Derivation::mostWords))
        return QStringLiteral("a passphrase has %1 to %2 words").arg(Derivation::fewestWords).arg(Derivation::mostWords);
    if (length < Derivation::minimumLength || length > Derivation::maximumLength)
        return QStringLiteral("the length must be from %1 to %2").arg(Derivation::minimumLength).arg(Derivation::maximumLength);
    return QString();
}

QString Rule::description() const
{
    if (site)
        return QStringLiteral("site rules");
    if (words)
        return ruleText == QLatin1String("words") ? QStringLiteral("words") : QStringLiteral("words, ") + ruleText.mid(6).replace(QLatin1Char(','), QStringLiteral(", "));
    static const QHash<QString, QString> presets{
        {QStringLiteral("base64"), QStringLiteral("letters digits + and /")},
        {QStringLiteral("aA9!"), QStringLiteral("letters digits and symbols")},
        {QStringLiteral("aA9"), QStringLiteral("letters and digits")},
        {QStringLiteral("9"), QStringLiteral("digits only")},
    };
    return presets.value(ruleText, QStringLiteral("characters ") + ruleText);
}

QString Rule::alphabet() const
{
    if (site)
        return siteRuleValue.alphabet();
    QString result;
    for (const QChar c : classes)
        result += classMembers(c.toLatin1(), ruleSymbols);
    return result;
}

bool Rule::holds(const QString &word) const
{
    if (site)
        return siteRuleValue.holds(word);
    for (const QChar c : classes) {
        const QString members = classMembers(c.toLatin1(), ruleSymbols);
        bool found = false;
        for (const QChar w : word) {
            if (members.contains(w)) {
                found = true;
                break;
            }
        }
        if (!found)
            return false;
    }
    return true;
}

QString Rule::entropyText(int length) const
{
    if (isBase64())
        return QString::number(6.0f * float(length), 'g', 6);   // 6 bits for each base64 character
    if (words) {
        // Each word one of 7,776; the digit one of 10 on one of the words.
        double bits = length * std::log2(7776.0);
        if (wordDigit)
            bits += std::log2(10.0) + std::log2(double(length));
        return QString::number(bits, 'f', 1);
    }
    if (site) {
        const double bits = siteRuleValue.bits(length);
        return std::isfinite(bits) ? QString::number(bits, 'f', 1) : QStringLiteral("0");
    }
    // Inclusion and exclusion: words over the alphabet, less those that miss some class.
    const int count = classes.size();
    QVector<int> sizes;
    int total = 0;
    for (const QChar c : classes) {
        sizes.append(classMembers(c.toLatin1(), ruleSymbols).size());
        total += sizes.last();
    }
    long double words = 0;
    for (int missing = 0; missing < (1 << count); ++missing) {
        int left = total;
        int sign = 1;
        for (int i = 0; i < count; ++i) {
            if (missing & (1 << i)) {
                left -= sizes.at(i);
                sign = -sign;
            }
        }
        words += sign * std::pow(static_cast<long double>(left), length);
    }
    return QString::number(double(std::log2(words)), 'f', 1);
}

namespace Counter {

bool parse(const QString &text, int *counter)
{
    if (text.isEmpty() || text.size() > 10)
        return false;
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    }
    const qint64 value = text.toLongLong();
    if (value < first || value > maximum)
        return false;
    *counter = int(value);
    return true;
}

}
