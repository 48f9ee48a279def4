#include "pagematch.h"

#include "profilefile.h"

#include <QHash>
#include <QUrl>

#include <libpsl.h>

#include <algorithm>

namespace PageMatch {

namespace {

const psl_ctx_t *suffixes()
{
    // The newest of the list built into libpsl and the one the system keeps up to date.
    static const psl_ctx_t *list = [] {
        const psl_ctx_t *latest = psl_latest(nullptr);
        return latest ? latest : psl_builtin();
    }();
    return list;
}

// A host or identifier as the comparison takes it: lower case, in its ASCII form, without a
// final dot or a leading "www."; an address stands for its host.
QString plainHost(const QString &text)
{
    QString name = text.trimmed().toLower();
    if (name.contains(QLatin1String("://")))
        name = QUrl(name).host();
    const bool ascii = std::all_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (!ascii) {
        const QString ace = QString::fromLatin1(QUrl::toAce(name));
        if (!ace.isEmpty())
            name = ace;
    }
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    if (name.startsWith(QLatin1String("www.")))
        name.remove(0, 4);
    return name;
}

bool isPublicSuffix(const QString &name)
{
    return suffixes() && psl_is_public_suffix(suffixes(), name.toLatin1().constData());
}

// An IPv6 address (the only hosts with ":"), or an IPv4 one: labels of digits only.
bool isAddress(const QString &host)
{
    if (host.contains(QLatin1Char(':')))
        return true;
    for (const QString &label : host.split(QLatin1Char('.'))) {
        bool number = false;
        label.toUInt(&number, 10);
        if (!number)
            return false;
    }
    return true;
}

int labels(const QString &name)
{
    return name.count(QLatin1Char('.')) + 1;
}

}

Page page(const QString &url)
{
    Page result;
    const QUrl address(url.trimmed(), QUrl::StrictMode);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))
        || address.host().isEmpty()) {
        result.problem = QStringLiteral("only http and https pages are looked up");
        return result;
    }
    result.site = address.host(QUrl::FullyEncoded).toLower();
    result.domain = result.site;
    if (isAddress(result.site) || !suffixes())
        return result;
    // The domain is a pointer into the host's own bytes.
    const QByteArray host = result.site.toLatin1();
    const char *registrable = psl_registrable_domain(suffixes(), host.constData());
    if (registrable)
        result.domain = QString::fromLatin1(registrable);
    return result;
}

// The names that name the page, with their number of labels: the host and each parent down to
// the registrable domain, none of them a public suffix.
QHash<QString, int> namesOf(const Page &page)
{
    QHash<QString, int> names;
    if (page.site.isEmpty())
        return names;
    QString name = plainHost(page.site);
    const QString domain = plainHost(page.domain);
    for (;;) {
        if (!isPublicSuffix(name))
            names.insert(name, labels(name));
        if (name == domain || !name.endsWith(QLatin1Char('.') + domain))
            break;
        name = name.mid(name.indexOf(QLatin1Char('.')) + 1);
    }
    return names;
}

int closeness(const QString &identifier, const Page &page)
{
    return namesOf(page).value(plainHost(identifier), 0);
}

QStringList profilesFor(const Page &page, const QStringList &rows)
{
    const QHash<QString, int> names = namesOf(page);
    QVector<QPair<int, QString>> found;
    for (const QString &row : rows) {
        const int close = names.value(plainHost(ProfileFile::identifierOf(row)), 0);
        if (close > 0)
            found.append({close, row});
    }
    std::stable_sort(found.begin(), found.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    QStringList result;
    for (const auto &match : qAsConst(found))
        result.append(match.second);
    return result;
}

}
