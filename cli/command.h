#pragma once

#include "recipe.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>
#include <QStringList>

// One quorvane-cli command with a parser of its own, so that --help, --version, "--" and
// unknown or malformed options behave alike in every command, and the help text is the
// parser's.
namespace Cli {

enum Exit { Ok = 0, Refused = 1, Usage = 2, Failure = 3 };

// Writes "quorvane-cli: MESSAGE" to standard error and returns code.
int fail(int code, const QString &message);
// The same for wrong usage, with a pointer to the help of the command at fault ("derive",
// "profiles add"), or to the whole help when there is none.
int usageError(const QString &message, const QString &command = QString());

class Command
{
public:
    Command(QString name, QString description);
    virtual ~Command() = default;

    const QString &name() const { return commandName; }
    // "Usage: quorvane-cli NAME [options]", the description and the parser's option list.
    QString helpText();
    // Parses the arguments that follow the command's words and runs it; returns the exit code.
    int run(const QStringList &arguments);

protected:
    // Wrong usage of this command: the message, and a pointer to this command's help.
    int usageError(const QString &message) const { return Cli::usageError(message, commandName); }
    // The command's own options, besides --help and --version.
    virtual QList<QCommandLineOption> options() const = 0;
    virtual int execute(const QCommandLineParser &parser) = 0;
    // The words the command takes after its options ("FILE"); none by default.
    virtual QString operandName() const { return QString(); }
    // Whether those words must be given.
    virtual bool operandRequired() const { return true; }
    // How many operands it takes at most: one, where it has any.
    virtual int maximumOperands() const { return operandName().isEmpty() ? 0 : 1; }
    // Whether the command reads the profile file: then a sync tool's conflict copies of it are
    // merged first, and each is named on standard error.
    virtual bool readsProfiles(const QCommandLineParser &) const { return false; }

    // The options that several commands share.
    static const QCommandLineOption identifierOption;
    static const QCommandLineOption lengthOption;
    static const QCommandLineOption schemeOption;
    static const QCommandLineOption ruleOption;
    static const QCommandLineOption counterOption;
    static const QCommandLineOption exactOption;
    // LessPass's and Spectre's own inputs.
    static const QCommandLineOption loginOption;
    static const QCommandLineOption userNameOption;
    static const QCommandLineOption templateOption;
    static const QCommandLineOption algorithmOption;
    static const QCommandLineOption purposeOption;
    static const QCommandLineOption contextOption;
    static QList<QCommandLineOption> peerOptions();

    // Reads the secret phrase from standard input: one line without echo on a terminal,
    // otherwise everything less one final line end (unless --exact). Returns Ok, or the exit
    // code of a message already written: an empty or too long phrase, text that is not UTF-8, a
    // read error.
    static int readPhrase(const QCommandLineParser &parser, QString *phrase);
    // Reads the previous and the new secret phrase: two lines from a pipe; on a terminal each is
    // asked without echo, the new one twice, and each one's fingerprint shown as soon as it is
    // read. Ok, or the exit code of a message already written (the two are equal, the new ones
    // differ, or either is empty, too long or not UTF-8).
    static int readTwoPhrases(QString *previous, QString *next);
    // The recipe the options describe, for derive, profiles add and profiles remove alike: the
    // scheme (strong by default), the identifier and the scheme's own options; false, with a
    // message, for an option of another scheme, a value out of range or a recipe that makes no
    // password. Without --length the strong and compatible schemes take their default length
    // (16 and 4), a site rule its longest, unless `lengthRequired`.
    static bool recipe(const QCommandLineParser &parser, bool lengthRequired, Recipe *recipe, QString *error);
    // The saved profile that NAME names (PageMatch::profilesNamed: a line, an identifier, an
    // address or a host name), its line as the file holds it and its recipe. Ok, or the exit code
    // with the message, which starts with `what` ("--profile"): Refused for none, Usage for
    // several or a line that makes no password, Failure when the profile file cannot be read.
    static int savedProfile(const QString &name, const QString &what, QString *line, Recipe *recipe, QString *error);

private:
    void prepare();
    // The parts of recipe(): the length given (or fallback), the scheme, a LessPass or Spectre
    // recipe's own options, and the strong and compatible schemes' rule, counter and length.
    static bool length(const QCommandLineParser &parser, bool required, int fallback, int *length, QString *error);
    static bool scheme(const QCommandLineParser &parser, Scheme *scheme, QString *error);
    static bool peerRecipe(const QCommandLineParser &parser, Recipe *recipe, QString *error);
    static bool noPeerOptions(const QCommandLineParser &parser, Scheme scheme, QString *error);
    static bool ruleAndCounter(const QCommandLineParser &parser, Scheme scheme, Rule *rule, int *counter, QString *error);
    static bool lengthForRule(const QCommandLineParser &parser, const Rule &rule, int fallback, int *length,
                              QString *error);

    QString commandName;
    QString commandDescription;
    QCommandLineParser parser;
    QList<QCommandLineOption> known;
    bool prepared = false;
};

// Every command, in the order the help lists them.
QList<Command *> commands();
Command *findCommand(const QString &name);

// The whole help: each command with one line, the options every command takes, the exit codes
// and the profile file. A command's options are in its own help (Command::helpText).
QString overallHelp();
// The commands of one group ("profiles"), each with its line.
QString groupHelp(const QString &group);
QString versionText();

}
