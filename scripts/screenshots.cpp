// quorvane-screenshots: shows the program's windows in the states worth looking at and saves a
// PNG of each in the folder given, as the screen shows them. Run through scripts/screenshots,
// which starts it under Xvfb with a fresh HOME.

#include "deletedialog.h"
#include "fingerprintview.h"
#include "listdialog.h"
#include "main.h"
#include "notices.h"
#include "profilestate.h"
#include "zav.h"
#include "phrasestrength.h"
#include "strengthdialog.h"

#include <QApplication>
#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QSpinBox>
#include <QTextEdit>
#include <QTimer>
#include <QThread>
#include <QWindow>

#include "changepassworddialog.h"
#include "phrasechangedialog.h"
#include "phrasechange.h"
#include "phraseedit.h"
#include <QElapsedTimer>
#include <QTreeWidget>
#include <QKeyEvent>
#include <QLabel>
#include <cstdio>

namespace {

QString folder;

// Lets the window be laid out and painted, then saves what the screen holds of it.
void shoot(QWidget *w, const QString &name)
{
    for (int i = 0; i < 20; ++i) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    const QPixmap picture = w->screen()->grabWindow(w->winId());
    const QString path = folder + QLatin1Char('/') + name + QStringLiteral(".png");
    if (!picture.save(path))
        std::fprintf(stderr, "screenshots: cannot save %s\n", qPrintable(path));
    else
        std::printf("%s %dx%d\n", qPrintable(path), picture.width(), picture.height());
}

template<class T>
T *child(QWidget *w, const char *name)
{
    return w->findChild<T *>(QString::fromLatin1(name));
}

void waitForFingerprint(QWidget *window)
{
    auto *view = child<FingerprintView>(window, "fingerprintview");
    if (!view->isPending())
        return;
    QEventLoop loop;
    QObject::connect(view, &FingerprintView::shown, &loop, &QEventLoop::quit);
    QTimer::singleShot(10000, &loop, &QEventLoop::quit);
    loop.exec();
}

void scenes()
{
    zav window;
    window.show();
    Start_up();
    shoot(&window, QStringLiteral("main-start"));

    child<QTextEdit>(&window, "inputtext")->setPlainText(QStringLiteral("correct horse battery staple"));
    child<QLineEdit>(&window, "pword_identifier_le")->setText(QStringLiteral("bank"));
    child<QSpinBox>(&window, "plengthspinbox")->setValue(16);
    child<QComboBox>(&window, "rulecombo")->setCurrentIndex(1);
    child<QPushButton>(&window, "generatepass")->click();
    waitForFingerprint(&window);
    shoot(&window, QStringLiteral("main-strong"));
    child<QAbstractButton>(&window, "showphrasebutton")->click();
    shoot(&window, QStringLiteral("main-phrase-shown"));
    child<QAbstractButton>(&window, "showphrasebutton")->click();
    child<QPushButton>(&window, "generatepass")->click();
    {
        strengthdialog dialog;
        dialog.setPhraseStrength(PhraseStrength::text(PhraseStrength::of(QStringLiteral("correct horse battery staple"))));
        dialog.setPasswordStrength(QStringLiteral("%1 bits. %2").arg(child<QLineEdit>(&window, "entropyout")->text(),
                                                                     Recipe::defaults(Scheme::Strong).entropyNote()));
        dialog.show();
        shoot(&dialog, QStringLiteral("strength-dialog"));
    }

    child<QComboBox>(&window, "rulecombo")->setCurrentIndex(4);
    child<QLineEdit>(&window, "symbolsedit")->setText(QStringLiteral("!@#$%"));
    shoot(&window, QStringLiteral("main-custom"));

    child<QComboBox>(&window, "schemecombo")->setCurrentIndex(2);
    shoot(&window, QStringLiteral("main-lesspass"));
    child<QComboBox>(&window, "schemecombo")->setCurrentIndex(3);
    child<QLineEdit>(&window, "usernameedit")->setText(QStringLiteral("Robert Lee Mitchell"));
    shoot(&window, QStringLiteral("main-spectre"));
    child<QComboBox>(&window, "schemecombo")->setCurrentIndex(1);
    shoot(&window, QStringLiteral("main-compatible"));
    const QSize start = window.size();
    window.resize(window.minimumSize());
    shoot(&window, QStringLiteral("main-compatible-smallest"));
    child<QComboBox>(&window, "schemecombo")->setCurrentIndex(0);
    shoot(&window, QStringLiteral("main-custom-smallest"));
    window.resize(1100, start.height());
    shoot(&window, QStringLiteral("main-custom-wide"));
    window.resize(start);

    // A known site (from Firefox's list, when this machine has one) and its rules chosen.
    child<QComboBox>(&window, "rulecombo")->setCurrentIndex(0);
    child<QLineEdit>(&window, "pword_identifier_le")->setText(QStringLiteral("https://login.apple.com/"));
    shoot(&window, QStringLiteral("main-site-offer"));
    child<QPushButton>(&window, "siterulebutton")->click();
    child<QPushButton>(&window, "generatepass")->click();
    window.adjustSize();   // as a new window would open for this panel
    shoot(&window, QStringLiteral("main-site-rules"));

    // The profile dialogs on a few profiles.
    for (const char *line : {"bank|16|strong|aA9!|2", "mail|20|strong", "old bank|12", "pin|6|strong|9|1", "shop|12|strong"}) {
        pword_identifier = QString::fromLatin1(line).section(QLatin1Char('|'), 0, 0);
        ProfileFile::append(profile_file_path, QString::fromLatin1(line));
    }
    {
        listdialog dialog;
        dialog.show();
        shoot(&dialog, QStringLiteral("retrieve"));
    }
    {
        deletedialog dialog;
        dialog.show();
        shoot(&dialog, QStringLiteral("delete"));
    }
    // Change Password for a saved profile, both passwords shown.
    {
        Recipe current;
        Recipe::fromLine(QStringLiteral("bank|16|strong|aA9!|2"), &current);
        Recipe next;
        QString problem;
        current.nextVersion(&next, &problem);
        changepassworddialog dialog(current, next, QStringLiteral("correct horse battery staple"), profile_file_path,
                                    [](const QString &) {});
        dialog.show();
        QElapsedTimer waited;
        waited.start();
        while (!child<QPushButton>(&dialog, "savebutton")->isEnabled() && waited.elapsed() < 30000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        child<QCheckBox>(&dialog, "showbox")->click();
        shoot(&dialog, QStringLiteral("change-password"));
    }
    // The phrase-change assistant: both phrases typed, the change started, every password made.
    {
        phrasechangedialog dialog(profile_file_path, [](const QString &) {});
        dialog.show();
        for (const char *name : {"previousedit", "newedit", "againedit"}) {
            // Typed, as a user types: the phrase box takes keys, not text set from outside.
            const QString text = QString::fromLatin1(QByteArray(name) == "previousedit" ? "correct horse battery staple" : "a new phrase");
            for (const QChar c : text) {
                QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
                QApplication::sendEvent(child<PhraseEdit>(&dialog, name), &press);
            }
        }
        shoot(&dialog, QStringLiteral("phrase-change-asked"));
        child<QPushButton>(&dialog, "startbutton")->click();   // asks
        child<QPushButton>(&dialog, "startbutton")->click();   // starts
        QElapsedTimer waited;
        waited.start();
        while (!child<QLabel>(&dialog, "statuslabel")->text().contains(QLatin1String("Tick Moved")) && waited.elapsed() < 120000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
        child<QCheckBox>(&dialog, "showbox")->click();
        child<QTreeWidget>(&dialog, "profilelist")->topLevelItem(0)->setCheckState(3, Qt::Checked);
        shoot(&dialog, QStringLiteral("phrase-change"));
        PhraseChange::Status now;
        PhraseChange::status(profile_file_path, &now);
        QString line = now.moved.value(0);
        bool finished = false;
        PhraseChange::move(profile_file_path, &line, true, &finished);
        QStringList moved;
        PhraseChange::cancel(profile_file_path, &moved);
    }
    {
        badrule notice;
        notice.setProblem(QStringLiteral("The symbol \"#\" is given twice"));
        notice.show();
        shoot(&notice, QStringLiteral("notice-badrule"));
    }
    // Every shape in every colour, as the fingerprint paints them.
    {
        QWidget sheet;
        sheet.resize(16 * 40 + 10, 8 * 34 + 10);
        sheet.show();
        QPixmap picture(sheet.size() * sheet.devicePixelRatioF());
        picture.setDevicePixelRatio(sheet.devicePixelRatioF());
        picture.fill(Qt::white);
        QPainter painter(&picture);
        for (int colour = 0; colour < 8; ++colour) {
            QVector<Fingerprint::Symbol> row;
            for (int shape = 0; shape < 16; ++shape)
                row.append({colour, shape});
            painter.save();
            painter.translate(5, 5 + colour * 34);
            FingerprintView::paintSymbols(painter, row, 30);
            painter.restore();
        }
        painter.end();
        picture.save(folder + QStringLiteral("/fingerprint-shapes.png"));
    }
    QApplication::quit();
}

}

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots");
    QDir().mkpath(folder);
    QTimer::singleShot(0, scenes);
    return app.exec();
}
