#include "phrasechange.h"
#include "phrasestate.h"
#include "profilefile.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QtTest>

#include <csignal>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

bool readOk(const QString &path, QStringList *lines)
{
    return ProfileFile::readLines(path, lines) == ProfileFile::ReadStatus::Read;
}

bool appended(const QString &path, const QString &line)
{
    return ProfileFile::append(path, line) == ProfileFile::AppendResult::Appended;
}

}

class TestProfileFile : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void lineEnds_data();
    void lineEnds();
    void missingAndEmpty();
    void encodings();
    void rowsAndListText();
    void parseRows_data();
    void parseRows();
    void appendCreatesAndEndsLines();
    void appendFailure();
    void saveRules();
    void removeKeepsEveryOtherLine();
    void removeNothingLeavesFileAlone();
    void removeFailureLeavesFileIntact();
    void unstorableIdentifiersAreRefused();
    void loneCarriageReturnEndsALine();
    void rewriteKeepsOriginalBytes();
    void appendIsAllOrNothing();
    void oddFilesAreRefused();
    void secondWriterWaitsThenFails();
    void fiveFieldLines();
    void fullFileSystemChangesNothing();
    void replaceInPlace();
    void phraseChange();

private:
    QString path() const { return dir->filePath(QStringLiteral("data/zavdata.txt")); }
    std::unique_ptr<QTemporaryDir> dir;
};

void TestProfileFile::init()
{
    dir.reset(new QTemporaryDir);
}

void TestProfileFile::lineEnds_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::newRow("LF") << QByteArray("a|8\nb|12\n");
    QTest::newRow("CR LF") << QByteArray("a|8\r\nb|12\r\n");
    QTest::newRow("CR CR LF") << QByteArray("a|8\r\r\nb|12\r\r\n");
    QTest::newRow("no final end") << QByteArray("a|8\r\nb|12");
}

void TestProfileFile::lineEnds()
{
    QFETCH(QByteArray, content);
    writeFile(path(), content);
    QStringList lines;
    QVERIFY(readOk(path(), &lines));
    QCOMPARE(lines, (QStringList{"a|8", "b|12"}));
    QCOMPARE(ProfileFile::listText(lines), QStringLiteral("b|12 a|8"));
}

void TestProfileFile::missingAndEmpty()
{
    QStringList lines{QStringLiteral("stale")};
    QVERIFY(!readOk(path(), &lines));
    QVERIFY(lines.isEmpty());
    writeFile(path(), "");
    QVERIFY(readOk(path(), &lines));
    QVERIFY(lines.isEmpty());
    QCOMPARE(ProfileFile::listText(lines), QString());
    QVERIFY(ProfileFile::rows(lines).isEmpty());

    // Blank lines are kept as lines but are no profiles.
    writeFile(path(), "a|8\r\n\r\nb|12\r\n\r\n");
    QVERIFY(readOk(path(), &lines));
    QCOMPARE(lines, (QStringList{"a|8", "", "b|12", ""}));
    QCOMPARE(ProfileFile::listText(lines), QStringLiteral(" b|12  a|8"));
    QCOMPARE(ProfileFile::rows(lines), (QStringList{"a|8", "b|12"}));
}

void TestProfileFile::encodings()
{
    // UTF-8, with or without an editor's byte-order mark.
    writeFile(path(), "\xEF\xBB\xBF\xD0\xB1\xD0\xB0\xD0\xBD\xD0\xBA|12\r\n");
    QStringList lines;
    QVERIFY(readOk(path(), &lines));
    QCOMPARE(lines, QStringList{QString::fromUtf16(u"\u0431\u0430\u043d\u043a|12")});

    // A file of the original program on Western Windows: Windows-1252, CR CR LF.
    writeFile(path(), "caf\xE9|8\r\r\n\x80uro|16\r\r\n");
    QVERIFY(readOk(path(), &lines));
    QCOMPARE(lines, (QStringList{QString::fromUtf16(u"caf\u00e9|8"), QString::fromUtf16(u"\u20acuro|16")}));

    // A UTF-8 line appended to such a file still reads as written.
    QVERIFY(appended(path(), QString::fromUtf16(u"\u0431\u0430\u043d\u043a|12")));
    QVERIFY(readOk(path(), &lines));
    QCOMPARE(lines.value(2), QString::fromUtf16(u"\u0431\u0430\u043d\u043a|12"));
    QCOMPARE(lines.value(0), QString::fromUtf16(u"caf\u00e9|8"));

    // Whatever the locale, new lines are UTF-8 without a mark.
    QFile::remove(path());
    QVERIFY(appended(path(), QString::fromUtf16(u"\u0431|9")));
    QCOMPARE(fileBytes(path()), QByteArray("\xD0\xB1|9\r\n"));
}

