#include "siterule.h"

#include "lengths.h"

#include <QHash>
#include <QMutex>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

using CharacterSet = SiteRule::CharacterSet;

const char *const propertyNames[] = {"required", "allowed", "max-consecutive", "minlength", "maxlength"};
enum Property { Required, Allowed, MaxConsecutive, MinLength, MaxLength };

// The draw gives up on a rule for which fewer than 1 word in 2^20 holds: it would be slow.
constexpr int drawLimitBits = 20;
// The count runs over every combination of required classes met so far: 2^k of them.
constexpr int maximumRequiredSets = 8;

CharacterSet range(char first, char last)
{
    CharacterSet set;
    for (int c = first; c <= last; ++c)
        set.set(std::size_t(c));
    return set;
}

const CharacterSet lowerSet = range('a', 'z');
const CharacterSet upperSet = range('A', 'Z');
const CharacterSet digitSet = range('0', '9');
const CharacterSet visibleSet = range('!', '~');
const CharacterSet specialSet = visibleSet & ~(lowerSet | upperSet | digitSet);

bool isSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') || c == QLatin1Char('\f')
        || c == QLatin1Char('\r');
}

bool isNameCharacter(QChar c)
{
    const ushort u = c.unicode();
    return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || u == '-';
}

bool namedClass(const QString &name, CharacterSet *set)
{
    const QString lower = name.toLower();
    if (lower == QLatin1String("upper"))
        *set = upperSet;
    else if (lower == QLatin1String("lower"))
        *set = lowerSet;
    else if (lower == QLatin1String("digit"))
        *set = digitSet;
    else if (lower == QLatin1String("special"))
        *set = specialSet;
    else if (lower == QLatin1String("ascii-printable") || lower == QLatin1String("unicode"))
        *set = visibleSet;
    else
        return false;
    return true;
}

// The canonical class list of a set: the named classes it holds wholly, then the rest in brackets.
QString classList(const CharacterSet &set)
{
    QStringList parts;
    CharacterSet rest = set;
    const std::pair<const char *, CharacterSet> names[] = {{"lower", lowerSet}, {"upper", upperSet}, {"digit", digitSet}};
    for (const auto &name : names) {
        if ((set & name.second) == name.second) {
            parts << QLatin1String(name.first);
            rest &= ~name.second;
        }
    }
    if (rest.any()) {
        QString own = QStringLiteral("[");
        if (rest.test('-'))
            own += QLatin1Char('-');
        for (int c = 0x20; c <= 0x7E; ++c) {
            if (rest.test(std::size_t(c)) && c != '-' && c != ']')
                own += QLatin1Char(char(c));
        }
        own += rest.test(']') ? QStringLiteral("]]") : QStringLiteral("]");
        parts << own;
    }
    return parts.join(QStringLiteral(", "));
}

// Reads one rule text from left to right; every refusal names what is wrong and where.
class Reader
{
public:
    explicit Reader(const QString &text) : text(text) {}

    bool read(std::vector<CharacterSet> *required, CharacterSet *allowed, int *maxConsecutive, int *minLength,
              int *maxLength)
    {
        bool anyProperty = false;
        for (;;) {
            skipSpace();
            if (atEnd())
                break;
            if (peek() == QLatin1Char(';'))
                return fail(QStringLiteral("a \";\" where a property name should start"));
            const int nameAt = at;
            const QString name = readName();
            int property = -1;
            for (int i = 0; i < 5; ++i) {
                if (name.compare(QLatin1String(propertyNames[i]), Qt::CaseInsensitive) == 0)
                    property = i;
            }
            if (name.isEmpty())
                return fail(QStringLiteral("a property name (required, allowed, max-consecutive, minlength or "
                                           "maxlength) is expected"));
            if (property < 0)
                return failAt(nameAt, QStringLiteral("\"%1\" is no property: use required, allowed, max-consecutive, "
                                                     "minlength or maxlength").arg(name));
            skipSpace();
            if (atEnd() || peek() != QLatin1Char(':'))
                return fail(QStringLiteral("\":\" is missing after \"%1\"").arg(name));
            ++at;
            skipSpace();
            anyProperty = true;
            if (property == Required || property == Allowed) {
                CharacterSet set;
                if (!readClassList(&set))
                    return false;
                if (set.none()) {
                    // an empty value drops the property
                } else if (property == Allowed) {
                    *allowed |= set;
                } else if (std::find(required->begin(), required->end(), set) == required->end()) {
                    required->push_back(set);
                }
            } else {
                int value = 0;
                if (!readNumber(&value))
                    return false;
                if (value > 0) {
                    int *target = property == MaxConsecutive ? maxConsecutive : property == MinLength ? minLength : maxLength;
                    const bool largestWins = property == MinLength;
                    if (*target == 0 || (largestWins ? value > *target : value < *target))
                        *target = value;
                }
            }
            skipSpace();
            if (atEnd())
                break;
            if (peek() != QLatin1Char(';'))
                return fail(QStringLiteral("\"%1\" after the value of \"%2\": properties are separated by \";\"")
                                .arg(peek()).arg(name));
            ++at;
        }
        if (!anyProperty)
            return failAt(0, QStringLiteral("the text holds no property"));
        return true;
    }

