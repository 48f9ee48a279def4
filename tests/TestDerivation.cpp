#include "derivation.h"
#include "recipe.h"
#include "testsupport.h"

#include <QRegularExpression>
#include <QSet>
#include <QtTest>

using namespace TestSupport;

class TestDerivation : public QObject
{
    Q_OBJECT

private slots:
    void compatibleVectors_data();
    void compatibleVectors();
    void strongVectors_data();
    void strongVectors();
    void prefixAndAlphabet();
    void inputsThatMatter();
    void schemesDiffer();
    void entropyAndNames();
    void invalidLengthDerivesNothing();

private:
    void addVectorRows(const QString &file, int expectedRows);
};

void TestDerivation::addVectorRows(const QString &file, int expectedRows)
{
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<int>("length");
    QTest::addColumn<QString>("password");
    const QList<QStringList> rows = readTsv(file);
    QCOMPARE(rows.size(), expectedRows);
    int n = 0;
    for (const QStringList &row : rows)
        QTest::addRow("%d %s", ++n, qPrintable(row.value(4))) << fromHexUnits(row.value(0)) << fromHexUnits(row.value(1))
                                                             << row.value(2).toInt() << row.value(3);
}

void TestDerivation::compatibleVectors_data()
{
    addVectorRows(QStringLiteral("compatible-passwords.tsv"), 55);
}

void TestDerivation::compatibleVectors()
{
    QFETCH(QString, phrase);
    QFETCH(QString, identifier);
    QFETCH(int, length);
    QFETCH(QString, password);
    QCOMPARE(Derivation::compatible(phrase, identifier, length), password);
    Recipe recipe = Recipe::defaults(Scheme::Compatible);
    recipe.identifier = identifier;
    recipe.length = length;
    QCOMPARE(recipe.derive(phrase), password);
}

void TestDerivation::strongVectors_data()
{
    addVectorRows(QStringLiteral("strong-passwords.tsv"), 11);
}

void TestDerivation::strongVectors()
{
    QFETCH(QString, phrase);
    QFETCH(QString, identifier);
    QFETCH(int, length);
    QFETCH(QString, password);
    QCOMPARE(Derivation::strong(phrase, identifier, length), password);
}

void TestDerivation::prefixAndAlphabet()
{
    const QRegularExpression alphabet(QStringLiteral("^[A-Za-z0-9+/]*$"));
    for (Scheme scheme : {Scheme::Compatible, Scheme::Strong}) {
        Recipe recipe = Recipe::defaults(scheme);
        recipe.identifier = QStringLiteral("id");
        recipe.length = 32;
        const QString longest = recipe.derive(QStringLiteral("a phrase"));
        QCOMPARE(longest.size(), 32);
        QVERIFY(alphabet.match(longest).hasMatch());
        for (int length : {4, 5, 17, 31}) {
            recipe.length = length;
            QCOMPARE(recipe.derive(QStringLiteral("a phrase")), longest.left(length));
        }
    }
}

void TestDerivation::inputsThatMatter()
{
    // Case, punctuation, a final line break, the identifier and non-ASCII text all change the
    // password; the same inputs always give the same one.
    const QStringList phrases = {QStringLiteral("Mind my own words"), QStringLiteral("mind my own words"),
                                 QStringLiteral("Mind my own words."), QStringLiteral("Mind my own words\n"),
                                 QStringLiteral(" "), QStringLiteral("\n"), QString::fromUtf16(u"Mind my \u00f6wn words")};
    QSet<QString> seen;
    for (const QString &phrase : phrases) {
        const QString password = Derivation::compatible(phrase, QStringLiteral("bank"), 32);
        QCOMPARE(Derivation::compatible(phrase, QStringLiteral("bank"), 32), password);
        seen.insert(password);
    }
    seen.insert(Derivation::compatible(phrases.first(), QStringLiteral("Bank"), 32));
    seen.insert(Derivation::compatible(phrases.first(), QString(), 32));
    // The original chain collapses into few values, so a clash here would be possible in
    // principle; these inputs are known to stay apart.
    QCOMPARE(seen.size(), phrases.size() + 2);
}

void TestDerivation::schemesDiffer()
{
    for (const QString &phrase : {QStringLiteral("hello"), QStringLiteral("Mind my own words")}) {
        QVERIFY(Derivation::strong(phrase, QStringLiteral("bank"), 32)
                != Derivation::compatible(phrase, QStringLiteral("bank"), 32));
    }
}

void TestDerivation::entropyAndNames()
{
    QCOMPARE(Derivation::entropyText(4), QStringLiteral("24"));
    QCOMPARE(Derivation::entropyText(32), QStringLiteral("192"));
    for (int length = 4; length <= 32; ++length)
        QCOMPARE(Derivation::entropyText(length), QString::number(6 * length));

    Scheme scheme = Scheme::Compatible;
    QVERIFY(Schemes::fromName(QStringLiteral("strong"), &scheme));
    QCOMPARE(scheme, Scheme::Strong);
    QVERIFY(Schemes::fromName(QStringLiteral("compatible"), &scheme));
    QCOMPARE(scheme, Scheme::Compatible);
    QVERIFY(!Schemes::fromName(QStringLiteral("Strong"), &scheme));
    QCOMPARE(Schemes::name(Scheme::Strong), QStringLiteral("strong"));
}

void TestDerivation::invalidLengthDerivesNothing()
{
    for (int length : {-1, 0, 3, 33, 88}) {
        QVERIFY(Derivation::compatible(QStringLiteral("x"), QString(), length).isNull());
        QVERIFY(Derivation::strong(QStringLiteral("x"), QString(), length).isNull());
    }
}

QTEST_GUILESS_MAIN(TestDerivation)
#include "TestDerivation.moc"
