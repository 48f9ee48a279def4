#include "testsupport.h"

#include "browsermanifest.h"
#include "phrasestrength.h"
#include "profilefile.h"

#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QtTest>

#include <csignal>
#include <poll.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

using namespace TestSupport;

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void deriveVectors();
    void lineEndsOfTheInput();
    void deriveRefusals_data();
    void deriveRefusals();
    void helpAndVersion();
    void argumentsAreCheckedFirst();
    void concurrentWritersLoseNothing();
    void rulesAndCounters();
    void relatedSitesAndChangePages();
    void siteRules();
    void importAndDeriveByName();
    void fingerprints();
    void strength();
    void peerSchemes();
    void lockedFileFailsClearly();
    void unstorableIdentifierIsRefused();
    void oddProfileFiles();
    void outputAndInputFailures();
    void promptOnATerminal();
    void profileCommands();
    void profileWriteFailures();
    void hostileInputs();
    void browserManifests();
    void changingPasswords();
    void changingThePhrase();

private:
    Run cli(const QStringList &args, const QByteArray &input = QByteArray()) const;
    // Runs a shell script with the CLI as $0.
    Run shell(const QString &script) const;
    std::unique_ptr<TempHome> home;
};

void TestCli::init()
{
    home.reset();
    home.reset(new TempHome);
}

Run TestCli::cli(const QStringList &args, const QByteArray &input) const
{
    QProcess process;
    process.start(QStringLiteral(QUORVANE_CLI), args);
    process.waitForStarted();
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        qFatal("quorvane-cli did not finish");
    Run run;
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

Run TestCli::shell(const QString &script) const
{
    QProcess process;
    process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, QStringLiteral(QUORVANE_CLI)});
    process.closeWriteChannel();
    if (!process.waitForFinished(120000))
        qFatal("the shell did not finish");
    Run run;
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

void TestCli::deriveVectors()
{
    const QList<QStringList> compatible = readTsv(QStringLiteral("compatible-passwords.tsv"));
    int checked = 0;
    for (const QStringList &row : compatible) {
        const QString phrase = fromHexUnits(row.value(0));
        const QString identifier = fromHexUnits(row.value(1));
        if (identifier.contains(QLatin1Char('|')) || phrase.isEmpty() || identifier.startsWith(QLatin1Char('-')))
            continue;
        // Text with lone surrogates has no UTF-8 form to pass in.
        if (QString::fromUtf8(phrase.toUtf8()) != phrase || QString::fromUtf8(identifier.toUtf8()) != identifier)
            continue;
        const Run run = cli({QStringLiteral("derive"), QStringLiteral("--scheme=compatible"),
                             QStringLiteral("--identifier=") + identifier, QStringLiteral("-l"), row.value(2), QStringLiteral("--exact")},
                            phrase.toUtf8());
        QCOMPARE(run.code, 0);
        QCOMPARE(run.out, row.value(3).toLatin1() + '\n');
        QVERIFY(run.err.isEmpty());
        ++checked;
    }
    QVERIFY(checked >= 40);

    // The strong scheme is the default.
    const Run strong = cli({QStringLiteral("derive"), QStringLiteral("-i"), QStringLiteral("bank"), QStringLiteral("--length=16")}, "hello");
    QCOMPARE(strong.code, 0);
    QCOMPARE(strong.out, QByteArray("IxzAW0nX/EExEnV2\n"));
    // Without --length, the length every door starts at: 16 for a strong password, 4 for the
    // original program's scheme, a site rule's longest.
    QCOMPARE(cli({QStringLiteral("derive"), QStringLiteral("-ibank")}, "hello").out, QByteArray("IxzAW0nX/EExEnV2\n"));
    QCOMPARE(cli({QStringLiteral("derive"), QStringLiteral("-ibank"), QStringLiteral("--rule=aA9!")}, "hello").out.size(), 17);
    QCOMPARE(cli({QStringLiteral("derive"), QStringLiteral("--scheme=compatible"), QStringLiteral("-ibank")}, "hello").out,
             QByteArray("bGYZ\n"));
    QCOMPARE(cli({QStringLiteral("derive"), QStringLiteral("-ibank"), QStringLiteral("--rule=maxlength: 20")}, "hello").out.size(), 21);
}

void TestCli::lineEndsOfTheInput()
{
    auto derive = [this](const QByteArray &input, bool exact = false) {
        QStringList args{QStringLiteral("derive"), QStringLiteral("--scheme=compatible"), QStringLiteral("-i"),
                         QStringLiteral("bank"), QStringLiteral("-l32")};
        if (exact)
            args << QStringLiteral("--exact");
        return cli(args, input).out;
    };
    const QByteArray plain = derive("hello");
    QCOMPARE(plain.left(16), QByteArray("bGYZDOUGjrL0dhJZ"));
    QCOMPARE(derive("hello\n"), plain);
    QCOMPARE(derive("hello\r\n"), plain);
    QVERIFY(derive("hello\n\n") != plain);   // only one line end goes
    QCOMPARE(derive("hello\n\n"), derive("hello\n", true));
    QVERIFY(derive("hello\n", true) != plain);
    QVERIFY(derive("hello\r", false) != plain);
}

void TestCli::deriveRefusals_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QByteArray>("message");
    const QStringList derive{QStringLiteral("derive")};
    QTest::newRow("empty phrase") << derive << QByteArray("\n")
                                  << QByteArray("quorvane-cli: the secret phrase is empty (it is read from standard input)");
    QTest::newRow("empty phrase before bad identifier") << derive + QStringList{"-i", "a|b"} << QByteArray()
                                  << QByteArray("the secret phrase is empty");
    QTest::newRow("bar in identifier") << derive + QStringList{"--identifier=a|b"} << QByteArray("x")
                                       << QByteArray("--identifier cannot hold \"|\" under the strong scheme");
    QTest::newRow("length 3") << derive + QStringList{"--length=3"} << QByteArray("x") << QByteArray("4 to 32");
    QTest::newRow("length 33") << derive + QStringList{"-l", "33"} << QByteArray("x") << QByteArray("4 to 32");
    QTest::newRow("length word") << derive + QStringList{"-l", "ten"} << QByteArray("x") << QByteArray("4 to 32");
    QTest::newRow("length fraction") << derive + QStringList{"-l", "8.5"} << QByteArray("x") << QByteArray("4 to 32");
    QTest::newRow("length empty") << derive + QStringList{"--length="} << QByteArray("x") << QByteArray("4 to 32");
    QTest::newRow("length missing") << derive + QStringList{"-l"} << QByteArray("x") << QByteArray("quorvane-cli: missing value after '-l'\n");
    QTest::newRow("invalid utf-8") << derive << QByteArray("caf\xE9") << QByteArray("not valid UTF-8");
    QTest::newRow("unknown scheme") << derive + QStringList{"--scheme=weak"} << QByteArray("x") << QByteArray("unknown scheme");
    QTest::newRow("unknown option") << derive + QStringList{"--colour"} << QByteArray("x") << QByteArray("quorvane-cli: unknown option 'colour'\n");
    QTest::newRow("long option with one dash") << derive + QStringList{"-identifier=bank"} << QByteArray("x")
                                               << QByteArray("malformed option: -identifier=bank");
    QTest::newRow("short option with =") << derive + QStringList{"-i=bank"} << QByteArray("x") << QByteArray("malformed option");
    QTest::newRow("option after --") << derive + QStringList{"--", "--exact"} << QByteArray("x")
                                     << QByteArray("unexpected argument: --exact");
    QTest::newRow("option of another command") << QStringList{"profiles", "list", "--length=8"} << QByteArray()
                                               << QByteArray("unknown option 'length'");
    QTest::newRow("unknown profiles command") << QStringList{"profiles", "show"} << QByteArray()
                                              << QByteArray("profiles needs list, add, remove, import or next");
    QTest::newRow("phrase as argument") << derive + QStringList{"secret"} << QByteArray("x") << QByteArray("unexpected argument");
    QTest::newRow("unknown command") << QStringList{"make"} << QByteArray() << QByteArray("unknown command");
    QTest::newRow("no command") << QStringList{} << QByteArray() << QByteArray("a command is required");
}

void TestCli::deriveRefusals()
{
    QFETCH(QStringList, args);
    QFETCH(QByteArray, input);
    QFETCH(QByteArray, message);
    const Run run = cli(args, input);
    QCOMPARE(run.code, 2);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains(message), run.err.constData());
}

