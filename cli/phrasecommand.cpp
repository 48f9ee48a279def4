#include "command.h"
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
                             "version is a strong profile of the same identifier."))
{
}

QList<QCommandLineOption> NextCommand::options() const
{
    return {};
}

int NextCommand::execute(const QCommandLineParser &parser)
{
    QString line;
    Recipe recipe;
    QString error;
    const int found = savedProfile(parser.positionalArguments().constFirst(), QStringLiteral("NAME"), &line, &recipe, &error);
    if (found != Ok)
        return fail(found, error);
    Recipe next;
    if (!recipe.nextVersion(&next, &error))
        return fail(Refused, error);
    const QString path = ProfileFile::defaultPath();
    // The next version keeps the phrase its line is on.
    const QString nextLine = next.lineOnPhrase(Recipe::phraseOfLine(line));
    switch (ProfileFile::replace(path, line, nextLine)) {
    case ProfileFile::RemoveResult::Removed: {
        const QString page = PageMatch::changePasswordPage(next.identifier);
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

PhraseCommand::PhraseCommand(Mode mode)
    : Command(mode == Change   ? QStringLiteral("phrase change")
              : mode == Status ? QStringLiteral("phrase status")
              : mode == Show   ? QStringLiteral("phrase show")
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
                                   "profile's password under the previous phrase, then under the new one.")
                  : QStringLiteral("Marks the profile moved to the new phrase, once the site took the new password.\n"
                                   "When the last one moves, the change ends. Exit 1 when it is marked already.")),
      mode(mode)
{
}

QList<QCommandLineOption> PhraseCommand::options() const
{
    return {};
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
        return printed(text);
    }

    QString line;
    Recipe recipe;
    QString error;
    const int found = savedProfile(parser.positionalArguments().constFirst(), QStringLiteral("NAME"), &line, &recipe, &error);
    if (found != Ok)
        return fail(found, error);
    if (mode == Moved) {
        bool finished = false;
        switch (PhraseChange::move(path, &line, false, &finished)) {
        case PhraseChange::MoveResult::Moved:
            return printed(line + QLatin1Char('\n')
                           + (finished ? QStringLiteral("every profile now uses the new secret phrase: the change is "
                                                        "complete\n") : QString()));
        case PhraseChange::MoveResult::AlreadyMoved:
            return fail(Refused, QStringLiteral("%1 uses the new secret phrase already").arg(recipe.identifier));
        case PhraseChange::MoveResult::NotFound:
        case PhraseChange::MoveResult::NoChange:
            return unchanged(path, Unchanged::Meanwhile);
        case PhraseChange::MoveResult::Busy:
            return unchanged(path, Unchanged::Busy);
        case PhraseChange::MoveResult::Unusable:
            return unchanged(path, Unchanged::Unusable);
        case PhraseChange::MoveResult::Failed:
            break;
        }
        return unchanged(path, Unchanged::Failed);
    }

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
    Terminal::writeOutput(before + QLatin1Char('\n') + after + QLatin1Char('\n'));
    before.fill(QChar(0));
    after.fill(QChar(0));
    if (!Terminal::flushOutput())
        return fail(Failure, QStringLiteral("the passwords could not be written to standard output"));
    return Ok;
}

}
