#pragma once

#include <QSet>
#include <QString>
#include <QStringList>

// The record of deleted profile lines, beside the profile file ("deletions.txt"), so that it
// syncs with it: every delete (a profile removed, a line replaced by a new version or a phrase
// mark) writes the line with its time; adding a line takes it out again. When a sync tool leaves
// conflicting copies of the profile file, a line recorded here stays deleted (Sync::mergeCopies):
// without the record, a profile added on one machine would look deleted to the other. The lines
// are no more secret than the profile file's. Each record: the time (UTC, ISO 8601), a tab, the
// line.
namespace Deletions {

QString path(const QString &profilePath);

// Records the lines as deleted now. False when the record could not be written.
bool record(const QString &profilePath, const QStringList &lines);
// Takes the lines out of the record (they were saved again). False when it could not be rewritten.
bool forget(const QString &profilePath, const QStringList &lines);

// The lines a record file (the record or a sync tool's copy of it) holds; false when it cannot
// be read.
bool read(const QString &file, QSet<QString> *lines);
// The record's own text, for a merge of its copies: every record line, in order.
bool readRecords(const QString &file, QStringList *records);
// Replaces the record by these record lines, whole.
bool writeRecords(const QString &profilePath, const QStringList &records);

}