void TestCli::helpAndVersion()
{
    // The whole help lists each command on one line, and no command's options: those are in
    // the command's own help, which "help COMMAND" gives too.
    const Run help = cli({QStringLiteral("--help")});
    QCOMPARE(help.code, 0);
    QCOMPARE(cli({"help"}).out, help.out);
    QVERIFY2(help.out.count('\n') < 60, help.out.constData());
    for (const char *word : {"Exit codes", "zavdata.txt", "--help", "--version", "derive --help"})
        QVERIFY2(help.out.contains(word), word);
    for (const char *option : {"--scheme", "--exact", "--identifier", "--length", "--format"})
        QVERIFY2(!help.out.contains(option), option);
    const QList<QStringList> commands{{"derive"}, {"fingerprint"}, {"strength"}, {"profiles", "list"}, {"profiles", "add"},
                                      {"profiles", "remove"}, {"profiles", "import"}, {"profiles", "next"}, {"export"},
                                      {"phrase", "change"}, {"phrase", "status"}, {"phrase", "show"}, {"phrase", "moved"},
                                      {"rules", "show"}, {"rules", "site"}, {"browser", "setup"}, {"browser", "remove"}};
    for (const QStringList &command : commands) {
        const QByteArray name = command.join(' ').toUtf8();
        const QRegularExpression line("^  " + QRegularExpression::escape(name) + " +[a-z]\\S.*$",
                                      QRegularExpression::MultilineOption);
        QVERIFY2(line.match(QString::fromUtf8(help.out)).hasMatch(), name.constData());
        const Run own = cli(command + QStringList{"--help"});
        QCOMPARE(own.code, 0);
        QVERIFY(own.out.startsWith("Usage: quorvane-cli " + name + " [options]"));
        QCOMPARE(cli(command + QStringList{"-h"}).out, own.out);
        QCOMPARE(cli(QStringList{"help"} + command).out, own.out);
        // A wrong option points to the help of the command at fault.
        const Run wrong = cli(command + QStringList{"--no-such-option"});
        QCOMPARE(wrong.code, 2);
        QVERIFY2(wrong.err.endsWith("Try 'quorvane-cli " + name + " --help'.\n"), wrong.err.constData());
    }
    QVERIFY(cli({"derive", "--help"}).out.contains("--exact"));
    QVERIFY(!cli({"profiles", "add", "--help"}).out.contains("--exact"));
    // A group's help lists its commands alone; a group without a command points to it.
    const Run group = cli({"profiles", "--help"});
    QVERIFY(group.out.contains("profiles import") && !group.out.contains("derive"));
    QVERIFY(cli({"profiles"}).err.endsWith("Try 'quorvane-cli profiles --help'.\n"));
    QVERIFY(cli({"frobnicate"}).err.endsWith("Try 'quorvane-cli --help'.\n"));
    QVERIFY(cli({"derive", "--length=40"}).err.endsWith("Try 'quorvane-cli derive --help'.\n"));

    const Run version = cli({QStringLiteral("--version")});
    QCOMPARE(version.code, 0);
    QCOMPARE(version.out, QByteArray("quorvane-cli 1.0.0\n"));
    // --version works after any command and reads no phrase.
    QCOMPARE(cli({"derive", "-i", "bank", "--version"}).out, version.out);
    QCOMPARE(cli({"profiles", "remove", "--version"}).out, version.out);
}

void TestCli::argumentsAreCheckedFirst()
{
    // Not UTF-8: refused before anything else, whatever the option.
    // QProcess passes arguments in the locale's encoding, which cannot carry a stray byte, so the
    // argument is made by the shell.
    QProcess process;
    process.setProgram(QStringLiteral("/bin/sh"));
    process.setArguments({QStringLiteral("-c"),
                          QStringLiteral("exec \"$0\" profiles add \"$(printf -- '--identifier=caf\\351')\" -l 8"),
                          QStringLiteral(QUORVANE_CLI)});
    process.start();
    QVERIFY(process.waitForFinished(60000));
    QCOMPARE(process.exitCode(), 2);
    QVERIFY(process.readAllStandardError().contains("argument 3 is not valid UTF-8"));
    QVERIFY(fileBytes(home->profileFile()).isEmpty());

    // A value may start with a dash when it follows its option, and -ibank stays -i bank.
    QCOMPARE(cli({"profiles", "add", "-i", "-x-", "-l", "8"}).code, 0);
    QCOMPARE(cli({"profiles", "add", "-ibank", "-l8"}).code, 0);
    QCOMPARE(cli({"profiles", "list"}).out, QByteArray("-x-|8|strong\nbank|8|strong\n"));
}

void TestCli::profileCommands()
{
    const QStringList list{QStringLiteral("profiles"), QStringLiteral("list")};
    Run run = cli(list);
    QCOMPARE(run.code, 0);
    QVERIFY(run.out.isEmpty());

    auto add = [this](const QString &id, const QString &length, const QString &scheme = QString()) {
        QStringList args{QStringLiteral("profiles"), QStringLiteral("add"), QStringLiteral("--identifier=") + id,
                         QStringLiteral("--length=") + length};
        if (!scheme.isEmpty())
            args << QStringLiteral("--scheme=") + scheme;
        return cli(args);
    };
    QCOMPARE(add(QStringLiteral("mybank"), QStringLiteral("12"), QStringLiteral("compatible")).code, 0);
    run = add(QStringLiteral("bank"), QStringLiteral("12"), QStringLiteral("compatible"));
    QCOMPARE(run.code, 0);
    QVERIFY(run.out.isEmpty());
    run = add(QStringLiteral("bank"), QStringLiteral("12"), QStringLiteral("compatible"));
    QCOMPARE(run.code, 1);
    QVERIFY2(run.err.contains("quorvane-cli: the profile is saved already: "), run.err.constData());
    QCOMPARE(add(QStringLiteral("bank"), QStringLiteral("12")).code, 0);   // strong by default
    QCOMPARE(add(QString::fromUtf16(u"\u0431\u0430\u043d\u043a"), QStringLiteral("8")).code, 0);
    run = add(QStringLiteral("a|b"), QStringLiteral("8"));
    QCOMPARE(run.code, 2);
    QVERIFY(run.err.contains("--identifier is empty or holds \"|\""));
    QCOMPARE(add(QString(), QStringLiteral("8")).code, 2);
    QCOMPARE(add(QStringLiteral("x"), QStringLiteral("40")).code, 2);
    QCOMPARE(cli({QStringLiteral("profiles"), QStringLiteral("add"), QStringLiteral("--length=8")}).code, 2);

    run = cli(list);
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, QByteArray("bank|12\nbank|12|strong\nmybank|12\n\xD0\xB1\xD0\xB0\xD0\xBD\xD0\xBA|8|strong\n"));
    QCOMPARE(fileBytes(home->profileFile()),
             QByteArray("mybank|12\r\nbank|12\r\nbank|12|strong\r\n\xD0\xB1\xD0\xB0\xD0\xBD\xD0\xBA|8|strong\r\n"));

    auto remove = [this](const QString &id, const QString &length, const QString &scheme) {
        return cli({QStringLiteral("profiles"), QStringLiteral("remove"), QStringLiteral("-i"), id, QStringLiteral("-l"), length,
                    QStringLiteral("--scheme=") + scheme});
    };
    const QByteArray before = fileBytes(home->profileFile());
    run = remove(QStringLiteral("ank"), QStringLiteral("12"), QStringLiteral("compatible"));
    QCOMPARE(run.code, 1);
    QVERIFY(run.err.contains("no such profile"));
    QCOMPARE(fileBytes(home->profileFile()), before);
    QCOMPARE(remove(QStringLiteral("bank"), QStringLiteral("12"), QStringLiteral("compatible")).code, 0);
    QCOMPARE(fileBytes(home->profileFile()),
             QByteArray("mybank|12\r\nbank|12|strong\r\n\xD0\xB1\xD0\xB0\xD0\xBD\xD0\xBA|8|strong\r\n"));
    QCOMPARE(remove(QStringLiteral("bank"), QStringLiteral("12"), QStringLiteral("strong")).code, 0);
    QCOMPARE(cli(list).out, QByteArray("mybank|12\n\xD0\xB1\xD0\xB0\xD0\xBD\xD0\xBA|8|strong\n"));

    // A line as the list prints it, or an identifier that names one profile, is removed as it is.
    for (const char *line : {"a.example|16|strong|aA9!|2", "a.example|8", "b.example|20|lesspass|aA9|1|me"})
        ProfileFile::append(home->profileFile(), QString::fromLatin1(line));
    struct Removal
    {
        QStringList args;
        int code;
        QByteArray message;
    };
    const QList<Removal> removals{
        {{"a.example"}, 2, "2 saved profiles are named \"a.example\"; give the whole line:\n  a.example|16|strong|aA9!|2\n  a.example|8"},
        {{"a.example|16|strong|aA9!|2", "-l", "8"}, 2, "give either LINE or the profile's options"},
        {{"a.example|16|strong|aA9!|3"}, 1, "no such profile"},
        {{"a.example|16|strong|aA9!|2"}, 0, ""},
        {{"--", "a.example"}, 0, ""},
        {{"b.example"}, 0, ""},
        {{"b.example"}, 1, "no such profile: b.example"},
    };
    for (const Removal &r : removals) {
        run = cli(QStringList{"profiles", "remove"} + r.args);
        QVERIFY2(run.code == r.code && run.err.contains(r.message), run.err.constData());
    }
    QCOMPARE(cli(list).out, QByteArray("mybank|12\n\xD0\xB1\xD0\xB0\xD0\xBD\xD0\xBA|8|strong\n"));
}

