#include "derivation.h"
#include "profilefile.h"
#include "fingerprintview.h"
#include "main.h"
#include "profilestate.h"
#include "recipe.h"
#include "rule.h"
#include "testsupport.h"
#include "zav.h"

#include <QAction>
#include <QCheckBox>
#include <QToolBar>
#include <QClipboard>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QDesktopServices>
#include <QLabel>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QFontDatabase>
#include <QStatusBar>
#include <QTextCursor>
#include <QToolButton>
#include <QPushButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QFileDialog>
#include <QtTest>

using namespace TestSupport;

// Records the addresses the program hands to the browser.
class UrlRecorder : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl &url) { urls.append(url); }
};

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void initialState();
    void spinBoxWraps();
    void menus();
    void clearParameters();
    void linkPages();
    void generateShowsAndCopies();
    void refusalsKeepPasswordAndClipboard();
    void schemeChoice();
    void ruleAndVersionControls();
    void inputIgnoredWhileDeriving();
    void noSecretInTrace();
    void fingerprintFollowsPhrase();
    void nothingClipped();
    void phraseHiddenAndKeyboard();
    void outputFollowsInput();
    void oneClipboard();
    void phraseStrengthMeter();
    void peerSchemes();
    void siteRules();
    void importFromMenu();
    void panelsKeepTheirOwn();
    void eyeAndTabOrder();
    void phraseAsTypedForEveryScheme();
    void ratingAndNotices();

private:
    template<class T>
    T *child(const char *name) const
    {
        T *w = window->findChild<T *>(QString::fromLatin1(name));
        if (!w)
            qFatal("no widget %s", name);
        return w;
    }
    QList<ModalSeen> generate();

    std::unique_ptr<TempHome> home;
    std::unique_ptr<zav> window;
};

void TestMainWindow::init()
{
    window.reset();
    home.reset();   // the old one restores HOME first
    home.reset(new TempHome);
    window.reset(new zav);
    window->show();
    Start_up();
    QGuiApplication::clipboard()->clear();
}

QList<ModalSeen> TestMainWindow::generate()
{
    return answerModals([this] { child<QPushButton>("generatepass")->click(); });
}

void TestMainWindow::initialState()
{
    QCOMPARE(window->windowTitle(), QStringLiteral("Quorvane - Beta"));
    QCOMPARE(window->objectName(), QStringLiteral("zav"));
    // A strong password starts at 16, as in every other door; the original program's scheme at
    // its own 4. Each keeps its own length.
    QCOMPARE(child<QSpinBox>("plengthspinbox")->value(), 16);
    child<QComboBox>("schemecombo")->setCurrentIndex(1);
    QCOMPARE(child<QSpinBox>("plengthspinbox")->value(), 4);
    child<QSpinBox>("plengthspinbox")->setValue(9);
    child<QComboBox>("schemecombo")->setCurrentIndex(0);
    QCOMPARE(child<QSpinBox>("plengthspinbox")->value(), 16);
    child<QComboBox>("schemecombo")->setCurrentIndex(1);
    QCOMPARE(child<QSpinBox>("plengthspinbox")->value(), 9);
    child<QComboBox>("schemecombo")->setCurrentIndex(0);
    for (const char *name : {"passwordoutput", "entropyout", "pword_identifier_le"})
        QVERIFY(child<QLineEdit>(name)->text().isEmpty());
    QVERIFY(child<QTextEdit>("inputtext")->toPlainText().isEmpty());
    QCOMPARE(child<QPushButton>("generatepass")->text(), QStringLiteral("Generate Password"));
    QCOMPARE(child<QLabel>("pwlength")->text(), QStringLiteral("Select Password Length (No. Of Characters)"));
    QCOMPARE(child<QLabel>("label_4")->text(), QStringLiteral("Password Identifier"));
    QCOMPARE(child<QSpinBox>("plengthspinbox")->toolTip(),
             QStringLiteral("<html><head/><body><p>Set password length between 4 - 32.  Larger is better.</p></body></html>"));
    QCOMPARE(child<QLineEdit>("entropyout")->whatsThis(), QStringLiteral("<html><head/><body><p><br/></p></body></html>"));
    QVERIFY(!child<QLineEdit>("passwordoutput")->isReadOnly());
    QVERIFY(!window->windowIcon().isNull());
    QCOMPARE(window->windowIcon().availableSizes().value(0), QSize(32, 32));

    // The phrase has the focus at start; Tab moves on from it and never types a tab.
    QTextEdit *phrase = child<QTextEdit>("inputtext");
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QCOMPARE(QApplication::focusWidget(), phrase);
    QTest::keyClick(phrase, Qt::Key_Tab);
    QVERIFY(phrase->toPlainText().isEmpty());
    QCOMPARE(QApplication::focusWidget(), child<QWidget>("pword_identifier_le"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), child<QWidget>("showphrasebutton"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    QCOMPARE(QApplication::focusWidget(), phrase);
}

void TestMainWindow::spinBoxWraps()
{
    QSpinBox *spin = child<QSpinBox>("plengthspinbox");
    spin->setValue(32);
    spin->stepUp();
    QCOMPARE(spin->value(), 4);
    spin->stepDown();
    QCOMPARE(spin->value(), 32);
    for (int outside : {0, 3, 40, 99}) {
        spin->setValue(outside);
        QVERIFY(spin->value() >= 4 && spin->value() <= 32);
    }
}

void TestMainWindow::menus()
{
    QStringList titles;
    for (QAction *a : window->menuBar()->actions())
        titles << a->text();
    QCOMPARE(titles, (QStringList{"File", "Profile", "Password Strength", "Help", "About"}));
    // No empty tool bar strip under the menu bar.
    QVERIFY(window->findChildren<QToolBar *>().isEmpty());
    auto texts = [this](const char *menu) {
        QStringList list;
        for (QAction *a : child<QMenu>(menu)->actions())
            list << a->text();
        return list;
    };
    QCOMPARE(texts("menuFile"), (QStringList{"Import Profiles...", "Export...", "Change Secret Phrase...", "", "Quit"}));
    // Change Password stands beside what it changes: the profile's Save, Retrieve and Delete.
    QCOMPARE(texts("menuProfile"), (QStringList{"Save Profile", "Retrieve Profile", "Delete Profile", "", "Change Password..."}));
    QCOMPARE(texts("menuPassword_Strength"), (QStringList{"Calculate Password Strength"}));
    QCOMPARE(texts("menuHelp"), (QStringList{"Learn More", "Get Help", "Check For Updates"}));
    QCOMPARE(texts("menuAbout"), QStringList{"About"});

    // "Clear List" exists but nothing reaches it.
    QAction *clearList = child<QAction>("actionClear_List");
    QCOMPARE(clearList->text(), QStringLiteral("Clear List"));
    QVERIFY(clearList->associatedWidgets().isEmpty());
    QVERIFY(clearList->shortcut().isEmpty());
    QCOMPARE(window->metaObject()->indexOfSlot("on_actionClear_List_triggered()"), -1);
}

void TestMainWindow::clearParameters()
{
    child<QSpinBox>("plengthspinbox")->setValue(20);
    child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("secret words"));
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("bank"));
    child<QComboBox>("schemecombo")->setCurrentIndex(1);
    QVERIFY(generate().isEmpty());
    QVERIFY(!child<QLineEdit>("passwordoutput")->text().isEmpty());
    pword_length = 20;

    // Our password goes from the clipboard; text another program put there stays.
    QVERIFY(!QGuiApplication::clipboard()->text().isEmpty());
    child<QPushButton>("clear_parameters")->click();
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
    QGuiApplication::clipboard()->setText(QStringLiteral("someone else's"));
    child<QPushButton>("clear_parameters")->click();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("someone else's"));
    QCOMPARE(child<QSpinBox>("plengthspinbox")->value(), 16);
    for (const char *name : {"passwordoutput", "entropyout", "pword_identifier_le"})
        QVERIFY(child<QLineEdit>(name)->text().isEmpty());
    QVERIFY(child<QTextEdit>("inputtext")->toPlainText().isEmpty());
    QCOMPARE(child<QComboBox>("schemecombo")->currentIndex(), 0);
    QCOMPARE(pword_length, 20);   // the values profiles use are not the form's
}

