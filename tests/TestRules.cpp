#include "derivation.h"
#include "recipe.h"
#include "rule.h"
#include "testsupport.h"
#include "wordlist.h"

#include <QCryptographicHash>

#include <QHash>
#include <QRandomGenerator>
#include <QtTest>

using namespace TestSupport;

class TestRules : public QObject
{
    Q_OBJECT

private slots:
    void vectors_data();
    void vectors();
    void ruleTexts();
    void entropyFigures();
    void everyClassEvenInShortWords();
    void allowedWordsAreEquallyLikely();
    void counterRange();
    void passphrases();
};

void TestRules::vectors_data()
{
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("rule");
    QTest::addColumn<int>("counter");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("entropy");
    const QList<QStringList> rows = readTsv(QStringLiteral("strong-rules.tsv"));
    QCOMPARE(rows.size(), 20);
    for (const QStringList &row : rows)
        QTest::newRow(qPrintable(row.value(7))) << fromHexUnits(row.value(0)) << fromHexUnits(row.value(1))
                                                << row.value(2).toInt() << row.value(3) << row.value(4).toInt()
                                                << row.value(5) << row.value(6);
}

void TestRules::vectors()
{
    QFETCH(QString, phrase);
    QFETCH(QString, identifier);
    QFETCH(int, length);
    QFETCH(QString, rule);
    QFETCH(int, counter);
    QFETCH(QString, password);
    QFETCH(QString, entropy);
    Rule parsed;
    QVERIFY(Rule::parse(rule, &parsed));
    QCOMPARE(parsed.text(), rule);
    QCOMPARE(Derivation::strong(phrase, identifier, length, parsed, counter), password);
    Recipe recipe;
    recipe.identifier = identifier;
    recipe.length = length;
    recipe.rule = parsed;
    recipe.counter = quint32(counter);
    QCOMPARE(recipe.derive(phrase), password);
    QCOMPARE(recipe.entropyText(), entropy);
    QCOMPARE(parsed.entropyText(length), entropy);
    QVERIFY(parsed.holds(password));
    if (parsed.isBase64() && counter == 1)
        QCOMPARE(Derivation::strong(phrase, identifier, length), password);   // today's password
}

