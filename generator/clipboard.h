#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

// Owns what the program puts on the system clipboard: the password, marked for the clipboard
// histories of each system to leave out, and cleared again a while later, or at quit, but only
// while the clipboard still holds it: what another program put there meanwhile stays.
class Clipboard : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultClearMs = 20000;

    explicit Clipboard(int clearMs = defaultClearMs, QObject *parent = nullptr);
    ~Clipboard() override;   // clears the clipboard if it still holds our password

    // Puts the password on the clipboard and starts the count again.
    void setPassword(const QString &password);
    // Empties the clipboard whatever it holds, as "Clear Parameters" does.
    void clearNow();
    // Empties it only if it still holds our password; true when it did.
    bool clearIfOurs();

    bool holdsOurPassword() const;

signals:
    // "Clipboard clears in 12 s" each second, then "Clipboard cleared".
    void status(const QString &text);

private:
    void tick();
    void forget();

    QString password;
    QTimer ticker;
    QElapsedTimer since;
    int clearMs;
};
