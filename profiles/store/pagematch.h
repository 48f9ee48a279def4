#pragma once

#include <QList>
#include <QString>
#include <QStringList>

// Which saved profiles belong to a web page: those whose identifier names the page's host or
// one of its parent domains down to the registrable one (the public suffix list, through
// libpsl, says where that is), compared without case and with a leading "www." dropped on
// both sides. A public suffix ("com", "co.uk") names no page; an identifier that is itself an
// address names its host.
namespace PageMatch {

struct Page
{
    QString site;      // the host, lower case ("login.shop.example.com")
    QString domain;    // its registrable domain ("example.com"); the host itself for an address
                       // or a name the list knows no domain of
    QString problem;   // why the address is no page that can be looked up; empty otherwise
};

// The page of a web address; only http and https pages are looked up.
Page page(const QString &url);

// How closely an identifier names the page: the number of labels of the host or parent domain
// it names (more is more specific), or 0 when it names none.
int closeness(const QString &identifier, const Page &page);

// The profile lines whose identifier names the page, most specific first, in the order given
// among equally specific ones; empty lines name nothing.
QStringList profilesFor(const Page &page, const QStringList &rows);

// A saved profile of a site that shares its sign-in with the page's (RelatedSites), and that site.
struct Related
{
    QString row;
    QString site;   // the related domain the profile's identifier names ("apple.com")
};

// The profiles of the sites related to the page's domain, in file order, the page's own left out
// (profilesFor). Only offered, never chosen: the list's makers ask for the user's review.
QList<Related> relatedProfilesFor(const Page &page, const QStringList &rows, const QStringList &relatedDomains);

// The change-of-password page of an identifier that is a domain name or an address:
// https://HOST/.well-known/change-password (the W3C's well-known address, which sites redirect
// to their change page); empty for a bare word such as "bank" or an address.
QString changePasswordPage(const QString &identifier);

// The saved profiles a name given on the command line stands for: the line itself; else the
// lines of that identifier; else, for an address or a host name ("https://github.com/login",
// "www.shop.example"), the profiles that name that page most closely, as the browser's popup
// offers them first. Empty when it names none.
QStringList profilesNamed(const QString &name, const QStringList &rows);

}
