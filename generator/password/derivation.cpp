#include "derivation.h"

#include "legacyutf8.h"
#include "rule.h"
#include "sha512.h"
#include "utf8.h"
#include "wordlist.h"

#include <sodium.h>

#include <cmath>

#include <cstring>
#include <new>

namespace Derivation {

bool isValidLength(int length)
{
    return length >= minimumLength && length <= maximumLength;
}

QString entropyText(int length)
{
    return Rule().entropyText(length);
}

QString entropyText(Scheme scheme, const Rule &rule, int length)
{
    if (scheme != Scheme::Compatible)
        return rule.entropyText(length);
    const double count = qMin(double(compatibleDistinctPasswords), std::pow(64.0, length));
    return QString::number(std::log2(count), 'f', 1);
}

QString entropyNote(Scheme scheme)
{
    if (scheme != Scheme::Compatible)
        return QStringLiteral("The number of passwords the characters and the length allow, in bits.");
    return QStringLiteral("Measured, not counted: 200,000 compatible passwords, derived from as many different phrases "
                          "and identifiers, held only %1 different values, so the password is one of a small set "
                          "that anyone can try, whatever its length.")
        .arg(compatibleDistinctPasswords);
}

namespace {

// How many bytes of a digest its text form takes: those before the first zero byte.
int textLength(const unsigned char digest[Sha512::size])
{
    const void *zero = std::memchr(digest, 0, Sha512::size);
    return zero ? int(static_cast<const unsigned char *>(zero) - digest) : Sha512::size;
}

// The text form of a digest, decoded as the original program's toolkit decoded it.
QString digestText(const unsigned char digest[Sha512::size])
{
    return LegacyUtf8::decode(reinterpret_cast<const char *>(digest), textLength(digest));
}

QString digestTextOf(Sha512 &sha, const QString &text)
{
    const QByteArray bytes = LegacyUtf8::encode(text);
    unsigned char digest[Sha512::size];
    sha.hash(bytes.constData(), std::size_t(bytes.size()), digest);
    return digestText(digest);
}

QString passwordFromKey(const unsigned char *key, int keySize, int length)
{
    QByteArray base64 = QByteArray::fromRawData(reinterpret_cast<const char *>(key), keySize).toBase64();
    const QString password = QString::fromLatin1(base64.constData(), length);
    sodium_memzero(base64.data(), std::size_t(base64.size()));
    return password;
}

}

QString compatible(const QString &phrase, const QString &identifier, int length)
{
    if (!isValidLength(length))
        return QString();
    Sha512 sha;
    const QByteArray start = LegacyUtf8::encode(digestTextOf(sha, phrase) + digestTextOf(sha, identifier));
    unsigned char digest[Sha512::size];
    sha.hash(start.constData(), std::size_t(start.size()), digest);

    // Each round hashes the re-encoded text form of the previous digest: the bytes before its
    // first zero byte, decoded and encoded again by the legacy codec.
    unsigned char text[3 * Sha512::size + 1];
    for (int round = 1; round < 1000; ++round) {
        const int textSize = LegacyUtf8::reencode(digest, textLength(digest), text);
        sha.hash(text, std::size_t(textSize), digest);
    }
    const QString password = passwordFromKey(digest, Sha512::size, length);
    sodium_memzero(digest, sizeof digest);
    sodium_memzero(text, sizeof text);
    return password;
}

namespace {

// The strong scheme's stream of bytes for a rule: block k is BLAKE2b-512 keyed with the tag, over
// the domain text, the rule's text and k (four bytes, least significant first), each text closed
// by a zero byte.
class RuleStream
{
public:
    RuleStream(const unsigned char key[48], const Rule &rule)
        : key(key), message(QByteArrayLiteral("Quorvane rule stream 1") + '\0' + rule.streamText().toUtf8() + '\0')
    {
        counterAt = message.size();
        message.append(4, '\0');
    }
    ~RuleStream() { sodium_memzero(block, sizeof block); }

