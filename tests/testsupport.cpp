#include "testsupport.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QFileInfo>
#include <QMutex>
#include <QTextBrowser>
#include <QTextEdit>
#include <QTimer>
#include <QWidget>

namespace TestSupport {

QList<QStringList> readTsv(const QString &name)
{
    QFile file(QStringLiteral(QUORVANE_TEST_DATA "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("cannot open test data %s", qPrintable(name));
    QList<QStringList> rows;
    const QList<QByteArray> lines = file.readAll().split('\n');
    for (QByteArray line : lines) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.startsWith('#') || (line.isEmpty()))
            continue;
        rows.append(QString::fromUtf8(line).split(QLatin1Char('\t')));
    }
    return rows;
}

QList<Vector> vectors()
{
    QList<Vector> all;
    auto add = [&](const QString &file, const Recipe &recipe, const QString &phrase, const QString &password,
                   const QString &entropy = QString()) { all.append({file, recipe, phrase, password, entropy}); };
    for (const QStringList &f : readTsv(QStringLiteral("compatible-passwords.tsv"))) {
        Recipe r = Recipe::defaults(Scheme::Compatible);
        r.identifier = fromHexUnits(f.value(1));
        r.length = f.value(2).toInt();
        add(QStringLiteral("compatible-passwords.tsv"), r, fromHexUnits(f.value(0)), f.value(3));
    }
    for (const QStringList &f : readTsv(QStringLiteral("strong-passwords.tsv"))) {
        Recipe r = Recipe::defaults(Scheme::Strong);
        r.identifier = fromHexUnits(f.value(1));
        r.length = f.value(2).toInt();
        add(QStringLiteral("strong-passwords.tsv"), r, fromHexUnits(f.value(0)), f.value(3));
    }
    for (const QString &file : {QStringLiteral("strong-rules.tsv"), QStringLiteral("site-rules.tsv")}) {
        for (const QStringList &f : readTsv(file)) {
            Recipe r = Recipe::defaults(Scheme::Strong);
            r.identifier = fromHexUnits(f.value(1));
            r.length = f.value(2).toInt();
            if (!Rule::parse(f.value(3), &r.rule))
                qFatal("rule %s of %s", qPrintable(f.value(3)), qPrintable(file));
            r.counter = f.value(4).toUInt();
            add(file, r, fromHexUnits(f.value(0)), f.value(5), f.value(6));
        }
    }
    // Passphrases: the phrase with "\n" written as "\\n", the identifier and the rule as they are.
    for (const QStringList &f : readTsv(QStringLiteral("strong-words.tsv"))) {
        Recipe r = Recipe::defaults(Scheme::Strong);
        r.identifier = f.value(1);
        r.length = f.value(2).toInt();
        if (!Rule::parse(f.value(3), &r.rule))
            qFatal("rule %s of strong-words.tsv", qPrintable(f.value(3)));
        r.counter = f.value(4).toUInt();
        add(QStringLiteral("strong-words.tsv"), r, QString(f.value(0)).replace(QLatin1String("\\n"), QLatin1String("\n")),
            f.value(5), f.value(6));
    }
    for (const QStringList &f : readTsv(QStringLiteral("lesspass-passwords.tsv"))) {
        Recipe r = Recipe::defaults(Scheme::LessPass);
        r.identifier = f.value(0);
        r.login = f.value(1);
        r.classes = f.value(3);
        r.length = f.value(4).toInt();
        r.counter = f.value(5).toUInt();
        add(QStringLiteral("lesspass-passwords.tsv"), r, f.value(2), f.value(6));
    }
    for (const QStringList &f : readTsv(QStringLiteral("spectre-passwords.tsv"))) {
        Recipe r = Recipe::defaults(Scheme::Spectre);
        r.algorithm = f.value(0).toInt();
        r.userName = f.value(1);
        r.identifier = f.value(3);
        r.templateName = f.value(4);
        r.counter = f.value(5).toUInt();
        if (!Spectre::purposeFromName(f.value(6), &r.purpose))
            qFatal("purpose %s", qPrintable(f.value(6)));
        r.context = f.value(7);
        add(QStringLiteral("spectre-passwords.tsv"), r, f.value(2), f.value(8));
    }
    return all;
}

Recipe profileRecipe(const QString &identifier, int length, Scheme scheme, const Rule &rule, int counter)
{
    Recipe r = Recipe::defaults(scheme);
    r.identifier = identifier;
    r.length = length;
    r.rule = rule;
    r.counter = quint32(counter);
    return r;
}

QString fromHexUnits(const QString &hex)
{
    QString text;
    for (int i = 0; i + 4 <= hex.size(); i += 4)
        text.append(QChar(ushort(hex.midRef(i, 4).toUInt(nullptr, 16))));
    return text;
}

QString toHexUnits(const QString &text)
{
    QString hex;
    for (const QChar c : text)
        hex += QStringLiteral("%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    return hex;
}

TempHome::TempHome()
    : oldHome(qgetenv("HOME")), oldConfig(qgetenv("XDG_CONFIG_HOME"))
{
    qputenv("HOME", QFile::encodeName(dir.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path() + QStringLiteral("/.config")));
}

TempHome::~TempHome()
{
    qputenv("HOME", oldHome);
    qputenv("XDG_CONFIG_HOME", oldConfig);
}

QString TempHome::dataFolder() const
{
    return dir.path() + QStringLiteral("/Documents/Quorvane/");
}

QString TempHome::profileFile() const
{
    return dataFolder() + QStringLiteral("zavdata.txt");
}

namespace {
QMutex captureMutex;
QList<TraceLine> *captured = nullptr;

void collect(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    QMutexLocker lock(&captureMutex);
    if (captured && type == QtDebugMsg)
        captured->append({message, QString::fromUtf8(context.file), QString::fromUtf8(context.function), context.line});
}
}

TraceCapture::TraceCapture()
{
    QMutexLocker lock(&captureMutex);
    captured = new QList<TraceLine>;
    previous = qInstallMessageHandler(collect);
}

TraceCapture::~TraceCapture()
{
    qInstallMessageHandler(previous);
    QMutexLocker lock(&captureMutex);
    delete captured;
    captured = nullptr;
}

QList<TraceLine> TraceCapture::lines() const
{
    QMutexLocker lock(&captureMutex);
    return *captured;
}

QStringList TraceCapture::messages() const
{
    QStringList result;
    for (const TraceLine &line : lines())
        result.append(line.message);
    return result;
}

namespace {
ModalSeen describe(QWidget *w)
{
    ModalSeen seen;
    seen.className = QString::fromLatin1(w->metaObject()->className());
    seen.title = w->windowTitle();
    if (auto *edit = w->findChild<QTextEdit *>())
        seen.text = edit->toPlainText();
    return seen;
}
}

QList<ModalSeen> answerModals(const std::function<void()> &action, const std::function<bool(QWidget *)> &act)
{
    QList<ModalSeen> seen;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal->property("quorvaneAnswered").toBool())
            return;
        modal->setProperty("quorvaneAnswered", true);
        seen.append(describe(modal));
        // Answer from a posted call, not from this timer: Qt does not fire a timer again while
        // its own handler runs, so a window that the answer opens could not be answered.
        QMetaObject::invokeMethod(modal, [modal, act] {
            if (!act || !act(modal))
                modal->close();
        }, Qt::QueuedConnection);
    });
    timer.start(5);
    action();
    timer.stop();
    return seen;
}

Run runProgram(const QString &program, const QStringList &args, const QByteArray &input, int timeoutMs)
{
    QProcess process;
    process.start(program, args);
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(timeoutMs))
        qFatal("%s did not finish", qPrintable(program));
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1, process.readAllStandardOutput(),
            process.readAllStandardError()};
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

void writeFile(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(path));
    file.write(bytes);
}

}