void TestMainWindow::linkPages()
{
    UrlRecorder recorder;
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &recorder, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &recorder, "open");
    for (const char *action : {"actionLearn_More", "actionHelp_Information", "actionCheck_For_Updates"})
        child<QAction>(action)->trigger();
    // The strength is computed here: no page is opened to type a password into.
    child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("correct horse battery staple"));
    QVERIFY(generate().isEmpty());
    QString phraseLine, passwordLine;
    const QList<ModalSeen> seen = answerModals(
        [this] { child<QAction>("actionCalculate_Password_Strength")->trigger(); }, [&](QWidget *dialog) {
            phraseLine = dialog->findChild<QLabel *>(QStringLiteral("phraseresult"))->text();
            passwordLine = dialog->findChild<QLabel *>(QStringLiteral("passwordresult"))->text();
            return false;
        });
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.at(0).className, QStringLiteral("strengthdialog"));
    QCOMPARE(phraseLine, QStringLiteral("70.3 bits, weak"));
    QVERIFY(passwordLine.startsWith(QLatin1String("96 bits, good.")));

    QCOMPARE(recorder.urls.size(), 2);
    const QUrl home = recorder.urls.at(0);
    QCOMPARE(home.fileName(), QStringLiteral("index.php"));
    QCOMPARE(recorder.urls.at(1).fileName(), QStringLiteral("updates.php"));
    QCOMPARE(recorder.urls.at(1).host(), home.host());

    // Help opens the user guide shipped with the program, a local file: no network needed.
    UrlRecorder files;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &files, "open");
    child<QAction>("actionHelp_Information")->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(files.urls.size(), 1);
    QVERIFY2(files.urls.at(0).isLocalFile() && files.urls.at(0).fileName() == QLatin1String("user-guide.html")
                 && QFileInfo(files.urls.at(0).toLocalFile()).size() > 10000,
             qPrintable(files.urls.value(0).toString()));
}

void TestMainWindow::generateShowsAndCopies()
{
    child<QComboBox>("schemecombo")->setCurrentIndex(1);
    child<QSpinBox>("plengthspinbox")->setValue(32);
    child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("Mind my own words"));
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("citi-account"));
    // The entropy box stays where it is when the rating appears.
    QApplication::processEvents();
    const QPoint entropyBefore = child<QLineEdit>("entropyout")->pos();
    QVERIFY(generate().isEmpty());
    QApplication::processEvents();
    QCOMPARE(child<QLineEdit>("entropyout")->pos(), entropyBefore);
    const QString expected = QStringLiteral("fK94MHJzE0On83wrP3kHPCmaOvUIx1+V");
    QCOMPARE(child<QLineEdit>("passwordoutput")->text(), expected);
    QCOMPARE(child<QLineEdit>("entropyout")->text(), QStringLiteral("6.7"));
    QCOMPARE(QGuiApplication::clipboard()->text(), expected);
    const QMimeData *data = QGuiApplication::clipboard()->mimeData();
    QCOMPARE(data->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));
    QCOMPARE(pword_length, 32);
    QCOMPARE(pword_identifier, QStringLiteral("citi-account"));

    // A single blank, or a single line break, is a phrase like any other.
    for (const QString &phrase : {QStringLiteral(" "), QStringLiteral("\n")}) {
        child<QTextEdit>("inputtext")->setPlainText(phrase);
        QVERIFY(generate().isEmpty());
        QCOMPARE(child<QLineEdit>("passwordoutput")->text(),
                 Derivation::compatible(phrase, QStringLiteral("citi-account"), 32));
    }
}

void TestMainWindow::refusalsKeepPasswordAndClipboard()
{
    child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("words"));
    QVERIFY(generate().isEmpty());
    const QString shown = child<QLineEdit>("passwordoutput")->text();
    QCOMPARE(shown.size(), 16);

    // An empty phrase is answered first, even when the identifier is bad too; the entropy
    // still follows the spin box.
    child<QTextEdit>("inputtext")->clear();
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("a|b"));
    child<QSpinBox>("plengthspinbox")->setValue(10);
    pword_identifier = QStringLiteral("before");
    TraceCapture trace;
    QList<ModalSeen> seen = generate();
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.at(0).className, QStringLiteral("emptysecret"));
    QCOMPARE(trace.messages(), QStringList{"Issue message that Secret Phrase is empty"});
    QCOMPARE(child<QLineEdit>("entropyout")->text(), QStringLiteral("60"));
    QCOMPARE(pword_length, 10);
    QCOMPARE(pword_identifier, QStringLiteral("before"));

    for (const QString &identifier : {QStringLiteral("|"), QStringLiteral("|a"), QStringLiteral("a|b"), QStringLiteral("a|")}) {
        child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("words"));
        child<QLineEdit>("pword_identifier_le")->setText(identifier);
        child<QSpinBox>("plengthspinbox")->setValue(32);
        seen = generate();
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.at(0).className, QStringLiteral("inputmsg1"));
        QCOMPARE(child<QLineEdit>("entropyout")->text(), QStringLiteral("192"));
        QCOMPARE(pword_identifier, identifier);   // kept even though refused
    }
    QCOMPARE(trace.messages().size(), 1);   // the identifier refusal writes no trace line
    // The shown password went with the first change of input; the clipboard keeps its own clock.
    QVERIFY(child<QLineEdit>("passwordoutput")->text().isEmpty());
    QCOMPARE(QGuiApplication::clipboard()->text(), shown);
}

void TestMainWindow::schemeChoice()
{
    QComboBox *combo = child<QComboBox>("schemecombo");
    QLabel *warning = child<QLabel>("schemewarning");
    QCOMPARE(combo->count(), 4);
    QCOMPARE(combo->itemText(0), QStringLiteral("Strong"));
    QCOMPARE(combo->itemText(1), QStringLiteral("Compatible (original passwords)"));
    QCOMPARE(combo->itemText(2), QStringLiteral("LessPass"));
    QCOMPARE(combo->itemText(3), QStringLiteral("Spectre"));
    QCOMPARE(combo->currentIndex(), 0);
    QVERIFY(!warning->isVisible());
    combo->setCurrentIndex(1);
    QVERIFY(warning->isVisible());
    QVERIFY(warning->text().contains(QLatin1String("small set")));
    combo->setCurrentIndex(0);
    QVERIFY(!warning->isVisible());

    // Generate follows the selected scheme.
    child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("hello"));
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("bank"));
    child<QSpinBox>("plengthspinbox")->setValue(16);
    QVERIFY(generate().isEmpty());
    QCOMPARE(child<QLineEdit>("passwordoutput")->text(), QStringLiteral("IxzAW0nX/EExEnV2"));
    combo->setCurrentIndex(1);
    QVERIFY(generate().isEmpty());
    QCOMPARE(child<QLineEdit>("passwordoutput")->text(), QStringLiteral("bGYZ"));
    child<QSpinBox>("plengthspinbox")->setValue(16);
    QVERIFY(generate().isEmpty());
    QCOMPARE(child<QLineEdit>("passwordoutput")->text(), QStringLiteral("bGYZDOUGjrL0dhJZ"));
}

