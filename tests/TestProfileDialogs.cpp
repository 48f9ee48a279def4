#include "deletedialog.h"
#include "listdialog.h"
#include "main.h"
#include "profilerows.h"
#include "profilestate.h"
#include "profilefile.h"
#include "testsupport.h"
#include "zav.h"

#include <QAction>
#include <QMap>
#include <QScreen>
#include <QCheckBox>
#include <QLockFile>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTextEdit>
#include <QtTest>

#include <sys/stat.h>

using namespace TestSupport;

class TestProfileDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void saveOutcomes();
    void saveFailureIsReported();
    void retrieveCopiesOnlyOnRetrieve();
    void retrieveSchemes();
    void rowsInListWidgetOrder();
    void emptyFileShowsNoRows();
    void deleteRewrites();
    void deleteCloseLeavesFile();
    void deleteFailureIsReported();
    void profileRoundTrip();
    void storeProblemsAreReported();
    void rulesAndVersionsRoundTrip();
    void keysAndDoubleClicks();
    void filterNarrowsRows();
    void rowsReadable();
    void syncCopyMergedOnSave();

private:
    template<class T>
    T *child(const char *name) const { return window->findChild<T *>(QString::fromLatin1(name)); }
    void setForm(const QString &identifier, int length, int scheme = 1);
    QList<ModalSeen> trigger(const char *action, const std::function<bool(QWidget *)> &act = {});
    static QStringList rowsOf(QWidget *dialog);
    static std::function<bool(QWidget *)> press(const char *button, const QString &row = QString());

    std::unique_ptr<TempHome> home;
    std::unique_ptr<zav> window;
};

void TestProfileDialogs::init()
{
    home.reset(new TempHome);
    window.reset(new zav);
    window->show();
    Start_up();
}

void TestProfileDialogs::cleanup()
{
    window.reset();
    home.reset();
}

void TestProfileDialogs::setForm(const QString &identifier, int length, int scheme)
{
    // The scheme first: the strong and compatible schemes keep a length each.
    child<QLineEdit>("pword_identifier_le")->setText(identifier);
    child<QComboBox>("schemecombo")->setCurrentIndex(scheme);
    child<QSpinBox>("plengthspinbox")->setValue(length);
}

QList<ModalSeen> TestProfileDialogs::trigger(const char *action, const std::function<bool(QWidget *)> &act)
{
    return answerModals([&] { child<QAction>(action)->trigger(); }, act);
}

QStringList TestProfileDialogs::rowsOf(QWidget *dialog)
{
    QStringList rows;
    auto *list = dialog->findChild<QListWidget *>(QStringLiteral("listWidget"));
    for (int i = 0; i < list->count(); ++i)
        rows << ProfileRows::rowOf(list->item(i));
    return rows;
}

namespace {

// The item that stands for the profile line.
QListWidgetItem *itemOf(QListWidget *list, const QString &row)
{
    for (int i = 0; i < list->count(); ++i) {
        if (ProfileRows::rowOf(list->item(i)) == row)
            return list->item(i);
    }
    return nullptr;
}

}

// Chooses `row` (when given) in a profile dialog and presses `button`; other windows are
// closed as usual.
std::function<bool(QWidget *)> TestProfileDialogs::press(const char *button, const QString &row)
{
    return [button, row](QWidget *w) {
        auto *list = w->findChild<QListWidget *>(QStringLiteral("listWidget"));
        if (!list)
            return false;
        if (!row.isNull()) {
            QListWidgetItem *item = itemOf(list, row);
            if (!item)
                qFatal("no row %s", qPrintable(row));
            list->setCurrentItem(item);
        }
        w->findChild<QPushButton *>(QString::fromLatin1(button))->click();
        return true;
    };
}

