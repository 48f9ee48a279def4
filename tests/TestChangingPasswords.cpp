#include "fingerprintview.h"
#include "main.h"
#include "phraseedit.h"
#include "phrasechange.h"
#include "phrasestate.h"
#include "profilefile.h"
#include "testsupport.h"
#include "zav.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDesktopServices>
#include <QFontDatabase>
#include <QUrl>
#include <QLabel>
#include <QLineEdit>
#include <QHeaderView>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTreeWidget>
#include <QtTest>

using namespace TestSupport;

// Changing passwords through the window: one site's next version ("Change Password..."), and
// every site's when the secret phrase changes (the assistant), as a user walks through them.
class TestChangingPasswords : public QObject
{
    Q_OBJECT

public slots:
    // Stands for the user's browser: the pages the program asks the desktop to open.
    void opened(const QUrl &url) { openedUrls << url; }

private slots:
    void init();
    void cleanup();
    void nextVersionOfOneSite();
    void assistantForANewPhrase();
    void marksAreTheTruth();

private:
    template<class T>
    T *child(const char *name) const { return window->findChild<T *>(QString::fromLatin1(name)); }
    // Runs the action and hands its dialog to `walk`, which closes it.
    void withDialog(const char *action, const std::function<void(QWidget *)> &walk);

    std::unique_ptr<TempHome> home;
    std::unique_ptr<zav> window;
    QList<QUrl> openedUrls;
};

namespace {

QString derived(const QString &line, const QString &phrase)
{
    Recipe recipe;
    Recipe::fromLine(line, &recipe);
    return recipe.derive(phrase);
}

template<class T>
T *in(QWidget *dialog, const char *name)
{
    return dialog->findChild<T *>(QString::fromLatin1(name));
}

void typeInto(QWidget *dialog, const char *name, const QString &text)
{
    auto *edit = in<PhraseEdit>(dialog, name);
    edit->clearPhrase();
    QTest::keyClicks(edit, text);
}

}

void TestChangingPasswords::init()
{
    home.reset(new TempHome);
    window.reset(new zav);
    window->show();
    Start_up();
}

void TestChangingPasswords::cleanup()
{
    window.reset();
    home.reset();
}

void TestChangingPasswords::withDialog(const char *action, const std::function<void(QWidget *)> &walk)
{
    bool walked = false;
    answerModals([&] { child<QAction>(action)->trigger(); }, [&](QWidget *dialog) {
        if (walked)
            return false;
        walked = true;
        walk(dialog);
        dialog->close();
        return true;
    });
    QVERIFY(walked);
}