void TestCli::profileWriteFailures()
{
    writeFile(home->path() + QStringLiteral("/Documents/Quorvane"), "a file where the folder should be");
    const Run add = cli({QStringLiteral("profiles"), QStringLiteral("add"), QStringLiteral("-i"), QStringLiteral("x"),
                         QStringLiteral("-l"), QStringLiteral("8")});
    QCOMPARE(add.code, 3);
    QVERIFY(add.err.contains("could not be saved"));
    QCOMPARE(cli({QStringLiteral("profiles"), QStringLiteral("list")}).code, 0);
}

void TestCli::importAndDeriveByName()
{
    const QString list = home->path() + QStringLiteral("/export.mpsites");
    writeFile(list, "# Spectre site export\n##\n# Format: 2\n# Full Name: Robert Lee Mitchell\n##\n"
                    "2018-05-10T03:41:18Z  2  17:3:1                \t  masterpasswordapp.com\t\n"
                    "2018-05-10T03:41:18Z  1  1056:3:1              \t  personal.site\tZTgr4cY=\n"
                    "2018-05-10T03:41:18Z  1  21:3:1            rlm\t  bank.example\t\n");
    Run run = cli({"profiles", "import", list});
    QCOMPARE(run.code, 0);
    QCOMPARE(run.out, QByteArray("imported 2, already saved 0, skipped 1\n"));
    QVERIFY(run.err.contains("skipped \"personal.site\": a stored password"));
    const QByteArray saved = fileBytes(home->profileFile());
    QVERIFY(saved.contains("bank.example|0|spectre|pin|1|3|password|Robert Lee Mitchell||rlm\r\n"));
    QCOMPARE(cli({"profiles", "import", "--", list}).out, QByteArray("imported 0, already saved 2, skipped 1\n"));

    // Junk, or a profile file that cannot be written: refused whole, the file unchanged.
    const QString junk = home->path() + QStringLiteral("/junk.json");
    writeFile(junk, "[{\"site\": \"a.example\"}, {\"site\": 3}]");
    run = cli({"profiles", "import", junk});
    QVERIFY(run.code == 2 && run.err.contains("profile 2: \"site\" is not a text"));
    QCOMPARE(fileBytes(home->profileFile()), saved);

    // derive --profile: every field of the saved line; the name must pick one password.
    QCOMPARE(cli({"derive", "--profile=masterpasswordapp.com", "--entropy"}, "banana colored duckling").out,
             QByteArray("Jejr5[RepuSosp\n55.8 bits, weak\n"));
    QCOMPARE(cli({"profiles", "add", "-i", "bank", "-l", "8"}).code, 0);
    QCOMPARE(cli({"profiles", "add", "-i", "bank", "-l", "9", "--rule=9"}).code, 0);
    QCOMPARE(cli({"derive", "--profile=bank|9|strong|9|1"}, "hello").out, cli({"derive", "-i", "bank", "-l", "9", "--rule=9"}, "hello").out);
    // An address or a host name finds the profiles of that page, as the browser's popup does.
    QCOMPARE(cli({"profiles", "add", "-i", "github.com", "-l", "20"}).code, 0);
    QCOMPARE(cli({"profiles", "add", "-i", "login.github.com", "-l", "12"}).code, 0);
    for (const char *name : {"https://github.com/login?next=/a|b", "www.github.com", "http://gist.github.com/x"})
        QCOMPARE(cli({"derive", QStringLiteral("--profile=") + name}, "hello").out, cli({"derive", "-i", "github.com", "-l", "20"}, "hello").out);
    QCOMPARE(cli({"derive", "--profile=https://login.github.com/"}, "hello").out, cli({"derive", "-i", "login.github.com", "-l", "12"}, "hello").out);
    // A saved line read as another scheme makes no password: refused with why.
    ProfileFile::append(home->profileFile(), QStringLiteral("big|16|lesspass|aA9!"));
    run = cli({"derive", "--profile=big"}, "hello");
    QVERIFY2(run.code == 2 && run.err.contains("makes no password: it names the lesspass scheme") && run.out.isEmpty(),
             run.err.constData());
    // One exit code for each kind of outcome, whatever the command, and a message that names the
    // option or the file: 1 nothing matched or nothing to do, 2 bad input.
    struct Refusal
    {
        QStringList args;
        int code;
        QByteArray message;
    };
    const QList<Refusal> refused{
        {{"derive", "--profile=bank"}, 2, "--profile: 2 saved profiles are named \"bank\"; give the whole line:\n  bank|8|strong\n"},
        {{"derive", "--profile=nobody"}, 1, "--profile: no saved profile is named \"nobody\""},
        {{"profiles", "remove", "-i", "nobody", "-l", "8"}, 1, "no such profile: nobody|8|strong"},
        {{"profiles", "add", "-i", "bank", "-l", "8"}, 1, "the profile is saved already: bank|8|strong"},
        {{"rules", "site", "unknown.test"}, 1, "no site rule is known for \"unknown.test\""},
        {{"rules", "site", ""}, 2, "IDENTIFIER is empty"},
        {{"derive", "--profile=bank.example", "-l", "8"}, 2, "--profile goes with --exact, --entropy and --next only"},
        {{"derive", "-l", "40"}, 2, "--length must be a whole number from 4 to 32"},
        {{"derive", "--scheme=lesspass", "-l", "40"}, 2, "--length: a LessPass password has 5 to 35 characters"},
        {{"derive", "--rule=x"}, 2, "--rule: \"x\" is not a rule"},
        {{"profiles", "import", home->path() + "/missing.json"}, 2, "missing.json: the file does not exist"},
        {{"profiles", "import", home->path()}, 2, ": it is a folder, not a file"},
    };
    for (const Refusal &entry : refused) {
        run = cli(entry.args, "hello");
        QVERIFY2(run.code == entry.code && run.err.startsWith("quorvane-cli: ") && run.err.contains(entry.message)
                     && run.out.isEmpty(),
                 run.err.constData());
    }
    QFile::remove(home->profileFile());
    QDir().mkpath(home->profileFile());
    QCOMPARE(cli({"profiles", "import", list}).code, 3);
    QCOMPARE(cli({"derive", "--profile=bank"}, "hello").code, 3);
}

void TestCli::siteRules()
{
    for (const QStringList &row : readTsv(QStringLiteral("site-rules.tsv"))) {
        const Run run = cli({"derive", "--identifier=" + fromHexUnits(row.value(1)), "-l", row.value(2),
                             "--rule=" + row.value(3), "--counter", row.value(4), "--exact", "--entropy"},
                            fromHexUnits(row.value(0)).toUtf8());
        QCOMPARE(QString::fromUtf8(run.out), row.value(5) + '\n' + row.value(6) + " bits, "
                                                 + PhraseStrength::rating(row.value(6).toDouble()) + '\n');
        QCOMPARE(QString::fromUtf8(cli({"rules", "show", "--", row.value(3)}).out).section('\n', 0, 0), row.value(7));
    }
    QCOMPARE(cli({"rules", "show", "minlength: 8; maxlength: 20; required: digit"}).out,
             QByteArray("required: digit; allowed: digit; minlength: 8; maxlength: 20;\nlengths: 8 to 20\n"
                        "entropy: 66.4 bits at length 20\n"));
    QCOMPARE(cli({"rules", "show", "aA9"}).out.split('\n').value(0), QByteArray("aA9"));

    // The test list of tests/data/sites stands for the machine's.
    const Run site = cli({"rules", "site", "https://me@login.example.com:443/"});
    QCOMPARE(site.code, 0);
    const QList<QByteArray> lines = site.out.split('\n');
    QCOMPARE(lines.value(0), QByteArray("example.com"));
    QCOMPARE(lines.value(1), QByteArray("required: lower, upper; required: digit; allowed: lower, upper, digit, "
                                        "[!#$%&*@^]; minlength: 8; maxlength: 20;"));
    QVERIFY(lines.value(2).startsWith("from: ") && lines.value(2).endsWith("sites/quorvane/password-rules.json"));
    QCOMPARE(cli({"rules", "site", "unknown.test"}).code, 1);

    // --rule=site takes the identifier's rule and, without --length, its longest length.
    const Run bySite = cli({"derive", "-i", "example.com", "--rule=site"}, "hello");
    QCOMPARE(bySite.out, QByteArray("hTcfvOYzAE&MhLcHw9F0\n"));

    // A site rule in a profile line: "|" and "%" escaped, read back as the same rule.
    const QString awkward = QStringLiteral("required: [|%]; allowed: lower");
    QCOMPARE(cli({"profiles", "add", "-i", "odd", "-l", "12", "--rule", awkward}).code, 0);
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("odd|12|strong|required: [%25%7C]; allowed: lower, [%25%7C];|1\r\n"));
    const ProfileFile::Profile saved = ProfileFile::parseRow(QString::fromUtf8(fileBytes(home->profileFile())).trimmed());
    QVERIFY(saved.readable);
    QCOMPARE(saved.recipe.rule.text(), QStringLiteral("required: [%|]; allowed: lower, [%|];"));
    QCOMPARE(cli({"profiles", "remove", "-i", "odd", "-l", "12", "--rule", awkward}).code, 0);

    const QList<QPair<QStringList, QByteArray>> refused{
        {{"derive", "-i", "unknown.test", "--rule=site"}, "no site rule is known"},
        {{"derive", "-i", "broken.example", "--rule=site"}, "\"letters\" is no class"},
        {{"derive", "-l", "8", "--rule=maxlength: 6"}, "lengths from 4 to 6 only"},
        {{"profiles", "add", "-i", "x", "-l", "32", "--rule=minlength: 40"}, "no length from 4 to 32"},
        {{"rules", "show", "--", "required: upper,"}, "a class must follow \",\""},
        {{"rules", "show"}, "RULE is required"},
    };
    for (const auto &entry : refused) {
        const Run run = cli(entry.first, "hello");
        QVERIFY2(run.code == 2 && run.err.contains(entry.second), run.err.constData());
    }
    QVERIFY(fileBytes(home->profileFile()).isEmpty());
}

