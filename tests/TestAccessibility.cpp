#include "deletedialog.h"
#include "listdialog.h"
#include "main.h"
#include "profilestate.h"
#include "notices.h"
#include "testsupport.h"
#include "zav.h"

#include <QAbstractButton>
#include <QAbstractSpinBox>
#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

using namespace TestSupport;

class TestAccessibility : public QObject
{
    Q_OBJECT

private slots:
    void everyWindowIsNamed();
    void passwordIsNotInItsDescription();

private:
    void check(QWidget *window);
};

void TestAccessibility::check(QWidget *window)
{
    QList<QWidget *> widgets = window->findChildren<QWidget *>();
    widgets.prepend(window);
    int interactive = 0;
    for (QWidget *w : widgets) {
        // The toolkit's own inner parts (viewports, scroll bars) carry no name of ours.
        if (w->objectName().isEmpty() || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const QByteArray where = window->objectName().toUtf8() + '/' + w->objectName().toUtf8();
        QVERIFY2(!w->accessibleName().isEmpty(), where.constData());
        QAccessibleInterface *face = QAccessible::queryAccessibleInterface(w);
        QVERIFY2(face && !face->text(QAccessible::Name).isEmpty(), where.constData());
        const bool isInput = qobject_cast<QAbstractButton *>(w) || qobject_cast<QLineEdit *>(w)
            || qobject_cast<QTextEdit *>(w) || qobject_cast<QAbstractSpinBox *>(w)
            || qobject_cast<QComboBox *>(w) || qobject_cast<QListWidget *>(w);
        if (isInput) {
            ++interactive;
            QVERIFY2(!w->accessibleDescription().isEmpty(), where.constData());
        }
    }
    QVERIFY(interactive >= 2);
    QCOMPARE(window->windowIcon().availableSizes().value(0), QSize(32, 32));   // the logo on every window
}

void TestAccessibility::everyWindowIsNamed()
{
    TempHome home;
    zav window;
    Start_up();
    check(&window);
    listdialog retrieve;
    check(&retrieve);
    deletedialog remove;
    check(&remove);
    addprodialog a;
    inputmsg1 b;
    savedalready c;
    empty d;
    emptysecret e;
    notsaved f;
    notdeleted g;
    notderived h;
    aboutdialog about;
    for (QWidget *w : std::initializer_list<QWidget *>{&a, &b, &c, &d, &e, &f, &g, &h, &about})
        check(w);

    // The visible texts are not replaced by the accessible ones.
    QCOMPARE(window.findChild<QPushButton *>(QStringLiteral("generatepass"))->text(), QStringLiteral("Generate Password"));
    QCOMPARE(window.windowTitle(), QStringLiteral("Quorvane - Beta"));
}

void TestAccessibility::passwordIsNotInItsDescription()
{
    TempHome home;
    zav window;
    Start_up();
    window.findChild<QTextEdit *>(QStringLiteral("inputtext"))->setPlainText(QStringLiteral("words"));
    window.findChild<QComboBox *>(QStringLiteral("schemecombo"))->setCurrentIndex(1);
    answerModals([&] { window.findChild<QPushButton *>(QStringLiteral("generatepass"))->click(); });
    auto *output = window.findChild<QLineEdit *>(QStringLiteral("passwordoutput"));
    QVERIFY(!output->text().isEmpty());
    QVERIFY(!output->accessibleDescription().contains(output->text()));
    QVERIFY(!output->accessibleName().contains(output->text()));
    QAccessibleInterface *face = QAccessible::queryAccessibleInterface(output);
    QVERIFY(!face->text(QAccessible::Description).contains(output->text()));
}

QTEST_MAIN(TestAccessibility)
#include "TestAccessibility.moc"