void TestChangingPasswords::nextVersionOfOneSite()
{
    writeFile(home->profileFile(), "a|8\r\nbank.example|16|strong\r\nold.example|8\r\n");
    child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("hello"));
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("bank.example"));
    withDialog("actionChange_Password", [&](QWidget *dialog) {
        auto *current = in<QLineEdit>(dialog, "currentoutput");
        auto *next = in<QLineEdit>(dialog, "nextoutput");
        QTRY_VERIFY_WITH_TIMEOUT(!next->text().isEmpty(), 20000);
        // Side by side, hidden until shown.
        QCOMPARE(current->text(), derived(QStringLiteral("bank.example|16|strong"), QStringLiteral("hello")));
        QCOMPARE(next->text(), derived(QStringLiteral("bank.example|16|strong|base64|2"), QStringLiteral("hello")));
        QCOMPARE(next->echoMode(), QLineEdit::Password);
        in<QCheckBox>(dialog, "showbox")->click();
        QCOMPARE(next->echoMode(), QLineEdit::Normal);
        // Copied as a password is copied: marked for clipboard histories.
        in<QPushButton>(dialog, "copynextbutton")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), next->text());
        QVERIFY(QGuiApplication::clipboard()->mimeData()->formats().contains(QStringLiteral("x-kde-passwordManagerHint")));
        // Labels alike; boxes for 32 characters of the fixed font, shown or hidden.
        QCOMPARE(in<QLabel>(dialog, "nextlabel")->text(), QStringLiteral("Next password (bank.example, version 2)"));
        QCOMPARE(current->font().family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
        QVERIFY(current->width() >= QFontMetrics(current->font()).horizontalAdvance(QString(32, QLatin1Char('W'))));
        QVERIFY(!in<QLabel>(dialog, "statuslabel")->text().contains(QLatin1String("Type the current password")));
        in<QPushButton>(dialog, "savebutton")->click();
        QVERIFY(in<QLabel>(dialog, "statuslabel")->text().contains(QLatin1String("now at version 2")));
        // The site refused it: one click back, and Save again.
        auto *back = in<QPushButton>(dialog, "backbutton");
        QVERIFY(back->isVisibleTo(dialog));
        QCOMPARE(back->text(), QStringLiteral("Back to version 1"));
        back->click();
        QCOMPARE(fileBytes(home->profileFile()), QByteArray("a|8\r\nbank.example|16|strong\r\nold.example|8\r\n"));
        in<QPushButton>(dialog, "savebutton")->click();
        // The site's change page, opened through the desktop in the user's browser.
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "opened");
        in<QPushButton>(dialog, "changepagebutton")->click();
        QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
        QCOMPARE(openedUrls, QList<QUrl>{QUrl(QStringLiteral("https://bank.example/.well-known/change-password"))});
    });
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("a|8\r\nbank.example|16|strong|base64|2\r\nold.example|8\r\n"));
    // The window now shows the next version: Generate gives its password.
    QCOMPARE(child<QSpinBox>("counterspinbox")->value(), 2);
    QVERIFY(window->statusBar()->currentMessage().contains(QLatin1String("now at version 2")));
    QVERIFY(answerModals([this] { child<QPushButton>("generatepass")->click(); }).isEmpty());
    QCOMPARE(child<QLineEdit>("passwordoutput")->text(), derived(QStringLiteral("bank.example|16|strong|base64|2"), QStringLiteral("hello")));

    // A compatible profile's next password is a strong one of the default length.
    child<QComboBox>("schemecombo")->setCurrentIndex(1);
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("old.example"));
    child<QSpinBox>("plengthspinbox")->setValue(8);
    withDialog("actionChange_Password", [&](QWidget *dialog) {
        QTRY_VERIFY_WITH_TIMEOUT(in<QPushButton>(dialog, "savebutton")->isEnabled(), 20000);
        QCOMPARE(in<QLineEdit>(dialog, "nextoutput")->text(), derived(QStringLiteral("old.example|16|strong"), QStringLiteral("hello")));
        in<QPushButton>(dialog, "savebutton")->click();
    });
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("a|8\r\nbank.example|16|strong|base64|2\r\nold.example|16|strong\r\n"));
    QCOMPARE(child<QComboBox>("schemecombo")->currentIndex(), 0);
    QCOMPARE(child<QSpinBox>("plengthspinbox")->value(), 16);

    // Closed without Save: nothing changes. Without a phrase: the notice, no dialog.
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("a"));
    child<QSpinBox>("plengthspinbox")->setValue(8);
    child<QComboBox>("schemecombo")->setCurrentIndex(1);
    const QByteArray before = fileBytes(home->profileFile());
    withDialog("actionChange_Password", [](QWidget *dialog) {
        QVERIFY(!in<QPushButton>(dialog, "changepagebutton")->isVisibleTo(dialog));   // "a" is no domain name
    });
    // An identifier never saved: said, and either version may be saved.
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("never-saved.example"));
    withDialog("actionChange_Password", [](QWidget *dialog) {
        QTRY_VERIFY_WITH_TIMEOUT(in<QPushButton>(dialog, "savebutton")->isEnabled(), 20000);
        QVERIFY(in<QLabel>(dialog, "statuslabel")->text().startsWith(QLatin1String("No profile is saved as never-saved.example")));
        QVERIFY(in<QPushButton>(dialog, "savecurrentbutton")->isVisibleTo(dialog));
        in<QPushButton>(dialog, "savecurrentbutton")->click();
    });
    QVERIFY(fileBytes(home->profileFile()).contains("never-saved.example|8\r\n"));
    writeFile(home->profileFile(), before);
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("a"));
    QCOMPARE(fileBytes(home->profileFile()), before);
    child<QTextEdit>("inputtext")->clear();
    const QList<ModalSeen> seen = answerModals([this] { child<QAction>("actionChange_Password")->trigger(); });
    QCOMPARE(seen.value(0).className, QStringLiteral("emptysecret"));
}