void TestRules::ruleTexts()
{
    const QStringList rules{"base64", "a", "A", "9", "!", "aA9!", "aA9", "a9", "A!", "9!:*", "!:|"};
    for (const QString &text : rules.mid(0, 10)) {
        Rule rule;
        QVERIFY2(Rule::parse(text, &rule), qPrintable(text));
    }
    Rule all;
    QVERIFY(Rule::parse(QStringLiteral("!"), &all));
    QCOMPARE(all.alphabet(), QStringLiteral("!\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~"));
    QVERIFY(Rule::parse(QStringLiteral("aA9!:!@#"), &all));
    QCOMPARE(all.alphabet(), QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789!@#"));
    Rule own;
    QVERIFY(Rule::parse(QStringLiteral("9!:#@!"), &own));
    QCOMPARE(own.alphabet(), QStringLiteral("0123456789#@!"));   // own symbols in the order written
    QString longest;
    for (const QChar c : Rule::allSymbols()) {
        if (c != QLatin1Char('|'))
            longest += c;
    }
    QVERIFY(Rule::parse(QStringLiteral("!:") + longest, &own));

    // Not rules, each with a reason.
    const QStringList bad{"", "Base64", "base", "Aa", "aa", "9a", "!a", "aA9!!", "b", "aA9!:", "aA9!:aa", "!:ab",
                          "!:##", "!:|", "a:#", "!:\u00e9", "aA9! ", " a", ":!"};
    for (const QString &text : bad) {
        Rule rule;
        QString problem;
        QVERIFY2(!Rule::parse(text, &rule, &problem), qPrintable(text));
        QVERIFY(!problem.isEmpty());
        QVERIFY(rule.isBase64());   // left as it was
    }
    QString problem;
    Rule rule;
    Rule::parse(QStringLiteral("!:##"), &rule, &problem);
    QVERIFY(problem.contains(QLatin1String("twice")));
    Rule::parse(QStringLiteral("!:a"), &rule, &problem);
    QVERIFY(problem.contains(QLatin1String("not one of the symbols")));

    QCOMPARE(Rule::compose(true, true, true, true, QString()), QStringLiteral("aA9!"));
    QCOMPARE(Rule::compose(false, false, true, true, QStringLiteral("#@")), QStringLiteral("9!:#@"));
    QCOMPARE(Rule::compose(true, false, false, false, QStringLiteral("#")), QStringLiteral("a"));
    QCOMPARE(Rule::compose(false, false, false, false, QString()), QString());
}

void TestRules::entropyFigures()
{
    auto entropy = [](const char *text, int length) {
        Rule rule;
        if (!Rule::parse(QString::fromLatin1(text), &rule))
            qFatal("not a rule: %s", text);
        return rule.entropyText(length);
    };
    QCOMPARE(entropy("aA9!", 16), QStringLiteral("104.6"));
    QCOMPARE(entropy("9", 6), QStringLiteral("19.9"));
    QCOMPARE(entropy("base64", 16), QStringLiteral("96"));
    QCOMPARE(entropy("a", 4), QStringLiteral("18.8"));   // 26^4, one class: nothing excluded
    // Two classes of one character each at length 4: 2^4 words less the two of one class.
    QCOMPARE(entropy("9!:#", 4), QString::number(std::log2(double(11 * 11 * 11 * 11 - 10 * 10 * 10 * 10 - 1)), 'f', 1));
}

void TestRules::everyClassEvenInShortWords()
{
    Rule rule;
    QVERIFY(Rule::parse(QStringLiteral("aA9!"), &rule));
    QRandomGenerator random(7);
    for (int i = 0; i < 2000; ++i) {
        unsigned char key[48];
        for (unsigned char &b : key)
            b = uchar(random.bounded(256));
        const QString word = Derivation::drawWithRule(key, rule, 4);
        QCOMPARE(word.size(), 4);
        QVERIFY2(rule.holds(word), qPrintable(word));
        for (const QChar c : word)
            QVERIFY(rule.alphabet().contains(c));
    }
}

void TestRules::allowedWordsAreEquallyLikely()
{
    // "a9!:#" at length 3: 37^3 words less those missing a class = 26*10*1*6 = 1560 allowed. Over
    // many keys each must come about equally often: a chi-square far below what a skew (such as
    // putting one character of each class in fixed places) gives.
    Rule rule;
    QVERIFY(Rule::parse(QStringLiteral("a9!:#"), &rule));
    const int allowed = 1560;
    const int draws = allowed * 40;
    QHash<QString, int> seen;
    QRandomGenerator random(11);
    for (int i = 0; i < draws; ++i) {
        unsigned char key[48];
        for (unsigned char &b : key)
            b = uchar(random.bounded(256));
        ++seen[Derivation::drawWithRule(key, rule, 3)];
    }
    QCOMPARE(seen.size(), allowed);
    double chiSquare = 0;
    const double expected = double(draws) / allowed;
    for (const int count : qAsConst(seen))
        chiSquare += (count - expected) * (count - expected) / expected;
    // 1559 degrees of freedom: mean 1559, standard deviation about 56.
    QVERIFY2(chiSquare < 1559 + 6 * 56, qPrintable(QString::number(chiSquare)));
}

void TestRules::counterRange()
{
    int counter = 0;
    QVERIFY(Counter::parse(QStringLiteral("1"), &counter));
    QCOMPARE(counter, 1);
    QVERIFY(Counter::parse(QStringLiteral("2147483647"), &counter));
    QCOMPARE(counter, 2147483647);
    for (const char *bad : {"0", "-1", "+2", "2147483648", "99999999999", "", " 2", "2 ", "1.0", "x"})
        QVERIFY2(!Counter::parse(QString::fromLatin1(bad), &counter), bad);
    Rule base64;
    QVERIFY(Derivation::strong(QStringLiteral("hello"), QString(), 8, base64, 0).isNull());
    // A strong recipe's version stops where the counter does; the compatible scheme has none to read.
    Recipe recipe;
    recipe.length = 8;
    recipe.counter = quint32(Counter::maximum) + 1;
    QVERIFY(!recipe.problem().isEmpty());
    QVERIFY(recipe.derive(QStringLiteral("hello")).isNull());
    recipe.scheme = Scheme::Compatible;
    QCOMPARE(recipe.derive(QStringLiteral("hello")), Derivation::compatible(QStringLiteral("hello"), QString(), 8));
}

void TestRules::passphrases()
{
    // The word list is the EFF's, byte for byte: a changed list changes passphrases in use.
    QCOMPARE(QCryptographicHash::hash(WordList::text(), QCryptographicHash::Sha256).toHex(),
             QByteArray("6d557f0693958fb5e650b68b5bee585eb82cf4da32965505c789e924743bc522"));
    QCOMPARE(WordList::words().size(), 7776);
    // The rule texts: options in their order, each once; anything else starting "words" refused.
    for (const char *text : {"words", "words:space", "words:caps", "words:digit", "words:caps,digit", "words:space,caps,digit"}) {
        Rule rule;
        QVERIFY2(Rule::parse(QString::fromLatin1(text), &rule) && rule.isWords() && rule.text() == QLatin1String(text), text);
        QVERIFY(rule.lengthProblem(4).isEmpty() && rule.lengthProblem(12).isEmpty());
        QVERIFY(!rule.lengthProblem(3).isEmpty() && rule.lengthProblem(13).contains(QLatin1String("4 to 12 words")));
    }
    for (const char *text : {"words:", "words:digit,caps", "words:caps,caps", "words:Caps", "wordsx", "words:space,", "words: caps"}) {
        Rule rule;
        QString problem;
        QVERIFY2(!Rule::parse(QString::fromLatin1(text), &rule, &problem), text);
        QVERIFY2(problem.contains(QLatin1String("space, caps and digit")), qPrintable(problem));
    }
    // A line keeps the rule as written, and reads back; the length counts words.
    Recipe recipe;
    QVERIFY(Recipe::fromLine(QStringLiteral("bank|6|strong|words:caps,digit|2"), &recipe));
    QVERIFY(recipe.rule.isWords() && recipe.rule.wordsWithDigit() && recipe.length == 6 && recipe.counter == 2);
    QCOMPARE(recipe.line(), QStringLiteral("bank|6|strong|words:caps,digit|2"));
    QVERIFY(!Recipe::fromLine(QStringLiteral("bank|13|strong|words|1"), &recipe));
    Rule six;
    QVERIFY(Rule::parse(QStringLiteral("words"), &six));
    QCOMPARE(six.entropyText(6), QStringLiteral("77.5"));
}

QTEST_GUILESS_MAIN(TestRules)
#include "TestRules.moc"
