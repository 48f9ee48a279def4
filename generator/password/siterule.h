#pragma once

#include <QString>

#include <bitset>
#include <vector>

// A password policy written in the web's "passwordrules" language, as sites publish it:
//   required: lower, upper; required: digit; allowed: [-!#$@]; max-consecutive: 2; maxlength: 20;
// Properties are separated by ";". "required" names classes of which a password holds at least
// one character (each "required" on its own), "allowed" the characters it may hold besides,
// "max-consecutive" the longest run of one character, "minlength" and "maxlength" the lengths.
// Classes: upper, lower, digit, special (the 32 ASCII punctuation characters), ascii-printable
// and unicode (both the 94 visible ASCII characters), and own classes in brackets, "[-!#$]",
// where "-" may stand only first and "]" only last, written "]]". Passwords stay within the
// visible ASCII characters and the space (a space only where a bracketed class lists it).
class SiteRule
{
public:
    using CharacterSet = std::bitset<128>;

    // Whether a text is written in this language rather than as a short rule ("aA9!"): after any
    // white space it starts with a property name, in any case, then optional white space and ":".
    static bool isRuleText(const QString &text);
    // Whether a text that is no rule was meant to be one: it starts with ";", a property name,
    // or a word of three or more letters and ":" ("dummy: upper"), so that the reader's reason
    // says what is wrong.
    static bool looksMeantAsRuleText(const QString &text);

    // Parses a rule text; false, with what is wrong and where in *problem, when it is none.
    static bool parse(const QString &text, SiteRule *rule, QString *problem = nullptr);

    // The one text of every rule of the same meaning:
    //   required: ...; allowed: ...; [max-consecutive: N;] [minlength: N;] [maxlength: N;]
    QString canonicalText() const;
    // The canonical text without its lengths: what the password stream is keyed with.
    QString characterText() const;

    // Every character a password may hold, in ascending order.
    QString alphabet() const;

    // The lengths the rule allows within the program's own 4 to 32; empty when minimum > maximum.
    int minimumLength() const;
    int maximumLength() const;

    // Whether a word of the alphabet holds every required class and the limit on runs.
    bool holds(const QString &word) const;

    // log2 of the number of words of that length that hold the rule; -infinity when none does.
    double bits(int length) const;

    // Why no password of that length is made (a length outside the rule's, no or too few words
    // that hold it, so that drawing them would be slow); empty when one is.
    QString lengthProblem(int length) const;

    bool operator==(const SiteRule &other) const;

private:
    QString countedLengthProblem(int length) const;

    std::vector<CharacterSet> required;   // distinct sets, in the order first written
    CharacterSet allowed;                 // the alphabet: allowed and required characters
    int maxConsecutive = 0;               // 0: no limit
    int minLength = 0;                    // 0: not given
    int maxLength = 0;
};
