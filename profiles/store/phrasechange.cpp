#include "phrasechange.h"

#include "phrasestate.h"

namespace PhraseChange {

int target(const QString &path)
{
    QStringList lines;
    ProfileFile::readLines(path, &lines);
    return PhraseState::target(path, lines);
}

bool waits(const QString &line, int target)
{
    return target > 1 && Recipe::phraseOfLine(line) < target;
}

bool waitsForTheNewPhrase(const QString &path, const Recipe &recipe)
{
    QStringList lines;
    if (ProfileFile::readLines(path, &lines) != ProfileFile::ReadStatus::Read)
        return false;
    const int target = PhraseState::target(path, lines);
    if (target < 2)
        return false;
    for (const QString &line : qAsConst(lines)) {
        Recipe saved;
        if (waits(line, target) && Recipe::fromLine(line, &saved) && saved == recipe)
            return true;
    }
    return false;
}

ProfileFile::ReadStatus status(const QString &path, Status *status)
{
    *status = Status();
    QStringList lines;
    const ProfileFile::ReadStatus read = ProfileFile::readLines(path, &lines);
    status->target = PhraseState::target(path, lines);
    if (status->target < 2)
        return read;
    for (const QString &line : qAsConst(lines)) {
        Recipe recipe;
        if (line.isEmpty() || !Recipe::fromLine(line, &recipe) || !recipe.problem().isEmpty())
            continue;   // no profile: nothing to move
        (waits(line, status->target) ? status->waiting : status->moved).append(line);
    }
    return read;
}

StartResult start(const QString &path, int *target)
{
    const ProfileFile::Lock lock(path);
    if (lock.state() != ProfileFile::Lock::Held)
        return lock.state() == ProfileFile::Lock::Busy ? StartResult::InProgress : StartResult::Failed;
    QStringList lines;
    const ProfileFile::ReadStatus read = ProfileFile::readLines(path, &lines);
    if (read != ProfileFile::ReadStatus::Read && read != ProfileFile::ReadStatus::Missing)
        return StartResult::Unusable;
    if (PhraseState::target(path, lines) > 1)
        return StartResult::InProgress;
    int highest = 1;
    bool any = false;
    for (const QString &line : qAsConst(lines)) {
        Recipe recipe;
        if (!line.isEmpty() && Recipe::fromLine(line, &recipe) && recipe.problem().isEmpty()) {
            any = true;
            highest = qMax(highest, Recipe::phraseOfLine(line));
        }
    }
    if (!any)
        return StartResult::NoProfiles;
    *target = highest + 1;
    return PhraseState::setTarget(path, *target) ? StartResult::Started : StartResult::Failed;
}

CancelResult cancel(const QString &path, QStringList *moved)
{
    moved->clear();
    const ProfileFile::Lock lock(path);
    if (lock.state() != ProfileFile::Lock::Held)
        return lock.state() == ProfileFile::Lock::Busy ? CancelResult::Busy : CancelResult::Failed;
    Status now;
    const ProfileFile::ReadStatus read = status(path, &now);
    if (read != ProfileFile::ReadStatus::Read && read != ProfileFile::ReadStatus::Missing)
        return CancelResult::Unusable;
    if (now.target < 2)
        return CancelResult::NoChange;
    if (!now.moved.isEmpty()) {
        *moved = now.moved;
        return CancelResult::SitesMoved;
    }
    return PhraseState::setTarget(path, 0) ? CancelResult::Ended : CancelResult::Failed;
}

MoveResult move(const QString &path, QString *line, bool back, bool *finished, const Recipe *upgrade)
{
    *finished = false;
    const ProfileFile::Lock lock(path);
    if (lock.state() != ProfileFile::Lock::Held)
        return lock.state() == ProfileFile::Lock::Busy ? MoveResult::Busy : MoveResult::Failed;
    Status now;
    const ProfileFile::ReadStatus read = status(path, &now);
    if (read != ProfileFile::ReadStatus::Read && read != ProfileFile::ReadStatus::Missing)
        return MoveResult::Unusable;
    if (now.target < 2)
        return MoveResult::NoChange;
    if (!now.waiting.contains(*line) && !now.moved.contains(*line))
        return MoveResult::NotFound;
    if (now.waiting.contains(*line) == back)
        return MoveResult::AlreadyMoved;
    Recipe recipe;
    Recipe::fromLine(*line, &recipe);
    // Back: the phrase before the change's, as the line had it when the change began.
    const QString replacement = upgrade && !back ? upgrade->lineOnPhrase(now.target)
                                                 : recipe.lineOnPhrase(back ? now.target - 1 : now.target);
    switch (ProfileFile::replace(path, *line, replacement, &lock)) {
    case ProfileFile::RemoveResult::Removed:
        break;
    case ProfileFile::RemoveResult::NotFound:
        return MoveResult::NotFound;
    case ProfileFile::RemoveResult::Busy:
        return MoveResult::Busy;
    case ProfileFile::RemoveResult::Unusable:
        return MoveResult::Unusable;
    case ProfileFile::RemoveResult::Failed:
        return MoveResult::Failed;
    }
    *line = replacement;
    if (!back && now.waiting.size() == 1) {
        *finished = true;
        PhraseState::setTarget(path, 0);
    }
    return MoveResult::Moved;
}

}