void TestMainWindow::ruleAndVersionControls()
{
    auto *rules = child<QComboBox>("rulecombo");
    auto *version = child<QSpinBox>("counterspinbox");
    auto *custom = child<QWidget>("customrule");
    QCOMPARE(rules->count(), 7);
    QCOMPARE(rules->itemText(6), QStringLiteral("Words"));
    QCOMPARE(rules->itemText(0), QStringLiteral("Letters, digits, + and /"));
    QCOMPARE(rules->itemText(1), QStringLiteral("Letters, digits and symbols"));
    QCOMPARE(rules->itemText(2), QStringLiteral("Letters and digits"));
    QCOMPARE(rules->itemText(3), QStringLiteral("Digits only"));
    QCOMPARE(rules->itemText(4), QStringLiteral("Custom"));
    QCOMPARE(rules->itemText(5), QStringLiteral("Site rules"));
    QCOMPARE(rules->currentIndex(), 0);
    QCOMPARE(version->value(), 1);
    QCOMPARE(version->minimum(), 1);
    QCOMPARE(version->maximum(), 2147483647);
    QCOMPARE(child<QLabel>("versionlabel")->text(), QStringLiteral("Version"));
    QVERIFY(!custom->isVisible());
    for (const char *name : {"rulecombo", "counterspinbox", "lowercasebox", "uppercasebox", "digitsbox", "symbolsbox",
                             "symbolsedit"}) {
        QWidget *w = child<QWidget>(name);
        QVERIFY2(!w->accessibleName().isEmpty() && !w->accessibleDescription().isEmpty(), name);
    }

    // Each preset gives the vector's password and figure.
    child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("hello"));
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("bank"));
    child<QSpinBox>("plengthspinbox")->setValue(16);
    auto shown = [this] {
        generate();
        return child<QLineEdit>("passwordoutput")->text() + ' ' + child<QLineEdit>("entropyout")->text();
    };
    rules->setCurrentIndex(1);
    QCOMPARE(shown(), QStringLiteral("QK{8OzUF\"[Xmj}tV 104.6"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("QK{8OzUF\"[Xmj}tV"));
    version->setValue(2);
    QCOMPARE(shown(), QStringLiteral("/iUL^TV0oBW00:=R 104.6"));
    rules->setCurrentIndex(0);
    QCOMPARE(shown(), QStringLiteral("V7AnVYaiF4qWy7xW 96"));
    version->setValue(1);

    // Words: the length box counts words (six at first, 4 to 12) and keeps the characters' own
    // count; the passphrase rows of the vectors come out as the CLI and the host give them.
    auto *length = child<QSpinBox>("plengthspinbox");
    rules->setCurrentIndex(6);
    QVERIFY(child<QWidget>("wordsrule")->isVisible() && !custom->isVisible());
    QCOMPARE(child<QLabel>("pwlength")->text(), QStringLiteral("Words"));
    QCOMPARE(length->value(), 6);
    QCOMPARE(length->maximum(), 12);
    for (const QStringList &row : readTsv(QStringLiteral("strong-words.tsv"))) {
        child<QTextEdit>("inputtext")->setPlainText(QString(row.value(0)).replace(QLatin1String("\\n"), QLatin1String("\n")));
        child<QLineEdit>("pword_identifier_le")->setText(row.value(1));
        Rule rule;
        QVERIFY(Rule::parse(row.value(3), &rule));
        child<QCheckBox>("wordsspacebox")->setChecked(rule.wordsJoinedBySpace());
        child<QCheckBox>("wordscapsbox")->setChecked(rule.wordsCapitalised());
        child<QCheckBox>("wordsdigitbox")->setChecked(rule.wordsWithDigit());
        length->setValue(row.value(2).toInt());
        version->setValue(row.value(4).toInt());
        QCOMPARE(shown(), row.value(5) + ' ' + row.value(6));
    }
    rules->setCurrentIndex(0);
    QCOMPARE(length->value(), 16);
    QCOMPARE(child<QLabel>("pwlength")->text(), QStringLiteral("Select Password Length (No. Of Characters)"));
    child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("hello"));
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("bank"));
    version->setValue(1);
    rules->setCurrentIndex(2);
    QCOMPARE(shown(), QStringLiteral("62pdVVgB73TjWhx2 95.2"));

    // Custom: the boxes and own symbols; symbols typed without their box are not used.
    rules->setCurrentIndex(4);
    QVERIFY(custom->isVisible());
    child<QLineEdit>("symbolsedit")->setText(QStringLiteral("!@#$%"));
    QCOMPARE(shown(), QStringLiteral("vwn7jgONuP@uwZDP 96.4"));
    child<QCheckBox>("symbolsbox")->setChecked(false);
    QVERIFY(!child<QLineEdit>("symbolsedit")->isEnabled());
    QCOMPARE(shown(), QStringLiteral("62pdVVgB73TjWhx2 95.2"));

    // Custom choices that are no rule: a notice says what is wrong and nothing is derived.
    for (QCheckBox *box : window->findChildren<QCheckBox *>())
        box->setChecked(false);
    QList<ModalSeen> seen = generate();
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.at(0).className, QStringLiteral("badrule"));
    QVERIFY2(seen.at(0).text.trimmed().startsWith(QLatin1String("The custom characters are not a rule: no character class is chosen")),
             qPrintable(seen.at(0).text));
    child<QCheckBox>("symbolsbox")->setChecked(true);
    child<QLineEdit>("symbolsedit")->setText(QStringLiteral("##"));
    seen = generate();
    QCOMPARE(seen.value(0).className, QStringLiteral("badrule"));
    QVERIFY(seen.at(0).text.contains(QLatin1String("given twice")));
    child<QLineEdit>("symbolsedit")->setText(QStringLiteral("a"));
    QVERIFY(generate().value(0).text.contains(QLatin1String("not one of the symbols")));
    QCOMPARE(child<QLineEdit>("passwordoutput")->text() + ' ' + child<QLineEdit>("entropyout")->text(), QStringLiteral(" "));

    // Compatible has neither: the controls are disabled and the password is the original one.
    child<QComboBox>("schemecombo")->setCurrentIndex(1);
    for (const char *name : {"rulecombo", "counterspinbox", "symbolsbox"})
        QVERIFY2(!child<QWidget>(name)->isEnabled(), name);
    child<QSpinBox>("plengthspinbox")->setValue(16);
    QCOMPARE(shown(), QStringLiteral("bGYZDOUGjrL0dhJZ 6.7"));
    child<QComboBox>("schemecombo")->setCurrentIndex(0);
    QVERIFY(rules->isEnabled() && version->isEnabled());

    // Clear Parameters resets them to base64 and 1.
    version->setValue(9);
    child<QPushButton>("clear_parameters")->click();
    QCOMPARE(rules->currentIndex(), 0);
    QCOMPARE(version->value(), 1);
    QVERIFY(!custom->isVisible());
    for (const char *name : {"lowercasebox", "uppercasebox", "digitsbox", "symbolsbox"})
        QVERIFY2(child<QCheckBox>(name)->isChecked(), name);
    for (const char *name : {"wordsspacebox", "wordscapsbox", "wordsdigitbox"})
        QVERIFY2(!child<QCheckBox>(name)->isChecked(), name);
    QVERIFY(child<QLineEdit>("symbolsedit")->text().isEmpty());
}

