#include "command.h"
#include "commands.h"

#include "fingerprint.h"
#include "libcrypto.h"
#include "pagematch.h"
#include "phrasechange.h"
#include "phrasestate.h"
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
                   "github.com). Goes with --exact, --entropy and --next only."),
    QStringLiteral("NAME"));
const QCommandLineOption nextOption(
    QStringLiteral("next"),
    QStringLiteral("With --profile: the password of the profile's next version, for a site that asks for a new "
                   "one (\"profiles next NAME\" saves it). A compatible profile's next password is a strong one."));

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
        + peerOptions() + QList<QCommandLineOption>{exactOption, entropyOption, profileOption, nextOption};
}

bool DeriveCommand::readsProfiles(const QCommandLineParser &parser) const
{
    return parser.isSet(profileOption);
}

int DeriveCommand::execute(const QCommandLineParser &parser)
{
    Recipe recipe;
    QString error;
    QString line;
    if (parser.isSet(profileOption)) {
        for (const QString &name : parser.optionNames()) {
            if (!exactOption.names().contains(name) && !entropyOption.names().contains(name)
                && !profileOption.names().contains(name) && !nextOption.names().contains(name))
                return usageError(QStringLiteral("--profile goes with --exact, --entropy and --next only, not with -%1%2")
                                      .arg(name.size() > 1 ? QStringLiteral("-") : QString(), name));
        }
        const int found = savedProfile(parser.value(profileOption), QStringLiteral("--profile"), &line, &recipe, &error);
        if (found != Ok)
            return fail(found, error);
        Recipe next;
        if (parser.isSet(nextOption) && !recipe.nextVersion(&next, &error))
            return fail(Refused, error);
        if (parser.isSet(nextOption)) {
            recipe = next;
            // Where the site takes the new password (standard output carries the password).
            const QString page = PageMatch::changePasswordPage(recipe.identifier);
            if (!page.isEmpty())
                Terminal::writeError(QStringLiteral("quorvane-cli: change it at %1\n").arg(page));
        }
    } else if (parser.isSet(nextOption)) {
        return usageError(QStringLiteral("--next goes with --profile only"));
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
    // The password is made from whatever phrase was typed; the note says which one it should be.
    if (!line.isEmpty() && PhraseChange::waits(line, PhraseChange::target(ProfileFile::defaultPath())))
        Terminal::writeError(QStringLiteral("quorvane-cli: %1 still uses your previous secret phrase\n").arg(recipe.identifier));
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