void TestProfileDialogs::saveOutcomes()
{
    TraceCapture trace;
    setForm(QStringLiteral("bank"), 12);
    QList<ModalSeen> seen = trigger("actionSave");
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.at(0).className, QStringLiteral("addprodialog"));
    QCOMPARE(trace.messages(), (QStringList{"*************  beginning of Save module ***********************",
                                            "Read loop just completed and list qstring created",
                                            "value of list var immediately after loop", "\"\"",
                                            "\"bank\"", "\"12\"", "Action Save called"}));

    // Whole lines only: "bank|12" saved does not block "ank|12", and a saved line is refused.
    setForm(QStringLiteral("ank"), 12);
    QCOMPARE(trigger("actionSave").value(0).className, QStringLiteral("addprodialog"));
    setForm(QStringLiteral("bank"), 12);
    QCOMPARE(trigger("actionSave").value(0).className, QStringLiteral("savedalready"));
    setForm(QStringLiteral("Bank"), 12);
    QCOMPARE(trigger("actionSave").value(0).className, QStringLiteral("addprodialog"));
    setForm(QStringLiteral("bank"), 12, 0);
    QCOMPARE(trigger("actionSave").value(0).className, QStringLiteral("addprodialog"));

    for (const QString &bad : {QString(), QStringLiteral("|x"), QStringLiteral("x|y"), QStringLiteral("x|")}) {
        setForm(bad, 9);
        seen = trigger("actionSave");
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.at(0).className, QStringLiteral("empty"));
        QCOMPARE(pword_identifier, bad);
        QCOMPARE(pword_length, 9);
    }
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("bank|12\r\nank|12\r\nBank|12\r\nbank|12|strong\r\n"));
    const QStringList messages = trace.messages();
    QVERIFY(messages.contains(QStringLiteral("the profile already exists, cannot save")));
    QVERIFY(messages.contains(
        QStringLiteral("the Password Identifier is empty or contains the | character please enter valid value")));
    QVERIFY(messages.contains(QStringLiteral("\"bank|12|strong Bank|12 ank|12 bank|12\"")));
}

void TestProfileDialogs::saveFailureIsReported()
{
    QDir(home->dataFolder()).removeRecursively();
    writeFile(home->path() + QStringLiteral("/Documents/Quorvane"), "a file, not a folder");
    setForm(QStringLiteral("bank"), 12);
    const QList<ModalSeen> seen = trigger("actionSave");
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.at(0).className, QStringLiteral("notsaved"));
    QVERIFY(seen.at(0).text.contains(QLatin1String("could not be saved")));

    // A missing data folder is made again.
    QFile::remove(home->path() + QStringLiteral("/Documents/Quorvane"));
    QCOMPARE(trigger("actionSave").value(0).className, QStringLiteral("addprodialog"));
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("bank|12\r\n"));
}

void TestProfileDialogs::retrieveCopiesOnlyOnRetrieve()
{
    writeFile(home->profileFile(), "zeta|20\r\nmy bank|12\r\n\r\nb|12\r\na|8\r\nx|123\r\n");
    setForm(QStringLiteral("typed"), 7);

    // Close, Escape and the title bar leave the form as it is.
    QStringList rows;
    QList<ModalSeen> seen = trigger("actionRetrieve", [&](QWidget *w) {
        rows = rowsOf(w);
        const auto *list = w->findChild<QListWidget *>(QStringLiteral("listWidget"));
        if (list->currentRow() != 0)
            qFatal("first row not current");
        w->findChild<QPushButton *>(QStringLiteral("pushButton_2"))->click();
        return true;
    });
    QCOMPARE(seen.value(0).title, QStringLiteral("Retrieve Profile"));
    QCOMPARE(rows, (QStringList{"a|8", "b|12", "my bank|12", "x|123", "zeta|20"}));
    trigger("actionRetrieve", [](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); return true; });
    trigger("actionRetrieve");
    QCOMPARE(child<QLineEdit>("pword_identifier_le")->text(), QStringLiteral("typed"));
    QCOMPARE(child<QSpinBox>("plengthspinbox")->value(), 7);

    trigger("actionRetrieve", press("pushButton", QStringLiteral("my bank|12")));
    QCOMPARE(child<QLineEdit>("pword_identifier_le")->text(), QStringLiteral("my bank"));
    QCOMPARE(child<QSpinBox>("plengthspinbox")->value(), 12);
    QCOMPARE(retrieved_identifier, QStringLiteral("my bank"));
    QCOMPARE(pword_identifier, QStringLiteral("my bank"));

    // Only two characters after the "|" are read; the spin box keeps the length in range.
    trigger("actionRetrieve", press("pushButton", QStringLiteral("x|123")));
    QCOMPARE(child<QSpinBox>("plengthspinbox")->value(), 12);
    QCOMPARE(pword_length, 12);
    QCOMPARE(child<QLineEdit>("pword_identifier_le")->text(), QStringLiteral("x"));

    // Retrieving derives nothing and leaves the file alone.
    QVERIFY(child<QLineEdit>("passwordoutput")->text().isEmpty());
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("zeta|20\r\nmy bank|12\r\n\r\nb|12\r\na|8\r\nx|123\r\n"));
}

