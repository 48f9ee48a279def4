#pragma once

#include <QClipboard>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QLineEdit;

// Owns what the program puts on the system clipboard and on the X11 selection: the password,
// marked for the clipboard histories of each system to leave out, and cleared again a while
// later, or at quit, but only while it is still there: what another program put there
// meanwhile stays, and nothing else is ever cleared. Copies that the password field makes
// (Ctrl+C, its context menu, selecting the text) are made or taken over here, so that they are
// marked and cleared too; a copy that another program makes is never taken for ours, whatever
// it holds.
//
// On Wayland (GNOME's mutter among them) the compositor ignores a clear from a client without
// the keyboard focus, or one made with no key pressed since the copy, and its clipboard manager
// keeps a copy of the text that it offers again, unmarked, once we let go. There the clear goes
// through wl-copy --clear (wl-clipboard), which takes the focus for itself, while our copy is
// still the selection; without wl-copy the program says so once, and never says "cleared".
class Clipboard : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultClearMs = 20000;

    explicit Clipboard(int clearMs = defaultClearMs, QObject *parent = nullptr);
    ~Clipboard() override;   // clears what still holds our password

    // Puts the password on the clipboard and starts the count again.
    void setPassword(const QString &password);
    // Makes the field's copies (Ctrl+C, its context menu) here, and takes over the ones this
    // program makes of (part of) its text on the clipboard or the selection.
    void watch(QLineEdit *output);
    // Empties the clipboard and the selection now if they hold our password, as "Clear
    // Parameters" does.
    void clearNow();
    // Empties both only if they still hold our password; true when the clipboard did.
    bool clearIfOurs();

    bool holdsOurPassword(QClipboard::Mode mode = QClipboard::Clipboard) const;
    // A Wayland session: the native platform, or XWayland beside a Wayland compositor.
    static bool onWayland();

signals:
    // "Clipboard clears in 12 s" each second, then "Clipboard cleared"; an empty text when there
    // is nothing more to say.
    void status(const QString &text);

private:
    struct Copy
    {
        QString text;
        QElapsedTimer since;
    };

    void put(const QString &text, QClipboard::Mode mode);
    void adopt(QClipboard::Mode mode);
    bool eventFilter(QObject *object, QEvent *event) override;
    void showFieldMenu(const QPoint &position);
    bool clearMode(QClipboard::Mode mode);
    void tick();
    Copy &copyOf(QClipboard::Mode mode) { return mode == QClipboard::Selection ? selection : clipboard; }
    const Copy &copyOf(QClipboard::Mode mode) const { return mode == QClipboard::Selection ? selection : clipboard; }

    Copy clipboard;
    Copy selection;
    QPointer<QLineEdit> watched;
    QTimer ticker;
    int clearMs;
    bool writing = false;
    bool fieldCopying = false;   // the field's own context menu is open
    QString clearProblem;   // why the last clear of our copy failed, for the status bar
    // Clears the compositor's selection (and its clipboard manager's copy) on Wayland, while
    // our copy is still the selection; true when it did, or when there is no Wayland to clear.
    bool clearOnWayland(QClipboard::Mode mode);
};