void TestProfileFile::rowsAndListText()
{
    const QStringList lines{"zeta|8", "", "my bank|12", "Bank|12", "bank|12", "x", "bank|12", "a|8|strong"};
    QCOMPARE(ProfileFile::rows(lines),
             (QStringList{"Bank|12", "a|8|strong", "bank|12", "bank|12", "my bank|12", "x", "zeta|8"}));
    QCOMPARE(ProfileFile::listText(QStringList{"a|8", "b|12", "c|4"}), QStringLiteral("c|4 b|12 a|8"));
}

void TestProfileFile::parseRows_data()
{
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("identifier");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("strong");
    QTest::newRow("plain") << "bank|12" << "bank" << 12 << false;
    QTest::newRow("blank inside") << "my bank|12" << "my bank" << 12 << false;
    QTest::newRow("one digit") << "b|8" << "b" << 8 << false;
    QTest::newRow("three digits") << "x|123" << "x" << 12 << false;
    // A three-field length outside 4 to 32 is as unreadable as two characters that are no number.
    QTest::newRow("strong, too long") << "x|99|strong" << "x" << 0 << true;
    QTest::newRow("strong, too short") << "x|3|strong" << "x" << 0 << true;
    QTest::newRow("strong, longest") << "x|32|strong" << "x" << 32 << true;
    QTest::newRow("no bar") << "my" << "my" << 0 << false;
    QTest::newRow("no number") << "x|ab" << "x" << 0 << false;
    QTest::newRow("empty") << "" << "" << 0 << false;
    QTest::newRow("strong") << "x|5|strong" << "x" << 5 << true;
    QTest::newRow("strong long") << "citi-account|32|strong" << "citi-account" << 32 << true;
    // An unknown name in the third field is no profile (the original program wrote none).
    QTest::newRow("third field not a scheme") << "x|16|what" << "x" << 16 << false;
    QTest::newRow("scheme name in capitals") << "bank|16|Strong" << "bank" << 16 << false;
    // LessPass and Spectre lines have all their fields or none: found by fuzzing, this line once
    // read as a LessPass profile with made-up fields.
    QTest::newRow("peer name alone") << "example.org|16|lesspass" << "example.org" << 16 << false;
}

void TestProfileFile::parseRows()
{
    QFETCH(QString, row);
    QFETCH(QString, identifier);
    QFETCH(int, length);
    QFETCH(bool, strong);
    const ProfileFile::Profile p = ProfileFile::parseRow(row);
    QCOMPARE(p.identifier(), identifier);
    QCOMPARE(p.recipe.length, length);
    QCOMPARE(p.recipe.scheme == Scheme::Strong, strong);
    QCOMPARE(p.readable, !row.endsWith(QLatin1String("lesspass")) && !row.endsWith(QLatin1String("|what"))
                             && !row.endsWith(QLatin1String("Strong")));
}

