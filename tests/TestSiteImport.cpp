#include "siteimport.h"
#include "testsupport.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace TestSupport;

class TestSiteImport : public QObject
{
    Q_OBJECT

private slots:
    void lessPassVectors();
    void spectreVectors();
    void skippedAndKept();
    void refusedWhole_data();
    void refusedWhole();
};

namespace {

SiteImport::Result readOk(const QByteArray &content)
{
    const SiteImport::Result result = SiteImport::read(content);
    if (result.status != SiteImport::Result::Read)
        qWarning("not read: %s", qPrintable(result.problem));
    return result;
}

}

// Every LessPass vector, in the server's paginated answer with today's keys and in a bare list
// with the older ones: both give the vector's recipe, and the recipe its password.
void TestSiteImport::lessPassVectors()
{
    QJsonArray current, older;
    QList<Recipe> expected;
    QStringList passwords, phrases;
    for (const Vector &v : vectors()) {
        if (v.recipe.scheme != Scheme::LessPass)
            continue;
        const Recipe &r = v.recipe;
        QJsonObject profile{{"site", r.identifier}, {"login", r.login}, {"length", r.length},
                            {"counter", double(r.counter)}, {"version", 2}, {"id", "3b9e3079"},
                            {"lowercase", r.classes.contains('a')}, {"uppercase", r.classes.contains('A')}};
        QJsonObject old = profile;
        profile.insert("digits", r.classes.contains('9'));
        profile.insert("symbols", r.classes.contains('!'));
        old.insert("numbers", r.classes.contains('9'));
        old.insert("symbol", r.classes.contains('!'));
        old.remove("version");   // 2 when missing
        current.append(profile);
        older.append(old);
        expected << r;
        phrases << v.phrase;
        passwords << v.password;
    }
    QVERIFY(expected.size() >= 12);
    const QJsonObject page{{"count", current.size()}, {"next", QJsonValue()}, {"results", current}};
    const SiteImport::Result paged = readOk(QJsonDocument(page).toJson());
    const SiteImport::Result bare = readOk(QJsonDocument(older).toJson(QJsonDocument::Compact));
    QCOMPARE(paged.recipes, expected);
    QCOMPARE(bare.recipes, expected);
    for (int i = 0; i < expected.size(); ++i)
        QCOMPARE(paged.recipes.at(i).derive(phrases.at(i)), passwords.at(i));
}

// Every Spectre vector of a site's password, as a line of a flat file (format 1, and format 0
// where the counter is 1) and as its own JSON export; each is derived back from the flat file.
void TestSiteImport::spectreVectors()
{
    QMap<QString, QByteArray> flat, flatZero;   // by user name
    QList<Recipe> expected;
    QStringList phrases, passwords;
    for (const Vector &v : vectors()) {
        const Recipe &r = v.recipe;
        if (r.scheme != Scheme::Spectre || r.purpose != Spectre::Purpose::Password || r.identifier.contains('\t'))
            continue;
        expected << r;
        phrases << v.phrase;
        passwords << v.password;
        const QByteArray code = QByteArray::number(Spectre::templateCode(r.templateName)) + ':'
                                + QByteArray::number(r.algorithm);
        flat[r.userName] += "2015-12-29T07:58:58Z         1    " + code + ':' + QByteArray::number(r.counter)
                            + "                           \t" + r.identifier.toUtf8() + "\t\n";
        if (r.counter == 1)
            flatZero[r.userName] += "2015-12-29T07:58:58Z 1 " + code + ' ' + r.identifier.toUtf8() + "\t\n";

        const QJsonObject site{{"type", Spectre::templateCode(r.templateName)}, {"counter", double(r.counter)},
                               {"algorithm", r.algorithm}};
        const QJsonObject json{{"export", QJsonObject{{"format", 3}}},
                               {"user", QJsonObject{{"full_name", r.userName}, {"algorithm", 3}}},
                               {"sites", QJsonObject{{r.identifier, site}}}};
        QCOMPARE(readOk(QJsonDocument(json).toJson()).recipes, QList<Recipe>{r});
    }
    QVERIFY(expected.size() >= 60);
    QList<Recipe> fromFlat;
    for (auto it = flat.cbegin(); it != flat.cend(); ++it) {
        const QByteArray header = "# Spectre site export\n##\n# Format: 1\n# User Name: " + it.key().toUtf8()
                                  + "\n# Avatar: 0\n##\n#\n#   Last used\n";
        const SiteImport::Result read = readOk(header + it.value());
        fromFlat += read.recipes;
        const QByteArray zero = "##\n# Full Name: " + it.key().toUtf8() + "\n# Format: 0\n##\n" + flatZero.value(it.key());
        for (const Recipe &r : readOk(zero).recipes)
            QVERIFY(read.recipes.contains(r));
    }
    QCOMPARE(fromFlat.size(), expected.size());
    for (int i = 0; i < expected.size(); ++i) {
        QVERIFY(fromFlat.contains(expected.at(i)));
        QCOMPARE(expected.at(i).derive(phrases.at(i)), passwords.at(i));
    }
}

