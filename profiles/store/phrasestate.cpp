#include "phrasestate.h"

#include "boundedfile.h"
#include "recipe.h"
#include "safewrite.h"

#include <QFileInfo>

namespace PhraseState {

namespace {

const char prefix[] = "to phrase ";

int recorded(const QString &profilePath)
{
    QByteArray content;
    if (BoundedFile::read(path(profilePath), 4096, &content, BoundedFile::Links::Refuse) != BoundedFile::Status::Read)
        return 0;
    const QByteArray line = content.trimmed();
    if (!line.startsWith(prefix))
        return 0;
    bool number = false;
    const int phrase = line.mid(int(sizeof prefix) - 1).toInt(&number, 10);
    return number && phrase >= 2 ? phrase : 0;
}

}

QString path(const QString &profilePath)
{
    return QFileInfo(profilePath).absolutePath() + QStringLiteral("/phrase-change.txt");
}

int target(const QString &profilePath, const QStringList &lines)
{
    int lowest = 0;
    int highest = 0;
    for (const QString &line : lines) {
        Recipe recipe;
        if (line.isEmpty() || !Recipe::fromLine(line, &recipe) || !recipe.problem().isEmpty())
            continue;   // no profile: on no phrase
        const int phrase = line.contains(QLatin1String("|#")) ? Recipe::phraseOfLine(line) : 1;
        lowest = lowest == 0 ? phrase : qMin(lowest, phrase);
        highest = qMax(highest, phrase);
    }
    const int started = recorded(profilePath);
    if (lowest < highest)
        return qMax(highest, started);
    return started > highest ? started : 0;
}

bool setTarget(const QString &profilePath, int phrase)
{
    if (phrase < 2)
        return SafeWrite::remove(path(profilePath));
    const QByteArray content = prefix + QByteArray::number(phrase) + "\r\n";
    return SafeWrite::replace(path(profilePath), content) == SafeWrite::Result::Written;
}

}
