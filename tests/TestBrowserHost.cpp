#include "libcrypto.h"
#include "phrasechange.h"
#include "profilefile.h"
#include "testsupport.h"
#include "utf8.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

#include <cstring>
#include <dlfcn.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

QByteArray frame(const QByteArray &json)
{
    const quint32 size = quint32(json.size());
    QByteArray out(int(sizeof size), Qt::Uninitialized);
    std::memcpy(out.data(), &size, sizeof size);
    return out + json;
}

QByteArray frame(const QJsonObject &request)
{
    return frame(QJsonDocument(request).toJson(QJsonDocument::Compact));
}

// The real host, spoken to through its framing as a browser speaks to it.
class Host
{
public:
    Host(const QString &program = QStringLiteral(QUORVANE_HOST), const QStringList &arguments = {"chrome-extension://test/"})
    {
        process.start(program, arguments);
        if (!process.waitForStarted())
            qFatal("the host did not start");
    }
    void send(const QByteArray &bytes) { process.write(bytes); }
    QJsonObject ask(const QJsonObject &request)
    {
        send(frame(request));
        return reply();
    }
    // The next reply; an empty object when none came.
    QJsonObject reply()
    {
        while (process.bytesAvailable() < 4 && process.waitForReadyRead(60000)) {
        }
        quint32 size = 0;
        if (process.read(reinterpret_cast<char *>(&size), 4) != 4)
            return {};
        while (process.bytesAvailable() < size && process.waitForReadyRead(60000)) {
        }
        return QJsonDocument::fromJson(process.read(size)).object();
    }
    // Ends the input and waits: the exit code, or -1 for a crash.
    int finish()
    {
        process.closeWriteChannel();
        if (!process.waitForFinished(60000))
            return -2;
        return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    }
    QByteArray errors() { return process.readAllStandardError(); }
    QProcess process;
};

QJsonObject request(const char *type, const QJsonObject &fields = {})
{
    QJsonObject r = fields;
    r.insert("type", QString::fromLatin1(type));
    return r;
}

}

// The browser host from a real process, through its real framing: every request, every
// scheme's vectors, bad input of every kind, and many requests in one process.
class TestBrowserHost : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        home.reset();   // the old one puts HOME back first
        home.reset(new TempHome);
    }
    void everyRequest();
    void vectorsAsTheCliGivesThem();
    void badInput();
    void manyRequestsInOrder();
    void newProfilesAndBounds();
    void withoutLibcrypto();
    void changingPasswords();

private:
    std::unique_ptr<TempHome> home;
};

