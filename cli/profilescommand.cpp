#include "command.h"
#include "commands.h"

#include "profilefile.h"
#include "siteimport.h"
#include "terminal.h"

#include <QFileInfo>

namespace Cli {

namespace {

QString busy(const QString &path)
{
    return QStringLiteral("the profile file %1 is being changed by another Quorvane window or quorvane-cli; nothing "
                          "was changed, try again").arg(path);
}

}

ListCommand::ListCommand()
    : Command(QStringLiteral("profiles list"),
              QStringLiteral("Prints every saved profile line, in ascending order, from the same profile\n"
                             "file as the program."))
{
}

QList<QCommandLineOption> ListCommand::options() const
{
    return {};
}

int ListCommand::execute(const QCommandLineParser &)
{
    const QString path = ProfileFile::defaultPath();
    QStringList lines;
    const ProfileFile::ReadStatus status = ProfileFile::readLines(path, &lines);
    if (status != ProfileFile::ReadStatus::Read && status != ProfileFile::ReadStatus::Missing)
        return fail(Failure, QStringLiteral("the profile file %1 %2").arg(path, ProfileFile::problemOf(path, status)));
    for (const QString &row : ProfileFile::rows(lines))
        Terminal::writeOutput(row + QLatin1Char('\n'));
    if (!Terminal::flushOutput())
        return fail(Failure, QStringLiteral("the profiles could not be written to standard output"));
    return Ok;
}

ChangeCommand::ChangeCommand(bool add)
    : Command(add ? QStringLiteral("profiles add") : QStringLiteral("profiles remove"),
              add ? QStringLiteral("Saves the profile line of the identifier, the length, the scheme, and for the\n"
                                   "strong scheme the rule and the counter.")
                  : QStringLiteral("Removes every saved line equal to the profile given: the line as \"profiles list\"\n"
                                   "prints it, an identifier that names exactly one profile, or the options.")),
      adds(add)
{
}

QList<QCommandLineOption> ChangeCommand::options() const
{
    return QList<QCommandLineOption>{identifierOption, lengthOption, schemeOption, ruleOption, counterOption}
        + peerOptions();
}

int ChangeCommand::execute(const QCommandLineParser &parser)
{
    const QString path = ProfileFile::defaultPath();
    if (!adds && !parser.positionalArguments().isEmpty()) {
        if (!parser.optionNames().isEmpty())
            return usageError(QStringLiteral("give either LINE or the profile's options, not both"));
        QString line;
        const int found = namedLine(path, parser.positionalArguments().constFirst(), &line);
        return found == Ok ? removeLine(path, line) : found;
    }
    if (!parser.isSet(identifierOption))
        return usageError(QStringLiteral("--identifier is required"));
    Recipe recipe;
    QString error;
    // A new profile takes the scheme's default length (or a site rule's longest), as derive
    // does; a remove names the saved line exactly.
    if (!Command::recipe(parser, !adds, &recipe, &error))
        return usageError(error);

    if (adds) {
        switch (ProfileFile::save(path, recipe)) {
        case ProfileFile::SaveResult::Saved:
            return Ok;
        case ProfileFile::SaveResult::InvalidIdentifier:
            return fail(Usage, QStringLiteral("--identifier is empty or holds \"|\""));
        case ProfileFile::SaveResult::UnstorableIdentifier:
            return fail(Usage, ProfileFile::isStorableIdentifier(recipe.identifier)
                                   ? recipe.storableProblem()
                                   : QStringLiteral("--identifier holds a line break, a tab or another control "
                                                    "character, or starts with an invisible mark: a profile line "
                                                    "cannot keep it (it can still derive a password)"));
        case ProfileFile::SaveResult::Busy:
            return fail(Failure, busy(path));
        case ProfileFile::SaveResult::Unusable:
            return fail(Failure, QStringLiteral("the profile file %1 %2; nothing was changed")
                                     .arg(path, ProfileFile::problemOf(path, ProfileFile::check(path))));
        case ProfileFile::SaveResult::InvalidRecipe:
            return fail(Usage, recipe.problem());
        case ProfileFile::SaveResult::AlreadySaved:
            return fail(Refused, QStringLiteral("the profile is saved already: %1").arg(recipe.line()));
        case ProfileFile::SaveResult::Failed:
            break;
        }
        return fail(Failure, QStringLiteral("the profile could not be saved: %1").arg(ProfileFile::failureText(path)));
    }

    return removeLine(path, recipe.line());
}

int ChangeCommand::removeLine(const QString &path, const QString &line)
{
    switch (ProfileFile::remove(path, line)) {
    case ProfileFile::RemoveResult::Removed:
        return Ok;
    case ProfileFile::RemoveResult::NotFound:
        return fail(Refused, QStringLiteral("no such profile: %1").arg(line));
    case ProfileFile::RemoveResult::Busy:
        return fail(Failure, busy(path));
    case ProfileFile::RemoveResult::Unusable:
        return fail(Failure, QStringLiteral("the profile file %1 %2; nothing was changed")
                                 .arg(path, ProfileFile::problemOf(path, ProfileFile::check(path))));
    case ProfileFile::RemoveResult::Failed:
        break;
    }
    return fail(Failure, QStringLiteral("the profile could not be deleted: %1; it was left as it was").arg(ProfileFile::failureText(path)));
}

int ChangeCommand::namedLine(const QString &path, const QString &name, QString *line)
{
    QStringList lines;
    const ProfileFile::ReadStatus status = ProfileFile::readLines(path, &lines);
    if (status != ProfileFile::ReadStatus::Read && status != ProfileFile::ReadStatus::Missing)
        return fail(Failure, QStringLiteral("the profile file %1 %2").arg(path, ProfileFile::problemOf(path, status)));
    const QStringList rows = ProfileFile::rows(lines);
    QStringList named;
    if (rows.contains(name)) {
        named << name;
    } else {
        // A line given without the phrase mark its saved line has names that line; else the
        // identifier names its lines.
        for (const QString &row : rows) {
            Recipe recipe;
            if (row.startsWith(name) && row.contains(QLatin1String("|#")) && Recipe::phraseOfLine(row) > 1
                && Recipe::fromLine(row, &recipe) && recipe.line() == name)
                named << row;
        }
        const bool marked = !named.isEmpty();
        for (const QString &row : rows) {
            if (!marked && ProfileFile::identifierOf(row) == name)
                named << row;
        }
        named.removeDuplicates();
    }
    if (named.isEmpty())
        return fail(Refused, QStringLiteral("no such profile: %1").arg(name));
    if (named.size() > 1)
        return fail(Usage, QStringLiteral("%1 saved profiles are named \"%2\"; give the whole line:\n  %3")
                               .arg(named.size())
                               .arg(name, named.join(QStringLiteral("\n  "))));
    *line = named.constFirst();
    return Ok;
}

ImportCommand::ImportCommand()
    : Command(QStringLiteral("profiles import"),
              QStringLiteral("Saves every site of a LessPass profiles file (JSON) or a Spectre or Master Password\n"
                             "export (.mpsites, .mpjson) as a profile, in one change: all or nothing. The format\n"
                             "is told by the content. Sites that cannot be derived (stored passwords, LessPass\n"
                             "version 1, ...) are named on standard error; standard output gets one line:\n"
                             "\"imported N, already saved M, skipped K\"."))
{
}

QList<QCommandLineOption> ImportCommand::options() const
{
    return {};
}

int ImportCommand::execute(const QCommandLineParser &parser)
{
    const QString file = parser.positionalArguments().constFirst();
    const SiteImport::Result list = SiteImport::readFile(file);
    if (list.status != SiteImport::Result::Read)
        return fail(Usage, QStringLiteral("%1: %2; nothing was imported").arg(file, list.problem));
    const QString path = ProfileFile::defaultPath();
    const SiteImport::Stored stored = SiteImport::store(path, list);
    switch (stored.save) {
    case ProfileFile::SaveResult::Saved:
    case ProfileFile::SaveResult::AlreadySaved:
        break;
    case ProfileFile::SaveResult::Busy:
        return fail(Failure, busy(path));
    case ProfileFile::SaveResult::Unusable:
        return fail(Failure, QStringLiteral("the profile file %1 %2; nothing was imported")
                                 .arg(path, ProfileFile::problemOf(path, ProfileFile::check(path))));
    default:
        return fail(Failure, QStringLiteral("cannot write the profile file %1; nothing was imported").arg(path));
    }
    for (const SiteImport::Skipped &skipped : stored.skipped)
        Terminal::writeError(QStringLiteral("quorvane-cli: skipped \"%1\": %2\n").arg(skipped.site, skipped.reason));
    Terminal::writeOutput(SiteImport::summary(stored) + QLatin1Char('\n'));
    if (!Terminal::flushOutput())
        return fail(Failure, QStringLiteral("cannot write to standard output"));
    return Ok;
}

}
