#include "pagematch.h"
#include "relatedsites.h"

#include <QElapsedTimer>
#include <QtTest>

// Which profiles belong to a page, by the public suffix list: parents down to the registrable
// domain, "www." and case aside, never a public suffix, addresses by their host.
class TestPageMatch : public QObject
{
    Q_OBJECT

private slots:
    void pages();
    void closeness_data();
    void closeness();
    void mostSpecificFirst();
    void namedOnTheCommandLine();
    void relatedSites();
};

void TestPageMatch::pages()
{
    const QList<QStringList> rows{
        {"https://login.shop.example.com/path?x=1", "login.shop.example.com", "example.com"},
        {"http://www.bbc.co.uk/", "www.bbc.co.uk", "bbc.co.uk"},
        {"https://user@Example.COM:8443/", "example.com", "example.com"},
        {"https://foo.github.io/", "foo.github.io", "foo.github.io"},   // a private suffix of the list
        {"https://127.0.0.1:8080/", "127.0.0.1", "127.0.0.1"},
        {"https://b\u00fccher.example/", "xn--bcher-kva.example", "xn--bcher-kva.example"},
    };
    for (const QStringList &row : rows) {
        const PageMatch::Page page = PageMatch::page(row.at(0));
        QVERIFY2(page.problem.isEmpty(), qPrintable(row.at(0)));
        QCOMPARE(page.site, row.at(1));
        QCOMPARE(page.domain, row.at(2));
    }
    // Addresses as browsers send them: only the scheme and the host matter, whatever the path,
    // query or fragment hold.
    for (const char *url : {"https://bank.example/login?q=a|b", "https://bank.example/#a|b", "https://bank.example/{x}",
                            "https://bank.example/a^b", "https://bank.example/a%zz", "https://bank.example\\login",
                            "HTTPS://Bank.Example:443/ x"}) {
        const PageMatch::Page page = PageMatch::page(QString::fromLatin1(url));
        QVERIFY2(page.problem.isEmpty(), url);
        QCOMPARE(page.site, QStringLiteral("bank.example"));
    }
    const QList<QStringList> refused{
        {"ftp://example.com/", "only http and https"}, {"file:///etc/passwd", "only http and https"},
        {"javascript:alert(1)", "only http and https"}, {"example.com", "only http and https"},
        {"", "only http and https"}, {"https://", "names no host"}, {"https://user@:80/", "names no host"},
        {"https://exa mple.com/", "not valid"}, {"http://[::1/", "names no host"},
    };
    for (const QStringList &row : refused)
        QVERIFY2(PageMatch::page(row.at(0)).problem.contains(row.at(1)), qPrintable(row.at(0)));
    // A host longer than any host name is refused at once, whatever it holds.
    QElapsedTimer timer;
    timer.start();
    const PageMatch::Page huge = PageMatch::page(QStringLiteral("https://") + QString(42000, QChar(0xe9)) + ".example/");
    QVERIFY(huge.problem.contains(QLatin1String("longer than 253")));
    QVERIFY(timer.elapsed() < 1000);
}

void TestPageMatch::relatedSites()
{
    // The test's own list (tests/data/sites/quorvane/), read as the site rules are.
    const RelatedSites &sites = RelatedSites::installed();
    QVERIFY2(sites.groups() == 3, qPrintable(sites.source()));
    QCOMPARE(sites.relatedTo(QStringLiteral("icloud.com")), QStringList{"apple.com"});
    QCOMPARE(sites.relatedTo(QStringLiteral("amazon.co.uk")), (QStringList{"amazon.com", "amazon.de"}));
    QVERIFY(sites.relatedTo(QStringLiteral("example.com")).isEmpty());
    // Malformed lists are no error: no related sites.
    for (const char *json : {"", "[]", "{\"data\": 3}", "{\"data\": [{\"relatedRealms\": [[\"only.one\"]]}]}"}) {
        RelatedSites read;
        QString problem;
        QVERIFY2(!RelatedSites::parseJson(QByteArray(json), &read, &problem) && !problem.isEmpty(), json);
    }

    // A page's related profiles: its own left out, each with the site it belongs to.
    const QStringList rows{"apple.com|16|strong", "www.icloud.com|16|strong", "amazon.com|20|strong", "id.apple.com|16|strong",
                           "bank|16|strong", "notapple.com|16|strong"};
    const auto related = [&](const QString &url) {
        const PageMatch::Page page = PageMatch::page(url);
        QStringList found;
        for (const PageMatch::Related &r : PageMatch::relatedProfilesFor(page, rows, sites.relatedTo(page.domain)))
            found << r.row + QStringLiteral(" @") + r.site;
        return found;
    };
    QCOMPARE(related(QStringLiteral("https://www.icloud.com/")), (QStringList{"apple.com|16|strong @apple.com", "id.apple.com|16|strong @apple.com"}));
    QCOMPARE(related(QStringLiteral("https://appleid.apple.com/")), QStringList{"www.icloud.com|16|strong @icloud.com"});
    QCOMPARE(related(QStringLiteral("https://www.amazon.de/")), QStringList{"amazon.com|20|strong @amazon.com"});
    QVERIFY(related(QStringLiteral("https://example.com/")).isEmpty());

    // The well-known change page: for a domain name or an address, none for a bare word.
    const QList<QPair<QString, QString>> pages{
        {"bank.example", "https://bank.example/.well-known/change-password"},
        {"https://shop.example/login", "https://shop.example/.well-known/change-password"},
        {"WWW.Example.COM", "https://www.example.com/.well-known/change-password"},
        {"bank", ""}, {"my bank", ""}, {"co.uk", ""}, {"127.0.0.1", ""}, {"", ""}, {"a/b", ""},
    };
    for (const auto &row : pages)
        QCOMPARE(PageMatch::changePasswordPage(row.first), row.second);
}