void TestBrowserHost::everyRequest()
{
    writeFile(home->profileFile(), "example.com|16|strong|aA9!|1\r\nlogin.example.com|20|strong\r\ncom|8\r\n"
                                   "other.example.com|8\r\nexample.com|0|spectre|long|1|3|password|Robert|\r\n");
    Host host;
    QCOMPARE(host.ask(request("version")).value("version").toString(), QStringLiteral("1.0.0"));

    const QJsonObject found = host.ask(request("lookup", {{"url", "https://www.login.example.com/signin?next=/"}}));
    QCOMPARE(found.value("site").toString(), QStringLiteral("www.login.example.com"));
    QCOMPARE(found.value("domain").toString(), QStringLiteral("example.com"));
    QStringList lines;
    for (const QJsonValue &p : found.value("profiles").toArray())
        lines << p.toObject().value("line").toString();
    // Most specific first, then in the file's order.
    QCOMPARE(lines, (QStringList{"login.example.com|20|strong", "example.com|16|strong|aA9!|1",
                                 "example.com|0|spectre|long|1|3|password|Robert|"}));
    const QJsonObject first = found.value("profiles").toArray().at(0).toObject();
    QCOMPARE(first.value("identifier").toString(), QStringLiteral("login.example.com"));
    QCOMPARE(first.value("scheme").toString(), QStringLiteral("strong"));
    QCOMPARE(first.value("length").toInt(), 20);
    QCOMPARE(first.value("label").toString(), QStringLiteral("strong, 20, letters digits + and /"));
    QCOMPARE(found.value("profiles").toArray().at(1).toObject().value("label").toString(),
             QStringLiteral("strong, 16, letters digits and symbols"));
    // The site's rules, canonical, from the site list (tests/data/sites), and where they came from.
    QVERIFY(found.value("rule").toString().endsWith(QLatin1String("maxlength: 20;")));
    QVERIFY(found.value("ruleSource").toString().endsWith(QLatin1String("password-rules.json")));
    const QJsonObject none = host.ask(request("lookup", {{"url", "http://unknown.test/"}}));
    QVERIFY(none.value("profiles").toArray().isEmpty() && none.value("rule").isNull() && none.value("ruleSource").isNull());

    const QJsonObject made = host.ask(request("derive", {{"line", "example.com|16|strong|aA9!|1"}, {"phrase", "hello"}}));
    Recipe recipe;
    QVERIFY(Recipe::fromLine(QStringLiteral("example.com|16|strong|aA9!|1"), &recipe));
    QCOMPARE(made.value("password").toString(), recipe.derive(QStringLiteral("hello")));
    QCOMPARE(made.value("entropy").toString(), QStringLiteral("104.6"));

    const QStringList fingerprintRow = readTsv(QStringLiteral("fingerprints.tsv")).constFirst();
    const QJsonObject fingerprint = host.ask(request("fingerprint", {{"phrase", fromHexUnits(fingerprintRow.at(0))}}));
    QCOMPARE(fingerprint.value("text").toString(), fingerprintRow.at(1));
    const QJsonArray shapes = fingerprint.value("shapes").toArray();
    QCOMPARE(shapes.size(), 3);
    QCOMPARE(shapes.at(0).toObject().value("shape").toString(), fingerprintRow.at(1).section(' ', 1, 1).chopped(1));
    QVERIFY(QRegularExpression(QStringLiteral("^#[0-9a-f]{6}$")).match(shapes.at(0).toObject().value("colour").toString()).hasMatch());

    // Saved as the window and profiles add save: once, the line exactly.
    const QByteArray before = fileBytes(home->profileFile());
    QCOMPARE(host.ask(request("save", {{"line", "new.example.com|16|lesspass|aA9!|1|me"}})).value("saved").toBool(), true);
    QCOMPARE(fileBytes(home->profileFile()), before + "new.example.com|16|lesspass|aA9!|1|me\r\n");
    QVERIFY(host.ask(request("save", {{"line", "new.example.com|16|lesspass|aA9!|1|me"}})).value("error").toString().contains("saved already"));
    QCOMPARE(host.finish(), 0);
    QVERIFY(host.errors().isEmpty());
}

void TestBrowserHost::vectorsAsTheCliGivesThem()
{
    // Every vector of every scheme as a profile line through one host, and one line of each
    // scheme through quorvane-cli derive --profile beside it.
    Host host;
    QSet<int> throughCli;
    int checked = 0;
    for (const Vector &v : vectors()) {
        if (!v.recipe.storableProblem().isEmpty() || !ProfileFile::isValidIdentifier(v.recipe.identifier) || v.phrase.isEmpty())
            continue;
        // Half of a surrogate pair is no character: refused, as the CLI cannot even be given one.
        if (Utf8::hasLoneSurrogate(v.phrase)) {
            const QString refused = host.ask(request("derive", {{"line", v.recipe.line()}, {"phrase", v.phrase}}))
                                        .value("error").toString();
            QVERIFY2(refused.contains("surrogate"), qPrintable(refused));
            continue;
        }
        const QString line = v.recipe.line();
        const QJsonObject reply = host.ask(request("derive", {{"line", line}, {"phrase", v.phrase}}));
        QVERIFY2(reply.value("password").toString() == v.password, qPrintable(v.file + ": " + line));
        ++checked;
        if (throughCli.contains(int(v.recipe.scheme)) || v.phrase.contains('\n'))
            continue;
        throughCli.insert(int(v.recipe.scheme));
        ProfileFile::append(home->profileFile(), line);
        QProcess cli;
        cli.start(QStringLiteral(QUORVANE_CLI), {"derive", "--exact", "--profile=" + line});
        cli.write(v.phrase.toUtf8());
        cli.closeWriteChannel();
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(cli.readAllStandardOutput()).trimmed(), v.password);
    }
    QVERIFY(checked > 150);
    QCOMPARE(throughCli.size(), 4);
    QCOMPARE(host.finish(), 0);
    QVERIFY(host.errors().isEmpty());
}

