#include "phrase.h"

#include <sodium.h>

namespace Phrase {

QString forScheme(Scheme scheme, const QString &typed)
{
    if (scheme != Scheme::Compatible)
        return typed;
    QString text = typed;
    for (QChar &c : text) {
        if (c.unicode() == 0x00A0)
            c = QLatin1Char(' ');
        else if (c.unicode() == QChar::LineSeparator || c.unicode() == QChar::ParagraphSeparator)
            c = QLatin1Char('\n');
    }
    return text;
}

void wipe(QString &text)
{
    if (!text.isEmpty() && text.isDetached())
        sodium_memzero(text.data(), std::size_t(text.size()) * sizeof(QChar));
    text = QString();
}

}
