#include "wordlist.h"

#include <QFile>

static void registerWords()
{
    // The resource lives in the static core library: registered by hand, so that the linker
    // keeps it.
    Q_INIT_RESOURCE(words);
}

namespace WordList {

QByteArray text()
{
    static const QByteArray bytes = [] {
        registerWords();
        QFile file(QStringLiteral(":/words/eff_large_wordlist.txt"));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }();
    return bytes;
}

const QStringList &words()
{
    static const QStringList list = [] {
        QStringList read = QString::fromUtf8(text()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        return read.size() == size ? read : QStringList();
    }();
    return list;
}

}
