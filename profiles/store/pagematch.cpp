#include "pagematch.h"

#include "profilefile.h"
#include "recipe.h"

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

// The longest host name DNS allows, and the longest identifier that may be an address: longer
// ones name no page, and are refused before any work on them.
constexpr int longestHost = 253;
constexpr int longestAddress = 2048;

// The host part of an address as a browser reads it: after the scheme and any slashes (a
// browser takes a backslash as "/" in http and https addresses), up to the path, query or fragment,
// without the user's name and the port. Nothing else of the address matters here, so a path
// that a strict reading refuses ("/a|b", "/{x}", "/a%zz") is never looked at.
QString hostPart(const QString &address)
{
    int from = address.indexOf(QLatin1Char(':')) + 1;
    while (from < address.size() && (address.at(from) == QLatin1Char('/') || address.at(from) == QLatin1Char('\\')))
        ++from;
    int to = from;
    while (to < address.size() && !QStringLiteral("/\\?#").contains(address.at(to)))
        ++to;
    QString authority = address.mid(from, to - from);
    authority = authority.mid(authority.lastIndexOf(QLatin1Char('@')) + 1);
    if (authority.startsWith(QLatin1Char('[')))
        return authority.left(authority.indexOf(QLatin1Char(']')) + 1);
    return authority.left(authority.indexOf(QLatin1Char(':')));
}

// The host as QUrl gives it (lower case, ASCII form, an IPv6 address in its short form and
// without brackets); empty when it is no host.
QString normalHost(const QString &host)
{
    if (host.isEmpty() || host.size() > longestHost + 2)
        return QString();
    QUrl url;
    url.setScheme(QStringLiteral("http"));
    url.setHost(host, QUrl::StrictMode);
    return url.isValid() ? url.host(QUrl::FullyEncoded).toLower() : QString();
}

bool isPublicSuffix(const QString &name)
{
    return suffixes() && psl_is_public_suffix(suffixes(), name.toLatin1().constData());
}

// A host or identifier as the comparison takes it: lower case, in its ASCII form, without a
// final dot or a leading "www." (unless a public suffix is what is left); an address stands for its host, an IPv6 address for itself
// without brackets.
QString plainHost(const QString &text)
{
    QString name = text.trimmed().toLower();
    if (name.size() > longestAddress)
        return QString();
    if (name.contains(QLatin1String("://")))
        name = hostPart(name);
    if (name.startsWith(QLatin1Char('[')) && name.endsWith(QLatin1Char(']')))
        name = name.mid(1, name.size() - 2);
    if (name.size() > longestHost)
        return QString();
    if (name.contains(QLatin1Char(':')))
        return normalHost(QLatin1Char('[') + name + QLatin1Char(']'));
    const bool ascii = std::all_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() < 0x80; });
    if (!ascii) {
        const QString ace = QString::fromLatin1(QUrl::toAce(name));
        if (!ace.isEmpty())
            name = ace;
    }
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    // "www.github.io" is a site of its own, not "github.io": what is left must be no public suffix.
    if (name.startsWith(QLatin1String("www.")) && !isPublicSuffix(name.mid(4)))
        name.remove(0, 4);
    return name;
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
    const QString address = url.trimmed();
    const int colon = address.indexOf(QLatin1Char(':'));
    const QString scheme = address.left(qMax(colon, 0)).toLower();
    if (colon < 0 || (scheme != QLatin1String("http") && scheme != QLatin1String("https"))) {
        result.problem = QStringLiteral("only http and https pages are looked up");
        return result;
    }
    const QString host = hostPart(address);
    if (host.isEmpty()) {
        result.problem = QStringLiteral("the address names no host");
        return result;
    }
    if (host.size() > longestHost + 2) {
        result.problem = QStringLiteral("the address's host name is longer than %1 characters, which no host name is")
                             .arg(longestHost);
        return result;
    }
    const QString normal = normalHost(host);
    if (normal.isEmpty()) {
        result.problem = QStringLiteral("the address's host name is not valid");
        return result;
    }
    // An IPv6 address keeps its brackets, as the browser shows it.
    result.site = normal.contains(QLatin1Char(':')) ? QLatin1Char('[') + normal + QLatin1Char(']') : normal;
    result.domain = result.site;
    if (isAddress(normal) || !suffixes())
        return result;
    // The domain is a pointer into the host's own bytes.
    const QByteArray bytes = normal.toLatin1();
    const char *registrable = psl_registrable_domain(suffixes(), bytes.constData());
    if (registrable)
        result.domain = QString::fromLatin1(registrable);
    return result;
}

