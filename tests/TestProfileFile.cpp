#include "profilefile.h"
#include "testsupport.h"

#include <QDir>
#include <QFileInfo>
#include <QtTest>

using namespace TestSupport;

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
    QVERIFY(ProfileFile::readLines(path(), &lines));
    QCOMPARE(lines, (QStringList{"a|8", "b|12"}));
    QCOMPARE(ProfileFile::listText(lines), QStringLiteral("b|12 a|8"));
}

void TestProfileFile::missingAndEmpty()
{
    QStringList lines{QStringLiteral("stale")};
    QVERIFY(!ProfileFile::readLines(path(), &lines));
    QVERIFY(lines.isEmpty());
    writeFile(path(), "");
    QVERIFY(ProfileFile::readLines(path(), &lines));
    QVERIFY(lines.isEmpty());
    QCOMPARE(ProfileFile::listText(lines), QString());
    QVERIFY(ProfileFile::rows(lines).isEmpty());

    // Blank lines are kept as lines but are no profiles.
    writeFile(path(), "a|8\r\n\r\nb|12\r\n\r\n");
    QVERIFY(ProfileFile::readLines(path(), &lines));
    QCOMPARE(lines, (QStringList{"a|8", "", "b|12", ""}));
    QCOMPARE(ProfileFile::listText(lines), QStringLiteral(" b|12  a|8"));
    QCOMPARE(ProfileFile::rows(lines), (QStringList{"a|8", "b|12"}));
}

void TestProfileFile::encodings()
{
    // UTF-8, with or without an editor's byte-order mark.
    writeFile(path(), "\xEF\xBB\xBF\xD0\xB1\xD0\xB0\xD0\xBD\xD0\xBA|12\r\n");
    QStringList lines;
    QVERIFY(ProfileFile::readLines(path(), &lines));
    QCOMPARE(lines, QStringList{QString::fromUtf16(u"\u0431\u0430\u043d\u043a|12")});

    // A file of the original program on Western Windows: Windows-1252, CR CR LF.
    writeFile(path(), "caf\xE9|8\r\r\n\x80uro|16\r\r\n");
    QVERIFY(ProfileFile::readLines(path(), &lines));
    QCOMPARE(lines, (QStringList{QString::fromUtf16(u"caf\u00e9|8"), QString::fromUtf16(u"\u20acuro|16")}));

    // A UTF-8 line appended to such a file still reads as written.
    QVERIFY(ProfileFile::append(path(), QString::fromUtf16(u"\u0431\u0430\u043d\u043a|12")));
    QVERIFY(ProfileFile::readLines(path(), &lines));
    QCOMPARE(lines.value(2), QString::fromUtf16(u"\u0431\u0430\u043d\u043a|12"));
    QCOMPARE(lines.value(0), QString::fromUtf16(u"caf\u00e9|8"));

    // Whatever the locale, new lines are UTF-8 without a mark.
    QFile::remove(path());
    QVERIFY(ProfileFile::append(path(), QString::fromUtf16(u"\u0431|9")));
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
    QTest::newRow("third field not a scheme") << "x|16|what" << "x" << 16 << false;
}

void TestProfileFile::parseRows()
{
    QFETCH(QString, row);
    QFETCH(QString, identifier);
    QFETCH(int, length);
    QFETCH(bool, strong);
    const ProfileFile::Profile p = ProfileFile::parseRow(row);
    QCOMPARE(p.identifier, identifier);
    QCOMPARE(p.length, length);
    QCOMPARE(p.scheme == Scheme::Strong, strong);
}

void TestProfileFile::appendCreatesAndEndsLines()
{
    QVERIFY(!QFileInfo::exists(QFileInfo(path()).absolutePath()));
    QVERIFY(ProfileFile::append(path(), QStringLiteral("a|8")));
    QCOMPARE(fileBytes(path()), QByteArray("a|8\r\n"));
    QVERIFY(ProfileFile::append(path(), ProfileFile::line(QStringLiteral(" x"), 9, Scheme::Strong)));
    QCOMPARE(fileBytes(path()), QByteArray("a|8\r\n x|9|strong\r\n"));

    // A last line without an end, as an editor may leave it, is not joined to the new one.
    writeFile(path(), "a|8\r\nb|12");
    QVERIFY(ProfileFile::append(path(), QStringLiteral("x|9")));
    QCOMPARE(fileBytes(path()), QByteArray("a|8\r\nb|12\r\nx|9\r\n"));
}