void TestProfileFile::appendCreatesAndEndsLines()
{
    QVERIFY(!QFileInfo::exists(QFileInfo(path()).absolutePath()));
    QVERIFY(appended(path(), QStringLiteral("a|8")));
    QCOMPARE(fileBytes(path()), QByteArray("a|8\r\n"));
    QVERIFY(appended(path(), profileRecipe(QStringLiteral(" x"), 9, Scheme::Strong).line()));
    QCOMPARE(fileBytes(path()), QByteArray("a|8\r\n x|9|strong\r\n"));

    // A last line without an end, as an editor may leave it, is not joined to the new one.
    writeFile(path(), "a|8\r\nb|12");
    QVERIFY(appended(path(), QStringLiteral("x|9")));
    QCOMPARE(fileBytes(path()), QByteArray("a|8\r\nb|12\r\nx|9\r\n"));
}

void TestProfileFile::appendFailure()
{
    // Where the data folder should be stands a file: nothing can be created there.
    writeFile(dir->filePath(QStringLiteral("data")), "a file");
    QVERIFY(!appended(path(), QStringLiteral("a|8")));
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("a"), 8, Scheme::Strong)), ProfileFile::SaveResult::Failed);
}

void TestProfileFile::saveRules()
{
    using R = ProfileFile::SaveResult;
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QString(), 8, Scheme::Compatible)), R::InvalidIdentifier);
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("a|b"), 8, Scheme::Compatible)), R::InvalidIdentifier);
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("a"), 3, Scheme::Compatible)), R::InvalidRecipe);
    QVERIFY(!QFileInfo::exists(path()));

    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("mybank"), 12, Scheme::Compatible)), R::Saved);
    // Only a whole equal line is a duplicate: a line that merely ends in it is another profile.
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("bank"), 12, Scheme::Compatible)), R::Saved);
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("bank"), 12, Scheme::Compatible)), R::AlreadySaved);
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("Bank"), 12, Scheme::Compatible)), R::Saved);
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("bank"), 16, Scheme::Compatible)), R::Saved);
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("bank"), 12, Scheme::Strong)), R::Saved);
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("bank"), 12, Scheme::Strong)), R::AlreadySaved);
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral(" "), 4, Scheme::Compatible)), R::Saved);
    QCOMPARE(fileBytes(path()),
             QByteArray("mybank|12\r\nbank|12\r\nBank|12\r\nbank|16\r\nbank|12|strong\r\n |4\r\n"));
}

void TestProfileFile::removeKeepsEveryOtherLine()
{
    writeFile(path(), "L1|8\r\nbank|12\r\n\r\nmybank|12\nnot a profile\r\r\nbank|12\r\nL3|4|strong");
    // What stays is written back as it was read: each line with its own end, none on the last.
    QCOMPARE(ProfileFile::remove(path(), QStringLiteral("bank|12")), ProfileFile::RemoveResult::Removed);
    QCOMPARE(fileBytes(path()), QByteArray("L1|8\r\n\r\nmybank|12\nnot a profile\r\r\nL3|4|strong"));
    QCOMPARE(ProfileFile::remove(path(), QString()), ProfileFile::RemoveResult::Removed);
    QCOMPARE(fileBytes(path()), QByteArray("L1|8\r\nmybank|12\nnot a profile\r\r\nL3|4|strong"));
    for (const char *line : {"L1|8", "mybank|12", "not a profile", "L3|4|strong"})
        QCOMPARE(ProfileFile::remove(path(), QString::fromLatin1(line)), ProfileFile::RemoveResult::Removed);
    QCOMPARE(fileBytes(path()), QByteArray());
}

void TestProfileFile::removeNothingLeavesFileAlone()
{
    QCOMPARE(ProfileFile::remove(path(), QStringLiteral("a|8")), ProfileFile::RemoveResult::NotFound);
    QVERIFY(!QFileInfo::exists(path()));
    const QByteArray content("a|8\r\r\nb|12");
    writeFile(path(), content);
    QCOMPARE(ProfileFile::remove(path(), QStringLiteral("a|8|strong")), ProfileFile::RemoveResult::NotFound);
    QCOMPARE(ProfileFile::remove(path(), QStringLiteral("a|")), ProfileFile::RemoveResult::NotFound);
    QCOMPARE(fileBytes(path()), content);
}

