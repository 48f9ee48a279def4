#include "fingerprintview.h"
#include "hardening.h"
#include "main.h"
#include "profilefile.h"
#include "profilestate.h"
#include "testsupport.h"
#include "zav.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QClipboard>
#include <QComboBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QTextEdit>
#include <QtTest>

#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#ifndef __has_feature
#define __has_feature(x) 0
#endif
#if defined(__SANITIZE_ADDRESS__) || __has_feature(address_sanitizer)
#define QUORVANE_ASAN 1
#endif

using namespace TestSupport;

class TestSecrets : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void clipboardClearsItself();
    void clipboardKeepsOtherText();
    void quitClearsOurPassword();
    void idleClearsSecrets();
    void idleDuringADerivation();
    void windowLockedWhileDeriving();
    void noCoreFiles();
    void privateFiles();
    void memoryHoldsNoSecretAfterClear();
    void phraseAtMost64KiB();

private:
    template<class T>
    T *child(const char *name) const { return window->findChild<T *>(QString::fromLatin1(name)); }
    void makeWindow(SecretTimings timings);
    void generate(const QString &phrase = QStringLiteral("hello"));
    QString status() const { return window->statusBar()->currentMessage(); }

    std::unique_ptr<TempHome> home;
    std::unique_ptr<zav> window;
};

void TestSecrets::init()
{
    home.reset(new TempHome);
    QGuiApplication::clipboard()->clear();
}

void TestSecrets::cleanup()
{
    window.reset();
    home.reset();
}

void TestSecrets::makeWindow(SecretTimings timings)
{
    window.reset(new zav(nullptr, timings));
    window->show();
    Start_up();
}

void TestSecrets::generate(const QString &phrase)
{
    child<QTextEdit>("inputtext")->setPlainText(phrase);
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("bank"));
    child<QSpinBox>("plengthspinbox")->setValue(16);
    QVERIFY(answerModals([this] { child<QPushButton>("generatepass")->click(); }).isEmpty());
}

void TestSecrets::clipboardClearsItself()
{
    makeWindow({1500, 600000});
    generate();
    QClipboard *clipboard = QGuiApplication::clipboard();
    QCOMPARE(clipboard->text(), QStringLiteral("IxzAW0nX/EExEnV2"));
    const QStringList formats = clipboard->mimeData()->formats();
    for (const char *marker : {"x-kde-passwordManagerHint", "ExcludeClipboardContentFromMonitorProcessing",
                               "application/x-nspasteboard-concealed-type"})
        QVERIFY2(formats.contains(QString::fromLatin1(marker)), marker);
    QCOMPARE(clipboard->mimeData()->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));
    QCOMPARE(status(), QStringLiteral("Clipboard clears in 2 s"));
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Clipboard clears in 1 s"), 1500);

    // A new password starts the count again.
    generate(QStringLiteral("hellp"));
    QCOMPARE(status(), QStringLiteral("Clipboard clears in 2 s"));
    const QString second = clipboard->text();
    QVERIFY(second != QStringLiteral("IxzAW0nX/EExEnV2"));
    QTest::qWait(1000);
    QCOMPARE(clipboard->text(), second);
    QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("Clipboard cleared"), 2000);
    QVERIFY(clipboard->text().isEmpty());
    QCOMPARE(child<QLineEdit>("passwordoutput")->text(), second);   // the window keeps showing it

    // The default wait is 20 seconds, and Clear Parameters clears at once.
    window.reset();
    makeWindow(SecretTimings());
    generate();
    QCOMPARE(status(), QStringLiteral("Clipboard clears in 20 s"));
    child<QPushButton>("clear_parameters")->click();
    QVERIFY(clipboard->text().isEmpty());
    QCOMPARE(status(), QStringLiteral("Clipboard cleared"));
}

void TestSecrets::clipboardKeepsOtherText()
{
    makeWindow({300, 600000});
    generate();
    QGuiApplication::clipboard()->setText(QStringLiteral("copied by another program"));
    QTest::qWait(700);
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("copied by another program"));
    QVERIFY(status().isEmpty());
}

void TestSecrets::quitClearsOurPassword()
{
    makeWindow(SecretTimings());
    generate();
    QVERIFY(!QGuiApplication::clipboard()->text().isEmpty());
    window.reset();
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty());

    makeWindow(SecretTimings());
    generate();
    QGuiApplication::clipboard()->setText(QStringLiteral("other"));
    window.reset();
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("other"));
}

