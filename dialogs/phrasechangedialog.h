#pragma once

#include "batch.h"

#include <QDialog>
#include <QHash>
#include <QString>

#include <functional>

namespace Ui { class phrasechangedialog; }

class QTreeWidgetItem;

// The assistant for a change of the secret phrase: the previous phrase and the new one (twice),
// each with its fingerprint; then every saved profile with its previous password and its new
// one (made in the background, hidden until shown, each copied as a password is copied) and a
// Moved mark, set once the site has taken the new password. A mark is written at once, under the
// profile file's lock and re-read first, so closing mid-way keeps it and opening again goes on
// where the user stopped; when the last profile moves, the change ends. Both phrases and every
// password are wiped when it closes.
class phrasechangedialog : public QDialog
{
    Q_OBJECT

public:
    // A Copy press hands its password to copyPassword (the window's clipboard).
    phrasechangedialog(const QString &profilePath, std::function<void(const QString &)> copyPassword,
                       QWidget *parent = nullptr);
    ~phrasechangedialog() override;   // stops the derivations, wipes phrases and passwords

    // Whether every password of the list has been made (for tests and the benchmark).
    bool allMade() const;

signals:
    // What the window's status bar may say about it.
    void status(const QString &text);

private slots:
    void on_startbutton_clicked();
    void on_closebutton_clicked();
    void on_copypreviousbutton_clicked();
    void on_copynewbutton_clicked();
    void on_showbox_toggled(bool shown);

protected:
    void done(int result) override;

private:
    static QSize &keptSize();   // the size the dialog was left at, while the program runs
    class QLineEdit *filter = nullptr;
    bool confirming = false;   // the first Start asked whether to begin a change
    QHash<int, int> upgradeOf;   // batch index of a strong version -> its compatible row
    void finishedMaking();
    void moveToStrong();
    QString startText;
    void say(const QString &text);
    void derived(int row, int phrase, const QString &password);
    void markChanged(QTreeWidgetItem *item, int column);
    void showPassword(QTreeWidgetItem *item, int column);
    void copy(int column);
    // Stops the derivations and empties the list, wiping its passwords.
    void stop();

    Ui::phrasechangedialog *ui;
    QString path;
    std::function<void(const QString &)> copyPassword;
    Batch::Background batch;
    int made = 0;
    int wanted = 0;
};