    QString problem;

private:
    bool atEnd() const { return at >= text.size(); }
    QChar peek() const { return text.at(at); }

    void skipSpace()
    {
        while (!atEnd() && isSpace(peek()))
            ++at;
    }

    QString readName()
    {
        const int start = at;
        while (!atEnd() && isNameCharacter(peek()))
            ++at;
        return text.mid(start, at - start);
    }

    bool fail(const QString &what) { return failAt(at, what); }
    bool failAt(int where, const QString &what)
    {
        problem = QStringLiteral("%1 (at character %2)").arg(what).arg(where + 1);
        return false;
    }

    bool valueEnds() const { return atEnd() || peek() == QLatin1Char(';'); }

    bool readClassList(CharacterSet *set)
    {
        if (valueEnds())
            return true;   // an empty value
        for (;;) {
            if (!atEnd() && peek() == QLatin1Char('[')) {
                if (!readOwnClass(set))
                    return false;
            } else {
                const int nameAt = at;
                const QString name = readName();
                if (name.isEmpty())
                    return fail(QStringLiteral("a class is expected: upper, lower, digit, special, ascii-printable, "
                                               "unicode or characters in brackets"));
                CharacterSet named;
                if (!namedClass(name, &named))
                    return failAt(nameAt, QStringLiteral("\"%1\" is no class: use upper, lower, digit, special, "
                                                         "ascii-printable, unicode or characters in brackets")
                                              .arg(name));
                *set |= named;
            }
            skipSpace();
            if (atEnd() || peek() != QLatin1Char(','))
                return true;
            ++at;
            skipSpace();
            if (valueEnds() || peek() == QLatin1Char(','))
                return fail(QStringLiteral("a class must follow \",\""));
        }
    }

    bool readOwnClass(CharacterSet *set)
    {
        const int openedAt = at++;
        bool first = true;
        for (;; first = false) {
            if (atEnd())
                return failAt(openedAt, QStringLiteral("the class opened by \"[\" is not closed by \"]\""));
            const ushort c = peek().unicode();
            ++at;
            if (c == ']') {
                if (!atEnd() && peek() == QLatin1Char(']')) {
                    set->set(']');   // "]]": a "]" of the class, then its end
                    ++at;
                }
                // "[]a]" or "[a]]]": a "]" that was meant as a member, but not written last.
                const int nextSemicolon = text.indexOf(QLatin1Char(';'), at);
                const QStringRef rest = text.midRef(at, nextSemicolon < 0 ? -1 : nextSemicolon - at);
                if (!atEnd() && !isSpace(peek()) && peek() != QLatin1Char(',') && rest.contains(QLatin1Char(']')))
                    return fail(QStringLiteral("a \"]\" may stand in a class only last, written \"]]\""));
                return true;
            }
            if (c == '-' && !first)
                return failAt(at - 1, QStringLiteral("a \"-\" may stand in a class only first"));
            if (c >= 0x20 && c <= 0x7E)
                set->set(c);   // anything else cannot be typed on every site: dropped
        }
    }

