#include "batch.h"

#include <QThread>

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

}