void TestMainWindow::inputIgnoredWhileDeriving()
{
    // A strong derivation takes a while: meanwhile the cursor shows it and a click on
    // "Clear Parameters" must not wipe the form under the password being made.
    child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("hello"));
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("bank"));
    child<QSpinBox>("plengthspinbox")->setValue(16);
    bool busy = false;
    QTimer::singleShot(20, [&] {
        busy = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
        QTest::mouseClick(child<QPushButton>("clear_parameters"), Qt::LeftButton);
    });
    QVERIFY(generate().isEmpty());
    QVERIFY(busy);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(child<QLineEdit>("pword_identifier_le")->text(), QStringLiteral("bank"));
    QCOMPARE(child<QLineEdit>("passwordoutput")->text(), QStringLiteral("IxzAW0nX/EExEnV2"));

    // Once it is done, the same click works again.
    QTest::mouseClick(child<QPushButton>("clear_parameters"), Qt::LeftButton);
    QVERIFY(child<QLineEdit>("pword_identifier_le")->text().isEmpty());
}

void TestMainWindow::noSecretInTrace()
{
    const QString phrase = QStringLiteral("my very secret phrase");
    TraceCapture trace;
    child<QTextEdit>("inputtext")->setPlainText(phrase);
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("bank"));
    for (int scheme : {0, 1}) {
        child<QComboBox>("schemecombo")->setCurrentIndex(scheme);
        QVERIFY(generate().isEmpty());
        answerModals([this] { child<QAction>("actionSave")->trigger(); });
    }
    const QString password = child<QLineEdit>("passwordoutput")->text();
    auto *view = child<FingerprintView>("fingerprintview");
    QTRY_VERIFY_WITH_TIMEOUT(!view->isPending(), 20000);
    const QString fingerprint = view->text();
    QVERIFY(!password.isEmpty());
    QVERIFY(!fingerprint.isEmpty());
    QVERIFY(!trace.messages().isEmpty());
    for (const QString &message : trace.messages()) {
        QVERIFY(!message.contains(phrase));
        QVERIFY(!message.contains(password));
        QVERIFY(!message.contains(fingerprint));
    }
    const QByteArray file = fileBytes(home->profileFile());
    QVERIFY(file.contains("bank|4"));
    QVERIFY(!file.contains(phrase.toUtf8()));
    QVERIFY(!file.contains(password.toUtf8()));
    QVERIFY(!file.contains(fingerprint.toUtf8()));
    QVERIFY(!QGuiApplication::clipboard()->text().contains(fingerprint));
}

void TestMainWindow::nothingClipped()
{
    // At the starting size, for each scheme, no label is shorter than its text needs and the
    // phrase box holds three lines.
    auto *phrase = child<QTextEdit>("inputtext");
    const int threeLines = 3 * phrase->fontMetrics().lineSpacing();
    for (int scheme : {0, 1}) {
        for (int rule : {0, 4}) {
            child<QComboBox>("schemecombo")->setCurrentIndex(scheme);
            child<QComboBox>("rulecombo")->setCurrentIndex(rule);
            QApplication::processEvents();
            QTest::qWait(20);
            for (QLabel *label : window->findChildren<QLabel *>()) {
                if (!label->isVisible() || label->text().isEmpty())
                    continue;
                const int needed = label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
                QVERIFY2(label->height() >= needed,
                         qPrintable(QStringLiteral("%1: %2 < %3 (scheme %4)").arg(label->objectName()).arg(label->height())
                                        .arg(needed).arg(scheme)));
                QVERIFY2(label->width() >= (label->wordWrap() ? 0 : label->sizeHint().width()), qPrintable(label->objectName()));
            }
            QVERIFY(phrase->viewport()->height() >= threeLines);
        }
    }
    // The smallest the window allows keeps them too.
    window->resize(window->minimumSizeHint());
    QTest::qWait(20);
    QVERIFY(phrase->viewport()->height() >= threeLines);
    auto *warning = child<QLabel>("schemewarning");
    QVERIFY(warning->height() >= warning->heightForWidth(warning->width()));
}

