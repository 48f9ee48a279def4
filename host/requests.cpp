#include "requests.h"

#include "fingerprint.h"
#include "pagematch.h"
#include "profilefile.h"
#include "recipe.h"
#include "rule.h"
#include "sitelist.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

namespace Requests {

namespace {

QJsonObject version(const Request &)
{
    return {{"version", QCoreApplication::applicationVersion()}};
}

QJsonObject lookup(const Request &request)
{
    const PageMatch::Page page = PageMatch::page(request.url);
    if (!page.problem.isEmpty())
        return error(page.problem);
    const QString path = ProfileFile::defaultPath();
    QStringList lines;
    const ProfileFile::ReadStatus status = ProfileFile::readLines(path, &lines);
    if (status != ProfileFile::ReadStatus::Read && status != ProfileFile::ReadStatus::Missing)
        return error(QStringLiteral("the profile file %1 %2").arg(path, ProfileFile::problem(status)));
    QJsonArray profiles;
    // In file order among equally specific ones: no sort of the whole file.
    for (const QString &row : PageMatch::profilesFor(page, lines)) {
        Recipe recipe;
        if (!Recipe::fromLine(row, &recipe) || !recipe.problem().isEmpty())
            continue;   // a line that names no password the page could use
        profiles.append(QJsonObject{{"line", row},
                                    {"identifier", recipe.identifier},
                                    {"scheme", Schemes::name(recipe.scheme)},
                                    {"length", recipe.length},
                                    {"label", recipe.label()}});
        if (profiles.size() == maximumProfiles)
            break;
    }
    QJsonObject reply{{"site", page.site}, {"domain", page.domain}, {"profiles", profiles},
                      {"rule", QJsonValue::Null}, {"ruleSource", QJsonValue::Null}};
    const SiteList::Match site = SiteList::installed().match(page.site);
    if (!site.isNull()) {
        Rule rule;
        reply.insert("rule", Rule::parse(site.rule, &rule) && rule.isSiteRule() ? rule.text() : site.rule);
        reply.insert("ruleSource", site.source);
    }
    return reply;
}

// The recipe of a profile line, or what keeps it from being one.
bool recipeOf(const QString &line, Recipe *recipe, QString *problem)
{
    if (!Recipe::fromLine(line, recipe)) {
        *problem = QStringLiteral("\"%1\" is not a profile line").arg(line);
        return false;
    }
    *problem = recipe->problem();
    return problem->isEmpty();
}

QJsonObject derive(const Request &request)
{
    Recipe recipe;
    QString problem;
    if (!recipeOf(request.line, &recipe, &problem))
        return error(problem);
    if (request.phrase.isEmpty())
        return error(QStringLiteral("the secret phrase is empty"));
    QString password = recipe.derive(request.phrase);
    if (password.isNull())
        return error(QStringLiteral("the password could not be made (not enough free memory)"));
    const QJsonObject reply{{"password", password}, {"entropy", recipe.entropyText()}, {"rating", recipe.rating()}};
    password.fill(QChar(0));
    return reply;
}

QJsonObject fingerprint(const Request &request)
{
    if (request.phrase.isEmpty())
        return error(QStringLiteral("the secret phrase is empty"));
    const QVector<Fingerprint::Symbol> symbols = Fingerprint::of(request.phrase);
    if (symbols.isEmpty())
        return error(QStringLiteral("the fingerprint could not be made (not enough free memory)"));
    QJsonArray shapes;
    for (const Fingerprint::Symbol &symbol : symbols) {
        shapes.append(QJsonObject{{"shape", Fingerprint::shapeName(symbol.shape)},
                                  {"colour", Fingerprint::colourValue(symbol.colour)},
                                  {"colourName", Fingerprint::colourName(symbol.colour)},
                                  {"pattern", Fingerprint::patternName(symbol.colour)}});
    }
    return {{"shapes", shapes}, {"text", Fingerprint::text(symbols)}};
}

QJsonObject save(const Request &request)
{
    Recipe recipe;
    QString problem;
    if (!recipeOf(request.line, &recipe, &problem))
        return error(problem);
    const QString path = ProfileFile::defaultPath();
    switch (ProfileFile::save(path, recipe)) {
    case ProfileFile::SaveResult::Saved:
        return {{"saved", true}};
    case ProfileFile::SaveResult::AlreadySaved:
        return error(QStringLiteral("this profile is saved already"));
    case ProfileFile::SaveResult::InvalidIdentifier:
        return error(QStringLiteral("a profile needs an identifier without \"|\""));
    case ProfileFile::SaveResult::UnstorableIdentifier:
        return error(recipe.storableProblem());
    case ProfileFile::SaveResult::InvalidRecipe:
        return error(recipe.problem());
    case ProfileFile::SaveResult::Busy:
        return error(QStringLiteral("another Quorvane window or quorvane-cli is changing the profile file; try again "
                                    "in a moment"));
    case ProfileFile::SaveResult::Unusable:
        return error(QStringLiteral("the profile file %1 %2; nothing was saved")
                         .arg(path, ProfileFile::problem(ProfileFile::check(path))));
    case ProfileFile::SaveResult::Failed:
        break;
    }
    return error(QStringLiteral("the profile could not be saved: cannot write %1").arg(path));
}

struct Handler
{
    const char *type;
    QStringList fields;   // the texts it needs
    QJsonObject (*answer)(const Request &request);
};

const Handler handlers[] = {
    {"version", {}, version},
    {"lookup", {QStringLiteral("url")}, lookup},
    {"derive", {QStringLiteral("line"), QStringLiteral("phrase")}, derive},
    {"fingerprint", {QStringLiteral("phrase")}, fingerprint},
    {"save", {QStringLiteral("line")}, save},
};

const Handler *handlerOf(const QString &type)
{
    for (const Handler &handler : handlers) {
        if (type == QLatin1String(handler.type))
            return &handler;
    }
    return nullptr;
}

}

bool read(const QByteArray &message, Request *request, QString *problem)
{
    QJsonParseError parsed;
    const QJsonDocument document = QJsonDocument::fromJson(message, &parsed);
    if (document.isNull()) {
        *problem = QStringLiteral("the message is not JSON: %1 at byte %2").arg(parsed.errorString()).arg(parsed.offset);
        return false;
    }
    if (!document.isObject()) {
        *problem = QStringLiteral("the message is not a JSON object");
        return false;
    }
    const QJsonObject object = document.object();
    if (!object.value(QLatin1String("type")).isString()) {
        *problem = QStringLiteral("the message has no \"type\"");
        return false;
    }
    *request = Request();
    request->type = object.value(QLatin1String("type")).toString();
    const Handler *handler = handlerOf(request->type);
    if (!handler) {
        *problem = QStringLiteral("\"%1\" is no request the host knows").arg(request->type);
        return false;
    }
    for (const QString &field : handler->fields) {
        if (!object.value(field).isString()) {
            *problem = QStringLiteral("the request \"%1\" needs \"%2\" as a text").arg(request->type, field);
            return false;
        }
    }
    request->url = object.value(QLatin1String("url")).toString();
    request->line = object.value(QLatin1String("line")).toString();
    request->phrase = object.value(QLatin1String("phrase")).toString();
    return true;
}

QJsonObject answer(const Request &request)
{
    const Handler *handler = handlerOf(request.type);
    return handler ? handler->answer(request) : error(QStringLiteral("\"%1\" is no request the host knows").arg(request.type));
}

QJsonObject error(const QString &problem)
{
    return {{"error", problem.left(1).toUpper() + problem.mid(1)}};
}

}
