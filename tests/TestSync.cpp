#include "deletions.h"
#include "pagematch.h"
#include "phrasechange.h"
#include "profilefile.h"
#include "sync.h"
#include "testsupport.h"

#include <QDir>
#include <QProcess>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

// One machine: a data folder of its own, changed as the program changes it.
struct Machine
{
    QTemporaryDir dir;
    QString folder() const { return dir.path() + QStringLiteral("/Quorvane"); }
    QString file() const { return folder() + QStringLiteral("/zavdata.txt"); }
    void save(const QString &line) const { QVERIFY(ProfileFile::saveLine(file(), line) == ProfileFile::SaveResult::Saved); }
    void remove(const QString &line) const { QVERIFY(ProfileFile::remove(file(), line) == ProfileFile::RemoveResult::Removed); }
    QStringList lines() const
    {
        QStringList read;
        ProfileFile::readLines(file(), &read);
        return read;
    }
};

// A sync: the other machine's data files copied here, as the sync tool delivers them. In a
// conflict, the other side's profile file and record arrive as conflict copies, named as the
// tool names them.
void deliver(const Machine &from, const Machine &to, const QString &conflictName = QString(),
             const QString &recordConflictName = QString())
{
    for (const QString &name : {QStringLiteral("zavdata.txt"), QStringLiteral("deletions.txt")}) {
        const QString source = from.folder() + QLatin1Char('/') + name;
        if (!QFileInfo::exists(source))
            continue;
        const bool profile = name == QLatin1String("zavdata.txt");
        const QString rename = profile ? conflictName : recordConflictName;
        const QString target = to.folder() + QLatin1Char('/') + (rename.isEmpty() ? name : rename);
        QDir().mkpath(to.folder());
        QFile::remove(target);
        QVERIFY(QFile::copy(source, target));
    }
}

}

// Profiles on several machines: the sync tools' conflict copies found by name, merged into the
// profile file so that deletes stay deleted and nothing added is lost.
class TestSync : public QObject
{
    Q_OBJECT

private slots:
    void copiesByName();
    void mergeTable();
    void twoMachines();
    void copiesThatCannotBeRead();
    void deletionsRecord();
    void everyDoorMerges();
};

void TestSync::copiesByName()
{
    const QStringList copies{
        "zavdata.sync-conflict-20261208-101530-ABCDEFG.txt",
        "zavdata (conflicted copy 2026-12-08 101530).txt",
        "zavdata (conflicted copy alice 2026-12-08 101530).txt",
        "zavdata_conflict-20261208-101530.txt",
        "zavdata (Alice's conflicted copy 2026-12-08).txt",
        "zavdata (Bob\u2019s conflicted copy 2026-12-08 (1)).txt",
        "zavdata (SFConflict alice@example.com 2026-12-08-10-15-30).txt",
    };
    const QStringList lookAlike{
        "zavdata.txt", "zavdata.txt.bak", "zavdata-old.txt", "zavdata.sync-conflict-20261208-101530-ABCDEFG.txt.tmp",
        "other.sync-conflict-20261208-101530-ABCDEFG.txt", "deletions.sync-conflict-20261208-101530-ABCDEFG.txt",
        "zavdata (conflicted copy).txt", "zavdata.sync-conflict-2026-12-08.txt", "zavdata (copy).txt",
        "zavdata (Alice's conflicted copy 2026-12-08).json", "notes (Alice's conflicted copy 2026-12-08).txt",
    };
    QCOMPARE(Sync::conflictCopies(QStringLiteral("zavdata.txt"), copies + lookAlike), copies);
    QCOMPARE(Sync::conflictCopies(QStringLiteral("deletions.txt"), lookAlike),
             QStringList{"deletions.sync-conflict-20261208-101530-ABCDEFG.txt"});
}

void TestSync::mergeTable()
{
    struct Case
    {
        const char *name;
        QStringList file;
        QList<QStringList> copies;
        QStringList deleted;
        QStringList merged;
    };
    const QList<Case> cases{
        {"each side adds", {"a|8", "x|8"}, {{"a|8", "y|8"}}, {}, {"a|8", "x|8", "y|8"}},
        {"both add the same", {"a|8", "x|8"}, {{"x|8", "a|8"}}, {}, {"a|8", "x|8"}},
        {"a delete against an add", {"a|8"}, {{"a|8", "b|8", "y|8"}}, {"b|8"}, {"a|8", "y|8"}},
        {"deleted here, still in the copy", {"b|8"}, {{"a|8", "b|8"}}, {"a|8"}, {"b|8"}},
        {"deleted in the file too", {"a|8", "b|8"}, {{"b|8"}}, {"a|8"}, {"b|8"}},
        {"a version bump", {"bank|16|strong|base64|2"}, {{"bank|16|strong"}}, {"bank|16|strong"}, {"bank|16|strong|base64|2"}},
        {"a phrase mark travels", {"bank|16|strong"}, {{"bank|16|strong|#2"}}, {"bank|16|strong"}, {"bank|16|strong|#2"}},
        {"two copies", {"a|8"}, {{"b|8"}, {"c|8", "b|8"}}, {}, {"a|8", "b|8", "c|8"}},
        {"no record: nothing lost", {"a|8"}, {{"b|8"}}, {}, {"a|8", "b|8"}},
        {"empty lines", {"a|8", "", "b|8"}, {{"", "c|8", ""}}, {}, {"a|8", "", "b|8", "c|8"}},
    };
    for (const Case &c : cases)
        QVERIFY2(Sync::merge(c.file, c.copies, QSet<QString>(c.deleted.begin(), c.deleted.end())) == c.merged, c.name);
}

