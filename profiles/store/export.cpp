#include "export.h"

#include "pagematch.h"
#include "phrasestate.h"
#include "wording.h"

#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>
#include <QXmlStreamWriter>

#include <sodium.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace Export {

namespace {

// Each format's name on the command line, its title in a file chooser and its file extension.
struct Named
{
    Format format;
    const char *name;
    const char *title;
    const char *extension;
};

const Named names[] = {{Format::KeePassXml, "keepass-xml", "KeePass 2 XML", "xml"},
                       {Format::BitwardenJson, "bitwarden-json", "Bitwarden JSON", "json"},
                       {Format::BitwardenCsv, "bitwarden-csv", "Bitwarden CSV", "csv"},
                       {Format::LessPassJson, "lesspass-json", "LessPass JSON", "json"}};

const Named &named(Format format)
{
    for (const Named &each : names) {
        if (each.format == format)
            return each;
    }
    return names[0];
}

QString uuid()
{
    return QString::fromLatin1(QUuid::createUuid().toRfc4122().toBase64());
}

QByteArray keePassXml(const QList<Entry> &entries)
{
    QByteArray xml;
    QXmlStreamWriter out(&xml);
    out.setAutoFormatting(true);
    out.writeStartDocument(QStringLiteral("1.0"), true);
    out.writeStartElement(QStringLiteral("KeePassFile"));
    out.writeStartElement(QStringLiteral("Meta"));
    out.writeTextElement(QStringLiteral("Generator"), QStringLiteral("Quorvane"));
    out.writeTextElement(QStringLiteral("DatabaseName"), QStringLiteral("Quorvane"));
    out.writeEndElement();
    out.writeStartElement(QStringLiteral("Root"));
    out.writeStartElement(QStringLiteral("Group"));
    out.writeTextElement(QStringLiteral("UUID"), uuid());
    out.writeTextElement(QStringLiteral("Name"), QStringLiteral("Quorvane"));
    for (const Entry &entry : entries) {
        out.writeStartElement(QStringLiteral("Entry"));
        out.writeTextElement(QStringLiteral("UUID"), uuid());
        const QList<QPair<QString, QString>> fields{{QStringLiteral("Title"), entry.recipe.identifier},
                                                   {QStringLiteral("UserName"), userNameOf(entry.recipe)},
                                                   {QStringLiteral("Password"), entry.password},
                                                   {QStringLiteral("URL"), uriOf(entry.recipe)},
                                                   {QStringLiteral("Notes"), entry.line}};
        for (const auto &field : fields) {
            out.writeStartElement(QStringLiteral("String"));
            out.writeTextElement(QStringLiteral("Key"), field.first);
            out.writeStartElement(QStringLiteral("Value"));
            if (field.first == QLatin1String("Password"))
                out.writeAttribute(QStringLiteral("ProtectInMemory"), QStringLiteral("True"));
            out.writeCharacters(field.second);
            out.writeEndElement();
            out.writeEndElement();
        }
        out.writeEndElement();
    }
    out.writeEndDocument();
    return xml;
}

QByteArray bitwardenJson(const QList<Entry> &entries)
{
    QJsonArray items;
    for (const Entry &entry : entries) {
        const QString uri = uriOf(entry.recipe);
        const QString user = userNameOf(entry.recipe);
        const QJsonArray uris = uri.isEmpty() ? QJsonArray() : QJsonArray{QJsonObject{{"match", QJsonValue::Null}, {"uri", uri}}};
        items.append(QJsonObject{
            {"type", 1}, {"name", entry.recipe.identifier}, {"notes", entry.line}, {"favorite", false}, {"reprompt", 0},
            {"folderId", QJsonValue::Null},
            {"login", QJsonObject{{"uris", uris}, {"username", user.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(user)},
                                  {"password", entry.password}, {"totp", QJsonValue::Null}}}});
    }
    return QJsonDocument(QJsonObject{{"encrypted", false}, {"folders", QJsonArray()}, {"items", items}}).toJson();
}

// A text cell that a spreadsheet would run as a formula (=, +, -, @, a tab or a CR first) gets
// a leading "'". Never the password: it is exactly what the site was given.
QString guardedCell(const QString &text)
{
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    return !text.isEmpty() && formulaStarts.contains(text.at(0)) ? QLatin1Char('\'') + text : text;
}

// A field of a CSV line (RFC 4180): quoted when it holds a comma, a quote or a line break.
QString csvField(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n'))
        && !text.contains(QLatin1Char('\r')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
}

QByteArray bitwardenCsv(const QList<Entry> &entries)
{
    QString csv = QStringLiteral("folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,login_password,"
                                 "login_totp\r\n");
    constexpr int passwordColumn = 9;
    for (const Entry &entry : entries) {
        const QStringList fields{QString(), QString(), QStringLiteral("login"), entry.recipe.identifier, entry.line, QString(),
                                 QStringLiteral("0"), uriOf(entry.recipe), userNameOf(entry.recipe), entry.password, QString()};
        QStringList quoted;
        for (int i = 0; i < fields.size(); ++i)
            quoted << csvField(i == passwordColumn ? fields.at(i) : guardedCell(fields.at(i)));
        csv += quoted.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    }
    QByteArray bytes = csv.toUtf8();
    sodium_memzero(csv.data(), std::size_t(csv.size()) * sizeof(QChar));
    return bytes;
}

// As LessPass's command line saves its profiles and its server answers them.
QByteArray lessPassJson(const QList<Entry> &entries)
{
    QJsonArray results;
    for (const Entry &entry : entries) {
        const Recipe &r = entry.recipe;
        results.append(QJsonObject{{"site", r.identifier},
                                   {"login", r.login},
                                   {"lowercase", r.classes.contains(QLatin1Char('a'))},
                                   {"uppercase", r.classes.contains(QLatin1Char('A'))},
                                   {"digits", r.classes.contains(QLatin1Char('9'))},
                                   {"symbols", r.classes.contains(QLatin1Char('!'))},
                                   {"length", r.length},
                                   {"counter", qint64(r.counter)},
                                   {"version", 2}});
    }
    return QJsonDocument(QJsonObject{{"count", results.size()}, {"next", QJsonValue::Null},
                                     {"previous", QJsonValue::Null}, {"results", results}}).toJson();
}

}

QStringList formatNames()
{
    QStringList list;
    for (const Named &each : names)
        list << QString::fromLatin1(each.name);
    return list;
}

bool formatFromName(const QString &name, Format *format)
{
    for (const Named &each : names) {
        if (name == QLatin1String(each.name)) {
            *format = each.format;
            return true;
        }
    }
    return false;
}

QString formatName(Format format)
{
    return QString::fromLatin1(named(format).name);
}

QString fileExtension(Format format)
{
    return QString::fromLatin1(named(format).extension);
}

QString formatTitle(Format format)
{
    return QString::fromLatin1(named(format).title);
}

bool holdsPasswords(Format format)
{
    return format != Format::LessPassJson;
}

QList<Entry> entriesOf(const QStringList &lines, Format format, QStringList *skipped)
{
    QList<Entry> entries;
    for (const QString &line : lines) {
        if (line.isEmpty())
            continue;
        Entry entry;
        entry.line = line;
        const QString problem = Recipe::lineProblem(line);
        Recipe::fromLine(line, &entry.recipe);
        if (!problem.isEmpty())
            *skipped << QStringLiteral("\"%1\": it makes no password: %2").arg(line, problem);
        else if (format == Format::LessPassJson && entry.recipe.scheme != Scheme::LessPass)
            continue;   // LessPass's file holds LessPass's profiles only
        else
            entries << entry;
    }
    return entries;
}

QString refusal(const QString &profilePath, const QStringList &lines, Format format)
{
    const int target = PhraseState::target(profilePath, lines);
    if (!holdsPasswords(format) || target < 2)
        return QString();
    int waiting = 0;
    int moved = 0;
    for (const QString &line : lines) {
        Recipe recipe;
        if (line.isEmpty() || !Recipe::fromLine(line, &recipe) || !recipe.problem().isEmpty())
            continue;
        ++(Recipe::phraseOfLine(line) < target ? waiting : moved);
    }
    return QStringLiteral("a change of the secret phrase is in progress: %1 still %2 the previous phrase and %3 the new "
                          "one, so no one phrase makes every site's password. Finish the change (quorvane-cli phrase "
                          "status says what is left), then export")
        .arg(Wording::count(waiting, QStringLiteral("profile"), QStringLiteral("profiles")),
             waiting == 1 ? QStringLiteral("uses") : QStringLiteral("use"))
        .arg(moved);
}

QStringList notes(Format format, const QList<Entry> &entries)
{
    QStringList said;
    if (format != Format::KeePassXml)
        return said;
    const auto hasControl = [](const QString &text) {
        return std::any_of(text.cbegin(), text.cend(), [](QChar c) {
            return (c.unicode() < 0x20 && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
                   || (c.unicode() >= 0xFFFE);
        });
    };
    for (const Entry &entry : entries) {
        if (hasControl(entry.recipe.identifier) || hasControl(entry.line) || hasControl(userNameOf(entry.recipe)))
            said << QStringLiteral("\"%1\": its control characters are left out of the XML file, which cannot hold them; "
                                   "its password is whole")
                        .arg(Wording::visible(entry.recipe.identifier));
    }
    return said;
}

QString uriOf(const Recipe &recipe)
{
    const QString identifier = recipe.identifier.trimmed();
    const QString lower = identifier.toLower();
    if (lower.startsWith(QLatin1String("http://")) || lower.startsWith(QLatin1String("https://")))
        return PageMatch::page(identifier).problem.isEmpty() ? identifier : QString();
    // A host name: one the address of a page can hold, with a dot (a bare word is an account's
    // label, not a site), or an address.
    const PageMatch::Page page = PageMatch::page(QStringLiteral("https://") + identifier + QLatin1Char('/'));
    const bool host = page.problem.isEmpty() && !identifier.contains(QLatin1Char('/')) && !identifier.contains(QLatin1Char(' '))
                      && (identifier.contains(QLatin1Char('.')) || identifier.startsWith(QLatin1Char('[')));
    return host ? QStringLiteral("https://%1/").arg(identifier) : QString();
}

QString userNameOf(const Recipe &recipe)
{
    return recipe.scheme == Scheme::LessPass || recipe.scheme == Scheme::Spectre ? recipe.login : QString();
}

QByteArray write(Format format, const QList<Entry> &entries)
{
    switch (format) {
    case Format::KeePassXml: return keePassXml(entries);
    case Format::BitwardenJson: return bitwardenJson(entries);
    case Format::BitwardenCsv: return bitwardenCsv(entries);
    case Format::LessPassJson: return lessPassJson(entries);
    }
    return QByteArray();
}

FileResult writeNewFile(const QString &path, const QByteArray &bytes, QString *problem)
{
    const QByteArray target = QFile::encodeName(QFileInfo(path).absoluteFilePath());
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink())
        return FileResult::Exists;
    // A file of its own beside the target, private from the start, then put in place only where
    // nothing stands, whoever made it meanwhile.
    QByteArray temporary = target + ".quorvane-XXXXXX";
    const int out = ::mkstemp(temporary.data());
    if (out < 0) {
        *problem = QString::fromLocal8Bit(std::strerror(errno));
        return FileResult::Failed;
    }
    ::fchmod(out, 0600);
    qint64 written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(out, bytes.constData() + written, size_t(bytes.size() - written));
        if (n <= 0 && errno != EINTR)
            break;
        written += qMax<ssize_t>(n, 0);
    }
    const bool whole = written == bytes.size() && ::fsync(out) == 0;
    const int saved = errno;
    ::close(out);
    FileResult result = FileResult::Written;
    if (!whole) {
        *problem = QString::fromLocal8Bit(std::strerror(saved));
        result = FileResult::Failed;
    } else if (::renameat2(AT_FDCWD, temporary.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) != 0
               && (errno == EEXIST || ::link(temporary.constData(), target.constData()) != 0)) {
        // (A file system without an atomic rename that never replaces takes a hard link.)
        result = errno == EEXIST ? FileResult::Exists : FileResult::Failed;
        *problem = QString::fromLocal8Bit(std::strerror(errno));
    }
    ::unlink(temporary.constData());
    return result;
}

}
