#include "phrasestate.h"

#include "boundedfile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace PhraseState {

namespace {

const char prefix[] = "to phrase ";

}

QString path(const QString &profilePath)
{
    return QFileInfo(profilePath).absolutePath() + QStringLiteral("/phrase-change.txt");
}

int target(const QString &profilePath)
{
    QByteArray content;
    if (BoundedFile::read(path(profilePath), 4096, &content) != BoundedFile::Status::Read)
        return 0;
    const QByteArray line = content.trimmed();
    if (!line.startsWith(prefix))
        return 0;
    bool number = false;
    const int phrase = line.mid(int(sizeof prefix) - 1).toInt(&number, 10);
    return number && phrase >= 2 ? phrase : 0;
}

bool setTarget(const QString &profilePath, int phrase)
{
    if (phrase < 2)
        return !QFileInfo::exists(path(profilePath)) || QFile::remove(path(profilePath));
    QSaveFile file(path(profilePath));
    const QByteArray content = prefix + QByteArray::number(phrase) + "\r\n";
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size() && file.commit();
}

}
