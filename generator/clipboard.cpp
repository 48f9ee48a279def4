#include "clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

Clipboard::Clipboard(int ms, QObject *parent)
    : QObject(parent), clearMs(ms)
{
    ticker.setInterval(qMin(1000, clearMs));
    connect(&ticker, &QTimer::timeout, this, &Clipboard::tick);
}

Clipboard::~Clipboard()
{
    clearIfOurs();
}

void Clipboard::setPassword(const QString &text)
{
    auto *data = new QMimeData;
    data->setText(text);
    // Clipboard histories that honour these keep the password out: KDE's Klipper and others,
    // Windows' history and cloud clipboard, macOS pasteboard managers.
    data->setData(QStringLiteral("x-kde-passwordManagerHint"), QByteArrayLiteral("secret"));
    data->setData(QStringLiteral("ExcludeClipboardContentFromMonitorProcessing"), QByteArrayLiteral("1"));
    data->setData(QStringLiteral("application/x-nspasteboard-concealed-type"), QByteArrayLiteral("secret"));
    QGuiApplication::clipboard()->setMimeData(data, QClipboard::Clipboard);
    password = text;
    since.start();
    ticker.start();
    tick();
}

bool Clipboard::holdsOurPassword() const
{
    return !password.isEmpty() && QGuiApplication::clipboard()->text(QClipboard::Clipboard) == password;
}

void Clipboard::clearNow()
{
    QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
    const bool counting = ticker.isActive();
    forget();
    if (counting)
        emit status(QStringLiteral("Clipboard cleared"));
}

bool Clipboard::clearIfOurs()
{
    const bool ours = holdsOurPassword();
    if (ours)
        QGuiApplication::clipboard()->clear(QClipboard::Clipboard);
    const bool counting = ticker.isActive();
    forget();
    if (ours && counting)
        emit status(QStringLiteral("Clipboard cleared"));
    return ours;
}

void Clipboard::forget()
{
    ticker.stop();
    password = QString();
}

void Clipboard::tick()
{
    const qint64 left = clearMs - since.elapsed();
    if (left <= 0) {
        if (!clearIfOurs()) {
            forget();
            emit status(QString());   // something else is on the clipboard now: nothing to say
        }
        return;
    }
    emit status(QStringLiteral("Clipboard clears in %1 s").arg((left + 999) / 1000));
    // The last step ends exactly when the time is up.
    ticker.setInterval(int(qMin<qint64>(left - (left - 1) / 1000 * 1000, 1000)));
}