void TestProfileDialogs::retrieveSchemes()
{
    writeFile(home->profileFile(), "old|16\r\nnew|5|strong\r\n");
    setForm(QStringLiteral("typed"), 7, 0);
    trigger("actionRetrieve", press("pushButton", QStringLiteral("old|16")));
    QCOMPARE(child<QComboBox>("schemecombo")->currentIndex(), 1);
    QCOMPARE(child<QSpinBox>("plengthspinbox")->value(), 16);
    trigger("actionRetrieve", press("pushButton", QStringLiteral("new|5|strong")));
    QCOMPARE(child<QComboBox>("schemecombo")->currentIndex(), 0);
    QCOMPARE(child<QSpinBox>("plengthspinbox")->value(), 5);
    QCOMPARE(child<QLineEdit>("pword_identifier_le")->text(), QStringLiteral("new"));
}

void TestProfileDialogs::rowsInListWidgetOrder()
{
    // The dialogs show rows in the order the list widget's own sort gives.
    const QStringList lines{"zeta|8", "Zeta|8", "alpha|4", QString::fromUtf16(u"\u00c4rger|4"), "_x|8", "10|4",
                            "9|4", " lead|5", "a|8|strong", "a|8", QString::fromUtf16(u"\U0001F511|6"), "~|7"};
    QListWidget reference;
    reference.addItems(lines);
    reference.sortItems(Qt::AscendingOrder);
    QStringList sorted;
    for (int i = 0; i < reference.count(); ++i)
        sorted << reference.item(i)->text();
    QString content;
    for (const QString &line : lines)
        content += line + QStringLiteral("\r\n");
    writeFile(home->profileFile(), content.toUtf8());
    QStringList rows;
    trigger("actionRetrieve", [&](QWidget *w) { rows = rowsOf(w); return false; });
    QCOMPARE(rows, sorted);
    trigger("actionDelete", [&](QWidget *w) { rows = rowsOf(w); return false; });
    QCOMPARE(rows, sorted);
}

void TestProfileDialogs::emptyFileShowsNoRows()
{
    setForm(QStringLiteral("typed"), 7);
    for (bool missing : {false, true}) {
        if (missing)
            QFile::remove(home->profileFile());
        QStringList rows{QStringLiteral("unset")};
        trigger("actionRetrieve", [&](QWidget *w) {
            rows = rowsOf(w);
            w->findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
            return true;
        });
        QVERIFY(rows.isEmpty());
        QCOMPARE(child<QLineEdit>("pword_identifier_le")->text(), QStringLiteral("typed"));
        QCOMPARE(child<QSpinBox>("plengthspinbox")->value(), 7);

        trigger("actionDelete", [&](QWidget *w) {
            rows = rowsOf(w);
            w->findChild<QPushButton *>(QStringLiteral("deletebutton"))->click();
            return true;
        });
        QVERIFY(rows.isEmpty());
        QCOMPARE(QFileInfo::exists(home->profileFile()), !missing);
    }
}

void TestProfileDialogs::deleteRewrites()
{
    writeFile(home->profileFile(), "L1|8\r\n\r\nmy bank|12\r\nbank|12\r\nmybank|12\r\nbank|12\r\nL3|4\r\n");
    QStringList rows;
    TraceCapture trace;
    const QList<ModalSeen> seen = trigger("actionDelete", [&](QWidget *w) {
        rows = rowsOf(w);
        return press("deletebutton", QStringLiteral("bank|12"))(w);
    });
    QCOMPARE(seen.value(0).title, QStringLiteral("Delete Profile"));
    QCOMPARE(seen.size(), 1);   // no notice after a delete that worked
    QCOMPARE(rows, (QStringList{"L1|8", "L3|4", "bank|12", "bank|12", "my bank|12", "mybank|12"}));
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("L1|8\r\n\r\nmy bank|12\r\nmybank|12\r\nL3|4\r\n"));
    // The status bar says what went.
    QCOMPARE(window->statusBar()->currentMessage(), QStringLiteral("Deleted the profile ") + ProfileFile::rowLabel("bank|12"));
    QVERIFY(trace.messages().contains(QStringLiteral("stringlist after replace-delete entry")));
    QVERIFY(trace.messages().contains(QStringLiteral("(\"L1|8\", \"\", \"my bank|12\", \"mybank|12\", \"L3|4\")")));

    trigger("actionDelete", press("deletebutton", QStringLiteral("my bank|12")));
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("L1|8\r\n\r\nmybank|12\r\nL3|4\r\n"));
}