void TestCli::relatedSitesAndChangePages()
{
    writeFile(home->profileFile(), "apple.com|16|strong\r\nbank|16|strong\r\n");
    // A site that shares its sign-in with a saved one: refused, and the profile it could use named.
    for (const char *name : {"https://www.icloud.com/", "icloud.com"}) {
        const Run run = cli({"derive", QStringLiteral("--profile=") + name}, "hello");
        QCOMPARE(run.code, 2);
        QVERIFY2(run.err.contains("icloud.com shares its sign-in with apple.com: derive --profile=apple.com") && run.out.isEmpty(),
                 run.err.constData());
    }
    QCOMPARE(cli({"derive", "--profile=https://unrelated.example/"}, "hello").code, 1);
    // The next version says where the site takes it; a bare word has no such page.
    const Run next = cli({"derive", "--profile=apple.com", "--next"}, "hello");
    QCOMPARE(next.code, 0);
    QVERIFY(next.err.contains("change it at https://apple.com/.well-known/change-password"));
    QVERIFY(!cli({"derive", "--profile=bank", "--next"}, "hello").err.contains("change it"));
    const Run saved = cli({"profiles", "next", "apple.com"});
    QCOMPARE(saved.out, QByteArray("apple.com|16|strong|base64|2\n"));
    QVERIFY(saved.err.contains("https://apple.com/.well-known/change-password"));
    QCOMPARE(cli({"phrase", "change"}).code, 0);
    const Run status = cli({"phrase", "status"});
    QCOMPARE(status.out, QByteArray("moved 0 of 2\napple.com|16|strong|base64|2\nbank|16|strong\n"));
    QVERIFY(status.err.contains("change apple.com at https://apple.com/.well-known/change-password"));
    QVERIFY(!status.err.contains("change bank"));

    // Back a version: the counter one down, then the original program's line a strong version
    // replaced; then nothing before it.
    writeFile(home->profileFile(), "old|8\r\n");
    cli({"profiles", "next", "old"});
    cli({"profiles", "next", "old"});
    QCOMPARE(cli({"profiles", "next", "--undo", "old"}).out, QByteArray("old|16|strong\n"));
    QCOMPARE(cli({"profiles", "next", "--undo", "old"}).out, QByteArray("old|8\n"));
    const Run first = cli({"profiles", "next", "--undo", "old"});
    QVERIFY2(first.code == 1 && first.err.contains("no version before"), first.err.constData());
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("old|8\r\n"));
}

void TestCli::rulesAndCounters()
{
    const QList<QStringList> rows = readTsv(QStringLiteral("strong-rules.tsv"));
    QCOMPARE(rows.size(), 20);
    for (const QStringList &row : rows) {
        const Run run = cli({"derive", "--identifier=" + fromHexUnits(row.value(1)), "-l", row.value(2),
                             "--rule=" + row.value(3), "--counter", row.value(4), "--exact", "--entropy"},
                            fromHexUnits(row.value(0)).toUtf8());
        QCOMPARE(run.code, 0);
        QCOMPARE(QString::fromUtf8(run.out).section('\n', 0, 1), row.value(5) + '\n' + row.value(6) + " bits, "
                                                                 + PhraseStrength::rating(row.value(6).toDouble()));
    }
    // Passphrases: the word count as --length, the rule as written; six words without --length.
    for (const QStringList &row : readTsv(QStringLiteral("strong-words.tsv"))) {
        const Run run = cli({"derive", "--identifier=" + row.value(1), "-l", row.value(2), "--rule=" + row.value(3),
                             "--counter", row.value(4), "--exact", "--entropy"},
                            QString(row.value(0)).replace(QLatin1String("\\n"), QLatin1String("\n")).toUtf8());
        QCOMPARE(run.code, 0);
        QCOMPARE(QString::fromUtf8(run.out).section('\n', 0, 1), row.value(5) + '\n' + row.value(6) + " bits, "
                                                                 + PhraseStrength::rating(row.value(6).toDouble()));
    }
    QCOMPARE(cli({"derive", "-i", "tv", "--rule=words", "--entropy"}, "hello").out.split('\n').value(1), QByteArray("77.5 bits, good"));
    const Run badWords = cli({"derive", "-i", "tv", "--rule=words:digit,caps"}, "hello");
    QVERIFY2(badWords.code == 2 && badWords.err.contains("space, caps and digit"), badWords.err.constData());
    QCOMPARE(cli({"derive", "-i", "tv", "--rule=words", "-l", "13"}, "hello").code, 2);

    // The entropy line of the other cases, as the window shows them, with its rating.
    QCOMPARE(cli({"derive", "-l", "16", "--entropy"}, "hello").out.split('\n').value(1), QByteArray("96 bits, good"));
    QCOMPARE(cli({"derive", "-l", "4", "--entropy"}, "hello").out.split('\n').value(1), QByteArray("24 bits, poor"));
    // The compatible scheme's is the measured count of its passwords, whatever the length.
    QCOMPARE(cli({"derive", "--scheme=compatible", "-l", "5", "--entropy"}, "hello").out.split('\n').value(1),
             QByteArray("6.7 bits, poor"));

    // Refused before the phrase is read, with nothing on standard output and the file untouched.
    QCOMPARE(cli({"profiles", "add", "-i", "x", "-l", "8"}).code, 0);
    const QByteArray before = fileBytes(home->profileFile());
    const QList<QPair<QStringList, QByteArray>> refused{
        {{"derive", "--rule=aA9!!"}, "--rule: \"aA9!!\" is not a rule"},
        {{"derive", "--rule=!:ab"}, "not one of the symbols"},
        {{"derive", "--rule="}, "no character class"},
        {{"derive", "--counter=0"}, "from 1 to 2147483647"},
        {{"derive", "--counter=2147483648"}, "from 1 to 2147483647"},
        {{"derive", "--counter=-3"}, "from 1 to 2147483647"},
        {{"derive", "--scheme=compatible", "--rule=base64"}, "compatible scheme has no --rule nor --counter"},
        {{"derive", "--scheme=compatible", "--counter=1"}, "compatible scheme has no --rule nor --counter"},
        {{"profiles", "add", "-i", "y", "-l", "8", "--rule=Aa"}, "is not a rule"},
        {{"profiles", "add", "-i", "y", "-l", "8", "--scheme=compatible", "--counter=2"}, "compatible scheme"},
        {{"profiles", "remove", "-i", "x", "-l", "8", "--counter=x"}, "from 1 to 2147483647"},
    };
    for (const auto &entry : refused) {
        const Run run = cli(entry.first, "hello");
        QVERIFY2(run.code == 2, qPrintable(entry.first.join(' ')));
        QVERIFY(run.out.isEmpty());
        QVERIFY2(run.err.contains(entry.second), run.err.constData());
    }
    QCOMPARE(fileBytes(home->profileFile()), before);

    // Profiles with a rule or a version have five fields; base64 and 1 keep today's line.
    QCOMPARE(cli({"profiles", "add", "-i", "bank", "-l", "16", "--rule=aA9!", "--counter=2"}).code, 0);
    QCOMPARE(cli({"profiles", "add", "-i", "bank", "-l", "16", "--rule=aA9!", "--counter=2"}).code, 1);
    QCOMPARE(cli({"profiles", "add", "-i", "pin", "-l", "6", "--rule=9"}).code, 0);
    QCOMPARE(cli({"profiles", "add", "-i", "plain", "-l", "6", "--rule=base64", "--counter=1"}).code, 0);
    QCOMPARE(fileBytes(home->profileFile()),
             before + "bank|16|strong|aA9!|2\r\npin|6|strong|9|1\r\nplain|6|strong\r\n");
    QCOMPARE(cli({"profiles", "list"}).out, QByteArray("bank|16|strong|aA9!|2\npin|6|strong|9|1\nplain|6|strong\nx|8|strong\n"));
    QCOMPARE(cli({"profiles", "remove", "-i", "bank", "-l", "16", "--rule=aA9!"}).code, 1);   // version 1 is not saved
    QCOMPARE(cli({"profiles", "remove", "-i", "bank", "-l", "16", "--rule=aA9!", "--counter=2"}).code, 0);
    QCOMPARE(cli({"profiles", "list"}).out, QByteArray("pin|6|strong|9|1\nplain|6|strong\nx|8|strong\n"));
}