void TestChangingPasswords::assistantForANewPhrase()
{
    writeFile(home->profileFile(), "bank.example|16|strong\r\nmail.example|16|lesspass|aA9!|1|me\r\nold.example|8\r\n");
    const QStringList lines{"bank.example|16|strong", "mail.example|16|lesspass|aA9!|1|me", "old.example|8"};
    const auto fillPhrases = [](QWidget *dialog, const QString &previous, const QString &next, const QString &again) {
        typeInto(dialog, "previousedit", previous);
        typeInto(dialog, "newedit", next);
        typeInto(dialog, "againedit", again);
    };
    withDialog("actionChange_Secret_Phrase", [&](QWidget *dialog) {
        auto *status = in<QLabel>(dialog, "statuslabel");
        auto *list = in<QTreeWidget>(dialog, "profilelist");
        // The new phrase typed two ways, or the same as the previous one: refused, nothing started.
        fillPhrases(dialog, QStringLiteral("old phrase"), QStringLiteral("new phrase"), QStringLiteral("new phrasf"));
        in<QPushButton>(dialog, "startbutton")->click();
        QVERIFY(status->text().contains(QLatin1String("two different ways")));
        fillPhrases(dialog, QStringLiteral("same"), QStringLiteral("same"), QStringLiteral("same"));
        in<QPushButton>(dialog, "startbutton")->click();
        QVERIFY(status->text().contains(QLatin1String("the same")));
        QCOMPARE(PhraseChange::target(home->profileFile()), 0);

        fillPhrases(dialog, QStringLiteral("old phrase"), QStringLiteral("new phrase"), QStringLiteral("new phrase"));
        // Asked once before it starts: the first press asks, the second starts.
        in<QPushButton>(dialog, "startbutton")->click();
        QVERIFY2(status->text().startsWith(QLatin1String("Start changing the secret phrase of 3 profiles?")), qPrintable(status->text()));
        QCOMPARE(in<QPushButton>(dialog, "startbutton")->text(), QStringLiteral("Start the Change"));
        QCOMPARE(PhraseChange::target(home->profileFile()), 0);
        in<QPushButton>(dialog, "startbutton")->click();
        QCOMPARE(PhraseChange::target(home->profileFile()), 2);
        // The steps are said; the window is wide enough for its columns, passwords in the fixed font.
        QVERIFY(in<QLabel>(dialog, "explanation")->text().contains(QLatin1String("finished when every site is ticked")));
        QVERIFY(list->header()->sectionSize(1) >= QFontMetrics(QFontDatabase::systemFont(QFontDatabase::FixedFont))
                                                      .horizontalAdvance(QString(32, QLatin1Char('W'))));
        QVERIFY(list->header()->sectionPosition(3) + list->header()->sectionSize(3) <= list->viewport()->width() + 2);
        // Both fingerprints, before any password.
        QTRY_VERIFY_WITH_TIMEOUT(!in<FingerprintView>(dialog, "newfingerprint")->text().isEmpty(), 20000);
        QCOMPARE(list->topLevelItemCount(), 3);
        QTRY_VERIFY_WITH_TIMEOUT(status->text().contains(QLatin1String("Tick Moved")), 60000);
        // Hidden until shown; every pair the CLI's.
        QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("••••••••"));
        in<QCheckBox>(dialog, "showbox")->click();
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(list->topLevelItem(i)->text(1), derived(lines.at(i), QStringLiteral("old phrase")));
            QCOMPARE(list->topLevelItem(i)->text(2), derived(lines.at(i), QStringLiteral("new phrase")));
        }
        QCOMPARE(list->topLevelItem(1)->font(2).family(), QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
        // The filter, as the retrieve dialog's.
        in<QLineEdit>(dialog, "filteredit")->setText(QStringLiteral("MAIL"));
        QVERIFY(list->topLevelItem(0)->isHidden() && !list->topLevelItem(1)->isHidden());
        in<QLineEdit>(dialog, "filteredit")->clear();
        // A compatible profile is offered the strong scheme with the new phrase, and why; moved so,
        // its line becomes the strong one; unticked, the compatible line it was.
        list->setCurrentItem(list->topLevelItem(0));
        QVERIFY(!in<QPushButton>(dialog, "strongbutton")->isEnabled());
        list->setCurrentItem(list->topLevelItem(2));
        QVERIFY(in<QPushButton>(dialog, "strongbutton")->isEnabled());
        in<QPushButton>(dialog, "strongbutton")->click();
        QVERIFY(status->text().contains(QLatin1String("moves to the strong scheme")));
        QCOMPARE(list->topLevelItem(2)->text(2), derived(QStringLiteral("old.example|16|strong"), QStringLiteral("new phrase")));
        list->topLevelItem(2)->setCheckState(3, Qt::Checked);
        QVERIFY(fileBytes(home->profileFile()).contains("old.example|16|strong|#2\r\n"));
        list->topLevelItem(2)->setCheckState(3, Qt::Unchecked);
        QCOMPARE(fileBytes(home->profileFile()), QByteArray("bank.example|16|strong\r\nmail.example|16|lesspass|aA9!|1|me\r\nold.example|8\r\n"));
        list->setCurrentItem(list->topLevelItem(1));
        // A way out while a site holds the new phrase's password: refused, the site named.
        list->topLevelItem(2)->setCheckState(3, Qt::Checked);
        in<QPushButton>(dialog, "cancelchangebutton")->click();
        QVERIFY2(status->text().startsWith(QLatin1String("Not cancelled: 1 site already has the new phrase's password (old.example)")),
                 qPrintable(status->text()));
        QCOMPARE(PhraseChange::target(home->profileFile()), 2);
        list->topLevelItem(2)->setCheckState(3, Qt::Unchecked);
        in<QPushButton>(dialog, "copynewbutton")->click();
        QCOMPARE(QGuiApplication::clipboard()->text(), derived(lines.at(1), QStringLiteral("new phrase")));
        // Another program adds a line meanwhile: a mark loses nothing.
        ProfileFile::append(home->profileFile(), QStringLiteral("added|12"));
        list->topLevelItem(0)->setCheckState(3, Qt::Checked);
        QVERIFY(status->text().contains(QLatin1String("1 of 4")));   // the added one waits too
    });
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("bank.example|16|strong|#2\r\nmail.example|16|lesspass|aA9!|1|me\r\n"
                                                        "old.example|8\r\nadded|12\r\n"));
    // Meanwhile a password made for a profile not yet moved says so; one moved says nothing.
    child<QComboBox>("schemecombo")->setCurrentIndex(1);
    child<QSpinBox>("plengthspinbox")->setValue(8);
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("old.example"));
    child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("new phrase"));
    QVERIFY(answerModals([this] { child<QPushButton>("generatepass")->click(); }).isEmpty());
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("old.example still uses your previous secret phrase"));
    window->statusBar()->clearMessage();
    child<QComboBox>("schemecombo")->setCurrentIndex(0);
    child<QSpinBox>("plengthspinbox")->setValue(16);
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("bank.example"));
    QVERIFY(answerModals([this] { child<QPushButton>("generatepass")->click(); }).isEmpty());
    QVERIFY(!window->statusBar()->currentMessage().contains(QLatin1String("previous")));

    // The phrases are gone with the dialog; opening it again goes on where the user stopped.
    withDialog("actionChange_Secret_Phrase", [&](QWidget *dialog) {
        auto *status = in<QLabel>(dialog, "statuslabel");
        auto *list = in<QTreeWidget>(dialog, "profilelist");
        QVERIFY(in<PhraseEdit>(dialog, "previousedit")->phrase().isEmpty());
        QVERIFY(status->text().contains(QLatin1String("in progress: 1 of 4 profiles moved")));
        // Where the list is: why it is empty.
        QVERIFY(list->topLevelItem(0)->text(0).contains(QLatin1String("once both phrases are typed")));
        fillPhrases(dialog, QStringLiteral("old phrase"), QStringLiteral("new phrase"), QStringLiteral("new phrase"));
        in<QPushButton>(dialog, "startbutton")->click();
        QTRY_VERIFY_WITH_TIMEOUT(status->text().contains(QLatin1String("Tick Moved")), 60000);
        int checked = 0;
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            checked += list->topLevelItem(i)->checkState(3) == Qt::Checked;
        QCOMPARE(checked, 1);
        for (int i = 0; i < list->topLevelItemCount(); ++i)
            list->topLevelItem(i)->setCheckState(3, Qt::Checked);
        QVERIFY(status->text().contains(QLatin1String("the change is complete")));
    });
    QCOMPARE(PhraseChange::target(home->profileFile()), 0);
    QVERIFY(!QFileInfo::exists(PhraseState::path(home->profileFile())));
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("bank.example|16|strong|#2\r\nmail.example|16|lesspass|aA9!|1|me|#2\r\n"
                                                        "old.example|8|#2\r\nadded|12|#2\r\n"));
}