void TestProfileDialogs::deleteCloseLeavesFile()
{
    const QByteArray content("b|12\r\r\na|8\nlast|9");
    writeFile(home->profileFile(), content);
    trigger("actionDelete", press("pushButton"));
    trigger("actionDelete", [](QWidget *w) { QTest::keyClick(w, Qt::Key_Escape); return true; });
    trigger("actionDelete");
    QCOMPARE(fileBytes(home->profileFile()), content);
    QVERIFY(window->statusBar()->currentMessage().isEmpty());
}

void TestProfileDialogs::deleteFailureIsReported()
{
    // A file that can be read but not replaced, even by root (see TestProfileFile).
    profile_file_path = QStringLiteral("/proc/self/comm");
    QStringList lines;
    QCOMPARE(ProfileFile::readLines(profile_file_path, &lines), ProfileFile::ReadStatus::Read);
    const QList<ModalSeen> seen = trigger("actionDelete", press("deletebutton", lines.value(0)));
    QCOMPARE(seen.size(), 2);
    QCOMPARE(seen.at(1).className, QStringLiteral("notdeleted"));
    QVERIFY(seen.at(1).text.contains(QLatin1String("could not be deleted")));
    QVERIFY(!window->statusBar()->currentMessage().contains(QLatin1String("Deleted")));
}

void TestProfileDialogs::profileRoundTrip()
{
    // Save, retrieve and generate give back the password made before, for both schemes.
    for (int scheme : {0, 1}) {
        child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("hello"));
        setForm(QStringLiteral("bank"), 16, scheme);
        answerModals([this] { child<QPushButton>("generatepass")->click(); });
        const QString password = child<QLineEdit>("passwordoutput")->text();
        QCOMPARE(trigger("actionSave").value(0).className, QStringLiteral("addprodialog"));
        child<QPushButton>("clear_parameters")->click();
        child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("hello"));
        trigger("actionRetrieve", press("pushButton", scheme == 0 ? QStringLiteral("bank|16|strong") : QStringLiteral("bank|16")));
        answerModals([this] { child<QPushButton>("generatepass")->click(); });
        QCOMPARE(child<QLineEdit>("passwordoutput")->text(), password);
    }
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("bank|16|strong\r\nbank|16\r\n"));
}

void TestProfileDialogs::storeProblemsAreReported()
{
    // An identifier whose line would not read back: its own notice, nothing written; generating
    // from it still works.
    writeFile(home->profileFile(), "a|8\r\n");
    for (const QString &bad : {QStringLiteral("evil\nmail"), QStringLiteral("tab\tx"), QString(QChar(0xFEFF)) + "k"}) {
        setForm(bad, 8);
        const QList<ModalSeen> seen = trigger("actionSave");
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.at(0).className, QStringLiteral("notstorable"));
        QVERIFY(seen.at(0).text.contains(QLatin1String("cannot be saved")));
    }
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("a|8\r\n"));
    child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("hello"));
    QVERIFY(answerModals([this] { child<QPushButton>("generatepass")->click(); }).isEmpty());
    QVERIFY(!child<QLineEdit>("passwordoutput")->text().isEmpty());

    // Another writer holds the file: the save waits, then says so and changes nothing.
    {
        QLockFile lock(home->profileFile() + QStringLiteral(".lock"));
        QVERIFY(lock.tryLock(0));
        setForm(QStringLiteral("b"), 8);
        QCOMPARE(trigger("actionSave").value(0).className, QStringLiteral("filebusy"));
    }
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("a|8\r\n"));

    // The lock is let go before a notice shows: a notice left open keeps no writer out.
    setForm(QStringLiteral("c"), 8);
    bool lockFree = false;
    const QList<ModalSeen> saved = trigger("actionSave", [&](QWidget *w) {
        QLockFile other(home->profileFile() + QStringLiteral(".lock"));
        lockFree = other.tryLock(0);
        w->close();
        return true;
    });
    QCOMPARE(saved.value(0).className, QStringLiteral("addprodialog"));
    QVERIFY(lockFree);

    // A profile file that is a pipe: every action says so at once instead of hanging.
    QFile::remove(home->profileFile());
    QCOMPARE(mkfifo(QFile::encodeName(home->profileFile()).constData(), 0600), 0);
    for (const char *action : {"actionSave", "actionRetrieve", "actionDelete"}) {
        const QList<ModalSeen> seen = trigger(action);
        QCOMPARE(seen.size(), 1);
        QCOMPARE(seen.at(0).className, QStringLiteral("notread"));
        QVERIFY(seen.at(0).text.contains(QLatin1String("not a plain file")));
    }
}

