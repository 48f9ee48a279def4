#include "command.h"
#include "commands.h"

#include "fingerprint.h"
#include "libcrypto.h"
#include "pagematch.h"
#include "profilefile.h"
#include "terminal.h"

#include <algorithm>

namespace Cli {

namespace {

const QCommandLineOption entropyOption(QStringLiteral("entropy"),
                                       QStringLiteral("Print the password's strength on a second line, in bits with its rating, as the window "
                                                                      "shows it: \"104.6 bits, excellent\"."));
const QCommandLineOption profileOption(
    QStringLiteral("profile"),
    QStringLiteral("Derive the saved profile NAME names, with every field it holds: a whole line as \"profiles "
                   "list\" prints it, an identifier, or a web address or host name, which finds the profiles that "
                   "name that page most closely, as the browser's popup does (https://github.com/login finds "
                   "github.com). Goes with --exact and --entropy only."),
    QStringLiteral("NAME"));

// The saved profile that --profile names: the line equal to the name, or else the one line whose
// identifier it is. Ok, or the exit code with the message: Refused for none, Usage for several or
// a line that is no profile, Failure when the profile file cannot be read.
int savedProfile(const QString &name, Recipe *recipe, QString *error)
{
    const QString path = ProfileFile::defaultPath();
    QStringList lines;
    const ProfileFile::ReadStatus status = ProfileFile::readLines(path, &lines);
    if (status != ProfileFile::ReadStatus::Read && status != ProfileFile::ReadStatus::Missing) {
        *error = QStringLiteral("the profile file %1 %2").arg(path, ProfileFile::problemOf(path, status));
        return Failure;
    }
    // Only the rows named are read whole: a site rule costs its count to read.
    QStringList named = PageMatch::profilesNamed(name, ProfileFile::rows(lines));
    // Lines that differ only in what is kept beside the password (a Spectre site's login name
    // that one list had and another not) give the same password: any of them will do.
    if (named.size() > 1) {
        const ProfileFile::Profile first = ProfileFile::parseRow(named.first());
        const bool alike = std::all_of(named.cbegin(), named.cend(), [&](const QString &row) {
            const ProfileFile::Profile p = ProfileFile::parseRow(row);
            return p.readable == first.readable && p.recipe.derivesSameAs(first.recipe);
        });
        if (alike)
            named = named.mid(0, 1);
    }
    if (named.isEmpty()) {
        *error = QStringLiteral("--profile: no saved profile is named \"%1\"").arg(name);
        return Refused;
    }
    if (named.size() != 1) {
        *error = QStringLiteral("--profile: %1 saved profiles are named \"%2\"; give the whole line:\n  %3")
                     .arg(named.size())
                     .arg(name, named.join(QStringLiteral("\n  ")));
        return Usage;
    }
    const QString problem = Recipe::lineProblem(named.first());
    Recipe::fromLine(named.first(), recipe);
    if (!problem.isEmpty())
        *error = QStringLiteral("--profile: the saved line \"%1\" makes no password: %2").arg(named.first(), problem);
    return problem.isEmpty() ? Ok : Usage;
}

}

DeriveCommand::DeriveCommand()
    : Command(QStringLiteral("derive"),
              QStringLiteral("Reads the secret phrase from standard input and prints the password. On a\n"
                             "terminal it asks for one line without echo; otherwise it reads everything\n"
                             "and drops one final line end unless --exact is given."))
{
}

QList<QCommandLineOption> DeriveCommand::options() const
{
    return QList<QCommandLineOption>{identifierOption, lengthOption, schemeOption, ruleOption, counterOption}
        + peerOptions() + QList<QCommandLineOption>{exactOption, entropyOption, profileOption};
}

int DeriveCommand::execute(const QCommandLineParser &parser)
{
    Recipe recipe;
    QString error;
    if (parser.isSet(profileOption)) {
        for (const QString &name : parser.optionNames()) {
            if (!exactOption.names().contains(name) && !entropyOption.names().contains(name)
                && !profileOption.names().contains(name))
                return usageError(QStringLiteral("--profile goes with --exact and --entropy only, not with -%1%2")
                                      .arg(name.size() > 1 ? QStringLiteral("-") : QString(), name));
        }
        const int found = savedProfile(parser.value(profileOption), &recipe, &error);
        if (found != Ok)
            return fail(found, error);
    } else if (!Command::recipe(parser, false, &recipe, &error)) {
        return usageError(error);
    }

    QString phrase;
    const int read = readPhrase(parser, &phrase);
    if (read != Ok)
        return read;
    // Typed without echo, the phrase can only be checked by its fingerprint: shown as soon as
    // the phrase is read, before anything else is made of it.
    if (Terminal::inputIsTerminal())
        Terminal::writeError(QStringLiteral("fingerprint: ") + Fingerprint::text(Fingerprint::of(phrase)) + QLatin1Char('\n'));
    if (recipe.identifierRefused())
        return fail(Usage, QStringLiteral("--identifier cannot hold \"|\" under the %1 scheme")
                               .arg(Schemes::name(recipe.scheme)));
    QString password = recipe.derive(phrase);
    phrase.fill(QChar(0));
    if (password.isNull())
        return fail(Failure, QStringLiteral("the password could not be made (%1)").arg(LibCrypto::failureReason()));
    Terminal::writeOutput(password + QLatin1Char('\n'));
    if (parser.isSet(entropyOption))
        Terminal::writeOutput(QStringLiteral("%1 bits, %2\n").arg(recipe.entropyText(), recipe.rating()));
    password.fill(QChar(0));
    if (!Terminal::flushOutput())
        return fail(Failure, QStringLiteral("the password could not be written to standard output"));
    return Ok;
}

}
