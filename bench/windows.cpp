// quorvane-bench-windows: what the windows cost, one line each, "name<TAB>nanoseconds".
// typing-longest-pause: the longest pause of the main window's event loop while 40 characters
// are typed into the secret phrase box, with pauses now and then (the strength meter follows
// each key), then Tab to the next field, which computes the whole phrase's fingerprint on a
// worker meanwhile. paste-1m-refused: from Ctrl+V of 1,000,000 characters to the notice that
// refuses them. filter-*: the retrieve dialog on 100,000 profiles: opening it, and each step of
// typing into its filter and emptying it again.

#include "listdialog.h"
#include "main.h"
#include "profilestate.h"
#include "zav.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLoggingCategory>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QRandomGenerator>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

// A tick every millisecond: the longest gap between two is the longest the event loop was busy.
struct LoopWatch
{
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
    QTimer ticker;

    LoopWatch()
    {
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [this] {
            const qint64 now = clock.nsecsElapsed();
            longest = qMax(longest, now - last);
            last = now;
        });
    }
    void start()
    {
        clock.start();
        last = 0;
        longest = 0;
        ticker.start(1);
    }
};

void measurePaste(QTextEdit *phrase)
{
    QGuiApplication::clipboard()->setText(QString(1000000, QLatin1Char('x')));
    phrase->setFocus();
    QElapsedTimer timer;
    qint64 refused = -1;
    // The notice is modal: note when it shows, and close it.
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (QWidget *notice = QApplication::activeModalWidget()) {
            if (refused < 0)
                refused = timer.nsecsElapsed();
            notice->close();
        }
    });
    closer.start(1);
    timer.start();
    QKeyEvent press(QEvent::KeyPress, Qt::Key_V, Qt::ControlModifier);
    QApplication::sendEvent(phrase, &press);
    QApplication::processEvents();
    std::printf("paste-1m-refused\t%lld\n", static_cast<long long>(refused));
    std::fflush(stdout);
}

// The change-of-phrase assistant on 1,000 strong profiles: the time until every previous and new
// password is made, and the longest the window's event loop was busy meanwhile.
void measureAssistant(zav *window)
{
    QFile file(profile_file_path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QByteArray content;
    for (int i = 0; i < 1000; ++i)
        content += "site-" + QByteArray::number(i) + ".example|16|strong\r\n";
    file.write(content);
    file.close();

    LoopWatch watch;
    QTimer walker;
    QObject::connect(&walker, &QTimer::timeout, [&] {
        QWidget *dialog = QApplication::activeModalWidget();
        if (!dialog || dialog->property("walked").toBool())
            return;
        dialog->setProperty("walked", true);
        for (const char *name : {"previousedit", "newedit", "againedit"})
            dialog->findChild<QTextEdit *>(QLatin1String(name))->setPlainText(QLatin1String(name[0] == 'p' ? "old" : "new"));
        watch.start();
        dialog->findChild<QPushButton *>(QStringLiteral("startbutton"))->click();
        auto *status = dialog->findChild<QLabel *>(QStringLiteral("statuslabel"));
        auto *done = new QTimer(dialog);
        QObject::connect(done, &QTimer::timeout, [=, &watch] {
            if (!status->text().contains(QLatin1String("Tick Moved")))
                return;
            const qint64 filled = watch.clock.nsecsElapsed();
            watch.ticker.stop();
            std::printf("assistant-1000-strong-fill\t%lld\n", static_cast<long long>(filled));
            std::printf("assistant-1000-strong-longest-pause\t%lld\n", static_cast<long long>(watch.longest));
            std::fflush(stdout);
            dialog->close();
        });
        done->start(20);
    });
    walker.start(20);
    window->findChild<QAction *>(QStringLiteral("actionChange_Secret_Phrase"))->trigger();
}

void measureFilter()
{
    QFile file(profile_file_path);
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QByteArray content;
    for (int i = 0; i < 100000; ++i)
        content += "account-" + QByteArray::number(i) + '|' + QByteArray::number(4 + i % 29) + (i % 2 ? "|strong" : "") + "\r\n";
    file.write(content);
    file.close();

    QElapsedTimer timer;
    timer.start();
    listdialog dialog;
    dialog.show();
    QApplication::processEvents();
    std::printf("filter-open-100k\t%lld\n", static_cast<long long>(timer.nsecsElapsed()));
    auto *filter = dialog.findChild<QLineEdit *>(QStringLiteral("filteredit"));
    qint64 slowest = 0;
    const QString typed = QStringLiteral("account-9999");
    for (int i = 1; i <= typed.size(); ++i) {
        timer.restart();
        filter->setText(typed.left(i));
        QApplication::processEvents();
        slowest = qMax(slowest, timer.nsecsElapsed());
    }
    std::printf("filter-slowest-keystroke-100k\t%lld\n", static_cast<long long>(slowest));
    timer.restart();
    filter->clear();
    QApplication::processEvents();
    std::printf("filter-clear-100k\t%lld\n", static_cast<long long>(timer.nsecsElapsed()));
    std::fflush(stdout);
}

}

int main(int argc, char **argv)
{
    QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
    // A home of its own: the benchmark writes profile files of 100,000 and 1,000 lines, which
    // must never be the user's own.
    QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + QStringLiteral("/.config")));
    QApplication app(argc, argv);
    zav window;
    window.show();
    Start_up();
    auto *phrase = window.findChild<QTextEdit *>(QStringLiteral("inputtext"));
    phrase->setFocus();

    LoopWatch watch;

    const QString text = QStringLiteral("correct horse battery staple, mind it 1");
    QRandomGenerator random(3);
    int typed = 0;
    std::function<void()> typeNext = [&] {
        if (typed == text.size()) {
            // On to the next field: the fingerprint is computed. Wait for it, then report.
            QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
            QApplication::sendEvent(phrase, &tab);
            QTimer::singleShot(1500, [&] {
                std::printf("typing-longest-pause\t%lld\n", static_cast<long long>(watch.longest));
                std::fflush(stdout);
                watch.ticker.stop();
                measurePaste(phrase);
                measureFilter();
                measureAssistant(&window);
                QApplication::quit();
            });
            return;
        }
        const QChar c = text.at(typed++);
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(phrase, &press);
        QApplication::sendEvent(phrase, &release);
        // Mostly quick keys; every few a pause, as between words.
        const int pause = typed % 7 == 0 ? 450 + int(random.bounded(300)) : 60 + int(random.bounded(120));
        QTimer::singleShot(pause, typeNext);
    };
    QTimer::singleShot(200, [&] {
        watch.start();
        typeNext();
    });
    return app.exec();
}
