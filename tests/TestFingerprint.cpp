#include "fingerprint.h"
#include "fingerprintview.h"
#include "testsupport.h"

#include <QAccessible>
#include <QSignalSpy>
#include <QtTest>

using namespace TestSupport;

class TestFingerprint : public QObject
{
    Q_OBJECT

private slots:
    void vectors_data();
    void vectors();
    void names();
    void viewShowsTheTypedPhrase();
    void staleResultIsDropped();
    void closingWhileComputing();
};

void TestFingerprint::vectors_data()
{
    QTest::addColumn<QString>("phrase");
    QTest::addColumn<QString>("text");
    const QList<QStringList> rows = readTsv(QStringLiteral("fingerprints.tsv"));
    QCOMPARE(rows.size(), 8);
    for (const QStringList &row : rows)
        QTest::newRow(qPrintable(row.value(1))) << fromHexUnits(row.value(0)) << row.value(1);
}

void TestFingerprint::vectors()
{
    QFETCH(QString, phrase);
    QFETCH(QString, text);
    const QVector<Fingerprint::Symbol> symbols = Fingerprint::of(phrase);
    QCOMPARE(symbols.size(), 3);
    QCOMPARE(Fingerprint::text(symbols), text);
}

void TestFingerprint::names()
{
    QCOMPARE(Fingerprint::colourName(0), QStringLiteral("red"));
    QCOMPARE(Fingerprint::colourName(7), QStringLiteral("pink"));
    QCOMPARE(Fingerprint::shapeName(0), QStringLiteral("circle"));
    QCOMPARE(Fingerprint::shapeName(15), QStringLiteral("key"));
    QCOMPARE(Fingerprint::text({{4, 4}, {0, 13}, {4, 13}}), QStringLiteral("teal star, red leaf, teal leaf"));
    QCOMPARE(Fingerprint::text({}), QString());
}

void TestFingerprint::viewShowsTheTypedPhrase()
{
    FingerprintView view;
    view.show();
    QVERIFY(!view.isPending());
    QCOMPARE(view.accessibleName(), QStringLiteral("Phrase fingerprint: none"));
    QSignalSpy shown(&view, &FingerprintView::shown);

    // Phrases set in a row: only the last one's fingerprint is ever shown.
    view.setPhrase(QStringLiteral("h"));
    view.setPhrase(QStringLiteral("hel"));
    view.setPhrase(QStringLiteral("hello"));
    QVERIFY(view.isPending());
    QVERIFY(view.text().isEmpty());
    QCOMPARE(view.accessibleName(), QStringLiteral("Phrase fingerprint: being computed"));
    QVERIFY(shown.wait(20000));
    QCOMPARE(shown.count(), 1);
    QCOMPARE(view.text(), QStringLiteral("teal star, red leaf, teal leaf"));
    QCOMPARE(view.accessibleName(), QStringLiteral("Phrase fingerprint: teal star, red leaf, teal leaf"));
    QCOMPARE(view.toolTip(), view.accessibleName());
    QAccessibleInterface *accessible = QAccessible::queryAccessibleInterface(&view);
    QCOMPARE(accessible->text(QAccessible::Name), view.accessibleName());

    // The same phrase again computes nothing; an empty one shows nothing at once.
    view.setPhrase(QStringLiteral("hello"));
    QVERIFY(!view.isPending());
    view.setPhrase(QString());
    QVERIFY(!view.isPending());
    QVERIFY(view.text().isEmpty());
    QVERIFY(view.toolTip().isEmpty());
    QTest::qWait(1500);
    QCOMPARE(shown.count(), 1);
}

void TestFingerprint::staleResultIsDropped()
{
    FingerprintView view;
    QStringList seen;
    connect(&view, &FingerprintView::shown, [&] { seen << view.text(); });
    view.setPhrase(QStringLiteral("hello"));
    QTest::qWait(30);   // the computation for "hello" is under way
    view.setPhrase(QStringLiteral("hellp"));
    QTRY_VERIFY_WITH_TIMEOUT(!view.isPending(), 20000);
    QCOMPARE(seen, QStringList{QStringLiteral("yellow heart, green triangle, orange star")});
    QCOMPARE(view.text(), seen.first());

    // Emptied while computing: the result for the old phrase never shows.
    view.setPhrase(QStringLiteral("hello"));
    QTest::qWait(30);
    view.clear();
    QTest::qWait(1500);
    QCOMPARE(seen.size(), 1);
    QVERIFY(view.text().isEmpty());
}

void TestFingerprint::closingWhileComputing()
{
    auto *view = new FingerprintView;
    view->setPhrase(QStringLiteral("hello"));
    QTest::qWait(30);
    delete view;              // waits for the worker; its result finds no view
    QTest::qWait(500);        // the queued result, if any, is delivered to nobody
}

QTEST_MAIN(TestFingerprint)
#include "TestFingerprint.moc"
