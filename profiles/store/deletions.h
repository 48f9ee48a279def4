#pragma once

#include <QHash>

#include <functional>
#include <QSet>
#include <QString>
#include <QStringList>

// The record of deleted and saved profile lines, beside the profile file ("deletions.txt"), so
// that it syncs with it. Every delete (a profile removed, a line replaced by a new version or a
// phrase mark) appends the line with its time; every save appends it with its time and "saved".
// When a sync tool leaves conflicting copies of the profile file, Sync::mergeCopies takes for
// each line the latest thing that happened to it on any machine: a line whose latest record is
// a delete stays deleted, one saved after its delete (here or elsewhere) stays. Without the
// record, a profile added on one machine would look deleted to the other. The lines are no more
// secret than the profile file's.
//
// Each record: the time (UTC, ISO 8601, milliseconds), a tab, then the line for a delete, or
// "saved", a tab and the line for a save (a line never holds a tab, so the two cannot be taken
// for each other). Within one file a later record wins whatever its time (a clock set back);
// across files the later time wins, and a save wins a tie.
namespace Deletions {

QString path(const QString &profilePath);

enum class Kind { Deleted, Saved };

// The latest record of each line.
struct Event
{
    QString time;   // as written, milliseconds always ("...T10:15:30.000Z" for an older record)
    Kind kind = Kind::Deleted;
};
using Latest = QHash<QString, Event>;

// Appends a record of the lines, now. False, with the record as it was and *problem saying why,
// when it could not be written (a link in its place, a full disk). *before lets undo() take the
// records back when what they record then fails.
bool record(const QString &profilePath, const QStringList &lines, Kind kind, qint64 *before, QString *problem);
bool undo(const QString &profilePath, qint64 before);

// Adds a record file's (the record's, or a sync tool's copy's) latest records to *latest; false
// when it cannot be read. A link is never followed.
bool readLatest(const QString &file, Latest *latest);
// The lines whose latest record in the file is a delete; false when it cannot be read.
bool read(const QString &file, QSet<QString> *lines);
// The lines deleted in `latest`.
QSet<QString> deletedIn(const Latest &latest);

// The line of that identifier deleted last, of those `accept` takes (an original program's line
// that a strong version replaced, say); empty when the record knows none.
QString lastDeleted(const QString &profilePath, const QString &identifier, const std::function<bool(const QString &)> &accept);

// Replaces the record by one record a line, oldest first, whole and never through a link.
bool writeLatest(const QString &profilePath, const Latest &latest, QString *problem);

}
