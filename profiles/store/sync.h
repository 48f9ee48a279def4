#pragma once

#include <QList>
#include <QPair>
#include <QSet>
#include <QString>
#include <QStringList>

// Profiles on several machines: the profile file's folder kept in Syncthing, Nextcloud, Dropbox
// or Seafile. When two machines change it before they meet, the sync tool keeps one version as
// the file and the other as a conflict copy beside it. Every command that reads the profile file
// first merges such copies into it, under the file's lock, all or nothing: every line of the
// file and of every copy, minus the lines whose latest record is a delete (Deletions), each
// once; the file's lines in their order and byte for byte, the copies' new lines after them. A
// link is never followed nor moved; a copy that is no profile file (a line a save would refuse)
// moves into "conflicts-unreadable/" unmerged; a merge past the profile file's size is refused. A merged copy moves
// into "conflicts-merged/" beside the file, where a sync tool carries it to the other machines
// without it being merged again.
namespace Sync {

// The names among `names` that a sync tool gave to its conflict copies of the file `fileName`
// ("zavdata.txt"): Syncthing's "zavdata.sync-conflict-20261208-101530-ABCDEFG.txt",
// Nextcloud's "zavdata (conflicted copy 2026-12-08 101530).txt" (with or without a user name)
// and its older "zavdata_conflict-20261208-101530.txt", Dropbox's "zavdata (Alice's conflicted
// copy 2026-12-08).txt", Seafile's "zavdata (SFConflict alice@example.com
// 2026-12-08-10-15-30).txt". In the order given.
QStringList conflictCopies(const QString &fileName, const QStringList &names);

// The merged lines: the file's, then each copy's in order, less the deleted ones and the empty
// lines of the copies, none twice.
// *dropped, when given, gets the file's own lines that a record deleted.
QStringList merge(const QStringList &file, const QList<QStringList> &copies, const QSet<QString> &deleted,
                  QStringList *dropped = nullptr);

// What a merge did, for the window's status bar and quorvane-cli's messages.
struct Report
{
    QStringList merged;                     // copies merged and moved into conflicts-merged/
    QList<QPair<QString, QString>> left;    // copies that could not be read (links among them), and why
    QList<QPair<QString, QString>> unreadable;   // copies that are no profile file, moved into conflicts-unreadable/
    QStringList dropped;                    // the file's own lines that a record from another machine deleted
    bool noDeletions = false;               // merged without a record of deletions
    QString failure;                        // why nothing was merged, when nothing was

    bool isEmpty() const { return merged.isEmpty() && left.isEmpty() && unreadable.isEmpty() && failure.isEmpty(); }
    // One sentence each, for the user.
    QStringList messages() const;
};

// Merges the sync tools' copies of the profile file (and of the record of deletions) into it,
// if there are any. Cheap when there are none: one listing of the folder.
Report mergeCopies(const QString &profilePath);

// The folder where merged copies go, and the one for copies that are no profile file.
QString mergedFolder(const QString &profilePath);
QString unreadableFolder(const QString &profilePath);

}
