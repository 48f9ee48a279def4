#include "command.h"

#include "derivation.h"
#include "relatedsites.h"
#include "fingerprint.h"
#include "pagematch.h"
#include "profilefile.h"
#include "sync.h"
#include "lesspass.h"
#include "phrase.h"
#include "sitelist.h"
#include "terminal.h"
#include "utf8.h"

#include <sodium.h>

#include <QCoreApplication>
#include <QHash>

#include <algorithm>
#include <cstdio>

namespace Cli {

int fail(int code, const QString &message)
{
    Terminal::writeError(QStringLiteral("quorvane-cli: ") + message + QLatin1Char('\n'));
    return code;
}

int usageError(const QString &message, const QString &command)
{
    // The parser's own messages start in capitals and end in a full stop; ours do neither.
    QString text = message;
    if (text.endsWith(QLatin1Char('.')))
        text.chop(1);
    if (text.size() > 1 && text.at(0).isUpper() && text.at(1).isLower())
        text[0] = text.at(0).toLower();
    fail(Usage, text);
    const QString words = command.isEmpty() ? QString() : command + QLatin1Char(' ');
    Terminal::writeError(QStringLiteral("Try 'quorvane-cli %1--help'.\n").arg(words));
    return Usage;
}

const QCommandLineOption Command::identifierOption(
    {QStringLiteral("i"), QStringLiteral("identifier")},
    QStringLiteral("The password identifier, UTF-8, without \"|\" (derive: empty by default)."),
    QStringLiteral("TEXT"));
const QCommandLineOption Command::lengthOption(
    {QStringLiteral("l"), QStringLiteral("length")},
    QStringLiteral("The password length: 4 to 32 for the strong scheme (derive: 16 by default, or a site rule's "
                   "longest; with --rule=words the number of words, 4 to 12, 6 by default) and the compatible one "
                   "(4 by default, as the original program starts), 5 to 35 for LessPass (16 by default)."),
    QStringLiteral("N"));
const QCommandLineOption Command::schemeOption(
    QStringLiteral("scheme"),
    QStringLiteral("strong (the default), compatible (the original program's scheme), lesspass or spectre."),
    QStringLiteral("NAME"));

const QCommandLineOption Command::ruleOption(
    QStringLiteral("rule"),
    QStringLiteral("The characters of a strong password: base64 (the default), or classes a, A, 9 and ! in that "
                   "order, e.g. aA9!, aA9, 9; !:SYMBOLS names the site's own symbols, e.g. aA9!:!@#$%. Or a site's "
                   "rule in the passwordrules language, e.g. \"required: lower, upper; required: digit; maxlength: "
                   "20\" (without --length, its longest length up to 32); site takes the rule of the identifier's "
                   "site, as \"rules site\" prints it. Or a passphrase: words (words of the EFF's list joined by "
                   "-), or words: with space, caps, digit in that order, e.g. words:caps,digit."),
    QStringLiteral("RULE"));
const QCommandLineOption Command::counterOption(
    QStringLiteral("counter"),
    QStringLiteral("The version of a strong password, 1 (the default) to 2147483647; a new version gives a "
                   "new password for the same identifier."),
    QStringLiteral("N"));

const QCommandLineOption Command::loginOption(
    QStringLiteral("login"), QStringLiteral("LessPass: the login (empty by default)."), QStringLiteral("TEXT"));
const QCommandLineOption Command::userNameOption(
    QStringLiteral("user-name"), QStringLiteral("Spectre: the user name, its \"full name\" (required)."),
    QStringLiteral("TEXT"));
const QCommandLineOption Command::templateOption(
    QStringLiteral("template"),
    QStringLiteral("Spectre: maximum, long, medium, short, basic, pin, name or phrase (long for a password, name "
                   "for a login, phrase for an answer by default)."),
    QStringLiteral("NAME"));
const QCommandLineOption Command::algorithmOption(
    QStringLiteral("algorithm"), QStringLiteral("Spectre: the algorithm version, 0 to 3 (3 by default)."),
    QStringLiteral("V"));
const QCommandLineOption Command::purposeOption(
    QStringLiteral("purpose"), QStringLiteral("Spectre: password (the default), login or answer."),
    QStringLiteral("NAME"));
const QCommandLineOption Command::contextOption(
    QStringLiteral("context"), QStringLiteral("Spectre: the security question's keyword (answer only)."),
    QStringLiteral("KEYWORD"));

QList<QCommandLineOption> Command::peerOptions()
{
    return {loginOption, userNameOption, templateOption, algorithmOption, purposeOption, contextOption};
}

const QCommandLineOption Command::exactOption(
    QStringLiteral("exact"), QStringLiteral("Keep a final line end of a phrase read from a pipe or file."));

namespace {

const QCommandLineOption helpOption({QStringLiteral("h"), QStringLiteral("help")},
                                    QStringLiteral("Print this help and exit."));
const QCommandLineOption versionOption(QStringLiteral("version"), QStringLiteral("Print the version and exit."));

// QCommandLineParser reads "-identifier=bank" as "-i" with the value "dentifier=bank". A long
// option written with one dash, or "-i=bank", is refused instead of being taken that way.
QString malformedOption(const QStringList &arguments, const QList<QCommandLineOption> &options)
{
    for (const QString &arg : arguments) {
        if (arg == QLatin1String("--"))
            break;
        if (arg.size() <= 2 || arg.at(0) != QLatin1Char('-') || arg.at(1) == QLatin1Char('-'))
            continue;
        if (arg.at(2) == QLatin1Char('='))
            return arg;
        const QString word = arg.mid(1).section(QLatin1Char('='), 0, 0);
        for (const QCommandLineOption &option : options) {
            for (const QString &name : option.names()) {
                if (name.size() > 1 && word.size() >= 2 && name.startsWith(word))
                    return arg;
            }
        }
    }
    return QString();
}

}

Command::Command(QString name, QString description)
    : commandName(std::move(name)), commandDescription(std::move(description))
{
}

void Command::prepare()
{
    if (prepared)
        return;
    prepared = true;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.setApplicationDescription(commandDescription);
    known = options() + QList<QCommandLineOption>{helpOption, versionOption};
    for (const QCommandLineOption &option : qAsConst(known))
        parser.addOption(option);
}

QString Command::helpText()
{
    prepare();
    // The parser's first line names the program alone; the command's words belong there too.
    QString text = parser.helpText();
    const int end = text.indexOf(QLatin1Char('\n'));
    QString operand = operandName().isEmpty() ? QString() : QStringLiteral(" [--] ") + operandName();
    if (!operandName().isEmpty() && !operandRequired())
        operand = QStringLiteral(" [[--] ") + operandName() + QLatin1Char(']');
    return QStringLiteral("Usage: quorvane-cli ") + commandName + QStringLiteral(" [options]") + operand + text.mid(end);
}

int Command::run(const QStringList &arguments)
{
    prepare();
    const QString malformed = malformedOption(arguments, known);
    if (!malformed.isEmpty())
        return usageError(QStringLiteral("malformed option: %1 (write --name=VALUE, or a one-letter option as -x VALUE)")
                              .arg(malformed));
    if (!parser.parse(QStringList{QStringLiteral("quorvane-cli")} + arguments))
        return usageError(parser.errorText());
    if (parser.isSet(helpOption)) {
        Terminal::writeOutput(helpText());
        return Terminal::flushOutput() || Terminal::outputPipeClosed() ? Ok : Failure;
    }
    if (parser.isSet(versionOption)) {
        Terminal::writeOutput(versionText());
        return Terminal::flushOutput() ? Ok : Failure;
    }
    const QStringList operands = parser.positionalArguments();
    if (operands.size() > maximumOperands())
        return usageError(QStringLiteral("unexpected argument: %1").arg(operands.last()));
    if (operands.isEmpty() && !operandName().isEmpty() && operandRequired())
        return usageError(QStringLiteral("%1 is required").arg(operandName()));
    if (readsProfiles(parser)) {
        for (const QString &message : Sync::mergeCopies(ProfileFile::defaultPath()).messages())
            Terminal::writeError(QStringLiteral("quorvane-cli: ") + message + QLatin1Char('\n'));
    }
    return execute(parser);
}

bool Command::length(const QCommandLineParser &parser, bool required, int fallback, int *length, QString *error)
{
    if (!parser.isSet(lengthOption)) {
        if (required) {
            *error = QStringLiteral("--length is required");
            return false;
        }
        *length = fallback;
        return true;
    }
    bool ok = false;
    const QString text = parser.value(lengthOption);
    const int value = text.toInt(&ok, 10);
    if (!ok || text.trimmed() != text || text.startsWith(QLatin1Char('+')) || !Derivation::isValidLength(value)) {
        *error = QStringLiteral("--length must be a whole number from 4 to 32");
        return false;
    }
    *length = value;
    return true;
}

bool Command::scheme(const QCommandLineParser &parser, Scheme *scheme, QString *error)
{
    *scheme = Scheme::Strong;
    if (!parser.isSet(schemeOption))
        return true;
    const QString name = parser.value(schemeOption);
    if (!Schemes::fromName(name, scheme)) {
        *error = QStringLiteral("--scheme: unknown scheme \"%1\"; use strong, compatible, lesspass or spectre").arg(name);
        return false;
    }
    return true;
}

int Command::readPhrase(const QCommandLineParser &parser, QString *phrase)
{
    QByteArray input;
    QString error;
    const bool terminal = Terminal::inputIsTerminal();
    // Room for the line end that a pipe adds after a phrase of the greatest length.
    const int limit = Phrase::maximumBytes + 2;
    const Terminal::ReadResult read = terminal ? Terminal::readHiddenLine(&input, &error, limit)
                                               : Terminal::readAll(&input, &error, limit);
    if (read == Terminal::ReadResult::Failed)
        return fail(Failure, error);
    if (read == Terminal::ReadResult::TooLong)
        return fail(Usage, QStringLiteral("the secret phrase is longer than %1 KiB").arg(Phrase::maximumBytes / 1024));
    // What a pipe or a file adds after the phrase's line: one LF or CR LF.
    if (!terminal && !parser.isSet(exactOption)) {
        if (input.endsWith("\r\n"))
            input.chop(2);
        else if (input.endsWith('\n'))
            input.chop(1);
    }
    const bool tooLong = input.size() > Phrase::maximumBytes;
    const bool valid = !tooLong && Utf8::decodeStrict(input, phrase);
    sodium_memzero(input.data(), std::size_t(input.size()));
    if (tooLong)
        return fail(Usage, QStringLiteral("the secret phrase is longer than %1 KiB").arg(Phrase::maximumBytes / 1024));
    if (!valid)
        return fail(Usage, QStringLiteral("the secret phrase is not valid UTF-8"));
    if (phrase->isEmpty())
        return fail(Usage, QStringLiteral("the secret phrase is empty (it is read from standard input)"));
    return Ok;
}

namespace {

// One phrase as read, checked as readPhrase checks it; `which` names it in a message.
int checkedPhrase(QByteArray *input, const QString &which, QString *phrase)
{
    const bool tooLong = input->size() > Phrase::maximumBytes;
    const bool valid = !tooLong && Utf8::decodeStrict(*input, phrase);
    sodium_memzero(input->data(), std::size_t(input->size()));
    if (tooLong)
        return fail(Usage, QStringLiteral("the %1 is longer than %2 KiB").arg(which).arg(Phrase::maximumBytes / 1024));
    if (!valid)
        return fail(Usage, QStringLiteral("the %1 is not valid UTF-8").arg(which));
    if (phrase->isEmpty())
        return fail(Usage, QStringLiteral("the %1 is empty").arg(which));
    return Ok;
}

int askedPhrase(const char *prompt, const QString &which, QString *phrase, bool fingerprint)
{
    QByteArray input;
    QString error;
    const Terminal::ReadResult read = Terminal::readHiddenLine(&input, &error, Phrase::maximumBytes + 2, prompt);
    if (read == Terminal::ReadResult::Failed)
        return fail(Failure, error);
    if (read == Terminal::ReadResult::TooLong)
        return fail(Usage, QStringLiteral("the %1 is longer than %2 KiB").arg(which).arg(Phrase::maximumBytes / 1024));
    const int checked = checkedPhrase(&input, which, phrase);
    if (checked == Ok && fingerprint)
        Terminal::writeError(QStringLiteral("fingerprint: ") + Fingerprint::text(Fingerprint::of(*phrase)) + QLatin1Char('\n'));
    return checked;
}

}

int Command::readTwoPhrases(QString *previous, QString *next)
{
    int read = Ok;
    if (Terminal::inputIsTerminal()) {
        QString again;
        read = askedPhrase("Previous secret phrase: ", QStringLiteral("previous secret phrase"), previous, true);
        if (read == Ok)
            read = askedPhrase("New secret phrase: ", QStringLiteral("new secret phrase"), next, true);
        if (read == Ok)
            read = askedPhrase("New secret phrase again: ", QStringLiteral("new secret phrase"), &again, false);
        const bool same = again == *next;
        again.fill(QChar(0));
        if (read == Ok && !same)
            return fail(Usage, QStringLiteral("the new secret phrase was typed two different ways; nothing was made"));
    } else {
        QByteArray input;
        QString error;
        const Terminal::ReadResult result = Terminal::readAll(&input, &error, 2 * Phrase::maximumBytes + 4);
        if (result == Terminal::ReadResult::Failed)
            return fail(Failure, error);
        if (result == Terminal::ReadResult::TooLong)
            return fail(Usage, QStringLiteral("the secret phrases are longer than %1 KiB").arg(Phrase::maximumBytes / 1024));
        // Exactly two lines: the previous phrase, then the new one, each with its line end (the
        // last may have none). A third line, even an empty one, is refused: it would otherwise
        // end up inside the new phrase.
        const int end = input.indexOf('\n');
        const int secondEnd = end < 0 ? -1 : input.indexOf('\n', end + 1);
        const bool third = secondEnd >= 0 && secondEnd + 1 < input.size();
        QByteArray first = input.left(end < 0 ? input.size() : end);
        QByteArray second = end < 0 ? QByteArray() : input.mid(end + 1, secondEnd < 0 ? -1 : secondEnd - end - 1);
        sodium_memzero(input.data(), std::size_t(input.size()));
        if (third) {
            sodium_memzero(first.data(), std::size_t(first.size()));
            sodium_memzero(second.data(), std::size_t(second.size()));
            return fail(Usage, QStringLiteral("read more than two lines: give exactly two, the previous secret phrase and "
                                              "then the new one"));
        }
        for (QByteArray *line : {&first, &second}) {
            if (line->endsWith('\n'))
                line->chop(1);
            if (line->endsWith('\r'))
                line->chop(1);
        }
        read = checkedPhrase(&first, QStringLiteral("previous secret phrase (the first line)"), previous);
        if (read == Ok)
            read = checkedPhrase(&second, QStringLiteral("new secret phrase (the second line)"), next);
        sodium_memzero(first.data(), std::size_t(first.size()));
        sodium_memzero(second.data(), std::size_t(second.size()));
    }
    if (read == Ok && *previous == *next)
        return fail(Usage, QStringLiteral("the previous and the new secret phrase are the same"));
    return read;
}

namespace {

// A whole number written in decimal digits only, within the bounds.
bool wholeNumber(const QString &text, quint32 low, quint32 high, quint32 *value)
{
    bool ok = false;
    const qulonglong n = text.toULongLong(&ok, 10);
    const bool digits = !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
    if (!ok || !digits || n < low || n > high)
        return false;
    *value = quint32(n);
    return true;
}

}

bool Command::noPeerOptions(const QCommandLineParser &parser, Scheme scheme, QString *error)
{
    for (const QCommandLineOption &option : peerOptions()) {
        if (parser.isSet(option)) {
            *error = QStringLiteral("--%1 does not go with the %2 scheme")
                         .arg(option.names().constFirst(), Schemes::name(scheme));
            return false;
        }
    }
    return true;
}

bool Command::peerRecipe(const QCommandLineParser &parser, Recipe *recipe, QString *error)
{
    const Scheme scheme = recipe->scheme;
    const QList<QCommandLineOption> foreign = scheme == Scheme::LessPass
        ? QList<QCommandLineOption>{userNameOption, templateOption, algorithmOption, purposeOption, contextOption}
        : QList<QCommandLineOption>{lengthOption, ruleOption, loginOption};
    for (const QCommandLineOption &option : foreign) {
        if (parser.isSet(option)) {
            *error = QStringLiteral("--%1 does not go with the %2 scheme")
                         .arg(option.names().constLast(), Schemes::name(scheme));
            return false;
        }
    }
    if (parser.isSet(counterOption) && !wholeNumber(parser.value(counterOption), 1, Spectre::maximumCounter, &recipe->counter)) {
        *error = QStringLiteral("--counter must be a whole number from 1 to 4294967295");
        return false;
    }
    if (scheme == Scheme::LessPass) {
        quint32 length = quint32(recipe->length);
        if (parser.isSet(lengthOption)
            && !wholeNumber(parser.value(lengthOption), LessPass::minimumLength, LessPass::maximumLength, &length)) {
            *error = QStringLiteral("--length: a LessPass password has 5 to 35 characters");
            return false;
        }
        recipe->length = int(length);
        if (parser.isSet(ruleOption))
            recipe->classes = parser.value(ruleOption);
        recipe->login = parser.value(loginOption);
    } else {
        if (!parser.isSet(userNameOption) || parser.value(userNameOption).isEmpty()) {
            *error = QStringLiteral("the spectre scheme needs --user-name");
            return false;
        }
        recipe->userName = parser.value(userNameOption);
        if (parser.isSet(purposeOption) && !Spectre::purposeFromName(parser.value(purposeOption), &recipe->purpose)) {
            *error = QStringLiteral("--purpose must be password, login or answer");
            return false;
        }
        recipe->templateName = parser.isSet(templateOption) ? parser.value(templateOption)
                                                            : Spectre::defaultTemplate(recipe->purpose);
        quint32 algorithm = Spectre::latestAlgorithm;
        if (parser.isSet(algorithmOption) && !wholeNumber(parser.value(algorithmOption), 0, 3, &algorithm)) {
            *error = QStringLiteral("--algorithm must be 0, 1, 2 or 3");
            return false;
        }
        recipe->algorithm = int(algorithm);
        recipe->context = parser.value(contextOption);
    }
    return true;
}

bool Command::ruleAndCounter(const QCommandLineParser &parser, Scheme scheme, Rule *rule, int *counter, QString *error)
{
    *rule = Rule();
    *counter = Counter::first;
    if (scheme == Scheme::Compatible && (parser.isSet(ruleOption) || parser.isSet(counterOption))) {
        *error = QStringLiteral("the compatible scheme has no --rule nor --counter");
        return false;
    }
    QString problem;
    QString text = parser.value(ruleOption);
    if (text == QLatin1String("site")) {
        const SiteList::Match site = SiteList::installed().match(parser.value(identifierOption));
        if (site.isNull()) {
            *error = QStringLiteral("--rule=site: no site rule is known for the identifier \"%1\"")
                         .arg(parser.value(identifierOption));
            return false;
        }
        text = site.rule;
    }
    if (parser.isSet(ruleOption) && !Rule::parse(text, rule, &problem)) {
        *error = QStringLiteral("--rule: ") + problem;
        return false;
    }
    if (parser.isSet(counterOption) && !Counter::parse(parser.value(counterOption), counter)) {
        *error = QStringLiteral("--counter must be a whole number from 1 to 2147483647");
        return false;
    }
    return true;
}

bool Command::lengthForRule(const QCommandLineParser &parser, const Rule &rule, int fallback, int *length,
                            QString *error)
{
    if (!parser.isSet(lengthOption)) {
        // A site's rule: its longest length up to 32, the strongest, as the window takes it; a
        // passphrase: six words.
        *length = rule.isSiteRule() ? rule.maximumLength() : rule.isWords() ? Derivation::wordsDefaultLength : fallback;
    } else if (!Command::length(parser, true, 0, length, error)) {
        return false;
    }
    *error = rule.lengthProblem(*length);
    return error->isEmpty();
}

bool Command::recipe(const QCommandLineParser &parser, bool lengthRequired, Recipe *recipe, QString *error)
{
    Scheme scheme = Scheme::Strong;
    if (!Command::scheme(parser, &scheme, error))
        return false;
    *recipe = Recipe::defaults(scheme);
    recipe->identifier = parser.value(identifierOption);
    if (scheme == Scheme::LessPass || scheme == Scheme::Spectre) {
        if (!peerRecipe(parser, recipe, error))
            return false;
    } else {
        int length = 0;
        int counter = Counter::first;
        if ((lengthRequired && !Command::length(parser, true, 0, &length, error)) || !noPeerOptions(parser, scheme, error)
            || !ruleAndCounter(parser, scheme, &recipe->rule, &counter, error)
            || !lengthForRule(parser, recipe->rule, recipe->length, &length, error))
            return false;
        recipe->length = length;
        recipe->counter = quint32(counter);
    }
    *error = recipe->problem();
    return error->isEmpty();
}

int Command::savedProfile(const QString &name, const QString &what, QString *line, Recipe *recipe, QString *error)
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
            return p.readable == first.readable && p.recipe.derivesSameAs(first.recipe)
                   && Recipe::phraseOfLine(row) == Recipe::phraseOfLine(named.first());
        });
        if (alike)
            named = named.mid(0, 1);
    }
    if (named.isEmpty()) {
        // A site that shares its sign-in with a saved one: named, never used by itself.
        const PageMatch::Page asPage = PageMatch::page(name.contains(QLatin1String("://")) ? name
                                                                                          : QStringLiteral("https://") + name.trimmed());
        const QList<PageMatch::Related> related = asPage.problem.isEmpty()
            ? PageMatch::relatedProfilesFor(asPage, ProfileFile::rows(lines), RelatedSites::installed().relatedTo(asPage.domain))
            : QList<PageMatch::Related>();
        if (!related.isEmpty()) {
            *error = QStringLiteral("%1: %2 shares its sign-in with %3: derive --profile=%4")
                         .arg(what, asPage.domain, related.first().site, ProfileFile::identifierOf(related.first().row));
            return Usage;
        }
        *error = QStringLiteral("%1: no saved profile is named \"%2\"").arg(what, name);
        return Refused;
    }
    if (named.size() != 1) {
        *error = QStringLiteral("%1: %2 saved profiles are named \"%3\"; give the whole line:\n  %4")
                     .arg(what)
                     .arg(named.size())
                     .arg(name, named.join(QStringLiteral("\n  ")));
        return Usage;
    }
    *line = named.first();
    const QString problem = Recipe::lineProblem(*line);
    Recipe::fromLine(*line, recipe);
    if (!problem.isEmpty())
        *error = QStringLiteral("%1: the saved line \"%2\" makes no password: %3").arg(what, *line, problem);
    return problem.isEmpty() ? Ok : Usage;
}