void TestCli::fingerprints()
{
    const QList<QStringList> rows = readTsv(QStringLiteral("fingerprints.tsv"));
    QCOMPARE(rows.size(), 8);
    for (const QStringList &row : rows) {
        const Run run = cli({"fingerprint", "--exact"}, fromHexUnits(row.value(0)).toUtf8());
        QCOMPARE(run.code, 0);
        QCOMPARE(QString::fromUtf8(run.out), row.value(1) + '\n');
    }
    // One final line end goes, as with derive.
    QCOMPARE(cli({"fingerprint"}, "hello\n").out, QByteArray("teal star, red leaf, teal leaf\n"));
    Run run = cli({"fingerprint"}, "\n");
    QCOMPARE(run.code, 2);
    QVERIFY(run.err.contains("the secret phrase is empty"));
    run = cli({"fingerprint"}, "caf\xE9");
    QCOMPARE(run.code, 2);
    QVERIFY(run.err.contains("not valid UTF-8"));
    QVERIFY(run.out.isEmpty());
    QCOMPARE(cli({"fingerprint", "-i", "bank"}, "hello").code, 2);   // only the phrase enters it
    QVERIFY(cli({"fingerprint", "--help"}).out.startsWith("Usage: quorvane-cli fingerprint [options]"));
    // Read from a pipe, derive prints the password alone.
    QCOMPARE(cli({"derive", "--scheme=compatible", "-i", "bank", "-l", "16"}, "hello").out, QByteArray("bGYZDOUGjrL0dhJZ\n"));
}

void TestCli::peerSchemes()
{
    // Every vector of both projects, through derive.
    int rows = 0;
    for (const QStringList &f : readTsv(QStringLiteral("lesspass-passwords.tsv"))) {
        const Run run = cli({"derive", "--scheme=lesspass", "--identifier=" + f.value(0), "--login=" + f.value(1),
                             "--rule=" + f.value(3), "--length=" + f.value(4), "--counter=" + f.value(5), "--exact"},
                            f.value(2).toUtf8());
        QCOMPARE(QString::fromUtf8(run.out), f.value(6) + '\n');
        ++rows;
    }
    for (const QStringList &f : readTsv(QStringLiteral("spectre-passwords.tsv"))) {
        QStringList args{"derive", "--scheme=spectre", "--algorithm=" + f.value(0), "--user-name=" + f.value(1),
                         "--identifier=" + f.value(3), "--template=" + f.value(4), "--counter=" + f.value(5),
                         "--purpose=" + f.value(6), "--exact"};
        if (!f.value(7).isEmpty())
            args << "--context=" + f.value(7);
        const Run run = cli(args, f.value(2).toUtf8());
        QCOMPARE(QString::fromUtf8(run.out), f.value(8) + '\n');
        ++rows;
    }
    QCOMPARE(rows, 12 + 83);

    // Defaults: aA9!, 16, counter 1; long for a password, name for a login; the entropy follows.
    QCOMPARE(cli({"derive", "--scheme=lesspass", "-i", "example.org", "--login=contact@example.org", "--entropy"}, "password").out,
             QByteArray("WHLpUL)e00[iHR+w\n104.6 bits, excellent\n"));
    QCOMPARE(cli({"derive", "--scheme=spectre", "-i", "masterpasswordapp.com", "--user-name=Robert Lee Mitchell",
                  "--purpose=login"}, "banana colored duckling").out,
             cli({"derive", "--scheme=spectre", "-i", "masterpasswordapp.com", "--user-name=Robert Lee Mitchell",
                  "--purpose=login", "--template=name"}, "banana colored duckling").out);

    // Options of another scheme and values out of range: refused before the phrase is read.
    const QList<QStringList> refused{
        {"--scheme=lesspass", "--user-name=x"}, {"--scheme=lesspass", "--length=36"}, {"--scheme=lesspass", "--length=4"},
        {"--scheme=lesspass", "--rule=Aa"}, {"--scheme=lesspass", "--counter=0"}, {"--scheme=spectre"},
        {"--scheme=spectre", "--user-name=u", "--length=8"}, {"--scheme=spectre", "--user-name=u", "--algorithm=4"},
        {"--scheme=spectre", "--user-name=u", "--counter=4294967296"}, {"--scheme=spectre", "--user-name=u", "--template=x"},
        {"--scheme=spectre", "--user-name=u", "--context=k"}, {"--login=me"}, {"--scheme=compatible", "--template=pin"},
    };
    for (const QStringList &args : refused) {
        const Run run = cli(QStringList{"derive"} + args, "phrase");
        QVERIFY2(run.code == 2 && run.out.isEmpty() && !run.err.isEmpty(), qPrintable(args.join(' ')));
    }
    QCOMPARE(cli({"derive", "--scheme=spectre", "--user-name=u", "-i", "s", "--counter=4294967295"}, "p").code, 0);

    // Saved and removed with every field; a "|" in a text field is refused, not split.
    const QStringList spectre{"--scheme=spectre", "-i", "site", "--user-name=Robert Lee Mitchell", "--purpose=answer",
                              "--context=first pet", "--counter=7", "--algorithm=2"};
    QCOMPARE(cli(QStringList{"profiles", "add"} + spectre).code, 0);
    QCOMPARE(cli({"profiles", "add", "--scheme=lesspass", "-i", "site", "--login=me", "-l", "20", "--rule=a9"}).code, 0);
    QCOMPARE(cli({"profiles", "list"}).out,
             QByteArray("site|0|spectre|phrase|7|2|answer|Robert Lee Mitchell|first pet\nsite|20|lesspass|a9|1|me\n"));
    QCOMPARE(cli(QStringList{"profiles", "add"} + spectre).code, 1);
    const Run bar = cli({"profiles", "add", "--scheme=lesspass", "-i", "site", "--login=a|b"});
    QCOMPARE(bar.code, 2);
    QVERIFY(bar.err.contains("login"));
    QCOMPARE(cli(QStringList{"profiles", "remove"} + spectre).code, 0);
    QCOMPARE(cli({"profiles", "list"}).out, QByteArray("site|20|lesspass|a9|1|me\n"));
}

void TestCli::strength()
{
    // zxcvbn's own figures, with the ratings' bounds: under 40 poor, under 75 weak, under 100
    // good, from 100 excellent.
    const QList<QPair<QByteArray, QByteArray>> rows{
        {"hello", "5.8 bits, poor"},
        {"correct horse battery staple", "70.3 bits, weak"},
        {"correct horse battery staple zebra", "91.3 bits, good"},
        {"xq7#Lw9!pZ2@vN4$kR8%mT3^bY6&hJ1*", "excellent"},
    };
    for (const auto &row : rows) {
        const Run run = cli({"strength"}, row.first + '\n');
        QCOMPARE(run.code, 0);
        QVERIFY2(run.out.endsWith(row.second + '\n'), run.out.constData());
        QVERIFY(QRegularExpression(QStringLiteral("^\\d+\\.\\d bits, (poor|weak|good|excellent)\n$"))
                    .match(QString::fromUtf8(run.out)).hasMatch());
    }
    QCOMPARE(cli({"strength"}, "\n").code, 2);

    // Help into a pipe whose reader has gone ends quietly, as "--help | head -1" needs.
    QProcess shell;
    shell.start(QStringLiteral("sh"), {"-c", "(sleep 0.3; \"$0\" --help; echo \"exit $?\" >&2) | true", QUORVANE_CLI});
    QVERIFY(shell.waitForFinished());
    QCOMPARE(shell.readAllStandardError(), QByteArray("exit 0\n"));
}

void TestCli::concurrentWritersLoseNothing()
{
    // Four processes add and remove profiles of their own at once; whatever an exit code of 0
    // promised must be in the file at the end.
    const int workers = 4;
    const int perWorker = 40;
    QList<QProcess *> processes;
    for (int w = 0; w < workers; ++w) {
        auto *process = new QProcess(this);
        const QString script = QStringLiteral(
            "k=1; while [ $k -le %1 ]; do\n"
            "  \"$0\" profiles add -i w%2-$k -l 8 2>/dev/null; echo \"add w%2-$k $?\"\n"
            "  if [ $((k %% 2)) -eq 0 ]; then\n"
            "    \"$0\" profiles remove -i w%2-$((k - 1)) -l 8 2>/dev/null; echo \"remove w%2-$((k - 1)) $?\"\n"
            "  fi\n"
            "  k=$((k + 1))\n"
            "done\n").arg(perWorker).arg(w).replace(QStringLiteral("%%"), QStringLiteral("%"));
        process->start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script, QStringLiteral(QUORVANE_CLI)});
        processes.append(process);
    }
    QSet<QString> promised;
    QSet<QString> notAdded;
    int operations = 0;
    int waitedOut = 0;
    for (QProcess *process : qAsConst(processes)) {
        QVERIFY(process->waitForFinished(300000));
        const QList<QByteArray> lines = process->readAllStandardOutput().split('\n');
        for (const QByteArray &line : lines) {
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() != 3)
                continue;
            ++operations;
            const QString profile = QString::fromLatin1(parts.at(1)) + QStringLiteral("|8|strong");
            const QByteArray code = parts.at(2);
            // On a busy machine a writer may wait out the lock (3): then it changed nothing.
            if (code == "3") {
                ++waitedOut;
                if (parts.at(0) == "add")
                    notAdded.insert(profile);
                continue;
            }
            if (parts.at(0) == "add") {
                QCOMPARE(code, QByteArray("0"));
                promised.insert(profile);
            } else {
                // Nothing to remove only where the add did not happen.
                QVERIFY2(code == "0" || (code == "1" && notAdded.contains(profile)), line.constData());
                promised.remove(profile);
            }
        }
        delete process;
    }
    QCOMPARE(operations, workers * (perWorker + perWorker / 2));
    QVERIFY2(waitedOut < operations / 10, qPrintable(QString::number(waitedOut)));
    const QList<QByteArray> listed = cli({"profiles", "list"}).out.split('\n');
    QSet<QString> inFile;
    for (const QByteArray &row : listed) {
        if (!row.isEmpty())
            inFile.insert(QString::fromLatin1(row));
    }
    QCOMPARE(inFile, promised);
    QVERIFY(!QFileInfo::exists(home->profileFile() + QStringLiteral(".lock")));
}