void TestSiteImport::skippedAndKept()
{
    const QByteArray flat = "# Master Password site export\n##\n# User Name: test\n# Format: 1\n##\n"
                            "2015-09-28T19:05:56Z  4  1056:3:2      me@x.org\t  personal.site\tZTgr4cY=\n"
                            "2015-09-28T19:05:56Z  4  2081:3:1              \t  device.site\t\n"
                            "2015-09-28T19:05:56Z  4  4160:3:1              \t  key.site\t\n"
                            "2015-09-28T19:05:56Z  4  17:3:1        me@x.org\t  plain.site\t\n"
                            "2015-09-28T19:05:56Z  4  17:3:1  ZTgr4cYZTgr4cYZTgr4cYA==\t  secret.site\t\n"
                            "2015-09-28T19:05:56Z\t4\t17:3:1\t\ttabbed.site\t\r\n";
    const SiteImport::Result spectre = readOk(flat);
    QCOMPARE(spectre.skipped.size(), 3);
    QCOMPARE(spectre.skipped.at(0).site, QStringLiteral("personal.site"));
    QVERIFY(spectre.skipped.at(0).reason.contains(QLatin1String("stored password")));
    QVERIFY(spectre.skipped.at(2).reason.contains(QLatin1String("derived key")));
    QCOMPARE(spectre.recipes.size(), 3);
    QCOMPARE(spectre.recipes.at(0).login, QStringLiteral("me@x.org"));   // plain text: kept
    QCOMPARE(spectre.recipes.at(1).login, QString());                    // encrypted: left out
    QCOMPARE(spectre.recipes.at(2).identifier, QStringLiteral("tabbed.site"));  // tabs between all fields
    QCOMPARE(spectre.recipes.at(2).login, QString());

    const SiteImport::Result lessPass =
        readOk(R"([{"site": "old.example", "version": 1}, {"site": "none.example", "lowercase": false,
                   "uppercase": false, "digits": false, "symbols": false}, {"site": "defaults.example"}])");
    QCOMPARE(lessPass.skipped.size(), 2);
    QVERIFY(lessPass.skipped.at(0).reason.contains(QLatin1String("version 1")));
    QCOMPARE(lessPass.recipes.size(), 1);
    QCOMPARE(lessPass.recipes.first().line(), QStringLiteral("defaults.example|16|lesspass|aA9!|1|"));

    // The user's defaults stand in for a site's missing keys.
    const SiteImport::Result json = readOk(R"({"export": {"format": 1}, "user": {"full_name": "U", "algorithm": 2,
        "default_type": 18}, "sites": {"bare.site": {}}})");
    QCOMPARE(json.recipes.first().line(), QStringLiteral("bare.site|0|spectre|medium|1|2|password|U|"));
}

void TestSiteImport::refusedWhole_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("problem");
    const int malformed = SiteImport::Result::Malformed;
    const int foreign = SiteImport::Result::NotASiteList;
    QTest::newRow("not UTF-8") << QByteArray("[{\"site\": \"a\xff\"}]") << malformed << "not UTF-8 text (byte 13)";
    QTest::newRow("broken JSON") << QByteArray("[{\"site\": }]") << malformed << "malformed at byte";
    QTest::newRow("wrong type") << QByteArray("[{\"site\": \"a\"}, {\"length\": \"16\"}]") << malformed
                                << "profile 2: \"length\" is not a whole number";
    QTest::newRow("no user") << QByteArray("{\"export\": {\"format\": 2}, \"sites\": {}}") << malformed << "\"user\" is missing";
    QTest::newRow("format 4") << QByteArray("{\"export\": {\"format\": 4}, \"user\": {}}") << malformed << "format 4";
    QTest::newRow("open header") << QByteArray("##\n# Format: 1\n# User Name: u\n") << malformed << "not closed";
    QTest::newRow("bad site line") << QByteArray("##\n# Format: 1\n# User Name: u\n##\nnonsense\n") << malformed
                                   << "line 5: not a site line";
    QTest::newRow("bad code") << QByteArray("##\n# Format: 2\n# User Name: u\n##\nd 1 17:x:1\ts\t\n") << malformed
                              << "line 5: \"17:x:1\"";
    QTest::newRow("site rules") << QByteArray("{\"example.com\": {\"password-rules\": \"x\"}}") << foreign << "no LessPass";
    QTest::newRow("text") << QByteArray("name,url,username,password\n") << foreign << "no LessPass";
    QTest::newRow("too large") << QByteArray(16 * 1024 * 1024 + 1, ' ') << malformed << "larger than 16 MiB";
}

void TestSiteImport::refusedWhole()
{
    QFETCH(QByteArray, content);
    QFETCH(int, status);
    QFETCH(QString, problem);
    const SiteImport::Result result = SiteImport::read(content);
    QCOMPARE(int(result.status), status);
    QVERIFY2(result.problem.contains(problem), qPrintable(result.problem));
    QVERIFY(result.recipes.isEmpty());
}

QTEST_GUILESS_MAIN(TestSiteImport)
#include "TestSiteImport.moc"
