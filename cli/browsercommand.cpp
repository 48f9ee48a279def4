#include "command.h"
#include "commands.h"

#include "browsermanifest.h"
#include "terminal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

namespace Cli {

namespace {

const QCommandLineOption browserOption(QStringLiteral("browser"),
                                       QStringLiteral("chromium, chrome, firefox or all (the default)."),
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
                                     "Quorvane's extension: writes the host's manifest for Chromium, Google Chrome and\n"
                                     "Firefox (or the one --browser names), naming the host of this quorvane-cli.")
                    : QStringLiteral("Removes the manifests that \"browser setup\" wrote.")),
      setsUp(setup)
{
}

QList<QCommandLineOption> BrowserCommand::options() const
{
    return {browserOption};
}

int BrowserCommand::execute(const QCommandLineParser &parser)
{
    QList<BrowserManifest::Browser> browsers = BrowserManifest::all();
    const QString chosen = parser.value(browserOption);
    BrowserManifest::Browser one = BrowserManifest::Browser::Chromium;
    if (parser.isSet(browserOption) && chosen != QLatin1String("all")) {
        if (!BrowserManifest::fromName(chosen, &one))
            return usageError(QStringLiteral("--browser: unknown browser \"%1\"; use chromium, chrome, firefox or all").arg(chosen));
        browsers = {one};
    }
    const QString host = hostBeside();
    if (setsUp && host.isEmpty())
        return fail(Failure, QStringLiteral("quorvane-browser-host is neither beside quorvane-cli nor in ../lib/quorvane"));
    for (BrowserManifest::Browser browser : qAsConst(browsers)) {
        const QString path = BrowserManifest::userPath(browser);
        if (!setsUp) {
            if (!QFileInfo::exists(path)) {
                Terminal::writeOutput(QStringLiteral("nothing to remove for %1: %2\n").arg(BrowserManifest::name(browser), path));
            } else if (QFile::remove(path)) {
                Terminal::writeOutput(QStringLiteral("removed %1\n").arg(path));
            } else {
                return fail(Failure, QStringLiteral("cannot remove %1").arg(path));
            }
            continue;
        }
        QSaveFile file(path);
        const QByteArray manifest = BrowserManifest::json(browser, host);
        if (!QDir().mkpath(QFileInfo(path).path()) || !file.open(QIODevice::WriteOnly)
            || file.write(manifest) != manifest.size() || !file.commit())
            return fail(Failure, QStringLiteral("cannot write %1").arg(path));
        Terminal::writeOutput(QStringLiteral("wrote %1 (host %2)\n").arg(path, host));
    }
    if (!Terminal::flushOutput())
        return fail(Failure, QStringLiteral("cannot write to standard output"));
    return Ok;
}

}