void TestProfileDialogs::rulesAndVersionsRoundTrip()
{
    auto *rules = child<QComboBox>("rulecombo");
    auto *version = child<QSpinBox>("counterspinbox");
    // A preset with a version, a custom rule with own symbols, and today's line for base64 and 1.
    setForm(QStringLiteral("bank"), 16, 0);
    rules->setCurrentIndex(1);
    version->setValue(2);
    QCOMPARE(trigger("actionSave").value(0).className, QStringLiteral("addprodialog"));
    QCOMPARE(trigger("actionSave").value(0).className, QStringLiteral("savedalready"));
    setForm(QStringLiteral("shop"), 12, 0);
    rules->setCurrentIndex(4);
    child<QCheckBox>("uppercasebox")->setChecked(false);
    child<QLineEdit>("symbolsedit")->setText(QStringLiteral(".,;"));
    version->setValue(1);
    QCOMPARE(trigger("actionSave").value(0).className, QStringLiteral("addprodialog"));
    setForm(QStringLiteral("plain"), 8, 0);
    rules->setCurrentIndex(0);
    QCOMPARE(trigger("actionSave").value(0).className, QStringLiteral("addprodialog"));
    // A custom rule that is no rule is not saved.
    rules->setCurrentIndex(4);
    for (QCheckBox *box : window->findChildren<QCheckBox *>())
        box->setChecked(false);
    QCOMPARE(trigger("actionSave").value(0).className, QStringLiteral("badrule"));
    QCOMPARE(fileBytes(home->profileFile()),
             QByteArray("bank|16|strong|aA9!|2\r\nshop|12|strong|a9!:.,;|1\r\nplain|8|strong\r\n"));

    // Retrieve sets them back: a preset, or Custom with its boxes and symbols.
    child<QPushButton>("clear_parameters")->click();
    trigger("actionRetrieve", press("pushButton", QStringLiteral("bank|16|strong|aA9!|2")));
    QCOMPARE(rules->currentIndex(), 1);
    QCOMPARE(version->value(), 2);
    QCOMPARE(child<QLineEdit>("pword_identifier_le")->text(), QStringLiteral("bank"));
    child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("hello"));
    answerModals([this] { child<QPushButton>("generatepass")->click(); });
    QCOMPARE(child<QLineEdit>("passwordoutput")->text(), QStringLiteral("/iUL^TV0oBW00:=R"));
    trigger("actionRetrieve", press("pushButton", QStringLiteral("shop|12|strong|a9!:.,;|1")));
    QCOMPARE(rules->currentIndex(), 4);
    QCOMPARE(version->value(), 1);
    QVERIFY(child<QCheckBox>("lowercasebox")->isChecked() && !child<QCheckBox>("uppercasebox")->isChecked());
    QVERIFY(child<QCheckBox>("digitsbox")->isChecked() && child<QCheckBox>("symbolsbox")->isChecked());
    QCOMPARE(child<QLineEdit>("symbolsedit")->text(), QStringLiteral(".,;"));
    trigger("actionRetrieve", press("pushButton", QStringLiteral("plain|8|strong")));
    QCOMPARE(rules->currentIndex(), 0);

    // A five-field line that does not read: listed as it stands, a notice on retrieve, the window
    // unchanged; it can be deleted like any other.
    const QByteArray good = fileBytes(home->profileFile());
    writeFile(home->profileFile(), good + "odd|8|strong|aZ|2\r\nodd|8|strong|aA9|0\r\nbig|16|lesspass|aA9!\r\n");
    version->setValue(5);
    // Each with why, in words: a line that names a scheme is that scheme's or none.
    const QList<QPair<QString, QString>> odd{{"odd|8|strong|aZ|2", "names the strong scheme but is none of its lines"},
                                             {"odd|8|strong|aA9|0", "counter must be a whole number"},
                                             {"big|16|lesspass|aA9!", "names the lesspass scheme"}};
    for (const auto &[row, why] : odd) {
        QStringList listed;
        const QList<ModalSeen> seen = trigger("actionRetrieve", [&](QWidget *w) {
            if (w->metaObject()->className() != QLatin1String("listdialog"))
                return false;
            listed = rowsOf(w);
            if (listed.contains(row)) {
                press("pushButton", row)(w);
                w->close();   // the notice came and went; the user closes the list
            }
            return true;
        });
        QVERIFY(listed.contains(row));
        QCOMPARE(seen.value(1).className, QStringLiteral("badprofile"));
        QVERIFY2(seen.value(1).text.contains(why), qPrintable(why + " / " + seen.value(1).text));
        QCOMPARE(child<QLineEdit>("pword_identifier_le")->text(), QStringLiteral("plain"));
        QCOMPARE(version->value(), 5);
    }
    trigger("actionDelete", press("deletebutton", QStringLiteral("odd|8|strong|aZ|2")));
    trigger("actionDelete", press("deletebutton", QStringLiteral("bank|16|strong|aA9!|2")));
    QCOMPARE(fileBytes(home->profileFile()),
             QByteArray("shop|12|strong|a9!:.,;|1\r\nplain|8|strong\r\nodd|8|strong|aA9|0\r\nbig|16|lesspass|aA9!\r\n"));
}

