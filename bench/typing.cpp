// quorvane-bench-typing: the longest pause of the main window's event loop while 40 characters
// are typed into the secret phrase box, with pauses long enough now and then for the phrase's
// fingerprint to be computed meanwhile. Prints "typing-longest-pause<TAB>nanoseconds".

#include "main.h"
#include "zav.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QRandomGenerator>
#include <QTextEdit>
#include <QTimer>

#include <cstdio>
#include <functional>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    zav window;
    window.show();
    Start_up();
    auto *phrase = window.findChild<QTextEdit *>(QStringLiteral("inputtext"));
    phrase->setFocus();

    // A tick every millisecond: the longest gap between two is the longest the loop was busy.
    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.nsecsElapsed();
    qint64 longest = 0;
    QTimer ticker;
    ticker.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = qMax(longest, now - last);
        last = now;
    });
    ticker.start(1);

    const QString text = QStringLiteral("correct horse battery staple, mind it 1");
    QRandomGenerator random(3);
    int typed = 0;
    std::function<void()> typeNext = [&] {
        if (typed == text.size()) {
            // Wait for the last fingerprint, then report.
            QTimer::singleShot(1500, [&] {
                std::printf("typing-longest-pause\t%lld\n", static_cast<long long>(longest));
                QApplication::quit();
            });
            return;
        }
        const QChar c = text.at(typed++);
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(phrase, &press);
        QApplication::sendEvent(phrase, &release);
        // Mostly quick keys; every few a pause past the fingerprint's wait.
        const int pause = typed % 7 == 0 ? 450 + int(random.bounded(300)) : 60 + int(random.bounded(120));
        QTimer::singleShot(pause, typeNext);
    };
    QTimer::singleShot(200, [&] {
        last = clock.nsecsElapsed();
        longest = 0;
        typeNext();
    });
    return app.exec();
}
