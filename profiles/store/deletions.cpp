#include "deletions.h"

#include "boundedfile.h"
#include "safewrite.h"
#include "utf8.h"

#include <QDateTime>
#include <QFileInfo>

#include <algorithm>

namespace Deletions {

namespace {

constexpr qint64 maximumSize = 64 * 1024 * 1024;
const QString savedWord = QStringLiteral("saved");

// Times compare as text once every one has its milliseconds.
QString normalTime(const QString &time)
{
    if (time.endsWith(QLatin1Char('Z')) && !time.contains(QLatin1Char('.')))
        return time.left(time.size() - 1) + QStringLiteral(".000Z");
    return time;
}

QByteArray recordText(const QString &time, Kind kind, const QString &line)
{
    return Utf8::encode(time + QLatin1Char('\t') + (kind == Kind::Saved ? savedWord + QLatin1Char('\t') : QString()) + line)
           + "\r\n";
}

}

QString path(const QString &profilePath)
{
    return QFileInfo(profilePath).absolutePath() + QStringLiteral("/deletions.txt");
}

bool readLatest(const QString &file, Latest *latest)
{
    QByteArray bytes;
    const BoundedFile::Status status = BoundedFile::read(file, maximumSize, &bytes, BoundedFile::Links::Refuse);
    if (status == BoundedFile::Status::Missing)
        return true;
    QString text;
    if (status != BoundedFile::Status::Read || !Utf8::decodeStrict(bytes, &text))
        return false;
    // This file's own order first: its last record of a line is the latest there.
    Latest own;
    for (const QStringRef &record : text.splitRef(QLatin1Char('\n'))) {
        QStringRef trimmed = record;
        if (trimmed.endsWith(QLatin1Char('\r')))
            trimmed.chop(1);
        const int tab = trimmed.indexOf(QLatin1Char('\t'));
        if (tab < 0)
            continue;
        Event event;
        event.time = normalTime(trimmed.left(tab).toString());
        QStringRef line = trimmed.mid(tab + 1);
        if (line.startsWith(savedWord + QLatin1Char('\t'))) {
            event.kind = Kind::Saved;
            line = line.mid(savedWord.size() + 1);
        }
        own.insert(line.toString(), event);
    }
    for (auto i = own.cbegin(); i != own.cend(); ++i) {
        auto known = latest->find(i.key());
        if (known == latest->end())
            latest->insert(i.key(), i.value());
        else if (i.value().time > known->time || (i.value().time == known->time && i.value().kind == Kind::Saved))
            *known = i.value();
    }
    return true;
}

QSet<QString> deletedIn(const Latest &latest)
{
    QSet<QString> lines;
    for (auto i = latest.cbegin(); i != latest.cend(); ++i) {
        if (i.value().kind == Kind::Deleted)
            lines.insert(i.key());
    }
    return lines;
}

bool read(const QString &file, QSet<QString> *lines)
{
    Latest latest;
    if (!readLatest(file, &latest))
        return false;
    lines->unite(deletedIn(latest));
    return true;
}

QString lastDeleted(const QString &profilePath, const QString &identifier, const std::function<bool(const QString &)> &accept)
{
    Latest latest;
    if (!readLatest(path(profilePath), &latest))
        return QString();
    QString found;
    QString when;
    for (auto i = latest.cbegin(); i != latest.cend(); ++i) {
        if (i.value().kind == Kind::Deleted && i.value().time >= when
            && i.key().left(i.key().indexOf(QLatin1Char('|'))) == identifier && accept(i.key())) {
            found = i.key();
            when = i.value().time;
        }
    }
    return found;
}

bool writeLatest(const QString &profilePath, const Latest &latest, QString *problem)
{
    QVector<QPair<QString, QString>> order;   // (time, line)
    order.reserve(latest.size());
    for (auto i = latest.cbegin(); i != latest.cend(); ++i)
        order.append(qMakePair(i.value().time, i.key()));
    std::sort(order.begin(), order.end());
    QByteArray content;
    for (const auto &entry : qAsConst(order))
        content += recordText(entry.first, latest.value(entry.second).kind, entry.second);
    QString why;
    const SafeWrite::Result result = SafeWrite::replace(path(profilePath), content, nullptr, &why);
    if (result != SafeWrite::Result::Written && problem)
        *problem = QStringLiteral("the record of deleted profiles %1 %2")
                       .arg(path(profilePath), result == SafeWrite::Result::Failed ? why : SafeWrite::problem(result));
    return result == SafeWrite::Result::Written;
}

bool record(const QString &profilePath, const QStringList &lines, Kind kind, qint64 *before, QString *problem)
{
    *before = -1;
    if (lines.isEmpty())
        return true;
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    QByteArray content;
    for (const QString &line : lines)
        content += recordText(now, kind, line);
    const SafeWrite::Result result = SafeWrite::append(path(profilePath), content, before);
    if (result == SafeWrite::Result::Written)
        return true;
    *before = -1;
    if (problem)
        *problem = QStringLiteral("the record of deleted profiles %1 %2, so nothing was changed")
                       .arg(path(profilePath), SafeWrite::problem(result));
    return false;
}

bool undo(const QString &profilePath, qint64 before)
{
    return before < 0 || SafeWrite::undo(path(profilePath), before);
}

}