void TestProfileDialogs::keysAndDoubleClicks()
{
    writeFile(home->profileFile(), "bank|16|strong\r\nmail|20\r\nshop|12|strong\r\n");
    auto onRow = [](QWidget *w, const QString &row) {
        auto *list = w->findChild<QListWidget *>(QStringLiteral("listWidget"));
        list->setCurrentItem(itemOf(list, row));
        QApplication::processEvents();   // the rows are laid out, so a click finds its row
        return list;
    };
    auto isList = [](QWidget *w, const char *name) { return w->metaObject()->className() == QLatin1String(name); };
    // A dialog that its action did not close is closed here and counted.
    QStringList leftOpen;
    auto closeIfOpen = [&](QWidget *w, const QString &what) {
        if (w->isVisible()) {
            leftOpen << what;
            w->close();
        }
    };

    // Retrieve: a double-click on a row, or Enter in the list or the filter, retrieves it.
    trigger("actionRetrieve", [&](QWidget *w) {
        if (!isList(w, "listdialog"))
            return false;
        QListWidget *list = onRow(w, QStringLiteral("mail|20"));
        const QRect cell = list->visualItemRect(list->currentItem());
        // A double-click as the system delivers it: press, release, then press as a double-click.
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, cell.center());
        closeIfOpen(w, QStringLiteral("double-click"));
        return true;
    });
    QCOMPARE(child<QLineEdit>("pword_identifier_le")->text(), QStringLiteral("mail"));
    QCOMPARE(child<QSpinBox>("plengthspinbox")->value(), 20);
    for (const char *target : {"listWidget", "filteredit"}) {
        const QList<ModalSeen> seen = trigger("actionRetrieve", [&](QWidget *w) {
            if (!isList(w, "listdialog"))
                return false;
            onRow(w, QStringLiteral("shop|12|strong"));
            QTest::keyClick(w->findChild<QWidget *>(QString::fromLatin1(target)), Qt::Key_Return);
            closeIfOpen(w, QString::fromLatin1(target));
            return true;
        });
        QCOMPARE(seen.size(), 1);
        QCOMPARE(child<QLineEdit>("pword_identifier_le")->text(), QStringLiteral("shop"));
        child<QLineEdit>("pword_identifier_le")->clear();
    }
    // Escape closes it and changes nothing.
    trigger("actionRetrieve", [&](QWidget *w) {
        if (!isList(w, "listdialog"))
            return false;
        onRow(w, QStringLiteral("bank|16|strong"));
        QTest::keyClick(w->findChild<QWidget *>(QStringLiteral("listWidget")), Qt::Key_Escape);
        closeIfOpen(w, QStringLiteral("escape"));
        return true;
    });
    QVERIFY(child<QLineEdit>("pword_identifier_le")->text().isEmpty());

    // Delete: neither a double-click nor Enter in the list deletes; Enter on the focused button does.
    const QByteArray before = fileBytes(home->profileFile());
    bool stillOpen = false;
    trigger("actionDelete", [&](QWidget *w) {
        if (!isList(w, "deletedialog"))
            return false;
        QListWidget *list = onRow(w, QStringLiteral("mail|20"));
        const QPoint cell = list->visualItemRect(list->currentItem()).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, cell);
        QTest::keyClick(list, Qt::Key_Return);
        QTest::keyClick(w->findChild<QWidget *>(QStringLiteral("filteredit")), Qt::Key_Enter);
        stillOpen = w->isVisible();
        QTest::keyClick(w, Qt::Key_Escape);
        closeIfOpen(w, QStringLiteral("escape in delete"));
        return true;
    });
    QVERIFY(stillOpen);
    QCOMPARE(fileBytes(home->profileFile()), before);
    trigger("actionDelete", [&](QWidget *w) {
        if (!isList(w, "deletedialog"))
            return false;
        onRow(w, QStringLiteral("mail|20"));
        auto *button = w->findChild<QPushButton *>(QStringLiteral("deletebutton"));
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
        closeIfOpen(w, QStringLiteral("enter on delete"));
        return true;
    });
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("bank|16|strong\r\nshop|12|strong\r\n"));
    QCOMPARE(leftOpen, QStringList());
}

