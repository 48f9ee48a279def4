#include "phraseedit.h"
#include "testsupport.h"

#include <QAccessible>
#include <QApplication>
#include <QInputMethodEvent>
#include <QClipboard>
#include <QtTest>

// What assistive tools hear of the phrase box, with the accessibility bridge on as a screen
// reader turns it on (tests/accessibility-bus.sh): no event ever carries a character of a
// hidden phrase, whether typed, pasted or committed by an input method, and the box says it is
// a password field.
class TestPhraseAnnouncements : public QObject
{
    Q_OBJECT

private slots:
    void hiddenPhraseIsNeverAnnounced();
};

namespace {

QStringList heard;

void listen(QAccessibleEvent *event)
{
    switch (event->type()) {
    case QAccessible::TextInserted:
        heard << static_cast<QAccessibleTextInsertEvent *>(event)->textInserted();
        break;
    case QAccessible::TextUpdated:
        heard << static_cast<QAccessibleTextUpdateEvent *>(event)->textInserted();
        break;
    case QAccessible::ValueChanged:
        heard << static_cast<QAccessibleValueChangeEvent *>(event)->value().toString();
        break;
    default:
        break;
    }
    if (QAccessibleInterface *face = event->accessibleInterface())
        heard << face->text(QAccessible::Value);
}

}

void TestPhraseAnnouncements::hiddenPhraseIsNeverAnnounced()
{
    PhraseEdit box;
    box.show();
    // The bridge turns itself on once it has reached the accessibility bus.
    QTRY_VERIFY2_WITH_TIMEOUT(QAccessible::isActive(), "the accessibility bridge is on (see accessibility-bus.sh)", 10000);
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    QApplication::setActiveWindow(&box);
    box.setFocus();
    QAccessible::installUpdateHandler(listen);

    QTest::keyClicks(&box, QStringLiteral("hunter2"));
    QGuiApplication::clipboard()->setText(QStringLiteral("xyzzy"));
    QTest::keyClick(&box, Qt::Key_V, Qt::ControlModifier);
    QInputMethodEvent composing(QStringLiteral("kana"), {});
    QApplication::sendEvent(&box, &composing);
    QInputMethodEvent committed;
    committed.setCommitString(QStringLiteral("q\u00e9"));
    QApplication::sendEvent(&box, &committed);
    QTest::keyClick(&box, Qt::Key_Backspace);
    QTest::keyClicks(&box, QStringLiteral("!"));
    QAccessible::installUpdateHandler(nullptr);

    QVERIFY(!heard.isEmpty());
    const QString phraseCharacters = QStringLiteral("hunter2xyzzykanaq\u00e9!");
    for (const QString &text : qAsConst(heard)) {
        for (const QChar c : phraseCharacters)
            QVERIFY2(!text.contains(c), qPrintable(QStringLiteral("heard \"%1\"").arg(text)));
    }
    QCOMPARE(box.phrase(), QStringLiteral("hunter2xyzzyq!"));
    // Told as a line edit in password mode tells it; input methods neither predict nor learn.
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(&box);
    QVERIFY(face->state().passwordEdit);
    QVERIFY(face->textInterface());
    QVERIFY(!face->textInterface()->text(0, face->textInterface()->characterCount()).contains(QLatin1Char('h')));
    const Qt::InputMethodHints hints = box.inputMethodHints();
    for (Qt::InputMethodHint hint : {Qt::ImhHiddenText, Qt::ImhSensitiveData, Qt::ImhNoPredictiveText})
        QVERIFY(hints & hint);
    QVERIFY(!box.isUndoRedoEnabled());

    // Shown on request, it is what it is; hidden again, it is a password field once more.
    box.setConcealed(false);
    QVERIFY(!face->state().passwordEdit);
    QCOMPARE(face->text(QAccessible::Value), box.phrase());
    box.setConcealed(true);
    QVERIFY(face->state().passwordEdit);
}

QTEST_MAIN(TestPhraseAnnouncements)
#include "TestPhraseAnnouncements.moc"
