#include "deletions.h"

#include "boundedfile.h"
#include "utf8.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace Deletions {

namespace {

constexpr qint64 maximumSize = 64 * 1024 * 1024;

// The record names the accounts, as the profile file does: nobody else's to read.
void keepPrivate(const QString &file)
{
    QFile::setPermissions(file, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QString lineOf(const QString &record)
{
    return record.mid(record.indexOf(QLatin1Char('\t')) + 1);
}

}

QString path(const QString &profilePath)
{
    return QFileInfo(profilePath).absolutePath() + QStringLiteral("/deletions.txt");
}

bool readRecords(const QString &file, QStringList *records)
{
    records->clear();
    QByteArray bytes;
    const BoundedFile::Status status = BoundedFile::read(file, maximumSize, &bytes);
    if (status == BoundedFile::Status::Missing)
        return true;
    QString text;
    if (status != BoundedFile::Status::Read || !Utf8::decodeStrict(bytes, &text))
        return false;
    for (const QString &record : text.split(QLatin1Char('\n'))) {
        QString trimmed = record;
        if (trimmed.endsWith(QLatin1Char('\r')))
            trimmed.chop(1);
        if (trimmed.contains(QLatin1Char('\t')))
            records->append(trimmed);
    }
    return true;
}

bool read(const QString &file, QSet<QString> *lines)
{
    QStringList records;
    if (!readRecords(file, &records))
        return false;
    for (const QString &record : qAsConst(records))
        lines->insert(lineOf(record));
    return true;
}

bool writeRecords(const QString &profilePath, const QStringList &records)
{
    QByteArray content;
    for (const QString &record : records)
        content += Utf8::encode(record) + "\r\n";
    QSaveFile file(path(profilePath));
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        return false;
    keepPrivate(path(profilePath));
    return true;
}

bool record(const QString &profilePath, const QStringList &lines)
{
    if (lines.isEmpty())
        return true;
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    QByteArray content;
    for (const QString &line : lines)
        content += Utf8::encode(now + QLatin1Char('\t') + line) + "\r\n";
    QFile file(path(profilePath));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return false;
    const bool written = file.write(content) == content.size();
    file.close();
    keepPrivate(path(profilePath));
    return written && file.error() == QFileDevice::NoError;
}

bool forget(const QString &profilePath, const QStringList &lines)
{
    if (lines.isEmpty() || !QFileInfo::exists(path(profilePath)))
        return true;
    QStringList records;
    if (!readRecords(path(profilePath), &records))
        return false;
    const QSet<QString> saved(lines.begin(), lines.end());
    QStringList kept;
    for (const QString &record : qAsConst(records)) {
        if (!saved.contains(lineOf(record)))
            kept.append(record);
    }
    return kept.size() == records.size() || writeRecords(profilePath, kept);
}

}