void TestBrowserHost::badInput()
{
    // Each bad request gets an error reply in words and the next one is served; a framing fault
    // gets one where it can and ends the host with 1. Nothing ever reaches standard error, and no
    // error repeats the phrase.
    const QByteArray phrase("my secret phrase");
    const QByteArray version = frame(request("version"));
    struct Case
    {
        const char *name;
        QByteArray input;
        QStringList errors;   // what the error replies say, in order
        int exit;
    };
    const QList<Case> cases{
        {"not JSON", frame("{\"type\": \"derive\", \"phrase\": \"" + phrase + "\"") + version, {"not JSON"}, 0},
        {"not an object", frame("[\"" + phrase + "\"]") + version, {"not a JSON object"}, 0},
        {"no type", frame(QJsonObject{{"phrase", QString::fromUtf8(phrase)}}) + version, {"no \"type\""}, 0},
        {"unknown type", frame(request("steal")) + version, {"\"steal\" is no request"}, 0},
        {"missing field", frame(request("derive", {{"phrase", QString::fromUtf8(phrase)}})) + version,
         {"needs \"line\" as a text"}, 0},
        {"wrong type", frame(request("derive", {{"line", "a|16|strong"}, {"phrase", 5}})) + version,
         {"needs \"phrase\" as a text"}, 0},
        {"no profile line", frame(request("derive", {{"line", "bank|16|Strong"}, {"phrase", QString::fromUtf8(phrase)}})) + version,
         {"\"Strong\", names no scheme"}, 0},
        {"empty phrase", frame(request("derive", {{"line", "bank|16|strong"}, {"phrase", ""}})) + version, {"phrase is empty"}, 0},
        {"no http page", frame(request("lookup", {{"url", "file:///etc/passwd"}})) + version, {"http and https"}, 0},
        {"garbage", QByteArray("hello, host") + version, {"longer than 64 KiB"}, 1},
        {"huge length", QByteArray("\xff\xff\xff\xff", 4) + phrase, {"longer than 64 KiB"}, 1},
        {"truncated length", QByteArray("\x05\x00", 2), {"ended before"}, 1},
        {"truncated message", version.left(7), {"ended before"}, 1},
    };
    for (const Case &c : cases) {
        Host host;
        host.send(c.input);
        const int exit = host.finish();
        QList<QJsonObject> replies;
        for (QJsonObject reply = host.reply(); !reply.isEmpty(); reply = host.reply())
            replies << reply;
        QCOMPARE(exit, c.exit);
        QStringList said;
        for (const QJsonObject &reply : qAsConst(replies)) {
            QVERIFY(!QJsonDocument(reply).toJson().contains(phrase));
            if (reply.contains("error"))
                said << reply.value("error").toString();
        }
        QCOMPARE(said.size(), c.errors.size());
        for (int i = 0; i < said.size(); ++i)
            QVERIFY2(said.at(i).contains(c.errors.at(i)), qPrintable(QString::fromLatin1(c.name) + ": " + said.at(i)));
        // After a bad request the next one is served.
        QCOMPARE(replies.last().contains("version"), c.exit == 0);
        QVERIFY2(host.errors().isEmpty(), c.name);
    }

    // A profile file that cannot be used: lookup and save say so.
    QDir().mkpath(home->profileFile());
    Host host;
    const QString refused = host.ask(request("lookup", {{"url", "https://example.com/"}})).value("error").toString();
    QVERIFY2(refused.contains("not a plain file"), qPrintable(refused));
    QVERIFY(host.ask(request("save", {{"line", "a|16|strong"}})).value("error").toString().contains("not a plain file"));
    QCOMPARE(host.finish(), 0);
}

void TestBrowserHost::manyRequestsInOrder()
{
    // 10,000 requests of five kinds, good and bad, in one process: as many replies, in order.
    writeFile(home->profileFile(), "example.com|16|strong\r\n");
    const QList<QPair<QByteArray, QString>> kinds{
        {frame(request("version")), "version"},
        {frame(request("lookup", {{"url", "https://example.com/"}})), "site"},
        {frame("{\"type\":"), "error"},
        {frame(request("save", {{"line", "example.com|16|strong"}})), "error"},
        {frame(request("lookup", {{"url", "gopher://example.com/"}})), "error"},
    };
    Host host;
    QByteArray all;
    for (int i = 0; i < 10000; ++i)
        all += kinds.at(i % kinds.size()).first;
    host.send(all);
    for (int i = 0; i < 10000; ++i) {
        const QJsonObject reply = host.reply();
        QVERIFY2(reply.contains(kinds.at(i % kinds.size()).second), qPrintable(QString::number(i)));
    }
    QCOMPARE(host.finish(), 0);
}

