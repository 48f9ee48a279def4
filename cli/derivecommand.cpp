#include "command.h"
#include "commands.h"

#include "derivation.h"
#include "fingerprint.h"
#include "profilefile.h"
#include "terminal.h"
#include "usertexts.h"

#include <QSet>

namespace Cli {

namespace {

const QCommandLineOption entropyOption(QStringLiteral("entropy"),
                                       QStringLiteral("Print the password's strength in bits on a second line, as the window shows it."));
const QCommandLineOption profileOption(
    QStringLiteral("profile"),
    QStringLiteral("Derive the saved profile whose identifier (or site) is NAME, with every field it holds; NAME may "
                   "also be a whole line as \"profiles list\" prints it. Goes with --exact and --entropy only."),
    QStringLiteral("NAME"));

// The saved profile that --profile names: the line equal to the name, or else the one line whose
// identifier it is. Ok, or the exit code with the message: Usage for none or several, Failure
// when the profile file cannot be read.
int savedProfile(const QString &name, ProfileFile::Profile *profile, QString *error)
{
    const QString path = ProfileFile::defaultPath();
    QStringList lines;
    const ProfileFile::ReadStatus status = ProfileFile::readLines(path, &lines);
    if (status != ProfileFile::ReadStatus::Read && status != ProfileFile::ReadStatus::Missing) {
        *error = QStringLiteral("the profile file %1 %2").arg(path, ProfileFile::problem(status));
        return Failure;
    }
    const QStringList rows = ProfileFile::rows(lines);
    QStringList named;
    if (rows.contains(name)) {
        named << name;
    } else {
        for (const QString &row : rows) {
            if (ProfileFile::parseRow(row).identifier == name)
                named << row;
        }
    }
    // Lines that differ only in a Spectre site's stored login name (one list had it, another
    // not) give the same password: any of them will do.
    QSet<QString> passwords;
    for (const QString &row : named) {
        ProfileFile::Profile p = ProfileFile::parseRow(row);
        p.peer.login = p.scheme == Scheme::Spectre ? QString() : p.peer.login;
        passwords.insert(PeerSchemes::isPeer(p.scheme) ? PeerSchemes::line(p.peer) : row);
    }
    if (passwords.size() == 1)
        named = named.mid(0, 1);
    if (named.size() != 1) {
        *error = named.isEmpty()
            ? QStringLiteral("no saved profile is named \"%1\"").arg(name)
            : QStringLiteral("%1 saved profiles are named \"%2\"; give the whole line as --profile:\n  %3")
                  .arg(named.size())
                  .arg(name, named.join(QStringLiteral("\n  ")));
        return Usage;
    }
    *profile = ProfileFile::parseRow(named.first());
    const bool derivable = profile->readable
        && (PeerSchemes::isPeer(profile->scheme) || Derivation::isValidLength(profile->length));
    if (!derivable)
        *error = QStringLiteral("the saved line \"%1\" is not a profile that can be derived").arg(named.first());
    return derivable ? Ok : Usage;
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
    int length = 0;
    Scheme scheme = Scheme::Strong;
    Rule rule;
    int counter = Counter::first;
    PeerRecipe peer;
    QString error;
    QString identifier = parser.value(identifierOption);
    if (parser.isSet(profileOption)) {
        for (const QString &name : parser.optionNames()) {
            if (!exactOption.names().contains(name) && !entropyOption.names().contains(name)
                && !profileOption.names().contains(name))
                return usageError(QStringLiteral("--profile goes with --exact and --entropy only, not with -%1%2")
                                      .arg(name.size() > 1 ? QStringLiteral("-") : QString(), name));
        }
        ProfileFile::Profile profile;
        const int found = savedProfile(parser.value(profileOption), &profile, &error);
        if (found != Ok)
            return fail(found, error);
        scheme = profile.scheme;
        peer = profile.peer;
        identifier = profile.identifier;
        length = profile.length;
        rule = profile.rule;
        counter = profile.counter;
    } else if (!Command::scheme(parser, &scheme, &error)) {
        return usageError(error);
    }
    const bool isPeer = PeerSchemes::isPeer(scheme);
    if (!parser.isSet(profileOption)
        && (isPeer ? !peerRecipe(parser, scheme, &peer, &error)
                   : !noPeerOptions(parser, scheme, &error) || !ruleAndCounter(parser, scheme, &rule, &counter, &error)
                         || !lengthForRule(parser, rule, &length, &error)))
        return usageError(error);

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
