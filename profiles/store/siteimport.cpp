#include "siteimport.h"

#include "boundedfile.h"
#include "lesspass.h"
#include "utf8.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace SiteImport {

namespace {

// Raised by the readers for a file that is one of ours but broken; caught in read().
struct Broken
{
    QString where;
};

Result malformed(const QString &format, const QString &problem)
{
    Result result;
    result.status = Result::Malformed;
    result.format = format;
    result.problem = problem;
    return result;
}

// A stored login name is either plain text or, encrypted with the user's key, base64 of whole
// AES blocks: that form is left out.
bool isEncrypted(const QString &text)
{
    static const QRegularExpression base64(QStringLiteral("^[A-Za-z0-9+/]+={0,2}$"));
    if (text.size() % 4 != 0 || !base64.match(text).hasMatch())
        return false;
    const int bytes = QByteArray::fromBase64(text.toLatin1()).size();
    return bytes > 0 && bytes % 16 == 0;
}

// Why a Spectre type cannot become a profile; empty for a template.
QString spectreTypeProblem(qint64 type)
{
    switch (type) {
    case 1056: return QStringLiteral("a stored password, which cannot be derived");
    case 2081: return QStringLiteral("a device-private password, which cannot be derived");
    case 4160: return QStringLiteral("a derived key, not a password");
    default: break;
    }
    return Spectre::templateFromCode(int(type)).isEmpty() || type != qint64(int(type))
        ? QStringLiteral("the type %1 is none that Spectre derives").arg(type)
        : QString();
}

// Adds the recipe, or the reason it cannot be one.
void keep(Result *result, const Recipe &recipe, const QString &typeProblem = QString())
{
    QString why = typeProblem;
    if (why.isEmpty() && recipe.identifier.isEmpty())
        why = QStringLiteral("it has no site name");
    if (why.isEmpty())
        why = recipe.problem();
    if (why.isEmpty())
        result->recipes.append(recipe);
    else
        result->skipped.append({recipe.identifier, why});
}

// --- LessPass ---------------------------------------------------------------------------

bool lessPassSwitch(const QJsonObject &entry, const QStringList &keys, const QString &where)
{
    for (const QString &key : keys) {
        const QJsonValue value = entry.value(key);
        if (value.isUndefined() || value.isNull())
            continue;
        if (!value.isBool())
            throw Broken{QStringLiteral("%1: \"%2\" is not true or false").arg(where, key)};
        return value.toBool();
    }
    return true;
}

qint64 wholeNumber(const QJsonObject &entry, const QString &key, qint64 fallback, const QString &where)
{
    const QJsonValue value = entry.value(key);
    if (value.isUndefined() || value.isNull())
        return fallback;
    const double number = value.toDouble(-1.5);
    if (!value.isDouble() || number != std::floor(number) || number < 0 || number > 9007199254740992.0)
        throw Broken{QStringLiteral("%1: \"%2\" is not a whole number").arg(where, key)};
    return qint64(number);
}

QString text(const QJsonObject &entry, const QString &key, const QString &where)
{
    const QJsonValue value = entry.value(key);
    if (value.isUndefined() || value.isNull())
        return QString();
    if (!value.isString())
        throw Broken{QStringLiteral("%1: \"%2\" is not a text").arg(where, key)};
    return value.toString();
}

void readLessPass(const QJsonArray &profiles, Result *result)
{
    for (int i = 0; i < profiles.size(); ++i) {
        const QString where = QStringLiteral("profile %1").arg(i + 1);
        if (!profiles.at(i).isObject())
            throw Broken{where + QStringLiteral(" is not an object")};
        const QJsonObject entry = profiles.at(i).toObject();
        Recipe recipe = Recipe::defaults(Scheme::LessPass);
        recipe.identifier = text(entry, QStringLiteral("site"), where);
        recipe.login = text(entry, QStringLiteral("login"), where);
        recipe.classes.clear();
        if (lessPassSwitch(entry, {QStringLiteral("lowercase")}, where))
            recipe.classes += QLatin1Char('a');
        if (lessPassSwitch(entry, {QStringLiteral("uppercase")}, where))
            recipe.classes += QLatin1Char('A');
        if (lessPassSwitch(entry, {QStringLiteral("digits"), QStringLiteral("numbers"), QStringLiteral("number")}, where))
            recipe.classes += QLatin1Char('9');
        if (lessPassSwitch(entry, {QStringLiteral("symbols"), QStringLiteral("symbol")}, where))
            recipe.classes += QLatin1Char('!');
        const qint64 length = wholeNumber(entry, QStringLiteral("length"), 16, where);
        const qint64 counter = wholeNumber(entry, QStringLiteral("counter"), 1, where);
        const qint64 version = wholeNumber(entry, QStringLiteral("version"), 2, where);
        recipe.length = int(qMin<qint64>(length, 1000));
        recipe.counter = quint32(qMin<qint64>(counter, Spectre::maximumCounter));
        if (counter > qint64(Spectre::maximumCounter))
            recipe.counter = 0;   // refused below
        keep(result, recipe,
             version == 1   ? QStringLiteral("a LessPass version 1 profile, whose algorithm Quorvane does not derive")
             : version != 2 ? QStringLiteral("LessPass version %1 is unknown").arg(version)
                            : QString());
    }
}

// --- Spectre JSON -----------------------------------------------------------------------

void readSpectreJson(const QJsonObject &top, Result *result)
{
    const QJsonObject exported = top.value(QLatin1String("export")).toObject();
    const qint64 format = wholeNumber(exported, QStringLiteral("format"), 1, QStringLiteral("export"));
    if (format < 1 || format > 3)
        throw Broken{QStringLiteral("export: format %1 is not one Quorvane reads (1 to 3)").arg(format)};
    result->format = QStringLiteral("Spectre JSON, format %1").arg(format);
    if (!top.value(QLatin1String("user")).isObject())
        throw Broken{QStringLiteral("\"user\" is missing")};
    const QJsonObject user = top.value(QLatin1String("user")).toObject();
    const QString userName = text(user, QStringLiteral("full_name"), QStringLiteral("user"));
    if (userName.isEmpty())
        throw Broken{QStringLiteral("user: \"full_name\" is missing")};
    const qint64 userAlgorithm = wholeNumber(user, QStringLiteral("algorithm"), Spectre::latestAlgorithm, QStringLiteral("user"));
    const qint64 userType = wholeNumber(user, QStringLiteral("result_type"),
                                        wholeNumber(user, QStringLiteral("default_type"), 17, QStringLiteral("user")),
                                        QStringLiteral("user"));
    const QJsonValue sites = top.value(QLatin1String("sites"));
    if (!sites.isObject() && !sites.isUndefined())
        throw Broken{QStringLiteral("\"sites\" is not an object")};
    const QJsonObject all = sites.toObject();
    for (auto it = all.begin(); it != all.end(); ++it) {
        const QString where = QStringLiteral("site \"%1\"").arg(it.key());
        if (!it.value().isObject())
            throw Broken{where + QStringLiteral(" is not an object")};
        const QJsonObject site = it.value().toObject();
        Recipe recipe = Recipe::defaults(Scheme::Spectre);
        recipe.identifier = it.key();
        recipe.userName = userName;
        const qint64 type = wholeNumber(site, QStringLiteral("type"), userType, where);
        const qint64 counter = wholeNumber(site, QStringLiteral("counter"), 1, where);
        const qint64 algorithm = wholeNumber(site, QStringLiteral("algorithm"), userAlgorithm, where);
        const QString login = text(site, QStringLiteral("login_name"), where);
        recipe.templateName = Spectre::templateFromCode(int(qMin<qint64>(type, 100000)));
        recipe.counter = counter > qint64(Spectre::maximumCounter) ? 0 : quint32(counter);
        recipe.algorithm = int(qMin<qint64>(algorithm, 100));
        recipe.login = isEncrypted(login) ? QString() : login;
        keep(result, recipe, spectreTypeProblem(type));
    }
}

// --- Spectre flat file ------------------------------------------------------------------

void readSpectreFlat(const QStringList &lines, Result *result)
{
    // The header: "# Name: value" lines between the first two lines that are exactly "##".
    QHash<QString, QString> header;
    int at = 0;
    while (at < lines.size() && lines.at(at) != QLatin1String("##"))
        ++at;
    for (++at; at < lines.size() && lines.at(at) != QLatin1String("##"); ++at) {
        const QString line = lines.at(at);
        const int colon = line.indexOf(QLatin1Char(':'));
        if (line.trimmed().isEmpty())
            continue;
        if (!line.startsWith(QLatin1Char('#')))
            throw Broken{QStringLiteral("line %1: a header line must start with \"#\"").arg(at + 1)};
        if (colon > 0)
            header.insert(line.mid(1, colon - 1).trimmed().toLower(), line.mid(colon + 1).trimmed());
    }
    if (at >= lines.size())
        throw Broken{QStringLiteral("the header is not closed by a line \"##\"")};
    bool formatRead = false;
    const int format = header.value(QStringLiteral("format")).toInt(&formatRead);
    if (!formatRead || format < 0 || format > 2)
        throw Broken{QStringLiteral("the header's Format is not 0, 1 or 2")};
    result->format = QStringLiteral("Spectre flat file, format %1").arg(format);
    const QString userName = header.value(QStringLiteral("full name"), header.value(QStringLiteral("user name")));
    if (userName.isEmpty())
        throw Broken{QStringLiteral("the header names no user (Full Name or User Name)")};

    // The first three fields are separated by spaces or tabs; the rest ("login\tsite\tpassword",
    // or "site\tpassword" in format 0) by tabs, each padded in front with spaces.
    static const QRegularExpression start(QStringLiteral("^[ \t]*(\\S+)[ \t]+(\\S+)[ \t]+(\\S+)"));
    const int columns = format == 0 ? 2 : 3;
    for (++at; at < lines.size(); ++at) {
        const QString line = lines.at(at);
        if (line.startsWith(QLatin1Char('#')) || line.trimmed().isEmpty())
            continue;
        const QString where = QStringLiteral("line %1").arg(at + 1);
        const QRegularExpressionMatch match = start.match(line);
        QStringList rest = line.mid(match.capturedEnd()).split(QLatin1Char('\t'));
        // A tab after the third field leaves a blank column in front.
        while (rest.size() > columns && rest.first().trimmed().isEmpty())
            rest.removeFirst();
        if (!match.hasMatch() || rest.size() < columns - 1)
            throw Broken{where + QStringLiteral(": not a site line")};
        const QStringList code = match.captured(3).split(QLatin1Char(':'));
        if (code.size() != (format == 0 ? 2 : 3))
            throw Broken{where + QStringLiteral(": \"%1\" is not the type, algorithm and counter").arg(match.captured(3))};
        bool typeRead = false, algorithmRead = false, counterRead = true;
        const qint64 type = code.at(0).toLongLong(&typeRead);
        const int algorithm = code.at(1).toInt(&algorithmRead);
        const quint32 counter = format == 0 ? 1 : code.at(2).toUInt(&counterRead);
        if (!typeRead || !algorithmRead || !counterRead)
            throw Broken{where + QStringLiteral(": \"%1\" is not the type, algorithm and counter").arg(match.captured(3))};
        auto leadingSpacesOff = [](const QString &s) {
            int i = 0;
            while (i < s.size() && s.at(i) == QLatin1Char(' '))
                ++i;
            return s.mid(i);
        };
        Recipe recipe = Recipe::defaults(Scheme::Spectre);
        recipe.userName = userName;
        recipe.templateName = Spectre::templateFromCode(int(qMin<qint64>(type, 100000)));
        recipe.counter = counter;
        recipe.algorithm = algorithm;
        if (format == 0) {
            recipe.identifier = leadingSpacesOff(rest.at(0));
        } else {
            const QString login = leadingSpacesOff(rest.at(0));
            recipe.login = isEncrypted(login) ? QString() : login;
            recipe.identifier = leadingSpacesOff(rest.at(1));
        }
        keep(result, recipe, spectreTypeProblem(type));
    }
}

}

