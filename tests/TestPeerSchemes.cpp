#include "lesspass.h"
#include "peerschemes.h"
#include "profilefile.h"
#include "spectre.h"
#include "testsupport.h"

#include <QtTest>

using namespace TestSupport;

// LessPass's and Spectre's passwords, bit for bit, over both projects' own test vectors.
class TestPeerSchemes : public QObject
{
    Q_OBJECT

public:
    // Every vector row as a recipe, with its phrase and password.
    struct Row
    {
        PeerRecipe recipe;
        QString phrase;
        QString password;
    };
    static QList<Row> rows();

private slots:
    void vectors();
    void entropy();
    void problemsAndLines();
};

QList<TestPeerSchemes::Row> TestPeerSchemes::rows()
{
    QList<Row> all;
    for (const QStringList &f : readTsv(QStringLiteral("lesspass-passwords.tsv"))) {
        Row row;
        row.recipe.scheme = Scheme::LessPass;
        row.recipe.site = f.value(0);
        row.recipe.login = f.value(1);
        row.phrase = f.value(2);
        row.recipe.classes = f.value(3);
        row.recipe.length = f.value(4).toInt();
        row.recipe.counter = f.value(5).toUInt();
        row.password = f.value(6);
        all << row;
    }
    for (const QStringList &f : readTsv(QStringLiteral("spectre-passwords.tsv"))) {
        Row row;
        row.recipe.scheme = Scheme::Spectre;
        row.recipe.algorithm = f.value(0).toInt();
        row.recipe.userName = f.value(1);
        row.phrase = f.value(2);
        row.recipe.site = f.value(3);
        row.recipe.templateName = f.value(4);
        row.recipe.counter = f.value(5).toUInt();
        if (!Spectre::purposeFromName(f.value(6), &row.recipe.purpose))
            qFatal("purpose %s", qPrintable(f.value(6)));
        row.recipe.context = f.value(7);
        row.password = f.value(8);
        all << row;
    }
    return all;
}

void TestPeerSchemes::vectors()
{
    const QList<Row> all = rows();
    QCOMPARE(all.size(), 12 + 83);
    for (const Row &row : all) {
        QVERIFY2(PeerSchemes::problem(row.recipe).isEmpty(), qPrintable(PeerSchemes::problem(row.recipe)));
        QCOMPARE(PeerSchemes::derive(row.recipe, row.phrase), row.password);
        // The profile line keeps every field the password needs.
        PeerRecipe back;
        QVERIFY(PeerSchemes::fromFields(PeerSchemes::line(row.recipe).split(QLatin1Char('|')), &back));
        QVERIFY(back == row.recipe);
    }
}

void TestPeerSchemes::entropy()
{
    // Counted by hand: 94^16 words less those that miss a class.
    QCOMPARE(LessPass::entropyText(QStringLiteral("aA9!"), 16), QStringLiteral("104.6"));
    QCOMPARE(LessPass::entropyText(QStringLiteral("9"), 6), QStringLiteral("19.9"));
    QCOMPARE(LessPass::entropyText(QStringLiteral("a"), 5), QString::number(5 * std::log2(26.0), 'f', 1));
    // pin: 10^4; short: 21*5*21*10; long: 21 templates of its kind.
    QCOMPARE(Spectre::entropyText(QStringLiteral("pin")), QStringLiteral("13.3"));
    QCOMPARE(Spectre::entropyText(QStringLiteral("short")), QString::number(std::log2(21.0 * 5 * 21 * 10), 'f', 1));
}

void TestPeerSchemes::problemsAndLines()
{
    PeerRecipe lesspass;
    lesspass.site = QStringLiteral("example.org");
    QVERIFY(PeerSchemes::problem(lesspass).isEmpty());
    for (const char *classes : {"", "Aa", "aa", "x", "aA9!!"}) {
        PeerRecipe r = lesspass;
        r.classes = QString::fromLatin1(classes);
        QVERIFY2(!PeerSchemes::problem(r).isEmpty(), classes);
        QVERIFY(PeerSchemes::derive(r, QStringLiteral("x")).isNull());
    }
    for (int length : {4, 36}) {
        PeerRecipe r = lesspass;
        r.length = length;
        QVERIFY(!PeerSchemes::problem(r).isEmpty());
    }
    PeerRecipe spectre;
    spectre.scheme = Scheme::Spectre;
    QVERIFY(PeerSchemes::problem(spectre).contains(QLatin1String("user name")));
    spectre.userName = QStringLiteral("Robert Lee Mitchell");
    spectre.counter = Spectre::maximumCounter;
    QVERIFY(PeerSchemes::problem(spectre).isEmpty());
    for (auto change : QList<std::function<void(PeerRecipe &)>>{
             [](PeerRecipe &r) { r.templateName = QStringLiteral("longer"); },
             [](PeerRecipe &r) { r.algorithm = 4; },
             [](PeerRecipe &r) { r.counter = 0; },
             [](PeerRecipe &r) { r.context = QStringLiteral("keyword"); },   // only for an answer
         }) {
        PeerRecipe r = spectre;
        change(r);
        QVERIFY(!PeerSchemes::problem(r).isEmpty());
    }

    // A "|" or a line break in a text field is refused for a profile line, never split.
    spectre.userName = QStringLiteral("a|b");
    QVERIFY(ProfileFile::storableProblem(spectre).contains(QLatin1String("user name")));
    lesspass.login = QStringLiteral("me\nyou");
    QVERIFY(ProfileFile::storableProblem(lesspass).contains(QLatin1String("login")));
    // Lines that only look like ours are not read.
    PeerRecipe r;
    for (const char *line : {"s|16|lesspass|aA9!|0|", "s|16|lesspass|aA9!|1", "s|3|lesspass|aA9!|1|x",
                             "s|0|spectre|long|1|3|password||", "s|0|spectre|long|1|5|password|n|",
                             "s|0|spectre|long|x|3|password|n|", "s|0|spectre|long|1|3|pass|n|"})
        QVERIFY2(!PeerSchemes::fromFields(QString::fromLatin1(line).split(QLatin1Char('|')), &r), line);
}

QTEST_GUILESS_MAIN(TestPeerSchemes)
#include "TestPeerSchemes.moc"
