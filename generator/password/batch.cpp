#include "batch.h"

#include <QCoreApplication>
#include <QPointer>
#include <QThread>

#include <sodium.h>

#include <thread>
#include <vector>

namespace Batch {

int threads()
{
    return qBound(1, QThread::idealThreadCount(), maximumThreads);
}

void run(const QList<Recipe> &recipes, const QStringList &phrases, int threads,
         const std::function<void(int, int, QString)> &done, const std::atomic<bool> &cancel)
{
    const int total = recipes.size() * phrases.size();
    std::atomic<int> next{0};
    // Each worker takes the next pair until none is left: a slow scheme does not hold up others.
    const auto work = [&] {
        for (int job = next++; job < total && !cancel; job = next++)
            done(job / phrases.size(), job % phrases.size(), recipes.at(job / phrases.size()).derive(phrases.at(job % phrases.size())));
    };
    std::vector<std::thread> workers;
    for (int i = 1; i < qBound(1, threads, maximumThreads) && i < total; ++i)
        workers.emplace_back(work);
    work();
    for (std::thread &worker : workers)
        worker.join();
}

Background::~Background()
{
    stop();
}

void Background::start(QObject *receiver, const QList<Recipe> &recipes, QStringList phrases,
                       const std::function<void(int, int, const QString &)> &done)
{
    stop();
    cancel = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<std::atomic<bool>> stopped = cancel;
    QPointer<QObject> target(receiver);
    worker = std::thread([target, stopped, recipes, phrases = std::move(phrases), done]() mutable {
        run(recipes, phrases, threads(), [&](int recipe, int phrase, QString password) {
            QMetaObject::invokeMethod(target ? target.data() : QCoreApplication::instance(), [target, stopped, recipe, phrase, password, done] {
                if (target && !*stopped)
                    done(recipe, phrase, password);
            }, Qt::QueuedConnection);
        }, *stopped);
        for (QString &phrase : phrases) {
            if (phrase.isDetached() && !phrase.isEmpty())
                sodium_memzero(phrase.data(), std::size_t(phrase.size()) * sizeof(QChar));
        }
    });
}

void Background::stop()
{
    if (cancel)
        *cancel = true;
    if (worker.joinable())
        worker.join();
    cancel.reset();
}

}