    bool readNumber(int *value)
    {
        if (valueEnds())
            return true;   // an empty value
        if (!peek().isDigit() || peek().unicode() > '9')
            return fail(QStringLiteral("a whole number is expected"));
        qint64 number = 0;
        while (!atEnd() && peek().unicode() >= '0' && peek().unicode() <= '9') {
            number = std::min<qint64>(number * 10 + (peek().unicode() - '0'), std::numeric_limits<int>::max());
            ++at;
        }
        *value = int(number);
        return true;
    }

    const QString &text;
    int at = 0;
};

// A whole number of up to 256 bits: the count of 95^32 words needs 211.
struct Wide {
    std::array<std::uint64_t, 4> limb{};

    void add(const Wide &other)
    {
        unsigned __int128 carry = 0;
        for (std::size_t i = 0; i < limb.size(); ++i) {
            carry += static_cast<unsigned __int128>(limb[i]) + other.limb[i];
            limb[i] = std::uint64_t(carry);
            carry >>= 64;
        }
    }
    void addTimes(const Wide &other, std::uint64_t factor)
    {
        unsigned __int128 carry = 0;
        for (std::size_t i = 0; i < limb.size(); ++i) {
            carry += static_cast<unsigned __int128>(other.limb[i]) * factor + limb[i];
            limb[i] = std::uint64_t(carry);
            carry >>= 64;
        }
    }
    // *this - other, for other <= *this.
    void subtract(const Wide &other)
    {
        std::uint64_t borrow = 0;
        for (std::size_t i = 0; i < limb.size(); ++i) {
            const std::uint64_t before = limb[i];
            limb[i] = before - other.limb[i] - borrow;
            borrow = (before < other.limb[i] || (before == other.limb[i] && borrow)) ? 1 : 0;
        }
    }
    bool isZero() const { return limb[0] == 0 && limb[1] == 0 && limb[2] == 0 && limb[3] == 0; }
    long double value() const
    {
        long double result = 0;
        for (std::size_t i = limb.size(); i-- > 0;)
            result = result * 18446744073709551616.0L + limb[i];
        return result;
    }
    bool less(const Wide &other) const
    {
        for (std::size_t i = limb.size(); i-- > 0;) {
            if (limb[i] != other.limb[i])
                return limb[i] < other.limb[i];
        }
        return false;
    }
};

Wide power(std::uint64_t base, int exponent)
{
    Wide result;
    result.limb[0] = 1;
    for (int i = 0; i < exponent; ++i) {
        Wide next;
        next.addTimes(result, base);
        result = next;
    }
    return result;
}

// Keeps of the required sets those that are not implied by a smaller one: a word that meets a
// set meets every set that holds it.
std::vector<CharacterSet> smallestDemands(const std::vector<CharacterSet> &sets)
{
    std::vector<CharacterSet> kept;
    for (const CharacterSet &set : sets) {
        const bool implied = std::any_of(sets.begin(), sets.end(), [&](const CharacterSet &other) {
            return other != set && (other & set) == other;
        });
        if (!implied)
            kept.push_back(set);
    }
    return kept;
}

}

bool SiteRule::isRuleText(const QString &text)
{
    int at = 0;
    while (at < text.size() && isSpace(text.at(at)))
        ++at;
    for (const char *name : propertyNames) {
        const int size = int(qstrlen(name));
        if (text.midRef(at, size).compare(QLatin1String(name), Qt::CaseInsensitive) != 0)
            continue;
        int after = at + size;
        while (after < text.size() && isSpace(text.at(after)))
            ++after;
        if (after < text.size() && text.at(after) == QLatin1Char(':'))
            return true;
    }
    return false;
}

bool SiteRule::looksMeantAsRuleText(const QString &text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.startsWith(QLatin1Char(';')))
        return true;
    int end = 0;
    while (end < trimmed.size() && isNameCharacter(trimmed.at(end)))
        ++end;
    const QStringRef word = trimmed.leftRef(end);
    const bool property = std::any_of(std::begin(propertyNames), std::end(propertyNames), [&](const char *name) {
        return word.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
    });
    return property || (end >= 3 && trimmed.midRef(end).trimmed().startsWith(QLatin1Char(':')));
}