// The names that name the page, with their number of labels: the host and each parent down to
// the registrable domain, none of them a public suffix.
// The names that name the page, with their number of labels: the host itself (even where the
// list calls it a public suffix: "localhost", an intranet name, an address), and each parent
// down to the registrable domain that is no public suffix.
QHash<QString, int> namesOf(const Page &page)
{
    QHash<QString, int> names;
    if (page.site.isEmpty())
        return names;
    QString name = plainHost(page.site);
    const QString domain = plainHost(page.domain);
    if (name.isEmpty())
        return names;
    names.insert(name, labels(name));
    while (name != domain && name.endsWith(QLatin1Char('.') + domain)) {
        name = name.mid(name.indexOf(QLatin1Char('.')) + 1);
        if (!isPublicSuffix(name))
            names.insert(name, labels(name));
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

QList<Related> relatedProfilesFor(const Page &page, const QStringList &rows, const QStringList &relatedDomains)
{
    QList<Related> found;
    if (relatedDomains.isEmpty())
        return found;
    const QHash<QString, int> own = namesOf(page);
    for (const QString &row : rows) {
        const QString host = plainHost(ProfileFile::identifierOf(row));
        if (host.isEmpty() || own.contains(host))
            continue;
        for (const QString &domain : relatedDomains) {
            if (host == domain || host.endsWith(QLatin1Char('.') + domain)) {
                found.append({row, domain});
                break;
            }
        }
    }
    return found;
}

QString changePasswordPage(const QString &identifier)
{
    const QString text = identifier.trimmed();
    const bool address = text.contains(QLatin1String("://"));
    const Page asPage = page(address ? text : QStringLiteral("https://") + text + QLatin1Char('/'));
    // A domain name: a host with a dot that the public suffix list knows a registrable domain of.
    if (!asPage.problem.isEmpty() || (!address && (text.contains(QLatin1Char('/')) || text.contains(QLatin1Char(' '))))
        || isAddress(asPage.site.startsWith(QLatin1Char('[')) ? asPage.site.mid(1, asPage.site.size() - 2) : asPage.site)
        || !asPage.site.contains(QLatin1Char('.')) || isPublicSuffix(asPage.site))
        return QString();
    return QStringLiteral("https://%1/.well-known/change-password").arg(asPage.site);
}

QStringList profilesNamed(const QString &name, const QStringList &rows)
{
    if (rows.contains(name))
        return {name};
    QStringList named;
    // A line given without the phrase mark its saved line has.
    for (const QString &row : rows) {
        Recipe recipe;
        if (row.startsWith(name) && row.size() > name.size() && Recipe::phraseOfLine(row) > 1
            && Recipe::fromLine(row, &recipe) && recipe.line() == name)
            named << row;
    }
    if (!named.isEmpty())
        return named;
    for (const QString &row : rows) {
        if (ProfileFile::identifierOf(row) == name)
            named << row;
    }
    if (!named.isEmpty() || name.trimmed().isEmpty())
        return named;
    const Page asPage = page(name.contains(QLatin1String("://")) ? name : QStringLiteral("https://") + name.trimmed());
    if (!asPage.problem.isEmpty())
        return named;
    const QHash<QString, int> names = namesOf(asPage);
    int closest = 0;
    for (const QString &row : rows) {
        const int close = names.value(plainHost(ProfileFile::identifierOf(row)), 0);
        if (close > closest) {
            closest = close;
            named.clear();
        }
        if (close > 0 && close == closest)
            named << row;
    }
    return named;
}

}
