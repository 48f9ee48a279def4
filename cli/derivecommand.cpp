#include "command.h"
#include "commands.h"

#include "derivation.h"
#include "fingerprint.h"
#include "profilefile.h"
#include "terminal.h"
#include "usertexts.h"

namespace Cli {

namespace {

const QCommandLineOption entropyOption(QStringLiteral("entropy"),
                                       QStringLiteral("Print the password's strength in bits on a second line, as the window shows it."));

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
        + peerOptions() + QList<QCommandLineOption>{exactOption, entropyOption};
}

int DeriveCommand::execute(const QCommandLineParser &parser)
{
    int length = 0;
    Scheme scheme = Scheme::Strong;
    Rule rule;
    int counter = Counter::first;
    PeerRecipe peer;
    QString error;
    if (!Command::scheme(parser, &scheme, &error))
        return usageError(error);
    const bool isPeer = PeerSchemes::isPeer(scheme);
    if (isPeer ? !peerRecipe(parser, scheme, &peer, &error)
               : !noPeerOptions(parser, scheme, &error) || !ruleAndCounter(parser, scheme, &rule, &counter, &error)
                     || !lengthForRule(parser, rule, &length, &error))
        return usageError(error);
    const QString identifier = parser.value(identifierOption);

    QString phrase;
    const int read = readPhrase(parser, &phrase);
    if (read != Ok)
        return read;
    if (!isPeer && ProfileFile::containsBar(identifier))
        return fail(Usage, UserTexts::barInIdentifier());

    // Typed without echo, the phrase can only be checked by its fingerprint.
    if (Terminal::inputIsTerminal())
        Terminal::writeError(QStringLiteral("fingerprint: ") + Fingerprint::text(Fingerprint::of(phrase)) + QLatin1Char('\n'));
    QString password = isPeer ? PeerSchemes::derive(peer, phrase)
                              : Derivation::derive(scheme, phrase, identifier, length, rule, counter);
    phrase.fill(QChar(0));
    if (password.isNull())
        return fail(Failure, QStringLiteral("the password could not be made (not enough free memory, or the digest library failed)"));
    Terminal::writeOutput(password + QLatin1Char('\n'));
    if (parser.isSet(entropyOption))
        Terminal::writeOutput((isPeer ? PeerSchemes::entropyText(peer) : Derivation::entropyText(scheme, rule, length))
                              + QLatin1Char('\n'));
    password.fill(QChar(0));
    if (!Terminal::flushOutput())
        return fail(Failure, QStringLiteral("the password could not be written to standard output"));
    return Ok;
}

}