void TestProfileFile::appendFailure()
{
    // Where the data folder should be stands a file: nothing can be created there.
    writeFile(dir->filePath(QStringLiteral("data")), "a file");
    QVERIFY(!ProfileFile::append(path(), QStringLiteral("a|8")));
    QCOMPARE(ProfileFile::save(path(), QStringLiteral("a"), 8, Scheme::Strong), ProfileFile::SaveResult::Failed);
}

void TestProfileFile::saveRules()
{
    using R = ProfileFile::SaveResult;
    QCOMPARE(ProfileFile::save(path(), QString(), 8, Scheme::Compatible), R::InvalidIdentifier);
    QCOMPARE(ProfileFile::save(path(), QStringLiteral("a|b"), 8, Scheme::Compatible), R::InvalidIdentifier);
    QCOMPARE(ProfileFile::save(path(), QStringLiteral("a"), 3, Scheme::Compatible), R::InvalidLength);
    QVERIFY(!QFileInfo::exists(path()));

    QCOMPARE(ProfileFile::save(path(), QStringLiteral("mybank"), 12, Scheme::Compatible), R::Saved);
    // Only a whole equal line is a duplicate: a line that merely ends in it is another profile.
    QCOMPARE(ProfileFile::save(path(), QStringLiteral("bank"), 12, Scheme::Compatible), R::Saved);
    QCOMPARE(ProfileFile::save(path(), QStringLiteral("bank"), 12, Scheme::Compatible), R::AlreadySaved);
    QCOMPARE(ProfileFile::save(path(), QStringLiteral("Bank"), 12, Scheme::Compatible), R::Saved);
    QCOMPARE(ProfileFile::save(path(), QStringLiteral("bank"), 16, Scheme::Compatible), R::Saved);
    QCOMPARE(ProfileFile::save(path(), QStringLiteral("bank"), 12, Scheme::Strong), R::Saved);
    QCOMPARE(ProfileFile::save(path(), QStringLiteral("bank"), 12, Scheme::Strong), R::AlreadySaved);
    QCOMPARE(ProfileFile::save(path(), QStringLiteral(" "), 4, Scheme::Compatible), R::Saved);
    QCOMPARE(fileBytes(path()),
             QByteArray("mybank|12\r\nbank|12\r\nBank|12\r\nbank|16\r\nbank|12|strong\r\n |4\r\n"));
}

void TestProfileFile::removeKeepsEveryOtherLine()
{
    writeFile(path(), "L1|8\r\nbank|12\r\n\r\nmybank|12\nnot a profile\r\r\nbank|12\r\nL3|4|strong");
    QCOMPARE(ProfileFile::remove(path(), QStringLiteral("bank|12")), ProfileFile::RemoveResult::Removed);
    QCOMPARE(fileBytes(path()), QByteArray("L1|8\r\n\r\nmybank|12\r\nnot a profile\r\nL3|4|strong\r\n"));
    QCOMPARE(ProfileFile::remove(path(), QString()), ProfileFile::RemoveResult::Removed);
    QCOMPARE(fileBytes(path()), QByteArray("L1|8\r\nmybank|12\r\nnot a profile\r\nL3|4|strong\r\n"));
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
    QVERIFY(ProfileFile::readLines(procFile, &lines));
    QCOMPARE(lines.size(), 1);
    QCOMPARE(ProfileFile::remove(procFile, lines.first()), ProfileFile::RemoveResult::Failed);
    QStringList after;
    QVERIFY(ProfileFile::readLines(procFile, &after));
    QCOMPARE(after, lines);
}

QTEST_GUILESS_MAIN(TestProfileFile)
#include "TestProfileFile.moc"
