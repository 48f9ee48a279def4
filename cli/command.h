#pragma once

#include "derivation.h"
#include "peerschemes.h"
#include "rule.h"

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
// The same for wrong usage, with a pointer to the help.
int usageError(const QString &message);

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
    // The command's own options, besides --help and --version.
    virtual QList<QCommandLineOption> options() const = 0;
    virtual int execute(const QCommandLineParser &parser) = 0;
    // The words the command takes after its options ("FILE"); none by default.
    virtual QString operandName() const { return QString(); }

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

    // The length given (or fallback when it is not given and not required); false, with a
    // message in *error, when it is missing but required or is not a whole number from 4 to 32.
    static bool length(const QCommandLineParser &parser, bool required, int fallback, int *length, QString *error);
    static bool scheme(const QCommandLineParser &parser, Scheme *scheme, QString *error);
    // The rule and counter given (base64 and 1 by default); neither goes with the compatible
    // scheme.
    // Reads the secret phrase from standard input: one line without echo on a terminal,
    // otherwise everything less one final line end (unless --exact). Returns Ok, or the exit
    // code of a message already written: an empty phrase, text that is not UTF-8, a read error.
    static int readPhrase(const QCommandLineParser &parser, QString *phrase);
    // Fills the recipe of a LessPass or Spectre password from the options; false, with a
    // message, for an option that does not belong to the scheme or a value out of range.
    static bool peerRecipe(const QCommandLineParser &parser, Scheme scheme, PeerRecipe *recipe, QString *error);
    // For the strong and compatible schemes: false, with a message, when a peer's option is given.
    static bool noPeerOptions(const QCommandLineParser &parser, Scheme scheme, QString *error);
    // --rule=site takes the site rule of the identifier's site.
    static bool ruleAndCounter(const QCommandLineParser &parser, Scheme scheme, Rule *rule, int *counter, QString *error);
    // The length given, or else the rule's longest (32 for a short rule); false, with a message,
    // when the rule makes no password of that length.
    static bool lengthForRule(const QCommandLineParser &parser, const Rule &rule, int *length, QString *error);

private:
    void prepare();

    QString commandName;
    QString commandDescription;
    QCommandLineParser parser;
    QList<QCommandLineOption> known;
    bool prepared = false;
};

// Every command, in the order the help lists them.
QList<Command *> commands();
Command *findCommand(const QString &name);

// The whole help: every command's parser, then exit codes and the profile file.
QString overallHelp();
QString versionText();

}