void TestMainWindow::fingerprintFollowsPhrase()
{
    auto *view = child<FingerprintView>("fingerprintview");
    auto *phrase = child<QTextEdit>("inputtext");
    QCOMPARE(view->parentWidget(), child<QLabel>("label_3")->parentWidget());
    QVERIFY(qAbs(view->geometry().center().y() - child<QLabel>("label_3")->geometry().center().y()) < 4);
    const auto cliFingerprint = [](const QString &text) {
        QProcess cli;
        cli.start(QStringLiteral(QUORVANE_CLI), {QStringLiteral("fingerprint"), QStringLiteral("--exact")});
        cli.write(text.toUtf8());
        cli.closeWriteChannel();
        cli.waitForFinished(30000);
        return QString::fromUtf8(cli.readAllStandardOutput()).trimmed();
    };
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    phrase->setFocus();

    // Typed, with a pause between the pieces: nothing shows, whatever the pause.
    QTest::keyClicks(phrase, QStringLiteral("hel"), Qt::NoModifier, 40);
    QTest::qWait(2500);
    QVERIFY(!view->isPending());
    QVERIFY(view->text().isEmpty());
    QTest::keyClicks(phrase, QStringLiteral("lo"), Qt::NoModifier, 40);
    QTest::qWait(600);
    QVERIFY(!view->isPending() && view->text().isEmpty());

    // A password made: the whole phrase's shapes, those quorvane-cli prints.
    QVERIFY(generate().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(view->text(), cliFingerprint(QStringLiteral("hello")), 20000);
    QCOMPARE(view->accessibleName(), QStringLiteral("Phrase fingerprint: ") + view->text());
    // One more key: the shapes go at once.
    phrase->setFocus();
    QTest::keyClick(phrase, Qt::Key_Exclam, Qt::NoModifier);
    QVERIFY(view->text().isEmpty() && !view->isPending());
    QTest::qWait(2500);
    QVERIFY(view->text().isEmpty());
    // Tab on to the next field: the whole phrase's shapes.
    QTest::keyClick(phrase, Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != phrase);
    QTRY_COMPARE_WITH_TIMEOUT(view->text(), cliFingerprint(QStringLiteral("hello!")), 20000);

    child<QPushButton>("clear_parameters")->click();
    QVERIFY(view->text().isEmpty());
    QVERIFY(!view->isPending());
    // An empty box left shows nothing.
    phrase->setFocus();
    QTest::keyClick(phrase, Qt::Key_Tab);
    QVERIFY(view->text().isEmpty() && !view->isPending());
}


void TestMainWindow::phraseHiddenAndKeyboard()
{
    auto *phrase = child<QTextEdit>("inputtext");
    auto *show = child<QAbstractButton>("showphrasebutton");
    const auto password = [this] { return child<QLineEdit>("passwordoutput")->text(); };
    const auto strong = [](const QString &phrase, const QString &identifier) {
        return Derivation::strong(phrase, identifier, 16);
    };

    // Typed, the phrase shows as dots; the password is the phrase's, shown or hidden.
    QTest::keyClicks(phrase, QStringLiteral("ab"));
    QTest::sendKeyEvent(QTest::Click, phrase, Qt::Key_Eacute, QStringLiteral("\u00e9"), Qt::NoModifier);
    QTest::keyClicks(phrase, QStringLiteral(" c"));
    QCOMPARE(phrase->toPlainText().size(), 5);
    QVERIFY(!phrase->toPlainText().contains(QLatin1Char('a')));
    QVERIFY(answerModals([&] { QTest::keyClick(phrase, Qt::Key_Return); }).isEmpty());
    QCOMPARE(password(), strong(QStringLiteral("ab\u00e9 c"), QString()));
    show->click();
    QCOMPARE(phrase->toPlainText(), QStringLiteral("ab\u00e9 c"));
    QTest::keyClick(phrase, Qt::Key_Backspace);
    show->click();
    QVERIFY(!phrase->toPlainText().contains(QLatin1Char('a')));

    // Editing in the middle of hidden text, replacing a selection, and setPlainText all land in
    // the phrase itself.
    QTextCursor cursor = phrase->textCursor();
    cursor.setPosition(1);
    phrase->setTextCursor(cursor);
    QTest::keyClicks(phrase, QStringLiteral("XY"));
    QTest::keyClick(phrase, Qt::Key_Delete);
    QVERIFY(answerModals([&] { QTest::keyClick(phrase, Qt::Key_Enter); }).isEmpty());
    QCOMPARE(password(), strong(QStringLiteral("aXY\u00e9 "), QString()));
    phrase->selectAll();
    QTest::keyClicks(phrase, QStringLiteral("new"));
    QVERIFY(answerModals([&] { QTest::keyClick(phrase, Qt::Key_Return); }).isEmpty());
    QCOMPARE(password(), strong(QStringLiteral("new"), QString()));

    // Shift+Enter starts a new line, which the hint then mentions; pasted rich text comes in
    // as plain text.
    QVERIFY(!child<QLabel>("phrasebreakhint")->isVisible());
    QTest::keyClick(phrase, Qt::Key_Return, Qt::ShiftModifier);
    QVERIFY(child<QLabel>("phrasebreakhint")->isVisible());
    auto *rich = new QMimeData;
    rich->setHtml(QStringLiteral("<b style='color:red;font-size:30px'>bold</b>"));
    rich->setText(QStringLiteral("bold"));
    QGuiApplication::clipboard()->setMimeData(rich);
    phrase->paste();
    show->click();
    QCOMPARE(phrase->toPlainText(), QStringLiteral("new\nbold"));
    QVERIFY(!phrase->toHtml().contains(QLatin1String("font-weight:600")));
    QVERIFY(!phrase->toHtml().contains(QLatin1String("#ff0000")));
    show->click();
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("mail"));
    QVERIFY(answerModals([this] { QTest::keyClick(child<QLineEdit>("pword_identifier_le"), Qt::Key_Return); }).isEmpty());
    QCOMPARE(password(), strong(QStringLiteral("new\nbold"), QStringLiteral("mail")));
    child<QSpinBox>("plengthspinbox")->clear();
    QTest::keyClicks(child<QSpinBox>("plengthspinbox"), QStringLiteral("12"));
    QVERIFY(answerModals([this] { QTest::keyClick(child<QSpinBox>("plengthspinbox"), Qt::Key_Enter); }).isEmpty());
    QCOMPARE(password(), Derivation::strong(QStringLiteral("new\nbold"), QStringLiteral("mail"), 12));

    // After a notice the focus is on the field to mend.
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("a|b"));
    QCOMPARE(generate().value(0).className, QStringLiteral("inputmsg1"));
    QCOMPARE(window->focusWidget(), child<QWidget>("pword_identifier_le"));
    phrase->clear();
    QCOMPARE(generate().value(0).className, QStringLiteral("emptysecret"));
    QCOMPARE(window->focusWidget(), phrase);

    // Shortcuts; none of them changes a text of the form.
    QCOMPARE(child<QAction>("actionSave")->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    QCOMPARE(child<QAction>("actionRetrieve")->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    QCOMPARE(child<QAction>("actionDelete")->shortcut(), QKeySequence(QStringLiteral("Ctrl+D")));
    QCOMPARE(child<QAction>("actionHelp_Information")->shortcut(), QKeySequence(Qt::Key_F1));
    QCOMPARE(child<QPushButton>("generatepass")->text(), QStringLiteral("Generate Password"));
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("kept?"));
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QTest::keyClick(window.get(), Qt::Key_L, Qt::ControlModifier);
    QVERIFY(child<QLineEdit>("pword_identifier_le")->text().isEmpty());
    QTest::keyClick(window.get(), Qt::Key_Q, Qt::ControlModifier);
    QVERIFY(!window->isVisible());
}

void TestMainWindow::outputFollowsInput()
{
    const QList<std::function<void()>> changes{
        [this] { child<QSpinBox>("plengthspinbox")->setValue(9); },
        [this] { child<QComboBox>("schemecombo")->setCurrentIndex(1); },
        [this] { child<QComboBox>("rulecombo")->setCurrentIndex(2); },
        [this] { child<QSpinBox>("counterspinbox")->setValue(3); },
        [this] { child<QCheckBox>("digitsbox")->setChecked(false); },
        [this] { child<QLineEdit>("symbolsedit")->setText(QStringLiteral("#")); },
        [this] { QTest::keyClicks(child<QTextEdit>("inputtext"), QStringLiteral("x")); },
        [this] { child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("other")); },
        [this] {
            ProfileFile::append(home->profileFile(), QStringLiteral("pin|6|strong|9|1"));
            answerModals([this] { child<QAction>("actionRetrieve")->trigger(); }, [](QWidget *dialog) {
                dialog->findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
                return true;
            });
        },
    };
    child<QComboBox>("rulecombo")->setCurrentIndex(4);
    for (int i = 0; i < changes.size(); ++i) {
        child<QComboBox>("schemecombo")->setCurrentIndex(0);
        child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("words"));
        QVERIFY(generate().isEmpty());
        QVERIFY(!child<QLineEdit>("passwordoutput")->text().isEmpty());
        changes.at(i)();
        QVERIFY2(child<QLineEdit>("passwordoutput")->text().isEmpty(), qPrintable(QString::number(i)));
        QVERIFY2(child<QLineEdit>("entropyout")->text().isEmpty(), qPrintable(QString::number(i)));
    }
    QCOMPARE(child<QLineEdit>("pword_identifier_le")->text(), QStringLiteral("pin"));

    // The compatible scheme's figure is the measured one, and says so.
    child<QComboBox>("schemecombo")->setCurrentIndex(1);
    QVERIFY(generate().isEmpty());
    QCOMPARE(child<QLineEdit>("entropyout")->text(), QStringLiteral("6.7"));
    QVERIFY(child<QLineEdit>("entropyout")->toolTip().contains(QLatin1String("Measured")));
    // I, l, 1, O and 0 differ in the password's font.
    QCOMPARE(child<QLineEdit>("passwordoutput")->font().family(),
             QFontDatabase::systemFont(QFontDatabase::FixedFont).family());
}

void TestMainWindow::oneClipboard()
{
    window.reset();
    SecretTimings timings;
    timings.clipboardClearMs = 300;
    window.reset(new zav(nullptr, timings));
    window->show();
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    QClipboard *clipboard = QGuiApplication::clipboard();
    child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("words"));
    child<QSpinBox>("plengthspinbox")->setValue(20);
    QVERIFY(generate().isEmpty());
    const QString password = child<QLineEdit>("passwordoutput")->text();

    // Copies the field makes are taken over, marked and cleared like Generate's; another
    // program's copy of a piece of it is not ours.
    clipboard->clear();
    auto *output = child<QLineEdit>("passwordoutput");
    clipboard->setText(password.mid(2, 5));
    QVERIFY(!clipboard->mimeData()->hasFormat(QStringLiteral("x-kde-passwordManagerHint")));
    output->setSelection(2, 5);
    QTest::keyClick(output, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), password.mid(2, 5));
    QCOMPARE(clipboard->mimeData()->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));
    QTRY_VERIFY_WITH_TIMEOUT(clipboard->text().isEmpty(), 3000);
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Clipboard cleared"));

    // The Copy button (and Ctrl+Shift+C) puts it back; what another program copied stays.
    QTest::keyClick(window.get(), Qt::Key_C, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_COMPARE(clipboard->text(), password);   // a button's shortcut presses it visibly first
    clipboard->setText(QStringLiteral("someone else's"));
    QTest::qWait(600);
    QCOMPARE(clipboard->text(), QStringLiteral("someone else's"));
    QVERIFY(window->statusBar()->currentMessage() != QLatin1String("Clipboard cleared"));
    child<QPushButton>("copybutton")->click();
    window.reset();
    QVERIFY(clipboard->text().isEmpty());   // cleared on quit
}