Command *findCommand(const QString &name)
{
    for (Command *command : commands()) {
        if (command->name() == name)
            return command;
    }
    return nullptr;
}

namespace {

// One line for each command in the whole help, in the order of commands().
const QHash<QString, QString> &summaries()
{
    static const QHash<QString, QString> lines{
        {QStringLiteral("derive"), QStringLiteral("print the password of an identifier or a saved profile")},
        {QStringLiteral("fingerprint"), QStringLiteral("print the fingerprint of a secret phrase, to catch a typo")},
        {QStringLiteral("strength"), QStringLiteral("print how hard a secret phrase is to guess")},
        {QStringLiteral("profiles list"), QStringLiteral("print every saved profile")},
        {QStringLiteral("profiles add"), QStringLiteral("save a profile")},
        {QStringLiteral("profiles remove"), QStringLiteral("remove a saved profile")},
        {QStringLiteral("profiles import"), QStringLiteral("save every site of a LessPass or Spectre export")},
        {QStringLiteral("profiles next"), QStringLiteral("move a saved profile to its next version: a new password")},
        {QStringLiteral("export"), QStringLiteral("write the profiles and passwords for another password manager")},
        {QStringLiteral("phrase change"), QStringLiteral("start a change of the secret phrase")},
        {QStringLiteral("phrase status"), QStringLiteral("print the profiles still on the previous phrase")},
        {QStringLiteral("phrase show"), QStringLiteral("print a profile's password under both phrases")},
        {QStringLiteral("phrase moved"), QStringLiteral("mark profiles moved to the new phrase (or back)")},
        {QStringLiteral("phrase cancel"), QStringLiteral("end a change of the secret phrase no site has moved to yet")},
        {QStringLiteral("rules show"), QStringLiteral("print a password rule's canonical text and strength")},
        {QStringLiteral("rules site"), QStringLiteral("print the password rule of an identifier's site")},
        {QStringLiteral("browser setup"), QStringLiteral("let the browsers start Quorvane's browser host")},
        {QStringLiteral("browser remove"), QStringLiteral("remove what browser setup wrote")}};
    return lines;
}

QString commandLines(const QString &group)
{
    QString text;
    for (Command *command : commands()) {
        if (group.isEmpty() || command->name().startsWith(group + QLatin1Char(' ')))
            text += QStringLiteral("  %1  %2\n").arg(command->name(), -15).arg(summaries().value(command->name()));
    }
    return text;
}

}

