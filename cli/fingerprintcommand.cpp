#include "command.h"
#include "commands.h"

#include "fingerprint.h"
#include "libcrypto.h"
#include "terminal.h"

namespace Cli {

FingerprintCommand::FingerprintCommand()
    : Command(QStringLiteral("fingerprint"),
              QStringLiteral("Reads the secret phrase as derive does and prints its fingerprint, the three coloured "
                             "shapes the window shows beside the phrase (\"teal star, red leaf, teal leaf\"). A typo "
                             "gives other shapes."))
{
}

QList<QCommandLineOption> FingerprintCommand::options() const
{
    return {exactOption};
}

int FingerprintCommand::execute(const QCommandLineParser &parser)
{
    QString phrase;
    const int read = readPhrase(parser, &phrase);
    if (read != Ok)
        return read;
    const QVector<Fingerprint::Symbol> symbols = Fingerprint::of(phrase);
    phrase.fill(QChar(0));
    if (symbols.isEmpty())
        return fail(Failure, QStringLiteral("the fingerprint could not be made (%1)").arg(LibCrypto::failureReason()));
    Terminal::writeOutput(Fingerprint::text(symbols) + QLatin1Char('\n'));
    if (!Terminal::flushOutput())
        return fail(Failure, QStringLiteral("the fingerprint could not be written to standard output"));
    return Ok;
}

}
