#include "requests.h"

#include "fingerprint.h"
#include "libcrypto.h"
#include "pagematch.h"
#include "lengths.h"
#include "export.h"
#include "phrasechange.h"
#include "relatedsites.h"
#include "phrasestate.h"
#include "profilefile.h"
#include "recipe.h"
#include "rule.h"
#include "siterule.h"
#include "sitelist.h"
#include "sync.h"
#include "utf8.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>

namespace Requests {

namespace {

QJsonObject version(const Request &)
{
    return {{"version", QCoreApplication::applicationVersion()}};
}

// The longest site rule a lookup passes on; a longer one (no site has one) is left out.
constexpr int longestRule = 16 * 1024;

// A profile as the popup lists it: its line, what it makes, whether it waits for the new phrase,
// and the account's login where the profile keeps one (LessPass's login, a Spectre login name).
QJsonObject profileJson(const QString &row, const Recipe &recipe, int target)
{
    return {{"line", row},
            {"identifier", recipe.identifier},
            {"scheme", Schemes::name(recipe.scheme)},
            {"length", recipe.length},
            {"label", recipe.label()},
            {"waits", PhraseChange::waits(row, target)},
            {"login", Export::userNameOf(recipe)}};
}

QJsonObject lookup(const Request &request)
{
    Sync::mergeCopies(ProfileFile::defaultPath());
    const PageMatch::Page page = PageMatch::page(request.url);
    if (!page.problem.isEmpty())
        return error(page.problem);
    const QString path = ProfileFile::defaultPath();
    QStringList lines;
    const ProfileFile::ReadStatus status = ProfileFile::readLines(path, &lines);
    if (status != ProfileFile::ReadStatus::Read && status != ProfileFile::ReadStatus::Missing)
        return error(QStringLiteral("the profile file %1 %2").arg(path, ProfileFile::problem(status)));
    QJsonArray profiles;
    int size = 0;
    int omitted = 0;
    const int target = PhraseState::target(path, lines);
    // In file order among equally specific ones: no sort of the whole file.
    for (const QString &row : PageMatch::profilesFor(page, lines)) {
        Recipe recipe;
        if (!Recipe::fromLine(row, &recipe) || !recipe.problem().isEmpty())
            continue;   // a line that names no password the page could use
        const QJsonObject profile = profileJson(row, recipe, target);
        const int bytes = QJsonDocument(profile).toJson(QJsonDocument::Compact).size();
        if (profiles.size() == maximumProfiles || size + bytes > profilesBudget) {
            ++omitted;
            continue;
        }
        size += bytes;
        profiles.append(profile);
    }
    // The profiles of sites that share their sign-in with this one: apart, each with its site, and
    // never chosen by the popup.
    QJsonArray related;
    for (const PageMatch::Related &other :
         PageMatch::relatedProfilesFor(page, lines, RelatedSites::installed().relatedTo(page.domain))) {
        Recipe recipe;
        if (!Recipe::fromLine(other.row, &recipe) || !recipe.problem().isEmpty())
            continue;
        QJsonObject profile = profileJson(other.row, recipe, target);
        profile.insert("sharesWith", other.site);
        const int bytes = QJsonDocument(profile).toJson(QJsonDocument::Compact).size();
        if (profiles.size() + related.size() >= maximumProfiles || size + bytes > profilesBudget) {
            ++omitted;
            continue;
        }
        size += bytes;
        related.append(profile);
    }
    QJsonObject reply{{"site", page.site}, {"domain", page.domain}, {"profiles", profiles}, {"related", related},
                      {"omitted", omitted},
                      {"rule", QJsonValue::Null}, {"ruleSource", QJsonValue::Null},
                      {"change", target > 1 ? QJsonValue(target) : QJsonValue(QJsonValue::Null)}};
    const SiteList::Match site = SiteList::installed().match(page.site);
    Rule rule;
    if (!site.isNull() && Rule::parse(site.rule, &rule) && rule.isSiteRule() && rule.text().size() <= longestRule) {
        reply.insert("rule", rule.text());
        reply.insert("ruleSource", site.source.right(longestRule));
    }
    return reply;
}

// The saved profiles of an identifier typed into the popup's new-profile form: the user means
// that profile (its version, scheme and settings), never a second line for it.
QJsonObject named(const Request &request)
{
    Sync::mergeCopies(ProfileFile::defaultPath());
    const QString path = ProfileFile::defaultPath();
    QStringList lines;
    const ProfileFile::ReadStatus status = ProfileFile::readLines(path, &lines);
    if (status != ProfileFile::ReadStatus::Read && status != ProfileFile::ReadStatus::Missing)
        return error(QStringLiteral("the profile file %1 %2").arg(path, ProfileFile::problem(status)));
    const int target = PhraseState::target(path, lines);
    const QString identifier = request.identifier.trimmed();
    QJsonArray profiles;
    for (const QString &row : qAsConst(lines)) {
        Recipe recipe;
        if (identifier.isEmpty() || ProfileFile::identifierOf(row) != identifier || !Recipe::fromLine(row, &recipe)
            || !recipe.problem().isEmpty())
            continue;
        profiles.append(profileJson(row, recipe, target));
        if (profiles.size() == maximumProfiles)
            break;
    }
    return {{"profiles", profiles}};
}

// The recipe of a profile line, or what keeps it from being one that makes a password.
bool recipeOf(const QString &line, Recipe *recipe, QString *problem)
{
    *problem = Recipe::lineProblem(line);
    if (!problem->isEmpty()) {
        *problem = QStringLiteral("the profile makes no password: ") + *problem;
        return false;
    }
    Recipe::fromLine(line, recipe);
    if (recipe->identifier.isEmpty()) {
        *problem = QStringLiteral("the profile has no identifier (the site's name)");
        return false;
    }
    return true;
}

QJsonObject derive(const Request &request)
{
    Recipe recipe;
    QString problem;
    if (!recipeOf(request.line, &recipe, &problem))
        return error(problem);
    if (request.phrase.isEmpty())
        return error(QStringLiteral("the secret phrase is empty"));
    if (recipe.identifierRefused())
        return error(QStringLiteral("the %1 scheme takes no \"|\" in the identifier").arg(Schemes::name(recipe.scheme)));
    QString password = recipe.derive(request.phrase);
    if (password.isNull())
        return error(QStringLiteral("the password could not be made (%1)").arg(LibCrypto::failureReason()));
    const QJsonObject reply{{"password", password}, {"entropy", recipe.entropyText()}, {"rating", recipe.rating()}};
    password.fill(QChar(0));
    return reply;
}

// A new profile from the popup's form, as a line every door reads alike (Recipe::line), with its
// label; or what is wrong with the form, in the words the window uses for its own fields.
QJsonObject compose(const Request &request)
{
    Scheme scheme = Scheme::Strong;
    if (!Schemes::fromName(request.scheme, &scheme))
        return error(QStringLiteral("\"%1\" is no scheme: strong, compatible, lesspass or spectre").arg(request.scheme));
    Recipe recipe = Recipe::defaults(scheme);
    recipe.identifier = request.identifier.trimmed();
    if (recipe.identifier.isEmpty())
        return error(QStringLiteral("type the identifier (the site's name) first"));
    // Without a length: the scheme's default, or a site rule's longest, as the CLI takes it.
    const bool lengthGiven = !request.length.trimmed().isEmpty();
    if (scheme != Scheme::Spectre && lengthGiven) {
        bool number = false;
        recipe.length = request.length.toInt(&number, 10);
        if (!number)
            return error(QStringLiteral("the length must be a whole number"));
    }
    const QString rule = request.rule.trimmed();
    if (scheme == Scheme::Strong && !rule.isEmpty()) {
        QString problem;
        if (!Rule::parse(rule, &recipe.rule, &problem)) {
            return error(SiteRule::isRuleText(rule) ? QStringLiteral("the Site rules field holds no rule: ") + problem
                                                    : QStringLiteral("the characters are not a rule: ") + problem);
        }
        if (!lengthGiven && recipe.rule.isSiteRule())
            recipe.length = recipe.rule.maximumLength();
        if (!lengthGiven && recipe.rule.isWords())
            recipe.length = Derivation::wordsDefaultLength;
    }
    recipe.login = scheme == Scheme::LessPass ? request.login : QString();
    recipe.userName = scheme == Scheme::Spectre ? request.userName.trimmed() : QString();
    if (scheme == Scheme::Spectre && recipe.userName.isEmpty())
        return error(QStringLiteral("Spectre needs the user's name (its \"full name\")"));
    QString problem = recipe.problem();
    if (problem.isEmpty())
        problem = recipe.storableProblem();
    if (problem.isEmpty() && recipe.identifierRefused())
        problem = QStringLiteral("the identifier cannot hold \"|\"");
    if (!problem.isEmpty())
        return error(problem);
    return {{"line", recipe.line()}, {"label", recipe.label()}};
}

QJsonObject fingerprint(const Request &request)
{
    if (request.phrase.isEmpty())
        return error(QStringLiteral("the secret phrase is empty"));
    const QVector<Fingerprint::Symbol> symbols = Fingerprint::of(request.phrase);
    if (symbols.isEmpty())
        return error(QStringLiteral("the fingerprint could not be made (%1)").arg(LibCrypto::failureReason()));
    QJsonArray shapes;
    for (const Fingerprint::Symbol &symbol : symbols) {
        shapes.append(QJsonObject{{"shape", Fingerprint::shapeName(symbol.shape)},
                                  {"colour", Fingerprint::colourValue(symbol.colour)},
                                  {"colourName", Fingerprint::colourName(symbol.colour)},
                                  {"pattern", Fingerprint::patternName(symbol.colour)}});
    }
    return {{"shapes", shapes}, {"text", Fingerprint::text(symbols)}};
}

QJsonObject busyFile()
{
    return error(QStringLiteral("another Quorvane window or quorvane-cli is changing the profile file; try again in "
                                "a moment"));
}

QJsonObject notSavedAsItWas()
{
    return error(QStringLiteral("the profile is no longer saved as it was; open Quorvane again"));
}

QJsonObject save(const Request &request)
{
    Sync::mergeCopies(ProfileFile::defaultPath());
    Recipe recipe;
    QString problem;
    if (!recipeOf(request.line, &recipe, &problem))
        return error(problem);
    const QString path = ProfileFile::defaultPath();
    switch (ProfileFile::save(path, recipe)) {
    case ProfileFile::SaveResult::Saved:
        return {{"saved", true}};
    case ProfileFile::SaveResult::AlreadySaved:
    {
        QJsonObject reply = error(QStringLiteral("this profile is saved already"));
        reply.insert("already", true);
        return reply;
    }
    case ProfileFile::SaveResult::InvalidIdentifier:
        return error(QStringLiteral("a profile needs an identifier without \"|\""));
    case ProfileFile::SaveResult::UnstorableIdentifier:
        return error(recipe.storableProblem());
    case ProfileFile::SaveResult::InvalidRecipe:
        return error(recipe.problem());
    case ProfileFile::SaveResult::Busy:
        return busyFile();
    case ProfileFile::SaveResult::Unusable:
        return error(QStringLiteral("the profile file %1 %2; nothing was saved")
                         .arg(path, ProfileFile::problem(ProfileFile::check(path))));
    case ProfileFile::SaveResult::Failed:
        break;
    }
    return error(QStringLiteral("the profile could not be saved: %1").arg(ProfileFile::failureText(path)));
}

// The next version of a profile line, on the phrase the line is on, for a site that asks for a
// new password; nothing is saved.
QJsonObject next(const Request &request)
{
    Recipe recipe;
    QString problem;
    if (!recipeOf(request.line, &recipe, &problem))
        return error(problem);
    Recipe following;
    if (!recipe.nextVersion(&following, &problem))
        return error(problem);
    return {{"line", following.lineOnPhrase(Recipe::phraseOfLine(request.line))},
            {"label", following.label()},
            {"version", following.versionText()},
            {"previous", recipe.versionText()}};
}

// A saved line replaced by another of the same site: a new version kept after a change-of-password
// fill, or the old one back for a site that refused the new password.
QJsonObject replace(const Request &request)
{
    Sync::mergeCopies(ProfileFile::defaultPath());
    Recipe old;
    Recipe recipe;
    QString problem;
    if (!recipeOf(request.line, &old, &problem) || !recipeOf(request.with, &recipe, &problem))
        return error(problem);
    if (old.identifier != recipe.identifier)
        return error(QStringLiteral("a profile is replaced only by another of the same identifier"));
    const QString path = ProfileFile::defaultPath();
    switch (ProfileFile::replace(path, request.line, request.with)) {
    case ProfileFile::RemoveResult::Removed:
        return {{"replaced", true}};
    case ProfileFile::RemoveResult::NotFound:
        return notSavedAsItWas();
    case ProfileFile::RemoveResult::Busy:
        return busyFile();
    case ProfileFile::RemoveResult::Unusable:
        return error(QStringLiteral("the profile file %1 %2; nothing was changed")
                         .arg(path, ProfileFile::problem(ProfileFile::check(path))));
    case ProfileFile::RemoveResult::Failed:
        break;
    }
    return error(QStringLiteral("the profile could not be changed: %1").arg(ProfileFile::failureText(path)));
}

// A profile marked as moved to the new secret phrase, during a change of it.
QJsonObject moved(const Request &request)
{
    Sync::mergeCopies(ProfileFile::defaultPath());
    QString line = request.line;
    bool finished = false;
    const QString path = ProfileFile::defaultPath();
    switch (PhraseChange::move(path, &line, false, &finished)) {
    case PhraseChange::MoveResult::Moved:
        return {{"line", line}, {"finished", finished}};
    case PhraseChange::MoveResult::AlreadyMoved:
        return error(QStringLiteral("the profile uses the new secret phrase already"));
    case PhraseChange::MoveResult::NoChange:
        return error(QStringLiteral("no change of the secret phrase is in progress"));
    case PhraseChange::MoveResult::NotFound:
        return notSavedAsItWas();
    case PhraseChange::MoveResult::Busy:
        return busyFile();
    case PhraseChange::MoveResult::Unusable:
    case PhraseChange::MoveResult::Failed:
        break;
    }
    return error(QStringLiteral("the profile could not be marked: cannot rewrite %1").arg(path));
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
    {"compose", {QStringLiteral("scheme"), QStringLiteral("identifier")}, compose},
    {"next", {QStringLiteral("line")}, next},
    {"replace", {QStringLiteral("line"), QStringLiteral("with")}, replace},
    {"moved", {QStringLiteral("line")}, moved},
    {"named", {QStringLiteral("identifier")}, named},
};

// The texts a request may carry besides those its type needs.
const char *const optionalTexts[] = {"length", "rule", "login", "userName"};

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
    for (const char *field : optionalTexts) {
        const QJsonValue value = object.value(QLatin1String(field));
        if (!value.isUndefined() && !value.isString()) {
            *problem = QStringLiteral("\"%1\" must be a text").arg(QLatin1String(field));
            return false;
        }
    }
    const std::pair<const char *, QString *> texts[] = {
        {"url", &request->url},       {"line", &request->line},   {"phrase", &request->phrase},
        {"with", &request->with},
        {"scheme", &request->scheme}, {"identifier", &request->identifier}, {"length", &request->length},
        {"rule", &request->rule},     {"login", &request->login}, {"userName", &request->userName}};
    for (const auto &text : texts) {
        *text.second = object.value(QLatin1String(text.first)).toString();
        // JSON can carry half of a UTF-16 pair ("\ud800"), which is no character: every scheme
        // would take it as something else, and another phrase would give the same password.
        if (Utf8::hasLoneSurrogate(*text.second)) {
            *problem = text.second == &request->phrase
                           ? QStringLiteral("the secret phrase holds half of a UTF-16 surrogate pair, which is no "
                                            "character; nothing was made")
                           : QStringLiteral("\"%1\" holds half of a UTF-16 surrogate pair, which is no character")
                                 .arg(QLatin1String(text.first));
            return false;
        }
    }
    return true;
}

QJsonObject answer(const Request &request)
{
    const Handler *handler = handlerOf(request.type);
    return handler ? handler->answer(request) : error(QStringLiteral("\"%1\" is no request the host knows").arg(request.type));
}

QJsonObject error(const QString &problem)
{
    // Long enough for any message of ours; a host name or line it quotes never makes it long.
    const QString text = problem.size() > 2000 ? problem.left(2000) + QStringLiteral("…") : problem;
    return {{"error", text.left(1).toUpper() + text.mid(1)}};
}

}
