#pragma once

#include "recipe.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Every saved profile written for another password manager, or as LessPass's own profiles file:
// a way to leave, or to hand the accounts to the password manager a family or company uses. One
// writer per format, over (profile line, recipe, password); the derivations are the caller's
// (Batch). The formats with passwords hold them in clear.
namespace Export {

enum class Format { KeePassXml, BitwardenJson, BitwardenCsv, LessPassJson };

// "keepass-xml", "bitwarden-json", "bitwarden-csv", "lesspass-json".
QStringList formatNames();
bool formatFromName(const QString &name, Format *format);
QString formatName(Format format);
// The extension of its files ("xml", "json", "csv") and its name for a file dialog's filter.
QString fileExtension(Format format);
QString formatTitle(Format format);
// Whether the format holds passwords (and so needs the phrase): all but LessPass's.
bool holdsPasswords(Format format);

struct Entry
{
    QString line;       // the profile line, kept as the entry's notes
    Recipe recipe;
    QString password;   // empty for LessPass's format
};

// The entries of the profile lines that make a password, in file order; the others in *skipped
// with why. LessPass's format takes its own scheme's profiles only.
QList<Entry> entriesOf(const QStringList &lines, Format format, QStringList *skipped);

// Why an export with passwords cannot be made now, or empty: during a change of the secret
// phrase some sites still have the previous phrase's password and others the new one's, so no
// one phrase gives every site's real password.
QString refusal(const QString &profilePath, const QStringList &lines, Format format);

// What the file will not hold as the profile file does, one sentence an entry: KeePass's XML
// cannot keep control characters, which are left out of its texts.
QStringList notes(Format format, const QList<Entry> &entries);

// An entry's address: https://IDENTIFIER/ for a host name, the identifier itself for an http or
// https address, none otherwise. Its user name: LessPass's login, or the login name a Spectre site
// list kept.
QString uriOf(const Recipe &recipe);
QString userNameOf(const Recipe &recipe);

// The whole file of the format.
QByteArray write(Format format, const QList<Entry> &entries);

enum class FileResult { Written, Exists, Failed };
// Writes a new file, mode 0600, whole or not at all; an existing file is refused and left as it
// is, even one made meanwhile. *problem says why it failed.
FileResult writeNewFile(const QString &path, const QByteArray &bytes, QString *problem);

}
