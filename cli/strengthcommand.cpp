#include "command.h"
#include "commands.h"

#include "phrasestrength.h"
#include "terminal.h"

namespace Cli {

StrengthCommand::StrengthCommand()
    : Command(QStringLiteral("strength"),
              QStringLiteral("Reads the secret phrase as derive does and prints how hard it is to guess, as the\n"
                             "zxcvbn library estimates it on this machine: \"70.3 bits, weak\". Ratings: poor under\n"
                             "40 bits, weak under 75, good under 100, excellent from 100."))
{
}

QList<QCommandLineOption> StrengthCommand::options() const
{
    return {exactOption};
}

int StrengthCommand::execute(const QCommandLineParser &parser)
{
    QString phrase;
    const int read = readPhrase(parser, &phrase);
    if (read != Ok)
        return read;
    const PhraseStrength::Estimate estimate = PhraseStrength::of(phrase);
    phrase.fill(QChar(0));
    Terminal::writeOutput(PhraseStrength::text(estimate) + QLatin1Char('\n'));
    if (!Terminal::flushOutput())
        return fail(Failure, QStringLiteral("the strength could not be written to standard output"));
    return Ok;
}

}