void TestPageMatch::closeness_data()
{
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<int>("closeness");
    const QString shop = QStringLiteral("https://login.shop.example.com/");
    QTest::newRow("the host") << shop << "login.shop.example.com" << 4;
    QTest::newRow("a parent") << shop << "shop.example.com" << 3;
    QTest::newRow("the registrable domain") << shop << "example.com" << 2;
    QTest::newRow("no case") << shop << "Example.COM" << 2;
    QTest::newRow("www on the identifier") << shop << "www.example.com" << 2;
    QTest::newRow("www on the page") << "https://www.example.com/" << "example.com" << 2;
    QTest::newRow("an address as identifier") << shop << "https://shop.example.com/login" << 3;
    QTest::newRow("a public suffix") << shop << "com" << 0;
    QTest::newRow("a sibling") << shop << "other.example.com" << 0;
    QTest::newRow("a longer host") << shop << "x.login.shop.example.com" << 0;
    QTest::newRow("a name ending alike") << shop << "myexample.com" << 0;
    QTest::newRow("a bare word") << shop << "bank" << 0;
    QTest::newRow("two-label suffix") << "https://www.bbc.co.uk/" << "co.uk" << 0;
    QTest::newRow("below a two-label suffix") << "https://news.bbc.co.uk/" << "bbc.co.uk" << 3;
    QTest::newRow("a private suffix") << "https://foo.github.io/" << "github.io" << 0;
    QTest::newRow("an address page") << "http://127.0.0.1:8080/" << "127.0.0.1" << 4;
    QTest::newRow("not a parent of an address") << "http://127.0.0.1:8080/" << "0.0.1" << 0;
    QTest::newRow("an empty identifier") << shop << "" << 0;
    // Names the list calls public suffixes still name themselves: a single label, an address.
    QTest::newRow("localhost") << "http://localhost:8080/" << "localhost" << 1;
    QTest::newRow("an intranet name") << "http://wiki/page" << "WIKI" << 1;
    QTest::newRow("an intranet parent") << "http://a.wiki/" << "wiki" << 0;
    QTest::newRow("IPv6") << "http://[::1]:8080/" << "[::1]" << 1;
    QTest::newRow("IPv6 as an address") << "http://[2001:0db8:0::1]/" << "https://[2001:db8::1]:8443/x" << 1;
    QTest::newRow("IPv6 unbracketed") << "http://[2001:db8::1]/" << "2001:DB8::1" << 1;
    QTest::newRow("another IPv6") << "http://[::1]/" << "[::2]" << 0;
    QTest::newRow("a suffix as the host") << "https://github.io/" << "github.io" << 2;
    // "www." goes only where what is left is no public suffix: www.github.io is a site of its own.
    QTest::newRow("www before a private suffix") << "https://www.github.io/" << "github.io" << 0;
    QTest::newRow("www before a two-label suffix") << "https://www.co.uk/" << "co.uk" << 0;
    QTest::newRow("www before localhost") << "http://www.localhost/" << "localhost" << 0;
    QTest::newRow("www on a site below a suffix") << "https://www.foo.github.io/" << "foo.github.io" << 3;
}

void TestPageMatch::closeness()
{
    QFETCH(QString, url);
    QFETCH(QString, identifier);
    QFETCH(int, closeness);
    QCOMPARE(PageMatch::closeness(identifier, PageMatch::page(url)), closeness);
}

void TestPageMatch::mostSpecificFirst()
{
    const QStringList rows{"bank|16", "example.com|16|strong", "login.shop.example.com|20|strong",
                           "shop.example.com|8", "com|8", "example.com|12", "example.org|16|strong"};
    QCOMPARE(PageMatch::profilesFor(PageMatch::page(QStringLiteral("https://login.shop.example.com/")), rows),
             (QStringList{"login.shop.example.com|20|strong", "shop.example.com|8", "example.com|16|strong",
                          "example.com|12"}));
}

void TestPageMatch::namedOnTheCommandLine()
{
    // A line, an identifier, then an address or host name: the closest profiles of that page.
    const QStringList rows{"github.com|16|strong", "shop.example|20|strong", "shop.example|12",
                           "login.shop.example|16|strong", "bank|16", "bank|20|strong"};
    const QList<QPair<QString, QStringList>> cases{
        {"bank|16", {"bank|16"}},
        {"bank", {"bank|16", "bank|20|strong"}},
        {"https://github.com/login", {"github.com|16|strong"}},
        {"www.github.com", {"github.com|16|strong"}},
        {"www.shop.example", {"shop.example|20|strong", "shop.example|12"}},
        {"https://login.shop.example/x?a=|", {"login.shop.example|16|strong"}},
        {"https://other.example/", {}},
        {"", {}},
        {"ftp://github.com/", {}},
    };
    for (const auto &c : cases)
        QCOMPARE(PageMatch::profilesNamed(c.first, rows), c.second);
}

QTEST_GUILESS_MAIN(TestPageMatch)
#include "TestPageMatch.moc"
