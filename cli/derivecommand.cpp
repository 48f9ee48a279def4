#include "command.h"
#include "commands.h"

#include "derivation.h"
#include "profilefile.h"
#include "terminal.h"
#include "usertexts.h"
#include "utf8.h"

#include <sodium.h>

namespace Cli {

namespace {

const QCommandLineOption exactOption(QStringLiteral("exact"),
                                     QStringLiteral("Keep a final line end of a phrase read from a pipe or file."));
const QCommandLineOption entropyOption(QStringLiteral("entropy"),
                                       QStringLiteral("Print the password's strength in bits on a second line, as the window shows it."));

// Drops one final LF or CR LF: what a pipe or a file adds after the phrase's line.
void dropLineEnd(QByteArray *input)
{
    if (input->endsWith("\r\n"))
        input->chop(2);
    else if (input->endsWith('\n'))
        input->chop(1);
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
    return {identifierOption, lengthOption, schemeOption, ruleOption, counterOption, exactOption, entropyOption};
}

int DeriveCommand::execute(const QCommandLineParser &parser)
{
    int length = 0;
    Scheme scheme = Scheme::Strong;
    Rule rule;
    int counter = Counter::first;
    QString error;
    if (!Command::length(parser, false, Derivation::maximumLength, &length, &error)
        || !Command::scheme(parser, &scheme, &error) || !ruleAndCounter(parser, scheme, &rule, &counter, &error))
        return usageError(error);
    const QString identifier = parser.value(identifierOption);

    QByteArray input;
    const bool terminal = Terminal::inputIsTerminal();
    const Terminal::ReadResult read = terminal ? Terminal::readHiddenLine(&input, &error)
                                               : Terminal::readAll(&input, &error);
    if (read == Terminal::ReadResult::Failed)
        return fail(Failure, error);
    if (!terminal && !parser.isSet(exactOption))
        dropLineEnd(&input);
    QString phrase;
    const bool valid = Utf8::decodeStrict(input, &phrase);
    sodium_memzero(input.data(), std::size_t(input.size()));
    if (!valid)
        return fail(Usage, QStringLiteral("the secret phrase is not valid UTF-8"));
    if (phrase.isEmpty())
        return fail(Usage, UserTexts::emptySecret());
    if (ProfileFile::containsBar(identifier))
        return fail(Usage, UserTexts::barInIdentifier());

    QString password = Derivation::derive(scheme, phrase, identifier, length, rule, counter);
    phrase.fill(QChar(0));
    if (password.isNull())
        return fail(Failure, QStringLiteral("the password could not be made (not enough free memory, or the digest library failed)"));
    Terminal::writeOutput(password + QLatin1Char('\n'));
    if (parser.isSet(entropyOption))
        Terminal::writeOutput(rule.entropyText(length) + QLatin1Char('\n'));
    password.fill(QChar(0));
    if (!Terminal::flushOutput())
        return fail(Failure, QStringLiteral("the password could not be written to standard output"));
    return Ok;
}

}
