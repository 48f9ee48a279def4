#include "sync.h"

#include "boundedfile.h"
#include "deletions.h"
#include "profilefile.h"
#include "safewrite.h"
#include "utf8.h"

#include <QFile>

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <fcntl.h>
#include <stdio.h>

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
        QRegularExpression(QStringLiteral("^%1 \\(conflicted copy ([^()]+ )?%3 \\d{6}\\)%2$").arg(base, ext, date)),
        QRegularExpression(QStringLiteral("^%1_conflict-\\d{8}-\\d{6}%2$").arg(base, ext)),
        // Dropbox, the owner's name first. A name holds no parenthesis, so that the copy of
        // "zavdata (work).txt" is never taken for one of "zavdata.txt".
        QRegularExpression(QStringLiteral("^%1 \\([^()]+['\\x{2019}]s conflicted copy %3( \\(\\d+\\))?\\)%2$").arg(base, ext, date)),
        // Seafile, with the user's address and the time.
        QRegularExpression(QStringLiteral("^%1 \\(SFConflict [^\\s()]+ %3-\\d{2}-\\d{2}-\\d{2}\\)%2$").arg(base, ext, date)),
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

QStringList merge(const QStringList &file, const QList<QStringList> &copies, const QSet<QString> &deleted, QStringList *dropped)
{
    QStringList merged;
    QSet<QString> seen;
    const auto take = [&](const QString &line, bool own) {
        if (line.isEmpty() ? !own : seen.contains(line))
            return;
        if (!line.isEmpty() && deleted.contains(line)) {
            if (own && dropped)
                dropped->append(line);
            return;
        }
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
    for (const auto &copy : unreadable)
        said << QStringLiteral("moved %1 into conflicts-unreadable without merging it: it %2").arg(copy.first, copy.second);
    for (const QString &line : dropped)
        said << QStringLiteral("removed %1 from the profile file: it was deleted on another machine").arg(line);
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

QString unreadableFolder(const QString &profilePath)
{
    return QFileInfo(profilePath).absolutePath() + QStringLiteral("/conflicts-unreadable");
}

namespace {

// Moves a copy out of the way, under its own name where that is free; never a link, never into one.
bool moveAside(const QString &folder, const QString &name, const QString &into)
{
    if (QFileInfo(into).isSymLink() || !ProfileFile::makePrivateFolder(into) || QFileInfo(folder + QLatin1Char('/') + name).isSymLink())
        return false;
    QString target = into + QLatin1Char('/') + name;
    for (int n = 2; QFileInfo::exists(target) || QFileInfo(target).isSymLink(); ++n)
        target = into + QStringLiteral("/%1 (%2)").arg(name).arg(n);
    return ::renameat2(AT_FDCWD, QFile::encodeName(folder + QLatin1Char('/') + name).constData(), AT_FDCWD,
                       QFile::encodeName(target).constData(), RENAME_NOREPLACE) == 0;
}

enum class CopyRead { Read, Left, NotProfiles };

// A copy's lines, or why it cannot be merged: anything but a plain, readable text file within
// the profile file's size (Left: it stays where it is), or a file that is no profile file
// (NotProfiles: it moves aside). Every line a merge would add must be one a save would take:
// a profile, with no control character.
CopyRead readCopy(const QString &path, const QSet<QString> &known, QStringList *lines, QString *why)
{
    QByteArray bytes;
    const BoundedFile::Status status = BoundedFile::read(path, ProfileFile::maximumSize, &bytes, BoundedFile::Links::Refuse);
    if (status != BoundedFile::Status::Read) {
        *why = ProfileFile::problemOf(path, status);
        return CopyRead::Left;
    }
    if (bytes.contains('\0')) {
        *why = QStringLiteral("is not text");
        return CopyRead::NotProfiles;
    }
    ProfileFile::readLines(path, lines);
    for (int i = 0; i < lines->size(); ++i) {
        const QString &line = lines->at(i);
        if (line.isEmpty() || known.contains(line))
            continue;
        Recipe recipe;
        const QString problem = !Schemes::isStorableText(line) ? QStringLiteral("holds a control character")
                                : !Recipe::fromLine(line, &recipe) ? Recipe::lineProblem(line)
                                                                   : recipe.problem();
        if (!problem.isEmpty()) {
            *why = QStringLiteral("is not a profile file (line %1: %2)").arg(i + 1).arg(problem.isEmpty() ? QStringLiteral("no profile") : problem);
            return CopyRead::NotProfiles;
        }
    }
    return CopyRead::Read;
}

bool mergeOnce(const QString &profilePath, const QString &folder, const QStringList &profileCopies,
               const QStringList &recordCopies, const QStringList &candidates, Report *report);

qint64 storedSize(const QStringList &lines)
{
    qint64 size = 0;
    for (const QString &line : lines)
        size += Utf8::encode(line).size() + 2;
    return size;
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
    // Links are never followed nor moved: named, and left where they are.
    QStringList candidates;
    for (const QString &name : profileCopies + recordCopies) {
        if (QFileInfo(folder + QLatin1Char('/') + name).isSymLink())
            report.left << qMakePair(name, SafeWrite::problem(SafeWrite::Result::Link));
        else
            candidates << name;
    }
    // A sync tool may put a newer file in place meanwhile: then the merge starts again on it.
    for (int attempt = 0; attempt < 8; ++attempt) {
        Report tried = report;
        if (mergeOnce(profilePath, folder, profileCopies, recordCopies, candidates, &tried))
            return tried;
    }
    report.failure = QStringLiteral("the sync tools' copies were not merged: the profile file kept changing meanwhile");
    return report;
}

namespace {

bool mergeOnce(const QString &profilePath, const QString &folder, const QStringList &profileCopies,
               const QStringList &recordCopies, const QStringList &candidates, Report *report)
{
    // The records first: for each line the latest thing that happened to it on any machine.
    const QString ownRecord = Deletions::path(profilePath);
    Deletions::Latest latest;
    report->noDeletions = !QFileInfo::exists(ownRecord) && !QFileInfo(ownRecord).isSymLink() && recordCopies.isEmpty();
    if (!Deletions::readLatest(ownRecord, &latest)) {
        report->failure = QStringLiteral("the record of deleted profiles %1 %2; nothing was merged")
                              .arg(ownRecord, QFileInfo(ownRecord).isSymLink() ? SafeWrite::problem(SafeWrite::Result::Link)
                                                                              : QStringLiteral("cannot be read"));
        return true;
    }
    QStringList recordsMerged;
    for (const QString &name : recordCopies) {
        if (!candidates.contains(name))
            continue;
        if (!Deletions::readLatest(folder + QLatin1Char('/') + name, &latest)) {
            report->left << qMakePair(name, QStringLiteral("cannot be read as a record of deleted profiles"));
            continue;
        }
        recordsMerged << name;
    }

    QStringList lines;
    BoundedFile::Stamp stamp;
    const ProfileFile::ReadStatus status = ProfileFile::readLines(profilePath, &lines, &stamp);
    if (status != ProfileFile::ReadStatus::Read && status != ProfileFile::ReadStatus::Missing) {
        report->failure = QStringLiteral("the profile file %1 %2; nothing was merged")
                              .arg(profilePath, ProfileFile::problemOf(profilePath, status));
        return true;
    }
    const QSet<QString> known(lines.begin(), lines.end());
    QList<QStringList> copies;
    QStringList copiesMerged;
    QStringList notProfiles;
    for (const QString &name : profileCopies) {
        if (!candidates.contains(name))
            continue;
        QStringList theirs;
        QString why;
        switch (readCopy(folder + QLatin1Char('/') + name, known, &theirs, &why)) {
        case CopyRead::Read:
            copies << theirs;
            copiesMerged << name;
            break;
        case CopyRead::Left:
            report->left << qMakePair(name, why);
            break;
        case CopyRead::NotProfiles:
            report->unreadable << qMakePair(name, why);
            notProfiles << name;
            break;
        }
    }
    // All or nothing: the merged record and file are written whole before any copy moves.
    QStringList dropped;
    const QStringList merged = merge(lines, copies, Deletions::deletedIn(latest), &dropped);
    if (merged != lines && storedSize(merged) > ProfileFile::maximumSize) {
        report->failure = QStringLiteral("the sync tools' copies were not merged: together they would make the profile file "
                                         "larger than 64 MiB; the file and its copies are kept as they are");
        return true;
    }
    QString why;
    if (!recordsMerged.isEmpty() && !Deletions::writeLatest(profilePath, latest, &why)) {
        report->failure = QStringLiteral("the sync tools' copies were not merged: %1; nothing was changed").arg(why);
        return true;
    }
    if (merged != lines) {
        const SafeWrite::Result written = ProfileFile::writeLines(profilePath, merged, stamp);
        if (written == SafeWrite::Result::Changed)
            return false;
        if (written != SafeWrite::Result::Written) {
            report->failure = QStringLiteral("the sync tools' copies could not be merged: %1 %2; nothing was changed")
                                  .arg(profilePath, SafeWrite::problem(written));
            return true;
        }
    }
    report->dropped = dropped;
    for (const QString &name : copiesMerged + recordsMerged) {
        if (moveAside(folder, name, mergedFolder(profilePath)))
            report->merged << name;
        else
            report->left << qMakePair(name, QStringLiteral("was merged but could not be moved into conflicts-merged"));
    }
    for (const QString &name : notProfiles)
        moveAside(folder, name, unreadableFolder(profilePath));
    return true;
}

}

}
