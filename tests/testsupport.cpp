#include "testsupport.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
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
