// quorvane-cli: derives passwords and manages saved profiles from scripts and terminals.
// The secret phrase is read from standard input only, never from the command line.

#include "command.h"
#include "commands.h"
#include "hardening.h"
#include "terminal.h"
#include "utf8.h"

#include <QCoreApplication>
#include <QHash>

#include <new>

namespace Cli {

QList<Command *> commands()
{
    static DeriveCommand derive;
    static FingerprintCommand fingerprint;
    static StrengthCommand strength;
    static ListCommand list;
    static ChangeCommand add(true);
    static ChangeCommand remove(false);
    static ImportCommand import;
    static RulesCommand show(true);
    static RulesCommand site(false);
    static NextCommand next;
    static ExportCommand export_;
    static PhraseCommand change(PhraseCommand::Change);
    static PhraseCommand status(PhraseCommand::Status);
    static PhraseCommand phraseShow(PhraseCommand::Show);
    static PhraseCommand phraseCancel(PhraseCommand::Cancel);
    static PhraseCommand moved(PhraseCommand::Moved);
    static BrowserCommand setup(true);
    static BrowserCommand unset(false);
    return {&derive, &fingerprint, &strength, &list, &add, &remove, &import, &next, &export_, &change, &status,
            &phraseShow, &moved, &phraseCancel, &show, &site, &setup, &unset};
}

}

using namespace Cli;

namespace {

int printed(const QString &text)
{
    Terminal::writeOutput(text);
    if (Terminal::flushOutput())
        return Ok;
    // "quorvane-cli --help | head -1": the reader has all it wanted.
    return Terminal::outputPipeClosed() ? Ok : fail(Failure, QStringLiteral("cannot write to standard output"));
}

// Runs the command that the first words name ("derive", "profiles add") with the rest.
int dispatch(QStringList arguments)
{
    if (arguments.isEmpty())
        return usageError(QStringLiteral("a command is required"));
    const QString first = arguments.takeFirst();
    if (first == QLatin1String("--help") || first == QLatin1String("-h"))
        return printed(overallHelp());
    if (first == QLatin1String("--version"))
        return printed(versionText());
    if (first == QLatin1String("help")) {
        // "help derive", "help profiles add": that command's help, as "derive --help" gives it.
        if (arguments.isEmpty())
            return printed(overallHelp());
        return dispatch(arguments + QStringList{QStringLiteral("--help")});
    }
    QString name = first;
    const QHash<QString, QStringList> groups{
        {QStringLiteral("profiles"), {QStringLiteral("list"), QStringLiteral("add"), QStringLiteral("remove"), QStringLiteral("import"),
                                      QStringLiteral("next")}},
        {QStringLiteral("phrase"), {QStringLiteral("change"), QStringLiteral("status"), QStringLiteral("show"), QStringLiteral("moved"),
                                     QStringLiteral("cancel")}},
        {QStringLiteral("rules"), {QStringLiteral("show"), QStringLiteral("site")}},
        {QStringLiteral("browser"), {QStringLiteral("setup"), QStringLiteral("remove")}}};
    if (groups.contains(first)) {
        const QString sub = arguments.isEmpty() ? QString() : arguments.takeFirst();
        if (sub == QLatin1String("--help") || sub == QLatin1String("-h"))
            return printed(groupHelp(first));
        if (!groups.value(first).contains(sub)) {
            QStringList words = groups.value(first);
            const QString last = words.takeLast();
            return usageError(QStringLiteral("%1 needs %2 or %3").arg(first, words.join(QStringLiteral(", ")), last), first);
        }
        name += QLatin1Char(' ') + sub;
    }
    Command *command = findCommand(name);
    if (!command)
        return usageError(QStringLiteral("unknown command: %1").arg(first));
    return command->run(arguments);
}

}

int main(int argc, char **argv)
{
    Hardening::noCoreFiles();
    Hardening::failWritesPastFileLimit();
    Hardening::wipeFreedMemory();
    Terminal::ignoreBrokenPipes();
    // The application object only names the program for the parsers; it sees no argument.
    int appArgc = 1;
    char appName[] = "quorvane-cli";
    char *appArgv[] = {appName, nullptr};
    QCoreApplication app(appArgc, appArgv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    QStringList arguments;
    for (int i = 1; i < argc; ++i) {
        QString text;
        if (!Utf8::decodeStrict(QByteArray(argv[i]), &text))
            return usageError(QStringLiteral("argument %1 is not valid UTF-8").arg(i));
        arguments.append(text);
    }
    try {
        return dispatch(arguments);
    } catch (const std::bad_alloc &) {
        return fail(Failure, QStringLiteral("not enough free memory"));
    }
}
