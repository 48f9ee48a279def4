#include "relatedsites.h"

#include "sitelist.h"

#include <QDebug>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

const RelatedSites &RelatedSites::installed()
{
    static const RelatedSites list = [] {
        RelatedSites read;
        QByteArray json;
        QString source;
        QString problem;
        if (!SiteList::readFirst(QString::fromLatin1(fileName),
                                 QStringLiteral("defaults/settings/main/") + QString::fromLatin1(fileName), &json, &source))
            return read;
        if (!parseJson(json, &read, &problem)) {
            qDebug().noquote() << "related sites: skipped" << source << "-" << problem;
            return RelatedSites();
        }
        read.sourcePath = source;
        return read;
    }();
    return list;
}

bool RelatedSites::parseJson(const QByteArray &json, RelatedSites *sites, QString *problem)
{
    if (json.size() > SiteList::maximumSize) {
        *problem = QStringLiteral("larger than 16 MiB");
        return false;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json, &error);
    if (!document.isObject() || !document.object().value(QStringLiteral("data")).isArray()) {
        *problem = document.isNull() ? QStringLiteral("not JSON: %1").arg(error.errorString())
                                     : QStringLiteral("no \"data\" list");
        return false;
    }
    RelatedSites read;
    for (const QJsonValue &record : document.object().value(QStringLiteral("data")).toArray()) {
        for (const QJsonValue &realm : record.toObject().value(QStringLiteral("relatedRealms")).toArray()) {
            QStringList group;
            for (const QJsonValue &domain : realm.toArray()) {
                const QString name = domain.toString().trimmed().toLower();
                if (!name.isEmpty() && !group.contains(name))
                    group << name;
            }
            if (group.size() < 2)
                continue;
            for (const QString &name : qAsConst(group))
                read.groupsOf[name].append(read.groupList.size());
            read.groupList.append(group);
        }
    }
    if (read.groupList.isEmpty()) {
        *problem = QStringLiteral("no group of related sites");
        return false;
    }
    *sites = read;
    return true;
}

QStringList RelatedSites::relatedTo(const QString &domain) const
{
    QStringList related;
    const QString name = domain.toLower();
    for (const int group : groupsOf.value(name)) {
        for (const QString &other : groupList.at(group)) {
            if (other != name && !related.contains(other))
                related << other;
        }
    }
    return related;
}