void TestChangingPasswords::marksAreTheTruth()
{
    // The state file lost mid-change: the lines' marks still say a change to phrase 2 is in
    // progress, to every door; no new change is numbered.
    const QString file = home->profileFile();
    const auto cli = [](const QStringList &args, const QByteArray &input = QByteArray()) {
        return runProgram(QStringLiteral(QUORVANE_CLI), args, input);
    };
    writeFile(file, "bank.example|16|strong|#2\r\nshop.example|16|strong\r\n");
    QVERIFY(!QFileInfo::exists(PhraseState::path(file)));
    QCOMPARE(PhraseChange::target(file), 2);
    const Run status = cli({"phrase", "status"});
    QVERIFY2(status.out.contains("moved 1 of 2") && status.out.contains("shop.example|16|strong"), status.out.constData());
    const Run again = cli({"phrase", "change"});
    QVERIFY2(again.code == 2 && again.err.contains("in progress already"), again.err.constData());
    const Run derived = cli({"derive", "--profile=shop.example"}, "new phrase");
    QVERIFY2(derived.err.contains("shop.example still uses your previous secret phrase"), derived.err.constData());

    // The window says it under the password for as long as that password stands there.
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("shop.example"));
    child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("new phrase"));
    QVERIFY(answerModals([this] { child<QPushButton>("generatepass")->click(); }).isEmpty());
    auto *note = child<QLabel>("phrasenote");
    QVERIFY(note->isVisible() && note->text().contains(QLatin1String("shop.example still uses it")));
    window->statusBar()->showMessage(QStringLiteral("Copied to the clipboard"));
    QVERIFY(note->isVisible());
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("bank.example"));
    QVERIFY(answerModals([this] { child<QPushButton>("generatepass")->click(); }).isEmpty());
    QVERIFY(!note->isVisible());

    // A finished change, then a line from a machine that missed it: on the previous phrase.
    writeFile(file, "bank.example|16|strong|#2\r\nshop.example|16|strong|#2\r\n");
    QCOMPARE(PhraseChange::target(file), 0);
    ProfileFile::append(file, QStringLiteral("late.example|16|strong"));
    QCOMPARE(PhraseChange::target(file), 2);
    QVERIFY(cli({"phrase", "status"}).out.contains("late.example|16|strong"));

    // A marked line is removed by its unmarked form, as add finds it saved already.
    QCOMPARE(cli({"profiles", "add", "-i", "bank.example", "-l", "16"}).code, 1);
    const Run removed = cli({"profiles", "remove", "bank.example|16|strong"});
    QVERIFY2(removed.code == 0, removed.err.constData());
    QVERIFY(!fileBytes(file).contains("bank.example"));

    // A way out: cancel ends nothing while a site holds the new phrase's password, and names it;
    // marked back, the change is cancelled. Several names and --all mark at once.
    writeFile(file, "a.example|16|strong\r\nb.example|16|strong\r\nc.example|16|strong\r\n");
    QCOMPARE(cli({"phrase", "change"}).code, 0);
    QCOMPARE(cli({"phrase", "moved", "a.example"}).code, 0);
    const Run refused = cli({"phrase", "cancel"});
    QVERIFY2(refused.code == 1 && refused.err.contains("1 site already has the new phrase's password: a.example"), refused.err.constData());
    QCOMPARE(PhraseChange::target(file), 2);
    QCOMPARE(cli({"phrase", "moved", "--back", "a.example"}).out, QByteArray("a.example|16|strong\n"));
    QCOMPARE(cli({"phrase", "cancel"}).code, 0);
    QCOMPARE(PhraseChange::target(file), 0);
    QCOMPARE(cli({"phrase", "change"}).code, 0);
    QCOMPARE(cli({"phrase", "moved", "a.example", "b.example"}).out, QByteArray("a.example|16|strong|#2\nb.example|16|strong|#2\n"));
    const Run all = cli({"phrase", "moved", "--all"});
    QVERIFY(all.out.startsWith("c.example|16|strong|#2\n") && all.out.contains("the change is complete"));
    QCOMPARE(PhraseChange::target(file), 0);
    writeFile(file, "shop.example|16|strong|#2\r\nother.example|16|strong\r\n");

    // phrase show reads exactly two lines.
    const Run three = cli({"phrase", "show", "shop.example|16|strong|#2"}, "old\nnew\n\n");
    QVERIFY2(three.code == 2 && three.err.contains("more than two lines") && three.out.isEmpty(), three.err.constData());
    QCOMPARE(cli({"phrase", "show", "shop.example|16|strong|#2"}, "old\nnew\n").code, 0);
}

QTEST_MAIN(TestChangingPasswords)
#include "TestChangingPasswords.moc"