void TestCli::lockedFileFailsClearly()
{
    QCOMPARE(cli({"profiles", "add", "-i", "a", "-l", "8"}).code, 0);
    const QByteArray before = fileBytes(home->profileFile());
    QLockFile lock(home->profileFile() + QStringLiteral(".lock"));
    QVERIFY(lock.tryLock(0));
    for (const QStringList &args : {QStringList{"profiles", "add", "-i", "b", "-l", "8"},
                                    QStringList{"profiles", "remove", "-i", "a", "-l", "8"}}) {
        const Run run = cli(args);
        QCOMPARE(run.code, 3);
        QVERIFY2(run.err.contains("is being changed by another Quorvane window or quorvane-cli"), run.err.constData());
    }
    QCOMPARE(fileBytes(home->profileFile()), before);
    QCOMPARE(cli({"profiles", "list"}).code, 0);   // readers do not wait
}

void TestCli::unstorableIdentifierIsRefused()
{
    for (const QString &identifier : {QStringLiteral("evil\nmail"), QStringLiteral("tab\tx"), QStringLiteral("cr\rx"),
                                      QString(QChar(0xFEFF)) + QStringLiteral("key")}) {
        const Run run = cli({"profiles", "add", "-i", identifier, "-l", "8"});
        QCOMPARE(run.code, 2);
        QVERIFY(run.err.contains("a profile line cannot keep it"));
    }
    QVERIFY(fileBytes(home->profileFile()).isEmpty());
    // Deriving from such an identifier stays allowed.
    const Run derived = cli({"derive", "--scheme=compatible", "-i", "evil\nmail", "-l", "8"}, "hello");
    QCOMPARE(derived.code, 0);
    QCOMPARE(derived.out.size(), 9);
}

void TestCli::oddProfileFiles()
{
    const QString path = home->profileFile();
    QDir().mkpath(QFileInfo(path).absolutePath());
    auto refusedAll = [this, &path](const char *what) {
        for (const QStringList &args : {QStringList{"profiles", "list"}, QStringList{"profiles", "add", "-i", "a", "-l", "8"},
                                        QStringList{"profiles", "remove", "-i", "a", "-l", "8"}}) {
            const Run run = cli(args);
            QVERIFY2(run.code == 3, qPrintable(args.join(' ') + " on " + what));
            QVERIFY2(run.err.contains(what), run.err.constData());
            QVERIFY(run.out.isEmpty());
        }
    };
    // A pipe and a device: refused at once instead of a hang or an abort.
    QCOMPARE(mkfifo(QFile::encodeName(path).constData(), 0600), 0);
    refusedAll("is not a plain file");
    QFile::remove(path);
    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path));
    refusedAll("is a symbolic link");
    QFile::remove(path);

    // Over 2 GiB (sparse): no more an empty list, nor a duplicate appended.
    {
        QFile big(path);
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(qint64(3) << 30));
    }
    refusedAll("is larger than 64 MiB");
    QCOMPARE(QFileInfo(path).size(), qint64(3) << 30);
    QFile::remove(path);

    // Writable but not readable: the duplicate test cannot be made, so nothing is added. Root
    // reads every file, so the check runs as an ordinary user where the test is root.
    writeFile(path, "a|8|strong\r\n");
    QFile::setPermissions(path, QFileDevice::WriteOwner | QFileDevice::WriteOther);
    QString prefix = QStringLiteral("\"$0\"");
    if (geteuid() == 0) {
        QVERIFY(QFile::setPermissions(home->path(), QFileDevice::ReadOther | QFileDevice::WriteOther | QFileDevice::ExeOther
                                                        | QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
        for (const QString &folder : {home->path() + "/Documents", home->dataFolder()})
            QFile::setPermissions(folder, QFileDevice::Permissions(0x7777));
        prefix = QStringLiteral("setpriv --reuid=65534 --regid=65534 --clear-groups \"$0\"");
    }
    const Run add = shell(prefix + QStringLiteral(" profiles add -i a -l 8"));
    QCOMPARE(add.code, 3);
    QVERIFY2(add.err.contains("cannot be read"), add.err.constData());
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    QCOMPARE(fileBytes(path), QByteArray("a|8|strong\r\n"));
}

void TestCli::outputAndInputFailures()
{
    // A password that cannot be written out is a failure, not a success.
    Run run = shell(QStringLiteral("echo hello | \"$0\" derive --scheme=compatible >/dev/full"));
    QCOMPARE(run.code, 3);
    QVERIFY(run.err.contains("could not be written to standard output"));
    run = shell(QStringLiteral("echo hello | \"$0\" derive --scheme=compatible >&-"));
    QCOMPARE(run.code, 3);
    run = shell(QStringLiteral("\"$0\" profiles add -i a -l 8 && \"$0\" profiles list >/dev/full"));
    QCOMPARE(run.code, 3);
    run = shell(QStringLiteral("\"$0\" --help >/dev/full"));
    QCOMPARE(run.code, 3);
    // A closed pipe: the reader has gone before the password is written.
    run = shell(QStringLiteral("exec 3>&1; status=$( { echo hello | \"$0\" derive --scheme=compatible; echo $? >&3; } | true); exit 0"));
    QVERIFY(!run.out.isEmpty());
    QCOMPARE(run.out.trimmed(), QByteArray("3"));

    // A read error on standard input is not an empty phrase.
    run = shell(QStringLiteral("\"$0\" derive < /"));
    QCOMPARE(run.code, 3);
    QVERIFY2(run.err.contains("cannot read the secret phrase"), run.err.constData());
    QVERIFY(!run.err.contains("empty"));
}

namespace {

// Reads from the terminal's master side until `wanted` has come or the time is up.
QByteArray readUntil(int master, const QByteArray &wanted, int ms = 20000)
{
    QByteArray seen;
    QElapsedTimer timer;
    timer.start();
    while (!seen.contains(wanted) && timer.elapsed() < ms) {
        pollfd fd{master, POLLIN, 0};
        if (poll(&fd, 1, 100) <= 0)
            continue;
        char buffer[256];
        const ssize_t n = read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;
        seen.append(buffer, int(n));
    }
    return seen;
}

bool echoOn(int master)
{
    termios settings{};
    tcgetattr(master, &settings);
    return settings.c_lflag & ECHO;
}

bool waitForEcho(int master, bool on)
{
    for (int i = 0; i < 200 && echoOn(master) != on; ++i)
        usleep(20000);
    return echoOn(master) == on;
}

}

void TestCli::promptOnATerminal()
{
    auto start = [](int *master) {
        const pid_t pid = forkpty(master, nullptr, nullptr, nullptr);
        if (pid == 0) {
            execl(QUORVANE_CLI, QUORVANE_CLI, "derive", "--scheme=compatible", "-i", "bank", "-l", "16", nullptr);
            _exit(127);
        }
        return pid;
    };

    // Typed without echo; the password comes back and the echo with it.
    int master = -1;
    pid_t pid = start(&master);
    QVERIFY(pid > 0);
    QVERIFY(readUntil(master, "Secret phrase: ").contains("Secret phrase: "));
    QVERIFY(waitForEcho(master, false));
    QCOMPARE(write(master, "hello\n", 6), ssize_t(6));
    const QByteArray shown = readUntil(master, "bGYZDOUGjrL0dhJZ");
    QVERIFY2(shown.contains("bGYZDOUGjrL0dhJZ"), shown.constData());
    QVERIFY(!shown.contains("hello"));
    // The fingerprint shows before the password, so that a typo is seen.
    const int fingerprint = shown.indexOf("fingerprint: teal star, red leaf, teal leaf\r\n");
    QVERIFY2(fingerprint >= 0 && fingerprint < shown.indexOf("bGYZDOUGjrL0dhJZ"), shown.constData());
    int status = 0;
    QCOMPARE(waitpid(pid, &status, 0), pid);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    QVERIFY(echoOn(master));
    close(master);

    // phrase show on a terminal: each phrase asked without echo, its fingerprint shown at once,
    // the new one twice; two that differ make nothing.
    writeFile(home->profileFile(), "bank|16|strong\r\n");
    writeFile(home->dataFolder() + QStringLiteral("/phrase-change.txt"), "to phrase 2\r\n");
    for (const QByteArray &again : {QByteArray("hellp\n"), QByteArray("hellq\n")}) {
        pid = forkpty(&master, nullptr, nullptr, nullptr);
        if (pid == 0) {
            execl(QUORVANE_CLI, QUORVANE_CLI, "phrase", "show", "bank", nullptr);
            _exit(127);
        }
        QVERIFY(readUntil(master, "Previous secret phrase: ").contains("Previous"));
        QVERIFY(waitForEcho(master, false));
        QCOMPARE(write(master, "hello\n", 6), ssize_t(6));
        // Each answer once the echo is off: the prompt flushes what came before.
        QVERIFY(readUntil(master, "New secret phrase: ").contains("fingerprint: teal star, red leaf, teal leaf"));
        QVERIFY(waitForEcho(master, false));
        QCOMPARE(write(master, "hellp\n", 6), ssize_t(6));
        QVERIFY(readUntil(master, "New secret phrase again: ").contains("fingerprint: yellow heart, green triangle, orange star"));
        QVERIFY(waitForEcho(master, false));
        QCOMPARE(write(master, again.constData(), 6), ssize_t(6));
        const bool same = again.startsWith("hellp");
        const QByteArray end = readUntil(master, same ? QByteArray("\n") : QByteArray("two different ways"));
        QCOMPARE(waitpid(pid, &status, 0), pid);
        QCOMPARE(WEXITSTATUS(status), same ? 0 : 2);
        QVERIFY(!end.contains("hello") && !end.contains("hellp"));
        close(master);
    }

    // The fingerprint comes as soon as the phrase is read, before anything is made of it: even
    // an identifier the scheme refuses comes after it.
    pid = forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        execl(QUORVANE_CLI, QUORVANE_CLI, "derive", "-i", "a|b", nullptr);
        _exit(127);
    }
    QVERIFY(readUntil(master, "Secret phrase: ").contains("Secret phrase: "));
    QVERIFY(waitForEcho(master, false));
    QCOMPARE(write(master, "hello\n", 6), ssize_t(6));
    const QByteArray refused = readUntil(master, "cannot hold");
    QVERIFY2(refused.indexOf("fingerprint: teal star") >= 0
                 && refused.indexOf("fingerprint: teal star") < refused.indexOf("cannot hold"), refused.constData());
    QCOMPARE(waitpid(pid, &status, 0), pid);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 2);
    close(master);

    // Interrupted at the prompt: the process ends by the signal and the echo is back.
    for (int signal : {SIGINT, SIGQUIT, SIGTERM, SIGHUP}) {
        pid = start(&master);
        QVERIFY(readUntil(master, "Secret phrase: ").contains("Secret phrase: "));
        QVERIFY(waitForEcho(master, false));
        kill(pid, signal);
        QCOMPARE(waitpid(pid, &status, 0), pid);
        QVERIFY(WIFSIGNALED(status));
        QCOMPARE(WTERMSIG(status), signal);
        QVERIFY2(echoOn(master), qPrintable(QString::number(signal)));
        close(master);
    }

    // A suspension gives the echo back while stopped and hides it again on return. Here the
    // process group has no job control, so the stop itself is dropped by the system.
    pid = start(&master);
    QVERIFY(readUntil(master, "Secret phrase: ").contains("Secret phrase: "));
    QVERIFY(waitForEcho(master, false));
    kill(pid, SIGTSTP);
    kill(pid, SIGCONT);
    QVERIFY(waitForEcho(master, false));
    QCOMPARE(write(master, "hello\n", 6), ssize_t(6));
    QVERIFY(readUntil(master, "bGYZDOUGjrL0dhJZ").contains("bGYZDOUGjrL0dhJZ"));
    QCOMPARE(waitpid(pid, &status, 0), pid);
    QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    close(master);
}

