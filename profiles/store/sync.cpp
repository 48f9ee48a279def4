#include "sync.h"

#include "boundedfile.h"
#include "deletions.h"
#include "profilefile.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace Sync {

QStringList conflictCopies(const QString &fileName, const QStringList &names)
{
    const QFileInfo file(fileName);
    const QString base = QRegularExpression::escape(file.completeBaseName());
    const QString ext = QRegularExpression::escape(QLatin1Char('.') + file.suffix());
    const QString date = QStringLiteral("\\d{4}-\\d{2}-\\d{2}");
    const QList<QRegularExpression> patterns{
        // Syncthing: the date, the time and the device's short id before the extension.
        QRegularExpression(QStringLiteral("^%1\\.sync-conflict-\\d{8}-\\d{6}-[A-Z0-9]{7}%2$").arg(base, ext)),
        // Nextcloud, with or without the user's name; and its older form.
        QRegularExpression(QStringLiteral("^%1 \\(conflicted copy (.+ )?%3 \\d{6}\\)%2$").arg(base, ext, date)),
        QRegularExpression(QStringLiteral("^%1_conflict-\\d{8}-\\d{6}%2$").arg(base, ext)),
        // Dropbox, the owner's name first.
        QRegularExpression(QStringLiteral("^%1 \\(.+['\\x{2019}]s conflicted copy %3( \\(\\d+\\))?\\)%2$").arg(base, ext, date)),
        // Seafile, with the user's address and the time.
        QRegularExpression(QStringLiteral("^%1 \\(SFConflict \\S+ %3-\\d{2}-\\d{2}-\\d{2}\\)%2$").arg(base, ext, date)),
    };
    QStringList copies;
    for (const QString &name : names) {
        for (const QRegularExpression &pattern : patterns) {
            if (pattern.match(name).hasMatch()) {
                copies << name;
                break;
            }
        }
    }
    return copies;
}

QStringList merge(const QStringList &file, const QList<QStringList> &copies, const QSet<QString> &deleted)
{
    QStringList merged;
    QSet<QString> seen;
    const auto take = [&](const QString &line, bool empty) {
        if (line.isEmpty() ? !empty : (deleted.contains(line) || seen.contains(line)))
            return;
        seen.insert(line);
        merged.append(line);
    };
    for (const QString &line : file)
        take(line, true);   // the file's empty lines stay where they are
    for (const QStringList &copy : copies) {
        for (const QString &line : copy)
            take(line, false);
    }
    return merged;
}

QStringList Report::messages() const
{
    QStringList said;
    for (const QString &copy : merged)
        said << QStringLiteral("merged %1, a sync tool's copy, into the profile file; it is kept in conflicts-merged").arg(copy);
    for (const auto &copy : left)
        said << QStringLiteral("left %1 as it is: it %2").arg(copy.first, copy.second);
    if (noDeletions && !merged.isEmpty())
        said << QStringLiteral("no record of deleted profiles was found beside the profile file, so a profile deleted on "
                               "another machine may have come back");
    if (!failure.isEmpty())
        said << failure;
    return said;
}

QString mergedFolder(const QString &profilePath)
{
    return QFileInfo(profilePath).absolutePath() + QStringLiteral("/conflicts-merged");
}

namespace {

// Moves a merged copy out of the way, under its own name where that is free.
bool moveAside(const QString &folder, const QString &name, const QString &into)
{
    if (!ProfileFile::makePrivateFolder(into))
        return false;
    QString target = into + QLatin1Char('/') + name;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = into + QStringLiteral("/%1 (%2)").arg(name).arg(n);
    return QDir().rename(folder + QLatin1Char('/') + name, target);
}

// A copy's lines, or why it cannot be read: anything but a plain, readable text file within the
// profile file's size.
bool readCopy(const QString &path, QStringList *lines, QString *why)
{
    QByteArray bytes;
    const BoundedFile::Status status = BoundedFile::read(path, ProfileFile::maximumSize, &bytes);
    if (status != BoundedFile::Status::Read) {
        *why = ProfileFile::problemOf(path, status);
        return false;
    }
    if (bytes.contains('\0')) {
        *why = QStringLiteral("is not text");
        return false;
    }
    ProfileFile::readLines(path, lines);
    return true;
}

}

Report mergeCopies(const QString &profilePath)
{
    Report report;
    const QString folder = QFileInfo(profilePath).absolutePath();
    const QStringList names = QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot,
                                                     QDir::Name);
    const QStringList profileCopies = conflictCopies(QFileInfo(profilePath).fileName(), names);
    const QStringList recordCopies = conflictCopies(QFileInfo(Deletions::path(profilePath)).fileName(), names);
    if (profileCopies.isEmpty() && recordCopies.isEmpty())
        return report;

    const ProfileFile::Lock lock(profilePath);
    if (lock.state() != ProfileFile::Lock::Held) {
        report.failure = QStringLiteral("the sync tools' copies of the profile file were not merged: another Quorvane "
                                        "window or quorvane-cli is changing the profile file");
        return report;
    }
    // The record of deletions first: a union of it and its copies.
    QStringList records;
    QSet<QString> deleted;
    report.noDeletions = !QFileInfo::exists(Deletions::path(profilePath)) && recordCopies.isEmpty();
    if (!Deletions::readRecords(Deletions::path(profilePath), &records) || !Deletions::read(Deletions::path(profilePath), &deleted)) {
        report.failure = QStringLiteral("the record of deleted profiles %1 cannot be read; nothing was merged")
                             .arg(Deletions::path(profilePath));
        return report;
    }
    QStringList recordsMerged;
    for (const QString &name : recordCopies) {
        QStringList theirs;
        if (!Deletions::readRecords(folder + QLatin1Char('/') + name, &theirs)) {
            report.left << qMakePair(name, QStringLiteral("cannot be read as a record of deleted profiles"));
            continue;
        }
        Deletions::read(folder + QLatin1Char('/') + name, &deleted);
        for (const QString &record : qAsConst(theirs)) {
            if (!records.contains(record))
                records << record;
        }
        recordsMerged << name;
    }

    QStringList lines;
    const ProfileFile::ReadStatus status = ProfileFile::readLines(profilePath, &lines);
    if (status != ProfileFile::ReadStatus::Read && status != ProfileFile::ReadStatus::Missing) {
        report.failure = QStringLiteral("the profile file %1 %2; nothing was merged")
                             .arg(profilePath, ProfileFile::problemOf(profilePath, status));
        return report;
    }
    QList<QStringList> copies;
    QStringList copiesMerged;
    for (const QString &name : profileCopies) {
        QStringList theirs;
        QString why;
        if (!readCopy(folder + QLatin1Char('/') + name, &theirs, &why)) {
            report.left << qMakePair(name, why);
            continue;
        }
        copies << theirs;
        copiesMerged << name;
    }
    // All or nothing: the merged file and record are written whole before any copy moves.
    const QStringList merged = merge(lines, copies, deleted);
    if ((!recordsMerged.isEmpty() && !Deletions::writeRecords(profilePath, records))
        || (merged != lines && !ProfileFile::writeLines(profilePath, merged))) {
        report.failure = QStringLiteral("the sync tools' copies could not be merged: cannot write %1; nothing was changed")
                             .arg(profilePath);
        return report;
    }
    for (const QString &name : copiesMerged + recordsMerged) {
        if (moveAside(folder, name, mergedFolder(profilePath)))
            report.merged << name;
        else
            report.left << qMakePair(name, QStringLiteral("was merged but could not be moved into conflicts-merged"));
    }
    return report;
}

}
