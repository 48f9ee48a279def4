#include "derivation.h"
#include "rule.h"
#include "sitelist.h"
#include "testsupport.h"

#include <KZip>

#include <QtTest>

#include <sys/stat.h>

#include <cmath>

using namespace TestSupport;

class TestSiteRules : public QObject
{
    Q_OBJECT

private slots:
    void vectors_data();
    void vectors();
    void refusals_data();
    void refusals();
    void countMatchesEveryWord();
    void lengthsAndSparseRules();
    void siteListsAndMatching();
    void sourcesInOrder();
};

void TestSiteRules::vectors_data()
{
    QTest::addColumn<QStringList>("row");
    const QList<QStringList> rows = readTsv(QStringLiteral("site-rules.tsv"));
    QCOMPARE(rows.size(), 16);
    for (const QStringList &row : rows)
        QTest::newRow(qPrintable(row.value(8))) << row;
}

// Every row through the core: the password, its entropy and the canonical text, which must read
// back as the same rule and write itself again.
void TestSiteRules::vectors()
{
    QFETCH(QStringList, row);
    Rule rule;
    QString problem;
    QVERIFY2(Rule::parse(row.value(3), &rule, &problem), qPrintable(problem));
    QVERIFY(rule.isSiteRule());
    QCOMPARE(rule.text(), row.value(7));
    Rule again;
    QVERIFY(Rule::parse(rule.text(), &again));
    QCOMPARE(again.text(), rule.text());
    QVERIFY(again.siteRule() == rule.siteRule());

    const int length = row.value(2).toInt();
    QCOMPARE(rule.entropyText(length), row.value(6));
    QCOMPARE(profileRecipe(fromHexUnits(row.value(1)), length, Scheme::Strong, rule, row.value(4).toInt())
                 .derive(fromHexUnits(row.value(0))),
             row.value(5));
}

void TestSiteRules::refusals_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("unknown property") << "minlength: 8; max-repeating: 2" << "\"max-repeating\" is no property";
    QTest::newRow("unknown class") << "required: letters" << "\"letters\" is no class";
    QTest::newRow("missing colon") << "required upper" << "\":\" is missing after \"required\" (at character 10)";
    QTest::newRow("dash not first") << "allowed: [a-z]" << "a \"-\" may stand in a class only first (at character 12)";
    QTest::newRow("bracket inside") << "allowed: []a];" << "a \"]\" may stand in a class only last";
    QTest::newRow("unclosed") << "allowed: [abc" << "not closed by \"]\" (at character 10)";
    QTest::newRow("dangling comma") << "allowed: upper,;" << "a class must follow \",\"";
    QTest::newRow("double semicolon") << "minlength: 8;; required: upper" << "a \";\" where a property name should start";
    QTest::newRow("leading semicolon") << "; minlength: 8" << "(at character 1)";
    QTest::newRow("junk after value") << "required: upper [a]" << "properties are separated by \";\"";
    QTest::newRow("negative number") << "minlength: -1" << "a whole number is expected";
    QTest::newRow("not a short rule") << "dummy: upper" << "\"dummy\" is no property";
}

void TestSiteRules::refusals()
{
    QFETCH(QString, text);
    QFETCH(QString, message);
    Rule rule;
    QString problem;
    QVERIFY(!Rule::parse(text, &rule, &problem));
    QVERIFY2(problem.contains(message), qPrintable(problem));
}

// The grouped count against every word of small alphabets, one by one.
void TestSiteRules::countMatchesEveryWord()
{
    const QStringList texts{
        QStringLiteral("allowed: [abc]; max-consecutive: 1"),
        QStringLiteral("required: [ab]; required: [bc]; allowed: [abcd]; max-consecutive: 2"),
        QStringLiteral("required: [a]; required: [b]; required: [ab]; allowed: [abcde]"),
        QStringLiteral("required: [ab], [-]; required: [c]; allowed: [d]]; max-consecutive: 3"),
    };
    for (const QString &text : texts) {
        Rule rule;
        QVERIFY2(Rule::parse(text, &rule), qPrintable(text));
        const QString alphabet = rule.alphabet();
        for (int length = 4; length <= 6; ++length) {
            qint64 words = 1, holding = 0;
            for (int i = 0; i < length; ++i)
                words *= alphabet.size();
            for (qint64 n = 0; n < words; ++n) {
                QString word;
                for (qint64 m = n, i = 0; i < length; ++i, m /= alphabet.size())
                    word += alphabet.at(int(m % alphabet.size()));
                holding += rule.holds(word) ? 1 : 0;
            }
            QCOMPARE(rule.siteRule().bits(length), std::log2(double(holding)));
        }
    }
}

void TestSiteRules::lengthsAndSparseRules()
{
    Rule rule;
    QVERIFY(Rule::parse(QStringLiteral("minlength: 10; maxlength: 12; allowed: digit"), &rule));
    QCOMPARE(rule.minimumLength(), 10);
    QCOMPARE(rule.maximumLength(), 12);
    QVERIFY(rule.lengthProblem(12).isEmpty());
    QVERIFY(rule.lengthProblem(13).contains(QLatin1String("from 10 to 12")));
    QVERIFY(Rule::parse(QStringLiteral("minlength: 40"), &rule));
    QVERIFY(rule.lengthProblem(32).contains(QLatin1String("no length")));
    // Four required characters in four places of 14: 24 words of 38416, enough. Eight in eight
    // places of all 94 characters: 8! of 94^8, far fewer than one in 2^20.
    QVERIFY(Rule::parse(QStringLiteral("required: [a]; required: [b]; required: [c]; required: [d]; allowed: digit"),
                        &rule));
    QVERIFY(rule.lengthProblem(4).isEmpty());
    QVERIFY(Rule::parse(QStringLiteral("required: [a]; required: [b]; required: [c]; required: [d]; required: [e]; "
                                       "required: [f]; required: [g]; required: [h]; allowed: ascii-printable"),
                        &rule));
    QVERIFY(rule.lengthProblem(8).contains(QLatin1String("too few passwords")));
    QVERIFY(rule.lengthProblem(7).contains(QLatin1String("no password of 7 characters")));
    QVERIFY(profileRecipe(QString(), 8, Scheme::Strong, rule).derive(QStringLiteral("p")).isNull());
}