void TestCli::hostileInputs()
{
    // Endless input, files that are no files, names that would drive the terminal, and lines
    // that only look like profiles: each gets a clear message and its exit code, never a hang,
    // an abort or a change of the profile file.
    const QString folder = home->path();
    QVERIFY(mkfifo(QFile::encodeName(folder + "/fifo").constData(), 0600) == 0);
    writeFile(folder + "/escapes.json",
              "[{\"site\": \"evil\\u001b]0;owned\\u0007.example\", \"version\": 1}, {\"site\": \"ok.example\"}]");
    QByteArray big(16 * 1024 * 1024, 'x');
    big.prepend("# ");
    big.resize(16 * 1024 * 1024);
    big[big.size() - 1] = char(0xFF);
    writeFile(folder + "/big.mpsites", big);
    QDir().mkpath(folder + "/folder.json");
    const QByteArray longest(64 * 1024, 'a');
    struct Case
    {
        QString script;
        int code;
        QByteArray message;
    };
    const QList<Case> cases{
        {"\"$0\" derive -i x </dev/zero", 2, "the secret phrase is longer than 64 KiB"},
        {"head -c 65537 /dev/zero | tr '\\0' a | \"$0\" derive -i x --exact", 2, "longer than 64 KiB"},
        {"\"$0\" profiles import fifo", 2, "fifo: it is not a plain file; nothing was imported"},
        {"\"$0\" profiles import /dev/zero", 2, "it is not a plain file"},
        {"\"$0\" profiles import folder.json", 2, "it is a folder"},
        {"\"$0\" profiles import big.mpsites", 2, "not UTF-8 text (byte 16777216)"},
        {"\"$0\" profiles import escapes.json", 0, "skipped \"evil\\x1B]0;owned\\x07.example\""},
    };
    for (const Case &c : cases) {
        QProcess process;
        process.setWorkingDirectory(folder);
        process.start(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), c.script, QStringLiteral(QUORVANE_CLI)});
        process.closeWriteChannel();
        QVERIFY2(process.waitForFinished(20000), qPrintable(c.script));
        const QByteArray err = process.readAllStandardError();
        QVERIFY2(process.exitStatus() == QProcess::NormalExit && process.exitCode() == c.code,
                 qPrintable(c.script + QStringLiteral(": ") + QString::fromUtf8(err)));
        QVERIFY2(err.contains(c.message), err.constData());
        QVERIFY2(!err.contains('\x1b') && !err.contains('\x07'), "no control character reaches the terminal");
    }
    QCOMPARE(cli({"derive", "-i", "x", "--exact"}, longest).code, 0);

    // An unknown scheme name is no compatible profile.
    writeFile(home->profileFile(), "bank|16|Strong\r\n");
    const Run run = cli({"derive", "--profile=bank"}, "hello");
    QCOMPARE(run.code, 2);
    QVERIFY(run.err.contains("makes no password: its third field, \"Strong\", names no scheme"));
}

