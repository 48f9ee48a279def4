#include "lesspass.h"

#include <QByteArray>
#include <QVector>

#include "libcrypto.h"

#include <sodium.h>

#include <cmath>

namespace LessPass {

namespace {

const char *const classCharacters[] = {"abcdefghijklmnopqrstuvwxyz", "ABCDEFGHIJKLMNOPQRSTUVWXYZ", "0123456789",
                                       "!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"};
const char classLetters[] = "aA9!";

// A 256-bit unsigned number, most significant word first, with the one operation the
// password needs: division by a small number, in place, giving the remainder.
class Number
{
public:
    explicit Number(const unsigned char bytes[32])
    {
        for (int i = 0; i < 8; ++i)
            words[i] = quint32(bytes[4 * i]) << 24 | quint32(bytes[4 * i + 1]) << 16 | quint32(bytes[4 * i + 2]) << 8
                | quint32(bytes[4 * i + 3]);
    }
    ~Number() { sodium_memzero(words, sizeof words); }

    int divide(int divisor)
    {
        quint64 remainder = 0;
        for (quint32 &word : words) {
            const quint64 value = remainder << 32 | word;
            word = quint32(value / quint64(divisor));
            remainder = value % quint64(divisor);
        }
        return int(remainder);
    }

private:
    quint32 words[8];
};

QVector<QString> sets(const QString &classes)
{
    QVector<QString> chosen;
    for (int i = 0; i < 4; ++i) {
        if (classes.contains(QLatin1Char(classLetters[i])))
            chosen.append(QString::fromLatin1(classCharacters[i]));
    }
    return chosen;
}

}

bool isValidClasses(const QString &classes)
{
    int next = 0;
    for (const QChar c : classes) {
        int i = next;
        while (i < 4 && QLatin1Char(classLetters[i]) != c)
            ++i;
        if (i == 4)
            return false;
        next = i + 1;
    }
    return !classes.isEmpty();
}

QString derive(const QString &phrase, const QString &site, const QString &login, const QString &classes,
               int length, quint32 counter)
{
    QByteArray secret = phrase.toUtf8();
    const QByteArray salt = site.toUtf8() + login.toUtf8() + QByteArray::number(counter, 16);
    unsigned char key[32];
    const LibCrypto::Functions *crypto = LibCrypto::functions();
    const bool made = crypto
        && crypto->pbkdf2(secret.constData(), secret.size(), reinterpret_cast<const unsigned char *>(salt.constData()),
                          salt.size(), 100000, crypto->sha256(), sizeof key, key) == 1;
    sodium_memzero(secret.data(), std::size_t(secret.size()));
    if (!made)
        return QString();
    Number number(key);
    sodium_memzero(key, sizeof key);

    const QVector<QString> chosen = sets(classes);
    QString pool;
    for (const QString &set : chosen)
        pool += set;
    QString password;
    for (int i = 0; i < length - chosen.size(); ++i)
        password += pool.at(number.divide(pool.size()));
    QString extra;
    for (const QString &set : chosen)
        extra += set.at(number.divide(set.size()));
    for (const QChar c : extra)
        password.insert(number.divide(password.size()), c);
    return password;
}

QString entropyText(const QString &classes, int length)
{
    // Inclusion and exclusion over the classes left out: words of the pool's characters that
    // hold every class.
    const QVector<QString> chosen = sets(classes);
    double count = 0;
    for (int mask = 0; mask < (1 << chosen.size()); ++mask) {
        int size = 0, left = 0;
        for (int i = 0; i < chosen.size(); ++i) {
            if (mask & (1 << i))
                ++left;
            else
                size += chosen.at(i).size();
        }
        count += (left % 2 ? -1.0 : 1.0) * std::pow(double(size), length);
    }
    return QString::number(std::log2(count), 'f', 1);
}

}