void TestProfileFile::removeFailureLeavesFileIntact()
{
    // A file that can be read but whose folder takes no new file, even for root: the process's
    // own name in /proc. The rewrite must fail without touching it.
    const QString procFile = QStringLiteral("/proc/self/comm");
    QStringList lines;
    QVERIFY(readOk(procFile, &lines));
    QCOMPARE(lines.size(), 1);
    QCOMPARE(ProfileFile::remove(procFile, lines.first()), ProfileFile::RemoveResult::Failed);
    QStringList after;
    QVERIFY(readOk(procFile, &after));
    QCOMPARE(after, lines);
}

void TestProfileFile::unstorableIdentifiersAreRefused()
{
    using R = ProfileFile::SaveResult;
    writeFile(path(), "a|8\r\n");
    const QStringList refused{"evil\nmail", "evil\rmail", "tab\there", "nul" + QString(QChar(0)), "del\x7f",
                              QString(QChar(0xFEFF)) + "key", "lone" + QString(QChar(0xD800)),
                              QString(QChar(0xDC00)) + "low"};
    for (const QString &identifier : refused) {
        QVERIFY2(!ProfileFile::isStorableIdentifier(identifier), qPrintable(identifier.toUtf8().toHex()));
        QCOMPARE(ProfileFile::save(path(), profileRecipe(identifier, 8, Scheme::Strong)), R::UnstorableIdentifier);
    }
    QCOMPARE(fileBytes(path()), QByteArray("a|8\r\n"));

    // What a line gives back exactly is allowed: a mark inside, a pair of surrogates, C1 controls.
    const QStringList stored{"in" + QString(QChar(0xFEFF)) + "side", QString::fromUtf16(u"key\U0001F511"),
                             QString::fromUtf16(u"nel\u0085"), QStringLiteral(" blank ")};
    for (const QString &identifier : stored)
        QCOMPARE(ProfileFile::save(path(), profileRecipe(identifier, 8, Scheme::Strong)), R::Saved);
    QStringList lines;
    QVERIFY(readOk(path(), &lines));
    QCOMPARE(lines.size(), 5);
    for (int i = 0; i < stored.size(); ++i)
        QCOMPARE(ProfileFile::parseRow(lines.at(i + 1)).identifier(), stored.at(i));
}

void TestProfileFile::loneCarriageReturnEndsALine()
{
    writeFile(path(), "old|8\rwork|12|strong\r\nx|4\r\r\nlast|5");
    QStringList lines;
    QVERIFY(readOk(path(), &lines));
    QCOMPARE(lines, (QStringList{"old|8", "work|12|strong", "x|4", "last|5"}));
    // An unrelated remove writes the other lines back as they were, not merged.
    QCOMPARE(ProfileFile::remove(path(), QStringLiteral("x|4")), ProfileFile::RemoveResult::Removed);
    QCOMPARE(fileBytes(path()), QByteArray("old|8\rwork|12|strong\r\nlast|5"));
    // An append after a last line that ends in a lone CR adds no empty line.
    writeFile(path(), "old|8\r");
    QVERIFY(appended(path(), QStringLiteral("new|9")));
    QCOMPARE(fileBytes(path()), QByteArray("old|8\rnew|9\r\n"));
}

void TestProfileFile::rewriteKeepsOriginalBytes()
{
    // A file of the original program: Windows-1252, CR CR LF; then a UTF-8 line added by us, and
    // a line whose identifier starts with U+FEFF. The file itself starts with a mark.
    const QByteArray original = "\xEF\xBB\xBF" "caf\xE9|12\r\r\n" "\x80uro|16\r\r\n" "gone|8\r\r\n"
                                "\xD0\xB1|9|strong\r\n" "\xEF\xBB\xBFkey|10|strong\r\n";
    writeFile(path(), original);
    QCOMPARE(ProfileFile::remove(path(), QStringLiteral("gone|8")), ProfileFile::RemoveResult::Removed);
    QByteArray expected = original;
    expected.replace(QByteArray("gone|8\r\r\n"), QByteArray());
    QCOMPARE(fileBytes(path()), expected);
    QStringList lines;
    QVERIFY(readOk(path(), &lines));
    QCOMPARE(lines.value(0), QString::fromUtf16(u"caf\u00e9|12"));
    QCOMPARE(lines.value(3), QString(QChar(0xFEFF)) + QStringLiteral("key|10|strong"));

    // The mark stays even when the first line goes.
    QCOMPARE(ProfileFile::remove(path(), QString::fromUtf16(u"caf\u00e9|12")), ProfileFile::RemoveResult::Removed);
    QVERIFY(fileBytes(path()).startsWith("\xEF\xBB\xBF\x80uro|16\r\r\n"));
}