void TestCli::browserManifests()
{
    // setup and remove never go through a symbolic link, honour XDG_CONFIG_HOME, touch only
    // Quorvane's manifests, take every --browser given and do all they can, naming each failure.
    const QString config = home->path() + QStringLiteral("/.config");
    const QString chromium = config + QStringLiteral("/chromium/NativeMessagingHosts/org.quorvane.browser_host.json");
    const QString chrome = config + QStringLiteral("/google-chrome/NativeMessagingHosts/org.quorvane.browser_host.json");
    const QString firefox = home->path() + QStringLiteral("/.mozilla/native-messaging-hosts/org.quorvane.browser_host.json");
    const QString elsewhere = home->path() + QStringLiteral("/elsewhere");
    QDir().mkpath(elsewhere);
    const QString precious = elsewhere + QStringLiteral("/precious.json");
    writeFile(precious, "someone else's");
    const auto reset = [&] {
        for (const char *folder : {"/.config", "/.mozilla", "/xdg"})
            QDir(home->path() + QLatin1String(folder)).removeRecursively();
        QFile::remove(home->path() + QStringLiteral("/.config"));
    };

    struct Case
    {
        const char *name;
        std::function<void()> before;
        QStringList args;
        int code;
        QStringList written;    // manifests that name our host afterwards
        QByteArray message;     // on standard error
    };
    const QList<Case> cases{
        {"two browsers given", [] {}, {"setup", "--browser=chromium", "--browser=firefox"}, 0, {chromium, firefox}, ""},
        {"a link at the place", [&] {
             QDir().mkpath(QFileInfo(chromium).path());
             QFile::link(precious, chromium);
         }, {"setup"}, 3, {chrome, firefox}, "is a symbolic link (to " + precious.toUtf8()},
        {"a link at a folder made for it", [&] {
             QDir().mkpath(config);
             QFile::link(elsewhere, config + QStringLiteral("/google-chrome"));
         }, {"setup"}, 3, {chromium, firefox}, "google-chrome is a symbolic link"},
        {"a file where a folder goes", [&] {
             QDir().mkpath(config);
             writeFile(config + QStringLiteral("/chromium"), "a file");
         }, {"setup", "--browser=all"}, 3, {chrome, firefox}, "chromium: "},
    };
    for (const Case &c : cases) {
        reset();
        c.before();
        const Run run = cli(QStringList{"browser"} + c.args);
        QVERIFY2(run.code == c.code && run.err.contains(c.message), qPrintable(QString::fromLatin1(c.name) + ": " + run.err));
        for (const QString &path : {chromium, chrome, firefox}) {
            const bool ours = !QFileInfo(path).isSymLink() && BrowserManifest::namesOurHost(fileBytes(path));
            QVERIFY2(ours == c.written.contains(path), qPrintable(QString::fromLatin1(c.name) + ": " + path));
        }
        QCOMPARE(fileBytes(precious), QByteArray("someone else's"));
        QVERIFY(QDir(elsewhere).entryList(QDir::Files | QDir::NoDotAndDotDot) == QStringList{"precious.json"});
    }

    // XDG_CONFIG_HOME is where Chromium and Chrome look.
    reset();
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home->path() + QStringLiteral("/xdg")));
    Run run = cli({"browser", "setup", "--browser=chromium"});
    QCOMPARE(run.code, 0);
    const QString xdgChromium = home->path() + QStringLiteral("/xdg/chromium/NativeMessagingHosts/org.quorvane.browser_host.json");
    QVERIFY(BrowserManifest::namesOurHost(fileBytes(xdgChromium)));
    QVERIFY(!QFileInfo::exists(chromium));
    QCOMPARE(cli({"browser", "remove", "--browser=chromium"}).code, 0);
    QVERIFY(!QFileInfo::exists(xdgChromium));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config));

    // remove: only Quorvane's manifests; another program's and a dangling link are named and left.
    reset();
    QCOMPARE(cli({"browser", "setup"}).code, 0);
    writeFile(chrome, R"({"name": "org.quorvane.browser_host", "path": "/opt/other/host", "type": "stdio"})");
    QFile::remove(firefox);
    QFile::link(home->path() + QStringLiteral("/gone.json"), firefox);
    run = cli({"browser", "remove"});
    QCOMPARE(run.code, 0);
    QVERIFY2(run.out.contains("removed " + chromium.toUtf8()), run.out.constData());
    QVERIFY2(run.err.contains("names another program's host, /opt/other/host; left as it is"), run.err.constData());
    QVERIFY2(run.err.contains(firefox.toUtf8() + " is a symbolic link (to ") && run.err.contains("which does not exist"),
             run.err.constData());
    QVERIFY(!QFileInfo::exists(chromium) && QFileInfo::exists(chrome) && QFileInfo(firefox).isSymLink());

    // Root, for a home folder that is another user's: nothing at all, and why.
    if (geteuid() == 0) {
        reset();
        QVERIFY(::chown(QFile::encodeName(home->path()).constData(), 65534, 65534) == 0);
        run = cli({"browser", "setup"});
        QVERIFY(::chown(QFile::encodeName(home->path()).constData(), 0, 0) == 0);
        QCOMPARE(run.code, 3);
        QVERIFY2(run.err.contains("belongs to another user") && run.err.contains("run quorvane-cli as that user"), run.err.constData());
        QVERIFY(!QFileInfo::exists(config) && !QFileInfo::exists(home->path() + QStringLiteral("/.mozilla")));
    }
}

void TestCli::changingPasswords()
{
    // One site at a time: the next version's password, then the profile saved at it, in place.
    for (const char *add : {"-i bank.example -l 20", "-i mail.example -l 16 --scheme=lesspass", "-i old.example -l 8 --scheme=compatible",
                            "-i spectre.example --scheme=spectre --user-name=U"})
        QCOMPARE(cli(QStringList{"profiles", "add"} + QString::fromLatin1(add).split(' ')).code, 0);
    struct Step
    {
        const char *name;
        QStringList same;         // derive options that make the next version's password
        QByteArray nextLine;
    };
    const QList<Step> steps{
        {"bank.example", {"-i", "bank.example", "-l", "20", "--counter=2"}, "bank.example|20|strong|base64|2"},
        {"mail.example", {"-i", "mail.example", "--scheme=lesspass", "--counter=2"}, "mail.example|16|lesspass|aA9!|2|"},
        {"old.example", {"-i", "old.example", "-l", "16"}, "old.example|16|strong"},
        {"https://spectre.example/login", {"-i", "spectre.example", "--scheme=spectre", "--user-name=U", "--counter=2"},
         "spectre.example|0|spectre|long|2|3|password|U|"},
    };
    for (const Step &step : steps) {
        const QByteArray next = cli(QStringList{"derive", "--profile=" + QString::fromLatin1(step.name), "--next"}, "hello").out;
        QCOMPARE(next, cli(QStringList{"derive"} + step.same, "hello").out);
        const Run saved = cli({"profiles", "next", QString::fromLatin1(step.name)});
        QVERIFY2(saved.code == 0 && saved.out == step.nextLine + "\n", saved.err.constData());
        QCOMPARE(cli({"derive", "--profile=" + QString::fromLatin1(step.name)}, "hello").out, next);
    }
    // In place: the lines keep their order.
    QCOMPARE(fileBytes(home->profileFile()),
             QByteArray("bank.example|20|strong|base64|2\r\nmail.example|16|lesspass|aA9!|2|\r\nold.example|16|strong\r\n"
                        "spectre.example|0|spectre|long|2|3|password|U|\r\n"));
    QCOMPARE(cli({"profiles", "add", "-i", "bank.example", "-l", "8"}).code, 0);
    const Run several = cli({"profiles", "next", "bank.example"});
    QVERIFY2(several.code == 2 && several.err.contains("2 saved profiles are named"), several.err.constData());
    QCOMPARE(cli({"profiles", "next", "nobody"}).code, 1);
    QCOMPARE(cli({"derive", "--next", "-i", "x"}, "hello").code, 2);
}

void TestCli::changingThePhrase()
{
    for (const char *line : {"bank.example|16|strong", "mail.example|16|lesspass|aA9!|1|me", "old.example|8"})
        ProfileFile::append(home->profileFile(), QString::fromLatin1(line));
    Run run = cli({"phrase", "status"});
    QVERIFY(run.code == 1 && run.err.contains("no change of the secret phrase is in progress"));
    QCOMPARE(cli({"phrase", "change"}).code, 0);
    QCOMPARE(cli({"phrase", "change"}).code, 2);
    QCOMPARE(cli({"phrase", "status"}).out, QByteArray("moved 0 of 3\nbank.example|16|strong\nmail.example|16|lesspass|aA9!|1|me\nold.example|8\n"));

    // Both passwords, from two lines; the same phrase twice, or one missing, is refused.
    run = cli({"phrase", "show", "bank.example"}, "old phrase\nnew phrase\n");
    QCOMPARE(run.out, cli({"derive", "--profile=bank.example"}, "old phrase").out + cli({"derive", "--profile=bank.example"}, "new phrase").out);
    for (const QByteArray &input : {QByteArray("same\nsame\n"), QByteArray("only one\n"), QByteArray("\nnew\n")}) {
        run = cli({"phrase", "show", "bank.example"}, input);
        QVERIFY2(run.code == 2 && run.out.isEmpty(), run.err.constData());
    }
    // Not yet moved: said on standard error; the password is the typed phrase's all the same.
    run = cli({"derive", "--profile=bank.example"}, "new phrase");
    QVERIFY(run.err.contains("bank.example still uses your previous secret phrase"));
    QCOMPARE(cli({"phrase", "moved", "bank.example"}).out, QByteArray("bank.example|16|strong|#2\n"));
    QCOMPARE(cli({"phrase", "moved", "bank.example"}).code, 1);
    QVERIFY(cli({"derive", "--profile=bank.example"}, "new phrase").err.isEmpty());
    // Saved during the change: on the new phrase.
    QCOMPARE(cli({"profiles", "add", "-i", "new.example", "-l", "12"}).code, 0);
    QCOMPARE(cli({"phrase", "status"}).out, QByteArray("moved 2 of 4\nmail.example|16|lesspass|aA9!|1|me\nold.example|8\n"));
    QCOMPARE(cli({"phrase", "moved", "mail.example"}).code, 0);
    run = cli({"phrase", "moved", "old.example"});
    QVERIFY2(run.out.contains("the change is complete"), run.out.constData());
    QCOMPARE(cli({"phrase", "status"}).code, 1);
    QCOMPARE(fileBytes(home->profileFile()), QByteArray("bank.example|16|strong|#2\r\nmail.example|16|lesspass|aA9!|1|me|#2\r\n"
                                                        "old.example|8|#2\r\nnew.example|12|strong|#2\r\n"));
    // The marks change no password, and nothing of a phrase is in any file of the data folder.
    QCOMPARE(cli({"derive", "--profile=old.example"}, "new phrase").out, cli({"derive", "--scheme=compatible", "-i", "old.example", "-l", "8"}, "new phrase").out);
    for (const QFileInfo &file : QDir(home->dataFolder()).entryInfoList(QDir::Files | QDir::Hidden))
        QVERIFY(!fileBytes(file.filePath()).contains("phrase\n") && !fileBytes(file.filePath()).contains("new phrase"));
}

QTEST_GUILESS_MAIN(TestCli)
#include "TestCli.moc"
