#include "command.h"
#include "deletions.h"
#include "pagematch.h"
#include "wording.h"
#include "commands.h"

#include "libcrypto.h"
#include "phrasechange.h"
#include "profilefile.h"
#include "terminal.h"

namespace Cli {

namespace {

QString busy(const QString &path)
{
    return QStringLiteral("the profile file %1 is being changed by another Quorvane window or quorvane-cli; nothing "
                          "was changed, try again").arg(path);
}

QString unusable(const QString &path)
{
    return QStringLiteral("the profile file %1 %2; nothing was changed")
        .arg(path, ProfileFile::problemOf(path, ProfileFile::check(path)));
}

int printed(const QString &text)
{
    Terminal::writeOutput(text);
    return Terminal::flushOutput() ? Ok : fail(Failure, QStringLiteral("cannot write to standard output"));
}

// Why a change of a saved line did not happen, said alike by every command that changes one.
enum class Unchanged { Meanwhile, Busy, Unusable, Failed };

int unchanged(const QString &path, Unchanged why)
{
    switch (why) {
    case Unchanged::Meanwhile:
        return fail(Failure, QStringLiteral("%1 changed meanwhile; nothing was changed, try again").arg(path));
    case Unchanged::Busy:
        return fail(Failure, busy(path));
    case Unchanged::Unusable:
        return fail(Failure, unusable(path));
    case Unchanged::Failed:
        break;
    }
    return fail(Failure, QStringLiteral("%1; it was left as it was").arg(ProfileFile::failureText(path)));
}

}

NextCommand::NextCommand()
    : Command(QStringLiteral("profiles next"),
              QStringLiteral("Saves the profile NAME names (as derive --profile finds it) at its next version, in\n"
                             "its place, and prints its new line: for a site that asks for a new password.\n"
                             "\"derive --profile=NAME\" then gives the new password. A compatible profile's next\n"
                             "version is a strong profile of the same identifier. --undo puts back the line the last\n"
                             "change of it replaced, for a site that refused the new password."))
{
}

namespace {

const QCommandLineOption undoOption(QStringLiteral("undo"),
                                    QStringLiteral("Back to the version before: the line the last change replaced."));

}

QList<QCommandLineOption> NextCommand::options() const
{
    return {undoOption};
}

int NextCommand::execute(const QCommandLineParser &parser)
{
    QString line;
    Recipe recipe;
    QString error;
    const int found = savedProfile(parser.positionalArguments().constFirst(), QStringLiteral("NAME"), &line, &recipe, &error);
    if (found != Ok)
        return fail(found, error);
    const QString path = ProfileFile::defaultPath();
    QString nextLine;
    Recipe next;
    if (parser.isSet(undoOption)) {
        // The version before: the counter one down; before a first strong version, the
        // original program's line it upgraded, as the record of deletions knows it.
        Recipe before;
        if (recipe.scheme != Scheme::Compatible && recipe.counter > 1) {
            next = recipe;
            next.counter = recipe.counter - 1;
            nextLine = next.lineOnPhrase(Recipe::phraseOfLine(line));
        } else if (recipe.scheme == Scheme::Strong) {
            const QString replaced = Deletions::lastDeleted(path, recipe.identifier, [](const QString &deleted) {
                Recipe old;
                return Recipe::fromLine(deleted, &old) && old.scheme == Scheme::Compatible;
            });
            if (Recipe::fromLine(replaced, &before)) {
                next = before;
                nextLine = replaced;
            }
        }
        if (nextLine.isEmpty())
            return fail(Refused, QStringLiteral("%1 has no version before %2").arg(recipe.identifier, recipe.versionText()));
    } else {
        if (!recipe.nextVersion(&next, &error))
            return fail(Refused, error);
        // The next version keeps the phrase its line is on.
        nextLine = next.lineOnPhrase(Recipe::phraseOfLine(line));
    }
    switch (ProfileFile::replace(path, line, nextLine)) {
    case ProfileFile::RemoveResult::Removed: {
        const QString page = parser.isSet(undoOption) ? QString() : PageMatch::changePasswordPage(next.identifier);
        if (!page.isEmpty())
            Terminal::writeError(QStringLiteral("quorvane-cli: change it at %1\n").arg(page));
        return printed(nextLine + QLatin1Char('\n'));
    }
    case ProfileFile::RemoveResult::NotFound:
        return unchanged(path, Unchanged::Meanwhile);
    case ProfileFile::RemoveResult::Busy:
        return unchanged(path, Unchanged::Busy);
    case ProfileFile::RemoveResult::Unusable:
        return unchanged(path, Unchanged::Unusable);
    case ProfileFile::RemoveResult::Failed:
        break;
    }
    return unchanged(path, Unchanged::Failed);
}

namespace {

const QCommandLineOption allOption(QStringLiteral("all"), QStringLiteral("Every profile still on the previous phrase."));
const QCommandLineOption backOption(
    QStringLiteral("back"),
    QStringLiteral("Marks the profiles back on the previous phrase: their sites were changed back (to cancel a change)."));

}

PhraseCommand::PhraseCommand(Mode mode)
    : Command(mode == Change   ? QStringLiteral("phrase change")
              : mode == Status ? QStringLiteral("phrase status")
              : mode == Show   ? QStringLiteral("phrase show")
              : mode == Cancel ? QStringLiteral("phrase cancel")
                               : QStringLiteral("phrase moved"),
              mode == Change
                  ? QStringLiteral("Starts a change of the secret phrase: every saved profile is still on the previous\n"
                                   "phrase until it is marked moved. Nothing about either phrase is stored. Exit 2 when\n"
                                   "a change is in progress already.")
              : mode == Status
                  ? QStringLiteral("Prints \"moved M of N\", then the lines of the profiles still on the previous\n"
                                   "phrase. Exit 1 when no change is in progress.")
              : mode == Show
                  ? QStringLiteral("Reads the previous and the new secret phrase (two lines from a pipe; on a terminal\n"
                                   "each is asked, the new one twice, with its fingerprint) and prints two lines: the\n"
                                   "profile's password under the previous phrase, then under the new one (labelled on\n"
                                   "a terminal).")
              : mode == Cancel
                  ? QStringLiteral("Ends a change of the secret phrase that no site has moved to yet. With sites moved,\n"
                                   "names them and ends nothing: change each back on its site, then \"phrase moved --back\n"
                                   "NAME\" (or --all), then cancel. Exit 1 when no change is in progress.")
                  : QStringLiteral("Marks the profiles (one NAME or more, or --all) moved to the new phrase, once their\n"
                                   "sites took the new password; with --back, back on the previous one. When the last\n"
                                   "one moves, the change ends. Exit 1 when one is marked already.")),
      mode(mode)
{
}

QList<QCommandLineOption> PhraseCommand::options() const
{
    return mode == Moved ? QList<QCommandLineOption>{allOption, backOption} : QList<QCommandLineOption>{};
}

QString PhraseCommand::operandName() const
{
    return mode == Show || mode == Moved ? QStringLiteral("NAME") : QString();
}

int PhraseCommand::execute(const QCommandLineParser &parser)
{
    const QString path = ProfileFile::defaultPath();
    PhraseChange::Status now;
    const ProfileFile::ReadStatus read = PhraseChange::status(path, &now);
    if (read != ProfileFile::ReadStatus::Read && read != ProfileFile::ReadStatus::Missing)
        return fail(Failure, QStringLiteral("the profile file %1 %2").arg(path, ProfileFile::problemOf(path, read)));

    if (mode == Change) {
        int target = 0;
        switch (PhraseChange::start(path, &target)) {
        case PhraseChange::StartResult::Started:
            PhraseChange::status(path, &now);
            return printed(QStringLiteral("started a change of the secret phrase: %1 still %2 the previous one\n")
                               .arg(Wording::count(now.waiting.size(), QStringLiteral("profile"), QStringLiteral("profiles")),
                                    now.waiting.size() == 1 ? QStringLiteral("uses") : QStringLiteral("use")));
        case PhraseChange::StartResult::InProgress:
            return fail(Usage, QStringLiteral("a change of the secret phrase is in progress already (see \"phrase "
                                              "status\")"));
        case PhraseChange::StartResult::NoProfiles:
            return fail(Refused, QStringLiteral("no saved profile: there is nothing to change"));
        case PhraseChange::StartResult::Unusable:
            return fail(Failure, unusable(path));
        case PhraseChange::StartResult::Failed:
            break;
        }
        return fail(Failure, QStringLiteral("cannot write %1").arg(path));
    }
    if (now.target < 2)
        return fail(Refused, QStringLiteral("no change of the secret phrase is in progress (\"phrase change\" starts one)"));
    if (mode == Cancel) {
        QStringList moved;
        switch (PhraseChange::cancel(path, &moved)) {
        case PhraseChange::CancelResult::Ended:
            return printed(QStringLiteral("the change of the secret phrase is cancelled: every profile stays on the previous "
                                          "phrase\n"));
        case PhraseChange::CancelResult::SitesMoved: {
            QStringList sites;
            for (const QString &line : qAsConst(moved))
                sites << ProfileFile::identifierOf(line);
            return fail(Refused, QStringLiteral("%1 already %2 the new phrase's password: %3. Change each back on its site "
                                                "(\"phrase show NAME\" prints both passwords), mark it with \"phrase moved "
                                                "--back NAME\", then cancel; or go on with the change. Nothing was changed")
                                     .arg(Wording::count(sites.size(), QStringLiteral("site"), QStringLiteral("sites")),
                                          sites.size() == 1 ? QStringLiteral("has") : QStringLiteral("have"),
                                          sites.join(QStringLiteral(", "))));
        }
        case PhraseChange::CancelResult::NoChange:
            return unchanged(path, Unchanged::Meanwhile);
        case PhraseChange::CancelResult::Busy:
            return unchanged(path, Unchanged::Busy);
        case PhraseChange::CancelResult::Unusable:
            return unchanged(path, Unchanged::Unusable);
        case PhraseChange::CancelResult::Failed:
            break;
        }
        return unchanged(path, Unchanged::Failed);
    }
    if (mode == Moved)
        return markMoved(parser, path, now);
    if (mode == Status) {
        QString text = QStringLiteral("moved %1 of %2\n").arg(now.moved.size()).arg(now.moved.size() + now.waiting.size());
        // The lines stay as a script reads them; where each site takes its new password goes to
        // standard error, for every identifier that is a domain name.
        for (const QString &line : qAsConst(now.waiting)) {
            text += line + QLatin1Char('\n');
            const QString page = PageMatch::changePasswordPage(ProfileFile::identifierOf(line));
            if (!page.isEmpty())
                Terminal::writeError(QStringLiteral("quorvane-cli: change %1 at %2\n").arg(ProfileFile::identifierOf(line), page));
        }
        // What to do next, for a person at a terminal.
        if (Terminal::outputIsTerminal())
            text += now.waiting.isEmpty() ? QString()
                                          : QStringLiteral("next: log in to each site above with its previous password (\"phrase "
                                                           "show NAME\" prints both), change it to the new one, then "
                                                           "\"phrase moved NAME\"\n");
        return printed(text);
    }

    QString line;
    Recipe recipe;
    QString error;
    const int found = savedProfile(parser.positionalArguments().constFirst(), QStringLiteral("NAME"), &line, &recipe, &error);
    if (found != Ok)
        return fail(found, error);

    QString previous;
    QString next;
    const int phrases = readTwoPhrases(&previous, &next);
    if (phrases != Ok)
        return phrases;
    QString before = recipe.derive(previous);
    QString after = recipe.derive(next);
    previous.fill(QChar(0));
    next.fill(QChar(0));
    if (before.isNull() || after.isNull())
        return fail(Failure, QStringLiteral("the passwords could not be made (%1)").arg(LibCrypto::failureReason()));
    // Labelled for a person; as two bare lines for a script.
    const bool labelled = Terminal::outputIsTerminal();
    Terminal::writeOutput((labelled ? QStringLiteral("previous phrase: ") : QString()) + before + QLatin1Char('\n')
                          + (labelled ? QStringLiteral("new phrase:      ") : QString()) + after + QLatin1Char('\n'));
    before.fill(QChar(0));
    after.fill(QChar(0));
    if (!Terminal::flushOutput())
        return fail(Failure, QStringLiteral("the passwords could not be written to standard output"));
    return Ok;
}

int PhraseCommand::markMoved(const QCommandLineParser &parser, const QString &path, const PhraseChange::Status &now)
{
    const bool back = parser.isSet(backOption);
    QStringList lines;
    if (parser.isSet(allOption)) {
        if (!parser.positionalArguments().isEmpty())
            return usageError(QStringLiteral("give either NAME or --all, not both"));
        lines = back ? now.moved : now.waiting;
    } else {
        if (parser.positionalArguments().isEmpty())
            return usageError(QStringLiteral("NAME is required (or --all)"));
        for (const QString &name : parser.positionalArguments()) {
            QString line;
            Recipe recipe;
            QString error;
            const int found = savedProfile(name, QStringLiteral("NAME"), &line, &recipe, &error);
            if (found != Ok)
                return fail(found, error);
            lines << line;
        }
    }
    QString text;
    int result = Ok;
    for (QString line : qAsConst(lines)) {
        bool finished = false;
        const QString identifier = ProfileFile::identifierOf(line);
        switch (PhraseChange::move(path, &line, back, &finished)) {
        case PhraseChange::MoveResult::Moved:
            text += line + QLatin1Char('\n');
            if (finished)
                text += QStringLiteral("every profile now uses the new secret phrase: the change is complete\n");
            continue;
        case PhraseChange::MoveResult::AlreadyMoved:
            Terminal::writeError(QStringLiteral("quorvane-cli: %1 uses the %2 secret phrase already\n")
                                     .arg(identifier, back ? QStringLiteral("previous") : QStringLiteral("new")));
            result = Refused;
            continue;
        case PhraseChange::MoveResult::NotFound:
        case PhraseChange::MoveResult::NoChange:
            printed(text);
            return unchanged(path, Unchanged::Meanwhile);
        case PhraseChange::MoveResult::Busy:
            printed(text);
            return unchanged(path, Unchanged::Busy);
        case PhraseChange::MoveResult::Unusable:
            printed(text);
            return unchanged(path, Unchanged::Unusable);
        case PhraseChange::MoveResult::Failed:
            break;
        }
        printed(text);
        return unchanged(path, Unchanged::Failed);
    }
    const int shown = printed(text);
    return result != Ok ? result : shown;
}

}