Result read(const QByteArray &content)
{
    if (content.size() > maximumSize)
        return malformed(QString(), QStringLiteral("the file is larger than 16 MiB"));
    QString decoded;
    int badByte = 0;
    if (!Utf8::decodeStrict(content, &decoded, &badByte))
        return malformed(QString(), QStringLiteral("the file is not UTF-8 text (byte %1)").arg(badByte + 1));
    if (decoded.startsWith(QChar(0xFEFF)))
        decoded.remove(0, 1);
    const QString start = decoded.trimmed().left(1);

    Result result;
    result.status = Result::Read;
    try {
        if (start == QLatin1String("{") || start == QLatin1String("[")) {
            QJsonParseError error;
            const QJsonDocument document = QJsonDocument::fromJson(decoded.toUtf8(), &error);
            if (document.isNull())
                return malformed(QStringLiteral("JSON"), QStringLiteral("the JSON is malformed at byte %1: %2")
                                                             .arg(error.offset + 1).arg(error.errorString()));
            const QJsonObject top = document.object();
            if (document.isArray()) {
                result.format = QStringLiteral("LessPass profiles");
                readLessPass(document.array(), &result);
            } else if (top.value(QLatin1String("results")).isArray()) {
                result.format = QStringLiteral("LessPass profiles");
                readLessPass(top.value(QLatin1String("results")).toArray(), &result);
            } else if (top.value(QLatin1String("export")).isObject() || top.value(QLatin1String("user")).isObject()) {
                readSpectreJson(top, &result);
            } else {
                result.status = Result::NotASiteList;
            }
        } else if (start == QLatin1String("#")) {
            const QStringList lines = decoded.split(QRegularExpression(QStringLiteral("\r\n|\n|\r")));
            if (!lines.contains(QStringLiteral("##")))
                result.status = Result::NotASiteList;
            else
                readSpectreFlat(lines, &result);
        } else {
            result.status = Result::NotASiteList;
        }
    } catch (const Broken &broken) {
        return malformed(result.format, broken.where);
    }
    if (result.status == Result::NotASiteList) {
        result.problem = QStringLiteral("the file is no LessPass or Spectre site list");
        result.recipes.clear();
    }
    return result;
}