QString overallHelp()
{
    return QStringLiteral(
               "Usage: quorvane-cli COMMAND [options]\n"
               "Derives Quorvane passwords and manages its saved profiles. The secret phrase is read from\n"
               "standard input, never from the command line.\n"
               "\n"
               "Commands:\n")
           + commandLines(QString())
           + QStringLiteral(
               "\n"
               "Options of every command:\n"
               "  -h, --help  print the command's options\n"
               "  --version   print the version\n"
               "  --          end the options: what follows is an operand, even if it starts with -\n"
               "\n"
               "Run 'quorvane-cli COMMAND --help' for a command's options, e.g. 'quorvane-cli derive --help'.\n"
               "\n"
               "Exit codes, the same for every command:\n"
               "  0  done\n"
               "  1  nothing matched or nothing to do: no such profile (derive --profile, profiles\n"
               "     remove), no site rule for that site (rules site), the profile is saved already\n"
               "  2  bad input: an option, the phrase, a rule, an empty identifier where one is needed,\n"
               "     a file given on the command line that is missing, a folder, unreadable, too large\n"
               "     or malformed\n"
               "  3  the profile file could not be used or changed; or the system failed: the password\n"
               "     could not be made (no memory), the output could not be written\n"
               "\n"
               "Profile file: zavdata.txt in the folder Quorvane of the user's documents folder.\n");
}

QString groupHelp(const QString &group)
{
    return QStringLiteral("Usage: quorvane-cli %1 COMMAND [options]\n\nCommands:\n").arg(group) + commandLines(group)
           + QStringLiteral("\nRun 'quorvane-cli %1 COMMAND --help' for a command's options.\n").arg(group);
}

QString versionText()
{
    return QStringLiteral("quorvane-cli ") + QCoreApplication::applicationVersion() + QLatin1Char('\n');
}

}