void TestBrowserHost::newProfilesAndBounds()
{
    // 20 matching profiles of 120,000 characters each: the reply stays well under the browsers'
    // 1 MB, and says how many were left out.
    QByteArray file;
    for (int i = 0; i < 20; ++i)
        file += "example.com|0|spectre|long|" + QByteArray::number(i + 1) + "|3|password|" + QByteArray(120000, 'n') + "|\r\n";
    writeFile(home->profileFile(), file + "example.com|16|strong\r\n");
    Host host;
    QElapsedTimer timer;
    timer.start();
    const QJsonObject found = host.ask(request("lookup", {{"url", "https://example.com/"}}));
    QVERIFY(QJsonDocument(found).toJson(QJsonDocument::Compact).size() < 512 * 1024);
    const int listed = found.value("profiles").toArray().size();
    QVERIFY(listed >= 2);
    QCOMPARE(listed + found.value("omitted").toInt(), 21);
    // A host of 42,000 characters is answered at once.
    const QJsonObject huge = host.ask(request("lookup", {{"url", "https://" + QString(42000, 'a') + ".example/"}}));
    QVERIFY(huge.value("error").toString().contains("longer than 253"));
    QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));

    // A new profile's line, composed by the host as every door writes it: a "%" in a short rule
    // stays itself, a site rule's "|" and "%" are escaped; the same lines profiles add writes.
    struct Compose
    {
        QJsonObject fields;
        QString line;      // or, when it starts with "!", words of the refusal
        QStringList cli;   // the same profile through quorvane-cli profiles add
    };
    const QList<Compose> composed{
        {{{"scheme", "strong"}, {"identifier", " a.example "}, {"length", "16"}, {"rule", "aA9!:%$"}},
         "a.example|16|strong|aA9!:%$|1", {"-i", "a.example", "-l", "16", "--rule=aA9!:%$"}},
        {{{"scheme", "strong"}, {"identifier", "b.example"}, {"length", "12"}, {"rule", "allowed: [%|ab]; maxlength: 12"}},
         "b.example|12|strong|allowed: [%25ab%7C]; maxlength: 12;|1", {"-i", "b.example", "-l", "12", "--rule=allowed: [%|ab]; maxlength: 12"}},
        {{{"scheme", "strong"}, {"identifier", "c.example"}, {"length", "16"}, {"rule", ""}},
         "c.example|16|strong", {"-i", "c.example", "-l", "16"}},
        {{{"scheme", "lesspass"}, {"identifier", "d.example"}, {"length", "20"}, {"login", "me"}},
         "d.example|20|lesspass|aA9!|1|me", {"-i", "d.example", "-l", "20", "--scheme=lesspass", "--login=me"}},
        {{{"scheme", "spectre"}, {"identifier", "e.example"}, {"userName", "Robert"}},
         "e.example|0|spectre|long|1|3|password|Robert|", {"-i", "e.example", "--scheme=spectre", "--user-name=Robert"}},
        {{{"scheme", "compatible"}, {"identifier", "f.example"}, {"length", "4"}}, "f.example|4", {"-i", "f.example", "-l", "4", "--scheme=compatible"}},
        {{{"scheme", "strong"}, {"identifier", ""}, {"length", "16"}}, "!Type the identifier (the site's name) first", {}},
        {{{"scheme", "strong"}, {"identifier", "x"}, {"length", "16"}, {"rule", "required: letters"}},
         "!The Site rules field holds no rule: \"letters\" is no class", {}},
        {{{"scheme", "spectre"}, {"identifier", "x"}}, "!Spectre needs the user's name", {}},
        {{{"scheme", "lesspass"}, {"identifier", "x"}, {"length", "40"}}, "!5 to 35 characters", {}},
        {{{"scheme", "strong"}, {"identifier", "x"}, {"length", "sixteen"}}, "!length must be a whole number", {}},
    };
    writeFile(home->profileFile(), "");
    for (const Compose &c : composed) {
        const QJsonObject reply = host.ask(request("compose", c.fields));
        if (c.line.startsWith('!')) {
            QVERIFY2(reply.value("error").toString().contains(c.line.mid(1)), qPrintable(reply.value("error").toString()));
            continue;
        }
        QCOMPARE(reply.value("line").toString(), c.line);
        QProcess cli;
        cli.start(QStringLiteral(QUORVANE_CLI), QStringList{"profiles", "add"} + c.cli);
        QVERIFY(cli.waitForFinished(30000) && cli.exitCode() == 0);
        QVERIFY(fileBytes(home->profileFile()).endsWith(c.line.toUtf8() + "\r\n"));
        QVERIFY(!host.ask(request("derive", {{"line", c.line}, {"phrase", "hello"}})).value("password").toString().isEmpty());
    }

    // Nothing is made or saved from a line without an identifier, or one read as another scheme.
    const QByteArray before = fileBytes(home->profileFile());
    for (const char *line : {"|16|strong", "|16", "big|16|lesspass|aA9!", "st|16|strong|aA9!", "st2|16|strong|aA9!|1|x"}) {
        for (const char *type : {"derive", "save"}) {
            const QJsonObject reply = host.ask(request(type, {{"line", line}, {"phrase", "hello"}}));
            QVERIFY2(reply.value("error").toString().contains(QLatin1String(*line == '|' ? "no identifier" : "makes no password")),
                     line);
        }
    }
    QCOMPARE(fileBytes(home->profileFile()), before);
    // Half of a surrogate pair anywhere is refused, in words.
    const QString lone = QStringLiteral("https://a") + QChar(0xd800) + QStringLiteral(".example/");
    QVERIFY(host.ask(request("lookup", {{"url", lone}})).value("error").toString().contains("surrogate"));
    QCOMPARE(host.finish(), 0);
}