Result readFile(const QString &path)
{
    QByteArray content;
    switch (BoundedFile::read(path, maximumSize, &content)) {
    case BoundedFile::Status::Read:
        break;
    case BoundedFile::Status::Missing:
        return malformed(QString(), QStringLiteral("the file does not exist"));
    case BoundedFile::Status::Unreadable:
        return malformed(QString(), QStringLiteral("the file cannot be read"));
    case BoundedFile::Status::NotAFile:
        return malformed(QString(), QFileInfo(path).isDir() ? QStringLiteral("it is a folder, not a file")
                                                            : QStringLiteral("it is not a plain file"));
    case BoundedFile::Status::TooLarge:
        return malformed(QString(), QStringLiteral("the file is larger than 16 MiB"));
    }
    return read(content);
}

Stored store(const QString &path, const Result &list)
{
    Stored stored;
    stored.skipped = list.skipped;
    QStringList lines;
    for (const Recipe &recipe : list.recipes) {
        const QString problem = recipe.storableProblem();
        if (problem.isEmpty())
            lines.append(recipe.line());
        else
            stored.skipped.append({recipe.identifier, problem});
    }
    stored.save = ProfileFile::saveLines(path, lines, &stored.added, &stored.present);
    return stored;
}

QString summary(const Stored &stored)
{
    return QStringLiteral("imported %1, already saved %2, skipped %3")
        .arg(stored.added)
        .arg(stored.present)
        .arg(stored.skipped.size());
}

}