void TestProfileFile::appendIsAllOrNothing()
{
    // A file size limit stands in for a full disk: the write stops part way.
    const QByteArray before = QByteArray(1000, 'x') + "|8";   // no line end yet
    writeFile(path(), before);
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(before.size() + 10);
    setrlimit(RLIMIT_FSIZE, &tight);
    const ProfileFile::AppendResult result = ProfileFile::append(path(), QStringLiteral("a-long-identifier|12|strong"));
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, SIG_DFL);
    QCOMPARE(result, ProfileFile::AppendResult::Failed);
    QCOMPARE(fileBytes(path()), before);
    // With room again the next append ends the old line first, as usual.
    QVERIFY(appended(path(), QStringLiteral("b|9")));
    QCOMPARE(fileBytes(path()), before + "\r\nb|9\r\n");
}

void TestProfileFile::oddFilesAreRefused()
{
    using S = ProfileFile::ReadStatus;
    QDir().mkpath(dir->filePath(QStringLiteral("data")));
    QStringList lines;

    // A pipe would block the reader forever; a device never ends.
    QCOMPARE(mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    QCOMPARE(ProfileFile::readLines(path(), &lines), S::NotAFile);
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("a"), 8, Scheme::Strong)), ProfileFile::SaveResult::Unusable);
    QCOMPARE(ProfileFile::append(path(), QStringLiteral("a|8")), ProfileFile::AppendResult::Unusable);
    QCOMPARE(ProfileFile::remove(path(), QStringLiteral("a|8")), ProfileFile::RemoveResult::Unusable);
    QVERIFY(QFileInfo(path()).isSymLink() || !QFileInfo(path()).isFile());
    QFile::remove(path());

    QVERIFY(QFile::link(QStringLiteral("/dev/zero"), path()));
    QCOMPARE(ProfileFile::readLines(path(), &lines), S::NotAFile);
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("a"), 8, Scheme::Strong)), ProfileFile::SaveResult::Unusable);
    QFile::remove(path());

    QVERIFY(QDir().mkpath(path()));
    QCOMPARE(ProfileFile::readLines(path(), &lines), S::NotAFile);
    QDir().rmdir(path());

    // Over the limit (sparse, so it costs no disk): refused at once, and left as it is.
    for (qint64 size : {ProfileFile::maximumSize + 1, qint64(3) << 30}) {
        QFile big(path());
        QVERIFY(big.open(QIODevice::WriteOnly));
        QVERIFY(big.resize(size));
        big.close();
        QCOMPARE(ProfileFile::readLines(path(), &lines), S::TooLarge);
        QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("a"), 8, Scheme::Strong)), ProfileFile::SaveResult::Unusable);
        QCOMPARE(ProfileFile::remove(path(), QStringLiteral("a|8")), ProfileFile::RemoveResult::Unusable);
        QCOMPARE(QFileInfo(path()).size(), size);
        QFile::remove(path());
    }
    QVERIFY(lines.isEmpty());
    QCOMPARE(ProfileFile::problem(S::TooLarge), QStringLiteral("is larger than 64 MiB, too large for a profile file"));
}