void TestProfileDialogs::filterNarrowsRows()
{
    writeFile(home->profileFile(), "My Bank|16|strong\r\nmy bank|12\r\nMY BANK|8\r\nmail|20\r\nbankrupt|9\r\nzeta|4\r\n");
    for (const char *dialogClass : {"listdialog", "deletedialog"}) {
        QStringList shown;
        QString current;
        bool focused = false;
        QString placeholder;
        trigger(dialogClass[0] == 'l' ? "actionRetrieve" : "actionDelete", [&](QWidget *w) {
            if (w->metaObject()->className() != QLatin1String(dialogClass))
                return false;
            auto *filter = w->findChild<QLineEdit *>(QStringLiteral("filteredit"));
            placeholder = filter->placeholderText();
            focused = QApplication::focusWidget() == filter || w->focusWidget() == filter;
            shown << QString::number(rowsOf(w).size());
            // A blank inside, upper and lower case alike, first match current.
            QTest::keyClicks(filter, QStringLiteral("y b"));
            shown << rowsOf(w);
            current = ProfileRows::rowOf(w->findChild<QListWidget *>(QStringLiteral("listWidget"))->currentItem());
            QTest::keyClicks(filter, QStringLiteral("ANK|1"));
            shown << QStringLiteral("--") << rowsOf(w);
            filter->clear();
            shown << QStringLiteral("--") << QString::number(rowsOf(w).size());
            filter->setText(QStringLiteral("nothing like it"));
            shown << QString::number(rowsOf(w).size());
            w->findChild<QPushButton *>(dialogClass[0] == 'l' ? QStringLiteral("pushButton") : QStringLiteral("deletebutton"))->click();
            if (w->isVisible())
                w->close();
            return true;
        });
        QVERIFY2(focused, dialogClass);
        QCOMPARE(placeholder, QStringLiteral("Filter"));
        QCOMPARE(shown, (QStringList{"6", "MY BANK|8", "My Bank|16|strong", "my bank|12", "--", "My Bank|16|strong",
                                     "my bank|12", "--", "6", "0"}));
        QCOMPARE(current, QStringLiteral("MY BANK|8"));
    }
    // Retrieve and Delete on an empty filtered list change nothing.
    QVERIFY(child<QLineEdit>("pword_identifier_le")->text().isEmpty());
    QCOMPARE(fileBytes(home->profileFile()),
             QByteArray("My Bank|16|strong\r\nmy bank|12\r\nMY BANK|8\r\nmail|20\r\nbankrupt|9\r\nzeta|4\r\n"));

    // What Retrieve acts on is the current row of the filtered list.
    trigger("actionRetrieve", [&](QWidget *w) {
        if (w->metaObject()->className() != QLatin1String("listdialog"))
            return false;
        QTest::keyClicks(w->findChild<QLineEdit *>(QStringLiteral("filteredit")), QStringLiteral("rupt"));
        w->findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
        return true;
    });
    QCOMPARE(child<QLineEdit>("pword_identifier_le")->text(), QStringLiteral("bankrupt"));
    QCOMPARE(child<QSpinBox>("plengthspinbox")->value(), 9);
}

