#include "lesspass.h"
#include "phrase.h"
#include "profilefile.h"
#include "recipe.h"
#include "spectre.h"
#include "testsupport.h"

#include <QtTest>

using namespace TestSupport;

// One recipe for every scheme: the vectors of all four through Recipe, the profile lines of
// every scheme and field count read back and written again byte for byte, and what each scheme
// refuses.
class TestRecipe : public QObject
{
    Q_OBJECT

private slots:
    void vectors();
    void linesWriteBackByteForByte();
    void linesThatAreNoProfile();
    void problems();
    void phraseEachSchemeReceives();
    void phraseMarks();
    void nextVersions();
};

void TestRecipe::vectors()
{
    const QList<Vector> all = TestSupport::vectors();
    QCOMPARE(all.size(), 55 + 11 + 20 + 16 + 8 + 12 + 83);
    for (const Vector &v : all) {
        const QString where = v.file + QLatin1Char(' ') + v.password;
        QVERIFY2(v.recipe.problem().isEmpty(), qPrintable(where + ": " + v.recipe.problem()));
        QVERIFY2(v.recipe.derive(v.phrase) == v.password, qPrintable(where));
        if (!v.entropy.isEmpty())
            QCOMPARE(v.recipe.entropyText(), v.entropy);
        // A profile line keeps every input of the password, and reads back as the same recipe
        // and the same bytes.
        if (!v.recipe.storableProblem().isEmpty() || !ProfileFile::isValidIdentifier(v.recipe.identifier))
            continue;
        Recipe back;
        QVERIFY2(Recipe::fromLine(v.recipe.line(), &back), qPrintable(v.recipe.line()));
        QVERIFY2(back == v.recipe, qPrintable(v.recipe.line()));
        QCOMPARE(back.line(), v.recipe.line());
    }
}

void TestRecipe::linesWriteBackByteForByte()
{
    // Every shape of line the program has written, each scheme and field count.
    const QList<QPair<QString, Scheme>> lines{
        {QStringLiteral("bank|16"), Scheme::Compatible},
        {QStringLiteral("caf\u00e9|4"), Scheme::Compatible},
        {QStringLiteral("bank|16|strong"), Scheme::Strong},
        {QStringLiteral("bank|16|strong|aA9!:!@#|2"), Scheme::Strong},
        {QStringLiteral("bank|16|strong|base64|3"), Scheme::Strong},
        {QStringLiteral("pin|6|strong|9|1"), Scheme::Strong},
        {QStringLiteral("shop|20|strong|required: lower; allowed: lower, [%25%7C]; maxlength: 20;|1"), Scheme::Strong},
        {QStringLiteral("example.org|16|lesspass|aA9!|1|contact@example.org"), Scheme::LessPass},
        {QStringLiteral("example.org|35|lesspass|9|4294967295|"), Scheme::LessPass},
        {QStringLiteral("site|0|spectre|long|1|3|password|Robert Lee Mitchell|"), Scheme::Spectre},
        {QStringLiteral("bank|0|spectre|phrase|2|1|answer|Robert Lee Mitchell|pet"), Scheme::Spectre},
        {QStringLiteral("site|0|spectre|name|1|3|login|User Name||kept@example.org"), Scheme::Spectre},
    };
    for (const auto &row : lines) {
        Recipe recipe;
        QVERIFY2(Recipe::fromLine(row.first, &recipe), qPrintable(row.first));
        QCOMPARE(recipe.scheme, row.second);
        QCOMPARE(recipe.identifier, row.first.section(QLatin1Char('|'), 0, 0));
        QCOMPARE(recipe.line(), row.first);
        QVERIFY(recipe.problem().isEmpty());
        QVERIFY(recipe.storableProblem().isEmpty());
    }
    // A site rule's "|" and "%" stay escaped in the line and whole in the rule.
    Recipe shop;
    Recipe::fromLine(lines.at(6).first, &shop);
    QVERIFY(shop.rule.text().contains(QLatin1String("[%|]")));
    // The original program's lines are read as it read them: up to the first "|", then two
    // characters of length; a three-field compatible line is read, though never written so.
    Recipe old;
    QVERIFY(Recipe::fromLine(QStringLiteral("bank|99"), &old));
    QCOMPARE(old.scheme, Scheme::Compatible);
    QCOMPARE(old.length, 99);
    // A third field that names no scheme: no profile, whatever the field count.
    QVERIFY(!Recipe::fromLine(QStringLiteral("a|16|x|y"), &old));
    QCOMPARE(old.identifier, QStringLiteral("a"));
    QVERIFY(Recipe::fromLine(QStringLiteral("bank|16|compatible"), &old));
    QCOMPARE(old.line(), QStringLiteral("bank|16"));
    // A stored Spectre login name is kept but gives the same password.
    Recipe kept, plain;
    Recipe::fromLine(lines.at(11).first, &kept);
    Recipe::fromLine(QStringLiteral("site|0|spectre|name|1|3|login|User Name|"), &plain);
    QVERIFY(kept != plain);
    QVERIFY(kept.derivesSameAs(plain));
}

