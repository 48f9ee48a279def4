#include "phrasestrength.h"

#include <QByteArray>

#include <sodium.h>
#include <zxcvbn.h>

namespace PhraseStrength {

QString rating(double bits)
{
    if (bits < 40)
        return QStringLiteral("poor");
    if (bits < 75)
        return QStringLiteral("weak");
    if (bits < 100)
        return QStringLiteral("good");
    return QStringLiteral("excellent");
}

Estimate of(const QString &phrase)
{
    QByteArray bytes = phrase.toUtf8();
    Estimate estimate;
    estimate.bits = ZxcvbnMatch(bytes.constData(), nullptr, nullptr);
    sodium_memzero(bytes.data(), std::size_t(bytes.size()));
    estimate.rating = rating(estimate.bits);
    return estimate;
}

QString text(const Estimate &estimate)
{
    return QStringLiteral("%1 bits, %2").arg(estimate.bits, 0, 'f', 1).arg(estimate.rating);
}

}