    int next()
    {
        if (used == int(sizeof block)) {
            for (int i = 0; i < 4; ++i)
                message[counterAt + i] = char((k >> (8 * i)) & 0xFF);
            ++k;
            crypto_generichash(block, sizeof block, reinterpret_cast<const unsigned char *>(message.constData()),
                               std::size_t(message.size()), key, 48);
            used = 0;
        }
        return block[used++];
    }

private:
    const unsigned char *key;
    QByteArray message;
    int counterAt = 0;
    unsigned char block[64];
    quint32 k = 0;
    int used = sizeof block;
};

}

QString drawWithRule(const unsigned char key[48], const Rule &rule, int length)
{
    const QString alphabet = rule.alphabet();
    const int n = alphabet.size();
    const int limit = 256 - 256 % n;   // bytes at or above it would favour the first characters
    RuleStream stream(key, rule);
    QString word(length, QChar(0));
    int drawn = 0;
    // A rule is refused when fewer than 1 word in 2^20 holds it, so this many words is never
    // reached in practice; it only bounds the work.
    qint64 wordsLeft = qint64(1) << 26;
    for (;;) {
        const int b = stream.next();
        if (b >= limit)
            continue;
        word[drawn++] = alphabet.at(b % n);
        if (drawn < length)
            continue;
        // A word that misses a class is dropped whole, so every allowed word stays equally likely.
        if (rule.holds(word))
            break;
        drawn = 0;
        if (--wordsLeft == 0) {
            word = QString();
            break;
        }
    }
    return word;
}

namespace {

// A passphrase: each word from two bytes (big-endian) below 8 x 7776, so that every word is as
// likely; then the capitals; then the word that gets the digit (a byte below the largest
// multiple of the count) and the digit (a byte below 250).
QString drawWords(const unsigned char key[48], const Rule &rule, int count)
{
    const QStringList &list = WordList::words();
    if (list.size() != WordList::size)
        return QString();
    RuleStream stream(key, rule);
    QStringList words;
    while (words.size() < count) {
        const int v = (stream.next() << 8) | stream.next();
        if (v < 8 * WordList::size)
            words << list.at(v % WordList::size);
    }
    if (rule.wordsCapitalised()) {
        for (QString &word : words)
            word[0] = word.at(0).toUpper();
    }
    if (rule.wordsWithDigit()) {
        int b = stream.next();
        while (b >= 256 - 256 % count)
            b = stream.next();
        const int which = b % count;
        b = stream.next();
        while (b >= 250)
            b = stream.next();
        words[which] += QChar(QLatin1Char(char('0' + b % 10)));
    }
    const QString phrase = words.join(rule.wordsJoinedBySpace() ? QLatin1Char(' ') : QLatin1Char('-'));
    for (QString &word : words)
        word.fill(QChar(0));
    return phrase;
}

}

QString strong(const QString &phrase, const QString &identifier, int length)
{
    return strong(phrase, identifier, length, Rule(), Counter::first);
}

QString strong(const QString &phrase, const QString &identifier, int length, const Rule &rule, int counter)
{
    if (!isValidLength(length) || !rule.lengthProblem(length).isEmpty() || counter < Counter::first
        || counter > Counter::maximum)
        return QString();
    static const bool sodiumReady = sodium_init() >= 0;
    if (!sodiumReady)
        return QString();

    // The salt: 16 bytes of SHA-512 over a fixed domain text, its closing zero byte and the
    // identifier, so that an empty identifier still gives a salt of its own. From version 2 on
    // the domain names the counter too, so version 1 stays the salt it always was.
    static const char domain[] = "Quorvane strong scheme 1";
    static const char counterDomain[] = "Quorvane strong scheme 1 counter";
    QByteArray saltInput = counter == Counter::first
        ? QByteArray(domain, sizeof domain)
        : QByteArray(counterDomain, sizeof counterDomain) + QByteArray::number(counter) + '\0';
    saltInput += Utf8::encode(identifier);
    Sha512 sha;
    const QByteArray salt = sha.hash(saltInput);
    static_assert(crypto_pwhash_SALTBYTES == 16, "the salt is 16 bytes");

    QByteArray secret = Utf8::encode(phrase);
    unsigned char key[48];
    const int result = crypto_pwhash(key, sizeof key, secret.constData(), std::size_t(secret.size()),
                                     reinterpret_cast<const unsigned char *>(salt.constData()),
                                     3, 67108864, crypto_pwhash_ALG_ARGON2ID13);
    sodium_memzero(secret.data(), std::size_t(secret.size()));
    QString password;
    if (result == 0)
        password = rule.isBase64() ? passwordFromKey(key, sizeof key, length)
                   : rule.isWords()  ? drawWords(key, rule, length)
                                     : drawWithRule(key, rule, length);
    sodium_memzero(key, sizeof key);
    return password;
}

}