void TestSync::twoMachines()
{
    Machine laptop;
    Machine desktop;
    laptop.save(QStringLiteral("shared|16|strong"));
    laptop.save(QStringLiteral("gone|8"));
    laptop.save(QStringLiteral("bank|16|strong"));
    deliver(laptop, desktop);
    QCOMPARE(desktop.lines(), laptop.lines());

    // Apart: each adds, each deletes, both add the same, one bumps a version, one deletes what
    // the other adds again.
    laptop.save(QStringLiteral("x|8"));
    desktop.save(QStringLiteral("y|8"));
    laptop.save(QStringLiteral("both|12"));
    desktop.save(QStringLiteral("both|12"));
    laptop.remove(QStringLiteral("gone|8"));
    desktop.remove(QStringLiteral("gone|8"));
    QVERIFY(ProfileFile::replace(desktop.file(), QStringLiteral("bank|16|strong"), QStringLiteral("bank|16|strong|base64|2"))
            == ProfileFile::RemoveResult::Removed);
    laptop.remove(QStringLiteral("shared|16|strong"));

    // They meet: Syncthing keeps the desktop's as the file, the laptop's as a copy.
    deliver(laptop, desktop, QStringLiteral("zavdata.sync-conflict-20261208-101530-LAPTOP1.txt"),
            QStringLiteral("deletions.sync-conflict-20261208-101530-LAPTOP1.txt"));
    const Sync::Report report = Sync::mergeCopies(desktop.file());
    QCOMPARE(report.merged, (QStringList{"zavdata.sync-conflict-20261208-101530-LAPTOP1.txt",
                                         "deletions.sync-conflict-20261208-101530-LAPTOP1.txt"}));
    QVERIFY(report.left.isEmpty() && !report.noDeletions);
    // A delete recorded on either side wins; what was added on either side stays.
    QCOMPARE(desktop.lines(), (QStringList{"bank|16|strong|base64|2", "y|8", "both|12", "x|8"}));
    // The copies moved aside, for the sync tool to carry; nothing merges twice.
    QCOMPARE(QDir(Sync::mergedFolder(desktop.file())).entryList(QDir::Files).size(), 2);
    QVERIFY(Sync::mergeCopies(desktop.file()).isEmpty());
    const QByteArray merged = fileBytes(desktop.file());

    // The laptop then gets the merged file (no conflict): the same set on both.
    deliver(desktop, laptop);
    QCOMPARE(laptop.lines(), desktop.lines());
    QCOMPARE(fileBytes(desktop.file()), merged);

    // Without a record of deletions (an older version, a hand edit): every line is kept, and
    // that a delete may come back is said.
    Machine older;
    writeFile(older.file(), "a|8\r\n");
    writeFile(older.folder() + QStringLiteral("/zavdata (conflicted copy 2026-12-08 101530).txt"), "a|8\r\nb|8\r\n");
    const Sync::Report withoutRecord = Sync::mergeCopies(older.file());
    QVERIFY(withoutRecord.noDeletions);
    QVERIFY(withoutRecord.messages().join(' ').contains(QLatin1String("may have come back")));
    QCOMPARE(older.lines(), (QStringList{"a|8", "b|8"}));
}

