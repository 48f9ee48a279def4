#include "sitelist.h"

#include "boundedfile.h"

#include <KZip>

#include <QDebug>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>

#include <limits>
#include <memory>

namespace {

const char archiveEntry[] = "defaults/settings/main/password-rules.json";

const char *const firefoxFolders[] = {
    "/usr/lib/firefox-esr",
    "/usr/lib/firefox",
    "/usr/lib64/firefox",
    "/opt/firefox",
    "/snap/firefox/current/usr/lib/firefox",
    "C:/Program Files/Mozilla Firefox",
    "/Applications/Firefox.app/Contents/Resources",
};

bool readFile(const QString &path, QByteArray *data, QString *problem)
{
    switch (BoundedFile::read(path, SiteList::maximumSize, data)) {
    case BoundedFile::Status::Read:
        return true;
    case BoundedFile::Status::TooLarge:
        *problem = QStringLiteral("larger than 16 MiB");
        break;
    case BoundedFile::Status::NotAFile:
        *problem = QStringLiteral("not a plain file");
        break;
    default:
        *problem = QStringLiteral("cannot be read");
        break;
    }
    return false;
}

}

const SiteList &SiteList::installed()
{
    static const SiteList list = firstReadable(candidates());
    return list;
}

QStringList SiteList::candidates()
{
    QStringList paths;
    for (const QString &folder : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        paths << folder + QStringLiteral("/quorvane/password-rules.json");
    paths << firefoxArchives();
    return paths;
}

SiteList SiteList::firstReadable(const QStringList &paths)
{
    for (const QString &path : paths) {
        if (!QFile::exists(path))
            continue;
        QByteArray json;
        QString problem;
        QVector<Site> read;
        const bool archive = path.endsWith(QLatin1String(".ja"));
        if ((archive ? readArchive(path, &json, &problem) : readFile(path, &json, &problem))
            && parseJson(json, &read, &problem)) {
            SiteList list;
            list.sourcePath = path;
            for (const Site &site : read)
                list.sites.insert(site.domain, site);
            return list;
        }
        qDebug().noquote() << "site rules: skipped" << path << "-" << problem;
    }
    return SiteList();
}

bool SiteList::readArchive(const QString &path, QByteArray *json, QString *problem)
{
    return readArchiveEntry(path, QString::fromLatin1(archiveEntry), json, problem);
}

QStringList SiteList::firefoxArchives()
{
    QStringList paths;
    for (const char *folder : firefoxFolders)
        paths << QString::fromLatin1(folder) + QStringLiteral("/browser/omni.ja");
    return paths;
}

bool SiteList::readFirst(const QString &fileName, const QString &entry, QByteArray *json, QString *source)
{
    QStringList paths;
    for (const QString &folder : QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation))
        paths << folder + QStringLiteral("/quorvane/") + fileName;
    paths << firefoxArchives();
    for (const QString &path : qAsConst(paths)) {
        if (!QFile::exists(path))
            continue;
        QString problem;
        if (path.endsWith(QLatin1String(".ja")) ? readArchiveEntry(path, entry, json, &problem) : readFile(path, json, &problem)) {
            *source = path;
            return true;
        }
        qDebug().noquote() << "site lists: skipped" << path << "-" << problem;
    }
    return false;
}

