#include "command.h"
#include "commands.h"

#include "browsermanifest.h"
#include "terminal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace Cli {

namespace {

const QCommandLineOption browserOption(QStringLiteral("browser"),
                                       QStringLiteral("chromium, chrome, firefox or all (the default); may be given "
                                                      "more than once."),
                                       QStringLiteral("NAME"));

// The host of this build: beside quorvane-cli in a build folder, under lib/quorvane/ of an
// installation.
QString hostBeside()
{
    const QString folder = QCoreApplication::applicationDirPath();
    for (const QString &candidate : {folder + QStringLiteral("/quorvane-browser-host"),
                                     folder + QStringLiteral("/../lib/quorvane/quorvane-browser-host")}) {
        const QFileInfo host(candidate);
        if (host.isFile() && host.isExecutable())
            return host.canonicalFilePath();
    }
    return QString();
}

}

BrowserCommand::BrowserCommand(bool setup)
    : Command(setup ? QStringLiteral("browser setup") : QStringLiteral("browser remove"),
              setup ? QStringLiteral("Lets the browsers of the user who runs it start Quorvane's browser host for\n"
                                     "Quorvane's extension: writes the host's manifest for Chromium and Google Chrome\n"
                                     "(under $XDG_CONFIG_HOME, else ~/.config) and Firefox (~/.mozilla), or the ones\n"
                                     "--browser names, naming the host of this quorvane-cli. Does all that can be\n"
                                     "done and names each failure (exit 3). Never writes through a symbolic link at a\n"
                                     "manifest's place or at the browser's folders; as root, writes nothing into a\n"
                                     "home folder that is not root's.")
                    : QStringLiteral("Removes the manifests that \"browser setup\" wrote: only those that name\n"
                                     "Quorvane's host. Another program's manifest, or a symbolic link, at the place is\n"
                                     "named and left.")),
      setsUp(setup)
{
}

QList<QCommandLineOption> BrowserCommand::options() const
{
    return {browserOption};
}

int BrowserCommand::execute(const QCommandLineParser &parser)
{
    QList<BrowserManifest::Browser> browsers;
    for (const QString &chosen : parser.values(browserOption)) {
        BrowserManifest::Browser one = BrowserManifest::Browser::Chromium;
        if (chosen == QLatin1String("all")) {
            browsers += BrowserManifest::all();
        } else if (BrowserManifest::fromName(chosen, &one)) {
            browsers << one;
        } else {
            return usageError(QStringLiteral("--browser: unknown browser \"%1\"; use chromium, chrome, firefox or all")
                                  .arg(chosen));
        }
    }
    if (browsers.isEmpty())
        browsers = BrowserManifest::all();
    const QString host = hostBeside();
    if (setsUp && host.isEmpty())
        return fail(Failure, QStringLiteral("quorvane-browser-host is neither beside quorvane-cli nor in ../lib/quorvane"));
    QList<BrowserManifest::Browser> done;
    bool failed = false;
    for (BrowserManifest::Browser browser : qAsConst(browsers)) {
        if (done.contains(browser))
            continue;
        done << browser;
        const BrowserManifest::Outcome outcome = setsUp ? BrowserManifest::install(browser, host)
                                                        : BrowserManifest::uninstall(browser);
        switch (outcome.kind) {
        case BrowserManifest::Outcome::Written:
            Terminal::writeOutput(QStringLiteral("wrote %1 (host %2)\n").arg(outcome.path, host));
            break;
        case BrowserManifest::Outcome::Removed:
            Terminal::writeOutput(QStringLiteral("removed %1\n").arg(outcome.path));
            break;
        case BrowserManifest::Outcome::NothingThere:
            Terminal::writeOutput(QStringLiteral("nothing to remove for %1: %2\n").arg(BrowserManifest::name(browser), outcome.path));
            break;
        case BrowserManifest::Outcome::Left:
            Terminal::writeError(QStringLiteral("quorvane-cli: %1\n").arg(outcome.problem));
            break;
        case BrowserManifest::Outcome::Failed:
            failed = true;
            Terminal::writeError(QStringLiteral("quorvane-cli: %1: %2\n")
                                     .arg(BrowserManifest::name(browser), outcome.problem));
            break;
        }
    }
    if (!Terminal::flushOutput())
        return fail(Failure, QStringLiteral("cannot write to standard output"));
    return failed ? Failure : Ok;
}

}
