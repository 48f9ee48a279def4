#include "clipboard.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>

#include <memory>

namespace {

const char historyMark[] = "x-kde-passwordManagerHint";

}

Clipboard::Clipboard(int ms, QObject *parent)
    : QObject(parent), clearMs(ms)
{
    ticker.setInterval(qMin(1000, clearMs));
    connect(&ticker, &QTimer::timeout, this, &Clipboard::tick);
    connect(QGuiApplication::clipboard(), &QClipboard::changed, this, &Clipboard::adopt);
}

Clipboard::~Clipboard()
{
    disconnect(QGuiApplication::clipboard(), nullptr, this, nullptr);
    clearIfOurs();
}

void Clipboard::put(const QString &text, QClipboard::Mode mode)
{
    auto *data = new QMimeData;
    data->setText(text);
    // Clipboard histories that honour these keep the password out: KDE's Klipper, CopyQ from
    // 7.1, Windows' history and cloud clipboard, macOS pasteboard managers.
    data->setData(QString::fromLatin1(historyMark), QByteArrayLiteral("secret"));
    data->setData(QStringLiteral("ExcludeClipboardContentFromMonitorProcessing"), QByteArrayLiteral("1"));
    data->setData(QStringLiteral("application/x-nspasteboard-concealed-type"), QByteArrayLiteral("secret"));
    writing = true;
    QGuiApplication::clipboard()->setMimeData(data, mode);
    writing = false;
    Copy &copy = copyOf(mode);
    copy.text = text;
    copy.since.start();
    ticker.start();
    tick();
}

void Clipboard::setPassword(const QString &text)
{
    put(text, QClipboard::Clipboard);
}

void Clipboard::watch(QLineEdit *output)
{
    watched = output;
    output->installEventFilter(this);
    output->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(output, &QWidget::customContextMenuRequested, this, &Clipboard::showFieldMenu);
}

bool Clipboard::eventFilter(QObject *object, QEvent *event)
{
    // Ctrl+C in the field copies through here.
    if (object != watched || event->type() != QEvent::KeyPress
        || !static_cast<QKeyEvent *>(event)->matches(QKeySequence::Copy))
        return false;
    if (watched->hasSelectedText() && watched->echoMode() == QLineEdit::Normal)
        put(watched->selectedText(), QClipboard::Clipboard);
    return true;
}

void Clipboard::showFieldMenu(const QPoint &position)
{
    // The field's own menu; what its Copy puts on the clipboard is taken over as it happens.
    const std::unique_ptr<QMenu> menu(watched->createStandardContextMenu());
    fieldCopying = true;
    menu->exec(watched->mapToGlobal(position));
    fieldCopying = false;
}

void Clipboard::adopt(QClipboard::Mode mode)
{
    if (writing || !watched || (mode != QClipboard::Clipboard && mode != QClipboard::Selection))
        return;
    // Only a copy the field made: another program's copy is not ours, whatever it holds, nor
    // this program's copy of another field.
    QClipboard *system = QGuiApplication::clipboard();
    const bool owned = mode == QClipboard::Clipboard ? system->ownsClipboard() : system->ownsSelection();
    const bool ownCopy = fieldCopying || (owned && watched->hasFocus());
    if (!ownCopy)
        return;
    const QMimeData *data = system->mimeData(mode);
    if (!data || data->hasFormat(QString::fromLatin1(historyMark)))
        return;
    const QString text = data->text();
    const QString shown = watched->text();
    if (!text.isEmpty() && !shown.isEmpty() && shown.contains(text))
        put(text, mode);
}

bool Clipboard::holdsOurPassword(QClipboard::Mode mode) const
{
    const Copy &copy = copyOf(mode);
    if (copy.text.isEmpty())
        return false;
    // On Wayland a client that lost the focus may not see another program's copy; our own copy
    // is still the selection exactly while the compositor has not cancelled it.
    QClipboard *system = QGuiApplication::clipboard();
    if (onWayland())
        return mode == QClipboard::Selection ? system->ownsSelection() : system->ownsClipboard();
    return system->text(mode) == copy.text;
}

bool Clipboard::onWayland()
{
    const QString platform = QGuiApplication::platformName();
    return platform.startsWith(QLatin1String("wayland"))
           || (platform == QLatin1String("xcb") && qEnvironmentVariableIsSet("WAYLAND_DISPLAY"));
}

bool Clipboard::clearOnWayland(QClipboard::Mode mode)
{
    if (!onWayland())
        return true;
    const QString helper = QStandardPaths::findExecutable(QStringLiteral("wl-copy"));
    if (helper.isEmpty()) {
        clearProblem = QStringLiteral("The clipboard cannot be cleared on Wayland without wl-copy: install the package "
                                      "wl-clipboard. The password stays there until something else is copied");
        return false;
    }
    QProcess clear;
    clear.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    clear.start(helper, mode == QClipboard::Selection ? QStringList{QStringLiteral("--primary"), QStringLiteral("--clear")}
                                                      : QStringList{QStringLiteral("--clear")});
    if (!clear.waitForFinished(5000)) {
        clear.kill();
        clear.waitForFinished(1000);
    }
    if (clear.exitStatus() == QProcess::NormalExit && clear.exitCode() == 0)
        return true;
    clearProblem = QStringLiteral("The clipboard could not be cleared: wl-copy --clear failed");
    return false;
}

bool Clipboard::clearMode(QClipboard::Mode mode)
{
    bool cleared = false;
    if (holdsOurPassword(mode)) {
        // The compositor's selection first, while it is still ours; then our own copy.
        cleared = clearOnWayland(mode);
        writing = true;
        QGuiApplication::clipboard()->clear(mode);
        writing = false;
    }
    copyOf(mode).text = QString();
    return cleared;
}

void Clipboard::clearNow()
{
    clearIfOurs();
}

bool Clipboard::clearIfOurs()
{
    const bool counting = !clipboard.text.isEmpty();
    const bool ours = holdsOurPassword(QClipboard::Clipboard);
    const bool cleared = clearMode(QClipboard::Clipboard);
    clearMode(QClipboard::Selection);
    ticker.stop();
    if (ours && counting)
        emit status(cleared ? QStringLiteral("Clipboard cleared") : clearProblem);
    return cleared;
}

void Clipboard::tick()
{
    if (!selection.text.isEmpty() && selection.since.elapsed() >= clearMs)
        clearMode(QClipboard::Selection);
    if (clipboard.text.isEmpty()) {
        if (selection.text.isEmpty())
            ticker.stop();
        return;
    }
    const qint64 left = clearMs - clipboard.since.elapsed();
    if (left <= 0) {
        // Nothing to say when something else is on the clipboard by now: we did not clear it.
        const bool ours = holdsOurPassword(QClipboard::Clipboard);
        const bool cleared = clearMode(QClipboard::Clipboard);
        emit status(cleared ? QStringLiteral("Clipboard cleared") : ours ? clearProblem : QString());
        if (selection.text.isEmpty())
            ticker.stop();
        return;
    }
    emit status(QStringLiteral("Clipboard clears in %1 s").arg((left + 999) / 1000));
    // The last step ends exactly when the time is up.
    ticker.setInterval(int(qMin<qint64>(left - (left - 1) / 1000 * 1000, 1000)));
}
