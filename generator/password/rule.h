#pragma once

#include "siterule.h"

#include <QString>

// The characters a strong password may hold, as a site's password policy asks for them.
//
// A rule's text is "base64" (the strong scheme's own output, the default), or one or more class
// letters in this order: "a" (a to z), "A" (A to Z), "9" (0 to 9), "!" (symbols). A "!" may be
// followed by ":" and the site's own symbols: 1 to 31 distinct characters of the 32 ASCII
// punctuation characters other than "|"; a plain "!" means all 32. Every class of a rule appears
// at least once in each of its passwords, and every password that allows is equally likely.
// A rule's text may also be a site's policy in the passwordrules language (siterule.h); such a
// rule's text is its canonical form.
//
// Or a passphrase: "words", lower-case words of the EFF's list joined by "-", or "words:" and
// options, comma-separated, in this order, each at most once: "space" (joined by a blank),
// "caps" (each word's first letter upper case), "digit" (one digit added to one word). The
// length is then the number of words, 4 to 12.
class Rule
{
public:
    // The rule "base64".
    Rule();

    // Parses a rule's text; false, with what is wrong in *problem, when it is not a rule.
    static bool parse(const QString &text, Rule *rule, QString *problem = nullptr);

    // The text of the rule that the window's "Custom" choices make (it may not be a rule: parse
    // says why). An empty own-symbols text means all 32 symbols.
    static QString compose(bool lower, bool upper, bool digits, bool symbols, const QString &ownSymbols);

    // All 32 ASCII punctuation characters, in ASCII order.
    static QString allSymbols();

    bool isBase64() const { return ruleText == QLatin1String("base64"); }
    bool isWords() const { return words; }
    bool wordsJoinedBySpace() const { return wordSpace; }
    bool wordsCapitalised() const { return wordCaps; }
    bool wordsWithDigit() const { return wordDigit; }
    bool isSiteRule() const { return site; }
    const SiteRule &siteRule() const { return siteRuleValue; }
    const QString &text() const { return ruleText; }
    // What the password stream is keyed with: the text, or a site rule's character text.
    QString streamText() const;
    bool has(char classLetter) const;          // 'a', 'A', '9' or '!'
    const QString &symbols() const { return ruleSymbols; }   // the "!" class, empty without one

    // The alphabet: the classes joined in the rule's order, own symbols in the order written
    // (a site rule's characters in ascending order).
    QString alphabet() const;

    // Whether every class of the rule appears in the word (and a site rule's limit on runs holds).
    bool holds(const QString &word) const;

    // The lengths the rule allows: 4 to 32, fewer for a site rule, 4 to 12 words for a passphrase.
    int minimumLength() const;
    int maximumLength() const;
    // Why the rule makes no password of that length; empty when it does.
    QString lengthProblem(int length) const;

    // The characters in a few words, as a profile's description gives them: "letters digits and
    // symbols", "characters a9!:#@", "site rules".
    QString description() const;

    // log2 of the number of passwords of that length the rule allows, with one decimal
    // ("104.6"); for base64 the scheme's 6 bits a character ("96").
    QString entropyText(int length) const;

    bool operator==(const Rule &other) const { return ruleText == other.ruleText; }
    bool operator!=(const Rule &other) const { return ruleText != other.ruleText; }

private:
    static bool parseWords(const QString &text, Rule *rule, QString *problem);

    QString ruleText;
    QString classes;       // the class letters, in order
    QString ruleSymbols;
    bool site = false;
    SiteRule siteRuleValue;
    bool words = false;
    bool wordSpace = false;
    bool wordCaps = false;
    bool wordDigit = false;
};

// The strong scheme's counter, shown as "Version".
namespace Counter {

constexpr int first = 1;
constexpr int maximum = 2147483647;

// A whole number from 1 to 2147483647, decimal digits only.
bool parse(const QString &text, int *counter);

}