void TestRecipe::linesThatAreNoProfile()
{
    // Lines that name a scheme but are none of its lines, and unknown schemes, are unreadable;
    // their identifier is still known.
    for (const char *line : {"s|16|lesspass|aA9!|0|", "s|16|lesspass|aA9!|1", "s|3|lesspass|aA9!|1|x",
                             "s|0|spectre|long|1|3|password||", "s|0|spectre|long|1|5|password|n|",
                             "s|0|spectre|long|x|3|password|n|", "s|0|spectre|long|1|3|pass|n|", "s|16|lesspass",
                             "s|16|Strong", "s|16|weak", "s|16|strong|Aa|2", "s|16|strong|aA9|0",
                             "s|40|strong|aA9|2", "s|16|strong|aA9|2147483648", "s|16|compatible|base64|1",
                             // a line that names a scheme is never read as the original's "s|16"
                             "s|16|lesspass|aA9!", "s|16|strong|aA9!", "s|16|strong|aA9!|1|x", "s|16|spectre|long",
                             // a third field that names no scheme exactly, whatever the field count
                             "s|16|LessPass|aA9!|1|me", "s|16|Strong|aA9!", "s|16|x|y", "s|16|||||||"}) {
        Recipe recipe;
        QVERIFY2(!Recipe::fromLine(QString::fromLatin1(line), &recipe), line);
        QCOMPARE(recipe.identifier, QStringLiteral("s"));
        QVERIFY2(!Recipe::lineProblem(QString::fromLatin1(line)).isEmpty(), line);
    }
    // Why, in words: the scheme's own problem where its reading finds one, else the form of its
    // lines, else that no scheme has that name.
    const QList<QPair<QString, QString>> why{
        {"big|16|lesspass|aA9!", "names the lesspass scheme but is none of its lines, which read SITE|LENGTH|lesspass|"},
        {"st2|16|strong|aA9!|1|x", "names the strong scheme but is none of its lines"},
        {"s|3|lesspass|aA9!|1|x", "5 to 35 characters"},
        {"s|0|spectre|long|1|3|password||", "user name"},
        {"s|16|Strong", "\"Strong\", names no scheme"},
        {"bank|2", "length must be a whole number from 4 to 32"},
        {"bank|16", ""},
        {"s|16|strong|aA9!|2", ""},
    };
    for (const auto &row : why) {
        const QString problem = Recipe::lineProblem(row.first);
        QVERIFY2(row.second.isEmpty() ? problem.isEmpty() : problem.contains(row.second), qPrintable(problem));
    }
}

