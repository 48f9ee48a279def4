#include "notices.h"
#include "strengthdialog.h"
#include "testsupport.h"

#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QStyle>
#include <QTextBrowser>
#include <QTextEdit>
#include <QtTest>

using namespace TestSupport;

class TestNotices : public QObject
{
    Q_OBJECT

private slots:
    void texts_data();
    void texts();
    void closing();
    void fittedToTheirText();
    void aboutBox();
    void strengthDialogFitsItsText();
};

namespace {

// The message's paragraphs as shown, without the empty ones above them.
QStringList shownParagraphs(QTextEdit *edit, int *emptyCount)
{
    QStringList paragraphs = edit->toPlainText().split(QChar::ParagraphSeparator).join(QLatin1Char('\n'))
                                 .split(QLatin1Char('\n'));
    *emptyCount = 0;
    while (!paragraphs.isEmpty() && paragraphs.first().isEmpty()) {
        paragraphs.removeFirst();
        ++*emptyCount;
    }
    return paragraphs;
}

}

void TestNotices::texts_data()
{
    QTest::addColumn<QString>("className");
    QTest::addColumn<QString>("title");
    QTest::addColumn<QStringList>("paragraphs");
    QTest::addColumn<int>("emptyParagraphs");
    const QString product = QStringLiteral("Quorvane - Beta");
    QTest::newRow("addprodialog") << "addprodialog" << "Save Profile" << QStringList{"The profile was saved."} << 2;
    QTest::newRow("inputmsg1") << "inputmsg1" << product
        << QStringList{"The Password Identifier field cannot contain the symbol \"|\". ", " Please choose another character."} << 3;
    QTest::newRow("savedalready") << "savedalready" << product
        << QStringList{"The profile already is already saved.  Please enter a new identifier."} << 3;
    QTest::newRow("empty") << "empty" << product
        << QStringList{"The Password Identifer field is empty or contains the \"|\" symbol." + QString(17, QLatin1Char(' '))
                       + "Please enter a valid entry for this field"} << 3;
    QTest::newRow("emptysecret") << "emptysecret" << product
        << QStringList{"The Secret Phrase field is empty.  Please enter a secret phrase."} << 3;
}

void TestNotices::texts()
{
    QFETCH(QString, className);
    QFETCH(QString, title);
    QFETCH(QStringList, paragraphs);
    QFETCH(int, emptyParagraphs);

    std::unique_ptr<QDialog> dialog;
    if (className == QLatin1String("addprodialog")) dialog.reset(new addprodialog);
    else if (className == QLatin1String("inputmsg1")) dialog.reset(new inputmsg1);
    else if (className == QLatin1String("savedalready")) dialog.reset(new savedalready);
    else if (className == QLatin1String("empty")) dialog.reset(new empty);
    else dialog.reset(new emptysecret);

    QCOMPARE(QString::fromLatin1(dialog->metaObject()->className()), className);
    QCOMPARE(dialog->objectName(), className);
    QCOMPARE(dialog->windowTitle(), title);
    QCOMPARE(dialog->size(), QSize(400, 165));
    QCOMPARE(dialog->windowIcon().availableSizes().value(0), QSize(32, 32));
    auto *edit = dialog->findChild<QTextEdit *>(QStringLiteral("textEdit"));
    QVERIFY(edit);
    QVERIFY(edit->isReadOnly());
    QVERIFY(edit->toHtml().contains(QLatin1String("white-space: pre-wrap")));
    int empties = 0;
    QCOMPARE(shownParagraphs(edit, &empties), paragraphs);
    QCOMPARE(empties, emptyParagraphs);
    QCOMPARE(dialog->findChild<QPushButton *>(QStringLiteral("pushButton"))->text(), QStringLiteral("Close"));
}

void TestNotices::fittedToTheirText()
{
    // Shown, a notice is as tall as its text: the save notice's one line is no large frame, and
    // nothing of a longer text is cut.
    QSize saved;
    bool whole = false;
    const auto look = [&](QWidget *w) {
        saved = w->size();
        auto *edit = w->findChild<QTextEdit *>(QStringLiteral("textEdit"));
        whole = edit->document()->size().height() <= edit->viewport()->height() + 1;
        return false;
    };
    answerModals([] { showNotice<addprodialog>(); }, look);
    QVERIFY2(saved.height() < 165 && saved.width() == 400, qPrintable(QStringLiteral("%1x%2").arg(saved.width()).arg(saved.height())));
    QVERIFY(whole);
    answerModals([] { showNotice<emptysecret>(); }, look);
    QVERIFY(whole);
}