void TestSecrets::idleClearsSecrets()
{
    makeWindow({600000, 1500});
    generate();
    QTest::mouseClick(child<QPushButton>("generatepass"), Qt::LeftButton);   // a user's click starts the wait again
    child<QComboBox>("schemecombo")->setCurrentIndex(0);
    // Input keeps the secrets: keys and mouse moves now and then, each before the time is up.
    for (int i = 0; i < 4; ++i) {
        QTest::qWait(300);
        QTest::keyClick(child<QLineEdit>("pword_identifier_le"), Qt::Key_Shift);
        QTest::mouseMove(child<QTextEdit>("inputtext")->viewport(), QPoint(5 + i, 5));
    }
    QCOMPARE(child<QLineEdit>("passwordoutput")->text(), QStringLiteral("IxzAW0nX/EExEnV2"));
    // Then nothing: phrase, password, entropy and the clipboard go; the rest stays.
    QTRY_VERIFY_WITH_TIMEOUT(child<QTextEdit>("inputtext")->toPlainText().isEmpty(), 5000);
    QVERIFY(child<QLineEdit>("passwordoutput")->text().isEmpty());
    QVERIFY(child<QLineEdit>("entropyout")->text().isEmpty());
    QVERIFY(QGuiApplication::clipboard()->text().isEmpty());
    QVERIFY(!child<QTextEdit>("inputtext")->document()->isUndoAvailable());
    QCOMPARE(child<QLineEdit>("pword_identifier_le")->text(), QStringLiteral("bank"));
    QCOMPARE(child<QSpinBox>("plengthspinbox")->value(), 16);
    QVERIFY(status().contains(QLatin1String("cleared after")));
    QVERIFY(status().contains(QLatin1String("without use")));
}

void TestSecrets::idleDuringADerivation()
{
    // The wait runs out while a Spectre password (a quarter of a second of scrypt) is being made:
    // the password is the user's last action, so it shows, beside its phrase, and the wait starts
    // again; and a phrase emptied meanwhile by whatever means never gets a password put back
    // beside it.
    makeWindow({600000, 60});
    child<QComboBox>("schemecombo")->setCurrentIndex(3);
    child<QLineEdit>("usernameedit")->setText(QStringLiteral("Robert"));
    child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("hello"));
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("bank"));
    QVERIFY(answerModals([this] { child<QPushButton>("generatepass")->click(); }).isEmpty());
    QVERIFY(!child<QLineEdit>("passwordoutput")->text().isEmpty());
    QCOMPARE(child<QTextEdit>("inputtext")->toPlainText().size(), 5);
    QTRY_VERIFY_WITH_TIMEOUT(child<QLineEdit>("passwordoutput")->text().isEmpty(), 5000);
    QVERIFY(child<QTextEdit>("inputtext")->toPlainText().isEmpty());

    QTimer::singleShot(60, [this] { child<QTextEdit>("inputtext")->clear(); });
    child<QTextEdit>("inputtext")->setPlainText(QStringLiteral("hello"));
    QVERIFY(answerModals([this] { child<QPushButton>("generatepass")->click(); }).isEmpty());
    QVERIFY(child<QTextEdit>("inputtext")->toPlainText().isEmpty());
    QVERIFY(child<QLineEdit>("passwordoutput")->text().isEmpty());
}

void TestSecrets::windowLockedWhileDeriving()
{
    // A screen reader's press on "Clear Parameters" in the middle of a derivation reaches
    // nothing: the whole window is disabled meanwhile.
    makeWindow(SecretTimings());
    child<QLineEdit>("pword_identifier_le")->setFocus();
    bool disabledMeanwhile = false;
    QTimer::singleShot(30, [&] {
        disabledMeanwhile = !window->isEnabled();
        QAccessibleInterface *button = QAccessible::queryAccessibleInterface(child<QPushButton>("clear_parameters"));
        QAccessibleActionInterface *actions = button->actionInterface();
        QVERIFY(actions);
        actions->doAction(QAccessibleActionInterface::pressAction());
    });
    generate();
    QVERIFY(disabledMeanwhile);
    QVERIFY(window->isEnabled());
    QTest::qWait(300);   // an accepted press clicks a little later (animateClick)
    QCOMPARE(child<QLineEdit>("pword_identifier_le")->text(), QStringLiteral("bank"));
    QCOMPARE(child<QLineEdit>("passwordoutput")->text(), QStringLiteral("IxzAW0nX/EExEnV2"));
    QVERIFY(!QApplication::overrideCursor());
    // Focus is back where it was; afterwards the same press works.
    QCOMPARE(window->focusWidget(), child<QWidget>("pword_identifier_le"));
    QAccessible::queryAccessibleInterface(child<QPushButton>("clear_parameters"))
        ->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    QTRY_VERIFY(child<QLineEdit>("pword_identifier_le")->text().isEmpty());
}

