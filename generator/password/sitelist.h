#pragma once

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

// The password rules of web sites, known by domain, read from a list on this machine: the one a
// user puts in the folder "quorvane" of a data folder (~/.local/share/quorvane/password-rules.json),
// or else the copy inside an installed Firefox. Both hold texts in the passwordrules language.
class SiteList
{
public:
    struct Site {
        QString domain;      // lower case
        QString rule;        // the rule text as the list gives it
        bool exactOnly = false;   // matches its domain, not the domain's subdomains
    };
    struct Match {
        QString domain;
        QString rule;
        QString source;      // the file it was read from
        bool isNull() const { return domain.isEmpty(); }
    };

    // The list of the first source that can be read, read on first use; empty without one.
    static const SiteList &installed();

    // The sources, in the order they are tried: the data folders' files, then Firefox's archives.
    static QStringList candidates();
    // Reads the first of the paths that holds a list; an unreadable or malformed one is skipped
    // with a trace line.
    static SiteList firstReadable(const QStringList &paths);

    // The sites of a list in either shape: {"example.com": {"password-rules": "..."}, ...} or
    // Firefox's {"data": [{"Domain": "example.com", "password-rules": "..."}, ...]}. False, with
    // the reason, for anything else.
    static bool parseJson(const QByteArray &json, QVector<Site> *sites, QString *problem);
    // The list inside a Firefox archive (omni.ja).
    static bool readArchive(const QString &path, QByteArray *json, QString *problem);
    // Another entry of such an archive, read with the same bounds.
    static bool readArchiveEntry(const QString &path, const QString &entryName, QByteArray *json, QString *problem);
    // Firefox's folders, where omni.ja stands in browser/.
    static QStringList firefoxArchives();
    // A list file of a data folder or a Firefox archive's entry, whichever is found first
    // ("quorvane/NAME" in the data folders, then `entry` in each Firefox archive): its bytes and
    // where they came from. False when none could be read.
    static bool readFirst(const QString &fileName, const QString &entry, QByteArray *json, QString *source);

    // The host an identifier names: "https://user@www.Example.com:8080/login" gives
    // "www.example.com".
    static QString hostOf(const QString &identifier);

    // The site whose domain is the identifier's host or ends it after a ".", the longest such.
    Match match(const QString &identifier) const;

    const QString &source() const { return sourcePath; }
    int size() const { return sites.size(); }

    // Neither a list file nor an archive entry is read beyond this size.
    static constexpr qint64 maximumSize = 16 * 1024 * 1024;

private:
    QHash<QString, Site> sites;
    QString sourcePath;
};