void TestNotices::closing()
{
    // "Close", Escape and the title bar all end the notice the same way.
    const QList<std::function<bool(QWidget *)>> ways = {
        [](QWidget *w) { w->findChild<QPushButton *>(QStringLiteral("pushButton"))->click(); return true; },
        [](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); return true; },
        [](QWidget *) { return false; },   // closed as by the title bar
    };
    for (const auto &way : ways) {
        const QList<ModalSeen> seen = answerModals([] { showNotice<savedalready>(); }, way);
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.at(0).className, QStringLiteral("savedalready"));
        QVERIFY(!QApplication::activeModalWidget());
    }
}

void TestNotices::aboutBox()
{
    aboutdialog about;
    QCOMPARE(about.windowTitle(), QStringLiteral("Quorvane - Beta"));
    QCOMPARE(about.size(), QSize(400, 165));
    QCOMPARE(about.windowIcon().availableSizes().value(0), QSize(32, 32));
    auto *browser = about.findChild<QTextBrowser *>(QStringLiteral("textBrowser"));
    QVERIFY(browser);
    QVERIFY(browser->isReadOnly());
    const QStringList lines = browser->toPlainText().split(QLatin1Char('\n'));
    QCOMPARE(lines.mid(0, 4), (QStringList{"", "", "Quorvane", "Version Beta"}));
    QCOMPARE(lines.size(), 6);
    QVERIFY(!lines.at(4).isEmpty());
    // The word list of passphrases is credited as its licence asks.
    QVERIFY(lines.at(5).contains(QLatin1String("EFF's large word list")) && lines.at(5).contains(QLatin1String("CC BY 3.0 US")));
    const QList<ModalSeen> seen = answerModals([] { showNotice<aboutdialog>(); });
    QCOMPARE(seen.value(0).className, QStringLiteral("aboutdialog"));
}

void TestNotices::strengthDialogFitsItsText()
{
    // At the usual font and at twice its size (a 200% desktop), long and short texts: every
    // text shows whole, and no more space stands between the rows than the layout's spacing.
    const QFont usual = QApplication::font();
    for (double scale : {1.0, 2.0}) {
        QFont font = usual;
        font.setPointSizeF(usual.pointSizeF() * scale);
        QApplication::setFont(font);
        for (const QString &passwordText : {QStringLiteral("no password generated yet"),
                                            QStringLiteral("104.6 bits, excellent. The number of passwords the characters "
                                                           "and the length allow, in bits.")}) {
            strengthdialog dialog;
            dialog.setPhraseStrength(QStringLiteral("70.3 bits, weak"));
            dialog.setPasswordStrength(passwordText);
            dialog.setGuessCost(QStringLiteral("Argon2id makes every guess of the phrase slow"));
            dialog.show();
            QVERIFY(QTest::qWaitForWindowExposed(&dialog));
            const QString row = QStringLiteral("%1x, %2").arg(scale).arg(passwordText.size());
            int bottom = 0;
            QList<QWidget *> rows;
            for (const char *name : {"phraseresult", "passwordresult", "explanation", "pushButton"})
                rows << dialog.findChild<QWidget *>(QLatin1String(name));
            for (QWidget *widget : rows) {
                if (auto *label = qobject_cast<QLabel *>(widget)) {
                    const int needed = label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
                    QVERIFY2(label->height() >= needed, qPrintable(row + QLatin1Char(' ') + label->objectName() + QStringLiteral(" %1 < %2, dialog %3x%4").arg(label->height()).arg(needed).arg(dialog.width()).arg(dialog.height())));
                    QVERIFY2(label->height() <= needed + label->fontMetrics().height(),
                             qPrintable(row + QLatin1Char(' ') + label->objectName()));
                }
                const QRect box = widget->geometry();
                QVERIFY2(box.top() >= bottom, qPrintable(row));
                const int gap = box.top() - bottom;
                const int spacing = dialog.layout()->spacing() + qMax(0, dialog.style()->pixelMetric(QStyle::PM_LayoutVerticalSpacing));
                if (bottom > 0)
                    QVERIFY2(gap <= 2 * spacing, qPrintable(row + QStringLiteral(": %1 px above %2").arg(gap).arg(widget->objectName())));
                bottom = box.bottom() + 1;
            }
            const QMargins margins = dialog.layout()->contentsMargins();
            QVERIFY2(dialog.height() - bottom <= margins.bottom() + 1, qPrintable(row));
            QVERIFY2(dialog.width() <= 96 * dialog.fontMetrics().averageCharWidth(), qPrintable(row + QStringLiteral(" %1 px wide, %2 a character").arg(dialog.width()).arg(dialog.fontMetrics().averageCharWidth())));
        }
    }
    QApplication::setFont(usual);
}

QTEST_MAIN(TestNotices)
#include "TestNotices.moc"