void TestSecrets::noCoreFiles()
{
    // In a child process, as the program does at start.
    const pid_t pid = fork();
    if (pid == 0) {
        Hardening::noCoreFiles();
        rlimit core{};
        getrlimit(RLIMIT_CORE, &core);
        _exit(core.rlim_cur == 0 && core.rlim_max == 0 && prctl(PR_GET_DUMPABLE) == 0 ? 0 : 1);
    }
    int status = 0;
    QCOMPARE(waitpid(pid, &status, 0), pid);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);

    // The real CLI, waiting for its phrase.
    QProcess cli;
    cli.start(QStringLiteral(QUORVANE_CLI), {QStringLiteral("derive")});
    QVERIFY(cli.waitForStarted());
    QTest::qWait(300);
    const QByteArray limits = fileBytes(QStringLiteral("/proc/%1/limits").arg(cli.processId()));
    cli.closeWriteChannel();
    QVERIFY(cli.waitForFinished());
    QVERIFY2(QRegularExpression(QStringLiteral("Max core file size\\s+0\\s+0\\s")).match(QString::fromLatin1(limits)).hasMatch(),
             limits.constData());
}

void TestSecrets::privateFiles()
{
    // Whatever the umask: a new data folder 0700 and profile file 0600.
    const mode_t old = umask(0);
    window.reset(new zav);
    Start_up();
    umask(old);
    QCOMPARE(QFileInfo(home->dataFolder()).permissions() & 0x0777, QFileDevice::Permissions(0x0700));
    QCOMPARE(QFileInfo(home->profileFile()).permissions() & 0x0777, QFileDevice::Permissions(0x0600));

    // A rewrite keeps the file's mode; an existing folder and file are not changed.
    QVERIFY(QFile::setPermissions(home->profileFile(), QFileDevice::Permissions(0x0640)));
    QVERIFY(QFile::setPermissions(home->dataFolder(), QFileDevice::Permissions(0x0750)));
    QCOMPARE(ProfileFile::save(home->profileFile(), profileRecipe(QStringLiteral("a"), 8, Scheme::Strong)), ProfileFile::SaveResult::Saved);
    QCOMPARE(ProfileFile::save(home->profileFile(), profileRecipe(QStringLiteral("b"), 8, Scheme::Strong)), ProfileFile::SaveResult::Saved);
    QCOMPARE(ProfileFile::remove(home->profileFile(), QStringLiteral("a|8|strong")), ProfileFile::RemoveResult::Removed);
    Start_up();
    QCOMPARE(QFileInfo(home->profileFile()).permissions() & 0x0777, QFileDevice::Permissions(0x0640));
    QCOMPARE(QFileInfo(home->dataFolder()).permissions() & 0x0777, QFileDevice::Permissions(0x0750));

    // A file the store creates itself, in a folder it creates, is private too.
    const QString other = home->path() + QStringLiteral("/elsewhere/deeper/zavdata.txt");
    umask(0);
    QCOMPARE(ProfileFile::save(other, profileRecipe(QStringLiteral("a"), 8, Scheme::Strong)), ProfileFile::SaveResult::Saved);
    umask(old);
    QCOMPARE(QFileInfo(other).permissions() & 0x0777, QFileDevice::Permissions(0x0600));
    QCOMPARE(QFileInfo(QFileInfo(other).path()).permissions() & 0x0777, QFileDevice::Permissions(0x0700));
}

