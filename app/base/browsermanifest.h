#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The manifests by which a browser finds the browser host (quorvane-browser-host) and lets
// only Quorvane's extension start it.
namespace BrowserManifest {

enum class Browser { Chromium, Chrome, Firefox };

// "org.quorvane.browser_host": the name the extension asks for.
QString hostName();
// Chromium's ID of the extension (fixed by the key in its manifest) and Firefox's.
QString chromiumExtensionId();
QString firefoxExtensionId();

QList<Browser> all();
// "chromium", "chrome", "firefox".
QString name(Browser browser);
bool fromName(const QString &name, Browser *browser);

// The manifest naming the host at `hostPath` for the browser.
QByteArray json(Browser browser, const QString &hostPath);

// Where the manifest goes for the user who runs the program (Chromium and Chrome under
// $XDG_CONFIG_HOME, else ~/.config; Firefox under ~/.mozilla), and for every user of the machine.
QString userPath(Browser browser);
QString systemPath(Browser browser);

// What placing or removing a user's manifest came to, and why, in words.
struct Outcome
{
    // Left: something that is not Quorvane's manifest stands at the place, named and left.
    enum Kind { Written, Removed, NothingThere, Left, Failed } kind = Failed;
    QString path;
    QString problem;   // why, for Left and Failed
};

// Writes the user's manifest for the browser, naming the host at `hostPath`. Never through a
// symbolic link: a link at the manifest's place or at a folder made for it (the browser's own
// folders under the configuration folder or the home folder) is refused and named. Root is
// refused for a home folder that is not root's, so that nothing root-owned is made there. The
// file is written whole or not at all.
Outcome install(Browser browser, const QString &hostPath);
// Removes the user's manifest for the browser, only if it names Quorvane's host: another
// program's manifest, a link or anything else at the place is named and left.
Outcome uninstall(Browser browser);

// Whether a manifest's text names Quorvane's host: our name, and a path to a file named
// quorvane-browser-host.
bool namesOurHost(const QByteArray &manifest);

}
