#include "main.h"
#include "profilestate.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtTest>

using namespace TestSupport;

class TestStartup : public QObject
{
    Q_OBJECT

private slots:
    void firstAndSecondStart();
    void folderWithoutFile();
    void traceLinesInOrder();
    void userNameInTrace_data();
    void userNameInTrace();
    void unwritableHomeKeepsRunning();
    void interfaceList();
};

void TestStartup::firstAndSecondStart()
{
    TempHome home;
    QVERIFY(!QFileInfo::exists(home.dataFolder()));
    {
        TraceCapture trace;
        Start_up();
        QVERIFY(trace.messages().contains(QStringLiteral("create the file")));
    }
    QCOMPARE(profile_file_path, home.profileFile());
    QVERIFY(QFileInfo(home.profileFile()).isFile());
    QCOMPARE(QFileInfo(home.profileFile()).size(), 0);

    // A later start leaves the file exactly as the user left it.
    const QByteArray content("bank|16\r\nmy bank|12\r\nlast|8");
    writeFile(home.profileFile(), content);
    TraceCapture trace;
    Start_up();
    QVERIFY(trace.messages().contains(QStringLiteral("file already exists - do nothing")));
    QVERIFY(!trace.messages().contains(QStringLiteral("create the file")));
    QCOMPARE(fileBytes(home.profileFile()), content);
}

void TestStartup::folderWithoutFile()
{
    TempHome home;
    QVERIFY(QDir().mkpath(home.dataFolder()));
    writeFile(home.dataFolder() + QStringLiteral("other.txt"), "keep");
    Start_up();
    QCOMPARE(fileBytes(home.profileFile()), QByteArray());
    QVERIFY(QFileInfo(home.profileFile()).isFile());
    QCOMPARE(fileBytes(home.dataFolder() + QStringLiteral("other.txt")), QByteArray("keep"));
}

void TestStartup::traceLinesInOrder()
{
    TempHome home;
    qputenv("USERNAME", "alice");
    TraceCapture trace;
    Start_up();
    const QList<TraceLine> lines = trace.lines();
    QStringList messages = trace.messages();

    QCOMPARE(messages.value(0), QStringLiteral("debug from int main"));
    QCOMPARE(messages.value(1), QStringLiteral("\"") + List_interfaces() .replace(QLatin1Char('\n'), QStringLiteral("\\n"))
                                    + QStringLiteral("\""));
    int next = 2;
#if defined(Q_PROCESSOR_X86_64)
    QCOMPARE(messages.value(next++), QStringLiteral("win64"));
    QCOMPARE(messages.value(next++), QStringLiteral("9"));
#endif
    const QStringList fixed = {QStringLiteral("processor_architecture_intel"), QStringLiteral("0"),
                               QStringLiteral("processor_architecture_amd64"), QStringLiteral("9"),
                               QStringLiteral("processor_architecture_intel_ia32_on_win64"), QStringLiteral("10"),
                               QStringLiteral("alice"), QStringLiteral("\"alice\""),
                               QStringLiteral("\"") + home.dataFolder() + QStringLiteral("\""),
                               QStringLiteral("\"") + home.profileFile() + QStringLiteral("\""),
                               QStringLiteral("create the file")};
    QCOMPARE(messages.mid(next), fixed);

    // Every line says where it comes from, in release builds too.
    for (const TraceLine &line : lines) {
        QVERIFY(line.file.endsWith(QLatin1String("main.cpp")));
        QVERIFY(line.function.contains(QLatin1String("Start_up")));
        QVERIFY(line.line > 0);
    }
}

void TestStartup::userNameInTrace_data()
{
    QTest::addColumn<bool>("set");
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QString>("decoded");
    QTest::newRow("unset") << false << QByteArray() << QString();
    QTest::newRow("utf-8") << true << QByteArray("J\xC3\xB6rg") << QString::fromUtf16(u"J\u00f6rg");
    QTest::newRow("not utf-8") << true << QByteArray("J\xF6rg") << QString::fromUtf16(u"J\ufffdrg");
}

void TestStartup::userNameInTrace()
{
    QFETCH(bool, set);
    QFETCH(QByteArray, value);
    QFETCH(QString, decoded);
    TempHome home;
    if (set)
        qputenv("USERNAME", value);
    else
        qunsetenv("USERNAME");
    TraceCapture trace;
    Start_up();
    const QStringList messages = trace.messages();
    const int at = messages.indexOf(QStringLiteral("10"));
    QVERIFY(at > 0);
    QCOMPARE(messages.value(at + 1), decoded);
    QCOMPARE(messages.value(at + 2), QStringLiteral("\"") + decoded + QStringLiteral("\""));
    // The user name does not decide the data folder outside Windows, and start-up completes.
    QCOMPARE(profile_file_path, home.profileFile());
    QVERIFY(QFileInfo::exists(home.profileFile()));
}

void TestStartup::unwritableHomeKeepsRunning()
{
    // A file where the documents folder should be: no folder can be made there, even by root.
    TempHome home;
    writeFile(home.path() + QStringLiteral("/Documents"), "not a folder");
    TraceCapture trace;
    Start_up();
    QCOMPARE(profile_file_path, home.profileFile());
    QVERIFY(!QFileInfo::exists(home.profileFile()));
    QVERIFY(trace.messages().contains(QStringLiteral("create the file")));
}

void TestStartup::interfaceList()
{
    const QString list = List_interfaces();
    if (list.isEmpty())
        return;   // a machine without interfaces gives the empty text
    QVERIFY(list.endsWith(QLatin1Char('\n')));
    for (const QString &line : list.split(QLatin1Char('\n'), Qt::SkipEmptyParts))
        QVERIFY(line.startsWith(QLatin1String("Interface:")));
}

QTEST_MAIN(TestStartup)
#include "TestStartup.moc"