void TestBrowserHost::withoutLibcrypto()
{
    // OpenSSL's libcrypto, loaded when first needed, cannot be loaded (hidden in a private mount
    // namespace): the host and quorvane-cli name it, instead of blaming the memory.
    Dl_info info{};
    if (!LibCrypto::functions() || !dladdr(reinterpret_cast<void *>(LibCrypto::functions()->digestInit), &info))
        QSKIP("libcrypto is not loaded here");
    const QString library = QFile::decodeName(info.dli_fname);
    if (geteuid() != 0 || QProcess::execute(QStringLiteral("unshare"), {"--mount", "true"}) != 0)
        QSKIP("needs root, to hide libcrypto in a mount namespace of its own");
    const QString hide = QStringLiteral("mount --bind /dev/null \"$1\" && shift && exec \"$@\"");
    Host host(QStringLiteral("unshare"), {"--mount", "sh", "-c", hide, "sh", library, QStringLiteral(QUORVANE_HOST)});
    for (const QJsonObject &request : {request("derive", {{"line", "bank|16|strong"}, {"phrase", "hello"}}),
                                       request("fingerprint", {{"phrase", "hello"}})}) {
        const QString refused = host.ask(request).value("error").toString();
        QVERIFY2(refused.contains("libcrypto.so.3 cannot be loaded") && !refused.contains("memory"), qPrintable(refused));
    }
    QCOMPARE(host.finish(), 0);
    QProcess cli;
    cli.start(QStringLiteral("unshare"), {"--mount", "sh", "-c", hide, "sh", library, QStringLiteral(QUORVANE_CLI), "derive", "-i", "bank"});
    cli.write("hello");
    cli.closeWriteChannel();
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 3);
    QVERIFY(cli.readAllStandardError().contains("libcrypto.so.3 cannot be loaded"));
}

