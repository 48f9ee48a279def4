#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QVector>

// Sites that share one sign-in (apple.com and icloud.com, amazon.com and amazon.co.uk), as
// Firefox carries them ("websites-with-shared-credential-backends.json" in its omni.ja), read
// from the machine as the site rules are: "quorvane/websites-with-shared-credential-backends.json"
// in a data folder, else the installed Firefox. A missing or malformed list is no error: there
// are then no related sites. The list's makers ask that it never release a password without the
// user's review, so a related profile is only ever offered, never chosen.
class RelatedSites
{
public:
    static constexpr const char *fileName = "websites-with-shared-credential-backends.json";

    // The list found on this machine, read on first use.
    static const RelatedSites &installed();

    // {"data": [{"relatedRealms": [["apple.com", "icloud.com"], ...]}, ...]}. False, with the
    // reason, for anything else; domains are kept in lower case.
    static bool parseJson(const QByteArray &json, RelatedSites *sites, QString *problem);

    // The domains that share their sign-in with `domain` (a registrable domain), itself left out.
    QStringList relatedTo(const QString &domain) const;

    const QString &source() const { return sourcePath; }
    int groups() const { return groupList.size(); }

private:
    QVector<QStringList> groupList;
    QHash<QString, QVector<int>> groupsOf;
    QString sourcePath;
};