void TestMainWindow::phraseStrengthMeter()
{
    auto *meter = child<QLabel>("phrasestrength");
    const QList<QPair<QString, QString>> rows{
        {QStringLiteral("hello"), QStringLiteral("5.8 bits, poor")},
        {QStringLiteral("correct horse battery staple"), QStringLiteral("70.3 bits, weak")},
    };
    for (const auto &row : rows) {
        child<QTextEdit>("inputtext")->setPlainText(row.first);
        QTRY_COMPARE(meter->text(), "Phrase strength: " + row.second);
    }
    child<QComboBox>("schemecombo")->setCurrentIndex(1);
    QCOMPARE(meter->text(), QStringLiteral("Phrase strength: does not protect compatible passwords"));
}

void TestMainWindow::peerSchemes()
{
    const auto combo = [this](const char *name, const QString &text) {
        auto *box = child<QComboBox>(name);
        box->setCurrentIndex(box->findText(text));
        if (box->currentText() != text)
            qFatal("no %s in %s", qPrintable(text), name);
    };
    // Every vector of both projects, typed into the window's fields.
    int rows = 0;
    child<QComboBox>("schemecombo")->setCurrentIndex(2);
    QVERIFY(child<QWidget>("loginedit")->isVisible() && !child<QWidget>("usernameedit")->isVisible());
    for (const QStringList &f : readTsv(QStringLiteral("lesspass-passwords.tsv"))) {
        child<QLineEdit>("pword_identifier_le")->setText(f.value(0));
        child<QLineEdit>("loginedit")->setText(f.value(1));
        child<QTextEdit>("inputtext")->setPlainText(f.value(2));
        child<QCheckBox>("lesspasslowercasebox")->setChecked(f.value(3).contains('a'));
        child<QCheckBox>("lesspassuppercasebox")->setChecked(f.value(3).contains('A'));
        child<QCheckBox>("lesspassdigitsbox")->setChecked(f.value(3).contains('9'));
        child<QCheckBox>("lesspasssymbolsbox")->setChecked(f.value(3).contains('!'));
        child<QSpinBox>("lesspasslengthspinbox")->setValue(f.value(4).toInt());
        child<QDoubleSpinBox>("lesspasscounterspinbox")->setValue(f.value(5).toDouble());
        QVERIFY(generate().isEmpty());
        QCOMPARE(child<QLineEdit>("passwordoutput")->text(), f.value(6));
        ++rows;
    }
    child<QComboBox>("schemecombo")->setCurrentIndex(3);
    QVERIFY(!child<QWidget>("plengthspinbox")->isVisible() && child<QWidget>("templatecombo")->isVisible());
    const QStringList purposes{"password", "login name", "security answer"};
    for (const QStringList &f : readTsv(QStringLiteral("spectre-passwords.tsv"))) {
        child<QSpinBox>("algorithmspinbox")->setValue(f.value(0).toInt());
        child<QLineEdit>("usernameedit")->setText(f.value(1));
        child<QTextEdit>("inputtext")->setPlainText(f.value(2));
        child<QLineEdit>("pword_identifier_le")->setText(f.value(3));
        combo("purposecombo", purposes.value(QStringList{"password", "login", "answer"}.indexOf(f.value(6))));
        combo("templatecombo", f.value(4));
        child<QDoubleSpinBox>("spectrecounterspinbox")->setValue(f.value(5).toDouble());
        child<QLineEdit>("contextedit")->setText(f.value(7));
        QVERIFY(generate().isEmpty());
        QCOMPARE(child<QLineEdit>("passwordoutput")->text(), f.value(8));
        ++rows;
    }
    QCOMPARE(rows, 12 + 83);

    // Saved with every field and retrieved into the same panel.
    QCOMPARE(answerModals([this] { child<QAction>("actionSave")->trigger(); }).value(0).className,
             QStringLiteral("addprodialog"));
    const QString saved = child<QLineEdit>("pword_identifier_le")->text();
    child<QPushButton>("clear_parameters")->setFocus();
    child<QPushButton>("clear_parameters")->click();
    QVERIFY(child<QLineEdit>("usernameedit")->text().isEmpty());
    answerModals([this] { child<QAction>("actionRetrieve")->trigger(); }, [](QWidget *dialog) {
        dialog->findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
        return true;
    });
    // The phrase box has the focus after a retrieve: what is typed next is the phrase.
    QTRY_COMPARE(window->focusWidget(), static_cast<QWidget *>(child<QTextEdit>("inputtext")));
    QCOMPARE(child<QComboBox>("schemecombo")->currentText(), QStringLiteral("Spectre"));
    QCOMPARE(child<QLineEdit>("pword_identifier_le")->text(), saved);
    const QStringList last = readTsv(QStringLiteral("spectre-passwords.tsv")).constLast();
    QCOMPARE(child<QLineEdit>("usernameedit")->text(), last.value(1));
    QCOMPARE(child<QComboBox>("templatecombo")->currentText(), last.value(4));
    child<QTextEdit>("inputtext")->setPlainText(last.value(2));
    QVERIFY(generate().isEmpty());
    QCOMPARE(child<QLineEdit>("passwordoutput")->text(), last.value(8));

    // A missing user name is refused with a message that says so.
    child<QLineEdit>("usernameedit")->clear();
    const QList<ModalSeen> seen = generate();
    QCOMPARE(seen.value(0).className, QStringLiteral("badrule"));
    QVERIFY(seen.value(0).text.contains(QLatin1String("user name")));
}

