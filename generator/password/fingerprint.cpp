#include "fingerprint.h"

#include "sha512.h"
#include "utf8.h"

#include <sodium.h>

#include <QStringList>

#include <new>

namespace Fingerprint {

namespace {

const char *const colours[8] = {"red", "orange", "yellow", "green", "teal", "blue", "purple", "pink"};
const char *const shapes[16] = {"circle", "square", "triangle", "diamond", "star", "heart", "moon", "sun",
                                "cross", "ring", "hexagon", "arrow", "drop", "leaf", "bolt", "key"};

}

QString colourName(int colour)
{
    return QString::fromLatin1(colours[colour & 7]);
}

QString shapeName(int shape)
{
    return QString::fromLatin1(shapes[shape & 15]);
}

QString colourValue(int colour)
{
    static const char *const values[8] = {"#d62728", "#f28e1c", "#f2d024", "#2ca02c",
                                          "#17a59a", "#1f5fd6", "#8e3cc8", "#ee6fb4"};
    return QString::fromLatin1(values[colour & 7]);
}

QString patternName(int colour)
{
    static const char *const patterns[8] = {"plain",          "rows",           "columns",       "grid",
                                            "rising stripes", "falling stripes", "diagonal grid", "dots"};
    return QString::fromLatin1(patterns[colour & 7]);
}

QVector<Symbol> of(const QString &phrase)
{
    static const bool sodiumReady = sodium_init() >= 0;
    if (!sodiumReady)
        return {};
    try {
        static const char domain[] = "Quorvane fingerprint 1";
        Sha512 sha;
        const QByteArray salt = sha.hash(QByteArray(domain, sizeof domain));
        QByteArray secret = Utf8::encode(phrase);
        unsigned char f[16];
        const int result = crypto_pwhash(f, sizeof f, secret.constData(), std::size_t(secret.size()),
                                         reinterpret_cast<const unsigned char *>(salt.constData()),
                                         3, 67108864, crypto_pwhash_ALG_ARGON2ID13);
        sodium_memzero(secret.data(), std::size_t(secret.size()));
        QVector<Symbol> symbols;
        if (result == 0) {
            for (int k = 0; k < symbolCount; ++k)
                symbols.append({f[k] >> 5, f[k] & 15});
        }
        sodium_memzero(f, sizeof f);
        return symbols;
    } catch (const std::bad_alloc &) {
        return {};
    } catch (const Sha512::Failure &) {
        return {};
    }
}

QString text(const QVector<Symbol> &symbols)
{
    QStringList parts;
    for (const Symbol &symbol : symbols)
        parts.append(colourName(symbol.colour) + QLatin1Char(' ') + shapeName(symbol.shape));
    return parts.join(QStringLiteral(", "));
}

}
