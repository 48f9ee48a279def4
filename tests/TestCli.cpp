#include "testsupport.h"

#include <QProcess>
#include <QtTest>

using namespace TestSupport;

namespace {

struct Run
{
    int code = -1;
    QByteArray out;
    QByteArray err;
};

}

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
    void profileCommands();
    void profileWriteFailures();

private:
    Run cli(const QStringList &args, const QByteArray &input = QByteArray()) const;
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
    const Run longest = cli({QStringLiteral("derive"), QStringLiteral("-ibank")}, "hello");
    QCOMPARE(longest.out.left(16), QByteArray("IxzAW0nX/EExEnV2"));
    QCOMPARE(longest.out.size(), 33);
}

void TestCli::lineEndsOfTheInput()
{
    auto derive = [this](const QByteArray &input, bool exact = false) {
        QStringList args{QStringLiteral("derive"), QStringLiteral("--scheme=compatible"), QStringLiteral("-i"), QStringLiteral("bank")};
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
                                  << QByteArray("The Secret Phrase field is empty.  Please enter a secret phrase.");
    QTest::newRow("empty phrase before bad identifier") << derive + QStringList{"-i", "a|b"} << QByteArray()
                                  << QByteArray("The Secret Phrase field is empty.");
    QTest::newRow("bar in identifier") << derive + QStringList{"--identifier=a|b"} << QByteArray("x")
                                       << QByteArray("cannot contain the symbol \"|\".");
    QTest::newRow("length 3") << derive + QStringList{"--length=3"} << QByteArray("x") << QByteArray("4 to 32");
    QTest::newRow("length 33") << derive + QStringList{"-l", "33"} << QByteArray("x") << QByteArray("4 to 32");
    QTest::newRow("length word") << derive + QStringList{"-l", "ten"} << QByteArray("x") << QByteArray("4 to 32");
    QTest::newRow("length fraction") << derive + QStringList{"-l", "8.5"} << QByteArray("x") << QByteArray("4 to 32");
    QTest::newRow("length empty") << derive + QStringList{"--length="} << QByteArray("x") << QByteArray("4 to 32");
    QTest::newRow("length missing") << derive + QStringList{"-l"} << QByteArray("x") << QByteArray("Missing value after '-l'");
    QTest::newRow("invalid utf-8") << derive << QByteArray("caf\xE9") << QByteArray("not valid UTF-8");
    QTest::newRow("unknown scheme") << derive + QStringList{"--scheme=weak"} << QByteArray("x") << QByteArray("unknown scheme");
    QTest::newRow("unknown option") << derive + QStringList{"--colour"} << QByteArray("x") << QByteArray("Unknown option 'colour'");
    QTest::newRow("long option with one dash") << derive + QStringList{"-identifier=bank"} << QByteArray("x")
                                               << QByteArray("malformed option: -identifier=bank");
    QTest::newRow("short option with =") << derive + QStringList{"-i=bank"} << QByteArray("x") << QByteArray("malformed option");
    QTest::newRow("option after --") << derive + QStringList{"--", "--exact"} << QByteArray("x")
                                     << QByteArray("unexpected argument: --exact");
    QTest::newRow("option of another command") << QStringList{"profiles", "list", "--length=8"} << QByteArray()
                                               << QByteArray("Unknown option 'length'");
    QTest::newRow("unknown profiles command") << QStringList{"profiles", "show"} << QByteArray()
                                              << QByteArray("profiles needs list, add or remove");
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
    const Run help = cli({QStringLiteral("--help")});
    QCOMPARE(help.code, 0);
    for (const char *word : {"derive", "profiles list", "profiles add", "profiles remove", "--scheme", "--exact",
                             "--identifier", "--length", "Exit codes", "zavdata.txt"})
        QVERIFY2(help.out.contains(word), word);
    // Each command's help is its own parser's, and is part of the whole help.
    const QList<QStringList> commands{{"derive"}, {"profiles", "list"}, {"profiles", "add"}, {"profiles", "remove"}};
    for (const QStringList &command : commands) {
        const Run own = cli(command + QStringList{"--help"});
        QCOMPARE(own.code, 0);
        QVERIFY(own.out.startsWith("Usage: quorvane-cli " + command.join(' ').toUtf8() + " [options]\n"));
        QVERIFY(help.out.contains(own.out));
        QCOMPARE(cli(command + QStringList{"-h"}).out, own.out);
    }
    QVERIFY(cli({"derive", "--help"}).out.contains("--exact"));
    QVERIFY(!cli({"profiles", "add", "--help"}).out.contains("--exact"));
    QCOMPARE(cli({"help"}).out, help.out);

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
    QVERIFY(run.err.contains("The profile already is already saved.  Please enter a new identifier."));
    QCOMPARE(add(QStringLiteral("bank"), QStringLiteral("12")).code, 0);   // strong by default
    QCOMPARE(add(QString::fromUtf16(u"\u0431\u0430\u043d\u043a"), QStringLiteral("8")).code, 0);
    run = add(QStringLiteral("a|b"), QStringLiteral("8"));
    QCOMPARE(run.code, 2);
    QVERIFY(run.err.contains("is empty or contains the \"|\" symbol."));
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

QTEST_GUILESS_MAIN(TestCli)
#include "TestCli.moc"
