#include "browsermanifest.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace BrowserManifest {

QString hostName()
{
    return QStringLiteral(QUORVANE_BROWSER_HOST_NAME);
}

QString chromiumExtensionId()
{
    return QStringLiteral(QUORVANE_CHROMIUM_EXTENSION_ID);
}

QString firefoxExtensionId()
{
    return QStringLiteral(QUORVANE_FIREFOX_EXTENSION_ID);
}

QList<Browser> all()
{
    return {Browser::Chromium, Browser::Chrome, Browser::Firefox};
}

QString name(Browser browser)
{
    switch (browser) {
    case Browser::Chromium: return QStringLiteral("chromium");
    case Browser::Chrome: return QStringLiteral("chrome");
    case Browser::Firefox: return QStringLiteral("firefox");
    }
    return QString();
}

bool fromName(const QString &text, Browser *browser)
{
    for (Browser b : all()) {
        if (name(b) == text) {
            *browser = b;
            return true;
        }
    }
    return false;
}

QByteArray json(Browser browser, const QString &hostPath)
{
    QJsonObject manifest{{"name", hostName()},
                         {"description", QStringLiteral("Quorvane: passwords for the page, on the user's click")},
                         {"path", hostPath},
                         {"type", QStringLiteral("stdio")}};
    if (browser == Browser::Firefox)
        manifest.insert("allowed_extensions", QJsonArray{firefoxExtensionId()});
    else
        manifest.insert("allowed_origins", QJsonArray{QStringLiteral("chrome-extension://%1/").arg(chromiumExtensionId())});
    return QJsonDocument(manifest).toJson();
}

QString userPath(Browser browser)
{
    const QString home = QDir::homePath();
    const QString file = hostName() + QStringLiteral(".json");
    switch (browser) {
    case Browser::Chromium: return home + QStringLiteral("/.config/chromium/NativeMessagingHosts/") + file;
    case Browser::Chrome: return home + QStringLiteral("/.config/google-chrome/NativeMessagingHosts/") + file;
    case Browser::Firefox: return home + QStringLiteral("/.mozilla/native-messaging-hosts/") + file;
    }
    return QString();
}

QString systemPath(Browser browser)
{
    const QString file = hostName() + QStringLiteral(".json");
    switch (browser) {
    case Browser::Chromium: return QStringLiteral("/etc/chromium/native-messaging-hosts/") + file;
    case Browser::Chrome: return QStringLiteral("/etc/opt/chrome/native-messaging-hosts/") + file;
    case Browser::Firefox: return QStringLiteral("/usr/lib/mozilla/native-messaging-hosts/") + file;
    }
    return QString();
}

}