void TestProfileFile::secondWriterWaitsThenFails()
{
    writeFile(path(), "a|8\r\n");
    {
        const ProfileFile::Lock first(path());
        QCOMPARE(first.state(), ProfileFile::Lock::Held);
        const ProfileFile::Lock second(path(), 50);
        QCOMPARE(second.state(), ProfileFile::Lock::Busy);
        QElapsedTimer waited;
        waited.start();
        QCOMPARE(ProfileFile::remove(path(), QStringLiteral("a|8")), ProfileFile::RemoveResult::Busy);
        QVERIFY(waited.elapsed() >= ProfileFile::lockWaitMs - 100);   // it waited before it gave up
        QCOMPARE(fileBytes(path()), QByteArray("a|8\r\n"));
    }
    // A lock left behind by a process that has ended is taken over.
    writeFile(path() + QStringLiteral(".lock"), "999999\nquorvane-cli\n" + QSysInfo::machineHostName().toUtf8() + "\n");
    QCOMPARE(ProfileFile::remove(path(), QStringLiteral("a|8")), ProfileFile::RemoveResult::Removed);
}

void TestProfileFile::fiveFieldLines()
{
    Rule symbols;
    QVERIFY(Rule::parse(QStringLiteral("aA9!:!@#"), &symbols));
    QCOMPARE(profileRecipe(QStringLiteral("bank"), 16, Scheme::Strong, symbols, 2).line(),
             QStringLiteral("bank|16|strong|aA9!:!@#|2"));
    QCOMPARE(profileRecipe(QStringLiteral("bank"), 16, Scheme::Strong, Rule(), 3).line(), QStringLiteral("bank|16|strong|base64|3"));
    QCOMPARE(profileRecipe(QStringLiteral("bank"), 16, Scheme::Strong, Rule(), 1).line(), QStringLiteral("bank|16|strong"));
    QCOMPARE(profileRecipe(QStringLiteral("bank"), 16, Scheme::Compatible, Rule(), 1).line(), QStringLiteral("bank|16"));

    ProfileFile::Profile p = ProfileFile::parseRow(QStringLiteral("bank|16|strong|aA9!:!@#|2"));
    QVERIFY(p.readable);
    QCOMPARE(p.identifier(), QStringLiteral("bank"));
    QCOMPARE(p.recipe.length, 16);
    QCOMPARE(p.recipe.scheme, Scheme::Strong);
    QCOMPARE(p.recipe.rule, symbols);
    QCOMPARE(p.recipe.counter, 2u);
    for (const char *bad : {"bank|16|strong|Aa|2", "bank|16|strong|aA9|0", "bank|16|strong|aA9|x", "bank|16|weak|aA9|2",
                            "bank|40|strong|aA9|2", "bank|16|strong||2", "bank|16|strong|aA9|2147483648"}) {
        p = ProfileFile::parseRow(QString::fromLatin1(bad));
        QVERIFY2(!p.readable, bad);
        QCOMPARE(p.identifier(), QStringLiteral("bank"));
    }
    // The duplicate test compares whole lines: another version is another profile.
    using R = ProfileFile::SaveResult;
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("bank"), 16, Scheme::Strong, symbols, 2)), R::Saved);
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("bank"), 16, Scheme::Strong, symbols, 2)), R::AlreadySaved);
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("bank"), 16, Scheme::Strong, symbols, 3)), R::Saved);
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("bank"), 16, Scheme::Strong)), R::Saved);
    QCOMPARE(fileBytes(path()), QByteArray("bank|16|strong|aA9!:!@#|2\r\nbank|16|strong|aA9!:!@#|3\r\nbank|16|strong\r\n"));
}

