#include "pagematch.h"

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
    for (const char *url : {"ftp://example.com/", "file:///etc/passwd", "javascript:alert(1)", "example.com", "https://", ""})
        QVERIFY2(!PageMatch::page(QString::fromLatin1(url)).problem.isEmpty(), url);
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

QTEST_GUILESS_MAIN(TestPageMatch)
#include "TestPageMatch.moc"
