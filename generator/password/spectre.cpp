#include "spectre.h"

#include <QByteArray>
#include <QVector>

#include "libcrypto.h"

#include <sodium.h>

#include <cmath>
#include <cstring>

namespace Spectre {

namespace {

struct Template
{
    const char *name;
    int code;
    QVector<const char *> patterns;
};

const QVector<Template> &templates()
{
    static const QVector<Template> all{
        {"maximum", 16, {"anoxxxxxxxxxxxxxxxxx", "axxxxxxxxxxxxxxxxxno"}},
        {"long", 17, {"CvcvnoCvcvCvcv", "CvcvCvcvnoCvcv", "CvcvCvcvCvcvno", "CvccnoCvcvCvcv", "CvccCvcvnoCvcv",
                      "CvccCvcvCvcvno", "CvcvnoCvccCvcv", "CvcvCvccnoCvcv", "CvcvCvccCvcvno", "CvcvnoCvcvCvcc",
                      "CvcvCvcvnoCvcc", "CvcvCvcvCvccno", "CvccnoCvccCvcv", "CvccCvccnoCvcv", "CvccCvccCvcvno",
                      "CvcvnoCvccCvcc", "CvcvCvccnoCvcc", "CvcvCvccCvccno", "CvccnoCvcvCvcc", "CvccCvcvnoCvcc",
                      "CvccCvcvCvccno"}},
        {"medium", 18, {"CvcnoCvc", "CvcCvcno"}},
        {"short", 19, {"Cvcn"}},
        {"basic", 20, {"aaanaaan", "aannaaan", "aaannaaa"}},
        {"pin", 21, {"nnnn"}},
        {"name", 30, {"cvccvcvcv"}},
        {"phrase", 31, {"cvcc cvc cvccvcv cvc", "cvc cvccvcvcv cvcv", "cv cvccv cvc cvcvccv"}},
    };
    return all;
}

const Template *findTemplate(const QString &name)
{
    for (const Template &t : templates()) {
        if (name == QLatin1String(t.name))
            return &t;
    }
    return nullptr;
}

const char *characters(char cls)
{
    switch (cls) {
    case 'V': return "AEIOU";
    case 'C': return "BCDFGHJKLMNPQRSTVWXYZ";
    case 'v': return "aeiou";
    case 'c': return "bcdfghjklmnpqrstvwxyz";
    case 'A': return "AEIOUBCDFGHJKLMNPQRSTVWXYZ";
    case 'a': return "AEIOUaeiouBCDFGHJKLMNPQRSTVWXYZbcdfghjklmnpqrstvwxyz";
    case 'n': return "0123456789";
    case 'o': return "@&%?,=[]_:-+*$#!'^~;()/.";
    case 'x': return "AEIOUaeiouBCDFGHJKLMNPQRSTVWXYZbcdfghjklmnpqrstvwxyz0123456789!@#$%^&*()";
    default: return " ";
    }
}

void appendBigEndian(QByteArray *bytes, quint32 value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        bytes->append(char((value >> shift) & 0xff));
}

// Versions 0 and 1 count code points where 2 and 3 count UTF-8 bytes (version 3 for the user
// name as well).
void appendText(QByteArray *bytes, const QString &text, bool countBytes)
{
    const QByteArray utf8 = text.toUtf8();
    appendBigEndian(bytes, quint32(countBytes ? utf8.size() : text.toUcs4().size()));
    bytes->append(utf8);
}

QByteArray scope(Purpose purpose)
{
    switch (purpose) {
    case Purpose::Login: return QByteArrayLiteral("com.lyndir.masterpassword.login");
    case Purpose::Answer: return QByteArrayLiteral("com.lyndir.masterpassword.answer");
    case Purpose::Password: break;
    }
    return QByteArrayLiteral("com.lyndir.masterpassword");
}

}

QStringList templateNames()
{
    QStringList names;
    for (const Template &t : templates())
        names << QString::fromLatin1(t.name);
    return names;
}

bool isTemplate(const QString &name)
{
    return findTemplate(name) != nullptr;
}

QString purposeName(Purpose purpose)
{
    switch (purpose) {
    case Purpose::Login: return QStringLiteral("login");
    case Purpose::Answer: return QStringLiteral("answer");
    case Purpose::Password: break;
    }
    return QStringLiteral("password");
}

bool purposeFromName(const QString &name, Purpose *purpose)
{
    for (Purpose p : {Purpose::Password, Purpose::Login, Purpose::Answer}) {
        if (name == purposeName(p)) {
            *purpose = p;
            return true;
        }
    }
    return false;
}

QString defaultTemplate(Purpose purpose)
{
    switch (purpose) {
    case Purpose::Login: return QStringLiteral("name");
    case Purpose::Answer: return QStringLiteral("phrase");
    case Purpose::Password: break;
    }
    return QStringLiteral("long");
}

int templateCode(const QString &name)
{
    const Template *t = findTemplate(name);
    return t ? t->code : 0;
}

QString templateFromCode(int code)
{
    for (const Template &t : templates()) {
        if (t.code == code)
            return QString::fromLatin1(t.name);
    }
    return QString();
}

QString derive(const QString &phrase, const QString &userName, const QString &site, const QString &templateName,
               quint32 counter, Purpose purpose, const QString &context, int algorithm)
{
    const Template *chosen = findTemplate(templateName);
    if (!chosen || sodium_init() < 0)
        return QString();

    QByteArray userSalt = scope(Purpose::Password);
    appendText(&userSalt, userName, algorithm >= 3);
    QByteArray secret = phrase.toUtf8();
    unsigned char userKey[64];
    const bool keyed = crypto_pwhash_scryptsalsa208sha256_ll(
                           reinterpret_cast<const uint8_t *>(secret.constData()), std::size_t(secret.size()),
                           reinterpret_cast<const uint8_t *>(userSalt.constData()), std::size_t(userSalt.size()),
                           32768, 8, 2, userKey, sizeof userKey)
        == 0;
    sodium_memzero(secret.data(), std::size_t(secret.size()));
    if (!keyed) {
        sodium_memzero(userKey, sizeof userKey);
        return QString();
    }

    QByteArray siteSalt = scope(purpose);
    appendText(&siteSalt, site, algorithm >= 2);
    appendBigEndian(&siteSalt, counter);
    if (!context.isEmpty())
        appendText(&siteSalt, context, algorithm >= 2);
    unsigned char seed[EVP_MAX_MD_SIZE];
    unsigned int seedSize = 0;
    const LibCrypto::Functions *crypto = LibCrypto::functions();
    const bool seeded = crypto
        && crypto->hmac(crypto->sha256(), userKey, sizeof userKey,
                        reinterpret_cast<const unsigned char *>(siteSalt.constData()), std::size_t(siteSalt.size()),
                        seed, &seedSize)
               != nullptr;
    sodium_memzero(userKey, sizeof userKey);
    if (!seeded || seedSize < 32) {
        sodium_memzero(seed, sizeof seed);
        return QString();
    }

    // Version 0 read each byte as a signed char and swapped its bytes.
    auto value = [&](int i) -> quint32 {
        const quint32 b = seed[i];
        if (algorithm > 0)
            return b;
        return b < 128 ? b * 256 : b * 256 + 255;
    };
    const char *pattern = chosen->patterns.at(int(value(0) % quint32(chosen->patterns.size())));
    QString password;
    for (int i = 0; pattern[i]; ++i) {
        const char *set = characters(pattern[i]);
        password += QLatin1Char(set[value(i + 1) % quint32(std::strlen(set))]);
    }
    sodium_memzero(seed, sizeof seed);
    return password;
}

QString entropyText(const QString &templateName)
{
    const Template *chosen = findTemplate(templateName);
    if (!chosen)
        return QString();
    double count = 0;
    for (const char *pattern : chosen->patterns) {
        double ways = 1;
        for (int i = 0; pattern[i]; ++i)
            ways *= double(std::strlen(characters(pattern[i])));
        count += ways;
    }
    return QString::number(std::log2(count), 'f', 1);
}

}