namespace {

// Patterns are kept masked, so that the test's own copies are not what it finds.
QByteArray masked(const QByteArray &plain)
{
    QByteArray out = plain;
    for (char &c : out)
        c = char(c ^ 0x5c);
    return out;
}

QByteArray utf16(const QString &text)
{
    return QByteArray(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
}

// How many times the unmasked patterns stand in the process's writable memory.
int findInMemory(const QList<QByteArray> &maskedPatterns)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    QFile mem(QStringLiteral("/proc/self/mem"));
    if (!maps.open(QIODevice::ReadOnly) || !mem.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        qFatal("cannot read this process's memory");
    const QList<QByteArray> regions = maps.readAll().split('\n');
    int found = 0;
    for (const QByteArray &region : regions) {
        const QList<QByteArray> fields = region.simplified().split(' ');
        if (fields.size() < 2 || !fields.at(1).startsWith("rw"))
            continue;
        if (fields.size() >= 6 && fields.at(5) == "[vvar]")
            continue;
        const QList<QByteArray> range = fields.at(0).split('-');
        const quint64 start = range.at(0).toULongLong(nullptr, 16);
        const quint64 end = range.at(1).toULongLong(nullptr, 16);
        QByteArray chunk;
        for (quint64 at = start; at < end; at += 1 << 20) {
            const qint64 size = qint64(qMin<quint64>(end - at, 1 << 20) + 64);
            if (!mem.seek(qint64(at)))
                break;
            chunk = mem.read(qMin<qint64>(size, qint64(end - at)));
            for (const QByteArray &pattern : maskedPatterns) {
                const char first = char(pattern.at(0) ^ 0x5c);
                for (int i = chunk.indexOf(first); i >= 0 && i + pattern.size() <= chunk.size(); i = chunk.indexOf(first, i + 1)) {
                    int j = 1;
                    while (j < pattern.size() && chunk.at(i + j) == char(pattern.at(j) ^ 0x5c))
                        ++j;
                    if (j == pattern.size())
                        ++found;
                }
            }
        }
        chunk.fill(0);
    }
    return found;
}

}

void TestSecrets::memoryHoldsNoSecretAfterClear()
{
#ifdef QUORVANE_ASAN
    QSKIP("AddressSanitizer keeps freed memory in its own quarantine, unwiped");
#endif
    Hardening::wipeFreedMemory();   // as the program does at start
    makeWindow(SecretTimings());
    // A phrase and a password that nothing else holds.
    QList<QByteArray> patterns;
    {
        QByteArray phrase = masked("Quorvane memory probe, phrase 51f3e0");
        QString typed;
        for (char c : phrase)
            typed.append(QChar(char(c ^ 0x5c)));
        phrase.fill(0);
        child<QTextEdit>("inputtext")->setPlainText(typed);
        typed.fill(QChar(0));
    }
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("memory-probe"));
    child<QSpinBox>("plengthspinbox")->setValue(32);
    QVERIFY(answerModals([this] { child<QPushButton>("generatepass")->click(); }).isEmpty());
    QTRY_VERIFY_WITH_TIMEOUT(!child<FingerprintView>("fingerprintview")->isPending(), 20000);
    {
        const QString password = child<QLineEdit>("passwordoutput")->text();
        QCOMPARE(password.size(), 32);
        patterns << masked(password.toUtf8()) << masked(utf16(password));
    }
    {
        const QString phrase = child<QTextEdit>("inputtext")->toPlainText();
        patterns << masked(phrase.toUtf8()) << masked(utf16(phrase));
    }
    // The search does find them while they are shown: the form holds the password and the
    // phrase as UTF-16 text. (How many other copies there are at a given moment varies.)
    QVERIFY(findInMemory({patterns.at(1)}) >= 1);
    QVERIFY(findInMemory({patterns.at(3)}) >= 1);

    child<QPushButton>("clear_parameters")->click();
    QTest::qWait(50);
    QCOMPARE(findInMemory(patterns), 0);
}

void TestSecrets::phraseAtMost64KiB()
{
    makeWindow(SecretTimings());
    auto *phrase = child<QTextEdit>("inputtext");
    QApplication::setActiveWindow(window.get());
    QVERIFY(QTest::qWaitForWindowActive(window.get()));
    phrase->setFocus();
    QTest::keyClicks(phrase, QStringLiteral("ab"));
    const auto paste = [&](const QString &text) {
        QGuiApplication::clipboard()->setText(text);
        return answerModals([&] { QTest::keyClick(phrase, Qt::Key_V, Qt::ControlModifier); });
    };

    // A million characters: refused at once with a notice, the phrase as it was. The window
    // took 342 s for it before the limit.
    QElapsedTimer timer;
    timer.start();
    QList<ModalSeen> seen = paste(QString(1000000, QLatin1Char('x')));
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen.at(0).className, QStringLiteral("phrasetoolong"));
    QVERIFY(seen.at(0).text.contains(QLatin1String("at most 64 KiB")));
    QCOMPARE(phrase->toPlainText().size(), 2);

    // Counted in bytes of UTF-8, as quorvane-cli counts: 40,000 "é" are 80,000 bytes.
    QCOMPARE(paste(QString(40000, QChar(0xe9))).value(0).className, QStringLiteral("phrasetoolong"));
    QCOMPARE(phrase->toPlainText().size(), 2);
    // Up to the limit it is taken; one more key is not.
    QVERIFY(paste(QString(32767, QChar(0xe9))).isEmpty());
    QCOMPARE(phrase->toPlainText().size(), 32769);
    seen = answerModals([&] { QTest::keyClick(phrase, Qt::Key_Z); });
    QCOMPARE(seen.value(0).className, QStringLiteral("phrasetoolong"));
    QCOMPARE(phrase->toPlainText().size(), 32769);
    // The phrase the window takes is one quorvane-cli takes too, and makes the same password.
    child<QLineEdit>("pword_identifier_le")->setText(QStringLiteral("bank"));
    QVERIFY(answerModals([this] { child<QPushButton>("generatepass")->click(); }).isEmpty());
    QProcess cli;
    cli.start(QStringLiteral(QUORVANE_CLI), {"derive", "--exact", "-i", "bank"});
    cli.write((QStringLiteral("ab") + QString(32767, QChar(0xe9))).toUtf8());
    cli.closeWriteChannel();
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()).trimmed(), child<QLineEdit>("passwordoutput")->text());
}

QTEST_MAIN(TestSecrets)
#include "TestSecrets.moc"