bool SiteList::readArchiveEntry(const QString &path, const QString &entryName, QByteArray *json, QString *problem)
{
    if (BoundedFile::check(path, std::numeric_limits<qint64>::max()) != BoundedFile::Status::Read) {
        *problem = QStringLiteral("not a plain file that can be read");
        return false;
    }
    KZip zip(path);
    if (!zip.open(QIODevice::ReadOnly)) {
        *problem = QStringLiteral("not a zip archive");
        return false;
    }
    const KArchiveEntry *entry = zip.directory()->entry(entryName);
    if (!entry || !entry->isFile()) {
        *problem = QStringLiteral("no %1 in the archive").arg(entryName);
        return false;
    }
    const auto *file = static_cast<const KArchiveFile *>(entry);
    if (file->size() > maximumSize) {
        *problem = QStringLiteral("its list is larger than 16 MiB");
        return false;
    }
    // Unpacked as a stream and never past the limit: the size an entry declares may lie.
    const std::unique_ptr<QIODevice> device(file->createDevice());
    if (!device || !device->isOpen()) {
        *problem = QStringLiteral("its list cannot be unpacked");
        return false;
    }
    json->clear();
    const BoundedFile::Status read = BoundedFile::readDevice(*device, maximumSize, json);
    if (read == BoundedFile::Status::TooLarge) {
        *problem = QStringLiteral("its list is larger than 16 MiB");
        return false;
    }
    if (read != BoundedFile::Status::Read || json->size() != file->size()) {
        *problem = QStringLiteral("its list cannot be unpacked");
        return false;
    }
    return true;
}

bool SiteList::parseJson(const QByteArray &json, QVector<Site> *sites, QString *problem)
{
    if (json.size() > maximumSize) {
        *problem = QStringLiteral("larger than 16 MiB");
        return false;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (document.isNull()) {
        *problem = QStringLiteral("not JSON: %1 at byte %2").arg(error.errorString()).arg(error.offset);
        return false;
    }
    if (!document.isObject()) {
        *problem = QStringLiteral("not a list of site rules");
        return false;
    }
    const QJsonObject top = document.object();
    QVector<Site> read;
    auto add = [&](const QString &domain, const QJsonObject &entry) {
        const QJsonValue rule = entry.value(QLatin1String("password-rules"));
        if (domain.isEmpty() || !rule.isString())
            return false;
        read.append({domain.trimmed().toLower(), rule.toString(), entry.value(QLatin1String("exact-domain-match-only")).toBool()});
        return true;
    };
    if (top.value(QLatin1String("data")).isArray()) {
        for (const QJsonValue &value : top.value(QLatin1String("data")).toArray()) {
            const QJsonObject entry = value.toObject();
            if (!add(entry.value(QLatin1String("Domain")).toString(), entry)) {
                *problem = QStringLiteral("entry %1 has no domain or no rule").arg(read.size() + 1);
                return false;
            }
        }
    } else {
        for (auto it = top.begin(); it != top.end(); ++it) {
            if (!add(it.key(), it.value().toObject())) {
                *problem = QStringLiteral("the entry of \"%1\" has no rule").arg(it.key());
                return false;
            }
        }
    }
    *sites = read;
    return true;
}

QString SiteList::hostOf(const QString &identifier)
{
    QString host = identifier.trimmed().toLower();
    const int scheme = host.indexOf(QLatin1String("://"));
    if (scheme >= 0)
        host = host.mid(scheme + 3);
    for (const QChar end : {QLatin1Char('/'), QLatin1Char('?'), QLatin1Char('#')}) {
        const int at = host.indexOf(end);
        if (at >= 0)
            host.truncate(at);
    }
    const int user = host.lastIndexOf(QLatin1Char('@'));
    if (user >= 0)
        host = host.mid(user + 1);
    const int port = host.indexOf(QLatin1Char(':'));
    if (port >= 0)
        host.truncate(port);
    if (host.endsWith(QLatin1Char('.')))
        host.chop(1);
    return host;
}

SiteList::Match SiteList::match(const QString &identifier) const
{
    const QString host = hostOf(identifier);
    if (host.isEmpty())
        return Match();
    // From the whole host down to its last label: the first found is the longest domain.
    for (int from = 0; from >= 0;) {
        const QString domain = host.mid(from);
        const auto found = sites.constFind(domain);
        if (found != sites.constEnd() && (from == 0 || !found->exactOnly))
            return {found->domain, found->rule, sourcePath};
        const int dot = host.indexOf(QLatin1Char('.'), from);
        from = dot < 0 ? -1 : dot + 1;
    }
    return Match();
}