bool SiteRule::parse(const QString &text, SiteRule *rule, QString *problem)
{
    SiteRule read;
    Reader reader(text);
    if (!reader.read(&read.required, &read.allowed, &read.maxConsecutive, &read.minLength, &read.maxLength)) {
        if (problem)
            *problem = reader.problem;
        return false;
    }
    for (const CharacterSet &set : read.required)
        read.allowed |= set;
    if (read.allowed.none())
        read.allowed = visibleSet;
    *rule = read;
    return true;
}

QString SiteRule::characterText() const
{
    QStringList parts;
    for (const CharacterSet &set : required)
        parts << QStringLiteral("required: ") + classList(set);
    parts << QStringLiteral("allowed: ") + classList(allowed);
    if (maxConsecutive > 0)
        parts << QStringLiteral("max-consecutive: %1").arg(maxConsecutive);
    return parts.join(QStringLiteral("; ")) + QLatin1Char(';');
}

QString SiteRule::canonicalText() const
{
    QString text = characterText();
    if (minLength > 0)
        text += QStringLiteral(" minlength: %1;").arg(minLength);
    if (maxLength > 0)
        text += QStringLiteral(" maxlength: %1;").arg(maxLength);
    return text;
}

QString SiteRule::alphabet() const
{
    QString result;
    for (int c = 0x20; c <= 0x7E; ++c) {
        if (allowed.test(std::size_t(c)))
            result += QLatin1Char(char(c));
    }
    return result;
}

int SiteRule::minimumLength() const
{
    return std::max(Derivation::minimumLength, minLength);
}

int SiteRule::maximumLength() const
{
    return maxLength > 0 ? std::min(Derivation::maximumLength, maxLength) : Derivation::maximumLength;
}

bool SiteRule::holds(const QString &word) const
{
    CharacterSet present;
    int run = 0;
    for (int i = 0; i < word.size(); ++i) {
        const ushort c = word.at(i).unicode();
        if (c >= 128 || !allowed.test(c))
            return false;
        present.set(c);
        run = i > 0 && word.at(i - 1) == word.at(i) ? run + 1 : 1;
        if (maxConsecutive > 0 && run > maxConsecutive)
            return false;
    }
    return std::all_of(required.begin(), required.end(), [&](const CharacterSet &set) { return (set & present).any(); });
}

namespace {

// The number of words of `length` characters over `allowed` that hold a character of each
// required set and no run longer than `maxRun` (0: any). The characters fall into groups by the
// required sets they belong to, and every character of a group is alike. A word is a shorter
// word followed by one run of a character other than its last; so the words of length p that
// end in group h, by the sets they meet, are the sum over run lengths of the runs of h that can
// start after length p - run. Prefix sums over the lengths make each step cost sets x groups.
Wide countWords(const std::vector<CharacterSet> &demands, const CharacterSet &allowed, int maxRun, int length)
{
    std::vector<unsigned> groupMask;     // the required sets a group's characters belong to
    std::vector<std::uint64_t> groupSize;
    for (int c = 0; c < 128; ++c) {
        if (!allowed.test(std::size_t(c)))
            continue;
        unsigned mask = 0;
        for (std::size_t i = 0; i < demands.size(); ++i) {
            if (demands[i].test(std::size_t(c)))
                mask |= 1u << i;
        }
        const auto found = std::find(groupMask.begin(), groupMask.end(), mask);
        if (found == groupMask.end()) {
            groupMask.push_back(mask);
            groupSize.push_back(1);
        } else {
            ++groupSize[std::size_t(found - groupMask.begin())];
        }
    }
    const std::size_t masks = std::size_t(1) << demands.size();
    const std::size_t groups = groupMask.size();
    const std::size_t cells = masks * groups;
    const int longestRun = maxRun > 0 && maxRun < length ? maxRun : length;

    // starts[q]: the ways a run can begin after a word of length q, by (sets met with the run's
    // character, its group); prefix[q] sums starts[0..q-1]; words: those of the length in hand.
    std::vector<Wide> prefix((std::size_t(length) + 1) * cells);
    std::vector<Wide> words(cells), starts(cells), perMask(masks);
    for (int q = 0; q < length; ++q) {
        std::fill(starts.begin(), starts.end(), Wide());
        for (std::size_t m = 0; m < masks; ++m) {
            perMask[m] = Wide();
            for (std::size_t g = 0; g < groups && q > 0; ++g)
                perMask[m].add(words[m * groups + g]);
        }
        if (q == 0)
            perMask[0].limb[0] = 1;   // the empty word
        for (std::size_t m = 0; m < masks; ++m) {
            if (perMask[m].isZero())
                continue;
            for (std::size_t h = 0; h < groups; ++h) {
                // Any character of group h but the word's last one.
                Wide &start = starts[(m | groupMask[h]) * groups + h];
                start.addTimes(perMask[m], groupSize[h]);
                if (q > 0)
                    start.subtract(words[m * groups + h]);
            }
        }
        Wide *sum = &prefix[std::size_t(q + 1) * cells];
        for (std::size_t i = 0; i < cells; ++i) {
            sum[i] = prefix[std::size_t(q) * cells + i];
            sum[i].add(starts[i]);
        }
        // The words of length q + 1: a run of 1 to longestRun characters that began after
        // length q + 1 - run.
        const int earliest = q + 1 - longestRun;
        for (std::size_t i = 0; i < cells; ++i) {
            words[i] = sum[i];
            if (earliest > 0)
                words[i].subtract(prefix[std::size_t(earliest) * cells + i]);
        }
    }
    Wide total;
    for (std::size_t g = 0; g < groups; ++g)
        total.add(words[(masks - 1) * groups + g]);
    return total;
}

}