void TestProfileDialogs::rowsReadable()
{
    // Every scheme's row as a person reads it, the line itself as its tooltip; the original
    // program's lines and lines that are no profile as they are; wide enough for the longest, up
    // to two thirds of the screen.
    const QString spectre = QStringLiteral("a-site-with-a-rather-long-name.example.com|0|spectre|phrase|2|3|answer|"
                                           "Robert Lee Mitchell|first pet");
    const QList<QPair<QString, QString>> rows{
        {QStringLiteral("bank|16"), QStringLiteral("bank|16")},
        {QStringLiteral("mail|12|strong|aA9!|2"), QStringLiteral("mail: strong, 12, letters digits and symbols, version 2")},
        {QStringLiteral("site.example|16|lesspass|aA9|1|me"), QStringLiteral("site.example: lesspass, 16, aA9, login me")},
        {spectre, QStringLiteral("a-site-with-a-rather-long-name.example.com: spectre, phrase, Robert Lee Mitchell, answer "
                                 "for first pet, counter 2")},
        {QStringLiteral("odd|16|Strong"), QStringLiteral("odd|16|Strong")},
    };
    QString content;
    for (const auto &row : rows)
        content += row.first + QStringLiteral("\r\n");
    writeFile(home->profileFile(), content.toUtf8());
    for (const char *action : {"actionRetrieve", "actionDelete"}) {
        QMap<QString, QString> shown;
        QMap<QString, QString> tips;
        int width = 0;
        int needed = 0;
        trigger(action, [&](QWidget *w) {
            auto *list = w->findChild<QListWidget *>(QStringLiteral("listWidget"));
            if (!list)
                return false;
            for (int i = 0; i < list->count(); ++i) {
                shown.insert(ProfileRows::rowOf(list->item(i)), list->item(i)->text());
                tips.insert(ProfileRows::rowOf(list->item(i)), list->item(i)->toolTip());
                needed = qMax(needed, list->fontMetrics().horizontalAdvance(list->item(i)->text()));
            }
            width = list->viewport()->width();
            // Up to two thirds of the screen, where the longest row would need more.
            needed = qMin(needed, w->screen()->availableGeometry().width() * 2 / 3 - 60);
            w->close();
            return true;
        });
        QCOMPARE(shown.size(), rows.size());
        for (const auto &row : rows) {
            QCOMPARE(shown.value(row.first), row.second);
            QCOMPARE(tips.value(row.first), row.first);
        }
        QVERIFY2(width >= needed, qPrintable(QStringLiteral("%1 < %2").arg(width).arg(needed)));
    }
}

void TestProfileDialogs::syncCopyMergedOnSave()
{
    // A sync tool's copy arrives while the window is open: the next Save merges it first.
    writeFile(home->profileFile(), "a|8\r\n");
    writeFile(home->dataFolder() + QStringLiteral("/zavdata (Alice's conflicted copy 2026-12-08).txt"), "a|8\r\nfrom.laptop|12\r\n");
    setForm(QStringLiteral("bank"), 12);
    QCOMPARE(trigger("actionSave").value(0).className, QStringLiteral("addprodialog"));
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("a|8\r\nfrom.laptop|12\r\nbank|12\r\n"));
    QVERIFY(window->statusBar()->currentMessage().contains(QLatin1String("conflicted copy 2026-12-08).txt, a sync tool's copy")));
    QVERIFY(QFileInfo::exists(home->dataFolder() + QStringLiteral("/conflicts-merged/zavdata (Alice's conflicted copy 2026-12-08).txt")));
}

QTEST_MAIN(TestProfileDialogs)
#include "TestProfileDialogs.moc"