namespace {

// A nearly full disk under the folder: a 64 KiB tmpfs of the test's own where it may mount one,
// filled up to `room` bytes; elsewhere a file size limit that stops any write half way through
// the largest file (inherited by the processes the test starts).
class FullDisk
{
public:
    FullDisk(const QString &folder, qint64 room) : folder(folder)
    {
        QDir().mkpath(folder);
        mounted = ::mount("tmpfs", QFile::encodeName(folder).constData(), "tmpfs", 0, "size=64k,mode=0700") == 0;
        wanted = room;
    }
    ~FullDisk()
    {
        if (mounted)
            ::umount2(QFile::encodeName(folder).constData(), MNT_DETACH);
        else
            setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, SIG_DFL);
    }
    // Takes what the folder holds now as its content and leaves only the room.
    void fill(qint64 largestFile)
    {
        std::signal(SIGXFSZ, SIG_IGN);
        if (!mounted) {
            getrlimit(RLIMIT_FSIZE, &saved);
            rlimit tight = saved;
            tight.rlim_cur = rlim_t(largestFile / 2);
            setrlimit(RLIMIT_FSIZE, &tight);
            return;
        }
        QFile filler(folder + QStringLiteral("/filler"));
        filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered);
        const QByteArray block(4096, 'f');
        while (filler.write(block) == block.size()) {
        }
        filler.resize(qMax<qint64>(0, filler.size() - wanted));
    }
    bool isMounted() const { return mounted; }

private:
    QString folder;
    bool mounted = false;
    qint64 wanted = 0;
    rlimit saved{};
};

}

void TestProfileFile::fullFileSystemChangesNothing()
{
    // 300 profiles, about 13 KiB, with 8 KiB left: no rewrite fits, and every change must leave
    // the file byte for byte as it was and say so, in the core and in quorvane-cli.
    TempHome home;
    const QString file = home.profileFile();
    const QString folder = QFileInfo(file).path();
    FullDisk disk(folder, 8192);
    QByteArray content;
    for (int i = 0; i < 300; ++i)
        content += QStringLiteral("site%1-with-a-longer-name|16|strong|aA9!|2\r\n").arg(i).toUtf8();
    writeFile(file, content);
    disk.fill(content.size());
    qInfo("%s", disk.isMounted() ? "on a 64 KiB tmpfs" : "under a file size limit");

    QCOMPARE(ProfileFile::remove(file, QStringLiteral("site5-with-a-longer-name|16|strong|aA9!|2")),
             ProfileFile::RemoveResult::Failed);
    QCOMPARE(fileBytes(file), content);
    QStringList many;
    for (int i = 0; i < 400; ++i)
        many << QStringLiteral("another-site-%1-with-a-long-name|16|strong").arg(i);
    QCOMPARE(ProfileFile::append(file, many), ProfileFile::AppendResult::Failed);
    QCOMPARE(fileBytes(file), content);

    QProcess cli;
    cli.start(QStringLiteral(QUORVANE_CLI), {"profiles", "remove", "-i", "site5-with-a-longer-name", "-l", "16",
                                             "--rule=aA9!", "--counter=2"});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.exitCode(), 3);
    QVERIFY2(cli.readAllStandardError().contains("left as it was"), "the message says nothing changed");
    QCOMPARE(fileBytes(file), content);
    QVERIFY(QDir(folder).entryList(QDir::Files | QDir::Hidden).filter(QStringLiteral("zavdata.txt.")).filter(
                QRegularExpression(QStringLiteral("^zavdata\\.txt\\.(?!lock)"))).isEmpty());   // no temporary file left
}

void TestProfileFile::replaceInPlace()
{
    // The new line takes the old one's place and line end; every other line stays byte for byte.
    writeFile(path(), "a|8\r\nbank|16|strong\nb|9\r\r\nbank|16|strong\r\nlast|4");
    QCOMPARE(ProfileFile::replace(path(), QStringLiteral("bank|16|strong"), QStringLiteral("bank|16|strong|base64|2")),
             ProfileFile::RemoveResult::Removed);
    QCOMPARE(fileBytes(path()), QByteArray("a|8\r\nbank|16|strong|base64|2\nb|9\r\r\nlast|4"));
    QCOMPARE(ProfileFile::replace(path(), QStringLiteral("last|4"), QStringLiteral("last|16|strong")),
             ProfileFile::RemoveResult::Removed);
    QCOMPARE(fileBytes(path()), QByteArray("a|8\r\nbank|16|strong|base64|2\nb|9\r\r\nlast|16|strong"));
    // A replacement the file holds already: the old line just goes.
    QCOMPARE(ProfileFile::replace(path(), QStringLiteral("a|8"), QStringLiteral("b|9")), ProfileFile::RemoveResult::Removed);
    QCOMPARE(fileBytes(path()), QByteArray("bank|16|strong|base64|2\nb|9\r\r\nlast|16|strong"));
    QCOMPARE(ProfileFile::replace(path(), QStringLiteral("nothing|4"), QStringLiteral("x|4")), ProfileFile::RemoveResult::NotFound);
    QCOMPARE(fileBytes(path()), QByteArray("bank|16|strong|base64|2\nb|9\r\r\nlast|16|strong"));
}