double SiteRule::bits(int length) const
{
    const std::vector<CharacterSet> demands = smallestDemands(required);
    if (length < 1 || length > 64 || demands.size() > std::size_t(maximumRequiredSets))
        return -std::numeric_limits<double>::infinity();
    const Wide count = countWords(demands, allowed, maxConsecutive, length);
    if (count.isZero())
        return -std::numeric_limits<double>::infinity();
    return double(std::log2(count.value()));
}

QString SiteRule::lengthProblem(int length) const
{
    // Counting takes tens of microseconds, and a profile file of many sites repeats few rules:
    // each answer is kept for the rest of the run.
    static QMutex guard;
    static QHash<QString, QString> known;
    const QString key = canonicalText() + QLatin1Char('\n') + QString::number(length);
    {
        const QMutexLocker lock(&guard);
        const auto found = known.constFind(key);
        if (found != known.constEnd())
            return *found;
    }
    const QString problem = countedLengthProblem(length);
    const QMutexLocker lock(&guard);
    if (known.size() < 10000)
        known.insert(key, problem);
    return problem;
}

QString SiteRule::countedLengthProblem(int length) const
{
    if (minimumLength() > maximumLength())
        return QStringLiteral("the rule allows no length from %1 to %2").arg(Derivation::minimumLength).arg(Derivation::maximumLength);
    if (length < minimumLength() || length > maximumLength())
        return QStringLiteral("the rule allows lengths from %1 to %2 only").arg(minimumLength()).arg(maximumLength());
    if (smallestDemands(required).size() > std::size_t(maximumRequiredSets))
        return QStringLiteral("the rule asks for more than %1 different required classes").arg(maximumRequiredSets);
    const Wide count = countWords(smallestDemands(required), allowed, maxConsecutive, length);
    if (count.isZero())
        return QStringLiteral("no password of %1 characters holds the rule").arg(length);
    Wide scaled = count;   // times 2^20, against n^L
    for (int i = 0; i < drawLimitBits; ++i)
        scaled.add(Wide(scaled));
    if (scaled.less(power(std::uint64_t(allowed.count()), length)))
        return QStringLiteral("too few passwords of %1 characters hold the rule (fewer than one in a million of the "
                              "words its characters make), so it would take too long to find one")
            .arg(length);
    return QString();
}

bool SiteRule::operator==(const SiteRule &other) const
{
    return required == other.required && allowed == other.allowed && maxConsecutive == other.maxConsecutive
        && minLength == other.minLength && maxLength == other.maxLength;
}