void TestSiteRules::siteListsAndMatching()
{
    QVector<SiteList::Site> sites;
    QString problem;
    const QByteArray firefox = R"({"data": [{"Domain": "Example.com", "password-rules": "required: digit;"}]})";
    QVERIFY(SiteList::parseJson(firefox, &sites, &problem));
    QCOMPARE(sites.size(), 1);
    QCOMPARE(sites.first().domain, QStringLiteral("example.com"));
    for (const QByteArray &junk : {QByteArray("[1, 2]"), QByteArray("{\"a.com\": {}}"), QByteArray("{\"data\": [3]}"),
                                   QByteArray("{\"a.com\": {\"password-rules\": "), QByteArray("\xff\xfe")})
        QVERIFY2(!SiteList::parseJson(junk, &sites, &problem) && !problem.isEmpty(), junk.constData());

    const QList<QPair<QString, QString>> hosts{
        {QStringLiteral("  HTTPS://User@WWW.Example.COM:8443/login?next=/#top "), QStringLiteral("www.example.com")},
        {QStringLiteral("example.com."), QStringLiteral("example.com")},
        {QStringLiteral("bank"), QStringLiteral("bank")},
        {QStringLiteral("a.example/x@y"), QStringLiteral("a.example")},
    };
    for (const auto &host : hosts)
        QCOMPARE(SiteList::hostOf(host.first), host.second);

    // The test list (tests/data/sites), read as a user's own list.
    const SiteList &list = SiteList::installed();
    QVERIFY(list.source().endsWith(QLatin1String("tests/data/sites/quorvane/password-rules.json")));
    const QList<QPair<QString, QString>> matches{
        {QStringLiteral("https://login.example.com/"), QStringLiteral("example.com")},
        {QStringLiteral("accounts.example.com"), QStringLiteral("accounts.example.com")},   // the longest wins
        {QStringLiteral("www.accounts.example.com"), QStringLiteral("accounts.example.com")},
        {QStringLiteral("bank.example"), QStringLiteral("bank.example")},
        {QStringLiteral("www.bank.example"), QString()},     // its own domain only
        {QStringLiteral("notexample.com"), QString()},
        {QStringLiteral("example.com.evil"), QString()},
    };
    for (const auto &match : matches)
        QCOMPARE(list.match(match.first).domain, match.second);
}

// The first readable source wins; a malformed one is skipped with a trace line, and Firefox's
// archive is read through its zip entry.
void TestSiteRules::sourcesInOrder()
{
    QTemporaryDir dir;
    const QString broken = dir.filePath(QStringLiteral("broken.json"));
    writeFile(broken, "{\"example.com\": ");
    const QString archive = dir.filePath(QStringLiteral("omni.ja"));
    {
        KZip zip(archive);
        QVERIFY(zip.open(QIODevice::WriteOnly));
        QVERIFY(zip.writeFile(QStringLiteral("defaults/settings/main/password-rules.json"),
                              R"({"data": [{"Domain": "zip.example", "password-rules": "allowed: [ab];"}]})"));
    }
    const QString notZip = dir.filePath(QStringLiteral("other.ja"));
    writeFile(notZip, "PK junk");
    // An entry that says it holds 1000 bytes and unpacks to 20 MiB is refused once it passes the
    // limit, not unpacked whole; a pipe in a list's place is refused without waiting for a writer.
    const QString bomb = dir.filePath(QStringLiteral("bomb.ja"));
    {
        KZip zip(bomb);
        QVERIFY(zip.open(QIODevice::WriteOnly));
        QVERIFY(zip.writeFile(QStringLiteral("defaults/settings/main/password-rules.json"), QByteArray(20 << 20, ' ')));
    }
    QByteArray bytes = fileBytes(bomb);
    const QByteArray declared("\xE8\x03\x00\x00", 4);   // 1000
    bytes.replace(bytes.indexOf("PK\x03\x04") + 22, 4, declared);
    bytes.replace(bytes.indexOf("PK\x01\x02") + 24, 4, declared);
    writeFile(bomb, bytes);
    const QString pipe = dir.filePath(QStringLiteral("pipe.json"));
    QVERIFY(mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
    TraceCapture trace;
    const SiteList list = SiteList::firstReadable(
        {dir.filePath(QStringLiteral("missing.json")), broken, notZip, bomb, pipe, archive});
    QCOMPARE(list.source(), archive);
    QCOMPARE(list.match(QStringLiteral("zip.example")).rule, QStringLiteral("allowed: [ab];"));
    const QStringList skipped = trace.messages().filter(QStringLiteral("site rules: skipped"));
    QCOMPARE(skipped.size(), 4);
    QVERIFY2(skipped.at(2).contains(QLatin1String("larger than 16 MiB")), qPrintable(skipped.at(2)));
    QVERIFY2(skipped.at(3).contains(QLatin1String("not a plain file")), qPrintable(skipped.at(3)));
}

QTEST_GUILESS_MAIN(TestSiteRules)
#include "TestSiteRules.moc"