void TestProfileFile::phraseChange()
{
    writeFile(path(), "bank|16|strong\r\nold|8\r\nnot a profile|x|strong\r\nsite|0|spectre|long|1|3|password|User|\r\n");
    int target = 0;
    QCOMPARE(PhraseChange::start(path(), &target), PhraseChange::StartResult::Started);
    QCOMPARE(target, 2);
    QCOMPARE(PhraseChange::start(path(), &target), PhraseChange::StartResult::InProgress);
    // The state says which phrase is new, and nothing of any phrase.
    QCOMPARE(fileBytes(PhraseState::path(path())), QByteArray("to phrase 2\r\n"));
    PhraseChange::Status now;
    PhraseChange::status(path(), &now);
    QCOMPARE(now.waiting, (QStringList{"bank|16|strong", "old|8", "site|0|spectre|long|1|3|password|User|"}));
    QVERIFY(now.moved.isEmpty());

    // Saved during the change: on the new phrase; saved already, on any phrase: refused.
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("new"), 12, Scheme::Strong)), ProfileFile::SaveResult::Saved);
    QVERIFY(fileBytes(path()).endsWith("new|12|strong|#2\r\n"));
    QCOMPARE(ProfileFile::save(path(), profileRecipe(QStringLiteral("new"), 12, Scheme::Strong)),
             ProfileFile::SaveResult::AlreadySaved);

    // Moved in place, one at a time; back; an unknown line; the last one ends the change.
    bool finished = false;
    QString line = QStringLiteral("old|8");
    QCOMPARE(PhraseChange::move(path(), &line, false, &finished), PhraseChange::MoveResult::Moved);
    QCOMPARE(line, QStringLiteral("old|8|#2"));
    QCOMPARE(PhraseChange::move(path(), &line, false, &finished), PhraseChange::MoveResult::AlreadyMoved);
    QCOMPARE(PhraseChange::move(path(), &line, true, &finished), PhraseChange::MoveResult::Moved);
    QCOMPARE(line, QStringLiteral("old|8"));
    QString unknown = QStringLiteral("gone|8");
    QCOMPARE(PhraseChange::move(path(), &unknown, false, &finished), PhraseChange::MoveResult::NotFound);
    for (const char *each : {"bank|16|strong", "old|8", "site|0|spectre|long|1|3|password|User|"}) {
        line = QString::fromLatin1(each);
        QVERIFY(!finished);
        QCOMPARE(PhraseChange::move(path(), &line, false, &finished), PhraseChange::MoveResult::Moved);
    }
    QVERIFY(finished);
    QVERIFY(!QFileInfo::exists(PhraseState::path(path())));
    QCOMPARE(fileBytes(path()), QByteArray("bank|16|strong|#2\r\nold|8|#2\r\nnot a profile|x|strong\r\n"
                                           "site|0|spectre|long|1|3|password|User|||#2\r\nnew|12|strong|#2\r\n"));
    QCOMPARE(PhraseChange::move(path(), &line, false, &finished), PhraseChange::MoveResult::NoChange);
    // The next change goes from the second phrase to the third.
    QCOMPARE(PhraseChange::start(path(), &target), PhraseChange::StartResult::Started);
    QCOMPARE(target, 3);
    PhraseChange::status(path(), &now);
    QCOMPARE(now.waiting.size(), 4);
}

QTEST_GUILESS_MAIN(TestProfileFile)
#include "TestProfileFile.moc"