void TestMainWindow::siteRules()
{
    auto *rules = child<QComboBox>("rulecombo");
    auto *text = child<QLineEdit>("ruletextedit");
    auto *length = child<QSpinBox>("plengthspinbox");
    auto *offer = child<QPushButton>("siterulebutton");
    auto *identifier = child<QLineEdit>("pword_identifier_le");
    child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("hello"));

    // Every vector row, typed into the field.
    rules->setCurrentIndex(5);
    QVERIFY(text->isVisible());
    for (const QStringList &row : readTsv(QStringLiteral("site-rules.tsv"))) {
        if (row.value(0) != QLatin1String("00680065006c006c006f"))
            continue;   // "hello": the phrase field drops nothing of it
        identifier->setText(fromHexUnits(row.value(1)));
        text->setText(row.value(3));
        length->setValue(row.value(2).toInt());
        child<QSpinBox>("counterspinbox")->setValue(row.value(4).toInt());
        QVERIFY(generate().isEmpty());
        QCOMPARE(child<QLineEdit>("passwordoutput")->text(), row.value(5));
        QCOMPARE(child<QLineEdit>("entropyout")->text(), row.value(6));
        QCOMPARE(text->text(), row.value(7));   // shown canonical
    }
    child<QSpinBox>("counterspinbox")->setValue(1);

    // A bad rule, or one without passwords at the length, gets a notice and no password.
    for (const QString &bad : {QStringLiteral("required: letters"), QStringLiteral("allowed: [a]; max-consecutive: 1")}) {
        text->setText(bad);
        const QList<ModalSeen> seen = generate();
        QCOMPARE(seen.size(), 1);
        QVERIFY(child<QLineEdit>("passwordoutput")->text().isEmpty());
    }

    // The offer: only for a known site while the characters are the default, and never taken
    // by itself.
    rules->setCurrentIndex(0);
    length->setValue(4);
    identifier->setText(QStringLiteral("https://www.example.com/login"));
    QVERIFY(offer->isVisible());
    QCOMPARE(offer->text(), QStringLiteral("Use the password rules of example.com"));
    QVERIFY(offer->toolTip().contains(QLatin1String("maxlength: 20;")));
    QVERIFY(offer->toolTip().contains(QLatin1String("password-rules.json")));
    QCOMPARE(rules->currentIndex(), 0);
    rules->setCurrentIndex(2);
    QVERIFY(!offer->isVisible());
    rules->setCurrentIndex(0);
    identifier->setText(QStringLiteral("example.com"));
    offer->click();
    QCOMPARE(rules->currentIndex(), 5);
    QCOMPARE(text->text(), QStringLiteral("required: lower, upper; required: digit; allowed: lower, upper, digit, "
                                          "[!#$%&*@^]; minlength: 8; maxlength: 20;"));
    QCOMPARE(length->value(), 20);   // the longest the rule allows, as --rule=site takes it
    QCOMPARE(length->minimum(), 8);
    // A long rule shows its start; the whole of it is in the tooltip.
    QCOMPARE(text->cursorPosition(), 0);
    QCOMPARE(text->toolTip(), text->text());
    QVERIFY(!offer->isVisible());
    QVERIFY(generate().isEmpty());
    QCOMPARE(child<QLineEdit>("passwordoutput")->text(), QStringLiteral("hTcfvOYzAE&MhLcHw9F0"));

    // Saved with its rule, retrieved as Site rules with the same text and length.
    QVERIFY(answerModals([this] { child<QAction>("actionSave")->trigger(); }).size() == 1);
    child<QPushButton>("clear_parameters")->click();
    QCOMPARE(length->maximum(), 32);
    answerModals([this] { child<QAction>("actionRetrieve")->trigger(); }, [](QWidget *dialog) {
        dialog->findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
        return true;
    });
    QCOMPARE(rules->currentIndex(), 5);
    QCOMPARE(text->text().right(14), QStringLiteral("maxlength: 20;"));
    QCOMPARE(text->cursorPosition(), 0);
    QCOMPARE(text->toolTip(), text->text());
    QCOMPARE(length->value(), 20);
}

void TestMainWindow::importFromMenu()
{
    const QString list = home->path() + QStringLiteral("/profiles.json");
    writeFile(list, R"({"results": [{"site": "example.org", "login": "me", "length": 12}, {"site": "x", "version": 1}]})");
    QStringList filters;
    auto chooseList = [&](QWidget *modal) {
        auto *chooser = qobject_cast<QFileDialog *>(modal);
        if (!chooser)
            return false;
        filters = chooser->nameFilters();
        chooser->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(list);   // typed, as a user may
        static_cast<QDialog *>(chooser)->accept();
        return true;
    };
    QList<ModalSeen> seen = answerModals([this] { child<QAction>("actionImport")->trigger(); }, chooseList);
    QCOMPARE(seen.size(), 2);
    QVERIFY(filters.join(' ').contains(QLatin1String("(*.mpsites *.mpjson)")));
    QVERIFY2(seen.at(1).text.contains(QLatin1String("Imported 1, already saved 0, skipped 1.")), qPrintable(seen.at(1).text));
    QVERIFY(seen.at(1).text.contains(QLatin1String("Skipped x: a LessPass version 1 profile")));
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("example.org|12|lesspass|aA9!|1|me\r\n"));

    // Cancelled: nothing changes, no notice.
    seen = answerModals([this] { child<QAction>("actionImport")->trigger(); });
    QCOMPARE(seen.size(), 1);
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("example.org|12|lesspass|aA9!|1|me\r\n"));
}

void TestMainWindow::panelsKeepTheirOwn()
{
    auto *combo = child<QComboBox>("schemecombo");
    const int startWidth = window->width();
    // A LessPass user chooses LessPass, types the phrase and the site, and presses Enter: the
    // password is LessPass's, from its own defaults.
    combo->setCurrentIndex(2);
    QCOMPARE(child<QSpinBox>("lesspasslengthspinbox")->value(), 16);
    QTest::keyClicks(child<QTextEdit>("inputtext"), QStringLiteral("password"));
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("example.org"));
    child<QLineEdit>("loginedit")->setText(QStringLiteral("me"));
    answerModals([this] { QTest::keyClick(child<QLineEdit>("pword_identifier_le"), Qt::Key_Return); });
    Recipe lessPass = Recipe::defaults(Scheme::LessPass);
    lessPass.identifier = QStringLiteral("example.org");
    lessPass.login = QStringLiteral("me");
    QCOMPARE(child<QLineEdit>("passwordoutput")->text(), lessPass.derive(QStringLiteral("password")));

    // The longest password, LessPass's 35 characters, shows whole at the window's starting size:
    // its end is as far from its start as the text is wide, with no scrolling between.
    child<QSpinBox>("lesspasslengthspinbox")->setValue(35);
    QVERIFY(generate().isEmpty());
    auto *output = child<QLineEdit>("passwordoutput");
    QCOMPARE(output->text().size(), 35);
    QCOMPARE(window->width(), startWidth);
    output->home(false);
    const int start = output->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
    output->end(false);
    QCOMPARE(output->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x() - start, output->fontMetrics().horizontalAdvance(output->text()));
    child<QSpinBox>("lesspasslengthspinbox")->setValue(16);

    // Each panel keeps its values while another is chosen; the original length box stays at 4.
    // The window keeps one width for every scheme, and the phrase box its height.
    const int phraseHeight = child<QTextEdit>("inputtext")->height();
    for (int scheme : {0, 3, 1, 2, 3, 2, 0}) {
        combo->setCurrentIndex(scheme);
        QApplication::processEvents();
        QCOMPARE(window->width(), startWidth);
        QVERIFY(startWidth <= 1024);
        QCOMPARE(child<QTextEdit>("inputtext")->height(), phraseHeight);
    }
    QCOMPARE(child<QLineEdit>("loginedit")->text(), QStringLiteral("me"));
    combo->setCurrentIndex(1);
    QCOMPARE(child<QSpinBox>("plengthspinbox")->value(), 4);
    combo->setCurrentIndex(0);
    QCOMPARE(child<QSpinBox>("plengthspinbox")->value(), 16);

    // A LessPass counter past 2^31 comes back from its profile whole.
    ProfileFile::append(home->profileFile(), QStringLiteral("example.org|16|lesspass|aA9!|3000000000|me"));
    answerModals([this] { child<QAction>("actionRetrieve")->trigger(); }, [](QWidget *dialog) {
        dialog->findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
        return true;
    });
    QCOMPARE(combo->currentIndex(), 2);
    QCOMPARE(child<QDoubleSpinBox>("lesspasscounterspinbox")->value(), 3000000000.0);
    QVERIFY(generate().isEmpty());
    lessPass.counter = 3000000000u;
    QCOMPARE(child<QLineEdit>("passwordoutput")->text(), lessPass.derive(QStringLiteral("password")));
}