void TestSync::copiesThatCannotBeRead()
{
    // A folder, a FIFO, an unreadable file, one that is not text, one over the size: left where
    // they are and named; the readable one is merged.
    Machine machine;
    machine.save(QStringLiteral("a|8"));
    const QString folder = machine.folder();
    QDir().mkpath(folder + QStringLiteral("/zavdata (conflicted copy 2026-12-08 101530).txt"));
    QVERIFY(mkfifo(QFile::encodeName(folder + QStringLiteral("/zavdata_conflict-20261208-101530.txt")).constData(), 0600) == 0);
    writeFile(folder + QStringLiteral("/zavdata (Alice's conflicted copy 2026-12-08).txt"), QByteArray("b|8\r\n\0\0", 7));
    writeFile(folder + QStringLiteral("/zavdata.sync-conflict-20261208-101530-ABCDEFG.txt"), "c|8\r\n");
    const QString unreadable = folder + QStringLiteral("/zavdata (SFConflict a@example.com 2026-12-08-10-15-30).txt");
    writeFile(unreadable, "d|8\r\n");
    QFile::setPermissions(unreadable, QFileDevice::Permissions());
    const bool root = geteuid() == 0;   // root reads it all the same

    const Sync::Report report = Sync::mergeCopies(machine.file());
    // The copies in the order of their names.
    QCOMPARE(machine.lines(), root ? (QStringList{"a|8", "d|8", "c|8"}) : (QStringList{"a|8", "c|8"}));
    QStringList left;
    for (const auto &copy : report.left)
        left << copy.first + QStringLiteral(": ") + copy.second;
    left.sort();
    QCOMPARE(left.size(), root ? 3 : 4);
    QVERIFY2(left.join('\n').contains(QLatin1String("conflicted copy 2026-12-08 101530).txt: is a folder")), qPrintable(left.join('\n')));
    QVERIFY(left.join('\n').contains(QLatin1String("conflicted copy 2026-12-08).txt: is not text")));
    QVERIFY(left.join('\n').contains(QLatin1String("_conflict-20261208-101530.txt: is not a plain file")));
    QVERIFY(QFileInfo(folder + QStringLiteral("/zavdata (Alice's conflicted copy 2026-12-08).txt")).exists());
    for (const QString &message : report.messages())
        QVERIFY(message.startsWith(QLatin1String("merged")) || message.startsWith(QLatin1String("left"))
                || message.startsWith(QLatin1String("no record")));
}

void TestSync::deletionsRecord()
{
    // Every delete writes the line and its time; adding it again takes it out; a replaced line
    // is a delete too. The record is private, as the profile file is.
    Machine machine;
    machine.save(QStringLiteral("a|8"));
    machine.save(QStringLiteral("b|8"));
    machine.remove(QStringLiteral("a|8"));
    QSet<QString> deleted;
    QVERIFY(Deletions::read(Deletions::path(machine.file()), &deleted));
    QCOMPARE(deleted, QSet<QString>{"a|8"});
    QVERIFY(QRegularExpression(QStringLiteral("^\\d{4}-\\d\\d-\\d\\dT\\d\\d:\\d\\d:\\d\\dZ\\ta\\|8\\r\\n$"))
                .match(QString::fromUtf8(fileBytes(Deletions::path(machine.file())))).hasMatch());
    QVERIFY((QFileInfo(Deletions::path(machine.file())).permissions() & (QFileDevice::ReadOther | QFileDevice::ReadGroup)) == 0);
    machine.save(QStringLiteral("a|8"));
    deleted.clear();
    Deletions::read(Deletions::path(machine.file()), &deleted);
    QVERIFY(deleted.isEmpty());
    QVERIFY(ProfileFile::replace(machine.file(), QStringLiteral("b|8"), QStringLiteral("b|16|strong")) == ProfileFile::RemoveResult::Removed);
    Deletions::read(Deletions::path(machine.file()), &deleted);
    QCOMPARE(deleted, QSet<QString>{"b|8"});
}

void TestSync::everyDoorMerges()
{
    // A copy that arrives while programs run: the CLI's commands, the host's lookup and the
    // window's save find the merged set (the window's walk is in TestProfileDialogs).
    TempHome home;
    writeFile(home.profileFile(), "a.example|16|strong\r\n");
    const QString copy = home.dataFolder() + QStringLiteral("/zavdata.sync-conflict-20261208-101530-ABCDEFG.txt");
    writeFile(copy, "a.example|16|strong\r\nonly.example|16|strong\r\n");
    QProcess cli;
    cli.start(QStringLiteral(QUORVANE_CLI), {"profiles", "list"});
    QVERIFY(cli.waitForFinished(30000));
    QCOMPARE(cli.readAllStandardOutput(), QByteArray("a.example|16|strong\nonly.example|16|strong\n"));
    QVERIFY(cli.readAllStandardError().contains("merged zavdata.sync-conflict-20261208-101530-ABCDEFG.txt"));
    QCOMPARE(cli.exitCode(), 0);

    writeFile(copy, "host.example|16|strong\r\n");
    QProcess host;
    host.start(QStringLiteral(QUORVANE_HOST), {"chrome-extension://test/"});
    const QByteArray lookup = R"({"type":"lookup","url":"https://host.example/"})";
    const quint32 size = quint32(lookup.size());
    host.write(QByteArray(reinterpret_cast<const char *>(&size), 4) + lookup);
    host.closeWriteChannel();
    QVERIFY(host.waitForFinished(30000));
    QVERIFY(host.readAllStandardOutput().contains("\"line\":\"host.example|16|strong\""));
    QVERIFY(!QFileInfo::exists(copy));
}

QTEST_GUILESS_MAIN(TestSync)
#include "TestSync.moc"
