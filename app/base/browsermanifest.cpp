#include "browsermanifest.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

// Where a user's manifest goes: a folder that is the user's to place as they like (followed if
// it is a link), the browser's own folders below it (never followed), and the file.
struct Place
{
    QString anchor;
    QStringList folders;
    QString file;

    QString path() const { return anchor + QLatin1Char('/') + folders.join(QLatin1Char('/')) + QLatin1Char('/') + file; }
    QString folderPath(int count) const
    {
        return anchor + QLatin1Char('/') + QStringList(folders.mid(0, count)).join(QLatin1Char('/'));
    }
};

QString configHome()
{
    const QString xdg = QFile::decodeName(qgetenv("XDG_CONFIG_HOME"));
    return QDir::isAbsolutePath(xdg) ? QDir::cleanPath(xdg) : QDir::homePath() + QStringLiteral("/.config");
}

Place placeOf(Browser browser)
{
    const QString file = hostName() + QStringLiteral(".json");
    switch (browser) {
    case Browser::Chromium: return {configHome(), {QStringLiteral("chromium"), QStringLiteral("NativeMessagingHosts")}, file};
    case Browser::Chrome: return {configHome(), {QStringLiteral("google-chrome"), QStringLiteral("NativeMessagingHosts")}, file};
    case Browser::Firefox: return {QDir::homePath(), {QStringLiteral(".mozilla"), QStringLiteral("native-messaging-hosts")}, file};
    }
    return {};
}

QString linkTarget(const QString &path)
{
    const QString target = QFileInfo(path).symLinkTarget();
    return QFileInfo::exists(target) ? target : target + QStringLiteral(", which does not exist");
}

// Root writing into another user's home would leave files there that the user cannot change.
QString notOursToChange(const Place &place)
{
#ifdef Q_OS_UNIX
    if (geteuid() != 0)
        return QString();
    for (const QString &folder : {QDir::homePath(), place.anchor}) {
        struct stat info{};
        if (::stat(QFile::encodeName(folder).constData(), &info) == 0 && info.st_uid != 0)
            return QStringLiteral("%1 belongs to another user, and root would leave files there that the user "
                                  "cannot change; run quorvane-cli as that user").arg(folder);
    }
#else
    Q_UNUSED(place)
#endif
    return QString();
}

// The descriptor of the manifest's folder, opened without following a link below the anchor;
// created when `create`. -1 with the problem, or with none when it does not exist.
int openFolder(const Place &place, bool create, QString *problem)
{
    if (create && !QDir().mkpath(place.anchor)) {
        *problem = QStringLiteral("cannot make the folder %1").arg(place.anchor);
        return -1;
    }
    int folder = ::open(QFile::encodeName(place.anchor).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder < 0) {
        if (errno != ENOENT)
            *problem = QStringLiteral("cannot open the folder %1: %2").arg(place.anchor, QString::fromLocal8Bit(strerror(errno)));
        return -1;
    }
    for (int i = 0; i < place.folders.size(); ++i) {
        const QByteArray name = QFile::encodeName(place.folders.at(i));
        if (create && ::mkdirat(folder, name.constData(), 0700) != 0 && errno != EEXIST) {
            *problem = QStringLiteral("cannot make the folder %1: %2").arg(place.folderPath(i + 1), QString::fromLocal8Bit(strerror(errno)));
            ::close(folder);
            return -1;
        }
        const int inner = ::openat(folder, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        ::close(folder);
        if (inner < 0) {
            const QString path = place.folderPath(i + 1);
            if (QFileInfo(path).isSymLink())
                *problem = QStringLiteral("%1 is a symbolic link (to %2): nothing is written or removed through one")
                               .arg(path, linkTarget(path));
            else if (error != ENOENT)
                *problem = QStringLiteral("%1 is not a folder that can be opened: %2").arg(path, QString::fromLocal8Bit(strerror(error)));
            return -1;
        }
        folder = inner;
    }
    return folder;
}

// The manifest's place, and its folder opened for a change: -1, with the outcome's problem,
// when the change is not ours to make or the folder cannot be opened (no problem: not there).
int openPlace(Browser browser, bool create, Place *place, Outcome *outcome)
{
    *place = placeOf(browser);
    outcome->path = place->path();
    outcome->problem = notOursToChange(*place);
    if (!outcome->problem.isEmpty())
        return -1;
    return openFolder(*place, create, &outcome->problem);
}

}

