#include "testsupport.h"
#include "zav.h"

#include <QClipboard>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QTextEdit>
#include <QToolButton>
#include <QtTest>

using namespace TestSupport;

namespace {

// What another program of the desktop reads from the X11 clipboard or PRIMARY selection, and
// puts there: xclip, in a process of its own.
QString otherProgramReads(const char *selection, const char *target = "UTF8_STRING")
{
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), {"-o", "-selection", selection, "-t", target});
    // Our own window answers the request: keep its event loop turning meanwhile.
    QElapsedTimer waited;
    waited.start();
    while (xclip.state() != QProcess::NotRunning && waited.elapsed() < 10000)
        QTest::qWait(20);
    return QString::fromUtf8(xclip.readAllStandardOutput());
}

void otherProgramPuts(const char *selection, const QByteArray &text)
{
    // xclip stays, owning the selection, until another program takes it.
    QProcess xclip;
    xclip.setStandardOutputFile(QProcess::nullDevice());
    xclip.setStandardErrorFile(QProcess::nullDevice());
    xclip.start(QStringLiteral("xclip"), {"-i", "-selection", selection});
    xclip.write(text);
    xclip.closeWriteChannel();
    xclip.waitForFinished(5000);
    QTRY_COMPARE_WITH_TIMEOUT(QGuiApplication::clipboard()->text(qstrcmp(selection, "primary") == 0 ? QClipboard::Selection
                                                                                                    : QClipboard::Clipboard),
                              QString::fromUtf8(text), 5000);
}

// Real input through the X server, as a user gives it: the toolkit takes a selection only with
// the time of a real event.
void xdotool(const QStringList &arguments)
{
    QProcess::execute(QStringLiteral("xdotool"), arguments);
    QTest::qWait(150);
}

void clickAt(QWidget *widget, QPoint at, int clicks = 1, int button = 1)
{
    const QPoint global = widget->mapToGlobal(at);
    xdotool({"mousemove", QString::number(global.x()), QString::number(global.y()), "click", "--repeat",
             QString::number(clicks), "--delay", "80", QString::number(button)});
}

// Opens the phrase box's context menu with a right click and hands it to `act`.
void withContextMenu(QTextEdit *phrase, const std::function<void(QMenu *)> &act)
{
    clickAt(phrase->viewport(), QPoint(20, 10), 1, 3);
    QMenu *menu = nullptr;
    QTRY_VERIFY((menu = qobject_cast<QMenu *>(QApplication::activePopupWidget())) != nullptr);
    act(menu);
    menu->close();
}

QAction *menuAction(QMenu *menu, const char *name)
{
    for (QAction *action : menu->actions()) {
        if (action->objectName() == QLatin1String(name))
            return action;
    }
    return nullptr;
}

// Keys to the window that has the focus (given it first: a menu that closed may have taken it).
void keys(const QString &sequence)
{
    xdotool({"windowfocus", "--sync", QString::number(QApplication::activeWindow()->winId())});
    xdotool(QStringList{"key", "--delay", "40"} + sequence.split(QLatin1Char(' ')));
}

}

// The phrase box on a real X display (platform xcb), as a desktop has it: nothing of the phrase
// reaches the PRIMARY selection, whatever selects it; a copy of the shown phrase goes as a
// password's copy goes; a copy of the hidden phrase leaves the clipboard as it was.
class TestPhraseBox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void selectionsGivePrimaryNoPhrase();
    void copiesOfThePhrase();

private:
    template<class T>
    T *child(const char *name) const { return window->findChild<T *>(QString::fromLatin1(name)); }

    std::unique_ptr<TempHome> home;
    std::unique_ptr<zav> window;
};