void TestBrowserHost::changingPasswords()
{
    writeFile(home->profileFile(), "bank.example|16|strong\r\nold.example|8\r\n");
    Host host;
    // The next version, made and saved in place; and back.
    const QJsonObject next = host.ask(request("next", {{"line", "bank.example|16|strong"}}));
    QCOMPARE(next.value("line").toString(), QStringLiteral("bank.example|16|strong|base64|2"));
    QCOMPARE(next.value("version").toString(), QStringLiteral("version 2"));
    QCOMPARE(next.value("previous").toString(), QStringLiteral("version 1"));
    QCOMPARE(host.ask(request("next", {{"line", "old.example|8"}})).value("line").toString(), QStringLiteral("old.example|16|strong"));
    QVERIFY(host.ask(request("replace", {{"line", "bank.example|16|strong"}, {"with", next.value("line").toString()}})).value("replaced").toBool());
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("bank.example|16|strong|base64|2\r\nold.example|8\r\n"));
    QVERIFY(host.ask(request("replace", {{"line", "bank.example|16|strong"}, {"with", "bank.example|16|strong|base64|3"}}))
                .value("error").toString().contains("longer saved"));
    QVERIFY(host.ask(request("replace", {{"line", "bank.example|16|strong|base64|2"}, {"with", "other.example|16|strong"}}))
                .value("error").toString().contains("same identifier"));
    QVERIFY(host.ask(request("replace", {{"line", "bank.example|16|strong|base64|2"}, {"with", "bank.example|16|strong"}})).value("replaced").toBool());
    // A site that shares its sign-in with a saved one: offered apart, with the site it belongs to.
    ProfileFile::append(home->profileFile(), QStringLiteral("apple.com|16|strong"));
    QJsonObject icloud = host.ask(request("lookup", {{"url", "https://www.icloud.com/"}}));
    QVERIFY(icloud.value("profiles").toArray().isEmpty());
    QCOMPARE(icloud.value("related").toArray().size(), 1);
    QCOMPARE(icloud.value("related").toArray().at(0).toObject().value("sharesWith").toString(), QStringLiteral("apple.com"));
    QCOMPARE(icloud.value("related").toArray().at(0).toObject().value("line").toString(), QStringLiteral("apple.com|16|strong"));
    QVERIFY(host.ask(request("lookup", {{"url", "https://apple.com/"}})).value("related").toArray().isEmpty());
    QVERIFY(ProfileFile::remove(home->profileFile(), QStringLiteral("apple.com|16|strong")) == ProfileFile::RemoveResult::Removed);
    // An identifier typed into the new-profile form names its saved profiles, with the login a
    // LessPass profile keeps.
    ProfileFile::append(home->profileFile(), QStringLiteral("mail.example|16|lesspass|aA9!|1|me@mail.example"));
    const QJsonArray named = host.ask(request("named", {{"identifier", "mail.example"}})).value("profiles").toArray();
    QCOMPARE(named.size(), 1);
    QCOMPARE(named.at(0).toObject().value("login").toString(), QStringLiteral("me@mail.example"));
    QVERIFY(host.ask(request("named", {{"identifier", "mail"}})).value("profiles").toArray().isEmpty());
    QCOMPARE(host.ask(request("lookup", {{"url", "https://mail.example/"}})).value("profiles").toArray().at(0).toObject()
                 .value("login").toString(), QStringLiteral("me@mail.example"));
    QVERIFY(ProfileFile::remove(home->profileFile(), QStringLiteral("mail.example|16|lesspass|aA9!|1|me@mail.example"))
            == ProfileFile::RemoveResult::Removed);
    // A line replaced by itself stays.
    QVERIFY(host.ask(request("replace", {{"line", "old.example|8"}, {"with", "old.example|8"}})).value("replaced").toBool());
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("bank.example|16|strong\r\nold.example|8\r\n"));
    // A form without a length: the scheme's default, as the CLI's profiles add takes it.
    QCOMPARE(host.ask(request("compose", {{"scheme", "strong"}, {"identifier", "new.example"}})).value("line").toString(),
             QStringLiteral("new.example|16|strong"));

    // During a change of the secret phrase: which profiles wait, and marking one moved.
    QVERIFY(host.ask(request("moved", {{"line", "old.example|8"}})).value("error").toString().contains("No change"));
    int target = 0;
    QCOMPARE(PhraseChange::start(home->profileFile(), &target), PhraseChange::StartResult::Started);
    QJsonObject found = host.ask(request("lookup", {{"url", "https://bank.example/"}}));
    QCOMPARE(found.value("change").toInt(), 2);
    QVERIFY(found.value("profiles").toArray().at(0).toObject().value("waits").toBool());
    const QJsonObject moved = host.ask(request("moved", {{"line", "bank.example|16|strong"}}));
    QCOMPARE(moved.value("line").toString(), QStringLiteral("bank.example|16|strong|#2"));
    QCOMPARE(moved.value("finished").toBool(), false);
    found = host.ask(request("lookup", {{"url", "https://bank.example/"}}));
    QVERIFY(!found.value("profiles").toArray().at(0).toObject().value("waits").toBool());
    // A marked line makes the same password as the line without its mark.
    QCOMPARE(host.ask(request("derive", {{"line", "bank.example|16|strong|#2"}, {"phrase", "hello"}})).value("password"),
             host.ask(request("derive", {{"line", "bank.example|16|strong"}, {"phrase", "hello"}})).value("password"));
    QCOMPARE(host.ask(request("moved", {{"line", "old.example|8"}})).value("finished").toBool(), true);
    QVERIFY(host.ask(request("lookup", {{"url", "https://bank.example/"}})).value("change").isNull());
    QCOMPARE(host.finish(), 0);
}

QTEST_GUILESS_MAIN(TestBrowserHost)
#include "TestBrowserHost.moc"
