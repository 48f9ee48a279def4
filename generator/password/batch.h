#pragma once

#include "recipe.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

class QObject;

// Many passwords at once (a change of the secret phrase lists every profile's two, an export
// every profile's one): every recipe under every phrase, on a few threads. Each derivation of
// the strong scheme takes 64 MiB (Spectre's 32), so the threads are bounded by memory as well as
// by the processors: at most `maximumThreads`, 256 MiB at the most.
namespace Batch {

constexpr int maximumThreads = 4;

// The threads a batch uses here: the processors, at most maximumThreads.
int threads();

// Runs every recipe under every phrase and blocks until all are made or `cancel` turns true.
// `done(recipe, phrase, password)` is called on a worker thread, once for each pair made (a null
// password: that one could not be made); it may be called from several threads at once.
void run(const QList<Recipe> &recipes, const QStringList &phrases, int threads,
         const std::function<void(int recipe, int phrase, QString password)> &done, const std::atomic<bool> &cancel);

// A batch on a thread of its own, for a window that must answer meanwhile: each result comes
// back through the receiver's event loop, never after stop() nor once the receiver is gone.
class Background
{
public:
    Background() = default;
    ~Background();   // stops
    Background(const Background &) = delete;
    Background &operator=(const Background &) = delete;

    // Starts the batch (after stopping one under way). The phrases are wiped when it ends.
    void start(QObject *receiver, const QList<Recipe> &recipes, QStringList phrases,
               const std::function<void(int recipe, int phrase, const QString &password)> &done);
    // Cancels what is left and waits for the thread (at most one derivation's time).
    void stop();

private:
    std::shared_ptr<std::atomic<bool>> cancel;
    std::thread worker;
};

}