void TestPhraseBox::initTestCase()
{
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        QSKIP("needs an X display (run by tests/xcb.sh)");
    for (const char *tool : {"xclip", "xdotool"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            QSKIP(qPrintable(QStringLiteral("%1 is not installed").arg(QLatin1String(tool))));
    }
}

void TestPhraseBox::init()
{
    home.reset(new TempHome);
    SecretTimings timings;
    timings.clipboardClearMs = 3000;
    window.reset(new zav(nullptr, timings));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    xdotool({"windowfocus", "--sync", QString::number(window->winId())});
}

void TestPhraseBox::cleanup()
{
    window.reset();
    home.reset();
}

void TestPhraseBox::selectionsGivePrimaryNoPhrase()
{
    auto *phrase = child<QTextEdit>("inputtext");
    phrase->setFocus();
    QTest::keyClicks(phrase, QStringLiteral("hunter2 swordfish"));
    child<QToolButton>("showphrasebutton")->click();
    QCOMPARE(phrase->toPlainText(), QStringLiteral("hunter2 swordfish"));

    // Each way a selection is made: a double-click on a word, select-all, Shift and an arrow, a
    // drag of the mouse.
    const QRect line = phrase->cursorRect(QTextCursor(phrase->document()));
    const QList<std::pair<const char *, std::function<void()>>> selections{
        {"double-click", [&] { clickAt(phrase->viewport(), line.center() + QPoint(12, 0), 2); }},
        {"select all", [&] { keys(QStringLiteral("ctrl+a")); }},
        {"shift and arrow", [&] { clickAt(phrase->viewport(), line.center() + QPoint(30, 0)); keys(QStringLiteral("shift+Left shift+Left")); }},
        {"mouse drag", [&] {
             const QPoint from = phrase->viewport()->mapToGlobal(line.center());
             xdotool({"mousemove", QString::number(from.x()), QString::number(from.y()), "mousedown", "1",
                      "mousemove", QString::number(from.x() + 60), QString::number(from.y()), "mouseup", "1"});
         }},
    };
    for (const auto &[name, select] : selections) {
        for (bool shown : {true, false}) {
            if (child<QToolButton>("showphrasebutton")->isChecked() != shown)
                child<QToolButton>("showphrasebutton")->click();
            otherProgramPuts("primary", "before");
            select();
            QVERIFY2(phrase->textCursor().hasSelection(), name);
            QApplication::processEvents();
            const QString primary = otherProgramReads("primary");
            QVERIFY2(!primary.contains(QLatin1String("hunter")) && !primary.contains(QLatin1String("fish")),
                     qPrintable(QStringLiteral("%1 (%2): %3").arg(QLatin1String(name)).arg(shown).arg(primary)));
            QVERIFY2(!QGuiApplication::clipboard()->text(QClipboard::Selection).contains(QLatin1String("fish")), name);
        }
    }
    // A middle click pastes nothing of it into a line edit either.
    QVERIFY(!QGuiApplication::clipboard()->text(QClipboard::Selection).contains(QLatin1String("hunter")));
}

void TestPhraseBox::copiesOfThePhrase()
{
    auto *phrase = child<QTextEdit>("inputtext");
    auto *show = child<QToolButton>("showphrasebutton");
    phrase->setFocus();
    QTest::keyClicks(phrase, QStringLiteral("hunter2"));

    // Hidden: Ctrl+C, Ctrl+Insert and Cut leave another program's clipboard as it was, and the
    // context menu offers no copy.
    otherProgramPuts("clipboard", "someone else's");
    keys(QStringLiteral("ctrl+a ctrl+c ctrl+Insert ctrl+x"));
    QCOMPARE(otherProgramReads("clipboard"), QStringLiteral("someone else's"));
    QCOMPARE(phrase->toPlainText().size(), 7);
    withContextMenu(phrase, [](QMenu *menu) {
        QVERIFY(!menuAction(menu, "edit-copy")->isEnabled());
        QVERIFY(!menuAction(menu, "edit-cut")->isEnabled());
    });

    // Shown: the copy goes as a password's does, marked for clipboard histories to leave out,
    // and cleared after its time if still there.
    show->click();
    phrase->setFocus();
    keys(QStringLiteral("ctrl+a ctrl+c"));
    QTRY_COMPARE_WITH_TIMEOUT(otherProgramReads("clipboard"), QStringLiteral("hunter2"), 5000);
    QVERIFY2(otherProgramReads("clipboard", "TARGETS").contains(QLatin1String("x-kde-passwordManagerHint")),
             qPrintable(otherProgramReads("clipboard", "TARGETS")));
    QTRY_VERIFY_WITH_TIMEOUT(QGuiApplication::clipboard()->text().isEmpty(), 10000);
    // The context menu's Copy goes the same way.
    otherProgramPuts("clipboard", "someone else's");
    phrase->setFocus();
    keys(QStringLiteral("ctrl+a"));
    withContextMenu(phrase, [](QMenu *menu) { menuAction(menu, "edit-copy")->trigger(); });
    QTRY_COMPARE_WITH_TIMEOUT(otherProgramReads("clipboard"), QStringLiteral("hunter2"), 5000);
    QVERIFY(otherProgramReads("clipboard", "TARGETS").contains(QLatin1String("x-kde-passwordManagerHint")));
}

QTEST_MAIN(TestPhraseBox)
#include "TestPhraseBox.moc"
