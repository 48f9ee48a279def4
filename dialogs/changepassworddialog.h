#pragma once

#include "batch.h"
#include "recipe.h"

#include <QDialog>
#include <QString>

#include <functional>

namespace Ui { class changepassworddialog; }

// For a site that asks for a new password: the current password of the profile the window
// shows and the next version's, side by side (hidden until shown, each copied as a password is
// copied), both made in the background. Save keeps the next version: in the saved profile's
// place, or as a new profile when it was not saved.
class changepassworddialog : public QDialog
{
    Q_OBJECT

public:
    changepassworddialog(const Recipe &current, const Recipe &next, const QString &phrase, const QString &profilePath,
                         std::function<void(const QString &)> copyPassword, QWidget *parent = nullptr);
    ~changepassworddialog() override;   // waits for the derivations, wipes the passwords

    // Whether Save kept the next version.
    bool saved() const { return kept; }

    // Shows the dialog for the recipe's next version (a notice says why when there is none);
    // true, with the next version in *next, when Save kept it. A Copy press hands its password
    // to copyPassword (the window's clipboard).
    static bool changeVersion(const Recipe &current, const QString &phrase, const QString &profilePath,
                              const std::function<void(const QString &)> &copyPassword, Recipe *next);

private slots:
    void on_savebutton_clicked();
    void on_closebutton_clicked();
    void on_copycurrentbutton_clicked();
    void on_copynextbutton_clicked();
    void on_showbox_toggled(bool shown);

private:
    // Shows both passwords once both are made.
    void derived(int which, const QString &password);

    Ui::changepassworddialog *ui;
    Recipe currentRecipe;
    Recipe nextRecipe;
    QString path;
    std::function<void(const QString &)> copyPassword;
    Batch::Background batch;
    QString made[2];
    int madeCount = 0;
    bool kept = false;
    QString keptLine;       // the line Save wrote, and the one it replaced (empty for a new profile)
    QString replacedLine;
    class QPushButton *saveCurrentButton = nullptr;
    class QPushButton *backButton = nullptr;
    // The saved line of the current profile, on whichever phrase; empty when none is saved.
    QString savedLine() const;
    void goBack();
};