void TestMainWindow::eyeAndTabOrder()
{
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    auto *phrase = child<QTextEdit>("inputtext");
    auto *view = child<FingerprintView>("fingerprintview");
    QTest::keyClicks(phrase, QStringLiteral("hello"));
    QVERIFY(generate().isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!view->isPending(), 20000);
    const QString password = child<QLineEdit>("passwordoutput")->text();
    const QString fingerprint = view->text();
    // Showing and hiding the phrase changes nothing else.
    for (int click = 0; click < 2; ++click) {
        child<QToolButton>("showphrasebutton")->click();
        QCOMPARE(child<QLineEdit>("passwordoutput")->text(), password);
        QVERIFY(!child<QLineEdit>("entropyout")->text().isEmpty());
        QVERIFY(!view->isPending());
        QCOMPARE(view->text(), fingerprint);
    }
    QCOMPARE(phrase->toPlainText().size(), 5);

    // The button says what a press will do.
    auto *show = child<QToolButton>("showphrasebutton");
    QCOMPARE(show->text(), QStringLiteral("Show"));
    QCOMPARE(show->accessibleName(), QStringLiteral("Show phrase"));
    show->click();
    QCOMPARE(show->text(), QStringLiteral("Hide"));
    QCOMPARE(show->accessibleName(), QStringLiteral("Hide phrase"));
    QCOMPARE(phrase->toPlainText(), QStringLiteral("hello"));
    show->click();
    QCOMPARE(show->text(), QStringLiteral("Show"));

    // Tab: phrase, identifier, Show, scheme, the panel's fields in reading order, Generate, Copy:
    // a site typed after a Tab from the phrase lands in the identifier.
    const QList<QStringList> orders{
        {"plengthspinbox", "rulecombo", "counterspinbox"},
        {"loginedit", "lesspasslengthspinbox", "lesspasslowercasebox", "lesspassuppercasebox", "lesspassdigitsbox",
         "lesspasssymbolsbox", "lesspasscounterspinbox"},
        {"usernameedit", "purposecombo", "templatecombo", "algorithmspinbox", "spectrecounterspinbox"},
    };
    for (int i = 0; i < orders.size(); ++i) {
        child<QComboBox>("schemecombo")->setCurrentIndex(i == 0 ? 0 : i + 1);
        child<QLineEdit>("usernameedit")->setText(QStringLiteral("n"));
        QVERIFY(generate().isEmpty());
        QStringList expected = QStringList{"inputtext", "pword_identifier_le", "showphrasebutton", "schemecombo"}
                               + orders.at(i) + QStringList{"generatepass", "copybutton"};
        phrase->setFocus();
        QStringList seen{QApplication::focusWidget()->objectName()};
        while (seen.size() < expected.size()) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            seen << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(seen, expected);
    }
}

void TestMainWindow::phraseAsTypedForEveryScheme()
{
    // The window and the CLI give the same password from the same phrase, for every scheme;
    // the compatible scheme alone reads the phrase as the original program's box gave it.
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("site"));
    child<QLineEdit>("usernameedit")->setText(QStringLiteral("n"));
    const QStringList options{"--user-name=n"};
    const QStringList typed{QStringLiteral("pass\u00a0word"), QStringLiteral("a\u2028b"), QStringLiteral("a\u2029b"),
                            QStringLiteral("a\nb")};
    const QList<Scheme> schemes{Scheme::Strong, Scheme::Compatible, Scheme::LessPass, Scheme::Spectre};
    for (int s = 0; s < schemes.size(); ++s) {
        child<QComboBox>("schemecombo")->setCurrentIndex(s);
        QStringList passwords;
        for (const QString &phrase : typed) {
            auto *box = child<QTextEdit>("inputtext");
            child<QPushButton>("clear_parameters")->click();
            child<QComboBox>("schemecombo")->setCurrentIndex(s);
            child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("site"));
            child<QLineEdit>("usernameedit")->setText(QStringLiteral("n"));
            QTest::keyClicks(box, phrase.left(1));
            QGuiApplication::clipboard()->setText(phrase.mid(1));   // the rest pasted
            QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
            QVERIFY(generate().isEmpty());
            const QString shown = child<QLineEdit>("passwordoutput")->text();
            QStringList args{"derive", "-i", "site", "--exact", "--scheme=" + Schemes::name(schemes.at(s))};
            if (schemes.at(s) == Scheme::Spectre)
                args += options;
            QProcess cli;
            cli.start(QStringLiteral(QUORVANE_CLI), args);
            cli.write(phrase.toUtf8());
            cli.closeWriteChannel();
            QVERIFY(cli.waitForFinished(30000));
            QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()).trimmed(), shown);
            passwords << shown;
        }
        // Only the compatible scheme gives "pass word" and the separators as line breaks.
        const bool converted = schemes.at(s) == Scheme::Compatible;
        QCOMPARE(passwords.at(1) == passwords.at(3) && passwords.at(2) == passwords.at(3), converted);
    }
}

void TestMainWindow::ratingAndNotices()
{
    // The shortest length gives a poor password, and the window says so, in red, beside it.
    auto *quality = child<QLabel>("passwordquality");
    child<QSpinBox>("plengthspinbox")->setValue(4);
    child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("hello"));
    QVERIFY(generate().isEmpty());
    QCOMPARE(child<QLineEdit>("entropyout")->text(), QStringLiteral("24"));
    QCOMPARE(quality->text(), QStringLiteral("bits, poor"));
    QVERIFY(quality->styleSheet().contains(QLatin1String("#b00020")));
    QCOMPARE(quality->accessibleDescription(), QStringLiteral("24 bits, poor"));
    QVERIFY(!quality->accessibleName().isEmpty());
    child<QSpinBox>("plengthspinbox")->setValue(20);
    QVERIFY(quality->text().isEmpty());   // it goes with the password
    QVERIFY(generate().isEmpty());
    QCOMPARE(quality->text(), QStringLiteral("bits, excellent"));

    // Each problem its own notice, in the words of what the window shows.
    const QList<QPair<std::function<void()>, QString>> problems{
        {[this] {
             child<QComboBox>("schemecombo")->setCurrentIndex(2);
             for (const char *box : {"lesspasslowercasebox", "lesspassuppercasebox", "lesspassdigitsbox", "lesspasssymbolsbox"})
                 child<QCheckBox>(box)->setChecked(false);
         },
         QStringLiteral("Tick at least one of LessPass's character boxes (a-z, A-Z, 0-9, Symbols).")},
        {[this] { child<QComboBox>("schemecombo")->setCurrentIndex(3); },
         QStringLiteral("Spectre needs the user name (its \"full name\").")},
        {[this] {
             child<QComboBox>("schemecombo")->setCurrentIndex(0);
             child<QComboBox>("rulecombo")->setCurrentIndex(5);
             child<QLineEdit>("ruletextedit")->setText(QStringLiteral("minlength: 40"));
         },
         QStringLiteral("The rule allows no length from 4 to 32.")},
        {[this] { child<QLineEdit>("ruletextedit")->clear(); },
         QStringLiteral("The Site rules field is empty: type or paste the site's password rules.")},
    };
    for (const auto &problem : problems) {
        problem.first();
        const QList<ModalSeen> seen = generate();
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.at(0).text.trimmed(), problem.second);
    }
    QCOMPARE(child<QLabel>("siterulelabel")->text(), QStringLiteral("Site rules"));

    // The strength dialog speaks of the chosen scheme's own cost of a guess.
    const QList<QPair<int, QString>> costs{{0, QStringLiteral("Argon2id")}, {1, QStringLiteral("protects nothing")},
                                           {2, QStringLiteral("PBKDF2")}, {3, QStringLiteral("scrypt")}};
    for (const auto &cost : costs) {
        child<QComboBox>("schemecombo")->setCurrentIndex(cost.first);
        QString explanation;
        answerModals([this] { child<QAction>("actionCalculate_Password_Strength")->trigger(); }, [&](QWidget *dialog) {
            explanation = dialog->findChild<QLabel *>(QStringLiteral("explanation"))->text();
            return false;
        });
        QVERIFY2(explanation.contains(cost.second), qPrintable(explanation));
    }
}

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