void TestRecipe::problems()
{
    // What each scheme refuses, in words that name the field.
    const QList<QPair<std::function<void(Recipe &)>, QString>> refused{
        {[](Recipe &r) { r.length = 3; }, QStringLiteral("length")},
        {[](Recipe &r) { r.length = 33; }, QStringLiteral("length")},
        {[](Recipe &r) { Rule::parse(QStringLiteral("minlength: 40"), &r.rule); }, QStringLiteral("length")},
        {[](Recipe &r) { r.counter = 0; }, QStringLiteral("counter")},
        {[](Recipe &r) { r.scheme = Scheme::LessPass; r.classes = QStringLiteral("Aa"); }, QStringLiteral("a, A, 9")},
        {[](Recipe &r) { r.scheme = Scheme::LessPass; r.classes.clear(); }, QStringLiteral("a, A, 9")},
        {[](Recipe &r) { r.scheme = Scheme::LessPass; r.length = 36; }, QStringLiteral("5 to 35")},
        {[](Recipe &r) { r.scheme = Scheme::Spectre; }, QStringLiteral("user name")},
        {[](Recipe &r) { r.scheme = Scheme::Spectre; r.userName = "n"; r.templateName = "longer"; }, QStringLiteral("template")},
        {[](Recipe &r) { r.scheme = Scheme::Spectre; r.userName = "n"; r.algorithm = 4; }, QStringLiteral("algorithm")},
        {[](Recipe &r) { r.scheme = Scheme::Spectre; r.userName = "n"; r.context = "pet"; }, QStringLiteral("keyword")},
    };
    for (const auto &row : refused) {
        Recipe r = Recipe::defaults(Scheme::Strong);
        row.first(r);
        QVERIFY2(r.problem().contains(row.second), qPrintable(r.problem()));
        QVERIFY(r.derive(QStringLiteral("x")).isNull());
    }
    Recipe spectre = Recipe::defaults(Scheme::Spectre);
    spectre.userName = QStringLiteral("n");
    spectre.counter = Spectre::maximumCounter;
    QVERIFY(spectre.problem().isEmpty());

    // A field a line cannot give back is refused for a profile, never split.
    spectre.userName = QStringLiteral("a|b");
    QVERIFY(spectre.storableProblem().contains(QLatin1String("user name")));
    Recipe lesspass = Recipe::defaults(Scheme::LessPass);
    lesspass.login = QStringLiteral("me\nyou");
    QVERIFY(lesspass.storableProblem().contains(QLatin1String("login")));
    // Only the original program's schemes refuse a "|" in the identifier even to derive.
    for (Scheme scheme : Schemes::all()) {
        Recipe r = Recipe::defaults(scheme);
        r.identifier = QStringLiteral("a|b");
        QCOMPARE(r.identifierRefused(), scheme == Scheme::Strong || scheme == Scheme::Compatible);
    }
}

void TestRecipe::phraseEachSchemeReceives()
{
    // The original program read its phrase box as plain text: the compatible scheme gets what
    // that gave; every other scheme the phrase exactly as typed.
    const QList<QPair<QString, QString>> typed{
        {QStringLiteral("pass\u00a0word"), QStringLiteral("pass word")},
        {QStringLiteral("line\u2028break"), QStringLiteral("line\nbreak")},
        {QStringLiteral("para\u2029graph"), QStringLiteral("para\ngraph")},
        {QStringLiteral("cr\r\nlf"), QStringLiteral("cr\r\nlf")},
        {QStringLiteral("plain\nbreak"), QStringLiteral("plain\nbreak")},
    };
    Recipe spectre = Recipe::defaults(Scheme::Spectre);
    spectre.userName = QStringLiteral("n");
    const QList<Recipe> recipes{Recipe::defaults(Scheme::Compatible), Recipe::defaults(Scheme::LessPass), spectre};
    for (const auto &row : typed) {
        for (Scheme scheme : Schemes::all())
            QCOMPARE(Phrase::forScheme(scheme, row.first), scheme == Scheme::Compatible ? row.second : row.first);
        for (const Recipe &r : recipes) {
            const bool converted = r.scheme == Scheme::Compatible;
            QCOMPARE(r.derive(row.first) == r.derive(row.second), converted || row.first == row.second);
        }
    }
}

