#pragma once

#include "recipe.h"

#include <QMainWindow>
#include <QSize>
#include <QString>
#include <QVector>

#include <functional>

namespace Ui { class zav; }

class Clipboard;
class IdleWatch;
class QLabel;
class SchemePanel;

// How long secrets stay: the password on the clipboard, and the phrase and password in the
// window once nobody has used it. Tests shorten them.
struct SecretTimings
{
    int clipboardClearMs = 20000;
    int idleClearMs = 5 * 60 * 1000;
};

// The main window: the phrase, the identifier and the scheme, the chosen scheme's panel of
// fields (schemepanel.h), the password with its strength, and the menus. It asks the panel for
// the recipe on Generate and Save and hands it a retrieved one.
class zav : public QMainWindow
{
    Q_OBJECT

public:
    explicit zav(QWidget *parent = nullptr, SecretTimings timings = SecretTimings());
    ~zav() override;

private slots:
    void on_generatepass_clicked();
    void on_actionCalculate_Password_Strength_triggered();
    void on_actionHelp_Information_triggered();
    void on_actionCheck_For_Updates_triggered();
    void on_actionAbout_triggered();
    void on_actionSave_triggered();
    void on_actionRetrieve_triggered();
    void on_actionDelete_triggered();
    void on_actionImport_triggered();
    void on_actionChange_Password_triggered();
    void on_actionExport_triggered();
    void on_actionChange_Secret_Phrase_triggered();
    void on_actionLearn_More_triggered();
    void on_clear_parameters_clicked();
    void on_schemecombo_currentIndexChanged(int index);
    void on_showphrasebutton_toggled(bool checked);
    void on_pword_identifier_le_returnPressed();
    void on_copybutton_clicked();
    void on_actionQuit_triggered();

private:
    // One item of the scheme box and the panel that shows its fields.
    struct SchemeChoice
    {
        Scheme scheme;
        SchemePanel *panel;
    };

    const SchemeChoice &currentChoice() const;
    void selectScheme(Scheme scheme);
    // The recipe of the chosen panel, or a notice that says why there is none.
    bool recipeOrNotice(Recipe *recipe);
    // Shows and copies a made password with its strength and rating, or says that none could
    // be made.
    void showDerived(const QString &password, const Recipe &recipe);
    // During a change of the secret phrase: says when the recipe's saved profile still uses the
    // previous phrase.
    void noteWaitingProfile(const Recipe &recipe);
    // The tab order: phrase, identifier, scheme, each panel's fields, Generate, Copy.
    void chainTabs();
    // The window takes the size of the chosen panel: it grows for a larger one and shrinks back
    // to the size it had before, unless the user has resized it meanwhile.
    void fitToPanel();

    // What the dialogs call to copy a password: the window's clipboard.
    std::function<void(const QString &)> copyPassword();

    // Merges a sync tool's conflict copies of the profile file into it before the file is read,
    // and says so on the status bar.
    void mergeSyncCopies();

    // The shown password belongs to the inputs it was made from: any change empties it.
    void clearOutput();
    void phraseChanged();
    void showPhraseStrength();
    // Empties the phrase, the password, the entropy and the fingerprint, and their undo history.
    void clearSecrets();
    void clearIdleSecrets();

    Ui::zav *ui;
    Clipboard *clipboard;
    IdleWatch *idle;
    QLabel *phraseNote;   // under the password: still the previous phrase's
    QVector<SchemeChoice> choices;
    QSize restingSize;
    QSize fittedSize;
};
