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

// Where the manifest goes for the user who runs the program, and for every user of the machine.
QString userPath(Browser browser);
QString systemPath(Browser browser);

}