void TestRecipe::phraseMarks()
{
    // Every scheme's line on a later phrase reads back as the same recipe, on that phrase; the
    // first phrase is the line as it is.
    const QStringList lines{"bank|16", "bank|16|strong", "bank|16|strong|aA9!|2", "site|16|lesspass|aA9!|1|",
                            "site|16|lesspass|aA9|3|me", "site|0|spectre|long|1|3|password|User|",
                            "site|0|spectre|name|1|3|login|User||kept",
                            "shop|12|strong|allowed: [%25%7C]; maxlength: 12;|1"};
    for (const QString &line : lines) {
        Recipe recipe;
        QVERIFY2(Recipe::fromLine(line, &recipe), qPrintable(line));
        QCOMPARE(recipe.lineOnPhrase(1), line);
        QCOMPARE(Recipe::phraseOfLine(line), 1);
        for (int phrase : {2, 3, 17}) {
            const QString marked = recipe.lineOnPhrase(phrase);
            QVERIFY(marked != line);
            Recipe back;
            QVERIFY2(Recipe::fromLine(marked, &back), qPrintable(marked));
            QVERIFY(back == recipe);
            QCOMPARE(back.line(), line);
            QCOMPARE(Recipe::phraseOfLine(marked), phrase);
            QVERIFY(Recipe::lineProblem(marked).isEmpty());
        }
    }
    // A last field that looks like a mark but belongs to the line keeps its meaning: a login or
    // a Spectre login name of "#2" written before marks existed.
    const QList<QPair<QString, QString>> kept{{"site|16|lesspass|aA9!|1|#2", "#2"},
                                              {"site|0|spectre|long|1|3|password|User||#2", "#2"}};
    for (const auto &[line, login] : kept) {
        Recipe recipe;
        QVERIFY(Recipe::fromLine(line, &recipe));
        QCOMPARE(recipe.login, login);
        QCOMPARE(Recipe::phraseOfLine(line), 1);
        QCOMPARE(recipe.line(), line);
    }
    // What is no mark: the first phrase written out, a leading zero, no number, a mark on no line.
    for (const char *line : {"bank|16|#1", "bank|16|#02", "bank|16|#", "bank|16|#x", "bank|16|strong|#-2", "x|#2|#3"})
        QCOMPARE(Recipe::phraseOfLine(QString::fromLatin1(line)), 1);
}

void TestRecipe::nextVersions()
{
    // Each scheme counts its version up by one; the compatible scheme's next password is a strong
    // one of the default length; none past the largest version.
    const QList<QPair<QString, QString>> next{
        {"bank|16|strong", "bank|16|strong|base64|2"},
        {"bank|20|strong|aA9!|2", "bank|20|strong|aA9!|3"},
        {"bank|8", "bank|16|strong"},
        {"bank|32", "bank|16|strong"},
        {"site|16|lesspass|aA9!|1|me", "site|16|lesspass|aA9!|2|me"},
        {"site|0|spectre|long|1|3|password|User|", "site|0|spectre|long|2|3|password|User|"},
    };
    for (const auto &[line, expected] : next) {
        Recipe recipe;
        Recipe following;
        QString problem;
        QVERIFY(Recipe::fromLine(line, &recipe));
        QVERIFY2(recipe.nextVersion(&following, &problem), qPrintable(problem));
        QCOMPARE(following.line(), expected);
        QVERIFY(following.derive(QStringLiteral("hello")) != recipe.derive(QStringLiteral("hello")));
    }
    Recipe last;
    Recipe none;
    QString problem;
    QVERIFY(Recipe::fromLine(QStringLiteral("bank|16|strong|aA9!|2147483647"), &last));
    QVERIFY(!last.nextVersion(&none, &problem));
    QVERIFY(problem.contains(QLatin1String("last version")));
    QCOMPARE(last.versionText(), QStringLiteral("version 2147483647"));
}

QTEST_GUILESS_MAIN(TestRecipe)
#include "TestRecipe.moc"