QString userPath(Browser browser)
{
    return placeOf(browser).path();
}

bool namesOurHost(const QByteArray &manifest)
{
    const QJsonObject object = QJsonDocument::fromJson(manifest).object();
    return object.value(QLatin1String("name")).toString() == hostName()
           && QFileInfo(object.value(QLatin1String("path")).toString()).fileName() == QLatin1String("quorvane-browser-host");
}

Outcome install(Browser browser, const QString &hostPath)
{
    Place place;
    Outcome outcome;
    const int folder = openPlace(browser, true, &place, &outcome);
    if (folder < 0)
        return outcome;
    const QByteArray file = QFile::encodeName(place.file);
    struct stat there{};
    if (::fstatat(folder, file.constData(), &there, AT_SYMLINK_NOFOLLOW) == 0 && !S_ISREG(there.st_mode)) {
        outcome.problem = S_ISLNK(there.st_mode)
            ? QStringLiteral("%1 is a symbolic link (to %2): nothing is written through one; remove it, then run "
                             "setup again").arg(outcome.path, linkTarget(outcome.path))
            : QStringLiteral("%1 is not a plain file").arg(outcome.path);
        ::close(folder);
        return outcome;
    }
    // A file of its own, whole, then put in the manifest's place in one step.
    const QByteArray temporary = "." + file + ".new";
    ::unlinkat(folder, temporary.constData(), 0);
    const int out = ::openat(folder, temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    const QByteArray manifest = json(browser, hostPath);
    bool written = out >= 0 && ::write(out, manifest.constData(), size_t(manifest.size())) == ssize_t(manifest.size());
    written = out >= 0 && ::fsync(out) == 0 && written;
    if (out >= 0)
        written = ::close(out) == 0 && written;
    written = written && ::renameat(folder, temporary.constData(), folder, file.constData()) == 0;
    if (!written) {
        outcome.problem = QStringLiteral("cannot write %1: %2").arg(outcome.path, QString::fromLocal8Bit(strerror(errno)));
        ::unlinkat(folder, temporary.constData(), 0);
    } else {
        outcome.kind = Outcome::Written;
    }
    ::close(folder);
    return outcome;
}

Outcome uninstall(Browser browser)
{
    Place place;
    Outcome outcome;
    const int folder = openPlace(browser, false, &place, &outcome);
    if (folder < 0) {
        if (outcome.problem.isEmpty())
            outcome.kind = Outcome::NothingThere;
        else if (notOursToChange(place).isEmpty())
            outcome.kind = Outcome::Left;   // a link, or a file, where a folder of the browser's goes
        return outcome;
    }
    const QByteArray file = QFile::encodeName(place.file);
    struct stat there{};
    if (::fstatat(folder, file.constData(), &there, AT_SYMLINK_NOFOLLOW) != 0) {
        outcome.kind = Outcome::NothingThere;
    } else if (S_ISLNK(there.st_mode)) {
        outcome.kind = Outcome::Left;
        outcome.problem = QStringLiteral("%1 is a symbolic link (to %2), not a manifest that setup wrote; left as it is")
                              .arg(outcome.path, linkTarget(outcome.path));
    } else {
        QByteArray manifest;
        const int in = ::openat(folder, file.constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (S_ISREG(there.st_mode) && in >= 0 && there.st_size <= 65536) {
            manifest.resize(int(there.st_size));
            if (::read(in, manifest.data(), size_t(manifest.size())) != ssize_t(manifest.size()))
                manifest.clear();
        }
        if (in >= 0)
            ::close(in);
        if (!namesOurHost(manifest)) {
            outcome.kind = Outcome::Left;
            const QString other = QJsonDocument::fromJson(manifest).object().value(QLatin1String("path")).toString();
            outcome.problem = other.isEmpty() ? QStringLiteral("%1 is not a manifest of Quorvane's host; left as it is").arg(outcome.path)
                                              : QStringLiteral("%1 names another program's host, %2; left as it is").arg(outcome.path, other);
        } else if (::unlinkat(folder, file.constData(), 0) == 0) {
            outcome.kind = Outcome::Removed;
        } else {
            outcome.problem = QStringLiteral("cannot remove %1: %2").arg(outcome.path, QString::fromLocal8Bit(strerror(errno)));
        }
    }
    ::close(folder);
    return outcome;
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
